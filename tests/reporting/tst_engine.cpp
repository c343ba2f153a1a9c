// The banded report engine on fixtures: grouped reports rendered to PDF and
// read back, hooks, masks, copies, orientation and tall bands.
#include "PdfTools.h"
#include "reporting/Engine.h"
#include "reporting/Fonts.h"
#include "reporting/Masks.h"
#include "reporting/QrCode.h"
#include "util/Error.h"
#include "util/NumberFormat.h"

#include <QBuffer>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

using namespace vl::reporting;
using vl::db::Column;
using vl::db::ColType;
using vl::db::RowSet;
using namespace vl::reporting::test;

namespace {

struct Fixture {
    QString driver;
    int rows;
};

// Driver groups: the second is long enough to run over a page break.
RowSet deliveries(const QList<Fixture>& groups, QList<qint64>* totals = nullptr) {
    QList<Column> cols;
    cols << Column{QStringLiteral("SOFOR"), ColType::Text, 30, 0}
         << Column{QStringLiteral("TETEL"), ColType::Text, 10, 0}
         << Column{QStringLiteral("TERMEK"), ColType::Text, 40, 0}
         << Column{QStringLiteral("MENNYISEG"), ColType::Int32, 0, 0}
         << Column{QStringLiteral("NETTO"), ColType::Int64, 0, 0};
    std::vector<QVariantList> rows;
    int n = 0;
    for (const Fixture& g : groups) {
        qint64 total = 0;
        for (int i = 0; i < g.rows; ++i) {
            ++n;
            const qint64 netto = 1000 * n + 7;
            total += netto;
            rows.push_back({g.driver, QStringLiteral("T%1").arg(n, 3, 10, QLatin1Char('0')),
                            QStringLiteral("Kabin őŐűŰáé %1").arg(n), qint64(n % 4), netto});
        }
        if (totals) totals->append(total);
    }
    return RowSet(cols, std::move(rows));
}

Report groupedReport(const RowSet& data) {
    Report r;
    r.name = QStringLiteral("Tqrteszt");
    r.caption = QStringLiteral("Szállítások");
    r.data = data;
    r.printTime = QDateTime(QDate(2026, 12, 9), QTime(8, 30, 0));
    const Font f10 = Font::of(QStringLiteral("Arial"), 10);
    const Font bold = Font::of(QStringLiteral("Arial"), 10, true);

    r.pageHeader.height = 12;
    r.pageHeader.add(Field::label(QStringLiteral("qrl_cim"), 0, 0, 120, 6, QStringLiteral("Napi szállítások"),
                                  Font::of(QStringLiteral("Arial"), 14, true)));
    r.pageHeader.add(Field::computed(QStringLiteral("qrl_ido"), 120, 0, 70, 5,
                                     [](const PrintContext& c) { return QStringLiteral("Készült: ") + c.printTimeText(); },
                                     f10, Align::Right));
    r.columnHeader.height = 7;
    r.columnHeader.frame = FrameBottom;
    r.columnHeader.add(Field::label(QStringLiteral("h1"), 0, 1, 20, 5, QStringLiteral("Tétel"), bold));
    r.columnHeader.add(Field::label(QStringLiteral("h2"), 22, 1, 90, 5, QStringLiteral("Termék"), bold));
    r.columnHeader.add(Field::label(QStringLiteral("h3"), 150, 1, 40, 5, QStringLiteral("Nettó érték"), bold, Align::Right));

    Group& g = r.addGroup(QStringLiteral("sofor"), {QStringLiteral("SOFOR")});
    g.header.height = 8;
    g.header.add(Field::computed(QStringLiteral("qrl_sofor"), 0, 1, 150, 6,
                                 [](const PrintContext& c) { return QStringLiteral("Gépjármű-vezető: ") + c.text(QStringLiteral("SOFOR")); },
                                 bold));
    g.footer.height = 8;
    g.footer.frame = FrameTop;
    g.footer.add(Field::computed(QStringLiteral("qrl_osszesen"), 0, 1, 190, 6, [](const PrintContext& c) {
        return QStringLiteral("Összesen %1: %2 tétel, %3 Ft")
            .arg(c.text(QStringLiteral("SOFOR")))
            .arg(c.count(QStringLiteral("sofor")))
            .arg(vl::util::FormatNumber(c.sum(QStringLiteral("netto"), QStringLiteral("sofor")), QStringLiteral("###,###,##0")));
    }, bold));
    r.addSum(QStringLiteral("netto"), QStringLiteral("NETTO"));

    r.detail.height = 5;
    r.detail.add(Field::data(QStringLiteral("TETEL"), 0, 0, 20, 5, QStringLiteral("TETEL"), f10));
    r.detail.add(Field::data(QStringLiteral("TERMEK"), 22, 0, 100, 5, QStringLiteral("TERMEK"), f10));
    r.detail.add(Field::data(QStringLiteral("NETTO"), 150, 0, 40, 5, QStringLiteral("NETTO"), f10, Align::Right,
                             QStringLiteral("###,###,##0")));

    r.summary.height = 10;
    r.summary.add(Field::computed(QStringLiteral("qrl_mind"), 0, 2, 190, 6, [](const PrintContext& c) {
        return QStringLiteral("Mind összesen: %1 Ft").arg(vl::util::FormatNumber(c.sum(QStringLiteral("netto")), QStringLiteral("###,###,##0")));
    }, bold));

    r.pageFooter.height = 6;
    r.pageFooter.add(Field::page(QStringLiteral("qrl_lap"), 0, 1, 190, 5, QStringLiteral("{page}. oldal / {pages}"), f10,
                                 Align::Center));
    return r;
}

QString money(qint64 v) { return vl::util::FormatNumber(double(v), QStringLiteral("###,###,##0")); }

// pdftotext writes the non-breaking group separator as it is.
QString squeeze(QString s) {
    s.replace(QChar(0x00a0), QLatin1Char(' '));
    return s.simplified();
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Hungarian)); }

    void groupedReportToPdf();
    void groupNewPageAndRuntimeSwitch();
    void hooksHideRecolourRewrite();
    void masks_data();
    void masks();
    void copiesAndOrientation();
    void tallMemoSplitsAcrossPages();
    void emptyData();
    void fontsMapToLiberation();
    void nestedGroupsFootersInOrder();
    void stretchingDetailPushesNextRow();
    void qrCodesRowsCaptionsAndPaper();
    void picturesFromBytes();
};

