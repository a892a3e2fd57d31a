#pragma once
#include <string>
#include <utility>

// One live-row query of a parser: the rows of one table, the columns it reads, which
// rows and in what order. Columns, condition and order are SQL the calling parser
// writes (never text of the file); the table name is quoted by the reader.
//   LiveQuery("message", "handle_id,date,text").Where("handle_id>0").OrderBy("handle_id")
struct LiveQuery {
    LiveQuery(std::string table, std::string columns)
        : table(std::move(table)), columns(std::move(columns)) {}
    LiveQuery& Where(std::string condition) {
        where = std::move(condition);
        return *this;
    }
    LiveQuery& OrderBy(std::string terms) {
        orderBy = std::move(terms);
        return *this;
    }

    std::string table;
    // Result columns, as in "select <columns> from ...".
    std::string columns;
    // Condition on the rows; empty: every row.
    std::string where;
    // Comma-separated columns of the table, each optionally followed by ASC or DESC;
    // empty: the table's own order.
    std::string orderBy;
};
