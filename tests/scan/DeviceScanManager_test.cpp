// The scan progress bridge: record conversion per data type, progress texts and
// percentages, pause, resume and stop, and the scan manager's lifetime.
#include "scan/DeviceScanManager.h"

#include "core/records/BookmarkRecord.h"
#include "core/records/CalendarRecord.h"
#include "core/records/CallRecord.h"
#include "core/records/ContactRecord.h"
#include "core/records/MediaFileRecord.h"
#include "core/records/NoteRecord.h"
#include "core/records/ReminderRecord.h"
#include "core/records/ScanDataType.h"
#include "core/records/SmsConversationRecord.h"
#include "scan/NSFileData.h"
#include "platform/ProcessLog.h"
#include "scan/engine/CScanManager.h"
#include "tests/scan/QtGtestMain.h"
#include "tests/scan/RecordingScanReceiver.h"
#include "tests/scan/engine/ScanFakes.h"

#include <QGuiApplication>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <climits>
#include <thread>

using scantest::RecordingScanReceiver;

namespace {

// A bridge wired to a recording receiver and a fixed text table.
struct Bridge {
    DeviceScanManager bridge;
    RecordingScanReceiver receiver;
    QMap<QString, QString> texts{{"Unknown", "Unknown"},
                                 {"ScanComplete", "Done"},
                                 {"PROGRESSTXT_SMS", "SMS %1/%2 %3%"},
                                 {"PROGRESSTXT_NOUSE", "Media %3%"}};
    bool haveTable = true;

    Bridge() {
        bridge.SetReceiverSource([this] { return &receiver; });
        bridge.SetTextLookup([this](const QString& key) -> std::optional<QString> {
            if (!haveTable) return std::nullopt;
            return texts.value(key, key);
        });
    }
};

template <class T> struct Records {
    RecordList<T> list;
    T* Add() { return list.append(std::make_unique<T>()); }
    void* first() { return list.first; }
};

SmsConversationRecord* AddConversation(Records<SmsConversationRecord>& convs, const std::string& address,
                                       std::initializer_list<std::pair<std::string, int>> messages) {
    auto* c = convs.Add();
    c->address = address;
    for (const auto& [text, type] : messages) {
        auto m = std::make_unique<SmsMessageRecord>();
        m->text = text;
        m->type = uint8_t(type);
        m->date = 1500000000;
        c->messages.append(std::move(m));
    }
    return c;
}

// PNG bytes whose header announces a picture of the given size (the image data is
// cut short): enough for a reader to learn the size and refuse to decode it.
QByteArray PngHeaderOnly(uint32_t width, uint32_t height) {
    auto be32 = [](QByteArray& out, uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            out.append(char((v >> s) & 0xff));
    };
    auto chunk = [&](QByteArray& out, const char* type, const QByteArray& data) {
        be32(out, uint32_t(data.size()));
        QByteArray body = QByteArray(type, 4) + data;
        out += body;
        be32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    };
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    be32(ihdr, width);
    be32(ihdr, height);
    ihdr.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", QByteArray("\x78\x9c\x03\x00", 4));
    chunk(png, "IEND", QByteArray());
    return png;
}

} // namespace

