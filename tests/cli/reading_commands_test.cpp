// The commands that read what others wrote (decode, verify, encode, stamp,
// version-strings, launcher, md5) run as operators run them: exit statuses,
// messages, and input that is hostile or never ends.
#include "base/file_io.h"
#include "cli_process.h"
#include "config/server_info_reader.h"
#include "edit/launcher_settings.h"
#include "edit/working_copy.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sys/wait.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

using Outcome = testing::CliOutcome;
using testing::ExitStatus;
using testing::ShellQuoted;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ReadingCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A child that stops reading early must not end the test with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        ReplaceFile(Path("Tarnwick.xml"), ReadFile(fs::path(TARNWICK_SOURCE_DIR) / "samples/Tarnwick.xml"));
        ASSERT_EQ(Run({"serverinfo"}).status, 0);
    }

    std::string Command(const std::vector<std::string>& args) const
    {
        return testing::CliCommand(folder_.path(), streams_.path(), args);
    }

    Outcome Run(const std::vector<std::string>& args, const std::string& input = "") const
    {
        return testing::RunCli(folder_.path(), streams_.path(), args, input);
    }

    // Runs it with standard input written by `feed`, a call per chunk, through
    // a pipe, which fails once the program has stopped reading; `written`
    // counts the chunks that the pipe took.
    Outcome Feed(const std::vector<std::string>& args, const std::function<bool(std::FILE*)>& feed,
                 std::uint64_t& written) const
    {
        std::FILE* pipe = ::popen(Command(args).c_str(), "w");
        EXPECT_NE(pipe, nullptr);
        written = 0;
        std::setvbuf(pipe, nullptr, _IONBF, 0);
        while (feed(pipe))
            ++written;
        const int waited = ::pclose(pipe);
        return {ExitStatus(waited), ReadFile(Stream("out")), ReadFile(Stream("err"))};
    }

    fs::path Path(const std::string& name) const { return folder_.path() / name; }
    fs::path Stream(const std::string& name) const { return streams_.path() / name; }

    testing::TemporaryFolder folder_;
    testing::TemporaryFolder streams_;
};

// A feed of `count` chunks: `first`, then what `next` makes of the one before.
// Each call writes one; false once the pipe refuses it or all are written.
std::function<bool(std::FILE*)> Chunks(std::string first, std::function<void(std::string&)> next, std::size_t count)
{
    auto sent = std::make_shared<std::size_t>(0);
    auto chunk = std::make_shared<std::string>(std::move(first));
    return [=](std::FILE* pipe) {
        if (*sent == count)
            return false;
        if (*sent > 0)
            next(*chunk);
        ++*sent;
        return std::fwrite(chunk->data(), 1, chunk->size(), pipe) == chunk->size();
    };
}

constexpr std::size_t kChunk = 1 << 20;

