#pragma once
// What the table files (dBASE, Paradox) made from a query's columns share:
// the field names, the column count they take, the warning of lossy values.
#include "db/Database.h"

#include <QByteArray>
#include <QList>

namespace vl::exchange {

enum class FieldNameForm {
    AsciiUpper,  // dBASE: A-Z, 0-9 and '_', accents dropped ("ügyfél" -> "UGYFEL")
    Cp1250       // Paradox: the name in windows-1250, '?' for what it cannot hold
};

// One name per column, at most maxBytes bytes each, none empty, no two alike
// (case-insensitive): a repeated name ends in "_2", "_3", ...
QList<QByteArray> tableFileFieldNames(const QList<vl::db::Column>& columns, int maxBytes, FieldNameForm form);

// A value as a text field's windows-1250 bytes: a text as it is, any other
// value as the column shows it; a character the code page cannot hold counts
// in *lossy, a NUL byte (which would end the value early) becomes a blank.
QByteArray tableFileText(const QVariant& v, const vl::db::Column& col, int* lossy);

// Refuses (vl::Error, `context`) a column list a table file cannot take: none,
// or more than 255. `format` names the file's kind in the text ("dBase").
void checkTableFileColumns(const QList<vl::db::Column>& columns, const QString& format, const QString& context);

// The warning that `lossy` values had characters windows-1250 cannot hold
// (written as '?'); nothing when there were none.
void notifyLossyValues(int lossy);

} // namespace vl::exchange
