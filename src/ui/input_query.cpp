#include "ui/input_query.h"

#include "ui/qt_text.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tarnwick::ui {


TInputQuery::TInputQuery(const QString& caption, const QString& prompt, const QString& text, QWidget* parent)
    : QDialog(parent), prompt_(new QLabel(prompt, this)), field_(new QLineEdit(text, this)),
      ok_(new QPushButton(QCoreApplication::translate("Tarnwick", "确定"), this)),
      cancel_(new QPushButton(QCoreApplication::translate("Tarnwick", "取消"), this))
{
    setObjectName(QStringLiteral("InputQuery"));
    field_->setObjectName(QStringLiteral("edtValue"));
    ok_->setObjectName(QStringLiteral("btnOk"));
    cancel_->setObjectName(QStringLiteral("btnCancel"));
    setWindowTitle(caption);
    prompt_->setTextFormat(Qt::PlainText);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ApplyWindowFont(this);
    field_->setMaxLength(255);
    GuardTextFields(this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(field_);
    layout->addLayout(buttons);
    setFixedSize(QSize(std::max(320, sizeHint().width()), sizeHint().height()));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - rect().center());
    }
}

QString TInputQuery::Value() const { return field_->text(); }

} // namespace tarnwick::ui
