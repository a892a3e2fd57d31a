#pragma once
#include "gui/DirizaResultView.h"
#include "gui/ResultDelivery.h"
#include "views/chat/NSDirizaWXAddressBookState.h"

#include <QStringList>

#include <mutex>

class NetworkImageFetcher;
class NSDirizaWXAddressBookContactModel;
class NSDirizaWXAddressBookGroupModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QStackedWidget;
class QTableView;
class QTreeView;
class QWidget;

// The WeChat contacts of a scan per account: the account box, the tree of contact groups
// (friends, official accounts, group chats with their subgroups), the contacts of the
// chosen group and a detail pane for one contact. Contacts are ticked singly or by
// group; saving writes the ticked contacts as CSV files.
class NSDirizaWXAddressBookView : public DirizaResultView {
  public:
    using DirizaResultView::AddDirizaFile;

    // `fetcher`: where head images come from (owned by the caller); none: the view's own.
    explicit NSDirizaWXAddressBookView(NetworkImageFetcher* fetcher = nullptr, QWidget* parent = nullptr);
    ~NSDirizaWXAddressBookView() override;

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
    void AddDirizaFile(const QList<NSWXChatAccount>* accounts) override;
    ResultDelivery* Delivery() override { return &delivery_; }

    // The view's own search field (nicknames).
    void SearchKeyFGP(const QString& text);
    void SelectAccountIndex(int index);
    // Chooses a group row (its contacts fill the table) and a contact row (the pane).
    void SelectGroup(const QModelIndex& index);
    void SelectContactRow(int row);
    void TickContact(int id, bool on);
    void TickGroup(const NSDirizaWXAddressBookState::Group& group, bool on);

    // For tests and screenshots.
    const NSDirizaWXAddressBookState& State() const { return state_; }
    QComboBox* AccountBox() const { return accountBox_; }
    QTreeView* GroupTree() const { return tree_; }
    QTableView* ContactTable() const { return table_; }
    NSDirizaWXAddressBookGroupModel* GroupModel() const { return groupModel_; }
    NSDirizaWXAddressBookContactModel* ContactModel() const { return contactModel_; }
    // The contact in the pane (-1: none).
    int ShownContact() const { return shownContact_; }
    bool ShowsNoData() const;
    bool ShowsLoading() const;
    // The detail pane's value fields, in caption order.
    QStringList InfoValues() const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The hand-over of a delivery on the GUI thread (no timer: the latest shows at once;
    // one begun before StartUpdateUI or ClearData is dropped).
    void ShowDelivery();
    void UpdataUiFinish();
    void ShowAccount();
    void ShowInfo();
    void ShowAccountImage();
    void Refresh();
    void isAllSelect();
    void ApplyLook();

    NetworkImageFetcher* fetcher_ = nullptr;
    mutable std::mutex mutex_;
    NSDirizaWXAddressBookState state_;
    // The latest delivery, until it is shown (GUI thread).
    QList<NSWXChatAccount> pending_;
    ResultDelivery delivery_;
    bool isLoad_ = false;
    QString searchKey_;
    int shownAccount_ = -1;
    int shownContact_ = -1;

    QStackedWidget* stack_ = nullptr;
    QLabel* loadingInfo_ = nullptr;
    QLabel* accountImage_ = nullptr;
    QComboBox* accountBox_ = nullptr;
    QLineEdit* search_ = nullptr;
    QTreeView* tree_ = nullptr;
    QTableView* table_ = nullptr;
    NSDirizaWXAddressBookGroupModel* groupModel_ = nullptr;
    NSDirizaWXAddressBookContactModel* contactModel_ = nullptr;
    QScrollArea* infoScroll_ = nullptr;
    QWidget* infoView_ = nullptr;
    QLabel* headImage_ = nullptr;
    QLabel* headName_ = nullptr;
    // Name, remark, user name, WeChat id, region, phone, signature.
    static constexpr int kInfoRows = 7;
    QLabel* captions_[kInfoRows] = {};
    QLabel* values_[kInfoRows] = {};
    bool fillingBox_ = false;
};
