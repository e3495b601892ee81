#pragma once

#include <QTableView>

namespace tarnwick::ui {

// A report list: whole rows, at most one selected. A click below the last row
// selects nothing, whatever the Qt version does with the focus it brings.
class TReportList : public QTableView {
    Q_OBJECT

public:
    explicit TReportList(QWidget* parent = nullptr);

    // The selected row, or -1.
    int SelectedRow() const;
    void ShowSelectedRow(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace tarnwick::ui
