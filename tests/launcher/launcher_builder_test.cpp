#include "base/error.h"
#include "base/text.h"
#include "launcher/launcher_builder.h"
#include "launcher/pe_image.h"
#include "launcher/version_stamp.h"
#include "test_support.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <optional>

#ifdef _WIN32
#include <windows.h>
#undef ReplaceFile
#endif

using namespace tarnwick;
using tarnwick::testing::English;
using namespace tarnwick::test;
namespace fs = std::filesystem;

namespace {

const std::u16string kTable = u"\\StringFileInfo\\080403a8\\";

// The committed stub, whichever image the build carries.
std::span<const std::byte> Stub()
{
    static const std::string stub = ReadFile(fs::path(TARNWICK_SOURCE_DIR) / "resources/LoginData.exe");
    return Bytes(stub);
}

class Builder : public ::testing::Test {
protected:
    // Builds from UTF-8 inputs.
    BuildOutcome Click(const std::string& gameName, const std::string& listUrl,
                       std::span<const std::byte> image = Stub())
    {
        return LauncherBuilder(image, folder_.path()).Build(Utf8ToGbk(gameName), Utf8ToGbk(listUrl));
    }
    std::string Launcher(const std::string& utf8Name) { return ReadFile(folder_.path() / Utf8Path(utf8Name + ".exe")); }

    TemporaryFolder folder_;
};

} // namespace

TEST(CarriedImage, TakesTheLongestOutputPath)
{
    // ".\\" + 20 bytes + ".exe": the program's own image must stamp it.
    const auto carried = CarriedLauncherImage();
    std::string image(reinterpret_cast<const char*>(carried.data()), carried.size());
    EXPECT_TRUE(StampImage(image, u"OriginalFilename", u".\\" + std::u16string(20, u'x') + u".exe").Stamped());
    EXPECT_EQ(VersionString(image, kTable + u"OriginalFilename"), u".\\" + std::u16string(20, u'x') + u".exe");
}

TEST_F(Builder, EmptyInputsAreRefusedGameNameFirst)
{
    EXPECT_EQ(Click("  \t ", "http://a/"), BuildOutcome::NoGameName);
    EXPECT_EQ(Click("", ""), BuildOutcome::NoGameName);
    EXPECT_EQ(Click("Velmora", "   "), BuildOutcome::NoListUrl);
    EXPECT_EQ(folder_.EntryCount(), 0u);
}

TEST_F(Builder, WritesTheStampedLauncher)
{
    EXPECT_EQ(Click("  Velmora传奇 ", " http://list.example.net:8888/ServerInfo.txt\r\n"), BuildOutcome::Written);
    const std::string launcher = Launcher("Velmora传奇");
    EXPECT_EQ(VersionString(launcher, kTable + u"OriginalFilename"), u".\\Velmora传奇.exe");
    EXPECT_EQ(VersionString(launcher, kTable + u"GameName"), u"Velmora传奇");
    EXPECT_EQ(VersionString(launcher, kTable + u"ServerList"), u"http://list.example.net:8888/ServerInfo.txt");
    EXPECT_EQ(folder_.EntryCount(), 1u);

    // Only the version resource's bytes and the checksum differ from the image.
    const auto image = Stub();
    ASSERT_EQ(launcher.size(), image.size());
    const auto version = FindVersionResource(Bytes(launcher));
    const PeImage pe = PeImage::Parse(Bytes(launcher));
    for (std::size_t i = 0; i < launcher.size(); ++i) {
        if (static_cast<std::byte>(launcher[i]) == image[i])
            continue;
        const bool inVersion = i >= version->offset && i < version->offset + version->size;
        const bool inCheckSum = i >= pe.CheckSumOffset() && i < pe.CheckSumOffset() + 4;
        ASSERT_TRUE(inVersion || inCheckSum) << "byte " << i;
    }
    EXPECT_EQ(PeCheckSum(Bytes(launcher), pe.CheckSumOffset()), pe.CheckSum());
}

