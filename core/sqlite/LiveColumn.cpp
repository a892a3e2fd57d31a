#include "core/sqlite/LiveColumn.h"

#include "core/sqlite/CCommonInterFace.h"
#include "core/util/CheckedTime.h"

std::optional<int64_t> liveSeconds(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return static_cast<int64_t>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return doubleToSeconds(sqlite3_column_double(statement, column));
    default:
        return std::nullopt;
    }
}

int64_t liveAppleDate(sqlite3_stmt* statement, int column) {
    const std::optional<int64_t> apple = liveSeconds(statement, column);
    if (!apple) return 0;
    if (*apple <= 0) return *apple;
    return appleToUnixChecked(*apple).value_or(0);
}

std::string liveText(sqlite3_stmt* statement, int column) {
    std::string out;
    CCommonInterFace::CopyColumnText(statement, column, &out);
    return out;
}
