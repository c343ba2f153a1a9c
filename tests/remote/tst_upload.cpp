// The backup routine and the upload of the database: a fresh backup goes to
// the loopback FTP server (plain and TLS), comes back and restores with gbak
// to the same rows; refused connections and folders end with the failure
// texts and never with the success text.
#include "RemoteTestEnv.h"

#include "remote/Backup.h"
#include "remote/DatabaseUpload.h"

#include <QTemporaryDir>

using namespace vl::remote;
using namespace remotetest;

namespace {

constexpr int kRows = 1500;

// A database with rows in two tables, left open as the program's connection is.
std::unique_ptr<vl::db::Connection> makeDatabase(const QString& path) {
    vl::db::prepareEmbeddedEngine();
    vl::db::ConnectParams p;
    p.database = path;
    auto conn = vl::db::createFirebirdDatabase(p);
    conn->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(40))"));
    conn->exec(QStringLiteral("CREATE TABLE NAPLO (ID INTEGER NOT NULL, SZOVEG VARCHAR(100))"));
    auto tx = conn->begin();
    auto ins = tx->prepare(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV) VALUES (:kod, :nev)"));
    auto log = tx->prepare(QStringLiteral("INSERT INTO NAPLO (ID, SZOVEG) VALUES (:id, :szoveg)"));
    for (int i = 1; i <= kRows; ++i) {
        ins->bind(QStringLiteral("kod"), i);
        ins->bind(QStringLiteral("nev"), QStringLiteral("Ügyfél őrző %1").arg(i));
        ins->execute();
        log->bind(QStringLiteral("id"), i);
        log->bind(QStringLiteral("szoveg"), QStringLiteral("sor %1").arg(i));
        log->execute();
    }
    tx->commit();
    return conn;
}

qint64 count(vl::db::Connection& c, const QString& table) {
    auto rs = c.query(QStringLiteral("SELECT COUNT(*) N FROM ") + table);
    rs.next();
    return rs.integer(QStringLiteral("N"));
}

// Restores a backup with gbak into a new file and counts its rows.
void restoreAndCount(const QString& backup, const QString& target, qint64* customers, qint64* log) {
    int rc = 0;
    const QString out = runFbTool(QStringLiteral("gbak"),
                                  {QStringLiteral("-c"), QStringLiteral("-user"), QStringLiteral("SYSDBA"), backup, target},
                                  &rc);
    QVERIFY2(rc == 0, qPrintable(out));
    vl::db::ConnectParams p;
    p.database = target;
    auto c = vl::db::connect(p);
    *customers = count(*c, QStringLiteral("UGYFEL"));
    *log = count(*c, QStringLiteral("NAPLO"));
    c->close();
}

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void backupFileName_data();
    void backupFileName();
    void serviceManager_data();
    void serviceManager();
    void backupAndRestoreEmbedded();
    void backupOfMissingDatabaseFails();
    void uploadRestores_data();
    void uploadRestores();
    void uploadFailures_data();
    void uploadFailures();
    void backupOnServer();
    void restoreOnServer();
};

void TestUpload::backupFileName_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("name");
    QTest::newRow("windows path") << "C:\\data\\pkr\\PKR.GDB" << "PKR.fbk";
    QTest::newRow("linux path") << "/srv/vorlanda/ADAT.FDB" << "ADAT.fbk";
    QTest::newRow("server") << "szerver:/srv/db/pkr.fdb" << "pkr.fbk";
    QTest::newRow("alias on a server") << "szerver:pkr" << "pkr.fbk";
    QTest::newRow("no separator") << "PKR.FDB" << "PKR.fbk";
    QTest::newRow("long") << QString(150, u'a') + ".fdb" << QString(96, u'a') + ".fbk";
}

void TestUpload::backupFileName() {
    QFETCH(QString, database);
    QFETCH(QString, name);
    QCOMPARE(BackupFileName(database), name);
}

