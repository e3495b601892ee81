// Digest failures that only POSIX systems can bring about: an exhausted
// descriptor table, a file without read permission; and md5sum to agree with.
#include "base/error.h"

#include "file_digest_fixture.h"
#include "english_text.h"

#include <cstdio>
#include <exception>

#include <iconv.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tarnwick {
namespace {

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
        EXPECT_EQ(testing::English(error), "Cannot open file \"" + path.string() + "\". Too many open files");
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
        EXPECT_EQ(testing::English(error), "Cannot open file \"" + path.string() + "\". Permission denied");
    }
}

} // namespace
} // namespace tarnwick
