#include "edit/user_keys.h"

#include "base/error.h"
#include "base/user_folders.h"

namespace tarnwick::edit {

std::optional<sign::KeyStore> UserKeyStore()
{
    try {
        return sign::KeyStore(SettingsFolder());
    } catch (const Error& error) {
        if (error.Kind() != ErrorKind::NotFound)
            throw;
        return std::nullopt;
    }
}

} // namespace tarnwick::edit
