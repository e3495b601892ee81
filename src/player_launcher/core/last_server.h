#pragma once

#include "player_launcher/core/server_list.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The server the player chose last, kept in a small file beside the launcher
// so that the next start selects it again. The list may have changed since:
// the choice is kept by names, and a file that cannot be read is no choice.
namespace tarnwick::player {

struct LastServer {
    std::string group;  // as the list shows it
    std::string server; // its display name
    std::size_t entry = 0;
    bool operator==(const LastServer&) const = default;
};

// The file's text, its names in GBK as launchers have always written them;
// absent when a name holds a line break, which the format has no room for,
// or a character GBK cannot hold (nothing is remembered then).
std::optional<std::string> LastServerText(const LastServer& last);
// Absent for anything but a file LastServerText wrote. Bytes of a name that
// are no GBK read as U+FFFD, as the list shows them.
std::optional<LastServer> ParseLastServer(std::string_view text);

// Where the choice is in the list now: the first group and server of those
// names, the entry when it still exists (else the first); absent when the
// group or the server is gone.
std::optional<Choice> FindChoice(const ServerList& list, const LastServer& last);
LastServer Remembered(const ServerList& list, const Choice& choice);

// The file, read tolerantly (a missing, large or damaged one is no choice),
// and written atomically. Writing raises Error.
std::optional<LastServer> ReadLastServer(const std::filesystem::path& file);
void WriteLastServer(const std::filesystem::path& file, const LastServer& last);

// After the game started with `last`: writes it, and says so when it could
// not be kept (empty when it was): the game runs all the same, but the next
// start will not select it. Never raises.
std::string RememberStartedChoice(const std::filesystem::path& file, const LastServer& last);

} // namespace tarnwick::player
