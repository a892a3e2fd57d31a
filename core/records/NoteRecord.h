#pragma once
#include <cstdint>
#include <string>

// One note, as handed to the scan manager's notes list.
struct NoteRecord {
    bool deleted = false;
    std::string text; // the whole note, title line first; never null
    int64_t date = 0; // Unix seconds; 0 when unknown
    NoteRecord* prev = nullptr;
    NoteRecord* next = nullptr;
};
