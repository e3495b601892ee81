#include "base/error.h"

#include "base/text.h"

#include <cerrno>
#include <cstring>

namespace tarnwick {

ErrorKind KindOfErrno(int errorNumber)
{
    switch (errorNumber) {
    case EBUSY:
    case EAGAIN:
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return ErrorKind::InUse;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return ErrorKind::NoRoom;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::NoPermission;
    case ENOENT:
    case ENOTDIR:
        return ErrorKind::NotFound;
    default:
        return ErrorKind::Failed;
    }
}

std::string SystemErrorText(int errorNumber)
{
    // strerror's text is ASCII in the C locale that the programs run in.
    return std::strerror(errorNumber);
}

Error CannotOpenFile(const std::filesystem::path& path, int errorNumber)
{
    return CannotOpenFile(path, SystemErrorText(errorNumber), KindOfErrno(errorNumber));
}

Error CannotCreateFile(const std::filesystem::path& path, int errorNumber)
{
    return CannotCreateFile(path, SystemErrorText(errorNumber), KindOfErrno(errorNumber));
}

Error CannotReadFile(const std::filesystem::path& path, int errorNumber)
{
    return CannotReadFile(path, SystemErrorText(errorNumber), KindOfErrno(errorNumber));
}

Error CannotOpenFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    return Error("Cannot open file \"" + PathText(path) + "\". " + reason, kind);
}

Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    return Error("Cannot create file \"" + PathText(path) + "\". " + reason, kind);
}

Error CannotReadFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    return Error("Cannot read file \"" + PathText(path) + "\". " + reason, kind);
}

} // namespace tarnwick
