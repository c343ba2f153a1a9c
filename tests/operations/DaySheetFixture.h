#pragma once
// A small company for the day sheet's tests, made by the store routines:
// customers and sites, contracts stored by ContractStore, their deliveries,
// take-backs and weekly visits by the schedule generator, cash billing by
// GenerateBilling. Each case of the folding table has a customer of its own,
// so its lines can be picked out of one sheet of the day.
#include "../rental/RentalTestDb.h"
#include "operations/OperationsSchema.h"
#include "rental/Billing.h"
#include "rental/ContractStore.h"
#include "rental/ProductStore.h"
#include "rental/Schedule.h"

#include <QHash>
#include <QtTest>

namespace vl::operations::test {

using namespace vl::rental;

// The sheet's day: a Monday.
inline const QString kDay = QStringLiteral("2026.05.04");

struct Site {
    QString customer;
    QString site;
};

class Company {
public:
    vl::rental::test::TestDb db;
    QHash<QString, Site> sites;              // by case name
    QHash<QString, QList<qint64>> contracts; // by case name

    Site addSite(vl::db::Transaction& tx, const QString& name, const QVariant& irszam, const QVariant& varos,
                 const QVariant& utca, const QString& remark) {
        Site s;
        s.customer = tx.query(QStringLiteral("INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, AKTIV) VALUES (:n, '1011',"
                                             " 'Budapest', 'Fő utca 1.', 'I') RETURNING KOD"),
                              {{QStringLiteral("n"), name}})
                         .at(0, 0)
                         .toString();
        s.site = tx.query(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, KOMMENT)"
                                         " VALUES (:u, :n, :i, :v, :c, :k) RETURNING KOD"),
                          {{QStringLiteral("u"), s.customer}, {QStringLiteral("n"), name + QStringLiteral(" telep")},
                           {QStringLiteral("i"), irszam}, {QStringLiteral("v"), varos}, {QStringLiteral("c"), utca},
                           {QStringLiteral("k"), remark}})
                     .at(0, 0)
                     .toString();
        return s;
    }

    static ContractLine line(const QString& csop, const QStringList& products, const QString& driver,
                             const QString& pattern = QStringLiteral("1000000"), qint64 mondayPrice = 4500,
                             const QString& kiszall = QStringLiteral("2026.04.01")) {
        ContractLine l;
        l.arucsoport = csop;
        l.mennyiseg = products.size();
        l.bermenny = 2;
        l.bermegyseg = QStringLiteral("Hét");
        l.nettoar = 10000;
        l.kiszall = kiszall;
        l.hkszcspszv = pattern;
        l.karbar = {mondayPrice, 0, 0, 0, 0, 0, 0};
        l.soforkod = driver;
        l.products = products;
        return l;
    }

    // Stores a contract, writes its deliveries and take-backs and its visits
    // up to the end of May; a cash contract is billed from its start.
    qint64 contract(vl::db::Transaction& tx, const Site& s, const QList<ContractLine>& lines,
                    const QString& fizmod = QStringLiteral("ATU"), const QString& start = QStringLiteral("2026.04.01")) {
        for (const ContractLine& l : lines)
            for (const QString& p : l.products) ProductStore::StoreProduct(tx, p, l.arucsoport, ProductFree);
        ContractHeader h;
        h.bermod = QStringLiteral("HT");
        h.fizmod = fizmod;
        h.berkezd = start;
        h.ugyfelkod = s.customer;
        h.ugyfelcim = s.site;
        const qint64 b = ContractStore::StoreNewContract(tx, h, lines, QStringLiteral("TESZT"));
        const GeneratorContext ctx = GeneratorContext::load(tx, QStringLiteral("TESZT"));
        for (const MaintenanceItem& it : LoadMaintenanceItems(tx, RentalTables::stored(), b, 1)) {
            const QString csop = tx.query(QStringLiteral("SELECT ARUCSOPORT FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = :t"),
                                          {{QStringLiteral("b"), b}, {QStringLiteral("t"), it.tetelsor}})
                                     .at(0, 0)
                                     .toString();
            const EventItem ev{b, 1, it.tetelsor, it.sorszam, it.arukod, it.soforkod, csop};
            GenerateEventActivities(tx, ctx, QStringLiteral("UJTCS"), QStringLiteral("FORGTEV"), it.kiszall, ev);
            if (!it.vszallt.isEmpty())
                GenerateEventActivities(tx, ctx, QStringLiteral("HISZ"), QStringLiteral("FORGTEV"), it.vszallt, ev);
            ScheduleOptions o;
            o.firstDay = it.kiszall;
            o.lastDay = QStringLiteral("2026.05.31");
            GenerateMaintenanceSchedule(tx, ctx, QStringLiteral("FORGTEV"), {it}, o);
        }
        if (fizmod == QStringLiteral("KP")) GenerateBilling(tx, ctx, b, 1, QString(), QStringLiteral("2026.05.31"));
        return b;
    }

    // A hand-written activity of an item on a day (what the log's "new
    // activity" writes).
    static void activity(vl::db::Transaction& tx, qint64 b, qint64 tetelsor, qint64 sorszam, const QString& kod,
                         const QVariant& driver, qint64 qty, qint64 price, const QString& remark,
                         const QString& day = kDay) {
        const qint64 seq = tx.query(QStringLiteral("SELECT COALESCE(MAX(TEVSORSZAM), 0) + 1 FROM FORGTEV WHERE BIZONYLAT = :b"
                                                   " AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d"),
                                    {{QStringLiteral("b"), b}, {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam},
                                     {QStringLiteral("d"), day}})
                               .at(0, 0)
                               .toLongLong();
        tx.exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                               " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT) SELECT BIZONYLAT, 1, TETELSOR,"
                               " SORSZAM, :d, :seq, :kod, ARUKOD, 'T', :sofor, :ar, :m, :k, 'U' FROM FORGKABIN"
                               " WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s"),
                {{QStringLiteral("d"), day}, {QStringLiteral("seq"), seq}, {QStringLiteral("kod"), kod},
                 {QStringLiteral("sofor"), driver}, {QStringLiteral("ar"), price}, {QStringLiteral("m"), qty},
                 {QStringLiteral("k"), remark}, {QStringLiteral("b"), b}, {QStringLiteral("t"), tetelsor},
                 {QStringLiteral("s"), sorszam}});
    }

    static void setOnDay(vl::db::Transaction& tx, qint64 b, qint64 sorszam, const QString& column, const QVariant& v,
                         const QString& kod = QStringLiteral("KA")) {
        // column comes from the test's own fixed texts
        tx.exec(QStringLiteral("UPDATE FORGTEV SET %1 = :v WHERE BIZONYLAT = :b AND SORSZAM = :s AND DATUM = :d"
                               " AND TEVKOD = :k").arg(column),
                {{QStringLiteral("v"), v}, {QStringLiteral("b"), b}, {QStringLiteral("s"), sorszam},
                 {QStringLiteral("d"), kDay}, {QStringLiteral("k"), kod}});
    }

    void build() {
        vl::operations::joinProgramSchema(); // the day sheet's template
        db.create();
        auto tx = db.conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Péter', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S3', 'Régi Ödön', 'N')"));
        // A check-up, listed after the payments; a second kind in the order of "SZK".
        tx->exec(QStringLiteral("INSERT INTO SZ_TEVEKENY (KOD, NEV, KEPEZVE, ESETI, SORREND) VALUES ('ELL', 'Ellenőrzés', '-', 'N', 20)"));
        tx->exec(QStringLiteral("INSERT INTO SZ_TEVEKENY (KOD, NEV, KEPEZVE, ESETI, SORREND) VALUES ('SZ2', 'Szippantás éjjel', '-', 'I', 5)"));

        auto add = [&](const QString& c, const Site& s, const QList<qint64>& b) {
            sites.insert(c, s);
            contracts.insert(c, b);
        };
        // Like cabins merge.
        {
            const Site s = addSite(*tx, QStringLiteral("Alfa Kft."), "1111", "Budapest", "Egy utca 1.", "");
            add("merge", s, {contract(*tx, s, {line("ALAP", {"101", "102"}, "S1")})});
        }
        // A driver splits them.
        {
            const Site s = addSite(*tx, QStringLiteral("Béta Kft."), "1112", "Budapest", "Kettő utca 2.", "");
            const qint64 b = contract(*tx, s, {line("ALAP", {"201", "202"}, "S1")});
            setOnDay(*tx, b, 2, "SOFORKOD", "S2");
            add("driver", s, {b});
        }
        // No driver: NULL, '' and blanks are one.
        {
            const Site s = addSite(*tx, QStringLiteral("Céh Bt."), "1113", "Budapest", "Három utca 3.", "");
            const qint64 b = contract(*tx, s, {line("ALAP", {"301", "302", "303"}, "S1")});
            setOnDay(*tx, b, 1, "SOFORKOD", QVariant(QMetaType(QMetaType::QString)));
            setOnDay(*tx, b, 2, "SOFORKOD", "");
            setOnDay(*tx, b, 3, "SOFORKOD", "  ");
            add("nodriver", s, {b});
        }
        // Two contracts at one site share a line.
        {
            const Site s = addSite(*tx, QStringLiteral("Delta Zrt."), "1114", "Budapest", "Négy utca 4.", "");
            add("shared", s, {contract(*tx, s, {line("ALAP", {"401"}, "S1")}), contract(*tx, s, {line("ALAP", {"402"}, "S1")})});
        }
        // Priced rows: two visit prices in one line; an occasional activity of 3 at 1000.
        {
            const Site s = addSite(*tx, QStringLiteral("Epszilon Kft."), "1115", "Budapest", "Öt utca 5.", "");
            const qint64 b = contract(*tx, s, {line("ALAP", {"501"}, "S1", "1000000", 4500),
                                               line("ALAP", {"502"}, "S1", "1000000", 3001)});
            activity(*tx, b, 1, 1, "SZK", "S1", 3, 1000, "Extra");
            add("priced", s, {b});
        }
        // A cash contract delivered on the day: its payment follows its delivery.
        {
            const Site s = addSite(*tx, QStringLiteral("Fí Kft."), "1116", "Budapest", "Hat utca 6.", "");
            add("payafter", s, {contract(*tx, s, {line("VIP", {"601"}, "S2", "0000000", 0, kDay)}, "KP", kDay)});
        }
        // A cash contract whose only activity on the day sorts after the
        // payments; its earlier planned periods are listed, the paid one not.
        {
            const Site s = addSite(*tx, QStringLiteral("Gamma Kft."), "1117", "Budapest", "Hét utca 7.", "");
            const qint64 b = contract(*tx, s, {line("ALAP", {"701"}, "S2", "0000000", 0, "2026.04.06")}, "KP", "2026.04.06");
            activity(*tx, b, 1, 1, "ELL", QVariant(QMetaType(QMetaType::QString)), 1, 0, "Kapu zárva");
            tx->exec(QStringLiteral("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.04.06'"),
                     {{QStringLiteral("b"), b}});
            add("paybefore", s, {b});
        }
        // Cash contracts without a visit on the day: one visited on Tuesdays,
        // one whose visit of the day was deleted. Their periods stay off the sheet.
        {
            const Site s = addSite(*tx, QStringLiteral("Hé Kft."), "1118", "Budapest", "Nyolc utca 8.", "");
            const qint64 b1 = contract(*tx, s, {line("ALAP", {"801"}, "S1", "0100000", 4500, "2026.04.06")}, "KP", "2026.04.06");
            const qint64 b2 = contract(*tx, s, {line("ZUH", {"802"}, "S1", "1000000", 4500, "2026.04.06")}, "KP", "2026.04.06");
            setOnDay(*tx, b2, 1, "TEVALLAPOT", "X");
            add("novisit", s, {b1, b2});
        }
        // A site whose city is missing.
        {
            const Site s = addSite(*tx, QStringLiteral("Ióta Kft."), "1119", QVariant(QMetaType(QMetaType::QString)),
                                   "Kilenc utca 9.", "Hátsó kapu");
            add("address", s, {contract(*tx, s, {line("AKM", {"901"}, "S1")})});
        }
        // Two kinds of one display order: a line each.
        {
            const Site s = addSite(*tx, QStringLiteral("Kappa Kft."), "1120", "Budapest", "Tíz utca 10.", "");
            const qint64 b = contract(*tx, s, {line("ALAP", {"1001", "1002"}, "S1", "0000000", 0)});
            activity(*tx, b, 1, 1, "SZK", "S1", 1, 500, "");
            activity(*tx, b, 1, 1, "SZ2", "S1", 1, 700, "");
            activity(*tx, b, 1, 2, "SZK", "S1", 1, 500, "");
            add("kinds", s, {b});
        }
        tx->commit();
    }
};

} // namespace vl::operations::test
