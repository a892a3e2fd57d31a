#pragma once
// A ScanFileDelegate that records every delivery, in order, with its values.
#include "scan/NSWXChatAccount.h"
#include "scan/NSWXChatRecordData.h"
#include "scan/ScanFileDelegate.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

namespace scantest {

class RecordingScanReceiver : public ScanFileDelegate {
  public:
    struct Progress {
        int value, maximum;
        QString text;
    };

    void ScanContact(const QList<NSContactData>& v) override {
        Note("ScanContact", [&] { contacts = v; });
    }
    void ScanBookmarks(const QList<NSBookmarksData>& v) override {
        Note("ScanBookmarks", [&] { bookmarks = v; });
    }
    void ScanCallLog(const QList<NSCallLogData>& v) override {
        Note("ScanCallLog", [&] { calls = v; });
    }
    void ScanSMS(const QMap<QString, NSSMSHeadData>& v) override {
        Note("ScanSMS", [&] { sms = v; });
    }
    void ScanMemo(const QList<NSRemindersData>& v) override {
        Note("ScanMemo", [&] { notes = v; });
    }
    void ScanCalendar(const QList<NSCalendarData>& v) override {
        Note("ScanCalendar", [&] { events = v; });
    }
    void ScanReminders(const QList<NSMemoData>& v) override {
        Note("ScanReminders", [&] { reminders = v; });
    }
    void ScanPhoto(const QList<NSDeletedFile>& v) override {
        Note("ScanPhoto", [&] { photos = v; });
    }
    void ScanVideo(const QList<NSDeletedFile>& v) override {
        Note("ScanVideo", [&] { videos = v; });
    }
    void ScanMusic(const QList<NSDeletedFile>& v) override {
        Note("ScanMusic", [&] { music = v; });
    }
    void ScanSMSAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Note("ScanSMSAttachment", [&] { smsAttachments = {p, m}; });
    }
    void ScanWXAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Note("ScanWXAttachment", [&] { wxAttachments = {p, m}; });
    }
    void ScanMemoAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Note("ScanMemoAttachment", [&] { noteAttachments = {p, m}; });
    }
    void ScanWXAddressBook(const QList<NSWXChatAccount>* v) override {
        Note("ScanWXAddressBook", [&] { wxAddressBooks.append(v ? std::optional(*v) : std::nullopt); });
    }
    void ScanWXChat(const QMap<QString, NSWXChatRecordData>& v) override {
        Note("ScanWXChat", [&] { wxChats.append(v); });
    }
    void Scanning(int value, int maximum, const QString& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        progress.append({value, maximum, text});
        if (onProgress) onProgress(value, maximum, text);
    }
    void ScanLosses(const std::vector<ScanLoss>& v) override {
        Note("ScanLosses", [&] { losses = v; });
    }
    void ScanEnd() override {
        Note("ScanEnd", [&] { progressAtEnd = int(progress.size()); });
        ended = true;
    }

    QStringList Messages() const {
        std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }

    QList<NSContactData> contacts;
    QList<NSBookmarksData> bookmarks;
    QList<NSCallLogData> calls;
    QMap<QString, NSSMSHeadData> sms;
    QList<NSRemindersData> notes;
    QList<NSCalendarData> events;
    QList<NSMemoData> reminders;
    QList<NSDeletedFile> photos, videos, music;
    QPair<QList<NSDeletedFile>, QList<NSDeletedFile>> smsAttachments, wxAttachments, noteAttachments;
    // Every WeChat delivery, in order (a null contact delivery as nullopt).
    QList<std::optional<QList<NSWXChatAccount>>> wxAddressBooks;
    QList<QMap<QString, NSWXChatRecordData>> wxChats;
    QList<Progress> progress;
    std::vector<ScanLoss> losses;
    std::atomic<bool> ended{false};
    int progressAtEnd = -1; // progress messages received before ScanEnd
    std::function<void(int, int, const QString&)> onProgress;
    std::function<void(const QString&)> onMessage;

  private:
    template <class F> void Note(const char* name, F store) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            messages.append(QString::fromLatin1(name));
            store();
        }
        if (onMessage) onMessage(QString::fromLatin1(name));
    }

    mutable std::mutex mutex;
    QStringList messages;
};

} // namespace scantest
