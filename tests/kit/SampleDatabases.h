#pragma once
#include "tests/kit/BackupBuilder.h"

#include <map>
#include <string>
#include <vector>

namespace kit {

struct SampleCounts {
    int live = 0;
    int deleted = 0;
    int total() const { return live + deleted; }
};

// What the system-app parsers must find in the databases AddSystemDatabases wrote.
struct SampleDatabases {
    SampleCounts bookmarks, calendar, reminders, notes, contacts, calls;
    SampleCounts smsConversations; // a conversation counts as deleted when one of its messages is
    SampleCounts smsMessages;
    int namedCalls = 0;         // calls whose number belongs to a contact
    int namedConversations = 0; // conversations whose address belongs to a contact
    // Conversations whose handle row was deleted with them: their address is lost.
    int unaddressedConversations = 0;
    // Every contact the contacts parser must produce: phone digits -> name.
    std::map<std::string, std::string> contactNames;
    // The one contact photo: its file relative to the scan's output folder, and its bytes.
    std::string photoFile, photoBytes;
    // Stored paths (relative to the backup root) of every database file written.
    std::vector<std::string> databaseFiles;
};

// Writes into `backup` a small, realistic set of every system database the parsers read,
// each with live rows and deleted rows still on its pages (secure_delete off): Safari
// "Bookmarks.db", "Calendar.sqlitedb" (events, and reminders from iOS 5), a Reminders
// store (from iOS 13), the Notes store ("notes.sqlite" up to iOS 8, "NoteStore.sqlite"
// from 9), "AddressBook.sqlitedb" with "AddressBookImages.sqlitedb" (one photo), the
// call history ("call_history.db" up to iOS 8, "CallHistory.storedata" from 9) and
// "sms.db" (the older schema up to iOS 4). The generation follows the builder's product
// version, as the parsers choose it. `scale` multiplies the rows (not the photo). Call
// before BackupBuilder::Finish.
// The counts are exact for every generation up to a scale of 200 at least (checked); far
// beyond, chance byte patterns among the many rows start to give the carver a few
// candidates of its own.
SampleDatabases AddSystemDatabases(BackupBuilder& backup, int scale = 1);

} // namespace kit