void TestUpload::serviceManager_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("onService");
    QTest::newRow("embedded") << "/a/b.fdb" << "service_mgr" << "/a/b.fdb";
    QTest::newRow("alias") << "pkr" << "service_mgr" << "pkr";
    QTest::newRow("host") << "localhost:/a/b.fdb" << "localhost:service_mgr" << "/a/b.fdb";
    QTest::newRow("host and port") << "localhost/3051:/a/b.fdb" << "localhost/3051:service_mgr" << "/a/b.fdb";
    QTest::newRow("inet") << "inet://gep:3050//a/b.fdb" << "inet://gep:3050/service_mgr" << "/a/b.fdb";
}

void TestUpload::serviceManager() {
    QFETCH(QString, database);
    QFETCH(QString, service);
    QFETCH(QString, onService);
    QString db;
    QCOMPARE(ServiceManagerFor(database, &db), service);
    QCOMPARE(db, onService);
}

void TestUpload::backupAndRestoreEmbedded() {
    QTemporaryDir dir;
    auto conn = makeDatabase(dir.filePath(QStringLiteral("elo.fdb")));
    QStringList lines;
    const QString backup = dir.filePath(QStringLiteral("elo.fbk"));
    BackupDatabase({dir.filePath(QStringLiteral("elo.fdb")), {}, {}}, backup,
                   [&](const QString& line, qint64) { lines << line; });
    QVERIFY(QFileInfo(backup).size() > 0);
    QVERIFY2(lines.size() > 5, qPrintable(lines.join('\n'))); // the engine's progress lines
    // The open connection was not disturbed.
    QCOMPARE(count(*conn, QStringLiteral("UGYFEL")), qint64(kRows));
    const QString target = dir.filePath(QStringLiteral("vissza.fdb"));
    RestoreDatabase({target, {}, {}}, backup);
    vl::db::ConnectParams p;
    p.database = target;
    auto back = vl::db::connect(p);
    QCOMPARE(count(*back, QStringLiteral("UGYFEL")), qint64(kRows));
    QCOMPARE(count(*back, QStringLiteral("NAPLO")), qint64(kRows));
    auto rs = back->query(QStringLiteral("SELECT NEV FROM UGYFEL WHERE KOD = 7"));
    QVERIFY(rs.next());
    QCOMPARE(rs.text(QStringLiteral("NEV")), QStringLiteral("Ügyfél őrző 7"));
    back->close();
    // Restoring over an existing file is refused unless asked.
    QVERIFY_THROWS_EXCEPTION(vl::Error, RestoreDatabase({target, {}, {}}, backup));
    conn->close();
}

void TestUpload::backupOfMissingDatabaseFails() {
    QTemporaryDir dir;
    const QString backup = dir.filePath(QStringLiteral("x.fbk"));
    QVERIFY_THROWS_EXCEPTION(vl::Error, BackupDatabase({dir.filePath(QStringLiteral("nincs.fdb")), {}, {}}, backup));
    QVERIFY(!QFileInfo::exists(backup));
    // An ODBC source is no Firebird database: refused before anything happens.
    DatabaseLocation odbc{QStringLiteral("PKR_DSN"), {}, {}};
    odbc.odbc = true;
    QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, BackupDatabase(odbc, backup));
    QVERIFY(!QFileInfo::exists(backup));
}

void TestUpload::uploadRestores_data() {
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("TLS") << true;
}

