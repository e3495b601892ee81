#pragma once

#include "ui/editor_dialog.h"
#include "ui/logic/update_editor.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TFormEditUpData;
}

namespace tarnwick::ui {

// The update-entry dialog: a view over UpdateEditorLogic, created once and
// reused, with the MD5 calculator on its drop box.
class TFormEditUpData : public EditorDialog {
    Q_OBJECT

public:
    TFormEditUpData(tarnwick::Notifier& notifier, QWidget* parent = nullptr);
    ~TFormEditUpData() override;

    UpdateEditorLogic& Editor() { return editor_; }

    // Hashes a file as a drop does: name into edt1, digest into edt2, pb1 moving.
    // A request made while it runs (a drop, Enter, an edit of edt1) replaces it:
    // it then stops at its next progress report and leaves the fields alone.
    void CalculateDigest(const QString& fileName);
    // While a digest runs, closing waits until the drop that started it has
    // been handled: the platform's drop handling must not find its window gone.
    void done(int result) override;

public slots:
    void ButtonOkClick();
    // Pins the entry's download to the file whose digest the calculator shows.
    void ButtonPinDigestClick();
    void cbbCheckTypeChange();
    void DropFileGroupBox1DropFile(QObject* sender);

private:
    void HashTypedFileName();
    void FileNameEdited();
    // The calculator's digest field and what the entry can take from it.
    void ShowDigest(const std::optional<std::string>& hex);
    // The digest's progress callback: moves pb1 and lets pending events run,
    // among them the operator's next request.
    void DigestProgress(std::uint64_t request, int percent);
    QWidget* FieldWidget(UpdateField field) const;
    void LoadFields() override;
    void StoreFields() override;
    void ShowCheckModeRow();

    std::unique_ptr<Ui::TFormEditUpData> ui_;
    tarnwick::Notifier& notifier_;
    UpdateEditorLogic editor_;
    int digests_ = 0; // digests under way, nested ones included
    std::uint64_t digestRequest_ = 0; // the newest request; only its digest is shown
    std::optional<int> closeRequested_;
};

} // namespace tarnwick::ui
