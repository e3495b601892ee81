#include "player_fixtures.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/stamped_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

using namespace tarnwick;
using namespace tarnwick::player;
using namespace tarnwick::testing;

namespace {

KeyMaterial OtherKey()
{
    KeyMaterial key = BuiltInKey();
    std::reverse(key.SubstTable.begin(), key.SubstTable.end());
    return key;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

DownloadFailure Failure(DownloadProblem problem, long code = 0, std::string detail = {}) { return {problem, code, std::move(detail)}; }

} // namespace

TEST(ReadServerList, RefusesWhatIsNotAWholeListWithTheReadersReason)
{
    const std::string file = ServerInfoOf(PlayerModel());
    static const KeyMaterial other = OtherKey();
    struct Row {
        const char* what;
        std::function<std::string(std::string)> change;
        const char* reason; // part of the reader's message, as players read it
        const KeyMaterial& key = BuiltInKey();
    };
    const Row rows[] = {
        {"cut short", [](std::string f) { return f.substr(0, f.size() / 2); }, "它被截短了"},
        {"cut before its last line", [](std::string f) { return f.substr(0, f.size() - 6); }, "它被截短了"},
        {"a changed byte", [](std::string f) { f.at(f.find("<Group Name=\"") + 21) ^= 1; return f; },
         "第 5 行：分组的 Name已损坏"},
        {"other key material", [](std::string f) { return f; }, "不是用这套密钥材料写的", other},
        {"an error page", [](std::string) { return std::string("<html>404</html>"); }, "这不是服务器信息文件"},
        {"an empty body", [](std::string) { return std::string(); }, "ServerInfo.txt 是空的"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ListResult result = ReadServerList(row.change(file), row.key);
        EXPECT_FALSE(result.list);
        EXPECT_EQ(result.failure.problem, DownloadProblem::Damaged);
        EXPECT_TRUE(Contains(result.failure.detail, row.reason)) << result.failure.detail;
        EXPECT_TRUE(Contains(FailureText(result.failure), result.failure.detail));
        EXPECT_EQ(ExitStatus(result.failure.problem), 1);
    }
}

TEST(ListBody, HoldsTheBodyToItsLimit)
{
    // A 100 MB body is refused on its announced length, before it is read.
    ListBody announced;
    EXPECT_FALSE(announced.Expect(100u * 1000 * 1000));
    EXPECT_TRUE(ListBody().Expect(kMaxListBytes));

    // A body that never ends, or lies about its length, stops at the limit
    // with nothing of the chunk that would pass it.
    ListBody endless(10);
    EXPECT_TRUE(endless.Expect(std::nullopt));
    EXPECT_TRUE(endless.Append("0123"));
    EXPECT_TRUE(endless.Append("456789"));
    EXPECT_FALSE(endless.Append("x"));
    EXPECT_EQ(endless.Bytes(), "0123456789");

    ListBody lying(10);
    EXPECT_TRUE(lying.Expect(4));
    EXPECT_FALSE(lying.Append(std::string(11, 'x')));
    EXPECT_EQ(lying.Received(), 0u);
}

TEST(DownloadFailure, EachCauseHasItsMessageAndStatus)
{
    struct Row {
        DownloadFailure failure;
        const char* says;
        int status;
    };
    const Row rows[] = {
        {Failure(DownloadProblem::NotStamped), "没有设置服务器列表地址", 2},
        {Failure(DownloadProblem::BadAddress, 0, "不打开“file:”类型的地址"), "不打开“file:”", 2},
        {Failure(DownloadProblem::NoConnection, 12029, "list.example.net"), "无法连接到“list.example.net”", 2},
        {Failure(DownloadProblem::NoConnection, 12029, "list.example.net"), "12029", 2},
        {Failure(DownloadProblem::Timeout), "超时", 2},
        {Failure(DownloadProblem::HttpStatus, 404), "HTTP 404（服务器上没有这个文件）", 2},
        {Failure(DownloadProblem::HttpStatus, 500), "HTTP 500（服务器内部错误）", 2},
        {Failure(DownloadProblem::HttpStatus, 418), "HTTP 418。", 2},
        {Failure(DownloadProblem::Redirect), "转到了不允许的地址", 2},
        {Failure(DownloadProblem::Redirect, 0, "转向超过 5 次"), "转向有误：转向超过 5 次", 2},
        {Failure(DownloadProblem::SecureChannel, 12175), "安全连接", 2},
        {Failure(DownloadProblem::Network, 12030), "网络错误", 2},
        {Failure(DownloadProblem::Incomplete, 0, "8 B / 4.9 KB"), "在 8 B / 4.9 KB 处中断", 2},
        {Failure(DownloadProblem::TooLarge), "64.0 MB 的上限", 1},
        {Failure(DownloadProblem::Damaged, 0, "ServerInfo.txt, line 7: ..."), "ServerInfo.txt, line 7: ...", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        EXPECT_TRUE(Contains(FailureText(row.failure), row.says)) << FailureText(row.failure);
        EXPECT_EQ(ExitStatus(row.failure.problem), row.status);
    }
    EXPECT_EQ(ExitStatus(DownloadProblem::None), 0);
}

namespace {

// A run of three or more Latin words (letters in each, between blanks) with
// nothing Chinese between them: a sentence the player may not read.
bool HoldsLatinSentence(const std::string& text)
{
    int words = 0;
    bool inWord = false, lettered = false;
    for (const char c : text + " ") {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            words = 0;
            inWord = lettered = false;
        } else if (c == ' ') {
            if (inWord && lettered && ++words >= 3)
                return true;
            inWord = lettered = false;
        } else {
            inWord = true;
            lettered = lettered || std::isalpha(byte);
        }
    }
    return false;
}

// Every failure, of the list and of an update file, names what failed in
// Chinese and says what the player can do; the advice follows the cause.
} // namespace

TEST(DownloadFailure, EveryTextNamesWhatFailedAndWhatToDo)
{
    const DownloadFailure failures[] = {
        Failure(DownloadProblem::NotStamped),
        Failure(DownloadProblem::BadAddress, 0, "地址的格式不对"),
        Failure(DownloadProblem::NoConnection, 12029, "list.example.net"),
        Failure(DownloadProblem::Timeout, 0, "list.example.net"),
        Failure(DownloadProblem::HttpStatus, 404),
        Failure(DownloadProblem::HttpStatus, 503),
        Failure(DownloadProblem::HttpStatus, 418),
        Failure(DownloadProblem::Redirect),
        Failure(DownloadProblem::Redirect, 0, "转向超过 5 次"),
        Failure(DownloadProblem::SecureChannel, 12175, "list.example.net"),
        Failure(DownloadProblem::Network, 12030, "list.example.net"),
        Failure(DownloadProblem::Incomplete, 0, "8 B / 4.9 KB"),
        Failure(DownloadProblem::TooLarge),
        Failure(DownloadProblem::Damaged, 0, "第 7 行：没有分隔符"),
        Failure(DownloadProblem::Unsigned),
        Failure(DownloadProblem::OtherKey, 0, "1A2B3C4D"),
        Failure(DownloadProblem::BadSignature, 0, "签名与列表不符"),
        Failure(DownloadProblem::Older, 0, "7 < 9"),
        Failure(DownloadProblem::KeysDamaged),
    };
    for (const Subject& subject : {Subject::List(), Subject::File("patch.bin")}) {
        for (const DownloadFailure& failure : failures) {
            const std::string text = FailureText(failure, subject);
            SCOPED_TRACE(text);
            EXPECT_FALSE(HoldsLatinSentence(text));
            EXPECT_TRUE(Contains(text, "请")) << "no advice";
            // The keys are the launcher's own, whatever was being downloaded.
            if (failure.problem != DownloadProblem::KeysDamaged) {
                EXPECT_TRUE(Contains(text, subject.IsList() ? "服务器列表" : "更新文件“patch.bin”"));
            }
            if (!subject.IsList()) {
                EXPECT_FALSE(Contains(text, "服务器列表时"));
            }
        }
        const auto advice = [&](DownloadFailure failure) { return FailureText(failure, subject); };
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::NoConnection, 12029, "h")), "检查网络"));
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::NoConnection, 12029, "h")), "稍后再试"));
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::Network, 12030, "h")), "检查网络"));
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::Timeout, 0, "h")), "检查网络"));
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::SecureChannel, 12175, "h")), "日期和时间"));
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::HttpStatus, 404)), "联系游戏管理员"));
        EXPECT_TRUE(Contains(advice(Failure(DownloadProblem::HttpStatus, 503)), "稍后再试"));
        EXPECT_FALSE(Contains(advice(Failure(DownloadProblem::HttpStatus, 503)), "联系游戏管理员"));
    }
    EXPECT_EQ(FailureText(Failure(DownloadProblem::None), Subject::File("patch.bin")), "");
    // The test itself tells a Latin sentence from Latin names among Chinese.
    EXPECT_TRUE(HoldsLatinSentence("无法连接：Connection was refused"));
    EXPECT_FALSE(HoldsLatinSentence("服务器返回 HTTP 404（ServerInfo.txt.sig）"));
}

