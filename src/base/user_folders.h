#pragma once

#include <filesystem>
#include <optional>

namespace tarnwick {

// The user's documents folder on systems where a program's files for the user
// belong there (Windows: where an operator finds the files to publish);
// absent where other rules say where they go (the XDG rules), or when the
// system does not say.
std::optional<std::filesystem::path> DocumentsFolder();

// Where Tarnwick keeps the user's own settings and secrets, outside every
// working folder (which operators publish): $XDG_CONFIG_HOME/tarnwick, else
// ~/.config/tarnwick; on Windows %APPDATA%\Tarnwick. Not created here. Raises
// Error when the system names no such folder (no home folder).
std::filesystem::path SettingsFolder();

} // namespace tarnwick
