#pragma once

#include <string>
#include <string_view>

namespace tarnwick::publish {

// UTF-8 from a command line, a server or a file name, as core text for a
// message: GBK, with '?' for what GBK cannot hold, cut at maxBytes.
std::string Shown(std::string_view utf8, std::size_t maxBytes = 300);

} // namespace tarnwick::publish
