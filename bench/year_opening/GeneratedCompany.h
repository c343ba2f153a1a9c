#pragma once
// The generated company of the benchmarks: N running open-ended contracts with
// four cabins each, weekly patterns of one to three visits (a tenth of them
// every second week), a third paid in cash (monthly and weekly billing),
// deliveries spread over 2026, drivers S0..S6; and the year's schedule and
// billing as the contract form leaves them; and, for --years N, N years of
// visits and billing behind the current one, done and paid.
//
// The defaults produce the company the benchmarks have always measured. A
// bench given --cabins (bench/common/BenchArgs.h) opts into the office-like
// customers: generateCustomers(conn, contracts, CustomerSpread::Office).
#include "../common/BenchArgs.h"
#include "db/Database.h"
#include "rental/Billing.h"
#include "rental/Schedule.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace vl::bench {

using namespace vl::rental;

// A new database file with the program's schema (the modules handed in by
// joinProgramSchema before) and the seeds of 2026.
inline std::unique_ptr<vl::db::Connection> createGeneratedDatabase(const QString& path) {
    vl::db::ConnectParams p;
    p.database = path;
    auto conn = vl::db::createFirebirdDatabase(p);
    vl::rental::Schema::upgrade(*conn);
    auto tx = conn->begin();
    vl::rental::Seeds::apply(*tx, QStringLiteral("2026"));
    tx->commit();
    return conn;
}

