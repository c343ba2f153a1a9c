#include "rental/DemoData.h"
#include "rental/ScheduleDemo.h"

#include "rental/ContractStore.h"
#include "customers/CustomerService.h"
#include "rental/ProductStore.h"
#include "db/TxScope.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace vl::rental {

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

using vl::customers::Customer;
using vl::customers::CustomerService;
using vl::customers::Site;

// The demo customers and sites pass the register's checks as typed ones do.
void demoStored(const vl::customers::StoreResult& r, const QString& what) {
    if (!r.ok)
        throw vl::RuleRefusal(QStringLiteral("A(z) %1 bemutató adatai hibásak: %2").arg(what, r.errors.join(QStringLiteral("; "))),
                              QStringLiteral("DemoData::create"));
}

struct DemoCustomer {
    const char* nev;
    const char* irszam;
    const char* varos;
    const char* utca;
    const char* telefon;
    const char* fizmod;
    const char* adoszam;
    // Sites: name, postal code, city, street, contact, phone ("" name = no site)
    const char* sites[2][6];
};

const DemoCustomer kCustomers[] = {
    {"Alfa Építő Kft.", "1117", "Budapest", "Irinyi József utca 4.", "+36 1 555 0101", "KP", "12345678-2-43",
     {{"Irinyi lakópark", "1117", "Budapest", "Infopark sétány 3.", "Szabó Péter", "+36 30 555 0101"},
      {"Lágymányosi híd felújítás", "1117", "Budapest", "Dombóvári út 1.", "Kiss Anna", "+36 30 555 0102"}}},
    {"Béta Rendezvényszervező Bt.", "2000", "Szentendre", "Dunakorzó 12.", "+36 26 555 0201", "ATU", "23456789-1-13",
     {{"Nyári fesztivál", "2000", "Szentendre", "Pap-sziget", "Horváth Gergely", "+36 20 555 0201"},
      {"", "", "", "", "", ""}}},
    {"Gamma Útépítő Zrt.", "2040", "Budaörs", "Szabadság út 117.", "+36 23 555 0301", "ATU", "34567890-2-13",
     {{"M1 csomópont", "2040", "Budaörs", "Kamaraerdei út", "Varga László", "+36 30 555 0301"},
      {"Budaörsi kerékpárút", "2040", "Budaörs", "Ifjúság utca 2.", "Molnár Éva", "+36 30 555 0302"}}},
    {"Delta Mélyépítő Kft.", "2030", "Érd", "Budai út 22.", "+36 23 555 0401", "KP", "45678901-2-13",
     {{"Érdi csatornázás", "2030", "Érd", "Szent István utca 40.", "Farkas Tamás", "+36 20 555 0401"},
      {"", "", "", "", "", ""}}},
    {"Epszilon Lakásszövetkezet", "1138", "Budapest", "Váci út 152.", "+36 1 555 0501", "ELO", "56789012-1-41",
     {{"Homlokzatfelújítás", "1138", "Budapest", "Népfürdő utca 22.", "Balogh Judit", "+36 70 555 0501"},
      {"", "", "", "", "", ""}}},
    {"Zéta Sportegyesület", "2100", "Gödöllő", "Táncsics Mihály utca 5.", "+36 28 555 0601", "KP", "",
     {{"Sportpálya", "2100", "Gödöllő", "Kazinczy körút 1.", "Papp Zsolt", "+36 30 555 0601"},
      {"", "", "", "", "", ""}}},
    {"Éta Ács- és Tetőfedő Kft.", "6000", "Kecskemét", "Rákóczi út 3.", "+36 76 555 0701", "ATU", "67890123-2-03",
     {{"Csarnoképítés", "6000", "Kecskemét", "Kiskőrösi út 30.", "Lakatos Ferenc", "+36 30 555 0701"},
      {"", "", "", "", "", ""}}},
    {"Théta Kertészet Bt.", "6720", "Szeged", "Kárász utca 8.", "+36 62 555 0801", "KP", "78901234-1-06",
     {{"Füvészkert", "6720", "Szeged", "Lövölde út 42.", "Németh Ildikó", "+36 20 555 0801"},
      {"", "", "", "", "", ""}}},
    {"Ióta Bontási Kft.", "1152", "Budapest", "Szentmihályi út 131.", "+36 1 555 0901", "KP", "89012345-2-42",
     {{"Rákospalotai bontás", "1152", "Budapest", "Régi Fóti út 77.", "Oláh Gábor", "+36 30 555 0901"},
      {"Újpesti raktár", "1037", "Budapest", "Bécsi út 271.", "Simon Márta", "+36 30 555 0902"}}},
    {"Kappa Csőszerelő Kft.", "3525", "Miskolc", "Széchenyi utca 20.", "+36 46 555 1001", "ATU", "90123456-2-05",
     {{"Gyártelep", "3525", "Miskolc", "Vasgyári út 9.", "Fekete Imre", "+36 30 555 1001"},
      {"", "", "", "", "", ""}}},
    {"Lambda Fesztivál Kft.", "8230", "Balatonfüred", "Tagore sétány 1.", "+36 87 555 1101", "ELO", "01234567-2-19",
     {{"Vitorlás napok", "8230", "Balatonfüred", "Zákonyi Ferenc utca 2.", "Kozma Dóra", "+36 20 555 1101"},
      {"", "", "", "", "", ""}}},
    {"Mű Hídépítő Zrt.", "2400", "Dunaújváros", "Vasmű út 41.", "+36 25 555 1201", "ATU", "11223344-2-07",
     {{"Pentele híd karbantartás", "2400", "Dunaújváros", "Duna-part", "Kelemen Ákos", "+36 30 555 1201"},
      {"", "", "", "", "", ""}}},
    {"Nű Ingatlanfejlesztő Kft.", "4025", "Debrecen", "Piac utca 51.", "+36 52 555 1301", "KP", "22334455-2-09",
     {{"Lakópark II. ütem", "4025", "Debrecen", "Hatvan utca 1.", "Bodnár Lili", "+36 30 555 1301"},
      {"Irodaház", "4025", "Debrecen", "Simonffy utca 4.", "Bodnár Lili", "+36 30 555 1301"}}},
    {"Kszí Vasútépítő Kft.", "7621", "Pécs", "Király utca 10.", "+36 72 555 1401", "ATU", "33445566-2-02",
     {{"Állomásfelújítás", "7621", "Pécs", "Indóház tér 1.", "Major Bence", "+36 30 555 1401"},
      {"", "", "", "", "", ""}}},
    {"Omikron Kulturális Egyesület", "9021", "Győr", "Baross Gábor út 20.", "+36 96 555 1501", "KP", "",
     {{"Városi majális", "9021", "Győr", "Radó-sziget", "Vincze Réka", "+36 20 555 1501"},
      {"", "", "", "", "", ""}}},
    {"Pí Festő Bt.", "8000", "Székesfehérvár", "Fő utca 1.", "+36 22 555 1601", "KP", "44556677-1-07",
     {{"Iskola festése", "8000", "Székesfehérvár", "Budai út 45.", "Orosz Máté", "+36 30 555 1601"},
      {"", "", "", "", "", ""}}},
    {"Ró Térkövező Kft.", "1211", "Budapest", "II. Rákóczi Ferenc út 60.", "+36 1 555 1701", "ATU", "55667788-2-43",
     {{"Csepeli park", "1211", "Budapest", "Szent Imre tér 3.", "Pintér Noémi", "+36 30 555 1701"},
      {"", "", "", "", "", ""}}},
    {"Szigma Villanyszerelő Kft.", "1037", "Budapest", "Bécsi út 100.", "+36 1 555 1801", "KP", "66778899-2-41",
     {{"Óbudai trafóház", "1037", "Budapest", "Zay utca 24.", "Hegedűs Ádám", "+36 30 555 1801"},
      {"", "", "", "", "", ""}}},
    {"Tau Magasépítő Zrt.", "1117", "Budapest", "Október huszonharmadika utca 8.", "+36 1 555 1901", "ATU",
     "77889900-2-43",
     {{"Kopaszi irodaház", "1117", "Budapest", "Hengermalom út 19.", "Szűcs Levente", "+36 30 555 1901"},
      {"Albertfalvi raktárcsarnok", "1117", "Budapest", "Fehérvári út 120.", "Szűcs Levente", "+36 30 555 1901"}}},
    {"Üpszilon Szabadidő Kft.", "2100", "Gödöllő", "Dózsa György út 1.", "+36 28 555 2001", "ELO", "88990011-2-13",
     {{"Strand", "2100", "Gödöllő", "Blaha Lujza utca 1.", "Illés Kata", "+36 20 555 2001"},
      {"", "", "", "", "", ""}}},
    {"Fí Gépészeti Kft.", "9021", "Győr", "Árpád út 30.", "+36 96 555 2101", "KP", "99001122-2-08",
     {{"Ipari park", "9021", "Győr", "Kandó Kálmán utca 2.", "Csonka Róbert", "+36 30 555 2101"},
      {"", "", "", "", "", ""}}},
    {"Khí Parkfenntartó Kft.", "6000", "Kecskemét", "Kossuth tér 1.", "+36 76 555 2201", "ATU", "10203040-2-03",
     {{"Arborétum", "6000", "Kecskemét", "Nyíri út 36.", "Gulyás Emese", "+36 30 555 2201"},
      {"", "", "", "", "", ""}}},
    {"Pszí Építőipari Bt.", "3525", "Miskolc", "Kossuth utca 11.", "+36 46 555 2301", "KP", "20304050-1-05",
     {{"Családi ház", "3525", "Miskolc", "Arany János utca 5.", "Antal Csaba", "+36 30 555 2301"},
      {"", "", "", "", "", ""}}},
    {"Ómega Vendéglátó Kft.", "8230", "Balatonfüred", "Blaha Lujza utca 4.", "+36 87 555 2401", "KP", "30405060-2-19",
     {{"Borhét", "8230", "Balatonfüred", "Esterházy strand", "Katona Bálint", "+36 20 555 2401"},
      {"", "", "", "", "", ""}}},
    {"Öntöző és Csatorna Kft.", "4025", "Debrecen", "Csapó utca 30.", "+36 52 555 2501", "ATU", "40506070-2-09",
     {{"Nagyerdei gerincvezeték", "4025", "Debrecen", "Pallagi út 2.", "Tóth Emőke", "+36 30 555 2501"},
      {"", "", "", "", "", ""}}},
};

