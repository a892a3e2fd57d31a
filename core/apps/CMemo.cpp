#include "core/apps/CMemo.h"
#include "core/util/CommonUtils.h"
#include "core/apps/NoteText.h"
#include "core/backup/IFileParser.h"
#include "core/records/DeletedFirstOrder.h"
#include "core/records/NoteRecord.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"
#include "core/util/SubstringSearch.h"

#include <cstring>
#include <unordered_map>

namespace {

constexpr const char* kNewTitleTable = "ZICCLOUDSYNCINGOBJECT";
constexpr const char* kNewBodyTable = "ZICNOTEDATA";
constexpr const char* kOldTitleTable = "ZNOTE";
constexpr const char* kOldBodyTable = "ZNOTEBODY";

// U+2026 HORIZONTAL ELLIPSIS in UTF-8: the Notes app ends a cut title with it.
constexpr const char kEllipsis[] = "\xE2\x80\xA6";

// A non-zero INTEGER column, or 0.
int64_t liveNonZeroInteger(sqlite3_stmt* st, int column) {
    if (sqlite3_column_type(st, column) != SQLITE_INTEGER) return 0;
    return sqlite3_column_int64(st, column);
}

// Carved date test: a non-zero number of seconds since 2001 that, moved to Unix time,
// lies from 2000-12-31 16:00 UTC up to now. The slot then holds the Unix time.
bool acceptCarvedDate(uint32_t kind, CarvedValue* value) {
    auto v = carvedInteger(kind, value);
    if (!v || *v == 0) return false;
    auto unix = appleToUnixChecked(*v);
    if (!unix || !isPlausibleCarvedDate(*unix)) return false;
    value->i64 = *unix;
    return true;
}

// Kinds a column of the carved tables can ever hold (bit k for kind k; 0 = any), so the
// carver drops a candidate at its first impossible serial type.
constexpr uint32_t kNullBit = kindBit(KindNull);
constexpr uint32_t kBlobBit = kindBit(KindBlob);
constexpr uint32_t kTextBit = kindBit(KindText);

uint32_t acceptedKindMask(const std::string& table, const std::string& column) {
    if (column == "Z_ENT" || column == "Z_OPT") return kNumberKinds;
    if (table == kNewTitleTable) {
        if (column == "ZMODIFICATIONDATE1" || column == "ZNOTEDATA") return kNullBit | kNumberKinds;
        if (column == "ZMARKEDFORDELETION") return kNumberKinds;
        if (column == "ZTITLE1" || column == "ZSNIPPET" || column == "ZSUMMARY") return kNullBit | kTextBit;
        if (column == "ZIDENTIFIER") return kTextBit;
    } else if (table == kNewBodyTable) {
        if (column == "ZNOTE") return kNumberKinds;
        if (column == "ZDATA") return kBlobBit;
    } else if (table == kOldTitleTable) {
        if (column == "ZCREATIONDATE" || column == "ZBODY") return kNumberKinds;
        if (column == "ZMODIFICATIONDATE") return kNullBit | kNumberKinds;
        if (column == "ZTITLE") return kTextBit;
        if (column == "ZSUMMARY") return kNullBit | kTextBit;
    } else if (table == kOldBodyTable) {
        if (column == "ZOWNER") return kNumberKinds;
        if (column == "ZCONTENT") return kTextBit;
    }
    return 0;
}

} // namespace

CMemo::CMemo(IParserOwner* owner) : CCommonInterFace(owner, ScanNotes) {}

CMemo::~CMemo() {
    ClearWorkingLists();
}

void CMemo::AppendTitleRow(std::unique_ptr<NoteTitleRow> row) {
    const NoteTitleRow* r = titleRows.append(std::move(row));
    titleKeys.emplace(r->noteId, r->title);
    titleDateKeys.emplace(r->noteId, r->date, r->title);
}

