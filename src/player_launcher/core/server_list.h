#pragma once

#include "config/model.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the launcher shows of a server information file. Texts are GBK, as
// the reader gives them.
namespace tarnwick::player {

// One way to reach a server: a name, an address and a port.
struct Connection {
    std::string name;
    std::string addr;
    std::string port;
    bool operator==(const Connection&) const = default;
};

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
};

// A server's connection entries, paired as the document writes them: the
// n-th name with the n-th address and port, up to the first missing name or
// address (a missing port stays empty).
std::vector<Connection> ConnectionEntries(const ServerEntry& server);

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
