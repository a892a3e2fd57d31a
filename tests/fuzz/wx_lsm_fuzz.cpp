// Fuzz target of the WeChat local-store reader: the input is one local-store file.
// Nothing may crash, hang or leak.
#include "chat/CWxLsmChat.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"

#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    WxAccountList accounts;
    auto account = std::make_unique<WxAccountEntry>();
    account->accountId = account->userName = "wxid_owner01";
    accounts.push_back(std::move(account));
    CScanManager owner(0x3000, "", "", 14, nullptr, nullptr);
    owner.wxAccounts = &accounts;
    owner.wxContactLists.resize(1);
    owner.wxSessionLists.resize(1);
    owner.AddChatContact(2, "room@chatroom", 0);
    CWxLsmChat lsm(&owner, 0);
    lsm.ScanBytes(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    // Twice: the second pass meets every message as a duplicate.
    lsm.ScanBytes(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    return 0;
}
