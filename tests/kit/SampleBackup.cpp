#include "tests/kit/SampleBackup.h"

#include "tests/kit/ChatStorageDb.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/NoteBody.h"
#include "tests/kit/SystemSchemas.h"
#include "tests/kit/WeChatAccountBuilder.h"

#include <algorithm>
#include <vector>

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
    db.exec(kBookmarksSchema);
    db.exec("BEGIN");
    for (int i = 0; i < rows + deleted; ++i) {
        const bool gone = i >= rows;
        addBookmark(
            db, {.title = std::string(gone ? "Removed site " : "Site ") + std::to_string(gone ? i - rows : i),
                 .url = "https://example.org/page/" + std::to_string(i),
                 .uuid = Uuid(i),
                 .order = i + 1});
    }
    db.exec("COMMIT");
    if (deleted) db.deleteWhere("bookmarks", "title LIKE 'Removed site %'");
}

// Call history of iOS 9 and later.
void WriteCalls(const std::filesystem::path& path, int rows, int deleted, int64_t now) {
    FixtureDb db(path);
    db.exec(kCallHistorySchema);
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
    db.exec(kSmsSchema);
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
    db.exec(kAddressBookSchema);
    db.exec(kAddressBookSearchNewSchema);
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
    createCalendarSchema(db);
    db.exec("BEGIN");
    addCalendar(db, "Home", 0);
    auto item = [&](const std::string& summary, int64_t type, int i) {
        // Six hours apart: at every scale the items stay after 2001, where a carved date is
        // believed.
        const double start = double(now - kAppleEpoch - 21600 * int64_t(i + 1));
        addItem(db, {.summary = summary,
                     .description = std::string("Details of ") + summary,
                     .startDate = start,
                     .entityType = type,
                     .endDate = start + 3600,
                     .uuid = Uuid(i),
                     .creationDate = start - 100});
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
    db.exec(kNoteStoreSchema);
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
                  {pk, int64_t(8), int64_t(2), pk, Blob{noteBody(title + "\nfirst line")}});
    }
    db.exec("COMMIT");
    if (deleted) {
        db.deleteWhere("ZICCLOUDSYNCINGOBJECT", "Z_PK > " + std::to_string(rows));
        db.deleteWhere("ZICNOTEDATA", "Z_PK > " + std::to_string(rows));
    }
}

// The WhatsApp message store: one chat per ten messages (the first of every three a
// group with two members), the deleted messages in the chats that keep live ones.
void WriteWhatsApp(const std::filesystem::path& path, int rows, int deleted, int64_t now, int* chats) {
    ChatStorageDb db(path);
    db.db().exec("BEGIN");
    const int sessionCount = std::max(1, (rows + 9) / 10);
    std::vector<int64_t> sessions, firstMember;
    for (int c = 0; c < sessionCount; ++c) {
        const bool group = c % 3 == 0;
        const std::string jid = group ? "1203630" + std::to_string(c) + "@g.us"
                                      : "49155500" + std::to_string(1000 + c) + "@s.whatsapp.net";
        sessions.push_back(db.AddSession(jid, "Chat " + std::to_string(c), int64_t(group ? 1 : 0)));
        firstMember.push_back(0);
        if (group) {
            const std::string member = "49155511" + std::to_string(1000 + c) + "@s.whatsapp.net";
            db.AddPushName(member, "Member " + std::to_string(c));
            firstMember.back() = db.AddGroupMember(sessions.back(), member);
            db.AddGroupMember(sessions.back(), "49155522" + std::to_string(1000 + c) + "@s.whatsapp.net");
        }
    }
    *chats = sessionCount;
    for (int i = 0; i < rows + deleted; ++i) {
        const bool gone = i >= rows;
        const size_t c = size_t((gone ? i - rows : i) % sessionCount);
        ChatStorageDb::Message m;
        m.session = sessions[c];
        m.type = int64_t(0);
        m.fromMe = int64_t(i % 2);
        m.date = int64_t(now - kAppleEpoch - 60 * (i + 1));
        m.groupMember = firstMember[c] ? Value(firstMember[c]) : Value(nullptr);
        m.text = std::string(gone ? "Removed WhatsApp " : "WhatsApp ") + std::to_string(gone ? i - rows : i);
        m.stanzaId = Uuid(i) + "-wa";
        db.AddMessage(m);
    }
    db.db().exec("COMMIT");
    if (deleted) db.DeleteMessages("ZTEXT LIKE 'Removed WhatsApp %'");
}

} // namespace

SampleBackup SampleBackup::Build(const std::filesystem::path& root, BackupBuilder::Generation generation,
                                 int scale, const std::filesystem::path& scratch, int wxAccounts) {
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
        s.wxAttachmentPhotos += 1; // the thumbnail of a listed picture is not listed
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
    s.whatsAppMessages = rows;
    WriteWhatsApp(scratch / "ChatStorage.sqlite", rows, deleted, now, &s.whatsAppChats);
    b.AddFileFrom("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "ChatStorage.sqlite",
                  scratch / "ChatStorage.sqlite");

    // One WeChat account: friends, live and deleted messages, a session file's last
    // message and a message only the search index keeps.
    WeChatAccountBuilder wx("wxid_sample01", "Sample Owner");
    for (int i = 0; i < scale; ++i) {
        const std::string peer = "wxid_friend" + std::to_string(100 + i);
        wx.AddFriend(peer, "Friend " + std::to_string(i));
        s.wxContacts += 1;
        for (int k = 0; k < 10; ++k) {
            const bool gone = k < 2;
            wx.AddMessage(WeChatAccountBuilder::MainDb,
                          {peer, 1500000000 + i * 100 + k, 1, k % 2 == 0,
                           "WeChat message " + std::to_string(i) + "." + std::to_string(k)},
                          gone);
            (gone ? s.wxDeletedMessages : s.wxMessages) += 1;
        }
        wx.AddMessage(WeChatAccountBuilder::FtsIndex,
                      {peer, 1500000000 + i * 100 + 50, 1, false, "WeChat indexed " + std::to_string(i)});
        s.wxDeletedMessages += 1;
    }
    wx.AddSession("wxid_friend100", "Friend 0", {"", 1500000090, 1, false, "WeChat last message"});
    s.wxDeletedMessages += 1;
    wx.Write(b, scratch / "wechat");
    for (int a = 2; a <= wxAccounts; ++a) {
        const std::string tag = std::to_string(a);
        WeChatAccountBuilder other("wxid_sample0" + tag, "Account " + tag + " Owner");
        for (int i = 0; i < scale; ++i) {
            const std::string peer = "wxid_acc" + tag + "friend" + std::to_string(100 + i);
            other.AddFriend(peer, "Account " + tag + " friend " + std::to_string(i));
            for (int k = 0; k < 4; ++k)
                other.AddMessage(
                    WeChatAccountBuilder::MainDb,
                    {peer, 1510000000 + i * 100 + k, 1, k % 2 == 0,
                     "Account " + tag + " message " + std::to_string(i) + "." + std::to_string(k)});
        }
        other.Write(b, scratch / ("wechat" + tag));
    }

    b.Finish();
    return s;
}

} // namespace kit
