#pragma once
// The configuration file PKR.INI, loaded once into an in-memory key table.
// Every setting is read from that table by key, never from the file.
//
// File format (windows-1250 text, CR LF or LF line ends; a file that starts with
// a UTF-8 or UTF-16 byte-order mark is read past it in that encoding):
//   KEY = value   // comment      a setting; blanks around key and value are dropped
//   * ...                         a comment line
//   @ OTHER.INI                   an include: that file is loaded at once, in place
//   COMMAND=...                   never entered in the tables
//   a line without "=" is ignored, whatever it holds.
// Year macros in a value: %EEEE% (this year), %EE% (its last two digits),
// %EEEM% (the year of the day 365 days ago), %EM% (its last two digits); each
// is replaced at its first occurrence, and the text after it is joined
// directly to the digits with its blanks removed.
//
// The tables. There is ONE line table for the whole load, includes and all:
// an included file does not start it afresh. The key table is the first
// IniMaxKeys rows of the line table, so entry i of both always describes the
// same key. A key met again (in the same file or in an included one) keeps
// its first row and takes the later value; the row then points at the line
// the value came from.
//
// Every row remembers where it came from (TInivalue::file, ::line) and the
// value as written in the file, macros unexpanded (::rawValue). This is what a
// settings editor needs to store values without flattening the files: it
// rewrites only the lines of the rows whose value or comment changed, each in
// the file it came from, and leaves include lines, comment lines, macros of
// unchanged values and everything else as they are (IniStore does exactly
// this). Rows added at run time (IniWrite of a key not in any file) have an
// empty file and are appended to the file loaded last when stored.
#include <QString>
#include <QList>
#include <QStringList>

namespace vl::shell {

struct TInivalue {
    QString key;     // trimmed, upper-cased
    QString value;   // trimmed, macros expanded
    QString comment; // text after "//", may be empty (keeps its blanks)
    // Where the value came from (empty file / -1: set at run time).
    QString file;    // absolute path of the file holding the line
    int line = -1;   // 0-based line number in that file
    QString rawValue; // the value as written in the file (macros unexpanded)
};
using TAIniValues = QList<TInivalue>;

constexpr int IniMaxKeys = 255;

// Loads a file (with its "@" includes). False when the file does not exist;
// unless silent, "Ini file: <name> not found." is shown. Starts the tables
// afresh and records the file as the file loaded last.
bool IniLoad(const QString& fileName, bool silent);
// Index (0-based) of the key in the key table and its value; -1 and "" when absent.
int IniRead(const QString& key, QString* value = nullptr);
// Convenience: the value, or def when the key is absent.
QString IniValue(const QString& key, const QString& def = QString());
// 1 when the key existed, 0 when it was added. A new key beyond the
// IniMaxKeys-th shows "Túl sok beállítási paraméter. KEY=value"; its row is
// kept in the line table but it cannot be read.
int IniWrite(const QString& key, const QString& value, const QString& comment = QString());
// Looks a key up in a line table other than the loaded one.
int IniFind(const QString& key, const TAIniValues& values, QString* value = nullptr);

// The line table (what the settings editor shows and stores) and the file loaded last.
const TAIniValues& IniLines();
QString IniFileName();
// Empties both tables (tests, a reload).
void IniClear();

// Expands the year macros of a text as the loader does.
QString IniExpandMacros(const QString& text);

// Writes the line table back without flattening the files: each row whose
// value or comment differs from what its file holds gets its line rewritten
// as "KEY=value" (+ "  //comment"), in the file it came from; a row set at
// run time is appended to the file loaded last. Every other line (includes,
// comments, unchanged values with their macros) stays as it is. Files keep
// their encoding (windows-1250, or UTF-8 / UTF-16 when they start with a
// byte-order mark) and line ends. False with a reason on failure.
//
// What the loader would read back differently is refused before any file is
// touched, naming the key: a line break in a key, value or comment (it would
// add lines of its own), "//" in a key or value (it starts a comment), "=" in
// a key, a key that starts with "*" or "@" or is COMMAND.
// Each file is written to a temporary file in its folder and renamed over the
// old one when complete, so a failed write leaves the old file whole; the file
// keeps its permissions, and a file that holds a secret (IniIsSecretKey) is
// made readable and writable by its owner only.
bool IniStore(QString* error = nullptr);

// What could not be read during the last IniLoad (a missing or unreadable
// file, an include among them), one Hungarian text per file, in order.
QStringList IniLoadProblems();

// A key whose value is a secret (DBPASSWORD and every other *PASSWORD* or
// *JELSZO* key): never shown in clear, its file kept from other users.
bool IniIsSecretKey(const QString& key);

} // namespace vl::shell
