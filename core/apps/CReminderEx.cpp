#include "core/apps/CReminderEx.h"

#include "core/util/RegularFile.h"

#include "core/util/CommonUtils.h"
#include "core/backup/IFileParser.h"
#include "core/records/ReminderRecord.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"

#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace {

const char kObjectTable[] = "ZREMCDOBJECT";
const char kReminderEntity[] = "REMCDReminder";
const char kLocationTriggerEntity[] = "REMCDAlarmLocationTrigger";
const char kAlarmEntity[] = "REMCDAlarm";

// The store folder also holds write-ahead logs, shared-memory files and whatever else
// the app keeps there; only files that start like a SQLite database are opened.
bool looksLikeDatabase(const std::string& path) {
    static const char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                    'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    RegularFile in;
    char head[16] = {};
    if (!in.OpenStoredPath(path) || !in.ReadAt(0, head, sizeof head)) return false;
    return std::memcmp(head, kMagic, sizeof head) == 0;
}

// A live date cell in Apple seconds (REAL, or INTEGER for whole seconds) as Unix
// seconds; 0 when absent, not above 0, or not representable.
int64_t liveDate(sqlite3_stmt* s, int col) {
    const std::optional<int64_t> apple = liveSeconds(s, col);
    if (!apple || *apple <= 0) return 0;
    return appleToUnixChecked(*apple).value_or(0);
}

int32_t liveInt(sqlite3_stmt* s, int col) {
    return sqlite3_column_type(s, col) == SQLITE_INTEGER ? sqlite3_column_int(s, col) : 0;
}

CReminderEx::RowKey rowKey(const ReminderObjectRow& r) {
    return {r.due, r.priority, r.completed, r.created, r.title};
}
CReminderEx::RecordKey recordKey(const ReminderRecord& r) {
    return {r.priority, r.completed, r.date, r.title, r.notes, r.location};
}
CReminderEx::RecordKey recordKey(const ReminderObjectRow& r) {
    return {r.priority, r.completed, r.created, r.title, r.notes, r.address};
}

} // namespace

CReminderEx::CReminderEx(IParserOwner* owner) : CCommonInterFace(owner, ScanReminders) {}

CReminderEx::~CReminderEx() {
    objects.clear();
}

bool CReminderEx::Scan() {
    if (Cancelled() || !owner->FileParser()) return false;
    const std::vector<std::string>* stores = owner->FileParser()->GetReminderStores();
    const size_t storeCount = stores ? stores->size() : 0;
    // Four steps per store, then three to build the records.
    SetProgressSteps(storeCount > size_t((INT_MAX - 3) / 4) ? INT_MAX : static_cast<int>(4 * storeCount + 3));

    bool opened = true;
    for (size_t i = 0; i < storeCount && !Cancelled(); ++i) {
        Close();
        currentStore = static_cast<int32_t>(i < size_t(INT32_MAX) ? i : INT32_MAX);
        opened = OpenStore(owner->BackupFilePath((*stores)[i]));
        if (!opened) {
            AddProgressStep(4); // not a database, or unreadable: skipped
            continue;
        }
        ReadLive();
        CarveDeleted();
    }

    BuildRecords();
    return opened;
}

bool CReminderEx::OpenStore(const std::string& path) {
    if (!looksLikeDatabase(path)) return false;
    return Open(path.c_str(), false);
}

void CReminderEx::ReadLive() {
    ReadEntities();
    AddProgressStep(1);
    ReadObjects();
    AddProgressStep(1);
}

void CReminderEx::ReadEntities() {
    reminderEntity = locationTriggerEntity = alarmEntity = -1;
    ReadRows(
        LiveQuery("Z_PRIMARYKEY", "Z_ENT,Z_NAME")
            .Where("Z_NAME='REMCDReminder' or Z_NAME='REMCDAlarmLocationTrigger' or Z_NAME='REMCDAlarm'"),
        [&](sqlite3_stmt* s) {
            if (sqlite3_column_type(s, 0) != SQLITE_INTEGER) return;
            int ent = sqlite3_column_int(s, 0);
            if (ent <= 0 || sqlite3_column_type(s, 1) != SQLITE_TEXT) return;
            const char* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
            if (!name) return;
            if (std::strcmp(name, kReminderEntity) == 0)
                reminderEntity = ent;
            else if (std::strcmp(name, kLocationTriggerEntity) == 0)
                locationTriggerEntity = ent;
            else if (std::strcmp(name, kAlarmEntity) == 0)
                alarmEntity = ent;
        });
}

