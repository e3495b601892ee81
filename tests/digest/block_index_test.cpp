#include "digest/block_index.h"

#include "base/error.h"
#include "base/file_io.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tarnwick::blocks {
namespace {

namespace fs = std::filesystem;

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

class BlockIndexTest : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;

    fs::path Write(const std::string& name, const std::string& bytes)
    {
        const fs::path path = folder_.path() / name;
        ReplaceFile(path, bytes);
        return path;
    }
};

TEST_F(BlockIndexTest, TheRollingSumOfAMovedWindowIsTheSumOfThatWindow)
{
    const std::string bytes = RandomBytes(9000, 1);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    constexpr std::uint32_t kWindow = 4096;
    RollingSum sum;
    sum.Reset(data, kWindow);
    for (std::size_t at = 1; at + kWindow <= bytes.size(); ++at) {
        sum.Roll(data[at - 1], data[at + kWindow - 1]);
        ASSERT_EQ(sum.Value(), WeakSum(data + at, kWindow)) << "at " << at;
    }
}

TEST_F(BlockIndexTest, AnIndexDescribesItsFileAndReadsBackAsWritten)
{
    // Blocks of 4096 bytes; the last one short.
    const std::string bytes = RandomBytes(3 * 4096 + 100, 2);
    const BlockIndex index = IndexFile(Write("game.pak", bytes), 3);
    EXPECT_EQ(index.blockSize, 4096u);
    EXPECT_EQ(index.length, bytes.size());
    ASSERT_EQ(index.blocks.size(), 4u);
    EXPECT_EQ(index.BlockLength(3), 100u);
    EXPECT_EQ(index.sha256, crypto::Sha256(bytes));
    EXPECT_EQ(DigestToHex(index.md5), Md5Hex(bytes));
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(index.blocks[3].weak, WeakSum(data + 3 * 4096, 100));
    EXPECT_EQ(DigestToHex(index.blocks[1].strong), Md5Hex(bytes.substr(4096, 4096)));

    const std::string encoded = EncodeIndex(index);
    EXPECT_EQ(encoded.size(), 72u + 4 * 20);
    std::string why;
    EXPECT_EQ(DecodeIndex(encoded, why), index) << why;

    // An empty file has no blocks.
    const BlockIndex empty = IndexFile(Write("empty", ""));
    EXPECT_TRUE(empty.blocks.empty());
    EXPECT_EQ(DecodeIndex(EncodeIndex(empty), why), empty) << why;
}

TEST_F(BlockIndexTest, BlockSizesKeepLargeIndexesSmall)
{
    EXPECT_EQ(ChooseBlockSize(0), 4096u);
    EXPECT_EQ(ChooseBlockSize(200'000'000), 16384u);
    EXPECT_EQ(ChooseBlockSize(1ull << 30), 65536u);
    EXPECT_EQ(ChooseBlockSize(1ull << 40), kMaxBlockSize);
}

TEST_F(BlockIndexTest, AnIndexThatDoesNotAddUpIsRefused)
{
    const std::string good = EncodeIndex(IndexFile(Write("f", RandomBytes(10'000, 3))));
    std::string why;
    ASSERT_TRUE(DecodeIndex(good, why));

    std::string wrongMagic = good;
    wrongMagic[0] = 'X';
    std::string oddBlockSize = good;
    oddBlockSize[9] = 0x11; // 4096 + 256: no power of two
    std::string tooFewBlocks = good.substr(0, good.size() - 20);
    std::string longer = good;
    longer[18] = 1; // 65,536 bytes longer: the blocks no longer cover it
    std::string reserved = good;
    reserved[12] = 1;
    for (const std::string& bad : {wrongMagic, oddBlockSize, tooFewBlocks, longer, reserved, good.substr(0, 40),
                                   std::string()}) {
        why.clear();
        EXPECT_FALSE(DecodeIndex(bad, why));
        EXPECT_FALSE(why.empty());
    }
    EXPECT_FALSE(DecodeIndex(std::string(kMaxIndexBytes + 1, 'T'), why));
}

TEST_F(BlockIndexTest, BlocksAreFoundWhereverTheOldFileHoldsThem)
{
    // The new file: 64 blocks of 4096 bytes and a short one.
    const std::string fresh = RandomBytes(64 * 4096 + 500, 4);
    const BlockIndex index = IndexFile(Write("new", fresh));
    ASSERT_EQ(index.blockSize, 4096u);

    // The old file: 1,000 bytes more before block 10, block 20 changed, block 40 missing.
    std::string old = fresh.substr(0, 10 * 4096) + RandomBytes(1000, 5) + fresh.substr(10 * 4096);
    old[1000 + 20 * 4096 + 7] ^= 0x5A;
    old.erase(1000 + 40 * 4096, 4096);
    for (const unsigned workers : {1u, 2u, 5u}) {
        const auto found = FindBlocks(index, Write("old", old), workers);
        ASSERT_EQ(found.size(), 65u);
        for (std::size_t block = 0; block < 65; ++block) {
            SCOPED_TRACE("block " + std::to_string(block) + ", " + std::to_string(workers) + " workers");
            if (block == 20 || block == 40) {
                EXPECT_FALSE(found[block]);
                continue;
            }
            ASSERT_TRUE(found[block]);
            const std::uint64_t at = *found[block];
            EXPECT_EQ(old.substr(static_cast<std::size_t>(at), index.BlockLength(block)),
                      fresh.substr(block * 4096, index.BlockLength(block)));
        }
    }
}

TEST_F(BlockIndexTest, AnOldFileShorterThanABlockOrEmptyHoldsNothing)
{
    const BlockIndex index = IndexFile(Write("new", RandomBytes(5 * 4096, 6)));
    for (const std::string& old : {std::string(), RandomBytes(100, 7)}) {
        const auto found = FindBlocks(index, Write("old", old), 2);
        EXPECT_EQ(std::count(found.begin(), found.end(), std::nullopt), 5);
    }
    EXPECT_THROW(FindBlocks(index, folder_.path() / "missing", 2), Error);
}

} // namespace
} // namespace tarnwick::blocks
