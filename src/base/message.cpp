#include "base/message.h"

#include "base/text.h"

namespace tarnwick {

Message Message::Untranslated(std::string text)
{
    Message message;
    message.parts_.push_back({Part::Kind::Text, std::move(text), {}, nullptr});
    return message;
}

Message& Message::Arg(std::string gbk)
{
    parts_.push_back({Part::Kind::Text, std::move(gbk), {}, nullptr});
    return *this;
}

Message& Message::Phrase(const char* source)
{
    parts_.push_back({Part::Kind::Phrase, source, {}, nullptr});
    return *this;
}

Message& Message::Inner(const Message& message)
{
    parts_.push_back({Part::Kind::Inner, {}, {message}, nullptr});
    return *this;
}

Message& Message::Reason(std::string systemText, const char* phrase)
{
    if (phrase == nullptr)
        return Arg(std::move(systemText));
    parts_.push_back({Part::Kind::Reason, std::move(systemText), {}, phrase});
    return *this;
}

std::string Message::Compose(const Wording& wording) const
{
    if (pattern_ == nullptr)
        return parts_.empty() ? std::string() : parts_.front().text;
    // One pass over the pattern, so that a % in a parameter is never taken for
    // a place. A GBK character's second byte is never % or a digit.
    const auto& translate = wording.translate;
    const std::string pattern = translate(pattern_);
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c == '%' && next == '%') {
            out += '%';
            ++i;
        } else if (c == '%' && next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < parts_.size()) {
            const Part& part = parts_[static_cast<std::size_t>(next - '1')];
            switch (part.kind) {
            case Part::Kind::Text: out += part.text; break;
            case Part::Kind::Phrase: out += translate(part.text.c_str()); break;
            case Part::Kind::Inner: out += part.inner.front().Compose(wording); break;
            case Part::Kind::Reason: out += wording.systemWords ? part.text : translate(part.phrase); break;
            }
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Message::Chinese() const
{
    return Compose(Wording{[](const char* source) { return Utf8ToGbk(source); }, false});
}

} // namespace tarnwick
