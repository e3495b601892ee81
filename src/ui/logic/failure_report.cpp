#include "ui/logic/failure_report.h"

#include "base/error.h"

#include <exception>

namespace tarnwick::ui {

std::string FailureReportText(const std::string& message)
{
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
