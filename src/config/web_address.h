#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

// Whether an address may be handed to a browser or fetched: the launcher
// checks what it reads from the network with it, and the operator's tools
// refuse with it what no launcher would open. Only web addresses pass: a
// file: path, a program name or a script would be run by the shell.
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

// Blanks and control characters, which no address holds.
constexpr bool IsAddressBlank(char16_t c) { return c <= u' '; }
// The length of the scheme that starts the address ("http" of "http://..."), 0 for none.
std::size_t SchemeLength(std::u16string_view address);

// Blanks around the address are dropped; the scheme is compared ignoring case.
CheckedAddress CheckWebAddress(std::u16string_view address);
// The same for core text (GBK).
CheckedAddress CheckWebAddressGbk(std::string_view address);

} // namespace tarnwick
