#include "scan/engine/CScanManager.h"

#include "ScanFakes.h"
#include "core/records/BookmarkRecord.h"
#include "core/records/CalendarRecord.h"
#include "core/records/CallRecord.h"
#include "core/records/ContactRecord.h"
#include "core/records/MediaFileRecord.h"
#include "core/records/NoteRecord.h"
#include "core/records/ReminderRecord.h"
#include "core/records/SmsConversationRecord.h"
#include "core/records/WaChatRecord.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using scantest::FakeFileParser;
using scantest::RecordingProgress;

namespace {

// Steps that only write their name (and account) into a log.
CScanSteps LoggingSteps(std::vector<std::string>& log) {
    CScanSteps s;
    auto named = [&log](const char* name) {
        return [&log, name](CScanManager&) {
            log.push_back(name);
            return true;
        };
    };
    s.bookmarks = named("bookmarks");
    s.calendar = named("calendar");
    s.reminders = named("reminders");
    s.remindersEx = named("remindersEx");
    s.notes = named("notes");
    s.contacts = named("contacts");
    s.callHistory = named("calls");
    s.sms = named("sms");
    s.wxAddressBook = [&log](CScanManager&, int account) {
        log.push_back("wxContacts" + std::to_string(account));
        return true;
    };
    s.wxSessionAndChat = [&log](CScanManager&, int account, bool withChats) {
        log.push_back("wxSessions" + std::to_string(account) + (withChats ? "+chats" : ""));
        return true;
    };
    s.whatsApp = named("whatsapp");
    return s;
}

struct MaskCase {
    uint32_t mask;
    std::vector<std::string> steps;
    std::vector<int> reports;
};

class ScanManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // One entry in every media category, one WeChat account.
        for (int category : {CategorySms, CategoryNotes, CategoryMedia, CategoryWeChat, CategoryWhatsApp})
            files.Add(category, "/var/mobile/x/none.none", 1);
        files.AddAccount(0);
    }
    std::unique_ptr<CScanManager> Make(uint32_t mask) {
        auto m = std::make_unique<CScanManager>(static_cast<int>(mask), "/out", files.BackupDir().c_str(), 14,
                                                &progress, &files);
        m->SetSteps(LoggingSteps(log));
        return m;
    }

    FakeFileParser files;
    RecordingProgress progress;
    std::vector<std::string> log;
};

TEST_F(ScanManagerTest, RunsAndReportsTheStepsOfEachMaskInOrder) {
    const std::vector<MaskCase> cases = {
        {0x0, {}, {0}},
        {0x80, {}, {0x80, 0x100, 0x800, 0}},
        {0x800, {}, {0x80, 0x100, 0x800, 0}},
        {0x1, {"contacts", "sms"}, {0x1, 0}},
        {0x2, {"contacts", "calls"}, {0x2, 0}},
        {0x4, {"contacts"}, {0x4, 0}},
        {0x7, {"contacts", "calls", "sms"}, {0x4, 0x2, 0x1, 0}},
        {0x10, {"reminders", "remindersEx"}, {0x10, 0}},
        {0x1000, {"wxContacts0", "wxSessions0"}, {0x1000, 0}},
        {0x2000, {"wxContacts0", "wxSessions0+chats"}, {0x2000, 0}},
        {0x8000, {"whatsapp"}, {0x8000, 0}},
        {0x10000, {}, {0x10000, 0}},
        {kScanMediaBits, {}, {0x80, 0x100, 0x800, 0x200, 0x400, 0x4000, 0x10000, 0}},
        {kScanDatabaseBits,
         {"bookmarks", "calendar", "reminders", "remindersEx", "notes", "contacts", "calls", "sms",
          "wxContacts0", "wxSessions0+chats", "whatsapp"},
         {0x8, 0x40, 0x10, 0x20, 0x4, 0x2, 0x1, 0x1000, 0x2000, 0x8000, 0}},
        {0x4200 | 0x1, {"contacts", "sms"}, {0x200, 0x4000, 0x1, 0}},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << c.mask);
        log.clear();
        progress.reports.clear();
        auto m = Make(c.mask);
        m->Scan();
        EXPECT_EQ(c.steps, log);
        EXPECT_EQ(c.reports, progress.Types());
        ASSERT_FALSE(progress.reports.empty());
        EXPECT_EQ(nullptr, progress.reports.back().records);
    }
}

