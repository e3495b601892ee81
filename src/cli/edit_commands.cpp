// Editing Tarnwick.xml from the command line through the editing layer: every
// check, trimming and refusal is the window's.
#include "cli/commands.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/edit_session.h"
#include "cli/failures.h"
#include "cli/listing.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "config/model.h"
#include "digest/md5.h"
#include "edit/field_rules.h"

#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <unordered_map>

namespace tarnwick::cli {
namespace {

using Json = nlohmann::ordered_json;

const char* const kGroupUsage = "group list [--json] | add NAME | delete NAME [--yes] | up NAME | down NAME";
const char* const kServerUsage =
    "server list [--json] [--group NAME] | add OPTIONS | edit ROW OPTIONS | delete ROW | up ROW | down ROW";
const char* const kUpdateUsage = "update list [--json] | add OPTIONS | edit ROW OPTIONS | delete ROW | index FILE...";
const char* const kWebUsage = "web get [NAME] [--json] | set NAME ADDRESS";

// A text typed into one of the window's fields; `what` names the option.
std::string FieldText(const std::string& utf8, const std::string& what)
{
    std::string gbk = GbkArgument(utf8, what);
    if (!edit::FitsField(gbk))
        throw Refusal(
            Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: has %2 characters; the window's field holds at most %3"))
                .Arg(what)
                .Arg(std::to_string(edit::CharacterCount(gbk)))
                .Arg(std::to_string(edit::kMaxFieldChars)));
    return gbk;
}

// A row as `list` numbers them, from 1, as an index.
int Row(const std::string& text, std::size_t count, const char* list)
{
    int row = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), row);
    if (error != std::errc() || end != text.data() + text.size() || row < 1)
        throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "ROW: must be a row number as \"%1 list\" shows "
                                                                  "it, from 1; not \"%2\""))
                             .Arg(list)
                             .Arg(GbkArgument(text, "ROW")));
    if (static_cast<std::size_t>(row) > count)
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "ROW: there is no row %1 in the %2 list (it has %3)"))
                          .Arg(text)
                          .Arg(list)
                          .Arg(std::to_string(count)));
    return row - 1;
}

std::size_t ServersOf(const SetupModel& model, const std::string& group)
{
    std::size_t count = 0;
    for (const ServerEntry& server : model.servers)
        count += server.Group == group ? 1 : 0;
    return count;
}

// The first group of that name.
int GroupNamed(const SetupModel& model, const std::string& name, const char* what)
{
    int index = 0;
    for (const ServerGroup& group : model.groups) {
        if (group.Name == name)
            return index;
        ++index;
    }
    throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: no group is named \"%2\"")).Arg(what).Arg(name));
}

// Groups ---------------------------------------------------------------------

int ListGroups(const SetupModel& model, bool json, const Translation& translation)
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
        PrintTable(std::cout, translation,
                   {"#", QT_TRANSLATE_NOOP("TarnwickCli", "Group"), QT_TRANSLATE_NOOP("TarnwickCli", "Servers")},
                   rows);
    return 0;
}

