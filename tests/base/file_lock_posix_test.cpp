// Locks held by other processes, and what flock alone brings.
#include "base/error.h"
#include "base/file_io.h"
#include "base/file_lock.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A child process that takes the lock and then waits to be told to let it go
// (a byte on its pipe, and a moment later) or to be killed.
class HoldingProcess {
public:
    HoldingProcess(const fs::path& lockFile, const std::string& holder)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("no pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            char answer = 'f';
            try {
                auto attempt = FileLock::Acquire(lockFile, holder, 0ms);
                if (attempt.lock) {
                    answer = 'r';
                    (void)!::write(ready[1], &answer, 1);
                    char byte;
                    (void)!::read(release[0], &byte, 1);
                    // Late enough that the parent is waiting by then.
                    std::this_thread::sleep_for(300ms);
                    attempt.lock.reset();
                    answer = 'd';
                }
            } catch (...) {
            }
            (void)!::write(ready[1], &answer, 1);
            // Its own end only: no test framework clean-up in a forked child.
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        ready_ = ready[0];
        release_ = release[1];
    }
    ~HoldingProcess()
    {
        Kill();
        ::close(ready_);
        ::close(release_);
    }
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    // 'r' once it holds the lock, 'f' when it could not take it, 'd' once it let it go.
    char Next()
    {
        char answer = 0;
        return ::read(ready_, &answer, 1) == 1 ? answer : '?';
    }
    void Release() { (void)!::write(release_, "x", 1); }
    void Kill()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int ready_ = -1;
    int release_ = -1;
};

class LockPosix : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path lockFile_ = folder_.path() / "Tarnwick.lock";
};

} // namespace

TEST_F(LockPosix, ALockOfAKilledHolderIsTakenAtOnce)
{
    HoldingProcess holder(lockFile_, "tarnwick-cli, process 1");
    ASSERT_EQ(holder.Next(), 'r');
    EXPECT_EQ(FileLock::HolderOf(lockFile_), "tarnwick-cli, process 1");
    const auto refused = FileLock::Acquire(lockFile_, "me", 0ms);
    EXPECT_FALSE(refused.lock);
    EXPECT_EQ(refused.holder, "tarnwick-cli, process 1");

    holder.Kill();
    EXPECT_EQ(FileLock::HolderOf(lockFile_), std::nullopt);
    const auto taken = FileLock::Acquire(lockFile_, "me", 0ms);
    EXPECT_TRUE(taken.lock);
    EXPECT_EQ(FileLock::HolderOf(lockFile_), "me");
}

TEST_F(LockPosix, ALockThatAnotherProcessLetsGoWithinTheWaitIsTaken)
{
    HoldingProcess holder(lockFile_, "the window");
    ASSERT_EQ(holder.Next(), 'r');
    holder.Release();
    // The child goes on living without the lock: its release, not its end, frees it.
    const auto taken = FileLock::Acquire(lockFile_, "me", 30s);
    EXPECT_TRUE(taken.lock);
    EXPECT_EQ(holder.Next(), 'd');

    // Now this process holds it and the other one waits in vain.
    HoldingProcess late(lockFile_, "late");
    EXPECT_EQ(late.Next(), 'f');
}

TEST_F(LockPosix, ALinkAtTheLockFileNameIsNotFollowed)
{
    // Else a holder would empty whatever file the link points at.
    ReplaceFile(folder_.path() / "Tarnwick.xml", "the working copy");
    fs::create_symlink("Tarnwick.xml", lockFile_);
    EXPECT_THROW((void)FileLock::Acquire(lockFile_, "me", 0ms), Error);
    EXPECT_THROW((void)FileLock::HolderOf(lockFile_), Error);
    EXPECT_EQ(ReadFile(folder_.path() / "Tarnwick.xml"), "the working copy");
}

TEST_F(LockPosix, AReadOnlyFolderCannotTakeANewLockFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    ::chmod(folder_.path().c_str(), 0555);
    try {
        (void)FileLock::Acquire(lockFile_, "me", 0ms);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::NoPermission) << e.what();
    }
}