TEST_F(ScanManagerTest, DefaultStepsReportEveryChosenTypeEmpty) {
    CScanManager m(static_cast<int>(kScanDatabaseBits), "/out", files.BackupDir().c_str(), 14, &progress,
                   &files);
    m.Scan();
    EXPECT_EQ((std::vector<int>{0x8, 0x40, 0x10, 0x20, 0x4, 0x2, 0x1, 0x1000, 0x2000, 0x8000, 0}),
              progress.Types());
    // The fake backup has no files: every list is empty but the WeChat contacts, which
    // always hold the account owner's own record.
    for (const auto& r : progress.reports) {
        if (r.dataType != ScanWxContacts) {
            EXPECT_EQ(nullptr, r.records) << r.dataType;
            continue;
        }
        const auto* owner = static_cast<const WxContactRecord*>(r.records);
        ASSERT_NE(nullptr, owner);
        EXPECT_EQ(3, owner->kind);
        EXPECT_EQ(nullptr, owner->next);
    }
}

TEST_F(ScanManagerTest, WithoutManifestReaderNothingRunsAndNothingIsReported) {
    CScanManager m(static_cast<int>(kScanDatabaseBits | kScanMediaBits), "/out", files.BackupDir().c_str(),
                   14, &progress, nullptr);
    m.SetSteps(LoggingSteps(log));
    m.Scan();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(progress.reports.empty());
    EXPECT_TRUE(progress.progress.empty());
}

TEST_F(ScanManagerTest, NoMediaEntriesGiveNoMediaReport) {
    FakeFileParser empty;       // no category lists at all
    empty.lists[CategoryMedia]; // and one that exists but is empty
    CScanManager m(static_cast<int>(kScanMediaBits | ScanSms), "/out", files.BackupDir().c_str(), 14,
                   &progress, &empty);
    m.SetSteps(LoggingSteps(log));
    m.Scan();
    EXPECT_EQ((std::vector<int>{0x1, 0}), progress.Types());
    EXPECT_TRUE(progress.progress.empty());
}

TEST_F(ScanManagerTest, StopDuringCalendarReportsTheRestEmpty) {
    auto m = Make(ScanCalendar | ScanReminders | ScanNotes | ScanContacts | ScanSms | ScanCallHistory);
    CScanSteps steps = LoggingSteps(log);
    steps.calendar = [this](CScanManager& owner) {
        log.push_back("calendar");
        owner.calendarList.append(std::make_unique<CalendarRecord>());
        owner.Stop(false);
        return true;
    };
    m->SetSteps(steps);
    m->Scan();
    EXPECT_EQ(std::vector<std::string>{"calendar"}, log);
    EXPECT_EQ((std::vector<int>{0x40, 0x10, 0x20, 0x4, 0x2, 0x1, 0}), progress.Types());
    EXPECT_EQ(m->calendarList.first, progress.reports[0].records);
    EXPECT_NE(nullptr, progress.reports[0].records);
    for (size_t i = 1; i < progress.reports.size(); ++i)
        EXPECT_EQ(nullptr, progress.reports[i].records);
    EXPECT_TRUE(m->cancelled);
    EXPECT_FALSE(m->stopRest);
}

TEST_F(ScanManagerTest, StopBeforeWeChatReportsBothEmptyAndSkipsWhatsApp) {
    auto m = Make(ScanSms | ScanWxContacts | ScanWxChats | ScanWaChats);
    CScanSteps steps = LoggingSteps(log);
    steps.sms = [this](CScanManager& owner) {
        log.push_back("sms");
        owner.Stop(true);
        return true;
    };
    m->SetSteps(steps);
    m->Scan();
    EXPECT_EQ((std::vector<std::string>{"contacts", "sms"}), log);
    EXPECT_EQ((std::vector<int>{0x1, 0x1000, 0x2000, 0}), progress.Types());
    EXPECT_EQ(nullptr, progress.reports[1].records);
    EXPECT_EQ(nullptr, progress.reports[2].records);
    EXPECT_EQ(0, files.accountCalls);
    EXPECT_EQ(0, files.storeCalls);
    EXPECT_TRUE(m->stopRest);
}

