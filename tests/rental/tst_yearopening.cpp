// The year opening on a small company: which contracts and items it carries
// into the new year, what it writes, and that a second run changes nothing.
#include "tst_schedule_fixture.h"

#include "rental/Billing.h"
#include "rental/YearOpening.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

class TstYearOpening : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDb> db;

    void add(const ContractFixture& c) {
        auto tx = db->conn->begin();
        insertContract(*tx, c);
        tx->commit();
    }

    // The current year's schedule and billing, as the contract form leaves them.
    void generateCurrentYear(qint64 b, bool cash) {
        const GeneratorContext ctx = context(*db->conn);
        auto tx = db->conn->begin();
        for (const auto& it : LoadMaintenanceItems(*tx, RentalTables::stored(), b, 1)) {
            ScheduleOptions o;
            o.firstDay = gen::toText(gen::toDate(it.kiszall).addDays(1));
            o.lastDay = "2026.12.31";
            GenerateMaintenanceSchedule(*tx, ctx, "FORGTEV", {it}, o);
        }
        if (cash) GenerateBilling(*tx, ctx, b, 1, QString(), "2026.12.31");
        tx->commit();
    }

    static ContractFixture contract(qint64 b, const QString& fizmod, const QString& berkezd, const QString& pattern,
                                 int period = 1, int items = 1) {
        ContractFixture c;
        c.bizonylat = b;
        c.fizmod = fizmod;
        c.berkezd = berkezd;
        LineFixture l;
        l.kiszall = berkezd;
        l.pattern = pattern;
        l.periodus = period;
        l.items = items;
        c.lines << l;
        return c;
    }

    qint64 count(const QString& sql, qint64 b) { return db->count(sql, {{"b", b}}); }
    qint64 visitsIn2027(qint64 b, int sorszam = 1) {
        return db->count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND SORSZAM = :s AND TEVKOD = 'KA'"
                         " AND DATUM >= '2027.01.01'", {{"b", b}, {"s", sorszam}});
    }

    QStringList everything() { return activitySnapshot(*db->conn) + paymentSnapshot(*db->conn); }

    // A fresh company for each test that writes (the seeds make 2026 the business year).
    void fresh() {
        db = std::make_unique<TestDb>();
        db->create();
    }

