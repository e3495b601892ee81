#pragma once

#include <string>
#include <string_view>

namespace tarnwick::cli {

// Core text (GBK) for the terminal, which wants UTF-8; bytes that are not GBK
// text pass unchanged.
std::string Printable(std::string_view gbk);
// Wide text for the terminal; characters that GBK lacks print as '?'.
std::string Printable(std::u16string_view text);

} // namespace tarnwick::cli
