// The marks of the drivers' phones, each checked by the rows after it: done
// on a visit and on a take-back (the take-back routine), undone, not done with
// a reason, cash at the right gross; the refusals (another driver's activity,
// a mark after the deadline, a state the office changed, an unknown reason, a
// remark too long, a wrong amount), each writing nothing but its log line; a
// repeated request; the day sheet's marker of a phone-marked line and the
// desk's change that clears it.
#include "ActionsFixture.h"

#include "operations/OperationsSchema.h"
#include "operations/PhoneMarks.h"
#include "rental/Numbering.h"
#include "util/Colors.h"
#include "util/Dates.h"

#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;

namespace {

vl::shell::Session serviceSession() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TELEFON");
    s.businessYear = 2026;
    return s;
}

// The evening of the sheet's day: every mark of the day is in time.
const QString kEvening = QStringLiteral("2026.05.04 18:30:00");

} // namespace

class TstPhoneMarks : public QObject {
    Q_OBJECT
    std::unique_ptr<ActionsCo> co;

    qint64 contractOf(const QString& name) const {
        if (name == QLatin1String("cash")) return co->cash;
        if (name == QLatin1String("last")) return co->last;
        if (name == QLatin1String("resched")) return co->resched;
        return co->plain;
    }

    // The key of the activity of a cabin with a code on a day.
    PhoneKey activityKey(qint64 b, const QString& cabin, const QString& kod, const QString& day = kDay) {
        auto rs = co->db.conn->query(QStringLiteral("SELECT TETELSOR, SORSZAM, TEVSORSZAM FROM FORGTEV WHERE BIZONYLAT = :b"
                                                    " AND ARUKOD = :a AND TEVKOD = :k AND DATUM = :d ORDER BY TEVSORSZAM"),
                                     {{"b", b}, {"a", cabin}, {"k", kod}, {"d", day}});
        PhoneKey k;
        if (!rs.next()) {
            qWarning("no activity %s %s %s", qPrintable(cabin), qPrintable(kod), qPrintable(day));
            return k;
        }
        k.bizonylat = b;
        k.tetelsor = rs.integer("TETELSOR");
        k.sorszam = rs.integer("SORSZAM");
        k.datum = day;
        k.tevsorszam = rs.integer("TEVSORSZAM");
        return k;
    }

    // The planned period of the cash contract that covers the day, its net
    // set to 10 000 and collected by S1.
    PhoneKey cashKey() {
        auto rs = co->db.conn->query(QStringLiteral("SELECT DATUM, TEVSORSZAM FROM FORGFIZ WHERE BIZONYLAT = :b"
                                                    " AND DATUM <= :d AND DATUM2 >= :d AND TEVALLAPOT = 'T'"),
                                     {{"b", co->cash}, {"d", kDay}});
        PhoneKey k;
        if (!rs.next()) return k;
        k.payment = true;
        k.bizonylat = co->cash;
        k.datum = rs.text("DATUM");
        k.tevsorszam = rs.integer("TEVSORSZAM");
        co->db.conn->exec(QStringLiteral("UPDATE FORGFIZ SET NETTO = 10000, SOFORKOD = 'S1' WHERE BIZONYLAT = :b"
                                         " AND DATUM = :d AND TEVSORSZAM = :n"),
                          {{"b", k.bizonylat}, {"d", k.datum}, {"n", k.tevsorszam}});
        return k;
    }

    PhoneMarkResult apply(const PhoneMark& m, const QString& now = kEvening) {
        PhoneMarkRules rules;
        rules.now = now;
        return ApplyPhoneMark(*co->db.conn, serviceSession(), m, rules);
    }

    static PhoneMark mark(const QString& id, const PhoneKey& k, PhoneAction a, const QString& seen,
                          const QString& driver = QStringLiteral("S1")) {
        PhoneMark m;
        m.requestId = id;
        m.driverCode = driver;
        m.key = k;
        m.action = a;
        m.seenState = seen;
        return m;
    }

