#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// Calls a widget's re-apply function (images, colours) when it is first shown and
// whenever its palette or style changes, so the widget follows the light or dark
// appearance. Owned by the widget (a child object).
class AppearanceWatcher final : public QObject {
  public:
    // Watches `widget`; `reapply` gets whether the widget is now dark.
    AppearanceWatcher(QWidget* widget, std::function<void(bool dark)> reapply);
    // Calls the re-apply function now.
    void Reapply();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> widget;
    std::function<void(bool)> reapply;
    bool shown = false;
};
