#include "tests/kit/SampleDatabases.h"

#include "tests/kit/FixtureDb.h"
#include "tests/kit/NoteBody.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/SystemSchemas.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace kit {

namespace fs = std::filesystem;

namespace {

constexpr int64_t kAppleEpoch = 978307200;

// Apple seconds of the first row of a unit; one hour apart per unit, all in the past.
int64_t unitTime(int u) {
    return 600000000 + int64_t(u) * 3600;
}

std::string str(int u) {
    return std::to_string(u);
}

std::string uuid36(unsigned tag, unsigned n) {
    char b[40];
    std::snprintf(b, sizeof b, "%08X-%04X-4A5B-8C6D-%012X", tag, n & 0xffff, n * 7919u + tag);
    return b;
}

// Contact numbers as digits ("138" + unit + slot) and as a device shows them.
std::string phone(int u, int k) {
    char b[16];
    std::snprintf(b, sizeof b, "138%04d%04d", u % 10000, k);
    return b;
}
std::string shownPhone(int u, int k) {
    std::string p = phone(u, k);
    return "+86 " + p.substr(0, 3) + "-" + p.substr(3, 4) + "-" + p.substr(7);
}
// Numbers no contact has.
std::string strangerPhone(int u, int k) {
    char b[16];
    std::snprintf(b, sizeof b, "555%04d%04d", u % 10000, k);
    return b;
}

std::string idList(const std::vector<int64_t>& ids) {
    std::string s;
    for (int64_t id : ids)
        s += (s.empty() ? "" : ",") + std::to_string(id);
    return s.empty() ? "0" : s;
}

// Readable filler text of about `n` bytes.
std::string longText(const std::string& head, size_t n) {
    static const std::string kWords =
        "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod ";
    std::string s = head + " ";
    while (s.size() < n)
        s += kWords;
    s.resize(n);
    return s;
}

// How every table is laid out, so that the expected counts hold at any scale:
//  - a first row the parsers never report, also when carved: when the table outgrows
//    its root page, SQLite copies the root's cells into a child page and leaves the old
//    bytes on the root, where the divider cells it writes later overwrite the end of the
//    first row (a damaged copy of a real row could pass the carver's checks);
//  - then the rows of every unit, some of them deleted at the end;
//  - then a tail of long live rows, more than a page, so that every page holding unit
//    rows is full before the deletes and stays more than a third full after them:
//    SQLite rebalances emptier pages and the deleted rows on them would be gone.
constexpr int kTailRows = 6;
constexpr size_t kTailLength = 800;

const std::string kPhoto = std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
                                       "sample contact photo\xff\xd9",
                                       42);

class Writer {
  public:
    Writer(BackupBuilder& backup, int scale) : backup(backup), scale(scale < 1 ? 1 : scale) {
        ios = backup.IosMajorVersion();
    }

    SampleDatabases Run() {
        Bookmarks();
        Calendar();
        if (ios >= 13) ReminderStore();
        if (ios >= 9)
            NoteStore();
        else
            LegacyNotes();
        Contacts();
        if (ios >= 9)
            CallHistory();
        else
            LegacyCallHistory();
        if (ios >= 5)
            Messages();
        else
            LegacyMessages();
        return out;
    }

  private:
    // Opens a fixture database in the scratch folder, wrapped in one transaction.
    std::unique_ptr<FixtureDb> Open(const std::string& name) {
        auto db = std::make_unique<FixtureDb>(scratch.path() / name);
        db->exec("PRAGMA synchronous=OFF;");
        return db;
    }
    // Closes it and files it in the backup.
    void Store(std::unique_ptr<FixtureDb> db, const std::string& domain, const std::string& relativePath) {
        fs::path path = db->path();
        db->close();
        backup.AddFileFrom(domain, relativePath, path);
        out.databaseFiles.push_back(backup.StoredPath(domain, relativePath));
    }

