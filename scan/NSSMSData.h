#pragma once
#include "scan/ResultProperty.h"

#include <QString>

// One message of an SMS/iMessage conversation.
class NSSMSData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(qint32, nType, setNType)
    RESULT_PROPERTY(qint64, lDataTime, setLDataTime)
    RESULT_PROPERTY(QString, Content, setContent)
    RESULT_PROPERTY(QString, Time, setTime)
    RESULT_PROPERTY(qint64, Alignment, setAlignment)
};
