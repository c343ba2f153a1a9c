#include "reporting/Engine.h"

#include "reporting/Fonts.h"
#include "reporting/Masks.h"
#include "reporting/QrCode.h"
#include "db/DisplayText.h"
#include "db/PendingFile.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QFile>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

namespace vl::reporting {

namespace {
constexpr double kEps = 0.001;

// The paper in mm as the pages stand (turned in landscape).
QSizeF paperMm(const QPageSize& paper, QPageLayout::Orientation orientation) {
    const QSizeF s = paper.size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}
} // namespace

// ---------------------------------------------------------------- Report

double Report::pageWidth() const {
    return paperMm(paper, orientation).width() - margins.left() - margins.right();
}

double Report::pageHeight() const {
    return paperMm(paper, orientation).height() - margins.top() - margins.bottom();
}

// ---------------------------------------------------------------- PrintContext

QVariant PrintContext::value(const QString& column) const {
    if (!hasRow()) return QVariant();
    const int c = report_->data.indexOf(column);
    if (c < 0) return QVariant();
    return report_->data.at(row_, c);
}

QString PrintContext::text(const QString& column) const { return vl::db::displayText(value(column)); }

double PrintContext::number(const QString& column) const {
    const QVariant v = value(column);
    if (v.isNull()) return 0.0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (ok) return d;
    return v.toString().trimmed().toDouble();
}

qint64 PrintContext::integer(const QString& column) const {
    const QVariant v = value(column);
    if (v.isNull()) return 0;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok) return i;
    return qint64(vl::util::RoundHalfAway(number(column)));
}

QString PrintContext::printTimeText() const {
    return printTime_.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
}

double PrintContext::sum(const QString& aggregate, const QString& group) const {
    const auto it = sums_.constFind(aggregate);
    if (it == sums_.constEnd()) return 0.0;
    const int idx = group.isEmpty() ? 0 : int(groupNames_.indexOf(group)) + 1;
    if (idx < 0 || idx >= it->size()) return 0.0;
    return it->at(idx);
}

qint64 PrintContext::count(const QString& group) const {
    const int idx = group.isEmpty() ? 0 : int(groupNames_.indexOf(group)) + 1;
    if (idx < 0 || idx >= counts_.size()) return 0;
    return counts_.at(idx);
}

// ---------------------------------------------------------------- Document

QSizeF Document::paperSize() const { return paperMm(paper, orientation); }

QString pageText(const QString& format, int page, int pages) {
    QString t = format;
    t.replace(QLatin1String("{pages}"), QString::number(pages));
    t.replace(QLatin1String("{page}"), QString::number(page));
    return t;
}

QStringList Document::pageTexts(int page) const {
    QStringList out;
    if (page < 0 || page >= pages.size()) return out;
    for (const Item& it : pages[page].items) {
        if (it.kind != Item::Kind::Text) continue;
        if (!it.pageFormat.isEmpty()) out << pageText(it.pageFormat, page + 1, pageCount());
        else out << it.lines.join(QLatin1Char('\n'));
    }
    return out;
}

QStringList Document::pageCodes(int page) const {
    QStringList out;
    if (page < 0 || page >= pages.size()) return out;
    for (const Item& it : pages[page].items)
        if (it.kind == Item::Kind::Shape) out << it.lines.value(0);
    return out;
}

// ---------------------------------------------------------------- layout

namespace {
// A band laid out at its own origin (y = 0 at the band's top).
struct Laid {
    bool printed = false;
    bool newPageBefore = false;
    double height = 0;
    QList<Item> items;
};
} // namespace

class LayoutEngine {
public:
    explicit LayoutEngine(const Report& r) : r_(r) {}
    Document run();

private:
    Laid layoutBand(const Band& band);
    double layoutCodes(const Field& f, const FieldPrint& fp, QList<Item>& items) const;
    void emitAt(const QList<Item>& items, double top);
    void placeFixed(const Laid& laid);              // headers: no page break
    void place(const Laid& laid);                   // data bands: may break and split
    void printBand(const Band& band);               // lays out, places, then its child bands
    void startPage();
    void finishPage();
    void newPage() { finishPage(); startPage(); }
    QString groupKey(int level) const;
    double bodyBottom() const;

    const Report& r_;
    PrintContext ctx_;
    Document doc_;
    double left_ = 0, top_ = 0;
    double y_ = 0;            // next free position (mm from the paper top)
    double bodyTop_ = 0;      // where the data bands of the current page begin
    bool pageOpen_ = false;
    // Per group level: the header as laid out when it printed, for repeating it.
    QList<Laid> headerCache_;
    QList<bool> active_;
};

