// bench_rental_lookup [--cabins N] [--contracts N] [--customers N] [--dir DIR] [--rounds N]
//
// A generated company: N contracts (default 50,000) of M customers (default
// 20,000, one or two sites each), each contract with a line and one to three
// cabins out of 8,000, statuses and rental modes mixed. Measures on the
// lookup form itself (offscreen) "Betöltés" end to end into the grid's
// model (the filter read from the panel, the statement built and run, the
// rows fetched through the access layer, the model reset, the position
// found):
//  - everything ticked and no other filter (every contract);
//  - a customer-name prefix ("kov": about one customer in seventy);
//  - a cabin number;
// and the same rows and columns read bare through the Firebird client API
// (nothing of ours: a statement with the values written in, every row
// fetched). Prints the medians and their ratio (goal: at most 1.5), and the
// RESULT line of "rental_lookup" (BenchArgs.h) for the prefix search.
// --cabins N: N / 4 contracts of N / 8 customers, the cabins drawn out of N;
// --years is accepted and changes nothing here (the lookup reads contracts,
// not visits).
#include "../common/BenchArgs.h"
#include "Tbervisszfm.h"
#include "db/Database.h"
#include "rental/ContractSearch.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"

#include <firebird/Interface.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char* const kFirst[] = {"Kovács", "Szabó", "Tóth", "Nagy", "Horváth", "Varga", "Kiss", "Molnár", "Németh",
                              "Farkas", "Balogh", "Papp", "Takács", "Juhász", "Lakatos", "Mészáros", "Oláh", "Simon",
                              "Rácz", "Fekete", "Szilágyi", "Török", "Fehér", "Balázs", "Gál", "Kis", "Szűcs", "Kocsis",
                              "Orsós", "Pintér", "Fodor", "Szalai", "Sipos", "Magyar", "Lukács", "Gulyás", "Biró",
                              "Király", "Balog", "László", "Bogdán", "Jakab", "Katona", "Sándor", "Váradi", "Boros",
                              "Fazekas", "Kelemen", "Antal", "Orosz", "Somogyi", "Fülöp", "Veres", "Budai", "Vincze",
                              "Hegedűs", "Deák", "Pap", "Bálint", "Illés", "Pál", "Vass", "Szőke", "Fábián", "Vörös",
                              "Lengyel", "Bodnár", "Ősz", "Ürge", "Csizmadia", "Cseh", "Zsigmond", "Erdős", "Éles"};
const char* const kTrade[] = {"Építő", "Mélyépítő", "Rendezvényszervező", "Útépítő", "Kertészet", "Bontási",
                              "Tetőfedő", "Csőszerelő", "Ingatlanfejlesztő", "Sportegyesület", "Fesztivál"};
const char* const kForm[] = {"Kft.", "Bt.", "Zrt.", "Kkt."};
const char* const kCities[][2] = {{"1117", "Budapest"}, {"2000", "Szentendre"}, {"2030", "Érd"}, {"2040", "Budaörs"},
                                  {"2100", "Gödöllő"}, {"3525", "Miskolc"}, {"4025", "Debrecen"}, {"6720", "Szeged"}};
int kCabins = 8000; // the cabins drawn from; --cabins sets it

QString day(std::mt19937& rnd) {
    const QDate d = QDate(2024, 1, 1).addDays(int(rnd() % 1000));
    return d.toString(QStringLiteral("yyyy.MM.dd"));
}

