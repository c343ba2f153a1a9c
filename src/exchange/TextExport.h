#pragma once
// Query results as text files:
//  - the fixed-width text file: windows-1250, CR LF, no title line; each
//    column as wide as the list report makes it (the larger of its label's
//    length and its display width), numbers right-aligned in it and followed
//    by two blanks, texts padded on the right to the width plus two;
//  - CSV: UTF-8 with a byte-order mark, ';' between the fields, CR LF, a first
//    line of the column labels; a field with ';', '"', a line break or a blank
//    at either end is enclosed in '"' with inner '"' doubled. Numbers carry the
//    decimal comma, dates read 'yyyy.mm.dd', so a Hungarian spreadsheet reads
//    them as numbers and dates. A text that a spreadsheet would take for a
//    formula gets a leading "'" (CsvTextCell); every CSV writer of the program
//    writes its text cells through CsvTextCell and CsvField.
#include "ExportTypes.h"

namespace vl::exchange {

// The fixed-width line of one row (without its line end).
QString TxtLine(const QList<vl::db::Column>& cols, const QVariantList& row);
WriteNotes WriteTxt(RowSource& rows, const QString& path, const Progress& progress = {});

// A text cell's contents as a CSV file holds them, so that a spreadsheet
// opening the file never runs it as a formula: a text that starts with '=',
// '@', a tab or a carriage return, or with '+' or '-' not followed by a digit
// or a blank, gets a leading "'" ("+36 30 ..." and "-5" stay as they are).
// Numbers, dates and flags are not texts and never pass through it.
QString CsvTextCell(const QString& text);
// One CSV field as written (quoted when it has to be).
QString CsvField(const QString& text);
// A value's text in a CSV file.
QString CsvValueText(const QVariant& value, const vl::db::Column& col);
WriteNotes WriteCsv(RowSource& rows, const QString& path, const Progress& progress = {});

// Whether a column holds text (string, memo or blob) rather than a number,
// date or flag.
bool IsTextColumn(const vl::db::Column& col);

} // namespace vl::exchange
