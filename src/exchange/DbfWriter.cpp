#include "exchange/DbfWriter.h"

#include "db/DisplayText.h"
#include "exchange/TableFileFields.h"
#include "shell/Cp1250.h"
#include "util/MessageSink.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <shapefil.h>

#include <cmath>
#include <cstdio>

namespace vl::exchange {

namespace {

// dBASE language driver 0xC8: Windows East European (code page 1250).
constexpr const char* CodePage1250 = "LDID/200";
constexpr int MaxCharWidth = 254;

struct DbfField {
    QByteArray name;
    char type = 'C';    // C, N, D or L
    int width = 1;
    int decimals = 0;
    vl::db::ColType colType = vl::db::ColType::Unknown;
};

DbfField fieldFor(const vl::db::Column& c)
{
    using vl::db::ColType;
    DbfField f;
    f.colType = c.type;
    switch (c.type) {
    case ColType::Text:
        f.width = c.length > 0 ? std::min(c.length, MaxCharWidth) : MaxCharWidth;
        break;
    case ColType::Int16: f.type = 'N'; f.width = 6; break;
    case ColType::Int32: f.type = 'N'; f.width = 11; break;
    case ColType::Int64:
        if (c.scale < 0) { f.type = 'N'; f.width = 20; f.decimals = std::min(-c.scale, 15); }
        else { f.type = 'N'; f.width = 20; }
        break;
    case ColType::Float:
        f.type = 'N';
        f.width = 20;
        f.decimals = c.scale < 0 ? std::min(-c.scale, 15) : 5;
        break;
    case ColType::Date: f.type = 'D'; f.width = 8; break;
    case ColType::Boolean: f.type = 'L'; f.width = 1; break;
    case ColType::Time: f.width = 8; break;
    case ColType::Timestamp: f.width = 19; break;
    default: f.width = MaxCharWidth; break;
    }
    return f;
}

// A number right-aligned in its field; stars when it does not fit, as dBASE writes them.
QByteArray numberText(double v, const DbfField& f)
{
    QByteArray t = QByteArray::number(v, 'f', f.decimals);
    if (t.size() > f.width) return QByteArray(f.width, '*');
    return QByteArray(f.width - t.size(), ' ') + t;
}

QByteArray integerText(qint64 v, const DbfField& f)
{
    QByteArray t = QByteArray::number(v);
    if (f.decimals > 0) t += '.' + QByteArray(f.decimals, '0');
    if (t.size() > f.width) return QByteArray(f.width, '*');
    return QByteArray(f.width - t.size(), ' ') + t;
}

// The bytes of one value as the field holds them; NULL becomes 0 in numeric
// fields and the empty value in the others.
QByteArray fieldBytes(const QVariant& v, const DbfField& f, const vl::db::Column& col, int* lossy)
{
    if (f.type == 'N') {
        if (v.isNull()) return integerText(0, f);
        switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = v.toDouble();
            if (!std::isfinite(d)) return QByteArray(f.width, '*');
            return numberText(d, f);
        }
        case QMetaType::Bool:
            return integerText(v.toBool() ? 1 : 0, f);
        case QMetaType::QString: {
            bool ok = false;
            const double d = v.toString().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
            return ok ? numberText(d, f) : integerText(0, f);
        }
        default:
            return f.decimals > 0 ? numberText(v.toDouble(), f) : integerText(v.toLongLong(), f);
        }
    }
    if (f.type == 'D') {
        if (v.isNull()) return QByteArray(8, ' ');
        QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
        if (!d.isValid() && v.typeId() == QMetaType::QString) {
            d = QDate::fromString(v.toString(), QStringLiteral("yyyy.MM.dd"));
        }
        return d.isValid() ? d.toString(QStringLiteral("yyyyMMdd")).toLatin1() : QByteArray(8, ' ');
    }
    if (f.type == 'L') {
        if (v.isNull()) return QByteArray(" ");
        return v.toBool() ? QByteArray("T") : QByteArray("F");
    }
    if (v.isNull()) return QByteArray(f.width, ' ');
    QByteArray b = tableFileText(v, col, lossy);
    if (b.size() > f.width) b.truncate(f.width);
    return b + QByteArray(f.width - b.size(), ' ');
}

