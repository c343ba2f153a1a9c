// bench_orders_workspace [--cabins N] [--years N] [--contracts N] [--dir DIR]
//
// The year-opening bench's company (N contracts, 2,500 by default, with this
// year's schedule and billing) plus one customer of 200 cash contracts at one
// site, each of one to three lines of up to four cabins, with a year of visits
// and billing periods. Measures:
//  1. opening that customer: the four lists of the workspace (summary and
//     itemised lines, products, payments) in one read transaction, against a
//     bare SELECT of the same rows through the client API (best of five each);
//  2. a pattern change on a line of 20 cabins (one store: line, items,
//     maintenance from today, billing), against the bare insert of exactly the
//     rows that store wrote, into an identical copy of the database.
// Prints both figures (best and median of five) and their ratios. The bare
// SELECT returns the same rows and columns as the four lists (the plain
// statements, dictionaries joined, no order); the bench first checks that the
// lists give exactly the rows of those statements in the server's order.
// With --dir DIR the generated company is kept in DIR and reused. The form
// scrolls the lines over the product list it already holds (no statement per
// row). --cabins N: N / 4 contracts of the office-like customers around the
// measured one; --years N: N years of done history behind 2026 (none by
// default). Prints the RESULT line of "orders_workspace" (BenchArgs.h): the
// four lists against the bare SELECT, best of five.
#include "GeneratedCompany.h"
#include "db/Database.h"
#include "rental/OrdersWorkspace.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

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

const QString kCustomer = QStringLiteral("BENCH");
const QString kSite = QStringLiteral("BENCHS1");

// The customer's 200 cash contracts, numbered after the company's.
void generateCustomer(vl::db::Connection& conn, int first, int count) {
    std::mt19937 rnd(20261210);
    const char* const patterns[] = {"1000000", "0010000", "1000100", "0101000", "1010100"};
    auto tx = conn.begin();
    tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, AKTIV, IRSZAM, VAROS, UTCA, TELEFON)"
                            " VALUES (:k, 'Mérő Építő Kft.', 'KP', 'I', '6720', 'Szeged', 'Kárász utca 1.', '+36 1 555')"),
             {{QStringLiteral("k"), kCustomer}});
    tx->exec(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON)"
                            " VALUES (:s, :k, '6720', 'Szeged', NULL, 'Nagy Ödön', '+36 30 555')"),
             {{QStringLiteral("s"), kSite}, {QStringLiteral("k"), kCustomer}});
    auto fej = tx->prepare(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD,"
                                          " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', 'KP', :k, :u, :c)"));
    auto sor = tx->prepare(QStringLiteral(
        "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, M_EGYSEG, BERMENNY,"
        " BERMEGYSEG, NETTOAR, KISZALL, HKSZCSPSZV, PERIODUS, SOFORKOD, KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5,"
        " KARBAR6, KARBAR7) VALUES (:b, 1, :t, 'ALAP', :n, 0, 'db', 1, 'Hó', 40000, :k, :m, 1, 'S1', 4500, 4500,"
        " 4500, 4500, 4500, 6000, 6000)"));
    auto kab = tx->prepare(QStringLiteral(
        "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, HKSZCSPSZV, PERIODUS, EGYEDI,"
        " KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7) VALUES (:b, 1, :t, :s, :a, :k, :m, 1, 'N',"
        " 4500, 4500, 4500, 4500, 4500, 6000, 6000)"));
    int cabin = 900000;
    for (int b = first; b < first + count; ++b) {
        const QString k = QDate(2026, 1, 5).addDays(int(rnd() % 300)).toString(QStringLiteral("yyyy.MM.dd"));
        fej->bind(QStringLiteral("b"), b);
        fej->bind(QStringLiteral("k"), k);
        fej->bind(QStringLiteral("u"), kCustomer);
        fej->bind(QStringLiteral("c"), kSite);
        fej->execute();
        const int lines = 1 + int(rnd() % 3);
        for (int t = 1; t <= lines; ++t) {
            const int n = 1 + int(rnd() % 4);
            const QString m = QString::fromLatin1(patterns[rnd() % 5]);
            for (const auto& [name, value] : {std::pair<QString, QVariant>{QStringLiteral("b"), b}, {QStringLiteral("t"), t},
                                              {QStringLiteral("n"), n}, {QStringLiteral("k"), k}, {QStringLiteral("m"), m}})
                sor->bind(name, value);
            sor->execute();
            for (int s = 1; s <= n; ++s) {
                for (const auto& [name, value] :
                     {std::pair<QString, QVariant>{QStringLiteral("b"), b}, {QStringLiteral("t"), t}, {QStringLiteral("s"), s},
                      {QStringLiteral("a"), QString::number(++cabin)}, {QStringLiteral("k"), k}, {QStringLiteral("m"), m}})
                    kab->bind(name, value);
                kab->execute();
            }
        }
    }
    const GeneratorContext ctx = GeneratorContext::load(*tx, QStringLiteral("BENCH"));
    for (int b = first; b < first + count; ++b) {
        for (const auto& it : LoadMaintenanceItems(*tx, RentalTables::stored(), b, 1)) {
            ScheduleOptions o;
            o.firstDay = gen::toText(gen::toDate(it.kiszall).addDays(1));
            o.lastDay = QStringLiteral("2026.12.31");
            GenerateMaintenanceSchedule(*tx, ctx, QStringLiteral("FORGTEV"), {it}, o);
        }
        GenerateBilling(*tx, ctx, b, 1, QString(), QStringLiteral("2026.12.31"));
    }
    tx->commit();
}

