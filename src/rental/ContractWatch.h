#pragma once
// The contracts the office has to look at on a day: those ending soon, those
// started this week, fixed-term ones past their end still running, and those
// whose billing has begun while a delivery is still to be done. Only running
// (FO), active contracts; each read runs in the caller's transaction.
//
// Every list has the columns BIZONYLAT, VERZIO, UGYFELKOD, UGYFEL (name), CIM
// (the site's address), BERKEZD, BERVEG, BERMOD and DATUM (the day the row is
// listed for: its end, start or planned delivery), by DATUM then number.
#include "db/Database.h"

#include <QString>

namespace vl::rental {

// Ending from `day` to `lastDay`: by the rental end (BERVEG) or by a planned
// take-back (its first planned day in the window, when earlier than BERVEG).
vl::db::RowSet EndingContracts(vl::db::Transaction& tx, const QString& day, const QString& lastDay);
// Started from `firstDay` to `day` (BERKEZD).
vl::db::RowSet StartedContracts(vl::db::Transaction& tx, const QString& firstDay, const QString& day);
// Fixed-term (the rental mode's KOTNAP "I") with BERVEG before `day`, still running.
vl::db::RowSet OverrunContracts(vl::db::Transaction& tx, const QString& day);
// BERKEZD on or before `day` and a delivery (KIH) planned on or after
// `fromDay` still planned; DATUM its first planned day.
vl::db::RowSet UndeliveredContracts(vl::db::Transaction& tx, const QString& day, const QString& fromDay);

// The cabins out in a window: every item of a contract that is not cancelled,
// delivered (KISZALL) on or before `to` and not back before `from`, with
// ARUCSOPORT, KISZALL and VISSZA (its take-back day, the planned one while it
// is out; "" for an open end). The overview counts them month by month.
vl::db::RowSet ItemsOut(vl::db::Transaction& tx, const QString& from, const QString& to);

} // namespace vl::rental
