#include "XlsxExport.h"

#include "FileOut.h"
#include "reporting/DictionaryList.h"
#include "util/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QUrl>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <xlsxwriter.h>

extern "C" {
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
}

namespace vl::exchange {

using vl::db::ColType;
using vl::db::Column;

namespace {

constexpr int kCellTextMax = 32767;
// Above this a number loses digits in a spreadsheet cell.
constexpr qint64 kExactDigits = 999999999999999LL;
// The default column width of a new worksheet, in characters.
constexpr double kDefaultWidth = 8.43;

[[noreturn]] void failed(const QString& path, lxw_error e) {
    throw vl::Error(FileWriteErrorText(path, QString::fromUtf8(lxw_strerror(e))), QStringLiteral("xlsx"),
                    vl::Error::Kind::Other);
}

struct Formats {
    lxw_format* date = nullptr;
    lxw_format* time = nullptr;
    lxw_format* stamp = nullptr;
};

class Book {
public:
    Book(const QString& path) : path_(path) {
        lxw_workbook_options opt{};
        opt.constant_memory = LXW_TRUE;
        opt.tmpdir = nullptr;
        opt.use_zip64 = LXW_FALSE;
        wb_ = workbook_new_opt(QFile::encodeName(path).constData(), &opt);
        if (!wb_) throw vl::Error(FileWriteErrorText(path, QString()), QStringLiteral("xlsx"), vl::Error::Kind::Other);
        f_.date = workbook_add_format(wb_);
        format_set_num_format(f_.date, "yyyy.mm.dd");
        f_.time = workbook_add_format(wb_);
        format_set_num_format(f_.time, "hh:mm:ss");
        f_.stamp = workbook_add_format(wb_);
        format_set_num_format(f_.stamp, "yyyy.mm.dd hh:mm:ss");
    }
    ~Book() {
        // A workbook left unclosed by an exception: close it so its temporary
        // files go; the caller removes the half-written file.
        if (wb_) workbook_close(wb_);
    }
    lxw_worksheet* addSheet(const QString& wanted, const QString& suffix) {
        QString name = ValidSheetName(wanted, suffix);
        for (int k = 2; k < 1000; ++k) {
            if (!used_.contains(name.toLower())) break;
            name = ValidSheetName(wanted, suffix + QLatin1Char('_') + QString::number(k));
        }
        used_ << name.toLower();
        lxw_worksheet* ws = workbook_add_worksheet(wb_, name.toUtf8().constData());
        if (!ws) throw vl::Error(QStringLiteral("Érvénytelen munkalapnév: ") + name, QStringLiteral("xlsx"),
                                 vl::Error::Kind::Other);
        return ws;
    }
    void close() {
        lxw_workbook* wb = wb_;
        wb_ = nullptr;
        const lxw_error e = workbook_close(wb);
        if (e != LXW_NO_ERROR) failed(path_, e);
    }
    const Formats& formats() const { return f_; }

private:
    QString path_;
    lxw_workbook* wb_ = nullptr;
    Formats f_;
    QStringList used_;
};

lxw_datetime toLxw(const QDate& d, const QTime& t) {
    lxw_datetime x{};
    if (d.isValid()) {
        x.year = d.year();
        x.month = d.month();
        x.day = d.day();
    }
    if (t.isValid()) {
        x.hour = t.hour();
        x.min = t.minute();
        x.sec = t.second() + t.msec() / 1000.0;
    }
    return x;
}

void check(lxw_error e) {
    if (e != LXW_NO_ERROR && e != LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
        throw vl::Error(QStringLiteral("Hiba a munkalap írásakor: ") + QString::fromUtf8(lxw_strerror(e)),
                        QStringLiteral("xlsx"), vl::Error::Kind::Other);
}

bool writeText(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, QString text, WriteNotes& notes) {
    if (text.isEmpty()) return false;
    // A line break inside a cell is LF; a CR would show as a stray character.
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    if (text.size() > kCellTextMax) {
        text.truncate(text.at(kCellTextMax - 1).isHighSurrogate() ? kCellTextMax - 1 : kCellTextMax);
        ++notes.cutTexts;
    }
    check(worksheet_write_string(ws, r, c, text.toUtf8().constData(), nullptr));
    return true;
}

// Whether a cell was written (NULL leaves it empty).
bool writeValue(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, const QVariant& v, const Column& col,
                const Formats& f, WriteNotes& notes) {
    if (!v.isValid() || v.isNull()) return false;
    switch (v.typeId()) {
    case QMetaType::Bool:
        check(worksheet_write_boolean(ws, r, c, v.toBool() ? 1 : 0, nullptr));
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        double d = v.toDouble();
        if (!std::isfinite(d)) {
            return writeText(ws, r, c, vl::util::FloatToText(d), notes);
        }
        if (std::fabs(d) < 1e9) d = vl::util::RoundDecimals(5, d);
        check(worksheet_write_number(ws, r, c, d, nullptr));
        return true;
    }
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::Short: case QMetaType::Long:
    case QMetaType::UInt: case QMetaType::UShort: case QMetaType::ULong: {
        const qint64 i = v.toLongLong();
        if (col.scale < 0) {
            check(worksheet_write_number(ws, r, c, double(i) / std::pow(10.0, -col.scale), nullptr));
        } else if (i > kExactDigits || i < -kExactDigits) {
            return writeText(ws, r, c, QString::number(i), notes);
        } else {
            check(worksheet_write_number(ws, r, c, double(i), nullptr));
        }
        return true;
    }
    case QMetaType::ULongLong:
        return writeText(ws, r, c, v.toString(), notes);
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        if (d.year() < 1900) {
            return writeText(ws, r, c, vl::util::VarToText(v), notes);
        }
        lxw_datetime x = toLxw(d, QTime());
        check(worksheet_write_datetime(ws, r, c, &x, f.date));
        return true;
    }
    case QMetaType::QTime: {
        lxw_datetime x = toLxw(QDate(), v.toTime());
        check(worksheet_write_datetime(ws, r, c, &x, f.time));
        return true;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.date().year() < 1900) {
            return writeText(ws, r, c, vl::util::VarToText(v), notes);
        }
        lxw_datetime x = toLxw(dt.date(), dt.time());
        check(worksheet_write_datetime(ws, r, c, &x, f.stamp));
        return true;
    }
    case QMetaType::QByteArray:
        return writeText(ws, r, c, QStringLiteral("(bináris)"), notes);
    default:
        return writeText(ws, r, c, v.toString(), notes);
    }
}

