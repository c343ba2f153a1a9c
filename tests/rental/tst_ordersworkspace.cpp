// The orders workspace's rules on a real database: the payment-mode switch,
// the line store as one table of cases, a failure in the middle of a store,
// and two connections storing one contract.
//
// Every line-store case starts from the same contract, made by the store
// itself: one line of two items (delivery Monday 2026.03.02, planned return
// 2026.04.27, a visit every Monday at 4500), "today" 2026.02.20. Item 1 then
// gets a done, a cancelled and a moved-away visit; every case checks that
// those three rows are exactly as they were.
#include "tst_schedule_fixture.h"

#include "customers/CustomerService.h"
#include "rental/Billing.h"
#include "rental/OrdersWorkspace.h"
#include "rental/ProductRegister.h"
#include "util/Error.h"

#include <QtTest>
#include <functional>
#include <map>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {

const QString kToday = QStringLiteral("2026.02.20");

LineInput baseLine() {
    LineInput l;
    l.arucsoport = QStringLiteral("ALAP");
    l.mennyiseg = QStringLiteral("2");
    l.bermenny = QStringLiteral("1");
    l.bermegyseg = QStringLiteral("Hó");
    l.nettoar = QStringLiteral("10000");
    l.karertek = QStringLiteral("250000");
    l.minimalar = QStringLiteral("10000");
    l.kiszall = QStringLiteral("2026.03.02");
    l.vszall = QStringLiteral("2026.04.27");
    l.counts[0] = QStringLiteral("1");
    l.prices[0] = QStringLiteral("4500");
    l.periodus = QStringLiteral("1");
    l.soforkod = QStringLiteral("S1");
    l.komment = QStringLiteral("Kapu: 'B' épület, hátul – ő");
    return l;
}

vl::shell::Session session() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TESZT");
    s.businessYear = 2026;
    return s;
}

} // namespace

