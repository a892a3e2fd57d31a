#include "scan/engine/CScanSteps.h"

#include "chat/CWaChat.h"
#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxSession.h"
#include "core/apps/CAddressBook.h"
#include "core/apps/CBookMark.h"
#include "core/apps/CCalendar.h"
#include "core/apps/CCallHistory.h"
#include "core/apps/CMemo.h"
#include "core/apps/CReminder.h"
#include "core/apps/CReminderEx.h"
#include "core/apps/CSMS.h"
#include "scan/engine/CScanManager.h"

// One line per parser of this build: construct it with the scan manager as owner, run
// it, let it go out of scope before the next step. Steps left empty are parsers this
// build does not have yet; their lists are still reported (empty).
CScanSteps CScanSteps::Default() {
    CScanSteps steps;
    steps.bookmarks = [](CScanManager& owner) { return CBookMark(&owner).Scan(); };
    steps.calendar = [](CScanManager& owner) { return CCalendar(&owner).Scan(); };
    steps.reminders = [](CScanManager& owner) { return CReminder(&owner).Scan(); };
    steps.remindersEx = [](CScanManager& owner) { return CReminderEx(&owner).Scan(); };
    steps.notes = [](CScanManager& owner) { return CMemo(&owner).Scan(); };
    steps.contacts = [](CScanManager& owner) { return CAddressBook(&owner).Scan(); };
    steps.callHistory = [](CScanManager& owner) { return CCallHistory(&owner).Scan(); };
    steps.sms = [](CScanManager& owner) { return CSMS(&owner).Scan(); };
    steps.wxAddressBook = [](CScanManager& owner, int account) {
        return CWxAddressBook(&owner, account).Scan();
    };
    steps.wxSessionAndChat = [](CScanManager& owner, int account, bool withChats) {
        CWxSession session(&owner, account);
        bool ok = session.Scan();
        if (!withChats) return ok;
        // The chats count their own steps in a group of their own (the sessions' count
        // reached the end of theirs).
        owner.NextPhase();
        if (!owner.cancelled) ok = CWxChat(&owner, &session, account).Scan() && ok;
        return ok;
    };
    steps.whatsApp = [](CScanManager& owner) { return CWaChat(&owner).Scan(); };
    return steps;
}