double LayoutEngine::bodyBottom() const {
    const double paperH = doc_.paperSize().height();
    const double footer = r_.pageFooter.enabled ? r_.pageFooter.height : 0.0;
    return paperH - r_.margins.bottom() - footer;
}

QString LayoutEngine::groupKey(int level) const {
    const Group& g = r_.groups[level];
    if (g.key) return g.key(ctx_);
    QStringList parts;
    for (const QString& c : g.keyColumns) parts << ctx_.text(c);
    return parts.join(QChar(0x1f));
}

Laid LayoutEngine::layoutBand(const Band& band) {
    Laid out;
    if (!band.enabled) return out;
    BandPrint bp;
    bp.height = band.height;
    bp.newPageBefore = band.newPageBefore;
    for (const Field& f : band.fields) {
        FieldPrint fp;
        fp.name = f.name;
        fp.visible = f.visible;
        fp.color = f.color;
        fp.font = f.font;
        bp.fields << fp;
    }
    if (band.beforePrint) band.beforePrint(bp, ctx_);
    if (!bp.print) return out;
    out.printed = true;
    out.newPageBefore = bp.newPageBefore;
    double height = bp.height;
    const double width = r_.pageWidth();

    for (int i = 0; i < band.fields.size(); ++i) {
        const Field& f = band.fields[i];
        FieldPrint& fp = bp.fields[i];
        if ((f.kind == Field::Kind::Text || f.kind == Field::Kind::QrCode) && f.pageFormat.isEmpty() && !fp.textSet) {
            if (f.expr) fp.text = f.expr(ctx_);
            else if (!f.column.isEmpty()) fp.text = formatValue(ctx_.value(f.column), f.mask);
            else fp.text = f.text;
        }
        if (f.onPrint) f.onPrint(fp, ctx_);
        if (!fp.visible) continue;
        if (f.kind == Field::Kind::QrCode) {
            height = qMax(height, f.y + layoutCodes(f, fp, out.items));
            continue;
        }

        Item it;
        it.name = f.name;
        it.font = fp.font;
        it.color = fp.color.isValid() ? fp.color : QColor(Qt::black);
        it.align = f.align;
        it.alignBottom = f.alignBottom;
        it.frame = f.frame;
        it.frameWidth = f.frameWidth;
        double h = f.h;
        switch (f.kind) {
        case Field::Kind::Text: {
            it.kind = Item::Kind::Text;
            it.lineHeight = lineHeightMm(fp.font);
            if (!f.pageFormat.isEmpty()) {
                it.pageFormat = f.pageFormat;
                it.lines << f.pageFormat;
            } else {
                QString t = fp.text;
                t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
                t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
                const QStringList paras = t.split(QLatin1Char('\n'));
                for (const QString& p : paras) it.lines << breakLines(fp.font, p, f.w, f.wrap);
                // Trailing empty lines of a memo take no room.
                while (it.lines.size() > 1 && it.lines.last().isEmpty()) it.lines.removeLast();
            }
            const double need = it.lines.size() * it.lineHeight;
            if (f.autoHeight) {
                h = qMax(f.h, need);
            } else if (need > f.h + kEps && it.lines.size() > 1) {
                // A fixed-height field shows the lines that fit (at least one).
                int fit = qMax(1, int((f.h + kEps) / it.lineHeight));
                while (it.lines.size() > fit) it.lines.removeLast();
            }
            break;
        }
        case Field::Kind::Image:
            it.kind = Item::Kind::Image;
            it.image = f.image;
            break;
        case Field::Kind::Box:
            it.kind = Item::Kind::Box;
            break;
        case Field::Kind::Line:
            it.kind = Item::Kind::Line;
            break;
        case Field::Kind::QrCode:
            break;
        }
        it.rect = QRectF(left_ + f.x, f.y, f.w, h);
        height = qMax(height, f.y + h);
        if (it.kind == Item::Kind::Image) {
            // The picture's own rectangle: as large as the box holds it,
            // proportions kept, placed in the box by the field's alignment.
            if (it.image.isNull() || it.image.width() <= 0 || it.image.height() <= 0) continue;
            QSizeF s = it.image.size();
            s.scale(it.rect.size(), Qt::KeepAspectRatio);
            const double dx = f.align == Align::Right ? it.rect.width() - s.width()
                              : f.align == Align::Center ? (it.rect.width() - s.width()) / 2 : 0.0;
            const double dy = f.alignBottom ? it.rect.height() - s.height() : 0.0;
            it.rect = QRectF(it.rect.left() + dx, it.rect.top() + dy, s.width(), s.height());
        }
        out.items << it;
    }
    if (band.frame != FrameNone) {
        Item fr;
        fr.kind = Item::Kind::Box;
        fr.name = band.name + QStringLiteral("_frame");
        fr.rect = QRectF(left_, 0, width, height);
        fr.frame = band.frame;
        fr.frameWidth = band.frameWidth;
        out.items << fr;
    }
    out.height = height;
    return out;
}

