#include "cli/commands.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "config/document.h"
#include "config/document_writer.h"
#include "config/field_encoder.h"
#include "config/model_diff.h"
#include "config/server_info_reader.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <iterator>

namespace tarnwick::cli {
namespace {

const char* const kWorkingCopy = "Tarnwick.xml";
const char* const kServerInfo = "ServerInfo.txt";

// A server information file costs the decoder about what a document costs the
// loader, so it is held to the same cap.
constexpr SizeLimit kServerInfoLimit{1024u * 1024 * 1024, "The file",
                                     "a server information file may be at most 1,073,741,824 bytes (1 GiB)"};

// The bytes of FILE, of standard input for "-"; and the name that messages use.
std::pair<std::string, std::string> ReadInput(const Context& context, const std::string& file)
{
    if (file != "-")
        return {ReadFile(context.In(Utf8Path(file)), kServerInfoLimit), PathText(Utf8Path(file))};
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, got);
        if (bytes.size() > kServerInfoLimit.maxBytes)
            throw Error("Standard input holds more than 1 GiB; " + std::string(kServerInfoLimit.rule));
        if (got < sizeof buffer)
            break;
    }
    if (std::ferror(stdin))
        throw Error("Cannot read standard input");
    return {std::move(bytes), "standard input"};
}

int Resave(const Context& context, const Arguments& args)
{
    if (!args.empty())
        throw Error("usage: tarnwick-cli resave");
    ConfigurationDocument document(context.In(kWorkingCopy));
    SetupModel model;
    document.LoadConfiguration(model);
    document.WriteConfiguration(model, context.In(kWorkingCopy), false);
    return 0;
}

int ServerInfo(const Context& context, const Arguments& args)
{
    if (!args.empty())
        throw Error("usage: tarnwick-cli serverinfo");
    ConfigurationDocument document(context.In(kWorkingCopy));
    SetupModel model;
    document.LoadConfiguration(model);
    WriteServerInfo(document, model, context.In(kServerInfo));
    return 0;
}

// The value is every byte of standard input, taken as it is (no line handling).
int Encode(const Context&, const Arguments& args)
{
    const bool trace = args.size() == 1 && args[0] == "--trace";
    if (!args.empty() && !trace)
        throw Error("usage: tarnwick-cli encode [--trace]");
    // One byte past the limit is enough to refuse; the rest is never read, so
    // an endless input cannot exhaust memory.
    std::string value(FieldEncoder::kMaxValueBytes + 1, '\0');
    value.resize(std::fread(value.data(), 1, value.size(), stdin));
    if (std::ferror(stdin))
        throw Error("Cannot read standard input");
    if (value.size() > FieldEncoder::kMaxValueBytes)
        throw Error("The value is longer than 10,240 bytes; a value may hold at most 10,240 bytes.");
    FieldEncoder::TraceSink sink;
    if (trace)
        sink = [](std::string_view line) { std::cerr << line << '\n'; };
    FieldEncoder encoder(BuiltInKey(), sink);
    std::cout << encoder.EncodeValue(value) << '\n';
    return 0;
}

// Prints the document that the file was written from: redirected, the bytes
// of a working copy (GBK, CR LF), so that it can be saved as Tarnwick.xml; on
// a terminal, readable text.
int Decode(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {}, "decode [FILE|-]");
    if (options.Operands().size() > 1)
        options.Usage();
    const auto [bytes, name] = ReadInput(context, options.Operands().empty() ? kServerInfo : options.Operands()[0]);
    const SetupModel model = ReadServerInfo(bytes, name);
    const std::string document = WriteDocumentText(model, false, {});
    if (isatty(STDOUT_FILENO)) {
        std::string shown = GbkToUtf8(document);
        std::erase(shown, '\r');
        std::cout << shown;
    } else {
        std::cout.write(document.data(), static_cast<std::streamsize>(document.size()));
    }
    return std::cout.flush() ? 0 : 1;
}

std::string Shown(const std::string& gbk) { return Printable(gbk); }

