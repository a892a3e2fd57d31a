// Fuzz target of the backup manifest reader: the input is "Manifest.mbdb" or "Manifest.db"
// (its magic decides), read as a backup of iOS 9 and of iOS 14; then every category list,
// device-path look-ups, WeChat account discovery and the WhatsApp store list run over
// what was read. Nothing may crash, hang or leak.
#include "core/backup/CMbdbFileParser.h"
#include "tests/fuzz/FuzzBackup.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBackup& backup = FuzzBackup::Instance();
    if (!backup.Write(data, size, "Manifest")) return 0;
    const std::string manifest = backup.Root() + "Manifest";
    for (int ios : {9, 14}) {
        CMbdbFileParser parser;
        if (!parser.Open(manifest.c_str(), backup.Root().c_str(), ios)) continue;
        for (int category = 0; category <= 11; ++category)
            parser.GetEntryList(category);
        std::string stored;
        parser.GetBackupFileName(1, "/var/mobile/Library/SMS/sms.db", &stored);
        parser.GetBackupFileName(2, "/var/mobile/Library/AddressBook/AddressBook.sqlitedb", &stored);
        if (!stored.empty()) parser.GetLogFileName(stored, &stored);
        parser.GetReminderStores();
        parser.SetWxAvatarPrefix("http://wx.qlogo.cn/");
        parser.ScanWeChatAccounts();
        parser.FindAccount(0);
        parser.ScanWhatsApp();
        parser.FirstWhatsAppStore();
    }
    return 0;
}
