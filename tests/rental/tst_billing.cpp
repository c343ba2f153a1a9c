// Cash billing periods on a real database: cutting, pricing, horizon, regeneration.
#include "tst_schedule_fixture.h"

#include "rental/Billing.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

class TstBilling : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 500;

    qint64 makeContract(const QString& berkezd, const QString& unit, int items, qint64 price,
                        const QString& fizmod = "KP", const QString& bermod = "HT", const QString& berveg = QString()) {
        ContractFixture c;
        c.bizonylat = ++next;
        c.berkezd = berkezd;
        c.berveg = berveg;
        c.fizmod = fizmod;
        c.bermod = bermod;
        LineFixture l;
        l.pattern = "0000000";
        l.kiszall = berkezd;
        l.items = items;
        l.nettoar = price;
        l.bermegyseg = unit;
        c.lines << l;
        auto tx = db.conn->begin();
        insertContract(*tx, c);
        tx->commit();
        return c.bizonylat;
    }

    void activity(qint64 b, const QString& datum, const QString& kind, const QString& state, qint64 price,
                  int qty = 1, const QString& table = "FORGTEV") {
        const qint64 no = db.count(QStringLiteral("SELECT COALESCE(MAX(TEVSORSZAM), 0) + 1 FROM %1 WHERE BIZONYLAT = :b"
                                                  " AND DATUM = :d").arg(table), {{"b", b}, {"d", datum}});
        db.conn->exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                                     " TEVALLAPOT, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, 1, :d, :n, :k, :st,"
                                     " :ar, :q, 'K')").arg(table),
                      {{"b", b}, {"d", datum}, {"n", no}, {"k", kind}, {"st", state}, {"ar", price}, {"q", qty}});
    }

    void payment(qint64 b, const QString& from, const QString& to, const QString& state, qint64 netto,
                 const QString& table = "FORGFIZ") {
        db.conn->exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO,"
                                     " TEVALLAPOT, TEVKOD, SOFORKOD) VALUES (:b, 1, :d, 1, :d2, :n, :n, :st, 'FIZ', 'S1')")
                          .arg(table),
                      {{"b", b}, {"d", from}, {"d2", to}, {"n", netto}, {"st", state}});
    }

    BillingResult bill(qint64 b, const QString& first, const QString& last = QString(),
                       const QString& stamp = "2026.01.01 00:00:00") {
        const GeneratorContext ctx = context(*db.conn, stamp);
        auto tx = db.conn->begin();
        const BillingResult r = GenerateBilling(*tx, ctx, b, 1, first, last);
        tx->commit();
        return r;
    }

    // "from..to netto brutto state #n" of a contract's periods.
    QStringList periods(qint64 b, const QString& table = "FORGFIZ") {
        auto rs = db.conn->query(QStringLiteral("SELECT DATUM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVSORSZAM, TEVKOD,"
                                                " SOFORKOD FROM %1 WHERE BIZONYLAT = :b ORDER BY DATUM, TEVSORSZAM")
                                     .arg(table),
                                 {{"b", b}});
        QStringList out;
        while (rs.next()) {
            if (rs.text("TEVKOD") != "FIZ" || rs.text("SOFORKOD") != "S1")
                out << "not FIZ of S1: " + rs.text("TEVKOD") + "/" + rs.text("SOFORKOD");
            out << QStringLiteral("%1..%2 %3 %4 %5 #%6").arg(rs.text("DATUM"), rs.text("DATUM2"))
                       .arg(rs.integer("NETTO")).arg(rs.integer("BRUTTO")).arg(rs.text("TEVALLAPOT"))
                       .arg(rs.integer("TEVSORSZAM"));
        }
        return out;
    }

