#pragma once

#include <memory>
#include <optional>
#include <string>

// The desktop's keyring: the Secret Service (through libsecret) on Linux, the
// Credential Manager on Windows. Tarnwick keeps passwords only there, never
// in a file of its own.
namespace tarnwick {

// Where a password belongs: the server (scheme, host and port, as
// "sftp://example.com:22") and the user name on it.
struct CredentialKey {
    std::string server;
    std::string user;
};

class CredentialStore {
public:
    virtual ~CredentialStore() = default;

    // Whether the system has a keyring this program can use now (no Secret
    // Service on the session bus, say, makes it false).
    virtual bool Available() = 0;
    // The stored password; none when there is none or no keyring. Raises
    // Error only when the keyring answers with a failure of its own.
    virtual std::optional<std::string> Find(const CredentialKey& key) = 0;
    // Stores or replaces the password. Raises Error when it cannot.
    virtual void Store(const CredentialKey& key, const std::string& password) = 0;
    // Forgets it (a password the server refused); quiet when there is none.
    virtual void Forget(const CredentialKey& key) = 0;
};

// The system's keyring; it is asked for nothing until used.
std::unique_ptr<CredentialStore> SystemCredentialStore();

} // namespace tarnwick
