#pragma once
#include "scan/ResultProperty.h"

#include <QImage>
#include <QString>

// One contact phone number, with the contact picture scaled to a height of 106.
class NSContactData {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(qint32, nRecordId, setNRecordId)
    RESULT_PROPERTY(QString, Name, setName)
    RESULT_PROPERTY(QString, Phone, setPhone)
    RESULT_PROPERTY(QString, Email, setEmail)
    RESULT_PROPERTY(QImage, image, setImage)
};
