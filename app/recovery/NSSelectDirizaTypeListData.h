#pragma once
#include <QString>

// One row of the recovery page's type list: a group head or a data type, with its
// record count (-1 until the type's result view reported one) and its tick.
struct NSSelectDirizaTypeListData {
    bool isTypeHead = false;
    int nNum = -1;
    QString TypeIcon; // image name; empty for heads
    QString TypeName; // localised name
    int Type = 0;     // type number, or head number 101 to 103
    bool ticked = false;
};
