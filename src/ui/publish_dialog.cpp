#include "ui/publish_dialog.h"

#include "edit/outcome.h"
#include "ui/logic/failure_report.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tarnwick::ui {
namespace {

// A text marked with QT_TRANSLATE_NOOP, in the window's language.
QString Translate(const char* source) { return QCoreApplication::translate("Tarnwick", source); }

QString Shown(const Message& message) { return ToQString(Sentence(message)); }

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// A long file name or failure must not widen the dialog past the screen.
QLabel* LineLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

constexpr int kNarrowestColumn = 64;
constexpr int kWidestColumn = 320;

} // namespace

PublishDialog::PublishDialog(Operator& op, std::filesystem::path folder, const QString& launcherListUrl,
                             KeyringFactory keyring, QWidget* parent)
    : QDialog(parent), operator_(op), folder_(std::move(folder)), keyring_(std::move(keyring))
{
    setObjectName(QStringLiteral("PublishDialog"));
    setWindowTitle(QCoreApplication::translate("Tarnwick", "发布"));
    ApplyWindowFont(this);
    BuildLayout(launcherListUrl);
    ConnectButtons();
    const RememberedFields remembered = ReadRememberedFields(folder_);
    ShowFields(remembered.fields);
    if (remembered.problem)
        ShowStatus(*remembered.problem, false);
    SetRunning(false);
}

PublishDialog::~PublishDialog()
{
    // Cancels a publish still running and waits for it: it calls this window.
    job_.reset();
}

QPushButton* PublishDialog::BrowseButton(const char* name)
{
    auto* button = new QPushButton(QCoreApplication::translate("Tarnwick", "浏览..."), this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

void PublishDialog::BuildLayout(const QString& launcherListUrl)
{
    const auto field = [this](const char* name, const QString& hint) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(hint);
        // A dropped file would be typed in as its file:// address.
        edit->setAcceptDrops(false);
        return edit;
    };
    const auto check = [this](const char* name, const QString& text) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    destination_ = field("edtDestination", QCoreApplication::translate(
                                               "Tarnwick", "sftp://用户@主机/目录/、ftp://、ftps://、https://（WebDAV）或文件夹"));
    listUrl_ = field("edtListUrl",
                     launcherListUrl.isEmpty()
                         ? QCoreApplication::translate("Tarnwick", "登录器的列表地址")
                         : QCoreApplication::translate("Tarnwick", "留空则用登录器的列表地址：%1").arg(launcherListUrl));
    site_ = field("edtSite", QCoreApplication::translate("Tarnwick", "网站在本机的副本；留空则更新文件须已在网站上"));
    keyFile_ = field("edtKeyFile", QCoreApplication::translate("Tarnwick", "留空则用 SSH 代理和常用的密钥"));
    explicitTls_ = check("chkExplicitTls", QCoreApplication::translate("Tarnwick", "显式 TLS（FTP 的 AUTH TLS）(&T)"));
    deep_ = check("chkDeep", QCoreApplication::translate("Tarnwick", "深度校验（下载并校验每个文件的 MD5）(&M)"));
    full_ = check("chkFull", QCoreApplication::translate("Tarnwick", "全部重新上传(&F)"));
    browseDestination_ = BrowseButton("btnBrowseDestination");
    browseSite_ = BrowseButton("btnBrowseSite");
    browseKeyFile_ = BrowseButton("btnBrowseKeyFile");

    auto* fields = new QGridLayout;
    const auto row = [&](int at, const char* name, const QString& caption, QLineEdit* edit, QPushButton* browse) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(name));
        label->setBuddy(edit);
        fields->addWidget(label, at, 0);
        fields->addWidget(edit, at, 1, 1, browse ? 1 : 2);
        if (browse)
            fields->addWidget(browse, at, 2);
    };
    row(0, "lblDestination", QCoreApplication::translate("Tarnwick", "发布到(&D)："), destination_, browseDestination_);
    row(1, "lblListUrl", QCoreApplication::translate("Tarnwick", "列表地址(&L)："), listUrl_, nullptr);
    row(2, "lblSite", QCoreApplication::translate("Tarnwick", "网站文件夹(&S)："), site_, browseSite_);
    row(3, "lblKeyFile", QCoreApplication::translate("Tarnwick", "SFTP 密钥文件(&K)："), keyFile_, browseKeyFile_);
    fields->addWidget(explicitTls_, 4, 1, 1, 2);
    fields->addWidget(deep_, 5, 1, 1, 2);
    fields->addWidget(full_, 6, 1, 1, 2);
    fields->setColumnStretch(1, 1);

    stage_ = LineLabel("lblStage", this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("barProgress"));
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progressText_ = LineLabel("lblProgress", this);
    file_ = LineLabel("lblFile", this);

    table_ = new QTableWidget(0, static_cast<int>(kPublishColumnCount), this);
    table_->setObjectName(QStringLiteral("tblResult"));
    QStringList captions;
    for (const char* caption : PublishColumnCaptions())
        captions.append(Translate(caption));
    table_->setHorizontalHeaderLabels(captions);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Whole captions, in either language, and room for a short value.
    table_->resizeColumnsToContents();
    for (int c = 0; c + 1 < table_->columnCount(); ++c)
        table_->setColumnWidth(c, std::max(table_->columnWidth(c), kNarrowestColumn));

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    // A failure's words are for copying into a question to the host.
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    publish_ = new QPushButton(QCoreApplication::translate("Tarnwick", "发布(&P)"), this);
    publish_->setObjectName(QStringLiteral("btnPublish"));
    publish_->setDefault(true);
    cancel_ = new QPushButton(QCoreApplication::translate("Tarnwick", "取消"), this);
    cancel_->setObjectName(QStringLiteral("btnCancel"));
    cancel_->setAutoDefault(false);
    close_ = new QPushButton(QCoreApplication::translate("Tarnwick", "关闭"), this);
    close_->setObjectName(QStringLiteral("btnClose"));
    close_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(publish_);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(stage_);
    layout->addWidget(progress_);
    layout->addWidget(progressText_);
    layout->addWidget(file_);
    layout->addWidget(table_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(760, 560);
}

