#include "cli/commands.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/failures.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "edit/field_rules.h"
#include "edit/outcome.h"
#include "edit/working_copy.h"
#include "launcher/byte_reader.h"
#include "launcher/launcher_builder.h"
#include "launcher/pe_image.h"
#include "launcher/version_info.h"
#include "launcher/version_stamp.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::cli {
namespace {

constexpr const char* kLauncherUsage = "launcher [--client COMMAND | --no-client] [GAMENAME LISTURL]";

// A window holds the folder's lock for its whole run, a command-line edit for
// milliseconds: a launcher waits only for the latter before remembering.
constexpr std::chrono::seconds kRememberLockWait{1};

// A line break of a message, as a terminal wants it.
std::string Lines(std::string sentence)
{
    for (std::size_t at = 0; (at = sentence.find("\r\n", at)) != std::string::npos;)
        sentence.erase(at, 1);
    return sentence;
}

void Note(const Context& context, const Message& note)
{
    std::cerr << "tarnwick-cli: " << Printable(Lines(context.translation.Sentence(note))) << "\n";
}

// The client the launcher starts: the option's, none, or the one remembered.
std::optional<std::string> ClientFor(const Options& options, const LauncherSetup& remembered)
{
    if (options.Flag("--no-client"))
        return std::nullopt;
    if (const auto value = options.Value("--client")) {
        std::optional<std::string> client = edit::ClientCommandText(GbkArgument(*value, "--client"));
        if (!client)
            throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "--client: needs the game client's command, "
                                                                      "such as \"%1\""))
                                 .Arg("game.exe -s %addr% -p %port%"));
        return client;
    }
    if (remembered.ClientCommand.empty())
        return std::nullopt;
    std::optional<std::string> client = edit::ClientCommandText(remembered.ClientCommand);
    if (!client)
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "the remembered game client: %1 (--client COMMAND or "
                                                               "--no-client decides here)"))
                          .Inner(edit::RefusalNotice(edit::Outcome::ClientCommandBlank).text));
    return client;
}

// What the launcher was made from becomes what the folder remembers, unless
// another program holds the folder: a window there remembers its own.
void Remember(const Context& context, edit::WorkingCopy& workingCopy, const SetupModel& made)
{
    try {
        if (const auto holder = workingCopy.Lock("tarnwick-cli", kRememberLockWait)) {
            Note(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "note: %1 holds the folder, so the launcher "
                                                                   "settings were not remembered"))
                              .Inner(*holder));
            return;
        }
        workingCopy.RememberLauncherSettings(made);
    } catch (const Error& error) {
        Note(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "note: the launcher settings were not remembered: %1"))
                          .Inner(error.Text()));
    }
}

