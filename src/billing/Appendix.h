#pragma once
// The invoice appendix of a period: validation, the build of the per-user
// work table (rental rows of every cabin whose rental overlaps the period,
// and one row per done priced visit), its list, its totals and the print
// stamps of the contracts.
//
// The work table is a copy of the template MELLEKLET named
// StampedName("BMELL" + user, "TMP_"), made on the first build and made anew,
// empty, under the same name by every later one (emptied row by row, it would
// keep a version of each old row to clear and to write at the next build).
// Each rental row is computed (AppendixCharge) before anything is written;
// the activity rows are copied by the server. One transaction reads every row
// and writes them: a build either leaves every row of the period or, when a
// row cannot be computed or a write fails, an empty table. Customers are
// chosen, summed, printed and stamped by UGYFELKOD.
#include "billing/AppendixCharge.h"
#include "db/Database.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <QString>
#include <QList>
#include <QStringList>
#include <functional>

namespace vl::billing {

enum class EInvoiceFilter { All, Only, Except };

struct AppendixFilter {
    QString customerKey;   // UGYFEL.KOD; empty: every customer
    QString paymentKind;   // SZ_FIZMOD.KP: "I" cash, "N" transfer, "E" prepaid; empty: all
    QString rentalMode;    // SZ_BERMOD.KOD; empty: all
    QString rentalUnit;    // SZ_MEGYSEG.KOD; empty: all
    EInvoiceFilter einvoice = EInvoiceFilter::All;
    bool weekAlign = false; // "Időszakot ügyfélhez igazít"
};

// The items of cbx_fizmod and the SZ_FIZMOD.KP letter of each.
QStringList PaymentKindItems();                 // "", "Készpénzes", "Utalásos", "Előre fizetős"
QString PaymentKindOfItem(const QString& item); // "" / "I" / "N" / "E"
// The items of cbx_eszamla.
QStringList EInvoiceItems();                    // "Mind", "Csak az e-számlás", "Mind, kivéve az e-számlás"

// The period's errors, collected: "" when both dates are right. The
// normalised dates are returned through from/to.
QString AppendixPeriodErrors(const QString& typedFrom, const QString& typedTo, QString* from = nullptr,
                             QString* to = nullptr);

// The row message of a cabin that cannot be computed.
QString AppendixRowMessage(ChargeResult::Problem problem, const QString& arukod, const QString& customer,
                           const QString& address);

// A cabin charged from its delivery day (KISZALL) while its delivery is
// still planned: the build charges it like a delivered one and names it, so
// an invoice for a cabin that never arrived is seen before it goes out.
struct PlannedDelivery {
    qint64 bizonylat = 0;
    qint64 tetelsor = 0, sorszam = 0;
    QString arukod;        // the cabin number
    QString day;           // the planned day of the delivery
};
// "Kiszállítás még nincs elvégezve: szerződés <n>, kabin <arukod>, tervezett nap <day>"
QString PlannedDeliveryText(const PlannedDelivery& d);

struct BuildResult {
    int rows = 0;          // rows written
    int rentalRows = 0;
    int activityRows = 0;
    qint64 total = 0;      // sum of NETTOERTEK
    // The charged cabins whose delivery is still planned, by contract, line, item.
    QList<PlannedDelivery> plannedDeliveries;
};

struct ListTotals {
    qint64 rows = 0;       // rows of the list
    qint64 total = 0;      // sum of NETTOERTEK
};

// "<n> darab, <sum> Ft." (the sum grouped by thousands).
QString TotalsText(const ListTotals& t);

struct StampResult {
    int contracts = 0;     // contracts stamped
    int skipped = 0;       // contracts already stamped with a later end
};

// The appendix months a customer has not had printed: from the month after
// its contracts' LASTPRINT (the rental start's month when never printed) up to
// the month before the day's; only running, active contracts not paid in cash
// (their periods are the cash billing) that started before the day's month.
struct UnprintedMonths {
    QString customerKey;
    QString customer;
    QString firstMonth;   // 'yyyy.mm', the oldest month not printed
    int months = 0;       // whole months from firstMonth to the month before the day's
    int contracts = 0;    // contracts of the customer behind
};
QList<UnprintedMonths> UnprintedAppendixMonths(vl::db::Transaction& tx, const QString& day);

class AppendixService {
public:
    // The connection and the session stay the caller's.
    AppendixService(vl::db::Connection& conn, const vl::shell::Session& who);

