// Damaged and crafted database files: every one ends in a clean failure of Open or in a
// finished map build and carve, without a crash, hang or sanitizer report, and the
// folder that holds the file is never changed.
#include "tests/core/sqlite/CarverTestSupport.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"

#include <chrono>
#include <random>
#include <set>

using namespace carvertest;

namespace {

constexpr uint64_t kPage = 1024;

std::string be16(uint32_t v) {
    return std::string{char((v >> 8) & 0xff), char(v & 0xff)};
}
std::string be32(uint32_t v) {
    return std::string{char(v >> 24), char((v >> 16) & 0xff), char((v >> 8) & 0xff), char(v & 0xff)};
}
uint32_t get16(const std::string& s, size_t at) {
    return (uint8_t(s[at]) << 8) | uint8_t(s[at + 1]);
}

// A three-level table with an index, overflowing rows and deleted rows.
std::string BaseDatabase(const fs::path& dir) {
    fs::path p = dir / "base.db";
    {
        kit::FixtureDb db(p, int(kPage));
        db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER, body BLOB);"
                "CREATE INDEX t_n ON t(n); BEGIN");
        for (int i = 0; i < 1500; ++i) {
            std::string body(size_t(i % 50 == 0 ? 2500 : 10 + i % 40), char('a' + i % 26));
            db.insert("t", {"name", "n", "body"},
                      {"name-" + std::to_string(i), int64_t(i) * 7, kit::Blob{body}});
        }
        db.exec("COMMIT");
        db.deleteWhere("t", "id % 4 = 0");
    }
    return ReadFile(p);
}

uint8_t PageType(const std::string& db, uint64_t page) {
    return uint8_t(db[(page - 1) * kPage + (page == 1 ? 100 : 0)]);
}

std::vector<uint64_t> PagesOfType(const std::string& db, std::initializer_list<uint8_t> types) {
    std::vector<uint64_t> out;
    for (uint64_t p = 2; p <= db.size() / kPage; ++p) {
        for (uint8_t t : types)
            if (PageType(db, p) == t) out.push_back(p);
    }
    return out;
}

void PutAt(std::string& db, uint64_t at, const std::string& bytes) {
    db.replace(size_t(at), bytes.size(), bytes);
}

struct Outcome {
    bool opened = false;
    size_t delivered = 0;
};

// Runs everything a parser does on the file, in both overflow modes, accepting every
// candidate (the hardest case for the decoder).
Outcome RunAll(const fs::path& p) {
    Outcome out;
    for (bool follow : {false, true}) {
        CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
        TestCarver c(&owner);
        c.keepRecords = false;
        bool opened = c.Open(p.c_str(), follow);
        out.opened = opened;
        if (!opened) {
            EXPECT_FALSE(c.BuildLiveCellMap());
            EXPECT_FALSE(c.CarveTable("t"));
            continue;
        }
        c.BuildLiveCellMap();
        c.BuildLiveCellMapFromPointers();
        for (const auto& [page, ranges] : c.liveCells) {
            for (const CellRange& r : ranges) {
                EXPECT_LE(r.start, r.end);
                EXPECT_LE(r.end, c.pageSize);
            }
        }
        std::vector<uint64_t> leaves;
        c.CollectLeafPages(2, leaves);
        c.CarveTable("t");
        out.delivered += c.delivered;
    }
    return out;
}

} // namespace

