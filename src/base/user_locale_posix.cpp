#include "base/user_locale.h"

#include <cstdlib>

namespace tarnwick {

std::string UserLocaleName()
{
    // The order in which the C library picks the locale of messages.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

} // namespace tarnwick
