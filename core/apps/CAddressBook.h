#pragma once
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// One phone number of a person (live or carved).
struct ContactPhoneRow {
    bool deleted = false;
    int64_t recordId = 0;
    std::string phone;
    std::string name;
    std::string email;
    std::string imagePath;
    ContactPhoneRow* prev = nullptr;
    ContactPhoneRow* next = nullptr;
};

// One e-mail address of a person.
struct ContactEmailEntry {
    int64_t recordId = 0;
    std::string text;
    ContactEmailEntry* prev = nullptr;
    ContactEmailEntry* next = nullptr;
};

// The name of a person: last name followed by first name, and the organization.
struct ContactNameEntry {
    int64_t recordId = 0;
    std::string name;
    std::string organization;
    ContactNameEntry* prev = nullptr;
    ContactNameEntry* next = nullptr;
};

// A contact photo written to the scan's output folder.
struct ContactImageEntry {
    int64_t recordId = 0;
    std::string path;
    ContactImageEntry* prev = nullptr;
    ContactImageEntry* next = nullptr;
};

// One row of the full-text search table: all numbers of a person in one text.
struct ContactSearchEntry {
    bool deleted = false;
    std::string phone; // as stored: may hold several numbers in several spellings
    std::string name;  // last then first
    std::string email;
    std::string organization;
    ContactSearchEntry* prev = nullptr;
    ContactSearchEntry* next = nullptr;
};

// Reads the address book of a backup: phone numbers and e-mail addresses, names,
// contact photos and the full-text search table, live and carved. Produces one contact
// per distinct phone number in the owner's contact list, deleted ones first.
class CAddressBook : public CCommonInterFace {
  public:
    explicit CAddressBook(IParserOwner* owner);
    ~CAddressBook() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // True when there is no owner or its scan was cancelled.
    using CCommonInterFace::Cancelled;

  private:
    enum class Table : uint8_t { Other, MultiValue, Person, Search };
    enum class Rule : uint8_t {
        None,
        RecordId,
        Property,
        NotTextOrBlob,
        PhoneValue,
        Guid36,
        NameText,
        CreationDate,
        PersonGuid,
        SearchPhone,
        TextOrNull,
    };

    // True when a number read from a deleted row can be a real one: at least the digits
    // of a dialable number, or a short code a live row of the book also holds.
    bool HasPhoneShape(const std::string& digits) const;

    bool ReadLivePhones();
    bool ReadLiveNames();
    bool ReadPhotos();
    bool ReadLiveSearch();
    void BuildContacts();
    void ClearWorkingLists();

    RecordList<ContactPhoneRow> phoneRows;
    RecordList<ContactEmailEntry> emails;
    RecordList<ContactNameEntry> names;
    RecordList<ContactImageEntry> images;
    RecordList<ContactSearchEntry> searches;

    // Duplicate tests of the carved rows.
    std::unordered_set<std::string> phoneKeys;  // record id and phone
    std::unordered_set<std::string> nameKeys;   // name and organization
    std::unordered_set<std::string> searchKeys; // phone text
    // Numbers of the live phone and search rows (digits only).
    std::unordered_set<std::string> liveNumbers;

    Table table = Table::Other;
    int recordIdColumn = -1;
    int valueColumn = -1; // the phone column of the search table
    int firstColumn = -1;
    int lastColumn = -1;
    int emailColumn = -1;
    int organizationColumn = -1;
    std::vector<Rule> columnRules;
};

// Splits a search-table phone text (a person's numbers in several spellings, separated
// by spaces) into clean numbers; returns how many remain. `out` receives them in order.
int splitPhoneNumbers(CAddressBook* parser, const char* text, std::vector<std::string>& out);
