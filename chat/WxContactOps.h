#pragma once
// Operations on WeChat contact records.
#include <cstdint>
#include <string>
#include <string_view>

struct WxContactRecord;

// Kind of a bare user name: 1 official account ("gh_" and at least 4 bytes), 2 group
// (holds "@chatroom"), else 0 friend.
int32_t wxContactKindOfName(std::string_view userName);

// Fills the target's empty texts (user name, alias, nickname, remark, address,
// signature, head-image URL, phone) from the source's non-empty ones.
void wxContactMerge(WxContactRecord& target, const WxContactRecord& source);

// The name a message shows for a contact: its remark, else its nickname.
const std::string& wxContactDisplayName(const WxContactRecord& contact);
