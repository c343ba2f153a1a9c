// The program update end to end on the loopback FTP server: a newer version
// replaces the program and adds its configuration lines and statements
// together; an equal version changes nothing; statements never enter twice;
// a bad hash, a bad name or a failed replacement changes nothing.
#include "RemoteTestEnv.h"

#include "remote/ProgramUpdate.h"
#include "shell/Cp1250.h"
#include "shell/Ini.h"
#include "shell/Queries.h"
#include "util/Scramble.h"

#include <QCryptographicHash>
#include <QScopeGuard>
#include <QTemporaryDir>

using namespace vl::remote;
using namespace remotetest;

namespace {

// The ELF header of the running test program: a program for this machine starts so.
QByteArray ownElfHeader() {
    QFile f(QStringLiteral("/proc/self/exe"));
    return f.open(QIODevice::ReadOnly) ? f.read(64) : QByteArray();
}
// The same header for another machine (x86-64 and AArch64 swapped), byte order kept.
QByteArray otherMachineHeader() {
    QByteArray h = ownElfHeader();
    const bool big = h.size() > 5 && h.at(5) == 2;
    const int self = big ? (uchar(h[18]) << 8 | uchar(h[19])) : (uchar(h[19]) << 8 | uchar(h[18]));
    const int other = self == 62 ? 183 : 62;
    h[big ? 19 : 18] = char(other & 0xff);
    h[big ? 18 : 19] = char(other >> 8);
    return h;
}

const QByteArray kOldProgram = "regi program\n";
const QByteArray kNewProgram = ownElfHeader() + QByteArray("uj program\n") + QByteArray(70000, 'x');
const QByteArray kStatements = QString::fromUtf8("ALTER TABLE CEG ADD UJMEZO VARCHAR(10);\nUPDATE CEG SET NEV = 'Őrző';\n").toUtf8();

QString sha(const QByteArray& b) { return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex()); }

struct Site {
    QTemporaryDir work;
    QString appDir, program, ini, serverDir, folder;
    QByteArray iniBytes;
    vl::db::RowSet company;

    void make(const FtpEnv& e, const QString& tag, const QString& dbVersion = QStringLiteral("1.6.2")) {
        appDir = work.filePath(QStringLiteral("munka/"));
        QDir().mkpath(appDir);
        QDir().mkpath(work.filePath(QStringLiteral("bin")));
        program = work.filePath(QStringLiteral("bin/vorlanda"));
        writeFile(program, kOldProgram);
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup);
        ini = appDir + QStringLiteral("PKR.INI");
        iniBytes = vl::shell::toCp1250(QStringLiteral("DBSERVER=/adat/pkr.fdb\r\nFOO=1\r\n\r\nNEV=Ő\r\n"));
        writeFile(ini, iniBytes);
        folder = QStringLiteral("frissites-") + tag;
        serverDir = makeServerFolder(e, folder);
        writeFile(serverDir + QStringLiteral("/VORLANDA"), kNewProgram);
        writeFile(serverDir + QStringLiteral("/frissit1.sql"), kStatements);
        writeFile(serverDir + QStringLiteral("/frissit2.sql"), "DELETE FROM NAPLO;\r\n");
        using vl::util::Scramble;
        company = companyRow({{"KOD", "C01"},
                              {"NEV", QStringLiteral("Próba Kft.")},
                              {"VERSION", dbVersion},
                              {"FTPHOST", Scramble(e.host)},
                              {"FTPUSERID", Scramble(e.user)},
                              {"FTPPWDID", Scramble(e.password)},
                              {"FTP_DFOLDER", folder}});
    }
    // The information file; a line "SHA256=NAME *" publishes the hash of the server's file NAME as it is now.
    void inf(const QStringList& given) {
        QStringList lines;
        for (const QString& l : given) {
            if (l.startsWith(QStringLiteral("SHA256=")) && l.endsWith(QStringLiteral(" *"))) {
                const QString name = l.mid(7).chopped(2);
                lines << QStringLiteral("SHA256=") + name + QLatin1Char(' ') + sha(readFile(serverDir + QLatin1Char('/') + name));
            } else {
                lines << l;
            }
        }
        writeFile(serverDir + QStringLiteral("/VORLANDA.INF"), lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    }
    UpdateInput input() const {
        UpdateInput in;
        in.programPath = program;
        in.programVersion = QStringLiteral("1.6.2");
        in.company = company;
        in.appDir = appDir;
        in.iniFile = ini;
        return in;
    }
    QString oldCopy() const { return work.filePath(QStringLiteral("bin/vorlanda1.6.2")); }
    QString script() const { return appDir + QStringLiteral("UPDATES.SQL"); }
    QStringList records() const {
        return QDir(serverDir).entryList({QStringLiteral("download_*")}, QDir::Files);
    }
    // Nothing of the site changed.
    void verifyUntouched(const QByteArray& scriptBefore = QByteArray()) const {
        QCOMPARE(readFile(program), kOldProgram);
        QVERIFY(!QFileInfo(oldCopy()).isFile());
        QCOMPARE(readFile(ini), iniBytes);
        if (scriptBefore.isEmpty()) QVERIFY(!QFileInfo::exists(script()));
        else QCOMPARE(readFile(script()), scriptBefore);
        QCOMPARE(records(), QStringList());
        QVERIFY(!QFileInfo::exists(ProgramUpdater::StagingFolder(appDir)));
    }
};

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void compareVersions_data();
    void compareVersions();
    void bareNames_data();
    void bareNames();
    void names();
    void newerVersionInstallsTogether();
    void notNewer_data();
    void notNewer();
    void databaseAlreadyNewer();
    void statementsEnterOnce();
    void failuresChangeNothing_data();
    void failuresChangeNothing();
    void refusedConnection();
};

