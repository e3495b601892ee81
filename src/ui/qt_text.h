#pragma once

#include <QString>
#include <QValidator>

#include <filesystem>
#include <string>

class QFont;
namespace tarnwick {
class Message;
}
class QLineEdit;
class QWidget;

// The edge between Qt's UTF-16 text and the core's GBK bytes.
namespace tarnwick::ui {

QString ToQString(const std::string& gbk);
// A text of the toolkit-free layers in the window's language: the Chinese
// text itself, or its translation when the layers marked it translatable.
QString Translated(const std::string& gbk);
// A message of the toolkit-free layers in the window's language (GBK).
std::string Sentence(const Message& message);
// Raises Error for text that GBK cannot hold; the fields refuse such text first.
std::string ToGbk(const QString& text);
// A file name as the local file system spells it.
std::filesystem::path ToPath(const QString& fileName);
// And back, for Qt's calls.
QString FromPath(const std::filesystem::path& path);

// Refuses an edit that would put text GBK cannot hold into a field, so that
// nothing is silently replaced when the field is read; optionally turns typed
// letters to lower case.
class GbkValidator : public QValidator {
public:
    explicit GbkValidator(bool lowerCase, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;

private:
    bool lowerCase_;
};

// Puts a GbkValidator on every line edit under root (spin boxes keep their own),
// and makes those outside a TDropFileGroupBox refuse drags that carry local files.
void GuardTextFields(QWidget* root);
// The same, turning letters into lower case.
void GuardLowerCaseField(QLineEdit* field);

// "宋体" at 12 pixels, falling back to an installed CJK font.
QFont WindowFont();
void ApplyWindowFont(QWidget* window);

} // namespace tarnwick::ui
