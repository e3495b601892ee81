// LoginData.exe, the launcher that players run: the window by default;
// "/print" writes the stamped strings, "/list" the fetched server list as
// JSON, "/update" brings the files of the update list current, and
// "/start GROUP SERVER [N]" starts the game with a server as the window's
// start button does, for operators' scripts, shortcuts and tests. Each takes
// the list it kept when the server says it is unchanged; "/list" and "/start"
// also when the network fails.
#include "launcher_window.h"
#include "list_download.h"
#include "base/text.h"
#include "client_start.h"
#include "player_launcher/core/last_server.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"
#include "self_image.h"
#include "self_update.h"
#include "player_launcher/core/update_meter.h"
#include "player_launcher/core/updater.h"
#include "std_output.h"
#include "wide.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <string>
#include <system_error>
#include <vector>

using namespace tarnwick::player;

namespace {

std::vector<std::wstring> Arguments()
{
    int count = 0;
    wchar_t** values = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; values != nullptr && i < count; ++i)
        arguments.emplace_back(values[i]);
    ::LocalFree(values);
    return arguments;
}

bool Given(const std::vector<std::wstring>& arguments, const wchar_t* option)
{
    for (const std::wstring& argument : arguments)
        if (::CompareStringOrdinal(argument.c_str(), -1, option, -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

// Exit status of "/start" when the list came but the game did not start.
constexpr int kNotStarted = 3;

// Fetched and read whole, or (where `keptServes`) the kept list when the
// network failed; a failure is told on standard error, and so is a kept list
// shown.
FetchedList FetchList(const LauncherSettings& settings, bool keptServes = true)
{
    FetchedList fetched;
    if (!settings.listUrl)
        fetched.failure = {DownloadProblem::NotStamped, 0, {}};
    else
        fetched = FetchServerList(*settings.listUrl, settings.trust, OwnListState());
    if (!keptServes && fetched.origin == ListOrigin::NotRefreshed)
        fetched.list.reset();
    if (!fetched.list)
        WriteError(FailureText(fetched.failure) + "\n");
    else if (fetched.origin == ListOrigin::NotRefreshed)
        WriteError(NotRefreshedText(fetched.failure) + "\n");
    return fetched;
}

// 0 with the document on standard output, else the message on standard
// error and 2 (not fetched) or 1 (no usable list); 4 with the kept list's
// document when the network failed.
int PrintList(const LauncherSettings& settings)
{
    const FetchedList fetched = FetchList(settings);
    if (fetched.list)
        WriteOut(ListJson(*fetched.list));
    return ExitStatus(fetched);
}

// One line per entry as it ends; 0 when every entry is current afterwards,
// else 1 (also when no list came). A list that could not be refreshed runs
// no updates: they would fetch what the list's fetch could not reach.
int RunUpdate(const LauncherSettings& settings)
{
    const FetchedList fetched = FetchList(settings, false);
    if (!fetched.list)
        return 1;
    const std::optional<ServerList>& list = fetched.list;
    // Counted as the window counts them, so both say the same of a run.
    UpdateMeter meter(list->updates.size(), UpdateMeter::Clock::now());
    UpdateProgress progress;
    progress.entryDone = [&](const EntryReport& report) {
        WriteOut(ReportLine(report, list->updates[report.index]) + "\n");
        meter.EntryDone(report);
    };
    // A new launcher takes this one's place once it ends: the next start runs it.
    RunUpdates(list->updates, settings.trust.Required() ? Pinning::Required : Pinning::WhereGiven, progress);
    return meter.AllCurrent() ? 0 : 1;
}

// The group and server by their shown names (the first of each name, as the
// window shows them), the Nth connection entry (1 when not given).
int StartGame(const LauncherSettings& settings, const std::vector<std::wstring>& arguments)
{
    const auto start = std::find_if(arguments.begin(), arguments.end(), [](const std::wstring& argument) {
        return ::CompareStringOrdinal(argument.c_str(), -1, L"/start", -1, TRUE) == CSTR_EQUAL;
    });
    const std::size_t given = static_cast<std::size_t>(arguments.end() - start) - 1;
    wchar_t* end = nullptr;
    const unsigned long number = given == 3 ? std::wcstoul(start[3].c_str(), &end, 10) : 1;
    if ((given != 2 && given != 3) || number == 0 || (end != nullptr && *end != L'\0')) {
        WriteError(std::string(kStartUsage) + "\n");
        return kNotStarted;
    }
    // A kept list shown when the network failed starts the game as the window does.
    const FetchedList fetched = FetchList(settings);
    if (!fetched.list)
        return ExitStatus(fetched);
    const ServerList& list = *fetched.list;
    // Compared as the list shows them; an argument that is no text (a lone
    // surrogate) names no server.
    const auto utf8 = [](const std::wstring& argument) -> std::optional<std::string> {
        try {
            return Utf8Of(Utf16(argument));
        } catch (const std::system_error&) {
            return std::nullopt;
        }
    };
    const std::optional<std::string> group = utf8(start[1]);
    const std::optional<std::string> server = utf8(start[2]);
    const std::optional<Choice> choice =
        group && server ? FindChoice(list, LastServer{*group, *server, number - 1}) : std::nullopt;
    if (!choice || choice->entry != number - 1) {
        WriteError(NoSuchServerText(ShownUtf8(Utf16(start[1])), ShownUtf8(Utf16(start[2])),
                                    given == 3 ? std::optional(number) : std::nullopt) +
                   "\n");
        return kNotStarted;
    }
    Started started;
    if (const std::string refusal = StartChosen(settings.gameClient, list, *choice, started); !refusal.empty()) {
        WriteError(refusal + "\n");
        return kNotStarted;
    }
    WriteOut(started.line + "\n");
    // The game runs: said, but no failure of the start.
    if (!started.notRemembered.empty())
        WriteError(started.notRemembered + "\n");
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    try {
        const StampedStrings strings = ReadOwnStrings();
        const auto settings = [&] {
            LauncherSettings settings = SettingsFrom(strings);
            settings.trust = ReadOwnTrustKeys();
            return settings;
        };
        const std::vector<std::wstring> arguments = Arguments();
        // Started by the old launcher to take its place.
        if (const std::optional<Replacement> replacement = ParseReplacement(OwnArguments()))
            return FinishReplacement(*replacement);
        if (Given(arguments, L"/print")) {
            WriteOut(ShownUtf8(PrintText(strings)));
            return 0;
        }
        if (Given(arguments, L"/list"))
            return PrintList(settings());
        if (Given(arguments, L"/update"))
            return RunUpdate(settings());
        if (Given(arguments, L"/start"))
            return StartGame(settings(), arguments);
        return LauncherWindow(instance, settings()).Run(show);
    } catch (const std::exception& error) {
        WriteError(LauncherFailedText(error) + "\n");
        return 1;
    }
}
