// The lock directory of the embedded engine and the guard of embedded files:
// every process that has an embedded file open uses one lock table, or is
// refused, and the file stays sound.
#include "db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace vl::db;

namespace {

struct Run {
    bool finished = false;
    int code = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    r.finished = p.waitForFinished(120000);
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

// "KEY=value" from the set-up lines a db_tool prints on stderr.
QString setting(const QString& err, const QString& key)
{
    for (const QString& line : err.split(u'\n'))
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    return QStringLiteral("<none>");
}

qint64 count(Connection& c, const QString& where = QStringLiteral("1 = 1"))
{
    return c.query(QStringLiteral("SELECT COUNT(*) FROM PEER WHERE ") + where).at(0, 0).toLongLong();
}

} // namespace

class TstLocking : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<Connection> db_;

    static QString bin() { return QCoreApplication::applicationDirPath(); }
    static QString tool() { return bin() + QStringLiteral("/db_tool"); }

    // A second installation of the tools: a copy of db_tool with a Firebird
    // root beside it, in a folder of its own; returns its bin folder.
    static QString makeInstallation(const QTemporaryDir& d)
    {
        const QString b = d.filePath(QStringLiteral("bin"));
        if (!QDir().mkpath(b) || !QFile::copy(tool(), b + QStringLiteral("/db_tool"))
            || !QFile::link(bin() + QStringLiteral("/firebird"), b + QStringLiteral("/firebird")))
            return QString();
        ::chmod(QFile::encodeName(b).constData(), 0755);
        return b;
    }

private slots:
    void initTestCase()
    {
        prepareEmbeddedEngine();
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("zar.fdb"));
        ConnectParams p;
        p.database = path_;
        db_ = createFirebirdDatabase(p);
        db_->exec(QStringLiteral("CREATE TABLE PEER (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(20))"));
    }

    void cleanupTestCase() { db_.reset(); }

    void lockDirectoryBelongsToTheInstallation()
    {
        const QString lock = bin() + QStringLiteral("/firebird-lock");
        QCOMPARE(lockDirectory(), lock);
        QCOMPARE(qEnvironmentVariable("FIREBIRD_LOCK"), lock);
        QVERIFY2(lockDirectoryProblem().isEmpty(), qPrintable(lockDirectoryProblem()));
        struct stat sb {};
        QCOMPARE(::lstat(QFile::encodeName(lock).constData(), &sb), 0);
        QVERIFY(S_ISDIR(sb.st_mode));
        QCOMPARE(sb.st_uid, ::geteuid());
        QCOMPARE(sb.st_mode & S_IWOTH, 0u);
        // The engine's lock files are there, none in the old shared folder's place.
        QVERIFY(!QDir(lock).entryList(QDir::Files | QDir::System).isEmpty());
        // The file is held under this lock directory.
        QFile side(path_ + QStringLiteral(".lock"));
        QVERIFY(side.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(side.readAll()).trimmed(), lock);
    }

    void foreignEnvironmentSharesOurLockTable()
    {
        // A lock directory anyone could empty, and a configuration in another
        // server mode, inherited from the environment.
        QTemporaryDir other;
        const QString otherLock = other.filePath(QStringLiteral("lock"));
        const QString otherRoot = other.filePath(QStringLiteral("root"));
        QVERIFY(QDir().mkpath(otherLock) && QDir().mkpath(otherRoot));
        ::chmod(QFile::encodeName(otherLock).constData(), 01777);
        const QDir ours(bin() + QStringLiteral("/firebird"));
        for (const QString& e : ours.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
            if (e != QStringLiteral("firebird.conf"))
                QVERIFY(QFile::link(ours.filePath(e), otherRoot + u'/' + e));
        QFile conf(otherRoot + QStringLiteral("/firebird.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("ServerMode = Super\n");
        conf.close();

        QProcessEnvironment foreign = QProcessEnvironment::systemEnvironment();
        foreign.insert(QStringLiteral("FIREBIRD_LOCK"), otherLock);
        foreign.insert(QStringLiteral("FIREBIRD"), otherRoot);
        QProcessEnvironment inherited = QProcessEnvironment::systemEnvironment();
        inherited.insert(QStringLiteral("FIREBIRD_LOCK"), QStringLiteral("/tmp"));

        // This process holds the file with a write transaction open while two
        // other processes write into it at the same time.
        auto held = db_->begin();
        held->exec(QStringLiteral("INSERT INTO PEER (ID, NEV) VALUES (0, 'itt')"));
        QProcess a, b;
        a.setProcessEnvironment(foreign);
        b.setProcessEnvironment(inherited);
        a.start(tool(), {QStringLiteral("write"), path_, QStringLiteral("1"), QStringLiteral("300")});
        b.start(tool(), {QStringLiteral("write"), path_, QStringLiteral("1001"), QStringLiteral("300")});
        for (int i = 0; i < 300; ++i)
            db_->exec(QStringLiteral("INSERT INTO PEER (ID, NEV) VALUES (:id, 'mi')"), {{QStringLiteral("id"), 2001 + i}});
        QVERIFY(a.waitForFinished(120000) && b.waitForFinished(120000));
        const QString aErr = QString::fromUtf8(a.readAllStandardError());
        const QString bErr = QString::fromUtf8(b.readAllStandardError());
        QCOMPARE(QString::fromUtf8(a.readAllStandardOutput()).trimmed(), QStringLiteral("OK 300"));
        QCOMPARE(QString::fromUtf8(b.readAllStandardOutput()).trimmed(), QStringLiteral("OK 300"));
        QCOMPARE(setting(aErr, QStringLiteral("LOCK")), lockDirectory());
        QCOMPARE(setting(bErr, QStringLiteral("LOCK")), lockDirectory());
        QCOMPARE(setting(aErr, QStringLiteral("ROOT")), bin() + QStringLiteral("/firebird"));
        QVERIFY2(QDir(otherLock).isEmpty(), qPrintable(QDir(otherLock).entryList().join(u' ')));
        held->commit();
        QCOMPARE(count(*db_), 901);
    }

    void anotherInstallationIsRefusedWhileTheFileIsHeld()
    {
        QTemporaryDir d;
        const QString b = makeInstallation(d);
        QVERIFY(!b.isEmpty());
        const QString copy = b + QStringLiteral("/db_tool");
        const Run refused = run(copy, {QStringLiteral("write"), path_, QStringLiteral("5001"), QStringLiteral("1")});
        QVERIFY(refused.finished);
        QCOMPARE(refused.code, 1);
        QCOMPARE(setting(refused.err, QStringLiteral("LOCK")), b + QStringLiteral("/firebird-lock"));
        QVERIFY2(refused.out.contains(QStringLiteral("más zárolási könyvtárral")), qPrintable(refused.out));
        QCOMPARE(count(*db_, QStringLiteral("ID = 5001")), 0);
        // Once nobody holds it, the other installation may have it (one at a time).
        db_->close();
        const Run alone = run(copy, {QStringLiteral("write"), path_, QStringLiteral("5001"), QStringLiteral("1")});
        QCOMPARE(alone.out, QStringLiteral("OK 1"));
        ConnectParams p;
        p.database = path_;
        db_ = vl::db::connect(p);
        QCOMPARE(count(*db_, QStringLiteral("ID = 5001")), 1);
        QFile side(path_ + QStringLiteral(".lock"));
        QVERIFY(side.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(side.readAll()).trimmed(), lockDirectory());
    }

    void unsafeLockDirectoryIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("symbolic link") << QStringLiteral("link") << QStringLiteral("nem valódi könyvtár");
        QTest::newRow("a file") << QStringLiteral("file") << QStringLiteral("nem valódi könyvtár");
        QTest::newRow("world-writable") << QStringLiteral("open") << QStringLiteral("bárki írhatja");
        if (::geteuid() == 0)
            QTest::newRow("another user's") << QStringLiteral("owner") << QStringLiteral("más felhasználóé");
    }

    void unsafeLockDirectoryIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir d;
        QTemporaryDir target;
        const QString b = makeInstallation(d);
        QVERIFY(!b.isEmpty());
        const QString lock = b + QStringLiteral("/firebird-lock");
        const QByteArray lockName = QFile::encodeName(lock);
        if (kind == u"link") {
            QVERIFY(QFile::link(target.path(), lock));
        } else if (kind == u"file") {
            QFile f(lock);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkdir(lock));
            if (kind == u"open")
                QCOMPARE(::chmod(lockName.constData(), 01777), 0);
            else
                QCOMPARE(::chown(lockName.constData(), 65534, 65534), 0);
        }
        const Run r = run(b + QStringLiteral("/db_tool"), {QStringLiteral("write"), path_, QStringLiteral("6001"), QStringLiteral("1")});
        QVERIFY(r.finished);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(message), qPrintable(r.out));
        QVERIFY(QDir(target.path()).isEmpty());
        QCOMPARE(count(*db_, QStringLiteral("ID = 6001")), 0);
    }

    void databaseStaysSound()
    {
        db_->close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FIREBIRD"), qEnvironmentVariable("FIREBIRD"));
        env.insert(QStringLiteral("FIREBIRD_LOCK"), lockDirectory());
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("gfix"), {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-n"),
                                         QStringLiteral("-user"), QStringLiteral("SYSDBA"), path_});
        if (!p.waitForStarted())
            QSKIP("gfix is not installed");
        QVERIFY(p.waitForFinished(120000));
        const QString out = QString::fromUtf8(p.readAll()).trimmed();
        QVERIFY2(p.exitCode() == 0 && out.isEmpty(), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TstLocking)
#include "tst_locking.moc"
