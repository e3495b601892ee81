// The update dialog's digest when the operator asks for another one while it
// runs, and drags of files onto the windows' text fields; offscreen.
#include "digest/md5.h"
#include "find_widget.h"
#include "scripted_operator.h"
#include "temp_folder.h"
#include "ui/drop_file_group_box.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"

#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <unistd.h>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace tarnwick::ui::testing;

namespace {

QString Path(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

std::string HexDigest(const std::filesystem::path& file)
{
    Digest digest{};
    FileDigest(file, digest);
    return DigestToHex(digest);
}

// 256 MiB that take no disk space, long enough to hash for thousands of
// progress reports; its own first bytes, so that its digest is no other's.
std::filesystem::path BigFile(const std::filesystem::path& folder)
{
    const auto path = folder / "big.bin";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0 || write(fd, "big", 3) != 3 || ftruncate(fd, off_t(256) << 20) != 0)
        qFatal("cannot create %s", path.c_str());
    close(fd);
    return path;
}

void Drop(QWidget& target, const QString& file)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

// The ways the operator asks for a digest, and an edit of the name without Enter.
enum class Request { Drop, Enter, Type };

struct DigestDialog {
    DigestDialog()
    {
        ReplaceSmall("abc");
        box = Find<TDropFileGroupBox>(dialog, "DropFileGroupBox1");
        edt1 = Find<QLineEdit>(dialog, "edt1");
        edt2 = Find<QLineEdit>(dialog, "edt2");
        pb1 = Find<QProgressBar>(dialog, "pb1");
        QObject::connect(edt2, &QLineEdit::textChanged, &dialog, [this](const QString& text) {
            if (!text.isEmpty())
                digestsShown.append(text);
        });
        // Once the newest request has been dealt with, nothing may change the fields.
        const auto touched = [this](const QString& what) {
            if (newestDone)
                touchedAfterwards.append(what);
        };
        QObject::connect(edt1, &QLineEdit::textChanged, &dialog, [touched] { touched("edt1"); });
        QObject::connect(edt2, &QLineEdit::textChanged, &dialog, [touched] { touched("edt2"); });
        QObject::connect(pb1, &QProgressBar::valueChanged, &dialog, [touched] { touched("pb1"); });
    }

    void ReplaceSmall(const std::string& bytes)
    {
        std::ofstream(small, std::ios::binary) << bytes;
    }

    void Ask(Request how, const QString& name)
    {
        switch (how) {
        case Request::Drop:
            Drop(*box, name);
            break;
        case Request::Enter:
            edt1->setText(name);
            QTest::keyClick(edt1, Qt::Key_Return);
            break;
        case Request::Type:
            edt1->selectAll();
            QTest::keyClicks(edt1, name);
            break;
        }
    }

    // Asks for the big file's digest and, once it has made progress, runs
    // `during` from the event loop; returns once the first request has returned.
    void WhileTheBigFileIsHashed(Request first, const std::function<void()>& during)
    {
        auto armed = std::make_shared<QMetaObject::Connection>();
        *armed = QObject::connect(pb1, &QProgressBar::valueChanged, &dialog, [this, during, armed](int percent) {
            if (percent < 1)
                return;
            QObject::disconnect(*armed);
            QTimer::singleShot(0, &dialog, [this, during] {
                bigRunningWhenAsked = edt1->text() == Path(big) && pb1->value() > 0 && digestsShown.isEmpty();
                during();
                newestDone = true;
            });
        });
        Ask(first, Path(big));
    }

