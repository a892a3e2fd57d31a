#pragma once
#include <string>

// One contact phone number, as handed to the scan manager's contact list.
struct ContactRecord {
    bool deleted = false;
    std::string phone; // digits only
    std::string name;
    std::string email;
    std::string imagePath; // photo file written under the scan's output folder, or empty
    ContactRecord* prev = nullptr;
    ContactRecord* next = nullptr;
};