TEST(DownloadFailure, OnlyPassingTroubleIsTriedAgain)
{
    EXPECT_TRUE(WorthRetrying(Failure(DownloadProblem::Timeout)));
    EXPECT_TRUE(WorthRetrying(Failure(DownloadProblem::NoConnection)));
    EXPECT_TRUE(WorthRetrying(Failure(DownloadProblem::HttpStatus, 503)));
    EXPECT_TRUE(WorthRetrying(Failure(DownloadProblem::Incomplete)));
    EXPECT_FALSE(WorthRetrying(Failure(DownloadProblem::HttpStatus, 404)));
    EXPECT_FALSE(WorthRetrying(Failure(DownloadProblem::Redirect)));
    EXPECT_FALSE(WorthRetrying(Failure(DownloadProblem::TooLarge)));
    EXPECT_FALSE(WorthRetrying(Failure(DownloadProblem::Damaged)));
}

TEST(Progress, ShowsTheShareWhenTheLengthIsKnown)
{
    EXPECT_EQ(ProgressText(1572864, 23068672), "正在下载服务器列表：1.5 MB / 22.0 MB（6%）");
    EXPECT_EQ(ProgressText(1572864, std::nullopt), "正在下载服务器列表：1.5 MB");
    EXPECT_EQ(ProgressText(512, 5000), "正在下载服务器列表：512 B / 4.9 KB（10%）");
    // A server that sends more than it announced is at 100%, not past it.
    EXPECT_EQ(ProgressText(2097152, 1048576), "正在下载服务器列表：2.0 MB / 1.0 MB（100%）");
}

