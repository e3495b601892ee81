#pragma once

#include "config/web_address.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::player {

using tarnwick::AddressCheck;
using tarnwick::CheckedAddress;
using tarnwick::CheckWebAddress;


// Where a redirect from the web address `from` leads: its Location resolved
// against `from` (absolute, "//host/...", "/path" or a path relative to the
// folder of `from`). None when it leads anywhere but http or https, or from
// https to http, which would hand the list to whoever sits on the way.
std::optional<std::u16string> RedirectTarget(std::u16string_view from, std::u16string_view location);


} // namespace tarnwick::player
