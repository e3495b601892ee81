#include "ui/form_main.h"

#include "base/credential_store.h"
#include "edit/user_keys.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/list_models.h"
#include "ui/publish_dialog.h"
#include "ui/report_list.h"
#include "ui/logic/failure_report.h"
#include "ui/qt_text.h"
#include "ui_FormMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeySequence>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include <algorithm>

namespace tarnwick::ui {



namespace {

// Column widths and captions are kept in the layout as the list's properties.
QStringList LayoutList(const QWidget& list, const char* property)
{
    return list.property(property).toString().split(QLatin1Char(','));
}

void PrepareReportList(TReportList& list, QAbstractItemModel& model)
{
    list.setModel(&model);
    list.verticalHeader()->hide();
    list.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list.verticalHeader()->setDefaultSectionSize(list.fontMetrics().height() + 4);
    list.horizontalHeader()->setHighlightSections(false);
    list.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QStringList widths = LayoutList(list, "columnWidths");
    for (int column = 0; column < widths.size(); ++column)
        list.setColumnWidth(column, widths[column].toInt());
}

void SetText(QLineEdit& field, const std::string& gbk)
{
    const QString text = ToQString(gbk);
    if (field.text() != text)
        field.setText(text);
}

} // namespace

TFormMain::TFormMain(Operator& op, std::span<const std::byte> launcherImage, std::filesystem::path folder,
                     QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFormMain>()), operator_(op),
      logic_(op, *this, launcherImage, std::move(folder), edit::UserKeyStore())
{
    ui_->setupUi(this);
    lists_ = std::make_unique<ListModels>(logic_.Model(), LayoutList(*ui_->lvServerList, "columnCaptions"),
                                          LayoutList(*ui_->lvUpDataList, "columnCaptions"));
    logic_.SetListEvents(*lists_);
    ui_->cbbServerGroup->setModel(&lists_->Groups());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    ApplyWindowFont(this);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    PrepareReportList(*ui_->lvServerList, lists_->Servers());
    PrepareReportList(*ui_->lvUpDataList, lists_->Updates());
    GuardTextFields(this);
    ShowWorkingFolder();
    ConnectHandlers();
    ConnectFields();
    ConnectUndo();
    FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::AttachDialogs(TFormEditServer& server, TFormEditUpData& update)
{
    logic_.AttachDialogs({server.Editor(), server}, {update.Editor(), update});
}

Frame TFormMain::OuterFrame() const
{
    const QRect frame = frameGeometry();
    return {frame.left(), frame.top(), frame.width(), frame.height()};
}

void TFormMain::FormCreate()
{
    ui_->pgc2->setCurrentIndex(0);
    ui_->pgc1->setCurrentIndex(0);
    // Nothing is loaded that this window could later write over another
    // program's edits.
    if (!RunGuarded(operator_, [this] { opened_ = logic_.TakeWorkingCopy(); }) || !opened_) {
        opened_ = false;
        return;
    }
    // A load that fails is reported; the window opens with what was loaded so
    // far, and the file is kept before the first save writes over it.
    Act([this] { logic_.LoadWorkingCopy(); });
    ShowSigning();
}

void TFormMain::ConnectHandlers()
{
    connect(ui_->btnAddGroup, &QPushButton::clicked, this, &TFormMain::btnAddGroupClick);
    connect(ui_->btnDelGroup, &QPushButton::clicked, this, &TFormMain::btnAddGroupClick);
    connect(ui_->BtnMoveSrvUp, &QPushButton::clicked, this, &TFormMain::BtnMoveSrvUpClick);
    connect(ui_->BtnMoveSrvDown, &QPushButton::clicked, this, &TFormMain::BtnMoveSrvDownClick);
    connect(ui_->btnAddServer, &QPushButton::clicked, this, &TFormMain::btnAddServerClick);
    connect(ui_->btnEditServer, &QPushButton::clicked, this, &TFormMain::btnAddServerClick);
    connect(ui_->btnDelServer, &QPushButton::clicked, this, &TFormMain::btnAddServerClick);
    connect(ui_->BtnGameUp, &QPushButton::clicked, this, &TFormMain::BtnGameUpClick);
    connect(ui_->BtnGameDown, &QPushButton::clicked, this, &TFormMain::BtnGameDownClick);
    connect(ui_->btnAddUp, &QPushButton::clicked, this, &TFormMain::btnAddUpClick);
    connect(ui_->btnEditUp, &QPushButton::clicked, this, &TFormMain::btnAddUpClick);
    connect(ui_->btnDelUp, &QPushButton::clicked, this, &TFormMain::btnAddUpClick);
    connect(ui_->btnServerInfoSave, &QPushButton::clicked, this, &TFormMain::btnServerInfoSaveClick);
    connect(ui_->btnServerInfoWrite, &QPushButton::clicked, this, &TFormMain::btnServerInfoWriteClick);
    connect(ui_->GenerateLoginButton, &QPushButton::clicked, this, &TFormMain::GenerateLoginButtonClick);
    connect(ui_->PublishButton, &QPushButton::clicked, this, &TFormMain::PublishButtonClick);
    connect(ui_->CreateKeyButton, &QPushButton::clicked, this, &TFormMain::CreateKeyButtonClick);
    connect(ui_->ExportKeyButton, &QPushButton::clicked, this, &TFormMain::ExportKeyButtonClick);
    // The key may have been made or imported from the command line meanwhile.
    connect(ui_->pgc1, &QTabWidget::currentChanged, this, [this] { ShowSigning(); });
}

void TFormMain::ConnectFields()
{
    connect(ui_->cbbServerGroup, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!showing_)
            logic_.SelectGroup(index);
    });
    connect(ui_->lvServerList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!showing_)
            logic_.SelectServer(ui_->lvServerList->SelectedRow());
    });
    connect(ui_->lvUpDataList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!showing_)
            logic_.SelectUpdate(ui_->lvUpDataList->SelectedRow());
    });
    // The fields go through the editing layer as the operator types; a web
    // address it refuses is told when the operator leaves the field, which
    // then shows the address kept.
    const auto onEdit = [this](QLineEdit* field, auto store) {
        connect(field, &QLineEdit::textEdited, this,
                [this, store](const QString& text) {
                    RunGuarded(operator_, [&] { store(ToGbk(text)); });
                    ShowHistory();
                });
    };
    for (const auto& [field, member] : {std::pair{ui_->edtLoginframeUrl, &WebAddresses::LoginframeUrl},
                                        std::pair{ui_->edtHomeUrl, &WebAddresses::HomeUrl},
                                        std::pair{ui_->edtPayUrl2, &WebAddresses::PayUrl2},
                                        std::pair{ui_->edtGMUrl, &WebAddresses::GMUrl},
                                        std::pair{ui_->edtPayUrl, &WebAddresses::PayUrl}}) {
        onEdit(field, [this, member](std::string text) { logic_.TypeWebAddress(member, std::move(text)); });
        connect(field, &QLineEdit::editingFinished, this, [this, field, member] {
            Act([&] { logic_.LeaveWebAddress(member, ToGbk(field->text())); });
        });
    }
    onEdit(ui_->GameNameEdit, [this](std::string text) { logic_.SetGameName(std::move(text)); });
    onEdit(ui_->ServerListEdit, [this](std::string text) { logic_.SetServerListUrl(std::move(text)); });
    onEdit(ui_->GameClientEdit, [this](std::string text) { logic_.SetClientCommand(std::move(text)); });
    for (QLineEdit* field : {ui_->GameNameEdit, ui_->ServerListEdit, ui_->GameClientEdit})
        connect(field, &QLineEdit::editingFinished, this,
                [this] { RunGuarded(operator_, [this] { logic_.LeaveLauncherField(); }); });
}

