#pragma once
#include <cstdint>
#include <string>

// One call of the call history, as handed to the scan manager's call list.
struct CallRecord {
    bool deleted = false; // true for a call carved out of free space
    bool outgoing = false;
    std::string number;   // digits only
    std::string name;     // matching contact name, empty when none matches
    int64_t date = 0;     // Unix seconds
    int64_t duration = 0; // seconds
    CallRecord* prev = nullptr;
    CallRecord* next = nullptr;
};
