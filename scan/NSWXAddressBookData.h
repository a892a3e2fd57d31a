#pragma once
#include "scan/NSAddressBookInfo.h"
#include "scan/ResultProperty.h"

#include <QList>
#include <QString>

// One node of a WeChat contact tree: a top node (friends, official accounts, groups)
// or a group node below the groups node. `ICO` names the node's icon ("friends_ico",
// "public_ico", "Group_ico"); the views draw their own images for these names.
class NSWXAddressBookData {
    RESULT_PROPERTY(bool, bDelete, setBDelete) // a contact below it is marked deleted
    RESULT_PROPERTY(QString, AddressBookName, setAddressBookName)
    RESULT_PROPERTY(QList<NSAddressBookInfo>, AddressBook, setAddressBook)
    RESULT_PROPERTY(QList<NSWXAddressBookData>, NextObj, setNextObj)
    RESULT_PROPERTY(QString, ICO, setICO)
    RESULT_PROPERTY(qint64, WXType, setWXType) // 0 friends, 1 official accounts, 2 groups

  public:
    // The lists, for appending in place.
    QList<NSAddressBookInfo>& mutableAddressBook() { return AddressBook_; }
    QList<NSWXAddressBookData>& mutableNextObj() { return NextObj_; }
};
