#pragma once
// The printed appendix and its two summaries, as report descriptions for the
// report engine:
//   Tqrmelleklet  "Bérbeadási melléklet": one customer's rows of one period,
//                 site by site, one line per group of like cabins, the site
//                 and customer totals of the lines that print, and the
//                 products that stay on rent at the end of the period;
//   Tqrmellist    "Összesített bérbeadási melléklet" over the appendix list;
//   Tqrmellist2   the same over the per-customer totals.
// The stamps of a produced appendix are AppendixService::stamp.
#include "db/Database.h"
#include "reporting/Report.h"

#include <QList>
#include <QPair>
#include <QString>

namespace vl::billing {

// "2024.03.04 -> 2024.03.31 (28 nap)"
QString AppendixPeriodCaption(const QString& from, const QString& to);

// A products-remaining list: lines PadLeft(count, 3) + " Db. " + PadRight(name, 40),
// entries with a count of 0 left out.
QString RemainingProductsText(const QList<QPair<QString, int>>& entries);

struct AppendixReportInput {
    vl::db::RowSet rows;     // AppendixService::appendixRows
    QString from, to;        // the period the report states (and the stamps write)
    bool sitePerPage = false; // "Címenként külön lapra"
    QString company;         // CEG.NEV
};

vl::reporting::Report AppendixReport(const AppendixReportInput& in);

// "Ügyfél:<name>; Fiz.mód:<payment>; Bérlet mód:<mode>", the present ones.
QString SummaryFilterCaption(const QString& customer, const QString& payment, const QString& rentalMode);

// The site summary over AppendixService::list, the customer summary over
// AppendixService::customerTotals, both with the list's unprinted-only filter.
vl::reporting::Report SiteSummaryReport(const vl::db::RowSet& list, const QString& from, const QString& to,
                                        const QString& filterCaption, const QString& company);
vl::reporting::Report CustomerSummaryReport(const vl::db::RowSet& totals, const QString& from, const QString& to,
                                            const QString& filterCaption, const QString& company);

// CEG.NEV of the company row ("" when there is none).
QString CompanyName(vl::db::Connection& conn);

} // namespace vl::billing
