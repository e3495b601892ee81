#include "ui/form_edit_up_data.h"

#include "ui/drop_file_group_box.h"
#include "ui/logic/failure_report.h"
#include "ui/qt_text.h"
#include "ui/window_language.h"
#include "ui_FormEditUpData.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QScopeGuard>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace tarnwick::ui {

namespace {

// Label1 keeps its right edge here; a longer caption grows to the left.
constexpr int kCheckLabelRight = 246;

// Unwinds a digest whose request a newer one replaced, from its progress report.
// It is no failure, so it is neither an Error nor a std::exception: nothing
// that reports failures can take it for one.
struct DigestSuperseded {};

} // namespace

TFormEditUpData::TFormEditUpData(tarnwick::Notifier& notifier, QWidget* parent)
    : EditorDialog(parent), ui_(std::make_unique<Ui::TFormEditUpData>()), notifier_(notifier)
{
    ui_->setupUi(this);
    FinishLayout();
    // The box keeps its width; a narrower arrow leaves room for "版本号(未完成)"
    // in the half-width Latin of the fonts found here, and the list is as wide
    // as its longest caption.
    ui_->cbbCheckType->setStyleSheet(
        QStringLiteral("QComboBox { padding: 1px 0px 1px 2px; } QComboBox::drop-down { width: 13px; }"));
    int widest = 0;
    for (int i = 0; i < ui_->cbbCheckType->count(); ++i)
        widest = std::max(widest, ui_->cbbCheckType->fontMetrics().horizontalAdvance(ui_->cbbCheckType->itemText(i)));
    ui_->cbbCheckType->view()->setMinimumWidth(widest + 16);
    // "Yes" needs a pixel more than the Chinese layout's list gives 是; the
    // box's right has room to spare.
    if (EnglishLayout())
        ui_->ComboBoxZip->resize(ui_->ComboBoxZip->width() + 8, ui_->ComboBoxZip->height());
    for (QLineEdit* field : {ui_->edtMD5, ui_->edtDate, ui_->edtdownmd5})
        GuardLowerCaseField(field);
    connect(ui_->ButtonOk, &QPushButton::clicked, this, &TFormEditUpData::ButtonOkClick);
    connect(ui_->ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->ButtonPinDigest, &QPushButton::clicked, this, &TFormEditUpData::ButtonPinDigestClick);
    // Only the operator's choice reacts; a choice set from code does not.
    connect(ui_->cbbCheckType, &QComboBox::activated, this, &TFormEditUpData::cbbCheckTypeChange);
    connect(ui_->DropFileGroupBox1, &TDropFileGroupBox::OnDropFile, this, &TFormEditUpData::DropFileGroupBox1DropFile);
    // For file managers without drag and drop: Enter hashes the name typed or pasted.
    connect(ui_->edt1, &QLineEdit::returnPressed, this, &TFormEditUpData::HashTypedFileName);
    connect(ui_->edt1, &QLineEdit::textEdited, this, &TFormEditUpData::FileNameEdited);
    LoadFields();
    ui_->EditSaveDir->setFocus();
}

TFormEditUpData::~TFormEditUpData() = default;

void TFormEditUpData::LoadFields()
{
    const UpdateEditorFields& f = editor_.Fields;
    setWindowTitle(Translated(f.Caption));
    ui_->edtHint->setText(ToQString(f.Hint));
    ui_->EditDownUrl->setText(ToQString(f.DownUrl));
    ui_->EditSaveDir->setText(ToQString(f.SaveDir));
    ui_->EditSaveName->setText(ToQString(f.SaveName));
    ui_->ComboBoxZip->setCurrentIndex(f.ZipIndex);
    ui_->cbbDownType->setCurrentIndex(f.DownTypeIndex);
    ui_->cbbCheckType->setCurrentIndex(f.CheckTypeIndex);
    ui_->EditVer->SetVersionText(ToQString(f.Ver));
    ui_->edtDate->setText(ToQString(f.Date));
    ui_->edtMD5->setText(ToQString(f.MD5));
    ui_->edtdownmd5->setText(ToQString(f.DownMD5));
    ShowCheckModeRow();
}

void TFormEditUpData::StoreFields()
{
    UpdateEditorFields& f = editor_.Fields;
    f.Hint = ToGbk(ui_->edtHint->text());
    f.DownUrl = ToGbk(ui_->EditDownUrl->text());
    f.SaveDir = ToGbk(ui_->EditSaveDir->text());
    f.SaveName = ToGbk(ui_->EditSaveName->text());
    f.ZipIndex = ui_->ComboBoxZip->currentIndex();
    f.DownTypeIndex = ui_->cbbDownType->currentIndex();
    f.CheckTypeIndex = ui_->cbbCheckType->currentIndex();
    f.Ver = ToGbk(ui_->EditVer->VersionText());
    f.Date = ToGbk(ui_->edtDate->text());
    f.MD5 = ToGbk(ui_->edtMD5->text());
    f.DownMD5 = ToGbk(ui_->edtdownmd5->text());
}

