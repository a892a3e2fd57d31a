#include "tests/kit/SampleBackup.h"

#include "tests/core/NoteBodyBytes.h"
#include "tests/kit/FixtureDb.h"

namespace kit {

namespace {

constexpr int64_t kAppleEpoch = 978307200;

std::string Uuid(int n) {
    char b[48];
    std::snprintf(b, sizeof b, "%08X-1111-4222-8333-%012llX", unsigned(n), (unsigned long long)n * 7919u);
    return b;
}

// Safari bookmarks.
void WriteBookmarks(const std::filesystem::path& path, int rows, int deleted) {
    FixtureDb db(path);
    db.exec("CREATE TABLE bookmarks (id INTEGER PRIMARY KEY AUTOINCREMENT, special_id INTEGER DEFAULT 0, "
            "parent INTEGER, type INTEGER, title TEXT, url TEXT, num_children INTEGER DEFAULT 0, "
            "editable INTEGER DEFAULT 1, deletable INTEGER DEFAULT 1, hidden INTEGER DEFAULT 0, "
            "hidden_ancestor_count INTEGER DEFAULT 0, order_index INTEGER NOT NULL DEFAULT 0, "
            "external_uuid TEXT, read INTEGER DEFAULT NULL, last_modified REAL DEFAULT NULL, server_id TEXT, "
            "added INTEGER DEFAULT 1, deleted INTEGER DEFAULT 0)");
    db.exec("BEGIN");
    for (int i = 0; i < rows + deleted; ++i) {
        const bool gone = i >= rows;
        db.insert("bookmarks",
                  {"special_id", "parent", "type", "title", "url", "num_children", "order_index",
                   "external_uuid", "last_modified"},
                  {int64_t(0), int64_t(1), int64_t(0),
                   std::string(gone ? "Removed site " : "Site ") + std::to_string(gone ? i - rows : i),
                   "https://example.org/page/" + std::to_string(i), int64_t(0), int64_t(i + 1), Uuid(i),
                   600000000.25});
    }
    db.exec("COMMIT");
    if (deleted) db.deleteWhere("bookmarks", "title LIKE 'Removed site %'");
}

// Call history of iOS 9 and later.
void WriteCalls(const std::filesystem::path& path, int rows, int deleted, int64_t now) {
    FixtureDb db(path);
    db.exec(
        "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZANSWERED "
        "INTEGER, ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA INTEGER, "
        "ZNUMBER_AVAILABILITY INTEGER, ZORIGINATED INTEGER, ZREAD INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, "
        "ZDEVICE_ID VARCHAR, ZISO_COUNTRY_CODE VARCHAR, ZNAME VARCHAR, ZUNIQUE_ID VARCHAR, ZADDRESS VARCHAR "
        ")");
    db.exec("BEGIN");
    for (int i = 0; i < rows + deleted; ++i) {
        db.insert("ZCALLRECORD",
                  {"Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZORIGINATED", "ZREAD", "ZDATE", "ZDURATION",
                   "ZISO_COUNTRY_CODE", "ZUNIQUE_ID", "ZADDRESS"},
                  {int64_t(2), int64_t(1), int64_t(1), int64_t(1), int64_t(i % 2), int64_t(1),
                   double(now - kAppleEpoch - 3600 * (i + 1)), double(30 + i), std::string("us"), Uuid(i),
                   "+1555" + std::to_string(1000000 + i)});
    }
    db.exec("COMMIT");
    if (deleted) db.deleteWhere("ZCALLRECORD", "Z_PK > " + std::to_string(rows));
}

// The archived attributed string the Messages app stores beside the text of each message
// (the carver takes a deleted message only with it).
std::string AttributedBody(const std::string& text) {
    std::string b("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40\x84\x84\x84\x12NSAttributedString\x00"
                  "\x84\x84\x08NSObject\x00\x85\x92\x84\x84\x84\x08NSString\x01\x94\x84\x01\x2b",
                  73);
    b += char(text.size() < 0x80 ? text.size() : 0x7f);
    b += text.substr(0, 0x7f);
    b += std::string("\x86\x84\x02iI\x01", 6);
    return b;
}

// Messages of iOS 6 and later: one handle and conversation per ten messages.
void WriteSms(const std::filesystem::path& path, int rows, int deleted, int64_t now) {
    FixtureDb db(path);
    db.exec(R"(
CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT,
  service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));
CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT,
  replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, subject TEXT, country TEXT,
  attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER DEFAULT 0, service TEXT, account TEXT,
  account_guid TEXT, error INTEGER DEFAULT 0, date INTEGER, date_read INTEGER, date_delivered INTEGER,
  is_delivered INTEGER DEFAULT 0, is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0,
  is_from_me INTEGER DEFAULT 0, is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0,
  is_auto_reply INTEGER DEFAULT 0, is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0,
  is_system_message INTEGER DEFAULT 0, is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0,
  is_service_message INTEGER DEFAULT 0, is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0,
  is_archive INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT,
  was_data_detected INTEGER DEFAULT 0, was_deduplicated INTEGER DEFAULT 0);
CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER,
  state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT);
CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE,
  message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, PRIMARY KEY (chat_id, message_id));
)");
    db.exec("BEGIN");
    int64_t handle = 0;
    for (int i = 0; i < rows + deleted; ++i) {
        if (i % 10 == 0)
            handle = db.insert(
                "handle", {"id", "country", "service", "uncanonicalized_id"},
                {"+1666" + std::to_string(1000000 + i / 10), std::string("us"), std::string("SMS"), nullptr});
        const bool gone = i >= rows;
        const std::string text =
            std::string(gone ? "Removed message " : "Message ") + std::to_string(gone ? i - rows : i);
        db.insert("message",
                  {"guid", "text", "handle_id", "attributedBody", "service", "account", "account_guid",
                   "date", "date_read", "date_delivered", "is_from_me", "is_read", "is_delivered",
                   "is_finished", "is_sent"},
                  {Uuid(i), text, handle, Blob{AttributedBody(text)}, std::string("SMS"), std::string("p:0"),
                   Uuid(i + 1000000), int64_t(now - kAppleEpoch - 60 * (i + 1)), int64_t(0), int64_t(0),
                   int64_t(i % 2), int64_t(1), int64_t(1), int64_t(1), int64_t(i % 2)});
    }
    db.exec("COMMIT");
    if (deleted) db.deleteWhere("message", "text LIKE 'Removed message %'");
}

// Contacts: one person and one phone number per row.
void WriteContacts(const std::filesystem::path& path, int rows, int deleted) {
    FixtureDb db(path);
    db.exec(R"(
CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, Middle TEXT,
  FirstPhonetic TEXT, MiddlePhonetic TEXT, LastPhonetic TEXT, Organization TEXT, Department TEXT, Note TEXT,
  Kind INTEGER, Birthday TEXT, JobTitle TEXT, Nickname TEXT, Prefix TEXT, Suffix TEXT, FirstSort TEXT,
  LastSort TEXT, CreationDate INTEGER, ModificationDate INTEGER, CompositeNameFallback TEXT,
  ExternalIdentifier TEXT, ExternalModificationTag TEXT, ExternalUUID TEXT, StoreID INTEGER,
  DisplayName TEXT, ExternalRepresentation BLOB, FirstSortSection TEXT, LastSortSection TEXT,
  FirstSortLanguageIndex INTEGER DEFAULT 2147483647, LastSortLanguageIndex INTEGER DEFAULT 2147483647,
  PersonLink INTEGER DEFAULT -1, ImageURI TEXT, IsPreferredName INTEGER DEFAULT 1, guid TEXT);
CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, identifier INTEGER,
  label INTEGER, value TEXT, guid TEXT);
CREATE TABLE ABMultiValueLabel (value TEXT, UNIQUE(value));
CREATE INDEX ABMultiValueRecordIDIndex on ABMultiValue(record_id);
CREATE TABLE 'ABPersonFullTextSearch_content'(docid INTEGER PRIMARY KEY, 'c0First', 'c1Last', 'c2Middle',
  'c3FirstPhonetic', 'c4MiddlePhonetic', 'c5LastPhonetic', 'c6Organization', 'c7Department', 'c8Note',
  'c9Birthday', 'c10JobTitle', 'c11Nickname', 'c12Prefix', 'c13Suffix', 'c14DisplayName',
  'c15OrganizationPhonetic', 'c16Phone', 'c17Email', 'c18Address', 'c19SocialProfile', 'c20URL',
  'c21RelatedNames', 'c22IM', 'c23Date');
)");
    db.exec("BEGIN");
    for (int i = 0; i < rows + deleted; ++i) {
        const bool gone = i >= rows;
        const std::string first = gone ? "Removed" : "Contact";
        const std::string last = std::to_string(gone ? i - rows : i);
        const std::string phone = "+1777" + std::to_string(1000000 + i);
        const int64_t person =
            db.insert("ABPerson", {"First", "Last", "Kind", "CreationDate", "ModificationDate", "guid"},
                      {first, last, int64_t(0), int64_t(600000000 + i), int64_t(600000000 + i), Uuid(i)});
        db.insert("ABMultiValue", {"record_id", "property", "identifier", "label", "value", "guid"},
                  {person, int64_t(3), int64_t(0), int64_t(1), phone, Uuid(500000 + i)});
        db.insert("ABPersonFullTextSearch_content", {"docid", "c0First", "c1Last", "c16Phone", "c17Email"},
                  {person, first, last, phone, std::string("")});
    }
    db.exec("COMMIT");
    if (deleted) {
        db.deleteWhere("ABMultiValue", "record_id IN (SELECT ROWID FROM ABPerson WHERE First = 'Removed')");
        db.deleteWhere("ABPersonFullTextSearch_content", "c0First = 'Removed'");
        db.deleteWhere("ABPerson", "First = 'Removed'");
    }
}

