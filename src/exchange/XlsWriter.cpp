// glib's headers come before Qt's: Qt's keyword macros would clash with them.
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include "exchange/XlsWriter.h"

#include "db/DisplayText.h"
#include "reporting/DictionaryList.h"
#include "util/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QDir>
#include <QHash>
#include <QTime>

#include <cmath>
#include <cstring>
#include <vector>

namespace vl::exchange {

namespace {

// Record numbers of BIFF8.
enum : quint16 {
    rBOF = 0x0809,
    rEOF = 0x000A,
    rCODEPAGE = 0x0042,
    rDATEMODE = 0x0022,
    rWINDOW1 = 0x003D,
    rFONT = 0x0031,
    rFORMAT = 0x041E,
    rXF = 0x00E0,
    rSTYLE = 0x0293,
    rBOUNDSHEET = 0x0085,
    rSST = 0x00FC,
    rCONTINUE = 0x003C,
    rEXTSST = 0x00FF,
    rDIMENSION = 0x0200,
    rCOLINFO = 0x007D,
    rWINDOW2 = 0x023E,
    rLABELSST = 0x00FD,
    rNUMBER = 0x0203,
    rRK = 0x027E,
    rBOOLERR = 0x0205,
};

// The most data bytes one record holds; longer data goes on in CONTINUE records.
constexpr int MaxRecordData = 8224;
// The most characters a cell holds.
constexpr int MaxCellText = 32767;
// Integers from here on would lose digits as spreadsheet numbers (15 significant digits).
constexpr qint64 MaxExactInteger = 999999999999999LL;

// Cell formats: the XF records written after the 15 style XFs.
enum : quint16 { xfGeneral = 15, xfDate = 16, xfDateTime = 17, xfTime = 18 };
// Number formats of our own (user-defined formats start at 164).
enum : quint16 { fmtDate = 164, fmtDateTime = 165, fmtTime = 166 };

class Bytes {
public:
    QByteArray data;
    void u8(quint8 v) { data.append(char(v)); }
    void u16(quint16 v) { u8(quint8(v & 0xFF)); u8(quint8(v >> 8)); }
    void u32(quint32 v) { u16(quint16(v & 0xFFFF)); u16(quint16(v >> 16)); }
    void f64(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(quint32(bits & 0xFFFFFFFFu));
        u32(quint32(bits >> 32));
    }
    void raw(const QByteArray& b) { data.append(b); }
    int size() const { return int(data.size()); }
};

// Whether every character fits one byte (the compressed form of a BIFF8 string).
bool fitsLatin1(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > 0xFF) return false;
    return true;
}

// The characters of a string in the form its flags byte names.
QByteArray stringChars(const QString& s, bool wide)
{
    QByteArray out;
    out.reserve(s.size() * (wide ? 2 : 1));
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xFF));
        if (wide) out.append(char(c.unicode() >> 8));
    }
    return out;
}

// A string with its length (8 or 16 bits), its width flag and its characters.
QByteArray lengthString(const QString& s, bool sixteenBitLength)
{
    const bool wide = !fitsLatin1(s);
    Bytes b;
    if (sixteenBitLength) b.u16(quint16(s.size()));
    else b.u8(quint8(s.size()));
    b.u8(wide ? 1 : 0);
    b.raw(stringChars(s, wide));
    return b.data;
}

// A string with an 8-bit length (sheet and font names).
QByteArray shortString(const QString& s) { return lengthString(s, false); }

// A string with a 16-bit length (formats).
QByteArray longString(const QString& s) { return lengthString(s, true); }

void record(Bytes& out, quint16 id, const QByteArray& body)
{
    out.u16(id);
    out.u16(quint16(body.size()));
    out.raw(body);
}

// The shared string table: each distinct text once, cells name it by index.
class StringTable {
public:
    quint32 indexOf(const QString& s)
    {
        ++references_;
        auto it = index_.constFind(s);
        if (it != index_.constEnd()) return it.value();
        const quint32 i = quint32(strings_.size());
        index_.insert(s, i);
        strings_.push_back(s);
        return i;
    }

