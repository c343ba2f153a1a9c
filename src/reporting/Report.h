#pragma once
// Declarative description of a banded report.
//
// A report is a plain value: page set-up, bands with their fields, groups,
// aggregates and hooks. Nothing is painted by hand; the engine (Engine.h)
// lays the bands out over the rows of a vl::db::RowSet into a Document of
// pages, which is then shown in the preview, printed or written as PDF.
//
// Geometry is in millimetres, relative to the band's top-left corner at the
// left page margin; font sizes are in points. Fonts are named as the reports
// name them ("Arial", "Courier New"); Fonts.h maps them to the metric-compatible
// Liberation faces that Debian ships.
//
// Printing order of one page: page header, title (first page only), column
// header, then the data bands (group headers outer to inner, detail, group
// footers inner to outer, summary after the last row), the page footer at the
// bottom. When a band does not fit, the page is closed and the next one starts
// with the page header, the column header and the headers of the groups still
// running (repeated as they printed). A band that is taller than a whole page
// is split between its text lines.
//
// A description, in short (a day list per driver):
//
//   Report r;
//   r.name = "Tqrtevnaplo";  r.caption = "Napi tevékenységek";
//   r.orientation = QPageLayout::Landscape;
//   r.data = conn.query(sql, params);
//   r.pageHeader.height = 12;
//   r.pageHeader.add(Field::label("l_cim", 0, 0, 120, 6, "Napi tevékenységek", Font::of("Arial", 14, true)));
//   r.pageHeader.add(Field::page("l_lap", 230, 0, 47, 5, "{page}. oldal", {}, Align::Right));
//   Group& g = r.addGroup("sofor", {"SOFOR"});
//   g.newPage = true;
//   g.header.height = 7;
//   g.header.add(Field::computed("l_sofor", 0, 1, 150, 5,
//       [](const PrintContext& c) { return "Gépjármű vezető: " + c.text("SOFOR"); }));
//   r.addSum("db", "DB");
//   g.footer.height = 6;
//   g.footer.add(Field::computed("l_db", 0, 0, 100, 5,
//       [](const PrintContext& c) { return QString::number(c.sum("db", "sofor")) + " kabin"; }));
//   r.detail.height = 5;
//   Field cim = Field::data("CIM", 60, 0, 60, 5, "CIM");
//   cim.wrap = Wrap::Word; cim.autoHeight = true;          // the band grows with the text
//   r.detail.add(cim);
//   r.detail.add(Field::data("DB", 125, 0, 15, 5, "DB", {}, Align::Right, "###"));
//   r.detail.beforePrint = [](BandPrint& b, PrintContext& c) {  // hide, rewrite, recolour
//       if (c.text("TIPUS") == "FIZ") b.field("DB")->visible = false;
//   };
//   Document doc = layout(r);          // then ReportPreview / printDocument / writePdf
//
// Hooks run exactly once per band printed (the layout is one pass; "page N of
// M" texts are filled in when the pages are drawn). State that hooks keep
// belongs in PrintContext::var() or in the report author's own object,
// reset in Report::onStart.
#include "db/Database.h"

#include <QColor>
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QVariant>
#include <functional>

namespace vl::reporting {

struct Font {
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    static Font of(const QString& family, double size, bool bold = false) {
        Font f;
        f.family = family;
        f.pointSize = size;
        f.bold = bold;
        return f;
    }
};

enum class Align { Left, Center, Right };

// Frame lines of a field or band.
enum FrameSide { FrameNone = 0, FrameTop = 1, FrameBottom = 2, FrameLeft = 4, FrameRight = 8, FrameBox = 15 };

// How a text longer than its field's width is written.
enum class Wrap {
    None,         // one line per line break of the text, clipped at the field's right edge
    Word,         // broken at word boundaries (or anywhere inside a word too long for a line)
    Anywhere      // broken at the character that reaches the edge (monospaced columns)
};

class PrintContext;

// What a hook may change of a field about to be printed.
struct FieldPrint {
    QString name;
    QString text;
    bool textSet = false;   // set by a band hook: the field's own text source is not evaluated
    bool visible = true;
    QColor color;
    Font font;
    void setText(const QString& t) { text = t; textSet = true; }
};

struct Field {
    enum class Kind { Text, Image, Box, Line, QrCode };
    Kind kind = Kind::Text;
    QString name;                    // the field's name, for hooks and tests
    double x = 0, y = 0, w = 40, h = 5;   // mm within the band
    // Text source, the first that is set: a computed text, a bound column,
    // the fixed text. A page-number field instead has pageFormat.
    QString text;
    QString column;                  // column of the report's row set (case-insensitive)
    std::function<QString(const PrintContext&)> expr;
    QString mask;                    // number mask for a bound column ("###,###,##0")
    // "{page}" and "{pages}" are replaced when the page is drawn ("Lapszám: {page}",
    // "{page}/{pages}"). Only this text is searched for them, never data.
    QString pageFormat;
    Font font;
    Align align = Align::Left;
    bool alignBottom = false;        // vertical alignment in a fixed-height field
    QColor color = Qt::black;
    int frame = FrameNone;
    double frameWidth = 0.2;         // mm
    Wrap wrap = Wrap::None;
    bool autoHeight = false;         // grows downwards to show every line (memo text)
    bool visible = true;
    QImage image;                    // Kind::Image: drawn as large as the rectangle holds it, proportions
                                     // kept, placed by align (left, centred, right) and alignBottom
    // Kind::QrCode: one QR code per line of the field's text, each a square of
    // qrSize mm (its quiet zone included) drawn as vector squares, left to
    // right and on in rows qrGap apart within the field's width; the field
    // grows to hold them all and takes no room without a code. A line
    // "content<TAB>caption" prints the caption under its code (in the font).
    double qrSize = 20;
    double qrGap = 2;
    std::function<void(FieldPrint&, PrintContext&)> onPrint;