void TestUpload::uploadRestores() {
    QFETCH(bool, tls);
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("PKR.FDB"));
    auto conn = makeDatabase(dbPath);
    const QString folder = tls ? QStringLiteral("feltolt-tls") : QStringLiteral("feltolt-plain");
    makeServerFolder(e, folder);

    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    UploadRequest rq;
    rq.ftp = {tls ? e.tlsHost : e.host, e.user, e.password, folder, tls ? e.ca : QString()};
    rq.database = {dbPath, {}, {}};
    rq.workDir = dir.path();
    QStringList status;
    FtpClient client;
    const UploadResult r = UploadDatabase(client, rq, [&](const QString& s) { status << s; });
    QVERIFY2(r.ok(), qPrintable(allTexts(sink) + "\n" + r.detail));
    QCOMPARE(r.remoteName, QStringLiteral("PKR.fbk"));
    QCOMPARE(sink.texts(), QStringList{UploadDoneText(rq.ftp.host)});
    QCOMPARE(status.first(), QStringLiteral("Kapcsolódás..."));
    QCOMPARE(status.last(), QStringLiteral("Kapcsolódva. Feltöltés kész"));
    QVERIFY(status.contains(QStringLiteral("Kapcsolódva. Feltöltés folyamatban...")));
    QVERIFY(!client.connected());
    // The program's connection stayed open and usable.
    QCOMPARE(count(*conn, QStringLiteral("UGYFEL")), qint64(kRows));
    // Nothing of the backup is left in the working folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());

    // Fetched back over FTP, it restores to the same rows.
    FtpClient back;
    back.setSettings(rq.ftp);
    QCOMPARE(back.FtpConnect(), 0);
    QCOMPARE(back.FtpChangeDir(folder), 0);
    const QString fetched = dir.filePath(QStringLiteral("visszahozott.fbk"));
    QCOMPARE(back.FtpDownload(r.remoteName, fetched), 0);
    back.FtpDisconnect();
    QCOMPARE(QFileInfo(fetched).size(), r.bytes);
    qint64 customers = 0, log = 0;
    restoreAndCount(fetched, dir.filePath(QStringLiteral("visszaallitott.fdb")), &customers, &log);
    QCOMPARE(customers, qint64(kRows));
    QCOMPARE(log, qint64(kRows));
    conn->close();
}

void TestUpload::uploadFailures_data() {
    QTest::addColumn<QString>("hostKind");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("outcome");
    QTest::newRow("refused connection") << "refused" << "x" << int(UploadOutcome::NotConnected);
    QTest::newRow("wrong password") << "badpassword" << "x" << int(UploadOutcome::NotConnected);
    QTest::newRow("missing folder") << "plain" << "nincs/ilyen" << int(UploadOutcome::FolderFailed);
    QTest::newRow("unwritable folder") << "plain" << "csak-olvashato" << int(UploadOutcome::UploadFailed);
    QTest::newRow("missing database") << "nodb" << "feltolt-nodb" << int(UploadOutcome::BackupFailed);
}

void TestUpload::uploadFailures() {
    QFETCH(QString, hostKind);
    QFETCH(QString, folder);
    QFETCH(int, outcome);
    const FtpEnv e = ftpEnv();
    if (hostKind != QStringLiteral("refused")) REQUIRE_FTP(e);
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("PKR.FDB"));
    std::unique_ptr<vl::db::Connection> conn;
    if (hostKind != QStringLiteral("nodb")) conn = makeDatabase(dbPath);
    if (folder == QStringLiteral("csak-olvashato")) makeServerFolder(e, folder, false);
    if (folder == QStringLiteral("feltolt-nodb")) makeServerFolder(e, folder);

    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    UploadRequest rq;
    rq.ftp = {hostKind == QStringLiteral("refused") ? QStringLiteral("127.0.0.1:1") : e.host, e.user,
              hostKind == QStringLiteral("badpassword") ? QStringLiteral("rossz") : e.password, folder, QString()};
    rq.database = {dbPath, {}, {}};
    rq.workDir = dir.path();
    FtpClient client;
    const UploadResult r = UploadDatabase(client, rq);
    QCOMPARE(int(r.outcome), outcome);
    QVERIFY(!client.connected());
    QCOMPARE(sink.messages.size(), 1);
    const QString text = sink.texts().first();
    if (outcome == int(UploadOutcome::NotConnected))
        QCOMPARE(text, UploadNotConnectedText(rq.ftp.host));
    else if (outcome == int(UploadOutcome::BackupFailed))
        QVERIFY2(text.startsWith(UploadFailedText(rq.ftp.host) + QStringLiteral("\r")), qPrintable(text));
    else
        QCOMPARE(text, UploadFailedText(rq.ftp.host));
    QVERIFY(!allTexts(sink).contains(QStringLiteral("felkerült")));
    if (!rq.ftp.password.isEmpty()) QVERIFY(!allTexts(sink).contains(rq.ftp.password));
    if (folder == QStringLiteral("csak-olvashato"))
        QVERIFY(!QFileInfo::exists(QDir(e.root).filePath(folder + QStringLiteral("/PKR.fbk"))));
    if (conn) {
        QCOMPARE(count(*conn, QStringLiteral("UGYFEL")), qint64(kRows));
        conn->close();
    }
}

