// Whole parse of one generated WeChat account: a seeded chat database (by default
// 200,000 messages over 500 chats, 20% of them deleted again with secure_delete off),
// its contacts, and a search index that holds a copy of every fifth message (its
// deletion list naming the deleted ones), some messages found only in the index, and
// one chat whose table was dropped and re-created (its local ids start again). Besides,
// ten chats the user cleared (every row deleted at once, their pages freed) and five
// chats dropped together with their friend (no contact record left), the index holding a
// copy of each of their messages, sent and received.
//
// Prints the time of the contacts, session and chat parsers together, the peak memory of
// the parse beside the size of the records delivered, and what a user would see: how
// many deleted messages came back out of those whose text still lies in a file (counted
// without the parser, by searching the raw bytes for each message's unique tag), wrong
// directions (split by what the direction rests on: a stored row, a stored sender name,
// nothing; and those among deleted messages whose chat row survives), duplicates, junk
// (deleted records matching no written message), messages in another peer's chat, and
// live messages also offered as deleted.
//
// Then the heavy lines ("heavy ..."): one peer with 200,000 live messages whose rows the
// search index also holds, a local store of 100,000 records for one peer, and the
// "same second" pair: a local store and a search index whose records (80,000 by default)
// all carry one second, every eighth a copy of the one before and every fiftieth in the
// store a link whose title begins an earlier text.
//
// Options: --messages N (size of the main account), --seed S, --growth (also parses
// 4x the messages and prints the time ratio), --no-heavy, --no-store (no local-store
// lines), --detail (a few records behind each figure), --no-main (no main account),
// --same-second N (records of the same-second lines), --same-second-series (the
// same-second lines at 10,000, 20,000, 40,000 and 80,000), --stores N (peak memory of one
// account with N local stores of 600,000 records each; one count per run, so that no
// earlier parse's memory stays in the figure).
#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxSession.h"
#include "core/backup/CMbdbFileParser.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/ScanLoss.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "core/util/MD5_CTX.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/ProtoWriter.h"
#include "tests/kit/WeChatAccountBuilder.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kDefaultMessages = 200000;
constexpr int kChats = 500;
constexpr double kDeletedShare = 0.20;
constexpr int kRecreatedChat = kChats - 1; // its table is dropped half way and made again
// Chats the user cleared, and chats dropped with their friend; the index holds all of both.
constexpr int kClearedChats = 10, kDroppedChats = 5;
bool isCleared(int chat) {
    return chat < kClearedChats;
}
bool isDropped(int chat) {
    return chat >= kClearedChats && chat < kClearedChats + kDroppedChats;
}
constexpr int64_t kTime0 = 1500000000;
const char kOwner[] = "wxid_benchowner";

const char kChatColumns[] =
    "(TableVer INTEGER DEFAULT 1, MesLocalID INTEGER PRIMARY KEY AUTOINCREMENT, MesSvrID INTEGER "
    "DEFAULT 0, CreateTime INTEGER DEFAULT 0, Message TEXT, Status INTEGER DEFAULT 0, ImgStatus "
    "INTEGER DEFAULT 0, Type INTEGER, Des INTEGER)";

// The unique tag of message n inside its text: "#m" and 7 digits.
std::string tagOf(int n) {
    char b[16];
    std::snprintf(b, sizeof b, "#m%07d", n);
    return b;
}

int tagIn(const std::string& text) {
    const size_t at = text.find("#m");
    if (at == std::string::npos || at + 9 > text.size()) return -1;
    for (size_t i = at + 2; i < at + 9; ++i)
        if (text[i] < '0' || text[i] > '9') return -1;
    return std::atoi(text.c_str() + at + 2);
}

std::string peerOf(int chat) {
    char b[32];
    std::snprintf(b, sizeof b, "wxid_peer%05d", chat);
    return b;
}

size_t stringBytes(const std::string& s) {
    return s.capacity() > 15 ? s.capacity() + 1 : 0;
}

size_t messageBytes(const WxMessageRecord& m) {
    size_t n = sizeof(WxMessageRecord);
    for (const std::string* s :
         {&m.senderUserName, &m.senderDisplayName, &m.senderHeadUrl, &m.text, &m.mediaPath, &m.title, &m.url,
          &m.description, &m.thumbUrl, &m.locationLabel, &m.cardUserName, &m.cardNickName, &m.cardHeadUrl,
          &m.emojiText})
        n += stringBytes(*s);
    return n;
}

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n);
    return -1;
}

