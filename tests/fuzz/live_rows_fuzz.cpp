// Fuzz target of the live-row reads of the system-app parsers: one database holding the
// tables of Messages, call history, Notes, Safari bookmarks, Calendar and Contacts with a
// few hundred rows each is built once; each input picks one parser and damages the pages
// of its main table (patches of single bytes), then the parser reads the database and
// the live-row reader walks that table in its own order and sorted. Nothing may crash,
// hang or leak; the reader hands every row on once at most.
//
// Input: byte 0 picks the parser (modulo their number); every following 4 bytes are one
// patch: a 24-bit big-endian position inside the table's pages, then the byte written.
#include "core/apps/CAddressBook.h"
#include "core/apps/CBookMark.h"
#include "core/apps/CCalendar.h"
#include "core/apps/CCallHistory.h"
#include "core/apps/CMemo.h"
#include "core/apps/CReminder.h"
#include "core/apps/CSMS.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/LiveRowReader.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "scan/engine/CScanManager.h"
#include "tests/fuzz/FuzzBackup.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kPageSize = 1024;
constexpr int kRows = 150;

struct Target {
    const char* table;   // the table whose pages are damaged
    const char* orderBy; // a sort of it for the reader's second walk
    std::function<void(CScanManager&)> run;
};

const Target kTargets[] = {
    {"message", "handle_id", [](CScanManager& m) { CSMS(&m).Scan(); }},
    {"ZCALLRECORD", "ZDATE DESC", [](CScanManager& m) { CCallHistory(&m).Scan(); }},
    {"ZICCLOUDSYNCINGOBJECT", "ZMODIFICATIONDATE1 DESC", [](CScanManager& m) { CMemo(&m).Scan(); }},
    {"bookmarks", "id", [](CScanManager& m) { CBookMark(&m).Scan(); }},
    {"CalendarItem", "start_date", [](CScanManager& m) { CCalendar(&m).Scan(); }},
    {"CalendarItem", "summary", [](CScanManager& m) { CReminder(&m).Scan(); }},
    {"ABMultiValue", "record_id", [](CScanManager& m) { CAddressBook(&m).Scan(); }},
    {"ABPerson", "Last", [](CScanManager& m) { CAddressBook(&m).Scan(); }},
};
constexpr size_t kTargetCount = sizeof kTargets / sizeof kTargets[0];

const char* const kSchema =
    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT, service TEXT);"
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, text TEXT, handle_id INTEGER,"
    " service TEXT, date INTEGER, is_from_me INTEGER, is_read INTEGER);"
    "CREATE INDEX message_idx_handle ON message(handle_id);"
    "CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZORIGINATED INTEGER, ZDATE TIMESTAMP,"
    " ZDURATION FLOAT, ZUNIQUE_ID VARCHAR, ZADDRESS VARCHAR);"
    "CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZMARKEDFORDELETION INTEGER,"
    " ZNOTEDATA INTEGER, ZMODIFICATIONDATE1 TIMESTAMP, ZSNIPPET VARCHAR, ZSUMMARY VARCHAR, ZTITLE1 VARCHAR);"
    "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, ZNOTE INTEGER, ZDATA BLOB);"
    "CREATE TABLE bookmarks (id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER, type INTEGER, title TEXT,"
    " url TEXT, num_children INTEGER DEFAULT 0, external_uuid TEXT);"
    "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, flags INTEGER);"
    "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT);"
    "CREATE TABLE Alarm (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, location_id INTEGER,"
    " calendaritem_owner_id INTEGER);"
    "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT, location_id INTEGER,"
    " description TEXT, start_date REAL, end_date REAL, calendar_id INTEGER, UUID TEXT, entity_type INTEGER,"
    " priority INTEGER, completion_date REAL);"
    "CREATE INDEX CalendarItem_type ON CalendarItem(entity_type);"
    "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT,"
    " Organization TEXT, Kind INTEGER);"
    "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER,"
    " label INTEGER, value TEXT);"
    "CREATE INDEX ABMultiValueRecordIDIndex ON ABMultiValue(record_id);"
    "CREATE TABLE ABPersonFullTextSearch_content (docid INTEGER PRIMARY KEY, c0First, c1Last,"
    " c6Organization, c16Phone, c17Email);";

void exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

std::string number(int i) {
    return std::to_string(i);
}

// The database every input starts from, and the pages of each target's table.
struct Template {
    std::string bytes;
    std::vector<std::vector<uint32_t>> pages; // per target

    Template() {
        const std::string path = FuzzBackup::Instance().Root() + "template.db";
        std::remove(path.c_str());
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
        exec(db, "PRAGMA page_size=" + number(kPageSize) + "; PRAGMA journal_mode=DELETE; BEGIN;");
        exec(db, kSchema);
        for (int i = 1; i <= kRows; ++i) {
            const std::string n = number(i), phone = "'13800" + number(100000 + i) + "'";
            if (i <= 20) exec(db, "INSERT INTO handle(id,service) VALUES(" + phone + ",'SMS')");
            exec(db, "INSERT INTO message(guid,text,handle_id,service,date,is_from_me,is_read) VALUES('g" +
                         n + "','message text " + n + "'," + number(1 + i % 20) + ",'SMS'," +
                         number(600000000 + i * 97) + "," + number(i % 2) + ",1)");
            exec(db, "INSERT INTO ZCALLRECORD(Z_PK,Z_ENT,ZORIGINATED,ZDATE,ZDURATION,ZUNIQUE_ID,ZADDRESS) "
                     "VALUES(" +
                         n + ",2," + number(i % 2) + "," + number(600000000 + (i * 37) % kRows * 60) + ".5," +
                         number(i) + ".0,'u" + n + "'," + phone + ")");
            exec(db, "INSERT INTO ZICCLOUDSYNCINGOBJECT(Z_PK,Z_ENT,ZMARKEDFORDELETION,ZNOTEDATA,"
                     "ZMODIFICATIONDATE1,ZSNIPPET,ZTITLE1) VALUES(" +
                         n + ",9,0," + n + "," + number(600000000 + (i * 53) % kRows) +
                         ".0,'snippet','Note " + n + "')");
            exec(db, "INSERT INTO ZICNOTEDATA(Z_PK,ZNOTE,ZDATA) VALUES(" + n + "," + n + ",x'0a0b0c')");
            exec(db,
                 "INSERT INTO bookmarks(parent,type,title,url,num_children,external_uuid) VALUES(1,0,'Page " +
                     n + "','https://site.example/" + n + "',0,'uuid" + n + "')");
            if (i <= 10) {
                exec(db, "INSERT INTO Calendar(title,flags) VALUES('List " + n + "',2304)");
                exec(db, "INSERT INTO Location(title) VALUES('Place " + n + "')");
            }
            exec(db,
                 "INSERT INTO CalendarItem(summary,location_id,description,start_date,end_date,calendar_id,"
                 "UUID,entity_type,priority,completion_date) VALUES('Item " +
                     n + "'," + number(1 + i % 10) + ",'about " + n + "'," +
                     number(600000000 + (i * 71) % kRows * 3600) + ".0," +
                     number(600003600 + (i * 71) % kRows * 3600) + ".0," + number(1 + i % 10) + ",'id" + n +
                     "'," + number(i % 3 ? 2 : 3) + "," + number(i % 10) + ",NULL)");
            if (i % 40 == 0)
                exec(db, "INSERT INTO Alarm(location_id,calendaritem_owner_id) VALUES(" + number(i / 40) +
                             "," + n + ")");
            exec(db, "INSERT INTO ABPerson(First,Last,Organization,Kind) VALUES('First" + n + "','Last" +
                         number((i * 13) % kRows) + "',NULL,0)");
            exec(db, "INSERT INTO ABMultiValue(record_id,property,label,value) VALUES(" +
                         number(1 + (i * 7) % kRows) + ",3,1," + phone + ")");
            exec(db,
                 "INSERT INTO ABPersonFullTextSearch_content(docid,c0First,c1Last,c6Organization,c16Phone,"
                 "c17Email) VALUES(" +
                     n + ",'First" + n + "','Last" + n + "',''," + phone + ",'')");
        }
        exec(db, "COMMIT");
        sqlite3_close(db);
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        std::remove(path.c_str());
        for (const Target& t : kTargets)
            pages.push_back(TablePages(t.table));
    }

