// LoginData.exe, the launcher that players run: the window by default;
// "/print" writes the stamped strings and "/list" the fetched server list as
// JSON, for operators' scripts and tests.
#include "launcher_window.h"
#include "list_download.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/texts.h"
#include "self_image.h"
#include "std_output.h"
#include "wide.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <string>
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

int Fail(const ListFailure& failure)
{
    WriteError(FailureText(failure) + "\n");
    return ExitStatus(failure.problem);
}

// Fetch, read whole, print: 0 with the document on standard output, else the
// message on standard error and 2 (not fetched) or 1 (no usable list).
int PrintList(const LauncherSettings& settings)
{
    if (!settings.listUrl)
        return Fail({ListProblem::NotStamped, 0, {}});
    Download download = DownloadList(*settings.listUrl);
    if (download.failure.problem != ListProblem::None)
        return Fail(download.failure);
    const ListResult result = ReadServerList(download.body);
    if (!result.list)
        return Fail(result.failure);
    WriteOut(ListJson(*result.list));
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    try {
        const StampedStrings strings = ReadOwnStrings();
        const std::vector<std::wstring> arguments = Arguments();
        if (Given(arguments, L"/print")) {
            WriteOut(Utf8Of(PrintText(strings)));
            return 0;
        }
        if (Given(arguments, L"/list"))
            return PrintList(SettingsFrom(strings));
        return LauncherWindow(instance, SettingsFrom(strings)).Run(show);
    } catch (const std::exception& error) {
        WriteError(std::string("LoginData: ") + error.what() + "\n");
        return 1;
    }
}
