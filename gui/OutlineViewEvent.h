#pragma once
#include "gui/OutlineViewEventDelegate.h"

#include <QTreeView>

// A tree that reports selection moves made with the up and down arrows, like
// TableViewEvent: its delegate gets OutlineViewSelectRowEvent with the view.
class OutlineViewEvent : public QTreeView {
  public:
    explicit OutlineViewEvent(QWidget* parent = nullptr);
    OutlineViewEventDelegate* Eventdelegate() const { return delegate_; }
    void setEventdelegate(OutlineViewEventDelegate* d) { delegate_ = d; }
    // The selected item, or an invalid index.
    QModelIndex selectedItem() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    OutlineViewEventDelegate* delegate_ = nullptr;
};
