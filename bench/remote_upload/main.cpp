// bench_remote_upload [ROWS]: a generated database of ROWS customers and as
// many log rows (default 300000) is backed up by the backup service, uploaded
// to the loopback FTP servers of scripts/test-ftpserver.sh (plain, then TLS;
// VORLANDA_TEST_FTP_* in the environment), fetched back and restored for
// verification. Prints the time and throughput of each step.
#include "db/Database.h"
#include "remote/Backup.h"
#include "remote/Ftp.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace vl::remote;

static void line(const char* what, qint64 ms, qint64 bytes) {
    std::printf("%-34s %8lld ms  %10lld bytes  %8.1f MB/s\n", what, (long long)ms, (long long)bytes,
                ms > 0 ? double(bytes) / 1048576.0 / (double(ms) / 1000.0) : 0.0);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 300000;
    QTemporaryDir dir;
    vl::db::prepareEmbeddedEngine();
    const QString db = dir.filePath(QStringLiteral("PKR.FDB"));
    {
        vl::db::ConnectParams p;
        p.database = db;
        auto conn = vl::db::createFirebirdDatabase(p);
        conn->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(60), CIM VARCHAR(80))"));
        conn->exec(QStringLiteral("CREATE TABLE NAPLO (ID INTEGER NOT NULL, SZOVEG VARCHAR(100))"));
        QElapsedTimer t;
        t.start();
        auto tx = conn->begin();
        auto a = tx->prepare(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, CIM) VALUES (:k, :n, :c)"));
        auto b = tx->prepare(QStringLiteral("INSERT INTO NAPLO (ID, SZOVEG) VALUES (:k, :s)"));
        for (int i = 1; i <= rows; ++i) {
            a->bindAll({{"k", i}, {"n", QStringLiteral("Ügyfél őrző %1").arg(i)}, {"c", QStringLiteral("Fő utca %1.").arg(i % 300)}});
            a->execute();
            b->bindAll({{"k", i}, {"s", QStringLiteral("bejegyzés %1 a napló sorában").arg(i)}});
            b->execute();
        }
        tx->commit();
        conn->close();
        std::printf("generated %d + %d rows in %lld ms, database %lld bytes\n", rows, rows, (long long)t.elapsed(),
                    (long long)QFileInfo(db).size());
    }
    QElapsedTimer t;
    const QString backup = dir.filePath(QStringLiteral("PKR.fbk"));
    t.start();
    int lines = 0;
    BackupDatabase({db, {}, {}}, backup, [&](const QString&, qint64) { ++lines; });
    line("backup (embedded, service)", t.elapsed(), QFileInfo(backup).size());
    const qint64 size = QFileInfo(backup).size();

    const QString user = qEnvironmentVariable("VORLANDA_TEST_FTP_USER");
    const QString password = qEnvironmentVariable("VORLANDA_TEST_FTP_PASSWORD");
    const QString root = qEnvironmentVariable("VORLANDA_TEST_FTP_ROOT");
    struct Srv { const char* name; QString host; QString ca; };
    const Srv servers[] = {{"plain", qEnvironmentVariable("VORLANDA_TEST_FTP_HOST"), QString()},
                           {"TLS", qEnvironmentVariable("VORLANDA_TEST_FTPS_HOST"), qEnvironmentVariable("VORLANDA_TEST_FTP_CA")}};
    for (const Srv& s : servers) {
        if (s.host.isEmpty()) {
            std::printf("%s: no server (scripts/test-ftpserver.sh)\n", s.name);
            continue;
        }
        FtpClient c;
        c.setSettings({s.host, user, password, QString(), s.ca});
        if (c.FtpConnect(false) != 0) {
            std::printf("%s: cannot connect (%d)\n", s.name, c.lastError());
            continue;
        }
        t.restart();
        const int up = c.FtpUpload(backup, QStringLiteral("bench.fbk"));
        const qint64 upMs = t.elapsed();
        const qint64 onServer = c.remoteSize(QStringLiteral("bench.fbk"));
        line(qPrintable(QStringLiteral("upload %1%2").arg(QString::fromLatin1(s.name), up ? QStringLiteral(" FAILED") : QString())),
             upMs, size);
        t.restart();
        const int down = c.FtpDownload(QStringLiteral("bench.fbk"), dir.filePath(QStringLiteral("back.fbk")));
        line(qPrintable(QStringLiteral("download %1%2").arg(QString::fromLatin1(s.name), down ? QStringLiteral(" FAILED") : QString())),
             t.elapsed(), QFileInfo(dir.filePath(QStringLiteral("back.fbk"))).size());
        std::printf("  size on server %lld (%s)\n", (long long)onServer, onServer == size ? "matches" : "DIFFERS");
        c.FtpDisconnect();
        if (!root.isEmpty()) QFile::remove(QDir(root).filePath(QStringLiteral("bench.fbk")));
    }
    t.restart();
    const auto check = VerifyBackup(backup, {{QStringLiteral("UGYFEL"), rows}, {QStringLiteral("NAPLO"), rows}}, dir.path());
    line("verification restore (embedded)", t.elapsed(), size);
    std::printf("  row counts %s\n", check.ok() ? "equal" : qPrintable(check.differences.join(QStringLiteral("; "))));
    vl::db::shutdownEngine();
    return 0;
}
