#include "core/apps/CCalendar.h"
#include "core/util/CommonUtils.h"
#include "core/backup/IFileParser.h"
#include "core/records/CalendarRecord.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"

#include <cstring>
#include <unordered_map>

namespace {

constexpr const char* kItemTable = "CalendarItem";
constexpr const char* kEventTable = "Event";

// Kinds a column of the carved tables can ever hold (bit k for kind k; 0 = any), so the
// carver drops a candidate at its first impossible serial type.
uint32_t acceptedKindMask(bool item, const std::string& column) {
    constexpr uint32_t textBit = kindBit(KindText);
    constexpr uint32_t textOrNull = kindBit(KindNull) | textBit;
    if (column == "summary") return textBit;
    if (column == "description") return textOrNull;
    if (column == "start_date" || column == "end_date" || column == "calendar_id") return kNumberKinds;
    if (item) {
        if (column == "location_id") return kNumberKinds | kindBit(KindNull); // most events have no place
        if (column == "entity_type") return kNumberKinds | kindBit(KindNull); // NULL: an untyped event
        if (column == "UUID") return textBit;
    } else {
        if (column == "location") return textOrNull;
        if (column == "unique_identifier") return textBit;
    }
    return 0;
}

} // namespace

CCalendar::CCalendar(IParserOwner* owner) : CCommonInterFace(owner, ScanCalendar) {}

CCalendar::~CCalendar() {
    ClearEvents();
    locations.clear();
}

void CCalendar::AppendEvent(std::unique_ptr<CalendarEventRow> row) {
    const CalendarEventRow* r = events.append(std::move(row));
    itemKeys.emplace(r->locationId, r->start, r->end, r->title, r->description);
    eventKeys.emplace(r->start, r->end, r->title, r->description, r->location);
}

void CCalendar::ClearEvents() {
    itemKeys.clear();
    eventKeys.clear();
    events.clear();
}

bool CCalendar::NewSchema() const {
    return owner && owner->IosVersion() > 4;
}

bool CCalendar::Scan() {
    if (Cancelled()) return false;
    if (!OpenStoredDatabase(CategoryCalendar, "/var/mobile/Library/Calendar/Calendar.sqlitedb", false))
        return false;

    SetProgressSteps(6); // reading and carving, then the records
    ReadLive();
    CarveDeleted();
    BuildRecords();
    return true;
}

void CCalendar::ReadLive() {
    if (NewSchema()) {
        ReadCalendarItems();
        AddProgressStep(1);
        ReadLocations();
        AddProgressStep(1);
    } else {
        ReadEventTable();
        AddProgressStep(2);
    }
}

bool CCalendar::ReadCalendarItems() {
    // Some stores leave the type of their events NULL: an item with a start date and no
    // type is an event (reminders are typed 3).
    return ReadEvents(LiveQuery(kItemTable, "summary,location_id,start_date,end_date,description")
                          .Where("entity_type=2 or (entity_type is null and start_date is not null)"),
                      true);
}

bool CCalendar::ReadEventTable() {
    return ReadEvents(LiveQuery(kEventTable, "summary,start_date,end_date,location,description"), false);
}

bool CCalendar::ReadEvents(const LiveQuery& query, bool withLocationId) {
    return ReadRows(query, [&](sqlite3_stmt* st) {
        const int columnsInRow = sqlite3_column_count(st);
        std::unique_ptr<CalendarEventRow> row;
        for (int c = 0; c < columnsInRow; ++c) {
            const char* name = sqlite3_column_name(st, c);
            if (!name) continue;
            const int type = sqlite3_column_type(st, c);
            if (std::strcmp(name, "summary") == 0) {
                if (type != SQLITE_TEXT) break; // the row is skipped
                row = std::make_unique<CalendarEventRow>();
                row->title = liveText(st, c);
            } else if (!row) {
                continue;
            } else if (withLocationId && std::strcmp(name, "location_id") == 0) {
                if (type == SQLITE_INTEGER)
                    row->locationId = static_cast<uint32_t>(sqlite3_column_int64(st, c) & 0xFFFFFFFF);
            } else if (std::strcmp(name, "start_date") == 0) {
                row->start = liveAppleDate(st, c);
            } else if (std::strcmp(name, "end_date") == 0) {
                row->end = liveAppleDate(st, c);
            } else if (std::strcmp(name, "description") == 0) {
                if (type == SQLITE_TEXT) row->description = liveText(st, c);
            } else if (!withLocationId && std::strcmp(name, "location") == 0) {
                if (type == SQLITE_TEXT) row->location = liveText(st, c);
            }
        }
        if (row) AppendEvent(std::move(row));
    });
}

