#pragma once

#include "ui/logic/operator.h"

#include <QDialog>
#include <QKeyEvent>

namespace tarnwick::ui {

inline Frame OuterFrameOf(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    return {frame.left(), frame.top(), frame.width(), frame.height()};
}

// Fixed size, and a title bar with the system menu (close) only.
inline void MakeEditorDialog(QDialog& dialog)
{
    dialog.setFixedSize(dialog.size());
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
    dialog.setSizeGripEnabled(false);
}

// The editor dialogs bind neither Enter nor Escape to OK or Cancel.
inline bool IsDialogKey(const QKeyEvent& event)
{
    return event.key() == Qt::Key_Escape || event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

} // namespace tarnwick::ui
