#include "launcher/byte_reader.h"

#include "base/error.h"
#include "base/translatable.h"

#include <cstring>

namespace tarnwick {

void ThrowBadImage(const Message& reason)
{
    throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "文件不是有效的 Windows 可执行文件：%1")).Inner(reason));
}

bool ByteReader::Contains(std::uint64_t offset, std::uint64_t size) const
{
    // Both operands are below 2^64 and the span's size fits a size_t, so comparing
    // the size first keeps the subtraction from wrapping.
    return size <= bytes_.size() && offset <= bytes_.size() - size;
}

const std::byte* ByteReader::At(std::uint64_t offset, std::uint64_t size, const char* what) const
{
    if (!Contains(offset, size))
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1位于文件之外")).Phrase(what));
    return bytes_.data() + offset;
}

std::uint8_t ByteReader::U8(std::uint64_t offset, const char* what) const
{
    return static_cast<std::uint8_t>(*At(offset, 1, what));
}

std::uint16_t ByteReader::U16(std::uint64_t offset, const char* what) const
{
    unsigned char b[2];
    std::memcpy(b, At(offset, 2, what), 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ByteReader::U32(std::uint64_t offset, const char* what) const
{
    unsigned char b[4];
    std::memcpy(b, At(offset, 4, what), 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::span<const std::byte> ByteReader::Bytes(std::uint64_t offset, std::uint64_t size, const char* what) const
{
    return {At(offset, size, what), static_cast<std::size_t>(size)};
}

void PutU16(std::span<std::byte> bytes, std::size_t offset, std::uint16_t value)
{
    if (!ByteReader(bytes).Contains(offset, 2))
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "要写入的一个 16 位字段位于文件之外")));
    bytes[offset] = static_cast<std::byte>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::byte>(value >> 8);
}

void PutU32(std::span<std::byte> bytes, std::size_t offset, std::uint32_t value)
{
    if (!ByteReader(bytes).Contains(offset, 4))
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "要写入的一个 32 位字段位于文件之外")));
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value) { PutU16(AsWritableBytes(bytes), offset, value); }

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value) { PutU32(AsWritableBytes(bytes), offset, value); }

void AppendU16(std::string& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>(value >> 8));
}

void AppendU32(std::string& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace tarnwick
