#include "core/apps/CReminder.h"

#include "core/util/CommonUtils.h"
#include "core/backup/IFileParser.h"
#include "core/records/ReminderRecord.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"

#include <cstring>
#include <memory>
#include <set>
#include <unordered_map>

namespace {

const char kCalendarFolder[] = "/var/mobile/Library/Calendar/";
const char kCalendarFile[] = "Calendar.sqlitedb";
const char kItemTable[] = "CalendarItem";

// A live 32-bit id: INTEGER and non-zero, else nullopt.
std::optional<int32_t> liveId(sqlite3_stmt* s, int col) {
    if (sqlite3_column_type(s, col) != SQLITE_INTEGER) return std::nullopt;
    int32_t v = sqlite3_column_int(s, col);
    if (v == 0) return std::nullopt;
    return v;
}

// The start date of a reminder: positive Apple seconds move to Unix time, a value of
// 0 or below is kept as it is; nullopt when the move overflows.
std::optional<int64_t> startDateToUnix(int64_t apple) {
    if (apple <= 0) return apple;
    return appleToUnixChecked(apple);
}

CReminder::RowKey rowKey(const ReminderRow& r) {
    return {r.calendarId, r.priority, r.completed, r.date, r.title};
}

CReminder::RecordKey recordKey(const ReminderRecord& r) {
    return {r.priority, r.completed, r.date, r.title, r.notes, r.location, r.listTitle};
}
CReminder::RecordKey recordKey(const ReminderRow& r) {
    return {r.priority, r.completed, r.date, r.title, r.notes, r.location, r.listTitle};
}

} // namespace

CReminder::CReminder(IParserOwner* owner) : CCommonInterFace(owner, ScanReminders) {}

CReminder::~CReminder() {
    ClearLists();
}

void CReminder::ClearLists() {
    reminders.clear();
    locations.clear();
    alarms.clear();
    lists.clear();
    rowKeys.clear();
    recordKeys.clear();
}

bool CReminder::Scan() {
    if (Cancelled()) return false;
    if (!OpenStoredDatabase(CategoryCalendarReminders, std::string(kCalendarFolder) + kCalendarFile, false))
        return false;

    SetProgressSteps(8); // reading and carving, then the records
    ReadLive();
    CarveDeleted();
    BuildRecords();
    return true;
}

void CReminder::ReadLive() {
    ReadReminders();
    AddProgressStep(1);
    ReadLists();
    AddProgressStep(1);
    ReadLocations();
    AddProgressStep(1);
    ReadAlarms();
    AddProgressStep(1);
}

void CReminder::ReadReminders() {
    ReadRows(
        LiveQuery(kItemTable, "ROWID,calendar_id,start_date,completion_date,priority,summary,description")
            .Where("entity_type=3"),
        [&](sqlite3_stmt* s) {
            auto rowid = liveId(s, 0);
            if (!rowid) return;
            auto calendarId = liveId(s, 1);
            if (!calendarId) return;
            const int64_t date = liveAppleDate(s, 2);
            bool completed = false;
            if (auto done = liveSeconds(s, 3)) completed = *done > 0;
            int32_t priority = sqlite3_column_type(s, 4) == SQLITE_INTEGER ? sqlite3_column_int(s, 4) : 0;
            if (sqlite3_column_type(s, 5) != SQLITE_TEXT) return;
            auto row = std::make_unique<ReminderRow>();
            CopyColumnText(s, 5, &row->title);
            if (sqlite3_column_type(s, 6) == SQLITE_TEXT) CopyColumnText(s, 6, &row->notes);
            row->rowid = *rowid;
            row->calendarId = *calendarId;
            row->priority = priority;
            row->date = date;
            row->completed = completed;
            row->deleted = false;
            rowKeys.insert(rowKey(*row));
            reminders.append(std::move(row));
        });
}

void CReminder::ReadLists() {
    ReadRows(LiveQuery("Calendar", "ROWID,title").Where("flags=2304"), [&](sqlite3_stmt* s) {
        auto rowid = liveId(s, 0);
        if (!rowid) return;
        auto row = std::make_unique<ReminderListRow>();
        row->rowid = *rowid;
        if (sqlite3_column_type(s, 1) == SQLITE_TEXT) CopyColumnText(s, 1, &row->title);
        lists.append(std::move(row));
    });
}

