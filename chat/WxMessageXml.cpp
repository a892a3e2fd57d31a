#include "chat/WxMessageXml.h"

#include "core/util/CommonUtils.h"
#include "core/records/WxMessageRecord.h"

#include <charconv>
#include <climits>
#include <utility>

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

// Appends the UTF-8 form of a code point; false for one that is no character.
bool appendUtf8(std::string& out, uint32_t c) {
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return true;
}

// The text of an XML value outside CDATA: the five named entities and numeric
// character references decoded; anything else (an unknown or malformed reference)
// kept as it stands.
std::string xmlText(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] != '&') {
            out += raw[i++];
            continue;
        }
        const size_t semi = raw.find(';', i + 1);
        if (semi == npos || semi - i > 12) {
            out += raw[i++];
            continue;
        }
        const std::string_view name = raw.substr(i + 1, semi - i - 1);
        static const std::pair<std::string_view, char> named[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool done = false;
        for (const auto& [entity, c] : named)
            if (name == entity) {
                out += c;
                done = true;
            }
        if (!done && name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t value = 0;
            const auto [ptr, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            done = !digits.empty() && ec == std::errc() && ptr == digits.data() + digits.size() &&
                   appendUtf8(out, value);
        }
        if (done)
            i = semi + 1;
        else
            out += raw[i++];
    }
    return out;
}

// A value in CDATA form when both CDATA markers are there (taken as it stands), else
// in plain tags (its entities decoded).
std::string cdataValue(std::string_view text, std::string_view tag) {
    const std::string open = "<" + std::string(tag) + "><![CDATA[";
    const std::string close = "]]></" + std::string(tag) + ">";
    const size_t a = text.find(open);
    if (a != npos && text.find(close, a + open.size()) != npos) return between(text, open, close);
    return xmlText(between(text, "<" + std::string(tag) + ">", "</" + std::string(tag) + ">"));
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
    message.locationLabel = xmlText(between(text, "label=\"", "\" "));
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
    message.cardNickName = xmlText(between(text, "nickname=\"", "\" "));
    message.cardHeadUrl = between(text, "smallheadimgurl=\"", "\" ");
    return true;
}

int32_t wxGuessMessageType(std::string_view text) {
    if ((has(text, "<title><![CDATA[") && has(text, "]]></title>")) ||
        (has(text, "<title>") && has(text, "</title>")))
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
