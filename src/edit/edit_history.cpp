#include "edit/edit_history.h"

#include "base/translatable.h"

#include <utility>

namespace tarnwick::edit {
namespace {

// Exchanges what a step holds with what the model holds, and says where.
class SwapWithModel {
public:
    SwapWithModel(SetupModel& model, ListEvents& events) : model_(model), events_(events) {}

    template <class Record>
    Restored operator()(EditHistory::RowPresence<Record>& change) const
    {
        if (change.held) {
            InsertRow(events_, model_, change.row, std::move(*change.held));
            change.held.reset();
            return At<Record>(change.row);
        }
        change.held = TakeRow<Record>(events_, model_, change.row);
        return At<Record>(-1);
    }

    template <class Record>
    Restored operator()(EditHistory::RowContent<Record>& change) const
    {
        change.held = ReplaceRow(events_, model_, change.row, std::move(change.held));
        return At<Record>(change.row);
    }

    template <class Record>
    Restored operator()(EditHistory::RowSwap<Record>& change) const
    {
        SwapRows<Record>(events_, model_, change.at, change.other);
        std::swap(change.at, change.other);
        return At<Record>(change.at);
    }

    Restored operator()(EditHistory::GroupPresence& change) const
    {
        if (change.held) {
            InsertRow(events_, model_, change.row, std::move(*change.held));
            change.held.reset();
            RestoreServers(events_, model_.servers, std::move(change.servers));
            change.servers.clear();
            return At<ServerGroup>(change.row);
        }
        change.held = TakeRow<ServerGroup>(events_, model_, change.row);
        change.servers = RemoveServersOf(events_, model_.servers, change.held->Name);
        return At<ServerGroup>(-1);
    }

    Restored operator()(EditHistory::TextChange& change) const
    {
        std::swap(*change.field, change.held);
        return {EditKind::Text, std::nullopt, -1, change.field};
    }

private:
    // The kind is filled in by the caller, which knows the step.
    template <class Record>
    static Restored At(int row)
    {
        return {EditKind::Text, ListOf<Record>::kind, row, nullptr};
    }

    SetupModel& model_;
    ListEvents& events_;
};

const char* PhraseOf(EditKind kind)
{
    switch (kind) {
    case EditKind::AddGroup: return QT_TRANSLATE_NOOP("Tarnwick", "增加分组");
    case EditKind::DeleteGroup: return QT_TRANSLATE_NOOP("Tarnwick", "删除分组");
    case EditKind::MoveGroup: return QT_TRANSLATE_NOOP("Tarnwick", "移动分组");
    case EditKind::AddServer: return QT_TRANSLATE_NOOP("Tarnwick", "增加服务器");
    case EditKind::EditServer: return QT_TRANSLATE_NOOP("Tarnwick", "修改服务器");
    case EditKind::DeleteServer: return QT_TRANSLATE_NOOP("Tarnwick", "删除服务器");
    case EditKind::MoveServer: return QT_TRANSLATE_NOOP("Tarnwick", "移动服务器");
    case EditKind::AddUpdate: return QT_TRANSLATE_NOOP("Tarnwick", "增加更新");
    case EditKind::EditUpdate: return QT_TRANSLATE_NOOP("Tarnwick", "修改更新");
    case EditKind::DeleteUpdate: return QT_TRANSLATE_NOOP("Tarnwick", "删除更新");
    case EditKind::Text: break;
    }
    return QT_TRANSLATE_NOOP("Tarnwick", "输入");
}

Message Caption(const char* bare, const char* withPhrase, std::optional<EditKind> next)
{
    if (!next)
        return Message(bare);
    Message caption(withPhrase);
    caption.Phrase(PhraseOf(*next));
    return caption;
}

} // namespace

Message UndoCaption(std::optional<EditKind> next)
{
    return Caption(QT_TRANSLATE_NOOP("Tarnwick", "撤销"), QT_TRANSLATE_NOOP("Tarnwick", "撤销%1"), next);
}

Message RedoCaption(std::optional<EditKind> next)
{
    return Caption(QT_TRANSLATE_NOOP("Tarnwick", "重做"), QT_TRANSLATE_NOOP("Tarnwick", "重做%1"), next);
}

void EditHistory::Record(EditKind kind, Change change)
{
    redo_.clear();
    typing_ = nullptr;
    undo_.push_back({kind, std::move(change)});
}

void EditHistory::RecordText(std::string& field, std::string before)
{
    if (typing_ == &field && !undo_.empty()) {
        if (const auto* change = std::get_if<TextChange>(&undo_.back().change); change && change->field == &field) {
            if (change->held == field) {
                undo_.pop_back();
                typing_ = nullptr;
            }
            return;
        }
    }
    Record(EditKind::Text, TextChange{&field, std::move(before)});
    typing_ = &field;
}

std::optional<Restored> EditHistory::Undo(SetupModel& model, ListEvents& events)
{
    return Apply(undo_, redo_, model, events);
}

std::optional<Restored> EditHistory::Redo(SetupModel& model, ListEvents& events)
{
    return Apply(redo_, undo_, model, events);
}

std::optional<Restored> EditHistory::Apply(std::vector<Step>& from, std::vector<Step>& to, SetupModel& model,
                                           ListEvents& events)
{
    typing_ = nullptr;
    if (from.empty())
        return std::nullopt;
    // Room first, so that a step exchanged is never lost on the way.
    to.reserve(to.size() + 1);
    Step& step = from.back();
    Restored restored = std::visit(SwapWithModel(model, events), step.change);
    restored.kind = step.kind;
    to.push_back(std::move(step));
    from.pop_back();
    return restored;
}

std::optional<EditKind> EditHistory::NextUndo() const
{
    return undo_.empty() ? std::nullopt : std::optional(undo_.back().kind);
}

std::optional<EditKind> EditHistory::NextRedo() const
{
    return redo_.empty() ? std::nullopt : std::optional(redo_.back().kind);
}

void EditHistory::Clear()
{
    undo_.clear();
    redo_.clear();
    typing_ = nullptr;
}

} // namespace tarnwick::edit