    void Bookmarks() {
        auto db = Open("Bookmarks.db");
        db->exec(kBookmarksSchema);
        db->exec("BEGIN");
        int64_t order = 0;
        auto add = [&](int64_t type, const Value& title, const Value& url, int64_t children, unsigned n) {
            return addBookmark(*db, {title, url, uuid36(0xB00C, n), type, children, ++order});
        };
        add(1, std::string("BookmarksBar"), nullptr, 4 * scale, 0); // a folder is not a bookmark
        std::vector<int64_t> gone;
        for (int u = 0; u < scale; ++u) {
            const unsigned n = unsigned(u) * 8 + 1;
            add(1, std::string("Folder " + str(u)), nullptr, 3, n);
            add(0, std::string("News " + str(u)), std::string("https://news.example.org/" + str(u)), 0,
                n + 1);
            gone.push_back(add(0, std::string("Old recipe " + str(u)),
                               std::string("https://recipes.example.com/old/" + str(u)), 0, n + 2));
            add(0, std::string("Weather " + str(u)), std::string("https://weather.example.net/?u=" + str(u)),
                0, n + 3);
            gone.push_back(add(0, std::string("Flight deal " + str(u)),
                               std::string("https://travel.example.com/deal/" + str(u)), 0, n + 4));
            add(0, std::string("Bank " + str(u)), std::string("https://bank.example.com/login/" + str(u)), 0,
                n + 5);
            out.bookmarks.live += 3;
            out.bookmarks.deleted += 2;
        }
        for (int k = 0; k < kTailRows; ++k) {
            add(0, std::string("Search " + str(k)),
                std::string(longText("https://search.example.com/?q=" + str(k) + "&more=", kTailLength)), 0,
                0xF000 + unsigned(k));
            out.bookmarks.live += 1;
        }
        db->exec("COMMIT");
        db->deleteWhere("bookmarks", "id IN (" + idList(gone) + ")");
        Store(std::move(db), "HomeDomain", "Library/Safari/Bookmarks.db");
    }

    void Calendar() {
        auto db = Open("Calendar.sqlitedb");
        std::vector<int64_t> gone;
        if (ios <= 4) {
            // Events only, with the location as text.
            db->exec(kCalendarEventSchema);
            db->exec("BEGIN");
            auto add = [&](const Value& summary, const Value& location, const Value& description,
                           double start, unsigned n) {
                return db->insert("Event",
                                  {"summary", "location", "description", "start_date", "start_tz", "end_date",
                                   "all_day", "calendar_id", "unique_identifier"},
                                  {summary, location, description, start, std::string("Asia/Shanghai"),
                                   start + 3600, int64_t(0), int64_t(1), uuid36(0xCA1, n)});
            };
            add(nullptr, nullptr, longText("untitled", 100), 500000000.0, 0); // no title: never listed
            for (int u = 0; u < scale; ++u) {
                const double t = double(unitTime(u));
                const unsigned n = unsigned(u) * 8 + 1;
                add(std::string("Team meeting " + str(u)), std::string("Office " + str(u)),
                    std::string("Weekly sync"), t + 100, n);
                gone.push_back(add(std::string("Flight to Berlin " + str(u)),
                                   std::string("Airport " + str(u)), std::string("Seat 12A"), t + 200,
                                   n + 1));
                add(std::string("Dinner with Ann " + str(u)), nullptr, nullptr, t + 300, n + 2);
                gone.push_back(add(std::string("Old party " + str(u)), nullptr, nullptr, t + 400, n + 3));
                add(std::string("Dentist " + str(u)), nullptr, std::string("Bring the card"), t + 500, n + 4);
                out.calendar.live += 3;
                out.calendar.deleted += 2;
            }
            for (int k = 0; k < kTailRows; ++k) {
                add(std::string("Conference day " + str(k)), std::string("Hall " + str(k)),
                    longText("Agenda " + str(k), kTailLength), double(unitTime(scale)) + 100 * k, 0xF000 + k);
                out.calendar.live += 1;
            }
            db->exec("COMMIT");
            db->deleteWhere("Event", "ROWID IN (" + idList(gone) + ")");
            Store(std::move(db), "HomeDomain", "Library/Calendar/Calendar.sqlitedb");
            return;
        }
        createCalendarSchema(*db);
        db->exec("BEGIN");
        const int64_t home = addCalendar(*db, "Home", 0);
        const int64_t errands = addCalendar(*db, "Errands", 2304); // a reminder list
        // An item of another kind, without a title: neither parser lists it.
        db->insert("CalendarItem",
                   {"summary", "location_id", "description", "start_date", "end_date", "calendar_id", "UUID",
                    "entity_type"},
                   {nullptr, int64_t(0), longText("birthday", 100), 600000000.0, 600003600.0, home,
                    uuid36(0xCA1, 0), int64_t(1)});
        for (int u = 0; u < scale; ++u) {
            const double t = double(unitTime(u));
            const int64_t office = addLocation(*db, std::string("Office " + str(u)));
            const int64_t airport = addLocation(*db, std::string("Airport " + str(u)));
            const int64_t market = addLocation(*db, std::string("Supermarket " + str(u)));
            auto event = [&](const std::string& summary, int64_t location, const Value& description,
                             double start) {
                return addItem(*db, {.summary = summary,
                                     .description = description,
                                     .startDate = start,
                                     .calendarId = home,
                                     .entityType = 2,
                                     .endDate = start + 3600,
                                     .locationId = location});
            };
            event("Team meeting " + str(u), office, std::string("Weekly sync"), t + 100);
            gone.push_back(event("Flight to Berlin " + str(u), airport, std::string("Seat 12A"), t + 200));
            event("Dinner with Ann " + str(u), 0, nullptr, t + 300);
            gone.push_back(event("Old party " + str(u), 0, nullptr, t + 400));
            event("Dentist " + str(u), 0, std::string("Bring the card"), t + 500);
            out.calendar.live += 3;
            out.calendar.deleted += 2;

            const int64_t milk = addItem(*db, {.summary = "Buy milk " + str(u),
                                               .startDate = t + 600,
                                               .calendarId = errands,
                                               .entityType = 3});
            addAlarm(*db, "calendaritem_owner_id", market, milk);
            gone.push_back(addItem(*db, {.summary = "Pick up parcel " + str(u),
                                         .description = std::string("Post office counter 3"),
                                         .startDate = t + 700,
                                         .calendarId = errands,
                                         .entityType = 3}));
            addItem(*db, {.summary = "Call plumber " + str(u),
                          .startDate = t + 800,
                          .completionDate = t + 900,
                          .priority = int64_t(1),
                          .calendarId = errands,
                          .entityType = 3});
            out.reminders.live += 2;
            out.reminders.deleted += 1;
        }
        for (int k = 0; k < kTailRows; ++k) {
            const double start = double(unitTime(scale)) + 100 * k;
            addItem(*db, {.summary = "Conference day " + str(k),
                          .description = longText("Agenda " + str(k), kTailLength),
                          .startDate = start,
                          .calendarId = home,
                          .entityType = 2,
                          .endDate = start + 28800});
            out.calendar.live += 1;
        }
        db->exec("COMMIT");
        db->deleteWhere("CalendarItem", "ROWID IN (" + idList(gone) + ")");
        Store(std::move(db), "HomeDomain", "Library/Calendar/Calendar.sqlitedb");
    }

