#pragma once

#include "config/document.h"
#include "config/model.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the launcher shows of a server information file. Texts are GBK, as
// the reader gives them.
namespace tarnwick::player {

// One way to reach a server, paired as the document writes them.
using Connection = ConnectionEntry;

struct ServerView {
    std::string showName;
    // The fields as the reader gives them, the connection entries joined by ";".
    std::string name;
    std::string addr;
    std::string port;
    std::vector<Connection> entries;
};

struct GroupView {
    std::string name;
    std::vector<ServerView> servers;
};

struct ServerList {
    std::vector<GroupView> groups;
    WebAddresses web;
    std::vector<UpdateEntry> updates; // the files the updater keeps current, in the file's order
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