void TestEngine::groupedReportToPdf() {
    QList<qint64> totals;
    const RowSet data = deliveries({{QStringLiteral("Őry Ödön"), 5}, {QStringLiteral("Űrhajós Ábel"), 70},
                                    {QStringLiteral("Éles Béla"), 3}}, &totals);
    const Report r = groupedReport(data);
    const Document doc = layout(r);
    QVERIFY2(doc.pageCount() >= 2, "the long group must run over a page break");

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("grouped.pdf"));
    QString err;
    QVERIFY2(writePdf(doc, pdf, 1, &err), qPrintable(err));
    QCOMPARE(pdfPageCount(pdf), doc.pageCount());
    firstPagePng(pdf, QStringLiteral("report_grouped"));

    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), doc.pageCount());
    const QString all = squeeze(pages.join(QLatin1Char(' ')));

    // Every row once, with its accented text.
    for (int n = 1; n <= 78; ++n) {
        const QString tetel = QStringLiteral("T%1").arg(n, 3, 10, QLatin1Char('0'));
        QCOMPARE(all.count(tetel + QLatin1Char(' ')), 1);
        QVERIFY2(all.contains(QStringLiteral("Kabin őŐűŰáé %1").arg(n)), qPrintable(tetel));
    }
    // Page numbers "N. oldal / M" on every page; header on every page.
    for (int p = 0; p < pages.size(); ++p) {
        const QString t = squeeze(pages[p]);
        QVERIFY2(t.contains(QStringLiteral("%1. oldal / %2").arg(p + 1).arg(pages.size())), qPrintable(t.left(200)));
        QVERIFY(t.contains(QStringLiteral("Napi szállítások")));
        QVERIFY(t.contains(QStringLiteral("Készült: 2026.12.09 08:30:00")));
        QVERIFY(t.contains(QStringLiteral("Tétel Termék")));
    }
    // Group totals, the long group's over all its pages.
    QVERIFY(all.contains(QStringLiteral("Összesen Őry Ödön: 5 tétel, %1 Ft").arg(squeeze(money(totals[0])))));
    QVERIFY(all.contains(QStringLiteral("Összesen Űrhajós Ábel: 70 tétel, %1 Ft").arg(squeeze(money(totals[1])))));
    QVERIFY(all.contains(QStringLiteral("Összesen Éles Béla: 3 tétel, %1 Ft").arg(squeeze(money(totals[2])))));
    QVERIFY(all.contains(QStringLiteral("Mind összesen: %1 Ft").arg(squeeze(money(totals[0] + totals[1] + totals[2])))));

    // The long group's header repeats on the page it continues on, above its rows.
    int continued = -1;
    for (int p = 1; p < pages.size(); ++p) {
        const QString t = squeeze(pages[p]);
        const int firstRow = t.indexOf(QRegularExpression(QStringLiteral("T\\d{3} ")));
        if (firstRow < 0) continue;
        const int num = t.mid(firstRow + 1, 3).toInt();
        if (num > 5 && num <= 75 && num != 6) { continued = p; break; }
    }
    QVERIFY2(continued > 0, "no page starts inside the long group");
    const QString t = squeeze(pages[continued]);
    const int header = t.indexOf(QStringLiteral("Gépjármű-vezető: Űrhajós Ábel"));
    const int firstRow = t.indexOf(QRegularExpression(QStringLiteral("T\\d{3} ")));
    QVERIFY2(header >= 0 && header < firstRow, qPrintable(t.left(300)));
    // The header printed once per page it appears on, not once per row.
    int pagesWithB = 0;
    for (const QString& pg : pages)
        if (squeeze(pg).contains(QStringLiteral("Gépjármű-vezető: Űrhajós Ábel"))) ++pagesWithB;
    QCOMPARE(all.count(QStringLiteral("Gépjármű-vezető: Űrhajós Ábel")), pagesWithB);
    QVERIFY(pagesWithB >= 2);

    // Accented letters come from the Liberation faces, embedded.
    const QString fonts = pdfFonts(pdf);
    QVERIFY2(fonts.contains(QStringLiteral("LiberationSans")), qPrintable(fonts));
}

