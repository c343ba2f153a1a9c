// bench_appendix [--contracts N] [--dir DIR] [--month yyyy.mm] [--reuse] [--runs N]
//
// The invoice appendix on the generated company of bench_year_opening: N
// running open-ended contracts (default 2,500) with four cabins each, weekly
// maintenance and cash billing of the current year; a fifth of the contracts
// have their month's visits done (priced activity rows). Measures the build
// of one month end to end (work table emptied, rows read, each rental row
// computed, every row written, one transaction), then a bare client-API loop
// over the same union SELECT (every row fetched and every value read), and
// prints both and their ratio (best and median of --runs rounds, default 5).
//
// Beside them the earlier build, kept here only: it fetched every row of the
// union, rental and activity alike, and wrote each one back with its own
// statement. Its phases are timed, and the rows it leaves in the work table
// are compared with those of the build, value for value (type included), and
// so are the counts, the total and the planned deliveries the two answer: any
// difference is printed and the bench exits with 1.
#include "../common/BenchArgs.h"
#include "GeneratedCompany.h"
#include "billing/Appendix.h"
#include "billing/BillingSchema.h"
#include "db/Database.h"
#include "db/TxScope.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "util/Error.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <tuple>
#include <vector>

using namespace vl::rental;
using vl::bench::generateCompany;
using vl::bench::generateCurrentYear;
using vl::billing::BuildResult;

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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double best(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }

struct Phases {
    double read = 0, compute = 0, empty = 0, write = 0, commit = 0;
};

// The earlier build, as it was: the whole union fetched, each rental row
// computed, the table emptied, every row written by one prepared INSERT.
BuildResult earlierBuild(vl::db::Connection& conn, const QString& table, const QString& from, const QString& to,
                         const vl::billing::AppendixFilter& filter, Phases& ph) {
    using namespace vl::billing;
    QElapsedTimer t;
    t.start();
    const QList<vl::db::Column> tableCols = conn.query(QStringLiteral("SELECT FIRST 0 * FROM ") + table).columns();
    QStringList columns;
    for (const auto& c : tableCols) columns << c.name;
    BuildResult result;
    const QString insertSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (:%3)")
                                  .arg(table, columns.join(QLatin1Char(',')), columns.join(QStringLiteral(",:")).toLower());
    vl::db::TxScope tx(conn, nullptr);
    vl::db::RowSet rs = tx->query(AppendixService::sourceStatement(filter), AppendixService::sourceParams(from, to, filter));
    ph.read = t.nsecsElapsed() / 1e9;
    t.restart();
    const int total = rs.rowCount();
    std::vector<QVariantList> rows;
    rows.reserve(size_t(total));
    const int nCols = int(columns.size());
    std::vector<int> idx(static_cast<size_t>(nCols), -1);
    for (int c = 0; c < nCols; ++c) idx[size_t(c)] = rs.indexOf(columns.at(c));
    const int iKind = rs.indexOf(QStringLiteral("SORFAJTA"));
    const int iDone = rs.indexOf(QStringLiteral("VSZKESZ"));
    const int iPlanned = rs.indexOf(QStringLiteral("KIHTERV"));
    auto col = [&](const char* name) { return int(columns.indexOf(QString::fromLatin1(name))); };
    const int cMark = col("BERSZAMJEL"), cPrice = col("NETTOAR"), cQty = col("BERMENNY"), cMin = col("MINIMALAR"),
              cKezd = col("BERKEZD"), cVeg = col("BERVEG"), cKisz = col("KISZALL"), cVsz = col("VSZALL"),
              cLp = col("LASTPRINT"), cLpt = col("LASTPRINTT"), cUnit = col("BERMEGYSEG"), cErtek = col("NETTOERTEK"),
              cEgys = col("EGYSEGAR"), cNap = col("ELSZNAP"), cMinSz = col("MINARSZAMOL"), cTol = col("DATUMTOL"),
              cIg = col("DATUMIG"), cAru = col("ARUKOD"), cNev = col("UGYFELNEV"), cCim = col("CIM");
    for (int r = 0; r < total; ++r) {
        const QVariantList& src = rs.row(r);
        QVariantList v;
        v.reserve(nCols);
        for (int c = 0; c < nCols; ++c) v.append(src.at(idx[size_t(c)]));
        auto text = [&](int c) { return v.at(c).isNull() ? QString() : v.at(c).toString().trimmed(); };
        if (src.at(iKind).toString() == QLatin1String("R")) {
            ++result.rentalRows;
            ChargeInput in;
            in.mark = text(cMark);
            in.price = v.at(cPrice).toLongLong();
            in.quantity = v.at(cQty).toLongLong();
            in.minimumPrice = v.at(cMin).toLongLong();
            in.berkezd = text(cKezd);
            in.berveg = text(cVeg);
            in.kiszall = text(cKisz);
            in.vszall = text(cVsz);
            in.lastprint = text(cLp);
            in.lastprintt = text(cLpt);
            in.periodFrom = from;
            in.periodTo = to;
            in.takeBackDone = src.at(iDone).toLongLong() > 0;
            const RowPeriod p = AppendixRowPeriod(from, to, filter.weekAlign, text(cUnit), in.quantity, in.lastprint,
                                                  in.kiszall, in.vszall);
            in.rowFrom = p.from;
            in.rowTo = p.to;
            const ChargeResult c = AppendixCharge(in);
            if (c.problem != ChargeResult::Problem::None)
                throw vl::RuleRefusal(AppendixRowMessage(c.problem, text(cAru), text(cNev), text(cCim)),
                                      QStringLiteral("AppendixCharge"));
            const QVariant planned = src.at(iPlanned);
            if (!planned.isNull() && c.days > 0)
                result.plannedDeliveries.append(PlannedDelivery{v.at(col("BIZONYLAT")).toLongLong(),
                                                                v.at(col("TETELSOR")).toLongLong(),
                                                                v.at(col("SORSZAM")).toLongLong(), text(cAru),
                                                                planned.toString().trimmed()});
            v[cErtek] = c.charge;
            v[cEgys] = c.unitPrice;
            v[cNap] = c.days;
            v[cMin] = c.minimumCharge;
            v[cMinSz] = c.minimumApplied ? QStringLiteral("I") : QStringLiteral("N");
            v[cTol] = c.from;
            v[cIg] = c.to;
            v[cKisz] = NormalizedDate(in.kiszall);
            if (!in.vszall.isEmpty()) v[cVsz] = NormalizedDate(in.vszall);
        } else {
            ++result.activityRows;
        }
        result.total += v.at(cErtek).toLongLong();
        rows.push_back(std::move(v));
    }
    ph.compute = t.nsecsElapsed() / 1e9;
    t.restart();
    tx->exec(QStringLiteral("DELETE FROM ") + table);
    ph.empty = t.nsecsElapsed() / 1e9;
    t.restart();
    auto ins = tx->prepare(insertSql);
    QStringList names;
    for (const QString& c : columns) names << c.toLower();
    for (const auto& v : rows) {
        for (int c = 0; c < nCols; ++c) ins->bind(names.at(c), v.at(c));
        ins->execute();
    }
    ph.write = t.nsecsElapsed() / 1e9;
    t.restart();
    tx.commit();
    ph.commit = t.nsecsElapsed() / 1e9;
    std::sort(result.plannedDeliveries.begin(), result.plannedDeliveries.end(),
              [](const PlannedDelivery& a, const PlannedDelivery& b) {
                  return std::tie(a.bizonylat, a.tetelsor, a.sorszam) < std::tie(b.bizonylat, b.tetelsor, b.sorszam);
              });
    result.rows = int(rows.size());
    return result;
}

