// The window's signing: lists and launchers signed when the operator has a
// key, the key made and backed up from the launcher tab, and the game client
// of the launchers made in a session. Keys live in the test's own folders.
#include "base/file_io.h"
#include "base/text.h"
#include "edit/outcome.h"
#include "launcher/byte_reader.h"
#include "launcher/launcher_builder.h"
#include "launcher/pe_image.h"
#include "launcher/resource_tree.h"
#include "launcher/resource_update.h"
#include "scripted_operator.h"
#include "sign/list_signature.h"
#include "sign/trusted_keys.h"
#include "temp_folder.h"
#include "ui/logic/failure_report.h"
#include "ui/logic/main_window_logic.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick::ui {
namespace {

using testing::FixedWindow;
using testing::ScriptedOperator;
using testing::TempFolder;

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

const ResourceId kKeysType = ResourceId::Number(sign::kRcDataType);
const ResourceId kKeysName = ResourceId::Name(std::u16string(sign::kTrustedKeysResource));

// The carried image with a room for keys of `bytes` bytes, whether or not it
// has one: the right size is the room of a launcher that checks signatures,
// any other is none.
std::string ImageWithKeyRoom(std::size_t bytes)
{
    const auto carried = CarriedLauncherImage();
    std::string image(reinterpret_cast<const char*>(carried.data()), carried.size());
    const auto found = LocateResource(carried, PeImage::Parse(carried), kKeysType, kKeysName);
    std::string blob = sign::TrustedKeysBlob({});
    blob.resize(bytes);
    EXPECT_NE(UpdateResource(image, kKeysType, kKeysName, found.empty() ? 0 : found[0].language, AsBytes(blob)),
              ResourceUpdate::Refused);
    return image;
}

std::vector<crypto::PublicKey> StampedKeys(const std::string& launcher)
{
    const auto bytes = AsBytes(launcher);
    const auto found = LocateResource(bytes, PeImage::Parse(bytes), kKeysType, kKeysName);
    if (found.size() != 1)
        return {};
    return sign::ReadTrustedKeys(bytes.subspan(found[0].offset, found[0].size)).value_or(std::vector<crypto::PublicKey>{});
}

// The sample working copy in a folder, and the operator's settings in another.
class Signing : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml",
                                   work.path() / "Tarnwick.xml");
    }

    // A window's logic with the key store, none, or the launcher image given.
    std::unique_ptr<MainWindowLogic> Window(bool withStore = true, std::span<const std::byte> image = CarriedLauncherImage())
    {
        auto logic = std::make_unique<MainWindowLogic>(op, window, image, work.path(),
                                                       withStore ? std::optional(Store()) : std::nullopt);
        logic->LoadWorkingCopy();
        return logic;
    }
    sign::KeyStore Store() const { return sign::KeyStore(settings.path() / "tarnwick"); }
    std::string KeyId() const { return sign::KeyIdOf(Store().Load()->signing.publicKey); }
    std::string Status(MainWindowLogic& logic) const { return GbkToUtf8(logic.Signing().Status().text.Chinese()); }

    TempFolder work;
    TempFolder settings;
    ScriptedOperator op;
    FixedWindow window;
};

TEST_F(Signing, WithoutAKeyNothingIsSignedAndTheNoticesSaySo)
{
    auto logic = Window();
    EXPECT_TRUE(logic->Signing().Status().canCreateKey);
    EXPECT_FALSE(logic->Signing().Status().canExportKey);
    EXPECT_EQ(Status(*logic).rfind("没有签名密钥", 0), 0u) << Status(*logic);

    logic->WriteServerInformation();
    EXPECT_EQ(op.TakeLastText(), "生成配置成功完成！\r\n已写入：" + (work.path() / "ServerInfo.txt").string());
    EXPECT_FALSE(std::filesystem::exists(work.path() / "ServerInfo.txt.sig"));

    logic->SetGameName("Velmora");
    logic->GenerateLauncher();
    EXPECT_EQ(op.TakeLastText(), "登录器生成成功！\r\n已写入：" + (work.path() / "Velmora.exe").string() + "\r\n" +
                                     GbkToUtf8(sign::LauncherTrustText(std::nullopt).Chinese()));
    EXPECT_TRUE(StampedKeys(ReadFile(work.path() / "Velmora.exe")).empty());

    // Where the system names no settings folder there is no key to make.
    auto noStore = Window(false);
    EXPECT_FALSE(noStore->Signing().Status().canCreateKey);
    noStore->Signing().CreateKey();
    EXPECT_TRUE(op.notices.empty());
}

