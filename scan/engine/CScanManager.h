#pragma once
#include "core/backup/IFileParser.h"
#include "core/records/IScanProgress.h"
#include "core/records/RecordList.h"
#include "core/records/ScanDataType.h"
#include "core/records/ScanLoss.h"
#include "core/sqlite/IParserOwner.h"
#include "scan/engine/CScanSteps.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <string>
#include <vector>

struct MediaFileRecord;
struct ContactRecord;
struct CallRecord;
struct SmsConversationRecord;
struct BookmarkRecord;
struct ReminderRecord;
struct NoteRecord;
struct CalendarRecord;
struct WxContactRecord;
struct WxSessionRecord;
struct WaChatRecord;
struct WxAccountEntry;
struct WaStoreEntry;

// Runs one scan of one backup for a type mask: lists the chosen media, runs the
// database parsers one after the other, keeps their records per data type and hands
// each finished list to the progress receiver. Owner of every parser while it runs.
class CScanManager : public IParserOwner {
  public:
    CScanManager(int typeMask, const char* outputDir, const char* backupDir, int iosVersion,
                 IScanProgress* progress, IFileParser* fileParser);
    virtual ~CScanManager();
    CScanManager(const CScanManager&) = delete;
    CScanManager& operator=(const CScanManager&) = delete;

    void Scan();
    void ScanMediaFiles();
    void ScanDatabases();
    void Stop(bool stopRest);
    void SetFileSuffixes(const char* photo, const char* video, const char* audio, const char* other);
    void ReportProgress(int dataType, int stage, int done, int total, bool finished) override;

    // Share of the whole scan done so far, 0 to kScanProgressScale. Every parser group
    // (the media listing, each data type, the contacts and the chats of each WeChat
    // account) has an equal part; within a group the parser's steps and the position in
    // its current step count. It never goes down within one scan.
    static constexpr int kScanProgressScale = 10000;
    int ScanProgress() const { return scanProgress.load(); }
    // Moves the share of the whole scan to `done` of `total` through the running group
    // (the receiver's conversion of a delivered list); it never goes back.
    void AdvanceWithinPhase(int done, int total);
    // Ends the running parser group and begins the next one from inside a step that runs
    // two parsers in turn (a WeChat account's sessions, then its chats): each has its own
    // part of the bar and its own step counts.
    void NextPhase();

    // The record's own name string, or null.
    const char* FindContactName(const char* phone) const override;
    WxContactRecord* FindChatContact(const char* userName, int accountIndex) override;
    WxContactRecord* AddChatContact(int kind, const char* userName, int accountIndex) override;
    WxContactRecord* AddUnnamedChatContact(int accountIndex) override;
    WxContactRecord* AddWxContact(int accountIndex, std::unique_ptr<WxContactRecord> contact,
                                  bool atHead) override;
    void MoveChatContactToHead(WxContactRecord* contact) override;
    WxSessionRecord* AddWxSession(int accountIndex, WxContactRecord* peer, bool deleted,
                                  bool atHead) override;
    const std::vector<WxSessionRecord*>& WxSessionsOfPeer(int accountIndex,
                                                          const WxContactRecord* peer) override;
    const std::atomic<bool>& StopRestFlag() const override { return stopRest; }
    // Time source of the plausibility checks of carved dates (Unix seconds); tests set it.
    std::function<int64_t()> now;
    int64_t Now() const override;
    // The backup's own date (Unix seconds, 0 unknown): read from its Info.plist when the
    // scan starts, unless set before (tests set it).
    int64_t backupDate = 0;
    int64_t BackupDate() const override { return backupDate; }
    void NoteLoss(const ScanLoss& loss) override { losses.push_back(loss); }
    // Free space of the cache folder (tests set it; unset, the file system says).
    std::function<std::optional<uint64_t>(const std::string& folder)> cacheFreeBytes;
    std::optional<uint64_t> CacheFreeBytes(const std::string& folder) const override {
        return cacheFreeBytes ? cacheFreeBytes(folder) : IParserOwner::CacheFreeBytes(folder);
    }
    const WxAccountEntry* FindAccount(int index) const override;
    const WaStoreEntry* FindWhatsAppAccount(int index) const override;

    // Replaces the parser steps (tests inject fakes). The default is CScanSteps::Default().
    void SetSteps(CScanSteps steps);

    // Full path of a stored file: backupDir joined with its stored path.
    std::string BackupFilePath(const std::string& storedPath) const override;

