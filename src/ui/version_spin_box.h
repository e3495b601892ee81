#pragma once

#include <QSpinBox>

#include <optional>

namespace tarnwick::ui {

// The update entry's version: a spin field from 1 to 65535 that also shows,
// unchanged, a version text that is no such number ("abc", "70000", "007" in a
// hand-edited document). Opening and confirming such an entry then keeps its
// version as it was, instead of the value the field held before.
class TVersionSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit TVersionSpinBox(QWidget* parent = nullptr);

    void SetVersionText(const QString& text);
    // What the field shows.
    QString VersionText() const;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;

private:
    // Shown while the value is 0, below the numbers the operator can choose.
    std::optional<QString> foreign_;
};

} // namespace tarnwick::ui
