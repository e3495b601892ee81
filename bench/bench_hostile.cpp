// Hostile documents of 100 MB loaded as Tarnwick.xml: what each gives, in how
// much time and at what peak memory. Each load runs in a child process of its
// own, so that getrusage (through wait4) reports that load's peak alone.
#include "config/document.h"
#include "base/error.h"
#include "base/file_io.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tarnwick;

namespace {

constexpr std::size_t kTarget = 100u * 1024 * 1024;
const std::string kHead = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup>\r\n";

// Repeats the unit until the document reaches 100 MB.
std::string Filled(const std::string& before, const std::string& unit, const std::string& after)
{
    std::string out = kHead + before;
    out.reserve(kTarget + after.size() + 1024);
    while (out.size() < kTarget)
        out += unit;
    return out + after;
}

struct Case {
    const char* name;
    std::function<std::string()> make;
};

// "服务器" in GBK, so that the loader meets non-ASCII text as in real lists.
const std::string kServerWord = "\xB7\xFE\xCE\xF1\xC6\xF7";

const Case kCases[] = {
    {"100 MB of servers (a real list, very long)",
     [] {
         std::string group = "<Group Name=\"East\">\r\n";
         for (int s = 0; s < 50; ++s)
             group += "  <Server Name=\"" + kServerWord + std::to_string(s) +
                      "\">\r\n    <Child Addrs=\"10.0.0.1\" Port=\"7000\">line one</Child>\r\n"
                      "    <Child Addrs=\"10.0.0.2\" Port=\"7001\">line two</Child>\r\n  </Server>\r\n";
         return Filled("<ServerList>\r\n", group + "</Group>\r\n", "</ServerList>\r\n</XMLSetup>\r\n");
     }},
    {"one attribute value of 100 MB", [] { return Filled("<ServerList><Group Name=\"", std::string(65536, 'x'), "\"/></ServerList></XMLSetup>"); }},
    {"one text value of 100 MB", [] { return Filled("<Url><Home>", std::string(65536, 'x'), "</Home></Url></XMLSetup>"); }},
    {"100 MB of blank lines between elements", [] { return Filled("<ServerList>", "\r\n", "</ServerList></XMLSetup>"); }},
    {"100 MB of elements the loader does not read", [] { return Filled("", "<Pad a=\"1\"/>", "</XMLSetup>"); }},
    {"100 MB of comments around the root", [] { return Filled("", "<!-- a comment of some length -->\r\n", "</XMLSetup>"); }},
    {"100 MB of character references",
     [] { return Filled("<UpDate><Config SDir=\"\" FName=\"\" DUrl=\"\" ZIP=\"\" Check=\"\" DType=\"\" Date=\"\" VAR=\"\" MD5=\"\" ID=\"\">", "&#x4E2D;", "</Config></UpDate></XMLSetup>"); }},
    {"100 MB of nested elements", [] { return Filled("", "<a>", ""); }},
};

} // namespace

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("tarnwick-bench-hostile-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "Tarnwick.xml";
    std::printf("%-46s %9s %10s  %s\n", "document", "seconds", "peak MB", "outcome");
    for (const auto& c : kCases) {
        ReplaceFile(file, c.make());
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return 1;
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            std::string outcome;
            try {
                SetupModel model;
                ConfigurationDocument document(file);
                document.LoadConfiguration(model);
                outcome = "loaded: " + std::to_string(model.groups.Count()) + " groups, " +
                          std::to_string(model.servers.Count()) + " servers, " +
                          std::to_string(model.updates.Count()) + " update entries";
            } catch (const Error& e) {
                outcome = e.what();
                outcome = "refused: " + outcome.substr(0, outcome.find('\r'));
            }
            (void)!::write(pipeFds[1], outcome.data(), outcome.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        std::string outcome;
        char buffer[512];
        for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            outcome.append(buffer, static_cast<std::size_t>(got));
        ::close(pipeFds[0]);
        int status = 0;
        struct rusage usage {};
        ::wait4(child, &status, 0, &usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status))
            outcome = "CRASHED (signal " + std::to_string(WTERMSIG(status)) + ")";
        std::printf("%-46s %9.2f %10.0f  %s\n", c.name, seconds, usage.ru_maxrss / 1024.0, outcome.c_str());
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
