#pragma once

#include "base/message.h"
#include "publish/destination.h"
#include "publish/site_plan.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::publish {

struct PublishProgress {
    std::uint64_t sent = 0;  // bytes of all files
    std::uint64_t total = 0;
    double bytesPerSecond = 0;
    std::optional<double> secondsLeft;
    std::string file;        // the one going up now
    std::size_t fileNumber = 0; // from 1
    std::size_t fileCount = 0;
};
// Told as bytes go up; false cancels.
using PublishReport = std::function<bool(const PublishProgress&)>;

struct PublishedFile {
    std::string path;
    FileRole role = FileRole::Update;
    std::uint64_t size = 0;
    bool sent = false; // false: the destination already held it
    ReplaceWay way = ReplaceWay::Atomic;
};

struct PublishResult {
    std::vector<PublishedFile> files; // in the order they were put in place
    std::uint64_t bytesSent = 0;
    // Why the publish stopped; the site is then as players saw it, unless
    // the failure came while files were being put in place (partlyPlaced).
    std::optional<Message> failure;
    std::optional<TransferFailure> failureKind;
    bool partlyPlaced = false;
    std::vector<Message> notes;
    bool Succeeded() const { return !failure; }
};

// "1.5 MiB", "640 B": sizes in progress and reports.
std::string SizeText(std::uint64_t bytes);
// "1:05", "2:00:03": time left.
std::string DurationText(double seconds);

// The temporary name a file goes up under, beside its place: the same on
// every publish, so that what a failed one left is written over.
std::string TemporaryPath(const std::string& path);

// Uploads a plan's files that the destination does not hold yet, each under
// its temporary name, and only when all are up puts them in place, in the
// plan's order; then records them in the destination's manifest.
class Publisher {
public:
    // full: send every file, whatever the manifest says.
    Publisher(Destination& destination, bool full) : destination_(destination), full_(full) {}

    PublishResult Run(const SitePlan& plan, const PublishReport& report);

private:
    Destination& destination_;
    bool full_;
};

} // namespace tarnwick::publish
