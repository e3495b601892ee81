#include "player_launcher/core/client_command.h"

#include "base/text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tarnwick::player {
namespace {

constexpr bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
constexpr bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }
constexpr bool IsDriveLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

std::u16string_view WithoutLeadingBlanks(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

struct Field {
    std::u16string_view token;
    std::u16string ClientFields::* value;
    bool blanksAllowed;
};
constexpr std::array<Field, 4> kFields = {{
    {u"%addr%", &ClientFields::addr, false},
    {u"%port%", &ClientFields::port, false},
    {u"%name%", &ClientFields::name, true},
    {u"%group%", &ClientFields::group, true},
}};

// A quote would end the operator's quoted argument early and start another; a
// backslash before the operator's closing quote would escape it. U+FFFD
// stands for bytes of the list that were no text: the game would be given
// another name or address than the list's.
bool AllowedValue(std::u16string_view value, bool blanksAllowed)
{
    return std::none_of(value.begin(), value.end(), [&](char16_t c) {
        return c == u'"' || c == u'\\' || c == u'\uFFFD' || IsControl(c) || (!blanksAllowed && IsBlank(c));
    });
}

std::u16string AsciiLowered(std::u16string_view text)
{
    std::u16string lowered(text);
    for (char16_t& c : lowered)
        c = AsciiLower(c);
    return lowered;
}

// The components of a path with '\' separators; "." and empty ones dropped.
// False for ".." and for a name that Windows would silently change (trailing
// dots or blanks) or that names a stream.
bool Components(std::u16string_view path, std::vector<std::u16string_view>& parts, ClientCheck& refusal)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        const std::u16string_view part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".")
            continue;
        if (part == u"..") {
            refusal = ClientCheck::OutsideFolder;
            return false;
        }
        if (part.back() == u'.' || part.back() == u' ' || part.find(u':') != std::u16string_view::npos) {
            refusal = ClientCheck::BadProgramName;
            return false;
        }
        parts.push_back(part);
    }
    return true;
}

std::u16string Joined(const std::vector<std::u16string_view>& parts)
{
    std::u16string joined;
    for (const auto part : parts) {
        if (!joined.empty())
            joined += u'\\';
        joined += part;
    }
    return joined;
}

} // namespace

ClientTemplate SplitTemplate(std::u16string_view command)
{
    command = WithoutLeadingBlanks(command);
    std::size_t end = 0;
    ClientTemplate parts;
    if (!command.empty() && command.front() == u'"') {
        end = std::min(command.find(u'"', 1), command.size());
        parts.program = command.substr(1, end - 1);
        end = std::min(end + 1, command.size());
    } else {
        end = std::min(command.find_first_of(u" \t"), command.size());
        parts.program = command.substr(0, end);
    }
    parts.arguments = WithoutLeadingBlanks(command.substr(end));
    return parts;
}

ClientCheck ResolveProgram(std::u16string_view program, std::u16string_view folder, std::u16string& path)
{
    if (program.empty())
        return ClientCheck::NoProgram;
    for (const Field& field : kFields)
        if (program.find(field.token) != std::u16string_view::npos)
            return ClientCheck::FieldInProgram;
    std::u16string written(program);
    std::replace(written.begin(), written.end(), u'/', u'\\');
    const std::u16string_view text = written;
    // \\server\share, and \\?\ and \\.\, which skip the checks that follow.
    if (text.starts_with(u"\\\\"))
        return ClientCheck::NetworkPath;
    if (std::any_of(text.begin(), text.end(),
                    [](char16_t c) { return IsControl(c) || std::u16string_view(u"\"*?<>|").find(c) != std::u16string_view::npos; }))
        return ClientCheck::BadProgramName;
    const bool hasDrive = text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == u':';
    if (hasDrive && (text.size() == 2 || text[2] != u'\\'))
        return ClientCheck::DriveRelative;
    if (!hasDrive && text.front() == u'\\')
        return ClientCheck::OutsideFolder;

    std::vector<std::u16string_view> parts;
    ClientCheck refusal = ClientCheck::Ready;
    if (!Components(hasDrive ? text.substr(3) : text, parts, refusal))
        return refusal;
    if (parts.empty())
        return ClientCheck::NoProgram;
    std::u16string resolved;
    if (!hasDrive) {
        resolved = std::u16string(folder) + u'\\' + Joined(parts);
    } else {
        resolved = std::u16string(text.substr(0, 3)) + Joined(parts);
        const std::u16string inside = AsciiLowered(folder) + u'\\';
        if (!AsciiLowered(resolved).starts_with(inside) || resolved.size() <= inside.size())
            return ClientCheck::OutsideFolder;
    }
    const std::u16string_view name = parts.back();
    if (name.size() <= 4 || AsciiLowered(name.substr(name.size() - 4)) != u".exe")
        return ClientCheck::NotAProgram;
    path = std::move(resolved);
    return ClientCheck::Ready;
}

ClientCheck FillArguments(std::u16string_view arguments, const ClientFields& fields, std::u16string& filled)
{
    filled.clear();
    std::size_t i = 0;
    while (i < arguments.size()) {
        const Field* field = nullptr;
        if (arguments[i] == u'%')
            for (const Field& candidate : kFields)
                if (arguments.substr(i).starts_with(candidate.token))
                    field = &candidate;
        if (field == nullptr) {
            filled += arguments[i++];
            continue;
        }
        const std::u16string& value = fields.*field->value;
        if (!AllowedValue(value, field->blanksAllowed))
            return ClientCheck::FieldNotAllowed;
        filled += value;
        i += field->token.size();
    }
    return ClientCheck::Ready;
}

ClientCheck PrepareLaunch(std::u16string_view command, std::u16string_view folder, const ClientFields& fields,
                          ClientLaunch& launch)
{
    if (command.find_first_not_of(u" \t") == std::u16string_view::npos)
        return ClientCheck::NotConfigured;
    const ClientTemplate parts = SplitTemplate(command);
    std::u16string application;
    if (const ClientCheck check = ResolveProgram(parts.program, folder, application); check != ClientCheck::Ready)
        return check;
    std::u16string arguments;
    if (const ClientCheck check = FillArguments(parts.arguments, fields, arguments); check != ClientCheck::Ready)
        return check;
    launch.commandLine = u"\"" + application + u"\"" + (arguments.empty() ? u"" : u" " + arguments);
    launch.application = std::move(application);
    return ClientCheck::Ready;
}

} // namespace tarnwick::player
