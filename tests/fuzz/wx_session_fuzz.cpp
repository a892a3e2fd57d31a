// Fuzz target of the WeChat session-file reader: the input is one session file (both
// readings of the contact part, then the last-message part) and, the same bytes, every
// contact blob decoder. Nothing may crash, hang or leak.
#include "chat/CWxSession.h"
#include "chat/WxContactBlob.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's bytes, so that a read past them is seen.
    std::vector<uint8_t> bytes(data, data + size);
    const uint8_t* p = bytes.empty() ? nullptr : bytes.data();
    CScanManager owner(0x3000, "", "", 14, nullptr, nullptr);
    owner.wxContactLists.resize(1);
    owner.wxSessionLists.resize(1);
    // A known group and a live contact, so that both resolutions are taken.
    owner.AddChatContact(2, "room@chatroom", 0);
    CWxSession session(&owner, 0);
    session.ParseFile(p, size, true);
    session.ParseFile(p, size, false);
    WxContactRow row;
    wxParseRemarkBlob(p, size, row);
    wxParseHeadImageBlob(p, size, row);
    wxParseProfileBlob(p, size, row);
    wxParseSocialBlob(p, size, row);
    wxParseChatRoomBlob(p, size, row);
    return 0;
}