void TestEngine::groupNewPageAndRuntimeSwitch() {
    const RowSet data = deliveries({{QStringLiteral("A"), 2}, {QStringLiteral("B"), 2}, {QStringLiteral("C"), 2}});
    Report r = groupedReport(data);
    r.groups[0].newPage = true;
    Document doc = layout(r);
    QCOMPARE(doc.pageCount(), 3);
    QVERIFY(doc.pageTexts(1).contains(QStringLiteral("Gépjármű-vezető: B")));
    QVERIFY(doc.pageTexts(2).contains(QStringLiteral("Összesen C: 2 tétel, %1 Ft").arg(money(11014))));

    // A hook switches the rule off while the report runs: only B starts a new page.
    r.groups[0].newPage = false;
    r.groups[0].header.beforePrint = [](BandPrint&, PrintContext& c) {
        c.setGroupNewPage(QStringLiteral("sofor"), c.text(QStringLiteral("SOFOR")) == QLatin1String("B"));
    };
    doc = layout(r);
    // The switch set while A's header printed applies from the next group on.
    QCOMPARE(doc.pageCount(), 2);
    QVERIFY(doc.pageTexts(1).contains(QStringLiteral("Gépjármű-vezető: C")));
}

void TestEngine::hooksHideRecolourRewrite() {
    const RowSet data = deliveries({{QStringLiteral("Kovács"), 8}});
    Report r = groupedReport(data);
    // Band hook: rows of quantity 0 are not printed (but still count in the totals).
    r.detail.beforePrint = [](BandPrint& bp, PrintContext& c) { bp.print = c.integer(QStringLiteral("MENNYISEG")) != 0; };
    // Field hook: rewrites and recolours.
    r.detail.fields[2].onPrint = [](FieldPrint& f, PrintContext& c) {
        if (c.integer(QStringLiteral("MENNYISEG")) == 1) {
            f.text = QStringLiteral("egy: ") + f.text;
            f.color = Qt::red;
        }
    };
    // After-print hook counts printed details; the finish hook sees the total.
    int printed = 0;
    int finished = 0;
    r.detail.afterPrint = [&printed](PrintContext&) { ++printed; };
    r.onFinished = [&finished](PrintContext&) { ++finished; };
    const Document doc = layout(r);
    QCOMPARE(doc.pageCount(), 1);
    const QStringList texts = doc.pageTexts(0);
    // Rows 4 and 8 have quantity 0.
    QVERIFY(!texts.contains(QStringLiteral("T004")));
    QVERIFY(!texts.contains(QStringLiteral("T008")));
    QVERIFY(texts.contains(QStringLiteral("T003")));
    QCOMPARE(printed, 6);
    QCOMPARE(finished, 1);
    bool sawRed = false;
    for (const Item& it : doc.pages[0].items) {
        if (it.name == QLatin1String("NETTO") && it.lines.value(0).startsWith(QStringLiteral("egy: "))) {
            QCOMPARE(it.color, QColor(Qt::red));
            sawRed = true;
        } else if (it.name == QLatin1String("NETTO")) {
            QCOMPARE(it.color, QColor(Qt::black));
        }
    }
    QVERIFY(sawRed);
    // The group total still covers all eight rows.
    qint64 total = 0;
    for (int n = 1; n <= 8; ++n) total += 1000 * n + 7;
    QVERIFY(texts.contains(QStringLiteral("Összesen Kovács: 8 tétel, %1 Ft").arg(money(total))));
}

