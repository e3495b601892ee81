#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

// Constant key material shared with the launcher that reads ServerInfo.txt.
struct KeyMaterial {
    std::array<std::uint8_t, 256> SubstTable{};
    std::uint8_t KeyByte1 = 0;
    std::uint8_t KeyByte2 = 0;
    std::uint16_t KeyWord = 0;

    std::uint8_t MixByte() const
    {
        return static_cast<std::uint8_t>(KeyByte1 ^ KeyByte2 ^ ((KeyWord >> 8) + (KeyWord & 0xFF)));
    }
};

// The key material the program was built with (TARNWICK_KEY_FILE).
const KeyMaterial& BuiltInKey();

// The bytes as six-bit groups, most significant bit first, each group written
// as the character 60 + v ("<" to "{"); a short last group is padded with zeros.
std::string PackSixBits(std::string_view bytes);

// Turns a configuration value into compressed, scrambled printable text for
// ServerInfo.txt. Keeps one deflate stream across calls (reset per value, which
// gives the same bytes as a fresh stream), so one encoder serves one thread.
class FieldEncoder {
public:
    using TraceSink = std::function<void(std::string_view)>;

    static constexpr std::size_t kMaxValueBytes = 10240;
    static constexpr std::size_t kMaxTextChars = 10240;

    // trace receives one "0x%08X" line per non-empty value; none by default.
    explicit FieldEncoder(const KeyMaterial& key = BuiltInKey(), TraceSink trace = {});
    ~FieldEncoder();
    FieldEncoder(const FieldEncoder&) = delete;
    FieldEncoder& operator=(const FieldEncoder&) = delete;

    // The encoded text of the value's bytes; the empty value gives the empty
    // text. Raises Error for a value or text over its limit and for zlib failures.
    std::string EncodeValue(std::string_view value);

private:
    struct Deflater;
    std::unique_ptr<Deflater> deflater_;
    std::array<std::uint8_t, 256> substitute_{};
    TraceSink trace_;
};

} // namespace tarnwick