void generate(vl::db::Connection& conn, int customers, int contracts) {
    std::mt19937 rnd(20261210);
    auto tx = conn.begin();
    auto cu = tx->prepare(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, IRSZAM, VAROS, UTCA, AKTIV) VALUES (:kod, :nev,"
                                         " :irszam, :varos, :utca, 'I')"));
    auto si = tx->prepare(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:kod,"
                                         " :u, :nev, :irszam, :varos, :utca)"));
    std::vector<std::pair<int, int>> sites; // (customer, site)
    int site = 0;
    for (int i = 1; i <= customers; ++i) {
        const auto& city = kCities[rnd() % 8];
        cu->bindAll({{"kod", QString::number(i)},
                     {"nev", QStringLiteral("%1 %2 %3 %4")
                                 .arg(QString::fromUtf8(kFirst[rnd() % (sizeof kFirst / sizeof *kFirst)]),
                                      QString::fromUtf8(kTrade[rnd() % (sizeof kTrade / sizeof *kTrade)]))
                                 .arg(i)
                                 .arg(QString::fromUtf8(kForm[rnd() % 4]))},
                     {"irszam", QString::fromUtf8(city[0])},
                     {"varos", QString::fromUtf8(city[1])},
                     {"utca", QStringLiteral("Fő utca %1.").arg(i % 200 + 1)}});
        cu->execute();
        const int n = 1 + int(rnd() % 2);
        for (int s = 0; s < n; ++s) {
            ++site;
            si->bindAll({{"kod", QString::number(100000 + site)},
                         {"u", QString::number(i)},
                         {"nev", QStringLiteral("Projekt %1").arg(site)},
                         {"irszam", QString::fromUtf8(city[0])},
                         {"varos", QString::fromUtf8(city[1])},
                         {"utca", QStringLiteral("Ipar utca %1.").arg(site % 300 + 1)}});
            si->execute();
            sites.push_back({i, 100000 + site});
        }
    }
    for (int k = 1; k <= kCabins; ++k)
        tx->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'SZA')"),
                 {{"k", QString::number(k)}});
    auto fe = tx->prepare(QStringLiteral(
        "INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, STVALTKELT, BERKEZD, BERVEG, UGYFELKOD,"
        " UGYFELCIM, SZERZODES, KOMMENT, JUZER, MIKOR) VALUES (:b, 1, 'I', :st, :bm, 'ATU', :kezd, :kezd, :veg, :u, :c,"
        " :sz, :komment, 'BENCH', '2026.01.01 08:00:00')"));
    auto so = tx->prepare(QStringLiteral(
        "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, NETTOAR, KISZALL, SOFORKOD)"
        " VALUES (:b, 1, 1, :cs, :m, 0, 12000, :kezd, :sofor)"));
    auto ka = tx->prepare(QStringLiteral(
        "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALL) VALUES (:b, 1, 1, :s, :a,"
        " :kezd, :vsz)"));
    static const char* const modes[] = {"HT", "HT", "HT", "HO", "ALK"};
    static const char* const statuses[] = {"FO", "FO", "FO", "FO", "FO", "FO", "LEZ", "LEZ", "LEZ", "X"};
    static const char* const groups[] = {"ALAP", "ALAP", "VIP", "AKM", "ZUH"};
    for (int b = 1; b <= contracts; ++b) {
        const auto& s = sites[rnd() % sites.size()];
        const QString kezd = day(rnd);
        const QString st = QString::fromLatin1(statuses[rnd() % 10]);
        const QString bm = QString::fromLatin1(modes[rnd() % 5]);
        fe->bindAll({{"b", b},
                     {"st", st},
                     {"bm", bm},
                     {"kezd", kezd},
                     {"veg", bm == QLatin1String("HT") ? QString(QLatin1String("")) : day(rnd)},
                     {"u", QString::number(s.first)},
                     {"c", QString::number(s.second)},
                     {"sz", QStringLiteral("IK-%1").arg(b)},
                     {"komment", b % 3 ? QString(QLatin1String("")) : QStringLiteral("Kapukód: %1").arg(b % 9000)}});
        fe->execute();
        const int items = 1 + int(rnd() % 3);
        so->bindAll({{"b", b}, {"cs", QString::fromLatin1(groups[rnd() % 5])}, {"m", items}, {"kezd", kezd},
                     {"sofor", QStringLiteral("S%1").arg(rnd() % 3 + 1)}});
        so->execute();
        for (int i = 1; i <= items; ++i) {
            ka->bindAll({{"b", b}, {"s", i}, {"a", QString::number(1 + rnd() % kCabins)}, {"kezd", kezd},
                         {"vsz", st == QLatin1String("FO") ? QString(QLatin1String("")) : kezd}});
            ka->execute();
        }
    }
    tx->commit();
}

