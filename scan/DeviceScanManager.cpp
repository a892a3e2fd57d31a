#include "scan/DeviceScanManager.h"

#include "core/backup/WxAccountEntry.h"
#include "core/records/BookmarkRecord.h"
#include "core/records/CalendarRecord.h"
#include "core/records/CallRecord.h"
#include "core/records/ContactRecord.h"
#include "core/records/MediaFileRecord.h"
#include "core/records/NoteRecord.h"
#include "core/records/ReminderRecord.h"
#include "core/records/ScanDataType.h"
#include "core/records/SmsConversationRecord.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "scan/LanguageTable.h"
#include "scan/ScanFileDelegate.h"
#include "scan/ScanLog.h"
#include "scan/engine/CScanManager.h"

#include <QDate>
#include <QImageReader>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// Longest progress text, in UTF-8 bytes.
constexpr int kMaxProgressTextBytes = 515;
// Height of a contact picture, and bounds of its scaled width.
constexpr int kContactImageHeight = 106;
constexpr int kContactImageMaxWidth = 4096;
// Decoding limit for a contact picture read from the scan's output folder, in MB.
constexpr int kContactImageAllocationLimitMb = 64;

// A record's text as UTF-8, up to its first NUL; nothing when it is not valid UTF-8.
std::optional<QString> utf8Text(const std::string& bytes) {
    const size_t end = bytes.find('\0');
    const QByteArrayView view(bytes.data(), qsizetype(end == std::string::npos ? bytes.size() : end));
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(view);
    if (decoder.hasError()) return std::nullopt;
    if (text.isNull()) text = QStringLiteral("");
    return text;
}

QString textOrEmpty(const std::string& bytes) {
    return utf8Text(bytes).value_or(QString());
}

// Cuts a text to at most `maxBytes` UTF-8 bytes, at a character boundary.
QString capUtf8(const QString& text, int maxBytes) {
    if (text.size() * 3 <= maxBytes) return text;
    QString out;
    int bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        const char32_t c =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                : text.at(i).unicode();
        const int units = c > 0xFFFF ? 2 : 1;
        const int need = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + need > maxBytes) break;
        out += text.mid(i, units);
        bytes += need;
        i += units;
    }
    return out;
}

const char* progressKey(int dataType) {
    switch (dataType) {
    case ScanNone:
        return "PROGRESSTXT_NOUSE";
    case ScanSms:
        return "PROGRESSTXT_SMS";
    case ScanCallHistory:
        return "PROGRESSTXT_CALL";
    case ScanContacts:
        return "PROGRESSTXT_CONTACT";
    case ScanBookmarks:
        return "PROGRESSTXT_SAFARI";
    case ScanReminders:
        return "PROGRESSTXT_REMINDER";
    case ScanNotes:
        return "PROGRESSTXT_NOTE";
    case ScanCalendar:
        return "PROGRESSTXT_CALENDAR";
    case ScanWxContacts:
        return "PROGRESSTXT_WXCONTACT";
    case ScanWxChats:
        return "PROGRESSTXT_WXCHAT";
    default:
        return nullptr;
    }
}

// Start and end log lines of each delivered data type.
struct LogLines {
    const char* start;
    const char* end;
};
LogLines logLines(int dataType) {
    switch (dataType) {
    case ScanSms:
        return {"<短信>数据开始分析.........", "<短信>数据分析完成........."};
    case ScanCallHistory:
        return {"<通话记录>数据开始分析.........", "<通话记录>数据分析完成........."};
    case ScanContacts:
        return {"<联系人>数据开始分析.........", "<联系人>数据分析完成........."};
    case ScanBookmarks:
        return {"<书签>数据开始分析.........", "<书签>数据分析完成........."};
    case ScanReminders:
        return {"<提醒事项>数据开始分析.........", "<提醒事项>数据分析完成........."};
    case ScanNotes:
        return {"<备忘录>数据开始分析.........", "<备忘录>数据分析完成........."};
    case ScanCalendar:
        return {"<日历>数据开始分析.........", "<日历>数据分析完成........."};
    case ScanPhotos:
        return {"<照片>数据开始分析.........", "<照片>数据分析完成........."};
    case ScanVideos:
        return {"<视频>数据开始分析.........", "<视频>数据完成分析........."};
    case ScanVoiceMemos:
        return {"<备忘录音频>数据开始分析.........", "<备忘录音频>数据完成分析........."};
    case ScanSmsAttachments:
        return {"<短信控件>数据开始分析.........", "<短信控件>数据完成分析........."};
    case ScanNoteAttachments:
        return {"<备忘录控件>数据开始分析.........", "<备忘录控件>数据完成分析........."};
    case ScanWxAttachments:
        return {"<微信控件>数据开始分析.........", "<微信控件>数据完成分析........."};
    case ScanWxContacts:
        return {"<微信联系人>数据开始分析.........", "<微信联系人>数据分析完成........."};
    case ScanWxChats:
        return {"<微信聊天记录>数据开始分析.........", "<微信聊天记录>数据分析完成........."};
    default:
        return {nullptr, nullptr};
    }
}

