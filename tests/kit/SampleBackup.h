#pragma once
#include "tests/kit/BackupBuilder.h"

#include <filesystem>
#include <map>
#include <string>

namespace kit {

// A small but complete device backup for whole-scan tests and the scan benchmark:
// camera-roll photos, videos and voice memos, SMS, notes and WeChat attachments (with
// files of every kind and some the scan must leave out), and the databases of the
// system apps (messages, contacts, calls, Safari bookmarks, calendar with reminders,
// notes) and the WhatsApp message store, with live rows and deleted ones, written through BackupBuilder in
// either manifest generation. `scale` multiplies the files and the rows.
struct SampleBackup {
    // Live rows per database: their texts are "<Kind> <n>" ("Message 3", "Site 0", ...).
    int smsMessages = 0, contacts = 0, calls = 0, bookmarks = 0, events = 0, reminders = 0, notes = 0;
    // WhatsApp chats and their live messages ("WhatsApp <n>"; deleted ones "Removed
    // WhatsApp <n>", deletedRowsPerTable of them, in chats that keep live messages).
    int whatsAppChats = 0, whatsAppMessages = 0;
    // Rows deleted again after they were written (the carver may find them).
    int deletedRowsPerTable = 0;

    // Files the media listing keeps, per list: photos, videos, voice memos, and per
    // attachment list the photos and the other files.
    int photos = 0, videos = 0, voiceMemos = 0;
    int smsAttachmentPhotos = 0, smsAttachmentMedia = 0;
    int noteAttachmentPhotos = 0, noteAttachmentMedia = 0;
    int wxAttachmentPhotos = 0, wxAttachmentMedia = 0;

    // The WeChat account: its friends (besides the owner), live messages, and the
    // messages recovered from deleted rows, the session file and the search index.
    int wxContacts = 0, wxMessages = 0, wxDeletedMessages = 0;

    // Writes the databases into `scratch` before copying them into the backup.
    // `wxAccounts` WeChat accounts: the first as described above, each further one with
    // friends and messages of its own (its names carry the account number: "Account 2
    // friend 0", "Account 2 message 0.1"); the counts above are the first account's.
    static SampleBackup Build(const std::filesystem::path& root, BackupBuilder::Generation generation,
                              int scale, const std::filesystem::path& scratch, int wxAccounts = 1);
};

} // namespace kit
