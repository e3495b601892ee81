#include "player_launcher/core/last_server.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"

#include <charconv>

namespace tarnwick::player {
namespace {

// The first line names the format, so that another file of that name is not
// taken for a choice; then one "key=value" line each, values GBK as in the
// server list, as launchers before this one wrote them.
constexpr std::string_view kHeader = "Tarnwick last server 1";
constexpr SizeLimit kFileLimit{4096, "上次服务器文件最多可有 4096 字节"};

bool HoldsLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A name for the file. U+FFFD stands for bytes of the list that were no GBK:
// it is written as 0xFF, which is never GBK either and reads back as U+FFFD,
// so that such a server is found again.
std::optional<std::string> GbkOf(std::string_view utf8)
{
    std::string gbk;
    for (;;) {
        const std::size_t replaced = utf8.find(kReplacementUtf8);
        const std::optional<std::string> part = TryUtf8ToGbk(utf8.substr(0, replaced));
        if (!part)
            return std::nullopt;
        gbk += *part;
        if (replaced == std::string_view::npos)
            return gbk;
        gbk += '\xFF';
        utf8.remove_prefix(replaced + kReplacementUtf8.size());
    }
}

} // namespace

std::optional<std::string> LastServerText(const LastServer& last)
{
    if (HoldsLineBreak(last.group) || HoldsLineBreak(last.server))
        return std::nullopt;
    const std::optional<std::string> group = GbkOf(last.group);
    const std::optional<std::string> server = GbkOf(last.server);
    if (!group || !server)
        return std::nullopt;
    return std::string(kHeader) + "\r\ngroup=" + *group + "\r\nserver=" + *server +
           "\r\nentry=" + std::to_string(last.entry) + "\r\n";
}

std::optional<LastServer> ParseLastServer(std::string_view text)
{
    std::optional<std::string> group, server, entry;
    bool header = false;
    bool damaged = false;
    ForEachLine(text, [&](std::string_view line) {
        if (!header) {
            header = line == kHeader;
            damaged = !header;
            return header;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        std::optional<std::string>* slot = key == "group" ? &group : key == "server" ? &server : key == "entry" ? &entry : nullptr;
        // Unknown keys, repeated keys and lines without '=' are damage.
        damaged = equals == std::string_view::npos || slot == nullptr || slot->has_value();
        if (!damaged)
            *slot = std::string(line.substr(equals + 1));
        return !damaged;
    });
    if (damaged || !group || !server || !entry)
        return std::nullopt;
    LastServer last{ShownUtf8OfGbk(*group), ShownUtf8OfGbk(*server), 0};
    const char* const end = entry->data() + entry->size();
    const auto [stop, error] = std::from_chars(entry->data(), end, last.entry);
    if (entry->empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return last;
}

std::optional<Choice> FindChoice(const ServerList& list, const LastServer& last)
{
    for (std::size_t g = 0; g < list.groups.size(); ++g) {
        const GroupView& group = list.groups[g];
        if (group.name != last.group)
            continue;
        for (std::size_t s = 0; s < group.servers.size(); ++s)
            if (group.servers[s].showName == last.server)
                return Choice{g, s, last.entry < group.servers[s].entries.size() ? last.entry : 0};
        // A repeated group name shows its servers under its first group only.
        return std::nullopt;
    }
    return std::nullopt;
}

LastServer Remembered(const ServerList& list, const Choice& choice)
{
    const GroupView& group = list.groups.at(choice.group);
    return {group.name, group.servers.at(choice.server).showName, choice.entry};
}

std::optional<LastServer> ReadLastServer(const std::filesystem::path& file)
{
    // Missing, unreadable or too large: the launcher starts without a choice.
    std::string text;
    try {
        text = ReadFile(file, kFileLimit);
    } catch (const Error&) {
        return std::nullopt;
    }
    return ParseLastServer(text);
}

void WriteLastServer(const std::filesystem::path& file, const LastServer& last)
{
    if (const auto text = LastServerText(last))
        ReplaceFile(file, *text);
}

std::string RememberStartedChoice(const std::filesystem::path& file, const LastServer& last)
{
    if (!LastServerText(last))
        return ChoiceNotKeptText(NameNotKeptText(HoldsLineBreak(last.group) || HoldsLineBreak(last.server)));
    try {
        WriteLastServer(file, last);
        return {};
    } catch (const Error& error) {
        return ChoiceNotKeptText(FileFailureText("写入", file, error.Kind()));
    } catch (const std::exception& error) {
        return ChoiceNotKeptText(ExceptionText(error));
    }
}

} // namespace tarnwick::player
