#pragma once
// Readers of the texts and XML that WeChat stores as message content. Every getter
// returns the bytes between two markers, or an empty string when a marker is missing or
// the span is empty ("absent").
#include <cstdint>
#include <string>
#include <string_view>

struct WxMessageRecord;

std::string wxGetXmlTitle(std::string_view text);
std::string wxGetEmojiMd5(std::string_view text);
std::string wxGetImageAesKey(std::string_view text);
std::string wxGetVideoAesKey(std::string_view text);
std::string wxGetVoiceBufId(std::string_view text);
std::string wxGetVoipRecvTime(std::string_view text);
std::string wxGetLocationX(std::string_view text);
std::string wxGetCardUserName(std::string_view text);
// The first non-empty of the getters above, in that order: what identifies a rich
// message of a text.
std::string wxMessageKeyValue(std::string_view text);

// Fill the type-specific fields of a message from its content.
bool wxParseAppMessage(std::string_view text, WxMessageRecord& message); // may set 100001 / 100002
bool wxParseLocation(std::string_view text, WxMessageRecord& message);
bool wxParseCall(std::string_view text, WxMessageRecord& message);
bool wxParseCard(std::string_view text, WxMessageRecord& message); // false without a card user name

// The message type a content looks like (49, 50, 48, 42, 34, 43, 47, 3, else 1).
int32_t wxGuessMessageType(std::string_view text);

// Position of `attribute` (such as "username=\"") in `text` from `from` on where it
// stands at an attribute boundary: at the start or after a blank or '<'.
size_t wxFindAttribute(std::string_view text, std::string_view attribute, size_t from = 0);
