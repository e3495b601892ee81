#include "player_launcher/core/update_path.h"

#include "base/text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tarnwick::player {
namespace {

constexpr std::size_t kMaxName = 255;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Windows opens these as devices in every folder and with any extension;
// "COM1" to "COM9" also with the superscript digits ¹ ² ³.
bool IsDeviceName(std::u16string_view component)
{
    std::u16string_view base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ')
        base.remove_suffix(1);
    std::u16string lower;
    for (char16_t c : base)
        lower += AsciiLower(c);
    static constexpr std::array<std::u16string_view, 6> kNames = {u"con", u"prn", u"aux", u"nul", u"conin$", u"conout$"};
    for (std::u16string_view name : kNames)
        if (lower == name)
            return true;
    if (lower.size() == 4 && (lower.starts_with(u"com") || lower.starts_with(u"lpt"))) {
        const char16_t digit = lower[3];
        return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
    }
    return false;
}

PathRefusal CheckComponent(std::u16string_view component)
{
    if (component == u"..")
        return PathRefusal::ParentStep;
    if (component.size() > kMaxName)
        return PathRefusal::TooLong;
    for (char16_t c : component)
        if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
            return PathRefusal::BadCharacter;
    if (component.back() == u'.' || component.back() == u' ')
        return PathRefusal::TrailingDotOrSpace;
    if (IsDeviceName(component))
        return PathRefusal::DeviceName;
    return PathRefusal::None;
}

// The path's components, "." and empty ones left out, or why it has none that may be used.
PathRefusal Components(std::u16string_view path, std::vector<std::u16string_view>& components)
{
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return PathRefusal::Network;
    if (!path.empty() && IsSeparator(path[0]))
        return PathRefusal::Absolute;
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == u':')
        return PathRefusal::Drive;
    if (path.find(u':') != std::u16string_view::npos)
        return PathRefusal::Stream;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::u16string_view component = path.substr(start, end - start);
        if (!component.empty() && component != u".") {
            if (const PathRefusal refusal = CheckComponent(component); refusal != PathRefusal::None)
                return refusal;
            components.push_back(component);
        }
        start = end + 1;
    }
    return PathRefusal::None;
}

CheckedPath Joined(const std::vector<std::u16string_view>& components)
{
    CheckedPath checked;
    for (std::u16string_view component : components) {
        if (!checked.relative.empty())
            checked.relative += u'\\';
        checked.relative.append(component);
    }
    if (checked.relative.size() > kMaxRelativePath)
        return {PathRefusal::TooLong, {}};
    return checked;
}

// The folder's components and then the item's, which must name at least one.
CheckedPath Below(std::u16string_view folder, std::u16string_view item, bool itemMayBeEmpty)
{
    std::vector<std::u16string_view> components;
    if (const PathRefusal refusal = Components(folder, components); refusal != PathRefusal::None)
        return {refusal, {}};
    const std::size_t inFolder = components.size();
    if (const PathRefusal refusal = Components(item, components); refusal != PathRefusal::None)
        return {refusal, {}};
    if (components.size() == inFolder && !itemMayBeEmpty)
        return {PathRefusal::Empty, {}};
    return Joined(components);
}

} // namespace

CheckedPath CheckUpdateTarget(std::u16string_view saveDir, std::u16string_view saveName)
{
    return Below(saveDir, saveName, false);
}

CheckedPath CheckArchiveMember(std::u16string_view saveDir, std::u16string_view member)
{
    const bool folder = !member.empty() && IsSeparator(member.back());
    return Below(saveDir, member, folder);
}

std::filesystem::path PathBelow(const std::filesystem::path& root, std::u16string_view relative)
{
    std::filesystem::path path = root;
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t end = std::min(relative.find(u'\\', start), relative.size());
        path /= std::u16string(relative.substr(start, end - start));
        start = end + 1;
    }
    return path;
}

} // namespace tarnwick::player
