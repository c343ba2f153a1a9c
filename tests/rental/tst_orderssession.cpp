// The orders workspace's session without a screen, on a real database: what
// the form shows (a customer, its sites, the order lists of a filter, the
// combos), and each of its actions as the form and vorlanda-admin call them:
// a line stored after its question, refused stores that change nothing, the
// product actions, the payment actions with their questions, the customer
// panel's checks, and the payment-mode change that follows the database when
// another desk changed the mode after the form had loaded the customer.
//
// Customer "C1" has two sites: S1 with a cash contract (one line of two
// items, delivery Monday 2026.03.02), S2 with a transfer contract of one
// line of one item. Customer "C9" has a payment mode missing from SZ_FIZMOD.
#include "tst_schedule_fixture.h"

#include "rental/OrdersSession.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"

#include <QtTest>
#include <memory>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {

const QString kToday = QStringLiteral("2026.02.20");

LineInput line(const QString& qty) {
    LineInput l;
    l.arucsoport = QStringLiteral("ALAP");
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

vl::shell::Session who() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TESZT");
    s.businessYear = 2026;
    return s;
}

} // namespace

class TstOrdersSession : public QObject {
    Q_OBJECT
    TestDb db;
    std::unique_ptr<OrdersSession> session;
    qint64 next = 700;

