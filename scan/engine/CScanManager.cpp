#include "scan/engine/CScanManager.h"

#include "core/backup/BackupInfo.h"
#include "core/backup/WaStoreEntry.h"
#include "core/backup/WxAccountEntry.h"
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
#include "scan/engine/CMediaFileListing.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <cstring>
#include <memory>

namespace {

// Prefix of the names of generated WeChat contacts ("unknown").
const char kUnnamedContactPrefix[] = "\xe6\x9c\xaa\xe7\x9f\xa5";

bool isEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

} // namespace

CScanManager::CScanManager(int typeMask, const char* outputDir, const char* backupDir, int iosVersion,
                           IScanProgress* progress, IFileParser* fileParser)
    : typeMask(static_cast<uint32_t>(typeMask)), backupDir(backupDir ? backupDir : ""),
      outputDir(outputDir ? outputDir : ""), iosVersion(iosVersion), fileParser(fileParser),
      progress(progress), steps(CScanSteps::Default()) {
    if (!this->backupDir.empty() && this->backupDir.back() != '/') this->backupDir += '/';
}

// Every list frees its records, their strings and nested lists (messages of
// conversations, sessions and chats, members of groups) on its own.
CScanManager::~CScanManager() = default;

void CScanManager::SetSteps(CScanSteps newSteps) {
    steps = std::move(newSteps);
}

std::string CScanManager::BackupFilePath(const std::string& storedPath) const {
    return backupDir + storedPath;
}

void CScanManager::Stop(bool stopRestToo) {
    // stopRest first: whoever sees `cancelled` also sees it.
    if (stopRestToo) stopRest = true;
    cancelled = true;
}

void CScanManager::SetFileSuffixes(const char* photo, const char* video, const char* audio,
                                   const char* other) {
    photoSuffixes = photo ? photo : "";
    videoSuffixes = video ? video : "";
    audioSuffixes = audio ? audio : "";
    otherSuffixes = other ? other : "";
}

void CScanManager::SetProgressSteps(int total) {
    // A parser announces all of its steps once, before its first one: the total of a
    // step counter never changes while it counts.
    stepDone = 0;
    stepTotal = total < 0 ? 0 : total;
    phaseHasSteps = true;
}

void CScanManager::AddProgressStep(int n) {
    if (n <= 0) return;
    stepDone = stepDone > INT_MAX - n ? INT_MAX : stepDone + n;
}

void CScanManager::ReportProgress(int dataType, int stage, int done, int total, bool finished) {
    if (finished) done = total = 1000;
    // The step counter never shows more steps done than its total.
    const int shownTotal = std::max(stepTotal, 0);
    const int shownDone = std::clamp(stepDone, 0, shownTotal);
    if (phaseCount > 0) {
        const double within = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 0.0;
        const double inPhase =
            shownTotal > 0 ? std::min(1.0, (double(shownDone) + within) / double(shownTotal)) : within;
        const int value = ShareOf(inPhase);
        // Counts that start again inside a step (one loop after another) hold the bar.
        if (value > scanProgress.load()) scanProgress.store(value);
    }
    if (!progress) return;
    progress->OnProgress(dataType, stage, done, total, shownDone, shownTotal, accountIndex);
}

int CScanManager::CountPhases() const {
    auto wanted = [this](uint32_t bits) { return (typeMask & bits) != 0; };
    int n = 0;
    if (wanted(kScanMediaBits)) ++n;
    if (!wanted(kScanDatabaseBits)) return n;
    // Reminders: the calendar store's parser and the reminder stores' parser.
    for (uint32_t bits :
         {uint32_t(ScanBookmarks), uint32_t(ScanCalendar), uint32_t(ScanReminders), uint32_t(ScanReminders),
          uint32_t(ScanNotes), uint32_t(ScanSms | ScanCallHistory | ScanContacts), uint32_t(ScanCallHistory),
          uint32_t(ScanSms), uint32_t(ScanWaChats)})
        if (wanted(bits)) ++n;
    // WeChat: the groups of one account until the accounts are known.
    if (wanted(ScanWxContacts | ScanWxChats)) n += WxPhasesPerAccount();
    return n;
}

