#pragma once
#include <string>

// One Safari bookmark, live or deleted. The same layout serves a parser's working
// list and the scan manager's bookmark list.
struct BookmarkRecord {
    bool deleted = false; // true for a bookmark carved out of free space
    std::string title;    // empty when the row had no title
    std::string url;
    BookmarkRecord* prev = nullptr;
    BookmarkRecord* next = nullptr;
};