void CReminderEx::ReadObjects() {
    if (reminderEntity <= 0 || locationTriggerEntity <= 0 || alarmEntity <= 0) return;
    // The condition holds only numbers read as integers, so it is safe to format.
    const std::string condition = "Z_ENT=" + std::to_string(reminderEntity) +
                                  " or Z_ENT=" + std::to_string(locationTriggerEntity) +
                                  " or Z_ENT=" + std::to_string(alarmEntity);
    const LiveQuery query =
        LiveQuery(kObjectTable, "ZTITLE1,ZNOTES,ZADDRESS,ZMARKEDFORDELETION,ZPRIORITY,ZCREATIONDATE,"
                                "ZCOMPLETIONDATE,ZDUEDATE,Z_PK,Z_ENT,ZREMINDER,ZTRIGGER")
            .Where(condition);
    ReadRows(query, [&](sqlite3_stmt* s) {
        auto row = std::make_unique<ReminderObjectRow>();
        if (sqlite3_column_type(s, 0) == SQLITE_TEXT) CopyColumnText(s, 0, &row->title);
        if (sqlite3_column_type(s, 1) == SQLITE_TEXT) CopyColumnText(s, 1, &row->notes);
        if (sqlite3_column_type(s, 2) == SQLITE_TEXT) CopyColumnText(s, 2, &row->address);
        if (sqlite3_column_type(s, 3) == SQLITE_INTEGER) row->deleted = sqlite3_column_int64(s, 3) == 1;
        row->priority = liveInt(s, 4);
        row->created = liveDate(s, 5);
        // Whole-second completion dates are stored as INTEGER; both mean completed.
        switch (sqlite3_column_type(s, 6)) {
        case SQLITE_FLOAT:
            row->completed = sqlite3_column_double(s, 6) > 0.0;
            break;
        case SQLITE_INTEGER:
            row->completed = sqlite3_column_int64(s, 6) > 0;
            break;
        default:
            break;
        }
        row->due = liveDate(s, 7);
        row->pk = liveInt(s, 8);
        if (sqlite3_column_type(s, 9) == SQLITE_INTEGER) {
            int ent = sqlite3_column_int(s, 9);
            row->kind = ent == alarmEntity             ? KindAlarm
                        : ent == locationTriggerEntity ? KindLocationTrigger
                                                       : KindReminder;
        }
        row->reminderRef = liveInt(s, 10);
        row->triggerRef = liveInt(s, 11);
        row->store = currentStore;
        if (row->kind == KindReminder) rowKeys.insert(rowKey(*row));
        objects.append(std::move(row));
    });
}

void CReminderEx::CarveDeleted() {
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable(kObjectTable);
    AddProgressStep(1);
}

bool CReminderEx::PrepareTable() {
    if (tableName != kObjectTable) return false;
    titleColumn = GetColumnIndex("ZTITLE1");
    notesColumn = GetColumnIndex("ZNOTES");
    creationDateColumn = GetColumnIndex("ZCREATIONDATE");
    completionDateColumn = GetColumnIndex("ZCOMPLETIONDATE");
    priorityColumn = GetColumnIndex("ZPRIORITY");
    addressColumn = GetColumnIndex("ZADDRESS");
    dueDateColumn = GetColumnIndex("ZDUEDATE");
    markedForDeletionColumn = GetColumnIndex("ZMARKEDFORDELETION");
    if (titleColumn < 0 || notesColumn < 0 || creationDateColumn < 0 || completionDateColumn < 0 ||
        priorityColumn < 0 || addressColumn < 0 || dueDateColumn < 0 || markedForDeletionColumn < 0)
        return false;

    // Per column name: its rule and the kinds it can hold.
    struct NamedRule {
        const char* name;
        ColumnRule rule;
        uint32_t kinds;
    };
    static constexpr NamedRule kRules[] = {
        {"ZTITLE1", ColumnRule::Title, kindBit(KindText)},
        {"ZNOTES", ColumnRule::Notes, kindBit(KindNull) | kindBit(KindText)},
        {"ZDACALENDARITEMUNIQUEIDENTIFIER", ColumnRule::Uuid, kindBit(KindText)},
        {"ZCREATIONDATE", ColumnRule::Date, kNotTextKinds},
        {"ZDUEDATE", ColumnRule::Date, kNotTextKinds},
    };
    columnRules.assign(columns.size(), ColumnRule::Any);
    acceptedKinds.assign(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        for (const NamedRule& entry : kRules) {
            if (columns[i].name == entry.name) {
                columnRules[i] = entry.rule;
                acceptedKinds[i] = entry.kinds;
                break;
            }
        }
        if (columns[i].isIntegerPrimaryKey && i == 0) acceptedKinds[i] = 0;
    }
    return true;
}

