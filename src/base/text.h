#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Core text is GBK (code page 936) bytes. Every edge that meets UTF-8 or UTF-16
// converts through these functions and nowhere else.
namespace tarnwick {

// Strict conversions: a sequence that the other side cannot hold raises Error.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);

// The same for callers that expect text which may not convert: absent then.
// Error is raised only when no converter can be had at all.
std::optional<std::string> TryGbkToUtf8(std::string_view gbk);
std::optional<std::string> TryUtf8ToGbk(std::string_view utf8);
std::optional<std::string> TryUtf16ToGbk(std::u16string_view utf16);

// True when every character of the UTF-8 text has a GBK form.
bool IsGbkRepresentable(std::string_view utf8);
// True when the bytes are well-formed GBK text.
bool IsGbkText(std::string_view gbk);
// True when no byte is above 0x7F: the text is the same in GBK and UTF-8.
bool IsAscii(std::string_view text);

// How much of `bytes` ends with a whole UTF-8 sequence (all of it when its
// end is no cut sequence): text written in parts is cut there, and the rest
// waits for the bytes that complete it.
std::size_t WholeUtf8Prefix(std::string_view bytes);

// A path from UTF-8 text, the same on every system: a path made from a plain
// std::string is taken in the ANSI code page on Windows, not as UTF-8.
std::filesystem::path Utf8Path(std::string_view utf8);

// For messages only: the path as GBK, with '?' for what GBK cannot hold.
std::string PathText(const std::filesystem::path& path);

// A byte of 0x81 to 0xFE starts a two-byte GBK character; its trail byte may
// have the value of an ASCII character.
constexpr bool IsGbkLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Leading and trailing bytes of value 32 or below removed.
std::string_view Trimmed(std::string_view text);

// A whole number of decimal digits only (no sign, no blanks) that fits 64
// bits; none for anything else.
std::optional<std::uint64_t> WholeNumber(std::string_view text);

// The first maxBytes bytes, without regard to character boundaries.
std::string_view CutBytes(std::string_view text, std::size_t maxBytes);

// The first maxBytes bytes, dropping a lead byte of a two-byte GBK character
// that the cut would leave alone at the end.
std::string_view CutGbk(std::string_view text, std::size_t maxBytes);

// The first maxChars characters of GBK text (a lone lead byte at the end counts as one).
std::string_view FirstGbkChars(std::string_view text, std::size_t maxChars);

// A to Z as a to z; every other code unit as it is.
template <class Char>
constexpr Char AsciiLower(Char c)
{
    return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// Equal when they differ at most in the case of the ASCII letters A to Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// Calls visit(line) for each line of the text, cut at CR, LF or CR LF, without
// its line break; a text that ends in a line break has no empty line after it.
// Stops when visit returns false.
template <class Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        if (!visit(text.substr(start, end - start)))
            return;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

} // namespace tarnwick
