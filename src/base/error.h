#pragma once

#include "base/message.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tarnwick {

// Why something failed, as far as a caller may act on it: a file held by
// another program can be tried again later, a full disk or a refused folder
// needs the operator, a damaged document needs a repair. Failed is the rest.
enum class ErrorKind { Failed, InUse, NoRoom, NoPermission, NotFound, Damaged };

namespace detail {
// The kind and the message are kept in a plain base, and the message holds no
// shared or polymorphic part, so that raising an Error touches no member of a
// polymorphic object while it is built: the undefined-behaviour checker
// probes such objects through a pipe, which cannot be made when the process
// has run out of descriptors, the very failure an Error may be reporting.
struct ErrorKindField {
    ErrorKind kind;
    Message message;
};
} // namespace detail

// The one error type of the system. what() is its text in Chinese, GBK like
// all core text; Text() keeps the sentence for the front ends to write in the
// operator's language. A plain text reads the same in every language.
class Error : public std::runtime_error, private detail::ErrorKindField {
public:
    explicit Error(const std::string& message, ErrorKind kind = ErrorKind::Failed)
        : std::runtime_error(message), detail::ErrorKindField{kind, Message::Untranslated(message)}
    {
    }
    explicit Error(const Message& message, ErrorKind kind = ErrorKind::Failed)
        : std::runtime_error(message.Chinese()), detail::ErrorKindField{kind, message}
    {
    }

    ErrorKind Kind() const noexcept { return kind; }
    const Message& Text() const noexcept { return message; }
};

// The kind of a C library error number (errno).
ErrorKind KindOfErrno(int errorNumber);
// The kind of a standard library error code (std::filesystem's).
ErrorKind KindOfErrorCode(const std::error_code& error);
#ifdef _WIN32
// The kind of a Win32 error code (GetLastError).
ErrorKind KindOfWin32Error(unsigned long errorCode);
// Its description, worded as the POSIX build words the same error.
std::string Win32ErrorText(unsigned long errorCode);
#endif

// The system's description of an error number, as GBK text.
std::string SystemErrorText(int errorNumber);

// A failure's reason added to a message: the system's own description where
// the front end speaks the system's language, else words of ours where the
// kind or the error number tells the reason (no permission, not found, ...),
// else the system's description all the same.
Message& WithReason(Message& message, const std::string& systemText, ErrorKind kind);
Message& WithReason(Message& message, int errorNumber);

// "Cannot open file "%s". %s", "Cannot create file "%s". %s" and
// "Cannot read file "%s". %s" (in Chinese 无法打开文件“%s”。%s and so on),
// with the path as GBK text. The kind follows from an error number; where the
// kind tells the reason, the reason is said in the operator's language, else
// it is the system's description.
Error CannotOpenFile(const std::filesystem::path& path, int errorNumber);
Error CannotCreateFile(const std::filesystem::path& path, int errorNumber);
Error CannotReadFile(const std::filesystem::path& path, int errorNumber);
Error CannotOpenFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind = ErrorKind::Failed);
Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind = ErrorKind::Failed);
Error CannotReadFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind = ErrorKind::Failed);
// The same with a reason of Tarnwick's own.
Error CannotOpenFile(const std::filesystem::path& path, const Message& reason, ErrorKind kind = ErrorKind::Failed);
Error CannotCreateFile(const std::filesystem::path& path, const Message& reason, ErrorKind kind = ErrorKind::Failed);
// The same for a file named by GBK text that is no path on this system.
Error CannotCreateFileNamed(const std::string& shownName, const Message& reason);
// A file refused for its size; `rule` is the limit's marked phrase.
Error FileTooLarge(const std::filesystem::path& path, std::uint64_t size, const char* rule);
// A failed write of a file's bytes: "Stream write error: " and the reason.
Error StreamWriteError(const std::string& systemText, ErrorKind kind);
Error StreamWriteError(int errorNumber);
// A lock file that cannot be locked.
Error CannotLockFile(const std::filesystem::path& path, const std::string& systemText, ErrorKind kind);
// The same on a file system that locks no files (a network share without lock support).
Error FileSystemLocksNoFiles(const std::filesystem::path& path, const std::string& systemText);
// A file that ended before the size it had when it was opened.
Error FileEndedEarly(const std::filesystem::path& path);

} // namespace tarnwick
