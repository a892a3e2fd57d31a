#pragma once
#include "scan/ResultProperty.h"

#include <QString>

// One calendar event.
class NSCalendarData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(QString, Title, setTitle)
    RESULT_PROPERTY(QString, addres, setAddres)
    RESULT_PROPERTY(QString, Content, setContent)
    RESULT_PROPERTY(qint64, lStartTime, setLStartTime)
    RESULT_PROPERTY(qint64, lEndTime, setLEndTime)
    RESULT_PROPERTY(qint64, nLocationId, setNLocationId)
};