struct Timing {
    double best = 0;
    double median = 0;
};

template <class F>
Timing timeOf(int n, F&& f) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

QString fmt(const Timing& t) {
    return QStringLiteral("best %1 ms, median %2 ms").arg(t.best, 0, 'f', 1).arg(t.median, 0, 'f', 1);
}

// The four lists as plain statements: the same rows and columns the workspace
// shows, the dictionaries joined. `sorted` adds the lists' order (the server
// sorts): those are the rows the workspace must give, in that order.
const char* const kAddr = "COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ', ' || COALESCE(C.UTCA, '')";

QStringList plainLists(bool sorted) {
    const QString a = QString::fromLatin1(kAddr);
    return {
        QStringLiteral("SELECT CS.NEV CSOPORTNEV, SUM(S.MENNYISEG - S.VMENNYISEG) BERLETBEN FROM FORGFEJ F"
                       " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0 AND S.VERZIO = F.VERZIO"
                       " JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
                       " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :k GROUP BY CS.NEV")
            + (sorted ? QStringLiteral(" ORDER BY 1") : QString()),
        QStringLiteral("SELECT F.UGYFELCIM, BM.NEV BERMOD, BM.KOTNAP, CS.NEV CSOPORTNEV,"
                       " S.MENNYISEG - S.VMENNYISEG BERLETBEN, S.*, %1 CIM, F.FIZMOD, FM.KP,"
                       " SR.NEV STATUSNEV, SR.MODOSITHATO, F.RDB$RECORD_VERSION RV FROM FORGFEJ F"
                       " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0 AND S.VERZIO = F.VERZIO"
                       " LEFT JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
                       " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
                       " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
                       " LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD"
                       " LEFT JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
                       " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :k").arg(a)
            + (sorted ? QStringLiteral(" ORDER BY 1, 2, S.BIZONYLAT, S.TETELSOR") : QString()),
        QStringLiteral("SELECT F.UGYFELCIM, CS.NEV CSOPORTNEV, F.BIZONYLAT, F.VERZIO, H.MEGNEVEZES,"
                       " FM.NEV FIZMOD, %1 CIM, C.KOD, C.NEV NEV, C.IRSZAM, C.VAROS, C.UTCA, C.SZEMELY,"
                       " C.TELEFON, C.KOMMENT, S.ARUCSOPORT, S.PERIODUS, S.SOFORKOD, S.NETTOAR,"
                       " K.SOFORKOD SOFORKAB, K.KARBAR1, K.KARBAR2, K.KARBAR3, K.KARBAR4, K.KARBAR5,"
                       " K.KARBAR6, K.KARBAR7, K.PERIODUS PERIODUSKAB, K.EGYEDI, K.KOMMENT KOMMENTKAB,"
                       " CAST(S.BERMENNY AS VARCHAR(4)) || ' ' || COALESCE(S.BERMEGYSEG, '') BERMEGYSEG,"
                       " K.HKSZCSPSZV, K.ARUKOD, K.KISZALL, K.VSZALL, K.TETELSOR, K.VSZALLT, K.SORSZAM"
                       " FROM FORGFEJ F JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0 AND S.VERZIO = F.VERZIO"
                       " JOIN FORGKABIN K ON K.BIZONYLAT = S.BIZONYLAT AND K.VERZIO = S.VERZIO"
                       " AND K.TETELSOR = S.TETELSOR"
                       " LEFT JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
                       " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
                       " LEFT JOIN HKSZCSPSZV H ON H.KOD = K.HKSZCSPSZV"
                       " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
                       " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :k").arg(a)
            + (sorted ? QStringLiteral(" ORDER BY 1, 2, K.BIZONYLAT, K.TETELSOR, K.SORSZAM, K.KISZALL") : QString()),
        QStringLiteral("SELECT T.*, S.NEV ALLAPOT, %1 CIM FROM FORGFIZ T"
                       " JOIN FORGFEJ F ON F.BIZONYLAT + 0 = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
                       " LEFT JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                       " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
                       " WHERE F.UGYFELKOD = :k").arg(a)
            + (sorted ? QStringLiteral(" ORDER BY T.DATUM, T.BIZONYLAT") : QString()),
    };
}

