#pragma once

#include "base/crypto.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The public keys a launcher accepts lists from, stamped into its own room:
// the resource TRUSTEDKEYS of type RCDATA, apart from the version resource.
// Its bytes: the 16 characters of kTrustedKeysMagic, the number of keys as a
// 32-bit little-endian number, 12 bytes of zeros, then room for two public
// keys of 64 bytes each (X then Y). The launcher image carries it with no
// keys: a launcher that trusts whatever the network serves.
namespace tarnwick::sign {

inline constexpr std::u16string_view kTrustedKeysResource = u"TRUSTEDKEYS";
inline constexpr std::uint16_t kRcDataType = 10;
inline constexpr std::string_view kTrustedKeysMagic = "Tarnwick keys v1";
inline constexpr std::size_t kMaxTrustedKeys = 2;
inline constexpr std::size_t kTrustedKeysBytes = 32 + kMaxTrustedKeys * 64;

// The resource's bytes for these keys (at most two: the signing key first,
// then its backup).
std::string TrustedKeysBlob(std::span<const crypto::PublicKey> keys);

// The keys of a stamped resource: empty when it holds none; absent when the
// bytes are no such resource or hold a key that is no point of the curve.
std::optional<std::vector<crypto::PublicKey>> ReadTrustedKeys(std::span<const std::byte> blob);

} // namespace tarnwick::sign
