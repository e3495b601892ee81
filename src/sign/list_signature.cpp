#include "sign/list_signature.h"

#include "base/text.h"
#include "base/translatable.h"
#include "sign/hex.h"

#include <ctime>
#include <vector>

namespace tarnwick::sign {
namespace {

constexpr std::string_view kFirstLine = "Tarnwick list signature 1";
constexpr std::string_view kFields[] = {"length", "sha256", "serial", "time", "key", "signature"};
constexpr std::size_t kKeyIdBytes = 8;

ParsedSignature Refused(const char* why)
{
    return {std::nullopt, Message(why)};
}

// A whole number as the writer writes it: no leading zero, so that one
// value has one text.
std::optional<std::uint64_t> Decimal(std::string_view text)
{
    if (text.size() > 1 && text[0] == '0')
        return std::nullopt;
    return WholeNumber(text);
}

bool IsTime(std::string_view text)
{
    // YYYY-MM-DDTHH:MM:SSZ
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != shape[i])
            return false;
    return true;
}

std::string SignedPart(const ListSignature& s)
{
    return std::string(kFirstLine) + "\nlength: " + std::to_string(s.length) + "\nsha256: " + ToHex(s.sha256) +
           "\nserial: " + std::to_string(s.serial) + "\ntime: " + s.time + "\nkey: " + s.keyId + "\n";
}

} // namespace

std::string KeyIdOf(const crypto::PublicKey& key)
{
    const crypto::Sha256Digest digest = crypto::Sha256(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
    return ToHex(std::span(digest).first(kKeyIdBytes));
}

std::string SignatureTime(std::int64_t secondsSinceEpoch)
{
    const std::time_t time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &time);
#else
    gmtime_r(&time, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

ListSignature SignList(std::string_view list, const crypto::KeyPair& key, std::uint64_t serial, std::string time)
{
    ListSignature signature;
    signature.length = list.size();
    signature.sha256 = crypto::Sha256(list);
    signature.serial = serial;
    signature.time = std::move(time);
    signature.keyId = KeyIdOf(key.publicKey);
    signature.signature = crypto::Sign(key, SignedPart(signature));
    return signature;
}

std::string SignatureFileText(const ListSignature& signature)
{
    return SignedPart(signature) + "signature: " + ToHex(signature.signature) + "\n";
}

ParsedSignature ParseSignatureFile(std::string_view text)
{
    if (text.size() > kMaxSignatureFileBytes)
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件太长"));
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件不完整（最后一行没有结束）"));
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end + 1);
    }
    if (lines.empty() || lines[0] != kFirstLine)
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "这不是 Tarnwick 的列表签名文件"));
    if (lines.size() != 1 + std::size(kFields))
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件的行数不对"));
    std::string_view values[std::size(kFields)];
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const std::string_view line = lines[i + 1];
        const std::string prefix = std::string(kFields[i]) + ": ";
        if (line.substr(0, prefix.size()) != prefix)
            return {std::nullopt, Message(QT_TRANSLATE_NOOP("Tarnwick", "签名文件第 %1 行应为“%2”"))
                                      .Arg(std::to_string(i + 2))
                                      .Arg(std::string(kFields[i]))};
        values[i] = line.substr(prefix.size());
    }
    ListSignature signature;
    const auto length = Decimal(values[0]);
    const auto serial = Decimal(values[2]);
    if (!length)
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件中的长度有误"));
    if (!FromHexInto(values[1], signature.sha256))
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件中的 SHA-256 有误"));
    if (!serial)
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件中的序号有误"));
    if (!IsTime(values[3]))
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件中的时间有误"));
    if (!FromHex(values[4], kKeyIdBytes))
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件中的密钥编号有误"));
    if (!FromHexInto(values[5], signature.signature))
        return Refused(QT_TRANSLATE_NOOP("Tarnwick", "签名文件中的签名有误"));
    signature.length = *length;
    signature.serial = *serial;
    signature.time = std::string(values[3]);
    signature.keyId = std::string(values[4]);
    return {signature, {}};
}

TrustResult CheckSignedList(std::string_view list, std::optional<std::string_view> signatureFile,
                            std::span<const crypto::PublicKey> trusted, std::uint64_t highestSerial)
{
    // A list without a signature file need not be hashed.
    if (!signatureFile)
        return {};
    return CheckSignedList(ListDigest{list.size(), crypto::Sha256(list)}, signatureFile, trusted, highestSerial);
}

TrustResult CheckSignedList(const ListDigest& list, std::optional<std::string_view> signatureFile,
                            std::span<const crypto::PublicKey> trusted, std::uint64_t highestSerial)
{
    TrustResult result;
    if (!signatureFile)
        return result;
    ParsedSignature parsed = ParseSignatureFile(*signatureFile);
    if (!parsed.signature)
        return {ListTrust::Damaged, std::nullopt, parsed.problem};
    const ListSignature& signature = *parsed.signature;
    const crypto::PublicKey* key = nullptr;
    for (const crypto::PublicKey& candidate : trusted)
        if (KeyIdOf(candidate) == signature.keyId)
            key = &candidate;
    if (key == nullptr)
        return {ListTrust::OtherKey, std::nullopt, Message::Untranslated(signature.keyId)};
    // The signature first: nothing the file says counts before it verifies.
    if (!crypto::Verify(*key, SignedPart(signature), signature.signature))
        return {ListTrust::Damaged, std::nullopt,
                Message(QT_TRANSLATE_NOOP("Tarnwick", "签名与签名文件的内容不符（签名文件被改动过）"))};
    if (signature.length != list.length || signature.sha256 != list.sha256)
        return {ListTrust::Damaged, std::nullopt,
                Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器列表与它的签名不符（列表被改动过）"))};
    if (signature.serial < highestSerial)
        return {ListTrust::Older, signature, {}};
    return {ListTrust::Accepted, signature, {}};
}

} // namespace tarnwick::sign
