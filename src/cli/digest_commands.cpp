#include "cli/commands.h"
#include "base/error.h"
#include "base/text.h"
#include "cli/printable.h"
#include "digest/md5.h"

#include <cerrno>
#include <iostream>

namespace tarnwick::cli {

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

// Hashing itself gives a missing file or a directory the all-zero digest; on the
// command line that would pass a typing error off as a digest, so say so instead.
void RequireRegularFile(const fs::path& path)
{
    std::error_code error;
    const auto status = fs::status(path, error);
    if (fs::is_directory(status))
        throw CannotOpenFile(fs::absolute(path, error), EISDIR);
    if (!fs::exists(status))
        throw CannotOpenFile(fs::absolute(path, error), error ? error.value() : ENOENT);
}

int RunMd5(const Context& context, const Arguments& args)
{
    bool progress = false;
    bool options = true;
    std::vector<std::string> files;
    for (const auto& arg : args) {
        if (options && arg == "--progress")
            progress = true;
        else if (options && arg == "--")
            options = false;
        else if (options && arg.size() > 1 && arg[0] == '-')
            throw Error("md5: unknown option " + arg);
        else
            files.push_back(arg);
    }
    if (files.empty())
        throw Error("md5: no file given");

    int status = 0;
    for (const auto& file : files) {
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
            std::cerr << "tarnwick-cli: " << Printable(error.what()) << "\n";
            status = 1;
        }
    }
    return status;
}

} // namespace

std::vector<Command> DigestCommands()
{
    return {
        {"md5", "md5 [--progress] FILE...   MD5 digest of each file, in the format of md5sum", RunMd5},
    };
}

} // namespace tarnwick::cli
