#include "TextExport.h"

#include "FileOut.h"
#include "db/DisplayText.h"
#include "reporting/DictionaryList.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

namespace vl::exchange {

using vl::db::ColType;
using vl::db::Column;

namespace {

constexpr int kProgressEvery = 100;

// A value as the list shows it, with its column's decimals; one line.
QString valueText(const QVariant& v, const Column& col) {
    QString t = vl::db::displayText(v, vl::db::DisplayFormat::of(col));
    if (t.contains(QLatin1Char('\r')) || t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\t')))
        t = vl::reporting::listValueText(t);
    return t;
}

// A text file of the rows: the head (when there is one), then a line per row
// as `line` writes it, the progress told every kProgressEvery rows and at the end.
WriteNotes writeRows(RowSource& rows, const QString& path, const Progress& progress,
                     const std::function<void(FileOut&, const QList<Column>&)>& head,
                     const std::function<void(FileOut&, const QList<Column>&, const QVariantList&, WriteNotes&)>& line) {
    WriteNotes notes;
    FileOut out(path);
    const QList<Column> cols = rows.columns();
    const qint64 total = rows.sizeHint();
    if (head) head(out, cols);
    QVariantList row;
    while (rows.next(row)) {
        line(out, cols, row, notes);
        if (++notes.rows % kProgressEvery == 0) reportProgress(progress, notes.rows, total);
    }
    out.close();
    reportProgress(progress, notes.rows, total);
    return notes;
}

} // namespace

bool IsTextColumn(const Column& col) {
    return col.type == ColType::Text || col.type == ColType::LongText;
}

QString TxtLine(const QList<Column>& cols, const QVariantList& row) {
    QString line;
    for (int i = 0; i < cols.size(); ++i) {
        const int b = vl::reporting::listColumnWidth(cols[i]);
        const QString text = valueText(row.value(i), cols[i]);
        if (IsTextColumn(cols[i]) || (cols[i].type == ColType::Unknown && row.value(i).typeId() == QMetaType::QString))
            line += vl::util::PadRight(text, QLatin1Char(' '), b + 2);
        else
            line += vl::util::PadLeft(text, QLatin1Char(' '), b) + QStringLiteral("  ");
    }
    return line;
}

WriteNotes WriteTxt(RowSource& rows, const QString& path, const Progress& progress) {
    return writeRows(rows, path, progress, nullptr,
                     [](FileOut& out, const QList<Column>& cols, const QVariantList& row, WriteNotes& notes) {
                         writeCp1250Line(out, TxtLine(cols, row), notes);
                     });
}

QString CsvField(const QString& text) {
    bool quote = text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    for (const QChar c : text)
        if (c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            quote = true;
            break;
        }
    if (!quote) return text;
    QString t = text;
    t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + t + QLatin1Char('"');
}

QString CsvTextCell(const QString& text) {
    if (text.isEmpty()) return text;
    const QChar c = text.at(0);
    bool formula = c == u'=' || c == u'@' || c == u'\t' || c == u'\r';
    if (c == u'+' || c == u'-') {
        const QChar next = text.size() > 1 ? text.at(1) : QChar();
        formula = !(next.isDigit() || next == u' ');
    }
    return formula ? QLatin1Char('\'') + text : text;
}

QString CsvValueText(const QVariant& v, const Column& col) {
    if (!v.isValid() || v.isNull()) return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        QString t = col.scale < 0 ? QString::number(d, 'f', -col.scale)
                                  : QString::number(d, 'g', 15);
        return t.replace(QLatin1Char('.'), QLatin1Char(','));
    }
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::Short: case QMetaType::Long:
    case QMetaType::ULongLong: case QMetaType::UInt: case QMetaType::UShort: case QMetaType::ULong:
        if (col.scale < 0) {
            // An exact numeric read as its unscaled integer (an ODBC source).
            QString t = QString::number(v.toDouble(), 'f', -col.scale);
            return t.replace(QLatin1Char('.'), QLatin1Char(','));
        }
        return v.toString();
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("Igen") : QStringLiteral("Nem");
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return vl::util::VarToText(v);
    case QMetaType::QByteArray:
        return QStringLiteral("(bináris)");
    default:
        return CsvTextCell(v.toString());
    }
}

