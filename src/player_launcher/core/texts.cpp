#include "player_launcher/core/texts.h"

#include <filesystem>

namespace tarnwick::player {

// The standard library's path converts between its character types on every
// system; the launcher needs no more than that.
std::string Utf8Of(std::u16string_view utf16)
{
    const std::u8string utf8 = std::filesystem::path(utf16).u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::u16string Utf16Of(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).u16string();
}

} // namespace tarnwick::player
