// The appendix build on a real database: which rows enter, every filter, the
// e-invoice NULL case, identical visits, customers of the same name, row and
// period errors, the list's totals and the print stamps; in May, done visits of
// items removed from their contract and cabins whose delivery is still planned.
#include "AppendixTestDb.h"
#include "billing/Appendix.h"
#include "rental/OrdersItems.h"
#include "util/Error.h"

#include <QtTest>

using namespace vl::billing;
using vl::billing::test::AppendixDb;

namespace {
const QString kFrom = QStringLiteral("2024.03.01");
const QString kTo = QStringLiteral("2024.03.31");
}

class TestAppendixBuild : public QObject {
    Q_OBJECT
    AppendixDb db;

    qint64 rowsOf(AppendixService& s, const QString& where = QString(), const vl::db::Params& p = {}) {
        return db.count(QStringLiteral("SELECT COUNT(*) FROM ") + s.workTable() + where, p);
    }
    qint64 chargeOf(AppendixService& s, qint64 b) {
        return db.count(QStringLiteral("SELECT SUM(NETTOERTEK) FROM %1 WHERE BIZONYLAT = :b AND BERSZAMJEL <> '-'")
                            .arg(s.workTable()),
                        {{QStringLiteral("b"), b}});
    }

    // May: one contract of customer C5 whose line 1 holds one delivered cabin
    // and line 2 two; each delivery is done and priced. Contract 12 holds a
    // cabin due on the 20th, one due after May and one delivered (a moved
    // delivery before the done one).
    void mayFixture() {
        db.customer(QStringLiteral("C5"), QStringLiteral("Ötödik Kft."));
        db.site(QStringLiteral("S5"), QStringLiteral("C5"), QStringLiteral("Gyár"), QStringLiteral("Szeged"), QStringLiteral("Ipar u. 5"));
        for (const char* a : {"1101", "1102", "1103", "1201", "1202", "1203"})
            db.exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'FOG')"),
                    {{QStringLiteral("k"), QString::fromLatin1(a)}});
        db.contract(11, QStringLiteral("C5"), QStringLiteral("S5"), QStringLiteral("ATU"), QStringLiteral("2024.05.02"));
        db.line(11, 1, QStringLiteral("Hó"), 30000);
        db.line(11, 2, QStringLiteral("Hó"), 30000);
        db.exec(QStringLiteral("UPDATE FORGSOR SET MENNYISEG = 2 WHERE BIZONYLAT = 11 AND TETELSOR = 2"));
        const struct { int t, s; const char* aru; } items[] = {{1, 1, "1101"}, {2, 1, "1102"}, {2, 2, "1103"}};
        for (const auto& i : items) {
            db.cabin(11, i.t, i.s, QString::fromLatin1(i.aru), QStringLiteral("2024.05.02"));
            db.activity(11, i.t, i.s, QStringLiteral("2024.05.02"), 1, QStringLiteral("KIH"), QStringLiteral("E"), 8000);
            db.exec(QStringLiteral("UPDATE FORGTEV SET ARUKOD = :a WHERE BIZONYLAT = 11 AND TETELSOR = :t AND SORSZAM = :s"),
                    {{QStringLiteral("a"), QString::fromLatin1(i.aru)}, {QStringLiteral("t"), i.t}, {QStringLiteral("s"), i.s}});
        }
        db.contract(12, QStringLiteral("C5"), QStringLiteral("S5"), QStringLiteral("ATU"), QStringLiteral("2024.05.01"));
        db.line(12, 1, QStringLiteral("Hó"), 30000);
        db.cabin(12, 1, 1, QStringLiteral("1201"), QStringLiteral("2024.05.20"));
        db.activity(12, 1, 1, QStringLiteral("2024.05.20"), 1, QStringLiteral("KIH"), QStringLiteral("T"), 0);
        db.cabin(12, 1, 2, QStringLiteral("1202"), QStringLiteral("2024.06.03"));
        db.activity(12, 1, 2, QStringLiteral("2024.06.03"), 1, QStringLiteral("KIH"), QStringLiteral("L"), 0);
        db.cabin(12, 1, 3, QStringLiteral("1203"), QStringLiteral("2024.05.06"));
        db.activity(12, 1, 3, QStringLiteral("2024.05.05"), 1, QStringLiteral("KIH"), QStringLiteral("A"), 0);
        db.activity(12, 1, 3, QStringLiteral("2024.05.06"), 1, QStringLiteral("KIH"), QStringLiteral("E"), 0);
    }

