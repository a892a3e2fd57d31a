// Files of a backup folder are read only when they are regular files: a named pipe,
// a folder or a missing file is refused at once by every reader, never waited on; below
// the backup folder no symbolic link is followed. Copies into the cache keep holes.
#include "core/util/RegularFile.h"

#include "core/backup/CMbdbFileParser.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "core/util/FileBytes.h"
#include "core/util/FileWindow.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/PipeWatchdog.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Bytes the file system really holds for a file.
uint64_t allocatedBytes(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? uint64_t(st.st_blocks) * 512 : 0;
}

} // namespace

TEST(RegularFileReaders, OnlyRegularFilesOpenAndPipesNeverBlock) {
    kit::ScratchFolder scratch("regular");
    const fs::path dir = scratch.path();
    const std::string content = "SQLite format 3" + std::string(1, '\0') + std::string(200, 'x');
    writeFile(dir / "file", content);
    fs::create_directories(dir / "folder");
    writeFile(dir / "folder" / "inner", content);
    // A stored file that is a link is never followed, wherever it points; a link among
    // the folders above the file is followed.
    fs::create_symlink(dir / "file", dir / "link");
    fs::create_symlink("folder/inner", dir / "relative-link");
    fs::create_symlink(dir / "nowhere", dir / "dangling-link");
    fs::create_directory_symlink(dir / "folder", dir / "linked-folder");
    kit::PipeWatchdog watchdog;
    ASSERT_TRUE(watchdog.MakePipe(dir / "pipe"));
    watchdog.Start();

    struct Reader {
        const char* name;
        std::function<bool(const std::string&)> open;
    };
    const Reader readers[] = {
        {"RegularFile",
         [](const std::string& p) {
             RegularFile f;
             return f.Open(p);
         }},
        {"Probe",
         [](const std::string& p) {
             const size_t slash = p.rfind('/');
             return RegularFile::Probe(p.substr(0, slash), p.substr(slash + 1)) == RegularFile::Kind::Regular;
         }},
        {"FileBytes",
         [](const std::string& p) {
             std::string out;
             return FileBytes::ReadAll(p, out);
         }},
        {"FileWindow",
         [](const std::string& p) {
             FileWindow w;
             return w.Open(p, UINT64_MAX);
         }},
        {"Manifest",
         [](const std::string& p) {
             CMbdbFileParser parser;
             return parser.Open(p.c_str(), "/", 14);
         }},
        {"SQLite",
         [](const std::string& p) {
             sqlite3* db = openReadOnlyDatabase(p);
             sqlite3_close(db);
             return db != nullptr;
         }},
    };
    struct Case {
        const char* path;
        bool opens;
    };
    for (const Reader& r : readers) {
        for (const Case& c : {Case{"file", true}, Case{"pipe", false}, Case{"folder", false},
                              Case{"absent", false}, Case{"link", false}, Case{"relative-link", false},
                              Case{"dangling-link", false}, Case{"linked-folder/inner", true}}) {
            // The manifest reader refuses the content of "file" (no manifest): only the
            // refusal of the other three matters there.
            if (std::string(r.name) == "Manifest" && c.opens) continue;
            EXPECT_EQ(c.opens, r.open((dir / c.path).string())) << r.name << " " << c.path;
        }
    }
    EXPECT_FALSE(watchdog.Stop()) << "a reader blocked on the pipe";

    RegularFile f;
    ASSERT_TRUE(f.Open((dir / "file").string()));
    EXPECT_EQ(content.size(), f.Size());
    std::string all;
    EXPECT_TRUE(f.ReadAll(all, content.size()));
    EXPECT_EQ(content, all);
    EXPECT_FALSE(f.ReadAll(all, content.size() - 1)); // larger than the limit
    char head[6] = {};
    EXPECT_TRUE(f.ReadAt(0, head, sizeof head));
    EXPECT_EQ("SQLite", std::string(head, sizeof head));
    EXPECT_FALSE(f.ReadAt(content.size() - 2, head, sizeof head)); // past the end
}

