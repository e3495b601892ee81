// Load, save and ServerInfo.txt at 2,000 groups / 100,000 servers / 1,000
// update entries and at half of that: the times must grow linearly, and
// ServerInfo.txt must cost at most three times the bare compression of its
// values. Beside them, in the same run, libxml2's own parse of the same bytes
// (GBK to UTF-8, then xmlReadMemory): a load may take at most 1.5 times that,
// a save at most half of it. A load's peak memory, measured in a fresh
// process, may be at most five times the document's size.
//
// Then `tarnwick-cli resave` of the full-size document as operators run it, a
// fresh process each time, against that conversion and parse: processor time
// (which other work on a shared machine disturbs less than the clock), the
// least of several runs taken in turn. resave may take at most twice as long.
// Beside them, the clock, and libxml2's parse without a tree.
// `--cli PROGRAM` (again for more) times another build's tarnwick-cli beside
// it on the same bytes, such as one from before a change; `--resave-only`
// skips the rest.
#include "base/file_io.h"
#include "base/text.h"
#include "config/document.h"
#include "config/model.h"

#include <libxml/parser.h>
#include <zlib.h>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace tarnwick;

namespace {

struct Size {
    int groups;
    int servers;
    int updates;
};

// "服务器" and "区" in GBK, so that the loader meets non-ASCII text as in real lists.
const std::string kServerWord = "\xB7\xFE\xCE\xF1\xC6\xF7";
const std::string kZoneWord = "\xC7\xF8";

SetupModel MakeModel(const Size& size)
{
    SetupModel model;
    for (int g = 0; g < size.groups; ++g)
        model.groups.Append({kZoneWord + " " + std::to_string(g + 1)});
    for (int s = 0; s < size.servers; ++s) {
        const int g = s % size.groups;
        const std::string n = std::to_string(s);
        model.servers.Append({model.groups.At(static_cast<std::size_t>(g)).Name, kServerWord + " " + n,
                              "line one " + n + ";line two " + n,
                              "10." + std::to_string(s / 65536 % 256) + "." + std::to_string(s / 256 % 256) + "." +
                                  std::to_string(s % 256) + ";game" + n + ".example.com",
                              "7000;7001"});
    }
    for (int u = 0; u < size.updates; ++u) {
        const std::string n = std::to_string(u);
        model.updates.Append({"update notice " + n, ".\\Data\\", "patch" + n + ".dat",
                              "http://www.example.com/files/patch" + n + ".dat", words::kYes, words::kCheckMd5,
                              words::kDownDirect, "20050505", "1", "0123456789abcdef0123456789abcdef", "20050505"});
    }
    return model;
}

// Every value that ServerInfo.txt encodes, in the order the writer meets them.
std::vector<std::string> EncodedValues(const SetupModel& model)
{
    std::vector<std::string> values;
    for (const auto& g : model.groups)
        values.push_back(g.Name);
    for (const auto& s : model.servers) {
        values.push_back(s.ShowName);
        std::string n = s.Name, a = s.Addr, p = s.Port;
        for (;;) {
            auto tn = TakeToken(n, ";"), ta = TakeToken(a, ";"), tp = TakeToken(p, ";");
            if (tn.Token.empty() || ta.Token.empty())
                break;
            values.insert(values.end(), {tn.Token, ta.Token, tp.Token});
            n = tn.Rest, a = ta.Rest, p = tp.Rest;
        }
    }
    const auto& w = model.web;
    values.insert(values.end(), {w.LoginframeUrl, w.GMUrl, w.PayUrl, w.PayUrl2, w.HomeUrl});
    for (const auto& u : model.updates)
        values.insert(values.end(), {u.Hint, u.SaveDir, u.SaveName, u.DownUrl});
    return values;
}

// zlib alone at the encoder's settings, one reused stream.
std::size_t CompressAll(const std::vector<std::string>& values)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> out;
    std::size_t total = 0;
    for (const auto& v : values) {
        if (v.empty())
            continue;
        deflateReset(&stream);
        out.resize(deflateBound(&stream, static_cast<uLong>(v.size())));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(v.data()));
        stream.avail_in = static_cast<uInt>(v.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        total += out.size() - stream.avail_out;
    }
    deflateEnd(&stream);
    return total;
}

double Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of three runs: other load on the machine only ever adds time.
double Best(const std::function<void()>& work)
{
    double best = Seconds(work);
    for (int i = 1; i < 3; ++i)
        best = std::min(best, Seconds(work));
    return best;
}

struct Figures {
    double load, save, serverInfo, zlibOnly, libxml2Parse;
    std::uintmax_t documentBytes;
};

// What the loader builds on: the bytes decoded once, then parsed into a tree.
bool ConvertAndParse(const std::string& bytes)
{
    const std::string utf8 = GbkToUtf8(bytes);
    xmlDocPtr doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT | XML_PARSE_IGNORE_ENC);
    if (doc == nullptr)
        std::fprintf(stderr, "bench_config: libxml2 could not parse the document\n");
    xmlFreeDoc(doc);
    return doc != nullptr;
}

