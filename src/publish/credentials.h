#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::publish {

// The password for scripts: in the environment, never on a command line.
inline constexpr const char* kPasswordVariable = "TARNWICK_PUBLISH_PASSWORD";

// The user's home folder ($HOME, else %USERPROFILE%); none when neither is set.
std::optional<std::filesystem::path> HomeFolder();

// ~/.netrc (on Windows also ~/_netrc), as curl finds it; none when there is none.
std::optional<std::filesystem::path> NetrcFile();

// OpenSSH's known_hosts of the user.
std::filesystem::path UserKnownHostsFile();

struct NetrcLogin {
    std::string login;
    std::string password;
};

// The login for the host in a .netrc text (curl's convention: the first
// "machine" entry for the host, with the user when one is given, else
// "default"). Quoted tokens are not part of the format and are taken as
// written.
std::optional<NetrcLogin> FindNetrcLogin(std::string_view netrc, std::string_view host, std::string_view user);

} // namespace tarnwick::publish