TEST(RegularFileCopy, CopiesRegularFilesOnly) {
    kit::ScratchFolder scratch("regular");
    const fs::path dir = scratch.path();
    std::string big(3u << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 131 + (i >> 12));
    writeFile(dir / "source", big);
    writeFile(dir / "target", "older content");
    RegularFile source;
    ASSERT_TRUE(source.Open((dir / "source").string()));
    EXPECT_EQ(big.size(), source.DataBytes());
    ASSERT_TRUE(source.CopyTo((dir / "target").string()));
    std::string copied;
    ASSERT_TRUE(FileBytes::ReadAll((dir / "target").string(), copied));
    EXPECT_EQ(big, copied);

    // A stop asked for ends the copy and leaves nothing behind.
    std::atomic<bool> stop{true};
    EXPECT_FALSE(source.CopyTo((dir / "stopped").string(), &stop));
    EXPECT_FALSE(fs::exists(dir / "stopped"));
    // So does a file that shrank since it was opened.
    ::truncate((dir / "source").c_str(), off_t(big.size() / 2));
    EXPECT_FALSE(source.CopyTo((dir / "shrunk").string()));
    EXPECT_FALSE(fs::exists(dir / "shrunk"));
    EXPECT_FALSE(RegularFile().CopyTo((dir / "from-nothing").string()));
    EXPECT_FALSE(fs::exists(dir / "from-nothing"));
}

// A sparse store (gigabytes of holes around a few pages of data) copied into the cache
// takes the room of its data only, and reads back the same.
TEST(RegularFileCopy, HolesStayHoles) {
    kit::ScratchFolder scratch("sparse");
    const fs::path dir = scratch.path();
    const uint64_t size = uint64_t(4) << 30;
    const std::string head(8192, 'h'), middle(4096, 'm'), tail(100, 't');
    {
        const int fd = ::open((dir / "sparse").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ssize_t(head.size()), ::pwrite(fd, head.data(), head.size(), 0));
        EXPECT_EQ(ssize_t(middle.size()), ::pwrite(fd, middle.data(), middle.size(), off_t(size / 2)));
        EXPECT_EQ(ssize_t(tail.size()), ::pwrite(fd, tail.data(), tail.size(), off_t(size - tail.size())));
        ::close(fd);
    }
    if (allocatedBytes(dir / "sparse") > (uint64_t(64) << 20)) GTEST_SKIP() << "no holes on this file system";
    RegularFile source;
    ASSERT_TRUE(source.Open((dir / "sparse").string()));
    EXPECT_LT(source.DataBytes(), uint64_t(1) << 20);
    EXPECT_GE(source.DataBytes(), head.size() + middle.size() + tail.size());
    ASSERT_TRUE(source.CopyTo((dir / "copy").string()));
    EXPECT_EQ(size, fs::file_size(dir / "copy"));
    EXPECT_LT(allocatedBytes(dir / "copy"), uint64_t(1) << 20);
    RegularFile copy;
    ASSERT_TRUE(copy.Open((dir / "copy").string()));
    const struct {
        uint64_t at;
        std::string bytes;
    } expected[] = {{0, head},
                    {head.size(), std::string(4096, '\0')},
                    {size / 2 - 10, std::string(10, '\0') + middle + std::string(10, '\0')},
                    {size - tail.size() - 1, std::string(1, '\0') + tail}};
    for (const auto& e : expected) {
        std::string got(e.bytes.size(), 'x');
        ASSERT_TRUE(copy.ReadAt(e.at, got.data(), got.size())) << e.at;
        EXPECT_EQ(e.bytes, got) << e.at;
    }
}

