// DBALIAS: the alias is resolved by the databases.conf of the Firebird
// configuration in use. This test runs the engine from a configuration of its
// own (set before the first attach) whose databases.conf names a test file.
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"
#include "ShellTest.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QtTest>

using namespace vl::shell;

class TstAlias : public QObject {
    Q_OBJECT
    QTemporaryDir root;
    QTemporaryDir data;
    QString dbPath;
private slots:
    void initTestCase() {
        const QString shipped = QCoreApplication::applicationDirPath() + QStringLiteral("/firebird");
        QVERIFY2(QFileInfo::exists(shipped + QStringLiteral("/firebird.conf")), qPrintable(shipped));
        const QDir src(shipped);
        for (const QString& e : src.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            if (e == QStringLiteral("databases.conf")) continue;
            QVERIFY(QFile::link(QFileInfo(src.filePath(e)).absoluteFilePath(), root.filePath(e)));
        }
        dbPath = data.filePath(QStringLiteral("alias.fdb"));
        shelltest::writeFile(root.filePath(QStringLiteral("databases.conf")),
                             "vl_alias_test = " + QFile::encodeName(dbPath) + "\n");
        qputenv("FIREBIRD", QFile::encodeName(root.path()));
        vl::db::prepareEmbeddedEngine();
        vl::db::ConnectParams p;
        p.database = dbPath;
        auto c = vl::db::createFirebirdDatabase(p);
        c->exec(QStringLiteral("CREATE TABLE DIFOLC (A INTEGER)"));
        c->close();
    }
    void cleanupTestCase() { dm().disconnect(); }

    void connectsThroughAlias() {
        const QString ini = data.filePath(QStringLiteral("PKR.INI"));
        // DBALIAS wins over DBSERVER
        shelltest::writeFile(ini, "DBALIAS=vl_alias_test\r\nDBSERVER=/nincs/ilyen.fdb\r\n");
        QVERIFY(IniLoad(ini, false));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QString desc;
        QVERIFY(dm().ConnectDatabase(&desc));
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(desc, QStringLiteral("Alias: vl_alias_test"));
        QCOMPARE(dm().DriverName, QStringLiteral("INTRBASE"));
        QVERIFY(dm().HasDefaultsTable);
        QVERIFY(!dm().HasDokuTable);
        // reconnecting uses the same route
        QVERIFY(dm().reconnect());
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM DIFOLC")).at(0, 0).toLongLong(), 0);
    }
};

QTEST_GUILESS_MAIN(TstAlias)
#include "tst_alias.moc"
