#include "exchange/CsvReader.h"

#include "shell/Cp1250.h"

#include <QStringDecoder>

namespace vl::exchange {

namespace {

// Bytes windows-1250 leaves undefined.
bool undefinedIn1250(unsigned char b) { return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98; }

bool validUtf8(const QByteArray& bytes) {
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = d.decode(bytes);   // the decoding runs on conversion
    return !d.hasError();
}

bool ascii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The text of the file, or why it has none. A file that is not UTF-8 as a
// whole is windows-1250 only when no line of it is UTF-8: a file whose lines
// come in both (rows pasted from two sources) is refused, naming a line of
// each, rather than read with one of them garbled.
bool decode(const QByteArray& raw, QString& text, QString& encoding, QString& problem) {
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError()) {
        text = asUtf8;
        encoding = QStringLiteral("UTF-8");
        return true;
    }
    int line = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b == '\n') ++line;
        if (undefinedIn1250(b)) {
            problem = QStringLiteral("A fájl sem UTF-8, sem windows-1250 kódolású: a(z) %1. sorban 0x%2 bájt áll.")
                          .arg(line)
                          .arg(QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            return false;
        }
    }
    int utf8Line = 0, otherLine = 0;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size() && !(utf8Line && otherLine); ++n) {
        if (ascii(lines.at(n))) continue;
        int& which = validUtf8(lines.at(n)) ? utf8Line : otherLine;
        if (!which) which = n + 1;
    }
    if (utf8Line && otherLine) {
        problem = QStringLiteral("A fájl kódolása vegyes: a(z) %1. sor UTF-8, a(z) %2. sor windows-1250 kódolású. "
                                 "Mentse a fájlt egyetlen kódolásban.")
                      .arg(utf8Line)
                      .arg(otherLine);
        return false;
    }
    text = vl::shell::fromCp1250(bytes);
    encoding = QStringLiteral("windows-1250");
    return true;
}

// A control character other than tab and line ends ends a text early in
// other programs and is refused, naming its line.
bool controlFree(const QString& text, QString& problem) {
    int line = 1;
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        if (u == '\n') ++line;
        if ((u < 0x20 && u != '\t' && u != '\r' && u != '\n') || u == 0x7F) {
            problem = QStringLiteral("A(z) %1. sorban vezérlőkarakter (0x%2) áll; a fájl nem tölthető be.")
                          .arg(line)
                          .arg(QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            return false;
        }
    }
    return true;
}

// Splits the text into records; a quoted field may hold separators, quotes
// ("") and line breaks. unclosed receives the line of a quote that never closes.
QList<CsvRecord> parse(const QString& text, QChar sep, int& unclosed) {
    QList<CsvRecord> out;
    CsvRecord cur;
    QString field;
    bool quoted = false, fieldStarted = false, any = false;
    int line = 1, quoteLine = 0;
    cur.line = 1;
    auto endField = [&] {
        cur.fields << field;
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        // An empty line is no record.
        if (!(cur.fields.size() == 1 && cur.fields.first().isEmpty() && !any)) out << cur;
        cur = CsvRecord();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == u'\n') ++line;
                if (ch != u'\r') field += ch;
                else if (!(i + 1 < text.size() && text.at(i + 1) == u'\n')) field += u'\n';
            }
            continue;
        }
        if (cur.fields.isEmpty() && !fieldStarted && field.isEmpty()) cur.line = line;
        if (ch == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
            any = true;
            quoteLine = line;
        } else if (ch == sep) {
            any = true;
            endField();
        } else if (ch == u'\r') {
            continue;
        } else if (ch == u'\n') {
            endRecord();
            ++line;
            cur.line = line;
        } else {
            field += ch;
            fieldStarted = true;
            any = true;
        }
    }
    unclosed = quoted ? quoteLine : 0;
    if (any || !field.isEmpty()) endRecord();
    return out;
}