    uint32_t Be16(size_t at) const { return (uint32_t(uint8_t(bytes[at])) << 8) | uint8_t(bytes[at + 1]); }
    uint32_t Be32(size_t at) const { return (Be16(at) << 16) | Be16(at + 2); }

    // The pages of a table's b-tree: its interior and leaf pages.
    std::vector<uint32_t> TablePages(const char* table) const {
        std::vector<uint32_t> out;
        // The root page, from the schema table (page 1, a single leaf in this file).
        sqlite3* db = nullptr;
        const std::string path = FuzzBackup::Instance().Root() + "template-read.db";
        FuzzBackup::WriteFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        uint32_t root = 0;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "select rootpage from sqlite_master where name=?1", -1, &st,
                                   nullptr) == SQLITE_OK) {
                sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
                if (sqlite3_step(st) == SQLITE_ROW) root = uint32_t(sqlite3_column_int(st, 0));
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        std::remove(path.c_str());
        std::function<void(uint32_t, int)> walk = [&](uint32_t page, int depth) {
            if (page < 2 || depth > 10 || size_t(page) * kPageSize > bytes.size()) return;
            out.push_back(page);
            const size_t base = size_t(page - 1) * kPageSize;
            if (uint8_t(bytes[base]) != 5) return;
            const uint32_t cells = Be16(base + 3);
            for (uint32_t i = 0; i < cells; ++i)
                walk(Be32(base + Be16(base + 12 + 2 * i)), depth + 1);
            walk(Be32(base + 8), depth + 1);
        };
        walk(root, 0);
        if (out.empty()) std::abort();
        return out;
    }
};

// The reader's walk of the damaged table, in its own order and sorted: each row handed
// on once, whatever the damage.
void checkReader(const std::string& path, const Target& target, bool sorted) {
    sqlite3* db = openReadOnlyDatabase(path);
    if (!db) return;
    LiveQuery query(target.table, "rowid,*");
    if (sorted) query.OrderBy(target.orderBy);
    std::set<int64_t> seen;
    LiveRowReader reader(db, query);
    const LiveRowReader::Outcome out = reader.Read([] { return false; },
                                                   [&](sqlite3_stmt* st) {
                                                       if (!seen.insert(sqlite3_column_int64(st, 0)).second)
                                                           std::abort(); // handed on twice
                                                   });
    if (out.rows != int64_t(seen.size()) || out.skipped < 0 || out.lost < out.skipped) std::abort();
    sqlite3_close(db);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Template base;
    if (size < 1 || size > 4 * 256 + 1) return 0;
    const size_t which = data[0] % kTargetCount;
    const Target& target = kTargets[which];
    const std::vector<uint32_t>& pages = base.pages[which];
    std::string bytes = base.bytes;
    for (size_t i = 1; i + 4 <= size; i += 4) {
        const uint32_t at = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        const uint32_t page = pages[(at / kPageSize) % pages.size()];
        bytes[size_t(page - 1) * kPageSize + at % kPageSize] = char(data[i + 3]);
    }
    FuzzBackup& backup = FuzzBackup::Instance();
    if (!backup.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) return 0;
    backup.ClearOutput();
    {
        CScanManager owner(ScanSms | ScanCallHistory | ScanContacts | ScanBookmarks | ScanReminders |
                               ScanNotes | ScanCalendar,
                           backup.Output().c_str(), backup.Root().c_str(), 14, nullptr, &backup);
        target.run(owner);
    }
    const std::string path = backup.Root() + FuzzBackup::kStored;
    checkReader(path, target, false);
    checkReader(path, target, true);
    return 0;
}