struct DemoGroup { const char* csop; int first; int count; };
// Cabin numbers 101 .. 180 in four product groups.
const DemoGroup kGroups[] = {{"ALAP", 101, 35}, {"VIP", 136, 20}, {"AKM", 156, 10}, {"ZUH", 166, 15}};

struct DemoDriver { const char* kod; const char* nev; };
const DemoDriver kDrivers[] = {{"S01", "Kovács István"}, {"S02", "Nagy Gábor"}, {"S03", "Tóth Zoltán"}};

struct DemoLine {
    const char* csop;
    int mennyiseg;
    int assigned;       // how many items get a product now (the rest "*")
    const char* unit;   // rental unit
    int bermenny;
    qint64 nettoar;
    const char* pattern;
    int periodus;
    const char* driver;
};

struct DemoContract {
    int customer;       // index into kCustomers
    int site;           // 0 or 1
    const char* bermod;
    const char* fizmod;
    int startOffset;    // days from today
    int endOffset;      // days from today; 0 = open-ended
    const char* szerzodes;
    const char* komment;
    DemoLine lines[2];
    int lineCount;
};

const DemoContract kContracts[] = {
    // Open-ended, cash, weekly units
    {0, 0, "HT", "KP", -90, 0, "AE-2024/17", "Kapukód: 1234",
     {{"ALAP", 3, 3, "Hét", 1, 12000, "1000100", 1, "S01"}, {"VIP", 1, 1, "Hét", 1, 18000, "1000100", 1, "S01"}}, 2},
    {3, 0, "HT", "KP", -45, 0, "", "Reggel 7 előtt nem lehet bejutni",
     {{"ALAP", 2, 2, "Hét", 1, 12500, "0100000", 1, "S02"}, {}}, 1},
    {5, 0, "HT", "KP", -20, 0, "ZSE-7", "",
     {{"AKM", 1, 1, "Hét", 2, 30000, "0010000", 2, "S03"}, {}}, 1},
    // Open-ended, cash, monthly units
    {12, 0, "HT", "KP", -60, 0, "NŰ/2/11", "Építésvezető: Bodnár Lili",
     {{"ALAP", 4, 4, "Hó", 1, 42000, "1010100", 1, "S02"}, {"ZUH", 1, 1, "Hó", 1, 90000, "1010100", 1, "S02"}}, 2},
    {8, 1, "HT", "KP", -10, 0, "", "",
     {{"ALAP", 2, 1, "Hó", 1, 40000, "1000000", 1, "S01"}, {}}, 1},
    // Open-ended, bank transfer
    {2, 0, "HT", "ATU", -120, 0, "GU-M1-33", "Számla az építésvezetőnek",
     {{"ALAP", 5, 5, "Hó", 1, 39000, "1001000", 1, "S03"}, {"AKM", 1, 1, "Hó", 1, 65000, "1001000", 1, "S03"}}, 2},
    {18, 0, "HT", "ATU", -35, 0, "TAU-KOP", "",
     {{"VIP", 3, 3, "4Hét", 1, 52000, "0100100", 1, "S01"}, {}}, 1},
    {2, 1, "HT", "ATU", -5, 0, "", "",
     {{"ALAP", 2, 0, "Hét", 1, 11000, "0001000", 1, "S02"}, {}}, 1},
    {24, 0, "HT", "ATU", 3, 0, "ÖCS-12", "Kiszállítás egyeztetés szerint",
     {{"ALAP", 3, 0, "Hó", 1, 41000, "1000000", 1, "S03"}, {}}, 1},
    // Fixed term
    {13, 0, "HO", "ATU", -30, 60, "KSZ-ÁLL-2", "Határozott idejű, 3 hónap",
     {{"ALAP", 2, 2, "Hó", 1, 45000, "0100100", 1, "S02"}, {"ZUH", 1, 1, "Hó", 1, 95000, "0100100", 1, "S02"}}, 2},
    {21, 0, "HO", "KP", -14, 14, "", "",
     {{"VIP", 2, 2, "Hét", 1, 19000, "0000100", 1, "S01"}, {}}, 1},
    // Occasional rental (event), paid in advance
    {10, 0, "ALK", "ELO", 2, 5, "LF-VIT", "Rendezvény: 3 nap",
     {{"VIP", 4, 4, "Alk", 1, 35000, "0000000", 1, "S03"}, {"AKM", 1, 1, "Alk", 1, 45000, "0000000", 1, "S03"}}, 2},
    {1, 0, "ALK", "ATU", 10, 13, "BÉ-FESZT", "",
     {{"ALAP", 6, 0, "Alk", 1, 25000, "0000000", 1, "S02"}, {}}, 1},
    {23, 0, "ALK", "KP", -3, 1, "", "Borhét",
     {{"ALAP", 2, 2, "Alk", 1, 26000, "0000011", 1, "S01"}, {}}, 1},
    // Paid in advance, open-ended
    {4, 0, "HT", "ELO", -75, 0, "EPSZ-HF", "Negyedéves előre fizetés",
     {{"ALAP", 1, 1, "Hó", 1, 38000, "1000000", 1, "S03"}, {}}, 1},
};

} // namespace

