// The publish dialog on the offscreen platform: a working folder published
// to a local folder, which a loopback web server serves as the players'
// address; a refusal that uploads nothing; closing while a publish runs; the
// questions asked on the window; and the launcher tab's button.
#include "base/file_io.h"
#include "digest/md5.h"
#include "edit/working_copy.h"
#include "find_widget.h"
#include "launcher/launcher_builder.h"
#include "publish/publish_settings.h"
#include "scripted_operator.h"
#include "temp_folder.h"
#include "ui/form_main.h"
#include "ui/publish_dialog.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace tarnwick::ui::testing;
namespace fs = std::filesystem;

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kPublishWait = 60000;

// The players' web host: Python's own server on a loopback port it chose,
// serving the folder that the publish writes to.
class LoopbackWebServer {
public:
    explicit LoopbackWebServer(const fs::path& folder)
    {
        process_.setProgram(QStringLiteral("python3"));
        process_.setArguments({QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                               QStringLiteral("0"), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("--directory"), FromPath(folder)});
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(10000))
            return;
        // "Serving HTTP on 127.0.0.1 port 40123 (http://127.0.0.1:40123/) ..."
        const QRegularExpression serving(QStringLiteral("port (\\d+)"));
        QByteArray said;
        QElapsedTimer waited;
        waited.start();
        while (port_ == 0 && waited.elapsed() < 10000 && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(200);
            said += process_.readAllStandardOutput();
            if (const QRegularExpressionMatch match = serving.match(QString::fromLatin1(said)); match.hasMatch())
                port_ = match.captured(1).toInt();
        }
    }
    ~LoopbackWebServer()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }

    int Port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

// A server that takes connections and never answers, until told to drop them.
class SilentServer {
public:
    SilentServer()
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                sockets_.push_back(socket);
        });
    }
    int Port() const { return server_.serverPort(); }
    bool Connected() const { return !sockets_.empty(); }
    void DropConnections()
    {
        for (QTcpSocket* socket : sockets_)
            socket->abort();
    }

private:
    QTcpServer server_;
    std::vector<QTcpSocket*> sockets_;
};

// A working folder with one update file in the site's copy, the list written,
// and the folder the publish writes to.
struct WorkingFolder {
    TempFolder temporary;
    fs::path work = temporary.path() / "work";
    fs::path site = temporary.path() / "site";
    fs::path destination = temporary.path() / "www";
    const std::string patch = "the patch's bytes";

    WorkingFolder()
    {
        fs::create_directories(work);
        fs::create_directories(site);
        fs::create_directories(destination);
        ReplaceFile(site / "patch.dat", patch);
    }

    // Tarnwick.xml with its update fetched from the port; ServerInfo.txt
    // written from it as the window's generate button writes it.
    void Write(int port, const std::string& hint = "patch")
    {
        WriteDocument(port, hint);
        edit::WorkingCopy copy(work);
        SetupModel model;
        copy.Load(model);
        copy.WriteServerInfo(model);
    }

    void WriteDocument(int port, const std::string& hint)
    {
        ReplaceFile(work / "Tarnwick.xml",
                    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup><UpDate><Config SDir=\".\\\" "
                    "FName=\"patch.dat\" DUrl=\"" + Address(port, "patch.dat") +
                        "\" ZIP=\"0\" Check=\"0\" DType=\"0\" Date=\"1\" VAR=\"1\" MD5=\"\" ID=\"" + Md5Hex(patch) +
                        "\">" + hint + "</Config></UpDate></XMLSetup>");
    }

    static std::string Address(int port, const char* file)
    {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + file;
    }

    std::string Published(const char* file) const
    {
        return fs::exists(destination / file) ? ReadFile(destination / file) : std::string("(none)");
    }
};

