#pragma once
// The daily activity list Tqrtevnaplo "Napi tevékenységek": the day sheet as
// the activity log shows it (same day, customer and driver), one section per
// driver on pages of its own, without deleted and moved lines and without
// paid payment lines; payment lines with their contracts' lines, a count per
// activity, the gross total to collect and the boxes the driver fills in.
//
//   DaySheet sheet(conn, session, vat);  sheet.LoadDaySheet(day);  sheet.FilterDaySheet(f);
//   const DayList list = DayListFor(conn, sheet);
//   previewReport(DayListReport(list));      // or writePdf(layout(...))
#include "operations/DaySheet.h"
#include "reporting/Report.h"

#include <QHash>
#include <QString>

namespace vl::operations {

struct DayList {
    QString company;              // CEG.NEV
    QString caption;              // the day and its name
    vl::db::RowSet rows;          // the printed lines, by driver and address
    // The contract lines of each payment line, by line number, as printed.
    QHash<int, QString> contractLines;
};

// The statement of the list: the log's filter and the exclusions, by driver
// and address; its parameters are the sheet's filterParams().
QString DayListSql(const DaySheet& sheet);
// Reads what the list prints; contract lines come from the keys each payment
// line keeps.
DayList DayListFor(vl::db::Connection& conn, const DaySheet& sheet);
// A remark without its amount prefix ("1200 Ft, " and the blank after it).
QString WithoutAmountPrefix(const QString& remark);
// The printed quantity column of a line.
QString DayListQuantity(bool payment, qint64 db, qint64 nettofiz, qint64 bruttofiz);
vl::reporting::Report DayListReport(const DayList& list);

} // namespace vl::operations
