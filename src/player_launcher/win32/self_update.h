#pragma once

#include "player_launcher/core/self_update.h"
#include "player_launcher/core/updater.h"

#include <atomic>
#include <string>
#include <vector>

namespace tarnwick::player {

// Starts the new launcher from its download with the old one's process,
// path and arguments, and waits until it says that it runs.
class ProcessHandOff : public LauncherHandOff {
public:
    explicit ProcessHandOff(std::vector<std::u16string> arguments) : arguments_(std::move(arguments)) {}
    std::string Start(const std::filesystem::path& image) override;

private:
    std::vector<std::u16string> arguments_;
};

// The machine this launcher was built for.
std::uint16_t OwnMachine();

// The new launcher's part: says that it runs, waits for the old launcher to
// end, moves itself over the old file, and starts the window again when the
// old one was a window. The process's exit status.
int FinishReplacement(const Replacement& replacement);

// The arguments this launcher was started with (without the program).
std::vector<std::u16string> OwnArguments();

// The update list run as the window and "/update" both run it: the updater
// over WinINet with resuming downloads, the launcher's own file replaced by
// hand-off to a new launcher started with this one's arguments.
struct UpdateRun {
    std::vector<EntryReport> reports;
    bool handedOff = false; // the new launcher waits for this one to end
};
UpdateRun RunUpdates(const std::vector<UpdateItem>& entries, Pinning pinning, const UpdateProgress& progress = {},
                     const std::atomic<bool>* cancelled = nullptr);

} // namespace tarnwick::player
