// Cabins and running contracts brought in from spreadsheets: the example
// files of the README, every kind of refused row (table), the dry run and a
// refused file writing nothing, --skip-bad, the "paid up to" day against the
// first day the cash billing and the appendix bill, and an imported contract
// as the day sheet, the orders workspace and the appendix see it.
#include "RentalTestDb.h"

#include "billing/Appendix.h"
#include "billing/BillingSchema.h"
#include "customers/CustomerService.h"
#include "operations/DaySheet.h"
#include "operations/OperationsSchema.h"
#include "rental/Billing.h"
#include "rental/ContractImport.h"
#include "rental/OrdersSession.h"
#include "rental/ProductRegister.h"

#include <QFile>
#include <QtTest>

using namespace vl::rental;
using vl::rental::test::TestDb;

namespace {

const QString kToday = QStringLiteral("2026.12.10");

QByteArray exampleFile(const char* name) {
    QFile f(QStringLiteral(VL_SOURCE_DIR "/docs/examples/") + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

vl::shell::Session who() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TESZT");
    s.businessYear = 2026;
    return s;
}

// The refusals as "line|column|reason" texts.
QStringList refusals(const QList<vl::exchange::CsvRefusal>& l) {
    QStringList out;
    for (const auto& r : l) out << QStringLiteral("%1|%2|%3").arg(r.line).arg(r.column, r.reason);
    return out;
}

const char* const kContractHeader =
    "SZERZODES;UGYFELKOD;UGYFELCIM;NEV;ADOSZAM;BERMOD;FIZMOD;BERKEZD;FIZETVE;ARUCSOPORT;NETTOAR;BERMEGYSEG;HKSZCSPSZV;"
    "KARBAR1;SOFORKOD;ARUKOD;KISZALL\n";

} // namespace

class TestImport : public QObject {
    Q_OBJECT

    TestDb db;
    QString c1, s1, c2, s2;   // two customers with a site each

