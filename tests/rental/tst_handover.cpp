// The handover documents read back from their PDFs: a page per driver with
// its own totals (gross by the VAT rate of SZ_ADO), the cabin list without
// "*", the closing text once, cancelled and moved deliveries absent, the
// take-back document on the take-back's own day, the blank sheet, and the
// vorlanda-admin commands that write them.
#include "RentalTestDb.h"

#include "../reporting/PdfTools.h"
#include "reporting/Engine.h"
#include "rental/Billing.h"
#include "rental/ContractStore.h"
#include "rental/ActivityImages.h"
#include "rental/Handover.h"
#include "rental/ProductStore.h"
#include "rental/Schedule.h"
#include "shell/Ini.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QStringEncoder>

using namespace vl::rental;
using vl::rental::test::TestDb;
namespace pdf = vl::reporting::test;

namespace {
const QString kDay = QStringLiteral("2026.03.02");
const QString kReturn = QStringLiteral("2026.04.30");
const QString kClosing = QStringLiteral("rendeltetésszerű használatra alkalmas");
// A money amount as the mask writes it, whatever the thousands separator.
// A signature as a phone sends it: a dark stroke on white, PNG.
QByteArray signaturePng(int seed) {
    QImage img(600, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 90), 9, Qt::SolidLine, Qt::RoundCap));
    QPainterPath path(QPointF(40, 150));
    path.cubicTo(QPointF(120, 20 + seed * 10), QPointF(200, 190), QPointF(300, 80));
    path.cubicTo(QPointF(380, 10), QPointF(450, 180), QPointF(560, 60 + seed * 10));
    p.drawPath(path);
    p.end();
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}
// A page's items as text, to compare documents item by item.
QStringList itemsOf(const vl::reporting::Document& doc, int page, bool withoutSignatures = false) {
    QStringList out;
    for (const auto& it : doc.pages[page].items) {
        if (withoutSignatures && (it.name.contains(QStringLiteral("alairas_")) || it.name.startsWith(QStringLiteral("qrs_atvevo_"))))
            continue;
        out << QStringLiteral("%1|%2|%3,%4,%5,%6|%7")
                   .arg(int(it.kind))
                   .arg(it.name)
                   .arg(it.rect.x(), 0, 'f', 3)
                   .arg(it.rect.y(), 0, 'f', 3)
                   .arg(it.rect.width(), 0, 'f', 3)
                   .arg(it.rect.height(), 0, 'f', 3)
                   .arg(it.lines.join(QLatin1Char('/')));
    }
    return out;
}
QRegularExpression amount(const QString& title, const QString& thousands, const QString& rest) {
    return QRegularExpression(QRegularExpression::escape(title) + QStringLiteral("\\s+") + thousands + QStringLiteral("\\D?") + rest + QStringLiteral("\\b"));
}
} // namespace

class TestHandover : public QObject {
    Q_OBJECT
    TestDb db;
    qint64 biz = 0;

