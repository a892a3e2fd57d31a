#pragma once
#include <cstdint>
#include <string>

// One calendar event, as handed to the scan manager's calendar list.
struct CalendarRecord {
    bool deleted = false; // carved from free space
    std::string title;
    std::string description; // notes of the event
    std::string location;    // location title
    int64_t start = 0;       // Unix seconds
    int64_t end = 0;         // Unix seconds
    CalendarRecord* prev = nullptr;
    CalendarRecord* next = nullptr;
};