namespace {

// The CSV field of a value appended to a line as UTF-8: the bytes of
// CsvField(CsvValueText(value, col)).toUtf8(), made without the texts in
// between for the kinds a query mostly returns. Whatever these shortcuts are
// not sure to write alike goes the long way.

// The bytes of one line, written in place.
class Line {
public:
    Line() : buf_(1024, Qt::Uninitialized) {}
    void clear() { n_ = 0; }
    // Room for k more bytes at the end; commit() up to where they were written.
    char* room(qsizetype k) {
        if (n_ + k > buf_.size()) buf_.resize(std::max(buf_.size() * 2, n_ + k));
        return buf_.data() + n_;
    }
    void commit(const char* end) { n_ = end - buf_.constData(); }
    void put(char c) { *room(1) = c; ++n_; }
    void put(const char* s, qsizetype k) {
        std::memcpy(room(k), s, size_t(k));
        n_ += k;
    }
    void put(const QByteArray& b) { put(b.constData(), b.size()); }
    qsizetype size() const { return n_; }
    void truncate(qsizetype n) { n_ = n; }
    const char* data() const { return buf_.constData(); }

private:
    QByteArray buf_;
    qsizetype n_ = 0;
};

void appendSlow(Line& line, const QVariant& v, const Column& col) {
    line.put(CsvField(CsvValueText(v, col)).toUtf8());
}

template <class T>
void appendInteger(Line& line, T x) {
    char* at = line.room(24);
    line.commit(std::to_chars(at, at + 24, x).ptr);
}

char* digits2(char* out, int x) {
    out[0] = char('0' + x / 10);
    out[1] = char('0' + x % 10);
    return out + 2;
}

// 'yyyy.MM.dd' of a year from 1000 to 9999.
char* dateText(char* out, int y, int m, int d) {
    out = digits2(out, y / 100);
    out = digits2(out, y % 100);
    *out++ = '.';
    out = digits2(out, m);
    *out++ = '.';
    return digits2(out, d);
}

// 'hh:mm:ss'
char* timeText(char* out, const QTime& t) {
    out = digits2(out, t.hour());
    *out++ = ':';
    out = digits2(out, t.minute());
    *out++ = ':';
    return digits2(out, t.second());
}

// Whether d * 10^(decimals + 1) is a whole number ending in 5: rounded to
// `decimals` places it lies halfway, where Qt rounds away from zero and the
// standard library to the even digit.
bool halfwayAtDecimals(double d, int decimals) {
    int e2 = 0;
    const double fr = std::frexp(std::fabs(d), &e2);
    const std::uint64_t m = std::uint64_t(std::ldexp(fr, 53)); // |d| = m * 2^(e2 - 53)
    if (m == 0) return false;
    using u128 = unsigned __int128;
    u128 n = m;
    for (int i = 0; i <= decimals; ++i) n *= 5;
    const int shift = e2 - 53 + decimals + 1;
    if (shift < 0) {
        if (shift <= -128) return false;
        const u128 below = (u128(1) << -shift) - 1;
        if (n & below) return false;
        n >>= -shift;
    } else {
        if (shift > 16) return false; // only for |d| < 1e15, where it never is
        n <<= shift;
    }
    return unsigned(n % 10) == 5;
}

// Whether d lies halfway between two numbers of 15 significant digits: then
// its shortest exact form has 16 digits, the last a 5.
bool halfwayAt15Digits(double d) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    int digits = 0;
    char last = 0;
    for (const char* q = buf; q < r.ptr && *q != 'e'; ++q)
        if (*q >= '0' && *q <= '9') {
            ++digits;
            last = *q;
        }
    return digits == 16 && last == '5';
}

// QString::number(d, 'f', decimals) or (d, 'g', 15), the point a comma. Both
// round correctly, so they differ only halfway (and on a negative zero).
void appendFloat(Line& line, const QVariant& v, const Column& col) {
    const double d = v.toDouble();
    const int decimals = col.scale < 0 ? -col.scale : -1;
    if (decimals >= 0 ? decimals > 15 || !(std::fabs(d) < 1e15) || halfwayAtDecimals(d, decimals)
                      : !std::isfinite(d) || halfwayAt15Digits(d))
        return appendSlow(line, v, col);
    char* at = line.room(48);
    const double x = d == 0 ? 0.0 : d;
    const std::to_chars_result r = decimals >= 0 ? std::to_chars(at, at + 48, x, std::chars_format::fixed, decimals)
                                                 : std::to_chars(at, at + 48, x, std::chars_format::general, 15);
    if (r.ec != std::errc()) return appendSlow(line, v, col);
    for (char* q = at; q < r.ptr; ++q)
        if (*q == '.') *q = ',';
    line.commit(r.ptr);
}

