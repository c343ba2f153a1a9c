// Weekly maintenance, single activities, prices and patterns on a real database.
#include "tst_schedule_fixture.h"

#include "rental/Schedule.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

class TstSchedule : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 100;

    // One contract of one line with one item; returns its number.
    qint64 makeItem(const QString& pattern, int period, const QString& kiszall, const QString& vszall = QString(),
                    int items = 1) {
        ContractFixture c;
        c.bizonylat = ++next;
        c.berkezd = kiszall;
        LineFixture l;
        l.pattern = pattern;
        l.periodus = period;
        l.kiszall = kiszall;
        l.vszall = vszall;
        l.items = items;
        c.lines << l;
        auto tx = db.conn->begin();
        insertContract(*tx, c);
        tx->commit();
        return c.bizonylat;
    }

    ScheduleResult generate(qint64 b, const QString& first, const QString& last = QString(),
                            Rhythm rhythm = Rhythm::FromHistory, const QString& stamp = "2026.01.01 00:00:00") {
        const GeneratorContext ctx = context(*db.conn, stamp);
        auto tx = db.conn->begin();
        const auto items = LoadMaintenanceItems(*tx, RentalTables::stored(), b, 1);
        ScheduleOptions o;
        o.firstDay = first;
        o.lastDay = last;
        o.rhythm = rhythm;
        const ScheduleResult r = GenerateMaintenanceSchedule(*tx, ctx, "FORGTEV", items, o);
        tx->commit();
        return r;
    }

    void setState(qint64 b, const QString& datum, int no, const QString& state, const QString& kepzett = "K") {
        db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = :st, KEPZETT = :kep WHERE BIZONYLAT = :b AND DATUM = :d"
                      " AND TEVSORSZAM = :n",
                      {{"st", state}, {"kep", kepzett}, {"b", b}, {"d", datum}, {"n", no}});
    }