TEST_F(Builder, StampsTheGameClientOnlyWhenGiven)
{
    const auto build = [&](std::optional<std::string> client, std::span<const std::byte> image = Stub()) {
        return LauncherBuilder(image, folder_.path())
            .Build("Velmora", "http://a/", client ? std::optional<std::string_view>(*client) : std::nullopt);
    };
    // Without one the slot keeps its placeholder: no client configured.
    ASSERT_EQ(build(std::nullopt), BuildOutcome::Written);
    EXPECT_EQ(VersionString(Launcher("Velmora"), kTable + u"GameClient").rfind(u"GameClient placeholder", 0), 0u);

    ASSERT_EQ(build(Utf8ToGbk("  \"游戏\\game.exe\" -s %addr% -p %port% \r\n")), BuildOutcome::Written);
    EXPECT_EQ(VersionString(Launcher("Velmora"), kTable + u"GameClient"), u"\"游戏\\game.exe\" -s %addr% -p %port%");

    // The slot holds 519 characters and a terminator; nothing is written when
    // the command does not fit, or when the image has no slot for it.
    const std::string longest(519, 'x');
    EXPECT_EQ(build(longest), BuildOutcome::Written);
    EXPECT_EQ(VersionString(Launcher("Velmora"), kTable + u"GameClient").size(), 519u);
    std::filesystem::remove(folder_.path() / "Velmora.exe");
    EXPECT_EQ(build(longest + "x"), BuildOutcome::ClientTooLong);
    const std::string withoutSlot = Fixture("version64.exe");
    EXPECT_EQ(build("game.exe", Bytes(withoutSlot)), BuildOutcome::NoClientSlot);
    EXPECT_EQ(folder_.EntryCount(), 0u);
    EXPECT_NE(OutcomeText(BuildOutcome::ClientTooLong).Chinese(), OutcomeText(BuildOutcome::NoClientSlot).Chinese());
}

