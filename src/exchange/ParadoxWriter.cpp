#include "exchange/ParadoxWriter.h"

#include "db/DisplayText.h"
#include "exchange/TableFileFields.h"
#include "shell/Cp1250.h"
#include "util/MessageSink.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTime>

extern "C" {
#include <paradox.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vl::exchange {

namespace {

constexpr int MaxAlpha = 255;
constexpr int MaxFieldName = 25;
// Paradox counts days from 1 January of year 1 (that day is 1).
constexpr qint64 JulianDayBeforeYear1 = 1721425;

struct PxField {
    char type = pxfAlpha;
    int length = 1;
};

PxField fieldFor(const vl::db::Column& c)
{
    using vl::db::ColType;
    switch (c.type) {
    case ColType::Text: return {pxfAlpha, c.length > 0 ? std::min(c.length, MaxAlpha) : MaxAlpha};
    case ColType::Int16: return {pxfShort, 2};
    case ColType::Int32: return {pxfLong, 4};
    case ColType::Int64:
    case ColType::Float: return {pxfNumber, 8};
    case ColType::Date: return {pxfDate, 4};
    case ColType::Time: return {pxfTime, 4};
    case ColType::Timestamp: return {pxfTimestamp, 8};
    case ColType::Boolean: return {pxfLogical, 1};
    default: return {pxfAlpha, MaxAlpha};
    }
}

bool isNumeric(char type) { return type == pxfShort || type == pxfLong || type == pxfNumber; }

// The last error pxlib reported while writing; pxlib calls the handler on the writing thread.
void recordError(pxdoc_t*, int level, const char* msg, void* data)
{
    auto* last = static_cast<QString*>(data);
    if (last && msg && level != PX_Warning) *last = QString::fromLocal8Bit(msg).trimmed();
}

struct PxDoc {
    pxdoc_t* doc = nullptr;
    bool open = false;
    ~PxDoc() { finish(); }
    void finish()
    {
        if (!doc) return;
        if (open) PX_close(doc);
        PX_delete(doc);
        doc = nullptr;
        open = false;
    }
};

// Writes one value into its field of the record buffer; NULL becomes 0 in
// numeric fields and stays empty (all zero bytes, as Paradox keeps "no value")
// in the others.
void putValue(pxdoc_t* doc, char* at, const PxField& f, const QVariant& v, const vl::db::Column& col, int* lossy)
{
    if (v.isNull()) {
        if (f.type == pxfShort) PX_put_data_short(doc, at, f.length, 0);
        else if (f.type == pxfLong) PX_put_data_long(doc, at, f.length, 0);
        else if (f.type == pxfNumber) PX_put_data_double(doc, at, f.length, 0.0);
        return;
    }
    switch (f.type) {
    case pxfShort: PX_put_data_short(doc, at, f.length, short(v.toInt())); return;
    case pxfLong: PX_put_data_long(doc, at, f.length, int(v.toLongLong())); return;
    case pxfNumber: {
        bool ok = true;
        double d = v.typeId() == QMetaType::QString
                       ? v.toString().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok)
                       : v.toDouble();
        if (!ok || !std::isfinite(d)) d = 0;
        PX_put_data_double(doc, at, f.length, d);
        return;
    }
    case pxfLogical: PX_put_data_byte(doc, at, f.length, v.toBool() ? 1 : 0); return;
    case pxfDate: {
        QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
        if (!d.isValid() && v.typeId() == QMetaType::QString)
            d = QDate::fromString(v.toString(), QStringLiteral("yyyy.MM.dd"));
        if (d.isValid()) PX_put_data_long(doc, at, f.length, int(d.toJulianDay() - JulianDayBeforeYear1));
        return;
    }
    case pxfTime: {
        const QTime t = v.toTime();
        if (t.isValid()) PX_put_data_long(doc, at, f.length, t.msecsSinceStartOfDay());
        return;
    }
    case pxfTimestamp: {
        const QDateTime t = v.toDateTime();
        if (!t.isValid()) return;
        const double ms = double(t.date().toJulianDay() - JulianDayBeforeYear1) * 86400000.0
                          + t.time().msecsSinceStartOfDay();
        PX_put_data_double(doc, at, f.length, ms);
        return;
    }
    default: {
        QByteArray b = tableFileText(v, col, lossy);
        b.truncate(f.length);
        PX_put_data_alpha(doc, at, f.length, b.data());
        return;
    }
    }
}

// A read-write FILE over a growing byte array (glibc's cookie streams).
struct MemoryFile {
    QByteArray bytes;
    qint64 pos = 0;

    FILE* open()
    {
        cookie_io_functions_t io{};
        io.read = [](void* c, char* buf, size_t n) -> ssize_t {
            auto* m = static_cast<MemoryFile*>(c);
            if (m->pos >= m->bytes.size()) return 0;
            const qint64 k = std::min<qint64>(qint64(n), m->bytes.size() - m->pos);
            std::memcpy(buf, m->bytes.constData() + m->pos, size_t(k));
            m->pos += k;
            return ssize_t(k);
        };
        io.write = [](void* c, const char* buf, size_t n) -> ssize_t {
            auto* m = static_cast<MemoryFile*>(c);
            const qint64 end = m->pos + qint64(n);
            if (end > m->bytes.size()) m->bytes.resize(end, '\0'); // a gap after a seek reads as zeros
            std::memcpy(m->bytes.data() + m->pos, buf, n);
            m->pos = end;
            return ssize_t(n);
        };
        io.seek = [](void* c, off64_t* offset, int whence) -> int {
            auto* m = static_cast<MemoryFile*>(c);
            const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->bytes.size();
            if (base + *offset < 0) return -1;
            m->pos = base + *offset;
            *offset = m->pos;
            return 0;
        };
        io.close = [](void*) -> int { return 0; };
        return fopencookie(this, "w+", io);
    }
};

} // namespace

