#include "rental/RentalTables.h"

#include "db/SqlText.h"
#include "rental/Numbering.h"

namespace vl::rental {

namespace {

QString checked(const QString& table, const char* real) {
    return Td::CheckedTableName(table, QString::fromLatin1(real));
}

QString quoted(const QString& table, const char* real) {
    return vl::db::sqltext::quoteIdent(checked(table, real));
}

} // namespace

RentalTables RentalTables::workCopies(const QString& lines, const QString& items,
                                      const QString& activities, const QString& payments) {
    RentalTables t;
    t.lines = checked(lines, "FORGSOR");
    t.items = checked(items, "FORGKABIN");
    t.activities = checked(activities, "FORGTEV");
    t.payments = checked(payments, "FORGFIZ");
    return t;
}

void RentalTables::check() const {
    checked(lines, "FORGSOR");
    checked(items, "FORGKABIN");
    checked(activities, "FORGTEV");
    checked(payments, "FORGFIZ");
}

bool RentalTables::isStored() const {
    return lines.compare(QLatin1String("FORGSOR"), Qt::CaseInsensitive) == 0 &&
           items.compare(QLatin1String("FORGKABIN"), Qt::CaseInsensitive) == 0 &&
           activities.compare(QLatin1String("FORGTEV"), Qt::CaseInsensitive) == 0 &&
           payments.compare(QLatin1String("FORGFIZ"), Qt::CaseInsensitive) == 0;
}

QString RentalTables::sqlLines() const { return quoted(lines, "FORGSOR"); }
QString RentalTables::sqlItems() const { return quoted(items, "FORGKABIN"); }
QString RentalTables::sqlActivities() const { return quoted(activities, "FORGTEV"); }
QString RentalTables::sqlPayments() const { return quoted(payments, "FORGFIZ"); }

} // namespace vl::rental
