#include "base/crypto.h"

#include "base/error.h"
#include "base/translatable.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tarnwick::crypto {
namespace {

[[noreturn]] void Fail(const char* what, NTSTATUS status)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "密码库出错（%1）：%2")).Arg(what).Arg(code));
}

class Algorithm {
public:
    explicit Algorithm(const wchar_t* name)
    {
        if (const NTSTATUS status = ::BCryptOpenAlgorithmProvider(&handle_, name, nullptr, 0); !BCRYPT_SUCCESS(status))
            Fail("BCryptOpenAlgorithmProvider", status);
    }
    ~Algorithm() { ::BCryptCloseAlgorithmProvider(handle_, 0); }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Key {
public:
    Key() = default;
    ~Key()
    {
        if (handle_)
            ::BCryptDestroyKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    BCRYPT_KEY_HANDLE* Out() { return &handle_; }
    BCRYPT_KEY_HANDLE Get() const { return handle_; }

private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

class Hash {
public:
    explicit Hash(const Algorithm& algorithm)
    {
        if (const NTSTATUS status = ::BCryptCreateHash(algorithm.Get(), &handle_, nullptr, 0, nullptr, 0, 0);
            !BCRYPT_SUCCESS(status))
            Fail("BCryptCreateHash", status);
    }
    ~Hash() { ::BCryptDestroyHash(handle_); }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    BCRYPT_HASH_HANDLE Get() const { return handle_; }

private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};

// A key blob: the header CNG expects, then X, Y and, for a private key, d.
std::vector<UCHAR> Blob(ULONG magic, const PublicKey& publicKey, const PrivateKey* privateKey)
{
    BCRYPT_ECCKEY_BLOB header{magic, 32};
    std::vector<UCHAR> blob(sizeof header + publicKey.size() + (privateKey ? privateKey->size() : 0));
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, publicKey.data(), publicKey.size());
    if (privateKey)
        std::memcpy(blob.data() + sizeof header + publicKey.size(), privateKey->data(), privateKey->size());
    return blob;
}

// False when CNG takes the parts for no key of the curve.
bool Import(const Algorithm& algorithm, Key& key, const PublicKey& publicKey, const PrivateKey* privateKey)
{
    std::vector<UCHAR> blob = Blob(privateKey ? BCRYPT_ECDSA_PRIVATE_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P256_MAGIC,
                                   publicKey, privateKey);
    const NTSTATUS status =
        ::BCryptImportKeyPair(algorithm.Get(), nullptr, privateKey ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB,
                              key.Out(), blob.data(), static_cast<ULONG>(blob.size()), 0);
    ::SecureZeroMemory(blob.data(), blob.size());
    return BCRYPT_SUCCESS(status);
}

// A fixed message that a pair signs to show that its halves belong together.
constexpr std::string_view kPairProbe = "Tarnwick key pair check";

} // namespace

struct Sha256Hasher::State {
    Algorithm algorithm{BCRYPT_SHA256_ALGORITHM};
    Hash hash{algorithm};
};

Sha256Hasher::Sha256Hasher() : state_(std::make_unique<State>()) {}

Sha256Hasher::~Sha256Hasher() = default;

void Sha256Hasher::Update(std::string_view bytes)
{
    // CNG takes at most 4 GiB a call.
    constexpr std::size_t kChunk = 1u << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const auto size = static_cast<ULONG>(std::min(kChunk, bytes.size() - at));
        if (const NTSTATUS status = ::BCryptHashData(state_->hash.Get(),
                                                     reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + at)),
                                                     size, 0);
            !BCRYPT_SUCCESS(status))
            Fail("BCryptHashData", status);
    }
}

Sha256Digest Sha256Hasher::Finish()
{
    Sha256Digest digest{};
    if (const NTSTATUS status =
            ::BCryptFinishHash(state_->hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
        !BCRYPT_SUCCESS(status))
        Fail("BCryptFinishHash", status);
    return digest;
}

Sha256Digest Sha256(std::string_view bytes)
{
    Sha256Hasher hasher;
    hasher.Update(bytes);
    return hasher.Finish();
}

KeyPair GenerateKeyPair()
{
    const Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (const NTSTATUS status = ::BCryptGenerateKeyPair(algorithm.Get(), key.Out(), 256, 0); !BCRYPT_SUCCESS(status))
        Fail("BCryptGenerateKeyPair", status);
    if (const NTSTATUS status = ::BCryptFinalizeKeyPair(key.Get(), 0); !BCRYPT_SUCCESS(status))
        Fail("BCryptFinalizeKeyPair", status);
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG size = 0;
    if (const NTSTATUS status = ::BCryptExportKey(key.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                                  static_cast<ULONG>(blob.size()), &size, 0);
        !BCRYPT_SUCCESS(status) || size != blob.size())
        Fail("BCryptExportKey", status);
    KeyPair pair;
    const UCHAR* parts = blob.data() + sizeof(BCRYPT_ECCKEY_BLOB);
    std::memcpy(pair.publicKey.data(), parts, pair.publicKey.size());
    std::memcpy(pair.privateKey.data(), parts + pair.publicKey.size(), pair.privateKey.size());
    ::SecureZeroMemory(blob.data(), blob.size());
    return pair;
}

// Windows' CNG refuses a point off the curve when it imports it. (Wine's
// takes any point; the launcher's keys are its own, stamped by the builder.)
bool IsValidPublicKey(const PublicKey& publicKey)
{
    const Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    return Import(algorithm, key, publicKey, nullptr);
}

bool IsValidKeyPair(const KeyPair& pair)
{
    if (!IsValidPublicKey(pair.publicKey))
        return false;
    const Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!Import(algorithm, key, pair.publicKey, &pair.privateKey))
        return false;
    // CNG need not check that d gives (X, Y): a signature shows it.
    return Verify(pair.publicKey, kPairProbe, Sign(pair, kPairProbe));
}

Signature Sign(const KeyPair& pair, std::string_view message)
{
    const Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!Import(algorithm, key, pair.publicKey, &pair.privateKey))
        Fail("BCryptImportKeyPair", static_cast<NTSTATUS>(0xC000000DL)); // STATUS_INVALID_PARAMETER
    Sha256Digest digest = Sha256(message);
    Signature signature{};
    ULONG size = 0;
    if (const NTSTATUS status = ::BCryptSignHash(key.Get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                                 signature.data(), static_cast<ULONG>(signature.size()), &size, 0);
        !BCRYPT_SUCCESS(status) || size != signature.size())
        Fail("BCryptSignHash", status);
    return signature;
}

bool Verify(const PublicKey& publicKey, std::string_view message, const Signature& signature)
{
    const Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!Import(algorithm, key, publicKey, nullptr))
        return false;
    Sha256Digest digest = Sha256(message);
    Signature copy = signature;
    return BCRYPT_SUCCESS(::BCryptVerifySignature(key.Get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                                  copy.data(), static_cast<ULONG>(copy.size()), 0));
}

} // namespace tarnwick::crypto
