#include "cli/edit_session.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/failures.h"
#include "cli/printable.h"

#include <filesystem>
#include <iostream>
#include <system_error>

namespace tarnwick::cli {
namespace {

std::string Seconds(std::chrono::milliseconds wait)
{
    const auto tenths = wait.count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "");
}

void Note(const Translation& translation, const Message& message)
{
    std::cerr << "tarnwick-cli: " << Printable(translation.Sentence(message)) << "\n";
}

// Loads without the lock, telling on standard error what the reader should
// know of what it gets. Raises Error as WorkingCopy::Load does.
void LoadTelling(edit::WorkingCopy& workingCopy, const Translation& translation, SetupModel& model)
{
    if (const auto holder = workingCopy.OtherHolder())
        Note(translation, Message(QT_TRANSLATE_NOOP("TarnwickCli", "note: Tarnwick.xml is open in %1; what is read "
                                                                   "here lacks its unsaved edits"))
                              .Inner(*holder));
    workingCopy.Load(model);
    if (workingCopy.Found())
        return;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(workingCopy.Path(), error).lexically_normal();
    Note(translation, Message(QT_TRANSLATE_NOOP("TarnwickCli", "note: there is no Tarnwick.xml in %1; what follows "
                                                               "is what a new one starts with"))
                          .Arg(PathText(error ? workingCopy.Folder() : folder.parent_path())));
}

} // namespace

EditSession::EditSession(const Context& context) : workingCopy_(context.folder)
{
    if (const auto holder = workingCopy_.Lock("tarnwick-cli", context.lockWait))
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Tarnwick.xml is in use by %1; waited %2 s for it "
                                                               "(--wait SECONDS waits longer). Nothing was changed."))
                          .Inner(*holder)
                          .Arg(Seconds(context.lockWait)));
    if (const auto place = workingCopy_.ReadOnly())
        throw Refusal(edit::ReadOnlyRefusal(*place, workingCopy_.Folder()).text);
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

WorkingCopyReading ReadWorkingCopy(const Context& context)
{
    edit::WorkingCopy workingCopy(context.folder);
    return ReadWorkingCopy(workingCopy, context.translation);
}

WorkingCopyReading ReadWorkingCopy(edit::WorkingCopy& workingCopy, const Translation& translation)
{
    WorkingCopyReading reading;
    try {
        LoadTelling(workingCopy, translation, reading.model);
    } catch (const Error& error) {
        if (error.Kind() != ErrorKind::Damaged)
            throw;
        reading.whole = false;
        Note(translation, Message(QT_TRANSLATE_NOOP("TarnwickCli", "Tarnwick.xml does not load whole; what follows "
                                                                   "is what stood before the damage: %1"))
                              .Inner(error.Text()));
    }
    return reading;
}

SetupModel ReadWholeWorkingCopy(edit::WorkingCopy& workingCopy, const Translation& translation, const char* command)
{
    SetupModel model;
    try {
        LoadTelling(workingCopy, translation, model);
    } catch (const Error& error) {
        if (error.Kind() != ErrorKind::Damaged)
            throw;
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1 uses only a Tarnwick.xml that loads whole: %2"))
                          .Arg(command)
                          .Inner(error.Text()));
    }
    return model;
}

} // namespace tarnwick::cli
