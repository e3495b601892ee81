#include "config/web_address.h"

#include "base/text.h"

#include <algorithm>

namespace tarnwick {
namespace {

bool IsSchemeCharacter(char16_t c, bool first)
{
    const char16_t lower = AsciiLower(c);
    if (lower >= u'a' && lower <= u'z')
        return true;
    return !first && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.');
}

} // namespace

std::size_t SchemeLength(std::u16string_view address)
{
    std::size_t length = 0;
    while (length < address.size() && IsSchemeCharacter(address[length], length == 0))
        ++length;
    return length;
}

CheckedAddress CheckWebAddress(std::u16string_view address)
{
    while (!address.empty() && IsAddressBlank(address.front()))
        address.remove_prefix(1);
    while (!address.empty() && IsAddressBlank(address.back()))
        address.remove_suffix(1);
    CheckedAddress checked;
    checked.address = address;
    if (address.empty())
        return checked;
    // A blank or control character inside would let the shell read the rest
    // as something else; DEL and the C1 controls are no address characters either.
    if (std::any_of(address.begin(), address.end(),
                    [](char16_t c) { return IsAddressBlank(c) || c == 0x7F || (c >= 0x80 && c <= 0x9F); })) {
        checked.check = AddressCheck::BadCharacter;
        return checked;
    }
    const std::size_t colon = SchemeLength(address);
    // "C:\game.exe" has a one-letter "scheme": a drive, not a scheme.
    if (colon == address.size() || address[colon] != u':' || colon < 2) {
        checked.check = AddressCheck::NoScheme;
        return checked;
    }
    const std::u16string_view scheme = address.substr(0, colon);
    if (!EqualsIgnoringAsciiCase(scheme, u"http") && !EqualsIgnoringAsciiCase(scheme, u"https")) {
        checked.check = AddressCheck::OtherScheme;
        checked.scheme = scheme;
        return checked;
    }
    const std::u16string_view rest = address.substr(colon + 1);
    const bool slashes = rest.size() >= 2 && rest[0] == u'/' && rest[1] == u'/';
    // The host ends where the path, the query or the fragment starts.
    const std::u16string_view authority = slashes ? rest.substr(2, rest.substr(2).find_first_of(u"/\\?#")) : u"";
    checked.check = authority.empty() ? AddressCheck::NoHost : AddressCheck::Web;
    return checked;
}

CheckedAddress CheckWebAddressGbk(std::string_view address) { return CheckWebAddress(GbkToUtf16(address)); }

} // namespace tarnwick
