#include "ui/logic/update_editor.h"

#include "base/text.h"
#include "config/update_rules.h"

#include "ui/logic/gbk_literal.h"
#include "ui/logic/server_editor.h"

namespace tarnwick::ui {

CheckModeRow CheckModeRow::Initial()
{
    CheckModeRow row;
    row.LabelCaption = Gbk(QT_TRANSLATE_NOOP("Tarnwick", "版本号:"));
    return row;
}

void UpdateEditorLogic::ShowCheckMode()
{
    Row.VerVisible = false;
    Row.DateVisible = false;
    Row.LabelVisible = false;
    Row.Md5Visible = false;
    switch (Fields.CheckTypeIndex) {
    case 0:
        Row.LabelVisible = true;
        Row.LabelCaption = Gbk(QT_TRANSLATE_NOOP("Tarnwick", "版本号:"));
        Row.VerVisible = true;
        break;
    case 2:
        Row.LabelVisible = true;
        Row.LabelCaption = Gbk(QT_TRANSLATE_NOOP("Tarnwick", "PAK更新时间:"));
        Row.DateVisible = true;
        Row.DateTop = CheckModeRow::kRowTop;
        break;
    case 3:
        Row.LabelVisible = true;
        Row.LabelCaption = Gbk(QT_TRANSLATE_NOOP("Tarnwick", "文件MD5值:"));
        Row.Md5Visible = true;
        Row.Md5Top = CheckModeRow::kRowTop;
        break;
    default:
        // "是否存在" and no choice have no companion field.
        break;
    }
}

std::optional<UpdateField> UpdateEditorLogic::RefuseIncomplete(Notifier& notifier) const
{
    const edit::Outcome outcome = edit::CheckUpdateInput(Fields);
    if (!ShowRefusal(notifier, outcome))
        return std::nullopt;
    switch (outcome) {
    case edit::Outcome::HintBlank: return UpdateField::Hint;
    case edit::Outcome::DownUrlBlank: return UpdateField::DownUrl;
    case edit::Outcome::SaveDirBlank: return UpdateField::SaveDir;
    // The digest field shows only for the MD5 check: with no check chosen, the choice is what to fix.
    case edit::Outcome::Md5DigestMissing: return Row.Md5Visible ? UpdateField::Md5 : UpdateField::CheckType;
    case edit::Outcome::DownloadCheckInvalid: return UpdateField::DownMd5;
    default: return UpdateField::SaveName;
    }
}

std::string UpdateEditorLogic::DigestText(const std::filesystem::path& fileName, const ProgressCallback& progress)
{
    Digest digest{};
    FileDigest(fileName, digest, progress);
    return DigestToHex(digest);
}

void UpdateEditorLogic::DigestShown(std::optional<std::string> hex)
{
    // A folder or a missing path hashes as zeros, which is no file to pin.
    if (hex && *hex == DigestToHex(Digest{}))
        hex.reset();
    shownDigest_ = std::move(hex);
    // Offered where nothing was typed yet: the entry's own file, and the file
    // downloaded too when it is installed as it comes (no zip).
    if (shownDigest_ && Trimmed(Fields.MD5).empty()) {
        Fields.MD5 = *shownDigest_;
        if (Fields.ZipIndex == 0 && !AsDigest(Fields.DownMD5))
            Fields.DownMD5 = *shownDigest_;
    }
}

void UpdateEditorLogic::PinShownDigest()
{
    if (shownDigest_)
        edit::PinDigests(Fields, *shownDigest_);
}

} // namespace tarnwick::ui
