#include "base/credential_store.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <windows.h>
#include <wincred.h>

// The Credential Manager: one generic credential per server and user, kept
// for the user on this machine (not roamed). The password is stored as the
// bytes it was given (UTF-8).
namespace tarnwick {
namespace {

constexpr const char* kCannotFind = QT_TRANSLATE_NOOP("Tarnwick", "无法读取保存在系统密钥环中的密码。%1");
constexpr const char* kCannotStore = QT_TRANSLATE_NOOP("Tarnwick", "无法把密码保存到系统的密钥环。%1");
constexpr const char* kCannotForget = QT_TRANSLATE_NOOP("Tarnwick", "无法从系统的密钥环删除密码。%1");

std::wstring Wide(std::string_view gbk)
{
    const std::u16string utf16 = GbkToUtf16(gbk);
    return std::wstring(reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size());
}

// "tarnwick-publish:sftp://example.com:22 alice"; raises Error when the key
// is no GBK text.
std::wstring TargetName(const CredentialKey& key)
{
    return Wide("tarnwick-publish:" + key.server + " " + key.user);
}

Error Failure(const char* pattern, DWORD error)
{
    return Error(Message(pattern).Arg(Win32ErrorText(error)), KindOfWin32Error(error));
}

struct CredentialFree {
    void operator()(CREDENTIALW* credential) const { ::CredFree(credential); }
};

class CredentialManager final : public CredentialStore {
public:
    bool Available() override
    {
        // A logon session that cannot keep credentials on the machine (some
        // network and service logons) has no keyring to offer.
        DWORD persists[CRED_TYPE_MAXIMUM] = {};
        return ::CredGetSessionTypes(CRED_TYPE_MAXIMUM, persists) &&
               persists[CRED_TYPE_GENERIC] >= CRED_PERSIST_LOCAL_MACHINE;
    }

    std::optional<std::string> Find(const CredentialKey& key) override
    {
        std::wstring target;
        try {
            target = TargetName(key);
        } catch (const Error&) {
            return std::nullopt; // no such name can have been stored
        }
        CREDENTIALW* found = nullptr;
        if (!::CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &found)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_NOT_FOUND || error == ERROR_NO_SUCH_LOGON_SESSION)
                return std::nullopt;
            throw Failure(kCannotFind, error);
        }
        const std::unique_ptr<CREDENTIALW, CredentialFree> credential(found);
        std::string password(reinterpret_cast<const char*>(credential->CredentialBlob), credential->CredentialBlobSize);
        if (credential->CredentialBlob != nullptr)
            ::SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
        return password;
    }

    void Store(const CredentialKey& key, const std::string& password) override
    {
        std::wstring target;
        std::wstring user;
        try {
            target = TargetName(key);
            user = Wide(key.user);
        } catch (const Error& error) {
            throw Error(Message(kCannotStore).Inner(error.Text()));
        }
        CREDENTIALW credential{};
        credential.Type = CRED_TYPE_GENERIC;
        credential.TargetName = target.data();
        credential.Comment = const_cast<wchar_t*>(L"Tarnwick");
        credential.CredentialBlobSize = static_cast<DWORD>(password.size());
        credential.CredentialBlob = reinterpret_cast<BYTE*>(const_cast<char*>(password.data()));
        credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
        credential.UserName = user.empty() ? nullptr : user.data();
        // Over a credential of the same name: it is replaced.
        if (!::CredWriteW(&credential, 0))
            throw Failure(kCannotStore, ::GetLastError());
    }

    void Forget(const CredentialKey& key) override
    {
        std::wstring target;
        try {
            target = TargetName(key);
        } catch (const Error&) {
            return;
        }
        if (!::CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_NOT_FOUND && error != ERROR_NO_SUCH_LOGON_SESSION)
                throw Failure(kCannotForget, error);
        }
    }
};

} // namespace

std::unique_ptr<CredentialStore> SystemCredentialStore() { return std::make_unique<CredentialManager>(); }

} // namespace tarnwick
