#pragma once

#include "base/crypto.h"
#include "base/message.h"
#include "base/translatable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The signature file published beside ServerInfo.txt (ServerInfo.txt.sig):
// a few lines a person can read, which say what the list's bytes are (length
// and SHA-256), a serial that only grows, when and with which key it was
// signed, and the signature over those lines:
//
//   Tarnwick list signature 1
//   length: 21450
//   sha256: 64 hexadecimal digits
//   serial: 1796726400
//   time: 2026-12-08T10:40:00Z
//   key: 16 hexadecimal digits
//   signature: 128 hexadecimal digits
//
// The signature (ECDSA P-256 with SHA-256, r then s) covers the first six
// lines, each ending in LF. A reader also takes CR LF, in case a transfer in
// text mode changed the line ends; nothing else is tolerated.
namespace tarnwick::sign {

inline constexpr std::string_view kSignatureSuffix = ".sig";
// Far more than the file ever holds; a longer one is no signature file.
inline constexpr std::size_t kMaxSignatureFileBytes = 4096;
// How refusals of a longer file state it.
inline constexpr const char* kSignatureSizeRule = QT_TRANSLATE_NOOP("Tarnwick", "签名文件最多可有 4,096 字节");

// A key's id: the first 8 bytes of the SHA-256 of its public key, in
// hexadecimal. It only says which key to try; the signature decides.
std::string KeyIdOf(const crypto::PublicKey& key);

struct ListSignature {
    std::uint64_t length = 0;
    crypto::Sha256Digest sha256{};
    std::uint64_t serial = 0;
    std::string time; // UTC, YYYY-MM-DDTHH:MM:SSZ
    std::string keyId;
    crypto::Signature signature{};
    bool operator==(const ListSignature&) const = default;
};

// A UTC time as the file writes it, from seconds since 1970.
std::string SignatureTime(std::int64_t secondsSinceEpoch);

// Signs the list's bytes with the key.
ListSignature SignList(std::string_view list, const crypto::KeyPair& key, std::uint64_t serial, std::string time);

// The file's text.
std::string SignatureFileText(const ListSignature& signature);

// The file read strictly; `problem` says why when it is no signature file.
// The signature itself is not checked here (see CheckSignedList).
struct ParsedSignature {
    std::optional<ListSignature> signature;
    Message problem;
};
ParsedSignature ParseSignatureFile(std::string_view text);

// How a list fares against the keys a launcher trusts.
enum class ListTrust {
    Accepted,
    NoSignature, // no signature file came
    OtherKey,    // signed, but by none of the trusted keys
    Damaged,     // the signature file is damaged, its signature false, or the list not the one it signed
    Older,       // genuine, but older than a list accepted before
};

struct TrustResult {
    ListTrust trust = ListTrust::NoSignature;
    std::optional<ListSignature> signature; // Accepted, Older: what the file says
    Message detail;                         // Damaged: what is wrong; OtherKey: the key's id
};

// Checks a fetched list against its signature file (none when there was
// none), the trusted public keys and the highest serial accepted before.
TrustResult CheckSignedList(std::string_view list, std::optional<std::string_view> signatureFile,
                            std::span<const crypto::PublicKey> trusted, std::uint64_t highestSerial);

// The same for a list whose length and SHA-256 were taken as it arrived.
struct ListDigest {
    std::uint64_t length = 0;
    crypto::Sha256Digest sha256{};
};
TrustResult CheckSignedList(const ListDigest& list, std::optional<std::string_view> signatureFile,
                            std::span<const crypto::PublicKey> trusted, std::uint64_t highestSerial);

} // namespace tarnwick::sign
