#pragma once

// Told when the arrow keys moved the selection of a TableViewEvent.
class TableViewEventDelegate {
  public:
    virtual ~TableViewEventDelegate() = default;
    virtual void SelectRowEvent(int row) {}
};
