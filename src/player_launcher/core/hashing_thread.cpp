#include "player_launcher/core/hashing_thread.h"

namespace tarnwick::player {

HashingThread::HashingThread() : thread_([this] { Run(); }) {}

HashingThread::~HashingThread()
{
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
        pieces_.clear();
    }
    changed_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void HashingThread::Update(std::string_view bytes)
{
    {
        const std::lock_guard lock(mutex_);
        pieces_.emplace_back(bytes);
    }
    changed_.notify_one();
}

crypto::Sha256Digest HashingThread::Finish()
{
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_one();
    thread_.join();
    return hasher_.Finish();
}

void HashingThread::Run()
{
    for (;;) {
        std::string piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return ended_ || !pieces_.empty(); });
            if (pieces_.empty())
                return;
            piece = std::move(pieces_.front());
            pieces_.pop_front();
        }
        hasher_.Update(piece);
    }
}

} // namespace tarnwick::player