// --- the bare client API ---
using namespace Firebird;

struct Bare {
    IMaster* master = fb_get_master_interface();
    IStatus* raw = master->getStatus();
    ThrowStatusWrapper st{raw};
    IProvider* prov = nullptr;
    IAttachment* att = nullptr;
    explicit Bare(const QString& path) {
        prov = master->getDispatcher();
        IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
        dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
        const QByteArray name = path.toUtf8();
        att = prov->attachDatabase(&st, name.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
        dpb->dispose();
    }
    ~Bare() {
        att->detach(&st);
        prov->release();
        raw->dispose();
    }
    // Runs a statement without parameters, fetching every row; returns the rows.
    int fetchAll(const QByteArray& sql) {
        ITransaction* tra = att->startTransaction(&st, 0, nullptr);
        IStatement* stmt = att->prepare(&st, tra, 0, sql.constData(), 3, IStatement::PREPARE_PREFETCH_METADATA);
        IMessageMetadata* out = stmt->getOutputMetadata(&st);
        std::vector<unsigned char> outBuf(out->getMessageLength(&st));
        IResultSet* rs = stmt->openCursor(&st, tra, nullptr, nullptr, out, 0);
        int n = 0;
        while (rs->fetchNext(&st, outBuf.data()) == IStatus::RESULT_OK) ++n;
        rs->close(&st);
        out->release();
        stmt->free(&st);
        tra->commit(&st);
        return n;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The list's columns and joins with the values written in.
const QByteArray kBareSelect =
    "SELECT F.BIZONYLAT, F.STATUS, F.VERZIO, F.BERKEZD, F.BERVEG, F.LASTPRINT, F.KOMMENT, F.STATUSELOZO, F.BERMOD, "
    "F.UGYFELKOD, F.UGYFELCIM, U.NEV UGYFEL, C.NEV CIMNEV, C.IRSZAM, C.VAROS, C.UTCA, "
    "S.NEV STATUSZ, S.SZIN, S.MODOSITHATO, F.RDB$RECORD_VERSION RV ";
const QByteArray kBareJoins =
    "LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM "
    "JOIN SZ_STATUSR S ON S.KOD = F.STATUS WHERE F.AKTIV = 'I' AND F.BERMOD IN ('ALK', 'HT', 'HO') "
    "AND (F.STATUS || '') IN ('FO', 'LEZ', 'X') ";

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int contracts = 50000, customers = 20000, rounds = 7;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--customers") && i + 1 < args.size()) customers = args[++i].toInt();
        else if (args[i] == QStringLiteral("--rounds") && i + 1 < args.size()) rounds = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    if (sizes.sized()) {
        contracts = sizes.contracts(contracts);
        customers = std::max(1, contracts / 2);
        kCabins = sizes.cabins;
    }
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    QDir().mkpath(dir);
    const QString path = QDir(dir).absoluteFilePath(QStringLiteral("lookup.fdb"));
    if (!QFile::exists(path)) {
        QElapsedTimer t;
        t.start();
        vl::db::ConnectParams p;
        p.database = path;
        auto conn = vl::db::createFirebirdDatabase(p);
        vl::rental::Schema::upgrade(*conn);
        {
            auto tx = conn->begin();
            vl::rental::Seeds::apply(*tx, QStringLiteral("2026"));
            tx->commit();
        }
        generate(*conn, customers, contracts);
        conn->close();
        say(QStringLiteral("Generálva: %1 szerződés, %2 ügyfél (%3 s)").arg(contracts).arg(customers)
                .arg(t.elapsed() / 1000.0, 0, 'f', 1));
    }
    QFile ini(QDir(dir).absoluteFilePath(QStringLiteral("PKR.INI")));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    ini.write((QStringLiteral("DBSERVER=") + path + QStringLiteral("\r\nWPWD=NONE\r\n")).toLatin1());
    ini.close();
    QDir::setCurrent(dir);
    vl::shell::IniClear();
    vl::shell::IniLoad(QStringLiteral("PKR.INI"), true);
    auto& dm = vl::shell::dm();
    if (!dm.ConnectDatabase()) return 1;

    vl::rental::Tbervisszfm form;
    if (!form.FormShow()) return 1;
    Bare bare(path);

    struct Search {
        QString name;
        std::function<void()> set;
        QByteArray bareSql;
    };
    const QList<Search> searches = {
        {QStringLiteral("Betöltés, minden bejelölve"), [&] {}, kBareSelect + "FROM FORGFEJ F LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD " + kBareJoins +
             "ORDER BY U.NEV, F.BERKEZD, F.BIZONYLAT"},
        {QStringLiteral("Partner előtag \"kov\""), [&] { form.e_ugyfel->setText(QStringLiteral("kov")); },
         kBareSelect + "FROM UGYFEL U LEFT JOIN FORGFEJ F ON F.UGYFELKOD = U.KOD " + kBareJoins +
             "AND (U.NEV COLLATE UNICODE_CI_AI) STARTING WITH 'kov' ORDER BY U.NEV, F.BERKEZD, F.BIZONYLAT"},
        {QStringLiteral("Kabinszám \"4321\""), [&] { form.e_kabin->setText(QStringLiteral("4321")); },
         kBareSelect +
             "FROM FORGFEJ F JOIN (SELECT DISTINCT KK.BIZONYLAT, KK.VERZIO FROM FORGKABIN KK WHERE KK.ARUKOD = '4321') KB "
             "ON KB.BIZONYLAT = F.BIZONYLAT AND KB.VERZIO = F.VERZIO LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD " +
             kBareJoins +
             "ORDER BY U.NEV, F.BERKEZD, F.BIZONYLAT"},
    };
    bool allOk = true;
    for (const Search& s : searches) {
        form.e_ugyfel->clear();
        form.e_kabin->clear();
        s.set();
        std::vector<double> ours, theirs;
        int rowsOurs = 0, rowsBare = 0;
        for (int r = 0; r <= rounds; ++r) {
            QElapsedTimer t;
            t.start();
            form.b_keresClick();
            const double a = t.nsecsElapsed() / 1e6;
            rowsOurs = form.model()->rowCount();
            t.restart();
            rowsBare = bare.fetchAll(s.bareSql);
            const double b = t.nsecsElapsed() / 1e6;
            if (r == 0) continue; // warm-up
            ours.push_back(a);
            theirs.push_back(b);
        }
        const double o = median(ours), b = median(theirs);
        const double ratio = b > 0 ? o / b : 0;
        allOk = allOk && ratio <= 1.5 && rowsOurs == rowsBare;
        if (&s == &searches[1]) vl::bench::printResult(QStringLiteral("rental_lookup"), rowsOurs, o / 1000.0, b / 1000.0);
        say(QStringLiteral("%1: %2 sor; Betöltés a rács modelljébe %3 ms, puszta SELECT %4 ms (%5 sor), arány %6")
                .arg(s.name)
                .arg(rowsOurs)
                .arg(o, 0, 'f', 1)
                .arg(b, 0, 'f', 1)
                .arg(rowsBare)
                .arg(ratio, 0, 'f', 2));
    }
    dm.disconnect();
    say(allOk ? QStringLiteral("Cél (legfeljebb 1,5x) teljesül.") : QStringLiteral("Cél (legfeljebb 1,5x) NEM teljesül."));
    return allOk ? 0 : 1;
}