void TestUpdate::compareVersions_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");
    QTest::newRow("equal") << "1.6.2" << "1.6.2" << 0;
    QTest::newRow("extra .0 is not newer") << "1.6.2.0" << "1.6.2" << 0;
    QTest::newRow("leading zero is not newer") << "1.06.2" << "1.6.2" << 0;
    QTest::newRow("numbers, not text") << "1.6.10" << "1.6.9" << 1;
    QTest::newRow("older") << "1.6.1" << "1.6.2" << -1;
    QTest::newRow("zero") << "0" << "1.6.2" << -1;
    QTest::newRow("longer and higher") << "1.6.2.1" << "1.6.2" << 1;
}

void TestUpdate::compareVersions() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    QCOMPARE(CompareVersions(a, b), result);
    QCOMPARE(CompareVersions(b, a), -result);
    for (const QString bad : {QStringLiteral("1.6.x"), QStringLiteral("1..2"), QStringLiteral(""), QStringLiteral("1.-1"),
                              QStringLiteral("1. 6")})
        QVERIFY_THROWS_EXCEPTION(vl::Error, CompareVersions(bad, a));
}

void TestUpdate::bareNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("bare");
    QTest::newRow("plain") << "frissit1.sql" << true;
    QTest::newRow("accented") << "módosítás.sql" << true;
    QTest::newRow("parent") << "../x.sql" << false;
    QTest::newRow("dots inside") << "a..sql" << false;
    QTest::newRow("folder") << "sql/x.sql" << false;
    QTest::newRow("windows folder") << "sql\\x.sql" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("drive") << "C:x.sql" << false;
    QTest::newRow("hidden") << ".bashrc" << false;
    QTest::newRow("empty") << "" << false;
}

void TestUpdate::bareNames() {
    QFETCH(QString, name);
    QFETCH(bool, bare);
    QCOMPARE(IsBareFileName(name), bare);
}

void TestUpdate::names() {
    // The program's size limit: FRISSITESMAXMB megabytes, 200 without a valid setting.
    vl::shell::IniClear();
    QCOMPARE(ProgramSizeLimitSetting(), qint64(200) * 1024 * 1024);
    vl::shell::IniWrite(QStringLiteral("FRISSITESMAXMB"), QStringLiteral("0"));
    QCOMPARE(ProgramSizeLimitSetting(), qint64(200) * 1024 * 1024);
    vl::shell::IniWrite(QStringLiteral("FRISSITESMAXMB"), QStringLiteral(" 50 "));
    QCOMPARE(ProgramSizeLimitSetting(), qint64(50) * 1024 * 1024);
    vl::shell::IniClear();

    QCOMPARE(ProgramUpdater::ServerProgramName(QStringLiteral("/opt/vorlanda/bin/vorlanda")), QStringLiteral("VORLANDA"));
    QCOMPARE(ProgramUpdater::BaseName(QStringLiteral("/opt/vorlanda/bin/vorlanda")), QStringLiteral("VORLANDA"));
    QCOMPARE(ProgramUpdater::BaseName(QStringLiteral("C:\\pkr\\PKR.EXE")), QStringLiteral("PKR"));
    QCOMPARE(ProgramUpdater::OldCopyPath(QStringLiteral("/opt/v/bin/vorlanda"), QStringLiteral(" 1.6.2 ")),
             QStringLiteral("/opt/v/bin/vorlanda1.6.2"));
    QCOMPARE(ProgramUpdater::OldCopyPath(QStringLiteral("/opt/v/bin/Vorlanda.bin"), QStringLiteral("1.6.2")),
             QStringLiteral("/opt/v/bin/Vorlanda1.6.2.bin"));
}

