#pragma once
#include "scan/NSBookmarksData.h"
#include "scan/NSCalendarData.h"
#include "scan/NSCallLogData.h"
#include "scan/NSContactData.h"
#include "scan/NSDeletedFile.h"
#include "scan/NSMemoData.h"
#include "scan/NSRemindersData.h"
#include "scan/NSSMSHeadData.h"
#include "scan/NSWXChatAccount.h"
#include "scan/NSWXChatRecordData.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>
#include <string>

struct BookmarkRecord;
struct CalendarRecord;
struct CallRecord;
struct ContactRecord;
struct MediaFileRecord;
struct NoteRecord;
struct ReminderRecord;
struct SmsConversationRecord;
struct WxContactRecord;
struct WxSessionRecord;

// Turns the record list of a finished parser into the result record objects the
// recovery page shows. Called on the scan thread by the scan bridge (DeviceScanManager),
// which delivers the results and keeps the WeChat account objects; the converter itself
// keeps no state between lists.
class ScanRecordConverter {
  public:
    // What a conversion asks of the bridge. Every hook is set.
    struct Hooks {
        // Called before each record: waits out a pause.
        std::function<void()> waitWhilePaused;
        // Text of a key of the "Language" table; nothing when there is no table.
        std::function<std::optional<QString>(const QString& key)> text;
        // Sends a progress message (the WeChat chat conversion reports per message).
        std::function<void(int value, int maximum, const QString& text)> progressText;
        // true leaves a WeChat contact (alias, nickname) out of the contact trees.
        std::function<bool(const QString& alias, const QString& nickName)> wxContactFilter;
        // Path of the stored file of a WeChat device path in the backup, or "".
        std::function<QString(const QString& devicePath)> wxResourceLookup;
    };

    // The photos (kind 0) and the other files of an attachment list.
    struct Attachments {
        QList<NSDeletedFile> photos, media;
    };

    explicit ScanRecordConverter(Hooks hooks);

    // A record's text as UTF-8, up to its first NUL; nothing when it is not valid UTF-8.
    static std::optional<QString> Utf8Text(const std::string& bytes);
    // The same, "" in place of nothing.
    static QString TextOrEmpty(const std::string& bytes);

    QMap<QString, NSSMSHeadData> ConvertSms(const SmsConversationRecord* first) const;
    QList<NSCallLogData> ConvertCalls(const CallRecord* first) const;
    QList<NSContactData> ConvertContacts(const ContactRecord* first) const;
    QList<NSBookmarksData> ConvertBookmarks(const BookmarkRecord* first) const;
    QList<NSMemoData> ConvertReminders(const ReminderRecord* first) const;
    QList<NSRemindersData> ConvertNotes(const NoteRecord* first) const;
    QList<NSCalendarData> ConvertCalendar(const CalendarRecord* first) const;
    // Files of the media listing; `backupRoot` ends in "/".
    QList<NSDeletedFile> ConvertMedia(const MediaFileRecord* first, const QString& backupRoot) const;
    Attachments ConvertAttachments(const MediaFileRecord* first, const QString& backupRoot) const;
    // Adds the contacts to the trees of the accounts (in account order); true when any
    // account has a contact afterwards.
    bool ConvertWxContacts(const WxContactRecord* first, QList<NSWXChatAccount>& accounts) const;
    // Adds the chats to the accounts (by account key); `keyByIndex` gives the account key of
    // an account position ("%d").
    void ConvertWxChats(const WxSessionRecord* first, QMap<QString, NSWXChatRecordData>& accounts,
                        const QHash<QString, QString>& keyByIndex) const;

  private:
    QString WxMediaPath(const QString& root, const std::string& mediaPath, const char* suffix) const;

    Hooks hooks;
};
