// The contract entry's payments and store on a real database: a new cash
// contract lands whole with its number from the insert; a change keeps done
// visits and paid periods byte for byte; a hand-entered payment survives every
// regeneration and a moved payment never overwrites; a failure between two
// writes leaves the stored contract and the work copies as they were; a change
// made elsewhere since the load is refused and the contract loaded again.
#include "tst_schedule_fixture.h"

#include "rental/Billing.h"
#include "rental/ContractSave.h"
#include "rental/ContractSession.h"
#include "rental/Numbering.h"
#include "util/Numbers.h"

#include <QFile>
#include <QProcess>
#include <QStringEncoder>
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

LineInput line(const QString& qty = QStringLiteral("2"), const QString& price = QStringLiteral("12000")) {
    LineInput l;
    l.arucsoport = QStringLiteral("ALAP");
    l.mennyiseg = qty;
    l.bermenny = QStringLiteral("1");
    l.bermegyseg = QStringLiteral("Hó");
    l.nettoar = price;
    l.kiszall = QStringLiteral("2026.03.02");
    l.counts[0] = QStringLiteral("1");
    l.prices[0] = QStringLiteral("4500");
    l.periodus = QStringLiteral("1");
    l.soforkod = QStringLiteral("S1");
    return l;
}

HeaderFields header(const QString& fizmod = QStringLiteral("KP")) {
    HeaderFields h;
    h.ugyfelkod = QStringLiteral("1");
    h.ugyfelcim = QStringLiteral("1");
    h.fizmod = fizmod;
    h.bermod = QStringLiteral("HT");
    h.berkezd = QStringLiteral("2026.03.02");
    h.szerzodes = QStringLiteral("O'Brien/2026");
    h.komment = QStringLiteral("Kapu: 'B' épület");
    return h;
}

// Every row of the contract in the rental tables, header included.
QStringList storedRows(vl::db::Connection& conn, qint64 b) {
    QStringList out;
    const QStringList tables = {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"};
    for (const QString& t : tables) {
        auto rs = conn.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b ORDER BY 1, 2, 3").arg(t), {{"b", b}});
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out << t + ":" + cells.join(u'|');
        }
    }
    out.sort();
    return out;
}

QStringList copyRows(vl::db::Connection& conn, const ContractSession& s) {
    QStringList out;
    for (const QString& t : s.workCopyNames()) {
        auto rs = conn.query(QStringLiteral("SELECT * FROM %1").arg(t));
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out << cells.join(u'|');
        }
    }
    out.sort();
    return out;
}

// "DATUM-DATUM2/state" of the contract's payments in date order.
QStringList periods(vl::db::Connection& conn, const QString& table, qint64 b) {
    auto rs = conn.query(QStringLiteral("SELECT DATUM, DATUM2, TEVALLAPOT, KEZI FROM %1 WHERE BIZONYLAT = :b"
                                        " ORDER BY DATUM, TEVSORSZAM").arg(table), {{"b", b}});
    QStringList out;
    while (rs.next())
        out << rs.text("DATUM") + "-" + rs.text("DATUM2") + "/" + rs.text("TEVALLAPOT").trimmed() +
                   (rs.text("KEZI").trimmed() == "I" ? "K" : "");
    return out;
}

Outcome store(ContractSession& s, ContractSaveResult* r = nullptr) {
    return ContractSave::Store(s, r).answerAll(true);
}

} // namespace

class TstContractStore : public QObject {
    Q_OBJECT
    TestDb db;

