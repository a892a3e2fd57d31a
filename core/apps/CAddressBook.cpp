#include "core/apps/CAddressBook.h"

#include "core/backup/IFileParser.h"
#include "core/records/ContactRecord.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/SqliteDeleters.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "core/util/CheckedTime.h"
#include "core/util/CommonUtils.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kAddressBookFolder = "/var/mobile/Library/AddressBook/";
constexpr const char* kAddressBookFile = "AddressBook.sqlitedb";
constexpr const char* kImagesFile = "AddressBookImages.sqlitedb";
constexpr const char* kPhotoFolder = "contact";

std::string textColumn(sqlite3_stmt* st, int column) {
    if (sqlite3_column_type(st, column) != SQLITE_TEXT) return {};
    const unsigned char* t = sqlite3_column_text(st, column);
    int n = sqlite3_column_bytes(st, column);
    if (!t || n <= 0) return {};
    return std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(n));
}

// True when `inner` is `outer` or lies below it (after resolving what exists).
bool isWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    fs::path a = fs::weakly_canonical(inner, ec);
    if (ec) return true; // cannot tell: refuse
    fs::path b = fs::weakly_canonical(outer, ec);
    if (ec) return true;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty()) continue; // trailing separator
        if (ai == a.end() || *ai != *bi) return false;
    }
    return true;
}

// Writes the whole buffer to a new file (replacing one of that name); a failed write
// leaves no partial file behind.
bool writeWholeFile(const fs::path& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::error_code ec;
        fs::remove(path, ec);
    }
    return ok;
}

// The fewest digits of a dialable number (a local subscriber number); fewer is a short
// code, or a piece of a number read from a wrong offset.
constexpr size_t kDialableDigits = 7;

// A phone value as a person writes it: digits and the separators of phone numbers only.
bool isPhoneSpelling(const std::string& text) {
    size_t digits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0) {
            ++i; // no-break space
        } else if (!(c == ' ' || c == '+' || c == '-' || c == '(' || c == ')' || c == '.' || c == '/' ||
                     c == '*' || c == '#' || c == ',' || c == ';')) {
            return false;
        }
    }
    return digits > 0;
}

// A name part of a deleted search row as a person writes it. A candidate read from a
// wrong offset starts inside a character, or runs a name into the identifiers and
// numbers of the row's other columns.
bool isNamePart(const std::string& part) {
    if (part.empty()) return true;
    if (!isReadableText(part.data(), part.size())) return false;
    const unsigned char first = static_cast<unsigned char>(part[0]);
    if ((first & 0xC0) == 0x80) return false; // inside a character
    if (first == 0xCC || (first == 0xCD && static_cast<unsigned char>(part.size() > 1 ? part[1] : 0) < 0xB0))
        return false; // a combining mark (U+0300..U+036F) has no letter to mark
    size_t run = 0;
    for (char c : part) {
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run >= 5) return false; // account numbers, dates and phone digits, not names
    }
    return true;
}

} // namespace

CAddressBook::CAddressBook(IParserOwner* owner) : CCommonInterFace(owner, ScanContacts) {}

CAddressBook::~CAddressBook() {
    ClearWorkingLists();
}

void CAddressBook::ClearWorkingLists() {
    phoneRows.clear();
    emails.clear();
    names.clear();
    images.clear();
    searches.clear();
    phoneKeys.clear();
    nameKeys.clear();
    searchKeys.clear();
    liveNumbers.clear();
}

bool CAddressBook::HasPhoneShape(const std::string& digits) const {
    return digits.size() >= kDialableDigits || liveNumbers.count(digits) != 0;
}

bool CAddressBook::Scan() {
    if (Cancelled()) return false;
    if (!OpenStoredDatabase(CategoryAddressBook, std::string(kAddressBookFolder) + kAddressBookFile, false))
        return false;

    SetProgressSteps(12); // eight steps of reading and carving, four of building
    ReadLivePhones();
    AddProgressStep(1);
    ReadLiveNames();
    AddProgressStep(1);
    ReadPhotos();
    AddProgressStep(1);
    ReadLiveSearch();
    AddProgressStep(1);
    if (!Cancelled()) BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable("ABMultiValue");
    AddProgressStep(1);
    CarveTable("ABPerson");
    AddProgressStep(1);
    CarveTable("ABPersonFullTextSearch_content");
    AddProgressStep(1);

    BuildContacts();
    return true;
}

