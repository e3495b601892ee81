#include "base/user_locale.h"

#include <windows.h>

namespace tarnwick {

std::string UserLocaleName()
{
    // The language of the user's interface, which need not be that of their
    // formats (GetUserDefaultLocaleName).
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0)
        return {};
    std::string ascii;
    for (const wchar_t* c = name; *c != L'\0'; ++c)
        ascii += *c < 0x80 ? static_cast<char>(*c) : '?';
    return ascii;
}

} // namespace tarnwick
