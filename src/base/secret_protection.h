#pragma once

#include <optional>
#include <string>
#include <string_view>

// Secrets kept in the user's settings folder: on Windows encrypted for the
// user with DPAPI, so that a copied file is of no use on another account or
// machine; elsewhere kept as they are, in files only their owner may read.
namespace tarnwick {

// The name of the protection, written beside the protected bytes: "dpapi" on
// Windows, "none" elsewhere.
const char* SecretProtectionName();

// Raises Error when the system cannot protect it.
std::string ProtectSecret(std::string_view secret);

// The secret again; none when the bytes were protected by another scheme,
// another user or another machine, or are damaged.
std::optional<std::string> UnprotectSecret(std::string_view protectionName, std::string_view stored);

} // namespace tarnwick
