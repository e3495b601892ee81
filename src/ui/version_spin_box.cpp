#include "ui/version_spin_box.h"

#include <QLineEdit>

namespace tarnwick::ui {

namespace {

constexpr int kForeign = 0;
constexpr int kFirst = 1;
constexpr int kLast = 65535;

} // namespace

TVersionSpinBox::TVersionSpinBox(QWidget* parent) : QSpinBox(parent)
{
    setRange(kFirst, kLast);
}

void TVersionSpinBox::SetVersionText(const QString& text)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber);
    if (isNumber && value >= kFirst && value <= kLast && QString::number(value) == text) {
        foreign_.reset();
        setRange(kFirst, kLast);
        setValue(value);
        return;
    }
    foreign_ = text;
    setRange(kForeign, kLast);
    setValue(kForeign);
    // setValue skips the text when the value stays 0.
    lineEdit()->setText(text);
}

QString TVersionSpinBox::VersionText() const { return cleanText(); }

QValidator::State TVersionSpinBox::validate(QString& input, int& pos) const
{
    if (foreign_ && input == *foreign_)
        return QValidator::Acceptable;
    // 0 stands for the foreign text; typed, it is not yet a version.
    if (foreign_ && input == QString::number(kForeign))
        return QValidator::Intermediate;
    return QSpinBox::validate(input, pos);
}

int TVersionSpinBox::valueFromText(const QString& text) const
{
    if (foreign_ && text == *foreign_)
        return kForeign;
    return QSpinBox::valueFromText(text);
}

QString TVersionSpinBox::textFromValue(int value) const
{
    if (foreign_ && value == kForeign)
        return *foreign_;
    return QSpinBox::textFromValue(value);
}

} // namespace tarnwick::ui
