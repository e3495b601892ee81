#pragma once

#include "ui/logic/operator.h"
#include "ui/logic/update_editor.h"
#include "ui/modal_runner.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TFormEditUpData;
}

// The update-entry dialog: a view over UpdateEditorLogic, created once and
// reused, with the MD5 calculator on its drop box.
class TFormEditUpData : public QDialog, public tarnwick::ui::ModalDialog {
    Q_OBJECT

public:
    TFormEditUpData(tarnwick::Notifier& notifier, QWidget* parent = nullptr);
    ~TFormEditUpData() override;

    tarnwick::ui::UpdateEditorLogic& Editor() { return editor_; }
    void SetModalRunner(tarnwick::ui::ModalRunner runner) { runner_ = std::move(runner); }

    tarnwick::ui::Frame OuterFrame() const override;
    void MoveTo(int left, int top) override;
    bool ShowModal() override;

    // Hashes a file as a drop does: name into edt1, digest into edt2, pb1 moving.
    void CalculateDigest(const QString& fileName);
    // The digest's progress callback: moves pb1 and lets pending events run.
    void DigestProgress(int percent);

public slots:
    void ButtonOkClick();
    void cbbCheckTypeChange();
    void DropFileGroupBox1DropFile(QObject* sender);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LoadFields();
    void StoreFields();
    void ShowCheckModeRow();

    std::unique_ptr<Ui::TFormEditUpData> ui_;
    tarnwick::Notifier& notifier_;
    tarnwick::ui::UpdateEditorLogic editor_;
    tarnwick::ui::ModalRunner runner_ = tarnwick::ui::ExecRunner();
};
