#include "app/language.h"

#include "base/translatable.h"

#include "base/user_locale.h"

namespace tarnwick {

std::optional<Language> ParseLanguage(std::string_view name)
{
    if (name == "zh_CN")
        return Language::Chinese;
    if (name == "en")
        return Language::English;
    return std::nullopt;
}

Language LanguageOfLocale(std::string_view localeName)
{
    // The language is the name's start, up to a territory (_ or -), a code set
    // (.) or a modifier (@).
    const std::string_view language = localeName.substr(0, localeName.find_first_of("_-.@"));
    return language == "en" ? Language::English : Language::Chinese;
}

Language ChooseLanguage(std::optional<Language> forced) { return forced.value_or(LanguageOfLocale(UserLocaleName())); }

Message LanguageProblem(std::string_view name)
{
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "未知的语言“%1”（应为 zh_CN 或 en）")).Arg(std::string(name));
}

} // namespace tarnwick
