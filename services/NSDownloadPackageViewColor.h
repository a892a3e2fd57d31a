#pragma once
#include <QWidget>

// The panel behind the companion package window's content: a white rounded rectangle
// (corner radius 20) inset by 100 at the left and right, 65 at the top and 75 at the
// bottom.
class NSDownloadPackageViewColor : public QWidget {
  public:
    explicit NSDownloadPackageViewColor(QWidget* parent = nullptr);
    QRect PanelRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};
