#pragma once

#include "ui/logic/operator.h"
#include "ui/logic/server_editor.h"
#include "ui/modal_runner.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TFormEditServer;
}

// The server dialog: a view over ServerEditorLogic, created once and reused.
class TFormEditServer : public QDialog, public tarnwick::ui::ModalDialog {
    Q_OBJECT

public:
    TFormEditServer(tarnwick::Notifier& notifier, QWidget* parent = nullptr);
    ~TFormEditServer() override;

    tarnwick::ui::ServerEditorLogic& Editor() { return editor_; }
    void SetModalRunner(tarnwick::ui::ModalRunner runner) { runner_ = std::move(runner); }

    tarnwick::ui::Frame OuterFrame() const override;
    void MoveTo(int left, int top) override;
    bool ShowModal() override;

public slots:
    void ButtonOkClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LoadFields();
    void StoreFields();

    std::unique_ptr<Ui::TFormEditServer> ui_;
    tarnwick::Notifier& notifier_;
    tarnwick::ui::ServerEditorLogic editor_;
    tarnwick::ui::ModalRunner runner_ = tarnwick::ui::ExecRunner();
};
