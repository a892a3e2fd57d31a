#pragma once
// Reads of one column of a live row (a row SQLite returns) that several parsers share,
// with the type checks a damaged or crafted database calls for.
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

// Whole seconds of a number column: INTEGER as it stands, FLOAT truncated toward zero;
// nullopt for any other type and for a float that is no number of seconds (NaN, out of
// the int64 range).
std::optional<int64_t> liveSeconds(sqlite3_stmt* statement, int column);

// A date column in seconds since 2001 (REAL, or INTEGER for whole seconds): a positive
// value as Unix seconds, zero and negative values as they stand; 0 for any other type
// and for a value that is not representable.
int64_t liveAppleDate(sqlite3_stmt* statement, int column);

// The bytes of a text or blob column (CCommonInterFace::CopyColumnText); empty for any
// other type.
std::string liveText(sqlite3_stmt* statement, int column);