    static Field label(const QString& name, double x, double y, double w, double h, const QString& text,
                       const Font& font = {}, Align align = Align::Left) {
        Field f;
        f.name = name; f.x = x; f.y = y; f.w = w; f.h = h; f.text = text; f.font = font; f.align = align;
        return f;
    }
    static Field data(const QString& name, double x, double y, double w, double h, const QString& column,
                      const Font& font = {}, Align align = Align::Left, const QString& mask = {}) {
        Field f = label(name, x, y, w, h, QString(), font, align);
        f.column = column; f.mask = mask;
        return f;
    }
    static Field computed(const QString& name, double x, double y, double w, double h,
                          std::function<QString(const PrintContext&)> expr, const Font& font = {},
                          Align align = Align::Left) {
        Field f = label(name, x, y, w, h, QString(), font, align);
        f.expr = std::move(expr);
        return f;
    }
    static Field page(const QString& name, double x, double y, double w, double h, const QString& format,
                      const Font& font = {}, Align align = Align::Left) {
        Field f = label(name, x, y, w, h, QString(), font, align);
        f.pageFormat = format;
        return f;
    }
    static Field box(const QString& name, double x, double y, double w, double h, double lineWidth = 0.2) {
        Field f;
        f.kind = Kind::Box; f.name = name; f.x = x; f.y = y; f.w = w; f.h = h; f.frame = FrameBox; f.frameWidth = lineWidth;
        return f;
    }
    static Field hline(const QString& name, double x, double y, double w, double lineWidth = 0.2) {
        Field f;
        f.kind = Kind::Line; f.name = name; f.x = x; f.y = y; f.w = w; f.h = 0; f.frameWidth = lineWidth;
        return f;
    }
    static Field qrCodes(const QString& name, double x, double y, double w, double size,
                         std::function<QString(const PrintContext&)> expr, const Font& font = {}) {
        Field f = computed(name, x, y, w, size, std::move(expr), font, Align::Center);
        f.kind = Kind::QrCode; f.qrSize = size;
        return f;
    }
    static Field picture(const QString& name, double x, double y, double w, double h, const QImage& img) {
        Field f;
        f.kind = Kind::Image; f.name = name; f.x = x; f.y = y; f.w = w; f.h = h; f.image = img;
        return f;
    }
    // A picture from the bytes of a PNG or JPEG file (as a table keeps it),
    // decoded here; bytes that are no such picture leave the box empty.
    static Field pictureData(const QString& name, double x, double y, double w, double h, const QByteArray& bytes,
                             Align align = Align::Left) {
        // A whole file only: its format's signature in front and its end behind.
        QImage img;
        if (bytes.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)) && bytes.right(12).startsWith(QByteArray("\0\0\0\0IEND", 8)))
            img.loadFromData(bytes, "PNG");
        else if (bytes.startsWith(QByteArray("\xFF\xD8\xFF", 3)) && bytes.endsWith(QByteArray("\xFF\xD9", 2)))
            img.loadFromData(bytes, "JPEG");
        Field f = picture(name, x, y, w, h, img);
        f.align = align;
        return f;
    }
};

// What a band hook may change before the band prints.
struct BandPrint {
    bool print = true;            // false: the band (and its child bands) is left out
    double height = 0;            // the band's height in mm (fields may still stretch it)
    bool newPageBefore = false;   // start a new page before this band
    QList<FieldPrint> fields;     // one per field of the band, in order
    FieldPrint* field(const QString& name) {
        for (auto& f : fields)
            if (f.name == name) return &f;
        return nullptr;
    }
};

