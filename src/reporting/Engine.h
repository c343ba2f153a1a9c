#pragma once
// The report engine: lays a Report out into a Document of pages, and draws
// a Document on any paint device (preview images, PDF files, printers).
//
//   vl::reporting::Report r = ...;            // see Report.h
//   vl::reporting::Document doc = vl::reporting::layout(r);
//   vl::reporting::writePdf(doc, "/tmp/x.pdf");
//
// The document keeps every text already broken into lines, so the preview, the
// printer and the PDF file show the same lines on the same pages.
#include "reporting/Report.h"

#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;
class QPagedPaintDevice;

namespace vl::reporting {

// One drawn element of a page; geometry in mm from the paper's top-left corner.
struct Item {
    enum class Kind { Text, Image, Box, Line, Shape };
    Kind kind = Kind::Text;
    QString name;
    QRectF rect;
    QStringList lines;        // Text: the lines, top down, lineHeight apart
    double lineHeight = 0;
    QString pageFormat;       // Text: "{page}"/"{pages}" filled in when drawn
    Font font;
    QColor color = Qt::black;
    Align align = Align::Left;
    bool alignBottom = false;
    int frame = FrameNone;
    double frameWidth = 0.2;
    QImage image;             // Image: rect is the picture's own (fitted into its field's box)
    QPainterPath path;        // Shape: filled in the colour, mm from the rectangle's top-left
                              // (a QR code; its content is the one entry of `lines`)
};

struct Page {
    QList<Item> items;
};

struct Document {
    QString name;
    QString title;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPageSize paper{QPageSize::A4};
    QList<Page> pages;
    int pageCount() const { return int(pages.size()); }
    QSizeF paperSize() const;   // mm: the paper (A4: 210 x 297), turned in landscape
    // The texts of a page (page formats filled in), in drawing order; for tests.
    QStringList pageTexts(int page) const;
    // The contents of the QR codes of a page, in drawing order; for tests.
    QStringList pageCodes(int page) const;
};

// Runs the report over its rows. An empty row set with printIfEmpty unset
// gives a document without pages.
Document layout(const Report& report);

// Draws one page; the painter's device must be set to the paper size at its
// logical resolution (QPdfWriter, QPrinter with full page, a QImage with its
// dots per metre). scale != 1 shrinks or enlarges the page uniformly.
void renderPage(QPainter& painter, const Document& doc, int page, double scale = 1.0);
// A page as an image at the given resolution (dots per inch), white paper.
QImage renderPageImage(const Document& doc, int page, double dpi);
// Draws every page copies times (collated) on a paged device; the device's
// orientation is set from the document, with zero margins, and its paper to
// the document's unless keepPaper is set (a printer set up for other paper: the pages
// are scaled to fit it).
bool renderDocument(QPagedPaintDevice& device, const Document& doc, int copies = 1, bool keepPaper = false);
// Writes the document as a PDF file (copies times) through a temporary file
// renamed over fileName only when it is whole; false with a reason on failure
// (and no file). paper: that paper instead of the document's, the pages scaled to fit it.
bool writePdf(const Document& doc, const QString& fileName, int copies = 1, QString* error = nullptr,
              const QPageSize* paper = nullptr);

// The text of the page-number format of a page.
QString pageText(const QString& format, int page, int pages);

} // namespace vl::reporting
