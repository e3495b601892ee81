// tarnwick: the editing program, run in the working directory that holds Tarnwick.xml.
#include "launcher/launcher_builder.h"
#include "ui/FormEditServer.h"
#include "ui/FormEditUpData.h"
#include "ui/FormMain.h"
#include "ui/QtOperator.h"
#include "ui/logic/failure_report.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdlib>
#include <iostream>

namespace {

bool HasDisplay()
{
#ifdef _WIN32
    return true; // Windows always has its desktop.
#else
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    // Without a display Qt would abort; say what to do instead.
    if (!HasDisplay()) {
        std::cerr << "tarnwick: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run it in a graphical session, or use the command-line front end instead:\n"
                     "  tarnwick-cli help\n";
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tarnwick::ui::kApplicationTitle));
    QApplication::setFont(tarnwick::ui::WindowFont());
    // Standard buttons read 确定/取消, as on a Chinese desktop; without the
    // translations installed they stay in English. The Windows program has no
    // translations folder and carries Qt's Chinese texts inside it (":/i18n").
    QTranslator qtTexts;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    if (qtTexts.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        qtTexts.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QApplication::installTranslator(&qtTexts);

    QtOperator op;
    TFormMain main(op, tarnwick::CarriedLauncherImage());
    TFormEditUpData updateDialog(op, &main);
    TFormEditServer serverDialog(op, &main);
    main.AttachDialogs(serverDialog, updateDialog);
    main.show();
    // Closing the window ends the program; nothing is saved and nothing is asked.
    return app.exec();
}
