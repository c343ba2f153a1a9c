// The one-shot update script: parsing, counting, the _BAD.TXT file, the move.
#include "shell/Queries.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"
#include "ShellTest.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtTest>

using namespace vl::shell;
using shelltest::cp1250;

class TstScript : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    std::unique_ptr<vl::db::Connection> conn;

    QString ids() {
        QStringList l;
        vl::db::RowSet rs = conn->query(QStringLiteral("SELECT ID FROM T ORDER BY ID"));
        while (rs.next()) l << rs.text(QStringLiteral("ID"));
        return l.join(QLatin1Char(','));
    }
    static QString withoutCommentLines(const QString& text) {
        QStringList keep;
        for (const QString& l : text.split(QLatin1Char('\n')))
            if (!l.startsWith(QStringLiteral("--"))) keep << l;
        return keep.join(QLatin1Char('\n'));
    }

private slots:
    void initTestCase() {
        conn = db.create();
        conn->exec(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(40))"));
    }
    void init() { conn->exec(QStringLiteral("DELETE FROM T")); }

    void scripts_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("executed");
        QTest::addColumn<int>("failed");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("bad"); // _BAD.TXT without its "--" lines; null: no file
        QTest::newRow("all good, CRLF") << "INSERT INTO T VALUES (1,'a');\r\nINSERT INTO T VALUES (2,'b');\r\n"
                                        << 2 << 0 << "1,2" << QString();
        QTest::newRow("one refused, the rest goes on")
            << "INSERT INTO T VALUES (1,'a');\nINSERT INTO NINCS\n VALUES (1);\nINSERT INTO T VALUES (2,'b');\n"
            << 2 << 1 << "1,2" << "INSERT INTO NINCS\nVALUES (1);\n";
        QTest::newRow("statement over several lines") << "INSERT INTO T\n   VALUES (1,\n  'a');" << 1 << 0 << "1" << QString();
        QTest::newRow("comment over several lines") << "/* header\nINSERT INTO T VALUES (9,'x');\n*/\nINSERT INTO T VALUES (1,'a');\n"
                                                    << 1 << 0 << "1" << QString();
        QTest::newRow("statement, then a comment opens on its line")
            << "INSERT INTO T VALUES (1,'a'); /* start\nINSERT INTO T VALUES (9,'x');\nend */ INSERT INTO T VALUES (2,'b');\n"
            << 2 << 0 << "1,2" << QString();
        QTest::newRow("comment inside a statement")
            << "INSERT INTO T VALUES (3,'a');\nUPDATE T /* fix */ SET NEV = 'z' WHERE ID = 3;\n" << 2 << 0 << "3" << QString();
        QTest::newRow("semicolon inside a literal") << "INSERT INTO T VALUES (1,'a;b');" << 1 << 0 << "1" << QString();
        QTest::newRow("quoted apostrophe") << "INSERT INTO T VALUES (1,'O''Brien; Kft.');" << 1 << 0 << "1" << QString();
        QTest::newRow("two statements on one line") << "INSERT INTO T VALUES (1,'a'); INSERT INTO T VALUES (2,'b');"
                                                    << 2 << 0 << "1,2" << QString();
        QTest::newRow("line comments") << "-- first; still a comment\nINSERT INTO T VALUES (1,'a'); -- done\n"
                                       << 1 << 0 << "1" << QString();
        QTest::newRow("last statement lacks its semicolon: not run, reported")
            << "INSERT INTO T VALUES (1,'a');\nINSERT INTO T VALUES (2,'b')\n" << 1 << 1 << "1" << "INSERT INTO T VALUES (2,'b');\n";
        QTest::newRow("nothing parsable") << "this is no statement at all" << 0 << 1 << "" << "this is no statement at all;\n";
        QTest::newRow("empty") << "" << 0 << 0 << "" << QString();
        // A "/*" never closed: what follows it is not run, and that is reported.
        QTest::newRow("only a comment, never closed")
            << "/* nothing\nINSERT INTO T VALUES (1,'a');" << 0 << 1 << "" << "/* nothing\nINSERT INTO T VALUES (1,'a');\n";
        QTest::newRow("statement, then a comment that never closes")
            << "INSERT INTO T VALUES (1,'a'); /* start\nINSERT INTO T VALUES (9,'x');\n"
            << 1 << 1 << "1" << "/* start\nINSERT INTO T VALUES (9,'x');\n";
        QTest::newRow("unclosed comment inside an unfinished statement")
            << "INSERT INTO T VALUES (1,'a');\nINSERT INTO T VALUES (2,'b') /* oops\nINSERT INTO T VALUES (3,'c');\n"
            << 1 << 1 << "1" << "INSERT INTO T VALUES (2,'b') /* oops\nINSERT INTO T VALUES (3,'c');\n";
        QTest::newRow("closed comment, then one that never closes")
            << "/* a */ INSERT INTO T VALUES (1,'a');\n/* b\n*/ INSERT INTO T VALUES (2,'b');\n/* c\nINSERT INTO T VALUES (3,'c');\n"
            << 2 << 1 << "1,2" << "/* c\nINSERT INTO T VALUES (3,'c');\n";
        // Literals as the server reads them: q'{...}' may hold quotes and ';'.
        QTest::newRow("q-literal holding a quote and a semicolon")
            << "INSERT INTO T VALUES (1, q'{O'Brien; Kft.}');\nINSERT INTO T VALUES (2,'b');\n" << 2 << 0 << "1,2" << QString();
        QTest::newRow("semicolon inside a quoted name") << "INSERT INTO T (ID, \"NEV\") VALUES (1,'a');" << 1 << 0 << "1"
                                                        << QString();
        // A literal never closed: nothing from it on runs, stored as it was.
        QTest::newRow("literal that never closes")
            << "INSERT INTO T VALUES (1,'a');\nINSERT INTO T VALUES (2,'b);\nINSERT INTO T VALUES (3,'c')\n"
            << 1 << 1 << "1" << "INSERT INTO T VALUES (2,'b);\nINSERT INTO T VALUES (3,'c')\n";
        QTest::newRow("SET TERM of two characters")
            << "SET TERM !! ;\nCREATE OR ALTER PROCEDURE P_TS2 AS BEGIN INSERT INTO T VALUES (6,'p'); END!!\nSET TERM ; !!\n"
               "EXECUTE PROCEDURE P_TS2;\n"
            << 2 << 0 << "6" << QString();
        QTest::newRow("SET TERM for a procedure")
            << "SET TERM ^ ;\nCREATE OR ALTER PROCEDURE P_TST AS BEGIN INSERT INTO T VALUES (5,'p'); END^\nSET TERM ; ^\n"
               "EXECUTE PROCEDURE P_TST;\n"
            << 2 << 0 << "5" << QString();
        QTest::newRow("refused inside SET TERM is stored re-runnable")
            << "SET TERM ^ ;\nCREATE OR ALTER PROCEDURE P_BAD AS BEGIN INSERT INTO NINCS VALUES (1); END^\nSET TERM ; ^\n"
            << 0 << 1 << ""
            << "SET TERM ^ ;\nCREATE OR ALTER PROCEDURE P_BAD AS BEGIN INSERT INTO NINCS VALUES (1); END^\nSET TERM ; ^\n";
    }
    void scripts() {
        QFETCH(QString, script);
        QFETCH(int, executed);
        QFETCH(int, failed);
        QFETCH(QString, rows);
        QFETCH(QString, bad);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        shelltest::writeFile(file, cp1250(script));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(*conn, file, true);
        QVERIFY(r.ran);
        QCOMPARE(r.executed, executed);
        QCOMPARE(r.failed, failed);
        QCOMPARE(ids(), rows);
        QCOMPARE(sink.messages.size(), 1); // quiet: the summary only
        QCOMPARE(QFileInfo::exists(file + QStringLiteral("_BAD.TXT")), !bad.isNull());
        if (!bad.isNull()) {
            QStringDecoder dec("windows-1250");
            const QString content = dec.decode(shelltest::readFile(file + QStringLiteral("_BAD.TXT")));
            QCOMPARE(withoutCommentLines(content), bad);
            QVERIFY(content.startsWith(QStringLiteral("-- "))); // the server's reason comes first
        }
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(QFileInfo::exists(r.movedTo));
    }

    // What never closed is named, with the line it opens on.
    void unclosedIsReported_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("reason");
        QTest::newRow("comment") << "INSERT INTO T VALUES (1,'a');\n\n/* start\nINSERT INTO T VALUES (2,'b');\n"
                                 << UnclosedScriptText(3, QStringLiteral("/*"));
        QTest::newRow("literal") << "INSERT INTO T VALUES (1,'a');\nINSERT INTO T VALUES (2,'b);\n"
                                 << UnclosedScriptText(2, QStringLiteral("'"));
        QTest::newRow("q-literal") << "INSERT INTO T VALUES (1, q'{a);\n" << UnclosedScriptText(1, QStringLiteral("q'"));
        QTest::newRow("quoted name") << "INSERT INTO T (\"ID) VALUES (1);\n" << UnclosedScriptText(1, QStringLiteral("\""));
    }
    void unclosedIsReported() {
        QFETCH(QString, script);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        shelltest::writeFile(file, cp1250(script));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(*conn, file, true);
        QCOMPARE(r.failed, 1);
        QVERIFY2(r.errors.last().endsWith(QLatin1Char('\n') + reason), qPrintable(r.errors.last()));
        QStringDecoder dec("windows-1250");
        const QString content = dec.decode(shelltest::readFile(file + QStringLiteral("_BAD.TXT")));
        QVERIFY2(content.contains(QStringLiteral("-- ") + reason + QLatin1Char('\n')), qPrintable(content));
    }
    void unclosedTexts() {
        QCOMPARE(UnclosedScriptText(3, QStringLiteral("/*")),
                 QStringLiteral("Nem futott: a(z) 3. sorban nyitott '/*' megjegyzés nincs lezárva, ami utána áll, az nem futott le"));
        QCOMPARE(UnclosedScriptText(2, QStringLiteral("'")),
                 QStringLiteral("Nem futott: a(z) 2. sorban nyitott szövegkonstans (') nincs lezárva, ami utána áll, az nem futott le"));
    }

    void accentsAreWindows1250() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ekezet.sql"));
        shelltest::writeFile(file, cp1250(QStringLiteral("INSERT INTO T VALUES (1,'Árvíztűrő tükörfúrógép');\n")));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        RunUpdateScript(*conn, file, true);
        QCOMPARE(conn->query(QStringLiteral("SELECT NEV FROM T")).at(0, 0).toString(), QStringLiteral("Árvíztűrő tükörfúrógép"));
    }

    // A script that is not windows-1250 would be stored garbled: it is refused
    // whole, named by line, left in place, and nothing of it runs.
    void notWindows1250IsRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason"); // part of the message
        const QByteArray ok = "INSERT INTO T VALUES (1,'a');\n";
        QTest::newRow("UTF-8 accents") << ok + QStringLiteral("INSERT INTO T VALUES (2,'Árvíztűrő');\n").toUtf8()
                                       << "a fájl UTF-8 kódolású (az első nem ASCII karakter a(z) 2. sorban van)";
        QTest::newRow("UTF-8 mark before plain text") << QByteArray("\xEF\xBB\xBF") + ok
                                                      << "a fájl UTF-8 kódolású (az első nem ASCII karakter a(z) 1. sorban van)";
        for (const char b : {'\x81', '\x83', '\x88', '\x90', '\x98'}) {
            const QString hex = QString::number(uchar(b), 16).toUpper();
            QTest::newRow(qPrintable(QStringLiteral("undefined byte 0x") + hex))
                << ok + cp1250(QStringLiteral("INSERT INTO T VALUES (2,'Győr');\n")) + "INSERT INTO T VALUES (3,'x" + b + "');\n"
                << QStringLiteral("a(z) 3. sor 27. bájtja (0x%1) a windows-1250 kódlapon nem jelent karaktert").arg(hex);
        }
    }
    void notWindows1250IsRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        shelltest::writeFile(file, bytes);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(*conn, file, true);
        QCOMPARE(r.executed, 0);
        QCOMPARE(ids(), QString());                 // not even the statements before the fault
        QCOMPARE(shelltest::readFile(file), bytes); // left in place, untouched
        QVERIFY(r.movedTo.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("UPDATES.SQL")});
        QCOMPARE(sink.messages.size(), 1);          // shown even when quiet
        QCOMPARE(sink.messages.first().first, vl::MsgKind::Error);
        const QString msg = sink.texts().first();
        QVERIFY2(msg.startsWith(file + QStringLiteral(" nem futott le: ")), qPrintable(msg));
        QVERIFY2(msg.contains(reason), qPrintable(msg));
        QVERIFY2(msg.contains(QStringLiteral("A fájl a helyén maradt, egyetlen utasítása sem futott le.")), qPrintable(msg));
    }

    // Bytes that are windows-1250 letters though they look odd (Š, Ś, ą ...),
    // and accents that happen to be valid UTF-8 nowhere, still run.
    void windows1250HighBytesRun() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        const QString name = QStringLiteral("Šťastný Śląsk ąž €");
        shelltest::writeFile(file, cp1250(QStringLiteral("INSERT INTO T VALUES (1,'%1');\n").arg(name)));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(*conn, file, true);
        QCOMPARE(r.executed, 1);
        QCOMPARE(conn->query(QStringLiteral("SELECT NEV FROM T")).at(0, 0).toString(), name);
    }

    // The summary tells the truth about the _BAD.TXT file.
    void badFileThatCannotBeWritten_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("a folder in its place") << "folder";
        QTest::newRow("a full disk") << "full";
    }
    void badFileThatCannotBeWritten() {
        QFETCH(QString, obstacle);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        shelltest::writeFile(file, "INSERT INTO T VALUES (1,'a');\nINSERT INTO NINCS VALUES (1);\n");
        const QString badFile = file + QStringLiteral("_BAD.TXT");
        if (obstacle == QLatin1String("folder")) QVERIFY(QDir().mkpath(badFile));
        else {
            if (!QFileInfo::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), badFile));
        }
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(*conn, file, true);
        QCOMPARE(r.executed, 1);
        QCOMPARE(r.failed, 1);
        QCOMPARE(sink.messages.size(), 1);
        const QString summary = sink.texts().first();
        const QString head = file + QStringLiteral(" beolvasva :\n1 db végrehajtva,\n1 db hibás utasítás, de a ") + badFile
                             + QStringLiteral(" fájlt nem sikerült megírni (");
        QVERIFY2(summary.startsWith(head), qPrintable(summary));
        QVERIFY2(summary.endsWith(QStringLiteral("), a hibás utasítások nincsenek letárolva.\n")), qPrintable(summary));
        // the reason is named
        QVERIFY2(summary.size() > head.size() + QStringLiteral("), a hibás utasítások nincsenek letárolva.\n").size(),
                 qPrintable(summary));
        QVERIFY(!summary.contains(QStringLiteral("letárolva a ")));
        QVERIFY(QFileInfo::exists(r.movedTo)); // it ran: moved as always
    }

    void summaryMessagesAndMove() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        const QByteArray original = "INSERT INTO T VALUES (1,'a');\nINSERT INTO NINCS VALUES (1);\nINSERT INTO T VALUES (2,'b');\n";
        shelltest::writeFile(file, original);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QStringList logBox;
        const ScriptResult r = RunUpdateScript(*conn, file, false, &logBox);
        QCOMPARE(sink.texts(), (QStringList{
                                   file + QStringLiteral(" : Hibás SQL utasítás:\nINSERT INTO NINCS VALUES (1)"),
                                   file + QStringLiteral(" beolvasva :\n2 db végrehajtva,\n1 db hibás utasítás, letárolva a ")
                                       + file + QStringLiteral("_BAD.TXT fájlba.\n")}));
        QCOMPARE(logBox, QStringList{"INSERT INTO NINCS VALUES (1)"});
        QVERIFY2(QRegularExpression(QStringLiteral("/UPDATES_done_\\d{8}_\\d{6}\\.sql$")).match(r.movedTo).hasMatch(),
                 qPrintable(r.movedTo));
        QCOMPARE(shelltest::readFile(r.movedTo), original); // moved whole, untouched

        // a second script of the same second is not moved over the first
        shelltest::writeFile(file, "INSERT INTO T VALUES (3,'c');\n");
        sink.clear();
        const ScriptResult r2 = RunUpdateScript(*conn, file, false);
        QVERIFY(!r2.movedTo.isEmpty());
        QVERIFY(r2.movedTo != r.movedTo);
        QVERIFY(QFileInfo::exists(r.movedTo));
        QCOMPARE(sink.texts(), QStringList{file + QStringLiteral(" beolvasva :\n1 db végrehajtva,\nNem volt hibás utasítás\n")});
        QVERIFY(!QFileInfo::exists(file + QStringLiteral("_BAD.TXT")));
    }

    void missingScriptDoesNothing() {
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(*conn, QStringLiteral("/nonexistent/UPDATES.SQL"), false);
        QVERIFY(!r.ran);
        QVERIFY(sink.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstScript)
#include "tst_script.moc"
