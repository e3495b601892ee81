#pragma once

#include "base/message.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The one language a program speaks: Chinese as the tool always has, English
// for operators whose system speaks English. Files written never depend on it.
enum class Language { Chinese, English };

// "zh_CN" or "en", as --language takes them.
std::optional<Language> ParseLanguage(std::string_view name);

// English for an English locale name (en, en_US.UTF-8, en-GB), Chinese for any
// other: the C and POSIX locales too, so that a system that names no language
// keeps the Chinese interface.
Language LanguageOfLocale(std::string_view localeName);

// The forced language, else the user's.
Language ChooseLanguage(std::optional<Language> forced);

// What --language refuses, for both programs' messages; the name is GBK.
Message LanguageProblem(std::string_view name);

} // namespace tarnwick