int CScanManager::WxPhasesPerAccount() const {
    // The contacts, the sessions, and with the chats wanted the chats and their hand-over
    // (their conversion into results takes as long as reading them).
    return (typeMask & ScanWxChats) ? 4 : 2;
}

void CScanManager::AdvanceWithinPhase(int done, int total) {
    if (phaseCount <= 0 || total <= 0) return;
    const int value = ShareOf(std::clamp(double(done) / double(total), 0.0, 1.0));
    if (value > scanProgress.load()) scanProgress.store(value);
}

int CScanManager::ShareOf(double inPhase) const {
    // The groups from baseIndex on share what the bar had left when they were counted.
    const int remaining = phaseCount - baseIndex;
    if (remaining <= 0) return kScanProgressScale;
    const double groups = double(std::clamp(phaseIndex, baseIndex, phaseCount) - baseIndex) + inPhase;
    const double whole = baseShare + (1.0 - baseShare) * groups / double(remaining);
    return int(std::clamp(whole, 0.0, 1.0) * kScanProgressScale);
}

void CScanManager::NextPhase() {
    EndPhase();
    BeginPhase();
}

void CScanManager::BeginPhase() {
    stepDone = 0;
    stepTotal = 1;
    phaseHasSteps = false;
}

void CScanManager::EndPhase() {
    if (phaseCount <= 0) return;
    if (phaseIndex < phaseCount) ++phaseIndex;
    const int value = ShareOf(0.0);
    if (value > scanProgress.load()) scanProgress.store(value);
}

void CScanManager::Scan() {
    if (!fileParser) return;
    if (backupDate == 0) backupDate = readLastBackupDate(backupDir).value_or(0);
    phaseCount = CountPhases();
    phaseIndex = 0;
    baseIndex = 0;
    baseShare = 0.0;
    scanProgress.store(0);
    if (typeMask & kScanMediaBits) {
        BeginPhase();
        ScanMediaFiles();
        EndPhase();
    }
    if (typeMask & kScanDatabaseBits) ScanDatabases();
    phaseCount = 0;
    if (progress) progress->OnScanData(ScanNone, nullptr);
}

void CScanManager::ScanMediaFiles() {
    if (!fileParser) return;
    auto entryCount = [this](int category) -> int64_t {
        const BackupEntryList* list = fileParser->GetEntryList(category);
        return list ? static_cast<int64_t>(list->size()) : 0;
    };
    const bool cameraRoll = typeMask & (ScanPhotos | ScanVideos | ScanVoiceMemos);
    int64_t sum = 0;
    if (cameraRoll) sum += entryCount(CategoryMedia);
    if (typeMask & ScanSmsAttachments) sum += entryCount(CategorySms);
    if (typeMask & ScanNoteAttachments) sum += entryCount(CategoryNotes);
    if (typeMask & ScanWxAttachments) sum += entryCount(CategoryWeChat);
    if (typeMask & ScanWaAttachments) sum += entryCount(CategoryWhatsApp);
    if (sum == 0) return;
    const int total = sum > INT_MAX ? INT_MAX : static_cast<int>(sum);

    auto report = [this](int dataType, const RecordList<MediaFileRecord>& list) {
        if (progress) progress->OnScanData(dataType, list.first);
    };
    CMediaFileListing listing(*this);
    int processed = 0;
    if (cameraRoll) {
        if (cancelled) return;
        listing.ListCameraRollMedia(processed, total);
        report(ScanPhotos, photoList);
        report(ScanVideos, videoList);
        report(ScanVoiceMemos, voiceMemoList);
    }
    if (typeMask & ScanSmsAttachments) {
        if (cancelled) return;
        listing.ListSmsAttachments(processed, total);
        report(ScanSmsAttachments, smsAttachmentList);
    }
    if (typeMask & ScanNoteAttachments) {
        if (cancelled) return;
        listing.ListNoteAttachments(processed, total);
        report(ScanNoteAttachments, noteAttachmentList);
    }
    if (typeMask & ScanWxAttachments) {
        if (cancelled) return;
        listing.ListWxAttachments(processed, total);
        report(ScanWxAttachments, wxAttachmentList);
    }
    if (typeMask & ScanWaAttachments) {
        if (cancelled) return;
        listing.ListWaAttachments(processed, total);
        report(ScanWaAttachments, waAttachmentList);
    }
}