TEST_F(ScanManagerTest, StopBeforeWhatsAppStillReportsIt) {
    auto m = Make(ScanSms | ScanWaChats);
    CScanSteps steps = LoggingSteps(log);
    steps.sms = [](CScanManager& owner) { return owner.Stop(false), true; };
    m->SetSteps(steps);
    m->Scan();
    EXPECT_EQ((std::vector<int>{0x1, 0x8000, 0}), progress.Types());
    EXPECT_EQ(0, files.storeCalls);
    EXPECT_EQ(std::vector<std::string>{"contacts"}, log);
}

TEST_F(ScanManagerTest, ThreeWeChatAccountsAreReportedInterleaved) {
    files.accounts.clear();
    for (int i = 0; i < 3; ++i)
        files.AddAccount(i);
    auto m = Make(ScanWxContacts | ScanWxChats);
    CScanSteps steps = LoggingSteps(log);
    std::vector<int> seenIndex;
    steps.wxAddressBook = [&](CScanManager& owner, int account) {
        seenIndex.push_back(owner.accountIndex);
        EXPECT_EQ(3u, owner.wxContactLists.size());
        EXPECT_NE(nullptr, owner.AddChatContact(0, ("friend" + std::to_string(account)).c_str(), account));
        owner.ReportProgress(ScanWxContacts, 2, 1, 2, false);
        return true;
    };
    steps.wxSessionAndChat = [&](CScanManager& owner, int account, bool withChats) {
        EXPECT_TRUE(withChats);
        auto session = std::make_unique<WxSessionRecord>();
        session->peer = owner.FindChatContact(("friend" + std::to_string(account)).c_str(), account);
        EXPECT_NE(nullptr, session->peer);
        session->messages.append(std::make_unique<WxMessageRecord>());
        owner.wxSessionLists[account].append(std::move(session));
        return true;
    };
    m->SetSteps(steps);
    m->Scan();
    EXPECT_EQ((std::vector<int>{0, 1, 2}), seenIndex);
    ASSERT_EQ((std::vector<int>{0x1000, 0x2000, 0x1000, 0x2000, 0x1000, 0x2000, 0}), progress.Types());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m->wxContactLists[i].first, progress.reports[2 * i].records);
        EXPECT_EQ(m->wxSessionLists[i].first, progress.reports[2 * i + 1].records);
        EXPECT_NE(nullptr, progress.reports[2 * i].records);
        EXPECT_EQ("friend" + std::to_string(i), m->wxContactLists[i].first->userName);
    }
    ASSERT_EQ(3u, progress.progress.size());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(i, progress.progress[i].accountIndex);
}

TEST_F(ScanManagerTest, StopInsideAnAccountEndsTheAccountsAfterIt) {
    files.accounts.clear();
    for (int i = 0; i < 3; ++i)
        files.AddAccount(i);
    auto m = Make(ScanWxContacts | ScanWxChats | ScanWaChats);
    CScanSteps steps = LoggingSteps(log);
    steps.wxAddressBook = [this](CScanManager& owner, int account) {
        log.push_back("wxContacts" + std::to_string(account));
        if (account == 1) owner.Stop(false);
        return true;
    };
    m->SetSteps(steps);
    m->Scan();
    // Account 1 finishes its steps (the parsers see the flag) and is reported;
    // account 2 is neither run nor reported. WhatsApp is still reported, empty.
    EXPECT_EQ(
        (std::vector<std::string>{"wxContacts0", "wxSessions0+chats", "wxContacts1", "wxSessions1+chats"}),
        log);
    EXPECT_EQ((std::vector<int>{0x1000, 0x2000, 0x1000, 0x2000, 0x8000, 0}), progress.Types());
}

TEST_F(ScanManagerTest, NoWeChatAccountReportsBothEmpty) {
    FakeFileParser noAccounts;
    CScanManager m(ScanWxContacts | ScanWxChats, "/out", files.BackupDir().c_str(), 14, &progress,
                   &noAccounts);
    m.SetSteps(LoggingSteps(log));
    m.Scan();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(1, noAccounts.accountCalls);
    EXPECT_EQ((std::vector<int>{0x1000, 0x2000, 0}), progress.Types());
    EXPECT_TRUE(m.wxContactLists.empty());
    EXPECT_EQ(nullptr, m.AddChatContact(0, "someone", 0));
}

TEST_F(ScanManagerTest, AccountWithIndexOutOfRangeIsPassedOver) {
    files.accounts.clear();
    files.AddAccount(0);
    files.AddAccount(7); // a damaged list: only indexes 0 and 1 have lists
    auto m = Make(ScanWxContacts);
    m->Scan();
    EXPECT_EQ((std::vector<std::string>{"wxContacts0", "wxSessions0"}), log);
    EXPECT_EQ((std::vector<int>{0x1000, 0}), progress.Types());
}

