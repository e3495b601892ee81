#pragma once

#include "sign/key_store.h"

#include <optional>

namespace tarnwick::edit {

// The operator's key store in the user's settings folder. None where the
// system names no settings folder (no home folder): there is then no key, and
// nothing is signed.
std::optional<sign::KeyStore> UserKeyStore();

} // namespace tarnwick::edit
