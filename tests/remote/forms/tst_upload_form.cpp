// "Adatok feltöltése tárhelyre" opened by name, as the maintenance form opens it:
// a start uploads a backup while the program's connection stays open; a failed
// folder change closes the connection and gives "Vissza" back; the password
// is never shown.
#include "RemoteTestEnv.h"
#include "remote/ProgramUpdate.h"

#include "Tftpkuldfm.h"
#include "Tmain_pkrfm.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/forms/FormRegistry.h"
#include "util/Scramble.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace remotetest;
using vl::remote::Tftpkuldfm;

class TestUploadForm : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;
    FtpEnv env;

    Tftpkuldfm* form() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<Tftpkuldfm*>(w)) return f;
        return nullptr;
    }
    void setHost(const QString& host) {
        vl::shell::dm().d_alap().exec(QStringLiteral("UPDATE CEG SET FTPHOST = :h, FTPUSERID = :u, FTPPWDID = :p"),
                                      {{"h", host.isEmpty() ? QVariant(QString()) : QVariant(vl::util::Scramble(host))},
                                       {"u", vl::util::Scramble(env.user)},
                                       {"p", vl::util::Scramble(env.password)}});
    }

private slots:
    void initTestCase() {
        env = ftpEnv();
        vl::db::prepareEmbeddedEngine();
        db = dir.filePath(QStringLiteral("PKR.FDB"));
        vl::db::ConnectParams p;
        p.database = db;
        auto conn = vl::db::createFirebirdDatabase(p);
        conn->exec(QStringLiteral("CREATE TABLE CEG (KOD VARCHAR(10), FTPHOST VARCHAR(128), FTPUSERID VARCHAR(128), "
                                  "FTPPWDID VARCHAR(128))"));
        conn->exec(QStringLiteral("INSERT INTO CEG (KOD) VALUES ('1')"));
        conn->exec(QStringLiteral("CREATE TABLE ADAT (ID INTEGER)"));
        conn->exec(QStringLiteral("INSERT INTO ADAT (ID) VALUES (1)"));
        vl::shell::dm().adopt(std::move(conn));
        writeFile(dir.filePath(QStringLiteral("PKR.INI")),
                  QStringLiteral("DBSERVER=%1\r\nFTPCAFILE=%2\r\n").arg(db, env.ca).toUtf8());
        QDir::setCurrent(dir.path());
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        vl::remote::registerRemoteForms();
    }

    void noStorageSettings() {
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        setHost(QString());
        const auto r = vl::shell::openForm(QStringLiteral("Tftpkuldfm"));
        QVERIFY(!r.accepted);
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Nincsenek meghatározva tárhely adatok")});
        QVERIFY(!form() || !form()->isVisible());
    }

    void uploadFromTheForm() {
        REQUIRE_FTP(env);
        setHost(env.tlsHost);
        makeServerFolder(env, QStringLiteral("public_ftp/incoming"));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(vl::shell::openForm(QStringLiteral("Tftpkuldfm")).accepted);
        Tftpkuldfm* f = form();
        QVERIFY(f && f->isVisible());
        QCOMPARE(f->windowTitle(), QStringLiteral("Adatok feltöltése tárhelyre"));
        auto* status = f->findChild<QLabel*>(QStringLiteral("l_status"));
        auto* indul = f->findChild<QPushButton*>(QStringLiteral("b_indul"));
        auto* vissza = f->findChild<QPushButton*>(QStringLiteral("b_vissza"));
        auto* password = f->findChild<QLineEdit*>(QStringLiteral("e_ftppassword"));
        QCOMPARE(status->text(), QStringLiteral("-"));
        QVERIFY(indul->isEnabled() && vissza->isEnabled());
        QVERIFY(!f->findChild<QPushButton*>(QStringLiteral("b_connect"))->isVisible());
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(password->displayText() != env.password);
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_gdb"))->text(), db);
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_ftpfolder"))->text(), QStringLiteral("public_ftp/incoming"));
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_ftpserver"))->text(), env.tlsHost);

        QTest::mouseClick(indul, Qt::LeftButton);
        QCOMPARE(sink.texts(), QStringList{vl::remote::UploadDoneText(env.tlsHost)});
        QCOMPARE(status->text(), QStringLiteral("Kapcsolódva. Feltöltés kész"));
        QVERIFY(!indul->isEnabled());
        QVERIFY(vissza->isEnabled());
        QVERIFY(!f->client().connected());
        QVERIFY(QFileInfo(QDir(env.root).filePath(QStringLiteral("public_ftp/incoming/PKR.fbk"))).size() > 0);
        // The program's connection stayed open.
        QVERIFY(vl::shell::dm().isConnected());
        QCOMPARE(vl::shell::dm().d_alap().query(QStringLiteral("SELECT ID FROM ADAT")).rowCount(), 1);
        QTest::mouseClick(vissza, Qt::LeftButton);
        QVERIFY(!f->isVisible());
    }

    void failedFolderGivesBack() {
        REQUIRE_FTP(env);
        setHost(env.tlsHost);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(vl::shell::openForm(QStringLiteral("Tftpkuldfm")).accepted);
        Tftpkuldfm* f = form();
        QCOMPARE(f->findChild<QLabel*>(QStringLiteral("l_status"))->text(), QStringLiteral("-"));
        auto* indul = f->findChild<QPushButton*>(QStringLiteral("b_indul"));
        QVERIFY(indul->isEnabled());
        f->findChild<QLineEdit*>(QStringLiteral("e_ftpfolder"))->setText(QStringLiteral("nincs/ilyen/mappa"));
        QTest::mouseClick(indul, Qt::LeftButton);
        QCOMPARE(sink.texts(), QStringList{vl::remote::UploadFailedText(env.tlsHost)});
        QVERIFY(!f->client().connected());
        QVERIFY(f->findChild<QPushButton*>(QStringLiteral("b_vissza"))->isEnabled());
        QVERIFY(vl::shell::dm().isConnected());
        f->close();
    }

    void openedWithSettings() {
        // As the maintenance form opens it: the settings it read, the folder it names.
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(vl::shell::openForm(QStringLiteral("Tftpkuldfm"),
                                    {{QStringLiteral("Direction"), QStringLiteral("upload")},
                                     {QStringLiteral("Server"), QStringLiteral("tarhely.example")},
                                     {QStringLiteral("User"), QStringLiteral("feltolto")},
                                     {QStringLiteral("Password"), QStringLiteral("Titok-123")},
                                     {QStringLiteral("Folder"), QStringLiteral("public_ftp/incoming")}})
                    .accepted);
        Tftpkuldfm* f = form();
        QVERIFY(f && f->isVisible());
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_ftpserver"))->text(), QStringLiteral("tarhely.example"));
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_ftpuser"))->text(), QStringLiteral("feltolto"));
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_ftppassword"))->text(), QStringLiteral("Titok-123"));
        QVERIFY(f->findChild<QLineEdit*>(QStringLiteral("e_ftppassword"))->displayText() != QStringLiteral("Titok-123"));
        QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("e_ftpfolder"))->text(), QStringLiteral("public_ftp/incoming"));
        QVERIFY(sink.messages.isEmpty());
        f->close();
    }

    void updateButtonRunsTheUpdate() {
        // "Frissítés" of the main window runs the update for this program:
        // its information file names an older version, so nothing changes.
        REQUIRE_FTP(env);
        setHost(env.tlsHost);
        const QString folder = makeServerFolder(env, QStringLiteral("public_html/exefiles"));
        const QString program = QCoreApplication::applicationFilePath();
        const QString inf = QFileInfo(program).fileName().toUpper() + QStringLiteral(".INF");
        writeFile(folder + QLatin1Char('/') + inf, "VERSION=0.0.1\r\n");
        const QByteArray before = readFile(program);
        vl::RecordingSink sink;
        sink.answers << 0; // "Keressünk programfrissítéseket az interneten?" -> "Igen"
        vl::ScopedSink scoped(&sink);
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::remote::registerRemoteUpdate(w);
        QTest::mouseClick(w.b_frissit, Qt::LeftButton);
        QCOMPARE(sink.texts(), (QStringList{QStringLiteral("Keressünk programfrissítéseket az interneten?"),
                                            QStringLiteral("Nincs újabb frissítés.")}));
        QCOMPARE(readFile(program), before);
        QVERIFY(!QFileInfo::exists(vl::shell::AppDir() + QStringLiteral("frissites.tmp")));
    }

    void updateButtonRefusesAProgramOfThePackageManager() {
        // A dpkg that owns every path: "Frissítés" says to update through the
        // package manager, before any connection, and changes nothing.
        QTemporaryDir bin;
        writeFile(bin.filePath(QStringLiteral("dpkg")),
                  "#!/bin/sh\n[ \"$1\" = \"-S\" ] && echo \"vorlanda: $2\" && exit 0\nexit 1\n");
        QFile::setPermissions(bin.filePath(QStringLiteral("dpkg")), QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + path);
        const QString program = QCoreApplication::applicationFilePath();
        const QByteArray before = readFile(program);
        vl::RecordingSink sink;
        sink.answers << 0; // "Keressünk programfrissítéseket az interneten?" -> "Igen"
        vl::ScopedSink scoped(&sink);
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::remote::registerRemoteUpdate(w);
        QTest::mouseClick(w.b_frissit, Qt::LeftButton);
        qputenv("PATH", path);
        QCOMPARE(sink.texts(), (QStringList{QStringLiteral("Keressünk programfrissítéseket az interneten?"),
                                            vl::remote::PackageManagedText(QStringLiteral("vorlanda"))}));
        QVERIFY(sink.last().startsWith(QStringLiteral("A programot a rendszer csomagkezelője telepítette (vorlanda csomag)")));
        QCOMPARE(readFile(program), before);
        QVERIFY(!QFileInfo::exists(vl::shell::AppDir() + QStringLiteral("frissites.tmp")));
    }
};

QTEST_MAIN(TestUploadForm)
#include "tst_upload_form.moc"
