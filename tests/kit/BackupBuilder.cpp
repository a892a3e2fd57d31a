#include "tests/kit/BackupBuilder.h"

#include "core/backup/BackupFileRecord.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace kit {

namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) ADD_FAILURE() << "cannot read " << path;
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string plistToBinary(plist_t root) {
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    std::string out = data ? std::string(data, length) : std::string();
    free(data);
    return out;
}

std::string plistToXml(plist_t root) {
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &data, &length);
    std::string out = data ? std::string(data, length) : std::string();
    free(data);
    return out;
}

void putString(std::string& out, const std::string& s) {
    // 16-bit length; 0xFFFF stands for an absent string.
    if (s.size() >= 0xFFFF) {
        ADD_FAILURE() << "a Manifest.mbdb string holds at most 65534 bytes (16-bit length), not " << s.size();
        return;
    }
    out += char((s.size() >> 8) & 0xFF);
    out += char(s.size() & 0xFF);
    out += s;
}
void putAbsent(std::string& out) {
    out += "\xFF\xFF";
}
void putBE(std::string& out, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += char((v >> (8 * i)) & 0xFF);
}

std::string lowerHex(const std::string& s) {
    std::string r = s;
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return r;
}

// Seconds since 2001-01-01 for a Unix time (the plist date epoch).
constexpr int64_t kAppleEpoch = 978307200;

} // namespace

std::string buildMbdbBytes(const std::vector<BackupBuilder::Entry>& entries) {
    std::string out("mbdb\x05\x00", 6);
    for (const auto& e : entries) {
        putString(out, e.domain);
        putString(out, e.relativePath);
        putAbsent(out); // link target
        putAbsent(out); // data hash
        putAbsent(out); // encryption key
        bool folder = e.size == 0;
        putBE(out, folder ? 0x41ED : 0x81A4, 2); // mode
        putBE(out, 0x1000 + out.size(), 8);      // inode
        putBE(out, 501, 4);                      // user id
        putBE(out, 501, 4);                      // group id
        putBE(out, uint32_t(e.mtime), 4);
        putBE(out, uint32_t(e.atime), 4);
        putBE(out, uint32_t(e.ctime), 4);
        putBE(out, e.size, 8);
        out += char(folder ? 0 : 4); // protection class
        out += char(0);              // property count
    }
    return out;
}

std::string buildManifestFileBlob(const BackupBuilder::Entry& e) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(root, "$top", top);

    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t file = plist_new_dict();
    plist_dict_set_item(file, "$class", plist_new_uid(3));
    plist_dict_set_item(file, "RelativePath", plist_new_uid(2));
    plist_dict_set_item(file, "Size", plist_new_uint(e.size));
    plist_dict_set_item(file, "LastModified", plist_new_uint(uint64_t(int64_t(e.mtime))));
    plist_dict_set_item(file, "LastStatusChange", plist_new_uint(uint64_t(int64_t(e.atime))));
    plist_dict_set_item(file, "Birth", plist_new_uint(uint64_t(int64_t(e.ctime))));
    plist_dict_set_item(file, "Mode", plist_new_uint(e.size == 0 ? 0x41ED : 0x81A4));
    plist_dict_set_item(file, "UserID", plist_new_uint(501));
    plist_dict_set_item(file, "GroupID", plist_new_uint(501));
    plist_dict_set_item(file, "InodeNumber", plist_new_uint(123456));
    plist_dict_set_item(file, "ProtectionClass", plist_new_uint(e.size == 0 ? 0 : 3));
    plist_dict_set_item(file, "Flags", plist_new_uint(0));
    plist_array_append_item(objects, file);
    plist_array_append_item(objects, plist_new_string(e.relativePath.c_str()));
    plist_t cls = plist_new_dict();
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string("MBFile"));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(cls, "$classes", classes);
    plist_dict_set_item(cls, "$classname", plist_new_string("MBFile"));
    plist_array_append_item(objects, cls);
    plist_dict_set_item(root, "$objects", objects);

    std::string bytes = plistToBinary(root);
    plist_free(root);
    return bytes;
}

