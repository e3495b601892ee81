#include "self_update.h"

#include "player_launcher/core/delta_fetch.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/resuming_fetch.h"
#include "self_image.h"
#include "update_download.h"
#include "wide.h"

#include <windows.h>
#include <shellapi.h>

namespace tarnwick::player {
namespace {

// How long the new launcher may take to say that it runs, and how long it
// waits for the old one to end before it gives up its place.
constexpr DWORD kReadyMilliseconds = 30'000;
constexpr DWORD kOldEndsMilliseconds = 120'000;
// A file just closed by an ending process, or opened by a virus scanner, can
// refuse the rename for a moment.
constexpr int kMoveAttempts = 50;
constexpr DWORD kMovePauseMilliseconds = 200;

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle()
    {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Only a launcher beside this one, named as a program, is taken over: the
// option is not a way to move the file anywhere else.
bool AllowedTarget(const std::wstring& target)
{
    return target.size() > 4 && SameText(target.substr(target.size() - 4), L".exe") &&
           SameText(FolderOf(target), OwnFolder());
}

bool StartProgram(const std::wstring& program, const std::vector<std::u16string>& arguments)
{
    std::wstring line = Wide(QuotedArgument(Utf16(program)) + JoinedArguments(arguments));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const std::wstring folder = FolderOf(program);
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace

std::uint16_t OwnMachine()
{
#if defined(_M_ARM64) || defined(__aarch64__)
    return kMachineArm64;
#elif defined(_WIN64)
    return kMachineAmd64;
#else
    return kMachineI386;
#endif
}

std::string ProcessHandOff::Start(const std::filesystem::path& image)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const Handle ready(::CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    if (ready.get() == nullptr)
        return SelfUpdateText(SelfUpdateProblem::CannotStart, KindOfWin32Error(::GetLastError()));
    const Replacement replacement{::GetCurrentProcessId(), reinterpret_cast<std::uintptr_t>(ready.get()), Utf16(OwnPath()),
                                  arguments_};
    const std::wstring program = image.wstring();
    std::wstring line = Wide(QuotedArgument(Utf16(program)) + JoinedArguments(ReplacementArguments(replacement)));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const std::wstring folder = FolderOf(program);
    // Handles are inherited for the event; the launcher holds no other
    // inheritable handle.
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                          &started)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BAD_EXE_FORMAT || error == ERROR_EXE_MACHINE_TYPE_MISMATCH)
            return SelfUpdateText(SelfUpdateProblem::OtherMachine);
        return SelfUpdateText(SelfUpdateProblem::CannotStart, KindOfWin32Error(error));
    }
    ::CloseHandle(started.hThread);
    const Handle process(started.hProcess);
    const HANDLE waits[] = {ready.get(), process.get()};
    const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, kReadyMilliseconds);
    if (woke == WAIT_OBJECT_0)
        return {};
    // Ended, or hung without saying it runs: it is no launcher of ours.
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), 5'000);
    return SelfUpdateText(SelfUpdateProblem::DidNotStart);
}

int FinishReplacement(const Replacement& replacement)
{
    const std::wstring target = Wide(replacement.target);
    const HANDLE ready = reinterpret_cast<HANDLE>(replacement.readyEvent);
    if (!AllowedTarget(target)) {
        ::CloseHandle(ready);
        return 2;
    }
    // Opened before the old launcher is told to go, so that its id cannot
    // name another process by the time it is waited for.
    const Handle old(::OpenProcess(SYNCHRONIZE, FALSE, replacement.oldProcess));
    ::SetEvent(ready);
    ::CloseHandle(ready);
    if (old.get() != nullptr)
        ::WaitForSingleObject(old.get(), kOldEndsMilliseconds);

    const std::wstring self = OwnPath();
    bool moved = false;
    for (int attempt = 0; attempt < kMoveAttempts && !moved; ++attempt) {
        // One rename over the old file, through to the disk: the path holds
        // the old launcher or the new one, whatever happens meanwhile.
        moved = ::MoveFileExW(self.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!moved)
            ::Sleep(kMovePauseMilliseconds);
    }
    if (moved)
        ::DeleteFileW(PartialRecordPathFor(std::filesystem::path(self)).c_str());
    // The player gets a window either way: the new launcher's, or the old
    // one's when the new one could not take its place.
    if (StartsWindow(replacement.arguments))
        StartProgram(target, replacement.arguments);
    return moved ? 0 : 1;
}

std::vector<std::u16string> OwnArguments()
{
    int count = 0;
    wchar_t** values = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::u16string> arguments;
    for (int i = 1; values != nullptr && i < count; ++i)
        arguments.push_back(Utf16(values[i]));
    ::LocalFree(values);
    return arguments;
}

UpdateRun RunUpdates(const std::vector<UpdateItem>& entries, Pinning pinning, const UpdateProgress& progress,
                     const std::atomic<bool>* cancelled)
{
    WinInetTransport transport;
    ResumingFetcher fetcher(transport);
    DeltaFetcher patcher(transport);
    Updater updater(std::filesystem::path(OwnFolder()), UpdateStateFile(), fetcher, pinning);
    updater.SetPatcher(patcher);
    ProcessHandOff handOff(OwnArguments());
    SelfImageInstall selfInstall(handOff, OwnMachine());
    updater.SetSelfInstall(std::filesystem::path(OwnPath()), selfInstall);
    UpdateRun run;
    run.reports = updater.Run(entries, progress, cancelled);
    run.handedOff = selfInstall.HandedOff();
    return run;
}

} // namespace tarnwick::player