private slots:

    void validYear_data() {
        QTest::addColumn<QString>("year");
        QTest::addColumn<bool>("valid");
        QTest::newRow("four digits") << "2027" << true;
        QTest::newRow("two digits") << "27" << false;
        QTest::newRow("five digits") << "20271" << false;
        QTest::newRow("a letter") << "2O27" << false;
        QTest::newRow("blank around") << " 2027" << false;
        QTest::newRow("empty") << "" << false;
    }
    void validYear() {
        QFETCH(QString, year);
        QFETCH(bool, valid);
        QCOMPARE(ValidOpeningYear(year), valid);
    }

    void question() {
        QCOMPARE(YearOpeningQuestion(QDate(2026, 11, 20)),
                 QString("Biztosan elindítja az év nyitását?\rNem december van!\rA művelet nem visszavonható."));
        QCOMPARE(YearOpeningQuestion(QDate(2026, 12, 20)),
                 QString("Biztosan elindítja az év nyitását?\r\rA művelet nem visszavonható."));
    }

    void openYearTwice() {
        fresh();
        // 1: cash, monthly, two items on Monday, Wednesday and Friday.
        add(contract(1, "KP", "2026.03.01", "1010100", 1, 2));
        // 2: bank transfer, Monday every second week.
        add(contract(2, "ATU", "2026.06.01", "1000000", 2));
        // 3: cash, ends on 31 December: not carried over.
        ContractFixture c3 = contract(3, "KP", "2026.03.01", "1000000");
        c3.berveg = "2026.12.31";
        add(c3);
        // 4: closed; 5: fixed-term mode: both left alone.
        ContractFixture c4 = contract(4, "KP", "2026.03.01", "1000000");
        c4.status = "LEZ";
        add(c4);
        ContractFixture c5 = contract(5, "KP", "2026.03.01", "1000000");
        c5.bermod = "HO";
        c5.berveg = "2027.06.30";
        add(c5);
        // 6: cash, two items on Saturday; the second one came back in November.
        add(contract(6, "KP", "2026.10.01", "0000010", 1, 2));
        db->conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.11.15' WHERE BIZONYLAT = 6 AND SORSZAM = 2");
        // 7: delivered on 5 January of the new year, visited every day.
        add(contract(7, "ATU", "2027.01.05", "1111111"));
        // 8: ends in the new year; its item returns on 31 March.
        ContractFixture c8 = contract(8, "ATU", "2026.09.01", "0100000");
        c8.berveg = "2027.03.31";
        c8.lines[0].vszall = "2027.03.31";
        add(c8);
        for (qint64 b : {1, 2, 3, 4, 5, 6, 8}) generateCurrentYear(b, b == 1 || b == 3 || b == 6);
        // A visit of the new year already done survives and covers its day.
        db->conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                       " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (1, 1, 1, 1, '2027.01.04', 1, 'KA',"
                       " 'K1-1-1', 'E', 'S1', 4500, 1, 'K')");
        const QStringList untouched = snapshot(*db->conn, "FORGTEV WHERE BIZONYLAT IN (3, 4, 5)",
                                               "BIZONYLAT, TETELSOR, SORSZAM, DATUM, TEVSORSZAM") +
                                      snapshot(*db->conn, "FORGFIZ WHERE BIZONYLAT IN (3, 4, 5)",
                                               "BIZONYLAT, DATUM, TEVSORSZAM");

        QList<int> seen;
        const YearOpeningSummary s = OpenYear(*db->conn, "2027", false, [&](int done, int total, qint64) {
            seen << done;
            return total == 5;
        });
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3, 4, 5}));
        QCOMPARE(s.contractsTotal, 5);
        QCOMPARE(s.contracts, 5);
        QCOMPARE(s.items, 6);
        QCOMPARE(s.itemsSkipped, 1);

        // 2027 has 52 Mondays and Wednesdays and 53 Fridays; the done Monday covers one.
        QCOMPARE(visitsIn2027(1, 1), qint64(157));
        QCOMPARE(visitsIn2027(1, 2), qint64(157));
        QCOMPARE(db->count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 1 AND DATUM = '2027.01.04'"), qint64(2));
        // Every second Monday, the weeks counted again from 1 January: from 11 January.
        QCOMPARE(visitsIn2027(2), qint64(26));
        QCOMPARE(db->conn->query("SELECT MIN(DATUM) FROM FORGTEV WHERE BIZONYLAT = 2 AND DATUM >= '2027.01.01'")
                     .at(0, 0).toString(), QString("2027.01.11"));
        // The item back in November gets nothing; the other one every Saturday.
        QCOMPARE(visitsIn2027(6, 1), qint64(52));
        QCOMPARE(visitsIn2027(6, 2), qint64(0));
        // Nothing on or before the delivery day: 6 January .. 31 December.
        QCOMPARE(visitsIn2027(7), qint64(360));
        // Up to the planned return.
        QCOMPARE(visitsIn2027(8), qint64(13));
        QCOMPARE(db->conn->query("SELECT MAX(DATUM) FROM FORGTEV WHERE BIZONYLAT = 8 AND TEVKOD = 'KA'").at(0, 0)
                     .toString(), QString("2027.03.30"));
        QCOMPARE(untouched, snapshot(*db->conn, "FORGTEV WHERE BIZONYLAT IN (3, 4, 5)",
                                     "BIZONYLAT, TETELSOR, SORSZAM, DATUM, TEVSORSZAM") +
                                snapshot(*db->conn, "FORGFIZ WHERE BIZONYLAT IN (3, 4, 5)",
                                         "BIZONYLAT, DATUM, TEVSORSZAM"));

        // Billing: January to December after the last period of 2026.
        QCOMPARE(count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM >= '2027.01.01'", 1), qint64(12));
        // January: two items' rent + 13 visits of each at 4500 (the done one included).
        auto jan = db->conn->query("SELECT DATUM2, NETTO, BRUTTO FROM FORGFIZ WHERE BIZONYLAT = 1 AND DATUM = '2027.01.01'");
        QCOMPARE(jan.rowCount(), 1);
        QCOMPARE(jan.at(0, 0).toString(), QString("2027.01.31"));
        QCOMPARE(jan.at(0, 1).toLongLong(), qint64(20000 + 2 * 13 * 4500));
        QCOMPARE(jan.at(0, 2).toLongLong(), qint64(173990));
        // Contract 6 pays for its one item still out.
        auto jan6 = db->conn->query("SELECT NETTO FROM FORGFIZ WHERE BIZONYLAT = 6 AND DATUM = '2027.01.01'");
        QCOMPARE(jan6.at(0, 0).toLongLong(), qint64(10000 + 5 * 6000));   // five Saturdays
        QCOMPARE(count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b", 2), qint64(0));

        QCOMPARE(s.visitsWritten, int(db->count("SELECT COUNT(*) FROM FORGTEV WHERE DATUM >= '2027.01.01' AND"
                                                " TEVALLAPOT = 'T'")));
        QCOMPARE(s.periodsWritten, 24);

        // The second run changes no row.
        const QStringList before = everything();
        const YearOpeningSummary again = OpenYear(*db->conn, "2027", false);
        QVERIFY(again.ok());
        QCOMPARE(again.contracts, 5);
        QCOMPARE(again.visitsWritten + again.visitsDeleted + again.periodsWritten + again.periodsDeleted, 0);
        QCOMPARE(everything(), before);
    }

    // Keeping the rhythm: a two-weekly item goes on from its last visit of the old year.
    void keepRhythm_data() {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("firstVisit");
        QTest::newRow("kept") << true << "2027.01.04";
        QTest::newRow("started again") << false << "2027.01.11";
    }
    void keepRhythm() {
        QFETCH(bool, keep);
        QFETCH(QString, firstVisit);
        fresh();
        add(contract(1, "ATU", "2026.06.08", "1000000", 2));
        generateCurrentYear(1, false);
        QCOMPARE(db->conn->query("SELECT MAX(DATUM) FROM FORGTEV WHERE BIZONYLAT = 1").at(0, 0).toString(),
                 QString("2026.12.21"));
        QVERIFY(OpenYear(*db->conn, "2027", keep).ok());
        QCOMPARE(db->conn->query("SELECT MIN(DATUM) FROM FORGTEV WHERE BIZONYLAT = 1 AND DATUM >= '2027.01.01'")
                     .at(0, 0).toString(), firstVisit);
        QVERIFY(!db->count("SELECT COUNT(*) FROM FORGTEV WHERE DATUM > '2026.12.21' AND DATUM < '2027.01.01'"));
        const QStringList before = everything();
        QVERIFY(OpenYear(*db->conn, "2027", keep).ok());
        QCOMPARE(everything(), before);
    }

    // A cancelled period does not move the start of billing: the year opening bills
    // again from the day after the last period that stays.
    void cancelledPeriodDoesNotMoveBillingStart() {
        fresh();
        add(contract(1, "KP", "2026.03.01", "0000000"));
        generateCurrentYear(1, true);
        db->conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'X' WHERE BIZONYLAT = 1 AND DATUM = '2026.12.01'");
        QVERIFY(OpenYear(*db->conn, "2027", false).ok());
        auto rs = db->conn->query("SELECT DATUM2, TEVALLAPOT, TEVSORSZAM FROM FORGFIZ WHERE BIZONYLAT = 1"
                                  " AND DATUM = '2026.12.01' ORDER BY TEVSORSZAM");
        QCOMPARE(rs.rowCount(), 2);
        QCOMPARE(rs.at(0, 1).toString(), QString("X"));
        QCOMPARE(rs.at(1, 0).toString(), QString("2026.12.31"));
        QCOMPARE(rs.at(1, 1).toString(), QString("T"));
        QCOMPARE(count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM >= '2027.01.01'", 1), qint64(12));
    }

    // A second year opening started while one runs is refused with a clear message
    // and writes nothing; one whose program is gone does not block.
    void secondRunRefused() {
        fresh();
        add(contract(1, "KP", "2026.03.01", "1000000"));
        generateCurrentYear(1, true);
        const QStringList before = everything();
        auto other = vl::db::connect(embeddedParams(db->path));
        QString refusal;
        QVERIFY(ClaimYearOpening(*other, "2027", "KOVACS", &refusal));
        QVERIFY(refusal.isEmpty());

        const YearOpeningSummary s = OpenYear(*db->conn, "2027", false, {}, "TESZT");
        QVERIFY(!s.ok());
        QVERIFY2(s.refused.startsWith(QStringLiteral("Az év nyitása már fut")), qPrintable(s.refused));
        QVERIFY2(s.refused.contains("KOVACS"), qPrintable(s.refused));
        QCOMPARE(s.lines(), QStringList{s.refused});
        QCOMPARE(s.contracts, 0);
        QCOMPARE(everything(), before);

        // Done: the next run goes ahead.
        ReleaseYearOpening(*other);
        QVERIFY(OpenYear(*db->conn, "2027", false).ok());
        QCOMPARE(visitsIn2027(1), qint64(52));

        // A claim whose connection is gone (a program that died) is taken over.
        QVERIFY(ClaimYearOpening(*other, "2027", "KOVACS", &refusal));
        other->close();
        other.reset();
        const YearOpeningSummary again = OpenYear(*db->conn, "2027", false);
        QVERIFY2(again.ok(), qPrintable(again.lines().join('\n')));
        QCOMPARE(db->count("SELECT COUNT(*) FROM EVNYITAS"), qint64(0));
    }

    // A year more than one past the business year is refused, whoever asks.
    void yearTooFarRefused() {
        fresh();
        add(contract(1, "KP", "2026.03.01", "1000000"));
        generateCurrentYear(1, true);
        const QStringList before = everything();
        QCOMPARE(OpeningYearRefusal("2026", "2027"), QString());
        QCOMPARE(OpeningYearRefusal("2026", "2026"), QString());
        QCOMPARE(OpeningYearRefusal("", "2031"), QString());   // no business year: the caller asks
        QCOMPARE(OpeningYearRefusal("2026", "2028"),
                 QString("A(z) 2028. év nem nyitható meg: az aktuális év 2026, legfeljebb a(z) 2027. év nyitható meg."));
        const YearOpeningSummary s = OpenYear(*db->conn, "2028", false);
        QCOMPARE(s.refused, OpeningYearRefusal("2026", "2028"));
        QCOMPARE(everything(), before);
    }

    // An invalid year changes nothing.
    void invalidYear() {
        fresh();
        add(contract(1, "KP", "2026.03.01", "1000000"));
        generateCurrentYear(1, true);
        const QStringList before = everything();
        for (const QString& y : {QStringLiteral("27"), QStringLiteral("20271"), QStringLiteral("2O27"), QString()}) {
            const YearOpeningSummary s = OpenYear(*db->conn, y, false);
            QCOMPARE(s.error, QStringLiteral("Hibás év: \"%1\". Négy számjegyű évet kell megadni.").arg(y));
            QCOMPARE(s.contracts, 0);
        }
        QCOMPARE(everything(), before);
    }

    // One transaction per contract: a failing contract leaves no trace, those before
    // it stay opened, and a later run finishes the job.
    void failureAndCancelKeepContractsWhole_data() {
        QTest::addColumn<int>("batch");
        QTest::newRow("one transaction per contract") << 1;
        QTest::newRow("two contracts per transaction") << 2;
    }
    void failureAndCancelKeepContractsWhole() {
        QFETCH(int, batch);
        fresh();
        for (qint64 b : {1, 2, 3}) {
            add(contract(b, "KP", "2026.03.01", "1000000"));
            generateCurrentYear(b, true);
        }
        db->conn->exec("CREATE EXCEPTION E_TESZT 'teszt hiba'");
        db->conn->exec("CREATE TRIGGER T_TESZT FOR FORGFIZ ACTIVE BEFORE INSERT POSITION 0 AS BEGIN"
                       " IF (NEW.BIZONYLAT = 2) THEN EXCEPTION E_TESZT; END");
        const YearOpeningSummary failed = OpenYear(*db->conn, "2027", false, {}, "TESZT", batch);
        QVERIFY(!failed.ok());
        QCOMPARE(failed.failedContract, qint64(2));
        QCOMPARE(failed.contracts, 1);
        QCOMPARE(visitsIn2027(1), qint64(52));
        QCOMPARE(visitsIn2027(2), qint64(0));   // its visits went with its failed billing
        QCOMPARE(visitsIn2027(3), qint64(0));
        db->conn->exec("DROP TRIGGER T_TESZT");

        // Stopped through the progress callback after the first contract.
        const YearOpeningSummary stopped = OpenYear(*db->conn, "2027", false,
                                                    [](int done, int, qint64) { return done < 1; }, "TESZT", batch);
        QVERIFY(stopped.cancelled);
        QCOMPARE(stopped.contracts, 1);
        QCOMPARE(visitsIn2027(2), qint64(0));

        const YearOpeningSummary rest = OpenYear(*db->conn, "2027", false, {}, "TESZT", batch);
        QVERIFY(rest.ok());
        QCOMPARE(rest.contracts, 3);
        for (qint64 b : {1, 2, 3}) {
            QCOMPARE(visitsIn2027(b), qint64(52));
            QCOMPARE(count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM >= '2027.01.01'", b),
                     qint64(12));
        }
    }

    // The connection goes away in the middle of the run: that is said as it is,
    // no contract is blamed, nothing half written stays, and a new run finishes.
    void lostConnectionIsNoContractsFault_data() {
        QTest::addColumn<int>("batch");
        QTest::newRow("one transaction per contract") << 1;
        QTest::newRow("two contracts per transaction") << 2;
    }
    void lostConnectionIsNoContractsFault() {
        QFETCH(int, batch);
        fresh();
        for (qint64 b : {1, 2, 3}) {
            add(contract(b, "KP", "2026.03.01", "1000000"));
            generateCurrentYear(b, true);
        }
        auto other = vl::db::connect(embeddedParams(db->path));
        const qint64 runId = db->conn->query("SELECT CURRENT_CONNECTION FROM RDB$DATABASE").at(0, 0).toLongLong();
        const YearOpeningSummary lost = OpenYear(*db->conn, "2027", false, [&](int done, int, qint64) {
            if (done == 1)
                other->exec("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = :id", {{"id", runId}});
            return true;
        }, "TESZT", batch);
        QVERIFY(!lost.ok());
        QVERIFY2(lost.error.startsWith(vl::db::connectionLostText()), qPrintable(lost.error));
        QCOMPARE(lost.failedContract, qint64(0));
        QVERIFY(!lost.lines().join('\n').contains("szerződésnél"));
        for (qint64 b : {1, 2, 3})
            QCOMPARE(other->query("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM >= '2027.01.01'",
                                  {{"b", b}}).at(0, 0).toLongLong(), qint64(0));

        db->conn = vl::db::connect(embeddedParams(db->path));
        const YearOpeningSummary again = OpenYear(*db->conn, "2027", false, {}, "TESZT", batch);
        QVERIFY2(again.ok(), qPrintable(again.lines().join('\n')));
        QCOMPARE(again.contracts, 3);
        for (qint64 b : {1, 2, 3}) QCOMPARE(visitsIn2027(b), qint64(52));
    }
};

QTEST_GUILESS_MAIN(TstYearOpening)
#include "tst_yearopening.moc"
