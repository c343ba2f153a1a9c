// Termination signals and time-outs: SIGINT, SIGTERM and SIGHUP cancel the
// running statement of a command and end it; a frozen server neither hangs a
// connection attempt nor a command; the program ends in order on a signal.
#include "db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace vl::db;

namespace {

QString tool() { return QCoreApplication::applicationDirPath() + QStringLiteral("/db_tool"); }

const char* const kLateExit = "nem állt le időben";

// Waits until the process printed a line that contains text.
bool waitForOutput(QProcess& p, const QString& text, QString* seen, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        *seen += QString::fromUtf8(p.readAllStandardOutput());
        if (seen->contains(text))
            return true;
        if (p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(200);
    }
    return false;
}

void writeIni(const QString& path, const QByteArray& body)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(body);
}

} // namespace

class TstSignals : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString path_;
    // the private server of the frozen-server tests
    QString serverState_;
    qint64 serverPid_ = 0;
    QHash<QString, QString> serverEnv_;

    bool startServer()
    {
        serverState_ = dir_.filePath(QStringLiteral("fbserver"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VORLANDA_FBSERVER_DIR"), serverState_);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(VL_SOURCE_DIR "/scripts/test-fbserver.sh"), {QStringLiteral("start")});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            return false;
        QFile e(serverState_ + QStringLiteral("/env"));
        if (!e.open(QIODevice::ReadOnly))
            return false;
        static const QRegularExpression re(QStringLiteral("^export (\\w+)='(.*)'$"));
        for (const QByteArray& line : e.readAll().split('\n')) {
            const auto m = re.match(QString::fromUtf8(line));
            if (m.hasMatch())
                serverEnv_.insert(m.captured(1), m.captured(2));
        }
        QFile pid(serverState_ + QStringLiteral("/server.pid"));
        if (!pid.open(QIODevice::ReadOnly))
            return false;
        serverPid_ = pid.readAll().trimmed().toLongLong();
        return serverPid_ > 0 && serverEnv_.contains(QStringLiteral("VORLANDA_TEST_FBSERVER"));
    }

    void stopServer()
    {
        if (serverPid_ <= 0)
            return;
        ::kill(pid_t(serverPid_), SIGCONT);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VORLANDA_FBSERVER_DIR"), serverState_);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VL_SOURCE_DIR "/scripts/test-fbserver.sh"), {QStringLiteral("stop")});
        p.waitForFinished(60000);
        serverPid_ = 0;
    }

    // A database on the private server; empty when there is none.
    ConnectParams serverDatabase()
    {
        ConnectParams p;
        if (serverPid_ <= 0) {
            if (qEnvironmentVariableIsEmpty("VORLANDA_TEST_FBSERVER") || !startServer())
                return p;
            p.database = serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBSERVER"))
                         + serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBDIR")) + QStringLiteral("/fagy.fdb");
            p.user = serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBUSER"));
            p.password = serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBPASSWORD"));
            createFirebirdDatabase(p)->close();
            return p;
        }
        p.database = serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBSERVER"))
                     + serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBDIR")) + QStringLiteral("/fagy.fdb");
        p.user = serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBUSER"));
        p.password = serverEnv_.value(QStringLiteral("VORLANDA_TEST_FBPASSWORD"));
        return p;
    }

private slots:
    void initTestCase()
    {
        prepareEmbeddedEngine();
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("jelzes.fdb"));
        ConnectParams p;
        p.database = path_;
        createFirebirdDatabase(p)->close();
    }

    void cleanupTestCase() { stopServer(); }

    void signalCancelsTheRunningStatement_data()
    {
        QTest::addColumn<int>("signo");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalCancelsTheRunningStatement()
    {
        QFETCH(int, signo);
        QProcess p;
        p.start(tool(), {QStringLiteral("busy"), path_});
        QString out;
        QVERIFY2(waitForOutput(p, QStringLiteral("STARTED"), &out), qPrintable(out));
        QTest::qWait(300); // inside the statement
        ::kill(pid_t(p.processId()), signo);
        const bool ended = p.waitForFinished(20000);
        if (!ended) {
            p.kill();
            p.waitForFinished();
        }
        QVERIFY2(ended, "the process did not end on the signal");
        out += QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + signo);
        // The statement was cancelled (not left to the grace period).
        QVERIFY2(out.contains(QStringLiteral("ERROR CANCELLED")), qPrintable(out));
        QVERIFY2(!err.contains(QString::fromUtf8(kLateExit)), qPrintable(err));
        QVERIFY(!out.contains(QStringLiteral("FINISHED")));
        // The file is free and sound for the next one.
        ConnectParams c;
        c.database = path_;
        QCOMPARE(vl::db::connect(c)->query(QStringLiteral("SELECT COUNT(*) FROM RDB$DATABASE")).at(0, 0).toLongLong(), 1);
    }

    void frozenServerTimesOutAtConnect()
    {
        const ConnectParams db = serverDatabase();
        if (db.database.isEmpty())
            QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER is not set, or a private one did not start)");
        QCOMPARE(::kill(pid_t(serverPid_), SIGSTOP), 0);
        QProcess p;
        p.start(tool(), {QStringLiteral("connect"), db.database, db.user, db.password, QStringLiteral("2")});
        const bool ended = p.waitForFinished(60000);
        ::kill(pid_t(serverPid_), SIGCONT);
        if (!ended) {
            p.kill();
            p.waitForFinished();
        }
        QVERIFY2(ended, "the connection attempt waited on the frozen server without end");
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(out.startsWith(QStringLiteral("ERROR")), qPrintable(out));
    }

    void frozenServerDoesNotHoldTheCommand()
    {
        const ConnectParams db = serverDatabase();
        if (db.database.isEmpty())
            QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER is not set, or a private one did not start)");
        // A command waiting for the frozen server to let it connect.
        const QString ini = dir_.filePath(QStringLiteral("PKR_SZERVER.INI"));
        writeIni(ini, "DBSERVER=" + db.database.toUtf8() + "\r\nDBUSERNAME=" + db.user.toUtf8() + "\r\nDBPASSWORD="
                          + db.password.toUtf8() + "\r\n");
        QCOMPARE(::kill(pid_t(serverPid_), SIGSTOP), 0);
        QProcess admin;
        admin.start(QStringLiteral(VL_ADMIN_EXE), {QStringLiteral("--ini"), ini, QStringLiteral("check")});
        QVERIFY(admin.waitForStarted());
        QTest::qWait(1500);
        const bool waiting = admin.state() == QProcess::Running;
        ::kill(pid_t(admin.processId()), SIGTERM);
        const bool ended = admin.waitForFinished(20000);
        ::kill(pid_t(serverPid_), SIGCONT);
        if (!ended) {
            admin.kill();
            admin.waitForFinished();
        }
        QVERIFY2(waiting, qPrintable(QString::fromUtf8(admin.readAll())));
        QVERIFY2(ended, "vorlanda-admin did not end on SIGTERM");
        QCOMPARE(admin.exitStatus(), QProcess::NormalExit);
        QCOMPARE(admin.exitCode(), 128 + SIGTERM);

        // A statement running when the server freezes.
        QProcess busy;
        busy.start(tool(), {QStringLiteral("busy"), db.database, db.user, db.password});
        QString out;
        QVERIFY2(waitForOutput(busy, QStringLiteral("STARTED"), &out), qPrintable(out));
        QTest::qWait(300);
        QCOMPARE(::kill(pid_t(serverPid_), SIGSTOP), 0);
        QTest::qWait(300);
        ::kill(pid_t(busy.processId()), SIGTERM);
        const bool busyEnded = busy.waitForFinished(20000);
        ::kill(pid_t(serverPid_), SIGCONT);
        if (!busyEnded) {
            busy.kill();
            busy.waitForFinished();
        }
        QVERIFY2(busyEnded, "the statement on the frozen server held the process");
        QCOMPARE(busy.exitStatus(), QProcess::NormalExit);
        QCOMPARE(busy.exitCode(), 128 + SIGTERM);
    }

    void programEndsInOrder_data()
    {
        QTest::addColumn<int>("signo");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void programEndsInOrder()
    {
        QFETCH(int, signo);
        const QString work = dir_.filePath(QStringLiteral("program"));
        const QString demo = work + QStringLiteral("/demo.fdb");
        if (!QFile::exists(demo)) {
            QVERIFY(QDir().mkpath(work));
            writeIni(work + QStringLiteral("/PKR.INI"), "DBSERVER=" + QFile::encodeName(demo) + "\r\nWPWD=NONE\r\n");
            QProcess init;
            init.setProcessChannelMode(QProcess::MergedChannels);
            init.start(QStringLiteral(VL_ADMIN_EXE), {QStringLiteral("--ini"), work + QStringLiteral("/PKR.INI"),
                                                      QStringLiteral("init-db"), QStringLiteral("--demo")});
            QVERIFY(init.waitForFinished(300000));
            QVERIFY2(init.exitCode() == 0, init.readAll().constData());
        }
        ConnectParams c;
        c.database = demo;
        auto conn = vl::db::connect(c);
        auto others = [&] {
            return conn->query(QStringLiteral("SELECT COUNT(*) FROM MON$ATTACHMENTS "
                                              "WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0"))
                .at(0, 0).toLongLong();
        };
        QCOMPARE(others(), 0);

        QProcess program;
        program.setWorkingDirectory(work);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VL_GUI_EXE), {});
        QVERIFY(program.waitForStarted());
        QElapsedTimer t;
        t.start();
        while (others() == 0 && program.state() == QProcess::Running && t.elapsed() < 60000)
            QTest::qWait(100);
        QVERIFY2(others() > 0, program.readAllStandardError().constData());
        QTest::qWait(1000); // the start-up has run; the program waits for the user

        ::kill(pid_t(program.processId()), signo);
        const bool ended = program.waitForFinished(20000);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY2(ended, "the program did not end on the signal");
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signo);
        QVERIFY2(!err.contains(QString::fromUtf8(kLateExit)), qPrintable(err));
        // Its connection is closed and its work tables are gone.
        QCOMPARE(others(), 0);
        QCOMPARE(conn->query(QStringLiteral("SELECT COUNT(*) FROM MUNKATABLAK")).at(0, 0).toLongLong(), 0);
    }
};

QTEST_GUILESS_MAIN(TstSignals)
#include "tst_signals.moc"