TEST_F(ReadingCommands, DecodeAndVerifyEndAsDiffDoes)
{
    const std::string published = ReadFile(Path("ServerInfo.txt"));
    std::string damaged = published;
    damaged[published.find("<Group Name=\"") + 14] ^= 1;
    ReplaceFile(Path("damaged.txt"), damaged);
    ReplaceFile(Path("after-end.txt"), published + "x\r\n");
    struct Row {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err; // a part of standard error; empty: nothing there
    };
    const Row rows[] = {
        {{"decode"}, "", 0, ""},
        {{"decode", "-"}, published, 0, ""},
        {{"verify"}, "", 0, ""},
        {{"verify", "-"}, published, 0, ""},
        {{"decode", "missing.txt"}, "", 2, "missing.txt\". No such file or directory"},
        {{"verify", "missing.txt"}, "", 2, "missing.txt\". No such file or directory"},
        {{"decode", "damaged.txt"}, "", 2, "damaged.txt, line 5: the Name of a Group is damaged"},
        {{"verify", "damaged.txt"}, "", 2, "damaged.txt, line 5: the Name of a Group is damaged"},
        {{"decode", "after-end.txt"}, "", 2, "after-end.txt, line 24: a line after \"$END\" (\"x\")"},
        {{"decode", "-"}, "", 2, "standard input is empty"},
        {{"verify", "-"}, "\xEF\xBB\xBF" + published, 2, "standard input starts with a UTF-8 byte-order mark"},
        {{"decode", "a", "b"}, "", 2, "usage: tarnwick-cli decode [FILE|-]"},
        {{"verify", "a", "b"}, "", 2, "usage: tarnwick-cli verify [--signature FILE] [FILE|-]"},
        {{"decode", "--json"}, "", 2, "--json: unknown option; usage: tarnwick-cli decode [FILE|-]"},
        {{"verify", "--json"}, "", 2, "--json: unknown option; usage: tarnwick-cli verify [--signature FILE] [FILE|-]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
        const Outcome outcome = Run(row.args, row.input);
        EXPECT_EQ(outcome.status, row.status);
        if (row.err.empty()) {
            EXPECT_EQ(outcome.err, "");
        } else {
            EXPECT_TRUE(outcome.err.starts_with("tarnwick-cli: ") && Contains(outcome.err, row.err)) << outcome.err;
        }
    }

    // Differs: 1, with the differences on standard output.
    std::string changed = ReadFile(Path("Tarnwick.xml"));
    changed.replace(changed.find("10.0.0.1"), 8, "10.0.0.9");
    ReplaceFile(Path("Tarnwick.xml"), changed);
    const Outcome differs = Run({"verify"});
    EXPECT_EQ(differs.status, 1);
    EXPECT_TRUE(Contains(differs.out, "changed from \"10.0.0.1;10.0.0.2\" to \"10.0.0.9;10.0.0.2\"")) << differs.out;
}

// Whatever arrives on standard input, the first line decides: random bytes
// from a wrong address are refused at once, not read to their end.
TEST_F(ReadingCommands, StandardInputThatIsNoServerInformationStopsAtTheFirstLine)
{
    std::mt19937 random(64);
    const auto fill = [&](std::string& chunk) {
        for (char& c : chunk)
            c = static_cast<char>(random());
    };
    std::string first(kChunk, '\0');
    fill(first);
    first[0] = '<'; // not a byte-order mark, whatever the seed
    for (const char* command : {"decode", "verify"}) {
        SCOPED_TRACE(command);
        std::uint64_t written = 0;
        const std::size_t chunks = 64;
        const Outcome outcome = Feed({command, "-"}, Chunks(first, fill, chunks), written);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_TRUE(Contains(outcome.err, "tarnwick-cli: standard input, line 1: \"<") &&
                    Contains(outcome.err, "stands where \"$BEGIN\" should: this is not a server information file"))
            << outcome.err;
        EXPECT_LT(written, chunks) << "all of standard input was read";
    }
}

// A stream that starts right and never ends stops at the stated limit.
TEST_F(ReadingCommands, StandardInputStopsAtTheLimit)
{
    std::uint64_t written = 0;
    const std::size_t chunks = kMaxServerInfoBytes / kChunk + 16;
    std::string first = "$BEGIN\r\n";
    first.resize(kChunk, ' ');
    const Outcome outcome = Feed({"decode", "-"}, Chunks(first, [](std::string&) {}, chunks), written);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "tarnwick-cli: standard input: reading stopped past the limit; a server information "
                           "file may be at most 268,435,456 bytes (256 MiB)\n");
    EXPECT_LT(written, chunks) << "reading went on past the limit";
}

