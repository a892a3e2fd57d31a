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
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "scan/LanguageTable.h"
#include "scan/ScanFileDelegate.h"
#include "platform/ProcessLog.h"
#include "scan/ScanRecordConverter.h"
#include "scan/engine/CScanManager.h"

#include <QSettings>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace {

// Longest progress text, in UTF-8 bytes.
constexpr int kMaxProgressTextBytes = 515;

QString textOrEmpty(const std::string& bytes) {
    return ScanRecordConverter::TextOrEmpty(bytes);
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

} // namespace

DeviceScanManager::DeviceScanManager()
    : converter(
          {[this] { WaitWhilePaused(); }, [this](const QString& key) { return LocalizedText(key); },
           [this](int value, int maximum, const QString& text) { ConversionProgress(value, maximum, text); },
           [this](const QString& alias, const QString& nickName) {
               return wxContactFilter && wxContactFilter(alias, nickName);
           },
           [this](const QString& devicePath) {
               return wxResourceLookup ? wxResourceLookup(devicePath) : QString();
           }}) {}

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
        ProcessLog::Write(
            QStringLiteral("清单列出但备份中没有的媒体文件:%1个,未列出").arg(scan->missingMediaFiles));
    if (scan->linkedMediaFiles > 0)
        ProcessLog::Write(
            QStringLiteral(
                "Damaged media entries (stored file or its folder is a symbolic link): %1, not listed")
                .arg(scan->linkedMediaFiles));
    for (const ScanLoss& loss : scan->losses) {
        const QString what = QString::fromStdString(loss.what);
        switch (loss.kind) {
        case ScanLoss::Kind::UnreadableRows:
            ProcessLog::Write(
                QStringLiteral("%1: %2 rows could not be read, skipped").arg(what).arg(loss.count));
            break;
        case ScanLoss::Kind::LogNotApplied:
            ProcessLog::Write(
                QStringLiteral("%1: its write-ahead log could not be applied, read without it").arg(what));
            break;
        case ScanLoss::Kind::LeftOut:
            ProcessLog::Write(
                QStringLiteral("%1 reached its record limit: %2 records left out").arg(what).arg(loss.count));
            break;
        case ScanLoss::Kind::FileChanged:
            ProcessLog::Write(
                QStringLiteral("%1 changed while it was read: read up to the change").arg(what));
            break;
        case ScanLoss::Kind::UnreadableDatabase:
            ProcessLog::Write(QStringLiteral("%1: the database could not be read").arg(what));
            break;
        }
    }
    if (!scan->losses.empty())
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanLosses(SummariseLosses(scan->losses));
    // Every list has been converted during the scan: its records are no longer needed.
    std::lock_guard<std::mutex> lock(managerMutex);
    scanManager.reset();
}