    QString writePdf(const vl::reporting::Report& r, const QString& name) {
        const QString file = db.dir.filePath(name + QStringLiteral(".pdf"));
        const auto doc = vl::reporting::layout(r);
        if (!vl::reporting::writePdf(doc, file)) return QString();
        pdf::firstPagePng(file, name);
        return file;
    }
    HandoverData load(const HandoverRequest& rq) {
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        HandoverData d = LoadHandover(*tx, rq);
        tx->commit();
        return d;
    }
    ContractLine line(const QString& csop, int qty, const QStringList& products, const QString& driver, qint64 price) {
        ContractLine l;
        l.arucsoport = csop;
        l.mennyiseg = qty;
        l.bermegyseg = QStringLiteral("Hét");
        l.nettoar = price;
        l.kiszall = kDay;
        l.vszall = kReturn;
        l.hkszcspszv = QStringLiteral("0010000");
        l.karbar = {0, 0, 4500, 0, 0, 0, 0};
        l.soforkod = driver;
        l.products = products;
        return l;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        db.create();
        auto tx = db.conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Péter', 'I')"));
        // 25 %: the gross totals must follow the table, not a fixed rate.
        tx->exec(QStringLiteral("UPDATE SZ_ADO SET ERTEK = 0.25 WHERE STANDARD = 'I'"));
        for (int i = 1; i <= 9; ++i)
            ProductStore::StoreProduct(*tx, QString::number(i), i <= 6 ? QStringLiteral("ALAP") : i <= 8 ? QStringLiteral("VIP") : QStringLiteral("ZUH"),
                                       ProductFree);
        const QString cust = tx->query(QStringLiteral(
            "INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, ADOSZAM, AKTIV) VALUES ('Építő Kft.', '2030', 'Érd', "
            "'Fő utca 1.', '12345678-2-13', 'I') RETURNING KOD")).at(0, 0).toString();
        const QString site = tx->query(QStringLiteral(
            "INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:u, 'Lakópark', '2040', 'Budaörs', "
            "'Szabadság út 10.') RETURNING KOD"), {{QStringLiteral("u"), cust}}).at(0, 0).toString();
        ContractHeader h;
        h.bermod = QStringLiteral("HT");
        h.fizmod = QStringLiteral("ATU");
        h.berkezd = kDay;
        h.ugyfelkod = cust;
        h.ugyfelcim = site;
        h.komment = QStringLiteral("Kapukód: 4711");
        biz = ContractStore::StoreNewContract(
            *tx, h,
            {line(QStringLiteral("ALAP"), 3, {QStringLiteral("1"), QStringLiteral("2")}, QStringLiteral("S1"), 12000),
             line(QStringLiteral("VIP"), 1, {QStringLiteral("7")}, QStringLiteral("S2"), 20000),
             line(QStringLiteral("ZUH"), 1, {QStringLiteral("9")}, QStringLiteral("S1"), 30000),
             line(QStringLiteral("AKM"), 1, {}, QStringLiteral("S1"), 40000)},
            QStringLiteral("TESZT"));
        const GeneratorContext ctx = GeneratorContext::load(*tx, QStringLiteral("TESZT"));
        for (const MaintenanceItem& it : LoadMaintenanceItems(*tx, RentalTables::stored(), biz, 1)) {
            const QString csop = tx->query(QStringLiteral("SELECT ARUCSOPORT FROM FORGSOR WHERE BIZONYLAT = :b AND TETELSOR = :t"),
                                           {{QStringLiteral("b"), biz}, {QStringLiteral("t"), it.tetelsor}}).at(0, 0).toString();
            const EventItem ev{biz, 1, it.tetelsor, it.sorszam, it.arukod, it.soforkod, csop};
            GenerateEventActivities(*tx, ctx, QStringLiteral("UJTCS"), QStringLiteral("FORGTEV"), it.kiszall, ev);
            GenerateEventActivities(*tx, ctx, QStringLiteral("HISZ"), QStringLiteral("FORGTEV"), it.vszallt, ev);
            ScheduleOptions o;
            o.firstDay = QStringLiteral("2026.03.03");
            GenerateMaintenanceSchedule(*tx, ctx, QStringLiteral("FORGTEV"), {it}, o);
        }
        // The shower's delivery was cancelled, the accessible cabin's moved to another day.
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'X' WHERE BIZONYLAT = :b AND TETELSOR = 3 AND TEVKOD = 'KIH'"),
                 {{QStringLiteral("b"), biz}});
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'A' WHERE BIZONYLAT = :b AND TETELSOR = 4 AND TEVKOD = 'KIH'"),
                 {{QStringLiteral("b"), biz}});
        tx->commit();
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND TEVKOD = 'KIH'"),
                          {{QStringLiteral("b"), biz}}), qint64(6));
    }

    // With prices: one page per driver, each with its own totals and the closing text once.
    void deliveryWithPrices() {
        const HandoverData d = load({biz, 1, QStringLiteral("KIH"), kDay, QString(), true});
        QCOMPARE(d.vatFactor, 1.25);
        const QString file = writePdf(HandoverReport(d), QStringLiteral("tqratadas"));
        QVERIFY(!file.isEmpty());
        const QStringList pages = pdf::pdfPages(file);
        QCOMPARE(pages.size(), 2);
        const QString& p1 = pages.at(0);
        const QString& p2 = pages.at(1);
        QVERIFY2(p1.contains(QStringLiteral("Gépjármű-vezető: Kovács Béla")), qPrintable(p1));
        QVERIFY(p2.contains(QStringLiteral("Gépjármű-vezető: Nagy Péter")));
        for (const QString& p : pages) {
            QVERIFY(p.contains(QStringLiteral("Sorszám: %1").arg(biz)));
            QVERIFY(p.contains(QStringLiteral("Átadás-átvételi bizonylat")));
            QVERIFY(p.contains(QStringLiteral("Vorlanda Mobil WC Kft.")));
            QVERIFY(p.contains(QStringLiteral("Építő Kft.")));
            QVERIFY(p.contains(QStringLiteral("2040 Budaörs, Szabadság út 10.")));
            QVERIFY(p.contains(QStringLiteral("Adószám: 12345678-2-13")));
            QVERIFY(p.contains(QStringLiteral("Kapukód: 4711")));
            QCOMPARE(p.count(kClosing), 1);
            QVERIFY(!p.contains(QStringLiteral("Zuhanykabin")));
            QVERIFY(!p.contains(QStringLiteral("Akadálymentes")));
        }
        QVERIFY(p1.contains(QStringLiteral("1. lap")) && p2.contains(QStringLiteral("2. lap")));
        // Cabins of the line without "*"; rent 3 x 12 000 and the delivery fee 3 x 8 000.
        QVERIFY(p1.contains(QRegularExpression(QStringLiteral("\\b1,2\\s+2026\\.03\\.02"))));
        QVERIFY(!p1.contains(QLatin1Char('*')));
        QVERIFY(p1.contains(amount(QStringLiteral("Nettó érték összesen"), QStringLiteral("60"), QStringLiteral("000"))));
        QVERIFY(p1.contains(amount(QStringLiteral("Fizetendő ÁFÁs érték összesen"), QStringLiteral("75"), QStringLiteral("000"))));
        // Rent 20 000 and the fee 10 000 of a premium cabin.
        QVERIFY(p2.contains(amount(QStringLiteral("Nettó érték összesen"), QStringLiteral("30"), QStringLiteral("000"))));
        QVERIFY(p2.contains(amount(QStringLiteral("Fizetendő ÁFÁs érték összesen"), QStringLiteral("37"), QStringLiteral("500"))));
        QVERIFY(p1.contains(QStringLiteral("/ 1 Hét")));
    }

    // PKR.INI ATADASQR=I puts each cabin's QR code with its number under its
    // line, readable from the printed page; missing or any other value: none.
    void cabinCodesBehindTheSwitch_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("codes");   // page 1 (Kovács Béla), then page 2 (Nagy Péter)
        QTest::newRow("not set") << QString() << QStringList{"", ""};
        QTest::newRow("off") << "ATADASQR=N" << QStringList{"", ""};
        QTest::newRow("on") << "ATADASQR=i" << QStringList{"VL:1,VL:2", "VL:7"};
    }
    void cabinCodesBehindTheSwitch() {
        QFETCH(QString, ini);
        QFETCH(QStringList, codes);
        const QString file = db.dir.filePath(QStringLiteral("ATADAS.INI"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write((ini + QStringLiteral("\r\n")).toLatin1());
        f.close();
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(file, true));
        const HandoverData d = load({biz, 1, QStringLiteral("KIH"), kDay, QString(), true});
        vl::shell::IniClear();
        const auto doc = vl::reporting::layout(HandoverReport(d));
        QCOMPARE(doc.pageCount(), 2);
        QCOMPARE(QStringList({doc.pageCodes(0).join(QLatin1Char(',')), doc.pageCodes(1).join(QLatin1Char(','))}), codes);
        if (codes.first().isEmpty()) return;
        // The numbers under the codes, and the codes read back from the page.
        QVERIFY(doc.pageTexts(0).contains(QStringLiteral("1")) && doc.pageTexts(0).contains(QStringLiteral("2")));
        const QString pdfFile = writePdf(HandoverReport(d), QStringLiteral("tqratadas_qr"));
        const QImage page = pdf::pdfPageImage(pdfFile, 1, 200);
        QStringList read;
        for (const auto& it : doc.pages[0].items)
            if (it.kind == vl::reporting::Item::Kind::Shape) read << pdf::decodeCodes(pdf::cropMm(page, it.rect, 200));
        QCOMPARE(read, (QStringList{"VL:1", "VL:2"}));
    }

    // The amounts as Hungarians write them on a workstation of any locale: a
    // blank between thousands, never the locale's comma.
    void numbersWhateverTheLocale() {
        const QLocale before;
        auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        const HandoverData d = load({biz, 1, QStringLiteral("KIH"), kDay, QString(), true});
        for (const QLocale& l : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
            QLocale::setDefault(l);
            const QString text = pdf::pdfText(writePdf(HandoverReport(d), QStringLiteral("tqratadas_") + l.name())).simplified();
            QVERIFY2(text.contains(QStringLiteral("12 000 / 1 Hét")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Nettó érték összesen 60 000")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Fizetendő ÁFÁs érték összesen 37 500")), qPrintable(text));
            QVERIFY2(!text.contains(QStringLiteral("12,000")) && !text.contains(QStringLiteral("60,000")), qPrintable(text));
        }
    }

    // Without prices: no price columns or totals, no occasional activities.
    void deliveryWithoutPrices() {
        const HandoverData d = load({biz, 1, QStringLiteral("KIH"), kDay, QStringLiteral("2026.12.31"), false});
        QCOMPARE(d.lines.rowCount(), 2);
        const QString file = writePdf(HandoverReport(d), QStringLiteral("tqratadas_arak_nelkul"));
        const QString text = pdf::pdfText(file);
        QVERIFY(!text.contains(QStringLiteral("Nettó érték összesen")));
        QVERIFY(!text.contains(QStringLiteral("Nettó bérleti díj")));
        QVERIFY(text.contains(QStringLiteral("N. kárérték/db")));
        QCOMPARE(text.count(kClosing), 2);
    }

    // The take-back document is dated by the take-back, never by the billing cut-off.
    void takeBackOnItsOwnDay() {
        auto tx = db.conn->begin();
        const HandoverRequest resolved = ResolveHandoverDates(*tx, {biz, 1, QStringLiteral("VSZ"), QString(), QString(), false});
        QCOMPARE(resolved.datum, kReturn);
        QVERIFY(CutoffBeforeMaintenance(*tx, biz, 1) != kReturn);
        QCOMPARE(TakeBackDocumentDate(*tx, biz, 1, 1, 1), kReturn);
        // Moved to 2 May: the document follows the activity, not the item's planned return.
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'A' WHERE BIZONYLAT = :b AND TETELSOR = 1 AND SORSZAM = 1 "
                                "AND TEVKOD = 'VSZ'"), {{QStringLiteral("b"), biz}});
        tx->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, "
                                "TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (:b, 1, 1, 1, '2026.05.02', 1, 'VSZ', "
                                "'1', 'T', 'S1', 8000, 1, 'U')"), {{QStringLiteral("b"), biz}});
        QCOMPARE(TakeBackDocumentDate(*tx, biz, 1, 1, 1), QStringLiteral("2026.05.02"));
        // Cancelled too: the planned return.
        tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = 'X' WHERE BIZONYLAT = :b AND DATUM = '2026.05.02'"),
                 {{QStringLiteral("b"), biz}});
        QCOMPARE(TakeBackDocumentDate(*tx, biz, 1, 1, 1), kReturn);
        tx->rollback();

        const HandoverData d = load({biz, 1, QStringLiteral("VSZ"), QString(), QString(), false});
        QCOMPARE(d.request.datum, kReturn);
        const QString text = pdf::pdfText(writePdf(HandoverReport(d), QStringLiteral("tqratadas_vsz")));
        QVERIFY2(text.contains(QStringLiteral("Visszaszállítás")), qPrintable(text));
        QVERIFY(text.contains(kReturn));
    }

    void nothingOnTheDay() {
        const HandoverData d = load({biz, 1, QStringLiteral("KIH"), QStringLiteral("2026.03.09"), QString(), true});
        QVERIFY(d.lines.isEmpty());
        QCOMPARE(NoHandoverLinesText(), QStringLiteral("Nincs szállításra vonatkozó információ megadva erre a szerződésre."));
    }

    void blankSheet() {
        // The company's tax number is printed under its address.
        db.conn->exec(QStringLiteral("UPDATE CEG SET ADOSZAM = '12345676-2-41'"));
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const HandoverCompany co = ReadHandoverCompany(*tx);
        tx->commit();
        db.conn->exec(QStringLiteral("UPDATE CEG SET ADOSZAM = NULL"));
        QCOMPARE(co.nyomtpeld, 2);
        QCOMPARE(co.adoszam, QStringLiteral("12345676-2-41"));
        {
            using vl::reporting::Field;
            const vl::reporting::Report r = BlankHandoverReport(co);
            const Field* street = nullptr;
            const Field* tax = nullptr;
            for (const Field& f : r.pageHeader.fields) {
                if (f.name == QLatin1String("qrs_cegutca")) street = &f;
                if (f.name == QLatin1String("qrs_cegadoszam")) tax = &f;
            }
            QVERIFY(street && tax);
            QCOMPARE(tax->text, QStringLiteral("Adószám: 12345676-2-41"));
            QVERIFY(tax->y >= street->y + street->h);
            QVERIFY(tax->y + tax->h <= 50); // inside the lessor's box
        }
        const QString file = writePdf(BlankHandoverReport(co), QStringLiteral("tqratadas2"));
        QCOMPARE(pdf::pdfPageCount(file), 1);
        const QString text = pdf::pdfText(file);
        for (const QString& t : {QStringLiteral("Átadás-átvételi bizonylat"), QStringLiteral("Bérbeadó:"),
                                 QStringLiteral("Vorlanda Mobil WC Kft."), QStringLiteral("Budafoki út 59."),
                                 QStringLiteral("Adószám: 12345676-2-41"),
                                 QStringLiteral("Bérlő:"), QStringLiteral("Szállítási cím"), QStringLiteral("Adószám:"),
                                 QStringLiteral("Bérbeadás típusa"), QStringLiteral("Fizetési mód"), QStringLiteral("1. lap"),
                                 QStringLiteral("Gépjármű-vezető:"), QStringLiteral("N. kárérték/db"),
                                 QStringLiteral("Nettó érték összesen"), QStringLiteral("Fizetendő ÁFÁs érték összesen"), kClosing})
            QVERIFY2(text.contains(t), qPrintable(t));
        QVERIFY(!text.contains(QStringLiteral("-1")));
    }

    // What the print dialog calls: the copies it offers, and the document,
    // empty on a day without lines, the blank sheet for contract -1.
    void printDialogCalls() {
        QCOMPARE(ReadHandoverCopies(*db.conn), 2);
        bool empty = true;
        const vl::reporting::Report full =
            LoadHandoverDocument(*db.conn, {biz, 1, QStringLiteral("KIH"), kDay, QString(), true}, &empty);
        QVERIFY(!empty);
        const QStringList pages = pdf::pdfPages(writePdf(full, QStringLiteral("tqratadas_dialog")));
        QCOMPARE(pages.size(), 2);
        QVERIFY2(pages.at(0).contains(QStringLiteral("Gépjármű-vezető: Kovács Béla")), qPrintable(pages.at(0)));
        LoadHandoverDocument(*db.conn, {biz, 1, QStringLiteral("KIH"), QStringLiteral("2026.03.09"), QString(), true}, &empty);
        QVERIFY(empty);
        empty = true;
        const vl::reporting::Report blank = LoadHandoverDocument(*db.conn, HandoverRequest(), &empty);
        QVERIFY(!empty);
        QCOMPARE(pdf::pdfPageCount(writePdf(blank, QStringLiteral("tqratadas2_dialog"))), 1);
    }

    // Signatures sent from the phones for the document's activities: on the
    // page of the activity's driver and day, the latest of each receiver, at
    // most three, the name under each; a photo, another kind or another day
    // prints nothing. Without a signature the document is item for item what
    // it was.
    void signedDocument() {
        const HandoverRequest rq{biz, 1, QStringLiteral("KIH"), kDay, QString(), true};
        const vl::reporting::Document before = vl::reporting::layout(HandoverReport(load(rq)));
        auto tx = db.conn->begin();
        auto keyOf = [&](int tetelsor, const QString& kod) {
            auto rs = tx->query(QStringLiteral("SELECT FIRST 1 TETELSOR, SORSZAM, DATUM, TEVSORSZAM FROM FORGTEV WHERE BIZONYLAT = :b"
                                               " AND TETELSOR = :t AND TEVKOD = :k ORDER BY DATUM DESC, SORSZAM"),
                                {{QStringLiteral("b"), biz}, {QStringLiteral("t"), tetelsor}, {QStringLiteral("k"), kod}});
            ActivityImageKey k;
            if (!rs.next()) return k;
            k.bizonylat = biz;
            k.tetelsor = rs.integer(QStringLiteral("TETELSOR"));
            k.sorszam = rs.integer(QStringLiteral("SORSZAM"));
            k.datum = rs.text(QStringLiteral("DATUM")).trimmed();
            k.tevsorszam = rs.integer(QStringLiteral("TEVSORSZAM"));
            return k;
        };
        const ActivityImageKey kovacs = keyOf(1, QStringLiteral("KIH")), nagy = keyOf(2, QStringLiteral("KIH")),
                          vissza = keyOf(1, QStringLiteral("VSZ"));
        QCOMPARE(kovacs.datum, kDay);
        QCOMPARE(vissza.datum, kReturn);
        vl::shell::Session service;
        service.userCode = QStringLiteral("SOFSZ");
        int n = 0;
        auto store = [&](const ActivityImageKey& k, ActivityImageKind kind, const QString& receiver, const QString& when,
                         int seed) -> QByteArray {
            NewActivityImage i;
            i.key = k;
            i.kind = kind;
            i.receiver = receiver;
            i.mime = QStringLiteral("image/png");
            i.bytes = signaturePng(seed);
            i.driverCode = QStringLiteral("S1");
            i.requestId = QStringLiteral("r-%1").arg(++n);
            i.width = 600;
            i.height = 200;
            const StoredActivityImage r = StoreActivityImage(*tx, service, i, ActivityImageLimits{}, when);
            return r.kind == StoredActivityImage::Kind::Stored ? i.bytes : QByteArray();
        };
        // A photo alone: the document as before.
        QVERIFY(!store(kovacs, ActivityImageKind::Photo, QString(),
                       QStringLiteral("2026.03.02 07:30:00"), 0).isEmpty());
        {
            const HandoverData d = LoadHandover(*tx, rq);
            QVERIFY(d.signatures.isEmpty());
            const auto doc = vl::reporting::layout(HandoverReport(d));
            QCOMPARE(doc.pageCount(), before.pageCount());
            for (int p = 0; p < doc.pageCount(); ++p) QCOMPARE(itemsOf(doc, p), itemsOf(before, p));
        }
        QVERIFY(!store(kovacs, ActivityImageKind::Signature, QStringLiteral("Fehér Anna"),
                       QStringLiteral("2026.03.02 08:00:00"), 1).isEmpty());
        QVERIFY(!store(kovacs, ActivityImageKind::Signature, QStringLiteral("Kovács Éva"),
                       QStringLiteral("2026.03.02 09:00:00"), 2).isEmpty());
        QVERIFY(!store(kovacs, ActivityImageKind::Signature, QStringLiteral("Szabó Ádám"),
                       QStringLiteral("2026.03.02 09:30:00"), 3).isEmpty());
        QVERIFY(!store(kovacs, ActivityImageKind::Signature, QStringLiteral("Kiss Pál"),
                       QStringLiteral("2026.03.02 09:45:00"), 4).isEmpty());
        const QByteArray latest = store(kovacs, ActivityImageKind::Signature, QStringLiteral("Kovács Éva"),
                                        QStringLiteral("2026.03.02 10:00:00"), 5);
        QVERIFY(!store(nagy, ActivityImageKind::Signature, QStringLiteral("Nagy Ilona"),
                       QStringLiteral("2026.03.02 11:00:00"), 6).isEmpty());
        QVERIFY(!store(vissza, ActivityImageKind::Signature, QStringLiteral("Tóth Gábor"),
                       QStringLiteral("2026.04.30 12:00:00"), 7).isEmpty());

        const HandoverData d = LoadHandover(*tx, rq);
        const HandoverData back = LoadHandover(*tx, {biz, 1, QStringLiteral("VSZ"), QString(), QString(), false});
        tx->rollback();
        QStringList got;
        for (const HandoverSignature& s : d.signatures) got << s.page + QLatin1Char(' ') + s.receiver + QLatin1Char(' ') + s.when;
        QCOMPARE(got, (QStringList{"S1|2026.03.02 Szabó Ádám 2026.03.02 09:30:00", "S1|2026.03.02 Kiss Pál 2026.03.02 09:45:00",
                                   "S1|2026.03.02 Kovács Éva 2026.03.02 10:00:00", "S2|2026.03.02 Nagy Ilona 2026.03.02 11:00:00"}));
        QCOMPARE(d.signatures.at(2).image, latest);

        const QString file = writePdf(HandoverReport(d), QStringLiteral("tqratadas_alairt"));
        const QStringList pages = pdf::pdfPages(file);
        QCOMPARE(pages.size(), 2);
        for (const QString& name : {QStringLiteral("Szabó Ádám"), QStringLiteral("Kiss Pál"), QStringLiteral("Kovács Éva")})
            QCOMPARE(pages.at(0).count(QStringLiteral("Átvevő: ") + name), 1);
        QVERIFY(!pages.at(0).contains(QStringLiteral("Fehér Anna")));
        QVERIFY(!pages.at(0).contains(QStringLiteral("Nagy Ilona")));
        QCOMPARE(pages.at(1).count(QStringLiteral("Átvevő: ")), 1);
        QVERIFY(pages.at(1).contains(QStringLiteral("Átvevő: Nagy Ilona")));
        QVERIFY(!pages.join(QString()).contains(QStringLiteral("Tóth Gábor")));
        QVERIFY(pages.at(0).contains(QStringLiteral("Gépjármű-vezető: Kovács Béla")));
        QCOMPARE(pages.at(0).count(kClosing), 1);

        // The pictures in the receivers' place: under the closing text, side
        // by side, the latest at the right edge, each above its line and name.
        const vl::reporting::Document doc = vl::reporting::layout(HandoverReport(d));
        QCOMPARE(doc.pageCount(), 2);
        QHash<QString, QRectF> at;
        for (const auto& it : doc.pages[0].items) at.insert(it.name, it.rect);
        QVERIFY(at.contains(QStringLiteral("qri_alairas_3")));
        const QRectF sig = at.value(QStringLiteral("qri_alairas_3"));
        QVERIFY2(sig.top() >= at.value(QStringLiteral("qrs_zaro")).bottom(), qPrintable(QString::number(sig.top())));
        QVERIFY2(qAbs(sig.right() - 200) < 1 && sig.left() > 135, qPrintable(QStringLiteral("%1 %2").arg(sig.left()).arg(sig.right())));
        QCOMPARE(sig.width() / sig.height(), 3.0);   // 600 x 200: its proportions kept
        QVERIFY(at.value(QStringLiteral("qri_alairas_1")).right() < at.value(QStringLiteral("qri_alairas_2")).left());
        QVERIFY(at.value(QStringLiteral("qri_alairas_2")).right() < sig.left());
        QVERIFY(sig.bottom() <= at.value(QStringLiteral("line_alairas_3")).top() + 0.01);
        QVERIFY(at.value(QStringLiteral("qrs_atvevo_3")).top() >= sig.bottom());
        QVERIFY(!at.contains(QStringLiteral("qri_alairas_4")));   // Nagy Ilona's is on the second page
        // Everything else stands where it stood.
        for (int p = 0; p < doc.pageCount(); ++p) QCOMPARE(itemsOf(doc, p, true), itemsOf(before, p));
        QCOMPARE(itemsOf(before, 0, true), itemsOf(before, 0));

        // On paper: the stroke is there, inside the picture's place, and the gap to its neighbour is paper.
        const QString png = QStringLiteral(VL_OUT_DIR "/handover-signed");
        QDir(png).removeRecursively();
        QDir().mkpath(png);
        pdf::runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("80"), QStringLiteral("-png"), file,
                                                  png + QStringLiteral("/tqratadas_alairt")});
        const QImage page = QImage(png + QStringLiteral("/tqratadas_alairt-1.png"));
        QVERIFY(!page.isNull());
        const QImage place = pdf::cropMm(page, sig, 80);
        int dark = 0;
        for (int y = 0; y < place.height(); ++y)
            for (int x = 0; x < place.width(); ++x) dark += qGray(place.pixel(x, y)) < 128;
        QVERIFY2(dark > 40, qPrintable(QString::number(dark)));
        const QImage beside = pdf::cropMm(page, QRectF(sig.left() - 4, sig.top(), 3, sig.height()), 80);
        int darkBeside = 0;
        for (int y = 0; y < beside.height(); ++y)
            for (int x = 0; x < beside.width(); ++x) darkBeside += qGray(beside.pixel(x, y)) < 128;
        QCOMPARE(darkBeside, 0);

        // The take-back's own signature on its document, on its day.
        QCOMPARE(back.request.datum, kReturn);
        QCOMPARE(back.signatures.size(), 1);
        QCOMPARE(back.signatures.at(0).receiver, QStringLiteral("Tóth Gábor"));
        QVERIFY(pdf::pdfText(writePdf(HandoverReport(back), QStringLiteral("tqratadas_vsz_alairt")))
                    .contains(QStringLiteral("Átvevő: Tóth Gábor")));
        // Rolled back: the stored document is unsigned again, as it was.
        const HandoverData again = load(rq);
        QVERIFY(again.signatures.isEmpty());
        const auto doc2 = vl::reporting::layout(HandoverReport(again));
        for (int p = 0; p < doc2.pageCount(); ++p) QCOMPARE(itemsOf(doc2, p), itemsOf(before, p));
    }

    // vorlanda-admin handover and products write the same documents.
    void commands() {
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        bool english = false;
        auto run = [&](const QStringList& args, QString* out) {
            QProcess p;
            p.setWorkingDirectory(db.dir.path());
            if (english) {
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
                env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
                p.setProcessEnvironment(env);
            }
            p.start(QStringLiteral(VL_ADMIN_EXE), args);
            p.waitForFinished(300000);
            *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QString out;
        const QString doc = db.dir.filePath(QStringLiteral("cmd_atadas.pdf"));
        QCOMPARE(run({QStringLiteral("handover"), QString::number(biz), QStringLiteral("--date"), kDay,
                      QStringLiteral("--prices"), QStringLiteral("--pdf"), doc}, &out), 0);
        QCOMPARE(pdf::pdfPageCount(doc), 2);
        QVERIFY(pdf::pdfText(doc).contains(amount(QStringLiteral("Nettó érték összesen"), QStringLiteral("60"), QStringLiteral("000"))));
        // The same on a machine whose locale is English.
        english = true;
        QCOMPARE(run({QStringLiteral("handover"), QString::number(biz), QStringLiteral("--date"), kDay,
                      QStringLiteral("--prices"), QStringLiteral("--pdf"), doc}, &out), 0);
        english = false;
        QVERIFY2(pdf::pdfText(doc).simplified().contains(QStringLiteral("Nettó érték összesen 60 000")), qPrintable(pdf::pdfText(doc)));
        QCOMPARE(run({QStringLiteral("handover"), QString::number(biz), QStringLiteral("--kind"), QStringLiteral("VSZ"),
                      QStringLiteral("--pdf"), doc}, &out), 0);
        QVERIFY(pdf::pdfText(doc).contains(kReturn));
        QVERIFY2(run({QStringLiteral("handover"), QString::number(biz), QStringLiteral("--date"), QStringLiteral("2026.03.09"),
                      QStringLiteral("--pdf"), doc}, &out) != 0, qPrintable(out));
        QVERIFY2(out.contains(NoHandoverLinesText()), qPrintable(out));
        QCOMPARE(run({QStringLiteral("handover"), QStringLiteral("-1"), QStringLiteral("--pdf"), doc}, &out), 0);
        QVERIFY(pdf::pdfText(doc).contains(QStringLiteral("Gépjármű-vezető:")));

        const QString list = db.dir.filePath(QStringLiteral("cmd_termekek.pdf"));
        QVERIFY2(run({QStringLiteral("products"), QStringLiteral("--pdf"), list}, &out) == 0, qPrintable(out));
        const QString text = pdf::pdfText(list);
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Összes termék:\\s+9"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Bérlés alatt\\s+4"))));
    }
};

QTEST_MAIN(TestHandover)
#include "tst_handover.moc"
