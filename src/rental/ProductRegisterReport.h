#pragma once
// The product list report Tqrtermeklista: the register's list as loaded,
// landscape, with the company, the title, the print time and the filter line
// on every page, and the counts by status class at the end.
#include "db/Database.h"
#include "reporting/Report.h"

#include <QDateTime>
#include <QString>

namespace vl::rental {

// CEG.NEV ("" when the company row is missing).
QString CompanyName(vl::db::Transaction& tx);

// The report over a product list (ProductRegister::List). The counters start
// at 0 whenever the report is laid out.
vl::reporting::Report ProductListReport(const vl::db::RowSet& list, const QString& companyName,
                                        const QString& filterText, const QDateTime& printTime = QDateTime());

} // namespace vl::rental
