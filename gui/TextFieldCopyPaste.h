#pragma once
#include <QObject>

class QKeyEvent;

// Ctrl+C and Ctrl+V (exactly Ctrl, no other modifier) copy from and paste into the
// focused text field or text view of every window of the application; every other key
// takes its usual way.
class TextFieldCopyPaste final : public QObject {
    Q_OBJECT

  public:
    // Installs the one filter on the application (once).
    static void Install();
    // Handles the key for the focus widget; true when it was Ctrl+C or Ctrl+V on a
    // text field or text view.
    static bool Handle(QObject* focus, const QKeyEvent& key);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit TextFieldCopyPaste(QObject* parent) : QObject(parent) {}
};
