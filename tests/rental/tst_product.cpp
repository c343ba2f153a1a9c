// The product register's rules on a real database: the list and its bound
// filters, the quick search, the validation messages, the take-back with
// exchange (the item's planned activities and both cabins follow it, all or
// nothing), the status check, rename and delete refusals, the list report.
#include "RentalTestDb.h"

#include "../reporting/PdfTools.h"
#include "db/TxScope.h"
#include "reporting/Engine.h"
#include "rental/ContractStore.h"
#include "rental/ProductRegister.h"
#include "rental/ProductRegisterReport.h"
#include "rental/ProductStore.h"
#include "rental/Billing.h"
#include "rental/Schedule.h"
#include "util/MessageSink.h"
#include "util/Outcome.h"

#include <QDate>

using namespace vl::rental;
using vl::rental::test::TestDb;

namespace {
QString ymd(int offset) { return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy.MM.dd")); }
const QString kErr = QStringLiteral("Az adatokban az alábbi hibák vannak:\r");
} // namespace

class TestProduct : public QObject {
    Q_OBJECT
    TestDb db;
    vl::shell::Session session{QStringLiteral("TESZT"), QStringLiteral("Teszt"), QString(), 0};
    QString customer, site, customer2, site2;
    vl::RecordingSink sink;

    // A store whose questions are answered through the sink (its answers).
    ProductStoreResult storeAsked(const ProductStoreRequest& rq) {
        return vl::askedThroughSink(ProductRegister::Store(*db.conn, nullptr, session, rq));
    }

    QString one(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs>") : rs.at(0, 0).toString().trimmed();
    }
    // ALLAPOT|UGYFEL|CIM|BIZONYLAT of a product.
    QString product(const QString& kod) {
        const auto rs = db.conn->query(QStringLiteral(
            "SELECT ALLAPOT, COALESCE(UGYFEL, ''), COALESCE(CIM, ''), COALESCE(CAST(BIZONYLAT AS VARCHAR(12)), '-') "
            "FROM ARU WHERE KOD = :k"), {{QStringLiteral("k"), kod}});
        if (rs.isEmpty()) return QStringLiteral("<nincs>");
        QStringList l;
        for (int c = 0; c < rs.columnCount(); ++c) l << rs.at(0, c).toString().trimmed();
        return l.join(QLatin1Char('|'));
    }
    // Every row of the tables an exchange may write.
    QStringList snapshot() {
        QStringList rows;
        for (const QString t : {QStringLiteral("ARU"), QStringLiteral("FORGFEJ"), QStringLiteral("FORGSOR"),
                                QStringLiteral("FORGKABIN"), QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ")}) {
            auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2, 3").arg(t));
            while (rs.next()) {
                QStringList r;
                for (int c = 0; c < rs.columnCount(); ++c) r << rs.value(c).toString();
                rows << t + QLatin1Char(' ') + r.join(QLatin1Char('|'));
            }
        }
        return rows;
    }
    QString newCustomer(const QString& name, QString* siteKey) {
        const auto c = db.conn->query(QStringLiteral(
            "INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, ADOSZAM, AKTIV) VALUES (:n, '2030', 'Érd', 'Fő utca 1.', "
            "'12345678-2-13', 'I') RETURNING KOD"), {{QStringLiteral("n"), name}});
        const QString kod = c.at(0, 0).toString();
        const auto s = db.conn->query(QStringLiteral(
            "INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:u, 'Építési terület', '2030', 'Érd', "
            "'Alsó út 5.') RETURNING KOD"), {{QStringLiteral("u"), kod}});
        *siteKey = s.at(0, 0).toString();
        return kod;
    }
    ContractLine line(const QString& csop, int qty, const QStringList& products, const QString& driver = QStringLiteral("S1")) {
        ContractLine l;
        l.arucsoport = csop;
        l.mennyiseg = qty;
        l.bermegyseg = QStringLiteral("Hét");
        l.nettoar = 12000;
        l.kiszall = ymd(-10);
        l.vszall = ymd(60);
        l.hkszcspszv = QStringLiteral("1010100");
        l.karbar = {4500, 0, 4500, 0, 4500, 0, 0};
        l.soforkod = driver;
        l.products = products;
        return l;
    }
    // A stored contract with its schedule (delivery done, visits planned).
    qint64 contract(const QList<ContractLine>& lines, const QString& cust, const QString& s, const QString& fizmod = QStringLiteral("ATU")) {
        auto tx = db.conn->begin();
        ContractHeader h;
        h.bermod = QStringLiteral("HT");
        h.fizmod = fizmod;
        h.berkezd = ymd(-10);
        h.ugyfelkod = cust;
        h.ugyfelcim = s;
        const qint64 b = ContractStore::StoreNewContract(*tx, h, lines, QStringLiteral("TESZT"));
        schedule(*tx, b);
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND TEVKOD = 'KIH'"),
                 {{QStringLiteral("b"), b}});
        tx->commit();
        return b;
    }
    // The contract's delivery and take-back activities, its maintenance from the
    // day after delivery and, paid in cash, its billing (as a new contract gets them).
    void schedule(vl::db::Transaction& tx, qint64 b) {
        const GeneratorContext ctx = GeneratorContext::load(tx, QStringLiteral("TESZT"));
        for (const MaintenanceItem& it : LoadMaintenanceItems(tx, RentalTables::stored(), b, 1)) {
            const QString csop = tx.query(QStringLiteral("SELECT ARUCSOPORT FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = :t"),
                                          {{QStringLiteral("b"), b}, {QStringLiteral("t"), it.tetelsor}}).at(0, 0).toString();
            const EventItem ev{b, 1, it.tetelsor, it.sorszam, it.arukod, it.soforkod, csop};
            GenerateEventActivities(tx, ctx, QStringLiteral("UJTCS"), QStringLiteral("FORGTEV"), it.kiszall, ev);
            GenerateEventActivities(tx, ctx, QStringLiteral("HISZ"), QStringLiteral("FORGTEV"), it.vszallt, ev);
            ScheduleOptions o;
            o.firstDay = gen::toText(gen::toDate(it.kiszall).addDays(1));
            GenerateMaintenanceSchedule(tx, ctx, QStringLiteral("FORGTEV"), {it}, o);
        }
        if (LoadBillingTerms(tx, b, 1).cash()) GenerateBilling(tx, ctx, b, 1, QString());
    }
    qint64 netto(qint64 b) {
        return db.count(QStringLiteral("SELECT COALESCE(SUM(NETTO), 0) FROM FORGFIZ WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), b}});
    }
    ProductStoreRequest takeBack(qint64 biz, const QString& oldCode, const QString& replacement) {
        const auto rs = db.conn->query(QStringLiteral(
            "SELECT A.ARUCSOPORT, C.NEV, S.NEV, S.KIADHATO FROM ARU A, SZ_ARUCSOP C, SZ_STATUSK S "
            "WHERE A.KOD = :k AND C.KOD = A.ARUCSOPORT AND S.KOD = A.ALLAPOT"), {{QStringLiteral("k"), oldCode}});
        ProductStoreRequest rq;
        rq.mode = ProductMode::Modify;
        rq.code = oldCode;
        rq.oldCode = oldCode;
        rq.oldTypeCode = rs.at(0, 0).toString();
        rq.typeName = rs.at(0, 1).toString();
        rq.statusName = rs.at(0, 2).toString();
        rq.oldStatusClass = rs.at(0, 3).toString();
        rq.bizonylat = biz;
        rq.replacement = replacement;
        return rq;
    }
    // Planned activities of an item: "TEVKOD DATUM ARUKOD" each.
    QStringList planned(qint64 biz, qint64 tetelsor, qint64 sorszam, const QString& from = QString()) {
        auto rs = db.conn->query(QStringLiteral(
            "SELECT TEVKOD, DATUM, ARUKOD FROM FORGTEV WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s "
            "AND TEVALLAPOT IN ('T', 'L') AND DATUM >= :d ORDER BY DATUM, TEVSORSZAM"),
            {{QStringLiteral("b"), biz}, {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam},
             {QStringLiteral("d"), from}});
        QStringList l;
        while (rs.next()) l << rs.value(0).toString() + QLatin1Char(' ') + rs.value(1).toString() + QLatin1Char(' ') + rs.value(2).toString();
        return l;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        vl::setMessageSink(&sink);
        db.create();
        auto tx = db.conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
        // Codes 1..12 (ALAP 1-8, VIP 9-12), 20-22 and 100: numeric order differs from text order.
        for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 20, 21, 22, 100})
            ProductStore::StoreProduct(*tx, QString::number(i), i <= 8 || i >= 20 ? QStringLiteral("ALAP") : QStringLiteral("VIP"),
                                       ProductFree);
        ProductStore::StoreProduct(*tx, QStringLiteral("13"), QStringLiteral("ALAP"), QStringLiteral("SER"));
        tx->commit();
        customer = newCustomer(QStringLiteral("Építő Kft."), &site);
        customer2 = newCustomer(QStringLiteral("Másik Bt."), &site2);
    }
    void cleanupTestCase() { vl::setMessageSink(nullptr); }
    void init() {
        sink.clear();
        sink.answers.clear();
    }

