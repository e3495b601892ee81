// The program's windows on a real X server (a private Xvfb, the xcb platform),
// with files dragged in from another program by the pointer, as an operator
// drags them from a file manager: what the offscreen platform cannot show.
#include "../find_widget.h"
#include "../scripted_operator.h"
#include "../temp_folder.h"
#include "digest/md5.h"
#include "launcher/launcher_builder.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"
#include "x_server.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace tarnwick::ui::testing;

namespace {

QPoint Centre(QWidget& widget) { return widget.mapToGlobal(widget.rect().center()); }

QString Path(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

std::string HexDigest(const std::filesystem::path& file)
{
    Digest digest{};
    FileDigest(file, digest);
    return DigestToHex(digest);
}

// A file of zeros that takes no disk space and long enough to hash that the
// operator can act while it runs.
std::filesystem::path SparseFile(const std::filesystem::path& folder, off_t size)
{
    const auto path = folder / "big.bin";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, size) != 0)
        qFatal("cannot create %s", path.c_str());
    close(fd);
    return path;
}

QStringList PointerArguments(const std::vector<QPoint>& steps)
{
    QStringList args;
    for (const QPoint& at : steps)
        args << "mousemove" << QString::number(at.x()) << QString::number(at.y()) << "sleep" << "0.25";
    return args;
}

// The drag source window sits at the top-left corner (drag_source.cpp).
const QPoint kSource(50, 50);

// Presses on the source, moves to `target` in a few steps and releases there.
QStringList DragArguments(QPoint target)
{
    QStringList args = PointerArguments({kSource});
    args << "mousedown" << "1" << "sleep" << "0.25";
    args += PointerArguments({kSource + QPoint(20, 20), target, target + QPoint(1, 1)});
    args << "mouseup" << "1";
    return args;
}

void StartSource(QProcess& source, const QString& file)
{
    source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Nor its drag source.
    source.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    source.start(QString::fromLatin1(TARNWICK_DRAG_SOURCE), {file});
    if (!source.waitForReadyRead(10000) || !source.readLine().startsWith("ready"))
        qFatal("the drag source did not start");
}

// Brings the tab pages holding `widget` to the front.
void ShowPagesOf(QWidget& widget)
{
    for (QWidget* page = &widget; page->parentWidget(); page = page->parentWidget()) {
        if (qobject_cast<QStackedWidget*>(page->parentWidget()) && page->parentWidget()->parentWidget()) {
            if (auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget()))
                tabs->setCurrentWidget(page);
        }
    }
}

QByteArray DragOutcome(QProcess& source)
{
    if (!source.canReadLine())
        source.waitForReadyRead(10000);
    const QByteArray line = source.readLine().trimmed();
    source.kill();
    source.waitForFinished();
    return line;
}

struct Program {
    Program()
    {
        main = std::make_unique<TFormMain>(op, CarriedLauncherImage(), folder.path());
        update = std::make_unique<TFormEditUpData>(op, main.get());
        server = std::make_unique<TFormEditServer>(op, main.get());
        main->AttachDialogs(*server, *update);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()))
            qFatal("the main window was not shown");
    }

    // Clicks "增加(&A)" of the update list; returns once the dialog has closed.
    // `whileShown` runs once the dialog is on the screen.
    void AddUpdate(const std::function<void()>& whileShown)
    {
        QTimer::singleShot(0, update.get(), [this, whileShown] {
            if (!QTest::qWaitForWindowExposed(update.get()))
                qFatal("the update dialog was not shown");
            whileShown();
        });
        // Nothing may keep the dialog open for ever.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, update.get(), [this] {
            timedOut = true;
            update->done(QDialog::Rejected);
        });
        watchdog.start(30000);
        Find<QPushButton>(*main, "btnAddUp")->click();
    }

    TempFolder folder;
    ScriptedOperator op;
    std::unique_ptr<TFormMain> main;
    std::unique_ptr<TFormEditUpData> update;
    std::unique_ptr<TFormEditServer> server;
    bool timedOut = false;
};

} // namespace