bool CAddressBook::ReadLivePhones() {
    return ReadRows(LiveQuery("ABMultiValue", "property,record_id,value")
                        .Where("property=3 or property=4")
                        .OrderBy("record_id"),
                    [&](sqlite3_stmt* st) {
                        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER ||
                            sqlite3_column_type(st, 1) != SQLITE_INTEGER)
                            return;
                        int64_t property = sqlite3_column_int64(st, 0);
                        int64_t recordId = sqlite3_column_int64(st, 1);
                        int type = sqlite3_column_type(st, 2);
                        if (recordId == 0 || (type != SQLITE_TEXT && type != SQLITE_BLOB)) return;
                        std::string value;
                        CopyColumnText(st, 2, &value);
                        if (property == 3) {
                            normalizePhoneNumber(value);
                            if (value.empty()) return;
                            auto row = std::make_unique<ContactPhoneRow>();
                            row->recordId = recordId;
                            row->phone = std::move(value);
                            phoneKeys.insert(std::to_string(row->recordId) + "|" + row->phone);
                            liveNumbers.insert(row->phone);
                            phoneRows.append(std::move(row));
                        } else {
                            auto e = std::make_unique<ContactEmailEntry>();
                            e->recordId = recordId;
                            e->text = std::move(value);
                            emails.append(std::move(e));
                        }
                    });
}

bool CAddressBook::ReadLiveNames() {
    return ReadRows(LiveQuery("ABPerson", "ROWID,Last,First,Organization"), [&](sqlite3_stmt* st) {
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
        int64_t id = sqlite3_column_int64(st, 0);
        if (id == 0) return;
        bool any = false;
        for (int c = 1; c <= 3; ++c)
            any = any || sqlite3_column_type(st, c) == SQLITE_TEXT;
        if (!any) return;
        auto e = std::make_unique<ContactNameEntry>();
        e->recordId = id;
        e->name = textColumn(st, 1) + textColumn(st, 2);
        e->organization = textColumn(st, 3);
        nameKeys.insert(std::to_string(e->name.size()) + ":" + e->name + "|" + e->organization);
        names.append(std::move(e));
    });
}