    // "STATE|KOMMENT|FORRAS|FORRASSOFOR|FORRASMIKOR" of an activity.
    QString activityRow(const PhoneKey& k) {
        auto rs = co->db.conn->query(QStringLiteral("SELECT TEVALLAPOT, KOMMENT, FORRAS, FORRASSOFOR, FORRASMIKOR FROM FORGTEV"
                                                    " WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d"
                                                    " AND TEVSORSZAM = :n"),
                                     {{"b", k.bizonylat}, {"t", k.tetelsor}, {"s", k.sorszam}, {"d", k.datum},
                                      {"n", k.tevsorszam}});
        if (!rs.next()) return QString();
        return QStringList{rs.text("TEVALLAPOT"), rs.text("KOMMENT"), rs.text("FORRAS"), rs.text("FORRASSOFOR"),
                           rs.text("FORRASMIKOR")}
            .join(QLatin1Char('|'));
    }

    // "EREDMENY|ALLAPOT|SZOVEG|MUVELET|JUZER" of a logged mark, "" when none.
    QString logRow(const QString& driver, const QString& id) {
        auto rs = co->db.conn->query(QStringLiteral("SELECT EREDMENY, ALLAPOT, SZOVEG, MUVELET, JUZER FROM TELEFONJEL"
                                                    " WHERE SOFORKOD = :s AND AZONOSITO = :a"),
                                     {{"s", driver}, {"a", id}});
        if (!rs.next()) return QString();
        return QStringList{rs.text("EREDMENY"), rs.text("ALLAPOT"), rs.text("SZOVEG"), rs.text("MUVELET"), rs.text("JUZER")}
            .join(QLatin1Char('|'));
    }

    // Every row a mark may touch, as text: the activities, periods, heads and
    // items of every contract, the products.
    QStringList everything() {
        QStringList out;
        for (qint64 b : {co->cash, co->last, co->plain, co->resched}) {
            out << co->activities(b) << co->periods(b) << co->head(b);
            auto src = co->db.conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND FORRAS IS NOT NULL"),
                                          {{"b", b}});
            out << src.at(0, 0).toString();
            auto it = co->db.conn->query(QStringLiteral("SELECT ARUKOD, VSZALL FROM FORGKABIN WHERE BIZONYLAT = :b ORDER BY ARUKOD"),
                                         {{"b", b}});
            while (it.next()) out << it.text("ARUKOD") + QLatin1Char('=') + it.text("VSZALL");
            auto head = co->db.conn->query(QStringLiteral("SELECT MIKOR FROM FORGFEJ WHERE BIZONYLAT = :b"), {{"b", b}});
            out << head.at(0, 0).toString();
        }
        auto aru = co->db.conn->query(QStringLiteral("SELECT KOD, ALLAPOT FROM ARU ORDER BY KOD"));
        while (aru.next()) out << aru.text("KOD") + QLatin1Char('=') + aru.text("ALLAPOT");
        auto fiz = co->db.conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ WHERE FORRAS IS NOT NULL"));
        out << fiz.at(0, 0).toString();
        return out;
    }

