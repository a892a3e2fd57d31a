// Whole-scan benchmark: analyses a backup folder and scans it for a type mask through
// the device hub, without any window, then prints one line per data type with its live
// and deleted record counts, the wall time and the peak memory.
//
//   scan_bench [--records FILE] <backup folder> [type mask]
//                                                (mask in decimal or 0x hex; default 0xffff)
//   scan_bench --build-sample <folder> [scale]  (writes a kit-built sample backup)
//   scan_bench --damage-rows <folder> [n]       (damages one record in each main table)
//
// --damage-rows damages, in place, the record of the n-th row in rowid order (default
// 101; the middle row of a smaller table) of each main table of every database in the
// folder: Messages, call history, Notes, Safari bookmarks, Calendar and reminders,
// Contacts, WhatsApp messages and the largest WeChat chat table. Only for sample
// backups: it writes into the folder it is given. A scan then prints, after the counts,
// one "lost" line per data type with the rows its parsers could not read.
//
// --records FILE writes every record the scan delivers, one a line, tab-separated, with
// backslash, tab, newline and carriage return inside a field written as \\, \t, \n, \r and
// dates as Unix seconds:
//   sms <live|deleted> <conversation address> <contact name> <date> <from_me 0|1> <text>
//   call <live|deleted> <number> <name> <date> <duration> <outgoing 0|1>
//   contact <live|deleted> <name> <phone> <email>
//   bookmark <live|deleted> <title> <url>
//   note <live|deleted> <date> <text>
//   calendar <live|deleted> <title> <start> <end> <location> <description>
//   reminder <live|deleted> <title> <list> <notes> <location> <date> <completed 0|1>
//   photo|video|voice_memo|sms_attachment|note_attachment|wechat_attachment
//       <live|deleted> <file name> <stored path>
//   wechat_contact <live|deleted> <account> <user name> <nickname> <remark>
//   wechat_message <live|deleted> <account> <peer user name> <date> <type> <from_me 0|1> <text>
//       <direction from: row (its chat row) | sender (a stored sender name) | none (an index
//       copy: nothing stored says it)>
//   whatsapp_message <live|deleted> <chat> <sender> <date> <from_me 0|1> <text>
// (WeChat deliveries hold everything found so far: their lines are those of the last one.)
// A WeChat scan also prints its deleted messages by what their direction rests on.
#include "core/records/ScanDataType.h"
#include "core/records/WaChatRecord.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "scan/engine/CScanSteps.h"
#include "scan/DeviceManage.h"
#include "tests/kit/RecordDamage.h"
#include "tests/kit/SampleBackup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

struct TypeName {
    uint32_t bit;
    const char* name;
};
constexpr TypeName kTypes[] = {
    {ScanSms, "sms_messages"},
    {ScanCallHistory, "calls"},
    {ScanContacts, "contacts"},
    {ScanBookmarks, "bookmarks"},
    {ScanReminders, "reminders"},
    {ScanNotes, "notes"},
    {ScanCalendar, "calendar_events"},
    {ScanPhotos, "photos"},
    {ScanVideos, "videos"},
    {ScanSmsAttachments, "sms_attachments"},
    {ScanNoteAttachments, "note_attachments"},
    {ScanVoiceMemos, "voice_memos"},
    {ScanWxContacts, "wechat_contacts"},
    {ScanWxChats, "wechat_chats"},
    {ScanWxAttachments, "wechat_attachments"},
    {ScanWaChats, "whatsapp_chats"},
};
// Message counts of the chat types, printed after their chats.
constexpr uint32_t kWxMessages = 0x1u << 30;
constexpr uint32_t kWaMessages = 0x1u << 29;

struct Counts {
    long live = 0, deleted = 0;
};

