#pragma once

#include "base/crypto.h"
#include "base/message.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The operator's signing keys, kept in the user's settings folder, outside
// every working folder (which operators publish): a signing pair and a backup
// pair. Launchers trust both public keys, so that an operator who loses the
// signing key (and kept the backup offline, as `key export` advises) signs
// with the backup instead of leaving the players with launchers that accept
// nothing. Files: the keys in signing-keys.txt (mode 0600; on Windows the
// private halves encrypted for the user with DPAPI), and the last serial in
// signing-serial.txt.
namespace tarnwick::sign {

struct SigningKeys {
    crypto::KeyPair signing;
    crypto::KeyPair backup;
};

// What a launcher stamped with these keys trusts: the signing key, then the backup.
std::array<crypto::PublicKey, 2> TrustedPublicKeys(const SigningKeys& keys);

// What a launcher made now will trust, for the operator: lists signed by
// these keys, or (none) whatever the network serves.
Message LauncherTrustText(const std::optional<SigningKeys>& keys);

enum class ImportOutcome {
    Imported,
    AlreadyHere, // the same keys are here already; nothing changed
    OtherKeyHere, // other keys are here; nothing changed
};

class KeyStore {
public:
    explicit KeyStore(std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path KeyFile() const { return folder_ / "signing-keys.txt"; }
    std::filesystem::path SerialFile() const { return folder_ / "signing-serial.txt"; }

    bool Exists() const;
    // None when there is no key. Raises Error when the key file cannot be
    // read or is damaged (ErrorKind::Damaged), or was protected for another
    // user or machine.
    std::optional<SigningKeys> Load() const;

    // Makes both pairs; false, and nothing written, when a key exists.
    bool Create();
    // The backup pair becomes the signing pair and a new backup pair is made,
    // for a signing key that was exposed or lost: every launcher made before
    // trusts the old backup. Raises Error when there is no key.
    void Rotate();
    // Writes both pairs, private halves unprotected, to a new file that only
    // its owner may read; false, and nothing written, when the file exists.
    // Raises Error when there is no key.
    bool Export(const std::filesystem::path& file) const;
    // Takes both pairs from an exported file. Raises Error when it cannot be
    // read or holds no valid pairs.
    ImportOutcome Import(const std::filesystem::path& file);

    // Signs the list's bytes with the signing key: the signature file's text.
    // The serial is greater than every one this folder gave before and at
    // least `now` (seconds since 1970), so that a key restored from an older
    // export still goes forward; two signers of one store take turns.
    std::string SignList(const SigningKeys& keys, std::string_view list, std::int64_t now);

private:
    void Write(const SigningKeys& keys, bool replace) const;
    std::uint64_t NextSerial(std::int64_t now) const;

    std::filesystem::path folder_;
};

// The text of a key file: what `key export` writes, and (protected) what the
// store keeps. ParseKeyFile raises Error (Damaged) for anything else.
std::string KeyFileText(const SigningKeys& keys, bool protect);
SigningKeys ParseKeyFile(std::string_view text, const std::filesystem::path& shownPath);

} // namespace tarnwick::sign