void CMemo::AppendBodyEntry(std::unique_ptr<NoteBodyEntry> entry) {
    const NoteBodyEntry* e = bodyEntries.append(std::move(entry));
    bodyKeys.emplace(e->ownerId, e->text);
}

void CMemo::ClearWorkingLists() {
    titleKeys.clear();
    titleDateKeys.clear();
    bodyKeys.clear();
    titleRows.clear();
    bodyEntries.clear();
}

bool CMemo::NewSchema() const {
    return owner && owner->IosVersion() > 8;
}

void CMemo::ResetColumns() {
    ownerIdColumn = dataColumn = summaryColumn = idColumn = titleColumn = dateColumn = -1;
}

bool CMemo::Scan() {
    if (Cancelled()) return false;
    const bool newer = NewSchema();
    std::string device =
        newer ? std::string("/var/mobile/Applications/group.com.apple.notes/") + "NoteStore.sqlite"
              : std::string("/var/mobile/Library/Notes/") + "notes.sqlite";
    if (!OpenStoredDatabase(CategoryNotes, device, true)) return false;

    // Reading and carving, then the notes: nine steps.
    SetProgressSteps(9);
    if (newer)
        ReadTitleRowsNew();
    else
        ReadTitleRowsOld();
    AddProgressStep(1);
    if (newer)
        ReadBodyRowsNew();
    else
        ReadBodyRowsOld();
    AddProgressStep(1);

    BuildLiveCellMapFromPointers();
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable(newer ? kNewTitleTable : kOldTitleTable);
    AddProgressStep(1);
    CarveTable(newer ? kNewBodyTable : kOldBodyTable);
    AddProgressStep(1);

    BuildNotes();
    return true;
}

bool CMemo::ReadTitleRowsNew() {
    return ReadRows(
        LiveQuery(kNewTitleTable, "ZNOTEDATA,ZMODIFICATIONDATE1,ZMARKEDFORDELETION,ZTITLE1,ZSUMMARY,ZSNIPPET")
            .Where("ZNOTEDATA>0")
            .OrderBy("ZMODIFICATIONDATE1 DESC"),
        [this](sqlite3_stmt* st) {
            int64_t noteId = liveNonZeroInteger(st, 0);
            if (noteId == 0) return;
            auto row = std::make_unique<NoteTitleRow>();
            row->noteId = noteId;
            row->date = liveAppleDate(st, 1);
            if (sqlite3_column_type(st, 2) == SQLITE_INTEGER) row->deleted = sqlite3_column_int64(st, 2) != 0;
            if (sqlite3_column_type(st, 3) != SQLITE_TEXT) return;
            row->title = liveText(st, 3);
            if (row->title.empty() && sqlite3_column_type(st, 4) == SQLITE_TEXT) row->title = liveText(st, 4);
            if (sqlite3_column_type(st, 5) == SQLITE_TEXT) row->summary = liveText(st, 5);
            if (row->title.empty()) return;
            AppendTitleRow(std::move(row));
        });
}

bool CMemo::ReadBodyRowsNew() {
    return ReadRows(LiveQuery(kNewBodyTable, "Z_PK,ZNOTE,ZDATA"), [this](sqlite3_stmt* st) {
        int64_t id = liveNonZeroInteger(st, 0);
        int64_t ownerId = liveNonZeroInteger(st, 1);
        if (id == 0 || ownerId == 0) return;
        if (sqlite3_column_type(st, 2) != SQLITE_BLOB) return;
        const void* blob = sqlite3_column_blob(st, 2);
        int bytes = sqlite3_column_bytes(st, 2);
        if (!blob || bytes < 1) return;
        std::string text;
        if (!DecodeNoteData(static_cast<const char*>(blob), static_cast<size_t>(bytes), &text)) return;
        auto entry = std::make_unique<NoteBodyEntry>();
        entry->id = id;
        entry->ownerId = ownerId;
        entry->text = std::move(text);
        AppendBodyEntry(std::move(entry));
    });
}

