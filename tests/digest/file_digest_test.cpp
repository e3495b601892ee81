#include "base/error.h"
#include "digest/md5.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

const std::string kZeroHex(32, '0');

class FileDigestTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir_ / "locked", fs::perms::owner_all, ignored);
    }

    fs::path WriteFile(const std::string& name, std::size_t size)
    {
        std::string bytes(size, '\0');
        std::uint32_t seed = static_cast<std::uint32_t>(size) * 2654435761u + 1;
        for (auto& byte : bytes) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<char>(seed >> 23);
        }
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        return path;
    }

    // Hashes the file and returns the percentages the callback saw.
    std::vector<int> Percentages(const fs::path& path, Digest& digest)
    {
        std::vector<int> seen;
        FileDigest(path, digest, [&](int percent) { seen.push_back(percent); });
        return seen;
    }

    tarnwick::testing::TemporaryFolder folder_;
    const fs::path dir_ = folder_.path();
};

std::string Md5sumOf(const fs::path& path)
{
    std::FILE* pipe = ::popen(("md5sum '" + path.string() + "' 2>/dev/null").c_str(), "r");
    if (!pipe)
        return {};
    char line[33] = {};
    const std::size_t got = std::fread(line, 1, 32, pipe);
    ::pclose(pipe);
    return got == 32 ? std::string(line, 32) : std::string();
}

TEST_F(FileDigestTest, AgreesWithMd5sumAtChunkAndBlockBoundaries)
{
    if (std::system("command -v md5sum >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "md5sum is not installed";
    for (std::size_t size : {0, 1, 55, 56, 63, 64, 16383, 16384, 16385, 131072}) {
        const fs::path path = WriteFile("data-" + std::to_string(size), size);
        Digest digest;
        FileDigest(path, digest);
        EXPECT_EQ(DigestToHex(digest), Md5sumOf(path)) << size << " bytes";
    }
}

TEST_F(FileDigestTest, ReportsZeroThenRoundedPercentagesThenZero)
{
    Digest digest;
    EXPECT_EQ(Percentages(WriteFile("empty", 0), digest), (std::vector<int>{0, 0}));
    EXPECT_EQ(DigestToHex(digest), "d41d8cd98f00b204e9800998ecf8427e");

    EXPECT_EQ(Percentages(WriteFile("one-chunk", 16384), digest), (std::vector<int>{0, 100, 0}));
    // 99.99 rounds up to 100.
    EXPECT_EQ(Percentages(WriteFile("two-chunks", 16385), digest), (std::vector<int>{0, 100, 100, 0}));
    // 12.5, 37.5, 62.5 and 87.5 go to the even neighbour.
    EXPECT_EQ(Percentages(WriteFile("eight-chunks", 131072), digest),
              (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100, 0}));
}

TEST_F(FileDigestTest, MissingPathOrDirectoryGivesZeroDigestWithoutProgress)
{
    for (const fs::path& path : {dir_ / "missing", fs::path(dir_), dir_ / "missing" / "deeper"}) {
        Digest digest;
        digest.fill(0xaa);
        EXPECT_TRUE(Percentages(path, digest).empty()) << path;
        EXPECT_EQ(DigestToHex(digest), kZeroHex) << path;
    }
}

class WorkingDirectoryGuard {
public:
    explicit WorkingDirectoryGuard(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
    ~WorkingDirectoryGuard() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

// While it lives, every descriptor below the limit is in use, so any open fails,
// even for root.
class NoFreeDescriptors {
public:
    NoFreeDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &previous_);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        rlimit limit = previous_;
        limit.rlim_cur = static_cast<rlim_t>(lowestFree);
        active_ = lowestFree >= 0 && ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    ~NoFreeDescriptors() { ::setrlimit(RLIMIT_NOFILE, &previous_); }
    bool Active() const { return active_; }

private:
    rlimit previous_{};
    bool active_ = false;
};

TEST_F(FileDigestTest, FileThatCannotBeOpenedRaisesWithFullPathAndNoProgress)
{
    const fs::path path = WriteFile("busy", 100);
    WorkingDirectoryGuard inDir(dir_);

    // The message's path conversion loads a converter module from disk; keep one
    // converter open so that it needs no descriptor while none are left.
    const iconv_t converter = ::iconv_open("GBK", "UTF-8");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));

    Digest digest;
    digest.fill(0xaa);
    std::vector<int> seen;
    std::exception_ptr raised;
    {
        NoFreeDescriptors exhausted;
        ASSERT_TRUE(exhausted.Active());
        try {
            FileDigest("busy", digest, [&](int percent) { seen.push_back(percent); });
        } catch (...) {
            raised = std::current_exception(); // looked at once descriptors are back
        }
    }
    ::iconv_close(converter);

    ASSERT_TRUE(raised) << "no error raised";
    try {
        std::rethrow_exception(raised);
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + path.string() + "\". Too many open files");
    }
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(DigestToHex(digest), kZeroHex);
}

TEST_F(FileDigestTest, FileWithoutReadPermissionRaises)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may read any file";
    const fs::path path = WriteFile("locked", 100);
    fs::permissions(path, fs::perms::none);
    Digest digest;
    try {
        FileDigest(path, digest);
        FAIL() << "no error raised";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + path.string() + "\". Permission denied");
    }
}

TEST_F(FileDigestTest, FileThatShrinksWhileHashedRaisesInsteadOfHashingZeros)
{
    const fs::path path = WriteFile("shrinking", 3 * 16384);
    Digest digest;
    std::vector<int> seen;
    try {
        FileDigest(path, digest, [&](int percent) {
            seen.push_back(percent);
            if (percent == 33)
                fs::resize_file(path, 20000);
        });
        FAIL() << "no error raised";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot read file \"" + path.string() + "\". The file ended before its expected size");
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 33, 0}));
    EXPECT_EQ(DigestToHex(digest), kZeroHex);
}

TEST_F(FileDigestTest, HashesTheSizeTakenAtOpenWhileOthersWriteOrHashToo)
{
    const fs::path path = WriteFile("growing", 2 * 16384);
    const fs::path other = WriteFile("other", 100);
    Digest expected, expectedOther;
    FileDigest(path, expected);
    FileDigest(other, expectedOther);

    // Another program keeps the file open for writing and appends to it, and the
    // progress report itself hashes another file.
    std::ofstream writer(path, std::ios::binary | std::ios::app);
    Digest digest, nested;
    FileDigest(path, digest, [&](int percent) {
        if (percent == 50) {
            writer << "appended" << std::flush;
            FileDigest(other, nested);
        }
    });
    EXPECT_EQ(digest, expected);
    EXPECT_EQ(nested, expectedOther);
}

} // namespace
} // namespace tarnwick
