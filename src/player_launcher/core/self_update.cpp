#include "player_launcher/core/self_update.h"

#include "base/error.h"
#include "base/file_io.h"
#include "player_launcher/core/player_messages.h"

#include <charconv>
#include <cstring>

namespace tarnwick::player {
namespace {

constexpr char16_t kArgumentsMark[] = u"--";

std::uint16_t Word(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[at]) | std::to_integer<unsigned>(bytes[at + 1]) << 8);
}

std::uint32_t Long(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(Word(bytes, at)) | static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16;
}

template <typename Number>
std::optional<Number> NumberOf(std::u16string_view text)
{
    std::string narrow;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        narrow += static_cast<char>(c);
    }
    Number value{};
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (narrow.empty() || error != std::errc() || end != narrow.data() + narrow.size())
        return std::nullopt;
    return value;
}

std::u16string Digits(std::uint64_t value)
{
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

} // namespace

std::string CheckLauncherImage(std::span<const std::byte> head, std::uint16_t machine)
{
    // The DOS header's "MZ" and where the PE header is.
    if (head.size() < 0x40 || Word(head, 0) != 0x5a4d)
        return SelfUpdateText(SelfUpdateProblem::NotAProgram);
    const std::uint32_t pe = Long(head, 0x3c);
    constexpr std::size_t kFileHeader = 4, kOptional = 24;
    if (pe > head.size() || head.size() - pe < kOptional + 70 || Long(head, pe) != 0x00004550)
        return SelfUpdateText(SelfUpdateProblem::NotAProgram);
    if (Word(head, pe + kFileHeader) != machine)
        return SelfUpdateText(SelfUpdateProblem::OtherMachine);
    const std::uint16_t characteristics = Word(head, pe + kFileHeader + 18);
    constexpr std::uint16_t kExecutable = 0x0002, kDll = 0x2000;
    if ((characteristics & kExecutable) == 0 || (characteristics & kDll) != 0)
        return SelfUpdateText(SelfUpdateProblem::NotAProgram);
    const std::uint16_t magic = Word(head, pe + kOptional);
    const bool wide = machine == kMachineAmd64 || machine == kMachineArm64;
    if (magic != (wide ? 0x20b : 0x10b))
        return SelfUpdateText(SelfUpdateProblem::OtherMachine);
    constexpr std::size_t kSubsystem = 68;
    constexpr std::uint16_t kWindowsGui = 2;
    if (Word(head, pe + kOptional + kSubsystem) != kWindowsGui)
        return SelfUpdateText(SelfUpdateProblem::NoWindow);
    return {};
}

std::u16string QuotedArgument(std::u16string_view argument)
{
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == std::u16string_view::npos)
        return std::u16string(argument);
    // Backslashes are literal except before a quote: those before a quote,
    // and before the closing one, are doubled.
    std::u16string quoted = u"\"";
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, u'\\');
    return quoted + u"\"";
}

std::u16string JoinedArguments(const std::vector<std::u16string>& arguments)
{
    std::u16string line;
    for (const std::u16string& argument : arguments)
        line += u" " + QuotedArgument(argument);
    return line;
}

std::vector<std::u16string> ReplacementArguments(const Replacement& replacement)
{
    std::vector<std::u16string> arguments = {kReplaceOption, Digits(replacement.oldProcess),
                                             Digits(replacement.readyEvent), replacement.target, kArgumentsMark};
    arguments.insert(arguments.end(), replacement.arguments.begin(), replacement.arguments.end());
    return arguments;
}

std::optional<Replacement> ParseReplacement(const std::vector<std::u16string>& arguments)
{
    if (arguments.size() < 5 || arguments[0] != kReplaceOption || arguments[4] != kArgumentsMark)
        return std::nullopt;
    const auto process = NumberOf<std::uint32_t>(arguments[1]);
    const auto event = NumberOf<std::uintptr_t>(arguments[2]);
    if (!process || !event || arguments[3].empty())
        return std::nullopt;
    return Replacement{*process, *event, arguments[3], {arguments.begin() + 5, arguments.end()}};
}

bool StartsWindow(const std::vector<std::u16string>& arguments)
{
    for (const std::u16string& argument : arguments) {
        std::u16string lower;
        for (char16_t c : argument)
            lower += c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
        if (lower == u"/print" || lower == u"/list" || lower == u"/update" || lower == u"/start")
            return false;
    }
    return true;
}

InstallResult SelfImageInstall::Install(const std::filesystem::path& download, const std::filesystem::path&,
                                        const std::atomic<bool>* cancelled)
{
    InstallResult result;
    if (cancelled && cancelled->load()) {
        result.error = kCancelled;
        return result;
    }
    std::string head(kImageHeadBytes, '\0');
    try {
        const InputFile file(download, download);
        head.resize(file.ReadAt(0, std::as_writable_bytes(std::span(head))));
    } catch (const Error& error) {
        result.error = ErrorTextOf(error);
        return result;
    }
    // The download stays: the next run checks it again without fetching it,
    // and a corrected file on the server replaces it.
    if (std::string refusal = CheckLauncherImage(std::as_bytes(std::span(head)), machine_); !refusal.empty()) {
        result.error = std::move(refusal);
        return result;
    }
    if (std::string failed = handOff_.Start(download); !failed.empty()) {
        result.error = std::move(failed);
        return result;
    }
    handedOff_ = true;
    result.finished = false;
    result.note = kLauncherUpdated;
    return result;
}

} // namespace tarnwick::player