// The QR codes of a field, one item each (so a band splits between their
// rows), with their captions; returns the height they take.
double LayoutEngine::layoutCodes(const Field& f, const FieldPrint& fp, QList<Item>& items) const {
    QStringList codes = fp.text.split(QLatin1Char('\n'));
    for (QString& c : codes) c.remove(QLatin1Char('\r'));
    codes.removeAll(QString());
    if (codes.isEmpty()) return 0.0;
    bool captions = false;
    for (const QString& c : codes) captions = captions || c.contains(QLatin1Char('\t'));
    const double size = f.qrSize;
    const double captionH = captions ? lineHeightMm(fp.font) : 0.0;
    const int perRow = qMax(1, int((f.w + f.qrGap + kEps) / (size + f.qrGap)));
    const int rows = int((codes.size() + perRow - 1) / perRow);
    for (int i = 0; i < codes.size(); ++i) {
        const QString content = codes[i].section(QLatin1Char('\t'), 0, 0);
        const QString caption = codes[i].section(QLatin1Char('\t'), 1);
        const double x = left_ + f.x + (i % perRow) * (size + f.qrGap);
        const double y = f.y + (i / perRow) * (size + captionH + f.qrGap);
        Item q;
        q.kind = Item::Kind::Shape;
        q.name = f.name;
        q.rect = QRectF(x, y, size, size);
        q.lines << content;
        q.color = fp.color.isValid() ? fp.color : QColor(Qt::black);
        q.path = QrCodePath(content, size);
        items << q;
        if (!captions) continue;
        Item t;
        t.kind = Item::Kind::Text;
        t.name = f.name + QStringLiteral("_felirat");
        t.font = fp.font;
        t.lineHeight = captionH;
        t.align = Align::Center;
        t.lines << caption;
        t.rect = QRectF(x - f.qrGap / 2, y + size, size + f.qrGap, captionH);
        items << t;
    }
    return rows * (size + captionH) + (rows - 1) * f.qrGap;
}

void LayoutEngine::emitAt(const QList<Item>& items, double top) {
    Page& page = doc_.pages.last();
    for (Item it : items) {
        it.rect.translate(0, top);
        page.items << it;
    }
}

void LayoutEngine::placeFixed(const Laid& laid) {
    if (!laid.printed) return;
    emitAt(laid.items, y_);
    y_ += laid.height;
}

void LayoutEngine::place(const Laid& laid) {
    if (!laid.printed) return;
    if (!pageOpen_) startPage();
    if (laid.newPageBefore && y_ > bodyTop_ + kEps) newPage();
    if (y_ + laid.height > bodyBottom() + kEps && y_ > bodyTop_ + kEps) newPage();

    QList<Item> items = laid.items;
    double h = laid.height;
    for (int guard = 0; guard < 10000; ++guard) {
        const double avail = bodyBottom() - y_;
        if (h <= avail + kEps) break;
        // Taller than what is left of a fresh page: split between text lines.
        double cut = h;
        for (const Item& it : items) {
            const double top = it.rect.top();
            if (it.kind == Item::Kind::Text && it.lines.size() > 1) {
                for (int i = 0; i < it.lines.size(); ++i) {
                    const double lt = top + i * it.lineHeight;
                    if (lt + it.lineHeight > avail + kEps) { cut = qMin(cut, lt); break; }
                }
            } else if (top + it.rect.height() > avail + kEps) {
                cut = qMin(cut, top);
            }
        }
        if (cut <= kEps) {
            if (y_ > bodyTop_ + kEps) { newPage(); continue; }
            break;   // nothing fits even on an empty page: print it as it is
        }
        QList<Item> now, later;
        for (const Item& it : items) {
            const double top = it.rect.top();
            if (it.kind == Item::Kind::Text && it.lines.size() > 1 && top < cut) {
                Item a = it, b = it;
                a.lines.clear();
                b.lines.clear();
                for (int i = 0; i < it.lines.size(); ++i) {
                    if (top + i * it.lineHeight < cut - kEps) a.lines << it.lines[i];
                    else b.lines << it.lines[i];
                }
                a.rect.setHeight(qMin(it.rect.height(), a.lines.size() * it.lineHeight));
                now << a;
                if (!b.lines.isEmpty()) {
                    const double bTop = top + a.lines.size() * it.lineHeight - cut;
                    b.rect = QRectF(it.rect.left(), bTop, it.rect.width(),
                                    qMax(b.lines.size() * it.lineHeight, it.rect.bottom() - cut - bTop));
                    later << b;
                }
            } else if (top < cut - kEps) {
                now << it;
            } else {
                Item b = it;
                b.rect.translate(0, -cut);
                later << b;
            }
        }
        emitAt(now, y_);
        newPage();
        items = later;
        h -= cut;
    }
    emitAt(items, y_);
    y_ += h;
}