void TestUpdate::newerVersionInstallsTogether() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    Site site;
    site.make(e, QStringLiteral("ujabb"));
    site.inf({QStringLiteral("* a frissítés leírása"), QStringLiteral("UPDATES=elotte.sql"), QStringLiteral("VERSION=1.6.3"),
              QStringLiteral("ADDTOINI=UJKULCS=5"), QStringLiteral("ADDTOINI=DBSERVER=/mas/adat.fdb"),
              QStringLiteral("ADDTOINI=FOO=2"), QStringLiteral("ADDTOINI=@masik.ini"), QStringLiteral("ADDTOINI=* megjegyzés"),
              QStringLiteral("ADDTOINI=WPWD=NONE"), QStringLiteral("ADDTOINI=ujkulcs=6"), QStringLiteral("UPDATES=frissit1.sql"),
              QStringLiteral("SHA256=VORLANDA ") + sha(kNewProgram), QStringLiteral("sha256 = frissit1.sql ") + sha(kStatements).toUpper(),
              QString(), QStringLiteral("UPDATES=utana.sql")});
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    ProgramUpdater updater;
    const UpdateResult r = updater.run(site.input());
    QCOMPARE(int(r.outcome), int(UpdateOutcome::Replaced));
    QCOMPARE(r.foundVersion, QStringLiteral("1.6.3"));

    // The program: replaced, executable; the old one kept under its version.
    QCOMPARE(readFile(site.program), kNewProgram);
    QVERIFY(QFileInfo(site.program).isExecutable());
    QCOMPARE(readFile(site.oldCopy()), kOldProgram);
    QCOMPARE(r.oldCopy, site.oldCopy());
    // The configuration: empty lines gone, only the new key added, in windows-1250.
    QCOMPARE(readFile(site.ini), vl::shell::toCp1250(QStringLiteral("DBSERVER=/adat/pkr.fdb\r\nFOO=1\r\nNEV=Ő\r\nUJKULCS=5\r\n")));
    QCOMPARE(r.addedIniLines, QStringList{QStringLiteral("UJKULCS=5")});
    QCOMPARE(r.refusedIniLines.size(), 6);
    // The statements: once, converted to windows-1250, the version written at the end.
    const QString script = vl::shell::fromCp1250(readFile(site.script()));
    QCOMPARE(readFile(site.script()),
             vl::shell::toCp1250(QStringLiteral("-- FRISSITES frissit1.sql 1.6.3\r\nALTER TABLE CEG ADD UJMEZO VARCHAR(10);\r\n"
                                                "UPDATE CEG SET NEV = 'Őrző';\r\nUPDATE CEG SET VERSION = '1.6.3';\r\n")));
    const auto statements = vl::shell::SplitUpdateScript(script);
    QCOMPARE(statements.size(), 3);
    QCOMPARE(statements.last().text.trimmed(), QStringLiteral("UPDATE CEG SET VERSION = '1.6.3'"));
    // The record on the server, none left here; the staging folder gone.
    QCOMPARE(site.records(), QStringList{QStringLiteral("download_VORLANDA_C011.6.3.txt")});
    QVERIFY(vl::shell::fromCp1250(readFile(site.serverDir + QStringLiteral("/download_VORLANDA_C011.6.3.txt")))
                .startsWith(QStringLiteral("VORLANDA downloaded by C01, Próba Kft. from 1.6.2 to 1.6.3 at ")));
    QVERIFY(!QFileInfo::exists(site.appDir + QStringLiteral("download_VORLANDA_C011.6.3.txt")));
    QVERIFY(!QFileInfo::exists(ProgramUpdater::StagingFolder(site.appDir)));
    QVERIFY(!QFileInfo::exists(site.appDir + QStringLiteral("VORLANDA.INF")));
    // Messages: the refused lines, then the restart.
    QCOMPARE(sink.messages.size(), 2);
    QVERIFY(sink.texts().at(0).contains(QStringLiteral("DBSERVER=/mas/adat.fdb")));
    QVERIFY(sink.texts().at(0).contains(QStringLiteral("@masik.ini")));
    QVERIFY(!allTexts(sink).contains(e.password));
    QCOMPARE(sink.last(), QStringLiteral("Letöltöttük a friss programot.\rverzió=1.6.3\rKérem indítsa újra a programot!"));

    // A second update in the same run only asks for the restart.
    sink.clear();
    const QByteArray scriptAfter = readFile(site.script());
    const QByteArray iniAfter = readFile(site.ini);
    const UpdateResult again = updater.run(site.input());
    QCOMPARE(int(again.outcome), int(UpdateOutcome::RestartPending));
    QCOMPARE(sink.texts(), QStringList{QStringLiteral("Letöltöttük a friss programot.\rverzió=1.6.3\rKérem indítsa újra a programot!")});
    QCOMPARE(readFile(site.script()), scriptAfter);
    QCOMPARE(readFile(site.ini), iniAfter);
    QCOMPARE(readFile(site.oldCopy()), kOldProgram);
    QCOMPARE(site.records().size(), 1);
}