// The same rows with only their own tables' columns (codes, no names, no
// address, no order): what reading the rows costs at the least.
QStringList rawLists() {
    const QString from = QStringLiteral(" FROM FORGFEJ F JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0 AND S.VERZIO = F.VERZIO");
    const QString where = QStringLiteral(" WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :k");
    return {
        QStringLiteral("SELECT S.ARUCSOPORT, SUM(S.MENNYISEG - S.VMENNYISEG)") + from + where + QStringLiteral(" GROUP BY 1"),
        QStringLiteral("SELECT F.UGYFELCIM, F.BERMOD, F.FIZMOD, F.STATUS, S.*") + from + where,
        QStringLiteral("SELECT F.UGYFELCIM, F.FIZMOD, S.ARUCSOPORT, S.PERIODUS, S.SOFORKOD, S.NETTOAR, S.BERMENNY,"
                       " S.BERMEGYSEG, K.*") + from +
            QStringLiteral(" JOIN FORGKABIN K ON K.BIZONYLAT = S.BIZONYLAT AND K.VERZIO = S.VERZIO"
                           " AND K.TETELSOR = S.TETELSOR") + where,
        QStringLiteral("SELECT F.UGYFELCIM, T.* FROM FORGFIZ T JOIN FORGFEJ F ON F.BIZONYLAT + 0 = T.BIZONYLAT"
                       " AND F.VERZIO = T.VERZIO WHERE F.UGYFELKOD = :k"),
    };
}

// Two lists hold the same columns and rows, in the same order.
bool same(const vl::db::RowSet& a, const vl::db::RowSet& b) {
    if (a.rowCount() != b.rowCount() || a.columnCount() != b.columnCount()) return false;
    for (int c = 0; c < a.columnCount(); ++c)
        if (a.columns().at(c).name != b.columns().at(c).name) return false;
    for (int r = 0; r < a.rowCount(); ++r)
        if (a.row(r) != b.row(r)) return false;
    return true;
}