bool CAddressBook::ReadPhotos() {
    if (Cancelled()) return false;
    const std::string imagesPath =
        StoredFilePath(CategoryAddressBook, std::string(kAddressBookFolder) + kImagesFile);
    if (imagesPath.empty()) return false;

    // Photos go below the scan's output folder only, never into the backup.
    if (owner->OutputDir().empty()) return false;
    fs::path folder = fs::path(owner->OutputDir()) / kPhotoFolder;
    if (!owner->BackupDir().empty() && isWithin(folder, owner->BackupDir())) return false;

    Connection imageDb(openReadOnlyDatabase(imagesPath));
    if (!imageDb) return false;
    // The count sizes the progress only: a damaged page fails it, not the rows before.
    int n = countRows(imageDb.get(), "ABFullSizeImage", "");
    // The folder is made with the first photo.
    bool folderOk = true, folderMade = false;
    progressDone = 0;
    progressTotal = n > 0 ? n : 1;
    const bool prepared = StepRows(
        imageDb.get(), LiveQuery("ABFullSizeImage", "record_id,data"),
        [&](sqlite3_stmt* st) {
            if (progressDone < progressTotal) ReportProgress(2, false);
            if (!folderOk || sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
            int64_t id = sqlite3_column_int64(st, 0);
            if (id == 0 || sqlite3_column_type(st, 1) != SQLITE_BLOB) return;
            const void* data = sqlite3_column_blob(st, 1);
            int size = sqlite3_column_bytes(st, 1);
            if (!data || size <= 0) return;
            if (!folderMade) {
                std::error_code ec;
                fs::create_directories(folder, ec);
                folderOk = !ec && fs::is_directory(folder, ec);
                folderMade = true;
                if (!folderOk) return;
            }
            fs::path file = folder / (std::to_string(id) + ".jpg");
            if (!writeWholeFile(file, data, static_cast<size_t>(size))) return;
            auto e = std::make_unique<ContactImageEntry>();
            e->recordId = id;
            e->path = file.string();
            images.append(std::move(e));
        },
        0, imagesPath);
    return prepared && folderOk;
}

bool CAddressBook::ReadLiveSearch() {
    if (!db || Cancelled()) return false;
    static const char* const kColumns[] = {
        "c0First,c1Last,c6Organization,c16Phone,c17Email",
        "c0First,c1Last,c16Phone,c17Email",
        "c0First,c1Last,c15Phone,c16Email",
    };
    // The first column list the table has.
    for (int i = 0; i < 3; ++i) {
        const bool withOrganization = i == 0;
        const int phoneCol = withOrganization ? 3 : 2;
        const bool read =
            ReadRows(LiveQuery("ABPersonFullTextSearch_content", kColumns[i]), [&](sqlite3_stmt* st) {
                auto e = std::make_unique<ContactSearchEntry>();
                std::string first = textColumn(st, 0);
                std::string last = textColumn(st, 1);
                e->name = last + first;
                if (withOrganization) e->organization = textColumn(st, 2);
                e->phone = textColumn(st, phoneCol);
                e->email = textColumn(st, phoneCol + 1);
                searchKeys.insert(e->phone);
                std::vector<std::string> numbers;
                splitPhoneNumbers(this, e->phone.c_str(), numbers);
                liveNumbers.insert(numbers.begin(), numbers.end());
                searches.append(std::move(e));
            });
        if (read) return true;
        if (!db || Cancelled()) return false;
    }
    return false;
}

bool CAddressBook::PrepareTable() {
    recordIdColumn = valueColumn = firstColumn = lastColumn = emailColumn = organizationColumn = -1;
    bool ok = false;
    if (tableName == "ABMultiValue") {
        table = Table::MultiValue;
        valueColumn = GetColumnIndex("value");
        recordIdColumn = GetColumnIndex("record_id");
        ok = valueColumn >= 0 && recordIdColumn >= 0;
    } else if (tableName == "ABPerson") {
        table = Table::Person;
        firstColumn = GetColumnIndex("First");
        lastColumn = GetColumnIndex("Last");
        organizationColumn = GetColumnIndex("Organization");
        ok = firstColumn >= 0 && lastColumn >= 0 && organizationColumn >= 0;
    } else if (tableName == "ABPersonFullTextSearch_content") {
        table = Table::Search;
        firstColumn = GetColumnIndex("c0First");
        lastColumn = GetColumnIndex("c1Last");
        valueColumn = GetColumnIndex("c15Phone");
        if (valueColumn < 0) valueColumn = GetColumnIndex("c16Phone");
        emailColumn = GetColumnIndex("c16Email");
        if (emailColumn < 0) emailColumn = GetColumnIndex("c17Email");
        organizationColumn = GetColumnIndex("c6Organization");
        ok = firstColumn >= 0 && lastColumn >= 0 && valueColumn >= 0 && emailColumn >= 0 &&
             organizationColumn >= 0;
    } else {
        table = Table::Other;
    }
    if (!ok) return false;

    // Per table and column name: the column's rule and the kinds it can hold.
    struct NamedRule {
        const char* name;
        Rule rule;
        uint32_t kinds;
    };
    static constexpr uint32_t kRowidKinds = kindBit(KindOne) | kindBit(KindInt8) | kindBit(KindInt16) |
                                            kindBit(KindInt24) | kindBit(KindInt32) | kindBit(KindInt48) |
                                            kindBit(KindInt64);
    static constexpr NamedRule kMultiValueRules[] = {
        {"record_id", Rule::RecordId, kRowidKinds},
        {"property", Rule::Property, kNumberKinds | kindBit(KindNull)},
        {"identifier", Rule::NotTextOrBlob, kNumberKinds | kindBit(KindNull)},
        {"label", Rule::NotTextOrBlob, kNumberKinds | kindBit(KindNull)},
        {"value", Rule::PhoneValue, kTextKinds},
        {"guid", Rule::Guid36, kTextKinds},
    };
    static constexpr NamedRule kPersonRules[] = {
        {"First", Rule::NameText, kindBit(KindNull) | kTextKinds},
        {"Last", Rule::NameText, kindBit(KindNull) | kTextKinds},
        {"Organization", Rule::NameText, kindBit(KindNull) | kTextKinds},
        {"CreationDate", Rule::CreationDate, kNumberKinds},
        {"guid", Rule::PersonGuid, kTextKinds},
    };
    static constexpr NamedRule kSearchRules[] = {
        {"c0First", Rule::NameText, kindBit(KindNull) | kTextKinds},
        {"c1Last", Rule::NameText, kindBit(KindNull) | kTextKinds},
        {"c15Phone", Rule::SearchPhone, kindBit(KindText)},
        {"c16Phone", Rule::SearchPhone, kindBit(KindText)},
    };
    std::span<const NamedRule> rules = kSearchRules;
    if (table == Table::MultiValue)
        rules = kMultiValueRules;
    else if (table == Table::Person)
        rules = kPersonRules;
    columnRules.assign(columns.size(), Rule::None);
    acceptedKinds.assign(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        Rule r = Rule::None;
        uint32_t kinds = 0;
        bool named = false;
        for (const NamedRule& entry : rules) {
            if (columns[i].name == entry.name) {
                r = entry.rule;
                kinds = entry.kinds;
                named = true;
                break;
            }
        }
        // Every other column of the search table but the first holds text or nothing.
        if (!named && table == Table::Search && i > 0) {
            r = Rule::TextOrNull;
            kinds = kindBit(KindNull) | kindBit(KindText);
        }
        if (i == 0 && columns[i].isIntegerPrimaryKey) kinds = 0;
        columnRules[i] = r;
        acceptedKinds[i] = kinds;
    }
    return true;
}

bool CAddressBook::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (column < 0 || column >= columnCount || static_cast<size_t>(column) >= columnRules.size())
        return false;
    if (!value) return false;
    switch (columnRules[column]) {
    case Rule::None:
        return true;
    case Rule::RecordId:
        return kind >= KindOne && kind <= KindInt64 && isNonZeroCarvedInteger(kind, value);
    case Rule::Property: {
        if (isTextOrBlob(kind)) return false;
        auto v = carvedInteger(kind, value);
        return v && *v == 3;
    }
    case Rule::NotTextOrBlob:
        return !isTextOrBlob(kind);
    case Rule::PhoneValue: {
        std::string t = carvedSlotText(kind, value, size);
        if (t.empty()) return false;
        normalizePhoneNumber(t);
        return t.size() >= 3;
    }
    case Rule::Guid36:
        return isTextOrBlob(kind) && size == 36;
    case Rule::NameText:
        return kind == KindNull || isTextOrBlob(kind);
    case Rule::CreationDate:
        return kind != KindNull && !isTextOrBlob(kind) && isNonZeroCarvedInteger(kind, value);
    case Rule::PersonGuid:
        return isTextOrBlob(kind) && (size == 36 || size == 45);
    case Rule::SearchPhone: {
        if (kind != KindText) return false;
        std::string t = carvedSlotText(kind, value, size);
        return !t.empty() && isPhoneLike(t.c_str());
    }
    case Rule::TextOrNull:
        return kind == KindNull || kind == KindText;
    }
    return true;
}

