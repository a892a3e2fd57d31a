// The backup builder of the test kit writes what real backups hold; the manifest reader
// tests rest on it, so its output is checked here against the formats themselves.
#include "tests/kit/BackupBuilder.h"

#include "core/backup/BackupFileRecord.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

fs::path tempDir(const std::string& name) {
    fs::path d = fs::temp_directory_path() / ("builder_test_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(d);
    return d;
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

plist_t readPlist(const fs::path& p) {
    std::string bytes = readAll(p);
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
    return root;
}

std::string dictString(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    char* s = nullptr;
    if (node && plist_get_node_type(node) == PLIST_STRING) plist_get_string_val(node, &s);
    std::string r = s ? s : "";
    free(s);
    return r;
}

uint64_t dictUint(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    uint64_t v = 0;
    if (node && plist_get_node_type(node) == PLIST_UINT) plist_get_uint_val(node, &v);
    return v;
}

} // namespace

TEST(BackupBuilder, MbdbGenerationIsFlatAndLowerCase) {
    fs::path root = tempDir("mbdb");
    kit::BackupBuilder b(root, kit::BackupBuilder::Generation::Mbdb);
    fs::path sms = b.AddFile("HomeDomain", "Library/SMS/sms.db", "SQLite bytes", 11, 22, 33);
    b.AddFolder("HomeDomain", "Library/SMS");
    b.Finish();

    EXPECT_EQ(9, b.IosMajorVersion());
    EXPECT_EQ(root / "3d0d7e5fb2ce288813306e4d4636395e047a3d28", sms);
    EXPECT_EQ("SQLite bytes", readAll(sms));
    EXPECT_EQ(root / "Manifest.mbdb", b.ManifestPath());

    std::string mbdb = readAll(b.ManifestPath());
    kit::BackupBuilder::Entry e{"HomeDomain", "Library/SMS/sms.db", 12, 11, 22, 33};
    kit::BackupBuilder::Entry folder{"HomeDomain", "Library/SMS", 0, 1500000000, 1500000000, 1500000000};
    EXPECT_EQ(kit::buildMbdbBytes({e, folder}), mbdb);
    // Header, then the first record: domain string, path string, three absent strings.
    ASSERT_GT(mbdb.size(), 6u + 2 + 10 + 2 + 18 + 6 + 40);
    EXPECT_EQ(std::string("mbdb\x05\x00", 6), mbdb.substr(0, 6));
    EXPECT_EQ(std::string("\x00\x0aHomeDomain", 12), mbdb.substr(6, 12));
    size_t block = 6 + 12 + 20 + 6;
    auto be = [&](size_t at, int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | uint8_t(mbdb[at + i]);
        return v;
    };
    EXPECT_EQ(11u, be(block + 18, 4));
    EXPECT_EQ(22u, be(block + 22, 4));
    EXPECT_EQ(33u, be(block + 26, 4));
    EXPECT_EQ(12u, be(block + 30, 8));

    plist_t manifest = readPlist(root / "Manifest.plist");
    ASSERT_NE(nullptr, manifest);
    EXPECT_EQ("9.3.5", dictString(plist_dict_get_item(manifest, "Lockdown"), "ProductVersion"));
    plist_free(manifest);
    fs::remove_all(root);
}

TEST(BackupBuilder, ManifestDbGenerationUsesSubfoldersAndKeyedArchives) {
    fs::path root = tempDir("db");
    kit::BackupBuilder b(root, kit::BackupBuilder::Generation::ManifestDb);
    b.SetDevice("Phone X", "ABCDEF0123", "SER1", "iPhone10,3");
    b.SetEncrypted(true);
    fs::path sms = b.AddFile("HomeDomain", "Library/SMS/sms.db", "abc", 1600000001, 1600000002, 1600000003);
    b.Finish();

    EXPECT_EQ(14, b.IosMajorVersion());
    EXPECT_EQ(root / "3d" / "3d0d7e5fb2ce288813306e4d4636395e047a3d28", sms);
    EXPECT_TRUE(fs::is_regular_file(sms));
    EXPECT_EQ("3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28",
              b.StoredPath("HomeDomain", "Library/SMS/sms.db"));

    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(b.ManifestPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "SELECT fileID, domain, relativePath, file FROM Files", -1,
                                            &st, nullptr));
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(st));
    EXPECT_STREQ("3d0d7e5fb2ce288813306e4d4636395e047a3d28",
                 reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    EXPECT_STREQ("HomeDomain", reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    std::string blob(static_cast<const char*>(sqlite3_column_blob(st, 3)),
                     size_t(sqlite3_column_bytes(st, 3)));
    EXPECT_EQ(SQLITE_DONE, sqlite3_step(st));
    sqlite3_finalize(st);
    sqlite3_close(db);

    EXPECT_EQ("bplist00", blob.substr(0, 8));
    plist_t archive = nullptr;
    plist_from_bin(blob.data(), uint32_t(blob.size()), &archive);
    ASSERT_NE(nullptr, archive);
    plist_t attrs = plist_array_get_item(plist_dict_get_item(archive, "$objects"), 1);
    ASSERT_NE(nullptr, attrs);
    EXPECT_EQ(3u, dictUint(attrs, "Size"));
    EXPECT_EQ(1600000001u, dictUint(attrs, "LastModified"));
    EXPECT_EQ(1600000002u, dictUint(attrs, "LastStatusChange"));
    EXPECT_EQ(1600000003u, dictUint(attrs, "Birth"));
    plist_free(archive);

    plist_t info = readPlist(root / "Info.plist");
    ASSERT_NE(nullptr, info);
    EXPECT_EQ("14.2", dictString(info, "Product Version"));
    EXPECT_EQ("Phone X", dictString(info, "Device Name"));
    EXPECT_EQ("ABCDEF0123", dictString(info, "Unique Identifier"));
    EXPECT_EQ("iPhone10,3", dictString(info, "Product Type"));
    plist_free(info);

    plist_t manifest = readPlist(root / "Manifest.plist");
    ASSERT_NE(nullptr, manifest);
    uint8_t encrypted = 0;
    plist_get_bool_val(plist_dict_get_item(manifest, "IsEncrypted"), &encrypted);
    EXPECT_EQ(1, encrypted);
    plist_t lockdown = plist_dict_get_item(manifest, "Lockdown");
    EXPECT_EQ("SER1", dictString(lockdown, "SerialNumber"));
    EXPECT_EQ("ABCDEF0123", dictString(lockdown, "UniqueDeviceID"));
    plist_free(manifest);
    fs::remove_all(root);
}

// A "Manifest.mbdb" string carries a 16-bit length and 0xFFFF marks an absent string:
// a longer text cannot be written, and writing its cut length would give a damaged
// manifest where the test meant a sound one.
TEST(BackupBuilder, MbdbStringTooLongForItsLengthIsATestFailure) {
    kit::BackupBuilder::Entry longPath{"HomeDomain", std::string(0xFFFF, 'p'), 1, 0, 0, 0};
    EXPECT_NONFATAL_FAILURE(kit::buildMbdbBytes({longPath}), "16-bit");
    kit::BackupBuilder::Entry longest{"HomeDomain", std::string(0xFFFE, 'p'), 1, 0, 0, 0};
    EXPECT_EQ(6u + 12 + 2 + 0xFFFE + 6 + 40, kit::buildMbdbBytes({longest}).size());
}
