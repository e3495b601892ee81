#include "ui/qt_text.h"

#include "base/error.h"
#include "base/message.h"
#include "base/text.h"
#include "ui/drop_file_group_box.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFont>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <algorithm>

namespace tarnwick::ui {

namespace {

bool CarriesLocalFiles(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

// A text field would take a dragged file as its "file:///..." address, and the
// source, seeing a move accepted, could delete the file; a save would then
// publish the local path. Such drags are refused, so the pointer shows that
// nothing can be dropped; text and web addresses still drop as text.
class FileDropRefusal : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!CarriesLocalFiles(drag->mimeData()))
                break;
            drag->ignore();
            return true;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

// The box takes the files dropped on its fields for itself.
bool InsideDropBox(const QWidget& field)
{
    for (const QWidget* outer = field.parentWidget(); outer; outer = outer->parentWidget()) {
        if (qobject_cast<const TDropFileGroupBox*>(outer))
            return true;
    }
    return false;
}

} // namespace

QString ToQString(const std::string& gbk)
{
    try {
        return QString::fromUtf8(GbkToUtf8(gbk));
    } catch (const Error&) {
        // Not valid GBK (a hand-edited file): show what can be shown.
        return QString::fromUtf8(gbk.data(), static_cast<qsizetype>(gbk.size()));
    }
}

std::string ToGbk(const QString& text)
{
    return Utf8ToGbk(text.toUtf8().toStdString());
}

QString Translated(const std::string& gbk)
{
    const QByteArray utf8 = ToQString(gbk).toUtf8();
    return QCoreApplication::translate("Tarnwick", utf8.constData());
}

std::string Sentence(const Message& message)
{
    // The window's language is the default locale's; the C library describes
    // failures in English.
    return message.Compose(Wording{[](const char* source) { return ToGbk(QCoreApplication::translate("Tarnwick", source)); },
                                   QLocale().language() == QLocale::English});
}

std::filesystem::path ToPath(const QString& fileName)
{
    // Not through a narrow std::string: on Windows that is read in the ANSI
    // code page, and a name outside it names no file.
    return Utf8Path(fileName.toUtf8().toStdString());
}

QString FromPath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

GbkValidator::GbkValidator(bool lowerCase, QObject* parent) : QValidator(parent), lowerCase_(lowerCase) {}

QValidator::State GbkValidator::validate(QString& input, int&) const
{
    if (!IsGbkRepresentable(input.toUtf8().toStdString()))
        return Invalid;
    if (lowerCase_)
        input = input.toLower();
    return Acceptable;
}

void GuardTextFields(QWidget* root)
{
    auto* refusal = new FileDropRefusal(root);
    for (QLineEdit* field : root->findChildren<QLineEdit*>()) {
        if (!InsideDropBox(*field))
            field->installEventFilter(refusal);
        if (qobject_cast<QAbstractSpinBox*>(field->parentWidget()))
            continue;
        if (!field->validator())
            field->setValidator(new GbkValidator(false, field));
    }
}

void GuardLowerCaseField(QLineEdit* field)
{
    field->setValidator(new GbkValidator(true, field));
}

QFont WindowFont()
{
    QFont font;
    font.setFamilies({QString::fromUtf8("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      // Half-width Latin letters, as in the layout's own font.
                      QStringLiteral("WenQuanYi Zen Hei Mono"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    return font;
}

void ApplyWindowFont(QWidget* window)
{
    window->setFont(WindowFont());
    // Captions sit on the frame line, so the layout's positions inside a group
    // box mean the same as on the platform the layout was drawn for.
    window->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px; padding: 0 1px; }"));
}

} // namespace tarnwick::ui
