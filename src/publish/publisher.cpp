#include "publish/publisher.h"

#include "base/translatable.h"
#include "publish/manifest.h"
#include "publish/shown_text.h"

#include <cstdio>

namespace tarnwick::publish {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes, rate and time left over the whole upload.
class ProgressMeter {
public:
    ProgressMeter(const PublishReport& report, std::uint64_t total, std::size_t count)
        : report_(report), start_(Clock::now())
    {
        progress_.total = total;
        progress_.fileCount = count;
    }

    void StartFile(const std::string& path)
    {
        progress_.file = path;
        ++progress_.fileNumber;
        done_ = progress_.sent;
    }

    bool Sent(std::uint64_t ofFile)
    {
        progress_.sent = done_ + ofFile;
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        if (seconds > 0.2) {
            progress_.bytesPerSecond = static_cast<double>(progress_.sent) / seconds;
            if (progress_.bytesPerSecond > 0)
                progress_.secondsLeft = static_cast<double>(progress_.total - std::min(progress_.total, progress_.sent)) /
                                        progress_.bytesPerSecond;
        }
        return !report_ || report_(progress_);
    }

private:
    const PublishReport& report_;
    Clock::time_point start_;
    PublishProgress progress_;
    std::uint64_t done_ = 0;
};

void Fail(PublishResult& result, const TransferError& error)
{
    result.failure = error.Text();
    result.failureKind = error.Failure();
}

} // namespace

std::string SizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes >= 1024ull * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.2f GiB", static_cast<double>(bytes) / (1024.0 * 1024 * 1024));
    else if (bytes >= 1024ull * 1024)
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    return text;
}

std::string DurationText(double seconds)
{
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string TemporaryPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart) + ".tarnwick-upload";
}

PublishResult Publisher::Run(const SitePlan& plan, const PublishReport& report)
{
    PublishResult result;
    Manifest manifest;
    try {
        destination_.Open();
        if (!full_) {
            const std::optional<std::string> text = destination_.Read(kManifestName, kMaxManifestBytes);
            if (text) {
                if (std::optional<Manifest> parsed = ParseManifest(*text))
                    manifest = std::move(*parsed);
                else
                    result.notes.push_back(Message(QT_TRANSLATE_NOOP("Tarnwick", "目标上的发布记录 %1 无法使用：所有文件都重新上传"))
                                               .Arg(kManifestName));
            }
        }
    } catch (const TransferError& error) {
        Fail(result, error);
        return result;
    }

    std::vector<const SiteFile*> toSend;
    std::uint64_t total = 0;
    for (const SiteFile& file : plan.files) {
        const auto known = manifest.find(file.path);
        if (full_ || known == manifest.end() || known->second != ManifestEntry{file.size, file.md5}) {
            toSend.push_back(&file);
            total += file.size;
        }
    }

    // Everything goes up under temporary names first: the long part, where
    // a failure leaves the site as players saw it.
    ProgressMeter meter(report, total, toSend.size());
    std::vector<std::string> staged;
    try {
        for (const SiteFile* file : toSend) {
            meter.StartFile(file->path);
            const std::string temporary = TemporaryPath(file->path);
            staged.push_back(temporary);
            destination_.Write(file->local, temporary, [&](std::uint64_t sent) { return meter.Sent(sent); });
            meter.Sent(file->size);
            result.bytesSent += file->size;
        }
    } catch (const TransferError& error) {
        Fail(result, error);
        for (const std::string& temporary : staged) {
            try {
                destination_.Remove(temporary);
            } catch (const TransferError&) {
                result.notes.push_back(Message(QT_TRANSLATE_NOOP("Tarnwick", "临时文件 %1 未能删除；下次发布时会被覆盖"))
                                           .Arg(Shown(temporary)));
            }
        }
        return result;
    }

    // Then each is put in place in the plan's order, with one rename each.
    Manifest placed = manifest;
    for (const SiteFile& file : plan.files) {
        const bool send = std::find(toSend.begin(), toSend.end(), &file) != toSend.end();
        PublishedFile published{file.path, file.role, file.size, send, ReplaceWay::Atomic};
        if (send) {
            try {
                published.way = destination_.Replace(TemporaryPath(file.path), file.path);
            } catch (const TransferError& error) {
                Fail(result, error);
                result.partlyPlaced = !result.files.empty() &&
                                      std::any_of(result.files.begin(), result.files.end(),
                                                  [](const PublishedFile& f) { return f.sent; });
                break;
            }
            if (published.way == ReplaceWay::DeleteThenRename)
                result.notes.push_back(Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器不允许改名覆盖已有文件：%1 是先删除旧文件再改名的，"
                                                                             "其间短暂缺失"))
                                           .Arg(Shown(file.path)));
        }
        placed[file.path] = {file.size, file.md5};
        result.files.push_back(std::move(published));
    }

    // The manifest only speeds up the next publish; failing to write it
    // changes nothing players see.
    if (result.bytesSent > 0 || placed != manifest) {
        try {
            const std::string temporary = TemporaryPath(kManifestName);
            destination_.WriteBytes(ManifestText(placed), temporary);
            destination_.Replace(temporary, kManifestName);
        } catch (const TransferError& error) {
            result.notes.push_back(Message(QT_TRANSLATE_NOOP("Tarnwick", "发布记录未能写入（%1）：下次发布会重新上传这些文件"))
                                       .Inner(error.Text()));
        }
    }
    return result;
}

} // namespace tarnwick::publish