// The confirmation says what losing the key costs; the key is made only on
// OK, never over one that exists, and its backup never over a file.
TEST_F(Signing, TheKeyIsMadeAfterTheWarningAndBackedUpToANewFile)
{
    auto logic = Window();
    op.confirmations = {false};
    logic->Signing().CreateKey();
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].kind, NoticeKind::Confirmation);
    EXPECT_NE(op.notices[0].text.find("只接受用它签名的服务器列表"), std::string::npos);
    EXPECT_NE(op.notices[0].text.find("离线保存"), std::string::npos);
    EXPECT_FALSE(Store().Exists());

    op.notices.clear();
    logic->Signing().CreateKey();
    ASSERT_TRUE(Store().Exists());
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Success);
    EXPECT_NE(op.TakeLastText().find(KeyId()), std::string::npos);
    EXPECT_NE(Status(*logic).find(KeyId()), std::string::npos);
    EXPECT_FALSE(logic->Signing().Status().canCreateKey);
    EXPECT_TRUE(logic->Signing().Status().canExportKey);

    // Another program made one since: it stays.
    const std::string keys = ReadFile(Store().KeyFile());
    logic->Signing().CreateKey();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Refusal);
    EXPECT_EQ(ReadFile(Store().KeyFile()), keys);

    op.notices.clear();
    logic->Signing().ExportKey(); // cancelled
    EXPECT_TRUE(op.notices.empty());
    const std::filesystem::path backup = work.path() / "backup.txt";
    op.files = {backup};
    logic->Signing().ExportKey();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Success);
    EXPECT_EQ(sign::ParseKeyFile(ReadFile(backup), backup).signing.publicKey, Store().Load()->signing.publicKey);
    ReplaceFile(backup, "mine");
    op.files = {backup};
    logic->Signing().ExportKey();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Refusal);
    EXPECT_EQ(ReadFile(backup), "mine");
}

// The list is signed, and the notice names the key and every entry whose
// download the list does not pin.
TEST_F(Signing, ServerInfoIsSignedAndUnpinnedEntriesAreNamed)
{
    ASSERT_TRUE(Store().Create());
    auto logic = Window();
    logic->WriteServerInformation();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Success);
    const std::string text = op.TakeLastText();
    const std::string file = (work.path() / "ServerInfo.txt").string();
    EXPECT_EQ(text.rfind("生成配置成功完成！\r\n已写入：" + file + "\r\n已写入：" + file + ".sig\r\n已用密钥 " + KeyId() + " 签名", 0), 0u)
        << text;
    // The sample's one entry checks that its file exists, with no digest.
    EXPECT_NE(text.find("检查签名的登录器不会安装它们：\r\n1. new files\r\n"), std::string::npos) << text;
    const auto signature = sign::ParseSignatureFile(ReadFile(work.path() / "ServerInfo.txt.sig")).signature;
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->keyId, KeyId());

    // Pinned entries are not named; an unpinned one without a hint is named
    // by its save name.
    logic.reset();
    const std::string entry = "<Config SDir=\".\\\" DUrl=\"http://h/f\" ZIP=\"0\" Check=\"3\" DType=\"0\" "
                              "Date=\"1\" VAR=\"1\" ";
    ReplaceFile(work.path() / "Tarnwick.xml",
                "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup><UpDate>" + entry +
                    "FName=\"a\" MD5=\"\" ID=\"" + std::string(32, 'a') + "\">pinned</Config>" + entry +
                    "FName=\"b\" MD5=\"" + std::string(32, 'b') + "\" ID=\"\">by its MD5</Config>" + entry +
                    "FName=\"c.dat\" MD5=\"\" ID=\"20050505\"></Config></UpDate></XMLSetup>");
    logic = Window();
    logic->WriteServerInformation();
    const std::string second = op.TakeLastText();
    EXPECT_NE(second.find("它们：\r\n3. c.dat\r\n\r\n"), std::string::npos) << second;
    EXPECT_EQ(second.find("1. "), std::string::npos);
    EXPECT_EQ(second.find("2. "), std::string::npos);
}