// Calendar events (entity type 2) and reminders (entity type 3) of one Calendar.sqlitedb.
void WriteCalendar(const std::filesystem::path& path, int events, int reminders, int deleted, int64_t now) {
    FixtureDb db(path);
    db.exec("CREATE TABLE Store (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, type INTEGER);"
            "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, store_id INTEGER, title TEXT,"
            " flags INTEGER, color TEXT, type TEXT, UUID TEXT, display_order INTEGER);"
            "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT,"
            " location_id INTEGER, description TEXT, start_date REAL, start_tz TEXT, end_date REAL,"
            " all_day INTEGER, calendar_id INTEGER, orig_item_id INTEGER, status INTEGER,"
            " availability INTEGER, url TEXT, last_modified REAL, external_id TEXT,"
            " unique_identifier TEXT, hidden INTEGER, has_recurrences INTEGER, has_attendees INTEGER,"
            " UUID TEXT, entity_type INTEGER, priority INTEGER, due_date REAL, due_tz TEXT,"
            " due_all_day INTEGER, completion_date REAL, creation_date REAL, display_order INTEGER);"
            "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address TEXT,"
            " latitude REAL, longitude REAL, radius REAL, item_owner_id INTEGER);"
            "CREATE TABLE Alarm (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, trigger_date REAL,"
            " trigger_interval INTEGER, type INTEGER, proximity INTEGER, location_id INTEGER,"
            " calendaritem_owner_id INTEGER, UUID TEXT);");
    db.exec("BEGIN");
    db.insert(
        "Calendar", {"store_id", "title", "flags", "color", "type", "UUID"},
        {int64_t(1), std::string("Home"), int64_t(0), std::string("#FF2968"), std::string("local"), Uuid(1)});
    auto item = [&](const std::string& summary, int64_t type, int i) {
        // Six hours apart: at every scale the items stay after 2001, where a carved date is
        // believed.
        const double start = double(now - kAppleEpoch - 21600 * int64_t(i + 1));
        db.insert("CalendarItem",
                  {"summary", "location_id", "description", "start_date", "start_tz", "end_date", "all_day",
                   "calendar_id", "status", "availability", "UUID", "entity_type", "priority", "due_date",
                   "completion_date", "creation_date", "display_order"},
                  {summary, int64_t(0), std::string("Details of ") + summary, start,
                   std::string("Europe/Berlin"), start + 3600, int64_t(0), int64_t(1), int64_t(0), int64_t(0),
                   Uuid(i), type, int64_t(0), nullptr, nullptr, start - 100, int64_t(0)});
    };
    for (int i = 0; i < events + deleted; ++i)
        item(std::string(i >= events ? "Removed event " : "Event ") +
                 std::to_string(i >= events ? i - events : i),
             2, i);
    for (int i = 0; i < reminders + deleted; ++i)
        item(std::string(i >= reminders ? "Removed reminder " : "Reminder ") +
                 std::to_string(i >= reminders ? i - reminders : i),
             3, i);
    db.exec("COMMIT");
    if (deleted) db.deleteWhere("CalendarItem", "summary LIKE 'Removed %'");
}

// Notes of iOS 9 and later: a title row and a compressed body per note.
void WriteNotes(const std::filesystem::path& path, int rows, int deleted, int64_t now) {
    FixtureDb db(path);
    db.exec(
        "CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
        " ZMARKEDFORDELETION INTEGER, ZNOTEDATA INTEGER, ZMODIFICATIONDATE1 TIMESTAMP, ZIDENTIFIER VARCHAR,"
        " ZSNIPPET VARCHAR, ZSUMMARY VARCHAR, ZTITLE1 VARCHAR);"
        "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZNOTE INTEGER,"
        " ZDATA BLOB);");
    db.exec("BEGIN");
    for (int i = 0; i < rows + deleted; ++i) {
        const bool gone = i >= rows;
        const std::string title =
            std::string(gone ? "Removed note " : "Note ") + std::to_string(gone ? i - rows : i);
        const int64_t pk = i + 1;
        db.insert("ZICCLOUDSYNCINGOBJECT",
                  {"Z_PK", "Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZNOTEDATA", "ZMODIFICATIONDATE1",
                   "ZIDENTIFIER", "ZSNIPPET", "ZSUMMARY", "ZTITLE1"},
                  {pk, int64_t(9), int64_t(3), int64_t(0), pk, double(now - kAppleEpoch - 7200 * (i + 1)),
                   Uuid(i), std::string("first line"), nullptr, title});
        db.insert("ZICNOTEDATA", {"Z_PK", "Z_ENT", "Z_OPT", "ZNOTE", "ZDATA"},
                  {pk, int64_t(8), int64_t(2), pk, Blob{notebody::noteBody(title + "\nfirst line")}});
    }
    db.exec("COMMIT");
    if (deleted) {
        db.deleteWhere("ZICCLOUDSYNCINGOBJECT", "Z_PK > " + std::to_string(rows));
        db.deleteWhere("ZICNOTEDATA", "Z_PK > " + std::to_string(rows));
    }
}

} // namespace

