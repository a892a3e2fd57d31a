#pragma once
#include "gui/DirizaSaveResult.h"
#include "gui/NSDirizaDataUpdateDelegate.h"
#include "scan/ScanFileDelegate.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QWidget>

#include <atomic>

class ResultDelivery;

// One result view of the recovery page: it shows the records of one data type, lets
// the user tick them, and writes the ticked ones into a folder.
//
// Threads: the AddDirizaFile overloads arrive on the scan thread and DirizaData runs on
// the save thread; everything else arrives on the GUI thread. A view touches no widget
// from the scan or save thread: AddDirizaFile stores the data (under the view's own
// lock) and the GUI thread picks it up (a timer or MainQueue).
//
// Lifecycle: created, setDelegate (and SetDirizaType), setLanguage at any time; per scan
// StartUpdateUI, then AddDirizaFile (again for each WeChat account: the latest delivery
// replaces the earlier one), then any number of the GUI operations and DirizaData;
// ClearData when the user leaves the page.
//
// A view overrides the AddDirizaFile overload of its own collection; a subclass that
// overrides one overload should say `using DirizaResultView::AddDirizaFile;`.
class DirizaResultView : public QWidget {
  public:
    // Type numbers: the index of a data type in the type selection.
    enum Type {
        Photo = 0,
        Video = 1,
        SMSAttachment = 2,
        MemoAttachment = 3,
        VoiceMemo = 4,
        SMS = 5,
        CallLog = 6,
        Contact = 7,
        Bookmarks = 8,
        Reminders = 9,
        Notes = 10,
        Calendar = 11,
        WXAddressBook = 12,
        WXChat = 13,
        WXAttachment = 14,
    };
    static constexpr int TypeCount = 15;
    // Types with a show-deleted state (SMS to WeChat chats, WeChat attachments excluded).
    static bool HasShowDeletePair(int type) { return type >= SMS && type <= WXChat; }

    explicit DirizaResultView(QWidget* parent = nullptr);
    ~DirizaResultView() override;

    // The receiver of the view's messages, not owned; set once right after creation,
    // and cleared (nullptr) by its owner before it goes.
    void setDelegate(NSDirizaDataUpdateDelegate* delegate) { delegate_.store(delegate); }
    NSDirizaDataUpdateDelegate* delegate() const { return delegate_.load(); }

    // The type number the view reports with; once after creation, before it is shown
    // (the attachment views: 2, 3 or 14).
    virtual void SetDirizaType(int type) { type_.store(type); }
    int DirizaType() const { return type_.load(); }

    // GUI thread: the interface language changed; the view sets its texts again.
    virtual void setLanguage(int language) = 0;
    // GUI thread, at the start of every scan before any result: forget the selection,
    // search key "", show "ScanLoading", watch for results.
    virtual void StartUpdateUI() = 0;
    // GUI thread: filter the shown records ("" removes the filter); the current key,
    // "" when none was set.
    virtual void SearchKey(const QString& key) = 0;
    virtual QString GetSearchKey() const = 0;
    // GUI thread: tick / untick every record, with the view's select-all box.
    virtual void AllSelect() = 0;
    virtual void ClearSelect() = 0;
    // True when at least one record is ticked (GUI thread, and the save thread after
    // the view's own save).
    virtual bool isSelectData() const = 0;
    // Save thread: writes the ticked records into `folder` (through SaveFolder only),
    // asking isStopSave before each item and reporting SaveDataProgress. Returns at
    // once with {0, 0} when nothing is ticked.
    virtual DirizaSaveResult DirizaData(const QString& folder) = 0;
    // GUI thread: drop every record and the selection.
    virtual void ClearData() = 0;

    // The show-deleted state (views of SMS to WeChat chats): true shows only deleted
    // records; setting it applies an active search again. Others ignore it.
    virtual void SetShowDeleteFile(bool onlyDeleted) {}
    virtual bool GetShowDeleteFile() const { return false; }

    // Scan thread: the whole result of the view's data type for this scan. Every
    // overload ignores what does not belong to the view.
    virtual void AddDirizaFile(const QList<NSDeletedFile>& files) {} // 0, 1, 4
    virtual void AddDirizaFile(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
    }                                                                                // 2, 3, 14
    virtual void AddDirizaFile(const QMap<QString, NSSMSHeadData>& conversations) {} // 5
    virtual void AddDirizaFile(const QList<NSCallLogData>& calls) {}                 // 6
    virtual void AddDirizaFile(const QList<NSContactData>& contacts) {}              // 7
    virtual void AddDirizaFile(const QList<NSBookmarksData>& bookmarks) {}           // 8
    virtual void AddDirizaFile(const QList<NSMemoData>& reminders) {}                // 9
    virtual void AddDirizaFile(const QList<NSRemindersData>& notes) {}               // 10
    virtual void AddDirizaFile(const QList<NSCalendarData>& events) {}               // 11
    virtual void AddDirizaFile(const QList<NSWXChatAccount>* accounts) {}            // 12, may be null
    virtual void AddDirizaFile(const QMap<QString, NSWXChatRecordData>& accounts) {} // 13

    // The view's hand-over of scan results to the GUI thread (ResultDelivery); none for
    // a view without one.
    virtual ResultDelivery* Delivery() { return nullptr; }

  protected:
    // Helpers for the save: the delegate's answers, safe without a delegate.
    bool StopRequested() const;
    void ReportSaveProgress(int total, int current) const;

  private:
    std::atomic<NSDirizaDataUpdateDelegate*> delegate_{nullptr};
    std::atomic<int> type_{-1};
};
