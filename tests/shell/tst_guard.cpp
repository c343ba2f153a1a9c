// One program per database server: the guard refuses a second process and is
// free again once the holder is killed with kill -9. Its lock file lives where
// only its user can write and is never reached through a symbolic link.
#include "shell/Queries.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace vl::shell;

class TstGuard : public QObject {
    Q_OBJECT
    static QString uniqueName(const char* tag) {
        return QStringLiteral("PKR_/tmp/guardtest-%1-%2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(tag));
    }
    static QByteArray startHolder(QProcess& p, const QString& name) {
        p.start(QStringLiteral(GUARD_HOLDER), {name});
        if (!p.waitForStarted(30000)) return "NOSTART";
        if (!p.waitForReadyRead(30000)) return "SILENT";
        return p.readLine().trimmed();
    }
    static mode_t modeOf(const QString& path) {
        struct stat st;
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
    }
    // The lock file and its folder: nobody but this user may write them.
    static void verifyPrivate(const QString& lockPath) {
        struct stat st;
        QVERIFY2(::lstat(QFile::encodeName(lockPath).constData(), &st) == 0, qPrintable(lockPath));
        QVERIFY2(S_ISREG(st.st_mode), qPrintable(lockPath));
        QCOMPARE(st.st_uid, ::geteuid());
        QVERIFY2((st.st_mode & 077) == 0, qPrintable(QString::number(st.st_mode & 0777, 8)));
        const QString dir = QFileInfo(lockPath).path();
        QVERIFY2(::lstat(QFile::encodeName(dir).constData(), &st) == 0, qPrintable(dir));
        QVERIFY2(S_ISDIR(st.st_mode), qPrintable(dir));
        QCOMPARE(st.st_uid, ::geteuid());
        QVERIFY2((st.st_mode & 022) == 0, qPrintable(dir + QLatin1Char(' ') + QString::number(st.st_mode & 07777, 8)));
    }
    // Restores the variables that choose the lock's folder.
    struct EnvGuard {
        QList<QPair<const char*, QByteArray>> saved;
        QList<const char*> unset;
        EnvGuard() {
            for (const char* v : {"XDG_RUNTIME_DIR", "TMPDIR", "HOME", "XDG_CACHE_HOME"}) {
                if (qEnvironmentVariableIsSet(v)) saved.append({v, qgetenv(v)});
                else unset.append(v);
            }
        }
        ~EnvGuard() {
            for (const auto& p : saved) qputenv(p.first, p.second);
            for (const char* v : unset) qunsetenv(v);
        }
    };
private slots:
    void secondProcessRefusedUntilHolderKilled() {
        const QString name = uniqueName("kill");
        QProcess holder;
        QCOMPARE(startHolder(holder, name), QByteArray("HELD"));

        QVERIFY(SingleInstanceGuard(name)); // this process is refused...
        QProcess second;
        QCOMPARE(startHolder(second, name), QByteArray("BUSY")); // ...and so is a third one
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 1);

        holder.kill(); // SIGKILL: no clean-up code of ours runs
        QVERIFY(holder.waitForFinished(30000));
        QCOMPARE(holder.exitStatus(), QProcess::CrashExit);

        QVERIFY(!SingleInstanceGuard(name)); // free again; now held by this process
        QProcess after;
        QCOMPARE(startHolder(after, name), QByteArray("BUSY"));
        QVERIFY(after.waitForFinished(30000));
    }

    void lockFileIsPrivate() {
        const QString name = uniqueName("private");
        QVERIFY(!SingleInstanceGuard(name));
        const QString path = SingleInstanceLockPath(name);
        QVERIFY(!path.isEmpty());
        verifyPrivate(path);
    }

    // Someone (here: the user himself, by mistake or through a tool) leaves a
    // symbolic link where the lock file goes: the guard does not open, create
    // or widen the file it points to.
    void symlinkAtLockPathIsNotFollowed() {
        QTemporaryDir victimDir;
        const QString victim = victimDir.filePath(QStringLiteral("secret.txt"));
        {
            QFile f(victim);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me\n");
        }
        QVERIFY(::chmod(QFile::encodeName(victim).constData(), 0640) == 0);
        const QString missing = victimDir.filePath(QStringLiteral("not-yet.txt"));

        for (const QString& target : {victim, missing}) {
            const QString name = uniqueName(target == victim ? "link-existing" : "link-missing");
            const QString path = SingleInstanceLockPath(name);
            QVERIFY(!path.isEmpty());
            QFile::remove(path);
            QVERIFY(QFile::link(target, path));
            SingleInstanceGuard(name);
            QVERIFY2(S_ISLNK(modeOf(path)), "the link was replaced");
            QFile::remove(path);
        }
        QCOMPARE(modeOf(victim) & 07777, mode_t(0640));
        QFile f(victim);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me\n"));
        QVERIFY(!QFileInfo::exists(missing)); // no file created through the link
    }

