// The real widgets, found by object name, on the offscreen platform. Modal
// dialogs run the test's script instead of a nested event loop.
#include "base/file_io.h"
#include "base/text.h"
#include "digest/md5.h"
#include "edit/outcome.h"
#include "launcher/launcher_builder.h"
#include "sign/key_store.h"
#include "sign/list_signature.h"
#include "scripted_operator.h"
#include "find_widget.h"
#include "temp_folder.h"
#include "ui/drop_file_group_box.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"
#include "ui/input_query.h"
#include "ui/qt_operator.h"
#include "ui/qt_text.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QScopeGuard>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QMessageBox>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace tarnwick::ui::testing;

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs the operator's part of a dialog; a failed check inside ends the script
// (and fails the test) while the dialog still returns to its caller.
void Script(const std::function<void()>& steps) { steps(); }

int Rows(const QTableView& list) { return list.model()->rowCount(); }
QString Cell(const QTableView& list, int row, int column) { return list.model()->index(row, column).data().toString(); }

void Click(QWidget& root, const char* name) { QTest::mouseClick(Find<QPushButton>(root, name), Qt::LeftButton); }

// Types text as one key event, as an input method or a paste would deliver it.
void TypeAtOnce(QLineEdit& field, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(&field, &press);
}

void Drop(QWidget& target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

// The program as started in a folder holding the sample configuration.
// A working copy whose update entries carry these versions, as a hand-edited one may.
std::string UpdatesWithVersions(const std::vector<std::string>& versions)
{
    std::string document = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup><UpDate>";
    for (const std::string& version : versions)
        document += "<Config SDir=\".\\\" FName=\"f\" DUrl=\"http://h/f\" ZIP=\"0\" Check=\"0\" DType=\"0\" "
                    "Date=\"1\" VAR=\"" + version + "\" MD5=\"\" ID=\"\">hint</Config>";
    return document + "</UpDate></XMLSetup>";
}

struct Program {
    explicit Program(const std::string& document = {})
    {
        if (document.empty())
            std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml",
                                       folder.path() / "Tarnwick.xml");
        else
            ReplaceFile(folder.path() / "Tarnwick.xml", document);
        main = std::make_unique<TFormMain>(op, CarriedLauncherImage(), folder.path());
        update = std::make_unique<TFormEditUpData>(op, main.get());
        server = std::make_unique<TFormEditServer>(op, main.get());
        main->AttachDialogs(*server, *update);
    }

    TempFolder folder;
    ScriptedOperator op;
    std::unique_ptr<TFormMain> main;
    std::unique_ptr<TFormEditUpData> update;
    std::unique_ptr<TFormEditServer> server;
};

} // namespace

class FormsTest : public QObject {
    Q_OBJECT

private slots:
    void startUpShowsTheLoadedConfigurationOnTheFirstTabs()
    {
        Program p;
        QCOMPARE(Find<QTabWidget>(*p.main, "pgc1")->currentIndex(), 0);
        QCOMPARE(Find<QTabWidget>(*p.main, "pgc2")->currentIndex(), 0);
        QCOMPARE(p.main->size(), QSize(491, 354));
        auto* groups = Find<QComboBox>(*p.main, "cbbServerGroup");
        QCOMPARE(groups->count(), 1);
        QCOMPARE(groups->currentIndex(), -1);
        auto* servers = Find<QTableView>(*p.main, "lvServerList");
        QCOMPARE(Rows(*servers), 1);
        QCOMPARE(servers->model()->headerData(4, Qt::Horizontal).toString(), Q("端口"));
        QCOMPARE(servers->columnWidth(3), 105);
        QCOMPARE(Find<QTableView>(*p.main, "lvUpDataList")->model()->columnCount(), 11);
        QCOMPARE(Find<QLineEdit>(*p.main, "edtHomeUrl")->text(), Q("http://www.example.com/"));
        QVERIFY(p.op.notices.empty());
    }

