#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The version of this build, as the build system names it ("0.1.0").
std::string_view ProgramVersion();

// What --version prints: "tarnwick-cli 0.1.0".
std::string VersionLine(std::string_view program);

} // namespace tarnwick
