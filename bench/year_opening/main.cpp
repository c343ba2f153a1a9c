// bench_year_opening [--cabins N] [--years N] [--contracts N] [--batch N] [--dir DIR] [--plans]
//
// A generated company: N running open-ended contracts (default 2,500) with four
// cabins each (10,000), weekly patterns of one to three visits (a tenth of them
// every second week), a third of the contracts paid in cash (monthly and weekly
// billing), deliveries spread over the year, the current year's schedule and
// billing already generated. Measures the year opening end to end, then, on an
// identical copy of the database (the same tables, the same indexes, the same
// rows already in them), the bare insert of exactly the rows the year opening
// wrote, in one transaction through the client API. Prints both and their
// ratio. --plans prints the query plans of the statements in plans.sql (the day
// sheet, the product history, the generators' statements) on the company.
// --cabins N: N / 4 contracts and the office-like customers; --years N: N
// years of done history behind 2026 (none by default). Prints the RESULT line
// of "year_opening" (BenchArgs.h): the opening against the bare insert.
#include "GeneratedCompany.h"
#include "db/Database.h"
#include "rental/Billing.h"
#include "rental/Schedule.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "rental/YearOpening.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

using namespace vl::rental;
using vl::bench::generateCompany;
using vl::bench::generateCurrentYear;

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

vl::db::ConnectParams params(const QString& path) {
    vl::db::ConnectParams p;
    p.driver = QStringLiteral("FIREBIRD");
    p.database = path;
    return p;
}

// The rows a run wrote (JUZER names the run), column by column.
struct Written {
    QStringList columns;
    std::vector<QVariantList> rows;
};

Written readWritten(vl::db::Connection& conn, const QString& table, const QString& user) {
    Written w;
    auto rs = conn.query(QStringLiteral("SELECT * FROM %1 WHERE JUZER = :juzer").arg(table),
                         {{QStringLiteral("juzer"), user}});
    for (const auto& c : rs.columns()) w.columns << c.name;
    for (int r = 0; r < rs.rowCount(); ++r) w.rows.push_back(rs.row(r));
    return w;
}

