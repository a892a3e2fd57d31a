#pragma once
// Schemas of the system-app databases as the devices write them (the columns the
// parsers read and the neighbours that shape their rows on the pages), shared by the
// parser tests and the sample backup, with row helpers for the calendar database and
// the Reminders stores.
#include "tests/kit/FixtureDb.h"

#include <cstdint>
#include <string>

namespace kit {

// ---- Safari "Bookmarks.db" ----

inline constexpr const char* kBookmarksSchema =
    "CREATE TABLE bookmarks (id INTEGER PRIMARY KEY AUTOINCREMENT, special_id INTEGER DEFAULT 0, "
    "parent INTEGER, type INTEGER, title TEXT, url TEXT, num_children INTEGER DEFAULT 0, "
    "editable INTEGER DEFAULT 1, deletable INTEGER DEFAULT 1, hidden INTEGER DEFAULT 0, "
    "hidden_ancestor_count INTEGER DEFAULT 0, order_index INTEGER NOT NULL DEFAULT 0, "
    "external_uuid TEXT, read INTEGER DEFAULT NULL, last_modified REAL DEFAULT NULL, server_id TEXT, "
    "added INTEGER DEFAULT 1, deleted INTEGER DEFAULT 0)";

// A row of "bookmarks" below the root folder (parent 1).
struct BookmarkRow {
    Value title, url, uuid; // uuid: "external_uuid"
    int64_t type = 0;       // 0 a bookmark, 1 a folder
    int64_t numChildren = 0;
    int64_t order = 0; // "order_index"
};

int64_t addBookmark(FixtureDb& db, const BookmarkRow& row);

// ---- Call history ----

// Up to iOS 8: "call_history.db" of the wireless domain, Unix dates.
inline constexpr const char* kCallHistoryLegacySchema =
    "CREATE TABLE call (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER, "
    "duration INTEGER, flags INTEGER, id INTEGER, name TEXT, country_code TEXT, network_code TEXT, "
    "read INTEGER, assisted INTEGER, face_time_data BLOB, originalAddress TEXT)";

// From iOS 9: Core Data store "CallHistory.storedata", Apple dates.
inline constexpr const char* kCallHistorySchema =
    "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZANSWERED INTEGER, "
    "ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA INTEGER, ZNUMBER_AVAILABILITY INTEGER, "
    "ZORIGINATED INTEGER, ZREAD INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, ZDEVICE_ID VARCHAR, "
    "ZISO_COUNTRY_CODE VARCHAR, ZNAME VARCHAR, ZUNIQUE_ID VARCHAR, ZADDRESS VARCHAR )";

// ---- Notes ----

// From iOS 9: "NoteStore.sqlite" (gzip-compressed protocol-buffer bodies).
inline constexpr const char* kNoteStoreSchema =
    "CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
    " ZMARKEDFORDELETION INTEGER, ZNOTEDATA INTEGER, ZMODIFICATIONDATE1 TIMESTAMP, ZIDENTIFIER VARCHAR,"
    " ZSNIPPET VARCHAR, ZSUMMARY VARCHAR, ZTITLE1 VARCHAR);"
    "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZNOTE INTEGER,"
    " ZDATA BLOB);";

// Up to iOS 8: "notes.sqlite" (HTML bodies).
inline constexpr const char* kNotesLegacySchema =
    "CREATE TABLE ZNOTE (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZBODY INTEGER,"
    " ZCREATIONDATE TIMESTAMP, ZMODIFICATIONDATE TIMESTAMP, ZTITLE VARCHAR, ZSUMMARY VARCHAR);"
    "CREATE TABLE ZNOTEBODY (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZOWNER INTEGER,"
    " ZCONTENT VARCHAR);";

// ---- Contacts ----

inline constexpr const char* kAddressBookSchema = R"(
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
)";

// Search table of the older generation (phone c15, e-mail c16) and the newer one
// (phone c16, e-mail c17), shaped as the full-text index stores its content.
inline constexpr const char* kAddressBookSearchOldSchema = R"(
CREATE TABLE 'ABPersonFullTextSearch_content'(docid INTEGER PRIMARY KEY, 'c0First', 'c1Last', 'c2Middle',
  'c3FirstPhonetic', 'c4MiddlePhonetic', 'c5LastPhonetic', 'c6Organization', 'c7Department', 'c8Note',
  'c9Birthday', 'c10JobTitle', 'c11Nickname', 'c12Prefix', 'c13Suffix', 'c14DisplayName', 'c15Phone',
  'c16Email', 'c17Address', 'c18SocialProfile', 'c19URL', 'c20RelatedNames', 'c21IM', 'c22Date');
)";
inline constexpr const char* kAddressBookSearchNewSchema = R"(
CREATE TABLE 'ABPersonFullTextSearch_content'(docid INTEGER PRIMARY KEY, 'c0First', 'c1Last', 'c2Middle',
  'c3FirstPhonetic', 'c4MiddlePhonetic', 'c5LastPhonetic', 'c6Organization', 'c7Department', 'c8Note',
  'c9Birthday', 'c10JobTitle', 'c11Nickname', 'c12Prefix', 'c13Suffix', 'c14DisplayName',
  'c15OrganizationPhonetic', 'c16Phone', 'c17Email', 'c18Address', 'c19SocialProfile', 'c20URL',
  'c21RelatedNames', 'c22IM', 'c23Date');
)";

