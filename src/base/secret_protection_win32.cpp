#include "base/secret_protection.h"

#include "base/error.h"
#include "base/translatable.h"

#include <windows.h>
#include <dpapi.h>

namespace tarnwick {
namespace {

struct LocalBlob {
    DATA_BLOB blob{};
    ~LocalBlob() { ::LocalFree(blob.pbData); }
};

DATA_BLOB In(std::string_view bytes)
{
    return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

} // namespace

const char* SecretProtectionName() { return "dpapi"; }

std::string ProtectSecret(std::string_view secret)
{
    DATA_BLOB in = In(secret);
    LocalBlob out;
    if (!::CryptProtectData(&in, L"Tarnwick signing key", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out.blob))
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "无法为当前用户加密私钥（DPAPI）。%1"))
                        .Arg(Win32ErrorText(::GetLastError())));
    return std::string(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
}

std::optional<std::string> UnprotectSecret(std::string_view protectionName, std::string_view stored)
{
    if (protectionName != SecretProtectionName())
        return std::nullopt;
    DATA_BLOB in = In(stored);
    LocalBlob out;
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    std::string secret(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
    ::SecureZeroMemory(out.blob.pbData, out.blob.cbData);
    return secret;
}

} // namespace tarnwick
