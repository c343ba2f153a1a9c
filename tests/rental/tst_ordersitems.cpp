// The products page's rules on a real database: the store over several
// selected products as a table of cases, a delivery moved later on a cash
// contract, the removal with its refusals, the number change, the return
// document's day and a failure in the middle of a store.
//
// Every contract is made by the line store itself: one line of two items
// (delivery Monday 2026.03.02, planned return 2026.04.27, a visit every Monday
// at 4500, driver S1), "today" 2026.02.20.
#include "tst_schedule_fixture.h"

#include "rental/OrdersItems.h"
#include "rental/OrdersWorkspace.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "util/Error.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {

const QString kToday = QStringLiteral("2026.02.20");

LineInput baseLine(const QString& group = QStringLiteral("ALAP"), const QString& qty = QStringLiteral("2")) {
    LineInput l;
    l.arucsoport = group;
    l.mennyiseg = qty;
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
    return l;
}

vl::shell::Session session() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TESZT");
    s.businessYear = 2026;
    return s;
}

} // namespace

class TstOrdersItems : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 300;

    QString value(const QString& sql, const vl::db::Params& p = {}) {
        auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : (rs.at(0, 0).isNull() ? QStringLiteral("NULL") : rs.at(0, 0).toString().trimmed());
    }
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
    // "date state driver" of an item's activities of a kind.
    QStringList acts(qint64 b, qint64 item, const QString& kind, qint64 line = 1) {
        auto rs = db.conn->query(QStringLiteral("SELECT DATUM, TEVALLAPOT, SOFORKOD FROM FORGTEV WHERE BIZONYLAT = :b"
                                                " AND TETELSOR = :t AND SORSZAM = :s AND TEVKOD = :k ORDER BY DATUM, TEVSORSZAM"),
                                 {{"b", b}, {"t", line}, {"s", item}, {"k", kind}});
        QStringList out;
        while (rs.next())
            out << rs.text("DATUM") + " " + rs.text("TEVALLAPOT").trimmed() + " " + rs.text("SOFORKOD").trimmed();
        return out;
    }
    QString item(qint64 b, qint64 s, const QString& cols, qint64 line = 1) {
        return value(QStringLiteral("SELECT %1 FROM FORGKABIN WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s").arg(cols),
                     {{"b", b}, {"t", line}, {"s", s}});
    }
    qint64 contract(const QString& fizmod = "ATU", const QList<LineInput>& lines = {baseLine()}) {
        const qint64 b = ++next;
        db.conn->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD,"
                                     " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', :fm, '2026.03.02', :c, :s)"),
                      {{"b", b}, {"fm", fizmod}, {"c", QStringLiteral("C%1").arg(b)}, {"s", QStringLiteral("S%1").arg(b)}});
        for (const LineInput& in : lines) {
            LineStoreRequest rq;
            rq.customerKey = QStringLiteral("C%1").arg(b);
            rq.siteKey = QStringLiteral("S%1").arg(b);
            rq.input = in;
            rq.today = kToday;
            const LineStoreOutcome r = OrdersWorkspace::storeLine(*db.conn, session(), rq).answerAll(true);
            if (!r.ok) qWarning() << r.heading << r.messages;
        }
        return b;
    }
    ItemStoreRequest request(qint64 b, const QList<qint64>& items, const ItemPanel& panel, const ItemPanel& source) {
        ItemStoreRequest rq;
        for (qint64 s : items) rq.items.push_back(ItemKey{b, 1, 1, s});
        rq.panel = panel;
        rq.source = source;
        rq.activityDate = QStringLiteral("2026.03.20");
        rq.today = kToday;
        return rq;
    }
    ItemPanel panelOf(qint64 b, qint64 s) {
        auto tx = db.conn->begin();
        return OrdersItems::PanelOfItem(*tx, ItemKey{b, 1, 1, s});
    }
    QString refusalOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const vl::RuleRefusal& e) {
            return e.text();
        }
        return QString();
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("UPDATE CEG SET AKTUALISEV = '2026'");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Ödön', 'I')");
        {
            auto tx = db.conn->begin();
            for (const auto& [kod, grp, st] : {std::tuple{"101", "ALAP", "SZA"}, {"102", "ALAP", "SZA"},
                                               {"103", "ALAP", "SER"}, {"104", "ALAP", "SZA"}})
                ProductStore::StoreProduct(*tx, kod, grp, st);
            tx->commit();
        }
        auto rs = db.conn->query("SELECT FIRST 1 KOD FROM SZ_ARUCSOP WHERE KOD <> 'ALAP' ORDER BY KOD");
        QVERIFY(rs.next());
        otherGroup = rs.text("KOD").trimmed();
        otherGroupName = value("SELECT NEV FROM SZ_ARUCSOP WHERE KOD = :k", {{"k", otherGroup}});
        {
            auto tx = db.conn->begin();
            ProductStore::StoreProduct(*tx, "201", otherGroup, "SZA");
            tx->commit();
        }
        QCOMPARE(value("SELECT COUNT(*) FROM ARU WHERE KOD IN ('101','102','103','104','201')"), QStringLiteral("5"));
        db.conn->exec("CREATE EXCEPTION E_TESZT 'tesztből'");
        db.conn->exec("CREATE TRIGGER T_TESZT FOR FORGFIZ BEFORE INSERT OR UPDATE AS BEGIN"
                      " IF (RDB$GET_CONTEXT('USER_SESSION', 'HIBA') = '1') THEN EXCEPTION E_TESZT; END");
    }

    // ---------------------------------------------------------------- the store over several products

    void multiStore_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("driver only, two products") << "driver";
        QTest::newRow("one date on products with different patterns") << "date";
        QTest::newRow("pattern on an individual item") << "pattern";
        QTest::newRow("a product already back is skipped and named") << "back";
        QTest::newRow("single-product line follows its product") << "single";
    }

    void multiStore() {
        QFETCH(QString, name);
        if (name == "driver") {
            const qint64 b = contract();
            const QStringList visits1 = acts(b, 1, "KA");
            const ItemPanel src = panelOf(b, 1);
            ItemPanel p = src;
            p.soforkod = "S2";
            const ItemStoreResult r = OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1, 2}, p, src));
            QCOMPARE(r.changed, 2);
            for (qint64 s : {1, 2}) {
                QCOMPARE(item(b, s, "SOFORKOD"), QStringLiteral("S2"));
                // Planned visits from the activity day on have the new driver, earlier ones the old.
                for (const QString& a : acts(b, s, "KA")) {
                    const bool late = a.left(10) >= QStringLiteral("2026.03.20");
                    QCOMPARE(a.section(' ', 2), late ? QStringLiteral("S2") : QStringLiteral("S1"));
                }
                QCOMPARE(item(b, s, "HKSZCSPSZV"), QStringLiteral("1000000"));
            }
            // Not regenerated: the same visits on the same days.
            QStringList days1, daysBefore;
            for (const QString& a : acts(b, 1, "KA")) days1 << a.left(12);
            for (const QString& a : visits1) daysBefore << a.left(12);
            QCOMPARE(days1, daysBefore);
        } else if (name == "date") {
            const qint64 b = contract();
            // Item 2 gets its own pattern first (Wednesday).
            ItemPanel src2 = panelOf(b, 2);
            ItemPanel p2 = src2;
            p2.counts = {"", "", "1", "", "", "", ""};
            p2.prices = {"", "", "5000", "", "", "", ""};
            OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {2}, p2, src2));
            QCOMPARE(item(b, 2, "HKSZCSPSZV"), QStringLiteral("0010000"));
            QCOMPARE(item(b, 2, "EGYEDI"), QStringLiteral("E"));
            // The panel filled from item 1, only the planned return changed.
            const ItemPanel src = panelOf(b, 1);
            ItemPanel p = src;
            p.vszallt = "2026.05.25";
            const ItemStoreResult r = OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1, 2}, p, src));
            QCOMPARE(r.changed, 2);
            QCOMPARE(item(b, 1, "HKSZCSPSZV"), QStringLiteral("1000000"));
            QCOMPARE(item(b, 2, "HKSZCSPSZV"), QStringLiteral("0010000"));
            QCOMPARE(item(b, 2, "KARBAR3"), QStringLiteral("5000"));
            QCOMPARE(item(b, 2, "EGYEDI"), QStringLiteral("E"));
            QCOMPARE(item(b, 1, "EGYEDI"), QStringLiteral("N"));
            for (qint64 s : {1, 2}) {
                QCOMPARE(item(b, s, "VSZALLT"), QStringLiteral("2026.05.25"));
                QCOMPARE(acts(b, s, "VSZ"), QStringList{QStringLiteral("2026.05.25 T S1")});
            }
            // Item 2 is visited on Wednesdays up to its new return, item 1 on Mondays.
            QCOMPARE(acts(b, 2, "KA").last().left(10), QStringLiteral("2026.05.20"));
            QCOMPARE(acts(b, 1, "KA").last().left(10), QStringLiteral("2026.05.25"));
        } else if (name == "pattern") {
            const qint64 b = contract();
            const QString line = rows("FORGSOR", b, "TETELSOR").join("/");
            const QString item1 = rows("FORGKABIN", b, "SORSZAM").first();
            const ItemPanel src = panelOf(b, 2);
            ItemPanel p = src;
            p.counts = {"", "1", "", "", "", "", ""};
            p.prices = {"", "4800", "", "", "", "", ""};
            OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {2}, p, src));
            QCOMPARE(item(b, 2, "HKSZCSPSZV"), QStringLiteral("0100000"));
            QCOMPARE(item(b, 2, "KARBAR2"), QStringLiteral("4800"));
            QCOMPARE(item(b, 2, "EGYEDI"), QStringLiteral("E"));
            for (const QString& a : acts(b, 2, "KA"))
                if (a.section(' ', 1, 1) == "T") QCOMPARE(QDate::fromString(a.left(10), "yyyy.MM.dd").dayOfWeek(), 2);
            // Neither the line nor the other item changed.
            QCOMPARE(rows("FORGSOR", b, "TETELSOR").join("/"), line);
            QCOMPARE(rows("FORGKABIN", b, "SORSZAM").first(), item1);
        } else if (name == "back") {
            const qint64 b = contract();
            db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.03.10', ARUKOD = '104' WHERE BIZONYLAT = :b AND SORSZAM = 2",
                          {{"b", b}});
            const QString item2 = rows("FORGKABIN", b, "SORSZAM").last();
            const ItemPanel src = panelOf(b, 1);
            ItemPanel p = src;
            p.soforkod = "S2";
            const ItemStoreResult r = OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1, 2}, p, src));
            QCOMPARE(r.changed, 1);
            QCOMPARE(r.skippedBack, QStringList{QStringLiteral("104")});
            QVERIFY(r.line().contains(QStringLiteral("104")));
            QCOMPARE(rows("FORGKABIN", b, "SORSZAM").last(), item2);
        } else if (name == "single") {
            const qint64 b = contract("ATU", {baseLine("ALAP", "1")});
            const ItemPanel src = panelOf(b, 1);
            ItemPanel p = src;
            p.kiszall = "2026.03.09";
            p.counts = {"", "", "", "1", "", "", ""};
            p.prices = {"", "", "", "4000", "", "", ""};
            OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1}, p, src));
            QCOMPARE(value("SELECT KISZALL || ' ' || HKSZCSPSZV || ' ' || KARBAR4 FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = 1",
                           {{"b", b}}),
                     QStringLiteral("2026.03.09 0001000 4000"));
            QCOMPARE(item(b, 1, "EGYEDI"), QStringLiteral("N"));
            QCOMPARE(acts(b, 1, "KIH"), QStringList{QStringLiteral("2026.03.09 T S1")});
        }
    }

    // A delivery moved later on a cash contract: the planned activities before
    // it are cancelled, no billing row is deleted by date, the other line's
    // periods stay, and billing is regenerated once.
    void cashDeliveryLater() {
        LineInput second = baseLine();
        second.mennyiseg = "1";
        const qint64 b = contract("KP", {baseLine(), second});
        QVERIFY(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b", {{"b", b}}) > 0);
        const QString first = value("SELECT MIN(DATUM) FROM FORGFIZ WHERE BIZONYLAT = :b", {{"b", b}});
        QCOMPARE(first, QStringLiteral("2026.03.02"));
        const ItemPanel src = panelOf(b, 1);
        ItemPanel p = src;
        p.kiszall = "2026.03.16";
        const ItemStoreResult r = OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1}, p, src));
        QCOMPARE(r.changed, 1);
        // The other items are still out from 2026.03.02: that period is still billed.
        QCOMPARE(value("SELECT MIN(DATUM) FROM FORGFIZ WHERE BIZONYLAT = :b", {{"b", b}}), first);
        // Item 1's delivery moved, its earlier planned visits cancelled.
        QCOMPARE(acts(b, 1, "KIH"), QStringList{QStringLiteral("2026.03.16 T S1")});
        for (const QString& a : acts(b, 1, "KA"))
            if (a.left(10) < QStringLiteral("2026.03.16")) QCOMPARE(a.section(' ', 1, 1), QStringLiteral("X"));
        // Every day from the start to the horizon is covered once (no overlap, no gap).
        auto rs = db.conn->query("SELECT DATUM, DATUM2 FROM FORGFIZ WHERE BIZONYLAT = :b ORDER BY DATUM", {{"b", b}});
        QString expect = first;
        while (rs.next()) {
            QCOMPARE(rs.text("DATUM").trimmed(), expect);
            expect = QDate::fromString(rs.text("DATUM2").trimmed(), "yyyy.MM.dd").addDays(1).toString("yyyy.MM.dd");
        }
    }

    void failureMidStoreChangesNothing() {
        const qint64 b = contract("KP");
        const QStringList before = contractRows(b);
        db.conn->query("SELECT RDB$SET_CONTEXT('USER_SESSION', 'HIBA', '1') FROM RDB$DATABASE");
        const ItemPanel src = panelOf(b, 1);
        ItemPanel p = src;
        p.kiszall = "2026.03.04";
        p.soforkod = "S2";
        bool failed = false;
        try {
            OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1, 2}, p, src));
        } catch (const vl::db::DbError&) {
            failed = true;
        }
        db.conn->query("SELECT RDB$SET_CONTEXT('USER_SESSION', 'HIBA', NULL) FROM RDB$DATABASE");
        QVERIFY(failed);
        QCOMPARE(contractRows(b), before);
    }

    void closedContractRefused() {
        const qint64 b = contract();
        db.conn->exec("UPDATE FORGFEJ SET STATUS = 'LEZ' WHERE BIZONYLAT = :b", {{"b", b}});
        const QStringList before = contractRows(b);
        const ItemPanel src = panelOf(b, 1);
        ItemPanel p = src;
        p.soforkod = "S2";
        QCOMPARE(refusalOf([&] { OrdersItems::StoreItems(*db.conn, nullptr, session(), request(b, {1}, p, src)); }),
                 QStringLiteral("Lezárt szerződés nem módosítható."));
        QCOMPARE(refusalOf([&] { OrdersItems::RemoveItem(*db.conn, nullptr, session(), ItemKey{b, 1, 1, 1}); }),
                 QStringLiteral("Lezárt szerződés nem módosítható."));
        QCOMPARE(contractRows(b), before);
    }

    // ---------------------------------------------------------------- removal

    void removal_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("back: refused") << "back";
        QTest::newRow("done maintenance: refused") << "done";
        QTest::newRow("never delivered: nothing left planned") << "never";
        QTest::newRow("only the delivery done: removed") << "deliveryDone";
        QTest::newRow("last item deletes the line, product freed") << "last";
    }

    void removal() {
        QFETCH(QString, name);
        const qint64 b = contract();
        const ItemKey k1{b, 1, 1, 1};
        auto remove = [&](const ItemKey& k) {
            return refusalOf([&] { OrdersItems::RemoveItem(*db.conn, nullptr, session(), k); });
        };
        if (name == "back" || name == "done") {
            if (name == "back")
                db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.03.10' WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}});
            else
                db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND SORSZAM = 1 AND TEVKOD = 'KA'"
                              " AND DATUM = '2026.03.09'", {{"b", b}});
            const QStringList before = contractRows(b);
            QCOMPARE(remove(k1), name == "back" ? OrdersItems::BackText() : OrdersItems::DoneText());
            QCOMPARE(contractRows(b), before);
        } else if (name == "never" || name == "deliveryDone") {
            if (name == "deliveryDone")
                db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND SORSZAM = 1 AND TEVKOD = 'KIH'",
                              {{"b", b}});
            QCOMPARE(remove(k1), QString());
            QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}}), 0);
            QCOMPARE(db.count("SELECT COUNT(*) FROM FORGTEV T JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT WHERE T.BIZONYLAT = :b"
                              " AND T.SORSZAM = 1 AND S.MODOSITHATO IN ('I', 'i')", {{"b", b}}), 0);
            QCOMPARE(value("SELECT MENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = 1", {{"b", b}}), QStringLiteral("1"));
            if (name == "deliveryDone") QCOMPARE(acts(b, 1, "KIH"), QStringList{QStringLiteral("2026.03.02 E S1")});
            // Item 2 untouched.
            QVERIFY(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND SORSZAM = 2 AND TEVALLAPOT = 'T'", {{"b", b}}) > 0);
        } else if (name == "last") {
            QVERIFY(OrdersItems::ChangeNumber(*db.conn, nullptr, session(), ItemKey{b, 1, 1, 2}, "102"));
            QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = '102'"), QStringLiteral("FOG"));
            QCOMPARE(remove(k1), QString());
            QCOMPARE(remove(ItemKey{b, 1, 1, 2}), QString());
            QCOMPARE(db.count("SELECT COUNT(*) FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), 0);
            QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = '102'"), QStringLiteral("SZA"));
        }
    }

    // ---------------------------------------------------------------- number change

    void numberChange() {
        const qint64 b = contract();
        const ItemKey k{b, 1, 1, 1};
        QVERIFY(OrdersItems::ChangeNumber(*db.conn, nullptr, session(), k, "101"));
        QCOMPARE(item(b, 1, "ARUKOD"), QStringLiteral("101"));
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND SORSZAM = 1 AND ARUKOD <> '101'", {{"b", b}}), 0);
        QCOMPARE(value("SELECT ALLAPOT || ' ' || BIZONYLAT FROM ARU WHERE KOD = '101'"), QStringLiteral("FOG %1").arg(b));
        // Renumbered again: the old product freed, the new one rented.
        QVERIFY(OrdersItems::ChangeNumber(*db.conn, nullptr, session(), k, "104"));
        QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = '101'"), QStringLiteral("SZA"));
        QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = '104'"), QStringLiteral("FOG"));
        QVERIFY(!OrdersItems::ChangeNumber(*db.conn, nullptr, session(), k, "104"));

        const QStringList before = contractRows(b);
        QCOMPARE(refusalOf([&] { OrdersItems::ChangeNumber(*db.conn, nullptr, session(), k, "201"); }),
                 OrdersItems::OtherTypeText(otherGroupName));
        QCOMPARE(refusalOf([&] { OrdersItems::ChangeNumber(*db.conn, nullptr, session(), k, "103"); }),
                 QStringLiteral("A 103 sz. kabin nem adható ki."));
        // Taken meanwhile by another connection: its contract holds 101 now.
        const qint64 other = contract();
        {
            auto conn2 = vl::db::connect(embeddedParams(db.path));
            QVERIFY(OrdersItems::ChangeNumber(*conn2, nullptr, session(), ItemKey{other, 1, 1, 1}, "101"));
        }
        QCOMPARE(refusalOf([&] { OrdersItems::ChangeNumber(*db.conn, nullptr, session(), k, "101"); }),
                 QStringLiteral("A 101 sz. kabin nem adható ki."));
        QCOMPARE(contractRows(b), before);
    }

    void returnDocumentDate() {
        const qint64 b = contract();
        auto day = [&](qint64 s) {
            auto tx = db.conn->begin();
            return OrdersItems::ReturnDocumentDate(*tx, ItemKey{b, 1, 1, s});
        };
        QCOMPARE(day(1), QStringLiteral("2026.04.27"));
        db.conn->exec("DELETE FROM FORGTEV WHERE BIZONYLAT = :b AND SORSZAM = 2 AND TEVKOD = 'VSZ'", {{"b", b}});
        db.conn->exec("UPDATE FORGKABIN SET VSZALLT = '2026.04.20' WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}});
        QCOMPARE(day(2), QStringLiteral("2026.04.20"));
        db.conn->exec("UPDATE FORGKABIN SET VSZALLT = NULL WHERE BIZONYLAT = :b AND SORSZAM = 2", {{"b", b}});
        QCOMPARE(day(2), QString());
    }

private:
    QString otherGroup, otherGroupName;
};

QTEST_GUILESS_MAIN(TstOrdersItems)
#include "tst_ordersitems.moc"
