#include "chat/CWxMigrationChat.h"

#include "core/backup/WxAccountEntry.h"
#include "core/sqlite/IParserOwner.h"

namespace {
WxChatOptions migrationOptions() {
    WxChatOptions o;
    o.extensionFromLastDot = true;
    o.resultStage = 2;
    o.consumeSummaries = false;
    return o;
}
} // namespace

CWxMigrationChat::CWxMigrationChat(IParserOwner* owner, CWxSession* session, int accountIndex)
    : CWxChatEngine(owner, session, accountIndex, migrationOptions()) {}

bool CWxMigrationChat::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = Account();
    if (!account) return false;
    bool result = true;
    for (const std::string& stored : account->messageDbFiles) {
        if (Cancelled()) break;
        // Each database gets its own table lists and is carved with its own first chat
        // table; the rows read so far stay for the duplicate check.
        ClearTables();
        result = !stored.empty() && Open(owner->BackupFilePath(stored).c_str(), false);
        if (!result) {
            AddProgressStep(kStepsPerDatabase);
            continue;
        }
        LoadChatTables();
        FindDroppedTables();
        ReadLiveMessages();
        CarveMessages();
        Close();
    }
    MergeResults();
    return result;
}
