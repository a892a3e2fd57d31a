#pragma once
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Shows an alert: an informational (or warning) message box with buttons in the given
// order. The response is 1000 for the first button, 1001 for the second, and so on.
// GUI thread only.
class IAlertPresenter {
  public:
    enum { FirstButton = 1000, SecondButton = 1001, ThirdButton = 1002 };
    enum class Style { Informational, Warning };

    struct Alert {
        QString messageText;     // the bold line; usually empty
        QString informativeText; // the text of the alert
        QStringList buttons;     // button titles in order; empty: one "OK" button
        Style style = Style::Informational;
    };

    virtual ~IAlertPresenter() = default;
    // Runs the alert modally and returns the response.
    virtual int RunModal(QWidget* parent, const Alert& alert) = 0;
    // Shows the alert as a window-modal sheet on `window` and returns at once; `done`
    // gets the response on the GUI thread (not called when the window goes first).
    virtual void BeginSheet(QWidget* window, const Alert& alert, std::function<void(int)> done) = 0;

    // The presenter windows use: the one set with SetCurrent, else QMessageBox's
    // (AlertPresenter).
    static IAlertPresenter& Current();
    // Replaces the presenter (tests); null restores the real one.
    static void SetCurrent(IAlertPresenter* presenter);
};
