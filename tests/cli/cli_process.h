#pragma once

// tarnwick-cli run as operators run it: a separate process in a folder, with
// its exit status and its two output streams.
#include "base/file_io.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tarnwick::testing {

struct CliOutcome {
    int status;
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline int ExitStatus(int waited) { return WIFEXITED(waited) ? WEXITSTATUS(waited) : -1; }

// tarnwick-cli -C FOLDER --language LANGUAGE ARGS, its output going to "out"
// and "err" in `streams`. English unless told, whatever the machine's locale,
// so that the texts read are the ones expected; "" leaves it to the locale.
inline std::string CliCommand(const std::filesystem::path& folder, const std::filesystem::path& streams,
                              const std::vector<std::string>& args, const std::string& language = "en")
{
    std::string command = ShellQuoted(TARNWICK_CLI) + " -C " + ShellQuoted(folder.string());
    if (!language.empty())
        command += " --language " + ShellQuoted(language);
    for (const auto& arg : args)
        command += " " + ShellQuoted(arg);
    return command + " >" + ShellQuoted((streams / "out").string()) + " 2>" + ShellQuoted((streams / "err").string());
}

// Runs it with `input` on standard input (a file, so not a terminal).
inline CliOutcome RunCli(const std::filesystem::path& folder, const std::filesystem::path& streams,
                         const std::vector<std::string>& args, const std::string& input = "",
                         const std::string& language = "en")
{
    ReplaceFile(streams / "in", input);
    const int waited = std::system(
        (CliCommand(folder, streams, args, language) + " <" + ShellQuoted((streams / "in").string())).c_str());
    return {ExitStatus(waited), ReadFile(streams / "out"), ReadFile(streams / "err")};
}

} // namespace tarnwick::testing
