// File behaviour that only Windows has: files held open without delete
// sharing, wide-character names, the writers' locks.
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"

#include "english_text.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <windows.h>
#undef ReplaceFile

#include <fstream>
#include <functional>

using namespace tarnwick;
using tarnwick::testing::English;
namespace fs = std::filesystem;

namespace {

// Another program's handle on the file: a launcher reading ServerInfo.txt, an
// editor holding Tarnwick.xml. Neither shares delete, so the file cannot be
// replaced while they hold it.
class HeldOpen {
public:
    explicit HeldOpen(const fs::path& path)
        : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << path;
    }
    ~HeldOpen() { ::CloseHandle(handle_); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

private:
    HANDLE handle_;
};

std::string Gbk(const fs::path& path)
{
    const std::u8string utf8 = path.u8string();
    return Utf8ToGbk(std::string(utf8.begin(), utf8.end()));
}

class FileIoWin32 : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    // Chinese names in the folder and the file: every call must go through
    // the wide-character functions.
    const fs::path dir_ = [this] {
        const fs::path dir = folder_.path() / u8"配置";
        fs::create_directory(dir);
        return dir;
    }();

    // As the English interface writes it.
    std::string MessageOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const Error& e) {
            return English(e);
        }
        return "no error";
    }

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
};

TEST(ErrorKindsWin32, FollowTheErrorCode)
{
    struct Row {
        DWORD code;
        ErrorKind kind;
    };
    const Row rows[] = {
        {ERROR_SHARING_VIOLATION, ErrorKind::InUse},
        {ERROR_LOCK_VIOLATION, ErrorKind::InUse},
        {ERROR_USER_MAPPED_FILE, ErrorKind::InUse},
        {ERROR_DISK_FULL, ErrorKind::NoRoom},
        {ERROR_HANDLE_DISK_FULL, ErrorKind::NoRoom},
        {ERROR_ACCESS_DENIED, ErrorKind::NoPermission},
        {ERROR_WRITE_PROTECT, ErrorKind::NoPermission},
        {ERROR_FILE_NOT_FOUND, ErrorKind::NotFound},
        {ERROR_PATH_NOT_FOUND, ErrorKind::NotFound},
        {ERROR_FILE_EXISTS, ErrorKind::Failed},
        {ERROR_NOT_SUPPORTED, ErrorKind::Failed},
        {ERROR_SUCCESS, ErrorKind::Failed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(KindOfWin32Error(row.code), row.kind);
    }
}

TEST_F(FileIoWin32, ReplacingAFileHeldOpenFailsNamingItAndKeepsTheOldFile)
{
    for (const char8_t* name : {u8"ServerInfo.txt", u8"Tarnwick.xml", u8"服务器.txt"}) {
        const fs::path target = dir_ / name;
        ReplaceFile(target, "old");
        {
            HeldOpen reader(target);
            EXPECT_EQ(MessageOf([&] { ReplaceFile(target, "new"); }),
                      "Cannot create file \"" + PathText(target) + "\". The file is in use by another program");
            EXPECT_EQ(KindOf([&] { ReplaceFile(target, "new"); }), ErrorKind::InUse);
            EXPECT_EQ(ReadFile(target), "old");
        }
        ReplaceFile(target, "new");
        EXPECT_EQ(ReadFile(target), "new");
    }
    // Nothing left behind but the three files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(FileIoWin32, ChineseNamesReadReplaceAndNameThemselvesInMessages)
{
    const fs::path file = dir_ / u8"登录器.txt";
    ReplaceFile(file, "one");
    const auto first = IdentityOf(file);
    ASSERT_TRUE(first);
    ReplaceFile(file, "two");
    EXPECT_EQ(ReadFile(file), "two");
    EXPECT_NE(IdentityOf(file), first);
    EXPECT_EQ(IdentityOf(file), IdentityOf(file));

    const fs::path missing = dir_ / u8"缺少.txt";
    EXPECT_EQ(MessageOf([&] { ReadFile(missing); }),
              "Cannot open file \"" + Gbk(missing) + "\". No such file or directory");
    EXPECT_EQ(MessageOf([&] { ReadFile(dir_); }),
              "Cannot open file \"" + Gbk(dir_) + "\". Is a directory");
}

TEST_F(FileIoWin32, ACommitRemovesTemporariesOfKilledWritersButNotOfLiveOnes)
{
    const fs::path target = dir_ / "a.txt";
    const fs::path stale = dir_ / "a.txt.tmp-ABC123";
    std::ofstream(stale) << "left by a killed writer";
    PendingFile live(target);
    live.Write("live");

    ReplaceFile(target, "done");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live.TemporaryPath()));
    live.Commit();
    EXPECT_EQ(ReadFile(target), "live");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

} // namespace
