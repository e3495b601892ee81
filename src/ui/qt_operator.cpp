#include "ui/qt_operator.h"

#include "ui/input_query.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tarnwick::ui {
namespace {

QWidget* WindowInFront()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

bool QtOperator::Notice(NoticeKind kind, const std::string& caption, const Message& text)
{
    QMessageBox box(WindowInFront());
    box.setWindowTitle(Translated(caption));
    // Shown exactly as written: names such as "<b>Bold</b>" are not markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQString(Sentence(text)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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
    TInputQuery box(Translated(caption), Translated(prompt), ToQString(text), WindowInFront());
    if (box.exec() != QDialog::Accepted)
        return false;
    text = ToGbk(box.Value());
    return true;
}

std::string QtOperator::Sentence(const tarnwick::Message& message)
{
    return ui::Sentence(message);
}

SaveAnswer QtOperator::AskToSave(const std::string& caption, const std::string& text)
{
    QMessageBox box(WindowInFront());
    box.setWindowTitle(Translated(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(Translated(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setIcon(QMessageBox::Question);
    // Captions of their own, so that they read the same whether or not Qt's
    // Chinese texts are installed.
    QPushButton* save = box.addButton(QCoreApplication::translate("Tarnwick", "保存(&S)"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QCoreApplication::translate("Tarnwick", "不保存(&N)"),
                                           QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QCoreApplication::translate("Tarnwick", "取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveAnswer::Save;
    if (box.clickedButton() == discard)
        return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

bool QtOperator::ChooseNewFile(const std::string& caption, std::filesystem::path& file)
{
    const QString name = QFileDialog::getSaveFileName(WindowInFront(), Translated(caption), QString(), QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return false;
    file = ToPath(name);
    return true;
}

QUrl FolderUrl(const std::filesystem::path& folder) { return QUrl::fromLocalFile(FromPath(folder)); }

bool QtOperator::OpenFolder(const std::filesystem::path& folder) { return QDesktopServices::openUrl(FolderUrl(folder)); }

} // namespace tarnwick::ui