    // Writes SST (with CONTINUE records where it is long) and EXTSST; `base` is
    // the stream position at which `out` starts, for the index of EXTSST.
    void write(Bytes& out, qint64 base) const
    {
        const int n = int(strings_.size());
        // Strings per bucket of EXTSST: at least 8, at most 128 buckets.
        const int perBucket = std::max(8, (n + 127) / 128);
        struct Bucket { quint32 pos; quint16 inRecord; };
        std::vector<Bucket> buckets;

        QByteArray rec;               // data of the record being filled
        int recStart = out.size();    // where its header goes in `out`
        bool first = true;
        auto flush = [&]() {
            out.u16(first ? rSST : rCONTINUE);
            out.u16(quint16(rec.size()));
            out.raw(rec);
            first = false;
            rec.clear();
            recStart = out.size();
        };
        {
            Bytes head;
            head.u32(references_);
            head.u32(quint32(n));
            rec = head.data;
        }
        for (int i = 0; i < n; ++i) {
            const QString& s = strings_[size_t(i)];
            const bool wide = !fitsLatin1(s);
            const int charSize = wide ? 2 : 1;
            // The length and flags never part from the first character.
            if (rec.size() + 3 + (s.isEmpty() ? 0 : charSize) > MaxRecordData) flush();
            if (i % perBucket == 0)
                buckets.push_back({quint32(base + recStart + 4 + rec.size()), quint16(4 + rec.size())});
            Bytes head;
            head.u16(quint16(s.size()));
            head.u8(wide ? 1 : 0);
            rec.append(head.data);
            const QByteArray chars = stringChars(s, wide);
            int done = 0;
            while (done < chars.size()) {
                int room = (MaxRecordData - int(rec.size())) / charSize * charSize;
                if (room <= 0) {
                    flush();
                    rec.append(char(wide ? 1 : 0)); // a continued string names its form again
                    continue;
                }
                const int take = std::min(room, int(chars.size()) - done);
                rec.append(chars.constData() + done, take);
                done += take;
            }
        }
        flush();

        Bytes ext;
        ext.u16(quint16(perBucket));
        for (const Bucket& b : buckets) {
            ext.u32(b.pos);
            ext.u16(b.inRecord);
            ext.u16(0);
        }
        record(out, rEXTSST, ext.data);
    }

private:
    QHash<QString, quint32> index_;
    std::vector<QString> strings_;
    quint32 references_ = 0;
};

QByteArray bof(quint16 type)
{
    Bytes b;
    b.u16(0x0600); // BIFF8
    b.u16(type);   // 0x0005 workbook globals, 0x0010 worksheet
    b.u16(0x0DBB); // build
    b.u16(0x07CC); // year
    b.u32(0x00000041);
    b.u32(0x00000006);
    return b.data;
}

QByteArray font()
{
    Bytes b;
    b.u16(200);    // 10 points in twips
    b.u16(0);      // no attributes
    b.u16(0x7FFF); // the window's text colour
    b.u16(400);    // normal weight
    b.u16(0);      // no super- or subscript
    b.u8(0);       // no underline
    b.u8(2);       // swiss family
    b.u8(0xEE);    // East European character set
    b.u8(0);
    b.raw(shortString(QStringLiteral("Arial")));
    return b.data;
}

QByteArray format(quint16 index, const QString& code)
{
    Bytes b;
    b.u16(index);
    b.raw(longString(code));
    return b.data;
}

// An XF record: style XFs (the 15 every workbook has) or cell XFs over style 0.
QByteArray xf(bool style, quint16 numberFormat)
{
    Bytes b;
    b.u16(0);                                 // font 0
    b.u16(numberFormat);
    b.u16(style ? 0xFFF5 : 0x0001);           // locked; a style XF has no parent
    b.u8(0x20);                               // bottom-aligned, no wrap
    b.u8(0);                                  // no rotation
    b.u8(0);                                  // no indent
    b.u8(style ? 0 : (numberFormat ? 0x04 : 0)); // a cell XF that has its own number format says so
    b.u32(0);                                 // no borders
    b.u32(0);
    b.u16(0x20C0);                            // automatic pattern colours
    return b.data;
}

// Where one sheet's cells are gathered before the workbook is put together.
struct Sheet {
    QString name;
    Bytes cells;
    int rows = 0;       // rows written, the header row included
};

