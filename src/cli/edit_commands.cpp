// Editing Tarnwick.xml from the command line through the window's own logic:
// every check, trimming and refusal is the window's.
#include "cli/commands.h"

#include "base/error.h"
#include "base/text.h"
#include "cli/edit_session.h"
#include "cli/listing.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "config/model.h"

#include <nlohmann/json.hpp>
#include <unistd.h>

#include <charconv>
#include <iostream>
#include <unordered_map>

namespace tarnwick::cli {
namespace {

using Json = nlohmann::ordered_json;

const char* const kGroupUsage = "group list [--json] | add NAME | delete NAME [--yes] | up NAME | down NAME";
const char* const kServerUsage =
    "server list [--json] [--group NAME] | add OPTIONS | edit ROW OPTIONS | delete ROW | up ROW | down ROW";
const char* const kUpdateUsage = "update list [--json] | add OPTIONS | edit ROW OPTIONS | delete ROW";
const char* const kWebUsage = "web get [NAME] [--json] | set NAME ADDRESS";

// What the window's single-line fields and its input box accept.
constexpr std::size_t kMaxFieldChars = 255;

std::string Quoted(const std::string& gbk) { return "\"" + gbk + "\""; }

void Hint(const std::string& gbk) { std::cerr << "tarnwick-cli: " << Printable(gbk) << "\n"; }

// A text typed into one of the window's fields.
std::string FieldText(const std::string& utf8, const std::string& what)
{
    std::string gbk = GbkArgument(utf8, what);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < gbk.size(); i += IsGbkLead(static_cast<unsigned char>(gbk[i])) ? 2 : 1)
        ++chars;
    if (chars > kMaxFieldChars)
        throw Error(what + " has " + std::to_string(chars) + " characters; the window's field holds at most 255");
    return gbk;
}

// A row as `list` numbers them, from 1; -1 for a number past the end, which
// the window's logic then refuses as it refuses no selection.
int Row(const std::string& text, std::size_t count, const char* list)
{
    int row = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), row);
    if (error != std::errc() || end != text.data() + text.size() || row < 1)
        throw Error("ROW must be a row number as \"" + std::string(list) + " list\" shows it, from 1; not \"" +
                    GbkArgument(text, "ROW") + "\"");
    if (static_cast<std::size_t>(row) > count) {
        Hint("there is no row " + text + " in the " + std::string(list) + " list");
        return -1;
    }
    return row - 1;
}

std::size_t ServersOf(const SetupModel& model, const std::string& group)
{
    std::size_t count = 0;
    for (const ServerEntry& server : model.servers)
        count += server.Group == group ? 1 : 0;
    return count;
}

// The first group of that name, or -1 (the window's logic refuses "no group selected").
int GroupNamed(const SetupModel& model, const std::string& name)
{
    int index = 0;
    for (const ServerGroup& group : model.groups) {
        if (group.Name == name)
            return index;
        ++index;
    }
    Hint("no group is named " + Quoted(name));
    return -1;
}

// Groups ---------------------------------------------------------------------

int ListGroups(const SetupModel& model, bool json)
{
    std::unordered_map<std::string, std::size_t> counts;
    for (const ServerEntry& server : model.servers)
        ++counts[server.Group];
    std::vector<std::vector<std::string>> rows;
    Json list = Json::array();
    int position = 0;
    for (const ServerGroup& group : model.groups) {
        const std::size_t servers = counts[group.Name];
        rows.push_back({std::to_string(++position), group.Name, std::to_string(servers)});
        list.push_back({{"position", position}, {"name", JsonText(group.Name)}, {"servers", servers}});
    }
    if (json)
        std::cout << list.dump(2) << "\n";
    else
        PrintTable(std::cout, {"#", "Group", "Servers"}, rows);
    return 0;
}

