#include "base/error.h"
#include "base/text.h"

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
    EXPECT_EQ(PathText("a\xF0\x9F\x98\x80z"), "a?z");
}

TEST(TextHelpers, TrimRemovesControlBytesButNotChinese)
{
    EXPECT_EQ(Trimmed(" \t\x01" "ab c\r\n "), "ab c");
    EXPECT_EQ(Trimmed("   "), "");
    EXPECT_EQ(Trimmed("\xB4\xAB"), "\xB4\xAB");
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
