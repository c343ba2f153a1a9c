// upload, backup, restore and update through the real vorlanda-admin, on the
// demonstration database and the loopback FTP server (TLS, the certificate
// trusted through FTPCAFILE).
#include "RemoteTestEnv.h"

#include "remote/Backup.h"
#include "remote/Ftp.h"
#include "util/Scramble.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>

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

// Waits until the process stops at its test point; its pid, 0 when it ended first.
qint64 waitStopped(QProcess& p, QString* seen) {
    QByteArray err;
    for (int i = 0; i < 1200; ++i) {
        if (p.state() == QProcess::NotRunning) break;
        p.waitForReadyRead(200);
        err += p.readAllStandardError();
        const int at = err.indexOf("VL_TEST_STOPPED ");
        if (at >= 0 && err.indexOf('\n', at) > at) {
            const QList<QByteArray> parts = err.mid(at, err.indexOf('\n', at) - at).split(' ');
            *seen = QString::fromUtf8(err);
            return parts.size() >= 3 ? parts.at(2).toLongLong() : 0;
        }
    }
    *seen = QString::fromUtf8(err + p.readAllStandardError() + p.readAllStandardOutput());
    return 0;
}

// The pid of a process that has ended (a leftover's owner that is gone).
qint64 deadPid() {
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

QString hostTag() {
    QString t;
    for (const QChar c : QSysInfo::machineHostName())
        if (c.isLetterOrNumber() && c.unicode() < 128) t += c;
    return t.isEmpty() ? QStringLiteral("x") : t.left(16);
}

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

QStringList entriesOf(const QString& folder) {
    QStringList l = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    l.sort();
    return l;
}

QString permsOf(const QString& path) {
    struct stat sb {};
    if (::stat(QFile::encodeName(path).constData(), &sb) != 0) return QStringLiteral("missing");
    return QString::number(sb.st_mode & 0777, 8);
}

// "force write" among the attributes of the database's header page.
QString headerAttributes(const QString& db) {
    int rc = -1;
    const QString out = runFbTool(QStringLiteral("fbstat"), {QStringLiteral("-h"), db}, &rc);
    if (rc != 0) return QStringLiteral("fbstat failed: ") + out;
    for (const QString& line : out.split(QLatin1Char('\n')))
        if (line.trimmed().startsWith(QLatin1String("Attributes"))) return line.trimmed();
    return QStringLiteral("no Attributes line: ") + out;
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
    int brokenCase = 0;

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
        // The backup and its manifest, nothing else (no temporary file, no verification folder); owner-only.
        QCOMPARE(entriesOf(dir.filePath(QStringLiteral("mentes"))),
                 (QStringList{QStringLiteral("pkr.fbk"), QStringLiteral("pkr.fbk.json")}));
        QCOMPARE(permsOf(file), QStringLiteral("600"));
        QCOMPARE(permsOf(file + QStringLiteral(".json")), QStringLiteral("600"));
        const auto manifest = vl::remote::ReadManifest(file + QStringLiteral(".json"));
        QCOMPARE(manifest.sha256, vl::remote::FileSha256(file));
        QCOMPARE(manifest.size, QFileInfo(file).size());
        QCOMPARE(manifest.version, QStringLiteral(VORLANDA_VERSION));
        QCOMPARE(manifest.tables, countsOf(db));
        QVERIFY(manifest.tables.value(QStringLiteral("FORGFEJ")) > 0);
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
        // Created and restored databases write through to the disk.
        QCOMPARE(headerAttributes(db), QStringLiteral("Attributes\t\tforce write"));
        QCOMPARE(headerAttributes(target), QStringLiteral("Attributes\t\tforce write"));
        QCOMPARE(permsOf(target), QStringLiteral("600"));
        QCOMPARE(countsOf(target).value(QStringLiteral("VL_KESZ")), qint64(1));
    }

    // The embedded engine is run as several processes share one file safely:
    // each process its own cache, one lock table (Classic).
    void embeddedEngineSharesSafely() {
        QFile conf(QFileInfo(QStringLiteral(VL_ADMIN_EXE)).absolutePath() + QStringLiteral("/firebird/firebird.conf"));
        QVERIFY2(conf.open(QIODevice::ReadOnly), qPrintable(conf.fileName()));
        QStringList settings;
        for (const QString& line : QString::fromUtf8(conf.readAll()).split(QLatin1Char('\n'))) {
            const QString l = line.section(QLatin1Char('#'), 0, 0).simplified();
            if (!l.isEmpty()) settings << l;
        }
        QVERIFY2(settings.contains(QStringLiteral("ServerMode = Classic")), qPrintable(settings.join('\n')));
        for (const QString& l : settings) QVERIFY2(!l.startsWith(QLatin1String("SharedCache")), qPrintable(l));
    }

    // A backup that is cut, altered or stripped of its manifest never
    // restores as a success, and leaves no database behind.
    void restoreRefusesBrokenBackups_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("cut, checked by the engine") << "cut" << QStringList{QStringLiteral("--no-manifest")} << 1
                                                    << QStringLiteral("A visszatöltés nem sikerült, a mentés hibás vagy hiányos");
        QTest::newRow("cut, checked by the manifest") << "cut" << QStringList() << 1
                                                      << QStringLiteral("nem egyezik a leírójával");
        QTest::newRow("a byte changed") << "flip" << QStringList() << 1 << QStringLiteral("nem egyezik a leírójával");
        QTest::newRow("counts differ from the manifest") << "counts" << QStringList() << 1
                                                         << QStringLiteral("FORGFEJ: a mentésben");
        QTest::newRow("no manifest") << "nomanifest" << QStringList() << 2 << QStringLiteral("--no-manifest");
        QTest::newRow("manifest not JSON") << "garbage" << QStringList() << 1 << QStringLiteral("A mentés leírója hibás");
    }
    void restoreRefusesBrokenBackups() {
        QFETCH(QString, how);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, says);
        const QString good = dir.filePath(QStringLiteral("mentes/pkr.fbk"));
        QVERIFY2(QFileInfo::exists(good), "backupAndRestore makes the backup");
        const QString folder = dir.filePath(QStringLiteral("rossz-%1").arg(++brokenCase));
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/pkr.fbk");
        QByteArray bytes = readFile(good);
        QByteArray manifest = readFile(good + QStringLiteral(".json"));
        if (how == QLatin1String("cut")) bytes.truncate(bytes.size() / 3);
        if (how == QLatin1String("flip")) bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x55);
        if (how == QLatin1String("garbage")) manifest = "{\"sha256\": ";
        if (how == QLatin1String("counts")) {
            QJsonObject o = QJsonDocument::fromJson(manifest).object();
            QJsonObject t = o.value(QStringLiteral("tables")).toObject();
            t.insert(QStringLiteral("FORGFEJ"), t.value(QStringLiteral("FORGFEJ")).toDouble() + 1);
            o.insert(QStringLiteral("tables"), t);
            manifest = QJsonDocument(o).toJson();
        }
        writeFile(file, bytes);
        if (how != QLatin1String("nomanifest")) writeFile(file + QStringLiteral(".json"), manifest);
        const QString target = folder + QStringLiteral("/cel.fdb");
        const Run r = admin(dir.path(), QStringList{QStringLiteral("restore"), file, target} + options);
        QCOMPARE(r.code, code);
        QVERIFY2((r.out + r.err).contains(says), qPrintable(r.out + r.err.right(1500)));
        QVERIFY2(!r.out.contains(QStringLiteral("Visszatöltve")), qPrintable(r.out));
        // Nothing under the target's name, no temporary database either.
        QCOMPARE(entriesOf(folder).filter(QStringLiteral("cel.fdb")), QStringList());
    }

    // Without a manifest, and only when asked, a good backup restores and says
    // that its counts were not compared.
    void restoreWithoutManifest() {
        const QString good = dir.filePath(QStringLiteral("mentes/pkr.fbk"));
        const QString folder = dir.filePath(QStringLiteral("leiro-nelkul"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(good, folder + QStringLiteral("/pkr.fbk")));
        const QString target = folder + QStringLiteral("/cel.fdb");
        const Run r = admin(dir.path(), {QStringLiteral("restore"), folder + QStringLiteral("/pkr.fbk"), target,
                                         QStringLiteral("--no-manifest")});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err.right(800)));
        QVERIFY2(r.out.contains(QStringLiteral("A sorok számát nem hasonlítottam össze a mentéssel")), qPrintable(r.out));
        QCOMPARE(countsOf(target).value(QStringLiteral("FORGFEJ")), countsOf(db).value(QStringLiteral("FORGFEJ")));
    }

    // A restore killed before its end leaves no database under the target's
    // name, only its temporary file, which the next restore removes before it
    // succeeds; a finished one is never touched. (The server route, where the
    // unfinished target is dropped: tst_remote_upload restoreOnServer.)
    void killedRestoreIsRetried() {
        const QString good = dir.filePath(QStringLiteral("mentes/pkr.fbk"));
        const QString folder = dir.filePath(QStringLiteral("megszakitott"));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/cel.fdb");
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("VL_TEST_STOP_AT"), QStringLiteral("restore:rename"));
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(VL_ADMIN_EXE), {QStringLiteral("restore"), good, target});
        QString seen;
        const qint64 pid = waitStopped(p, &seen);
        QVERIFY2(pid > 0, qPrintable(seen));
        ::kill(pid_t(pid), SIGKILL);
        p.waitForFinished();
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY2(!entriesOf(folder).filter(QStringLiteral("_cel.fdb")).isEmpty(), qPrintable(entriesOf(folder).join(' ')));
        Run r = admin(dir.path(), {QStringLiteral("restore"), good, target});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err.right(800)));
        QCOMPARE(entriesOf(folder).filter(QStringLiteral("cel.fdb")),
                 (QStringList{QStringLiteral("cel.fdb"), QStringLiteral("cel.fdb.lock")}));
        QCOMPARE(countsOf(target).value(QStringLiteral("VL_KESZ")), qint64(1));
        QCOMPARE(countsOf(target).value(QStringLiteral("FORGFEJ")), countsOf(db).value(QStringLiteral("FORGFEJ")));
        // The finished database is never touched again.
        const QDateTime stamp = QFileInfo(target).lastModified();
        r = admin(dir.path(), {QStringLiteral("restore"), good, target});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QStringLiteral("nem írom felül")), qPrintable(r.err));
        QCOMPARE(QFileInfo(target).lastModified(), stamp);
    }

    // A backup killed before its rename leaves nothing under the backup's
    // name; the next backup removes what it left (and other dead runs'
    // leftovers, never a living run's); so does the clean-up.
    void killedBackupLeftoversRemoved() {
        const QString folder = dir.filePath(QStringLiteral("maradek"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/pkr.fbk");
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("VL_TEST_STOP_AT"), QStringLiteral("backup:rename"));
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(VL_ADMIN_EXE), {QStringLiteral("backup"), file});
        QString seen;
        const qint64 pid = waitStopped(p, &seen);
        QVERIFY2(pid > 0, qPrintable(seen));
        ::kill(pid_t(pid), SIGKILL);
        p.waitForFinished();
        QVERIFY(!QFileInfo::exists(file));
        const QStringList left = entriesOf(folder);
        QVERIFY2(!left.isEmpty(), "the killed run leaves its temporary file");
        // Leftovers of another dead run, and a living run's (this test's).
        const QString host = hostTag();
        const qint64 dead = deadPid();
        const QString deadFile = QStringLiteral("~vl%1-%2-123456_pkr.fbk").arg(host).arg(dead);
        const QString deadFolder = QStringLiteral("ellenorzes-%1-%2-654321").arg(host).arg(dead);
        const QString liveFile = QStringLiteral("~vl%1-%2-123456_pkr.fbk").arg(host).arg(QCoreApplication::applicationPid());
        const QString otherHost = QStringLiteral("~vlmasikgep-%1-123456_pkr.fbk").arg(dead);
        writeFile(folder + QLatin1Char('/') + deadFile, "x");
        QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + deadFolder));
        writeFile(folder + QLatin1Char('/') + deadFolder + QStringLiteral("/ellenorzes.fdb"), "x");
        writeFile(folder + QLatin1Char('/') + liveFile, "x");
        writeFile(folder + QLatin1Char('/') + otherHost, "x");
        const Run b = admin(dir.path(), {QStringLiteral("backup"), file});
        QVERIFY2(b.code == 0, qPrintable(b.out + b.err.right(800)));
        QCOMPARE(entriesOf(folder), sorted({QStringLiteral("pkr.fbk"), QStringLiteral("pkr.fbk.json"), liveFile, otherHost}));

        // The clean-up: the same, in the folders it is given.
        writeFile(folder + QLatin1Char('/') + deadFile, "x");
        QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + deadFolder));
        Run c = admin(dir.path(), {QStringLiteral("cleanup"), QStringLiteral("--list"), QStringLiteral("--dir"), folder});
        QVERIFY2(c.code == 0, qPrintable(c.out + c.err));
        QVERIFY2(c.out.contains(deadFile + QStringLiteral(": törölhető")), qPrintable(c.out));
        QVERIFY(QFileInfo::exists(folder + QLatin1Char('/') + deadFile));
        c = admin(dir.path(), {QStringLiteral("cleanup"), QStringLiteral("--dir"), folder});
        QVERIFY2(c.code == 0, qPrintable(c.out + c.err));
        QVERIFY2(c.out.contains(QStringLiteral("2 fájl maradt vissza megszakadt futásokból.")), qPrintable(c.out));
        QCOMPARE(entriesOf(folder), sorted({QStringLiteral("pkr.fbk"), QStringLiteral("pkr.fbk.json"), liveFile, otherHost}));
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
