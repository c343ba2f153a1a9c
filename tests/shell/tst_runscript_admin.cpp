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

    // A UTF-8 script is refused before anything runs; the file stays.
    void utf8ScriptRefused() {
        const QString script = db.dir.filePath(QStringLiteral("utf8.sql"));
        const QByteArray bytes = QStringLiteral("INSERT INTO T VALUES (7, 'Győr');\n").toUtf8();
        shelltest::writeFile(script, bytes);
        QString out, err;
        const qint64 before = rows();
        QCOMPARE(runAdmin({QStringLiteral("--ini"), ini, QStringLiteral("run-script"), script}, &out, &err), 1);
        QVERIFY2(err.contains(script + QStringLiteral(" nem futott le: a fájl UTF-8 kódolású")), qPrintable(err));
        QVERIFY2(!out.contains(QStringLiteral("beolvasva")), qPrintable(out));
        QCOMPARE(rows(), before);
        QCOMPARE(shelltest::readFile(script), bytes);
        QVERIFY(!QFileInfo::exists(script + QStringLiteral("_BAD.TXT")));
    }

    // An unclosed comment hides the rest of the script: reported, status 1.
    void unclosedCommentGivesStatusOne() {
        const QString script = db.dir.filePath(QStringLiteral("comment.sql"));
        shelltest::writeFile(script, "INSERT INTO T VALUES (8, 'a'); /* never closed\nINSERT INTO T VALUES (9, 'b');\n");
        QString out, err;
        const qint64 before = rows();
        QCOMPARE(runAdmin({QStringLiteral("--ini"), ini, QStringLiteral("run-script"), script}, &out, &err), 1);
        QCOMPARE(out, script + QStringLiteral(" beolvasva :\n1 db végrehajtva,\n1 db hibás utasítás, letárolva a ") + script
                          + QStringLiteral("_BAD.TXT fájlba.\n"));
        QVERIFY2(err.contains(QStringLiteral("'/*' megjegyzés nincs lezárva")), qPrintable(err));
        QCOMPARE(rows(), before + 1);
        QVERIFY(shelltest::readFile(script + QStringLiteral("_BAD.TXT")).contains("INSERT INTO T VALUES (9, 'b');"));
        auto c = db.open();
        c->exec(QStringLiteral("DELETE FROM T WHERE ID = 8")); // as the next test expects the table
        c->close();
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

    // A command that refuses ends with a non-zero status and says why on
    // standard error; an error of the program that ends a command (here the
    // database lacks the business-year table) prints its sentence and, under it,
    // the statement that failed.
    void refusalsEndNonZero() {
        QString out, err;
        QCOMPARE(runAdmin({QStringLiteral("--ini"), ini, QStringLiteral("open-year"), QStringLiteral("20x7")}, &out, &err), 2);
        QVERIFY2(err.contains(QStringLiteral("open-year: hibás év: \"20x7\"")), qPrintable(err));
        QVERIFY(out.isEmpty());

        const int rc = runAdmin({QStringLiteral("--ini"), ini, QStringLiteral("open-year"), QStringLiteral("2031")}, &out, &err);
        QVERIFY2(rc != 0, qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("Adatbázis hiba: ")), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("\n  (SELECT AKTUALISEV FROM CEG)\n")), qPrintable(err));
        QVERIFY(!out.contains(QStringLiteral("szerződés")));
    }

    // A command that cannot connect says why, in one line on standard error:
    // "<command>: nincs adatbázis kapcsolat (<reason>)."
    void noConnectionSaysWhy_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("reason");   // %INI%, %DIR%: the configuration's path, its folder; empty: connects
        QTest::newRow("no server") << QByteArray("WPWD=NONE\r\n")
                                   << "nincs DBSERVER és DBALIAS beállítás a(z) %INI% fájlban";
        QTest::newRow("include missing") << QByteArray("WPWD=NONE\r\n@db.ini\r\n")
                                         << "nincs DBSERVER és DBALIAS beállítás a(z) %INI% fájlban; "
                                            "a(z) %DIR%/db.ini fájl nem található";
        QTest::newRow("file missing") << QByteArray("DBSERVER=/nincs/ilyen.fdb\r\n")
                                      << "A megadott fájl nem létezik:/nincs/ilyen.fdb";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF" "DBSERVER=%DB%\r\n") << "";
    }
    void noConnectionSaysWhy() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, reason);
        QTemporaryDir cfg;
        const QString iniFile = cfg.filePath(QStringLiteral("PKR.INI"));
        shelltest::writeFile(iniFile, ini.replace("%DB%", QFile::encodeName(db.path)));
        reason.replace(QStringLiteral("%INI%"), iniFile).replace(QStringLiteral("%DIR%"), cfg.path());
        shelltest::writeFile(db.dir.filePath(QStringLiteral("noop.sql")), "SELECT 1 FROM RDB$DATABASE;\n");
        const QList<QStringList> commands{
            {QStringLiteral("check")},
            {QStringLiteral("upgrade-db")},
            {QStringLiteral("open-year"), QStringLiteral("2031")},
            {QStringLiteral("run-script"), db.dir.filePath(QStringLiteral("noop.sql"))},
        };
        for (const QStringList& cmd : commands) {
            QString out, err;
            const int rc = runAdmin(QStringList{QStringLiteral("--ini"), iniFile} + cmd, &out, &err);
            if (reason.isEmpty()) {
                if (cmd.first() != QStringLiteral("check")) continue; // only look, change nothing
                // connected (the test database lacks the program's tables, which check then reports)
                QVERIFY2(out.startsWith(QStringLiteral("Kapcsolat: DbServer:") + db.path), qPrintable(out + err));
                QVERIFY2(!err.contains(QStringLiteral("kapcsolat")), qPrintable(err));
                Q_UNUSED(rc);
                continue;
            }
            QCOMPARE(rc, 1);
            // (a missing include is also reported as the configuration is read)
            const QString line = cmd.first() + QStringLiteral(": nincs adatbázis kapcsolat (") + reason + QStringLiteral(").\n");
            QVERIFY2(err.endsWith(line), qPrintable(err));
            QCOMPARE(err.count(QStringLiteral("adatbázis kapcsolat")), 1);
        }
    }

    // A file that is not a database: the server's text in the parentheses.
    void notADatabaseSaysWhy() {
        const QString junk = db.dir.filePath(QStringLiteral("junk.fdb"));
        shelltest::writeFile(junk, QByteArray(20000, 'x'));
        const QString iniFile = db.dir.filePath(QStringLiteral("JUNK.INI"));
        shelltest::writeFile(iniFile, "DBSERVER=" + QFile::encodeName(junk) + "\r\n");
        QString out, err;
        QCOMPARE(runAdmin({QStringLiteral("--ini"), iniFile, QStringLiteral("check")}, &out, &err), 1);
        QVERIFY2(err.startsWith(QStringLiteral("check: nincs adatbázis kapcsolat (DbServer:") + junk
                                + QStringLiteral(": Kapcsolódás az adatbázishoz sikertelen. ")),
                 qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("not a valid database")) && err.endsWith(QStringLiteral(").\n")), qPrintable(err));
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
    }
};

QTEST_GUILESS_MAIN(TstRunScriptAdmin)
#include "tst_runscript_admin.moc"