void TFormMain::Act(const std::function<void()>& operation)
{
    // The lists change under the operation; what they do to their selection
    // meanwhile is not the operator's choice.
    showing_ = true;
    RunGuarded(operator_, operation);
    ShowModel();
    showing_ = false;
}

// Handlers -------------------------------------------------------------------

void TFormMain::btnAddGroupClick()
{
    const bool remove = sender() == ui_->btnDelGroup;
    Act([&] { remove ? logic_.DeleteGroup() : logic_.AddGroup(); });
}

void TFormMain::BtnMoveSrvUpClick() { Act([this] { logic_.MoveGroupUp(); }); }
void TFormMain::BtnMoveSrvDownClick() { Act([this] { logic_.MoveGroupDown(); }); }

void TFormMain::btnAddServerClick()
{
    const QObject* button = sender();
    Act([&] {
        if (button == ui_->btnEditServer)
            logic_.EditServer();
        else if (button == ui_->btnDelServer)
            logic_.DeleteServer();
        else
            logic_.AddServer();
    });
}

void TFormMain::BtnGameUpClick() { Act([this] { logic_.MoveServerUp(); }); }
void TFormMain::BtnGameDownClick() { Act([this] { logic_.MoveServerDown(); }); }

void TFormMain::btnAddUpClick()
{
    const QObject* button = sender();
    Act([&] {
        if (button == ui_->btnEditUp)
            logic_.EditUpdate();
        else if (button == ui_->btnDelUp)
            logic_.DeleteUpdate();
        else
            logic_.AddUpdate();
    });
}