void Fill(PublishDialog& dialog, const fs::path& destination, const std::string& listUrl, const fs::path& site)
{
    Find<QLineEdit>(dialog, "edtDestination")->setText(FromPath(destination));
    Find<QLineEdit>(dialog, "edtListUrl")->setText(QString::fromStdString(listUrl));
    Find<QLineEdit>(dialog, "edtSite")->setText(FromPath(site));
}

QString Cell(QTableWidget& table, int row, int column)
{
    const QTableWidgetItem* item = table.item(row, column);
    return item ? item->text() : QString();
}

// The table's rows as "step|result|file", for readable failures.
QStringList Rows(QTableWidget& table)
{
    QStringList rows;
    for (int row = 0; row < table.rowCount(); ++row)
        rows.append(Cell(table, row, 0) + QLatin1Char('|') + Cell(table, row, 1) + QLatin1Char('|') +
                    Cell(table, row, 2) + QLatin1Char('|') + Cell(table, row, 5));
    return rows;
}

} // namespace

class PublishDialogTest : public QObject {
    Q_OBJECT

private slots:
    void publishesToAFolderAndVerifiesOverThePlayersAddress()
    {
        WorkingFolder folder;
        LoopbackWebServer web(folder.destination);
        if (web.Port() == 0)
            QSKIP("python3 -m http.server did not start");
        folder.Write(web.Port());
        const std::string listUrl = WorkingFolder::Address(web.Port(), "ServerInfo.txt");
        ScriptedOperator op;
        {
            PublishDialog dialog(op, folder.work, QString(), {});
            dialog.show();
            Fill(dialog, folder.destination, listUrl, folder.site);
            QVERIFY(!Find<QCheckBox>(dialog, "chkExplicitTls")->isEnabled());
            QVERIFY(!Find<QLineEdit>(dialog, "edtKeyFile")->isEnabled());
            QTest::mouseClick(Find<QPushButton>(dialog, "btnPublish"), Qt::LeftButton);
            QVERIFY(dialog.Running());
            // The window answers while the publish works.
            QVERIFY(!Find<QPushButton>(dialog, "btnPublish")->isEnabled());
            QVERIFY(Find<QPushButton>(dialog, "btnCancel")->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), kPublishWait);

            auto* table = Find<QTableWidget>(dialog, "tblResult");
            const QString status = Find<QLabel>(dialog, "lblStatus")->text();
            QCOMPARE(status, Q("发布完成：玩家获取的文件全部正确"));
            QVERIFY2(op.notices.empty(), op.notices.empty() ? "" : op.notices.back().text.c_str());
            QCOMPARE(folder.Published("patch.dat"), folder.patch);
            QCOMPARE(folder.Published("ServerInfo.txt"), ReadFile(folder.work / "ServerInfo.txt"));
            // Two uploads, then two checks of what players fetch.
            const QStringList rows = Rows(*table);
            QCOMPARE(rows.size(), 4);
            QVERIFY2(rows[0].startsWith(Q("上传|已发送|更新文件")), qPrintable(rows.join('\n')));
            QVERIFY2(rows[1].startsWith(Q("上传|已发送|服务器列表")), qPrintable(rows.join('\n')));
            QVERIFY2(rows[2].startsWith(Q("发布后校验|正确|服务器列表")), qPrintable(rows.join('\n')));
            QVERIFY2(rows[3].startsWith(Q("发布后校验|正确|更新文件第 1 项")), qPrintable(rows.join('\n')));
            QCOMPARE(Cell(*table, 3, 6), QString::fromStdString(WorkingFolder::Address(web.Port(), "patch.dat")));
            const auto* bar = Find<QProgressBar>(dialog, "barProgress");
            QCOMPARE(bar->value(), bar->maximum());
        }