// Asks on a terminal; elsewhere only --yes confirms.
bool ConfirmDelete(const std::string& name, std::size_t servers, bool yes, const Translation& translation)
{
    if (servers == 0 || yes)
        return true;
    if (!isatty(STDIN_FILENO))
        throw Refusal(servers == 1
                          ? Message(QT_TRANSLATE_NOOP("TarnwickCli", "NAME: group \"%1\" holds 1 server, which is "
                                                                     "deleted with it; standard input is not a "
                                                                     "terminal to ask on, so confirm with --yes"))
                                .Arg(name)
                          : Message(QT_TRANSLATE_NOOP("TarnwickCli", "NAME: group \"%1\" holds %2 servers, which are "
                                                                     "deleted with it; standard input is not a "
                                                                     "terminal to ask on, so confirm with --yes"))
                                .Arg(name)
                                .Arg(std::to_string(servers)));
    std::string shown = Printable(translation.Sentence(edit::DeleteGroupQuestion(name).text));
    if (const auto cr = shown.find('\r'); cr != std::string::npos)
        shown.erase(cr, 1);
    std::cerr << shown << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

int Groups(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {"--json", "--yes"}, kGroupUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    if (verb == "list") {
        options.ExpectOperands(1);
        const WorkingCopyReading reading = ReadWorkingCopy(context);
        return std::max(ListGroups(reading.model, options.Flag("--json"), context.translation), reading.Status());
    }
    options.ExpectOperands(2);
    if (verb != "add" && verb != "delete" && verb != "up" && verb != "down")
        options.Usage();
    const std::string name = verb == "add" ? FieldText(operands[1], "NAME") : GbkArgument(operands[1], "NAME");
    EditSession session(context);
    auto& editor = session.Editor();
    if (verb == "add")
        return session.Finish(editor.AddGroup(name));
    const int group = GroupNamed(session.Model(), name, "NAME");
    if (verb == "delete") {
        if (!ConfirmDelete(name, ServersOf(session.Model(), name), options.Flag("--yes"), context.translation))
            throw Refusal(
                Message(QT_TRANSLATE_NOOP("TarnwickCli", "NAME: not confirmed; group \"%1\" is kept")).Arg(name));
        return session.Finish(editor.DeleteGroup(group));
    }
    return session.Finish(editor.MoveGroup(group, verb == "up" ? -1 : +1));
}

// Servers --------------------------------------------------------------------

int ListServers(const SetupModel& model, const std::optional<std::string>& group, bool json,
                const Translation& translation)
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
        PrintTable(std::cout, translation,
                   {QT_TRANSLATE_NOOP("TarnwickCli", "Row"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Group"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Display name"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Name"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Address"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Port")},
                   rows);
    return 0;
}

// The options over the fields of the server being added or edited.
edit::ServerInput ServerFromOptions(const Options& options, const SetupModel& model, edit::ServerInput input)
{
    const std::pair<const char*, std::string*> texts[] = {
        {"--show-name", &input.ShowName}, {"--name", &input.Name}, {"--addr", &input.Addr}, {"--port", &input.Port}};
    for (const auto& [option, field] : texts)
        if (const auto value = options.Value(option))
            *field = FieldText(*value, option);
    // The group is chosen again on every edit, as in the window.
    input.Group.reset();
    if (const auto group = options.Value("--group")) {
        const std::string name = GbkArgument(*group, "--group");
        input.Group = model.groups.At(static_cast<std::size_t>(GroupNamed(model, name, "--group"))).Name;
    }
    return input;
}

int Servers(const Context& context, const Arguments& args)
{
    const Options options(args, {"--group", "--show-name", "--name", "--addr", "--port"}, {"--json"}, kServerUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    if (verb == "list") {
        options.ExpectOperands(1);
        std::optional<std::string> group;
        if (const auto name = options.Value("--group"))
            group = GbkArgument(*name, "--group");
        const WorkingCopyReading reading = ReadWorkingCopy(context);
        return std::max(ListServers(reading.model, group, options.Flag("--json"), context.translation),
                        reading.Status());
    }
    if (verb == "add") {
        options.ExpectOperands(1);
        EditSession session(context);
        return session.Finish(session.Editor().AddServer(ServerFromOptions(options, session.Model(), {})));
    }
    options.ExpectOperands(2);
    if (verb != "edit" && verb != "delete" && verb != "up" && verb != "down")
        options.Usage();
    EditSession session(context);
    auto& editor = session.Editor();
    const int row = Row(operands[1], session.Model().servers.Count(), "server");
    if (verb == "edit") {
        const ServerEntry& s = session.Model().servers.At(static_cast<std::size_t>(row));
        const edit::ServerInput current{s.ShowName, s.Name, s.Addr, s.Port, s.Group};
        return session.Finish(editor.EditServer(row, ServerFromOptions(options, session.Model(), current)));
    }
    if (verb == "delete")
        return session.Finish(editor.DeleteServer(row));
    return session.Finish(editor.MoveServer(row, verb == "up" ? -1 : +1));
}

// Update entries -------------------------------------------------------------

int ListUpdates(const SetupModel& model, bool json, const Translation& translation)
{
    std::vector<std::vector<std::string>> rows;
    Json list = Json::array();
    // The table is for people: choice words in their language; JSON keeps the stored words.
    const auto shown = [&](const std::string& word) {
        const char* source = edit::ChoiceWordSource(word);
        return source ? translation.Text(source) : word;
    };
    int row = 0;
    for (const UpdateEntry& u : model.updates) {
        ++row;
        rows.push_back({std::to_string(row), u.Hint, u.SaveDir, u.SaveName, u.DownUrl, shown(u.Zip),
                        shown(u.CheckType), shown(u.DownType), u.Date, u.Ver, u.MD5, u.DownMD5});
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
        PrintTable(std::cout, translation,
                   {QT_TRANSLATE_NOOP("TarnwickCli", "Row"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Hint"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Save folder"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "File name"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Download address"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Unzip"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Check"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Download"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Date"),
                    QT_TRANSLATE_NOOP("TarnwickCli", "Version"),
                    "MD5",
                    QT_TRANSLATE_NOOP("TarnwickCli", "Download check")},
                   rows);
    return 0;
}

// A choice of the update dialog by its English name.
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
    throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: takes one of %2; not \"%3\""))
                         .Arg(option)
                         .Arg(names)
                         .Arg(GbkArgument(*value, option)));
}

edit::UpdateInput UpdateFromOptions(const Context& context, const Options& options, edit::UpdateInput input)
{
    const std::pair<const char*, std::string*> texts[] = {
        {"--hint", &input.Hint}, {"--url", &input.DownUrl}, {"--save-dir", &input.SaveDir},
        {"--save-name", &input.SaveName}};
    for (const auto& [option, field] : texts)
        if (const auto value = options.Value(option))
            *field = FieldText(*value, option);
    // These fields turn typed letters to lower case.
    const std::pair<const char*, std::string*> lower[] = {
        {"--date", &input.Date}, {"--md5", &input.MD5}, {"--down-md5", &input.DownMD5}};
    for (const auto& [option, field] : lower)
        if (const auto value = options.Value(option))
            *field = edit::LowerCased(FieldText(*value, option));
    if (const auto ver = options.Value("--ver")) {
        if (!edit::IsVersionNumber(*ver))
            throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "--ver: takes a whole number from 1 to 65535, as "
                                                                   "the dialog's version field does; not \"%1\""))
                              .Arg(GbkArgument(*ver, "--ver")));
        input.Ver = *ver;
    }
    input.ZipIndex = Choice(options, "--zip", {{"no", 0}, {"yes", 1}}, input.ZipIndex);
    input.DownTypeIndex = Choice(options, "--download", {{"direct", 0}, {"album", 1}}, input.DownTypeIndex);
    input.CheckTypeIndex = Choice(
        options, "--check", {{"none", -1}, {"version", 0}, {"exists", 1}, {"pak", 2}, {"md5", 3}}, input.CheckTypeIndex);
    // After --zip, which decides whether MD5 is the download's digest too;
    // the file's digests win over --md5 and --down-md5 given beside it.
    if (const auto file = options.Value("--file")) {
        const std::filesystem::path path = context.In(Utf8Path(*file));
        RequireRegularFile(path);
        Digest digest;
        FileDigest(path, digest);
        edit::PinDigests(input, DigestToHex(digest));
    }
    return input;
}