void TestEngine::masks_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::newRow("grouped") << 1234567.0 << "###,###,##0" << "1 234 567";
    QTest::newRow("zero with 0") << 0.0 << "###,###,##0" << "0";
    QTest::newRow("zero without 0") << 0.0 << "###,###,###" << "";
    QTest::newRow("optional decimals kept") << 5000.5 << "###,###,###.##" << "5 000,5";
    QTest::newRow("optional decimals dropped") << 5000.0 << "###,###,###.##" << "5 000";
    QTest::newRow("fixed decimals grouped") << 1234567.5 << "#,##0.00" << "1 234 567,50";
    QTest::newRow("half away up") << 12.345 << "0.00" << "12,35";
    QTest::newRow("half away negative") << -2.5 << "0" << "-3";
    QTest::newRow("no grouping") << 1234567.0 << "#######" << "1234567";
    QTest::newRow("leading zeros") << 7.0 << "000" << "007";
    QTest::newRow("negative grouped") << -1234.0 << "###,##0" << "-1 234";
    QTest::newRow("small under mask") << 42.0 << "###" << "42";
    QTest::newRow("no mask") << 0.25 << "" << "0,25";
}

// One format whatever the locale: the same texts on a Hungarian, an English
// and a C locale.
void TestEngine::masks() {
    QFETCH(double, value);
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    const QLocale before;
    auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
    for (const QLocale& l : {QLocale(QLocale::Hungarian), QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
        QLocale::setDefault(l);
        QCOMPARE(vl::util::FormatNumber(value, mask), expected);
    }
}

void TestEngine::copiesAndOrientation() {
    const RowSet data = deliveries({{QStringLiteral("A"), 60}});
    Report r = groupedReport(data);
    r.orientation = QPageLayout::Landscape;
    const Document doc = layout(r);
    QVERIFY(doc.pageCount() >= 2);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("copies.pdf"));
    QVERIFY(writePdf(doc, pdf, 3));
    QCOMPARE(pdfPageCount(pdf), 3 * doc.pageCount());
    QVERIFY(pdfLandscape(pdf));
    const QStringList pages = pdfPages(pdf);
    // Each copy starts from its first row and numbers its own pages.
    for (int c = 0; c < 3; ++c) {
        const QString first = squeeze(pages[c * doc.pageCount()]);
        QVERIFY(first.contains(QStringLiteral("T001 ")));
        QVERIFY(first.contains(QStringLiteral("1. oldal / %1").arg(doc.pageCount())));
    }
    // An unwritable target is reported, not taken for success.
    QString err;
    QVERIFY(!writePdf(doc, dir.filePath(QStringLiteral("nincs/ilyen/mappa/x.pdf")), 1, &err));
    QVERIFY(!err.isEmpty());
}

