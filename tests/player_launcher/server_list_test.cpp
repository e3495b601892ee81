#include "player_fixtures.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/server_list.h"
#include "config/update_rules.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tarnwick;
using namespace tarnwick::player;
using namespace tarnwick::testing;

TEST(ConnectionEntries, PairsTheListsAsTheDocumentDoes)
{
    struct Row {
        const char* what;
        ServerEntry server;
        std::vector<ConnectionEntry> entries;
    };
    const Row rows[] = {
        {"one entry", {"g", "s", "a", "1.2.3.4", "7000"}, {{"a", "1.2.3.4", "7000"}}},
        {"two entries", {"g", "s", "a;b", "h1;h2", "1;2"}, {{"a", "h1", "1"}, {"b", "h2", "2"}}},
        {"no entry", {"g", "s", "", "", ""}, {}},
        // A missing port stays empty; a missing name or address ends the list.
        {"fewer ports", {"g", "s", "a;b", "h1;h2", "1"}, {{"a", "h1", "1"}, {"b", "h2", ""}}},
        {"fewer addresses", {"g", "s", "a;b;c", "h1;h2", "1;2;3"}, {{"a", "h1", "1"}, {"b", "h2", "2"}}},
        {"fewer names", {"g", "s", "a", "h1;h2", "1;2"}, {{"a", "h1", "1"}}},
        // The splitter skips empty tokens, as the writer's does.
        {"empty tokens", {"g", "s", ";a;;b", "h1;;h2", "1;2"}, {{"a", "h1", "1"}, {"b", "h2", "2"}}},
        {"longer than the splitter takes", {"g", "s", std::string(40000, 'n'), "h", "1"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(ConnectionEntriesOf(row.server), row.entries);
    }
}

TEST(ServerList, ReadsGroupsAndServersInTheFilesOrder)
{
    const ListResult result = ReadServerList(ServerInfoOf(PlayerModel()));
    ASSERT_TRUE(result.list) << result.failure.detail;
    const ServerList& list = *result.list;
    ASSERT_EQ(list.groups.size(), 2u);
    EXPECT_EQ(list.groups[0].name, "华东一区");
    EXPECT_EQ(list.groups[1].name, "华北二区");
    // Servers keep their order within a group, whatever the model's order across groups.
    ASSERT_EQ(list.groups[0].servers.size(), 2u);
    EXPECT_EQ(list.groups[0].servers[0].showName, "电信一线");
    EXPECT_EQ(list.groups[0].servers[1].showName, "维护中");
    EXPECT_EQ(list.groups[0].servers[0].name, "电信;网通");
    EXPECT_EQ(list.groups[0].servers[0].entries,
              (std::vector<Connection>{{"电信", "10.0.0.1", "7000"}, {"网通", "10.0.0.2", "7001"}}));
    EXPECT_TRUE(list.groups[0].servers[1].entries.empty());
    EXPECT_EQ(list.groups[1].servers.at(0).addr, "game.example.net");
    EXPECT_EQ(list.web.loginFrame, "http://example.net/frame");
    EXPECT_EQ(list.web.home, "http://example.net/");
    EXPECT_EQ(list.web.payment2, "http://example.net/pay2");
    EXPECT_EQ(list.web.contactGm, "http://example.net/gm");
    EXPECT_EQ(list.web.payment, "http://example.net/pay");
}

// Bytes that are no GBK show as U+FFFD wherever the list is shown; where
// they would name a file or an address, the entry says so, for the updater
// to refuse it.
TEST(ServerList, TextThatDoesNotConvertShowsAsReplaced)
{
    const std::string bad = Utf8ToGbk("华") + "\xFF" + Utf8ToGbk("东"); // 0xFF starts no GBK character
    const std::string shown = "华\uFFFD东";
    SetupModel model;
    model.groups.Append({bad});
    model.servers.Append({bad, bad, bad + ";b", "h;" + bad, "1;2"});
    model.web.HomeUrl = "http://example.net/" + bad;
    UpdateEntry update;
    update.Hint = bad;
    update.SaveDir = ".\\" + bad + "\\";
    update.SaveName = "a.dat";
    update.DownUrl = "http://h/a.dat";
    model.updates.Append(update);
    update.SaveDir = ".\\";
    update.SaveName = bad;
    model.updates.Append(update);
    update.SaveName = "a.dat";
    update.DownUrl = "http://h/" + bad;
    model.updates.Append(update);

    const ServerList list = ServerListFrom(model);
    ASSERT_EQ(list.groups.size(), 1u);
    EXPECT_EQ(list.groups[0].name, shown);
    ASSERT_EQ(list.groups[0].servers.size(), 1u);
    const ServerView& server = list.groups[0].servers[0];
    EXPECT_EQ(server.showName, shown);
    EXPECT_EQ(server.name, shown + ";b");
    EXPECT_EQ(server.entries, (std::vector<Connection>{{shown, "h", "1"}, {"b", shown, "2"}}));
    EXPECT_EQ(list.web.home, "http://example.net/" + shown);
    EXPECT_NE(ListJson(list).find("\"name\":\"" + shown + "\""), std::string::npos);

    ASSERT_EQ(list.updates.size(), 3u);
    EXPECT_EQ(list.updates[0].hint, shown);
    EXPECT_EQ(list.updates[0].saveDir, ".\\" + shown + "\\");
    EXPECT_FALSE(list.updates[0].pathConverts);
    EXPECT_FALSE(list.updates[1].pathConverts);
    EXPECT_TRUE(list.updates[1].urlConverts);
    EXPECT_TRUE(list.updates[2].pathConverts);
    EXPECT_FALSE(list.updates[2].urlConverts);
}

// The entry's words and digests are decided once, by the rules the
// operator's signing shares: what it warns of is what launchers refuse.
TEST(ServerList, UpdateEntriesAreDecidedByTheSharedRules)
{
    UpdateEntry entry;
    entry.Hint = Utf8ToGbk("补丁");
    entry.SaveDir = Utf8ToGbk(".\\数据\\");
    entry.SaveName = "client.exe";
    entry.Zip = words::kNo;
    entry.CheckType = words::kCheckMd5;
    entry.DownType = words::kDownDirect;
    entry.Ver = "7";
    entry.Date = Utf8ToGbk("二月");
    entry.MD5 = " 0123456789ABCDEF0123456789ABCDEF";
    entry.DownMD5 = "20050505";
    const UpdateItem item = ItemOf(entry);
    EXPECT_EQ(item.hint, "补丁");
    EXPECT_EQ(item.saveDir, ".\\数据\\");
    EXPECT_EQ(item.date, "二月");
    EXPECT_EQ(item.version, "7");
    EXPECT_EQ(item.md5, entry.MD5);
    EXPECT_FALSE(item.zip);
    EXPECT_EQ(item.check, CheckKind::Md5);
    EXPECT_TRUE(item.direct);
    EXPECT_TRUE(item.pathConverts);
    EXPECT_EQ(item.wantedMd5, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(item.downloadDigest, std::nullopt);
    EXPECT_EQ(item.pinnedDigest, PinnedDigest(entry));
    EXPECT_EQ(item.pinnedDigest, item.wantedMd5);

    entry.Zip = words::kYes; // a zip's MD5 names no download
    entry.CheckType = words::kCheckPak;
    entry.DownType = words::kDownAlbum;
    const UpdateItem zip = ItemOf(entry);
    EXPECT_TRUE(zip.zip);
    EXPECT_EQ(zip.check, CheckKind::Pak);
    EXPECT_FALSE(zip.direct);
    EXPECT_EQ(zip.pinnedDigest, std::nullopt);
    entry.DownMD5 = "FEDCBA9876543210FEDCBA9876543210";
    EXPECT_EQ(ItemOf(entry).downloadDigest, "fedcba9876543210fedcba9876543210");
    EXPECT_EQ(ItemOf(entry).pinnedDigest, ItemOf(entry).downloadDigest);
}

TEST(ServerList, ARepeatedGroupNameShowsItsServersOnce)
{
    SetupModel model;
    model.groups.Append({"A"});
    model.groups.Append({"B"});
    model.groups.Append({"A"});
    model.servers.Append({"A", "one", "n", "h", "1"});
    model.servers.Append({"B", "two", "n", "h", "1"});
    const ServerList list = ServerListFrom(model);
    ASSERT_EQ(list.groups.size(), 3u);
    EXPECT_EQ(list.groups[0].servers.size(), 1u);
    EXPECT_EQ(list.groups[1].servers.size(), 1u);
    EXPECT_TRUE(list.groups[2].servers.empty());
}

TEST(ListJson, HasTheShapeThatScriptsRead)
{
    const ListResult result = ReadServerList(ServerInfoOf(PlayerModel()));
    ASSERT_TRUE(result.list);
    const std::string text = ListJson(*result.list);
    ASSERT_EQ(text.back(), '\n');
    const auto json = nlohmann::ordered_json::parse(text);

    // Exactly these keys, in this order: other programs compare the output.
    const auto keys = [](const nlohmann::ordered_json& object) {
        std::vector<std::string> names;
        for (const auto& item : object.items())
            names.push_back(item.key());
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(keys(json), (Names{"groups", "web"}));
    EXPECT_EQ(keys(json["groups"][0]), (Names{"name", "servers"}));
    EXPECT_EQ(keys(json["groups"][0]["servers"][0]), (Names{"showName", "name", "addr", "port", "entries"}));
    EXPECT_EQ(keys(json["groups"][0]["servers"][0]["entries"][0]), (Names{"name", "addr", "port"}));
    EXPECT_EQ(keys(json["web"]), (Names{"Loginframe", "ContactGM", "Payment", "Payment2", "Home"}));

    // UTF-8 text; the server's fields joined as the reader gives them.
    const auto& server = json["groups"][0]["servers"][0];
    EXPECT_EQ(json["groups"][0]["name"], "华东一区");
    EXPECT_EQ(server["name"], "电信;网通");
    EXPECT_EQ(server["port"], "7000;7001");
    EXPECT_EQ(server["entries"][1]["name"], "网通");
    EXPECT_EQ(json["groups"][0]["servers"][1]["entries"], nlohmann::ordered_json::array());
    EXPECT_EQ(json["web"]["Payment"], "http://example.net/pay");
    EXPECT_EQ(json["web"]["Home"], "http://example.net/");
}

TEST(ListJson, EscapesWhatJsonMust)
{
    ServerList list;
    list.groups.push_back({"quote \" backslash \\ tab \t", {}});
    const auto json = nlohmann::json::parse(ListJson(list));
    EXPECT_EQ(json["groups"][0]["name"], "quote \" backslash \\ tab \t");
    EXPECT_EQ(json["web"]["Home"], "");
}

// Scripts compare the output with what launchers printed before: the bytes,
// not only the document, stay as they were.
TEST(ListJson, PrintsTheSameBytesAsEver)
{
    SetupModel model = PlayerModel();
    model.groups.Append({"quote \" backslash \\ tab \t <>&/"});
    EXPECT_EQ(ListJson(ServerListFrom(model)),
              R"({"groups":[{"name":"华东一区","servers":[{"showName":"电信一线","name":"电信;网通",)"
              R"("addr":"10.0.0.1;10.0.0.2","port":"7000;7001","entries":[{"name":"电信","addr":"10.0.0.1","port":"7000"},)"
              R"({"name":"网通","addr":"10.0.0.2","port":"7001"}]},{"showName":"维护中","name":"","addr":"","port":"",)"
              R"("entries":[]}]},{"name":"华北二区","servers":[{"showName":"双线","name":"双线","addr":"game.example.net",)"
              R"("port":"7100","entries":[{"name":"双线","addr":"game.example.net","port":"7100"}]}]},)"
              R"({"name":"quote \" backslash \\ tab \t <>&/","servers":[]}],"web":{"Loginframe":"http://example.net/frame",)"
              R"("ContactGM":"http://example.net/gm","Payment":"http://example.net/pay","Payment2":"http://example.net/pay2",)"
              R"("Home":"http://example.net/"}})" "\n");
}
