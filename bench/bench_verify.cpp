// tarnwick-cli verify against tarnwick-cli serverinfo on 2,000 groups,
// 100,000 servers and 1,000 update entries: verify may take at most 1.5 times
// what serverinfo takes to write the file, both when the file is up to date
// and when it differs. Times are the processor time of the runs, which other
// work on a shared machine disturbs less than the time on the clock.
#include "base/file_io.h"
#include "config/document.h"
#include "config/model.h"
#include "temporary_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace tarnwick;

namespace {

SetupModel MakeModel()
{
    // "服务器" and "区" in GBK.
    const std::string server = "\xB7\xFE\xCE\xF1\xC6\xF7", zone = "\xC7\xF8";
    SetupModel model;
    for (int g = 0; g < 2000; ++g)
        model.groups.Append({zone + " " + std::to_string(g + 1)});
    // Grouped, as a document gives them.
    for (int s = 0; s < 100000; ++s) {
        const std::string n = std::to_string(s);
        model.servers.Append({model.groups.At(static_cast<std::size_t>(s / 50)).Name, server + " " + n,
                              "line one " + n + ";line two " + n,
                              "10." + std::to_string(s / 65536 % 256) + "." + std::to_string(s / 256 % 256) + "." +
                                  std::to_string(s % 256) + ";game" + n + ".example.com",
                              "7000;7001"});
    }
    for (int u = 0; u < 1000; ++u) {
        const std::string n = std::to_string(u);
        model.updates.Append({"update notice " + n, ".\\Data\\", "patch" + n + ".dat",
                              "http://www.example.com/files/patch" + n + ".dat", words::kYes, words::kCheckMd5,
                              words::kDownDirect, "20050505", "1", "0123456789abcdef0123456789abcdef", "20050505"});
    }
    return model;
}

double ChildSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The least processor time of three runs of the command, in seconds; the
// exit status must be `expected`.
double Seconds(const std::string& command, int expected)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double start = ChildSeconds();
        const int status = std::system((command + " >/dev/null").c_str());
        best = std::min(best, ChildSeconds() - start);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != expected) {
            std::fprintf(stderr, "%s: exit status %d, expected %d\n", command.c_str(), status, expected);
            std::exit(1);
        }
    }
    return best;
}

} // namespace

int main()
{
    testing::TemporaryFolder folder;
    const std::string cli = std::string(TARNWICK_CLI) + " -C " + folder.path().string() + " ";
    SetupModel model = MakeModel();
    ConfigurationDocument("none").WriteConfiguration(model, folder.path() / "Tarnwick.xml", false);

    const double write = Seconds(cli + "serverinfo", 0);
    const double same = Seconds(cli + "verify", 0);
    model.web.HomeUrl = "http://changed.example/";
    model.servers.At(50000).Port = "7100";
    ConfigurationDocument("none").WriteConfiguration(model, folder.path() / "Tarnwick.xml", false);
    const double differ = Seconds(cli + "verify", 1);

    std::printf("100,000 servers, ServerInfo.txt of %.1f MB\n",
                static_cast<double>(ReadFile(folder.path() / "ServerInfo.txt").size()) / 1e6);
    std::printf("serverinfo             %.3f s\n", write);
    std::printf("verify, up to date     %.3f s  (%.2fx, at most 1.5x)\n", same, same / write);
    std::printf("verify, two changes    %.3f s  (%.2fx, at most 1.5x)\n", differ, differ / write);
    const bool ok = same <= 1.5 * write && differ <= 1.5 * write;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