// Starts a new peak: the kernel's high-water mark of the resident set is reset to the
// current size (Linux; without it the peak of the whole process is reported).
bool resetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return bool(out);
}

long peakKb() {
    const long hwm = statusKb("VmHWM:");
    if (hwm >= 0) return hwm;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Stmt {
    sqlite3_stmt* st = nullptr;
    Stmt(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr); }
    ~Stmt() { sqlite3_finalize(st); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    void step() {
        sqlite3_step(st);
        sqlite3_reset(st);
    }
};

// Search index tables as the parser reads them (the content table of message table 0,
// layout A, written as a plain table).
void createIndex(kit::FixtureDb& db) {
    db.exec("CREATE TABLE fts_username_id(usernameid INTEGER PRIMARY KEY, UsrName TEXT, validfalg INTEGER, "
            "preCursorMesId INTEGER, tableid INTEGER, nextCursorMesId INTEGER);"
            "CREATE TABLE fts_msg_delete_table(userNameId INTEGER, localId INTEGER);"
            "CREATE TABLE fts_message_table_0_content(docid INTEGER PRIMARY KEY, c0usernameid, c1MesLocalID, "
            "c2CreateTime, c3Message);");
}

// One parse of the chat parsers over a backup with one account.
struct Parse {
    std::unique_ptr<CMbdbFileParser> parser;
    std::unique_ptr<CScanManager> manager;
    double seconds = 0;
    long peakKb = 0, beforeKb = 0;
    bool ok = false;
};

void runParse(kit::BackupBuilder& backup, const fs::path& out, Parse& p) {
    p.parser = std::make_unique<CMbdbFileParser>();
    p.parser->SetWxAvatarPrefix("http://avatar.test/");
    if (!p.parser->Open(backup.ManifestPath().c_str(), backup.root().c_str(), backup.IosMajorVersion()) ||
        p.parser->ScanWeChatAccounts()->empty())
        return;
    const std::string rootDir = backup.root().string() + "/";
    p.manager = std::make_unique<CScanManager>(0x3000, out.c_str(), rootDir.c_str(), backup.IosMajorVersion(),
                                               nullptr, p.parser.get());
    CScanManager& m = *p.manager;
    m.wxAccounts = p.parser->GetWeChatAccounts();
    m.wxContactLists.resize(1);
    m.wxSessionLists.resize(1);
    resetPeak();
    p.beforeKb = statusKb("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    CWxAddressBook(&m, 0).Scan();
    {
        CWxSession session(&m, 0);
        session.Scan();
        CWxChat(&m, &session, 0).Scan();
    }
    p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    p.peakKb = peakKb();
    p.ok = true;
}

// What was written for message n.
struct Truth {
    int chat = 0;
    bool deleted = false;
    bool fromMe = false;
    int64_t time = 0;
};

struct MainFigures {
    double seconds = 0;
};

bool gDetail = false; // --detail: print a few records behind each figure

void detail(const char* what, const WxSessionRecord* s, const WxMessageRecord* m, int tag) {
    static std::unordered_map<std::string, int> printed;
    if (!gDetail || printed[what]++ >= 8) return;
    std::printf(
        "  [%s] tag %d time %lld deleted %d fromMe %d type %d local id %u peer %s (kind %d) text %.40s\n",
        what, tag, (long long)m->time, int(m->deleted), int(m->fromMe), m->type, m->localId,
        s->peer ? s->peer->userName.c_str() : "-", s->peer ? s->peer->kind : -1, m->text.c_str());
}

// The stored path of the bench account's search index.
std::string ftsPath() {
    return "Documents/" + getMd5String(kOwner) + "/fts/fts_message.db";
}

MainFigures runMain(const fs::path& root, int messages, uint32_t seed) {
    MainFigures fig;
    std::mt19937 rng(seed);
    const int indexOnly = messages / 100; // tags messages .. messages + indexOnly - 1
    std::vector<Truth> truth(size_t(messages + indexOnly));
    std::vector<bool> indexed(truth.size(), false);
    std::vector<int64_t> localIds(truth.size(), 0);
    std::vector<std::string> texts(truth.size());

    const fs::path chatDb = root / "MM.sqlite";
    const fs::path ftsDb = root / "fts_message.db";
    {
        kit::FixtureDb db(chatDb);
        db.exec("BEGIN");
        db.exec("CREATE TABLE Friend(UsrName TEXT, NickName TEXT, Type INTEGER);");
        for (int c = 0; c < kChats; ++c)
            db.exec("CREATE TABLE " + kit::WeChatAccountBuilder::ChatTable(peerOf(c)) + kChatColumns);
        auto insertSql = [](int c) {
            return "INSERT INTO " + kit::WeChatAccountBuilder::ChatTable(peerOf(c)) +
                   "(MesLocalID,MesSvrID,CreateTime,Message,Status,ImgStatus,Type,Des) "
                   "VALUES(?1,?2,?3,?4,2,0,1,?5)";
        };
        std::vector<std::unique_ptr<Stmt>> inserts;
        for (int c = 0; c < kChats; ++c)
            inserts.push_back(std::make_unique<Stmt>(db.handle(), insertSql(c)));
        // The re-created chat: the first half of its messages go into the old table
        // (dropped afterwards), the second half into the new one, whose local ids
        // start again at 200.
        std::vector<int> recreatedLater;
        int64_t recreatedId = 200;
        for (int n = 0; n < messages; ++n) {
            const int c = n % kChats;
            Truth& t = truth[size_t(n)];
            t.chat = c;
            t.time = kTime0 + int64_t(n) * 7;
            t.fromMe = n % 3 == 0;
            texts[size_t(n)] = "Message " + tagOf(n) + " of chat " + std::to_string(c) +
                               std::string(100 + rng() % 60, char('a' + rng() % 26));
            t.deleted = (rng() % 1000) < unsigned(kDeletedShare * 1000);
            indexed[size_t(n)] = n % 5 == 0;
            if (c == kRecreatedChat && n >= messages / 2) {
                recreatedLater.push_back(n);
                continue;
            }
            localIds[size_t(n)] = c == kRecreatedChat ? recreatedId++ : 200 + n;
            if (c == kRecreatedChat || isCleared(c) || isDropped(c)) {
                t.deleted = true; // its table is dropped or cleared
                indexed[size_t(n)] = true;
            }
            Stmt& st = *inserts[size_t(c)];
            sqlite3_bind_int64(st.st, 1, localIds[size_t(n)]);
            sqlite3_bind_int64(st.st, 2, (int64_t(1) << 47) + n);
            sqlite3_bind_int64(st.st, 3, t.time);
            sqlite3_bind_text(st.st, 4, texts[size_t(n)].c_str(), int(texts[size_t(n)].size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int64(st.st, 5, t.fromMe ? 0 : 1);
            st.step();
        }
        for (int n = 0; n < messages; ++n) {
            const int c = truth[size_t(n)].chat;
            if (truth[size_t(n)].deleted && c != kRecreatedChat && !isCleared(c) && !isDropped(c))
                db.exec("DELETE FROM " + kit::WeChatAccountBuilder::ChatTable(peerOf(n % kChats)) +
                        " WHERE MesLocalID=" + std::to_string(200 + n));
        }
        inserts.clear();
        for (int c = 0; c < kClearedChats + kDroppedChats; ++c)
            db.exec((isCleared(c) ? "DELETE FROM " : "DROP TABLE ") +
                    kit::WeChatAccountBuilder::ChatTable(peerOf(c)));
        const std::string recreated = kit::WeChatAccountBuilder::ChatTable(peerOf(kRecreatedChat));
        db.exec("DROP TABLE " + recreated);
        db.exec("CREATE TABLE " + recreated + kChatColumns);
        {
            Stmt st(db.handle(), insertSql(kRecreatedChat));
            recreatedId = 200;
            for (int n : recreatedLater) {
                Truth& t = truth[size_t(n)];
                t.deleted = false;
                indexed[size_t(n)] = true;
                localIds[size_t(n)] = recreatedId++;
                sqlite3_bind_int64(st.st, 1, localIds[size_t(n)]);
                sqlite3_bind_int64(st.st, 2, (int64_t(1) << 47) + n);
                sqlite3_bind_int64(st.st, 3, t.time);
                sqlite3_bind_text(st.st, 4, texts[size_t(n)].c_str(), int(texts[size_t(n)].size()),
                                  SQLITE_TRANSIENT);
                sqlite3_bind_int64(st.st, 5, t.fromMe ? 0 : 1);
                st.step();
            }
        }
        db.exec("COMMIT");
        db.close();
    }
    // Messages found only in the index (their chat rows are long overwritten), at their
    // own seconds between the others.
    for (int k = 0; k < indexOnly; ++k) {
        const int n = messages + k;
        Truth& t = truth[size_t(n)];
        t.chat = kClearedChats + kDroppedChats + int(rng() % (kChats - 1 - kClearedChats - kDroppedChats));
        t.time = kTime0 + int64_t(rng() % unsigned(messages)) * 7 + 3;
        t.fromMe = false;
        t.deleted = true;
        indexed[size_t(n)] = true;
        localIds[size_t(n)] = 100000000 + n;
        texts[size_t(n)] = "Indexed " + tagOf(n) + " of chat " + std::to_string(t.chat);
    }
    {
        kit::FixtureDb db(ftsDb);
        db.exec("BEGIN");
        createIndex(db);
        for (int c = 0; c < kChats; ++c)
            db.run("INSERT INTO fts_username_id VALUES(?1,?2,1,0,0,0)", {int64_t(c + 1), peerOf(c)});
        Stmt row(db.handle(),
                 "INSERT INTO fts_message_table_0_content(c0usernameid,c1MesLocalID,c2CreateTime,"
                 "c3Message) VALUES(?1,?2,?3,?4)");
        Stmt gone(db.handle(), "INSERT INTO fts_msg_delete_table VALUES(?1,?2)");
        for (size_t n = 0; n < truth.size(); ++n) {
            if (!indexed[n]) continue;
            const Truth& t = truth[n];
            sqlite3_bind_int64(row.st, 1, t.chat + 1);
            sqlite3_bind_int64(row.st, 2, localIds[n]);
            sqlite3_bind_int64(row.st, 3, t.time);
            sqlite3_bind_text(row.st, 4, texts[n].c_str(), int(texts[n].size()), SQLITE_TRANSIENT);
            row.step();
            if (t.deleted) {
                sqlite3_bind_int64(gone.st, 1, t.chat + 1);
                sqlite3_bind_int64(gone.st, 2, localIds[n]);
                gone.step();
            }
        }
        db.exec("COMMIT");
        db.close();
    }
    kit::WeChatAccountBuilder account(kOwner, "Bench Owner");
    for (int c = 0; c < kChats; ++c)
        if (!isDropped(c)) account.AddFriend(peerOf(c), "Friend " + std::to_string(c));
    account.SetChatDbSource(chatDb);
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    backup.AddFileFrom(kit::WeChatAccountBuilder::Domain(), ftsPath(), ftsDb);
    backup.Finish();

    Parse p;
    runParse(backup, root / "out", p);
    if (!p.ok) {
        std::fprintf(stderr, "the backup did not open\n");
        return fig;
    }
    fig.seconds = p.seconds;

    // Deleted messages whose chat row still lies in the chat database.
    std::unordered_set<int> rowSurvives;
    {
        const std::string bytes = readBytes(chatDb);
        for (size_t at = bytes.find("#m"); at != std::string::npos; at = bytes.find("#m", at + 2)) {
            const int n = tagIn(bytes.substr(at, 9));
            if (n >= 0 && size_t(n) < truth.size() && truth[size_t(n)].deleted) rowSurvives.insert(n);
        }
    }
    using From = WxMessageRecord::DirectionFrom;
    size_t wrongFrom[3] = {0, 0, 0}, wrongWithRow = 0;
    size_t recordBytes = 0, shown = 0, shownDeleted = 0, wrongDirection = 0, duplicates = 0, junk = 0;
    size_t wrongChat = 0, unnamedChat = 0, liveAsDeleted = 0, recoveredRecords = 0;
    std::vector<int> seen(truth.size(), 0);
    std::unordered_set<int> recoveredTags;
    for (const WxSessionRecord* s = p.manager->wxSessionLists[0].first; s; s = s->next) {
        recordBytes += sizeof(WxSessionRecord);
        for (const WxMessageRecord* msg = s->messages.first; msg; msg = msg->next) {
            ++shown;
            recordBytes += messageBytes(*msg);
            shownDeleted += msg->deleted;
            const int n = tagIn(msg->text);
            // A record is known by its tag and the time written with it.
            if (n < 0 || size_t(n) >= truth.size() || truth[size_t(n)].time != msg->time) {
                if (msg->deleted) detail("junk", s, msg, n);
                junk += msg->deleted;
                continue;
            }
            const Truth& t = truth[size_t(n)];
            if (++seen[size_t(n)] > 1) ++duplicates, detail("duplicate", s, msg, n);
            if (!s->peer || s->peer->kind == 4)
                ++unnamedChat, detail("unnamed chat", s, msg, n);
            else if (s->peer->userName != peerOf(t.chat))
                ++wrongChat, detail("wrong chat", s, msg, n);
            if (!msg->deleted) continue;
            if (!t.deleted) {
                ++liveAsDeleted;
                continue;
            }
            ++recoveredRecords;
            if (msg->fromMe != t.fromMe) {
                ++wrongDirection, detail("wrong direction", s, msg, n);
                ++wrongFrom[size_t(msg->directionFrom)];
                if (rowSurvives.count(n)) ++wrongWithRow;
            }
            recoveredTags.insert(n);
        }
    }

    // Deleted messages whose tag still lies in a file.
    std::unordered_set<int> surviving;
    for (const fs::path& file : {chatDb, ftsDb}) {
        const std::string bytes = readBytes(file);
        for (size_t at = bytes.find("#m"); at != std::string::npos; at = bytes.find("#m", at + 2)) {
            const int n = tagIn(bytes.substr(at, 9));
            if (n >= 0 && size_t(n) < truth.size() && truth[size_t(n)].deleted) surviving.insert(n);
        }
    }
    size_t deletedCount = 0;
    for (const Truth& t : truth)
        deletedCount += t.deleted;
    auto share = [](size_t a, size_t b) { return b ? 100.0 * double(a) / double(b) : 0.0; };

    std::printf("wechat_parse_seconds %.3f\n", p.seconds);
    std::printf("wechat_messages %zu shown, %zu of them deleted (of %zu written, %zu deleted, %d only in the "
                "search index)\n",
                shown, shownDeleted, truth.size(), deletedCount, indexOnly);
    std::printf("wechat_peak_rss_kb %ld during the parse (%ld before it), %.2fx the records\n", p.peakKb,
                p.beforeKb, recordBytes ? double(p.peakKb - p.beforeKb) * 1024.0 / double(recordBytes) : 0.0);
    std::printf("wechat_record_kb %zu\n", recordBytes / 1024);
    std::printf("wechat_deleted_recovered %zu of %zu whose bytes survive\n", recoveredTags.size(),
                surviving.size());
    std::printf("wechat_wrong_direction %zu of %zu recovered records (%.2f%%): from a stored row %zu, from a "
                "sender name %zu, from nothing (index copy) %zu\n",
                wrongDirection, recoveredRecords, share(wrongDirection, recoveredRecords),
                wrongFrom[size_t(From::StoredRow)], wrongFrom[size_t(From::SenderName)],
                wrongFrom[size_t(From::None)]);
    std::printf("wechat_wrong_direction_row_survives %zu of %zu deleted messages whose chat row survives\n",
                wrongWithRow, rowSurvives.size());
    std::printf("wechat_duplicates %zu\n", duplicates);
    std::printf("wechat_junk %zu of %zu deleted records (%.2f%%)\n", junk, shownDeleted,
                share(junk, shownDeleted));
    std::printf("wechat_wrong_chat %zu (in an unnamed chat %zu)\n", wrongChat, unnamedChat);
    std::printf("wechat_live_shown_deleted %zu\n", liveAsDeleted);
    return fig;
}

// A search index whose message table holds `count` rows of one peer, row n at the time
// and with the text `row(n)` gives, local ids from 200.
void writeIndexOfOnePeer(const fs::path& path, const std::string& peer, int count,
                         const std::function<std::pair<int64_t, std::string>(int)>& row) {
    kit::FixtureDb db(path);
    db.exec("BEGIN");
    createIndex(db);
    db.run("INSERT INTO fts_username_id VALUES(1,?1,1,0,0,0)", {peer});
    Stmt st(db.handle(), "INSERT INTO fts_message_table_0_content(c0usernameid,c1MesLocalID,c2CreateTime,"
                         "c3Message) VALUES(1,?1,?2,?3)");
    for (int n = 0; n < count; ++n) {
        const auto [time, text] = row(n);
        sqlite3_bind_int64(st.st, 1, 200 + n);
        sqlite3_bind_int64(st.st, 2, time);
        sqlite3_bind_text(st.st, 3, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
        st.step();
    }
    db.exec("COMMIT");
    db.close();
}

// One peer with `count` live messages, every one also held by the search index.
void heavyIndexedChat(const fs::path& root, int count) {
    const std::string peer = peerOf(0);
    const fs::path chatDb = root / "MM.sqlite";
    const fs::path ftsDb = root / "fts_message.db";
    {
        kit::FixtureDb db(chatDb);
        db.exec("BEGIN");
        db.exec("CREATE TABLE Friend(UsrName TEXT, NickName TEXT, Type INTEGER);");
        db.exec("CREATE TABLE " + kit::WeChatAccountBuilder::ChatTable(peer) + kChatColumns);
        Stmt st(db.handle(), "INSERT INTO " + kit::WeChatAccountBuilder::ChatTable(peer) +
                                 "(MesLocalID,MesSvrID,CreateTime,Message,Status,ImgStatus,Type,Des) "
                                 "VALUES(?1,?2,?3,?4,2,0,1,?5)");
        for (int n = 0; n < count; ++n) {
            const std::string text = "Heavy " + tagOf(n) + " " + std::string(40 + n % 50, 'h');
            sqlite3_bind_int64(st.st, 1, 200 + n);
            sqlite3_bind_int64(st.st, 2, (int64_t(1) << 47) + n);
            sqlite3_bind_int64(st.st, 3, kTime0 + n * 3);
            sqlite3_bind_text(st.st, 4, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st.st, 5, n % 2);
            st.step();
        }
        db.exec("COMMIT");
        db.close();
    }
    writeIndexOfOnePeer(ftsDb, peer, count, [](int n) {
        return std::pair{kTime0 + n * 3, "Heavy " + tagOf(n) + " " + std::string(40 + n % 50, 'h')};
    });
    kit::WeChatAccountBuilder account(kOwner, "Bench Owner");
    account.AddFriend(peer, "Heavy friend");
    account.SetChatDbSource(chatDb);
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    backup.AddFileFrom(kit::WeChatAccountBuilder::Domain(), ftsPath(), ftsDb);
    backup.Finish();
    Parse p;
    runParse(backup, root / "out", p);
    size_t shown = 0, asDeleted = 0;
    if (p.ok)
        for (const WxSessionRecord* s = p.manager->wxSessionLists[0].first; s; s = s->next)
            for (const WxMessageRecord* m = s->messages.first; m; m = m->next)
                ++shown, asDeleted += m->deleted;
    std::printf("heavy indexed_chat %d live messages, all in the search index: %.3f s (%zu shown, %zu as "
                "deleted)%s\n",
                count, p.seconds, shown, asDeleted, p.ok ? "" : " [did not open]");
}

// A friend of the account with a row in an extra message database: the local stores are
// read for accounts that have one.
void addStoreFriend(kit::WeChatAccountBuilder& account, const std::string& peer) {
    account.AddFriend(peer, "Store friend");
    account.AddMessage(kit::WeChatAccountBuilder::MessageDb1,
                       {peer, kTime0 - 10, 1, false, "extra database row"});
}

// The stored path of the bench account's local store number `n`.
std::string storePath(int n) {
    return "Documents/" + getMd5String(kOwner) + "/session/lsm_data/store" + std::to_string(n);
}

// The messages a parse shows for the first account.
size_t shownOf(const Parse& p) {
    size_t shown = 0;
    if (p.ok)
        for (const WxSessionRecord* s = p.manager->wxSessionLists[0].first; s; s = s->next)
            shown += size_t(s->messages.count);
    return shown;
}

// A local store of `count` records for one peer (read for accounts with an extra
// message database).
void heavyLocalStore(const fs::path& root, int count) {
    const std::string peer = peerOf(1);
    kit::WeChatAccountBuilder account(kOwner, "Bench Owner");
    addStoreFriend(account, peer);
    for (int n = 0; n < count; ++n)
        account.AddLocalStore({peer, kTime0 + n * 5, 1, n % 2 == 0, "Store " + tagOf(n) + " text"});
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    backup.Finish();
    Parse p;
    runParse(backup, root / "out", p);
    std::printf("heavy local_store %d records for one peer: %.3f s (%zu shown)%s\n", count, p.seconds,
                shownOf(p), p.ok ? "" : " [did not open]");
}

// One local-store record (the layout the store reader looks for).
void appendStoreRecord(kit::ProtoWriter& out, int64_t time, int32_t type, const std::string& from,
                       const std::string& to, const std::string& text) {
    out.VarintWidth(uint64_t(time), 5);
    out.Bytes(11, text).VarintField(5, 1).VarintField(1, 1).VarintField(2, 1).VarintField(3, uint64_t(type));
    out.VarintField(4, 0).VarintField(6, 0);
    out.Bytes(8, from).Bytes(9, to).Bytes(10, "");
    out.Raw(std::string(8, '\0'));
}

// Text n of a same-second line: distinct from every other within the leading third that
// the duplicate test compares.
std::string sameSecondText(int n) {
    char b[16];
    std::snprintf(b, sizeof b, "%010d", n);
    return std::string(b) + std::string(20, char('a' + n % 26));
}

// A local store of `count` records for one peer, all of one second.
void heavySameSecondStore(const fs::path& root, int count) {
    const std::string peer = peerOf(2);
    kit::WeChatAccountBuilder account(kOwner, "Bench Owner");
    addStoreFriend(account, peer);
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    kit::ProtoWriter out;
    out.Raw(std::string(32, '\0'));
    for (int n = 0; n < count; ++n) {
        const bool fromMe = n % 2 == 0;
        std::string text = sameSecondText(n);
        int32_t type = 1;
        if (n % 8 == 7) {
            text = sameSecondText(n - 1); // a copy
        } else if (n % 50 == 49) {
            type = 49; // a link whose title begins an earlier text
            text = "<msg><appmsg><title>" + sameSecondText(n - 3).substr(0, 10) +
                   "</title><url>http://link.test/</url></appmsg></msg>";
        }
        appendStoreRecord(out, kTime0, type, fromMe ? kOwner : peer, fromMe ? peer : kOwner, text);
    }
    backup.AddFile(kit::WeChatAccountBuilder::Domain(), storePath(0), out.str());
    backup.Finish();
    Parse p;
    runParse(backup, root / "out", p);
    std::printf("heavy same_second local_store %d records of one second: %.3f s (%zu shown)%s\n", count,
                p.seconds, shownOf(p), p.ok ? "" : " [did not open]");
}

// A search index of `count` rows of one second for a peer without a chat (every row is
// filed, each looked up among those filed before it).
void heavySameSecondIndex(const fs::path& root, int count) {
    const std::string peer = peerOf(3);
    const fs::path ftsDb = root / "fts_message.db";
    writeIndexOfOnePeer(ftsDb, peer, count, [](int n) {
        return std::pair{kTime0, sameSecondText(n % 8 == 7 ? n - 1 : n)};
    });
    kit::WeChatAccountBuilder account(kOwner, "Bench Owner");
    account.AddFriend(peerOf(4), "Other friend");
    account.AddMessage(kit::WeChatAccountBuilder::MainDb, {peerOf(4), kTime0 - 10, 1, false, "a live row"});
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    backup.AddFileFrom(kit::WeChatAccountBuilder::Domain(), ftsPath(), ftsDb);
    backup.Finish();
    Parse p;
    runParse(backup, root / "out", p);
    std::printf("heavy same_second search_index %d rows of one second: %.3f s (%zu shown)%s\n", count,
                p.seconds, shownOf(p), p.ok ? "" : " [did not open]");
}

// One account with `stores` local stores of `perStore` records each (every record its
// own second): the peak memory of the parse.
void storesMemory(const fs::path& root, int stores, int perStore) {
    const std::string peer = peerOf(5);
    kit::WeChatAccountBuilder account(kOwner, "Bench Owner");
    addStoreFriend(account, peer);
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    for (int f = 0; f < stores; ++f) {
        kit::ProtoWriter out;
        out.Raw(std::string(32, '\0'));
        for (int n = 0; n < perStore; ++n) {
            const int64_t k = int64_t(f) * perStore + n;
            const bool fromMe = n % 2 == 0;
            appendStoreRecord(out, kTime0 + k * 3, 1, fromMe ? kOwner : peer, fromMe ? peer : kOwner,
                              "Store " + std::to_string(f) + " record " + std::to_string(n) + " text");
        }
        backup.AddFile(kit::WeChatAccountBuilder::Domain(), storePath(f), out.str());
    }
    backup.Finish();
    Parse p;
    runParse(backup, root / "out", p);
    int64_t leftOut = 0;
    if (p.ok)
        for (const ScanLoss& loss : p.manager->losses)
            if (loss.kind == ScanLoss::Kind::LeftOut) leftOut += loss.count;
    std::printf("stores %d of %d records: peak %ld MB during the parse (%ld MB before), %.3f s, %zu shown, "
                "%lld left out%s\n",
                stores, perStore, p.peakKb / 1024, p.beforeKb / 1024, p.seconds, shownOf(p),
                (long long)leftOut, p.ok ? "" : " [did not open]");
}

fs::path freshFolder(const fs::path& parent, const char* name) {
    const fs::path dir = parent / name;
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

} // namespace

int main(int argc, char** argv) {
    int messages = kDefaultMessages;
    uint32_t seed = 20240601u;
    bool growth = false, heavy = true, store = true, mainAccount = true, sameSecondSeries = false;
    int stores = 0;
    int sameSecond = 80000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--messages" && i + 1 < argc)
            messages = std::max(kChats * 2, std::atoi(argv[++i]));
        else if (a == "--seed" && i + 1 < argc)
            seed = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--growth")
            growth = true;
        else if (a == "--no-heavy")
            heavy = false;
        else if (a == "--detail")
            gDetail = true;
        else if (a == "--no-store")
            store = false;
        else if (a == "--no-main")
            mainAccount = false;
        else if (a == "--same-second" && i + 1 < argc)
            sameSecond = std::max(1, std::atoi(argv[++i]));
        else if (a == "--same-second-series")
            sameSecondSeries = true;
        else if (a == "--stores" && i + 1 < argc)
            stores = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: wechat_bench [--messages N] [--seed S] [--growth] [--no-heavy] "
                                 "[--no-store] [--detail] [--no-main] [--same-second N] "
                                 "[--same-second-series] [--stores N]\n");
            return 1;
        }
    }
    char pattern[] = "/tmp/wechat_bench_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return 1;
    const fs::path root = made;

    MainFigures base;
    if (mainAccount) {
        std::printf("wechat_size %d messages, %d chats\n", messages, kChats);
        base = runMain(freshFolder(root, "main"), messages, seed);
    }
    if (growth && mainAccount) {
        std::printf("-- 4x the messages --\n");
        const MainFigures big = runMain(freshFolder(root, "growth"), messages * 4, seed);
        std::printf("wechat_growth_4x %.2fx the time (%.3f s vs %.3f s)\n",
                    base.seconds > 0 ? big.seconds / base.seconds : 0.0, big.seconds, base.seconds);
    }
    if (heavy) {
        heavyIndexedChat(freshFolder(root, "heavy_index"), 200000);
        if (store) heavyLocalStore(freshFolder(root, "heavy_store"), 100000);
        if (store) heavySameSecondStore(freshFolder(root, "same_second_store"), sameSecond);
        heavySameSecondIndex(freshFolder(root, "same_second_index"), sameSecond);
    }
    if (sameSecondSeries) {
        for (int n : {10000, 20000, 40000, 80000}) {
            const std::string tag = std::to_string(n);
            heavySameSecondStore(freshFolder(root, ("series_store_" + tag).c_str()), n);
            heavySameSecondIndex(freshFolder(root, ("series_index_" + tag).c_str()), n);
        }
    }
    if (stores > 0) storesMemory(freshFolder(root, "stores"), stores, 600000);
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