class TstOrdersWorkspace : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 100;

    // Rows of a table of one contract, whole, in key order.
    QStringList rows(const QString& table, qint64 b, const QString& order) {
        auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b ORDER BY %2").arg(table, order),
                                 {{"b", b}});
        QStringList out;
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out << cells.join(u'|');
        }
        return out;
    }
    QStringList contractRows(qint64 b) {
        QStringList all = rows("FORGFEJ", b, "VERZIO");
        all << rows("FORGSOR", b, "TETELSOR") << rows("FORGKABIN", b, "TETELSOR, SORSZAM")
            << rows("FORGTEV", b, "TETELSOR, SORSZAM, DATUM, TEVSORSZAM") << rows("FORGFIZ", b, "DATUM, TEVSORSZAM");
        return all;
    }
    // Done, cancelled and moved-away activities of a contract as they are.
    QStringList history(qint64 b) {
        auto rs = db.conn->query(QStringLiteral("SELECT * FROM FORGTEV WHERE BIZONYLAT = :b AND KOMMENT = 'kézi'"
                                                " ORDER BY TETELSOR, SORSZAM, DATUM, TEVSORSZAM"),
                                 {{"b", b}});
        QStringList out;
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out << cells.join(u'|');
        }
        return out;
    }
    QString value(const QString& sql, const vl::db::Params& p) {
        auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : (rs.at(0, 0).isNull() ? QStringLiteral("NULL") : rs.at(0, 0).toString().trimmed());
    }
    // "date#n state" of an item's activities of a kind.
    QStringList acts(qint64 b, qint64 line, qint64 item, const QString& kind) {
        auto rs = db.conn->query(QStringLiteral("SELECT DATUM, TEVSORSZAM, TEVALLAPOT FROM FORGTEV WHERE BIZONYLAT = :b"
                                                " AND TETELSOR = :t AND SORSZAM = :s AND TEVKOD = :k"
                                                " ORDER BY DATUM, TEVSORSZAM"),
                                 {{"b", b}, {"t", line}, {"s", item}, {"k", kind}});
        QStringList out;
        while (rs.next())
            out << rs.text("DATUM") + "#" + QString::number(rs.integer("TEVSORSZAM")) + " " + rs.text("TEVALLAPOT").trimmed();
        return out;
    }

    // A contract header of customer C<b>, site S<b>; no lines.
    qint64 header(const QString& fizmod = "ATU", const QString& status = "FO", const QString& bermod = "HT",
                  const QString& berkezd = "2026.03.02", const QString& berveg = QString()) {
        const qint64 b = ++next;
        db.conn->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, BERVEG,"
                                     " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', :st, :bm, :fm, :k, :v, :c, :s)"),
                      {{"b", b}, {"st", status}, {"bm", bermod}, {"fm", fizmod}, {"k", berkezd}, {"v", berveg},
                       {"c", QStringLiteral("C%1").arg(b)}, {"s", QStringLiteral("S%1").arg(b)}});
        return b;
    }
    LineStoreRequest request(qint64 b, qint64 line, const LineInput& in) {
        LineStoreRequest rq;
        rq.customerKey = QStringLiteral("C%1").arg(b);
        rq.siteKey = QStringLiteral("S%1").arg(b);
        rq.bizonylat = line ? b : 0;
        rq.tetelsor = line;
        rq.input = in;
        rq.today = kToday;
        return rq;
    }
    // The base contract of a line-store case: the line stored as a new line,
    // then a done, a cancelled and a moved-away visit on item 1.
    qint64 base(const QString& fizmod = "ATU") {
        const qint64 b = header(fizmod);
        const LineStoreOutcome r = OrdersWorkspace::storeLine(*db.conn, session(), request(b, 0, baseLine())).answerAll(true);
        if (!r.ok) qWarning() << r.heading << r.messages;
        for (const auto& [day, state] : {std::pair{"2026.03.16", "E"}, {"2026.03.23", "X"}, {"2026.03.30", "A"}})
            db.conn->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = :st, KOMMENT = 'kézi' WHERE BIZONYLAT = :b"
                                         " AND TETELSOR = 1 AND SORSZAM = 1 AND DATUM = :d AND TEVKOD = 'KA'"),
                          {{"st", QString::fromLatin1(state)}, {"d", QString::fromLatin1(day)}, {"b", b}});
        return b;
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("UPDATE CEG SET AKTUALISEV = '2026'");
        db.conn->exec("INSERT INTO SZ_FIZMOD (KOD, NEV, KP) VALUES ('BANK', 'Banki átutalás', 'N')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Ödön', 'I')");
        // A failure on demand in the middle of a store: the last step writes billing periods.
        db.conn->exec("CREATE EXCEPTION E_TESZT 'tesztből'");
        db.conn->exec("CREATE TRIGGER T_TESZT FOR FORGFIZ BEFORE INSERT OR UPDATE AS BEGIN"
                      " IF (RDB$GET_CONTEXT('USER_SESSION', 'HIBA') = '1') THEN EXCEPTION E_TESZT; END");
    }

    // ---------------------------------------------------------------- the line store

    void lineStore_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("quantity up") << "up";
        QTest::newRow("quantity down refused") << "down";
        QTest::newRow("up after a removed item") << "upAfterRemoved";
        QTest::newRow("delivery later") << "later";
        QTest::newRow("delivery earlier") << "earlier";
        QTest::newRow("return moved") << "returnMoved";
        QTest::newRow("return cleared") << "returnCleared";
        QTest::newRow("return set") << "returnSet";
        QTest::newRow("pattern changed") << "pattern";
        QTest::newRow("visit price changed") << "visitPrice";
        QTest::newRow("individual item") << "individual";
        QTest::newRow("item already back") << "back";
        QTest::newRow("closed contract") << "closed";
        QTest::newRow("cash: rent changed bills once") << "cashRent";
        QTest::newRow("cash: delivery later deletes no billing row by date") << "cashLater";
        QTest::newRow("short date form") << "shortDate";
        QTest::newRow("reversed dates") << "reversed";
    }

    void lineStore() {
        QFETCH(QString, name);
        const bool cash = name.startsWith("cash");
        const qint64 b = base(cash ? "KP" : "ATU");
        const QStringList hist = history(b);
        QCOMPARE(hist.size(), 3);
        LineInput in = OrdersWorkspace::InputOfLine(*db.conn->begin(), b, 1);
        QCOMPARE(in.komment, baseLine().komment);
        QStringList before = contractRows(b);
        auto store = [&](const LineInput& li) {
            return OrdersWorkspace::storeLine(*db.conn, session(), request(b, 1, li)).answerAll(true);
        };
        auto refusal = [&](const LineInput& li) -> QString {
            try {
                const LineStoreOutcome r = store(li);
                return r.ok ? QString() : QStringList(QStringList{r.heading} + r.messages).join("|").remove(QRegularExpression("^\\|"));
            } catch (const vl::RuleRefusal& e) {
                return e.text();
            }
        };

        if (name == "up") {
            in.mennyiseg = "4";
            const LineStoreOutcome r = store(in);
            QVERIFY(r.ok);
            QCOMPARE(value("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), "4");
            QCOMPARE(acts(b, 1, 4, "KIH"), QStringList{"2026.03.02#1 T"});
            QVERIFY(acts(b, 1, 4, "KA").contains("2026.03.09#1 T"));
            QCOMPARE(value("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 3", {{"b", b}}), "*");
            QVERIFY(r.summary.visitsWritten > 0);
            QCOMPARE(r.summary.activitiesWritten, 4);   // KIH and VSZ of items 3 and 4 (EKI has no generation class)
        } else if (name == "down") {
            in.mennyiseg = "1";
            QCOMPARE(refusal(in), OrdersWorkspace::QuantityDownText());
            QCOMPARE(contractRows(b), before);
        } else if (name == "upAfterRemoved") {
            {
                auto tx = db.conn->begin();
                ContractTerms ct;
                ct.bizonylat = b;
                LineItemOptions o;
                o.storedContract = o.cancelRemoved = true;
                LineItemRules r(context(*db.conn), RentalTables::stored(), ct, o);
                QVERIFY(r.RemoveItem(*tx, 1, 2));
                tx->commit();
            }
            in = OrdersWorkspace::InputOfLine(*db.conn->begin(), b, 1);
            QCOMPARE(in.mennyiseg, QString("1"));
            in.mennyiseg = "2";
            QVERIFY(store(in).ok);
            // Item 2 has history (its cancelled activities): the new one is 3.
            QCOMPARE(value("SELECT LIST(SORSZAM, ',') FROM (SELECT SORSZAM FROM FORGKABIN WHERE BIZONYLAT = :b"
                           " ORDER BY SORSZAM)", {{"b", b}}), "1,3");
            QCOMPARE(acts(b, 1, 3, "KIH"), QStringList{"2026.03.02#1 T"});
        } else if (name == "later") {
            in.kiszall = "2026.03.09";
            const LineStoreOutcome r = store(in);
            QVERIFY(r.ok);
            // The visit planned on the new day holds number 1 there.
            QCOMPARE(acts(b, 1, 1, "KIH"), QStringList{"2026.03.09#2 T"});
            QCOMPARE(value("SELECT KISZALL FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}}), "2026.03.09");
            // Nothing planned stays on or before the new delivery day but the delivery itself.
            QCOMPARE(value("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM <= '2026.03.09' AND TEVALLAPOT = 'T'"
                           " AND TEVKOD = 'KA'", {{"b", b}}), "0");
            QCOMPARE(r.summary.activitiesMoved, 2);   // the delivery of both items
        } else if (name == "earlier") {
            in.kiszall = "2026.02.23";
            const LineStoreOutcome r = store(in);
            QVERIFY(r.ok);
            QCOMPARE(acts(b, 1, 2, "KIH"), QStringList{"2026.02.23#1 T"});
            QCOMPARE(r.summary.activitiesCancelled, 0);
        } else if (name == "returnMoved") {
            in.vszall = "2026.05.04";
            QVERIFY(store(in).ok);
            QCOMPARE(acts(b, 1, 1, "VSZ"), QStringList{"2026.05.04#1 T"});
            QCOMPARE(value("SELECT VSZALLT FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}}), "2026.05.04");
        } else if (name == "returnCleared") {
            in.vszall.clear();
            QVERIFY(store(in).ok);
            QCOMPARE(value("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'VSZ' AND TEVALLAPOT = 'T'",
                           {{"b", b}}), "0");
            // Maintenance now runs on past the old return.
            QVERIFY(acts(b, 1, 1, "KA").contains("2026.05.04#1 T"));
        } else if (name == "returnSet") {
            in.vszall.clear();
            QVERIFY(store(in).ok);
            in.vszall = "20260511";
            QVERIFY(store(in).ok);
            QCOMPARE(value("SELECT VSZALL FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), "2026.05.11");
            QCOMPARE(acts(b, 1, 2, "VSZ"), (QStringList{"2026.04.27#1 X", "2026.05.11#2 T"}));
        } else if (name == "pattern") {
            in.counts[0].clear();
            in.counts[2] = "1";
            in.prices[0].clear();
            in.prices[2] = "4500";
            const LineStoreOutcome r = store(in);
            QVERIFY(r.ok);
            QVERIFY(acts(b, 1, 2, "KA").contains("2026.03.04#1 T"));
            QVERIFY(!acts(b, 1, 2, "KA").contains("2026.03.09#1 T"));
            QCOMPARE(value("SELECT HKSZCSPSZV FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}}), "0010000");
            QVERIFY(r.summary.visitsWritten > 0 && r.summary.visitsRemoved > 0);
        } else if (name == "visitPrice") {
            in.prices[0] = "5000";
            QVERIFY(store(in).ok);
            QCOMPARE(value("SELECT MIN(NETTOAR) || '-' || MAX(NETTOAR) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KA'"
                           " AND TEVALLAPOT = 'T'", {{"b", b}}), "5000-5000");
        } else if (name == "individual") {
            db.conn->exec("UPDATE FORGKABIN SET EGYEDI = 'E', HKSZCSPSZV = '0000100', KOMMENT = 'saját', SOFORKOD = 'S2',"
                          " ARUKOD = '1042' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}});
            before = contractRows(b);
            in.counts[0] = "2";
            in.kiszall = "2026.03.03";
            QVERIFY(store(in).ok);
            QCOMPARE(value("SELECT HKSZCSPSZV || ' ' || EGYEDI || ' ' || KISZALL || ' ' || KOMMENT || ' ' || SOFORKOD || ' ' || ARUKOD"
                           " FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}}),
                     "0000100 E 2026.03.03 saját S2 1042");
            QCOMPARE(value("SELECT HKSZCSPSZV || ' ' || EGYEDI FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 1",
                           {{"b", b}}), "2000000 N");
        } else if (name == "back") {
            db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.03.10' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}});
            const QStringList item2 = rows("FORGKABIN", b, "SORSZAM").mid(1);
            const QStringList acts2 = acts(b, 1, 2, "KA") + acts(b, 1, 2, "KIH") + acts(b, 1, 2, "VSZ");
            in.kiszall = "2026.03.03";
            in.counts[0].clear();
            in.prices[0].clear();
            in.counts[1] = "1";
            in.prices[1] = "4500";
            QVERIFY(store(in).ok);
            QCOMPARE(rows("FORGKABIN", b, "SORSZAM").mid(1), item2);
            QCOMPARE(acts(b, 1, 2, "KA") + acts(b, 1, 2, "KIH") + acts(b, 1, 2, "VSZ"), acts2);
            QCOMPARE(value("SELECT VMENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), "1");
        } else if (name == "closed") {
            db.conn->exec("UPDATE FORGFEJ SET STATUS = 'LEZ' WHERE BIZONYLAT = :b", {{"b", b}});
            before = contractRows(b);
            in.mennyiseg = "3";
            QCOMPARE(refusal(in), QString("Lezárt szerződés nem módosítható."));
            QCOMPARE(contractRows(b), before);
        } else if (name == "cashRent") {
            // A paid period stays; every planned one is written again, once, 20000 more per period.
            db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.03.02'", {{"b", b}});
            const QString paid = rows("FORGFIZ", b, "DATUM").first();
            auto planned = [&] {
                std::map<QString, qint64> m;
                auto rs = db.conn->query("SELECT DATUM, DATUM2, NETTO FROM FORGFIZ WHERE BIZONYLAT = :b AND TEVALLAPOT = 'T'",
                                         {{"b", b}});
                while (rs.next()) m[rs.text("DATUM") + "-" + rs.text("DATUM2")] = rs.integer("NETTO");
                return m;
            };
            const auto oldPlanned = planned();
            QVERIFY(oldPlanned.size() > 3);
            in.nettoar = "20000";
            const LineStoreOutcome r = store(in);
            QVERIFY(r.ok);
            QCOMPARE(rows("FORGFIZ", b, "DATUM").first(), paid);
            const auto newPlanned = planned();
            QCOMPARE(newPlanned.size(), oldPlanned.size());
            for (const auto& [days, netto] : oldPlanned) {
                if (days.startsWith("2026.04.01")) QCOMPARE(newPlanned.at(days) - netto, qint64(2 * 10000));
                QVERIFY2(newPlanned.at(days) > netto, qPrintable(days));
            }
        } else if (name == "cashLater") {
            db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = '2026.03.02'", {{"b", b}});
            const QStringList paid = rows("FORGFIZ", b, "DATUM").mid(0, 1);
            in.kiszall = "2026.03.09";
            QVERIFY(store(in).ok);
            QCOMPARE(rows("FORGFIZ", b, "DATUM").mid(0, 1), paid);
            // Every day from the first period on is covered once.
            auto rs = db.conn->query("SELECT DATUM, DATUM2 FROM FORGFIZ WHERE BIZONYLAT = :b AND TEVALLAPOT IN ('T', 'E')"
                                     " ORDER BY DATUM", {{"b", b}});
            QString prevEnd;
            while (rs.next()) {
                if (!prevEnd.isEmpty())
                    QCOMPARE(rs.text("DATUM"), vl::rental::gen::toText(vl::rental::gen::toDate(prevEnd).addDays(1)));
                prevEnd = rs.text("DATUM2");
            }
        } else if (name == "shortDate") {
            in.kiszall = "20260303";
            QVERIFY(store(in).ok);
            QCOMPARE(value("SELECT KISZALL FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), "2026.03.03");
        } else if (name == "reversed") {
            in.vszall = "2026.02.01";
            QCOMPARE(refusal(in), OrdersWorkspace::DateHeading() + "|Hibás dátum intervallum");
            QCOMPARE(contractRows(b), before);
        }
        QCOMPARE(history(b), hist);
    }

    // A new line goes to the site's newest open modifiable contract, numbered above every line there.
    void newLineTarget() {
        const qint64 old = header();
        const qint64 b = header();
        db.conn->exec("UPDATE FORGFEJ SET UGYFELKOD = :c, UGYFELCIM = :s WHERE BIZONYLAT = :o",
                      {{"c", QStringLiteral("C%1").arg(b)}, {"s", QStringLiteral("S%1").arg(b)}, {"o", old}});
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT)"
                      " VALUES (:b, 1, 4, 1, '2026.03.02', 1, 'SZK', 'X')", {{"b", b}});
        auto tx = db.conn->begin();
        const NewLineTarget t = OrdersWorkspace::FindNewLineTarget(*tx, QStringLiteral("C%1").arg(b), QStringLiteral("S%1").arg(b));
        tx->commit();
        QVERIFY(t.found);
        QCOMPARE(t.bizonylat, b);
        QCOMPARE(t.tetelsor, qint64(5));
        LineInput in = baseLine();
        in.arucsoport = "VIP";
        const LineStoreOutcome r = OrdersWorkspace::storeLine(*db.conn, session(), request(b, 0, in)).answerAll(true);
        QVERIFY(r.ok);
        QCOMPARE(r.tetelsor, qint64(5));
        QCOMPARE(value("SELECT M_EGYSEG FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = 5", {{"b", b}}), "db");
        // A site without a modifiable contract gets the Part's refusal.
        db.conn->exec("UPDATE FORGFEJ SET STATUS = 'LEZ' WHERE BIZONYLAT IN (:b, :o)", {{"b", b}, {"o", old}});
        try {
            OrdersWorkspace::storeLine(*db.conn, session(), request(b, 0, in)).answerAll(true);
            QFAIL("stored without a contract");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), OrdersWorkspace::NoOrderText());
        }
    }

    // A net price of 0 needs "Igen"; "Nem" adds the error and writes nothing.
    void freeLineNeedsYes() {
        const qint64 b = header();
        LineInput in = baseLine();
        in.nettoar = "0";
        QStringList asked;
        LineStoreOutcome r = OrdersWorkspace::storeLine(*db.conn, session(), request(b, 0, in));
        while (r.asks()) {
            asked << r.question;
            r = r.proceed(false);
        }
        QCOMPARE(asked, QStringList{"Biztos, hogy ingyen kapja?"});
        QVERIFY(!r.ok);
        QCOMPARE(r.heading, OrdersWorkspace::LineHeading());
        QCOMPARE(value("SELECT COUNT(*) FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), "0");
        QCOMPARE(value("SELECT MIKOR FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), "NULL");
    }

    // ---------------------------------------------------------------- failure in the middle

    void failureMidStoreChangesNothing() {
        const qint64 b = base("KP");
        const QStringList before = contractRows(b);
        db.conn->query("SELECT RDB$SET_CONTEXT('USER_SESSION', 'HIBA', '1') FROM RDB$DATABASE");
        LineInput in = OrdersWorkspace::InputOfLine(*db.conn->begin(), b, 1);
        in.mennyiseg = "3";
        in.kiszall = "2026.03.04";
        bool failed = false;
        try {
            OrdersWorkspace::storeLine(*db.conn, session(), request(b, 1, in)).answerAll(true);
        } catch (const vl::db::DbError&) {
            failed = true;
        }
        db.conn->query("SELECT RDB$SET_CONTEXT('USER_SESSION', 'HIBA', NULL) FROM RDB$DATABASE");
        QVERIFY(failed);
        QCOMPARE(contractRows(b), before);
    }

    // ---------------------------------------------------------------- two connections

    void twoConnections() {
        const qint64 b = base();
        auto other = vl::db::connect(embeddedParams(db.path));
        qint64 rv = 0;
        {
            auto tx = db.conn->begin();
            auto rs = OrdersWorkspace::Lines(*tx, {QStringLiteral("C%1").arg(b), {}, {}});
            QVERIFY(rs.next());
            rv = rs.integer("RV");
            tx->commit();
        }
        QVERIFY(rv != 0);
        // The other workstation stores first: the view shown here is stale.
        LineInput in = OrdersWorkspace::InputOfLine(*db.conn->begin(), b, 1);
        in.mennyiseg = "3";
        QVERIFY(OrdersWorkspace::storeLine(*other, session(), request(b, 1, in)).answerAll(true).ok);
        const QStringList afterOther = contractRows(b);
        LineStoreRequest rq = request(b, 1, in);
        rq.input.mennyiseg = "4";
        rq.loadedRecordVersion = rv;
        try {
            OrdersWorkspace::storeLine(*db.conn, session(), rq).answerAll(true);
            QFAIL("a stale view was stored");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), ProductRegister::ContractChangedElsewhereText());
        }
        QCOMPARE(contractRows(b), afterOther);

        // Both at the same moment: the one that comes second writes nothing.
        auto tx = other->begin();
        const GeneratorContext ctx = context(*other);
        LineStoreRequest first = request(b, 1, in);
        first.input.kiszall = "2026.03.03";
        QVERIFY(OrdersWorkspace::storeLineIn(*tx, ctx, first, {}).ok);
        LineStoreRequest second = request(b, 1, in);
        second.input.mennyiseg = "5";
        try {
            OrdersWorkspace::storeLine(*db.conn, session(), second).answerAll(true);
            QFAIL("two stores interleaved");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), ProductRegister::ContractChangedElsewhereText());
        }
        tx->commit();
        QCOMPARE(value("SELECT MENNYISEG || ' ' || KISZALL FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), "3 2026.03.03");
        QCOMPARE(value("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), "3");
        other->close();
    }

    // ---------------------------------------------------------------- payment mode

    void paymentMode_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("berkezd");
        QTest::addColumn<QString>("bermod");
        QTest::addColumn<QString>("contractModeAfter");
        QTest::addColumn<QString>("plannedAfter");   // "DATUM-DATUM2" of the first planned period, "" none
        QTest::newRow("cash to non-cash") << "KP" << "ATU" << "2026.03.02" << "HT" << "ATU" << "";
        QTest::newRow("non-cash to cash") << "ATU" << "KP" << "2026.03.02" << "HT" << "KP" << "2026.04.16-2026.05.31";
        QTest::newRow("two non-cash modes") << "ATU" << "BANK" << "2026.03.02" << "HT" << "ATU" << "";
        QTest::newRow("begun in an earlier year") << "ATU" << "KP" << "2025.06.02" << "HT" << "KP" << "2026.01.01-2026.01.31";
        QTest::newRow("fixed term") << "ATU" << "KP" << "2026.03.02" << "HO" << "KP" << "2026.04.16-2026.05.31";
    }

    void paymentMode() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, berkezd);
        QFETCH(QString, bermod);
        QFETCH(QString, contractModeAfter);
        QFETCH(QString, plannedAfter);
        const qint64 b = header(from, "FO", bermod, berkezd, bermod == "HO" ? "2026.05.31" : QString());
        const QString c = QStringLiteral("C%1").arg(b);
        ContractFixture fixture;
        fixture.bizonylat = b;
        LineFixture l;
        l.kiszall = berkezd;
        l.vszall = bermod == "HO" ? "2026.05.31" : QString();
        fixture.lines << l;
        {
            auto tx = db.conn->begin();
            insertContract(*tx, fixture, "FORGSOR", "FORGKABIN", false);
            tx->commit();
        }
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, NEV2) VALUES (:c, 'Próba Kft.', :f, 'második sor')",
                      {{"c", c}, {"f", from}});
        // A closed contract of the customer is never touched.
        const qint64 closed = header(from, "LEZ");
        db.conn->exec("UPDATE FORGFEJ SET UGYFELKOD = :c WHERE BIZONYLAT = :b", {{"c", c}, {"b", closed}});
        // Rows that stay whatever happens: a paid, a hand-entered and a cancelled period.
        for (const auto& [d1, d2, st, kezi] : {std::tuple{"2026.03.02", "2026.03.31", "E", "N"},
                                              {"2026.04.01", "2026.04.15", "T", "I"},
                                              {"2026.06.01", "2026.06.30", "X", "N"}})
            db.conn->exec("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT,"
                          " TEVKOD, KEZI) VALUES (:b, 1, :d1, 1, :d2, 1000, 1270, :st, 'FIZ', :kezi)",
                          {{"b", b}, {"d1", QString::fromLatin1(d1)}, {"d2", QString::fromLatin1(d2)},
                           {"st", QString::fromLatin1(st)}, {"kezi", QString::fromLatin1(kezi)}});
        if (from == "KP") {
            auto tx = db.conn->begin();
            GenerateBilling(*tx, context(*db.conn), b, 1, FirstDayStillToBill(*tx, context(*db.conn), b, 1));
            tx->commit();
            QVERIFY(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND TEVALLAPOT = 'T' AND KEZI IS DISTINCT FROM 'I'",
                             {{"b", b}}) > 0);
        }
        auto staying = [&] {
            auto rs = db.conn->query("SELECT * FROM FORGFIZ WHERE BIZONYLAT = :b AND (TEVALLAPOT IN ('E', 'X') OR KEZI = 'I')"
                                     " ORDER BY DATUM", {{"b", b}});
            QStringList out;
            while (rs.next()) {
                QStringList cells;
                for (int i = 0; i < rs.columnCount(); ++i) cells << rs.value(i).toString();
                out << cells.join(u'|');
            }
            return out;
        };
        const QStringList kept = staying();
        const QStringList closedBefore = contractRows(closed);

        OrdersWorkspace::changePaymentMode(*db.conn, nullptr, session(), c, to);

        QCOMPARE(value("SELECT FIZMOD || '/' || NEV2 FROM UGYFEL WHERE KOD = :c", {{"c", c}}), to + "/második sor");
        QCOMPARE(value("SELECT FIZMOD FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), contractModeAfter);
        QCOMPARE(contractRows(closed), closedBefore);
        QCOMPARE(staying(), kept);
        const QString firstPlanned = value("SELECT FIRST 1 DATUM || '-' || DATUM2 FROM FORGFIZ WHERE BIZONYLAT = :b"
                                           " AND TEVALLAPOT = 'T' AND KEZI IS DISTINCT FROM 'I' ORDER BY DATUM",
                                           {{"b", b}});
        QCOMPARE(firstPlanned == "<nincs>" ? QString() : firstPlanned, plannedAfter);
    }

    // The customer panel's store: on the version the panel read, with or
    // without a new payment mode. Changed elsewhere meanwhile: refused with
    // the customers' text, nothing written (not the mode either).
    void customerStoreOnTheVersionRead_data() {
        QTest::addColumn<bool>("newMode");
        QTest::addColumn<bool>("changedElsewhere");
        QTest::newRow("same mode") << false << false;
        QTest::newRow("new mode") << true << false;
        QTest::newRow("same mode, changed elsewhere") << false << true;
        QTest::newRow("new mode, changed elsewhere") << true << true;
    }
    void customerStoreOnTheVersionRead() {
        QFETCH(bool, newMode);
        QFETCH(bool, changedElsewhere);
        const qint64 b = header("ATU");
        const QString c = QStringLiteral("C%1").arg(b);
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, TELEFON, AKTIV) VALUES (:c, 'Két Pult Kft.', 'ATU', '1', 'I')",
                      {{"c", c}});
        std::optional<vl::customers::Customer> read;
        {
            auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
            read = vl::customers::CustomerService::loadCustomer(*tx, c);
            tx->commit();
        }
        QVERIFY(read);
        if (changedElsewhere) db.conn->exec("UPDATE UGYFEL SET NEV2 = 'máshol' WHERE KOD = :c", {{"c", c}});
        read->telefon = "+36 1 777 7777";
        read->fizmod = newMode ? "KP" : "ATU";
        QString refusal;
        OrdersWorkspace::CustomerStoreOutcome o;
        try {
            o = OrdersWorkspace::storeCustomer(*db.conn, session(), *read);
        } catch (const vl::RuleRefusal& e) {
            refusal = e.text();
        }
        const QString row = value("SELECT FIZMOD || '/' || TELEFON || '/' || COALESCE(NEV2, '-') || '/' || VALTOZAT"
                                  " FROM UGYFEL WHERE KOD = :c", {{"c", c}});
        const QString contractMode = value("SELECT FIZMOD FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}});
        if (changedElsewhere) {
            QCOMPARE(refusal, QStringLiteral("Az ügyfél adatait közben máshol módosították. Az adatok frissültek, kérem, "
                                             "ismételje meg a műveletet."));
            QCOMPARE(row, QStringLiteral("ATU/1/máshol/1"));
            QCOMPARE(contractMode, QStringLiteral("ATU"));
        } else {
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
            QVERIFY(o.result.ok);
            QCOMPARE(o.modeChanged, newMode);
            QCOMPARE(row, newMode ? QStringLiteral("KP/+36 1 777 7777//2") : QStringLiteral("ATU/+36 1 777 7777//1"));
            QCOMPARE(contractMode, newMode ? QStringLiteral("KP") : QStringLiteral("ATU"));
            QCOMPARE(read->valtozat, newMode ? qint64(2) : qint64(1));
        }
    }

    void paymentModeRefusals() {
        try {
            OrdersWorkspace::changePaymentMode(*db.conn, nullptr, session(), "nincs-ilyen", "KP");
            QFAIL("unknown customer");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QString("Nincs ilyen ügyfél: nincs-ilyen"));
        }
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD) VALUES ('R1', 'O''Brien és Társa', 'KP')");
        try {
            OrdersWorkspace::changePaymentMode(*db.conn, nullptr, session(), "R1", "XX'");
            QFAIL("unknown mode");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QString("Nincs ilyen fizetési mód: XX'"));
        }
        QCOMPARE(value("SELECT FIZMOD FROM UGYFEL WHERE KOD = 'R1'", {}), "KP");
    }

    // ---------------------------------------------------------------- lists

    void listsFilterAndAddress() {
        const qint64 b = base();
        const QString c = QStringLiteral("C%1").arg(b);
        // A site with a missing street still shows its address.
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, IRSZAM, VAROS) VALUES (:s, :c, '6720', 'Szeged')",
                      {{"s", QStringLiteral("S%1").arg(b)}, {"c", c}});
        auto tx = db.conn->begin();
        vl::db::RowSet all = OrdersWorkspace::Lines(*tx, {c, {}, {}});
        QCOMPARE(all.rowCount(), 1);
        QVERIFY(all.next());
        QCOMPARE(all.text("CIM"), QString("6720 Szeged, "));
        QCOMPARE(all.integer("BERLETBEN"), qint64(2));
        QCOMPARE(OrdersWorkspace::Lines(*tx, {c, QStringLiteral("S%1").arg(b), {}}).rowCount(), 1);
        QCOMPARE(OrdersWorkspace::Lines(*tx, {c, "' OR 1=1 --", {}}).rowCount(), 0);
        QCOMPARE(OrdersWorkspace::Lines(*tx, {c, {}, "LEZ"}).rowCount(), 0);
        QCOMPARE(OrdersWorkspace::Lines(*tx, {c, {}, "FO"}).rowCount(), 1);
        QCOMPARE(OrdersWorkspace::SummaryLines(*tx, {c, {}, {}}).rowCount(), 1);
        QCOMPARE(OrdersWorkspace::Products(*tx, {c, {}, {}}).rowCount(), 2);
        QCOMPARE(OrdersWorkspace::Products(*tx, {c, {}, "LEZ"}).rowCount(), 0);
        tx->commit();
    }

    // The lists name the dictionaries and order their rows themselves: the
    // result must be the joined rows in the database's own order (Hungarian
    // collation: "Cukor" before "Csúszda", "Á" with "A"), a code missing from
    // its dictionary or a site missing from the register showing empty names.
    void listsInTheDatabaseOrder() {
        const QString c = QStringLiteral("ORDR");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD) VALUES ('ORDR', 'Rend Kft.', 'KP')");
        const QStringList groups{"Csúszda", "Cukor", "Álló", "Alap", "zárt", "Zuhany"};
        for (int g = 0; g < groups.size(); ++g)
            db.conn->exec("INSERT INTO SZ_ARUCSOP (KOD, NEV) VALUES (:k, :n)",
                          {{"k", QStringLiteral("OG%1").arg(g)}, {"n", groups.at(g)}});
        // Site codes whose byte order differs from the collation's; "nincs" is not registered.
        const QStringList sites{"b", "A", "cz", "Cs", "Á", "nincs"};
        for (const QString& st : sites)
            if (st != "nincs")
                db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, VAROS, UTCA) VALUES (:s, :c, 'Győr', :u)",
                              {{"s", st}, {"c", st == "cz" ? QStringLiteral("MAS") : c}, {"u", "Fő út " + st}});
        const QStringList modes{"HT", "NAP", "ALK"};
        int n = 0;
        for (const QString& st : sites) {
            for (int g = 0; g <= groups.size(); ++g, ++n) {
                const qint64 b = 9000 + n;
                db.conn->exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD,"
                              " UGYFELCIM) VALUES (:b, 1, 'I', 'FO', :m, :f, '2026.03.02', :c, :s)",
                              {{"b", b}, {"m", modes.at(n % 3)}, {"f", n % 4 ? "KP" : "ATU"}, {"c", c}, {"s", st}});
                // The last group code of each site is missing from the dictionary.
                const QString code = g < groups.size() ? QStringLiteral("OG%1").arg(g) : QStringLiteral("NINCS");
                db.conn->exec("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG,"
                              " BERMENNY, BERMEGYSEG) VALUES (:b, 1, 1, :g, 2, 0, 1, 'Hó')",
                              {{"b", b}, {"g", code}});
                for (int item = 2; item >= 1; --item)
                    db.conn->exec("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, HKSZCSPSZV)"
                                  " VALUES (:b, 1, 1, :s, :a, :k, '1000000')",
                                  {{"b", b}, {"s", item}, {"a", QStringLiteral("OA%1-%2").arg(b).arg(item)},
                                   {"k", QStringLiteral("2026.03.%1").arg(10 - item * 3 + (n % 4), 2, 10, QChar('0'))}});
                db.conn->exec("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, NETTO, TEVALLAPOT, TEVKOD)"
                              " VALUES (:b, 1, :d, 1, 1000, :a, 'FIZ')",
                              {{"b", b}, {"d", QStringLiteral("2026.%1.01").arg(1 + n % 5, 2, 10, QChar('0'))},
                               {"a", n % 2 ? "T" : "NINCS"}});
            }
        }
        const QString addr = "COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ', ' || COALESCE(C.UTCA, '')";
        struct Case {
            std::function<vl::db::RowSet(vl::db::Transaction&)> list;
            QString sql;   // the same rows, joined and ordered by the server
            QStringList columns;
        };
        const std::vector<Case> cases{
            {[&](vl::db::Transaction& tx) { return OrdersWorkspace::SummaryLines(tx, {c, {}, {}}); },
             "SELECT CS.NEV CSOPORTNEV, SUM(S.MENNYISEG - S.VMENNYISEG) BERLETBEN FROM FORGFEJ F JOIN FORGSOR S"
             " ON S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
             " WHERE F.UGYFELKOD = :c GROUP BY CS.NEV ORDER BY 1",
             {"CSOPORTNEV", "BERLETBEN"}},
            {[&](vl::db::Transaction& tx) { return OrdersWorkspace::Lines(tx, {c, {}, {}}); },
             "SELECT F.UGYFELCIM, BM.NEV BERMOD, BM.KOTNAP, CS.NEV CSOPORTNEV, S.BIZONYLAT, " + addr +
                 " CIM, F.FIZMOD, FM.KP, SR.NEV STATUSNEV, SR.MODOSITHATO FROM FORGFEJ F JOIN FORGSOR S"
                 " ON S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO LEFT JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
                 " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
                 " LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD LEFT JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
                 " WHERE F.UGYFELKOD = :c ORDER BY 1, 2, S.BIZONYLAT, S.TETELSOR",
             {"UGYFELCIM", "BERMOD", "KOTNAP", "CSOPORTNEV", "BIZONYLAT", "CIM", "FIZMOD", "KP", "STATUSNEV", "MODOSITHATO"}},
            {[&](vl::db::Transaction& tx) { return OrdersWorkspace::Products(tx, {c, {}, {}}); },
             "SELECT F.UGYFELCIM, CS.NEV CSOPORTNEV, F.BIZONYLAT, H.MEGNEVEZES, FM.NEV FIZMOD, " + addr +
                 " CIM, C.KOD, C.NEV NEV, C.UTCA, K.SORSZAM, K.KISZALL FROM FORGFEJ F JOIN FORGSOR S"
                 " ON S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO JOIN FORGKABIN K ON K.BIZONYLAT = S.BIZONYLAT"
                 " AND K.VERZIO = S.VERZIO AND K.TETELSOR = S.TETELSOR LEFT JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
                 " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM LEFT JOIN HKSZCSPSZV H ON H.KOD = K.HKSZCSPSZV"
                 " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD WHERE F.UGYFELKOD = :c"
                 " ORDER BY 1, 2, K.BIZONYLAT, K.TETELSOR, K.SORSZAM, K.KISZALL",
             {"UGYFELCIM", "CSOPORTNEV", "BIZONYLAT", "MEGNEVEZES", "FIZMOD", "CIM", "KOD", "NEV", "UTCA", "SORSZAM",
              "KISZALL"}},
            {[&](vl::db::Transaction& tx) { return OrdersWorkspace::Payments(tx, {c, {}, {}}); },
             "SELECT T.DATUM, T.BIZONYLAT, S.NEV ALLAPOT, " + addr +
                 " CIM FROM FORGFIZ T JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
                 " LEFT JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
                 " WHERE F.UGYFELKOD = :c ORDER BY T.DATUM, T.BIZONYLAT",
             {"DATUM", "BIZONYLAT", "ALLAPOT", "CIM"}},
        };
        auto tx = db.conn->begin();
        for (const Case& k : cases) {
            const vl::db::RowSet got = k.list(*tx);
            const vl::db::RowSet want = tx->query(k.sql, {{"c", c}});
            QVERIFY(want.rowCount() > 1);
            QCOMPARE(got.rowCount(), want.rowCount());
            for (int r = 0; r < want.rowCount(); ++r)
                for (const QString& col : k.columns) {
                    const QVariant g = got.at(r, got.indexOf(col)), w = want.at(r, want.indexOf(col));
                    if (g.isNull() != w.isNull() || g.toString() != w.toString())
                        QFAIL(qPrintable(QStringLiteral("%1 row %2: %3 instead of %4")
                                             .arg(col).arg(r).arg(g.isNull() ? "NULL" : g.toString(),
                                                                  w.isNull() ? "NULL" : w.toString())));
                }
        }
        tx->commit();
    }
};

QTEST_GUILESS_MAIN(TstOrdersWorkspace)
#include "tst_ordersworkspace.moc"
