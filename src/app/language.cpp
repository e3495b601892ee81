#include "app/language.h"

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

std::string LanguageProblem(std::string_view name)
{
    return "unknown language '" + std::string(name) + "' (zh_CN or en)";
}

} // namespace tarnwick