    void aMalformedWorkingCopyIsReportedAndStartUpGoesOn()
    {
        TempFolder folder;
        ReplaceFile(folder.path() / "Tarnwick.xml", "<XMLSetup><ServerList>");
        ScriptedOperator op;
        TFormMain main(op, {}, folder.path());
        QCOMPARE(op.notices.size(), std::size_t(1));
        QCOMPARE(op.notices[0].caption, std::string("错误提示"));
        QVERIFY(op.TakeLastText().find((folder.path() / "Tarnwick.xml").string()) != std::string::npos);
        QCOMPARE(Find<QComboBox>(main, "cbbServerGroup")->count(), 0);
    }

    // The window's close button asks only when there is something to lose.
    void closingWithUnsavedEditsAsksFirst()
    {
        Program p;
        p.main->show();
        QVERIFY(p.main->close());
        QVERIFY(p.op.saveQuestions.empty());

        p.main->show();
        p.op.inputs.push_back("North");
        Click(*p.main, "btnAddGroup");
        p.op.saveAnswers = {SaveAnswer::Cancel};
        QVERIFY(!p.main->close());
        QVERIFY(p.main->isVisible());
        p.op.saveAnswers = {SaveAnswer::Save};
        QVERIFY(p.main->close());
        QCOMPARE(p.op.saveQuestions.size(), std::size_t(2));
        QVERIFY(ReadFile(p.folder.path() / "Tarnwick.xml").find("North") != std::string::npos);
    }

    // A second window on a folder that one holds opens nothing it could write over.
    void aSecondWindowOnTheFolderIsRefused()
    {
        Program p;
        ScriptedOperator op;
        TFormMain second(op, {}, p.folder.path());
        QVERIFY(p.main->Opened());
        QVERIFY(!second.Opened());
        QCOMPARE(op.notices.size(), std::size_t(1));
        QCOMPARE(op.notices[0].caption, std::string("错误提示"));
        QVERIFY(second.Logic().Model().groups.Count() == 0);
        QVERIFY(second.close());
    }

    void groupButtonsAskThroughTheInputBoxAndConfirmation()
    {
        Program p;
        auto* groups = Find<QComboBox>(*p.main, "cbbServerGroup");
        p.op.inputs.push_back("West");
        Click(*p.main, "btnAddGroup");
        QCOMPARE(groups->count(), 2);
        QCOMPARE(groups->currentText(), Q("West"));
        Click(*p.main, "BtnMoveSrvUp");
        QCOMPARE(groups->itemText(0), Q("West"));
        QCOMPARE(groups->currentIndex(), 0);
        Click(*p.main, "BtnMoveSrvUp");
        QCOMPARE(p.op.TakeLastText(), std::string("该分组已经在最顶层"));

        groups->setCurrentIndex(1); // the operator picks "East"
        Click(*p.main, "btnDelGroup");
        QCOMPARE(p.op.notices.back().kind, NoticeKind::Confirmation);
        QCOMPARE(groups->count(), 1);
        QCOMPARE(groups->currentIndex(), -1);
        QCOMPARE(Rows(*Find<QTableView>(*p.main, "lvServerList")), 0);
    }

