#pragma once
// OpenTableEditor, the one way to open the generic editor on a table for
// maintenance or for choosing, and the dictionary forms of the main window.
#include "framework/ControlTables.h"
#include "shell/Queries.h"

#include <QString>
#include <QStringList>

namespace vl::framework {

class TTorzsfm;

// Opens the editor on 'T', 'T,P' or 'T+P2' and shows it modally.
//  where       the rows shown (program or control-table text; typed values bound);
//  searchText  typed into the search box when the editor shows ("musz_reopen":
//              re-read the rows instead);
//  editor      a given editor, or nullptr for the application's editor named
//              T + "_" + P + "_Torzsfm" (created on first use, reused later);
//  chosen      receives the chosen row (every column but passwords);
//  defaults    values put into a record the user adds there;
//  choiceMode  shows "Kiválaszt" and returns a row only when one was chosen
//              (after a save, the saved row);
//  writable    writing allowed (the rights of TABLAK may still forbid it).
// Returns true when a record was chosen. "Nincs ilyen tábla:" + T for a missing
// table, the TABLAK message for no rights; nothing opens then.
bool OpenTableEditor(const QString& name, const Condition& where, const QString& searchText, TTorzsfm* editor,
                     vl::shell::ASelectedRecord* chosen, const QStringList& defaultValues,
                     const QStringList& defaultNames, bool choiceMode, bool writable);
// The same with a plain condition text (a leading WHERE is allowed).
bool OpenTableEditor(const QString& name, const QString& where = {}, const QString& searchText = {},
                     vl::shell::ASelectedRecord* chosen = nullptr, bool choiceMode = false, bool writable = true);

// The application's editor of a name ('T' or 'T,P' ...), nullptr when none was made yet.
TTorzsfm* ExistingTableEditor(const QString& name);
// Closes and deletes every editor and dictionary form made so far (tests, closing).
void DeleteAllTableEditors();

// The dictionary forms of the main window: the editor preset to one table.
struct DictionaryFormInfo {
    QString formName;   // Tsoforfm ...
    QString caption;    // "Gépkocsivezetők" ...
    QString table;      // SZ_SOFOR ...
    int node;           // the tree node that opens it
};
const QList<DictionaryFormInfo>& DictionaryForms();
// The one instance of a dictionary form (created on first use), prepared with
// its table and writing allowed. nullptr for an unknown name.
TTorzsfm* DictionaryFormByName(const QString& formName);

} // namespace vl::framework
