// The overview of one day on a company where each panel's numbers are known
// by hand, and vorlanda-admin today --json over the same database.
#include "OverviewFixture.h"
#include "billing/Appendix.h"
#include "operations/PhoneDay.h"
#include "operations/PhoneMarks.h"
#include "overview/Overview.h"
#include "rental/Numbering.h"
#include "util/Error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>

using namespace vl::overview;
using vl::operations::test::kDay;

class TestOverview : public QObject {
    Q_OBJECT
    test::OverviewCompany co;
    Overview o;
    const double vat = 1.27;

    qint64 contract(const char* c) const { return co.contracts.value(QString::fromLatin1(c)).first(); }
    static QList<qint64> numbers(const QList<ContractRow>& rows) {
        QList<qint64> l;
        for (const ContractRow& r : rows) l << r.contract;
        return l;
    }

    int run(const QStringList& args, QByteArray* out, QByteArray* errOut) {
        QProcess p;
        p.setWorkingDirectory(co.db.dir.path());
        p.start(QStringLiteral(VL_ADMIN_EXE), args);
        p.waitForFinished(300000);
        *out = p.readAllStandardOutput();
        *errOut = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase() {
        co.buildDay();
        o = ComputeOverview(*co.db.conn, QStringLiteral("20260504"), vat);
    }

    void dates() {
        QCOMPARE(o.day, QStringLiteral("2026.05.04"));
        QCOMPARE(o.tomorrow, QStringLiteral("2026.05.05"));
        QCOMPARE(o.weekStart, QStringLiteral("2026.05.04"));
        QCOMPARE(o.weekEnd, QStringLiteral("2026.05.11"));
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, ComputeOverview(*co.db.conn, QStringLiteral("2026.02.30"), vat));
    }

    // Panel 1: per driver, the driverless visit apart, the one overdue visit.
    void drivers() {
        QStringList got;
        for (const DriverDay& d : o.today.drivers)
            got << QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                       .arg(d.day, d.driverCode)
                       .arg(d.deliveries)
                       .arg(d.takeBacks)
                       .arg(d.maintenance)
                       .arg(d.other)
                       .arg(d.cashGross)
                       .arg(d.firstLine > 0 ? 1 : 0);
        const QStringList want{
            QStringLiteral("2026.05.04|S1|0|0|2|0|0|1"),
            QStringLiteral("2026.05.04|S2|1|0|0|0|25400|1"),   // the cash period of the delivery's contract
            QStringLiteral("2026.05.04||0|0|1|0|0|1"),
        };
        QCOMPARE(got, want);
        QCOMPARE(o.today.withoutDriverToday, 1);
        QCOMPARE(o.today.withoutDriverTomorrow, 0);
        QCOMPARE(o.today.overdue.size(), 1);
        const OverdueVisit& v = o.today.overdue.first();
        QCOMPARE(v.day, QStringLiteral("2026.04.27"));
        QCOMPARE(v.contract, contract("overdue"));
        QCOMPARE(v.activity, QStringLiteral("KA"));
        QCOMPARE(v.cabins, 1);
        QCOMPARE(v.firstCabin, QStringLiteral("101"));
        QCOMPARE(v.driverCode, QStringLiteral("S1"));
        QCOMPARE(v.customer, QStringLiteral("Alfa Kft."));
    }

    // Panel 2: the product register's counts per group and state, the take-back of Thursday.
    void cabins() {
        QStringList got;
        for (const GroupCabins& g : o.cabins) {
            QStringList s;
            for (const StateCount& c : g.states)
                s << c.stateName + QLatin1Char(':') + QString::number(c.count) + (c.rentable ? "+" : "");
            got << QStringLiteral("%1|%2|%3|%4").arg(g.groupCode).arg(g.total).arg(s.join(',')).arg(g.freedWithin7Days);
        }
        const QStringList want{
            QStringLiteral("AKM|1|Foglalt:1|0"),
            QStringLiteral("ALAP|5|Foglalt:3,Sérült:1,Szabad:1+|0"),
            QStringLiteral("VIP|2|Foglalt:2|1"),
            QStringLiteral("ZUH|1|Foglalt:1|0"),
        };
        QCOMPARE(got, want);
    }

