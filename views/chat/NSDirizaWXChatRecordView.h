#pragma once
#include "gui/DirizaResultView.h"
#include "gui/ResultDelivery.h"
#include "views/chat/NSDirizaWXChatRecordState.h"
#include "views/chat/WXChatExport.h"

#include <mutex>

class IPreviewService;
class NetworkImageFetcher;
class NSDirizaWXChatFriendModel;
class NSDirizaWXChatMessageModel;
class NSWXChatRecordCellImages;
class NSWXChatRecordContentCell;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class TableHeadrView;
class TableViewEvent;

// The WeChat chats of a scan: an account box with the account's head image, the friends
// of the chosen account (ticked per friend) and the chosen friend's messages drawn as
// chat bubbles. Saving writes one CSV file per ticked friend with copies of its media.
//
// Each delivery (one per account, each with the fuller state) replaces the data; ticks
// of friends that are still there stay; it reaches the GUI thread through ResultDelivery
// (no timer: the latest shows at once; one begun before StartUpdateUI or ClearData is
// dropped). Head images come from the network fetcher.
class NSDirizaWXChatRecordView : public DirizaResultView {
  public:
    using DirizaResultView::AddDirizaFile;

    // `fetcher`: where head images and link pictures come from (owned by the caller);
    // none: a network fetcher of the view's own.
    explicit NSDirizaWXChatRecordView(IPreviewService& preview, NetworkImageFetcher* fetcher = nullptr,
                                      QWidget* parent = nullptr);
    ~NSDirizaWXChatRecordView() override;

    void setLanguage(int language) override;
    void StartUpdateUI() override;
    void SearchKey(const QString& key) override;
    QString GetSearchKey() const override;
    void AllSelect() override;
    void ClearSelect() override;
    bool isSelectData() const override;
    DirizaSaveResult DirizaData(const QString& folder) override;
    void ClearData() override;
    void SetShowDeleteFile(bool onlyDeleted) override;
    bool GetShowDeleteFile() const override;
    void AddDirizaFile(const QMap<QString, NSWXChatRecordData>& accounts) override;
    ResultDelivery* Delivery() override { return &delivery_; }

    // The friend search of the view's own search field.
    void SearchKeyFGP(const QString& text);
    // Chooses an account of the box / a friend row.
    void SelectAccountEvent(int index);
    void SelectFriendsEvent(int row);
    // Ticks one friend row of the shown account; the header box of the shown account.
    void TickFriend(int row, bool on);
    void SelectAllFriendsEvent(bool on);
    // The clock of media copy names (milliseconds since 1970); tests fix it.
    void SetClock(WXChatExport::Clock clock);

    // For tests and screenshots.
    const NSDirizaWXChatRecordState& State() const { return state_; }
    QComboBox* AccountBox() const { return accountBox_; }
    TableViewEvent* FriendTable() const { return friendTable_; }
    QListView* MessageList() const { return messageList_; }
    QLineEdit* SearchField() const { return search_; }
    NSWXChatRecordContentCell* MessageCell() const { return cell_; }
    bool ShowsNoData() const;
    bool ShowsLoading() const;
    bool HeaderTicked() const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The hand-over of a delivery on the GUI thread.
    void ShowDelivery();
    void UpdataUiFinish();
    void FillAccountBox();
    void ShowAccountImage();
    void ReloadFriends();
    void ReloadMessages();
    void isDirizaSelect();
    void isAllSelect();
    void ApplyLook();

    IPreviewService& preview_;
    NetworkImageFetcher* fetcher_ = nullptr;
    NSWXChatRecordCellImages* images_ = nullptr;

    // Changed on the GUI thread only, under the mutex; the save reads it under the mutex.
    mutable std::mutex mutex_;
    NSDirizaWXChatRecordState state_;
    // The latest delivery, until it is shown (GUI thread).
    QMap<QString, NSWXChatRecordData> pending_;
    ResultDelivery delivery_;
    bool isLoad_ = false;
    QString searchKey_;
    WXChatExport::Clock clock_;

    QStackedWidget* stack_ = nullptr;
    QLabel* loadingInfo_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* headImage_ = nullptr;
    QComboBox* accountBox_ = nullptr;
    TableViewEvent* friendTable_ = nullptr;
    TableHeadrView* header_ = nullptr;
    QListView* messageList_ = nullptr;
    NSDirizaWXChatFriendModel* friendModel_ = nullptr;
    NSDirizaWXChatMessageModel* messageModel_ = nullptr;
    NSWXChatRecordContentCell* cell_ = nullptr;
    bool fillingBox_ = false;
};
