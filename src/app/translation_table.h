#pragma once

#include <span>

namespace tarnwick::detail {

// A text of the translation files: its source as written in the code, its
// translation, both UTF-8.
struct TranslationEntry {
    const char* source;
    const char* text;
};

// Made at build time from resources/translations, sorted by source.
extern const std::span<const TranslationEntry> kEnglishTable;
extern const std::span<const TranslationEntry> kChineseTable;

} // namespace tarnwick::detail