TEST_F(ScanManagerTest, WhatsAppStepSeesTheStoreList) {
    auto store = std::make_unique<WaStoreEntry>();
    store->storedPath = "ab/abcdef";
    files.stores.push_back(std::move(store));
    auto m = Make(ScanWaChats);
    CScanSteps steps;
    const WaStoreEntry* seen = nullptr;
    steps.whatsApp = [&](CScanManager& owner) {
        seen = owner.FindWhatsAppAccount(0);
        owner.waChatList.append(std::make_unique<WaChatRecord>());
        return true;
    };
    m->SetSteps(steps);
    m->Scan();
    EXPECT_EQ(files.stores[0].get(), seen);
    EXPECT_EQ(nullptr, m->FindWhatsAppAccount(1));
    ASSERT_EQ((std::vector<int>{0x8000, 0}), progress.Types());
    EXPECT_EQ(m->waChatList.first, progress.reports[0].records);
}

TEST_F(ScanManagerTest, MediaProgressSharesOneCounterOverAllListings) {
    FakeFileParser media;
    media.Add(CategoryMedia, "/var/mobile/Media/DCIM/a.jpg", 5);
    media.Add(CategoryMedia, "/var/mobile/Media/DCIM/b.jpg", 6);
    media.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/c.jpg", 7);
    media.Add(CategoryWeChat, "/var/mobile/Applications/com.tencent.xin/d.txt", 8); // counted, not listed
    CScanManager m(ScanPhotos | ScanSmsAttachments | ScanWxAttachments | ScanNotes, "/out",
                   media.BackupDir().c_str(), 14, &progress, &media);
    m.SetSteps(LoggingSteps(log));
    m.SetFileSuffixes("*.jpg;", "", "", "");
    m.Scan();
    ASSERT_EQ(4u, progress.progress.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, progress.progress[i].dataType);
        EXPECT_EQ(1, progress.progress[i].stage);
        EXPECT_EQ(i + 1, progress.progress[i].done);
        EXPECT_EQ(4, progress.progress[i].total);
    }
    EXPECT_EQ((std::vector<int>{0x80, 0x100, 0x800, 0x200, 0x4000, 0x20, 0}), progress.Types());
    EXPECT_EQ(2, m.photoList.count);
    EXPECT_EQ(m.photoList.first, progress.reports[0].records);
    EXPECT_EQ(nullptr, progress.reports[1].records);
    EXPECT_EQ(1, m.smsAttachmentList.count);
    EXPECT_EQ(0, m.wxAttachmentList.count);
}

TEST_F(ScanManagerTest, StopDuringMediaListingSkipsTheLaterGroups) {
    FakeFileParser media;
    for (int i = 0; i < 5; ++i)
        media.Add(CategoryMedia, "/var/mobile/Media/DCIM/p" + std::to_string(i) + ".jpg", i);
    media.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/c.jpg", 7);
    CScanManager m(ScanPhotos | ScanSmsAttachments | ScanBookmarks, "/out", media.BackupDir().c_str(), 14,
                   &progress, &media);
    m.SetSteps(LoggingSteps(log));
    m.SetFileSuffixes("*.jpg;", "", "", "");
    progress.onProgress = [&m](const scantest::Progress& p) {
        if (p.done == 2) m.Stop(false);
    };
    m.Scan();
    // The camera roll stops after its second entry and is still reported; the SMS
    // attachments are neither listed nor reported; the bookmarks step does not run.
    EXPECT_EQ(2, m.photoList.count);
    EXPECT_EQ((std::vector<int>{0x80, 0x100, 0x800, 0x8, 0}), progress.Types());
    EXPECT_TRUE(log.empty());
}

