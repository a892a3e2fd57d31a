#pragma once
// Decoders of the contact fields WeChat stores as protobuf blobs and as XML. Every
// length read from a blob is checked against the bytes left; a decoder stops at the
// first field that does not fit and keeps what it set before.
#include "chat/WxContactRow.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Longest address or phone text the decoders build (bytes).
constexpr size_t kWxContactTextLimit = 259;

void wxParseRemarkBlob(const uint8_t* data, size_t size, WxContactRow& row);
void wxParseHeadImageBlob(const uint8_t* data, size_t size, WxContactRow& row);
void wxParseProfileBlob(const uint8_t* data, size_t size, WxContactRow& row);
void wxParseSocialBlob(const uint8_t* data, size_t size, WxContactRow& row);
void wxParseChatRoomBlob(const uint8_t* data, size_t size, WxContactRow& row);
void wxParseFriendExtXml(std::string_view text, WxContactRow& row);
// Appends the ';'-separated names of `text` (empty ones between separators too; a
// trailing ';' adds none).
void wxSplitMemberText(std::string_view text, WxContactRow& row);