TEST_F(Builder, CutsAtTwentyAndTwoHundredBytesOnCharacterBoundaries)
{
    // 19 letters and a space are kept, the space included.
    EXPECT_EQ(Click("ABCDEFGHIJKLMNOPQRS TUVWXYZ", std::string(250, 'u')), BuildOutcome::Written);
    const std::string spaced = Launcher("ABCDEFGHIJKLMNOPQRS ");
    EXPECT_EQ(VersionString(spaced, kTable + u"GameName"), u"ABCDEFGHIJKLMNOPQRS ");
    EXPECT_EQ(VersionString(spaced, kTable + u"ServerList"), std::u16string(200, u'u'));

    // A Chinese character across byte 20 is dropped whole: 19 bytes remain.
    EXPECT_EQ(Click("ABCDEFGHIJKLMNOPQRS中文", "http://a/" + std::string(190, 'x') + "中"), BuildOutcome::Written);
    const std::string cut = Launcher("ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(VersionString(cut, kTable + u"OriginalFilename"), u".\\ABCDEFGHIJKLMNOPQRS.exe");
    EXPECT_EQ(VersionString(cut, kTable + u"ServerList").size(), 199u);

    // Ten Chinese characters are exactly 20 bytes.
    EXPECT_EQ(Click("一二三四五六七八九十百", "http://a/"), BuildOutcome::Written);
    EXPECT_EQ(VersionString(Launcher("一二三四五六七八九十"), kTable + u"GameName"), u"一二三四五六七八九十");
}

TEST_F(Builder, ReplacesAnOldLauncherButNotADirectory)
{
    ReplaceFile(folder_.path() / "Velmora.exe", "old launcher");
    EXPECT_EQ(Click("Velmora", "http://a/"), BuildOutcome::Written);
    EXPECT_EQ(Launcher("Velmora").size(), Stub().size());

    // Something that cannot be replaced is not "in use" just because it was
    // there before: the failure is raised as it is.
    fs::create_directory(folder_.path() / "Dir.exe");
    ReplaceFile(folder_.path() / "Dir.exe" / "inside", "kept");
    try {
        Click("Dir", "http://a/");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_NE(error.Kind(), ErrorKind::InUse);
        EXPECT_EQ(English(error).rfind("Cannot create file \"", 0), 0u) << English(error);
        EXPECT_NE(English(error).find("Dir.exe"), std::string::npos) << English(error);
    }
    EXPECT_EQ(ReadFile(folder_.path() / "Dir.exe" / "inside"), "kept");
    EXPECT_EQ(folder_.EntryCount(), 2u); // no temporary file left behind
}

#ifdef _WIN32
// A launcher that is running cannot be replaced on Windows: that, and only
// that, is the in-use outcome, and the running launcher is kept.
TEST_F(Builder, ALauncherHeldOpenIsReportedAsInUseAndKept)
{
    const fs::path dir = folder_.path() / u8"配置";
    fs::create_directory(dir);
    const LauncherBuilder builder(Stub(), dir);
    const std::string name = Utf8ToGbk("传奇世界");
    ASSERT_EQ(builder.Build(name, "http://list.example.net/"), BuildOutcome::Written);
    const fs::path launcher = dir / u8"传奇世界.exe";
    const std::string before = ReadFile(launcher);
    {
        // As a running program holds its image: no delete sharing.
        const HANDLE running = ::CreateFileW(launcher.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(running, INVALID_HANDLE_VALUE);
        EXPECT_EQ(builder.Build(name, "http://other.example.net/"), BuildOutcome::OldFileInUse);
        ::CloseHandle(running);
    }
    EXPECT_EQ(ReadFile(launcher), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}
#endif

TEST_F(Builder, NamesThatAreNoPlainFileNameAreRefusedWithoutTouchingFiles)
{
    ReplaceFile(folder_.path() / "keep.exe", "kept");
    for (const char* name : {"../escape", "a/b", "a\\b", "c:x", "a*b", "what?", "say\"hi\"", "<x>", "a|b", "a\x01z", ".",
                             ".."}) {
        SCOPED_TRACE(name);
        try {
            LauncherBuilder(Stub(), folder_.path()).Build(name, "http://a/");
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            const std::string message = English(error);
            EXPECT_EQ(message.rfind("Cannot create file \"", 0), 0u) << message;
            EXPECT_NE(message.find("not allowed"), std::string::npos) << message;
        }
    }
    EXPECT_EQ(folder_.EntryCount(), 1u);
    EXPECT_FALSE(fs::exists(folder_.path().parent_path() / "escape.exe"));
    // The refused name shows as typed, Chinese characters too, on every system.
    try {
        LauncherBuilder(Stub(), folder_.path()).Build(Utf8ToGbk("青龙|传奇"), "http://a/");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find(Utf8ToGbk("/青龙|传奇.exe”。这个名字不能用作文件名")), std::string::npos)
            << error.what();
    }

    // A trail byte of the value of '\' belongs to its character and is allowed.
    EXPECT_EQ(Click("乗车", "http://a/"), BuildOutcome::Written);
    EXPECT_TRUE(fs::exists(folder_.path() / Utf8Path("乗车.exe")));
}

TEST_F(Builder, MissingImageAndUnwritableFolderAreErrors)
{
    ReplaceFile(folder_.path() / "Velmora.exe", "old launcher");
    const LauncherBuilder noImage({}, folder_.path());
    EXPECT_THROW(
        {
            try {
                noImage.Build("Velmora", "http://a/");
            } catch (const Error& error) {
                EXPECT_EQ(English(error), "Resource LoginData not found");
                throw;
            }
        },
        Error);
    EXPECT_EQ(ReadFile(folder_.path() / "Velmora.exe"), "old launcher");

    const LauncherBuilder nowhere(Stub(), folder_.path() / "missing");
    try {
        nowhere.Build("Velmora", "http://a/");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(English(error).rfind("Cannot create file \"", 0), 0u) << English(error);
    }
}

TEST_F(Builder, ImageWithoutSlotsIsWrittenUnstampedAndStillReportsSuccess)
{
    const std::string image = Fixture("noversion.exe");
    EXPECT_EQ(Click("Plain", "http://a/", Bytes(image)), BuildOutcome::Written);
    EXPECT_EQ(Launcher("Plain"), image);
}

TEST_F(Builder, StampingThatNeedsALargerFileGrowsTheLauncher)
{
    // The version resource is stored under English while its translation is
    // Chinese: the first stamping adds a second one, which needs a larger file;
    // the later stampings build on it.
    const std::string image = Fixture("otherlang.exe");
    EXPECT_EQ(Click("Velmora", "http://a/", Bytes(image)), BuildOutcome::Written);
    const std::string launcher = Launcher("Velmora");
    EXPECT_GT(launcher.size(), image.size());
    EXPECT_EQ(VersionString(launcher, kTable + u"OriginalFilename"), u".\\Velmora.exe");
    EXPECT_EQ(VersionString(launcher, kTable + u"GameName"), u"Velmora");
    EXPECT_EQ(VersionString(launcher, kTable + u"ServerList"), u"http://a/");
    EXPECT_EQ(folder_.EntryCount(), 1u);
}
