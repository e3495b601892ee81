#include "ui/logic/server_editor.h"

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

edit::ServerInput ServerEditorFields::Input() const
{
    edit::ServerInput input{ShowName, Name, Addr, Port, std::nullopt};
    if (HasChosenGroup())
        input.Group = ChosenGroup();
    return input;
}

bool ShowRefusal(Notifier& notifier, edit::Outcome outcome)
{
    if (outcome == edit::Outcome::Done)
        return false;
    const edit::Notice notice = edit::RefusalNotice(outcome);
    notifier.Notice(notice.kind, notice.caption, notice.text);
    return true;
}

std::optional<ServerField> ServerEditorLogic::RefuseIncomplete(Notifier& notifier) const
{
    const edit::Outcome outcome = edit::CheckServerInput(Fields.Input());
    if (!ShowRefusal(notifier, outcome))
        return std::nullopt;
    switch (outcome) {
    case edit::Outcome::ShowNameBlank: return ServerField::ShowName;
    case edit::Outcome::ServerNameBlank: return ServerField::Name;
    case edit::Outcome::AddrBlank:
    case edit::Outcome::ConnectionCountsDiffer: return ServerField::Addr;
    case edit::Outcome::PortCountDiffers:
    case edit::Outcome::PortOutOfRange: return ServerField::Port;
    default: return ServerField::Group;
    }
}

} // namespace tarnwick::ui
