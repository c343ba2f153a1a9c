// bench_today [--cabins N] [--contracts N] [--years N] [--runs N] [--dir DIR [--keep]]
//
// "Mai nap" on the generated company of the year-opening benchmark (2,500
// contracts, 10,000 cabins, the year's visits and cash billing, 1,000
// customers with two sites, seven drivers) with --years N (default 1) years
// of done visits and paid billing behind the current one, on its busiest day.
// Measures, best of --runs (default 5) after one warm-up:
//   - the overview: ComputeOverview (every panel and picture, one read-only
//     transaction);
//   - the floor: the cheapest bare client-API reads of the rows it shows,
//     through the existing indexes, in one read-only transaction, every value
//     of every row touched once: the activities of the day and the next
//     (FORGTEV by DATUM), the planned ones of the 31 days before (DATUM),
//     the cabins per group and state (ARU), the running contracts (FORGFEJ by
//     STATUS), the take-backs of the week (FORGTEV by DATUM), the deliveries
//     since a year back (the index of kind and day), the cash periods of the year before (FORGFIZ by DATUM), the
//     items (FORGKABIN), the visits of the last 8 weeks (FORGTEV by DATUM).
// Before timing, the ending, undelivered, overdue and unpaid lists are
// checked row for row against the statements they replaced, on four days.
// Prints both and their ratio, and the RESULT line of "today" (BenchArgs.h);
// --cabins N: N / 4 contracts and the office-like customers.
#include "../common/SameRows.h"
#include "GeneratedCompany.h"
#include "db/Database.h"
#include "billing/Appendix.h"
#include "billing/BillingSchema.h"
#include "billing/CashPayments.h"
#include "operations/DaySheet.h"
#include "rental/ContractWatch.h"
#include "rental/ProductRegister.h"
#include "operations/OperationsSchema.h"
#include "overview/Overview.h"
#include "rental/Numbering.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString ymd(const QDate& d) { return d.toString(QStringLiteral("yyyy.MM.dd")); }

// The floor's reads; the number of values read. `parts` (when given) gets
// each read's time in ms.
qint64 bareReads(vl::db::Connection& conn, const QString& dayText, QList<double>* parts = nullptr) {
    const QDate day = QDate::fromString(dayText, QStringLiteral("yyyy.MM.dd"));
    const QDate week = day.addDays(1 - day.dayOfWeek());
    const QList<QPair<QString, vl::db::Params>> reads{
        {QStringLiteral("SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, TEVKOD, TEVALLAPOT, SOFORKOD, ARUKOD, NETTOAR,"
                        " MENNYISEG FROM FORGTEV WHERE DATUM = :d"),
         {{QStringLiteral("d"), dayText}}},
        {QStringLiteral("SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, TEVKOD, TEVALLAPOT, SOFORKOD, ARUKOD, NETTOAR,"
                        " MENNYISEG FROM FORGTEV WHERE DATUM = :d"),
         {{QStringLiteral("d"), ymd(day.addDays(1))}}},
        {QStringLiteral("SELECT BIZONYLAT, DATUM, TEVKOD, ARUKOD FROM FORGTEV WHERE DATUM >= :a AND DATUM < :d"
                        " AND TEVALLAPOT IN ('T', 'L')"),
         {{QStringLiteral("a"), ymd(day.addDays(-31))}, {QStringLiteral("d"), dayText}}},
        {QStringLiteral("SELECT ARUCSOPORT, ALLAPOT, COUNT(*) FROM ARU GROUP BY 1, 2"), {}},
        {QStringLiteral("SELECT BIZONYLAT, VERZIO, BERKEZD, BERVEG, BERMOD, FIZMOD, LASTPRINT, UGYFELKOD, UGYFELCIM"
                        " FROM FORGFEJ WHERE STATUS = 'FO'"),
         {}},
        {QStringLiteral("SELECT BIZONYLAT, TETELSOR, DATUM, TEVALLAPOT FROM FORGTEV WHERE TEVKOD = 'VSZ'"
                        " AND DATUM BETWEEN :d AND :e"),
         {{QStringLiteral("d"), dayText}, {QStringLiteral("e"), ymd(day.addDays(7))}}},
        {QStringLiteral("SELECT BIZONYLAT, TETELSOR, DATUM, TEVALLAPOT FROM FORGTEV WHERE (TEVKOD || '|' || DATUM)"
                        " COLLATE UCS_BASIC BETWEEN 'KIH|' || :a AND 'KIH|9999.99.99'"),
         {{QStringLiteral("a"), ymd(day.addDays(-366))}}},
        {QStringLiteral("SELECT BIZONYLAT, DATUM, DATUM2, NETTO, BRUTTO, TEVALLAPOT FROM FORGFIZ"
                        " WHERE DATUM BETWEEN :a AND :d"),
         {{QStringLiteral("a"), ymd(day.addDays(-366))}, {QStringLiteral("d"), dayText}}},
        {QStringLiteral("SELECT BIZONYLAT, VERZIO, TETELSOR, KISZALL, VSZALL, VSZALLT FROM FORGKABIN"), {}},
        {QStringLiteral("SELECT DATUM, SOFORKOD, TEVALLAPOT FROM FORGTEV WHERE DATUM BETWEEN :a AND :e"),
         {{QStringLiteral("a"), ymd(week.addDays(-49))}, {QStringLiteral("e"), ymd(week.addDays(6))}}},
    };
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    qint64 values = 0;
    QElapsedTimer t;
    for (const auto& r : reads) {
        t.start();
        const vl::db::RowSet rs = tx->query(r.first, r.second);
        if (parts) parts->append(t.nsecsElapsed() / 1e6);
        for (int i = 0; i < rs.rowCount(); ++i)
            for (const QVariant& v : rs.row(i)) values += v.isNull() ? 0 : 1;
    }
    tx->commit();
    return values;
}

