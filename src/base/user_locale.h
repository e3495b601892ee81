#pragma once

#include <string>

namespace tarnwick {

// The locale name of the user's interface language as the system gives it
// ("en_US.UTF-8", "zh_CN", "C" on POSIX systems, from LC_ALL, LC_MESSAGES or
// LANG; "en-US", "zh-CN" on Windows); "" when none is set.
std::string UserLocaleName();

} // namespace tarnwick
