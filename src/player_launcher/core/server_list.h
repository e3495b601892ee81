#pragma once

#include "config/model.h"
#include "config/update_rules.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the launcher shows of a server information file. Every text is UTF-8:
// the reader's GBK is converted once, where the list is read (ServerListFrom),
// with U+FFFD for what does not convert.
namespace tarnwick::player {

// One way to reach a server, paired as the document writes them.
struct Connection {
    std::string name;
    std::string addr;
    std::string port;
    bool operator==(const Connection&) const = default;
};

struct ServerView {
    std::string showName;
    // The fields as the document holds them, the connection entries joined by ";".
    std::string name;
    std::string addr;
    std::string port;
    std::vector<Connection> entries;
};

struct GroupView {
    std::string name;
    std::vector<ServerView> servers;
};

// The pages the window links to.
struct WebPages {
    std::string loginFrame; // shown above the lists
    std::string contactGm;
    std::string payment;
    std::string payment2;
    std::string home;
};

// One file the updater keeps current. The list's words and digests are
// decided here once, by the rules the operator's tools share with launchers.
struct UpdateItem {
    std::string hint;
    std::string saveDir;
    std::string saveName;
    std::string downUrl;
    bool zip = false;
    CheckKind check = CheckKind::Md5;
    bool direct = true; // false for 百度, which the launcher cannot fetch
    std::string version;
    std::string date;
    std::string md5; // as the list writes it, for messages
    std::optional<std::string> wantedMd5;      // md5 as a digest
    std::optional<std::string> downloadDigest; // what the download must have, when given
    std::optional<std::string> pinnedDigest;   // what a signed list pins the download to
    // False when the list's bytes were no GBK text: the replaced text is
    // shown, but no file is written at such a path nor fetched from such an address.
    bool pathConverts = true;
    bool urlConverts = true;
};

struct ServerList {
    std::vector<GroupView> groups;
    WebPages web;
    std::vector<UpdateItem> updates; // in the file's order
};

// The groups in the file's order, each with its servers in their order. A
// group name that the file repeats shows its servers once, under its first
// group; the later groups of that name stay empty.
ServerList ServerListFrom(SetupModel model);

// Which server of the list, and which of its connection entries.
struct Choice {
    std::size_t group = 0;
    std::size_t server = 0;
    std::size_t entry = 0;
    bool operator==(const Choice&) const = default;
};

// The list as one JSON document (UTF-8, no blanks, a final line break), the
// form that "/list" prints.
std::string ListJson(const ServerList& list);

} // namespace tarnwick::player