    // A folder others can write into (or that belongs to someone else) is not
    // used for the lock; the guard goes on to a folder of the user's own.
    void foreignFoldersAreAvoided_data() {
        QTest::addColumn<QString>("runtime"); // XDG_RUNTIME_DIR: "" unset, "world", "foreign", "link", "ok"
        QTest::addColumn<QString>("tmp");     // $TMPDIR/vorlanda-<uid>: "" absent, "world", "foreign", "link", "file"
        QTest::addColumn<QString>("expect");  // where the lock must land: "runtime", "tmp", "cache"
        QTest::newRow("private runtime folder") << "ok" << "" << "runtime";
        QTest::newRow("runtime folder writable by all") << "world" << "" << "tmp";
        QTest::newRow("runtime folder of another user") << "foreign" << "" << "tmp";
        QTest::newRow("runtime folder is a link") << "link" << "" << "tmp";
        QTest::newRow("no runtime folder") << "" << "" << "tmp";
        QTest::newRow("tmp folder planted writable by all") << "" << "world" << "cache";
        QTest::newRow("tmp folder planted by another user") << "world" << "foreign" << "cache";
        QTest::newRow("tmp folder planted as a link") << "" << "link" << "cache";
        QTest::newRow("tmp folder planted as a file") << "" << "file" << "cache";
    }
    void foreignFoldersAreAvoided() {
        QFETCH(QString, runtime);
        QFETCH(QString, tmp);
        QFETCH(QString, expect);
        if ((runtime == QLatin1String("foreign") || tmp == QLatin1String("foreign")) && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        EnvGuard env;
        QTemporaryDir root;
        auto mk = [&](const QString& path, const QString& kind) {
            const QByteArray p = QFile::encodeName(path);
            if (kind == QLatin1String("link")) {
                const QString real = root.filePath(QStringLiteral("real-") + QFileInfo(path).fileName());
                QVERIFY(QDir().mkpath(real));
                QVERIFY(::chmod(QFile::encodeName(real).constData(), 0700) == 0);
                QVERIFY(QFile::link(real, path));
                return;
            }
            if (kind == QLatin1String("file")) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly));
                return;
            }
            QVERIFY(QDir().mkpath(path));
            QVERIFY(::chmod(p.constData(), kind == QLatin1String("world") ? 0777 : 0700) == 0);
            if (kind == QLatin1String("foreign")) QVERIFY(::chown(p.constData(), 65534, 65534) == 0);
        };
        const QString runtimeDir = root.filePath(QStringLiteral("run"));
        const QString tmpDir = root.filePath(QStringLiteral("tmp"));
        const QString home = root.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(tmpDir));
        QVERIFY(QDir().mkpath(home));
        const QString perUser = tmpDir + QStringLiteral("/vorlanda-") + QString::number(::geteuid());
        if (runtime.isEmpty()) qunsetenv("XDG_RUNTIME_DIR");
        else {
            mk(runtimeDir, runtime);
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir));
        }
        if (!tmp.isEmpty()) mk(perUser, tmp);
        qputenv("TMPDIR", QFile::encodeName(tmpDir));
        qputenv("HOME", QFile::encodeName(home));
        qunsetenv("XDG_CACHE_HOME");

        const QString name = uniqueName(QTest::currentDataTag());
        const QString path = SingleInstanceLockPath(name);
        const QString want = expect == QLatin1String("runtime") ? runtimeDir
                           : expect == QLatin1String("tmp")     ? perUser
                                                                : home + QStringLiteral("/.cache/vorlanda");
        QCOMPARE(QFileInfo(path).path(), want);
        QVERIFY(!SingleInstanceGuard(name));
        verifyPrivate(path);
        QVERIFY(SingleInstanceGuard(name));
        // nothing was left in a folder that was refused
        if (runtime != QLatin1String("ok") && !runtime.isEmpty())
            QVERIFY(QDir(runtimeDir).entryList(QDir::Files | QDir::Hidden).isEmpty());
        if (!tmp.isEmpty() && tmp != QLatin1String("file"))
            QVERIFY(QDir(perUser).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void namesAreIndependent() {
        const QString a = uniqueName("a"), b = uniqueName("b");
        QVERIFY(!SingleInstanceGuard(a));
        QVERIFY(!SingleInstanceGuard(b));
        QVERIFY(SingleInstanceGuard(a)); // already held by this process
    }
};

QTEST_GUILESS_MAIN(TstGuard)
#include "tst_guard.moc"
