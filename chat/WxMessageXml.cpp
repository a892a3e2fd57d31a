#include "chat/WxMessageXml.h"

#include "core/util/CommonUtils.h"
#include "core/records/WxMessageRecord.h"

#include <charconv>
#include <climits>

namespace {

constexpr size_t npos = std::string_view::npos;

bool has(std::string_view text, std::string_view part) {
    return text.find(part) != npos;
}

// Bytes after the first `open` (searched from `from`) up to the next `close`; empty
// when either is missing.
std::string between(std::string_view text, std::string_view open, std::string_view close, size_t from = 0) {
    const size_t a = text.find(open, from);
    if (a == npos) return {};
    const size_t start = a + open.size();
    const size_t b = text.find(close, start);
    if (b == npos || b <= start) return {};
    return std::string(text.substr(start, b - start));
}

// The same, with the opener found at an attribute boundary.
std::string betweenAttribute(std::string_view text, std::string_view open, std::string_view close) {
    const size_t a = wxFindAttribute(text, open);
    if (a == npos) return {};
    const size_t start = a + open.size();
    const size_t b = text.find(close, start);
    if (b == npos || b <= start) return {};
    return std::string(text.substr(start, b - start));
}

// A value in CDATA form when both CDATA markers are there, else in plain tags.
std::string cdataValue(std::string_view text, std::string_view tag) {
    const std::string open = "<" + std::string(tag) + "><![CDATA[";
    const std::string close = "]]></" + std::string(tag) + ">";
    const size_t a = text.find(open);
    if (a != npos && text.find(close, a + open.size()) != npos) return between(text, open, close);
    return between(text, "<" + std::string(tag) + ">", "</" + std::string(tag) + ">");
}

} // namespace

size_t wxFindAttribute(std::string_view text, std::string_view attribute, size_t from) {
    for (size_t at = text.find(attribute, from); at != npos; at = text.find(attribute, at + 1)) {
        if (at == 0) return at;
        const char before = text[at - 1];
        if (before == ' ' || before == '\t' || before == '\n' || before == '\r' || before == '<') return at;
    }
    return npos;
}

std::string wxGetXmlTitle(std::string_view text) {
    if (!has(text, "<title>")) return {};
    if (has(text, "<title><![CDATA[")) return between(text, "<title><![CDATA[", "]]></title>");
    return between(text, "<title>", "</title>");
}

std::string wxGetEmojiMd5(std::string_view text) {
    return has(text, "<emoji ") ? between(text, "md5=\"", "\"") : std::string();
}

std::string wxGetImageAesKey(std::string_view text) {
    return has(text, "<img ") ? between(text, "aeskey=\"", "\"") : std::string();
}

std::string wxGetVideoAesKey(std::string_view text) {
    return has(text, "<videomsg ") ? between(text, "aeskey=\"", "\"") : std::string();
}

std::string wxGetVoiceBufId(std::string_view text) {
    return has(text, "<voicemsg ") ? between(text, "bufid=\"", "\"") : std::string();
}

std::string wxGetVoipRecvTime(std::string_view text) {
    const size_t a = text.find("<voipinvitemsg>");
    if (a == npos || text.find("</voiplocalinfo>", a) == npos) return {};
    return between(text, "<recvtime>", "</recvtime>");
}

std::string wxGetLocationX(std::string_view text) {
    return between(text, "<location x=\"", "\"");
}

std::string wxGetCardUserName(std::string_view text) {
    return has(text, "alias=\"") ? betweenAttribute(text, "username=\"", "\"") : std::string();
}

std::string wxMessageKeyValue(std::string_view text) {
    using Getter = std::string (*)(std::string_view);
    static const Getter getters[] = {wxGetXmlTitle,   wxGetEmojiMd5,     wxGetImageAesKey, wxGetVideoAesKey,
                                     wxGetVoiceBufId, wxGetVoipRecvTime, wxGetLocationX,   wxGetCardUserName};
    for (Getter g : getters) {
        std::string v = g(text);
        if (!v.empty()) return v;
    }
    return {};
}

bool wxParseAppMessage(std::string_view text, WxMessageRecord& message) {
    message.title = cdataValue(text, "title");
    if (isWxRedPacketTitle(message.title.c_str())) {
        message.type = 100001;
        return true;
    }
    if (has(text, "<type>6</type>")) {
        message.type = 100002;
        return true;
    }
    message.url = cdataValue(text, "url");
    message.thumbUrl = cdataValue(text, "thumburl");
    message.description = cdataValue(text, "des");
    return true;
}

bool wxParseLocation(std::string_view text, WxMessageRecord& message) {
    message.locationLabel = between(text, "label=\"", "\" ");
    return true;
}

bool wxParseCall(std::string_view text, WxMessageRecord& message) {
    message.callDuration = 0;
    const std::string duration = between(text, "<duration>", "</duration>");
    if (!duration.empty() && duration.size() < 260) {
        int64_t value = 0;
        const char* end = duration.data() + duration.size();
        auto [ptr, ec] = std::from_chars(duration.data(), end, value);
        if (ec == std::errc() && ptr == end && value >= 0 && value <= INT32_MAX)
            message.callDuration = int32_t(value);
    }
    message.isVoiceCall = has(text, "<invitetype>1</invitetype>");
    return true;
}

bool wxParseCard(std::string_view text, WxMessageRecord& message) {
    std::string user = between(text, "alias=\"", "\" ");
    if (user.empty()) user = betweenAttribute(text, "username=\"", "\" ");
    if (user.empty()) return false;
    message.cardUserName = std::move(user);
    message.cardNickName = between(text, "nickname=\"", "\" ");
    message.cardHeadUrl = between(text, "smallheadimgurl=\"", "\" ");
    return true;
}

int32_t wxGuessMessageType(std::string_view text) {
    if ((has(text, "<title><![CDATA[") && has(text, "]]></title>")) || (has(text, "<title>") && has(text, "</title>")))
        return 49;
    if (has(text, "<duration>") && has(text, "</duration>")) return 50;
    if (has(text, "<location") && has(text, "label=\"")) return 48;
    if (has(text, "alias=\"") && has(text, "username=\"")) return 42;
    if (has(text, "<voicemsg")) return 34;
    if (has(text, "<videomsg")) return 43;
    if (has(text, "<emoji")) return 47;
    if (has(text, "<msg>") && has(text, "<img")) return 3;
    return 1;
}