// A contact picture scaled on read to a height of 106 with its width in proportion;
// a null image when the file cannot be read within the allocation limit.
QImage loadContactImage(const QString& path) {
    QImageReader reader(path);
    reader.setAllocationLimit(kContactImageAllocationLimitMb);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) return QImage();
    const qint64 width = std::clamp<qint64>(qint64(size.width()) * kContactImageHeight / size.height(), 1,
                                            kContactImageMaxWidth);
    const QSize target(int(width), kContactImageHeight);
    reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull()) return QImage();
    if (image.size() != target) image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

NSDeletedFile deletedFile(const MediaFileRecord& record, const QString& backupRoot) {
    NSDeletedFile file;
    file.setBackUpPath(backupRoot);
    const QDate day = QDate::fromString(textOrEmpty(record.day), QStringLiteral("yyyy-MM-dd"));
    const QDateTime dayStart = day.isValid() ? day.startOfDay() : QDateTime();
    file.setMtime(dayStart);
    file.setAtime(dayStart);
    file.setCtime(dayStart);
    const QString name = textOrEmpty(record.displayName);
    file.setFileName(name);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) file.setSuffix(QStringLiteral("*") + name.mid(dot) + QStringLiteral(";"));
    file.setSHA1(textOrEmpty(record.storedPath));
    return file;
}

template <class T> T* firstRecord(void* records) {
    return static_cast<T*>(records);
}

} // namespace

DeviceScanManager::DeviceScanManager() = default;

DeviceScanManager::~DeviceScanManager() {
    std::lock_guard<std::mutex> lock(managerMutex);
    scanManager.reset();
}

DeviceScanManager& DeviceScanManager::shared() {
    static DeviceScanManager bridge;
    return bridge;
}

void DeviceScanManager::SetTextLookup(TextLookup lookup) {
    textLookup = std::move(lookup);
}
void DeviceScanManager::SetReceiverSource(ReceiverSource source) {
    receiverSource = std::move(source);
}
void DeviceScanManager::SetScanManagerHook(ScanManagerHook hook) {
    scanManagerHook = std::move(hook);
}
void DeviceScanManager::SetWxLookups(WxContactFilter filter, WxResourceLookup resources) {
    wxContactFilter = std::move(filter);
    wxResourceLookup = std::move(resources);
}

std::optional<QString> DeviceScanManager::LocalizedText(const QString& key) const {
    if (textLookup) return textLookup(key);
    std::lock_guard<std::mutex> lock(languageMutex);
    if (!languageLoaded) LoadLanguageTable();
    if (!languageTable) return std::nullopt;
    return languageTable->Text(key);
}

void DeviceScanManager::LoadLanguageTable() const {
    // The table of the language named by the setting; read once per scan, not per
    // progress report (the setting does not change while a scan runs).
    QString name = QSettings().value(QStringLiteral("AppLanguage")).toString();
    if (name.isEmpty()) name = QStringLiteral("en");
    if (name != languageName || !languageLoaded) {
        languageName = name;
        languageTable = LanguageTable::ForLanguage(name);
    }
    languageLoaded = true;
}

ScanFileDelegate* DeviceScanManager::Receiver() const {
    return receiverSource ? receiverSource() : nullptr;
}

void DeviceScanManager::SetScanState(bool on) {
    {
        std::lock_guard<std::mutex> lock(pauseMutex);
        active = on;
        running = on;
    }
    pauseWake.notify_all();
    if (on) {
        current = 0;
        total = 100;
    }
}

void DeviceScanManager::SetRunning(bool run) {
    {
        std::lock_guard<std::mutex> lock(pauseMutex);
        running = run;
    }
    pauseWake.notify_all();
}

void DeviceScanManager::WaitWhilePaused() {
    std::unique_lock<std::mutex> lock(pauseMutex);
    while (!running.load() && active.load())
        pauseWake.wait_for(lock, std::chrono::seconds(1));
}

bool DeviceScanManager::IsScanning() {
    WaitWhilePaused();
    return active.load();
}

void DeviceScanManager::StopScan() {
    {
        std::lock_guard<std::mutex> lock(pauseMutex);
        active = false;
    }
    pauseWake.notify_all();
    std::lock_guard<std::mutex> lock(managerMutex);
    if (scanManager) scanManager->Stop(false);
}