private slots:
    void initTestCase() { db.create(); }

    void firstPeriodEnd_data() {
        QTest::addColumn<QString>("kotnap");
        QTest::addColumn<QString>("jel");
        QTest::addColumn<int>("oszto");
        QTest::addColumn<int>("bermenny");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("month from the 15th") << "N" << "H" << 30 << 1 << "2024.03.15" << "2024.04.30";
        QTest::newRow("month from the 1st") << "N" << "H" << 30 << 1 << "2024.03.01" << "2024.03.31";
        QTest::newRow("month from 31 January") << "N" << "H" << 30 << 1 << "2024.01.31" << "2024.02.29";
        QTest::newRow("week") << "N" << "A" << 7 << 1 << "2024.03.04" << "2024.03.10";
        QTest::newRow("two four-weeks") << "N" << "7" << 28 << 2 << "2024.03.04" << "2024.04.28";
        QTest::newRow("fixed term") << "I" << "H" << 30 << 1 << "2024.03.15" << "2024.08.20";
        QTest::newRow("no length") << "N" << "A" << 0 << 1 << "2024.03.04" << "";
    }
    void firstPeriodEnd() {
        QFETCH(QString, kotnap);
        QFETCH(QString, jel);
        QFETCH(int, oszto);
        QFETCH(int, bermenny);
        QFETCH(QString, start);
        QFETCH(QString, end);
        BillingTerms t;
        t.kotnap = kotnap;
        t.berszamjel = jel;
        t.oszto = oszto;
        t.bermenny = bermenny;
        t.berkezd = "2024.01.01";
        t.berveg = "2024.08.20";
        QCOMPARE(FirstPeriodEnd(t, start), end);
    }

    // Monthly unit from the 15th: a prorated first period to the end of the next
    // month, then calendar months; activities of the period that are planned,
    // planned again or done, month-end days included, cancelled ones not.
    void monthlyFromMidMonth() {
        const qint64 b = makeContract("2026.03.15", "Hó", 2, 10000);
        activity(b, "2026.04.10", "SZK", "E", 9000);
        activity(b, "2026.05.31", "KA", "T", 4500);
        activity(b, "2026.06.15", "SZK", "X", 9000);
        activity(b, "2026.07.01", "KA", "L", 500, 2);
        const auto r = bill(b, "2026.03.15");
        const QStringList expected{
            "2026.03.15..2026.04.30 40333 51223 T #1", "2026.05.01..2026.05.31 24500 31115 T #1",
            "2026.06.01..2026.06.30 20000 25400 T #1", "2026.07.01..2026.07.31 21000 26670 T #1",
            "2026.08.01..2026.08.31 20000 25400 T #1", "2026.09.01..2026.09.30 20000 25400 T #1",
            "2026.10.01..2026.10.31 20000 25400 T #1", "2026.11.01..2026.11.30 20000 25400 T #1",
            "2026.12.01..2026.12.31 20000 25400 T #1"};
        QCOMPARE(periods(b), expected);
        QCOMPARE(r.written, 9);
        // The first period's end as the payment form asks for it.
        auto tx = db.conn->begin();
        QCOMPARE(FirstPeriodEnd(*tx, b, 1, QString()), QString("2026.04.30"));
        QCOMPARE(FirstPeriodEnd(*tx, b, 1, "2026.06.01"), QString("2026.06.30"));
    }

    // Weekly unit: seven-day periods, the next starting the day after; an activity
    // on the second period's first day belongs to it.
    void weeklyPeriods() {
        const qint64 b = makeContract("2026.03.04", "Hét", 1, 5000);
        activity(b, "2026.03.11", "KA", "T", 4500);
        bill(b, "2026.03.04");
        const QStringList p = periods(b);
        QCOMPARE(p.size(), 43);
        QCOMPARE(p.at(0), QString("2026.03.04..2026.03.10 5000 6350 T #1"));
        QCOMPARE(p.at(1), QString("2026.03.11..2026.03.17 9500 12065 T #1"));
        QCOMPARE(p.last(), QString("2026.12.23..2026.12.29 5000 6350 T #1"));
    }

    // A fixed-term contract has its one period, written whole.
    void fixedTerm() {
        const qint64 b = makeContract("2026.05.10", "Hó", 1, 10000, "KP", "HO", "2027.02.20");
        activity(b, "2027.02.20", "KA", "T", 4500);
        activity(b, "2027.02.21", "KA", "T", 4500);   // after the end
        bill(b, "2026.05.10");
        QCOMPARE(periods(b), QStringList{"2026.05.10..2027.02.20 14500 18415 T #1"});
        // The handover cut-off: the day before the first visit of the week in which
        // the day after the term falls (Sunday 21 February: the visit of the 20th).
        auto tx = db.conn->begin();
        QCOMPARE(CutoffBeforeMaintenance(*tx, b, 1), QString("2027.02.19"));
    }

    void cutoffBeforeMaintenance() {
        const qint64 b = makeContract("2026.03.15", "Hó", 1, 10000);
        {
            auto tx = db.conn->begin();
            QCOMPARE(CutoffBeforeMaintenance(*tx, b, 1), QString("2026.04.30"));
        }
        activity(b, "2026.04.28", "KA", "T", 4500);   // in the week of 1 May
        auto tx = db.conn->begin();
        QCOMPARE(CutoffBeforeMaintenance(*tx, b, 1), QString("2026.04.27"));
    }

    // Not paid in cash: the planned periods go, the paid ones stay, nothing is written.
    void nonCash() {
        const qint64 b = makeContract("2026.03.01", "Hó", 1, 10000, "ATU");
        payment(b, "2026.03.01", "2026.03.31", "E", 10000);
        payment(b, "2026.04.01", "2026.04.30", "T", 10000);
        const auto r = bill(b, "2026.03.01");
        QCOMPARE(r.deleted, 1);
        QCOMPARE(r.written, 0);
        QCOMPARE(periods(b), QStringList{"2026.03.01..2026.03.31 10000 10000 E #1"});
    }

    // The rent counts the items still out on a period's first day; no period after the last take-back.
    void takeBacks() {
        const qint64 b = makeContract("2026.03.01", "Hó", 2, 10000);
        db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.06.10' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}});
        db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.09.01' WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}});
        bill(b, "2026.03.01");
        QCOMPARE(periods(b), (QStringList{
            "2026.03.01..2026.03.31 20000 25400 T #1", "2026.04.01..2026.04.30 20000 25400 T #1",
            "2026.05.01..2026.05.31 20000 25400 T #1", "2026.06.01..2026.06.30 20000 25400 T #1",
            "2026.07.01..2026.07.31 10000 12700 T #1", "2026.08.01..2026.08.31 10000 12700 T #1"}));
    }

    // A regeneration rewrites only planned periods and cuts them around a paid one:
    // the month before it ends the day before it, the month after it begins the day
    // after it, each charged for its days. A cancelled period covers nothing. A
    // re-run changes nothing.
    void regenerationKeepsPaid() {
        const qint64 b = makeContract("2026.03.01", "Hó", 2, 10000);
        bill(b, "2026.03.01");
        db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.04.01'", {{"b", b}});
        db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'X' WHERE BIZONYLAT = :b AND DATUM = '2026.05.01'", {{"b", b}});
        payment(b, "2026.06.10", "2026.07.05", "E", 15000);   // paid by hand across two months
        db.conn->exec("UPDATE FORGSOR SET NETTOAR = 12000 WHERE BIZONYLAT = :b", {{"b", b}});
        const auto r = bill(b, "2026.03.01", QString(), "2026.02.02 02:02:02");
        QCOMPARE(periods(b), (QStringList{
            "2026.03.01..2026.03.31 24000 30480 T #1", "2026.04.01..2026.04.30 20000 25400 E #1",
            "2026.05.01..2026.05.31 20000 25400 X #1", "2026.05.01..2026.05.31 24000 30480 T #2",
            "2026.06.01..2026.06.09 7200 9144 T #1",      // 24000 x 9 / 30
            "2026.06.10..2026.07.05 15000 15000 E #1",
            "2026.07.06..2026.07.31 20129 25564 T #1",    // 24000 x 26 / 31
            "2026.08.01..2026.08.31 24000 30480 T #1", "2026.09.01..2026.09.30 24000 30480 T #1",
            "2026.10.01..2026.10.31 24000 30480 T #1", "2026.11.01..2026.11.30 24000 30480 T #1",
            "2026.12.01..2026.12.31 24000 30480 T #1"}));
        QCOMPARE(r.deleted, 2);   // the whole June and July of the first run
        QCOMPARE(r.updated, 6);   // March, August .. December: the same days, new amounts
        QCOMPARE(r.written, 3);   // May, the cut June and July
        const QStringList before = paymentSnapshot(*db.conn);
        const auto again = bill(b, "2026.03.01", QString(), "2026.03.03 03:03:03");
        QCOMPARE(again.written + again.deleted + again.updated, 0);
        QCOMPARE(paymentSnapshot(*db.conn), before);
    }

    // Cut periods of a weekly unit: around a paid week that does not line up with
    // the periods, and around a period entered by hand (planned, but never deleted
    // by a regeneration); every day out is covered exactly once.
    void cutAroundStayingPeriods() {
        const qint64 b = makeContract("2026.03.02", "Hét", 1, 7000);
        payment(b, "2026.03.12", "2026.03.18", "E", 7000);
        payment(b, "2026.04.01", "2026.04.03", "T", 3000);
        db.conn->exec("UPDATE FORGFIZ SET KEZI = 'I' WHERE BIZONYLAT = :b AND DATUM = '2026.04.01'", {{"b", b}});
        bill(b, "2026.03.02");
        const QStringList p = periods(b);
        QCOMPARE(p.mid(0, 9), (QStringList{
            "2026.03.02..2026.03.08 7000 8890 T #1",
            "2026.03.09..2026.03.11 3000 3810 T #1",     // cut before the paid one: 3 of 7 days
            "2026.03.12..2026.03.18 7000 7000 E #1",
            "2026.03.19..2026.03.22 4000 5080 T #1",     // the rest of the week after it: 4 of 7
            "2026.03.23..2026.03.29 7000 8890 T #1",
            "2026.03.30..2026.03.31 2000 2540 T #1",     // before the one entered by hand
            "2026.04.01..2026.04.03 3000 3000 T #1",
            "2026.04.04..2026.04.05 2000 2540 T #1",
            "2026.04.06..2026.04.12 7000 8890 T #1"}));
        // Every day from the first one to the last period's end is covered once.
        QDate expect(2026, 3, 2);
        for (const QString& line : p) {
            const QDate from = QDate::fromString(line.left(10), "yyyy.MM.dd");
            const QDate to = QDate::fromString(line.mid(12, 10), "yyyy.MM.dd");
            QCOMPARE(from, expect);
            expect = to.addDays(1);
        }
        // The one entered by hand survives a regeneration from before it.
        const QStringList before = paymentSnapshot(*db.conn);
        const auto again = bill(b, "2026.03.02", QString(), "2026.03.03 03:03:03");
        QCOMPARE(again.written + again.deleted + again.updated, 0);
        QCOMPARE(paymentSnapshot(*db.conn), before);
    }

    // An item is billed from its delivery day: nothing before it, its days out in
    // the period it is delivered in, the full charge after; prorations multiply
    // with a cut period's share and the rent is rounded once.
    void billedFromDelivery() {
        // Two items from 1 March; the second one goes out on 11 May.
        const qint64 b = makeContract("2026.03.01", "Hó", 2, 10000);
        db.conn->exec("UPDATE FORGKABIN SET KISZALL = '2026.05.11' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}});
        bill(b, "2026.03.01");
        QCOMPARE(periods(b).mid(0, 4), (QStringList{
            "2026.03.01..2026.03.31 10000 12700 T #1", "2026.04.01..2026.04.30 10000 12700 T #1",
            "2026.05.01..2026.05.31 16774 21303 T #1",   // 10000 + 10000 x 21 / 31
            "2026.06.01..2026.06.30 20000 25400 T #1"}));

        // The contract starts on 1 March, its only item goes out on 16 June.
        const qint64 c = makeContract("2026.03.01", "Hó", 1, 10000);
        db.conn->exec("UPDATE FORGKABIN SET KISZALL = '2026.06.16' WHERE BIZONYLAT = :b", {{"b", c}});
        bill(c, "2026.03.01");
        QCOMPARE(periods(c).mid(0, 2), (QStringList{
            "2026.06.01..2026.06.30 5000 6350 T #1",     // 10000 x 15 / 30; nothing before June
            "2026.07.01..2026.07.31 10000 12700 T #1"}));

        // Delivered inside the prorated first period (15 March .. 30 April, charged
        // x 47 / 30): the second item pays 30 of its 47 days.
        const qint64 d = makeContract("2026.03.15", "Hó", 2, 10000);
        db.conn->exec("UPDATE FORGKABIN SET KISZALL = '2026.04.01' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", d}});
        bill(d, "2026.03.15");
        QCOMPARE(periods(d).first(), QString("2026.03.15..2026.04.30 25667 32597 T #1"));   // 15666.67 + 10000

        // Delivered inside a cut period: a paid week 12..18 March, the item out on
        // 10 March: the cut 9..11 March bills 2 of the week's 7 days.
        const qint64 e = makeContract("2026.03.02", "Hét", 2, 7000);
        db.conn->exec("UPDATE FORGKABIN SET KISZALL = '2026.03.10' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", e}});
        payment(e, "2026.03.12", "2026.03.18", "E", 14000);
        bill(e, "2026.03.02");
        QCOMPARE(periods(e).mid(0, 4), (QStringList{
            "2026.03.02..2026.03.08 7000 8890 T #1",
            "2026.03.09..2026.03.11 5000 6350 T #1",     // 7000 x 3 / 7 + 7000 x 2 / 7
            "2026.03.12..2026.03.18 14000 14000 E #1",
            "2026.03.19..2026.03.22 8000 10160 T #1"}));
    }

    // What a user set on a planned period (its collecting driver, its remark) stays
    // when a regeneration writes the period again with the same days.
    void userValuesKept() {
        const qint64 b = makeContract("2026.03.01", "Hó", 1, 10000);
        bill(b, "2026.03.01");
        db.conn->exec("UPDATE FORGFIZ SET SOFORKOD = 'S2', KOMMENT = 'Kovács viszi' WHERE BIZONYLAT = :b"
                      " AND DATUM = '2026.05.01'", {{"b", b}});
        db.conn->exec("UPDATE FORGSOR SET NETTOAR = 12000 WHERE BIZONYLAT = :b", {{"b", b}});
        const auto r = bill(b, "2026.03.01", QString(), "2026.04.04 04:04:04");
        QCOMPARE(r.deleted, 0);
        auto rs = db.conn->query("SELECT SOFORKOD, KOMMENT, NETTO, BRUTTO, MIKOR FROM FORGFIZ WHERE BIZONYLAT = :b"
                                 " AND DATUM = '2026.05.01'", {{"b", b}});
        QCOMPARE(rs.rowCount(), 1);
        QVERIFY(rs.next());
        QCOMPARE(rs.text("SOFORKOD"), QString("S2"));
        QCOMPARE(rs.text("KOMMENT"), QString("Kovács viszi"));
        QCOMPARE(rs.integer("NETTO"), qint64(12000));
        QCOMPARE(rs.integer("BRUTTO"), qint64(15240));
        QCOMPARE(rs.text("MIKOR"), QString("2026.04.04 04:04:04"));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND NETTO = 12000 AND SOFORKOD = 'S1'",
                          {{"b", b}}), qint64(9));
    }

    // The first day still to bill: on or after the contract start, the day after the
    // last printed appendix and 1 January of the business year (2026), the first day
    // that no staying period covers (paid, entered by hand, planned before 1 January).
    void firstDayStillToBill_data() {
        QTest::addColumn<QString>("berkezd");
        QTest::addColumn<QString>("lastprint");
        QTest::addColumn<QStringList>("rows");   // "from to state hand"
        QTest::addColumn<QString>("first");
        QTest::newRow("no period: not before the business year") << "2025.11.01" << "" << QStringList{} << "2026.01.01";
        QTest::newRow("a new contract from its start") << "2026.05.10" << "" << QStringList{} << "2026.05.10";
        QTest::newRow("after a paid period") << "2025.11.01" << ""
                                             << QStringList{"2026.01.01 2026.01.31 E N"} << "2026.02.01";
        QTest::newRow("a cancelled period does not move it")
            << "2025.11.01" << "" << QStringList{"2026.01.01 2026.01.31 E N", "2026.02.01 2026.02.28 X N"}
            << "2026.02.01";
        QTest::newRow("planned from the year before stays")
            << "2025.11.01" << "" << QStringList{"2025.12.01 2026.01.31 T N", "2026.02.01 2026.02.28 T N"}
            << "2026.02.01";
        QTest::newRow("entered by hand, then paid")
            << "2025.11.01" << "" << QStringList{"2026.01.01 2026.01.15 T I", "2026.01.16 2026.02.28 E N"}
            << "2026.03.01";
        QTest::newRow("a later paid period leaves the gap before it")
            << "2025.11.01" << "" << QStringList{"2026.01.01 2026.01.31 E N", "2026.03.01 2026.03.31 E N"}
            << "2026.02.01";
        QTest::newRow("after the last appendix") << "2025.11.01" << "2026.03.31"
                                                 << QStringList{"2026.01.01 2026.01.31 E N"} << "2026.04.01";
    }
    void firstDayStillToBill() {
        QFETCH(QString, berkezd);
        QFETCH(QString, lastprint);
        QFETCH(QStringList, rows);
        QFETCH(QString, first);
        const qint64 b = makeContract(berkezd, "Hó", 1, 10000);
        db.conn->exec("UPDATE FORGFEJ SET LASTPRINT = :lp WHERE BIZONYLAT = :b", {{"lp", lastprint}, {"b", b}});
        for (const QString& r : rows) {
            const QStringList f = r.split(' ');
            payment(b, f[0], f[1], f[2], 1000);
            db.conn->exec("UPDATE FORGFIZ SET KEZI = :kezi WHERE BIZONYLAT = :b AND DATUM = :d",
                          {{"kezi", f[3]}, {"b", b}, {"d", f[0]}});
        }
        const GeneratorContext ctx = context(*db.conn);
        auto tx = db.conn->begin();
        QCOMPARE(FirstDayStillToBill(*tx, ctx, b, 1), first);
    }

    // A first day in December bills to the end of the next year; a later run from
    // November leaves next year's periods as they are.
    void decemberHorizon() {
        const qint64 b = makeContract("2026.11.01", "Hó", 1, 10000);
        bill(b, "2026.12.01");
        const QStringList p = periods(b);
        QCOMPARE(p.size(), 13);
        QCOMPARE(p.last(), QString("2027.12.01..2027.12.31 10000 12700 T #1"));
        const auto r = bill(b, "2026.11.01");
        QCOMPARE(r.deleted, 0);
        QCOMPARE(r.written, 1);   // November itself
        QCOMPARE(periods(b).size(), 14);
    }

    // The contract form's generation on its work copies: from the day after the
    // last paid period, or after the last printed appendix.
    void cashPaymentsOnWorkCopies() {
        createWorkCopy(*db.conn, "FORGSOR", "TMP_CSOPFIZ_1");
        createWorkCopy(*db.conn, "FORGKABIN", "TMP_KABFIZ_1");
        createWorkCopy(*db.conn, "FORGTEV", "TMP_TEVFIZ_1");
        createWorkCopy(*db.conn, "FORGFIZ", "TMP_FIZFIZ_1");
        const auto tables = RentalTables::workCopies("TMP_CSOPFIZ_1", "TMP_KABFIZ_1", "TMP_TEVFIZ_1", "TMP_FIZFIZ_1");
        ContractFixture c;
        c.bizonylat = 0;
        LineFixture l;
        l.pattern = "0000000";
        l.kiszall = "2026.03.01";
        l.nettoar = 10000;
        c.lines << l;
        {
            auto tx = db.conn->begin();
            insertContract(*tx, c, tables.lines, tables.items, false);
            tx->commit();
        }
        payment(0, "2026.03.01", "2026.03.31", "E", 10000, tables.payments);
        activity(0, "2026.04.15", "KA", "T", 4500, 1, tables.activities);

        CashPaymentForm form;
        form.bizonylat = 0;
        form.fizmod = "KP";
        form.bermod = "HT";
        form.berkezd = "2026.03.01";
        const GeneratorContext ctx = context(*db.conn);
        auto tx = db.conn->begin();
        QCOMPARE(CashPaymentsFirstDay(*tx, ctx, tables, form), QString("2026.04.01"));
        const auto r = GenerateCashPayments(*tx, ctx, tables, form);
        tx->commit();
        QCOMPARE(r.written, 9);
        const QStringList p = periods(0, tables.payments);
        QCOMPARE(p.at(0), QString("2026.03.01..2026.03.31 10000 10000 E #1"));
        QCOMPARE(p.at(1), QString("2026.04.01..2026.04.30 14500 18415 T #1"));
        QCOMPARE(p.last(), QString("2026.12.01..2026.12.31 10000 12700 T #1"));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = 0"), qint64(0));

        // An appendix printed to 31 May: the form bills from 1 June.
        form.lastprint = "2026.05.31";
        auto tx2 = db.conn->begin();
        QCOMPARE(CashPaymentsFirstDay(*tx2, ctx, tables, form), QString("2026.06.01"));
        // A bank-transfer contract loses its planned periods from the first day on.
        form.fizmod = "ATU";
        const auto r2 = GenerateCashPayments(*tx2, ctx, tables, form);
        tx2->commit();
        QCOMPARE(r2.deleted, 7);
        QCOMPARE(periods(0, tables.payments).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TstBilling)
#include "tst_billing.moc"