struct DbfCloser {
    DBFHandle h = nullptr;
    ~DbfCloser() { if (h) DBFClose(h); }
    void close() { if (h) DBFClose(h); h = nullptr; }
};

} // namespace

void WriteDbf(RowSource& rows, const QString& path, const Progress& progress)
{
    const QList<vl::db::Column>& columns = rows.columns();
    const QString where = QDir::toNativeSeparators(path);
    const QString context = QStringLiteral("WriteDbf");
    checkTableFileColumns(columns, QStringLiteral("dBase"), context);

    // shapelib names the file from the base name with ".dbf": it is written
    // under a name of that form beside the target and moved in place when whole.
    const QFileInfo target(path);
    QTemporaryFile reserve(target.absolutePath() + QStringLiteral("/.vl-dbf-XXXXXX.dbf"));
    if (!reserve.open())
        throw vl::Error(QStringLiteral("A dBase fájl nem írható: %1").arg(where), reserve.errorString());
    const QString work = reserve.fileName();
    reserve.close(); // removed with `reserve` unless moved in place

    std::vector<DbfField> fields;
    const QList<QByteArray> names = tableFileFieldNames(columns, 10, FieldNameForm::AsciiUpper);
    for (int i = 0; i < columns.size(); ++i) {
        DbfField f = fieldFor(columns[i]);
        f.name = names[i];
        fields.push_back(f);
    }
    int recordLength = 1;
    for (const DbfField& f : fields) recordLength += f.width;
    if (recordLength > 65535)
        throw vl::Error(QStringLiteral("A dBase tábla sorai túl hosszúak (%1 bájt).").arg(recordLength), context);

    DbfCloser dbf;
    dbf.h = DBFCreateEx(QFile::encodeName(work).constData(), CodePage1250);
    if (!dbf.h) throw vl::Error(QStringLiteral("A dBase fájl nem hozható létre: %1").arg(where), context);
    for (const DbfField& f : fields) {
        if (DBFAddNativeFieldType(dbf.h, f.name.constData(), f.type, f.width, f.decimals) < 0)
            throw vl::Error(QStringLiteral("A dBase fájl mezője nem hozható létre: %1").arg(QString::fromLatin1(f.name)),
                            context);
    }

    const qint64 total = rows.sizeHint();
    qint64 done = 0;
    int lossy = 0;
    QVariantList row;
    while (rows.next(row)) {
        if (done >= 0x7FFFFFFF)
            throw vl::Error(QStringLiteral("A dBase tábla ennyi sort nem fogad."), context);
        const int rec = int(done);
        for (int c = 0; c < int(fields.size()); ++c) {
            const QVariant v = c < row.size() ? row.at(c) : QVariant();
            QByteArray bytes = fieldBytes(v, fields[size_t(c)], columns[c], &lossy);
            if (!DBFWriteAttributeDirectly(dbf.h, rec, c, bytes.data()))
                throw vl::Error(QStringLiteral("A dBase fájl nem írható: %1").arg(where), context);
        }
        ++done;
        if (progress && done % 100 == 0 && !progress(done, total)) throw ExportCancelled();
    }
    if (progress && !progress(done, total)) throw ExportCancelled();
    dbf.close();

    // shapelib reports no error of its own writes: the size tells whether all landed.
    const qint64 expected = 32 + 32 * qint64(fields.size()) + 1 + done * recordLength;
    if (QFileInfo(work).size() < expected)
        throw vl::Error(QStringLiteral("A dBase fájl nem írható (megtelt a lemez?): %1").arg(where), context);
    if (std::rename(QFile::encodeName(work).constData(), QFile::encodeName(path).constData()) != 0)
        throw vl::Error(QStringLiteral("A dBase fájl nem írható: %1").arg(where), context);
    reserve.setAutoRemove(false);
    notifyLossyValues(lossy);
}

} // namespace vl::exchange