void DeviceScanManager::PrepareWxAccounts(IFileParser* fileParser) {
    std::vector<WxAccountRecord> records;
    QMap<QString, NSWXChatRecordData> byKey;
    QList<NSWXChatAccount> list;
    QHash<QString, QString> keyByIndex;
    if (const WxAccountList* accounts = fileParser->GetWeChatAccounts()) {
        int position = 0;
        for (const auto& account : *accounts) {
            if (!account) continue;
            // The key names the account everywhere (chats, contact trees, avatar lookup),
            // so two accounts never share one: the nickname, with the user name added
            // when the nickname is empty or already taken.
            const QString nick = textOrEmpty(account->nickName);
            const QString user = textOrEmpty(account->userName);
            QString key = nick;
            if (key.isEmpty() || byKey.contains(key))
                key = nick.isEmpty() ? QStringLiteral("(%1)").arg(user)
                                     : QStringLiteral("%1 (%2)").arg(nick, user);
            for (int n = 2; byKey.contains(key); ++n)
                key = (nick.isEmpty() ? QStringLiteral("(%1)").arg(user)
                                      : QStringLiteral("%1 (%2)").arg(nick, user)) +
                      QStringLiteral(" #%1").arg(n);

            records.push_back({account->nickName, account->userName, account->accountFolder,
                               account->chatDbPath, account->headImageUrl, key});
            NSWXChatRecordData chats;
            chats.setAccount(key);
            chats.setSWxID(user);
            chats.setSRoot(textOrEmpty(account->accountFolder));
            chats.setHeadImageUrl(textOrEmpty(account->headImageUrl));
            byKey.insert(key, chats);
            keyByIndex.insert(QString::number(position), key);
            NSWXChatAccount contacts;
            contacts.setWxid(user);
            contacts.setHeadUrl(textOrEmpty(account->headImageUrl));
            contacts.setKey(key);
            list.append(contacts);
            ++position;
        }
    }
    {
        std::lock_guard<std::mutex> lock(accountsMutex);
        accountRecords = std::move(records);
    }
    std::lock_guard<std::mutex> lock(wxMutex);
    wxAccountsByKey = std::move(byKey);
    wxAccountList = std::move(list);
    wxAccountKeyByIndex = std::move(keyByIndex);
}

void DeviceScanManager::StartScan(IFileParser* fileParser, int typeMask, const QString& root, int iosVersion,
                                  const ScanSuffixes& suffixes, const QString& outputDir) {
    if (!fileParser) return;
    {
        std::lock_guard<std::mutex> lock(languageMutex);
        LoadLanguageTable();
    }
    PrepareWxAccounts(fileParser);
    backupRoot = root;

    auto manager = std::make_unique<CScanManager>(typeMask, outputDir.toUtf8().constData(),
                                                  root.toUtf8().constData(), iosVersion, this, fileParser);
    // The scan looks for lower-case "*.ext;" keys; only ASCII letters change.
    auto lower = [](const QString& list) {
        QByteArray bytes = list.toUtf8();
        for (char& c : bytes)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return bytes;
    };
    manager->SetFileSuffixes(lower(suffixes.photo).constData(), lower(suffixes.video).constData(),
                             lower(suffixes.audio).constData(), lower(suffixes.other).constData());
    if (scanManagerHook) scanManagerHook(*manager);

    CScanManager* scan = nullptr;
    {
        std::lock_guard<std::mutex> lock(managerMutex);
        scanManager = std::move(manager);
        // A stop that came before the scan manager existed still stops it.
        if (!active.load()) scanManager->Stop(false);
        scan = scanManager.get();
    }
    runningScan = scan;
    scan->Scan();
    runningScan = nullptr;
    if (scan->missingMediaFiles > 0)
        scanLog(QStringLiteral("清单列出但备份中没有的媒体文件:%1个,未列出").arg(scan->missingMediaFiles));
    if (scan->linkedMediaFiles > 0)
        scanLog(QStringLiteral("Damaged media entries (stored file is a symbolic link): %1, not listed")
                    .arg(scan->linkedMediaFiles));
    for (const auto& [what, leftOut] : scan->limitNotes)
        scanLog(QStringLiteral("%1 reached its record limit: %2 records left out")
                    .arg(QString::fromStdString(what))
                    .arg(leftOut));
    // Every list has been converted during the scan: its records are no longer needed.
    std::lock_guard<std::mutex> lock(managerMutex);
    scanManager.reset();
}

void DeviceScanManager::ScanComplete() {
    // A last step reported with a total of 0 still ends at 100 of 100.
    if (total == 0) total = 100;
    current = total;
    if (auto text = LocalizedText(QStringLiteral("ScanComplete")))
        progressText = capUtf8(*text, kMaxProgressTextBytes);
    UpdateProgress();
}

