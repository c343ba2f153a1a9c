#pragma once
// The product history report Tqrelozmeny: every rental of one physical
// product, one line per contract line of an active contract on which the
// product stood, in delivery order, with the contract's status, the delivery
// and return dates, the customer, the site and the line's price.
//
//   const vl::db::RowSet rows = productHistoryRows(conn, "K-0012");   // q_kabin
//   if (rows.isEmpty()) notify(noProductHistoryText());
//   else previewReport(productHistoryReport("K-0012", rows));
#include "db/Database.h"
#include "reporting/Report.h"

#include <QString>

namespace vl::rental {

// The report query q_kabin with :kod, the product number. The customer, the
// site and the status are joined so that a rental whose contract names none
// (or a code no longer in the dictionary) still lists; a missing part of an
// address leaves the rest of it standing.
extern const char* const ProductHistorySql;

// Runs q_kabin for the product (read-only).
vl::db::RowSet productHistoryRows(vl::db::Connection& conn, const QString& product);

// "Nincs előzmény": what the caller shows instead of an empty report.
QString noProductHistoryText();

// The address column as it prints: the address, and when the site has a
// name, a line break and the name.
QString productHistoryAddress(const QString& address, const QString& siteName);

// The report over the rows of q_kabin: A4 landscape, 10 mm margins, the page
// header ("Előzmény lista", "Termék kód:" and the product number in qrl_kod)
// on every page, the column captions, one detail band per row. Prints even
// when there are no rows.
vl::reporting::Report productHistoryReport(const QString& product, const vl::db::RowSet& rows);

} // namespace vl::rental
