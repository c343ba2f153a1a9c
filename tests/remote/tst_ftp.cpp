// The FTP client on the loopback servers (plain and TLS) and its settings.
#include "RemoteTestEnv.h"

#include "remote/Ftp.h"
#include "util/Scramble.h"

#include <QTemporaryDir>

using namespace vl::remote;
using namespace remotetest;

class TestFtp : public QObject {
    Q_OBJECT
private slots:
    void readSettings_data();
    void readSettings();
    void uploadSettings();
    void uploadSettingsFromTheDatabase();
    void notConnectedSendsNothing();
    void roundTrip_data();
    void roundTrip();
    void untrustedCertificateFails();
    void refusedConnection();
    void wrongPasswordNeverShown();
    void hostWrittenAsUrl();
    void missingAndUnwritableFolder();
};

void TestFtp::readSettings_data() {
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("folder");
    using vl::util::Scramble;
    QTest::newRow("FTPHOST first") << QStringList{"FTPHOST", "FTP_SERVER"}
                                   << QStringList{Scramble("elso.hu"), Scramble("masodik.hu")} << "elso.hu"
                                   << "public_html/exefiles";
    QTest::newRow("empty FTPHOST, FTP_SERVER")
        << QStringList{"FTPHOST", "FTP_SERVER"} << QStringList{"", Scramble("masodik.hu")} << "masodik.hu"
        << "public_html/exefiles";
    QTest::newRow("no FTPHOST column") << QStringList{"FTP_SERVER"} << QStringList{Scramble("masodik.hu")}
                                       << "masodik.hu" << "public_html/exefiles";
    QTest::newRow("neither: built-in default") << QStringList{"KOD"} << QStringList{"1"} << "" << "public_html/exefiles";
    QTest::newRow("empty folder") << QStringList{"FTP_DFOLDER"} << QStringList{""} << "" << "public_html/exefiles";
    QTest::newRow("folder as stored") << QStringList{"FTP_DFOLDER"} << QStringList{"Kész/Ünnep"} << ""
                                      << "Kész/Ünnep";
}

void TestFtp::readSettings() {
    QFETCH(QStringList, columns);
    QFETCH(QStringList, values);
    QFETCH(QString, host);
    QFETCH(QString, folder);
    QList<QPair<QString, QVariant>> row;
    for (int i = 0; i < columns.size(); ++i) row << qMakePair(columns[i], QVariant(values[i]));
    const FtpSettings s = ReadFtpSettings(companyRow(row));
    QCOMPARE(s.host, host);
    QCOMPARE(s.folder, folder);
}

void TestFtp::uploadSettings() {
    using vl::util::Scramble;
    bool hasHost = true;
    FtpSettings s = UploadFtpSettings(companyRow({{"FTPHOST", Scramble("tar.hu")},
                                                  {"FTPUSERID", Scramble("ügyfél")},
                                                  {"FTPPWDID", Scramble("titok 1")}}),
                                      &hasHost);
    QVERIFY(hasHost);
    QCOMPARE(s.host, QStringLiteral("tar.hu"));
    QCOMPARE(s.user, QStringLiteral("ügyfél"));
    QCOMPARE(s.password, QStringLiteral("titok 1"));
    QCOMPARE(s.folder, QStringLiteral("public_ftp/incoming"));
    UploadFtpSettings(companyRow({{"FTP_SERVER", Scramble("tar.hu")}}), &hasHost);
    QVERIFY(!hasHost);
}

// The send form's and the upload command's read: the company row of the
// database, its first row when there are several; none at all is no host.
void TestFtp::uploadSettingsFromTheDatabase() {
    using vl::util::Scramble;
    QTemporaryDir dir;
    vl::db::prepareEmbeddedEngine();
    vl::db::ConnectParams p;
    p.database = dir.filePath(QStringLiteral("CEGTESZT.FDB"));
    auto conn = vl::db::createFirebirdDatabase(p);
    conn->exec(QStringLiteral("CREATE TABLE CEG (KOD VARCHAR(10), FTPHOST VARCHAR(128), FTPUSERID VARCHAR(128), "
                              "FTPPWDID VARCHAR(128))"));
    bool hasHost = true;
    FtpSettings s = readUploadSettings(*conn, &hasHost);
    QVERIFY(!hasHost);
    QVERIFY(s.host.isEmpty());
    QVERIFY(readCompanyRow(*conn).eof());
    conn->exec(QStringLiteral("INSERT INTO CEG VALUES ('1', :h, :u, :p)"),
               {{QStringLiteral("h"), Scramble("tar.hu")}, {QStringLiteral("u"), Scramble("ügyfél")},
                {QStringLiteral("p"), Scramble("titok 1")}});
    s = readUploadSettings(*conn, &hasHost);
    QVERIFY(hasHost);
    QCOMPARE(s.host, QStringLiteral("tar.hu"));
    QCOMPARE(s.user, QStringLiteral("ügyfél"));
    QCOMPARE(s.password, QStringLiteral("titok 1"));
    QCOMPARE(s.folder, QStringLiteral("public_ftp/incoming"));
    QCOMPARE(readCompanyRow(*conn).text(QStringLiteral("KOD")), QStringLiteral("1"));
}