TEST(CarverBadInput, DamagedFilesTable) {
    fs::path dir = TempDir("badinput");
    const std::string base = BaseDatabase(dir);
    const uint64_t pages = base.size() / kPage;
    const std::vector<uint64_t> leaves = PagesOfType(base, {13});
    const std::vector<uint64_t> interiors = PagesOfType(base, {5});
    const std::vector<uint64_t> indexPages = PagesOfType(base, {2, 10});
    ASSERT_GT(pages, 100u);
    ASSERT_FALSE(leaves.empty());
    ASSERT_FALSE(interiors.empty());
    ASSERT_FALSE(indexPages.empty());

    struct Case {
        const char* name;
        std::function<void(std::string&)> mutate;
        bool opens;
    };
    std::mt19937 rng(12345);
    auto randomBytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& ch : s)
            ch = char(rng() & 0xff);
        return s;
    };
    const Case cases[] = {
        {"intact", [](std::string&) {}, true},
        {"truncated to 50 bytes", [](std::string& s) { s.resize(50); }, false},
        {"truncated to the header", [](std::string& s) { s.resize(100); }, true},
        {"truncated mid-file", [&](std::string& s) { s.resize(size_t(pages / 2 * kPage)); }, true},
        {"truncated mid-page", [&](std::string& s) { s.resize(size_t(pages / 2 * kPage + 37)); }, true},
        {"wrong magic", [](std::string& s) { s[5] = 'X'; }, false},
        {"page size 0", [](std::string& s) { PutAt(s, 16, be16(0)); }, false},
        {"page size 3", [](std::string& s) { PutAt(s, 16, be16(3)); }, false},
        {"page size 1 (65536) on a small file", [](std::string& s) { PutAt(s, 16, be16(1)); }, true},
        {"page size 512 on 1024-byte pages", [](std::string& s) { PutAt(s, 16, be16(512)); }, true},
        {"page size 32768 on 1024-byte pages", [](std::string& s) { PutAt(s, 16, be16(32768)); }, true},
        {"cell count 40000 on every leaf",
         [&](std::string& s) {
             for (uint64_t p : leaves)
                 PutAt(s, (p - 1) * kPage + 3, be16(40000));
         },
         true},
        {"cell count 40000 on every interior page",
         [&](std::string& s) {
             for (uint64_t p : interiors)
                 PutAt(s, (p - 1) * kPage + 3, be16(40000));
         },
         true},
        {"interior pages pointing to themselves",
         [&](std::string& s) {
             for (uint64_t p : interiors) {
                 PutAt(s, (p - 1) * kPage + 8, be32(uint32_t(p)));
                 uint32_t cell = get16(s, (p - 1) * kPage + 12);
                 if (cell + 4 <= kPage) PutAt(s, (p - 1) * kPage + cell, be32(uint32_t(p)));
             }
         },
         true},
        {"interior pages pointing to each other and to page 0 and past the end",
         [&](std::string& s) {
             for (size_t i = 0; i < interiors.size(); ++i) {
                 uint64_t p = interiors[i];
                 PutAt(s, (p - 1) * kPage + 8, be32(uint32_t(interiors[(i + 1) % interiors.size()])));
                 uint32_t n = get16(s, (p - 1) * kPage + 3);
                 for (uint32_t k = 0; k < n && k < 3; ++k) {
                     uint32_t cell = get16(s, (p - 1) * kPage + 12 + 2 * k);
                     uint32_t child = k == 0 ? 0 : (k == 1 ? 0xFFFFFFFFu : uint32_t(pages + 1));
                     if (cell + 4 <= kPage) PutAt(s, (p - 1) * kPage + cell, be32(child));
                 }
             }
         },
         true},
        {"a chain of interior pages deeper than any real tree",
         [&](std::string& s) {
             for (uint64_t p = 2; p < pages; ++p) {
                 std::string page(kPage, '\0');
                 page[0] = 5;
                 PutAt(page, 8, be32(uint32_t(p + 1)));
                 PutAt(s, (p - 1) * kPage, page);
             }
         },
         true},
        {"random pages",
         [&](std::string& s) {
             for (uint64_t p = 2; p <= pages; ++p)
                 PutAt(s, (p - 1) * kPage, randomBytes(kPage));
         },
         true},
        {"random bytes over the schema page",
         [&](std::string& s) { PutAt(s, 100, randomBytes(kPage - 100)); }, true},
        {"0xFF-filled pages",
         [&](std::string& s) {
             for (uint64_t p = 2; p <= pages; ++p)
                 PutAt(s, (p - 1) * kPage, std::string(kPage, '\xff'));
         },
         true},
        {"0xFF over every cell of the leaves, pointers kept",
         [&](std::string& s) {
             for (uint64_t p : leaves) {
                 uint32_t start = get16(s, (p - 1) * kPage + 5);
                 if (start < kPage) PutAt(s, (p - 1) * kPage + start, std::string(kPage - start, '\xff'));
             }
         },
         true},
        {"cell pointers at the page end and beyond",
         [&](std::string& s) {
             for (uint64_t p : leaves) {
                 uint32_t n = get16(s, (p - 1) * kPage + 3);
                 for (uint32_t k = 0; k < n; ++k) {
                     uint32_t v =
                         k % 3 == 0 ? uint32_t(kPage - 1) : (k % 3 == 1 ? 0xFFFFu : uint32_t(kPage - 2));
                     PutAt(s, (p - 1) * kPage + 8 + 2 * k, be16(v));
                 }
             }
         },
         true},
        {"crafted varints: huge payload lengths and serial types",
         [&](std::string& s) {
             for (uint64_t p : leaves) {
                 uint32_t n = get16(s, (p - 1) * kPage + 3);
                 for (uint32_t k = 0; k < n; ++k) {
                     uint32_t cell = get16(s, (p - 1) * kPage + 8 + 2 * k);
                     if (cell + 12 > kPage) continue;
                     PutAt(s, (p - 1) * kPage + cell,
                           k % 2 ? std::string("\xff\xff\xff\xff\xff\xff\xff\xff\x7f\x01\x05\x00", 12)
                                 : std::string("\x81\x80\x80\x80\x00\x01\x04\x00\x9f\xff\xff\x7f", 12));
                 }
             }
         },
         true},
        {"overflow chains looping and leaving the file",
         [&](std::string& s) {
             for (uint64_t p = 2; p <= pages; ++p) {
                 uint8_t t = PageType(s, p);
                 if (t == 13 || t == 5 || t == 2 || t == 10) continue;
                 PutAt(s, (p - 1) * kPage, be32(p % 2 ? uint32_t(p) : uint32_t(pages + 5)));
             }
         },
         true},
        {"reserved bytes at the page end", [](std::string& s) { s[20] = 32; }, true},
    };
    auto before = kit::FolderSnapshot::Take(dir);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        fs::path p = dir / "case.db";
        std::string bytes = base;
        k.mutate(bytes);
        WriteFile(p, bytes);
        auto snap = kit::FolderSnapshot::Take(dir);
        auto started = std::chrono::steady_clock::now();
        Outcome o = RunAll(p);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(k.opens, o.opened);
        EXPECT_LT(seconds, 60.0); // bounded: a loop would never end
        EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(snap));
    }
    (void)before;
}

