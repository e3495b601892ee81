// tarnwick: the editing program, run in the working folder that holds Tarnwick.xml.
#include "app/start_options.h"
#include "app/translation.h"
#include "app/version.h"
#include "app/working_folder.h"
#include "base/console.h"
#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "base/user_folders.h"
#include "launcher/launcher_builder.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"
#include "ui/qt_operator.h"
#include "ui/logic/failure_report.h"
#include "ui/qt_text.h"
#include "ui/window_language.h"

#include <QApplication>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ArgumentsOf(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool HasDisplay(const std::vector<std::string>& arguments)
{
#ifdef _WIN32
    (void)arguments;
    return true; // Windows always has its desktop.
#else
    // "-platform offscreen" on the command line needs no display either.
    for (const std::string& argument : arguments)
        if (argument == "-platform" || argument == "--platform")
            return true;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
#endif
}

// On Windows the documents folder's Tarnwick, where an operator finds the
// files to publish; elsewhere the XDG rules' folder.
std::filesystem::path OwnFolderHere()
{
    if (const std::optional<std::filesystem::path> documents = tarnwick::DocumentsFolder())
        return *documents / "Tarnwick";
    return tarnwick::OwnFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

// Enters the folder that the command line asks for; the current directory
// when it names none (as 'make run' starts it).
void EnterWorkingFolder(const tarnwick::StartOptions& options)
{
    if (options.ownFolder)
        tarnwick::EnterFolder(OwnFolderHere(), true);
    else if (options.folder)
        tarnwick::EnterFolder(*options.folder, false);
}

// Core text (GBK) for the terminal, which wants UTF-8.
std::string ForTerminal(const std::string& gbk) { return tarnwick::TryGbkToUtf8(gbk).value_or(gbk); }

} // namespace

int main(int argc, char** argv)
{
    // --help and --version need no display. Other refusals wait until Qt has
    // taken its own options (-platform, -style) off the command line.
    const auto early = tarnwick::ParseStartOptions(ArgumentsOf(argc, argv));
    if (early.action == tarnwick::StartOptions::Action::Version) {
        tarnwick::WriteStandardOutput(tarnwick::VersionLine("tarnwick") + "\n");
        return 0;
    }
    // What is printed before the window opens speaks the window's language.
    const tarnwick::Translation terminal(tarnwick::ChooseLanguage(early.language));
    if (early.action == tarnwick::StartOptions::Action::Help) {
        std::string ownFolder = "$XDG_DATA_HOME/tarnwick";
        try {
            ownFolder = tarnwick::PathText(OwnFolderHere());
        } catch (const tarnwick::Error&) {
        }
        tarnwick::WriteStandardOutput(ForTerminal(terminal.Sentence(tarnwick::StartUsage(ownFolder))));
        return 0;
    }
    // Without a display Qt would abort; say what to do instead.
    if (!HasDisplay(ArgumentsOf(argc, argv))) {
        tarnwick::Message noDisplay(QT_TRANSLATE_NOOP("Tarnwick", "找不到显示器（DISPLAY 和 WAYLAND_DISPLAY 都没有设置）。%1请在图形会话中运行它，或改用命令行前端：%1  tarnwick-cli help"));
        tarnwick::WriteStandardError("tarnwick: " + ForTerminal(terminal.Sentence(noDisplay.Arg("\n"))) + "\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tarnwick::ui::kApplicationTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(tarnwick::ProgramVersion()));
    // Lets Wayland compositors match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwick.tarnwick"));
    QApplication::setFont(tarnwick::ui::WindowFont());
    tarnwick::ui::QtOperator op;
    const auto options = tarnwick::ParseStartOptions(ArgumentsOf(argc, argv));
    if (options.action == tarnwick::StartOptions::Action::Refuse) {
        tarnwick::Message refusal(QT_TRANSLATE_NOOP("Tarnwick", "%1%2请试试“tarnwick --help”。"));
        tarnwick::WriteStandardError("tarnwick: " + ForTerminal(terminal.Sentence(refusal.Inner(options.problem).Arg("\n"))) +
                                     "\n");
        return 2;
    }
    const tarnwick::ui::WindowLanguage language(tarnwick::ChooseLanguage(options.language));
    try {
        EnterWorkingFolder(options);
    } catch (const tarnwick::Error& error) {
        // Started from the menu there is no terminal to read: show it as well.
        const std::string sentence = op.Sentence(error.Text());
        tarnwick::WriteStandardError("tarnwick: " + ForTerminal(sentence) + "\n");
        tarnwick::ui::ReportFailure(op, sentence);
        return 1;
    }
    using namespace tarnwick::ui;
    TFormMain main(op, tarnwick::CarriedLauncherImage());
    if (!main.Opened())
        return 1;
    TFormEditUpData updateDialog(op, &main);
    TFormEditServer serverDialog(op, &main);
    main.AttachDialogs(serverDialog, updateDialog);
    main.show();
    // Closing the window ends the program, after asking about unsaved edits.
    return app.exec();
}
