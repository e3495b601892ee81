#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// A command-line program's own main. The platform's entry (Tarnwick::entry)
// calls it with the arguments as UTF-8, the program's name first, and with
// standard input and output passing bytes unchanged.
int ProgramMain(std::vector<std::string> arguments);

} // namespace tarnwick