    TempFolder folder;
    std::filesystem::path big = BigFile(folder.path());
    std::filesystem::path small = folder.path() / "small.txt";
    ScriptedOperator op;
    TFormEditUpData dialog{op};
    TDropFileGroupBox* box;
    QLineEdit* edt1;
    QLineEdit* edt2;
    QProgressBar* pb1;
    QStringList digestsShown;
    QStringList touchedAfterwards;
    bool bigRunningWhenAsked = false;
    bool newestDone = false;
};

enum class Mime { FileUrls, FileUrlsAndText, PlainText, WebLink };

std::unique_ptr<QMimeData> DragData(Mime kind, const QString& file)
{
    auto data = std::make_unique<QMimeData>();
    const QUrl url = QUrl::fromLocalFile(file);
    switch (kind) {
    case Mime::FileUrls:
        data->setUrls({url});
        break;
    case Mime::FileUrlsAndText: // as file managers offer them
        data->setUrls({url});
        data->setText(url.toString());
        break;
    case Mime::PlainText:
        data->setText(QStringLiteral("plain words"));
        break;
    case Mime::WebLink: // as a browser offers a link
        data->setUrls({QUrl(QStringLiteral("http://example.com/patch.pak"))});
        data->setText(QStringLiteral("http://example.com/patch.pak"));
        break;
    }
    return data;
}

// The windows as the program builds them, in an empty working folder.
struct Windows {
    Windows()
    {
        main = std::make_unique<TFormMain>(op, std::span<const std::byte>(), folder.path());
        update = std::make_unique<TFormEditUpData>(op, main.get());
        server = std::make_unique<TFormEditServer>(op, main.get());
        main->AttachDialogs(*server, *update);
    }

    QWidget& Window(const QString& name)
    {
        if (name == "main")
            return *main;
        if (name == "server")
            return *server;
        return *update;
    }

    TempFolder folder;
    ScriptedOperator op;
    std::unique_ptr<TFormMain> main;
    std::unique_ptr<TFormEditUpData> update;
    std::unique_ptr<TFormEditServer> server;
};

} // namespace

Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(Mime)

class DigestAndDropsTest : public QObject {
    Q_OBJECT

private slots:
    void aNewRequestReplacesTheRunningDigest_data()
    {
        QTest::addColumn<Request>("first");
        QTest::addColumn<Request>("then");
        QTest::addColumn<bool>("hashed");
        QTest::newRow("Enter during a drop") << Request::Drop << Request::Enter << true;
        QTest::newRow("drop during Enter") << Request::Enter << Request::Drop << true;
        QTest::newRow("drop during a drop") << Request::Drop << Request::Drop << true;
        // The name is not hashed until Enter; no digest stays beside it meanwhile.
        QTest::newRow("typing during a drop") << Request::Drop << Request::Type << false;
        QTest::newRow("typing during Enter") << Request::Enter << Request::Type << false;
    }

    // The digest shown is always the digest of the name shown.
    void aNewRequestReplacesTheRunningDigest()
    {
        QFETCH(Request, first);
        QFETCH(Request, then);
        QFETCH(bool, hashed);
        DigestDialog d;
        d.WhileTheBigFileIsHashed(first, [&] { d.Ask(then, Path(d.small)); });
        QVERIFY2(d.bigRunningWhenAsked, "the second request did not come while the big file was hashed");
        QVERIFY(d.newestDone);
        QCOMPARE(d.edt1->text(), Path(d.small));
        const QString smallDigest = QString::fromStdString(HexDigest(d.small));
        QCOMPARE(d.edt2->text(), hashed ? smallDigest : QString());
        QCOMPARE(d.digestsShown, hashed ? QStringList{smallDigest} : QStringList());
        QCOMPARE(d.touchedAfterwards, QStringList());
        QCOMPARE(d.pb1->value(), 0);
        QVERIFY(d.op.notices.empty());
    }

    // Enter after an edit hashes the edited name, even while the old one's
    // digest is still on the stack.
    void enterAfterTypingHashesTheTypedName()
    {
        DigestDialog d;
        d.WhileTheBigFileIsHashed(Request::Drop, [&] {
            d.Ask(Request::Type, Path(d.small));
            QTest::keyClick(d.edt1, Qt::Key_Return);
        });
        QCOMPARE(d.edt1->text(), Path(d.small));
        QCOMPARE(d.edt2->text(), QString::fromStdString(HexDigest(d.small)));
        QCOMPARE(d.touchedAfterwards, QStringList());
    }

