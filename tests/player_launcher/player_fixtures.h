#pragma once

#include "base/text.h"
#include "config/document.h"
#include "config/document_writer.h"
#include "config/model.h"
#include "player_launcher/core/server_list.h"

#include <string>
#include <vector>

namespace tarnwick::testing {

// ServerInfo.txt as Tarnwick writes it for the model.
inline std::string ServerInfoOf(const SetupModel& model)
{
    return WrapServerInfo(ConfigurationDocument("none").BuildDocument(model, true));
}

// Two groups with Chinese names, one server with two connection entries, one
// with a single entry and one with none; the five web addresses set.
inline SetupModel PlayerModel()
{
    SetupModel model;
    model.groups.Append({Utf8ToGbk("华东一区")});
    model.groups.Append({Utf8ToGbk("华北二区")});
    model.servers.Append({Utf8ToGbk("华东一区"), Utf8ToGbk("电信一线"), Utf8ToGbk("电信;网通"),
                          "10.0.0.1;10.0.0.2", "7000;7001"});
    model.servers.Append({Utf8ToGbk("华北二区"), Utf8ToGbk("双线"), Utf8ToGbk("双线"), "game.example.net", "7100"});
    model.servers.Append({Utf8ToGbk("华东一区"), Utf8ToGbk("维护中"), "", "", ""});
    model.web = {"http://example.net/frame", "http://example.net/", "http://example.net/pay2",
                 "http://example.net/gm", "http://example.net/pay"};
    return model;
}

// Update entries as the launcher holds them, made by the reader's edge from
// the reader's GBK entries.
inline std::vector<player::UpdateItem> ItemsOf(std::vector<UpdateEntry> entries)
{
    SetupModel model;
    model.updates.AppendAll(std::move(entries));
    return player::ServerListFrom(std::move(model)).updates;
}
inline player::UpdateItem ItemOf(UpdateEntry entry) { return ItemsOf({std::move(entry)}).at(0); }

} // namespace tarnwick::testing
