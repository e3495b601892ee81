#include "cli/commands.h"

#include "config/error.h"
#include "config/file_io.h"
#include "config/text.h"
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

// Shows notices on standard output in UTF-8 and remembers the last one.
class PrintingNotifier : public Notifier {
public:
    bool Notice(NoticeKind kind, const std::string& caption, const std::string& text) override
    {
        (void)caption;
        lastKind_ = kind;
        lastText_ = text;
        std::cout << GbkToUtf8(text) << "\n";
        return true;
    }
    bool Succeeded() const { return lastKind_ == NoticeKind::Success; }

private:
    NoticeKind lastKind_ = NoticeKind::Refusal;
    std::string lastText_;
};

int Usage(const char* usage)
{
    std::cerr << "Usage: tarnwick-cli " << usage << "\n";
    return 1;
}

std::u16string Wide(const std::string& utf8) { return GbkToUtf16(Utf8ToGbk(utf8)); }

// Version strings may hold characters that GBK lacks; those print as '?'.
std::string Printable(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) {
        try {
            out += GbkToUtf8(Utf16ToGbk(std::u16string_view(&c, 1)));
        } catch (const Error&) {
            out += '?';
        }
    }
    return out;
}

int Launcher(const Arguments& args)
{
    if (args.size() != 2)
        return Usage("launcher GAMENAME LISTURL");
    PrintingNotifier notifier;
    LauncherBuilder(CarriedLauncherImage(), std::filesystem::current_path())
        .GenerateLoginButtonClick(Utf8ToGbk(args[0]), Utf8ToGbk(args[1]), notifier);
    return notifier.Succeeded() ? 0 : 1;
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

// Why a stamping did not apply, where the reason is one of the limits.
void ExplainRefusal(const std::string& file, const std::string& keyText, std::u16string_view key,
                    std::u16string_view value)
{
    try {
        const std::string image = ReadExecutable(file);
        const auto info = FirstTranslation(AsBytes(image));
        if (!info)
            return;
        const std::string table = TableName(*info);
        const VersionValue slot = QueryVersionValue(
            info->buffer, u"\\StringFileInfo\\" + std::u16string(table.begin(), table.end()) + u"\\" +
                              std::u16string(key));
        const std::size_t room = slot.text ? slot.length : slot.length / 2;
        if (slot.length != 0 && value.size() + 1 > room)
            std::cerr << "tarnwick-cli: the value has " << value.size() << " characters; the slot " << keyText
                      << " holds at most " << room - 1 << " (and a terminator)\n";
    } catch (const Error& error) {
        std::cerr << "tarnwick-cli: " << GbkToUtf8(error.what()) << "\n";
    }
}

int Stamp(const Arguments& args)
{
    if (args.size() != 3)
        return Usage("stamp FILE KEY VALUE");
    const std::u16string key = Wide(args[1]);
    const std::u16string value = Wide(args[2]);
    const bool stamped = StampVersionString(std::filesystem::path(args[0]), key, value);
    std::cout << (stamped ? "true" : "false") << "\n";
    if (!stamped)
        ExplainRefusal(args[0], args[1], key, value);
    return stamped ? 0 : 1;
}

int VersionStrings(const Arguments& args)
{
    if (args.size() != 1)
        return Usage("version-strings FILE");
    const std::string image = ReadExecutable(args[0]);
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
