// bench_year_opening [--contracts N] [--batch N] [--dir DIR] [--plans]
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

// Headers, lines and items in one transaction.
void generateCompany(vl::db::Connection& conn, int contracts) {
    std::mt19937 rnd(20261209);
    const char* const patterns[] = {"1000000", "0010000", "0000100", "1000100", "0100010", "1010000",
                                    "0101000", "1010100", "0101010", "2000000", "1001000", "0000011"};
    auto tx = conn.begin();
    auto fej = tx->prepare(QStringLiteral(
        "INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD, UGYFELCIM)"
        " VALUES (:b, 1, 'I', 'FO', 'HT', :fizmod, :berkezd, '1', '1')"));
    auto sor = tx->prepare(QStringLiteral(
        "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, BERMENNY, BERMEGYSEG,"
        " NETTOAR, KISZALL, HKSZCSPSZV, PERIODUS, SOFORKOD, KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6,"
        " KARBAR7) VALUES (:b, 1, :t, 'ALAP', :menny, 0, 1, :unit, :ar, :kisz, :minta, :per, :sofor, 4500, 4500,"
        " 4500, 4500, 4500, 6000, 6000)"));
    auto kab = tx->prepare(QStringLiteral(
        "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, HKSZCSPSZV, PERIODUS, EGYEDI,"
        " SOFORKOD, KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7) VALUES (:b, 1, :t, :s, :aru,"
        " :kisz, :minta, :per, 'N', '', 4500, 4500, 4500, 4500, 4500, 6000, 6000)"));
    int cabin = 100000;
    for (int b = 1; b <= contracts; ++b) {
        const bool cash = b % 3 == 0;
        const QDate start = QDate(2026, 1, 5).addDays(int(rnd() % 320));
        const QString kisz = start.toString(QStringLiteral("yyyy.MM.dd"));
        fej->bind(QStringLiteral("b"), b);
        fej->bind(QStringLiteral("fizmod"), cash ? QStringLiteral("KP") : QStringLiteral("ATU"));
        fej->bind(QStringLiteral("berkezd"), kisz);
        fej->execute();
        // Four cabins in one or two lines.
        const int split = int(rnd() % 4);   // 0: 4; 1: 2+2; 2: 3+1; 3: 1+3
        const int counts[4][2] = {{4, 0}, {2, 2}, {3, 1}, {1, 3}};
        for (int t = 1; t <= 2; ++t) {
            const int n = counts[split][t - 1];
            if (n == 0) continue;
            const QString minta = QString::fromLatin1(patterns[rnd() % 12]);
            const int per = rnd() % 10 == 0 ? 2 : 1;
            sor->bind(QStringLiteral("b"), b);
            sor->bind(QStringLiteral("t"), t);
            sor->bind(QStringLiteral("menny"), n);
            sor->bind(QStringLiteral("unit"), cash && b % 2 == 0 ? QStringLiteral("Hét") : QStringLiteral("Hó"));
            sor->bind(QStringLiteral("ar"), cash && b % 2 == 0 ? 11000 : 40000);
            sor->bind(QStringLiteral("kisz"), kisz);
            sor->bind(QStringLiteral("minta"), minta);
            sor->bind(QStringLiteral("per"), per);
            sor->bind(QStringLiteral("sofor"), QStringLiteral("S%1").arg(b % 7));
            sor->execute();
            for (int s = 1; s <= n; ++s) {
                kab->bind(QStringLiteral("b"), b);
                kab->bind(QStringLiteral("t"), t);
                kab->bind(QStringLiteral("s"), s);
                kab->bind(QStringLiteral("aru"), QString::number(++cabin));
                kab->bind(QStringLiteral("kisz"), kisz);
                kab->bind(QStringLiteral("minta"), minta);
                kab->bind(QStringLiteral("per"), per);
                kab->execute();
            }
        }
    }
    tx->commit();
}

// The current year's rows, as the contract form and the orders workspace leave them.
void generateCurrentYear(vl::db::Connection& conn, int contracts) {
    auto tx = conn.begin();
    const GeneratorContext ctx = GeneratorContext::load(*tx, QStringLiteral("BENCH"));
    for (int b = 1; b <= contracts; ++b) {
        for (const auto& it : LoadMaintenanceItems(*tx, RentalTables::stored(), b, 1)) {
            ScheduleOptions o;
            o.firstDay = gen::toText(gen::toDate(it.kiszall).addDays(1));
            o.lastDay = QStringLiteral("2026.12.31");
            GenerateMaintenanceSchedule(*tx, ctx, QStringLiteral("FORGTEV"), {it}, o);
        }
        if (b % 3 == 0) GenerateBilling(*tx, ctx, b, 1, QString(), QStringLiteral("2026.12.31"));
    }
    tx->commit();
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
        const auto rs = conn->query(QStringLiteral("SELECT (SELECT COUNT(*) FROM FORGKABIN), (SELECT COUNT(*) FROM FORGTEV),"
                                                   " (SELECT COUNT(*) FROM FORGFIZ) FROM RDB$DATABASE"));
        say(QStringLiteral("Company: %1 contracts, %2 cabins, %3 activities and %4 billing periods of 2026 (set up in %5 s)")
                .arg(contracts).arg(rs.at(0, 0).toLongLong()).arg(rs.at(0, 1).toLongLong())
                .arg(rs.at(0, 2).toLongLong()).arg(t.elapsed() / 1000.0, 0, 'f', 1));
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
