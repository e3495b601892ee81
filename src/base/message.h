#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

// A sentence of the core, kept as its pattern and its parameters so that each
// front end writes it in the operator's language. The pattern is the Chinese
// sentence (UTF-8 source, marked with QT_TRANSLATE_NOOP("Tarnwick", ...) for
// the translation files) with %1 to %9 where the parameters go. A parameter
// is GBK text shown as it is (a path, a number, a library's own words), or a
// phrase: a fixed Chinese text (UTF-8 source, marked too), translated like the
// pattern. A message without a pattern is a text that has no translation.
class Message {
public:
    Message() = default;
    explicit Message(const char* pattern) : pattern_(pattern) {}
    // A text of no pattern, shown as it is in every language (GBK).
    static Message Untranslated(std::string text);

    Message& Arg(std::string gbk);
    Message& Phrase(const char* source);
    // Another message in its place, written in the same language.
    Message& Inner(const Message& message);

    // The message in a language: `translate` turns a Chinese source text (the
    // pattern, a phrase) into that language's text, GBK. %% is a single %.
    std::string Compose(const std::function<std::string(const char* source)>& translate) const;
    // In Chinese, GBK.
    std::string Chinese() const;

private:
    struct Part {
        enum class Kind { Text, Phrase, Inner } kind;
        std::string text;
        std::shared_ptr<const Message> inner;
    };
    const char* pattern_ = nullptr;
    std::vector<Part> parts_;
};

} // namespace tarnwick