void LayoutEngine::printBand(const Band& band) {
    if (!band.enabled) return;
    const Laid laid = layoutBand(band);
    if (!laid.printed) return;
    place(laid);
    if (band.afterPrint) band.afterPrint(ctx_);
    for (const Band& child : band.children) printBand(child);
}

void LayoutEngine::startPage() {
    doc_.pages.append(Page());
    pageOpen_ = true;
    ctx_.page_ = int(doc_.pages.size());
    y_ = top_;
    auto fixed = [this](const Band& b) {
        if (!b.enabled) return;
        const Laid l = layoutBand(b);
        placeFixed(l);
        if (l.printed && b.afterPrint) b.afterPrint(ctx_);
        for (const Band& c : b.children) {
            const Laid lc = layoutBand(c);
            placeFixed(lc);
            if (lc.printed && c.afterPrint) c.afterPrint(ctx_);
        }
    };
    fixed(r_.pageHeader);
    // The first page's title is placed by run() (it may be a tall text that
    // runs over several pages); the column header follows it there.
    if (ctx_.page_ == 1 && r_.title.enabled) {
        bodyTop_ = y_;
        return;
    }
    if (ctx_.page_ == 1 || r_.columnHeaderEveryPage) fixed(r_.columnHeader);
    // Groups still running repeat their headers as they printed.
    for (int g = 0; g < headerCache_.size(); ++g) {
        if (!active_[g] || !r_.groups[g].repeatHeader) continue;
        placeFixed(headerCache_[g]);
    }
    bodyTop_ = y_;
}

void LayoutEngine::finishPage() {
    if (!pageOpen_) return;
    if (r_.pageFooter.enabled) {
        const Laid l = layoutBand(r_.pageFooter);
        if (l.printed) {
            emitAt(l.items, bodyBottom());
            if (r_.pageFooter.afterPrint) r_.pageFooter.afterPrint(ctx_);
        }
    }
    pageOpen_ = false;
}

