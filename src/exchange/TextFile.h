#pragma once
// Plain text files named in the database (price notes, letters): read, written
// and printed by the text file editor.
//
//  - The files are windows-1250. On reading a line ends at CR LF, CR or LF; on
//    writing every line ends with CR LF.
//  - A character that windows-1250 cannot hold is written as '?' and reported
//    (line, column and the character), never dropped silently.
//  - A save writes a temporary file in the target's folder and renames it over
//    the old file only when everything was written, so a failed save leaves
//    the old file as it was.
//  - A stored path may use '\' as its separator (the paths were typed on
//    Windows workstations); it is read as '/'. A path that starts with a
//    drive letter ("C:\...") or names a network share ("\\server\...") cannot
//    be opened here and is refused with a message, never turned into an oddly
//    named file.
#include "reporting/Report.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vl::exchange {

// The lines of a text: split at CR LF, CR or LF. A line break at the very end
// starts no further line ("a\r\nb\r\n" and "a\r\nb" are both {"a", "b"}); an
// empty text has no lines.
QStringList SplitTextLines(const QString& text);

// The lines of an edit's text, whose line breaks are LF only: every line break
// separates two lines, so {"a", ""} shown as "a\n" comes back the same. An
// empty text has no lines.
QStringList EditTextLines(const QString& text);

// A character that windows-1250 cannot hold.
struct Unencodable {
    int line = 0;       // 1-based
    int column = 0;     // 1-based, in characters
    QString character;  // the character (a surrogate pair stays whole)
};

// The bytes of a file: every line in windows-1250 followed by CR LF. Characters
// windows-1250 cannot hold become '?' and are listed in unencodable.
QByteArray EncodeTextLines(const QStringList& lines, QList<Unencodable>* unencodable = nullptr);
// The lines of a file's bytes, read as windows-1250.
QStringList DecodeTextLines(const QByteArray& bytes);

// The report of the replaced characters: one sentence and one line per
// character (at most a few, then how many more). Empty when none.
QString UnencodableText(const QList<Unencodable>& unencodable);

// The local path of a stored path: '\' read as '/'. Empty, with the reason in
// refusal, for a path this machine cannot open (a drive letter, a network
// share). An empty stored path gives an empty path and no refusal.
QString LocalTextPath(const QString& stored, QString* refusal = nullptr);

// A name typed into the save dialog without an extension gets ".TXT".
QString WithTextSuffix(const QString& fileName);

struct TextLoad {
    bool exists = false;   // a file was found (and read) at the path
    QStringList lines;
    QString error;         // why the path could not be read ("" when it could, or when there is no file)
};
// Reads the file of a stored path. No file at the path is no error: no lines.
TextLoad LoadTextFile(const QString& storedPath);

struct TextSave {
    bool ok = false;
    QString path;                     // the local path written
    QString error;                    // the reason of a failed save
    QList<Unencodable> unencodable;   // characters written as '?'
};
// Writes the lines to the file of a stored path (created or replaced) through
// a temporary file in the same folder. A failed save leaves the old file.
TextSave SaveTextFile(const QString& storedPath, const QStringList& lines);

// The printout of a text (TqrTextNez): A4 portrait, 10 mm margins, printed even
// when empty; one title band QRBand1 with the memo QRMemo1 (Arial 10 pt, left,
// word-wrapped, the full printable width, stretching down with its text).
vl::reporting::Report TextPrintReport(const QStringList& lines, const QString& title = QString());

} // namespace vl::exchange
