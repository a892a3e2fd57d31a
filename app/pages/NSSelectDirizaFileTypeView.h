#pragma once
#include "app/pages/NSSelectDirizaFileTypeViewDelegate.h"
#include "scan/IDeviceManage.h"

#include <QStringList>
#include <QWidget>

#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

// The page on which the user picks the kinds of data to recover. It owns the type
// selection: 17 texts "1" (wanted) or "0", indexed by type number. WhatsApp (15, 16) is
// never offered; WeChat (12 to 14) only in Simplified Chinese.
class NSSelectDirizaFileTypeView final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int TypeCount = 17;

    NSSelectDirizaFileTypeView(IDeviceManage& manager, QWidget* parent = nullptr);

    void setDelegate(NSSelectDirizaFileTypeViewDelegate* receiver) { delegate = receiver; }
    void setLanguage(int language);
    // A fresh choice for a newly chosen device or backup: every offered type ticked.
    void SetDeviceInfo(const QString& name);
    void SetBackButtonVisible(bool visible);

    const QStringList& Selection() const { return SelectFileTypeData; }
    bool isWaiting() const;

    // Controls, for the owner pages and tests.
    QCheckBox* TypeBox(int type) const { return boxes[size_t(type)]; }
    QCheckBox* AllSelectBox() const { return AllSelect; }
    QCheckBox* AllSelect2Box() const { return AllSelect2; }
    QPushButton* StartButton() const { return StartDirizaButton; }
    QPushButton* BackButtonWidget() const { return BackButton; }
    QWidget* AppGroup() const { return AppView; }
    QLabel* DeviceName() const { return DeviceNameText; }

    void StartDirizaButtonEvent();
    void BackButtonEvent();
    void AllSelectEvent(QCheckBox* sender);
    void CheckAllSelect();

  private:
    void TypeEvent(int type, bool on);
    void ShowWeChat(bool shown);
    void Reapply(bool dark);
    void ShowAlert(const QString& text);

    IDeviceManage& manager;
    NSSelectDirizaFileTypeViewDelegate* delegate = nullptr;
    QStringList SelectFileTypeData;
    std::array<QCheckBox*, TypeCount> boxes{};
    QCheckBox* AllSelect;
    QCheckBox* AllSelect2;
    QLabel* DeviceNameText;
    QLabel* SelectDirizaText;
    QLabel* CommonText;
    QLabel* PhotoVideoText;
    QLabel* AppText;
    QWidget* AppTitleView;
    QWidget* AppView;
    QList<QFrame*> titleFrames, contentFrames;
    QStackedWidget* panes;
    QWidget* SelectFileTypeView;
    QWidget* LoadingView;
    QProgressBar* LoadingAnimation;
    QLabel* LoadingText;
    QPushButton* StartDirizaButton;
    QPushButton* BackButton;
};
