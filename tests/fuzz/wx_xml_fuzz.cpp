// Fuzz target of the WeChat message-content helpers and the duplicate test: the input
// is a message text. Nothing may crash, hang or leak.
#include "chat/WxMessageOps.h"
#include "chat/WxMessageXml.h"
#include "chat/WxSummaryList.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"

#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    WxMessageRecord m;
    m.type = wxGuessMessageType(text);
    (void)wxMessageKeyValue(text);
    wxParseAppMessage(text, m);
    wxParseCall(text, m);
    wxParseCard(text, m);
    wxParseLocation(text, m);
    m.text = text.substr(0, text.find('\0'));
    m.time = 100;

    WxSessionRecord session;
    for (int32_t type : {1, 49, 100001, 3}) {
        auto e = std::make_unique<WxMessageRecord>();
        e->type = type;
        e->time = 100;
        e->deleted = true;
        e->text = m.text.substr(0, m.text.size() / 2);
        e->title = m.title;
        session.messages.append(std::move(e));
    }
    (void)wxSessionHasSameMessage(session, m);
    m.type = 49;
    (void)wxSessionHasSameMessage(session, m);
    m.type = 100001;
    (void)wxSessionHasSameMessage(session, m);

    WxSummaryList summaries;
    auto s = std::make_unique<WxSessionSummary>();
    s->time = 100;
    s->content = m.text;
    summaries.Append(std::move(s));
    (void)summaries.FindSameMessage(100, m.text.substr(0, m.text.size() / 3));
    (void)summaries.FindSameTextMessage(100, m.text.substr(m.text.size() / 3));
    return 0;
}
