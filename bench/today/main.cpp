// bench_today [--cabins N] [--contracts N] [--years N] [--runs N] [--dir DIR]
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
//     STATUS), the deliveries and take-backs of the week (FORGTEV by TEVKOD,
//     DATUM), the cash periods of the year before (FORGFIZ by DATUM), the
//     items (FORGKABIN), the visits of the last 8 weeks (FORGTEV by DATUM).
// Prints both and their ratio, and the RESULT line of "today" (BenchArgs.h);
// --cabins N: N / 4 contracts and the office-like customers.
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

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString ymd(const QDate& d) { return d.toString(QStringLiteral("yyyy.MM.dd")); }

// The floor's reads; the number of values read.
qint64 bareReads(vl::db::Connection& conn, const QString& dayText) {
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
        {QStringLiteral("SELECT BIZONYLAT, TETELSOR, DATUM, TEVALLAPOT FROM FORGTEV WHERE TEVKOD = 'KIH'"
                        " AND DATUM >= :a"),
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
    for (const auto& r : reads) {
        const vl::db::RowSet rs = tx->query(r.first, r.second);
        for (int i = 0; i < rs.rowCount(); ++i)
            for (const QVariant& v : rs.row(i)) values += v.isNull() ? 0 : 1;
    }
    tx->commit();
    return values;
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500, runs = 5, years = 1;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--years") && i + 1 < args.size()) years = std::max(0, args[++i].toInt());
        else if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    contracts = sizes.contracts(contracts);
    QTemporaryDir tmp;
    const QString path = (dirArg.isEmpty() ? tmp.path() : dirArg) + QStringLiteral("/bench_today.fdb");
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    vl::operations::joinProgramSchema();
    vl::billing::joinProgramSchema();
    auto conn = vl::bench::createGeneratedDatabase(path);
    vl::bench::generateCompany(*conn, contracts);
    vl::bench::generateCurrentYear(*conn, contracts);
    vl::bench::generateCustomers(*conn, contracts, vl::bench::spreadFor(sizes));
    vl::bench::generateHistory(*conn, years);
    {
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
    part("day sheet rows, today and tomorrow", [&](vl::db::Transaction& tx) {
        vl::operations::DaySheetSourceRows(tx, day);
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
    conn->close();
    return 0;
}
