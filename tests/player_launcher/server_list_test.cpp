#include "player_fixtures.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/server_list.h"

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
        std::vector<Connection> entries;
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
    EXPECT_EQ(list.groups[0].name, Utf8ToGbk("华东一区"));
    EXPECT_EQ(list.groups[1].name, Utf8ToGbk("华北二区"));
    // Servers keep their order within a group, whatever the model's order across groups.
    ASSERT_EQ(list.groups[0].servers.size(), 2u);
    EXPECT_EQ(list.groups[0].servers[0].showName, Utf8ToGbk("电信一线"));
    EXPECT_EQ(list.groups[0].servers[1].showName, Utf8ToGbk("维护中"));
    EXPECT_EQ(list.groups[0].servers[0].entries,
              (std::vector<Connection>{{Utf8ToGbk("电信"), "10.0.0.1", "7000"}, {Utf8ToGbk("网通"), "10.0.0.2", "7001"}}));
    EXPECT_TRUE(list.groups[0].servers[1].entries.empty());
    EXPECT_EQ(list.groups[1].servers.at(0).addr, "game.example.net");
    EXPECT_EQ(list.web.PayUrl2, "http://example.net/pay2");
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
