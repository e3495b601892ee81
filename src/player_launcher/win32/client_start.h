#pragma once

#include "player_launcher/core/client_command.h"

#include <string>

namespace tarnwick::player {

// Starts the game client of the stamped template for one connection entry,
// in the launcher's folder. Empty on success, else why not (Chinese, UTF-8).
std::string StartClient(const std::u16string& command, const ClientFields& fields);

} // namespace tarnwick::player
