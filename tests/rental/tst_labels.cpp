// Cabin labels: which cabins a request prints (codes, ranges, a group, all)
// and its refusals, the sheet's layout from PKR.INI and its refusals, the
// sheet laid out for 1, 24 and 25 cabins (the page break), the large label
// on A5/A6, and vorlanda-admin labels: its PDF's QR codes read back by
// zbarimg from pdftoppm's page images, its texts, its refusals.
#include "RentalTestDb.h"

#include "../reporting/PdfTools.h"
#include "reporting/Engine.h"
#include "reporting/QrCode.h"
#include "rental/CabinLabels.h"
#include "shell/Ini.h"

#include <QFile>

using namespace vl::rental;
using namespace vl::reporting;
using namespace vl::reporting::test;
using vl::rental::test::TestDb;

namespace {

void writeFile(const QString& path, const QString& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toLatin1());
}

QList<CabinLabel> numbered(int n) {
    QList<CabinLabel> l;
    for (int i = 1; i <= n; ++i) l << CabinLabel{QString::number(i), QStringLiteral("Alap WC kabin")};
    return l;
}

QList<QRectF> codeRects(const Document& doc, int page) {
    QList<QRectF> r;
    for (const Item& it : doc.pages[page].items)
        if (it.kind == Item::Kind::Shape) r << it.rect;
    return r;
}

// The cell of label i (0-based) of a page of the default sheet, in mm.
QRectF defaultCell(int i) { return QRectF((i % 3) * 70.0, 4.5 + (i / 3) * 36.0, 70, 36); }

const LabelCompany kCompany{QStringLiteral("Próba Kft."), QStringLiteral("+36 1 555 0101")};

} // namespace

class TestLabels : public QObject {
    Q_OBJECT
    TestDb db;
    QTemporaryDir cmdDir;

    QString cmdPath(const QString& n) const { return cmdDir.filePath(n); }

    struct Run {
        int code = -1;
        QString text;   // standard output and error
    };
    // vorlanda-admin on the command's configuration (unless the arguments name one).
    Run admin(QStringList args) const {
        if (args.value(0) != QLatin1String("--ini")) args = QStringList{QStringLiteral("--ini"), cmdPath(QStringLiteral("PKR.INI"))} + args;
        Run r;
        r.text = runTool(QStringLiteral(VL_ADMIN_EXE), args, &r.code, true);
        return r;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        db.create();
        // Cabins of two groups, a code with leading zeros and one of older data
        // that is no number; a group without cabins (ZUH).
        const QList<QPair<const char*, const char*>> cabins{{"1", "ALAP"}, {"2", "ALAP"}, {"5", "ALAP"}, {"7", "ALAP"},
                                                           {"9", "ALAP"}, {"010", "ALAP"}, {"3", "VIP"}, {"8", "VIP"},
                                                           {"A12", "VIP"}};
        for (const auto& [kod, csop] : cabins)
            db.conn->exec(QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, :c, 'SZA')"),
                          {{QStringLiteral("k"), QString::fromLatin1(kod)}, {QStringLiteral("c"), QString::fromLatin1(csop)}});
        db.conn->exec(QStringLiteral("DELETE FROM CEG"));
        db.conn->exec(QStringLiteral("INSERT INTO CEG (KOD, NEV, TELEFON) VALUES ('1', :n, :t)"),
                      {{QStringLiteral("n"), kCompany.name}, {QStringLiteral("t"), kCompany.phone}});

