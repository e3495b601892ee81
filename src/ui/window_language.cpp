#include "ui/window_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace tarnwick::ui {

WindowLanguage::WindowLanguage(Language language)
{
    bool loaded = false;
    if (language == Language::English) {
        loaded = texts_.load(QStringLiteral(":/i18n/tarnwick_en.qm"));
    } else {
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        loaded = texts_.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
                 texts_.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), QStringLiteral(":/i18n"));
    }
    if (loaded)
        installed_ = QCoreApplication::installTranslator(&texts_);
    QLocale::setDefault(language == Language::English ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                      : QLocale(QLocale::Chinese, QLocale::China));
}

WindowLanguage::~WindowLanguage()
{
    if (installed_)
        QCoreApplication::removeTranslator(&texts_);
    QLocale::setDefault(previousLocale_);
}

bool EnglishLayout() { return QLocale().language() == QLocale::English; }

} // namespace tarnwick::ui
