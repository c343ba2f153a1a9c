#include "ExportQuery.h"
#include "db/TestHook.h"

#include "DbfWriter.h"
#include "FileOut.h"
#include "ParadoxWriter.h"
#include "SqlScript.h"
#include "TextExport.h"
#include "XlsWriter.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace vl::exchange {

namespace {

// Where a writer's message names the temporary file, the user reads the target's name.
[[noreturn]] void rethrowForTarget(const vl::Error& e, const PendingFile& f) {
    QString text = e.text();
    text.replace(f.tempPath(), f.target());
    throw vl::Error(text, e.context(), e.kind());
}

// Runs a writer on the file's temporary name and puts the file in place when
// it is whole; a cancel passes through, an error names the target.
void writeInPlace(PendingFile& file, const std::function<void()>& write) {
    try {
        write();
    } catch (const ExportCancelled&) {
        throw;
    } catch (const vl::Error& e) {
        rethrowForTarget(e, file);
    }
    file.commit();
}

} // namespace

// ------------------------------------------------------------------ writing

WriteNotes ExportToFile(RowSource& rows, const QString& fileName, ExportFormat format, const ExportRequest& request,
                        const Progress& progress) {
    PendingFile file(fileName, "export:rename");
    const QString& tmp = file.tempPath();
    WriteNotes notes;
    writeInPlace(file, [&] {
        switch (format) {
        case ExportFormat::Xlsx:
        case ExportFormat::Xlsm: {
            ExcelOptions o;
            o.format = format;
            o.rowLimit = request.rowLimit;
            notes = WriteXlsx({{request.sheetName, &rows}}, tmp, o, progress);
            break;
        }
        case ExportFormat::Xls:
            WriteXls(rows, tmp, ValidSheetName(request.sheetName), progress);
            break;
        case ExportFormat::Dbf:
            WriteDbf(rows, tmp, progress);
            break;
        case ExportFormat::Db: {
            QString table = request.tableName.trimmed();
            if (table.isEmpty()) table = QFileInfo(fileName).completeBaseName();
            WriteParadox(rows, tmp, table, progress);
            break;
        }
        case ExportFormat::Txt:
            notes = WriteTxt(rows, tmp, progress);
            break;
        case ExportFormat::Csv:
            notes = WriteCsv(rows, tmp, progress);
            break;
        case ExportFormat::Sql: {
            SqlScriptOptions o;
            o.table = ScriptTableName(request.tableName, request.statement, request.sheetName);
            notes = ExportSqlScript(rows, tmp, o, progress);
            break;
        }
        case ExportFormat::Unknown:
            throw vl::Error(UnknownFormatText(fileName), QStringLiteral("export"), vl::Error::Kind::Refusal);
        }
    });
    return notes;
}

QString WriteNotesText(const WriteNotes& notes) {
    QStringList parts;
    if (notes.replacedCharacters > 0)
        parts << QStringLiteral("%1 karakter nem írható a fájl kódlapjával (windows-1250), helyükön '?' áll.")
                     .arg(notes.replacedCharacters);
    if (notes.cutTexts > 0)
        parts << QStringLiteral("%1 szöveg hosszabb volt, mint amit egy cella elbír (32 767 karakter), ezeket levágtuk.")
                     .arg(notes.cutTexts);
    return parts.join(QLatin1Char('\n'));
}

// ------------------------------------------------------------------ the routines