class CellWriter {
public:
    CellWriter(Bytes& out, StringTable& sst) : out_(out), sst_(sst) {}

    void text(int row, int col, const QString& s)
    {
        Bytes b;
        b.u16(quint16(row));
        b.u16(quint16(col));
        b.u16(xfGeneral);
        b.u32(sst_.indexOf(s.size() > MaxCellText ? s.left(MaxCellText) : s));
        record(out_, rLABELSST, b.data);
    }

    void number(int row, int col, double v, quint16 xfIndex = xfGeneral)
    {
        Bytes b;
        b.u16(quint16(row));
        b.u16(quint16(col));
        b.u16(xfIndex);
        b.f64(v);
        record(out_, rNUMBER, b.data);
    }

    void integer(int row, int col, qint64 v)
    {
        if (v >= -(1LL << 29) && v < (1LL << 29)) {
            Bytes b;
            b.u16(quint16(row));
            b.u16(quint16(col));
            b.u16(xfGeneral);
            b.u32((quint32(qint32(v)) << 2) | 0x2); // an integer RK value
            record(out_, rRK, b.data);
        } else {
            number(row, col, double(v));
        }
    }

    void boolean(int row, int col, bool v)
    {
        Bytes b;
        b.u16(quint16(row));
        b.u16(quint16(col));
        b.u16(xfGeneral);
        b.u8(v ? 1 : 0);
        b.u8(0); // a boolean, not an error
        record(out_, rBOOLERR, b.data);
    }

    void value(int row, int col, const QVariant& v, const vl::db::Column& column)
    {
        if (v.isNull()) return;
        static const QDate epoch(1899, 12, 30);
        switch (v.typeId()) {
        case QMetaType::QString:
            text(row, col, v.toString());
            return;
        case QMetaType::Bool:
            boolean(row, col, v.toBool());
            return;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong: {
            const qint64 i = v.toLongLong();
            if (i > MaxExactInteger || i < -MaxExactInteger) text(row, col, QString::number(i));
            else integer(row, col, i);
            return;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = v.toDouble();
            if (!std::isfinite(d)) {
                text(row, col, vl::db::displayText(v, vl::db::DisplayFormat::of(column)));
                return;
            }
            // Five decimals, as the sheets have always had them.
            number(row, col, std::fabs(d) < 1e9 ? vl::util::RoundDecimals(5, d) : d);
            return;
        }
        case QMetaType::QDate: {
            const QDate d = v.toDate();
            if (!d.isValid()) return;
            number(row, col, double(epoch.daysTo(d)), xfDate);
            return;
        }
        case QMetaType::QDateTime: {
            const QDateTime t = v.toDateTime();
            if (!t.isValid()) return;
            const double day = double(epoch.daysTo(t.date()));
            number(row, col, day + t.time().msecsSinceStartOfDay() / 86400000.0, xfDateTime);
            return;
        }
        case QMetaType::QTime: {
            const QTime t = v.toTime();
            if (!t.isValid()) return;
            number(row, col, t.msecsSinceStartOfDay() / 86400000.0, xfTime);
            return;
        }
        default:
            text(row, col, vl::db::displayText(v, vl::db::DisplayFormat::of(column)));
            return;
        }
    }

private:
    Bytes& out_;
    StringTable& sst_;
};

QByteArray sheetStream(const Sheet& sheet, const QList<vl::db::Column>& columns, bool firstSheet)
{
    Bytes s;
    record(s, rBOF, bof(0x0010));
    {
        Bytes b;
        b.u32(0);
        b.u32(quint32(sheet.rows));
        b.u16(0);
        b.u16(quint16(columns.size()));
        b.u16(0);
        record(s, rDIMENSION, b.data);
    }
    for (int c = 0; c < columns.size(); ++c) {
        const int chars = std::min(255, std::max(int(columns[c].name.size()), vl::reporting::displayWidth(columns[c])) + 1);
        Bytes b;
        b.u16(quint16(c));
        b.u16(quint16(c));
        b.u16(quint16(chars * 256));
        b.u16(xfGeneral);
        b.u16(0);
        b.u16(0);
        record(s, rCOLINFO, b.data);
    }
    s.raw(sheet.cells.data);
    {
        Bytes b;
        b.u16(firstSheet ? 0x06B6 : 0x02B6); // gridlines, headers, zeros, outline; the first one selected and shown
        b.u16(0);
        b.u16(0);
        b.u16(64);   // automatic gridline colour
        b.u16(0);
        b.u16(0);
        b.u16(0);
        b.u16(0);
        b.u16(0);
        record(s, rWINDOW2, b.data);
    }
    record(s, rEOF, QByteArray());
    return s.data;
}

