#include "sign/trusted_keys.h"

#include <algorithm>
#include <cstring>

namespace tarnwick::sign {
namespace {

constexpr std::size_t kCountOffset = 16;
constexpr std::size_t kKeysOffset = 32;

} // namespace

std::string TrustedKeysBlob(std::span<const crypto::PublicKey> keys)
{
    std::string blob(kTrustedKeysBytes, '\0');
    std::memcpy(blob.data(), kTrustedKeysMagic.data(), kTrustedKeysMagic.size());
    const std::size_t count = std::min(keys.size(), kMaxTrustedKeys);
    blob[kCountOffset] = static_cast<char>(count);
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(blob.data() + kKeysOffset + 64 * i, keys[i].data(), 64);
    return blob;
}

std::optional<std::vector<crypto::PublicKey>> ReadTrustedKeys(std::span<const std::byte> blob)
{
    if (blob.size() < kTrustedKeysBytes ||
        std::memcmp(blob.data(), kTrustedKeysMagic.data(), kTrustedKeysMagic.size()) != 0)
        return std::nullopt;
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < 4; ++i)
        count |= static_cast<std::uint32_t>(blob[kCountOffset + i]) << (8 * i);
    if (count > kMaxTrustedKeys)
        return std::nullopt;
    std::vector<crypto::PublicKey> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(keys[i].data(), blob.data() + kKeysOffset + 64 * i, 64);
        if (!crypto::IsValidPublicKey(keys[i]))
            return std::nullopt;
    }
    return keys;
}

} // namespace tarnwick::sign
