#pragma once

#include "base/notice.h"

#include <filesystem>
#include <string>
#include <utility>

namespace tarnwick::ui {

// A window's outer rectangle in screen pixels.
struct Frame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The answers to "save the changes?" when the window closes.
enum class SaveAnswer { Save, Discard, Cancel };

// Everything the window logic asks the operator, apart from the editor dialogs.
// Texts are GBK, as everywhere in the core.
class Operator : public Notifier {
public:
    // The input box: a caption, a prompt and one line of text. Returns true for
    // OK, and then `text` holds what was typed.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) = 0;
    // A question with the buttons save, discard and cancel.
    virtual SaveAnswer AskToSave(const std::string& caption, const std::string& text) = 0;
    // The name of a file to write, chosen in the system's file dialog. Returns
    // false for Cancel. The dialog does not ask about existing files: the
    // caller refuses to write over them.
    virtual bool ChooseNewFile(const std::string& caption, std::filesystem::path& file) = 0;
    // Shows a folder in the system's file manager. False when none could.
    virtual bool OpenFolder(const std::filesystem::path& folder) = 0;
};

// A window whose place on the screen the logic needs to know.
class WindowPlacement {
public:
    virtual ~WindowPlacement() = default;
    virtual Frame OuterFrame() const = 0;
};

// An editor dialog as the main window drives it: placed, then shown modally
// with whatever its editor logic holds; the fields the operator changed are
// back in the editor logic when ShowModal returns, whatever the answer.
class ModalDialog : public WindowPlacement {
public:
    virtual void MoveTo(int left, int top) = 0;
    // True when the dialog closed with OK.
    virtual bool ShowModal() = 0;
};

// Top-left corner that centres `dialog` over `main`; halves are truncated first,
// so an odd size shifts the dialog by one pixel the same way every time.
std::pair<int, int> CentredOver(const Frame& main, const Frame& dialog);

} // namespace tarnwick::ui