struct Written {
    QStringList columns;
    std::vector<QVariantList> rows;
};

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    contracts = sizes.contracts(contracts);
    const int years = sizes.historyYears(0);
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString pathA = dir + QStringLiteral("/bench_orders_ws.fdb");
    const QString pathB = dir + QStringLiteral("/bench_orders_ws_bare.fdb");
    QFile::remove(pathA);
    QFile::remove(pathB);

    QElapsedTimer t;
    t.start();
    const int first = contracts + 1;
    const qint64 patternContract = first + 200;
    // With --dir the generated company is kept there and reused by the next run.
    const QString seed = dir + QStringLiteral("/bench_orders_ws_seed.fdb");
    if (!dirArg.isEmpty() && QFile::exists(seed)) {
        if (!QFile::copy(seed, pathA)) {
            say(QStringLiteral("Cannot copy the database in %1").arg(dir));
            return 1;
        }
        say(QStringLiteral("Company reused from %1").arg(seed));
    } else {
        auto conn = vl::db::createFirebirdDatabase(params(pathA));
        Schema::upgrade(*conn);
        {
            auto tx = conn->begin();
            Seeds::apply(*tx, QStringLiteral("2026"));
            tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')"));
            tx->commit();
        }
        vl::bench::generateCompany(*conn, contracts);
        vl::bench::generateCurrentYear(*conn, contracts);
        if (sizes.sized()) vl::bench::generateCustomers(*conn, contracts, vl::bench::CustomerSpread::Office);
        generateCustomer(*conn, first, 200);
        vl::bench::generateHistory(*conn, years);
        // The contract of the 20-cabin line, stored as the workspace stores a new line.
        conn->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD,"
                                  " UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', 'KP', '2026.03.02', 'MINTA', 'MINTAS')"),
                   {{QStringLiteral("b"), patternContract}});
        LineStoreRequest rq;
        rq.customerKey = QStringLiteral("MINTA");
        rq.siteKey = QStringLiteral("MINTAS");
        rq.today = QStringLiteral("2026.02.20");
        rq.input.arucsoport = QStringLiteral("ALAP");
        rq.input.mennyiseg = QStringLiteral("20");
        rq.input.bermenny = QStringLiteral("1");
        rq.input.bermegyseg = QStringLiteral("Hó");
        rq.input.nettoar = QStringLiteral("40000");
        rq.input.kiszall = QStringLiteral("2026.03.02");
        rq.input.counts[0] = QStringLiteral("1");
        rq.input.prices[0] = QStringLiteral("4500");
        rq.input.periodus = QStringLiteral("1");
        vl::shell::Session s;
        s.userCode = QStringLiteral("BENCH");
        const LineStoreOutcome r = OrdersWorkspace::storeLine(*conn, s, rq).answerAll(true);
        if (!r.ok) {
            say(QStringLiteral("The 20-cabin line was not stored: ") + r.messages.join(QStringLiteral("; ")));
            return 1;
        }
        const auto rs = conn->query(QStringLiteral("SELECT (SELECT COUNT(*) FROM FORGKABIN), (SELECT COUNT(*) FROM FORGTEV),"
                                                   " (SELECT COUNT(*) FROM FORGFIZ) FROM RDB$DATABASE"));
        say(QStringLiteral("Company: %1 + 201 contracts, %2 cabins, %3 activities, %4 billing periods (set up in %5 s)")
                .arg(contracts).arg(rs.at(0, 0).toLongLong()).arg(rs.at(0, 1).toLongLong())
                .arg(rs.at(0, 2).toLongLong()).arg(t.elapsed() / 1000.0, 0, 'f', 1));
        conn->close();
        if (!dirArg.isEmpty()) QFile::copy(pathA, seed);
    }
    if (!QFile::copy(pathA, pathB)) {
        say(QStringLiteral("Cannot copy the database in %1").arg(dir));
        return 1;
    }

    // ---- 1. opening the customer
    auto conn = vl::db::connect(params(pathA));
    const OrderFilter f{kCustomer, QString(), QString()};
    const vl::db::Params kp{{QStringLiteral("k"), kCustomer}};
    const auto workspaceList = [&](vl::db::Transaction& tx, int l) {
        if (l == 0) return OrdersWorkspace::SummaryLines(tx, f);
        if (l == 1) return OrdersWorkspace::Lines(tx, f);
        if (l == 2) return OrdersWorkspace::Products(tx, f);
        return OrdersWorkspace::Payments(tx, f);
    };
    const QStringList bareSql = plainLists(false), sortedSql = plainLists(true), rawSql = rawLists();
    // The workspace gives exactly the rows of the plain statements, in the lists' order.
    {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        for (int l = 0; l < 4; ++l) {
            if (!same(workspaceList(*tx, l), tx->query(sortedSql.at(l), kp))) {
                say(QStringLiteral("List %1 differs from its plain statement").arg(l));
                return 1;
            }
        }
        tx->commit();
    }
    // Warm the cache first, then five runs of each.
    int rows = 0, bareRows = 0;
    const auto openAll = [&] {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        rows = 0;
        for (int l = 0; l < 4; ++l) rows += workspaceList(*tx, l).rowCount();
        tx->commit();
    };
    const auto bareAll = [&] {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        bareRows = 0;
        for (int l = 0; l < 4; ++l) bareRows += tx->query(bareSql.at(l), kp).rowCount();
        tx->commit();
    };
    const auto sortedAll = [&] {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        for (int l = 0; l < 4; ++l) tx->query(sortedSql.at(l), kp);
        tx->commit();
    };
    int rawRows = 0;
    const auto rawAll = [&] {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        rawRows = 0;
        for (int l = 0; l < 4; ++l) rawRows += tx->query(rawSql.at(l), kp).rowCount();
        tx->commit();
    };
    openAll();
    bareAll();
    sortedAll();
    rawAll();
    const Timing open = timeOf(5, openAll);
    const Timing bare = timeOf(5, bareAll);
    const Timing sortedByServer = timeOf(5, sortedAll);
    const Timing raw = timeOf(5, rawAll);
    // Each list alone (where the time goes).
    const char* const listNames[] = {"summary", "lines", "products", "payments"};
    for (int l = 0; l < 4; ++l) {
        const Timing ws = timeOf(5, [&] {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            workspaceList(*tx, l);
            tx->commit();
        });
        const Timing plain = timeOf(5, [&] {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            tx->query(bareSql.at(l), kp);
            tx->commit();
        });
        say(QStringLiteral("  %1: workspace %2; bare %3").arg(QString::fromLatin1(listNames[l]), fmt(ws), fmt(plain)));
    }
    say(QStringLiteral("Opening the customer of 200 contracts: the four lists %1 (%2 rows); bare SELECT of the same rows"
                       " and columns %3 (%4 rows); ratio best %5, median %6 (goal <= 2). The same statements sorted by"
                       " the server: %7")
            .arg(fmt(open)).arg(rows).arg(fmt(bare)).arg(bareRows).arg(open.best / bare.best, 0, 'f', 2)
            .arg(open.median / bare.median, 0, 'f', 2).arg(fmt(sortedByServer)));
    vl::bench::printResult(QStringLiteral("orders_workspace"), rows, open.best / 1000.0, bare.best / 1000.0);
    say(QStringLiteral("  The same rows with their own tables' columns only (codes, no names or address): %1 (%2 rows);"
                       " the lists against them: ratio best %3, median %4")
            .arg(fmt(raw)).arg(rawRows).arg(open.best / raw.best, 0, 'f', 2).arg(open.median / raw.median, 0, 'f', 2));

    // ---- 2. a pattern change on the 20-cabin line
    LineStoreRequest rq;
    rq.customerKey = QStringLiteral("MINTA");
    rq.siteKey = QStringLiteral("MINTAS");
    rq.bizonylat = patternContract;
    rq.tetelsor = 1;
    rq.today = QStringLiteral("2026.02.20");
    {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        rq.input = OrdersWorkspace::InputOfLine(*tx, patternContract, 1);
        tx->commit();
    }
    rq.input.counts = {QStringLiteral("1"), QString(), QStringLiteral("1"), QString(), QStringLiteral("1"), QString(), QString()};
    rq.input.prices = {QStringLiteral("4500"), QString(), QStringLiteral("4500"), QString(), QStringLiteral("4500"), QString(), QString()};
    vl::shell::Session s;
    s.userCode = QStringLiteral("MINTA");
    t.restart();
    const LineStoreOutcome r = OrdersWorkspace::storeLine(*conn, s, rq).answerAll(true);
    const double store = double(t.nsecsElapsed()) / 1e6;
    if (!r.ok) {
        say(QStringLiteral("The pattern change was not stored: ") + r.messages.join(QStringLiteral("; ")));
        return 1;
    }
    // The rows the store wrote (JUZER names the run).
    std::vector<std::pair<QString, Written>> written;
    int writtenRows = 0;
    for (const QString& table : {QStringLiteral("FORGSOR"), QStringLiteral("FORGKABIN"), QStringLiteral("FORGTEV"),
                                 QStringLiteral("FORGFIZ")}) {
        Written w;
        auto rs = conn->query(QStringLiteral("SELECT * FROM %1 WHERE JUZER = 'MINTA'").arg(table));
        for (const auto& c : rs.columns()) w.columns << c.name;
        for (int i = 0; i < rs.rowCount(); ++i) w.rows.push_back(rs.row(i));
        writtenRows += int(w.rows.size());
        written.push_back({table, w});
    }
    conn->close();
    // The copy: the rows of those keys taken away first (not timed), then inserted bare.
    auto connB = vl::db::connect(params(pathB));
    {
        auto tx = connB->begin();
        tx->exec(QStringLiteral("DELETE FROM FORGSOR WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), patternContract}});
        tx->exec(QStringLiteral("DELETE FROM FORGKABIN WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), patternContract}});
        tx->exec(QStringLiteral("DELETE FROM FORGFIZ WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), patternContract}});
        tx->exec(QStringLiteral("DELETE FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM >= '2026.02.20' AND TEVKOD = 'KA'"),
                 {{QStringLiteral("b"), patternContract}});
        tx->commit();
    }
    t.restart();
    {
        auto tx = connB->begin();
        for (const auto& [table, w] : written) {
            QStringList names;
            for (const QString& c : w.columns) names << QLatin1Char(':') + c.toLower();
            auto ins = tx->prepare(QStringLiteral("UPDATE OR INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(table, w.columns.join(QStringLiteral(", ")), names.join(QStringLiteral(", "))));
            for (const QVariantList& row : w.rows) {
                for (int c = 0; c < w.columns.size(); ++c) ins->bind(w.columns.at(c).toLower(), row.at(c));
                ins->execute();
            }
        }
        tx->commit();
    }
    const double bareInsert = double(t.nsecsElapsed()) / 1e6;
    connB->close();
    say(QStringLiteral("Pattern change on a 20-cabin line: store %1 ms (%2 rows written; %3), bare insert %4 ms,"
                       " ratio %5 (goal <= 3)")
            .arg(store, 0, 'f', 1).arg(writtenRows).arg(r.summary.line()).arg(bareInsert, 0, 'f', 1)
            .arg(store / bareInsert, 0, 'f', 2));
    vl::db::shutdownEngine();
    return 0;
}
