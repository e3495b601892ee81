#pragma once

#include "ui/editor_dialog.h"
#include "ui/logic/server_editor.h"

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TFormEditServer;
}

namespace tarnwick::ui {

// The server dialog: a view over ServerEditorLogic, created once and reused.
class TFormEditServer : public EditorDialog {
    Q_OBJECT

public:
    TFormEditServer(tarnwick::Notifier& notifier, QWidget* parent = nullptr);
    ~TFormEditServer() override;

    ServerEditorLogic& Editor() { return editor_; }

public slots:
    void ButtonOkClick();

private:
    QWidget* FieldWidget(ServerField field) const;
    void LoadFields() override;
    void StoreFields() override;

    std::unique_ptr<Ui::TFormEditServer> ui_;
    tarnwick::Notifier& notifier_;
    ServerEditorLogic editor_;
    std::vector<std::string> shownGroups_; // the names in the group choice list
};

} // namespace tarnwick::ui