int Groups(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {"--json", "--yes"}, kGroupUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    EditSession session(context.folder);
    auto& logic = session.Logic();
    if (verb == "list") {
        options.ExpectOperands(1);
        return ListGroups(logic.Model(), options.Flag("--json"));
    }
    options.ExpectOperands(2);
    if (verb == "add") {
        session.op.inputs.push_back(FieldText(operands[1], "NAME"));
        logic.AddGroup();
        return session.Finish();
    }
    const std::string name = GbkArgument(operands[1], "NAME");
    logic.SelectGroup(GroupNamed(logic.Model(), name));
    if (verb == "delete") {
        const std::size_t servers = ServersOf(logic.Model(), name);
        const bool yes = options.Flag("--yes");
        session.op.confirm = [&](const std::string& question) {
            if (servers == 0 || yes)
                return true;
            if (isatty(STDIN_FILENO)) {
                std::string shown = Printable(question);
                if (const auto cr = shown.find('\r'); cr != std::string::npos)
                    shown.erase(cr, 1);
                std::cerr << shown << " [y/N] " << std::flush;
                std::string answer;
                std::getline(std::cin, answer);
                return answer == "y" || answer == "Y" || answer == "yes";
            }
            Hint("group " + Quoted(name) + " holds " + std::to_string(servers) +
                 (servers == 1 ? " server, which is" : " servers, which are") + " deleted with it; standard input is not a terminal to ask on, so confirm "
                 "with --yes");
            return false;
        };
        logic.DeleteGroup();
    } else if (verb == "up") {
        logic.MoveGroupUp();
    } else if (verb == "down") {
        logic.MoveGroupDown();
    } else {
        options.Usage();
    }
    return session.Finish();
}

// Servers --------------------------------------------------------------------

int ListServers(const SetupModel& model, const std::optional<std::string>& group, bool json)
{
    std::vector<std::vector<std::string>> rows;
    Json list = Json::array();
    int row = 0;
    for (const ServerEntry& s : model.servers) {
        ++row;
        if (group && s.Group != *group)
            continue;
        rows.push_back({std::to_string(row), s.Group, s.ShowName, s.Name, s.Addr, s.Port});
        list.push_back({{"row", row},
                        {"group", JsonText(s.Group)},
                        {"showName", JsonText(s.ShowName)},
                        {"name", JsonText(s.Name)},
                        {"addr", JsonText(s.Addr)},
                        {"port", JsonText(s.Port)}});
    }
    if (json)
        std::cout << list.dump(2) << "\n";
    else
        PrintTable(std::cout, {"Row", "Group", "Display name", "Name", "Address", "Port"}, rows);
    return 0;
}

// Puts the options into the server dialog's fields, over what the window put there.
void FillServer(const Options& options, ui::ServerEditorLogic& editor)
{
    ui::ServerEditorFields& f = editor.Fields;
    const std::pair<const char*, std::string*> texts[] = {
        {"--show-name", &f.ShowName}, {"--name", &f.Name}, {"--addr", &f.Addr}, {"--port", &f.Port}};
    for (const auto& [option, field] : texts)
        if (const auto value = options.Value(option))
            *field = FieldText(*value, option);
    // The group is chosen from the dialog's list, as the operator does; a
    // name that is not there leaves none chosen, which the dialog refuses.
    if (const auto group = options.Value("--group")) {
        const std::string name = GbkArgument(*group, "--group");
        for (std::size_t i = 0; i < f.GroupNames.size() && f.GroupIndex < 0; ++i)
            if (f.GroupNames[i] == name)
                f.GroupIndex = static_cast<int>(i);
        if (f.GroupIndex < 0)
            Hint("no group is named " + Quoted(name));
    }
}

