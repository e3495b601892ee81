#pragma once

#include "base/message.h"

#include <string>

namespace tarnwick {

enum class NoticeKind {
    Refusal,      // error icon, OK
    Success,      // information icon, OK
    Confirmation, // question icon, OK and Cancel
};

// How the core tells the operator something and learns the answer. Texts are GBK.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Returns true when the operator pressed OK. The caption is GBK; the text
    // is written in the operator's language.
    virtual bool Notice(NoticeKind kind, const std::string& caption, const Message& text) = 0;
    // A message of the core in the operator's language (GBK); Chinese unless
    // the front end speaks another.
    virtual std::string Sentence(const Message& message) { return message.Chinese(); }
};

} // namespace tarnwick