bool CCalendar::ReadLocations() {
    return ReadRows(LiveQuery("Location", "ROWID,title"), [&](sqlite3_stmt* st) {
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
        int64_t rowid = sqlite3_column_int64(st, 0);
        if (rowid == 0 || sqlite3_column_type(st, 1) != SQLITE_TEXT) return;
        std::string title = liveText(st, 1);
        if (title.empty()) return;
        auto loc = std::make_unique<CalendarLocationRow>();
        loc->rowid = rowid;
        loc->title = std::move(title);
        locations.append(std::move(loc));
    });
}

void CCalendar::CarveDeleted() {
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable(NewSchema() ? kItemTable : kEventTable);
    AddProgressStep(1);
}

bool CCalendar::PrepareTable() {
    locationIdColumn = summaryColumn = descriptionColumn = startDateColumn = endDateColumn = locationColumn =
        -1;
    int place = -1;
    if (tableName == kItemTable)
        place = locationIdColumn = GetColumnIndex("location_id");
    else if (tableName == kEventTable)
        place = locationColumn = GetColumnIndex("location");
    else
        return false;
    summaryColumn = GetColumnIndex("summary");
    descriptionColumn = GetColumnIndex("description");
    startDateColumn = GetColumnIndex("start_date");
    endDateColumn = GetColumnIndex("end_date");
    if (place < 0 || summaryColumn < 0 || descriptionColumn < 0 || startDateColumn < 0 || endDateColumn < 0)
        return false;
    acceptedKinds.assign(static_cast<size_t>(columnCount), 0);
    for (size_t i = 0; i < columns.size() && i < acceptedKinds.size(); ++i)
        acceptedKinds[i] = acceptedKindMask(tableName == kItemTable, columns[i].name);
    return true;
}

bool CCalendar::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || !value) return false;
    if (column < 0 || column >= columnCount || column >= static_cast<int32_t>(columns.size())) return false;
    const bool item = tableName == kItemTable;
    const bool event = tableName == kEventTable;
    if (!item && !event) return true;
    const std::string& name = columns[static_cast<size_t>(column)].name;
    const bool numeric = isCarvedNumberKind(kind);
    const bool isNull = kind == KindNull;

    if (name == "summary") return isNonEmptyCarvedText(kind, value, size);
    if (name == "description") return isNull || kind == KindText;
    if (event && name == "location") return isNull || kind == KindText;
    if (item && name == "location_id") return numeric || isNull; // NULL: no place
    if ((item && name == "UUID") || (event && name == "unique_identifier"))
        return isCarvedUuidText(kind, value, size);
    if (name == "start_date" || name == "end_date") {
        // No upper bound: events are planned for the future.
        auto v = carvedInteger(kind, value);
        if (!v || *v == 0) return false;
        auto unix = appleToUnixChecked(*v);
        if (!unix || *unix < kCarvedDateMin) return false;
        value->i64 = *unix;
        return true;
    }
    if (name == "calendar_id") return isNonZeroCarvedInteger(kind, value);
    if (item && name == "entity_type") {
        if (isNull) return true; // untyped: an event, as its start date is required below
        auto v = carvedInteger(kind, value);
        return v && *v == 2;
    }
    return true;
}

