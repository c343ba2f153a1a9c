// init-db, upgrade-db and check through the real vorlanda-admin program.
#include "RentalTestDb.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"
#include "shell/Login.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QProcess>
#include <QRegularExpression>

#include <pwd.h>
#include <unistd.h>

using vl::rental::test::TestDb;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

// The tool runs with a data folder of its own under `dir` (none made unless a
// command makes it), so the user's real data folder never answers for a
// missing PKR.INI.
Run admin(const QString& dir, const QStringList& args, const QString& dataHome = QString()) {
    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.isEmpty() ? dir + QStringLiteral("/.nincs-adatkonyvtar") : dataHome);
    p.setProcessEnvironment(env);
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

// The newest version of a module of the program (the modules above rental too).
int latest(const QString& module) {
    vl::billing::joinProgramSchema();
    vl::operations::joinProgramSchema();
    return vl::rental::Schema::registry().latestVersions().value(module);
}

void writeFile(const QString& path, const QByteArray& body) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(body);
}

// A company as the office types it: its tax number passes the check digit.
const QByteArray kCompany = R"({"NEV": "Kabinbérlő Kft.", "IRSZAM": "6720", "VAROS": "Szeged", "UTCA": "Tisza Lajos krt. 12.",
  "ADOSZAM": "12345676-2-06", "TELEFON": "+36 62 555 123", "AFA": 27, "USER": "Kovács Éva", "PASSWORD": "Titok-2026",
  "NAPTARSZABALY": "Előző munkanapra"})";

