// The contract session: its private work copies (valid names, recorded with
// the connection, dropped on discard), loading a contract, the header checks,
// editing in the copies only, view mode, and a contract that may not be changed.
#include "tst_schedule_fixture.h"

#include "rental/ContractSession.h"
#include "shell/Dm.h"
#include "shell/Queries.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {

vl::shell::Session who() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("KOVÁCS.J");
    s.userName = QStringLiteral("Kovács János");
    s.businessYear = 2026;
    return s;
}

LineInput line(const QString& qty = QStringLiteral("2")) {
    LineInput l;
    l.arucsoport = QStringLiteral("ALAP");
    l.mennyiseg = qty;
    l.bermenny = QStringLiteral("1");
    l.bermegyseg = QStringLiteral("hónap");   // by name, as the box shows it
    l.nettoar = QStringLiteral("12000");
    l.kiszall = QStringLiteral("20260302");
    l.vszall = QString();
    l.counts[0] = QStringLiteral("1");
    l.prices[0] = QStringLiteral("4500");
    l.periodus = QStringLiteral("1");
    l.soforkod = QStringLiteral("S1");
    return l;
}

HeaderFields header() {
    HeaderFields h;
    h.ugyfelkod = QStringLiteral("1");
    h.ugyfelcim = QStringLiteral("1");
    h.fizmod = QStringLiteral("Átutalás");
    h.bermod = QStringLiteral("HT");
    h.berkezd = QStringLiteral("20260302");
    h.szerzodes = QStringLiteral("O'Brien/2026");
    h.komment = QStringLiteral("Kapu: 'B' épület");
    return h;
}

} // namespace

class TstContractSession : public QObject {
    Q_OBJECT
    TestDb db;

    qint64 tables(const QString& like) {
        return db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH :p", {{"p", like}});
    }