    void ReminderStore() {
        auto db = Open("Data-local.sqlite");
        createStoreSchema(*db);
        db->exec("BEGIN");
        // A list object (entity 9): no title, never listed.
        db->insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZNAME", "ZDACALENDARITEMUNIQUEIDENTIFIER"},
                   {int64_t(1), int64_t(9), int64_t(1), longText("Reminders", 100), uuid36(0x5707E, 0)});
        for (int u = 0; u < scale; ++u) {
            const int64_t b = int64_t(u) * 10 + 10;
            const int64_t t = unitTime(u);
            addStoreReminder(*db, {.pk = b + 1,
                                   .title = std::string("Water the plants " + str(u)),
                                   .notes = std::string("Twice a week"),
                                   .created = t + 1000});
            addStoreAlarm(*db, b + 2, b + 1, b + 3);
            addStoreTrigger(*db, b + 3, "12 Garden Lane, flat " + str(u));
            addStoreReminder(*db, {.pk = b + 4,
                                   .title = std::string("Book flights " + str(u)),
                                   .priority = int64_t(5),
                                   .created = double(t + 1100) + 0.5,
                                   .completion = double(t + 1200) + 0.5,
                                   .due = t + 86400});
            // In "Recently Deleted": a live row marked for deletion.
            addStoreReminder(*db, {.pk = b + 5,
                                   .title = std::string("Old chore " + str(u)),
                                   .created = t + 1300,
                                   .marked = int64_t(1)});
            addStoreReminder(
                *db, {.pk = b + 6, .title = std::string("Renew passport " + str(u)), .created = t + 1400});
            out.reminders.live += 2;
            out.reminders.deleted += 2;
        }
        for (int k = 0; k < kTailRows; ++k) {
            addStoreReminder(*db, {.pk = int64_t(scale) * 10 + 10 + k + 1,
                                   .title = std::string("Packing list " + str(k)),
                                   .notes = longText("Take along " + str(k), kTailLength),
                                   .created = unitTime(scale) + k});
            out.reminders.live += 1;
        }
        db->exec("COMMIT");
        db->deleteWhere("ZREMCDOBJECT", "Z_PK % 10 = 6 AND Z_PK <= " + std::to_string(scale * 10 + 10));
        const std::string folder = "Library/Reminders/Container_v1/Stores";
        backup.AddFolder("HomeDomain", folder);
        Store(std::move(db), "HomeDomain", folder + "/Data-" + uuid36(0x5707E, 1) + ".sqlite");
    }

    void NoteStore() {
        auto db = Open("NoteStore.sqlite");
        db->exec(kNoteStoreSchema);
        db->exec("BEGIN");
        auto title = [&](int64_t pk, const Value& noteData, const Value& date, const Value& text,
                         const std::string& snippet, int64_t entity, int64_t marked) {
            db->insert("ZICCLOUDSYNCINGOBJECT",
                       {"Z_PK", "Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZNOTEDATA", "ZMODIFICATIONDATE1",
                        "ZIDENTIFIER", "ZSNIPPET", "ZSUMMARY", "ZTITLE1"},
                       {pk, entity, int64_t(3), marked, noteData, date, uuid36(0x9073, unsigned(pk)), snippet,
                        nullptr, text});
        };
        auto body = [&](int64_t pk, const Value& data) {
            db->insert("ZICNOTEDATA", {"Z_PK", "Z_ENT", "Z_OPT", "ZNOTE", "ZDATA"},
                       {pk, int64_t(8), int64_t(2), pk, data});
        };
        auto note = [&](int64_t pk, double date, const std::string& text, const std::string& snippet,
                        const std::string& bodyText, int64_t marked) {
            title(pk, pk, date, text, snippet, 9, marked);
            body(pk, Blob{noteBody(bodyText)});
        };
        // A folder object and a body that is not a note: never listed.
        title(1, nullptr, nullptr, nullptr, longText("Notes folder", 100), 14, 0);
        body(1, Blob{std::string(100, '\0')});
        for (int u = 0; u < scale; ++u) {
            const int64_t b = int64_t(u) * 10 + 10;
            const double t = double(unitTime(u)) + 0.5;
            // Titles end in a bracket so that no title is part of another unit's text.
            note(b + 1, t + 10, "Groceries (" + str(u) + ")", "milk, eggs",
                 "Groceries (" + str(u) + ")\nmilk\neggs\nbread", 0);
            note(b + 2, t + 20, "Ideas (" + str(u) + ")", "write more tests",
                 "Ideas (" + str(u) + ")\nwrite more tests\nship it", 0);
            note(b + 3, t + 30, "Trash (" + str(u) + ")", "in the bin", "Trash (" + str(u) + ")\nin the bin",
                 1); // in "Recently Deleted"
            note(b + 4, t + 40, "Secret (" + str(u) + ")", "the code",
                 "Secret (" + str(u) + ")\nthe code is 1234", 0);
            out.notes.live += 2;
            out.notes.deleted += 2;
        }
        for (int k = 0; k < kTailRows; ++k) {
            const std::string text = "Journal [" + str(k) + "]";
            note(int64_t(scale) * 10 + 10 + k + 1, double(unitTime(scale) + k) + 0.5, text,
                 longText("dear diary", kTailLength), text + "\n" + incompressibleText(kTailLength, k + 1),
                 0);
            out.notes.live += 1;
        }
        db->exec("COMMIT");
        const std::string gone = "Z_PK % 10 = 4 AND Z_PK <= " + std::to_string(scale * 10 + 10);
        db->deleteWhere("ZICCLOUDSYNCINGOBJECT", gone);
        db->deleteWhere("ZICNOTEDATA", gone);
        Store(std::move(db), "AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite");
    }

    void LegacyNotes() {
        auto db = Open("notes.sqlite");
        db->exec(kNotesLegacySchema);
        db->exec("BEGIN");
        auto note = [&](int64_t pk, double date, const Value& title, const std::string& summary,
                        const std::string& content) {
            db->insert("ZNOTE",
                       {"Z_PK", "Z_ENT", "Z_OPT", "ZBODY", "ZCREATIONDATE", "ZMODIFICATIONDATE", "ZTITLE",
                        "ZSUMMARY"},
                       {pk, int64_t(5), int64_t(2), pk, date, date + 60, title, summary});
            // Entity 14: a one-byte value of 1 to 9 right before the owner id would read as
            // a serial type, and the carver would take the deleted body's own content for a
            // second, shifted record.
            db->insert("ZNOTEBODY", {"Z_PK", "Z_ENT", "Z_OPT", "ZOWNER", "ZCONTENT"},
                       {pk, int64_t(14), int64_t(1), pk, content});
        };
        // A row without a title and a body without markup: never listed.
        note(1, 500000000.5, nullptr, longText("untitled", 100), longText("plain text", 100));
        for (int u = 0; u < scale; ++u) {
            const int64_t b = int64_t(u) * 10 + 10;
            const double t = double(unitTime(u)) + 0.5;
            const std::string groceries = "Groceries (" + str(u) + ")", ideas = "Ideas (" + str(u) + ")",
                              secret = "Secret (" + str(u) + ")";
            note(b + 1, t + 10, groceries, "milk", groceries + "<div>milk</div><div>eggs</div>");
            note(b + 2, t + 20, ideas, "tests", ideas + "<div>write more tests</div>");
            note(b + 3, t + 30, secret, "code", secret + "<div>the code is 1234</div>");
            out.notes.live += 2;
            out.notes.deleted += 1;
        }
        for (int k = 0; k < kTailRows; ++k) {
            const std::string text = "Journal [" + str(k) + "]";
            note(int64_t(scale) * 10 + 10 + k + 1, double(unitTime(scale) + k) + 0.5, text,
                 longText("dear diary", kTailLength),
                 text + "<div>" + longText("today", kTailLength) + "</div>");
            out.notes.live += 1;
        }
        db->exec("COMMIT");
        const std::string gone = "Z_PK % 10 = 3 AND Z_PK <= " + std::to_string(scale * 10 + 10);
        db->deleteWhere("ZNOTE", gone);
        db->deleteWhere("ZNOTEBODY", gone);
        Store(std::move(db), "HomeDomain", "Library/Notes/notes.sqlite");
    }

    void Contacts() {
        const bool newSearch = ios >= 10;
        auto db = Open("AddressBook.sqlitedb");
        db->exec(kAddressBookSchema);
        db->exec(newSearch ? kAddressBookSearchNewSchema : kAddressBookSearchOldSchema);
        db->exec("BEGIN");
        unsigned n = 0;
        auto person = [&](const Value& first, const Value& last, const Value& organization,
                          const Value& note) {
            ++n;
            return db->insert(
                "ABPerson",
                {"First", "Last", "Organization", "Note", "Kind", "CreationDate", "ModificationDate", "guid"},
                {first, last, organization, note, int64_t(0), int64_t(600000000 + n), int64_t(600000000 + n),
                 uuid36(0xAB, n)});
        };
        auto value = [&](int64_t record, int64_t property, const std::string& text) {
            ++n;
            return db->insert("ABMultiValue",
                              {"record_id", "property", "identifier", "label", "value", "guid"},
                              {record, property, int64_t(0), int64_t(1), text, uuid36(0xAB1, n)});
        };
        auto search = [&](int64_t docid, const std::string& first, const std::string& last,
                          const std::string& organization, const Value& phones, const std::string& email,
                          const Value& date) {
            return db->insert("ABPersonFullTextSearch_content",
                              {"docid", "c0First", "c1Last", "c6Organization",
                               newSearch ? "c16Phone" : "c15Phone", newSearch ? "c17Email" : "c16Email",
                               newSearch ? "c23Date" : "c22Date"},
                              {docid, first, last, organization, phones, email, date});
        };
        // The owner's card: a home page, no number, never a contact.
        const int64_t me = person(std::string("Owner"), nullptr, nullptr, nullptr);
        value(me, 22, longText("https://home.example.com/", 100));
        search(me, "Owner", "", "", nullptr, "", longText("2000-01-01", 100));

        std::vector<int64_t> gonePersons, goneValues;
        int64_t photoOwner = 0;
        for (int u = 0; u < scale; ++u) {
            const std::string first = "Alice" + str(u);
            const std::string org = "Acme " + str(u);
            const std::string goneFirst = "Bob" + str(u);
            const std::string email = "alice" + str(u) + "@example.com";
            // A live person with a number, an e-mail and a deleted second number.
            const int64_t alice = person(first, std::string("Zhang"), nullptr, nullptr);
            value(alice, 3, shownPhone(u, 1));
            value(alice, 4, email);
            // A company with two numbers.
            const int64_t acme = person(nullptr, nullptr, org, nullptr);
            value(acme, 3, shownPhone(u, 2));
            value(acme, 3, phone(u, 3));
            goneValues.push_back(value(alice, 3, shownPhone(u, 4)));
            // A deleted person: only its deleted rows and search row still name it.
            const int64_t bob = person(goneFirst, std::string("Gone"), nullptr, nullptr);
            goneValues.push_back(value(bob, 3, shownPhone(u, 5)));
            search(alice, first, "Zhang", "", phone(u, 1), email, nullptr);
            search(acme, "", "", org, phone(u, 2) + " " + phone(u, 3), "", nullptr);
            search(bob, goneFirst, "Gone", "", phone(u, 5), "", nullptr);
            gonePersons.push_back(bob);
            if (u == 0) photoOwner = alice;

            out.contactNames[phone(u, 1)] = "Zhang" + first;
            out.contactNames[phone(u, 2)] = org;
            out.contactNames[phone(u, 3)] = org;
            out.contactNames[phone(u, 4)] = "Zhang" + first;
            out.contactNames[phone(u, 5)] = "Gone" + goneFirst;
            out.contacts.live += 3;
            out.contacts.deleted += 2;
        }
        // People with a long note and a web page but no number: no contacts.
        for (int k = 0; k < kTailRows; ++k) {
            const int64_t p = person(std::string("Pen"), std::string("Pal " + str(k)), nullptr,
                                     longText("Met at the conference " + str(k), kTailLength));
            value(p, 22, longText("https://pal" + str(k) + ".example.com/", kTailLength));
            search(p, "Pen", "Pal " + str(k), "", nullptr, "", longText("note", kTailLength));
        }
        db->exec("COMMIT");
        db->deleteWhere("ABMultiValue", "UID IN (" + idList(goneValues) + ")");
        db->deleteWhere("ABPerson", "ROWID IN (" + idList(gonePersons) + ")");
        db->deleteWhere("ABPersonFullTextSearch_content", "docid IN (" + idList(gonePersons) + ")");
        Store(std::move(db), "HomeDomain", "Library/AddressBook/AddressBook.sqlitedb");

        auto images = Open("AddressBookImages.sqlitedb");
        images->exec(kAddressBookImagesSchema);
        images->insert("ABFullSizeImage",
                       {"record_id", "crop_x", "crop_y", "crop_width", "crop_height", "data"},
                       {photoOwner, int64_t(0), int64_t(0), int64_t(320), int64_t(320), Blob{kPhoto}});
        Store(std::move(images), "HomeDomain", "Library/AddressBook/AddressBookImages.sqlitedb");
        out.photoFile = "contact/" + std::to_string(photoOwner) + ".jpg";
        out.photoBytes = kPhoto;
    }

    void CallHistory() {
        auto db = Open("CallHistory.storedata");
        db->exec(kCallHistorySchema);
        db->exec("BEGIN");
        unsigned n = 0;
        auto call = [&](int64_t originated, const Value& date, double duration, const Value& address,
                        const Value& name) {
            return db->insert("ZCALLRECORD",
                              {"Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZORIGINATED", "ZREAD", "ZDATE",
                               "ZDURATION", "ZISO_COUNTRY_CODE", "ZNAME", "ZUNIQUE_ID", "ZADDRESS"},
                              {int64_t(2), int64_t(1), int64_t(1), int64_t(1), originated, int64_t(1), date,
                               duration, std::string("cn"), name, uuid36(0xCA11, ++n), address});
        };
        call(0, 500000000.5, 0.0, nullptr, longText("no caller id", 100)); // no number: never listed
        std::vector<int64_t> gone;
        for (int u = 0; u < scale; ++u) {
            // Dates with a fraction stay REAL on the pages, as the device writes them.
            const double t = double(unitTime(u)) + 2000.25;
            call(1, t, 62.5, shownPhone(u, 1), nullptr);
            call(0, t + 100, 5.0, phone(u, 2), nullptr);
            call(0, t + 200, 14.0, strangerPhone(u, 1), nullptr);
            gone.push_back(call(1, t + 300, 30.0, shownPhone(u, 1), nullptr));
            gone.push_back(call(0, t + 400, 12.0, strangerPhone(u, 2), nullptr));
            out.calls.live += 3;
            out.calls.deleted += 2;
            out.namedCalls += 3;
        }
        for (int k = 0; k < kTailRows; ++k) {
            call(0, double(unitTime(scale) + k) + 0.25, 1.0, strangerPhone(9999, k),
                 longText("Hotline " + str(k), kTailLength));
            out.calls.live += 1;
        }
        db->exec("COMMIT");
        db->deleteWhere("ZCALLRECORD", "Z_PK IN (" + idList(gone) + ")");
        Store(std::move(db), "HomeDomain", "Library/CallHistoryDB/CallHistory.storedata");
    }

    void LegacyCallHistory() {
        auto db = Open("call_history.db");
        db->exec(kCallHistoryLegacySchema);
        db->exec("BEGIN");
        auto call = [&](bool outgoing, int64_t date, int64_t duration, const Value& address,
                        const Value& name) {
            return db->insert("call",
                              {"address", "date", "duration", "flags", "id", "name", "read", "country_code"},
                              {address, date, duration, int64_t(outgoing ? 5 : 4), int64_t(-1), name,
                               int64_t(1), std::string("cn")});
        };
        call(false, 1500000000, 0, nullptr, longText("no caller id", 100)); // no number: never listed
        std::vector<int64_t> gone;
        for (int u = 0; u < scale; ++u) {
            const int64_t t = unitTime(u) + kAppleEpoch + 2000;
            call(true, t, 62, shownPhone(u, 1), nullptr);
            call(false, t + 100, 5, phone(u, 2), nullptr);
            call(false, t + 200, 14, strangerPhone(u, 1), nullptr);
            gone.push_back(call(true, t + 300, 30, shownPhone(u, 1), nullptr));
            gone.push_back(call(false, t + 400, 12, strangerPhone(u, 2), nullptr));
            out.calls.live += 3;
            out.calls.deleted += 2;
            out.namedCalls += 3;
        }
        for (int k = 0; k < kTailRows; ++k) {
            call(false, unitTime(scale) + kAppleEpoch + k, 1, strangerPhone(9999, k),
                 longText("Hotline " + str(k), kTailLength));
            out.calls.live += 1;
        }
        db->exec("COMMIT");
        db->deleteWhere("call", "ROWID IN (" + idList(gone) + ")");
        Store(std::move(db), "WirelessDomain", "Library/CallHistory/call_history.db");
    }

    void Messages() {
        auto db = Open("sms.db");
        db->exec(kSmsSchema);
        db->exec("BEGIN");
        unsigned n = 0;
        // Nanoseconds since 2001 from iOS 11, seconds before.
        auto date = [&](int64_t apple) -> Value { return ios >= 11 ? apple * 1000000000LL : apple; };
        auto handle = [&](const std::string& id) {
            return db->insert("handle", {"id", "country", "service", "uncanonicalized_id"},
                              {id, std::string("cn"), std::string("SMS"), nullptr});
        };
        auto message = [&](int64_t handleId, int64_t apple, int fromMe, const Value& text,
                           const Value& rooms) {
            ++n;
            std::string body = std::string("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40\x84\x84\x84\x12"
                                           "NSAttributedString",
                                           36);
            if (auto* s = std::get_if<std::string>(&text)) body += *s;
            return db->insert("message",
                              {"guid", "text", "handle_id", "attributedBody", "service", "account",
                               "account_guid", "date", "date_read", "date_delivered", "is_from_me", "is_read",
                               "is_delivered", "is_finished", "is_sent", "cache_roomnames"},
                              {uuid36(0x5E5, n), text, handleId, Blob{body}, std::string("SMS"),
                               std::string("p:0"), uuid36(0xACC, 1), date(apple), int64_t(0), int64_t(0),
                               int64_t(fromMe), int64_t(1), int64_t(1), int64_t(1), int64_t(fromMe), rooms});
        };
        // A message without text (a read receipt): never listed.
        message(0, unitTime(0), 0, nullptr, longText("chat", 100));
        std::vector<int64_t> goneMessages;
        for (int u = 0; u < scale; ++u) {
            const int64_t t = unitTime(u) + 3000;
            const int64_t alice = handle("+86" + phone(u, 1));
            const int64_t stranger = handle("+1" + strangerPhone(u, 3));
            const int64_t acme = handle("+86" + phone(u, 2));
            message(alice, t, 0, "Hi, see you at five? (" + str(u) + ")", nullptr);
            message(alice, t + 60, 1, "On my way (" + str(u) + ")", nullptr);
            goneMessages.push_back(
                message(alice, t + 120, 0, "Delete this after reading (" + str(u) + ")", nullptr));
            message(stranger, t + 180, 0, "Your code is 4" + str(u), nullptr);
            message(stranger, t + 240, 1, "Thanks (" + str(u) + ")", nullptr);
            goneMessages.push_back(message(acme, t + 300, 0, "Invoice attached (" + str(u) + ")", nullptr));
            out.smsConversations.live += 1;
            out.smsConversations.deleted += 2;
            out.smsMessages.live += 4;
            out.smsMessages.deleted += 2;
            out.namedConversations += 2;
        }
        // A conversation deleted with its handle: the freed cell of the handle row loses
        // its rowid, so its messages keep no address.
        const int64_t lost = handle("+86 186 0000 9999");
        goneMessages.push_back(message(lost, unitTime(scale) + 3000, 0, "Gone with its handle", nullptr));
        out.smsConversations.deleted += 1;
        out.smsMessages.deleted += 1;
        out.unaddressedConversations += 1;
        const int64_t news = handle("10086");
        for (int k = 0; k < kTailRows; ++k)
            message(news, unitTime(scale) + 4000 + k, 0, longText("Newsletter " + str(k), kTailLength),
                    nullptr);
        out.smsConversations.live += 1;
        out.smsMessages.live += kTailRows;
        db->exec("COMMIT");
        db->deleteWhere("message", "ROWID IN (" + idList(goneMessages) + ")");
        db->deleteWhere("handle", "ROWID = " + std::to_string(lost));
        Store(std::move(db), "HomeDomain", "Library/SMS/sms.db");
    }

    void LegacyMessages() {
        auto db = Open("sms.db");
        db->exec(kSmsLegacySchema);
        db->exec("BEGIN");
        auto message = [&](const Value& address, int64_t group, int64_t date, bool sent, const Value& text,
                           const Value& subject) {
            return db->insert("message",
                              {"address", "date", "text", "flags", "replace", "group_id", "association_id",
                               "height", "UIFlags", "version", "subject", "country", "read"},
                              {address, date, text, int64_t(sent ? 3 : 2), int64_t(0), group, int64_t(0),
                               int64_t(0), int64_t(0), int64_t(0), subject, std::string("cn"), int64_t(1)});
        };
        // A message without text: never listed.
        message(nullptr, 0, unitTime(0) + kAppleEpoch, false, nullptr, longText("subject", 100));
        std::vector<int64_t> gone;
        for (int u = 0; u < scale; ++u) {
            const int64_t t = unitTime(u) + kAppleEpoch + 3000;
            const int64_t g = int64_t(u) * 3 + 1;
            const std::string a = shownPhone(u, 1);
            message(a, g, t, false, "Hi, see you at five? (" + str(u) + ")", nullptr);
            message(a, g, t + 60, true, "On my way (" + str(u) + ")", nullptr);
            gone.push_back(
                message(a, g, t + 120, false, "Delete this after reading (" + str(u) + ")", nullptr));
            message(strangerPhone(u, 3), g + 1, t + 180, false, "Your code is 4" + str(u), nullptr);
            message(strangerPhone(u, 3), g + 1, t + 240, true, "Thanks (" + str(u) + ")", nullptr);
            gone.push_back(
                message(phone(u, 2), g + 2, t + 300, false, "Invoice attached (" + str(u) + ")", nullptr));
            out.smsConversations.live += 1;
            out.smsConversations.deleted += 2;
            out.smsMessages.live += 4;
            out.smsMessages.deleted += 2;
            out.namedConversations += 2;
        }
        for (int k = 0; k < kTailRows; ++k)
            message(std::string("10086"), int64_t(scale) * 3 + 1, unitTime(scale) + kAppleEpoch + k, false,
                    longText("Newsletter " + str(k), kTailLength), nullptr);
        out.smsConversations.live += 1;
        out.smsMessages.live += kTailRows;
        db->exec("COMMIT");
        db->deleteWhere("message", "ROWID IN (" + idList(gone) + ")");
        Store(std::move(db), "HomeDomain", "Library/SMS/sms.db");
    }

    BackupBuilder& backup;
    int scale;
    int ios = 0;
    ScratchFolder scratch{"sampledb"};
    SampleDatabases out;
};

} // namespace

SampleDatabases AddSystemDatabases(BackupBuilder& backup, int scale) {
    return Writer(backup, scale).Run();
}

} // namespace kit
