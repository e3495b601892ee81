#include "std_output.h"

#include "base/console.h"

namespace tarnwick::player {

void WriteOut(std::string_view utf8) { WriteStandardOutput(utf8); }
void WriteError(std::string_view utf8) { WriteStandardError(utf8); }

} // namespace tarnwick::player
