#include "publish/ssh_known_hosts.h"

#include "base/crypto.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"

#include <libssh2.h>

namespace tarnwick::publish {
namespace {

// Far more than any operator's file; a larger one is no known_hosts file.
constexpr SizeLimit kFileLimit{4 * 1024 * 1024, QT_TRANSLATE_NOOP("Tarnwick", "known_hosts 文件最多可有 4 MB")};

std::string Base64(std::string_view bytes, bool padded)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t group = (std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                                    (std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                                    std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += kDigits[(group >> 6) & 63];
        out += kDigits[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
        if (rest == 2)
            group |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        if (rest == 2)
            out += kDigits[(group >> 6) & 63];
        if (padded)
            out.append(rest == 1 ? 2 : 1, '=');
    }
    return out;
}

int KnownHostKeyBit(int type)
{
    switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA: return LIBSSH2_KNOWNHOST_KEY_SSHRSA;
    case LIBSSH2_HOSTKEY_TYPE_DSS: return LIBSSH2_KNOWNHOST_KEY_SSHDSS;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256: return LIBSSH2_KNOWNHOST_KEY_ECDSA_256;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384: return LIBSSH2_KNOWNHOST_KEY_ECDSA_384;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521: return LIBSSH2_KNOWNHOST_KEY_ECDSA_521;
    case LIBSSH2_HOSTKEY_TYPE_ED25519: return LIBSSH2_KNOWNHOST_KEY_ED25519;
    default: return LIBSSH2_KNOWNHOST_KEY_UNKNOWN;
    }
}

constexpr int kHostKeyTypes[] = {LIBSSH2_HOSTKEY_TYPE_ED25519, LIBSSH2_HOSTKEY_TYPE_ECDSA_256, LIBSSH2_HOSTKEY_TYPE_ECDSA_384,
                                 LIBSSH2_HOSTKEY_TYPE_ECDSA_521, LIBSSH2_HOSTKEY_TYPE_RSA};

// The whitespace-separated fields of a line.
std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

bool IsMarkerOrComment(std::string_view line)
{
    const std::string_view trimmed = Trimmed(line);
    return trimmed.empty() || trimmed.front() == '#' || trimmed.front() == '@';
}

LIBSSH2_KNOWNHOSTS* NewHosts(LIBSSH2_SESSION* session)
{
    LIBSSH2_KNOWNHOSTS* hosts = libssh2_knownhost_init(session);
    if (hosts == nullptr)
        throw std::bad_alloc();
    return hosts;
}

// Adds a line's entries; lines that libssh2 cannot read count as none.
void ReadLine(LIBSSH2_KNOWNHOSTS* hosts, std::string_view line)
{
    if (IsMarkerOrComment(line))
        return;
    const std::string copy(line);
    libssh2_knownhost_readline(hosts, copy.c_str(), copy.size(), LIBSSH2_KNOWNHOST_FILE_OPENSSH);
}

int CheckIn(LIBSSH2_KNOWNHOSTS* hosts, const std::string& name, const std::string& blob, int keyBit)
{
    // Port -1: the name already carries it, as OpenSSH writes it, so that a
    // key known for port 22 is not taken for another port's.
    return libssh2_knownhost_checkp(hosts, name.c_str(), -1, blob.data(), blob.size(),
                                    LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | keyBit, nullptr);
}

void MakeFolder(const std::filesystem::path& folder)
{
    if (folder.empty())
        return;
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return;
    MakeFolder(folder.parent_path());
    if (!std::filesystem::create_directory(folder, error) && error)
        throw CannotCreateFile(folder, error.message(), KindOfErrorCode(error));
    // What the operator's SSH folder usually is: the keys in it are private.
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
}

} // namespace

std::string HostKeyFingerprint(std::string_view blob)
{
    const crypto::Sha256Digest digest = crypto::Sha256(blob);
    return "SHA256:" + Base64(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()), false);
}

std::string HostKeyTypeName(int type)
{
    switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA: return "ssh-rsa";
    case LIBSSH2_HOSTKEY_TYPE_DSS: return "ssh-dss";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256: return "ecdsa-sha2-nistp256";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384: return "ecdsa-sha2-nistp384";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521: return "ecdsa-sha2-nistp521";
    case LIBSSH2_HOSTKEY_TYPE_ED25519: return "ssh-ed25519";
    default: return {};
    }
}

std::string KnownHostName(std::string_view host, int port)
{
    std::string name;
    for (const char c : host)
        name += AsciiLower(c);
    return port == 22 ? name : "[" + name + "]:" + std::to_string(port);
}

