#pragma once

#include "base/credential_store.h"
#include "base/message.h"
#include "publish/publish_job.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// A publish runs on a thread of its own, so that the window stays alive
// while it works; the operator is asked and shown its progress on the
// window's thread.
namespace tarnwick::ui {

// The window's side of a publish, called on the window's thread only.
class PublishWindow {
public:
    virtual ~PublishWindow() = default;
    virtual std::optional<std::string> AskPassword(const CredentialKey& key, bool again) = 0;
    virtual bool AskRememberPassword(const CredentialKey& key) = 0;
    virtual bool AskAcceptHostKey(const publish::HostKeyQuestion& question) = 0;
    virtual void ShowStage(publish::PublishStage stage) = 0;
    virtual void ShowUpload(const publish::PublishProgress& progress) = 0;
    virtual void ShowCheck(std::size_t number, std::size_t count) = 0;
};

// Runs a function on the window's thread, later (Qt: a queued call). A
// window that is gone may drop it.
using PostToWindow = std::function<void(std::function<void()>)>;

// The publish's front end on its thread. A question waits for the window's
// answer, or for a cancel, which answers no; progress is handed on without
// waiting, and when the window falls behind it is shown only the latest.
class PublishRelay final : public publish::PublishFrontEnd {
public:
    PublishRelay(PostToWindow post, PublishWindow& window);
    ~PublishRelay() override;
    PublishRelay(const PublishRelay&) = delete;
    PublishRelay& operator=(const PublishRelay&) = delete;

    // From any thread: uploads and checks stop at their next report, and a
    // question waiting or to come is answered no, without asking.
    void Cancel();
    bool Cancelled() const;

    std::optional<std::string> AskPassword(const CredentialKey& key, bool again) override;
    bool AskRememberPassword(const CredentialKey& key) override;
    bool AskAcceptHostKey(const publish::HostKeyQuestion& question) override;
    void StageChanged(publish::PublishStage stage) override;
    bool Uploading(const publish::PublishProgress& progress) override;
    bool Checking(std::size_t number, std::size_t count) override;

private:
    struct State;
    template <class T>
    T Ask(std::function<T(PublishWindow&)> question, T no);

    PostToWindow post_;
    PublishWindow& window_;
    // Shared with the calls posted to the window, which may run after the
    // publish has stopped waiting for them.
    std::shared_ptr<State> state_;
};

// How a publish ended: its outcome, or the failure that stopped it (input
// that cannot be used at all: no Tarnwick.xml, an unusable address).
struct PublishEnd {
    std::optional<publish::PublishOutcome> outcome;
    std::optional<Message> failure;
};

// One publish on its own thread. `finished` is posted to the window's thread
// once it has ended, after everything it posted before.
class PublishThread {
public:
    PublishThread(publish::PublishRequest request, PostToWindow post, PublishWindow& window,
                  std::unique_ptr<CredentialStore> keyring, std::function<void(PublishEnd)> finished);
    // Cancels and waits for the thread.
    ~PublishThread();
    PublishThread(const PublishThread&) = delete;
    PublishThread& operator=(const PublishThread&) = delete;

    void Cancel() { relay_.Cancel(); }
    bool Cancelled() const { return relay_.Cancelled(); }

private:
    void Run(publish::PublishRequest request, PostToWindow post, std::function<void(PublishEnd)> finished);

    PublishRelay relay_;
    std::unique_ptr<CredentialStore> keyring_;
    std::thread thread_;
};

} // namespace tarnwick::ui
