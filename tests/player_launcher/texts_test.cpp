#include "base/error.h"
#include "base/text.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/text_fit.h"
#include "player_launcher/core/texts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

using namespace tarnwick;
using namespace tarnwick::player;

namespace {

const std::string kReplaced = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

// Shown text never raises: each unit that does not convert is one U+FFFD,
// everything around it stays.
TEST(ShownText, WhatDoesNotConvertIsReplacedAndTheRestKept)
{
    EXPECT_EQ(ShownUtf8(u"华东 A\U0001F600"), "华东 A\U0001F600");
    EXPECT_EQ(ShownUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a" + kReplaced + "b");
    EXPECT_EQ(ShownUtf8(std::u16string{u'a', char16_t(0xDC00)}), "a" + kReplaced);
    EXPECT_EQ(ShownUtf8(std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}),
              kReplaced + "\U00010000");

    EXPECT_EQ(ShownUtf16("华东 A\U0001F600"), u"华东 A\U0001F600");
    // A stray continuation byte, a cut sequence, an overlong '/', an encoded
    // surrogate: one replacement per byte that starts nothing.
    EXPECT_EQ(ShownUtf16("a\x80" "b"), u"a\uFFFDb");
    EXPECT_EQ(ShownUtf16("a\xE5\x8D"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(ShownUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(ShownUtf16("\xED\xA0\x80" "x"), u"\uFFFD\uFFFD\uFFFDx");
    EXPECT_EQ(ShownUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");

    const std::string gbk = Utf8ToGbk("华东一区");
    EXPECT_EQ(ShownUtf8OfGbk(gbk), "华东一区");
    // A lead byte without its trail, alone at the end or before a byte that
    // trails none (some ASCII bytes do).
    EXPECT_EQ(ShownUtf8OfGbk(gbk.substr(0, 3)), "华" + kReplaced);
    EXPECT_EQ(ShownUtf8OfGbk(gbk.substr(0, 3) + " " + gbk.substr(2)), "华" + kReplaced + " 东一区");
    EXPECT_EQ(ShownUtf8OfGbk("\xFF" "a"), kReplaced + "a");

    // The strict conversions, for data, still refuse.
    EXPECT_THROW(Utf16Of("a\x80"), std::system_error);
}

TEST(ShownText, NoExceptionReachesThePlayerInTheLibrarysEnglish)
{
    EXPECT_EQ(ExceptionText(Error(Utf8ToGbk("无法读取文件“a”。"))), "无法读取文件“a”。");
    const std::string file = ExceptionText(std::filesystem::filesystem_error(
        "filesystem error: cannot create directory", std::filesystem::path("Data"),
        std::make_error_code(std::errc::permission_denied)));
    EXPECT_EQ(file, FileFailureText("访问", std::filesystem::path("Data"), ErrorKind::NoPermission));
    EXPECT_EQ(ExceptionText(std::bad_alloc()), "内存不足：请关闭其他程序后重试。");
    for (const std::string& text : {ExceptionText(std::system_error(std::make_error_code(std::errc::no_space_on_device))),
                                   ExceptionText(std::runtime_error("vector::_M_range_check"))}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find("vector"), std::string::npos);
        EXPECT_EQ(text.find("space"), std::string::npos);
        EXPECT_NE(text.find("请"), std::string::npos);
    }
}

namespace {

// Every character 10 pixels wide, Chinese ones 20.
int Width(std::u16string_view text)
{
    int width = 0;
    for (char16_t c : text)
        width += c >= 0x2E80 ? 20 : 10;
    return width;
}

FittedText Fit(std::u16string_view text, int width, std::size_t lines) { return FitText(text, width, lines, Width); }

} // namespace

TEST(FitText, BreaksWhereChineseAndLatinTextMayBreak)
{
    // Between any two Chinese characters; a closing mark stays on its line.
    EXPECT_EQ(Fit(u"无法连接到服务器。请检查网络", 100, 3).lines,
              (std::vector<std::u16string>{u"无法连接到", u"服务器。请", u"检查网络"}));
    EXPECT_EQ(Fit(u"无法连接到。请检查网络", 100, 3).lines,
              (std::vector<std::u16string>{u"无法连接", u"到。请检查", u"网络"}));
    // Latin words at blanks, a path after its separators, a word longer
    // than the line where the line ends.
    EXPECT_EQ(Fit(u"HTTP 404 Not Found", 100, 3).lines, (std::vector<std::u16string>{u"HTTP 404", u"Not Found"}));
    EXPECT_EQ(Fit(u"C:\\Games\\Velmora\\x", 100, 3).lines,
              (std::vector<std::u16string>{u"C:\\Games\\", u"Velmora\\x"}));
    EXPECT_EQ(Fit(u"abcdefghijkl", 100, 3).lines, (std::vector<std::u16string>{u"abcdefghij", u"kl"}));
    // The text's own line breaks.
    const FittedText two = Fit(u"更新完成。\r\n失败 1 项", 200, 2);
    EXPECT_TRUE(two.whole);
    EXPECT_EQ(two.lines, (std::vector<std::u16string>{u"更新完成。", u"失败 1 项"}));
}

TEST(FitText, WhatDoesNotFitEndsWithAnEllipsisThatFits)
{
    const FittedText cut = Fit(u"无法写入“C:\\Games\\Velmora\\a.lastserver”。没有权限", 100, 2);
    EXPECT_FALSE(cut.whole);
    ASSERT_EQ(cut.lines.size(), 2u);
    EXPECT_TRUE(cut.lines[1].ends_with(u"…"));
    for (const auto& line : cut.lines)
        EXPECT_LE(Width(line), 100) << ShownUtf8(line);

    EXPECT_TRUE(Fit(u"一二三四五", 100, 1).whole);
    EXPECT_EQ(Fit(u"一二三四五六", 100, 1).lines, (std::vector<std::u16string>{u"一二三四…"}));
    EXPECT_EQ(Fit(u"a\nb\nc", 100, 2).lines, (std::vector<std::u16string>{u"a", u"b…"}));
    // A character never falls apart at the cut.
    EXPECT_EQ(Fit(u"a\U0001F600", 40, 2).lines, (std::vector<std::u16string>{u"a", u"\U0001F600"}));
    EXPECT_EQ(Fit(u"a\U0001F600\U0001F600", 55, 1).lines, (std::vector<std::u16string>{u"a…"}));
}
