#pragma once
#include "scan/NSWXAddressBookData.h"
#include "scan/ResultProperty.h"

#include <QList>
#include <QString>

// One WeChat account of the contacts view: its contact tree, with the top nodes
// friends, official accounts and groups in this order (each only when it has a
// contact).
class NSWXChatAccount {
    RESULT_PROPERTY(QString, wxid, setWxid) // the account's own user name
    RESULT_PROPERTY(QString, HeadUrl, setHeadUrl)
    RESULT_PROPERTY(QString, key, setKey) // the account key
    RESULT_PROPERTY(QList<NSWXAddressBookData>, AccountWXData, setAccountWXData)

  public:
    QList<NSWXAddressBookData>& mutableAccountWXData() { return AccountWXData_; }
};