// The same without a tree: libxml2's events with no handler, the floor of any
// loader built on them (ours takes the events).
bool ConvertAndParseBare(const std::string& bytes)
{
    const std::string utf8 = GbkToUtf8(bytes);
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (ctxt == nullptr)
        return false;
    xmlSAXHandler none{};
    none.initialized = XML_SAX2_MAGIC;
    *ctxt->sax = none;
    xmlFreeDoc(xmlCtxtReadMemory(ctxt, utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                 XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT | XML_PARSE_IGNORE_ENC));
    const bool parsed = ctxt->wellFormed != 0;
    xmlFreeParserCtxt(ctxt);
    if (!parsed)
        std::fprintf(stderr, "bench_config: libxml2 could not parse the document\n");
    return parsed;
}

double Libxml2Parse(const fs::path& file)
{
    const std::string bytes = ReadFile(file);
    return Best([&] { ConvertAndParse(bytes); });
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::string ThisProgram() { return fs::read_symlink("/proc/self/exe").string(); }

// The peak resident memory of a fresh process that loads the file, in bytes.
// The process reports its own high-water mark: the kernel's figure for a
// child counts the parent's memory that it held until exec.
long PeakOfLoad(const fs::path& file)
{
    const std::string command = Quoted(ThisProgram()) + " --load " + Quoted(file);
    FILE* child = ::popen(command.c_str(), "r");
    if (child == nullptr)
        return -1;
    long kib = -1;
    if (std::fscanf(child, "%ld", &kib) != 1)
        kib = -1;
    return ::pclose(child) == 0 && kib > 0 ? kib * 1024 : -1;
}

// VmHWM of this process, in KiB.
long HighWaterKib()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    std::fclose(status);
    return kib;
}

double ProcessorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What one run took, in seconds.
struct RunTimes {
    double processor;
    double clock;
};

// One way to do the work, and the least it took.
struct Contender {
    std::string name;
    // One run, or nothing when it failed.
    std::function<std::optional<RunTimes>()> run;
    RunTimes best{1e9, 1e9};
};

double ClockSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A command in a fresh process, as operators run it.
std::optional<RunTimes> RunCommand(const std::string& command)
{
    const RunTimes start{ProcessorSeconds(RUSAGE_CHILDREN), ClockSeconds()};
    const int status = std::system((command + " >/dev/null").c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_config: %s failed with status %d\n", command.c_str(), status);
        return std::nullopt;
    }
    return RunTimes{ProcessorSeconds(RUSAGE_CHILDREN) - start.processor, ClockSeconds() - start.clock};
}

// resave of the document in dir by this build's tarnwick-cli and the others
// given, against libxml2's conversion and parse of the same bytes in this
// process, whose memory is warm after the first run: the stricter measure.
// The contenders run in turn, so that a slow spell of the machine falls on
// all of them alike. Every resave must leave the bytes as they were. The
// clock also counts what resave waits for the disk (it flushes the file).
bool CompareResave(const fs::path& dir, const std::vector<std::string>& otherClis)
{
    constexpr int kRuns = 7;
    const fs::path document = dir / "Tarnwick.xml";
    const std::string before = ReadFile(document);
    std::vector<Contender> contenders;
    const auto inThisProcess = [&](const std::string& name, bool (*parse)(const std::string&)) {
        contenders.push_back({name, [&before, parse]() -> std::optional<RunTimes> {
                                  const RunTimes start{ProcessorSeconds(RUSAGE_SELF), ClockSeconds()};
                                  if (!parse(before))
                                      return std::nullopt;
                                  return RunTimes{ProcessorSeconds(RUSAGE_SELF) - start.processor,
                                                  ClockSeconds() - start.clock};
                              }});
    };
    inThisProcess("libxml2 conversion + parse to a tree", ConvertAndParse);
    inThisProcess("libxml2 conversion + bare parse", ConvertAndParseBare);
    const auto resave = [&](const std::string& name, const std::string& cli) {
        const std::string command = Quoted(cli) + " -C " + Quoted(dir) + " resave";
        contenders.push_back({name, [command] { return RunCommand(command); }});
    };
    resave("tarnwick-cli resave", TARNWICK_CLI);
    for (const std::string& cli : otherClis)
        resave(cli + " resave", cli);
    for (int run = 0; run < kRuns; ++run) {
        for (Contender& c : contenders) {
            const auto times = c.run();
            if (!times)
                return false;
            c.best = {std::min(c.best.processor, times->processor), std::min(c.best.clock, times->clock)};
        }
    }
    if (ReadFile(document) != before) {
        std::fprintf(stderr, "bench_config: resave changed the document\n");
        return false;
    }
    const RunTimes tree = contenders[0].best;
    const double bare = contenders[1].best.processor;
    std::printf("resave of the %.1f MB document against libxml2's own conversion and parse of the same bytes:\n"
                "resave in a fresh process each time, libxml2 in this one; the least of %d runs taken in turn.\n"
                "Target: resave <= 2.0 x the parse to a tree, in processor time. The bare parse (libxml2's events,\n"
                "no handler) is the floor of any loader built on libxml2.\n",
                static_cast<double>(before.size()) / 1e6, kRuns);
    std::printf("  %-48s %13s %8s %8s %10s %8s\n", "", "processor (s)", "x tree", "x bare", "clock (s)", "x tree");
    for (const Contender& c : contenders)
        std::printf("  %-48s %13.3f %8.2f %8.2f %10.3f %8.2f\n", c.name.c_str(), c.best.processor,
                    c.best.processor / tree.processor, c.best.processor / bare, c.best.clock,
                    c.best.clock / tree.clock);
    return true;
}

