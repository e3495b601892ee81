#include "player_launcher/core/list_trust.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "player_launcher/core/texts.h"
#include "sign/list_signature.h"


namespace tarnwick::player {
namespace {

constexpr std::string_view kTrustFirstLine = "Tarnwick list trust 1\nserial: ";
constexpr SizeLimit kTrustLimit{256, nullptr};

// The signature checks speak in the shared layers' text, which is GBK.
std::string DetailUtf8(const Message& message)
{
    return ShownUtf8OfGbk(message.Chinese());
}

} // namespace

std::uint64_t ReadHighestSerial(const std::filesystem::path& file)
{
    std::string text;
    try {
        text = ReadFile(file, kTrustLimit);
    } catch (const Error&) {
        return 0;
    }
    if (text.substr(0, kTrustFirstLine.size()) != kTrustFirstLine)
        return 0;
    std::string_view number = std::string_view(text).substr(kTrustFirstLine.size());
    if (!number.empty() && number.back() == '\n')
        number.remove_suffix(1);
    return WholeNumber(number).value_or(0);
}

void WriteHighestSerial(const std::filesystem::path& file, std::uint64_t serial)
{
    ReplaceFile(file, std::string(kTrustFirstLine) + std::to_string(serial) + "\n", Durability::Flushed);
}

std::u16string SignatureAddress(std::u16string_view listAddress)
{
    return std::u16string(listAddress) + u".sig";
}

TrustCheck CheckListTrust(std::string_view body, std::optional<std::string_view> signature,
                          const ListTrustKeys& trust, std::uint64_t highestSerial,
                          const std::optional<sign::ListDigest>& digest)
{
    if (!trust.Required())
        return {};
    if (trust.damaged)
        return {{DownloadProblem::KeysDamaged, 0, {}}, std::nullopt};
    const sign::TrustResult checked =
        digest && digest->length == body.size()
            ? sign::CheckSignedList(*digest, signature, trust.keys, highestSerial)
            : sign::CheckSignedList(body, signature, trust.keys, highestSerial);
    switch (checked.trust) {
    case sign::ListTrust::Accepted: break;
    case sign::ListTrust::NoSignature: return {{DownloadProblem::Unsigned, 0, {}}, std::nullopt};
    case sign::ListTrust::OtherKey: return {{DownloadProblem::OtherKey, 0, DetailUtf8(checked.detail)}, std::nullopt};
    case sign::ListTrust::Damaged:
        return {{DownloadProblem::BadSignature, 0, DetailUtf8(checked.detail)}, std::nullopt};
    case sign::ListTrust::Older:
        return {{DownloadProblem::Older, 0,
                 std::to_string(checked.signature->serial) + " < " + std::to_string(highestSerial)},
                std::nullopt};
    }
    return {{}, checked.signature->serial};
}

TrustedList ReadTrustedList(std::string_view body, std::optional<std::string_view> signature,
                            const ListTrustKeys& trust, std::uint64_t highestSerial,
                            const std::optional<sign::ListDigest>& digest)
{
    const TrustCheck checked = CheckListTrust(body, signature, trust, highestSerial, digest);
    if (checked.failure.problem != DownloadProblem::None)
        return {{std::nullopt, checked.failure}, std::nullopt};
    TrustedList trusted{ReadServerList(body), std::nullopt};
    if (trusted.result.list)
        trusted.acceptedSerial = checked.serial;
    return trusted;
}

} // namespace tarnwick::player
