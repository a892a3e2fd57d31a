#pragma once
#include "core/records/RecordList.h"
#include "core/records/ScanLoss.h"
#include "core/util/RegularFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class IFileParser;
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

// What a database parser sees of the scan that runs it: the scan's settings and
// cancel flag, its progress counters, the record lists the parsers fill and the
// look-ups they share. The scan manager implements it; parsers only borrow it.
class IParserOwner {
  public:
    // Settings of the running scan.
    // Set when the scan is cancelled; parsers poll it between rows and pages.
    virtual const std::atomic<bool>& CancelFlag() const = 0;
    // Data types chosen for this scan (ScanDataType bits).
    virtual uint32_t TypeMask() const = 0;
    virtual int IosVersion() const = 0;
    // True when a record equal to a listed one is left out.
    virtual bool SkipDuplicates() const = 0;
    // The backup root, always ending with '/'.
    virtual const std::string& BackupDir() const = 0;
    // Folder for files the parsers write (contact photos); never inside the backup.
    virtual const std::string& OutputDir() const = 0;
    // The backup's manifest reader, or null.
    virtual IFileParser* FileParser() const = 0;
    // Full path of a stored file: the backup root joined with its stored path.
    virtual std::string BackupFilePath(const std::string& storedPath) const = 0;
    // Bytes still free for new files in `folder` (below the output folder); nothing when
    // it cannot be told. A copy that would not fit is not begun.
    virtual std::optional<uint64_t> CacheFreeBytes(const std::string& folder) const {
        return RegularFile::FreeBytes(folder);
    }

    // Progress of the running step.
    virtual void ReportProgress(int dataType, int stage, int done, int total, bool finished) = 0;
    // Starts a step of `total` parts (none done yet).
    virtual void SetProgressSteps(int total) = 0;
    virtual void AddProgressStep(int n) = 0;
    // Chat account the running step reads.
    virtual int AccountIndex() const = 0;

    // Record lists the parsers fill.
    virtual RecordList<ContactRecord>& ContactList() = 0;
    virtual RecordList<CallRecord>& CallList() = 0;
    virtual RecordList<SmsConversationRecord>& SmsList() = 0;
    virtual RecordList<BookmarkRecord>& BookmarkList() = 0;
    virtual RecordList<ReminderRecord>& ReminderList() = 0;
    virtual RecordList<NoteRecord>& NoteList() = 0;
    virtual RecordList<CalendarRecord>& CalendarList() = 0;
    // Chat lists: one contact list and one session list per chat account.
    virtual std::vector<RecordList<WxContactRecord>>& WxContactLists() = 0;
    virtual std::vector<RecordList<WxSessionRecord>>& WxSessionLists() = 0;
    virtual RecordList<WaChatRecord>& WaChatList() = 0;

    // Look-ups across lists.
    // The name of the first contact with this phone number (the record's own string), or null.
    virtual const char* FindContactName(const char* phone) const = 0;
    virtual WxContactRecord* FindChatContact(const char* userName, int accountIndex) = 0;
    virtual WxContactRecord* AddChatContact(int kind, const char* userName, int accountIndex) = 0;
    virtual WxContactRecord* AddUnnamedChatContact(int accountIndex) = 0;
    virtual const WxAccountEntry* FindAccount(int index) const = 0;
    virtual const WaStoreEntry* FindWhatsAppAccount(int index) const = 0;

    // Chat lists, kept with indexes (contacts by user name, sessions by peer): the chat
    // parsers add contacts and sessions only through these.
    // Links a contact into an account's contact list (at the head or the tail) and
    // returns it; null (the record dropped) for an account without a list.
    virtual WxContactRecord* AddWxContact(int accountIndex, std::unique_ptr<WxContactRecord> contact,
                                          bool atHead) = 0;
    // Moves a contact of its account's list to the head of that list.
    virtual void MoveChatContactToHead(WxContactRecord* contact) = 0;
    // A new session of an account for `peer`, at the head or the tail of the account's
    // session list; null for an account without a list.
    virtual WxSessionRecord* AddWxSession(int accountIndex, WxContactRecord* peer, bool deleted,
                                          bool atHead) = 0;
    // The sessions of an account whose peer is `peer`, in list order.
    virtual const std::vector<WxSessionRecord*>& WxSessionsOfPeer(int accountIndex,
                                                                  const WxContactRecord* peer) = 0;
    // Set with the cancel flag when the rest of the scan is dropped: the parsers then
    // keep their working lists (their destructors free them).
    virtual const std::atomic<bool>& StopRestFlag() const = 0;
    // Something the running parser could not read (rows stepped past, a log not applied,
    // records left out at a limit, a file that changed under the reader): kept for the
    // scan's log and told to the user when the scan ends.
    virtual void NoteLoss(const ScanLoss& loss) { (void)loss; }
    // "Now" of the plausibility checks of carved dates, in Unix seconds.
    virtual int64_t Now() const = 0;
    // The date the backup was made ("Last Backup Date" of its Info.plist), in Unix
    // seconds; 0 when unknown. No message of the backup is younger.
    virtual int64_t BackupDate() const { return 0; }

  protected:
    ~IParserOwner() = default;
};
