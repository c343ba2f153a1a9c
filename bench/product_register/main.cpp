// bench_product_register [--cabins N] [--years N] [--contracts N] [--rounds N] [--dir DIR]
//
// A generated company: N cabins (default 5,000) in four groups, M contracts
// (default 1,000) of two cabins each, delivered (done) a year ago, with two
// maintenance visits a week for a year ahead. Measures (median of the rounds):
//  - the register's reads: the list unfiltered and filtered by group, the
//    totals page, the two overview pages;
//  - the product list report laid out and written as PDF;
//  - one take-back with exchange that splits a line (type change), with the
//    item's planned activities following it, its maintenance regenerated and
//    both cabins set, rolled back after each round;
//  - one handover document read and laid out.
// --cabins N without --contracts rents N / 2.5 of them (N / 5 contracts, as
// the default 5,000 / 1,000); --years N delivers them N years ago, with their
// visits since (1 by default). Prints the RESULT line of "product_register"
// (BenchArgs.h): the unfiltered list against the same rows and columns read
// bare (the list's statement without its order).
#include "../common/BenchArgs.h"
#include "db/Database.h"
#include "reporting/Engine.h"
#include "rental/Handover.h"
#include "rental/ProductRegister.h"
#include "rental/ProductRegisterReport.h"
#include "rental/ProductStore.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QDate>
#include <QElapsedTimer>
#include <QGuiApplication>
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double timeIt(int rounds, const std::function<void()>& f) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(ms);
}

