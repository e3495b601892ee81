#include "player_launcher/core/server_list.h"

#include "base/text.h"
#include "config/document.h"
#include "player_launcher/core/texts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <tuple>
#include <utility>
#include <unordered_map>

namespace tarnwick::player {
namespace {

// The reader's text as the launcher's: ASCII, which most addresses and ports
// are, is the same in GBK and UTF-8 and is only moved.
std::string Utf8(std::string&& gbk) { return IsAscii(gbk) ? std::move(gbk) : ShownUtf8OfGbk(gbk); }

bool IsText(const std::string& gbk) { return IsAscii(gbk) || TryGbkToUtf8(gbk).has_value(); }

// The reader's web addresses with the pages they become.
constexpr std::pair<std::string WebAddresses::*, std::string WebPages::*> kPages[] = {
    {&WebAddresses::LoginframeUrl, &WebPages::loginFrame}, {&WebAddresses::GMUrl, &WebPages::contactGm},
    {&WebAddresses::PayUrl, &WebPages::payment},           {&WebAddresses::PayUrl2, &WebPages::payment2},
    {&WebAddresses::HomeUrl, &WebPages::home},
};
static_assert(std::size(kPages) == std::tuple_size_v<decltype(kWebAddressFields)>);

std::string WebPages::* PageOf(std::string WebAddresses::* address)
{
    return std::find_if(std::begin(kPages), std::end(kPages), [&](const auto& page) { return page.first == address; })
        ->second;
}

UpdateItem ItemFrom(UpdateEntry&& entry)
{
    UpdateItem item;
    // Decided on the reader's text, as the operator's tools decide them.
    item.zip = entry.Zip == words::kYes;
    item.check = CheckKindOf(entry);
    item.direct = entry.DownType != words::kDownAlbum;
    item.wantedMd5 = AsDigest(entry.MD5);
    item.downloadDigest = DownloadDigest(entry);
    item.pinnedDigest = PinnedDigest(entry);
    item.pathConverts = IsText(entry.SaveDir) && IsText(entry.SaveName);
    item.urlConverts = IsText(entry.DownUrl);
    item.hint = Utf8(std::move(entry.Hint));
    item.saveDir = Utf8(std::move(entry.SaveDir));
    item.saveName = Utf8(std::move(entry.SaveName));
    item.downUrl = Utf8(std::move(entry.DownUrl));
    item.version = Utf8(std::move(entry.Ver));
    item.date = Utf8(std::move(entry.Date));
    item.md5 = Utf8(std::move(entry.MD5));
    return item;
}

} // namespace

ServerList ServerListFrom(SetupModel model)
{
    ServerList list;
    for (const auto& [address, page] : kPages)
        list.web.*page = Utf8(std::move(model.web.*address));
    list.updates.reserve(model.updates.Count());
    for (std::size_t row = 0; row < model.updates.Count(); ++row)
        list.updates.push_back(ItemFrom(std::move(model.updates.At(row))));
    list.groups.reserve(model.groups.Count());
    // By the reader's bytes: names that differ there are other groups, even
    // where both show the same replaced text.
    std::unordered_map<std::string_view, std::size_t> firstOfName;
    for (const ServerGroup& group : model.groups) {
        firstOfName.try_emplace(group.Name, list.groups.size());
        list.groups.push_back({Utf8(std::string(group.Name)), {}});
    }
    for (std::size_t row = 0; row < model.servers.Count(); ++row) {
        ServerEntry& server = model.servers.At(row);
        const auto found = firstOfName.find(server.Group);
        if (found == firstOfName.end())
            continue;
        // Split as the document writes them, on the reader's text.
        std::vector<Connection> entries;
        for (ConnectionEntry& entry : ConnectionEntriesOf(server))
            entries.push_back({Utf8(std::move(entry.Name)), Utf8(std::move(entry.Addr)), Utf8(std::move(entry.Port))});
        list.groups[found->second].servers.push_back({Utf8(std::move(server.ShowName)), Utf8(std::move(server.Name)),
                                                      Utf8(std::move(server.Addr)), Utf8(std::move(server.Port)),
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
    // "key":"value"
    void Field(std::string_view key, const std::string& utf8)
    {
        out_ += '"';
        out_ += key;
        out_ += "\":";
        value_.get_ref<std::string&>() = utf8;
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
                json.Field("name", entry.name);
                json.Raw(",");
                json.Field("addr", entry.addr);
                json.Raw(",");
                json.Field("port", entry.port);
                json.Raw("}");
            }
            json.Raw("]}");
        }
        json.Raw("]}");
    }
    json.Raw("],\"web\":{");
    for (std::size_t i = 0; i < kWebAddressFields.size(); ++i) {
        json.Raw(i == 0 ? "" : ",");
        json.Field(kWebAddressFields[i].element, list.web.*PageOf(kWebAddressFields[i].member));
    }
    json.Raw("}}\n");
    return out;
}

} // namespace tarnwick::player
