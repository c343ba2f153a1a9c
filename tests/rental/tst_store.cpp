// The customer, product and contract stores and the demonstration data.
#include "RentalTestDb.h"

#include "rental/ContractStore.h"
#include "customers/CustomerStore.h"
#include "rental/DemoData.h"
#include "rental/ProductStore.h"

using namespace vl::rental;
using vl::customers::Customer;
using vl::customers::CustomerStore;
using vl::customers::Site;
using vl::rental::test::TestDb;

class TestStore : public QObject {
    Q_OBJECT
    TestDb db;
    QString customer, site, customer2, site2;

    QString text(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs sor>") : rs.at(0, 0).toString();
    }
    QString productState(const QString& kod) {
        const auto rs = db.conn->query(QStringLiteral(
            "SELECT ALLAPOT, COALESCE(UGYFEL, ''), COALESCE(CIM, ''), COALESCE(CAST(BIZONYLAT AS VARCHAR(12)), '-') "
            "FROM ARU WHERE KOD = :k"), {{QStringLiteral("k"), kod}});
        QStringList l;
        for (int c = 0; c < rs.columnCount(); ++c) l << rs.at(0, c).toString();
        return l.join(QLatin1Char('|'));
    }
    qint64 tableCount(const QString& t) { return db.count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t)); }

    ContractHeader header(const QString& cust, const QString& s) {
        ContractHeader h;
        h.bermod = QStringLiteral("HT");
        h.fizmod = QStringLiteral("KP");
        h.berkezd = QStringLiteral("2026.03.02");
        h.ugyfelkod = cust;
        h.ugyfelcim = s;
        h.komment = QStringLiteral("Kapukód: 'B' épület");
        h.vegkomment = QStringLiteral("első sor\r\nmásodik sor");
        return h;
    }
    ContractLine line(const QString& csop, int qty, const QStringList& products) {
        ContractLine l;
        l.arucsoport = csop;
        l.mennyiseg = qty;
        l.bermegyseg = QStringLiteral("Hét");
        l.nettoar = 12000;
        l.kiszall = QStringLiteral("2026.03.02");
        l.hkszcspszv = QStringLiteral("1000100");
        l.karbar = {4500, 0, 0, 0, 4500, 0, 0};
        l.soforkod = QStringLiteral("S1");
        l.products = products;
        return l;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        db.create();
        auto tx = db.conn->begin();
        for (int i = 1; i <= 12; ++i)
            ProductStore::StoreProduct(*tx, QString::number(i), i <= 8 ? QStringLiteral("ALAP") : QStringLiteral("VIP"),
                                       ProductFree);
        tx->commit();
    }

    // Texts with apostrophes and accents are stored as typed; keys come from the database.
    void customers() {
        auto tx = db.conn->begin();
        Customer c;
        c.nev = QStringLiteral("D'Artagnan Ősz Űrhajó Kft.");
        c.fizmod = QStringLiteral("KP");
        c.kommentalt = QStringLiteral("1. sor\r\n2. sor: 'idézet'");
        CustomerStore::StoreCustomer(*tx, c);
        Customer d;
        d.nev = QStringLiteral("Második");
        CustomerStore::StoreCustomer(*tx, d);
        QVERIFY(!c.kod.isEmpty());
        QVERIFY(c.kod != d.kod);
        Site s;
        s.ugyfelkod = c.kod;
        s.irszam = QStringLiteral("2030");
        s.varos = QStringLiteral("Érd");
        s.utca = QStringLiteral("Fő utca 1.");
        s.szemely = QStringLiteral("Kiss Anna");
        CustomerStore::StoreSite(*tx, s);
        Site s2 = s;
        s2.kod.clear();
        s2.ugyfelkod = d.kod;
        CustomerStore::StoreSite(*tx, s2);
        QVERIFY(s.kod != s2.kod);
        tx->commit();
        customer = c.kod;
        site = s.kod;
        customer2 = d.kod;
        site2 = s2.kod;

        QCOMPARE(text(QStringLiteral("SELECT NEV FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), customer}}), c.nev);
        QCOMPARE(text(QStringLiteral("SELECT KOMMENTALT FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), customer}}),
                 c.kommentalt);
        QCOMPARE(text(QStringLiteral("SELECT ORSZAG || VEVO || SZALLITO || AKTIV FROM UGYFEL WHERE KOD = :k"),
                      {{QStringLiteral("k"), customer}}), QStringLiteral("MagyarországINI"));
        // Rewriting keeps the key.
        auto tx2 = db.conn->begin();
        c.utca = QStringLiteral("Új utca 2.");
        QCOMPARE(CustomerStore::StoreCustomer(*tx2, c), customer);
        Customer ghost;
        ghost.kod = QStringLiteral("999999");
        QVERIFY_THROWS_EXCEPTION(vl::db::DbError, CustomerStore::StoreCustomer(*tx2, ghost));
        tx2->commit();
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE UTCA = 'Új utca 2.'")), 1);
    }

    void contractStored() {
        auto tx = db.conn->begin();
        const qint64 biz = ContractStore::StoreNewContract(
            *tx, header(customer, site),
            {line(QStringLiteral("ALAP"), 3, {QStringLiteral("1"), QStringLiteral("2")}),
             line(QStringLiteral("VIP"), 1, {QStringLiteral("9")})},
            QStringLiteral("TVN"));
        tx->commit();
        const vl::db::Params b = {{QStringLiteral("b"), biz}};
        QCOMPARE(text(QStringLiteral("SELECT AKTIV || STATUS || VERZIO || EV FROM FORGFEJ WHERE BIZONYLAT = :b"), b),
                 QStringLiteral("IFO1") + QString::number(QDate::currentDate().year()));
        QCOMPARE(text(QStringLiteral("SELECT KOMMENT FROM FORGFEJ WHERE BIZONYLAT = :b"), b),
                 QStringLiteral("Kapukód: 'B' épület"));
        QCOMPARE(text(QStringLiteral("SELECT LIST(TETELSOR || ':' || ARUCSOPORT || ':' || MENNYISEG || ':' || VMENNYISEG "
                                     "|| ':' || M_EGYSEG || ':' || KARERTEK, ',') FROM "
                                     "(SELECT * FROM FORGSOR WHERE BIZONYLAT = :b ORDER BY TETELSOR)"), b),
                 QStringLiteral("1:ALAP:3:0:db:0,2:VIP:1:0:db:0"));
        QCOMPARE(text(QStringLiteral("SELECT LIST(TETELSOR || '/' || SORSZAM || '=' || ARUKOD || ':' || HKSZCSPSZV || "
                                     "':' || KARBAR1 || ':' || EGYEDI, ',') FROM (SELECT * FROM FORGKABIN "
                                     "WHERE BIZONYLAT = :b ORDER BY TETELSOR, SORSZAM)"), b),
                 QStringLiteral("1/1=1:1000100:4500:N,1/2=2:1000100:4500:N,1/3=*:1000100:4500:N,2/1=9:1000100:4500:N"));
        const QString at = customer + QLatin1Char('|') + site + QLatin1Char('|') + QString::number(biz);
        QCOMPARE(productState(QStringLiteral("1")), QStringLiteral("FOG|") + at);
        QCOMPARE(productState(QStringLiteral("9")), QStringLiteral("FOG|") + at);
        QCOMPARE(productState(QStringLiteral("3")), QStringLiteral("SZA|||-"));
    }

    // A contract lands whole or not at all.
    void allOrNothing_data() {
        QTest::addColumn<QStringList>("products2");
        QTest::addColumn<QString>("group2");
        QTest::addColumn<int>("qty2");
        QTest::addColumn<bool>("rule");
        QTest::newRow("database refuses the second line") << QStringList{} << QStringLiteral("TÚLHOSSZÚKÓD") << 1 << false;
        QTest::newRow("product already rented") << QStringList{QStringLiteral("2")} << QStringLiteral("ALAP") << 1 << true;
        QTest::newRow("unknown product") << QStringList{QStringLiteral("777")} << QStringLiteral("ALAP") << 1 << true;
        QTest::newRow("product of another group") << QStringList{QStringLiteral("10")} << QStringLiteral("ALAP") << 1 << true;
        QTest::newRow("product twice") << QStringList{QStringLiteral("4")} << QStringLiteral("ALAP") << 1 << true;
        QTest::newRow("more products than items") << QStringList{QStringLiteral("5"), QStringLiteral("6")}
                                                   << QStringLiteral("ALAP") << 1 << true;
        QTest::newRow("no item") << QStringList{} << QStringLiteral("ALAP") << 0 << true;
    }
    void allOrNothing() {
        QFETCH(QStringList, products2);
        QFETCH(QString, group2);
        QFETCH(int, qty2);
        QFETCH(bool, rule);
        const QStringList tables = {QStringLiteral("FORGFEJ"), QStringLiteral("FORGSOR"), QStringLiteral("FORGKABIN")};
        QMap<QString, qint64> before;
        for (const QString& t : tables) before[t] = tableCount(t);
        bool refused = false;
        try {
            auto tx = db.conn->begin();
            ContractStore::StoreNewContract(*tx, header(customer2, site2),
                                            {line(QStringLiteral("ALAP"), 2, {QStringLiteral("4")}),
                                             line(group2, qty2, products2)},
                                            QStringLiteral("TVN"));
            tx->commit();
        } catch (const RentalError& e) {
            QVERIFY(rule);
            QVERIFY(e.text().startsWith(QStringLiteral("A szerződés adataiban az alábbi hibák vannak:\r")));
            refused = true;
        } catch (const vl::db::DbError&) {
            QVERIFY(!rule);
            refused = true;
        }
        QVERIFY(refused);
        for (const QString& t : tables) QCOMPARE(tableCount(t), before[t]);
        QCOMPARE(productState(QStringLiteral("4")), QStringLiteral("SZA|||-"));
        QCOMPARE(productState(QStringLiteral("2")).left(4), QStringLiteral("FOG|"));
    }

    void ruleMessages() {
        auto tx = db.conn->begin();
        try {
            ContractStore::StoreNewContract(*tx, header(customer2, site2),
                                            {line(QStringLiteral("ALAP"), 1, {QStringLiteral("2")}),
                                             line(QStringLiteral("ALAP"), 1, {QStringLiteral("777")})},
                                            QStringLiteral("TVN"));
            QFAIL("stored");
        } catch (const RentalError& e) {
            QCOMPARE(e.text(), QStringLiteral("A szerződés adataiban az alábbi hibák vannak:\r"
                                              "A 2 sz. kabin nem adható ki.\r"
                                              "Nincs ilyen számú kabin: 777"));
        }
    }

    // One routine owns a product's status and never frees a product that is
    // out on another contract.
    void productStatusOwner() {
        auto tx = db.conn->begin();
        const qint64 first = ContractStore::StoreNewContract(
            *tx, header(customer, site), {line(QStringLiteral("ALAP"), 1, {QStringLiteral("5")})}, QStringLiteral("T"));
        QCOMPARE(ProductStore::UpdateProductStatus(*tx, QStringLiteral("5")), ProductRented);
        // Taken back from the first contract...
        tx->exec(QStringLiteral("UPDATE FORGKABIN SET VSZALL = '2026.04.01' WHERE BIZONYLAT = :b"),
                 {{QStringLiteral("b"), first}});
        // ... and out again on a second one (at another customer) before the status was brought in line.
        tx->exec(QStringLiteral("UPDATE ARU SET ALLAPOT = 'SZA' WHERE KOD = '5'"));
        const qint64 second = ContractStore::StoreNewContract(
            *tx, header(customer2, site2), {line(QStringLiteral("ALAP"), 1, {QStringLiteral("5")})}, QStringLiteral("T"));
        // The take-back of the first contract must not free it.
        QCOMPARE(ProductStore::UpdateProductStatus(*tx, QStringLiteral("5")), ProductRented);
        tx->commit();
        QCOMPARE(productState(QStringLiteral("5")),
                 QStringLiteral("FOG|%1|%2|%3").arg(customer2, site2).arg(second));

        auto tx2 = db.conn->begin();
        // Cancelling the second contract frees it.
        tx2->exec(QStringLiteral("UPDATE FORGFEJ SET STATUS = 'X' WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), second}});
        QCOMPARE(ProductStore::UpdateProductStatus(*tx2, QStringLiteral("5")), ProductFree);
        // A damaged product on no contract keeps its status; "*" and unknown codes are ignored.
        tx2->exec(QStringLiteral("UPDATE ARU SET ALLAPOT = 'SER' WHERE KOD = '7'"));
        QCOMPARE(ProductStore::UpdateProductStatus(*tx2, QStringLiteral("7")), QStringLiteral("SER"));
        QCOMPARE(ProductStore::UpdateProductStatus(*tx2, QStringLiteral("*")), QString());
        QCOMPARE(ProductStore::UpdateProductStatus(*tx2, QStringLiteral("nincs")), QString());
        tx2->commit();
        QCOMPARE(productState(QStringLiteral("5")), QStringLiteral("SZA|||-"));
        QCOMPARE(productState(QStringLiteral("7")), QStringLiteral("SER|||-"));
    }

    void demoData() {
        TestDb demo;
        demo.create();
        const QDate today(2026, 12, 9);
        const DemoSummary s = DemoData::create(*demo.conn, nullptr, today);
        QCOMPARE(s.customers, 25);
        QCOMPARE(s.products, 80);
        QCOMPARE(s.drivers, 3);
        QCOMPARE(s.contracts, 15);
        QVERIFY(s.sites >= 25);
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), 25);
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL U WHERE NOT EXISTS "
                                           "(SELECT 1 FROM UGYFELCIM C WHERE C.UGYFELKOD = U.KOD)")), 0);
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(DISTINCT ARUCSOPORT) FROM ARU")), 4);
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE AKTIV = 'I' AND STATUS = 'FO'")), 15);
        // Every contract has lines, every line its items 1..MENNYISEG.
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ F WHERE NOT EXISTS "
                                           "(SELECT 1 FROM FORGSOR S WHERE S.BIZONYLAT = F.BIZONYLAT)")), 0);
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGSOR S WHERE S.MENNYISEG <> (SELECT COUNT(*) "
                                           "FROM FORGKABIN K WHERE K.BIZONYLAT = S.BIZONYLAT AND K.TETELSOR = S.TETELSOR "
                                           "AND K.SORSZAM BETWEEN 1 AND S.MENNYISEG)")), 0);
        // Every rental and payment mode and the weekly and monthly units.
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ F JOIN SZ_FIZMOD M ON M.KOD = F.FIZMOD "
                                          "WHERE F.BERMOD = 'HT' AND M.KP = 'I'")) > 0);
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ F JOIN SZ_FIZMOD M ON M.KOD = F.FIZMOD "
                                          "WHERE F.BERMOD = 'HT' AND M.KP = 'N'")) > 0);
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ F JOIN SZ_FIZMOD M ON M.KOD = F.FIZMOD "
                                          "WHERE M.KP = 'E'")) > 0);
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ F JOIN SZ_BERMOD B ON B.KOD = F.BERMOD "
                                          "WHERE B.KOTNAP = 'I' AND F.BERVEG > F.BERKEZD")) > 0);
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE BERMOD = 'ALK'")) > 0);
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGSOR WHERE BERMEGYSEG = 'Hét'")) > 0);
        QVERIFY(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGSOR S JOIN SZ_MEGYSEG M ON M.KOD = S.BERMEGYSEG "
                                          "WHERE M.BERSZAMJEL = 'H'")) > 0);
        // Dated around the given day.
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE BERKEZD < '2026.07.01' "
                                           "OR BERKEZD > '2027.01.01'")), 0);
        // Products out on contracts are rented there, all others free.
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE ALLAPOT = 'FOG'")),
                 demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN WHERE ARUKOD <> '*'")));
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM ARU A JOIN FORGFEJ F ON F.BIZONYLAT = A.BIZONYLAT "
                                           "WHERE A.UGYFEL = F.UGYFELKOD AND A.CIM = F.UGYFELCIM")),
                 demo.count(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE ALLAPOT = 'FOG'")));
        // Items' patterns are registered (the lists join them).
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN K WHERE NOT EXISTS "
                                           "(SELECT 1 FROM HKSZCSPSZV H WHERE H.KOD = K.HKSZCSPSZV)")), 0);
        QCOMPARE(demo.count(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR WHERE AKTIV = 'I'")), 3);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