    // Panel 3: each list holds exactly its case.
    void contracts() {
        QCOMPARE(numbers(o.contracts.ending), QList<qint64>{contract("ending")});
        QCOMPARE(o.contracts.ending.first().day, QStringLiteral("2026.05.07"));
        QCOMPARE(numbers(o.contracts.started), QList<qint64>{contract("cash")});
        QCOMPARE(numbers(o.contracts.overrun), QList<qint64>{contract("overrun")});
        QCOMPARE(o.contracts.overrun.first().end, QStringLiteral("2026.04.30"));
        QCOMPARE(numbers(o.contracts.undelivered), QList<qint64>{contract("cash")});
        QCOMPARE(o.contracts.undelivered.first().day, kDay);
        QCOMPARE(o.contracts.undelivered.first().customerKey, co.sites.value("cash").customer);
    }

    // Panel 4: the due cash period, the customer printed up to February, the old backup.
    void money() {
        QCOMPARE(o.money.unpaid.size(), 1);
        const UnpaidPeriod& p = o.money.unpaid.first();
        QCOMPARE(p.contract, contract("cash"));
        QCOMPARE(p.from, kDay);
        QCOMPARE(p.to, QStringLiteral("2026.05.17"));
        QCOMPARE(p.net, qint64(20000));   // two weeks at 10 000
        QCOMPARE(p.gross, qint64(25400));
        QCOMPARE(o.money.unpaidGross, qint64(25400));
        QCOMPARE(o.money.unprinted.size(), 1);
        const UnprintedCustomer& u = o.money.unprinted.first();
        QCOMPARE(u.customerKey, co.sites.value("unprinted").customer);
        QCOMPARE(u.firstMonth, QStringLiteral("2026.03"));
        QCOMPARE(u.months, 2);
        QCOMPARE(u.contracts, 1);
        QCOMPARE(o.money.lastBackup, QStringLiteral("2026.01.02 10:00:00"));
        QVERIFY(o.money.backupOverdue);
        QVERIFY(!o.money.holiday.known);
    }

    // The coming week's day off: a closed day a week away is not yet shown;
    // one within the week is, with the visits the calendar moved away from it.
    void dayOffOfTheComingWeek() {
        auto& conn = *co.db.conn;
        conn.exec(QStringLiteral("INSERT INTO SZ_NAPTAR (DATUM, FAJTA, NEV) VALUES ('2026.05.11', 'Z', 'Leltár')"));
        QVERIFY(!ComputeOverview(conn, kDay, vat).money.holiday.known);
        conn.exec(QStringLiteral("INSERT INTO SZ_NAPTAR (DATUM, FAJTA, NEV) VALUES ('2026.05.08', 'Z', 'Költözés')"));
        conn.exec(QStringLiteral("UPDATE FORGTEV SET EREDETINAP = '2026.05.08' ROWS 2"));
        const HolidayNotice h = ComputeOverview(conn, kDay, vat).money.holiday;
        conn.exec(QStringLiteral("UPDATE FORGTEV SET EREDETINAP = NULL WHERE EREDETINAP = '2026.05.08'"));
        conn.exec(QStringLiteral("DELETE FROM SZ_NAPTAR WHERE DATUM IN ('2026.05.08', '2026.05.11')"));
        QVERIFY(h.known);
        QCOMPARE(h.day, QStringLiteral("2026.05.08"));
        QCOMPARE(h.name, QStringLiteral("Költözés"));
        QCOMPARE(h.movedVisits, 2);
    }