    // A digest given up for a newer request is no failure, also when the newer
    // request's file cannot be hashed; progress then shows no digest running.
    void aReplacedDigestReportsNothing()
    {
        DigestDialog d;
        const auto missing = d.folder.path() / "missing.bin";
        d.WhileTheBigFileIsHashed(Request::Drop, [&] { d.Ask(Request::Enter, Path(missing)); });
        QCOMPARE(d.edt1->text(), Path(missing));
        QCOMPARE(d.edt2->text(), QString(32, QLatin1Char('0')));
        QCOMPARE(d.touchedAfterwards, QStringList());
        QCOMPARE(d.pb1->value(), 0);
        QVERIFY(d.op.notices.empty());
    }

    // Closing waits for every digest under way, replaced ones included, and
    // then happens without further action by the operator.
    void closingDuringNestedDigestsClosesOnceTheyEnd()
    {
        DigestDialog d;
        d.ReplaceSmall(std::string(100000, 's')); // several progress reports
        d.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
        bool openAfterClose = false;
        d.WhileTheBigFileIsHashed(Request::Drop, [&] {
            QTimer::singleShot(0, &d.dialog, [&] {
                d.dialog.reject();
                openAfterClose = d.dialog.isVisible();
            });
            d.Ask(Request::Enter, Path(d.small));
        });
        QVERIFY2(openAfterClose, "the dialog closed while a digest ran");
        QCOMPARE(d.edt2->text(), QString::fromStdString(HexDigest(d.small)));
        QTRY_VERIFY2_WITH_TIMEOUT(!d.dialog.isVisible(), "the dialog did not close after the digests", 5000);
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(d.touchedAfterwards, QStringList());
    }

    void filesDraggedOntoTextFieldsAreRefused_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("field");
        QTest::addColumn<Mime>("mime");
        QTest::addColumn<bool>("taken");
        for (const auto& [window, field] : {std::pair("update", "edtHint"), std::pair("update", "EditDownUrl"),
                                            std::pair("main", "edtHomeUrl"), std::pair("main", "GameNameEdit"),
                                            std::pair("server", "EditAddr")}) {
            const QString name = QString::fromLatin1(window) + " " + field;
            QTest::newRow(qPrintable(name + ", file")) << window << field << Mime::FileUrls << false;
            QTest::newRow(qPrintable(name + ", file and its address as text"))
                << window << field << Mime::FileUrlsAndText << false;
            QTest::newRow(qPrintable(name + ", text")) << window << field << Mime::PlainText << true;
            QTest::newRow(qPrintable(name + ", web link")) << window << field << Mime::WebLink << true;
        }
    }

    // A file's "file:///" address in a field would be saved and published as a
    // web address: the drag finds no place to drop. Text still drops as text.
    void filesDraggedOntoTextFieldsAreRefused()
    {
        QFETCH(QString, window);
        QFETCH(QString, field);
        QFETCH(Mime, mime);
        QFETCH(bool, taken);
        Windows w;
        const auto file = w.folder.path() / "patch.pak";
        std::ofstream(file) << "abc";
        auto* edit = Find<QLineEdit>(w.Window(window), field.toLatin1().constData());
        edit->setText(QStringLiteral("before"));
        const auto data = DragData(mime, Path(file));
        const QPoint at = edit->rect().center();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDragMoveEvent move(at, offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &move);
        QCOMPARE(move.isAccepted(), taken);
        QDropEvent drop(QPointF(at), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &drop);
        QCOMPARE(drop.isAccepted(), taken);
        if (taken)
            QVERIFY(edit->text().contains(data->text()));
        else
            QCOMPARE(edit->text(), QStringLiteral("before"));
    }

    // The drop box still takes the files dropped on its own fields, as a copy.
    void theDropBoxFieldsStillTakeFiles()
    {
        Windows w;
        const auto file = w.folder.path() / "patch.pak";
        std::ofstream(file) << "abc";
        w.update->show();
        auto* edt1 = Find<QLineEdit>(*w.update, "edt1");
        const auto data = DragData(Mime::FileUrlsAndText, Path(file));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(edt1, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(edt1, &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(edt1->text(), Path(file));
        QCOMPARE(Find<QLineEdit>(*w.update, "edt2")->text(), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    }
};

QTEST_MAIN(DigestAndDropsTest)
#include "digest_and_drops_test.moc"
