#pragma once

#include "base/notice.h"

#include <functional>
#include <string>

namespace tarnwick::ui {

// The application title, also the caption of the general failure report.
inline constexpr const char* kApplicationTitle = "Tarnwick";

// The report's text: the message with "." appended unless its last byte already
// sorts at or before "." (so "...!" gains a dot and "Done." does not). A
// message that ends in a Chinese character gains "。" instead, unless that
// character is 。, ！ or ？.
std::string FailureReportText(const std::string& message);

// Shows an error that no handler dealt with, as a refusal captioned "Tarnwick".
void ReportFailure(Notifier& notifier, const std::string& message);

// Runs one user action; an error it raises is reported and the program goes on.
// Returns false when the action failed.
bool RunGuarded(Notifier& notifier, const std::function<void()>& action);

} // namespace tarnwick::ui