// The share of the whole scan: each reminder parser counts its own steps from 0 to the
// total it announced, the bar never goes back, and with two WeChat accounts the hand-over
// of each account's chats has its own part, through which the receiver moves the bar.
TEST_F(ScanManagerTest, EveryParserCountsItsOwnStepsAndTheChatHandOverHasItsPart) {
    files.AddAccount(1);
    auto m = Make(ScanReminders | ScanWxChats);
    CScanSteps steps = LoggingSteps(log);
    auto counting = [](int total, int type) {
        return [total, type](CScanManager& s) {
            s.SetProgressSteps(total);
            for (int i = 0; i < total; ++i) {
                s.ReportProgress(type, 2, i, total, false);
                s.AddProgressStep(1);
            }
            s.ReportProgress(type, 2, total, total, false);
            return true;
        };
    };
    steps.reminders = counting(8, ScanReminders);
    steps.remindersEx = counting(3, ScanReminders);
    steps.wxSessionAndChat = [](CScanManager& s, int, bool withChats) {
        s.ReportProgress(ScanWxChats, 2, 1, 1, false); // the sessions
        EXPECT_TRUE(withChats);
        s.NextPhase();
        s.SetProgressSteps(2); // the chats
        s.AddProgressStep(2);
        s.ReportProgress(ScanWxChats, 2, 1, 1, false);
        return true;
    };
    m->SetSteps(steps);
    std::vector<int> shares;
    progress.onProgress = [&](const scantest::Progress&) { shares.push_back(m->ScanProgress()); };
    // Reminders: two groups, of six while one WeChat account is assumed (contacts,
    // sessions, chats and the chats' hand-over); once two accounts are known their eight
    // groups share the rest of the bar.
    const double group = CScanManager::kScanProgressScale / 6.0;
    const double wxGroup = (CScanManager::kScanProgressScale - 2 * group) / 8;
    std::vector<int> atHandOver;
    progress.onData = [&](int type) {
        if (type != ScanWxChats) return;
        atHandOver.push_back(m->ScanProgress());
        m->AdvanceWithinPhase(1, 2);
        atHandOver.push_back(m->ScanProgress());
        m->AdvanceWithinPhase(0, 2); // never back
        atHandOver.push_back(m->ScanProgress());
    };
    m->Scan();

    std::vector<std::pair<int, int>> counters;
    for (const auto& p : progress.progress)
        if (p.dataType == ScanReminders) counters.push_back({p.stepDone, p.stepTotal});
    ASSERT_EQ(counters.size(), 13u);
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(counters[i], std::make_pair(int(i), 8)) << i;
    for (size_t i = 9; i < 13; ++i)
        EXPECT_EQ(counters[i], std::make_pair(int(i - 9), 3)) << i;
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_NEAR(shares[8], group, 1); // the first reminder parser fills its own group only
    ASSERT_EQ(atHandOver.size(), 6u);
    // After account 0's contacts, sessions and chats (the bar keeps whole ten-thousandths).
    EXPECT_NEAR(atHandOver[0], 2 * group + 3 * wxGroup, 1.5);
    EXPECT_NEAR(atHandOver[1], 2 * group + 3 * wxGroup + wxGroup / 2, 1.5);
    EXPECT_EQ(atHandOver[2], atHandOver[1]);
    EXPECT_NEAR(atHandOver[3], 2 * group + 7 * wxGroup, 1.5);
    EXPECT_NEAR(atHandOver[4], 2 * group + 7 * wxGroup + wxGroup / 2, 1.5);
    EXPECT_EQ(m->ScanProgress(), CScanManager::kScanProgressScale);
}

TEST(ScanManager, ConstructorDefaultsAndPaths) {
    CScanManager m(0x7, "/out/dir", "/backup/root", 9, nullptr, nullptr);
    EXPECT_EQ(0x7u, m.typeMask);
    EXPECT_TRUE(m.skipDuplicates);
    EXPECT_FALSE(m.cancelled);
    EXPECT_FALSE(m.stopRest);
    EXPECT_EQ(0, m.stepDone);
    EXPECT_EQ(1, m.stepTotal);
    EXPECT_EQ(0, m.accountIndex);
    EXPECT_EQ(9, m.iosVersion);
    EXPECT_EQ("/out/dir", m.outputDir);
    EXPECT_EQ("/backup/root/", m.backupDir);
    EXPECT_EQ("/backup/root/ab/abcdef", m.BackupFilePath("ab/abcdef"));
    CScanManager slash(0, nullptr, "/b/", 9, nullptr, nullptr);
    EXPECT_EQ("/b/", slash.backupDir);
    EXPECT_EQ("", slash.outputDir);
    // A path longer than the old 260-byte buffers is kept whole.
    const std::string longRoot = "/" + std::string(400, 'd') + "/";
    CScanManager longPath(0, nullptr, longRoot.c_str(), 9, nullptr, nullptr);
    EXPECT_EQ(longRoot + "x", longPath.BackupFilePath("x"));
}