    // Codes of another form come after the whole numbers, in Hungarian order
    // ("Cukor" before "Cs..."); a number written with a leading zero sits by
    // its value, before the same value without it. (Stored and read in one
    // transaction that is rolled back: the other cases keep their products.)
    void listCodesOfOtherForms() {
        auto tx = db.conn->begin();
        for (const char* c : {"Csiga1", "K-2", "Cukor1", "007", "0100"})
            ProductStore::StoreProduct(*tx, QString::fromUtf8(c), QStringLiteral("ALAP"), ProductFree);
        auto all = ProductRegister::List(*tx, {});
        const QStringList watched{"6", "007", "7", "8", "0100", "100", "Cukor1", "Csiga1", "K-2"};
        QStringList codes;
        while (all.next())
            if (watched.contains(all.text(QStringLiteral("KOD")))) codes << all.text(QStringLiteral("KOD"));
        QCOMPARE(codes, watched);
        tx->rollback();
    }

    // Codes order by their value; the filter values are bound, so a quote is just a value.
    void listOrderAndFilters() {
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        auto all = ProductRegister::List(*tx, {});
        QStringList codes;
        while (all.next()) codes << all.text(QStringLiteral("KOD"));
        QCOMPARE(codes.mid(0, 3), (QStringList{"1", "2", "3"}));
        QCOMPARE(codes.indexOf(QStringLiteral("22")) + 1, codes.indexOf(QStringLiteral("100")));
        QVERIFY(codes.indexOf(QStringLiteral("13")) < codes.indexOf(QStringLiteral("20")));
        QCOMPARE(ProductRegister::List(*tx, {QStringLiteral("VIP"), QString()}).rowCount(), 4);
        QCOMPARE(ProductRegister::List(*tx, {QString(), QStringLiteral("SER")}).rowCount(), 1);
        QCOMPARE(ProductRegister::List(*tx, {QStringLiteral("x'OR'a'='a"), QString()}).rowCount(), 0);
        const auto sum = ProductRegister::Summary(*tx, {QStringLiteral("ALAP"), QString()});
        qint64 n = 0;
        for (int r = 0; r < sum.rowCount(); ++r) n += sum.at(r, 2).toLongLong();
        QCOMPARE(n, qint64(13));
        QCOMPARE(ProductRegister::FilterText(QStringLiteral("Alap WC kabin"), QStringLiteral("Szabad")),
                 QStringLiteral(" Árucsoport:Alap WC kabin, Státusz: Szabad"));
        QCOMPARE(ProductRegister::FilterText(QString(), QStringLiteral("Szabad")), QStringLiteral(", Státusz: Szabad"));
    }

