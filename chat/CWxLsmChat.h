#pragma once
#include "chat/WxSecondIndex.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class FileWindow;
struct WxContactRecord;
struct WxMessageRecord;
struct WxSessionRecord;

// Reads the account's local-store files ("session/lsm_data/"): not SQLite, but a run of
// protobuf message records, stale copies of long-deleted messages among them. Every
// record found is filed as a recovered message unless its session already holds it.
// The files are read through a bounded window: one that shrinks while it is read ends
// its own read, noted for the user, and the other files are read on.
class CWxLsmChat : public CCommonInterFace {
  public:
    CWxLsmChat(IParserOwner* owner, int accountIndex);

    // What the local stores of one account may add at most, all its files together:
    // counts no real account reaches, so that crafted files (or many of them) cannot take
    // the memory of the machine. Records past a limit are left out; how many is told to
    // the user when the scan ends.
    struct Limits {
        size_t records = 500000;    // messages filed
        size_t newContacts = 50000; // peers and group members not known before
        size_t newSessions = 50000; // sessions opened
    };

    bool Scan();
    // Scans the bytes of one local-store file (held in memory) as one more store of the
    // account: the account's limits go on counting.
    void ScanBytes(const uint8_t* data, size_t size);
    void SetLimits(const Limits& limits) { this->limits = limits; }

    bool PrepareTable() override { return true; }
    bool OnCarvedRecord(CarvedRecord*, int32_t) override { return true; }
    bool CheckCarvedValue(int32_t, uint32_t, CarvedValue*, uint32_t) override { return true; }

  private:
    // Messages of one session by time, each time's messages in list order (searched by
    // key once a second holds many); built on the session's first record and kept up to
    // date by MergeMessage, which alone changes the sessions while the parser runs.
    using TimeIndex = std::map<int64_t, WxSecondIndex>;
    TimeIndex& IndexOf(WxSessionRecord* session);
    // What the account's stores have added so far, and what they left out at a limit.
    struct StoreCounts {
        size_t records = 0, contacts = 0, sessions = 0;
        int64_t leftOut = 0, leftOutNoted = 0;
    };

    void ScanStore(FileWindow& bytes);
    // Notes the records left out since the last note.
    void NoteLeftOut();
    void MergeMessage(const std::string& peerName, const std::string& groupSender, int32_t type, bool fromMe,
                      int64_t time, const std::string& content);
    std::unique_ptr<WxMessageRecord> BuildMessage(WxContactRecord* peer, const std::string& groupSender,
                                                  int32_t type, bool fromMe, int64_t time,
                                                  const std::string& content);
    WxContactRecord* PeerFor(const std::string& userName);
    int accountIndex = 0;
    Limits limits;
    StoreCounts counts;
    std::unordered_map<const WxSessionRecord*, TimeIndex> indexes;
};
