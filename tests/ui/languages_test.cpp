// Every form in both languages, on the offscreen platform: each text the
// operator sees is in the language chosen (no Chinese in English, no English
// sentence in Chinese), and none is cut off by the room its widget has.
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "config/document.h"
#include "find_widget.h"
#include "launcher/launcher_builder.h"
#include "scripted_operator.h"
#include "temp_folder.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"
#include "ui/input_query.h"
#include "ui/publish_dialog.h"
#include "ui/qt_operator.h"
#include "ui/qt_text.h"
#include "ui/window_language.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTableView>
#include <QXmlStreamReader>
#include <QtTest>

#include <filesystem>
#include <functional>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace tarnwick::ui::testing;

namespace {

bool HasChinese(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) || (c.unicode() >= 0x3000 && c.unicode() <= 0x303F) ||
               (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

// What the operator reads: the mnemonic's & is drawn as an underline.
QString Shown(QString text) { return text.remove(QRegularExpression(QStringLiteral("&(?!&)"))); }

// The group lists hold the operator's group names, which are data.
bool HoldsData(const QComboBox& combo)
{
    return combo.objectName() == QLatin1String("cbbServerGroup") ||
           combo.objectName() == QLatin1String("ComboBoxServerGroup");
}

struct SeenText {
    QString where;
    QString text;
};

// The captions, labels, buttons, tabs, list items, column headers and tips of
// a window that the operator can see; the fields' contents are data, not texts.
QList<SeenText> Texts(QWidget& window)
{
    QList<SeenText> texts{{window.objectName() + QStringLiteral(" title"), window.windowTitle()}};
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(&window);
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(&window) && widget != &window)
            continue;
        const QString name = widget->objectName();
        const auto add = [&](const QString& part, const QString& text) {
            if (!text.isEmpty())
                texts.append({name + part, text});
        };
        add(QStringLiteral(" tip"), widget->toolTip());
        if (auto* label = qobject_cast<QLabel*>(widget))
            add({}, label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            add({}, button->text());
        else if (auto* box = qobject_cast<QGroupBox*>(widget))
            add({}, box->title());
        if (auto* tabs = qobject_cast<QTabWidget*>(widget))
            for (int i = 0; i < tabs->count(); ++i)
                add(QStringLiteral(" tab"), tabs->tabText(i));
        if (auto* combo = qobject_cast<QComboBox*>(widget); combo && !HoldsData(*combo))
            for (int i = 0; i < combo->count(); ++i)
                add(QStringLiteral(" item"), combo->itemText(i));
        if (auto* list = qobject_cast<QTableView*>(widget))
            for (int i = 0; i < list->model()->columnCount(); ++i)
                add(QStringLiteral(" column"), list->model()->headerData(i, Qt::Horizontal).toString());
    }
    return texts;
}

// Texts wider than the room their widget gives them, described. In Chinese the
// layouts keep the sizes they have always had, where the check-mode list is 3
// pixels short of its longest item (whole when the list is open): the lists'
// items are checked in English only.
QStringList Clipped(QWidget& window, bool checkLists)
{
    QStringList clipped;
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(&window))
            continue;
        const QFontMetrics metrics = widget->fontMetrics();
        const auto check = [&](const QString& text, int room) {
            const int width = metrics.horizontalAdvance(Shown(text));
            if (width > room)
                clipped.append(QStringLiteral("%1 \"%2\": %3 pixels in %4")
                                   .arg(widget->objectName(), Shown(text)).arg(width).arg(room));
        };
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->wordWrap()) {
            check(label->text(), label->contentsRect().width() - 2 * label->margin());
        } else if (label) {
            // A wrapped text is cut off below.
            const int height = label->heightForWidth(label->width());
            if (height > label->height())
                clipped.append(QStringLiteral("%1 \"%2\": %3 pixels high in %4")
                                   .arg(widget->objectName(), label->text()).arg(height).arg(label->height()));
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            check(button->text(), room.width());
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            option.lineWidth = 1;
            // The title's room: the frame less its corners.
            check(box->title(), box->width() - 2 * metrics.horizontalAdvance(QLatin1Char(' ')) - 8);
        } else if (auto* combo = qobject_cast<QComboBox*>(widget); combo && checkLists && !HoldsData(*combo)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = false;
            const QRect field =
                combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i)
                check(combo->itemText(i), field.width());
        } else if (auto* list = qobject_cast<QTableView*>(widget)) {
            const QHeaderView* header = list->horizontalHeader();
            for (int i = 0; i < list->model()->columnCount(); ++i) {
                // A header section's margins are the style's; 8 pixels is what the
                // styles in use take.
                check(list->model()->headerData(i, Qt::Horizontal).toString(), header->sectionSize(i) - 8);
            }
        }
    }
    return clipped;
}

