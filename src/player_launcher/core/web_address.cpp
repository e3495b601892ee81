#include "player_launcher/core/web_address.h"

#include "base/text.h"
#include "player_launcher/core/texts.h"

#include <algorithm>

namespace tarnwick::player {

std::optional<std::u16string> RedirectTarget(std::u16string_view from, std::u16string_view location)
{
    const CheckedAddress base = CheckWebAddress(from);
    if (!base.Allowed())
        return std::nullopt;
    const std::u16string_view origin = base.address; // "http://host:port/path?query"
    const std::size_t colon = origin.find(u':');
    const std::size_t pathStart = std::min(origin.find_first_of(u"/\\?#", colon + 3), origin.size());
    while (!location.empty() && IsAddressBlank(location.front()))
        location.remove_prefix(1);
    std::u16string target;
    const std::size_t schemeEnd = SchemeLength(location);
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

} // namespace tarnwick::player