bool CCalendar::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled()) return false;
    const bool item = tableName == kItemTable;
    if (!item && tableName != kEventTable) return false;

    if (!carvedColumnIsText(*record, summaryColumn) || record->sizes[static_cast<size_t>(summaryColumn)] == 0)
        return false;
    auto row = std::make_unique<CalendarEventRow>();
    row->deleted = true;
    row->title = record->Text(summaryColumn);
    row->description = carvedColumnText(*record, descriptionColumn);
    // Texts a person reads: a misaligned candidate shows as bytes no one wrote.
    if (!isReadableText(row->title.data(), row->title.size()) ||
        !isReadableText(row->description.data(), row->description.size()))
        return false;
    if (item) {
        if (auto v = carvedColumnInteger(*record, locationIdColumn))
            row->locationId = static_cast<uint32_t>(static_cast<uint64_t>(*v) & 0xFFFFFFFFu);
    } else {
        row->location = carvedColumnText(*record, locationColumn);
    }
    // After CheckCarvedValue the date slots hold Unix seconds in the whole slot.
    row->start = carvedNumberSlot(*record, startDateColumn);
    row->end = carvedNumberSlot(*record, endDateColumn);

    if (Cancelled()) return true;
    const bool same =
        item ? itemKeys.count({row->locationId, row->start, row->end, row->title, row->description}) != 0
             : eventKeys.count({row->start, row->end, row->title, row->description, row->location}) != 0;
    if (same) return true;
    AppendEvent(std::move(row));
    return true;
}

void CCalendar::BuildRecords() {
    // The rows' strings change below: the duplicate keys of the carving step go first.
    itemKeys.clear();
    eventKeys.clear();

    // The title of a location id is the first location row's with that rowid.
    std::unordered_map<int64_t, const CalendarLocationRow*> locationById;
    for (const CalendarLocationRow* loc = locations.first; loc; loc = loc->next)
        locationById.emplace(loc->rowid, loc);

    ListIndex index;
    const bool indexed = owner && index.order.Load(owner->CalendarList());
    if (indexed)
        for (const CalendarRecord* r = owner->CalendarList().first; r; r = r->next)
            index.listed.emplace(r->start, r->end, r->title, r->description, r->location);

    progressDone = 0;
    progressTotal = events.count;
    for (CalendarEventRow* row = events.first; row && !Cancelled(); row = row->next) {
        ReportProgress(3, false);
        if (row->locationId > 0) {
            auto loc = locationById.find(static_cast<int64_t>(row->locationId));
            if (loc != locationById.end()) row->location = loc->second->title;
        }
        AddRecord(*row, indexed ? &index : nullptr);
    }
    AddProgressStep(1);
    ClearEvents();
    locations.clear();
    AddProgressStep(1);
}

void CCalendar::AddRecord(const CalendarEventRow& row, ListIndex* index) {
    if (!owner) return;
    auto newRecord = [&row] {
        auto rec = std::make_unique<CalendarRecord>();
        rec->deleted = row.deleted;
        rec->title = row.title;
        rec->description = row.description;
        rec->location = row.location;
        rec->start = row.start;
        rec->end = row.end;
        return rec;
    };
    if (index) {
        if (Cancelled()) return;
        if (index->listed.count({row.start, row.end, row.title, row.description, row.location})) return;
        CalendarRecord* linked =
            owner->CalendarList().insertBefore(index->order.Before(row.deleted, row.start), newRecord());
        index->order.Added(linked);
        index->listed.emplace(linked->start, linked->end, linked->title, linked->description,
                              linked->location);
        return;
    }
    int32_t position = 0;
    for (const CalendarRecord* r = owner->CalendarList().first; r; r = r->next) {
        if (Cancelled()) return;
        if (r->start == row.start && r->end == row.end && r->title == row.title &&
            r->description == row.description && r->location == row.location)
            return;
        if (row.deleted) {
            if (r->deleted && r->start > row.start) ++position;
        } else if (r->deleted || r->start > row.start) {
            ++position;
        }
    }
    owner->CalendarList().insertAt(position, newRecord());
}
