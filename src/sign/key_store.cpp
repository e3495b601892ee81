#include "sign/key_store.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/file_lock.h"
#include "base/secret_protection.h"
#include "base/text.h"
#include "base/translatable.h"
#include "sign/hex.h"
#include "sign/list_signature.h"

#include <chrono>
#include <system_error>
#include <vector>

namespace tarnwick::sign {
namespace {

constexpr std::string_view kKeyFileFirstLine = "Tarnwick signing keys 1";
constexpr SizeLimit kKeyFileLimit{16 * 1024, QT_TRANSLATE_NOOP("Tarnwick", "密钥文件最多可有 16,384 字节")};
constexpr SizeLimit kSerialLimit{64, QT_TRANSLATE_NOOP("Tarnwick", "序号文件最多可有 64 字节")};
// Two programs signing at once wait for each other this long at most.
constexpr std::chrono::seconds kSerialLockWait{10};

Error Damaged(const std::filesystem::path& path, const char* why)
{
    return Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "密钥文件“%1”无法使用：%2")).Arg(PathText(path)).Phrase(why),
                 ErrorKind::Damaged);
}

std::string PrivateText(const crypto::PrivateKey& key, bool protect)
{
    const std::string secret(reinterpret_cast<const char*>(key.data()), key.size());
    if (!protect)
        return "none:" + ToHex(key);
    const std::string stored = ProtectSecret(secret);
    return std::string(SecretProtectionName()) + ":" +
           ToHex(std::span(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()));
}

// A pair from its lines; raises Damaged.
crypto::KeyPair PairFrom(std::string_view publicText, std::string_view privateText, const std::filesystem::path& path)
{
    crypto::KeyPair pair;
    if (!FromHexInto(publicText, pair.publicKey))
        throw Damaged(path, QT_TRANSLATE_NOOP("Tarnwick", "公钥有误"));
    const std::size_t colon = privateText.find(':');
    if (colon == std::string_view::npos)
        throw Damaged(path, QT_TRANSLATE_NOOP("Tarnwick", "私钥有误"));
    const std::string_view scheme = privateText.substr(0, colon);
    const std::string_view hex = privateText.substr(colon + 1);
    const auto stored = FromHex(hex, hex.size() / 2);
    if (!stored || stored->empty())
        throw Damaged(path, QT_TRANSLATE_NOOP("Tarnwick", "私钥有误"));
    const std::string storedBytes(stored->begin(), stored->end());
    // An exported key is kept unprotected on every system.
    const std::optional<std::string> secret =
        scheme == "none" ? std::optional<std::string>(storedBytes) : UnprotectSecret(scheme, storedBytes);
    if (!secret)
        throw Damaged(path, QT_TRANSLATE_NOOP("Tarnwick", "私钥是为其他用户或其他计算机加密的，无法解密"));
    if (secret->size() != pair.privateKey.size())
        throw Damaged(path, QT_TRANSLATE_NOOP("Tarnwick", "私钥有误"));
    std::copy(secret->begin(), secret->end(), reinterpret_cast<char*>(pair.privateKey.data()));
    if (!crypto::IsValidKeyPair(pair))
        throw Damaged(path, QT_TRANSLATE_NOOP("Tarnwick", "私钥与公钥不成对"));
    return pair;
}

void MakeFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw CannotCreateFile(folder, error.message(), KindOfErrorCode(error));
    // Only its owner need look inside.
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
}

} // namespace

Message LauncherTrustText(const std::optional<SigningKeys>& keys)
{
    if (!keys)
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "这个登录器没有签名公钥，会接受网络上传来的任何服务器列表。"
                                                      "创建签名密钥后，服务器列表和登录器都会签名。"));
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "这个登录器只接受用密钥 %1（或备用密钥 %2）签名的服务器列表。"))
        .Arg(KeyIdOf(keys->signing.publicKey))
        .Arg(KeyIdOf(keys->backup.publicKey));
}

std::array<crypto::PublicKey, 2> TrustedPublicKeys(const SigningKeys& keys)
{
    return {keys.signing.publicKey, keys.backup.publicKey};
}

std::string KeyFileText(const SigningKeys& keys, bool protect)
{
    return std::string(kKeyFileFirstLine) + "\nsigning-public: " + ToHex(keys.signing.publicKey) +
           "\nsigning-private: " + PrivateText(keys.signing.privateKey, protect) +
           "\nbackup-public: " + ToHex(keys.backup.publicKey) +
           "\nbackup-private: " + PrivateText(keys.backup.privateKey, protect) + "\n";
}

