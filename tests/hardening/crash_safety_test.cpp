// Kills a process at random moments while it saves Tarnwick.xml, writes
// ServerInfo.txt and generates a launcher in a loop, then checks that each file
// is one complete version: never a mix, a truncation or a missing file; and
// that the temporary files of the killed writers go with the next writes.
#include "config/document.h"
#include "base/file_io.h"
#include "launcher/byte_reader.h"
#include "launcher/launcher_builder.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace {

SetupModel Variant(int which)
{
    SetupModel model;
    const int groups = which == 0 ? 3 : 40;
    for (int g = 0; g < groups; ++g) {
        model.groups.Append({"Group" + std::to_string(g)});
        for (int s = 0; s < 20; ++s)
            model.servers.Append({"Group" + std::to_string(g), "Zone" + std::to_string(s), "a;b",
                                  "10.0.0." + std::to_string(s) + ";10.0.1.1", "7000"});
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
    LauncherBuilder(CarriedLauncherImage(), folder)
        .Build("Crash", which == 0 ? "http://old.example.com:8888/ServerInfo.txt"
                                   : "http://new.example.com:8888/ServerInfo.txt");
}

Outputs Read(const fs::path& folder)
{
    return {ReadFile(folder / "Tarnwick.xml"), ReadFile(folder / "ServerInfo.txt"), ReadFile(folder / "Crash.exe")};
}

std::vector<fs::path> Temporaries(const fs::path& folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp-") != std::string::npos)
            found.push_back(entry.path());
    return found;
}

class CrashSafety : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path root_ = folder_.path();
};

} // namespace

TEST_F(CrashSafety, EveryFileIsWholeAfterAKillAtAnyMoment)
{
    const fs::path expected[2] = {root_ / "v0", root_ / "v1"};
    const fs::path work = root_ / "work";
    for (const auto& folder : {expected[0], expected[1], work})
        fs::create_directories(folder);
    WriteAll(expected[0], 0);
    WriteAll(expected[1], 1);
    const Outputs versions[2] = {Read(expected[0]), Read(expected[1])};
    ASSERT_NE(versions[0].configuration, versions[1].configuration);
    ASSERT_NE(versions[0].serverInfo, versions[1].serverInfo);
    ASSERT_NE(versions[0].launcher, versions[1].launcher);
    WriteAll(work, 0);

    // One round takes a few milliseconds; pauses up to twice that land the
    // kill anywhere in a round, and a fresh child starts from the top.
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pause(0, 8000); // microseconds
    constexpr int kKills = 400;
    int midWrite = 0;
    std::size_t mostLeftOver = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t child = ::fork();
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

        const Outputs now = Read(work);
        auto isVersion = [&](auto member) {
            return now.*member == versions[0].*member || now.*member == versions[1].*member;
        };
        EXPECT_TRUE(isVersion(&Outputs::configuration)) << "Tarnwick.xml after kill " << kill;
        EXPECT_TRUE(isVersion(&Outputs::serverInfo)) << "ServerInfo.txt after kill " << kill;
        EXPECT_TRUE(isVersion(&Outputs::launcher)) << "Crash.exe after kill " << kill;
        if (HasFailure())
            break;
        const std::size_t leftOver = Temporaries(work).size();
        midWrite += leftOver > 0;
        mostLeftOver = std::max(mostLeftOver, leftOver);
    }
    std::printf("%d kills survived, %d of them in the middle of a write; at most %zu temporary files left\n", kKills,
                midWrite, mostLeftOver);

    // The next complete round removes what the killed writers left.
    WriteAll(work, 1);
    EXPECT_TRUE(Temporaries(work).empty());
}

TEST_F(CrashSafety, ACommitRemovesStaleTemporariesButNotALiveWritersOwn)
{
    const fs::path target = root_ / "Tarnwick.xml";
    ReplaceFile(root_ / "Tarnwick.xml.tmp-Stale1", "left by a killed writer");
    ReplaceFile(root_ / "Other.xml.tmp-Stale2", "another target's");
    ReplaceFile(root_ / "Tarnwick.xml.tmp-notours", "not a temporary name");
    PendingFile live(target); // a writer still at work
    live.Write("live");

    ReplaceFile(target, "new");
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_FALSE(fs::exists(root_ / "Tarnwick.xml.tmp-Stale1"));
    EXPECT_TRUE(fs::exists(root_ / "Other.xml.tmp-Stale2"));
    EXPECT_TRUE(fs::exists(root_ / "Tarnwick.xml.tmp-notours"));
    ASSERT_TRUE(fs::exists(live.TemporaryPath()));

    live.Commit(); // the live writer finishes undisturbed
    EXPECT_EQ(ReadFile(target), "live");
}