QByteArray globalsStream(const std::vector<Sheet>& sheets, const std::vector<quint32>& offsets,
                         const StringTable& sst, std::vector<int>* boundsheetAt)
{
    Bytes g;
    record(g, rBOF, bof(0x0005));
    {
        Bytes b;
        b.u16(1200); // UTF-16
        record(g, rCODEPAGE, b.data);
    }
    {
        Bytes b;
        b.u16(0x0168);
        b.u16(0x001E);
        b.u16(0x3A5C);
        b.u16(0x23BE);
        b.u16(0x0038);
        b.u16(0);   // active sheet
        b.u16(0);   // first tab shown
        b.u16(1);   // selected sheets
        b.u16(0x0258);
        record(g, rWINDOW1, b.data);
    }
    {
        Bytes b;
        b.u16(0); // dates count from 1900
        record(g, rDATEMODE, b.data);
    }
    for (int i = 0; i < 4; ++i) record(g, rFONT, font());
    record(g, rFORMAT, format(fmtDate, QStringLiteral("yyyy\\.mm\\.dd")));
    record(g, rFORMAT, format(fmtDateTime, QStringLiteral("yyyy\\.mm\\.dd\\ hh:mm:ss")));
    record(g, rFORMAT, format(fmtTime, QStringLiteral("hh:mm:ss")));
    for (int i = 0; i < 15; ++i) record(g, rXF, xf(true, 0));
    record(g, rXF, xf(false, 0));
    record(g, rXF, xf(false, fmtDate));
    record(g, rXF, xf(false, fmtDateTime));
    record(g, rXF, xf(false, fmtTime));
    {
        Bytes b;
        b.u16(0x8000); // built-in style over XF 0
        b.u8(0);       // "Normal"
        b.u8(0xFF);
        record(g, rSTYLE, b.data);
    }
    for (size_t i = 0; i < sheets.size(); ++i) {
        if (boundsheetAt) boundsheetAt->push_back(g.size() + 4);
        Bytes b;
        b.u32(i < offsets.size() ? offsets[i] : 0);
        b.u8(0); // visible
        b.u8(0); // worksheet
        b.raw(shortString(sheets[i].name));
        record(g, rBOUNDSHEET, b.data);
    }
    sst.write(g, 0);
    record(g, rEOF, QByteArray());
    return g.data;
}

// Writes the stream into a new OLE2 file at `path`; false with the reason on failure.
bool writeCompoundFile(const QString& path, const QByteArray& workbook, QString* why)
{
    GError* err = nullptr;
    const QByteArray native = QFile::encodeName(path);
    // The stdio output writes a temporary file beside `path` and puts it in
    // place only when it is closed whole.
    GsfOutput* file = gsf_output_stdio_new(native.constData(), &err);
    if (!file) {
        *why = err ? QString::fromUtf8(err->message) : QString();
        if (err) g_error_free(err);
        return false;
    }
    auto note = [why](GsfOutput* o) {
        const GError* e = o ? gsf_output_error(o) : nullptr;
        if (e && why->isEmpty()) *why = QString::fromUtf8(e->message);
    };
    GsfOutfile* ole = gsf_outfile_msole_new(file);
    GsfOutput* stream = ole ? gsf_outfile_new_child(ole, "Workbook", FALSE) : nullptr;
    bool ok = stream != nullptr;
    if (stream) {
        qint64 done = 0;
        while (ok && done < workbook.size()) {
            const qint64 chunk = std::min<qint64>(1 << 20, workbook.size() - done);
            ok = gsf_output_write(stream, gsize(chunk), reinterpret_cast<const guint8*>(workbook.constData() + done));
            done += chunk;
        }
        if (!ok) note(stream);
        if (!gsf_output_close(stream)) { note(stream); ok = false; }
        g_object_unref(stream);
    }
    if (ole) {
        if (!gsf_output_close(GSF_OUTPUT(ole))) { note(GSF_OUTPUT(ole)); ok = false; }
        g_object_unref(ole);
    }
    if (!gsf_output_is_closed(file) && !gsf_output_close(file)) { note(file); ok = false; }
    g_object_unref(file);
    return ok;
}

} // namespace

