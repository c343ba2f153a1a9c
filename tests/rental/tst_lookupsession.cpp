// The rental lookup's session without a screen, as the form uses it: what the
// filters offer, the list a filter finds and its refusals (with the control
// at fault), the contract opened for viewing or changing, and each status
// action: its question as data with "Nem" the default, "Nem" writing
// nothing, "Igen" writing the contract and its cabins, a refusal changing
// nothing.
#include "RentalTestDb.h"

#include "rental/LookupSession.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QtTest>

using namespace vl::rental;
using vl::rental::test::TestDb;

namespace {

ContractFilter everything() {
    ContractFilter f;
    f.modes = {QStringLiteral("HT"), QStringLiteral("HO"), QStringLiteral("ALK")};
    f.statuses = {QStringLiteral("FO"), QStringLiteral("LEZ"), QStringLiteral("X")};
    return f;
}

QStringList column(const vl::db::RowSet& rs, const char* name) {
    QStringList l;
    const int c = rs.indexOf(QString::fromLatin1(name));
    for (int r = 0; r < rs.rowCount(); ++r) l << rs.at(r, c).toString().trimmed();
    return l;
}

} // namespace

class TstLookupSession : public QObject {
    Q_OBJECT
    TestDb db;
    vl::shell::Session who;
    std::unique_ptr<LookupSession> lookup;
    // Any question that reaches the sink is a fault: the session only returns them.
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> use;
    qint64 next = 100;

