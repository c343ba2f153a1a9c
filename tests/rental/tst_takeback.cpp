// The take-back routine: its first phase on work copies (contract entry's done
// mark), both phases on the rental tables (the activity log), and the undo
// that restores exactly what the take-back did.
#include "tst_schedule_fixture.h"

#include "rental/Billing.h"
#include "rental/LineItemRules.h"
#include "rental/ProductStore.h"
#include "rental/TakeBack.h"

#include <QtTest>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {
const QString kToggle = QStringLiteral("Biztosan megváltoztatja a tevékenység állapotát?");
}

class TstTakeBack : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 next = 700;

    // A contract of two items (line 1), visits every Monday, take-back on 2026.04.27.
    qint64 contract(const QString& linesT, const QString& itemsT, const QString& actsT, const QString& fizmod = "ATU") {
        ContractFixture c;
        c.bizonylat = ++next;
        c.fizmod = fizmod;
        LineFixture l;
        l.items = 2;
        l.vszall = "2026.04.27";
        c.lines << l;
        auto tx = db.conn->begin();
        insertContract(*tx, c, linesT, itemsT);
        for (int s = 1; s <= 2; ++s) {
            tx->exec(QStringLiteral("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'SZA')"),
                     {{"k", QStringLiteral("K%1-1-%2").arg(c.bizonylat).arg(s)}});
        }
        const GeneratorContext ctx = context(*db.conn);
        RentalTables t = RentalTables::stored();
        t.lines = linesT;
        t.items = itemsT;
        t.activities = actsT;
        for (const auto& it : LoadMaintenanceItems(*tx, t, c.bizonylat, 1)) {
            EventItem e{c.bizonylat, 1, it.tetelsor, it.sorszam, it.arukod, "S1", "ALAP"};
            GenerateEventActivities(*tx, ctx, "HISZ", actsT, "2026.04.27", e);
            ScheduleOptions o;
            o.firstDay = "2026.03.03";
            GenerateMaintenanceSchedule(*tx, ctx, actsT, {it}, o);
        }
        tx->commit();
        return c.bizonylat;
    }

    LineItemRules rules(const RentalTables& t, qint64 b) {
        ContractTerms ct;
        ct.bizonylat = b;
        ct.bermod = "HT";
        ct.bermodNev = "Határozatlan idejű bérlet";
        LineItemOptions o;
        o.today = "2026.05.01";
        o.storedContract = t.isStored();
        o.cancelRemoved = t.isStored();
        return LineItemRules(context(*db.conn), t, ct, o);
    }

    Outcome toggle(const RentalTables& t, qint64 b, qint64 item, std::optional<TakeBackMark>* mark = nullptr) {
        auto tx = db.conn->begin();
        LineItemRules r = rules(t, b);
        const Outcome o = r.ToggleDone(*tx, ActivityKey{1, item, "2026.04.27", 1}, {{kToggle, true}}, mark);
        tx->commit();
        return o;
    }

    QString value(const QString& sql, const vl::db::Params& p) {
        auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : (rs.at(0, 0).isNull() ? QStringLiteral("NULL") : rs.at(0, 0).toString());
    }

    // "date#n state mark" of an item's visits after the take-back day.
    QStringList later(const QString& acts, qint64 b, qint64 item) {
        auto rs = db.conn->query(QStringLiteral("SELECT DATUM, TEVSORSZAM, TEVALLAPOT, VSZTORLES FROM %1 WHERE BIZONYLAT = :b"
                                                " AND SORSZAM = :s AND DATUM > '2026.04.20' ORDER BY DATUM, TEVSORSZAM")
                                     .arg(acts),
                                 {{"b", b}, {"s", item}});
        QStringList out;
        while (rs.next())
            out << QStringLiteral("%1#%2 %3 %4").arg(rs.text("DATUM")).arg(rs.integer("TEVSORSZAM"))
                       .arg(rs.text("TEVALLAPOT"), rs.text("VSZTORLES")).trimmed();
        return out;
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        createWorkCopy(*db.conn, "FORGSOR", "TMP_CSOPTB_1");
        createWorkCopy(*db.conn, "FORGKABIN", "TMP_KABTB_1");
        createWorkCopy(*db.conn, "FORGTEV", "TMP_TEVTB_1");
        createWorkCopy(*db.conn, "FORGFIZ", "TMP_FIZTB_1");
    }

    // On the copies: the return is recorded, later planned visits cancelled
    // and marked; the undo restores exactly those, in the state they had.
    void firstPhaseOnCopies() {
        const RentalTables t = RentalTables::workCopies("TMP_CSOPTB_1", "TMP_KABTB_1", "TMP_TEVTB_1", "TMP_FIZTB_1");
        const qint64 b = contract(t.lines, t.items, t.activities);
        // Visits after the take-back day: one planned again ("L"), one cancelled by
        // hand before, one done, one moved away.
        auto set = [&](const char* day, const char* st) {
            db.conn->exec(QStringLiteral("UPDATE %1 SET TEVALLAPOT = :st WHERE BIZONYLAT = :b AND SORSZAM = 1"
                                         " AND DATUM = :d AND TEVKOD = 'KA'").arg(t.activities),
                          {{"st", st}, {"b", b}, {"d", day}});
        };
        // The fixture's line has no return before the take-back: visits run on.
        db.conn->exec(QStringLiteral("UPDATE %1 SET VSZALLT = '' WHERE BIZONYLAT = :b").arg(t.items), {{"b", b}});
        {
            auto tx = db.conn->begin();
            for (const auto& it : LoadMaintenanceItems(*tx, t, b, 1)) {
                ScheduleOptions o;
                o.firstDay = "2026.04.28";
                o.lastDay = "2026.05.31";
                GenerateMaintenanceSchedule(*tx, context(*db.conn), t.activities, {it}, o);
            }
            tx->commit();
        }
        set("2026.05.04", "L");
        set("2026.05.11", "X");
        set("2026.05.18", "E");
        set("2026.05.25", "A");
        const QStringList before = later(t.activities, b, 1);
        QCOMPARE(before, (QStringList{"2026.04.27#1 T", "2026.04.27#2 T", "2026.05.04#1 L", "2026.05.11#1 X",
                                      "2026.05.18#1 E", "2026.05.25#1 A"}));

        std::optional<TakeBackMark> mark;
        QVERIFY(toggle(t, b, 1, &mark).ok);
        QVERIFY(mark.has_value());
        QCOMPARE(mark->done, true);
        QCOMPARE(mark->arukod, QStringLiteral("K%1-1-1").arg(b));
        QCOMPARE(later(t.activities, b, 1),
                 (QStringList{"2026.04.27#1 E", "2026.04.27#2 T", "2026.05.04#1 X 2026.04.27#1/L", "2026.05.11#1 X",
                              "2026.05.18#1 E", "2026.05.25#1 A"}));
        QCOMPARE(value(QStringLiteral("SELECT VSZALL FROM %1 WHERE BIZONYLAT = :b AND SORSZAM = 1").arg(t.items), {{"b", b}}),
                 QString("2026.04.27"));
        QCOMPARE(value(QStringLiteral("SELECT VMENNYISEG FROM %1 WHERE BIZONYLAT = :b").arg(t.lines), {{"b", b}}), QString("1"));
        // Item 2 is not touched.
        QCOMPARE(later(t.activities, b, 2).first(), QString("2026.04.27#1 T"));

        mark.reset();
        QVERIFY(toggle(t, b, 1, &mark).ok);
        QCOMPARE(mark->done, false);
        QCOMPARE(later(t.activities, b, 1), (QStringList{"2026.04.27#1 T", "2026.04.27#2 T", "2026.05.04#1 L",
                                                         "2026.05.11#1 X", "2026.05.18#1 E", "2026.05.25#1 A"}));
        QCOMPARE(value(QStringLiteral("SELECT VSZALL FROM %1 WHERE BIZONYLAT = :b AND SORSZAM = 1").arg(t.items), {{"b", b}}),
                 QString("NULL"));
        QCOMPARE(value(QStringLiteral("SELECT VMENNYISEG FROM %1 WHERE BIZONYLAT = :b").arg(t.lines), {{"b", b}}), QString("0"));
        // The copies' phase leaves the contract and the products to the store.
        QCOMPARE(value("SELECT STATUS FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), QString("FO"));
    }

    // On the rental tables: the product freed, the contract closed by its last
    // take-back with the earlier end kept, and reopened by the undo.
    void bothPhasesOnTheRentalTables() {
        const qint64 b = contract("FORGSOR", "FORGKABIN", "FORGTEV");
        db.conn->exec("UPDATE FORGFEJ SET BERVEG = '' WHERE BIZONYLAT = :b", {{"b", b}});
        {
            auto tx = db.conn->begin();
            for (int s = 1; s <= 2; ++s) ProductStore::UpdateProductStatus(*tx, QStringLiteral("K%1-1-%2").arg(b).arg(s));
            tx->commit();
        }
        const QString p1 = QStringLiteral("K%1-1-1").arg(b), p2 = QStringLiteral("K%1-1-2").arg(b);
        QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", p1}}), QString("FOG"));

        QVERIFY(toggle(RentalTables::stored(), b, 1).ok);
        QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", p1}}), QString("SZA"));
        QCOMPARE(value("SELECT STATUS FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), QString("FO"));

        QVERIFY(toggle(RentalTables::stored(), b, 2).ok);
        QCOMPARE(value("SELECT STATUS || ':' || BERVEG || ':' || BERVEGELOZO FROM FORGFEJ WHERE BIZONYLAT = :b",
                       {{"b", b}}),
                 QString("LEZ:2026.04.27:"));
        QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", p2}}), QString("SZA"));

        QVERIFY(toggle(RentalTables::stored(), b, 2).ok);
        QCOMPARE(value("SELECT STATUS || ':' || BERVEG FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), QString("FO:"));
        QCOMPARE(value("SELECT BERVEGELOZO FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), QString("NULL"));
        QCOMPARE(value("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", p2}}), QString("FOG"));
    }

    // A contract closed by other means is not reopened by undoing a take-back.
    void undoReopensOnlyWhatATakeBackClosed() {
        const qint64 b = contract("FORGSOR", "FORGKABIN", "FORGTEV");
        QVERIFY(toggle(RentalTables::stored(), b, 1).ok);
        db.conn->exec("UPDATE FORGFEJ SET STATUS = 'LEZ', BERVEG = '2026.04.30' WHERE BIZONYLAT = :b", {{"b", b}});
        QVERIFY(toggle(RentalTables::stored(), b, 1).ok);
        QCOMPARE(value("SELECT STATUS || ':' || BERVEG FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}),
                 QString("LEZ:2026.04.30"));
    }

    // A cash contract's billing stops after its last take-back.
    void cashBillingFollowsTheTakeBack() {
        const qint64 b = contract("FORGSOR", "FORGKABIN", "FORGTEV", "KP");
        {
            auto tx = db.conn->begin();
            GenerateBilling(*tx, context(*db.conn), b, 1, "2026.03.02");
            tx->commit();
        }
        QVERIFY(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM > '2026.05.01'", {{"b", b}}) > 0);
        QVERIFY(toggle(RentalTables::stored(), b, 1).ok);
        QVERIFY(toggle(RentalTables::stored(), b, 2).ok);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM > '2026.04.27'", {{"b", b}}), 0);
        QVERIFY(toggle(RentalTables::stored(), b, 2).ok);
        QVERIFY(db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM > '2026.05.01'", {{"b", b}}) > 0);
    }

};

QTEST_GUILESS_MAIN(TstTakeBack)
#include "tst_takeback.moc"
