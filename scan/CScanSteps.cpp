#include "scan/CScanSteps.h"

#include "chat/CWaChat.h"
#include "core/CAddressBook.h"
#include "core/CBookMark.h"
#include "core/CCalendar.h"
#include "core/CCallHistory.h"
#include "core/CMemo.h"
#include "core/CReminder.h"
#include "core/CReminderEx.h"
#include "core/CSMS.h"
#include "scan/CScanManager.h"

// One line per parser of this build: construct it with the scan manager as owner, run
// it, let it go out of scope before the next step. Steps left empty (the chat-app
// parsers) are parsers this build does not have yet; their lists are still reported
// (empty).
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
    steps.whatsApp = [](CScanManager& owner) { return CWaChat(&owner).Scan(); };
    return steps;
}
