#pragma once
#include "scan/ResultProperty.h"

#include <QString>

// One note (the class names of reminders and notes are crossed over: this is the
// note row, delivered with ScanMemo). Title and Content both hold the whole note.
class NSRemindersData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(QString, Title, setTitle)
    RESULT_PROPERTY(QString, Content, setContent)
    RESULT_PROPERTY(qint64, lDataTime, setLDataTime)
};