void TestEngine::tallMemoSplitsAcrossPages() {
    // A text printout: one title band with a stretching memo longer than a page.
    QStringList lines;
    for (int i = 1; i <= 150; ++i) lines << QStringLiteral("Sor %1: árvíztűrő tükörfúrógép ŐŰ").arg(i, 3, 10, QLatin1Char('0'));
    lines[9] = QStringLiteral("Hosszú sor ") + QStringLiteral("szöveg ").repeated(60) + QStringLiteral("VÉGE");
    Report r;
    r.caption = QStringLiteral("Szöveg");
    Field memo = Field::label(QStringLiteral("QRMemo1"), 0, 0, 190, 5, lines.join(QStringLiteral("\r\n")),
                              Font::of(QStringLiteral("Arial"), 10));
    memo.wrap = Wrap::Word;
    memo.autoHeight = true;
    r.title.add(memo);
    r.title.height = 5;
    const Document doc = layout(r);
    QVERIFY2(doc.pageCount() >= 3, qPrintable(QString::number(doc.pageCount())));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("memo.pdf"));
    QVERIFY(writePdf(doc, pdf));
    const QString all = squeeze(pdfText(pdf, false));
    int last = -1;
    for (int i = 1; i <= 150; ++i) {
        if (i == 10) continue;
        const int at = all.indexOf(QStringLiteral("Sor %1: árvíztűrő tükörfúrógép ŐŰ").arg(i, 3, 10, QLatin1Char('0')));
        QVERIFY2(at > last, qPrintable(QString::number(i)));
        last = at;
    }
    // The long line is word-wrapped, not cut.
    QCOMPARE(all.count(QStringLiteral("szöveg")), 60);
    QVERIFY(all.contains(QStringLiteral("VÉGE")));
    // No line falls into the bottom margin.
    for (const Page& p : doc.pages)
        for (const Item& it : p.items) QVERIFY(it.rect.top() + it.lines.size() * it.lineHeight <= 297 - 10 + 0.01);
}

void TestEngine::emptyData() {
    const RowSet data = deliveries({});
    Report r = groupedReport(data);
    Document doc = layout(r);
    QCOMPARE(doc.pageCount(), 1);   // headers and the summary
    QVERIFY(doc.pageTexts(0).contains(QStringLiteral("Mind összesen: 0 Ft")));
    r.printIfEmpty = false;
    doc = layout(r);
    QCOMPARE(doc.pageCount(), 0);
    QString err;
    QTemporaryDir dir;
    QVERIFY(!writePdf(doc, dir.filePath(QStringLiteral("ures.pdf")), 1, &err));
}

void TestEngine::fontsMapToLiberation() {
    QCOMPARE(mapFontFamily(QStringLiteral("Arial")), QStringLiteral("Liberation Sans"));
    QCOMPARE(mapFontFamily(QStringLiteral("Courier New")), QStringLiteral("Liberation Mono"));
    QCOMPARE(mapFontFamily(QStringLiteral("Times New Roman")), QStringLiteral("Liberation Serif"));
    // The monospaced face keeps Courier New's advance (0.6 em).
    const double w = textWidthMm(Font::of(QStringLiteral("Courier New"), 10), QString(100, QLatin1Char('x')));
    QVERIFY2(qAbs(w - 100 * 0.6 * 10 * 25.4 / 72) < 1.0, qPrintable(QString::number(w)));
}