TEST(ScanManager, StopSetsTheFlagsOnce) {
    CScanManager a(0, "", "", 0, nullptr, nullptr);
    a.Stop(false);
    EXPECT_TRUE(a.cancelled);
    EXPECT_FALSE(a.stopRest);
    a.Stop(true);
    EXPECT_TRUE(a.stopRest);
    a.Stop(false); // nothing clears either flag
    EXPECT_TRUE(a.cancelled);
    EXPECT_TRUE(a.stopRest);
}

TEST(ScanManager, ReportProgressForwardsTheScanCounters) {
    RecordingProgress progress;
    CScanManager m(0, "", "", 0, &progress, nullptr);
    m.stepDone = 3;
    m.stepTotal = 7;
    m.accountIndex = 2;
    m.ReportProgress(0x40, 2, 5, 9, false);
    m.ReportProgress(0x40, 3, 5, 9, true);
    ASSERT_EQ(2u, progress.progress.size());
    const auto& p = progress.progress[0];
    EXPECT_EQ(0x40, p.dataType);
    EXPECT_EQ(2, p.stage);
    EXPECT_EQ(5, p.done);
    EXPECT_EQ(9, p.total);
    EXPECT_EQ(3, p.stepDone);
    EXPECT_EQ(7, p.stepTotal);
    EXPECT_EQ(2, p.accountIndex);
    EXPECT_EQ(1000, progress.progress[1].done);
    EXPECT_EQ(1000, progress.progress[1].total);
    EXPECT_EQ(3, progress.progress[1].stage);

    CScanManager silent(0, "", "", 0, nullptr, nullptr);
    silent.ReportProgress(1, 1, 1, 1, true); // no receiver: nothing happens
}

TEST(ScanManager, FindContactNameComparesExactlyAndReturnsTheRecordsString) {
    CScanManager m(0, "", "", 0, nullptr, nullptr);
    auto blank = std::make_unique<ContactRecord>(); // a contact without a number
    blank->name = "Nobody";
    m.contactList.append(std::move(blank));
    auto ann = std::make_unique<ContactRecord>();
    ann->phone = "5551234";
    ann->name = "Ann";
    ContactRecord* annPtr = m.contactList.append(std::move(ann));
    auto ann2 = std::make_unique<ContactRecord>();
    ann2->phone = "5551234";
    ann2->name = "Ann Two";
    m.contactList.append(std::move(ann2));

    EXPECT_EQ(nullptr, m.FindContactName(""));
    EXPECT_EQ(nullptr, m.FindContactName(nullptr));
    EXPECT_EQ(annPtr->name.c_str(), m.FindContactName("5551234"));
    EXPECT_EQ(nullptr, m.FindContactName("+5551234")); // no normalisation here
    EXPECT_EQ(nullptr, m.FindContactName("555123"));
}

TEST_F(ScanManagerTest, ChatContactsAreAddedAtTheFrontAndFoundPerAccount) {
    files.accounts.clear();
    files.AddAccount(0);
    files.AddAccount(1);
    auto m = Make(ScanWxContacts);
    CScanSteps steps;
    steps.wxAddressBook = [](CScanManager& owner, int account) {
        if (account != 1) return true;
        EXPECT_EQ(nullptr, owner.AddChatContact(0, "", 1));
        EXPECT_EQ(nullptr, owner.AddChatContact(0, nullptr, 1));
        EXPECT_EQ(nullptr, owner.AddChatContact(0, "x", 2));  // no such account
        EXPECT_EQ(nullptr, owner.AddChatContact(0, "x", -1)); // no such account
        WxContactRecord* a = owner.AddChatContact(2, "room@chatroom", 1);
        WxContactRecord* b = owner.AddChatContact(0, "wxid_b", 1);
        EXPECT_EQ(b, owner.wxContactLists[1].first);
        EXPECT_EQ(a, owner.wxContactLists[1].last);
        EXPECT_EQ(2, owner.wxContactLists[1].count);
        EXPECT_EQ(0, owner.wxContactLists[0].count);
        EXPECT_TRUE(a->deleted);
        EXPECT_EQ(2, a->kind);
        EXPECT_EQ(1, a->accountIndex);
        EXPECT_TRUE(a->nickName.empty());
        EXPECT_EQ(a, owner.FindChatContact("room@chatroom", 1));
        EXPECT_EQ(nullptr, owner.FindChatContact("room@chatroom", 0));
        EXPECT_EQ(nullptr, owner.FindChatContact("room@chatroom", 5));
        EXPECT_EQ(nullptr, owner.FindChatContact("", 1));
        EXPECT_EQ(nullptr, owner.FindChatContact("wxid_B", 1));
        return true;
    };
    m->SetSteps(steps);
    m->Scan();
    EXPECT_EQ(2, m->wxContactLists[1].count);
}

