#pragma once
// The business year of the company row (CEG.AKTUALISEV).
#include "db/Database.h"
#include <QString>

namespace vl::shell {

// When CEG.AKTUALISEV is behind the calendar year it advances by one year
// (one step per call, however far behind). A missing or empty year, or one
// that is not a number, is set to the calendar year; a table without a row is
// left alone. currentYear defaults to today's year ("yyyy").
// Returns the year the row holds afterwards ("" without a row).
QString CurrentYearCheck(vl::db::Connection& conn, const QString& currentYear = QString());

} // namespace vl::shell
