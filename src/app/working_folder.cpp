#include "app/working_folder.h"

#include "base/error.h"
#include "base/text.h"

#include <system_error>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

Error CannotWorkIn(const fs::path& folder, const std::error_code& error)
{
    return Error("Cannot work in folder \"" + PathText(folder) + "\". " + error.message());
}

} // namespace

fs::path OwnFolder(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "tarnwick";
    if (home && fs::path(home).is_absolute())
        return fs::path(home) / ".local/share/tarnwick";
    throw Error("Cannot find a folder of its own: neither XDG_DATA_HOME nor HOME names an absolute folder. "
                "Give the folder to work in: tarnwick FOLDER");
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
