#pragma once
#include "gui/TitleViewBackgroundViewDelegate.h"

#include <QWidget>

// A title bar area whose background its delegate paints. The delegate is not owned:
// clear it (set null) before it goes away.
class TitleViewBackgroundView : public QWidget {
  public:
    explicit TitleViewBackgroundView(QWidget* parent = nullptr);
    TitleViewBackgroundViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TitleViewBackgroundViewDelegate* d);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TitleViewBackgroundViewDelegate* delegate_ = nullptr;
};
