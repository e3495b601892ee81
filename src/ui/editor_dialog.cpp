#include "ui/editor_dialog.h"

#include "ui/qt_text.h"

#include <QKeyEvent>

namespace tarnwick::ui {


EditorDialog::EditorDialog(QWidget* parent) : QDialog(parent) {}

void EditorDialog::FinishLayout()
{
    ApplyWindowFont(this);
    setFixedSize(size());
    // The title bar carries the system menu (close) only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    GuardTextFields(this);
}

Frame EditorDialog::OuterFrame() const
{
    const QRect frame = frameGeometry();
    return {frame.left(), frame.top(), frame.width(), frame.height()};
}

void EditorDialog::MoveTo(int left, int top) { move(left, top); }

bool EditorDialog::ShowModal()
{
    LoadFields();
    const int result = runner_(*this);
    StoreFields();
    return result == QDialog::Accepted;
}

void EditorDialog::AcceptOrFocus(QWidget* refusedField)
{
    if (refusedField == nullptr)
        accept();
    else
        refusedField->setFocus();
}

void EditorDialog::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tarnwick::ui
