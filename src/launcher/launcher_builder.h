#pragma once

#include "base/crypto.h"
#include "base/message.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// The launcher image that the programs carry (resource LoginData of type Data).
std::span<const std::byte> CarriedLauncherImage();

// How a launcher build ended, short of the failures raised as Error.
enum class BuildOutcome {
    Written,      // the launcher is in place (stampings that do not apply are not reported)
    NoGameName,   // the game name is empty once trimmed; nothing written
    NoListUrl,    // the list address is empty once trimmed; nothing written
    OldFileInUse, // an older launcher of that name is held open by a running program; it is left as it was
    NoClientSlot, // a client command was given, but the image has no GameClient slot; nothing written
    ClientTooLong, // the client command does not fit the image's GameClient slot; nothing written
    NoKeySlot,    // keys were given, but the image has no room for them (it cannot check signatures); nothing written
};

// What the operator is told of an outcome, by the window and the command line alike.
Message OutcomeText(BuildOutcome outcome);

// Writes a branded launcher into a folder: the image, stamped with its file
// name, the game name and the list address.
class LauncherBuilder {
public:
    LauncherBuilder(std::span<const std::byte> image, std::filesystem::path folder);

    // gameNameEdit and serverListEdit are the two fields' GBK texts as they
    // stand; clientCommand, when given, the game client's command line (GBK,
    // trimmed) for the GameClient slot, which otherwise keeps its placeholder
    // ("no client configured"). `trustedKeys`, when any, go into the image's
    // own room for them: the launcher then accepts only lists signed by one of
    // them. Raises Error for the failures that the general failure report shows.
    BuildOutcome Build(std::string_view gameNameEdit, std::string_view serverListEdit,
                       std::optional<std::string_view> clientCommand = std::nullopt,
                       std::span<const crypto::PublicKey> trustedKeys = {}) const;

    // The file Build writes for the game name field (the trimmed name and
    // ".exe" in the folder). Raises Error, as Build does, for a name that
    // cannot be a file's.
    std::filesystem::path Target(std::string_view gameNameEdit) const;

private:
    static std::string GameName(std::string_view gameNameEdit);

    std::span<const std::byte> image_;
    std::filesystem::path folder_;
};

} // namespace tarnwick
