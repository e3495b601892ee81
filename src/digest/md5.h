#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarnwick {

struct MD5Context {
    std::uint32_t state[4];
    std::uint32_t count[2]; // bits, low word first
    std::uint8_t buffer[64];
};

using Digest = std::array<std::uint8_t, 16>;
using ProgressCallback = std::function<void(int percent)>;

void MD5Init(MD5Context& context);
void MD5Update(MD5Context& context, const void* data, std::uint32_t length);
void MD5Final(MD5Context& context, Digest& digest);

// The MD5 of a file's contents, read in 16,384-byte chunks, with progress reports.
void FileDigest(const std::filesystem::path& fileName, Digest& digest, const ProgressCallback& callback = {});

std::string DigestToHex(const Digest& digest);

// The digest text of bytes held in memory.
std::string Md5Hex(std::string_view bytes);

// The digests of many files, one file per worker and `workers` at once (0:
// one per processor), in the order given. A file that cannot be read, or is
// no file, gives none.
std::vector<std::optional<Digest>> FileDigests(const std::vector<std::filesystem::path>& files, unsigned workers = 0);

// The MD5 of bytes as they are produced, hashed on a thread of its own, so
// that the producer (a download) does not wait for the hashing. At most a few
// chunks wait at once; Add waits while they do.
class Md5Pipeline {
public:
    Md5Pipeline();
    ~Md5Pipeline();
    Md5Pipeline(const Md5Pipeline&) = delete;
    Md5Pipeline& operator=(const Md5Pipeline&) = delete;

    void Add(std::string_view bytes);
    // Forgets what was added: a new stream starts.
    void Restart();
    // The digest of what was added since the start or the last Restart.
    Digest Finish();

private:
    void Work();
    void WaitUntilHashed(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> waiting_;
    bool hashing_ = false;
    bool stopping_ = false;
    MD5Context context_{};
    std::thread worker_;
};

} // namespace tarnwick