bool CMemo::ReadTitleRowsOld() {
    return ReadRows(
        LiveQuery(kOldTitleTable, "ZBODY,ZCREATIONDATE,ZTITLE,ZSUMMARY").OrderBy("ZCREATIONDATE DESC"),
        [this](sqlite3_stmt* st) {
            int64_t noteId = liveNonZeroInteger(st, 0);
            if (noteId == 0) return;
            if (sqlite3_column_type(st, 2) != SQLITE_TEXT) return;
            auto row = std::make_unique<NoteTitleRow>();
            row->noteId = noteId;
            row->date = liveAppleDate(st, 1);
            row->title = liveText(st, 2);
            if (sqlite3_column_type(st, 3) == SQLITE_TEXT) row->summary = liveText(st, 3);
            AppendTitleRow(std::move(row));
        });
}

bool CMemo::ReadBodyRowsOld() {
    return ReadRows(LiveQuery(kOldBodyTable, "Z_PK,ZOWNER,ZCONTENT"), [this](sqlite3_stmt* st) {
        int64_t id = liveNonZeroInteger(st, 0);
        int64_t ownerId = liveNonZeroInteger(st, 1);
        if (id == 0 || ownerId == 0) return;
        if (sqlite3_column_type(st, 2) != SQLITE_TEXT) return;
        std::string html = liveText(st, 2);
        std::string text;
        if (!cleanNoteHtml(html.c_str(), &text)) return;
        auto entry = std::make_unique<NoteBodyEntry>();
        entry->id = id;
        entry->ownerId = ownerId;
        entry->text = std::move(text);
        AppendBodyEntry(std::move(entry));
    });
}

bool CMemo::DecodeNoteData(const char* data, size_t length, std::string* text) {
    if (Cancelled() || !data || !text) return false;
    if (!looksLikeGzipMember(reinterpret_cast<const uint8_t*>(data), length)) return false;
    std::string inflated;
    if (!gunzipMember(data, length, &inflated)) return false;
    return noteTextFromProtobuf(reinterpret_cast<const uint8_t*>(inflated.data()), inflated.size(), text);
}

bool CMemo::PrepareTable() {
    if (!PrepareColumns()) return false;
    acceptedKinds.assign(static_cast<size_t>(columnCount), 0);
    for (size_t i = 0; i < columns.size() && i < acceptedKinds.size(); ++i)
        acceptedKinds[i] = acceptedKindMask(tableName, columns[i].name);
    return true;
}

bool CMemo::PrepareColumns() {
    ResetColumns();
    if (tableName == kNewTitleTable) {
        idColumn = GetColumnIndex("ZNOTEDATA");
        titleColumn = GetColumnIndex("ZTITLE1");
        dataColumn = GetColumnIndex("ZSNIPPET");
        summaryColumn = GetColumnIndex("ZSUMMARY");
        dateColumn = GetColumnIndex("ZMODIFICATIONDATE1");
        return idColumn >= 0 && titleColumn >= 0 && dataColumn >= 0 && summaryColumn >= 0 && dateColumn >= 0;
    }
    if (tableName == kNewBodyTable) {
        ownerIdColumn = GetColumnIndex("ZNOTE");
        dataColumn = GetColumnIndex("ZDATA");
        return ownerIdColumn >= 0 && dataColumn >= 0;
    }
    if (tableName == kOldTitleTable) {
        idColumn = GetColumnIndex("ZBODY");
        titleColumn = GetColumnIndex("ZTITLE");
        dataColumn = GetColumnIndex("ZSUMMARY");
        dateColumn = GetColumnIndex("ZCREATIONDATE");
        return idColumn >= 0 && titleColumn >= 0 && dataColumn >= 0 && dateColumn >= 0;
    }
    if (tableName == kOldBodyTable) {
        ownerIdColumn = GetColumnIndex("ZOWNER");
        dataColumn = GetColumnIndex("ZCONTENT");
        return ownerIdColumn >= 0 && dataColumn >= 0;
    }
    return false;
}