    // The work table's name (made on the first build; empty before).
    const QString& workTable() const { return table_; }
    // Uses an existing work table of this run (the form keeps its name).
    void setWorkTable(const QString& name) {
        table_ = name;
        ddl_.clear();
    }

    // Validates, then fills the work table. Raises vl::RuleRefusal with the
    // collected period message (the table untouched) or with a row's message
    // (the table left empty). progress(done, total) after each rental row
    // (total: the rental rows), then once with every row written.
    BuildResult build(const QString& typedFrom, const QString& typedTo, const AppendixFilter& filter,
                      const std::function<void(int, int)>& progress = {});
    // The period of the last build ('yyyy.mm.dd'), empty before one.
    const QString& builtFrom() const { return builtFrom_; }
    const QString& builtTo() const { return builtTo_; }

    // The statement of every row the build writes, rental rows then activity
    // rows (the bench runs it bare): the build reads the first part and has
    // the server copy the second.
    static QString sourceStatement(const AppendixFilter& filter);
    static vl::db::Params sourceParams(const QString& from, const QString& to, const AppendixFilter& filter);

    // The list: one row per contract, site and price, as the grid shows it.
    vl::db::RowSet list(bool unprintedOnly) const;
    ListTotals totals(bool unprintedOnly) const;
    // Per customer (by key) and payment mode: UGYFELKOD, UGYFELNEV, FIZMOD,
    // NETTOERTEK; with unprintedOnly over the same rows as the list.
    vl::db::RowSet customerTotals(bool unprintedOnly) const;
    // The customers of the last build: KOD, NEV, by name.
    vl::db::RowSet customers() const;
    // Every row of the work table, in the order of the appendix CSV.
    vl::db::RowSet allRows() const;
    // One customer's rows for the appendix, restricted to the given sites
    // (none: all), in the report's order.
    vl::db::RowSet appendixRows(const QString& customerKey, const QStringList& siteKeys = {}) const;

    // Asked after a screen preview (default "Nem"): a preview is a look, not
    // an invoice, so it stamps only when the user answers "Igen". A printed
    // appendix (the printer, the command's PDF) stamps without asking.
    static QString StampQuestion() { return QStringLiteral("Megjelöli a mellékletet nyomtatottként?"); }

    // The stamps of a produced appendix: every contract of rows gets
    // LASTPRINT = to and LASTPRINTT = from, unless it holds a later end; the
    // work table's copies alike. One transaction.
    StampResult stamp(const vl::db::RowSet& rows, const QString& from, const QString& to);
    // After an appendix is produced: a printed one is stamped at once; one only
    // previewed comes back with StampQuestion() (Enter answers "Nem") and is
    // stamped on a "yes". Nothing is written while the question is open.
    vl::OutcomeOf<StampResult> stampProduced(const vl::db::RowSet& rows, const QString& from, const QString& to,
                                             bool printed);

    // What the form's filters offer (KOD, NEV): the rental modes and the rental units.
    vl::db::RowSet readRentalModes() const;
    vl::db::RowSet readRentalUnits() const;
    // The company's name on the reports' headers (CompanyName).
    QString readCompanyName() const;

private:
    // Makes the work table when there is none; true when it made it (empty).
    bool ensureTable();
    // Makes the work table anew, empty (its DDL kept from the template).
    void renewTable();

    vl::db::Connection& conn_;
    vl::shell::Session who_;
    QString table_;
    QString ddl_;   // the work table's CREATE TABLE, from the template
    QString builtFrom_, builtTo_;
};

} // namespace vl::billing
