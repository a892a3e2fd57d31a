#include "chat/CWxBrandMsgChat.h"

#include "core/backup/WxAccountEntry.h"
#include "core/sqlite/IParserOwner.h"

namespace {
WxChatOptions brandOptions() {
    WxChatOptions o;
    o.liveRowsAsCarved = true;
    o.reuseFirstPeerSession = true;
    o.extensionFromLastDot = true;
    o.resultStage = 2;
    o.consumeSummaries = false;
    o.skipLiveRowsMatchingSummary = true;
    return o;
}
} // namespace

CWxBrandMsgChat::CWxBrandMsgChat(IParserOwner* owner, CWxSession* session, int accountIndex)
    : CWxChatEngine(owner, session, accountIndex, brandOptions()) {}

bool CWxBrandMsgChat::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = Account();
    if (!account) return false;
    if (account->brandDbPath.empty() || !Open(owner->BackupFilePath(account->brandDbPath).c_str(), false)) {
        AddProgressStep(10);
        return false;
    }
    LoadChatTables();
    FindDroppedTables();
    ReadLiveMessages();
    AddProgressStep(1);
    CarveMessages();
    MergeResults();
    return true;
}
