#include "ui/logic/update_editor.h"

#include "base/text.h"
#include "ui/logic/captions.h"
#include "ui/logic/gbk_literal.h"

namespace tarnwick::ui {

CheckModeRow CheckModeRow::Initial()
{
    CheckModeRow row;
    row.LabelCaption = Gbk("版本号:");
    return row;
}

void UpdateEditorLogic::cbbCheckTypeChange()
{
    Row.VerVisible = false;
    Row.DateVisible = false;
    Row.LabelVisible = false;
    Row.Md5Visible = false;
    switch (Fields.CheckTypeIndex) {
    case 0:
        Row.LabelVisible = true;
        Row.LabelCaption = Gbk("版本号:");
        Row.VerVisible = true;
        break;
    case 2:
        Row.LabelVisible = true;
        Row.LabelCaption = Gbk("PAK更新时间:");
        Row.DateVisible = true;
        Row.DateTop = CheckModeRow::kRowTop;
        break;
    case 3:
        Row.LabelVisible = true;
        Row.LabelCaption = Gbk("文件MD5值:");
        Row.Md5Visible = true;
        Row.Md5Top = CheckModeRow::kRowTop;
        break;
    default:
        // "是否存在" and no choice have no companion field.
        break;
    }
}

std::optional<UpdateField> UpdateEditorLogic::ButtonOkClick(Notifier& notifier) const
{
    const auto refuse = [&](UpdateField field, const char* utf8) {
        notifier.Notice(NoticeKind::Refusal, Gbk(kInfoCaption), Gbk(utf8));
        return std::optional<UpdateField>(field);
    };
    if (Trimmed(Fields.Hint).empty())
        return refuse(UpdateField::Hint, "更新提示不能为空!");
    if (Trimmed(Fields.DownUrl).empty())
        return refuse(UpdateField::DownUrl, "下载不能为空!");
    if (Trimmed(Fields.SaveDir).empty())
        return refuse(UpdateField::SaveDir, "保存位置不能为空!");
    if (Trimmed(Fields.SaveName).empty())
        return refuse(UpdateField::SaveName, "保存文件名不能为空!");
    return std::nullopt;
}

std::string UpdateEditorLogic::DigestText(const std::filesystem::path& fileName, const ProgressCallback& progress)
{
    Digest digest{};
    FileDigest(fileName, digest, progress);
    return DigestToHex(digest);
}

} // namespace tarnwick::ui