int Updates(const Context& context, const Arguments& args)
{
    const Options options(args,
                          {"--hint", "--url", "--save-dir", "--save-name", "--zip", "--check", "--download", "--date",
                           "--ver", "--md5", "--down-md5", "--file"},
                          {"--json"}, kUpdateUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    if (verb == "list") {
        options.ExpectOperands(1);
        const WorkingCopyReading reading = ReadWorkingCopy(context);
        return std::max(ListUpdates(reading.model, options.Flag("--json"), context.translation), reading.Status());
    }
    if (verb == "add") {
        options.ExpectOperands(1);
        // A new entry starts from the dialog's starting values.
        const edit::UpdateInput input = UpdateFromOptions(context, options, {});
        EditSession session(context);
        return session.Finish(session.Editor().AddUpdate(input));
    }
    if (verb == "index") {
        if (operands.size() < 2)
            options.Usage();
        return IndexUpdateFiles(context, Arguments(operands.begin() + 1, operands.end()));
    }
    options.ExpectOperands(2);
    if (verb != "edit" && verb != "delete")
        options.Usage();
    EditSession session(context);
    const int row = Row(operands[1], session.Model().updates.Count(), "update");
    if (verb == "delete")
        return session.Finish(session.Editor().DeleteUpdate(row));
    const edit::UpdateInput current = edit::InputFromUpdate(session.Model().updates.At(static_cast<std::size_t>(row)));
    return session.Finish(session.Editor().EditUpdate(row, UpdateFromOptions(context, options, current)));
}

// Web addresses --------------------------------------------------------------

const WebAddressField& WebField(const std::string& name)
{
    for (const WebAddressField& field : kWebAddressFields)
        if (EqualsIgnoringAsciiCase(name, field.element))
            return field;
    throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "NAME: is one of Loginframe, ContactGM, Payment, "
                                                              "Payment2, Home; not \"%1\""))
                         .Arg(GbkArgument(name, "NAME")));
}

