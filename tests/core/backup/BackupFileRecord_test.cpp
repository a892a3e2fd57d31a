#include "core/backup/BackupFileRecord.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace {

std::string upperSha1(const std::string& s) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(s.data(), s.size(), out, &len, EVP_sha1(), nullptr);
    static const char digits[] = "0123456789ABCDEF";
    std::string r;
    for (unsigned i = 0; i < len; ++i) {
        r += digits[out[i] >> 4];
        r += digits[out[i] & 15];
    }
    return r;
}

} // namespace

TEST(BackupFileRecord, StoredNameOfTheMessagesDatabase) {
    BackupFileRecord r("HomeDomain", "Library/SMS/sms.db", 4096, 1, 2, 3);
    // The name every backup gives sms.db.
    EXPECT_EQ("3D0D7E5FB2CE288813306E4D4636395E047A3D28", r.storedName);
    EXPECT_EQ(upperSha1("HomeDomain-Library/SMS/sms.db"), r.storedName);
    EXPECT_EQ("/var/mobile/Library/SMS/sms.db", r.devicePath);
    EXPECT_EQ(4096u, r.size);
    EXPECT_EQ(1, r.mtime);
    EXPECT_EQ(2, r.atime);
    EXPECT_EQ(3, r.ctime);
}

TEST(BackupFileRecord, StoredNameIsAlwaysFortyUpperCaseDigits) {
    const std::pair<std::string, std::string> inputs[] = {
        {"HomeDomain", ""},
        {"", ""},
        {"AppDomain-com.tencent.xin", "Documents/abc/DB/MM.sqlite"},
        {"MediaDomain", std::string("Media/\xE5\x9B\xBE/IMG.JPG")},
        {"HomeDomain", std::string(5000, 'x')},
    };
    for (const auto& [domain, rel] : inputs) {
        std::string name = backupHashedFileName(domain, rel);
        ASSERT_EQ(40u, name.size());
        EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF"), std::string::npos) << name;
        EXPECT_EQ(upperSha1(domain + "-" + rel), name);
    }
}

TEST(BackupFileRecord, GivenStoredNameIsKeptUnchanged) {
    BackupFileRecord r("HomeDomain", "Library/SMS/sms.db", "not-a-digest", 10, 0, 0, 0);
    EXPECT_EQ("not-a-digest", r.storedName);
    EXPECT_EQ("/var/mobile/Library/SMS/sms.db", r.devicePath);
}

TEST(BackupFileRecord, DevicePathTable) {
    struct Case {
        const char* domain;
        const char* rel;
        const char* expected;
    };
    const Case cases[] = {
        {"WirelessDomain", "Library/CallHistory/call_history.db",
         "/var/wireless/Library/CallHistory/call_history.db"},
        {"ManagedPreferencesDomain", "a.plist", "/var/Managed Preferences/a.plist"},
        {"MediaDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", "/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG"},
        {"SystemPreferencesDomain", "x", "/var/preferences/x"},
        {"CameraRollDomain", "Media/DCIM/1.JPG", "/var/mobile/Media/DCIM/1.JPG"},
        {"RootDomain", "Library/a", "/var/root/Library/a"},
        {"MobileDeviceDomain", "b", "/var/MobileDevice/b"},
        {"KeychainDomain", "keychain-backup.plist", "/var/Keychains/keychain-backup.plist"},
        {"HomeDomain", "Library/SMS/sms.db", "/var/mobile/Library/SMS/sms.db"},
        {"DatabaseDomain", "timezone/x", "/var/db/timezone/x"},
        {"AppDomain-com.tencent.xin", "Documents/abc/DB/MM.sqlite",
         "/var/mobile/Applications/com.tencent.xin/Documents/abc/DB/MM.sqlite"},
        {"AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
         "/var/mobile/Applications/group.com.apple.notes/NoteStore.sqlite"},
        {"AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "ChatStorage.sqlite",
         "/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/ChatStorage.sqlite"},
        // An empty relative path gives the bare prefix.
        {"HomeDomain", "", "/var/mobile/"},
        {"AppDomain-x", "", "/var/mobile/Applications/x/"},
        // Unknown forms: no device path.
        {"AppDomainPlugin-com.apple.x", "a", ""},
        {"SysContainerDomain-com.apple.y", "a", ""},
        {"homedomain", "Library/SMS/sms.db", ""},
        {"HomeDomain ", "Library/SMS/sms.db", ""},
        {"", "Library/SMS/sms.db", ""},
        {"AppDomain", "a", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, backupDevicePath(c.domain, c.rel)) << c.domain << " / " << c.rel;
        EXPECT_EQ(c.expected, BackupFileRecord(c.domain, c.rel, 1, 0, 0, 0).devicePath);
    }
}

TEST(BackupFileRecord, StoredPathIsLowerCaseWithSubfolderFromIos10) {
    BackupFileRecord r("HomeDomain", "Library/SMS/sms.db", 1, 0, 0, 0);
    EXPECT_EQ("3d0d7e5fb2ce288813306e4d4636395e047a3d28", r.StoredPath(9));
    EXPECT_EQ("3d0d7e5fb2ce288813306e4d4636395e047a3d28", r.StoredPath(0));
    EXPECT_EQ("3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28", r.StoredPath(10));
    EXPECT_EQ("3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28", r.StoredPath(17));
    // The record itself keeps the upper-case name.
    EXPECT_EQ("3D0D7E5FB2CE288813306E4D4636395E047A3D28", r.storedName);
    EXPECT_EQ("ab/abcdef", backupStoredPath("ABCDEF", 12));
    EXPECT_EQ("", backupStoredPath("", 12));
}
