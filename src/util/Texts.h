#pragma once
// Text routines: trimming, Hungarian-aware casing, padding, searching, SQL value
// lists, name folding, mode captions, versions and spreadsheet column names.
// All functions are stateless and safe to call from any thread.
// Positions are 1-based, as in the rest of the program.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace vl::util {

// --- Trimming and casing ----------------------------------------------------

// Removes leading and trailing spaces and control characters (code <= 32 and DEL).
QString TrimText(const QString& s);
// Upper-cases letter by letter (á->Á, ő->Ő, ű->Ű ...); the length never changes.
QString UpperHu(const QString& s);
// Lower-cases letter by letter (Á->á, Ő->ő, Ű->ű ...); the length never changes.
QString LowerHu(const QString& s);
// Case-insensitive equality over Hungarian letters ("Őz" equals "őZ").
bool SameTextHu(const QString& a, const QString& b);
// Case-insensitive order in the Hungarian alphabet (cukor < csiga, o < ö < z); <0, 0, >0.
int CompareTextHu(const QString& a, const QString& b);

// --- Padding and trailing characters ----------------------------------------

// Trimmed, then "0" prepended up to width; never truncates.
QString ZeroPad(const QString& s, int width);
// ch prepended until the length is reached (no trimming, no truncation).
QString PadLeft(const QString& s, QChar ch, int length);
// ch appended until the length is reached (no trimming, no truncation).
QString PadRight(const QString& s, QChar ch, int length);
// Trimmed; suffix appended unless the text already ends with it ("" gives the suffix).
QString EnsureTrailing(const QString& s, const QString& suffix);
// Trimmed folder path with one trailing separator: "/" is appended unless it ends
// in "/" or "\"; an empty path stays empty (the working directory).
QString IncludeBackslash(const QString& path);

// --- Searching --------------------------------------------------------------

// Number of characters of s equal to the first character of ch (0 for an empty ch).
int CountChar(const QString& s, const QString& ch);
// Both trimmed; true when any character of a occurs in b.
bool HasAnyChar(const QString& a, const QString& b);
// Largest position p, 2 <= p <= len(text) - len(pattern), where pattern starts; 0 if none.
// (An occurrence at position 1 or at the very end of the text is not found.)
int LastPos(const QString& pattern, const QString& text);
// Position of the last character of the n-th occurrence of pattern in text; 0 if none.
int NthOccurrenceEnd(const QString& pattern, const QString& text, int n);
// The character after ch in list (wrapping to the first one); first of list when ch is absent.
QString NextInCycle(const QString& ch, const QString& list);
// Index (0-based) of the first item that matches text, or -1. Without caseSensitive both
// sides are upper-cased; startColumn (1-based) cuts each item; exact: equal, else: contains.
int FindInStrings(const QString& text, const QStringList& list, bool caseSensitive,
                  int startColumn, bool exact);
// The same search over an array of texts, without a start column.
int FindInArray(const QString& text, const QStringList& array, bool exact, bool caseSensitive);

// --- Building texts ---------------------------------------------------------

// First character and every character after one of " -_.()" upper-cased; the rest
// lower-cased when lowerRest is set, otherwise kept.
QString CapitalizeWords(const QString& s, bool lowerRest);
// Accented letters folded to plain ones; digits, letters and ".,-/();\":| " kept;
// anything else becomes "A".
QString FoldAccents(const QString& s);
// The key a search compares, ignoring case and accents as the database's
// UNICODE_CI_AI collation does (the rental lookup's customer names): the
// letters without their marks, case-folded. "Árvíztűrő" -> "arvizturo".
QString SearchKey(const QString& s);
// A text as the database's equality sees it: trailing blanks do not count
// ("Kovács " equals "Kovács"). Leading blanks stay.
QString WithoutTrailingBlanks(const QString& s);
// A unique name for a work table or export file: prefix + folded text (spaces removed)
// + "_" + the time stamp 'yymmddhhnnsszzz'. Always a valid database identifier:
// upper case, only A-Z 0-9 _, starting with a letter, at most 31 characters (the
// prefix and text are cut, never the stamp).
QString StampedName(const QString& text, const QString& prefix,
                    const QDateTime& at = QDateTime::currentDateTime());
// Caption of an editing mode: "browse" -> "böngész", "insert..." -> "új tétel",
// "update" -> "módosítás", "modify" -> "változtatás", "wiev" -> "megnéz"; others unchanged.
QString ModeCaption(const QString& mode);
// The higher of two dotted versions ("1.10" > "1.9"), returned untrimmed; a on a tie.
// Raises ConversionError when a component is not a number.
QString HigherVersion(const QString& a, const QString& b);

// --- Spreadsheet helpers ----------------------------------------------------

// Column letters of a 0-based column index: 0 -> "A", 25 -> "Z", 26 -> "AA",
// 389 -> "NZ", 16383 -> "XFD"; "" for a negative index or one beyond 16383.
QString ExcelColumnName(int index);
// Row limit of a spreadsheet application version such as "11.0": major <= 7 gives 16384,
// 8..11 give 65536, 12 and above 1048576. Raises ConversionError when the text has no
// "." or no number before it.
int ExcelMaxRows(const QString& version);

} // namespace vl::util
