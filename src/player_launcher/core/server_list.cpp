#include "player_launcher/core/server_list.h"

#include "base/text.h"
#include "config/document.h"

#include <nlohmann/json.hpp>

#include <unordered_map>

namespace tarnwick::player {

std::vector<Connection> ConnectionEntries(const ServerEntry& server)
{
    // The writer's own pairing (see DocumentWriter::WriteServer), so that the
    // launcher offers exactly the entries the file was written with.
    std::vector<Connection> entries;
    TokenSplit n{{}, server.Name};
    TokenSplit a{{}, server.Addr};
    TokenSplit p{{}, server.Port};
    for (;;) {
        n = TakeToken(n.Rest, ";");
        a = TakeToken(a.Rest, ";");
        p = TakeToken(p.Rest, ";");
        if (n.Token.empty() || a.Token.empty())
            break;
        entries.push_back({std::move(n.Token), std::move(a.Token), std::move(p.Token)});
    }
    return entries;
}

ServerList ServerListFrom(const SetupModel& model)
{
    ServerList list;
    list.web = model.web;
    list.groups.reserve(model.groups.Count());
    std::unordered_map<std::string_view, std::size_t> firstOfName;
    for (const ServerGroup& group : model.groups) {
        firstOfName.try_emplace(group.Name, list.groups.size());
        list.groups.push_back({group.Name, {}});
    }
    for (const ServerEntry& server : model.servers) {
        const auto found = firstOfName.find(server.Group);
        if (found == firstOfName.end())
            continue;
        list.groups[found->second].servers.push_back(
            {server.ShowName, server.Name, server.Addr, server.Port, ConnectionEntries(server)});
    }
    return list;
}

std::string ListJson(const ServerList& list)
{
    using Json = nlohmann::ordered_json;
    Json groups = Json::array();
    for (const GroupView& group : list.groups) {
        Json servers = Json::array();
        for (const ServerView& server : group.servers) {
            Json entries = Json::array();
            for (const Connection& entry : server.entries)
                entries.push_back(
                    {{"name", GbkToUtf8(entry.name)}, {"addr", GbkToUtf8(entry.addr)}, {"port", GbkToUtf8(entry.port)}});
            servers.push_back({{"showName", GbkToUtf8(server.showName)},
                               {"name", GbkToUtf8(server.name)},
                               {"addr", GbkToUtf8(server.addr)},
                               {"port", GbkToUtf8(server.port)},
                               {"entries", std::move(entries)}});
        }
        groups.push_back({{"name", GbkToUtf8(group.name)}, {"servers", std::move(servers)}});
    }
    Json web = Json::object();
    for (const WebAddressField& field : kWebAddressFields)
        web[field.element] = GbkToUtf8(list.web.*field.member);
    Json document = Json::object();
    document["groups"] = std::move(groups);
    document["web"] = std::move(web);
    return document.dump(2) + "\n";
}

} // namespace tarnwick::player