int Launcher(const Context& context, const Arguments& args)
{
    const Options options(args, {"--client"}, {"--no-client"}, kLauncherUsage);
    if (options.Operands().size() != 2)
        options.ExpectOperands(0);
    if (options.Flag("--no-client") && options.Value("--client"))
        throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "--client and --no-client: give one of them")));
    edit::WorkingCopy workingCopy(context.folder);
    SetupModel made;
    const edit::LauncherSettingsRead read = workingCopy.LoadLauncherSettings(made);
    if (options.Operands().empty()) {
        if (read.problem)
            throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1; give GAMENAME and LISTURL")).Inner(*read.problem));
        if (!read.remembered)
            throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "this folder remembers no launcher settings yet "
                                                                   "(%1): give GAMENAME and LISTURL"))
                              .Arg(edit::FullPathText(workingCopy.LauncherSettingsPath())));
    } else {
        if (read.problem)
            Note(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "note: %1; it is replaced by this launcher's "
                                                                   "settings")).Inner(*read.problem));
        made.launcher.GameName = GbkArgument(options.Operands()[0], "GAMENAME");
        made.launcher.ServerListUrl = GbkArgument(options.Operands()[1], "LISTURL");
    }
    const std::optional<std::string> client = ClientFor(options, made.launcher);
    made.launcher.ClientCommand = client.value_or("");
    const std::optional<sign::SigningKeys> keys = UserKeys();
    std::vector<crypto::PublicKey> trusted;
    if (keys)
        for (const crypto::PublicKey& key : sign::TrustedPublicKeys(*keys))
            trusted.push_back(key);
    const LauncherBuilder builder(CarriedLauncherImage(), context.folder);
    const BuildOutcome outcome = builder.Build(made.launcher.GameName, made.launcher.ServerListUrl,
                                               client ? std::optional<std::string_view>(*client) : std::nullopt, trusted);
    // The window's own notices, so that both front ends say the same; the
    // operand they are about goes first.
    switch (outcome) {
    case BuildOutcome::Written: break;
    case BuildOutcome::NoGameName:
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2")).Arg("GAMENAME").Inner(OutcomeText(outcome)));
    case BuildOutcome::NoListUrl:
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2")).Arg("LISTURL").Inner(OutcomeText(outcome)));
    case BuildOutcome::OldFileInUse:
    case BuildOutcome::NoKeySlot: throw Refusal(OutcomeText(outcome));
    case BuildOutcome::NoClientSlot:
    case BuildOutcome::ClientTooLong:
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2")).Arg("--client").Inner(OutcomeText(outcome)));
    }
    std::cout << Printable(Lines(context.translation.Sentence(
                     edit::WithWrittenFile(OutcomeText(outcome), builder.Target(made.launcher.GameName)))))
              << "\n";
    std::cout << Printable(context.translation.Sentence(sign::LauncherTrustText(keys))) << "\n";
    Remember(context, workingCopy, made);
    return 0;
}

// The first translation of the file's version information, and the buffer.
struct VersionInfo {
    std::vector<std::byte> buffer;
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

std::optional<VersionInfo> FirstTranslation(std::span<const std::byte> file)
{
    VersionInfo info;
    info.buffer.resize(VersionInfoSize(file));
    if (info.buffer.empty() || !ReadVersionInfo(file, info.buffer))
        return std::nullopt;
    const VersionValue translation = QueryVersionValue(info.buffer, u"\\VarFileInfo\\Translation");
    if (translation.length < 4)
        return std::nullopt;
    const ByteReader in(info.buffer);
    info.language = in.U16(translation.offset, QT_TRANSLATE_NOOP("TarnwickCli", "the translation table"));
    info.codePage = in.U16(translation.offset + 2, QT_TRANSLATE_NOOP("TarnwickCli", "the translation table"));
    return info;
}

std::string TableName(const VersionInfo& info)
{
    char table[9];
    std::snprintf(table, sizeof table, "%04X%04X", info.language, info.codePage);
    return table;
}

// Why a stamping did not apply, to follow the file's name.
Message RefusalText(const StampResult& result, const std::string& key, std::size_t valueChars)
{
    switch (result.status) {
    case StampStatus::Stamped: break;
    case StampStatus::NotAnExecutable: return result.detail;
    case StampStatus::NoVersionResource:
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "the file has no version resource"));
    case StampStatus::NoTranslation:
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "the version resource has no translation table"));
    case StampStatus::KeyAbsent:
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "the first translation's string table has no slot %1"))
            .Arg(key);
    case StampStatus::TooLong:
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "the value has %1 characters; the slot %2 holds at most %3 "
                                                        "(and a terminator)"))
            .Arg(std::to_string(valueChars))
            .Arg(key)
            .Arg(std::to_string(result.room - 1));
    case StampStatus::NoRoomInImage:
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "the file's resource section has no room for the version "
                                                        "resource"));
    }
    return {};
}