bool CMemo::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || !value) return false;
    if (column < 0 || column >= columnCount || column >= static_cast<int32_t>(columns.size())) return false;
    const std::string& name = columns[static_cast<size_t>(column)].name;
    const bool isNull = kind == KindNull;
    const bool blobOrText = isTextOrBlob(kind);

    if (tableName == kNewTitleTable) {
        if (name == "ZMODIFICATIONDATE1") return isNull || (!blobOrText && acceptCarvedDate(kind, value));
        if (name == "ZMARKEDFORDELETION") {
            auto v = carvedInteger(kind, value);
            return v && (*v == 0 || *v == 1);
        }
        if (name == "ZNOTEDATA") return !blobOrText && (isNull || isNonZeroCarvedInteger(kind, value));
        if (name == "ZTITLE1") return isNull || isNonEmptyCarvedText(kind, value, size);
        if (name == "ZSNIPPET" || name == "ZSUMMARY") return isNull || kind == KindText;
        if (name == "ZIDENTIFIER") return isCarvedUuidText(kind, value, size);
        if (name == "Z_ENT" || name == "Z_OPT") return isNonZeroCarvedInteger(kind, value);
        return true;
    }
    if (tableName == kNewBodyTable) {
        if (name == "Z_ENT" || name == "Z_OPT" || name == "ZNOTE") return isNonZeroCarvedInteger(kind, value);
        if (name == "ZDATA") return kind == KindBlob && looksLikeGzipMember(value->blob, size);
        return true;
    }
    if (tableName == kOldTitleTable) {
        if (name == "ZCREATIONDATE") return !isNull && !blobOrText && acceptCarvedDate(kind, value);
        if (name == "ZMODIFICATIONDATE") return isNull || (!blobOrText && acceptCarvedDate(kind, value));
        if (name == "ZBODY" || name == "Z_ENT" || name == "Z_OPT") return isNonZeroCarvedInteger(kind, value);
        if (name == "ZTITLE") return isNonEmptyCarvedText(kind, value, size);
        if (name == "ZSUMMARY") return isNull || kind == KindText;
        return true;
    }
    if (tableName == kOldBodyTable) {
        if (name == "Z_ENT" || name == "Z_OPT" || name == "ZOWNER")
            return isNonZeroCarvedInteger(kind, value);
        if (name == "ZCONTENT")
            return kind == KindText && size >= 7 && value->text &&
                   std::strstr(value->text, "<div>") != nullptr;
        return true;
    }
    return true;
}

bool CMemo::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled()) return false;
    if (tableName == kNewTitleTable) return OnCarvedTitle(record, true);
    if (tableName == kNewBodyTable) return OnCarvedBodyNew(record);
    if (tableName == kOldTitleTable) return OnCarvedTitle(record, false);
    if (tableName == kOldBodyTable) return OnCarvedBodyOld(record);
    return false;
}

// A carved row of either title table; in the newer one an empty title falls back to the
// summary, and rows are told apart by note id and title (the older table's by date too).
bool CMemo::OnCarvedTitle(CarvedRecord* record, bool newTable) {
    std::string title = carvedColumnText(*record, titleColumn);
    if (newTable && title.empty()) title = carvedColumnText(*record, summaryColumn);
    if (title.empty() || !isReadableText(title.data(), title.size())) return false;
    auto row = std::make_unique<NoteTitleRow>();
    row->deleted = true;
    row->title = std::move(title);
    row->noteId = carvedColumnInteger(*record, idColumn).value_or(0);
    row->date = carvedNumberSlot(*record, dateColumn);
    row->summary = carvedColumnText(*record, dataColumn);
    AddTitleRow(std::move(row), !newTable);
    return true;
}

