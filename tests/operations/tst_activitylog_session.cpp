// The activity log's session without a screen, as the form drives it: the
// dictionaries of its combo boxes and the products of a site, each button's
// action, each question returned as data (nothing written while it is open,
// "Nem" changes nothing, "Igen" does the action), refusals returned as data
// (their text and control, nothing told, nothing written) and a store error
// carried to the caller for its report.
#include "ActionsFixture.h"

#include "operations/ActivityLogSession.h"
#include "rental/Numbering.h"
#include "util/Dates.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;

class TstActivityLogSession : public QObject {
    Q_OBJECT
    std::unique_ptr<ActionsCo> co;
    std::unique_ptr<ActivityLogSession> log;
    vl::RecordingSink sink;

    DaySheet& sheet() { return log->sheet(); }
    const DaySheetLine& lineOf(const Site& s, const QString& kod, const QString& driver = QStringLiteral("?")) {
        const DaySheetLine* l = findLine(sheet(), s, kod, driver);
        if (!l) qFatal("no line %s", qPrintable(kod));
        return *l;
    }
    void mark(const Site& s, const QString& kod, const QString& driver = QStringLiteral("?")) {
        QVERIFY(sheet().ToggleLineMark(lineOf(s, kod, driver).tsorszam));
    }
    static QStringList column(vl::db::RowSet rs, const QString& name) {
        QStringList out;
        rs.reset();
        while (rs.next()) out << rs.text(name).trimmed();
        return out;
    }
    PlacedProduct plainProduct() {
        const QList<PlacedProduct> p = log->placedProducts(co->sPlain.customer, co->sPlain.site);
        if (p.isEmpty()) qFatal("no product placed at the plain site");
        return p.first();
    }
    QString future() const { return vl::util::DateToYMD(QDate::currentDate().addDays(3)); }

private slots:
    void init() {
        co = std::make_unique<ActionsCo>();
        co->buildActions();
        vl::rental::Td::LoadStartupValues(*co->db.conn);
        log = std::make_unique<ActivityLogSession>(*co->db.conn, actionSession(), 1.27);
        sink = vl::RecordingSink();
        vl::setMessageSink(&sink);
        sheet().LoadDaySheet(kDay);
    }
    void cleanup() {
        vl::setMessageSink(nullptr);
        log.reset();
        co.reset();
    }

    // The combo boxes' rows: customers active and with a site, drivers all
    // or active, activity kinds; the products placed at a site.
    void dictionaries() {
        {
            auto tx = co->db.conn->begin();
            tx->exec("INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, AKTIV) VALUES ('Aa Nincs címe', '1011', 'Budapest',"
                     " 'Fő utca 1.', 'I')");
            const Site off = co->addSite(*tx, "Ab Inaktív Kft.", "1115", "Budapest", "Öt utca 5.", "");
            tx->exec("UPDATE UGYFEL SET AKTIV = 'N' WHERE KOD = :k", {{"k", off.customer}});
            tx->commit();
        }
        QCOMPARE(column(log->customers(), "NEV"), (QStringList{"Alfa Kft.", "Béta Kft.", "Céh Bt.", "Delta Zrt."}));
        QCOMPARE(column(log->drivers(true), "NEV"), (QStringList{"Kovács Béla", "Nagy Péter"}));
        QCOMPARE(column(log->drivers(false), "KOD"), (QStringList{"S1", "S2", "S3"}));
        const QStringList kinds = column(log->activityKinds(), "KOD");
        QVERIFY(kinds.contains("KA") && kinds.contains("SZK") && kinds.contains("VSZ"));
        const QList<PlacedProduct> p = log->placedProducts(co->sPlain.customer, co->sPlain.site);
        QCOMPARE(p.size(), 1);
        QCOMPARE(p.first().nev, QStringLiteral("31 Alap WC kabin"));
        QCOMPARE(p.first().bizonylat, co->plain);
        QVERIFY(log->placedProducts(co->sPlain.customer, co->sCash.site).isEmpty());
        QCOMPARE(sink.texts(), QStringList());
    }

