#pragma once
#include "scan/ResultProperty.h"

#include <QString>

// One Safari bookmark.
class NSBookmarksData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(QString, BookMarks, setBookMarks)
    RESULT_PROPERTY(QString, Address, setAddress)
};
