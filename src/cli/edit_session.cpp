#include "cli/edit_session.h"

#include "cli/printable.h"

#include <iostream>

namespace tarnwick::cli {

bool CommandLineOperator::Notice(NoticeKind kind, const std::string&, const std::string& text)
{
    switch (kind) {
    case NoticeKind::Refusal:
        refused = true;
        std::cerr << Printable(text) << "\n";
        return true;
    case NoticeKind::Confirmation:
        if (confirm(text))
            return true;
        cancelled = true;
        return false;
    case NoticeKind::Success:
        if (!quiet)
            std::cerr << Printable(text) << "\n";
        return true;
    }
    return true;
}

bool CommandLineOperator::InputQuery(const std::string&, const std::string&, std::string& text)
{
    if (inputs.empty()) {
        cancelled = true;
        return false;
    }
    text = std::move(inputs.front());
    inputs.pop_front();
    return true;
}

EditSession::EditSession(const std::filesystem::path& folder) : logic_(op, window_, {}, folder)
{
    logic_.AttachDialogs({serverEditor, serverDialog}, {updateEditor, updateDialog});
    logic_.LoadWorkingCopy();
}

int EditSession::Finish()
{
    if (op.refused || op.cancelled)
        return 1;
    op.quiet = true;
    logic_.SaveConfiguration();
    return 0;
}

} // namespace tarnwick::cli
