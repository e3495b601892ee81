// The key files' mode (0600) is the protection here.
#include "base/secret_protection.h"

namespace tarnwick {

const char* SecretProtectionName() { return "none"; }

std::string ProtectSecret(std::string_view secret) { return std::string(secret); }

std::optional<std::string> UnprotectSecret(std::string_view protectionName, std::string_view stored)
{
    if (protectionName != SecretProtectionName())
        return std::nullopt;
    return std::string(stored);
}

} // namespace tarnwick