void PrintDifference(const Difference& d)
{
    std::cout << "  " << Shown(d.record) << ": ";
    switch (d.kind) {
    case Difference::Kind::Added:
        std::cout << "added" << (d.after.empty() ? "" : " (" + Shown(d.after) + ")");
        break;
    case Difference::Kind::Removed:
        std::cout << "removed" << (d.before.empty() ? "" : " (" + Shown(d.before) + ")");
        break;
    case Difference::Kind::Changed:
        std::cout << (d.field.empty() ? "" : d.field + " ") << "changed from \"" << Shown(d.before) << "\" to \""
                  << Shown(d.after) << "\"";
        break;
    case Difference::Kind::Moved:
        std::cout << "moved";
        break;
    }
    std::cout << "\n";
}

// The next byte of a text whose line breaks (CR LF, CR or LF) all read as LF;
// -1 at its end.
int NextByte(std::string_view text, std::size_t& at)
{
    if (at >= text.size())
        return -1;
    const char c = text[at++];
    if (c != '\r')
        return static_cast<unsigned char>(c);
    if (at < text.size() && text[at] == '\n')
        ++at;
    return '\n';
}

// The number of the first line at which the two texts differ, line ends
// aside; 0 when they do not.
long FirstDifferentLine(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    for (long line = 1;;) {
        const int x = NextByte(a, i);
        if (x != NextByte(b, j))
            return line;
        if (x < 0)
            return 0;
        line += x == '\n' ? 1 : 0;
    }
}

// Exit status as diff's: 0 the same, 1 different, 2 trouble.
int Verify(const Context& context, const Arguments& args)
{
    try {
        const Options options(args, {}, {}, "verify [FILE|-]");
        if (options.Operands().size() > 1)
            options.Usage();
        const auto [published, name] =
            ReadInput(context, options.Operands().empty() ? kServerInfo : options.Operands()[0]);
        // Decoding is cheap and tells most differences; only a file that holds
        // the values of now is compared, line ends aside, with the text that
        // serverinfo would write.
        const SetupModel publishedModel = ReadServerInfo(published, name);
        ConfigurationDocument document(context.In(kWorkingCopy));
        SetupModel model;
        document.LoadConfiguration(model);
        const std::vector<Difference> differences = CompareModels(publishedModel, AsWritten(model));
        if (differences.empty()) {
            const long line = FirstDifferentLine(published, WrapServerInfo(document.BuildDocument(model, true)));
            if (line == 0)
                std::cout << "up to date\n";
            else
                std::cout << "up to date: " << Printable(name) << " holds the values that serverinfo writes now, "
                          << "but its text differs from line " << line << " (another writer's layout or "
                          << "compression)\n";
            return 0;
        }
        std::cout << Printable(name) << " differs from what serverinfo writes now from " << kWorkingCopy
                  << " (published, then now):\n";
        for (const Difference& difference : differences)
            PrintDifference(difference);
        return 1;
    } catch (const Error& error) {
        std::cerr << "tarnwick-cli: " << Printable(error.what()) << "\n";
        return 2;
    }
}

} // namespace

std::vector<Command> ConfigCommands()
{
    return {
        {"resave", "resave                      load Tarnwick.xml and write it back", Resave},
        {"serverinfo", "serverinfo                  load Tarnwick.xml and write ServerInfo.txt", ServerInfo},
        {"encode", "encode [--trace]            encode the bytes of standard input as ServerInfo.txt does", Encode},
        {"decode",
         "decode [FILE|-]             print the document that ServerInfo.txt (or FILE, or\n"
         "                              standard input) was written from, checking every\n"
         "                              value; redirected, the bytes of a Tarnwick.xml",
         Decode},
        {"verify",
         "verify [FILE|-]             compare a published ServerInfo.txt with what\n"
         "                              serverinfo writes now: \"up to date\" and status 0, or\n"
         "                              the differences and status 1 (2 for an error);\n"
         "                              curl -s URL | tarnwick-cli verify -",
         Verify},
    };
}

} // namespace tarnwick::cli
