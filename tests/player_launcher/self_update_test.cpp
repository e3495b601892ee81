#include "player_launcher/core/self_update.h"

#include "base/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace tarnwick::player {
namespace {

// The head of a PE image: DOS header, PE signature at 0x80, file header,
// and the optional header's magic and subsystem.
std::string PeHead(std::uint16_t machine, std::uint16_t magic, std::uint16_t subsystem, std::uint16_t characteristics)
{
    std::string head(0x200, '\0');
    const auto put16 = [&](std::size_t at, std::uint16_t value) {
        head[at] = static_cast<char>(value & 0xff);
        head[at + 1] = static_cast<char>(value >> 8);
    };
    head[0] = 'M';
    head[1] = 'Z';
    put16(0x3c, 0x80);
    head.replace(0x80, 4, std::string("PE\0\0", 4));
    put16(0x84, machine);
    put16(0x84 + 18, characteristics);
    put16(0x98, magic);
    put16(0x98 + 68, subsystem);
    return head;
}

std::string Check(const std::string& head, std::uint16_t machine)
{
    return CheckLauncherImage(std::as_bytes(std::span(head)), machine);
}

TEST(LauncherImageTest, TakesOnlyAWindowedProgramForThisMachine)
{
    EXPECT_EQ(Check(PeHead(kMachineAmd64, 0x20b, 2, 0x0022), kMachineAmd64), "");
    EXPECT_EQ(Check(PeHead(kMachineI386, 0x10b, 2, 0x0102), kMachineI386), "");
    // Another machine, another header width, a console program, a DLL.
    EXPECT_NE(Check(PeHead(kMachineI386, 0x10b, 2, 0x0102), kMachineAmd64), "");
    EXPECT_NE(Check(PeHead(kMachineAmd64, 0x10b, 2, 0x0022), kMachineAmd64), "");
    EXPECT_NE(Check(PeHead(kMachineAmd64, 0x20b, 3, 0x0022), kMachineAmd64), "");
    EXPECT_NE(Check(PeHead(kMachineAmd64, 0x20b, 2, 0x2022), kMachineAmd64), "");
    EXPECT_NE(Check(PeHead(kMachineAmd64, 0x20b, 2, 0x0020), kMachineAmd64), "");
}

TEST(LauncherImageTest, RefusesWhatIsNoProgramWithoutReadingPastIt)
{
    EXPECT_NE(Check("", kMachineAmd64), "");
    EXPECT_NE(Check("<html>404 Not Found</html>" + std::string(100, ' '), kMachineAmd64), "");
    std::string head = PeHead(kMachineAmd64, 0x20b, 2, 0x0022);
    head[0x80] = 'X';
    EXPECT_NE(Check(head, kMachineAmd64), "");
    // The PE header's offset pointing past what was read, or to its very end.
    head = PeHead(kMachineAmd64, 0x20b, 2, 0x0022);
    head[0x3d] = '\x7f';
    EXPECT_NE(Check(head, kMachineAmd64), "");
    EXPECT_NE(Check(PeHead(kMachineAmd64, 0x20b, 2, 0x0022).substr(0, 0x90), kMachineAmd64), "");
}

TEST(LauncherImageTest, TheCarriedLauncherPasses)
{
    const std::filesystem::path image = std::filesystem::path(TARNWICK_SOURCE_DIR) / "resources" / "LoginData.exe";
    std::ifstream in(image, std::ios::binary);
    std::string head(kImageHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    EXPECT_EQ(Check(head, kMachineAmd64), "");
    EXPECT_NE(Check(head, kMachineI386), "");
}

TEST(ReplacementArgumentsTest, QuotesAsWindowsReadsThemBack)
{
    EXPECT_EQ(QuotedArgument(u"/update"), u"/update");
    EXPECT_EQ(QuotedArgument(u""), u"\"\"");
    EXPECT_EQ(QuotedArgument(u"华东 一区"), u"\"华东 一区\"");
    EXPECT_EQ(QuotedArgument(u"say \"hi\""), u"\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuotedArgument(u"C:\\Games\\My Game\\"), u"\"C:\\Games\\My Game\\\\\"");
    EXPECT_EQ(QuotedArgument(u"a\\\\\"b c"), u"\"a\\\\\\\\\\\"b c\"");
#ifdef _WIN32
    const std::vector<std::u16string> arguments = {u"/start", u"华东 一区", u"a\\\\\"b c", u"", u"C:\\x y\\"};
    const std::u16string line = u"LoginData.exe" + JoinedArguments(arguments);
    int count = 0;
    wchar_t** values = ::CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count);
    ASSERT_EQ(count, static_cast<int>(arguments.size()) + 1);
    for (std::size_t i = 0; i < arguments.size(); ++i)
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(values[i + 1])), arguments[i]);
    ::LocalFree(values);
