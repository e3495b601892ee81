#include "ui/logic/failure_report.h"

#include "base/error.h"
#include "base/text.h"

#include <exception>

namespace tarnwick::ui {

std::string FailureReportText(const std::string& message)
{
    // The last character, walked to from the start: a GBK trail byte may look
    // like any printable ASCII byte.
    std::size_t last = 0;
    for (std::size_t i = 0; i < message.size(); i += last)
        last = IsGbkLead(static_cast<unsigned char>(message[i])) && i + 1 < message.size() ? 2 : 1;
    if (last == 2) {
        // A sentence that ends in Chinese ends with a Chinese full stop.
        const std::string_view end = std::string_view(message).substr(message.size() - 2);
        for (const char* mark : {"\xA1\xA3", "\xA3\xA1", "\xA3\xBF"}) // 。！？
            if (end == mark)
                return message;
        return message + "\xA1\xA3";
    }
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

void ReportFailure(Notifier& notifier, const std::string& message)
{
    notifier.Notice(NoticeKind::Refusal, kApplicationTitle, Message::Untranslated(FailureReportText(message)));
}

bool RunGuarded(Notifier& notifier, const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const Error& error) {
        ReportFailure(notifier, notifier.Sentence(error.Text()));
    } catch (const std::exception& error) {
        // Library failures (memory, file system) are reported the same way.
        ReportFailure(notifier, error.what());
    }
    return false;
}

} // namespace tarnwick::ui
