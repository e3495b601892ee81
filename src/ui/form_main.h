#pragma once

#include "ui/logic/main_window_logic.h"
#include "ui/logic/operator.h"

#include <QWidget>

class QAction;

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>

namespace Ui {
class TFormMain;
}
namespace tarnwick::ui {

class ListModels;
class TFormEditServer;
class TFormEditUpData;

// The main window: a view over MainWindowLogic. Each handler runs its operation
// under the general failure report and then shows the model again.
class TFormMain : public QWidget, public WindowPlacement {
    Q_OBJECT

public:
    // Runs FormCreate: first tabs, then the working copy in `folder` loaded.
    TFormMain(Operator& op, std::span<const std::byte> launcherImage,
              std::filesystem::path folder = ".", QWidget* parent = nullptr);
    ~TFormMain() override;

    void AttachDialogs(TFormEditServer& server, TFormEditUpData& update);
    // False when another program held the folder's working copy: the window
    // then holds nothing of it and must not be shown.
    bool Opened() const { return opened_; }
    MainWindowLogic& Logic() { return logic_; }
    Frame OuterFrame() const override;

public slots:
    void btnAddGroupClick();
    void BtnMoveSrvUpClick();
    void BtnMoveSrvDownClick();
    void btnAddServerClick();
    void BtnGameUpClick();
    void BtnGameDownClick();
    void btnAddUpClick();
    void btnServerInfoSaveClick();
    void btnServerInfoWriteClick();
    void GenerateLoginButtonClick();
    // Opens the publish dialog over the saved files, after asking to save.
    void PublishButtonClick();
    void CreateKeyButtonClick();
    void ExportKeyButtonClick();

protected:
    // With unsaved edits, asks whether to save them first.
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void ConnectHandlers();
    void ConnectFields();
    // Undo and redo on their keys and on the window's context menu.
    void ConnectUndo();
    void Restore(bool undo);
    void Act(const std::function<void()>& operation);
    // The lists follow the model through their item models; this shows the
    // selection and the fields.
    void ShowModel();
    void ShowFields();
    // What undo and redo would do, and whether there is any.
    void ShowHistory();
    // The page that shows what an undo or redo brought back.
    void ShowPage(const edit::Restored& restored);
    // Whether lists and launchers will be signed, read from the key store.
    void ShowSigning();
    // The working folder beside the tabs, with the action that opens it.
    void ShowWorkingFolder();

    std::unique_ptr<Ui::TFormMain> ui_;
    Operator& operator_;
    MainWindowLogic logic_;
    std::unique_ptr<ListModels> lists_;
    bool opened_ = false;
    bool showing_ = false; // an operation runs: selection signals are not the operator's
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};

} // namespace tarnwick::ui
