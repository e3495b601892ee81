#include "cli/commands.h"

#include "config/document.h"
#include "base/error.h"
#include "config/field_encoder.h"

#include <cstdio>
#include <iostream>
#include <iterator>

namespace tarnwick::cli {
namespace {

const char* const kWorkingCopy = "Tarnwick.xml";

int Resave(const Arguments& args)
{
    if (!args.empty())
        throw Error("usage: tarnwick-cli resave");
    ConfigurationDocument document(kWorkingCopy);
    SetupModel model;
    document.LoadConfiguration(model);
    document.WriteConfiguration(model, kWorkingCopy, false);
    return 0;
}

int ServerInfo(const Arguments& args)
{
    if (!args.empty())
        throw Error("usage: tarnwick-cli serverinfo");
    ConfigurationDocument document(kWorkingCopy);
    SetupModel model;
    document.LoadConfiguration(model);
    WriteServerInfo(document, model, "ServerInfo.txt");
    return 0;
}

// The value is every byte of standard input, taken as it is (no line handling).
int Encode(const Arguments& args)
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

} // namespace

std::vector<Command> ConfigCommands()
{
    return {
        {"resave", "resave              load Tarnwick.xml and write it back", Resave},
        {"serverinfo", "serverinfo          load Tarnwick.xml and write ServerInfo.txt", ServerInfo},
        {"encode", "encode [--trace]    encode the bytes of standard input as ServerInfo.txt does", Encode},
    };
}

} // namespace tarnwick::cli
