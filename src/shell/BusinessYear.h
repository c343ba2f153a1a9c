#pragma once
// The business year of the company row (CEG.AKTUALISEV): read and checked here
// only, by the start-up of the program, the schedule and billing generators,
// the year opening form and the open-year command alike.
//
// A business year is a text of exactly four digits (blanks around it aside)
// from 1000 on; anything else (NULL, empty, "20x", "999") is no year.
#include "db/Database.h"
#include <QString>

namespace vl::shell {

// The year of a text, 0 when it is not a four-digit year.
int BusinessYearNumber(const QString& text);

struct BusinessYear {
    bool hasRow = false;  // CEG holds a row
    QString text;         // AKTUALISEV as stored, trimmed ("" for NULL or no row)
    int year = 0;         // BusinessYearNumber(text)
    bool valid() const { return year > 0; }
};

// Reads CEG.AKTUALISEV (the first row of CEG).
BusinessYear ReadBusinessYear(vl::db::Connection& conn);
BusinessYear ReadBusinessYear(vl::db::Transaction& tx);

// The start-up check of the business year. When it is behind the calendar
// year it advances by one year (one step per call, however far behind); when
// it is no year (ReadBusinessYear) it is set to the calendar year; a table
// without a row is left alone. currentYear defaults to today's year ("yyyy").
// Returns the year the row holds afterwards ("" without a row).
QString CurrentYearCheck(vl::db::Connection& conn, const QString& currentYear = QString());

} // namespace vl::shell
