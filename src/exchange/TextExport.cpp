#include "TextExport.h"

#include "FileOut.h"
#include "db/DisplayText.h"
#include "reporting/DictionaryList.h"
#include "util/Numbers.h"
#include "util/Texts.h"

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

WriteNotes WriteCsv(RowSource& rows, const QString& path, const Progress& progress) {
    const auto head = [](FileOut& out, const QList<Column>& cols) {
        QStringList fields;
        for (const Column& c : cols) fields << CsvField(CsvTextCell(vl::reporting::columnLabel(c)));
        out.write(QByteArray("\xEF\xBB\xBF") + fields.join(QLatin1Char(';')).toUtf8() + "\r\n");
    };
    return writeRows(rows, path, progress, head,
                     [](FileOut& out, const QList<Column>& cols, const QVariantList& row, WriteNotes&) {
                         QStringList fields;
                         for (int i = 0; i < cols.size(); ++i) fields << CsvField(CsvValueText(row.value(i), cols[i]));
                         out.write(fields.join(QLatin1Char(';')).toUtf8() + "\r\n");
                     });
}

} // namespace vl::exchange
