#pragma once
#include "app/pages/NSGuideViewDelegate.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class NSGuideView;
class QScreen;
class QWidget;

// Opens the windows of a start: the main window (centred on the primary screen, its
// size becoming its minimum) or the guide (fixed size).
class NSMainView final : public QObject, private NSGuideViewDelegate {
    Q_OBJECT
  public:
    // `mainWindow` is the window ActivationPCRecovery shows; the caller keeps it.
    explicit NSMainView(QWidget* mainWindow);
    ~NSMainView() override;

    // Opens the main window centred on the primary screen; one already open only comes
    // to the front, its size and place unchanged.
    void ActivationPCRecovery();
    void ActivationMobileRecovery();
    NSGuideView* Guide() const;

    // Where a window of `size` stands centred in `available`.
    static QPoint CentredOrigin(const QRect& available, const QSize& size);

  private:
    void SelectPCRecovery() override;
    void SelectMobileRecovery() override;

    QPointer<QWidget> Window;
    std::unique_ptr<NSGuideView> guide;
};
