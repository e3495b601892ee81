#include "base/error.h"
#include "base/text.h"
#include "digest/md5.h"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(GbkConversion, RoundTripsChineseAndAscii)
{
    const std::string utf8 = "Velmora\xE4\xBC\xA0\xE5\xA5\x87"; // Velmora传奇
    const std::string gbk = Utf8ToGbk(utf8);
    EXPECT_EQ(gbk, "Velmora\xB4\xAB\xC6\xE6");
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
    EXPECT_EQ(GbkToUtf16("A\xB4\xAB"), std::u16string(u"A\u4F20"));
}

TEST(GbkConversion, RefusesWhatTheOtherSideCannotHold)
{
    EXPECT_THROW(Utf8ToGbk("\xF0\x9F\x98\x80"), Error); // an emoji
    EXPECT_THROW(GbkToUtf8("\xB4"), Error);             // a lone lead byte
    EXPECT_THROW(Utf8ToGbk("\xC3"), Error);             // truncated UTF-8
    EXPECT_FALSE(IsGbkRepresentable("\xF0\x9F\x98\x80"));
    EXPECT_TRUE(IsGbkRepresentable("abc \xE4\xBC\xA0"));
    EXPECT_EQ(PathText(Utf8Path("a\xF0\x9F\x98\x80z")), "a?z");
}

namespace {

std::string Md5Hex(const std::string& bytes)
{
    MD5Context context;
    MD5Init(context);
    MD5Update(context, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Digest digest;
    MD5Final(context, digest);
    return DigestToHex(digest);
}

// U+E000 to U+F8FF in UTF-8.
bool HoldsPrivateUse(const std::string& utf8)
{
    for (std::size_t i = 0; i + 1 < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]), next = static_cast<unsigned char>(utf8[i + 1]);
        if ((lead == 0xEE) || (lead == 0xEF && next <= 0xA3))
            return true;
    }
    return false;
}

} // namespace

// Both builds hold to one rule, so that a file that loads on one loads, and
// saves the same bytes, on the other: the code page 936 of Windows maps GBK's
// user-defined areas to private-use characters; they are not GBK text here.
// The digests pin the whole table, valid or not and decoded to what, and
// must come out the same on every system.
TEST(GbkRule, EveryOneAndTwoByteSequence)
{
    std::string table;
    int valid[3] = {};
    auto check = [&](const std::string& gbk) {
        const auto utf8 = TryGbkToUtf8(gbk);
        EXPECT_EQ(IsGbkText(gbk), utf8.has_value());
        if (!utf8)
            return;
        ++valid[gbk.size()];
        EXPECT_FALSE(HoldsPrivateUse(*utf8)) << std::hex << static_cast<unsigned>(static_cast<unsigned char>(gbk[0]));
        EXPECT_EQ(TryUtf8ToGbk(*utf8), gbk);
        table += gbk + '=' + *utf8 + '\n';
    };
    for (int a = 0; a < 256; ++a) {
        check(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b)
            check({static_cast<char>(a), static_cast<char>(b)});
    }
    EXPECT_EQ(valid[1], 129); // 0x00 to 0x80, the euro sign
    EXPECT_EQ(valid[2], 38432);
    EXPECT_EQ(Md5Hex(table), "63e81bf19313d73186634347aa15156e");

    for (const char* userDefined : {"\xAA\xA1", "\xAF\xFE", "\xF8\xA1", "\xFE\xFE", "\xA1\x40", "\xA7\xA0"})
        EXPECT_FALSE(IsGbkText(userDefined)) << userDefined;
}

TEST(GbkRule, EveryCharacterOfTheBasicPlane)
{
    std::string table;
    int encoded = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const auto gbk = TryUtf16ToGbk(std::u16string(1, static_cast<char16_t>(c)));
        if (!gbk)
            continue;
        ++encoded;
        EXPECT_EQ(GbkToUtf16(*gbk), std::u16string(1, static_cast<char16_t>(c)));
        table += std::to_string(c) + '=' + *gbk + '\n';
    }
    EXPECT_EQ(encoded, 21920);
    EXPECT_EQ(Md5Hex(table), "5fb93b36eaa93528419290c3dda0fa74");
    EXPECT_FALSE(TryUtf16ToGbk(u"\uE000"));
    EXPECT_FALSE(TryUtf8ToGbk("\xEF\xA3\xBF")); // U+F8FF
}

TEST(TextHelpers, TrimRemovesControlBytesButNotChinese)
{
    EXPECT_EQ(Trimmed(" \t\x01" "ab c\r\n "), "ab c");
    EXPECT_EQ(Trimmed("   "), "");
    EXPECT_EQ(Trimmed("\xB4\xAB"), "\xB4\xAB");
}

TEST(TextHelpers, TextWrittenInPartsIsCutOnlyBetweenCharacters)
{
    const std::string text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80"; // a, 中, an emoji
    EXPECT_EQ(WholeUtf8Prefix(text), text.size());
    for (std::size_t cut = 2; cut < 4; ++cut)
        EXPECT_EQ(WholeUtf8Prefix(text.substr(0, cut)), 1u) << cut;
    for (std::size_t cut = 5; cut < 8; ++cut)
        EXPECT_EQ(WholeUtf8Prefix(text.substr(0, cut)), 4u) << cut;
    // Bytes that are no UTF-8 are not held back: the console shows them as such.
    EXPECT_EQ(WholeUtf8Prefix("\x80\x80\x80\x80\x80"), 5u);
    EXPECT_EQ(WholeUtf8Prefix(""), 0u);
}

TEST(TextHelpers, CutsCountBytes)
{
    EXPECT_EQ(CutBytes("abcdef", 4), "abcd");
    EXPECT_EQ(CutBytes("ab", 4), "ab");
    // The plain cut splits a character; the GBK cut drops the lone lead byte.
    const std::string text = "abc\xB4\xAB";
    EXPECT_EQ(CutBytes(text, 4), "abc\xB4");
    EXPECT_EQ(CutGbk(text, 4), "abc");
    EXPECT_EQ(CutGbk(text, 5), text);
    EXPECT_EQ(CutGbk("\xB4\xAB\xC6\xE6x", 4), "\xB4\xAB\xC6\xE6");
    // A trail byte in the ASCII range must not be taken for a character of its own.
    EXPECT_EQ(CutGbk("\x81\x40\x81\x40", 3), "\x81\x40");
}

TEST(TextHelpers, CaseInsensitiveOnlyForAsciiLetters)
{
    EXPECT_TRUE(EqualsIgnoringAsciiCase("East", "eAST"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("East", "Eas"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{")); // differ by 0x20 but are no letters
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xB4\xAB", "\xB4\x8B"));
}
