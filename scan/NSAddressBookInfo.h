#pragma once
#include "scan/ResultProperty.h"

#include <QImage>
#include <QString>

// One WeChat contact of an account's contact tree.
class NSAddressBookInfo {
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(bool, bFriend, setBFriend)
    RESULT_PROPERTY(QString, WxDefaultId, setWxDefaultId) // user name
    RESULT_PROPERTY(QString, WxId, setWxId)               // alias, else the user name
    RESULT_PROPERTY(QString, NickName, setNickName)
    RESULT_PROPERTY(QString, RemarkName, setRemarkName)
    RESULT_PROPERTY(QString, Address, setAddress)
    RESULT_PROPERTY(QString, Signature, setSignature)
    RESULT_PROPERTY(QImage, Head, setHead)
    RESULT_PROPERTY(QString, Phone, setPhone)
    RESULT_PROPERTY(QString, URLImage, setURLImage)
    RESULT_PROPERTY(QString, Account, setAccount) // key of the owning account
};
