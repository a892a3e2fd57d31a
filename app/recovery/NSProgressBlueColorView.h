#pragma once
#include <QWidget>

// The fill bar of the scan progress bar: a grey rectangle with a light-blue (dark
// appearance: grey) inner band.
class NSProgressBlueColorView : public QWidget {
  public:
    explicit NSProgressBlueColorView(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
