#include "cli/options.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/failures.h"

#include <algorithm>

namespace tarnwick::cli {

Options::Options(const Arguments& args, std::initializer_list<const char*> valued,
                 std::initializer_list<const char*> flags, const std::string& usage)
    : usage_(usage)
{
    const auto known = [](std::initializer_list<const char*> names, const std::string& name) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
    };
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options || arg.size() < 2 || arg[0] != '-') {
            operands_.push_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if (known(flags, arg)) {
            flags_[arg] = true;
        } else if (known(valued, arg) && i + 1 < args.size()) {
            values_[arg] = args[++i];
        } else if (known(valued, arg)) {
            throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: needs a value; usage: tarnwick-cli %2"))
                                 .Arg(arg)
                                 .Arg(usage_));
        } else {
            throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: unknown option; usage: tarnwick-cli %2"))
                                 .Arg(GbkArgument(arg, "OPTION"))
                                 .Arg(usage_));
        }
    }
}

std::optional<std::string> Options::Value(const std::string& name) const
{
    const auto found = values_.find(name);
    if (found == values_.end())
        return std::nullopt;
    return found->second;
}

void Options::ExpectOperands(std::size_t count) const
{
    if (operands_.size() != count)
        Usage();
}

void Options::Usage() const
{
    throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "usage: tarnwick-cli %1")).Arg(usage_));
}

std::string GbkArgument(const std::string& utf8, const std::string& what)
{
    auto gbk = TryUtf8ToGbk(utf8);
    if (!gbk)
        throw UsageError(
            Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: holds a character that GBK cannot represent")).Arg(what));
    return std::move(*gbk);
}

} // namespace tarnwick::cli
