#pragma once

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
    // Returns true when the operator pressed OK.
    virtual bool Notice(NoticeKind kind, const std::string& caption, const std::string& text) = 0;
};

} // namespace tarnwick
