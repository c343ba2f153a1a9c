#pragma once
// Paradox table files (.db) through pxlib, code page 1250.
//
// Field types follow the columns: texts as alpha (their declared length, at
// most 255), small integers as short, integers as long, big integers, scaled
// numerics and floats as number, dates as date, booleans as logical, long
// texts as alpha 255. Field names are the column names cut to 25 characters
// (made unique). A character that windows-1250 cannot hold becomes '?' and the
// export says so. NULL is written as 0 in numeric fields and as the empty
// value in all others.
#include "exchange/ExportTypes.h"

#include <QString>

namespace vl::exchange {

// Writes the rows to `path` (replaced when it exists, only once the new file is
// whole); tableName goes into the file's header. Throws vl::Error with a
// Hungarian text when the file cannot be written, ExportCancelled when
// `progress` answers false; then no new file is left and a file already at
// `path` stays as it was.
void WriteParadox(RowSource& rows, const QString& path, const QString& tableName, const Progress& progress);

} // namespace vl::exchange
