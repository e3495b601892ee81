#pragma once

#include "base/text.h"
#include "base/translatable.h"

#include <string>
#include <string_view>

namespace tarnwick::ui {

// The window texts are written in UTF-8 source and shown as GBK, like all core text.
inline std::string Gbk(std::string_view utf8) { return Utf8ToGbk(utf8); }

} // namespace tarnwick::ui
