// One program per database server: the guard refuses a second process and is
// free again once the holder is killed with kill -9.
#include "shell/Queries.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QtTest>

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

    void namesAreIndependent() {
        const QString a = uniqueName("a"), b = uniqueName("b");
        QVERIFY(!SingleInstanceGuard(a));
        QVERIFY(!SingleInstanceGuard(b));
        QVERIFY(SingleInstanceGuard(a)); // already held by this process
    }
};

QTEST_GUILESS_MAIN(TstGuard)
#include "tst_guard.moc"
