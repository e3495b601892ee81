#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

// Hashes and signatures come from the system's cryptography (OpenSSL's
// libcrypto on Linux, CNG on Windows), never from code of ours: ECDSA over
// the NIST P-256 curve with SHA-256, which Windows verifies with bcrypt.dll,
// so that the launcher carries no crypto library. Failures of the library
// itself (no randomness, a broken installation) raise Error.
namespace tarnwick::crypto {

using Sha256Digest = std::array<std::uint8_t, 32>;
// A public key as its two coordinates, X then Y, big-endian.
using PublicKey = std::array<std::uint8_t, 64>;
// A private key as its scalar, big-endian.
using PrivateKey = std::array<std::uint8_t, 32>;
// A signature as r then s, big-endian (what CNG makes and takes).
using Signature = std::array<std::uint8_t, 64>;

struct KeyPair {
    PrivateKey privateKey{};
    PublicKey publicKey{};
};

Sha256Digest Sha256(std::string_view bytes);

// SHA-256 of bytes that arrive in pieces, such as a download, so that the
// digest is ready as soon as the last piece is.
class Sha256Hasher {
public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;

    void Update(std::string_view bytes);
    // The digest of everything given; the hasher is spent.
    Sha256Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A new key pair from the system's random source.
KeyPair GenerateKeyPair();

// Whether the public key is a point of the curve and, for a pair, whether its
// private key belongs to it: what a key read from a file must pass.
bool IsValidPublicKey(const PublicKey& key);
bool IsValidKeyPair(const KeyPair& pair);

// ECDSA of the message's SHA-256.
Signature Sign(const KeyPair& pair, std::string_view message);
// False for any signature that does not verify, a malformed one included.
bool Verify(const PublicKey& key, std::string_view message, const Signature& signature);

} // namespace tarnwick::crypto