void CReminder::ReadLocations() {
    ReadRows(LiveQuery("Location", "ROWID,title"), [&](sqlite3_stmt* s) {
        auto rowid = liveId(s, 0);
        if (!rowid) return;
        auto row = std::make_unique<ReminderLocationRow>();
        row->rowid = *rowid;
        // Text or blob; a title is what precedes the first NUL.
        CopyColumnText(s, 1, &row->title);
        row->title.resize(std::strlen(row->title.c_str()));
        if (row->title.empty()) return;
        row->ownerId = 0;
        locations.append(std::move(row));
    });
}

void CReminder::ReadAlarms() {
    auto onRow = [&](sqlite3_stmt* s) {
        auto locationId = liveId(s, 0);
        if (!locationId) return;
        auto ownerId = liveId(s, 1);
        if (!ownerId) return;
        auto row = std::make_unique<ReminderAlarmRow>();
        row->locationId = *locationId;
        row->ownerId = *ownerId;
        alarms.append(std::move(row));
    };
    // Newer databases name the owner column calendaritem_owner_id, older ones owner_id.
    if (!ReadRows(LiveQuery("Alarm", "location_id,calendaritem_owner_id").Where("location_id>0"), onRow))
        ReadRows(LiveQuery("Alarm", "location_id,owner_id").Where("location_id>0"), onRow);
}

void CReminder::CarveDeleted() {
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable(kItemTable);
    AddProgressStep(1);
}

bool CReminder::PrepareTable() {
    if (tableName != kItemTable) return false;
    summaryColumn = GetColumnIndex("summary");
    descriptionColumn = GetColumnIndex("description");
    startDateColumn = GetColumnIndex("start_date");
    completionDateColumn = GetColumnIndex("completion_date");
    priorityColumn = GetColumnIndex("priority");
    calendarIdColumn = GetColumnIndex("calendar_id");
    if (summaryColumn < 0 || descriptionColumn < 0 || startDateColumn < 0 || completionDateColumn < 0 ||
        priorityColumn < 0 || calendarIdColumn < 0)
        return false;

    // Resolve each column's test once, so the per-candidate check needs no name lookup,
    // and tell the carver which kinds a column can hold at all.
    struct NamedRule {
        const char* name;
        ColumnRule rule;
        uint32_t kinds;
    };
    static constexpr NamedRule kRules[] = {
        {"summary", ColumnRule::Summary, kindBit(KindText)},
        {"description", ColumnRule::Description, kindBit(KindNull) | kindBit(KindText)},
        {"UUID", ColumnRule::Uuid, kindBit(KindText)},
        {"start_date", ColumnRule::StartDate, kNotTextKinds},
        {"calendar_id", ColumnRule::CalendarId, kNumberKinds},
        {"entity_type", ColumnRule::EntityType, kNumberKinds},
        {"location_id", ColumnRule::LocationId, kNumberKinds | kindBit(KindNull)}, // NULL: no place
    };
    columnRules.assign(columns.size(), ColumnRule::Any);
    acceptedKinds.assign(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        ColumnRule rule = ColumnRule::Any;
        uint32_t kinds = 0;
        for (const NamedRule& entry : kRules) {
            if (columns[i].name == entry.name) {
                rule = entry.rule;
                kinds = entry.kinds;
                break;
            }
        }
        // The INTEGER PRIMARY KEY column is never read; leave it unconstrained.
        if (columns[i].isIntegerPrimaryKey && i == 0) kinds = 0;
        columnRules[i] = rule;
        acceptedKinds[i] = kinds;
    }
    return true;
}

bool CReminder::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount) return false;
    if (tableName != kItemTable) return true;
    if (static_cast<size_t>(column) >= columnRules.size()) return true;
    switch (columnRules[column]) {
    case ColumnRule::Any:
        return true;
    case ColumnRule::Summary:
        return isNonEmptyCarvedText(kind, value, size);
    case ColumnRule::Description:
        return kind == KindNull || kind == KindText;
    case ColumnRule::Uuid:
        return isCarvedUuidText(kind, value, size);
    case ColumnRule::StartDate: {
        if (isTextOrBlob(kind)) return false;
        auto v = carvedInteger(kind, value);
        if (!v) return true; // NULL: no date
        // A double that did not fit arrives as INT64_MIN; a positive value must move to
        // Unix time without overflow.
        if (kind == KindDouble && *v == INT64_MIN) return false;
        return startDateToUnix(*v).has_value();
    }
    case ColumnRule::CalendarId:
        return isNonZeroCarvedInteger(kind, value);
    case ColumnRule::EntityType: {
        auto v = carvedInteger(kind, value);
        return v && *v != 2;
    }
    case ColumnRule::LocationId:
        return isCarvedNumberKind(kind) || kind == KindNull;
    }
    return true;
}

