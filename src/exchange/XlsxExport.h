#pragma once
// Workbooks of the Office Open XML kind (.xlsx, and .xlsm with the
// macro-enabled workbook's content type), written with libxlsxwriter in its
// constant-memory mode: rows go to the file as they come, memory stays flat.
//
// Each query becomes a worksheet named after it: a header row of the column
// labels, then one row per record. Texts stay texts ("00123" is not the number
// 123), numbers are numbers (floats rounded to 5 decimals), dates, times and
// time stamps are date cells shown as 'yyyy.mm.dd' / 'hh:mm:ss', flags are
// logical cells, NULL leaves the cell empty. An integer of more than 15 digits
// is written as text (a spreadsheet keeps 15 digits of a number). A text longer
// than a cell holds (32,767 characters) is cut and counted. When the rows do
// not fit under the format's row limit, the export goes on in a sheet named
// the sheet name + "_1", "_2", ... with its own header row.
#include "ExportFormats.h"
#include "ExportTypes.h"

struct lxw_worksheet;

namespace vl::exchange {

struct ExcelSheetInput {
    QString name;               // the sheet's name (made valid for spreadsheets)
    RowSource* rows = nullptr;  // nullptr: the query could not be opened
};

struct ExcelOptions {
    ExportFormat format = ExportFormat::Xlsx; // Xlsx or Xlsm
    int rowLimit = 0;                         // rows per sheet, header included; 0: the format's
};

// The header row: the columns' labels in row 1; every column narrower than its
// display width is widened to it.
void WriteExcelHeader(lxw_worksheet* sheet, const QList<vl::db::Column>& cols);

// Writes the workbook. A sheet whose rows are missing is reported as
// CannotOpenQueryText(name) in `skipped` and left out; the others are written.
WriteNotes WriteXlsx(const QList<ExcelSheetInput>& sheets, const QString& path, const ExcelOptions& options,
                     const Progress& progress = {}, QStringList* skipped = nullptr);

// Rewrites a workbook's [Content_Types].xml so that it declares the
// macro-enabled workbook (the content type an .xlsm carries).
void MakeMacroEnabled(const QString& path);

// Opens a file with the desktop's default application for its type.
bool OpenInExcel(const QString& fileName);

} // namespace vl::exchange
