#pragma once
// Field names of the table files (dBASE, Paradox) made from a query's columns.
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

} // namespace vl::exchange
