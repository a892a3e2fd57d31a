#include "core/util/CommonUtils.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

// ---- Files and time -------------------------------------------------------------

int64_t appleTimeToUnix(int64_t t) {
    // Wraps instead of overflowing; callers with untrusted input use CheckedTime.h.
    return static_cast<int64_t>(static_cast<uint64_t>(t) + 978307200u);
}

std::string formatLocalTime(time_t t, const char* format) {
    if (!format) return std::string();
    struct tm local {};
    if (!localtime_r(&t, &local)) return std::string();
    char out[260];
    size_t n = std::strftime(out, sizeof out, format, &local);
    return std::string(out, n);
}

int64_t truncateDigits(int64_t value, int n) {
    if (n > 19) n = 19;
    if (n <= 0) return 0;
    // Works on the magnitude so a negative value keeps its sign.
    bool negative = value < 0;
    uint64_t magnitude = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    char digits[32];
    int len = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(magnitude));
    if (len <= n) return value;
    uint64_t cut = 0;
    for (int i = 0; i < n; ++i)
        cut = cut * 10 + uint64_t(digits[i] - '0');
    // n <= 19 digits taken from a magnitude of at most 20 digits: a 19-digit prefix of
    // 18446744073709551615 still fits in int64.
    return negative ? -static_cast<int64_t>(cut) : static_cast<int64_t>(cut);
}

namespace {
std::atomic<double> gRemainingSmoothing{0.0};
std::atomic<bool> gRemainingSmoothingSet{false};
} // namespace

void resetRemainingTimeSmoothing() {
    gRemainingSmoothingSet = false;
    gRemainingSmoothing = 0.0;
}

std::string remainingTimeText(int done, int total, time_t started) {
    if (done <= 1 || started == 0 || total <= 0) return std::string();
    double f = double(done) / double(total);
    double estimate = std::difftime(std::time(nullptr), started) / f;
    if (!std::isfinite(estimate)) estimate = 0;
    if (!gRemainingSmoothingSet.exchange(true)) gRemainingSmoothing = estimate;
    double smoothed = (estimate + gRemainingSmoothing.load()) / 2;
    gRemainingSmoothing = smoothed;
    double remaining = (1 - f) * smoothed;
    // More done than total, a clock that went back: nothing left to wait for.
    if (!std::isfinite(remaining) || remaining < 0) remaining = 0;
    int hours = remaining >= 356400.0 ? 99 : int(remaining) / 3600;
    int minutes = int(std::fmod(remaining / 60, 60));
    int seconds = int(std::fmod(remaining, 60));
    char out[32];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", hours, minutes, seconds);
    return out;
}

// ---- Text tests ------------------------------------------------------------------

bool isAllDigits(const char* text) {
    if (!text || !*text) return false;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    return true;
}

bool isPhoneLike(const char* text) {
    if (!text || !*text) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t counted = 0; // bytes left after taking away separators
    for (size_t i = 0; p[i]; ++i) {
        unsigned char c = p[i];
        if (c >= '0' && c <= '9') {
            ++counted;
        } else if (c == ' ' || c == '+' || c == '-' || c == '?') {
            // separator
        } else if (c == 0xC2) {
            if (p[i + 1] == 0xA0)
                ++i; // no-break space, both bytes are separators
            else
                ++counted; // a lone 0xC2 counts like a digit
        } else {
            return false;
        }
    }
    return counted > 2;
}