    // A new cash contract of one line (2 items, the first on product 501), stored.
    qint64 newContract(const QString& product = QString()) {
        ContractSession s(*db.conn, who());
        s.setToday("2026.02.20");
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        s.setHeader(header());
        Outcome o = s.addLine(line()).answerAll(true);
        if (!o.ok) qWarning() << o.messages;
        if (!product.isEmpty()) {
            ItemInput it = s.itemFields(1, 1);
            it.arukod = product;
            o = s.storeItem(1, 1, it).answerAll(true);
            if (!o.ok) qWarning() << o.messages;
        }
        ContractSaveResult r;
        o = store(s, &r);
        if (!o.ok) qWarning() << o.messages;
        return o.ok ? r.bizonylat : -1;
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD) VALUES ('1', 'O''Brien és Társa Kft.', 'KP')");
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES ('1', '1', 'Építkezés',"
                      " '2030', 'Érd', 'Fő utca 1.')");
        for (const char* kod : {"501", "502", "503", "601", "602", "603", "604", "605", "606", "607", "608", "609"})
            db.conn->exec("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'SZA')", {{"k", QString(kod)}});
    }

    void cleanup() { ContractSave::setFailureHook({}); }

    // A new open-ended cash contract: the number from the insert, every child row
    // with it, nothing left under the placeholder, the periods of the billing rules.
    void newCashContract() {
        const qint64 before = db.count("SELECT COALESCE(MAX(BIZONYLAT), 0) FROM FORGFEJ");
        const qint64 b = newContract("501");
        QVERIFY(b > before);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ WHERE BIZONYLAT = :b AND VERZIO = 1 AND STATUS = 'FO'"
                          " AND AKTIV = 'I' AND FIZMOD = 'KP' AND BERMOD = 'HT' AND SZERZODES = 'O''Brien/2026'",
                          {{"b", b}}), 1);
        for (const char* t : {"FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"}) {
            QVERIFY2(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE BIZONYLAT = :b").arg(t), {{"b", b}}) > 0, t);
            QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE BIZONYLAT = 0").arg(t)), 0);
        }
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), 2);
        // Monthly unit from the 2nd: to the end of the following month, then calendar months to the year's end.
        const QStringList p = periods(*db.conn, "FORGFIZ", b);
        QCOMPARE(p.first(), QString("2026.03.02-2026.04.30/T"));
        QCOMPARE(p.at(1), QString("2026.05.01-2026.05.31/T"));
        QCOMPARE(p.last(), QString("2026.12.01-2026.12.31/T"));
        QCOMPARE(p.size(), 9);
        // First period: 2 items x 12000 x 60 / 30 + the visits of the period.
        const qint64 visits = db.count("SELECT SUM(NETTOAR * MENNYISEG) FROM FORGTEV WHERE BIZONYLAT = :b"
                                       " AND DATUM BETWEEN '2026.03.02' AND '2026.04.30'", {{"b", b}});
        QCOMPARE(db.count("SELECT NETTO FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM = '2026.03.02'", {{"b", b}}),
                 48000 + visits);
        // The product is rented by the contract.
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '501' AND ALLAPOT = 'FOG' AND BIZONYLAT = :b",
                          {{"b", b}}), 1);
    }

    // The summary counts the maintenance visits the store wrote, those made on
    // the copies when the line was added included; an unchanged store writes none.
    void summaryCountsTheVisitsWritten() {
        ContractSession s(*db.conn, who());
        s.setToday("2026.02.20");
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        s.setHeader(header());
        QVERIFY(s.addLine(line()).answerAll(true).ok);
        ContractSaveResult r;
        const Outcome o = store(s, &r);
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        const qint64 visits = db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD IN"
                                       " (SELECT KOD FROM SZ_TEVEKENY WHERE KEPEZVE = 'KISZE')", {{"b", r.bizonylat}});
        QVERIFY(visits > 2);   // Mondays of two cabins through the year
        QCOMPARE(qint64(r.visitsGenerated), visits);
        QVERIFY(r.activitiesWritten > r.visitsGenerated);   // the deliveries too
        QVERIFY2(o.messages.first().contains(QStringLiteral("(%1 karbantartás generálva)").arg(visits)),
                 qPrintable(o.messages.first()));
        ContractSession again(*db.conn, who());
        again.setToday("2026.03.25");
        again.open(ContractMode::Modify, r.bizonylat, 1);
        const Outcome o2 = store(again, &r);
        QVERIFY2(o2.ok, qPrintable(o2.messages.join('|')));
        QCOMPARE(r.visitsGenerated, 0);
        QVERIFY2(o2.messages.first().contains(QStringLiteral("(0 karbantartás generálva)")), qPrintable(o2.messages.first()));
    }

    // Without a line, or when the question is answered "Nem": nothing stored.
    void refusalsWriteNothing() {
        const qint64 heads = db.count("SELECT COUNT(*) FROM FORGFEJ");
        ContractSession s(*db.conn, who());
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        s.setHeader(header());
        Outcome o = ContractSave::Store(s);
        QCOMPARE(o.messages, QStringList{"Nincs megadva termék."});
        QVERIFY(!o.asks());
        QVERIFY(s.addLine(line()).answerAll(true).ok);
        o = ContractSave::Store(s);
        QCOMPARE(o.question, QString("Befejezi és tárolja a bizonylatot?"));
        QVERIFY(!o.proceed(false).ok);
        HeaderFields h = header();
        h.berkezd = "2026.02.30";
        s.setHeader(h);
        o = ContractSave::Store(s);
        QVERIFY(!o.asks());
        QCOMPARE(o.messages, QStringList{"A fej adatokban az alábbi hibák vannak:\rHibás dátum: bérlet kezdete\r"});
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads);
    }

    // A change to a stored contract keeps its done visits and paid periods byte
    // for byte and regenerates the rest.
    void modifyKeepsDoneAndPaid() {
        const qint64 b = newContract();
        QVERIFY(b > 0);
        db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = 'E', JUZER = 'SOFOR' WHERE BIZONYLAT = :b AND TEVKOD = 'KA'"
                      " AND DATUM <= '2026.03.20'", {{"b", b}});
        db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E', KOMMENT = 'Rögzítve' WHERE BIZONYLAT = :b"
                      " AND DATUM = '2026.03.02'", {{"b", b}});
        auto doneRows = [&](const QString& t) {
            auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND TEVALLAPOT = 'E'"
                                                    " ORDER BY 1, 2, 3, 4").arg(t), {{"b", b}});
            QStringList out;
            while (rs.next()) {
                QStringList c;
                for (int i = 0; i < rs.columnCount(); ++i) c << rs.value(i).toString();
                out << c.join('|');
            }
            return out;
        };
        const QStringList visitsBefore = doneRows("FORGTEV"), paidBefore = doneRows("FORGFIZ");
        QVERIFY(visitsBefore.size() >= 2);
        QCOMPARE(paidBefore.size(), 1);

        ContractSession s(*db.conn, who());
        s.setToday("2026.03.25");
        s.open(ContractMode::Modify, b, 1);
        LineInput l = s.lineFields(1);
        l.nettoar = "15000";
        Outcome o = s.changeLine(1, l).answerAll(true);
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        ContractSaveResult r;
        o = store(s, &r);
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        QCOMPARE(r.bizonylat, b);
        QVERIFY2(o.messages.first().startsWith(QString("A(z) %1. sz. szerződés tárolva:").arg(b)), qPrintable(o.messages.first()));
        QCOMPARE(doneRows("FORGTEV"), visitsBefore);
        QCOMPARE(doneRows("FORGFIZ"), paidBefore);
        QCOMPARE(db.count("SELECT NETTOAR FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), 15000);
        // The planned periods after the paid one carry the new rent.
        QCOMPARE(db.count("SELECT NETTO - (SELECT COALESCE(SUM(NETTOAR * MENNYISEG), 0) FROM FORGTEV WHERE BIZONYLAT = :b"
                          " AND DATUM BETWEEN '2026.06.01' AND '2026.06.30' AND TEVALLAPOT IN ('T', 'E')) FROM FORGFIZ"
                          " WHERE BIZONYLAT = :b AND DATUM = '2026.06.01'", {{"b", b}}), 30000);
        // Storing again unchanged writes nothing.
        ContractSession again(*db.conn, who());
        again.setToday("2026.03.25");
        again.open(ContractMode::Modify, b, 1);
        const QStringList rowsBefore = storedRows(*db.conn, b);
        o = store(again, &r);
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        QCOMPARE(r.rowsWritten + r.rowsRemoved + r.activitiesWritten + r.activitiesRemoved + r.periodsWritten +
                     r.periodsRemoved, 0);
        QStringList rowsAfter = storedRows(*db.conn, b);
        // Only the header's stamp moved.
        rowsAfter.erase(std::remove_if(rowsAfter.begin(), rowsAfter.end(), [](const QString& x) { return x.startsWith("FORGFEJ:"); }), rowsAfter.end());
        QStringList expected = rowsBefore;
        expected.erase(std::remove_if(expected.begin(), expected.end(), [](const QString& x) { return x.startsWith("FORGFEJ:"); }), expected.end());
        QCOMPARE(rowsAfter, expected);
    }

    // The payment page's checks, each with nothing written.
    void badPayments_data() {
        QTest::addColumn<QString>("datum");
        QTest::addColumn<QString>("datum2");
        QTest::addColumn<QString>("netto");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero") << "2026.05.01" << "2026.05.31" << "0" << "Az összeg értelmetlen\r";
        QTest::newRow("lone minus") << "2026.05.01" << "2026.05.31" << "-" << "Az összeg értelmetlen\r";
        QTest::newRow("negative") << "2026.05.01" << "2026.05.31" << "-5" << "Az összeg értelmetlen\r";
        QTest::newRow("end before start") << "2026.05.31" << "2026.05.01" << "100" << "Hibás dátum intervallum\r";
        QTest::newRow("bad dates") << "2026.02.30" << "tegnap" << "abc"
                                   << "Hibás dátum: fizetés dátuma\rHibás dátum: fizetés érvényességének vége\r"
                                      "Az összeg értelmetlen\r";
    }
    void badPayments() {
        QFETCH(QString, datum);
        QFETCH(QString, datum2);
        QFETCH(QString, netto);
        QFETCH(QString, message);
        ContractSession s(*db.conn, who());
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        s.setHeader(header());
        QVERIFY(s.addLine(line()).answerAll(true).ok);
        const QStringList before = copyRows(*db.conn, s);
        const Outcome o = ContractPayments::Add(s, {datum, datum2, netto, {}});
        QVERIFY(!o.ok);
        QCOMPARE(o.messages, QStringList{message});
        QCOMPARE(copyRows(*db.conn, s), before);
    }

    // A hand-entered payment: marked, the planned periods cut around it, moved
    // without overwriting, kept by the store and by every later regeneration.
    void handPaymentSurvives() {
        const qint64 b = newContract();
        QVERIFY(b > 0);
        ContractSession s(*db.conn, who());
        s.setToday("2026.03.01");
        s.open(ContractMode::Modify, b, 1);
        const QString pay = s.workCopyNames().at(3);
        Outcome o = ContractPayments::Add(s, {"20260601", "2026.06.20", "33333", {}});
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        QVERIFY(o.changed & ChangedPayments);
        QStringList p = periods(*db.conn, pay, b);
        QVERIFY2(p.contains("2026.06.01-2026.06.20/TK"), qPrintable(p.join(' ')));
        // The planned month is cut: the rest of June is a period of its own.
        QVERIFY2(p.contains("2026.06.21-2026.06.30/T"), qPrintable(p.join(' ')));
        QVERIFY(!p.contains("2026.06.01-2026.06.30/T"));
        QCOMPARE(db.count(QStringLiteral("SELECT BRUTTO FROM %1 WHERE DATUM = '2026.06.01' AND KEZI = 'I'").arg(pay)),
                 vl::util::RoundHalfAway(33333 * s.context().vatFactor));

        // An overlapping second one is refused.
        o = ContractPayments::Add(s, {"2026.06.10", "2026.06.25", "100", {}});
        QVERIFY(!o.ok);
        QVERIFY2(o.messages.value(0).contains("átfedi"), qPrintable(o.messages.join('|')));

        // Moved onto a day that has a row already (July's planned period): the next
        // number, never an overwrite; the old day's row goes.
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE DATUM = '2026.07.01' AND TEVSORSZAM = 1").arg(pay)), 1);
        // (June's planned period held number 1 when the hand payment came: it took 2.)
        const qint64 handNo =
            db.count(QStringLiteral("SELECT TEVSORSZAM FROM %1 WHERE DATUM = '2026.06.01' AND KEZI = 'I'").arg(pay));
        QCOMPARE(handNo, 2);
        o = ContractPayments::Change(s, {"2026.06.01", handNo}, {"2026.07.01", "2026.07.10", "33333", {}});
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE DATUM = '2026.06.01' AND KEZI = 'I'").arg(pay)), 0);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE DATUM = '2026.07.01' AND KEZI = 'I'"
                                         " AND DATUM2 = '2026.07.10'").arg(pay)), 1);
        QCOMPARE(db.count(QStringLiteral("SELECT TEVSORSZAM FROM %1 WHERE DATUM = '2026.07.01' AND KEZI = 'I'").arg(pay)), 2);
        p = periods(*db.conn, pay, b);
        QVERIFY2(p.contains("2026.06.01-2026.06.30/T"), qPrintable(p.join(' ')));   // June billed again
        QVERIFY2(p.contains("2026.07.11-2026.07.31/T"), qPrintable(p.join(' ')));

        o = store(s);
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        const QStringList hand = snapshot(*db.conn, "FORGFIZ", "BIZONYLAT, DATUM, TEVSORSZAM").filter("|I");
        QCOMPARE(hand.size(), 1);
        // Regenerations of the stored contract leave it alone.
        {
            auto tx = db.conn->begin();
            const GeneratorContext ctx = context(*db.conn, "2026.03.05 10:00:00");
            GenerateBilling(*tx, ctx, b, 1, "2026.03.02");
            GenerateBilling(*tx, ctx, b, 1, FirstDayStillToBill(*tx, ctx, b, 1), "2027.12.31");
            tx->commit();
        }
        QCOMPARE(snapshot(*db.conn, "FORGFIZ", "BIZONYLAT, DATUM, TEVSORSZAM").filter("|I"), hand);
        p = periods(*db.conn, "FORGFIZ", b);
        QVERIFY2(p.contains("2026.07.01-2026.07.10/TK") && p.contains("2026.07.11-2026.07.31/T"), qPrintable(p.join(' ')));
        // A paid period is not changed on the page.
        db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.08.01'", {{"b", b}});
        ContractSession t(*db.conn, who());
        t.open(ContractMode::Modify, b, 1);
        o = ContractPayments::Change(t, {"2026.08.01", 1}, {"2026.08.01", "2026.08.31", "1", {}});
        QCOMPARE(o.messages, QStringList{"Fizetett időszak nem módosítható, csak törölhető."});
        // Deleting the hand-entered period bills its days again.
        const QString tpay = t.workCopyNames().at(3);
        const qint64 no = db.count(QStringLiteral("SELECT TEVSORSZAM FROM %1 WHERE DATUM = '2026.07.01' AND KEZI = 'I'").arg(tpay));
        o = ContractPayments::Delete(t, {"2026.07.01", no});
        QVERIFY(o.ok);
        p = periods(*db.conn, tpay, b);
        QVERIFY2(p.contains("2026.07.01-2026.07.31/T") && !p.contains("2026.07.11-2026.07.31/T"), qPrintable(p.join(' ')));
    }

    // A failure between two writes: the stored contract and the copies as they were.
    void failureBetweenWrites_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("product");
        int n = 0;
        for (const char* s : {"stamp", "header", "lines", "items", "activities", "payments", "products", "takebacks"})
            QTest::newRow(s) << QString(s) << QString::number(601 + n++);
    }
    void failureBetweenWrites() {
        QFETCH(QString, step);
        QFETCH(QString, product);
        const qint64 b = newContract();
        QVERIFY(b > 0);
        ContractSession s(*db.conn, who());
        s.setToday("2026.03.10");
        s.open(ContractMode::Modify, b, 1);
        LineInput l = s.lineFields(1);
        l.nettoar = "17000";
        l.mennyiseg = "3";
        QVERIFY(s.changeLine(1, l).answerAll(true).ok);
        ItemInput it = s.itemFields(1, 2);
        it.arukod = product;
        QVERIFY(s.storeItem(1, 2, it).answerAll(true).ok);
        const QStringList stored = storedRows(*db.conn, b);
        const QStringList copies = copyRows(*db.conn, s);
        const qint64 heads = db.count("SELECT COUNT(*) FROM FORGFEJ");
        ContractSave::setFailureHook([step](const QString& at) {
            if (at == step) throw vl::db::DbError(QStringLiteral("Lemez megtelt (próba)"));
        });
        const Outcome o = store(s);
        QVERIFY(!o.ok);
        QCOMPARE(o.messages, QStringList{"A szerződés tárolása nem sikerült, semmi sem változott:\rLemez megtelt (próba)"});
        QCOMPARE(storedRows(*db.conn, b), stored);
        QCOMPARE(copyRows(*db.conn, s), copies);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads);
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = :k AND ALLAPOT = 'SZA'", {{"k", product}}), 1);
        // The same session stores once the fault is gone.
        ContractSave::setFailureHook({});
        const Outcome ok = store(s);
        QVERIFY2(ok.ok, qPrintable(ok.messages.join('|')));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), 3);
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = :k AND ALLAPOT = 'FOG'", {{"k", product}}), 1);
    }

    // A new contract failing mid-way leaves no header behind.
    void newContractFailureLeavesNothing() {
        const qint64 heads = db.count("SELECT COUNT(*) FROM FORGFEJ");
        ContractSession s(*db.conn, who());
        s.open(ContractMode::Insert, -1, 0, "1", "1");
        s.setHeader(header());
        QVERIFY(s.addLine(line()).answerAll(true).ok);
        const QStringList copies = copyRows(*db.conn, s);
        ContractSave::setFailureHook([](const QString& at) {
            if (at == "activities") throw vl::RuleRefusal(QStringLiteral("próba"));
        });
        QVERIFY(!store(s).ok);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGSOR WHERE NOT EXISTS (SELECT 1 FROM FORGFEJ F"
                          " WHERE F.BIZONYLAT = FORGSOR.BIZONYLAT)"), 0);
        QCOMPARE(copyRows(*db.conn, s), copies);
    }

    // Another connection changed the contract after the load: nothing written,
    // the message, the contract loaded again; then the store goes through.
    void concurrentChangeRefused() {
        const qint64 b = newContract();
        QVERIFY(b > 0);
        ContractSession s(*db.conn, who());
        s.setToday("2026.03.10");
        s.open(ContractMode::Modify, b, 1);
        LineInput l = s.lineFields(1);
        l.nettoar = "19000";
        QVERIFY(s.changeLine(1, l).answerAll(true).ok);

        auto other = vl::db::connect(embeddedParams(db.path));
        {
            auto tx = other->begin();
            // A payment marked paid at another workstation, stamped on the contract.
            tx->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.05.01'", {{"b", b}});
            tx->exec("UPDATE FORGFEJ SET JUZER = 'MÁSIK', MIKOR = '2026.03.10 09:00:00' WHERE BIZONYLAT = :b", {{"b", b}});
            tx->commit();
        }
        const QStringList stored = storedRows(*db.conn, b);
        const qint64 rv = s.loadedRecordVersion();
        Outcome o = store(s);
        QVERIFY(!o.ok);
        QCOMPARE(o.messages, QStringList{"A szerződést közben máshol módosították. Az adatok frissültek, kérem, "
                                         "ismételje meg a műveletet."});
        QVERIFY(o.changed & ChangedHeader);
        QCOMPARE(storedRows(*db.conn, b), stored);
        // Loaded again: the other's work is in the copies, the typed change is not.
        QVERIFY(s.loadedRecordVersion() != rv);
        QCOMPARE(s.lineFields(1).nettoar, QString("12000"));
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE DATUM = '2026.05.01' AND TEVALLAPOT = 'E'")
                              .arg(s.workCopyNames().at(3))), 1);
        l = s.lineFields(1);
        l.nettoar = "19000";
        QVERIFY(s.changeLine(1, l).answerAll(true).ok);
        o = store(s);
        QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM = '2026.05.01' AND TEVALLAPOT = 'E'",
                          {{"b", b}}), 1);
        QCOMPARE(db.count("SELECT NETTOAR FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), 19000);
        other->close();
    }
    // A take-back marked done in the copies is completed by the store (product
    // freed, contract closed); a later store of the closed contract (a payment)
    // keeps it closed.
    void takeBackCompletedByStore() {
        ContractSession n(*db.conn, who());
        n.setToday("2026.02.20");
        n.open(ContractMode::Insert, -1, 0, "1", "1");
        n.setHeader(header());
        LineInput l = line("1");
        l.vszall = "2026.04.27";
        QVERIFY(n.addLine(l).answerAll(true).ok);
        ItemInput it = n.itemFields(1, 1);
        it.arukod = "609";
        QVERIFY(n.storeItem(1, 1, it).answerAll(true).ok);
        ContractSaveResult r;
        QVERIFY(store(n, &r).ok);
        const qint64 b = r.bizonylat;
        n.discard();
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '609' AND ALLAPOT = 'FOG'"), 1);

        ContractSession s(*db.conn, who());
        s.setToday("2026.04.27");
        s.open(ContractMode::Modify, b, 1);
        auto vsz = db.conn->query(QStringLiteral("SELECT DATUM, TEVSORSZAM FROM %1 WHERE TEVKOD = 'VSZ'")
                                      .arg(s.workCopyNames().at(2)));
        QVERIFY(vsz.next());
        const ActivityKey key{1, 1, vsz.text("DATUM"), vsz.integer("TEVSORSZAM")};
        QVERIFY(s.toggleDone(key).answerAll(true).ok);
        QCOMPARE(int(s.takeBacks().size()), 1);
        // Nothing of the take-back reached the rental tables before the store.
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '609' AND ALLAPOT = 'FOG'"), 1);
        QVERIFY(store(s, &r).ok);
        QCOMPARE(r.takeBacks, 1);
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '609' AND ALLAPOT = 'SZA'"), 1);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ WHERE BIZONYLAT = :b AND STATUS = 'LEZ' AND BERVEG = '2026.04.27'",
                          {{"b", b}}), 1);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND VSZALL = '2026.04.27'", {{"b", b}}), 1);

        // The closed contract: its payments stay open; storing one keeps it closed.
        ContractSession c(*db.conn, who());
        c.open(ContractMode::Modify, b, 1);
        QVERIFY(!c.linesEditable());
        QVERIFY(ContractPayments::Add(c, {"2026.04.01", "2026.04.27", "5000", {}}).ok);
        const Outcome co = store(c, &r);
        QVERIFY2(co.ok, qPrintable(co.messages.join(QLatin1Char('|'))));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ WHERE BIZONYLAT = :b AND STATUS = 'LEZ'", {{"b", b}}), 1);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND KEZI = 'I'", {{"b", b}}), 1);
    }

    // vorlanda-admin contract import then contract show: the same session and
    // store as the form; a file that fails a check writes nothing.
    void importShowRoundTrip() {
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        auto run = [&](const QStringList& args, QString* out) {
            QProcess p;
            p.setWorkingDirectory(db.dir.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), args);
            p.waitForFinished(300000);
            *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QString good = QString::fromUtf8(
            "{\n"
            "  \"header\": {\"UGYFELKOD\": \"1\", \"UGYFELCIM\": \"1\", \"FIZMOD\": \"KP\", \"BERMOD\": \"HT\", \"BERKEZD\": \"2026.03.02\",\n"
            "             \"SZERZODES\": \"O'Brien/2026\", \"KOMMENT\": \"Kapu: 'B' épület\", \"VEGKOMMENT\": \"Kulcs a portán\"},\n"
            "  \"lines\": [{\"ARUCSOPORT\": \"ALAP\", \"MENNYISEG\": 2, \"BERMENNY\": 1, \"BERMEGYSEG\": \"Hó\", \"NETTOAR\": 12000,\n"
            "             \"KISZALL\": \"20260302\", \"HKSZCSPSZV\": \"1000000\", \"KARBAR1\": 4500, \"PERIODUS\": 1, \"SOFORKOD\": \"S1\",\n"
            "             \"items\": [{\"ARUKOD\": \"503\", \"KOMMENT\": \"Az irodához, Ő\"}, {}]}],\n"
            "  \"payments\": [{\"DATUM\": \"2026.03.02\", \"DATUM2\": \"2026.03.31\", \"NETTO\": 20000}]\n"
            "}");
        auto write = [&](const QString& name, const QString& text) {
            QFile f(db.dir.filePath(name));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text.toUtf8());
            return f.fileName();
        };
        const qint64 heads = db.count("SELECT COUNT(*) FROM FORGFEJ");
        struct Bad { QString from, to, message; };
        const QList<Bad> bad = {
            {"\"KOMMENT\": \"Kapu", "\"SZIN\": \"kék\", \"KOMMENT\": \"Kapu", "FORGFEJ.SZIN"},
            {"\"ARUKOD\": \"503\"", "\"ARUKOD\": \"503\", \"SORSZAM\": 7", "FORGKABIN.SORSZAM"},
            {"\"BERKEZD\": \"2026.03.02\"", "\"BERKEZD\": \"2026.02.30\"", "Hibás dátum: bérlet kezdete"},
            {"\"KISZALL\": \"20260302\"", "\"KISZALL\": \"2026.13.01\"", "Hibás dátum"},
            {"\"NETTO\": 20000", "\"NETTO\": \"-\"", "Az összeg értelmetlen"},
            {"\"DATUM2\": \"2026.03.31\"", "\"DATUM2\": \"2026.03.01\"", "Hibás dátum intervallum"},
        };
        QString out;
        for (const Bad& c : bad) {
            QString text = good;
            QVERIFY2(text.contains(c.from), qPrintable(c.from));
            text.replace(c.from, c.to);
            QVERIFY2(run({"--yes", "contract", "import", write("rossz.json", text)}, &out) != 0, qPrintable(out));
            QVERIFY2(out.contains(c.message), qPrintable(c.message + " / " + out));
            QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads);
        }
        // Without --yes the store's question is refused.
        const QString file = write("uj.json", good);
        QVERIFY(run({"contract", "import", file}, &out) != 0);
        QVERIFY2(out.contains("Befejezi és tárolja a bizonylatot?"), qPrintable(out));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads);

        QVERIFY2(run({"--yes", "contract", "import", file}, &out) == 0, qPrintable(out));
        const qint64 b = db.count("SELECT MAX(BIZONYLAT) FROM FORGFEJ");
        QVERIFY2(out.contains(QString("Új szerződés: %1").arg(b)), qPrintable(out));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), 2);
        QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '503' AND ALLAPOT = 'FOG' AND BIZONYLAT = :b", {{"b", b}}), 1);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND KEZI = 'I' AND NETTO = 20000", {{"b", b}}), 1);

        QVERIFY2(run({"contract", "show", QString::number(b)}, &out) == 0, qPrintable(out));
        for (const QString& t : {QString("Szerződés: %1 (verzió 1), státusz: FO (Folyamatban)").arg(b),
                                 QString("Ügyfél: 1 O'Brien és Társa Kft.; szállítási cím: 1 Építkezés 2030 Érd, Fő utca 1."),
                                 QString("Fizetési mód: KP (Készpénz); bérlés módja: HT (Határozatlan idejű bérlet)"),
                                 QString("Kezdete: 2026.03.02; vége: ; iktatószám: O'Brien/2026; megjegyzés: Kapu: 'B' épület"),
                                 QString("  1. ALAP (Alap WC kabin): 2 db, 12000 Ft / 1 Hó"),
                                 QString("     1/1 termék 503: kiszállítás 2026.03.02"),
                                 QString("     1/2 termék *: kiszállítás 2026.03.02"),
                                 QString("  2026.03.02 - 2026.03.31: 20000 Ft (bruttó 25400 Ft), Tervezett, kézi")})
            QVERIFY2(out.contains(t), qPrintable(t + "\n---\n" + out));
        // Every period of the contract is listed.
        const qint64 rows = db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b", {{"b", b}});
        QCOMPARE(qint64(out.count(QRegularExpression("\\n  [0-9]{4}\\.[0-9]{2}\\.[0-9]{2} - "))), rows);
        QVERIFY(run({"contract", "show", "999999"}, &out) != 0);
    }

    // contract import checks every value as the form's field would hold it and
    // the header as every door does: a customer that exists and is active, a
    // site of that customer; a listed line's items are its quantity. Each case
    // exits non-zero with its message and writes nothing.
    void importRefusesWhatTheFormRefuses() {
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, AKTIV) VALUES ('2', 'Másik Kft.', 'KP', 'I')");
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES ('2', '2', 'Telep',"
                      " '2030', 'Érd', 'Fő utca 2.')");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, AKTIV) VALUES ('3', 'Alvó Bt.', 'KP', 'N')");
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES ('3', '3', 'Raktár',"
                      " '2030', 'Érd', 'Fő utca 3.')");
        db.conn->exec("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('701', 'ALAP', 'SZA')");
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QByteArray("DBSERVER=") + db.path.toLocal8Bit() + "\r\nWPWD=NONE\r\n");
        ini.close();
        auto run = [&](const QString& text, QString* out) {
            QFile f(db.dir.filePath("ellenorzes.json"));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text.toUtf8());
            f.close();
            QProcess p;
            p.setWorkingDirectory(db.dir.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), {"--yes", "contract", "import", f.fileName()});
            p.waitForFinished(300000);
            *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QString good = QString::fromUtf8(
            "{\"header\": {\"UGYFELKOD\": \"1\", \"UGYFELCIM\": \"1\", \"FIZMOD\": \"KP\", \"BERMOD\": \"HT\","
            " \"BERKEZD\": \"2026.03.02\", \"KOMMENT\": \"Kapu\"},"
            " \"lines\": [{\"ARUCSOPORT\": \"ALAP\", \"MENNYISEG\": 2, \"BERMENNY\": 1, \"BERMEGYSEG\": \"Hó\","
            " \"NETTOAR\": 12000, \"MINIMALAR\": 0, \"KISZALL\": \"2026.03.02\", \"HKSZCSPSZV\": \"1000000\","
            " \"KARBAR1\": 4500, \"PERIODUS\": 1, \"SOFORKOD\": \"S1\", \"items\": [{\"ARUKOD\": \"701\"}, {}]}]}");
        const QString items = "\"items\": [{\"ARUKOD\": \"701\"}, {}]";
        struct Case { const char* tag; QString from, to, message; };
        const QList<Case> cases = {
            {"no such customer", "\"UGYFELKOD\": \"1\"", "\"UGYFELKOD\": \"999\"", "Nincs ilyen ügyfél: 999"},
            {"negative customer", "\"UGYFELKOD\": \"1\"", "\"UGYFELKOD\": \"-1\"", "Nincs ilyen ügyfél: -1"},
            {"customer 2^63", "\"UGYFELKOD\": \"1\"", "\"UGYFELKOD\": 9223372036854775808",
             "UGYFELKOD (\"Ügyfél\"): nem érvényes érték"},
            {"another customer's site", "\"UGYFELCIM\": \"1\"", "\"UGYFELCIM\": \"2\"", "A(z) 2 szállítási cím nem a(z) 1 ügyfélé"},
            {"no site", "\"UGYFELCIM\": \"1\"", "\"UGYFELCIM\": \"\"", "Nincs szállítási cím megadva"},
            {"no such site", "\"UGYFELCIM\": \"1\"", "\"UGYFELCIM\": \"77\"", "Nincs ilyen szállítási cím: 77"},
            {"inactive customer", "\"UGYFELKOD\": \"1\", \"UGYFELCIM\": \"1\"", "\"UGYFELKOD\": \"3\", \"UGYFELCIM\": \"3\"",
             "Az ügyfél nem aktív: 3"},
            {"price with a fraction", "\"NETTOAR\": 12000", "\"NETTOAR\": 12000.7",
             "NETTOAR (\"Bérlet nettó ár\"): nem egész szám: 12000.7"},
            {"price as a list", "\"NETTOAR\": 12000", "\"NETTOAR\": [1]", "NETTOAR (\"Bérlet nettó ár\"): lista nem adható meg"},
            {"price as an object", "\"NETTOAR\": 12000", "\"NETTOAR\": {}",
             "NETTOAR (\"Bérlet nettó ár\"): objektum nem adható meg"},
            {"price null", "\"NETTOAR\": 12000", "\"NETTOAR\": null", "NETTOAR (\"Bérlet nettó ár\"): null érték"},
            {"price empty", "\"NETTOAR\": 12000", "\"NETTOAR\": \"\"", "NETTOAR (\"Bérlet nettó ár\"): üres"},
            {"price 2^63", "\"NETTOAR\": 12000", "\"NETTOAR\": 9223372036854775808", "túl nagy szám (legfeljebb 2 147 483 647)"},
            {"visit price 0.5", "\"KARBAR1\": 4500", "\"KARBAR1\": 0.5", "KARBAR1 (\"Ár: Hétfő\"): nem egész szám: 0.5"},
            {"minimum negative", "\"MINIMALAR\": 0", "\"MINIMALAR\": -1", "A minimális díj értelmetlen"},
            {"minimum text", "\"MINIMALAR\": 0", "\"MINIMALAR\": \"abc\"", "A minimális díj értelmetlen"},
            {"items and another quantity", "\"MENNYISEG\": 2", "\"MENNYISEG\": 1000000",
             "a MENNYISEG (1000000) nem egyezik a megadott termékek számával (2)"},
            {"a million cabins", "\"MENNYISEG\": 2, \"BERMENNY\": 1", "\"MENNYISEG\": 1000000, \"BERMENNY\": 1",
             "A darabszám legfeljebb 500 lehet"},
            {"NUL in a text", "\"KOMMENT\": \"Kapu\"", "\"KOMMENT\": \"Ka\\u0000pu\"",
             "KOMMENT (\"Megjegyzés\"): vezérlőkaraktert tartalmaz (0x00)"},
            {"a list, not an object", good, "[]", "a fájl egy JSON objektum legyen"},
            {"items not a list", items, "\"items\": 2", "1. sor items: lista legyen"},
        };
        const qint64 heads = db.count("SELECT COUNT(*) FROM FORGFEJ");
        const qint64 rows = db.count("SELECT COUNT(*) FROM FORGSOR");
        const qint64 free = db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '701' AND ALLAPOT = 'SZA'");
        QString out;
        for (const Case& c : cases) {
            QString text = good;
            QVERIFY2(text.contains(c.from), c.tag);
            text.replace(c.from, c.to);
            // The million cabins come on a line that lists no items.
            if (QByteArray(c.tag) == "a million cabins") text.replace(items, "\"KOMMENT\": \"x\"");
            const int rc = run(text, &out);
            QVERIFY2(rc == 1 && out.contains(c.message), qPrintable(QString("%1 -> %2: %3").arg(c.tag).arg(rc).arg(out)));
            QVERIFY2(!out.contains("Új szerződés"), c.tag);
            QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads);
            QCOMPARE(db.count("SELECT COUNT(*) FROM FORGSOR"), rows);
            QCOMPARE(db.count("SELECT COUNT(*) FROM ARU WHERE KOD = '701' AND ALLAPOT = 'SZA'"), free);
        }
        // The good file itself stores, on an active customer's own site.
        QVERIFY2(run(good, &out) == 0 && out.contains("Új szerződés"), qPrintable(out));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), heads + 1);
    }
};

QTEST_GUILESS_MAIN(TstContractStore)
#include "tst_contractstore.moc"
