#include "player_launcher/core/web_address.h"

#include "base/text.h"
#include "player_launcher/core/texts.h"

#include <algorithm>

namespace tarnwick::player {
namespace {

constexpr bool IsBlank(char16_t c) { return c <= u' '; }

bool IsSchemeCharacter(char16_t c, bool first)
{
    const char16_t lower = AsciiLower(c);
    if (lower >= u'a' && lower <= u'z')
        return true;
    return !first && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.');
}

} // namespace

CheckedAddress CheckWebAddress(std::u16string_view address)
{
    while (!address.empty() && IsBlank(address.front()))
        address.remove_prefix(1);
    while (!address.empty() && IsBlank(address.back()))
        address.remove_suffix(1);
    CheckedAddress checked;
    checked.address = address;
    if (address.empty())
        return checked;
    // A blank or control character inside would let the shell read the rest
    // as something else; DEL and the C1 controls are no address characters either.
    if (std::any_of(address.begin(), address.end(),
                    [](char16_t c) { return IsBlank(c) || c == 0x7F || (c >= 0x80 && c <= 0x9F); })) {
        checked.check = AddressCheck::BadCharacter;
        return checked;
    }
    std::size_t colon = 0;
    while (colon < address.size() && IsSchemeCharacter(address[colon], colon == 0))
        ++colon;
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

std::optional<std::u16string> RedirectTarget(std::u16string_view from, std::u16string_view location)
{
    const CheckedAddress base = CheckWebAddress(from);
    if (!base.Allowed())
        return std::nullopt;
    const std::u16string_view origin = base.address; // "http://host:port/path?query"
    const std::size_t colon = origin.find(u':');
    const std::size_t pathStart = std::min(origin.find_first_of(u"/\\?#", colon + 3), origin.size());
    while (!location.empty() && IsBlank(location.front()))
        location.remove_prefix(1);
    std::u16string target;
    std::size_t schemeEnd = 0;
    while (schemeEnd < location.size() && IsSchemeCharacter(location[schemeEnd], schemeEnd == 0))
        ++schemeEnd;
    if (schemeEnd > 0 && schemeEnd < location.size() && location[schemeEnd] == u':')
        target = location;
    else if (location.starts_with(u"//"))
        target = std::u16string(origin.substr(0, colon + 1)) + std::u16string(location);
    else if (location.starts_with(u"/"))
        target = std::u16string(origin.substr(0, pathStart)) + std::u16string(location);
    else {
        const std::u16string_view path = origin.substr(0, std::min(origin.find_first_of(u"?#", pathStart), origin.size()));
        const std::size_t slash = path.rfind(u'/');
        target = (slash == std::u16string_view::npos || slash < pathStart ? std::u16string(path) + u"/"
                                                                          : std::u16string(path.substr(0, slash + 1))) +
                 std::u16string(location);
    }
    const CheckedAddress checked = CheckWebAddress(target);
    const auto https = [](std::u16string_view address) { return EqualsIgnoringAsciiCase(address.substr(0, 6), u"https:"); };
    if (!checked.Allowed() || (https(origin) && !https(checked.address)))
        return std::nullopt;
    return checked.address;
}

CheckedAddress CheckWebAddressGbk(std::string_view address) { return CheckWebAddress(GbkToUtf16(address)); }

std::string RefusalText(const CheckedAddress& checked)
{
    switch (checked.check) {
    case AddressCheck::Web: return {};
    case AddressCheck::Empty: return "没有设置这个网址。";
    case AddressCheck::NoScheme:
        return "“" + Utf8Of(checked.address) + "”不是网址（只打开以 http:// 或 https:// 开头的地址）。";
    case AddressCheck::OtherScheme:
        return "不打开“" + Utf8Of(checked.scheme) + ":”类型的地址（只打开 http 和 https 网址）：" +
               Utf8Of(checked.address);
    case AddressCheck::NoHost: return "网址“" + Utf8Of(checked.address) + "”没有主机名。";
    case AddressCheck::BadCharacter: return "网址中含有空格或控制字符，不予打开。";
    }
    return {};
}

} // namespace tarnwick::player
