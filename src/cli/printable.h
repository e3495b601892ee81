#pragma once

#include <string>
#include <string_view>

namespace tarnwick::cli {

// Core text (GBK) for the terminal, which wants UTF-8. Nothing in it can act
// on the terminal: control bytes other than LF and TAB, DEL, and bytes that
// are no GBK character show as \xNN; CR LF shows as LF.
std::string Printable(std::string_view gbk);
// Wide text for the terminal, escaped as above; characters that GBK lacks
// print as '?'.
std::string Printable(std::u16string_view text);

} // namespace tarnwick::cli