bool CAddressBook::OnCarvedRecord(CarvedRecord* record, int32_t rowid) {
    if (!record || Cancelled()) return false;
    auto text = [&](int c) { return carvedColumnText(*record, c); };

    switch (table) {
    case Table::MultiValue: {
        if (!carvedColumnIsText(*record, valueColumn)) return false;
        std::string phone = record->Text(valueColumn);
        // Deleted rows keep a number only in the shape of one: "087" or "1996" read from
        // a wrong offset are pieces of other values.
        if (!isPhoneSpelling(phone)) return false;
        normalizePhoneNumber(phone);
        if (phone.empty() || !HasPhoneShape(phone)) return false;
        auto row = std::make_unique<ContactPhoneRow>();
        row->deleted = true;
        row->phone = std::move(phone);
        row->recordId = carvedColumnInteger(*record, recordIdColumn).value_or(0);
        if (!phoneKeys.insert(std::to_string(row->recordId) + "|" + row->phone).second) return true;
        phoneRows.append(std::move(row));
        return true;
    }
    case Table::Person: {
        auto e = std::make_unique<ContactNameEntry>();
        e->name = text(lastColumn) + text(firstColumn);
        e->organization = text(organizationColumn);
        if (e->name.empty() && e->organization.empty()) return false;
        if (!isReadableText(e->name.data(), e->name.size()) ||
            !isReadableText(e->organization.data(), e->organization.size()))
            return false;
        // The rowid the carver rebuilt (0 when it could not) lets a deleted person name
        // its deleted phone rows.
        e->recordId = rowid;
        if (!nameKeys.insert(std::to_string(e->name.size()) + ":" + e->name + "|" + e->organization).second)
            return true;
        names.append(std::move(e));
        return true;
    }
    case Table::Search: {
        std::string phone = text(valueColumn);
        if (phone.empty()) return false;
        auto e = std::make_unique<ContactSearchEntry>();
        e->deleted = true;
        e->phone = std::move(phone);
        e->email = text(emailColumn);
        e->name = text(lastColumn) + text(firstColumn);
        e->organization = text(organizationColumn);
        if (!isNamePart(text(firstColumn)) || !isNamePart(text(lastColumn)) ||
            !isReadableText(e->organization.data(), e->organization.size()) ||
            !isReadableText(e->email.data(), e->email.size()))
            return false;
        if (!searchKeys.insert(e->phone).second) return true;
        searches.append(std::move(e));
        return true;
    }
    case Table::Other:
        break;
    }
    return false;
}

