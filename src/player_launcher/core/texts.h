#pragma once

#include <string>
#include <string_view>

// The launcher's own text is UTF-16 (its stamped slots, its window) and UTF-8
// (standard output and error); the server information is GBK. These convert
// between the first two; base/text.h converts GBK.
namespace tarnwick::player {

// Raise std::system_error for text that is not well-formed (a lone surrogate,
// a stray UTF-8 byte); the launcher's own strings and converted GBK never are.
std::string Utf8Of(std::u16string_view utf16);
std::u16string Utf16Of(std::string_view utf8);

} // namespace tarnwick::player
