#include "ui/logic/publish_relay.h"

#include "base/error.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

namespace tarnwick::ui {

using publish::HostKeyQuestion;
using publish::PublishProgress;
using publish::PublishStage;

struct PublishRelay::State {
    std::mutex mutex;
    std::condition_variable answered;
    std::atomic<bool> cancelled{false};
    // The latest progress of each kind, and whether a call to show it is on
    // its way to the window.
    PublishProgress upload;
    bool uploadPosted = false;
    std::pair<std::size_t, std::size_t> check;
    bool checkPosted = false;
};

PublishRelay::PublishRelay(PostToWindow post, PublishWindow& window)
    : post_(std::move(post)), window_(window), state_(std::make_shared<State>())
{
}

PublishRelay::~PublishRelay() = default;

void PublishRelay::Cancel()
{
    {
        // Under the lock, so that a question that has just looked does not
        // wait past it.
        std::lock_guard lock(state_->mutex);
        state_->cancelled = true;
    }
    state_->answered.notify_all();
}

bool PublishRelay::Cancelled() const { return state_->cancelled; }

template <class T>
T PublishRelay::Ask(std::function<T(PublishWindow&)> question, T no)
{
    if (Cancelled())
        return no;
    auto answer = std::make_shared<std::optional<T>>();
    post_([state = state_, answer, question = std::move(question), window = &window_, no] {
        // Cancelled meanwhile: nobody waits for the answer, so nobody is asked.
        T value = state->cancelled ? no : question(*window);
        {
            std::lock_guard lock(state->mutex);
            *answer = std::move(value);
        }
        state->answered.notify_all();
    });
    std::unique_lock lock(state_->mutex);
    state_->answered.wait(lock, [&] { return answer->has_value() || state_->cancelled; });
    return answer->has_value() ? std::move(**answer) : no;
}

std::optional<std::string> PublishRelay::AskPassword(const CredentialKey& key, bool again)
{
    return Ask<std::optional<std::string>>(
        [key, again](PublishWindow& window) { return window.AskPassword(key, again); }, std::nullopt);
}

bool PublishRelay::AskRememberPassword(const CredentialKey& key)
{
    return Ask<bool>([key](PublishWindow& window) { return window.AskRememberPassword(key); }, false);
}

bool PublishRelay::AskAcceptHostKey(const HostKeyQuestion& question)
{
    return Ask<bool>([question](PublishWindow& window) { return window.AskAcceptHostKey(question); }, false);
}

void PublishRelay::StageChanged(PublishStage stage)
{
    post_([window = &window_, stage] { window->ShowStage(stage); });
}

bool PublishRelay::Uploading(const PublishProgress& progress)
{
    bool post = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->upload = progress;
        post = !std::exchange(state_->uploadPosted, true);
    }
    if (post)
        post_([state = state_, window = &window_] {
            PublishProgress latest;
            {
                std::lock_guard lock(state->mutex);
                latest = state->upload;
                state->uploadPosted = false;
            }
            window->ShowUpload(latest);
        });
    return !Cancelled();
}

bool PublishRelay::Checking(std::size_t number, std::size_t count)
{
    bool post = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->check = {number, count};
        post = !std::exchange(state_->checkPosted, true);
    }
    if (post)
        post_([state = state_, window = &window_] {
            std::pair<std::size_t, std::size_t> latest;
            {
                std::lock_guard lock(state->mutex);
                latest = state->check;
                state->checkPosted = false;
            }
            window->ShowCheck(latest.first, latest.second);
        });
    return !Cancelled();
}

PublishThread::PublishThread(publish::PublishRequest request, PostToWindow post, PublishWindow& window,
                             std::unique_ptr<CredentialStore> keyring, std::function<void(PublishEnd)> finished)
    : relay_(post, window), keyring_(std::move(keyring)),
      thread_([this, request = std::move(request), post, finished = std::move(finished)]() mutable {
          Run(std::move(request), std::move(post), std::move(finished));
      })
{
}

PublishThread::~PublishThread()
{
    relay_.Cancel();
    if (thread_.joinable())
        thread_.join();
}

void PublishThread::Run(publish::PublishRequest request, PostToWindow post, std::function<void(PublishEnd)> finished)
{
    PublishEnd end;
    try {
        end.outcome = publish::RunPublish(request, relay_, keyring_.get());
    } catch (const Error& error) {
        end.failure = error.Text();
    } catch (const std::exception& error) {
        // Library failures (memory, file system), as the window reports them elsewhere.
        end.failure = Message::Untranslated(error.what());
    }
    post([finished = std::move(finished), end = std::move(end)]() mutable { finished(std::move(end)); });
}

} // namespace tarnwick::ui