void CAddressBook::BuildContacts() {
    if (Cancelled()) return;

    // Phase 1: e-mail, name and photo of each phone row (first match by record id).
    std::unordered_map<int64_t, const ContactEmailEntry*> emailById;
    for (const ContactEmailEntry* e = emails.first; e; e = e->next)
        if (e->recordId > 0) emailById.emplace(e->recordId, e);
    std::unordered_map<int64_t, const ContactNameEntry*> nameById;
    for (const ContactNameEntry* e = names.first; e; e = e->next)
        if (e->recordId > 0) nameById.emplace(e->recordId, e);
    std::unordered_map<int64_t, const ContactImageEntry*> imageById;
    for (const ContactImageEntry* e = images.first; e; e = e->next)
        if (e->recordId > 0) imageById.emplace(e->recordId, e);

    progressDone = 0;
    progressTotal = phoneRows.count;
    for (ContactPhoneRow* row = phoneRows.first; row; row = row->next) {
        if (Cancelled()) return;
        ReportProgress(3, false);
        if (auto it = emailById.find(row->recordId); it != emailById.end()) row->email = it->second->text;
        if (auto it = nameById.find(row->recordId); it != nameById.end()) {
            if (!it->second->name.empty())
                row->name = it->second->name;
            else if (!it->second->organization.empty())
                row->name = it->second->organization;
        }
        if (auto it = imageById.find(row->recordId); it != imageById.end() && !it->second->path.empty())
            row->imagePath = it->second->path;
    }
    AddProgressStep(1);

    // Phase 2: numbers of deleted search rows name deleted phone rows or become rows.
    std::unordered_map<std::string, ContactPhoneRow*> rowByPhone;
    for (ContactPhoneRow* row = phoneRows.first; row; row = row->next)
        rowByPhone.emplace(row->phone, row);
    progressDone = 0;
    progressTotal = searches.count;
    std::vector<std::string> numbers;
    for (const ContactSearchEntry* s = searches.first; s; s = s->next) {
        if (Cancelled()) return;
        ReportProgress(3, false);
        if (!s->deleted) continue;
        splitPhoneNumbers(this, s->phone.c_str(), numbers);
        for (const std::string& number : numbers) {
            auto it = rowByPhone.find(number);
            if (it != rowByPhone.end()) {
                ContactPhoneRow* row = it->second;
                if (!row->deleted) continue;
                if (row->name.empty()) {
                    if (!s->name.empty())
                        row->name = s->name;
                    else if (!s->organization.empty())
                        row->name = s->organization;
                }
                if (row->email.empty() && !s->email.empty()) row->email = s->email;
            } else if (HasPhoneShape(number)) {
                auto row = std::make_unique<ContactPhoneRow>();
                row->deleted = true;
                row->phone = number;
                row->name = s->name;
                row->email = s->email;
                rowByPhone.emplace(number, phoneRows.append(std::move(row)));
            }
        }
    }
    AddProgressStep(1);

    // Phase 3: one contact per phone number, the first row met winning.
    RecordList<ContactRecord>& list = owner->ContactList();
    std::unordered_set<std::string> listed;
    for (const ContactRecord* c = list.first; c; c = c->next)
        listed.insert(c->phone);
    // A deleted row with neither name nor e-mail whose number lies inside a longer
    // number of the book is a piece of that number, not a contact.
    std::unordered_set<std::string> pieces;
    {
        std::vector<const std::string*> numbers;
        for (const ContactPhoneRow* row = phoneRows.first; row; row = row->next)
            numbers.push_back(&row->phone);
        std::unordered_set<std::string> bare;
        for (const ContactPhoneRow* row = phoneRows.first; row; row = row->next)
            if (row->deleted && row->name.empty() && row->email.empty()) bare.insert(row->phone);
        if (!bare.empty()) {
            for (const std::string* n : numbers) {
                if (Cancelled()) return;
                // Every substring of n shorter than n that a bare row holds.
                for (size_t from = 0; from < n->size(); ++from)
                    for (size_t len = kDialableDigits; from + len <= n->size() && len < n->size(); ++len)
                        if (bare.count(n->substr(from, len)) != 0) pieces.insert(n->substr(from, len));
            }
        }
    }
    progressDone = 0;
    progressTotal = phoneRows.count;
    for (const ContactPhoneRow* row = phoneRows.first; row; row = row->next) {
        if (Cancelled()) return;
        ReportProgress(3, false);
        if (row->deleted && row->name.empty() && row->email.empty() && pieces.count(row->phone) != 0)
            continue;
        if (!listed.insert(row->phone).second) continue;
        auto c = std::make_unique<ContactRecord>();
        c->deleted = row->deleted;
        c->phone = row->phone;
        c->name = row->name;
        c->email = row->email;
        c->imagePath = row->imagePath;
        if (c->deleted)
            list.prepend(std::move(c));
        else
            list.append(std::move(c));
    }
    AddProgressStep(1);

    ClearWorkingLists();
    AddProgressStep(1);
}

