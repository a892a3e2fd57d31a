#include "app/recovery/DirizaTypeList.h"

#include "gui/NSLanguageText.h"

#include <algorithm>

std::vector<int> DirizaTypeList::Members(int head) {
    switch (head) {
    case HeadSystem:
        return {5, 6, 7, 8, 9, 10, 11};
    case HeadMedia:
        return {0, 1, 2, 3, 4};
    case HeadChat:
        return {12, 13, 14, 15, 16};
    default:
        return {};
    }
}

int DirizaTypeList::HeadOf(int type) {
    if (type >= 5 && type <= 11) return HeadSystem;
    if (type >= 0 && type <= 4) return HeadMedia;
    if (type >= 12 && type <= 16) return HeadChat;
    return 0;
}

QString DirizaTypeList::NameOf(int type) {
    switch (type) {
    case 0:
        return LanguageText("DataTypePhoto");
    case 1:
        return LanguageText("DataTypeVideo");
    case 2:
        return LanguageText("DataTypeSmsAttach");
    case 3:
        return LanguageText("DataTypeMemoAttach");
    case 4:
        return LanguageText("DataTypeVoiceMemo");
    case 5:
        return LanguageText("DataTypeSms");
    case 6:
        return LanguageText("DataTypeCallHistory");
    case 7:
        return LanguageText("DataTypeAddressBook");
    case 8:
        return LanguageText("DataTypeBookMark");
    case 9:
        return LanguageText("DataTypeReminder");
    case 10:
        return LanguageText("DataTypeMemo");
    case 11:
        return LanguageText("DataTypeCalendar");
    case 12:
        return LanguageText("DataTypeWxAddressBook");
    case 13:
        return LanguageText("DataTypeWxSms");
    case 14:
        return LanguageText("DataTypeWxAttach");
    case 15:
        return LanguageText("DataTypeWaSms");
    case 16:
        return LanguageText("DataTypeWaSmsAttach");
    case HeadSystem:
        return LanguageText("DataTypeGroup1");
    case HeadMedia:
        return LanguageText("DataTypeGroup2");
    case HeadChat:
        return LanguageText("DataTypeGroup3");
    default:
        return QString();
    }
}

QString DirizaTypeList::IconOf(int type) {
    static const char* const icons[] = {"photo_logo",
                                        "video_logo",
                                        "SMSAttachment_logo",
                                        "MemoAttachment_logo",
                                        "VoiceAttachment_logo",
                                        "sms_logo",
                                        "CallLog_logo",
                                        "addressbook_logo",
                                        "bookmarks_logo",
                                        "Reminders_logo",
                                        "Memo_logo",
                                        "Calendar_logo",
                                        "WXAddressBook_logo",
                                        "wx_logo",
                                        "WXAddressBook_logo",
                                        "WhatsAppChatRecord_logo",
                                        "whatsAppAttachment_logo"};
    if (type < 0 || type > 16) return QString();
    return QString::fromLatin1(icons[type]);
}

QString DirizaTypeList::CountText(int n) {
    if (n > 10000)
        return SafeFormat(QStringLiteral("%d%@+"), {QString::number(n / 10000), LanguageText("UnitWan")});
    return QString::number(n);
}

QString DirizaTypeList::RowText(const NSSelectDirizaTypeListData& row) {
    if (row.nNum < 0) return row.TypeName;
    return SafeFormat(QStringLiteral("%@(%@)"), {row.TypeName, CountText(row.nNum)});
}

void DirizaTypeList::Add(int type, bool head) {
    NSSelectDirizaTypeListData row;
    row.isTypeHead = head;
    row.Type = type;
    row.TypeName = NameOf(type);
    if (!head) row.TypeIcon = IconOf(type);
    rows.push_back(row);
}

void DirizaTypeList::Load(const QStringList& selection) {
    const auto chosen = [&](int i) { return i < selection.size() && selection.at(i) == QLatin1String("1"); };
    for (int head : {HeadSystem, HeadMedia, HeadChat}) {
        const std::vector<int> members = Members(head);
        if (std::none_of(members.begin(), members.end(), chosen)) continue;
        Add(head, true);
        for (int t : members)
            if (chosen(t)) Add(t, false);
    }
}

void DirizaTypeList::Clear() {
    rows.clear();
    device = false;
}

void DirizaTypeList::Relabel() {
    for (auto& r : rows)
        r.TypeName = NameOf(r.Type);
}

bool DirizaTypeList::SetCount(int type, int count) {
    bool found = false;
    for (auto& r : rows)
        if (!r.isTypeHead && r.Type == type) {
            r.nNum = count;
            found = true;
        }
    return found;
}

bool DirizaTypeList::HasRowOf(int type) const {
    return std::any_of(rows.begin(), rows.end(), [&](const auto& r) { return r.Type == type; });
}

void DirizaTypeList::SetTicks(int type, bool on) {
    for (auto& r : rows)
        if (r.Type == type) r.ticked = on;
}

bool DirizaTypeList::AllMembersTicked(int head) const {
    const std::vector<int> members = Members(head);
    for (const auto& r : rows)
        if (!r.isTypeHead && std::find(members.begin(), members.end(), r.Type) != members.end() && !r.ticked)
            return false;
    return true;
}

void DirizaTypeList::CheckSelectState(int type, bool on) {
    if (!Members(type).empty()) {
        for (int m : Members(type))
            SetTicks(m, on);
    } else if (const int head = HeadOf(type)) {
        if (on && AllMembersTicked(head)) SetTicks(head, true);
        if (!on && !AllMembersTicked(head)) SetTicks(head, false);
    }
    device = std::all_of(rows.begin(), rows.end(), [](const auto& r) { return !r.isTypeHead || r.ticked; });
}

void DirizaTypeList::ViewisAllSelect(int type, bool all) {
    SetTicks(type, all);
    CheckSelectState(type, all);
}

DirizaTypeList::ViewSelection DirizaTypeList::TickDevice(bool on) {
    for (auto& r : rows)
        r.ticked = on;
    device = on;
    ViewSelection v{{}, on};
    for (int t = 0; t <= 14; ++t)
        v.types.push_back(t);
    return v;
}

DirizaTypeList::ViewSelection DirizaTypeList::TickRow(int type, bool on) {
    SetTicks(type, on);
    CheckSelectState(type, on);
    ViewSelection v{{}, on};
    if (type >= 0 && type <= 14) {
        v.types.push_back(type);
    } else {
        for (int m : Members(type))
            if (m <= 14) v.types.push_back(m);
    }
    return v;
}
