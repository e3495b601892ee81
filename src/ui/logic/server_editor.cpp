#include "ui/logic/server_editor.h"

#include "base/text.h"
#include "ui/logic/captions.h"
#include "ui/logic/gbk_literal.h"

namespace tarnwick::ui {

bool ServerEditorFields::HasChosenGroup() const
{
    return GroupIndex >= 0 && static_cast<std::size_t>(GroupIndex) < GroupNames.size();
}

std::string ServerEditorFields::ChosenGroup() const
{
    if (!HasChosenGroup())
        return {};
    return GroupNames[static_cast<std::size_t>(GroupIndex)];
}

std::optional<ServerField> ServerEditorLogic::ButtonOkClick(Notifier& notifier) const
{
    const auto refuse = [&](ServerField field, const char* utf8) {
        notifier.Notice(NoticeKind::Refusal, Gbk(kInfoCaption), Gbk(utf8));
        return std::optional<ServerField>(field);
    };
    if (Trimmed(Fields.ShowName).empty())
        return refuse(ServerField::ShowName, "服务器显示名称不能为空!");
    if (Trimmed(Fields.Name).empty())
        return refuse(ServerField::Name, "服务器名称不能为空!");
    if (Trimmed(Fields.Addr).empty())
        return refuse(ServerField::Addr, "服务器地址不能为空!");
    if (!Fields.HasChosenGroup())
        return refuse(ServerField::Group, "请选择服务器分组!");
    return std::nullopt;
}

} // namespace tarnwick::ui