QString DeviceScanManager::FillProgressFormat(const QString& format, int stepDone, int stepTotal,
                                              double percent) {
    QString out;
    out.reserve(format.size() + 16);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const QChar n = format.at(i + 1);
            if (n == u'1' || n == u'2' || n == u'3') {
                if (n == u'1')
                    out += QString::number(stepDone);
                else if (n == u'2')
                    out += QString::number(stepTotal);
                else
                    out += QString::number(percent, 'f', 1);
                ++i;
                continue;
            }
            if (n == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

void DeviceScanManager::OnProgress(int dataType, int stage, int done, int stepTotalValue, int stepDone,
                                   int stepTotal, int accountIndex) {
    std::optional<QString> format;
    if (const char* key = progressKey(dataType)) format = LocalizedText(QString::fromLatin1(key));
    WaitWhilePaused();
    if (runningScan) {
        // The bar and the percentage show the share of the whole scan, which only grows;
        // the figures of one step start again at every step and every parser.
        current = float(runningScan->ScanProgress());
        total = float(CScanManager::kScanProgressScale);
    } else {
        current = float(done);
        total = float(stepTotalValue);
    }
    if (format) {
        // A step without a total shows 0 %.
        const float percent = total != 0 ? current / total * 100.0f : 0.0f;
        progressText =
            capUtf8(FillProgressFormat(*format, stepDone, stepTotal, double(percent)), kMaxProgressTextBytes);
    }
    UpdateProgress();
}

void DeviceScanManager::UpdateProgress() {
    int percent = 0;
    if (total != 0) {
        const float p = current / total * 100.0f;
        // Out-of-range and NaN values are held to 0..100 before the conversion.
        percent = std::isnan(p) ? 0 : int(std::clamp(p, 0.0f, 100.0f));
    }
    holder.Set(percent, 100, progressText);
    if (ScanFileDelegate* receiver = Receiver()) receiver->Scanning(percent, 100, progressText);
}

void DeviceScanManager::SendProgressText(int value, int maximum, const QString& text) {
    holder.Set(value, maximum, text);
    if (ScanFileDelegate* receiver = Receiver()) receiver->Scanning(value, maximum, text);
}

QString DeviceScanManager::AccountHeadImageUrl(const QString& key) const {
    std::lock_guard<std::mutex> lock(accountsMutex);
    for (const auto& account : accountRecords)
        if (account.key == key) return textOrEmpty(account.headImageUrl);
    return QString();
}

QMap<QString, NSWXChatRecordData> DeviceScanManager::WxChatAccounts() const {
    std::lock_guard<std::mutex> lock(wxMutex);
    return wxAccountsByKey;
}

QList<NSWXChatAccount> DeviceScanManager::WxContactAccounts() const {
    std::lock_guard<std::mutex> lock(wxMutex);
    return wxAccountList;
}

std::vector<DeviceScanManager::WxAccountRecord> DeviceScanManager::AccountRecords() const {
    std::lock_guard<std::mutex> lock(accountsMutex);
    return accountRecords;
}

void DeviceScanManager::OnScanData(int dataType, void* records) {
    if (dataType == ScanNone) {
        UpdateProgress();
        return;
    }
    const LogLines lines = logLines(dataType);
    if (!lines.start) return; // WhatsApp and unknown types are not shown
    scanLog(QString::fromUtf8(lines.start));
    switch (dataType) {
    case ScanSms:
        ConvertSms(records);
        break;
    case ScanCallHistory:
        ConvertCalls(records);
        break;
    case ScanContacts:
        ConvertContacts(records);
        break;
    case ScanBookmarks:
        ConvertBookmarks(records);
        break;
    case ScanReminders:
        ConvertReminders(records);
        break;
    case ScanNotes:
        ConvertNotes(records);
        break;
    case ScanCalendar:
        ConvertCalendar(records);
        break;
    case ScanPhotos:
    case ScanVideos:
    case ScanVoiceMemos:
        ConvertMedia(dataType, records);
        break;
    case ScanSmsAttachments:
    case ScanNoteAttachments:
    case ScanWxAttachments:
        ConvertAttachments(dataType, records);
        break;
    case ScanWxContacts:
        ConvertWxContacts(records);
        break;
    case ScanWxChats:
        ConvertWxChats(records);
        break;
    default:
        break;
    }
    scanLog(QString::fromUtf8(lines.end));
}

void DeviceScanManager::ConvertSms(void* records) {
    QMap<QString, NSSMSHeadData> conversations;
    int unnamed = 1;
    for (auto* c = firstRecord<SmsConversationRecord>(records); c; c = c->next) {
        WaitWhilePaused();
        QString key = utf8Text(c->address).value_or(QString());
        if (key.isEmpty()) {
            key = QStringLiteral("%1_%2")
                      .arg(LocalizedText(QStringLiteral("Unknown")).value_or(QStringLiteral("Unknown")))
                      .arg(unnamed);
            ++unnamed;
        }
        // Two conversations with one key share the first one's head.
        NSSMSHeadData head;
        const bool known = conversations.contains(key);
        if (known) {
            head = conversations.value(key);
        } else {
            head.setPhone(key);
            head.setName(textOrEmpty(c->contactName));
            head.setNHandleId(c->handleId);
            head.setBDelete(c->deleted);
        }
        for (auto* m = c->messages.first; m; m = m->next) {
            QString text = utf8Text(m->text).value_or(QString());
            if (text.isEmpty() && !m->text.empty() && m->text[0] != '\0') {
                // Not UTF-8: one character per byte, so the message is still shown.
                text.reserve(qsizetype(m->text.size()));
                for (unsigned char b : m->text)
                    text += QChar(b);
            }
            if (text.isEmpty()) continue;
            NSSMSData message;
            message.setContent(text);
            message.setNType(m->type);
            message.setBDelete(m->deleted);
            message.setLDataTime(m->date);
            message.setAlignment(m->type != 0 ? 1 : 0);
            // A date of 0 is no date known: no time is shown for it.
            if (m->date != 0)
                message.setTime(
                    QDateTime::fromSecsSinceEpoch(m->date).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
            head.mutableSMSDataList().append(message);
        }
        // A conversation without any shown message is left out.
        if (!head.SMSDataList().isEmpty()) conversations.insert(key, head);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanSMS(conversations);
}

void DeviceScanManager::ConvertCalls(void* records) {
    QList<NSCallLogData> calls;
    for (auto* r = firstRecord<CallRecord>(records); r; r = r->next) {
        WaitWhilePaused();
        NSCallLogData call;
        call.setBDelete(r->deleted);
        call.setName(textOrEmpty(r->name));
        call.setPhone(textOrEmpty(r->number));
        call.setNType(r->outgoing ? 1 : 0);
        call.setLDataTime(r->date);
        call.setLDuration(r->duration);
        calls.append(call);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanCallLog(calls);
}

void DeviceScanManager::ConvertContacts(void* records) {
    QList<NSContactData> contacts;
    for (auto* r = firstRecord<ContactRecord>(records); r; r = r->next) {
        WaitWhilePaused();
        NSContactData contact;
        contact.setBDelete(r->deleted);
        contact.setName(textOrEmpty(r->name));
        contact.setPhone(textOrEmpty(r->phone));
        contact.setEmail(textOrEmpty(r->email));
        if (!r->imagePath.empty()) {
            if (auto path = utf8Text(r->imagePath); path && !path->isEmpty())
                contact.setImage(loadContactImage(*path));
        }
        contacts.append(contact);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanContact(contacts);
}

void DeviceScanManager::ConvertBookmarks(void* records) {
    QList<NSBookmarksData> bookmarks;
    for (auto* r = firstRecord<BookmarkRecord>(records); r; r = r->next) {
        WaitWhilePaused();
        const auto title = utf8Text(r->title);
        const auto url = utf8Text(r->url);
        if (!title || title->isEmpty() || !url || url->isEmpty()) continue;
        NSBookmarksData bookmark;
        bookmark.setBookMarks(*title);
        bookmark.setAddress(*url);
        bookmark.setBDelete(r->deleted);
        bookmarks.append(bookmark);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanBookmarks(bookmarks);
}

void DeviceScanManager::ConvertReminders(void* records) {
    QList<NSMemoData> reminders;
    for (auto* r = firstRecord<ReminderRecord>(records); r; r = r->next) {
        WaitWhilePaused();
        const auto title = utf8Text(r->title);
        const auto list = utf8Text(r->listTitle);
        const auto notes = utf8Text(r->notes);
        const auto location = utf8Text(r->location);
        if (!title && !list && !notes && !location) continue;
        NSMemoData reminder;
        reminder.setTitle(title.value_or(QString()));
        reminder.setType(list.value_or(QString()));
        reminder.setContent(notes.value_or(QString()));
        reminder.setLocation(location.value_or(QString()));
        reminder.setBDelete(r->deleted);
        reminder.setBComplete(r->completed);
        reminder.setLDataTime(r->date);
        reminders.append(reminder);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanReminders(reminders);
}

void DeviceScanManager::ConvertNotes(void* records) {
    QList<NSRemindersData> notes;
    for (auto* r = firstRecord<NoteRecord>(records); r; r = r->next) {
        WaitWhilePaused();
        const auto text = utf8Text(r->text);
        if (!text || text->isEmpty()) continue;
        NSRemindersData note;
        note.setTitle(*text);
        note.setContent(*text);
        note.setLDataTime(r->date);
        note.setBDelete(r->deleted);
        notes.append(note);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanMemo(notes);
}

void DeviceScanManager::ConvertCalendar(void* records) {
    QList<NSCalendarData> events;
    for (auto* r = firstRecord<CalendarRecord>(records); r; r = r->next) {
        WaitWhilePaused();
        NSCalendarData event;
        event.setBDelete(r->deleted);
        event.setTitle(textOrEmpty(r->title));
        event.setContent(textOrEmpty(r->description));
        event.setLStartTime(r->start);
        event.setLEndTime(r->end);
        event.setAddres(textOrEmpty(r->location));
        events.append(event);
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanCalendar(events);
}

void DeviceScanManager::ConvertMedia(int dataType, void* records) {
    QList<NSDeletedFile> files;
    for (auto* r = firstRecord<MediaFileRecord>(records); r; r = r->next)
        files.append(deletedFile(*r, backupRoot));
    ScanFileDelegate* receiver = Receiver();
    if (!receiver) return;
    if (dataType == ScanPhotos)
        receiver->ScanPhoto(files);
    else if (dataType == ScanVideos)
        receiver->ScanVideo(files);
    else
        receiver->ScanMusic(files);
}

void DeviceScanManager::ConvertAttachments(int dataType, void* records) {
    QList<NSDeletedFile> photos, media;
    for (auto* r = firstRecord<MediaFileRecord>(records); r; r = r->next)
        (r->kind == 0 ? photos : media).append(deletedFile(*r, backupRoot));
    ScanFileDelegate* receiver = Receiver();
    if (!receiver) return;
    if (dataType == ScanSmsAttachments)
        receiver->ScanSMSAttachment(photos, media);
    else if (dataType == ScanNoteAttachments)
        receiver->ScanMemoAttachment(photos, media);
    else
        receiver->ScanWXAttachment(photos, media);
}

namespace {

// Top nodes of a contact tree, in the order the tree lists them.
constexpr qint64 kFriendsNode = 0;
constexpr qint64 kOfficialNode = 1;
constexpr qint64 kGroupsNode = 2;

qint64 topNodeOf(int kind) {
    return kind == 1 ? kOfficialNode : kind == 2 ? kGroupsNode : kFriendsNode;
}

NSAddressBookInfo addressBookInfo(const WxContactRecord& c, const QString& accountKey) {
    NSAddressBookInfo info;
    info.setBDelete(c.deleted);
    info.setBFriend(c.kind == 0);
    info.setAccount(accountKey);
    info.setWxId(textOrEmpty(c.alias));
    info.setRemarkName(textOrEmpty(c.remark));
    info.setWxDefaultId(textOrEmpty(c.userName));
    if (!info.WxDefaultId().isEmpty() && info.WxId().isEmpty()) info.setWxId(info.WxDefaultId());
    info.setNickName(textOrEmpty(c.nickName));
    info.setAddress(textOrEmpty(c.address));
    info.setSignature(textOrEmpty(c.signature));
    info.setURLImage(textOrEmpty(c.headImageUrl));
    info.setPhone(textOrEmpty(c.phone));
    return info;
}

// Message types the chat view shows, mapped onto its display kinds; 0 for the rest.
qint64 displayKindOf(int32_t type) {
    switch (type) {
    case 1:
    case 3:
    case 34:
    case 42:
    case 47:
    case 48:
    case 49:
    case 50:
        return type;
    case 43:
    case 62:
        return 43;
    case 10000:
    case 10002:
        return 10000;
    case 100001:
        return 10001;
    default:
        return 0;
    }
}

// The text of a system message ("system message").
const char kSystemMessageText[] = "\xe7\xb3\xbb\xe7\xbb\x9f\xe6\xb6\x88\xe6\x81\xaf";
// Progress text of the chat conversion: "analysing WeChat chats...[%d/%d]".
const char kChatProgressText[] =
    "\xe6\xad\xa3\xe5\x9c\xa8\xe5\x88\x86\xe6\x9e\x90 "
    "\xe5\xbe\xae\xe4\xbf\xa1\xe8\x81\x8a\xe5\xa4\xa9\xe8\xae\xb0\xe5\xbd\x95...[%1/%2]";

} // namespace

void DeviceScanManager::ConvertWxContacts(void* records) {
    // The scan thread alone changes the account objects: it works on a copy and puts it
    // back, so the accessors never wait for a conversion (or a pause).
    QList<NSWXChatAccount> accounts;
    {
        std::lock_guard<std::mutex> lock(wxMutex);
        accounts = wxAccountList;
    }
    bool anyContacts = false;
    {
        int unnamedGroups = 1;
        for (auto* c = firstRecord<WxContactRecord>(records); c; c = c->next) {
            WaitWhilePaused();
            if (c->accountIndex < 0 || c->accountIndex >= accounts.size()) continue;
            if (c->kind < 0 || c->kind > 4) continue;
            if (wxContactFilter && wxContactFilter(textOrEmpty(c->alias), textOrEmpty(c->nickName))) continue;
            NSWXChatAccount& account = accounts[c->accountIndex];
            QList<NSWXAddressBookData>& tree = account.mutableAccountWXData();

            const qint64 top = topNodeOf(c->kind);
            qsizetype at = -1;
            for (qsizetype i = 0; i < tree.size(); ++i)
                if (tree[i].WXType() == top) {
                    at = i;
                    break;
                }
            if (at < 0) {
                NSWXAddressBookData node;
                node.setWXType(top);
                const char* nameKey = top == kFriendsNode    ? "HaoYou"
                                      : top == kOfficialNode ? "GongZhongHao"
                                                             : "Qun";
                node.setAddressBookName(LocalizedText(QString::fromLatin1(nameKey)).value_or(QString()));
                node.setICO(QString::fromLatin1(top == kFriendsNode    ? "friends_ico"
                                                : top == kOfficialNode ? "public_ico"
                                                                       : "Group_ico"));
                tree.append(node);
                at = tree.size() - 1;
            }
            NSWXAddressBookData& node = tree[at];

            if (c->kind != 2) {
                node.mutableAddressBook().append(addressBookInfo(*c, account.key()));
                if (c->deleted) node.setBDelete(true);
                continue;
            }
            // A group: a node of its members below the groups node.
            NSWXAddressBookData group;
            QString name = textOrEmpty(c->nickName);
            if (name.isEmpty()) {
                name = LocalizedText(QStringLiteral("Unknown")).value_or(QString()) +
                       QString::number(unnamedGroups);
                ++unnamedGroups;
            }
            group.setAddressBookName(name);
            group.setICO(QStringLiteral("Group_ico"));
            for (const WxContactRecord* m = c->members.first; m; m = m->next) {
                NSAddressBookInfo member = addressBookInfo(*m, account.key());
                if (m->deleted) {
                    group.setBDelete(true);
                    node.setBDelete(true);
                }
                if (!account.wxid().isEmpty() && member.WxId() == account.wxid()) {
                    member.setNickName(account.key());
                    member.setURLImage(account.HeadUrl());
                }
                group.mutableAddressBook().append(member);
            }
            if (!group.AddressBook().isEmpty()) node.mutableNextObj().append(group);
        }
        // Every tree in the order friends, official accounts, groups.
        for (NSWXChatAccount& account : accounts) {
            QList<NSWXAddressBookData>& tree = account.mutableAccountWXData();
            std::stable_sort(tree.begin(), tree.end(),
                             [](const NSWXAddressBookData& a, const NSWXAddressBookData& b) {
                                 return a.WXType() < b.WXType();
                             });
            if (!tree.isEmpty()) anyContacts = true;
        }
    }
    {
        std::lock_guard<std::mutex> lock(wxMutex);
        wxAccountList = accounts;
    }
    // Null only while no account of the scan has any contact.
    if (ScanFileDelegate* receiver = Receiver())
        receiver->ScanWXAddressBook(anyContacts ? &accounts : nullptr);
}

QString DeviceScanManager::WxMediaPath(const QString& root, const std::string& mediaPath,
                                       const char* suffix) const {
    if (!wxResourceLookup) return QString();
    return wxResourceLookup(root + QStringLiteral("/") + textOrEmpty(mediaPath) +
                            QString::fromLatin1(suffix));
}

void DeviceScanManager::ConvertWxChats(void* records) {
    QMap<QString, NSWXChatRecordData> accounts;
    QHash<QString, QString> keyByIndex;
    {
        std::lock_guard<std::mutex> lock(wxMutex);
        accounts = wxAccountsByKey;
        keyByIndex = wxAccountKeyByIndex;
    }
    {
        const QString progressFormat = QString::fromUtf8(kChatProgressText);
        const QString stickerText =
            QStringLiteral("[%1]").arg(LocalizedText(QStringLiteral("WxTypeExp")).value_or(QString()));
        wxSessionCounter = 0;
        int unnamedChats = 1;
        // (account key, chat key) of each chat that got messages, once.
        QList<QPair<QString, QString>> touched;
        QSet<QPair<QString, QString>> touchedSet;
        auto touch = [&](const QString& accountKey, const QString& chatKey) {
            if (!touchedSet.contains({accountKey, chatKey})) {
                touchedSet.insert({accountKey, chatKey});
                touched.append({accountKey, chatKey});
            }
        };
        for (auto* s = firstRecord<WxSessionRecord>(records); s; s = s->next) {
            ++wxSessionCounter;
            WaitWhilePaused();
            const WxContactRecord* peer = s->peer;
            if (!peer) continue;
            const auto keyIt = keyByIndex.constFind(QString::number(peer->accountIndex));
            const auto accountIt =
                keyIt == keyByIndex.constEnd() ? accounts.end() : accounts.find(keyIt.value());
            if (accountIt == accounts.end()) {
                scanLog(QString::fromUtf8(
                    "\xe6\x89\xbe\xe4\xb8\x8d\xe5\x88\xb0\xe5\xbe\xae\xe4\xbf\xa1\xe7\x94\xa8"
                    "\xe6\x88\xb7\xe4\xbf\xa1\xe6\x81\xaf!!!"));
                continue;
            }
            NSWXChatRecordData& account = accountIt.value();

            // A chat is keyed by its peer's user name (a generated peer by its remark),
            // so peers with one display name keep their own chats.
            QString chatKey = textOrEmpty(peer->userName);
            if (chatKey.isEmpty()) chatKey = textOrEmpty(peer->remark);
            if (chatKey.isEmpty()) chatKey = QStringLiteral("\x01session %1").arg(wxSessionCounter);
            // A chat is made with its first kept message: a chat without one is not listed.
            NSWXChatFriendData* chat = account.getWXCharFriendobj(chatKey);
            auto makeChat = [&]() -> NSWXChatFriendData* {
                NSWXChatFriendData fresh;
                fresh.setAccount(account.Account());
                QString name = textOrEmpty(peer->nickName);
                if (name.isEmpty()) {
                    name = LocalizedText(QStringLiteral("Qun")).value_or(QString()) +
                           QString::number(unnamedChats);
                    ++unnamedChats;
                }
                if (name.isEmpty()) name = QStringLiteral(" ");
                fresh.setFrinedAccount(name);
                fresh.setCsWxId(textOrEmpty(peer->alias));
                fresh.setCsWxName(textOrEmpty(peer->alias));
                fresh.setCsBody(textOrEmpty(peer->signature));
                fresh.setCsAddress(textOrEmpty(peer->address));
                fresh.setCsPhone(textOrEmpty(peer->phone));
                fresh.setFrinedAccountImageUrl(textOrEmpty(peer->headImageUrl));
                fresh.setAccountImageUrl(account.HeadImageUrl());
                fresh.setBDelete(peer->deleted);
                fresh.setBFriend(peer->kind == 0);
                account.addWXChatFriendObj(&fresh, chatKey);
                return account.getWXCharFriendobj(chatKey);
            };

            const QString root = account.sRoot();
            int i = 0;
            bool recovered = false;
            for (const WxMessageRecord* m = s->messages.first; m; m = m->next) {
                ++i;
                SendProgressText(wxSessionCounter, 0, progressFormat.arg(i).arg(s->messages.count));
                if (m->deleted) {
                    recovered = true;
                    if (chat) chat->setBDelete(true);
                }
                const qint64 kind = displayKindOf(m->type);
                if (kind == 0) continue;
                NSWXChatSMSData message;
                message.setBDelete(m->deleted);
                message.setBFromMe(m->fromMe);
                message.setBIsVoice(m->isVoiceCall);
                message.setEType(kind);
                switch (kind) {
                case 1:
                    message.setContent(textOrEmpty(m->text));
                    break;
                case 3:
                    message.setContent(WxMediaPath(root, m->mediaPath, ".pic_thum"));
                    message.setResourcesFile(WxMediaPath(root, m->mediaPath, ".pic"));
                    break;
                case 34:
                    message.setContent(QString());
                    message.setResourcesFile(WxMediaPath(root, m->mediaPath, ".aud"));
                    break;
                case 42:
                    message.setBcardNickName(textOrEmpty(m->cardNickName));
                    message.setBcardPhone(textOrEmpty(m->cardUserName));
                    message.setBacrdHeadImage(QStringLiteral("contact_logo"));
                    break;
                case 43:
                    message.setContent(WxMediaPath(root, m->mediaPath, ".video_thum"));
                    message.setResourcesFile(WxMediaPath(root, m->mediaPath, ".mp4"));
                    break;
                case 47:
                    message.setContent(stickerText);
                    break;
                case 48:
                    message.setContent(textOrEmpty(m->locationLabel));
                    break;
                case 49:
                    message.setULRTitle(textOrEmpty(m->title));
                    message.setURL(textOrEmpty(m->url));
                    message.setContent(textOrEmpty(m->description));
                    message.setULRImage(textOrEmpty(m->thumbUrl));
                    break;
                case 50:
                    message.setCallTime(m->callDuration);
                    break;
                case 10000:
                    message.setContent(QString::fromUtf8(kSystemMessageText));
                    break;
                default: // 10001, a red packet: nothing more
                    break;
                }
                if (!chat) {
                    chat = makeChat();
                    if (!chat) break;
                    if (recovered) chat->setBDelete(true);
                }
                touch(accountIt.key(), chatKey);
                if (m->fromMe) {
                    message.setReceiveState(2);
                    message.setCsWxId(chat->Account());
                    message.setImageUrl(chat->AccountImageUrl());
                } else {
                    message.setReceiveState(1);
                    message.setCsWxId(textOrEmpty(m->senderDisplayName));
                    message.setImageUrl(textOrEmpty(m->senderHeadUrl));
                }
                message.setLDataTime(m->time);
                chat->addWXSMSContent(message);
            }
        }
        // A peer's sessions (one per message database) were added one after the other:
        // each chat is put in time order, equal times keeping the order they came in, and
        // shows the day of its last message.
        for (const auto& [accountKey, chatKey] : touched) {
            NSWXChatFriendData* chat = accounts[accountKey].getWXCharFriendobj(chatKey);
            if (!chat || chat->WXSMSData().isEmpty()) continue;
            auto byTime = [](const NSWXChatSMSData& a, const NSWXChatSMSData& b) {
                return a.lDataTime() < b.lDataTime();
            };
            if (!std::is_sorted(chat->WXSMSData().begin(), chat->WXSMSData().end(), byTime)) {
                QList<NSWXChatSMSData> messages = chat->WXSMSData();
                std::stable_sort(messages.begin(), messages.end(), byTime);
                chat->setWXSMSData(messages);
            }
            chat->setDate(QDateTime::fromSecsSinceEpoch(chat->WXSMSData().last().lDataTime())
                              .toString(QStringLiteral("yyyy-MM-dd")));
        }
    }
    {
        std::lock_guard<std::mutex> lock(wxMutex);
        wxAccountsByKey = accounts;
    }
    if (ScanFileDelegate* receiver = Receiver()) receiver->ScanWXChat(accounts);
}
