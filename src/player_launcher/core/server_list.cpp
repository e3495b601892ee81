#include "player_launcher/core/server_list.h"

#include "base/text.h"
#include "config/document.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <unordered_map>

namespace tarnwick::player {

ServerList ServerListFrom(SetupModel model)
{
    ServerList list;
    list.web = std::move(model.web);
    list.updates.reserve(model.updates.Count());
    for (std::size_t row = 0; row < model.updates.Count(); ++row)
        list.updates.push_back(std::move(model.updates.At(row)));
    list.groups.reserve(model.groups.Count());
    std::unordered_map<std::string_view, std::size_t> firstOfName;
    for (const ServerGroup& group : model.groups) {
        firstOfName.try_emplace(group.Name, list.groups.size());
        list.groups.push_back({group.Name, {}});
    }
    for (std::size_t row = 0; row < model.servers.Count(); ++row) {
        ServerEntry& server = model.servers.At(row);
        const auto found = firstOfName.find(server.Group);
        if (found == firstOfName.end())
            continue;
        std::vector<Connection> entries = ConnectionEntriesOf(server);
        list.groups[found->second].servers.push_back({std::move(server.ShowName), std::move(server.Name),
                                                      std::move(server.Addr), std::move(server.Port),
                                                      std::move(entries)});
    }
    return list;
}

namespace {

// The document is written as it goes, with nlohmann's serializer for each
// string: a tree of a hundred thousand servers would cost more to build and
// free than the whole download.
class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out), serializer_(nlohmann::detail::output_adapter<char>(out), ' ') {}

    void Raw(std::string_view text) { out_ += text; }
    // "key":"value" with the value converted from GBK.
    void Field(std::string_view key, const std::string& gbk)
    {
        out_ += '"';
        out_ += key;
        out_ += "\":";
        // ASCII is the same in GBK and UTF-8; addresses and ports mostly are.
        value_.get_ref<std::string&>() = IsAscii(gbk) ? gbk : GbkToUtf8(gbk);
        serializer_.dump(value_, false, false, 0);
    }

private:
    std::string& out_;
    nlohmann::json value_ = "";
    nlohmann::detail::serializer<nlohmann::json> serializer_;
};

} // namespace

std::string ListJson(const ServerList& list)
{
    std::string out;
    JsonWriter json(out);
    json.Raw("{\"groups\":[");
    for (std::size_t g = 0; g < list.groups.size(); ++g) {
        const GroupView& group = list.groups[g];
        json.Raw(g == 0 ? "{" : ",{");
        json.Field("name", group.name);
        json.Raw(",\"servers\":[");
        for (std::size_t s = 0; s < group.servers.size(); ++s) {
            const ServerView& server = group.servers[s];
            json.Raw(s == 0 ? "{" : ",{");
            json.Field("showName", server.showName);
            json.Raw(",");
            json.Field("name", server.name);
            json.Raw(",");
            json.Field("addr", server.addr);
            json.Raw(",");
            json.Field("port", server.port);
            json.Raw(",\"entries\":[");
            for (std::size_t e = 0; e < server.entries.size(); ++e) {
                const Connection& entry = server.entries[e];
                json.Raw(e == 0 ? "{" : ",{");
                json.Field("name", entry.Name);
                json.Raw(",");
                json.Field("addr", entry.Addr);
                json.Raw(",");
                json.Field("port", entry.Port);
                json.Raw("}");
            }
            json.Raw("]}");
        }
        json.Raw("]}");
    }
    json.Raw("],\"web\":{");
    for (std::size_t i = 0; i < kWebAddressFields.size(); ++i) {
        json.Raw(i == 0 ? "" : ",");
        json.Field(kWebAddressFields[i].element, list.web.*kWebAddressFields[i].member);
    }
    json.Raw("}}\n");
    return out;
}

} // namespace tarnwick::player