// --------------------------------------------------------------- the macro-enabled workbook

const char kWorkbookType[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char kMacroWorkbookType[] = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";

[[noreturn]] void zipFailed(const QString& path, GError* err) {
    const QString why = err ? QString::fromUtf8(err->message) : QString();
    if (err) g_error_free(err);
    throw vl::Error(FileWriteErrorText(path, why), QStringLiteral("xlsm"), vl::Error::Kind::Other);
}

// Copies the members of one zip folder into another, the content types rewritten.
void copyMembers(GsfInfile* in, GsfOutfile* out, bool root, const QString& target) {
    const int n = gsf_infile_num_children(in);
    for (int i = 0; i < n; ++i) {
        GsfInput* child = gsf_infile_child_by_index(in, i);
        const char* name = gsf_infile_name_by_index(in, i);
        if (!child || !name) zipFailed(target, nullptr);
        const bool isDir = GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
        GsfOutput* o = gsf_outfile_new_child_full(out, name, isDir, "compression-level", GSF_ZIP_DEFLATED, nullptr);
        if (!o) {
            g_object_unref(child);
            zipFailed(target, nullptr);
        }
        bool ok = true;
        if (isDir) {
            copyMembers(GSF_INFILE(child), GSF_OUTFILE(o), false, target);
        } else if (root && qstrcmp(name, "[Content_Types].xml") == 0) {
            const gsf_off_t size = gsf_input_size(child);
            const guint8* data = gsf_input_read(child, size_t(size), nullptr);
            QByteArray xml(reinterpret_cast<const char*>(data), data ? qsizetype(size) : 0);
            xml.replace(kWorkbookType, kMacroWorkbookType);
            ok = gsf_output_write(o, size_t(xml.size()), reinterpret_cast<const guint8*>(xml.constData()));
        } else {
            gsf_off_t left = gsf_input_size(child);
            while (ok && left > 0) {
                const size_t chunk = size_t(qMin<gsf_off_t>(left, 1 << 16));
                const guint8* data = gsf_input_read(child, chunk, nullptr);
                ok = data && gsf_output_write(o, chunk, data);
                left -= gsf_off_t(chunk);
            }
        }
        ok = gsf_output_close(o) && ok;
        g_object_unref(o);
        g_object_unref(child);
        if (!ok) zipFailed(target, nullptr);
    }
}

// The zip archive in a file, opened for reading; a failure names `named`.
GsfInfile* openZip(const QString& file, const QString& named) {
    gsf_init();
    GError* err = nullptr;
    GsfInput* src = gsf_input_stdio_new(QFile::encodeName(file).constData(), &err);
    if (!src) zipFailed(named, err);
    GsfInfile* zin = gsf_infile_zip_new(src, &err);
    g_object_unref(src);
    if (!zin) zipFailed(named, err);
    return zin;
}

void copyMacroEnabled(const QString& from, const QString& to) {
    GsfInfile* zin = openZip(from, to);
    GError* err = nullptr;
    GsfOutput* dst = gsf_output_stdio_new(QFile::encodeName(to).constData(), &err);
    if (!dst) {
        g_object_unref(zin);
        zipFailed(to, err);
    }
    GsfOutfile* zout = gsf_outfile_zip_new(dst, &err);
    if (!zout) {
        gsf_output_close(dst);
        g_object_unref(dst);
        g_object_unref(zin);
        zipFailed(to, err);
    }
    bool ok = true;
    try {
        copyMembers(zin, zout, true, to);
    } catch (...) {
        gsf_output_close(GSF_OUTPUT(zout));
        g_object_unref(zout);
        gsf_output_close(dst);
        g_object_unref(dst);
        g_object_unref(zin);
        throw;
    }
    ok = gsf_output_close(GSF_OUTPUT(zout)) && ok;
    g_object_unref(zout);
    ok = gsf_output_close(dst) && ok;
    g_object_unref(dst);
    g_object_unref(zin);
    if (!ok) zipFailed(to, nullptr);
}

// The library does not see a failed write of its own temporary files (a full
// disk): the workbook is read back, each sheet must be whole and end with the
// row that was written last.
void verifyWorkbook(const QString& path, const QList<int>& lastRows) {
    GsfInfile* zin = openZip(path, path);
    QString problem;
    for (int i = 0; i < lastRows.size() && problem.isEmpty(); ++i) {
        const QByteArray name = "xl/worksheets/sheet" + QByteArray::number(i + 1) + ".xml";
        GsfInput* sheet = gsf_infile_child_by_vname(zin, "xl", "worksheets", name.mid(14).constData(), nullptr);
        if (!sheet) {
            problem = QStringLiteral("hiányzó munkalap");
            break;
        }
        QByteArray tail;
        gsf_off_t left = gsf_input_size(sheet);
        while (left > 0) {
            const size_t chunk = size_t(qMin<gsf_off_t>(left, 1 << 16));
            const guint8* data = gsf_input_read(sheet, chunk, nullptr);
            if (!data) {
                problem = QStringLiteral("sérült munkalap");
                break;
            }
            tail.append(reinterpret_cast<const char*>(data), qsizetype(chunk));
            if (tail.size() > (1 << 17)) tail = tail.right(1 << 16);
            left -= gsf_off_t(chunk);
        }
        g_object_unref(sheet);
        if (!problem.isEmpty()) break;
        const QByteArray end = tail.trimmed();
        const qsizetype at = tail.lastIndexOf("<row r=\"");
        const qsizetype q = at < 0 ? -1 : tail.indexOf('"', at + 8);
        const int last = q < 0 ? 0 : tail.mid(at + 8, q - at - 8).toInt();
        if (!end.endsWith("</worksheet>") || last != lastRows[i]) problem = QStringLiteral("a munkafüzet nem teljes");
    }
    g_object_unref(zin);
    if (!problem.isEmpty())
        throw vl::Error(FileWriteErrorText(path, problem), QStringLiteral("xlsx"), vl::Error::Kind::Other);
}

} // namespace

