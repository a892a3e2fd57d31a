#include "core/sqlite/CarvedColumn.h"

#include "core/util/CheckedTime.h"

#include <cstring>

static_assert(kNumberKinds == 0x7FCu, "kinds 2 to 10");
static_assert(kNotTextKinds == 0x7FFu, "kinds 0 to 10");
static_assert(kIntegerOrNullKinds == 0x3FEu, "kinds 1 to 9");

uint32_t declaredTypeKinds(const std::string& declaredType) {
    std::string t = declaredType;
    for (char& c : t)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    const uint32_t every = kindBit(KindText + 1) - 1;
    if (t.find("INT") != std::string::npos) return kNumberKinds | kindBit(KindNull);
    if (t.find("CHAR") != std::string::npos || t.find("CLOB") != std::string::npos ||
        t.find("TEXT") != std::string::npos)
        return kTextKinds | kindBit(KindNull);
    if (t.find("BLOB") != std::string::npos || t.empty()) return every;
    if (t.find("REAL") != std::string::npos || t.find("FLOA") != std::string::npos ||
        t.find("DOUB") != std::string::npos)
        return kNumberKinds | kindBit(KindNull);
    return every; // NUMERIC keeps text that does not read as a number
}

size_t carvedSlotTextLength(uint32_t kind, const CarvedValue* value, uint32_t size) {
    if (!value || !isTextOrBlob(kind)) return 0;
    const char* p = kind == KindText ? value->text : reinterpret_cast<const char*>(value->blob);
    if (!p) return 0;
    return strnlen(p, size);
}

std::string carvedSlotText(uint32_t kind, const CarvedValue* value, uint32_t size) {
    const size_t n = carvedSlotTextLength(kind, value, size);
    if (n == 0) return {};
    return std::string(kind == KindText ? value->text : reinterpret_cast<const char*>(value->blob), n);
}

bool isNonEmptyCarvedText(uint32_t kind, const CarvedValue* value, uint32_t size) {
    return kind == KindText && size > 0 && value && value->text && value->text[0] != '\0';
}

bool isCarvedUuidText(uint32_t kind, const CarvedValue* value, uint32_t size) {
    return kind == KindText && size == 36 && value && value->text && std::strlen(value->text) == 36;
}

bool isNonZeroCarvedInteger(uint32_t kind, const CarvedValue* value) {
    const std::optional<int64_t> v = carvedInteger(kind, value);
    return v && *v != 0;
}

bool hasCarvedColumn(const CarvedRecord& record, int column) {
    return column >= 0 && column < record.columnCount && static_cast<size_t>(column) < record.kinds.size() &&
           static_cast<size_t>(column) < record.values.size();
}

bool carvedColumnIsText(const CarvedRecord& record, int column) {
    return hasCarvedColumn(record, column) && isTextOrBlob(record.kinds[static_cast<size_t>(column)]);
}

std::string carvedColumnText(const CarvedRecord& record, int column) {
    return carvedColumnIsText(record, column) ? record.Text(column) : std::string();
}

std::optional<int64_t> carvedColumnInteger(const CarvedRecord& record, int column) {
    if (!hasCarvedColumn(record, column)) return std::nullopt;
    return carvedInteger(record.kinds[static_cast<size_t>(column)],
                         &record.values[static_cast<size_t>(column)]);
}

int64_t carvedNumberSlot(const CarvedRecord& record, int column) {
    if (!hasCarvedColumn(record, column) || !isCarvedNumberKind(record.kinds[static_cast<size_t>(column)]))
        return 0;
    return record.values[static_cast<size_t>(column)].i64;
}
