#include "base/user_folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace tarnwick {

std::optional<std::filesystem::path> DocumentsFolder()
{
    PWSTR path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &path);
    std::optional<std::filesystem::path> folder;
    if (SUCCEEDED(result) && path != nullptr)
        folder = std::filesystem::path(path);
    ::CoTaskMemFree(path);
    return folder;
}

} // namespace tarnwick
