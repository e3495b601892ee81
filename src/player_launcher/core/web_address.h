#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::player {

// Whether an address from the server information file (or the image) may be
// handed to the browser or fetched. The file comes from the network, so only
// web addresses pass: a file: path, a program name or a script would be run
// by the shell.
enum class AddressCheck {
    Web,          // http:// or https:// and a host
    Empty,        // nothing but blanks
    NoScheme,     // a path or a program name
    OtherScheme,  // file:, javascript:, mailto:, ...
    NoHost,       // "http://" with nothing, or a path, after it
    BadCharacter, // a control character or a blank inside the address
};

struct CheckedAddress {
    AddressCheck check = AddressCheck::Empty;
    std::u16string address; // trimmed; what may be opened when check is Web
    std::u16string scheme;  // OtherScheme: the scheme as written
    bool Allowed() const { return check == AddressCheck::Web; }
};

// Blanks around the address are dropped; the scheme is compared ignoring case.
CheckedAddress CheckWebAddress(std::u16string_view address);
// The same for core text (GBK).
CheckedAddress CheckWebAddressGbk(std::string_view address);

// Where a redirect from the web address `from` leads: its Location resolved
// against `from` (absolute, "//host/...", "/path" or a path relative to the
// folder of `from`). None when it leads anywhere but http or https, or from
// https to http, which would hand the list to whoever sits on the way.
std::optional<std::u16string> RedirectTarget(std::u16string_view from, std::u16string_view location);

// Why an address is not opened, in Chinese (UTF-8); empty when it may be.
std::string RefusalText(const CheckedAddress& checked);

} // namespace tarnwick::player