// A text cell: CsvField(CsvTextCell(text)) in UTF-8.
void appendText(Line& line, const QString& text) {
    if (text.isEmpty()) return;
    const qsizetype n = text.size();
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t c0 = s[0];
    bool formula = c0 == u'=' || c0 == u'@' || c0 == u'\t' || c0 == u'\r';
    if (c0 == u'+' || c0 == u'-') {
        const QChar next = n > 1 ? QChar(s[1]) : QChar();
        formula = !(next.isDigit() || next == u' ');
    }
    bool quote = (!formula && c0 == u' ') || s[n - 1] == u' ';
    for (qsizetype i = 0; i < n && !quote; ++i) {
        const char16_t c = s[i];
        quote = c == u';' || c == u'"' || c == u'\r' || c == u'\n';
    }
    const qsizetype start = line.size();
    char* out = line.room(3 * n + (quote ? n + 2 : 0) + 1);
    if (quote) *out++ = '"';
    if (formula) *out++ = '\'';
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            if (c == u'"') *out++ = '"'; // only in a quoted field
            *out++ = char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // A surrogate pair (or a broken one, which QString::toUtf8 writes its own way).
            line.truncate(start);
            QString t = formula ? QLatin1Char('\'') + text : text;
            if (quote) {
                t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
                t = QLatin1Char('"') + t + QLatin1Char('"');
            }
            line.put(t.toUtf8());
            return;
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    if (quote) *out++ = '"';
    line.commit(out);
}

void appendCsvValue(Line& line, const QVariant& v, const Column& col) {
    if (!v.isValid() || v.isNull()) return;
    switch (v.typeId()) {
    case QMetaType::QString:
        return appendText(line, *static_cast<const QString*>(v.constData()));
    case QMetaType::Double:
    case QMetaType::Float:
        return appendFloat(line, v, col);
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::Short: case QMetaType::Long:
        if (col.scale < 0) return appendSlow(line, v, col);
        return appendInteger(line, v.toLongLong());
    case QMetaType::ULongLong: case QMetaType::UInt: case QMetaType::UShort: case QMetaType::ULong:
        if (col.scale < 0) return appendSlow(line, v, col);
        return appendInteger(line, v.toULongLong());
    case QMetaType::Bool:
        if (v.toBool()) line.put("Igen", 4);
        else line.put("Nem", 3);
        return;
    case QMetaType::QDate: {
        // As VarToText writes it: 'yyyy.MM.dd'.
        const QDate& d = *static_cast<const QDate*>(v.constData());
        int y = 0, m = 0, day = 0;
        d.getDate(&y, &m, &day);
        if (!d.isValid() || y < 1000 || y > 9999) return appendSlow(line, v, col);
        line.commit(dateText(line.room(10), y, m, day));
        return;
    }
    case QMetaType::QDateTime: {
        // 'yyyy.MM.dd hh:mm:ss'
        const QDateTime& dt = *static_cast<const QDateTime*>(v.constData());
        if (!dt.isValid()) return appendSlow(line, v, col);
        const QDate d = dt.date();
        const QTime t = dt.time();
        int y = 0, m = 0, day = 0;
        d.getDate(&y, &m, &day);
        if (y < 1000 || y > 9999 || !t.isValid()) return appendSlow(line, v, col);
        char* out = dateText(line.room(19), y, m, day);
        *out++ = ' ';
        line.commit(timeText(out, t));
        return;
    }
    case QMetaType::QTime: {
        const QTime& t = *static_cast<const QTime*>(v.constData());
        if (!t.isValid()) return appendSlow(line, v, col);
        line.commit(timeText(line.room(8), t));
        return;
    }
    default:
        return appendSlow(line, v, col);
    }
}

} // namespace

WriteNotes WriteCsv(RowSource& rows, const QString& path, const Progress& progress) {
    const auto head = [](FileOut& out, const QList<Column>& cols) {
        QStringList fields;
        for (const Column& c : cols) fields << CsvField(CsvTextCell(vl::reporting::columnLabel(c)));
        out.write(QByteArray("\xEF\xBB\xBF") + fields.join(QLatin1Char(';')).toUtf8() + "\r\n");
    };
    Line line;
    const QVariant none;
    return writeRows(rows, path, progress, head,
                     [&](FileOut& out, const QList<Column>& cols, const QVariantList& row, WriteNotes&) {
                         line.clear();
                         for (int i = 0; i < cols.size(); ++i) {
                             if (i > 0) line.put(';');
                             appendCsvValue(line, i < row.size() ? row.at(i) : none, cols[i]);
                         }
                         line.put("\r\n", 2);
                         out.write(line.data(), line.size());
                     });
}

} // namespace vl::exchange