TEST(DeviceScanManagerSms, ConversationsAreKeyedMergedAndFiltered) {
    Bridge b;
    Records<SmsConversationRecord> convs;
    AddConversation(convs, "", {{"hi", 0}});
    AddConversation(convs, "", {{"yo", 1}});
    AddConversation(convs, "123", {{std::string("\0abc", 4), 0}}); // nothing to show
    auto* first555 = AddConversation(convs, "555", {{"sent", 1}, {"got", 0}});
    first555->contactName = "Ann";
    first555->handleId = 7;
    first555->deleted = true;
    first555->messages.last->deleted = true;
    auto* second555 = AddConversation(convs, "555", {{"later", 0}});
    second555->contactName = "Other";
    second555->messages.last->date = 0;                     // no date known
    AddConversation(convs, "\xff\xfe", {{"\xe9t\xe9", 0}}); // neither is UTF-8

    b.bridge.OnScanData(ScanSms, convs.first());

    ASSERT_EQ(b.receiver.Messages(), QStringList{"ScanSMS"});
    const auto& sms = b.receiver.sms;
    EXPECT_EQ(sms.keys(), (QStringList{"555", "Unknown_1", "Unknown_2", "Unknown_3"}));
    EXPECT_EQ(sms["Unknown_1"].SMSDataList().at(0).Content(), "hi");
    EXPECT_EQ(sms["Unknown_2"].SMSDataList().at(0).Alignment(), 1);

    const NSSMSHeadData& head = sms["555"];
    EXPECT_EQ(head.Phone(), "555");
    EXPECT_EQ(head.Name(), "Ann"); // the first conversation of a key gives the head
    EXPECT_EQ(head.nHandleId(), 7);
    EXPECT_TRUE(head.bDelete());
    ASSERT_EQ(head.SMSDataList().size(), 3);
    EXPECT_EQ(head.SMSDataList()[0].Alignment(), 1);
    EXPECT_EQ(head.SMSDataList()[0].nType(), 1);
    EXPECT_FALSE(head.SMSDataList()[0].bDelete());
    EXPECT_EQ(head.SMSDataList()[1].Alignment(), 0);
    EXPECT_TRUE(head.SMSDataList()[1].bDelete());
    EXPECT_EQ(head.SMSDataList()[2].Content(), "later");
    EXPECT_EQ(head.SMSDataList()[2].Time(), ""); // not 1970/01/01
    EXPECT_EQ(head.SMSDataList()[0].Time(),
              QDateTime::fromSecsSinceEpoch(1500000000).toString("yyyy/MM/dd HH:mm:ss"));

    // A text that is not UTF-8 is still shown, one character per byte.
    EXPECT_EQ(sms["Unknown_3"].SMSDataList().at(0).Content(), QString::fromLatin1("\xe9t\xe9"));
}

TEST(DeviceScanManagerSms, UnknownKeyComesFromTheLanguageTableOfTheSetting) {
    QSettings().setValue("AppLanguage", "zh-Hans");
    DeviceScanManager bridge; // default text lookup
    RecordingScanReceiver receiver;
    bridge.SetReceiverSource([&] { return &receiver; });
    Records<SmsConversationRecord> convs;
    AddConversation(convs, "", {{"x", 0}});
    bridge.OnScanData(ScanSms, convs.first());
    EXPECT_EQ(receiver.sms.keys(), QStringList{QString::fromUtf8("未知_1")});
    QSettings().remove("AppLanguage");
}