        // The command's database: the demonstration's 80 cabins (101-180).
        QVERIFY(cmdDir.isValid());
        writeFile(cmdPath(QStringLiteral("PKR.INI")),
                  QStringLiteral("DBSERVER=%1\r\nWPWD=ZUMOR\r\n").arg(cmdPath(QStringLiteral("var/pkr.fdb"))));
        const Run init = admin({QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(init.code == 0, qPrintable(init.text));
        auto c = vl::db::connect(vl::rental::test::embeddedParams(cmdPath(QStringLiteral("var/pkr.fdb"))));
        c->exec(QStringLiteral("UPDATE CEG SET TELEFON = '+36 1 555 0101'"));
        c->close();
        // A configuration whose sheet runs off the paper.
        writeFile(cmdPath(QStringLiteral("SZELES.INI")), QStringLiteral("DBSERVER=%1\r\nWPWD=ZUMOR\r\nCIMKEOSZLOP=4\r\n")
                                                           .arg(cmdPath(QStringLiteral("var/pkr.fdb"))));
    }
    void cleanupTestCase() { vl::shell::IniClear(); }

    void readLabels_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("codes");     // as --codes gives them; "" none
        QTest::addColumn<QString>("expected");  // the codes printed, or the refusal
        QTest::newRow("all, numbers by value, other codes last") << "" << "" << "1,2,3,5,7,8,9,010,A12";
        QTest::newRow("a group") << "ALAP" << "" << "1,2,5,7,9,010";
        QTest::newRow("numbers and a range with gaps") << "" << "1,2,5-9" << "1,2,5,7,8,9";
        QTest::newRow("a number finds its code with leading zeros") << "" << "10" << "010";
        QTest::newRow("a range within a group") << "VIP" << "3-9" << "3,8";
        QTest::newRow("a number twice prints once") << "" << "2,2,1-2" << "1,2";
        QTest::newRow("numbers without a cabin")
            << "" << "4,1,6" << "Nincs ilyen kabin a nyilvántartásban: 4, 6";
        QTest::newRow("a number of another group")
            << "VIP" << "1" << "Nincs ilyen kabin a(z) VIP termékcsoportban: 1";
        QTest::newRow("a range without a cabin") << "" << "20-30" << "Nincs ilyen kabin a nyilvántartásban: 20-30";
        QTest::newRow("unknown group") << "XX" << "" << "Nincs ilyen termékcsoport: XX";
        QTest::newRow("group without cabins")
            << "ZUH" << "" << "Nincs nyomtatandó címke: a(z) ZUH termékcsoportban nincs kabin.";
    }
    void readLabels() {
        QFETCH(QString, group);
        QFETCH(QString, codes);
        QFETCH(QString, expected);
        LabelRequest rq;
        rq.groupCode = group;
        QString why;
        if (!codes.isEmpty()) QVERIFY2(ParseLabelCodes(codes, &rq, &why), qPrintable(why));
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const LabelSetResult r = ReadLabels(*tx, rq);
        tx->commit();
        if (!r.ok) {
            QCOMPARE(r.messages, QStringList{expected});
            return;
        }
        QStringList got;
        for (const CabinLabel& l : r.labels) got << l.code;
        QCOMPARE(got.join(QLatin1Char(',')), expected);
        QCOMPARE(r.company.name, kCompany.name);
        QCOMPARE(r.company.phone, kCompany.phone);
        for (const CabinLabel& l : r.labels)
            QCOMPARE(l.groupName, QString::fromUtf8(l.code == "3" || l.code == "8" || l.code == "A12"
                                                        ? "Prémium WC kabin kézmosóval" : "Alap WC kabin"));
    }