SigningKeys ParseKeyFile(std::string_view text, const std::filesystem::path& shownPath)
{
    constexpr std::string_view kNames[] = {"signing-public", "signing-private", "backup-public", "backup-private"};
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (lines.empty() || lines[0] != kKeyFileFirstLine)
        throw Damaged(shownPath, QT_TRANSLATE_NOOP("Tarnwick", "这不是 Tarnwick 的密钥文件"));
    if (lines.size() != 1 + std::size(kNames))
        throw Damaged(shownPath, QT_TRANSLATE_NOOP("Tarnwick", "行数不对"));
    std::string_view values[std::size(kNames)];
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        const std::string prefix = std::string(kNames[i]) + ": ";
        if (lines[i + 1].substr(0, prefix.size()) != prefix)
            throw Damaged(shownPath, QT_TRANSLATE_NOOP("Tarnwick", "缺少某个密钥"));
        values[i] = lines[i + 1].substr(prefix.size());
    }
    SigningKeys keys{PairFrom(values[0], values[1], shownPath), PairFrom(values[2], values[3], shownPath)};
    if (keys.signing.publicKey == keys.backup.publicKey)
        throw Damaged(shownPath, QT_TRANSLATE_NOOP("Tarnwick", "签名密钥与备用密钥相同"));
    return keys;
}

KeyStore::KeyStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

bool KeyStore::Exists() const
{
    std::error_code error;
    return std::filesystem::exists(KeyFile(), error);
}

std::optional<SigningKeys> KeyStore::Load() const
{
    if (!Exists())
        return std::nullopt;
    return ParseKeyFile(ReadFile(KeyFile(), kKeyFileLimit), KeyFile());
}

void KeyStore::Write(const SigningKeys& keys, bool replace) const
{
    MakeFolder(folder_);
    const std::string text = KeyFileText(keys, true);
    if (replace)
        ReplaceFile(KeyFile(), text, Durability::Flushed, Readers::OwnerOnly);
    else
        CreateNewFile(KeyFile(), text, Readers::OwnerOnly);
}

bool KeyStore::Create()
{
    if (Exists())
        return false;
    SigningKeys keys{crypto::GenerateKeyPair(), crypto::GenerateKeyPair()};
    MakeFolder(folder_);
    // Made only where no key file is: a key that appeared meanwhile stays.
    return CreateNewFile(KeyFile(), KeyFileText(keys, true), Readers::OwnerOnly);
}

void KeyStore::Rotate()
{
    const std::optional<SigningKeys> keys = Load();
    if (!keys)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "还没有签名密钥：“%1”不存在。")).Arg(PathText(KeyFile())),
                    ErrorKind::NotFound);
    Write({keys->backup, crypto::GenerateKeyPair()}, true);
}

bool KeyStore::Export(const std::filesystem::path& file) const
{
    const std::optional<SigningKeys> keys = Load();
    if (!keys)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "还没有签名密钥：“%1”不存在。")).Arg(PathText(KeyFile())),
                    ErrorKind::NotFound);
    return CreateNewFile(file, KeyFileText(*keys, false), Readers::OwnerOnly);
}

ImportOutcome KeyStore::Import(const std::filesystem::path& file)
{
    const SigningKeys imported = ParseKeyFile(ReadFile(file, kKeyFileLimit), file);
    if (const std::optional<SigningKeys> here = Load()) {
        const bool same = here->signing.publicKey == imported.signing.publicKey &&
                          here->backup.publicKey == imported.backup.publicKey;
        return same ? ImportOutcome::AlreadyHere : ImportOutcome::OtherKeyHere;
    }
    MakeFolder(folder_);
    if (!CreateNewFile(KeyFile(), KeyFileText(imported, true), Readers::OwnerOnly))
        return ImportOutcome::OtherKeyHere;
    return ImportOutcome::Imported;
}

std::uint64_t KeyStore::NextSerial(std::int64_t now) const
{
    MakeFolder(folder_);
    FileLock::Attempt attempt =
        FileLock::Acquire(folder_ / "signing.lock", ProcessDescription("tarnwick"), kSerialLockWait);
    if (!attempt.lock)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "签名序号正被另一个程序使用：%1")).Inner(HolderMessage(attempt.holder)),
                    ErrorKind::InUse);
    std::uint64_t last = 0;
    std::error_code error;
    if (std::filesystem::exists(SerialFile(), error)) {
        const auto stored = WholeNumber(Trimmed(ReadFile(SerialFile(), kSerialLimit)));
        if (!stored)
            throw Damaged(SerialFile(), QT_TRANSLATE_NOOP("Tarnwick", "序号文件已损坏"));
        last = *stored;
    }
    const std::uint64_t next = std::max<std::uint64_t>(last + 1, now > 0 ? static_cast<std::uint64_t>(now) : 0);
    ReplaceFile(SerialFile(), std::to_string(next) + "\n", Durability::Flushed, Readers::OwnerOnly);
    return next;
}

std::string KeyStore::SignList(const SigningKeys& keys, std::string_view list, std::int64_t now)
{
    const std::uint64_t serial = NextSerial(now);
    return SignatureFileText(sign::SignList(list, keys.signing, serial, SignatureTime(now)));
}

} // namespace tarnwick::sign
