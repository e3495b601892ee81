#include "config/error.h"

#include "config/text.h"

#include <cstring>

namespace tarnwick {

std::string SystemErrorText(int errnoValue)
{
    // strerror's text is ASCII in the C locale that the programs run in.
    return std::strerror(errnoValue);
}

Error CannotOpenFile(const std::filesystem::path& path, int errnoValue)
{
    return Error("Cannot open file \"" + PathText(path) + "\". " + SystemErrorText(errnoValue));
}

Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason)
{
    return Error("Cannot create file \"" + PathText(path) + "\". " + reason);
}

} // namespace tarnwick