QString ymd(const QDate& d) { return d.toString(QStringLiteral("yyyy.MM.dd")); }

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int cabins = 5000, contracts = 1000, rounds = 5;
    QString dirArg;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--cabins") && i + 1 < a.size()) cabins = a[++i].toInt();
        else if (a[i] == QStringLiteral("--contracts") && i + 1 < a.size()) contracts = a[++i].toInt();
        else if (a[i] == QStringLiteral("--rounds") && i + 1 < a.size()) rounds = a[++i].toInt();
        else if (a[i] == QStringLiteral("--dir") && i + 1 < a.size()) dirArg = a[++i];
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(a);
    if (sizes.sized() && !a.contains(QStringLiteral("--contracts"))) contracts = std::max(1, cabins / 5);
    const int years = std::max(1, sizes.historyYears(1));
    contracts = std::min(contracts, cabins / 2 - 10);
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    vl::db::ConnectParams p;
    p.database = dir + QStringLiteral("/bench_products.fdb");
    QFile::remove(p.database);
    auto conn = vl::db::createFirebirdDatabase(p);
    vl::rental::Schema::upgrade(*conn);
    {
        auto tx = conn->begin();
        vl::rental::Seeds::apply(*tx, QString::number(QDate::currentDate().year()));
        tx->commit();
    }

    QElapsedTimer gen;
    gen.start();
    const QDate today = QDate::currentDate();
    const QString delivered = ymd(today.addDays(-365 * years));
    {
        auto tx = conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
        const QString cust = tx->query(QStringLiteral(
            "INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, AKTIV) VALUES ('Építő Kft.', '2030', 'Érd', 'Fő utca 1.', 'I') "
            "RETURNING KOD")).at(0, 0).toString();
        const QString site = tx->query(QStringLiteral(
            "INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:u, 'Telep', '2030', 'Érd', 'Alsó út 5.') "
            "RETURNING KOD"), {{QStringLiteral("u"), cust}}).at(0, 0).toString();
        const char* groups[] = {"ALAP", "VIP", "AKM", "ZUH"};
        auto aru = tx->prepare(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:kod, :csop, 'SZA')"));
        for (int i = 1; i <= cabins; ++i) {
            aru->bind(QStringLiteral("kod"), QString::number(1000 + i));
            aru->bind(QStringLiteral("csop"), QString::fromLatin1(groups[((i - 1) / 2) % 4]));
            aru->execute();
        }
        auto fej = tx->prepare(QStringLiteral(
            "INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD, UGYFELCIM) "
            "VALUES (:b, 1, 'I', 'FO', 'HT', 'ATU', :d, :u, :c)"));
        auto sor = tx->prepare(QStringLiteral(
            "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, M_EGYSEG, BERMENNY, "
            "BERMEGYSEG, NETTOAR, KARERTEK, KISZALL, HKSZCSPSZV, KARBAR1, KARBAR4, PERIODUS, SOFORKOD) VALUES "
            "(:b, 1, 1, :csop, 2, 0, 'db', 1, 'Hét', 12000, 250000, :d, '1001000', 4500, 4500, 1, 'S1')"));
        auto kab = tx->prepare(QStringLiteral(
            "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALL, HKSZCSPSZV, KARBAR1, "
            "KARBAR4, PERIODUS, EGYEDI, SOFORKOD) VALUES (:b, 1, 1, :s, :kod, :d, '', '1001000', 4500, 4500, 1, 'N', 'S1')"));
        auto tev = tx->prepare(QStringLiteral(
            "INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT, "
            "SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, :s, :d, 1, :kod, :aru, :all, 'S1', :ar, 1, 'K')"));
        for (int c = 1; c <= contracts; ++c) {
            // Contract c rents the pair of cabins 1000 + 2c - 1 and 1000 + 2c (one group).
            const int first = 1000 + 2 * c - 1, second = 1000 + 2 * c;
            const QString csop = QString::fromLatin1(groups[(c - 1) % 4]);
            fej->bindAll({{QStringLiteral("b"), c}, {QStringLiteral("d"), delivered}, {QStringLiteral("u"), cust},
                          {QStringLiteral("c"), site}});
            fej->execute();
            sor->bindAll({{QStringLiteral("b"), c}, {QStringLiteral("csop"), csop}, {QStringLiteral("d"), delivered}});
            sor->execute();
            int s = 0;
            for (int kod : {first, second}) {
                ++s;
                kab->bindAll({{QStringLiteral("b"), c}, {QStringLiteral("s"), s}, {QStringLiteral("kod"), QString::number(kod)},
                              {QStringLiteral("d"), delivered}});
                kab->execute();
                tev->bindAll({{QStringLiteral("b"), c}, {QStringLiteral("s"), s}, {QStringLiteral("d"), delivered},
                              {QStringLiteral("kod"), QStringLiteral("KIH")}, {QStringLiteral("aru"), QString::number(kod)},
                              {QStringLiteral("all"), QStringLiteral("E")}, {QStringLiteral("ar"), 8000}});
                tev->execute();
                // Monday and Thursday visits from the delivery to a year ahead.
                for (QDate d = today.addDays(-365 * years + 1); d <= today.addDays(365); d = d.addDays(1)) {
                    if (d.dayOfWeek() != 1 && d.dayOfWeek() != 4) continue;
                    tev->bindAll({{QStringLiteral("b"), c}, {QStringLiteral("s"), s}, {QStringLiteral("d"), ymd(d)},
                                  {QStringLiteral("kod"), QStringLiteral("KA")}, {QStringLiteral("aru"), QString::number(kod)},
                                  {QStringLiteral("all"), d < today ? QStringLiteral("E") : QStringLiteral("T")},
                                  {QStringLiteral("ar"), 4500}});
                    tev->execute();
                }
            }
            tx->exec(QStringLiteral("UPDATE ARU SET ALLAPOT = 'FOG', UGYFEL = :u, CIM = :c, BIZONYLAT = :b WHERE KOD IN (:k1, :k2)"),
                     {{QStringLiteral("u"), cust}, {QStringLiteral("c"), site}, {QStringLiteral("b"), c},
                      {QStringLiteral("k1"), QString::number(first)}, {QStringLiteral("k2"), QString::number(second)}});
        }
        tx->exec(QStringLiteral("ALTER SEQUENCE GEN_FORGFEJ_BIZONYLAT RESTART WITH %1").arg(contracts + 1));
        tx->commit();
    }
    const qint64 tevRows = conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")).at(0, 0).toLongLong();
    say(QStringLiteral("Generated %1 cabins, %2 contracts, %3 activities in %4 s")
            .arg(cabins).arg(contracts).arg(tevRows).arg(double(gen.elapsed()) / 1000.0, 0, 'f', 1));

    auto ro = [&](const std::function<void(vl::db::Transaction&)>& f) {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        f(*tx);
        tx->commit();
    };
    int rows = 0;
    say(QStringLiteral("list, all (%1 rows):        %2 ms").arg(cabins).arg(timeIt(rounds, [&] {
        ro([&](vl::db::Transaction& tx) { rows = vl::rental::ProductRegister::List(tx, {}).rowCount(); });
    }), 0, 'f', 1));
    {
        // The floor: the list's rows and columns, read bare (no order).
        const QString bareSql = QStringLiteral(
            "SELECT A.KOD, A.ARUCSOPORT, A.ALLAPOT, CS.NEV TIPUS, S.NEV STATUS, B.KISZALL, B.VSZALL, U.NEV UGYFEL, "
            "C.IRSZAM||' '||C.VAROS||', '||C.UTCA CIM, A.BIZONYLAT, 1 VERZIO, S.KIADHATO, S.SZIN, B.TETELSOR "
            "FROM ARU A LEFT OUTER JOIN FORGKABIN B ON B.BIZONYLAT = A.BIZONYLAT AND B.ARUKOD = A.KOD "
            "LEFT OUTER JOIN UGYFEL U ON U.KOD = A.UGYFEL LEFT OUTER JOIN UGYFELCIM C ON C.KOD = A.CIM, "
            "SZ_ARUCSOP CS, SZ_STATUSK S WHERE CS.KOD = A.ARUCSOPORT AND S.KOD = A.ALLAPOT");
        const double listMs = timeIt(rounds, [&] {
            ro([&](vl::db::Transaction& tx) { rows = vl::rental::ProductRegister::List(tx, {}).rowCount(); });
        });
        int bareRows = 0;
        const double bareMs = timeIt(rounds, [&] { ro([&](vl::db::Transaction& tx) { bareRows = tx.query(bareSql).rowCount(); }); });
        say(QStringLiteral("list, bare statement:        %1 ms (%2 rows)").arg(bareMs, 0, 'f', 1).arg(bareRows));
        vl::bench::printResult(QStringLiteral("product_register"), rows, listMs / 1000.0, bareMs / 1000.0);
    }
    say(QStringLiteral("list, one group:             %1 ms").arg(timeIt(rounds, [&] {
        ro([&](vl::db::Transaction& tx) { vl::rental::ProductRegister::List(tx, {QStringLiteral("VIP"), QString()}); });
    }), 0, 'f', 1));
    say(QStringLiteral("totals page:                 %1 ms").arg(timeIt(rounds, [&] {
        ro([&](vl::db::Transaction& tx) { vl::rental::ProductRegister::Summary(tx, {}); });
    }), 0, 'f', 1));
    say(QStringLiteral("without cleaning page:       %1 ms").arg(timeIt(rounds, [&] {
        ro([&](vl::db::Transaction& tx) { vl::rental::ProductRegister::WithoutMaintenance(tx); });
    }), 0, 'f', 1));
    say(QStringLiteral("without number page:         %1 ms").arg(timeIt(rounds, [&] {
        ro([&](vl::db::Transaction& tx) { vl::rental::ProductRegister::WithoutCabinNumber(tx); });
    }), 0, 'f', 1));

    vl::db::RowSet list;
    ro([&](vl::db::Transaction& tx) { list = vl::rental::ProductRegister::List(tx, {}); });
    int pages = 0;
    const double reportMs = timeIt(std::max(1, rounds / 2), [&] {
        const auto doc = vl::reporting::layout(vl::rental::ProductListReport(list, QStringLiteral("Cég"), QString()));
        pages = doc.pageCount();
        vl::reporting::writePdf(doc, dir + QStringLiteral("/termeklista.pdf"));
    });
    say(QStringLiteral("list report, layout + PDF:   %1 ms (%2 pages)").arg(reportMs, 0, 'f', 1).arg(pages));

    // The exchange: contract 7's second cabin for a free cabin of another group.
    const vl::shell::Session session{QStringLiteral("BENCH"), QStringLiteral("Bench"), QString(), today.year()};
    const QString oldCode = QString::number(1000 + 2 * 7);
    const QString replacement = QString::number(1000 + 2 * contracts + 1);  // free, of another group
    vl::rental::ExchangeSummary sum;
    const double exchangeMs = timeIt(rounds, [&] {
        auto tx = conn->begin();
        sum = vl::rental::ProductRegister::Exchange(*tx, session, 7, 1, oldCode, replacement, true);
        tx->rollback();
    });
    say(QStringLiteral("exchange with split:         %1 ms (%2 activities moved, %3 visits written, %4 deleted)")
            .arg(exchangeMs, 0, 'f', 1).arg(sum.activitiesMoved).arg(sum.visitsWritten).arg(sum.visitsDeleted));

    int lines = 0;
    const double handoverMs = timeIt(rounds, [&] {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        const auto d = vl::rental::LoadHandover(*tx, {7, 1, QStringLiteral("KIH"), delivered, QString(), true});
        tx->commit();
        lines = d.lines.rowCount();
        vl::reporting::layout(vl::rental::HandoverReport(d));
    });
    say(QStringLiteral("handover document:           %1 ms (%2 lines)").arg(handoverMs, 0, 'f', 1).arg(lines));
    Q_UNUSED(rows);
    conn->close();
    vl::db::shutdownEngine();
    return 0;
}
