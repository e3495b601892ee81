#pragma once

#include "config/notice.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// The launcher image that the programs carry (resource LoginData of type Data).
std::span<const std::byte> CarriedLauncherImage();

// Writes a branded launcher into a folder: the steps of the generate button.
class LauncherBuilder {
public:
    LauncherBuilder(std::span<const std::byte> image, std::filesystem::path folder);

    // gameNameEdit and serverListEdit are the two fields' GBK texts as they stand.
    // Reports every outcome through the notifier; raises Error for the failures
    // that the general failure report shows.
    void GenerateLoginButtonClick(std::string_view gameNameEdit, std::string_view serverListEdit,
                                  Notifier& notifier) const;

private:
    std::span<const std::byte> image_;
    std::filesystem::path folder_;
};

} // namespace tarnwick
