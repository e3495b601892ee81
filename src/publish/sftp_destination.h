#pragma once

#include "publish/destination.h"
#include "publish/ssh_session.h"

#include <memory>
#include <string>

namespace tarnwick::publish {

struct SftpAddress {
    std::string host;
    int port = 22;
    // Absolute, or relative to the login folder ("" is the login folder);
    // '/'-separated, UTF-8.
    std::string rootPath;
};

// An SFTP server reached through libssh2. Each file is written under the
// name it is given and renamed over its target with OpenSSH's rename that
// replaces (a server without it has the target removed first). The host key
// is checked against trust.knownHosts before anything is sent; a connection
// that broke, or that a cancelled transfer left half way, is made again by
// the next call.
std::unique_ptr<Destination> MakeSftpDestination(const SftpAddress& address, const Credentials& credentials,
                                                 const TrustSettings& trust);
std::unique_ptr<Destination> MakeSftpDestination(const SftpAddress& address, const Credentials& credentials,
                                                 const TrustSettings& trust, const SshTimeouts& timeouts);

} // namespace tarnwick::publish