#endif
}

TEST(ReplacementArgumentsTest, RoundTripsAndRefusesAnythingElse)
{
    const Replacement replacement{4242, 0x1f4, u"C:\\Game\\LoginData.exe", {u"/start", u"华东一区", u"--"}};
    const auto parsed = ParseReplacement(ReplacementArguments(replacement));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->oldProcess, 4242u);
    EXPECT_EQ(parsed->readyEvent, 0x1f4u);
    EXPECT_EQ(parsed->target, replacement.target);
    EXPECT_EQ(parsed->arguments, replacement.arguments);

    EXPECT_FALSE(ParseReplacement({}));
    EXPECT_FALSE(ParseReplacement({u"/update"}));
    EXPECT_FALSE(ParseReplacement({kReplaceOption, u"12", u"34", u"C:\\x.exe"}));
    EXPECT_FALSE(ParseReplacement({kReplaceOption, u"-1", u"34", u"C:\\x.exe", u"--"}));
    EXPECT_FALSE(ParseReplacement({kReplaceOption, u"12", u"0x22", u"C:\\x.exe", u"--"}));
    EXPECT_FALSE(ParseReplacement({kReplaceOption, u"12", u"34", u"", u"--"}));
    EXPECT_FALSE(ParseReplacement({kReplaceOption, u"99999999999", u"34", u"C:\\x.exe", u"--"}));
}

TEST(ReplacementArgumentsTest, OnlyTheWindowIsStartedAgain)
{
    EXPECT_TRUE(StartsWindow({}));
    EXPECT_TRUE(StartsWindow({u"/something-new"}));
    EXPECT_FALSE(StartsWindow({u"/UPDATE"}));
    EXPECT_FALSE(StartsWindow({u"/start", u"a", u"b"}));
    EXPECT_FALSE(StartsWindow({u"/print"}));
}

class FakeHandOff : public LauncherHandOff {
public:
    std::string Start(const std::filesystem::path& image) override
    {
        started.push_back(image);
        return answer;
    }
    std::vector<std::filesystem::path> started;
    std::string answer;
};

class SelfImageInstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tarnwick-self-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path Download(const std::string& bytes)
    {
        const std::filesystem::path file = folder_ / "LoginData.exe.download";
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

    std::filesystem::path folder_;
    FakeHandOff handOff_;
};

TEST_F(SelfImageInstallTest, HandsAProgramOverAndLeavesItsRecordPending)
{
    const std::filesystem::path download = Download(PeHead(kMachineAmd64, 0x20b, 2, 0x0022));
    SelfImageInstall step(handOff_, kMachineAmd64);
    const InstallResult result = step.Install(download, folder_ / "LoginData.exe", nullptr);
    EXPECT_EQ(result.error, "");
    EXPECT_FALSE(result.finished);
    EXPECT_TRUE(step.HandedOff());
    EXPECT_EQ(handOff_.started, std::vector{download});
    EXPECT_TRUE(std::filesystem::exists(download)); // the new launcher runs from it
}

TEST_F(SelfImageInstallTest, KeepsTheOldLauncherWhenTheNewOneCannotRun)
{
    SelfImageInstall wrongMachine(handOff_, kMachineAmd64);
    const std::filesystem::path download = Download(PeHead(kMachineI386, 0x10b, 2, 0x0102));
    InstallResult result = wrongMachine.Install(download, folder_ / "LoginData.exe", nullptr);
    EXPECT_NE(result.error.find("原来的登录器"), std::string::npos) << result.error;
    EXPECT_TRUE(handOff_.started.empty());
    EXPECT_FALSE(wrongMachine.HandedOff());
    // Kept, so that the next run checks it without fetching it again.
    EXPECT_TRUE(std::filesystem::exists(download));

    handOff_.answer = "下载的新版登录器没有正常启动";
    SelfImageInstall refused(handOff_, kMachineAmd64);
    Download(PeHead(kMachineAmd64, 0x20b, 2, 0x0022));
    result = refused.Install(download, folder_ / "LoginData.exe", nullptr);
    EXPECT_NE(result.error.find("没有正常启动"), std::string::npos);
    EXPECT_FALSE(refused.HandedOff());

    const std::atomic<bool> cancelled{true};
    handOff_.answer.clear();
    handOff_.started.clear();
    EXPECT_NE(refused.Install(download, folder_ / "LoginData.exe", &cancelled).error, "");
    EXPECT_TRUE(handOff_.started.empty());
}

} // namespace
} // namespace tarnwick::player
