#pragma once

#include <filesystem>

namespace tarnwick {

// The program's own folder, for starts from the desktop menu, whose current
// directory is the home folder: $XDG_DATA_HOME/tarnwick, or
// $HOME/.local/share/tarnwick when XDG_DATA_HOME is unset, empty or relative
// (as the XDG base directory rules say). Pass the variables' values or null.
// Raises Error when neither variable gives an absolute folder.
std::filesystem::path OwnFolder(const char* xdgDataHome, const char* home);

// Makes folder the current directory. With create, a missing folder and its
// parents are made first (the folder itself private to the user); otherwise a missing folder is
// refused. Raises Error saying which folder and why.
void EnterFolder(const std::filesystem::path& folder, bool create);

} // namespace tarnwick
