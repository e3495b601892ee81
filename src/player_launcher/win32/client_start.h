#pragma once

#include "player_launcher/core/client_command.h"
#include "player_launcher/core/server_list.h"

#include <string>

namespace tarnwick::player {

// Starts the game client of the stamped template for one connection entry,
// in the launcher's folder. Empty on success, else why not (Chinese, UTF-8).
std::string StartClient(const std::u16string& command, const ClientFields& fields);

// What the player is told of a start: the status line, and when the choice
// could not be kept for the next start, that (the game runs all the same).
struct Started {
    std::string line;
    std::string notRemembered;
};

// What pressing start does, for the window and for "/start": the chosen
// server's entry (its first when the choice names none left) started with
// the game client, the choice remembered for the next start. Empty on
// success, else why not (UTF-8).
std::string StartChosen(const std::optional<std::u16string>& command, const ServerList& list, const Choice& choice,
                        Started& started);

} // namespace tarnwick::player
