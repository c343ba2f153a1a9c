// The working calendar: Easter and the holidays by computation, the rules for
// a generated visit on a day off, and the year opening over a year with
// holidays, on a real database.
#include "tst_schedule_fixture.h"

#include "rental/CalendarService.h"
#include "rental/Schedule.h"
#include "rental/WorkCalendar.h"
#include "rental/YearOpening.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

class TstWorkCalendar : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 500;

    // One contract, one line, one item; every weekday its own price (Monday
    // 1000 ... Sunday 7000), so a moved visit shows the day it came from.
    qint64 makeItem(const QString& pattern, int period, const QString& kiszall, const QString& lineRule = QString()) {
        ContractFixture c;
        c.bizonylat = ++next;
        c.berkezd = kiszall;
        LineFixture l;
        l.pattern = pattern;
        l.periodus = period;
        l.kiszall = kiszall;
        for (int i = 0; i < 7; ++i) l.karbar[i] = 1000 * (i + 1);
        c.lines << l;
        auto tx = db.conn->begin();
        insertContract(*tx, c);
        if (!lineRule.isEmpty())
            tx->exec("UPDATE FORGSOR SET NAPTARSZABALY = :r WHERE BIZONYLAT = :b", {{"r", lineRule}, {"b", c.bizonylat}});
        tx->commit();
        return c.bizonylat;
    }

    ScheduleResult generate(qint64 b, const QString& first, const QString& last, const QString& rule, bool takeOver,
                            const QList<CalendarRow>& extra = {}) {
        const GeneratorContext ctx = context(*db.conn);
        WorkCalendar cal = ctx.calendar.withRule(HolidayRuleFromCode(rule));
        cal.movedDaysTakeOver = takeOver;
        for (const CalendarRow& r : extra) cal.add(r);
        auto tx = db.conn->begin();
        const auto items = LoadMaintenanceItems(*tx, RentalTables::stored(), b, 1);
        ScheduleOptions o;
        o.firstDay = first;
        o.lastDay = last;
        const ScheduleResult r = GenerateMaintenanceSchedule(*tx, ctx, "FORGTEV", items, o, cal);
        tx->commit();
        return r;
    }

    // "day#number price" and "<original day" for a moved visit; "!" a row not planned.
    QStringList visits(qint64 b) {
        auto rs = db.conn->query("SELECT DATUM, TEVSORSZAM, NETTOAR, EREDETINAP, TEVALLAPOT FROM FORGTEV"
                                 " WHERE BIZONYLAT = :b ORDER BY DATUM, TEVSORSZAM",
                                 {{"b", b}});
        QStringList l;
        while (rs.next()) {
            QString t = QStringLiteral("%1#%2 %3").arg(rs.text("DATUM").trimmed()).arg(rs.integer("TEVSORSZAM")).arg(rs.integer("NETTOAR"));
            if (!rs.text("EREDETINAP").trimmed().isEmpty()) t += QStringLiteral("<") + rs.text("EREDETINAP").trimmed();
            if (rs.text("TEVALLAPOT").trimmed() != QLatin1String("T")) t += QStringLiteral("!");
            l << t;
        }
        return l;
    }

    void addVisit(qint64 b, const QString& day, const QString& state, const QString& kepzett) {
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                      " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, 1, :d, 1, 'KA', :aru,"
                      " :st, 'S1', 1000, 1, :kep)",
                      {{"b", b}, {"d", day}, {"aru", QStringLiteral("K%1-1-1").arg(b)}, {"st", state}, {"kep", kepzett}});
    }

