#pragma once
#include "scan/ITrustPrompt.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// The trust prompt window: asks the user to unlock the device and tap "Trust", with a
// confirm button. Confirming closes the window and runs the handler once; closing it
// with its close button drops the handler.
class DeviceAuthorizationMessageWindow : public QWidget, public ITrustPrompt {
    Q_OBJECT
  public:
    explicit DeviceAuthorizationMessageWindow(QWidget* parent = nullptr);

    // The one window of the application (created on first use, on the GUI thread).
    static DeviceAuthorizationMessageWindow* shareInstance();

    void Show(std::function<void()> handlerComplete) override;
    void Close() override;

    // The confirm button.
    void CompleteBtEvent();
    // The window's close button.
    void CloesButtonEvent();

    QPushButton* confirmButton() const { return confirm; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::function<void()> handlerComplete;
    QLabel* message = nullptr;
    QPushButton* confirm = nullptr;
};