    qint64 storedContract(const QString& status) {
        static qint64 b = 900;
        ContractFixture c;
        c.bizonylat = ++b;
        c.status = status;
        c.fizmod = "ATU";
        LineFixture l;
        l.items = 2;
        l.vszall = "2026.04.27";
        c.lines << l;
        auto tx = db.conn->begin();
        insertContract(*tx, c);
        const GeneratorContext ctx = context(*db.conn);
        for (const auto& it : LoadMaintenanceItems(*tx, RentalTables::stored(), c.bizonylat, 1)) {
            EventItem e{c.bizonylat, 1, it.tetelsor, it.sorszam, it.arukod, "S1", "ALAP"};
            GenerateEventActivities(*tx, ctx, "UJTCS", "FORGTEV", "2026.03.02", e);
            GenerateEventActivities(*tx, ctx, "HISZ", "FORGTEV", "2026.04.27", e);
            ScheduleOptions o;
            o.firstDay = "2026.03.03";
            GenerateMaintenanceSchedule(*tx, ctx, "FORGTEV", {it}, o);
        }
        tx->commit();
        return c.bizonylat;
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, KOMMENTSPEC) VALUES ('1', 'O''Brien és Társa Kft.', 'KP',"
                      " 'Csak előre utalással!')");
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON, KOMMENT)"
                      " VALUES ('1', '1', 'Építkezés', '2030', 'Érd', 'Fő utca 1.', 'Kiss Ákos', '+36 30 123 4567',"
                      " 'Kapu: ''B'' épület')");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD) VALUES ('2', 'Cím Nélküli Bt.', 'ATU')");
    }

    // A delivery typed on a holiday is asked about once; "Nem" changes
    // nothing and puts the focus on the delivery day, "Igen" stores the line.
    void dayOffDeliveryAsksOnce() {
        ContractSession s(*db.conn, who());
        s.setToday("2026.02.20");
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        s.setHeader(header());
        LineInput l = line("1");
        l.kiszall = QStringLiteral("2026.04.06");
        Outcome o = s.addLine(l);
        QCOMPARE(o.question, QStringLiteral("A megadott nap munkaszüneti nap (2026.04.06, Húsvéthétfő). Megtartja?"));
        QCOMPARE(s.lines().rowCount(), 0);
        o = o.proceed(false);
        QVERIFY(!o.ok && !o.asks());
        QCOMPARE(o.focus, QStringLiteral("e_kiszall"));
        QCOMPARE(s.lines().rowCount(), 0);
        o = s.addLine(l).answerAll(true);
        QVERIFY2(o.ok, qPrintable(o.messages.join("|")));
        QCOMPARE(s.lines().rowCount(), 1);
        // A command switches the question off and goes ahead.
        s.setAskDayOff(false);
        QVERIFY(s.addLine(l).ok);
        QCOMPARE(s.lines().rowCount(), 2);
        s.discard();
    }

    void insertMakesRecordsAndDropsItsCopies() {
        ContractSession s(*db.conn, who());
        s.setToday("2026.02.20");
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        QCOMPARE(s.caption(), QString("Bérletbe kiadás - új szerződés felvitele"));
        const QStringList names = s.workCopyNames();
        QCOMPARE(names.size(), 4);
        for (const QString& n : names) {
            QVERIFY2(vl::shell::IsValidWorkTableName(n) && n.size() <= 31, qPrintable(n));
            QCOMPARE(db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :n", {{"n", n}}), 1);
            // Recorded with this connection, so the clean-up of other programs leaves it alone.
            QCOMPARE(db.count("SELECT COUNT(*) FROM MUNKATABLAK WHERE TABLANEV = :n AND KAPCSOLAT = CURRENT_CONNECTION",
                              {{"n", n}}), 1);
        }
        QVERIFY2(names.at(0).startsWith("TMP_CSOPKOVACS"), qPrintable(names.at(0)));
        QCOMPARE(s.customerLabels().ugyfelnev, QString("Ügyfél neve: O'Brien és Társa Kft."));
        QCOMPARE(s.leaveQuestion(), QString());

        s.setHeader(header());
        Outcome o = s.addLine(line());
        QVERIFY2(o.ok, qPrintable(o.messages.join("|")));
        QCOMPARE(s.header().berkezd, QString("2026.03.02"));
        QCOMPARE(s.lines().rowCount(), 1);
        QCOMPARE(s.items().rowCount(), 2);
        QCOMPARE(s.lines().at(0, s.lines().indexOf("BERMEGYSEG")).toString(), QString("Hó"));
        QVERIFY(s.activities(1, 1).rowCount() > 5);
        QCOMPARE(s.leaveQuestion(), QString("Biztosan kilép tárolás nélkül? A felvitt adatok elvesznek!"));
        // Nothing reached the rental tables.
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 0"), 0);

        s.discard();
        for (const QString& n : names) {
            QCOMPARE(db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :n", {{"n", n}}), 0);
            QCOMPARE(db.count("SELECT COUNT(*) FROM MUNKATABLAK WHERE TABLANEV = :n", {{"n", n}}), 0);
            QVERIFY(!vl::shell::dm().WorkTableList.contains(n));
        }
    }

    void twoSessionsHaveTheirOwnCopies() {
        ContractSession a(*db.conn, who()), b(*db.conn, who());
        a.open(ContractMode::Insert);
        b.open(ContractMode::Insert);
        for (const QString& n : a.workCopyNames()) QVERIFY(!b.workCopyNames().contains(n));
    }

    void headerChecks_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("no customer") << "ugyfelkod" << "" << "Nincs ügyfél kiválasztva\r" << "b_ugyfel";
        QTest::newRow("no payment mode") << "fizmod" << "" << "Nincs fizetési mód megadva\r" << "cb_fizmod";
        QTest::newRow("unknown payment mode") << "fizmod" << "Bankkártya 'x'" << "A fizetés módja rossz\r" << "cb_fizmod";
        QTest::newRow("no start") << "berkezd" << "" << "Nincs a bérlet kezdete megadva\r" << "e_berkezd";
        QTest::newRow("bad start") << "berkezd" << "2026.02.30" << "Hibás dátum: bérlet kezdete\r" << "e_berkezd";
        QTest::newRow("bad end") << "berveg" << "2026.1" << "Hibás dátum: bérlet vége\r"
                                                 "Határozatlan idejű bérlet bérlet módja esetén a bérlet vége nem tölthető ki\r"
                                 << "e_berveg";
        QTest::newRow("end before start") << "berveg" << "20260201" << "Hibás bérleti idő intervallum\r"
                                                 "Határozatlan idejű bérlet bérlet módja esetén a bérlet vége nem tölthető ki\r"
                                          << "e_berveg";
        QTest::newRow("no rental mode") << "bermod" << "" << "Nincs a bérlet módja megadva\r" << "cb_bermod";
        QTest::newRow("unknown rental mode") << "bermod" << "Örök" << "A bérlet módja rossz\r" << "cb_bermod";
        QTest::newRow("fixed term without end") << "bermod" << "HO"
                                                << "Határozott idejű bérlet bérlet módja esetén a bérlet vége kitöltendő\r"
                                                << "e_berveg";
        QTest::newRow("remark too long") << "komment" << QString(251, QChar(0x151)) // ő
                                         << "A megjegyzés túl hosszú (legfeljebb 250 karakter)\r" << "e_komment";
    }

    void headerChecks() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        ContractSession s(*db.conn, who());
        s.open(ContractMode::Insert);
        HeaderFields h = header();
        if (field == "ugyfelkod") h.ugyfelkod = value;
        if (field == "fizmod") h.fizmod = value;
        if (field == "berkezd") h.berkezd = value;
        if (field == "berveg") h.berveg = value;
        if (field == "bermod") h.bermod = value;
        if (field == "komment") h.komment = value;
        s.setHeader(h);
        const Outcome o = s.validateHeader();
        QVERIFY(!o.ok);
        QCOMPARE(o.messages, QStringList{"A fej adatokban az alábbi hibák vannak:\r" + message});
        QCOMPARE(o.focus, focus);
        // The typed values stay, and a line is refused with the header's messages.
        QCOMPARE(s.header().szerzodes, QString("O'Brien/2026"));
        if (field == "komment") QCOMPARE(s.header().komment, value);
        QCOMPARE(s.addLine(line()).messages, o.messages);
        QVERIFY(!s.hasLines());
    }

    void customerChoice() {
        ContractSession s(*db.conn, who());
        s.open(ContractMode::Insert);
        Outcome o = s.chooseCustomer("2", "");
        QCOMPARE(o.messages, QStringList{"Az ügyfélhez nincs szállítási cím rendelve!"});
        QCOMPARE(s.header().ugyfelkod, QString());
        o = s.chooseCustomer("1", "1");
        QVERIFY(o.ok);
        QCOMPARE(s.header().fizmod, QString("KP"));
        QCOMPARE(s.header().komment, QString("Kapu: 'B' épület"));
        QCOMPARE(s.header().vegkomment, QString("Csak előre utalással!"));
        const CustomerLabels l = s.customerLabels();
        QCOMPARE(l.ugyfelcim, QString("Szállítási cím: Építkezés 2030 Érd, Fő utca 1."));
        QCOMPARE(l.cimadat, QString("Kiss Ákos +36 30 123 4567"));
        QCOMPARE(l.kommentspec, QString("Csak előre utalással!"));
    }

    void modifyWorksOnTheCopiesOnly() {
        const qint64 b = storedContract("FO");
        const QStringList stored = activitySnapshot(*db.conn);
        ContractSession s(*db.conn, who());
        s.setToday("2026.03.20");
        s.open(ContractMode::Modify, b, 1);
        QCOMPARE(s.caption(), QStringLiteral("Bérletbe kiadás - %1. sz. szerződés módosítása").arg(b));
        QVERIFY(s.linesEditable());
        QCOMPARE(s.items().rowCount(), 2);
        QCOMPARE(s.activities(1, 1).rowCount(),
                 int(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}})));
        QVERIFY(s.loadedRecordVersion() > 0);

        s.setHeader([&] { HeaderFields h = s.header(); return h; }());
        Outcome o = s.deleteItem(1, 2);
        QCOMPARE(o.question, QString("Biztosan törli az aktuális terméket?"));
        QVERIFY(o.questionDefaultNo);
        o = o.proceed(true);
        QVERIFY(o.ok);
        QCOMPARE(s.items().rowCount(), 1);
        QCOMPARE(s.leaveQuestion(), QString("Biztosan kilép tárolás nélkül? A módosítások elvesznek!"));
        QCOMPARE(activitySnapshot(*db.conn), stored);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), 2);
    }

    void viewMakesNoCopies() {
        const qint64 b = storedContract("FO");
        const qint64 before = tables("TMP_");
        ContractSession s(*db.conn, who());
        s.open(ContractMode::View, b, 1);
        QCOMPARE(tables("TMP_"), before);
        QCOMPARE(s.caption(), QStringLiteral("Bérletbe kiadás - %1. sz. szerződés megtekintése").arg(b));
        QVERIFY(!s.linesEditable());
        QCOMPARE(s.items().rowCount(), 2);
        QVERIFY(!s.deleteLine(1).ok);
        QCOMPARE(s.leaveQuestion(), QString());
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), 2);
    }

    // Lines and items of a closed contract are read-only; a take-back's done
    // mark stays open and is handed to the store.
    void closedContractKeepsTakeBackOpen() {
        const qint64 b = storedContract("LEZ");
        ContractSession s(*db.conn, who());
        s.setToday("2026.05.01");
        s.open(ContractMode::Modify, b, 1);
        QVERIFY(!s.linesEditable());
        QCOMPARE(s.notModifiableText(), QString("Lezárt szerződés nem módosítható."));
        QCOMPARE(s.changeLine(1, line()).messages, QStringList{"Lezárt szerződés nem módosítható."});
        QCOMPARE(s.deleteItem(1, 1).messages, QStringList{"Lezárt szerződés nem módosítható."});
        const ActivityKey ka{1, 1, "2026.03.09", 1};
        QCOMPARE(s.toggleDone(ka).messages, QStringList{"Lezárt szerződés nem módosítható."});
        const ActivityKey vsz{1, 1, "2026.04.27", 1};
        Outcome o = s.toggleDone(vsz);
        QCOMPARE(o.question, QString("Biztosan megváltoztatja a tevékenység állapotát?"));
        o = o.proceed(true);
        QVERIFY2(o.ok, qPrintable(o.messages.join("|")));
        QCOMPARE(int(s.takeBacks().size()), 1);
        QCOMPARE(s.takeBacks().front().arukod, QStringLiteral("K%1-1-1").arg(b));
        QCOMPARE(s.itemFields(1, 1).arukod, QStringLiteral("K%1-1-1").arg(b));
    }

    void openingAMissingContractIsRefused() {
        ContractSession s(*db.conn, who());
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, s.open(ContractMode::Modify, 424242, 1));
        QVERIFY(s.workCopyNames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstContractSession)
#include "tst_contractsession.moc"
