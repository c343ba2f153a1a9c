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
        QTest::newRow("only a comment, never closed") << "/* nothing\nINSERT INTO T VALUES (1,'a');" << 0 << 0 << "" << QString();
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
        const ScriptResult r = RunUpdateScript(file, true, nullptr, conn.get());
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

    void accentsAreWindows1250() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ekezet.sql"));
        shelltest::writeFile(file, cp1250(QStringLiteral("INSERT INTO T VALUES (1,'Árvíztűrő tükörfúrógép');\n")));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        RunUpdateScript(file, true, nullptr, conn.get());
        QCOMPARE(conn->query(QStringLiteral("SELECT NEV FROM T")).at(0, 0).toString(), QStringLiteral("Árvíztűrő tükörfúrógép"));
    }

    void summaryMessagesAndMove() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("UPDATES.SQL"));
        const QByteArray original = "INSERT INTO T VALUES (1,'a');\nINSERT INTO NINCS VALUES (1);\nINSERT INTO T VALUES (2,'b');\n";
        shelltest::writeFile(file, original);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QStringList logBox;
        const ScriptResult r = RunUpdateScript(file, false, &logBox, conn.get());
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
        const ScriptResult r2 = RunUpdateScript(file, false, nullptr, conn.get());
        QVERIFY(!r2.movedTo.isEmpty());
        QVERIFY(r2.movedTo != r.movedTo);
        QVERIFY(QFileInfo::exists(r.movedTo));
        QCOMPARE(sink.texts(), QStringList{file + QStringLiteral(" beolvasva :\n1 db végrehajtva,\nNem volt hibás utasítás\n")});
        QVERIFY(!QFileInfo::exists(file + QStringLiteral("_BAD.TXT")));
    }

    void missingScriptDoesNothing() {
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const ScriptResult r = RunUpdateScript(QStringLiteral("/nonexistent/UPDATES.SQL"), false, nullptr, conn.get());
        QVERIFY(!r.ran);
        QVERIFY(sink.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstScript)
#include "tst_script.moc"
