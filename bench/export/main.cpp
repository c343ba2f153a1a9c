// bench_export [--rows N] [--dir DIR] [--runs N] [--keep DIR] [--no-check]
//
// A table of N rows (default 100,000) and 10 columns of the kinds the program
// exports (codes, names, a memo-length text, integers, a big integer, a money
// amount, a float, a date, a time stamp, a flag). Measures, each --runs times
// (default 5) side by side, keeping the best and the median:
//   - the SELECT of all rows through the client API (the rows fetched whole,
//     as every export gets them);
//   - the XLSX export of the fetched rows, and the floor beside it: the same
//     cells (rows, columns, types, number formats, the header and its widths)
//     written by a bare loop over libxlsxwriter in the same constant-memory
//     mode;
//   - the SELECT followed by the export to XLSX and to CSV, against the bare
//     SELECT.
// Prints the times, the ratios and how much the process's memory grew while a
// file was written.
//
// Then it checks what was written: the CSV's SHA-256 against the one the
// earlier writer gave for the same generated rows (known for 2,000, 20,000
// and 100,000 rows), and the export's workbook against the bare loop's, cell
// by cell (value, type, number format) and column by column (width), read
// back with python3-openpyxl (bench/export/compare_xlsx.py). A difference is
// printed and the bench exits with 1. --keep DIR leaves the files there.
#include "db/Database.h"
#include "exchange/ExportQuery.h"
#include "exchange/XlsxExport.h"
#include "util/Numbers.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <xlsxwriter.h>

#ifndef VL_BENCH_DIR
#define VL_BENCH_DIR "."
#endif

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Resident memory of the process in kB.
long rssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

const char* kSelect = "SELECT KOD, NEV, CIM, DARAB, AZON, OSSZEG, ARANY, NAP, IDO, AKTIV FROM ADAT ORDER BY AZON";

void fill(vl::db::Connection& conn, int rows) {
    conn.exec(QStringLiteral("CREATE TABLE ADAT (KOD VARCHAR(10), NEV VARCHAR(60), CIM VARCHAR(100), DARAB INTEGER,"
                             " AZON BIGINT NOT NULL PRIMARY KEY, OSSZEG NUMERIC(15,2), ARANY DOUBLE PRECISION, NAP DATE,"
                             " IDO TIMESTAMP, AKTIV BOOLEAN)"));
    auto tx = conn.begin();
    auto st = tx->prepare(QStringLiteral("INSERT INTO ADAT VALUES (:kod, :nev, :cim, :darab, :azon, :osszeg, :arany,"
                                         " :nap, :ido, :aktiv)"));
    const QDate d0(2026, 1, 1);
    for (int i = 0; i < rows; ++i) {
        st->bind(QStringLiteral("kod"), QStringLiteral("%1").arg(i % 100000, 5, 10, QLatin1Char('0')));
        st->bind(QStringLiteral("nev"), QStringLiteral("Ügyfél Kft. %1 Árvíztűrő").arg(i));
        st->bind(QStringLiteral("cim"), QStringLiteral("%1 Budapest, Fő utca %2.").arg(1000 + i % 200).arg(i % 150));
        st->bind(QStringLiteral("darab"), i % 37);
        st->bind(QStringLiteral("azon"), qint64(10000000000LL) + i);
        st->bind(QStringLiteral("osszeg"), (i % 100000) * 1.25);
        st->bind(QStringLiteral("arany"), i / 7.0);
        st->bind(QStringLiteral("nap"), d0.addDays(i % 365));
        st->bind(QStringLiteral("ido"), QDateTime(d0.addDays(i % 365), QTime(i % 24, i % 60, i % 60)));
        st->bind(QStringLiteral("aktiv"), i % 3 != 0);
        st->execute();
    }
    tx->commit();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}
double best(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }

double seconds(const std::function<void()>& run) {
    QElapsedTimer t;
    t.start();
    run();
    return t.nsecsElapsed() / 1e9;
}

lxw_datetime lxwOf(const QDate& d, const QTime& t) {
    lxw_datetime x{};
    x.year = d.year();
    x.month = d.month();
    x.day = d.day();
    if (t.isValid()) {
        x.hour = t.hour();
        x.min = t.minute();
        x.sec = t.second() + t.msec() / 1000.0;
    }
    return x;
}

