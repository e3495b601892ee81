#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::sign {

// Lowercase hexadecimal, as the signature and key files hold bytes.
std::string ToHex(std::span<const std::uint8_t> bytes);

// The bytes of exactly `size` bytes' worth of lowercase hexadecimal digits;
// none for anything else (upper case, blanks, another length).
std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text, std::size_t size);

// Copies the hexadecimal text into a fixed array; false when it does not fit exactly.
template <std::size_t N>
bool FromHexInto(std::string_view text, std::array<std::uint8_t, N>& out)
{
    const auto bytes = FromHex(text, N);
    if (!bytes)
        return false;
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return true;
}

} // namespace tarnwick::sign