void CMemo::AddTitleRow(std::unique_ptr<NoteTitleRow> row, bool compareDate) {
    if (Cancelled()) return;
    const bool listed = compareDate ? titleDateKeys.count({row->noteId, row->date, row->title}) != 0
                                    : titleKeys.count({row->noteId, row->title}) != 0;
    if (!listed) AppendTitleRow(std::move(row));
}

bool CMemo::OnCarvedBodyNew(CarvedRecord* record) {
    if (!carvedColumnIsText(*record, dataColumn)) return false;
    std::string bytes = record->Bytes(dataColumn);
    if (bytes.empty()) return false;
    std::string text;
    if (!DecodeNoteData(bytes.data(), bytes.size(), &text)) return false;
    if (!isReadableText(text.data(), text.size())) return false;
    auto entry = std::make_unique<NoteBodyEntry>();
    entry->deleted = true;
    entry->text = std::move(text);
    entry->ownerId = carvedColumnInteger(*record, ownerIdColumn).value_or(0);
    AddBodyEntry(std::move(entry));
    return true;
}

bool CMemo::OnCarvedBodyOld(CarvedRecord* record) {
    std::string html = carvedColumnText(*record, dataColumn);
    if (html.empty()) return false;
    std::string text;
    if (!cleanNoteHtml(html.c_str(), &text)) return false;
    if (!isReadableText(text.data(), text.size())) return false;
    auto entry = std::make_unique<NoteBodyEntry>();
    entry->deleted = true;
    entry->text = std::move(text);
    entry->ownerId = carvedColumnInteger(*record, ownerIdColumn).value_or(0);
    AddBodyEntry(std::move(entry));
    return true;
}

void CMemo::AddBodyEntry(std::unique_ptr<NoteBodyEntry> entry) {
    if (Cancelled()) return;
    if (!bodyKeys.count({entry->ownerId, entry->text})) AppendBodyEntry(std::move(entry));
}

namespace {

// A title without the ellipsis the Notes app puts at the end of a cut title.
std::string uncutTitle(const std::string& title, bool* cut) {
    const size_t e = sizeof(kEllipsis) - 1;
    *cut = title.size() > e && title.compare(title.size() - e, e, kEllipsis) == 0;
    return *cut ? title.substr(0, title.size() - e) : title;
}

} // namespace

// An empty title is in every text and would lend the note another note's body: it takes
// no deleted body. The first live body of each id is found by id, and the first deleted
// body containing each title by one search of all deleted bodies for all titles at once.
std::vector<const NoteBodyEntry*> matchNoteBodies(const RecordList<NoteTitleRow>& titleRows,
                                                  const RecordList<NoteBodyEntry>& bodyEntries,
                                                  const std::atomic<bool>* cancelled) {
    struct Positioned {
        size_t position; // in the body list
        const NoteBodyEntry* body;
    };
    std::unordered_map<int64_t, Positioned> firstLive;
    std::vector<Positioned> deletedBodies;
    size_t position = 0;
    for (const NoteBodyEntry* b = bodyEntries.first; b; b = b->next, ++position) {
        if (b->deleted)
            deletedBodies.push_back({position, b});
        else
            firstLive.emplace(b->id, Positioned{position, b});
    }

    struct Pending {
        std::string title;
        const Positioned* live = nullptr;
        size_t needle = SubstringSearch::npos;
    };
    std::vector<Pending> pending;
    pending.reserve(static_cast<size_t>(titleRows.count));
    SubstringSearch search;
    for (const NoteTitleRow* row = titleRows.first; row; row = row->next) {
        Pending p;
        bool cut = false;
        p.title = uncutTitle(row->title, &cut);
        auto live = firstLive.find(row->noteId);
        if (live != firstLive.end()) p.live = &live->second;
        // Only a deleted body before the live one can win.
        if (!deletedBodies.empty() && (!p.live || deletedBodies.front().position < p.live->position))
            p.needle = search.Add(p.title);
        pending.push_back(std::move(p));
    }
    search.Build();
    for (const Positioned& d : deletedBodies) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return {};
        search.Feed(d.body->text);
    }

    std::vector<const NoteBodyEntry*> matches;
    matches.reserve(pending.size());
    for (const Pending& p : pending) {
        const NoteBodyEntry* match = nullptr;
        const size_t first = search.FirstText(p.needle);
        if (first != SubstringSearch::npos && (!p.live || deletedBodies[first].position < p.live->position))
            match = deletedBodies[first].body;
        else if (p.live && p.live->body->text.find(p.title) != std::string::npos)
            match = p.live->body;
        matches.push_back(match);
    }
    return matches;
}