// The floor of the XLSX export: the same cells written straight from the
// fetched rows by libxlsxwriter, nothing else (no temporary file, no read-back).
void bareXlsx(const vl::db::RowSet& rs, const QString& path) {
    lxw_workbook_options opt{};
    opt.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(path).constData(), &opt);
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy.mm.dd");
    lxw_format* stamp = workbook_add_format(wb);
    format_set_num_format(stamp, "yyyy.mm.dd hh:mm:ss");
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Adat");
    vl::exchange::WriteExcelHeader(ws, rs.columns());
    const int n = rs.columnCount();
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QVariantList& row = rs.row(r);
        const lxw_row_t xr = lxw_row_t(r + 1);
        for (int c = 0; c < n; ++c) {
            const QVariant& v = row.at(c);
            if (v.isNull()) continue;
            switch (v.typeId()) {
            case QMetaType::QString: {
                const QString& s = *static_cast<const QString*>(v.constData());
                if (!s.isEmpty()) worksheet_write_string(ws, xr, lxw_col_t(c), s.toUtf8().constData(), nullptr);
                break;
            }
            case QMetaType::Bool: worksheet_write_boolean(ws, xr, lxw_col_t(c), v.toBool(), nullptr); break;
            case QMetaType::Double: {
                double d = v.toDouble();
                if (std::fabs(d) < 1e9) d = vl::util::RoundDecimals(5, d);
                worksheet_write_number(ws, xr, lxw_col_t(c), d, nullptr);
                break;
            }
            case QMetaType::LongLong: worksheet_write_number(ws, xr, lxw_col_t(c), double(v.toLongLong()), nullptr); break;
            case QMetaType::QDate: {
                lxw_datetime x = lxwOf(v.toDate(), QTime());
                worksheet_write_datetime(ws, xr, lxw_col_t(c), &x, date);
                break;
            }
            case QMetaType::QDateTime: {
                const QDateTime dt = v.toDateTime();
                lxw_datetime x = lxwOf(dt.date(), dt.time());
                worksheet_write_datetime(ws, xr, lxw_col_t(c), &x, stamp);
                break;
            }
            default: break;
            }
        }
    }
    workbook_close(wb);
}