// One field of a record line: backslash, tab, newline and carriage return escaped.
std::string Field(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::string out;
    out.reserve(size_t(bytes.size()));
    for (char c : bytes) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Field(long long number) {
    return std::to_string(number);
}

const char* State(bool deleted) {
    return deleted ? "deleted" : "live";
}

const char* DirectionFromName(WxMessageRecord::DirectionFrom from) {
    switch (from) {
    case WxMessageRecord::DirectionFrom::StoredRow:
        return "row";
    case WxMessageRecord::DirectionFrom::SenderName:
        return "sender";
    default:
        return "none";
    }
}

// A delivered WeChat message as the parser records know it: peer, date, direction, and
// the text of a text message.
std::string WxMessageKey(const std::string& peer, long long date, bool fromMe, const std::string& text) {
    return peer + '\t' + std::to_string(date) + '\t' + (fromMe ? "1" : "0") + '\t' + text;
}

// Counts every delivered record by type and, when asked, keeps one line per record.
class Counter : public ScanFileDelegate, public BackUpDelegate {
  public:
    void ScanContact(const QList<NSContactData>& v) override {
        CountFlags(ScanDataType::ScanContacts, v);
        for (const NSContactData& r : v)
            Line({"contact", State(r.bDelete()), Field(r.Name()), Field(r.Phone()), Field(r.Email())});
    }
    void ScanBookmarks(const QList<NSBookmarksData>& v) override {
        CountFlags(ScanDataType::ScanBookmarks, v);
        for (const NSBookmarksData& r : v)
            Line({"bookmark", State(r.bDelete()), Field(r.BookMarks()), Field(r.Address())});
    }
    void ScanCallLog(const QList<NSCallLogData>& v) override {
        CountFlags(ScanDataType::ScanCallHistory, v);
        for (const NSCallLogData& r : v)
            Line({"call", State(r.bDelete()), Field(r.Phone()), Field(r.Name()), Field(r.lDataTime()),
                  Field(r.lDuration()), r.nType() != 0 ? "1" : "0"});
    }
    void ScanSMS(const QMap<QString, NSSMSHeadData>& v) override {
        for (const NSSMSHeadData& head : v) {
            CountFlags(ScanDataType::ScanSms, head.SMSDataList());
            for (const NSSMSData& m : head.SMSDataList())
                Line({"sms", State(m.bDelete()), Field(head.Phone()), Field(head.Name()),
                      Field(m.lDataTime()), m.nType() != 0 ? "1" : "0", Field(m.Content())});
        }
    }
    void ScanMemo(const QList<NSRemindersData>& v) override {
        CountFlags(ScanDataType::ScanNotes, v);
        for (const NSRemindersData& r : v)
            Line({"note", State(r.bDelete()), Field(r.lDataTime()), Field(r.Content())});
    }
    void ScanCalendar(const QList<NSCalendarData>& v) override {
        CountFlags(ScanDataType::ScanCalendar, v);
        for (const NSCalendarData& r : v)
            Line({"calendar", State(r.bDelete()), Field(r.Title()), Field(r.lStartTime()),
                  Field(r.lEndTime()), Field(r.addres()), Field(r.Content())});
    }
    void ScanReminders(const QList<NSMemoData>& v) override {
        CountFlags(ScanDataType::ScanReminders, v);
        for (const NSMemoData& r : v)
            Line({"reminder", State(r.bDelete()), Field(r.Title()), Field(r.Type()), Field(r.Content()),
                  Field(r.Location()), Field(r.lDataTime()), r.bComplete() ? "1" : "0"});
    }
    void ScanPhoto(const QList<NSDeletedFile>& v) override { Files(ScanDataType::ScanPhotos, "photo", v); }
    void ScanVideo(const QList<NSDeletedFile>& v) override { Files(ScanDataType::ScanVideos, "video", v); }
    void ScanMusic(const QList<NSDeletedFile>& v) override {
        Files(ScanDataType::ScanVoiceMemos, "voice_memo", v);
    }
    void ScanSMSAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Files(ScanDataType::ScanSmsAttachments, "sms_attachment", p);
        Files(ScanDataType::ScanSmsAttachments, "sms_attachment", m);
    }
    void ScanWXAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Files(ScanDataType::ScanWxAttachments, "wechat_attachment", p);
        Files(ScanDataType::ScanWxAttachments, "wechat_attachment", m);
    }
    void ScanMemoAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Files(ScanDataType::ScanNoteAttachments, "note_attachment", p);
        Files(ScanDataType::ScanNoteAttachments, "note_attachment", m);
    }
    // Every delivery holds all accounts as they stand: the last one counts.
    void ScanWXAddressBook(const QList<NSWXChatAccount>* accounts) override {
        std::lock_guard<std::mutex> lock(mutex);
        Counts& c = counts[ScanWxContacts];
        c = {};
        std::vector<std::string>& out = kindLines["wechat_contact"];
        out.clear();
        if (!accounts) return;
        auto add = [&](const NSWXChatAccount& account, const NSAddressBookInfo& info) {
            (info.bDelete() ? c.deleted : c.live)++;
            if (keepLines)
                out.push_back(
                    Join({"wechat_contact", State(info.bDelete()), Field(account.key()),
                          Field(info.WxDefaultId()), Field(info.NickName()), Field(info.RemarkName())}));
        };
        for (const NSWXChatAccount& account : *accounts)
            for (const NSWXAddressBookData& node : account.AccountWXData()) {
                for (const NSAddressBookInfo& info : node.AddressBook())
                    add(account, info);
                for (const NSWXAddressBookData& group : node.NextObj())
                    for (const NSAddressBookInfo& info : group.AddressBook())
                        add(account, info);
            }
    }
    void ScanWXChat(const QMap<QString, NSWXChatRecordData>& accounts) override {
        std::lock_guard<std::mutex> lock(mutex);
        Counts& chats = counts[ScanWxChats];
        Counts& messages = counts[kWxMessages];
        chats = messages = {};
        std::vector<std::string>& out = kindLines["wechat_message"];
        out.clear();
        for (const NSWXChatRecordData& account : accounts) {
            // Chats are keyed by the peer's user name.
            const WXChatFriendDictionary& byPeer = account.WXChatFriendArray();
            for (qsizetype i = 0; i < byPeer.size(); ++i) {
                const NSWXChatFriendData& chat = byPeer.chats()[i];
                const QString& peer = byPeer.keys()[i];
                (chat.bDelete() ? chats.deleted : chats.live)++;
                for (const NSWXChatSMSData& m : chat.WXSMSData()) {
                    (m.bDelete() ? messages.deleted : messages.live)++;
                    if (!keepLines) continue;
                    auto from =
                        wxDirection.find(WxMessageKey(peer.toStdString(), m.lDataTime(), m.bFromMe(),
                                                      m.eType() == 1 ? m.Content().toStdString() : ""));
                    out.push_back(
                        Join({"wechat_message", State(m.bDelete()), Field(account.Account()), Field(peer),
                              Field(m.lDataTime()), Field(m.eType()), m.bFromMe() ? "1" : "0",
                              Field(m.Content()), from == wxDirection.end() ? "none" : from->second}));
                }
            }
        }
    }
    // WhatsApp chats are not delivered: they are counted in the scan's own list.
    void CountWhatsApp(const RecordList<WaChatRecord>& list) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const WaChatRecord* chat = list.first; chat; chat = chat->next) {
            (chat->deleted ? counts[ScanWaChats].deleted : counts[ScanWaChats].live)++;
            for (const WaMessageRecord* m = chat->messages.first; m; m = m->next) {
                (m->deleted ? counts[kWaMessages].deleted : counts[kWaMessages].live)++;
                if (keepLines)
                    lines.push_back(Join({"whatsapp_message", State(m->deleted),
                                          Field(QString::fromStdString(chat->name)),
                                          Field(QString::fromStdString(m->senderName)), Field(m->date),
                                          m->fromMe ? "1" : "0", Field(QString::fromStdString(m->text))}));
            }
        }
    }
    // After an account's chats, before they are delivered: what the direction of each of
    // its messages rests on, for the record lines, and the deleted ones counted.
    void NoteWxDirections(const CScanManager& manager, int account) {
        std::lock_guard<std::mutex> lock(mutex);
        if (account < 0 || size_t(account) >= manager.wxSessionLists.size()) return;
        for (const WxSessionRecord* s = manager.wxSessionLists[size_t(account)].first; s; s = s->next)
            for (const WxMessageRecord* m = s->messages.first; m; m = m->next) {
                if (m->deleted) ++wxDeletedFrom[m->directionFrom];
                if (keepLines && s->peer)
                    wxDirection[WxMessageKey(s->peer->userName, m->time, m->fromMe,
                                             m->type == 1 ? m->text : "")] =
                        DirectionFromName(m->directionFrom);
            }
    }
    // The lines of the last WeChat deliveries joined to the others.
    std::vector<std::string> AllLines() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> all = lines;
        for (const auto& [kind, kept] : kindLines)
            all.insert(all.end(), kept.begin(), kept.end());
        return all;
    }
    void ScanLosses(const std::vector<ScanLoss>& summary) override {
        std::lock_guard<std::mutex> lock(mutex);
        losses = summary;
    }
    void ScanEnd() override { scanEnded = true; }

    void BackUpLoser() override {
        analysisOk = false;
        analysisEnded = true;
    }
    void AnalyzeFinish() override {
        analysisOk = true;
        analysisEnded = true;
    }

    std::map<uint32_t, Counts> counts;
    std::map<WxMessageRecord::DirectionFrom, long> wxDeletedFrom;
    std::map<std::string, const char*> wxDirection;
    std::vector<ScanLoss> losses;
    bool keepLines = false;
    std::vector<std::string> lines;
    std::map<std::string, std::vector<std::string>> kindLines; // replaced on each delivery
    std::mutex mutex;
    std::atomic<bool> scanEnded{false}, analysisEnded{false}, analysisOk{false};

  private:
    template <class List> void CountFlags(uint32_t type, const List& list) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& r : list)
            (r.bDelete() ? counts[type].deleted : counts[type].live)++;
    }
    void Files(uint32_t type, const char* kind, const QList<NSDeletedFile>& files) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            counts[type].live += long(files.size());
        }
        for (const NSDeletedFile& f : files)
            Line({kind, State(f.DeleteMark()), Field(f.FileName()), Field(f.BackUpPath())});
    }
    static std::string Join(std::initializer_list<std::string> fields) {
        std::string line;
        for (const std::string& f : fields) {
            if (!line.empty()) line += '\t';
            line += f;
        }
        return line;
    }
    void Line(std::initializer_list<std::string> fields) {
        if (!keepLines) return;
        std::string line = Join(fields);
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
    }
};