// The statements the overview's reads replaced, kept to check that the
// faster ones give exactly their rows.
const QString kOldColumns = QStringLiteral(
    "SELECT F.BIZONYLAT, F.VERZIO, F.UGYFELKOD, U.NEV UGYFEL,"
    " COALESCE(C.IRSZAM, '')||' '||COALESCE(C.VAROS, '')||' '||COALESCE(C.UTCA, '') CIM,"
    " F.BERKEZD, F.BERVEG, F.BERMOD, %1 DATUM"
    " FROM FORGFEJ F LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM");
const QString kOldRunning = QStringLiteral(" WHERE F.STATUS = 'FO' AND F.AKTIV = 'I'");
const QString kOldTakeBack = QStringLiteral(
    "(SELECT MIN(T.DATUM) FROM FORGTEV T JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " WHERE T.BIZONYLAT = F.BIZONYLAT AND T.VERZIO = F.VERZIO AND T.TEVKOD = 'VSZ'"
    " AND ST.MODOSITHATO IN ('I', 'i') AND T.DATUM BETWEEN :datum AND :utolso)");

QString oldEndingSql() {
    return QStringLiteral("SELECT * FROM (") +
           kOldColumns.arg(QStringLiteral("CASE WHEN %1 IS NOT NULL AND (F.BERVEG IS NULL OR F.BERVEG = '' OR %1 < F.BERVEG"
                                          " OR F.BERVEG < :datum) THEN %1 ELSE F.BERVEG END")
                               .arg(kOldTakeBack)) +
           kOldRunning +
           QStringLiteral(" AND ((F.BERVEG BETWEEN :datum AND :utolso) OR F.BIZONYLAT IN (SELECT T.BIZONYLAT FROM FORGTEV T"
                          " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT WHERE T.TEVKOD = 'VSZ' AND T.DATUM BETWEEN :datum"
                          " AND :utolso AND ST.MODOSITHATO IN ('I', 'i')))) W ORDER BY DATUM, BIZONYLAT");
}

QString oldUndeliveredSql() {
    return QStringLiteral("SELECT * FROM (") +
           kOldColumns.arg(QStringLiteral("K.ELSO"))
               .replace(QStringLiteral(" FROM FORGFEJ F"),
                        QStringLiteral(" FROM (SELECT T.BIZONYLAT, T.VERZIO, MIN(T.DATUM) ELSO FROM FORGTEV T"
                                       " WHERE T.TEVKOD = 'KIH' AND T.DATUM >= :tol AND T.TEVALLAPOT IN"
                                       " (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i')) GROUP BY 1, 2) K"
                                       " JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT AND F.VERZIO = K.VERZIO")) +
           kOldRunning + QStringLiteral(" AND F.BERKEZD <= :datum) W ORDER BY DATUM, BIZONYLAT");
}

