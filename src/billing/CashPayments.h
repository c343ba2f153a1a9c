#pragma once
// The customer's cash payment report "Korábbi készpénz kifizetések"
// (Tqrkpfiz): every billing period of the customer's active contracts, newest
// first, whatever its status. The status name is printed beside each amount,
// so the total is read as the sum of the listed periods, not as cash received.
// The customer is chosen by key; the address is joined so that a missing part
// never blanks a row.
#include "db/Database.h"
#include "reporting/Report.h"

#include <QString>

namespace vl::billing {

// CIM, DATUM, DATUM2, NETTO, ALLAPOT (status name), TEVALLAPOT, BIZONYLAT, NEV
// of every billing row of the customer's active contracts, by DATUM descending.
vl::db::RowSet CashPaymentRows(vl::db::Transaction& tx, const QString& customerKey);
vl::db::RowSet CashPaymentRows(vl::db::Connection& conn, const QString& customerKey);

// The cash billing periods due from `fromDay` to `day` (DATUM) and not paid
// (a state of class "I" or "i") of active, running contracts: BIZONYLAT,
// VERZIO, DATUM, DATUM2, NETTO, BRUTTO, UGYFELKOD, UGYFEL, CIM, by day.
vl::db::RowSet DueUnpaidPeriods(vl::db::Transaction& tx, const QString& fromDay, const QString& day);

// The net billed per month from `from` to `to` ('yyyy.mm.dd'): the cash
// periods paid (a state of class "N", by the period's first day) and the
// printed appendices (MELLEKLETNYOMT, by the period's last day; only where
// the table is). HONAP ('yyyy.mm'), KESZPENZ, MELLEKLET, by month.
vl::db::RowSet BilledPerMonth(vl::db::Connection& conn, vl::db::Transaction& tx, const QString& from,
                              const QString& to);

// The customer's name ("" when unknown).
QString CustomerName(vl::db::Connection& conn, const QString& customerKey);

// The report over the rows (portrait A4). `customerName` heads it when the
// rows hold none (a customer without active contracts).
vl::reporting::Report CashPaymentReport(const vl::db::RowSet& rows, const QString& customerName);

// The report of one customer, read and laid out.
vl::reporting::Report CashPaymentReportOf(vl::db::Connection& conn, const QString& customerKey);

} // namespace vl::billing
