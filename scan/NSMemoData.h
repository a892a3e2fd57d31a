#pragma once
#include "scan/ResultProperty.h"

#include <QString>

// One reminder (the class names of reminders and notes are crossed over: this is the
// reminder row, delivered with ScanReminders).
class NSMemoData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(bool, bComplete, setBComplete)
    RESULT_PROPERTY(qint32, nPriority, setNPriority)
    RESULT_PROPERTY(QString, Title, setTitle)
    RESULT_PROPERTY(QString, Type, setType)
    RESULT_PROPERTY(QString, Content, setContent)
    RESULT_PROPERTY(QString, Location, setLocation)
    RESULT_PROPERTY(qint64, lDataTime, setLDataTime)
};