    QString value(const QString& sql, const vl::db::Params& p = {}) {
        auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : (rs.at(0, 0).isNull() ? QStringLiteral("NULL") : rs.at(0, 0).toString().trimmed());
    }
    QStringList rows(const QString& table, qint64 b) {
        auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b").arg(table), {{"b", b}});
        QStringList out;
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out << cells.join(u'|');
        }
        out.sort();
        return out;
    }
    QStringList contractRows(qint64 b) {
        QStringList all;
        for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"}) all << rows(QLatin1String(t), b);
        return all;
    }
    QStringList customerRows(const QString& c) {
        QStringList out;
        for (const char* t : {"UGYFEL", "UGYFELCIM"}) {
            auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 WHERE %2 = :c")
                                         .arg(QLatin1String(t), QLatin1String(qstrcmp(t, "UGYFEL") == 0 ? "KOD" : "UGYFELKOD")),
                                     {{"c", c}});
            while (rs.next()) {
                QStringList cells;
                for (int i = 0; i < rs.columnCount(); ++i) cells << rs.value(i).toString();
                out << cells.join(u'|');
            }
        }
        return out;
    }
    // A customer with one site "S" + key and a telephone (the panel's checks pass).
    void customer(const QString& c, const QString& fizmod, const QString& name) {
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, TELEFON, AKTIV) VALUES (:c, :n, :f, '+36 1 111 1111', 'I')",
                      {{"c", c}, {"n", name}, {"f", fizmod}});
    }
    void site(const QString& s, const QString& c, const QString& city) {
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON)"
                      " VALUES (:s, :c, 'Projekt', '6720', :v, 'Fő utca 1.', 'Kiss Anna', '+36 30 111 1111')",
                      {{"s", s}, {"c", c}, {"v", city}});
    }
    // A contract of the customer's site with one line of `qty` items, stored
    // by the session as the line panel does.
    qint64 contract(const QString& c, const QString& s, const QString& fizmod, const QString& qty = "2") {
        const qint64 b = ++next;
        db.conn->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD,"
                                     " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', :fm, '2026.03.02', :c, :s)"),
                      {{"b", b}, {"fm", fizmod}, {"c", c}, {"s", s}});
        LineStoreRequest rq;
        rq.customerKey = c;
        rq.siteKey = s;
        rq.input = line(qty);
        rq.today = kToday;
        const LineStoreOutcome r = session->storeLine(rq).answerAll(true);
        if (!r.ok) qWarning() << r.heading << r.messages;
        return b;
    }
    OrderFilter filter(const QString& c, const QString& s = QString(), const QString& status = QString()) {
        OrderFilter f;
        f.customerKey = c;
        f.siteKey = s;
        f.statusCode = status;
        return f;
    }
    QStringList column(const vl::db::RowSet& rs, const QString& col) {
        QStringList out;
        for (int r = 0; r < rs.rowCount(); ++r) out << rs.at(r, rs.indexOf(col)).toString().trimmed();
        return out;
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("UPDATE CEG SET AKTUALISEV = '2026'");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Ödön', 'I')");
        // A second mode of each cash flag: the change between two of one flag
        // leaves the contracts alone.
        db.conn->exec("INSERT INTO SZ_FIZMOD (KOD, NEV, KP) VALUES ('KP2', 'Bankkártya', 'I')");
        db.conn->exec("INSERT INTO SZ_FIZMOD (KOD, NEV, KP) VALUES ('ATU2', 'Csekk', 'N')");
        {
            auto tx = db.conn->begin();
            for (const char* kod : {"101", "102"}) ProductStore::StoreProduct(*tx, QLatin1String(kod), "ALAP", ProductFree);
            tx->commit();
        }
        session = std::make_unique<OrdersSession>(*db.conn, who());
        customer("C1", "KP", "Első Pult Kft.");
        site("S1", "C1", "Szeged");
        site("S2", "C1", "Makó");
        customer("C9", "NINCS", "Elveszett Mód Bt.");
    }

    // ---------------------------------------------------------------- what the form shows

    void loadsWhatTheFormShows() {
        const qint64 cash = contract("C1", "S1", "KP");
        const qint64 transfer = contract("C1", "S2", "ATU", "1");
        const LoadedCustomer l = session->loadCustomer("C1");
        QVERIFY(l.customer);
        QCOMPARE(l.customer->nev, QStringLiteral("Első Pult Kft."));
        QVERIFY(l.paymentModeKnown);
        QCOMPARE(l.paymentModeName, QStringLiteral("Készpénz"));
        QCOMPARE(l.cashFlag, QStringLiteral("I"));
        const LoadedCustomer lost = session->loadCustomer("C9");
        QVERIFY(lost.customer && !lost.paymentModeKnown);
        QCOMPARE(lost.missingModeText, QStringLiteral("Hova lett ez az fizmód? NINCS"));
        QVERIFY(!session->loadCustomer(QString()).customer);
        QCOMPARE(column(session->readSites("C1"), "KOD"), (QStringList{"S1", "S2"}));
        QCOMPARE(session->loadSite("S2")->varos, QStringLiteral("Makó"));

        // Every site, one site, and a status no contract has.
        const OrderLists all = session->readOrderLists(filter("C1"));
        QCOMPARE(column(all.lines, "BIZONYLAT"), (QStringList{QString::number(cash), QString::number(transfer)}));
        QCOMPARE(all.products.rowCount(), 3);
        const OrderLists first = session->readOrderLists(filter("C1", "S1"));
        QCOMPARE(column(first.lines, "BIZONYLAT"), QStringList{QString::number(cash)});
        QCOMPARE(column(first.products, "SORSZAM"), (QStringList{"1", "2"}));
        QVERIFY(first.payments.rowCount() > 0);
        QCOMPARE(session->readOrderLists(filter("C1", "S2")).payments.rowCount(), 0);   // not cash: not billed
        const OrderLists closed = session->readOrderLists(filter("C1", QString(), "LEZ"));
        QCOMPARE(closed.lines.rowCount() + closed.products.rowCount() + closed.payments.rowCount(), 0);
        const OrderLists items = session->readItemLists(filter("C1", "S1"));
        QCOMPARE(items.products.rowCount(), 2);
        QCOMPARE(items.lines.rowCount(), 0);
        const OrderLists none = session->readOrderLists(filter(QString()));
        QCOMPARE(none.lines.rowCount() + none.products.rowCount(), 0);
        // The activities of product 1 up to a day, latest first: the Monday
        // visits from the week after the delivery, then the delivery.
        QCOMPARE(column(session->readActivities(ItemKey{cash, 1, 1, 1}, "*", "2026.03.16"), "DATUM"),
                 (QStringList{"2026.03.16", "2026.03.09", "2026.03.02"}));
        QCOMPARE(column(session->readActivities(ItemKey{cash, 1, 1, 1}, "*", "2026.03.08"), "DATUM"), QStringList{"2026.03.02"});
        // The combos, in name order.
        QCOMPARE(column(session->readDictionary(Dictionary::PaymentModes), "KOD"),
                 (QStringList{"ATU", "KP2", "ATU2", "ELO", "KP"}));
        QCOMPARE(column(session->readDictionary(Dictionary::AllDrivers), "KOD"), (QStringList{"S1", "S2"}));
        QCOMPARE(column(session->readCustomerChooser(true, false), "KOD"), (QStringList{"C1", "C9"}));
    }

    // ---------------------------------------------------------------- lines

    // A free line asks first; "Nem" refuses and writes nothing, "Igen" stores.
    void storeLineAsksFirst() {
        const qint64 b = contract("C1", "S2", "ATU", "1");
        const QStringList before = contractRows(b);
        LineStoreRequest rq;
        rq.customerKey = "C1";
        rq.siteKey = "S2";
        rq.input = line("1");
        rq.input.nettoar = "0";
        rq.today = kToday;
        const LineStoreOutcome asked = session->storeLine(rq);
        QCOMPARE(asked.question, QStringLiteral("Biztos, hogy ingyen kapja?"));
        QCOMPARE(contractRows(b), before);
        const LineStoreOutcome no = asked.proceed(false);
        QVERIFY(!no.ok && !no.asks());
        QCOMPARE(no.heading, OrdersWorkspace::LineHeading());
        QCOMPARE(contractRows(b), before);
        const LineStoreOutcome yes = asked.answerAll(true);
        QVERIFY2(yes.ok, qPrintable(yes.messages.join('|')));
        QCOMPARE(yes.bizonylat, b);
        QCOMPARE(yes.tetelsor, qint64(2));
        QCOMPARE(value("SELECT NETTOAR FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = 2", {{"b", b}}), "0");
    }

    // Every refusal of the line store leaves the contract as it was.
    void refusedStoreChangesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("reload");
        QTest::newRow("delivery day missing") << "date" << "Nincs a kiszállítás napja megadva" << "e_kiszall" << false;
        QTest::newRow("quantity lowered") << "down" << OrdersWorkspace::QuantityDownText() << "" << false;
        QTest::newRow("changed on another desk") << "elsewhere" << ProductRegister::ContractChangedElsewhereText() << ""
                                                 << true;
        QTest::newRow("a site without an open contract") << "nocontract" << OrdersWorkspace::NoOrderText() << "" << false;
    }
    void refusedStoreChangesNothing() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, focus);
        QFETCH(bool, reload);
        db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, VAROS) VALUES ('S7', 'C1', 'Üres') ");
        const qint64 b = contract("C1", "S1", "KP");
        const QStringList before = contractRows(b);
        LineStoreRequest rq;
        rq.customerKey = "C1";
        rq.siteKey = "S1";
        rq.bizonylat = b;
        rq.tetelsor = 1;
        rq.input = line("2");
        rq.today = kToday;
        if (name == "date") rq.input.kiszall.clear();
        if (name == "down") rq.input.mennyiseg = "1";
        if (name == "elsewhere")   // not the version stored now
            rq.loadedRecordVersion =
                value("SELECT RDB$RECORD_VERSION FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}).toLongLong() + 1000;
        if (name == "nocontract") {
            rq.siteKey = "S7";
            rq.bizonylat = rq.tetelsor = 0;
        }
        const LineStoreOutcome r = session->storeLine(rq).answerAll(true);
        db.conn->exec("DELETE FROM UGYFELCIM WHERE KOD = 'S7'");
        QVERIFY(!r.ok);
        QVERIFY2(r.messages.contains(text), qPrintable(r.messages.join('|')));
        QCOMPARE(r.focus, focus);
        QCOMPARE(r.reload, reload);
        QCOMPARE(contractRows(b), before);
    }

    // ---------------------------------------------------------------- products

    void itemActions() {
        const qint64 b = contract("C1", "S1", "KP");
        // A delivery day that is no day: refused, on the delivery field, nothing written.
        QStringList before = contractRows(b);
        ItemStoreRequest rq;
        rq.items = {ItemKey{b, 1, 1, 1}};
        rq.source = session->readItemPanel(rq.items.front());
        rq.panel = rq.source;
        rq.panel.kiszall = "2026.02.30";
        rq.activityDate = "2026.03.20";
        rq.today = kToday;
        ItemStoreOutcome bad = session->storeItems(rq);
        QVERIFY(!bad.ok);
        QCOMPARE(bad.focus, QStringLiteral("e_kiszallkab"));
        QCOMPARE(contractRows(b), before);
        // A new driver for product 1.
        rq.panel = rq.source;
        rq.panel.soforkod = "S2";
        const ItemStoreOutcome stored = session->storeItems(rq);
        QVERIFY2(stored.ok, qPrintable(stored.messages.join('|')));
        QVERIFY(stored.messages.value(0).startsWith("1 termék tárolva"));
        QCOMPARE(value("SELECT SOFORKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}}), "S2");
        // The removal asks ("Nem" under Enter); "Nem" keeps the product.
        before = contractRows(b);
        const SummaryOutcome asked = session->removeItem(ItemKey{b, 1, 1, 2});
        QCOMPARE(asked.question, OrdersItems::RemoveQuestion());
        QVERIFY(asked.questionDefaultNo);
        const SummaryOutcome kept = asked.proceed(false);
        QVERIFY(!kept.ok && kept.messages.isEmpty());
        QCOMPARE(contractRows(b), before);
        QVERIFY(asked.proceed(true).ok);
        QCOMPARE(value("SELECT COUNT(*) || '/' || MAX(SORSZAM) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), "1/1");
        QCOMPARE(value("SELECT MENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b", {{"b", b}}), "1");
        // The number of product 1, then the same number again: nothing to write.
        const auto changed = session->changeNumber(ItemKey{b, 1, 1, 1}, "101");
        QVERIFY2(changed.ok && changed.changed, qPrintable(changed.messages.join('|')));
        QCOMPARE(value("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 1", {{"b", b}}), "101");
        const auto same = session->changeNumber(ItemKey{b, 1, 1, 1}, "101");
        QVERIFY(same.ok && !same.changed);
        QCOMPARE(session->readReturnDocumentDate(ItemKey{b, 1, 1, 1}), QStringLiteral("2026.04.27"));
    }

    // ---------------------------------------------------------------- payments

    void paymentActions() {
        const qint64 b = contract("C1", "S1", "KP");
        PaymentEntry e;
        e.bizonylat = b;
        e.amount = "-";
        e.from = "2026.05.01";
        e.to = session->proposePeriodEnd(b, "2026.05.01");
        QCOMPARE(e.to, QStringLiteral("2026.05.31"));
        e.soforkod = session->readFirstLineDriver(b);
        QCOMPARE(e.soforkod, QStringLiteral("S1"));
        e.now = "2026.03.05 10:20";
        QStringList before = contractRows(b);
        const PaymentOutcome bad = session->recordPayment(e);
        QVERIFY(!bad.ok);
        QCOMPARE(bad.messages, QStringList{Payments::RefusalText({Payments::AmountText()})});
        QCOMPARE(contractRows(b), before);
        e.amount = "10000";
        const PaymentOutcome paid = session->recordPayment(e);
        QVERIFY2(paid.ok, qPrintable(paid.messages.join('|')));
        QCOMPARE(paid.tevallapot, QStringLiteral("E"));
        const PaymentRow row = session->readPaymentRow(paid.key);
        QVERIFY(row.found);
        QCOMPARE(row.datum2, QStringLiteral("2026.05.31"));

        // Taking the paid mark back asks; "Nem" changes nothing.
        before = contractRows(b);
        const PaymentOutcome unpay = session->togglePaid(row);
        QCOMPARE(unpay.question, Payments::UnpayQuestion());
        QVERIFY(!unpay.proceed(false).ok);
        QCOMPARE(contractRows(b), before);
        // Deleting a paid row asks twice; a "Nem" to either changes nothing.
        const PaymentOutcome del = session->deletePayment(row);
        QCOMPARE(del.question, Payments::DeleteQuestion(row));
        const PaymentOutcome second = del.proceed(true);
        QCOMPARE(second.question, Payments::PaidDeleteQuestion());
        QVERIFY(!second.proceed(false).ok);
        QVERIFY(!del.proceed(false).ok);
        QCOMPARE(contractRows(b), before);
        QVERIFY(del.answerAll(true).ok);
        QVERIFY(!session->readPaymentRow(paid.key).found);
    }

    // ---------------------------------------------------------------- the customer panel

    void customerPanel() {
        // The checks in one message; nothing written.
        std::optional<vl::customers::Customer> c = session->loadCustomer("C1").customer;
        QVERIFY(c);
        const QStringList before = customerRows("C1");
        vl::customers::Customer empty = *c;
        empty.nev.clear();
        empty.telefon.clear();
        const CustomerOutcome invalid = session->storeCustomer(empty);
        QVERIFY(!invalid.ok && !invalid.asks() && !invalid.reload);
        QCOMPARE(invalid.messages, QStringList{OrdersSession::customerErrorText(
                                       {vl::customers::texts::customerNameEmpty(), vl::customers::texts::phonesEmpty()})});
        // A new customer of a name that exists: the question; "Nem" stores nothing.
        vl::customers::Customer twin = vl::customers::CustomerService::newCustomer();
        twin.nev = "első pult kft.";
        twin.fizmod = "KP";
        twin.telefon = "1";
        const CustomerOutcome asked = session->storeCustomer(twin);
        QVERIFY2(asked.question.startsWith("Már van ilyen nevű ügyfél.\nElső Pult Kft. "), qPrintable(asked.question));
        QVERIFY(asked.question.endsWith("\nBiztosan felviszi az ügyfél adatait?"));
        QVERIFY(!asked.proceed(false).ok);
        QCOMPARE(value("SELECT COUNT(*) FROM UGYFEL WHERE UPPER(NEV) = 'ELSŐ PULT KFT.'"), "1");
        QCOMPARE(customerRows("C1"), before);
        // A customer with contracts is not deleted; a site is, after its question.
        const vl::Outcome refused = session->deleteCustomer("C1");
        QCOMPARE(refused.messages, QStringList{vl::customers::texts::customerInUse()});
        site("S8", "C1", "Szentes");
        const vl::Outcome askSite = session->deleteSite("S8", "C1");
        QCOMPARE(askSite.question, OrdersSession::siteDeleteQuestion());
        QVERIFY(askSite.questionDefaultNo);
        QVERIFY(askSite.proceed(true).ok);
        QVERIFY(!session->loadSite("S8"));
    }

    // ---------------------------------------------------------------- the payment mode

    // The form loaded the customer; another desk then changed its payment
    // mode. The form's change to a third mode of the same cash flag as the
    // desk's leaves the contracts as the desk left them: the old cash flag is
    // the database's, not the one the form read. The form's first store, on
    // the version it read, is refused and the panel reloads; the command goes
    // the same way without a panel.
    void paymentModeFollowsTheDatabase_data() {
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("desk");
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("command");
        QTest::newRow("cash -> transfer elsewhere, the form: another transfer") << "KP" << "ATU" << "ATU2" << false;
        QTest::newRow("transfer -> cash elsewhere, the form: another cash mode") << "ATU" << "KP" << "KP2" << false;
        QTest::newRow("cash -> transfer elsewhere, the command: another transfer") << "KP" << "ATU" << "ATU2" << true;
    }
    void paymentModeFollowsTheDatabase() {
        QFETCH(QString, loaded);
        QFETCH(QString, desk);
        QFETCH(QString, form);
        QFETCH(bool, command);
        const QString c = QStringLiteral("M%1").arg(next + 1);
        const QString s = QStringLiteral("MS%1").arg(next + 1);
        customer(c, loaded, QStringLiteral("Mód %1 Kft.").arg(next + 1));
        site(s, c, "Szeged");
        const qint64 b = contract(c, s, loaded);
        const std::optional<vl::customers::Customer> shown = session->loadCustomer(c).customer;
        QVERIFY(shown);

        // Another desk, on its own connection.
        auto other = vl::db::connect(embeddedParams(db.path));
        OrdersSession desk2(*other, who());
        const SummaryOutcome d = desk2.changePaymentMode(c, desk);
        QVERIFY2(d.ok && d.contracts == 1, qPrintable(d.messages.join('|')));
        other->close();
        const QStringList afterDesk = contractRows(b);
        QCOMPARE(value("SELECT FIZMOD FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}}), desk);

        if (command) {
            const SummaryOutcome o = session->changePaymentMode(c, form);
            QVERIFY(o.ok);
            QCOMPARE(o.contracts, 0);
        } else {
            vl::customers::Customer typed = *shown;
            typed.fizmod = form;
            const CustomerOutcome stale = vl::askedThroughSink(session->storeCustomer(typed));
            QVERIFY(!stale.ok && stale.reload);
            QCOMPARE(stale.messages, QStringList{vl::customers::CustomerStore::ChangedElsewhereText()});
            QCOMPARE(value("SELECT FIZMOD FROM UGYFEL WHERE KOD = :c", {{"c", c}}), desk);
            // The panel shows what is stored now; the user picks the third mode again.
            const LoadedCustomer reloaded = session->loadCustomer(c);
            QCOMPARE(reloaded.customer->fizmod, desk);
            typed = *reloaded.customer;
            typed.fizmod = form;
            const CustomerOutcome o = session->storeCustomer(typed);
            QVERIFY2(o.ok, qPrintable(o.messages.join('|')));
            QVERIFY(o.modeChanged);
            QCOMPARE(o.summary.contracts, 0);
        }
        QCOMPARE(value("SELECT FIZMOD FROM UGYFEL WHERE KOD = :c", {{"c", c}}), form);
        QCOMPARE(contractRows(b), afterDesk);
    }
};

QTEST_GUILESS_MAIN(TstOrdersSession)
#include "tst_orderssession.moc"
