#pragma once

#include <QDialog>

#include <functional>

namespace tarnwick::ui {

// How a dialog is run modally: QDialog::exec in the program; tests put the
// operator's script here instead, so that no nested event loop runs.
using ModalRunner = std::function<int(QDialog&)>;

inline ModalRunner ExecRunner()
{
    return [](QDialog& dialog) { return dialog.exec(); };
}

} // namespace tarnwick::ui