void WaitFor(const std::atomic<bool>& flag) {
    while (!flag.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
}

long PeakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

int Usage() {
    std::fprintf(stderr, "usage: scan_bench [--records FILE] <backup folder> [type mask]\n"
                         "       scan_bench --build-sample <folder> [scale]\n"
                         "       scan_bench --damage-rows <folder> [n]\n");
    return 2;
}

// Whether a table is one of the main tables --damage-rows damages.
bool MainTable(const std::string& name) {
    static const char* const kTables[] = {
        "message",      "call",      "ZCALLRECORD",  "ZICCLOUDSYNCINGOBJECT",
        "ZNOTE",        "bookmarks", "CalendarItem", "Event",
        "ZREMCDOBJECT", "ABPerson",  "ABMultiValue", "ZWAMESSAGE"};
    for (const char* t : kTables)
        if (name == t) return true;
    return name.rfind("Chat_", 0) == 0;
}

// The tables of a SQLite file with their row counts; empty for any other file.
std::vector<std::pair<std::string, int64_t>> TablesOf(const std::filesystem::path& file) {
    std::vector<std::pair<std::string, int64_t>> out;
    {
        std::ifstream in(file, std::ios::binary);
        char head[16] = {};
        if (!in.read(head, 16) || std::string(head, 15) != "SQLite format 3") return out;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select name from sqlite_master where type='table'", -1, &st, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), 0);
        }
        sqlite3_finalize(st);
        for (auto& [name, rows] : out) {
            char* sql = sqlite3_mprintf("select count(*) from %Q", name.c_str());
            if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
                rows = sqlite3_column_int64(st, 0);
            sqlite3_finalize(st);
            sqlite3_free(sql);
        }
    }
    sqlite3_close(db);
    return out;
}

