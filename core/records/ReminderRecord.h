#pragma once
#include <cstdint>
#include <string>

// One reminder, as handed to the scan manager's reminder list. Both reminder parsers
// (the calendar database and the Reminders stores) fill the same list.
struct ReminderRecord {
    bool deleted = false; // carved, or marked for deletion in a Reminders store
    std::string title;    // reminder text
    std::string notes;
    std::string listTitle;  // title of the reminder list (empty from the Reminders stores)
    std::string location;   // location title or address
    int32_t priority = 0;   // as stored
    bool completed = false; // a completion date is present
    int64_t date = 0;       // Unix seconds: start date, or creation date in the stores
    int64_t dueDate = 0;    // Unix seconds; only the Reminders stores set it
    ReminderRecord* prev = nullptr;
    ReminderRecord* next = nullptr;
};
