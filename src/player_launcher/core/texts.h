#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The launcher's own text is UTF-16 (its stamped slots, its window) and UTF-8
// (the core, standard output and error); the server information is GBK.
// Inside the core text is UTF-8; GBK is converted where the list is read,
// wide text made only at the Win32 calls.
namespace tarnwick::player {

// For data whose every unit counts (names of files, keys of records): raise
// std::system_error for text that is not well-formed (a lone surrogate, a
// stray UTF-8 byte); the launcher's own strings and converted GBK never are.
std::string Utf8Of(std::u16string_view utf16);
std::u16string Utf16Of(std::string_view utf8);

// For text that is shown (the window, standard output and error, messages):
// never raise; each unit that does not convert (a lone surrogate, a byte of
// UTF-8 or GBK that starts no character) shows as U+FFFD, the rest as it is.
std::string ShownUtf8(std::u16string_view utf16);
std::u16string ShownUtf16(std::string_view utf8);
std::string ShownUtf8OfGbk(std::string_view gbk);
// What shown text puts in place of a unit that does not convert. GBK has no
// such character: in text converted from GBK it marks bytes that were none.
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD"; // U+FFFD

// A path as the system holds it (UTF-16 on Windows, bytes elsewhere), shown.
std::string ShownPath(const std::filesystem::path& path);

} // namespace tarnwick::player