void TestUpdate::notNewer_data() {
    QTest::addColumn<QString>("version");
    QTest::newRow("equal") << "1.6.2";
    QTest::newRow("extra .0") << "1.6.2.0";
    QTest::newRow("leading zero") << "1.06.2";
    QTest::newRow("older") << "1.6.1";
}

void TestUpdate::notNewer() {
    QFETCH(QString, version);
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    Site site;
    site.make(e, QStringLiteral("nemujabb"));
    site.inf({QStringLiteral("VERSION=") + version, QStringLiteral("ADDTOINI=UJKULCS=5"), QStringLiteral("UPDATES=frissit1.sql")});
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    ProgramUpdater updater;
    const UpdateResult r = updater.run(site.input());
    QCOMPARE(int(r.outcome), int(UpdateOutcome::NothingNewer));
    QCOMPARE(sink.texts(), QStringList{QStringLiteral("Nincs újabb frissítés.")});
    site.verifyUntouched();
}

void TestUpdate::databaseAlreadyNewer() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    Site site;
    site.make(e, QStringLiteral("dbujabb"), QStringLiteral("1.6.3"));
    site.inf({QStringLiteral("VERSION=1.6.3"), QStringLiteral("ADDTOINI=UJKULCS=5"), QStringLiteral("UPDATES=frissit1.sql"),
              QStringLiteral("SHA256=VORLANDA *")});
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    ProgramUpdater updater;
    const UpdateResult r = updater.run(site.input());
    QCOMPARE(int(r.outcome), int(UpdateOutcome::Replaced));
    QCOMPARE(readFile(site.program), kNewProgram);
    QVERIFY(vl::shell::fromCp1250(readFile(site.ini)).contains(QStringLiteral("UJKULCS=5")));
    QVERIFY(r.statementFiles.isEmpty());
    QVERIFY(!QFileInfo::exists(site.script()));
}

void TestUpdate::statementsEnterOnce() {
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    Site site;
    site.make(e, QStringLiteral("egyszer"));
    site.inf({QStringLiteral("VERSION=1.6.3"), QStringLiteral("UPDATES=frissit1.sql"), QStringLiteral("UPDATES=frissit2.sql"),
              QStringLiteral("UPDATES=frissit1.sql"), QStringLiteral("SHA256=VORLANDA *"), QStringLiteral("SHA256=frissit1.sql *"),
              QStringLiteral("SHA256=frissit2.sql *")});
    // Statements of an earlier update that did not run yet, frissit1.sql among them.
    const QByteArray earlier = vl::shell::toCp1250(
        QStringLiteral("SELECT 1 FROM RDB$DATABASE;\r\n-- FRISSITES frissit1.sql 1.6.3\r\nUPDATE CEG SET NEV = 'Őrző';\r\n"));
    writeFile(site.script(), earlier);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    ProgramUpdater updater;
    const UpdateResult r = updater.run(site.input());
    QCOMPARE(int(r.outcome), int(UpdateOutcome::Replaced));
    QCOMPARE(r.statementFiles, QStringList{QStringLiteral("frissit2.sql")});
    QCOMPARE(readFile(site.script()),
             earlier + vl::shell::toCp1250(QStringLiteral("-- FRISSITES frissit2.sql 1.6.3\r\nDELETE FROM NAPLO;\r\n"
                                                          "UPDATE CEG SET VERSION = '1.6.3';\r\n")));
}