class Languages : public QObject {
    Q_OBJECT

    // Each form as the operator meets it, in the language of the row; calls
    // look(window) for the main window on each tab, both dialogs in every
    // check mode, the group input box and the publish dialog.
    void EveryForm(Language language, const std::function<void(QWidget&)>& look)
    {
        const WindowLanguage texts(language);
        TempFolder folder;
        std::filesystem::copy_file(TARNWICK_SOURCE_DIR "/samples/Tarnwick.xml", folder.path() / "Tarnwick.xml");
        ScriptedOperator op;
        TFormMain main(op, CarriedLauncherImage(), folder.path());
        TFormEditUpData updateDialog(op, &main);
        TFormEditServer serverDialog(op, &main);
        main.AttachDialogs(serverDialog, updateDialog);
        main.show();
        auto* outer = Find<QTabWidget>(main, "pgc1");
        auto* inner = Find<QTabWidget>(main, "pgc2");
        for (int tab = 0; tab < inner->count(); ++tab) {
            outer->setCurrentIndex(0);
            inner->setCurrentIndex(tab);
            look(main);
        }
        outer->setCurrentIndex(1);
        look(main);

        serverDialog.Editor().Fields.Caption = Utf8ToGbk("增加服务器列表");
        serverDialog.SetModalRunner([&](QDialog& dialog) {
            look(dialog);
            return 0;
        });
        serverDialog.ShowModal();
        updateDialog.Editor().Fields.Caption = Utf8ToGbk("修改更新列表");
        updateDialog.SetModalRunner([&](QDialog& dialog) {
            auto* modes = Find<QComboBox>(dialog, "cbbCheckType");
            for (int mode = 0; mode < modes->count(); ++mode) {
                modes->setCurrentIndex(mode);
                look(dialog);
            }
            return 0;
        });
        updateDialog.ShowModal();

        TInputQuery input(Translated(Utf8ToGbk("增加")), Translated(Utf8ToGbk("请输入你要增加的服务器分组:")), {});
        input.show();
        look(input);

        PublishDialog publish(op, folder.path(), QStringLiteral("http://203.0.113.5/ServerInfo.txt"), {});
        publish.show();
        look(publish);
    }

private slots:
    void init() { QApplication::setFont(WindowFont()); }

