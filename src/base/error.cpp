#include "base/error.h"

#include "base/text.h"

#include <cstring>

namespace tarnwick {

std::string SystemErrorText(int errorNumber)
{
    // strerror's text is ASCII in the C locale that the programs run in.
    return std::strerror(errorNumber);
}

Error CannotOpenFile(const std::filesystem::path& path, int errorNumber)
{
    return CannotOpenFile(path, SystemErrorText(errorNumber));
}

Error CannotOpenFile(const std::filesystem::path& path, const std::string& reason)
{
    return Error("Cannot open file \"" + PathText(path) + "\". " + reason);
}

Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason)
{
    return Error("Cannot create file \"" + PathText(path) + "\". " + reason);
}

Error CannotReadFile(const std::filesystem::path& path, const std::string& reason)
{
    return Error("Cannot read file \"" + PathText(path) + "\". " + reason);
}

} // namespace tarnwick
