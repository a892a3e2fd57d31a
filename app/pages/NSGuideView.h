#pragma once
#include "app/pages/NSGuideViewDelegate.h"

#include <QWidget>

class QLabel;
class QPushButton;

// The guide window: two offers, the companion package or the main window.
class NSGuideView final : public QWidget {
    Q_OBJECT
  public:
    explicit NSGuideView(QWidget* parent = nullptr);

    void setDelegate(NSGuideViewDelegate* receiver) { delegate = receiver; }
    void setLanguage(int language);
    void GuidePC_Bt_Event();
    void GuideIOS_Bt_Event();
    void CloseGuide();

    QPushButton* PCButton() const { return pcButton; }
    QPushButton* IOSButton() const { return iosButton; }

  private:
    NSGuideViewDelegate* delegate = nullptr;
    QLabel* GuideTitle;
    QLabel* GuidePCTitle;
    QLabel* GuidePCText;
    QLabel* GuideIOSTitle;
    QLabel* GuideIOSText;
    QPushButton* pcButton;
    QPushButton* iosButton;
};
