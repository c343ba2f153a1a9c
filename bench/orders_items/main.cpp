// Benchmark of the products page's store: a pattern change on 100 selected
// products of one cash contract (one transaction: the items, their moved
// maintenance from today, the contract's billing once), against the bare
// insert of exactly the rows the store wrote (UPDATE OR INSERT of the same
// values, one prepared statement per table, one transaction) into a copy of
// the database from which those rows were taken away first. Best and median
// of five runs, each on a fresh copy of the same database.
#include "db/Database.h"
#include "rental/OrdersItems.h"
#include "rental/OrdersWorkspace.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
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

const qint64 kContract = 1;
const int kItems = 100;

struct Written {
    QStringList columns;
    std::vector<QVariantList> rows;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir tmp;
    const QString seed = tmp.filePath(QStringLiteral("seed.fdb"));
    {
        auto conn = vl::db::createFirebirdDatabase(params(seed));
        Schema::upgrade(*conn);
        auto tx = conn->begin();
        Seeds::apply(*tx, QStringLiteral("2026"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD,"
                                " UGYFELCIM) VALUES (1, 1, 'I', 'FO', 'HT', 'KP', '2026.03.02', 'MINTA', 'MINTAS')"));
        tx->commit();
        LineStoreRequest rq;
        rq.customerKey = QStringLiteral("MINTA");
        rq.siteKey = QStringLiteral("MINTAS");
        rq.today = QStringLiteral("2026.02.20");
        rq.input.arucsoport = QStringLiteral("ALAP");
        rq.input.mennyiseg = QString::number(kItems);
        rq.input.bermenny = QStringLiteral("1");
        rq.input.bermegyseg = QStringLiteral("Hó");
        rq.input.nettoar = QStringLiteral("40000");
        rq.input.kiszall = QStringLiteral("2026.03.02");
        rq.input.counts[0] = QStringLiteral("1");
        rq.input.prices[0] = QStringLiteral("4500");
        rq.input.periodus = QStringLiteral("1");
        rq.input.soforkod = QStringLiteral("S1");
        vl::shell::Session s;
        s.userCode = QStringLiteral("BENCH");
        const LineStoreOutcome r = OrdersWorkspace::storeLine(*conn, s, rq).answerAll(true);
        if (!r.ok) {
            say(QStringLiteral("The line was not stored: ") + r.messages.join(QStringLiteral("; ")));
            return 1;
        }
        conn->close();
    }

    std::vector<double> stores, bares;
    int writtenRows = 0;
    QString summary;
    for (int run = 0; run < 5; ++run) {
        const QString a = tmp.filePath(QStringLiteral("a%1.fdb").arg(run)), b = tmp.filePath(QStringLiteral("b%1.fdb").arg(run));
        QFile::copy(seed, a);
        QFile::copy(seed, b);
        auto conn = vl::db::connect(params(a));
        ItemStoreRequest rq;
        for (int i = 1; i <= kItems; ++i) rq.items.push_back(ItemKey{kContract, 1, 1, i});
        {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            rq.source = OrdersItems::PanelOfItem(*tx, rq.items.front());
            tx->commit();
        }
        rq.panel = rq.source;
        rq.panel.counts = {QStringLiteral("1"), QString(), QStringLiteral("1"), QString(), QStringLiteral("1"), QString(), QString()};
        rq.panel.prices = {QStringLiteral("4500"), QString(), QStringLiteral("4500"), QString(), QStringLiteral("4500"), QString(), QString()};
        rq.today = QStringLiteral("2026.02.20");
        rq.activityDate = rq.today;
        vl::shell::Session s;
        s.userCode = QStringLiteral("MINTA");
        QElapsedTimer t;
        t.start();
        const ItemStoreResult r = OrdersItems::StoreItems(*conn, nullptr, s, rq);
        stores.push_back(double(t.nsecsElapsed()) / 1e6);
        summary = r.line();
        std::vector<std::pair<QString, Written>> written;
        writtenRows = 0;
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
        auto connB = vl::db::connect(params(b));
        {
            auto tx = connB->begin();
            tx->exec(QStringLiteral("DELETE FROM FORGKABIN WHERE BIZONYLAT = 1"));
            tx->exec(QStringLiteral("DELETE FROM FORGFIZ WHERE BIZONYLAT = 1"));
            tx->exec(QStringLiteral("DELETE FROM FORGTEV WHERE BIZONYLAT = 1 AND DATUM >= '2026.02.20' AND TEVKOD = 'KA'"));
            tx->commit();
        }
        t.restart();
        {
            auto tx = connB->begin();
            for (const auto& [table, w] : written) {
                if (w.rows.empty()) continue;
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
        bares.push_back(double(t.nsecsElapsed()) / 1e6);
        connB->close();
        QFile::remove(a);
        QFile::remove(b);
    }
    auto best = [](std::vector<double> v) { return *std::min_element(v.begin(), v.end()); };
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    say(QStringLiteral("Pattern change on %1 selected products: store best %2 ms, median %3 ms (%4 rows written; %5);"
                       " bare insert best %6 ms, median %7 ms; ratio best %8, median %9 (goal <= 3)")
            .arg(kItems)
            .arg(best(stores), 0, 'f', 1)
            .arg(median(stores), 0, 'f', 1)
            .arg(writtenRows)
            .arg(summary)
            .arg(best(bares), 0, 'f', 1)
            .arg(median(bares), 0, 'f', 1)
            .arg(best(stores) / best(bares), 0, 'f', 2)
            .arg(median(stores) / median(bares), 0, 'f', 2));
    vl::db::shutdownEngine();
    return 0;
}
