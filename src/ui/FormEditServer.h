#pragma once

#include "ui/EditorDialog.h"
#include "ui/logic/server_editor.h"

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TFormEditServer;
}

// The server dialog: a view over ServerEditorLogic, created once and reused.
class TFormEditServer : public EditorDialog {
    Q_OBJECT

public:
    TFormEditServer(tarnwick::Notifier& notifier, QWidget* parent = nullptr);
    ~TFormEditServer() override;

    tarnwick::ui::ServerEditorLogic& Editor() { return editor_; }

public slots:
    void ButtonOkClick();

private:
    QWidget* FieldWidget(tarnwick::ui::ServerField field) const;
    void LoadFields() override;
    void StoreFields() override;

    std::unique_ptr<Ui::TFormEditServer> ui_;
    tarnwick::Notifier& notifier_;
    tarnwick::ui::ServerEditorLogic editor_;
    std::vector<std::string> shownGroups_; // the names in the group choice list
};
