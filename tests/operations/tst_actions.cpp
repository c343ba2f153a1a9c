// The actions of the activity log, each checked by the rows after it: done and
// undone (a take-back with its return, product, later activities, contract
// status and cash periods), remark, move, reschedule, driver, delete and
// restore, a new activity, the re-pricing of a cash contract, the refusals,
// and a row changed through a second connection.
#include "ActionsFixture.h"

#include "rental/Numbering.h"
#include "util/Dates.h"

#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;

class TstActions : public QObject {
    Q_OBJECT
    std::unique_ptr<ActionsCo> co;
    std::unique_ptr<DaySheet> sheet;
    std::unique_ptr<ActivityActions> act;
    vl::RecordingSink sink;

    void load(const QString& day = kDay) { sheet->LoadDaySheet(day); }
    const DaySheetLine& lineOf(const Site& s, const QString& kod, const QString& driver = QStringLiteral("?")) {
        const DaySheetLine* l = findLine(*sheet, s, kod, driver);
        if (!l) qFatal("no line %s", qPrintable(kod));
        return *l;
    }
    void mark(const Site& s, const QString& kod, const QString& driver = QStringLiteral("?")) {
        QVERIFY(sheet->ToggleLineMark(lineOf(s, kod, driver).tsorszam));
    }
    // The buttons' actions shown as the form shows them: questions asked
    // and refusals told through the sink.
    ActionOutcome markDone(int cur) { return ShowThroughSink(act->markDone(*sheet, cur)); }
    ActionOutcome storeRemark(int cur, const ActionInputs& in) { return ShowThroughSink(act->storeRemark(*sheet, cur, in)); }
    ActionOutcome moveToDay(const ActionInputs& in) { return ShowThroughSink(act->moveToDay(*sheet, in)); }
    ActionOutcome reschedule(const ActionInputs& in) { return ShowThroughSink(act->reschedule(*sheet, in)); }
    ActionOutcome assignDriver(const ActionInputs& in) { return ShowThroughSink(act->assignDriver(*sheet, in)); }
    ActionOutcome deleteOrRestore() { return ShowThroughSink(act->deleteOrRestore(*sheet)); }
    ActionOutcome addActivity(const NewActivity& a) { return ShowThroughSink(act->addActivity(*sheet, a)); }
    QString ka(qint64 b, qint64 t, qint64 s, const QString& day, qint64 n = 0) {
        return co->row(b, t, s, day, QStringLiteral("KA"), n);
    }

private slots:
    void init() {
        co = std::make_unique<ActionsCo>();
        co->buildActions();
        vl::rental::Td::LoadStartupValues(*co->db.conn);
        sheet = std::make_unique<DaySheet>(*co->db.conn, actionSession(), 1.27);
        act = std::make_unique<ActivityActions>(*co->db.conn, actionSession());
        sink = vl::RecordingSink();
        vl::setMessageSink(&sink);
        load();
    }
    void cleanup() {
        vl::setMessageSink(nullptr);
        act.reset();
        sheet.reset();
        co.reset();
    }

