// The customer-and-site service on a real database: the checks and their
// messages in order, the duplicate-name question, a new customer's defaults,
// the delete refusals (a cancelled contract too), two connections storing at
// once, a store that fails half-way, the "IN" flags, the search of the list
// and the site status filter with its code bound.
#include "RentalTestDb.h"

#include "customers/ContractLinks.h"
#include "customers/CustomerSearch.h"
#include "customers/CustomerService.h"
#include "db/TxScope.h"
#include "rental/CustomerLinks.h"
#include "util/MessageSink.h"

using namespace vl::customers;
using vl::rental::test::TestDb;

namespace {

Customer sample(const QString& name) {
    Customer c = CustomerService::newCustomer();
    c.nev = name;
    c.fizmod = QStringLiteral("KP");
    c.telefon = QStringLiteral("+36 1 555 0000");
    c.irszam = QStringLiteral("2030");
    c.varos = QStringLiteral("Érd");
    c.utca = QStringLiteral("Fő utca 1.");
    return c;
}

Site sampleSite(const QString& owner) {
    Site s;
    s.ugyfelkod = owner;
    s.nev = QStringLiteral("Telephely");
    s.irszam = QStringLiteral("2030");
    s.varos = QStringLiteral("Érd");
    s.utca = QStringLiteral("Budai út 2.");
    s.szemely = QStringLiteral("Kiss Anna");
    s.telefon = QStringLiteral("+36 30 555 0000");
    return s;
}

} // namespace

class TestService : public QObject {
    Q_OBJECT
    TestDb db;

    qint64 customers() { return db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")); }
    qint64 sites() { return db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM")); }
    qint64 sites(const QString& owner) {
        return db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k"), {{QStringLiteral("k"), owner}});
    }
    QString stored(const QString& name) {
        Customer c = sample(name);
        const auto r = CustomerService::storeCustomer(*db.conn, nullptr, c, DuplicatePolicy::Allow);
        return r.key;
    }
    QString storedSite(const QString& owner) {
        Site s = sampleSite(owner);
        return CustomerService::storeSite(*db.conn, nullptr, s).key;
    }
    void contract(const QString& customer, const QString& site, const QString& status) {
        db.conn->exec(QStringLiteral("INSERT INTO FORGFEJ (VERZIO, AKTIV, STATUS, UGYFELKOD, UGYFELCIM) "
                                     "VALUES (1, 'I', :st, :u, :c)"),
                      {{QStringLiteral("st"), status}, {QStringLiteral("u"), customer}, {QStringLiteral("c"), site}});
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        db.create();
        vl::rental::registerCustomerLinks();
    }

    // The errors of a customer, all of them, in the order the form lists them.
    void customerErrors_data() {
        QTest::addColumn<QString>("nev");
        QTest::addColumn<QString>("fizmod");
        QTest::addColumn<QString>("telefon");
        QTest::addColumn<QString>("mobiltel");
        QTest::addColumn<bool>("update");
        QTest::addColumn<QStringList>("errors");
        const QStringList none;
        QTest::newRow("all empty") << "" << "" << "" << "" << false
                                   << QStringList{texts::customerNameEmpty(), texts::paymentEmpty(), texts::phonesEmpty()};
        QTest::newRow("blank name and phones") << "   " << "KP" << "  " << " " << false
                                               << QStringList{texts::customerNameEmpty(), texts::phonesEmpty()};
        QTest::newRow("mobile alone is enough") << "Mobil Kft." << "KP" << "" << "+36 30 1" << false << none;
        QTest::newRow("phone alone is enough") << "Vezetékes Kft." << "KP" << "06 1 2" << "" << false << none;
        QTest::newRow("new customer, any payment") << "Átutaló Kft." << "ATU" << "1" << "" << false << none;
        QTest::newRow("payment changed on update") << "Régi Kft." << "ATU" << "1" << "" << true
                                                   << QStringList{texts::paymentChanged()};
        QTest::newRow("unknown payment") << "Furcsa Kft." << "O'X" << "1" << "" << false
                                         << QStringList{QStringLiteral("Nincs ilyen fizetési mód: O'X")};
        QTest::newRow("over-long name") << QString(61, u'Ő') << "KP" << "1" << "" << false
                                        << QStringList{QStringLiteral("A(z) \"Név\" legfeljebb 60 karakter lehet (most 61)")};
    }
    void customerErrors() {
        QFETCH(QString, nev);
        QFETCH(QString, fizmod);
        QFETCH(QString, telefon);
        QFETCH(QString, mobiltel);
        QFETCH(bool, update);
        QFETCH(QStringList, errors);
        Customer c = sample(QStringLiteral("Régi Kft."));
        if (update) QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, c, DuplicatePolicy::Allow).ok);
        c.nev = nev;
        c.fizmod = fizmod;
        c.telefon = telefon;
        c.mobiltel = mobiltel;
        const qint64 before = customers();
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        sink.answers = {0};
        const auto r = CustomerService::storeCustomer(*db.conn, nullptr, c, DuplicatePolicy::Refuse);
        QCOMPARE(r.errors, errors);
        if (errors.isEmpty()) {
            QVERIFY(r.ok);
            QCOMPARE(customers(), before + (update ? 0 : 1));
        } else {
            QCOMPARE(r.outcome, StoreResult::Outcome::Invalid);
            QCOMPARE(customers(), before);
        }
        QVERIFY(sink.messages.isEmpty());
    }

