#pragma once
#include "core/sqlite/CarvedRecord.h"
#include "core/sqlite/LiveQuery.h"

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CarverState;
class IParserOwner;
class RegularFile;
struct WxContactRecord;

// One row of "PRAGMA table_info".
struct ColumnInfo {
    bool isIntegerPrimaryKey = false;
    std::string name; // at most 127 bytes
    std::string type; // at most 127 bytes
};

// A table of the open database, as listed by the schema table.
struct TableEntry {
    std::string name;
    int64_t rootPage = 0;
    std::vector<uint64_t> pages;
    WxContactRecord* peer = nullptr; // not owned
    uint32_t pageKey = 0;            // the page of the carved rows of a table without a name
};

// Byte range [start, end) of a page.
struct CellRange {
    uint64_t start = 0;
    uint64_t end = 0;
};

// Base of every database parser: reads one SQLite database of a backup through SQLite
// (live rows) and as raw pages (live-cell map and deleted-record carving).
class CCommonInterFace {
  public:
    CCommonInterFace(IParserOwner* owner, int32_t dataType);
    virtual ~CCommonInterFace();
    CCommonInterFace(const CCommonInterFace&) = delete;
    CCommonInterFace& operator=(const CCommonInterFace&) = delete;

    // Subclass hooks of the carver.
    virtual bool PrepareTable() = 0;
    virtual bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) = 0;
    virtual bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) = 0;

    // Construction and lifetime. Open opens the file once (below the owner's backup
    // folder without following a link, never blocking on a pipe); SQLite reads it through
    // that descriptor with the read-only immutable helper, and raw pages are read from it
    // with positioned reads.
    bool Open(const char* path, bool followOverflow);
    bool ReadHeader();
    void Close();

    // Page access.
    bool ReadPage(uint64_t page);
    uint8_t ReadPageType(uint64_t page);
    static int ParseVarint(const uint8_t* data, int32_t length, uint64_t* out);

    // Schema and SQL. Table names are quoted by the implementation, never pasted raw.
    int LoadColumns(const char* table);
    int GetTableRootPage(const char* table);
    bool GetAllRootPages(std::vector<int32_t>& roots);
    int LoadTableList(std::vector<TableEntry>& tables);
    int CountRows(const char* table, const char* where);
    static int countRows(sqlite3* connection, const char* table, const char* where);
    void ClearColumns();
    static void ClearTableList(std::vector<TableEntry>& tables);

    // Column and field access.
    int GetColumnIndex(const char* name) const;
    static int CopyColumnText(sqlite3_stmt* statement, int column, std::string* out);
    static int ParseVarintChecked(const uint8_t* data, int32_t length, uint64_t* out, bool checkLength);
    static bool ReadLengthDelimitedField(const char** cursor, int32_t* remaining, std::string* out,
                                         bool copy);

    // Live-cell maps.
    bool BuildLiveCellMap();
    void BuildLiveCellMapFromPointers();
    bool CollectLeafPages(uint64_t page, std::vector<uint64_t>& leaves);
    bool CollectLiveCellRanges(std::vector<CellRange>& ranges);
    bool ReadCellPointers(uint64_t page, std::vector<uint64_t>& pointers);

    // Progress.
    void ReportProgress(int stage, bool finished);
    void ReportProgressAt(int stage, int done);
    void SetProgressSteps(int n);
    void AddProgressStep(int n);

    // Carver.
    bool CarveTable(const char* table);
    void ScanAllPages();
    bool CarvePage(uint64_t page, bool hasLiveCells);
    uint32_t SkipLiveRange(uint64_t page, uint32_t offset);
    int TryRecordAt(uint64_t page, uint32_t* offset);
    static uint64_t SerialTypeSize(uint64_t serialType, uint32_t* kind);
    // Assembles a record's content in overflowBuffer: its local part, then the content of
    // up to `pages` overflow pages from `firstPage` while the chain holds. The chain breaks
    // at a page out of the file, page 1, a page met before, a b-tree page or a freelist
    // trunk; what was read before the break stays. `reached` receives the content bytes
    // held (localLength when no page could be read). False only for unusable arguments.
    bool ReadOverflow(uint64_t firstPage, int pages, const uint8_t* local, int localLength,
                      uint64_t* reached);
    CarvedRecord* DecodeRecord(uint64_t page, const uint8_t* content, uint64_t contentLength, int columns);
    static void FreeRecord(CarvedRecord* record);
    bool FirstColumnIsRowid() const;

    // Database handle and paths, for subclasses.
    sqlite3* Db() const { return db; }

  protected:
    // True when there is no owner or its scan was cancelled.
    bool Cancelled() const;
    // Full path of the stored file the owner's manifest reader files under `devicePath`
    // of `category`; empty when there is no manifest reader or no such file.
    std::string StoredFilePath(int category, const std::string& devicePath) const;
    // Opens that stored file as this parser's database (see Open). False when the backup
    // has no such file or it does not open.
    bool OpenStoredDatabase(int category, const std::string& devicePath, bool followOverflow);
    // Opens a file of the backup named by its full path: below the owner's backup folder
    // no link is followed (RegularFile::OpenStored).
    bool OpenBackupFile(const std::string& path, RegularFile& out) const;
    // The live-row loop of a parser: reads the rows of `query` (see LiveRowReader) and
    // hands each to `onRow`, reporting progress of stage 2 per row against the rows the
    // table holds for the query, until the rows end or the scan is cancelled. A row SQLite
    // cannot read is stepped past; what was lost is noted with the owner (see NoteLoss).
    // False when there is no database, the scan is cancelled or the query does not
    // prepare.
    bool ReadRows(const LiveQuery& query, const std::function<void(sqlite3_stmt*)>& onRow);
    // The same read without progress, on `connection` (this parser's database when null),
    // for a caller that keeps its own progress. `expected`: see LiveRowReader::Read.
    // `source` names another connection's file for the log.
    bool StepRows(sqlite3* connection, const LiveQuery& query,
                  const std::function<void(sqlite3_stmt*)>& onRow, int64_t expected = 0,
                  const std::string& source = std::string());
    // The clause that counts the rows `query` reads ("NOT INDEXED" for a sorted query, so
    // that a damaged index cannot hide rows from the count).
    static std::string CountClause(const LiveQuery& query);

    IParserOwner* owner = nullptr;
    sqlite3* db = nullptr;
    std::string rawPath;
    std::string dbPath;
    std::string tableName;
    int file = -1; // raw file descriptor, read with pread
    uint64_t fileSizeBytes = 0;
    std::vector<uint8_t> pageBuffer;
    std::vector<uint32_t> columnKinds;
    std::vector<uint64_t> columnSizes;
    bool followOverflow = false;
    uint32_t dataType = 0;
    std::vector<ColumnInfo> columns;
    int32_t columnCount = 0;
    uint64_t pageSize = 0;
    uint64_t pageCount = 0;
    std::map<uint64_t, std::vector<CellRange>> liveCells;
    std::vector<TableEntry> skipTables;
    int32_t progressDone = 0;
    int32_t progressTotal = 1000;
    std::map<uint64_t, std::vector<uint64_t>> cellStarts;
    std::vector<uint8_t> overflowBuffer;

    // Optional, filled by a subclass in PrepareTable: per column, a bit mask of the
    // CarvedValueKind values the column can ever hold (bit k for kind k); 0 or a
    // missing entry accepts every kind. A candidate is dropped at its first serial
    // type of a kind its column cannot hold, before anything is decoded.
    std::vector<uint32_t> acceptedKinds;
    // Optional, set by a subclass in PrepareTable: the table's first column holds a value
    // without content bytes (a constant), so a deleted row whose cell began three bytes
    // before that column's serial type lost the type to the freeblock header written over
    // the cell. The carver then also reads such a row from its second serial type, where
    // a freeblock that covers the whole row ends right before it.
    bool firstTypeUnderFreeblock = false;

    // Set by the b-tree walks when a page of a tree is damaged (a child out of the file,
    // of no b-tree type, or reached twice).
    bool treeDamaged = false;
    // Leaf pages a damaged tree cut off from the walk, whose cells the last
    // BuildLiveCellMap added to liveCells.
    uint64_t cutOffLeafPages = 0;

    // Bytes of a page that hold data (the page size minus the reserved bytes at the end
    // of every page, from the file header); overflow pages carry usableSize - 4 bytes.
    uint64_t usableSize = 0;
    // Page held by pageBuffer (0 when none).
    uint64_t currentPage = 0;

  private:
    // Open, with the device path `name` (empty when unknown) naming the database in the
    // scan's log.
    bool OpenAs(const char* path, bool followOverflow, const std::string& name);
    // When the manifest lists a non-empty write-ahead log beside the stored file at
    // rawPath (open as `raw`): copies both into the scan's cache folder and returns the
    // copy's path. Empty when there is no such log, or when it cannot be applied: then
    // `why` says why.
    std::string CopyWithLog(const RegularFile& raw, std::string* why);
    static void RemoveLogCopy(const std::string& copy);
    std::string logCopy; // removed, with its log, on Close
    bool ReadAt(uint64_t offset, void* buffer, size_t length) const;
    std::vector<uint64_t> MapRootPages();
    // Per page: whether the freelist holds it (trunk or leaf); `complete` tells whether
    // the whole freelist could be read.
    std::vector<bool> FreelistPages(bool* complete, std::vector<bool>* trunks = nullptr) const;
    bool LooksLikeLeafPage() const;
    void AddCutOffLeaves(const std::vector<bool>& reached);
    bool WalkTree(uint64_t page, std::vector<uint64_t>& leaves, std::vector<bool>& visited, int depth);
    uint64_t LocalPayloadSize(uint64_t payload, bool indexPage) const;
    // Decodes the columns of a candidate from `content`; only its first `available` bytes
    // were read (the rest: a broken overflow chain), see CarvedRecord::cut.
    bool DecodeInto(CarvedRecord& record, uint64_t page, const uint8_t* content, uint64_t contentLength,
                    uint64_t available);
    // Whether `page`, whose first bytes are `head`, can be a page of an overflow chain.
    bool OverflowChainPage(uint64_t page, const uint8_t head[4]) const;
    int32_t RecoverRowid(uint32_t start, uint32_t headerBytes, uint64_t contentTotal, int startColumn) const;
    int ExamineCandidate(uint64_t page, uint32_t start);
    int ExamineWithSteps(uint64_t page, uint32_t start);
    int ExamineWithoutFirstType(uint64_t page, uint32_t start);
    int FinishCandidate(uint64_t page, uint32_t start, uint64_t pos, uint64_t contentTotal);
    // Most content bytes a candidate may describe: the page, or with overflow pages
    // followed the longest chain the carver reads.
    uint64_t ContentBound() const;
    bool ContentPastBound(uint64_t contentStart, uint64_t contentTotal, uint64_t bound) const;
    bool InsideAcceptedCandidate(uint64_t page, uint64_t start, uint64_t end) const;
    // Whether a decoded candidate reads as a row of its table: every value of a kind its
    // column's declared type (or the parser's declared kinds) holds, and every text
    // readable. A candidate that does not may be a misaligned read of a row inside it.
    bool CandidateSound(const CarvedRecord& record) const;
    // Hands the candidate held back as a possible misaligned read to the parser.
    void FlushHeldCandidate();
    void BuildStepTables(size_t typesWanted, uint64_t bound, bool hasLiveCells);
    void FillSteps(size_t lo, size_t hi, size_t limit, size_t typesWanted, uint64_t bound);
    void PrepareFilters();
    // Whether the table refuses a candidate whose every column is NULL (asked once per
    // carved table); such candidates are what runs of zero bytes read as.
    bool NullCandidateRefused(uint64_t page);
    // End of the run of zero bytes that starts at `from` (at most `end`).
    static uint64_t ZeroRunEnd(const uint8_t* data, uint64_t from, uint64_t end);

    // The carver's working state (see CarverState.h).
    std::unique_ptr<CarverState> carver;
};