QByteArray sha256(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

// The CSV the earlier writer made of the generated rows.
QByteArray knownCsv(int rows) {
    switch (rows) {
    case 2000: return QByteArrayLiteral("4fc2cf26d8a1326263437637df54800a0b2d6d013b2adc44195fe62b5e0234aa");
    case 20000: return QByteArrayLiteral("7bde498f648670a37b01a0b678bce8f8fede352369c80409a3d3166987723bdf");
    case 100000: return QByteArrayLiteral("3d0bc4c3461156fb5421a4f4e39103d6eca42c2d8f4a60fc5065bc8325d8351e");
    default: return {};
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rows = 100000, runs = 5;
    bool check = true;
    QString dirArg, keep;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--rows") && i + 1 < a.size()) rows = a[++i].toInt();
        else if (a[i] == QStringLiteral("--dir") && i + 1 < a.size()) dirArg = a[++i];
        else if (a[i] == QStringLiteral("--runs") && i + 1 < a.size()) runs = std::max(1, a[++i].toInt());
        else if (a[i] == QStringLiteral("--keep") && i + 1 < a.size()) keep = a[++i];
        else if (a[i] == QStringLiteral("--no-check")) check = false;
    }
    QTemporaryDir tmp(dirArg.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_export-XXXXXX")
                                       : dirArg + QStringLiteral("/bench_export-XXXXXX"));
    qputenv("FIREBIRD_LOCK", QFile::encodeName(tmp.filePath(QStringLiteral("lock"))));
    QDir().mkpath(tmp.filePath(QStringLiteral("lock")));
    vl::db::prepareEmbeddedEngine();
    vl::db::ConnectParams p;
    p.database = tmp.filePath(QStringLiteral("bench.fdb"));
    auto conn = vl::db::createFirebirdDatabase(p);
    QElapsedTimer t;
    t.start();
    fill(*conn, rows);
    say(QStringLiteral("%1 sor × 10 oszlop beírva: %2 s").arg(rows).arg(t.nsecsElapsed() / 1e9, 0, 'f', 2));

    auto select = [&] {
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        vl::db::RowSet rs = tx->query(QString::fromLatin1(kSelect));
        tx->commit();
        return rs;
    };
    const QString xlsx = tmp.filePath(QStringLiteral("adat.xlsx"));
    const QString bare = tmp.filePath(QStringLiteral("bare.xlsx"));
    const QString csv = tmp.filePath(QStringLiteral("adat.csv"));
    auto exportTo = [](const vl::db::RowSet& rs, const QString& target, long* grew) {
        const long before = rssKb();
        vl::exchange::RowSetSource src(rs);
        vl::exchange::ExportRequest req;
        req.sheetName = QStringLiteral("Adat");
        vl::exchange::ExportToFile(src, target, vl::exchange::FormatOfFile(target), req);
        if (grew) *grew = std::max(*grew, rssKb() - before);
    };

    // Rounds of every measurement side by side: a busy moment of the shared
    // machine falls on all of them alike.
    std::vector<double> sel, xl, xlBare, selXl, selCsv;
    long grewXlsx = 0, grewCsv = 0;
    for (int run = 0; run < runs; ++run) {
        // The SELECT as every export gets it: fetched, used, let go.
        sel.push_back(seconds([&] { (void)select(); }));
        vl::db::RowSet rs = select();
        xl.push_back(seconds([&] { exportTo(rs, xlsx, nullptr); }));
        xlBare.push_back(seconds([&] { bareXlsx(rs, bare); }));
        rs = {};
        selXl.push_back(seconds([&] { exportTo(select(), xlsx, &grewXlsx); }));
        selCsv.push_back(seconds([&] { exportTo(select(), csv, &grewCsv); }));
    }
    auto mb = [](const QString& f) { return QFileInfo(f).size() / 1048576.0; };
    say(QStringLiteral("SELECT (a sorok a kliens API-n át):   legjobb %1 s, medián %2 s (%3 kör)")
            .arg(best(sel), 0, 'f', 3).arg(median(sel), 0, 'f', 3).arg(runs));
    say(QStringLiteral("XLSX a lehívott sorokból:            legjobb %1 s, medián %2 s")
            .arg(best(xl), 0, 'f', 3).arg(median(xl), 0, 'f', 3));
    say(QStringLiteral("  ugyanezek a cellák csupasz libxlsxwriter-ciklussal: legjobb %1 s, medián %2 s;"
                       " arány %3× / %4×")
            .arg(best(xlBare), 0, 'f', 3).arg(median(xlBare), 0, 'f', 3)
            .arg(best(xl) / best(xlBare), 0, 'f', 2).arg(median(xl) / median(xlBare), 0, 'f', 2));
    say(QStringLiteral("SELECT + XLSX: legjobb %1 s, arány %2× (medián %3×), a csupasz ciklushoz %4×, fájl %5 MB,"
                       " memória írás közben +%6 MB")
            .arg(best(selXl), 0, 'f', 3).arg(best(selXl) / best(sel), 0, 'f', 2)
            .arg(median(selXl) / median(sel), 0, 'f', 2)
            .arg(best(selXl) / (best(sel) + best(xlBare)), 0, 'f', 2)
            .arg(mb(xlsx), 0, 'f', 1).arg(grewXlsx / 1024.0, 0, 'f', 1));
    say(QStringLiteral("SELECT + CSV : legjobb %1 s, arány %2× (medián %3×), fájl %4 MB, memória írás közben +%5 MB")
            .arg(best(selCsv), 0, 'f', 3).arg(best(selCsv) / best(sel), 0, 'f', 2)
            .arg(median(selCsv) / median(sel), 0, 'f', 2).arg(mb(csv), 0, 'f', 1).arg(grewCsv / 1024.0, 0, 'f', 1));

    int rc = 0;
    const QByteArray csvHash = sha256(csv);
    const QByteArray known = knownCsv(rows);
    if (known.isEmpty()) {
        say(QStringLiteral("CSV SHA-256 %1 (nincs ismert értéke %2 sorra)").arg(QString::fromLatin1(csvHash)).arg(rows));
    } else if (csvHash == known) {
        say(QStringLiteral("CSV: bájtra azonos a korábbi íróéval (SHA-256 %1)").arg(QString::fromLatin1(csvHash)));
    } else {
        say(QStringLiteral("CSV ELTÉR A KORÁBBI ÍRÓÉTÓL: SHA-256 %1, várt %2")
                .arg(QString::fromLatin1(csvHash), QString::fromLatin1(known)));
        rc = 1;
    }
    if (check) {
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(VL_BENCH_DIR "/compare_xlsx.py"), xlsx, bare});
        py.waitForFinished(-1);
        const QString out = QString::fromUtf8(py.readAllStandardOutput() + py.readAllStandardError()).trimmed();
        if (py.exitStatus() == QProcess::NormalExit && py.exitCode() == 0) {
            say(QStringLiteral("XLSX: ") + out);
        } else if (py.exitCode() == 2) {
            say(QStringLiteral("XLSX: nincs összevetve (%1)").arg(out));
        } else {
            say(QStringLiteral("XLSX ELTÉR A CSUPASZ CIKLUSÉTÓL:\n") + out);
            rc = 1;
        }
    }
    if (!keep.isEmpty()) {
        QDir().mkpath(keep);
        for (const QString& f : {xlsx, bare, csv}) {
            const QString to = keep + QLatin1Char('/') + QFileInfo(f).fileName();
            QFile::remove(to);
            QFile::copy(f, to);
        }
    }
    conn->close();
    vl::db::shutdownEngine();
    return rc;
}
