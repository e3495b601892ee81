#pragma once

#include "ui/logic/main_window_logic.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <string>

namespace tarnwick::cli {

// The operator of the window's logic on the command line: notices go to
// standard error, the input box answers from the command's arguments, and a
// confirmation asks `confirm`.
class CommandLineOperator : public ui::Operator {
public:
    std::deque<std::string> inputs; // GBK answers to the input box, in turn
    std::function<bool(const std::string& question)> confirm = [](const std::string&) { return false; };
    bool refused = false;   // a refusal notice was given
    bool cancelled = false; // a question was answered with Cancel
    bool quiet = false;     // success notices are not shown

    bool Notice(NoticeKind kind, const std::string& caption, const std::string& text) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) override;
};

// An editor dialog shown on the command line: `fill` puts the options into
// the editor's fields over what the window's logic put there, then OK is
// pressed; a refusal of its tests closes the dialog with Cancel.
template <class Editor>
class CommandLineDialog : public ui::ModalDialog {
public:
    CommandLineDialog(Editor& editor, Notifier& notifier) : editor_(editor), notifier_(notifier) {}

    std::function<void(Editor&)> fill = [](Editor&) {};

    ui::Frame OuterFrame() const override { return {}; }
    void MoveTo(int, int) override {}
    bool ShowModal() override
    {
        fill(editor_);
        return !editor_.ButtonOkClick(notifier_).has_value();
    }

private:
    Editor& editor_;
    Notifier& notifier_;
};

// One edit of the working copy through the window's logic: load, one
// operation, save. Nothing is written when the operation was refused or cancelled.
class EditSession {
public:
    // Loads FOLDER/Tarnwick.xml. Raises Error when it cannot be read, so that
    // a working copy that did not load whole is never written over.
    explicit EditSession(const std::filesystem::path& folder);

    CommandLineOperator op;
    ui::ServerEditorLogic serverEditor;
    ui::UpdateEditorLogic updateEditor;
    CommandLineDialog<ui::ServerEditorLogic> serverDialog{serverEditor, op};
    CommandLineDialog<ui::UpdateEditorLogic> updateDialog{updateEditor, op};

    ui::MainWindowLogic& Logic() { return logic_; }

    // Saves Tarnwick.xml as the window's save does when the operation went
    // through and returns 0; otherwise writes nothing and returns 1.
    int Finish();

private:
    class NoWindow : public ui::WindowPlacement {
    public:
        ui::Frame OuterFrame() const override { return {}; }
    };
    NoWindow window_;
    ui::MainWindowLogic logic_;
};

} // namespace tarnwick::cli