private slots:
    void initTestCase() { db.create(); }

    void patternDayNames_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("names");
        QTest::newRow("none") << "0000000" << "";
        QTest::newRow("four on Tuesday") << "0400000" << "Kedd(4)";
        QTest::newRow("three days") << "1010100" << "Hétfő,Szerda,Péntek";
        QTest::newRow("Sunday twice") << "0000002" << "Vasárnap(2)";
    }
    void patternDayNames() {
        QFETCH(QString, pattern);
        QFETCH(QString, names);
        QCOMPARE(PatternDayNames(pattern), names);
    }

    void registerPattern() {
        auto tx = db.conn->begin();
        QVERIFY(!RegisterPattern(*tx, "1010100"));   // 0s and 1s: seeded, left alone
        QVERIFY(!RegisterPattern(*tx, "20001x0"));   // not seven digits
        QVERIFY(RegisterPattern(*tx, "2000100"));
        QVERIFY(!RegisterPattern(*tx, "2000100"));   // once only
        tx->commit();
        const auto rs = db.conn->query("SELECT MEGNEVEZES FROM HKSZCSPSZV WHERE KOD = '2000100'");
        QCOMPARE(rs.rowCount(), 1);
        QCOMPARE(rs.at(0, 0).toString(), QString("Hétfő,Péntek"));
    }

    void activityPrice_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("weekday");
        QTest::addColumn<qint64>("price");
        QTest::newRow("weekday price of Saturday") << "KA" << "ALAP" << 6 << qint64(6000);
        QTest::newRow("Monday 0 falls back to AR") << "KA" << "ALAP" << 1 << qint64(4500);
        QTest::newRow("no suffix") << "KA" << "VIP" << 0 << qint64(6000);
        QTest::newRow("delivery") << "KIH" << "ALAP" << 0 << qint64(8000);
        QTest::newRow("no price row") << "KA" << "NINCS" << 3 << qint64(0);
    }
    void activityPrice() {
        QFETCH(QString, kind);
        QFETCH(QString, group);
        QFETCH(int, weekday);
        QFETCH(qint64, price);
        auto tx = db.conn->begin();
        QCOMPARE(ActivityPrice(*tx, kind, group, weekday), price);
    }

    // The weekly generator from a delivery: days, numbers, rhythm of multi-week patterns.
    void weekly_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("kiszall");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QStringList>("expected");
        // 2026.03.02 is a Monday.
        QTest::newRow("Monday weekly, start Wednesday")
            << "1000000" << 1 << "2026.03.03" << "2026.03.31"
            << QStringList{"2026.03.09#1", "2026.03.16#1", "2026.03.23#1", "2026.03.30#1"};
        QTest::newRow("start on a Monday visits that Monday")
            << "1000000" << 1 << "2026.03.08" << "2026.03.20" << QStringList{"2026.03.09#1", "2026.03.16#1"};
        QTest::newRow("Sunday every second week, start Sunday")
            << "0000001" << 2 << "2026.03.07" << "2026.04.10" << QStringList{"2026.03.15#1", "2026.03.29#1"};
        QTest::newRow("Monday every second week, start week has no Monday left")
            << "1000000" << 2 << "2026.03.03" << "2026.04.05" << QStringList{"2026.03.16#1", "2026.03.30#1"};
        QTest::newRow("two visits a Monday")
            << "2000000" << 1 << "2026.03.08" << "2026.03.16"
            << QStringList{"2026.03.09#1", "2026.03.09#2", "2026.03.16#1", "2026.03.16#2"};
        QTest::newRow("three days every third week")
            << "1010100" << 3 << "2026.03.01" << "2026.04.10"
            << QStringList{"2026.03.16#1", "2026.03.18#1", "2026.03.20#1", "2026.04.06#1", "2026.04.08#1",
                           "2026.04.10#1"};
        QTest::newRow("period 0 is every week")
            << "0000100" << 0 << "2026.03.02" << "2026.03.20" << QStringList{"2026.03.06#1", "2026.03.13#1",
                                                                             "2026.03.20#1"};
        QTest::newRow("three on Wednesday, two on Saturday")
            << "0030020" << 1 << "2026.03.02" << "2026.03.08"
            << QStringList{"2026.03.04#1", "2026.03.04#2", "2026.03.04#3", "2026.03.07#1", "2026.03.07#2"};
        QTest::newRow("no pattern") << "0000000" << 1 << "2026.03.02" << "2026.04.30" << QStringList{};
    }
    void weekly() {
        QFETCH(QString, pattern);
        QFETCH(int, period);
        QFETCH(QString, kiszall);
        QFETCH(QString, last);
        QFETCH(QStringList, expected);
        const qint64 b = makeItem(pattern, period, kiszall);
        // The contract form's first generation: from the day after the delivery.
        const auto r = generate(b, QDate::fromString(kiszall, "yyyy.MM.dd").addDays(1).toString("yyyy.MM.dd"), last);
        QCOMPARE(visits(*db.conn, b, 1, 1), expected);
        QCOMPARE(r.written, int(expected.size()));
        // Generated rows: planned, "K", one each, priced by weekday, the line's driver.
        const auto rs = db.conn->query("SELECT DATUM, TEVALLAPOT, KEPZETT, MENNYISEG, NETTOAR, SOFORKOD, ARUKOD"
                                       " FROM FORGTEV WHERE BIZONYLAT = :b", {{"b", b}});
        auto rows = rs;
        while (rows.next()) {
            QCOMPARE(rows.text("TEVALLAPOT"), QString("T"));
            QCOMPARE(rows.text("KEPZETT"), QString("K"));
            QCOMPARE(rows.integer("MENNYISEG"), qint64(1));
            const int wd = QDate::fromString(rows.text("DATUM"), "yyyy.MM.dd").dayOfWeek();
            QCOMPARE(rows.integer("NETTOAR"), qint64(wd >= 6 ? 6000 : 4500));
            QCOMPARE(rows.text("SOFORKOD"), QString("S1"));
            QCOMPARE(rows.text("ARUKOD"), QString("K%1-1-1").arg(b));
        }
        // A second run changes nothing.
        const QStringList before = activitySnapshot(*db.conn);
        const auto again = generate(b, QDate::fromString(kiszall, "yyyy.MM.dd").addDays(1).toString("yyyy.MM.dd"),
                                    last, Rhythm::FromHistory, "2026.02.02 02:02:02");
        QCOMPARE(again.written, 0);
        QCOMPARE(again.deleted, 0);
        QCOMPARE(activitySnapshot(*db.conn), before);
    }

    // A delivery on 10 December schedules to the end of the next year.
    void startAtYearEnd() {
        const qint64 b = makeItem("1000000", 1, "2026.12.10");
        generate(b, "2026.12.11");
        const QStringList v = visits(*db.conn, b, 1, 1);
        QCOMPARE(v.first(), QString("2026.12.14#1"));
        QCOMPARE(v.last(), QString("2027.12.27#1"));
        QCOMPARE(v.size(), 55);
    }

    // An item to be delivered in the year after the business year (2026) gets its
    // visits however early it is regenerated: the range reaches the end of its
    // delivery year.
    void deliveryInLaterYear_data() {
        QTest::addColumn<QString>("first");
        QTest::newRow("from November") << "2026.11.20";
        QTest::newRow("from a day of the business year's spring") << "2026.04.01";
    }
    void deliveryInLaterYear() {
        QFETCH(QString, first);
        const qint64 b = makeItem("1000000", 1, "2027.01.05");
        generate(b, first);
        const QStringList v = visits(*db.conn, b, 1, 1);
        QVERIFY(!v.isEmpty());
        QCOMPARE(v.first(), QString("2027.01.11#1"));
        QCOMPARE(v.last(), QString("2027.12.27#1"));
        QCOMPARE(v.size(), 51);
        // Run again: nothing changes.
        const QStringList before = activitySnapshot(*db.conn);
        const auto again = generate(b, first, QString(), Rhythm::FromHistory, "2026.02.02 02:02:02");
        QCOMPARE(again.written + again.deleted, 0);
        QCOMPARE(activitySnapshot(*db.conn), before);
    }

    // Two workstations register the same new pattern at the same moment: neither
    // fails, and the registry holds it once.
    void registerPatternFromTwoConnections() {
        auto other = vl::db::connect(embeddedParams(db.path));
        auto tx1 = db.conn->begin();
        auto tx2 = other->begin();
        QCOMPARE(db.count("SELECT COUNT(*) FROM HKSZCSPSZV WHERE KOD = '0300030'"), qint64(0));
        bool first = false, second = false;
        try {
            first = RegisterPattern(*tx1, "0300030");
            second = RegisterPattern(*tx2, "0300030");
        } catch (const vl::db::DbError& e) {
            QFAIL(qPrintable(e.text()));
        }
        QVERIFY(first || second);
        tx2->commit();
        tx1->rollback();   // the store of the first one fails later: the pattern stays registered
        QCOMPARE(db.count("SELECT COUNT(*) FROM HKSZCSPSZV WHERE KOD = '0300030'"), qint64(1));
        QCOMPARE(db.conn->query("SELECT MEGNEVEZES FROM HKSZCSPSZV WHERE KOD = '0300030'").at(0, 0).toString(),
                 QString("Kedd,Szombat"));
        other->close();
    }

    // No visit on or before the delivery day, none after the planned or actual return.
    void deliveryAndReturnBound() {
        const qint64 b = makeItem("1000000", 1, "2026.03.02", "2026.03.23");
        generate(b, "2026.03.01", "2026.04.30");   // a first day before the delivery
        QCOMPARE(visits(*db.conn, b, 1, 1), (QStringList{"2026.03.09#1", "2026.03.16#1", "2026.03.23#1"}));

        // Taken back on the 16th: a regeneration removes the planned visit after it.
        db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.03.16' WHERE BIZONYLAT = :b", {{"b", b}});
        const auto r = generate(b, "2026.03.10", "2026.04.30");
        QCOMPARE(r.deleted, 1);
        QCOMPARE(visits(*db.conn, b, 1, 1), (QStringList{"2026.03.09#1", "2026.03.16#1"}));
    }

    // Done, cancelled and moved visits survive a regeneration and cover their day;
    // rows of other kinds and the log's own occurrences are never touched.
    void survivorsOfRegeneration() {
        const qint64 b = makeItem("2000000", 1, "2026.03.01");
        generate(b, "2026.03.02", "2026.03.31");
        QCOMPARE(visits(*db.conn, b, 1, 1).size(), 10);   // five Mondays, two each
        setState(b, "2026.03.02", 1, "E");                // done
        setState(b, "2026.03.09", 1, "A", "A");           // moved away ...
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                      " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, 1, '2026.03.10', 1, 'KA',"
                      " 'x', 'T', 'S1', 4500, 1, 'U')", {{"b", b}});   // ... to Tuesday by the log
        setState(b, "2026.03.16", 2, "X");                // cancelled
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                      " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, 1, '2026.03.23', 3, 'VSZ',"
                      " 'x', 'T', 'S1', 0, 1, 'K')", {{"b", b}});      // another kind, number 3

        // The Monday price changes: every planned visit is rewritten, the rest stays.
        db.conn->exec("UPDATE FORGKABIN SET KARBAR1 = 5000 WHERE BIZONYLAT = :b", {{"b", b}});
        const auto r = generate(b, "2026.03.02", "2026.03.31", Rhythm::FromHistory, "2026.05.05 05:05:05");
        auto rows = db.conn->query("SELECT DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT, NETTOAR, KEPZETT FROM FORGTEV"
                                   " WHERE BIZONYLAT = :b ORDER BY DATUM, TEVSORSZAM", {{"b", b}});
        QStringList got;
        while (rows.next())
            got << QStringLiteral("%1#%2 %3 %4 %5 %6").arg(rows.text("DATUM")).arg(rows.integer("TEVSORSZAM"))
                       .arg(rows.text("TEVKOD"), rows.text("TEVALLAPOT")).arg(rows.integer("NETTOAR"))
                       .arg(rows.text("KEPZETT"));
        const QStringList expected{
            "2026.03.02#1 KA E 4500 K", "2026.03.02#2 KA T 5000 K",   // the done one covers one of two
            "2026.03.09#1 KA A 4500 A", "2026.03.09#2 KA T 5000 K",   // the moved one covers one of two
            "2026.03.10#1 KA T 4500 U",                               // the log's occurrence untouched
            "2026.03.16#2 KA X 4500 K", "2026.03.16#3 KA T 5000 K",   // the cancelled one covers one
            "2026.03.23#3 VSZ T 0 K", "2026.03.23#4 KA T 5000 K", "2026.03.23#5 KA T 5000 K",
            "2026.03.30#1 KA T 5000 K", "2026.03.30#2 KA T 5000 K"};
        QCOMPARE(got, expected);
        QCOMPARE(r.written, 7);
        QCOMPARE(r.deleted, 7);

        // Nothing changes on a re-run.
        const QStringList before = activitySnapshot(*db.conn);
        const auto again = generate(b, "2026.03.02", "2026.03.31", Rhythm::FromHistory, "2026.06.06 06:06:06");
        QCOMPARE(again.written + again.deleted, 0);
        QCOMPARE(activitySnapshot(*db.conn), before);
    }

    // A regeneration in December keeps next year's schedule (and follows a new pattern there).
    void decemberKeepsNextYear() {
        const qint64 b = makeItem("1000000", 1, "2026.03.01");
        generate(b, "2026.03.02", "2026.12.31");
        generate(b, "2027.01.01", "2027.12.31", Rhythm::RestartAtFirstDay);   // what the year opening writes
        const QStringList all = visits(*db.conn, b, 1, 1);
        QCOMPARE(all.last(), QString("2027.12.27#1"));

        // The same pattern, regenerated from a day of November and of December: nothing moves.
        const QStringList before = activitySnapshot(*db.conn);
        QCOMPARE(generate(b, "2026.11.20").deleted, 0);
        QCOMPARE(generate(b, "2026.12.09").deleted, 0);
        QCOMPARE(activitySnapshot(*db.conn), before);

        // A new pattern from a day of December reaches next year too, nothing is lost in between.
        db.conn->exec("UPDATE FORGKABIN SET HKSZCSPSZV = '0010000' WHERE BIZONYLAT = :b", {{"b", b}});
        generate(b, "2026.12.09");
        const QStringList v = visits(*db.conn, b, 1, 1);
        QVERIFY(v.contains("2026.12.07#1"));            // before the first day: kept
        QVERIFY(!v.contains("2026.12.14#1"));
        QVERIFY(v.contains("2026.12.09#1"));
        QVERIFY(v.contains("2027.01.06#1"));
        QCOMPARE(v.last(), QString("2027.12.29#1"));
    }

    // A regeneration from a later day keeps the weeks of a multi-week pattern.
    void rhythmKeptFromHistory() {
        const qint64 b = makeItem("1000000", 2, "2026.03.03");
        generate(b, "2026.03.04", "2026.06.30");
        const QStringList before = activitySnapshot(*db.conn);
        // From a Wednesday in a visited week, and from one in a skipped week.
        for (const QString& day : {QStringLiteral("2026.03.18"), QStringLiteral("2026.03.25")}) {
            const auto r = generate(b, day, "2026.06.30");
            QCOMPARE(r.written + r.deleted, 0);
            QCOMPARE(activitySnapshot(*db.conn), before);
        }
        // Restarting the weeks on a day does move them.
        generate(b, "2026.03.24", "2026.06.30", Rhythm::RestartAtFirstDay);
        QVERIFY(visits(*db.conn, b, 1, 1).contains("2026.04.06#1"));
        QVERIFY(!visits(*db.conn, b, 1, 1).contains("2026.03.30#1"));
    }

    // Single activities of a delivery: numbered after what the day holds, never twice.
    void eventActivities() {
        const qint64 b = makeItem("0000000", 1, "2026.04.01");
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                      " TEVALLAPOT, KEPZETT) VALUES (:b, 1, 1, 1, '2026.04.01', 1, 'KA', 'E', 'K')", {{"b", b}});
        const GeneratorContext ctx = context(*db.conn);
        EventItem item{b, 1, 1, 1, QStringLiteral("K1"), QStringLiteral("S1"), QStringLiteral("ALAP")};
        auto tx = db.conn->begin();
        QCOMPARE(GenerateEventActivities(*tx, ctx, "UJTCS", "FORGTEV", "20260401", item), 1);
        QCOMPARE(GenerateEventActivities(*tx, ctx, "UJTCS", "FORGTEV", "2026.04.01", item), 0);
        QCOMPARE(GenerateEventActivities(*tx, ctx, "HISZ", "FORGTEV", "2026.09.30", item), 1);
        tx->commit();
        QCOMPARE(visits(*db.conn, b, 1, 1, "FORGTEV", "KIH"), QStringList{"2026.04.01#2"});
        QCOMPARE(visits(*db.conn, b, 1, 1, "FORGTEV", "VSZ"), QStringList{"2026.09.30#1"});
        QCOMPARE(db.count("SELECT NETTOAR FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KIH'", {{"b", b}}),
                 qint64(8000));
    }

    // The contract form's work copies; a table name that is neither is refused.
    void workCopies() {
        createWorkCopy(*db.conn, "FORGSOR", "TMP_CSOPTESZT_1");
        createWorkCopy(*db.conn, "FORGKABIN", "TMP_KABTESZT_1");
        createWorkCopy(*db.conn, "FORGTEV", "TMP_TEVTESZT_1");
        createWorkCopy(*db.conn, "FORGFIZ", "TMP_FIZTESZT_1");
        const auto tables = RentalTables::workCopies("TMP_CSOPTESZT_1", "TMP_KABTESZT_1", "TMP_TEVTESZT_1",
                                                     "TMP_FIZTESZT_1");
        ContractFixture c;
        c.bizonylat = 0;   // a new contract has no number yet
        LineFixture l;
        l.pattern = "0100000";
        l.kiszall = "2026.03.02";
        l.items = 2;
        c.lines << l;
        const GeneratorContext ctx = context(*db.conn);
        auto tx = db.conn->begin();
        insertContract(*tx, c, tables.lines, tables.items, false);
        ScheduleOptions o;
        o.firstDay = "2026.03.03";
        o.lastDay = "2026.03.17";
        const auto r = GenerateMaintenanceSchedule(*tx, ctx, tables.activities,
                                                   LoadMaintenanceItems(*tx, tables, 0, 1), o);
        tx->commit();
        QCOMPARE(r.written, 6);
        QCOMPARE(visits(*db.conn, 0, 1, 2, tables.activities),
                 (QStringList{"2026.03.03#1", "2026.03.10#1", "2026.03.17#1"}));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 0"), qint64(0));

        auto tx2 = db.conn->begin();
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal,
                                 GenerateMaintenanceSchedule(*tx2, ctx, "FORGTEV; DELETE FROM FORGFEJ", {}, o));
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, RentalTables::workCopies("TMP_a", "FORGKABIN", "FORGTEV",
                                                                            "FORGFIZ"));
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal,
                                 GenerateEventActivities(*tx2, ctx, "UJTCS", "FORGFEJ", "2026.03.02", EventItem{}));
    }
};

QTEST_GUILESS_MAIN(TstSchedule)
#include "tst_schedule.moc"