private slots:
    void initTestCase() {
        db.create();
        db.exec(QStringLiteral("INSERT INTO SZ_STATUST (KOD, NEV, MODOSITHATO) VALUES ('K', 'Kész (saját kód)', 'N')"));
        db.customer(QStringLiteral("C1"), QStringLiteral("Alfa Kft."), QStringLiteral("I"));
        db.customer(QStringLiteral("C2"), QStringLiteral("O'Brien és Társa"));
        db.customer(QStringLiteral("C3"), QStringLiteral("Alfa Kft."), QStringLiteral("N"));
        db.customer(QStringLiteral("C4"), QStringLiteral("Cég Négy"), QStringLiteral(""));
        db.site(QStringLiteral("S1"), QStringLiteral("C1"), QStringLiteral("Alfa telep"), QStringLiteral("Budapest"), QStringLiteral("Fő utca 1"));
        db.site(QStringLiteral("S2"), QStringLiteral("C2"), QStringLiteral("Építkezés"), QStringLiteral("Győr"), QStringLiteral("Rév u. 2"));
        db.site(QStringLiteral("S3"), QStringLiteral("C3"), QStringLiteral("Fesztivál"), QStringLiteral("Pécs"), QStringLiteral("Tér 3"));
        db.site(QStringLiteral("S4"), QStringLiteral("C4"), QStringLiteral("Raktár"), QStringLiteral("Eger"), QStringLiteral("Út 4"));
        // 1: monthly, open end, all March out.
        db.contract(1, QStringLiteral("C1"), QStringLiteral("S1"), QStringLiteral("KP"), QStringLiteral("2024.01.01"));
        db.line(1, 1, QStringLiteral("Hó"), 30000);
        db.cabin(1, 1, 1, QStringLiteral("1001"), QStringLiteral("2024.01.10"));
        // 2: monthly with a minimum price, delivered and taken back in March;
        // two identical done visits, a planned, a moved and a custom done one.
        db.contract(2, QStringLiteral("C2"), QStringLiteral("S2"), QStringLiteral("ATU"), QStringLiteral("2024.03.11"),
                    QStringLiteral(""));
        db.line(2, 1, QStringLiteral("Hó"), 30000, 20000);
        db.cabin(2, 1, 1, QStringLiteral("2001"), QStringLiteral("2024.03.11"), QStringLiteral("2024.03.15"));
        db.activity(2, 1, 1, QStringLiteral("2024.03.15"), 1, QStringLiteral("VSZ"), QStringLiteral("E"), 0);
        db.activity(2, 1, 1, QStringLiteral("2024.03.13"), 1, QStringLiteral("KA"), QStringLiteral("E"), 5000, 2);
        db.activity(2, 1, 1, QStringLiteral("2024.03.13"), 2, QStringLiteral("KA"), QStringLiteral("E"), 5000, 2);
        db.activity(2, 1, 1, QStringLiteral("2024.03.14"), 1, QStringLiteral("KA"), QStringLiteral("T"), 5000);
        db.activity(2, 1, 1, QStringLiteral("2024.03.12"), 1, QStringLiteral("KA"), QStringLiteral("A"), 5000);
        db.activity(2, 1, 1, QStringLiteral("2024.03.14"), 2, QStringLiteral("KA"), QStringLiteral("K"), 3000);
        // 3: one price for the whole event.
        db.contract(3, QStringLiteral("C3"), QStringLiteral("S3"), QStringLiteral("ELO"), QStringLiteral("2024.03.01"),
                    QStringLiteral("2024.03.10"), QStringLiteral("FO"), QStringLiteral("I"), QStringLiteral("ALK"));
        db.line(3, 1, QStringLiteral("Alk"), 50000);
        db.cabin(3, 1, 1, QStringLiteral("3001"), QStringLiteral("2024.03.01"));
        // 4: cancelled; 5: ended before the period; 6: weekly; 8: an old version.
        db.contract(4, QStringLiteral("C1"), QStringLiteral("S1"), QStringLiteral("KP"), QStringLiteral("2024.01.01"),
                    QVariant(), QStringLiteral("X"));
        db.line(4, 1, QStringLiteral("Hó"), 30000);
        db.cabin(4, 1, 1, QStringLiteral("4001"), QStringLiteral("2024.01.10"));
        db.activity(4, 1, 1, QStringLiteral("2024.03.13"), 1, QStringLiteral("KA"), QStringLiteral("E"), 5000);
        db.contract(5, QStringLiteral("C4"), QStringLiteral("S4"), QStringLiteral("ATU"), QStringLiteral("2024.01.01"),
                    QStringLiteral("2024.02.15"));
        db.line(5, 1, QStringLiteral("Hó"), 30000);
        db.cabin(5, 1, 1, QStringLiteral("5001"), QStringLiteral("2024.01.10"), QStringLiteral("2024.02.15"));
        db.contract(6, QStringLiteral("C4"), QStringLiteral("S4"), QStringLiteral("KP"), QStringLiteral("2024.02.01"));
        db.line(6, 1, QStringLiteral("Hét"), 11000);
        db.cabin(6, 1, 1, QStringLiteral("6001"), QStringLiteral("2024.02.01"));
        db.contract(8, QStringLiteral("C4"), QStringLiteral("S4"), QStringLiteral("KP"), QStringLiteral("2024.02.01"),
                    QVariant(), QStringLiteral("FO"), QStringLiteral("N"));
        db.line(8, 1, QStringLiteral("Hó"), 30000);
        db.cabin(8, 1, 1, QStringLiteral("8001"), QStringLiteral("2024.02.01"));
        mayFixture();
    }

    void buildsTheRowsOfThePeriod() {
        AppendixService s(*db.conn, db.session());
        const BuildResult r = s.build(kFrom, kTo, {});
        QVERIFY(s.workTable().startsWith(QStringLiteral("TMP_BMELLTESZT")));
        QCOMPARE(r.rentalRows, 4);     // 1, 2, 3, 6: not the cancelled, the ended or the inactive one
        QCOMPARE(r.activityRows, 3);   // the two identical visits and the custom done code
        QCOMPARE(rowsOf(s), 7LL);
        QCOMPARE(chargeOf(s, 1), 30000LL);
        QCOMPARE(chargeOf(s, 2), 20000LL);     // the minimum price: taken back after 5 days
        QCOMPARE(chargeOf(s, 3), 50000LL);
        QCOMPARE(chargeOf(s, 6), 48714LL);     // 31 days of a weekly 11000
        QCOMPARE(db.text(QStringLiteral("SELECT MINARSZAMOL FROM %1 WHERE BIZONYLAT = 2 AND BERSZAMJEL <> '-'").arg(s.workTable())),
                 QStringLiteral("I"));
        // Identical done visits stay two rows.
        QCOMPARE(rowsOf(s, QStringLiteral(" WHERE BIZONYLAT = 2 AND BERSZAMJEL = '-' AND NETTOERTEK = 10000")), 2LL);
        QCOMPARE(rowsOf(s, QStringLiteral(" WHERE BIZONYLAT = 2 AND BERSZAMJEL = '-' AND NETTOERTEK = 3000")), 1LL);
        QCOMPARE(r.total, 30000LL + 20000 + 50000 + 48714 + 10000 + 10000 + 3000);
        const ListTotals t = s.totals(false);
        QCOMPARE(t.total, r.total);
        QCOMPARE(TotalsText({2, 1234567}), QStringLiteral("2 darab, 1 234 567 Ft."));
    }

    // The minimum price needs a done take-back.
    void minimumNeedsDoneTakeBack() {
        db.exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'T' WHERE BIZONYLAT = 2 AND TEVKOD = 'VSZ'"));
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, {});
        QCOMPARE(chargeOf(s, 2), 5000LL);
        db.exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE BIZONYLAT = 2 AND TEVKOD = 'VSZ'"));
    }

    void filters_data() {
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("kp");
        QTest::addColumn<QString>("bermod");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("einvoice");
        QTest::addColumn<QString>("contracts");
        QTest::newRow("customer by key") << "C1" << "" << "" << "" << 0 << "1";
        QTest::newRow("same name, other key") << "C3" << "" << "" << "" << 0 << "3";
        QTest::newRow("cash") << "" << "I" << "" << "" << 0 << "1,6";
        QTest::newRow("transfer") << "" << "N" << "" << "" << 0 << "2,2,2,2";
        QTest::newRow("prepaid") << "" << "E" << "" << "" << 0 << "3";
        QTest::newRow("rental mode") << "" << "" << "ALK" << "" << 0 << "3";
        QTest::newRow("rental unit") << "" << "" << "" << "Hét" << 0 << "6";
        QTest::newRow("e-invoice only") << "" << "" << "" << "" << 1 << "1";
        QTest::newRow("all but e-invoice, never set counts") << "" << "" << "" << "" << 2 << "2,2,2,2,3,6";
        QTest::newRow("apostrophe is a value") << "C2' OR '1'='1" << "" << "" << "" << 0 << "";
    }
    void filters() {
        QFETCH(QString, customer);
        QFETCH(QString, kp);
        QFETCH(QString, bermod);
        QFETCH(QString, unit);
        QFETCH(int, einvoice);
        AppendixFilter f;
        f.customerKey = customer;
        f.paymentKind = kp;
        f.rentalMode = bermod;
        f.rentalUnit = unit;
        f.einvoice = EInvoiceFilter(einvoice);
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, f);
        const auto rs = db.conn->query(QStringLiteral("SELECT BIZONYLAT FROM %1 ORDER BY BIZONYLAT").arg(s.workTable()));
        QStringList got;
        for (int i = 0; i < rs.rowCount(); ++i) got << rs.at(i, 0).toString();
        QTEST(got.join(QLatin1Char(',')), "contracts");
    }

    void customersByKey() {
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, {});
        const auto c = s.customers();
        QStringList keys;
        for (int i = 0; i < c.rowCount(); ++i) keys << c.at(i, c.indexOf(QStringLiteral("KOD"))).toString();
        QCOMPARE(keys, QStringList({QStringLiteral("C1"), QStringLiteral("C3"), QStringLiteral("C4"), QStringLiteral("C2")}));
        const auto tot = s.customerTotals(false);
        QCOMPARE(tot.rowCount(), 4);
        QCOMPARE(s.appendixRows(QStringLiteral("C1")).rowCount(), 1);
        QCOMPARE(s.appendixRows(QStringLiteral("C3")).rowCount(), 1);
        QCOMPARE(s.appendixRows(QStringLiteral("C2"), {QStringLiteral("S2")}).rowCount(), 4);
        QCOMPARE(s.appendixRows(QStringLiteral("C2"), {QStringLiteral("S9")}).rowCount(), 0);
    }

    void periodErrorsLeaveTheTable() {
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, {});
        try {
            s.build(QStringLiteral("2024.03.31"), QStringLiteral("2024.03.01"), {});
            QFAIL("a reversed period was built");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QStringLiteral("Az adatokban az alábbi hibák vannak:\rHibás dátum intervallum.\r"));
        }
        QCOMPARE(rowsOf(s), 7LL);
        QCOMPARE(s.builtFrom(), kFrom);
    }

    void shortDatesAreNormalised() {
        AppendixService s(*db.conn, db.session());
        s.build(QStringLiteral("20240301"), QStringLiteral("202403"), {});
        QCOMPARE(s.builtFrom(), kFrom);
        QCOMPARE(s.builtTo(), kTo);
        QCOMPARE(rowsOf(s), 7LL);
        QCOMPARE(db.text(QStringLiteral("SELECT MAX(DATUMIG) FROM %1").arg(s.workTable())), kTo);
    }

    void stamps() {
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, {});
        const qint64 before = s.totals(true).total;
        const auto rows = s.appendixRows(QStringLiteral("C2"));
        StampResult r = s.stamp(rows, kFrom, kTo);
        QCOMPARE(r.contracts, 1);
        QCOMPARE(db.text(QStringLiteral("SELECT LASTPRINT || '/' || LASTPRINTT || '/' || JUZER FROM FORGFEJ WHERE BIZONYLAT = 2")),
                 QStringLiteral("2024.03.31/2024.03.01/TESZT"));
        // The work table's copies too: the unprinted list drops the contract at once.
        QCOMPARE(rowsOf(s, QStringLiteral(" WHERE BIZONYLAT = 2 AND LASTPRINT = '2024.03.31'")), 4LL);
        QCOMPARE(s.totals(true).total, before - 43000);
        for (int i = 0; i < s.list(true).rowCount(); ++i)
            QVERIFY(s.list(true).at(i, s.list(true).indexOf(QStringLiteral("BIZONYLAT"))).toLongLong() != 2);
        // The per-customer totals add what the filtered list shows.
        auto perCustomer = [&](bool unprinted) {
            const auto t = s.customerTotals(unprinted);
            QStringList l;
            for (int i = 0; i < t.rowCount(); ++i)
                l << t.at(i, t.indexOf(QStringLiteral("UGYFELKOD"))).toString() + QLatin1Char('=')
                         + t.at(i, t.indexOf(QStringLiteral("NETTOERTEK"))).toString();
            return l;
        };
        QCOMPARE(perCustomer(false), QStringList({QStringLiteral("C1=30000"), QStringLiteral("C3=50000"),
                                                  QStringLiteral("C4=48714"), QStringLiteral("C2=43000")}));
        QCOMPARE(perCustomer(true), QStringList({QStringLiteral("C1=30000"), QStringLiteral("C3=50000"),
                                                 QStringLiteral("C4=48714")}));
        // An older period printed later never moves the stamp back.
        r = s.stamp(rows, QStringLiteral("2024.02.01"), QStringLiteral("2024.02.29"));
        QCOMPARE(r.contracts, 0);
        QCOMPARE(r.skipped, 1);
        QCOMPARE(db.text(QStringLiteral("SELECT LASTPRINT || '/' || LASTPRINTT FROM FORGFEJ WHERE BIZONYLAT = 2")),
                 QStringLiteral("2024.03.31/2024.03.01"));
        QCOMPARE(rowsOf(s, QStringLiteral(" WHERE BIZONYLAT = 2 AND LASTPRINT = '2024.03.31'")), 4LL);
        // A re-run of the printed period gives the same figures.
        s.build(kFrom, kTo, {});
        QCOMPARE(chargeOf(s, 2), 20000LL);
        // An empty appendix stamps nothing.
        QCOMPARE(s.stamp(s.appendixRows(QStringLiteral("NINCS")), kFrom, kTo).contracts, 0);
        db.exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = NULL, LASTPRINTT = NULL WHERE BIZONYLAT = 2"));
    }

    // The preview's stamp waits for the answer (Enter: "Nem"); the printer's does not ask.
    void stampAfterProducing() {
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, {});
        const auto rows = s.appendixRows(QStringLiteral("C2"));
        const QString stampOf2 = QStringLiteral("SELECT COALESCE(LASTPRINT, '-') FROM FORGFEJ WHERE BIZONYLAT = 2");
        const auto asked = s.stampProduced(rows, kFrom, kTo, false);
        QVERIFY(asked.asks());
        QCOMPARE(asked.question, AppendixService::StampQuestion());
        QVERIFY(asked.questionDefaultNo);
        QCOMPARE(db.text(stampOf2), QStringLiteral("-"));
        const auto no = asked.proceed(false);
        QVERIFY(no.ok);
        QCOMPARE(no.contracts, 0);
        QCOMPARE(db.text(stampOf2), QStringLiteral("-"));
        const auto yes = asked.proceed(true);
        QVERIFY(yes.ok && !yes.asks());
        QCOMPARE(yes.contracts, 1);
        QCOMPARE(db.text(stampOf2), kTo);
        db.exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = NULL, LASTPRINTT = NULL WHERE BIZONYLAT = 2"));
        const auto printed = s.stampProduced(rows, kFrom, kTo, true);
        QVERIFY(printed.ok && !printed.asks());
        QCOMPARE(printed.contracts, 1);
        QCOMPARE(db.text(stampOf2), kTo);
        db.exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = NULL, LASTPRINTT = NULL WHERE BIZONYLAT = 2"));
    }

    // What the form's filters and headers read: rental units only (TIPUS with
    // an R), the rental modes, and the company's name.
    void formChoices() {
        db.exec(QStringLiteral("INSERT INTO SZ_MEGYSEG (KOD, NEV, TIPUS, OSZTO) VALUES ('PRB', 'Próbahét', 'R', 7)"));
        db.exec(QStringLiteral("INSERT INTO SZ_MEGYSEG (KOD, NEV, TIPUS, OSZTO) VALUES ('PRM', 'Próbadarab', 'M', 1)"));
        db.exec(QStringLiteral("INSERT INTO SZ_BERMOD (KOD, NEV) VALUES ('PRBM', 'Próba bérlet')"));
        const QString company = db.text(QStringLiteral("SELECT NEV FROM CEG"));
        db.exec(QStringLiteral("UPDATE CEG SET NEV = 'Próba Illemhely Kft.'"));
        AppendixService s(*db.conn, db.session());
        auto codes = [](const vl::db::RowSet& rs) {
            QStringList l;
            for (int i = 0; i < rs.rowCount(); ++i) l << rs.at(i, rs.indexOf(QStringLiteral("KOD"))).toString().trimmed();
            return l;
        };
        QVERIFY(codes(s.readRentalUnits()).contains(QStringLiteral("PRB")));
        QVERIFY(!codes(s.readRentalUnits()).contains(QStringLiteral("PRM")));
        QVERIFY(codes(s.readRentalModes()).contains(QStringLiteral("PRBM")));
        QVERIFY(s.readRentalModes().indexOf(QStringLiteral("NEV")) >= 0);
        QCOMPARE(s.readCompanyName(), QStringLiteral("Próba Illemhely Kft."));
        db.exec(QStringLiteral("DELETE FROM SZ_MEGYSEG WHERE KOD IN ('PRB', 'PRM')"));
        db.exec(QStringLiteral("DELETE FROM SZ_BERMOD WHERE KOD = 'PRBM'"));
        db.exec(QStringLiteral("UPDATE CEG SET NEV = :n"), {{QStringLiteral("n"), company}});
    }

    // A cabin removed from its contract after its delivery was done: its done
    // priced visits stay on the invoice, whether its line keeps other items
    // or goes with it; its rental stops.
    void removedItemsKeepTheirDoneVisits() {
        const QString mayFrom = QStringLiteral("2024.05.01"), mayTo = QStringLiteral("2024.05.31");
        AppendixFilter f;
        f.customerKey = QStringLiteral("C5");
        AppendixService s(*db.conn, db.session());
        QCOMPARE(s.build(mayFrom, mayTo, f).total, 3 * 30000LL + 3 * 8000 + 12000 + 26000);
        for (const vl::rental::ItemKey& k : {vl::rental::ItemKey{11, 1, 1, 1}, vl::rental::ItemKey{11, 1, 2, 1}})
            vl::rental::OrdersItems::RemoveItem(*db.conn, nullptr, db.session(), k);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGSOR WHERE BIZONYLAT = 11")), 1LL);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = 11")), 1LL);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 11 AND TEVALLAPOT = 'E'")), 3LL);
        const BuildResult r = s.build(mayFrom, mayTo, f);
        QCOMPARE(r.activityRows, 3);
        // Cabin 1103's rental and the three deliveries; contract 12 as before.
        QCOMPARE(r.total, 30000LL + 3 * 8000 + 12000 + 26000);
        const auto rs = db.conn->query(QStringLiteral("SELECT ARUKOD || '/' || TETELSOR || '/' || SORSZAM || '/' || KABINTIPUS"
                                                      " || '/' || TEVEKENYSEG || '/' || NETTOERTEK FROM %1"
                                                      " WHERE BERSZAMJEL = '-' ORDER BY ARUKOD").arg(s.workTable()));
        QStringList got;
        for (int i = 0; i < rs.rowCount(); ++i) got << rs.at(i, 0).toString();
        QCOMPARE(got, QStringList({QStringLiteral("1101/1/1/Alap WC kabin/Kiszállítás/8000"),
                                   QStringLiteral("1102/2/1/Alap WC kabin/Kiszállítás/8000"),
                                   QStringLiteral("1103/2/2/Alap WC kabin/Kiszállítás/8000")}));
        QCOMPARE(s.appendixRows(QStringLiteral("C5")).rowCount(), 7);
    }

    // A cabin charged from its delivery day while the delivery is still
    // planned is charged and named; one due after the period and one whose
    // delivery is done are not named.
    void plannedDeliveriesAreNamed() {
        AppendixFilter f;
        f.customerKey = QStringLiteral("C5");
        AppendixService s(*db.conn, db.session());
        const BuildResult r = s.build(QStringLiteral("2024.05.01"), QStringLiteral("2024.05.31"), f);
        QCOMPARE(chargeOf(s, 12), 12000LL + 26000);
        QCOMPARE(r.plannedDeliveries.size(), 1);
        QCOMPARE(PlannedDeliveryText(r.plannedDeliveries.at(0)),
                 QStringLiteral("Kiszállítás még nincs elvégezve: szerződés 12, kabin 1201, tervezett nap 2024.05.20"));
        // In June the second cabin is due (re-planned, class i) and named.
        const BuildResult june = s.build(QStringLiteral("2024.06.01"), QStringLiteral("2024.06.30"), f);
        QStringList texts;
        for (const auto& d : june.plannedDeliveries) texts << PlannedDeliveryText(d);
        QCOMPARE(texts, QStringList({QStringLiteral("Kiszállítás még nincs elvégezve: szerződés 12, kabin 1201, tervezett nap 2024.05.20"),
                                     QStringLiteral("Kiszállítás még nincs elvégezve: szerződés 12, kabin 1202, tervezett nap 2024.06.03")}));
        // March knows none.
        QVERIFY(s.build(kFrom, kTo, {}).plannedDeliveries.isEmpty());
    }

    // Last: a cabin without a delivery day stops the build with an empty list.
    void rowErrorLeavesEmptyList() {
        AppendixService s(*db.conn, db.session());
        s.build(kFrom, kTo, {});
        QCOMPARE(rowsOf(s), 7LL);
        db.contract(7, QStringLiteral("C2"), QStringLiteral("S2"), QStringLiteral("ATU"), QStringLiteral("2024.03.01"));
        db.line(7, 1, QStringLiteral("Hó"), 30000);
        db.cabin(7, 1, 1, QStringLiteral("7001"), QVariant());
        try {
            s.build(kFrom, kTo, {});
            QFAIL("a cabin without delivery was built");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QStringLiteral("Hibás kiszállítás kelt. Kabin=7001\rCím: O'Brien és Társa 1111 Győr, Rév u. 2"));
        }
        QCOMPARE(rowsOf(s), 0LL);
        QVERIFY(s.builtFrom().isEmpty());
        QCOMPARE(s.list(false).rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAppendixBuild)
#include "tst_appendix_build.moc"
