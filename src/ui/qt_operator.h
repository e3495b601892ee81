#pragma once

#include "ui/logic/operator.h"

#include <QUrl>

namespace tarnwick::ui {

// The operator at the screen: message boxes and the input box, each modal and
// owned by the window in front.
class QtOperator : public Operator {
public:
    bool Notice(tarnwick::NoticeKind kind, const std::string& caption, const tarnwick::Message& text) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) override;
    SaveAnswer AskToSave(const std::string& caption, const std::string& text) override;
    bool ChooseNewFile(const std::string& caption, std::filesystem::path& file) override;
    bool OpenFolder(const std::filesystem::path& folder) override;
    std::string Sentence(const tarnwick::Message& message) override;
};

// What the file manager is asked to show for a folder.
QUrl FolderUrl(const std::filesystem::path& folder);

} // namespace tarnwick::ui