DemoSummary DemoData::create(vl::db::Connection& conn, vl::db::Transaction* outer, const QDate& today) {
    DemoSummary sum;
    vl::db::TxScope tx(conn, outer);

    for (const auto& d : kDrivers) {
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES (:kod, :nev, 'I')"),
                 {{QStringLiteral("kod"), U(d.kod)}, {QStringLiteral("nev"), U(d.nev)}});
        ++sum.drivers;
    }

    // Customers and their sites; remember the keys the database gave them.
    QList<QStringList> siteKeys;
    QStringList customerKeys;
    for (const auto& dc : kCustomers) {
        Customer c;
        c.nev = U(dc.nev);
        c.irszam = U(dc.irszam);
        c.varos = U(dc.varos);
        c.utca = U(dc.utca);
        c.telefon = U(dc.telefon);
        c.fizmod = U(dc.fizmod);
        c.adoszam = U(dc.adoszam);
        c.lirszam = c.irszam;
        c.lvaros = c.varos;
        c.lutca = c.utca;
        c.eszamla = QString::fromLatin1(dc.fizmod) == QLatin1String("ATU") ? QStringLiteral("I") : QStringLiteral("N");
        c.kommentalt = QStringLiteral("Egyedi árak a szerződés szerint.");
        demoStored(CustomerService::storeCustomer(conn, &tx.tx(), c, vl::customers::DuplicatePolicy::Allow), c.nev);
        customerKeys << c.kod;
        ++sum.customers;
        QStringList keys;
        for (const auto& ds : dc.sites) {
            if (!ds[1][0]) continue;
            Site s;
            s.ugyfelkod = c.kod;
            s.nev = U(ds[0]);
            s.irszam = U(ds[1]);
            s.varos = U(ds[2]);
            s.utca = U(ds[3]);
            s.szemely = U(ds[4]);
            s.telefon = U(ds[5]);
            demoStored(CustomerService::storeSite(conn, &tx.tx(), s), s.nev);
            keys << s.kod;
            ++sum.sites;
        }
        siteKeys << keys;
    }

    // Cabins, all free to start with.
    QMap<QString, QStringList> freeByGroup;
    for (const auto& g : kGroups) {
        for (int i = 0; i < g.count; ++i) {
            const QString kod = QString::number(g.first + i);
            ProductStore::StoreProduct(*tx, kod, U(g.csop), ProductFree);
            freeByGroup[U(g.csop)] << kod;
            ++sum.products;
        }
    }

    // Prices of the maintenance visits from the price list (weekday / weekend).
    auto visitPrices = [&](const QString& csop) {
        std::array<qint64, 7> p{};
        const auto rs = tx->query(QStringLiteral(
            "SELECT AR, AR1, AR2, AR3, AR4, AR5, AR6, AR7 FROM SZ_TEVAR WHERE TEVKOD = 'KA' AND CSOPKOD = :csop"),
            {{QStringLiteral("csop"), csop}});
        if (rs.rowCount() == 1) {
            for (int d = 0; d < 7; ++d) {
                const qint64 day = rs.at(0, d + 1).toLongLong();
                p[size_t(d)] = day != 0 ? day : rs.at(0, 0).toLongLong();
            }
        }
        return p;
    };
    auto ymd = [&](int offset) { return today.addDays(offset).toString(QStringLiteral("yyyy.MM.dd")); };

    for (const auto& dc : kContracts) {
        const int ci = dc.customer;
        const QStringList& sites = siteKeys.at(ci);
        ContractHeader h;
        h.bermod = U(dc.bermod);
        h.fizmod = U(dc.fizmod);
        h.berkezd = ymd(dc.startOffset);
        h.berveg = dc.endOffset != 0 ? ymd(dc.endOffset) : QString();
        h.ugyfelkod = customerKeys.at(ci);
        h.ugyfelcim = sites.at(qMin(dc.site, int(sites.size()) - 1));
        h.szerzodes = U(dc.szerzodes);
        h.komment = U(dc.komment);
        QList<ContractLine> lines;
        for (int li = 0; li < dc.lineCount; ++li) {
            const DemoLine& dl = dc.lines[li];
            ContractLine l;
            l.arucsoport = U(dl.csop);
            l.mennyiseg = dl.mennyiseg;
            l.bermenny = dl.bermenny;
            l.bermegyseg = U(dl.unit);
            l.nettoar = dl.nettoar;
            l.minimalar = dl.nettoar / 2;
            l.karertek = -1; // the group's damage value
            l.kiszall = h.berkezd;
            l.vszall = h.berveg;
            l.hkszcspszv = U(dl.pattern);
            l.periodus = dl.periodus;
            l.soforkod = U(dl.driver);
            const auto prices = visitPrices(l.arucsoport);
            for (int d = 0; d < 7; ++d)
                l.karbar[size_t(d)] = l.hkszcspszv.at(d) != QLatin1Char('0') ? prices[size_t(d)] : 0;
            QStringList& pool = freeByGroup[l.arucsoport];
            for (int k = 0; k < dl.assigned && !pool.isEmpty(); ++k) l.products << pool.takeFirst();
            lines << l;
        }
        ContractStore::StoreNewContract(*tx, h, lines, QStringLiteral("DEMO"));
        ++sum.contracts;
    }
    GenerateDemoSchedules(*tx);
    tx.commit();
    return sum;
}

} // namespace vl::rental