void WriteParadox(RowSource& rows, const QString& path, const QString& tableName, const Progress& progress)
{
    const QList<vl::db::Column>& columns = rows.columns();
    const QString where = QDir::toNativeSeparators(path);
    const QString context = QStringLiteral("WriteParadox");
    checkTableFileColumns(columns, QStringLiteral("Paradox"), context);

    std::vector<PxField> fields;
    int recordSize = 0;
    for (const vl::db::Column& c : columns) {
        fields.push_back(fieldFor(c));
        recordSize += fields.back().length;
    }
    if (recordSize > 4000)
        throw vl::Error(QStringLiteral("A Paradox tábla sorai túl hosszúak (%1 bájt, legfeljebb 4000 lehet).")
                            .arg(recordSize),
                        context);

    QString lastError;
    PxDoc px;
    // pxlib reads the chain of data blocks from the start for every record it
    // adds; on a file that is a read and a seek per block, so the table is
    // built in memory (100,000 rows: about a second instead of half a minute)
    // and written out whole at the end, where a full disk is noticed.
    MemoryFile memory;
    FILE* fp = nullptr;
    int lossy = 0;
    try {
        px.doc = PX_new3(recordError, nullptr, nullptr, nullptr, &lastError);
        if (!px.doc) throw vl::Error(QStringLiteral("A Paradox fájl nem hozható létre: %1").arg(where), context);
        auto fail = [&](const QString& text) { throw vl::Error(text, lastError.isEmpty() ? context : lastError); };

        fp = memory.open();
        if (!fp) fail(QStringLiteral("A Paradox fájl nem hozható létre: %1").arg(where));

        // pxlib takes the field list and its names as its own and frees them.
        const QList<QByteArray> names = tableFileFieldNames(columns, MaxFieldName, FieldNameForm::Cp1250);
        auto* pxf = static_cast<pxfield_t*>(px.doc->malloc(px.doc, sizeof(pxfield_t) * size_t(columns.size()),
                                                           "WriteParadox"));
        if (!pxf) fail(QStringLiteral("A Paradox fájl nem hozható létre: %1").arg(where));
        for (int i = 0; i < columns.size(); ++i) {
            pxf[i].px_fname = PX_strdup(px.doc, names[i].constData());
            pxf[i].px_ftype = fields[size_t(i)].type;
            pxf[i].px_flen = fields[size_t(i)].length;
            pxf[i].px_fdc = 0;
        }
        if (PX_create_fp(px.doc, pxf, int(columns.size()), fp, pxfFileTypNonIndexDB) < 0)
            fail(QStringLiteral("A Paradox fájl nem hozható létre: %1").arg(where));
        px.open = true;
        PX_set_value(px.doc, "codepage", 1250);
        QByteArray table = vl::shell::toCp1250(tableName.trimmed().isEmpty() ? QFileInfo(path).completeBaseName()
                                                                             : tableName.trimmed());
        table.replace('\0', ' ');
        PX_set_tablename(px.doc, table.left(78).constData());

        std::vector<char> record(static_cast<size_t>(recordSize));
        const qint64 total = rows.sizeHint();
        qint64 done = 0;
        QVariantList row;
        while (rows.next(row)) {
            std::memset(record.data(), 0, record.size());
            char* at = record.data();
            for (int c = 0; c < columns.size(); ++c) {
                putValue(px.doc, at, fields[size_t(c)], c < row.size() ? row.at(c) : QVariant(), columns[c], &lossy);
                at += fields[size_t(c)].length;
            }
            if (PX_put_record(px.doc, record.data()) < 0)
                fail(QStringLiteral("A Paradox fájl nem írható (megtelt a lemez?): %1").arg(where));
            ++done;
            if (progress && done % 100 == 0 && !progress(done, total)) throw ExportCancelled();
        }
        if (progress && !progress(done, total)) throw ExportCancelled();
        px.finish();
        const bool flushed = std::fflush(fp) == 0 && !std::ferror(fp);
        std::fclose(fp);
        fp = nullptr;
        if (!flushed || !lastError.isEmpty()) fail(QStringLiteral("A Paradox fájl nem írható: %1").arg(where));

        // Written beside the target and put in place when whole: a file that
        // was at `path` before stays as it was when anything fails.
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            throw vl::Error(QStringLiteral("A Paradox fájl nem hozható létre: %1").arg(where), out.errorString());
        const bool written = out.write(memory.bytes) == memory.bytes.size();
        if (!written || !out.commit())
            throw vl::Error(QStringLiteral("A Paradox fájl nem írható (megtelt a lemez?): %1").arg(where),
                            out.errorString());
    } catch (...) {
        px.finish();
        if (fp) std::fclose(fp);
        throw;
    }
    notifyLossyValues(lossy);
}

} // namespace vl::exchange