void CScanManager::ScanDatabases() {
    if (!fileParser) return;
    auto wanted = [this](uint32_t bits) { return (typeMask & bits) != 0; };
    auto run = [this](const CScanSteps::Run& step) {
        if (step && !cancelled) step(*this);
    };
    // Each data type is one group of the scan's progress.
    struct Phase {
        CScanManager& m;
        explicit Phase(CScanManager& owner) : m(owner) { m.BeginPhase(); }
        ~Phase() { m.EndPhase(); }
        Phase(const Phase&) = delete;
        Phase& operator=(const Phase&) = delete;
    };
    auto report = [this](int dataType, void* first) {
        if (progress) progress->OnScanData(dataType, first);
    };

    if (wanted(ScanBookmarks)) {
        Phase phase(*this);
        run(steps.bookmarks);
        report(ScanBookmarks, bookmarkList.first);
    }
    if (wanted(ScanCalendar)) {
        Phase phase(*this);
        run(steps.calendar);
        report(ScanCalendar, calendarList.first);
    }
    if (wanted(ScanReminders)) {
        // Each of the two parsers is a group of its own, with its own step counter.
        {
            Phase phase(*this);
            run(steps.reminders);
        }
        {
            Phase phase(*this);
            run(steps.remindersEx);
        }
        report(ScanReminders, reminderList.first);
    }
    if (wanted(ScanNotes)) {
        Phase phase(*this);
        run(steps.notes);
        report(ScanNotes, noteList.first);
    }
    // Contacts also when only SMS or calls are wanted: they name numbers through
    // FindContactName.
    if (wanted(ScanSms | ScanCallHistory | ScanContacts)) {
        Phase phase(*this);
        run(steps.contacts);
        if (wanted(ScanContacts)) report(ScanContacts, contactList.first);
    }
    if (wanted(ScanCallHistory)) {
        Phase phase(*this);
        run(steps.callHistory);
        report(ScanCallHistory, callList.first);
    }
    if (wanted(ScanSms)) {
        Phase phase(*this);
        run(steps.sms);
        report(ScanSms, smsList.first);
    }

    if (wanted(ScanWxContacts | ScanWxChats)) {
        auto reportEmpty = [&] {
            if (wanted(ScanWxContacts)) report(ScanWxContacts, nullptr);
            if (wanted(ScanWxChats)) report(ScanWxChats, nullptr);
        };
        if (cancelled) {
            reportEmpty();
            return;
        }
        if (const WxAccountList* accounts = fileParser->GetWeChatAccounts()) wxAccounts = accounts;
        const size_t accountCount = wxAccounts ? wxAccounts->size() : 0;
        if (phaseCount > 0) {
            // The groups of every account in place of the one account counted at the start.
            const int perAccount = WxPhasesPerAccount();
            const int accountPhases = accountCount > size_t(INT_MAX / 4 / perAccount)
                                          ? INT_MAX / 4
                                          : perAccount * int(accountCount);
            // The bar goes on from where it is: the groups still to come share the rest.
            baseShare = double(scanProgress.load()) / kScanProgressScale;
            baseIndex = phaseIndex;
            phaseCount = std::max(phaseIndex, phaseCount - perAccount) + accountPhases;
            if (phaseCount <= 0) phaseCount = 1;
        }
        wxContactLists.clear();
        wxSessionLists.clear();
        wxIndexes.clear();
        wxContactLists.resize(accountCount);
        wxSessionLists.resize(accountCount);
        if (accountCount == 0) {
            reportEmpty();
        } else {
            for (const auto& account : *wxAccounts) {
                if (cancelled) break;
                // Account indexes run from 0 to the count minus 1; an entry out of that
                // range has no lists and is passed over.
                if (!account || account->index < 0 || static_cast<size_t>(account->index) >= accountCount) {
                    for (int n = WxPhasesPerAccount(); n > 0; --n)
                        EndPhase();
                    continue;
                }
                const int index = account->index;
                accountIndex = index;
                {
                    Phase phase(*this);
                    if (steps.wxAddressBook) steps.wxAddressBook(*this, index);
                }
                {
                    Phase phase(*this);
                    if (steps.wxSessionAndChat) steps.wxSessionAndChat(*this, index, wanted(ScanWxChats));
                }
                if (wanted(ScanWxContacts)) report(ScanWxContacts, wxContactLists[index].first);
                if (wanted(ScanWxChats)) {
                    // The receiver moves the bar through this group (AdvanceWithinPhase).
                    Phase phase(*this);
                    report(ScanWxChats, wxSessionLists[index].first);
                }
            }
        }
    }

    if (wanted(ScanWaChats)) {
        Phase phase(*this);
        if (!cancelled) {
            if (const WaStoreList* stores = fileParser->GetWhatsAppStores()) waStores = stores;
            run(steps.whatsApp);
        }
        report(ScanWaChats, waChatList.first);
    }
}

