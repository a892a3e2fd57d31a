#include "core/apps/NoteText.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/CommonUtils.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

bool looksLikeGzipMember(const uint8_t* data, size_t length) {
    if (!data || length < kMinGzipMemberBytes) return false;
    // Magic, deflate, and no flag bits zlib would refuse (bits 5 to 7 are reserved).
    return data[0] == 0x1F && data[1] == 0x8B && data[2] == 0x08 && (data[3] & 0xE0) == 0;
}

bool gunzipMember(const char* in, size_t inLength, std::string* out, size_t maxOutput) {
    if (!out) return false;
    out->clear();
    if (!in || inLength < kMinGzipMemberBytes || maxOutput == 0) return false;

    z_stream stream{};
    // 16 + MAX_WBITS: a gzip wrapper, with optional header fields and the trailer checked.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return false;

    const Bytef* next = reinterpret_cast<const Bytef*>(in);
    size_t inLeft = inLength;
    size_t produced = 0;
    // First guess: a few times the input, grown by doubling up to the cap.
    size_t capacity = std::min(maxOutput, std::max<size_t>(4096, inLength * 4));
    out->resize(capacity);
    bool ok = false;
    for (;;) {
        if (stream.avail_in == 0 && inLeft > 0) {
            uInt take = static_cast<uInt>(std::min<size_t>(inLeft, UINT_MAX));
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = take;
            next += take;
            inLeft -= take;
        }
        if (produced == capacity) {
            if (capacity >= maxOutput) break; // would exceed the cap
            capacity = capacity > maxOutput / 2 ? maxOutput : capacity * 2;
            out->resize(capacity);
        }
        size_t room = std::min<size_t>(capacity - produced, UINT_MAX);
        stream.next_out = reinterpret_cast<Bytef*>(out->data() + produced);
        stream.avail_out = static_cast<uInt>(room);
        int rc = inflate(&stream, Z_NO_FLUSH);
        produced += room - stream.avail_out;
        if (rc == Z_STREAM_END) {
            ok = true;
            break;
        }
        if (rc == Z_OK) continue;
        // No progress possible: more room would help only when output was the limit.
        if (rc == Z_BUF_ERROR && stream.avail_out == 0) continue;
        break; // truncated input (Z_BUF_ERROR with nothing left) or corrupt data
    }
    inflateEnd(&stream);
    if (!ok) {
        out->clear();
        return false;
    }
    out->resize(produced);
    return true;
}

namespace {

// Reads the expected tag byte and the varint behind it; advances pos.
bool readTaggedVarint(const uint8_t* data, size_t length, size_t* pos, uint8_t tag, uint64_t* value) {
    if (*pos >= length || data[*pos] != tag) return false;
    ++*pos;
    size_t left = length - *pos;
    int32_t bound = static_cast<int32_t>(std::min<size_t>(left, INT32_MAX));
    int used = CCommonInterFace::ParseVarintChecked(data + *pos, bound, value, false);
    if (used <= 0) return false;
    *pos += static_cast<size_t>(used);
    return true;
}

} // namespace

bool noteTextFromProtobuf(const uint8_t* data, size_t length, std::string* text) {
    if (!data || !text) return false;
    text->clear();
    size_t pos = 0;
    uint64_t v = 0;
    if (!readTaggedVarint(data, length, &pos, 0x08, &v)) return false; // version
    if (!readTaggedVarint(data, length, &pos, 0x12, &v)) return false; // document
    if (!readTaggedVarint(data, length, &pos, 0x08, &v)) return false;
    if (!readTaggedVarint(data, length, &pos, 0x10, &v)) return false;
    if (!readTaggedVarint(data, length, &pos, 0x1A, &v)) return false; // note
    uint64_t n = 0;
    if (!readTaggedVarint(data, length, &pos, 0x12, &n)) return false; // note text
    if (n > length - pos) return false;
    const char* start = reinterpret_cast<const char*>(data + pos);
    const void* nul = std::memchr(start, 0, static_cast<size_t>(n));
    size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - start) : static_cast<size_t>(n);
    text->assign(start, len);
    return true;
}

bool cleanNoteHtml(const char* html, std::string* text) {
    if (!html || !text) return false;
    const char* div = std::strstr(html, "<div>");
    if (!div) return false;
    std::string head(html, static_cast<size_t>(div - html));
    std::string rest(div + 5);
    replaceAll(rest, "<div>", "");
    replaceAll(rest, "</div>", "\n");
    replaceAll(rest, "<br>", "\n");
    replaceAll(rest, "&nbsp;", " ");
    size_t skip = rest.find_first_not_of('\n');
    rest.erase(0, skip == std::string::npos ? rest.size() : skip);
    *text = head + "\n" + rest;
    return true;
}
