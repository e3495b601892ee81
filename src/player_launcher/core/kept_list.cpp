#include "player_launcher/core/kept_list.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "player_launcher/core/list_source.h"
#include "sign/list_signature.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tarnwick::player {
namespace {

// The file: a few lines saying what follows, an empty line, then the list's
// bytes and the signature file's, as they arrived:
//
//   Tarnwick kept list 1
//   list: 21450
//   list-etag: "6757e3a1-53ca"
//   list-last-modified: Wed, 09 Dec 2026 03:12:01 GMT
//   signature: 331
//   signature-etag: "6757e3a1-14b"
//
// Only "list" is always there; what is not usable is left out.
constexpr std::string_view kFirstLine = "Tarnwick kept list 1\n";
constexpr std::size_t kMaxValidatorBytes = 1024;
constexpr std::size_t kMaxHeadBytes = 8 * 1024;
constexpr SizeLimit kKeptLimit{kMaxHeadBytes + kMaxListBytes + sign::kMaxSignatureFileBytes, nullptr};

struct Field {
    std::string_view name;
    std::string_view value;
};

void AddValidators(std::string& head, std::string_view prefix, const BodyValidators& validators)
{
    if (UsableValidator(validators.etag))
        head.append(prefix).append("-etag: ").append(validators.etag).append("\n");
    if (UsableValidator(validators.lastModified))
        head.append(prefix).append("-last-modified: ").append(validators.lastModified).append("\n");
}

// The head's lines, or nothing when one is not "name: value".
std::optional<std::vector<Field>> Fields(std::string_view head)
{
    std::vector<Field> fields;
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        const std::string_view line = head.substr(0, end);
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos)
            return std::nullopt;
        fields.push_back({line.substr(0, colon), line.substr(colon + 2)});
    }
    return fields;
}

} // namespace

bool UsableValidator(std::string_view value)
{
    return !value.empty() && value.size() <= kMaxValidatorBytes &&
           std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string ConditionalHeaders(const BodyValidators& kept)
{
    std::string headers;
    if (UsableValidator(kept.etag))
        headers += "If-None-Match: " + kept.etag + "\r\n";
    if (UsableValidator(kept.lastModified))
        headers += "If-Modified-Since: " + kept.lastModified + "\r\n";
    return headers;
}

void WriteKeptList(const std::filesystem::path& file, const KeptList& kept)
{
    std::string head(kFirstLine);
    head += "list: " + std::to_string(kept.list.body.size()) + "\n";
    AddValidators(head, "list", kept.list.validators);
    if (kept.signature) {
        head += "signature: " + std::to_string(kept.signature->body.size()) + "\n";
        AddValidators(head, "signature", kept.signature->validators);
    }
    head += "\n";
    PendingFile pending(file);
    pending.Write(head);
    pending.Write(kept.list.body);
    if (kept.signature)
        pending.Write(kept.signature->body);
    pending.Commit(Durability::Flushed);
}

std::optional<KeptList> ReadKeptList(const std::filesystem::path& file)
{
    std::string bytes;
    try {
        bytes = ReadFile(file, kKeptLimit);
    } catch (const Error&) {
        return std::nullopt;
    }
    if (!std::string_view(bytes).starts_with(kFirstLine))
        return std::nullopt;
    const std::size_t headEnd = bytes.find("\n\n");
    if (headEnd == std::string::npos || headEnd < kFirstLine.size() || headEnd > kMaxHeadBytes)
        return std::nullopt;
    const std::optional<std::vector<Field>> fields =
        Fields(std::string_view(bytes).substr(kFirstLine.size(), headEnd - kFirstLine.size()));
    if (!fields)
        return std::nullopt;

    KeptList kept;
    std::optional<std::uint64_t> listLength, signatureLength;
    std::array<bool, 6> seen{};
    static constexpr std::array<std::string_view, 6> kNames = {"list", "list-etag", "list-last-modified",
                                                               "signature", "signature-etag", "signature-last-modified"};
    BodyValidators signatureValidators;
    for (const Field& field : *fields) {
        const auto known = std::find(kNames.begin(), kNames.end(), field.name);
        if (known == kNames.end())
            return std::nullopt;
        const auto index = static_cast<std::size_t>(known - kNames.begin());
        if (seen[index])
            return std::nullopt;
        seen[index] = true;
        if (index == 0 || index == 3) {
            (index == 0 ? listLength : signatureLength) = WholeNumber(field.value);
            if (!(index == 0 ? listLength : signatureLength))
                return std::nullopt;
            continue;
        }
        if (!UsableValidator(field.value))
            return std::nullopt;
        BodyValidators& validators = index < 3 ? kept.list.validators : signatureValidators;
        (index % 3 == 1 ? validators.etag : validators.lastModified) = std::string(field.value);
    }
    if (!listLength || *listLength > kMaxListBytes ||
        (signatureLength && *signatureLength > sign::kMaxSignatureFileBytes) ||
        (!signatureLength && (seen[4] || seen[5])))
        return std::nullopt;
    const std::uint64_t bodies = *listLength + signatureLength.value_or(0);
    const std::size_t start = headEnd + 2;
    if (bytes.size() - start != bodies)
        return std::nullopt;

    // Taken apart in place: a large list is not copied.
    bytes.erase(0, start);
    if (signatureLength)
        kept.signature = KeptFile{bytes.substr(static_cast<std::size_t>(*listLength)), std::move(signatureValidators)};
    bytes.resize(static_cast<std::size_t>(*listLength));
    kept.list.body = std::move(bytes);
    return kept;
}

} // namespace tarnwick::player
