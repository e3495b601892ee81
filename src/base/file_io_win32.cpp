// Files through the wide-character Win32 calls, so that any name the file
// system holds can be opened, Chinese ones included.
#include "base/file_io.h"

#include "base/error.h"
#include "base/text.h"

#include <windows.h>
// windows.h names ReplaceFileW so; ours is tarnwick::ReplaceFile.
#undef ReplaceFile

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

namespace tarnwick {
namespace {

HANDLE Native(const FileDescriptor& file) { return reinterpret_cast<HANDLE>(file.Get()); }
FileDescriptor Owned(HANDLE handle)
{
    return FileDescriptor(handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle));
}

// Other programs may read, write, rename and delete what we only read.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Error texts as the POSIX build words them where an errno says the same, so
// that a message reads alike on both systems.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    default: return 0;
    }
}

} // namespace

std::string Win32ErrorText(unsigned long error)
{
    // Another program holding the file without sharing it is the common case
    // on Windows, and "permission denied" would send the operator looking at rights.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return "The file is in use by another program";
    if (const int number = ErrnoOf(error))
        return SystemErrorText(number);
    return "System error " + std::to_string(error);
}

ErrorKind KindOfWin32Error(unsigned long errorCode)
{
    switch (errorCode) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return ErrorKind::InUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ErrorKind::NoRoom;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return ErrorKind::NoPermission;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH: return ErrorKind::NotFound;
    default: return ErrorKind::Failed;
    }
}

namespace {

Error OpenFailure(const std::filesystem::path& path, DWORD error)
{
    return CannotOpenFile(path, Win32ErrorText(error), KindOfWin32Error(error));
}

Error CreateFailure(const std::filesystem::path& path, DWORD error)
{
    return CannotCreateFile(path, Win32ErrorText(error), KindOfWin32Error(error));
}

Error ReadFailure(const std::filesystem::path& path, DWORD error)
{
    return CannotReadFile(path, Win32ErrorText(error), KindOfWin32Error(error));
}

[[noreturn]] void ThrowWriteError(DWORD error)
{
    throw StreamWriteError(Win32ErrorText(error), KindOfWin32Error(error));
}

void WriteAll(const FileDescriptor& file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(Native(file), bytes.data(), chunk, &put, nullptr))
            ThrowWriteError(::GetLastError());
        bytes.remove_prefix(put);
    }
}

