// File behaviour that only POSIX systems have.
#include "base/error.h"
#include "base/file_io.h"

#include "temporary_folder.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
using tarnwick::testing::English;
namespace fs = std::filesystem;

namespace {

// Files may grow to a few bytes only while it lives, so that a write fails
// with "File too large" as it would on a full disk; root is held to it too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        struct rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        // Without this the process would be ended rather than the write fail.
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit old_ {};
    void (*oldHandler_)(int) = nullptr;
};

Error Raised(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return Error("no error");
}

} // namespace

TEST(FileIoPosix, AReadOnlyFolderRefusesWritesAsNoPermission)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    tarnwick::testing::TemporaryFolder folder;
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_EQ(Raised([&] { ReplaceFile(folder.path() / "b.txt", "x"); }).Kind(), ErrorKind::NoPermission);
    EXPECT_EQ(Raised([&] { CreateNewFile(folder.path() / "b.txt", "x"); }).Kind(), ErrorKind::NoPermission);
    EXPECT_EQ(folder.EntryCount(), 0u);
}

TEST(FileIoPosix, AWriteThatFindsNoRoomKeepsTheOldFileAndLeavesNothingBehind)
{
    tarnwick::testing::TemporaryFolder folder;
    const fs::path target = folder.path() / "Tarnwick.xml";
    ReplaceFile(target, "old");
    const fs::path copy = folder.path() / "Tarnwick.damaged.xml";
    Error replacing("none"), creating("none");
    {
        const FileSizeLimit limit(4);
        replacing = Raised([&] { ReplaceFile(target, "more than four bytes"); });
        creating = Raised([&] { CreateNewFile(copy, "more than four bytes"); });
    }
    EXPECT_EQ(English(replacing), "Stream write error: File too large");
    EXPECT_EQ(replacing.Kind(), ErrorKind::NoRoom);
    EXPECT_EQ(English(creating), "Cannot create file \"" + copy.string() + "\". File too large");
    EXPECT_EQ(creating.Kind(), ErrorKind::NoRoom);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileIoPosix, CreateNewFileTakesALinkForATakenName)
{
    // Following a link would write where the link points, over an earlier file
    // or outside the folder.
    tarnwick::testing::TemporaryFolder folder;
    ReplaceFile(folder.path() / "earlier.xml", "earlier");
    fs::create_symlink("earlier.xml", folder.path() / "link.xml");
    fs::create_symlink("nowhere.xml", folder.path() / "dangling.xml");
    EXPECT_FALSE(CreateNewFile(folder.path() / "link.xml", "new"));
    EXPECT_FALSE(CreateNewFile(folder.path() / "dangling.xml", "new"));
    EXPECT_EQ(ReadFile(folder.path() / "earlier.xml"), "earlier");
    EXPECT_FALSE(fs::exists(folder.path() / "nowhere.xml"));
}