    // The parsers' view of this scan: its fields below.
    const std::atomic<bool>& CancelFlag() const override { return cancelled; }
    uint32_t TypeMask() const override { return typeMask; }
    int IosVersion() const override { return iosVersion; }
    bool SkipDuplicates() const override { return skipDuplicates; }
    const std::string& BackupDir() const override { return backupDir; }
    const std::string& OutputDir() const override { return outputDir; }
    IFileParser* FileParser() const override { return fileParser; }
    void SetProgressSteps(int total) override;
    void AddProgressStep(int n) override;
    int AccountIndex() const override { return accountIndex; }
    RecordList<ContactRecord>& ContactList() override { return contactList; }
    RecordList<CallRecord>& CallList() override { return callList; }
    RecordList<SmsConversationRecord>& SmsList() override { return smsList; }
    RecordList<BookmarkRecord>& BookmarkList() override { return bookmarkList; }
    RecordList<ReminderRecord>& ReminderList() override { return reminderList; }
    RecordList<NoteRecord>& NoteList() override { return noteList; }
    RecordList<CalendarRecord>& CalendarList() override { return calendarList; }
    std::vector<RecordList<WxContactRecord>>& WxContactLists() override { return wxContactLists; }
    std::vector<RecordList<WxSessionRecord>>& WxSessionLists() override { return wxSessionLists; }
    RecordList<WaChatRecord>& WaChatList() override { return waChatList; }

    RecordList<MediaFileRecord> photoList, videoList, voiceMemoList, smsAttachmentList, noteAttachmentList,
        wxAttachmentList, waAttachmentList;
    RecordList<ContactRecord> contactList;
    RecordList<CallRecord> callList;
    RecordList<SmsConversationRecord> smsList;
    RecordList<BookmarkRecord> bookmarkList;
    RecordList<ReminderRecord> reminderList;
    RecordList<NoteRecord> noteList;
    RecordList<CalendarRecord> calendarList;
    std::vector<RecordList<WxContactRecord>> wxContactLists;
    std::vector<RecordList<WxSessionRecord>> wxSessionLists;
    RecordList<WaChatRecord> waChatList;
    const WxAccountList* wxAccounts = nullptr; // borrowed from the manifest reader
    const WaStoreList* waStores = nullptr;     // borrowed from the manifest reader
    RecordList<WxContactRecord> unnamedContacts;
    bool skipDuplicates = true;
    uint32_t typeMask = 0;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> stopRest{false};
    std::string backupDir; // always ends with '/'
    std::string outputDir; // folder for files the parsers write (contact photos)
    int iosVersion = 0;
    IFileParser* fileParser = nullptr;
    IScanProgress* progress = nullptr;
    std::string photoSuffixes, videoSuffixes, audioSuffixes, otherSuffixes;
    int stepDone = 0;
    int stepTotal = 1;
    // Media entries of the manifest left out of the lists because the backup lacks
    // their stored file (an interrupted or partial backup).
    int missingMediaFiles = 0;
    // Media entries whose stored file, or its folder, is a symbolic link (damaged
    // entries), left out.
    int linkedMediaFiles = 0;
    // What the parsers could not read, in the order they noted it.
    std::vector<ScanLoss> losses;
    int accountIndex = 0;

  private:
    // Contacts by user name (the first of the list wins) and sessions by peer, per
    // account; rebuilt from the lists when a list changed without them.
    struct WxAccountIndex {
        std::unordered_map<std::string, WxContactRecord*> contacts;
        int32_t contactCount = -1;
        std::unordered_map<const WxContactRecord*, std::vector<WxSessionRecord*>> sessions;
        int32_t sessionCount = -1;
    };
    WxAccountIndex* IndexOf(int accountIndex);
    void SyncContactIndex(int accountIndex, WxAccountIndex& index);
    void SyncSessionIndex(int accountIndex, WxAccountIndex& index);

    CScanSteps steps;
    std::vector<WxAccountIndex> wxIndexes;

    // Parser groups of the running scan; phaseCount is 0 while no Scan runs (a parser
    // driven on its own keeps its own step counts).
    int CountPhases() const;
    int WxPhasesPerAccount() const;
    void BeginPhase();
    void EndPhase();
    int phaseCount = 0;
    int phaseIndex = 0;
    // The share of the bar reached when the groups were last counted, and the group
    // index from which the rest of the bar is shared out.
    double baseShare = 0.0;
    int baseIndex = 0;
    int ShareOf(double inPhase) const; // share of the scan at inPhase of the running group
    bool phaseHasSteps = false;
    std::atomic<int> scanProgress{0};
};