// The same rows, written bare: one transaction, prepared statements.
double bareInsert(vl::db::Connection& conn, const std::vector<std::pair<QString, Written>>& tables) {
    QElapsedTimer t;
    t.start();
    auto tx = conn.begin();
    for (const auto& [table, w] : tables) {
        QStringList names;
        for (const QString& c : w.columns) names << QLatin1Char(':') + c.toLower();
        auto ins = tx->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(table, w.columns.join(QStringLiteral(", ")), names.join(QStringLiteral(", "))));
        for (const QVariantList& row : w.rows) {
            for (int c = 0; c < w.columns.size(); ++c) ins->bind(w.columns.at(c).toLower(), row.at(c));
            ins->execute();
        }
    }
    tx->commit();
    return t.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500;
    int batch = 50;
    bool plans = false;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--batch") && i + 1 < args.size()) batch = args[++i].toInt();
        else if (args[i] == QStringLiteral("--plans")) plans = true;
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    contracts = sizes.contracts(contracts);
    const int years = sizes.historyYears(0);
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString pathA = dir + QStringLiteral("/bench_year_opening.fdb");
    const QString pathB = dir + QStringLiteral("/bench_bare_insert.fdb");
    const QString pathC = dir + QStringLiteral("/bench_year_opening_grouped.fdb");
    QFile::remove(pathA);
    QFile::remove(pathB);
    QFile::remove(pathC);

    QElapsedTimer t;
    t.start();
    {
        auto conn = vl::db::createFirebirdDatabase(params(pathA));
        Schema::upgrade(*conn);
        {
            auto tx = conn->begin();
            Seeds::apply(*tx, QStringLiteral("2026"));
            tx->commit();
        }
        generateCompany(*conn, contracts);
        generateCurrentYear(*conn, contracts);
        if (sizes.sized()) vl::bench::generateCustomers(*conn, contracts, vl::bench::CustomerSpread::Office);
        vl::bench::generateHistory(*conn, years);
        const auto rs = conn->query(QStringLiteral("SELECT (SELECT COUNT(*) FROM FORGKABIN), (SELECT COUNT(*) FROM FORGTEV),"
                                                   " (SELECT COUNT(*) FROM FORGFIZ) FROM RDB$DATABASE"));
        say(QStringLiteral("Company: %1 contracts, %2 cabins, %3 activities and %4 billing periods of 2026 and %6 year(s)"
                           " before (set up in %5 s)")
                .arg(contracts).arg(rs.at(0, 0).toLongLong()).arg(rs.at(0, 1).toLongLong())
                .arg(rs.at(0, 2).toLongLong()).arg(t.elapsed() / 1000.0, 0, 'f', 1).arg(years));
        conn->close();
    }
    if (!QFile::copy(pathA, pathB) || (batch > 1 && !QFile::copy(pathA, pathC))) {
        say(QStringLiteral("Cannot copy the database in %1").arg(dir));
        return 1;
    }

    auto connA = vl::db::connect(params(pathA));
    t.restart();
    const YearOpeningSummary s = OpenYear(*connA, QStringLiteral("2027"), false, {}, QStringLiteral("EVNYIT"), 1);
    const double opening = t.elapsed() / 1000.0;
    if (!s.ok()) {
        say(QStringLiteral("Year opening failed: ") + s.lines().join(QStringLiteral("; ")));
        return 1;
    }
    for (const QString& l : s.lines()) say(QStringLiteral("  ") + l);
    const std::vector<std::pair<QString, Written>> written{
        {QStringLiteral("FORGTEV"), readWritten(*connA, QStringLiteral("FORGTEV"), QStringLiteral("EVNYIT"))},
        {QStringLiteral("FORGFIZ"), readWritten(*connA, QStringLiteral("FORGFIZ"), QStringLiteral("EVNYIT"))}};
    t.restart();
    const YearOpeningSummary again = OpenYear(*connA, QStringLiteral("2027"), false, {}, QStringLiteral("BENCH"), 1);
    const double second = t.elapsed() / 1000.0;
    connA->close();

    auto connB = vl::db::connect(params(pathB));
    const int rows = s.visitsWritten + s.periodsWritten;
    if (int(written[0].second.rows.size() + written[1].second.rows.size()) != rows) {
        say(QStringLiteral("The rows found (%1) differ from the rows written (%2)")
                .arg(written[0].second.rows.size() + written[1].second.rows.size()).arg(rows));
        return 1;
    }
    const double bare = bareInsert(*connB, written);
    connB->close();

    say(QStringLiteral("Year opening 2027:            %1 s (%2 activity + %3 billing rows, %4 rows/s)")
            .arg(opening, 0, 'f', 2).arg(s.visitsWritten).arg(s.periodsWritten)
            .arg(qint64(rows / std::max(opening, 0.001))));
    say(QStringLiteral("Bare insert of the same rows into the same tables and indexes: %1 s (%2 rows/s)")
            .arg(bare, 0, 'f', 2).arg(qint64(rows / std::max(bare, 0.001))));
    say(QStringLiteral("Ratio:                        %1 x").arg(opening / std::max(bare, 0.001), 0, 'f', 2));
    vl::bench::printResult(QStringLiteral("year_opening"), rows, opening, bare);
    say(QStringLiteral("Second run (changes %1 rows): %2 s")
            .arg(again.visitsWritten + again.visitsDeleted + again.periodsWritten + again.periodsDeleted)
            .arg(second, 0, 'f', 2));

    if (batch > 1) {
        auto connC = vl::db::connect(params(pathC));
        t.restart();
        const YearOpeningSummary g = OpenYear(*connC, QStringLiteral("2027"), false, {}, QStringLiteral("EVNYIT"), batch);
        const double grouped = t.elapsed() / 1000.0;
        connC->close();
        if (!g.ok() || g.visitsWritten != s.visitsWritten || g.periodsWritten != s.periodsWritten) {
            say(QStringLiteral("Grouped year opening differs: ") + g.lines().join(QStringLiteral("; ")));
            return 1;
        }
        say(QStringLiteral("Year opening, %1 contracts per transaction: %2 s (ratio %3 x)")
                .arg(batch).arg(grouped, 0, 'f', 2).arg(grouped / std::max(bare, 0.001), 0, 'f', 2));
    }
    if (plans) {
        // isql-fb on the same embedded engine set-up (FIREBIRD, FIREBIRD_LOCK are inherited).
        QProcess isql;
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-i"),
                                               QStringLiteral(VL_BENCH_PLANS_SQL), pathA});
        if (!isql.waitForFinished(120000)) {
            say(QStringLiteral("isql-fb did not finish"));
            return 1;
        }
        say(QStringLiteral("Query plans (%1):").arg(QStringLiteral(VL_BENCH_PLANS_SQL)));
        say(QString::fromUtf8(isql.readAll()));
    }
    return 0;
}
