// bench_export [--rows N] [--dir DIR]
//
// A table of N rows (default 100,000) and 10 columns of the kinds the program
// exports (codes, names, a memo-length text, integers, a big integer, a money
// amount, a float, a date, a time stamp, a flag). Measures, each five times
// and keeping the best: the SELECT of all rows through the client API (the
// rows fetched whole, as every export gets them), then the SELECT followed by
// the export to XLSX and to CSV. Prints the times, the ratios to the bare
// SELECT and how much the process's memory grew while the file was written.
#include "db/Database.h"
#include "exchange/ExportQuery.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

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

double best(int times, const std::function<void()>& run) {
    double b = 1e300;
    for (int k = 0; k < times; ++k) {
        QElapsedTimer t;
        t.start();
        run();
        b = qMin(b, t.nsecsElapsed() / 1e9);
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rows = 100000;
    QString dirArg;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--rows") && i + 1 < a.size()) rows = a[++i].toInt();
        else if (a[i] == QStringLiteral("--dir") && i + 1 < a.size()) dirArg = a[++i];
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
    const double sel = best(5, [&] { (void)select(); });
    say(QStringLiteral("SELECT (a sorok a kliens API-n át):   %1 s").arg(sel, 0, 'f', 3));

    for (const QString name : {QStringLiteral("adat.xlsx"), QStringLiteral("adat.csv")}) {
        const QString target = tmp.filePath(name);
        long grew = 0;
        const double all = best(5, [&] {
            const vl::db::RowSet rs = select();
            const long before = rssKb();
            vl::exchange::RowSetSource src(rs);
            vl::exchange::ExportRequest req;
            req.sheetName = QStringLiteral("Adat");
            vl::exchange::ExportToFile(src, target, vl::exchange::FormatOfFile(target), req);
            grew = qMax(grew, rssKb() - before);
        });
        say(QStringLiteral("SELECT + %1: %2 s, arány %3×, fájl %4 MB, memória írás közben +%5 MB")
                .arg(name.section(QLatin1Char('.'), 1).toUpper(), -4)
                .arg(all, 0, 'f', 3)
                .arg(all / sel, 0, 'f', 2)
                .arg(QFileInfo(target).size() / 1048576.0, 0, 'f', 1)
                .arg(grew / 1024.0, 0, 'f', 1));
    }
    conn->close();
    vl::db::shutdownEngine();
    return 0;
}
