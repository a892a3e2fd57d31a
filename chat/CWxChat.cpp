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

int CWxChat::StepTotal(int messageDbs, bool brand, int lsmFiles, bool fts) {
    // Each chat database takes 6 steps and each merge 3; the local-store files are read
    // only with extra databases, and the search index takes 3 steps for its users and 5
    // for its messages. The count is capped far below any real account's.
    messageDbs = messageDbs < 0 ? 0 : messageDbs > 100000 ? 100000 : messageDbs;
    lsmFiles = lsmFiles < 0 ? 0 : lsmFiles > 100000 ? 100000 : lsmFiles;
    const int extra = messageDbs > 0 ? kStepsPerDatabase * messageDbs + kMergeSteps + lsmFiles : 0;
    return kStepsPerDatabase + extra + (brand ? 10 : 0) + (fts ? 8 : 0) + 3 + kMergeSteps;
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
    SetProgressSteps(StepTotal(n, brand, int(account->lsmFiles.size()), !account->ftsDbPath.empty()));
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