// What a build leaves: the table's rows ordered by every column (the stored
// order of rows alike in the lists' keys follows the space the earlier builds
// freed, not the build), each value with its type, and the result the build
// answered.
struct Snapshot {
    std::vector<QVariantList> rows;
    QStringList columns;
    BuildResult result;
};

Snapshot snapshot(vl::db::Connection& conn, const QString& table, const BuildResult& r) {
    Snapshot s;
    const QList<vl::db::Column> cols = conn.query(QStringLiteral("SELECT FIRST 0 * FROM ") + table).columns();
    QStringList order;
    for (const auto& c : cols) order << c.name;
    const vl::db::RowSet rs = conn.query(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order.join(QLatin1Char(','))));
    for (const auto& c : rs.columns()) s.columns << c.name;
    for (int i = 0; i < rs.rowCount(); ++i) s.rows.push_back(rs.row(i));
    s.result = r;
    return s;
}

QString shown(const QVariant& v) {
    return v.isNull() ? QStringLiteral("NULL") : QStringLiteral("%1 (%2)").arg(v.toString(), QString::fromLatin1(v.typeName()));
}

// The differences of two snapshots, at most a few named; empty when alike.
QStringList differences(const Snapshot& a, const Snapshot& b) {
    QStringList out;
    const auto& ra = a.result;
    const auto& rb = b.result;
    if (ra.rows != rb.rows || ra.rentalRows != rb.rentalRows || ra.activityRows != rb.activityRows || ra.total != rb.total)
        out << QStringLiteral("result: %1/%2/%3/%4 Ft against %5/%6/%7/%8 Ft")
                   .arg(ra.rows).arg(ra.rentalRows).arg(ra.activityRows).arg(ra.total)
                   .arg(rb.rows).arg(rb.rentalRows).arg(rb.activityRows).arg(rb.total);
    if (ra.plannedDeliveries.size() != rb.plannedDeliveries.size()) {
        out << QStringLiteral("planned deliveries: %1 against %2").arg(ra.plannedDeliveries.size()).arg(rb.plannedDeliveries.size());
    } else {
        for (int i = 0; i < ra.plannedDeliveries.size(); ++i)
            if (vl::billing::PlannedDeliveryText(ra.plannedDeliveries[i]) != vl::billing::PlannedDeliveryText(rb.plannedDeliveries[i])) {
                out << QStringLiteral("planned delivery %1: %2 against %3").arg(i)
                           .arg(vl::billing::PlannedDeliveryText(ra.plannedDeliveries[i]),
                                vl::billing::PlannedDeliveryText(rb.plannedDeliveries[i]));
                break;
            }
    }
    if (a.columns != b.columns) out << QStringLiteral("columns differ");
    if (a.rows.size() != b.rows.size()) {
        out << QStringLiteral("table rows: %1 against %2").arg(a.rows.size()).arg(b.rows.size());
        return out;
    }
    int named = 0;
    for (size_t i = 0; i < a.rows.size() && named < 5; ++i) {
        for (int c = 0; c < a.rows[i].size() && named < 5; ++c) {
            const QVariant& x = a.rows[i].at(c);
            const QVariant& y = b.rows[i].at(c);
            if (x.isNull() != y.isNull() || x.typeId() != y.typeId() || x != y) {
                out << QStringLiteral("row %1, %2: %3 against %4").arg(i).arg(a.columns.value(c), shown(x), shown(y));
                ++named;
            }
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500, runs = 5;
    QString dirArg, month = QStringLiteral("2026.06");
    bool reuse = false;   // --reuse: the company left in --dir by an earlier run
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--cabins") && i + 1 < args.size()) contracts = std::max(1, args[++i].toInt() / 4);
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--month") && i + 1 < args.size()) month = args[++i];
        else if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--reuse")) reuse = true;
    }
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString path = dir + QStringLiteral("/bench_appendix.fdb");
    const QString from = vl::billing::NormalizedDate(month);
    const QString to = vl::billing::NormalizedDate(month, true);
    QElapsedTimer t;
    t.start();
    std::unique_ptr<vl::db::Connection> conn;
    if (reuse && QFile::exists(path)) {
        conn = vl::db::connect(params(path));
    } else {
        QFile::remove(path);
        conn = vl::db::createFirebirdDatabase(params(path));
        vl::billing::joinProgramSchema(); // the appendix's template
        Schema::upgrade(*conn);
        {
            auto tx = conn->begin();
            Seeds::apply(*tx, QStringLiteral("2026"));
            tx->exec(QStringLiteral("UPDATE OR INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('1', 'Generált Ügyfél Kft.', 'I')"
                                    " MATCHING (KOD)"));
            tx->exec(QStringLiteral("UPDATE OR INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA)"
                                    " VALUES ('1', '1', 'Telephely', '1111', 'Budapest', 'Fő utca 1') MATCHING (KOD)"));
            tx->commit();
        }
        generateCompany(*conn, contracts);
        generateCurrentYear(*conn, contracts);
        // A fifth of the contracts: the month's visits done.
        conn->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE MOD(BIZONYLAT, 5) = 0 AND TEVKOD = 'KA'"
                                  " AND DATUM >= :f AND DATUM <= :t"),
                   {{QStringLiteral("f"), from}, {QStringLiteral("t"), to}});
    }
    say(QStringLiteral("Company: %1 contracts (set up in %2 s)").arg(contracts).arg(t.elapsed() / 1000.0, 0, 'f', 1));

    vl::shell::Session who;
    who.userCode = QStringLiteral("BENCH");
    vl::billing::AppendixService svc(*conn, who);
    const vl::billing::AppendixFilter filter;

    t.restart();
    const auto first = svc.build(from, to, filter);
    const double firstBuild = t.nsecsElapsed() / 1e9;
    // The earlier build writes into a work table of its own, so neither
    // build meets what the other left.
    vl::shell::Session other = who;
    other.userCode = QStringLiteral("BENCHE");
    vl::billing::AppendixService earlierSvc(*conn, other);
    earlierSvc.build(from, to, filter);

    // The union SELECT, bare: every row fetched and every value read.
    qint64 rows = 0;
    auto bareLoop = [&](const QString& sql) {
        qint64 n = 0, cells = 0;
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        auto rs = tx->query(sql, vl::billing::AppendixService::sourceParams(from, to, filter));
        while (rs.next()) {
            ++n;
            for (int c = 0; c < rs.columnCount(); ++c)
                if (!rs.value(c).isNull()) ++cells;
        }
        tx->commit();
        return n + 0 * cells;
    };
    const QString source = vl::billing::AppendixService::sourceStatement(filter);
    const QStringList parts = source.split(QStringLiteral(" UNION ALL "));

    // Rounds of the three, side by side, so a busy moment of the shared
    // machine falls on all of them alike.
    std::vector<double> build, earlier, bare, bareRental, bareActivity;
    std::vector<Phases> phases;
    BuildResult again;
    QStringList diff;
    for (int run = 0; run < runs; ++run) {
        Phases ph;
        t.restart();
        const BuildResult old = earlierBuild(*conn, earlierSvc.workTable(), from, to, filter, ph);
        earlier.push_back(t.nsecsElapsed() / 1e9);
        phases.push_back(ph);
        const Snapshot before = run == 0 ? snapshot(*conn, earlierSvc.workTable(), old) : Snapshot{};

        t.restart();
        again = svc.build(from, to, filter);
        build.push_back(t.nsecsElapsed() / 1e9);
        if (run == 0) diff = differences(before, snapshot(*conn, svc.workTable(), again));

        t.restart();
        rows = bareLoop(source);
        bare.push_back(t.nsecsElapsed() / 1e9);
        if (parts.size() == 2) {
            t.restart();
            bareLoop(parts[0]);
            bareRental.push_back(t.nsecsElapsed() / 1e9);
            t.restart();
            bareLoop(parts[1]);
            bareActivity.push_back(t.nsecsElapsed() / 1e9);
        }
    }
    auto phase = [&](double Phases::*m) {
        std::vector<double> v;
        for (const auto& p : phases) v.push_back(p.*m);
        return median(v);
    };
    const double b = best(build), bb = best(bare), e = best(earlier);
    say(QStringLiteral("Appendix %1 -> %2: %3 rows (%4 rental, %5 activity), %6 Ft")
            .arg(from, to).arg(again.rows).arg(again.rentalRows).arg(again.activityRows).arg(again.total));
    say(QStringLiteral("  first build (work table made):  %1 s").arg(firstBuild, 0, 'f', 3));
    say(QStringLiteral("  build end to end:               best %1 s, median %2 s (%3 runs)")
            .arg(b, 0, 'f', 3).arg(median(build), 0, 'f', 3).arg(runs));
    say(QStringLiteral("  bare SELECT loop (%1 rows):  best %2 s, median %3 s")
            .arg(rows).arg(bb, 0, 'f', 3).arg(median(bare), 0, 'f', 3));
    if (!bareRental.empty())
        say(QStringLiteral("    of it rental part %1 s, activity part %2 s (medians, each alone)")
                .arg(median(bareRental), 0, 'f', 3).arg(median(bareActivity), 0, 'f', 3));
    vl::bench::printResult(QStringLiteral("appendix"), again.rows, b, bb);
    say(QStringLiteral("  ratio build / bare:             best %1, median %2")
            .arg(bb > 0 ? b / bb : 0.0, 0, 'f', 2).arg(median(bare) > 0 ? median(build) / median(bare) : 0.0, 0, 'f', 2));
    say(QStringLiteral("  earlier build (every row fetched and written one by one): best %1 s, median %2 s,"
                       " ratio %3 / %4")
            .arg(e, 0, 'f', 3).arg(median(earlier), 0, 'f', 3).arg(bb > 0 ? e / bb : 0.0, 0, 'f', 2)
            .arg(median(bare) > 0 ? median(earlier) / median(bare) : 0.0, 0, 'f', 2));
    say(QStringLiteral("    its phases (medians): read %1 s, compute %2 s, empty %3 s, write %4 s, commit %5 s")
            .arg(phase(&Phases::read), 0, 'f', 3).arg(phase(&Phases::compute), 0, 'f', 3)
            .arg(phase(&Phases::empty), 0, 'f', 3).arg(phase(&Phases::write), 0, 'f', 3)
            .arg(phase(&Phases::commit), 0, 'f', 3));
    int rc = 0;
    if (first.rows != again.rows || rows != again.rows) {
        say(QStringLiteral("  ROW COUNTS DIFFER"));
        rc = 1;
    }
    if (!diff.isEmpty()) {
        say(QStringLiteral("  THE BUILD'S ROWS DIFFER FROM THE EARLIER BUILD'S:"));
        for (const QString& d : diff) say(QStringLiteral("    ") + d);
        rc = 1;
    } else {
        say(QStringLiteral("  rows alike: the build and the earlier build left the same %1 rows, value for value").arg(again.rows));
    }
    conn->close();
    return rc;
}
