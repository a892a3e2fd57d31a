#pragma once
#include "chat/CWxChatEngine.h"

// Reads the account's official-account message database ("Brand/BrandMsg*.db"), laid
// out like the main chat database. Its live rows are read like recovered ones (the type
// guessed from the text, no media paths) and go to the peer's first session; a live row
// that a session summary also holds comes in once, with the summary.
class CWxBrandMsgChat : public CWxChatEngine {
  public:
    CWxBrandMsgChat(IParserOwner* owner, CWxSession* session, int accountIndex);
    bool Scan();
};
