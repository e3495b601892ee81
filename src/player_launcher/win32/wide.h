#pragma once

#include "player_launcher/core/texts.h"

#include <string>
#include <string_view>

// wchar_t is UTF-16 on Windows: the core's u16 text and the API's wide text
// are the same code units.
namespace tarnwick::player {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// Text for a Win32 call, by the rule of shown text (texts.h): what does not
// convert shows as U+FFFD, and nothing raises.
inline std::wstring WideOf(std::string_view utf8) { return Wide(ShownUtf16(utf8)); }

} // namespace tarnwick::player