TEST(StampedStrings, AnUnstampedOrBlankSlotConfiguresNothing)
{
    EXPECT_EQ(Configured(kServerListPlaceholder, kServerListPlaceholder), std::nullopt);
    EXPECT_EQ(Configured(u"  \t", kServerListPlaceholder), std::nullopt);
    EXPECT_EQ(Configured(u" http://a/ ", kServerListPlaceholder), u"http://a/");
    // The stamp's terminator ends the value; a cut-off placeholder is a value.
    EXPECT_EQ(Configured(kGameClientPlaceholder.substr(0, 10), kGameClientPlaceholder), u"GameClient");

    // Each slot keeps the room the builder and its tests rely on.
    EXPECT_EQ(kGameNamePlaceholder.size() + 1, 21u);
    EXPECT_EQ(kServerListPlaceholder.size() + 1, 201u);
    EXPECT_GE(kGameClientPlaceholder.size() + 1, 261u);

    const LauncherSettings unstamped =
        SettingsFrom({std::u16string(kGameNamePlaceholder), std::u16string(kServerListPlaceholder),
                      std::u16string(kGameClientPlaceholder)});
    EXPECT_EQ(unstamped.title, u"登录器");
    EXPECT_FALSE(unstamped.listUrl);
    EXPECT_FALSE(unstamped.gameClient);
    const LauncherSettings stamped = SettingsFrom({u"Velmora传奇", u"http://a/ServerInfo.txt", u"game.exe %addr%"});
    EXPECT_EQ(stamped.title, u"Velmora传奇");
    EXPECT_EQ(stamped.listUrl, u"http://a/ServerInfo.txt");
    EXPECT_EQ(stamped.gameClient, u"game.exe %addr%");

    EXPECT_EQ(PrintText({u"Velmora", std::u16string(kServerListPlaceholder), u" "}),
              u"GameName: Velmora\nServerList: \nGameClient:  \n");
}
