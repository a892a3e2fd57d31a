// Fuzz target of the Messages parser: the input is "sms.db" itself, read live and carved,
// under both schema generations' device versions. Nothing may crash, hang or leak.
#include "core/apps/CSMS.h"
#include "core/records/ScanDataType.h"
#include "scan/engine/CScanManager.h"
#include "tests/fuzz/FuzzBackup.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBackup& backup = FuzzBackup::Instance();
    if (!backup.Write(data, size)) return 0;
    for (int ios : {4, 14}) {
        CScanManager owner(ScanSms, backup.Output().c_str(), backup.Root().c_str(), ios, nullptr, &backup);
        CSMS sms(&owner);
        sms.Scan();
    }
    return 0;
}