QString XlsSheetName(const QString& base, int k)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    QString name = base.trimmed();
    for (QChar c : name)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            throw vl::Error(QStringLiteral("A munkalap neve (%1) nem tartalmazhatja a következő jeleket: [ ] : * ? / \\")
                                .arg(base),
                            QStringLiteral("XlsSheetName"));
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        throw vl::Error(QStringLiteral("A munkalap neve (%1) nem kezdődhet és nem végződhet aposztróffal.").arg(base),
                        QStringLiteral("XlsSheetName"));
    if (name.isEmpty()) name = QStringLiteral("Munka1");
    const QString suffix = k > 0 ? QStringLiteral("_%1").arg(k) : QString();
    name = name.left(31 - int(suffix.size()));
    // A cut must not leave an apostrophe at the end.
    while (name.endsWith(QLatin1Char('\''))) name.chop(1);
    return name + suffix;
}

void WriteXls(RowSource& rows, const QString& path, const QString& sheetName, const Progress& progress)
{
    const QList<vl::db::Column>& columns = rows.columns();
    if (columns.size() > 256)
        throw vl::Error(QStringLiteral("Az Excel 97 munkalap legfeljebb 256 oszlopot fogad, a lekérdezésnek %1 van.")
                            .arg(columns.size()),
                        QStringLiteral("WriteXls"));
    XlsSheetName(sheetName, 0); // refuses a name no spreadsheet takes, before anything is done

    StringTable sst;
    std::vector<Sheet> sheets;
    auto newSheet = [&]() {
        Sheet s;
        s.name = XlsSheetName(sheetName, int(sheets.size()));
        sheets.push_back(std::move(s));
        Sheet& sh = sheets.back();
        CellWriter w(sh.cells, sst);
        for (int c = 0; c < columns.size(); ++c) w.text(0, c, columns[c].name);
        sh.rows = 1;
    };
    newSheet();

    const qint64 total = rows.sizeHint();
    qint64 done = 0;
    QVariantList row;
    while (rows.next(row)) {
        if (sheets.back().rows >= XlsMaxRows) newSheet();
        Sheet& sh = sheets.back();
        CellWriter w(sh.cells, sst);
        for (int c = 0; c < columns.size() && c < row.size(); ++c) w.value(sh.rows, c, row.at(c), columns[c]);
        ++sh.rows;
        ++done;
        if (progress && done % 100 == 0 && !progress(done, total)) throw ExportCancelled();
    }
    if (progress && !progress(done, total)) throw ExportCancelled();

    // The globals come first and name the position of every sheet, so they are
    // put together once the sheets are known.
    std::vector<QByteArray> streams;
    for (size_t i = 0; i < sheets.size(); ++i) streams.push_back(sheetStream(sheets[i], columns, i == 0));
    std::vector<int> boundsheetAt;
    QByteArray globals = globalsStream(sheets, {}, sst, &boundsheetAt);
    quint32 at = quint32(globals.size());
    for (size_t i = 0; i < sheets.size(); ++i) {
        const int p = boundsheetAt[i];
        for (int b = 0; b < 4; ++b) globals[p + b] = char((at >> (8 * b)) & 0xFF);
        at += quint32(streams[i].size());
    }
    QByteArray workbook = globals;
    for (const QByteArray& s : streams) workbook.append(s);
    streams.clear();

    QString why;
    // On failure the stdio output removes its temporary file; a file that was
    // at `path` before stays as it was.
    if (!writeCompoundFile(path, workbook, &why)) {
        throw vl::Error(QStringLiteral("Az Excel fájl nem írható: %1").arg(QDir::toNativeSeparators(path)),
                        why.isEmpty() ? QStringLiteral("WriteXls") : why);
    }
}

} // namespace vl::exchange
