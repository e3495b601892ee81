#include "base/error.h"
#include "base/file_io.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("tarnwick-io-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        ::chmod(dir_.c_str(), 0755);
        fs::remove_all(dir_);
    }
    std::size_t EntryCount() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

} // namespace

TEST_F(FileIo, ReplaceWritesBytesAndLeavesNoTemporary)
{
    const fs::path target = dir_ / "a.txt";
    ReplaceFile(target, std::string("one\r\n\0two", 10));
    EXPECT_EQ(ReadFile(target), std::string("one\r\n\0two", 10));
    ReplaceFile(target, "new");
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileIo, UncommittedPendingFileLeavesTheOldFile)
{
    const fs::path target = dir_ / "a.txt";
    ReplaceFile(target, "old");
    {
        PendingFile pending(target);
        pending.Write("half");
    }
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileIo, FailuresNameTheFile)
{
    try {
        ReadFile(dir_ / "missing.txt");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + (dir_ / "missing.txt").string() + "\". No such file or directory");
    }
    if (::geteuid() != 0) { // root may write anywhere
        ::chmod(dir_.c_str(), 0555);
        EXPECT_THROW(ReplaceFile(dir_ / "b.txt", "x"), Error);
    }
    EXPECT_THROW(ReplaceFile(dir_ / "no-such-folder" / "b.txt", "x"), Error);
}
