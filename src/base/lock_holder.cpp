#include "base/file_lock.h"
#include "base/text.h"
#include "base/translatable.h"

namespace tarnwick {

Message HolderMessage(std::string_view utf8)
{
    if (utf8.empty())
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "另一个程序"));
    // The lock file is UTF-8; core text is GBK.
    const auto gbk = [](std::string_view text) { return TryUtf8ToGbk(text).value_or(std::string(text)); };
    // ProcessDescription's form: "PROGRAM, process PID on host HOST, since TIME".
    const std::size_t process = utf8.find(", process ");
    const std::size_t host = utf8.find(" on host ", process == std::string_view::npos ? 0 : process);
    const std::size_t since = utf8.rfind(", since ");
    if (process == std::string_view::npos || host == std::string_view::npos || since == std::string_view::npos ||
        since < host)
        return Message::Untranslated(gbk(utf8));
    const std::size_t pid = process + std::string_view(", process ").size();
    const std::size_t name = host + std::string_view(" on host ").size();
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "%1（进程 %2，主机 %3，自 %4 起）"));
    message.Arg(gbk(utf8.substr(0, process)))
        .Arg(gbk(utf8.substr(pid, host - pid)))
        .Arg(gbk(utf8.substr(name, since - name)))
        .Arg(gbk(utf8.substr(since + std::string_view(", since ").size())));
    return message;
}

} // namespace tarnwick