void TestFtp::notConnectedSendsNothing() {
    QTemporaryDir dir;
    FtpClient c;
    c.setHost(QStringLiteral("127.0.0.1:1"));
    QCOMPARE(c.FtpDownload(QStringLiteral("x"), dir.filePath(QStringLiteral("x"))), -1);
    QCOMPARE(c.lastCommand(), QStringLiteral("Download"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x"))));
    writeFile(dir.filePath(QStringLiteral("y")), "abc");
    QCOMPARE(c.FtpUpload(dir.filePath(QStringLiteral("y")), QStringLiteral("y")), -1);
    QCOMPARE(c.lastCommand(), QStringLiteral("Upload"));
    QCOMPARE(c.FtpChangeDir(QStringLiteral("a")), -1);
}

void TestFtp::roundTrip_data() {
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain, active") << false;
    QTest::newRow("TLS, ALLO refused") << true;
}

void TestFtp::roundTrip() {
    QFETCH(bool, tls);
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    const QString folder = tls ? QStringLiteral("rt-tls") : QStringLiteral("rt-plain");
    const QString onDisk = makeServerFolder(e, folder + QStringLiteral("/belső"));
    QTemporaryDir dir;
    QByteArray payload;
    for (int i = 0; i < 200000; ++i) payload += char(i * 7 % 256); // every byte value, no text conversion
    payload += "\r\n\n\r";
    writeFile(dir.filePath(QStringLiteral("src.bin")), payload);

    FtpClient c;
    c.setSettings({tls ? e.tlsHost : e.host, e.user, e.password, QString(), tls ? e.ca : QString()});
    QCOMPARE(c.FtpConnect(), 0);
    QCOMPARE(c.secure(), tls);
    QCOMPARE(c.FtpChangeDir(folder), 0);
    QCOMPARE(c.FtpChangeDir(QStringLiteral("belső")), 0);
    QCOMPARE(c.FtpUpload(dir.filePath(QStringLiteral("src.bin")), QStringLiteral("Feltöltött fájl.bin")), 0);
    QCOMPARE(readFile(QDir(onDisk).filePath(QStringLiteral("Feltöltött fájl.bin"))), payload);
    QCOMPARE(c.remoteSize(QStringLiteral("Feltöltött fájl.bin")), qint64(payload.size()));
    QCOMPARE(c.FtpDownload(QStringLiteral("Feltöltött fájl.bin"), dir.filePath(QStringLiteral("back.bin"))), 0);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("back.bin"))), payload);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("back.bin.part"))));
    // A file that is not there: a number, no local file.
    QVERIFY(c.FtpDownload(QStringLiteral("nincs.bin"), dir.filePath(QStringLiteral("nincs.bin"))) != 0);
    QCOMPARE(c.lastCommand(), QStringLiteral("Download"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("nincs.bin"))));
    c.FtpDisconnect();
    QVERIFY(!c.connected());
    QVERIFY2(sink.messages.isEmpty(), qPrintable(allTexts(sink)));
}

void TestFtp::untrustedCertificateFails() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    FtpClient c;
    c.setSettings({e.tlsHost, e.user, e.password, QString(), e.otherCa});
    const int rc = c.FtpConnect();
    QVERIFY(rc != 0);
    QVERIFY(!c.connected());
    QCOMPARE(sink.texts(), QStringList{FtpClient::ConnectFailedText(e.tlsHost, rc)});
    QVERIFY2(c.lastErrorText().contains(QStringLiteral("certificate"), Qt::CaseInsensitive), qPrintable(c.lastErrorText()));
}

void TestFtp::refusedConnection() {
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    FtpClient c;
    c.setSettings({QStringLiteral("127.0.0.1:1"), QStringLiteral("u"), QStringLiteral("p"), QString(), QString()});
    const int rc = c.FtpConnect();
    QVERIFY(rc != 0);
    QCOMPARE(sink.texts(),
             QStringList{QStringLiteral("Nem tudok kapcsolódni a tárhelyhez: 127.0.0.1:1\rHibakód=") + QString::number(rc)});
    QCOMPARE(c.FtpUpload(QStringLiteral("/etc/hostname"), QStringLiteral("x")), -1);
}

void TestFtp::wrongPasswordNeverShown() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    const QString secret = QStringLiteral("RosszJelszo-") + e.password;
    FtpClient c;
    c.setSettings({e.host, e.user, secret, QString(), QString()});
    const int rc = c.FtpConnect();
    QCOMPARE(rc, 530);
    QCOMPARE(sink.texts(), QStringList{FtpClient::ConnectFailedText(e.host, 530)});
    QVERIFY(!allTexts(sink).contains(secret));
    QVERIFY(!c.lastErrorText().contains(secret));
}

void TestFtp::missingAndUnwritableFolder() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    makeServerFolder(e, QStringLiteral("zart"), false);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.txt")), "abc");
    FtpClient c;
    c.setSettings({e.host, e.user, e.password, QString(), QString()});
    QCOMPARE(c.FtpConnect(), 0);
    QCOMPARE(c.FtpChangeDir(QStringLiteral("nincs-ilyen")), 550);
    QCOMPARE(c.lastCommand(), QStringLiteral("ChangeDir"));
    QCOMPARE(c.currentDir(), QString());
    QCOMPARE(c.FtpChangeDir(QStringLiteral("zart")), 0);
    const int rc = c.FtpUpload(dir.filePath(QStringLiteral("a.txt")), QStringLiteral("a.txt"));
    QCOMPARE(rc, 553);
    QCOMPARE(c.lastCommand(), QStringLiteral("Upload"));
    QVERIFY(!QFileInfo::exists(QDir(e.root).filePath(QStringLiteral("zart/a.txt"))));
    QVERIFY(sink.messages.isEmpty());
}

void TestFtp::hostWrittenAsUrl() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    FtpClient c;
    c.setSettings({QStringLiteral("ftp://") + e.host + QStringLiteral("/"), e.user, e.password, QString(), QString()});
    QCOMPARE(c.FtpConnect(false), 0);
    c.FtpDisconnect();
}

QTEST_GUILESS_MAIN(TestFtp)
#include "tst_ftp.moc"