    void quickSearch_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        // The list: 1, 2, 12, 20, 100, 120, 125
        QTest::newRow("empty goes to the first row") << "" << 0;
        QTest::newRow("exact prefix") << "12" << 2;
        QTest::newRow("129 falls back to 12") << "129" << 2;
        QTest::newRow("1259 falls back to 125") << "1259" << 6;
        QTest::newRow("19 falls back to 1") << "19" << 0;
        QTest::newRow("blanks trimmed") << " 10 " << 4;
        QTest::newRow("no first character") << "3" << -1;
    }
    void quickSearch() {
        QFETCH(QString, text);
        QFETCH(int, row);
        const QStringList codes{"1", "2", "12", "20", "100", "120", "125"};
        QCOMPARE(ProductRegister::QuickSearch(codes, text), row);
    }

    void validation_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("oldCode");
        QTest::addColumn<QString>("oldClass");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QString>("error");
        const int ins = int(ProductMode::Insert), upd = int(ProductMode::Update), mod = int(ProductMode::Modify);
        const QString alap = QStringLiteral("Alap WC kabin"), vip = QStringLiteral("Prémium WC kabin kézmosóval");
        QTest::newRow("nothing filled") << ins << " " << "" << "" << "" << "" << "" << QStringList() << QList<int>()
                                        << kErr + "A kód nincs kitöltve\rA típus nincs kitöltve\rA státusz nincs kitöltve\r";
        QTest::newRow("vanished names") << ins << "500" << "Nincs ilyen" << "Elveszett" << "" << "" << "" << QStringList()
                                        << QList<int>() << kErr + "Eltűnt az árucsoport: Nincs ilyenEltűnt a státusz: Elveszett";
        QTest::newRow("letters in the code") << ins << "12A" << alap << "Szabad" << "" << "" << "" << QStringList()
                                             << QList<int>() << kErr + "A kód csak számjegyekből állhat: 12A\r";
        QTest::newRow("listed code") << ins << "3" << alap << "Szabad" << "" << "" << "" << QStringList{"1", "3"}
                                     << QList<int>() << kErr + "Már van ilyen kód: 3\r";
        QTest::newRow("stored code") << ins << "3" << alap << "Szabad" << "" << "" << "" << QStringList() << QList<int>()
                                     << kErr + "Már van ilyen kód: 3 Alap WC kabin Szabad\r";
        QTest::newRow("new product rented") << ins << "501" << alap << "Foglalt" << "" << "" << "" << QStringList()
                                            << QList<int>() << kErr + "Új felvitelnél nem lehet ilyen státusz: Foglalt\r";
        QTest::newRow("free to rented without delivery") << upd << "4" << alap << "Foglalt" << "4" << "I" << ""
                                                         << QStringList() << QList<int>()
                                                         << kErr + "A státusz itt így nem módosítható\r";
        QTest::newRow("renamed onto a stored code") << upd << "5" << alap << "Szabad" << "4" << "I" << "" << QStringList()
                                                    << QList<int>() << kErr + "Már van ilyen kód: 5 Alap WC kabin Szabad\r";
        QTest::newRow("renamed to letters") << upd << "4x" << alap << "Szabad" << "4" << "I" << "" << QStringList()
                                            << QList<int>() << kErr + "A kód csak számjegyekből állhat: 4x\r";
        QTest::newRow("take-back of a free cabin") << mod << "4" << alap << "Szabad" << "4" << "I" << "5" << QStringList()
                                                   << QList<int>() << kErr + "Ilyen státuszú (Szabad) terméket nem lehet visszavenni.\r";
        QTest::newRow("unknown replacement") << mod << "1" << alap << "Foglalt" << "1" << "N" << "999" << QStringList()
                                             << QList<int>() << kErr + "Nincs ilyen termékkód: 999\r";
        QTest::newRow("rented replacement") << mod << "1" << alap << "Foglalt" << "1" << "N" << "2" << QStringList()
                                            << QList<int>() << kErr + "A termék: 2 nem kiadható\r";
        QTest::newRow("damaged replacement") << mod << "1" << alap << "Foglalt" << "1" << "N" << "13" << QStringList()
                                             << QList<int>() << kErr + "A termék: 13 nem kiadható\r";
        QTest::newRow("type change refused") << mod << "1" << alap << "Foglalt" << "1" << "N" << "9" << QStringList()
                                             << QList<int>{1} << kErr + "Téves termék típus csere\r";
        QTest::newRow("no replacement refused") << mod << "1" << alap << "Foglalt" << "1" << "N" << "" << QStringList()
                                                << QList<int>{1} << kErr + "Téves visszavétel\r";
        Q_UNUSED(vip);
    }
    void validation() {
        QFETCH(int, mode);
        QFETCH(QString, code);
        QFETCH(QString, type);
        QFETCH(QString, status);
        QFETCH(QString, oldCode);
        QFETCH(QString, oldClass);
        QFETCH(QString, replacement);
        QFETCH(QStringList, listed);
        QFETCH(QList<int>, answers);
        QFETCH(QString, error);
        // Cabins 1 and 2 out on a contract, so the take-back rows have something to take.
        static qint64 biz = 0;
        if (!biz) biz = contract({line(QStringLiteral("ALAP"), 2, {QStringLiteral("1"), QStringLiteral("2")})}, customer, site);
        ProductStoreRequest rq;
        rq.mode = ProductMode(mode);
        rq.code = code;
        rq.typeName = type;
        rq.statusName = status;
        rq.oldCode = oldCode;
        rq.oldTypeCode = QStringLiteral("ALAP");
        rq.oldStatusClass = oldClass;
        rq.replacement = replacement;
        rq.listedCodes = listed;
        rq.bizonylat = biz;
        sink.answers = answers;
        const QStringList before = snapshot();
        const ProductStoreResult r = storeAsked(rq);
        QCOMPARE(r.messages.value(0), error);
        QVERIFY(!r.ok);
        QCOMPARE(snapshot(), before);
    }

    // Insert, update, rename; a code a contract names keeps it.
    void storeAndRename() {
        ProductStoreRequest rq;
        rq.mode = ProductMode::Insert;
        rq.code = QStringLiteral("300");
        rq.typeName = QStringLiteral("Alap WC kabin");
        rq.statusName = QStringLiteral("Szabad");
        auto r = storeAsked(rq);
        QVERIFY2(r.ok, qPrintable(r.messages.value(0)));
        QCOMPARE(product(QStringLiteral("300")), QStringLiteral("SZA|||-"));

        rq.mode = ProductMode::Update;
        rq.oldCode = QStringLiteral("300");
        rq.oldStatusClass = QStringLiteral("I");
        rq.code = QStringLiteral("301");
        rq.statusName = QStringLiteral("Sérült");
        sink.answers = {1};  // "Nem": nothing stored, the mode stays
        r = storeAsked(rq);
        QVERIFY(r.declined && !r.ok);
        QCOMPARE(sink.last(), QStringLiteral("A 300 kódú terméket módosítjuk?"));
        QCOMPARE(product(QStringLiteral("300")), QStringLiteral("SZA|||-"));
        sink.answers = {0};
        r = storeAsked(rq);
        QVERIFY(r.ok);
        QCOMPARE(r.rememberCode, QStringLiteral("301"));
        QCOMPARE(product(QStringLiteral("300")), QStringLiteral("<nincs>"));
        QCOMPARE(product(QStringLiteral("301")), QStringLiteral("SER|||-"));

        // A cabin that a contract line names cannot be renamed.
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 1, {QStringLiteral("3")})}, customer, site);
        Q_UNUSED(biz);
        ProductStoreRequest ren;
        ren.mode = ProductMode::Update;
        ren.code = QStringLiteral("399");
        ren.oldCode = QStringLiteral("3");
        ren.oldStatusClass = QStringLiteral("N");
        ren.kiszall = ymd(-10);
        ren.typeName = QStringLiteral("Alap WC kabin");
        ren.statusName = QStringLiteral("Foglalt");
        sink.answers = {0};
        const QStringList before = snapshot();
        r = storeAsked(ren);
        QCOMPARE(r.messages.value(0), kErr + QStringLiteral("A(z) 3 kódú terméket szerződés tétele tartalmazza, a kódja nem módosítható\r"));
        QCOMPARE(snapshot(), before);
    }

    // A line of one: same type; the item's planned activities follow it, done ones stay.
    void exchangeSameType() {
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 1, {QStringLiteral("4")})}, customer, site);
        const QStringList plannedBefore = planned(biz, 1, 1);
        QVERIFY(plannedBefore.size() > 3);
        QCOMPARE(product(QStringLiteral("4")), QStringLiteral("FOG|%1|%2|%3").arg(customer, site).arg(biz));
        // The delivery, done, names the cabin that was delivered.
        const QString doneKih = one(QStringLiteral("SELECT ARUKOD FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KIH'"),
                                    {{QStringLiteral("b"), biz}});
        QCOMPARE(doneKih, QStringLiteral("4"));

        const auto r = storeAsked(takeBack(biz, QStringLiteral("4"), QStringLiteral("5")));
        QVERIFY2(r.ok, qPrintable(r.messages.value(0)));
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), biz}}),
                 QStringLiteral("5"));
        QStringList expected;
        for (QString s : plannedBefore) expected << s.replace(QRegularExpression(QStringLiteral(" 4$")), QStringLiteral(" 5"));
        QCOMPARE(planned(biz, 1, 1), expected);
        // The done delivery keeps the cabin that was delivered.
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KIH'"),
                     {{QStringLiteral("b"), biz}}), QStringLiteral("4"));
        QCOMPARE(product(QStringLiteral("4")), QStringLiteral("SZA|||-"));
        QCOMPARE(product(QStringLiteral("5")), QStringLiteral("FOG|%1|%2|%3").arg(customer, site).arg(biz));
        QCOMPARE(one(QStringLiteral("SELECT JUZER FROM FORGFEJ WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), biz}}),
                 QStringLiteral("TESZT"));
    }

    // The cabin came back once from this contract and went out again on another
    // item: only the item still out changes, and only its activities follow.
    void exchangeKeyedByItem() {
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 2, {QStringLiteral("21"), QString()})}, customer, site);
        const vl::db::Params b{{QStringLiteral("b"), biz}};
        // Item 1 (cabin 21) came back; item 2 got cabin 21 afterwards.
        db.conn->exec(QStringLiteral("UPDATE FORGKABIN SET VSZALL = :d WHERE BIZONYLAT = :b AND SORSZAM = 1"),
                      {{QStringLiteral("d"), ymd(-5)}, {QStringLiteral("b"), biz}});
        db.conn->exec(QStringLiteral("UPDATE FORGKABIN SET ARUKOD = '21' WHERE BIZONYLAT = :b AND SORSZAM = 2"), b);
        db.conn->exec(QStringLiteral("UPDATE FORGTEV SET ARUKOD = '21' WHERE BIZONYLAT = :b AND SORSZAM = 2"), b);
        // A planned visit of item 1 that nobody cancelled keeps naming cabin 21.
        db.conn->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, "
                                     "ARUKOD, TEVALLAPOT, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, 1, :d, 9, 'SZK', '21', "
                                     "'T', 9000, 1, 'U')"), {{QStringLiteral("b"), biz}, {QStringLiteral("d"), ymd(3)}});
        const QStringList item1 = planned(biz, 1, 1);
        const QStringList item2 = planned(biz, 1, 2);
        const auto r = storeAsked(takeBack(biz, QStringLiteral("21"), QStringLiteral("22")));
        QVERIFY2(r.ok, qPrintable(r.messages.value(0)));
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 1"), b), QStringLiteral("21"));
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND SORSZAM = 2"), b), QStringLiteral("22"));
        QCOMPARE(planned(biz, 1, 1), item1);
        QStringList expected;
        for (QString s : item2) expected << s.replace(QRegularExpression(QStringLiteral(" 21$")), QStringLiteral(" 22"));
        QCOMPARE(planned(biz, 1, 2), expected);
        QCOMPARE(product(QStringLiteral("21")), QStringLiteral("SZA|||-"));
        QCOMPARE(product(QStringLiteral("22")), QStringLiteral("FOG|%1|%2|%3").arg(customer, site).arg(biz));
    }

    // A line of three, replacement of another type: the line splits.
    void exchangeSplitsLine() {
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 3, {QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")})},
                                    customer2, site2, QStringLiteral("KP"));
        const QStringList item2 = planned(biz, 1, 2);
        const QStringList item1 = planned(biz, 1, 1);
        const QStringList item3 = planned(biz, 1, 3);
        QVERIFY(!item2.isEmpty());
        const qint64 billed = netto(biz);
        QVERIFY(billed > 0);
        sink.answers = {0};  // "Igen": another type
        const auto r = storeAsked(takeBack(biz, QStringLiteral("7"), QStringLiteral("10")));
        QVERIFY2(r.ok, qPrintable(r.messages.value(0)));
        QCOMPARE(sink.texts().first(), QStringLiteral("Visszaveszi a terméket és más típusú terméket ad meg helyette?"));
        const vl::db::Params b{{QStringLiteral("b"), biz}};
        QCOMPARE(one(QStringLiteral("SELECT MENNYISEG || ' ' || ARUCSOPORT FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = 1"), b),
                 QStringLiteral("2 ALAP"));
        QCOMPARE(one(QStringLiteral("SELECT TETELSOR || ' ' || MENNYISEG || ' ' || ARUCSOPORT || ' ' || NETTOAR || ' ' || HKSZCSPSZV "
                                    "FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR <> 1"), b),
                 QStringLiteral("2 1 VIP 12000 1010100"));
        QCOMPARE(one(QStringLiteral("SELECT TETELSOR || '/' || SORSZAM FROM FORGKABIN WHERE BIZONYLAT = :b AND ARUKOD = '10'"), b),
                 QStringLiteral("2/1"));
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND TETELSOR = 1"), b), qint64(2));
        // The item's planned activities moved to its new line with the new code; its old key has none left.
        QStringList expected;
        for (QString s : item2) expected << s.replace(QRegularExpression(QStringLiteral(" 7$")), QStringLiteral(" 10"));
        QCOMPARE(planned(biz, 2, 1), expected);
        QVERIFY(planned(biz, 1, 2).isEmpty());
        // The other items of the line are untouched.
        QCOMPARE(planned(biz, 1, 1), item1);
        QCOMPARE(planned(biz, 1, 3), item3);
        QCOMPARE(product(QStringLiteral("7")), QStringLiteral("SZA|||-"));
        QCOMPARE(product(QStringLiteral("10")), QStringLiteral("FOG|%1|%2|%3").arg(customer2, site2).arg(biz));
        // Billing still charges three cabins and the same visits.
        QCOMPARE(netto(biz), billed);
    }

    // Another type on a line of one: the line takes the replacement's group.
    void exchangeTypeOnSingleLine() {
        const qint64 biz = contract({line(QStringLiteral("VIP"), 1, {QStringLiteral("11")})}, customer, site);
        sink.answers = {0};
        const auto r = storeAsked(takeBack(biz, QStringLiteral("11"), QStringLiteral("20")));
        QVERIFY2(r.ok, qPrintable(r.messages.value(0)));
        const vl::db::Params b{{QStringLiteral("b"), biz}};
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) || ' ' || MAX(ARUCSOPORT) || ' ' || MAX(MENNYISEG) FROM FORGSOR WHERE BIZONYLAT = :b"), b),
                 QStringLiteral("1 ALAP 1"));
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND TETELSOR = 1 AND SORSZAM = 1"), b),
                 QStringLiteral("20"));
    }

    // No replacement: "*" stands for the cabin, which shows on "Kabinszám nélkül".
    void takeBackWithoutReplacement() {
        const qint64 biz = contract({line(QStringLiteral("VIP"), 1, {QStringLiteral("12")})}, customer, site);
        sink.answers = {0};
        const auto r = storeAsked(takeBack(biz, QStringLiteral("12"), QString()));
        QVERIFY2(r.ok, qPrintable(r.messages.value(0)));
        QCOMPARE(sink.texts().first(), QStringLiteral("Visszaveszi a terméket és nem ad meg helyette másikat?"));
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), biz}}),
                 QStringLiteral("*"));
        QCOMPARE(product(QStringLiteral("12")), QStringLiteral("SZA|||-"));
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const auto rows = ProductRegister::WithoutCabinNumber(*tx);
        bool found = false;
        for (int i = 0; i < rows.rowCount(); ++i)
            if (rows.at(i, rows.indexOf(QStringLiteral("UGYFEL"))).toString() == QStringLiteral("Építő Kft.")) found = true;
        QVERIFY(found);
    }

    // A failure in the middle of an exchange leaves everything as it was.
    void exchangeFailsWhole() {
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 2, {QStringLiteral("100"), QString()})}, customer, site);
        db.conn->exec(QStringLiteral("CREATE EXCEPTION E_TESZT 'teszt hiba'"));
        db.conn->exec(QStringLiteral(
            "CREATE TRIGGER ARU_TESZT FOR ARU ACTIVE BEFORE UPDATE POSITION 0 AS "
            "BEGIN IF (NEW.KOD = '1' AND NEW.ALLAPOT = 'FOG' AND OLD.ALLAPOT = 'SZA') THEN EXCEPTION E_TESZT; END"));
        // Cabin 1 must be free for the test: take it from the validation contract's line first.
        db.conn->exec(QStringLiteral("UPDATE FORGKABIN SET VSZALL = :d WHERE ARUKOD = '1'"), {{QStringLiteral("d"), ymd(-1)}});
        {
            auto tx = db.conn->begin();
            ProductStore::UpdateProductStatus(*tx, QStringLiteral("1"));
            tx->commit();
        }
        QCOMPARE(product(QStringLiteral("1")), QStringLiteral("SZA|||-"));
        const QStringList before = snapshot();
        bool threw = false;
        try {
            storeAsked(takeBack(biz, QStringLiteral("100"), QStringLiteral("1")));
        } catch (const vl::db::DbError&) {
            threw = true;
        }
        QVERIFY(threw);
        QCOMPARE(snapshot(), before);
        db.conn->exec(QStringLiteral("DROP TRIGGER ARU_TESZT"));
        db.conn->exec(QStringLiteral("DROP EXCEPTION E_TESZT"));
    }

    // Another workstation writes the contract at the same moment: nothing is written, the user is told.
    void exchangeMeetsAnotherStore() {
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 1, {QStringLiteral("21")})}, customer2, site2);
        auto other = vl::db::connect(vl::rental::test::embeddedParams(db.path));
        auto otx = other->begin();
        otx->exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = 'MASIK' WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), biz}});
        const QStringList before = snapshot();
        QString refused;
        try {
            storeAsked(takeBack(biz, QStringLiteral("21"), QStringLiteral("7")));
        } catch (const vl::RuleRefusal& e) {
            refused = e.text();
        }
        QCOMPARE(refused, ProductRegister::ContractChangedElsewhereText());
        QCOMPARE(snapshot(), before);
        otx->rollback();
        other->close();
    }

    // "Ellenőrzés": a cabin shown rented though it came back is freed on "Igen".
    void checkAndRepair() {
        // Cabin 2 came back from the validation contract and went out again here: nothing to repair.
        db.conn->exec(QStringLiteral("UPDATE FORGKABIN SET VSZALL = :d WHERE ARUKOD = '2'"), {{QStringLiteral("d"), ymd(-20)}});
        {
            auto tx = db.conn->begin();
            QCOMPARE(ProductStore::UpdateProductStatus(*tx, QStringLiteral("2")), ProductFree);
            tx->commit();
        }
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 1, {QStringLiteral("2")})}, customer2, site2);
        QVERIFY(product(QStringLiteral("2")).startsWith(QStringLiteral("FOG|")));
        QVERIFY(!vl::askedThroughSink(ProductRegister::Check(*db.conn, QStringLiteral("2"))).ok);
        QVERIFY(sink.messages.isEmpty());
        // Now it comes back from this contract too, but ARU still says rented.
        db.conn->exec(QStringLiteral("UPDATE FORGKABIN SET VSZALL = :d WHERE ARUKOD = '2' AND BIZONYLAT = :b"),
                      {{QStringLiteral("d"), ymd(-1)}, {QStringLiteral("b"), biz}});
        QCOMPARE(ProductRegister::CheckQuestion(QStringLiteral("FOG"), QStringLiteral("Foglalt"), ymd(-1)),
                 QStringLiteral("A kabin állapota \"Foglalt\", pedig visszaszállították ") + ymd(-1) +
                     QStringLiteral("-n\rJavítsuk ki?"));
        sink.answers = {1};
        QVERIFY(!vl::askedThroughSink(ProductRegister::Check(*db.conn, QStringLiteral("2"))).ok);
        QCOMPARE(sink.last(), ProductRegister::CheckQuestion(QStringLiteral("FOG"), QStringLiteral("Foglalt"), ymd(-1)));
        QVERIFY(product(QStringLiteral("2")).startsWith(QStringLiteral("FOG|")));
        sink.answers = {0};
        QVERIFY(vl::askedThroughSink(ProductRegister::Check(*db.conn, QStringLiteral("2"))).ok);
        QCOMPARE(product(QStringLiteral("2")), QStringLiteral("SZA|||-"));
        QVERIFY(ProductRegister::CheckQuestion(QStringLiteral("SZA"), QStringLiteral("Szabad"), ymd(-1)).isEmpty());
    }

    // "Törlés": a rented cabin and one with rental history are refused; others are asked first.
    void deleteRules() {
        auto refusal = [&](const QString& kod) {
            const vl::Outcome o = ProductRegister::Delete(*db.conn, nullptr, kod);
            return o.refused() ? o.messages.value(0) : QString();
        };
        QCOMPARE(refusal(QStringLiteral("5")), QStringLiteral("Csak szabad kabin törölhető"));
        QCOMPARE(refusal(QStringLiteral("4")), QStringLiteral("A(z) 4 kódú kabinnak bérleti előzménye van, nem törölhető."));
        // A damaged cabin is not free.
        QCOMPARE(refusal(QStringLiteral("301")), QStringLiteral("Csak szabad kabin törölhető"));
        QVERIFY(sink.messages.isEmpty());
        db.conn->exec(QStringLiteral("UPDATE ARU SET ALLAPOT = 'SZA' WHERE KOD = '301'"));
        sink.answers = {1};
        QVERIFY(!vl::askedThroughSink(ProductRegister::Delete(*db.conn, nullptr, QStringLiteral("301"))).ok);
        QCOMPARE(sink.last(), QStringLiteral("Biztosan törli a(z) 301 kódú terméket?"));
        QCOMPARE(sink.defaultButtons.last(), 1);
        QCOMPARE(product(QStringLiteral("301")), QStringLiteral("SZA|||-"));
        sink.answers = {0};
        QVERIFY(vl::askedThroughSink(ProductRegister::Delete(*db.conn, nullptr, QStringLiteral("301"))).ok);
        QCOMPARE(product(QStringLiteral("301")), QStringLiteral("<nincs>"));
    }

    // Tqrtermeklista: three rented and one free give 4 / 1 / 3 / 0, with the filter line.
    void listReport() {
        TestDb small;
        small.create();
        auto tx = small.conn->begin();
        for (int i = 1; i <= 4; ++i)
            ProductStore::StoreProduct(*tx, QString::number(i), QStringLiteral("ALAP"), i == 2 ? ProductFree : ProductRented);
        const auto list = ProductRegister::List(*tx, {QStringLiteral("ALAP"), QString()});
        const QString company = CompanyName(*tx);
        tx->commit();
        const auto doc = vl::reporting::layout(
            ProductListReport(list, company, ProductRegister::FilterText(QStringLiteral("Alap WC kabin"), QString())));
        const QString pdf = small.dir.filePath(QStringLiteral("termeklista.pdf"));
        QVERIFY(vl::reporting::writePdf(doc, pdf));
        vl::reporting::test::firstPagePng(pdf, QStringLiteral("tqrtermeklista"));
        QVERIFY(vl::reporting::test::pdfLandscape(pdf));
        const QString text = vl::reporting::test::pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Termék lista")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Vorlanda Mobil WC Kft.")));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Szűrő feltételek:\\s+Árucsoport:Alap WC kabin"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Összes termék:\\s+4"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Szabad:\\s+1"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Bérlés alatt\\s+3"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Sérült, egyéb:\\s+0"))));
        // Laid out again, the counters start from 0.
        const auto report = ProductListReport(list, company, QString());
        vl::reporting::layout(report);
        const auto again = vl::reporting::layout(report);
        const QStringList texts = again.pageTexts(again.pageCount() - 1);
        const int at = int(texts.indexOf(QStringLiteral("Összes termék:")));
        QVERIFY(at >= 0 && at + 1 < texts.size());
        QCOMPARE(texts.at(at + 1), QStringLiteral("4"));
    }

    // The register's questions come back as data with their texts and
    // defaults: nothing is shown (the sink hears nothing) and nothing is
    // written while one is open; the answer decides.
    void questionsComeBackAsData() {
        {
            auto tx = db.conn->begin();
            for (const char* k : {"700", "701", "703"}) ProductStore::StoreProduct(*tx, QString::fromLatin1(k), QStringLiteral("ALAP"), ProductFree);
            ProductStore::StoreProduct(*tx, QStringLiteral("702"), QStringLiteral("VIP"), ProductFree);
            tx->commit();
        }
        const qint64 biz = contract({line(QStringLiteral("ALAP"), 1, {QStringLiteral("701")})}, customer2, site2);
        const QStringList before = snapshot();
        const auto heard = sink.messages.size();

        // The update's confirmation: "Nem" declines, "Igen" writes.
        ProductStoreRequest upd;
        upd.mode = ProductMode::Update;
        upd.code = upd.oldCode = QStringLiteral("700");
        upd.oldStatusClass = QStringLiteral("I");
        upd.typeName = QStringLiteral("Alap WC kabin");
        upd.statusName = QStringLiteral("Sérült");
        ProductStoreResult r = ProductRegister::Store(*db.conn, nullptr, session, upd);
        QVERIFY(r.asks() && !r.ok);
        QCOMPARE(r.question, QStringLiteral("A 700 kódú terméket módosítjuk?"));
        QVERIFY(!r.questionDefaultNo);
        QCOMPARE(snapshot(), before);
        const ProductStoreResult no = r.answer({false});
        QVERIFY(no.declined && !no.ok && no.messages.isEmpty());
        QCOMPARE(snapshot(), before);

        // A take-back without replacement, and one with a cabin of another type: "Nem" refuses.
        ProductStoreResult tb = ProductRegister::Store(*db.conn, nullptr, session, takeBack(biz, QStringLiteral("701"), QString()));
        QCOMPARE(tb.question, QStringLiteral("Visszaveszi a terméket és nem ad meg helyette másikat?"));
        QVERIFY(!tb.questionDefaultNo);
        QCOMPARE(tb.answer({false}).messages, QStringList{kErr + QStringLiteral("Téves visszavétel\r")});
        ProductStoreResult other = ProductRegister::Store(*db.conn, nullptr, session, takeBack(biz, QStringLiteral("701"), QStringLiteral("702")));
        QCOMPARE(other.question, QStringLiteral("Visszaveszi a terméket és más típusú terméket ad meg helyette?"));
        QCOMPARE(other.answer({false}).messages, QStringList{kErr + QStringLiteral("Téves termék típus csere\r")});
        QCOMPARE(snapshot(), before);

        // The delete's question: Enter answers "Nem".
        vl::Outcome del = ProductRegister::Delete(*db.conn, nullptr, QStringLiteral("703"));
        QCOMPARE(del.question, QStringLiteral("Biztosan törli a(z) 703 kódú terméket?"));
        QVERIFY(del.questionDefaultNo);
        QVERIFY(!del.answer({false}).ok);
        QCOMPARE(snapshot(), before);
        QCOMPARE(sink.messages.size(), heard);

        // Answered "Igen", each writes what it asked about.
        QVERIFY(r.proceed(true).ok);
        QCOMPARE(product(QStringLiteral("700")), QStringLiteral("SER|||-"));
        QVERIFY(del.proceed(true).ok);
        QCOMPARE(product(QStringLiteral("703")), QStringLiteral("<nincs>"));
        const ProductStoreResult exchanged = other.answerAll(true);
        QVERIFY2(exchanged.ok, qPrintable(exchanged.messages.join(QLatin1Char('|'))));
        QCOMPARE(one(QStringLiteral("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), biz}}),
                 QStringLiteral("702"));
        QCOMPARE(sink.messages.size(), heard);
    }

    // What the form and the products command read through the session.
    void sessionReadsTheRegister() {
        ProductRegisterSession rules(*db.conn, session);
        auto names = [](const vl::db::RowSet& rs) {
            QStringList l;
            for (int r = 0; r < rs.rowCount(); ++r) l << rs.at(r, rs.indexOf(QStringLiteral("NEV"))).toString().trimmed();
            return l;
        };
        QStringList groups = names(rules.readGroups());
        QVERIFY(groups.size() >= 2);
        QStringList sorted = groups;
        sorted.sort();
        QCOMPARE(groups, sorted);
        QVERIFY(groups.contains(QStringLiteral("Alap WC kabin")));
        QVERIFY(names(rules.readStatuses()).contains(QStringLiteral("Sérült")));

        // A cabin held by the contract being entered shows taken on the list page only.
        const auto pages = rules.loadPages({QStringLiteral("VIP"), QString()}, {QStringLiteral("9")});
        QCOMPARE(pages.list.rowCount(), rules.readList({QStringLiteral("VIP"), QString()}).rowCount());
        const int kod = pages.list.indexOf(QStringLiteral("KOD")), status = pages.list.indexOf(QStringLiteral("STATUS"));
        QCOMPARE(pages.list.at(0, kod).toString().trimmed(), QStringLiteral("9"));
        QCOMPARE(pages.list.at(0, status).toString(), ProductRegister::TakenOnContractText());
        QVERIFY(pages.summary.rowCount() >= 1);
        QCOMPARE(pages.summary.at(0, 0).toString().trimmed(), QStringLiteral("Prémium WC kabin kézmosóval"));

        // The report's filter line names the codes; an unknown code stands for itself.
        QCOMPARE(rules.readFilterText({QStringLiteral("ALAP"), QStringLiteral("SER")}),
                 QStringLiteral(" Árucsoport:Alap WC kabin, Státusz: Sérült"));
        QCOMPARE(rules.readFilterText({QStringLiteral("XY"), QString()}), QStringLiteral(" Árucsoport:XY"));
        QCOMPARE(rules.readFilterText({}), QString());
        QVERIFY(!rules.readCompanyName().isEmpty());
    }
};

QTEST_MAIN(TestProduct)
#include "tst_product.moc"
