#include "app/working_folder.h"

#include "base/error.h"
#include "base/text.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

Error CannotWorkIn(const fs::path& folder, const std::string& reason)
{
    return Error("Cannot work in folder \"" + PathText(folder) + "\". " + reason);
}

// Like mkdir -p with mode 0700: the files written here are the operator's own.
void MakeFolders(const fs::path& folder)
{
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            throw CannotWorkIn(folder, SystemErrorText(errno));
    }
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
    if (create)
        MakeFolders(folder);
    if (::chdir(folder.c_str()) != 0)
        throw CannotWorkIn(folder, SystemErrorText(errno));
}

} // namespace tarnwick
