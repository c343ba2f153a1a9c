#pragma once
// What the live database says about its tables and columns.
//
// Three branches, chosen by the connection's driver name:
//   "INTRBASE"    Firebird's system tables (RDB$...);
//   "SQL SERVER"  the compatibility views of MS SQL Server (SYSCOLUMNS, SYSTYPES,
//                 SYSINDEXES, SYSINDEXKEYS) and sys.objects;
//   anything else a generic driver: only what an opened statement reports.
// Every value is bound. A table name is spliced only into the "where 1=2"
// probe (the generic branch, and the column list of SQL Server), only when it
// is a plain identifier, and double-quoted (sqltext::quoteIdent).
// A missing table or column is a normal false result; a failing connection
// raises DbError to the caller.
#include "db/Database.h"
#include "db/SqlText.h"
#include <QString>
#include <QStringList>
#include <QHash>
#include <QList>

namespace vl::db {

// The type words of the framework.
QString FieldTypeName(ColType type, int scale = 0);
QString FieldTypeName(const Column& col);
// Edit length of a column: VARCHAR its declared length, INTEGER/SMALLINT 10,
// FLOAT 13, MEMO -1, anything else 8.
int FieldEditLength(const Column& col);

bool TableExists(Connection& conn, const QString& table);

// Key columns in key order joined with "," (no spaces); count gets their number.
QString PrimaryKeyFields(Connection& conn, const QString& table, int* count = nullptr);
QStringList PrimaryKeyList(Connection& conn, const QString& table);

struct FieldInfoResult {
    bool found = false;
    int length = 0;                 // character length (0 for non-text columns)
    QString typeName = QStringLiteral("nil"); // catalogue type name, e.g. VARCHAR, INTEGER, INT64
    bool notNull = false;
};
FieldInfoResult FieldInfo(Connection& conn, const QString& table, const QString& column);

struct IdentityResult {
    bool identity = false;
    qint64 seed = -1;
    qint64 increment = -1;
};
IdentityResult IdentityInfo(Connection& conn, const QString& table, const QString& column);

// The table a statement reads from: the word after the first "FROM ".
QString TableNameOfSql(const QStringList& lines);

// One column of a table, in column order.
struct TableColumn {
    QString name;
    QString typeWord;   // VARCHAR, SMALLINT, INTEGER, BOOLEAN, FLOAT, MEMO, Unknown
    QString typeName;   // the catalogue's name where known (VARCHAR, INT64, DATE ...), else the type word
    int length = 0;     // character length of text columns
    int editLength = 8; // FieldEditLength of the column
    int scale = 0;
    bool notNull = false;
};
// Empty when the table does not exist.
QList<TableColumn> TableColumns(Connection& conn, const QString& table);
// Whether a table has a column (exact name, as the catalogue stores it).
bool HasColumn(Connection& conn, const QString& table, const QString& column);

// What the objects of the database read, as the catalogue records it
// (RDB$DEPENDENCIES): for each view, procedure, function and package, and for
// each table with a computed column, the names of the objects it reads (upper
// case, trimmed). Empty on servers other than Firebird.
QHash<QString, QStringList> ReadDependencies(Connection& conn);
// The object and everything it reads through `deps`, followed recursively
// (each name once, the object first).
QStringList ObjectsReadThrough(const QHash<QString, QStringList>& deps, const QString& name);

// A name that may go into a statement's text: the one rule, sqltext::isPlainIdent
// (A-Z first, then A-Z 0-9 _ $, at most 31 characters).
inline bool IsPlainIdentifier(const QString& name) { return sqltext::isPlainIdent(name); }

} // namespace vl::db