KnownHostsFile::KnownHostsFile(LIBSSH2_SESSION* session, std::filesystem::path file)
    : session_(session), file_(std::move(file)), hosts_(NewHosts(session))
{
    try {
        text_ = ReadFile(file_, kFileLimit);
    } catch (const Error& error) {
        if (error.Kind() != ErrorKind::NotFound) {
            libssh2_knownhost_free(hosts_);
            throw;
        }
    }
    ForEachLine(text_, [&](std::string_view line) {
        ReadLine(hosts_, line);
        return true;
    });
}

KnownHostsFile::~KnownHostsFile() { libssh2_knownhost_free(hosts_); }

KnownHostsFile::Match KnownHostsFile::Check(const std::string& name, const HostKey& key) const
{
    // A revoked key is refused for every host, whatever its host patterns say.
    const std::string encoded = Base64(key.blob, true);
    bool revoked = false;
    ForEachLine(text_, [&](std::string_view line) {
        const std::vector<std::string_view> fields = Fields(line);
        revoked = fields.size() >= 4 && fields[0] == "@revoked" && fields[3] == encoded;
        return !revoked;
    });
    if (revoked)
        return Match::Revoked;
    switch (CheckIn(hosts_, name, key.blob, KnownHostKeyBit(key.type))) {
    case LIBSSH2_KNOWNHOST_CHECK_MATCH: return Match::Known;
    case LIBSSH2_KNOWNHOST_CHECK_MISMATCH: return Match::Changed;
    default: return Match::Unknown;
    }
}

std::vector<std::string> KnownHostsFile::KnownTypes(const std::string& name) const
{
    // No key of ours is remembered for the host: a mismatch means that one of
    // the type is.
    static const std::string kNoKey(32, '\0');
    std::vector<std::string> types;
    for (const int type : kHostKeyTypes)
        if (CheckIn(hosts_, name, kNoKey, KnownHostKeyBit(type)) == LIBSSH2_KNOWNHOST_CHECK_MISMATCH)
            types.push_back(HostKeyTypeName(type));
    return types;
}

void KnownHostsFile::Add(const std::string& name, const HostKey& key)
{
    const std::string line = name + " " + HostKeyTypeName(key.type) + " " + Base64(key.blob, true) + "\n";
    MakeFolder(file_.parent_path());
    if (text_.empty() && CreateNewFile(file_, line, Readers::OwnerOnly)) {
        text_ = line;
    } else {
        const std::string separator = !text_.empty() && text_.back() != '\n' ? "\n" : "";
        GrowingFile file(file_);
        file.Append(separator + line);
        file.Flush();
        text_ += separator + line;
    }
    ReadLine(hosts_, line);
}

KnownHostsFile::Match KnownHostsFile::CheckLine(const std::string& line, const std::string& name, const HostKey& key) const
{
    LIBSSH2_KNOWNHOSTS* one = NewHosts(session_);
    ReadLine(one, line);
    const int result = CheckIn(one, name, key.blob, KnownHostKeyBit(key.type));
    libssh2_knownhost_free(one);
    return result == LIBSSH2_KNOWNHOST_CHECK_MISMATCH ? Match::Changed : Match::Unknown;
}

void KnownHostsFile::Replace(const std::string& name, const HostKey& key)
{
    std::string kept;
    ForEachLine(text_, [&](std::string_view line) {
        const std::string whole(line);
        if (IsMarkerOrComment(line) || CheckLine(whole, name, key) != Match::Changed) {
            kept += whole + "\n";
            return true;
        }
        // A line that names other hosts too keeps them.
        const std::vector<std::string_view> fields = Fields(line);
        std::string others;
        std::string_view names = fields.front();
        while (!names.empty()) {
            const std::size_t comma = std::min(names.find(','), names.size());
            const std::string_view one = names.substr(0, comma);
            if (!EqualsIgnoringAsciiCase(one, name))
                others += (others.empty() ? "" : ",") + std::string(one);
            names.remove_prefix(std::min(comma + 1, names.size()));
        }
        if (!others.empty() && others.size() < fields.front().size()) {
            const std::size_t rest = static_cast<std::size_t>(fields.front().data() - line.data()) + fields.front().size();
            kept += others + std::string(line.substr(rest)) + "\n";
        }
        return true;
    });
    kept += name + " " + HostKeyTypeName(key.type) + " " + Base64(key.blob, true) + "\n";
    MakeFolder(file_.parent_path());
    PendingFile replacement(file_, Readers::OwnerOnly);
    replacement.Write(kept);
    replacement.Commit(Durability::Flushed);
    text_ = std::move(kept);
    libssh2_knownhost_free(hosts_);
    hosts_ = NewHosts(session_);
    ForEachLine(text_, [&](std::string_view line) {
        ReadLine(hosts_, line);
        return true;
    });
}

} // namespace tarnwick::publish
