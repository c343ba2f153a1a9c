#pragma once
// Storing a query's rows in a file the user chooses: the one entry point of
// every export.
//
//   vl::exchange::ExportRequest req;
//   req.sheetName = "SZ_SOFOR";
//   vl::exchange::ExportHooks hooks;                  // the forms give the save
//   hooks.askFileName = ...; hooks.progress = ...;    // dialog and the progress window
//   const QString written = vl::exchange::finishExport(vl::exchange::ExportQuery(rows, req, hooks, secret));
//
// The routines never ask the user: the question whether to overwrite an
// existing file and whether to open a written spreadsheet come back in the
// outcome, and the caller (the export form, the export command) asks and
// calls proceed() with the answer; finishExport does that through the message
// sink.
//
// The format follows the file's extension. Every export writes a temporary
// file in the target's folder and renames it over the target only when it is
// complete, so a failure or a cancel leaves no half file behind and never
// destroys an existing file of that name. Password columns never reach a file.
#include "ExportFormats.h"
#include "db/PendingFile.h"
#include "ExportTypes.h"
#include "XlsxExport.h"
#include "reporting/DictionaryList.h"
#include "util/Outcome.h"

#include <functional>

namespace vl::exchange {

struct ExportRequest {
    QString fileName;          // the target; "" asks the user
    QString suggestedName;     // what the save dialog starts with ("" for none)
    QString sheetName;         // the query's name: its sheet, and the script's table when nothing else names one
    QString tableName;         // the table of an SQL script or a Paradox file ("" finds one)
    QString statement;         // the query's statement, where the script's table name is looked for
    bool askToOpen = true;     // spreadsheets: offer to open the written file
    bool overwriteAllowed = true; // false: an existing file is overwritten only when the user says so
    int rowLimit = 0;          // spreadsheets: rows per sheet, header included; 0: the format's
};

struct ExportHooks {
    // The save dialog (AskExportFileName): the chosen final name, "" when cancelled.
    std::function<QString(const QString& suggested, int defaultIndex)> askFileName;
    // Rows written so far; answers false to stop.
    Progress progress;
    // Opens the written spreadsheet (OpenInExcel when not set).
    std::function<bool(const QString&)> open;
};

// What an export ends with: ok and the written file's name, or nothing
// written (fileName ""). The messages are shown in order, as warnings when
// `warning` is set, else as information.
struct ExportWritten {
    QString fileName;
};
using ExportOutcome = vl::OutcomeOf<ExportWritten>;

// The whole routine: no rows → NoDataText() (information) and nothing written;
// the file name (asked when not given); the question before overwriting an
// existing file when that is not allowed; the format's writer through a
// temporary file. Not ok when nothing was written (cancelled name, refused
// overwrite). Writers' failures are raised as vl::Error (ExportCancelled when
// the user stopped it), by ExportQuery or by the proceed() that writes, after
// the temporary file is gone. The rows are kept by the outcome until it ends.
ExportOutcome ExportQuery(const vl::db::RowSet& rows, const ExportRequest& request, const ExportHooks& hooks,
                          const QList<vl::reporting::PasswordColumn>& secret = vl::reporting::builtInPasswordColumns());

// Spreadsheets: the file name (asked with the XLSX format first when empty),
// the question before overwriting an existing file when that is not allowed
// ("Adjon meg egy érvényes fájlnevet" on a No), the workbook through a
// temporary file, then "A fájl: <name> elkészült: " (as the question whether
// to open it when askToOpen). The sheets' row sources must outlive the
// outcome's questions.
ExportOutcome ExportToExcel(const QList<ExcelSheetInput>& sheets, const QString& fileName, bool askToOpen,
                            const ExportHooks& hooks, bool overwriteAllowed, int rowLimit = 0);

// Writes rows in the given format into `fileName` through a temporary file of
// its folder. No question is asked, nothing is shown.
WriteNotes ExportToFile(RowSource& rows, const QString& fileName, ExportFormat format, const ExportRequest& request,
                        const Progress& progress = {});

// The warnings of what a writer changed ("" when nothing).
QString WriteNotesText(const WriteNotes& notes);

// A file being written under a temporary name in the target's folder
// (db/PendingFile.h): commit() renames it over the target; without commit the
// temporary file is removed when the object goes.
using vl::db::PendingFile;

} // namespace vl::exchange
