// bench_day_sheet [--contracts N] [--years N] [--runs N] [--dir DIR] [--plans]
//
// The generated company of the year-opening benchmark (2,500 contracts, 10,000
// cabins, the year's visits and cash billing), its contracts spread over 1,000
// customers with two sites each and seven drivers, with --years N years of
// visits and billing behind (done and paid; none by default). Finds the
// day of the current year (2026) with the most visits, checks that the day sheet's source statement
// gives exactly the rows of the reference statement below (every row and
// column, in the same order; a difference fails the bench), and measures, best
// of --runs (default 5) after one warm-up:
//   - the day sheet as the form loads it: LoadDaySheet with the form's filter
//     (read, fold, write the work table, open the visible list once, build
//     the summary);
//   - its source statement alone (DaySheetSourceRows), every value read once,
//     and the reference statement the same way;
//   - the floor: the cheapest bare client-API read of the rows the sheet
//     shows, the day's activity rows by their date plus the open billing
//     periods of the contracts visited that day by their key, no joins.
// Prints the times and the sheet's ratio to the floor.
//
// With --dir DIR the database is kept in DIR (bench_day_sheet_<N>_<years>.fdb)
// and reused by the next run of the same size. With --plans the plans of the
// reference and of the source statement are printed by isql-fb (Debian
// firebird3.0-utils) against that file after the runs. By hand:
//   isql-fb -q DIR/bench_day_sheet_2500_1.fdb
//   SQL> SET PLANONLY ON;
//   SQL> <the statement, :datum written as '2026.11.23'>;
#include "../common/BenchArgs.h"
#include "../common/SameRows.h"
#include "GeneratedCompany.h"
#include "db/Database.h"
#include "operations/DaySheet.h"
#include "operations/OperationsSchema.h"
#include "rental/Numbering.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The day sheet's source statement as it was before it reached the billing
// rows from the day's contracts: the billing rows by their dates and a
// correlated EXISTS per row. The rows of the sheet are checked against it.
const QString kReferenceSql = QStringLiteral(
    "SELECT COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " U.NEV UGYFEL, F.UGYFELCIM, SZT.SORREND, T.TEVKOD, SZC.NEV TIPUS, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD,"
    " T.TEVALLAPOT, SZT.NEV TEVNEV, SZS.NEV SOFOR, T.BIZONYLAT, T.VERZIO, T.TETELSOR, T.SORSZAM, T.DATUM,"
    " T.DATUM2, T.TEVSORSZAM, T.MENNYISEG, T.NETTOAR, CAST(0 AS BIGINT) BRUTTO, T.KEPZETT, K.ARUKOD,"
    " ST.NEV STATUS, ST.MODOSITHATO, ST.SZIN, UC.KOMMENT CIMKOMMENT, F.UGYFELKOD, SZT.ESETI, S.BERMENNY,"
    " S.BERMEGYSEG, T.KOMMENT, FM.KP, T.EREDETINAP, T.FORRAS, T.FORRASSOFOR, FSZ.NEV FORRASSOFORNEV"
    " FROM FORGTEV T"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = T.TEVKOD"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
    " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO AND S.TETELSOR = T.TETELSOR"
    " JOIN SZ_ARUCSOP SZC ON SZC.KOD = S.ARUCSOPORT"
    " JOIN FORGKABIN K ON K.BIZONYLAT = T.BIZONYLAT AND K.VERZIO = T.VERZIO AND K.TETELSOR = T.TETELSOR"
    "  AND K.SORSZAM = T.SORSZAM"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = T.SOFORKOD"
    " LEFT JOIN SZ_SOFOR FSZ ON FSZ.KOD = T.FORRASSOFOR"
    " WHERE T.DATUM = :datum AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " UNION ALL "
    "SELECT COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " U.NEV UGYFEL, F.UGYFELCIM, SZT.SORREND, 'FIZ' TEVKOD, '' TIPUS, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD,"
    " T.TEVALLAPOT, SZT.NEV TEVNEV, SZS.NEV SOFOR, T.BIZONYLAT, T.VERZIO, 0 TETELSOR, 0 SORSZAM, T.DATUM,"
    " T.DATUM2, T.TEVSORSZAM, 1 MENNYISEG, T.NETTO NETTOAR, T.BRUTTO, 'K' KEPZETT, '*' ARUKOD,"
    " ST.NEV STATUS, ST.MODOSITHATO, ST.SZIN, UC.KOMMENT CIMKOMMENT, F.UGYFELKOD, SZT.ESETI, 0 BERMENNY,"
    " ' ' BERMEGYSEG, T.KOMMENT, 'I' KP, CAST(NULL AS VARCHAR(10)) EREDETINAP, T.FORRAS, T.FORRASSOFOR,"
    " FSZ.NEV FORRASSOFORNEV"
    " FROM FORGFIZ T"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = 'FIZ'"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = T.SOFORKOD"
    " LEFT JOIN SZ_SOFOR FSZ ON FSZ.KOD = T.FORRASSOFOR"
    " WHERE (T.DATUM = :datum OR (T.DATUM < :datum AND ST.MODOSITHATO IN ('I', 'i')))"
    " AND EXISTS (SELECT 1 FROM FORGTEV FT JOIN SZ_STATUST FS ON FS.KOD = FT.TEVALLAPOT"
    "  WHERE FT.DATUM = :datum AND FT.BIZONYLAT = T.BIZONYLAT AND FS.MODOSITHATO IN ('I', 'i', 'N'))"
    " AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " ORDER BY 1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 14, 15, 17");

// The floor: the rows the sheet shows, read bare. The day's activities by the
// date index; the billing periods of the contracts visited that day by the
// primary key, those of the day and the earlier open ones.
const QString kFloorActivities = QStringLiteral(
    "SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, DATUM2, TEVKOD, ARUKOD, TEVALLAPOT, SOFORKOD,"
    " NETTOAR, MENNYISEG, KOMMENT, KEPZETT FROM FORGTEV WHERE DATUM = :datum");
const QString kFloorBilling = QStringLiteral(
    "SELECT P.BIZONYLAT, P.VERZIO, P.DATUM, P.TEVSORSZAM, P.DATUM2, P.NETTO, P.BRUTTO, P.TEVALLAPOT, P.SOFORKOD,"
    " P.KOMMENT FROM (SELECT DISTINCT BIZONYLAT FROM FORGTEV WHERE DATUM = :datum) D"
    " JOIN FORGFIZ P ON P.BIZONYLAT = D.BIZONYLAT"
    " WHERE P.DATUM||'' = :datum OR (P.DATUM||'' < :datum"
    "  AND P.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i')))");

qint64 readAll(const vl::db::RowSet& rs, qint64* values) {
    qint64 c = 0;
    for (int i = 0; i < rs.rowCount(); ++i)
        for (const QVariant& v : rs.row(i)) c += v.isNull() ? 0 : 1;
    if (values) *values += c;
    return rs.rowCount();
}

using vl::bench::sameRows;

void printPlans(const QString& path, const QString& day) {
    const QString isql = QStandardPaths::findExecutable(QStringLiteral("isql-fb"));
    if (isql.isEmpty()) {
        say(QStringLiteral("Plans: isql-fb not found (Debian firebird3.0-utils)"));
        return;
    }
    const QString literal = QLatin1Char('\'') + day + QLatin1Char('\'');
    const QList<QPair<QString, QString>> stmts{
        {QStringLiteral("Plan before (reference statement)"), kReferenceSql},
        {QStringLiteral("Plans after (DaySheetSourceRows, its reads)"),
         vl::operations::DaySheetSourceStatements().join(QStringLiteral(";\n"))}};
    for (const auto& [title, sql] : stmts) {
        QString text = sql;
        text.replace(QStringLiteral(":datum"), literal);
        QProcess p;
        p.start(isql, {QStringLiteral("-q"), path});
        p.waitForStarted();
        p.write(("SET PLANONLY ON;\n" + text + ";\nQUIT;\n").toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(60000);
        say(title + QStringLiteral(":"));
        say(QString::fromUtf8(p.readAllStandardOutput()).trimmed() + QString::fromUtf8(p.readAllStandardError()).trimmed());
    }
}

double best(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.first();
}
double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500, runs = 5, years = 0;
    bool plans = false;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--cabins") && i + 1 < args.size()) contracts = std::max(1, args[++i].toInt() / 4);
        else if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--years") && i + 1 < args.size()) years = std::max(0, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--plans")) plans = true;
    }
    QTemporaryDir tmp;
    const QString path = (dirArg.isEmpty() ? tmp.path() : dirArg) +
                         QStringLiteral("/bench_day_sheet_%1_%2.fdb").arg(contracts).arg(years);
    QElapsedTimer t;
    t.start();
    vl::operations::joinProgramSchema(); // the day sheet's template
    std::unique_ptr<vl::db::Connection> conn;
    if (!dirArg.isEmpty() && QFile::exists(path)) {
        vl::db::ConnectParams p;
        p.database = path;
        conn = vl::db::connect(p);
        vl::rental::Schema::upgrade(*conn);   // this build's steps on a kept file
        say(QStringLiteral("Company reused from %1").arg(path));
    } else {
        QFile::remove(path);
        conn = vl::bench::createGeneratedDatabase(path);
        vl::bench::generateCompany(*conn, contracts);
        vl::bench::generateCurrentYear(*conn, contracts);
        vl::bench::generateCustomers(*conn, contracts);
        vl::bench::generateHistory(*conn, years);
    }
    vl::rental::Td::LoadStartupValues(*conn);
    const auto busiest = conn->query(QStringLiteral(
        "SELECT FIRST 1 DATUM, COUNT(*) FROM FORGTEV WHERE DATUM >= '2026' GROUP BY DATUM ORDER BY 2 DESC, 1"));
    const QString day = busiest.at(0, 0).toString();
    const auto sizes = conn->query(QStringLiteral(
        "SELECT (SELECT COUNT(*) FROM FORGTEV), (SELECT COUNT(*) FROM FORGFIZ) FROM RDB$DATABASE"));
    say(QStringLiteral("Company: %1 contracts, %2 years behind, %3 activities, %4 billing periods, ready in %5 s;"
                       " busiest day %6 with %7 activities")
            .arg(contracts).arg(years).arg(sizes.at(0, 0).toLongLong()).arg(sizes.at(0, 1).toLongLong())
            .arg(t.elapsed() / 1000.0, 0, 'f', 1).arg(day).arg(busiest.at(0, 1).toLongLong()));

    // The source statement gives exactly the reference's rows, in its order.
    {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        const vl::db::RowSet got = vl::operations::DaySheetSourceRows(*tx, day);
        const vl::db::RowSet want = tx->query(kReferenceSql, {{QStringLiteral("datum"), day}});
        tx->commit();
        if (!sameRows(got, want)) {
            say(QStringLiteral("FAILED: the day sheet's source rows differ from the reference statement's"));
            return 1;
        }
        say(QStringLiteral("Source rows equal to the reference statement's: %1 rows x %2 columns")
                .arg(got.rowCount()).arg(got.columnCount()));
    }

    vl::shell::Session session;
    session.userCode = QStringLiteral("BENCH");
    session.businessYear = 2026;
    vl::operations::DaySheet sheet(*conn, session, vl::rental::Td::values().VatFactor);
    const vl::db::Params dp{{QStringLiteral("datum"), day}};
    QList<double> sheetTimes, foldTimes, sourceTimes, referenceTimes, floorTimes;
    qint64 sourceRows = 0, cells = 0, floorRows = 0;
    for (int r = 0; r <= runs; ++r) {
        t.restart();
        // As the form loads a day: with its filter, the list read once.
        sheet.LoadDaySheet(day, vl::operations::DaySheetFilter());
        const double s = t.nsecsElapsed() / 1e6;

        t.restart();
        qint64 c = 0, n = 0;
        double b = 0, fold = 0;
        {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            const vl::db::RowSet rs = vl::operations::DaySheetSourceRows(*tx, day);
            n = readAll(rs, &c);
            tx->commit();
            b = t.nsecsElapsed() / 1e6;
            t.restart();
            vl::operations::FoldDaySheet(rs, vl::rental::Td::values().VatFactor);
            fold = t.nsecsElapsed() / 1e6;
        }

        t.restart();
        {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            readAll(tx->query(kReferenceSql, dp), nullptr);
            tx->commit();
        }
        const double ref = t.nsecsElapsed() / 1e6;

        t.restart();
        qint64 f = 0;
        {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            f = readAll(tx->query(kFloorActivities, dp), nullptr);
            f += readAll(tx->query(kFloorBilling, dp), nullptr);
            tx->commit();
        }
        const double fl = t.nsecsElapsed() / 1e6;
        if (r == 0) continue; // warm-up
        sheetTimes << s;
        sourceTimes << b;
        foldTimes << fold;
        referenceTimes << ref;
        floorTimes << fl;
        sourceRows = n;
        cells = c;
        floorRows = f;
    }
    say(QStringLiteral("Source rows: %1 (%2 values), floor rows: %3, sheet lines: %4, summary: %5")
            .arg(sourceRows).arg(cells).arg(floorRows).arg(sheet.lines().size()).arg(sheet.summaryText()));
    say(QStringLiteral("LoadDaySheet with the form's filter: %1 ms (best of %2, median %3 ms)")
            .arg(best(sheetTimes), 0, 'f', 1).arg(runs).arg(median(sheetTimes), 0, 'f', 1));
    say(QStringLiteral("FoldDaySheet over the source rows alone: %1 ms (median %2 ms)")
            .arg(best(foldTimes), 0, 'f', 1).arg(median(foldTimes), 0, 'f', 1));
    say(QStringLiteral("Source statement (DaySheetSourceRows): %1 ms (best of %2, median %3 ms)")
            .arg(best(sourceTimes), 0, 'f', 1).arg(runs).arg(median(sourceTimes), 0, 'f', 1));
    say(QStringLiteral("Reference statement (the source as it was): %1 ms (best of %2, median %3 ms)")
            .arg(best(referenceTimes), 0, 'f', 1).arg(runs).arg(median(referenceTimes), 0, 'f', 1));
    say(QStringLiteral("Floor, bare reads of the day's activities and its contracts' open billing: %1 ms (best of %2,"
                       " median %3 ms)")
            .arg(best(floorTimes), 0, 'f', 1).arg(runs).arg(median(floorTimes), 0, 'f', 1));
    say(QStringLiteral("Ratio of the sheet to the floor: %1x (best), %2x (median)")
            .arg(best(sheetTimes) / best(floorTimes), 0, 'f', 2)
            .arg(median(sheetTimes) / median(floorTimes), 0, 'f', 2));
    vl::bench::printResult(QStringLiteral("day_sheet"), sheet.lines().size(), best(sheetTimes) / 1000.0,
                           best(floorTimes) / 1000.0);
    conn->close();
    if (plans) printPlans(path, day);
    return 0;
}
