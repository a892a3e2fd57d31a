// Files of a backup folder are read only when they are regular files: a named pipe,
// a folder or a missing file is refused at once by every reader, never waited on.
#include "core/util/RegularFile.h"

#include "core/backup/CMbdbFileParser.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "core/util/FileBytes.h"
#include "core/util/MappedFile.h"
#include "tests/kit/PipeWatchdog.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
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
        {"IsRegular", [](const std::string& p) { return RegularFile::IsRegular(p); }},
        {"FileBytes",
         [](const std::string& p) {
             std::string out;
             return FileBytes::ReadAll(p, out);
         }},
        {"MappedFile",
         [](const std::string& p) {
             MappedFile m;
             return m.Open(p);
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
    ASSERT_TRUE(RegularFile::CopyTo((dir / "source").string(), (dir / "target").string()));
    std::string copied;
    ASSERT_TRUE(FileBytes::ReadAll((dir / "target").string(), copied));
    EXPECT_EQ(big, copied);

    kit::PipeWatchdog watchdog;
    ASSERT_TRUE(watchdog.MakePipe(dir / "pipe"));
    watchdog.Start();
    EXPECT_FALSE(RegularFile::CopyTo((dir / "pipe").string(), (dir / "from-pipe").string()));
    EXPECT_FALSE(watchdog.Stop());
    EXPECT_FALSE(fs::exists(dir / "from-pipe"));
    EXPECT_FALSE(RegularFile::CopyTo((dir / "absent").string(), (dir / "from-absent").string()));
    EXPECT_FALSE(fs::exists(dir / "from-absent"));
}