    void serverDialogRefusesThenAddsAndMovingDropsTheSelection()
    {
        Program p;
        TFormEditServer& dialog = *p.server;
        p.server->SetModalRunner([&](QDialog&) -> int {
            Script([&] {
            QCOMPARE(dialog.windowTitle(), Q("增加服务器列表"));
            QCOMPARE(Find<QLineEdit>(dialog, "edtPort")->text(), Q("7000"));
            QTest::keyClicks(Find<QLineEdit>(dialog, "EditShowName"), Q("  Zone 2 "));
            QTest::keyClicks(Find<QLineEdit>(dialog, "EditName"), Q("z2"));
            QTest::keyClicks(Find<QLineEdit>(dialog, "EditAddr"), Q("10.0.0.9"));
            Click(dialog, "ButtonOk");
            QCOMPARE(p.op.TakeLastText(), std::string("请选择服务器分组!"));
            Find<QComboBox>(dialog, "ComboBoxServerGroup")->setCurrentIndex(0);
            Click(dialog, "ButtonOk");
            });
            return dialog.result();
        });
        Click(*p.main, "btnAddServer");
        auto* servers = Find<QTableView>(*p.main, "lvServerList");
        QCOMPARE(Rows(*servers), 2);
        QCOMPARE(Cell(*servers, 1, 0), Q("East"));
        QCOMPARE(Cell(*servers, 1, 1), Q("Zone 2"));

        servers->selectRow(1);
        Click(*p.main, "BtnGameUp");
        QCOMPARE(Cell(*servers, 0, 1), Q("Zone 2"));
        QVERIFY(servers->selectionModel()->selectedRows().isEmpty());
        Click(*p.main, "BtnGameUp");
        QCOMPARE(p.op.TakeLastText(), std::string("请选择好分组"));

        servers->selectRow(0);
        Click(*p.main, "btnDelServer");
        QCOMPARE(Rows(*servers), 1);
    }

    void clickingBelowTheRowsLeavesNoServerSelected()
    {
        Program p;
        auto* servers = Find<QTableView>(*p.main, "lvServerList");
        servers->selectRow(0);
        QCOMPARE(p.main->Logic().SelectedServer(), 0);
        QTest::mouseClick(servers->viewport(), Qt::LeftButton, {}, QPoint(10, servers->viewport()->height() - 5));
        QCOMPARE(p.main->Logic().SelectedServer(), -1);
        Click(*p.main, "btnEditServer");
        QCOMPARE(p.op.TakeLastText(), std::string("请先选择你要修改的服务器信息!"));
    }

    void updateDialogShowsTheCheckModeRowAndLowersTypedLetters()
    {
        Program p;
        TFormEditUpData& dialog = *p.update;
        p.update->SetModalRunner([&](QDialog&) -> int {
            Script([&] {
            auto* label = Find<QLabel>(dialog, "Label1");
            QVERIFY(label->isVisibleTo(&dialog));
            QCOMPARE(label->text(), Q("版本号:"));
            QCOMPARE(label->geometry().right() + 1, 246);
            QVERIFY(Find<QSpinBox>(dialog, "EditVer")->isVisibleTo(&dialog));
            auto* check = Find<QComboBox>(dialog, "cbbCheckType");
            check->setCurrentIndex(3);
            emit check->activated(3); // as the operator's pick
            auto* md5 = Find<QLineEdit>(dialog, "edtMD5");
            QVERIFY(md5->isVisibleTo(&dialog));
            QCOMPARE(md5->y(), 92);
            QCOMPARE(label->text(), Q("文件MD5值:"));
            QCOMPARE(label->geometry().right() + 1, 246);
            QVERIFY(!Find<QSpinBox>(dialog, "EditVer")->isVisibleTo(&dialog));
            QTest::keyClicks(md5, Q("ABCdef"));
            QCOMPARE(md5->text(), Q("abcdef"));
            QTest::keyClicks(Find<QLineEdit>(dialog, "edtHint"), Q(" new "));
            QTest::keyClicks(Find<QLineEdit>(dialog, "EditDownUrl"), Q("http://h/x.dat"));
            Click(dialog, "ButtonOk");
            QCOMPARE(p.op.TakeLastText(), std::string("保存文件名不能为空!"));
            QTest::keyClicks(Find<QLineEdit>(dialog, "EditSaveName"), Q("x.dat"));
            // Six digits are no digest that a launcher could compare with.
            Click(dialog, "ButtonOk");
            QVERIFY(p.op.TakeLastText().find("32") != std::string::npos);
            QCOMPARE(dialog.focusWidget(), md5);
            QTest::keyClicks(md5, Q("0123456789ABCDEF0123456789"));
            Click(dialog, "ButtonOk");
            });
            return dialog.result();
        });
        Click(*p.main, "btnAddUp");
        auto* updates = Find<QTableView>(*p.main, "lvUpDataList");
        QCOMPARE(Rows(*updates), 2);
        QCOMPARE(Cell(*updates, 1, 0), Q(" new "));
        QCOMPARE(Cell(*updates, 1, 5), Q("MD5"));
        QCOMPARE(Cell(*updates, 1, 9), Q("abcdef0123456789abcdef0123456789"));

        // Editing shows the entry's own mode: the sample's "exists" row.
        updates->selectRow(0);
        p.update->SetModalRunner([&](QDialog&) -> int {
            Script([&] {
            QCOMPARE(dialog.windowTitle(), Q("修改更新列表"));
            QCOMPARE(Find<QComboBox>(dialog, "cbbCheckType")->currentIndex(), 1);
            QCOMPARE(Find<QLineEdit>(dialog, "edtHint")->text(), Q("new files"));
            });
            return int(QDialog::Rejected);
        });
        Click(*p.main, "btnEditUp");
        QCOMPARE(Cell(*updates, 0, 0), Q("new files"));
    }

