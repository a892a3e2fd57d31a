// Whole parse of one WeChat account: a seeded chat database of 200,000 messages over 500
// chats, 20% of them deleted again (secure_delete off), with its contacts. Prints the
// time of the contacts, session and chat parsers together, the peak memory beside the
// size of the records made, how many deleted messages came back out of those whose
// text still lies in the file (counted without the parser, by searching the raw bytes
// for each message's unique tag), and how many live messages were shown as deleted.
#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxSession.h"
#include "core/backup/CMbdbFileParser.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/WeChatAccountBuilder.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMessages = 200000;
constexpr int kChats = 500;
constexpr double kDeletedShare = 0.20;

// The unique tag of message n inside its text: "#m" and 7 digits.
std::string tagOf(int n) {
    char b[16];
    std::snprintf(b, sizeof b, "#m%07d", n);
    return b;
}

int tagIn(const std::string& text) {
    const size_t at = text.find("#m");
    if (at == std::string::npos || at + 9 > text.size()) return -1;
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

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t seed = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 20240601u;
    char pattern[] = "/tmp/wechat_bench_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return 1;
    const fs::path root = made;

    // The chat database, written in one transaction.
    std::mt19937 rng(seed);
    std::vector<bool> deleted(kMessages, false);
    const fs::path chatDb = root / "MM.sqlite";
    {
        kit::FixtureDb db(chatDb);
        db.exec("BEGIN");
        db.exec("CREATE TABLE Friend(UsrName TEXT, NickName TEXT, Type INTEGER);");
        for (int c = 0; c < kChats; ++c)
            db.exec("CREATE TABLE " + kit::WeChatAccountBuilder::ChatTable(peerOf(c)) +
                    "(TableVer INTEGER DEFAULT 1, MesLocalID INTEGER PRIMARY KEY AUTOINCREMENT, MesSvrID INTEGER "
                    "DEFAULT 0, CreateTime INTEGER DEFAULT 0, Message TEXT, Status INTEGER DEFAULT 0, ImgStatus "
                    "INTEGER DEFAULT 0, Type INTEGER, Des INTEGER)");
        std::vector<sqlite3_stmt*> inserts(kChats, nullptr);
        for (int c = 0; c < kChats; ++c) {
            const std::string sql = "INSERT INTO " + kit::WeChatAccountBuilder::ChatTable(peerOf(c)) +
                                    "(MesLocalID,MesSvrID,CreateTime,Message,Status,ImgStatus,Type,Des) "
                                    "VALUES(?1,?2,?3,?4,2,0,1,?5)";
            sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &inserts[size_t(c)], nullptr);
        }
        for (int n = 0; n < kMessages; ++n) {
            const int c = n % kChats;
            sqlite3_stmt* st = inserts[size_t(c)];
            const std::string text = "Message " + tagOf(n) + " of chat " + std::to_string(c) +
                                     std::string(100 + rng() % 60, char('a' + rng() % 26));
            sqlite3_bind_int64(st, 1, 200 + n);
            sqlite3_bind_int64(st, 2, (int64_t(1) << 47) + n);
            sqlite3_bind_int64(st, 3, 1500000000 + n * 7);
            sqlite3_bind_text(st, 4, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 5, n % 3 == 0 ? 0 : 1);
            sqlite3_step(st);
            sqlite3_reset(st);
            deleted[size_t(n)] = (rng() % 1000) < unsigned(kDeletedShare * 1000);
        }
        for (sqlite3_stmt* st : inserts) sqlite3_finalize(st);
        for (int n = 0; n < kMessages; ++n)
            if (deleted[size_t(n)])
                db.exec("DELETE FROM " + kit::WeChatAccountBuilder::ChatTable(peerOf(n % kChats)) +
                        " WHERE MesLocalID=" + std::to_string(200 + n));
        db.exec("COMMIT");
        db.close();
    }
    kit::WeChatAccountBuilder account("wxid_benchowner", "Bench Owner");
    for (int c = 0; c < kChats; ++c) account.AddFriend(peerOf(c), "Friend " + std::to_string(c));
    account.SetChatDbSource(chatDb);
    kit::BackupBuilder backup(root / "backup", kit::BackupBuilder::Generation::ManifestDb);
    account.Write(backup, root / "work");
    backup.Finish();

    CMbdbFileParser parser;
    parser.SetWxAvatarPrefix("http://avatar.test/");
    if (!parser.Open(backup.ManifestPath().c_str(), backup.root().c_str(), backup.IosMajorVersion()) ||
        parser.ScanWeChatAccounts()->empty()) {
        std::fprintf(stderr, "the backup did not open\n");
        return 1;
    }
    const std::string rootDir = backup.root().string() + "/";
    CScanManager m(0x3000, (root / "out").c_str(), rootDir.c_str(), backup.IosMajorVersion(), nullptr, &parser);
    m.wxAccounts = parser.GetWeChatAccounts();
    m.wxContactLists.resize(1);
    m.wxSessionLists.resize(1);

    const long before = peakKb();
    const auto start = std::chrono::steady_clock::now();
    CWxAddressBook(&m, 0).Scan();
    {
        CWxSession session(&m, 0);
        session.Scan();
        CWxChat(&m, &session, 0).Scan();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = peakKb();

    size_t recordBytes = 0, messages = 0, recovered = 0, liveAsDeleted = 0, unknown = 0, mixed = 0;
    std::unordered_set<int> seenDeleted;
    for (const WxSessionRecord* s = m.wxSessionLists[0].first; s; s = s->next) {
        recordBytes += sizeof(WxSessionRecord);
        for (const WxMessageRecord* msg = s->messages.first; msg; msg = msg->next) {
            ++messages;
            recordBytes += sizeof(WxMessageRecord) + stringBytes(msg->text) + stringBytes(msg->senderUserName) +
                           stringBytes(msg->senderDisplayName) + stringBytes(msg->senderHeadUrl);
            // A message is known by its time (one second step per message); its text
            // must carry that message's tag.
            const int64_t offset = msg->time - 1500000000;
            if (offset < 0 || offset % 7 != 0 || offset / 7 >= kMessages) {
                ++unknown;
                continue;
            }
            const int n = int(offset / 7);
            if (tagIn(msg->text) != n) {
                ++mixed;
                continue;
            }
            if (deleted[size_t(n)] && msg->deleted) seenDeleted.insert(n);
            if (!deleted[size_t(n)] && msg->deleted) ++liveAsDeleted;
        }
    }
    recovered = seenDeleted.size();

    // Deleted messages whose tag still lies in the file.
    std::ifstream in(chatDb, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::unordered_set<int> surviving;
    for (size_t at = bytes.find("#m"); at != std::string::npos; at = bytes.find("#m", at + 2)) {
        if (at + 9 > bytes.size()) break;
        const int n = std::atoi(bytes.c_str() + at + 2);
        if (n >= 0 && n < kMessages && deleted[size_t(n)]) surviving.insert(n);
    }
    size_t deletedCount = 0;
    for (bool d : deleted) deletedCount += d;

    std::printf("wechat_parse_seconds %.3f\n", seconds);
    std::printf("wechat_messages %zu (of %d written, %zu deleted)\n", messages, kMessages, deletedCount);
    std::printf("wechat_peak_rss_kb %ld (before the parse %ld)\n", peak, before);
    std::printf("wechat_record_kb %zu\n", recordBytes / 1024);
    std::printf("wechat_deleted_recovered %zu of %zu whose bytes survive\n", recovered, surviving.size());
    std::printf("wechat_live_shown_deleted %zu\n", liveAsDeleted);
    std::printf("wechat_recovered_with_foreign_bytes %zu, with no written time %zu\n", mixed, unknown);
    std::error_code ec;
    fs::remove_all(root, ec);
    return liveAsDeleted == 0 ? 0 : 2;
}