void MakeMacroEnabled(const QString& path) {
    const QString tmp = path + QStringLiteral(".xlsm~");
    try {
        copyMacroEnabled(path, tmp);
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
    if (std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(tmp);
        throw vl::Error(FileWriteErrorText(path, QString::fromLocal8Bit(std::strerror(errno))), QStringLiteral("xlsm"),
                        vl::Error::Kind::Other);
    }
}

bool OpenInExcel(const QString& fileName) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()));
}

void WriteExcelHeader(lxw_worksheet* sheet, const QList<Column>& cols) {
    for (int i = 0; i < cols.size(); ++i) {
        const int w = vl::reporting::displayWidth(cols[i]);
        if (w > kDefaultWidth) check(worksheet_set_column(sheet, lxw_col_t(i), lxw_col_t(i), w, nullptr));
        const QString label = vl::reporting::columnLabel(cols[i]);
        if (!label.isEmpty())
            check(worksheet_write_string(sheet, 0, lxw_col_t(i), label.toUtf8().constData(), nullptr));
    }
}

WriteNotes WriteXlsx(const QList<ExcelSheetInput>& sheets, const QString& path, const ExcelOptions& options,
                     const Progress& progress, QStringList* skipped) {
    WriteNotes notes;
    const int limit = options.rowLimit > 1 ? options.rowLimit : SpreadsheetRowLimit(ExportFormat::Xlsx);
    const bool macro = options.format == ExportFormat::Xlsm;
    const QString bookPath = macro ? path + QStringLiteral(".zip") : path;
    struct Cleanup {
        QString p;
        bool on;
        ~Cleanup() { if (on) QFile::remove(p); }
    } cleanup{bookPath, macro};
    int written = 0;
    QList<int> lastRows; // the last row (from 1) written to each sheet
    {
        Book book(bookPath);
        qint64 total = 0;
        for (const auto& s : sheets) total = s.rows && s.rows->sizeHint() >= 0 && total >= 0 ? total + s.rows->sizeHint() : -1;
        for (const auto& s : sheets) {
            if (!s.rows) {
                if (skipped) *skipped << CannotOpenQueryText(s.name);
                continue;
            }
            const QList<Column> cols = s.rows->columns();
            lxw_worksheet* ws = book.addSheet(s.name, QString());
            lastRows << (cols.isEmpty() ? 0 : 1);
            ++written;
            WriteExcelHeader(ws, cols);
            int sheetRow = 1; // the next row (0-based) of the current sheet
            int k = 0;
            QVariantList row;
            while (s.rows->next(row)) {
                if (sheetRow >= limit) {
                    ws = book.addSheet(s.name, QLatin1Char('_') + QString::number(++k));
                    WriteExcelHeader(ws, cols);
                    sheetRow = 1;
                    lastRows << (cols.isEmpty() ? 0 : 1);
                }
                bool any = false;
                for (int c = 0; c < cols.size() && c < 16384; ++c)
                    any = writeValue(ws, lxw_row_t(sheetRow), lxw_col_t(c), row.value(c), cols[c], book.formats(), notes) || any;
                ++sheetRow;
                if (any) lastRows.last() = sheetRow;
                if (++notes.rows % 100 == 0) reportProgress(progress, notes.rows, total);
            }
        }
        if (written == 0) book.addSheet(sheets.isEmpty() ? QString() : sheets.first().name, QString());
        book.close();
    }
    if (written > 0) verifyWorkbook(bookPath, lastRows);
    reportProgress(progress, notes.rows, notes.rows);
    if (macro) copyMacroEnabled(bookPath, path);
    return notes;
}

} // namespace vl::exchange
