#pragma once
// The data-dictionary list report Tqr_szotar: any row set printed as a plain
// list, every column a fixed-width text column in a monospaced font, wrapping
// to a second line when the row is too wide, under a page header with the
// configured logo, the title, the print time and the page number.
//
//   auto data = vl::reporting::dictionaryListData(conn, "SZ_SOFOR");
//   if (!data.ok) ... data.error ...
//   Report r = vl::reporting::dictionaryListReport(data.title, data.rows);
//   Document doc = vl::reporting::layout(r);   // no pages when the rows are empty
//
// Password columns (isPasswordColumn: VEZERLO.PWDCHAR set, SZ_JUZER.JELSZO, ...) are never part
// of the rows dictionaryListData reads; a caller that brings its own row set
// removes them with withoutPasswordColumns(), the one filter that every result
// set passes before a grid, a report or an export shows it.
#include "db/Database.h"
#include "reporting/Report.h"

#include <QString>
#include <QStringList>

namespace vl::reporting {

// The layout computations the list performs before printing.
struct ListLayout {
    QList<int> widths;          // b(i): the larger of the name's length and the display width
    QList<bool> onLine2;        // the column's name went to the second line
    QString line1, line2;       // the header lines
    bool landscape = false;
    double headerFontSize = 10; // as the list's rules give it
    double fontSize = 10;       // what is printed: the rule's size, smaller when the line would not fit
};

// Display width of a column: the declared length of a text, 6 for a small
// integer, 11 for an integer, 15 for a big integer, 10 for floats, memos,
// dates and times, 5 for a boolean, 18 for a time stamp.
int displayWidth(const vl::db::Column& col);
// The label a column shows under in a fixed-width list (its name), and its
// width there: the larger of the label's length and the display width. The
// list report and the fixed-width text export share them.
QString columnLabel(const vl::db::Column& col);
int listColumnWidth(const vl::db::Column& col);
// A value as it reads in one line of a fixed-width list: its display text,
// line breaks and tabs as blanks.
QString listValueText(const QVariant& value);
// Splits padded texts between line 1 and line 2 (the names, or a row's values).
void splitLine(const QStringList& texts, const QList<int>& widths, QString* line1, QString* line2);
ListLayout computeListLayout(const vl::db::RowSet& rows);

// LOGO_KEP of the configuration when it names an existing file, else "".
QString configuredLogoPath();

// The report over a row set. Builds an empty-document report for an empty row
// set (the list is not printed then). The users' password column never prints,
// whoever brings the rows.
Report dictionaryListReport(const QString& title, const vl::db::RowSet& rows,
                            const QString& logoPath = configuredLogoPath());

// The rows of a table as the generic editor lists them.
struct DictionaryListData {
    bool ok = false;
    QString error;          // "Nincs ilyen tábla:" + name when the table does not exist
    QString table;          // upper-case name, as the catalogue knows it
    QString title;          // TABLAK.MEGNEVEZES, or the table name
    QStringList columns;    // the printed columns, in order
    vl::db::RowSet rows;
};
// Columns: the table's VEZERLO fields in SORREND order (rows with NEZHETI_JOG
// 'X' left out; every name checked against the catalogue), then the key
// columns not yet listed; every column of the table when it has no VEZERLO
// rows. Password columns are left out. Order: the first field, else the key.
// onlyActive keeps the rows with AKTIV = 'I' when the table has that column
// (the editor's default).
DictionaryListData dictionaryListData(vl::db::Connection& conn, const QString& table, bool onlyActive = true);

// The password columns of a table (upper case): those of passwordColumnsOf whose table it is.
QStringList passwordColumns(vl::db::Connection& conn, const QString& table);
// A copy of a row set without the named columns (case-insensitive).
vl::db::RowSet withoutColumns(const vl::db::RowSet& rows, const QStringList& drop);

// A password column of the database: a table and its column (upper case).
struct PasswordColumn {
    QString table;
    QString column;
};
// The password columns known without the database: SZ_JUZER.JELSZO, the
// FTP passwords of CEG (FTPPWDID, FTP_PASSWORD) and the drivers' PIN hashes
// (SOFORPIN.PINHASH).
QList<PasswordColumn> builtInPasswordColumns();
// Every password column of the database: the built-in ones and each field that
// VEZERLO marks with a password character (MODUL naming its table or panel,
// both compared trimmed and upper-cased). The one reader of that mark.
QList<PasswordColumn> passwordColumnsOf(vl::db::Connection& conn);
// "This column is a password": the one test, for the list builder, the list
// report, the generic editor and the exports alike. True when `secret` (as
// passwordColumnsOf gives it) names the table's column (case-insensitive,
// blanks around the names ignored).
bool isPasswordColumn(const QString& table, const QString& column, const QList<PasswordColumn>& secret);
// Whether a result column shows a password column. The source the server
// reports (table and column, whatever the alias) decides; a column whose source
// is not reported (an expression, an ODBC source) counts when its name is that
// of a password column of any table.
bool isPasswordColumn(const vl::db::Column& col, const QList<PasswordColumn>& secret);
// Whether a table holds a password column (case-insensitive): such a table is
// never read by a statement a user typed (the list builder, export), whatever
// wraps it. The one test of "password holder" for tables, as isPasswordColumn
// is for result columns.
bool holdsPasswordColumn(const QString& table, const QList<PasswordColumn>& secret);
// The one filter of result sets: a copy without the columns that show a
// password column.
vl::db::RowSet withoutPasswordColumns(const vl::db::RowSet& rows, const QList<PasswordColumn>& secret);
inline vl::db::RowSet withoutPasswordColumns(vl::db::Connection& conn, const vl::db::RowSet& rows) {
    return withoutPasswordColumns(rows, passwordColumnsOf(conn));
}
// The same for the rows of one table (the editor's browse rows).
// A column without a reported source counts by its name, whatever table it is
// a password column of: the table's own ones are among them.
inline vl::db::RowSet withoutPasswordColumns(vl::db::Connection& conn, const QString& /*table*/,
                                             const vl::db::RowSet& rows) {
    return withoutPasswordColumns(rows, passwordColumnsOf(conn));
}

} // namespace vl::reporting
