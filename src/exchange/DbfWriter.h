#pragma once
// dBASE III table files (.dbf) through shapelib's DBF writer, code page 1250
// (the language driver byte 0xC8 in the header).
//
// Field types and widths follow the columns: texts as C (their declared
// length, at least 1, at most 254), integers as N without decimals, scaled
// numerics and floats as N with decimals, dates as D, booleans as L, long
// texts as C 254. Field names are the column names cut to 10 characters
// (made unique). Texts are written in windows-1250; a character the code page
// cannot hold becomes '?' and the export says so. NULL is written as 0 in
// numeric fields and as the empty value in all others.
#include "exchange/ExportTypes.h"

#include <QString>

namespace vl::exchange {

// Writes the rows to `path` (replaced when it exists, only once the new file is
// whole). Throws vl::Error with a Hungarian text when the file cannot be
// written, ExportCancelled when `progress` answers false; then no new file is
// left and a file already at `path` stays as it was.
void WriteDbf(RowSource& rows, const QString& path, const Progress& progress);

} // namespace vl::exchange
