// Fuzz target of the WeChat database parsers: the input is one file standing for every
// store of an account (message database, extra message database, contacts, official
// accounts, search index and session file), read by the contacts, session and chat
// parsers in the order a scan runs them. Nothing may crash, hang or leak.
#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxSession.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "core/records/ScanDataType.h"
#include "scan/engine/CScanManager.h"
#include "tests/fuzz/FuzzBackup.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBackup& backup = FuzzBackup::Instance();
    if (!backup.Write(data, size)) return 0;
    WxAccountList accounts;
    auto account = std::make_unique<WxAccountEntry>();
    account->accountId = account->userName = "wxid_owner01";
    account->nickName = "Owner";
    account->accountFolder = "Documents/0123456789abcdef0123456789abcdef/";
    account->chatDbPath = account->contactDbPath = account->ftsDbPath = account->brandDbPath =
        FuzzBackup::kStored;
    account->messageDbFiles = {FuzzBackup::kStored};
    account->sessionFiles = {FuzzBackup::kStored};
    accounts.push_back(std::move(account));

    CScanManager owner(ScanWxContacts | ScanWxChats, backup.Output().c_str(), backup.Root().c_str(), 14,
                       nullptr, &backup);
    owner.wxAccounts = &accounts;
    owner.wxContactLists.resize(1);
    owner.wxSessionLists.resize(1);
    CWxAddressBook(&owner, 0).Scan();
    CWxSession session(&owner, 0);
    session.Scan();
    CWxChat(&owner, &session, 0).Scan();
    return 0;
}
