#pragma once

#include "publish/destination.h"
#include "publish/publish_settings.h"

#include <memory>

namespace tarnwick::publish {

// FTP, FTPS (implicit with ftps://, explicit with AUTH TLS) and WebDAV over
// http(s)://, through libcurl. FTP paths are below the login folder, as in
// any ftp:// address.
std::unique_ptr<Destination> MakeCurlDestination(const DestinationAddress& address, const Credentials& credentials,
                                                 const TrustSettings& trust);

} // namespace tarnwick::publish
