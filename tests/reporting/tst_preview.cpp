// The print preview window: paging, zoom, saving as PDF, printing copies,
// and the list preview as the generic editor and the list builder open it.
#include "DictionaryListPreview.h"
#include "PdfTools.h"
#include "ReportPreview.h"
#include "reporting/DictionaryList.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace vl::reporting;
using namespace vl::reporting::test;
using vl::db::Column;
using vl::db::ColType;
using vl::db::RowSet;

namespace {

RowSet names(int n) {
    QList<Column> cols{Column{QStringLiteral("KOD"), ColType::Text, 6, 0}, Column{QStringLiteral("NEV"), ColType::Text, 30, 0}};
    std::vector<QVariantList> rows;
    for (int i = 1; i <= n; ++i) rows.push_back({QStringLiteral("K%1").arg(i), QStringLiteral("Ügyfél őű %1").arg(i)});
    return RowSet(cols, std::move(rows));
}

int inkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2)
            if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void pagingAndZoom();
    void saveAndPrint();
    void listPreviewOpensAndEmptyListRefused();
};

void TestPreview::pagingAndZoom() {
    const Document doc = layout(dictionaryListReport(QStringLiteral("Ügyfelek"), names(150), QString()));
    QVERIFY(doc.pageCount() >= 3);
    ReportPreview w(doc);
    auto* page = w.findChild<QLabel*>(QStringLiteral("l_page"));
    auto* next = w.findChild<QPushButton*>(QStringLiteral("b_next"));
    auto* prior = w.findChild<QPushButton*>(QStringLiteral("b_prior"));
    auto* last = w.findChild<QPushButton*>(QStringLiteral("b_last"));
    auto* first = w.findChild<QPushButton*>(QStringLiteral("b_first"));
    auto* zoomIn = w.findChild<QPushButton*>(QStringLiteral("b_zoomin"));
    auto* zoomOut = w.findChild<QPushButton*>(QStringLiteral("b_zoomout"));
    auto* zoom = w.findChild<QComboBox*>(QStringLiteral("cb_zoom"));
    auto* image = w.findChild<QLabel*>(QStringLiteral("l_pageimage"));
    QVERIFY(page && next && prior && last && first && zoomIn && zoomOut && zoom && image);
    for (const char* n : {"b_print", "b_printerset", "b_pdf", "b_close", "sa_page"}) QVERIFY(w.findChild<QWidget*>(QLatin1String(n)));

    const int n = doc.pageCount();
    QCOMPARE(page->text(), QStringLiteral("1 / %1").arg(n));
    QVERIFY(!prior->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(page->text(), QStringLiteral("2 / %1").arg(n));
    QTest::mouseClick(last, Qt::LeftButton);
    QCOMPARE(w.currentPage(), n - 1);
    QVERIFY(!next->isEnabled());
    QTest::mouseClick(first, Qt::LeftButton);
    QCOMPARE(w.currentPage(), 0);

    // The page shown is the page drawn, with ink on it.
    QVERIFY(inkPixels(w.pageImage()) > 100);
    const int width100 = w.pageImage().width();
    QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
    QTest::mouseClick(zoomIn, Qt::LeftButton);
    QCOMPARE(zoom->currentText(), QStringLiteral("125%"));
    QVERIFY(w.pageImage().width() > width100);
    QCOMPARE(image->pixmap().width(), w.pageImage().width());
    QTest::mouseClick(zoomOut, Qt::LeftButton);
    QTest::mouseClick(zoomOut, Qt::LeftButton);
    QCOMPARE(zoom->currentText(), QStringLiteral("75%"));
    QVERIFY(w.pageImage().width() < width100);
}

void TestPreview::saveAndPrint() {
    const Document doc = layout(dictionaryListReport(QStringLiteral("Ügyfelek"), names(150), QString()));
    ReportPreview w(doc);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("mentes.pdf"));
    QVERIFY(w.saveAsPdf(pdf));
    QCOMPARE(pdfPageCount(pdf), doc.pageCount());
    QVERIFY(pdfText(pdf).contains(QStringLiteral("Ügyfél őű 150")));

    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    const QString bad = dir.filePath(QStringLiteral("nincs/ilyen/x.pdf"));
    QVERIFY(!w.saveAsPdf(bad));
    QVERIFY(sink.last().startsWith(QStringLiteral("A PDF fájl nem írható: ") + bad));

    // Printing through Qt Print Support: two copies on a PDF printer.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString printed = dir.filePath(QStringLiteral("nyomtato.pdf"));
    printer.setOutputFileName(printed);
    QSignalSpy spy(&w, &ReportPreview::printed);
    QVERIFY(w.printTo(printer, 2));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(pdfPageCount(printed), 2 * doc.pageCount());
    const QStringList pages = pdfPages(printed);
    QVERIFY(pages[doc.pageCount()].contains(QStringLiteral("Lapszám: 1")));

    // A printer set up for other paper gets the pages scaled to fit it.
    QPrinter letter(QPrinter::HighResolution);
    letter.setOutputFormat(QPrinter::PdfFormat);
    letter.setPageSize(QPageSize(QPageSize::Letter));
    const QString onLetter = dir.filePath(QStringLiteral("letter.pdf"));
    letter.setOutputFileName(onLetter);
    QVERIFY(w.printTo(letter, 1));
    QVERIFY(runTool(QStringLiteral("pdfinfo"), {onLetter}).contains(QStringLiteral("612 x 792")));
    const QString text = pdfText(onLetter);
    QVERIFY(text.contains(QStringLiteral("Ügyfél őű 1 ")) || text.contains(QStringLiteral("Ügyfél őű 1\n")));
    QVERIFY(text.contains(QStringLiteral("Lapszám: 1")));
}

void TestPreview::listPreviewOpensAndEmptyListRefused() {
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    QString seen;
    QTimer::singleShot(200, [&seen] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("TqrPreviewfm") && w->isVisible()) {
                seen = w->windowTitle() + QLatin1Char('|') + w->findChild<QLabel*>(QStringLiteral("l_page"))->text();
                static_cast<QDialog*>(w)->accept();
            }
        }
    });
    QVERIFY(showListPreview(QStringLiteral("Saját lista"), names(3)));
    QCOMPARE(seen, QStringLiteral("Nyomtatási kép - Saját lista|1 / 1"));
    QVERIFY(sink.messages.isEmpty());

    QVERIFY(!showListPreview(QStringLiteral("Üres"), names(0)));
    QCOMPARE(sink.texts(), QStringList{QStringLiteral("Nincs mit nyomtatni.")});
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
