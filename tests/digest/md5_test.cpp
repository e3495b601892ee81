#include "digest/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::string Md5Hex(const void* data, std::size_t length)
{
    MD5Context context;
    MD5Init(context);
    MD5Update(context, data, static_cast<std::uint32_t>(length));
    Digest digest;
    MD5Final(context, digest);
    return DigestToHex(digest);
}

std::string Md5Hex(const std::string& text)
{
    return Md5Hex(text.data(), text.size());
}

std::vector<std::uint8_t> Pattern(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(Md5, MatchesTheRfc1321TestSuite)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PadsCorrectlyAroundTheBlockEdges)
{
    const struct {
        std::size_t length;
        const char* hex;
    } cases[] = {
        {55, "52c0e574e1198de5fe3f8f11440dcb1b"},  {56, "46c9907fc908ee68b1e7b8e71286a518"},
        {57, "1c805dd236c35cab25fcb1bc73802c51"},  {63, "a62f6d59e837867693f042f5b8f5a236"},
        {64, "7160b8fb5e9e4023d549c3971fbaeead"},  {65, "70bd662e7aefbda85a0f7244167b7897"},
        {119, "e84905d4214f4d1ca56c2cdcc152b143"}, {120, "e3eb5a6c8669ea01a8c185b8abc8a5dc"},
        {128, "10b2da1a82f16d99a81a7203fe9f02cb"},
    };
    for (const auto& c : cases) {
        const auto bytes = Pattern(c.length);
        EXPECT_EQ(Md5Hex(bytes.data(), bytes.size()), c.hex) << c.length << " bytes";
    }
}

TEST(Md5, GivesTheSameDigestWhetherDataArrivesWholeOrSplit)
{
    const auto bytes = Pattern(1000);
    const std::string whole = Md5Hex(bytes.data(), bytes.size());

    // Every first-piece length, so that buffered tails of all sizes meet whole blocks.
    for (std::size_t first = 0; first <= 200; ++first) {
        MD5Context context;
        MD5Init(context);
        MD5Update(context, bytes.data(), static_cast<std::uint32_t>(first));
        MD5Update(context, bytes.data() + first, static_cast<std::uint32_t>(bytes.size() - first));
        Digest digest;
        MD5Final(context, digest);
        ASSERT_EQ(DigestToHex(digest), whole) << "split at " << first;
    }

    MD5Context context;
    MD5Init(context);
    for (std::uint8_t byte : bytes)
        MD5Update(context, &byte, 1);
    Digest digest;
    MD5Final(context, digest);
    EXPECT_EQ(DigestToHex(digest), whole) << "byte by byte";

    // Blocks read straight from unaligned input.
    std::vector<std::uint8_t> shifted(bytes.size() + 1);
    std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
    EXPECT_EQ(Md5Hex(shifted.data() + 1, bytes.size()), whole) << "unaligned";
}

TEST(Md5, CountsBitsWithCarryIntoTheHighWord)
{
    MD5Context context;
    MD5Init(context);
    context.count[0] = 0xfffffff8u; // one byte short of 2^32 bits
    const std::uint8_t byte = 0;
    MD5Update(context, &byte, 1);
    EXPECT_EQ(context.count[0], 0u);
    EXPECT_EQ(context.count[1], 1u);
}

TEST(Md5, FinalZeroesTheWholeContext)
{
    MD5Context context;
    MD5Init(context);
    MD5Update(context, "secret", 6);
    Digest digest;
    MD5Final(context, digest);

    MD5Context zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0);
}

TEST(Md5, HexIsLowercaseThirtyTwoCharactersByteZeroFirst)
{
    Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(0xf0 - 0x0f * i);
    EXPECT_EQ(DigestToHex(digest), "f0e1d2c3b4a5968778695a4b3c2d1e0f");
    EXPECT_EQ(DigestToHex(Digest{}), std::string(32, '0'));
}

TEST(Md5, APipelineGivesTheDigestOfWhatWasAddedSinceItsLastRestart)
{
    std::string whole;
    for (int i = 0; i < 3'000'000; ++i)
        whole += static_cast<char>(i * 13 + i / 4096);
    Md5Pipeline pipeline;
    EXPECT_EQ(DigestToHex(pipeline.Finish()), Md5Hex(""));
    pipeline.Add("thrown away");
    pipeline.Restart();
    // Uneven pieces, more than the pipeline holds at once.
    for (std::size_t at = 0, piece = 1; at < whole.size(); at += piece, piece = piece * 3 % 70'001 + 1)
        pipeline.Add(std::string_view(whole).substr(at, piece));
    EXPECT_EQ(DigestToHex(pipeline.Finish()), Md5Hex(whole));
    // Finish leaves the stream open: more bytes continue it.
    pipeline.Add("tail");
    EXPECT_EQ(DigestToHex(pipeline.Finish()), Md5Hex(whole + "tail"));
}

} // namespace
} // namespace tarnwick