class DisplayTest : public QObject {
    Q_OBJECT

private slots:
    void closingTheUpdateDialogWhileItHashes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("added");
        QTest::newRow("Cancel") << "ButtonClose" << 0;
        QTest::newRow("OK") << "ButtonOk" << 1;
        QTest::newRow("title bar") << "" << 0;
    }

    // The dialog closes once the digest has ended, and the program goes on.
    void closingTheUpdateDialogWhileItHashes()
    {
        QFETCH(QString, how);
        QFETCH(int, added);
        Program p;
        const auto file = SparseFile(p.folder.path(), off_t(512) << 20);
        auto* pb1 = Find<QProgressBar>(*p.update, "pb1");
        QProcess source;
        QProcess pointer;
        QProcess click;
        int percentWhenClosed = -1;
        QObject::connect(pb1, &QProgressBar::valueChanged, p.update.get(), [&](int percent) {
            if (percent < 5 || percentWhenClosed >= 0)
                return;
            percentWhenClosed = percent;
            if (how.isEmpty()) {
                p.update->close();
                return;
            }
            const QPoint at = Centre(*Find<QPushButton>(*p.update, how.toLatin1().constData()));
            click.start("xdotool", PointerArguments({at}) << "click" << "1");
        });
        const auto before = p.main->Logic().Model().updates.Count();
        p.AddUpdate([&] {
            for (const char* field : {"edtHint", "EditDownUrl", "EditSaveName"})
                Find<QLineEdit>(*p.update, field)->setText("x");
            // A check that needs no digest: OK is pressed before the digest is there.
            Find<QComboBox>(*p.update, "cbbCheckType")->setCurrentIndex(1);
            StartSource(source, Path(file));
            pointer.start("xdotool", DragArguments(Centre(*pb1)));
        });
        QVERIFY(!p.timedOut);
        QVERIFY2(percentWhenClosed >= 5 && percentWhenClosed < 100, "the dialog was not closed during the digest");
        QCOMPARE(Find<QLineEdit>(*p.update, "edt2")->text().toStdString(), HexDigest(file));
        QCOMPARE(pb1->value(), 0);
        QCOMPARE(p.main->Logic().Model().updates.Count(), before + added);
        QCOMPARE(DragOutcome(source), QByteArray("action: copy"));
    }

    // A file dropped on the file-name field is hashed, and taken as a copy.
    void aFileDroppedOnTheFileNameFieldIsHashed()
    {
        Program p;
        const auto file = p.folder.path() / "patch.pak";
        {
            std::ofstream(file) << "abc";
        }
        auto* edt2 = Find<QLineEdit>(*p.update, "edt2");
        QObject::connect(edt2, &QLineEdit::textChanged, p.update.get(), [&] {
            QTimer::singleShot(0, p.update.get(), [&] { p.update->done(QDialog::Rejected); });
        });
        QProcess source;
        QProcess pointer;
        p.AddUpdate([&] {
            StartSource(source, Path(file));
            pointer.start("xdotool", DragArguments(Centre(*Find<QLineEdit>(*p.update, "edt1"))));
        });
        QVERIFY(!p.timedOut);
        QCOMPARE(Find<QLineEdit>(*p.update, "edt1")->text(), Path(file));
        QCOMPARE(edt2->text(), QString::fromLatin1("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(DragOutcome(source), QByteArray("action: copy"));
    }

    void aFileDraggedOntoATextFieldIsRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("update dialog, hint") << "edtHint";
        QTest::newRow("main window, home page") << "edtHomeUrl";
    }

    // A file's address in a text field would be saved as a web address: the
    // field refuses the drag, which ends with nothing taken and nothing moved.
    void aFileDraggedOntoATextFieldIsRefused()
    {
        QFETCH(QString, field);
        Program p;
        const auto file = p.folder.path() / "patch.pak";
        {
            std::ofstream(file) << "abc";
        }
        QProcess source;
        QProcess pointer;
        bool ended = false;
        QByteArray outcome;
        QString after;
        const auto dragOnto = [&](QWidget& window) {
            auto* edit = Find<QLineEdit>(window, field.toLatin1().constData());
            ShowPagesOf(*edit);
            edit->setText("before");
            StartSource(source, Path(file));
            pointer.start("xdotool", DragArguments(Centre(*edit)));
            ended = QTest::qWaitFor([&] { return source.canReadLine(); }, 15000);
            outcome = DragOutcome(source);
            after = edit->text();
        };
        if (field == "edtHint") {
            p.AddUpdate([&] {
                dragOnto(*p.update);
                p.update->done(QDialog::Rejected);
            });
            QVERIFY(!p.timedOut);
        } else {
            dragOnto(*p.main);
        }
        QVERIFY2(ended, "the drag did not end within 15 s");
        QCOMPARE(outcome, QByteArray("action: ignore"));
        QCOMPARE(after, QString("before"));
    }

    void aNewRequestReplacesTheDigestOfADraggedFile_data()
    {
        QTest::addColumn<bool>("dragFirst");
        QTest::newRow("Enter during a dragged file's digest") << true;
        QTest::newRow("a file dragged in during Enter's digest") << false;
    }

    // Only the newest request's digest is shown; the one it replaced stops, the
    // drag still ends as a copy, and a close asked for meanwhile still happens.
    void aNewRequestReplacesTheDigestOfADraggedFile()
    {
        QFETCH(bool, dragFirst);
        Program p;
        // Long enough to hash that the drag ends while it runs.
        const auto big = SparseFile(p.folder.path(), off_t(4) << 30);
        const auto small = p.folder.path() / "small.txt";
        {
            std::ofstream(small) << "abc";
        }
        auto* edt1 = Find<QLineEdit>(*p.update, "edt1");
        auto* edt2 = Find<QLineEdit>(*p.update, "edt2");
        auto* pb1 = Find<QProgressBar>(*p.update, "pb1");
        QStringList digestsShown;
        QObject::connect(edt2, &QLineEdit::textChanged, p.update.get(), [&](const QString& text) {
            if (!text.isEmpty())
                digestsShown.append(text);
        });
        QProcess source;
        QProcess pointer;
        bool asked = false;
        const auto enter = [&](const std::filesystem::path& file) {
            edt1->setText(Path(file));
            QTest::keyClick(edt1, Qt::Key_Return);
        };
        if (dragFirst) {
            QObject::connect(pb1, &QProgressBar::valueChanged, p.update.get(), [&](int percent) {
                if (percent < 1 || asked)
                    return;
                asked = true;
                QTimer::singleShot(0, p.update.get(), [&] {
                    enter(small);
                    p.update->done(QDialog::Rejected);
                });
            });
            p.AddUpdate([&] {
                StartSource(source, Path(big));
                pointer.start("xdotool", DragArguments(Centre(*pb1)));
            });
        } else {
            p.AddUpdate([&] {
                StartSource(source, Path(small));
                pointer.start("xdotool", DragArguments(Centre(*pb1)));
                asked = true;
                enter(big);
                p.update->done(QDialog::Rejected);
            });
        }
        QVERIFY(!p.timedOut);
        QVERIFY(asked);
        QCOMPARE(edt1->text(), Path(small));
        QCOMPARE(edt2->text(), QString::fromLatin1("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(digestsShown, QStringList{edt2->text()});
        QCOMPARE(pb1->value(), 0);
        QVERIFY(p.op.notices.empty());
        QCOMPARE(DragOutcome(source), QByteArray("action: copy"));
    }
};

int main(int argc, char** argv)
{
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) {
        std::puts("SKIP: xdotool is not installed ('make deps' installs it)");
        return 77;
    }
    XServer server;
    if (server.Display().empty()) {
        std::puts("SKIP: Xvfb could not start ('make deps' installs it)");
        return 77;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(server.Display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    DisplayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "display_test.moc"