    void parseCodes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<int>("ranges");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("numbers and a range") << "1,2,5-9" << QStringList{"1", "2"} << 1 << "";
        QTest::newRow("blanks around") << " 1 , 2 ,5 - 9 " << QStringList{"1", "2"} << 1 << "";
        QTest::newRow("a range alone") << "101-180" << QStringList{} << 1 << "";
        QTest::newRow("open range") << "5-" << QStringList{} << 0
                                    << "Nem kabinszám és nem tartomány: \"5-\" (például 1,2,5-9).";
        QTest::newRow("empty part") << "1,,2" << QStringList{} << 0
                                    << "Nem kabinszám és nem tartomány: \"\" (például 1,2,5-9).";
        QTest::newRow("letters") << "12a" << QStringList{} << 0
                                 << "Nem kabinszám és nem tartomány: \"12a\" (például 1,2,5-9).";
        QTest::newRow("backwards") << "9-5" << QStringList{} << 0
                                   << "A kabinszámok tartománya visszafelé halad: 9-5 (a kisebb szám áll elöl, például 5-9).";
        QTest::newRow("too many") << "1-100001" << QStringList{} << 0
                                  << "Túl sok kabinszám: legfeljebb 100 000 címke kérhető egyszerre.";
    }
    void parseCodes() {
        QFETCH(QString, text);
        QFETCH(QStringList, codes);
        QFETCH(int, ranges);
        QFETCH(QString, refusal);
        LabelRequest rq;
        rq.groupCode = QStringLiteral("ALAP");
        QString why;
        const bool ok = ParseLabelCodes(text, &rq, &why);
        QCOMPARE(why, refusal);
        QCOMPARE(ok, refusal.isEmpty());
        if (!ok) {
            QVERIFY(rq.codes.isEmpty() && rq.ranges.isEmpty());
            return;
        }
        QCOMPARE(rq.codes, codes);
        QCOMPARE(int(rq.ranges.size()), ranges);
        QCOMPARE(rq.groupCode, QStringLiteral("ALAP"));
    }

    void iniLayout_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("expected");   // columns rows width height left top colgap rowgap, or the refusal
        QTest::newRow("defaults") << "" << "3 8 70 36 0 4.5 0 0";
        QTest::newRow("every key, comma or point")
            << "CIMKEOSZLOP=2\r\nCIMKESOR=7\r\nCIMKESZELESSEG=99,5\r\nCIMKEMAGASSAG=38.1\r\nCIMKEBAL=5,5\r\n"
               "CIMKEFELSO=15\r\nCIMKEOSZLOPKOZ=2,5\r\nCIMKESORKOZ=1"
            << "2 7 99.5 38.1 5.5 15 2.5 1";
        QTest::newRow("no columns") << "CIMKEOSZLOP=0"
                                    << "A PKR.INI CIMKEOSZLOP beállítása hibás: \"0\" (1 és 10 közötti egész szám kell).";
        QTest::newRow("width in words")
            << "CIMKESZELESSEG=hetven"
            << "A PKR.INI CIMKESZELESSEG beállítása hibás: \"hetven\" (20 és 210 közötti szám (milliméter) kell).";
        QTest::newRow("two wrong values")
            << "CIMKEOSZLOP=3.5\r\nCIMKESOR=-1"
            << "A PKR.INI CIMKEOSZLOP beállítása hibás: \"3.5\" (1 és 10 közötti egész szám kell).\r"
               "A PKR.INI CIMKESOR beállítása hibás: \"-1\" (1 és 30 közötti egész szám kell).";
        QTest::newRow("too wide")
            << "CIMKEOSZLOP=4"
            << "A címkék nem férnek el az A4-es lap szélességében: 0 mm bal margó + 4 × 70 mm + 3 × 0 mm köz = 280 mm "
               "(legfeljebb 210 mm). Ellenőrizze a PKR.INI CIMKEBAL, CIMKEOSZLOP, CIMKESZELESSEG és CIMKEOSZLOPKOZ beállítását.";
        QTest::newRow("too high by its gaps")
            << "CIMKESORKOZ=1,5"
            << "A címkék nem férnek el az A4-es lap magasságában: 4,5 mm felső margó + 8 × 36 mm + 7 × 1,5 mm köz = 303 mm "
               "(legfeljebb 297 mm). Ellenőrizze a PKR.INI CIMKEFELSO, CIMKESOR, CIMKEMAGASSAG és CIMKESORKOZ beállítását.";
    }
    void iniLayout() {
        QFETCH(QString, ini);
        QFETCH(QString, expected);
        const QString file = db.dir.filePath(QStringLiteral("CIMKE.INI"));
        writeFile(file, ini + QStringLiteral("\r\n"));
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(file, true));
        const LabelLayoutRead r = ReadLabelLayout();
        vl::shell::IniClear();
        if (!r.refusal.isEmpty()) {
            QCOMPARE(r.refusal, expected);
            return;
        }
        const LabelLayout& l = r.layout;
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                     .arg(l.columns).arg(l.rows).arg(l.width).arg(l.height).arg(l.left).arg(l.top).arg(l.columnGap).arg(l.rowGap),
                 expected);
    }

    // 3 x 8 on A4: a page holds exactly 24 labels, left to right, top down;
    // the 25th starts the second page where the first began; the empty places
    // of a last row print nothing; nothing runs off the paper.
    void sheetLayout_data() {
        QTest::addColumn<int>("cabins");
        QTest::addColumn<int>("pages");
        QTest::newRow("1 cabin") << 1 << 1;
        QTest::newRow("24 cabins: one full page") << 24 << 1;
        QTest::newRow("25 cabins: the page break") << 25 << 2;
    }
    void sheetLayout() {
        QFETCH(int, cabins);
        QFETCH(int, pages);
        const Document doc = layout(LabelSheetReport(numbered(cabins), kCompany, LabelLayout()));
        QCOMPARE(doc.pageCount(), pages);
        QCOMPARE(doc.paperSize(), QSizeF(210, 297));
        QStringList expected;
        for (int i = 1; i <= cabins; ++i) expected << QStringLiteral("VL:%1").arg(i);
        QCOMPARE(doc.pageCodes(0), expected.mid(0, 24));
        if (pages == 2) QCOMPARE(doc.pageCodes(1), QStringList{QStringLiteral("VL:25")});
        // Each code sits at the left of its own cell, the same on every page.
        for (int p = 0; p < pages; ++p) {
            const QList<QRectF> rects = codeRects(doc, p);
            for (int i = 0; i < rects.size(); ++i) {
                const QRectF cell = defaultCell(i);
                QVERIFY2(cell.contains(rects[i]), qPrintable(QStringLiteral("%1/%2").arg(p).arg(i)));
                QCOMPARE(rects[i].left(), cell.left() + 2.5);
                QCOMPARE(rects[i].width(), 31.0);
            }
            for (const Item& it : doc.pages[p].items) QVERIFY(it.rect.bottom() <= 297 && it.rect.right() <= 210);
        }
        // The last page: its labels' texts, and no more.
        const int onLast = cabins - (pages - 1) * 24;
        const QStringList texts = doc.pageTexts(pages - 1);
        QCOMPARE(texts.size(), 4 * onLast);
        QCOMPARE(texts.mid(0, 4), (QStringList{QString::number((pages - 1) * 24 + 1), QStringLiteral("Alap WC kabin"),
                                               kCompany.name, QStringLiteral("Tel.: ") + kCompany.phone}));
    }

    // Another sheet: 2 x 3 with gaps and margins; the pitch is label and gap.
    void sheetWithGaps() {
        LabelLayout l;
        l.columns = 2;
        l.rows = 3;
        l.width = 90;
        l.height = 50;
        l.left = 10;
        l.top = 20;
        l.columnGap = 5;
        l.rowGap = 4;
        QCOMPARE(LabelLayoutRefusal(l), QString());
        const Document doc = layout(LabelSheetReport(numbered(7), LabelCompany{kCompany.name, QString()}, l));
        QCOMPARE(doc.pageCount(), 2);
        const QList<QRectF> rects = codeRects(doc, 0);
        QCOMPARE(rects.size(), 6);
        QCOMPARE(rects[1].left() - rects[0].left(), 95.0);
        QCOMPARE(rects[2].top() - rects[0].top(), 54.0);
        QCOMPARE(codeRects(doc, 1).value(0), rects[0]);
        // Without a telephone no "Tel.:" line.
        for (const QString& t : doc.pageTexts(0)) QVERIFY2(!t.startsWith(QStringLiteral("Tel.")), qPrintable(t));
    }

    // One large label a page: A5 and A6 paper, the number, code, group, company.
    void largeLabel_data() {
        QTest::addColumn<int>("paper");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("A5") << int(LabelPaper::A5) << QSizeF(148, 210);
        QTest::newRow("A6") << int(LabelPaper::A6) << QSizeF(105, 148);
    }
    void largeLabel() {
        QFETCH(int, paper);
        QFETCH(QSizeF, size);
        const QList<CabinLabel> labels{{QStringLiteral("121"), QStringLiteral("Alap WC kabin")},
                                       {QStringLiteral("122"), QStringLiteral("Zuhanykabin")}};
        const Document doc = layout(LargeLabelReport(labels, kCompany, LabelPaper(paper)));
        QCOMPARE(doc.paperSize(), size);
        QCOMPARE(doc.pageCount(), 2);
        QCOMPARE(doc.pageCodes(1), QStringList{QStringLiteral("VL:122")});
        QCOMPARE(doc.pageTexts(1), (QStringList{QStringLiteral("122"), QStringLiteral("Zuhanykabin"), kCompany.name,
                                                QStringLiteral("Tel.: ") + kCompany.phone}));
        const QRectF code = codeRects(doc, 0).value(0);
        QVERIFY(code.width() > size.width() / 2);
        for (const Item& it : doc.pages[0].items)
            QVERIFY2(it.rect.left() >= 0 && it.rect.top() >= 0 && it.rect.right() <= size.width() &&
                         it.rect.bottom() <= size.height(), qPrintable(it.name));
    }

    // The whole fleet in one go, read back: every label's code decodes to its
    // cabin from the page as pdftoppm renders it; the texts are on the page.
    void commandSheetReadsBack() {
        const QString pdf = cmdPath(QStringLiteral("cimkek.pdf"));
        const Run r = admin({QStringLiteral("labels"), QStringLiteral("--codes"), QStringLiteral("101-125"),
                                            QStringLiteral("--pdf"), pdf});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        QVERIFY2(r.text.contains(QStringLiteral("Címkék: 25 kabin, 2 oldal -> ") + pdf), qPrintable(r.text));
        QCOMPARE(pdfPageCount(pdf), 2);
        firstPagePng(pdf, QStringLiteral("kabin_cimkek"));
        const int dpi = 200;
        const QImage first = pdfPageImage(pdf, 1, dpi);
        QVERIFY(!first.isNull());
        for (int i = 0; i < 24; ++i)
            QCOMPARE(decodeCodes(cropMm(first, defaultCell(i), dpi)), QStringList{QStringLiteral("VL:%1").arg(101 + i)});
        const QImage second = pdfPageImage(pdf, 2, dpi);
        QCOMPARE(decodeCodes(cropMm(second, defaultCell(0), dpi)), QStringList{QStringLiteral("VL:125")});
        QCOMPARE(decodeCodes(cropMm(second, defaultCell(1), dpi)), QStringList{QStringLiteral("zbarimg: 4")});   // nothing
        const QStringList pages = pdfPages(pdf);
        QVERIFY(pages[0].contains(QStringLiteral("Vorlanda Mobil WC Kft.")));
        QVERIFY(pages[0].contains(QStringLiteral("Tel.: +36 1 555 0101")));
        QVERIFY(pages[0].contains(QStringLiteral("Alap WC kabin")));
        QVERIFY(pages[1].contains(QStringLiteral("125")));

        // The whole register: 80 cabins on 4 pages; a large A6 label of one.
        const Run all = admin({QStringLiteral("labels"), QStringLiteral("--pdf"), pdf});
        QVERIFY2(all.code == 0 && all.text.contains(QStringLiteral("Címkék: 80 kabin, 4 oldal")), qPrintable(all.text));
        const QString a6 = cmdPath(QStringLiteral("nagy.pdf"));
        const Run large = admin({QStringLiteral("labels"), QStringLiteral("--codes"), QStringLiteral("121"),
                                              QStringLiteral("--large"), QStringLiteral("a6"), QStringLiteral("--pdf"), a6});
        QVERIFY2(large.code == 0, qPrintable(large.text));
        QCOMPARE(decodeCodes(pdfPageImage(a6, 1, 150)), QStringList{QStringLiteral("VL:121")});
        QVERIFY(pdfText(a6).contains(QStringLiteral("121")));
    }

    // Refused before anything is written: exit 2, the message, no file.
    void commandRefusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString pdf = cmdPath(QStringLiteral("nincs.pdf"));
        QTest::newRow("unknown argument") << QStringList{"labels", "--nagy", "--pdf", pdf}
                                          << "labels: ismeretlen argumentum: --nagy";
        QTest::newRow("no --pdf") << QStringList{"labels", "--codes", "101"}
                                  << "labels: használat: labels [--group CSOPORT] [--codes 1,2,5-9] [--large A5|A6] --pdf FÁJL";
        QTest::newRow("open range") << QStringList{"labels", "--codes", "5-", "--pdf", pdf}
                                    << "labels: hibás kabinszámok (--codes): Nem kabinszám és nem tartomány: \"5-\" (például 1,2,5-9).";
        QTest::newRow("backwards range")
            << QStringList{"labels", "--codes", "109-101", "--pdf", pdf}
            << "labels: hibás kabinszámok (--codes): A kabinszámok tartománya visszafelé halad: 109-101";
        QTest::newRow("paper") << QStringList{"labels", "--large", "A4", "--pdf", pdf}
                               << "labels: hibás papírméret (--large): \"A4\" (A5 vagy A6 lehet).";
        QTest::newRow("group code too long")
            << QStringList{"labels", "--group", "ALAPKABINOK", "--pdf", pdf}
            << "labels: hibás termékcsoport (--group): \"ALAPKABINOK\" (legfeljebb 10 karakter lehet, ez 11).";
        QTest::newRow("unknown group") << QStringList{"labels", "--group", "XX", "--pdf", pdf}
                                       << "labels: Nincs ilyen termékcsoport: XX";
        QTest::newRow("no such cabin") << QStringList{"labels", "--codes", "101,999", "--pdf", pdf}
                                       << "labels: Nincs ilyen kabin a nyilvántartásban: 999";
        QTest::newRow("sheet off the paper")
            << QStringList{"--ini", cmdPath(QStringLiteral("SZELES.INI")), "labels", "--pdf", pdf}
            << "labels: A címkék nem férnek el az A4-es lap szélességében: 0 mm bal margó + 4 × 70 mm";
    }
    void commandRefusals() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run r = admin(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.text.contains(message), qPrintable(r.text));
        QVERIFY(!QFile::exists(cmdPath(QStringLiteral("nincs.pdf"))));
    }
};

QTEST_MAIN(TestLabels)
#include "tst_labels.moc"
