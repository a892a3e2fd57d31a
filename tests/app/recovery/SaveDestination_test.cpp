// Where a save may go: an existing, writable folder outside every folder the save reads.
#include "app/recovery/SaveDestination.h"

#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

struct DestinationCase {
    const char* label;
    fs::path folder;
    bool writable;
    SaveDestination::Verdict verdict;
};

TEST(SaveDestinationTest, Table) {
    kit::ScratchFolder scratch("destination");
    const fs::path root = scratch.path();
    fs::create_directories(root / "backups" / "UDID" / "Snapshot");
    fs::create_directories(root / "cache");
    fs::create_directories(root / "out");
    fs::create_directories(root / "backups-other");
    std::ofstream(root / "file") << "x";
    fs::create_directory_symlink(root / "backups" / "UDID", root / "link-to-backup");
    const QStringList sources{Q(root / "backups" / "UDID"), Q(root / "backups"), Q(root / "cache")};
    using V = SaveDestination::Verdict;
    const DestinationCase cases[] = {
        {"plain folder", root / "out", true, V::Ok},
        {"read-only folder", root / "out", false, V::NotWritable},
        {"missing", root / "missing", true, V::Missing},
        {"a file", root / "file", true, V::NotFolder},
        {"the backup", root / "backups" / "UDID", true, V::InsideSource},
        {"inside the backup", root / "backups" / "UDID" / "Snapshot", true, V::InsideSource},
        {"the backups folder", root / "backups", true, V::InsideSource},
        {"the cache", root / "cache", true, V::InsideSource},
        {"a link into the backup", root / "link-to-backup", true, V::InsideSource},
        {"a name sharing a prefix", root / "backups-other", true, V::Ok},
        {"the parent of the backups", root, true, V::Ok},
    };
    for (const DestinationCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.verdict,
                  SaveDestination::Check(Q(c.folder), sources, [&](const QString&) { return c.writable; }));
    }
    EXPECT_EQ(V::Missing, SaveDestination::Check(QString(), sources, [](const QString&) { return true; }));
}

TEST(SaveDestinationTest, ProbeLeavesNothingBehind) {
    kit::ScratchFolder scratch("destination");
    EXPECT_TRUE(SaveDestination::CanCreateFileIn(Q(scratch.path())));
    EXPECT_TRUE(fs::is_empty(scratch.path()));
    EXPECT_FALSE(SaveDestination::CanCreateFileIn(Q(scratch.path() / "missing")));
}

} // namespace
