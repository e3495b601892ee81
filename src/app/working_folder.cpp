#include "app/working_folder.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <system_error>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

Error CannotWorkIn(const fs::path& folder, const std::error_code& error)
{
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "无法在文件夹“%1”中工作。%2"));
    message.Arg(PathText(folder));
    const ErrorKind kind = KindOfErrorCode(error);
    return Error(WithReason(message, error.message(), kind), kind);
}

} // namespace

fs::path OwnFolder(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "tarnwick";
    if (home && fs::path(home).is_absolute())
        return fs::path(home) / ".local/share/tarnwick";
    throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "找不到本程序自己的文件夹：XDG_DATA_HOME 和 HOME 都不是绝对路径。"
                                                      "请给出要在其中工作的文件夹：tarnwick 文件夹")));
}

void EnterFolder(const fs::path& folder, bool create)
{
    std::error_code error;
    // The files written here are the operator's own: the folder is private.
    if (create && fs::create_directories(folder, error))
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
    if (!error)
        fs::current_path(folder, error);
    if (error)
        throw CannotWorkIn(folder, error);
}

} // namespace tarnwick