std::vector<ScanLoss> DeviceScanManager::SummariseLosses(const std::vector<ScanLoss>& losses) {
    std::vector<ScanLoss> summary;
    for (const ScanLoss& loss : losses) {
        auto same = std::find_if(summary.begin(), summary.end(), [&](const ScanLoss& s) {
            return s.dataType == loss.dataType && s.kind == loss.kind;
        });
        if (same == summary.end()) {
            summary.push_back({loss.dataType, loss.kind, loss.count, std::string()});
        } else if (loss.count > 0) {
            same->count = loss.count > INT64_MAX - same->count ? INT64_MAX : same->count + loss.count;
        }
    }
    return summary;
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
        ShowScanShare();
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

void DeviceScanManager::ShowScanShare() {
    // A full bar means a finished scan: until ScanComplete it stops at 99.9 %.
    constexpr int kLastBeforeEnd = CScanManager::kScanProgressScale - CScanManager::kScanProgressScale / 1000;
    current = float(std::min(runningScan->ScanProgress(), kLastBeforeEnd));
    total = float(CScanManager::kScanProgressScale);
}

void DeviceScanManager::ConversionProgress(int value, int maximum, const QString& text) {
    // The chat conversion counts sessions without a total; during a scan the bar moves
    // through the chats' hand-over by the sessions converted so far.
    if (runningScan && maximum == 0 && conversionTotal > 0) {
        runningScan->AdvanceWithinPhase(value, conversionTotal);
        ShowScanShare();
        // The text goes with the bar: a later report of the stored progress shows both.
        progressText = capUtf8(text, kMaxProgressTextBytes);
        UpdateProgress();
        return;
    }
    SendProgressText(value, maximum, text);
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
    ProcessLog::Write(QString::fromUtf8(lines.start));
    ConvertAndDeliver(dataType, records);
    ProcessLog::Write(QString::fromUtf8(lines.end));
}

void DeviceScanManager::ConvertAndDeliver(int dataType, void* records) {
    switch (dataType) {
    case ScanSms: {
        auto conversations = converter.ConvertSms(static_cast<const SmsConversationRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanSMS(conversations);
        break;
    }
    case ScanCallHistory: {
        auto calls = converter.ConvertCalls(static_cast<const CallRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanCallLog(calls);
        break;
    }
    case ScanContacts: {
        auto contacts = converter.ConvertContacts(static_cast<const ContactRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanContact(contacts);
        break;
    }
    case ScanBookmarks: {
        auto bookmarks = converter.ConvertBookmarks(static_cast<const BookmarkRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanBookmarks(bookmarks);
        break;
    }
    case ScanReminders: {
        auto reminders = converter.ConvertReminders(static_cast<const ReminderRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanReminders(reminders);
        break;
    }
    case ScanNotes: {
        auto notes = converter.ConvertNotes(static_cast<const NoteRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanMemo(notes);
        break;
    }
    case ScanCalendar: {
        auto events = converter.ConvertCalendar(static_cast<const CalendarRecord*>(records));
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanCalendar(events);
        break;
    }
    case ScanPhotos:
    case ScanVideos:
    case ScanVoiceMemos: {
        auto files = converter.ConvertMedia(static_cast<const MediaFileRecord*>(records), backupRoot);
        ScanFileDelegate* receiver = Receiver();
        if (!receiver) break;
        if (dataType == ScanPhotos)
            receiver->ScanPhoto(files);
        else if (dataType == ScanVideos)
            receiver->ScanVideo(files);
        else
            receiver->ScanMusic(files);
        break;
    }
    case ScanSmsAttachments:
    case ScanNoteAttachments:
    case ScanWxAttachments: {
        auto files = converter.ConvertAttachments(static_cast<const MediaFileRecord*>(records), backupRoot);
        ScanFileDelegate* receiver = Receiver();
        if (!receiver) break;
        if (dataType == ScanSmsAttachments)
            receiver->ScanSMSAttachment(files.photos, files.media);
        else if (dataType == ScanNoteAttachments)
            receiver->ScanMemoAttachment(files.photos, files.media);
        else
            receiver->ScanWXAttachment(files.photos, files.media);
        break;
    }
    case ScanWxContacts: {
        // The scan thread alone changes the account objects: it works on a copy and puts it
        // back, so the accessors never wait for a conversion (or a pause).
        QList<NSWXChatAccount> accounts;
        {
            std::lock_guard<std::mutex> lock(wxMutex);
            accounts = wxAccountList;
        }
        const bool anyContacts =
            converter.ConvertWxContacts(static_cast<const WxContactRecord*>(records), accounts);
        {
            std::lock_guard<std::mutex> lock(wxMutex);
            wxAccountList = accounts;
        }
        // Null only while no account of the scan has any contact.
        if (ScanFileDelegate* receiver = Receiver())
            receiver->ScanWXAddressBook(anyContacts ? &accounts : nullptr);
        break;
    }
    case ScanWxChats: {
        QMap<QString, NSWXChatRecordData> accounts;
        QHash<QString, QString> keyByIndex;
        {
            std::lock_guard<std::mutex> lock(wxMutex);
            accounts = wxAccountsByKey;
            keyByIndex = wxAccountKeyByIndex;
        }
        conversionTotal = 0;
        for (auto* s = static_cast<const WxSessionRecord*>(records); s && conversionTotal < INT32_MAX;
             s = s->next)
            ++conversionTotal;
        converter.ConvertWxChats(static_cast<const WxSessionRecord*>(records), accounts, keyByIndex);
        conversionTotal = 0;
        {
            std::lock_guard<std::mutex> lock(wxMutex);
            wxAccountsByKey = accounts;
        }
        if (ScanFileDelegate* receiver = Receiver()) receiver->ScanWXChat(accounts);
        break;
    }
    default:
        break;
    }
}