    void customerErrorText() {
        QCOMPARE(CustomerService::customerErrorText({texts::customerNameEmpty(), texts::phonesEmpty()}),
                 QStringLiteral("AZ adatokban az alábbi hibák vannak:\n\nAz ügyfél neve nem lehet üres\n"
                                "Mindkét telefonszám nem lehet üres\n"));
        QCOMPARE(CustomerService::siteErrorText({texts::cityEmpty()}),
                 QStringLiteral("Az ügyfél cím adatokban az alábbi hibák vannak:\nTelepülés nincs megadva\n"));
    }

    // The errors of a site; the city is looked up as a bound value, so an
    // apostrophe is a city like any other.
    void siteErrors_data() {
        QTest::addColumn<QString>("varos");
        QTest::addColumn<QString>("utca");
        QTest::addColumn<QString>("szemely");
        QTest::addColumn<QString>("telefon");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("all empty") << "" << "" << "" << ""
                                   << QStringList{texts::cityEmpty(), texts::streetEmpty(), texts::contactEmpty(),
                                                  texts::contactPhoneEmpty()};
        QTest::newRow("unknown city") << "Nincsváros" << "U" << "Sz" << "T" << QStringList{texts::cityUnknown()};
        QTest::newRow("apostrophe") << "O'Brien' OR '1'='1" << "U" << "Sz" << "T" << QStringList{texts::cityUnknown()};
        QTest::newRow("known city") << "Érd" << "U" << "Sz" << "T" << QStringList{};
        QTest::newRow("over-long remark") << "Érd" << "U" << "Sz" << "T"
                                          << QStringList{QStringLiteral("A(z) \"Megjegyzés\" legfeljebb 250 karakter lehet (most 251)")};
    }
    void siteErrors() {
        QFETCH(QString, varos);
        QFETCH(QString, utca);
        QFETCH(QString, szemely);
        QFETCH(QString, telefon);
        QFETCH(QStringList, errors);
        const QString owner = stored(QStringLiteral("Cím Próba Kft."));
        Site s = sampleSite(owner);
        s.varos = varos;
        s.utca = utca;
        s.szemely = szemely;
        s.telefon = telefon;
        if (QByteArray(QTest::currentDataTag()) == "over-long remark") s.komment = QString(251, u'x');
        const qint64 before = sites();
        const auto r = CustomerService::storeSite(*db.conn, nullptr, s);
        QCOMPARE(r.errors, errors);
        QCOMPARE(sites(), before + (errors.isEmpty() ? 1 : 0));
    }

