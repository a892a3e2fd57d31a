#pragma once
#include "chat/CWxChatEngine.h"

// Recovers the messages of one WeChat account: the chat database "DB/MM.sqlite", then
// the extra message databases with the local-store files, the official-account
// database and the search index, and files the session summaries last.
class CWxChat : public CWxChatEngine {
  public:
    CWxChat(IParserOwner* owner, CWxSession* session, int accountIndex);
    ~CWxChat() override;
    bool Scan();

    // Progress steps of a whole run for an account with `messageDbs` extra databases,
    // an official-account database or not, `lsmFiles` local-store files and a search
    // index or not; a store that cannot be read still adds its steps.
    static int StepTotal(int messageDbs, bool brand, int lsmFiles, bool fts);
};
