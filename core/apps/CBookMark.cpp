#include "core/apps/CBookMark.h"

#include "core/util/CommonUtils.h"
#include "core/backup/IFileParser.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr const char* kBookmarkFolder = "/var/mobile/Library/Safari/";
constexpr const char* kBookmarkFile = "Bookmarks.db";
constexpr const char* kBookmarkTable = "bookmarks";

bool isOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

} // namespace

CBookMark::CBookMark(IParserOwner* owner) : CCommonInterFace(owner, ScanBookmarks) {}

CBookMark::~CBookMark() {
    ClearWorkingList();
}

bool CBookMark::Scan() {
    if (Cancelled()) return false;
    if (!OpenStoredDatabase(CategorySafari, std::string(kBookmarkFolder) + kBookmarkFile, false))
        return false;

    SetProgressSteps(5); // reading and carving, then the hand-over
    ReadLiveRows();
    CarveDeletedRows();

    HandOverRecords();
    return true;
}

bool CBookMark::ReadLiveRows() {
    if (Cancelled()) return false;
    const bool ok = QueryBookmarks();
    AddProgressStep(1);
    return ok;
}

bool CBookMark::QueryBookmarks() {
    return ReadRows(LiveQuery(kBookmarkTable, "url,title").Where("num_children=0 and type=0").OrderBy("id"),
                    [&](sqlite3_stmt* stmt) {
                        std::unique_ptr<BookmarkRecord> rec;
                        bool dropped = false;
                        const int cols = sqlite3_column_count(stmt);
                        for (int c = 0; c < cols && !dropped; ++c) {
                            const char* name = sqlite3_column_name(stmt, c);
                            if (!name) continue;
                            if (std::strcmp(name, "url") == 0) {
                                if (sqlite3_column_type(stmt, c) != SQLITE_TEXT) {
                                    dropped = true;
                                    break;
                                }
                                rec = std::make_unique<BookmarkRecord>();
                                rec->deleted = false;
                                CopyColumnText(stmt, c, &rec->url);
                            } else if (std::strcmp(name, "title") == 0) {
                                if (rec && sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                                    CopyColumnText(stmt, c, &rec->title);
                            }
                        }
                        if (!dropped && rec) AppendWorking(std::move(rec));
                    });
}

bool CBookMark::CarveDeletedRows() {
    if (Cancelled()) return false;
    BuildLiveCellMap();
    AddProgressStep(1);
    const bool ok = CarveTable(kBookmarkTable);
    AddProgressStep(1);
    return ok;
}

bool CBookMark::PrepareTable() {
    if (tableName != kBookmarkTable) return false;
    urlColumn = GetColumnIndex("url");
    titleColumn = GetColumnIndex("title");
    if (urlColumn < 0 || titleColumn < 0) return false;

    // The kinds each tested column can hold (the same rules as CheckCarvedValue): the
    // carver drops a candidate at its first impossible serial type, before decoding.
    acceptedKinds.assign(columns.size(), 0);
    for (size_t c = 0; c < columns.size(); ++c) {
        const std::string& name = columns[c].name;
        if (name == "title" || name == "url" || name == "external_uuid")
            acceptedKinds[c] = kindBit(KindText);
        else if (name == "num_children" || name == "type")
            acceptedKinds[c] = kindBit(KindZero);
        else if (isOneOf(name, {"special_id", "parent", "editable", "hidden", "read", "added", "deleted"}))
            acceptedKinds[c] = kNotTextKinds;
    }
    return true;
}

bool CBookMark::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || static_cast<size_t>(column) >= columns.size()) return false;
    if (tableName != kBookmarkTable) return true;

    const std::string& name = columns[static_cast<size_t>(column)].name;
    if (name == "title" || name == "url")
        return kind == KindText && carvedSlotTextLength(kind, value, size) > 0;
    if (name == "num_children" || name == "type") return kind == KindZero;
    if (name == "external_uuid") {
        if (kind != KindText) return false;
        const size_t len = carvedSlotTextLength(kind, value, size);
        return len == 36 || len == 38;
    }
    if (isOneOf(name, {"special_id", "parent", "editable", "hidden", "read", "added", "deleted"}))
        return !isTextOrBlob(kind);
    return true;
}

bool CBookMark::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled() || tableName != kBookmarkTable) return false;
    return AddCarvedBookmark(*record);
}

bool CBookMark::AddCarvedBookmark(const CarvedRecord& record) {
    if (!carvedColumnIsText(record, urlColumn)) return false;
    std::string url = record.Text(urlColumn);
    if (url.empty()) return false;

    auto rec = std::make_unique<BookmarkRecord>();
    rec->deleted = true;
    rec->url = std::move(url);
    rec->title = carvedColumnText(record, titleColumn);
    if (!isReadableText(rec->title.data(), rec->title.size())) return false;

    // The carver offers overlapping candidates and old copies of live rows: keep one
    // record per title and URL.
    if (Cancelled() || workingKeys.count({rec->title, rec->url})) return true;
    AppendWorking(std::move(rec));
    return true;
}

void CBookMark::AppendWorking(std::unique_ptr<BookmarkRecord> record) {
    const BookmarkRecord* r = workingList.append(std::move(record));
    workingKeys.emplace(r->title, r->url);
}

void CBookMark::HandOverRecords() {
    if (Cancelled()) return;
    progressDone = 0;
    progressTotal = workingList.count;
    std::unordered_set<BookmarkKey, TupleHash> listed;
    for (const BookmarkRecord* r = owner->BookmarkList().first; r; r = r->next)
        listed.emplace(r->title, r->url);
    for (const BookmarkRecord* r = workingList.first; r && !Cancelled(); r = r->next) {
        ReportProgress(3, false);
        AddBookmarkToOwner(*r, listed);
    }
    AddProgressStep(1);
    ClearWorkingList();
    AddProgressStep(1);
}

void CBookMark::AddBookmarkToOwner(const BookmarkRecord& record,
                                   std::unordered_set<BookmarkKey, TupleHash>& listed) {
    if (Cancelled() || listed.count({record.title, record.url})) return;
    auto copy = std::make_unique<BookmarkRecord>();
    copy->deleted = record.deleted;
    copy->title = record.title;
    copy->url = record.url;
    const BookmarkRecord* linked = copy->deleted ? owner->BookmarkList().prepend(std::move(copy))
                                                 : owner->BookmarkList().append(std::move(copy));
    listed.emplace(linked->title, linked->url);
}

void CBookMark::ClearWorkingList() {
    workingKeys.clear();
    workingList.clear();
}
