#pragma once

#include "base/message.h"
#include "publish/site_address.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::publish {

// A working folder remembers where it was last published, in this file
// beside Tarnwick.xml; never with a password.
inline constexpr const char* kPublishSettingsFileName = "Tarnwick.publish.json";

// The choices of a publish. Texts are UTF-8, as typed on a command line or
// in the window.
struct PublishSettings {
    std::string destination; // sftp://, ftp://, ftps://, http(s):// (WebDAV), or a folder
    std::string listUrl;     // where players fetch ServerInfo.txt
    std::string site;        // the operator's copy of the web site; empty for none
    bool explicitTls = false; // ftp:// with AUTH TLS
    std::string keyFile;     // SFTP: a private key file; empty for the agent and the usual keys
    bool operator==(const PublishSettings&) const = default;
};

enum class DestinationKind { Folder, Sftp, Ftp, WebDav };

struct DestinationAddress {
    DestinationKind kind = DestinationKind::Folder;
    std::filesystem::path folder; // Folder
    WebAddress address;           // the others; path is the root folder, ending with "/"
    bool tls = false;             // ftps:// (implicit), explicit TLS, or https://
};

// What the destination text names; Error for an unknown scheme, an address
// with a password in it (never on a command line or in a file), or nothing.
DestinationAddress ParseDestination(const std::string& text, bool explicitTls);

// The file's text, and the settings in a text (Error for a text that is no
// settings file of ours).
std::string PublishSettingsText(const PublishSettings& settings);
PublishSettings ParsePublishSettings(const std::string& text);

// Reads the folder's remembered choices: none before the first publish.
// Raises Error for a file that cannot be read or used, naming it.
std::optional<PublishSettings> ReadPublishSettings(const std::filesystem::path& file);
// Writes them atomically when they differ from the file's. Raises Error.
void RememberPublishSettings(const std::filesystem::path& file, const PublishSettings& settings);

} // namespace tarnwick::publish