void TestUpdate::failuresChangeNothing_data() {
    QTest::addColumn<QStringList>("inf");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message"); // the message, or its beginning when it ends in "*"
    const QString ok = QStringLiteral("VERSION=1.6.3");
    const QStringList unsigned_{ok, QStringLiteral("ADDTOINI=UJKULCS=5"), QStringLiteral("UPDATES=frissit1.sql")};
    const QStringList full = QStringList(unsigned_) << QStringLiteral("SHA256=VORLANDA *") << QStringLiteral("SHA256=frissit1.sql *");
    QTest::newRow("hash mismatch") << (QStringList(full) << QStringLiteral("SHA256=VORLANDA ") + QString(64, u'a')) << ""
                                   << "A frissítés nem ellenőrizhető: a letöltött fájl ellenőrző összege (SHA-256) nem egyezik: VORLANDA*";
    QTest::newRow("hash mismatch of statements")
        << (QStringList(full) << QStringLiteral("SHA256=frissit1.sql ") + sha("mas")) << ""
        << "A frissítés nem ellenőrizhető: a letöltött fájl ellenőrző összege (SHA-256) nem egyezik: frissit1.sql*";
    // What the update installs must be verifiable: a published hash for every
    // file, and a program for this machine within the configured size.
    QTest::newRow("no SHA256 line") << unsigned_ << ""
                                    << "A frissítés nem ellenőrizhető: a frissítési információkban nincs SHA256 sor ehhez: frissit1.sql*";
    QTest::newRow("no SHA256 line for the program") << (QStringList(unsigned_) << QStringLiteral("SHA256=frissit1.sql *")) << ""
                                                    << "A frissítés nem ellenőrizhető: a frissítési információkban nincs SHA256 sor ehhez: VORLANDA*";
    QTest::newRow("a file of zeros") << full << "zeros"
                                     << "A frissítés nem ellenőrizhető: a letöltött VORLANDA: nem futtatható program (nem ELF fájl)*";
    QTest::newRow("a program of another machine") << full << "otherarch"
                                                  << "A frissítés nem ellenőrizhető: a letöltött VORLANDA: más gépre készült program*";
    QTest::newRow("larger than the configured limit") << full << "toobig"
                                                      << "A frissítés nem ellenőrizhető: a program (VORLANDA) 1572939 bájt, "
                                                         "a megengedett legfeljebb 1048576 bájt (FRISSITESMAXMB).*";
    QTest::newRow("installed by the package manager") << full << "dpkg"
                                                      << "A programot a rendszer csomagkezelője telepítette (vorlanda-teszt csomag)*";
    QTest::newRow("name with ../") << QStringList{ok, QStringLiteral("ADDTOINI=UJKULCS=5"), QStringLiteral("UPDATES=../frissit1.sql")}
                                   << "" << "Hibás fájlnév a frissítési információkban: ../frissit1.sql*";
    QTest::newRow("bad SHA256 line") << (QStringList(full) << QStringLiteral("SHA256=VORLANDA 12")) << ""
                                     << "Hibás sor a frissítési információkban: SHA256=VORLANDA 12";
    QTest::newRow("old copy name taken by a folder") << full << "oldcopydir"
                                                     << "Nem sikerült törölni a program előző verziójú példányát. Hibakód:39";
    QTest::newRow("version not a number") << QStringList{QStringLiteral("VERSION=1.6.x"), QStringLiteral("ADDTOINI=UJKULCS=5")} << ""
                                          << "Hibás verziószám: 1.6.x*";
    QTest::newRow("statement file missing") << QStringList{ok, QStringLiteral("ADDTOINI=UJKULCS=5"), QStringLiteral("UPDATES=nincs.sql"),
                                                           QStringLiteral("SHA256=VORLANDA *"), QStringLiteral("SHA256=nincs.sql ") + sha("")}
                                            << "" << "Hiba a feldolgozás közben: nincs.sql\rHibakód=550";
    QTest::newRow("program missing") << full << "noprogram" << "nem tudom letölteni a frissítést.\rhibakód=550";
    QTest::newRow("information file missing") << full << "noinf"
                                              << "Nem tudom letölteni a frissítési információkat: FOLDER/VORLANDA.INF.\rHibakód=550";
    QTest::newRow("folder missing") << full << "nofolder" << "Nem találom a mappát: nincs-ilyen-mappa\rHibakód=550";
}