private slots:
    void init() {
        co = std::make_unique<ActionsCo>();
        co->buildActions();
        vl::rental::Td::LoadStartupValues(*co->db.conn);
    }
    void cleanup() { co.reset(); }

    // A new database holds the reasons, and the generic editor's panel for them.
    void reasonsAndTheirPanel() {
        auto tx = co->db.conn->begin(vl::db::TxMode::ReadOnly);
        auto rs = PhoneReasons(*tx);
        QStringList names;
        while (rs.next()) names << rs.text("KOD") + QLatin1Char('=') + rs.text("NEV");
        QCOMPARE(names, (QStringList{"IDOHIANY=Időhiány", "NEMTALAL=Nem található", "NINCSHOZZA=Nincs hozzáférés",
                                     "LEMONDTA=Ügyfél lemondta", "ZART=Zárt terület"}));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM TABLAK WHERE TABLANEV = 'SZ_OKOK' AND MEGNEVEZES = 'Elmaradás okai'"), 1);
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM VEZERLO WHERE MODUL = 'SZ_OKOK'"), 2);
        tx->commit();
        // An upgraded database gets the panel at start, once.
        co->db.conn->exec(QStringLiteral("DELETE FROM VEZERLO WHERE MODUL = 'SZ_OKOK'"));
        co->db.conn->exec(QStringLiteral("DELETE FROM TABLAK WHERE TABLANEV = 'SZ_OKOK'"));
        QCOMPARE(PreparePhoneMarks(*co->db.conn), 3);
        QCOMPARE(PreparePhoneMarks(*co->db.conn), 0);
    }

    // The key the driver's day gives a row, read back; anything else is no key.
    void keys_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("activity") << "T.123.1.2.3.2026.12.10.4" << true;
        QTest::newRow("billing row") << "F.123.1.2026.12.01.1" << true;
        QTest::newRow("no such day") << "T.123.1.2.3.2026.02.30.4" << false;
        QTest::newRow("short day") << "F.123.1.2026.2.01.1" << false;
        QTest::newRow("missing part") << "T.123.1.2.2026.12.10.4" << false;
        QTest::newRow("letters") << "T.12a.1.2.3.2026.12.10.4" << false;
        QTest::newRow("no contract") << "F.0.1.2026.12.01.1" << false;
        QTest::newRow("other kind") << "X.123.1.2026.12.01.1" << false;
        QTest::newRow("line break after") << "F.123.1.2026.12.01.1\n" << false;
    }
    void keys() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        bool ok = true;
        const PhoneKey k = PhoneKey::parse(text, &ok);
        QCOMPARE(ok, valid);
        if (valid) QCOMPARE(k.text(), text);
    }

    // Each mark and what it leaves: the row's state and remark, its source,
    // the log's line, the contract stamped by the service's user.
    void marks_data() {
        QTest::addColumn<QString>("contract");
        QTest::addColumn<QString>("cabin");
        QTest::addColumn<QString>("kod");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("preset");   // the state set before ("" as built)
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("komment");
        QTest::newRow("done") << "plain" << "31" << "KA" << int(PhoneAction::Done) << "" << "" << "" << kEvening << "E"
                              << "Kulcs a portán";
        QTest::newRow("done with a remark, before the deadline")
            << "plain" << "31" << "KA" << int(PhoneAction::Done) << "" << "" << " Zárva volt a kapu " << "2026.05.05 11:59:59"
            << "E" << "Zárva volt a kapu";
        // Undone on a past day: planned again ("L"), as the desk's undo.
        QTest::newRow("undone") << "plain" << "31" << "KA" << int(PhoneAction::Undone) << "E" << "" << "" << kEvening << "L"
                                << "Kulcs a portán";
        QTest::newRow("not done, reason and remark")
            << "plain" << "31" << "KA" << int(PhoneAction::NotDone) << "" << "ZART" << "A kapu zárva volt" << kEvening << "T"
            << "Zárt terület: A kapu zárva volt";
        QTest::newRow("not done, reason only")
            << "cash" << "11" << "KA" << int(PhoneAction::NotDone) << "" << "IDOHIANY" << "" << kEvening << "T" << "Időhiány";
        // A remark of 250 characters after the reason: the log's remark keeps 250.
        QTest::newRow("not done, longest remark")
            << "plain" << "31" << "KA" << int(PhoneAction::NotDone) << "" << "ZART" << QString(250, QChar(u'é')) << kEvening
            << "T" << (QStringLiteral("Zárt terület: ") + QString(250, QChar(u'é'))).left(250);
    }
    void marks() {
        QFETCH(QString, contract);
        QFETCH(QString, cabin);
        QFETCH(QString, kod);
        QFETCH(int, action);
        QFETCH(QString, preset);
        QFETCH(QString, reason);
        QFETCH(QString, remark);
        QFETCH(QString, now);
        QFETCH(QString, state);
        QFETCH(QString, komment);
        const qint64 b = contractOf(contract);
        const PhoneKey k = activityKey(b, cabin, kod);
        if (!preset.isEmpty())
            co->db.conn->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = :s WHERE BIZONYLAT = :b AND TETELSOR = :t"
                                             " AND SORSZAM = :o AND DATUM = :d AND TEVSORSZAM = :n"),
                              {{"s", preset}, {"b", b}, {"t", k.tetelsor}, {"o", k.sorszam}, {"d", k.datum}, {"n", k.tevsorszam}});
        PhoneMark m = mark(QStringLiteral("m-1"), k, PhoneAction(action), preset.isEmpty() ? QStringLiteral("T") : preset);
        m.reason = reason;
        m.remark = remark;
        const PhoneMarkResult r = apply(m, now);
        QCOMPARE(r.text, QString());
        QCOMPARE(int(r.kind), int(PhoneMarkResult::Kind::Ok));
        QCOMPARE(r.requestId, QStringLiteral("m-1"));
        QCOMPARE(r.state, state);
        const QHash<QString, QString> classes{{"T", "I"}, {"L", "i"}, {"E", "N"}};
        QCOMPARE(r.stateClass, classes.value(state));
        QCOMPARE(activityRow(k), QStringList({state, komment, "telefon", "S1", now}).join(QLatin1Char('|')));
        QCOMPARE(co->head(b).section('|', 2), QStringLiteral("TELEFON"));
        QCOMPARE(logRow("S1", "m-1"), QStringList({"ok", state, "", PhoneActionName(PhoneAction(action)), "TELEFON"})
                                          .join(QLatin1Char('|')));
    }

    // A take-back marked done runs the take-back routine: the return
    // recorded, the product free, the contract closed; undone from the phone
    // restores them.
    void takeBack() {
        const qint64 b = co->last;
        const PhoneKey k = activityKey(b, "21", "VSZ");
        QCOMPARE(int(apply(mark("vissza-1", k, PhoneAction::Done, "T")).kind), int(PhoneMarkResult::Kind::Ok));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND VSZALL = :d", {{"b", b}, {"d", kDay}}), 1);
        QCOMPARE(co->db.count("SELECT VMENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), 1);
        QCOMPARE(co->db.conn->query("SELECT ALLAPOT FROM ARU WHERE KOD = '21'").at(0, 0).toString().trimmed(), QStringLiteral("SZA"));
        QCOMPARE(co->row(b, 1, 1, "2026.05.06", "SZK").section('|', 0, 0), QStringLiteral("X"));
        QCOMPARE(co->head(b), QStringLiteral("LEZ|") + kDay + QStringLiteral("|TELEFON"));
        QCOMPARE(activityRow(k).section('|', 2, 3), QStringLiteral("telefon|S1"));

        QCOMPARE(int(apply(mark("vissza-2", k, PhoneAction::Undone, "E")).kind), int(PhoneMarkResult::Kind::Ok));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND VSZALL IS NULL", {{"b", b}}), 1);
        QCOMPARE(co->db.conn->query("SELECT ALLAPOT FROM ARU WHERE KOD = '21'").at(0, 0).toString().trimmed(), QStringLiteral("FOG"));
        QCOMPARE(co->head(b).section('|', 0, 0), QStringLiteral("FO"));
    }

    // A visit on a day still to come: the desk's question about the future is
    // answered by the driver's tap.
    void doneOnALaterDay() {
        const QString later = vl::util::DateToYMD(QDate::currentDate().addDays(3));
        {
            auto tx = co->db.conn->begin();
            Company::activity(*tx, co->plain, 1, 1, "SZK", "S1", 1, 0, "", later);
            tx->commit();
        }
        const PhoneKey k = activityKey(co->plain, "31", "SZK", later);
        const PhoneMarkResult r = apply(mark("kesobb", k, PhoneAction::Done, "T"), QString());
        QCOMPARE(r.text, QString());
        QCOMPARE(r.state, QStringLiteral("E"));
    }

    // Cash at exactly the gross of the period: paid through the payments'
    // toggle, its source the phone; at another amount refused in so many words.
    void cash() {
        const PhoneKey k = cashKey();
        QVERIFY(!k.datum.isEmpty());
        const QStringList before = everything();
        PhoneMark wrong = mark("p-1", k, PhoneAction::Cash, "T");
        wrong.amount = 12000;
        const PhoneMarkResult refused = apply(wrong);
        QCOMPARE(int(refused.kind), int(PhoneMarkResult::Kind::Refused));
        QCOMPARE(refused.text, QStringLiteral("A beszedendő összeg 12 700 Ft, nem 12 000 Ft."));
        QCOMPARE(refused.state, QStringLiteral("T"));
        QCOMPARE(everything(), before);

        PhoneMark right = mark("p-2", k, PhoneAction::Cash, "T");
        right.amount = 12700;
        const PhoneMarkResult r = apply(right);
        QCOMPARE(r.text, QString());
        QCOMPARE(r.state, QStringLiteral("E"));
        QCOMPARE(r.stateClass, QStringLiteral("N"));
        auto rs = co->db.conn->query("SELECT TEVALLAPOT, KOMMENT, FORRAS, FORRASSOFOR, FORRASMIKOR FROM FORGFIZ"
                                     " WHERE BIZONYLAT = :b AND DATUM = :d AND TEVSORSZAM = :n",
                                     {{"b", k.bizonylat}, {"d", k.datum}, {"n", k.tevsorszam}});
        QVERIFY(rs.next());
        QCOMPARE(rs.text("TEVALLAPOT"), QStringLiteral("E"));
        QCOMPARE(rs.text("KOMMENT"), QStringLiteral("Rögzítve:2026.05.04 18:30"));
        QCOMPARE(rs.text("FORRAS") + rs.text("FORRASSOFOR") + rs.text("FORRASMIKOR"), QStringLiteral("telefonS1") + kEvening);
        QCOMPARE(co->head(k.bizonylat).section('|', 2), QStringLiteral("TELEFON"));
        QVERIFY(co->periodsDisjoint(k.bizonylat));
        QCOMPARE(logRow("S1", "p-1").section('|', 0, 2), QStringLiteral("refused|T|A beszedendő összeg 12 700 Ft, nem 12 000 Ft."));
        QCOMPARE(logRow("S1", "p-2").section('|', 0, 1), QStringLiteral("ok|E"));
    }

    // Refusals: the text, the row's state now, nothing written but the log's line.
    void refusals_data() {
        QTest::addColumn<QString>("contract");
        QTest::addColumn<QString>("cabin");
        QTest::addColumn<QString>("kod");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("preset");   // the state set before ("" as built: "T")
        QTest::newRow("another driver's") << "resched" << "42" << "KA" << int(PhoneAction::Done) << "S1" << "T" << "" << ""
                                          << kEvening << "Ez a tevékenység nem az Öné." << "";
        QTest::newRow("after the deadline") << "plain" << "31" << "KA" << int(PhoneAction::Done) << "S1" << "T" << "" << ""
                                            << "2026.05.05 12:00:00"
                                            << "Ezt a jelölést 2026.05.05 12:00-ig lehetett elküldeni." << "";
        QTest::newRow("changed by the office") << "plain" << "31" << "KA" << int(PhoneAction::Done) << "S1" << "L" << ""
                                               << "" << kEvening << PhoneChangedText() << "";
        QTest::newRow("unknown reason") << "plain" << "31" << "KA" << int(PhoneAction::NotDone) << "S1" << "T" << "NINCS"
                                        << "" << kEvening << "Ismeretlen ok: NINCS." << "";
        QTest::newRow("no reason") << "plain" << "31" << "KA" << int(PhoneAction::NotDone) << "S1" << "T" << "" << "x"
                                   << kEvening << "Adja meg, miért maradt el a tevékenység." << "";
        QTest::newRow("remark too long") << "plain" << "31" << "KA" << int(PhoneAction::NotDone) << "S1" << "T" << "ZART"
                                         << QString(251, QChar(u'a')) << kEvening
                                         << "A megjegyzés legfeljebb 250 karakter lehet (most 251)." << "";
        QTest::newRow("undone, not done") << "plain" << "31" << "KA" << int(PhoneAction::Undone) << "S1" << "T" << "" << ""
                                          << kEvening << "A tevékenység nincs elvégezve." << "";
        QTest::newRow("cash on a visit") << "plain" << "31" << "KA" << int(PhoneAction::Cash) << "S1" << "T" << "" << ""
                                         << kEvening << "Ez a jelölés ennél a sornál nem alkalmazható." << "";
        // The done action's own refusal: a visit moved away may not be marked.
        QTest::newRow("moved away") << "plain" << "31" << "KA" << int(PhoneAction::Done) << "S1" << "A" << "" << ""
                                    << kEvening << "Ilyen státuszú tevékenységre ez a funkció nem alkalmazható." << "A";
    }
    void refusals() {
        QFETCH(QString, contract);
        QFETCH(QString, cabin);
        QFETCH(QString, kod);
        QFETCH(int, action);
        QFETCH(QString, driver);
        QFETCH(QString, seen);
        QFETCH(QString, reason);
        QFETCH(QString, remark);
        QFETCH(QString, now);
        QFETCH(QString, text);
        QFETCH(QString, preset);
        const PhoneKey k = activityKey(contractOf(contract), cabin, kod);
        if (!preset.isEmpty())
            co->db.conn->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = :s WHERE BIZONYLAT = :b AND TETELSOR = :t"
                                             " AND SORSZAM = :o AND DATUM = :d AND TEVSORSZAM = :n"),
                              {{"s", preset}, {"b", k.bizonylat}, {"t", k.tetelsor}, {"o", k.sorszam}, {"d", k.datum},
                               {"n", k.tevsorszam}});
        const QString stateNow = preset.isEmpty() ? QStringLiteral("T") : preset;
        const QStringList before = everything();
        PhoneMark m = mark("r-1", k, PhoneAction(action), seen, driver);
        m.reason = reason;
        m.remark = remark;
        const PhoneMarkResult r = apply(m, now);
        QCOMPARE(int(r.kind), int(PhoneMarkResult::Kind::Refused));
        QCOMPARE(r.text, text);
        QCOMPARE(r.state, stateNow);
        QCOMPARE(r.stateName, stateNow == QLatin1String("T") ? QStringLiteral("Tervezett") : QStringLiteral("Áthelyezve másik napra"));
        QCOMPARE(r.stateClass, stateNow == QLatin1String("T") ? QStringLiteral("I") : QStringLiteral("n"));
        QCOMPARE(everything(), before);
        QCOMPARE(logRow(driver, "r-1"), QStringList({"refused", stateNow, text, PhoneActionName(PhoneAction(action)), "TELEFON"})
                                            .join(QLatin1Char('|')));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM TELEFONJEL"), 1);
    }

    // A request id the log holds for the driver changes nothing and repeats
    // the first answer, an accepted or a refused one.
    void repeatedRequest() {
        const PhoneKey k = activityKey(co->plain, "31", "KA");
        const PhoneMarkResult first = apply(mark("m-7", k, PhoneAction::Done, "T"));
        QCOMPARE(int(first.kind), int(PhoneMarkResult::Kind::Ok));
        const QStringList after = everything();
        const QString row = activityRow(k);
        // The same id again, even as another action a day later.
        const PhoneMarkResult again = apply(mark("m-7", k, PhoneAction::Undone, "E"), "2026.05.05 10:00:00");
        QCOMPARE(int(again.kind), int(PhoneMarkResult::Kind::Repeated));
        QCOMPARE(again.state, QStringLiteral("E"));
        QCOMPARE(again.text, QString());
        QVERIFY(!again.firstRefused);
        QCOMPARE(everything(), after);
        QCOMPARE(activityRow(k), row);

        const PhoneMarkResult late = apply(mark("m-8", k, PhoneAction::Undone, "E"), "2026.05.06 08:00:00");
        QCOMPARE(int(late.kind), int(PhoneMarkResult::Kind::Refused));
        const PhoneMarkResult lateAgain = apply(mark("m-8", k, PhoneAction::Undone, "E"));
        QCOMPARE(int(lateAgain.kind), int(PhoneMarkResult::Kind::Repeated));
        QVERIFY(lateAgain.firstRefused);
        QCOMPARE(lateAgain.text, late.text);
        QCOMPARE(everything(), after);
        // Another driver's id of the same text is another request.
        QCOMPARE(apply(mark("m-7", k, PhoneAction::Done, "E", "S2")).text, QStringLiteral("Ez a tevékenység nem az Öné."));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM TELEFONJEL"), 3);
        // A request id that is none is refused without a trace.
        QCOMPARE(apply(mark("m 9", k, PhoneAction::Undone, "E")).text, QStringLiteral("A jelölés azonosítója hibás."));
        QCOMPARE(apply(mark(QString(65, QChar(u'a')), k, PhoneAction::Undone, "E")).text,
                 QStringLiteral("A jelölés azonosítója hibás."));
        QCOMPARE(apply(mark("m-9\n", k, PhoneAction::Undone, "E")).text, QStringLiteral("A jelölés azonosítója hibás."));
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM TELEFONJEL"), 3);
        QCOMPARE(everything(), after);
    }

    // The day sheet shows a phone-marked line in its own colour, the marker
    // and the driver first in its remark; the desk's undo makes it the desk's again.
    void daySheetMarker() {
        const PhoneKey k = activityKey(co->plain, "31", "KA");
        QCOMPARE(int(apply(mark("m-1", k, PhoneAction::Done, "T")).kind), int(PhoneMarkResult::Kind::Ok));
        DaySheet sheet(*co->db.conn, actionSession(), 1.27);
        sheet.LoadDaySheet(kDay);
        const DaySheetLine* l = findLine(sheet, co->sPlain, "KA");
        QVERIFY(l);
        QVERIFY(l->fromPhone);
        QCOMPARE(l->szin, QStringLiteral("FAKÓSÁRGA"));
        QCOMPARE(l->komment, FromPhoneText() + QStringLiteral(" (S1 Kovács Béla), 4500 Ft,  Kulcs a portán"));
        // The other lines are the desk's.
        for (const DaySheetLine& o : sheet.lines())
            if (&o != l) QVERIFY2(!o.fromPhone && !o.komment.contains(FromPhoneText()), qPrintable(o.komment));
        // The work table carries the colour for the grid.
        QCOMPARE(co->db.count(QStringLiteral("SELECT COUNT(*) FROM ") + sheet.tableName() +
                              QStringLiteral(" WHERE SZIN = 'FAKÓSÁRGA' AND KOMMENT STARTING WITH 'Telefonról jelölve'")),
                 1);
        // A colour of its own: known, and none of the classes' colours.
        QCOMPARE(vl::util::ColorFromName(l->szin), 0xFFFFF09Cu);
        for (const char* c : {"FAKÓZÖLD", "FAKÓLILA", "FEHÉR", "CLAQUA", "PIROS", "FAKÓKÉK"})
            QVERIFY(vl::util::ColorFromName(QString::fromUtf8(c)) != vl::util::ColorFromName(l->szin));

        ActivityActions desk(*co->db.conn, actionSession());
        QVERIFY(desk.markDone(sheet, l->tsorszam).answerAll(true).ok);
        QCOMPARE(activityRow(k), QStringLiteral("L|Kulcs a portán|||"));
        const DaySheetLine* after = findLine(sheet, co->sPlain, "KA");
        QVERIFY(after);
        QVERIFY(!after->fromPhone);
        QVERIFY(!after->komment.contains(FromPhoneText()));
    }
};

QTEST_GUILESS_MAIN(TstPhoneMarks)
#include "tst_operations_phonemarks.moc"