    // Each button through the session lands, stamps and reloads the sheet;
    // nothing is told through the sink.
    void actions_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("day");     // the row checked afterwards
        QTest::addColumn<QString>("kod");
        QTest::addColumn<QString>("row");
        QTest::newRow("done") << "done" << kDay << "KA" << "E|K|S1|Kulcs a portán|4500";
        QTest::newRow("remark") << "remark" << kDay << "KA" << "T|K|S1|Kapukód 12|4500";
        QTest::newRow("move") << "move" << "2026.05.06" << "KA" << "T|U|S1|Eredetileg 2026.05.04 Kulcs a portán|4500";
        QTest::newRow("driver") << "driver" << kDay << "KA" << "T|K|S2|Kulcs a portán|4500";
        QTest::newRow("new activity") << "new" << "2026.05.07" << "SZK" << "T|U|S2|Hátsó kapu|1500";
    }
    void actions() {
        QFETCH(QString, button);
        QFETCH(QString, day);
        QFETCH(QString, kod);
        QFETCH(QString, row);
        const int cur = lineOf(co->sPlain, "KA").tsorszam;
        ActionOutcome o;
        if (button == "done") o = log->markDone(cur);
        if (button == "remark") o = log->storeRemark(cur, {QString(), "Kapukód 12", ""});
        if (button == "move" || button == "driver") mark(co->sPlain, "KA");
        if (button == "move") o = log->moveToDay({"2026.05.06", "", ""});
        if (button == "driver") o = log->assignDriver({"", "", "S2"});
        if (button == "new")
            o = log->addActivity({co->sPlain.site, plainProduct(), "SZK", "20260507", "S2", "1", "1500", "Hátsó kapu"});
        QVERIFY(!o.asks());
        QVERIFY(o.ok);
        QVERIFY(o.rows > 0);
        QCOMPARE(o.contracts, QList<qint64>{co->plain});
        QCOMPARE(co->row(co->plain, 1, 1, day, kod), row);
        QVERIFY(co->head(co->plain).endsWith("|AKCIO"));
        QVERIFY(sheet().marks().isEmpty());
        QCOMPARE(sink.texts(), QStringList());
    }

    // A question comes back as data, nothing written while it is open:
    // "Nem" changes nothing (the marks stay), "Igen" does the action.
    void questions_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("defaultNo");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("stateAfterYes");   // of the checked row
        const QString done = "A tevékenység a jövőben fog megtörténni.\rÁtállítja a kijelölt tevékenységek státuszát?";
        const QString resched = "Áthelyezi a karbantartásokat másik napra?";
        const QString del = "Törli a kijelölt tevékenységeket?";
        const QString restore = "Visszaállítja a  kijelölt, törölt tevékenységeket?";
        for (bool yes : {false, true}) {
            const char* a = yes ? "Igen" : "Nem";
            QTest::addRow("done in the future, %s", a) << "done" << done << false << yes << "E";
            QTest::addRow("reschedule, %s", a) << "resched" << resched << false << yes << "A";
            QTest::addRow("delete, %s", a) << "delete" << del << true << yes << "X";
            QTest::addRow("restore, %s", a) << "restore" << restore << false << yes << "T";
            QTest::addRow("command: delete, %s", a) << "cmd delete" << del << true << yes << "X";
            QTest::addRow("command: restore, %s", a) << "cmd restore" << restore << false << yes << "T";
            QTest::addRow("command: done in the future, %s", a) << "cmd done" << done << false << yes << "E";
        }
    }
    void questions() {
        QFETCH(QString, action);
        QFETCH(QString, question);
        QFETCH(bool, defaultNo);
        QFETCH(bool, yes);
        QFETCH(QString, stateAfterYes);
        const bool resched = action == "resched";
        const qint64 b = resched ? co->resched : co->plain;
        const QString day = action.endsWith("done") ? future() : kDay;
        if (action.endsWith("done")) {
            auto tx = co->db.conn->begin();
            Company::activity(*tx, co->plain, 1, 1, "KA", "S1", 1, 4500, "", day);
            tx->commit();
            sheet().LoadDaySheet(day);
        }
        if (action.endsWith("restore")) {
            co->db.conn->exec("UPDATE FORGTEV SET TEVALLAPOT = 'X' WHERE BIZONYLAT = :b AND DATUM = :d AND TEVKOD = 'KA'",
                              {{"b", co->plain}, {"d", kDay}});
            sheet().LoadDaySheet(kDay);
            sheet().FilterDaySheet({QString(), QString(), false, false});
        }
        const QStringList before = co->activities(b);
        ActivityActions command(*co->db.conn, actionSession());
        ActionOutcome o;
        if (action == "done") o = log->markDone(lineOf(co->sPlain, "KA").tsorszam);
        if (resched) {
            mark(co->sResched, "KA", "S1");
            o = log->reschedule({"2026.05.05", "", ""});
        }
        if (action == "delete" || action == "restore") {
            mark(co->sPlain, "KA");
            o = log->deleteOrRestore();
        }
        if (action == "cmd delete") o = command.actOnActivity(b, 1, 1, kDay, 1, CommandAction::Delete, {});
        if (action == "cmd restore") o = command.actOnActivity(b, 1, 1, kDay, 1, CommandAction::Restore, {});
        if (action == "cmd done") o = command.actOnActivity(b, 1, 1, day, 1, CommandAction::Done, {});
        const QList<int> marks = sheet().marks();
        QVERIFY(o.asks());
        QVERIFY(!o.ok);
        QCOMPARE(o.question, question);
        QCOMPARE(o.questionDefaultNo, defaultNo);
        QVERIFY(o.messages.isEmpty());
        QCOMPARE(co->activities(b), before);   // nothing written while asking

        const ActionOutcome after = o.proceed(yes);
        QVERIFY(!after.asks());
        QCOMPARE(sink.texts(), QStringList());   // the rules told and asked nothing
        if (!yes) {
            QVERIFY(!after.ok);
            QVERIFY(StoppedBeforeWriting(after));
            QVERIFY(after.messages.isEmpty());
            QCOMPARE(co->activities(b), before);
            QCOMPARE(sheet().marks(), marks);
            return;
        }
        QVERIFY(after.ok);
        QCOMPARE(after.contracts, QList<qint64>{b});
        QCOMPARE(co->row(b, 1, 1, day, "KA").section('|', 0, 0), stateAfterYes);
        if (!action.startsWith("cmd")) QVERIFY(sheet().marks().isEmpty());
    }

    // A refusal comes back as its text and control; nothing told, nothing written.
    void refusals_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");
        QTest::newRow("move to the same day") << "move" << "Előbb adjon meg másik dátumot!" << "e_ujnap";
        QTest::newRow("an inactive driver") << "driver" << "Adatbázis hiba, nincs meg a sofőr" << "";
        QTest::newRow("done with a mark") << "done" << "Nem hajtható végre, ki van jelölve 1 sor." << "";
        QTest::newRow("remark on a payment")
            << "remark" << "Fizetést az \"Ügyfél megrendelései / Fizetések\" pont alatt lehet rendezni." << "";
        QTest::newRow("new activity of no quantity")
            << "new" << "Nem tárolható, az alábbi hibák miatt\rA mennyiség 1 vagy annál nagyobb egész szám legyen\r"
            << "e_mennyiseg";
        QTest::newRow("command: restore a live one") << "cmd restore" << "A tevékenység nincs törölve." << "";
    }
    void refusals() {
        QFETCH(QString, action);
        QFETCH(QString, text);
        QFETCH(QString, focus);
        const QStringList plain = co->activities(co->plain), cash = co->activities(co->cash);
        mark(co->sPlain, "KA");
        ActionOutcome o;
        if (action == "move") o = log->moveToDay({kDay, "", ""});
        if (action == "driver") o = log->assignDriver({"", "", "S3"});
        if (action == "done") o = log->markDone(lineOf(co->sPlain, "KA").tsorszam);
        if (action == "remark") {
            mark(co->sPlain, "KA");
            o = log->storeRemark(lineOf(co->sCash, "FIZ").tsorszam, {QString(), "x", ""});
        }
        if (action == "new")
            o = log->addActivity({co->sPlain.site, plainProduct(), "SZK", "20260507", "", "0", "", ""});
        if (action == "cmd restore")
            o = ActivityActions(*co->db.conn, actionSession())
                    .actOnActivity(co->plain, 1, 1, kDay, 1, CommandAction::Restore, {});
        QVERIFY(!o.asks());
        QVERIFY(StoppedBeforeWriting(o));
        QCOMPARE(o.messages, QStringList{text});
        QCOMPARE(o.focus, focus);
        QCOMPARE(sink.texts(), QStringList());
        QCOMPARE(co->activities(co->plain), plain);
        QCOMPARE(co->activities(co->cash), cash);
    }

    // A row changed through a second connection: the outcome carries the
    // missed update for the caller's report; shown, it is reported once.
    void storeErrorToTheCaller() {
        mark(co->sPlain, "KA");
        const QStringList before = co->activities(co->plain);
        {
            auto other = vl::db::connect(vl::rental::test::embeddedParams(co->db.path));
            other->exec("UPDATE FORGTEV SET SOFORKOD = 'S2' WHERE BIZONYLAT = :b AND DATUM = :d", {{"b", co->plain}, {"d", kDay}});
        }
        const QStringList changed = co->activities(co->plain);
        const ActionOutcome o = log->moveToDay({"2026.05.06", "", ""});
        QVERIFY(!o.ok);
        QVERIFY(o.storeError);
        QVERIFY(!StoppedBeforeWriting(o));
        QCOMPARE(o.module, QStringLiteral("b_athelyez"));
        QCOMPARE(o.miss.query, QStringLiteral("q_tevupdate"));
        QCOMPARE(sink.texts(), QStringList());
        QCOMPARE(co->activities(co->plain), changed);
        QVERIFY(changed != before);
        ShowThroughSink(o);
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY(sink.messages.first().second.startsWith("Hiba történt tárolás közben. Kérem értesítse a programozót!"));
        QVERIFY(sink.messages.first().second.contains("Modul=b_athelyez"));
    }

    // The pictures of the sheet's lines: counted once per load, a line's own
    // listed with their bytes, a line without any and a billing line none.
    void linePictures() {
        const DaySheetLine& withPictures = lineOf(co->sPlain, QStringLiteral("KA"));
        QVERIFY(!withPictures.sources.isEmpty());
        const SourceRow& src = withPictures.sources.first();
        const vl::rental::ActivityImageKey key{src.bizonylat, src.verzio, src.tetelsor, src.sorszam, src.datum.trimmed(), src.tevsorszam};
        QImage img(40, 20, QImage::Format_RGB32);
        img.fill(Qt::darkBlue);
        QByteArray png;
        {
            QBuffer b(&png);
            b.open(QIODevice::WriteOnly);
            img.save(&b, "PNG");
        }
        {
            auto tx = co->db.conn->begin();
            for (int i = 0; i < 2; ++i) {
                vl::rental::NewActivityImage n;
                n.key = key;
                n.kind = i == 0 ? vl::rental::ActivityImageKind::Photo : vl::rental::ActivityImageKind::Signature;
                n.receiver = i == 0 ? QString() : QStringLiteral("Kovács Éva");
                n.mime = QStringLiteral("image/png");
                n.bytes = png;
                n.driverCode = QStringLiteral("S1");
                n.requestId = QStringLiteral("k-%1").arg(i);
                QCOMPARE(int(vl::rental::StoreActivityImage(*tx, actionSession(), n, vl::rental::ActivityImageLimits{}).kind),
                         int(vl::rental::StoredActivityImage::Kind::Stored));
            }
            tx->commit();
        }
        QCOMPARE(lineOf(co->sPlain, QStringLiteral("KA")).images, 0);   // read at the load, not per line
        sheet().LoadDaySheet(kDay);
        const int t = lineOf(co->sPlain, QStringLiteral("KA")).tsorszam;
        int total = 0;
        for (const DaySheetLine& l : sheet().lines()) {
            total += l.images;
            if (l.tsorszam != t) QCOMPARE(l.images, 0);
        }
        QCOMPARE(lineOf(co->sPlain, QStringLiteral("KA")).images, 2);
        QCOMPARE(total, 2);
        const QList<vl::rental::ActivityImageInfo> list = log->lineImages(t);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(1).receiver, QStringLiteral("Kovács Éva"));
        QString mime;
        QCOMPARE(log->imageBytes(list.at(0).id, &mime), png);
        QCOMPARE(mime, QStringLiteral("image/png"));
        QVERIFY(log->lineImages(99999).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstActivityLogSession)
#include "tst_activitylog_session.moc"
