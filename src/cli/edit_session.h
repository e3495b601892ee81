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
    // another program holds the lock, when the folder or Tarnwick.xml is
    // read-only, or when the file does not load whole: an edit saved over a
    // file that did not load would lose what did not.
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

// Tarnwick.xml as a reading command read it.
struct WorkingCopyReading {
    // What could be read: of a damaged file, what stood before the damage.
    SetupModel model;
    bool whole = true;
    // The command's exit status once it has printed what was read.
    int Status() const { return whole ? 0 : 1; }
};

// Tarnwick.xml as the reading commands read it: without the lock, saying on
// standard error when another program holds it (that program's unsaved edits
// are not in the file), when the folder has none, and, of a damaged one, what
// could not be read (the file, the line, why). Raises Error when the file
// cannot be read at all.
WorkingCopyReading ReadWorkingCopy(const Context& context);
WorkingCopyReading ReadWorkingCopy(edit::WorkingCopy& workingCopy, const Translation& translation);

// The same for a command that publishes or compares what it read: a file that
// does not load whole raises Refusal, since a part of it would stand for all.
SetupModel ReadWholeWorkingCopy(edit::WorkingCopy& workingCopy, const Translation& translation,
                                const char* command);

} // namespace tarnwick::cli
