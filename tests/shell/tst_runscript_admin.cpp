// vorlanda-admin run-script FILE: the summary on standard output, exit status
// 1 when a statement failed.
#include "ShellTest.h"

#include <QProcess>
#include <QtTest>

class TstRunScriptAdmin : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    QString ini;

    int runAdmin(const QStringList& args, QString* out, QString* err) {
        QProcess p;
        p.setWorkingDirectory(db.dir.path());
        p.start(QStringLiteral(VORLANDA_ADMIN), args);
        p.waitForFinished(120000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    qint64 rows() {
        auto c = db.open();
        const qint64 n = c->query(QStringLiteral("SELECT COUNT(*) FROM T")).at(0, 0).toLongLong();
        c->close();
        return n;
    }

private slots:
    void initTestCase() {
        auto c = db.create();
        c->exec(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(20))"));
        c->close();
        ini = db.dir.filePath(QStringLiteral("PKR.INI"));
        shelltest::writeFile(ini, "DBSERVER=" + QFile::encodeName(db.path) + "\r\nWPWD=NONE\r\n");
    }

    void failedStatementGivesStatusOne() {
        const QString script = db.dir.filePath(QStringLiteral("fix.sql"));
        shelltest::writeFile(script, shelltest::cp1250(QStringLiteral(
            "INSERT INTO T VALUES (1, 'Győr');\nINSERT INTO NINCS VALUES (1);\nINSERT INTO T VALUES (2, 'Pécs');\n")));
        QString out, err;
        QCOMPARE(runAdmin({QStringLiteral("--ini"), ini, QStringLiteral("run-script"), script}, &out, &err), 1);
        QCOMPARE(out, script + QStringLiteral(" beolvasva :\n2 db végrehajtva,\n1 db hibás utasítás, letárolva a ") + script
                          + QStringLiteral("_BAD.TXT fájlba.\n"));
        QVERIFY2(err.contains(QStringLiteral("INSERT INTO NINCS VALUES (1)")), qPrintable(err));
        QCOMPARE(rows(), 2);
        QVERIFY(!QFileInfo::exists(script));
        QVERIFY(QFileInfo::exists(script + QStringLiteral("_BAD.TXT")));
    }

    void cleanScriptGivesStatusZero() {
        shelltest::writeFile(db.dir.filePath(QStringLiteral("UPDATES.SQL")), "DELETE FROM T WHERE ID = 2;\n");
        QString out, err;
        // a relative name is taken from the working directory
        QCOMPARE(runAdmin({QStringLiteral("run-script"), QStringLiteral("UPDATES.SQL"), QStringLiteral("--ini"), ini}, &out, &err), 0);
        QVERIFY2(out.endsWith(QStringLiteral("UPDATES.SQL beolvasva :\n1 db végrehajtva,\nNem volt hibás utasítás\n")), qPrintable(out));
        QCOMPARE(rows(), 1);
    }

    void missingScriptOrDatabase() {
        QString out, err;
        QCOMPARE(runAdmin({QStringLiteral("--ini"), ini, QStringLiteral("run-script"), db.dir.filePath(QStringLiteral("nincs.sql"))},
                          &out, &err), 1);
        QVERIFY(out.isEmpty());
        const QString badIni = db.dir.filePath(QStringLiteral("BAD.INI"));
        shelltest::writeFile(badIni, "DBSERVER=/nincs/ilyen.fdb\r\n");
        shelltest::writeFile(db.dir.filePath(QStringLiteral("x.sql")), "DELETE FROM T;\n");
        QCOMPARE(runAdmin({QStringLiteral("--ini"), badIni, QStringLiteral("run-script"), db.dir.filePath(QStringLiteral("x.sql"))},
                          &out, &err), 1);
        QVERIFY2(err.contains(QStringLiteral("A megadott fájl nem létezik:/nincs/ilyen.fdb")), qPrintable(err));
        QCOMPARE(rows(), 1);
    }
};

QTEST_GUILESS_MAIN(TstRunScriptAdmin)
#include "tst_runscript_admin.moc"