int Stamp(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {}, "stamp FILE KEY VALUE");
    options.ExpectOperands(3);
    const std::string& file = options.Operands()[0];
    const std::string key = GbkArgument(options.Operands()[1], "KEY");
    const std::u16string value = GbkToUtf16(GbkArgument(options.Operands()[2], "VALUE"));
    const StampResult result = StampFile(context.In(Utf8Path(file)), GbkToUtf16(key), value);
    const std::string shownFile = PathText(Utf8Path(file));
    // A file that is no executable is input that cannot be read; a stamping
    // that does not apply to an executable is a refusal, which scripts must
    // not take for success either.
    if (result.status == StampStatus::NotAnExecutable)
        throw Error(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2")).Arg(shownFile).Inner(result.detail));
    if (!result.Stamped())
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2; nothing written"))
                          .Arg(shownFile)
                          .Inner(RefusalText(result, key, value.size())));
    std::cout << Printable(context.translation.Sentence(
                     Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1 stamped in %2")).Arg(key).Arg(shownFile)))
              << "\n";
    return 0;
}

// What version-strings prints; absent when the image has no translation.
std::optional<std::string> VersionStringLines(std::span<const std::byte> image)
{
    const auto info = FirstTranslation(image);
    if (!info)
        return std::nullopt;
    const std::string table = TableName(*info);
    std::string lines = "translation " + table.substr(0, 4) + " " + table.substr(4) + "\n";

    // The table is found by the same rules as a value query.
    const std::u16string tableName(table.begin(), table.end());
    for (const auto& part : ParseVersionBlock(info->buffer).children) {
        if (!SameVersionKey(part.key, u"StringFileInfo"))
            continue;
        for (const auto& strings : part.children) {
            if (!SameVersionKey(strings.key, tableName))
                continue;
            for (const auto& entry : strings.children) {
                std::u16string text;
                for (std::size_t i = 0; i + 1 < entry.value.size(); i += 2) {
                    const auto c = static_cast<char16_t>(static_cast<unsigned>(entry.value[i]) |
                                                         (static_cast<unsigned>(entry.value[i + 1]) << 8));
                    if (c == u'\0')
                        break;
                    text.push_back(c);
                }
                lines += Printable(entry.key) + "\t" + Printable(text) + "\n";
            }
            return lines;
        }
    }
    return lines;
}

int VersionStrings(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {}, "version-strings FILE");
    options.ExpectOperands(1);
    const std::filesystem::path file = Utf8Path(options.Operands()[0]);
    const std::string image = ReadExecutable(context.In(file));
    std::optional<std::string> lines;
    try {
        lines = VersionStringLines(AsBytes(image));
    } catch (const Error& error) {
        // The image reader says what is wrong, not in which file.
        throw Error(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2")).Arg(PathText(file)).Inner(error.Text()),
                    error.Kind());
    }
    if (!lines)
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: the file has no version resource with a "
                                                               "translation table"))
                          .Arg(PathText(file)));
    std::cout << *lines;
    return 0;
}

} // namespace

std::vector<Command> LauncherCommands()
{
    return {
        {"launcher",
         {{kLauncherUsage,
           QT_TRANSLATE_NOOP("TarnwickCli", "write the branded launcher GAMENAME.exe here; COMMAND%1starts the game "
                                            "client, an .exe in the launcher's%1folder, with %addr% %port% %name% "
                                            "%group% filled in;%1what is left out comes from the folder's remembered%1"
                                            "launcher settings, which then hold this launcher's")}},
         Launcher},
        {"stamp",
         {{"stamp FILE KEY VALUE", QT_TRANSLATE_NOOP("TarnwickCli", "overwrite the string KEY of FILE's version "
                                                                    "resource;%1status 1, and nothing written, when "
                                                                    "FILE has no slot%1KEY or VALUE does not fit it")}},
         Stamp},
        {"version-strings",
         {{"version-strings FILE", QT_TRANSLATE_NOOP("TarnwickCli", "list the first translation's version strings")}},
         VersionStrings},
    };
}

} // namespace tarnwick::cli
