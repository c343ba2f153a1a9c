#pragma once
// The report engine's windows as other subsystems open them: through the form
// registry, by name, so no form includes the engine's preview.
//
//   "Tqr_szotar"  the data-dictionary list of a table. Parameters: "table",
//                 "title", "rows" (a vl::db::RowSet: the rows as the caller
//                 shows them), "print" (straight to the printer instead of the
//                 preview) and "askPrinter" (with the print dialog).
//   "Tqr_lista"   any row set as a list (the list builder's result).
//                 Parameters: "title", "rows", "print", "askPrinter".
// Both answer accepted when something was shown or printed.
namespace vl::reporting {

void registerReportForms();

} // namespace vl::reporting