Figures Measure(const Size& size, const fs::path& dir)
{
    const SetupModel model = MakeModel(size);
    const fs::path workingCopy = dir / "Tarnwick.xml";
    ConfigurationDocument(workingCopy).WriteConfiguration(model, workingCopy, false);

    Figures f{};
    f.documentBytes = fs::file_size(workingCopy);
    f.load = Best([&] {
        SetupModel loaded;
        ConfigurationDocument(workingCopy).LoadConfiguration(loaded);
    });
    // The writer works as in the program: after loading, keeping the working copy's top-level nodes.
    ConfigurationDocument document(workingCopy);
    SetupModel loaded;
    document.LoadConfiguration(loaded);
    f.save = Best([&] { document.WriteConfiguration(loaded, workingCopy, false); });
    f.serverInfo = Best([&] { WriteServerInfo(document, loaded, dir / "ServerInfo.txt"); });
    const auto values = EncodedValues(loaded);
    f.zlibOnly = Best([&] { CompressAll(values); });
    document.WriteConfiguration(loaded, workingCopy, false);
    f.libxml2Parse = Libxml2Parse(workingCopy);
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--load") {
        SetupModel model;
        ConfigurationDocument(argv[2]).LoadConfiguration(model);
        std::printf("%ld\n", HighWaterKib());
        return model.servers.Count() > 0 ? 0 : 1;
    }
    bool resaveOnly = false;
    std::vector<std::string> otherClis;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--resave-only") {
            resaveOnly = true;
        } else if (arg == "--cli" && i + 1 < argc) {
            otherClis.push_back(fs::absolute(argv[++i]).string());
        } else {
            std::fprintf(stderr, "usage: bench_config [--resave-only] [--cli PROGRAM]...\n");
            return 2;
        }
    }
    const fs::path dir = fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const Size full{2000, 100000, 1000};
    const Size half{1000, 50000, 500};
    if (resaveOnly) {
        const SetupModel model = MakeModel(full);
        ConfigurationDocument(dir / "Tarnwick.xml").WriteConfiguration(model, dir / "Tarnwick.xml", false);
        const bool compared = CompareResave(dir, otherClis);
        fs::remove_all(dir);
        return compared ? 0 : 1;
    }
    const Figures h = Measure(half, dir);
    const Figures f = Measure(full, dir);
    const long peak = PeakOfLoad(dir / "Tarnwick.xml");

    std::printf("configuration document: %.1f MB at full size\n", f.documentBytes / 1e6);
    std::printf("%-16s %10s %10s %8s\n", "", "half (s)", "full (s)", "ratio");
    auto row = [](const char* name, double a, double b) { std::printf("%-16s %10.3f %10.3f %8.2f\n", name, a, b, b / a); };
    row("load", h.load, f.load);
    row("save", h.save, f.save);
    row("ServerInfo.txt", h.serverInfo, f.serverInfo);
    row("zlib only", h.zlibOnly, f.zlibOnly);
    row("libxml2 parse", h.libxml2Parse, f.libxml2Parse);
    std::printf("doubling ratios (target <= 2.2): load %.2f, save %.2f, ServerInfo.txt %.2f\n", f.load / h.load,
                f.save / h.save, f.serverInfo / h.serverInfo);
    std::printf("ServerInfo.txt / zlib of the same values (target <= 3): %.2f\n", f.serverInfo / f.zlibOnly);
    std::printf("load / libxml2 parse (target <= 1.5): %.2f at half, %.2f at full size\n", h.load / h.libxml2Parse,
                f.load / f.libxml2Parse);
    std::printf("save / libxml2 parse (target <= 0.5): %.2f at half, %.2f at full size\n", h.save / h.libxml2Parse,
                f.save / f.libxml2Parse);
    std::printf("peak memory of a load at full size (target <= 5 x document): %.1f MB, %.2f x document\n",
                peak / 1e6, static_cast<double>(peak) / static_cast<double>(f.documentBytes));
    const bool compared = CompareResave(dir, otherClis);
    fs::remove_all(dir);
    return compared ? 0 : 1;
}