    void fieldsRefuseTextThatGbkCannotHold()
    {
        Program p;
        auto* hint = Find<QLineEdit>(*p.update, "edtHint");
        TypeAtOnce(*hint, Q("中文"));
        QCOMPARE(hint->text(), Q("中文"));
        TypeAtOnce(*hint, Q("a😀"));
        QCOMPARE(hint->text(), Q("中文"));

        auto* home = Find<QLineEdit>(*p.main, "edtHomeUrl");
        home->selectAll();
        TypeAtOnce(*home, Q("http://新/"));
        TypeAtOnce(*home, Q("€"));
        QCOMPARE(p.main->Logic().Model().web.HomeUrl, Utf8ToGbk("http://新/€"));
        TypeAtOnce(*home, Q("🎮"));
        QCOMPARE(home->text(), Q("http://新/€"));
    }

    void droppingFilesHashesTheFirst()
    {
        TempFolder folder;
        ReplaceFile(folder.path() / "abc.txt", "abc");
        ReplaceFile(folder.path() / "other.txt", "other");
        ScriptedOperator op;
        TFormEditUpData dialog(op);
        auto* box = Find<tarnwick::ui::TDropFileGroupBox>(dialog, "DropFileGroupBox1");
        const QString first = QString::fromStdString((folder.path() / "abc.txt").string());
        Drop(*box, {QUrl::fromLocalFile(first), QUrl::fromLocalFile(QString::fromStdString((folder.path() / "other.txt").string()))});
        QCOMPARE(Find<QLineEdit>(dialog, "edt1")->text(), first);
        QCOMPARE(Find<QLineEdit>(dialog, "edt2")->text(), Q("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(Find<QProgressBar>(dialog, "pb1")->value(), 0);

        Drop(*box, {QUrl::fromLocalFile(QString::fromStdString(folder.path().string()))});
        QCOMPARE(Find<QLineEdit>(dialog, "edt2")->text(), QString(32, QLatin1Char('0')));
        QVERIFY(op.notices.empty());

        // A file dropped on a field of the box is the box's, and is taken as a copy.
        auto* edt1 = Find<QLineEdit>(dialog, "edt1");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(first)});
        data.setText(QUrl::fromLocalFile(first).toString());
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edt1, &enter);
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edt1, &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(edt1->text(), first);
        QCOMPARE(Find<QLineEdit>(dialog, "edt2")->text(), Q("900150983cd24fb0d6963f7d28e17f72"));