    // The pictures: cabins out per group at each month's end, billed per
    // month (a paid cash period, an appendix printed now), visits per week.
    void charts() {
        const ChartData& c = o.charts;
        QCOMPARE(c.months.size(), 16);
        QCOMPARE(c.months.first(), QStringLiteral("2025.05"));
        QCOMPARE(c.months.last(), QStringLiteral("2026.08"));
        QCOMPARE(c.groupCodes, (QStringList{"AKM", "ALAP", "VIP", "ZUH"}));
        auto months = [](int zeros, QList<int> rest) { return QList<int>(zeros, 0) + rest; };
        QCOMPARE(c.cabinsOut.at(0), months(8, {1, 1, 1, 1, 1, 1, 1, 1}));   // since January
        QCOMPARE(c.cabinsOut.at(1), months(11, {3, 3, 3, 3, 3}));
        QCOMPARE(c.cabinsOut.at(2), months(11, {1, 1, 1, 1, 1}));            // one back on 05.07, one out on 05.04
        QCOMPARE(c.cabinsOut.at(3), months(11, {1, 1, 1, 1, 1}));
        QCOMPARE(c.billedMonths.size(), 12);
        QCOMPARE(c.billedMonths.last(), QStringLiteral("2026.05"));
        QCOMPARE(c.billedCash.last(), qint64(10000));   // the paid period's net as the generator stored it
        QCOMPARE(c.billedAppendix, QList<qint64>(12, 0));
        QCOMPARE(c.weeks.first(), QStringLiteral("2026.03.16"));
        QCOMPARE(c.weeks.last(), kDay);
        QCOMPARE(c.driverCodes, (QStringList{"S1", "S2", ""}));
        QCOMPARE(c.done.at(0), (QList<int>{0, 0, 3, 3, 3, 3, 2, 0}));
        QCOMPARE(c.planned.at(0), (QList<int>{0, 0, 0, 0, 0, 0, 1, 2}));
        QCOMPARE(c.done.at(1), (QList<int>{0, 0, 2, 0, 0, 0, 0, 0}));
        QCOMPARE(c.planned.at(1), (QList<int>{0, 0, 0, 0, 0, 0, 0, 2}));
        QCOMPARE(c.planned.at(2), (QList<int>{0, 0, 0, 0, 0, 0, 0, 1}));

        // An appendix printed for April: its net per site is recorded with the
        // stamps and counted in April; a reprint replaces it.
        const qint64 b = contract("overdue");
        const test::Site site = co.sites.value("overdue");
        QList<vl::db::Column> cols;
        for (const char* n : {"BIZONYLAT", "UGYFELKOD", "UGYFELCIM", "NETTOERTEK"}) {
            vl::db::Column col;
            col.name = QString::fromLatin1(n);
            cols << col;
        }
        auto rows = [&](qint64 a, qint64 z) {
            return vl::db::RowSet(cols, {{b, site.customer, site.site, a}, {b, site.customer, site.site, z}});
        };
        vl::shell::Session who;
        who.userCode = QStringLiteral("TESZT");
        vl::billing::AppendixService svc(*co.db.conn, who);
        QCOMPARE(svc.stamp(rows(30000, 12000), QStringLiteral("2026.04.01"), QStringLiteral("2026.04.30")).contracts, 1);
        QCOMPARE(svc.stamp(rows(30000, 15000), QStringLiteral("2026.04.01"), QStringLiteral("2026.04.30")).contracts, 1);
        QCOMPARE(co.db.count(QStringLiteral("SELECT COUNT(*) FROM MELLEKLETNYOMT")), qint64(1));
        const Overview again = ComputeOverview(*co.db.conn, kDay, vat);
        QCOMPARE(again.charts.billedAppendix.at(10), qint64(45000));
        QCOMPARE(again.charts.billedMonths.at(10), QStringLiteral("2026.04"));
    }