void TestUpdate::failuresChangeNothing() {
    QFETCH(QStringList, inf);
    QFETCH(QString, setup);
    QFETCH(QString, message);
    const FtpEnv e = ftpEnv();
    REQUIRE_FTP(e);
    Site site;
    site.make(e, QStringLiteral("hiba"));
    QTemporaryDir fakeBin;
    const QByteArray path = qgetenv("PATH");
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); vl::shell::IniClear(); });
    if (setup == QStringLiteral("zeros")) {
        writeFile(site.serverDir + QStringLiteral("/VORLANDA"), QByteArray(300000, '\0'));
    } else if (setup == QStringLiteral("otherarch")) {
        writeFile(site.serverDir + QStringLiteral("/VORLANDA"), otherMachineHeader() + QByteArray(70000, 'x'));
    } else if (setup == QStringLiteral("toobig")) {
        // 1.5 MB against a limit of 1 MB in the configuration.
        writeFile(site.serverDir + QStringLiteral("/VORLANDA"), ownElfHeader() + QByteArray(1572939 - 64, 'x'));
        vl::shell::IniWrite(QStringLiteral("FRISSITESMAXMB"), QStringLiteral("1"));
    } else if (setup == QStringLiteral("dpkg")) {
        // A dpkg that owns every path it is asked about.
        writeFile(fakeBin.filePath(QStringLiteral("dpkg")),
                  "#!/bin/sh\n[ \"$1\" = \"-S\" ] && echo \"vorlanda-teszt: $2\" && exit 0\nexit 1\n");
        QFile::setPermissions(fakeBin.filePath(QStringLiteral("dpkg")), QFile::ReadOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(fakeBin.path()) + ":" + path);
    }
    site.inf(inf);
    if (setup == QStringLiteral("oldcopydir")) {
        QDir().mkpath(site.oldCopy());
        writeFile(site.oldCopy() + QStringLiteral("/benne"), "x");
    } else if (setup == QStringLiteral("noprogram")) {
        QFile::remove(site.serverDir + QStringLiteral("/VORLANDA"));
    } else if (setup == QStringLiteral("noinf")) {
        QFile::remove(site.serverDir + QStringLiteral("/VORLANDA.INF"));
    } else if (setup == QStringLiteral("nofolder")) {
        site.company = companyRow({{"KOD", "C01"}, {"NEV", "x"}, {"FTPHOST", vl::util::Scramble(e.host)},
                                   {"FTPUSERID", vl::util::Scramble(e.user)}, {"FTPPWDID", vl::util::Scramble(e.password)},
                                   {"FTP_DFOLDER", "nincs-ilyen-mappa"}});
    }
    message.replace(QStringLiteral("FOLDER"), site.folder);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    ProgramUpdater updater;
    const UpdateResult r = updater.run(site.input());
    QCOMPARE(int(r.outcome), int(UpdateOutcome::Failed));
    QCOMPARE(sink.messages.size(), 1);
    if (message.endsWith(u'*')) QVERIFY2(sink.last().startsWith(message.chopped(1)), qPrintable(sink.last()));
    else QCOMPARE(sink.last(), message);
    QVERIFY(!updater.replacedThisRun());
    QVERIFY(!updater.client().connected());
    if (setup == QStringLiteral("oldcopydir")) {
        QCOMPARE(readFile(site.oldCopy() + QStringLiteral("/benne")), QByteArray("x"));
        QDir(site.oldCopy()).removeRecursively();
    }
    site.verifyUntouched();
}

void TestUpdate::refusedConnection() {
    QTemporaryDir dir;
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    UpdateInput in;
    in.programPath = dir.filePath(QStringLiteral("vorlanda"));
    in.programVersion = QStringLiteral("1.6.2");
    in.company = companyRow({{"KOD", "C01"}, {"NEV", "x"}, {"FTPHOST", vl::util::Scramble(QStringLiteral("127.0.0.1:1"))}});
    in.appDir = dir.path();
    ProgramUpdater updater;
    const UpdateResult r = updater.run(in);
    QCOMPARE(int(r.outcome), int(UpdateOutcome::Failed));
    QCOMPARE(sink.messages.size(), 1);
    QVERIFY(sink.last().startsWith(QStringLiteral("Nem tudok kapcsolódni a tárhelyhez: 127.0.0.1:1\rHibakód=")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
