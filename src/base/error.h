#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tarnwick {

// The one error type of the system. The message is GBK text, like all core text;
// front ends convert it to UTF-8 when they show it.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's description of an error number, as GBK text.
std::string SystemErrorText(int errorNumber);

// "Cannot open file "%s". %s", "Cannot create file "%s". %s" and
// "Cannot read file "%s". %s", with the path as GBK text.
Error CannotOpenFile(const std::filesystem::path& path, int errorNumber);
Error CannotOpenFile(const std::filesystem::path& path, const std::string& reason);
Error CannotCreateFile(const std::filesystem::path& path, const std::string& reason);
Error CannotReadFile(const std::filesystem::path& path, const std::string& reason);

} // namespace tarnwick
