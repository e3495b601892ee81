#include "base/error.h"
#include "base/file_lock.h"
#include "base/file_io.h"

#include "temporary_folder.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

using namespace tarnwick;
using tarnwick::testing::English;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Lock : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path lockFile_ = folder_.path() / "Tarnwick.lock";
};

} // namespace

TEST_F(Lock, IsTakenHeldAgainstOthersAndGivenBack)
{
    EXPECT_EQ(FileLock::HolderOf(lockFile_), std::nullopt);
    {
        auto first = FileLock::Acquire(lockFile_, "first holder", 0ms);
        ASSERT_TRUE(first.lock);
        EXPECT_EQ(first.holder, "");
        EXPECT_EQ(FileLock::HolderOf(lockFile_), "first holder");

        // Another owner in this very process is kept out too, and told who holds it.
        const auto second = FileLock::Acquire(lockFile_, "second holder", 0ms);
        EXPECT_FALSE(second.lock);
        EXPECT_EQ(second.holder, "first holder");
        // Asking does not take it.
        EXPECT_FALSE(FileLock::Acquire(lockFile_, "third holder", 0ms).lock);
        EXPECT_EQ(FileLock::HolderOf(lockFile_), "first holder");
    }
    // Released, the lock file stays for the next taker.
    EXPECT_TRUE(fs::exists(lockFile_));
    EXPECT_EQ(FileLock::HolderOf(lockFile_), std::nullopt);
    EXPECT_TRUE(FileLock::Acquire(lockFile_, "second holder", 0ms).lock);
}

TEST_F(Lock, EachHolderReplacesTheTextOfTheOneBefore)
{
    {
        const auto earlier = FileLock::Acquire(lockFile_, "a much longer description of an earlier holder", 0ms);
        ASSERT_TRUE(earlier.lock);
    }
    {
        const auto attempt = FileLock::Acquire(lockFile_, "two\r\nlines", 0ms);
        ASSERT_TRUE(attempt.lock);
        EXPECT_EQ(FileLock::HolderOf(lockFile_), "two  lines");
        EXPECT_EQ(FileLock::Acquire(lockFile_, "other", 0ms).holder, "two  lines");
    }
    // One that wrote nothing (a full disk, another kind of program) still holds it.
    const auto silent = FileLock::Acquire(lockFile_, "", 0ms);
    ASSERT_TRUE(silent.lock);
    EXPECT_EQ(FileLock::HolderOf(lockFile_), "");
    EXPECT_FALSE(FileLock::Acquire(lockFile_, "other", 0ms).lock);
}

TEST_F(Lock, MovesWithItsOwner)
{
    const fs::path otherFile = folder_.path() / "other.lock";
    auto taken = FileLock::Acquire(lockFile_, "mine", 0ms);
    auto other = FileLock::Acquire(otherFile, "other", 0ms);
    ASSERT_TRUE(taken.lock && other.lock);
    {
        // The moved-from owner gives nothing back when it ends.
        FileLock moved = std::move(*taken.lock);
        taken.lock.reset();
        EXPECT_EQ(FileLock::HolderOf(lockFile_), "mine");
        // An owner that is given another lock lets its own go.
        moved = std::move(*other.lock);
        EXPECT_EQ(FileLock::HolderOf(lockFile_), std::nullopt);
        EXPECT_EQ(FileLock::HolderOf(otherFile), "other");
    }
    EXPECT_EQ(FileLock::HolderOf(otherFile), std::nullopt);
}

TEST_F(Lock, WaitsForAHolderThatLetsGoWithinTheWait)
{
    auto first = FileLock::Acquire(lockFile_, "first", 0ms);
    ASSERT_TRUE(first.lock);
    std::thread release([held = std::move(*first.lock)]() mutable {
        std::this_thread::sleep_for(200ms);
        FileLock ending = std::move(held);
    });
    const auto start = std::chrono::steady_clock::now();
    const auto second = FileLock::Acquire(lockFile_, "second", 30s);
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    ASSERT_TRUE(second.lock);
    EXPECT_GE(waited, 150ms);
    EXPECT_EQ(FileLock::HolderOf(lockFile_), "second");
}

TEST_F(Lock, GivesUpWhenTheWaitHasPassed)
{
    const auto first = FileLock::Acquire(lockFile_, "first", 0ms);
    const auto start = std::chrono::steady_clock::now();
    const auto second = FileLock::Acquire(lockFile_, "second", 100ms);
    EXPECT_FALSE(second.lock);
    EXPECT_EQ(second.holder, "first");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

TEST_F(Lock, AMissingLockFileHasNoHolderAndAMissingFolderCannotBeLocked)
{
    EXPECT_EQ(FileLock::HolderOf(folder_.path() / "missing" / "Tarnwick.lock"), std::nullopt);
    const fs::path inMissingFolder = folder_.path() / "missing" / "Tarnwick.lock";
    try {
        (void)FileLock::Acquire(inMissingFolder, "me", 0ms);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(English(e).rfind("Cannot create file \"" + inMissingFolder.string() + "\". ", 0), 0u)
            << English(e);
        EXPECT_EQ(e.Kind(), ErrorKind::NotFound);
    }
    EXPECT_EQ(folder_.EntryCount(), 0u);
}

TEST(ProcessDescription, NamesProgramProcessHostAndTime)
{
    const std::string text = ProcessDescription("tarnwick-cli");
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"(tarnwick-cli, process [1-9][0-9]* on host [^,]+, since 2[0-9]{3}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9])")))
        << text;
}
