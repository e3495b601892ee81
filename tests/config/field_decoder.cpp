#include "field_decoder.h"

#include <zlib.h>

#include <stdexcept>

namespace tarnwick::testing {

std::string UnpackSixBits(std::string_view text)
{
    std::string bytes;
    unsigned bits = 0;
    int pending = 0;
    for (char c : text) {
        if (c < 60 || c > 123)
            throw std::runtime_error("character outside '<'..'{'");
        bits = (bits << 6) | static_cast<unsigned>(c - 60);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            bytes.push_back(static_cast<char>((bits >> pending) & 0xFF));
        }
    }
    if (pending >= 6 || (bits & ((1u << pending) - 1)) != 0)
        throw std::runtime_error("bad padding");
    return bytes;
}

std::string EncodedStream(std::string_view text, const KeyMaterial& key)
{
    unsigned char inverse[256];
    for (unsigned i = 0; i < 256; ++i)
        inverse[key.SubstTable[i]] = static_cast<unsigned char>(i);
    std::string stream = UnpackSixBits(text);
    for (char& c : stream) {
        const unsigned rotated = inverse[static_cast<unsigned char>(c) ^ key.MixByte()];
        c = static_cast<char>(((rotated >> 3) | (rotated << 5)) & 0xFF);
    }
    return stream;
}

std::string DecodeValue(std::string_view text, const KeyMaterial& key)
{
    if (text.empty())
        return {};
    std::string stream = EncodedStream(text, key);
    if (stream.size() < 9 || static_cast<unsigned char>(stream[0]) != (stream.size() & 0xFF))
        throw std::runtime_error("length byte does not match the stream");
    stream[0] = 0x78; // deflate, 32 KiB window: what a level-9 stream starts with
    std::string value(10240, '\0');
    uLongf size = value.size();
    if (uncompress(reinterpret_cast<Bytef*>(value.data()), &size, reinterpret_cast<const Bytef*>(stream.data()),
                   stream.size()) != Z_OK)
        throw std::runtime_error("stream does not inflate");
    value.resize(size);
    return value;
}

} // namespace tarnwick::testing
