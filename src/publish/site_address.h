#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The addresses a publish works with: where players fetch the list and the
// update files, and where the operator's files are uploaded to.
namespace tarnwick::publish {

// An address taken apart (by libcurl's parser, which launchers' HTTP
// libraries agree with on what matters here). Texts are ASCII or UTF-8.
struct WebAddress {
    std::string scheme; // lower case
    std::string user;   // empty for none
    bool hasPassword = false;
    std::string host;   // lower case
    int port = 0;       // the scheme's default when none is written
    std::string path;   // percent-decoded, from "/"
    bool hasQuery = false;
};

// None for text that is no absolute address.
std::optional<WebAddress> ParseAddress(std::string_view text);

// Where players fetch the list from: the folder that holds it, which is the
// published site's root, and the list's file name in it.
struct ListLocation {
    WebAddress folder; // path ends with "/"
    std::string fileName;
};
// None unless the address is http(s) with a host and ends in a file name.
std::optional<ListLocation> LocateList(std::string_view listUrl);

// The path below the site's root that players fetch at `url`, when the
// address is on the site: the same scheme, host and port, a path below the
// list's folder, no query, and every segment a plain name (no "." or "..",
// no control characters, no backslash or colon, which would leave the folder
// on some systems). None for an address elsewhere.
std::optional<std::string> SitePath(const ListLocation& list, std::string_view url);

// Whether a relative '/'-separated path is one SitePath could give.
bool IsPlainRelativePath(std::string_view path);

// The local file of a path below a folder (segments as UTF-8).
std::filesystem::path PathBelow(const std::filesystem::path& folder, std::string_view relativePath);

// The address of a path below the folder, percent-encoded.
std::string AddressBelow(const WebAddress& folder, std::string_view relativePath);

// scheme://host:port, the keyring's and known_hosts' name of a server.
std::string ServerName(const WebAddress& address);

} // namespace tarnwick::publish