const char* CScanManager::FindContactName(const char* phone) const {
    if (isEmpty(phone)) return nullptr;
    for (const ContactRecord* r = contactList.first; r; r = r->next)
        if (r->phone == phone) return r->name.c_str();
    return nullptr;
}

CScanManager::WxAccountIndex* CScanManager::IndexOf(int index) {
    if (index < 0 || static_cast<size_t>(index) >= wxContactLists.size()) return nullptr;
    if (wxIndexes.size() != wxContactLists.size()) {
        wxIndexes.clear();
        wxIndexes.resize(wxContactLists.size());
    }
    return &wxIndexes[size_t(index)];
}

void CScanManager::SyncContactIndex(int index, WxAccountIndex& ix) {
    const RecordList<WxContactRecord>& list = wxContactLists[size_t(index)];
    if (ix.contactCount == list.count) return;
    ix.contacts.clear();
    for (WxContactRecord* r = list.first; r; r = r->next)
        if (r->accountIndex == index && !r->userName.empty()) ix.contacts.emplace(r->userName, r);
    ix.contactCount = list.count;
}

void CScanManager::SyncSessionIndex(int index, WxAccountIndex& ix) {
    const RecordList<WxSessionRecord>& list = wxSessionLists[size_t(index)];
    if (ix.sessionCount == list.count) return;
    ix.sessions.clear();
    for (WxSessionRecord* s = list.first; s; s = s->next)
        ix.sessions[s->peer].push_back(s);
    ix.sessionCount = list.count;
}

WxContactRecord* CScanManager::FindChatContact(const char* userName, int index) {
    if (isEmpty(userName)) return nullptr;
    WxAccountIndex* ix = IndexOf(index);
    if (!ix) return nullptr;
    SyncContactIndex(index, *ix);
    auto it = ix->contacts.find(userName);
    if (it == ix->contacts.end()) return nullptr;
    // A record renamed since it was indexed: fall back to the walk.
    if (it->second->userName != userName) {
        ix->contactCount = -1;
        SyncContactIndex(index, *ix);
        it = ix->contacts.find(userName);
        return it == ix->contacts.end() ? nullptr : it->second;
    }
    return it->second;
}