    qint64 count(const QString& sql, const vl::db::Params& p = {}) { return db.count(sql, p); }
    // What an import may change, in one text.
    QString state() {
        return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM FORGSOR")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")) * 100 + count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE ALLAPOT = 'FOG'")))
            .arg(count(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_'")));
    }
    QByteArray contractFile(const QString& rows) {
        QString r = rows;
        r.replace(QStringLiteral("{c1}"), c1).replace(QStringLiteral("{s1}"), s1);
        r.replace(QStringLiteral("{c2}"), c2).replace(QStringLiteral("{s2}"), s2);
        return QByteArray(kContractHeader) + r.toUtf8();
    }
    ContractImportResult importContracts(const QByteArray& file, ContractImportOptions o = {}) {
        o.today = kToday;
        return ImportContracts(*db.conn, who(), file, o);
    }
    QString one(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : rs.at(0, 0).toString().trimmed();
    }

private slots:
    void initTestCase() {
        vl::operations::joinProgramSchema();
        vl::billing::joinProgramSchema();
        db.create();
        db.conn->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Sofőr Sándor', 'I')"));
        using namespace vl::customers;
        auto customer = [&](const char* name, const char* tax, const char* fizmod, const char* site, const char* city,
                            const char* zip, QString* key, QString* siteKey) {
            Customer c = CustomerService::newCustomer();
            c.nev = QString::fromUtf8(name);
            c.adoszam = QString::fromUtf8(tax);
            c.fizmod = QString::fromUtf8(fizmod);
            c.telefon = QStringLiteral("+36 1 555 0000");
            QVERIFY(CustomerService::storeCustomer(*db.conn, nullptr, c, DuplicatePolicy::Allow).ok);
            *key = c.kod;
            Site s;
            s.ugyfelkod = c.kod;
            s.nev = QString::fromUtf8(site);
            s.irszam = QString::fromUtf8(zip);
            s.varos = QString::fromUtf8(city);
            s.utca = QStringLiteral("Fő utca 1.");
            s.szemely = QStringLiteral("Kiss Anna");
            s.telefon = QStringLiteral("+36 30 555 0000");
            const auto r = CustomerService::storeSite(*db.conn, nullptr, s);
            QVERIFY2(r.ok, qPrintable(r.errors.join(QLatin1Char(' '))));
            *siteKey = r.key;
        };
        customer("Alfa Kft.", "11111111-1-11", "KP", "Telep", "Érd", "2030", &c1, &s1);
        customer("Béta Bt.", "22222222-2-22", "ATU", "Raktár", "Budaörs", "2040", &c2, &s2);
        // Cabins: free ALAP 201-206, free VIP 301, 220 out on another contract, 230 damaged.
        for (const char* k : {"201", "202", "203", "204", "205", "206"})
            db.conn->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'SZA')"),
                          {{QStringLiteral("k"), QString::fromLatin1(k)}});
        db.conn->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('301', 'VIP', 'SZA')"));
        db.conn->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT, BIZONYLAT) VALUES ('220', 'ALAP', 'FOG', 99)"));
        db.conn->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('230', 'ALAP', 'SER')"));
    }

    // ---------------------------------------------------------------- cabins

    void productsFromTheExample() {
        const QString before = one(QStringLiteral("SELECT COUNT(*) FROM ARU"));
        ProductRegisterSession rules(*db.conn, who());
        ProductImportOptions dry;
        dry.dryRun = true;
        auto r = rules.importProducts(exampleFile("kabinok.csv"), dry);
        QVERIFY2(r.ok, qPrintable(r.lines(dry).join(QLatin1Char('\n'))));
        QCOMPARE(r.inserted, 7);
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM ARU")), before);   // the dry run wrote nothing
        r = rules.importProducts(exampleFile("kabinok.csv"), {});
        QVERIFY(r.ok);
        QCOMPARE(r.rowsWritten, 7);
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT || '/' || MEGJEGYZES FROM ARU WHERE KOD = '107'")),
                 QStringLiteral("SER/törött ülőke"));
        QCOMPARE(one(QStringLiteral("SELECT ARUCSOPORT || '/' || ALLAPOT FROM ARU WHERE KOD = '105'")), QStringLiteral("VIP/SZA"));
        // The same file again: every code is taken; with --update they are rewritten.
        r = rules.importProducts(exampleFile("kabinok.csv"), {});
        QVERIFY(!r.ok);
        QCOMPARE(r.refused.size(), 7);
        ProductImportOptions upd;
        upd.update = true;
        r = rules.importProducts(QByteArray("KOD;ARUCSOPORT;ALLAPOT\n107;ALAP;Szabad\n"), upd);
        QVERIFY(r.ok);
        QCOMPARE(r.updated, 1);
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = '107'")), QStringLiteral("SZA"));
    }

    void productRowsRefused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("refusal");
        const QByteArray h("KOD;ARUCSOPORT;ALLAPOT\n");
        QTest::newRow("unknown group") << h + "401;XYZ;\n" << QStringLiteral("2|ARUCSOPORT|nincs ilyen árucsoport: XYZ (új csoporthoz: --create-groups)");
        QTest::newRow("code taken") << h + "201;ALAP;\n" << QStringLiteral("2|KOD|már van ilyen kódú kabin: 201 (módosításhoz: --update)");
        QTest::newRow("not digits") << h + "A12;ALAP;\n" << QStringLiteral("2|KOD|A kód csak számjegyekből állhat: A12");
        QTest::newRow("rented state") << h + "402;ALAP;FOG\n"
                                      << QStringLiteral("2|ALLAPOT|bérlés alatti állapot (FOG) nem tölthető be: a szerződésen "
                                                        "kint lévő kabin állapotát és helyét a szerződések betöltése adja");
        QTest::newRow("twice in the file") << h + "403;ALAP;\n403;VIP;\n" << QStringLiteral("3|KOD|a(z) 403 kód a fájl 2. sorában már szerepelt");
        QTest::newRow("unknown state") << h + "404;ALAP;Elveszett\n" << QStringLiteral("2|ALLAPOT|nincs ilyen állapot: Elveszett");
    }
    void productRowsRefused() {
        QFETCH(QByteArray, file);
        QFETCH(QString, refusal);
        const QString before = one(QStringLiteral("SELECT COUNT(*) || '/' || COUNT(DISTINCT ARUCSOPORT) FROM ARU"));
        // A good row beside the bad one: the file is refused whole.
        const auto r = ImportProducts(*db.conn, file + "405;ALAP;\n", {});
        QVERIFY(!r.ok);
        QCOMPARE(refusals(r.refused), QStringList{refusal});
        QCOMPARE(r.rowsWritten, 0);
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) || '/' || COUNT(DISTINCT ARUCSOPORT) FROM ARU")), before);
    }

    void productGroupsCreatedAndSpreadsheetRefused() {
        ProductImportOptions o;
        o.createGroups = true;
        const auto r = ImportProducts(*db.conn, QByteArray("KOD,ARUCSOPORT,CSOPORTNEV\n501,MOB,Mobil kabin\n502,Mobil kabin,\n"), o);
        QVERIFY2(r.ok, qPrintable(r.lines(o).join(QLatin1Char('\n'))));
        QCOMPARE(r.groupsCreated, QStringList{QStringLiteral("MOB")});
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE ARUCSOPORT = 'MOB'")), QStringLiteral("2"));
        const auto x = ImportProducts(*db.conn, QByteArray("PK\x03\x04rest of a zip", 18), {});
        QVERIFY(!x.ok);
        QVERIFY(x.fatal.contains(QStringLiteral("Kérem, mentse CSV formátumban")));
    }

    // ---------------------------------------------------------------- running contracts

    void contractRowsRefused_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QStringList>("expected");
        const QString good = QStringLiteral("K-1;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;201;2026.10.01\n");
        QTest::newRow("unknown group")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;XYZ;12000;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|ARUCSOPORT|nincs ilyen árucsoport: XYZ")};
        QTest::newRow("cabin out elsewhere")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;220;2026.10.01\n")
            << QStringList{QStringLiteral("3|ARUKOD|a(z) 220 kabin nem szabad: a(z) 99. sz. szerződésen van kint")};
        QTest::newRow("cabin damaged")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;230;2026.10.01\n")
            << QStringList{QStringLiteral("3|ARUKOD|a(z) 230 kabin nem kiadható állapotú")};
        QTest::newRow("cabin of another group")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;301;2026.10.01\n")
            << QStringList{QStringLiteral("3|ARUKOD|a(z) 301 kabin VIP csoportú, a sor ALAP")};
        QTest::newRow("cabin twice")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;201;2026.10.01\n")
            << QStringList{QStringLiteral("2|ARUKOD|a(z) 201 kabin kétszer szerepel a fájlban: 2. és 3. sor"),
                           QStringLiteral("3|ARUKOD|a(z) 201 kabin kétszer szerepel a fájlban: 2. és 3. sor")};
        QTest::newRow("customer unknown")
            << good + QStringLiteral("K-2;777;{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|UGYFELKOD|nincs ilyen ügyfél: 777")};
        QTest::newRow("customer by name unknown")
            << good + QStringLiteral("K-2;;;Gamma Zrt.;33333333-3-33;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|NEV|nincs ilyen nevű és adószámú ügyfél: Gamma Zrt., 33333333-3-33 (új ügyfélhez: --create-customers)")};
        QTest::newRow("site of another customer")
            << good + QStringLiteral("K-2;{c1};{s2};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|UGYFELCIM|a(z) {s2} szállítási cím nem a(z) {c1} ügyfélé")};
        QTest::newRow("bad start")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.13.01;;ALAP;12000;Hó;1000000;4500;S1;202;2026.12.01\n")
            << QStringList{QStringLiteral("3|BERKEZD|hibás dátum: \"2026.13.01\" (éééé.hh.nn)")};
        QTest::newRow("delivery before the start")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;202;2026.09.30\n")
            << QStringList{QStringLiteral("3|KISZALL|korábbi, mint a bérlet kezdete (2026.10.01)")};
        QTest::newRow("paid up to before the start")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;2026.09.01;ALAP;12000;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|FIZETVE|korábbi, mint a bérlet kezdete (2026.10.01)")};
        QTest::newRow("pattern of 6 digits")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;100100;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|HKSZCSPSZV|a heti minta hét számjegy (hétfőtől vasárnapig a napi karbantartások "
                                          "száma), ebben 6 áll: \"100100\"; a táblázatkezelő elhagyhatta a kezdő nullákat, "
                                          "formázza az oszlopot szövegként")};
        QTest::newRow("rent no number")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12e3;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|NETTOAR|nem egész szám (forint, darab): \"12e3\"")};
        QTest::newRow("rows disagree on the header")
            << good + QStringLiteral("K-1;{c1};{s1};;;HT;ATU;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|FIZMOD|eltér a(z) K-1 szerződés első sorától (2. sor): \"ATU\" és \"KP\"")};
        QTest::newRow("unknown driver")
            << good + QStringLiteral("K-2;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S9;202;2026.10.01\n")
            << QStringList{QStringLiteral("3|SOFORKOD|nincs ilyen aktív sofőr: S9")};
    }
    void contractRowsRefused() {
        QFETCH(QString, rows);
        QFETCH(QStringList, expected);
        for (QString& e : expected) e.replace(QStringLiteral("{c1}"), c1).replace(QStringLiteral("{s2}"), s2);
        const QString before = state();
        // A good contract beside the bad one: nothing of the file is stored.
        const auto r = importContracts(contractFile(rows));
        QVERIFY(!r.ok);
        QStringList got = refusals(r.refused);
        // The good contract's row is refused only as part of a bad contract, never on its own.
        got.removeIf([](const QString& s) { return s.contains(QStringLiteral("szerződés más sora hibás")); });
        QCOMPARE(got, expected);
        QVERIFY(r.stored.isEmpty());
        QCOMPARE(state(), before);
        QVERIFY(r.lines({}).last() == QStringLiteral("Semmi nem került tárolásra."));
    }

    void skipBadStoresTheGoodContracts() {
        const QString before = state();
        const QByteArray file = contractFile(
            QStringLiteral("K-7;;{s1};alfa kft. ;11111111-1-11;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;203;2026.10.01\n"
                           "K-8;{c1};{s1};;;HT;KP;2026.10.01;;ALAP;12000;Hó;1000000;4500;S1;204;2026.10.01\n"
                           "K-8;{c1};{s1};;;HT;KP;2026.10.01;;XYZ;12000;Hó;1000000;4500;S1;205;2026.10.01\n"));
        ContractImportOptions dry;
        dry.dryRun = true;
        dry.skipBad = true;
        auto r = importContracts(file, dry);
        QCOMPARE(state(), before);   // a dry run stores nothing, --skip-bad or not
        ContractImportOptions o;
        o.skipBad = true;
        r = importContracts(file, o);
        QVERIFY(!r.ok);
        QCOMPARE(r.stored.size(), 1);
        QCOMPARE(refusals(r.refused), (QStringList{QStringLiteral("3||a(z) K-8 szerződés más sora hibás (4. sor)"),
                                                   QStringLiteral("4|ARUCSOPORT|nincs ilyen árucsoport: XYZ")}));
        // Found by its name (case and blanks aside) and tax number.
        QCOMPARE(one(QStringLiteral("SELECT SZERZODES || '/' || UGYFELKOD FROM FORGFEJ WHERE BIZONYLAT = :b"),
                     {{QStringLiteral("b"), r.stored.first()}}),
                 QStringLiteral("K-7/") + c1);
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = '203'")), QStringLiteral("FOG"));
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = '204'")), QStringLiteral("SZA"));
        // The same file again: K-7 is there already.
        r = importContracts(file, o);
        QVERIFY(refusals(r.refused).first().startsWith(QStringLiteral("2|SZERZODES|az ügyfélnek már van ilyen iktatószámú szerződése")));
    }

    // The example file, customers and sites created; "paid up to" against the first billed day.
    void contractsFromTheExample() {
        const QString before = state();
        ContractImportOptions dry;
        dry.dryRun = true;
        dry.createCustomers = true;
        auto r = importContracts(exampleFile("szerzodesek.csv"), dry);
        QVERIFY2(r.ok, qPrintable(r.lines(dry).join(QLatin1Char('\n'))));
        QCOMPARE(state(), before);
        ContractImportOptions o;
        o.createCustomers = true;
        r = importContracts(exampleFile("szerzodesek.csv"), o);
        QVERIFY2(r.ok, qPrintable(r.lines(o).join(QLatin1Char('\n'))));
        QCOMPARE(r.stored.size(), 2);
        QCOMPARE(r.customersCreated, 1);   // one customer with two sites
        QCOMPARE(r.sitesCreated, 2);
        QCOMPARE(r.linesStored, 3);        // 2024/17: ALAP and VIP; R-88: ALAP
        QCOMPARE(r.cabinsStored, 4);
        const qint64 paid = r.stored.at(0), open = r.stored.at(1);
        const vl::db::Params b{{QStringLiteral("b"), paid}}, b2{{QStringLiteral("b"), open}};
        QCOMPARE(one(QStringLiteral("SELECT LASTPRINT || '/' || LASTPRINTT || '/' || STATUS FROM FORGFEJ WHERE BIZONYLAT = :b"), b),
                 QStringLiteral("2026.11.30/2026.01.05/FO"));
        QCOMPARE(one(QStringLiteral("SELECT COALESCE(LASTPRINT, '') FROM FORGFEJ WHERE BIZONYLAT = :b"), b2), QString());
        // Cash billing starts the day after "paid up to".
        QCOMPARE(one(QStringLiteral("SELECT MIN(DATUM) FROM FORGFIZ WHERE BIZONYLAT = :b"), b), QStringLiteral("2026.12.01"));
        {
            auto tx = db.conn->begin();
            const GeneratorContext ctx = GeneratorContext::load(*tx, QStringLiteral("TESZT"));
            QCOMPARE(FirstDayStillToBill(*tx, ctx, paid, 1), QStringLiteral("2026.12.01"));
            tx->commit();
        }
        // Cabins out, deliveries in the past done, maintenance from today only.
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT || '/' || BIZONYLAT FROM ARU WHERE KOD = '105'")),
                 QStringLiteral("FOG/%1").arg(paid));
        QCOMPARE(one(QStringLiteral("SELECT S.MODOSITHATO FROM FORGTEV T JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                                    " WHERE T.BIZONYLAT = :b AND T.ARUKOD = '105' AND T.TEVKOD = 'KIH'"), b),
                 QStringLiteral("N"));
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KA' AND DATUM < :ma"),
                     {{QStringLiteral("b"), paid}, {QStringLiteral("ma"), kToday}}),
                 QStringLiteral("0"));
        QCOMPARE(one(QStringLiteral("SELECT MIN(DATUM) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KA'"), b),
                 QStringLiteral("2026.12.10"));   // Thursday, a pattern day: today included
        QCOMPARE(one(QStringLiteral("SELECT MIN(DATUM) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KA'"), b2),
                 QStringLiteral("2026.12.14"));   // Monday

        // The appendix: a weekly contract paid up to a Sunday is billed from the
        // Monday after (the period aligned to the contract), and every imported
        // contract shows its "paid up to" as printed.
        const auto weekly = importContracts(contractFile(
            QStringLiteral("K-W;{c2};{s2};;;HT;ATU;2026.11.02;2026.12.06;ALAP;5000;Hét;1000000;4500;S1;206;2026.11.02\n")));
        QVERIFY2(weekly.ok, qPrintable(weekly.lines({}).join(QLatin1Char('\n'))));
        vl::billing::AppendixService app(*db.conn, who());
        vl::billing::AppendixFilter aligned;
        aligned.weekAlign = true;
        app.build(QStringLiteral("2026.12.01"), QStringLiteral("2026.12.31"), aligned);
        const vl::db::RowSet rows = app.allRows();
        QStringList seen;
        const QList<qint64> mine{paid, open, weekly.stored.value(0)};
        for (int i = 0; i < rows.rowCount(); ++i)
            if (mine.contains(rows.at(i, rows.indexOf(QStringLiteral("BIZONYLAT"))).toLongLong()))
                seen << QStringLiteral("%1:%2:%3")
                        .arg(rows.at(i, rows.indexOf(QStringLiteral("BIZONYLAT"))).toLongLong())
                        .arg(rows.at(i, rows.indexOf(QStringLiteral("DATUMTOL"))).toString().trimmed(),
                             rows.at(i, rows.indexOf(QStringLiteral("LASTPRINT"))).toString().trimmed());
        seen.sort();
        QCOMPARE(seen, (QStringList{QStringLiteral("%1:2026.12.01:2026.11.30").arg(paid),
                                    QStringLiteral("%1:2026.12.01:2026.11.30").arg(paid),
                                    QStringLiteral("%1:2026.12.01:2026.11.30").arg(paid),
                                    QStringLiteral("%1:2026.12.01:").arg(open),
                                    QStringLiteral("%1:2026.12.07:2026.12.06").arg(weekly.stored.first())}));

        // The day sheet of the first visit day lists the imported contract's visit.
        vl::operations::DaySheet sheet(*db.conn, who(), 1.27);
        sheet.LoadDaySheet(QStringLiteral("2026.12.14"));
        QList<qint64> onSheet;
        for (const auto& l : sheet.lines()) onSheet << l.contracts;
        QVERIFY(onSheet.contains(paid));
        QVERIFY(onSheet.contains(open));
        // The orders workspace lists its lines under the customer's site.
        OrdersSession orders(*db.conn, who());
        const QString customer = one(QStringLiteral("SELECT UGYFELKOD FROM FORGFEJ WHERE BIZONYLAT = :b"), b);
        const QString site = one(QStringLiteral("SELECT UGYFELCIM FROM FORGFEJ WHERE BIZONYLAT = :b"), b);
        const OrderLists lists = orders.readOrderLists({customer, site, QString()});
        QCOMPARE(lists.lines.rowCount(), 2);
        QCOMPARE(lists.products.rowCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
