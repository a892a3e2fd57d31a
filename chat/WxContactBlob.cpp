#include "chat/WxContactBlob.h"

#include "core/sqlite/CCommonInterFace.h"

#include <cstring>
#include <string>

namespace {

struct Blob {
    const uint8_t* p;
    size_t n;

    bool Next(uint8_t b) const { return n >= 1 && p[0] == b; }
    bool Skip(size_t k) {
        if (k > n) return false;
        p += k;
        n -= k;
        return true;
    }
    bool Varint(uint64_t* v, bool checked) {
        const int32_t left = n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
        const int used = CCommonInterFace::ParseVarintChecked(p, left, v, checked);
        if (used < 0) return false;
        return Skip(size_t(used));
    }
    // A checked length and that many bytes, copied up to a NUL.
    bool Text(std::string* out) {
        uint64_t length = 0;
        if (!Varint(&length, true) || length > n) return false;
        if (out) {
            const void* nul = memchr(p, 0, size_t(length));
            out->assign(reinterpret_cast<const char*>(p),
                        nul ? size_t(static_cast<const uint8_t*>(nul) - p) : size_t(length));
        }
        return Skip(size_t(length));
    }
    // A key byte and a text.
    bool Field(std::string* out) { return Skip(1) && Text(out); }
};

void splitInto(std::string_view text, std::vector<std::string>& out) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string_view::npos) end = text.size();
        out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string between(std::string_view text, std::string_view open, std::string_view close, size_t from = 0,
                    size_t* after = nullptr) {
    const size_t a = text.find(open, from);
    if (a == std::string_view::npos) return {};
    const size_t start = a + open.size();
    const size_t b = text.find(close, start);
    if (b == std::string_view::npos) return {};
    if (after) *after = b + close.size();
    return std::string(text.substr(start, b - start));
}

} // namespace

void wxParseRemarkBlob(const uint8_t* data, size_t size, WxContactRow& row) {
    Blob b{data, size};
    if (!data || !b.Skip(1) || !b.Text(&row.nickName)) return;
    for (int i = 0; i < 2 && b.n > 0; ++i) {
        if (b.Next(0x12) && !b.Field(&row.alias)) return;
        if (b.Next(0x1A) && !b.Field(&row.remark)) return;
    }
}

void wxParseHeadImageBlob(const uint8_t* data, size_t size, WxContactRow& row) {
    Blob b{data, size};
    if (!data) return;
    if (b.Next(0x08) && !b.Skip(2)) return;
    if (!b.Skip(1)) return;
    b.Text(&row.headImageUrl);
}

void wxParseProfileBlob(const uint8_t* data, size_t size, WxContactRow& row) {
    Blob b{data, size};
    if (!data) return;
    if (b.Next(0x08) && !b.Skip(2)) return;
    std::string address;
    auto append = [&address](const std::string& part) {
        const size_t need = part.size() + (address.empty() ? 0 : 1);
        if (address.size() + need > kWxContactTextLimit) return false;
        if (!address.empty()) address += '/';
        address += part;
        return true;
    };
    for (int round = 0; round < 4; ++round) {
        if (b.Next(0x08) && !b.Skip(2)) return;
        if (b.n == 0) return;
        if (b.Next(0x12)) {
            std::string part;
            if (!b.Field(&part) || part.size() > kWxContactTextLimit) return;
            address = part;
            if (b.n == 0) return;
        }
        if (b.Next(0x1A)) {
            std::string part;
            if (!b.Field(&part) || !append(part)) return;
            if (b.n == 0) return;
        }
        if (b.Next(0x22)) {
            std::string part;
            if (!b.Field(&part) || !append(part)) return;
            if (!address.empty()) row.address = address;
            if (b.n == 0) return;
        }
        if (b.Next(0x2A)) {
            if (!b.Field(&row.signature)) return;
            if (b.n == 0) return;
        }
    }
}

void wxParseSocialBlob(const uint8_t* data, size_t size, WxContactRow& row) {
    Blob b{data, size};
    if (!data || !b.Next(0x0A) || !b.Skip(1)) return;
    uint64_t unused = 0;
    if (!b.Varint(&unused, true)) return;
    for (int field = 0; field < 10; ++field) {
        if (b.n < 2) return;
        const uint8_t key = b.p[0];
        b.Skip(1);
        if (key == 0x38) {
            if (!b.Varint(&unused, false)) return;
        } else if (key == 0x5A) {
            std::string numbers;
            if (!b.Text(&numbers) || numbers.size() > kWxContactTextLimit) return;
            Blob run{reinterpret_cast<const uint8_t*>(numbers.data()), numbers.size()};
            std::string joined;
            while (run.n > 0) {
                std::string entry;
                if (!run.Text(&entry)) break;
                const size_t need = entry.size() + (joined.empty() ? 0 : 1);
                if (joined.size() + need > kWxContactTextLimit) break;
                if (!joined.empty()) joined += ' ';
                joined += entry;
            }
            if (!joined.empty()) row.phone = joined;
            return;
        } else {
            if (!b.Text(nullptr)) return;
        }
    }
}

void wxParseChatRoomBlob(const uint8_t* data, size_t size, WxContactRow& row) {
    Blob b{data, size};
    if (!data) return;
    if (b.Next(0x32) && !b.Field(nullptr)) return;
    if (b.Next(0x12) && !b.Field(nullptr)) return;
    if (!b.Skip(1)) return;
    uint64_t length = 0;
    if (!b.Varint(&length, true) || length > b.n) return;
    splitInto(std::string_view(reinterpret_cast<const char*>(b.p), size_t(length)), row.memberNames);
}

void wxSplitMemberText(std::string_view text, WxContactRow& row) {
    splitInto(text, row.memberNames);
}

void wxParseFriendExtXml(std::string_view text, WxContactRow& row) {
    std::string v = between(text, "<alias>", "</alias>");
    if (!v.empty()) row.alias = v;
    v = between(text, "<sign>", "</sign>");
    if (!v.empty()) row.signature = v;

    std::string address;
    const std::string country = between(text, "<country>", "</country>");
    if (!country.empty() && country.size() <= kWxContactTextLimit) address = country;
    for (const char* tag : {"province", "city"}) {
        const std::string part = between(text, std::string("<") + tag + ">", std::string("</") + tag + ">");
        if (part.empty() || address.size() + 1 + part.size() > kWxContactTextLimit) continue;
        address += '/';
        address += part;
    }
    if (!address.empty()) row.address = address;

    v = between(text, "<HeadImgUrl>", "</HeadImgUrl>");
    if (!v.empty()) row.headImageUrl = v;

    std::string phones;
    size_t from = 0;
    for (int i = 0; i < 3; ++i) {
        size_t after = 0;
        const std::string number = between(text, "<phone><n><![CDATA[", "]]></n></phone>", from, &after);
        if (number.empty()) break;
        const size_t need = number.size() + (phones.empty() ? 0 : 1);
        if (phones.size() + need > kWxContactTextLimit) break;
        if (!phones.empty()) phones += ' ';
        phones += number;
        from = after;
    }
    if (!phones.empty()) row.phone = phones;
}
