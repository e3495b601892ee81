#include "base/error.h"
#include "config/field_decoder.h"
#include "config/field_encoder.h"
#include "config_fixtures.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace tarnwick;
using tarnwick::testing::English;
using tarnwick::testing::Decoded;
using tarnwick::testing::StreamOf;

namespace {

std::string RandomBytes(std::mt19937& rng, std::size_t size)
{
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

// zlib's own one-shot stream at the encoder's settings.
std::string Compress2(const std::string& value)
{
    std::string out(compressBound(value.size()), '\0');
    uLongf size = out.size();
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(value.data()),
                        value.size(), 9),
              Z_OK);
    out.resize(size);
    return out;
}

std::size_t ExpectedLength(std::size_t streamBytes) { return (4 * streamBytes + 2) / 3; }

} // namespace

namespace tarnwick::testing {

// The encoder's steps without its length limit, as another writer might take
// them: what the decoder must refuse past the limit. (server_info_reader_test
// uses it too.)
std::string EncodedWithoutLimit(std::string_view value)
{
    std::string stream = Compress2(std::string(value));
    stream[0] = static_cast<char>(stream.size() & 0xFF);
    const KeyMaterial& key = BuiltInKey();
    for (char& c : stream) {
        const auto b = static_cast<std::uint8_t>(c);
        c = static_cast<char>(key.SubstTable[((b << 3) | (b >> 5)) & 0xFF] ^ key.MixByte());
    }
    return PackSixBits(stream);
}

} // namespace tarnwick::testing

TEST(PackSixBits, PacksMostSignificantBitFirstWithZeroPadding)
{
    EXPECT_EQ(PackSixBits("abc"), "TRE_");
    EXPECT_EQ(PackSixBits(std::string("\0", 1)), "<<");
    EXPECT_EQ(PackSixBits("\xFF"), "{l");
    EXPECT_EQ(PackSixBits("\xFF\xFF"), "{{x");
    EXPECT_EQ(PackSixBits("\xFF\xFF\xFF"), "{{{{");
    EXPECT_EQ(PackSixBits(""), "");
}

TEST(FieldEncoder, EmptyValueGivesEmptyTextAndNoTrace)
{
    int traces = 0;
    FieldEncoder encoder(BuiltInKey(), [&](std::string_view) { ++traces; });
    EXPECT_EQ(encoder.EncodeValue(""), "");
    EXPECT_EQ(traces, 0);
}

TEST(FieldEncoder, OneByteValueGivesTwelveCharactersAndCarriesTheLengthInByteZero)
{
    FieldEncoder encoder;
    const std::string text = encoder.EncodeValue("x");
    EXPECT_EQ(text.size(), 12u);
    const std::string stream = StreamOf(text);
    ASSERT_EQ(stream.size(), 9u);
    EXPECT_EQ(stream[0], 9); // the compressed length, not zlib's 0x78
    EXPECT_EQ(Decoded(text), "x");
}

TEST(FieldEncoder, RandomValuesRoundTripAndStayInTheAlphabet)
{
    std::mt19937 rng(20240501);
    FieldEncoder encoder;
    std::vector<std::size_t> sizes = {1, 2, 3, 4, 5, 63, 64, 255, 256, 257, 1000, 5000, 7000};
    for (int i = 0; i < 200; ++i)
        sizes.push_back(1 + rng() % 300);
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string value = RandomBytes(rng, size);
        const std::string text = encoder.EncodeValue(value);
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c >= 60 && c <= 123; }));
        EXPECT_EQ(text.size(), ExpectedLength(StreamOf(text).size()));
        EXPECT_EQ(Decoded(text), value);
    }
}

TEST(FieldEncoder, ReusedStreamGivesTheBytesOfAFreshOne)
{
    std::mt19937 rng(7);
    FieldEncoder reused;
    for (int i = 0; i < 50; ++i) {
        // Alternate compressible and random values so that stream state would show.
        const std::string value = (i % 2) ? RandomBytes(rng, 1 + rng() % 500) : std::string(1 + rng() % 900, 'a');
        const std::string text = reused.EncodeValue(value);
        EXPECT_EQ(text, FieldEncoder().EncodeValue(value));
        std::string expected = Compress2(value);
        expected[0] = static_cast<char>(expected.size() & 0xFF);
        EXPECT_EQ(StreamOf(text), expected);
    }
}