void TestEngine::nestedGroupsFootersInOrder() {
    // Customers and their sites; the same address under two customers.
    QList<Column> cols{Column{QStringLiteral("UGYFEL"), ColType::Text, 20, 0}, Column{QStringLiteral("CIM"), ColType::Text, 20, 0},
                       Column{QStringLiteral("NETTO"), ColType::Int64, 0, 0}};
    std::vector<QVariantList> rows;
    rows.push_back({QStringLiteral("Alfa"), QStringLiteral("Fő utca 1."), qint64(100)});
    rows.push_back({QStringLiteral("Alfa"), QStringLiteral("Fő utca 1."), qint64(200)});
    rows.push_back({QStringLiteral("Alfa"), QStringLiteral("Kert út 2."), qint64(40)});
    rows.push_back({QStringLiteral("Béta"), QStringLiteral("Fő utca 1."), qint64(7)});
    Report r;
    r.data = RowSet(cols, std::move(rows));
    r.addSum(QStringLiteral("netto"), QStringLiteral("NETTO"));
    r.addSum(QStringLiteral("dupla"), [](const PrintContext& c) { return 2 * c.number(QStringLiteral("NETTO")); });
    Group& u = r.addGroup(QStringLiteral("ugyfel"), {QStringLiteral("UGYFEL")});
    u.newPage = true;
    u.header.height = 6;
    u.header.add(Field::data(QStringLiteral("fej"), 0, 0, 100, 5, QStringLiteral("UGYFEL")));
    u.footer.height = 6;
    u.footer.add(Field::computed(QStringLiteral("ulab"), 0, 0, 190, 5, [](const PrintContext& c) {
        return QStringLiteral("Ügyfél összesen: %1 (%2 sor)").arg(c.sum(QStringLiteral("netto"), QStringLiteral("ugyfel"))).arg(c.count(QStringLiteral("ugyfel")));
    }));
    // Only the address: a change of the customer must still end the site group.
    Group& c = r.addGroup(QStringLiteral("cim"), {QStringLiteral("CIM")});
    c.header.height = 6;
    c.header.add(Field::computed(QStringLiteral("cfej"), 0, 0, 100, 5, [](const PrintContext& x) { return QStringLiteral("Cím: ") + x.text(QStringLiteral("CIM")); }));
    c.footer.height = 6;
    c.footer.add(Field::computed(QStringLiteral("clab"), 0, 0, 190, 5, [](const PrintContext& x) {
        return QStringLiteral("Cím összesen: %1 / %2").arg(x.sum(QStringLiteral("netto"), QStringLiteral("cim"))).arg(x.sum(QStringLiteral("dupla"), QStringLiteral("cim")));
    }));
    Band second;
    second.height = 5;
    second.add(Field::label(QStringLiteral("cblokk"), 0, 0, 100, 5, QStringLiteral("aláírás")));
    c.footer.children << second;
    r.detail.height = 0;   // an invisible detail band
    // The page header shows the customer of the page.
    r.pageHeader.height = 6;
    r.pageHeader.add(Field::computed(QStringLiteral("ph"), 0, 0, 100, 5, [](const PrintContext& x) { return QStringLiteral("Lap ügyfele: ") + x.text(QStringLiteral("UGYFEL")); }));

    const Document doc = layout(r);
    QCOMPARE(doc.pageCount(), 2);
    QCOMPARE(doc.pageTexts(0), (QStringList{QStringLiteral("Lap ügyfele: Alfa"), QStringLiteral("Alfa"), QStringLiteral("Cím: Fő utca 1."),
                                             QStringLiteral("Cím összesen: 300 / 600"), QStringLiteral("aláírás"), QStringLiteral("Cím: Kert út 2."),
                                             QStringLiteral("Cím összesen: 40 / 80"), QStringLiteral("aláírás"),
                                             QStringLiteral("Ügyfél összesen: 340 (3 sor)")}));
    QCOMPARE(doc.pageTexts(1), (QStringList{QStringLiteral("Lap ügyfele: Béta"), QStringLiteral("Béta"), QStringLiteral("Cím: Fő utca 1."),
                                             QStringLiteral("Cím összesen: 7 / 14"), QStringLiteral("aláírás"),
                                             QStringLiteral("Ügyfél összesen: 7 (1 sor)")}));
}

void TestEngine::stretchingDetailPushesNextRow() {
    QList<Column> cols{Column{QStringLiteral("KOD"), ColType::Text, 5, 0}, Column{QStringLiteral("CIM"), ColType::Text, 200, 0}};
    std::vector<QVariantList> rows;
    rows.push_back({QStringLiteral("1"), QStringLiteral("Budapest, Árpád fejedelem útja 125. (a hátsó bejárat felől, a sorompónál jelezni)")});
    rows.push_back({QStringLiteral("2"), QStringLiteral("Győr, Fő tér 1.")});
    Report r;
    r.data = RowSet(cols, std::move(rows));
    r.detail.height = 5;
    r.detail.add(Field::data(QStringLiteral("KOD"), 0, 0, 10, 5, QStringLiteral("KOD")));
    Field cim = Field::data(QStringLiteral("CIM"), 12, 0, 40, 5, QStringLiteral("CIM"));
    cim.wrap = Wrap::Word;
    cim.autoHeight = true;
    r.detail.add(cim);
    const Document doc = layout(r);
    QList<const Item*> cims, kods;
    for (const Item& it : doc.pages[0].items) {
        if (it.name == QLatin1String("CIM")) cims << &it;
        if (it.name == QLatin1String("KOD")) kods << &it;
    }
    QCOMPARE(cims.size(), 2);
    QVERIFY(cims[0]->lines.size() >= 3);
    QCOMPARE(cims[0]->lines.join(QLatin1Char(' ')), r.data.at(0, 1).toString());
    // The band grew with its text: the next row starts below the last line.
    QVERIFY(kods[1]->rect.top() >= cims[0]->rect.top() + cims[0]->lines.size() * cims[0]->lineHeight - 0.01);
    QCOMPARE(cims[1]->lines.size(), 1);
}

