#include "cli/commands.h"
#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "digest/md5.h"

#include <cerrno>
#include <iostream>

namespace tarnwick::cli {

void RequireRegularFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status))
        throw CannotOpenFile(std::filesystem::absolute(path, error), EISDIR);
    if (!std::filesystem::exists(status))
        throw CannotOpenFile(std::filesystem::absolute(path, error), error ? error.value() : ENOENT);
}

namespace {

namespace fs = std::filesystem;

// The same escaping as md5sum: a name holding a backslash or a line break is
// written escaped, and its line starts with a backslash.
std::string Md5sumLine(const std::string& hex, const std::string& name)
{
    std::string escaped;
    bool needsEscape = false;
    for (char c : name) {
        switch (c) {
        case '\\': escaped += "\\\\"; needsEscape = true; break;
        case '\n': escaped += "\\n"; needsEscape = true; break;
        case '\r': escaped += "\\r"; needsEscape = true; break;
        default: escaped += c;
        }
    }
    return (needsEscape ? "\\" : "") + hex + "  " + escaped;
}

int RunMd5(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {"--progress"}, "md5 [--progress] FILE...");
    if (options.Operands().empty())
        options.Usage();
    const bool progress = options.Flag("--progress");

    // A file that cannot be read does not stop the others; it makes the
    // status 2, as for every command that cannot read its input.
    int status = 0;
    for (const auto& file : options.Operands()) {
        try {
            const fs::path path = context.In(Utf8Path(file));
            RequireRegularFile(path);
            int last = -1;
            ProgressCallback report;
            if (progress)
                report = [&](int percent) {
                    // One line per change; a large file reports the same value many times.
                    if (percent != last)
                        std::cerr << file << ": " << percent << "%\n";
                    last = percent;
                };
            Digest digest;
            FileDigest(path, digest, report);
            std::cout << Md5sumLine(DigestToHex(digest), file) << "\n" << std::flush;
        } catch (const Error& error) {
            std::cerr << "tarnwick-cli: " << Printable(context.translation.Sentence(error.Text())) << "\n";
            status = 2;
        }
    }
    if (!std::cout)
        throw Error(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Cannot write to standard output")));
    return status;
}

} // namespace

std::vector<Command> DigestCommands()
{
    return {
        {"md5",
         {{"md5 [--progress] FILE...",
           QT_TRANSLATE_NOOP("TarnwickCli", "MD5 digest of each file, in the format of md5sum;%1status 2 when a file "
                                            "cannot be read (the others%1are still done)")}},
         RunMd5},
    };
}

} // namespace tarnwick::cli
