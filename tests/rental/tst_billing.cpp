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
        ContractSpec c;
        c.bizonylat = ++next;
        c.berkezd = berkezd;
        c.berveg = berveg;
        c.fizmod = fizmod;
        c.bermod = bermod;
        LineSpec l;
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

    // A regeneration rewrites only planned periods, never overlaps a paid one, and
    // a re-run changes nothing.
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
            "2026.06.10..2026.07.05 15000 15000 E #1",
            "2026.08.01..2026.08.31 24000 30480 T #1", "2026.09.01..2026.09.30 24000 30480 T #1",
            "2026.10.01..2026.10.31 24000 30480 T #1", "2026.11.01..2026.11.30 24000 30480 T #1",
            "2026.12.01..2026.12.31 24000 30480 T #1"}));
        QCOMPARE(r.deleted, 8);   // March, June .. December of the first run
        QCOMPARE(r.written, 7);   // March, May (only a paid period blocks), August .. December
        const QStringList before = paymentSnapshot(*db.conn);
        const auto again = bill(b, "2026.03.01", QString(), "2026.03.03 03:03:03");
        QCOMPARE(again.written + again.deleted, 0);
        QCOMPARE(paymentSnapshot(*db.conn), before);
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
        ContractSpec c;
        c.bizonylat = 0;
        LineSpec l;
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
