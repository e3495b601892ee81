#include "base/error.h"
#include "digest/md5.h"

#include "file_digest_fixture.h"
#include "english_text.h"

#include <fstream>

namespace tarnwick {
namespace {

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
        EXPECT_EQ(testing::English(error),
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

namespace tarnwick {
namespace {

TEST_F(FileDigestTest, ManyFilesAreHashedInParallelEachAsAloneAndInTheirOrder)
{
    std::vector<fs::path> files;
    std::vector<std::string> alone;
    for (int i = 0; i < 40; ++i) {
        // Sizes that vary, so that workers finish out of order.
        files.push_back(WriteFile("file" + std::to_string(i), static_cast<std::size_t>((i * 7919) % 70000)));
        Digest digest;
        FileDigest(files.back(), digest);
        alone.push_back(DigestToHex(digest));
    }
    files.insert(files.begin() + 5, dir_ / "missing");
    alone.insert(alone.begin() + 5, "");
    files.push_back(dir_);
    alone.push_back("");
    for (unsigned workers : {0u, 1u, 3u, 64u}) {
        const std::vector<std::optional<Digest>> digests = FileDigests(files, workers);
        ASSERT_EQ(digests.size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(digests[i] ? DigestToHex(*digests[i]) : "", alone[i]) << workers << " workers, " << files[i];
    }
    EXPECT_TRUE(FileDigests({}, 4).empty());
}

} // namespace
} // namespace tarnwick
