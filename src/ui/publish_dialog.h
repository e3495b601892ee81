#pragma once

#include "base/credential_store.h"
#include "ui/logic/operator.h"
#include "ui/logic/publish_logic.h"
#include "ui/logic/publish_relay.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tarnwick::ui {

// The publish dialog: where to, the options, and a publish of the working
// folder's saved files on a thread of its own, with its progress, the
// operator's answers to its questions, and what it found. Closing it while
// a publish runs cancels the publish and closes once it has stopped.
class PublishDialog : public QDialog, public PublishWindow {
    Q_OBJECT

public:
    // The system's keyring in the program; tests give none.
    using KeyringFactory = std::function<std::unique_ptr<CredentialStore>()>;

    // launcherListUrl: the launcher tab's list address, which an empty list
    // address field stands for.
    PublishDialog(Operator& op, std::filesystem::path folder, const QString& launcherListUrl, KeyringFactory keyring,
                  QWidget* parent = nullptr);
    ~PublishDialog() override;

    bool Running() const { return job_ != nullptr; }

    // The window's side of a publish: questions and progress.
    std::optional<std::string> AskPassword(const CredentialKey& key, bool again) override;
    bool AskRememberPassword(const CredentialKey& key) override;
    bool AskAcceptHostKey(const publish::HostKeyQuestion& question) override;
    void ShowStage(publish::PublishStage stage) override;
    void ShowUpload(const publish::PublishProgress& progress) override;
    void ShowCheck(std::size_t number, std::size_t count) override;

public slots:
    void Publish();
    void CancelPublish();
    // While a publish runs: cancels it, and closes once it has stopped.
    void reject() override;

private:
    void BuildLayout(const QString& launcherListUrl);
    QPushButton* BrowseButton(const char* name);
    void ConnectButtons();
    PublishFields Fields() const;
    void ShowFields(const PublishFields& fields);
    // The options of other kinds of destination are greyed.
    void ShowOptions();
    void SetRunning(bool running);
    void Finished(PublishEnd end);
    void ShowOutcome(const publish::PublishOutcome& outcome);
    void ShowStatus(const Message& text, bool good);
    bool AskYesNo(bool warning, const Message& question, bool yesByDefault);

    Operator& operator_;
    std::filesystem::path folder_;
    KeyringFactory keyring_;
    QLineEdit* destination_ = nullptr;
    QLineEdit* listUrl_ = nullptr;
    QLineEdit* site_ = nullptr;
    QCheckBox* explicitTls_ = nullptr;
    QLineEdit* keyFile_ = nullptr;
    QCheckBox* deep_ = nullptr;
    QCheckBox* full_ = nullptr;
    QPushButton* browseDestination_ = nullptr;
    QPushButton* browseSite_ = nullptr;
    QPushButton* browseKeyFile_ = nullptr;
    QLabel* stage_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* file_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* publish_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* close_ = nullptr;
    std::unique_ptr<PublishThread> job_;
    bool closeWhenStopped_ = false;
};

} // namespace tarnwick::ui
