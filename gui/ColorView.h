#pragma once
#include "gui/ColorRoles.h"

#include <QColor>
#include <QWidget>

// A widget painted in one background role, following the light or dark appearance
// (IAppearance). Pages and panels place it behind their content.
class ColorView : public QWidget {
  public:
    explicit ColorView(ColorRoles::Role role, QWidget* parent = nullptr);
    // The ViewColor role with its frame and colour.
    static ColorView* initColorFrame(const QRect& frame, const QColor& color, QWidget* parent = nullptr);

    ColorRoles::Role role() const { return role_; }
    void setRole(ColorRoles::Role role);
    // The colour of the ViewColor role.
    QColor Color() const { return color; }
    void setColor(const QColor& c);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    ColorRoles::Role role_;
    QColor color;
};
