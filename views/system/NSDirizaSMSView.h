#pragma once
#include "gui/DirizaResultView.h"
#include "gui/ResultDelivery.h"
#include "gui/TableViewEventDelegate.h"
#include "views/system/SmsConversations.h"
#include "views/system/SmsModels.h"

#include <QMap>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <mutex>

class NSSMSListCell;
class QLabel;
class QListView;
class QStackedWidget;
class TableHeadrView;
class TableViewEvent;
class BDTableRowView;

// The SMS result: the conversations on the left (tick, address, contact name), the
// messages of the clicked conversation on the right as chat bubbles. Saving writes one
// CSV file per ticked conversation into the folder "<SMS>" inside the chosen folder.
//
// Threads: AddDirizaFile (scan thread) hands the conversations to the GUI thread through
// ResultDelivery: one begun before StartUpdateUI or ClearData (or sent after ClearData)
// is dropped, and the 1.0 s timer shows the latest (UpdataUiFinish). DirizaData (save thread) takes a
// snapshot of the conversations to write under the data lock, then writes from the snapshot only.
class NSDirizaSMSView : public DirizaResultView, private TableViewEventDelegate {
  public:
    explicit NSDirizaSMSView(QWidget* parent = nullptr);
    ~NSDirizaSMSView() override;

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
    using DirizaResultView::AddDirizaFile;
    void AddDirizaFile(const QMap<QString, NSSMSHeadData>& conversations) override;
    ResultDelivery* Delivery() override { return &delivery_; }

    // The timer's step: shows the data that arrived, if any.
    void UpdataUiFinish();
    // A conversation row was chosen (click or arrow keys): its messages are listed.
    // Rows outside the shown conversations change nothing.
    void SelectRowEvent(int row) override;
    // A click on the conversation table (a row or the space below the last one), a
    // search or a reload of its rows: list the selected row's messages, or none.
    void SelectPhoneEvent();
    // The tick box of one conversation (by key).
    void SelectSMSData(const QString& key);
    void RemoveSMSData(const QString& key);
    // The header's tick box: ticks every shown conversation (on) or none.
    void AllSelectRecovryEvent(bool on);
    // A click on the header's tick section toggles it.
    void HeaderClicked();

    // For tests and the page.
    bool ShowsLoading() const;
    bool ShowsNoData() const;
    bool HeaderTicked() const;
    QString InfoText() const;
    TableViewEvent* PhoneList() const { return PhoneList_; }
    QListView* SMSContentList() const { return SMSContentList_; }
    const SmsConversationModel& ConversationModel() const { return *phoneModel_; }
    const SmsMessageModel& MessageModel() const { return smsModel_; }
    // The conversation key of a shown row ("" outside).
    QString KeyAtRow(int row) const;

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class State { Empty, Loading, NoData, Data };
    void ShowState(State state);
    void ApplyLook();
    void ReloadPhones();
    void isDirizaSelect();
    void isAllSelect();
    void SetHeader(bool on);

    // Guards the conversations and their ticks against the save thread's snapshot;
    // taken by the GUI thread whenever it changes them.
    mutable std::mutex dataMutex_;
    SmsConversations data_;

    // The latest delivery, until the timer shows it (GUI thread).
    QMap<QString, NSSMSHeadData> pending_;
    State state_ = State::Empty;

    QStackedWidget* stack_ = nullptr;
    QLabel* LoadingInfo_ = nullptr;
    QWidget* DirizaView_ = nullptr;
    TableViewEvent* PhoneList_ = nullptr;
    TableHeadrView* TableHeaderView_ = nullptr;
    QListView* SMSContentList_ = nullptr;
    SmsConversationModel* phoneModel_ = nullptr;
    SmsMessageModel smsModel_;
    BDTableRowView* phoneRows_ = nullptr;
    NSSMSListCell* smsCell_ = nullptr;
    ResultDelivery delivery_;
};
