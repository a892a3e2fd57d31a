#pragma once
#include "core/records/ScanLoss.h"

#include <QString>

#include <vector>

// The words the recovery page shows when a scan could not read everything: a heading,
// then one line per data type and kind of loss.
class ScanLossNotice {
  public:
    static QString Text(const std::vector<ScanLoss>& losses);
    // The name of a data type (one ScanDataType bit), as the type list shows it; the
    // word for the backup for 0 or an unknown bit.
    static QString TypeName(uint32_t dataType);
};
