#include "chat/CWxChat.h"

#include "chat/CWxBrandMsgChat.h"
#include "chat/CWxFtsChat.h"
#include "chat/CWxLsmChat.h"
#include "chat/CWxMigrationChat.h"
#include "core/backup/WxAccountEntry.h"
#include "core/sqlite/IParserOwner.h"

CWxChat::CWxChat(IParserOwner* owner, CWxSession* session, int accountIndex)
    : CWxChatEngine(owner, session, accountIndex, WxChatOptions{}) {}

CWxChat::~CWxChat() = default;

int CWxChat::StepTotal(int messageDbs, bool brand, int lsmFiles) {
    // The local-store files are read only with extra databases.
    return (messageDbs > 0 ? 7 * messageDbs + 17 + lsmFiles : 14) + (brand ? 10 : 0);
}

bool CWxChat::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = Account();
    if (!account || account->chatDbPath.empty()) return false;
    // A chat database that does not open (damaged, missing, not a file) costs its own
    // messages only: the account's other stores are read all the same.
    const bool opened = Open(owner->BackupFilePath(account->chatDbPath).c_str(), false);
    const int n = int(account->messageDbFiles.size());
    const bool brand = !account->brandDbPath.empty();
    SetProgressSteps(StepTotal(n, brand, int(account->lsmFiles.size())));
    if (opened) {
        LoadChatTables();
        FindDroppedTables();
        ReadLiveMessages();
        CarveMessages();
    } else {
        AddProgressStep(6); // what the steps above add for a database without chats
    }
    if (n > 0 && !Cancelled()) {
        CWxMigrationChat(owner, session, accountIndex).Scan();
        // The local-store files are read only for accounts with extra databases.
        if (!Cancelled()) CWxLsmChat(owner, accountIndex).Scan();
    }
    if (brand && !Cancelled()) CWxBrandMsgChat(owner, session, accountIndex).Scan();
    auto fts = std::make_unique<CWxFtsChat>(owner, session, accountIndex);
    if (!Cancelled()) fts->Scan();
    AddProgressStep(3);
    MergeResults(fts->EntryCount());
    if (!owner->StopRestFlag()) fts.reset();
    return true;
}
