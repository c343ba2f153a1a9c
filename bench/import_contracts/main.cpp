// bench_import_contracts [--contracts N] [--dir DIR]
//
// A generated company: 200 customers with 10 sites each, 4 cabins per
// contract (default 2,000 contracts, 8,000 cabins) in two lines (ALAP and
// VIP), delivered on 2 November of the year, visited on Monday and Thursday,
// half of them paying in cash and half with a "paid up to" day. Measures, on
// two databases made alike:
//  - import-contracts (ImportContracts) of the generated CSV file: its reading
//    and checks, then each contract through contract entry's session and store;
//  - the floor: the same contracts entered into the same session and stored
//    with ContractSave::StoreNow in-process, without the file.
// Prints both times, per contract, and their ratio.
#include "customers/CustomerService.h"
#include "db/Database.h"
#include "db/TxScope.h"
#include "rental/ContractImport.h"
#include "rental/ContractSave.h"
#include "rental/ContractSession.h"
#include "rental/Schema.h"
#include "shell/Session.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

using namespace vl::rental;

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString decimal(double v, int places) { return QString::number(v, 'f', places).replace(QLatin1Char('.'), QLatin1Char(',')); }

struct Company {
    QStringList customers, sites;   // site i belongs to customer i / 10
};

std::unique_ptr<vl::db::Connection> makeCompany(const QString& path, int contracts, Company& co) {
    vl::db::ConnectParams p;
    p.database = path;
    QFile::remove(path);
    auto conn = vl::db::createFirebirdDatabase(p);
    Schema::upgrade(*conn);
    {
        auto tx = conn->begin();
        Schema::registry().seed(*tx, {QString::number(QDate::currentDate().year()), vl::db::SeedScope::All});
        tx->commit();
    }
    conn->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Sofőr', 'I')"));
    using namespace vl::customers;
    vl::db::TxScope tx(*conn, nullptr);
    for (int c = 0; c < 200; ++c) {
        Customer cu = CustomerService::newCustomer();
        cu.nev = QStringLiteral("Ügyfél %1 Kft.").arg(c);
        cu.fizmod = QStringLiteral("KP");
        cu.telefon = QStringLiteral("+36 1 555 %1").arg(c, 4, 10, QLatin1Char('0'));
        CustomerService::storeCustomer(*conn, &tx.tx(), cu, DuplicatePolicy::Allow);
        co.customers << cu.kod;
        for (int s = 0; s < 10; ++s) {
            Site si;
            si.ugyfelkod = cu.kod;
            si.nev = QStringLiteral("Telep %1").arg(s);
            si.irszam = QStringLiteral("2030");
            si.varos = QStringLiteral("Érd");
            si.utca = QStringLiteral("Fő utca %1.").arg(s + 1);
            si.szemely = QStringLiteral("Kiss Anna");
            si.telefon = QStringLiteral("+36 30 555 0000");
            co.sites << CustomerService::storeSite(*conn, &tx.tx(), si).key;
        }
    }
    auto aru = tx->prepare(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, :g, 'SZA')"));
    for (int k = 1; k <= contracts * 4; ++k) {
        aru->bindAll({{QStringLiteral("k"), QString::number(k)},
                      {QStringLiteral("g"), k % 4 == 0 ? QStringLiteral("VIP") : QStringLiteral("ALAP")}});
        aru->execute();
    }
    tx.commit();
    return conn;
}

