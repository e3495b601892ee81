// A publish on its own thread and the window on this one: questions wait for
// the window's answer or a cancel, progress never waits, and the end comes
// after everything else the publish told the window.
#include "base/text.h"
#include "temp_folder.h"
#include "ui/logic/publish_relay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick::ui {
namespace {

using namespace std::chrono_literals;
using namespace tarnwick::publish;
using testing::TempFolder;

// The window's thread: calls posted to it run when the test runs them.
class WindowQueue {
public:
    PostToWindow Post()
    {
        return [this](std::function<void()> call) {
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(std::move(call));
            }
            posted_.notify_all();
        };
    }

    // Waits for a posted call and runs it; false when none came in time.
    bool RunOne(std::chrono::milliseconds wait = 10s)
    {
        std::function<void()> call;
        {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_for(lock, wait, [this] { return !calls_.empty(); }))
                return false;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
        return true;
    }

    std::size_t Waiting()
    {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> calls_;
};

// The operator at the window: scripted answers, and what was shown.
class ScriptedWindow : public PublishWindow {
public:
    std::optional<std::string> password = "secret";
    bool accept = true;
    int asked = 0;
    std::vector<PublishStage> stages;
    std::vector<PublishProgress> uploads;
    std::vector<std::pair<std::size_t, std::size_t>> checks;

    std::optional<std::string> AskPassword(const CredentialKey&, bool) override
    {
        ++asked;
        return password;
    }
    bool AskRememberPassword(const CredentialKey&) override
    {
        ++asked;
        return accept;
    }
    bool AskAcceptHostKey(const HostKeyQuestion&) override
    {
        ++asked;
        return accept;
    }
    void ShowStage(PublishStage stage) override { stages.push_back(stage); }
    void ShowUpload(const PublishProgress& progress) override { uploads.push_back(progress); }
    void ShowCheck(std::size_t number, std::size_t count) override { checks.emplace_back(number, count); }
};

class PublishRelayTest : public ::testing::Test {
protected:
    WindowQueue queue;
    ScriptedWindow window;
    PublishRelay relay{queue.Post(), window};
};

TEST_F(PublishRelayTest, AQuestionWaitsForTheWindowsAnswer)
{
    auto password = std::async(std::launch::async, [&] { return relay.AskPassword({"ftp://h:21", "up"}, false); });
    // Not answered until the window has asked.
    EXPECT_EQ(password.wait_for(50ms), std::future_status::timeout);
    ASSERT_TRUE(queue.RunOne());
    EXPECT_EQ(password.get(), "secret");

    window.accept = false;
    auto trust = std::async(std::launch::async, [&] { return relay.AskAcceptHostKey({"h:22", "SHA256:x", false}); });
    ASSERT_TRUE(queue.RunOne());
    EXPECT_FALSE(trust.get());
    window.accept = true;
    auto keep = std::async(std::launch::async, [&] { return relay.AskRememberPassword({"ftp://h:21", "up"}); });
    ASSERT_TRUE(queue.RunOne());
    EXPECT_TRUE(keep.get());
    EXPECT_EQ(window.asked, 3);
}

TEST_F(PublishRelayTest, ACancelAnswersNoWithoutAskingAnyMore)
{
    // Waiting when the window cancels (the window is closing): the publish
    // goes on at once, and the question still on its way is not asked.
    auto trust = std::async(std::launch::async, [&] { return relay.AskAcceptHostKey({"h:22", "SHA256:x", false}); });
    while (queue.Waiting() == 0)
        std::this_thread::sleep_for(1ms);
    relay.Cancel();
    ASSERT_EQ(trust.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(trust.get());
    ASSERT_TRUE(queue.RunOne());
    EXPECT_EQ(window.asked, 0);

    // Later questions are not even posted; progress says stop.
    EXPECT_EQ(relay.AskPassword({"ftp://h:21", "up"}, true), std::nullopt);
    EXPECT_FALSE(relay.AskRememberPassword({"ftp://h:21", "up"}));
    EXPECT_EQ(queue.Waiting(), 0u);
    EXPECT_FALSE(relay.Uploading({}));
    EXPECT_FALSE(relay.Checking(1, 2));
    EXPECT_TRUE(relay.Cancelled());
}

TEST_F(PublishRelayTest, ProgressNeverWaitsAndAWindowBehindSeesTheLatest)
{
    relay.StageChanged(PublishStage::Uploading);
    for (std::uint64_t sent = 1; sent <= 1000; ++sent) {
        PublishProgress progress;
        progress.sent = sent;
        progress.total = 1000;
        EXPECT_TRUE(relay.Uploading(progress));
    }
    EXPECT_TRUE(relay.Checking(1, 3));
    EXPECT_TRUE(relay.Checking(2, 3));
    // One call for the stage, one for uploads, one for checks.
    EXPECT_EQ(queue.Waiting(), 3u);
    while (queue.RunOne(0ms)) {
    }
    EXPECT_EQ(window.stages, std::vector<PublishStage>{PublishStage::Uploading});
    ASSERT_EQ(window.uploads.size(), 1u);
    EXPECT_EQ(window.uploads[0].sent, 1000u);
    EXPECT_EQ(window.checks, (std::vector<std::pair<std::size_t, std::size_t>>{{2, 3}}));

    // Once shown, the next report is posted again.
    EXPECT_TRUE(relay.Checking(3, 3));
    ASSERT_TRUE(queue.RunOne(0ms));
    EXPECT_EQ(window.checks.back(), (std::pair<std::size_t, std::size_t>{3, 3}));
}

TEST(PublishThread, EndsWithTheFailureThatStoppedItAfterAllItShowed)
{
    TempFolder folder; // no Tarnwick.xml
    WindowQueue queue;
    ScriptedWindow window;
    std::optional<PublishEnd> end;
    PublishRequest request;
    request.folder = folder.path();
    request.settings.destination = (folder.path() / "site").string();
    PublishThread thread(request, queue.Post(), window, nullptr, [&](PublishEnd e) { end = std::move(e); });
    while (!end)
        ASSERT_TRUE(queue.RunOne());
    EXPECT_FALSE(end->outcome);
    ASSERT_TRUE(end->failure);
    EXPECT_NE(GbkToUtf8(end->failure->Chinese()).find("Tarnwick.xml"), std::string::npos);
    // The stage it told before failing was shown before the end.
    EXPECT_EQ(window.stages, std::vector<PublishStage>{PublishStage::Checking});
    EXPECT_EQ(queue.Waiting(), 0u);
}

} // namespace
} // namespace tarnwick::ui