SampleBackup SampleBackup::Build(const std::filesystem::path& root, BackupBuilder::Generation generation,
                                 int scale, const std::filesystem::path& scratch) {
    BackupBuilder b(root, generation);
    SampleBackup s;
    int32_t time = 1500000000;
    // Each file a second newer than the one before (mtime, atime and ctime alike).
    auto add = [&](const std::string& domain, const std::string& path, const std::string& content) {
        const int32_t t = time++;
        b.AddFile(domain, path, content, t, t, t);
    };
    for (int i = 0; i < scale; ++i) {
        const std::string n = std::to_string(i);
        // Camera roll: every kind, in upper and lower case, and one unknown extension.
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".JPG", "jpeg " + n);
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".heic", "heic " + n);
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".MOV", "mov " + n);
        add("MediaDomain", "Media/Recordings/Memo " + n + ".m4a", "m4a " + n);
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".xyz", "?");
        s.photos += 2;
        s.videos += 1;
        s.voiceMemos += 1;
        // SMS attachments: a photo, a video and a document.
        add("MediaDomain", "Library/SMS/Attachments/0" + n + "/IMG_" + n + ".jpeg", "jpeg");
        add("MediaDomain", "Library/SMS/Attachments/0" + n + "/clip" + n + ".mp4", "mp4");
        add("MediaDomain", "Library/SMS/Attachments/0" + n + "/doc" + n + ".pdf", "pdf");
        s.smsAttachmentPhotos += 1;
        s.smsAttachmentMedia += 2;
        // Notes attachments: a photo and an audio file.
        add("AppDomainGroup-group.com.apple.notes", "Media/" + n + "/Image.png", "png");
        add("AppDomainGroup-group.com.apple.notes", "Media/" + n + "/Audio.m4a", "m4a");
        s.noteAttachmentPhotos += 1;
        s.noteAttachmentMedia += 1;
        // WeChat attachments: an image, its thumbnail and a voice message.
        add("AppDomain-com.tencent.xin", "Documents/acc/Img/friend/" + n + ".pic", "pic");
        add("AppDomain-com.tencent.xin", "Documents/acc/Img/friend/" + n + ".pic_thum", "thumb");
        add("AppDomain-com.tencent.xin", "Documents/acc/Audio/friend/" + n + ".aud", "aud");
        s.wxAttachmentPhotos += 2;
        s.wxAttachmentMedia += 1;
    }

    // The system-app databases, built beside the backup and copied in.
    std::filesystem::create_directories(scratch);
    const int64_t now = int64_t(std::time(nullptr));
    const int rows = 10 * scale;
    const int deleted = 2 * scale;
    s.deletedRowsPerTable = deleted;
    s.bookmarks = s.calls = s.smsMessages = s.contacts = s.events = s.reminders = s.notes = rows;
    WriteBookmarks(scratch / "Bookmarks.db", rows, deleted);
    b.AddFileFrom("HomeDomain", "Library/Safari/Bookmarks.db", scratch / "Bookmarks.db");
    WriteCalls(scratch / "CallHistory.storedata", rows, deleted, now);
    b.AddFileFrom("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata",
                  scratch / "CallHistory.storedata");
    WriteSms(scratch / "sms.db", rows, deleted, now);
    b.AddFileFrom("HomeDomain", "Library/SMS/sms.db", scratch / "sms.db");
    WriteContacts(scratch / "AddressBook.sqlitedb", rows, deleted);
    b.AddFileFrom("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", scratch / "AddressBook.sqlitedb");
    WriteCalendar(scratch / "Calendar.sqlitedb", rows, rows, deleted, now);
    b.AddFileFrom("HomeDomain", "Library/Calendar/Calendar.sqlitedb", scratch / "Calendar.sqlitedb");
    WriteNotes(scratch / "NoteStore.sqlite", rows, deleted, now);
    b.AddFileFrom("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite", scratch / "NoteStore.sqlite");

    b.Finish();
    return s;
}

} // namespace kit
