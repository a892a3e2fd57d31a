#include "tests/kit/RecordDamage.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

namespace kit {

namespace {

uint32_t be16(const std::string& b, size_t at) {
    return at + 2 <= b.size() ? (uint32_t(uint8_t(b[at])) << 8) | uint8_t(b[at + 1]) : 0;
}
uint32_t be32(const std::string& b, size_t at) {
    return at + 4 <= b.size() ? (be16(b, at) << 16) | be16(b, at + 2) : 0;
}

// A SQLite varint at `at`; advances `at`.
uint64_t varint(const std::string& b, size_t& at) {
    uint64_t v = 0;
    for (int i = 0; i < 9 && at < b.size(); ++i) {
        const uint8_t x = uint8_t(b[at++]);
        if (i == 8) return (v << 8) | x;
        v = (v << 7) | (x & 0x7f);
        if (x < 0x80) break;
    }
    return v;
}

struct Cell {
    uint32_t page;
    size_t record; // file offset of the record (its header-size varint)
    int64_t rowid;
    uint64_t payload; // the record's length
};

int64_t rootPage(const std::filesystem::path& db, const std::string& table, const char* type = "table") {
    sqlite3* c = nullptr;
    int64_t root = 0;
    if (sqlite3_open_v2(db.string().c_str(), &c, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(c, "select rootpage from sqlite_master where type=?2 and name=?1", -1, &st,
                               nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, type, -1, SQLITE_STATIC);
            if (sqlite3_step(st) == SQLITE_ROW) root = sqlite3_column_int64(st, 0);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(c);
    return root;
}

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// Walks the b-tree rooted at `root` in key order and hands `cell` each cell that holds a
// record: every cell of a leaf page, and on an index's interior page each entry between
// its children (`at` is past the child pointer there). A fixture's tree is sound.
void walkTree(const std::string& file, int64_t root,
              const std::function<void(uint32_t page, uint8_t type, size_t at)>& cell) {
    if (file.size() < 100 || root < 1) return;
    uint32_t pageSize = be16(file, 16);
    if (pageSize == 1) pageSize = 65536;
    std::function<void(uint32_t, int)> walk = [&](uint32_t page, int depth) {
        if (page < 1 || depth > 20 || size_t(page) * pageSize > file.size()) return;
        const size_t base = size_t(page - 1) * pageSize;
        const size_t header = base + (page == 1 ? 100 : 0);
        const uint8_t type = uint8_t(file[header]);
        const uint32_t count = be16(file, header + 3);
        const bool leaf = type == 13 || type == 10;
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = base + be16(file, header + (leaf ? 8 : 12) + 2 * i);
            if (leaf) {
                cell(page, type, at);
                continue;
            }
            walk(be32(file, at), depth + 1);
            if (type == 2) cell(page, type, at + 4);
        }
        if (!leaf) walk(be32(file, header + 8), depth + 1);
    };
    walk(uint32_t(root), 0);
}

// Every cell of a table b-tree in key order.
std::vector<Cell> cellsOf(const std::string& file, int64_t root) {
    std::vector<Cell> cells;
    walkTree(file, root, [&](uint32_t page, uint8_t type, size_t at) {
        if (type != 13) return;
        const uint64_t payload = varint(file, at);
        const int64_t rowid = int64_t(varint(file, at));
        cells.push_back({page, at, rowid, payload});
    });
    return cells;
}

// The record offsets (their header-size varint) of every entry of an index b-tree in
// key order.
std::vector<size_t> keyedEntriesOf(const std::string& file, int64_t root) {
    std::vector<size_t> entries;
    walkTree(file, root, [&](uint32_t, uint8_t type, size_t at) {
        if (type != 10 && type != 2) return;
        varint(file, at); // payload size
        entries.push_back(at);
    });
    return entries;
}

} // namespace

bool RecordDamage::DamageRecord(const std::filesystem::path& db, const std::string& table, int64_t rowid) {
    std::string file = readAll(db);
    for (const Cell& c : cellsOf(file, rootPage(db, table))) {
        if (c.rowid != rowid) continue;
        // A header of one byte (the header-size varint alone): no column at all, while
        // the record's payload is longer.
        file[c.record] = 1;
        writeAll(db, file);
        return true;
    }
    return false;
}

int64_t RecordDamage::NthRowid(const std::filesystem::path& db, const std::string& table, int64_t n) {
    const std::vector<Cell> cells = cellsOf(readAll(db), rootPage(db, table));
    return n >= 1 && n <= int64_t(cells.size()) ? cells[size_t(n - 1)].rowid : 0;
}

int RecordDamage::DamageLeafOf(const std::filesystem::path& db, const std::string& table, int64_t rowid) {
    std::string file = readAll(db);
    const std::vector<Cell> cells = cellsOf(file, rootPage(db, table));
    for (const Cell& c : cells) {
        if (c.rowid != rowid || c.page == 1) continue;
        int rows = 0;
        for (const Cell& d : cells)
            rows += d.page == c.page ? 1 : 0;
        uint32_t pageSize = be16(file, 16);
        if (pageSize == 1) pageSize = 65536;
        const size_t base = size_t(c.page - 1) * pageSize;
        // No b-tree page type, and a cell count past the page.
        for (size_t i = 0; i < 8; ++i)
            file[base + i] = char(0xEE);
        writeAll(db, file);
        return rows;
    }
    return 0;
}

namespace {

// Zeroes the part of a record that lies on its page.
void zeroRecord(std::string& file, const Cell& cell) {
    uint32_t pageSize = be16(file, 16);
    if (pageSize == 1) pageSize = 65536;
    const size_t pageEnd = size_t(cell.page) * pageSize;
    const size_t end = size_t(std::min<uint64_t>(pageEnd, cell.record + cell.payload));
    for (size_t i = cell.record; i < end && i < file.size(); ++i)
        file[i] = 0;
}

} // namespace

int RecordDamage::ZeroLeafRecordsOf(const std::filesystem::path& db, const std::string& table,
                                    int64_t rowid) {
    std::string file = readAll(db);
    const std::vector<Cell> cells = cellsOf(file, rootPage(db, table));
    for (const Cell& c : cells) {
        if (c.rowid != rowid) continue;
        int rows = 0;
        for (const Cell& d : cells) {
            if (d.page != c.page) continue;
            ++rows;
            zeroRecord(file, d);
        }
        writeAll(db, file);
        return rows;
    }
    return 0;
}

bool RecordDamage::ZeroRecord(const std::filesystem::path& db, const std::string& table, int64_t rowid) {
    std::string file = readAll(db);
    for (const Cell& c : cellsOf(file, rootPage(db, table))) {
        if (c.rowid != rowid) continue;
        zeroRecord(file, c);
        writeAll(db, file);
        return true;
    }
    return false;
}

bool RecordDamage::GarbleKeyedEntry(const std::filesystem::path& db, const std::string& tree, int64_t n) {
    std::string file = readAll(db);
    int64_t root = rootPage(db, tree, "index");
    if (root < 1) root = rootPage(db, tree, "table");
    const std::vector<size_t> entries = keyedEntriesOf(file, root);
    if (n < 1 || n > int64_t(entries.size())) return false;
    size_t at = entries[size_t(n - 1)];
    size_t p = at;
    const uint64_t headerSize = varint(file, p);
    varint(file, p); // the key's type
    const size_t secondType = p;
    file[at + size_t(headerSize)] = char(0xFF);
    file[secondType] = 0x7f; // a text of 57 bytes
    writeAll(db, file);
    return true;
}

} // namespace kit