// A stored file is opened below its backup folder one folder at a time: a link in the
// place of a two-character folder, or of the file, would read a file from outside the
// backup, a pipe would block. Every reader of stored files goes through the same rules;
// the backup folder itself may be reached through a link.
TEST(RegularFileStored, NoLinkBelowTheBackupFolderIsFollowed) {
    kit::ScratchFolder scratch("stored");
    const fs::path top = scratch.path();
    const fs::path root = top / "backup";
    const fs::path outside = top / "outside";
    fs::create_directories(root);
    fs::create_directories(outside / "cd");
    {
        kit::FixtureDb db(top / "db");
        db.exec("CREATE TABLE t(x); INSERT INTO t VALUES(1);");
    }
    const std::string database = readFile(top / "db");
    auto put = [&](const fs::path& p) {
        fs::create_directories(p.parent_path());
        writeFile(p, database);
    };
    put(root / "ab" / "ab01");
    put(outside / "cd01");
    put(outside / "cd" / "cd02");
    put(outside / "ef01");
    put(root / "0123456789abcdef");                     // a name of iOS 9, in the backup folder itself
    fs::create_directory_symlink(outside, root / "cd"); // a hash folder that is a link
    fs::create_directories(root / "ef");
    fs::create_symlink(outside / "ef01", root / "ef" / "ef01"); // a stored file that is a link
    fs::create_directories(root / "gh");
    kit::PipeWatchdog watchdog;
    ASSERT_TRUE(watchdog.MakePipe(root / "gh" / "gh01")); // a pipe in a stored file's place
    writeFile(root / "kl", database);                     // a file in a folder's place
    fs::create_directory_symlink(root, top / "linked-backup");
    watchdog.Start();

    using Kind = RegularFile::Kind;
    struct Case {
        std::string root;
        std::string relative;
        Kind kind;
    };
    const std::string r = root.string(), linked = (top / "linked-backup").string();
    const Case cases[] = {
        {r, "ab/ab01", Kind::Regular},
        {r, "0123456789abcdef", Kind::Regular},
        {linked, "ab/ab01", Kind::Regular},
        {r, "cd/cd01", Kind::Link},
        {r, "cd/cd/cd02", Kind::Link},
        {r, "ef/ef01", Kind::Link},
        {r, "gh/gh01", Kind::Other},
        {r, "ij/ij01", Kind::Missing},
        {r, "ab/ab02", Kind::Missing},
        {r, "kl/kl01", Kind::Other},
        {r, "ab", Kind::Other},
        {r, "ab/../ab/ab01", Kind::Other},
        {r, "./ab/ab01", Kind::Other},
        {r, "../outside/cd01", Kind::Other},
        {r, "", Kind::Other},
        {"", "ab/ab01", Kind::Other},
    };
    struct Reader {
        const char* name;
        std::function<bool(const Case&)> opens;
        bool byFullPath; // knows the backup folder from the stored path's shape only
    };
    const Reader readers[] = {
        {"OpenStored",
         [](const Case& c) {
             RegularFile f;
             Kind found = Kind::Regular;
             const bool opened = f.OpenStored(c.root, c.relative, &found);
             EXPECT_EQ(c.kind, found) << c.relative;
             return opened;
         },
         false},
        {"Probe", [](const Case& c) { return RegularFile::Probe(c.root, c.relative) == Kind::Regular; },
         false},
        {"SQLite",
         [](const Case& c) {
             sqlite3* db = openReadOnlyDatabase(c.root, c.relative);
             sqlite3_close(db);
             return db != nullptr;
         },
         false},
        {"OpenStoredPath",
         [](const Case& c) {
             RegularFile f;
             return f.OpenStoredPath(c.root + "/" + c.relative);
         },
         true},
        {"FileBytes",
         [](const Case& c) {
             std::string out;
             return FileBytes::ReadAll(c.root + "/" + c.relative, out);
         },
         true},
        {"FileWindow",
         [](const Case& c) {
             FileWindow w;
             return w.Open(c.root + "/" + c.relative, UINT64_MAX);
         },
         true},
        {"SQLite by path",
         [](const Case& c) {
             sqlite3* db = openReadOnlyDatabase(c.root + "/" + c.relative);
             sqlite3_close(db);
             return db != nullptr;
         },
         true},
    };
    for (const Reader& reader : readers) {
        for (const Case& c : cases) {
            // A full path names no backup folder: its shape tells only the two-character
            // folder below it, and ".." or "." in a path is the caller's.
            if (reader.byFullPath &&
                (c.root.empty() || c.relative.empty() || c.relative.find('.') == 0 ||
                 c.relative.find("/.") != std::string::npos || c.relative == "cd/cd/cd02"))
                continue;
            EXPECT_EQ(c.kind == Kind::Regular, reader.opens(c))
                << reader.name << " " << c.root << " " << c.relative;
        }
    }
    EXPECT_FALSE(watchdog.Stop()) << "a reader blocked on the pipe";
}
