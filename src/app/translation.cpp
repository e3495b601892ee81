#include "app/translation.h"

#include "app/translation_table.h"
#include "base/text.h"

#include <algorithm>
#include <string_view>

namespace tarnwick {

Translation::Translation(Language language) : language_(language) {}

std::string Translation::Text(const char* source) const
{
    const auto table = language_ == Language::English ? detail::kEnglishTable : detail::kChineseTable;
    const std::string_view key(source);
    const auto found = std::lower_bound(table.begin(), table.end(), key, [](const detail::TranslationEntry& entry,
                                                                             std::string_view wanted) {
        return std::string_view(entry.source) < wanted;
    });
    const bool translated = found != table.end() && key == found->source;
    return Utf8ToGbk(translated ? found->text : source);
}

std::string Translation::Sentence(const Message& message) const
{
    // The C library describes failures in English.
    return message.Compose(Wording{[this](const char* source) { return Text(source); }, language_ == Language::English});
}

} // namespace tarnwick