const QString kOldOverdueSql = QStringLiteral(
    "SELECT G.DATUM, G.BIZONYLAT, G.VERZIO, G.TEVKOD, SZT.NEV TEVNEV, G.DB, G.ARUKOD, G.SOFORKOD,"
    " SZS.NEV SOFOR, F.UGYFELKOD, U.NEV UGYFEL,"
    " COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM"
    " FROM (SELECT T.DATUM, T.BIZONYLAT, T.VERZIO, T.TEVKOD, COUNT(*) DB, MIN(T.ARUKOD) ARUKOD,"
    "  MIN(COALESCE(TRIM(T.SOFORKOD), '')) SOFORKOD"
    "  FROM FORGTEV T"
    "  WHERE T.DATUM >= :tol AND T.DATUM < :datum"
    "  AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))"
    "  GROUP BY T.DATUM, T.BIZONYLAT, T.VERZIO, T.TEVKOD) G"
    " JOIN FORGFEJ F ON F.BIZONYLAT = G.BIZONYLAT AND F.VERZIO = G.VERZIO"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = G.TEVKOD"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = G.SOFORKOD"
    " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " ORDER BY G.DATUM, U.NEV, G.BIZONYLAT, G.TEVKOD");

const QString kOldUnpaidSql = QStringLiteral(
    "SELECT T.BIZONYLAT, T.VERZIO, T.DATUM, T.DATUM2, T.NETTO, T.BRUTTO, F.UGYFELKOD, U.NEV UGYFEL,"
    " COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ', ' || COALESCE(C.UTCA, '') CIM"
    " FROM FORGFIZ T JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
    " WHERE T.DATUM BETWEEN :tol AND :datum"
    " AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))"
    " AND F.AKTIV = 'I' AND F.STATUS = 'FO'"
    " ORDER BY T.DATUM, U.NEV, T.BIZONYLAT");

// The visits per day and driver as the server grouped them, in the order
// VisitsPerDay gives (day, then the driver's code as plain text).
const QString kOldVisitsSql = QStringLiteral(
    "SELECT G.DATUM, G.SOFORKOD, MAX(SZS.NEV) SOFOR,"
    " SUM(CASE WHEN ST.MODOSITHATO = 'N' THEN G.DB ELSE 0 END) ELVEGEZVE,"
    " SUM(CASE WHEN ST.MODOSITHATO IN ('I', 'i') THEN G.DB ELSE 0 END) TERVEZETT"
    " FROM (SELECT T.DATUM, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD, T.TEVALLAPOT, COUNT(*) DB FROM FORGTEV T"
    "  WHERE T.DATUM BETWEEN :tol AND :ig GROUP BY 1, 2, 3) G"
    " JOIN SZ_STATUST ST ON ST.KOD = G.TEVALLAPOT"
    " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = G.SOFORKOD"
    " GROUP BY 1, 2");

vl::db::RowSet oldVisits(vl::db::Transaction& tx, const QString& from, const QString& to) {
    const vl::db::RowSet rs = tx.query(kOldVisitsSql, {{QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}});
    std::vector<QVariantList> rows;
    for (int r = 0; r < rs.rowCount(); ++r) rows.push_back(rs.row(r));
    std::sort(rows.begin(), rows.end(), [](const QVariantList& a, const QVariantList& b) {
        const QPair<QString, QString> x{a.at(0).toString(), a.at(1).toString()}, y{b.at(0).toString(), b.at(1).toString()};
        return x < y;
    });
    return vl::db::RowSet(rs.columns(), std::move(rows));
}

// What an office has around any day besides the visits: take-backs planned
// in the coming days (some on an older version of the contract), rental ends,
// deliveries still planned from the weeks before and some done, so that the
// "ending" and "undelivered" panels have rows to check.
void addMoves(vl::db::Connection& conn, const QDate& day, int contracts) {
    auto tx = conn.begin();
    const QString items = QStringLiteral(
        "INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT,"
        " SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) SELECT K.BIZONYLAT, K.VERZIO, K.TETELSOR, K.SORSZAM, :datum, 9, :kod,"
        " K.ARUKOD, :allapot, K.SOFORKOD, 0, 1, 'N' FROM FORGKABIN K WHERE K.BIZONYLAT = :b AND K.VERZIO = :v");
    for (int b = 1; b <= contracts; ++b) {
        if (b % 37 == 0)
            tx->exec(items, {{QStringLiteral("datum"), ymd(day.addDays(b % 9))}, {QStringLiteral("kod"), QStringLiteral("VSZ")},
                             {QStringLiteral("allapot"), QStringLiteral("T")}, {QStringLiteral("b"), b}, {QStringLiteral("v"), 1}});
        if (b % 41 == 0)
            tx->exec(items, {{QStringLiteral("datum"), ymd(day.addDays(-(b % 30)))}, {QStringLiteral("kod"), QStringLiteral("KIH")},
                             {QStringLiteral("allapot"), b % 3 == 0 ? QStringLiteral("E") : QStringLiteral("T")},
                             {QStringLiteral("b"), b}, {QStringLiteral("v"), 1}});
        if (b % 53 == 0)
            tx->exec(QStringLiteral("UPDATE FORGFEJ SET BERVEG = :d WHERE BIZONYLAT = :b"),
                     {{QStringLiteral("d"), ymd(day.addDays(b % 11 - 2))}, {QStringLiteral("b"), b}});
        if (b % 97 == 0) {
            // An earlier version, no longer active, with a take-back of its own in the window.
            tx->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, UGYFELKOD, UGYFELCIM, BERKEZD, BERVEG, BERMOD,"
                                    " FIZMOD, STATUS, AKTIV) SELECT BIZONYLAT, 2, UGYFELKOD, UGYFELCIM, BERKEZD, BERVEG,"
                                    " BERMOD, FIZMOD, STATUS, 'N' FROM FORGFEJ WHERE BIZONYLAT = :b AND VERZIO = 1"),
                     {{QStringLiteral("b"), b}});
            tx->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                                    " TEVALLAPOT, MENNYISEG) VALUES (:b, 2, 1, 1, :d, 9, 'VSZ', 'T', 1)"),
                     {{QStringLiteral("b"), b}, {QStringLiteral("d"), ymd(day.addDays(3))}});
        }
    }
    tx->commit();
}