    void everyTextIsInTheLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("zh_CN") << static_cast<int>(Language::Chinese);
        QTest::newRow("en") << static_cast<int>(Language::English);
    }

    void everyTextIsInTheLanguage()
    {
        QFETCH(int, language);
        const bool english = static_cast<Language>(language) == Language::English;
        QStringList wrong;
        int seen = 0;
        EveryForm(static_cast<Language>(language), [&](QWidget& window) {
            for (const SeenText& text : Texts(window)) {
                ++seen;
                // In Chinese, Latin letters stand only in names (MD5, GM, Zip, PAK,
                // the product's name), never as a sentence.
                const bool fits = english ? !HasChinese(text.text)
                                          : HasChinese(text.text) || text.text == QStringLiteral("MD5");
                if (!fits)
                    wrong.append(text.where + QStringLiteral(": ") + text.text);
            }
        });
        wrong.removeDuplicates();
        QVERIFY2(seen > 100, qPrintable(QString::number(seen)));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }

    // Within a form as shown, no two mnemonics are the same key: Alt and the
    // letter would reach only one of them.
    void mnemonicsDoNotCollide_data() { everyTextIsInTheLanguage_data(); }

    void mnemonicsDoNotCollide()
    {
        QFETCH(int, language);
        QStringList collisions;
        int mnemonics = 0;
        EveryForm(static_cast<Language>(language), [&](QWidget& window) {
            QMap<QString, QString> owner;
            for (const SeenText& text : Texts(window)) {
                if (text.where.endsWith(QStringLiteral(" tip")) || text.where.endsWith(QStringLiteral(" item")) ||
                    text.where.endsWith(QStringLiteral(" column")))
                    continue;
                const QString key = QKeySequence::mnemonic(text.text).toString();
                if (key.isEmpty())
                    continue;
                ++mnemonics;
                const QString shown = text.where + QStringLiteral(" \"") + text.text + QLatin1Char('"');
                if (owner.contains(key))
                    collisions.append(QStringLiteral("%1: %2 for %3 and %4").arg(window.objectName(), key, shown,
                                                                              owner[key]));
                owner[key] = shown;
            }
        });
        collisions.removeDuplicates();
        QVERIFY2(mnemonics > 10, qPrintable(QString::number(mnemonics)));
        QVERIFY2(collisions.isEmpty(), qPrintable(collisions.join(QLatin1Char('\n'))));
    }

    void noTextIsCutOff_data() { everyTextIsInTheLanguage_data(); }

    void noTextIsCutOff()
    {
        QFETCH(int, language);
        QStringList clipped;
        const bool english = static_cast<Language>(language) == Language::English;
        EveryForm(static_cast<Language>(language), [&](QWidget& window) { clipped += Clipped(window, english); });
        clipped.removeDuplicates();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
    }

    // The notices and questions of the toolkit-free layers, which the widgets
    // walked above do not show: each one the translation file names.
    void everyNoticeHasItsEnglish()
    {
        const WindowLanguage texts(Language::English);
        QFile file(QStringLiteral(TARNWICK_SOURCE_DIR "/resources/translations/tarnwick_en.ts"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader ts(&file);
        QString context;
        int checked = 0;
        while (!ts.atEnd()) {
            ts.readNext();
            if (ts.isStartElement() && ts.name() == QLatin1String("name"))
                context = ts.readElementText();
            if (ts.isStartElement() && ts.name() == QLatin1String("source") && context == QLatin1String("Tarnwick")) {
                const QString source = ts.readElementText();
                const QString shown = Translated(Utf8ToGbk(source.toStdString()));
                QVERIFY2(!HasChinese(shown), qPrintable(source + QStringLiteral(" -> ") + shown));
                ++checked;
            }
        }
        QVERIFY(checked > 30);
    }

    // Tarnwick's own failures reach the window as messages, written in its
    // language: a working copy that does not load (libxml2's reason, the line
    // and its excerpt) and a file that cannot be opened.
    void failuresAreWrittenInTheWindowsLanguage()
    {
        TempFolder folder;
        const std::filesystem::path document = folder.path() / "Tarnwick.xml";
        ReplaceFile(document, "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<Root>\r\n<Url>\r\n</Root>\r\n");
        std::optional<Error> damaged;
        try {
            SetupModel model;
            ConfigurationDocument(document).LoadConfiguration(model);
        } catch (const Error& error) {
            damaged = error;
        }
        QVERIFY(damaged);
        const Error missing = CannotOpenFile(folder.path() / "missing.txt", ENOENT);
        QtOperator op;
        {
            const WindowLanguage texts(Language::Chinese);
            QCOMPARE(ToQString(op.Sentence(damaged->Text())),
                     QStringLiteral("开始标签和结束标签不匹配\r\n行：4\r\n</Root>"));
            QVERIFY(ToQString(op.Sentence(missing.Text())).endsWith(QStringLiteral("missing.txt”。文件或文件夹不存在")));
        }
        {
            const WindowLanguage texts(Language::English);
            const QString shown = ToQString(op.Sentence(damaged->Text()));
            QVERIFY2(shown.contains(QStringLiteral("tag mismatch")), qPrintable(shown)); // libxml2's own words
            QVERIFY2(shown.endsWith(QStringLiteral("\r\nLine: 4\r\n</Root>")), qPrintable(shown));
            QCOMPARE(ToQString(op.Sentence(missing.Text())),
                     QStringLiteral("Cannot open file \"%1\". No such file or directory")
                         .arg(QString::fromStdString((folder.path() / "missing.txt").string())));
        }
    }
};

} // namespace

QTEST_MAIN(Languages)
#include "languages_test.moc"