void TFormMain::btnServerInfoSaveClick() { Act([this] { logic_.SaveConfiguration(); }); }
void TFormMain::btnServerInfoWriteClick()
{
    Act([this] { logic_.WriteServerInformation(); });
    ShowSigning();
}
void TFormMain::GenerateLoginButtonClick()
{
    Act([this] { logic_.GenerateLauncher(); });
    ShowSigning();
}

void TFormMain::PublishButtonClick()
{
    bool ready = false;
    Act([this, &ready] { ready = logic_.ReadyToPublish(); });
    ShowSigning();
    if (!ready)
        return;
    PublishDialog dialog(operator_, logic_.WorkingFolder(), ToQString(logic_.Model().launcher.ServerListUrl),
                         [] { return SystemCredentialStore(); }, this);
    dialog.exec();
}

void TFormMain::CreateKeyButtonClick()
{
    Act([this] { logic_.Signing().CreateKey(); });
    ShowSigning();
}

void TFormMain::ExportKeyButtonClick() { Act([this] { logic_.Signing().ExportKey(); }); }

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (!opened_ || logic_.CloseRequested())
        event->accept();
    else
        event->ignore();
}

// Undo and redo ------------------------------------------------------------------

void TFormMain::ConnectUndo()
{
    // Ctrl+Z and Ctrl+Y, and the platform's own keys for both, anywhere in the
    // window but in a text field, which undoes its own typing first. The fixed
    // layout has no room for buttons: the window's context menu holds both.
    const auto make = [this](const char* name, QKeySequence::StandardKey standard, const QKeySequence& common,
                             bool undo) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
        if (!keys.contains(common))
            keys.prepend(common);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, [this, undo] { Restore(undo); });
        addAction(action);
        return action;
    };
    undo_ = make("UndoAction", QKeySequence::Undo, QKeySequence(Qt::CTRL | Qt::Key_Z), true);
    redo_ = make("RedoAction", QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y), false);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    ShowHistory();
}

void TFormMain::Restore(bool undo)
{
    std::optional<edit::Restored> restored;
    Act([&] { restored = undo ? logic_.Undo() : logic_.Redo(); });
    if (restored)
        ShowPage(*restored);
}

void TFormMain::ShowHistory()
{
    const edit::EditHistory& history = logic_.History();
    undo_->setEnabled(history.CanUndo());
    undo_->setText(ToQString(Sentence(edit::UndoCaption(history.NextUndo()))));
    redo_->setEnabled(history.CanRedo());
    redo_->setText(ToQString(Sentence(edit::RedoCaption(history.NextRedo()))));
}