// A launcher made with a key trusts both public keys; an image without their
// room makes none, and says why.
TEST_F(Signing, LaunchersCarryThePublicKeysOrAreRefused)
{
    ASSERT_TRUE(Store().Create());
    const std::string roomy = ImageWithKeyRoom(sign::kTrustedKeysBytes);
    auto logic = Window(true, AsBytes(roomy));
    logic->SetGameName("Velmora");
    logic->GenerateLauncher();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Success);
    const std::string text = op.TakeLastText();
    EXPECT_EQ(text.rfind("登录器生成成功！\r\n", 0), 0u);
    EXPECT_NE(text.find(KeyId()), std::string::npos);
    const sign::SigningKeys keys = *Store().Load();
    const std::vector<crypto::PublicKey> expected = {keys.signing.publicKey, keys.backup.publicKey};
    EXPECT_EQ(StampedKeys(ReadFile(work.path() / "Velmora.exe")), expected);

    const std::string cramped = ImageWithKeyRoom(40);
    auto refused = Window(true, AsBytes(cramped));
    refused->SetGameName("Other");
    refused->GenerateLauncher();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Refusal);
    EXPECT_EQ(op.TakeLastText(), GbkToUtf8(OutcomeText(BuildOutcome::NoKeySlot).Chinese()));
    EXPECT_FALSE(std::filesystem::exists(work.path() / "Other.exe"));
}

// A key file that cannot be used is said on the tab and refuses the writing:
// the published list stays as it was.
TEST_F(Signing, ADamagedKeyFileIsToldAndWritesNothing)
{
    std::filesystem::create_directories(Store().Folder());
    ReplaceFile(Store().KeyFile(), "Tarnwick signing keys 1\nbroken\n");
    ReplaceFile(work.path() / "ServerInfo.txt", "published");
    auto logic = Window();
    EXPECT_EQ(Status(*logic).rfind("签名密钥无法使用", 0), 0u) << Status(*logic);
    EXPECT_FALSE(logic->Signing().Status().canCreateKey);
    EXPECT_FALSE(RunGuarded(op, [&] { logic->WriteServerInformation(); }));
    EXPECT_EQ(ReadFile(work.path() / "ServerInfo.txt"), "published");
    logic->SetGameName("Velmora");
    EXPECT_FALSE(RunGuarded(op, [&] { logic->GenerateLauncher(); }));
    EXPECT_FALSE(std::filesystem::exists(work.path() / "Velmora.exe"));
}

// The client command reaches the launcher only: Tarnwick.xml and
// ServerInfo.txt are written byte for byte as without it.
TEST_F(Signing, TheGameClientGoesIntoTheLauncherOnly)
{
    auto plain = Window();
    plain->SaveConfiguration();
    plain->WriteServerInformation();
    const std::string document = ReadFile(work.path() / "Tarnwick.xml");
    const std::string list = ReadFile(work.path() / "ServerInfo.txt");
    plain.reset();

    auto logic = Window();
    logic->SetGameName("Velmora");
    logic->SetClientCommand(G(" \t "));
    op.notices.clear();
    logic->GenerateLauncher();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Refusal);
    EXPECT_EQ(op.TakeLastText(), GbkToUtf8(edit::RefusalNotice(edit::Outcome::ClientCommandBlank).text.Chinese()));
    EXPECT_FALSE(std::filesystem::exists(work.path() / "Velmora.exe"));

    logic->SetClientCommand(std::string(520, 'x'));
    logic->GenerateLauncher();
    EXPECT_EQ(op.TakeLastText(), GbkToUtf8(OutcomeText(BuildOutcome::ClientTooLong).Chinese()));

    logic->SetClientCommand(G("  游戏\\game.exe -s %addr% -p %port% "));
    logic->GenerateLauncher();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Success);
    const std::u16string stamped = u"游戏\\game.exe -s %addr% -p %port%";
    const std::string launcher = ReadFile(work.path() / "Velmora.exe");
    EXPECT_NE(launcher.find(std::string(reinterpret_cast<const char*>(stamped.data()), stamped.size() * 2)),
              std::string::npos);

    EXPECT_FALSE(logic->HasUnsavedEdits());
    logic->SaveConfiguration();
    logic->WriteServerInformation();
    EXPECT_EQ(ReadFile(work.path() / "Tarnwick.xml"), document);
    EXPECT_EQ(ReadFile(work.path() / "ServerInfo.txt"), list);
}

} // namespace
} // namespace tarnwick::ui
