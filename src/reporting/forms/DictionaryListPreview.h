#pragma once
// The data-dictionary list (Tqr_szotar) on the screen and on the printer, for
// the generic editor's list menu and the list builder.
#include "db/Database.h"

#include <QString>

class QWidget;

namespace vl::reporting {

// The list of a table (its VEZERLO columns, its rows, title from TABLAK) in
// the preview. "Nincs ilyen tábla:" + name for a table the catalogue does not
// know; "Nincs mit nyomtatni." for an empty table. False when nothing showed.
bool showDictionaryListPreview(vl::db::Connection& conn, const QString& table, QWidget* parent = nullptr,
                               bool onlyActive = true);
// The list of rows a caller already holds (the editor's browse rows) with its
// title; the table's password columns are removed first.
bool showDictionaryListPreview(vl::db::Connection& conn, const QString& table, const QString& title,
                               const vl::db::RowSet& rows, QWidget* parent = nullptr);
// The same straight to the report's printer (with the print dialog when asked).
bool printDictionaryList(vl::db::Connection& conn, const QString& table, const QString& title,
                         const vl::db::RowSet& rows, QWidget* parent = nullptr, bool askPrinter = true);
// Any row set as a list (the list builder's result), title as given.
bool showListPreview(const QString& title, const vl::db::RowSet& rows, QWidget* parent = nullptr);
bool printList(const QString& title, const vl::db::RowSet& rows, QWidget* parent = nullptr, bool askPrinter = true);

} // namespace vl::reporting
