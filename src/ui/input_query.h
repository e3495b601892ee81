#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick::ui {

// The input box: a caption, a prompt and one line of at most 255 characters,
// OK (also Enter) and Cancel (also Escape), centred on the screen.
class TInputQuery : public QDialog {
    Q_OBJECT

public:
    TInputQuery(const QString& caption, const QString& prompt, const QString& text, QWidget* parent = nullptr);

    QString Value() const;
    QLineEdit* Field() const { return field_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QLabel* prompt_;
    QLineEdit* field_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace tarnwick::ui
