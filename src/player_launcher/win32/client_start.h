#pragma once

#include "player_launcher/core/client_command.h"
#include "player_launcher/core/server_list.h"

#include <string>

namespace tarnwick::player {

// Starts the game client of the stamped template for one connection entry,
// in the launcher's folder. Empty on success, else why not (Chinese, UTF-8).
std::string StartClient(const std::u16string& command, const ClientFields& fields);

// What pressing start does, for the window and for "/start": the chosen
// server's entry (its first when the choice names none left) started with
// the game client, the choice remembered for the next start. `started` gets
// the status line (UTF-8). Empty on success, else why not.
std::string StartChosen(const std::optional<std::u16string>& command, const ServerList& list, const Choice& choice,
                        std::string& started);

} // namespace tarnwick::player
