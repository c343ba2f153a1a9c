// The charge of an appendix row: one table of cases over every mark, the
// full month, proration, the minimum price floor, printed periods, the week
// alignment and empty periods.
#include "billing/Appendix.h"
#include "billing/AppendixCharge.h"

#include <QtTest>

using namespace vl::billing;

class TestAppendixCharge : public QObject {
    Q_OBJECT
private slots:
    void charge_data() {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<qint64>("price");
        QTest::addColumn<qint64>("qty");
        QTest::addColumn<qint64>("minimum");
        QTest::addColumn<QString>("kiszall");
        QTest::addColumn<QString>("vszall");
        QTest::addColumn<QString>("lastprintt");
        QTest::addColumn<QString>("lastprint");
        QTest::addColumn<QString>("from");     // the period (and the row's own period)
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("done");
        QTest::addColumn<qint64>("charge");
        QTest::addColumn<qint64>("days");
        QTest::addColumn<bool>("minimumApplied");

        const QString m1 = QStringLiteral("2024.03.01"), m31 = QStringLiteral("2024.03.31");
        QTest::newRow("H full month") << "H" << 30000LL << 1LL << 0LL << "2024.01.10" << "" << "" << "" << m1 << m31
                                      << false << 30000LL << 31LL << false;
        QTest::newRow("H leap February") << "H" << 30000LL << 1LL << 0LL << "2024.01.10" << "" << "" << ""
                                         << "2024.02.01" << "2024.02.29" << false << 30000LL << 29LL << false;
        QTest::newRow("H delivered on the 11th") << "H" << 30000LL << 1LL << 0LL << "2024.03.11" << "" << "" << ""
                                                 << m1 << m31 << false << 21000LL << 21LL << false;
        QTest::newRow("H thirds round down") << "H" << 40000LL << 1LL << 0LL << "2024.03.22" << "" << "" << ""
                                             << m1 << m31 << false << 13333LL << 10LL << false;
        QTest::newRow("H a half rounds up") << "H" << 15LL << 1LL << 0LL << "2024.03.31" << "" << "" << ""
                                            << m1 << m31 << false << 1LL << 1LL << false;
        QTest::newRow("H two thirds round up") << "H" << 35000LL << 1LL << 0LL << "2024.03.15" << "" << "" << ""
                                               << m1 << m31 << false << 19833LL << 17LL << false;
        QTest::newRow("H 29999 for 7 days") << "H" << 29999LL << 1LL << 0LL << "2024.03.25" << "" << "" << ""
                                            << m1 << m31 << false << 7000LL << 7LL << false;
        QTest::newRow("7 four weeks") << "7" << 28000LL << 1LL << 0LL << "2024.03.04" << "" << "" << ""
                                      << "2024.03.04" << "2024.03.31" << false << 28000LL << 28LL << false;
        QTest::newRow("7 ten days") << "7" << 28000LL << 1LL << 0LL << "2024.03.22" << "" << "" << ""
                                    << m1 << m31 << false << 10000LL << 10LL << false;
        QTest::newRow("7 odd price") << "7" << 30000LL << 1LL << 0LL << "2024.03.22" << "" << "" << ""
                                     << m1 << m31 << false << 10714LL << 10LL << false;
        QTest::newRow("N daily") << "N" << 500LL << 1LL << 0LL << "2024.03.25" << "" << "" << ""
                                 << m1 << m31 << false << 3500LL << 7LL << false;
        QTest::newRow("W one week") << "W" << 11000LL << 1LL << 0LL << "2024.03.01" << "2024.03.07" << "" << ""
                                    << m1 << m31 << false << 11000LL << 7LL << false;
        QTest::newRow("W ten days") << "W" << 11000LL << 1LL << 0LL << "2024.03.22" << "" << "" << ""
                                    << m1 << m31 << false << 15714LL << 10LL << false;
        QTest::newRow("W two-week price") << "W" << 20000LL << 2LL << 0LL << "2024.03.18" << "" << "" << ""
                                          << m1 << m31 << false << 20000LL << 14LL << false;
        QTest::newRow("A in the delivery period") << "A" << 50000LL << 2LL << 0LL << "2024.03.15" << "" << "" << ""
                                                  << m1 << m31 << false << 100000LL << 10LL << false;
        QTest::newRow("A in the next period") << "A" << 50000LL << 2LL << 0LL << "2024.03.15" << "" << "" << ""
                                              << "2024.04.01" << "2024.04.30" << false << 0LL << 0LL << false;
        QTest::newRow("A delivered after the period") << "A" << 50000LL << 1LL << 0LL << "2024.04.02" << "" << "" << ""
                                                      << m1 << m31 << false << 0LL << 0LL << false;
        QTest::newRow("unknown mark counts its days") << "Q" << 50000LL << 1LL << 0LL << "2024.03.01" << "" << "" << ""
                                                      << m1 << m31 << false << 0LL << 31LL << false;
        QTest::newRow("unknown mark delivered on the 11th") << "Q" << 50000LL << 1LL << 0LL << "2024.03.11" << ""
                                                            << "" << "" << m1 << m31 << false << 0LL << 21LL << false;
        QTest::newRow("take-back inside, no minimum") << "H" << 30000LL << 1LL << 0LL << "2024.01.01" << "2024.03.10"
                                                      << "" << "" << m1 << m31 << true << 10000LL << 10LL << false;
        QTest::newRow("take-back inside, minimum") << "H" << 30000LL << 1LL << 20000LL << "2024.03.01" << "2024.03.10"
                                                   << "" << "" << m1 << m31 << true << 20000LL << 30LL << true;
        QTest::newRow("minimum only when the take-back is done")
            << "H" << 30000LL << 1LL << 20000LL << "2024.03.01" << "2024.03.10" << "" << "" << m1 << m31 << false
            << 10000LL << 10LL << false;
        QTest::newRow("minimum less the printed February")
            << "H" << 30000LL << 1LL << 20000LL << "2024.02.20" << "2024.03.05" << "2024.02.20" << "2024.02.29" << m1
            << m31 << true << 10000LL << 30LL << true;
        QTest::newRow("re-run of the printed March gives the same")
            << "H" << 30000LL << 1LL << 20000LL << "2024.02.20" << "2024.03.05" << m1 << m31 << m1 << m31 << true
            << 10000LL << 30LL << true;
        QTest::newRow("floor never below pro rata")
            << "H" << 30000LL << 1LL << 12000LL << "2024.03.01" << "2024.03.20" << "" << "" << m1 << m31 << true
            << 20000LL << 20LL << false;
        QTest::newRow("floor never negative")
            << "H" << 30000LL << 1LL << 15000LL << "2024.02.10" << "2024.03.05" << "2024.02.01" << "2024.02.29" << m1
            << m31 << true << 5000LL << 5LL << false;
        QTest::newRow("older period printed after a later one")
            << "H" << 30000LL << 1LL << 20000LL << "2024.03.01" << "2024.03.10" << "2024.04.01" << "2024.04.30" << m1
            << m31 << true << 20000LL << 30LL << true;
        QTest::newRow("take-back before the period") << "H" << 30000LL << 1LL << 20000LL << "2024.01.10" << "2024.02.15"
                                                     << "" << "" << m1 << m31 << true << 0LL << 0LL << false;
        QTest::newRow("short month typed") << "H" << 30000LL << 1LL << 0LL << "2024.01.10" << "" << "" << ""
                                           << "202402" << "202402" << false << 30000LL << 29LL << false;
    }
    void charge() {
        QFETCH(QString, mark);
        QFETCH(qint64, price);
        QFETCH(qint64, qty);
        QFETCH(qint64, minimum);
        QFETCH(QString, kiszall);
        QFETCH(QString, vszall);
        QFETCH(QString, lastprintt);
        QFETCH(QString, lastprint);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, done);
        ChargeInput in;
        in.mark = mark;
        in.price = price;
        in.quantity = qty;
        in.minimumPrice = minimum;
        in.berkezd = QStringLiteral("2024.03.01");
        in.berveg = QStringLiteral("2024.03.10");
        in.kiszall = kiszall;
        in.vszall = vszall;
        in.lastprint = lastprint;
        in.lastprintt = lastprintt;
        in.periodFrom = from;
        in.periodTo = to;
        const RowPeriod p = AppendixRowPeriod(from, to, false, QString(), qty, lastprint, kiszall, vszall);
        in.rowFrom = p.from;
        in.rowTo = p.to;
        in.takeBackDone = done;
        const ChargeResult r = AppendixCharge(in);
        QCOMPARE(int(r.problem), int(ChargeResult::Problem::None));
        QTEST(r.charge, "charge");
        QTEST(r.days, "days");
        QTEST(r.minimumApplied, "minimumApplied");
        QVERIFY(r.charge >= 0);
        if (r.minimumApplied) QCOMPARE(r.minimumCharge, r.charge);
        else QCOMPARE(r.minimumCharge, 0LL);
    }

    void weekAlignment_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<qint64>("qty");
        QTest::addColumn<QString>("lastprint");
        QTest::addColumn<QString>("kiszall");
        QTest::addColumn<QString>("vszall");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("after the last print") << "Hét" << 4LL << "2024.03.03" << "2024.02.01" << "" << "2024.03.04"
                                              << "2024.03.31";
        QTest::newRow("never printed: the period start") << "Hét" << 1LL << "" << "2024.02.01" << "" << "2024.03.01"
                                                         << "2024.03.07";
        QTest::newRow("not before the delivery") << "Hét" << 2LL << "" << "2024.03.05" << "" << "2024.03.05"
                                                 << "2024.03.18";
        QTest::newRow("cut at the return") << "Hét" << 4LL << "2024.03.03" << "2024.02.01" << "2024.03.20"
                                           << "2024.03.04" << "2024.03.20";
        QTest::newRow("another unit keeps the period") << "Hó" << 1LL << "2024.03.03" << "2024.02.01" << ""
                                                       << "2024.03.01" << "2024.03.31";
    }
    void weekAlignment() {
        QFETCH(QString, unit);
        QFETCH(qint64, qty);
        QFETCH(QString, lastprint);
        QFETCH(QString, kiszall);
        QFETCH(QString, vszall);
        const RowPeriod p = AppendixRowPeriod(QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), true, unit, qty,
                                              lastprint, kiszall, vszall);
        QTEST(p.from, "from");
        QTEST(p.to, "to");
    }

    // An aligned four-week row of a weekly unit is one whole price.
    void alignedWeeksChargeTheirPrice() {
        ChargeInput in;
        in.mark = QStringLiteral("W");
        in.price = 44000;
        in.quantity = 4;
        in.kiszall = QStringLiteral("2024.02.01");
        in.lastprint = QStringLiteral("2024.03.03");
        in.periodFrom = QStringLiteral("2024.03.01");
        in.periodTo = QStringLiteral("2024.03.31");
        const RowPeriod p = AppendixRowPeriod(in.periodFrom, in.periodTo, true, weekUnitCode(), 4, in.lastprint,
                                              in.kiszall, QString());
        in.rowFrom = p.from;
        in.rowTo = p.to;
        const ChargeResult r = AppendixCharge(in);
        QCOMPARE(r.charge, 44000LL);
        QCOMPARE(r.days, 28LL);
        QCOMPARE(r.from, QStringLiteral("2024.03.04"));
        QCOMPARE(r.to, QStringLiteral("2024.03.31"));
    }

    void rowProblems() {
        ChargeInput in;
        in.mark = QStringLiteral("H");
        in.price = 30000;
        in.rowFrom = in.periodFrom = QStringLiteral("2024.03.01");
        in.rowTo = in.periodTo = QStringLiteral("2024.03.31");
        QCOMPARE(int(AppendixCharge(in).problem), int(ChargeResult::Problem::BadDelivery));
        in.kiszall = QStringLiteral("2024.02.01");
        in.vszall = QStringLiteral("2024.02.30");
        QCOMPARE(int(AppendixCharge(in).problem), int(ChargeResult::Problem::BadEnd));
        QCOMPARE(AppendixRowMessage(ChargeResult::Problem::BadDelivery, QStringLiteral("1234"), QStringLiteral("O'Brien Kft."),
                                    QStringLiteral("1111 Budapest, Fő utca 1")),
                 QStringLiteral("Hibás kiszállítás kelt. Kabin=1234\rCím: O'Brien Kft. 1111 Budapest, Fő utca 1"));
    }

    void periodMessages_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("nfrom");
        QTest::addColumn<QString>("nto");
        const QString head = QStringLiteral("Az adatokban az alábbi hibák vannak:\r");
        QTest::newRow("right") << "2024.03.01" << "2024.03.31" << "" << "2024.03.01" << "2024.03.31";
        QTest::newRow("short forms") << "20240301" << "202403" << "" << "2024.03.01" << "2024.03.31";
        QTest::newRow("bad start") << "2024.13.01" << "2024.03.31" << head + "Hibás kezdő dátum.\r" << "" << "2024.03.31";
        QTest::newRow("both bad") << "x" << "" << head + "Hibás kezdő dátum.\rHibás végdátum.\r" << "" << "";
        QTest::newRow("reversed") << "2024.03.31" << "2024.03.01" << head + "Hibás dátum intervallum.\r" << "2024.03.31"
                                  << "2024.03.01";
    }
    void periodMessages() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QString f, t;
        QTEST(AppendixPeriodErrors(from, to, &f, &t), "message");
        QTEST(f, "nfrom");
        QTEST(t, "nto");
    }

    void roundFraction() {
        QCOMPARE(RoundFraction(1, 2), 1LL);
        QCOMPARE(RoundFraction(-1, 2), -1LL);
        QCOMPARE(RoundFraction(49, 100), 0LL);
        // Beyond the precision of a double: still exact.
        QCOMPARE(RoundFraction(9007199254740993LL, 2), 4503599627370497LL);
    }
};

QTEST_GUILESS_MAIN(TestAppendixCharge)
#include "tst_appendix_charge.moc"