bool CReminder::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled() || tableName != kItemTable) return false;
    if (!carvedColumnIsText(*record, summaryColumn)) return false;
    std::string title = record->Text(summaryColumn);
    if (title.empty() || !isReadableText(title.data(), title.size())) return false;

    auto row = std::make_unique<ReminderRow>();
    row->deleted = true;
    row->title = std::move(title);
    row->rowid = 0;
    row->notes = carvedColumnText(*record, descriptionColumn);
    if (!isReadableText(row->notes.data(), row->notes.size())) return false;

    auto number = [&](int col) { return carvedColumnInteger(*record, col); };
    if (auto v = number(calendarIdColumn)) row->calendarId = static_cast<int32_t>(*v);
    if (auto v = number(startDateColumn)) row->date = startDateToUnix(*v).value_or(0);
    if (auto v = number(completionDateColumn)) row->completed = *v > 0;
    if (auto v = number(priorityColumn)) row->priority = static_cast<int32_t>(*v);

    // A row equal to one already read (live or carved) is not kept twice.
    if (Cancelled() || !rowKeys.insert(rowKey(*row)).second) return true;
    reminders.append(std::move(row));
    return true;
}

void CReminder::BuildRecords() {
    // A location belongs to the reminder owning the first alarm that points to it.
    std::unordered_map<int32_t, int32_t> ownerOfLocation;
    for (ReminderAlarmRow* a = alarms.first; a && !Cancelled(); a = a->next)
        ownerOfLocation.emplace(a->locationId, a->ownerId);
    for (ReminderLocationRow* l = locations.first; l && !Cancelled(); l = l->next) {
        if (l->ownerId != 0) continue;
        auto it = ownerOfLocation.find(l->rowid);
        if (it != ownerOfLocation.end()) l->ownerId = it->second;
    }
    if (Cancelled()) return;

    std::unordered_map<int32_t, const ReminderListRow*> listById;
    for (ReminderListRow* l = lists.first; l; l = l->next)
        listById.emplace(l->rowid, l);
    std::unordered_map<int32_t, const ReminderLocationRow*> locationByOwner;
    for (ReminderLocationRow* l = locations.first; l; l = l->next)
        if (l->ownerId != 0) locationByOwner.emplace(l->ownerId, l);

    // The owner's list may already hold records; nothing equal to one of them is added.
    recordKeys.clear();
    for (ReminderRecord* r = owner->ReminderList().first; r && !Cancelled(); r = r->next)
        recordKeys.insert(recordKey(*r));

    progressDone = 0;
    progressTotal = reminders.count;
    for (ReminderRow* r = reminders.first; r && !Cancelled(); r = r->next) {
        ReportProgress(3, false);
        if (auto it = listById.find(r->calendarId); it != listById.end()) r->listTitle = it->second->title;
        if (r->rowid > 0)
            if (auto it = locationByOwner.find(r->rowid); it != locationByOwner.end())
                r->location = it->second->title;
        AddRecord(*r);
    }
    AddProgressStep(1);
    ClearLists();
    AddProgressStep(1);
}

void CReminder::AddRecord(const ReminderRow& row) {
    if (Cancelled()) return;
    // Equal on everything shown but the deleted flag: already in the list.
    if (!recordKeys.insert(recordKey(row)).second) return;
    RecordList<ReminderRecord>& list = owner->ReminderList();
    auto rec = std::make_unique<ReminderRecord>();
    rec->deleted = row.deleted;
    rec->priority = row.priority;
    rec->completed = row.completed;
    rec->date = row.date;
    rec->title = row.title;
    rec->notes = row.notes;
    rec->location = row.location;
    rec->listTitle = row.listTitle;
    rec->dueDate = 0;
    if (rec->deleted)
        list.prepend(std::move(rec));
    else
        list.append(std::move(rec));
}
