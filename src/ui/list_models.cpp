#include "ui/list_models.h"

#include "edit/field_rules.h"

#include <QCoreApplication>

namespace tarnwick::ui {

ListModels::ListModels(const SetupModel& model, const QStringList& serverCaptions,
                       const QStringList& updateCaptions)
    : groups_(model.groups, {&ServerGroup::Name}, {}),
      servers_(model.servers,
               {&ServerEntry::Group, &ServerEntry::ShowName, &ServerEntry::Name, &ServerEntry::Addr,
                &ServerEntry::Port},
               serverCaptions),
      updates_(model.updates,
               {&UpdateEntry::Hint, &UpdateEntry::SaveDir, &UpdateEntry::SaveName, &UpdateEntry::DownUrl,
                &UpdateEntry::Zip, &UpdateEntry::CheckType, &UpdateEntry::DownType, &UpdateEntry::Date,
                &UpdateEntry::Ver, &UpdateEntry::MD5, &UpdateEntry::DownMD5},
               updateCaptions, {&UpdateEntry::Zip, &UpdateEntry::CheckType, &UpdateEntry::DownType})
{
}

QString ChoiceWordShown(const std::string& gbk)
{
    const char* source = edit::ChoiceWordSource(gbk);
    return source ? QCoreApplication::translate("Tarnwick", source) : ToQString(gbk);
}

ReportModel& ListModels::Of(edit::ListKind list)
{
    switch (list) {
    case edit::ListKind::Groups: return groups_;
    case edit::ListKind::Servers: return servers_;
    case edit::ListKind::Updates: return updates_;
    }
    return groups_;
}

} // namespace tarnwick::ui