void PublishDialog::ConnectButtons()
{
    connect(publish_, &QPushButton::clicked, this, &PublishDialog::Publish);
    connect(cancel_, &QPushButton::clicked, this, &PublishDialog::CancelPublish);
    connect(close_, &QPushButton::clicked, this, &PublishDialog::reject);
    connect(destination_, &QLineEdit::textChanged, this, [this] { ShowOptions(); });
    const auto chooseFolder = [this](QLineEdit* edit, const char* caption) {
        const QString folder = QFileDialog::getExistingDirectory(this, Translate(caption), edit->text());
        if (!folder.isEmpty())
            edit->setText(QDir::toNativeSeparators(folder));
    };
    connect(browseDestination_, &QPushButton::clicked, this, [this, chooseFolder] {
        chooseFolder(destination_, QT_TRANSLATE_NOOP("Tarnwick", "选择发布到的文件夹"));
    });
    connect(browseSite_, &QPushButton::clicked, this,
            [this, chooseFolder] { chooseFolder(site_, QT_TRANSLATE_NOOP("Tarnwick", "选择网站在本机的副本")); });
    connect(browseKeyFile_, &QPushButton::clicked, this, [this] {
        const QString start =
            keyFile_->text().isEmpty() ? QDir::home().filePath(QStringLiteral(".ssh")) : keyFile_->text();
        const QString file =
            QFileDialog::getOpenFileName(this, QCoreApplication::translate("Tarnwick", "选择 SFTP 私钥文件"), start);
        if (!file.isEmpty())
            keyFile_->setText(QDir::toNativeSeparators(file));
    });
}

PublishFields PublishDialog::Fields() const
{
    PublishFields fields;
    fields.destination = Utf8(destination_->text());
    fields.listUrl = Utf8(listUrl_->text());
    fields.site = Utf8(site_->text());
    fields.explicitTls = explicitTls_->isChecked();
    fields.keyFile = Utf8(keyFile_->text());
    fields.deep = deep_->isChecked();
    fields.full = full_->isChecked();
    return fields;
}

void PublishDialog::ShowFields(const PublishFields& fields)
{
    destination_->setText(Utf8(fields.destination));
    listUrl_->setText(Utf8(fields.listUrl));
    site_->setText(Utf8(fields.site));
    explicitTls_->setChecked(fields.explicitTls);
    keyFile_->setText(Utf8(fields.keyFile));
    deep_->setChecked(fields.deep);
    full_->setChecked(fields.full);
}

void PublishDialog::ShowOptions()
{
    const std::string destination = Utf8(destination_->text());
    explicitTls_->setEnabled(!Running() && UsesExplicitTls(destination));
    keyFile_->setEnabled(!Running() && UsesKeyFile(destination));
    browseKeyFile_->setEnabled(keyFile_->isEnabled());
}

void PublishDialog::SetRunning(bool running)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{destination_, listUrl_, site_, deep_, full_,
                                                           browseDestination_, browseSite_, publish_})
        widget->setEnabled(!running);
    cancel_->setEnabled(running);
    ShowOptions();
}

void PublishDialog::ShowStatus(const Message& text, bool good)
{
    status_->setText(Shown(text));
    status_->setStyleSheet(good ? QString() : QStringLiteral("color: #b00000;"));
}

