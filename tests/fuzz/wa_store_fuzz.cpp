// Fuzz target of the WhatsApp parser: the input is one "ChatStorage.sqlite", read live,
// carved and turned into chats. Nothing may crash, hang or leak.
#include "chat/CWaChat.h"
#include "core/backup/WaStoreEntry.h"
#include "core/records/ScanDataType.h"
#include "scan/engine/CScanManager.h"
#include "tests/fuzz/FuzzBackup.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBackup& backup = FuzzBackup::Instance();
    if (!backup.Write(data, size)) return 0;
    WaStoreList stores;
    auto store = std::make_unique<WaStoreEntry>();
    store->folder = "/var/mobile/Containers/Shared/AppGroup/wa/";
    store->storedPath = FuzzBackup::kStored;
    stores.push_back(std::move(store));
    CScanManager owner(0x8000, backup.Output().c_str(), backup.Root().c_str(), 14, nullptr, &backup);
    owner.waStores = &stores;
    CWaChat chat(&owner);
    chat.Scan();
    return 0;
}
