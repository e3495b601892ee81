#pragma once

namespace tarnwick::edit {

enum class ListKind { Groups, Servers, Updates };

// What an edit does to the rows of the lists, told as item views
// need it: before a change that adds or removes rows, and after it, so that a
// list of 100,000 rows redraws only the rows that changed.
class ListEvents {
public:
    virtual ~ListEvents() = default;
    virtual void BeginInsertRows(ListKind list, int first, int last) = 0;
    virtual void EndInsertRows(ListKind list) = 0;
    virtual void BeginRemoveRows(ListKind list, int first, int last) = 0;
    virtual void EndRemoveRows(ListKind list) = 0;
    virtual void RowsChanged(ListKind list, int first, int last) = 0;
    // Everything in the list may have changed.
    virtual void BeginReset(ListKind list) = 0;
    virtual void EndReset(ListKind list) = 0;
};

// For an editor without a view.
class NoListEvents : public ListEvents {
public:
    void BeginInsertRows(ListKind, int, int) override {}
    void EndInsertRows(ListKind) override {}
    void BeginRemoveRows(ListKind, int, int) override {}
    void EndRemoveRows(ListKind) override {}
    void RowsChanged(ListKind, int, int) override {}
    void BeginReset(ListKind) override {}
    void EndReset(ListKind) override {}
};

} // namespace tarnwick::edit
