#pragma once

#include <filesystem>
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

// True when every character of the UTF-8 text has a GBK form.
bool IsGbkRepresentable(std::string_view utf8);
// True when the bytes are well-formed GBK text.
bool IsGbkText(std::string_view gbk);

// For messages only: the path as GBK, with '?' for what GBK cannot hold.
std::string PathText(const std::filesystem::path& path);

// Leading and trailing bytes of value 32 or below removed.
std::string_view Trimmed(std::string_view text);

// The first maxBytes bytes, without regard to character boundaries.
std::string_view CutBytes(std::string_view text, std::size_t maxBytes);

// The first maxBytes bytes, dropping a lead byte of a two-byte GBK character
// that the cut would leave alone at the end.
std::string_view CutGbk(std::string_view text, std::size_t maxBytes);

// Equal when they differ at most in the case of the ASCII letters A to Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace tarnwick