        // Enter in the file-name field hashes what was typed or pasted there,
        // and no digest stays beside a name it does not belong to.
        QString digestWhileHashing = Q("not run");
        QObject::connect(Find<QProgressBar>(dialog, "pb1"), &QProgressBar::valueChanged, &dialog,
                         [&] { digestWhileHashing = Find<QLineEdit>(dialog, "edt2")->text(); });
        edt1->setText(QUrl::fromLocalFile(QString::fromStdString((folder.path() / "other.txt").string())).toString());
        QTest::keyClick(edt1, Qt::Key_Return);
        QCOMPARE(Find<QLineEdit>(dialog, "edt2")->text(), Q("795f3202b17cb6bc3d4b771d8c6c9eaf"));
        QCOMPARE(digestWhileHashing, QString());
    }

    // The calculator's digest pins the entry's download on request; what the
    // operator typed stays, and a folder has nothing to pin.
    void theDroppedFilesDigestPinsTheDownload()
    {
        TempFolder folder;
        ReplaceFile(folder.path() / "abc.txt", "abc");
        ScriptedOperator op;
        TFormEditUpData dialog(op);
        auto* pin = Find<QPushButton>(dialog, "ButtonPinDigest");
        QVERIFY(!pin->isEnabled());
        auto* box = Find<tarnwick::ui::TDropFileGroupBox>(dialog, "DropFileGroupBox1");
        Drop(*box, {QUrl::fromLocalFile(QString::fromStdString((folder.path() / "abc.txt").string()))});
        QVERIFY(pin->isEnabled());
        auto* hint = Find<QLineEdit>(dialog, "edtHint");
        QTest::keyClicks(hint, Q("typed"));
        auto* md5 = Find<QLineEdit>(dialog, "edtMD5");
        auto* download = Find<QLineEdit>(dialog, "edtdownmd5");
        Click(dialog, "ButtonPinDigest");
        QCOMPARE(download->text(), Q("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(md5->text(), Q("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(hint->text(), Q("typed"));

        Find<QComboBox>(dialog, "ComboBoxZip")->setCurrentIndex(1);
        md5->clear();
        download->clear();
        Click(dialog, "ButtonPinDigest");
        QCOMPARE(download->text(), Q("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(md5->text(), QString());

        QTest::keyClicks(Find<QLineEdit>(dialog, "edt1"), Q("x"));
        QVERIFY(!pin->isEnabled());
        Drop(*box, {QUrl::fromLocalFile(QString::fromStdString(folder.path().string()))});
        QVERIFY(!pin->isEnabled());
        QVERIFY(op.notices.empty());
    }

    // An empty web address is refused when the operator leaves the field,
    // which then shows the address kept.
    void anEmptyWebAddressIsRefusedAndTheOldOneKept()
    {
        Program p;
        auto* home = Find<QLineEdit>(*p.main, "edtHomeUrl");
        home->selectAll();
        QTest::keyClick(home, Qt::Key_Delete);
        QVERIFY(p.op.notices.empty());
        QTest::keyClick(home, Qt::Key_Return);
        QCOMPARE(p.op.notices.size(), std::size_t(1));
        QCOMPARE(p.op.TakeLastText(), GbkToUtf8(edit::RefusalNotice(edit::Outcome::WebAddressEmpty).text.Chinese()));
        QCOMPARE(home->text(), Q("http://www.example.com/"));
        QVERIFY(!p.main->Logic().HasUnsavedEdits());
    }

    // Ctrl+Z brings a deleted server back, selected, and Ctrl+Y deletes it
    // again; an address typed and undone shows in its field once more.
    void undoAndRedoFollowTheirKeys()
    {
        Program p;
        p.op.notices.clear(); // what loading told
        p.main->show();
        QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
        auto* servers = Find<QTableView>(*p.main, "lvServerList");
        const QString name = Cell(*servers, 0, 1);
        servers->setFocus();
        servers->selectRow(0);
        Click(*p.main, "btnDelServer");
        QCOMPARE(Rows(*servers), 0);

        QTest::keyClick(servers, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Rows(*servers), 1);
        QCOMPARE(Cell(*servers, 0, 1), name);
        QCOMPARE(servers->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(servers->selectionModel()->selectedRows().front().row(), 0);
        QCOMPARE(p.main->Logic().SelectedServer(), 0);
        QVERIFY(!p.main->Logic().HasUnsavedEdits()); // closing asks nothing
        QTest::keyClick(servers, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Rows(*servers), 0);
        QVERIFY(p.main->Logic().HasUnsavedEdits());

        Find<QTabWidget>(*p.main, "pgc2")->setCurrentIndex(1);
        auto* home = Find<QLineEdit>(*p.main, "edtHomeUrl");
        home->setFocus();
        home->selectAll();
        QTest::keyClicks(home, Q("http://new.example/"));
        // Leaving the field ends its step; in the field the keys are its own.
        auto* save = Find<QPushButton>(*p.main, "btnServerInfoSave");
        save->setFocus();
        QTest::keyClick(save, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(home->text(), Q("http://www.example.com/"));
        QTest::keyClick(save, Qt::Key_Z, Qt::ControlModifier); // the server's delete
        QCOMPARE(Rows(*servers), 1);
        QCOMPARE(Find<QTabWidget>(*p.main, "pgc2")->currentIndex(), 0);
        QVERIFY(!p.main->Logic().HasUnsavedEdits());
        QTest::keyClick(save, Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(save, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(home->text(), Q("http://new.example/"));
        QCOMPARE(Find<QTabWidget>(*p.main, "pgc2")->currentIndex(), 1);
        QVERIFY(p.op.notices.empty());
    }

    // The launcher tab says whether lists and launchers will be signed, makes
    // the key, and takes the game client for this session.
    void theLauncherTabShowsSigningAndMakesTheKey()
    {
        TempFolder settings;
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(settings.path().string()));
        const auto restore = qScopeGuard([&] {
            previous.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", previous);
        });
        Program p;
        Find<QTabWidget>(*p.main, "pgc1")->setCurrentIndex(1);
        auto* status = Find<QLabel>(*p.main, "LabelSigning");
        auto* create = Find<QPushButton>(*p.main, "CreateKeyButton");
        auto* backup = Find<QPushButton>(*p.main, "ExportKeyButton");
        QVERIFY2(status->text().startsWith(Q("没有签名密钥")), qPrintable(status->text()));
        QVERIFY(create->isEnabled());
        QVERIFY(!backup->isEnabled());

        Click(*p.main, "CreateKeyButton");
        const auto keys = sign::KeyStore(settings.path() / "tarnwick").Load();
        QVERIFY(keys);
        QVERIFY2(status->text().contains(QString::fromStdString(sign::KeyIdOf(keys->signing.publicKey))),
                 qPrintable(status->text()));
        QVERIFY(!create->isEnabled());
        QVERIFY(backup->isEnabled());

        QTest::keyClicks(Find<QLineEdit>(*p.main, "GameClientEdit"), Q("game.exe -s %addr%"));
        QCOMPARE(p.main->Logic().ClientCommand(), std::string("game.exe -s %addr%"));
    }

    // The launcher tab's fields, typed and left, are there when the window
    // opens on the folder again; the initial values were only the first run's.
    void launcherFieldsSurviveARestartOfTheWindow()
    {
        TempFolder folder;
        {
            ScriptedOperator op;
            TFormMain main(op, CarriedLauncherImage(), folder.path());
            QCOMPARE(Find<QLineEdit>(main, "GameNameEdit")->text(), Q("Velmora传奇"));
            for (const auto& [name, text] : {std::pair{"GameNameEdit", Q("青龙传奇")},
                                             std::pair{"ServerListEdit", Q("http://203.0.113.5/ServerInfo.txt")},
                                             std::pair{"GameClientEdit", Q("game.exe -s %addr%")}}) {
                auto* field = Find<QLineEdit>(main, name);
                // Typed as an input method delivers Chinese.
                field->selectAll();
                QInputMethodEvent typed;
                typed.setCommitString(text);
                QApplication::sendEvent(field, &typed);
                emit field->editingFinished(); // focus leaves it
            }
            QVERIFY(op.notices.empty());
        }
        ScriptedOperator op;
        TFormMain again(op, CarriedLauncherImage(), folder.path());
        QCOMPARE(Find<QLineEdit>(again, "GameNameEdit")->text(), Q("青龙传奇"));
        QCOMPARE(Find<QLineEdit>(again, "ServerListEdit")->text(), Q("http://203.0.113.5/ServerInfo.txt"));
        QCOMPARE(Find<QLineEdit>(again, "GameClientEdit")->text(), Q("game.exe -s %addr%"));
        QVERIFY(op.notices.empty());
    }

    // Beside the tabs, where the layout has room: the folder, and the action
    // that asks the file manager for it, with a file URL that keeps every
    // character of its name.
    void theWorkingFolderIsShownAndOpensInTheFileManager()
    {
        TempFolder folder;
        const std::filesystem::path inner = folder.path() / Utf8Path("服务器 #1");
        std::filesystem::create_directories(inner);
        ScriptedOperator op;
        TFormMain main(op, CarriedLauncherImage(), inner);
        auto* button = Find<QToolButton>(main, "WorkingFolderButton");
        QCOMPARE(Find<QTabWidget>(main, "pgc1")->cornerWidget(Qt::TopRightCorner), button);
        QVERIFY2(button->toolTip().endsWith(FromPath(inner)), qPrintable(button->toolTip()));
        QVERIFY(button->sizeHint().width() <= button->maximumWidth());
        auto* action = main.findChild<QAction*>("OpenWorkingFolderAction");
        QVERIFY(action);
        action->trigger();
        QCOMPARE(op.openedFolders.size(), std::size_t(1));
        QCOMPARE(op.openedFolders[0], inner);
        const QUrl url = FolderUrl(op.openedFolders[0]);
        QCOMPARE(url.scheme(), Q("file"));
        QCOMPARE(url.toLocalFile(), FromPath(inner));
        // The tabs keep their place.
        QCOMPARE(Find<QTabWidget>(main, "pgc1")->geometry(), QRect(8, 8, 473, 337));
    }

    // Names are not markup, and the confirmation's line break stays.
    void noticesShowTheirTextExactly()
    {
        QtOperator op;
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                format = box->textFormat();
                box->button(QMessageBox::Cancel)->click();
            }
        });
        const edit::Notice question = edit::DeleteGroupQuestion("<b>Bold</b>");
        QVERIFY(!op.Notice(question.kind, question.caption, question.text));
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, Q("是否确定删除分组[<b>Bold</b>]信息？\n将会同时删除所有该组的服务器列表!"));
    }

    void updateDialogOpensWithFocusInTheSaveFolder()
    {
        ScriptedOperator op;
        TFormEditUpData dialog(op);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.focusWidget(), Find<QLineEdit>(dialog, "EditSaveDir"));
    }

    // A version the spin field cannot hold as a number stays the entry's own,
    // not the one the field held from the entry edited before.
    void editingAnEntryKeepsItsOwnVersion()
    {
        const std::vector<std::string> versions = {"5", "abc", "70000", "007", "", "65535"};
        Program p(UpdatesWithVersions(versions));
        auto* field = Find<QSpinBox>(*p.update, "EditVer");
        auto* updates = Find<QTableView>(*p.main, "lvUpDataList");
        for (int row = 0; row < static_cast<int>(versions.size()); ++row) {
            QString shown;
            p.update->SetModalRunner([&](QDialog&) -> int {
                shown = field->text();
                field->interpretText(); // as leaving the field does
                Click(*p.update, "ButtonOk");
                return p.update->result();
            });
            updates->selectRow(row);
            Click(*p.main, "btnEditUp");
            QCOMPARE(shown, Q(versions[row].c_str()));
            QCOMPARE(p.main->Logic().Model().updates.At(row).Ver, versions[row]);
        }
        // The operator may still replace such a version by a number.
        p.update->SetModalRunner([&](QDialog&) -> int {
            field->selectAll();
            QTest::keyClicks(field, Q("12"));
            Click(*p.update, "ButtonOk");
            return p.update->result();
        });
        updates->selectRow(1);
        Click(*p.main, "btnEditUp");
        QCOMPARE(p.main->Logic().Model().updates.At(1).Ver, std::string("12"));
    }

    // The digest shown is always that of the name shown: a second drop
    // during a digest replaces it.
    void aDropDuringADigestSupersedesIt()
    {
        TempFolder folder;
        ReplaceFile(folder.path() / "a.bin", std::string(100000, 'a'));
        ReplaceFile(folder.path() / "b.bin", "b");
        Digest expected{};
        FileDigest(folder.path() / "b.bin", expected);
        ScriptedOperator op;
        TFormEditUpData dialog(op);
        auto* box = Find<tarnwick::ui::TDropFileGroupBox>(dialog, "DropFileGroupBox1");
        const QString a = QString::fromStdString((folder.path() / "a.bin").string());
        const QString b = QString::fromStdString((folder.path() / "b.bin").string());
        // Runs inside the first digest, when its progress callback lets events through.
        bool nested = false;
        QTimer::singleShot(0, box, [&] {
            nested = true;
            Drop(*box, {QUrl::fromLocalFile(b)});
        });
        Drop(*box, {QUrl::fromLocalFile(a)});
        QVERIFY(nested);
        QCOMPARE(box->DroppedFiles, QStringList{b});
        QCOMPARE(Find<QLineEdit>(dialog, "edt1")->text(), b);
        QCOMPARE(Find<QLineEdit>(dialog, "edt2")->text(), QString::fromStdString(DigestToHex(expected)));
        QCOMPARE(Find<QProgressBar>(dialog, "pb1")->value(), 0);
    }

    void inputBoxTakesOneLineOfAtMost255Characters()
    {
        TInputQuery box(Q("增加"), Q("请输入你要增加的服务器分组:"), QString());
        QCOMPARE(box.windowTitle(), Q("增加"));
        QCOMPARE(box.Field()->maxLength(), 255);
        QTest::keyClicks(box.Field(), Q("North"));
        TypeAtOnce(*box.Field(), Q("😀"));
        QTest::mouseClick(box.OkButton(), Qt::LeftButton);
        QCOMPARE(box.result(), int(QDialog::Accepted));
        QCOMPARE(box.Value(), Q("North"));
    }

    void outputButtonsWriteTheThreeFiles()
    {
        Program p;
        Click(*p.main, "btnServerInfoSave");
        QCOMPARE(p.op.TakeLastText(), "保存配置成功完成！\r\n已写入：" + (p.folder.path() / "Tarnwick.xml").string());
        Click(*p.main, "btnServerInfoWrite");
        QCOMPARE(p.op.TakeLastText(), "生成配置成功完成！\r\n已写入：" + (p.folder.path() / "ServerInfo.txt").string());
        QVERIFY(!std::filesystem::exists(p.folder.path() / "ServerInfo.txt.sig"));
        QVERIFY(std::filesystem::exists(p.folder.path() / "ServerInfo.txt"));
        Find<QTabWidget>(*p.main, "pgc1")->setCurrentIndex(1);
        auto* name = Find<QLineEdit>(*p.main, "GameNameEdit");
        name->selectAll();
        QTest::keyClicks(name, Q("Demo"));
        Click(*p.main, "GenerateLoginButton");
        QCOMPARE(p.op.notices.back().kind, NoticeKind::Success);
        QVERIFY(std::filesystem::exists(p.folder.path() / "Demo.exe"));
    }
};

QTEST_MAIN(FormsTest)
#include "forms_test.moc"