void TestUpload::backupOnServer() {
    // The server makes the backup and streams it to us.
    const QString server = qEnvironmentVariable("VORLANDA_TEST_FBSERVER");
    const QString serverDir = qEnvironmentVariable("VORLANDA_TEST_FBDIR");
    if (server.isEmpty() || serverDir.isEmpty())
        QSKIP("no test Firebird server (scripts/test-fbserver.sh start, then source its env)");
    QTemporaryDir dir;
    const QString name = serverDir + QStringLiteral("/mentes_") + QString::number(QCoreApplication::applicationPid()) +
                         QStringLiteral(".fdb");
    QFile::remove(name);
    vl::db::ConnectParams p;
    p.database = server + name;
    p.user = qEnvironmentVariable("VORLANDA_TEST_FBUSER");
    p.password = qEnvironmentVariable("VORLANDA_TEST_FBPASSWORD");
    auto conn = vl::db::createFirebirdDatabase(p);
    conn->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(40))"));
    conn->exec(QStringLiteral("CREATE TABLE NAPLO (ID INTEGER NOT NULL, SZOVEG VARCHAR(100))"));
    auto tx = conn->begin();
    for (int i = 1; i <= 300; ++i) {
        tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV) VALUES (:k, :n)"), {{"k", i}, {"n", QStringLiteral("Ő %1").arg(i)}});
        tx->exec(QStringLiteral("INSERT INTO NAPLO (ID, SZOVEG) VALUES (:k, 'x')"), {{"k", i}});
    }
    tx->commit();
    qint64 streamed = 0;
    const QString backup = dir.filePath(QStringLiteral("szerver.fbk"));
    BackupDatabase({p.database, p.user, p.password}, backup, [&](const QString&, qint64 b) { streamed = b; });
    QCOMPARE(QFileInfo(backup).size(), streamed);
    qint64 customers = 0, log = 0;
    restoreAndCount(backup, dir.filePath(QStringLiteral("szerverrol.fdb")), &customers, &log);
    QCOMPARE(customers, qint64(300));
    QCOMPARE(log, qint64(300));
    conn->exec(QStringLiteral("DELETE FROM NAPLO"));
    conn->close();
}

