#include "config/update_rules.h"

#include "base/text.h"

namespace tarnwick {

CheckKind CheckKindOf(const UpdateEntry& entry)
{
    if (entry.CheckType == words::kCheckExists)
        return CheckKind::Exists;
    if (entry.CheckType == words::kCheckVersion)
        return CheckKind::Version;
    if (entry.CheckType == words::kCheckPak)
        return CheckKind::Pak;
    return CheckKind::Md5;
}

std::optional<std::string> AsDigest(std::string_view text)
{
    text = Trimmed(text);
    if (text.size() != 32)
        return std::nullopt;
    std::string digest;
    for (char c : text) {
        const char lower = AsciiLower(c);
        if (!((lower >= '0' && lower <= '9') || (lower >= 'a' && lower <= 'f')))
            return std::nullopt;
        digest += lower;
    }
    return digest;
}

std::optional<std::string> DownloadDigest(const UpdateEntry& entry) { return AsDigest(entry.DownMD5); }

std::optional<std::string> PinnedDigest(const UpdateEntry& entry)
{
    if (auto digest = DownloadDigest(entry))
        return digest;
    if (entry.Zip != words::kYes && CheckKindOf(entry) == CheckKind::Md5)
        return AsDigest(entry.MD5);
    return std::nullopt;
}

} // namespace tarnwick
