// Lock files through LockFileEx: the lock belongs to the handle, so it keeps
// out every other handle of the file, in this process too, and Windows lets
// it go when the process ends, however it ends.
#include "base/file_lock.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kRetryPause{15};
// A holder's line is short; no more of a lock file is ever read.
constexpr DWORD kMaxHolderBytes = 1024;
// A holder that has just taken the lock truncates the file, then writes its
// line: a reader that finds no whole line gives it this long to appear.
constexpr std::chrono::milliseconds kHolderWriteWait{200};
// The locked byte lies at 2^40, far beyond the holder's line: a locked range
// cannot be read through other handles, and the line must stay readable.
constexpr DWORD kLockOffsetHigh = 0x100;
// A lock file removed each time just after it was locked is someone else's game.
constexpr int kMaxReopenings = 100;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(const FileDescriptor& file) { return reinterpret_cast<HANDLE>(file.Get()); }

FileDescriptor Open(const std::filesystem::path& path, DWORD access, DWORD disposition)
{
    const HANDLE handle =
        ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileDescriptor(handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle));
}

// True when taken; otherwise GetLastError says why (ERROR_LOCK_VIOLATION: held).
bool LockByte(const FileDescriptor& file, DWORD flags)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return ::LockFileEx(Native(file), flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

void UnlockByte(const FileDescriptor& file)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    ::UnlockFileEx(Native(file), 0, 1, 0, &at);
}

Error LockError(const std::filesystem::path& lockFile, DWORD error)
{
    // Never go on without the lock: two programs would edit one working copy.
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION)
        return FileSystemLocksNoFiles(lockFile, Win32ErrorText(error));
    return CannotLockFile(lockFile, Win32ErrorText(error), KindOfWin32Error(error));
}

Clock::time_point Deadline(std::chrono::milliseconds wait)
{
    const auto now = Clock::now();
    if (wait <= std::chrono::milliseconds::zero())
        return now;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now) <= wait
               ? Clock::time_point::max()
               : now + wait;
}

// The holder's text as one line without control characters, so that a reader
// can tell a whole line from one still being written.
std::string OneLine(std::string_view holder)
{
    std::string line(holder.substr(0, kMaxHolderBytes - 1));
    std::replace_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return line + '\n';
}

// Best effort: the lock is what keeps others out; its text only names the
// holder, and a disk too full for one line can still be locked.
void WriteHolder(const FileDescriptor& file, std::string_view holder)
{
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(Native(file), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(Native(file)))
        return;
    const std::string line = OneLine(holder);
    DWORD put = 0;
    ::WriteFile(Native(file), line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
}

std::string HolderText(const FileDescriptor& file)
{
    const auto deadline = Clock::now() + kHolderWriteWait;
    for (;;) {
        char buffer[kMaxHolderBytes];
        OVERLAPPED at{}; // from the start of the file
        DWORD got = 0;
        const bool read = ::ReadFile(Native(file), buffer, sizeof buffer, &got, &at) != 0;
        const std::string_view text(buffer, read ? got : 0);
        const std::size_t end = text.find('\n');
        if (end != std::string_view::npos)
            return std::string(text.substr(0, end));
        if ((!read && ::GetLastError() != ERROR_HANDLE_EOF) || Clock::now() >= deadline)
            return std::string(text);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const FileDescriptor& file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.IsOpen() || !::GetFileInformationByHandle(Native(file), &info))
        return std::nullopt;
    return info;
}

bool NameLeadsTo(const std::filesystem::path& name, const FileDescriptor& file)
{
    const auto opened = InformationOf(file);
    const auto named = InformationOf(Open(name, 0, OPEN_EXISTING));
    return opened && named && opened->dwVolumeSerialNumber == named->dwVolumeSerialNumber &&
           opened->nFileIndexHigh == named->nFileIndexHigh && opened->nFileIndexLow == named->nFileIndexLow;
}

} // namespace

FileLock::Attempt FileLock::Acquire(const std::filesystem::path& lockFile, const std::string& holder,
                                    std::chrono::milliseconds wait)
{
    const auto deadline = Deadline(wait);
    for (int opening = 1;; ++opening) {
        FileDescriptor file = Open(lockFile, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        if (!file.IsOpen()) {
            const DWORD error = ::GetLastError();
            throw CannotCreateFile(lockFile, Win32ErrorText(error), KindOfWin32Error(error));
        }
        if (::GetFileType(Native(file)) != FILE_TYPE_DISK)
            throw CannotOpenFile(lockFile, Message(QT_TRANSLATE_NOOP("Tarnwick", "这不是普通文件")));

        while (!LockByte(file, LOCKFILE_EXCLUSIVE_LOCK)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_LOCK_VIOLATION)
                throw LockError(lockFile, error);
            const auto now = Clock::now();
            if (now >= deadline)
                return Attempt{std::nullopt, HolderText(file)};
            std::this_thread::sleep_for(std::min<Clock::duration>(kRetryPause, deadline - now));
        }
        // Deletion is shared, so the file may have lost its name meanwhile (at
        // once, where the file system deletes the POSIX way); a lock on it
        // would keep nobody out.
        if (NameLeadsTo(lockFile, file)) {
            WriteHolder(file, holder);
            return Attempt{FileLock(std::move(file)), {}};
        }
        if (opening == kMaxReopenings)
            throw LockError(lockFile, ERROR_LOCK_VIOLATION);
    }
}

std::optional<std::string> FileLock::HolderOf(const std::filesystem::path& lockFile)
{
    const FileDescriptor file = Open(lockFile, GENERIC_READ, OPEN_EXISTING);
    if (!file.IsOpen()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        throw CannotOpenFile(lockFile, Win32ErrorText(error), KindOfWin32Error(error));
    }
    // There is no asking who holds a lock. A shared lock can be had only when
    // nobody holds the exclusive one, and it is given back at once; a taker
    // that tries in that instant without waiting finds the lock held.
    if (LockByte(file, 0)) {
        UnlockByte(file);
        return std::nullopt;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_LOCK_VIOLATION)
        throw LockError(lockFile, error);
    return HolderText(file);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        file_ = std::move(other.file_);
    }
    return *this;
}

void FileLock::Release() noexcept
{
    // Unlocked before closing: Windows may release the lock of a closed handle only later.
    if (file_.IsOpen())
        UnlockByte(file_);
    file_.Reset();
}

std::string ProcessDescription(std::string_view program)
{
    std::string host = "(unknown)";
    wchar_t name[256];
    DWORD length = std::size(name);
    if (::GetComputerNameExW(ComputerNameDnsHostname, name, &length) && length > 0) {
        char utf8[1024];
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), utf8, sizeof utf8,
                                                nullptr, nullptr);
        if (bytes > 0)
            host.assign(utf8, static_cast<std::size_t>(bytes));
    }
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char since[32];
    std::snprintf(since, sizeof since, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return std::string(program) + ", process " + std::to_string(::GetCurrentProcessId()) + " on host " + host +
           ", since " + since;
}

} // namespace tarnwick
