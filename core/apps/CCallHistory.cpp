#include "core/apps/CCallHistory.h"

#include "core/backup/IFileParser.h"
#include "core/records/ContactNameIndex.h"
#include "core/records/DeletedFirstOrder.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"
#include "core/util/CommonUtils.h"

#include <cstring>
#include <optional>

namespace {

constexpr const char* kModernFolder = "/var/mobile/Library/CallHistoryDB/";
constexpr const char* kModernFile = "CallHistory.storedata";
constexpr const char* kModernTable = "ZCALLRECORD";
constexpr const char* kLegacyFolder = "/var/wireless/Library/CallHistory/";
constexpr const char* kLegacyFile = "call_history.db";
constexpr const char* kLegacyTable = "call";
// Incoming and outgoing calls of the old table differ by this flags value.
constexpr int64_t kLegacyOutgoingFlags = 5;

constexpr uint32_t kDateKinds = (kindBit(KindDouble + 1) - 1) & ~(kindBit(KindInt8) - 1);

// Columns of the new table that must hold a number (or NULL) in a deleted row.
bool isModernNumberColumn(const std::string& name) {
    return name == "Z_ENT" || name == "Z_OPT" || name == "ZANSWERED" || name == "ZCALLTYPE" ||
           name == "ZREAD" || name == "ZORIGINATED";
}

// Carved dates are stored as integers of any width or as a double already cut to whole
// seconds.
// Carved dates of the newer table must lie after 2001-01-02 00:00 UTC.
constexpr int64_t kModernCarvedDateFloor = 978393600;

bool isCarvedDateKind(uint32_t kind) {
    return kind >= KindInt8 && kind <= KindDouble;
}

// Unix time of a carved date of the given table, or nullopt when it is not a plausible
// date of a deleted call.
std::optional<int64_t> carvedCallDate(bool modern, uint32_t kind, const CarvedValue* value) {
    if (!isCarvedDateKind(kind)) return std::nullopt;
    const std::optional<int64_t> raw = carvedInteger(kind, value);
    if (!raw || *raw == 0) return std::nullopt;
    const std::optional<int64_t> unix = modern ? appleToUnixChecked(*raw) : raw;
    if (!unix || *unix == 0 || !isPlausibleCarvedDate(*unix)) return std::nullopt;
    // A few seconds after 2001-01-01 is the small integer of another row (a handle's
    // number read as a date), not a call.
    if (modern && *unix <= kModernCarvedDateFloor) return std::nullopt;
    return unix;
}

// A call's unique id: 36 characters with hyphens at 8, 13, 18 and 23.
bool isUuidShape(uint32_t kind, const CarvedValue* value, uint32_t size) {
    if (!isCarvedUuidText(kind, value, size)) return false;
    for (size_t i = 0; i < 36; ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        if ((value->text[i] == '-') != hyphenPlace) return false;
    }
    return true;
}

} // namespace

bool callListInsertAt(RecordList<CallRecord>& list, std::unique_ptr<CallRecord> record, int32_t position) {
    if (!record || position < 0 || position > list.count) return false;
    list.insertAt(position, std::move(record));
    return true;
}

CCallHistory::CCallHistory(IParserOwner* owner) : CCommonInterFace(owner, ScanCallHistory) {}

CCallHistory::~CCallHistory() {
    ClearRows();
}

void CCallHistory::ClearRows() {
    rowKeys.clear();
    callRows.clear();
}

void CCallHistory::AppendRow(std::unique_ptr<CallRow> row) {
    const CallRow* r = callRows.append(std::move(row));
    rowKeys.emplace(r->date, r->outgoing, std::string_view(r->address));
}

bool CCallHistory::Scan() {
    if (Cancelled()) return false;

    const bool modern = owner->IosVersion() >= 9;
    const std::string devicePath =
        modern ? std::string(kModernFolder) + kModernFile : std::string(kLegacyFolder) + kLegacyFile;
    const char* table = modern ? kModernTable : kLegacyTable;
    if (!OpenStoredDatabase(CategoryCallHistory, devicePath, false)) return false;

    // Reading and carving, then the hand-over: five steps.
    SetProgressSteps(5);
    if (!Cancelled()) ReadLiveRows(modern);
    AddProgressStep(1);
    if (!Cancelled()) {
        BuildLiveCellMap();
        AddProgressStep(1);
        CarveTable(table);
        AddProgressStep(1);
    }

    AddCallsToOwner();
    return true;
}

