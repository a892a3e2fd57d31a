// A scan learns the date of the backup it reads from the backup's Info.plist, for the
// parsers' date checks of recovered records.
#include "ScanFakes.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(ScanBackupDate, ScanReadsTheBackupsDateOnce) {
    kit::ScratchFolder scratch("scandate");
    kit::BackupBuilder builder(scratch.path() / "backup", kit::BackupBuilder::Generation::ManifestDb);
    builder.Finish();
    scantest::FakeFileParser parser;
    const std::string root = builder.root().string();
    {
        CScanManager m(0, (scratch.path() / "out").string().c_str(), root.c_str(), 14, nullptr, &parser);
        EXPECT_EQ(0, m.BackupDate());
        m.Scan();
        EXPECT_EQ(1600000000, m.BackupDate());
    }
    {
        // A date given before the scan stays.
        CScanManager m(0, (scratch.path() / "out").string().c_str(), root.c_str(), 14, nullptr, &parser);
        m.backupDate = 1650000000;
        m.Scan();
        EXPECT_EQ(1650000000, m.BackupDate());
    }
    {
        // No Info.plist: unknown.
        CScanManager m(0, (scratch.path() / "out").string().c_str(), scratch.path().string().c_str(), 14,
                       nullptr, &parser);
        m.Scan();
        EXPECT_EQ(0, m.BackupDate());
    }
}

} // namespace
