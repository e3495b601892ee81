#include "digest/md5.h"

namespace tarnwick {
namespace {

// Enough to ride out an uneven producer without holding much memory.
constexpr std::size_t kMostWaitingChunks = 8;

} // namespace

Md5Pipeline::Md5Pipeline()
{
    MD5Init(context_);
    worker_ = std::thread([this] { Work(); });
}

Md5Pipeline::~Md5Pipeline()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void Md5Pipeline::Add(std::string_view bytes)
{
    if (bytes.empty())
        return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < kMostWaitingChunks; });
    waiting_.emplace_back(bytes);
    changed_.notify_all();
}

void Md5Pipeline::Restart()
{
    std::unique_lock lock(mutex_);
    WaitUntilHashed(lock);
    MD5Init(context_);
}

Digest Md5Pipeline::Finish()
{
    std::unique_lock lock(mutex_);
    WaitUntilHashed(lock);
    MD5Context copy = context_;
    Digest digest{};
    MD5Final(copy, digest);
    return digest;
}

void Md5Pipeline::WaitUntilHashed(std::unique_lock<std::mutex>& lock)
{
    changed_.wait(lock, [&] { return waiting_.empty() && !hashing_; });
}

void Md5Pipeline::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty())
            return;
        std::string chunk = std::move(waiting_.front());
        waiting_.pop_front();
        hashing_ = true;
        changed_.notify_all();
        // The context is only touched here and, while nothing is being hashed, by Restart and Finish.
        lock.unlock();
        MD5Update(context_, chunk.data(), static_cast<std::uint32_t>(chunk.size()));
        lock.lock();
        hashing_ = false;
        changed_.notify_all();
    }
}

} // namespace tarnwick
