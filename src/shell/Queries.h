#pragma once
// The statement routines every form uses: parameterised statements, the
// one-row lookup, work-table copies, the one-shot update script, the
// failed-store log and the single-instance guard.
#include "db/Database.h"
#include "shell/Session.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QList>

namespace vl::shell {

// A named statement held by a form or module ("q_forgsor", "qi_forgfej" ...).
// QparamOpen binds it, runs it and leaves the parameters it bound and the
// rows it read here.
struct TQuery {
    QString name;
    QString sql;
    vl::db::Params params;   // the values bound by the last QparamOpen
    vl::db::RowSet rows;     // the rows of the last open
    bool active = false;     // true after an open
    void close() { rows = vl::db::RowSet(); active = false; }
};

// Binds names[i] = values[i] in order and runs the query in the caller's
// transaction `outer`, or in one of its own on conn (committed at once).
// With execute: the rows affected; otherwise the query is opened and the
// result is its record count. Arrays of different length: the message
// "QparamOpen hiba, paraméter tömbök eltérő méretűek, Query=" + name, result
// -1 and nothing runs. A null value binds a typed NULL. Database errors
// (an unknown parameter name among them) are raised as DbError.
qint64 QparamOpen(vl::db::Connection& conn, vl::db::Transaction* outer, TQuery& q, const QStringList& names,
                  const QVariantList& values, bool execute);

// One column of a looked-up row.
struct TSelectedRecord {
    QString FieldName;
    QString FieldType;   // the framework's type word (VARCHAR, INTEGER, ...)
    QVariant FieldValue;
};
using ASelectedRecord = QList<TSelectedRecord>;

// Reads the first row of table whose column equals value into rec. The value
// is bound; the table and column must be known to the catalogue (otherwise
// the answer is "not found"). Not found with showMessage: "Nincs olyan érték
// a <table> táblában, ahol <column>='<value>'". An empty value: false.
bool LookupCheck(vl::db::Connection& conn, const QString& value, const QString& table, const QString& column,
                 bool showMessage, ASelectedRecord& rec);
// Index of the last entry named exactly so, or -1.
int SelectedFieldIndex(const ASelectedRecord& rec, const QString& fieldName);

// A work-table name: "TMP_" and then A-Z, 0-9, "_", at most 31 characters in
// all (the plain-name rule of the SQL text module, without its "$").
bool IsValidWorkTableName(const QString& name);
// The name of the primary-key constraint of a table, within 31 characters.
QString PrimaryKeyConstraintName(const QString& table);

// Copies the column definitions of source into a new table (Firebird only).
// The statement is valid Firebird 3 DDL: types spelled as DDL (VARCHAR(n),
// CHAR(n), NUMERIC(p,s), BIGINT, DOUBLE PRECISION, BLOB SUB_TYPE n ...), the
// character set and collation of text columns, with primaryKey the source's
// key as "PK_..." with its columns NOT NULL; null flags (other than the key)
// and defaults are not copied. With execute the table is created, recorded in
// MUNKATABLAK (when that table exists) with CURRENT_CONNECTION and the
// session's writer, in the caller's transaction `outer` or in one of its own,
// and appended to Tdm::WorkTableList (dropped at the end of the run).
// False when the source has no columns (nothing is run). An invalid new name
// raises DbError. ddl receives the statement.
bool CopyTableDef(vl::db::Connection& conn, vl::db::Transaction* outer, const Session& session,
                  const QString& source, const QString& newName, bool execute, bool primaryKey = true,
                  QString* ddl = nullptr);

// The closing step of a run: drops every table of Tdm::WorkTableList
// (errors ignored), deletes their MUNKATABLAK rows, empties the list and
// closes d_alap. Without work tables it only closes the connection.
void DropRunWorkTables();

// One statement of an update script.
struct ScriptStatement {
    QString text;        // the statement without its terminator
    QString terminator;  // ";" or the one set by SET TERM
};
// Splits a script into statements, reading it through the SQL text scanner:
// "/* */" and "--" comments are dropped, a terminator inside a literal ('...',
// q'{...}') or a quoted name does not end a statement, "SET TERM x ;" changes
// the terminator. rest receives text after the last terminator (not run).
// A comment, literal or quoted name that never closes ends the statements:
// rest then holds the text from the last terminator to the end, the opening
// included, openLine the line (from 1) it opens on (0 when everything closed)
// and opener what opened it ("/*", "'", "q'" or "\"").
QList<ScriptStatement> SplitUpdateScript(const QString& script, QString* rest = nullptr,
                                         int* openLine = nullptr, QString* opener = nullptr);
// The reason stored for the text of an unclosed comment, literal or quoted name:
// "Nem futott: a(z) <line>. sorban nyitott '/*' megjegyzés nincs lezárva, ami
// utána áll, az nem futott le" (a literal: "szövegkonstans (')", a name:
// "idézőjeles (\") név").
QString UnclosedScriptText(int line, const QString& opener);

// Why the bytes of a script cannot be taken as windows-1250 (empty: they can):
// a valid UTF-8 text with characters beyond ASCII, or a byte that windows-1250
// leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98), named by line and byte.
QString ScriptEncodingProblem(const QByteArray& bytes);

struct ScriptResult {
    bool ran = false;        // false: the file did not exist (nothing happened)
    int executed = 0;
    bool refused = false;    // not windows-1250: nothing ran, the file was left in place
    int failed = 0;          // statements refused by the server, plus an unterminated tail, comment or literal
    QString badFile;         // script name + "_BAD.TXT" (deleted when nothing failed)
    bool badWritten = false; // the failures are in badFile
    QString badError;        // why badFile could not be written
    QString movedTo;         // where the script was moved ("" when the move failed)
    QString summary;         // the summary message
    QStringList errors;      // "statement\nserver text" per failure
};
// Runs a windows-1250 script statement by statement, each committing on its
// own; failures go to "<script>_BAD.TXT" (with the server's text as "--"
// comment lines) and, unless quiet, to a message; the script is then moved to
// "<name>_done_yyyymmdd_hhnnss.sql" so it runs once; the summary message is
// shown even when quiet and says so when the _BAD.TXT file could not be
// written. logBox receives each failed statement. A file that is not
// windows-1250 (ScriptEncodingProblem) is refused: a message, nothing runs,
// the file is not moved.
ScriptResult RunUpdateScript(vl::db::Connection& conn, const QString& fileName, bool quiet,
                             QStringList* logBox = nullptr);

// Logs a failed store: writes AppDir + "NEMSIKERULT_<module>_<query>_<stamp>.TXT"
// (windows-1250) with the statement's parameters and shows "Hiba történt
// tárolás közben. Kérem értesítse a programozót!" ... (parameters too when
// TRACE=I). Returns the file's path.
QString ReportStoreError(const QString& queryName, const QString& module, const vl::db::Params& params);
QString ReportStoreError(const TQuery& q, const QString& module);

// True when another process of this user (or an earlier call of this one)
// already holds the guard of this name on this machine. Otherwise takes it for
// the life of the process: an flock on SingleInstanceLockPath(name), which the
// kernel releases when the process ends, however it ends. When no private
// place for the lock can be had the answer is false (the program runs).
bool SingleInstanceGuard(const QString& name);
// The lock file of a guard: "pkr-<sha1>.lock" in a directory that only this
// user can write: $XDG_RUNTIME_DIR when it is ours with mode 0700, else
// $TMPDIR (or /tmp) + "/vorlanda-<uid>", else ~/.cache/vorlanda, the latter two
// made with mode 0700; each must be a real directory owned by this user that
// nobody else can write into. Empty when none is fit (the reasons in why).
QString SingleInstanceLockPath(const QString& name, QString* why = nullptr);

} // namespace vl::shell
