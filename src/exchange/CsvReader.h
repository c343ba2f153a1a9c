#pragma once
// Reading a CSV file that a spreadsheet program saved: the one reader of the
// importers (customers, products, running contracts).
//
// The separator is ';' or ',' (the header line tells), a field may be quoted
// ("..." with "" for a quote, line breaks inside); the file is UTF-8 (with or
// without a byte-order mark) or windows-1250, recognised by its bytes. A file
// mixing both, or holding a control character other than tab and line ends,
// is refused naming the line; so is a spreadsheet's own file (XLSX, a zip
// starting with "PK"): "Kérem, mentse CSV formátumban". Empty lines are no
// records. The limits (bytes, data rows, columns) are checked before any row
// is looked at.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vl::exchange {

struct CsvLimits {
    qint64 maxBytes = 64 * 1024 * 1024;
    int maxRows = 200000;
    int maxColumns = 25;
};

struct CsvRecord {
    int line = 0;          // the line of the file the record starts on (the header is line 1)
    QStringList fields;    // as read (not trimmed)
};

struct CsvTable {
    QString fatal;         // the file as a whole cannot be read ("" when it was)
    QString encoding;      // "UTF-8" or "windows-1250"
    QStringList header;    // the column names, trimmed and upper-cased
    QList<CsvRecord> rows; // the data records, the header left out
    bool ok() const { return fatal.isEmpty(); }
    // The column's index in the header, -1 when the file has none.
    int column(const QString& name) const { return int(header.indexOf(name)); }
};

// "A fájl túl nagy (N bájt, legfeljebb M bájt lehet)."
QString csvTooLargeText(qint64 size, qint64 maxBytes);

// The refusal of a spreadsheet's own file.
inline QString csvSpreadsheetText() {
    return QStringLiteral("A fájl táblázatkezelő saját formátumában (XLSX) van. Kérem, mentse CSV formátumban.");
}

// Reads the file. `known`, when not empty, is every column the file may have:
// another name, or one named twice, makes the file unreadable.
CsvTable ReadCsv(const QByteArray& bytes, const CsvLimits& limits, const QStringList& known = {});

// A text cell that a spreadsheet would run as a formula is exported with a
// leading "'" (=, @, a tab, a carriage return, or + or - not followed by a
// digit or a blank); reading drops that "'" again.
QString CsvUnguarded(const QString& v);

// A cell as an importer takes it: trimmed, the formula guard dropped.
inline QString CsvValue(const CsvRecord& r, int column) {
    return column < 0 || column >= r.fields.size() ? QString() : CsvUnguarded(r.fields.at(column).trimmed());
}

} // namespace vl::exchange

namespace vl::exchange {

// A row an importer refused: its line, the column at fault ("" when the
// reason is the row's as a whole) and why, in Hungarian.
struct CsvRefusal {
    int line = 0;
    QString column;
    QString reason;
    // "12. sor, NETTOAR: ..." / "12. sor: ..."
    QString text() const {
        return column.isEmpty() ? QStringLiteral("%1. sor: %2").arg(line).arg(reason)
                                : QStringLiteral("%1. sor, %2: %3").arg(line).arg(column, reason);
    }
};

} // namespace vl::exchange