TEST(DeviceScanManagerConvert, SystemDataRecordsBecomeResultRecords) {
    Bridge b;

    Records<CallRecord> calls;
    auto* call = calls.Add();
    call->deleted = true;
    call->outgoing = true;
    call->number = "5551234";
    call->date = 1600000000;
    call->duration = 42;
    b.bridge.OnScanData(ScanCallHistory, calls.first());

    Records<BookmarkRecord> marks;
    auto* m1 = marks.Add();
    m1->title = "Site";
    m1->url = "https://example.org";
    m1->deleted = true;
    marks.Add()->title = "No address"; // empty URL: left out
    auto* m3 = marks.Add();
    m3->title = "\xc3"; // cut UTF-8: left out
    m3->url = "https://x";
    b.bridge.OnScanData(ScanBookmarks, marks.first());

    Records<NoteRecord> notes;
    notes.Add()->text = "Title\nBody";
    notes.Add(); // empty: left out
    notes.list.last->date = 5;
    b.bridge.OnScanData(ScanNotes, notes.first());

    Records<ReminderRecord> reminders;
    auto* r1 = reminders.Add();
    r1->title = "Buy milk";
    r1->listTitle = "Home";
    r1->completed = true;
    r1->priority = 9;
    r1->date = 1234;
    auto* r2 = reminders.Add(); // nothing converts: left out
    r2->title = r2->notes = r2->listTitle = r2->location = "\xff";
    auto* r3 = reminders.Add(); // one text converts: kept, the others empty
    r3->title = "\xff";
    r3->location = "Office";
    b.bridge.OnScanData(ScanReminders, reminders.first());

    Records<CalendarRecord> events;
    auto* e = events.Add();
    e->title = "Meeting";
    e->description = "Agenda";
    e->location = "Room 1";
    e->start = 100;
    e->end = 200;
    b.bridge.OnScanData(ScanCalendar, events.first());

    EXPECT_EQ(b.receiver.Messages(),
              (QStringList{"ScanCallLog", "ScanBookmarks", "ScanMemo", "ScanReminders", "ScanCalendar"}));

    ASSERT_EQ(b.receiver.calls.size(), 1);
    const NSCallLogData& c = b.receiver.calls[0];
    EXPECT_TRUE(c.bDelete());
    EXPECT_EQ(c.nType(), 1);
    EXPECT_EQ(c.Phone(), "5551234");
    EXPECT_TRUE(c.Name().isEmpty());
    EXPECT_EQ(c.lDataTime(), 1600000000);
    EXPECT_EQ(c.lDuration(), 42);

    ASSERT_EQ(b.receiver.bookmarks.size(), 1);
    EXPECT_EQ(b.receiver.bookmarks[0].BookMarks(), "Site");
    EXPECT_EQ(b.receiver.bookmarks[0].Address(), "https://example.org");
    EXPECT_TRUE(b.receiver.bookmarks[0].bDelete());

    ASSERT_EQ(b.receiver.notes.size(), 1);
    EXPECT_EQ(b.receiver.notes[0].Title(), "Title\nBody");
    EXPECT_EQ(b.receiver.notes[0].Content(), "Title\nBody");

    ASSERT_EQ(b.receiver.reminders.size(), 2);
    const NSMemoData& rem = b.receiver.reminders[0];
    EXPECT_EQ(rem.Title(), "Buy milk");
    EXPECT_EQ(rem.Type(), "Home");
    EXPECT_TRUE(rem.bComplete());
    EXPECT_EQ(rem.nPriority(), 0); // never set by the bridge
    EXPECT_EQ(rem.lDataTime(), 1234);
    EXPECT_TRUE(b.receiver.reminders[1].Title().isEmpty());
    EXPECT_EQ(b.receiver.reminders[1].Location(), "Office");

    ASSERT_EQ(b.receiver.events.size(), 1);
    const NSCalendarData& ev = b.receiver.events[0];
    EXPECT_EQ(ev.Title(), "Meeting");
    EXPECT_EQ(ev.Content(), "Agenda");
    EXPECT_EQ(ev.addres(), "Room 1");
    EXPECT_EQ(ev.lStartTime(), 100);
    EXPECT_EQ(ev.lEndTime(), 200);
    EXPECT_EQ(ev.nLocationId(), 0);
}

