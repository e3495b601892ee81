#include "base/error.h"

#include "base/text.h"
#include "base/translatable.h"

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

ErrorKind KindOfErrorCode(const std::error_code& error)
{
    if (error.category() == std::generic_category())
        return KindOfErrno(error.value());
    if (error.category() == std::system_category()) {
#ifdef _WIN32
        return KindOfWin32Error(static_cast<unsigned long>(error.value()));
#else
        return KindOfErrno(error.value());
#endif
    }
    return ErrorKind::Failed;
}

std::string SystemErrorText(int errorNumber)
{
    // strerror's text is ASCII in the C locale that the programs run in.
    return std::strerror(errorNumber);
}

namespace {

constexpr const char* kNoPermission = QT_TRANSLATE_NOOP("Tarnwick", "没有权限");
constexpr const char* kNotFound = QT_TRANSLATE_NOOP("Tarnwick", "文件或文件夹不存在");
constexpr const char* kNoRoom = QT_TRANSLATE_NOOP("Tarnwick", "磁盘空间不足");
constexpr const char* kInUse = QT_TRANSLATE_NOOP("Tarnwick", "文件正被另一个程序使用");

const char* PhraseOfKind(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::NoPermission: return kNoPermission;
    case ErrorKind::NotFound: return kNotFound;
    case ErrorKind::NoRoom: return kNoRoom;
    case ErrorKind::InUse: return kInUse;
    case ErrorKind::Failed:
    case ErrorKind::Damaged: break;
    }
    return nullptr;
}

// The common failures of files in the operator's words; the rest keep the
// system's description.
const char* PhraseOfErrno(int errorNumber)
{
    switch (errorNumber) {
    case EACCES: return kNoPermission;
    case EPERM: return QT_TRANSLATE_NOOP("Tarnwick", "不允许这样操作");
    case EROFS: return QT_TRANSLATE_NOOP("Tarnwick", "文件系统是只读的");
    case ENOENT: return kNotFound;
    case ENOTDIR: return QT_TRANSLATE_NOOP("Tarnwick", "路径中有一项不是文件夹");
    case EISDIR: return QT_TRANSLATE_NOOP("Tarnwick", "这是一个文件夹");
    case EEXIST: return QT_TRANSLATE_NOOP("Tarnwick", "文件已存在");
    case ENOSPC: return kNoRoom;
    case EFBIG: return QT_TRANSLATE_NOOP("Tarnwick", "文件太大");
#ifdef EDQUOT
    case EDQUOT: return QT_TRANSLATE_NOOP("Tarnwick", "超出了磁盘配额");
#endif
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EAGAIN: return kInUse;
    case EMFILE:
    case ENFILE: return QT_TRANSLATE_NOOP("Tarnwick", "打开的文件太多");
    case ENAMETOOLONG: return QT_TRANSLATE_NOOP("Tarnwick", "文件名太长");
    case EIO: return QT_TRANSLATE_NOOP("Tarnwick", "输入输出错误");
    default: return PhraseOfKind(KindOfErrno(errorNumber));
    }
}

} // namespace

Message& WithReason(Message& message, const std::string& systemText, ErrorKind kind)
{
    return message.Reason(systemText, PhraseOfKind(kind));
}

Message& WithReason(Message& message, int errorNumber)
{
    return message.Reason(SystemErrorText(errorNumber), PhraseOfErrno(errorNumber));
}

namespace {

Message FileMessage(const char* pattern, const std::filesystem::path& path)
{
    Message message(pattern);
    message.Arg(PathText(path));
    return message;
}

// The patterns, each once: the English is the translation file's.
constexpr const char* kCannotOpen = QT_TRANSLATE_NOOP("Tarnwick", "无法打开文件“%1”。%2");
constexpr const char* kCannotCreate = QT_TRANSLATE_NOOP("Tarnwick", "无法创建文件“%1”。%2");
constexpr const char* kCannotRead = QT_TRANSLATE_NOOP("Tarnwick", "无法读取文件“%1”。%2");

Error FileError(const char* pattern, const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    Message message = FileMessage(pattern, path);
    return Error(WithReason(message, reason, kind), kind);
}

Error FileError(const char* pattern, const std::filesystem::path& path, int errorNumber)
{
    Message message = FileMessage(pattern, path);
    return Error(WithReason(message, errorNumber), KindOfErrno(errorNumber));
}

} // namespace

Error CannotOpenFile(const std::filesystem::path& path, int errorNumber)
{
    return FileError(kCannotOpen, path, errorNumber);
}

Error CannotCreateFile(const std::filesystem::path& path, int errorNumber)
{
    return FileError(kCannotCreate, path, errorNumber);
}

Error CannotReadFile(const std::filesystem::path& path, int errorNumber)
{
    return FileError(kCannotRead, path, errorNumber);
}

Error CannotOpenFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    return FileError(kCannotOpen, path, reason, kind);
}

Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    return FileError(kCannotCreate, path, reason, kind);
}

Error CannotReadFile(const std::filesystem::path& path, const std::string& reason, ErrorKind kind)
{
    return FileError(kCannotRead, path, reason, kind);
}

Error CannotOpenFile(const std::filesystem::path& path, const Message& reason, ErrorKind kind)
{
    return Error(FileMessage(kCannotOpen, path).Inner(reason), kind);
}

Error CannotCreateFile(const std::filesystem::path& path, const Message& reason, ErrorKind kind)
{
    return Error(FileMessage(kCannotCreate, path).Inner(reason), kind);
}

Error CannotCreateFileNamed(const std::string& shownName, const Message& reason)
{
    Message message(kCannotCreate);
    return Error(message.Arg(shownName).Inner(reason));
}

Error FileTooLarge(const std::filesystem::path& path, std::uint64_t size, const char* rule)
{
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "文件“%1”有 %2 字节；%3"));
    message.Arg(PathText(path)).Arg(std::to_string(size)).Phrase(rule);
    return Error(message);
}

Error StreamWriteError(const std::string& systemText, ErrorKind kind)
{
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "写入数据流出错：%1"));
    return Error(WithReason(message, systemText, kind), kind);
}

Error StreamWriteError(int errorNumber)
{
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "写入数据流出错：%1"));
    return Error(WithReason(message, errorNumber), KindOfErrno(errorNumber));
}

Error CannotLockFile(const std::filesystem::path& path, const std::string& systemText, ErrorKind kind)
{
    Message message = FileMessage(QT_TRANSLATE_NOOP("Tarnwick", "无法锁定文件“%1”。%2"), path);
    return Error(WithReason(message, systemText, kind), kind);
}

Error FileSystemLocksNoFiles(const std::filesystem::path& path, const std::string& systemText)
{
    Message reason(QT_TRANSLATE_NOOP("Tarnwick", "这个文件夹所在的文件系统不能锁定文件（是不支持锁定的网络共享吗？）：%1"));
    reason.Arg(systemText);
    return Error(FileMessage(QT_TRANSLATE_NOOP("Tarnwick", "无法锁定文件“%1”。%2"), path).Inner(reason));
}

Error FileEndedEarly(const std::filesystem::path& path)
{
    return Error(FileMessage(kCannotRead, path).Phrase(QT_TRANSLATE_NOOP("Tarnwick", "文件比预期的短")));
}

} // namespace tarnwick
