#include "reporting/Fonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QTextLayout>
#include <QTextOption>

namespace vl::reporting {

namespace {

constexpr double kLayoutDpi = 1200.0;

// A device at the layout resolution, for font metrics only.
QImage& measureDevice() {
    static QImage img = [] {
        QImage i(4, 4, QImage::Format_RGB32);
        const int dpm = int(kLayoutDpi / 0.0254 + 0.5);
        i.setDotsPerMeterX(dpm);
        i.setDotsPerMeterY(dpm);
        return i;
    }();
    return img;
}

double pxToMm(double px) { return px * 25.4 / kLayoutDpi; }
double mmToPx(double mm) { return mm * kLayoutDpi / 25.4; }

QString key(const Font& f) {
    return f.family + QLatin1Char('|') + QString::number(f.pointSize) + QLatin1Char('|') +
           QString::number(int(f.bold) + 2 * int(f.italic) + 4 * int(f.underline));
}

} // namespace

QString mapFontFamily(const QString& family) {
    const QString f = family.trimmed().toLower();
    if (f == QLatin1String("arial") || f == QLatin1String("helvetica") || f == QLatin1String("ms sans serif") ||
        f.isEmpty())
        return QStringLiteral("Liberation Sans");
    if (f == QLatin1String("courier new") || f == QLatin1String("courier"))
        return QStringLiteral("Liberation Mono");
    if (f == QLatin1String("times new roman") || f == QLatin1String("times"))
        return QStringLiteral("Liberation Serif");
    static const QStringList installed = QFontDatabase::families();
    for (const QString& i : installed)
        if (i.compare(family.trimmed(), Qt::CaseInsensitive) == 0) return i;
    return QStringLiteral("DejaVu Sans");
}

void installFontSubstitutions() {
    static const bool done = [] {
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
        QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
        return true;
    }();
    Q_UNUSED(done);
}

QFont makeFont(const Font& font) {
    installFontSubstitutions();
    QFont f(mapFontFamily(font.family));
    f.setPointSizeF(font.pointSize > 0 ? font.pointSize : 8);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

double textWidthMm(const Font& font, const QString& text) {
    QFontMetricsF fm(makeFont(font), &measureDevice());
    return pxToMm(fm.horizontalAdvance(text));
}

double lineHeightMm(const Font& font) {
    static QHash<QString, double> cache;
    const QString k = key(font);
    auto it = cache.constFind(k);
    if (it != cache.constEnd()) return *it;
    QFontMetricsF fm(makeFont(font), &measureDevice());
    const double h = pxToMm(fm.height());
    cache.insert(k, h);
    return h;
}

QStringList breakLines(const Font& font, const QString& paragraph, double widthMm, Wrap wrap) {
    if (wrap == Wrap::None || paragraph.isEmpty()) return {paragraph};
    if (wrap == Wrap::Anywhere) {
        // Character by character, blanks included, so that monospaced columns
        // broken at the same width stay under each other.
        QFontMetricsF fm(makeFont(font), &measureDevice());
        const double w = mmToPx(widthMm);
        QStringList lines;
        QString cur;
        double curW = 0;
        for (const QChar ch : paragraph) {
            const double a = fm.horizontalAdvance(ch);
            if (!cur.isEmpty() && curW + a > w + 0.01) {
                lines << cur;
                cur.clear();
                curW = 0;
            }
            cur += ch;
            curW += a;
        }
        lines << cur;
        return lines;
    }
    QTextLayout tl(paragraph, makeFont(font), &measureDevice());
    QTextOption opt;
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    tl.setTextOption(opt);
    tl.beginLayout();
    QStringList lines;
    const double w = mmToPx(widthMm);
    for (;;) {
        QTextLine line = tl.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(w > 1 ? w : 1);
        QString part = paragraph.mid(line.textStart(), line.textLength());
        if (wrap == Wrap::Word) {
            while (part.endsWith(QLatin1Char(' '))) part.chop(1);
        }
        lines << part;
    }
    tl.endLayout();
    if (lines.isEmpty()) lines << QString();
    return lines;
}

} // namespace vl::reporting
