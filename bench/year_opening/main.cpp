// bench_year_opening [--cabins N] [--years N] [--contracts N] [--batch N] [--one-by-one] [--dir DIR] [--plans]
//
// A generated company: N running open-ended contracts (default 2,500) with four
// cabins each (10,000), weekly patterns of one to three visits (a tenth of them
// every second week), a third of the contracts paid in cash (monthly and weekly
// billing), deliveries spread over the year, the current year's schedule and
// billing already generated. Measures the year opening end to end as the
// program runs it (--batch N contracts per transaction, the program's own
// default unless given; --one-by-one also times one contract per
// transaction), then, on identical copies of the database, the bare insert of
// exactly the rows the year opening wrote, in one transaction through the
// client API: into the same tables (the same indexes, this year's rows already
// in them) and into fresh empty tables with the same key and indexes. Prints
// them and their ratios. --plans prints the query plans of the statements in plans.sql (the day
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
double bareInsert(vl::db::Connection& conn, const std::vector<std::pair<QString, Written>>& tables,
                  const QString& prefix = QString()) {
    QElapsedTimer t;
    t.start();
    auto tx = conn.begin();
    for (const auto& [name, w] : tables) {
        const QString table = prefix + name;
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

// Fresh tables beside the real ones (prefix + name), empty, with the same
// columns, key and indexes (expression indexes included).
void makeFreshTables(vl::db::Connection& conn, const QStringList& tables, const QString& prefix) {
    for (const QString& table : tables) {
        const vl::db::RowSet cols = conn.query(QStringLiteral(
            "SELECT TRIM(RF.RDB$FIELD_NAME) N, F.RDB$FIELD_TYPE T, F.RDB$CHARACTER_LENGTH L, F.RDB$FIELD_SUB_TYPE S"
            " FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
            " WHERE RF.RDB$RELATION_NAME = :t ORDER BY RF.RDB$FIELD_POSITION"), {{QStringLiteral("t"), table}});
        QStringList defs;
        for (int r = 0; r < cols.rowCount(); ++r) {
            const int type = int(cols.at(r, 1).toLongLong());
            const QString t = type == 37 ? QStringLiteral("VARCHAR(%1)").arg(cols.at(r, 2).toLongLong())
                              : type == 14 ? QStringLiteral("CHAR(%1)").arg(cols.at(r, 2).toLongLong())
                              : type == 8  ? QStringLiteral("INTEGER")
                              : type == 7  ? QStringLiteral("SMALLINT")
                              : type == 16 ? QStringLiteral("BIGINT")
                              : type == 27 ? QStringLiteral("DOUBLE PRECISION")
                              : type == 261 ? QStringLiteral("BLOB SUB_TYPE %1").arg(cols.at(r, 3).toLongLong())
                                            : QStringLiteral("VARCHAR(100)");
            defs << cols.at(r, 0).toString() + QLatin1Char(' ') + t;
        }
        const vl::db::RowSet idx = conn.query(QStringLiteral(
            "SELECT TRIM(I.RDB$INDEX_NAME), I.RDB$UNIQUE_FLAG, I.RDB$EXPRESSION_SOURCE,"
            " (SELECT LIST(TRIM(S.RDB$FIELD_NAME), ', ') FROM (SELECT S0.RDB$FIELD_NAME FROM RDB$INDEX_SEGMENTS S0"
            "  WHERE S0.RDB$INDEX_NAME = I.RDB$INDEX_NAME ORDER BY S0.RDB$FIELD_POSITION) S),"
            " (SELECT COUNT(*) FROM RDB$RELATION_CONSTRAINTS C WHERE C.RDB$INDEX_NAME = I.RDB$INDEX_NAME"
            "  AND C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY')"
            " FROM RDB$INDICES I WHERE I.RDB$RELATION_NAME = :t"), {{QStringLiteral("t"), table}});
        for (int r = 0; r < idx.rowCount(); ++r)
            if (idx.at(r, 4).toLongLong() > 0)
                defs << QStringLiteral("CONSTRAINT PK_%1%2 PRIMARY KEY (%3)").arg(prefix, table, idx.at(r, 3).toString());
        conn.exec(QStringLiteral("CREATE TABLE %1%2 (%3)").arg(prefix, table, defs.join(QStringLiteral(", "))));
        for (int r = 0; r < idx.rowCount(); ++r) {
            if (idx.at(r, 4).toLongLong() > 0) continue;
            const QString unique = idx.at(r, 1).toLongLong() == 1 ? QStringLiteral("UNIQUE ") : QString();
            const QString what = idx.at(r, 2).isNull() ? QStringLiteral("(%1)").arg(idx.at(r, 3).toString())
                                                       : QStringLiteral("COMPUTED BY ") + idx.at(r, 2).toString().trimmed();
            conn.exec(QStringLiteral("CREATE %1INDEX %2%3 ON %2%4 %5").arg(unique, prefix, idx.at(r, 0).toString(), table, what));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500;
    int batch = YearOpeningGroupDefault;
    bool plans = false, oneByOne = false;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--batch") && i + 1 < args.size()) batch = args[++i].toInt();
        else if (args[i] == QStringLiteral("--plans")) plans = true;
        else if (args[i] == QStringLiteral("--one-by-one")) oneByOne = true;
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    contracts = sizes.contracts(contracts);
    const int years = sizes.historyYears(0);
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString pathA = dir + QStringLiteral("/bench_year_opening.fdb");
    const QString pathB = dir + QStringLiteral("/bench_bare_insert.fdb");
    const QString pathC = dir + QStringLiteral("/bench_year_opening_one_by_one.fdb");
    const QString pathD = dir + QStringLiteral("/bench_fresh_insert.fdb");
    for (const QString& p : {pathA, pathB, pathC, pathD}) QFile::remove(p);

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
    if (!QFile::copy(pathA, pathB) || !QFile::copy(pathA, pathD) || (oneByOne && !QFile::copy(pathA, pathC))) {
        say(QStringLiteral("Cannot copy the database in %1").arg(dir));
        return 1;
    }

    // The year opening as the program runs it (whole contracts, grouped commits).
    auto connA = vl::db::connect(params(pathA));
    t.restart();
    const YearOpeningSummary s = OpenYear(*connA, QStringLiteral("2027"), false, {}, QStringLiteral("EVNYIT"), batch);
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
    const YearOpeningSummary again = OpenYear(*connA, QStringLiteral("2027"), false, {}, QStringLiteral("BENCH"), batch);
    const double second = t.elapsed() / 1000.0;
    connA->close();

    const int rows = s.visitsWritten + s.periodsWritten;
    if (int(written[0].second.rows.size() + written[1].second.rows.size()) != rows) {
        say(QStringLiteral("The rows found (%1) differ from the rows written (%2)")
                .arg(written[0].second.rows.size() + written[1].second.rows.size()).arg(rows));
        return 1;
    }
    // The floors: the same rows bare into the same tables (holding this year's
    // rows and indexes), and into fresh empty tables with the same key and indexes.
    auto connB = vl::db::connect(params(pathB));
    const double bare = bareInsert(*connB, written);
    connB->close();
    auto connD = vl::db::connect(params(pathD));
    makeFreshTables(*connD, {QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ")}, QStringLiteral("UJ_"));
    const double fresh = bareInsert(*connD, written, QStringLiteral("UJ_"));
    connD->close();

    say(QStringLiteral("Year opening 2027, %5 contracts per transaction: %1 s (%2 activity + %3 billing rows, %4 rows/s)")
            .arg(opening, 0, 'f', 2).arg(s.visitsWritten).arg(s.periodsWritten)
            .arg(qint64(rows / std::max(opening, 0.001))).arg(batch));
    say(QStringLiteral("Bare insert of the same rows into the same tables and indexes: %1 s (%2 rows/s)")
            .arg(bare, 0, 'f', 2).arg(qint64(rows / std::max(bare, 0.001))));
    say(QStringLiteral("Bare insert of the same rows into fresh tables with the same key and indexes: %1 s (%2 rows/s)")
            .arg(fresh, 0, 'f', 2).arg(qint64(rows / std::max(fresh, 0.001))));
    say(QStringLiteral("Ratio:                        %1 x the same tables, %2 x fresh tables")
            .arg(opening / std::max(bare, 0.001), 0, 'f', 2).arg(opening / std::max(fresh, 0.001), 0, 'f', 2));
    vl::bench::printResult(QStringLiteral("year_opening"), rows, opening, bare);
    say(QStringLiteral("Second run (changes %1 rows): %2 s")
            .arg(again.visitsWritten + again.visitsDeleted + again.periodsWritten + again.periodsDeleted)
            .arg(second, 0, 'f', 2));

    if (oneByOne) {
        auto connC = vl::db::connect(params(pathC));
        t.restart();
        const YearOpeningSummary g = OpenYear(*connC, QStringLiteral("2027"), false, {}, QStringLiteral("EVNYIT"), 1);
        const double single = t.elapsed() / 1000.0;
        connC->close();
        if (!g.ok() || g.visitsWritten != s.visitsWritten || g.periodsWritten != s.periodsWritten) {
            say(QStringLiteral("The year opening one contract per transaction differs: ") + g.lines().join(QStringLiteral("; ")));
            return 1;
        }
        say(QStringLiteral("Year opening, one contract per transaction: %1 s (ratio %2 x)")
                .arg(single, 0, 'f', 2).arg(single / std::max(bare, 0.001), 0, 'f', 2));
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