TEST(FieldEncoder, TraceIsTheFirstFourStreamBytesLittleEndian)
{
    std::vector<std::string> lines;
    FieldEncoder encoder(BuiltInKey(), [&](std::string_view line) { lines.emplace_back(line); });
    const std::string value(300, 'z');
    const std::string text = encoder.EncodeValue(value);
    encoder.EncodeValue("abc");
    ASSERT_EQ(lines.size(), 2u);
    const std::string stream = StreamOf(text);
    char expected[16];
    std::snprintf(expected, sizeof expected, "0x%02X%02X%02X%02X", static_cast<unsigned char>(stream[3]),
                  static_cast<unsigned char>(stream[2]), static_cast<unsigned char>(stream[1]),
                  static_cast<unsigned char>(stream[0]));
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(lines[1], "0x4C4BDA0B"); // abc: 11 bytes, then zlib's level-9 flag byte 0xDA and data
}

TEST(FieldEncoder, KeyMaterialChangesTheTextAndTheDecoderFollowsIt)
{
    KeyMaterial other = BuiltInKey();
    std::reverse(other.SubstTable.begin(), other.SubstTable.end());
    other.KeyWord = static_cast<std::uint16_t>(other.KeyWord + 1);
    const std::string value = "game.example.com";
    const std::string builtIn = FieldEncoder().EncodeValue(value);
    const std::string custom = FieldEncoder(other).EncodeValue(value);
    EXPECT_NE(builtIn, custom);
    EXPECT_EQ(Decoded(custom, other), value);
}

TEST(FieldEncoder, RefusesValuesAndTextsOverTheLimits)
{
    FieldEncoder encoder;
    const std::string longest(FieldEncoder::kMaxValueBytes, 'a');
    EXPECT_EQ(Decoded(encoder.EncodeValue(longest)), longest);

    try {
        encoder.EncodeValue(longest + "a");
        FAIL() << "a value over the limit was encoded";
    } catch (const Error& error) {
        EXPECT_EQ(English(error), "The value is 10,241 bytes long; a value may hold at most 10,240 bytes.");
    }

    // Random bytes do not compress: 8,000 of them need more than 10,240 characters.
    std::mt19937 rng(1);
    try {
        encoder.EncodeValue(RandomBytes(rng, 8000));
        FAIL() << "an encoded text over the limit was returned";
    } catch (const Error& error) {
        EXPECT_NE(English(error).find("at most 10,240 characters"), std::string::npos) << English(error);
    }
    // The encoder is still usable after a refusal.
    EXPECT_EQ(Decoded(encoder.EncodeValue("after")), "after");
}

// What the encoder refuses, the decoder refuses: a ServerInfo.txt from another
// writer cannot carry a longer value into the model.
TEST(FieldDecoder, HoldsValuesToTheEncodersLimit)
{
    struct Row {
        std::size_t bytes;
        ValueDefect defect;
    };
    const Row rows[] = {
        {FieldEncoder::kMaxValueBytes - 1, ValueDefect::None},
        {FieldEncoder::kMaxValueBytes, ValueDefect::None},
        // Fills the decoder's one byte of room past the limit exactly.
        {FieldEncoder::kMaxValueBytes + 1, ValueDefect::TooLong},
        {FieldEncoder::kMaxValueBytes + 2, ValueDefect::TooLong},
        {1024 * 1024, ValueDefect::TooLong},
        // The same decoder goes on after a refusal.
        {FieldEncoder::kMaxValueBytes, ValueDefect::None},
    };
    FieldDecoder decoder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        const std::string value(row.bytes, 'a');
        const std::string text = tarnwick::testing::EncodedWithoutLimit(value);
        std::string decoded;
        EXPECT_EQ(decoder.DecodeValue(text, decoded), row.defect);
        if (row.defect == ValueDefect::None) {
            EXPECT_EQ(decoded, value);
            EXPECT_EQ(FieldEncoder().EncodeValue(value), text); // the helper encodes as the encoder does
        } else {
            EXPECT_THROW(FieldEncoder().EncodeValue(value), Error);
        }
    }
}
