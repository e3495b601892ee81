#include "client_start.h"

#include "base/error.h"
#include "base/text.h"
#include "player_launcher/core/last_server.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"
#include "self_image.h"
#include "wide.h"

#include <windows.h>

#include <algorithm>

namespace tarnwick::player {
namespace {

std::wstring FullPath(const std::wstring& path)
{
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (written == 0 || written >= size)
        return {};
    full.resize(written);
    return full;
}

bool Inside(const std::wstring& path, const std::wstring& folder)
{
    return path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
           ::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                  static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::string StartClient(const std::u16string& command, const ClientFields& fields)
{
    const std::wstring folder = FullPath(OwnFolder());
    ClientLaunch launch;
    if (const ClientCheck check = PrepareLaunch(command, Utf16(folder), fields, launch); check != ClientCheck::Ready)
        return ClientCheckText(check);
    // What Windows makes of the path must still lie inside the folder.
    const std::wstring application = FullPath(Wide(launch.application));
    if (application.empty() || !Inside(application, folder))
        return ClientCheckText(ClientCheck::OutsideFolder);
    const DWORD attributes = ::GetFileAttributesW(application.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ClientMissingText(ShownUtf8(Utf16(application)));

    // The program by its full name, never looked up on the search path and
    // never through the command interpreter; the command line is writable
    // as CreateProcessW requires.
    std::wstring commandLine = Wide(launch.commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &process))
    {
        const DWORD error = ::GetLastError();
        return ClientStartFailedText(ShownUtf8(Utf16(application)), error, KindOfWin32Error(error));
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {};
}

std::string StartChosen(const std::optional<std::u16string>& command, const ServerList& list, const Choice& choice,
                        Started& started)
{
    if (!command)
        return ClientCheckText(ClientCheck::NotConfigured);
    if (choice.group >= list.groups.size() || choice.server >= list.groups[choice.group].servers.size())
        return ClientCheckText(ClientCheck::NoConnection);
    const GroupView& group = list.groups[choice.group];
    const ServerView& server = group.servers[choice.server];
    if (server.entries.empty())
        return ClientCheckText(ClientCheck::NoConnection);
    const Connection& entry = server.entries[std::min(choice.entry, server.entries.size() - 1)];
    // The fields go into a command line: U+FFFD, for what did not convert, is refused there (FillArguments).
    const ClientFields fields{ShownUtf16(entry.addr), ShownUtf16(entry.port), ShownUtf16(entry.name), ShownUtf16(group.name)};
    if (std::string refusal = StartClient(*command, fields); !refusal.empty())
        return refusal;
    started.line = GameStartedText(server.showName, entry.name);
    // Remembering is a convenience: a folder the player cannot write to costs
    // only that, and the player is told.
    started.notRemembered = RememberStartedChoice(LastServerFile(), Remembered(list, choice));
    return {};
}

} // namespace tarnwick::player
