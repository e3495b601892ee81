#include "base/error.h"
#include "base/file_io.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
    std::size_t EntryCount() const { return folder_.EntryCount(); }
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path dir_ = folder_.path();
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
    EXPECT_THROW(ReplaceFile(dir_ / "no-such-folder" / "b.txt", "x"), Error);
}
