#pragma once

#include "cli/commands.h"

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::cli {

// A command's arguments: "--name VALUE" options, "--flag" switches and the
// operands, in any order; "--" ends the options. Raises UsageError, naming
// the option and giving the usage, for an option the command does not know.
class Options {
public:
    Options(const Arguments& args, std::initializer_list<const char*> valued, std::initializer_list<const char*> flags,
            const std::string& usage);

    bool Flag(const std::string& name) const { return flags_.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Operands() const { return operands_; }
    // Raises the usage error unless there are `count` operands.
    void ExpectOperands(std::size_t count) const;
    [[noreturn]] void Usage() const;

private:
    std::string usage_;
    std::map<std::string, std::string> values_;
    std::map<std::string, bool> flags_;
    std::vector<std::string> operands_;
};

// A text from the command line (UTF-8) as core text; `what` names the option
// or operand in the UsageError raised when GBK cannot represent it.
std::string GbkArgument(const std::string& utf8, const std::string& what);

} // namespace tarnwick::cli