// Records of the owner's notes list, indexed for AddNote.
struct CMemo::NoteListIndex {
    DeletedFirstOrder<NoteRecord, &NoteRecord::date> order;
    std::unordered_set<std::tuple<int64_t, std::string_view>, TupleHash> listed; // date and text
};

void CMemo::BuildNotes() {
    if (!owner) return;
    RecordList<NoteRecord>& list = owner->NoteList();
    NoteListIndex index;
    const bool indexed = index.order.Load(list);
    if (indexed)
        for (const NoteRecord* r = list.first; r; r = r->next)
            index.listed.emplace(r->date, r->text);

    // 1. Every title row becomes a note: the body it belongs to, else title and summary.
    const std::vector<const NoteBodyEntry*> matches =
        matchNoteBodies(titleRows, bodyEntries, &owner->CancelFlag());
    progressDone = 0;
    progressTotal = titleRows.count;
    size_t i = 0;
    for (NoteTitleRow* row = titleRows.first; row && i < matches.size() && !Cancelled();
         row = row->next, ++i) {
        ReportProgress(3, false);
        bool cut = false;
        const std::string title = uncutTitle(row->title, &cut);
        if (matches[i])
            row->text = matches[i]->text;
        else
            row->text = cut ? title + row->summary : title + "\n" + row->summary;
        AddNote(row->deleted, row->text, row->date, indexed ? &index : nullptr);
    }
    AddProgressStep(1);

    // 2. Deleted bodies that no note took: listed first, without a date.
    std::unordered_set<std::string_view> texts;
    for (const NoteRecord* r = list.first; r; r = r->next)
        texts.insert(r->text);
    progressDone = 0;
    progressTotal = bodyEntries.count;
    for (const NoteBodyEntry* b = bodyEntries.first; b && !Cancelled(); b = b->next) {
        ReportProgress(3, false);
        if (!b->deleted || b->text.empty() || texts.count(b->text)) continue;
        auto note = std::make_unique<NoteRecord>();
        note->deleted = true;
        note->text = b->text;
        note->date = 0;
        texts.insert(list.prepend(std::move(note))->text);
    }
    AddProgressStep(1);

    ClearWorkingLists();
    AddProgressStep(1);
}

void CMemo::AddNote(bool deleted, const std::string& text, int64_t date, NoteListIndex* index) {
    if (!owner) return;
    auto newNote = [&] {
        auto note = std::make_unique<NoteRecord>();
        note->deleted = deleted;
        note->text = text;
        note->date = date;
        return note;
    };
    if (index) {
        if (Cancelled()) return;
        if (owner->SkipDuplicates() && index->listed.count({date, text})) return;
        NoteRecord* linked = owner->NoteList().insertBefore(index->order.Before(deleted, date), newNote());
        index->order.Added(linked);
        index->listed.emplace(linked->date, linked->text);
        return;
    }
    int32_t position = 0;
    for (const NoteRecord* r = owner->NoteList().first; r; r = r->next) {
        if (Cancelled()) return;
        if (owner->SkipDuplicates() && r->date == date && r->text == text) return;
        if (deleted) {
            if (r->deleted && r->date > date) ++position;
        } else if (r->deleted || r->date > date) {
            ++position;
        }
    }
    owner->NoteList().insertAt(position, newNote());
}
