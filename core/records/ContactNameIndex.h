#pragma once
#include "core/records/ContactRecord.h"
#include "core/records/RecordList.h"

#include <string>
#include <string_view>
#include <unordered_map>

// The contact names of a contact list by phone number, for parsers that name many
// numbers: the same answer as IParserOwner::FindContactName (the name of the first
// contact whose phone equals the number's C string), without a walk per number. The
// list must outlive the index and stay unchanged while it is used.
class ContactNameIndex {
  public:
    explicit ContactNameIndex(const RecordList<ContactRecord>& contacts) {
        for (const ContactRecord* c = contacts.first; c; c = c->next)
            if (!c->phone.empty() && c->phone.find('\0') == std::string::npos) byPhone.emplace(c->phone, c);
    }

    // The contact's own name string, or null.
    const char* Find(const char* phone) const {
        if (!phone || !*phone) return nullptr;
        auto it = byPhone.find(std::string_view(phone));
        return it == byPhone.end() ? nullptr : it->second->name.c_str();
    }

  private:
    std::unordered_map<std::string_view, const ContactRecord*> byPhone;
};
