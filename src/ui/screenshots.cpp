// tarnwick-screenshots OUTPUT_FOLDER CONFIGURATION [zh_CN|en]: renders the main
// window on each of its tabs, both editor dialogs and the publish dialog
// offscreen, as PNG files, in the language given (Chinese without one).
#include "base/notice.h"
#include "base/text.h"
#include "launcher/launcher_builder.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"
#include "ui/publish_dialog.h"
#include "ui/qt_text.h"
#include "ui/window_language.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>

#include <filesystem>
#include <iostream>

namespace {

// Nobody is at the screen: notices go to standard error, questions get Cancel.
class Unattended : public tarnwick::ui::Operator {
public:
    bool Notice(tarnwick::NoticeKind, const std::string& caption, const tarnwick::Message& text) override
    {
        std::cerr << tarnwick::ui::ToQString(caption).toStdString() << ": "
                  << tarnwick::ui::ToQString(text.Chinese()).toStdString() << "\n";
        return false;
    }
    bool InputQuery(const std::string&, const std::string&, std::string&) override { return false; }
    bool ChooseNewFile(const std::string&, std::filesystem::path&) override { return false; }
    bool OpenFolder(const std::filesystem::path&) override { return false; }
    tarnwick::ui::SaveAnswer AskToSave(const std::string&, const std::string&) override
    {
        return tarnwick::ui::SaveAnswer::Discard;
    }
};

bool Save(QWidget& window, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) {
        std::cerr << "cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const auto language = argc == 4 ? tarnwick::ParseLanguage(argv[3]) : tarnwick::Language::Chinese;
    if ((argc != 3 && argc != 4) || !language) {
        std::cerr << "Usage: tarnwick-screenshots OUTPUT_FOLDER CONFIGURATION [zh_CN|en]\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(tarnwick::ui::WindowFont());
    const tarnwick::ui::WindowLanguage texts(*language);
    const QDir output(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(output.path()))
        return 1;
    QTemporaryDir work;
    // The pictures show a window without a key, whatever keys the user has.
    qputenv("XDG_CONFIG_HOME", work.path().toLocal8Bit());
    std::filesystem::copy_file(argv[2], std::filesystem::path(work.path().toStdString()) / "Tarnwick.xml");

    Unattended op;
    using namespace tarnwick::ui;
    TFormMain main(op, tarnwick::CarriedLauncherImage(), work.path().toStdString());
    TFormEditUpData updateDialog(op, &main);
    TFormEditServer serverDialog(op, &main);
    main.AttachDialogs(serverDialog, updateDialog);

    auto* outer = main.findChild<QTabWidget*>(QStringLiteral("pgc1"));
    auto* inner = main.findChild<QTabWidget*>(QStringLiteral("pgc2"));
    bool ok = true;
    const char* innerNames[] = {"main-1-servers.png", "main-2-web-pages.png", "main-3-updates.png"};
    for (int tab = 0; tab < 3; ++tab) {
        outer->setCurrentIndex(0);
        inner->setCurrentIndex(tab);
        ok &= Save(main, output, QString::fromLatin1(innerNames[tab]));
    }
    outer->setCurrentIndex(1);
    ok &= Save(main, output, QStringLiteral("main-4-launcher.png"));

    // The dialogs as the operator first sees them, with their texts filled in.
    auto& server = serverDialog.Editor().Fields;
    server.Caption = tarnwick::Utf8ToGbk("增加服务器列表");
    server.Port = "7000";
    for (const auto& group : main.Logic().Model().groups)
        server.GroupNames.push_back(group.Name);
    serverDialog.SetModalRunner([&](QDialog& dialog) {
        ok &= Save(dialog, output, "server-dialog.png");
        return 0;
    });
    serverDialog.ShowModal();

    updateDialog.Editor().Fields.Caption = tarnwick::Utf8ToGbk("增加更新列表");
    updateDialog.SetModalRunner([&](QDialog& dialog) {
        ok &= Save(dialog, output, "update-dialog.png");
        return 0;
    });
    updateDialog.ShowModal();

    PublishDialog publish(op, work.path().toStdString(), QStringLiteral("http://www.example.com/ServerInfo.txt"), {});
    publish.show();
    ok &= Save(publish, output, QStringLiteral("publish-dialog.png"));
    return ok ? 0 : 1;
}
