#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Free helpers shared by the parsers, the backup reader and the scan code.

// Files and time.
int64_t appleTimeToUnix(int64_t t); // t + 978307200 (callers with untrusted input use CheckedTime.h)
std::string formatLocalTime(time_t t, const char* format); // empty when localtime fails
int64_t truncateDigits(int64_t value, int n);
// Estimated time left as "hh:mm:ss"; empty when done <= 1, total <= 0 or started is 0.
// Keeps one process-wide smoothing value between calls.
std::string remainingTimeText(int done, int total, time_t started);
void resetRemainingTimeSmoothing(); // forgets the smoothing value (tests)

// Text tests.
bool isAllDigits(const char* text);
bool isPhoneLike(const char* text);
bool isAccountIdText(const char* text);
bool fuzzyMatch(const char* a, const char* b, int n);
bool isWxRedPacketTitle(const char* text);
bool isWxFileMessage(const char* text);
bool isWxRedPacketText(const char* text);
bool isValidUtf8(const uint8_t* data, uint64_t length);

// Text changes and copies.
void normalizePhoneNumber(std::string& text);
std::string normalizePhoneNumber(const char* text);
void splitString(const std::string& text, const char* delimiters, std::vector<std::string>& out);
void replaceAll(std::string& s, const char* from, const char* to);
char* toLowerAscii(char* text);
std::string toLowerAscii(std::string text);
// Copy of at most `length` bytes, stopping at a NUL; -1 (and `out` empty) when length <= 0.
int copyBytes(std::string* out, const char* source, int length);
const char* findNthSubstring(const char* text, const char* pattern, int n);
const wchar_t* findNthWideSubstring(const wchar_t* text, const wchar_t* pattern, int n);

// Byte order.
uint16_t swap16(uint16_t v);
uint32_t swap32(uint32_t v);
uint64_t swap64(uint64_t v);
// Big-endian reads from memory (callers check the bounds).
inline uint16_t readBE16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t readBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
