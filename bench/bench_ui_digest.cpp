// bench_ui_digest [MiB]: hashing a file (1 GiB by default, in the page cache)
// through the update dialog, whose progress callback moves the progress bar and
// lets pending events run after every 16 KiB chunk, against FileDigest alone.
#include "digest/md5.h"
#include "ui/form_edit_up_data.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

class Silent : public tarnwick::Notifier {
public:
    bool Notice(tarnwick::NoticeKind, const std::string&, const tarnwick::Message& message) override
    {
        std::fprintf(stderr, "notice: %s\n", message.Chinese().c_str());
        return true;
    }
};

double MedianSeconds(const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

} // namespace

int main(int argc, char** argv)
{
    const long long mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("big.bin"));
    {
        std::ofstream out(file.toStdString(), std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 2654435761u >> 24);
        for (long long i = 0; i < mebibytes; ++i)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    Silent notifier;
    tarnwick::ui::TFormEditUpData dialog(notifier);
    dialog.show();

    tarnwick::Digest digest{};
    tarnwick::FileDigest(file.toStdString(), digest); // into the page cache
    const double plain = MedianSeconds([&] { tarnwick::FileDigest(file.toStdString(), digest); });
    const double viaDialog = MedianSeconds([&] { dialog.CalculateDigest(file); });
    const double megabytes = static_cast<double>(mebibytes) * 1048576.0 / 1e6;
    std::printf("file: %lld MiB, median of 3 runs\n", mebibytes);
    std::printf("FileDigest without callback: %.3f s (%.0f MB/s)\n", plain, megabytes / plain);
    std::printf("update dialog (pb1 + processEvents per chunk): %.3f s (%.0f MB/s)\n", viaDialog, megabytes / viaDialog);
    std::printf("ratio: %.3f (target <= 1.2)\n", viaDialog / plain);
    return 0;
}
