#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tarnwick {

// Why something failed, as far as a caller may act on it: a file held by
// another program can be tried again later, a full disk or a refused folder
// needs the operator, a damaged document needs a repair. Failed is the rest.
enum class ErrorKind { Failed, InUse, NoRoom, NoPermission, NotFound, Damaged };

namespace detail {
// The kind is kept in a plain base so that raising an Error touches no member
// of a polymorphic object while it is built: the undefined-behaviour checker
// probes such objects through a pipe, which cannot be made when the process
// has run out of descriptors, the very failure an Error may be reporting.
struct ErrorKindField {
    ErrorKind kind;
};
} // namespace detail

// The one error type of the system. The message is GBK text, like all core text;
// front ends convert it to UTF-8 when they show it.
class Error : public std::runtime_error, private detail::ErrorKindField {
public:
    explicit Error(const std::string& message, ErrorKind kind = ErrorKind::Failed)
        : std::runtime_error(message), detail::ErrorKindField{kind}
    {
    }

    ErrorKind Kind() const noexcept { return kind; }
};

// The kind of a C library error number (errno).
ErrorKind KindOfErrno(int errorNumber);
#ifdef _WIN32
// The kind of a Win32 error code (GetLastError).
ErrorKind KindOfWin32Error(unsigned long errorCode);
// Its description, worded as the POSIX build words the same error.
std::string Win32ErrorText(unsigned long errorCode);
#endif

// The system's description of an error number, as GBK text.
std::string SystemErrorText(int errorNumber);

// "Cannot open file "%s". %s", "Cannot create file "%s". %s" and
// "Cannot read file "%s". %s", with the path as GBK text. Given an error
// number, the reason is its description and the kind follows from it.
Error CannotOpenFile(const std::filesystem::path& path, int errorNumber);
Error CannotCreateFile(const std::filesystem::path& path, int errorNumber);
Error CannotReadFile(const std::filesystem::path& path, int errorNumber);
Error CannotOpenFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind = ErrorKind::Failed);
Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind = ErrorKind::Failed);
Error CannotReadFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind = ErrorKind::Failed);

} // namespace tarnwick
