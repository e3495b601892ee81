#include "ui/QtOperator.h"

#include "ui/InputQuery.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QMessageBox>

using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

QWidget* WindowInFront()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

bool QtOperator::Notice(NoticeKind kind, const std::string& caption, const std::string& text)
{
    QMessageBox box(WindowInFront());
    box.setWindowTitle(ToQString(caption));
    // Shown exactly as written: names such as "<b>Bold</b>" are not markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (kind) {
    case NoticeKind::Refusal:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case NoticeKind::Success:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case NoticeKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    return box.exec() == QMessageBox::Ok;
}

bool QtOperator::InputQuery(const std::string& caption, const std::string& prompt, std::string& text)
{
    TInputQuery box(ToQString(caption), ToQString(prompt), ToQString(text), WindowInFront());
    if (box.exec() != QDialog::Accepted)
        return false;
    text = ToGbk(box.Value());
    return true;
}
