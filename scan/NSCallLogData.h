#pragma once
#include "scan/ResultProperty.h"

#include <QString>

// One call of the call history.
class NSCallLogData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(qint32, nType, setNType)
    RESULT_PROPERTY(qint64, lDataTime, setLDataTime)
    RESULT_PROPERTY(qint64, lDuration, setLDuration)
    RESULT_PROPERTY(QString, Name, setName)
    RESULT_PROPERTY(QString, Phone, setPhone)
};