int DamageRows(const std::filesystem::path& folder, int64_t n) {
    int damaged = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().filename() == "Manifest.db") continue;
        const auto tables = TablesOf(entry.path());
        // Of a WeChat database's chat tables, the one with the most rows.
        std::string chat;
        int64_t chatRows = 0;
        for (const auto& [table, rows] : tables)
            if (table.rfind("Chat_", 0) == 0 && rows > chatRows) chat = table, chatRows = rows;
        for (const auto& [table, rows] : tables) {
            if (!MainTable(table) || rows < 3 || (table.rfind("Chat_", 0) == 0 && table != chat)) continue;
            const int64_t nth = rows >= n ? n : (rows + 1) / 2;
            const int64_t rowid = kit::RecordDamage::NthRowid(entry.path(), table, nth);
            if (rowid == 0 || !kit::RecordDamage::DamageRecord(entry.path(), table, rowid)) continue;
            std::printf("damaged %s table %s: row %lld of %lld (rowid %lld)\n",
                        entry.path().filename().string().c_str(), table.c_str(), (long long)nth,
                        (long long)rows, (long long)rowid);
            ++damaged;
        }
    }
    return damaged > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    if (std::string(argv[1]) == "--build-sample") {
        if (argc < 3) return Usage();
        const int scale = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
        const std::filesystem::path folder = argv[2];
        const std::filesystem::path scratch = folder.string() + ".databases";
        kit::SampleBackup::Build(folder, kit::BackupBuilder::Generation::ManifestDb, scale, scratch);
        std::filesystem::remove_all(scratch);
        std::printf("sample backup written to %s (scale %d)\n", argv[2], scale);
        return 0;
    }
    if (std::string(argv[1]) == "--damage-rows") {
        if (argc < 3) return Usage();
        return DamageRows(argv[2], argc > 3 ? std::max<int64_t>(1, std::atoll(argv[3])) : 101);
    }
    std::string recordsFile;
    if (std::string(argv[1]) == "--records") {
        if (argc < 4) return Usage();
        recordsFile = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const uint32_t mask = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 0)) : 0xffff;

    QTemporaryDir cache;
    DeviceScanManager bridge;
    DeviceManage::Services services;
    services.scanBridge = &bridge;
    services.cacheFolder = cache.path();
    DeviceManage hub(services);
    Counter counter;
    counter.keepLines = !recordsFile.empty();
    hub.setBackUpdelegate(&counter);
    hub.setScanFileDelegate(&counter);
    // The WhatsApp step runs as usual and then hands its list to the counter.
    bridge.SetScanManagerHook([&counter](CScanManager& manager) {
        CScanSteps steps = CScanSteps::Default();
        steps.whatsApp = [&counter, run = steps.whatsApp](CScanManager& owner) {
            const bool ok = run && run(owner);
            counter.CountWhatsApp(owner.waChatList);
            return ok;
        };
        steps.wxSessionAndChat = [&counter, run = steps.wxSessionAndChat](CScanManager& owner, int account,
                                                                          bool withChats) {
            const bool ok = run && run(owner, account, withChats);
            if (withChats) counter.NoteWxDirections(owner, account);
            return ok;
        };
        manager.SetSteps(std::move(steps));
    });

    QElapsedTimer wall;
    wall.start();
    auto device = std::make_shared<DeviceInfo>();
    device->SetBackUpPath(folder);
    hub.StartAnalyze(device);
    WaitFor(counter.analysisEnded);
    const double analysisSeconds = wall.nsecsElapsed() / 1e9;
    if (!counter.analysisOk) {
        std::fprintf(stderr, "scan_bench: the backup could not be analysed: %s\n", argv[1]);
        return 1;
    }

    hub.StartScanMask(device, mask);
    WaitFor(counter.scanEnded);
    hub.WaitForTasks();
    const double totalSeconds = wall.nsecsElapsed() / 1e9;

    for (const TypeName& t : kTypes) {
        if (!(mask & t.bit)) continue;
        const Counts c = counter.counts[t.bit];
        std::printf("%-20s live %9ld deleted %9ld\n", t.name, c.live, c.deleted);
        const uint32_t messages = t.bit == ScanWxChats ? kWxMessages : t.bit == ScanWaChats ? kWaMessages : 0;
        if (messages) {
            const Counts m = counter.counts[messages];
            std::printf("%-20s live %9ld deleted %9ld\n",
                        t.bit == ScanWxChats ? "wechat_messages" : "whatsapp_messages", m.live, m.deleted);
            if (t.bit == ScanWxChats) {
                using From = WxMessageRecord::DirectionFrom;
                std::printf("wechat_deleted_direction_from row %ld sender %ld none %ld\n",
                            counter.wxDeletedFrom[From::StoredRow], counter.wxDeletedFrom[From::SenderName],
                            counter.wxDeletedFrom[From::None]);
            }
        }
    }
    for (const ScanLoss& loss : counter.losses) {
        const char* name = "backup";
        for (const TypeName& t : kTypes)
            if (t.bit == loss.dataType) name = t.name;
        const char* kind = loss.kind == ScanLoss::Kind::UnreadableRows  ? "unreadable_rows"
                           : loss.kind == ScanLoss::Kind::LogNotApplied ? "log_not_applied"
                           : loss.kind == ScanLoss::Kind::LeftOut       ? "left_out"
                           : loss.kind == ScanLoss::Kind::FileChanged   ? "file_changed"
                                                                        : "unreadable_database";
        std::printf("lost %-15s %-16s %9lld\n", name, kind, (long long)loss.count);
    }
    if (!recordsFile.empty()) {
        std::ofstream out(recordsFile, std::ios::binary | std::ios::trunc);
        for (const std::string& line : counter.AllLines())
            out << line << '\n';
        if (!out) {
            std::fprintf(stderr, "scan_bench: could not write %s\n", recordsFile.c_str());
            return 1;
        }
    }
    std::printf("analysis_seconds %.3f\n", analysisSeconds);
    std::printf("wall_seconds %.3f\n", totalSeconds);
    std::printf("peak_memory_kb %ld\n", PeakMemoryKb());
    return 0;
}
