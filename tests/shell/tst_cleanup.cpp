// Clean-up of abandoned work tables, with several connections to one file:
// a table of a program that still runs stays, one of a program that has ended
// goes; this run's tables and "TMP_TABLAK" stay; names that only look like
// the prefix are not listed; and all of it still holds after a program
// closed and reopened its connection. Also `vorlanda-admin cleanup`.
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/Queries.h"
#include "shell/ShellSchema.h"
#include "shell/WorkTableCleanup.h"
#include "db/Catalogue.h"
#include "db/SchemaRegistry.h"
#include "util/MessageSink.h"
#include "util/Scramble.h"
#include "ShellTest.h"

#include <QProcess>
#include <QtTest>

using namespace vl::shell;
using vl::db::Connection;

class TstCleanup : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    QString ini;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> scoped;

    // A work table as another program makes it: the table and its register
    // row with that program's connection, in one transaction.
    static void makeWorkTable(Connection& c, const QString& name) {
        auto tx = c.begin();
        tx->exec(QStringLiteral("CREATE TABLE ") + name + QStringLiteral(" (ID INTEGER NOT NULL, NEV VARCHAR(20))"));
        tx->exec(QStringLiteral("INSERT INTO MUNKATABLAK (TABLANEV, KAPCSOLAT, JUZER, MIKOR) "
                                "VALUES (:t, CURRENT_CONNECTION, 'MASIK', '2026.12.10 08:00:00')"),
                 {{QStringLiteral("t"), name}});
        tx->commit();
    }
    static qint64 connectionId(Connection& c) {
        return c.query(QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE")).at(0, 0).toLongLong();
    }
    bool exists(const QString& table) {
        auto c = db.open();
        const bool e = vl::db::TableExists(*c, table);
        c->close();
        return e;
    }
    QStringList registered() {
        auto c = db.open();
        QStringList l;
        auto rs = c->query(QStringLiteral("SELECT TABLANEV FROM MUNKATABLAK ORDER BY TABLANEV"));
        while (rs.next()) l << rs.text(QStringLiteral("TABLANEV")).trimmed();
        c->close();
        return l;
    }
    static QStringList dropped(const WorkTableCleanup& r) {
        QStringList l;
        for (const auto& t : r.tables)
            if (t.dropped) l << t.name;
        return l;
    }
    static WorkTableState stateOf(const WorkTableCleanup& r, const QString& name) {
        for (const auto& t : r.tables)
            if (t.name == name) return t.status.state;
        return WorkTableState::NotWorkTable;
    }
    bool connectThisRun() {
        IniLoad(ini, false);
        return dm().ConnectDatabase(nullptr, false);
    }
    int runAdmin(const QStringList& args, QString* out) {
        QProcess p;
        p.setWorkingDirectory(db.dir.path());
        p.start(QStringLiteral(VORLANDA_ADMIN), QStringList{QStringLiteral("--ini"), ini} + args);
        p.waitForFinished(120000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase() {
        scoped = std::make_unique<vl::ScopedSink>(&sink);
        auto c = db.create();
        vl::db::SchemaRegistry reg;
        registerSchema(reg);
        reg.upgrade(*c);
        c->exec(QStringLiteral("CREATE TABLE MINTA (KOD VARCHAR(10) NOT NULL PRIMARY KEY, NEV VARCHAR(40))"));
        c->close();
        ini = db.dir.filePath(QStringLiteral("PKR.INI"));
        shelltest::writeFile(ini, "DBSERVER=" + QFile::encodeName(db.path) + "\r\nWPWD=NONE\r\n");
    }
    void cleanup() {
        DropRunWorkTables();
        dm().disconnect();
        dm().WorkTableList.clear();
        sink.clear();
    }

    // "TMP_" is taken literally and only user tables count: look-alike names,
    // a lower-case quoted name and a view are not listed; names come trimmed.
    void listsOnlyTheLiteralPrefix() {
        auto c = db.open();
        for (const char* sql : {"CREATE TABLE TMPX_HASONLO (A INTEGER)", "CREATE TABLE TMP1 (A INTEGER)",
                                "CREATE TABLE XTMP_MASIK (A INTEGER)", "CREATE TABLE \"tmp_kicsi\" (A INTEGER)",
                                "CREATE TABLE TMP_ (A INTEGER)", "CREATE TABLE TMP_LISTA (A INTEGER)",
                                "CREATE VIEW TMP_NEZET AS SELECT A FROM TMP_LISTA"})
            c->exec(QString::fromLatin1(sql));
        QCOMPARE(ListWorkTables(*c), (QStringList{"TMP_", "TMP_LISTA"}));
        c->exec(QStringLiteral("DROP VIEW TMP_NEZET"));
        // "TMP_" alone is no work table: never dropped.
        const auto r = DropWorkTables(*c, ListWorkTables(*c), {});
        QCOMPARE(dropped(r), QStringList{"TMP_LISTA"});
        QCOMPARE(stateOf(r, QStringLiteral("TMP_")), WorkTableState::NotWorkTable);
        for (const char* sql : {"DROP TABLE TMPX_HASONLO", "DROP TABLE TMP1", "DROP TABLE XTMP_MASIK",
                                "DROP TABLE \"tmp_kicsi\"", "DROP TABLE TMP_"})
            c->exec(QString::fromLatin1(sql));
        c->close();
    }

    // Two other programs: one still connected, one gone. This run's table,
    // "TMP_TABLAK", and the live program's table stay; the rest is dropped,
    // register rows with them.
    void liveStaysClosedGoes() {
        QVERIFY(connectThisRun());
        Session session;
        session.userCode = QStringLiteral("TESZT");
        QVERIFY(CopyTableDef(dm().d_alap(), nullptr, session, QStringLiteral("MINTA"), QStringLiteral("TMP_SAJAT_1"), true));
        auto live = db.open();
        makeWorkTable(*live, QStringLiteral("TMP_ELO_1"));
        {
            auto gone = db.open();
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_1"));
            gone->close();
        }
        auto c = db.open();
        c->exec(QStringLiteral("CREATE TABLE TMP_TABLAK (NEV VARCHAR(31))"));
        c->exec(QStringLiteral("CREATE TABLE TMP_NINCS_NYILVANTARTVA (A INTEGER)"));
        c->close();

        const QStringList all{"TMP_ELO_1", "TMP_HALOTT_1", "TMP_NINCS_NYILVANTARTVA", "TMP_SAJAT_1", "TMP_TABLAK"};
        QCOMPARE(ListWorkTables(dm().d_alap()), all);
        QCOMPARE(CheckWorkTable(dm().d_alap(), QStringLiteral("TMP_ELO_1"), dm().WorkTableList).state, WorkTableState::InUse);

        QStringList seen;
        const auto r = DropWorkTables(dm().d_alap(), all, dm().WorkTableList,
                                      [&](const WorkTableDrop& d) { seen << d.name; });
        QCOMPARE(seen, all);
        QCOMPARE(dropped(r), (QStringList{"TMP_HALOTT_1", "TMP_NINCS_NYILVANTARTVA"}));
        QCOMPARE(stateOf(r, QStringLiteral("TMP_ELO_1")), WorkTableState::InUse);
        QCOMPARE(stateOf(r, QStringLiteral("TMP_SAJAT_1")), WorkTableState::ThisRun);
        QCOMPARE(stateOf(r, QStringLiteral("TMP_TABLAK")), WorkTableState::Kept);
        QCOMPARE(r.failedCount(), 0);
        QCOMPARE(r.summary(), QStringLiteral("2 munkatábla törölve, 3 megmaradt."));
        QVERIFY2(r.lines().contains(QStringLiteral("TMP_ELO_1: megmarad, egy futó program használja, kapcsolat: %1 "
                                                   "(MASIK, 2026.12.10 08:00:00)").arg(connectionId(*live))),
                 qPrintable(r.lines().join('\n')));
        QVERIFY(exists(QStringLiteral("TMP_ELO_1")));
        QVERIFY(!exists(QStringLiteral("TMP_HALOTT_1")));
        QVERIFY(exists(QStringLiteral("TMP_SAJAT_1")));
        QVERIFY(exists(QStringLiteral("TMP_TABLAK")));
        QCOMPARE(registered(), (QStringList{"TMP_ELO_1", "TMP_SAJAT_1"}));

        // The same clean-up from a connection that is not this run's: this
        // run's table is now a live program's.
        auto other = db.open();
        const auto r2 = DropWorkTables(*other, ListWorkTables(*other), {});
        QCOMPARE(dropped(r2), QStringList());
        QCOMPARE(stateOf(r2, QStringLiteral("TMP_SAJAT_1")), WorkTableState::InUse);
        other->close();

        // Once the other program has ended its table goes.
        live->close();
        const auto r3 = DropWorkTables(dm().d_alap(), ListWorkTables(dm().d_alap()), dm().WorkTableList);
        QCOMPARE(dropped(r3), QStringList{"TMP_ELO_1"});
        QVERIFY(!exists(QStringLiteral("TMP_ELO_1")));
        auto c2 = db.open();
        c2->exec(QStringLiteral("DROP TABLE TMP_TABLAK"));
        c2->close();
    }

    // A program that reconnects takes its tables over with the new connection
    // before the old one ends: a clean-up elsewhere never finds them abandoned.
    void afterReconnect() {
        QVERIFY(connectThisRun());
        Session session;
        QVERIFY(CopyTableDef(dm().d_alap(), nullptr, session, QStringLiteral("MINTA"), QStringLiteral("TMP_SAJAT_2"), true));
        const qint64 before = connectionId(dm().d_alap());
        QVERIFY(dm().reconnect());
        const qint64 after = connectionId(dm().d_alap());
        QVERIFY(after != before);
        auto check = db.open();
        QCOMPARE(check->query(QStringLiteral("SELECT KAPCSOLAT FROM MUNKATABLAK WHERE TABLANEV = 'TMP_SAJAT_2'"))
                     .at(0, 0).toLongLong(), after);
        // Another program's clean-up (its own run has no tables) leaves it.
        auto r = DropWorkTables(*check, ListWorkTables(*check), {});
        QCOMPARE(dropped(r), QStringList());
        QCOMPARE(stateOf(r, QStringLiteral("TMP_SAJAT_2")), WorkTableState::InUse);

        // Another program that reconnects the same way keeps its table too.
        auto first = db.open();
        makeWorkTable(*first, QStringLiteral("TMP_ELO_2"));
        auto second = db.open();
        RecordRunWorkTables(*second, {QStringLiteral("TMP_ELO_2")});
        first->close();
        r = DropWorkTables(dm().d_alap(), ListWorkTables(dm().d_alap()), dm().WorkTableList);
        QCOMPARE(dropped(r), QStringList());
        QCOMPARE(stateOf(r, QStringLiteral("TMP_ELO_2")), WorkTableState::InUse);
        QCOMPARE(stateOf(r, QStringLiteral("TMP_SAJAT_2")), WorkTableState::ThisRun);
        second->close();
        r = DropWorkTables(dm().d_alap(), ListWorkTables(dm().d_alap()), dm().WorkTableList);
        QCOMPARE(dropped(r), QStringList{"TMP_ELO_2"});
        check->close();

        // The end of the run drops its own tables and their register rows.
        DropRunWorkTables();
        QVERIFY(!exists(QStringLiteral("TMP_SAJAT_2")));
        QCOMPARE(registered(), QStringList());
    }

    // A drop the server refuses (a statement elsewhere holds the table) is
    // reported for that table; the next ones go on.
    void refusedDropGoesOn() {
        auto gone = db.open();
        makeWorkTable(*gone, QStringLiteral("TMP_A_FOGVA"));
        makeWorkTable(*gone, QStringLiteral("TMP_B_SZABAD"));
        gone->close();
        // A reader in an open transaction: the table's metadata is locked.
        auto reader = db.open();
        auto tx = reader->begin();
        tx->query(QStringLiteral("SELECT COUNT(*) FROM TMP_A_FOGVA"));
        auto c = db.open();
        const auto r = DropWorkTables(*c, ListWorkTables(*c), {});
        QCOMPARE(dropped(r), QStringList{"TMP_B_SZABAD"});
        QCOMPARE(r.failedCount(), 1);
        QVERIFY(!r.tables.at(0).error.isEmpty());
        QVERIFY2(r.lines().at(0).startsWith(QStringLiteral("TMP_A_FOGVA: nem törölhető: ")), qPrintable(r.lines().at(0)));
        QCOMPARE(registered(), QStringList{"TMP_A_FOGVA"});   // its row stays with it
        tx->commit();
        reader->close();
        QCOMPARE(dropped(DropWorkTables(*c, ListWorkTables(*c), {})), QStringList{"TMP_A_FOGVA"});
        c->close();
    }

    // A database user who sees only his own connections in the monitoring
    // tables cannot tell a live program of another user from an ended one:
    // such tables stay, with the reason.
    void otherUsersConnectionsUnseen() {
        auto owner = db.open();
        owner->exec(QStringLiteral("GRANT SELECT ON MUNKATABLAK TO PUBLIC"));
        makeWorkTable(*owner, QStringLiteral("TMP_ELO_4"));
        {
            auto gone = db.open();
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_4"));
            gone->close();
        }
        vl::db::ConnectParams p;
        p.database = db.path;
        p.user = QStringLiteral("IDEGEN");
        auto stranger = vl::db::connect(p);
        QCOMPARE(stranger->query(QStringLiteral("SELECT TRIM(CURRENT_USER) FROM RDB$DATABASE")).at(0, 0).toString(),
                 QStringLiteral("IDEGEN"));
        for (const char* name : {"TMP_ELO_4", "TMP_HALOTT_4"}) {
            const WorkTableStatus s = CheckWorkTable(*stranger, QString::fromLatin1(name), {});
            QCOMPARE(s.state, WorkTableState::NotVisible);
            QVERIFY(WorkTableStateText(s).startsWith(QStringLiteral("nem látható, hogy a létrehozó program")));
        }
        const auto r = DropWorkTables(*stranger, {QStringLiteral("TMP_ELO_4"), QStringLiteral("TMP_HALOTT_4")}, {});
        QCOMPARE(dropped(r), QStringList());
        QCOMPARE(r.failedCount(), 0);
        stranger->close();
        QVERIFY(exists(QStringLiteral("TMP_ELO_4")));
        // The owner sees every connection: the ended program's table goes.
        QCOMPARE(dropped(DropWorkTables(*owner, ListWorkTables(*owner), {})), QStringList{"TMP_HALOTT_4"});
        owner->close();
        auto c = db.open();
        QCOMPARE(dropped(DropWorkTables(*c, ListWorkTables(*c), {})), QStringList{"TMP_ELO_4"});
        c->close();
    }

    // The upload settings are read only where their columns exist.
    void uploadSettings() {
        auto c = db.open();
        c->exec(QStringLiteral("DELETE FROM CEG"));
        QCOMPARE(ReadUploadSettings(*c).host, QString());   // no company row
        c->exec(QStringLiteral("INSERT INTO CEG (KOD, FTPHOST, FTPUSERID, FTPPWDID) VALUES ('1', :h, :u, :p)"),
                {{QStringLiteral("h"), vl::util::Scramble(QStringLiteral("ftp.pelda.hu"))},
                 {QStringLiteral("u"), vl::util::Scramble(QStringLiteral("feltolto"))},
                 {QStringLiteral("p"), vl::util::Scramble(QStringLiteral("Titok 12"))}});
        UploadSettings u = ReadUploadSettings(*c);
        QCOMPARE(u.host, QStringLiteral("ftp.pelda.hu"));
        QCOMPARE(u.user, QStringLiteral("feltolto"));
        QCOMPARE(u.password, QStringLiteral("Titok 12"));
        QCOMPARE(UploadFolder(), QStringLiteral("public_ftp/incoming"));
        c->close();
        // A company table without the user and password columns.
        QTemporaryDir d;
        vl::db::ConnectParams p;
        p.database = d.filePath(QStringLiteral("regi.fdb"));
        auto old = vl::db::createFirebirdDatabase(p);
        old->exec(QStringLiteral("CREATE TABLE CEG (KOD VARCHAR(10), FTPHOST VARCHAR(128))"));
        old->exec(QStringLiteral("INSERT INTO CEG VALUES ('1', :h)"),
                  {{QStringLiteral("h"), vl::util::Scramble(QStringLiteral("ftp.pelda.hu"))}});
        u = ReadUploadSettings(*old);
        QCOMPARE(u.host, QStringLiteral("ftp.pelda.hu"));
        QCOMPARE(u.user, QString());
        QCOMPARE(u.password, QString());
        old->close();
    }

    // The command: --list says what would happen and drops nothing; without
    // it the abandoned tables go, a live program's stays.
    void adminCommand() {
        auto live = db.open();
        makeWorkTable(*live, QStringLiteral("TMP_ELO_3"));
        {
            auto gone = db.open();
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_3"));
            gone->close();
        }
        QString out;
        QCOMPARE(runAdmin({QStringLiteral("cleanup"), QStringLiteral("--list")}, &out), 0);
        const QString liveLine = QStringLiteral("TMP_ELO_3: megmarad, egy futó program használja, kapcsolat: %1 "
                                                "(MASIK, 2026.12.10 08:00:00)")
                                     .arg(connectionId(*live));
        QCOMPARE(out, liveLine + QStringLiteral("\nTMP_HALOTT_3: törölhető\n2 munkatábla, ebből 1 törölhető.\n"));
        QVERIFY(exists(QStringLiteral("TMP_HALOTT_3")));
        QCOMPARE(runAdmin({QStringLiteral("cleanup")}, &out), 0);
        QCOMPARE(out, liveLine + QStringLiteral("\nTMP_HALOTT_3: törölve\n1 munkatábla törölve, 1 megmaradt.\n"));
        QVERIFY(!exists(QStringLiteral("TMP_HALOTT_3")));
        QVERIFY(exists(QStringLiteral("TMP_ELO_3")));
        QCOMPARE(runAdmin({QStringLiteral("cleanup"), QStringLiteral("--mind")}, &out), 2);
        live->close();
        QCOMPARE(runAdmin({QStringLiteral("cleanup")}, &out), 0);
        QVERIFY(!exists(QStringLiteral("TMP_ELO_3")));
    }
};

QTEST_GUILESS_MAIN(TstCleanup)
#include "tst_cleanup.moc"