bool CCallHistory::ReadLiveRows(bool modern) {
    const char* table = modern ? kModernTable : kLegacyTable;
    const LiveQuery query =
        modern ? LiveQuery(table, "ZORIGINATED,ZDATE,ZDURATION,ZADDRESS").OrderBy("ZDATE DESC")
               : LiveQuery(table, "flags,date,duration,address").OrderBy("date DESC");
    const char* directionName = modern ? "ZORIGINATED" : "flags";
    const char* dateName = modern ? "ZDATE" : "date";
    const char* durationName = modern ? "ZDURATION" : "duration";
    const char* addressName = modern ? "ZADDRESS" : "address";

    return ReadRows(query, [&](sqlite3_stmt* stmt) {
        auto row = std::make_unique<CallRow>();
        bool addressReached = false;
        bool bad = false;
        const int cols = sqlite3_column_count(stmt);
        // The columns are taken by name; a value of the wrong type ends the row.
        for (int c = 0; c < cols && !bad; ++c) {
            const char* name = sqlite3_column_name(stmt, c);
            if (!name) continue;
            const int type = sqlite3_column_type(stmt, c);
            if (std::strcmp(name, directionName) == 0) {
                if (type != SQLITE_INTEGER) {
                    bad = true;
                    break;
                }
                const int64_t v = sqlite3_column_int64(stmt, c);
                row->outgoing = modern ? v != 0 : v == kLegacyOutgoingFlags;
            } else if (std::strcmp(name, dateName) == 0) {
                // Whole-second dates are stored as INTEGER, others as FLOAT.
                const std::optional<int64_t> t = liveSeconds(stmt, c);
                if (!t) {
                    bad = true;
                    break;
                }
                if (modern && *t >= 1) {
                    const std::optional<int64_t> unix = appleToUnixChecked(*t);
                    if (!unix) {
                        bad = true;
                        break;
                    }
                    row->date = *unix;
                } else {
                    row->date = *t;
                }
            } else if (std::strcmp(name, durationName) == 0) {
                const std::optional<int64_t> d = liveSeconds(stmt, c);
                if (!d) {
                    bad = true;
                    break;
                }
                row->duration = *d;
            } else if (std::strcmp(name, addressName) == 0) {
                if (type != SQLITE_TEXT && type != SQLITE_BLOB) {
                    bad = true;
                    break;
                }
                CopyColumnText(stmt, c, &row->address);
                normalizeAddress(row->address);
                addressReached = true;
            }
        }
        if (!addressReached || row->address.empty()) return;
        row->deleted = false;
        AppendRow(std::move(row));
    });
}

bool CCallHistory::PrepareTable() {
    if (tableName == kModernTable) {
        addressColumn = GetColumnIndex("ZADDRESS");
        dateColumn = GetColumnIndex("ZDATE");
        durationColumn = GetColumnIndex("ZDURATION");
        directionColumn = GetColumnIndex("ZORIGINATED");
    } else if (tableName == kLegacyTable) {
        addressColumn = GetColumnIndex("address");
        dateColumn = GetColumnIndex("date");
        durationColumn = GetColumnIndex("duration");
        directionColumn = GetColumnIndex("flags");
    } else {
        return false;
    }
    if (addressColumn < 0 || dateColumn < 0 || durationColumn < 0 || directionColumn < 0) return false;

    // The kinds each tested column can hold (the same rules as CheckCarvedValue): the
    // carver drops a candidate at its first impossible serial type, before decoding.
    const bool modern = tableName == kModernTable;
    acceptedKinds.assign(columns.size(), 0);
    for (size_t c = 0; c < columns.size(); ++c) {
        const int32_t col = static_cast<int32_t>(c);
        const std::string& name = columns[c].name;
        if (col == dateColumn)
            acceptedKinds[c] = kDateKinds;
        else if (col == addressColumn)
            acceptedKinds[c] = kTextKinds;
        else if (col == durationColumn)
            acceptedKinds[c] = kNotTextKinds;
        else if (modern && name == "ZUNIQUE_ID")
            acceptedKinds[c] = kTextKinds;
        else if (modern ? isModernNumberColumn(name) : (name == "id" || name == "flags"))
            acceptedKinds[c] = kNotTextKinds;
    }
    return true;
}

bool CCallHistory::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || static_cast<size_t>(column) >= columns.size()) return false;
    const bool modern = tableName == kModernTable;
    if (!modern && tableName != kLegacyTable) return true;

    const std::string& name = columns[static_cast<size_t>(column)].name;
    const char* addressName = modern ? "ZADDRESS" : "address";
    const char* dateName = modern ? "ZDATE" : "date";
    const char* durationName = modern ? "ZDURATION" : "duration";

    if (name == dateName) return carvedCallDate(modern, kind, value).has_value();
    if (name == addressName) {
        if (!isTextOrBlob(kind)) return false;
        std::string address = carvedSlotText(kind, value, size);
        if (address.empty()) return false;
        if (isNamedAddress(address) && !isReadableText(address.data(), address.size())) return false;
        normalizeAddress(address);
        return !address.empty();
    }
    if (name == durationName) {
        if (isTextOrBlob(kind)) return false;
        const std::optional<int64_t> d = carvedInteger(kind, value);
        return !d || *d >= 0;
    }
    if (modern) {
        if (name == "ZUNIQUE_ID") return isUuidShape(kind, value, size);
        if (isModernNumberColumn(name)) return !isTextOrBlob(kind);
    } else if (name == "id" || name == "flags") {
        return !isTextOrBlob(kind);
    }
    return true;
}

