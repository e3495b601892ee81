#include "publish/sftp_packets.h"

namespace tarnwick::publish::sftp {
namespace {

void PutUint32(std::string& out, std::uint32_t value)
{
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void PutString(std::string& out, std::string_view text)
{
    PutUint32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

// The payload with its length in front.
std::string Framed(const std::string& payload)
{
    std::string packet;
    packet.reserve(4 + payload.size());
    PutUint32(packet, static_cast<std::uint32_t>(payload.size()));
    return packet + payload;
}

std::uint32_t Uint32At(std::string_view bytes)
{
    return (std::uint32_t{static_cast<unsigned char>(bytes[0])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(bytes[1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(bytes[2])} << 8) | std::uint32_t{static_cast<unsigned char>(bytes[3])};
}

// Reads fields front to back; every read checks that the field is there.
class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : rest_(bytes) {}

    bool AtEnd() const { return rest_.empty(); }

    std::optional<std::uint8_t> Byte()
    {
        if (rest_.empty())
            return std::nullopt;
        const auto value = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return value;
    }

    std::optional<std::uint32_t> Uint32()
    {
        if (rest_.size() < 4)
            return std::nullopt;
        const std::uint32_t value = Uint32At(rest_);
        rest_.remove_prefix(4);
        return value;
    }

    std::optional<std::string_view> String()
    {
        const std::optional<std::uint32_t> length = Uint32();
        // Compared as the sizes they are: a length near 2^32 must not wrap.
        if (!length || *length > rest_.size())
            return std::nullopt;
        const std::string_view text = rest_.substr(0, *length);
        rest_.remove_prefix(*length);
        return text;
    }

private:
    std::string_view rest_;
};

} // namespace

bool ServerVersion::Offers(std::string_view name) const
{
    for (const auto& [extension, data] : extensions)
        if (extension == name)
            return true;
    return false;
}

std::string InitPacket(std::uint32_t version)
{
    std::string payload(1, static_cast<char>(kInit));
    PutUint32(payload, version);
    return Framed(payload);
}

std::string ExtendedPacket(std::uint32_t id, std::string_view request, std::string_view first, std::string_view second)
{
    std::string payload(1, static_cast<char>(kExtended));
    PutUint32(payload, id);
    PutString(payload, request);
    PutString(payload, first);
    PutString(payload, second);
    return Framed(payload);
}

bool PacketReader::Broken() const
{
    if (buffer_.size() < 4)
        return false;
    const std::uint32_t length = Uint32At(buffer_);
    return length == 0 || length > maxPacket_;
}

std::optional<std::string> PacketReader::Next()
{
    if (buffer_.size() < 4 || Broken())
        return std::nullopt;
    const std::size_t length = Uint32At(buffer_);
    if (buffer_.size() - 4 < length)
        return std::nullopt;
    std::string payload = buffer_.substr(4, length);
    buffer_.erase(0, 4 + length);
    return payload;
}

std::optional<ServerVersion> ParseVersion(std::string_view payload)
{
    FieldReader reader(payload);
    const std::optional<std::uint8_t> type = reader.Byte();
    const std::optional<std::uint32_t> version = reader.Uint32();
    if (type != kVersion || !version)
        return std::nullopt;
    ServerVersion parsed;
    parsed.version = *version;
    while (!reader.AtEnd()) {
        const std::optional<std::string_view> name = reader.String();
        const std::optional<std::string_view> data = reader.String();
        if (!name || !data)
            return std::nullopt;
        parsed.extensions.emplace_back(*name, *data);
    }
    return parsed;
}

std::optional<Status> ParseStatus(std::string_view payload)
{
    FieldReader reader(payload);
    const std::optional<std::uint8_t> type = reader.Byte();
    const std::optional<std::uint32_t> id = reader.Uint32();
    const std::optional<std::uint32_t> code = reader.Uint32();
    if (type != kStatus || !id || !code)
        return std::nullopt;
    Status status{*id, *code, {}};
    if (reader.AtEnd())
        return status;
    const std::optional<std::string_view> message = reader.String();
    if (!message)
        return std::nullopt;
    status.message = *message;
    // The language tag may be missing too; what is there must be whole.
    if (!reader.AtEnd() && !reader.String())
        return std::nullopt;
    return status;
}

} // namespace tarnwick::publish::sftp
