#pragma once

#include "cli/commands.h"
#include "config/model.h"
#include "edit/setup_editor.h"
#include "edit/working_copy.h"

#include <string>

namespace tarnwick::cli {

// One edit of Tarnwick.xml: the folder's lock, a load that must be whole, one
// operation of the editing layer, and the save. A refused operation writes
// nothing.
class EditSession {
public:
    // Takes the lock (waiting context.lockWait) and loads. Raises Refusal when
    // another program holds the lock or the file does not load whole: an edit
    // saved over a file that did not load would lose what did not.
    explicit EditSession(const Context& context);

    SetupModel& Model() { return model_; }
    edit::SetupEditor& Editor() { return editor_; }

    // Saves after Done and returns 0; raises Refusal with the outcome's notice otherwise.
    int Finish(edit::Outcome outcome);

private:
    edit::WorkingCopy workingCopy_;
    SetupModel model_;
    edit::SetupEditor editor_{model_};
};

// Tarnwick.xml as the reading commands read it: without the lock, saying on
// standard error when another program holds it, since that program's unsaved
// edits are not in the file. Raises Error when it does not load.
SetupModel ReadWorkingCopy(const Context& context);
SetupModel ReadWorkingCopy(edit::WorkingCopy& workingCopy, const Translation& translation);

} // namespace tarnwick::cli
