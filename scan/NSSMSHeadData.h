#pragma once
#include "scan/NSSMSData.h"
#include "scan/ResultProperty.h"

#include <QList>
#include <QString>

// One SMS/iMessage conversation: its key (the address, or the localised word for
// "Unknown" with a counter), the contact name and the messages in parser order.
// A fresh object has an empty message list.
class NSSMSHeadData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(qint32, nHandleId, setNHandleId)
    RESULT_PROPERTY(QString, Phone, setPhone)
    RESULT_PROPERTY(QString, Name, setName)
    RESULT_PROPERTY(QList<NSSMSData>, SMSDataList, setSMSDataList)

  public:
    // The message list, for appending in place.
    QList<NSSMSData>& mutableSMSDataList() { return SMSDataList_; }
};
