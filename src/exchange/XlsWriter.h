#pragma once
// Excel 97 workbooks (.xls): BIFF8 records in the "Workbook" stream of an OLE2
// compound file. libgsf writes the container; the records are written here.
//
// The first row of every sheet holds the column names. Texts are stored as
// texts (a code "00123" stays "00123"), integers and floats as numbers (floats
// rounded to 5 decimals), dates and time stamps as numbers under a date format,
// booleans as TRUE/FALSE, NULL as an empty cell. A sheet holds at most 65,536
// rows with its header row; the rows after that go on sheets named
// sheetName + "_1", "_2", ... each with its own header row.
#include "exchange/ExportTypes.h"

#include <QString>

namespace vl::exchange {

// The most rows one sheet of an Excel 97 workbook holds (the header row included).
constexpr int XlsMaxRows = 65536;

// Writes the rows to `path` (replaced when it exists, only once the new file is
// whole). Throws vl::Error with a Hungarian text when the sheet name is not
// valid or the file cannot be written, ExportCancelled when `progress` answers
// false; then no new file is left and a file already at `path` stays as it was.
void WriteXls(RowSource& rows, const QString& path, const QString& sheetName, const Progress& progress);

// The name of the k-th sheet of an export (k = 0 for the first, then "_1",
// "_2", ...): at most 31 characters with its suffix, the base cut to make room.
// An empty base gives "Munka1". Throws vl::Error when the base holds one of
// [ ] : * ? / \ or starts or ends with an apostrophe.
QString XlsSheetName(const QString& base, int k);

} // namespace vl::exchange
