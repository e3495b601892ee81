#pragma once

#include "app/language.h"

#include <QLocale>
#include <QTranslator>

namespace tarnwick::ui {

// The window's texts in one language, for as long as this object lives. The
// texts are written in Chinese; in Chinese, Qt's standard buttons read
// 确定/取消 as on a Chinese desktop (from Qt's translations folder, or from
// the copy the Windows program carries). In English, the window's own texts
// come from the English translation it carries. The application's default
// locale follows, which tells the forms whose layouts grow for English.
class WindowLanguage {
public:
    explicit WindowLanguage(Language language);
    ~WindowLanguage();
    WindowLanguage(const WindowLanguage&) = delete;
    WindowLanguage& operator=(const WindowLanguage&) = delete;

private:
    QTranslator texts_;
    bool installed_ = false;
    QLocale previousLocale_;
};

// Whether the window speaks English: where an English text needs more room
// than the Chinese layout gives, the English layout grows.
bool EnglishLayout();

} // namespace tarnwick::ui
