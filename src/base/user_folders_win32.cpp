#include "base/user_folders.h"

#include "base/error.h"
#include "base/translatable.h"

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

std::filesystem::path SettingsFolder()
{
    // %APPDATA% first, as programs and scripts find it; else the known folder.
    std::wstring appData(32768, L'\0');
    const DWORD size = ::GetEnvironmentVariableW(L"APPDATA", appData.data(), static_cast<DWORD>(appData.size()));
    if (size > 0 && size < appData.size()) {
        appData.resize(size);
        return std::filesystem::path(appData) / L"Tarnwick";
    }
    PWSTR path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path);
    std::optional<std::filesystem::path> folder;
    if (SUCCEEDED(result) && path != nullptr)
        folder = std::filesystem::path(path) / L"Tarnwick";
    ::CoTaskMemFree(path);
    if (!folder)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "找不到用户的设置文件夹（%APPDATA%）。")), ErrorKind::NotFound);
    return *folder;
}

} // namespace tarnwick