bool isAccountIdText(const char* text) {
    if (!text) return false;
    size_t len = std::strlen(text);
    if (len < 6 || len > 20) return false;
    for (size_t i = 0; i < len; ++i) {
        char c = text[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '@' || c == '_';
        if (!ok) return false;
    }
    return true;
}

bool fuzzyMatch(const char* a, const char* b, int n) {
    if (!a || !b) return false;
    if (std::strcmp(a, b) == 0) return true;
    size_t la = std::strlen(a);
    if (la == 0) return false;
    size_t k;
    if (n <= 0)
        k = la; // no divisor: the whole text must match as a prefix
    else
        k = la > size_t(n) ? la / size_t(n) : 1;
    return std::strncmp(a, b, k) == 0;
}

bool isWxRedPacketTitle(const char* text) {
    return text && std::strcmp(text, "微信红包") == 0;
}

bool isWxFileMessage(const char* text) {
    return text && std::strstr(text, "<type>6</type>") != nullptr;
}

bool isWxRedPacketText(const char* text) {
    static const char kPrefix[] = "微信红包 我给你发了一个红包,赶紧去拆!";
    static_assert(sizeof kPrefix - 1 == 54, "red packet text is 54 bytes");
    return text && std::strncmp(text, kPrefix, 54) == 0 && std::strlen(text) >= 54;
}

bool isValidUtf8(const uint8_t* data, uint64_t length) {
    if (!data || length == 0) return false;
    bool multiByte = false;
    uint64_t i = 0;
    while (i < length) {
        uint8_t c = data[i];
        int follow;
        if (c < 0x80)
            follow = 0;
        else if (c < 0xC0)
            return false; // continuation byte where a lead byte belongs
        else if (c < 0xE0)
            follow = 1;
        else if (c < 0xF0)
            follow = 2;
        else if (c < 0xF8)
            follow = 3;
        else if (c == 0xFC || c == 0xFD)
            follow = 5;
        else
            follow = 4;
        if (follow > 0) {
            if (length - i - 1 < uint64_t(follow)) return false;
            for (int j = 1; j <= follow; ++j) {
                if ((data[i + j] & 0xC0) != 0x80) return false;
            }
            multiByte = true;
        }
        i += uint64_t(follow) + 1;
    }
    return multiByte;
}

// ---- Text changes and copies -------------------------------------------------------

namespace {
void dropThroughFirst(std::string& text, const char* marker) {
    size_t pos = text.find(marker);
    if (pos != std::string::npos) text.erase(0, pos + std::strlen(marker));
}
} // namespace

void normalizePhoneNumber(std::string& text) {
    // Country codes of the mainland, Hong Kong and Macau go whole, with anything before.
    dropThroughFirst(text, "+86");
    dropThroughFirst(text, "+852");
    dropThroughFirst(text, "+853");
    std::string digits;
    digits.reserve(text.size());
    for (char c : text) {
        if (c >= '0' && c <= '9') digits += c;
    }
    text.swap(digits);
}

std::string normalizePhoneNumber(const char* text) {
    std::string s = text ? text : "";
    normalizePhoneNumber(s);
    return s;
}

void splitString(const std::string& text, const char* delimiters, std::vector<std::string>& out) {
    if (!delimiters || !*delimiters) {
        out.push_back(text);
        return;
    }
    size_t start = 0;
    for (;;) {
        size_t pos = text.find_first_of(delimiters, start);
        if (pos == std::string::npos) {
            out.push_back(text.substr(start));
            return;
        }
        out.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

void replaceAll(std::string& s, const char* from, const char* to) {
    if (!from || !*from) return;
    const char* with = to ? to : "";
    size_t fromLen = std::strlen(from), toLen = std::strlen(with);
    size_t pos = 0;
    while ((pos = s.find(from, pos, fromLen)) != std::string::npos) {
        s.replace(pos, fromLen, with, toLen);
        pos += toLen;
    }
}

char* toLowerAscii(char* text) {
    if (!text) return text;
    for (char* p = text; *p; ++p) {
        if (*p >= 'A' && *p <= 'Z') *p = char(*p - 'A' + 'a');
    }
    return text;
}

std::string toLowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
}

int copyBytes(std::string* out, const char* source, int length) {
    if (out) out->clear();
    if (length <= 0) return -1;
    if (out && source) {
        const void* nul = std::memchr(source, 0, size_t(length));
        size_t n = nul ? size_t(static_cast<const char*>(nul) - source) : size_t(length);
        out->assign(source, n);
    }
    return length;
}

const char* findNthSubstring(const char* text, const char* pattern, int n) {
    if (!text || !pattern || !*text || !*pattern) return nullptr;
    const char* found = nullptr;
    if (n < 0) {
        for (const char* p = std::strstr(text, pattern); p; p = std::strstr(p + 1, pattern))
            found = p;
        return found;
    }
    int want = n < 1 ? 1 : n;
    const char* p = std::strstr(text, pattern);
    for (int i = 1; p && i < want; ++i)
        p = std::strstr(p + 1, pattern);
    return p;
}

const wchar_t* findNthWideSubstring(const wchar_t* text, const wchar_t* pattern, int n) {
    if (!text || !pattern || !*text || !*pattern) return nullptr;
    const wchar_t* found = nullptr;
    if (n < 0) {
        for (const wchar_t* p = std::wcsstr(text, pattern); p; p = std::wcsstr(p + 1, pattern))
            found = p;
        return found;
    }
    int want = n < 1 ? 1 : n;
    const wchar_t* p = std::wcsstr(text, pattern);
    for (int i = 1; p && i < want; ++i)
        p = std::wcsstr(p + 1, pattern);
    return p;
}

// ---- Byte order ----------------------------------------------------------------------

uint16_t swap16(uint16_t v) {
    return __builtin_bswap16(v);
}
uint32_t swap32(uint32_t v) {
    return __builtin_bswap32(v);
}
uint64_t swap64(uint64_t v) {
    return __builtin_bswap64(v);
}