    void header(qint64 b, const QString& ugyfel, const QString& cim, const QString& bermod, const QString& status,
                const QString& kezd, const QString& veg, const QString& elozo = QString()) {
        db.conn->exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, BERVEG, UGYFELKOD,"
                      " UGYFELCIM, STATUSELOZO) VALUES (:b, 1, 'I', :st, :bm, 'ATU', :k, :v, :u, :c, :e)",
                      {{"b", b}, {"st", status}, {"bm", bermod}, {"k", kezd}, {"v", veg}, {"u", ugyfel}, {"c", cim},
                       {"e", elozo}});
    }
    // One line of ALAP with one cabin not yet back, the cabin settled by the product service.
    void cabinOn(qint64 b, const QString& aru) {
        db.conn->exec("UPDATE OR INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG,"
                      " SOFORKOD) VALUES (:b, 1, 1, 'ALAP', 1, 0, 'S1') MATCHING (BIZONYLAT, VERZIO, TETELSOR)",
                      {{"b", b}});
        db.conn->exec("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL) VALUES (:b, 1, 1,"
                      " (SELECT COUNT(*) + 1 FROM FORGKABIN WHERE BIZONYLAT = :b2), :a, '2026.01.10')",
                      {{"b", b}, {"b2", b}, {"a", aru}});
        db.conn->exec("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'SZA')", {{"k", aru}});
        auto tx = db.conn->begin();
        ProductStore::UpdateProductStatus(*tx, aru);
        tx->commit();
    }
    QString cabin(const QString& kod) {
        auto rs = db.conn->query("SELECT ALLAPOT, BIZONYLAT FROM ARU WHERE KOD = :k", {{"k", kod}});
        return rs.at(0, 0).toString().trimmed() + QLatin1Char('|') +
               (rs.at(0, 1).isNull() ? QStringLiteral("-") : rs.at(0, 1).toString());
    }
    // "STATUS|STATUSELOZO|BERVEG|JUZER" of a contract.
    QString head(qint64 b) {
        auto rs = db.conn->query("SELECT STATUS, STATUSELOZO, BERVEG, JUZER FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}});
        QStringList l;
        for (int c = 0; c < rs.columnCount(); ++c) l << rs.at(0, c).toString().trimmed();
        return l.join(u'|');
    }
    QStringList snapshot() {
        QStringList rows;
        for (const char* sql : {"SELECT * FROM FORGFEJ ORDER BY BIZONYLAT", "SELECT * FROM ARU ORDER BY KOD"}) {
            auto rs = db.conn->query(QString::fromLatin1(sql));
            while (rs.next()) {
                QStringList r;
                for (int c = 0; c < rs.columnCount(); ++c) r << rs.value(c).toString();
                rows << r.join(u'|');
            }
        }
        return rows;
    }
    // The row of the list for a contract, as the form hands it over.
    QVariantMap row(qint64 b) {
        ContractFilter f = everything();
        f.number = QString::number(b);
        const LookupOutcome o = lookup->search(f);
        QVariantMap m;
        if (o.rows.rowCount() != 1) return m;
        for (int c = 0; c < o.rows.columnCount(); ++c) m.insert(o.rows.columns().at(c).name.toUpper(), o.rows.at(0, c));
        return m;
    }
    vl::Outcome act(const QString& action, qint64 b, qint64 rv = 0) {
        if (action == "cancel") return lookup->cancel(b, 1, rv);
        if (action == "restore") return lookup->restore(b, 1, rv);
        if (action == "reopen") return lookup->reopen(b, 1, rv);
        return lookup->cancelOrRestore(b, 1, rv);
    }

private slots:
    void initTestCase() {
        db.create();
        who.userCode = QStringLiteral("TESZT");
        lookup = std::make_unique<LookupSession>(*db.conn, who);
        use = std::make_unique<vl::ScopedSink>(&sink);
        // An inactive driver is still offered: the lookup finds old contracts too.
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Antal Ádám', 'N')");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('101', 'Ökör Kft.', 'I')");
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('102', 'okos Bt.', 'I')");
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV) VALUES ('1011', '101', 'Telep A')");
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV) VALUES ('1021', '102', 'Raktár')");
        //   1 Ökör HT FO, cabin 701 out         3 okos HT X (was FO)
        //   2 Ökör ALK LEZ 02.01-02.03          4 okos HT FO, cabin 704 out, its delivery done
        header(1, "101", "1011", "HT", "FO", "2026.01.10", "");
        header(2, "101", "1011", "ALK", "LEZ", "2026.02.01", "2026.02.03");
        header(3, "102", "1021", "HT", "X", "2026.01.05", "", "FO");
        header(4, "102", "1021", "HT", "FO", "2026.03.01", "");
        cabinOn(1, "701");
        cabinOn(4, "704");
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT)"
                      " VALUES (4, 1, 1, 1, '2026.03.01', 1, 'KIH', 'E')");
    }
    void init() { sink.clear(); }
    void cleanup() { QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.texts().join(" / "))); }

    // What the filters offer, in the screens' order.
    void filters() {
        const vl::db::RowSet drivers = lookup->drivers();
        QCOMPARE(column(drivers, "KOD"), (QStringList{"S2", "S1"}));
        QCOMPARE(column(drivers, "NEV"), (QStringList{QStringLiteral("Antal Ádám"), QStringLiteral("Kovács Péter")}));
        QCOMPARE(column(lookup->productGroups(), "KOD"), (QStringList{"AKM", "ALAP", "Ek", "VIP", "ZUH"}));
        QCOMPARE(column(lookup->rentalModes(), "NEV").first(), QStringLiteral("Határozott idejű bérlet"));
        QCOMPARE(lookup->allRentalModes(), (QStringList{"HO", "HT", "ALK"}));
        QCOMPARE(column(lookup->contractStatuses(), "KOD"), (QStringList{"FO", "LEZ", "X"}));
        QCOMPARE(lookup->allStatuses(), (QStringList{"FO", "LEZ", "X"}));
        QCOMPARE(lookup->legend(),
                 QStringLiteral("Színek jelentése: ZÖLD = Folyamatban, SZÜRKE = Lezárt, PIROS = Sztornózott, "));
        QCOMPARE(LookupSession::orderNames().size(), 6);
        QCOMPARE(LookupSession::orderNames().at(5), QStringLiteral("Bizonylatszám"));
    }

    // The list of a filter, or its refusal with the control at fault.
    void search_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QList<qint64>>("numbers");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("replacesList");
        const QList<qint64> none;
        QTest::newRow("everything") << "" << "" << QList<qint64>{3, 4, 1, 2} << "" << "" << true;
        QTest::newRow("by number") << "order" << "6" << QList<qint64>{1, 2, 3, 4} << "" << "" << true;
        QTest::newRow("prefix") << "customer" << QStringLiteral("ÖKÖR") << QList<qint64>{1, 2} << "" << "" << true;
        QTest::newRow("cancelled only") << "status" << "X" << QList<qint64>{3} << "" << "" << true;
        QTest::newRow("period not used") << "unused period" << "2026.02.30" << QList<qint64>{3, 4, 1, 2} << "" << ""
                                         << true;
        QTest::newRow("period from") << "from" << "2026.02.01" << QList<qint64>{4, 2} << "" << "" << true;
        QTest::newRow("bad from") << "from" << "2026.02.30" << none << QStringLiteral("Hibás dátum.\n2026.02.30")
                                  << "e_tol" << false;
        QTest::newRow("bad to, undotted") << "to" << "20261301" << none << QStringLiteral("Hibás dátum.\n2026.13.01")
                                          << "e_ig" << false;
        QTest::newRow("no mode") << "modes" << "" << none << ContractSearch::NoModeText() << "" << true;
        QTest::newRow("no status") << "status" << "" << none << ContractSearch::NoStatusText() << "" << true;
        QTest::newRow("letters in the number") << "number" << "1x" << none << ContractSearch::BadNumberText("1x")
                                               << "e_bizszam" << true;
    }
    void search() {
        QFETCH(QString, what);
        QFETCH(QString, value);
        QFETCH(QList<qint64>, numbers);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(bool, replacesList);
        ContractFilter f = everything();
        if (what == "order") f.order = value.toInt();
        else if (what == "customer") f.customerText = value;
        else if (what == "status") f.statuses = value.isEmpty() ? QStringList() : QStringList{value};
        else if (what == "modes") f.modes = {};
        else if (what == "number") f.number = value;
        else if (what == "unused period") f.from = value;
        else if (what == "from") { f.usePeriod = true; f.from = value; }
        else if (what == "to") { f.usePeriod = true; f.to = value; }
        const LookupOutcome o = lookup->search(f);
        QCOMPARE(o.ok, message.isEmpty());
        QCOMPARE(o.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(o.focus, focus);
        QCOMPARE(o.replacesList, replacesList);
        // The period's message is the date check's information; the others are warnings.
        if (!o.ok) QCOMPARE(o.warning, focus != "e_tol" && focus != "e_ig");
        QList<qint64> got;
        for (const QString& n : column(o.rows, "BIZONYLAT")) got << n.toLongLong();
        QCOMPARE(got, numbers);
        if (o.ok) QVERIFY(o.rows.indexOf(QStringLiteral("RV")) >= 0);
    }

    // View and modify name the contract for contract entry; a status that may not be changed refuses modify.
    void viewAndModify() {
        const OpenOutcome v = lookup->view(row(1));
        QVERIFY(v.ok);
        QCOMPARE(v.params(), (QVariantMap{{"Mode", "view"}, {"Contract", qint64(1)}, {"Version", 1}}));
        const OpenOutcome m = lookup->modify(row(1));
        QVERIFY(m.ok);
        QCOMPARE(m.params().value("Mode").toString(), QStringLiteral("modify"));
        QCOMPARE(m.contract, qint64(1));
        // Closed: viewed, not modified.
        QVERIFY(lookup->view(row(2)).ok);
        const OpenOutcome closed = lookup->modify(row(2));
        QVERIFY(!closed.ok);
        QCOMPARE(closed.messages, QStringList{QStringLiteral("Lezárt szerződés nem módosítható.")});
        // The handover document of the occasional rental runs to its end.
        const HandoverArgs h = lookup->handover(row(2));
        QCOMPARE(h.params().value("Date").toString(), QStringLiteral("2026.02.01"));
        QCOMPARE(h.params().value("EndDate").toString(), QStringLiteral("2026.02.03"));
    }

    // Each action asks as data, "Nem" the default; "Nem" writes nothing, "Igen" writes.
    void actions_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("cabinAfter");
        const QString today = vl::util::TodayStr();
        QTest::newRow("cancel") << "cancel" << "FO" << "" << ContractSearch::CancelQuestion() << "X|FO||TESZT" << "SZA|-";
        QTest::newRow("stornó of a running one") << "stornó" << "FO" << "" << ContractSearch::CancelQuestion()
                                                 << "X|FO||TESZT" << "SZA|-";
        QTest::newRow("restore a closed one") << "restore" << "X" << "LEZ" << ContractSearch::RestoreQuestion()
                                              << "LEZ|||TESZT" << "FOG|";
        QTest::newRow("stornó of a cancelled one") << "stornó" << "X" << "FO" << ContractSearch::RestoreQuestion()
                                                   << "FO|||TESZT" << "FOG|";
        QTest::newRow("reopen") << "reopen" << "LEZ" << "" << ContractSearch::ReopenQuestion() << "FO|||TESZT"
                                << "FOG|";
    }
    void actions() {
        QFETCH(QString, action);
        QFETCH(QString, status);
        QFETCH(QString, earlier);
        QFETCH(QString, question);
        QFETCH(QString, after);
        QFETCH(QString, cabinAfter);
        const qint64 b = ++next;
        const QString aru = QString::number(800 + b);
        header(b, "101", "1011", "HT", status, "2026.04.01", "", earlier);
        cabinOn(b, aru);
        const QStringList before = snapshot();
        const vl::Outcome asked = act(action, b, row(b).value("RV").toLongLong());
        QVERIFY(asked.asks());
        QCOMPARE(asked.question, question);
        QVERIFY(asked.questionDefaultNo);
        QVERIFY(!asked.ok);
        QCOMPARE(snapshot(), before);   // nothing written while the question is open

        const vl::Outcome no = asked.proceed(false);
        QVERIFY(!no.ok);
        QVERIFY(!no.asks());
        QVERIFY(no.messages.isEmpty());
        QCOMPARE(snapshot(), before);

        const vl::Outcome yes = asked.proceed(true);
        QVERIFY2(yes.ok, qPrintable(yes.messages.join(" / ")));
        QCOMPARE(head(b), after);
        QCOMPARE(cabin(aru), cabinAfter.endsWith(u'|') ? cabinAfter + QString::number(b) : cabinAfter);
    }

    // A refused action: its sentence, nothing written, whatever is answered.
    void refusals_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<qint64>("contract");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("cancel after a done delivery") << "cancel" << qint64(4) << "" << ContractSearch::DoneActivityText();
        QTest::newRow("cancel a cancelled one") << "cancel" << qint64(3) << "" << ContractSearch::AlreadyCancelledText();
        QTest::newRow("restore a running one") << "restore" << qint64(1) << "" << ContractSearch::NotCancelledText();
        QTest::newRow("reopen a running one") << "reopen" << qint64(1) << "" << ContractSearch::OnlyClosedText();
        QTest::newRow("reopen a cancelled one") << "reopen" << qint64(3) << "" << ContractSearch::OnlyClosedText();
        QTest::newRow("no such contract") << "stornó" << qint64(999) << "" << QStringLiteral("Nincs ilyen szerződés: 999");
        QTest::newRow("changed elsewhere") << "stornó" << qint64(1) << "changed"
                                           << ProductRegister::ContractChangedElsewhereText();
        QTest::newRow("restore with a cabin out elsewhere") << "restore" << qint64(0) << "cabin out"
                                                            << ContractSearch::NotFreeText() + QStringLiteral("\n750");
    }
    void refusals() {
        QFETCH(QString, action);
        QFETCH(qint64, contract);
        QFETCH(QString, setup);
        QFETCH(QString, message);
        qint64 rv = contract == 999 ? 0 : row(contract).value("RV").toLongLong();
        if (setup == "changed") {
            db.conn->exec("UPDATE FORGFEJ SET KOMMENT = 'máshol' WHERE BIZONYLAT = :b", {{"b", contract}});
        } else if (setup == "cabin out") {
            // A cancelled contract whose cabin went out on another one meanwhile.
            contract = ++next;
            header(contract, "102", "1021", "HT", "X", "2026.04.01", "", "FO");
            cabinOn(contract, "750");
            const qint64 other = ++next;
            header(other, "101", "1011", "HT", "FO", "2026.04.02", "");
            cabinOn(other, "750");
            rv = 0;
        }
        const QStringList before = snapshot();
        const vl::Outcome o = act(action, contract, rv).answerAll(true);
        QVERIFY(!o.ok);
        QCOMPARE(o.messages, QStringList{message});
        QVERIFY(o.warning);
        QCOMPARE(LookupSession::changedElsewhere(o), setup == "changed");
        QCOMPARE(snapshot(), before);
    }
};

QTEST_GUILESS_MAIN(TstLookupSession)
#include "tst_lookupsession.moc"
