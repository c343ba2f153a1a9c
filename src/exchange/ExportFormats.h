#pragma once
// The file formats a query can be stored in, the save dialog's list of them,
// the rule that makes the final file name, sheet names and the texts the
// exports show. Pure functions, no files touched.
#include <QString>
#include <QStringList>

namespace vl::exchange {

// The formats in the save dialog's order (the index is the list position, from 1).
enum class ExportFormat { Unknown = 0, Xls = 1, Xlsx, Dbf, Txt, Db, Sql, Xlsm, Csv };

// The patterns of the save dialog, in order: "*.XLS", "*.XLSX", "*.DBF",
// "*.TXT", "*.DB", "*.SQL", "*.XLSM", "*.CSV".
QStringList ExportFormatPatterns();
// The captions of the save dialog's filter, in the same order.
QStringList ExportFormatCaptions();
// The save dialog's filter as Qt takes it: "Excel tábla (XLS) (*.XLS *.xls);;...".
QStringList ExportNameFilters();
// The pattern's extension: ".XLSX" for ExportFormat::Xlsx.
QString ExportFormatExtension(ExportFormat f);

// The extension of a file name: the (at most) five characters starting at the
// last '.' of the name's last part, upper-cased (".XLSX", ".TXT"); "" without a '.'.
QString FileExtension(const QString& fileName);
// The format a file name's extension names; Unknown for any other.
ExportFormat FormatOfFile(const QString& fileName);
// The position (from 1) of "*" + the name's extension in the format list; 1 when absent.
int FormatIndexOfName(const QString& fileName);

// The name the save dialog's answer becomes: the chosen format's extension E
// (".XLSX") is appended when the name has no '.' or when its extension is not
// E ("lista.txt" saved as XLS gives "lista.txt.XLS"). An empty name stays empty.
QString FinalExportName(const QString& chosenName, int formatIndex);
// What the dialog starts with when no name is suggested: its last name cut
// before the first '.' of its last part.
QString StartName(const QString& currentDialogName);

// Spreadsheets: the row limit of a format (the header row counted), 0 for the others.
int SpreadsheetRowLimit(ExportFormat f);
bool IsSpreadsheet(ExportFormat f);

// A sheet name a spreadsheet takes: each of []:*?/\ becomes '_', an apostrophe
// cannot start or end it, at most 31 characters with the suffix (the base is
// cut, never the suffix); "Munka1" when nothing is left.
QString ValidSheetName(const QString& name, const QString& suffix = QString());
// Why a sheet name typed by the user cannot be used ("" when it can).
QString SheetNameProblem(const QString& name);

// The texts of the exports.
QString NoDataText();                       // "Nincs adat, amit tárolni lehetne."
QString OverwriteQuestion(const QString& fileName); // "A fájl: <name> létezik. Felülírjuk?"
QString InvalidNameText();                  // "Adjon meg egy érvényes fájlnevet"
QString SpreadsheetDoneText(const QString& fileName); // "A fájl: " + name + " elkészült: "
QString OpenQuestionTail();                 // "Kívánja megnyitni?"
// The file was written but no program of the desktop opens it:
// "A fájl elkészült: <name>, de nincs program, amely megnyitná."
QString NoOpeningProgramText(const QString& fileName);
QString CannotOpenQueryText(const QString& queryName); // name + ": a lekérdezés nem nyitható (can not open query)"
QString UnknownFormatText(const QString& fileName);
QString SaveDialogTitle();                  // "Eredmény mentése más táblába"

} // namespace vl::exchange
