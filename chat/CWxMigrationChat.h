#pragma once
#include "chat/CWxChatEngine.h"

// Reads the account's extra message databases ("DB/message_<n>.sqlite") like the main
// chat database, one after the other, into the same sessions.
class CWxMigrationChat : public CWxChatEngine {
  public:
    CWxMigrationChat(IParserOwner* owner, CWxSession* session, int accountIndex);
    bool Scan();
};
