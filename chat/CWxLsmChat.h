#pragma once
#include "core/sqlite/CCommonInterFace.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct WxContactRecord;
struct WxMessageRecord;

// Reads the account's local-store files ("session/lsm_data/"): not SQLite, but a run of
// protobuf message records, stale copies of long-deleted messages among them. Every
// record found is filed as a recovered message unless its session already holds it.
class CWxLsmChat : public CCommonInterFace {
  public:
    CWxLsmChat(IParserOwner* owner, int accountIndex);

    bool Scan();
    // Scans the bytes of one local-store file.
    void ScanBytes(const uint8_t* data, size_t size);

    bool PrepareTable() override { return true; }
    bool OnCarvedRecord(CarvedRecord*, int32_t) override { return true; }
    bool CheckCarvedValue(int32_t, uint32_t, CarvedValue*, uint32_t) override { return true; }

  private:
    void MergeMessage(const std::string& peerName, const std::string& groupSender, int32_t type, bool fromMe,
                      int64_t time, const std::string& content);
    std::unique_ptr<WxMessageRecord> BuildMessage(WxContactRecord* peer, const std::string& groupSender,
                                                  int32_t type, bool fromMe, int64_t time,
                                                  const std::string& content);
    int accountIndex = 0;
};