struct Band {
    QString name;
    double height = 0;            // mm
    QList<Field> fields;
    int frame = FrameNone;        // frame lines around the band (full printable width)
    double frameWidth = 0.2;
    bool newPageBefore = false;   // always start a new page before this band (unless the page is empty)
    bool enabled = true;          // a band that is not enabled is not part of the report
    std::function<void(BandPrint&, PrintContext&)> beforePrint;
    std::function<void(PrintContext&)> afterPrint;
    QList<Band> children;         // child bands, printed right after this band

    Band& add(const Field& f) { fields.append(f); return *this; }
    bool isEmpty() const { return !enabled || (height <= 0 && fields.isEmpty() && children.isEmpty() && !beforePrint); }
};

struct Group {
    QString name;
    // The group's value: the joined texts of the key columns, or the key function.
    QStringList keyColumns;
    std::function<QString(const PrintContext&)> key;
    Band header;
    Band footer;
    bool newPage = false;         // each group after the first starts on a new page
    bool repeatHeader = true;     // a group continuing on a new page prints its header again
};

// A running total: the sum of a column or of an expression over the detail rows.
struct Aggregate {
    QString name;
    QString column;
    std::function<double(const PrintContext&)> expr;
};

struct Report {
    QString name;                 // the report's form name ("Tqr_szotar")
    QString caption;              // document title (PDF metadata, preview caption)
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPageSize paper{QPageSize::A4};      // the paper the pages are laid out on
    QMarginsF margins{10, 10, 10, 10};   // mm
    vl::db::RowSet data;
    bool printIfEmpty = true;     // false: an empty row set gives a document without pages
    bool columnHeaderEveryPage = true;
    QDateTime printTime;          // the "Készült" time; the current time when not set

    Band title, pageHeader, columnHeader, detail, summary, pageFooter;
    QList<Group> groups;          // outermost first
    QList<Aggregate> aggregates;

    std::function<void(PrintContext&)> onStart;      // before the first band
    std::function<void(PrintContext&)> onFinished;   // after the last page was produced

    Group& addGroup(const QString& name, const QStringList& keyColumns) {
        Group g;
        g.name = name;
        g.keyColumns = keyColumns;
        groups.append(g);
        return groups.last();
    }
    void addSum(const QString& name, const QString& column) { aggregates.append({name, column, {}}); }
    void addSum(const QString& name, std::function<double(const PrintContext&)> expr) {
        aggregates.append({name, QString(), std::move(expr)});
    }
    // The printable width in mm (the paper less the margins).
    double pageWidth() const;
    double pageHeight() const;
};

// What hooks and computed fields see while the report is produced.
class PrintContext {
public:
    const Report& report() const { return *report_; }
    const vl::db::RowSet& data() const { return report_->data; }
    int row() const { return row_; }            // current row, -1 when there is none
    bool hasRow() const { return row_ >= 0 && row_ < report_->data.rowCount(); }
    QVariant value(const QString& column) const;
    QString text(const QString& column) const;  // null -> ""; integers decimal, dates 'yyyy.mm.dd'
    double number(const QString& column) const;
    qint64 integer(const QString& column) const;

    int pageNumber() const { return page_; }
    QDateTime printTime() const { return printTime_; }
    QString printTimeText() const;              // 'yyyy.mm.dd hh:nn:ss'

    // Sum of an aggregate over the current occurrence of a group (up to the
    // current row), or over the report when group is empty.
    double sum(const QString& aggregate, const QString& group = QString()) const;
    // Detail rows counted so far in the current occurrence of a group, or in the report.
    qint64 count(const QString& group = QString()) const;

    // Report variables, emptied when the report starts.
    QVariant& var(const QString& name) { return vars_[name]; }
    QVariant var(const QString& name) const { return vars_.value(name); }

    // Switches a group's new-page rule while the report runs.
    void setGroupNewPage(const QString& group, bool on) { groupNewPage_[group] = on; }

    bool repeatingHeader() const { return repeating_; }

private:
    friend class LayoutEngine;
    const Report* report_ = nullptr;
    int row_ = -1;
    int page_ = 0;
    bool repeating_ = false;
    QDateTime printTime_;
    QHash<QString, QVariant> vars_;
    QHash<QString, bool> groupNewPage_;
    // Per aggregate: [0] the report, [1 + g] group g.
    QHash<QString, QList<double>> sums_;
    QList<qint64> counts_;
    QStringList groupNames_;
};

} // namespace vl::reporting