TEST(DeviceScanManagerConvert, ContactPicturesAreScaledOnReadWithinALimit) {
    QTemporaryDir dir;
    QImage tall(200, 400, QImage::Format_RGB32);
    tall.fill(Qt::red);
    ASSERT_TRUE(tall.save(dir.filePath("tall.png")));
    QFile huge(dir.filePath("huge.png"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(PngHeaderOnly(60000, 60000)); // 14 GB once decoded
    huge.close();
    QFile junk(dir.filePath("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();

    Bridge b;
    Records<ContactRecord> contacts;
    const char* paths[] = {"tall.png", "huge.png", "junk.png", "missing.png"};
    for (const char* p : paths) {
        auto* c = contacts.Add();
        c->name = p;
        c->phone = "1";
        c->imagePath = dir.filePath(p).toStdString();
    }
    contacts.Add()->email = "a@b.c";
    b.bridge.OnScanData(ScanContacts, contacts.first());

    const auto& out = b.receiver.contacts;
    ASSERT_EQ(out.size(), 5);
    EXPECT_EQ(out[0].image().size(), QSize(53, 106));
    EXPECT_EQ(out[0].image().pixelColor(26, 53), QColor(Qt::red));
    for (int i = 1; i < 5; ++i)
        EXPECT_TRUE(out[i].image().isNull()) << i;
    EXPECT_EQ(out[4].Email(), "a@b.c");
    EXPECT_EQ(out[4].nRecordId(), 0);
}

TEST(DeviceScanManagerConvert, MediaAndAttachmentFiles) {
    Bridge b;
    Records<MediaFileRecord> photos;
    auto* p = photos.Add();
    p->day = "2017-07-14";
    p->storedPath = "ab/ab12";
    p->displayName = "000012.jpg";
    auto* noDot = photos.Add();
    noDot->displayName = "000013";
    noDot->day = "not a day";
    b.bridge.OnScanData(ScanPhotos, photos.first());

    Records<MediaFileRecord> attachments;
    const int kinds[] = {0, 1, 2, 3, 0};
    for (int k : kinds) {
        auto* a = attachments.Add();
        a->kind = k;
        a->displayName = "000001.heic";
    }
    b.bridge.OnScanData(ScanSmsAttachments, attachments.first());
    b.bridge.OnScanData(ScanNoteAttachments, nullptr);
    b.bridge.OnScanData(ScanWxAttachments, attachments.first());
    b.bridge.OnScanData(ScanVideos, nullptr);
    b.bridge.OnScanData(ScanVoiceMemos, nullptr);
    b.bridge.OnScanData(ScanWaChats, nullptr);       // not shown
    b.bridge.OnScanData(ScanWaAttachments, nullptr); // not shown

    EXPECT_EQ(b.receiver.Messages(), (QStringList{"ScanPhoto", "ScanSMSAttachment", "ScanMemoAttachment",
                                                  "ScanWXAttachment", "ScanVideo", "ScanMusic"}));
    ASSERT_EQ(b.receiver.photos.size(), 2);
    const NSDeletedFile& f = b.receiver.photos[0];
    EXPECT_EQ(f.Suffix(), "*.jpg;");
    EXPECT_EQ(f.FileName(), "000012.jpg");
    EXPECT_EQ(f.SHA1(), "ab/ab12");
    EXPECT_FALSE(f.DeleteMark());
    EXPECT_EQ(f.mtime(), QDate(2017, 7, 14).startOfDay());
    EXPECT_EQ(f.atime(), f.mtime());
    EXPECT_EQ(f.ctime(), f.mtime());
    EXPECT_TRUE(b.receiver.photos[1].Suffix().isEmpty());
    EXPECT_FALSE(b.receiver.photos[1].mtime().isValid());

    EXPECT_EQ(b.receiver.smsAttachments.first.size(), 2);
    EXPECT_EQ(b.receiver.smsAttachments.second.size(), 3);
    EXPECT_EQ(b.receiver.smsAttachments.first[0].Suffix(), "*.heic;");
    EXPECT_TRUE(b.receiver.noteAttachments.first.isEmpty());
    EXPECT_EQ(b.receiver.wxAttachments.second.size(), 3);

    // NSFileData copies a file for the media views, with its own DeleteMark.
    NSDeletedFile marked = f;
    marked.setDeleteMark(true);
    const NSFileData copy(marked);
    EXPECT_FALSE(copy.DeleteMark());
    EXPECT_EQ(copy.SHA1(), f.SHA1());
    EXPECT_EQ(copy.mtime(), f.mtime());
    EXPECT_TRUE(copy.thumbnail().isNull());
    EXPECT_TRUE(NSSMSHeadData().SMSDataList().isEmpty());
}

TEST(DeviceScanManagerProgress, TextsAndPercentages) {
    Bridge b;
    b.bridge.SetScanState(true);
    b.bridge.OnProgress(ScanSms, 2, 250, 1000, 3, 7, 0);
    b.bridge.OnProgress(ScanWaChats, 2, 500, 1000, 4, 7, 0); // no key: text stays
    b.bridge.OnProgress(ScanSms, 2, 5, 0, 4, 7, 0);          // no total: 0 %
    b.bridge.OnProgress(ScanSms, 2, 3000, 1000, 4, 7, 0);    // beyond the total: held at 100
    b.bridge.OnProgress(ScanSms, 2, INT_MAX, 1, 4, 7, 0);
    b.bridge.OnProgress(ScanNone, 1, 1, 4, 0, 1, 0);
    b.haveTable = false; // no table: the text stays, the value moves
    b.bridge.OnProgress(ScanSms, 2, 3, 4, 5, 7, 0);
    b.bridge.OnScanData(ScanNone, nullptr);

    const auto& p = b.receiver.progress;
    ASSERT_EQ(p.size(), 8);
    EXPECT_EQ(p[0].value, 25);
    EXPECT_EQ(p[0].maximum, 100);
    EXPECT_EQ(p[0].text, "SMS 3/7 25.0%");
    EXPECT_EQ(p[1].value, 50);
    EXPECT_EQ(p[1].text, "SMS 3/7 25.0%");
    EXPECT_EQ(p[2].value, 0);
    EXPECT_EQ(p[2].text, "SMS 4/7 0.0%");
    EXPECT_EQ(p[3].value, 100);
    EXPECT_EQ(p[4].value, 100);
    EXPECT_EQ(p[5].text, "Media 25.0%");
    EXPECT_EQ(p[6].value, 75);
    EXPECT_EQ(p[6].text, "Media 25.0%");
    EXPECT_EQ(p[7].value, 75); // the end report repeats the stored progress

    const auto latest = b.bridge.progressHolder().Get();
    EXPECT_EQ(latest.value, 75);
    EXPECT_EQ(latest.text, "Media 25.0%");

    // The last step had no total: the scan still ends at 100 of 100.
    b.haveTable = true;
    b.bridge.OnProgress(ScanSms, 2, 0, 0, 1, 1, 0);
    b.bridge.ScanComplete();
    EXPECT_EQ(b.receiver.progress.last().value, 100);
    EXPECT_EQ(b.receiver.progress.last().maximum, 100);
    EXPECT_EQ(b.receiver.progress.last().text, "Done");
}

TEST(DeviceScanManagerProgress, FormatPlaceholders) {
    struct Case {
        const char* format;
        const char* expected;
    } cases[] = {
        {"%1/%2 %3%", "3/7 12.5%"},
        {"only %3", "only 12.5"},
        {"%2 before %1", "7 before 3"},
        {"100%% %4 %s %d", "100% %4 %s %d"},
        {"%", "%"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceScanManager::FillProgressFormat(c.format, 3, 7, 12.5), QString(c.expected))
            << c.format;
}

TEST(DeviceScanManagerProgress, LongProgressTextsAreCutAtACharacterBoundary) {
    Bridge b;
    b.texts["PROGRESSTXT_SMS"] = QString(400, QChar(0x4e2d)); // 1200 UTF-8 bytes
    b.bridge.OnProgress(ScanSms, 2, 1, 2, 1, 1, 0);
    const QByteArray text = b.receiver.progress.last().text.toUtf8();
    EXPECT_EQ(text.size(), 513);
    EXPECT_EQ(QString::fromUtf8(text), QString(171, QChar(0x4e2d)));
}

TEST(DeviceScanManagerControl, PauseHoldsTheScanThreadUntilResumeOrStop) {
    for (bool resume : {true, false}) {
        Bridge b;
        b.bridge.SetScanState(true);
        b.bridge.SetRunning(false);
        std::atomic<bool> delivered{false};
        std::thread scan([&] {
            b.bridge.OnProgress(ScanSms, 2, 1, 2, 1, 1, 0);
            delivered = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_FALSE(delivered.load());
        if (resume)
            b.bridge.SetRunning(true);
        else
            b.bridge.StopScan();
        scan.join();
        EXPECT_TRUE(delivered.load());
        EXPECT_EQ(b.bridge.IsScanActive(), resume);
        EXPECT_EQ(b.bridge.IsScanning(), resume);
    }
}

TEST(DeviceScanManagerControl, StopBeforeAnyScanOnlyClearsTheActiveFlag) {
    Bridge b;
    b.bridge.SetScanState(true);
    b.bridge.StopScan();
    EXPECT_FALSE(b.bridge.IsScanActive());
    EXPECT_TRUE(b.bridge.IsRunning());
    EXPECT_TRUE(b.receiver.Messages().isEmpty());
}

TEST(DeviceScanManagerScan, RunsTheScanManagerWithSuffixesAndOutputFolder) {
    Bridge b;
    scantest::FakeFileParser parser;
    parser.AddAccount(0);
    parser.accounts[0]->nickName = "Me";
    parser.accounts[0]->headImageUrl = "http://head/me";
    std::string seenSuffixes, seenOutput, seenBackup;
    b.bridge.SetScanManagerHook([&](CScanManager& m) {
        seenSuffixes = m.photoSuffixes + "|" + m.otherSuffixes;
        seenOutput = m.outputDir;
        seenBackup = m.backupDir;
        CScanSteps steps;
        steps.bookmarks = [](CScanManager& mgr) {
            auto r = std::make_unique<BookmarkRecord>();
            r->title = "T";
            r->url = "U";
            mgr.bookmarkList.append(std::move(r));
            mgr.ReportProgress(ScanBookmarks, 2, 1, 1, true);
            return true;
        };
        m.SetSteps(steps);
    });
    b.bridge.SetScanState(true);
    b.bridge.StartScan(&parser, ScanBookmarks | ScanNotes, "/b/root/", 9, {"*.JPG;*.HeIc;", "", "", "*.PDF;"},
                       "/tmp/out/1");
    EXPECT_EQ(seenSuffixes, "*.jpg;*.heic;|*.pdf;");
    EXPECT_EQ(seenOutput, "/tmp/out/1");
    EXPECT_EQ(seenBackup, "/b/root/");
    EXPECT_EQ(b.receiver.Messages(), (QStringList{"ScanBookmarks", "ScanMemo"}));
    ASSERT_EQ(b.receiver.bookmarks.size(), 1);
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Me"), "http://head/me");
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Nobody"), "");
}

TEST(DeviceScanManagerScan, AStopBeforeTheScanManagerExistsStillStopsIt) {
    Bridge b;
    scantest::FakeFileParser parser;
    bool ran = false;
    b.bridge.SetScanManagerHook([&](CScanManager& m) {
        CScanSteps steps;
        steps.bookmarks = [&](CScanManager&) { return ran = true; };
        m.SetSteps(steps);
    });
    b.bridge.SetScanState(true);
    b.bridge.StopScan();
    b.bridge.StartScan(&parser, ScanBookmarks, "/b/", 9, {}, "/tmp/out");
    EXPECT_FALSE(ran);
    // The chosen type is still reported, empty.
    EXPECT_EQ(b.receiver.Messages(), QStringList{"ScanBookmarks"});
    EXPECT_TRUE(b.receiver.bookmarks.isEmpty());
}

TEST(DeviceScanManagerScan, AStopDuringAParserReportsTheRemainingTypesEmpty) {
    Bridge b;
    scantest::FakeFileParser parser;
    b.bridge.SetScanManagerHook([&](CScanManager& m) {
        CScanSteps steps;
        steps.calendar = [&](CScanManager& mgr) {
            mgr.calendarList.append(std::make_unique<CalendarRecord>());
            // The user presses stop from another thread while the parser runs.
            std::thread([&] { b.bridge.StopScan(); }).join();
            EXPECT_TRUE(mgr.cancelled.load());
            return true;
        };
        steps.notes = [](CScanManager& mgr) {
            ADD_FAILURE() << "runs after the stop";
            return true;
        };
        m.SetSteps(steps);
    });
    b.bridge.SetScanState(true);
    b.bridge.StartScan(&parser, ScanCalendar | ScanNotes | ScanReminders, "/b/", 9, {}, "/tmp/out");
    EXPECT_EQ(b.receiver.Messages(), (QStringList{"ScanCalendar", "ScanReminders", "ScanMemo"}));
    EXPECT_EQ(b.receiver.events.size(), 1);
    // After the scan the bridge holds no scan manager: a stop now is harmless.
    b.bridge.StopScan();
}

// What the parsers could not read is logged line by line and reaches the receiver once,
// after the results, summed per data type and kind; a scan that lost nothing sends nothing.
TEST(DeviceScanManagerScan, LossesAreLoggedAndToldOncePerTypeAndKind) {
    QStringList lines;
    ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& line) { lines << line; });
    Bridge b;
    scantest::FakeFileParser parser;
    b.bridge.SetScanManagerHook([&](CScanManager& m) {
        CScanSteps steps;
        steps.bookmarks = [](CScanManager& mgr) {
            mgr.NoteLoss({ScanBookmarks, ScanLoss::Kind::UnreadableRows, 2, "Bookmarks.db bookmarks"});
            mgr.NoteLoss({ScanBookmarks, ScanLoss::Kind::LogNotApplied, 0, "Bookmarks.db"});
            mgr.NoteLoss({ScanBookmarks, ScanLoss::Kind::UnreadableRows, 5, "Bookmarks.db folders"});
            return true;
        };
        steps.notes = [](CScanManager& mgr) {
            mgr.NoteLoss({ScanNotes, ScanLoss::Kind::UnreadableRows, INT64_MAX, "notes"});
            mgr.NoteLoss({ScanNotes, ScanLoss::Kind::UnreadableRows, 1, "notes"});
            return true;
        };
        m.SetSteps(steps);
    });
    b.bridge.SetScanState(true);
    b.bridge.StartScan(&parser, ScanBookmarks | ScanNotes, "/b/", 9, {}, "/tmp/out");
    ProcessLog::SetSink(previous);
    EXPECT_EQ(b.receiver.Messages(), (QStringList{"ScanBookmarks", "ScanMemo", "ScanLosses"}));
    ASSERT_EQ(b.receiver.losses.size(), 3u);
    EXPECT_EQ(b.receiver.losses[0].dataType, uint32_t(ScanBookmarks));
    EXPECT_EQ(b.receiver.losses[0].kind, ScanLoss::Kind::UnreadableRows);
    EXPECT_EQ(b.receiver.losses[0].count, 7);
    EXPECT_EQ(b.receiver.losses[1].kind, ScanLoss::Kind::LogNotApplied);
    EXPECT_EQ(b.receiver.losses[2].dataType, uint32_t(ScanNotes));
    EXPECT_EQ(b.receiver.losses[2].count, INT64_MAX);
    EXPECT_EQ(lines.filter("Bookmarks.db folders: 5 rows could not be read").size(), 1)
        << lines.join("\n").toStdString();
    EXPECT_EQ(lines.filter("Bookmarks.db: its write-ahead log could not be applied").size(), 1);

    Bridge quiet;
    quiet.bridge.SetScanManagerHook([](CScanManager& m) { m.SetSteps(CScanSteps{}); });
    quiet.bridge.SetScanState(true);
    quiet.bridge.StartScan(&parser, ScanBookmarks, "/b/", 9, {}, "/tmp/out");
    EXPECT_FALSE(quiet.receiver.Messages().contains("ScanLosses"));
}

TEST(DeviceScanManagerLog, StartAndEndLinesPerType) {
    QStringList lines;
    ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& line) { lines << line; });
    Bridge b;
    b.bridge.OnScanData(ScanVideos, nullptr);
    b.bridge.OnScanData(ScanSms, nullptr);
    b.bridge.OnScanData(ScanWaChats, nullptr);
    ProcessLog::SetSink(previous);
    EXPECT_EQ(lines, (QStringList{QString::fromUtf8("【日志】<视频>数据开始分析........."),
                                  QString::fromUtf8("【日志】<视频>数据完成分析........."),
                                  QString::fromUtf8("【日志】<短信>数据开始分析........."),
                                  QString::fromUtf8("【日志】<短信>数据分析完成.........")}));
}

QT_GTEST_MAIN(QGuiApplication)