QChar separatorOf(const QString& headerLine) {
    int semi = 0, comma = 0;
    bool quoted = false;
    for (const QChar ch : headerLine) {
        if (ch == u'"') quoted = !quoted;
        else if (!quoted && ch == u';') ++semi;
        else if (!quoted && ch == u',') ++comma;
    }
    if (semi == 0 && comma == 0) return QChar();
    return semi >= comma ? QChar(u';') : QChar(u',');
}

QString grouped(qint64 v) {
    QString d = QString::number(v < 0 ? -v : v);
    for (qsizetype i = d.size() - 3; i > 0; i -= 3) d.insert(i, QLatin1Char(' '));
    return v < 0 ? QLatin1Char('-') + d : d;
}

} // namespace

QString csvTooLargeText(qint64 size, qint64 maxBytes) {
    return QStringLiteral("A fájl túl nagy (%1 bájt, legfeljebb %2 bájt lehet).").arg(grouped(size), grouped(maxBytes));
}

QString CsvUnguarded(const QString& v) {
    if (v.size() < 2 || v.at(0) != u'\'') return v;
    const QChar c = v.at(1);
    bool guarded = c == u'=' || c == u'@' || c == u'\t' || c == u'\r';
    if (c == u'+' || c == u'-') guarded = v.size() == 2 || !(v.at(2).isDigit() || v.at(2) == u' ');
    return guarded ? v.mid(1) : v;
}

CsvTable ReadCsv(const QByteArray& bytes, const CsvLimits& limits, const QStringList& known) {
    CsvTable res;
    if (bytes.size() > limits.maxBytes) {
        res.fatal = csvTooLargeText(bytes.size(), limits.maxBytes);
        return res;
    }
    // A spreadsheet's own file is a zip archive.
    if (bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06")) {
        res.fatal = csvSpreadsheetText();
        return res;
    }
    QString text;
    if (!decode(bytes, text, res.encoding, res.fatal)) return res;
    if (!controlFree(text, res.fatal)) return res;
    const qsizetype eol = text.indexOf(u'\n');
    const QChar sep = separatorOf(eol < 0 ? text : text.left(eol));
    if (sep.isNull()) {
        res.fatal = QStringLiteral("A fejlécben nincs mezőelválasztó (';' vagy ',').");
        return res;
    }
    int unclosed = 0;
    QList<CsvRecord> records = parse(text, sep, unclosed);
    if (unclosed > 0) {
        res.fatal = QStringLiteral("A(z) %1. sorban nyitott idézőjel nincs lezárva.").arg(unclosed);
        return res;
    }
    if (records.isEmpty()) {
        res.fatal = QStringLiteral("A fájl üres.");
        return res;
    }
    if (records.size() - 1 > limits.maxRows) {
        res.fatal = QStringLiteral("A fájlban túl sok adatsor van (%1, legfeljebb %2 lehet).")
                        .arg(grouped(records.size() - 1), grouped(limits.maxRows));
        return res;
    }
    if (records.first().fields.size() > limits.maxColumns) {
        res.fatal = QStringLiteral("A fejlécben túl sok oszlop van (%1, legfeljebb %2 lehet).")
                        .arg(records.first().fields.size()).arg(limits.maxColumns);
        return res;
    }
    for (const QString& h : records.first().fields) res.header << h.trimmed().toUpper();
    if (!known.isEmpty()) {
        QStringList unknown, twice;
        for (int i = 0; i < res.header.size(); ++i) {
            if (!known.contains(res.header.at(i))) unknown << res.header.at(i);
            if (res.header.indexOf(res.header.at(i)) != i) twice << res.header.at(i);
        }
        if (!unknown.isEmpty()) {
            res.fatal = QStringLiteral("Ismeretlen oszlop a fejlécben: %1").arg(unknown.join(QStringLiteral(", ")));
            return res;
        }
        if (!twice.isEmpty()) {
            res.fatal = QStringLiteral("Kétszer szereplő oszlop a fejlécben: %1").arg(twice.join(QStringLiteral(", ")));
            return res;
        }
    }
    records.removeFirst();
    res.rows = std::move(records);
    return res;
}

} // namespace vl::exchange