bool IsDirectory(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens for reading; a directory is refused as on POSIX ("Is a directory").
FileDescriptor OpenForReading(const std::filesystem::path& path, const std::filesystem::path& shownPath, DWORD flags)
{
    FileDescriptor file = Owned(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!file.IsOpen()) {
        const DWORD error = ::GetLastError();
        if (IsDirectory(path))
            throw CannotOpenFile(shownPath, EISDIR);
        throw OpenFailure(shownPath, error);
    }
    return file;
}

std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const FileDescriptor& file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(Native(file), &info))
        return std::nullopt;
    return info;
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// The name, opened without following a link, only to be looked at.
FileDescriptor OpenToLookAt(const std::filesystem::path& path)
{
    return Owned(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Whether the name still leads to the open file.
bool NameLeadsTo(const std::filesystem::path& name, const FileDescriptor& file)
{
    const auto opened = InformationOf(file);
    const auto named = InformationOf(OpenToLookAt(name));
    return opened && named && SameFile(*opened, *named);
}

// Some bytes into the buffer; 0 at the end of the file.
std::size_t ReadSome(const FileDescriptor& file, std::span<std::byte> buffer, const std::filesystem::path& path)
{
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    if (!::ReadFile(Native(file), buffer.data(), want, &got, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
            return 0;
        throw ReadFailure(path, error);
    }
    return got;
}

constexpr std::wstring_view kTemporaryMark = L".tmp-";
constexpr std::size_t kTemporaryRandomChars = 6;

std::filesystem::path TemporaryName(const std::filesystem::path& target, std::minstd_rand& random)
{
    static constexpr wchar_t kChars[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring name = target.native() + std::wstring(kTemporaryMark);
    for (std::size_t i = 0; i < kTemporaryRandomChars; ++i)
        name += kChars[random() % (std::size(kChars) - 1)];
    return name;
}

// A writer's lock on its temporary file: held until the file has been renamed,
// and let go by the system when the writer ends, however it ends.
bool LockWhole(const FileDescriptor& file, DWORD flags)
{
    OVERLAPPED at{};
    return ::LockFileEx(Native(file), flags | LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &at) != 0;
}

// A temporary of the target whose lock can be taken was left by a writer that
// was killed, and is removed; a live writer's is left alone. The file is
// removed through the handle that holds the lock, so a name reused meanwhile
// is never touched.
void RemoveStaleTemporaries(const std::filesystem::path& target)
{
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    const std::wstring prefix = target.filename().native() + std::wstring(kTemporaryMark);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::wstring name = it->path().filename().native();
        if (name.size() != prefix.size() + kTemporaryRandomChars || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const FileDescriptor candidate = Owned(::CreateFileW(it->path().c_str(), GENERIC_READ | DELETE, kShareAll, nullptr,
                                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!candidate.IsOpen() || !LockWhole(candidate, LOCKFILE_FAIL_IMMEDIATELY))
            continue;
        const auto info = InformationOf(candidate);
        if (!info || (info->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            continue;
        FILE_DISPOSITION_INFO dispose{TRUE};
        ::SetFileInformationByHandle(Native(candidate), FileDispositionInfo, &dispose, sizeof dispose);
    }
}

// Replacing a file that another program holds open without delete sharing
// fails on Windows; such a hold is often brief (a reader, a virus scanner).
constexpr int kReplaceAttempts = 5;
constexpr std::chrono::milliseconds kReplacePause{100};

// Windows also answers "access denied" for a file whose deletion is pending
// while another program still holds it; a folder or a read-only file is not that.
bool InUse(DWORD error, const std::filesystem::path& target)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return true;
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    return error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// Moves `from` over `target`, trying again while another program holds the target.
void MoveOverInUse(const std::filesystem::path& from, const std::filesystem::path& target, DWORD flags)
{
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | flags))
            return;
        const DWORD error = ::GetLastError();
        const bool inUse = InUse(error, target);
        if (!inUse || attempt == kReplaceAttempts)
            throw CreateFailure(target, inUse ? ERROR_SHARING_VIOLATION : error);
        std::this_thread::sleep_for(kReplacePause);
    }
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        Reset();
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

void FileDescriptor::Reset()
{
    if (descriptor_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(descriptor_));
    descriptor_ = -1;
}

std::string ReadFile(const std::filesystem::path& path)
{
    return ReadFile(path, SizeLimit{UINT64_MAX, nullptr});
}

std::string ReadFile(const std::filesystem::path& path, const SizeLimit& limit)
{
    const FileDescriptor file = OpenForReading(path, path, FILE_ATTRIBUTE_NORMAL);
    const auto info = InformationOf(file);
    if (!info)
        throw OpenFailure(path, ::GetLastError());
    const std::uint64_t size = SizeOf(*info);
    if (size > limit.maxBytes)
        throw FileTooLarge(path, size, limit.rule);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::byte buffer[65536];
    while (const std::size_t got = ReadSome(file, buffer, path)) {
        bytes.append(reinterpret_cast<const char*>(buffer), got);
        // A file that grows while it is read is held to the same limit.
        if (bytes.size() > limit.maxBytes)
            throw FileTooLarge(path, bytes.size(), limit.rule);
    }
    return bytes;
}

InputFile::InputFile(const std::filesystem::path& path, std::filesystem::path shownPath)
    : file_(OpenForReading(path, shownPath, FILE_FLAG_SEQUENTIAL_SCAN)), shownPath_(std::move(shownPath))
{
}

std::uint64_t InputFile::RegularFileSize() const
{
    if (::GetFileType(Native(file_)) != FILE_TYPE_DISK)
        return 0;
    const auto info = InformationOf(file_);
    if (!info)
        throw ReadFailure(shownPath_, ::GetLastError());
    return SizeOf(*info);
}

void InputFile::ReadExactly(std::span<std::byte> buffer) const
{
    while (!buffer.empty()) {
        const std::size_t got = ReadSome(file_, buffer, shownPath_);
        if (got == 0)
            throw FileEndedEarly(shownPath_);
        buffer = buffer.subspan(got);
    }
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<std::byte> buffer) const
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
        if (!::ReadFile(Native(file_), buffer.data() + done, want, &got, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            throw ReadFailure(shownPath_, error);
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

// Given when the file was opened (FILE_FLAG_SEQUENTIAL_SCAN).
void InputFile::ExpectSequentialReading() const {}

// The user's own folders already keep others out: readers change nothing here.
PendingFile::PendingFile(std::filesystem::path target, Readers) : target_(std::move(target))
{
    std::minstd_rand random(static_cast<unsigned>(::GetCurrentProcessId() ^ ::GetTickCount() ^
                                                  reinterpret_cast<std::uintptr_t>(this)));
    for (;;) {
        temporary_ = TemporaryName(target_, random);
        // Delete sharing lets the rename in Commit() move it while it is open and locked.
        file_ = Owned(::CreateFileW(temporary_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_.IsOpen()) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS)
                continue;
            throw CreateFailure(target_, error);
        }
        // Between creation and lock another writer may have taken it for stale
        // and removed it; then the name no longer leads here, and a new one is taken.
        if (!LockWhole(file_, 0)) {
            const DWORD error = ::GetLastError();
            file_.Reset();
            ::DeleteFileW(temporary_.c_str());
            throw CreateFailure(target_, error);
        }
        if (NameLeadsTo(temporary_, file_))
            break;
    }
}

PendingFile::~PendingFile()
{
    file_.Reset();
    if (!committed_)
        ::DeleteFileW(temporary_.c_str());
}

void PendingFile::Write(std::string_view bytes)
{
    WriteAll(file_, bytes);
}

void PendingFile::Commit(Durability durability)
{
    const bool flushed = durability == Durability::Flushed;
    if (flushed && !::FlushFileBuffers(Native(file_)))
        ThrowWriteError(::GetLastError());
    // Still open, and so still locked, while it is renamed.
    MoveOverInUse(temporary_, target_, flushed ? MOVEFILE_WRITE_THROUGH : 0);
    committed_ = true;
    file_.Reset();
    RemoveStaleTemporaries(target_);
}

GrowingFile::GrowingFile(std::filesystem::path path) : path_(std::move(path))
{
    // Readers may look at it meanwhile (the file is hashed once whole).
    file_ = Owned(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.IsOpen())
        throw CreateFailure(path_, ::GetLastError());
    LARGE_INTEGER end{};
    if (!::SetFilePointerEx(Native(file_), end, nullptr, FILE_END))
        throw CreateFailure(path_, ::GetLastError());
}

std::uint64_t GrowingFile::Size() const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Native(file_), &size))
        throw ReadFailure(path_, ::GetLastError());
    return static_cast<std::uint64_t>(size.QuadPart);
}

void GrowingFile::Truncate(std::uint64_t size)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(Native(file_), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(Native(file_)))
        ThrowWriteError(::GetLastError());
}

void GrowingFile::Append(std::string_view bytes)
{
    WriteAll(file_, bytes);
}

void GrowingFile::Flush()
{
    if (!::FlushFileBuffers(Native(file_)))
        ThrowWriteError(::GetLastError());
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path)
{
    const FileDescriptor file = Owned(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const auto info = file.IsOpen() ? InformationOf(file) : std::nullopt;
    if (!info)
        return std::nullopt;
    const std::uint64_t written =
        (static_cast<std::uint64_t>(info->ftLastWriteTime.dwHighDateTime) << 32) | info->ftLastWriteTime.dwLowDateTime;
    return FileIdentity{info->dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info->nFileIndexHigh) << 32) | info->nFileIndexLow, SizeOf(*info),
                        static_cast<std::int64_t>(written) * 100};
}

void ReplaceFile(const std::filesystem::path& target, std::string_view bytes, Durability durability, Readers readers)
{
    PendingFile file(target, readers);
    file.Write(bytes);
    file.Commit(durability);
}

void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& target)
{
    {
        // The contents reach the disk before the name does.
        const FileDescriptor file = Owned(::CreateFileW(from.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsOpen())
            throw CreateFailure(target, ::GetLastError());
        if (!::FlushFileBuffers(Native(file)))
            ThrowWriteError(::GetLastError());
    }
    MoveOverInUse(from, target, MOVEFILE_WRITE_THROUGH);
}

void RemoveQuietly(const std::filesystem::path& file) noexcept
{
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

bool CreateNewFile(const std::filesystem::path& path, std::string_view bytes, Readers)
{
    // CREATE_NEW also refuses a name held by a link or a folder.
    const FileDescriptor file = Owned(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        const DWORD error = ::GetLastError();
        // Whatever else stands in the way (a folder may answer "access
        // denied"), a name that exists is taken.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
            ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return false;
        throw CreateFailure(path, error);
    }
    DWORD error = ERROR_SUCCESS;
    while (!bytes.empty() && error == ERROR_SUCCESS) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD put = 0;
        if (::WriteFile(Native(file), bytes.data(), chunk, &put, nullptr))
            bytes.remove_prefix(put);
        else
            error = ::GetLastError();
    }
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(Native(file)))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
        // Removed through the handle that made it, so a file that took the name meanwhile is never touched.
        FILE_DISPOSITION_INFO dispose{TRUE};
        ::SetFileInformationByHandle(Native(file), FileDispositionInfo, &dispose, sizeof dispose);
        throw CreateFailure(path, error);
    }
    return true;
}

} // namespace tarnwick