WxContactRecord* CScanManager::AddWxContact(int index, std::unique_ptr<WxContactRecord> contact,
                                            bool atHead) {
    WxAccountIndex* ix = IndexOf(index);
    if (!ix || !contact) return nullptr;
    SyncContactIndex(index, *ix);
    RecordList<WxContactRecord>& list = wxContactLists[size_t(index)];
    WxContactRecord* r = atHead ? list.prepend(std::move(contact)) : list.append(std::move(contact));
    if (r->accountIndex == index && !r->userName.empty()) {
        if (atHead)
            ix->contacts[r->userName] = r;
        else
            ix->contacts.emplace(r->userName, r);
    }
    ix->contactCount = list.count;
    return r;
}

void CScanManager::MoveChatContactToHead(WxContactRecord* contact) {
    if (!contact) return;
    const int index = contact->accountIndex;
    WxAccountIndex* ix = IndexOf(index);
    if (!ix) return;
    RecordList<WxContactRecord>& list = wxContactLists[size_t(index)];
    bool inList = false;
    for (WxContactRecord* r = list.first; r && !inList; r = r->next)
        inList = r == contact;
    if (!inList) return;
    list.prepend(list.remove(contact));
    ix->contactCount = -1; // the first record of a name may have changed
}

WxContactRecord* CScanManager::AddChatContact(int kind, const char* userName, int index) {
    if (isEmpty(userName) || index < 0 || static_cast<size_t>(index) >= wxContactLists.size()) return nullptr;
    auto record = std::make_unique<WxContactRecord>();
    record->deleted = true;
    record->kind = kind;
    record->accountIndex = index;
    record->userName = userName;
    return AddWxContact(index, std::move(record), true);
}

WxSessionRecord* CScanManager::AddWxSession(int index, WxContactRecord* peer, bool deleted, bool atHead) {
    if (index < 0 || static_cast<size_t>(index) >= wxSessionLists.size()) return nullptr;
    WxAccountIndex* ix = IndexOf(index);
    if (!ix) return nullptr;
    SyncSessionIndex(index, *ix);
    auto session = std::make_unique<WxSessionRecord>();
    session->deleted = deleted;
    session->peer = peer;
    RecordList<WxSessionRecord>& list = wxSessionLists[size_t(index)];
    WxSessionRecord* s = atHead ? list.prepend(std::move(session)) : list.append(std::move(session));
    auto& same = ix->sessions[peer];
    if (atHead)
        same.insert(same.begin(), s);
    else
        same.push_back(s);
    ix->sessionCount = list.count;
    return s;
}

const std::vector<WxSessionRecord*>& CScanManager::WxSessionsOfPeer(int index, const WxContactRecord* peer) {
    static const std::vector<WxSessionRecord*> none;
    if (index < 0 || static_cast<size_t>(index) >= wxSessionLists.size()) return none;
    WxAccountIndex* ix = IndexOf(index);
    if (!ix) return none;
    SyncSessionIndex(index, *ix);
    auto it = ix->sessions.find(peer);
    return it == ix->sessions.end() ? none : it->second;
}

int64_t CScanManager::Now() const {
    return now ? now() : int64_t(time(nullptr));
}

WxContactRecord* CScanManager::AddUnnamedChatContact(int index) {
    auto record = std::make_unique<WxContactRecord>();
    record->deleted = true;
    record->kind = 4;
    record->accountIndex = index;
    record->remark = kUnnamedContactPrefix + std::to_string(unnamedContacts.count);
    return unnamedContacts.append(std::move(record));
}

const WxAccountEntry* CScanManager::FindAccount(int index) const {
    if (!wxAccounts) return nullptr;
    for (const auto& account : *wxAccounts)
        if (account && account->index == index) return account.get();
    return nullptr;
}

const WaStoreEntry* CScanManager::FindWhatsAppAccount(int index) const {
    if (!waStores) return nullptr;
    for (const auto& store : *waStores)
        if (store && store->index == index) return store.get();
    return nullptr;
}
