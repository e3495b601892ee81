#pragma once

#include "ui/logic/main_window_logic.h"
#include "ui/logic/operator.h"

#include <QWidget>

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
}
class TFormEditServer;
class TFormEditUpData;

// The main window: a view over MainWindowLogic. Each handler runs its operation
// under the general failure report and then shows the model again.
class TFormMain : public QWidget, public tarnwick::ui::WindowPlacement {
    Q_OBJECT

public:
    // Runs FormCreate: first tabs, then the working copy in `folder` loaded.
    TFormMain(tarnwick::ui::Operator& op, std::span<const std::byte> launcherImage,
              std::filesystem::path folder = ".", QWidget* parent = nullptr);
    ~TFormMain() override;

    void AttachDialogs(TFormEditServer& server, TFormEditUpData& update);
    tarnwick::ui::MainWindowLogic& Logic() { return logic_; }
    tarnwick::ui::Frame OuterFrame() const override;

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

private:
    void FormCreate();
    void ConnectHandlers();
    void ConnectFields();
    void Act(const std::function<void()>& operation);
    // The lists follow the model through their item models; this shows the
    // selection and the fields.
    void ShowModel();
    void ShowFields();

    std::unique_ptr<Ui::TFormMain> ui_;
    tarnwick::ui::Operator& operator_;
    tarnwick::ui::MainWindowLogic logic_;
    std::unique_ptr<tarnwick::ui::ListModels> lists_;
    bool showing_ = false; // an operation runs: selection signals are not the operator's
};