    // Done and undone on a past day's sheet end planned again ("L"); on
    // today's sheet planned ("T"). Stamped, the contract too.
    void doneToggle_data() {
        QTest::addColumn<bool>("today");
        QTest::addColumn<QString>("undone");
        QTest::newRow("past day") << false << "L";
        QTest::newRow("today") << true << "T";
    }
    void doneToggle() {
        QFETCH(bool, today);
        QFETCH(QString, undone);
        const QString day = today ? vl::util::TodayStr() : kDay;
        if (today) {
            auto tx = co->db.conn->begin();
            Company::activity(*tx, co->plain, 1, 1, "KA", "S1", 1, 4500, "", day);
            tx->commit();
            load(day);
        }
        QCOMPARE(markDone(lineOf(co->sPlain, "KA").tsorszam).ok, true);
        QVERIFY(ka(co->plain, 1, 1, day).startsWith("E|"));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM = :d AND JUZER = 'AKCIO'"
                              " AND MIKOR STARTING WITH :t",
                              {{"b", co->plain}, {"d", day}, {"t", vl::util::TodayStr()}}),
                 1);
        QVERIFY(co->head(co->plain).endsWith("|AKCIO"));
        QVERIFY(markDone(lineOf(co->sPlain, "KA").tsorszam).ok);
        QVERIFY(ka(co->plain, 1, 1, day).startsWith(undone + "|"));
        QCOMPARE(sink.texts(), QStringList());
    }

    // The last cabin back: its return, the product, the later visit cancelled
    // and marked, the contract closed on the day with its planned end kept; the
    // undo restores exactly that.
    void takeBackDoneAndUndone() {
        const qint64 b = co->last;
        const QString before = co->head(b);
        const QStringList acts = co->activities(b);
        QVERIFY(markDone(lineOf(co->sLast, "VSZ").tsorszam).ok);
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND VSZALL = :d", {{"b", b}, {"d", kDay}}), 1);
        QCOMPARE(co->db.count("SELECT VMENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), 1);
        QCOMPARE(co->db.conn->query("SELECT ALLAPOT FROM ARU WHERE KOD = '21'").at(0, 0).toString().trimmed(),
                 QStringLiteral("SZA"));
        QCOMPARE(co->row(b, 1, 1, "2026.05.06", "SZK").section('|', 0, 0), QStringLiteral("X"));
        QCOMPARE(co->head(b), QStringLiteral("LEZ|") + kDay + QStringLiteral("|AKCIO"));

        load();
        QVERIFY(markDone(lineOf(co->sLast, "VSZ").tsorszam).ok);
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND VSZALL IS NULL", {{"b", b}}), 1);
        QCOMPARE(co->db.count("SELECT VMENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), 0);
        QCOMPARE(co->db.conn->query("SELECT ALLAPOT FROM ARU WHERE KOD = '21'").at(0, 0).toString().trimmed(),
                 QStringLiteral("FOG"));
        QCOMPARE(co->head(b).section('|', 0, 1), before.section('|', 0, 1));
        // Every row as it was but the take-back's own state (planned again on a past day).
        QStringList now = co->activities(b);
        QCOMPARE(now.size(), acts.size());
        for (int i = 0; i < now.size(); ++i)
            if (now[i] != acts[i]) QVERIFY2(now[i].contains("/VSZ/L/"), qPrintable(now[i]));
    }

    // A take-back on a cash contract with cabins left out: it stays running;
    // billing from its first day still to bill, periods without overlap, the
    // cabin no longer billed after the day.
    void takeBackOnCash() {
        const qint64 b = co->cash;
        const QString first = co->periods(b).first().left(10);
        const qint64 later = co->periodNetto(b, "2026.05.13");   // the three cabins' rent and two visits
        QVERIFY(markDone(lineOf(co->sCash, "VSZ").tsorszam).ok);
        QCOMPARE(co->head(b).section('|', 0, 0), QStringLiteral("FO"));
        QCOMPARE(co->periods(b).first().left(10), first);
        QVERIFY(co->periodsDisjoint(b));
        QCOMPARE(co->periodNetto(b, "2026.05.13"), later - 10000);
        load();
        QVERIFY(markDone(lineOf(co->sCash, "VSZ").tsorszam).ok);
        QVERIFY(co->periodsDisjoint(b));
        QCOMPARE(co->periodNetto(b, "2026.05.13"), later);
        QCOMPARE(co->head(b).section('|', 0, 0), QStringLiteral("FO"));
    }

    void remarkIsTheTypedText() {
        QVERIFY(storeRemark(lineOf(co->sPlain, "KA").tsorszam, {QString(), "  Kutya! \"Vigyázat\" ", ""}).ok);
        QCOMPARE(ka(co->plain, 1, 1, kDay), QStringLiteral("T|K|S1|Kutya! \"Vigyázat\"|4500"));
    }

    void remarkOnPaymentRefused() {
        const DaySheetLine& pay = lineOf(co->sCash, "FIZ");
        const QStringList before = co->periods(co->cash);
        const ActionOutcome r = storeRemark(pay.tsorszam, {QString(), "x", ""});
        QVERIFY(r.refused());
        QCOMPARE(sink.texts(), QStringList{"Fizetést az \"Ügyfél megrendelései / Fizetések\" pont alatt lehet rendezni."});
        QCOMPARE(co->periods(co->cash), before);
    }

    void move() {
        mark(co->sPlain, "KA");
        QVERIFY(moveToDay({"20260506", "", ""}).ok);
        QCOMPARE(ka(co->plain, 1, 1, kDay), QStringLiteral("A|A|S1| Áthelyezve:2026.05.06-re|4500"));
        QCOMPARE(ka(co->plain, 1, 1, "2026.05.06"),
                 QStringLiteral("T|U|S1|Eredetileg 2026.05.04 Kulcs a portán|4500"));
        QVERIFY(sheet->marks().isEmpty());
    }

    // The line's own cabin's cleanings of the weekday move by the shift; the
    // other cabin, the take-back and other days stay; none after the return.
    void reschedule_data() {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("newDays");
        QTest::addColumn<QString>("why");
        QTest::newRow("one day later")
            << "2026.05.05" << QStringList{"2026.05.05", "2026.05.12", "2026.05.19", "2026.05.26"}
            << "Áthelyezve 1 nappal későbbre";
        QTest::newRow("three days later, the last after the return")
            << "2026.05.07" << QStringList{"2026.05.07", "2026.05.14", "2026.05.21"} << "Áthelyezve 3 nappal későbbre";
        QTest::newRow("two days earlier") << "2026.05.02"
                                          << QStringList{"2026.05.02", "2026.05.09", "2026.05.16", "2026.05.23"}
                                          << "Áthelyezve 2 nappal korábbra";
    }
    void reschedule() {
        QFETCH(QString, to);
        QFETCH(QStringList, newDays);
        QFETCH(QString, why);
        const qint64 b = co->resched;
        const QStringList before = co->activities(b);
        mark(co->sResched, "KA", "S1");
        sink.answers = {0};
        QList<QPair<int, int>> ticks;
        act->onProgress = [&](int done, int total) { ticks << qMakePair(done, total); };
        QVERIFY(reschedule({to, "", ""}).ok);
        // The bar counts the four selected cleanings, then hides.
        QCOMPARE(ticks.first(), qMakePair(0, 4));
        QCOMPARE(ticks.at(ticks.size() - 2), qMakePair(4, 4));
        QCOMPARE(ticks.last(), qMakePair(-1, -1));
        QCOMPARE(sink.texts(), QStringList{"Áthelyezi a karbantartásokat másik napra?"});
        const QStringList after = co->activities(b);
        QStringList changed, added;
        for (const QString& a : after)
            if (!before.contains(a)) (a.contains("/U/") ? added : changed) << a;
        QStringList expectChanged, expectAdded;
        for (const QString& d : {"2026.05.04", "2026.05.11", "2026.05.18", "2026.05.25"})
            expectChanged << QString("%1/1/1/1/KA/A/A/S1/4500/%2").arg(d, why);
        for (const QString& d : newDays) expectAdded << QString("%1/1/1/1/KA/T/U/S1/4500/").arg(d);
        QCOMPARE(changed, expectChanged);
        QCOMPARE(added, expectAdded);
        QCOMPARE(before.size() + added.size(), after.size());
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM = '2026.05.27'"
                              " AND TEVKOD = 'VSZ' AND TEVALLAPOT = 'T'", {{"b", b}}),
                 1);
    }

    void driver_data() {
        QTest::addColumn<QVariant>("oldDriver");
        QTest::newRow("a driver") << QVariant("S1");
        QTest::newRow("a NULL driver") << QVariant(QMetaType(QMetaType::QString));
        QTest::newRow("a blank driver") << QVariant("  ");
    }
    void driver() {
        QFETCH(QVariant, oldDriver);
        const qint64 b = co->plain;
        {
            auto tx = co->db.conn->begin();
            tx->exec("UPDATE FORGTEV SET SOFORKOD = :s WHERE BIZONYLAT = :b", {{"s", oldDriver}, {"b", b}});
            tx->commit();
            load();
        }
        mark(co->sPlain, "KA");
        QVERIFY(assignDriver({"", "", "S2"}).ok);
        QCOMPARE(ka(co->plain, 1, 1, kDay).section('|', 2, 2), QStringLiteral("S2"));
        // Every later planned visit of the same number follows; the earlier ones stay.
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM > :d AND SOFORKOD <> 'S2'",
                              {{"b", b}, {"d", kDay}}),
                 0);
        QVERIFY(co->db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM < :d AND SOFORKOD = 'S2'",
                             {{"b", b}, {"d", kDay}}) == 0);
        QCOMPARE(co->db.conn->query("SELECT SOFORKOD FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}).at(0, 0).toString(),
                 QStringLiteral("S2"));
        // Removing the driver writes NULL.
        mark(co->sPlain, "KA");
        QVERIFY(assignDriver({"", "", ""}).ok);
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM >= :d AND SOFORKOD IS NOT NULL",
                              {{"b", b}, {"d", kDay}}),
                 0);
    }

    void driverOnPayment() {
        const QStringList acts = co->activities(co->cash);
        mark(co->sCash, "FIZ");
        QVERIFY(assignDriver({"", "", "S2"}).ok);
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND TEVALLAPOT = 'T' AND SOFORKOD <> 'S2'",
                              {{"b", co->cash}}),
                 0);
        QVERIFY(co->db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b", {{"b", co->cash}}) > 0);
        QCOMPARE(co->activities(co->cash), acts);
    }

    void inactiveDriverRefused() {
        const QStringList acts = co->activities(co->plain);
        mark(co->sPlain, "KA");
        QVERIFY(assignDriver({"", "", "S3"}).refused());
        QCOMPARE(sink.texts(), QStringList{"Adatbázis hiba, nincs meg a sofőr"});
        QCOMPARE(co->activities(co->plain), acts);
    }

    void deleteAndRestore() {
        const QString today = vl::util::TodayStr();
        mark(co->sPlain, "KA");
        sink.answers = {0};
        QVERIFY(deleteOrRestore().ok);
        QCOMPARE(ka(co->plain, 1, 1, kDay), QStringLiteral("X|K|S1|Kulcs a portán Törölve:") + today + "|4500");
        sheet->FilterDaySheet({QString(), QString(), false, false});
        mark(co->sPlain, "KA");
        sink.answers = {0};
        QVERIFY(deleteOrRestore().ok);
        QCOMPARE(ka(co->plain, 1, 1, kDay),
                 QStringLiteral("T|K|S1|Kulcs a portán Törölve:") + today + " visszaállítva:" + today + "|4500");
        QCOMPARE(sink.texts(), (QStringList{"Törli a kijelölt tevékenységeket?",
                                            "Visszaállítja a  kijelölt, törölt tevékenységeket?"}));
        QCOMPARE(sink.defaultButtons.first(), 1);
    }

    // Deleting and restoring a planned take-back changes no contract status
    // and keeps the planned end.
    void deleteTakeBackKeepsTheEnd() {
        co->db.conn->exec("UPDATE FORGFEJ SET BERVEG = '2026.06.30' WHERE BIZONYLAT = :b", {{"b", co->last}});
        mark(co->sLast, "VSZ");
        sink.answers = {0};
        QVERIFY(deleteOrRestore().ok);
        QCOMPARE(co->head(co->last), QStringLiteral("FO|2026.06.30|AKCIO"));
        QCOMPARE(co->row(co->last, 1, 1, kDay, "VSZ").section('|', 0, 0), QStringLiteral("X"));
        sheet->FilterDaySheet({QString(), QString(), false, false});
        mark(co->sLast, "VSZ");
        sink.answers = {0};
        QVERIFY(deleteOrRestore().ok);
        QCOMPARE(co->head(co->last), QStringLiteral("FO|2026.06.30|AKCIO"));
        QCOMPARE(co->row(co->last, 1, 1, kDay, "VSZ").section('|', 0, 0), QStringLiteral("T"));
    }

    // A priced visit of a cash contract deleted, restored, marked done or
    // moved to the next period re-prices the planned periods. The line holds
    // the three cabins' visits of the day at 4500.
    void cashRepricing() {
        const qint64 b = co->cash;
        const qint64 at = co->periodNetto(b, kDay);
        const qint64 next = co->periodNetto(b, "2026.05.13");
        QVERIFY(at > 0 && next > 0);
        mark(co->sCash, "KA");
        sink.answers = {0};
        QVERIFY(deleteOrRestore().ok);
        QCOMPARE(co->periodNetto(b, kDay), at - 13500);
        sheet->FilterDaySheet({QString(), QString(), false, false});
        mark(co->sCash, "KA");
        sink.answers = {0};
        QVERIFY(deleteOrRestore().ok);
        QCOMPARE(co->periodNetto(b, kDay), at);
        QVERIFY(markDone(lineOf(co->sCash, "KA").tsorszam).ok);
        QCOMPARE(co->periodNetto(b, kDay), at);
        QVERIFY(markDone(lineOf(co->sCash, "KA").tsorszam).ok);
        mark(co->sCash, "KA");
        QVERIFY(moveToDay({"2026.05.13", "", ""}).ok);
        QCOMPARE(co->periodNetto(b, kDay), at - 13500);
        QCOMPARE(co->periodNetto(b, "2026.05.13"), next + 13500);
        QVERIFY(co->periodsDisjoint(b));
    }

    // A visit moved out of a paid period goes at price 0, its remark naming its day.
    void moveOutOfPaidPeriod() {
        const qint64 b = co->cash;
        co->db.conn->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM <= :d AND DATUM2 >= :d",
                          {{"b", b}, {"d", kDay}});
        const qint64 paid = co->periodNetto(b, kDay);
        const qint64 next = co->periodNetto(b, "2026.05.13");
        mark(co->sCash, "KA");
        QVERIFY(moveToDay({"2026.05.13", "", ""}).ok);
        QCOMPARE(ka(b, 1, 1, "2026.05.13"), QStringLiteral("T|U|S1|Eredetileg 2026.05.04 |0"));
        QCOMPARE(co->periodNetto(b, kDay), paid);
        QCOMPARE(co->periodNetto(b, "2026.05.13"), next);
    }

    void newActivity() {
        vl::db::RowSet none;
        QList<PlacedProduct> placed;
        {
            auto tx = co->db.conn->begin(vl::db::TxMode::ReadOnly);
            placed = readPlacedProducts(*tx, co->sPlain.customer, co->sPlain.site);
        }
        QCOMPARE(placed.size(), 1);
        QCOMPARE(placed.first().nev, QStringLiteral("31 Alap WC kabin"));
        NewActivity a{co->sPlain.site, placed.first(), "SZK", "20260506", "S2", "2", "1500", "Hátul 'B' kapu"};
        QVERIFY(addActivity(a).ok);
        QCOMPARE(co->row(co->plain, 1, 1, "2026.05.06", "SZK"), QStringLiteral("T|U|S2|Hátul 'B' kapu|1500"));
        QCOMPARE(co->db.count("SELECT MENNYISEG FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'SZK'", {{"b", co->plain}}), 2);
    }

    void newActivityRefusals_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<bool>("site");
        QTest::addColumn<bool>("product");
        QTest::addColumn<QString>("kod");
        QTest::addColumn<QString>("qty");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("text");
        const QString head = "Nem tárolható, az alábbi hibák miatt\r";
        QTest::newRow("nothing chosen") << "" << false << false << "" << "1" << "0"
                                        << head + "A dátum nem érvényes\rNincs ügyfél kiválasztva\rNincs termék kiválasztva\r"
                                                  "Nincs tevékenység kiválasztva\r";
        QTest::newRow("quantity 0") << "2026.05.06" << true << true << "SZK" << "0" << "0"
                                    << head + "A mennyiség 1 vagy annál nagyobb egész szám legyen\r";
        QTest::newRow("quantity a fraction") << "2026.05.06" << true << true << "SZK" << "1,5" << "0"
                                             << head + "A mennyiség 1 vagy annál nagyobb egész szám legyen\r";
        QTest::newRow("price negative, quantity text")
            << "2026.05.06" << true << true << "SZK" << "egy" << "-5"
            << head + "A mennyiség 1 vagy annál nagyobb egész szám legyen\rA nettó ár 0 vagy annál nagyobb egész szám legyen\r";
        QTest::newRow("bad date") << "2026.02.30" << true << true << "SZK" << "1" << "0" << head + "A dátum nem érvényes\r";
    }
    void newActivityRefusals() {
        QFETCH(QString, date);
        QFETCH(bool, site);
        QFETCH(bool, product);
        QFETCH(QString, kod);
        QFETCH(QString, qty);
        QFETCH(QString, price);
        QFETCH(QString, text);
        QList<PlacedProduct> placed;
        {
            auto tx = co->db.conn->begin(vl::db::TxMode::ReadOnly);
            placed = readPlacedProducts(*tx, co->sPlain.customer, co->sPlain.site);
        }
        NewActivity a{site ? co->sPlain.site : QString(), std::nullopt, kod, date, "", qty, price, ""};
        if (product) a.product = placed.first();
        const QStringList acts = co->activities(co->plain);
        QVERIFY(addActivity(a).refused());
        QCOMPARE(sink.texts(), QStringList{text});
        QCOMPARE(co->activities(co->plain), acts);
    }

    // The checks of the buttons, in order, word for word; nothing written.
    void refusals_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("marks");   // "site:kod"
        QTest::addColumn<QString>("current");     // "site:kod"
        QTest::addColumn<QString>("newDate");
        QTest::addColumn<QString>("text");
        QTest::newRow("done with two marks") << "done" << QStringList{"plain:KA", "last:VSZ"} << "plain:KA" << ""
                                             << "Nem hajtható végre, ki van jelölve 2 sor.";
        QTest::newRow("done on a payment") << "done" << QStringList{} << "cash:FIZ" << ""
                                           << "Fizetést az \"Ügyfél megrendelései / Fizetések\" pont alatt lehet rendezni.";
        QTest::newRow("move without marks") << "move" << QStringList{} << "plain:KA" << "2026.05.06" << "Nincs kijelölve tétel";
        QTest::newRow("move a take-back") << "move" << QStringList{"last:VSZ"} << "" << "2026.05.06"
                                          << "Csak karbantartás ütemezhető át.";
        QTest::newRow("reschedule a take-back first")
            << "resched" << QStringList{"last:VSZ"} << "" << "2026.05.06"
            << "Csak karbantartás ütemezhető át.\rNincs átütemezhető tevékenység.";
        QTest::newRow("move to the same day") << "move" << QStringList{"plain:KA"} << "" << "20260504"
                                              << "Előbb adjon meg másik dátumot!";
        QTest::newRow("move to no day") << "move" << QStringList{"plain:KA"} << "" << "2026.13.01" << "Hibás dátum.";
        QTest::newRow("delete a payment") << "delete" << QStringList{"cash:FIZ"} << "" << ""
                                          << "Fizetés itt nem törölhető.";
    }
    void refusals() {
        QFETCH(QString, button);
        QFETCH(QStringList, marks);
        QFETCH(QString, current);
        QFETCH(QString, newDate);
        QFETCH(QString, text);
        auto siteOf = [&](const QString& n) {
            return n == "plain" ? co->sPlain : n == "last" ? co->sLast : n == "cash" ? co->sCash : co->sResched;
        };
        for (const QString& m : marks) mark(siteOf(m.section(':', 0, 0)), m.section(':', 1, 1));
        const int cur = current.isEmpty() ? 0 : lineOf(siteOf(current.section(':', 0, 0)), current.section(':', 1, 1)).tsorszam;
        const QStringList a1 = co->activities(co->plain), a2 = co->activities(co->last), a3 = co->periods(co->cash);
        ActionOutcome r;
        if (button == "done") r = markDone(cur);
        if (button == "move") r = moveToDay({newDate, "", ""});
        if (button == "resched") r = reschedule({newDate, "", ""});
        if (button == "delete") r = deleteOrRestore();
        QVERIFY(r.refused());
        QCOMPARE(sink.texts(), QStringList{text});
        QCOMPARE(co->activities(co->plain), a1);
        QCOMPARE(co->activities(co->last), a2);
        QCOMPARE(co->periods(co->cash), a3);
    }

    void mixedDeleteRefused() {
        co->db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = 'X' WHERE BIZONYLAT = :b AND DATUM = :d", {{"b", co->plain}, {"d", kDay}});
        load();
        sheet->FilterDaySheet({QString(), QString(), false, false});
        mark(co->sPlain, "KA");
        mark(co->sLast, "VSZ");
        const QStringList a1 = co->activities(co->plain), a2 = co->activities(co->last);
        QVERIFY(deleteOrRestore().refused());
        QCOMPARE(sink.texts(), QStringList{"Vegyesen választott ki törölt és élő tételeket."});
        QCOMPARE(co->activities(co->plain), a1);
        QCOMPARE(co->activities(co->last), a2);
    }

    // A row changed through a second connection after the load: the action
    // on both marked lines is rolled back whole, reported once.
    void rowChangedElsewhere() {
        mark(co->sPlain, "KA");
        mark(co->sCash, "KA");
        const QStringList a1 = co->activities(co->plain), a2 = co->activities(co->cash), p = co->periods(co->cash);
        const QString h1 = co->head(co->plain);
        {
            auto other = vl::db::connect(vl::rental::test::embeddedParams(co->db.path));
            auto tx = other->begin();
            tx->exec("UPDATE FORGTEV SET SOFORKOD = 'S2' WHERE BIZONYLAT = :b AND DATUM = :d AND TETELSOR = 1"
                     " AND SORSZAM = 2",
                     {{"b", co->cash}, {"d", kDay}});
            tx->commit();
        }
        const QStringList a2changed = co->activities(co->cash);
        const ActionOutcome r = moveToDay({"2026.05.06", "", ""});
        QVERIFY(r.storeError);
        QVERIFY(!r.ok);
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY(sink.messages.first().second.startsWith("Hiba történt tárolás közben. Kérem értesítse a programozót!"));
        QVERIFY(sink.messages.first().second.contains("Modul=b_athelyez"));
        QCOMPARE(co->activities(co->plain), a1);
        QCOMPARE(co->activities(co->cash), a2changed);
        QCOMPARE(co->periods(co->cash), p);
        QCOMPARE(co->head(co->plain), h1);
        QVERIFY(sheet->marks().isEmpty());   // reloaded
        Q_UNUSED(a2);
    }
};

QTEST_GUILESS_MAIN(TstActions)
#include "tst_actions.moc"