TEST(CarverBadInput, IntactBaseGivesBackEveryDeletedRow) {
    // The same base file, carved with a plausible check: every deleted row comes back, so
    // the damage cases above start from a meaningful file. Page splits while the table
    // grew left stale copies of some live rows in free space too; telling those from
    // deleted rows is the parser's part (it compares with its live rows).
    fs::path dir = TempDir("badbase");
    BaseDatabase(dir);
    CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
    TestCarver c(&owner);
    c.check = [](int column, uint32_t kind, const CarvedValue& v, uint32_t size) {
        if (column == 1) return kind == KindText && size > 5 && memcmp(v.text, "name-", 5) == 0;
        if (column == 2) return IsIntegerKind(kind);
        if (column == 3) return kind == KindBlob;
        return true;
    };
    ASSERT_TRUE(c.Open((dir / "base.db").c_str(), true));
    ASSERT_TRUE(c.BuildLiveCellMap());
    ASSERT_TRUE(c.CarveTable("t"));
    std::set<int> found;
    for (const Carved& r : c.records) {
        int i = std::stoi(r.texts[1].substr(5));
        EXPECT_EQ(int64_t(i) * 7, r.ints[2]);
        found.insert(i);
    }
    // Rows were given ids from 1; every fourth was deleted.
    for (int i = 3; i < 1500; i += 4)
        EXPECT_TRUE(found.count(i)) << "deleted row " << i << " not found";
}
