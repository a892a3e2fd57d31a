#pragma once
// A strict RFC 4180 reader for checking saved CSV files field for field.
#include <optional>
#include <string>
#include <vector>

namespace kit {

using CsvRecord = std::vector<std::string>;

// Parses `text` (UTF-8, an optional byte-order mark first) into records. A record ends
// with CRLF or LF outside quotes; a quoted field may hold commas, quotes doubled, CR and
// LF. Anything RFC 4180 does not allow (a quote inside an unquoted field, text after a
// closing quote, a quoted field never closed, a bare CR outside quotes) gives nullopt.
inline std::optional<std::vector<CsvRecord>> ParseCsv(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string field;
    size_t i = 0;
    const size_t n = text.size();
    if (n == 0) return records;
    for (;;) {
        field.clear();
        if (i < n && text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= n) return std::nullopt; // never closed
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                if (text[i] == '"') return std::nullopt;
                field += text[i++];
            }
        }
        record.push_back(field);
        if (i >= n) {
            records.push_back(record);
            return records;
        }
        if (text[i] == ',') {
            ++i;
            continue;
        }
        if (text[i] == '\r') {
            if (i + 1 >= n || text[i + 1] != '\n') return std::nullopt;
            ++i;
        }
        if (text[i] != '\n') return std::nullopt; // text after a closing quote
        ++i;
        records.push_back(record);
        record.clear();
        if (i >= n) return records;
    }
}

} // namespace kit