bool CCallHistory::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled()) return false;
    const bool modern = tableName == kModernTable;
    if (!modern && tableName != kLegacyTable) return false;

    auto valid = [record](int32_t col) { return hasCarvedColumn(*record, col); };
    if (!valid(addressColumn) || !valid(dateColumn) || !valid(durationColumn) || !valid(directionColumn))
        return false;

    if (!carvedColumnIsText(*record, addressColumn)) return false;
    auto row = std::make_unique<CallRow>();
    row->deleted = true;
    row->address = record->Text(addressColumn);
    normalizeAddress(row->address);
    if (row->address.empty()) return false;

    const std::optional<int64_t> direction = carvedColumnInteger(*record, directionColumn);
    row->outgoing = direction && (modern ? *direction != 0 : *direction == kLegacyOutgoingFlags);

    const std::optional<int64_t> date = carvedCallDate(modern, record->kinds[static_cast<size_t>(dateColumn)],
                                                       &record->values[static_cast<size_t>(dateColumn)]);
    if (!date) return false;
    row->date = *date;

    const std::optional<int64_t> duration = carvedColumnInteger(*record, durationColumn);
    row->duration = duration && *duration >= 0 ? *duration : 0;

    // Old copies of live rows and overlapping candidates: one row per date, direction
    // and number.
    if (Cancelled() || rowKeys.count({row->date, row->outgoing, std::string_view(row->address)})) return true;
    AppendRow(std::move(row));
    return true;
}

namespace {

// A call as the owner's list compares it: direction, date, duration, number.
using CallKey = std::tuple<bool, int64_t, int64_t, std::string_view>;

CallKey callKey(const CallRecord& r) {
    return {r.outgoing, r.date, r.duration, std::string_view(r.number)};
}

std::unique_ptr<CallRecord> newCallRecord(const CallRow& row) {
    auto rec = std::make_unique<CallRecord>();
    rec->deleted = row.deleted;
    rec->outgoing = row.outgoing;
    rec->date = row.date;
    rec->duration = row.duration;
    rec->number = row.address;
    return rec;
}

} // namespace

// Each row goes into the owner's list unless an equal call is there already, at the
// place that keeps deleted calls first and each group newest first (a new call before
// the calls of its group and date already listed). The calls already listed and the
// contacts' numbers are indexed once, so the hand-over does not walk the lists per row.
void CCallHistory::AddCallsToOwner() {
    RecordList<CallRecord>& list = owner->CallList();
    DeletedFirstOrder<CallRecord, &CallRecord::date> order;
    if (!order.Load(list)) {
        AddCallsToOwnerByWalk();
        return;
    }
    std::unordered_set<CallKey, TupleHash> listed;
    for (const CallRecord* r = list.first; r; r = r->next)
        listed.insert(callKey(*r));
    const ContactNameIndex contacts(owner->ContactList());

    progressDone = 0;
    progressTotal = callRows.count;
    for (const CallRow* row = callRows.first; row && !Cancelled(); row = row->next) {
        ReportProgress(3, false);
        if (listed.count({row->outgoing, row->date, row->duration, std::string_view(row->address)})) continue;
        auto rec = newCallRecord(*row);
        if (const char* name = contacts.Find(rec->number.c_str())) rec->name = name;
        CallRecord* before = order.Before(rec->deleted, rec->date);
        CallRecord* linked = list.insertBefore(before, std::move(rec));
        order.Added(linked);
        listed.insert(callKey(*linked));
    }
    AddProgressStep(1);
    ClearRows();
    AddProgressStep(1);
}

void CCallHistory::AddCallsToOwnerByWalk() {
    progressDone = 0;
    progressTotal = callRows.count;
    for (const CallRow* row = callRows.first; row && !Cancelled(); row = row->next) {
        ReportProgress(3, false);
        int32_t position = 0;
        bool duplicate = false;
        for (const CallRecord* r = owner->CallList().first; r; r = r->next) {
            if (r->outgoing == row->outgoing && r->date == row->date && r->duration == row->duration &&
                r->number == row->address) {
                duplicate = true;
                break;
            }
            if (r->deleted) {
                if (!row->deleted || r->date > row->date) ++position;
            } else if (!row->deleted && r->date > row->date) {
                ++position;
            }
        }
        if (duplicate) continue;

        auto rec = newCallRecord(*row);
        if (const char* name = owner->FindContactName(rec->number.c_str())) rec->name = name;
        callListInsertAt(owner->CallList(), std::move(rec), position);
    }
    AddProgressStep(1);
    ClearRows();
    AddProgressStep(1);
}