int splitPhoneNumbers(CAddressBook* parser, const char* text, std::vector<std::string>& out) {
    out.clear();
    if (!parser || parser->Cancelled() || !text) return 0;
    std::vector<std::string> pieces;
    splitString(text, " ", pieces);

    static const char* const kKeep[] = {"550", "551", "552", "553", "554", "555", "556", "557", "558", "559"};
    size_t i = 0;
    while (i < pieces.size()) {
        std::string cleaned = pieces[i];
        normalizePhoneNumber(cleaned);
        if (cleaned.empty()) {
            pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        pieces[i] = cleaned;
        if (cleaned.size() <= 7) {
            bool keep = false;
            for (const char* k : kKeep)
                keep = keep || cleaned == k;
            if (keep) {
                ++i;
                continue;
            }
            if (i + 1 < pieces.size() && pieces[i + 1].find('+') == std::string::npos &&
                cleaned.size() + pieces[i + 1].size() <= 12) {
                pieces[i] = cleaned + pieces[i + 1];
                pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                continue; // clean the joined piece again
            }
        }
        // Drop following pieces that spell the same number (with or without a prefix).
        while (i + 1 < pieces.size()) {
            const std::string& c = pieces[i];
            const std::string& n = pieces[i + 1];
            std::string t;
            if (n.size() > c.size()) {
                size_t k = c.size() <= 7 ? c.size() - 1 : 7;
                t = n.substr(n.size() - k);
            } else {
                t = n.size() > 1 ? n.substr(1) : std::string();
            }
            size_t pos = t.empty() ? std::string::npos : c.find(t);
            if (pos != std::string::npos && pos + t.size() == c.size()) {
                pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            } else {
                break;
            }
        }
        ++i;
    }
    out = std::move(pieces);
    return static_cast<int>(out.size());
}
