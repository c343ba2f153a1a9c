#pragma once
// Combo boxes that show names and keep a parallel list of codes.
#include "db/Database.h"
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;

namespace vl::shell {

// With reload the box's items and the codes list are cleared. When the box then
// has no items it is filled from the query: unless firstItem is "-" it goes
// first with an empty code; then every row's NEV, with its KOD (or, without a
// KOD column, its first column) appended to codes in step. The codes list is
// only appended to, so several boxes may share one list. Ends with SyncComboIndex.
// The query runs only when the box is to be filled.
void FillCodeCombo(QComboBox* box, const std::function<vl::db::RowSet()>& query, QStringList& codes,
                   bool reload, const QString& firstItem);

// Selects the first item equal (case-insensitively) to the box's text, or none;
// with an empty text the first item when it is empty, else none.
void SyncComboIndex(QComboBox* box);

} // namespace vl::shell
