#pragma once

#include "base/message.h"
#include "config/model.h"
#include "edit/list_changes.h"
#include "edit/list_events.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick::edit {

// What an edit was, so that the window can name what an undo or redo does.
enum class EditKind {
    AddGroup,
    DeleteGroup,
    MoveGroup,
    AddServer,
    EditServer,
    DeleteServer,
    MoveServer,
    AddUpdate,
    EditUpdate,
    DeleteUpdate,
    Text, // a web address or a launcher field
};

// Where an undone or redone edit shows: its list and the row that now holds
// what it changed (-1 when its rows are gone), or the text field it set.
struct Restored {
    EditKind kind;
    std::optional<ListKind> list;
    int row = -1;
    const std::string* text = nullptr;
};

// "撤销删除服务器": the undo or redo command with what it would do, or bare.
Message UndoCaption(std::optional<EditKind> next);
Message RedoCaption(std::optional<EditKind> next);

// The undo and redo stacks of one model's edits. A step keeps only what its
// edit changed (a deleted group holds its servers, an edited row its other
// version), so that memory follows the edits and not the model's size. Each
// step is its own inverse: undoing it and redoing it both exchange what the
// model holds with what the step holds.
class EditHistory {
public:
    // A row added (whose record is in the list) or deleted (held here).
    template <class Record>
    struct RowPresence {
        int row;
        std::optional<Record> held;
    };
    // A row replaced: the version not in the list.
    template <class Record>
    struct RowContent {
        int row;
        Record held;
    };
    // Two neighbours exchanged; `at` is where the moved record is now.
    template <class Record>
    struct RowSwap {
        int at;
        int other;
    };
    // A group deleted with its servers, or put back.
    struct GroupPresence {
        int row;
        std::optional<ServerGroup> held;
        std::vector<ServerRun> servers;
    };
    // A text field of the model and the value it does not hold now. The
    // field is a member of the model that the steps are applied to, which
    // outlives them.
    struct TextChange {
        std::string* field;
        std::string held;
    };
    using Change = std::variant<RowPresence<ServerGroup>, RowPresence<ServerEntry>, RowPresence<UpdateEntry>,
                                RowContent<ServerEntry>, RowContent<UpdateEntry>, RowSwap<ServerGroup>,
                                RowSwap<ServerEntry>, GroupPresence, TextChange>;

    // An edit just made; the steps that could be redone are gone.
    void Record(EditKind kind, Change change);
    // `field` was just set from `before`. Setting the same field again, with
    // nothing else between, adds to the same step (the window stores a field
    // on every key), and a step whose field is back where it began is dropped.
    void RecordText(std::string& field, std::string before);
    // The operator left the field: its next change is a step of its own.
    void EndTyping() { typing_ = nullptr; }

    std::optional<Restored> Undo(SetupModel& model, ListEvents& events);
    std::optional<Restored> Redo(SetupModel& model, ListEvents& events);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    std::optional<EditKind> NextUndo() const;
    std::optional<EditKind> NextRedo() const;

    // A model loaded: the steps belong to the one before it.
    void Clear();

private:
    struct Step {
        EditKind kind;
        Change change;
    };
    // Takes the last step of `from`, exchanges it with the model, and puts it on `to`.
    std::optional<Restored> Apply(std::vector<Step>& from, std::vector<Step>& to, SetupModel& model,
                                  ListEvents& events);

    std::vector<Step> undo_;
    std::vector<Step> redo_;
    const std::string* typing_ = nullptr; // the field of the last step while typing goes on
};

} // namespace tarnwick::edit
