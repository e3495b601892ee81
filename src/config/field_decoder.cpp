#include "config/field_decoder.h"

#include "base/error.h"
#include "base/translatable.h"

#include <zlib.h>

namespace tarnwick {
namespace {

// zlib's header byte 1 for a level-9 stream with the default window; byte 0
// (0x78) is where the encoder puts the length instead.
constexpr unsigned char kHeaderFlags = 0xDA;
// Two header bytes, an empty final block and the checksum.
constexpr std::size_t kShortestStream = 9;

} // namespace

bool IsHeaderDefect(ValueDefect defect)
{
    return defect == ValueDefect::LengthByte || defect == ValueDefect::Header;
}

const char* DefectText(ValueDefect defect)
{
    static_assert(FieldEncoder::kMaxValueBytes == 10240 && FieldEncoder::kMaxTextChars == 10240,
                  "the texts below state the limits");
    switch (defect) {
    case ValueDefect::None: return QT_TRANSLATE_NOOP("Tarnwick", "没有问题");
    case ValueDefect::Alphabet: return QT_TRANSLATE_NOOP("Tarnwick", "它含有“<”到“{”以外的字符，编码从不写出这样的字符");
    case ValueDefect::Length: return QT_TRANSLATE_NOOP("Tarnwick", "它的长度不是编码会得出的长度");
    case ValueDefect::Padding: return QT_TRANSLATE_NOOP("Tarnwick", "它的最后一个字符中有编码不会置上的位");
    case ValueDefect::Short: return QT_TRANSLATE_NOOP("Tarnwick", "它比任何编码后的值都短");
    case ValueDefect::LengthByte: return QT_TRANSLATE_NOOP("Tarnwick", "它的长度字节与它的长度不符");
    case ValueDefect::Header: return QT_TRANSLATE_NOOP("Tarnwick", "它的压缩流的开头与编码器写出的不同");
    case ValueDefect::Data: return QT_TRANSLATE_NOOP("Tarnwick", "它的压缩数据已损坏");
    case ValueDefect::Truncated: return QT_TRANSLATE_NOOP("Tarnwick", "它的压缩数据没有到结尾就中断了");
    case ValueDefect::Trailing: return QT_TRANSLATE_NOOP("Tarnwick", "它的压缩数据结束后还有字节");
    case ValueDefect::Checksum: return QT_TRANSLATE_NOOP("Tarnwick", "它的校验和与内容不符");
    case ValueDefect::TooLong: return QT_TRANSLATE_NOOP("Tarnwick", "它解码后多于 10,240 字节，即一个值最多可有的长度");
    case ValueDefect::NotText: return QT_TRANSLATE_NOOP("Tarnwick", "它解码后的字节不是 GBK 文字");
    }
    return QT_TRANSLATE_NOOP("Tarnwick", "未知问题");
}

ValueDefect UnpackSixBits(std::string_view text, std::string& bytes)
{
    bytes.clear();
    if (text.size() % 4 == 1)
        return ValueDefect::Length;
    bytes.reserve(text.size() * 3 / 4);
    unsigned bits = 0;
    int pending = 0;
    for (char c : text) {
        if (c < 60 || c > 123)
            return ValueDefect::Alphabet;
        bits = ((bits << 6) | static_cast<unsigned>(c - 60)) & 0xFFF;
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            bytes.push_back(static_cast<char>((bits >> pending) & 0xFF));
        }
    }
    if ((bits & ((1u << pending) - 1)) != 0)
        return ValueDefect::Padding;
    return ValueDefect::None;
}

// One raw inflate stream, reset per value.
struct FieldDecoder::Inflater {
    z_stream stream{};
    bool ready = false;
    // One byte of room past the limit tells a value that is too long. Kept
    // across values: clearing 10 KiB per value would cost more than inflating it.
    std::string out = std::string(FieldEncoder::kMaxValueBytes + 1, '\0');

    ~Inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }

    // The deflate data alone: the header and the checksum are checked by the caller.
    ValueDefect Inflate(std::string_view data, std::string& value)
    {
        const int status = ready ? inflateReset(&stream) : inflateInit2(&stream, -MAX_WBITS);
        if (status != Z_OK)
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "zlib 错误：%1")).Arg(zError(status)));
        ready = true;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        const int result = inflate(&stream, Z_FINISH);
        value.assign(out.data(), out.size() - stream.avail_out);
        switch (result) {
        case Z_STREAM_END:
            // A stream that ends exactly in the byte of room past the limit
            // is one byte too long all the same.
            if (value.size() > FieldEncoder::kMaxValueBytes)
                return ValueDefect::TooLong;
            return stream.avail_in == 0 ? ValueDefect::None : ValueDefect::Trailing;
        case Z_DATA_ERROR:
            return ValueDefect::Data;
        case Z_MEM_ERROR:
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "zlib 错误：%1")).Arg(zError(result)));
        default:
            // Out of input before the last block, or out of room for the output.
            return stream.avail_out == 0 ? ValueDefect::TooLong : ValueDefect::Truncated;
        }
    }
};

FieldDecoder::FieldDecoder(const KeyMaterial& key) : inflater_(std::make_unique<Inflater>())
{
    // The encoder's rotation, substitution and mixing, undone by one table.
    const std::uint8_t mix = key.MixByte();
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned rotated = ((b << 3) | (b >> 5)) & 0xFF;
        original_[key.SubstTable[rotated] ^ mix] = static_cast<std::uint8_t>(b);
    }
}

FieldDecoder::~FieldDecoder() = default;

ValueDefect FieldDecoder::StreamOf(std::string_view text, std::string& stream) const
{
    if (text.size() > FieldEncoder::kMaxTextChars)
        return ValueDefect::Length;
    const ValueDefect defect = UnpackSixBits(text, stream);
    for (char& c : stream)
        c = static_cast<char>(original_[static_cast<std::uint8_t>(c)]);
    return defect;
}

ValueDefect FieldDecoder::DecodeValue(std::string_view text, std::string& value)
{
    value.clear();
    if (text.empty())
        return ValueDefect::None;
    std::string& stream = stream_;
    if (const ValueDefect defect = StreamOf(text, stream); defect != ValueDefect::None)
        return defect;
    if (stream.size() < kShortestStream)
        return ValueDefect::Short;
    if (static_cast<std::uint8_t>(stream[0]) != (stream.size() & 0xFF))
        return ValueDefect::LengthByte;
    if (static_cast<unsigned char>(stream[1]) != kHeaderFlags)
        return ValueDefect::Header;
    const std::string_view data = std::string_view(stream).substr(2, stream.size() - 6);
    if (const ValueDefect defect = inflater_->Inflate(data, value); defect != ValueDefect::None)
        return defect;
    std::uint32_t expected = 0;
    for (std::size_t i = stream.size() - 4; i < stream.size(); ++i)
        expected = (expected << 8) | static_cast<std::uint8_t>(stream[i]);
    const uLong actual = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(value.data()),
                                 static_cast<uInt>(value.size()));
    if (actual != expected)
        return ValueDefect::Checksum;
    return ValueDefect::None;
}

} // namespace tarnwick