void writeIni(const QString& dir, const QString& body) {
    QFile f(dir + QStringLiteral("/PKR.INI"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(body.toLocal8Bit());
}

} // namespace

class TestAdmin : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(dir.isValid());
    }

    void initDbDemoAndCheck() {
        const QString db = dir.filePath(QStringLiteral("var/pkr.fdb"));
        writeIni(dir.path(), QStringLiteral("DBSERVER=%1\r\nWPWD=ZUMOR // a login marad\r\n").arg(db));
        const Run init = admin(dir.path(), {QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
        QVERIFY(QFile::exists(db));
        QVERIFY(init.out.contains(QStringLiteral("Az adatbázis elkészült")));

        const Run check = admin(dir.path(), {QStringLiteral("check")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        for (const QString& line : {QStringLiteral("Kapcsolat: DbServer:") + db, QStringLiteral("Meghajtó: INTRBASE"),
                                    QStringLiteral("Sémaverzió: shell %1, framework %2, customers %3, rental %4, billing %5, operations %6")
                                        .arg(latest(QStringLiteral("shell"))).arg(latest(QStringLiteral("framework")))
                                        .arg(latest(QStringLiteral("customers"))).arg(vl::rental::Schema::latestVersion())
                                        .arg(latest(QStringLiteral("billing"))).arg(latest(QStringLiteral("operations"))),
                                    QStringLiteral("FORGFEJ: 15 sor"), QStringLiteral("UGYFEL: 25 sor"),
                                    QStringLiteral("ARU: 80 sor"), QStringLiteral("FORGTEV: "),
                                    QStringLiteral("FORGKABIN: "), QStringLiteral("FORGFIZ: ")})
            QVERIFY2(check.out.contains(line), qPrintable(line + QStringLiteral("\n") + check.out));
        // The tables that grow with the history are counted only when asked.
        for (const QString& t : {QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ")}) {
            QVERIFY2(check.out.contains(t + QStringLiteral(": megvan (a sorok száma: check --counts)")), qPrintable(check.out));
            QVERIFY2(!check.out.contains(QRegularExpression(t + QStringLiteral(": \\d+ sor"))), qPrintable(check.out));
        }
        const Run counted = admin(dir.path(), {QStringLiteral("check"), QStringLiteral("--counts")});
        QVERIFY2(counted.code == 0, qPrintable(counted.out + counted.err));
        for (const QString& t : {QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ")})
            QVERIFY2(counted.out.contains(QRegularExpression(t + QStringLiteral(": [1-9]\\d* sor"))), qPrintable(counted.out));
        QVERIFY2(counted.out.contains(QStringLiteral("FORGFEJ: 15 sor")), qPrintable(counted.out));
    }

    void initDbRefusesExisting() {
        const QString db = dir.filePath(QStringLiteral("var/pkr.fdb"));
        const qint64 size = QFileInfo(db).size();
        const Run again = admin(dir.path(), {QStringLiteral("init-db")});
        QVERIFY(again.code != 0);
        QVERIFY2(again.err.contains(QStringLiteral("már létezik")), qPrintable(again.err));
        QCOMPARE(QFileInfo(db).size(), size);
        const Run check = admin(dir.path(), {QStringLiteral("check")});
        QVERIFY(check.out.contains(QStringLiteral("FORGFEJ: 15 sor")));
    }

    void upgradeUpToDate() {
        const Run up = admin(dir.path(), {QStringLiteral("upgrade-db")});
        QVERIFY2(up.code == 0, qPrintable(up.out + up.err));
        QVERIFY2(up.out.contains(QStringLiteral("naprakész")), qPrintable(up.out));
    }

    // A connection of this process stays open while the tool works on the same file.
    void checkWhileConnected() {
        const QString db = dir.filePath(QStringLiteral("var/pkr.fdb"));
        auto conn = vl::db::connect(vl::rental::test::embeddedParams(db));
        auto tx = conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S9', 'Próba', 'I')"));
        const Run check = admin(dir.path(), {QStringLiteral("check")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        tx->commit();
        conn->close();
    }

    // open-year runs without a login: its rows name the operating-system user. A
    // year more than one past the business year is refused even with --force.
    void openYearWithoutLogin() {
        const QString db = dir.filePath(QStringLiteral("var/pkr.fdb"));
        const int year = QDate::currentDate().year();
        const Run far = admin(dir.path(), {QStringLiteral("open-year"), QString::number(year + 2),
                                           QStringLiteral("--force")});
        QVERIFY2(far.code != 0, qPrintable(far.out + far.err));
        QVERIFY2((far.out + far.err).contains(QStringLiteral("legfeljebb a(z) %1. év nyitható meg").arg(year + 1)),
                 qPrintable(far.out + far.err));

        const Run run = admin(dir.path(), {QStringLiteral("open-year"), QString::number(year + 1)});
        QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
        const struct passwd* pw = getpwuid(geteuid());
        QVERIFY(pw);
        const QString osUser = QString::fromLocal8Bit(pw->pw_name).left(10);
        auto conn = vl::db::connect(vl::rental::test::embeddedParams(db));
        vl::db::Params p{{QStringLiteral("d"), QStringLiteral("%1.01.01").arg(year + 1)}};
        QCOMPARE(conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE DATUM >= :d AND TEVALLAPOT = 'T'"
                                            " AND COALESCE(JUZER, '') = ''"), p).at(0, 0).toLongLong(), 0);
        p.push_back({QStringLiteral("u"), osUser});
        QVERIFY(conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE DATUM >= :d AND TEVALLAPOT = 'T'"
                                           " AND JUZER = :u"), p).at(0, 0).toLongLong() > 0);
        conn->close();
    }

    // An older database (version table at 0, data in it) is brought up in place.
    void upgradeOlderDatabase() {
        QTemporaryDir d2;
        const QString db = d2.filePath(QStringLiteral("old.fdb"));
        {
            auto conn = vl::db::createFirebirdDatabase(vl::rental::test::embeddedParams(db));
            conn->exec(QStringLiteral("CREATE TABLE VL_SEMA (VERZIO INTEGER NOT NULL)"));
            conn->close();
        }
        writeIni(d2.path(), QStringLiteral("DBSERVER=%1\n").arg(db));
        const Run up = admin(d2.path(), {QStringLiteral("upgrade-db")});
        QVERIFY2(up.code == 0, qPrintable(up.out + up.err));
        QVERIFY2(up.out.contains(QStringLiteral("Sémaverzió: shell 0 -> %1, framework 0 -> %2, customers 0 -> %3, rental 0 -> %4, "
                                                "billing 0 -> %5, operations 0 -> %6")
                                     .arg(latest(QStringLiteral("shell"))).arg(latest(QStringLiteral("framework"))).arg(latest(QStringLiteral("customers")))
                                     .arg(vl::rental::Schema::latestVersion())
                                     .arg(latest(QStringLiteral("billing"))).arg(latest(QStringLiteral("operations")))),
                 qPrintable(up.out));
        const Run check = admin(d2.path(), {QStringLiteral("check"), QStringLiteral("--counts")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        for (const QString& line : {QStringLiteral("FORGFEJ: 0 sor"), QStringLiteral("FORGTEV: 0 sor"), QStringLiteral("FORGFIZ: 0 sor")})
            QVERIFY2(check.out.contains(line), qPrintable(line + QStringLiteral("\n") + check.out));
    }

    void badConfigurations_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("message");
        QTest::newRow("init-db without DBSERVER") << "WPWD=NONE\n" << "init-db" << "DBSERVER";
        QTest::newRow("init-db through an alias") << "DBALIAS=pkr\nDBSERVER=x.fdb\n" << "init-db" << "DBALIAS";
        QTest::newRow("init-db with ODBC") << "ALIASDRIVERNAME=ODBC\nDBSERVER=forras\n" << "init-db" << "ODBC";
        QTest::newRow("check on a missing file") << "DBSERVER=@DIR@/nincs.fdb\n" << "check" << "nincs.fdb";
        QTest::newRow("check on a file that is no database") << "DBSERVER=@DIR@/PKR.INI\n" << "check"
                                                             << "Kapcsolódás az adatbázishoz sikertelen.";
        QTest::newRow("upgrade on a missing file") << "DBSERVER=@DIR@/nincs.fdb\n" << "upgrade-db" << "nincs.fdb";
        QTest::newRow("unknown argument") << "DBSERVER=@DIR@/x.fdb\n" << "init-db --nemletezik" << "--nemletezik";
    }
    void badConfigurations() {
        QFETCH(QString, ini);
        QFETCH(QString, command);
        QFETCH(QString, message);
        QTemporaryDir d;
        writeIni(d.path(), QString(ini).replace(QStringLiteral("@DIR@"), d.path()));
        const Run r = admin(d.path(), command.split(QLatin1Char(' ')));
        QVERIFY2(r.code > 0, qPrintable(QString::number(r.code) + r.out + r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("nincs.fdb"))));
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("x.fdb"))));
    }

    // init-db --company: the office's own company and first user, every
    // dictionary and control table seeded, not one demonstration row.
    void initDbCompany() {
        QTemporaryDir d;
        const QString db = d.filePath(QStringLiteral("ceg.fdb"));
        writeIni(d.path(), QStringLiteral("DBSERVER=%1\r\n").arg(db));
        writeFile(d.filePath(QStringLiteral("ceg.json")), kCompany);
        const Run init = admin(d.path(), {QStringLiteral("init-db"), QStringLiteral("--company"), QStringLiteral("ceg.json")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
        QVERIFY2(init.out.contains(QStringLiteral("Cég: Kabinbérlő Kft.; első felhasználó: Kovács Éva")), qPrintable(init.out));
        const Run check = admin(d.path(), {QStringLiteral("check")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        for (const QString& line : {QStringLiteral("FORGFEJ: 0 sor"), QStringLiteral("UGYFEL: 0 sor"), QStringLiteral("ARU: 0 sor")})
            QVERIFY2(check.out.contains(line), qPrintable(line + QStringLiteral("\n") + check.out));

        auto conn = vl::db::connect(vl::rental::test::embeddedParams(db));
        auto one = [&](const QString& sql) {
            const auto rs = conn->query(sql);
            QStringList l;
            for (int r = 0; r < rs.rowCount(); ++r) {
                QStringList cols;
                for (int c = 0; c < rs.columnCount(); ++c) cols << rs.at(r, c).toString().trimmed();
                l << cols.join(u'|');
            }
            return l.join(u';');
        };
        QCOMPARE(one(QStringLiteral("SELECT NEV, IRSZAM, VAROS, UTCA, ADOSZAM, TELEFON FROM CEG")),
                 QStringLiteral("Kabinbérlő Kft.|6720|Szeged|Tisza Lajos krt. 12.|12345676-2-06|+36 62 555 123"));
        QCOMPARE(one(QStringLiteral("SELECT KOD, NEV, JOGOK, AKTIV FROM SZ_JUZER")), QStringLiteral("KOVACSEVA|Kovács Éva|W|I"));
        QCOMPARE(one(QStringLiteral("SELECT KOD FROM SZ_ADO WHERE STANDARD = 'I'")), QStringLiteral("27"));
        // No demonstration rows: no customer, cabin, driver or contract.
        for (const char* t : {"UGYFEL", "UGYFELCIM", "ARU", "SZ_SOFOR", "FORGFEJ", "FORGSOR", "FORGTEV", "FORGFIZ"})
            QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t))), QStringLiteral("0"));
        // Every dictionary and control table is seeded.
        for (const char* t : {"SZ_STATUSR", "SZ_STATUSK", "SZ_STATUST", "SZ_TEVEKENY", "SZ_BERMOD", "SZ_FIZMOD",
                              "SZ_MEGYSEG", "SZ_ARUCSOP", "SZ_TEVAR", "SZ_IRSZAM", "HKSZCSPSZV", "TABLAK", "VEZERLO"})
            QVERIFY2(one(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t))).toInt() > 0, t);
        // The company's own postal code is in the dictionary; the panel shows the new fields.
        QCOMPARE(one(QStringLiteral("SELECT NEV FROM SZ_IRSZAM WHERE KOD = '6720'")), QStringLiteral("Szeged"));
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM VEZERLO WHERE MODUL = 'CEG' AND MEZO IN ('ADOSZAM', 'TELEFON')")),
                 QStringLiteral("2"));
        // The first user logs in with the chosen password and is not asked to change it.
        vl::shell::LoginUser u;
        QCOMPARE(vl::shell::CheckLogin(*conn, QStringLiteral("kovács éva"), QStringLiteral("titok-2026"), &u),
                 vl::shell::LoginCheck::Ok);
        QVERIFY(!vl::shell::IsSeededDefaultPassword(u.code, conn->query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER")).at(0, 0).toString()));
        conn->close();
    }

    // A file that cannot make a company is refused in Hungarian; no database is made.
    void initDbCompanyRefused_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("not JSON") << QByteArray("{\"NEV\": \"X\",") << "nem érvényes JSON";
        QTest::newRow("an array") << QByteArray("[1, 2]") << "egyetlen JSON objektum";
        QTest::newRow("no tax number") << QByteArray(kCompany).replace("\"ADOSZAM\": \"12345676-2-06\",", "")
                                       << "Hiányzik a cég adatai közül: ADOSZAM";
        QTest::newRow("empty name") << QByteArray(kCompany).replace("\"Kabinbérlő Kft.\"", "\" \"")
                                    << "Meg kell adni: a cég neve.";
        QTest::newRow("wrong check digit") << QByteArray(kCompany).replace("12345676-2-06", "12345678-2-06")
                                           << "Az adószám nem érvényes";
        QTest::newRow("VAT as a word") << QByteArray(kCompany).replace("\"AFA\": 27", "\"AFA\": \"sok\"")
                                       << "Az AFA kulcs értéke nem szám: sok";
        QTest::newRow("VAT out of range") << QByteArray(kCompany).replace("\"AFA\": 27", "\"AFA\": 127")
                                          << "0 és 100 közötti";
        QTest::newRow("unknown key") << QByteArray(kCompany).replace("\"TELEFON\"", "\"FAX\"") << "Ismeretlen kulcs";
        QTest::newRow("number as a name") << QByteArray(kCompany).replace("\"Kabinbérlő Kft.\"", "12")
                                          << "A(z) NEV kulcs értéke szöveg legyen";
        QTest::newRow("seeded password") << QByteArray(kCompany).replace("Titok-2026", "zumor")
                                         << "nem lehet a program alapértelmezett jelszava";
    }
    void initDbCompanyRefused() {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        QTemporaryDir d;
        const QString db = d.filePath(QStringLiteral("ceg.fdb"));
        writeIni(d.path(), QStringLiteral("DBSERVER=%1\r\n").arg(db));
        writeFile(d.filePath(QStringLiteral("ceg.json")), json);
        const Run r = admin(d.path(), {QStringLiteral("init-db"), QStringLiteral("--company"), QStringLiteral("ceg.json")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("Nem jött létre adatbázis.")), qPrintable(r.err));
        QVERIFY(!QFile::exists(db));
        QVERIFY(!QFile::exists(db + QStringLiteral(".lock")));
    }

    // No PKR.INI in the working directory: init-db makes the user's data
    // folder (owner-only, with its PKR.INI) and the database in it; the other
    // commands find it there; a PKR.INI in the working directory still wins.
    void dataFolderWithoutIni() {
        QTemporaryDir d;
        const QString home = d.filePath(QStringLiteral("xdg"));
        const QString work = d.filePath(QStringLiteral("munka"));
        QVERIFY(QDir().mkpath(work));
        // The company file named as the user types it, from the folder the
        // command starts in (the command then works in the data folder).
        writeFile(QDir(work).filePath(QStringLiteral("ceg.json")), kCompany);
        const Run init = admin(work, {QStringLiteral("init-db"), QStringLiteral("--company"), QStringLiteral("ceg.json")}, home);
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
        const QString folder = home + QStringLiteral("/vorlanda");
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/pkr.fdb")));
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                                    | QFile::WriteOther | QFile::ExeOther), QFile::Permissions());
        QCOMPARE(QFileInfo(folder + QStringLiteral("/PKR.INI")).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
        QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{QStringLiteral("ceg.json")});
        const Run check = admin(work, {QStringLiteral("check")}, home);
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        QVERIFY2(check.out.contains(QStringLiteral("Kapcsolat: DbServer:") + folder + QStringLiteral("/pkr.fdb")), qPrintable(check.out));
        // The working directory's PKR.INI wins.
        writeIni(work, QStringLiteral("DBSERVER=%1/nincs.fdb\r\n").arg(work));
        const Run own = admin(work, {QStringLiteral("check")}, home);
        QVERIFY(own.code != 0);
        QVERIFY2(own.err.contains(work + QStringLiteral("/nincs.fdb")), qPrintable(own.err));
    }

    void missingIni() {
        QTemporaryDir d;
        const Run r = admin(d.path(), {QStringLiteral("check")});
        QVERIFY(r.code > 0);
        QVERIFY2(r.err.contains(QStringLiteral("not found")), qPrintable(r.err));
    }

    // The server route: a database on a Firebird server, credentials from PKR.INI.
    void serverRoute() {
        if (!vl::rental::test::serverConfigured())
            QSKIP("VORLANDA_TEST_FBSERVER / VORLANDA_TEST_FBDIR not set: no Firebird server for this run");
        QTemporaryDir d;
        const QString name = QStringLiteral("rental_admin_%1.fdb").arg(QCoreApplication::applicationPid());
        const auto p = vl::rental::test::serverParams(name);
        struct Drop {
            QString file;
            ~Drop() { QFile::remove(file); }
        } drop{qEnvironmentVariable("VORLANDA_TEST_FBDIR") + QLatin1Char('/') + name};
        writeIni(d.path(), QStringLiteral("DBSERVER=%1\nDBUSERNAME=%2\nDBPASSWORD=%3\n")
                               .arg(p.database, p.user, p.password));
        const Run init = admin(d.path(), {QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
        const Run check = admin(d.path(), {QStringLiteral("check")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        QVERIFY(check.out.contains(QStringLiteral("FORGFEJ: 15 sor")));
        const Run again = admin(d.path(), {QStringLiteral("init-db")});
        QVERIFY(again.code != 0);
    }
};

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
