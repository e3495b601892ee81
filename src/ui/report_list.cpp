#include "ui/report_list.h"

#include <QItemSelectionModel>
#include <QMouseEvent>

namespace tarnwick::ui {

TReportList::TReportList(QWidget* parent) : QTableView(parent) {}

int TReportList::SelectedRow() const
{
    if (!selectionModel())
        return -1;
    const auto rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TReportList::ShowSelectedRow(int row)
{
    if (row < 0) {
        selectionModel()->clear();
        return;
    }
    selectRow(row);
}

void TReportList::mousePressEvent(QMouseEvent* event)
{
    QTableView::mousePressEvent(event);
    if (!indexAt(event->position().toPoint()).isValid())
        selectionModel()->clear();
}

} // namespace tarnwick::ui
