#pragma once

#include "base/crypto.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tarnwick::player {

// SHA-256 taken on a thread of its own while the bytes still arrive, so that
// a large list's digest is ready about when its last byte is, however fast
// the line: the reading thread only hands the pieces over.
class HashingThread {
public:
    HashingThread();
    ~HashingThread();
    HashingThread(const HashingThread&) = delete;
    HashingThread& operator=(const HashingThread&) = delete;

    void Update(std::string_view bytes);
    // Waits for the pieces given so far; the digest of them all.
    crypto::Sha256Digest Finish();

private:
    void Run();

    crypto::Sha256Hasher hasher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> pieces_;
    bool ended_ = false;
    std::thread thread_;
};

} // namespace tarnwick::player