// QR fields: codes laid out in rows within the field's width, captions under
// them, a band of codes split between its rows at a page break, no room taken
// without a code; a report on A6 paper; the codes read back by zbarimg from
// the rendered PDF; a text too long for a QR code refused.
void TestEngine::qrCodesRowsCaptionsAndPaper() {
    QList<Column> cols{Column{QStringLiteral("KODOK"), ColType::Text, 200, 0}};
    std::vector<QVariantList> rows;
    rows.push_back({QString()});                                   // no code: no room
    QStringList seven;
    for (int i = 1; i <= 7; ++i) seven << QStringLiteral("VL:%1\t%1").arg(100 + i);
    rows.push_back({seven.join(QLatin1Char('\n'))});
    QStringList many;
    for (int i = 1; i <= 30; ++i) many << QStringLiteral("VL:%1").arg(200 + i);
    rows.push_back({many.join(QLatin1Char('\n'))});               // 10 rows of 3: taller than a page
    Report r;
    r.name = QStringLiteral("Tqrkodok");
    r.paper = QPageSize(QPageSize::A6);
    r.margins = QMarginsF(10, 10, 10, 10);
    r.data = RowSet(cols, std::move(rows));
    r.detail.height = 2;
    r.detail.add(Field::qrCodes(QStringLiteral("qr"), 0, 0, 62, 18,
                                [](const PrintContext& c) { return c.text(QStringLiteral("KODOK")); },
                                Font::of(QStringLiteral("Arial"), 8)));
    QCOMPARE(r.pageWidth(), 85.0);
    const Document doc = layout(r);
    QCOMPARE(doc.paperSize(), QSizeF(105, 148));
    // Three codes a row (62 mm for 18 mm codes 2 mm apart), a caption line
    // under each; the empty row before them took only its band's 2 mm.
    QList<QRectF> rects;
    for (const Item& it : doc.pages[0].items)
        if (it.kind == Item::Kind::Shape) rects << it.rect;
    QCOMPARE(rects.size(), 7);
    const double caption = lineHeightMm(Font::of(QStringLiteral("Arial"), 8));
    QCOMPARE(rects[0], QRectF(10, 12, 18, 18));
    QCOMPARE(rects[2], QRectF(50, 12, 18, 18));
    QCOMPARE(rects[3], QRectF(10, 12 + 18 + caption + 2, 18, 18));
    QCOMPARE(rects[6], QRectF(10, 12 + 2 * (18 + caption + 2), 18, 18));
    QVERIFY(doc.pageTexts(0).contains(QStringLiteral("107")));
    // 128 mm of body: the 30 codes go to a new page and break between their
    // rows (six rows a page), none lost or cut.
    QCOMPARE(doc.pageCount(), 3);
    QCOMPARE(doc.pageCodes(1), many.mid(0, 18));
    QCOMPARE(doc.pageCodes(2), many.mid(18));
    for (const Page& p : doc.pages)
        for (const Item& it : p.items) QVERIFY(it.rect.bottom() <= 148 - 10 + 0.01);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("kodok.pdf"));
    QVERIFY(writePdf(doc, pdf));
    // A6 is 297.6 x 419.5 points.
    QVERIFY(runTool(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Page size:\\s+29[78](\\.\\d+)? x 4(19|20)(\\.\\d+)? pts"))));
    const QImage page = pdfPageImage(pdf, 1, 200);
    QVERIFY(!page.isNull());
    for (int i = 0; i < 7; ++i)
        QCOMPARE(decodeCodes(cropMm(page, rects[i], 200)), QStringList{QStringLiteral("VL:%1").arg(101 + i)});

    QCOMPARE(EncodeQr(QString(5000, QLatin1Char('x'))).width, 0);
    QVERIFY_THROWS_EXCEPTION(vl::Error, QrCodePath(QString(5000, QLatin1Char('x')), 20));
}

namespace {
// The bytes of a picture file of one colour.
QByteArray pictureFile(int w, int h, QColor colour, const char* format) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, format);
    return out;
}
} // namespace