Document LayoutEngine::run() {
    doc_ = Document();
    doc_.name = r_.name;
    doc_.title = r_.caption;
    doc_.orientation = r_.orientation;
    doc_.paper = r_.paper;
    left_ = r_.margins.left();
    top_ = r_.margins.top();

    const int nGroups = int(r_.groups.size());
    ctx_.report_ = &r_;
    ctx_.row_ = -1;
    ctx_.page_ = 0;
    ctx_.printTime_ = r_.printTime.isValid() ? r_.printTime : QDateTime::currentDateTime();
    ctx_.vars_.clear();
    ctx_.groupNewPage_.clear();
    ctx_.groupNames_.clear();
    for (const Group& g : r_.groups) ctx_.groupNames_ << g.name;
    ctx_.sums_.clear();
    for (const Aggregate& a : r_.aggregates) ctx_.sums_.insert(a.name, QList<double>(nGroups + 1, 0.0));
    ctx_.counts_ = QList<qint64>(nGroups + 1, 0);
    headerCache_ = QList<Laid>(nGroups);
    active_ = QList<bool>(nGroups, false);

    const int rows = r_.data.rowCount();
    if (rows == 0 && !r_.printIfEmpty) return doc_;

    // The first page's headers and the title see the first row.
    ctx_.row_ = rows > 0 ? 0 : -1;
    if (r_.onStart) r_.onStart(ctx_);
    startPage();
    if (r_.title.enabled) {
        printBand(r_.title);
        if (ctx_.page_ == 1) {
            const Laid l = layoutBand(r_.columnHeader);
            placeFixed(l);
            if (l.printed && r_.columnHeader.afterPrint) r_.columnHeader.afterPrint(ctx_);
        }
        bodyTop_ = y_;
    }

    QStringList prevKeys(nGroups);
    for (int row = 0; row < rows; ++row) {
        ctx_.row_ = row;
        QStringList keys;
        for (int g = 0; g < nGroups; ++g) keys << groupKey(g);
        // The outermost group whose value changed; a change ends every inner group too.
        int changed = nGroups;
        if (row == 0) changed = 0;
        else
            for (int g = 0; g < nGroups; ++g)
                if (keys[g] != prevKeys[g]) { changed = g; break; }
        if (row > 0 && changed < nGroups) {
            ctx_.row_ = row - 1;
            for (int g = nGroups - 1; g >= changed; --g) {
                printBand(r_.groups[g].footer);
                active_[g] = false;
            }
            ctx_.row_ = row;
        }
        for (int g = changed; g < nGroups; ++g) {
            const Group& grp = r_.groups[g];
            for (auto it = ctx_.sums_.begin(); it != ctx_.sums_.end(); ++it) (*it)[g + 1] = 0.0;
            ctx_.counts_[g + 1] = 0;
            bool newPageOn = grp.newPage;
            const auto ov = ctx_.groupNewPage_.constFind(grp.name);
            if (ov != ctx_.groupNewPage_.constEnd()) newPageOn = *ov;
            if (newPageOn && y_ > bodyTop_ + kEps) newPage();
            Laid laid = layoutBand(grp.header);
            headerCache_[g] = Laid();
            active_[g] = true;
            if (laid.printed) {
                place(laid);
                // Page numbers of a repeated header are those of its new page.
                headerCache_[g] = laid;
                headerCache_[g].newPageBefore = false;
                if (grp.header.afterPrint) grp.header.afterPrint(ctx_);
                for (const Band& c : grp.header.children) printBand(c);
            }
        }
        // Totals include the row being printed.
        for (const Aggregate& a : r_.aggregates) {
            const double v = a.expr ? a.expr(ctx_) : ctx_.number(a.column);
            auto& list = ctx_.sums_[a.name];
            for (double& s : list) s += v;
        }
        for (qint64& c : ctx_.counts_) ++c;
        printBand(r_.detail);
        prevKeys = keys;
    }
    if (rows > 0) {
        ctx_.row_ = rows - 1;
        for (int g = nGroups - 1; g >= 0; --g) {
            printBand(r_.groups[g].footer);
            active_[g] = false;
        }
    }
    printBand(r_.summary);
    finishPage();
    if (r_.onFinished) r_.onFinished(ctx_);
    return doc_;
}

Document layout(const Report& report) {
    LayoutEngine e(report);
    return e.run();
}

// ---------------------------------------------------------------- drawing

void renderPage(QPainter& p, const Document& doc, int page, double scale) {
    if (page < 0 || page >= doc.pages.size()) return;
    QPaintDevice* dev = p.device();
    const double pxPerMm = (dev ? dev->logicalDpiX() : 96) / 25.4 * scale;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Fonts are resolved at the device's resolution; a scale other than 1 is a
    // uniform transformation of the whole page.
    const double mm = pxPerMm / scale;
    if (scale != 1.0) p.scale(scale, scale);
    auto R = [mm](const QRectF& r) { return QRectF(r.left() * mm, r.top() * mm, r.width() * mm, r.height() * mm); };
    const int pages = doc.pageCount();

    for (const Item& it : doc.pages[page].items) {
        const QRectF rc = R(it.rect);
        switch (it.kind) {
        case Item::Kind::Text: {
            p.setFont(makeFont(it.font));
            p.setPen(it.color);
            int hflag = it.align == Align::Right ? Qt::AlignRight : it.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft;
            const QStringList lines = it.pageFormat.isEmpty() ? it.lines : QStringList{pageText(it.pageFormat, page + 1, pages)};
            double top = rc.top();
            const double lh = it.lineHeight * mm;
            if (it.alignBottom) top = qMax(rc.top(), rc.bottom() - lines.size() * lh);
            for (int i = 0; i < lines.size(); ++i) {
                const QRectF lr(rc.left(), top + i * lh, rc.width(), lh);
                p.drawText(lr, hflag | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine, lines[i]);
            }
            break;
        }
        case Item::Kind::Image:
            // The layout gave the picture its own rectangle (proportions kept).
            if (!it.image.isNull()) p.drawImage(rc, it.image);
            break;
        case Item::Kind::Line: {
            QPen pen(it.color);
            pen.setWidthF(qMax(0.5, it.frameWidth * mm));
            p.setPen(pen);
            p.drawLine(rc.topLeft(), rc.topRight());
            break;
        }
        case Item::Kind::Shape:
            if (!it.path.isEmpty()) {
                p.save();
                p.translate(rc.topLeft());
                p.scale(mm, mm);
                p.setPen(Qt::NoPen);
                p.fillPath(it.path, it.color);
                p.restore();
            }
            break;
        case Item::Kind::Box:
            break;
        }
        if (it.frame != FrameNone && it.kind != Item::Kind::Line) {
            QPen pen(Qt::black);
            pen.setWidthF(qMax(0.5, it.frameWidth * mm));
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            if (it.frame & FrameTop) p.drawLine(rc.topLeft(), rc.topRight());
            if (it.frame & FrameBottom) p.drawLine(rc.bottomLeft(), rc.bottomRight());
            if (it.frame & FrameLeft) p.drawLine(rc.topLeft(), rc.bottomLeft());
            if (it.frame & FrameRight) p.drawLine(rc.topRight(), rc.bottomRight());
        }
    }
    p.restore();
}

