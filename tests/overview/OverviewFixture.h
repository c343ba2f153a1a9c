#pragma once
// A small company whose day (Monday 2026.05.04) holds one of each thing the
// overview counts, each on a customer of its own: an overdue visit, a visit
// without a driver, a contract ending by a planned take-back, a fixed-term
// contract past its end, a cash contract started and delivered on the day
// (so its delivery is still planned and its first period due), a customer
// whose appendix was last printed for February, a damaged and a free cabin.
// Everything before the day is done, except the one overdue visit.
#include "../operations/DaySheetFixture.h"
#include "billing/BillingSchema.h"

namespace vl::overview::test {

using vl::operations::test::Company;
using vl::operations::test::kDay;
using vl::operations::test::Site;

class OverviewCompany : public Company {
public:
    void buildDay() {
        vl::operations::joinProgramSchema();
        vl::billing::joinProgramSchema();   // the printed appendices' totals
        db.create();
        auto tx = db.conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Péter', 'I')"));
        auto add = [&](const QString& c, const Site& s, qint64 b) {
            sites.insert(c, s);
            contracts.insert(c, {b});
        };
        // Two cabins visited on Mondays by S1; the visit of 04.27 of 101 not done.
        {
            const Site s = addSite(*tx, QStringLiteral("Alfa Kft."), "1111", "Budapest", "Egy utca 1.", "");
            add("overdue", s, contract(*tx, s, {line("ALAP", {"101", "102"}, "S1")}));
        }
        // One cabin visited on Mondays; its visit of the day has no driver.
        {
            const Site s = addSite(*tx, QStringLiteral("Béta Kft."), "1112", "Budapest", "Kettő utca 2.", "");
            const qint64 b = contract(*tx, s, {line("ALAP", {"201"}, "S1")});
            setOnDay(*tx, b, 1, "SOFORKOD", QVariant(QMetaType(QMetaType::QString)));
            add("nodriver", s, b);
        }
        // Taken back on Thursday (planned).
        {
            const Site s = addSite(*tx, QStringLiteral("Céh Bt."), "1113", "Budapest", "Három utca 3.", "");
            vl::rental::ContractLine l = line("VIP", {"301"}, "S2", "0000000", 0);
            l.vszall = QStringLiteral("2026.05.07");
            add("ending", s, contract(*tx, s, {l}));
        }
        // Fixed term, ended on 04.30, still running.
        {
            const Site s = addSite(*tx, QStringLiteral("Delta Zrt."), "1114", "Budapest", "Négy utca 4.", "");
            const qint64 b = contract(*tx, s, {line("ZUH", {"401"}, "S2", "0000000", 0)});
            tx->exec(QStringLiteral("UPDATE FORGFEJ SET BERMOD = 'HO', BERVEG = '2026.04.30' WHERE BIZONYLAT = :b"),
                     {{QStringLiteral("b"), b}});
            add("overrun", s, b);
        }
        // Cash, started and delivered (planned) on the day by S2.
        {
            const Site s = addSite(*tx, QStringLiteral("Epszilon Kft."), "1115", "Budapest", "Öt utca 5.", "");
            const qint64 b = contract(*tx, s, {line("VIP", {"501"}, "S2", "0000000", 0, kDay)}, "KP", kDay);
            // Its second period paid in advance.
            tx->exec(QStringLiteral("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.05.18'"),
                     {{QStringLiteral("b"), b}});
            add("cash", s, b);
        }
        // By transfer since January, its appendix printed up to February.
        {
            const Site s = addSite(*tx, QStringLiteral("Fí Kft."), "1116", "Budapest", "Hat utca 6.", "");
            const qint64 b = contract(*tx, s, {line("AKM", {"601"}, "S1", "0000000", 0, "2026.01.05")}, "ATU",
                                      "2026.01.05");
            tx->exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = '2026.02.28', LASTPRINTT = '2026.02.01'"
                                    " WHERE BIZONYLAT = :b"),
                     {{QStringLiteral("b"), b}});
            add("unprinted", s, b);
        }
        // The other transfer contracts are printed up to April.
        tx->exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = '2026.04.30' WHERE LASTPRINT IS NULL OR LASTPRINT = ''"));
        // A damaged cabin and a free one of the same group.
        vl::rental::ProductStore::StoreProduct(*tx, QStringLiteral("901"), QStringLiteral("ALAP"), QStringLiteral("SER"));
        vl::rental::ProductStore::StoreProduct(*tx, QStringLiteral("902"), QStringLiteral("ALAP"),
                                               vl::rental::ProductFree);
        // Everything before the day is done but one visit.
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE DATUM < :d"), {{QStringLiteral("d"), kDay}});
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'T' WHERE BIZONYLAT = :b AND DATUM = '2026.04.27'"
                                " AND ARUKOD = '101' AND TEVKOD = 'KA'"),
                 {{QStringLiteral("b"), contracts.value("overdue").first()}});
        tx->exec(QStringLiteral("UPDATE CEG SET UTOLSOMENTES = '2026.01.02 10:00:00'"));
        tx->commit();
    }
};

} // namespace vl::overview::test
