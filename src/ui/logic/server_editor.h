#pragma once

#include "base/notice.h"
#include "edit/setup_editor.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::ui {

// The fields of the server dialog, in the order its OK button tests them.
enum class ServerField { ShowName, Name, Addr, Group, Port };

// What the server dialog holds between uses; the main window fills it before
// each showing and reads it after OK. All texts GBK.
struct ServerEditorFields {
    std::string Caption;
    std::string ShowName;
    std::string Name;
    std::string Addr;
    std::string Port;
    std::vector<std::string> GroupNames;
    int GroupIndex = -1; // -1: no group chosen

    // The chosen group's name, empty when none is chosen.
    bool HasChosenGroup() const;
    std::string ChosenGroup() const;
    // What the operator typed and chose, for the editing layer.
    edit::ServerInput Input() const;
};

class ServerEditorLogic {
public:
    ServerEditorFields Fields;

    // The OK button's tests. Refuses the first incomplete field through the
    // notifier and returns it (the view puts the focus there); nothing when the
    // dialog may close with OK. Reads only: the texts are trimmed on storing.
    std::optional<ServerField> RefuseIncomplete(Notifier& notifier) const;
};

// Shows an outcome's refusal notice; false for Done.
bool ShowRefusal(Notifier& notifier, edit::Outcome outcome);

} // namespace tarnwick::ui