QImage renderPageImage(const Document& doc, int page, double dpi) {
    const QSizeF paper = doc.paperSize();
    const QSize px(qMax(1, int(paper.width() / 25.4 * dpi + 0.5)), qMax(1, int(paper.height() / 25.4 * dpi + 0.5)));
    QImage img(px, QImage::Format_RGB32);
    const int dpm = int(dpi / 0.0254 + 0.5);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(Qt::white);
    QPainter p(&img);
    renderPage(p, doc, page, 1.0);
    p.end();
    return img;
}

bool renderDocument(QPagedPaintDevice& device, const Document& doc, int copies, bool keepPaper) {
    device.setPageOrientation(doc.orientation);
    if (!keepPaper) device.setPageSize(doc.paper);
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    // On other paper than the document's the pages are scaled to fit it.
    double scale = 1.0;
    if (keepPaper) {
        const QRectF paper = device.pageLayout().fullRect(QPageLayout::Millimeter);
        const QSizeF own = doc.paperSize();
        if (paper.width() > 1 && paper.height() > 1)
            scale = qMin(paper.width() / own.width(), paper.height() / own.height());
        if (qAbs(scale - 1.0) < 0.005) scale = 1.0;
    }
    QPainter p;
    if (!p.begin(&device)) return false;
    bool first = true;
    for (int c = 0; c < qMax(1, copies); ++c) {
        for (int i = 0; i < doc.pageCount(); ++i) {
            if (!first) device.newPage();
            first = false;
            renderPage(p, doc, i, scale);
        }
    }
    return p.end();
}

bool writePdf(const Document& doc, const QString& fileName, int copies, QString* error, const QPageSize* paper) {
    if (doc.pageCount() == 0) {
        if (error) *error = QStringLiteral("A nyomtatványnak nincs oldala.");
        return false;
    }
    // Through a temporary file beside the target, renamed over it only when
    // every byte is on the disk: a full disk leaves no file, never a cut one.
    try {
        vl::db::PendingFile pending(fileName);
        QFile file(pending.tempPath());
        errno = 0;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            if (error) *error = file.errorString();
            return false;
        }
        bool drawn = false;
        {
            QPdfWriter writer(&file);
            writer.setResolution(1200);
            writer.setTitle(doc.title);
            writer.setCreator(QStringLiteral("Vorlanda"));
            if (paper) writer.setPageSize(*paper);
            drawn = renderDocument(writer, doc, copies, paper != nullptr);
        }
        const bool flushed = drawn && file.flush();
        const int code = errno;
        const bool written = flushed && file.error() == QFileDevice::NoError && file.size() > 0;
        file.close();
        if (!written || file.error() != QFileDevice::NoError) {
            if (error)
                *error = code != 0 && drawn ? QString::fromLocal8Bit(std::strerror(code))
                                            : (file.error() != QFileDevice::NoError ? file.errorString() : QString());
            return false;
        }
        pending.commit();
    } catch (const vl::Error& e) {
        if (error) *error = e.text();
        return false;
    }
    return true;
}

} // namespace vl::reporting