    // The command's --json carries the same numbers; a bad day is refused.
    void command() {
        QFile ini(co.db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + co.db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        QByteArray out, err;
        QCOMPARE(run({"today", "--date", "2026.05.04", "--json"}, &out, &err), 0);
        QJsonParseError pe;
        const QJsonObject j = QJsonDocument::fromJson(out, &pe).object();
        QVERIFY2(pe.error == QJsonParseError::NoError, out.constData());
        QCOMPARE(j.value("day").toString(), QStringLiteral("2026.05.04"));
        const QJsonObject today = j.value("today").toObject();
        QCOMPARE(today.value("drivers").toArray().size(), 3);
        QCOMPARE(today.value("withoutDriverToday").toInt(), 1);
        const QJsonArray overdue = today.value("overdue").toArray();
        QCOMPARE(overdue.size(), 1);
        QCOMPARE(overdue.at(0).toObject().value("cabins").toInt(), 1);
        QCOMPARE(overdue.at(0).toObject().value("firstCabin").toString(), QStringLiteral("101"));
        const QJsonArray cabins = j.value("cabins").toArray();
        QCOMPARE(cabins.size(), 4);
        QCOMPARE(cabins.at(1).toObject().value("group").toString(), QStringLiteral("ALAP"));
        QCOMPARE(cabins.at(1).toObject().value("total").toInt(), 5);
        QCOMPARE(cabins.at(2).toObject().value("freedWithin7Days").toInt(), 1);
        const QJsonObject c = j.value("contracts").toObject();
        QCOMPARE(c.value("ending").toArray().at(0).toObject().value("contract").toInteger(), contract("ending"));
        QCOMPARE(c.value("overrun").toArray().size(), 1);
        QCOMPARE(c.value("started").toArray().size(), 1);
        QCOMPARE(c.value("undelivered").toArray().size(), 1);
        const QJsonObject m = j.value("money").toObject();
        // The command prices with the database's own VAT factor (27 % in the seeds).
        QCOMPARE(m.value("unpaidGross").toInteger(), qint64(25400));
        QCOMPARE(m.value("unprinted").toArray().at(0).toObject().value("months").toInt(), 2);
        QCOMPARE(m.value("backupOverdue").toBool(), true);

        QCOMPARE(run({"today", "--date", "2026.02.30"}, &out, &err), 2);
        QVERIFY2(QString::fromUtf8(err).contains(QStringLiteral("Hibás dátum: 2026.02.30")), err.constData());
        QCOMPARE(run({"today", "--week"}, &out, &err), 2);
        QVERIFY2(QString::fromUtf8(err).contains(QStringLiteral("ismeretlen argumentum: --week")), err.constData());
    }

    // A visit done from a driver's phone counts as done and as marked from the phone (last: it writes).
    void phoneMarksCounted() {
        auto tx = co.db.conn->begin();
        const QString done = tx->query(QStringLiteral("SELECT MIN(KOD) FROM SZ_STATUST WHERE MODOSITHATO = 'N'")).at(0, 0).toString();
        QCOMPARE(tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = :st, FORRAS = 'telefon', FORRASSOFOR = 'S1'"
                                         " WHERE DATUM = '2026.05.04' AND SOFORKOD = 'S1' AND TEVSORSZAM = 1"
                                         " AND SORSZAM = (SELECT MIN(SORSZAM) FROM FORGTEV WHERE DATUM = '2026.05.04'"
                                         " AND SOFORKOD = 'S1')"),
                          {{QStringLiteral("st"), done}}),
                 qint64(1));
        tx->commit();
        const Overview again = ComputeOverview(*co.db.conn, QStringLiteral("20260504"), vat);
        QStringList got;
        for (const DriverDay& d : again.today.drivers)
            if (d.day == again.day) got << QStringLiteral("%1|%2/%3|%4").arg(d.driverCode).arg(d.done).arg(d.total()).arg(d.fromPhone);
        QCOMPARE(got, (QStringList{QStringLiteral("S1|1/2|1"), QStringLiteral("S2|0/1|0"), QStringLiteral("|0/1|0")}));
    }

    // What came from the phones (after the case above): S1's open visit not
    // done with a reason, a mark of S1 refused, S1's day closed; each driver's
    // row carries its own, the command prints them.
    void phoneDayOnTheDriverRows() {
        vl::rental::Td::LoadStartupValues(*co.db.conn);
        vl::shell::Session service;
        service.userCode = QStringLiteral("TELEFON");
        service.businessYear = 2026;
        vl::operations::PhoneMarkRules rules;
        rules.now = QStringLiteral("2026.05.04 18:30:00");
        auto keyOf = [&](const QString& driver) {
            auto rs = co.db.conn->query(QStringLiteral("SELECT BIZONYLAT, TETELSOR, SORSZAM, TEVSORSZAM FROM FORGTEV"
                                                       " WHERE DATUM = :d AND SOFORKOD = :s AND TEVALLAPOT = 'T'"),
                                        {{"d", kDay}, {"s", driver}});
            vl::operations::PhoneKey k;
            if (!rs.next()) return k;
            k.bizonylat = rs.integer("BIZONYLAT");
            k.tetelsor = rs.integer("TETELSOR");
            k.sorszam = rs.integer("SORSZAM");
            k.datum = kDay;
            k.tevsorszam = rs.integer("TEVSORSZAM");
            return k;
        };
        vl::operations::PhoneMark m;
        m.requestId = QStringLiteral("elmaradt-1");
        m.driverCode = QStringLiteral("S1");
        m.key = keyOf(QStringLiteral("S1"));
        m.action = vl::operations::PhoneAction::NotDone;
        m.reason = QStringLiteral("ZART");
        m.seenState = QStringLiteral("T");
        QCOMPARE(int(vl::operations::ApplyPhoneMark(*co.db.conn, service, m, rules).kind),
                 int(vl::operations::PhoneMarkResult::Kind::Ok));
        m.requestId = QStringLiteral("idegen-1");
        m.key = keyOf(QStringLiteral("S2"));
        m.action = vl::operations::PhoneAction::Done;
        QCOMPARE(int(vl::operations::ApplyPhoneMark(*co.db.conn, service, m, rules).kind),
                 int(vl::operations::PhoneMarkResult::Kind::Refused));
        vl::operations::ClosePhoneDay(*co.db.conn, service, QStringLiteral("S1"), kDay, QStringLiteral("2026.05.04 19:05:30"));

        const Overview again = ComputeOverview(*co.db.conn, kDay, vat);
        QStringList got;
        for (const DriverDay& d : again.today.drivers)
            got << QStringLiteral("%1|%2|%3|%4|%5/%6|%7|%8")
                       .arg(d.day, d.driverCode)
                       .arg(d.phone.received)
                       .arg(d.phone.refused)
                       .arg(d.phone.notDone)
                       .arg(d.phone.open)
                       .arg(d.phone.total)
                       .arg(d.phone.closedAt);
        QCOMPARE(got, (QStringList{QStringLiteral("2026.05.04|S1|1|1|1/0|2|2026.05.04 19:05"),
                                   QStringLiteral("2026.05.04|S2|0|0|0/1|1|"), QStringLiteral("2026.05.04||0|0|0/0|0|")}));

        QByteArray out, err;
        QCOMPARE(run({"today", "--date", "2026.05.04"}, &out, &err), 0);
        const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
        QVERIFY2(lines.value(2).endsWith(QStringLiteral("\tTelefonról\tElutasítva\tNyitott\tLezárva")), out.constData());
        QCOMPARE(lines.value(3).section(QLatin1Char('\t'), 0, 1), QStringLiteral("2026.05.04\tKovács Béla"));
        QCOMPARE(lines.value(3).section(QLatin1Char('\t'), -4), QStringLiteral("1\t1\t0\t19:05"));
        QCOMPARE(lines.value(4).section(QLatin1Char('\t'), -4), QStringLiteral("0\t0\t1\t"));
    }
};

QTEST_GUILESS_MAIN(TestOverview)
#include "tst_overview.moc"