// The overview's reads give exactly the rows of the statements they
// replaced, around the day; false (printed) when one does not.
bool sameAsBefore(vl::db::Connection& conn, const QDate& day) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    bool ok = true;
    int rows = 0;
    for (int shift : {-20, -7, 0, 3}) {
        const QDate d = day.addDays(shift);
        const vl::db::Params window{{QStringLiteral("datum"), ymd(d)}, {QStringLiteral("utolso"), ymd(d.addDays(7))}};
        const vl::db::RowSet ending = vl::rental::EndingContracts(*tx, ymd(d), ymd(d.addDays(7)));
        const vl::db::RowSet undelivered = vl::rental::UndeliveredContracts(*tx, ymd(d), ymd(d.addDays(-366)));
        const vl::db::RowSet overdue = vl::operations::OverdueVisits(*tx, ymd(d.addDays(-31)), ymd(d));
        const vl::db::Params year{{QStringLiteral("tol"), ymd(d.addDays(-366))}, {QStringLiteral("datum"), ymd(d)}};
        const vl::db::RowSet unpaid = vl::billing::DueUnpaidPeriods(*tx, ymd(d.addDays(-366)), ymd(d));
        const vl::db::RowSet visits = vl::operations::VisitsPerDay(*tx, ymd(d.addDays(-56)), ymd(d));
        const struct {
            const char* name;
            const vl::db::RowSet& got;
            vl::db::RowSet want;
        } cases[] = {
            {"ending", ending, tx->query(oldEndingSql(), window)},
            {"undelivered", undelivered,
             tx->query(oldUndeliveredSql(), {{QStringLiteral("datum"), ymd(d)}, {QStringLiteral("tol"), ymd(d.addDays(-366))}})},
            {"overdue", overdue,
             tx->query(kOldOverdueSql, {{QStringLiteral("tol"), ymd(d.addDays(-31))}, {QStringLiteral("datum"), ymd(d)}})},
            {"unpaid", unpaid, tx->query(kOldUnpaidSql, year)},
            {"visits per day", visits, oldVisits(*tx, ymd(d.addDays(-56)), ymd(d))},
        };
        for (const auto& c : cases) {
            rows += c.want.rowCount();
            if (!vl::bench::sameRows(c.got, c.want)) {
                say(QStringLiteral("FAILED: %1 of %2 differs from the statement it replaced").arg(QString::fromLatin1(c.name), ymd(d)));
                ok = false;
            }
        }
    }
    if (ok)
        say(QStringLiteral("Ending, undelivered, overdue, unpaid and the visits per day equal to the statements they"
                           " replaced on four days: %1 rows").arg(rows));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500, runs = 5, years = 1;
    QString dirArg;
    bool keep = false;   // --keep: use the database --dir already holds (made by an earlier run of the same sizes)
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--years") && i + 1 < args.size()) years = std::max(0, args[++i].toInt());
        else if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--keep")) keep = true;
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    contracts = sizes.contracts(contracts);
    QTemporaryDir tmp;
    const QString path = (dirArg.isEmpty() ? tmp.path() : dirArg) + QStringLiteral("/bench_today.fdb");
    QElapsedTimer t;
    t.start();
    vl::operations::joinProgramSchema();
    vl::billing::joinProgramSchema();
    std::unique_ptr<vl::db::Connection> conn;
    bool generated = false;
    if (keep && !dirArg.isEmpty() && QFile::exists(path)) {
        vl::db::ConnectParams p;
        p.driver = QStringLiteral("FIREBIRD");
        p.database = path;
        conn = vl::db::connect(p);
        vl::rental::Schema::upgrade(*conn);   // this build's steps on a kept file
    } else {
        QFile::remove(path);
        generated = true;
        conn = vl::bench::createGeneratedDatabase(path);
        vl::bench::generateCompany(*conn, contracts);
        vl::bench::generateCurrentYear(*conn, contracts);
        vl::bench::generateCustomers(*conn, contracts, vl::bench::spreadFor(sizes));
        vl::bench::generateHistory(*conn, years);
        // The cabins of the register, rented.
        auto tx = conn->begin();
        tx->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT, BIZONYLAT) SELECT ARUKOD, 'ALAP', 'FOG', BIZONYLAT"
                                " FROM FORGKABIN"));
        tx->commit();
    }
    vl::rental::Td::LoadStartupValues(*conn);
    const auto busiest = conn->query(QStringLiteral(
        "SELECT FIRST 1 DATUM, COUNT(*) FROM FORGTEV WHERE DATUM STARTING WITH '2026' GROUP BY DATUM ORDER BY 2 DESC, 1"));
    const QString day = busiest.at(0, 0).toString();
    const qint64 visits = conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")).at(0, 0).toLongLong();
    const qint64 periods = conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ")).at(0, 0).toLongLong();
    say(QStringLiteral("Company: %1 contracts (%2 cabins), %3 year(s) of history, %4 activities, %5 billing periods;"
                       " set up in %6 s; busiest day %7 with %8 activities")
            .arg(contracts).arg(contracts * 4).arg(years).arg(visits).arg(periods)
            .arg(t.elapsed() / 1000.0, 0, 'f', 1).arg(day).arg(busiest.at(0, 1).toLongLong()));

    if (generated) addMoves(*conn, QDate::fromString(day, QStringLiteral("yyyy.MM.dd")), contracts);
    if (!sameAsBefore(*conn, QDate::fromString(day, QStringLiteral("yyyy.MM.dd")))) return 1;
    const double vat = vl::rental::Td::values().VatFactor;
    QList<double> overviewTimes, bareTimes;
    vl::overview::Overview o;
    qint64 values = 0;
    for (int r = 0; r <= runs; ++r) {
        t.restart();
        o = vl::overview::ComputeOverview(*conn, day, vat);
        const double s = t.nsecsElapsed() / 1e6;
        t.restart();
        values = bareReads(*conn, day);
        const double b = t.nsecsElapsed() / 1e6;
        if (r == 0) continue; // warm-up
        overviewTimes << s;
        bareTimes << b;
    }
    std::sort(overviewTimes.begin(), overviewTimes.end());
    std::sort(bareTimes.begin(), bareTimes.end());
    int dayVisits = 0;
    for (const auto& d : o.today.drivers) dayVisits += d.total();
    say(QStringLiteral("Overview: %1 driver rows (%2 activities), %3 overdue rows, %4 ending, %5 undelivered, %6 unpaid"
                       " periods, %7 unprinted customers; the floor read %8 values")
            .arg(o.today.drivers.size()).arg(dayVisits).arg(o.today.overdue.size()).arg(o.contracts.ending.size())
            .arg(o.contracts.undelivered.size()).arg(o.money.unpaid.size()).arg(o.money.unprinted.size()).arg(values));
    say(QStringLiteral("ComputeOverview: %1 ms (best of %2, median %3 ms)")
            .arg(overviewTimes.first(), 0, 'f', 1).arg(runs).arg(overviewTimes.at(overviewTimes.size() / 2), 0, 'f', 1));
    say(QStringLiteral("Bare client-API reads of its rows: %1 ms (best of %2, median %3 ms)")
            .arg(bareTimes.first(), 0, 'f', 1).arg(runs).arg(bareTimes.at(bareTimes.size() / 2), 0, 'f', 1));
    say(QStringLiteral("Ratio: %1x (best), %2x (median)")
            .arg(overviewTimes.first() / bareTimes.first(), 0, 'f', 2)
            .arg(overviewTimes.at(overviewTimes.size() / 2) / bareTimes.at(bareTimes.size() / 2), 0, 'f', 2));
    const qint64 shown = o.today.drivers.size() + o.today.overdue.size() + o.contracts.ending.size() +
                         o.contracts.undelivered.size() + o.money.unpaid.size() + o.money.unprinted.size();
    vl::bench::printResult(QStringLiteral("today"), shown, overviewTimes.first() / 1000.0, bareTimes.first() / 1000.0);
    // Where the time goes: each read of the overview alone, in a transaction of its own.
    const QDate d = QDate::fromString(day, QStringLiteral("yyyy.MM.dd"));
    auto part = [&](const char* name, const std::function<void(vl::db::Transaction&)>& f) {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        t.restart();
        f(*tx);
        const double ms = t.nsecsElapsed() / 1e6;
        tx->commit();
        say(QStringLiteral("  %1: %2 ms").arg(QString::fromLatin1(name)).arg(ms, 0, 'f', 1));
    };
    part("day sheet rows, today", [&](vl::db::Transaction& tx) { vl::operations::DaySheetSourceRows(tx, day); });
    part("day sheet rows, tomorrow", [&](vl::db::Transaction& tx) {
        vl::operations::DaySheetSourceRows(tx, ymd(d.addDays(1)));
    });
    part("overdue visits", [&](vl::db::Transaction& tx) { vl::operations::OverdueVisits(tx, ymd(d.addDays(-31)), day); });
    part("product register summary", [&](vl::db::Transaction& tx) { vl::rental::ProductRegister::Summary(tx, {}); });
    part("freed by take-backs", [&](vl::db::Transaction& tx) {
        vl::rental::ProductRegister::FreedByTakeBacks(tx, day, ymd(d.addDays(7)));
    });
    part("ending contracts", [&](vl::db::Transaction& tx) { vl::rental::EndingContracts(tx, day, ymd(d.addDays(7))); });
    part("started contracts", [&](vl::db::Transaction& tx) { vl::rental::StartedContracts(tx, ymd(d.addDays(-7)), day); });
    part("overrun contracts", [&](vl::db::Transaction& tx) { vl::rental::OverrunContracts(tx, day); });
    part("undelivered contracts", [&](vl::db::Transaction& tx) {
        vl::rental::UndeliveredContracts(tx, day, ymd(d.addDays(-366)));
    });
    part("unpaid cash periods", [&](vl::db::Transaction& tx) {
        vl::billing::DueUnpaidPeriods(tx, ymd(d.addDays(-366)), day);
    });
    part("unprinted appendix months", [&](vl::db::Transaction& tx) { vl::billing::UnprintedAppendixMonths(tx, day); });
    part("items out", [&](vl::db::Transaction& tx) { vl::rental::ItemsOut(tx, ymd(d.addMonths(-13)), ymd(d.addMonths(4))); });
    part("billed per month", [&](vl::db::Transaction& tx) {
        vl::billing::BilledPerMonth(*conn, tx, ymd(d.addMonths(-12)), day);
    });
    part("visits per day, 8 weeks", [&](vl::db::Transaction& tx) {
        vl::operations::VisitsPerDay(tx, ymd(d.addDays(-56)), day);
    });
    // The floor's reads one by one (the same transaction as in the runs).
    QList<double> floorParts;
    bareReads(*conn, day, &floorParts);
    static const char* const floorNames[] = {
        "floor: the day's activities",         "floor: the next day's activities",
        "floor: planned, 31 days before",      "floor: cabins per group and state",
        "floor: running contracts",            "floor: take-backs of the week",
        "floor: deliveries of the year",       "floor: cash periods of the year",
        "floor: the items",                    "floor: visits of 8 weeks"};
    for (int i = 0; i < floorParts.size() && i < int(std::size(floorNames)); ++i)
        say(QStringLiteral("  %1: %2 ms").arg(QString::fromLatin1(floorNames[i])).arg(floorParts.at(i), 0, 'f', 1));
    conn->close();
    return 0;
}
