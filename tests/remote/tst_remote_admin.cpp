// upload, backup, restore and update through the real vorlanda-admin, on the
// demonstration database and the loopback FTP server (TLS, the certificate
// trusted through FTPCAFILE).
#include "RemoteTestEnv.h"

#include "remote/Backup.h"
#include "remote/Ftp.h"
#include "util/Scramble.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

using namespace remotetest;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run admin(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(VL_ADMIN_EXE), args);
    Run r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timeout");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QMap<QString, qint64> countsOf(const QString& path) {
    vl::db::ConnectParams p;
    p.database = path;
    auto c = vl::db::connect(p);
    auto counts = vl::remote::TableRowCounts(*c);
    c->close();
    return counts;
}

} // namespace

class TestRemoteAdmin : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;
    FtpEnv env;

    void setStorage(const QString& host, const QString& folder) {
        vl::db::ConnectParams p;
        p.database = db;
        auto c = vl::db::connect(p);
        using vl::util::Scramble;
        c->exec(QStringLiteral("UPDATE CEG SET FTPHOST = :h, FTPUSERID = :u, FTPPWDID = :p, FTP_DFOLDER = :f"),
                {{"h", Scramble(host)}, {"u", Scramble(env.user)}, {"p", Scramble(env.password)}, {"f", folder}});
        c->close();
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(dir.isValid());
        env = ftpEnv();
        db = dir.filePath(QStringLiteral("var/pkr.fdb"));
        writeFile(dir.filePath(QStringLiteral("PKR.INI")),
                  QStringLiteral("DBSERVER=%1\r\nWPWD=ZUMOR\r\nFTPCAFILE=%2\r\n").arg(db, env.ca).toUtf8());
        const Run init = admin(dir.path(), {QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
    }

    void uploadRestores() {
        REQUIRE_FTP(env);
        setStorage(env.tlsHost, QStringLiteral("nem-ez"));
        makeServerFolder(env, QStringLiteral("admin-feltolt"));
        const Run up = admin(dir.path(), {QStringLiteral("upload"), QStringLiteral("--folder"), QStringLiteral("admin-feltolt")});
        QVERIFY2(up.code == 0, qPrintable(up.out + up.err));
        QVERIFY2(up.err.contains(QStringLiteral("A teljes adatbázis felkerült a ") + env.tlsHost + QStringLiteral(" FTP szerverre.")),
                 qPrintable(up.err));
        QVERIFY(!(up.out + up.err).contains(env.password));
        const QString onServer = QDir(env.root).filePath(QStringLiteral("admin-feltolt/pkr.fbk"));
        QVERIFY(QFileInfo(onServer).size() > 0);
        // The uploaded backup restores to the demonstration data, table by table.
        int rc = 0;
        const QString restored = dir.filePath(QStringLiteral("visszaallitott.fdb"));
        const QString out = runFbTool(QStringLiteral("gbak"),
                                      {QStringLiteral("-c"), QStringLiteral("-user"), QStringLiteral("SYSDBA"), onServer, restored}, &rc);
        QVERIFY2(rc == 0, qPrintable(out));
        const auto live = countsOf(db), back = countsOf(restored);
        QVERIFY(live.value(QStringLiteral("FORGFEJ")) > 0);
        QCOMPARE(back, live);
    }

    void uploadRefused() {
        const Run up = admin(dir.path(), {QStringLiteral("upload"), QStringLiteral("--host"), QStringLiteral("127.0.0.1:1")});
        QCOMPARE(up.code, 1);
        QVERIFY2(up.err.contains(QStringLiteral("Nincs kapcsolat a 127.0.0.1:1 FTP szerverrel.")), qPrintable(up.err));
        QVERIFY(!up.err.contains(QStringLiteral("felkerült")));
    }

    void backupAndRestore() {
        const QString file = dir.filePath(QStringLiteral("mentes/pkr.fbk"));
        QDir().mkpath(dir.filePath(QStringLiteral("mentes")));
        const Run b = admin(dir.path(), {QStringLiteral("backup"), file});
        QVERIFY2(b.code == 0, qPrintable(b.out + b.err));
        QVERIFY2(b.out.contains(QStringLiteral("egyezik")), qPrintable(b.out));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("mentes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("pkr.fbk")});
        const QString target = dir.filePath(QStringLiteral("uj.fdb"));
        const Run r = admin(dir.path(), {QStringLiteral("restore"), file, target});
        QVERIFY2(r.code == 0, qPrintable(QStringLiteral("exit %1\n").arg(r.code) + r.out + r.err.right(400)));
        QCOMPARE(countsOf(target), countsOf(db));
        // Never over a database.
        const qint64 size = QFileInfo(db).size();
        const Run over = admin(dir.path(), {QStringLiteral("restore"), file, db});
        QVERIFY(over.code != 0);
        QVERIFY2(over.err.contains(QStringLiteral("nem írom felül")), qPrintable(over.err));
        QCOMPARE(QFileInfo(db).size(), size);
        QVERIFY(!countsOf(db).isEmpty());
    }

    void update() {
        REQUIRE_FTP(env);
        const QString folder = QStringLiteral("admin-frissites");
        const QString server = makeServerFolder(env, folder);
        setStorage(env.tlsHost, folder);
        // A program for this machine: it starts with the ELF header of the running test.
        QFile self(QStringLiteral("/proc/self/exe"));
        QVERIFY(self.open(QIODevice::ReadOnly));
        const QByteArray newProgram = self.read(64) + "uj program";
        writeFile(server + QStringLiteral("/VORLANDA.INF"), "VERSION=99.0\r\nADDTOINI=UJKULCS=1\r\n");
        writeFile(server + QStringLiteral("/VORLANDA"), newProgram);
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        const QString program = dir.filePath(QStringLiteral("bin/vorlanda"));
        writeFile(program, "regi program");

        // Without a published hash nothing is installed.
        const Run unsigned_ = admin(dir.path(), {QStringLiteral("update"), QStringLiteral("--program"), program,
                                                 QStringLiteral("--version"), QStringLiteral("1.6.2")});
        QCOMPARE(unsigned_.code, 1);
        QVERIFY2(unsigned_.err.contains(QStringLiteral("A frissítés nem ellenőrizhető: a frissítési információkban nincs "
                                                       "SHA256 sor ehhez: VORLANDA")),
                 qPrintable(unsigned_.err));
        QCOMPARE(readFile(program), QByteArray("regi program"));
        QVERIFY(!QFileInfo::exists(program + QStringLiteral("1.6.2")));
        writeFile(server + QStringLiteral("/VORLANDA.INF"),
                  "VERSION=99.0\r\nADDTOINI=UJKULCS=1\r\nSHA256=VORLANDA " +
                      QCryptographicHash::hash(newProgram, QCryptographicHash::Sha256).toHex() + "\r\n");

        const Run check = admin(dir.path(), {QStringLiteral("update"), QStringLiteral("--program"), program,
                                             QStringLiteral("--version"), QStringLiteral("1.6.2"), QStringLiteral("--check")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        QVERIFY2(check.err.contains(QStringLiteral("Újabb program érhető el: 99.0")), qPrintable(check.err));
        QCOMPARE(readFile(program), QByteArray("regi program"));

        const Run up = admin(dir.path(), {QStringLiteral("update"), QStringLiteral("--program"), program,
                                          QStringLiteral("--version"), QStringLiteral("1.6.2")});
        QVERIFY2(up.code == 0, qPrintable(up.out + up.err));
        QCOMPARE(readFile(program), newProgram);
        QCOMPARE(readFile(program + QStringLiteral("1.6.2")), QByteArray("regi program"));
        QVERIFY(QString::fromLatin1(readFile(dir.filePath(QStringLiteral("PKR.INI")))).contains(QStringLiteral("UJKULCS=1")));
        QVERIFY(up.err.contains(QStringLiteral("Kérem indítsa újra a programot!")));
        QCOMPARE(QDir(server).entryList({QStringLiteral("download_*")}, QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRemoteAdmin)
#include "tst_remote_admin.moc"
