#include "player_fixtures.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/stamped_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
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

ListFailure Failure(ListProblem problem, long code = 0, std::string detail = {}) { return {problem, code, std::move(detail)}; }

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
        EXPECT_EQ(result.failure.problem, ListProblem::Damaged);
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

TEST(ListFailure, EachCauseHasItsMessageAndStatus)
{
    struct Row {
        ListFailure failure;
        const char* says;
        int status;
    };
    const Row rows[] = {
        {Failure(ListProblem::NotStamped), "没有设置服务器列表地址", 2},
        {Failure(ListProblem::BadAddress, 0, "不打开“file:”类型的地址"), "不打开“file:”", 2},
        {Failure(ListProblem::NoConnection, 12029, "list.example.net"), "无法连接到“list.example.net”", 2},
        {Failure(ListProblem::NoConnection, 12029, "list.example.net"), "12029", 2},
        {Failure(ListProblem::Timeout), "超时", 2},
        {Failure(ListProblem::HttpStatus, 404), "HTTP 404（服务器上没有这个文件）", 2},
        {Failure(ListProblem::HttpStatus, 500), "HTTP 500（服务器内部错误）", 2},
        {Failure(ListProblem::HttpStatus, 418), "HTTP 418。", 2},
        {Failure(ListProblem::Redirect), "转到了不允许的地址", 2},
        {Failure(ListProblem::Redirect, 0, "转向超过 5 次"), "转向有误：转向超过 5 次", 2},
        {Failure(ListProblem::SecureChannel, 12175), "安全连接", 2},
        {Failure(ListProblem::Network, 12030), "网络错误", 2},
        {Failure(ListProblem::Incomplete, 0, "8 B / 4.9 KB"), "在 8 B / 4.9 KB 处中断", 2},
        {Failure(ListProblem::TooLarge), "64.0 MB 的上限", 1},
        {Failure(ListProblem::Damaged, 0, "ServerInfo.txt, line 7: ..."), "ServerInfo.txt, line 7: ...", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        EXPECT_TRUE(Contains(FailureText(row.failure), row.says)) << FailureText(row.failure);
        EXPECT_EQ(ExitStatus(row.failure.problem), row.status);
    }
    EXPECT_EQ(ExitStatus(ListProblem::None), 0);
}

TEST(ListFailure, OnlyPassingTroubleIsTriedAgain)
{
    EXPECT_TRUE(WorthRetrying(Failure(ListProblem::Timeout)));
    EXPECT_TRUE(WorthRetrying(Failure(ListProblem::NoConnection)));
    EXPECT_TRUE(WorthRetrying(Failure(ListProblem::HttpStatus, 503)));
    EXPECT_TRUE(WorthRetrying(Failure(ListProblem::Incomplete)));
    EXPECT_FALSE(WorthRetrying(Failure(ListProblem::HttpStatus, 404)));
    EXPECT_FALSE(WorthRetrying(Failure(ListProblem::Redirect)));
    EXPECT_FALSE(WorthRetrying(Failure(ListProblem::TooLarge)));
    EXPECT_FALSE(WorthRetrying(Failure(ListProblem::Damaged)));
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