int Servers(const Context& context, const Arguments& args)
{
    const Options options(args, {"--group", "--show-name", "--name", "--addr", "--port"}, {"--json"}, kServerUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    EditSession session(context.folder);
    auto& logic = session.Logic();
    if (verb == "list") {
        options.ExpectOperands(1);
        std::optional<std::string> group;
        if (const auto name = options.Value("--group"))
            group = GbkArgument(*name, "--group");
        return ListServers(logic.Model(), group, options.Flag("--json"));
    }
    session.serverDialog.fill = [&](ui::ServerEditorLogic& editor) { FillServer(options, editor); };
    if (verb == "add") {
        options.ExpectOperands(1);
        logic.AddServer();
        return session.Finish();
    }
    options.ExpectOperands(2);
    logic.SelectServer(Row(operands[1], logic.Model().servers.Count(), "server"));
    if (verb == "edit")
        logic.EditServer();
    else if (verb == "delete")
        logic.DeleteServer();
    else if (verb == "up")
        logic.MoveServerUp();
    else if (verb == "down")
        logic.MoveServerDown();
    else
        options.Usage();
    return session.Finish();
}

// Update entries -------------------------------------------------------------

int ListUpdates(const SetupModel& model, bool json)
{
    std::vector<std::vector<std::string>> rows;
    Json list = Json::array();
    int row = 0;
    for (const UpdateEntry& u : model.updates) {
        ++row;
        rows.push_back({std::to_string(row), u.Hint, u.SaveDir, u.SaveName, u.DownUrl, u.Zip, u.CheckType,
                        u.DownType, u.Date, u.Ver, u.MD5, u.DownMD5});
        list.push_back({{"row", row},
                        {"hint", JsonText(u.Hint)},
                        {"saveDir", JsonText(u.SaveDir)},
                        {"saveName", JsonText(u.SaveName)},
                        {"downUrl", JsonText(u.DownUrl)},
                        {"zip", JsonText(u.Zip)},
                        {"check", JsonText(u.CheckType)},
                        {"download", JsonText(u.DownType)},
                        {"date", JsonText(u.Date)},
                        {"ver", JsonText(u.Ver)},
                        {"md5", JsonText(u.MD5)},
                        {"downMd5", JsonText(u.DownMD5)}});
    }
    if (json)
        std::cout << list.dump(2) << "\n";
    else
        PrintTable(std::cout,
                   {"Row", "Hint", "Save folder", "File name", "Download address", "Unzip", "Check", "Download",
                    "Date", "Version", "MD5", "Download check"},
                   rows);
    return 0;
}

// A choice of the update dialog by its English name or the model's word.
int Choice(const Options& options, const char* option, std::initializer_list<std::pair<const char*, int>> english,
           int current)
{
    const auto value = options.Value(option);
    if (!value)
        return current;
    std::string names;
    for (const auto& [name, index] : english) {
        if (*value == name)
            return index;
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    throw Error(std::string(option) + " takes one of " + names + "; not \"" + GbkArgument(*value, option) + "\"");
}

void FillUpdate(const Options& options, ui::UpdateEditorLogic& editor)
{
    ui::UpdateEditorFields& f = editor.Fields;
    const std::pair<const char*, std::string*> texts[] = {
        {"--hint", &f.Hint}, {"--url", &f.DownUrl}, {"--save-dir", &f.SaveDir}, {"--save-name", &f.SaveName}};
    for (const auto& [option, field] : texts)
        if (const auto value = options.Value(option))
            *field = FieldText(*value, option);
    // These fields turn typed letters to lower case.
    const std::pair<const char*, std::string*> lower[] = {
        {"--date", &f.Date}, {"--md5", &f.MD5}, {"--down-md5", &f.DownMD5}};
    for (const auto& [option, field] : lower) {
        if (const auto value = options.Value(option)) {
            *field = FieldText(*value, option);
            for (std::size_t i = 0; i < field->size(); i += IsGbkLead(static_cast<unsigned char>((*field)[i])) ? 2 : 1)
                (*field)[i] = AsciiLower((*field)[i]);
        }
    }
    // The version is a spin field from 1 to 65535.
    if (const auto ver = options.Value("--ver")) {
        int number = 0;
        const auto [end, error] = std::from_chars(ver->data(), ver->data() + ver->size(), number);
        if (error != std::errc() || end != ver->data() + ver->size() || number < 1 || number > 65535)
            throw Error("--ver takes a whole number from 1 to 65535, as the dialog's version field does");
        f.Ver = std::to_string(number);
    }
    f.ZipIndex = Choice(options, "--zip", {{"no", 0}, {"yes", 1}}, f.ZipIndex);
    f.DownTypeIndex = Choice(options, "--download", {{"direct", 0}, {"album", 1}}, f.DownTypeIndex);
    const int check = Choice(options, "--check", {{"none", -1}, {"version", 0}, {"exists", 1}, {"pak", 2}, {"md5", 3}},
                             f.CheckTypeIndex);
    if (check != f.CheckTypeIndex) {
        f.CheckTypeIndex = check;
        editor.cbbCheckTypeChange();
    }
}

int Updates(const Context& context, const Arguments& args)
{
    const Options options(args,
                          {"--hint", "--url", "--save-dir", "--save-name", "--zip", "--check", "--download", "--date",
                           "--ver", "--md5", "--down-md5"},
                          {"--json"}, kUpdateUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    EditSession session(context.folder);
    auto& logic = session.Logic();
    if (verb == "list") {
        options.ExpectOperands(1);
        return ListUpdates(logic.Model(), options.Flag("--json"));
    }
    session.updateDialog.fill = [&](ui::UpdateEditorLogic& editor) { FillUpdate(options, editor); };
    if (verb == "add") {
        options.ExpectOperands(1);
        logic.AddUpdate();
        return session.Finish();
    }
    options.ExpectOperands(2);
    logic.SelectUpdate(Row(operands[1], logic.Model().updates.Count(), "update"));
    if (verb == "edit")
        logic.EditUpdate();
    else if (verb == "delete")
        logic.DeleteUpdate();
    else
        options.Usage();
    return session.Finish();
}

// Web addresses --------------------------------------------------------------

// The five addresses by the names of their elements in the documents.
const std::pair<const char*, std::string WebAddresses::*> kWebFields[] = {
    {"Loginframe", &WebAddresses::LoginframeUrl}, {"ContactGM", &WebAddresses::GMUrl},
    {"Payment", &WebAddresses::PayUrl},           {"Payment2", &WebAddresses::PayUrl2},
    {"Home", &WebAddresses::HomeUrl}};

std::string WebAddresses::* WebField(const std::string& name)
{
    for (const auto& [field, member] : kWebFields)
        if (EqualsIgnoringAsciiCase(name, field))
            return member;
    throw Error("NAME is one of Loginframe, ContactGM, Payment, Payment2, Home; not \"" + GbkArgument(name, "NAME") +
                "\"");
}

int Web(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {"--json"}, kWebUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    EditSession session(context.folder);
    auto& logic = session.Logic();
    if (operands[0] == "get" && operands.size() == 2 && !options.Flag("--json")) {
        std::cout << Printable(logic.Web().*WebField(operands[1])) << "\n";
        return 0;
    }
    if (operands[0] == "get" && operands.size() <= 2) {
        Json all = Json::object();
        std::vector<std::vector<std::string>> rows;
        for (const auto& [name, member] : kWebFields) {
            if (operands.size() == 2 && WebField(operands[1]) != member)
                continue;
            all[name] = JsonText(logic.Web().*member);
            rows.push_back({name, logic.Web().*member});
        }
        if (options.Flag("--json"))
            std::cout << all.dump(2) << "\n";
        else
            PrintTable(std::cout, {"Name", "Address"}, rows);
        return 0;
    }
    if (operands[0] != "set" || operands.size() != 3)
        options.Usage();
    // The window takes the address as typed, untrimmed.
    logic.Web().*WebField(operands[1]) = FieldText(operands[2], "ADDRESS");
    return session.Finish();
}

} // namespace

std::vector<Command> EditCommands()
{
    return {
        {"group",
         "group list [--json]         the server groups, with their servers' count\n"
         "  group add NAME              add a group at the end\n"
         "  group delete NAME [--yes]   delete the group and its servers; a group that\n"
         "                              holds servers asks on a terminal, else needs --yes\n"
         "  group up NAME | down NAME   move the group one place up or down",
         Groups},
        {"server",
         "server list [--json] [--group NAME]\n"
         "                              the servers, numbered by ROW\n"
         "  server add --group NAME --show-name TEXT --name TEXT --addr TEXT [--port TEXT]\n"
         "                              add a server (port 7000 unless given); names,\n"
         "                              addresses and ports of several connections are\n"
         "                              joined by \";\"\n"
         "  server edit ROW --group NAME [--show-name ..] [--name ..] [--addr ..] [--port ..]\n"
         "                              change a server; the group is chosen again, as in\n"
         "                              the window; fields not given keep their values\n"
         "  server delete ROW           delete a server\n"
         "  server up ROW | down ROW    move a server one row up or down",
         Servers},
        {"update",
         "update list [--json]        the update entries, numbered by ROW\n"
         "  update add --hint TEXT --url TEXT --save-name TEXT [--save-dir TEXT] [OPTIONS]\n"
         "  update edit ROW [--hint TEXT] [--url TEXT] [--save-name TEXT] [--save-dir TEXT] [OPTIONS]\n"
         "                              OPTIONS: --zip no|yes, --check none|version|exists|pak|md5,\n"
         "                              --download direct|album, --date TEXT, --ver 1..65535,\n"
         "                              --md5 TEXT, --down-md5 TEXT; a new entry starts from\n"
         "                              the dialog's starting values (save folder .\\, date and\n"
         "                              download check 20050505, version 1, no, none, direct)\n"
         "  update delete ROW           delete an update entry",
         Updates},
        {"web",
         "web get [NAME] [--json]     the five web page addresses, or the one named:\n"
         "                              Loginframe, ContactGM, Payment, Payment2, Home\n"
         "  web set NAME ADDRESS        set one address",
         Web},
    };
}

} // namespace tarnwick::cli