// One contract of the file: number n, cabins 4n-3 .. 4n.
struct Gen {
    int n;
    const Company& co;
    QString start() const { return QStringLiteral("%1.11.02").arg(QDate::currentDate().year()); }
    QString paid() const { return n % 2 ? QStringLiteral("%1.11.30").arg(QDate::currentDate().year()) : QString(); }
    QString fizmod() const { return n % 2 ? QStringLiteral("KP") : QStringLiteral("ATU"); }
    QString customer() const { return co.customers.at((n % 2000) / 10); }
    QString site() const { return co.sites.at(n % 2000); }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int contracts = 2000;
    QString dirArg;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--contracts") && i + 1 < a.size()) contracts = std::max(1, a[++i].toInt());
        else if (a[i] == QStringLiteral("--dir") && i + 1 < a.size()) dirArg = a[++i];
    }
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    Company coA, coB;
    auto importDb = makeCompany(dir + QStringLiteral("/bench_import.fdb"), contracts, coA);
    auto floorDb = makeCompany(dir + QStringLiteral("/bench_import_floor.fdb"), contracts, coB);

    QByteArray file("SZERZODES;UGYFELKOD;UGYFELCIM;BERMOD;FIZMOD;BERKEZD;FIZETVE;ARUCSOPORT;NETTOAR;BERMEGYSEG;"
                    "HKSZCSPSZV;KARBAR1;KARBAR4;SOFORKOD;ARUKOD;KISZALL\n");
    for (int n = 1; n <= contracts; ++n) {
        const Gen g{n, coA};
        for (int k = 4 * n - 3; k <= 4 * n; ++k) {
            const bool vip = k % 4 == 0;
            file += QStringLiteral("B-%1;%2;%3;HT;%4;%5;%6;%7;%8;Hó;1001000;%9;%9;S1;%10;%5\n")
                        .arg(n).arg(g.customer(), g.site(), g.fizmod(), g.start(), g.paid())
                        .arg(vip ? QStringLiteral("VIP") : QStringLiteral("ALAP"))
                        .arg(vip ? 18000 : 12000).arg(vip ? 6000 : 4500).arg(k)
                        .toUtf8();
        }
    }
    say(QStringLiteral("Fájl: %1 szerződés, %2 kabin, %3 bájt").arg(contracts).arg(contracts * 4).arg(file.size()));

    vl::shell::Session who;
    who.userCode = QStringLiteral("BENCH");
    who.businessYear = QDate::currentDate().year();

    QElapsedTimer t;
    t.start();
    const ContractImportResult r = ImportContracts(*importDb, who, file, {});
    const double imported = double(t.nsecsElapsed()) / 1e9;
    if (!r.ok) {
        for (const QString& l : r.lines({}).mid(0, 20)) say(l);
        return 1;
    }
    say(QStringLiteral("Betöltés (import-contracts): %1 s, %2 szerződés, %3 kabin tárolva")
            .arg(decimal(imported, 1)).arg(r.stored.size()).arg(r.cabinsStored));

    // The floor: the same contracts through the session and the store, no file.
    t.restart();
    int stored = 0;
    {
        ContractSession s(*floorDb, who);
        for (int n = 1; n <= contracts; ++n) {
            const Gen g{n, coB};
            s.openNext();
            HeaderFields h;
            h.ugyfelkod = g.customer();
            h.ugyfelcim = g.site();
            h.fizmod = g.fizmod();
            h.bermod = QStringLiteral("HT");
            h.berkezd = g.start();
            h.szerzodes = QStringLiteral("B-%1").arg(n);
            s.setHeader(h);
            s.setBroughtIn(g.paid());
            if (!s.validateHeader().ok) return 1;
            for (const bool vip : {false, true}) {
                LineInput in;
                in.arucsoport = vip ? QStringLiteral("VIP") : QStringLiteral("ALAP");
                in.mennyiseg = vip ? QStringLiteral("1") : QStringLiteral("3");
                in.bermenny = QStringLiteral("1");
                in.bermegyseg = QStringLiteral("Hó");
                in.nettoar = vip ? QStringLiteral("18000") : QStringLiteral("12000");
                in.karertek = vip ? QStringLiteral("450000") : QStringLiteral("250000");
                in.kiszall = g.start();
                in.counts[0] = in.counts[3] = QStringLiteral("1");
                in.prices[0] = in.prices[3] = vip ? QStringLiteral("6000") : QStringLiteral("4500");
                in.periodus = QStringLiteral("1");
                in.soforkod = QStringLiteral("S1");
                Outcome o = s.addLine(in);
                if (!o.ok) return 1;
                const qint64 line = o.line;
                QList<qint64> items;
                auto rs = s.items();
                while (rs.next())
                    if (rs.integer(QStringLiteral("TETELSOR")) == line) items << rs.integer(QStringLiteral("SORSZAM"));
                const int first = vip ? 4 * n : 4 * n - 3;
                for (int i = 0; i < items.size(); ++i) {
                    ItemInput it = s.itemFields(line, items[i]);
                    it.arukod = QString::number(first + i);
                    if (!s.storeItem(line, items[i], it).ok) return 1;
                }
            }
            if (!s.markPastDeliveriesDone().ok) return 1;
            ContractSave::StoreNow(s);
            ++stored;
        }
        s.discard();
    }
    const double floor = double(t.nsecsElapsed()) / 1e9;
    say(QStringLiteral("Szerződéstároló közvetlenül (ugyanezek a szerződések): %1 s, %2 szerződés")
            .arg(decimal(floor, 1)).arg(stored));
    const qint64 visits = importDb->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")).at(0, 0).toLongLong();
    const qint64 visitsFloor = floorDb->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")).at(0, 0).toLongLong();
    say(QStringLiteral("Tevékenységek: %1 (közvetlenül: %2)").arg(visits).arg(visitsFloor));
    say(QStringLiteral("Szerződésenként: %1 ms és %2 ms; arány %3")
            .arg(decimal(imported * 1000 / contracts, 1), decimal(floor * 1000 / contracts, 1),
                 decimal(floor > 0 ? imported / floor : 0, 2)));
    importDb->close();
    floorDb->close();
    return 0;
}