        // Remembered beside Tarnwick.xml, and the next dialog starts with them.
        const auto remembered = publish::ReadPublishSettings(folder.work / publish::kPublishSettingsFileName);
        QVERIFY(remembered);
        QCOMPARE(remembered->destination, FromPath(folder.destination).toStdString());
        QCOMPARE(remembered->listUrl, listUrl);
        QCOMPARE(remembered->site, FromPath(folder.site).toStdString());
        PublishDialog again(op, folder.work, QString(), {});
        QCOMPARE(Find<QLineEdit>(again, "edtDestination")->text(), FromPath(folder.destination));
        QCOMPARE(Find<QLineEdit>(again, "edtListUrl")->text(), QString::fromStdString(listUrl));
        QCOMPARE(Find<QLineEdit>(again, "edtSite")->text(), FromPath(folder.site));
        QVERIFY(Find<QLabel>(again, "lblStatus")->text().isEmpty());
    }

    // ServerInfo.txt written before the last change of Tarnwick.xml.
    void aStaleListIsRefusedAndNothingIsUploaded()
    {
        WorkingFolder folder;
        folder.Write(1);
        folder.WriteDocument(1, "patch, changed since");
        ScriptedOperator op;
        PublishDialog dialog(op, folder.work, QString(), {});
        dialog.show();
        Fill(dialog, folder.destination, WorkingFolder::Address(1, "ServerInfo.txt"), folder.site);
        QTest::mouseClick(Find<QPushButton>(dialog, "btnPublish"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), kPublishWait);

        QVERIFY(fs::is_empty(folder.destination));
        const QStringList rows = Rows(*Find<QTableWidget>(dialog, "tblResult"));
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows[0].startsWith(Q("发布前检查|拒绝|服务器列表|ServerInfo.txt 不是按 Tarnwick.xml 现在的内容生成的")),
                 qPrintable(rows[0]));
        QVERIFY(Find<QLabel>(dialog, "lblStatus")->text().startsWith(Q("没有上传任何文件")));
        QVERIFY(!fs::exists(folder.work / publish::kPublishSettingsFileName));
        // The operator mends it and publishes again from the same dialog.
        QVERIFY(Find<QPushButton>(dialog, "btnPublish")->isEnabled());
    }

    // Input the publish cannot use at all is a refusal notice, as the
    // window's other failures are; fields it refuses start nothing.
    void unusableInputIsANotice()
    {
        WorkingFolder folder; // no Tarnwick.xml
        ScriptedOperator op;
        PublishDialog dialog(op, folder.work, QString(), {});
        dialog.show();
        QTest::mouseClick(Find<QPushButton>(dialog, "btnPublish"), Qt::LeftButton);
        QVERIFY(!dialog.Running());
        QCOMPARE(op.notices.size(), std::size_t(1));
        QVERIFY2(op.notices[0].text.find("发布到哪里") != std::string::npos, op.notices[0].text.c_str());

        Fill(dialog, folder.destination, "http://127.0.0.1:1/ServerInfo.txt", {});
        QTest::mouseClick(Find<QPushButton>(dialog, "btnPublish"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), kPublishWait);
        QCOMPARE(op.notices.size(), std::size_t(2));
        QCOMPARE(op.notices[1].kind, NoticeKind::Refusal);
        QVERIFY2(op.notices[1].text.find("Tarnwick.xml") != std::string::npos, op.notices[1].text.c_str());
        QVERIFY(Find<QLabel>(dialog, "lblStatus")->text().contains(Q("Tarnwick.xml")));
    }

    // A remembered file that cannot be used is shown, and the fields start empty.
    void anUnusableSettingsFileIsShown()
    {
        WorkingFolder folder;
        ReplaceFile(folder.work / publish::kPublishSettingsFileName, "[1, 2]");
        ScriptedOperator op;
        PublishDialog dialog(op, folder.work, Q("http://203.0.113.5/ServerInfo.txt"), {});
        QVERIFY(Find<QLineEdit>(dialog, "edtDestination")->text().isEmpty());
        QVERIFY(Find<QLabel>(dialog, "lblStatus")->text().contains(QString::fromLatin1(publish::kPublishSettingsFileName)));
        // An empty list address stands for the launcher's.
        QVERIFY(Find<QLineEdit>(dialog, "edtListUrl")->placeholderText().contains(Q("http://203.0.113.5/ServerInfo.txt")));
        QVERIFY(op.notices.empty());
    }

    // Closing while the players' address keeps the publish waiting: the
    // dialog stays until the publish has stopped, then closes by itself.
    void closingWhileRunningCancelsAndClosesOnceStopped()
    {
        WorkingFolder folder;
        SilentServer players;
        folder.Write(players.Port());
        ScriptedOperator op;
        PublishDialog dialog(op, folder.work, QString(), {});
        dialog.show();
        Fill(dialog, folder.destination, WorkingFolder::Address(players.Port(), "ServerInfo.txt"), folder.site);
        QTest::mouseClick(Find<QPushButton>(dialog, "btnPublish"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(players.Connected(), kPublishWait);

        dialog.close();
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.Running());
        QCOMPARE(Find<QLabel>(dialog, "lblStatus")->text(), Q("正在取消…"));
        players.DropConnections();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), kPublishWait);
        QVERIFY(!dialog.Running());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        // Everything went up before the checks were cancelled.
        QCOMPARE(folder.Published("ServerInfo.txt"), ReadFile(folder.work / "ServerInfo.txt"));
        QVERIFY2(Find<QLabel>(dialog, "lblStatus")->text().startsWith(Q("已取消校验")),
                 qPrintable(Find<QLabel>(dialog, "lblStatus")->text()));
    }

    // The publish's questions on the window: the password hidden, and a new
    // host key never trusted by Enter alone.
    void questionsAreAskedOnTheWindow()
    {
        TempFolder folder;
        ScriptedOperator op;
        PublishDialog dialog(op, folder.path(), QString(), {});
        dialog.show();

        QString prompt;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->textEchoMode(), QLineEdit::Password);
            prompt = box->labelText();
            box->setTextValue(Q("pässword"));
            box->accept();
        });
        QCOMPARE(dialog.AskPassword({"ftp://host.example:21", "up"}, true), std::optional<std::string>("pässword"));
        QVERIFY2(prompt.contains(Q("ftp://host.example:21")) && prompt.contains(Q("拒绝")), qPrintable(prompt));

        QString text;
        QString defaultButton;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            text = box->text();
            defaultButton = box->defaultButton()->objectName();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QVERIFY(!dialog.AskAcceptHostKey({"host.example:22", "SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU", false}));
        QCOMPARE(defaultButton, QStringLiteral("btnNo"));
        QVERIFY2(text.contains(Q("SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU")), qPrintable(text));

        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            text = box->text();
            QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("btnYes")), Qt::LeftButton);
        });
        QVERIFY(dialog.AskRememberPassword({"ftp://host.example:21", "up"}));
        QVERIFY2(text.startsWith(Q("将密码保存在系统的密钥环中？")), qPrintable(text));
    }

    // The launcher tab's button opens the dialog over the folder, with the
    // tab's list address for an empty list address field.
    void theLauncherTabOpensTheDialog()
    {
        TempFolder folder;
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml",
                                   folder.path() / "Tarnwick.xml");
        ScriptedOperator op;
        TFormMain main(op, CarriedLauncherImage(), folder.path());
        auto* listUrl = Find<QLineEdit>(main, "ServerListEdit");
        listUrl->setFocus();
        listUrl->selectAll();
        QTest::keyClicks(listUrl, QStringLiteral("http://203.0.113.5/ServerInfo.txt"));
        QString placeholder;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<PublishDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            placeholder = Find<QLineEdit>(*dialog, "edtListUrl")->placeholderText();
            dialog->reject();
        });
        QTest::mouseClick(Find<QPushButton>(main, "PublishButton"), Qt::LeftButton);
        QVERIFY2(placeholder.contains(QStringLiteral("http://203.0.113.5/ServerInfo.txt")), qPrintable(placeholder));
        QVERIFY(op.notices.empty());
    }
};

QTEST_MAIN(PublishDialogTest)
#include "publish_dialog_test.moc"
