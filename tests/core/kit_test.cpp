#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
fs::path tempDir(const std::string& name) {
    fs::path d = fs::temp_directory_path() / ("kit_test_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}
std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
} // namespace

// The whole carving test suite rests on this: a deleted row's bytes stay in the file.
TEST(FixtureDb, DeletedRowBytesStayOnThePage) {
    fs::path dir = tempDir("fixture");
    {
        kit::FixtureDb db(dir / "t.db");
        db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT, n INTEGER, b BLOB)");
        db.insert("t", {"body", "n", "b"}, {std::string("keep me"), int64_t(1), kit::Blob{"\x01\x02"}});
        db.insert("t", {"body", "n", "b"}, {std::string("deleted-but-still-here"), int64_t(2), nullptr});
        db.insert("t", {"body", "n", "b"}, {std::string("keep me too"), 3.5, kit::Blob{}});
        db.deleteWhere("t", "n = 2");
        EXPECT_EQ(2, db.queryInt("SELECT count(*) FROM t"));
    }
    std::string raw = readAll(dir / "t.db");
    EXPECT_NE(std::string::npos, raw.find("deleted-but-still-here"));
    EXPECT_FALSE(fs::exists(dir / "t.db-journal"));
    fs::remove_all(dir);
}

TEST(FolderSnapshot, SeesAddedChangedAndRemovedFiles) {
    fs::path dir = tempDir("snap");
    fs::create_directories(dir / "ab");
    std::ofstream(dir / "ab" / "one") << "1";
    std::ofstream(dir / "two") << "2";
    auto before = kit::FolderSnapshot::Take(dir);
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before));

    std::ofstream(dir / "two") << "3"; // same size, other content
    std::ofstream(dir / "ab" / "three") << "x";
    fs::remove(dir / "ab" / "one");
    std::string diff = kit::FolderSnapshot::Take(dir).DiffFrom(before);
    EXPECT_NE(std::string::npos, diff.find("changed two"));
    EXPECT_NE(std::string::npos, diff.find("added ab/three"));
    EXPECT_NE(std::string::npos, diff.find("removed ab/one"));
    fs::remove_all(dir);
}

// A file created and removed again in the root (a journal, -wal/-shm of a database
// opened for writing, a temporary plist) leaves only the root's own time changed.
TEST(FolderSnapshot, SeesAFileCreatedAndRemovedInTheRoot) {
    fs::path dir = tempDir("snap_root");
    std::ofstream(dir / "Manifest.db") << "x";
    // An old time, so the change below cannot fall into the same clock tick.
    fs::last_write_time(dir, fs::last_write_time(dir) - std::chrono::hours(1));
    auto before = kit::FolderSnapshot::Take(dir);
    std::ofstream(dir / "Manifest.db-journal") << "j";
    fs::remove(dir / "Manifest.db-journal");
    EXPECT_NE("", kit::FolderSnapshot::Take(dir).DiffFrom(before));
    fs::remove_all(dir);
}
