#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

// How a front end writes messages: `translate` turns a Chinese source text
// (a pattern, a phrase) into its language, as GBK; `systemWords` says that the
// system's own descriptions of failures (the C library's, in English) are in
// its language, so that they are shown rather than a phrase of ours.
struct Wording {
    std::function<std::string(const char* source)> translate;
    bool systemWords = false;
};

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
    // Why something failed: the system's description (GBK) where the wording
    // has the system's words, else the phrase, if any.
    Message& Reason(std::string systemText, const char* phrase);

    // The message in a front end's wording, GBK. %% is a single %.
    std::string Compose(const Wording& wording) const;
    // In Chinese, GBK.
    std::string Chinese() const;

private:
    // No shared or polymorphic parts: an Error holds its message, and raising
    // one must not touch a polymorphic object (see base/error.h).
    struct Part {
        enum class Kind { Text, Phrase, Inner, Reason } kind;
        std::string text;
        std::vector<Message> inner; // Inner: the one message
        const char* phrase;         // Reason
    };
    const char* pattern_ = nullptr;
    std::vector<Part> parts_;
};

} // namespace tarnwick