// The server route of a restore: the server restores the backup in place and
// the restore marks it finished by its row in VL_KESZ; a target whose mark is
// missing (the restore was killed) is dropped and restored again; a finished
// one is refused; counts that differ from the expected ones drop the database.
void TestUpload::restoreOnServer() {
    const QString server = qEnvironmentVariable("VORLANDA_TEST_FBSERVER");
    const QString serverDir = qEnvironmentVariable("VORLANDA_TEST_FBDIR");
    if (server.isEmpty() || serverDir.isEmpty())
        QSKIP("no test Firebird server (scripts/test-fbserver.sh start, then source its env)");
    QTemporaryDir dir;
    const QString tag = QString::number(QCoreApplication::applicationPid());
    DatabaseLocation source{server + serverDir + QStringLiteral("/forras_") + tag + QStringLiteral(".fdb"),
                            qEnvironmentVariable("VORLANDA_TEST_FBUSER"), qEnvironmentVariable("VORLANDA_TEST_FBPASSWORD")};
    QFile::remove(serverDir + QStringLiteral("/forras_") + tag + QStringLiteral(".fdb"));
    QFile::remove(serverDir + QStringLiteral("/cel_") + tag + QStringLiteral(".fdb"));
    vl::db::ConnectParams p;
    p.database = source.database;
    p.user = source.user;
    p.password = source.password;
    {
        auto conn = vl::db::createFirebirdDatabase(p);
        conn->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(40))"));
        conn->exec(QStringLiteral("CREATE TABLE VL_KESZ (MIKOR VARCHAR(19), FORRAS VARCHAR(250))"));
        auto tx = conn->begin();
        for (int i = 1; i <= 200; ++i)
            tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV) VALUES (:k, 'x')"), {{"k", i}});
        tx->exec(QStringLiteral("INSERT INTO VL_KESZ (MIKOR, FORRAS) VALUES ('2026.01.01 00:00:00', 'létrehozva')"));
        tx->commit();
        conn->close();
    }
    const QString backup = dir.filePath(QStringLiteral("szerver.fbk"));
    BackupDatabase(source, backup);
    DatabaseLocation target = source;
    target.database = server + serverDir + QStringLiteral("/cel_") + tag + QStringLiteral(".fdb");
    const QMap<QString, qint64> expected{{QStringLiteral("UGYFEL"), 200}, {QStringLiteral("VL_KESZ"), 1}};
    auto outcome = RestoreDatabase(target, backup, &expected);
    QVERIFY(!outcome.droppedUnfinished);
    QCOMPARE(outcome.counts, expected);
    vl::db::ConnectParams t = p;
    t.database = target.database;
    auto mark = [&] {
        auto c = vl::db::connect(t);
        const QString f = c->query(QStringLiteral("SELECT LIST(FORRAS) FROM VL_KESZ")).at(0, 0).toString();
        c->close();
        return f;
    };
    QCOMPARE(mark(), QStringLiteral("visszatöltve: szerver.fbk"));
    // A finished database is never written over.
    QVERIFY_THROWS_EXCEPTION(vl::Error, RestoreDatabase(target, backup, &expected));
    QCOMPARE(mark(), QStringLiteral("visszatöltve: szerver.fbk"));
    // As a killed restore leaves it: no mark. Dropped, then restored.
    {
        auto c = vl::db::connect(t);
        c->exec(QStringLiteral("DELETE FROM VL_KESZ"));
        c->exec(QStringLiteral("DELETE FROM UGYFEL WHERE KOD > 100"));
        c->close();
    }
    outcome = RestoreDatabase(target, backup, &expected);
    QVERIFY(outcome.droppedUnfinished);
    QCOMPARE(outcome.counts, expected);
    QCOMPARE(mark(), QStringLiteral("visszatöltve: szerver.fbk"));
    // Counts that are not the expected ones: refused, and nothing left.
    {
        auto c = vl::db::connect(t);
        c->exec(QStringLiteral("DELETE FROM VL_KESZ"));
        c->close();
    }
    const QMap<QString, qint64> wrong{{QStringLiteral("UGYFEL"), 201}, {QStringLiteral("VL_KESZ"), 1}};
    QVERIFY_THROWS_EXCEPTION(vl::Error, RestoreDatabase(target, backup, &wrong));
    QVERIFY_THROWS_EXCEPTION(vl::db::DbError, vl::db::connect(t));
    // The source stays as it was.
    auto c = vl::db::connect(p);
    QCOMPARE(count(*c, QStringLiteral("UGYFEL")), qint64(200));
    c->close();
}

QTEST_GUILESS_MAIN(TestUpload)
#include "tst_upload.moc"
