#include "publish/credentials.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"

#include <cstdlib>
#include <vector>

namespace tarnwick::publish {
namespace {

std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ')
            ++i;
        const std::size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ')
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

} // namespace

std::optional<std::filesystem::path> HomeFolder()
{
    for (const char* name : {"HOME", "USERPROFILE"})
        if (const char* value = std::getenv(name); value && *value)
            return Utf8Path(value);
    return std::nullopt;
}

std::optional<std::filesystem::path> NetrcFile()
{
    const std::optional<std::filesystem::path> home = HomeFolder();
    if (!home)
        return std::nullopt;
    for (const char* name : {".netrc", "_netrc"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(*home / name, error))
            return *home / name;
    }
    return std::nullopt;
}

std::filesystem::path UserKnownHostsFile()
{
    return HomeFolder().value_or(std::filesystem::path(".")) / ".ssh" / "known_hosts";
}

std::optional<NetrcLogin> FindNetrcLogin(std::string_view netrc, std::string_view host, std::string_view user)
{
    const std::vector<std::string_view> tokens = Tokens(netrc);
    std::optional<NetrcLogin> fallback;
    for (std::size_t i = 0; i < tokens.size();) {
        const bool isDefault = tokens[i] == "default";
        if (!isDefault && !(tokens[i] == "machine" && i + 1 < tokens.size())) {
            ++i;
            continue;
        }
        const bool matches = isDefault || tokens[i + 1] == host;
        i += isDefault ? 1 : 2;
        NetrcLogin login;
        bool hasPassword = false;
        // A macro definition runs to an empty line; the entry ends at the next machine.
        while (i < tokens.size() && tokens[i] != "machine" && tokens[i] != "default" && tokens[i] != "macdef") {
            if (i + 1 < tokens.size() && tokens[i] == "login")
                login.login = tokens[i + 1];
            else if (i + 1 < tokens.size() && tokens[i] == "password") {
                login.password = tokens[i + 1];
                hasPassword = true;
            }
            i += (tokens[i] == "login" || tokens[i] == "password" || tokens[i] == "account") ? 2 : 1;
        }
        if (!matches || !hasPassword || (!user.empty() && !login.login.empty() && login.login != user))
            continue;
        if (!isDefault)
            return login;
        if (!fallback)
            fallback = login;
    }
    return fallback;
}

} // namespace tarnwick::publish