// Headers, lines and items in one transaction.
inline void generateCompany(vl::db::Connection& conn, int contracts) {
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
inline void generateCurrentYear(vl::db::Connection& conn, int contracts) {
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

// How the contracts are spread over the customers.
enum class CustomerSpread {
    Even,   // 1,000 customers with two sites each, contract b at site (7b mod 2,000)
    Office, // contracts / 2 customers: most with one or two contracts at one or two
            // sites, a few large ones with many contracts (a Zipf-like spread)
};

// How many contracts each customer holds under CustomerSpread::Office: every
// customer one, the other half of the contracts drawn by weight 1 / rank^1.1
// (fixed seed). For 2,500 contracts: 1,250 customers, nine in ten with one or
// two contracts, ten with 20 or more, the largest with about 200; for 25,000
// the largest holds about 1,900.
inline std::vector<int> officeContractsPerCustomer(int contracts) {
    const int customers = std::max(1, contracts / 2);
    std::vector<int> n(customers, 1);
    std::vector<double> cumulative(customers);
    double sum = 0;
    for (int r = 0; r < customers; ++r) cumulative[r] = sum += 1.0 / std::pow(r + 1.0, 1.1);
    std::mt19937 rnd(20261211);
    std::uniform_real_distribution<double> u(0.0, sum);
    for (int left = contracts - customers; left > 0; --left) {
        const auto it = std::lower_bound(cumulative.begin(), cumulative.end(), u(rnd));
        ++n[std::min<int>(int(it - cumulative.begin()), customers - 1)];
    }
    return n;
}

namespace detail {

inline void evenCustomers(vl::db::Transaction& tx, int contracts) {
    auto u = tx.prepare(QStringLiteral("INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, AKTIV) VALUES (:n, '1011', 'Budapest',"
                                       " 'Fő utca 1.', 'I') RETURNING KOD"));
    auto c = tx.prepare(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, KOMMENT) VALUES (:u, :n,"
                                       " :i, 'Budapest', :s, 'Kapukód 12') RETURNING KOD"));
    QStringList custs, sites;
    for (int i = 0; i < 1000; ++i) {
        u->bind(QStringLiteral("n"), QStringLiteral("Ügyfél %1 Kft.").arg(i, 4, 10, QLatin1Char('0')));
        const QString k = u->open().at(0, 0).toString();
        for (int s = 0; s < 2; ++s) {
            c->bind(QStringLiteral("u"), k);
            c->bind(QStringLiteral("n"), QStringLiteral("Telephely %1").arg(s));
            c->bind(QStringLiteral("i"), QString::number(1011 + (i * 2 + s) % 200));
            c->bind(QStringLiteral("s"), QStringLiteral("Utca %1.").arg(i * 2 + s));
            custs << k;
            sites << c->open().at(0, 0).toString();
        }
    }
    auto f = tx.prepare(QStringLiteral("UPDATE FORGFEJ SET UGYFELKOD = :u, UGYFELCIM = :c WHERE BIZONYLAT = :b"));
    for (int b = 1; b <= contracts; ++b) {
        const int s = (b * 7) % sites.size();
        f->bind(QStringLiteral("u"), custs.at(s));
        f->bind(QStringLiteral("c"), sites.at(s));
        f->bind(QStringLiteral("b"), b);
        f->execute();
    }
}

inline void officeCustomers(vl::db::Transaction& tx, int contracts) {
    static const char* const family[] = {"Kovács", "Szabó", "Tóth", "Nagy", "Horváth", "Varga", "Kiss", "Molnár",
                                         "Németh", "Farkas", "Balogh", "Papp", "Takács", "Juhász", "Lakatos",
                                         "Mészáros", "Oláh", "Simon", "Rácz", "Fekete", "Szilágyi", "Török", "Fehér",
                                         "Gál", "Szűcs", "Kocsis", "Pintér", "Fodor", "Sipos", "Lukács", "Gulyás",
                                         "Király", "Katona", "Sándor", "Boros", "Fazekas", "Antal", "Orosz", "Vincze",
                                         "Hegedűs", "Deák", "Bálint", "Illés", "Vass", "Szőke", "Vörös", "Ősz", "Éles"};
    static const char* const trade[] = {"Építő", "Mélyépítő", "Rendezvényszervező", "Útépítő", "Kertészet",
                                        "Bontási", "Tetőfedő", "Csőszerelő", "Ingatlanfejlesztő", "Fesztivál"};
    static const char* const form[] = {"Kft.", "Bt.", "Zrt.", "Kkt."};
    static const char* const cities[][2] = {{"1117", "Budapest"}, {"2000", "Szentendre"}, {"2030", "Érd"},
                                            {"2040", "Budaörs"},  {"2100", "Gödöllő"},    {"3525", "Miskolc"},
                                            {"4025", "Debrecen"}, {"6720", "Szeged"}};
    const std::vector<int> held = officeContractsPerCustomer(contracts);
    std::mt19937 rnd(20261212);
    auto u = tx.prepare(QStringLiteral("INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, AKTIV) VALUES (:n, :i, :v, :s, 'I')"
                                       " RETURNING KOD"));
    auto c = tx.prepare(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, KOMMENT) VALUES (:u, :n,"
                                       " :i, :v, :s, 'Kapukód 12') RETURNING KOD"));
    // One (customer, site) per contract, then shuffled over the contract numbers.
    std::vector<std::pair<QString, QString>> places;
    places.reserve(contracts);
    int street = 0;
    for (int i = 0; i < int(held.size()); ++i) {
        const auto& city = cities[rnd() % 8];
        const QString name = QStringLiteral("%1 %2 %3 %4")
                                 .arg(QString::fromUtf8(family[rnd() % (sizeof family / sizeof *family)]),
                                      QString::fromUtf8(trade[rnd() % (sizeof trade / sizeof *trade)]))
                                 .arg(i + 1)
                                 .arg(QString::fromUtf8(form[rnd() % 4]));
        u->bindAll({{QStringLiteral("n"), name}, {QStringLiteral("i"), QString::fromUtf8(city[0])},
                    {QStringLiteral("v"), QString::fromUtf8(city[1])},
                    {QStringLiteral("s"), QStringLiteral("Fő utca %1.").arg(i % 200 + 1)}});
        const QString k = u->open().at(0, 0).toString();
        // One or two sites for a small customer, one per three contracts for a large one.
        const int n = held[i];
        const int siteCount = n <= 2 ? 1 + int(rnd() % 2) : std::max(2, (n + 2) / 3);
        QStringList sites;
        for (int s = 0; s < siteCount; ++s) {
            ++street;
            c->bindAll({{QStringLiteral("u"), k}, {QStringLiteral("n"), QStringLiteral("Telephely %1").arg(s + 1)},
                        {QStringLiteral("i"), QString::fromUtf8(city[0])}, {QStringLiteral("v"), QString::fromUtf8(city[1])},
                        {QStringLiteral("s"), QStringLiteral("Ipar utca %1.").arg(street)}});
            sites << c->open().at(0, 0).toString();
        }
        for (int j = 0; j < n; ++j) places.push_back({k, sites.at(j % sites.size())});
    }
    std::shuffle(places.begin(), places.end(), rnd);
    auto f = tx.prepare(QStringLiteral("UPDATE FORGFEJ SET UGYFELKOD = :u, UGYFELCIM = :c WHERE BIZONYLAT = :b"));
    for (int b = 1; b <= contracts; ++b) {
        f->bind(QStringLiteral("u"), places.at(b - 1).first);
        f->bind(QStringLiteral("c"), places.at(b - 1).second);
        f->bind(QStringLiteral("b"), b);
        f->execute();
    }
}

} // namespace detail