void PublishDialog::Publish()
{
    if (Running())
        return;
    const PublishFields fields = Fields();
    if (const std::optional<Message> refusal = FieldsRefusal(fields)) {
        const edit::Notice notice = edit::ErrorNotice(*refusal);
        operator_.Notice(notice.kind, notice.caption, notice.text);
        destination_->setFocus();
        return;
    }
    table_->setRowCount(0);
    status_->clear();
    stage_->clear();
    progressText_->clear();
    file_->clear();
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    closeWhenStopped_ = false;
    PostToWindow post = [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
    job_ = std::make_unique<PublishThread>(PublishRequestFor(folder_, fields), std::move(post), *this,
                                           keyring_ ? keyring_() : nullptr,
                                           [this](PublishEnd end) { Finished(std::move(end)); });
    SetRunning(true);
}

void PublishDialog::CancelPublish()
{
    if (!Running())
        return;
    job_->Cancel();
    cancel_->setEnabled(false);
    ShowStatus(Message(QT_TRANSLATE_NOOP("Tarnwick", "正在取消…")), false);
}

void PublishDialog::reject()
{
    if (!Running()) {
        QDialog::reject();
        return;
    }
    closeWhenStopped_ = true;
    CancelPublish();
}

void PublishDialog::Finished(PublishEnd end)
{
    // The thread has posted this as its last act: this only joins it.
    job_.reset();
    SetRunning(false);
    stage_->clear();
    if (end.failure) {
        ShowStatus(*end.failure, false);
        ReportFailure(operator_, operator_.Sentence(*end.failure));
    } else if (end.outcome) {
        ShowOutcome(*end.outcome);
    }
    if (closeWhenStopped_)
        QDialog::reject();
}

void PublishDialog::ShowOutcome(const publish::PublishOutcome& outcome)
{
    const std::vector<PublishRow> rows = PublishRows(outcome);
    table_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < kPublishColumnCount; ++c) {
            const QString text = Shown(rows[r].cells[c]);
            auto* item = new QTableWidgetItem(text);
            item->setToolTip(text);
            if (rows[r].problem && c <= 1)
                item->setForeground(QColor(0xb0, 0, 0));
            table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    table_->resizeColumnsToContents();
    for (int c = 0; c + 1 < table_->columnCount(); ++c)
        table_->setColumnWidth(c, std::min(table_->columnWidth(c), kWidestColumn));
    const PublishStatusLine status = StatusLine(outcome);
    ShowStatus(status.text, status.good);
    if (outcome.status == publish::PublishStatus::Published)
        progress_->setValue(progress_->maximum());
}

// The publish's questions and progress -----------------------------------------

std::optional<std::string> PublishDialog::AskPassword(const CredentialKey& key, bool again)
{
    QInputDialog box(this);
    box.setObjectName(QStringLiteral("PasswordQuestion"));
    box.setWindowTitle(QCoreApplication::translate("Tarnwick", "发布"));
    box.setInputMode(QInputDialog::TextInput);
    box.setTextEchoMode(QLineEdit::Password);
    box.setLabelText(Shown(PasswordPrompt(key, again)));
    box.setOkButtonText(QCoreApplication::translate("Tarnwick", "确定"));
    box.setCancelButtonText(QCoreApplication::translate("Tarnwick", "取消"));
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return Utf8(box.textValue());
}

bool PublishDialog::AskYesNo(bool warning, const Message& question, bool yesByDefault)
{
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("PublishQuestion"));
    box.setWindowTitle(QCoreApplication::translate("Tarnwick", "发布"));
    box.setTextFormat(Qt::PlainText);
    box.setText(Shown(question));
    box.setIcon(warning ? QMessageBox::Warning : QMessageBox::Question);
    // Captions of their own, as the window's other questions have.
    QPushButton* yes = box.addButton(QCoreApplication::translate("Tarnwick", "是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QCoreApplication::translate("Tarnwick", "否(&N)"), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("btnYes"));
    no->setObjectName(QStringLiteral("btnNo"));
    box.setDefaultButton(yesByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool PublishDialog::AskRememberPassword(const CredentialKey& key)
{
    return AskYesNo(false, RememberPasswordQuestion(key), true);
}

bool PublishDialog::AskAcceptHostKey(const publish::HostKeyQuestion& question)
{
    // Enter must not trust a key that nobody compared.
    return AskYesNo(true, HostKeyText(question), false);
}

void PublishDialog::ShowStage(publish::PublishStage stage)
{
    stage_->setText(Shown(StageText(stage)));
    if (stage == publish::PublishStage::Uploading || stage == publish::PublishStage::Verifying) {
        progressText_->clear();
        file_->clear();
        progress_->setRange(0, 1000);
        progress_->setValue(0);
    }
}

void PublishDialog::ShowUpload(const publish::PublishProgress& progress)
{
    progress_->setRange(0, 1000);
    progress_->setValue(ProgressPermille(progress.sent, progress.total));
    progressText_->setText(Shown(UploadProgressText(progress)));
    file_->setText(Shown(UploadFileText(progress)));
}

void PublishDialog::ShowCheck(std::size_t number, std::size_t count)
{
    progress_->setRange(0, static_cast<int>(std::max<std::size_t>(count, 1)));
    progress_->setValue(static_cast<int>(number > 0 ? number - 1 : 0));
    progressText_->setText(Shown(CheckProgressText(number, count)));
    file_->clear();
}

} // namespace tarnwick::ui
