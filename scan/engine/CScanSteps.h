#pragma once
#include <functional>

class CScanManager;

// The parser runs of a scan, one entry per step of CScanManager::ScanDatabases. Each
// entry constructs its parser with the scan manager as owner, runs its Scan and
// deletes it; an empty entry is a step whose parser is absent (its list is still
// reported). Tests replace entries with fakes.
struct CScanSteps {
    using Run = std::function<bool(CScanManager&)>;
    using AccountRun = std::function<bool(CScanManager&, int accountIndex)>;
    // Runs the session parser of an account and, when `withChats`, the chat parser
    // over it, within the session parser's lifetime.
    using SessionRun = std::function<bool(CScanManager&, int accountIndex, bool withChats)>;

    Run bookmarks;               // CBookMark
    Run calendar;                // CCalendar
    Run reminders;               // CReminder
    Run remindersEx;             // CReminderEx
    Run notes;                   // CMemo
    Run contacts;                // CAddressBook
    Run callHistory;             // CCallHistory
    Run sms;                     // CSMS
    AccountRun wxAddressBook;    // CWxAddressBook
    SessionRun wxSessionAndChat; // CWxSession, then CWxChat
    Run whatsApp;                // CWaChat

    // The steps of every parser this build has.
    static CScanSteps Default();
};