namespace {

// The workbook through a temporary file, then what the written file leaves to
// say: the sheets that could not be written and the writer's notes are shown
// on the spot (before the question); the question whether to open the file, or
// the note that it is done, is the outcome.
ExportOutcome writeWorkbook(const QList<ExcelSheetInput>& sheets, const QString& fileName, bool askToOpen,
                            const ExportHooks& hooks, int rowLimit) {
    const ExportFormat format = FormatOfFile(fileName);
    WriteNotes notes;
    QStringList skipped;
    {
        PendingFile file(fileName, "export:rename");
        writeInPlace(file, [&] {
            if (format == ExportFormat::Xls) {
                if (sheets.size() != 1 || !sheets.first().rows)
                    throw vl::Error(QStringLiteral("XLS fájlba egyszerre egy lekérdezés írható."), QStringLiteral("xls"),
                                    vl::Error::Kind::Refusal);
                WriteXls(*sheets.first().rows, file.tempPath(), ValidSheetName(sheets.first().name), hooks.progress);
            } else if (format == ExportFormat::Xlsx || format == ExportFormat::Xlsm) {
                ExcelOptions o;
                o.format = format;
                o.rowLimit = rowLimit;
                notes = WriteXlsx(sheets, file.tempPath(), o, hooks.progress, &skipped);
            } else {
                throw vl::Error(UnknownFormatText(fileName), QStringLiteral("export"), vl::Error::Kind::Refusal);
            }
        });
    }
    for (const QString& s : skipped) vl::notify(vl::MsgKind::Error, s);
    const QString warn = WriteNotesText(notes);
    if (!warn.isEmpty()) vl::notify(vl::MsgKind::Warning, warn);
    ExportOutcome written = ExportOutcome::done();
    written.fileName = fileName;
    if (!askToOpen) {
        written.messages << SpreadsheetDoneText(fileName);
        return written;
    }
    const auto open = hooks.open;
    return ExportOutcome::asking(SpreadsheetDoneText(fileName) + QLatin1Char('\n') + OpenQuestionTail(),
                                 [written, open](bool yes) {
                                     ExportOutcome o = written;
                                     // No application of the desktop takes the workbook.
                                     if (yes && !(open ? open(o.fileName) : OpenInExcel(o.fileName))) {
                                         o.messages << NoOpeningProgramText(o.fileName);
                                         o.warning = true;
                                     }
                                     return o;
                                 });
}

// An existing file is written over without a question only when that is
// allowed; otherwise only on a "yes", and a "no" writes nothing and says so.
ExportOutcome confirmOverwrite(const QString& fileName, bool overwriteAllowed,
                               std::function<ExportOutcome()> write) {
    if (overwriteAllowed || !QFileInfo::exists(fileName)) return write();
    return ExportOutcome::asking(OverwriteQuestion(fileName), [write](bool yes) {
        return yes ? write() : ExportOutcome::refusal(InvalidNameText());
    });
}

} // namespace

ExportOutcome ExportToExcel(const QList<ExcelSheetInput>& sheets, const QString& given, bool askToOpen,
                            const ExportHooks& hooks, bool overwriteAllowed, int rowLimit) {
    QString fileName = given;
    if (fileName.isEmpty()) {
        if (!hooks.askFileName) return ExportOutcome::refusal(QStringList());
        fileName = hooks.askFileName(QString(), int(ExportFormat::Xlsx));
        if (fileName.isEmpty()) return ExportOutcome::refusal(QStringList());
    }
    return confirmOverwrite(fileName, overwriteAllowed, [=] {
        return writeWorkbook(sheets, fileName, askToOpen, hooks, rowLimit);
    });
}

ExportOutcome ExportQuery(const vl::db::RowSet& given, const ExportRequest& request, const ExportHooks& hooks,
                          const QList<vl::reporting::PasswordColumn>& secret) {
    if (given.isEmpty()) {
        ExportOutcome o = ExportOutcome::refusal(NoDataText());
        o.warning = false;
        return o;
    }
    // The rows an export goes on with after a question: the caller's row set may be gone by then.
    const auto held = std::make_shared<const vl::db::RowSet>(vl::reporting::withoutPasswordColumns(given, secret));
    QString fileName = request.fileName;
    if (fileName.isEmpty()) {
        if (!hooks.askFileName) return ExportOutcome::refusal(QStringList());
        fileName = hooks.askFileName(request.suggestedName, int(ExportFormat::Xls));
        if (fileName.isEmpty()) return ExportOutcome::refusal(QStringList());
    }
    const ExportFormat format = FormatOfFile(fileName);
    if (format == ExportFormat::Unknown)
        throw vl::Error(UnknownFormatText(fileName), QStringLiteral("export"), vl::Error::Kind::Refusal);
    if (IsSpreadsheet(format)) {
        QString sheet = request.sheetName.trimmed();
        if (sheet.isEmpty()) sheet = QFileInfo(fileName).completeBaseName();
        return confirmOverwrite(fileName, request.overwriteAllowed, [=] {
            RowSetSource source(*held);
            return writeWorkbook({{sheet, &source}}, fileName, request.askToOpen, hooks, request.rowLimit);
        });
    }
    return confirmOverwrite(fileName, request.overwriteAllowed, [=] {
        RowSetSource source(*held);
        const WriteNotes notes = ExportToFile(source, fileName, format, request, hooks.progress);
        ExportOutcome o = ExportOutcome::done();
        o.fileName = fileName;
        const QString warn = WriteNotesText(notes);
        if (!warn.isEmpty()) {
            o.messages << warn;
            o.warning = true;
        }
        return o;
    });
}

} // namespace vl::exchange
