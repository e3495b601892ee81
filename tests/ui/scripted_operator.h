#pragma once

#include "base/text.h"
#include "ui/logic/operator.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick::ui::testing {

// A notice as the operator saw it, texts in UTF-8 for readable assertions.
struct SeenNotice {
    NoticeKind kind;
    std::string caption;
    std::string text;
};

// The operator of a test: answers from a script and remembers every notice.
class ScriptedOperator : public Operator {
public:
    std::vector<SeenNotice> notices;
    std::deque<bool> confirmations;   // answers to confirmation notices; OK when empty
    std::deque<std::string> inputs;   // OK with this UTF-8 text
    std::deque<bool> inputAnswers;    // false: Cancel; true: take the next input
    std::vector<std::string> inputCaptions;
    std::deque<SaveAnswer> saveAnswers; // answers to "save the changes?"; Cancel when empty
    std::vector<std::string> saveQuestions;
    std::deque<std::filesystem::path> files; // files chosen; Cancel when empty
    std::vector<std::filesystem::path> openedFolders; // shown in the file manager
    bool fileManagerWorks = true;

    bool Notice(NoticeKind kind, const std::string& caption, const Message& text) override
    {
        notices.push_back({kind, GbkToUtf8(caption), GbkToUtf8(text.Chinese())});
        if (kind != NoticeKind::Confirmation)
            return true;
        if (confirmations.empty())
            return true;
        const bool answer = confirmations.front();
        confirmations.pop_front();
        return answer;
    }

    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) override
    {
        inputCaptions.push_back(GbkToUtf8(caption) + "|" + GbkToUtf8(prompt) + "|" + GbkToUtf8(text));
        if (!inputAnswers.empty()) {
            const bool ok = inputAnswers.front();
            inputAnswers.pop_front();
            if (!ok)
                return false;
        }
        text = Utf8ToGbk(inputs.front());
        inputs.pop_front();
        return true;
    }

    SaveAnswer AskToSave(const std::string& caption, const std::string& text) override
    {
        saveQuestions.push_back(GbkToUtf8(caption) + "|" + GbkToUtf8(text));
        if (saveAnswers.empty())
            return SaveAnswer::Cancel;
        const SaveAnswer answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }

    bool OpenFolder(const std::filesystem::path& folder) override
    {
        openedFolders.push_back(folder);
        return fileManagerWorks;
    }

    bool ChooseNewFile(const std::string&, std::filesystem::path& file) override
    {
        if (files.empty())
            return false;
        file = files.front();
        files.pop_front();
        return true;
    }

    // The last notice's text, or "" when there was none; forgets the notices.
    std::string TakeLastText()
    {
        std::string text = notices.empty() ? std::string() : notices.back().text;
        notices.clear();
        return text;
    }
};

class FixedWindow : public WindowPlacement {
public:
    Frame frame{100, 80, 499, 383};
    Frame OuterFrame() const override { return frame; }
};

// An editor dialog whose operator is a script: each showing runs the next step,
// which edits the fields and answers OK (true) or Cancel (false).
class ScriptedDialog : public ModalDialog {
public:
    Frame frame{0, 0, 480, 243};
    std::deque<std::function<bool()>> steps;
    int showings = 0;

    Frame OuterFrame() const override { return frame; }
    void MoveTo(int left, int top) override
    {
        frame.left = left;
        frame.top = top;
    }
    bool ShowModal() override
    {
        ++showings;
        auto step = std::move(steps.front());
        steps.pop_front();
        return step();
    }
};

} // namespace tarnwick::ui::testing
