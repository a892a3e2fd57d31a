#pragma once
#include "scan/NSBookmarksData.h"
#include "scan/NSCalendarData.h"
#include "scan/NSCallLogData.h"
#include "scan/NSContactData.h"
#include "scan/NSDeletedFile.h"
#include "scan/NSMemoData.h"
#include "scan/NSRemindersData.h"
#include "scan/NSSMSHeadData.h"
#include "core/records/ScanLoss.h"

#include <QList>
#include <QMap>
#include <QString>

class NSWXChatAccount;
class NSWXChatRecordData;

// Receiver of a scan's results (the recovery page). Every message is optional (the
// defaults do nothing) and is sent on the scan thread; the receiver moves work to its
// own thread itself. Each delivery is a fresh set of values owned by the receiver.
class ScanFileDelegate {
  public:
    virtual ~ScanFileDelegate() = default;

    // Declared for completeness; never sent.
    virtual void ScanFile(const QList<NSDeletedFile>& files) {}
    virtual void ScanContact(const QList<NSContactData>& contacts) {}
    virtual void ScanBookmarks(const QList<NSBookmarksData>& bookmarks) {}
    virtual void ScanCallLog(const QList<NSCallLogData>& calls) {}
    // Conversation key -> conversation.
    virtual void ScanSMS(const QMap<QString, NSSMSHeadData>& conversations) {}
    // Notes (note rows travel in NSRemindersData).
    virtual void ScanMemo(const QList<NSRemindersData>& notes) {}
    virtual void ScanCalendar(const QList<NSCalendarData>& events) {}
    // Reminders (reminder rows travel in NSMemoData).
    virtual void ScanReminders(const QList<NSMemoData>& reminders) {}
    virtual void ScanPhoto(const QList<NSDeletedFile>& photos) {}
    virtual void ScanVideo(const QList<NSDeletedFile>& videos) {}
    virtual void ScanMusic(const QList<NSDeletedFile>& voiceMemos) {}
    // Attachments: photos first, every other kind second.
    virtual void ScanSMSAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {}
    virtual void ScanWXAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {}
    virtual void ScanMemoAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {}
    // WeChat contact trees of every account of the scan (null when the delivered list
    // was empty), and the WeChat accounts with their chats by account key; both are
    // sent once per account, each time with the fuller state of all accounts.
    virtual void ScanWXAddressBook(const QList<NSWXChatAccount>* accounts) {}
    virtual void ScanWXChat(const QMap<QString, NSWXChatRecordData>& accounts) {}
    // Progress: value out of nTotalProgress, and the progress text. The latest values
    // are also kept in the scan's ScanProgressHolder for a timer to read.
    virtual void Scanning(int value, int nTotalProgress, const QString& ScanText) {}
    // What the scan could not read, one entry per data type and kind with the counts
    // summed; sent once, before ScanEnd, and only when something was lost.
    virtual void ScanLosses(const std::vector<ScanLoss>& losses) {}
    // The scan is over; always the last message of a scan.
    virtual void ScanEnd() {}
};