private slots:
    void initTestCase() { db.create(); }

    // Easter by the Gregorian computus: 2024-2030, a leap year (2028) and a leap century (2000).
    void easter_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("sunday");
        QTest::newRow("2000 leap century") << 2000 << QDate(2000, 4, 23);
        QTest::newRow("2024") << 2024 << QDate(2024, 3, 31);
        QTest::newRow("2025") << 2025 << QDate(2025, 4, 20);
        QTest::newRow("2026") << 2026 << QDate(2026, 4, 5);
        QTest::newRow("2027") << 2027 << QDate(2027, 3, 28);
        QTest::newRow("2028 leap year") << 2028 << QDate(2028, 4, 16);
        QTest::newRow("2029") << 2029 << QDate(2029, 4, 1);
        QTest::newRow("2030") << 2030 << QDate(2030, 4, 21);
    }
    void easter() {
        QFETCH(int, year);
        QFETCH(QDate, sunday);
        QCOMPARE(EasterSunday(year), sunday);
    }

    // The fixed and the movable holidays of a year, in date order.
    void computedHolidays_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<QStringList>("days");
        QTest::newRow("2024: Easter Monday on 1 April") << 2024 << QStringList{
            "2024.01.01 Újév", "2024.03.15 Nemzeti ünnep", "2024.03.29 Nagypéntek", "2024.03.31 Húsvétvasárnap",
            "2024.04.01 Húsvéthétfő", "2024.05.01 A munka ünnepe", "2024.05.19 Pünkösdvasárnap",
            "2024.05.20 Pünkösdhétfő", "2024.08.20 Az államalapítás ünnepe", "2024.10.23 Nemzeti ünnep",
            "2024.11.01 Mindenszentek", "2024.12.24 Szenteste", "2024.12.25 Karácsony", "2024.12.26 Karácsony másnapja"};
        QTest::newRow("2028: Whitsun in June of a leap year") << 2028 << QStringList{
            "2028.01.01 Újév", "2028.03.15 Nemzeti ünnep", "2028.04.14 Nagypéntek", "2028.04.16 Húsvétvasárnap",
            "2028.04.17 Húsvéthétfő", "2028.05.01 A munka ünnepe", "2028.06.04 Pünkösdvasárnap",
            "2028.06.05 Pünkösdhétfő", "2028.08.20 Az államalapítás ünnepe", "2028.10.23 Nemzeti ünnep",
            "2028.11.01 Mindenszentek", "2028.12.24 Szenteste", "2028.12.25 Karácsony", "2028.12.26 Karácsony másnapja"};
    }
    void computedHolidays() {
        QFETCH(int, year);
        QFETCH(QStringList, days);
        QStringList got;
        for (const CalendarRow& r : ComputedHolidays(year)) {
            QCOMPARE(r.fajta, QStringLiteral("U"));
            got << r.datum + u' ' + r.nev;
        }
        QCOMPARE(got, days);
    }

    // The kind of a day and what the screens print for it, after the seeds
    // (the business year 2026 and the next) and a moved working day.
    void dayKinds() {
        auto tx = db.conn->begin();
        WorkCalendar cal = WorkCalendar::load(*tx);
        tx->commit();
        QCOMPARE(cal.rule, HolidayRule::Stay);   // a database that never chose keeps its visits
        cal.add({"2026.01.10", "M", "2026.01.02", "Munkanap"});
        QCOMPARE(cal.describe(QDate(2026, 4, 6)), QStringLiteral("Munkaszüneti nap: Húsvéthétfő"));
        QCOMPARE(cal.describe(QDate(2027, 12, 25)), QStringLiteral("Munkaszüneti nap: Karácsony"));
        QCOMPARE(cal.describe(QDate(2026, 1, 10)), QStringLiteral("Áthelyezett munkanap (2026.01.02 helyett)"));
        QCOMPARE(cal.describe(QDate(2026, 1, 2)), QStringLiteral("Pihenőnap (munkanap: 2026.01.10)"));
        QCOMPARE(cal.describe(QDate(2026, 4, 7)), QString());
        QVERIFY(cal.isWorkingDay(QDate(2026, 1, 10)));
        QVERIFY(!cal.isWorkingDay(QDate(2026, 1, 2)));
        QVERIFY(!cal.isWorkingDay(QDate(2026, 1, 3)));   // an ordinary Saturday
        QVERIFY(cal.isDayOff(QDate(2026, 1, 2)));        // switched off: the rest day is a day off
        cal.movedDaysTakeOver = true;
        QVERIFY(!cal.isDayOff(QDate(2026, 1, 2)));
        QCOMPARE(cal.takenOverBy(QDate(2026, 1, 2)), QDate(2026, 1, 10));
        // The question the forms ask before a typed day off is kept.
        cal.add({"2026.07.31", "Z", "", "Leltár"});
        QCOMPARE(cal.dayOffQuestion("20260406"),
                 QStringLiteral("A megadott nap munkaszüneti nap (2026.04.06, Húsvéthétfő). Megtartja?"));
        QCOMPARE(cal.dayOffQuestion("2026.07.31"),
                 QStringLiteral("A megadott nap munkaszüneti nap (2026.07.31, a cég zárva: Leltár). Megtartja?"));
        QCOMPARE(cal.dayOffQuestion("2026.01.02"),
                 QStringLiteral("A megadott nap munkaszüneti nap (2026.01.02, pihenőnap, munkanap helyette: 2026.01.10)."
                                " Megtartja?"));
        for (const char* ordinary : {"2026.04.07", "2026.01.10", "2026.01.03", "", "2026.02.30"}) {
            QCOMPARE(cal.dayOffQuestion(QString::fromLatin1(ordinary)), QString());
            QCOMPARE(cal.dayOffNotice(QString::fromLatin1(ordinary)), QString());
        }
        // What a command prints instead, going ahead.
        QCOMPARE(cal.dayOffNotice("20260406"), QStringLiteral("Figyelem: a megadott nap munkaszüneti nap (2026.04.06, Húsvéthétfő)."));
        QCOMPARE(cal.dayOffNotice("2026.07.31"),
                 QStringLiteral("Figyelem: a megadott nap munkaszüneti nap (2026.07.31, a cég zárva: Leltár)."));
    }

    // Every rule on the weekly generator. 2026: Good Friday 04.03, Easter
    // Monday 04.06, 1 May a Friday, 24-26 December Thursday to Saturday,
    // 2027.01.01 a Friday. Prices: Monday 1000 ... Friday 5000.
    void rules_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("kiszall");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("lineRule");
        QTest::addColumn<bool>("takeOver");
        QTest::addColumn<QString>("logVisit");   // a visit made in the activity log on this day
        QTest::addColumn<QStringList>("expected");
        const QStringList stay{"2026.03.30#1 1000", "2026.04.06#1 1000", "2026.04.13#1 1000"};
        QTest::newRow("marad") << "1000000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.19" << "M" << "" << false
                               << "" << stay;
        QTest::newRow("elmarad") << "1000000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.19" << "X" << "" << false
                                 << "" << QStringList{"2026.03.30#1 1000", "2026.04.13#1 1000"};
        QTest::newRow("previous: over the weekend and Good Friday")
            << "1000000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.19" << "E" << "" << false << ""
            << QStringList{"2026.03.30#1 1000", "2026.04.02#1 1000<2026.04.06", "2026.04.13#1 1000"};
        QTest::newRow("next") << "1000000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.19" << "K" << "" << false
                              << "" << QStringList{"2026.03.30#1 1000", "2026.04.07#1 1000<2026.04.06", "2026.04.13#1 1000"};
        QTest::newRow("the line's own rule wins (a festival)")
            << "1000000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.19" << "E" << "M" << false << "" << stay;
        QTest::newRow("collision with a pattern day of the item")
            << "1001000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.12" << "E" << "" << false << ""
            << QStringList{"2026.03.30#1 1000", "2026.04.01#1 1000<2026.04.06", "2026.04.02#1 4000", "2026.04.09#1 4000"};
        QTest::newRow("collision with a visit of the activity log")
            << "1000000" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.12" << "E" << "" << false << "2026.04.02"
            << QStringList{"2026.03.30#1 1000", "2026.04.01#1 1000<2026.04.06", "2026.04.02#1 1000"};
        QTest::newRow("Good Friday then Easter Monday")
            << "1000100" << 1 << "2026.03.29" << "2026.03.30" << "2026.04.12" << "E" << "" << false << ""
            << QStringList{"2026.03.30#1 1000", "2026.04.01#1 1000<2026.04.06", "2026.04.02#1 5000<2026.04.03",
                           "2026.04.10#1 5000"};
        QTest::newRow("holiday on the delivery day: no day before, the next one")
            << "1000000" << 1 << "2026.04.03" << "2026.04.04" << "2026.04.19" << "E" << "" << false << ""
            << QStringList{"2026.04.07#1 1000<2026.04.06", "2026.04.13#1 1000"};
        QTest::newRow("holiday on the 1st: no move into the previous month")
            << "0000100" << 1 << "2026.04.20" << "2026.04.21" << "2026.05.10" << "E" << "" << false << ""
            << QStringList{"2026.04.24#1 5000", "2026.05.04#1 5000<2026.05.01", "2026.05.08#1 5000"};
        QTest::newRow("year boundary")
            << "0000100" << 1 << "2026.12.20" << "2026.12.21" << "2027.01.10" << "E" << "" << false << ""
            << QStringList{"2026.12.23#1 5000<2026.12.25", "2027.01.04#1 5000<2027.01.01", "2027.01.08#1 5000"};
        QTest::newRow("moved working day takes the rest day's visits")
            << "0000100" << 1 << "2026.01.01" << "2026.01.02" << "2026.01.16" << "E" << "" << true << ""
            << QStringList{"2026.01.09#1 5000", "2026.01.10#1 5000<2026.01.02", "2026.01.16#1 5000"};
        QTest::newRow("switched off: the rest day is a day off under the rule")
            << "0000100" << 1 << "2026.01.01" << "2026.01.02" << "2026.01.16" << "K" << "" << false << ""
            << QStringList{"2026.01.05#1 5000<2026.01.02", "2026.01.09#1 5000", "2026.01.16#1 5000"};
        QTest::newRow("every second week: the turn stays on its week, the off week is free")
            << "1000000" << 2 << "2026.03.29" << "2026.03.30" << "2026.04.26" << "K" << "" << false << ""
            << QStringList{"2026.04.07#1 1000<2026.04.06", "2026.04.20#1 1000"};
    }
    void rules() {
        QFETCH(QString, pattern);
        QFETCH(int, period);
        QFETCH(QString, kiszall);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, rule);
        QFETCH(QString, lineRule);
        QFETCH(bool, takeOver);
        QFETCH(QString, logVisit);
        QFETCH(QStringList, expected);
        const qint64 b = makeItem(pattern, period, kiszall, lineRule);
        if (!logVisit.isEmpty()) addVisit(b, logVisit, "T", "U");
        const QList<CalendarRow> moved{{"2026.01.10", "M", "2026.01.02", "Munkanap"}};
        const ScheduleResult r = generate(b, first, last, rule, takeOver, moved);
        QCOMPARE(visits(b), expected);
        int movedRows = 0;
        for (const QString& v : expected) movedRows += v.contains(u'<');
        QCOMPARE(r.moved, movedRows);
        // Running it again changes nothing.
        const ScheduleResult again = generate(b, first, last, rule, takeOver, moved);
        QCOMPARE(again.written, 0);
        QCOMPARE(again.deleted, 0);
        QCOMPARE(visits(b), expected);
    }

    // A moved visit marked done counts toward its original day: a regeneration
    // writes it neither on the holiday nor on another day; when the rule
    // changes to "Marad", only planned moved rows go back.
    void movedVisitDoneStays() {
        const qint64 b = makeItem("1000000", 1, "2026.03.29");
        generate(b, "2026.03.30", "2026.04.19", "E", false);
        db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.04.02'", {{"b", b}});
        const ScheduleResult r = generate(b, "2026.03.30", "2026.04.19", "E", false);
        QCOMPARE(r.written, 0);
        QCOMPARE(r.deleted, 0);
        QCOMPARE(generate(b, "2026.03.30", "2026.04.19", "M", false).written, 0);
        QCOMPARE(visits(b), (QStringList{"2026.03.30#1 1000", "2026.04.02#1 1000<2026.04.06!", "2026.04.13#1 1000"}));
        // A regeneration that starts after the day it was done on still sees it.
        QCOMPARE(generate(b, "2026.04.03", "2026.04.19", "K", false).written, 0);
        QCOMPARE(visits(b), (QStringList{"2026.03.30#1 1000", "2026.04.02#1 1000<2026.04.06!", "2026.04.13#1 1000"}));
    }

    // A calendar row as every door checks it.
    void calendarRowChecks_data() {
        QTest::addColumn<QString>("datum");
        QTest::addColumn<QString>("fajta");
        QTest::addColumn<QString>("helyett");
        QTest::addColumn<QString>("message");
        QTest::newRow("holiday") << "2027.01.01" << "U" << "" << "";
        QTest::newRow("moved working day") << "20260110" << "M" << "2026.01.02" << "";
        QTest::newRow("invalid date") << "2026.02.30" << "U" << ""
                                      << "A naptár sorának dátuma nem érvényes nap: \"2026.02.30\".";
        QTest::newRow("moved working day on a weekday")
            << "2026.01.07" << "M" << "2026.01.02"
            << "2026.01.07 hétköznap: áthelyezett munkanap csak szombat vagy vasárnap lehet.";
        QTest::newRow("moved working day naming no day")
            << "2026.01.10" << "M" << ""
            << "2026.01.10: az áthelyezett munkanaphoz meg kell adni, melyik nap munkáját váltja ki.";
        QTest::newRow("unknown kind") << "2026.01.10" << "Q" << ""
                                      << "2026.01.10: a nap fajtája U (munkaszüneti nap), M (áthelyezett munkanap) vagy"
                                         " Z (a cég zárva) lehet, nem \"Q\".";
    }
    void calendarRowChecks() {
        QFETCH(QString, datum);
        QFETCH(QString, fajta);
        QFETCH(QString, helyett);
        QFETCH(QString, message);
        QCOMPARE(CheckCalendarRow({datum, fajta, helyett, QString()}), message);
    }

    // The year opening of a small company over 2027 with "Előző munkanapra":
    // 52 Mondays and 53 Fridays, 8 of them holidays (01.01, 03.15, 03.26,
    // 03.29, 05.17, 08.20, 11.01, 12.24), every one moved, none lost; a line
    // that says "Elmarad" loses those 8; the year after gets its holidays.
    void yearOpeningOverHolidays() {
        TestDb own;
        own.create(true, QStringLiteral("evnyitas.fdb"));
        auto tx = own.conn->begin();
        for (qint64 b : {1, 2}) {
            ContractFixture c;
            c.bizonylat = b;
            c.fizmod = QStringLiteral("ATU");
            c.berkezd = QStringLiteral("2026.06.01");
            LineFixture l;
            l.kiszall = QStringLiteral("2026.06.01");
            l.pattern = QStringLiteral("1000100");
            c.lines << l;
            insertContract(*tx, c);
        }
        tx->exec("UPDATE FORGSOR SET NAPTARSZABALY = 'X' WHERE BIZONYLAT = 2");
        tx->commit();
        SetCompanyHolidayRule(*own.conn, HolidayRule::Previous);
        const YearOpeningSummary s = OpenYear(*own.conn, "2027", false, {});
        QVERIFY2(s.ok(), qPrintable(s.error + s.refused));
        QCOMPARE(s.visitsWritten, 105 + 97);
        QCOMPARE(s.visitsMoved, 8);
        QCOMPARE(s.calendarRows, 14);   // 2028's holidays
        auto count = [&](const QString& sql) { return own.conn->query(sql).at(0, 0).toLongLong(); };
        QCOMPARE(count("SELECT COUNT(*) FROM FORGTEV F JOIN SZ_NAPTAR N ON N.DATUM = F.DATUM"), 0LL);
        QCOMPARE(count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 1 AND EREDETINAP IS NOT NULL"), 8LL);
        QCOMPARE(count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 2"), 97LL);
        QCOMPARE(count("SELECT COUNT(*) FROM SZ_NAPTAR WHERE DATUM STARTING WITH '2028.'"), 14LL);
        auto rs = own.conn->query("SELECT DATUM || '<' || EREDETINAP FROM FORGTEV WHERE BIZONYLAT = 1"
                                  " AND EREDETINAP IS NOT NULL ORDER BY DATUM");
        QStringList moved;
        while (rs.next()) moved << rs.value(0).toString();
        QCOMPARE(moved, (QStringList{"2027.01.05<2027.01.01", "2027.03.11<2027.03.15", "2027.03.24<2027.03.29",
                                     "2027.03.25<2027.03.26", "2027.05.13<2027.05.17", "2027.08.19<2027.08.20",
                                     "2027.11.02<2027.11.01", "2027.12.23<2027.12.24"}));
        // Running it again changes nothing.
        const YearOpeningSummary again = OpenYear(*own.conn, "2027", false, {});
        QVERIFY(again.ok());
        QCOMPARE(again.visitsWritten, 0);
        QCOMPARE(again.visitsDeleted, 0);
    }
};

QTEST_GUILESS_MAIN(TstWorkCalendar)
#include "tst_workcalendar.moc"
