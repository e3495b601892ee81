#include "base/error.h"
#include "base/file_io.h"

#include "temporary_folder.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tarnwick;
using tarnwick::testing::English;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
    std::size_t EntryCount() const { return folder_.EntryCount(); }
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path dir_ = folder_.path();
};

ErrorKind KindOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.Kind();
    }
    ADD_FAILURE() << "no error";
    return ErrorKind::Failed;
}

} // namespace

TEST_F(FileIo, ReplaceWritesBytesAndLeavesNoTemporary)
{
    const fs::path target = dir_ / "a.txt";
    ReplaceFile(target, std::string("one\r\n\0two", 10));
    EXPECT_EQ(ReadFile(target), std::string("one\r\n\0two", 10));
    ReplaceFile(target, "new");
    EXPECT_EQ(ReadFile(target), "new");
    // Unflushed, it still replaces whole and leaves nothing beside.
    ReplaceFile(target, "newer", Durability::Atomic);
    EXPECT_EQ(ReadFile(target), "newer");
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

TEST_F(FileIo, FailuresNameTheFileAndSayWhatIsMissing)
{
    try {
        ReadFile(dir_ / "missing.txt");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(English(e),
                  "Cannot open file \"" + (dir_ / "missing.txt").string() + "\". No such file or directory");
        EXPECT_EQ(e.Kind(), ErrorKind::NotFound);
    }
    EXPECT_EQ(KindOf([&] { ReplaceFile(dir_ / "no-such-folder" / "b.txt", "x"); }), ErrorKind::NotFound);
    EXPECT_EQ(KindOf([&] { InputFile(dir_ / "missing.txt", "shown.txt"); }), ErrorKind::NotFound);
    EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(FileIo, CreateNewFileWritesOnlyWhereNothingIs)
{
    const fs::path file = dir_ / "copy.xml";
    EXPECT_TRUE(CreateNewFile(file, std::string("one\r\n\0two", 10)));
    EXPECT_EQ(ReadFile(file), std::string("one\r\n\0two", 10));
    // An earlier copy is never overwritten, not even with nothing.
    EXPECT_FALSE(CreateNewFile(file, "other"));
    EXPECT_FALSE(CreateNewFile(file, ""));
    EXPECT_EQ(ReadFile(file), std::string("one\r\n\0two", 10));
    // A folder holds its name too.
    fs::create_directory(dir_ / "folder.xml");
    EXPECT_FALSE(CreateNewFile(dir_ / "folder.xml", "x"));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder.xml"));

    EXPECT_TRUE(CreateNewFile(dir_ / "empty.xml", ""));
    EXPECT_EQ(ReadFile(dir_ / "empty.xml"), "");
    EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(FileIo, CreateNewFileInAMissingFolderFailsNamingTheFile)
{
    const fs::path file = dir_ / "no-such-folder" / "copy.xml";
    try {
        CreateNewFile(file, "x");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(English(e).rfind("Cannot create file \"" + file.string() + "\". ", 0), 0u) << English(e);
        EXPECT_EQ(e.Kind(), ErrorKind::NotFound);
    }
    EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(FileIo, ReadingAtAnOffsetGivesThoseBytesAndStopsAtTheEnd)
{
    std::string bytes;
    for (int i = 0; i < 100'000; ++i)
        bytes += static_cast<char>(i * 7);
    const fs::path file = dir_ / "archive.bin";
    ReplaceFile(file, bytes);
    const InputFile input(file, "archive.bin");
    std::string buffer(300, '\0');
    auto span = std::as_writable_bytes(std::span(buffer));
    // Out of order, as an archive is read: the end first, then the start.
    EXPECT_EQ(input.ReadAt(bytes.size() - 300, span), 300u);
    EXPECT_EQ(buffer, bytes.substr(bytes.size() - 300));
    EXPECT_EQ(input.ReadAt(0, span), 300u);
    EXPECT_EQ(buffer, bytes.substr(0, 300));
    EXPECT_EQ(input.ReadAt(bytes.size() - 100, span), 100u);
    EXPECT_EQ(buffer.substr(0, 100), bytes.substr(bytes.size() - 100));
    EXPECT_EQ(input.ReadAt(bytes.size() + 5, span), 0u);
}

TEST_F(FileIo, GrowingFileKeepsWhatEarlierRunsWroteAndCanStartAgain)
{
    const fs::path file = dir_ / "game.pak.download";
    {
        GrowingFile first(file);
        EXPECT_EQ(first.Size(), 0u);
        first.Append("abc");
        first.Append("def");
        first.Flush();
    }
    {
        // A later run goes on at the end, not over the start.
        GrowingFile second(file);
        EXPECT_EQ(second.Size(), 6u);
        second.Append("ghi");
        second.Truncate(4);
        second.Append("XY");
        EXPECT_EQ(second.Size(), 6u);
    }
    EXPECT_EQ(ReadFile(file), "abcdXY");
    {
        GrowingFile third(file);
        third.Truncate(0);
        third.Append("new");
    }
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(KindOf([&] { GrowingFile missingFolder(dir_ / "no" / "such" / "file"); }), ErrorKind::NotFound);
}
