// The payments page's rules on a real database: a payment recorded on a
// monthly and on a weekly cash contract, one that overlaps planned periods,
// every validation message, the paid mark there and back, the deletes, a row
// changed meanwhile, and a failure in the middle of a payment.
//
// Each contract is made by the line store: one line of one item delivered
// Monday 2026.03.02 at 10000 a unit, paid in cash, "today" 2026.02.20; its
// planned periods run to the end of 2026.
#include "tst_schedule_fixture.h"

#include "rental/OrdersWorkspace.h"
#include "rental/Payments.h"
#include "util/Error.h"

#include <QProcess>
#include <QStringEncoder>
#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {

vl::shell::Session session() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TESZT");
    s.businessYear = 2026;
    return s;
}

} // namespace

class TstPayments : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 500;

    QString value(const QString& sql, const vl::db::Params& p = {}) {
        auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : (rs.at(0, 0).isNull() ? QStringLiteral("NULL") : rs.at(0, 0).toString().trimmed());
    }
    // "DATUM-DATUM2 state" of every billing row.
    QStringList periods(qint64 b) {
        auto rs = db.conn->query("SELECT DATUM, DATUM2, TEVALLAPOT FROM FORGFIZ WHERE BIZONYLAT = :b ORDER BY DATUM, TEVSORSZAM",
                                 {{"b", b}});
        QStringList out;
        while (rs.next())
            out << rs.text("DATUM").trimmed() + "-" + rs.text("DATUM2").trimmed() + " " + rs.text("TEVALLAPOT").trimmed();
        return out;
    }
    QStringList allRows(qint64 b) {
        auto rs = db.conn->query("SELECT * FROM FORGFIZ WHERE BIZONYLAT = :b ORDER BY DATUM, TEVSORSZAM", {{"b", b}});
        QStringList out;
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out << cells.join(u'|');
        }
        return out;
    }
    // Every day from the first period on is covered by exactly one period that is not cancelled.
    void checkCoverage(qint64 b) {
        auto rs = db.conn->query("SELECT DATUM, DATUM2 FROM FORGFIZ WHERE BIZONYLAT = :b AND TEVALLAPOT <> 'X' ORDER BY DATUM",
                                 {{"b", b}});
        QString expect;
        while (rs.next()) {
            if (!expect.isEmpty()) QCOMPARE(rs.text("DATUM").trimmed(), expect);
            expect = QDate::fromString(rs.text("DATUM2").trimmed(), "yyyy.MM.dd").addDays(1).toString("yyyy.MM.dd");
        }
        QVERIFY(!expect.isEmpty());
    }
    qint64 contract(const QString& unit = QStringLiteral("Hó")) {
        const qint64 b = ++next;
        db.conn->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD,"
                                     " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', 'KP', '2026.03.02', :c, :s)"),
                      {{"b", b}, {"c", QStringLiteral("C%1").arg(b)}, {"s", QStringLiteral("S%1").arg(b)}});
        LineInput l;
        l.arucsoport = "ALAP";
        l.mennyiseg = "1";
        l.bermenny = "1";
        l.bermegyseg = unit;
        l.nettoar = "10000";
        l.karertek = "250000";
        l.minimalar = "0";
        l.kiszall = "2026.03.02";
        l.counts[0] = "1";
        l.prices[0] = "4500";
        l.periodus = "1";
        l.soforkod = "S1";
        LineStoreRequest rq;
        rq.customerKey = QStringLiteral("C%1").arg(b);
        rq.siteKey = QStringLiteral("S%1").arg(b);
        rq.input = l;
        rq.today = "2026.02.20";
        const LineStoreOutcome r = OrdersWorkspace::storeLine(*db.conn, session(), rq).answerAll(true);
        if (!r.ok) qWarning() << r.heading << r.messages;
        return b;
    }
    PaymentResult record(qint64 b, const QString& amount, const QString& from, const QString& to) {
        PaymentEntry e;
        e.bizonylat = b;
        e.amount = amount;
        e.from = from;
        e.to = to;
        e.soforkod = "S1";
        e.now = "2026.03.05 10:20";
        return Payments::RecordPayment(*db.conn, nullptr, session(), e);
    }
    QString refusalOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const vl::RuleRefusal& e) {
            return e.text();
        }
        return QString();
    }
    PaymentRow row(qint64 b, const QString& datum, qint64 no = 1) {
        auto tx = db.conn->begin();
        return Payments::ReadRow(*tx, PaymentRowKey{b, 1, datum, no});
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("UPDATE CEG SET AKTUALISEV = '2026'");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("CREATE EXCEPTION E_TESZT 'tesztből'");
        db.conn->exec("CREATE TRIGGER T_TESZT FOR FORGFIZ BEFORE DELETE AS BEGIN"
                      " IF (RDB$GET_CONTEXT('USER_SESSION', 'HIBA') = '1') THEN EXCEPTION E_TESZT; END");
    }

    void recordMonthly() {
        const qint64 b = contract();
        QVERIFY(periods(b).contains("2026.05.01-2026.05.31 T"));
        auto tx = db.conn->begin();
        QCOMPARE(Payments::DefaultPeriodEnd(*tx, b, 1, "2026.05.01"), QStringLiteral("2026.05.31"));
        tx->commit();
        const PaymentResult r = record(b, "10000", "20260501", "2026.05.31");
        QCOMPARE(r.key.datum, QStringLiteral("2026.05.01"));
        QCOMPARE(r.key.tevsorszam, 2);   // the planned row of the day still held number 1
        const PaymentRow paid = row(b, "2026.05.01", 2);
        QVERIFY(paid.found);
        QCOMPARE(paid.tevallapot, QStringLiteral("E"));
        QCOMPARE(paid.datum2, QStringLiteral("2026.05.31"));
        // Entered by hand, as contract entry's payments page marks its rows.
        QCOMPARE(value("SELECT KOMMENT || '|' || BRUTTO || '|' || SOFORKOD || '|' || COALESCE(KEZI, '-') FROM FORGFIZ"
                       " WHERE BIZONYLAT = :b AND DATUM = '2026.05.01' AND TEVSORSZAM = 2", {{"b", b}}),
                 QStringLiteral("Rögzítve:2026.03.05 10:20|12700|S1|I"));
        // The planned May row is gone, June on is planned again, March-April kept.
        const QStringList p = periods(b);
        QVERIFY(!p.contains("2026.05.01-2026.05.31 T"));
        QVERIFY(p.contains("2026.06.01-2026.06.30 T"));
        QCOMPARE(p.first(), QStringLiteral("2026.03.02-2026.04.30 T"));
        checkCoverage(b);
        // Made planned again, it stays a period entered by hand: a regeneration
        // keeps it, and a payment over it is refused as over any hand-entered one.
        QCOMPARE(Payments::TogglePaid(*db.conn, nullptr, session(), row(b, "2026.05.01", 2), true).tevallapot,
                 QStringLiteral("T"));
        auto rtx = db.conn->begin();
        GenerateBilling(*rtx, GeneratorContext::load(*rtx, QStringLiteral("TESZT")), b, 1, QStringLiteral("2026.03.02"));
        rtx->commit();
        QVERIFY(row(b, "2026.05.01", 2).found);
        const QStringList before = allRows(b);
        QVERIFY(refusalOf([&] { record(b, "3000", "2026.05.10", "2026.05.20"); }).contains("2026.05.01 -> 2026.05.31"));
        QCOMPARE(allRows(b), before);
    }

    void recordWeekly() {
        const qint64 b = contract("Hét");
        QCOMPARE(periods(b).first(), QStringLiteral("2026.03.02-2026.03.08 T"));
        auto tx = db.conn->begin();
        QCOMPARE(Payments::DefaultPeriodEnd(*tx, b, 1, "2026.03.09"), QStringLiteral("2026.03.15"));
        tx->commit();
        record(b, "10000", "2026.03.09", "2026.03.15");
        const QStringList p = periods(b);
        QVERIFY(p.contains("2026.03.09-2026.03.15 E"));
        QVERIFY(!p.contains("2026.03.09-2026.03.15 T"));
        QVERIFY(p.contains("2026.03.16-2026.03.22 T"));
        checkCoverage(b);
    }

    // A paid period across planned ones: every planned period it overlaps goes,
    // the days before it are billed in a cut period, billing goes on after it.
    void recordOverlapping() {
        const qint64 b = contract();
        record(b, "15000", "2026.03.15", "2026.04.14");
        const QStringList p = periods(b);
        QCOMPARE(p.mid(0, 3), (QStringList{"2026.03.02-2026.03.14 T", "2026.03.15-2026.04.14 E", "2026.04.15-2026.04.30 T"}));
        checkCoverage(b);
        // A second paid period over the first one is refused.
        const QStringList before = allRows(b);
        QVERIFY(refusalOf([&] { record(b, "100", "2026.04.01", "2026.04.20"); }).contains("2026.03.15 -> 2026.04.14"));
        QCOMPARE(allRows(b), before);
    }

    void validation_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("errors");
        const QString a = Payments::AmountText(), f = Payments::FromText(), t = Payments::ToText(), r = Payments::ReversedText();
        QTest::newRow("empty amount") << "" << "2026.05.01" << "2026.05.31" << QStringList{a};
        QTest::newRow("letter") << "12a" << "2026.05.01" << "2026.05.31" << QStringList{a};
        QTest::newRow("lone minus") << "-" << "2026.05.01" << "2026.05.31" << QStringList{a};
        QTest::newRow("zero") << "0" << "2026.05.01" << "2026.05.31" << QStringList{a};
        QTest::newRow("negative") << "-500" << "2026.05.01" << "2026.05.31" << QStringList{a};
        QTest::newRow("fraction") << "10,5" << "2026.05.01" << "2026.05.31" << QStringList{a};
        QTest::newRow("bad start") << "100" << "2026.02.30" << "2026.05.31" << QStringList{f};
        QTest::newRow("bad end") << "100" << "2026.05.01" << "x" << QStringList{t};
        QTest::newRow("reversed") << "100" << "2026.05.31" << "2026.05.01" << QStringList{r};
        QTest::newRow("all") << "" << "" << "" << QStringList{a, f, t};
    }

    void validation() {
        QFETCH(QString, amount);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, errors);
        QCOMPARE(Payments::Validate(amount, from, to), errors);
        static qint64 b = 0;
        if (!b) b = contract();
        const QStringList before = allRows(b);
        QCOMPARE(refusalOf([&] { record(b, amount, from, to); }), Payments::RefusalText(errors));
        QCOMPARE(allRows(b), before);
    }

    void refusalTexts() {
        QCOMPARE(Payments::RefusalText({Payments::AmountText(), Payments::FromText()}),
                 QStringLiteral("Az alábbi hibák miatt nem tárolható.\rAz összeg hibás.\rA fizetés dátuma érvénytelen"));
        PaymentRow r;
        r.key.datum = "2026.05.01";
        r.datum2 = "2026.05.31";
        r.netto = 10000;
        QCOMPARE(Payments::DeleteQuestion(r),
                 QStringLiteral("Biztosan törli a tévesen felvitt fizetést:\r10000 Ft. 2026.05.01 -> 2026.05.31"));
    }

    void noContract() {
        QCOMPARE(refusalOf([&] { record(0, "100", "2026.05.01", "2026.05.31"); }), Payments::NoContractText());
    }

    void toggleThereAndBack() {
        const qint64 b = contract();
        PaymentRow r = row(b, "2026.05.01");
        QCOMPARE(r.tevallapot, QStringLiteral("T"));
        PaymentResult t = Payments::TogglePaid(*db.conn, nullptr, session(), r, false, "2026.03.05 11:00");
        QCOMPARE(t.tevallapot, QStringLiteral("E"));
        QCOMPARE(value("SELECT KOMMENT FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM = '2026.05.01'", {{"b", b}}),
                 QStringLiteral("Rögzítve:2026.03.05 11:00"));
        // The row as shown before: changed meanwhile, refused, nothing written.
        const QStringList before = allRows(b);
        QCOMPARE(refusalOf([&] { Payments::TogglePaid(*db.conn, nullptr, session(), r, true); }),
                 QStringLiteral("A szerződést közben máshol módosították. Az adatok frissültek, kérem, ismételje meg a műveletet."));
        QCOMPARE(allRows(b), before);
        r = row(b, "2026.05.01");
        // Paid -> planned only with the question answered "Igen".
        QCOMPARE(Payments::TogglePaid(*db.conn, nullptr, session(), r, false).tevallapot, QString());
        QCOMPARE(allRows(b), before);
        QCOMPARE(Payments::TogglePaid(*db.conn, nullptr, session(), r, true).tevallapot, QStringLiteral("T"));
        QCOMPARE(value("SELECT COALESCE(KOMMENT, '') || TEVALLAPOT FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM = '2026.05.01'",
                       {{"b", b}}),
                 QStringLiteral("T"));
    }

    void deletes() {
        const qint64 b = contract();
        // A planned row: deleted, nothing regenerated.
        PaymentRow planned = row(b, "2026.06.01");
        QVERIFY(planned.found);
        const PaymentResult d = Payments::DeletePayment(*db.conn, nullptr, session(), planned);
        QCOMPARE(d.billing.written, 0);
        QVERIFY(!periods(b).contains("2026.06.01-2026.06.30 T"));
        // A paid row: its days are billed again.
        record(b, "9000", "2026.07.01", "2026.07.31");
        PaymentRow paid = row(b, "2026.07.01", 2);
        QVERIFY(paid.found);
        PaymentRow stale = paid;
        stale.netto = 1;
        const QStringList before = allRows(b);
        QVERIFY(!refusalOf([&] { Payments::DeletePayment(*db.conn, nullptr, session(), stale); }).isEmpty());
        QCOMPARE(allRows(b), before);
        Payments::DeletePayment(*db.conn, nullptr, session(), paid);
        const QStringList p = periods(b);
        QVERIFY(!p.contains("2026.07.01-2026.07.31 E"));
        QVERIFY(p.contains("2026.07.01-2026.07.31 T"));
        QVERIFY(p.contains("2026.06.01-2026.06.30 T"));
        checkCoverage(b);
    }

    void failureMidPaymentChangesNothing() {
        const qint64 b = contract();
        const QStringList before = allRows(b);
        const QString head = value("SELECT JUZER || MIKOR FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}});
        db.conn->query("SELECT RDB$SET_CONTEXT('USER_SESSION', 'HIBA', '1') FROM RDB$DATABASE");
        bool failed = false;
        try {
            record(b, "10000", "2026.05.01", "2026.05.31");
        } catch (const vl::db::DbError&) {
            failed = true;
        }
        db.conn->query("SELECT RDB$SET_CONTEXT('USER_SESSION', 'HIBA', NULL) FROM RDB$DATABASE");
        QVERIFY(failed);
        QCOMPARE(allRows(b), before);
        QCOMPARE(value("SELECT JUZER || MIKOR FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), head);
    }

    // vorlanda-admin payment and item: each prints what it changed; a refusal
    // prints its message, exits non-zero and writes nothing; a question without
    // --yes is refused.
    void commands() {
        const qint64 b = contract();
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        db.conn->close();
        auto run = [&](const QStringList& args, QString* out) {
            QProcess p;
            p.setWorkingDirectory(db.dir.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), args);
            p.waitForFinished(300000);
            *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QString bs = QString::number(b);
        QString out;
        struct Case { QStringList args; int rc; QString text; };
        const QList<Case> cases = {
            {{"payment", bs, "--amount", "-", "--from", "2026.05.01"}, 1, Payments::AmountText()},
            {{"payment", bs, "--amount", "100", "--from", "2026.05.31", "--to", "2026.05.01"}, 1, Payments::ReversedText()},
            {{"payment", bs, "--amount", "10000", "--from", "2026.05.01"}, 0, "2026.05.01 #2: állapot E"},
            {{"payment", bs, "--toggle", "2026.05.01/2"}, 1, Payments::UnpayQuestion()},
            {{"payment", bs, "--delete", "2026.05.01/2"}, 1, "Biztosan törli a tévesen felvitt fizetést:"},
            {{"--yes", "payment", bs, "--delete", "2026.05.01/2"}, 0, "A fizetés már megtörtént. Biztos, hogy törli? "},
            {{"item", bs, "1", "1", "--set", "KISZALL=2026.02.30"}, 1, "Hibás dátum: kiszállítás napja"},
            {{"item", bs, "1", "1", "--set", "SOFORKOD=", "--activity-date", "2026.04.01"}, 0, "1 termék tárolva"},
            {{"item", bs, "1", "1", "--remove"}, 1, "Törli a kijelölt tevékenységeket?"},
        };
        for (const Case& c : cases) {
            const int rc = run(c.args, &out);
            QVERIFY2(rc == c.rc && out.contains(c.text), qPrintable(c.args.join(' ') + " -> " + QString::number(rc) + " " + out));
        }
        db.conn = vl::db::connect(embeddedParams(db.path));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND TEVALLAPOT = 'E'", {{"b", b}}), 0);
        QCOMPARE(value("SELECT SOFORKOD FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), QStringLiteral("NULL"));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM >= '2026.04.01' AND TEVALLAPOT = 'T'"
                          " AND SOFORKOD IS NOT NULL", {{"b", b}}), 0);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), 1);
        // The command records through the same rule: entered by hand.
        db.conn->close();
        QCOMPARE(run({"payment", bs, "--amount", "10000", "--from", "2026.07.01"}, &out), 0);
        db.conn = vl::db::connect(embeddedParams(db.path));
        QCOMPARE(value("SELECT TEVALLAPOT || '|' || COALESCE(KEZI, '-') FROM FORGFIZ WHERE BIZONYLAT = :b"
                       " AND DATUM = '2026.07.01' AND TEVALLAPOT = 'E'", {{"b", b}}),
                 QStringLiteral("E|I"));
    }

    // store-line and item take every value through the checks of the form's
    // fields: a value the field refuses is refused with its caption, exits
    // non-zero and leaves every row of the contract as it was.
    void commandsRefuseWhatTheFieldRefuses() {
        const qint64 b = contract();
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        auto rows = [&] {
            QStringList out;
            for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"}) {
                auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b").arg(t), {{"b", b}});
                while (rs.next()) {
                    QStringList cells;
                    for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
                    out << QLatin1String(t) + QLatin1Char(':') + cells.join(u'|');
                }
            }
            out.sort();
            return out;
        };
        const QStringList before = rows();
        db.conn->close();
        auto run = [&](const QStringList& args, QString* out) {
            QProcess p;
            p.setWorkingDirectory(db.dir.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), QStringList{"--yes"} + args);
            p.waitForFinished(300000);
            *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QString bs = QString::number(b);
        const QStringList line = {"store-line", QStringLiteral("C%1").arg(b), QStringLiteral("S%1").arg(b), bs, "1"};
        struct Case { QStringList args; QString text; };
        QList<Case> cases;
        for (const QString& v : {QStringLiteral("abc"), QStringLiteral("-1"), QStringLiteral("1.5"),
                                 QStringLiteral("9223372036854775808"), QString(100000, QLatin1Char('9'))})
            cases.append({line + QStringList{"--minimalar", v}, "A minimális díj értelmetlen"});
        cases.append({line + QStringList{"--mennyiseg", "1000000"}, "A darabszám legfeljebb 500 lehet"});
        cases.append({{"item", bs, "1", "1", "--set", "SOFORKOD=NINCS"}, "A sofőrkód nem létezik vagy nem aktív"});
        for (const char* d : {"2026.02.30", "2026.13.01", "2026.00.10", "2026.04.31", "20260230", "2026.4.1x", "abc",
                              "0000.00.00", "9999.99.99", "2026..04.01", "-2026.04.01", "2026.04.01.01"})
            cases.append({{"item", bs, "1", "1", "--set", "SOFORKOD=S1", "--activity-date", d},
                          QStringLiteral("Hibás dátum: az új sofőr tevékenységeinek kezdőnapja: ") + d});
        QString out;
        for (const Case& c : cases) {
            const int rc = run(c.args, &out);
            // A day the command's own argument check refuses before the rule
            // runs is named with its option and exits 2; the rule's refusal exits 1.
            const int at = c.args.indexOf(QStringLiteral("--activity-date"));
            if (at >= 0 && rc == 2) {
                QVERIFY2(out.contains(QStringLiteral("Hibás dátum: ") + c.args.at(at + 1) + QStringLiteral(" (--activity-date")),
                         qPrintable(c.args.join(' ') + " -> " + out.left(400)));
                continue;
            }
            QVERIFY2(rc == 1 && out.contains(c.text),
                     qPrintable(c.args.join(' ').left(200) + " -> " + QString::number(rc) + " " + out.left(400)));
        }
        db.conn = vl::db::connect(embeddedParams(db.path));
        QCOMPARE(rows(), before);
    }

    void closedContractTakesPayments() {
        const qint64 b = contract();
        db.conn->exec("UPDATE FORGFEJ SET STATUS = 'LEZ' WHERE BIZONYLAT = :b", {{"b", b}});
        record(b, "10000", "2026.05.01", "2026.05.31");
        QVERIFY(periods(b).contains("2026.05.01-2026.05.31 E"));
    }
};

QTEST_GUILESS_MAIN(TstPayments)
#include "tst_payments.moc"
