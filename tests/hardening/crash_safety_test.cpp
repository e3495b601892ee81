// Kills a process at random moments while it saves Tarnwick.xml, writes
// ServerInfo.txt and generates a launcher in a loop, then checks that each file
// is one complete version: never a mix, a truncation or a missing file.
#include "config/document.h"
#include "config/file_io.h"
#include "launcher/launcher_builder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace {

class SilentNotifier : public Notifier {
public:
    bool Notice(NoticeKind, const std::string&, const std::string&) override { return true; }
};

SetupModel Variant(int which)
{
    SetupModel model;
    const int groups = which == 0 ? 3 : 40;
    for (int g = 0; g < groups; ++g) {
        model.groups.Append({"Group" + std::to_string(g)});
        for (int s = 0; s < 20; ++s)
            model.servers.Append({"Group" + std::to_string(g), "Zone" + std::to_string(s),
                                  "a;b", "10.0.0." + std::to_string(s) + ";10.0.1.1", "7000"});
    }
    model.web.HomeUrl = which == 0 ? "http://old.example.com/" : "http://new.example.com/";
    return model;
}

struct Outputs {
    std::string configuration;
    std::string serverInfo;
    std::string launcher;
};

// One round of the three writes of a variant, in the folder given.
void WriteAll(const fs::path& folder, int which)
{
    const SetupModel model = Variant(which);
    ConfigurationDocument document(folder / "Tarnwick.xml");
    document.WriteConfiguration(model, folder / "Tarnwick.xml", false);
    WriteServerInfo(document, model, folder / "ServerInfo.txt");
    SilentNotifier notifier;
    LauncherBuilder(CarriedLauncherImage(), folder)
        .GenerateLoginButtonClick("Crash", which == 0 ? "http://old.example.com:8888/ServerInfo.txt"
                                                      : "http://new.example.com:8888/ServerInfo.txt",
                                  notifier);
}

Outputs Read(const fs::path& folder)
{
    return {ReadFile(folder / "Tarnwick.xml"), ReadFile(folder / "ServerInfo.txt"),
            ReadFile(folder / "Crash.exe")};
}

} // namespace

TEST(CrashSafety, EveryFileIsWholeAfterAKillAtAnyMoment)
{
    const fs::path root = fs::temp_directory_path() / ("tarnwick-crash-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path expected[2] = {root / "v0", root / "v1"};
    const fs::path work = root / "work";
    for (const auto& folder : {expected[0], expected[1], work})
        fs::create_directories(folder);
    WriteAll(expected[0], 0);
    WriteAll(expected[1], 1);
    const Outputs versions[2] = {Read(expected[0]), Read(expected[1])};
    ASSERT_NE(versions[0].configuration, versions[1].configuration);
    ASSERT_NE(versions[0].launcher, versions[1].launcher);
    WriteAll(work, 0);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pause(0, 40000); // microseconds
    constexpr int kKills = 40;
    int killedMidway = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int round = 0;; ++round) {
                try {
                    WriteAll(work, round % 2);
                } catch (...) {
                    ::_exit(3);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with status " << status;
        killedMidway += 1;

        const Outputs now = Read(work);
        auto isVersion = [&](auto member) {
            return now.*member == versions[0].*member || now.*member == versions[1].*member;
        };
        EXPECT_TRUE(isVersion(&Outputs::configuration)) << "Tarnwick.xml after kill " << kill;
        EXPECT_TRUE(isVersion(&Outputs::serverInfo)) << "ServerInfo.txt after kill " << kill;
        EXPECT_TRUE(isVersion(&Outputs::launcher)) << "Crash.exe after kill " << kill;
        if (HasFailure())
            break;
    }
    EXPECT_EQ(killedMidway, kKills);
    fs::remove_all(root);
}