bool CReminderEx::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount) return false;
    if (tableName != kObjectTable) return true;
    if (static_cast<size_t>(column) >= columnRules.size()) return true;
    switch (columnRules[column]) {
    case ColumnRule::Any:
        return true;
    case ColumnRule::Title:
        return isNonEmptyCarvedText(kind, value, size);
    case ColumnRule::Notes:
        return kind == KindNull || kind == KindText;
    case ColumnRule::Uuid:
        return isCarvedUuidText(kind, value, size);
    case ColumnRule::Date: {
        if (isTextOrBlob(kind)) return false;
        auto v = carvedInteger(kind, value);
        if (!v || *v <= 0) return !(kind == KindDouble && v && *v == INT64_MIN);
        // A positive date must move to Unix time without overflow.
        return appleToUnixChecked(*v).has_value();
    }
    }
    return true;
}

bool CReminderEx::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled() || tableName != kObjectTable) return false;
    if (!carvedColumnIsText(*record, titleColumn)) return false;
    std::string title = record->Text(titleColumn);
    if (title.empty() || !isReadableText(title.data(), title.size())) return false;

    auto row = std::make_unique<ReminderObjectRow>();
    row->deleted = true;
    row->kind = KindReminder;
    row->title = std::move(title);
    row->store = currentStore;
    row->notes = carvedColumnText(*record, notesColumn);
    if (!isReadableText(row->notes.data(), row->notes.size())) return false;
    row->address = carvedColumnText(*record, addressColumn);

    auto number = [&](int col) { return carvedColumnInteger(*record, col); };
    auto date = [&](int col) -> int64_t {
        auto v = number(col);
        if (!v || *v <= 0) return 0;
        return appleToUnixChecked(*v).value_or(0);
    };
    row->due = date(dueDateColumn);
    row->created = date(creationDateColumn);
    if (auto v = number(completionDateColumn)) row->completed = *v > 0;
    if (auto v = number(priorityColumn)) row->priority = static_cast<int32_t>(*v);

    // A row equal to a reminder already read (live or carved, any store) is not kept twice.
    if (Cancelled() || !rowKeys.insert(rowKey(*row)).second) return true;
    objects.append(std::move(row));
    return true;
}

void CReminderEx::BuildRecords() {
    // Z_PK numbers restart in every store: an alarm links the reminder and the location
    // trigger of its own store only, each found among the rows of its own entity.
    using StorePk = std::pair<int32_t, int32_t>;
    std::map<StorePk, ReminderObjectRow*> reminderByPk;
    std::map<StorePk, const ReminderObjectRow*> triggerByPk;
    for (ReminderObjectRow* r = objects.first; r && !Cancelled(); r = r->next) {
        if (r->pk <= 0) continue;
        if (r->kind == KindReminder)
            reminderByPk[{r->store, r->pk}] = r;
        else if (r->kind == KindLocationTrigger)
            triggerByPk[{r->store, r->pk}] = r;
    }
    progressDone = 0;
    progressTotal = objects.count;
    for (ReminderObjectRow* r = objects.first; r && !Cancelled(); r = r->next) {
        ReportProgress(3, false);
        if (r->kind != KindAlarm || r->reminderRef <= 0 || r->triggerRef <= 0) continue;
        auto reminder = reminderByPk.find({r->store, r->reminderRef});
        auto trigger = triggerByPk.find({r->store, r->triggerRef});
        if (reminder == reminderByPk.end() || trigger == triggerByPk.end()) continue;
        reminder->second->address = trigger->second->address;
    }
    AddProgressStep(1);

    // The owner's list already holds the calendar database's reminders; nothing equal to
    // one of them is added again.
    recordKeys.clear();
    for (ReminderRecord* r = owner ? owner->ReminderList().first : nullptr; r && !Cancelled(); r = r->next)
        recordKeys.insert(recordKey(*r));

    progressDone = 0;
    progressTotal = objects.count;
    for (ReminderObjectRow* r = objects.first; r && !Cancelled(); r = r->next) {
        ReportProgress(3, false);
        if (r->kind == KindReminder) AddRecord(*r);
    }
    AddProgressStep(1);
    objects.clear();
    rowKeys.clear();
    recordKeys.clear();
    AddProgressStep(1);
}

void CReminderEx::AddRecord(const ReminderObjectRow& row) {
    if (Cancelled()) return;
    if (!recordKeys.insert(recordKey(row)).second) return;
    auto rec = std::make_unique<ReminderRecord>();
    rec->deleted = row.deleted;
    rec->priority = row.priority;
    rec->completed = row.completed;
    rec->date = row.created;
    rec->dueDate = row.due;
    rec->title = row.title;
    rec->notes = row.notes;
    rec->location = row.address;
    if (rec->deleted)
        owner->ReminderList().prepend(std::move(rec));
    else
        owner->ReminderList().append(std::move(rec));
}