void TFormEditUpData::ShowCheckModeRow()
{
    const CheckModeRow& row = editor_.Row;
    ui_->Label1->setText(Translated(row.LabelCaption));
    const int width = ui_->Label1->fontMetrics().horizontalAdvance(ui_->Label1->text()) + 2;
    ui_->Label1->setGeometry(kCheckLabelRight - width, ui_->Label1->y(), width, ui_->Label1->height());
    ui_->Label1->setVisible(row.LabelVisible);
    ui_->EditVer->setVisible(row.VerVisible);
    ui_->edtDate->move(ui_->edtDate->x(), row.DateTop);
    ui_->edtDate->setVisible(row.DateVisible);
    ui_->edtMD5->move(ui_->edtMD5->x(), row.Md5Top);
    ui_->edtMD5->setVisible(row.Md5Visible);
}

void TFormEditUpData::cbbCheckTypeChange()
{
    editor_.Fields.CheckTypeIndex = ui_->cbbCheckType->currentIndex();
    editor_.ShowCheckMode();
    ShowCheckModeRow();
}

void TFormEditUpData::ButtonOkClick()
{
    RunGuarded(notifier_, [this] {
        StoreFields();
        const auto refused = editor_.RefuseIncomplete(notifier_);
        AcceptOrFocus(refused ? FieldWidget(*refused) : nullptr);
    });
}

QWidget* TFormEditUpData::FieldWidget(UpdateField field) const
{
    switch (field) {
    case UpdateField::Hint: return ui_->edtHint;
    case UpdateField::DownUrl: return ui_->EditDownUrl;
    case UpdateField::SaveDir: return ui_->EditSaveDir;
    case UpdateField::SaveName: return ui_->EditSaveName;
    case UpdateField::CheckType: return ui_->cbbCheckType;
    case UpdateField::Md5: return ui_->edtMD5;
    case UpdateField::DownMd5: return ui_->edtdownmd5;
    }
    return nullptr;
}

void TFormEditUpData::DropFileGroupBox1DropFile(QObject*)
{
    // Copied before any event runs: a nested drop replaces DroppedFiles.
    const QString first = ui_->DropFileGroupBox1->DroppedFiles.at(0);
    RunGuarded(notifier_, [&] { CalculateDigest(first); });
}

void TFormEditUpData::HashTypedFileName()
{
    QString name = ui_->edt1->text().trimmed();
    const QUrl url(name);
    if (url.isLocalFile())
        name = url.toLocalFile();
    if (!name.isEmpty())
        RunGuarded(notifier_, [&] { CalculateDigest(name); });
}

// A name the operator edits has no digest yet: none stays beside it, and one
// still running for the previous name is given up. Enter hashes the new name.
void TFormEditUpData::FileNameEdited()
{
    ++digestRequest_;
    ShowDigest({});
    ui_->pb1->setValue(0);
}

void TFormEditUpData::ShowDigest(const std::optional<std::string>& hex)
{
    ui_->edt2->setText(hex ? QString::fromLatin1(hex->data(), static_cast<qsizetype>(hex->size())) : QString());
    // The digest is offered for the fields as they are typed now.
    if (hex)
        StoreFields();
    editor_.DigestShown(hex);
    if (hex) {
        ui_->edtMD5->setText(ToQString(editor_.Fields.MD5));
        ui_->edtdownmd5->setText(ToQString(editor_.Fields.DownMD5));
    }
    ui_->ButtonPinDigest->setEnabled(editor_.CanPinDigest());
}

// What the operator typed so far stays; only the digest fields change.
void TFormEditUpData::ButtonPinDigestClick()
{
    RunGuarded(notifier_, [this] {
        StoreFields();
        editor_.PinShownDigest();
        ui_->edtdownmd5->setText(ToQString(editor_.Fields.DownMD5));
        ui_->edtMD5->setText(ToQString(editor_.Fields.MD5));
    });
}

// The progress callback runs pending events, so a newer request runs to its end
// inside this one's digest; this one then stops without touching the fields.
void TFormEditUpData::CalculateDigest(const QString& fileName)
{
    const std::uint64_t request = ++digestRequest_;
    ui_->edt1->setText(fileName);
    const QString shown = ui_->edt1->text();
    // No digest beside a file name it does not belong to, not even for a moment,
    // and no progress of a digest given up for this one.
    ShowDigest({});
    ui_->pb1->setValue(0);
    ++digests_;
    const auto finished = qScopeGuard([this] {
        if (--digests_ > 0 || !closeRequested_)
            return;
        const int result = *std::exchange(closeRequested_, std::nullopt);
        QMetaObject::invokeMethod(this, [this, result] { QDialog::done(result); }, Qt::QueuedConnection);
    });
    std::string hex;
    try {
        hex = UpdateEditorLogic::DigestText(ToPath(shown),
                                            [this, request](int percent) { DigestProgress(request, percent); });
    } catch (const DigestSuperseded&) {
        return;
    }
    ShowDigest(hex);
}

void TFormEditUpData::done(int result)
{
    if (digests_ > 0)
        closeRequested_ = result;
    else
        QDialog::done(result);
}

void TFormEditUpData::DigestProgress(std::uint64_t request, int percent)
{
    // Also the report the digest makes while it unwinds, which must not reach pb1.
    if (request != digestRequest_)
        throw DigestSuperseded{};
    ui_->pb1->setValue(percent);
    QCoreApplication::processEvents();
    if (request != digestRequest_)
        throw DigestSuperseded{};
}

} // namespace tarnwick::ui
