#include "player_launcher/core/stamped_strings.h"

namespace tarnwick::player {
namespace {

std::u16string_view TrimmedBlanks(std::u16string_view text)
{
    const auto blank = [](char16_t c) { return c <= u' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::u16string> Configured(std::u16string_view value, std::u16string_view placeholder)
{
    const std::u16string_view trimmed = TrimmedBlanks(value);
    if (trimmed.empty() || value == placeholder)
        return std::nullopt;
    return std::u16string(trimmed);
}

LauncherSettings SettingsFrom(const StampedStrings& strings)
{
    LauncherSettings settings;
    settings.title = Configured(strings.gameName, kGameNamePlaceholder).value_or(u"登录器");
    settings.listUrl = Configured(strings.serverList, kServerListPlaceholder);
    settings.gameClient = Configured(strings.gameClient, kGameClientPlaceholder);
    return settings;
}

std::u16string PrintText(const StampedStrings& strings)
{
    const auto stamped = [](const std::u16string& value, std::u16string_view placeholder) {
        return value == placeholder ? std::u16string() : value;
    };
    return u"GameName: " + stamped(strings.gameName, kGameNamePlaceholder) + u"\nServerList: " +
           stamped(strings.serverList, kServerListPlaceholder) + u"\nGameClient: " +
           stamped(strings.gameClient, kGameClientPlaceholder) + u"\n";
}

} // namespace tarnwick::player
