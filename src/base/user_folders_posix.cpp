// Programs keep their files by the XDG rules here (see app/working_folder.h).
#include "base/user_folders.h"

#include "base/error.h"
#include "base/translatable.h"

#include <cstdlib>

namespace tarnwick {

std::optional<std::filesystem::path> DocumentsFolder() { return std::nullopt; }

std::filesystem::path SettingsFolder()
{
    // A relative XDG_CONFIG_HOME is invalid by the rules and is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::filesystem::path(config) / "tarnwick";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::filesystem::path(home) / ".config" / "tarnwick";
    throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "找不到用户的设置文件夹：HOME 和 XDG_CONFIG_HOME 都没有设置。")),
                ErrorKind::NotFound);
}

} // namespace tarnwick
