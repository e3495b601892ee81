#include "cli/edit_session.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/failures.h"
#include "cli/printable.h"

#include <iostream>

namespace tarnwick::cli {
namespace {

std::string Seconds(std::chrono::milliseconds wait)
{
    const auto tenths = wait.count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "");
}

} // namespace

EditSession::EditSession(const Context& context) : workingCopy_(context.folder)
{
    if (const auto holder = workingCopy_.Lock("tarnwick-cli", context.lockWait))
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Tarnwick.xml is in use by %1; waited %2 s for it "
                                                               "(--wait SECONDS waits longer). Nothing was changed."))
                          .Inner(*holder)
                          .Arg(Seconds(context.lockWait)));
    try {
        workingCopy_.Load(model_);
    } catch (const Error& error) {
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Tarnwick.xml does not load whole, so it is not "
                                                               "edited (the window keeps a copy of it before it saves "
                                                               "over it): %1"))
                          .Inner(error.Text()));
    }
}

int EditSession::Finish(edit::Outcome outcome)
{
    if (outcome != edit::Outcome::Done)
        throw Refusal(edit::RefusalNotice(outcome).text);
    workingCopy_.Save(model_);
    return 0;
}

SetupModel ReadWorkingCopy(const Context& context)
{
    edit::WorkingCopy workingCopy(context.folder);
    return ReadWorkingCopy(workingCopy, context.translation);
}

SetupModel ReadWorkingCopy(edit::WorkingCopy& workingCopy, const Translation& translation)
{
    if (const auto holder = workingCopy.OtherHolder())
        std::cerr << "tarnwick-cli: "
                  << Printable(translation.Sentence(
                         Message(QT_TRANSLATE_NOOP("TarnwickCli", "note: Tarnwick.xml is open in %1; what is read "
                                                                  "here lacks its unsaved edits"))
                             .Inner(*holder)))
                  << "\n";
    SetupModel model;
    workingCopy.Load(model);
    return model;
}

} // namespace tarnwick::cli