// Bytes of the input that messages quote cannot act on the terminal, nor can
// the strings of an executable that version-strings lists.
TEST_F(ReadingCommands, QuotedBytesAreEscaped)
{
    const Outcome decoded = Run({"decode", "-"}, "\x1B]0;owned\x07\x1B[2J\r\n");
    EXPECT_EQ(decoded.status, 2);
    EXPECT_TRUE(Contains(decoded.err, "\"\\x1B]0;owned\\x07\\x1B[2J\"")) << decoded.err;

    const Outcome missing = Run({"decode", "\x1B[31mmissing"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(Contains(missing.err, "\\x1B[31mmissing")) << missing.err;

    fs::copy_file(fs::path(TARNWICK_SOURCE_DIR) / "tests/launcher/data/version32.exe", Path("game.exe"));
    ASSERT_EQ(Run({"stamp", "game.exe", "GameName", "\x1B[2J\x7F"}).status, 0);
    const Outcome listed = Run({"version-strings", "game.exe"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(Contains(listed.out, "GameName\t\\x1B[2J\\x7F\n")) << listed.out;

    for (const Outcome& outcome : {decoded, missing, listed})
        EXPECT_EQ((outcome.out + outcome.err).find('\x1B'), std::string::npos);
}

// stamp says what it did; one that does not apply is refused (1) and writes
// nothing; a file that is no executable cannot be read (2).
TEST_F(ReadingCommands, StampSaysWhatItDid)
{
    const fs::path image = fs::path(TARNWICK_SOURCE_DIR) / "tests/launcher/data/version32.exe";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    };
    const Row rows[] = {
        {{"stamp", "game.exe", "GameName", "测试"}, 0, "GameName stamped in game.exe\n", ""},
        {{"stamp", "game.exe", "NoSuchKey", "x"},
         1,
         "",
         "tarnwick-cli: game.exe: the first translation's string table has no slot NoSuchKey; nothing written\n"},
        {{"stamp", "game.exe", "GameName", "012345678901234567890"},
         1,
         "",
         "tarnwick-cli: game.exe: the value has 21 characters; the slot GameName holds at most 20 (and a "
         "terminator); nothing written\n"},
        {{"stamp", "Tarnwick.xml", "GameName", "x"},
         2,
         "",
         "tarnwick-cli: Tarnwick.xml: The file is not a valid Windows executable: no MZ signature\n"},
        {{"stamp", "game.exe", "GameName"}, 2, "", "tarnwick-cli: usage: tarnwick-cli stamp FILE KEY VALUE\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[2]);
        fs::remove(Path("game.exe"));
        fs::copy_file(image, Path("game.exe"));
        const std::string before = ReadFile(Path("game.exe"));
        const Outcome outcome = Run(row.args);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.out, row.out);
        EXPECT_EQ(outcome.err, row.err);
        if (row.status != 0) {
            EXPECT_EQ(ReadFile(Path("game.exe")), before) << "a refused stamping changed the file";
        }
    }
}

// What the folder remembers stands in for what is left out, and a launcher
// made becomes what is remembered, unless a window holds the folder.
TEST_F(ReadingCommands, ALauncherLeftUnnamedIsMadeFromWhatTheFolderRemembers)
{
    const fs::path settings = Path(edit::kLauncherSettingsFileName);
    // The initial values would hand players a launcher that asks their own machine.
    const Outcome none = Run({"launcher"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Contains(none.err, "remembers no launcher settings")) << none.err;
    EXPECT_TRUE(Contains(none.err, settings.string())) << none.err;

    const Outcome made =
        Run({"launcher", "--client", "game.exe -s %addr%", "青龙传奇", "http://203.0.113.5/ServerInfo.txt"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(Contains(made.out, Path("青龙传奇.exe").string())) << made.out;
    const std::string withClient = ReadFile(Path("青龙传奇.exe"));
    fs::remove(Path("青龙传奇.exe"));
    ASSERT_EQ(Run({"launcher"}).status, 0);
    EXPECT_EQ(ReadFile(Path("青龙传奇.exe")), withClient);

    // An option given wins, and is remembered.
    ASSERT_EQ(Run({"launcher", "--no-client"}).status, 0);
    const std::string withoutClient = ReadFile(Path("青龙传奇.exe"));
    EXPECT_NE(withoutClient, withClient);
    ASSERT_EQ(Run({"launcher"}).status, 0);
    EXPECT_EQ(ReadFile(Path("青龙传奇.exe")), withoutClient);

    // A window on the folder remembers its own fields: the launcher is made all the same.
    const std::string remembered = ReadFile(settings);
    {
        edit::WorkingCopy window(folder_.path());
        ASSERT_FALSE(window.Lock("tarnwick", std::chrono::milliseconds(0)));
        const Outcome held = Run({"launcher", "Other", "http://list.example/"});
        EXPECT_EQ(held.status, 0);
        EXPECT_TRUE(Contains(held.err, "not remembered")) << held.err;
        EXPECT_TRUE(fs::exists(Path("Other.exe")));
        EXPECT_EQ(ReadFile(settings), remembered);
    }

    // A damaged file is said, and not taken for settings.
    ReplaceFile(settings, "{\"GameName\": ");
    const Outcome damaged = Run({"launcher"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_TRUE(Contains(damaged.err, settings.string())) << damaged.err;
    EXPECT_EQ(ReadFile(settings), "{\"GameName\": ");
    const Outcome both = Run({"launcher", "--client", "a.exe", "--no-client"});
    EXPECT_EQ(both.status, 2);
}

TEST_F(ReadingCommands, UsageErrorsAndRefusalsHaveTheirStatuses)
{
    ReplaceFile(Path("abc.txt"), "abc");
    struct Row {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err;
    };
    const Row rows[] = {
        {{"encode", "extra"}, "", 2, "tarnwick-cli: usage: tarnwick-cli encode [--trace]\n"},
        {{"encode", "--tarce"}, "", 2, "tarnwick-cli: --tarce: unknown option; usage: tarnwick-cli encode [--trace]\n"},
        {{"encode"},
         std::string(10241, 'x'),
         1,
         "tarnwick-cli: standard input: more than 10,240 bytes; a value may hold at most 10,240 bytes\n"},
        {{"launcher", "Game"},
         "",
         2,
         "tarnwick-cli: usage: tarnwick-cli launcher [--client COMMAND | --no-client] [GAMENAME LISTURL]\n"},
        {{"launcher", "--client", " ", "Game", "http://list.example/"},
         "",
         2,
         "tarnwick-cli: --client: needs the game client's command, such as \"game.exe -s %addr% -p %port%\"\n"},
        {{"launcher", " ", "http://list.example/"}, "", 1, "tarnwick-cli: GAMENAME: The game name must not be empty.\n"},
        {{"launcher", "Game", " "}, "", 1, "tarnwick-cli: LISTURL: The list address must not be empty.\n"},
        {{"version-strings"}, "", 2, "tarnwick-cli: usage: tarnwick-cli version-strings FILE\n"},
        {{"md5"}, "", 2, "tarnwick-cli: usage: tarnwick-cli md5 [--progress] FILE...\n"},
        {{"md5", "--quiet", "abc.txt"},
         "",
         2,
         "tarnwick-cli: --quiet: unknown option; usage: tarnwick-cli md5 [--progress] FILE...\n"},
        {{"resave", "now"}, "", 2, "tarnwick-cli: usage: tarnwick-cli resave\n"},
        {{"serverinfo", "now"}, "", 2, "tarnwick-cli: usage: tarnwick-cli serverinfo\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
        const Outcome outcome = Run(row.args, row.input);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, row.err);
    }
    EXPECT_FALSE(fs::exists(Path("Game.exe")));
}

} // namespace
} // namespace tarnwick
