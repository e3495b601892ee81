#pragma once

#include "player_launcher/core/list_trust.h"
#include "player_launcher/core/slot_placeholders.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::player {

inline constexpr std::u16string_view kGameNamePlaceholder = u"" TARNWICK_GAME_NAME_PLACEHOLDER;
inline constexpr std::u16string_view kServerListPlaceholder = u"" TARNWICK_SERVER_LIST_PLACEHOLDER;
inline constexpr std::u16string_view kGameClientPlaceholder = u"" TARNWICK_GAME_CLIENT_PLACEHOLDER;

// The version strings the builder stamps, as the image's own version resource
// holds them (an absent slot reads as empty).
struct StampedStrings {
    std::u16string gameName;
    std::u16string serverList;
    std::u16string gameClient;
};

// The value of a slot, or none when it still holds its placeholder or is blank:
// an unstamped slot configures nothing.
std::optional<std::u16string> Configured(std::u16string_view value, std::u16string_view placeholder);

// What the settings of one image say, read once at start.
struct LauncherSettings {
    std::u16string title;                     // the game name, or a generic title
    std::optional<std::u16string> listUrl;    // where ServerInfo.txt is fetched
    std::optional<std::u16string> gameClient; // the client's command template
    ListTrustKeys trust;                      // the operator's keys stamped into the image, if any
};
LauncherSettings SettingsFrom(const StampedStrings& strings);

// What /print writes: one "Key: value" line per slot, as stamped; a slot
// that still holds its placeholder shows nothing.
std::u16string PrintText(const StampedStrings& strings);

} // namespace tarnwick::player
