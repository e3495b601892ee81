#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct _LIBSSH2_SESSION;
struct _LIBSSH2_KNOWNHOSTS;

// The operator's known_hosts file (OpenSSH's format, hashed names included),
// read through libssh2's known-host functions. Tarnwick adds the keys the
// operator accepts and replaces a changed one only when told so; every other
// line is kept as it was, comments, markers and keys libssh2 cannot read
// included.
namespace tarnwick::publish {

// A server's host key: the blob the server sent, and libssh2's type of it
// (LIBSSH2_HOSTKEY_TYPE_...).
struct HostKey {
    std::string blob;
    int type = 0;
};

// "SHA256:" and the unpadded base64 of the blob's SHA-256, as OpenSSH shows it.
std::string HostKeyFingerprint(std::string_view blob);
// The key's algorithm name ("ssh-ed25519", ...); empty for a type that
// known_hosts has no name for here.
std::string HostKeyTypeName(int type);
// The host as known_hosts names it: "host", or "[host]:port" off port 22.
std::string KnownHostName(std::string_view host, int port);

class KnownHostsFile {
public:
    enum class Match { Known, Unknown, Changed, Revoked };

    // Reads the file; a missing one is empty. Raises Error when it cannot be read.
    KnownHostsFile(_LIBSSH2_SESSION* session, std::filesystem::path file);
    ~KnownHostsFile();
    KnownHostsFile(const KnownHostsFile&) = delete;
    KnownHostsFile& operator=(const KnownHostsFile&) = delete;

    const std::filesystem::path& Path() const { return file_; }
    // Changed: the host is known with another key of the same type.
    Match Check(const std::string& name, const HostKey& key) const;
    // The algorithm names of the keys remembered for the host, so that the
    // handshake asks for one of those first.
    std::vector<std::string> KnownTypes(const std::string& name) const;
    // Remembers the key: appended to the file, which is made (mode 0600, its
    // folder 0700) when missing. Raises Error.
    void Add(const std::string& name, const HostKey& key);
    // Remembers the key in place of the host's old key of its type. Raises Error.
    void Replace(const std::string& name, const HostKey& key);

private:
    Match CheckLine(const std::string& line, const std::string& name, const HostKey& key) const;

    _LIBSSH2_SESSION* session_;
    std::filesystem::path file_;
    std::string text_;
    _LIBSSH2_KNOWNHOSTS* hosts_;
};

} // namespace tarnwick::publish
