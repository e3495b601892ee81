#pragma once

#include "base/message.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tarnwick {

// Little-endian reads from untrusted bytes. Every read checks its range, with
// offsets widened to 64 bits before adding so that no sum can wrap; a read
// outside the bytes raises Error naming what was being read.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::byte> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    bool Contains(std::uint64_t offset, std::uint64_t size) const;

    std::uint8_t U8(std::uint64_t offset, const char* what) const;
    std::uint16_t U16(std::uint64_t offset, const char* what) const;
    std::uint32_t U32(std::uint64_t offset, const char* what) const;
    std::span<const std::byte> Bytes(std::uint64_t offset, std::uint64_t size, const char* what) const;

private:
    const std::byte* At(std::uint64_t offset, std::uint64_t size, const char* what) const;

    std::span<const std::byte> bytes_;
};

// The error for a malformed executable, with what is wrong in it. `what`
// names of the reads are marked phrases (QT_TRANSLATE_NOOP).
[[noreturn]] void ThrowBadImage(const Message& reason);

// Little-endian writes into bytes whose range the caller has checked.
void PutU16(std::span<std::byte> bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::span<std::byte> bytes, std::size_t offset, std::uint32_t value);
void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value);
void AppendU16(std::string& bytes, std::uint16_t value);
void AppendU32(std::string& bytes, std::uint32_t value);

// Views of byte strings as the bytes they hold.
inline std::span<const std::byte> AsBytes(const std::string& bytes)
{
    return std::as_bytes(std::span(bytes.data(), bytes.size()));
}
inline std::span<std::byte> AsWritableBytes(std::string& bytes)
{
    return std::as_writable_bytes(std::span(bytes.data(), bytes.size()));
}

} // namespace tarnwick