int Web(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {"--json"}, kWebUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    if (operands[0] == "get" && operands.size() <= 2) {
        const WebAddressField* only = operands.size() == 2 ? &WebField(operands[1]) : nullptr;
        const WorkingCopyReading reading = ReadWorkingCopy(context);
        const WebAddresses& web = reading.model.web;
        if (only && !options.Flag("--json")) {
            std::cout << Printable(web.*only->member) << "\n";
            return reading.Status();
        }
        Json all = Json::object();
        std::vector<std::vector<std::string>> rows;
        for (const WebAddressField& field : kWebAddressFields) {
            if (only && only != &field)
                continue;
            all[field.element] = JsonText(web.*field.member);
            rows.push_back({field.element, context.translation.Text(field.caption), web.*field.member});
        }
        if (options.Flag("--json"))
            std::cout << all.dump(2) << "\n";
        else
            PrintTable(std::cout, context.translation,
                       {QT_TRANSLATE_NOOP("TarnwickCli", "Name"), QT_TRANSLATE_NOOP("TarnwickCli", "Window"),
                        QT_TRANSLATE_NOOP("TarnwickCli", "Address")},
                       rows);
        return reading.Status();
    }
    if (operands[0] != "set" || operands.size() != 3)
        options.Usage();
    const WebAddressField& field = WebField(operands[1]);
    // The window takes the address as typed, untrimmed.
    std::string address = FieldText(operands[2], "ADDRESS");
    EditSession session(context);
    return session.Finish(session.Editor().SetWebAddress(field.member, std::move(address)));
}

} // namespace

std::vector<Command> EditCommands()
{
    return {
        {"group",
         {{"group list [--json]", QT_TRANSLATE_NOOP("TarnwickCli", "the server groups, with their servers' count")},
          {"group add NAME", QT_TRANSLATE_NOOP("TarnwickCli", "add a group at the end")},
          {"group delete NAME [--yes]", QT_TRANSLATE_NOOP("TarnwickCli", "delete the group and its servers; a group "
                                                                         "that%1holds servers asks on a terminal, else "
                                                                         "needs --yes")},
          {"group up NAME | down NAME", QT_TRANSLATE_NOOP("TarnwickCli", "move the group one place up or down")}},
         Groups},
        {"server",
         {{"server list [--json] [--group NAME]", QT_TRANSLATE_NOOP("TarnwickCli", "the servers, numbered by ROW")},
          {"server add --group NAME --show-name TEXT --name TEXT --addr TEXT [--port TEXT]",
           QT_TRANSLATE_NOOP("TarnwickCli", "add a server (port 7000 unless given); names,%1addresses and ports of "
                                            "several connections are%1joined by \";\"")},
          {"server edit ROW --group NAME [--show-name ..] [--name ..] [--addr ..] [--port ..]",
           QT_TRANSLATE_NOOP("TarnwickCli", "change a server; the group is chosen again, as in%1the window; fields "
                                            "not given keep their values")},
          {"server delete ROW", QT_TRANSLATE_NOOP("TarnwickCli", "delete a server")},
          {"server up ROW | down ROW",
           QT_TRANSLATE_NOOP("TarnwickCli", "move a server one row up or down; refused when the%1neighbour is of "
                                            "another group, as the saved file keeps%1each group's servers together "
                                            "and would not change")}},
         Servers},
        {"update",
         {{"update list [--json]", QT_TRANSLATE_NOOP("TarnwickCli", "the update entries, numbered by ROW")},
          {"update add --hint TEXT --url TEXT --save-name TEXT [--save-dir TEXT] [OPTIONS]"},
          {"update edit ROW [--hint TEXT] [--url TEXT] [--save-name TEXT] [--save-dir TEXT] [OPTIONS]",
           QT_TRANSLATE_NOOP("TarnwickCli", "OPTIONS: --zip no|yes, --check none|version|exists|pak|md5,%1--download "
                                            "direct|album, --date TEXT, --ver 1..65535,%1--md5 TEXT, --down-md5 TEXT; "
                                            "a new entry starts from%1the dialog's starting values (save folder .\\, "
                                            "date and%1download check 20050505, version 1, no, none, direct);%1--file "
                                            "LOCALFILE fills --down-md5 (and --md5 when no zip)%1with the digest of "
                                            "the file to publish, which lists%1signed for launchers must pin")},
          {"update delete ROW", QT_TRANSLATE_NOOP("TarnwickCli", "delete an update entry")},
          {"update index FILE...",
           QT_TRANSLATE_NOOP("TarnwickCli", "write FILE.blocks beside each file of 4 MiB or more:%1the block index "
                                            "with which launchers fetch only%1what changed in a file they hold; "
                                            "publish makes%1it itself; by hand, upload it after its file;%1status 2 "
                                            "when a file cannot be read (the others%1are still done)")}},
         Updates},
        {"web",
         {{"web get [NAME] [--json]", QT_TRANSLATE_NOOP("TarnwickCli", "the five web page addresses, or the one "
                                                                       "named:%1Loginframe, ContactGM, Payment, "
                                                                       "Payment2, Home")},
          {"web set NAME ADDRESS", QT_TRANSLATE_NOOP("TarnwickCli", "set one address (not empty: an empty one is "
                                                                    "not%1read back, and the placeholder would be "
                                                                    "published)")}},
         Web},
    };
}

} // namespace tarnwick::cli