    // The same name in another case, accented capitals included, asks; the
    // question lists the existing one; "Nem" stores nothing. A customer
    // rewritten is not its own duplicate.
    void duplicateName() {
        Customer first = sample(QStringLiteral("Árvíztűrő Tükörfúrógép Kft."));
        QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, first, DuplicatePolicy::Allow).ok);
        Customer again = sample(QStringLiteral("  ÁRVÍZTŰRŐ tükörfúrógép KFT. "));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        sink.answers = {1};
        const qint64 before = customers();
        auto r = vl::askedThroughSink(CustomerService::storeCustomer(*db.conn, nullptr, again, DuplicatePolicy::Ask));
        QCOMPARE(r.outcome, StoreResult::Outcome::Declined);
        QCOMPARE(customers(), before);
        QCOMPARE(sink.texts(),
                 QStringList{QStringLiteral("Már van ilyen nevű ügyfél.\nÁrvíztűrő Tükörfúrógép Kft. 2030 Érd, Fő utca 1.\n"
                                            "\nBiztosan tárolja az ügyfél adatait?")});
        sink.clear();
        sink.answers = {0};
        r = vl::askedThroughSink(CustomerService::storeCustomer(*db.conn, nullptr, again, DuplicatePolicy::Ask));
        QVERIFY(r.ok);
        QCOMPARE(customers(), before + 1);
        // Rewriting the first one: the other of the same name is asked about,
        // never the customer itself.
        sink.clear();
        sink.answers = {0};
        first.utca = QStringLiteral("Új utca 3.");
        QVERIFY(vl::askedThroughSink(CustomerService::storeCustomer(*db.conn, nullptr, first, DuplicatePolicy::Ask)).ok);
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY(!sink.last().contains(QStringLiteral("Új utca 3.")));
        QVERIFY(sink.last().contains(QStringLiteral("ÁRVÍZTŰRŐ tükörfúrógép KFT.")));
        const auto same = [&] {
            auto tx = db.conn->begin();
            return CustomerService::sameName(*tx, QStringLiteral("árvíztűrő tükörfúrógép kft."), first.kod);
        }();
        QCOMPARE(same.size(), 1);
        QCOMPARE(same.first().kod, again.kod);
        // Refused outright (the import without --allow-duplicates).
        Customer third = sample(QStringLiteral("árvíztűrő tükörfúrógép kft."));
        QCOMPARE(CustomerService::storeCustomer(*db.conn, nullptr, third, DuplicatePolicy::Refuse).outcome,
                 StoreResult::Outcome::Duplicate);
    }

    // The rule itself never asks: the duplicate-name question comes back as
    // data (its text, Enter on "Igen"), nothing is written while it is open,
    // "Nem" ends in Declined, "Igen" stores; the form's call is the same.
    void duplicateQuestionReturned() {
        Customer first = sample(QStringLiteral("Kérdezett Kft."));
        QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, first, DuplicatePolicy::Allow).ok);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const qint64 before = customers();
        const CustomerService svc(*db.conn);
        for (const bool yes : {false, true}) {
            Customer again = sample(QStringLiteral("KÉRDEZETT KFT."));
            const StoreResult q = svc.saveCustomer(again);
            QVERIFY(q.asks());
            QVERIFY(!q.ok);
            QCOMPARE(q.question, QStringLiteral("Már van ilyen nevű ügyfél.\nKérdezett Kft. 2030 Érd, Fő utca 1.\n"
                                                "\nBiztosan tárolja az ügyfél adatait?"));
            QVERIFY(!q.questionDefaultNo);
            QCOMPARE(q.sameName.size(), 1);
            QCOMPARE(customers(), before);
            const StoreResult r = q.answer({yes});
            QCOMPARE(r.ok, yes);
            QCOMPARE(r.outcome, yes ? StoreResult::Outcome::Stored : StoreResult::Outcome::Declined);
            QCOMPARE(again.kod, yes ? r.key : QString());
            QCOMPARE(customers(), before + (yes ? 1 : 0));
        }
        QVERIFY(sink.messages.isEmpty());
        // Errors come back with the form's text and nothing asked.
        Customer bad = sample(QString());
        const StoreResult r = svc.saveCustomer(bad);
        QVERIFY(r.refused());
        QCOMPARE(r.messages, QStringList{CustomerService::customerErrorText({texts::customerNameEmpty()})});
    }

    // Deleting through the register's call: a missing row or a contract
    // refuses without a question; otherwise the question (Enter on "Nem")
    // comes back, "Nem" deletes nothing, "Igen" deletes with the sites.
    void deleteAsksThroughCaller_data() {
        QTest::addColumn<bool>("contracted");
        QTest::addColumn<bool>("yes");
        QTest::newRow("contract: refused") << true << true;
        QTest::newRow("answered Nem") << false << false;
        QTest::newRow("answered Igen") << false << true;
    }
    void deleteAsksThroughCaller() {
        QFETCH(bool, contracted);
        QFETCH(bool, yes);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const CustomerService svc(*db.conn);
        const QString owner = stored(QStringLiteral("Kérdéses Törlés Kft."));
        const QString site = storedSite(owner);
        const QString spare = storedSite(owner);
        if (contracted) contract(owner, site, QStringLiteral("FO"));
        // The site first (a spare one), then the customer.
        const DeleteResult s = svc.removeSite(contracted ? site : spare, owner);
        const DeleteResult c = svc.removeCustomer(owner);
        if (contracted) {
            QVERIFY(s.refused() && c.refused());
            QCOMPARE(s.messages, QStringList{texts::siteInUse()});
            QCOMPARE(c.messages, QStringList{texts::customerInUse()});
        } else {
            QCOMPARE(s.question, CustomerService::siteDeleteQuestion());
            QCOMPARE(c.question, CustomerService::customerDeleteQuestion());
            QVERIFY(s.questionDefaultNo && c.questionDefaultNo);
            QCOMPARE(sites(owner), 2);
            const DeleteResult sr = s.answer({yes});
            QCOMPARE(sr.ok, yes);
            QCOMPARE(sites(owner), yes ? 1 : 2);
            const DeleteResult cr = c.answer({yes});
            QCOMPARE(cr.ok, yes);
            QCOMPARE(cr.sites, yes ? 1 : 0);
        }
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), owner}}),
                 (!contracted && yes) ? 0 : 1);
        QVERIFY(sink.messages.isEmpty());
        const DeleteResult gone = svc.removeCustomer(QStringLiteral("987654321"));
        QVERIFY(gone.refused() && gone.missing);
        QVERIFY(svc.removeSite(QStringLiteral("987654321")).missing);
    }

    // Leaving a postal-code or city field: the city of a code, a code of the
    // city kept, another one replaced by the city's first, the refusals.
    void postalLookups_data() {
        QTest::addColumn<bool>("byCity");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("result");   // the city (by code) or the code (by city)
        QTest::addColumn<QString>("message");
        QTest::newRow("code found") << false << "" << " 9002 " << true << "Kétkódú" << "";
        QTest::newRow("code unknown") << false << "" << "9099" << false << ""
                                      << "Nincs olyan érték a SZ_IRSZAM táblában, ahol KOD='9099'";
        QTest::newRow("code empty") << false << "" << " " << false << ""
                                    << "Nincs olyan érték a SZ_IRSZAM táblában, ahol KOD=' '";
        QTest::newRow("code too long") << false << "" << "12345678901" << false << ""
                                       << "Nincs olyan érték a SZ_IRSZAM táblában, ahol KOD='12345678901'";
        QTest::newRow("city keeps its code") << true << "Kétkódú " << "9002" << true << "9002" << "";
        QTest::newRow("city gets its first code") << true << "Kétkódú" << "9003" << true << "9001" << "";
        QTest::newRow("city without code") << true << "Kétkódú" << "" << true << "9001" << "";
        QTest::newRow("city unknown") << true << "Sehollak" << "9001" << false << "" << "";
        QTest::newRow("city empty") << true << "" << "9001" << false << "" << "";
    }
    void postalLookups() {
        QFETCH(bool, byCity);
        QFETCH(QString, city);
        QFETCH(QString, code);
        QFETCH(bool, found);
        QFETCH(QString, result);
        QFETCH(QString, message);
        db.conn->exec(QStringLiteral("UPDATE OR INSERT INTO SZ_IRSZAM (KOD, NEV) VALUES ('9001', 'Kétkódú') MATCHING (KOD)"));
        db.conn->exec(QStringLiteral("UPDATE OR INSERT INTO SZ_IRSZAM (KOD, NEV) VALUES ('9002', 'Kétkódú') MATCHING (KOD)"));
        db.conn->exec(QStringLiteral("UPDATE OR INSERT INTO SZ_IRSZAM (KOD, NEV) VALUES ('9003', 'Másik') MATCHING (KOD)"));
        const CustomerService svc(*db.conn);
        const PostalResult r = byCity ? svc.lookUpCity(city, code) : svc.lookUpPostalCode(code);
        QCOMPARE(r.ok, found);
        QCOMPARE(byCity ? r.code : r.city, result);
        QCOMPARE(r.messages, message.isEmpty() ? QStringList() : QStringList{message});
    }

    // What the register shows of a list row: the memos read for it, and its
    // sites under the status condition, together.
    void customerView() {
        Customer c = sample(QStringLiteral("Nézett Kft."));
        c.kommentalt = QStringLiteral("belső\nmegjegyzés");
        QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, c, DuplicatePolicy::Allow).ok);
        const QString site = storedSite(c.kod);
        storedSite(c.kod);
        contract(c.kod, site, QStringLiteral("FO"));
        const CustomerService svc(*db.conn);
        const vl::db::RowSet list = svc.listCustomers(false, SortColumn::Name);
        int row = -1;
        for (int r = 0; r < list.rowCount(); ++r)
            if (list.at(r, list.indexOf(QStringLiteral("KOD"))).toString().trimmed() == c.kod) row = r;
        QVERIFY(row >= 0);
        QVERIFY(!list.hasColumn(QStringLiteral("KOMMENTALT")));
        CustomerView all = svc.readCustomer(list, row);
        QCOMPARE(all.customer.kod, c.kod);
        QCOMPARE(all.customer.kommentalt, QStringLiteral("belső\nmegjegyzés"));
        QCOMPARE(all.sites.rowCount(), 2);
        CustomerView running = svc.readCustomer(list, row, QStringLiteral("FO"));
        QCOMPARE(running.sites.rowCount(), 1);
        QCOMPARE(running.sites.at(0, running.sites.indexOf(QStringLiteral("KOD"))).toString().trimmed(), site);
        const CustomerCard card = svc.readCard(c.kod, site, true);
        QCOMPARE(card.customer.value(QStringLiteral("NEV")).toString(), QStringLiteral("Nézett Kft."));
        QCOMPARE(card.site.value(QStringLiteral("KOD")).toString(), site);
        QCOMPARE(card.sites.rowCount(), 2);
        QVERIFY(svc.readCard(QStringLiteral("987654321")).customer.isEmpty());
    }

    // A new customer is active with no e-invoice flag and no payment method;
    // a store writes the fixed columns and the whole row at once.
    void newCustomerDefaults() {
        const Customer fresh = CustomerService::newCustomer();
        QCOMPARE(fresh.aktiv, QStringLiteral("I"));
        QVERIFY(fresh.eszamla.isEmpty());
        QVERIFY(fresh.fizmod.isEmpty());
        QVERIFY(fresh.kod.isEmpty());
        Customer c = sample(QStringLiteral("D'Artagnan és Társa"));
        c.kommentspec = QStringLiteral("1. sor\r\n2. sor");
        const auto r = CustomerService::storeCustomer(*db.conn, nullptr, c, DuplicatePolicy::Refuse);
        QVERIFY(r.ok);
        QCOMPARE(r.key, c.kod);
        QVERIFY(!r.key.isEmpty());
        const auto rs = db.conn->query(QStringLiteral(
            "SELECT NEV, ORSZAG, WWW, FIZHATIDO, VEVO, SZALLITO, AKTIV, KOMMENTSPEC FROM UGYFEL WHERE KOD = :k"),
            {{QStringLiteral("k"), r.key}});
        QCOMPARE(rs.rowCount(), 1);
        QCOMPARE(rs.at(0, 0).toString(), QStringLiteral("D'Artagnan és Társa"));
        QCOMPARE(rs.at(0, 1).toString(), QStringLiteral("Magyarország"));
        QCOMPARE(rs.at(0, 2).toString(), QString());
        QCOMPARE(rs.at(0, 3).toLongLong(), 0);
        QCOMPARE(rs.at(0, 4).toString() + rs.at(0, 5).toString() + rs.at(0, 6).toString(), QStringLiteral("INI"));
        QCOMPARE(rs.at(0, 7).toString(), c.kommentspec);
        // No placeholder or time-stamp row anywhere.
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV IS NULL OR ORSZAG <> 'Magyarország'")), 0);
    }

    // Deleting: any contract (a cancelled one too) keeps the customer and the
    // site; a site named by a contract keeps its customer; the sites go with
    // their customer.
    void deleteRefusals_data() {
        QTest::addColumn<QString>("status");   // the contract's status; "" none
        QTest::addColumn<bool>("onSite");      // the contract names the site (of another customer)
        QTest::addColumn<bool>("customerGoes");
        QTest::addColumn<bool>("siteGoes");
        QTest::newRow("no contract") << "" << false << true << true;
        QTest::newRow("running contract") << "FO" << false << false << false;
        QTest::newRow("cancelled contract") << "X" << false << false << false;
        QTest::newRow("closed contract") << "LEZ" << false << false << false;
        QTest::newRow("site named elsewhere") << "X" << true << false << false;
    }
    void deleteRefusals() {
        QFETCH(QString, status);
        QFETCH(bool, onSite);
        QFETCH(bool, customerGoes);
        QFETCH(bool, siteGoes);
        const QString owner = stored(QStringLiteral("Törlendő Kft."));
        const QString site = storedSite(owner);
        const QString site2 = storedSite(owner);
        if (!status.isEmpty()) {
            if (onSite) contract(stored(QStringLiteral("Másik Kft.")), site, status);
            else contract(owner, site, status);
        }
        {
            auto tx = db.conn->begin();
            QCOMPARE(CustomerService::siteDeleteRefusal(*tx, site), siteGoes ? QString() : texts::siteInUse());
            QCOMPARE(CustomerService::siteDeleteRefusal(*tx, site2), QString());
            QCOMPARE(CustomerService::customerDeleteRefusal(*tx, owner), customerGoes ? QString() : texts::customerInUse());
        }
        if (customerGoes) {
            QCOMPARE(CustomerService::deleteCustomer(*db.conn, nullptr, owner), 2);
            QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k"), {{QStringLiteral("k"), owner}}), 0);
        } else {
            try {
                CustomerService::deleteCustomer(*db.conn, nullptr, owner);
                QFAIL("the delete went through");
            } catch (const vl::RuleRefusal& e) {
                QCOMPARE(e.text(), texts::customerInUse());
            }
            QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k"), {{QStringLiteral("k"), owner}}), 2);
            QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, CustomerService::deleteSite(*db.conn, nullptr, site, owner));
            // A site no contract names may still go.
            CustomerService::deleteSite(*db.conn, nullptr, site2, owner);
            QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE KOD = :k"), {{QStringLiteral("k"), site2}}), 0);
        }
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), owner}}),
                 customerGoes ? 0 : 1);
    }

    // The sites and their customer go in the caller's transaction: rolled
    // back, all of them are still there.
    void deleteIsOneTransaction() {
        const QString owner = stored(QStringLiteral("Visszagörgetett Kft."));
        storedSite(owner);
        storedSite(owner);
        {
            auto tx = db.conn->begin();
            QCOMPARE(CustomerService::deleteCustomer(*db.conn, tx.get(), owner), 2);
            tx->rollback();
        }
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k"), {{QStringLiteral("k"), owner}}), 2);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), owner}}), 1);
    }

    // Without a registered contract check nothing is deleted.
    void deleteWithoutCheckRefused() {
        const QString owner = stored(QStringLiteral("Ellenőrizetlen Kft."));
        vl::customers::unregisterContractLinks(QStringLiteral("rental"));
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, CustomerService::deleteCustomer(*db.conn, nullptr, owner));
        vl::rental::registerCustomerLinks();
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), owner}}), 1);
    }

    // Two workstations storing at the same moment get their own rows: the
    // key comes back from each insert, nothing is found again by a marker.
    void twoConnectionsStoreAtOnce() {
        auto other = vl::db::connect(vl::rental::test::embeddedParams(db.path));
        const qint64 before = customers();
        auto tx1 = db.conn->begin();
        auto tx2 = other->begin();
        QStringList keys;
        for (int i = 0; i < 5; ++i) {
            Customer a = sample(QStringLiteral("Egyidejű A %1").arg(i));
            Customer b = sample(QStringLiteral("Egyidejű B %1").arg(i));
            QVERIFY(CustomerService::storeCustomer(*db.conn, tx1.get(), a, DuplicatePolicy::Allow).ok);
            QVERIFY(CustomerService::storeCustomer(*other, tx2.get(), b, DuplicatePolicy::Allow).ok);
            Site sa = sampleSite(a.kod), sb = sampleSite(b.kod);
            QVERIFY(CustomerService::storeSite(*db.conn, tx1.get(), sa).ok);
            QVERIFY(CustomerService::storeSite(*other, tx2.get(), sb).ok);
            keys << a.kod << b.kod;
        }
        tx2->commit();
        tx1->commit();
        other->close();
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 10);
        QCOMPARE(customers(), before + 10);
        for (int i = 0; i < 5; ++i)
            for (const char* side : {"A", "B"}) {
                const QString name = QStringLiteral("Egyidejű %1 %2").arg(QLatin1String(side)).arg(i);
                QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL U JOIN UGYFELCIM C ON C.UGYFELKOD = U.KOD "
                                                 "WHERE U.NEV = :n"), {{QStringLiteral("n"), name}}), 1);
            }
    }

    // Two desks read the same customer and site; the second desk stores
    // first. The first desk's store is refused with the changed-elsewhere
    // text and writes nothing; read again it stores. Every update counts its
    // row's version, whoever writes it; a caller that never read the row
    // (version -1) is not checked.
    void versionChecked_data() {
        QTest::addColumn<bool>("site");
        QTest::addColumn<QString>("otherWrite");   // how the second desk changed the row
        QTest::newRow("customer, by the service") << false << "service";
        QTest::newRow("customer, by a plain update") << false << "sql";
        QTest::newRow("site, by the service") << true << "service";
        QTest::newRow("site, by a plain update") << true << "sql";
    }
    void versionChecked() {
        QFETCH(bool, site);
        QFETCH(QString, otherWrite);
        const QString owner = stored(QStringLiteral("Két Asztal Kft. %1 %2").arg(site).arg(otherWrite));
        const QString siteKey = storedSite(owner);
        const QString table = site ? QStringLiteral("UGYFELCIM") : QStringLiteral("UGYFEL");
        const QString key = site ? siteKey : owner;
        auto telefon = [&] {
            return db.conn->query(QStringLiteral("SELECT TELEFON FROM %1 WHERE KOD = :k").arg(table), {{"k", key}})
                .at(0, 0).toString();
        };
        auto version = [&] {
            return db.count(QStringLiteral("SELECT VALTOZAT FROM %1 WHERE KOD = :k").arg(table), {{"k", key}});
        };
        QCOMPARE(version(), qint64(0));
        std::optional<Customer> first, second;
        std::optional<Site> firstSite, secondSite;
        {
            auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
            first = CustomerService::loadCustomer(*tx, owner);
            second = CustomerService::loadCustomer(*tx, owner);
            firstSite = CustomerService::loadSite(*tx, siteKey);
            secondSite = CustomerService::loadSite(*tx, siteKey);
            tx->commit();
        }
        QCOMPARE(first->valtozat, qint64(0));
        QCOMPARE(firstSite->valtozat, qint64(0));
        // The second desk.
        if (otherWrite == "sql") {
            db.conn->exec(QStringLiteral("UPDATE %1 SET TELEFON = '+36 1 222 2222' WHERE KOD = :k").arg(table), {{"k", key}});
        } else if (site) {
            secondSite->telefon = "+36 1 222 2222";
            QVERIFY(CustomerService::storeSite(*db.conn, nullptr, *secondSite).ok);
            QCOMPARE(secondSite->valtozat, qint64(1));
        } else {
            second->telefon = "+36 1 222 2222";
            QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, *second, DuplicatePolicy::Allow).ok);
            QCOMPARE(second->valtozat, qint64(1));
        }
        QCOMPARE(version(), qint64(1));
        // The first desk, on what it read.
        QString refusal;
        try {
            if (site) {
                firstSite->telefon = "+36 1 111 1111";
                CustomerService::storeSite(*db.conn, nullptr, *firstSite);
            } else {
                first->telefon = "+36 1 111 1111";
                CustomerService::storeCustomer(*db.conn, nullptr, *first, DuplicatePolicy::Allow);
            }
        } catch (const vl::RuleRefusal& e) {
            refusal = e.text();
        }
        QCOMPARE(refusal, QStringLiteral("Az ügyfél adatait közben máshol módosították. Az adatok frissültek, kérem, "
                                         "ismételje meg a műveletet."));
        QCOMPARE(telefon(), QStringLiteral("+36 1 222 2222"));
        QCOMPARE(version(), qint64(1));
        // The same guard in the store itself, inside a caller's transaction.
        {
            vl::db::TxScope tx(*db.conn, nullptr);
            if (site) QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, CustomerStore::StoreSite(tx.tx(), *firstSite));
            else QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, CustomerStore::StoreCustomer(tx.tx(), *first));
        }
        QCOMPARE(telefon(), QStringLiteral("+36 1 222 2222"));
        // Read again, it stores; unread (-1) it is not checked.
        {
            auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
            first = CustomerService::loadCustomer(*tx, owner);
            firstSite = CustomerService::loadSite(*tx, siteKey);
            tx->commit();
        }
        if (site) {
            firstSite->telefon = "+36 1 111 1111";
            QVERIFY(CustomerService::storeSite(*db.conn, nullptr, *firstSite).ok);
            firstSite->valtozat = -1;
            firstSite->telefon = "+36 1 333 3333";
            QVERIFY(CustomerService::storeSite(*db.conn, nullptr, *firstSite).ok);
        } else {
            first->telefon = "+36 1 111 1111";
            QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, *first, DuplicatePolicy::Allow).ok);
            first->valtozat = -1;
            first->telefon = "+36 1 333 3333";
            QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, *first, DuplicatePolicy::Allow).ok);
        }
        QCOMPARE(telefon(), QStringLiteral("+36 1 333 3333"));
        QCOMPARE(version(), qint64(3));
    }

    // A desk whose row is being written by another desk's open transaction
    // gets the same refusal, not a raw lock message.
    void versionWhileOtherWrites() {
        const QString owner = stored(QStringLiteral("Zárolt Kft."));
        std::optional<Customer> c;
        {
            auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
            c = CustomerService::loadCustomer(*tx, owner);
            tx->commit();
        }
        auto other = vl::db::connect(vl::rental::test::embeddedParams(db.path));
        auto holder = other->begin();
        holder->exec(QStringLiteral("UPDATE UGYFEL SET TELEFON = 'foglal' WHERE KOD = :k"), {{"k", owner}});
        c->telefon = "+36 1 444 4444";
        QString refusal;
        try {
            CustomerService::storeCustomer(*db.conn, nullptr, *c, DuplicatePolicy::Allow);
        } catch (const vl::RuleRefusal& e) {
            refusal = e.text();
        }
        holder->rollback();
        other->close();
        QCOMPARE(refusal, CustomerStore::ChangedElsewhereText());
        QCOMPARE(db.conn->query(QStringLiteral("SELECT TELEFON FROM UGYFEL WHERE KOD = :k"), {{"k", owner}}).at(0, 0).toString(),
                 QStringLiteral("+36 1 555 0000"));
    }

    // A store of a customer and its site that fails at the site leaves no
    // customer behind.
    void storeFailingHalfWayLeavesNothing() {
        const qint64 before = customers();
        const qint64 beforeSites = sites();
        {
            vl::db::TxScope tx(*db.conn, nullptr);
            Customer c = sample(QStringLiteral("Félbemaradt Kft."));
            QVERIFY(CustomerService::storeCustomer(*db.conn, &tx.tx(), c, DuplicatePolicy::Allow).ok);
            Site s = sampleSite(c.kod);
            s.irszam = QString(20, u'9'); // wider than the column: the server refuses
            QVERIFY_THROWS_EXCEPTION(vl::db::DbError, CustomerStore::StoreSite(tx.tx(), s));
        }
        QCOMPARE(customers(), before);
        QCOMPARE(sites(), beforeSites);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = 'Félbemaradt Kft.'")), 0);
    }

    void toggleIN_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("next");
        QTest::newRow("N") << "N" << "I";
        QTest::newRow("I") << "I" << "N";
        QTest::newRow("empty") << "" << "I";
        QTest::newRow("blank") << " " << "I";
        QTest::newRow("other") << "X" << "N";
    }
    void toggleIN() {
        QFETCH(QString, value);
        QFETCH(QString, next);
        QCOMPARE(CustomerService::toggleIN(value), next);
    }

    // The incremental search over a list sorted by name: case and accents
    // ignored both ways (as the rental lookup finds names), the longest
    // prefix that matches, and whether the whole text found a row (the form
    // says "Nincs találat" when it did not).
    // The customers' places in the order of their names: Hungarian order
    // ("Cukor" before "Csaba", "Zoltán" before "Zsák"), no name first, an
    // empty name next, equal names (trailing blanks do not count) one place.
    // Stored in a transaction that is rolled back.
    void nameRanks() {
        auto tx = db.conn->begin();
        QList<QPair<QString, QVariant>> named{
            {"zsak", QStringLiteral("Zsák")},   {"csaba", QStringLiteral("Csaba")}, {"kovacs1", QStringLiteral("Kovács")},
            {"none", QVariant(QMetaType(QMetaType::QString))}, {"zoltan", QStringLiteral("Zoltán")},
            {"kovacs2", QStringLiteral("Kovács ")}, {"empty", QStringLiteral("")}, {"cukor", QStringLiteral("Cukor")},
            {"kovacs3", QStringLiteral("Kovács")}};
        QHash<QString, QString> keyOf;
        for (const auto& [tag, name] : named)
            keyOf.insert(tag, tx->query(QStringLiteral("INSERT INTO UGYFEL (NEV, AKTIV) VALUES (:n, 'I') RETURNING KOD"),
                                        {{QStringLiteral("n"), name}})
                                  .at(0, 0)
                                  .toString()
                                  .trimmed());
        const QHash<QString, qint64> rank = vl::customers::NameRanks(*tx);
        QStringList tags = keyOf.keys();
        std::sort(tags.begin(), tags.end(), [&](const QString& a, const QString& b) {
            const qint64 x = rank.value(keyOf.value(a)), y = rank.value(keyOf.value(b));
            return x != y ? x < y : a < b;
        });
        QString order;
        for (int i = 0; i < tags.size(); ++i) {
            if (i > 0) order += rank.value(keyOf.value(tags.at(i))) == rank.value(keyOf.value(tags.at(i - 1))) ? " = " : " < ";
            order += tags.at(i);
        }
        QCOMPARE(order, QStringLiteral("none < empty < cukor < csaba < kovacs1 = kovacs2 = kovacs3 < zoltan < zsak"));
        for (const QString& t : tags) QVERIFY(rank.value(keyOf.value(t)) > 0);
        tx->rollback();
    }

    void search_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("whole");
        QTest::newRow("empty: first") << "" << 0 << true;
        QTest::newRow("blanks: first") << "   " << 0 << true;
        QTest::newRow("prefix") << "alm" << 1 << true;
        QTest::newRow("longest matching prefix") << "almx" << 1 << false;
        QTest::newRow("four letters, three match") << "Alfz" << 0 << false;
        QTest::newRow("accented, other case") << "ÁLMOS" << 3 << true;
        QTest::newRow("accented name, plain text") << "almos" << 3 << true;
        QTest::newRow("plain text, double acute") << "arvizturo" << 6 << true;
        QTest::newRow("prefix without accents") << "arviz" << 6 << true;
        QTest::newRow("capitals without accents") << "ARVIZ" << 6 << true;
        QTest::newRow("accents where the name has none") << "ÁLFA" << 0 << true;
        QTest::newRow("accented, longest prefix") << "árvízx" << 6 << false;
        QTest::newRow("blanks around") << "  béta " << 4 << true;
        QTest::newRow("one letter") << "öz" << 5 << false;
        QTest::newRow("no match keeps the position") << "zzz" << -1 << false;
        QTest::newRow("phone by digits") << "30/123 45" << 4 << true;
        QTest::newRow("phone with plus") << "+36 1 777" << 2 << true;
        QTest::newRow("tax number") << "2345678-2" << 5 << true;
        QTest::newRow("digits matching nothing") << "999999" << -1 << false;
    }
    void search() {
        QFETCH(QString, typed);
        QFETCH(int, row);
        QFETCH(bool, whole);
        using vl::db::Column;
        using vl::db::ColType;
        QList<Column> cols{{QStringLiteral("KOD"), ColType::Text}, {QStringLiteral("NEV"), ColType::Text},
                           {QStringLiteral("TELEFON"), ColType::Text}, {QStringLiteral("MOBILTEL"), ColType::Text},
                           {QStringLiteral("ADOSZAM"), ColType::Text}};
        std::vector<QVariantList> rows{
            {QStringLiteral("1"), QStringLiteral("Alfa Kft."), QStringLiteral("06-1-555-1111"), QString(), QString()},
            {QStringLiteral("2"), QStringLiteral("Alma Bt."), QString(), QString(), QString()},
            {QStringLiteral("3"), QStringLiteral("Almás Zrt."), QStringLiteral("+36 1 777 1234"), QString(), QString()},
            {QStringLiteral("4"), QStringLiteral("Álmos Kft."), QString(), QString(), QString()},
            {QStringLiteral("5"), QStringLiteral("Béta Bt."), QString(), QStringLiteral("+36 30/123-45-67"), QString()},
            {QStringLiteral("6"), QStringLiteral("Ödön Kft."), QString(), QString(), QStringLiteral("12345678-2-43")},
            {QStringLiteral("7"), QStringLiteral("Árvíztűrő Tükörfúró Kft."), QString(), QString(), QString()}};
        CustomerSearch s;
        s.setRows(vl::db::RowSet(cols, rows), QStringLiteral("NEV"));
        bool found = !whole;
        QCOMPARE(s.find(typed, &found), row);
        QCOMPARE(found, whole);
    }

    // The site status filter keeps the sites with an active contract in the
    // status; the code is bound, an apostrophe finds nothing and breaks nothing.
    void siteStatusFilter() {
        const QString owner = stored(QStringLiteral("Státuszos Kft."));
        const QString running = storedSite(owner);
        const QString closed = storedSite(owner);
        storedSite(owner);
        contract(owner, running, QStringLiteral("FO"));
        contract(owner, closed, QStringLiteral("LEZ"));
        auto tx = db.conn->begin();
        QCOMPARE(CustomerService::loadSites(*tx, owner).rowCount(), 3);
        auto fo = CustomerService::loadSites(*tx, owner, QStringLiteral("FO"));
        QCOMPARE(fo.rowCount(), 1);
        QCOMPARE(fo.at(0, fo.indexOf(QStringLiteral("KOD"))).toString().trimmed(), running);
        QCOMPARE(CustomerService::loadSites(*tx, owner, QStringLiteral("LEZ")).rowCount(), 1);
        QCOMPARE(CustomerService::loadSites(*tx, owner, QStringLiteral("O'X")).rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
