#include "self_image.h"

#include "sign/trusted_keys.h"
#include "wide.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace tarnwick::player {
namespace {

// One string of the first translation's table.
std::u16string VersionString(const std::vector<std::byte>& block, const wchar_t* key)
{
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof *translation)
        return {};
    wchar_t path[96];
    std::swprintf(path, sizeof path / sizeof path[0], L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
                  translation->codePage, key);
    wchar_t* value = nullptr;
    if (!::VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &length) || length == 0)
        return {};
    // The stamp's terminator ends the value; the placeholder's tail lies beyond it.
    return Utf16(std::wstring_view(value, ::wcsnlen(value, length)));
}

} // namespace

std::wstring OwnPath()
{
    // A path may be longer than MAX_PATH; grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (size == 0)
            return {};
        if (size < path.size()) {
            path.resize(size);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring OwnFolder()
{
    const std::wstring path = OwnPath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

StampedStrings ReadOwnStrings()
{
    const std::wstring self = OwnPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(self.c_str(), &ignored);
    std::vector<std::byte> block(size);
    if (size == 0 || !::GetFileVersionInfoW(self.c_str(), 0, size, block.data()))
        return {};
    return {VersionString(block, L"GameName"), VersionString(block, L"ServerList"), VersionString(block, L"GameClient")};
}

namespace {

std::filesystem::path BesideSelf(const wchar_t* extension)
{
    const std::filesystem::path self(OwnPath());
    return self.parent_path() / (self.stem().wstring() + extension);
}

} // namespace

std::filesystem::path LastServerFile() { return BesideSelf(L".lastserver"); }
std::filesystem::path UpdateStateFile() { return BesideSelf(L".updates"); }
std::filesystem::path TrustStateFile() { return BesideSelf(L".trust"); }
std::filesystem::path KeptListFile() { return BesideSelf(L".serverinfo"); }
ListState OwnListState() { return {TrustStateFile(), KeptListFile()}; }

ListTrustKeys ReadOwnTrustKeys()
{
    const std::wstring name(sign::kTrustedKeysResource.begin(), sign::kTrustedKeysResource.end());
    HRSRC found = ::FindResourceW(nullptr, name.c_str(), MAKEINTRESOURCEW(sign::kRcDataType));
    // An image without the room (not one of ours) checks nothing, as before.
    if (found == nullptr)
        return {};
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(nullptr, found);
    if (data == nullptr)
        return {{}, true};
    const auto keys = sign::ReadTrustedKeys(std::span(static_cast<const std::byte*>(data), size));
    // A room that holds no keys as we wrote them must not let anything through.
    if (!keys)
        return {{}, true};
    return {*keys, false};
}

} // namespace tarnwick::player