void TFormMain::ShowPage(const edit::Restored& restored)
{
    QWidget* page = restored.list == edit::ListKind::Updates ? ui_->ts5 : ui_->ts3;
    if (!restored.list) {
        page = ui_->ts6; // a launcher field, unless it is a web address
        for (const WebAddressField& field : kWebAddressFields)
            if (&(logic_.Model().web.*field.member) == restored.text)
                page = ui_->ts4;
    }
    if (page == ui_->ts6) {
        ui_->pgc1->setCurrentWidget(page);
        return;
    }
    ui_->pgc1->setCurrentWidget(ui_->ts2);
    ui_->pgc2->setCurrentWidget(page);
}

// Showing the model ------------------------------------------------------------

void TFormMain::ShowModel()
{
    ui_->cbbServerGroup->setCurrentIndex(logic_.SelectedGroup());
    ui_->lvServerList->ShowSelectedRow(logic_.SelectedServer());
    ui_->lvUpDataList->ShowSelectedRow(logic_.SelectedUpdate());
    ShowFields();
    ShowHistory();
}

void TFormMain::ShowFields()
{
    const WebAddresses& web = logic_.Model().web;
    SetText(*ui_->edtLoginframeUrl, web.LoginframeUrl);
    SetText(*ui_->edtHomeUrl, web.HomeUrl);
    SetText(*ui_->edtPayUrl2, web.PayUrl2);
    SetText(*ui_->edtGMUrl, web.GMUrl);
    SetText(*ui_->edtPayUrl, web.PayUrl);
    SetText(*ui_->GameNameEdit, logic_.Model().launcher.GameName);
    SetText(*ui_->ServerListEdit, logic_.Model().launcher.ServerListUrl);
    SetText(*ui_->GameClientEdit, logic_.ClientCommand());
}

void TFormMain::ShowWorkingFolder()
{
    // Beside the tabs, where the fixed layout has room: the folder, cut in
    // its middle to fit, and in full in the tip.
    auto* action = new QAction(this);
    action->setObjectName(QStringLiteral("OpenWorkingFolderAction"));
    const QString folder = QDir::toNativeSeparators(FromPath(logic_.WorkingFolder()));
    action->setToolTip(QCoreApplication::translate("Tarnwick", "在文件管理器中打开工作文件夹") + QLatin1Char('\n') + folder);
    action->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    connect(action, &QAction::triggered, this, [this] { RunGuarded(operator_, [this] { logic_.OpenWorkingFolder(); }); });
    auto* button = new QToolButton(ui_->pgc1);
    button->setObjectName(QStringLiteral("WorkingFolderButton"));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setDefaultAction(action);
    const int room = ui_->pgc1->width() - ui_->pgc1->tabBar()->sizeHint().width() - 8;
    const int iconAndMargins = button->iconSize().width() + 16;
    const QString label = QCoreApplication::translate("Tarnwick", "工作文件夹：%1");
    const int labelWidth = button->fontMetrics().horizontalAdvance(label.arg(QString()));
    action->setText(label.arg(
        button->fontMetrics().elidedText(folder, Qt::ElideMiddle, std::max(room - iconAndMargins - labelWidth, 0))));
    button->setMaximumWidth(room);
    ui_->pgc1->setCornerWidget(button, Qt::TopRightCorner);
}

void TFormMain::ShowSigning()
{
    const SigningStatus status = logic_.Signing().Status();
    const QString text = ToQString(Sentence(status.text));
    ui_->LabelSigning->setText(text);
    // A long reason may not fit the label: the tip holds all of it.
    ui_->LabelSigning->setToolTip(text);
    ui_->CreateKeyButton->setEnabled(status.canCreateKey);
    ui_->ExportKeyButton->setEnabled(status.canExportKey);
}

} // namespace tarnwick::ui
