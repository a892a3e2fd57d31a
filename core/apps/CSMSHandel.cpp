#include "core/apps/CSMSHandel.h"

#include "core/apps/CSMS.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/util/CommonUtils.h"

#include <cstring>
#include <string>
#include <vector>

CSMSHandel::CSMSHandel(CSMS* parent, const char* path, IParserOwner* owner)
    : CCommonInterFace(owner, ScanSms), parent(parent) {
    if (path) {
        rawPath = path;
        dbPath = path;
    }
}

CSMSHandel::~CSMSHandel() = default;

bool CSMSHandel::Scan() {
    if (!parent || Cancelled()) return false;
    std::string path = rawPath;
    if (path.empty() || !Open(path.c_str(), false)) return true;

    tableName = "handle";
    columnCount = LoadColumns("handle");
    if (columnCount > 0) {
        columnKinds.assign(columnCount, 0);
        columnSizes.assign(columnCount, 0);
    }
    // Only the leaf pages of the handle table are searched, live cells included: a
    // handle that is still listed is skipped by the parent.
    if (columnCount > 0 && PrepareTable()) {
        int root = GetTableRootPage("handle");
        std::vector<uint64_t> leaves;
        if (root > 0 && CollectLeafPages(static_cast<uint64_t>(root), leaves)) {
            progressDone = 0;
            progressTotal = static_cast<int32_t>(leaves.size());
            for (uint64_t leaf : leaves) {
                if (Cancelled()) break;
                ReportProgress(2, false);
                if (ReadPage(leaf)) CarvePage(leaf, false);
            }
        }
    }
    Close();
    return true;
}

bool CSMSHandel::PrepareTable() {
    idColumn = GetColumnIndex("id");
    if (idColumn < 0) return false;
    // Per column name: its rule and the kinds it can hold.
    struct NamedRule {
        const char* name;
        Rule rule;
        uint32_t kinds;
    };
    static constexpr NamedRule kRules[] = {
        {"id", Rule::Id, kindBit(KindText)},
        {"service", Rule::Service, kindBit(KindText)},
        {"uncanonicalized_id", Rule::UncanonicalizedId, kindBit(KindText) | kindBit(KindNull)},
        {"country", Rule::Country, kindBit(KindText)},
    };
    columnRules.assign(columns.size(), Rule::None);
    acceptedKinds.assign(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        for (const NamedRule& entry : kRules) {
            if (columns[i].name == entry.name) {
                columnRules[i] = entry.rule;
                acceptedKinds[i] = entry.kinds;
                break;
            }
        }
    }
    return true;
}

bool CSMSHandel::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (column < 0 || column >= columnCount || static_cast<size_t>(column) >= columnRules.size())
        return false;
    if (!value) return false;
    switch (columnRules[column]) {
    case Rule::None:
        return true;
    case Rule::Id: {
        if (kind != KindText) return false;
        size_t n = carvedSlotTextLength(kind, value, size);
        if (n == 0) return false;
        std::string text(value->text, n);
        if (isNamedAddress(text) && !isReadableText(text.data(), text.size())) return false;
        normalizeAddress(text);
        return !text.empty();
    }
    case Rule::Service:
        return kind == KindText && carvedSlotTextLength(kind, value, size) == 3 &&
               std::memcmp(value->text, "SMS", 3) == 0;
    case Rule::UncanonicalizedId: {
        if (kind == KindNull) return true;
        if (kind != KindText) return false;
        size_t n = carvedSlotTextLength(kind, value, size);
        return n > 0 && isAllDigits(std::string(value->text, n).c_str());
    }
    case Rule::Country:
        return kind == KindText;
    }
    return true;
}

bool CSMSHandel::OnCarvedRecord(CarvedRecord* record, int32_t rowid) {
    if (!record || !parent || Cancelled()) return false;
    if (!carvedColumnIsText(*record, idColumn)) return false;
    std::string text = record->Text(idColumn);
    normalizeAddress(text);
    if (text.empty()) return false;
    // Without its rowid a handle cannot be matched to any message.
    if (rowid == 0) return false;
    parent->AddHandle(rowid, text.c_str());
    return true;
}
