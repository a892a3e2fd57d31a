// The backup's own date, read from its Info.plist, bounds the dates of recovered
// records; a damaged or missing Info.plist gives no date (the scan's clock is used then).
#include "core/backup/BackupInfo.h"

#include "tests/kit/BackupBuilder.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Info.plist holding one value under "Last Backup Date", as XML or binary.
std::string infoWith(plist_t value, bool binary) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "Device Name", plist_new_string("Phone"));
    if (value) plist_dict_set_item(dict, "Last Backup Date", value);
    char* data = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(dict, &data, &length);
    else
        plist_to_xml(dict, &data, &length);
    std::string out = data ? std::string(data, length) : std::string();
    free(data);
    plist_free(dict);
    return out;
}

constexpr int64_t kAppleEpoch = 978307200;

TEST(BackupInfo, LastBackupDateOfTheKitsBackup) {
    kit::ScratchFolder scratch("backupinfo");
    kit::BackupBuilder builder(scratch.path() / "backup", kit::BackupBuilder::Generation::ManifestDb);
    builder.Finish();
    EXPECT_EQ(std::optional<int64_t>(1600000000), readLastBackupDate(builder.root().string()));
    EXPECT_EQ(std::optional<int64_t>(1600000000), readLastBackupDate(builder.root().string() + "/"));
}

TEST(BackupInfo, InfoPlistForms) {
    kit::ScratchFolder scratch("backupinfo");
    const struct {
        const char* name;
        std::string bytes;
        std::optional<int64_t> date;
    } cases[] = {
        {"xml", infoWith(plist_new_date(int32_t(1650000000 - kAppleEpoch), 0), false), 1650000000},
        {"binary", infoWith(plist_new_date(int32_t(1650000000 - kAppleEpoch), 500000), true), 1650000000},
        {"no date", infoWith(nullptr, false), std::nullopt},
        {"date as text", infoWith(plist_new_string("2022-04-15"), false), std::nullopt},
        {"not a plist", "\x01\x02 garbage", std::nullopt},
        {"empty", "", std::nullopt},
        {"cut short", infoWith(plist_new_date(1, 0), true).substr(0, 20), std::nullopt},
        {"an array", "<plist><array><date>2022-01-01T00:00:00Z</date></array></plist>", std::nullopt},
    };
    for (const auto& c : cases) {
        const fs::path dir = scratch.path() / c.name;
        write(dir / "Info.plist", c.bytes);
        EXPECT_EQ(c.date, readLastBackupDate(dir.string())) << c.name;
    }
    EXPECT_EQ(std::nullopt, readLastBackupDate((scratch.path() / "missing").string()));
    EXPECT_EQ(std::nullopt, readLastBackupDate(""));

    // A link in place of Info.plist is not followed; a folder there is no file.
    const fs::path linked = scratch.path() / "linked";
    fs::create_directories(linked);
    fs::create_symlink(scratch.path() / "xml" / "Info.plist", linked / "Info.plist");
    EXPECT_EQ(std::nullopt, readLastBackupDate(linked.string()));
    fs::create_directories(scratch.path() / "folder" / "Info.plist");
    EXPECT_EQ(std::nullopt, readLastBackupDate((scratch.path() / "folder").string()));
}

} // namespace
