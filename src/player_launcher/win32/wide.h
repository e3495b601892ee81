#pragma once

#include <string>
#include <string_view>

// wchar_t is UTF-16 on Windows: the core's u16 text and the API's wide text
// are the same code units.
namespace tarnwick::player {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

} // namespace tarnwick::player
