#pragma once

#include "player_launcher/core/list_fetch.h"
#include "player_launcher/core/stamped_strings.h"

#include <filesystem>
#include <string>

// What the launcher knows of itself: the strings stamped into its version
// resource and the folder it was started from.
namespace tarnwick::player {

// An absent slot (an image from elsewhere) reads as empty.
StampedStrings ReadOwnStrings();

// The public keys stamped into the image's own room for them.
ListTrustKeys ReadOwnTrustKeys();

// The launcher's own file and its folder (without a trailing separator).
std::wstring OwnPath();
std::wstring OwnFolder();

// The small file beside the launcher that holds the last chosen server:
// "<launcher name>.lastserver", so that launchers of two games in one folder
// do not share it.
std::filesystem::path LastServerFile();
// What the updater installed: "<launcher name>.updates", beside it likewise.
std::filesystem::path UpdateStateFile();
// The serial of the newest signed list it took: "<launcher name>.trust".
std::filesystem::path TrustStateFile();
// The last list it took, with its signature file and what the server said of
// them, for asking the server only for a changed list and for showing when
// the network fails: "<launcher name>.serverinfo".
std::filesystem::path KeptListFile();
// Both, as the list's fetch takes them.
ListState OwnListState();

} // namespace tarnwick::player
