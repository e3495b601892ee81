#include "ui/form_edit_server.h"

#include "ui/logic/failure_report.h"
#include "ui/qt_text.h"
#include "ui_FormEditServer.h"

namespace tarnwick::ui {



TFormEditServer::TFormEditServer(tarnwick::Notifier& notifier, QWidget* parent)
    : EditorDialog(parent), ui_(std::make_unique<Ui::TFormEditServer>()), notifier_(notifier)
{
    ui_->setupUi(this);
    FinishLayout();
    connect(ui_->ButtonOk, &QPushButton::clicked, this, &TFormEditServer::ButtonOkClick);
    connect(ui_->ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
}

TFormEditServer::~TFormEditServer() = default;

void TFormEditServer::LoadFields()
{
    const ServerEditorFields& f = editor_.Fields;
    setWindowTitle(Translated(f.Caption));
    ui_->EditShowName->setText(ToQString(f.ShowName));
    ui_->EditName->setText(ToQString(f.Name));
    ui_->EditAddr->setText(ToQString(f.Addr));
    ui_->edtPort->setText(ToQString(f.Port));
    // Refilled only when the groups changed: thousands of names cost a click.
    if (f.GroupNames != shownGroups_) {
        ui_->ComboBoxServerGroup->clear();
        for (const auto& name : f.GroupNames)
            ui_->ComboBoxServerGroup->addItem(ToQString(name));
        shownGroups_ = f.GroupNames;
    }
    ui_->ComboBoxServerGroup->setCurrentIndex(f.GroupIndex);
    ui_->EditShowName->setFocus();
}

void TFormEditServer::StoreFields()
{
    ServerEditorFields& f = editor_.Fields;
    f.ShowName = ToGbk(ui_->EditShowName->text());
    f.Name = ToGbk(ui_->EditName->text());
    f.Addr = ToGbk(ui_->EditAddr->text());
    f.Port = ToGbk(ui_->edtPort->text());
    f.GroupIndex = ui_->ComboBoxServerGroup->currentIndex();
}

void TFormEditServer::ButtonOkClick()
{
    RunGuarded(notifier_, [this] {
        StoreFields();
        const auto refused = editor_.RefuseIncomplete(notifier_);
        AcceptOrFocus(refused ? FieldWidget(*refused) : nullptr);
    });
}

QWidget* TFormEditServer::FieldWidget(ServerField field) const
{
    switch (field) {
    case ServerField::ShowName: return ui_->EditShowName;
    case ServerField::Name: return ui_->EditName;
    case ServerField::Addr: return ui_->EditAddr;
    case ServerField::Group: return ui_->ComboBoxServerGroup;
    case ServerField::Port: return ui_->edtPort;
    }
    return nullptr;
}

} // namespace tarnwick::ui
