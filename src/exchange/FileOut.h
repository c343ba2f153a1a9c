#pragma once
// A file written by an export: every failure of the file system (no room, no
// right, a size limit) is raised as vl::Error naming the file.
#include "db/PendingFile.h"
#include "exchange/ExportTypes.h"
#include "util/Error.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vl::exchange {

class FileOut {
public:
    // Creates (or empties) the file; with append, writes after what it holds.
    explicit FileOut(const QString& path, bool append = false);
    ~FileOut();
    FileOut(const FileOut&) = delete;
    FileOut& operator=(const FileOut&) = delete;

    void write(const QByteArray& bytes);
    void write(const char* bytes, qsizetype size);
    // Writes what is buffered and closes the file; raises when that fails.
    void close();

private:
    [[noreturn]] void fail(const QString& doing);
    QFile file_;
    QByteArray buffer_;
};

// Writes one line of a text file in windows-1250 with CR LF; a character the
// code page cannot hold is written as '?' and counted in notes.replacedCharacters.
void writeCp1250Line(FileOut& out, const QString& line, WriteNotes& notes);

// The text of a failed file operation: "A fájl nem írható: <path> (<why>)".
using vl::db::FileWriteErrorText;

} // namespace vl::exchange
