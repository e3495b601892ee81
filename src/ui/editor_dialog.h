#pragma once

#include "ui/logic/operator.h"
#include "ui/modal_runner.h"

#include <QDialog>

namespace tarnwick::ui {

// What the two editor dialogs share: fixed-size windows created once and
// reused, whose fields are loaded from their editor before each showing and
// stored back after it, whatever button closed them.
class EditorDialog : public QDialog, public ModalDialog {
    Q_OBJECT

public:
    explicit EditorDialog(QWidget* parent);

    void SetModalRunner(ModalRunner runner) { runner_ = std::move(runner); }

    Frame OuterFrame() const override;
    void MoveTo(int left, int top) override;
    bool ShowModal() override;

protected:
    // Called by a dialog once its layout is set up: font, fixed size, title-bar
    // buttons, and the guard against text GBK cannot hold.
    void FinishLayout();
    virtual void LoadFields() = 0;
    virtual void StoreFields() = 0;
    // After the OK tests: closes with OK when nothing was refused, else puts
    // the keyboard focus on the refused field and stays open.
    void AcceptOrFocus(QWidget* refusedField);
    // Neither Enter nor Escape is bound to OK or Cancel.
    void keyPressEvent(QKeyEvent* event) override;

private:
    ModalRunner runner_ = ExecRunner();
};

} // namespace tarnwick::ui
