#include "SqlScript.h"

#include "FileOut.h"
#include "db/SqlText.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

namespace vl::exchange {

using vl::db::Column;

namespace {

// A text's literal pieces are at most this long, so that no line reaches the limit.
constexpr int kPiece = 400;

QStringList textAtoms(const QString& text) {
    QStringList atoms;
    qsizetype start = 0;
    auto flush = [&](qsizetype end) {
        while (start < end) {
            qsizetype len = qMin<qsizetype>(kPiece, end - start);
            // Never between the halves of a surrogate pair.
            if (len < end - start && text.at(start + len - 1).isHighSurrogate()) --len;
            atoms << vl::db::sqltext::quoteLiteral(text.mid(start, len));
            start += len;
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            flush(i);
            atoms << (c == QLatin1Char('\r') ? QStringLiteral("ASCII_CHAR(13)") : QStringLiteral("ASCII_CHAR(10)"));
            start = i + 1;
        }
    }
    flush(text.size());
    if (atoms.isEmpty()) atoms << vl::db::sqltext::quoteLiteral(QString());
    return atoms;
}

QString numberText(double d, int scale) {
    if (scale < 0) return QString::number(d, 'f', -scale);
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString tableIdent(const QString& table) {
    namespace sql = vl::db::sqltext;
    const QString t = table.trimmed();
    if (t.startsWith(QLatin1Char('"'))) {
        // Written quoted already: the name it stands for, quoted again the one way.
        const auto tokens = sql::tokenize(t);
        if (tokens.size() == 1 && tokens.front().kind == sql::Tok::QuotedIdent && !tokens.front().unterminated)
            return sql::quoteIdent(sql::tokenValue(t, tokens.front()));
    }
    if (sql::isPlainIdent(t.toUpper())) return sql::quoteIdent(t.toUpper());
    return sql::quoteIdent(t);
}

} // namespace

QString ScriptTableName(const QString& given, const QString& statement, const QString& componentName) {
    if (!given.trimmed().isEmpty()) return given.trimmed();
    const QStringList lines = statement.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    bool startsHere = false;
    auto nameFrom = [](const QString& s) {
        const QString t = s.trimmed();
        qsizetype end = 0;
        while (end < t.size() && t.at(end) != QLatin1Char(' ') && t.at(end) != QLatin1Char(',')
               && t.at(end) != QLatin1Char(';') && t.at(end) != QLatin1Char('\t'))
            ++end;
        return t.left(end);
    };
    for (const QString& line : lines) {
        QString name;
        if (startsHere) {
            name = nameFrom(line);
            startsHere = false;
        } else if (line.trimmed().toUpper() == QLatin1String("FROM")) {
            startsHere = true;
            continue;
        } else {
            const qsizetype at = line.toUpper().indexOf(QLatin1String("FROM "));
            if (at >= 0) name = nameFrom(line.mid(at + 5));
        }
        if (!name.isEmpty()) return name;
    }
    return componentName.trimmed();
}

QStringList SqlValueAtoms(const QVariant& v, const Column& col) {
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::Bool:
        return {v.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE")};
    case QMetaType::Double:
    case QMetaType::Float:
        return {numberText(v.toDouble(), col.scale)};
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::Short: case QMetaType::Long:
    case QMetaType::ULongLong: case QMetaType::UInt: case QMetaType::UShort: case QMetaType::ULong:
        return {v.toString()};
    case QMetaType::QDate:
        return {vl::db::sqltext::quoteLiteral(v.toDate().toString(QStringLiteral("yyyy.MM.dd")))};
    case QMetaType::QTime:
        return {vl::db::sqltext::quoteLiteral(v.toTime().toString(v.toTime().msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss")))};
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return {vl::db::sqltext::quoteLiteral(dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")
                                                    : QStringLiteral("yyyy-MM-dd hh:mm:ss")))};
    }
    case QMetaType::QByteArray: {
        const QByteArray hex = v.toByteArray().toHex().toUpper();
        QStringList atoms;
        for (qsizetype i = 0; i < hex.size(); i += kPiece)
            atoms << QStringLiteral("x'") + QString::fromLatin1(hex.mid(i, kPiece)) + QLatin1Char('\'');
        if (atoms.isEmpty()) atoms << vl::db::sqltext::quoteLiteral(QString());
        return atoms;
    }
    default:
        return textAtoms(v.toString());
    }
}

QStringList SqlInsertLines(const QString& table, const QList<Column>& cols, const QVariantList& row, int lineLimit) {
    QStringList names;
    QList<QStringList> values;
    for (int i = 0; i < cols.size(); ++i) {
        const QStringList atoms = SqlValueAtoms(row.value(i), cols[i]);
        if (atoms.isEmpty()) continue;
        names << vl::db::sqltext::quoteIdent(cols[i].name);
        values << atoms;
    }
    QStringList lines;
    QString line = QStringLiteral("Insert Into ") + tableIdent(table) + QStringLiteral(" (");
    auto add = [&](const QString& element) {
        if (!line.isEmpty() && line.size() + element.size() >= lineLimit) {
            lines << line;
            line.clear();
        }
        line += element;
    };
    for (int i = 0; i < names.size(); ++i) add(names[i] + (i + 1 < names.size() ? QStringLiteral(",") : QString()));
    add(QStringLiteral(") Values ("));
    for (int i = 0; i < values.size(); ++i) {
        const QStringList& atoms = values[i];
        for (int k = 0; k < atoms.size(); ++k) {
            QString e = atoms[k];
            if (k + 1 < atoms.size()) e += QStringLiteral("||");
            else if (i + 1 < values.size()) e += QLatin1Char(',');
            add(e);
        }
    }
    add(QStringLiteral(");"));
    lines << line;
    return lines;
}

WriteNotes ExportSqlScript(RowSource& rows, const QString& path, const SqlScriptOptions& options,
                           const Progress& progress) {
    WriteNotes notes;
    const bool append = options.append && QFile::exists(path);
    FileOut out(path, append);
    const QList<Column> cols = rows.columns();
    const qint64 total = rows.sizeHint();
    auto writeLine = [&](const QString& line) { writeCp1250Line(out, line, notes); };
    if (options.deleteFirst) writeLine(QStringLiteral("Delete From ") + tableIdent(options.table) + QLatin1Char(';'));
    QVariantList row;
    while (rows.next(row)) {
        for (const QString& l : SqlInsertLines(options.table, cols, row, options.lineLimit)) writeLine(l);
        if (++notes.rows % 100 == 0) reportProgress(progress, notes.rows, total);
    }
    out.close();
    reportProgress(progress, notes.rows, total);
    return notes;
}

} // namespace vl::exchange
