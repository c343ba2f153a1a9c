// bench_appendix [--contracts N] [--dir DIR] [--month yyyy.mm] [--reuse]
//
// The invoice appendix on the generated company of bench_year_opening: N
// running open-ended contracts (default 2,500) with four cabins each, weekly
// maintenance and cash billing of the current year; a fifth of the contracts
// have their month's visits done (priced activity rows). Measures the build
// of one month end to end (work table emptied, rows read, each rental row
// computed, every row written, one transaction), then a bare client-API loop
// over the same union SELECT (every row fetched and every value read), and
// prints both and their ratio.
#include "GeneratedCompany.h"
#include "billing/Appendix.h"
#include "billing/BillingSchema.h"
#include "db/Database.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <algorithm>
#include <memory>

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

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500;
    QString dirArg, month = QStringLiteral("2026.06");
    bool reuse = false;   // --reuse: the company left in --dir by an earlier run
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--month") && i + 1 < args.size()) month = args[++i];
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
    const double firstBuild = t.elapsed() / 1000.0;
    // The machine is shared: each figure is the best of three runs.
    vl::billing::BuildResult again;
    double build = 1e9;
    for (int run = 0; run < 3; ++run) {
        t.restart();
        again = svc.build(from, to, filter);
        build = std::min(build, t.elapsed() / 1000.0);
    }

    // The same union SELECT, bare: every row fetched and every value read.
    qint64 rows = 0, cells = 0;
    double bare = 1e9;
    for (int run = 0; run < 3; ++run) {
        t.restart();
        rows = 0;
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        auto rs = tx->query(vl::billing::AppendixService::sourceStatement(filter),
                            vl::billing::AppendixService::sourceParams(from, to, filter));
        while (rs.next()) {
            ++rows;
            for (int c = 0; c < rs.columnCount(); ++c)
                if (!rs.value(c).isNull()) ++cells;
        }
        tx->commit();
        bare = std::min(bare, t.elapsed() / 1000.0);
    }
    say(QStringLiteral("Appendix %1 -> %2: %3 rows (%4 rental, %5 activity), %6 Ft")
            .arg(from, to).arg(again.rows).arg(again.rentalRows).arg(again.activityRows).arg(again.total));
    say(QStringLiteral("  first build (work table made):  %1 s").arg(firstBuild, 0, 'f', 3));
    say(QStringLiteral("  build end to end (best of 3):   %1 s").arg(build, 0, 'f', 3));
    say(QStringLiteral("  bare SELECT loop (%1 rows, best of 3): %2 s").arg(rows).arg(bare, 0, 'f', 3));
    say(QStringLiteral("  ratio build / bare:             %1").arg(bare > 0 ? build / bare : 0.0, 0, 'f', 2));
    if (first.rows != again.rows || rows != again.rows) say(QStringLiteral("  ROW COUNTS DIFFER"));
    conn->close();
    return 0;
}