TEST(ScanManager, UnnamedChatContactsAreNumberedOverAllAccounts) {
    CScanManager m(0, "", "", 0, nullptr, nullptr);
    WxContactRecord* first = m.AddUnnamedChatContact(0);
    WxContactRecord* second = m.AddUnnamedChatContact(1);
    EXPECT_EQ("\xe6\x9c\xaa\xe7\x9f\xa5"
              "0",
              first->remark); // "unknown" + 0
    EXPECT_EQ("\xe6\x9c\xaa\xe7\x9f\xa5"
              "1",
              second->remark);
    EXPECT_EQ(4, first->kind);
    EXPECT_TRUE(first->deleted);
    EXPECT_EQ(0, first->accountIndex);
    EXPECT_EQ(1, second->accountIndex);
    EXPECT_TRUE(second->userName.empty());
    EXPECT_EQ(first, m.unnamedContacts.first);
    EXPECT_EQ(second, m.unnamedContacts.last);
    EXPECT_EQ(2, m.unnamedContacts.count);
    EXPECT_TRUE(m.wxContactLists.empty());
}

TEST(ScanManager, FindAccountWalksTheAccountList) {
    CScanManager m(0, "", "", 0, nullptr, nullptr);
    EXPECT_EQ(nullptr, m.FindAccount(0));
    WxAccountList accounts;
    for (int index : {0, 2}) {
        accounts.push_back(std::make_unique<WxAccountEntry>());
        accounts.back()->index = index;
    }
    accounts.push_back(nullptr);
    m.wxAccounts = &accounts;
    EXPECT_EQ(accounts[1].get(), m.FindAccount(2));
    EXPECT_EQ(accounts[0].get(), m.FindAccount(0));
    EXPECT_EQ(nullptr, m.FindAccount(1));
    EXPECT_EQ(nullptr, m.FindWhatsAppAccount(0));
}

// Every list owns its records and their nested lists; the sanitizer's leak check
// fails this test if the scan manager misses any.
TEST(ScanManager, DestructorFreesEveryListWithNestedRecords) {
    auto m = std::make_unique<CScanManager>(0, "", "", 0, nullptr, nullptr);
    m->photoList.append(std::make_unique<MediaFileRecord>());
    m->waAttachmentList.append(std::make_unique<MediaFileRecord>());
    m->contactList.append(std::make_unique<ContactRecord>());
    m->callList.append(std::make_unique<CallRecord>());
    auto conversation = std::make_unique<SmsConversationRecord>();
    conversation->messages.append(std::make_unique<SmsMessageRecord>());
    m->smsList.append(std::move(conversation));
    m->bookmarkList.append(std::make_unique<BookmarkRecord>());
    m->reminderList.append(std::make_unique<ReminderRecord>());
    m->noteList.append(std::make_unique<NoteRecord>());
    m->calendarList.append(std::make_unique<CalendarRecord>());
    m->wxContactLists.resize(2);
    m->wxSessionLists.resize(2);
    auto group = std::make_unique<WxContactRecord>();
    auto member = std::make_unique<WxContactRecord>();
    member->parent = group.get();
    member->userName = std::string(100, 'm');
    group->members.append(std::move(member));
    WxContactRecord* peer = m->wxContactLists[1].append(std::move(group));
    auto session = std::make_unique<WxSessionRecord>();
    session->peer = peer;
    for (int i = 0; i < 3; ++i)
        session->messages.append(std::make_unique<WxMessageRecord>());
    m->wxSessionLists[1].append(std::move(session));
    auto chat = std::make_unique<WaChatRecord>();
    chat->messages.append(std::make_unique<WaMessageRecord>());
    m->waChatList.append(std::move(chat));
    m->AddUnnamedChatContact(0);
    m->SetFileSuffixes("*.jpg;", nullptr, "*.m4a;", "");
    m.reset();
}

} // namespace
