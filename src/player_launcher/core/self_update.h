#pragma once

#include "player_launcher/core/install_step.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The launcher updating its own file. A running image cannot be replaced, so
// the old launcher starts the new one from its checked download; the new one
// waits for the old to end and then moves itself over the old file in one
// rename. The launcher's path thus always holds a whole launcher, old or new,
// whenever the process is killed.
namespace tarnwick::player {

// The machine types of the images the launcher is built as.
inline constexpr std::uint16_t kMachineI386 = 0x014c;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xaa64;

// How much of a file's start CheckLauncherImage needs at most.
inline constexpr std::size_t kImageHeadBytes = 4096;

// Empty when `head` (the file's first bytes) starts a Windows program with a
// window for `machine`: an executable (not a DLL) with the GUI subsystem and
// the optional header of that machine. Else why not, for the player.
std::string CheckLauncherImage(std::span<const std::byte> head, std::uint16_t machine);

// One argument quoted as CommandLineToArgvW and the C runtime read it back.
std::u16string QuotedArgument(std::u16string_view argument);
// The arguments joined into a command line's tail (a leading space before each).
std::u16string JoinedArguments(const std::vector<std::u16string>& arguments);

// The option that tells a launcher it was started to take the old one's
// place: "/replace-launcher PID EVENT TARGET -- ARGUMENTS...".
inline constexpr char16_t kReplaceOption[] = u"/replace-launcher";

struct Replacement {
    std::uint32_t oldProcess = 0;        // the old launcher's process id
    std::uintptr_t readyEvent = 0;       // the inherited event the new one signals once it runs
    std::u16string target;               // the old launcher's file
    std::vector<std::u16string> arguments; // what the old one was started with
};

// The command line's tail for starting the new launcher; the arguments that
// follow "--" are passed as they came.
std::vector<std::u16string> ReplacementArguments(const Replacement& replacement);
// Absent when `arguments` (without the program) are not a replacement's.
std::optional<Replacement> ParseReplacement(const std::vector<std::u16string>& arguments);

// Whether the arguments start the window (so the new launcher is started
// again with them once in place) rather than a headless mode.
bool StartsWindow(const std::vector<std::u16string>& arguments);

// Starts the new launcher from `image` so that it takes the old one's place
// once the old one ends. The platform's (CreateProcess) in the launcher.
class LauncherHandOff {
public:
    virtual ~LauncherHandOff() = default;
    // Empty once the new launcher runs and has said so; else why not (it was
    // stopped again, and the old launcher stays).
    virtual std::string Start(const std::filesystem::path& image) = 0;
};

// The install step for the launcher's own file: the download must be a
// program for this machine, then it is handed the old launcher's place. Its
// record stays pending until a run finds the new file in place.
class SelfImageInstall : public InstallStep {
public:
    SelfImageInstall(LauncherHandOff& handOff, std::uint16_t machine) : handOff_(handOff), machine_(machine) {}

    InstallResult Install(const std::filesystem::path& download, const std::filesystem::path& target,
                          const std::atomic<bool>* cancelled) override;

    // Whether Install handed off: the old launcher should end soon.
    bool HandedOff() const { return handedOff_; }

private:
    LauncherHandOff& handOff_;
    std::uint16_t machine_;
    bool handedOff_ = false;
};

} // namespace tarnwick::player
