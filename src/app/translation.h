#pragma once

#include "app/language.h"
#include "base/message.h"

#include <string>

namespace tarnwick {

// The translation files' texts for a program without Qt's translator (the
// command line), the same files the window's translator is made from. The
// core and the window write their texts in Chinese, the command line its own
// in English; each is looked up in the table of the other language.
class Translation {
public:
    explicit Translation(Language language);

    // A source text (UTF-8, as marked in the code) in this language, as GBK;
    // the source itself where the table has no other text.
    std::string Text(const char* source) const;
    // A message of the core or the command line in this language, GBK.
    std::string Sentence(const Message& message) const;

private:
    Language language_;
};

} // namespace tarnwick