// A picture field from PNG or JPEG bytes: as large as its box holds it,
// proportions kept, placed by its alignment; bytes that are no picture leave
// the box empty. Checked on the laid-out page and on the PDF's pixels.
void TestEngine::picturesFromBytes() {
    QList<Column> cols{Column{QStringLiteral("X"), ColType::Text, 1, 0}};
    std::vector<QVariantList> rows;
    rows.push_back({QStringLiteral("x")});
    Report r;
    r.name = QStringLiteral("Tqrkepek");
    r.data = RowSet(cols, std::move(rows));
    r.detail.height = 5;
    struct Case {
        const char* name;
        QByteArray bytes;
        QRectF box;          // mm in the band
        Align align;
        bool bottom;
        QRectF want;         // mm on the page (margins 10); empty: nothing drawn
        QColor colour;
    };
    const QList<Case> cases{
        {"wide_left", pictureFile(200, 100, Qt::red, "PNG"), {0, 0, 40, 40}, Align::Left, false, {10, 10, 40, 20}, Qt::red},
        {"tall_centre", pictureFile(100, 200, Qt::green, "PNG"), {50, 0, 40, 20}, Align::Center, false,
         {10 + 50 + 15, 10, 10, 20}, Qt::green},
        {"tall_right", pictureFile(100, 200, Qt::blue, "PNG"), {100, 0, 40, 20}, Align::Right, false,
         {10 + 100 + 30, 10, 10, 20}, Qt::blue},
        {"jpeg_bottom", pictureFile(300, 100, Qt::blue, "JPG"), {0, 50, 60, 30}, Align::Left, true, {10, 10 + 50 + 10, 60, 20},
         Qt::blue},
        {"png_then_junk", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(200, 'x'), {100, 50, 40, 30}, Align::Left, false, {},
         {}},
        {"gif", QByteArray("GIF89a\x01\x00\x01\x00", 10), {150, 50, 40, 30}, Align::Left, false, {}, {}},
        {"empty", QByteArray(), {150, 0, 40, 30}, Align::Left, false, {}, {}},
    };
    for (const Case& c : cases) {
        Field f = Field::pictureData(QString::fromLatin1(c.name), c.box.x(), c.box.y(), c.box.width(), c.box.height(), c.bytes,
                                     c.align);
        f.alignBottom = c.bottom;
        r.detail.add(f);
    }
    const Document doc = layout(r);
    QCOMPARE(doc.pageCount(), 1);
    QHash<QString, QRectF> drawn;
    for (const Item& it : doc.pages[0].items)
        if (it.kind == Item::Kind::Image) drawn.insert(it.name, it.rect);
    for (const Case& c : cases) {
        if (c.want.isEmpty()) QVERIFY2(!drawn.contains(QString::fromLatin1(c.name)), c.name);
        else QCOMPARE(drawn.value(QString::fromLatin1(c.name)), c.want);
    }

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("kepek.pdf"));
    QVERIFY(writePdf(doc, pdf));
    const int dpi = 100;
    const QImage page = pdfPageImage(pdf, 1, dpi);
    QVERIFY(!page.isNull());
    auto at = [&](double xMm, double yMm) { return page.pixelColor(int(xMm * dpi / 25.4), int(yMm * dpi / 25.4)); };
    auto near = [](QColor a, QColor b) {
        return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
    };
    for (const Case& c : cases) {
        const QRectF box = c.box.translated(10, 10);
        if (c.want.isEmpty()) {
            QVERIFY2(near(at(box.center().x(), box.center().y()), Qt::white), c.name);
            continue;
        }
        QVERIFY2(near(at(c.want.center().x(), c.want.center().y()), c.colour), c.name);
        // The box beside the picture stays paper.
        if (c.want.left() - box.left() > 2) QVERIFY2(near(at(box.left() + 1, box.center().y()), Qt::white), c.name);
        if (box.bottom() - c.want.bottom() > 2) QVERIFY2(near(at(box.center().x(), box.bottom() - 1), Qt::white), c.name);
        if (c.want.top() - box.top() > 2) QVERIFY2(near(at(box.center().x(), box.top() + 1), Qt::white), c.name);
    }
}

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
