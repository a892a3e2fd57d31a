#include "chat/WxContactOps.h"

#include "core/records/WxContactRecord.h"

#include <string>

int32_t wxContactKindOfName(std::string_view userName) {
    if (userName.size() >= 4 && userName.compare(0, 3, "gh_") == 0) return 1;
    if (userName.find("@chatroom") != std::string_view::npos) return 2;
    return 0;
}

void wxContactMerge(WxContactRecord& target, const WxContactRecord& source) {
    auto fill = [](std::string& to, const std::string& from) {
        if (to.empty() && !from.empty()) to = from;
    };
    fill(target.userName, source.userName);
    fill(target.alias, source.alias);
    fill(target.nickName, source.nickName);
    fill(target.remark, source.remark);
    fill(target.address, source.address);
    fill(target.signature, source.signature);
    fill(target.headImageUrl, source.headImageUrl);
    fill(target.phone, source.phone);
}

const std::string& wxContactDisplayName(const WxContactRecord& contact) {
    return contact.remark.empty() ? contact.nickName : contact.remark;
}
