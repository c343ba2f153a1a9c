#pragma once
// A query result as a script of INSERT statements that the program's update
// script runner (and isql) replays into a table of the same columns:
//
//   Insert Into "UGYFEL" ("KOD","NEV") Values ('00123','O''Brien Kft.');
//
// One statement per row, naming only the row's non-NULL columns. Texts are
// quoted literals with the quote doubled; a line break inside a text is
// written as ASCII_CHAR(13) / ASCII_CHAR(10) joined with "||", so no value
// depends on the file's line ends; ';', "--" and "/*" stay inside their
// literal, where neither the runner nor isql reads them as a terminator or a
// comment. Dates are 'yyyy.mm.dd', time stamps 'yyyy-mm-dd hh:mm:ss.zzz',
// times 'hh:mm:ss', flags TRUE / FALSE, numbers with a decimal point, binary
// values x'..'. A line never reaches the line limit (1023 characters): the
// line is broken before the name or value that would make it reach the limit,
// and a long text is cut into literals joined with "||". The file is
// windows-1250, as the runner reads scripts; a character it cannot hold is
// written as '?' and counted.
#include "ExportTypes.h"

#include <QStringList>

namespace vl::exchange {

// The table the statements insert into: the given name; otherwise the first
// name found in the statement's lines (a line that is just "FROM" makes the
// next line start it, a line holding "FROM " starts it after that text; the
// name runs up to the first blank, ',' or ';'); otherwise the component name.
QString ScriptTableName(const QString& given, const QString& statement, const QString& componentName);

// The pieces of a value's literal, to be joined with "||" (empty for NULL).
QStringList SqlValueAtoms(const QVariant& value, const vl::db::Column& col);

struct SqlScriptOptions {
    QString table;            // the table name as ScriptTableName gives it
    bool deleteFirst = false; // "Delete From <table>;" first
    bool append = false;      // append to an existing file
    int lineLimit = 1023;
};

// The statement lines of one row (each without its line end).
QStringList SqlInsertLines(const QString& table, const QList<vl::db::Column>& cols, const QVariantList& row,
                           int lineLimit = 1023);

WriteNotes ExportSqlScript(RowSource& rows, const QString& path, const SqlScriptOptions& options,
                           const Progress& progress = {});

} // namespace vl::exchange
