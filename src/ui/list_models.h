#pragma once

#include "config/model.h"
#include "edit/list_events.h"
#include "ui/qt_text.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

namespace tarnwick::ui {

// One of the window's lists as an item model: reads the core's records in
// place, and is told by the window logic which rows an operation changed.
class ReportModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void BeginInsert(int first, int last) { beginInsertRows({}, first, last); }
    void EndInsert() { endInsertRows(); }
    void BeginRemove(int first, int last) { beginRemoveRows({}, first, last); }
    void EndRemove() { endRemoveRows(); }
    void Changed(int first, int last) { emit dataChanged(index(first, 0), index(last, columnCount({}) - 1)); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
};

// A stored choice word in the window's language; other text as it is.
QString ChoiceWordShown(const std::string& gbk);

template <class Record>
class RecordTableModel : public ReportModel {
public:
    using Field = std::string Record::*;

    // choices: the columns that hold choice words, shown in the window's language.
    RecordTableModel(const RecordList<Record>& records, std::vector<Field> columns, QStringList captions,
                     std::vector<Field> choices = {})
        : records_(records), columns_(std::move(columns)), captions_(std::move(captions)), choices_(std::move(choices))
    {
    }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(records_.Count());
    }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const Record& record = records_.At(static_cast<std::size_t>(index.row()));
        const Field column = columns_.at(static_cast<std::size_t>(index.column()));
        if (std::find(choices_.begin(), choices_.end(), column) != choices_.end())
            return ChoiceWordShown(record.*column);
        return ToQString(record.*column);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= captions_.size())
            return {};
        return captions_.at(section);
    }

private:
    const RecordList<Record>& records_;
    std::vector<Field> columns_;
    QStringList captions_;
    std::vector<Field> choices_;
};

// The three lists of the main window, told of changes by its logic.
class ListModels : public edit::ListEvents {
public:
    ListModels(const SetupModel& model, const QStringList& serverCaptions, const QStringList& updateCaptions);

    ReportModel& Groups() { return groups_; }
    ReportModel& Servers() { return servers_; }
    ReportModel& Updates() { return updates_; }

    void BeginInsertRows(edit::ListKind list, int first, int last) override { Of(list).BeginInsert(first, last); }
    void EndInsertRows(edit::ListKind list) override { Of(list).EndInsert(); }
    void BeginRemoveRows(edit::ListKind list, int first, int last) override { Of(list).BeginRemove(first, last); }
    void EndRemoveRows(edit::ListKind list) override { Of(list).EndRemove(); }
    void RowsChanged(edit::ListKind list, int first, int last) override { Of(list).Changed(first, last); }
    void BeginReset(edit::ListKind list) override { Of(list).BeginReset(); }
    void EndReset(edit::ListKind list) override { Of(list).EndReset(); }

private:
    ReportModel& Of(edit::ListKind list);

    RecordTableModel<ServerGroup> groups_;
    RecordTableModel<ServerEntry> servers_;
    RecordTableModel<UpdateEntry> updates_;
};

} // namespace tarnwick::ui