// Customers, sites and drivers S0..S6 for the generated contracts 1..contracts;
// CustomerSpread::Even (the default) as it always was, CustomerSpread::Office
// as above. The drivers are written over any of the same code already there.
inline void generateCustomers(vl::db::Connection& conn, int contracts, CustomerSpread spread = CustomerSpread::Even) {
    auto tx = conn.begin();
    for (int d = 0; d < 7; ++d)
        tx->exec(spread == CustomerSpread::Even
                     ? QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES (:k, :n, 'I')")
                     : QStringLiteral("UPDATE OR INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES (:k, :n, 'I') MATCHING (KOD)"),
                 {{QStringLiteral("k"), QStringLiteral("S%1").arg(d)}, {QStringLiteral("n"), QStringLiteral("Sofőr %1").arg(d)}});
    if (spread == CustomerSpread::Even) detail::evenCustomers(*tx, contracts);
    else detail::officeCustomers(*tx, contracts);
    tx->commit();
}

// The spread a bench uses: the office's when it was given --cabins.
inline CustomerSpread spreadFor(const BenchArgs& a) { return a.sized() ? CustomerSpread::Office : CustomerSpread::Even; }

// `years` years of history behind the current year: the current year's visits
// and billing periods copied into each earlier year (the same contracts and
// days, the year put back), every one done or paid. Run after generateCurrentYear.
inline void generateHistory(vl::db::Connection& conn, int years) {
    for (int y = 1; y <= years; ++y) {
        auto tx = conn.begin();
        const vl::db::Params p{{QStringLiteral("n"), y}};
        const QString shifted = QStringLiteral(
            "CAST(CAST(SUBSTRING(DATUM FROM 1 FOR 4) AS INTEGER) - CAST(:n AS INTEGER) AS VARCHAR(4)) || SUBSTRING(DATUM FROM 5)");
        const QString current = QStringLiteral(" WHERE DATUM STARTING WITH '2026'");
        tx->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                                " ARUKOD, TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT)"
                                " SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ") + shifted +
                     QStringLiteral(", TEVSORSZAM, TEVKOD, ARUKOD, 'E', SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT"
                                    " FROM FORGTEV") + current,
                 p);
        tx->exec(QStringLiteral("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO,"
                                " TEVALLAPOT, TEVKOD, SOFORKOD) SELECT BIZONYLAT, VERZIO, ") + shifted +
                     QStringLiteral(", TEVSORSZAM, CAST(CAST(SUBSTRING(DATUM2 FROM 1 FOR 4) AS INTEGER) - CAST(:n AS INTEGER) AS VARCHAR(4))"
                                    " || SUBSTRING(DATUM2 FROM 5), NETTO, BRUTTO, 'E', TEVKOD, SOFORKOD FROM FORGFIZ") +
                     current,
                 p);
        tx->commit();
    }
}

} // namespace vl::bench
