#pragma once

#include "base/crypto.h"
#include "player_launcher/core/list_source.h"
#include "sign/list_signature.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A launcher stamped with its operator's public keys takes a list only with
// a signature by one of them, over exactly the bytes that arrived, and no
// older than the newest list it took before (kept in a small file beside
// it). Without stamped keys it trusts whatever the network serves, as
// launchers always did.
namespace tarnwick::player {

// What the launcher trusts, read once at start from its own image.
struct ListTrustKeys {
    std::vector<crypto::PublicKey> keys; // empty: no signature is asked for
    bool damaged = false;                 // the key room cannot be read: nothing is accepted
    bool Required() const { return damaged || !keys.empty(); }
};

// The highest serial accepted before: 0 when the file is missing or
// damaged; written atomically. Writing raises Error.
std::uint64_t ReadHighestSerial(const std::filesystem::path& file);
void WriteHighestSerial(const std::filesystem::path& file, std::uint64_t serial);

// The address of a list's signature file.
std::u16string SignatureAddress(std::u16string_view listAddress);

// The signature checks alone, for a list whose bytes are read elsewhere: no
// failure when the list may be read, and then the serial to keep.
struct TrustCheck {
    DownloadFailure failure;
    std::optional<std::uint64_t> serial;
};
TrustCheck CheckListTrust(std::string_view body, std::optional<std::string_view> signature,
                          const ListTrustKeys& trust, std::uint64_t highestSerial,
                          const std::optional<sign::ListDigest>& digest = std::nullopt);

// Reads a fetched list. With keys, the list must carry their signature (the
// signature file's bytes, none when the server had none) and not be older
// than `highestSerial`; `acceptedSerial` is then the list's serial, to keep
// once the list has been taken. A refused list is not read at all.
struct TrustedList {
    ListResult result;
    std::optional<std::uint64_t> acceptedSerial;
};
// `digest`, when given, is the body's length and SHA-256 taken as it arrived,
// so that a large list is not hashed again once it is whole.
TrustedList ReadTrustedList(std::string_view body, std::optional<std::string_view> signature,
                            const ListTrustKeys& trust, std::uint64_t highestSerial,
                            const std::optional<sign::ListDigest>& digest = std::nullopt);

} // namespace tarnwick::player