// "AddressBookImages.sqlitedb".
inline constexpr const char* kAddressBookImagesSchema =
    "CREATE TABLE ABFullSizeImage (record_id INTEGER, crop_x INTEGER, crop_y INTEGER, "
    "crop_width INTEGER, crop_height INTEGER, data BLOB, UNIQUE(record_id));";

// ---- Messages ("sms.db") ----

// iOS 5 and later: handles in their own table, dates since 2001.
inline constexpr const char* kSmsSchema = R"(
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
)";

// iOS 4 and earlier: address and flags in the message row, Unix dates.
inline constexpr const char* kSmsLegacySchema = R"(
CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));
CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER, text TEXT,
  flags INTEGER, replace INTEGER, svc_center TEXT, group_id INTEGER, association_id INTEGER,
  height INTEGER, UIFlags INTEGER, version INTEGER, subject TEXT, country TEXT, headers BLOB,
  recipients BLOB, read INTEGER);
CREATE TABLE msg_group (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, newest_message INTEGER,
  unread_count INTEGER, hash INTEGER);
)";

// ---- "Calendar.sqlitedb" ----

// iOS 4 and earlier: events in their own table with a location text.
inline constexpr const char* kCalendarEventSchema =
    "CREATE TABLE Event (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT, location TEXT,"
    " description TEXT, start_date REAL, start_tz TEXT, end_date REAL, all_day INTEGER, calendar_id INTEGER,"
    " unique_identifier TEXT);";

// iOS 5 and later: events (entity_type 2) and reminders (entity_type 3) in "CalendarItem".
struct CalendarSchema {
    bool location = true;
    bool alarm = true;
    // "calendaritem_owner_id" on current devices, "owner_id" on older ones.
    std::string alarmOwnerColumn = "calendaritem_owner_id";
    // Declared type of the date columns; REAL on devices, a TIMESTAMP column keeps
    // whole seconds as INTEGER.
    std::string dateType = "REAL";
};

void createCalendarSchema(FixtureDb& db, const CalendarSchema& s = {});

// A calendar (flags 2304 marks a reminder list); returns its ROWID.
int64_t addCalendar(FixtureDb& db, const std::string& title, int64_t flags);

struct CalendarItem {
    std::string summary;
    Value description = nullptr;
    Value startDate = 600000000.0; // Apple seconds
    Value completionDate = nullptr;
    Value priority = int64_t(0);
    Value calendarId = int64_t(1);
    int64_t entityType = 3; // 3 reminder, 2 event
    Value endDate = nullptr;
    Value locationId = int64_t(0);
    Value uuid = std::string("1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    Value creationDate = 599999000.0; // Apple seconds
};

int64_t addItem(FixtureDb& db, const CalendarItem& it);
int64_t addLocation(FixtureDb& db, const Value& title);
void addAlarm(FixtureDb& db, const std::string& ownerColumn, int64_t locationId, int64_t owner);

// ---- Reminders store (Core Data) ----

struct StoreEntities {
    int64_t reminder = 22, alarm = 11, locationTrigger = 14;
};

void createStoreSchema(FixtureDb& db, const StoreEntities& e = {});

struct StoreReminder {
    int64_t pk = 0; // 0: let SQLite choose
    Value title = std::string("reminder");
    Value notes = nullptr;
    Value priority = int64_t(0);
    Value created = int64_t(600000000); // Apple seconds
    Value completion = nullptr;
    Value due = nullptr;
    Value marked = int64_t(0);
};

int64_t addStoreReminder(FixtureDb& db, const StoreReminder& r, const StoreEntities& e = {});
void addStoreAlarm(FixtureDb& db, int64_t pk, int64_t reminderPk, int64_t triggerPk,
                   const StoreEntities& e = {});
void addStoreTrigger(FixtureDb& db, int64_t pk, const std::string& address, const StoreEntities& e = {});

} // namespace kit
