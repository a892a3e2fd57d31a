#pragma once
// Base64 of RFC 4648 section 4, without line breaks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every 3 bytes give 4 characters; a trailing 1 or 2 bytes give 2 or 3 characters and
// "==" or "=". An empty input gives an empty text.
std::string base64Encode(const uint8_t* data, std::size_t length);
std::string base64Encode(const std::vector<uint8_t>& data);

// Reads at most `length` characters and stops, without an error, at the first "=" or at
// the first character outside the alphabet (a space or a line break ends the input). A
// last group of 2 or 3 characters gives 1 or 2 bytes; a single one gives nothing.
std::vector<uint8_t> base64Decode(const char* text, std::size_t length);
std::vector<uint8_t> base64Decode(std::string_view text);
