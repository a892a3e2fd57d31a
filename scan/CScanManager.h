#pragma once
#include "core/IFileParser.h"
#include "core/IScanProgress.h"
#include "core/RecordList.h"
#include "core/ScanDataType.h"
#include "scan/CScanSteps.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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
class CScanManager {
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
    void ReportProgress(int dataType, int stage, int done, int total, bool finished);

    // The record's own name string, or null.
    const char* FindContactName(const char* phone) const;
    WxContactRecord* FindChatContact(const char* userName, int accountIndex);
    WxContactRecord* AddChatContact(int kind, const char* userName, int accountIndex);
    WxContactRecord* AddUnnamedChatContact(int accountIndex);
    // Links a contact into an account's contact list (at the head or the tail) and
    // returns it; null (the record dropped) for an account without a list. Parsers add
    // contacts only through this, AddChatContact and MoveChatContactToHead, so that
    // FindChatContact finds them without a walk.
    WxContactRecord* AddWxContact(int accountIndex, std::unique_ptr<WxContactRecord> contact, bool atHead);
    // Moves a contact of its account's list to the head of that list.
    void MoveChatContactToHead(WxContactRecord* contact);
    // A new session of an account for `peer`, linked at the head or the tail of the
    // account's session list; null for an account without a list.
    WxSessionRecord* AddWxSession(int accountIndex, WxContactRecord* peer, bool deleted, bool atHead);
    // The sessions of an account whose peer is `peer`, in list order.
    const std::vector<WxSessionRecord*>& WxSessionsOfPeer(int accountIndex, const WxContactRecord* peer);
    // Time source of the plausibility checks of carved dates (Unix seconds); tests set it.
    std::function<int64_t()> now;
    int64_t Now() const;
    const WxAccountEntry* FindAccount(int index) const;
    const WaStoreEntry* FindWhatsAppAccount(int index) const;

    // Replaces the parser steps (tests inject fakes). The default is CScanSteps::Default().
    void SetSteps(CScanSteps steps);

    // Full path of a stored file: backupDir joined with its stored path.
    std::string BackupFilePath(const std::string& storedPath) const;

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
    const WxAccountList* wxAccounts = nullptr;  // borrowed from the manifest reader
    const WaStoreList* waStores = nullptr;      // borrowed from the manifest reader
    RecordList<WxContactRecord> unnamedContacts;
    bool skipDuplicates = true;
    uint32_t typeMask = 0;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> stopRest{false};
    std::string backupDir;  // always ends with '/'
    std::string outputDir;  // folder for files the parsers write (contact photos)
    int iosVersion = 0;
    IFileParser* fileParser = nullptr;
    IScanProgress* progress = nullptr;
    std::string photoSuffixes, videoSuffixes, audioSuffixes, otherSuffixes;
    int stepDone = 0;
    int stepTotal = 1;
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
};