void writeManifestDb(const fs::path& path, const std::vector<BackupBuilder::Entry>& entries) {
    std::error_code ec;
    fs::remove(path, ec);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "cannot create " << path;
        sqlite3_close(db);
        return;
    }
    auto exec = [&](const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            ADD_FAILURE() << "SQL failed: " << sql << ": " << (err ? err : "?");
        }
        sqlite3_free(err);
    };
    exec("PRAGMA journal_mode=DELETE;"
         "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, "
         "file BLOB);"
         "CREATE INDEX FilesDomainIdx ON Files(domain);"
         "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
         "CREATE INDEX FilesFlagsIdx ON Files(flags);"
         "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);"
         "BEGIN;");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO Files VALUES (?1, ?2, ?3, ?4, ?5)", -1, &st,
                           nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot prepare insert: " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return;
    }
    for (const auto& e : entries) {
        std::string id = lowerHex(backupHashedFileName(e.domain, e.relativePath));
        std::string blob = buildManifestFileBlob(e);
        sqlite3_bind_text(st, 1, id.data(), int(id.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, e.domain.data(), int(e.domain.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, e.relativePath.data(), int(e.relativePath.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, e.size == 0 ? 2 : 1);
        sqlite3_bind_blob(st, 5, blob.data(), int(blob.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE) ADD_FAILURE() << "insert failed: " << sqlite3_errmsg(db);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec("COMMIT;");
    sqlite3_close(db);
}

BackupBuilder::BackupBuilder(const fs::path& root, Generation generation)
    : root_(root), generation_(generation),
      productVersion_(generation == Generation::Mbdb ? "9.3.5" : "14.2") {
    std::error_code ec;
    fs::create_directories(root_, ec);
    if (ec) ADD_FAILURE() << "cannot create backup folder " << root_;
}

std::string BackupBuilder::StoredPath(const std::string& domain, const std::string& relativePath) const {
    // The layout follows the generation: flat for Manifest.mbdb, subfolders for Manifest.db.
    return backupStoredPath(backupHashedFileName(domain, relativePath),
                            generation_ == Generation::Mbdb ? 9 : 10);
}

fs::path BackupBuilder::AddFile(const std::string& domain, const std::string& relativePath,
                                const std::string& content, int32_t mtime, int32_t atime, int32_t ctime) {
    fs::path path = root_ / StoredPath(domain, relativePath);
    writeBytes(path, content);
    Entry e;
    e.domain = domain;
    e.relativePath = relativePath;
    e.size = content.size();
    e.mtime = mtime;
    e.atime = atime;
    e.ctime = ctime;
    entries_.push_back(e);
    return path;
}

fs::path BackupBuilder::AddFileFrom(const std::string& domain, const std::string& relativePath,
                                    const fs::path& source, int32_t mtime, int32_t atime, int32_t ctime) {
    return AddFile(domain, relativePath, readBytes(source), mtime, atime, ctime);
}

void BackupBuilder::AddFolder(const std::string& domain, const std::string& relativePath) {
    Entry e;
    e.domain = domain;
    e.relativePath = relativePath;
    e.size = 0;
    e.mtime = e.atime = e.ctime = 1500000000;
    entries_.push_back(e);
}

void BackupBuilder::SetProductVersion(const std::string& version) {
    productVersion_ = version;
}

void BackupBuilder::SetDevice(const std::string& name, const std::string& udid, const std::string& serial,
                              const std::string& productType) {
    name_ = name;
    udid_ = udid;
    serial_ = serial;
    productType_ = productType;
}

void BackupBuilder::SetEncrypted(bool encrypted) {
    encrypted_ = encrypted;
}

int BackupBuilder::IosMajorVersion() const {
    return std::atoi(productVersion_.c_str());
}

fs::path BackupBuilder::ManifestPath() const {
    return root_ / (generation_ == Generation::Mbdb ? "Manifest.mbdb" : "Manifest.db");
}

void BackupBuilder::Finish() {
    if (generation_ == Generation::Mbdb)
        writeBytes(ManifestPath(), buildMbdbBytes(entries_));
    else
        writeManifestDb(ManifestPath(), entries_);

    const int32_t backupDate = 1600000000 - int32_t(kAppleEpoch);

    // Info.plist: an XML property list, as the backup tool writes it.
    plist_t info = plist_new_dict();
    plist_dict_set_item(info, "Build Version", plist_new_string("18B92"));
    plist_dict_set_item(info, "Device Name", plist_new_string(name_.c_str()));
    plist_dict_set_item(info, "Display Name", plist_new_string(name_.c_str()));
    plist_dict_set_item(info, "GUID", plist_new_string("0123456789ABCDEF0123456789ABCDEF"));
    plist_dict_set_item(info, "Last Backup Date", plist_new_date(backupDate, 0));
    plist_dict_set_item(info, "Product Name", plist_new_string("iPhone"));
    plist_dict_set_item(info, "Product Type", plist_new_string(productType_.c_str()));
    plist_dict_set_item(info, "Product Version", plist_new_string(productVersion_.c_str()));
    plist_dict_set_item(info, "Serial Number", plist_new_string(serial_.c_str()));
    plist_dict_set_item(info, "Target Identifier", plist_new_string(udid_.c_str()));
    plist_dict_set_item(info, "Target Type", plist_new_string("Device"));
    plist_dict_set_item(info, "Unique Identifier", plist_new_string(udid_.c_str()));
    writeBytes(root_ / "Info.plist", plistToXml(info));
    plist_free(info);

    // Manifest.plist: a binary property list with the "Lockdown" dictionary.
    plist_t manifest = plist_new_dict();
    plist_dict_set_item(manifest, "Version",
                        plist_new_string(generation_ == Generation::Mbdb ? "9.1" : "10.0"));
    plist_dict_set_item(manifest, "Date", plist_new_date(backupDate, 0));
    plist_dict_set_item(manifest, "IsEncrypted", plist_new_bool(encrypted_ ? 1 : 0));
    plist_dict_set_item(manifest, "WasPasscodeSet", plist_new_bool(0));
    plist_dict_set_item(manifest, "SystemDomainsVersion", plist_new_string("24.0"));
    plist_dict_set_item(manifest, "Applications", plist_new_dict());
    plist_t lockdown = plist_new_dict();
    plist_dict_set_item(lockdown, "BuildVersion", plist_new_string("18B92"));
    plist_dict_set_item(lockdown, "DeviceName", plist_new_string(name_.c_str()));
    plist_dict_set_item(lockdown, "ProductType", plist_new_string(productType_.c_str()));
    plist_dict_set_item(lockdown, "ProductVersion", plist_new_string(productVersion_.c_str()));
    plist_dict_set_item(lockdown, "SerialNumber", plist_new_string(serial_.c_str()));
    plist_dict_set_item(lockdown, "UniqueDeviceID", plist_new_string(udid_.c_str()));
    plist_dict_set_item(manifest, "Lockdown", lockdown);
    writeBytes(root_ / "Manifest.plist", plistToBinary(manifest));
    plist_free(manifest);
}

} // namespace kit
