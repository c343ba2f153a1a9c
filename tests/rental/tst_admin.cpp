// init-db, upgrade-db and check through the real vorlanda-admin program.
#include "RentalTestDb.h"

#include <QFile>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

using vl::rental::test::TestDb;

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
                                    QStringLiteral("Sémaverzió: shell 4, framework 1, customers 1, rental %1").arg(vl::rental::Schema::latestVersion()),
                                    QStringLiteral("FORGFEJ: 15 sor"), QStringLiteral("UGYFEL: 25 sor"),
                                    QStringLiteral("ARU: 80 sor"), QStringLiteral("FORGTEV: "),
                                    QStringLiteral("FORGKABIN: "), QStringLiteral("FORGFIZ: ")})
            QVERIFY2(check.out.contains(line), qPrintable(line + QStringLiteral("\n") + check.out));
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
        QVERIFY2(up.out.contains(QStringLiteral("Sémaverzió: shell 0 -> 4, framework 0 -> 1, customers 0 -> 1, rental 0 -> %1")
                                     .arg(vl::rental::Schema::latestVersion())),
                 qPrintable(up.out));
        const Run check = admin(d2.path(), {QStringLiteral("check")});
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
        QVERIFY(check.out.contains(QStringLiteral("FORGFEJ: 0 sor")));
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
