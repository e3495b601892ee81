#pragma once

#include <string_view>

namespace tarnwick::player {

// Writes UTF-8 text to the standard output or error that the launcher
// inherited: a pipe, a file or a console. A program of the window subsystem
// has none of its own, so from a console it attaches to the parent's.
void WriteOut(std::string_view utf8);
void WriteError(std::string_view utf8);

} // namespace tarnwick::player
