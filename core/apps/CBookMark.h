#pragma once
#include "core/records/BookmarkRecord.h"
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <tuple>
#include <unordered_set>

// Recovers the Safari bookmarks of a backup, live and deleted, into the scan manager's
// bookmark list: deleted bookmarks first, then the live ones in "id" order.
class CBookMark : public CCommonInterFace {
  public:
    explicit CBookMark(IParserOwner* owner);
    ~CBookMark() override;

    // The whole run: find and open "Bookmarks.db", read the live rows, carve the
    // deleted ones, hand everything over. False when there is no owner, it is
    // cancelled, it has no manifest reader, the backup has no such database or the
    // database does not open.
    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    bool ReadLiveRows();
    bool QueryBookmarks();
    bool CarveDeletedRows();
    bool AddCarvedBookmark(const CarvedRecord& record);
    // Appends to the working list and notes the title and URL.
    void AppendWorking(std::unique_ptr<BookmarkRecord> record);
    void HandOverRecords();
    using BookmarkKey = std::tuple<std::string_view, std::string_view>; // title, URL
    // Adds a copy unless a bookmark with the same title and URL is listed (`listed`: the
    // keys of the owner's list).
    void AddBookmarkToOwner(const BookmarkRecord& record, std::unordered_set<BookmarkKey, TupleHash>& listed);
    void ClearWorkingList();

    RecordList<BookmarkRecord> workingList;                 // live rows, then accepted carved rows
    std::unordered_set<BookmarkKey, TupleHash> workingKeys; // views of the rows' strings
    int32_t urlColumn = -1;
    int32_t titleColumn = -1;
};
