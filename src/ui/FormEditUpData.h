#pragma once

#include "ui/EditorDialog.h"
#include "ui/logic/update_editor.h"

#include <memory>
#include <optional>

namespace Ui {
class TFormEditUpData;
}

// The update-entry dialog: a view over UpdateEditorLogic, created once and
// reused, with the MD5 calculator on its drop box.
class TFormEditUpData : public EditorDialog {
    Q_OBJECT

public:
    TFormEditUpData(tarnwick::Notifier& notifier, QWidget* parent = nullptr);
    ~TFormEditUpData() override;

    tarnwick::ui::UpdateEditorLogic& Editor() { return editor_; }

    // Hashes a file as a drop does: name into edt1, digest into edt2, pb1 moving.
    void CalculateDigest(const QString& fileName);
    // While a digest runs, closing waits until the drop that started it has
    // been handled: the platform's drop handling must not find its window gone.
    void done(int result) override;
    // The digest's progress callback: moves pb1 and lets pending events run.
    void DigestProgress(int percent);

public slots:
    void ButtonOkClick();
    void cbbCheckTypeChange();
    void DropFileGroupBox1DropFile(QObject* sender);

private:
    void HashTypedFileName();
    QWidget* FieldWidget(tarnwick::ui::UpdateField field) const;
    void LoadFields() override;
    void StoreFields() override;
    void ShowCheckModeRow();

    std::unique_ptr<Ui::TFormEditUpData> ui_;
    tarnwick::Notifier& notifier_;
    tarnwick::ui::UpdateEditorLogic editor_;
    int digests_ = 0; // digests under way, nested ones included
    std::optional<int> closeRequested_;
};
