#include "cli/commands.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "cli/printable.h"
#include "launcher/byte_reader.h"
#include "launcher/launcher_builder.h"
#include "launcher/pe_image.h"
#include "launcher/version_info.h"
#include "launcher/version_stamp.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <vector>

namespace tarnwick::cli {
namespace {

int Usage(const char* usage)
{
    std::cerr << "Usage: tarnwick-cli " << usage << "\n";
    return 1;
}

std::u16string Wide(const std::string& utf8) { return GbkToUtf16(Utf8ToGbk(utf8)); }

int Launcher(const Context& context, const Arguments& args)
{
    if (args.size() != 2)
        return Usage("launcher GAMENAME LISTURL");
    const BuildOutcome outcome = LauncherBuilder(CarriedLauncherImage(), context.folder)
                                     .Build(Utf8ToGbk(args[0]), Utf8ToGbk(args[1]));
    if (outcome != BuildOutcome::Written) {
        std::cerr << "tarnwick-cli: " << Printable(OutcomeText(outcome)) << "\n";
        return 1;
    }
    std::cout << Printable(OutcomeText(outcome)) << "\n";
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
    info.language = in.U16(translation.offset, "the translation table");
    info.codePage = in.U16(translation.offset + 2, "the translation table");
    return info;
}

std::string TableName(const VersionInfo& info)
{
    char table[9];
    std::snprintf(table, sizeof table, "%04X%04X", info.language, info.codePage);
    return table;
}

// Why a stamping did not apply, for standard error.
std::string RefusalText(const StampResult& result, const std::string& key, std::size_t valueChars)
{
    switch (result.status) {
    case StampStatus::Stamped: break;
    case StampStatus::NotAnExecutable: return Printable(result.detail);
    case StampStatus::NoVersionResource: return "the file has no version resource";
    case StampStatus::NoTranslation: return "the version resource has no translation table";
    case StampStatus::KeyAbsent: return "the first translation's string table has no value " + key;
    case StampStatus::TooLong:
        return "the value has " + std::to_string(valueChars) + " characters; the slot " + key + " holds at most " +
               std::to_string(result.room - 1) + " (and a terminator)";
    case StampStatus::NoRoomInImage: return "the file's resource section has no room for the version resource";
    }
    return {};
}

int Stamp(const Context& context, const Arguments& args)
{
    if (args.size() != 3)
        return Usage("stamp FILE KEY VALUE");
    const std::u16string value = Wide(args[2]);
    const StampResult result = StampFile(context.In(Utf8Path(args[0])), Wide(args[1]), value);
    std::cout << (result.Stamped() ? "true" : "false") << "\n";
    if (result.Stamped())
        return 0;
    std::cerr << "tarnwick-cli: " << RefusalText(result, args[1], value.size()) << "\n";
    return 1;
}

int VersionStrings(const Context& context, const Arguments& args)
{
    if (args.size() != 1)
        return Usage("version-strings FILE");
    const std::string image = ReadExecutable(context.In(Utf8Path(args[0])));
    const auto info = FirstTranslation(AsBytes(image));
    if (!info) {
        std::cerr << "tarnwick-cli: " << args[0] << " has no version translation\n";
        return 1;
    }
    const std::string table = TableName(*info);
    std::cout << "translation " << table.substr(0, 4) << " " << table.substr(4) << "\n";

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
                std::cout << Printable(entry.key) << "\t" << Printable(text) << "\n";
            }
            return 0;
        }
    }
    return 0;
}

} // namespace

std::vector<Command> LauncherCommands()
{
    return {
        {"launcher", "launcher GAMENAME LISTURL   write the branded launcher GAMENAME.exe here", Launcher},
        {"stamp", "stamp FILE KEY VALUE        overwrite a string of FILE's version resource", Stamp},
        {"version-strings", "version-strings FILE        list the first translation's version strings",
         VersionStrings},
    };
}

} // namespace tarnwick::cli
