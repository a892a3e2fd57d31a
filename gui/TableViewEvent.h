#pragma once
#include "gui/TableViewEventDelegate.h"

#include <QTableView>

// A table that reports selection moves made with the up and down arrows: after the
// table's own handling of the key, its delegate gets SelectRowEvent with the selected
// row. Other keys and mouse clicks report nothing this way. With no row selected the
// arrows select nothing. The delegate is not owned: clear it before it goes away.
class TableViewEvent : public QTableView {
  public:
    explicit TableViewEvent(QWidget* parent = nullptr);
    TableViewEventDelegate* Eventdelegate() const { return delegate_; }
    void setEventdelegate(TableViewEventDelegate* d) { delegate_ = d; }
    // The selected row, or -1.
    int selectedRow() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    TableViewEventDelegate* delegate_ = nullptr;
};
