// The data module: connecting from PKR.INI, the statement routines, the
// work-table copier and the closing step.
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/Queries.h"
#include "db/Catalogue.h"
#include "util/MessageSink.h"
#include "ShellTest.h"

#include <QtTest>

using namespace vl::shell;
using vl::db::RowSet;

class TstDm : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    QTemporaryDir work;

    bool connectWith(const QByteArray& ini, QString* description = nullptr) {
        const QString f = work.filePath(QStringLiteral("PKR.INI"));
        shelltest::writeFile(f, ini);
        // Owner-only, as the program keeps a file that may hold DBPASSWORD:
        // these cases are about the connection, not the file's mode.
        QFile::setPermissions(f, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!IniLoad(f, false)) return false;
        return dm().ConnectDatabase(description);
    }
    bool connectToTestDb() {
        return connectWith("DBSERVER=" + QFile::encodeName(db.path) + "\r\n");
    }
    static QString firstLine(const QString& s) { return s.section(QLatin1Char('\n'), 0, 0); }

private slots:
    void initTestCase() {
        auto c = db.create();
        c->exec(QStringLiteral("CREATE TABLE DIFOLC (TABLA VARCHAR(31), MEZO VARCHAR(31))"));
        c->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(60), "
                               "VAROS VARCHAR(30), EGYENLEG BIGINT, MEGJ BLOB SUB_TYPE TEXT)"));
        c->exec(QStringLiteral("INSERT INTO UGYFEL VALUES (1, 'Kovács és Társa', 'Győr', 1500, 'első')"));
        c->exec(QStringLiteral("INSERT INTO UGYFEL VALUES (2, 'O''Brien Kft.', 'Pécs', NULL, NULL)"));
        c->exec(QStringLiteral("INSERT INTO UGYFEL VALUES (3, 'Őrség Bt.', NULL, 0, NULL)"));
        c->close();
    }
    void cleanup() {
        dm().disconnect();
        dm().WorkTableList.clear();
    }

    // ---------------------------------------------------------------- ConnectDatabase

    // Every refusal is shown (the program shows it on the message form before
    // it ends) and its reason is kept for the caller (vorlanda-admin prints it).
    void refusals_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("message");   // exact (%INI%: the configuration's path), or the first line when serverText
        QTest::addColumn<bool>("serverText");   // a second line holds the server's own text
        QTest::addColumn<QString>("reason");    // the kept reason starts with it
        QTest::newRow("no server, no alias")
            << QByteArray("WPWD=NONE\r\n") << ""
            << "Nincs adatbázis kapcsolat (nincs DBSERVER és DBALIAS beállítás a(z) %INI% fájlban)." << false
            << "nincs DBSERVER és DBALIAS beállítás a(z) %INI% fájlban";
        QTest::newRow("empty server") << QByteArray("DBSERVER=  // kitöltendő\r\n") << "DbServer:"
                                      << "Nincs adatbázis kapcsolat (a DBSERVER beállítás üres a(z) %INI% fájlban)." << false
                                      << "a DBSERVER beállítás üres a(z) %INI% fájlban";
        QTest::newRow("file missing") << QByteArray("DBSERVER=/nincs/ilyen/pkr.fdb\r\n") << "DbServer:/nincs/ilyen/pkr.fdb"
                                      << "A megadott fájl nem létezik:/nincs/ilyen/pkr.fdb" << false
                                      << "A megadott fájl nem létezik:/nincs/ilyen/pkr.fdb";
        QTest::newRow("relative, missing") << QByteArray("DBSERVER=pkr_nincs.fdb\r\n") << "DbServer:pkr_nincs.fdb"
                                           << "A megadott fájl nem létezik:pkr_nincs.fdb" << false
                                           << "A megadott fájl nem létezik:pkr_nincs.fdb";
        QTest::newRow("directory") << QByteArray("DBSERVER=/tmp\r\n") << "DbServer:/tmp" << "A megadott fájl nem létezik:/tmp"
                                   << false << "A megadott fájl nem létezik:/tmp";
        QTest::newRow("server down") << QByteArray("DBSERVER=127.0.0.1/1:/data/pkr.fdb\r\nDBUSERNAME=SYSDBA\r\nDBPASSWORD=x\r\n")
                                     << "DbServer:127.0.0.1/1:/data/pkr.fdb" << "Kapcsolódás az adatbázishoz sikertelen." << true
                                     << "DbServer:127.0.0.1/1:/data/pkr.fdb: Kapcsolódás az adatbázishoz sikertelen. ";
        QTest::newRow("unknown alias") << QByteArray("DBALIAS=nincs_ilyen_alias\r\nDBSERVER=/nincs.fdb\r\n")
                                       << "Alias: nincs_ilyen_alias" << "Kapcsolódás az adatbázishoz sikertelen." << true
                                       << "Alias: nincs_ilyen_alias: Kapcsolódás az adatbázishoz sikertelen. ";
        QTest::newRow("unknown ODBC source") << QByteArray("ALIASDRIVERNAME=SQL SERVER\r\nDBSERVER=nincs_ilyen_dsn\r\n")
                                             << "DbServer:nincs_ilyen_dsn" << "Kapcsolódás az adatbázishoz sikertelen." << true
                                             << "DbServer:nincs_ilyen_dsn: Kapcsolódás az adatbázishoz sikertelen. ";
    }
    void refusals() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, description);
        QFETCH(QString, message);
        QFETCH(bool, serverText);
        QFETCH(QString, reason);
        const QString iniPath = work.filePath(QStringLiteral("PKR.INI"));
        message.replace(QStringLiteral("%INI%"), iniPath);
        reason.replace(QStringLiteral("%INI%"), iniPath);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QString desc = QStringLiteral("stale");
        QVERIFY(!connectWith(ini, &desc));
        QVERIFY(!dm().isConnected());
        QCOMPARE(desc, description);
        if (!serverText) {
            QCOMPARE(sink.texts(), QStringList{message});
        } else {
            QCOMPARE(sink.messages.size(), 1);
            QCOMPARE(firstLine(sink.last()), message);
            QVERIFY2(sink.last().section(QLatin1Char('\n'), 1).trimmed().size() > 5, qPrintable(sink.last()));
        }
        // The kept reason: one line, the server's text in it where there is one.
        const QString kept = dm().ConnectFailure;
        QVERIFY2(kept.startsWith(reason), qPrintable(kept));
        QVERIFY(!kept.contains(QLatin1Char('\n')));
        if (serverText) {
            const QString server = sink.last().section(QLatin1Char('\n'), 1).simplified();
            QVERIFY2(kept.endsWith(server), qPrintable(kept + QStringLiteral(" / ") + server));
        }
        // Asked not to show it, the same refusal is only kept.
        sink.clear();
        QVERIFY(IniLoad(iniPath, true));
        QVERIFY(!dm().ConnectDatabase(nullptr, false));
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(dm().ConnectFailure, kept);
    }

    void notADatabase() {
        const QString junk = work.filePath(QStringLiteral("junk.fdb"));
        shelltest::writeFile(junk, QByteArray(20000, 'x'));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(!connectWith("DBSERVER=" + QFile::encodeName(junk) + "\r\n"));
        QCOMPARE(sink.messages.size(), 1);
        QCOMPARE(firstLine(sink.last()), QStringLiteral("Kapcsolódás az adatbázishoz sikertelen."));
        QVERIFY(!sink.last().section(QLatin1Char('\n'), 1).trimmed().isEmpty());
        // the reason names the file and carries what the server said of it
        QVERIFY2(dm().ConnectFailure.startsWith(QStringLiteral("DbServer:") + junk
                                                + QStringLiteral(": Kapcsolódás az adatbázishoz sikertelen. ")),
                 qPrintable(dm().ConnectFailure));
        QVERIFY2(dm().ConnectFailure.contains(QStringLiteral("not a valid database")), qPrintable(dm().ConnectFailure));
    }

    // Why DBSERVER is missing: the configuration or an include that holds it
    // could not be read; a byte-order mark before it does not hide it.
    void missingServerSaysWhy_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("reasonPart");  // empty: the connection is made
        QTest::newRow("include missing") << QByteArray("WPWD=NONE\r\n@db_nincs.ini\r\n") << "db_nincs.ini fájl nem található";
        QTest::newRow("include is a folder") << QByteArray("@mappa.ini\r\n") << "mappa.ini nem fájl, hanem mappa";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF" "DBSERVER=%DB%\r\n") << "";
        QTest::newRow("byte-order mark in the include") << QByteArray("@bom.ini\r\n") << "";
    }
    void missingServerSaysWhy() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, reasonPart);
        QDir(work.path()).mkpath(QStringLiteral("mappa.ini"));
        shelltest::writeFile(work.filePath(QStringLiteral("bom.ini")), "\xEF\xBB\xBF" "DBSERVER=" + QFile::encodeName(db.path) + "\r\n");
        ini.replace("%DB%", QFile::encodeName(db.path));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const bool connected = connectWith(ini);
        QCOMPARE(connected, reasonPart.isEmpty());
        if (connected) {
            QVERIFY(dm().ConnectFailure.isEmpty());
            return;
        }
        QVERIFY2(dm().ConnectFailure.startsWith(QStringLiteral("nincs DBSERVER és DBALIAS beállítás")), qPrintable(dm().ConnectFailure));
        QVERIFY2(dm().ConnectFailure.contains(reasonPart), qPrintable(dm().ConnectFailure));
        QVERIFY2(sink.last().contains(reasonPart), qPrintable(sink.last()));
    }

    // Nothing loaded at all (the program found no PKR.INI).
    void missingConfigurationSaysWhy() {
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(!IniLoad(work.filePath(QStringLiteral("NINCS.INI")), true));
        QVERIFY(!dm().ConnectDatabase());
        QVERIFY2(dm().ConnectFailure.contains(work.filePath(QStringLiteral("NINCS.INI")) + QStringLiteral(" fájl nem található")),
                 qPrintable(dm().ConnectFailure));
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Nincs adatbázis kapcsolat (") + dm().ConnectFailure + QStringLiteral(").")});
    }

    void connectsAndRecordsState_data() {
        QTest::addColumn<QString>("doku");   // DOKU's definition, empty: no DOKU
        QTest::addColumn<bool>("hasDoku");
        QTest::addColumn<QString>("keyColumn");
        QTest::newRow("no DOKU") << "" << false << "";
        QTest::newRow("DOKU with KULCSERTEK") << "CREATE TABLE DOKU (TABLA VARCHAR(31), KULCSERTEK VARCHAR(60), \"KEY\" VARCHAR(9))"
                                              << true << "KULCSERTEK";
        QTest::newRow("DOKU with KEY") << "CREATE TABLE DOKU (TABLA VARCHAR(31), \"KEY\" VARCHAR(60))" << true << "KEY";
        QTest::newRow("DOKU with neither") << "CREATE TABLE DOKU (TABLA VARCHAR(31), KULCS VARCHAR(60))" << false << "";
    }
    void connectsAndRecordsState() {
        QFETCH(QString, doku);
        QFETCH(bool, hasDoku);
        QFETCH(QString, keyColumn);
        {
            auto c = db.open();
            if (vl::db::TableExists(*c, QStringLiteral("DOKU"))) c->exec(QStringLiteral("DROP TABLE DOKU"));
            if (!doku.isEmpty()) c->exec(doku);
            c->close();
        }
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QString desc;
        // a relative path of an existing file is taken from the working directory
        const QString rel = QDir::current().relativeFilePath(db.path);
        QVERIFY(connectWith("DBSERVER = " + QFile::encodeName(rel) + "   // helyi fájl\r\n", &desc));
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(desc, QStringLiteral("DbServer:") + rel);
        QCOMPARE(dm().DriverName, QStringLiteral("INTRBASE"));
        QCOMPARE(dm().HasDokuTable, hasDoku);
        QCOMPARE(dm().DokuKeyColumn, keyColumn);
        QVERIFY(dm().HasDefaultsTable);
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")).at(0, 0).toLongLong(), 3);
    }

    // A Firebird server: "host/port:/path" with the credentials of the
    // configuration (./test starts one on loopback and exports its settings).
    void serverRoute() {
        const QString server = qEnvironmentVariable("VORLANDA_TEST_FBSERVER");
        if (server.isEmpty()) QSKIP("no test server (VORLANDA_TEST_FBSERVER)");
        const QByteArray user = qgetenv("VORLANDA_TEST_FBUSER"), password = qgetenv("VORLANDA_TEST_FBPASSWORD");
        const QString path = qEnvironmentVariable("VORLANDA_TEST_FBDIR") + QStringLiteral("/shell_dm_%1.fdb")
                                                                              .arg(QCoreApplication::applicationPid());
        QFile::remove(path);
        {
            vl::db::ConnectParams p;
            p.database = server + path;
            p.user = QString::fromUtf8(user);
            p.password = QString::fromUtf8(password);
            auto c = vl::db::createFirebirdDatabase(p);
            c->exec(QStringLiteral("CREATE TABLE DIFOLC (A INTEGER)"));
            c->close();
        }
        const QByteArray dbServer = "DBSERVER=" + server.toUtf8() + QFile::encodeName(path) + "\r\n";
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QString desc;
        QVERIFY(connectWith(dbServer + "DBUSERNAME=" + user + "\r\nDBPASSWORD=" + password + "\r\n", &desc));
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(desc, QStringLiteral("DbServer:") + server + path);
        QCOMPARE(dm().DriverName, QStringLiteral("INTRBASE"));
        QVERIFY(dm().HasDefaultsTable);
        dm().disconnect();

        // a wrong password: the server's own text on the second line
        QVERIFY(!connectWith(dbServer + "DBUSERNAME=" + user + "\r\nDBPASSWORD=rossz_jelszo\r\n"));
        QCOMPARE(sink.messages.size(), 1);
        QCOMPARE(firstLine(sink.last()), QStringLiteral("Kapcsolódás az adatbázishoz sikertelen."));
        QVERIFY2(sink.last().contains(QStringLiteral("password"), Qt::CaseInsensitive), qPrintable(sink.last()));
        QFile::remove(path);
    }

    // ---------------------------------------------------------------- QparamOpen, LookupCheck

    void qparamOpen() {
        QVERIFY(connectToTestDb());
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        TQuery q;
        q.name = QStringLiteral("q_ugyfel");
        q.sql = QStringLiteral("SELECT * FROM UGYFEL WHERE VAROS = :varos OR KOD = :kod");
        QCOMPARE(QparamOpen(dm().d_alap(), nullptr, q, {QStringLiteral("varos"), QStringLiteral("kod")}, {QStringLiteral("Győr")}, false), -1);
        QCOMPARE(sink.texts(), QStringList{"QparamOpen hiba, paraméter tömbök eltérő méretűek, Query=q_ugyfel"});
        QVERIFY(!q.active);

        QCOMPARE(QparamOpen(dm().d_alap(), nullptr, q, {QStringLiteral("varos"), QStringLiteral("kod")}, {QStringLiteral("Győr"), 3}, false), 2);
        QVERIFY(q.active);
        QCOMPARE(q.params.size(), size_t(2));
        // a null value binds a typed NULL: "=" with it matches nothing
        QCOMPARE(QparamOpen(dm().d_alap(), nullptr, q, {QStringLiteral("varos"), QStringLiteral("kod")}, {QVariant(), QVariant()}, false), 0);

        TQuery u;
        u.name = QStringLiteral("qu_ugyfel");
        u.sql = QStringLiteral("UPDATE UGYFEL SET VAROS = :varos WHERE KOD >= :kod");
        QCOMPARE(QparamOpen(dm().d_alap(), nullptr, u, {QStringLiteral("varos"), QStringLiteral("kod")}, {QStringLiteral("Érd 'Ó' utca"), 2}, true), 2);
        QCOMPARE(QparamOpen(dm().d_alap(), nullptr, q, {QStringLiteral("varos"), QStringLiteral("kod")}, {QStringLiteral("Érd 'Ó' utca"), -1}, false), 2);
        QCOMPARE(QparamOpen(dm().d_alap(), nullptr, u, {QStringLiteral("varos"), QStringLiteral("kod")}, {QVariant(), 2}, true), 2);
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE VAROS IS NULL")).at(0, 0).toLongLong(), 2);

        bool raised = false;
        try {
            QparamOpen(dm().d_alap(), nullptr, u, {QStringLiteral("nincs")}, {1}, true);
        } catch (const vl::db::DbError&) {
            raised = true;
        }
        QVERIFY(raised);

        // inside a transaction of the caller: nothing lands until it commits
        {
            auto tx = dm().d_alap().begin();
            QCOMPARE(QparamOpen(dm().d_alap(), tx.get(), u, {QStringLiteral("varos"), QStringLiteral("kod")}, {QStringLiteral("X"), 1}, true), 3);
        }
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE VAROS = 'X'")).at(0, 0).toLongLong(), 0);
        dm().d_alap().exec(QStringLiteral("UPDATE UGYFEL SET VAROS = 'Győr' WHERE KOD = 1"));
    }

    void lookupCheck_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("found");
        QTest::newRow("by key") << "1" << "UGYFEL" << "KOD" << true;
        QTest::newRow("apostrophe bound") << "O'Brien Kft." << "UGYFEL" << "NEV" << true;
        QTest::newRow("accents") << "Őrség Bt." << "UGYFEL" << "NEV" << true;
        QTest::newRow("lower-case names") << "Őrség Bt." << "ugyfel" << "nev" << true;
        QTest::newRow("injection is a value") << "x' OR '1'='1" << "UGYFEL" << "NEV" << false;
        QTest::newRow("unknown table") << "1" << "NINCS" << "KOD" << false;
        QTest::newRow("table name with SQL") << "1" << "UGYFEL WHERE 1=1 OR KOD" << "KOD" << false;
        QTest::newRow("unknown column") << "1" << "UGYFEL" << "NINCS" << false;
    }
    void lookupCheck() {
        QFETCH(QString, value);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(bool, found);
        QVERIFY(connectToTestDb());
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        ASelectedRecord rec;
        QCOMPARE(LookupCheck(dm().d_alap(), value, table, column, false, rec), found);
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(LookupCheck(dm().d_alap(), value, table, column, true, rec), found);
        if (found) {
            QVERIFY(sink.messages.isEmpty());
            QCOMPARE(rec.size(), 5);
            QCOMPARE(rec.at(0).FieldName, QStringLiteral("KOD"));
            QCOMPARE(rec.at(0).FieldType, QStringLiteral("INTEGER"));
            QCOMPARE(rec.at(1).FieldType, QStringLiteral("VARCHAR"));
            QCOMPARE(rec.at(4).FieldType, QStringLiteral("MEMO"));
        } else {
            QCOMPARE(sink.texts(), QStringList{"Nincs olyan érték a " + table + " táblában, ahol " + column + "='" + value + "'"});
        }
    }

    void lookupValues() {
        QVERIFY(connectToTestDb());
        ASelectedRecord rec;
        QVERIFY(!LookupCheck(dm().d_alap(), QString(), QStringLiteral("UGYFEL"), QStringLiteral("KOD"), true, rec));
        QVERIFY(LookupCheck(dm().d_alap(), QStringLiteral("1"), QStringLiteral("UGYFEL"), QStringLiteral("KOD"), false, rec));
        QCOMPARE(rec.at(SelectedFieldIndex(rec, QStringLiteral("NEV"))).FieldValue.toString(), QStringLiteral("Kovács és Társa"));
        QCOMPARE(rec.at(SelectedFieldIndex(rec, QStringLiteral("EGYENLEG"))).FieldValue.toLongLong(), 1500);
        QCOMPARE(rec.at(SelectedFieldIndex(rec, QStringLiteral("MEGJ"))).FieldValue.toString(), QStringLiteral("első"));
        QCOMPARE(SelectedFieldIndex(rec, QStringLiteral("nev")), -1); // exact names only
        rec.append({QStringLiteral("NEV"), QStringLiteral("VARCHAR"), QStringLiteral("again")});
        QCOMPARE(SelectedFieldIndex(rec, QStringLiteral("NEV")), 5); // the last one wins
    }

    // ---------------------------------------------------------------- CopyTableDef

    void copyTableDefFromIsqlTable() {
        int rc = -1;
        const QString out = shelltest::runIsql(db.path, QStringLiteral(
            "CREATE DOMAIN D_FLAG AS VARCHAR(1) NOT NULL;\n"
            "CREATE TABLE FORGSOR_T (BIZONYLAT INTEGER NOT NULL, VERZIO SMALLINT NOT NULL, TETELSOR INTEGER NOT NULL,\n"
            "  NEV VARCHAR(40) NOT NULL, NEV_CI VARCHAR(20) COLLATE UNICODE_CI, KOD CHAR(3), FLAG D_FLAG,\n"
            "  MEGJ BLOB SUB_TYPE TEXT, KEP BLOB SUB_TYPE 0, AR NUMERIC(15,2), ARANY DECIMAL(9,3), OSSZEG BIGINT,\n"
            "  RATA DOUBLE PRECISION, F FLOAT, DATUM DATE, IDO TIME, STAMP TIMESTAMP, AKTIV BOOLEAN, \"KEY\" VARCHAR(10),\n"
            "  LATIN VARCHAR(8) CHARACTER SET ASCII DEFAULT 'x',\n"
            "  CONSTRAINT PK_FORGSOR_T PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR));\n"
            "INSERT INTO FORGSOR_T VALUES (1, 0, 1, 'Árvíztűrő', 'Cs', 'AB', 'I', 'hosszú megjegyzés', NULL, 99.99, 1.125,\n"
            "  9000000000, 0.27, 1.5, '2026-12-09', '10:11:12', '2026-12-09 10:11:12', TRUE, 'k1', 'o');\n"
            "COMMIT;\n"), &rc);
        QVERIFY2(rc == 0, qPrintable(out));

        QVERIFY(connectToTestDb());
        auto& c = dm().d_alap();
        QString ddl;
        QVERIFY(CopyTableDef(dm().d_alap(), nullptr, dm().session(), QStringLiteral("FORGSOR_T"), QStringLiteral("TMP_FORGSOR_T_1"), true, true, &ddl));
        QVERIFY2(ddl.startsWith(QStringLiteral("CREATE TABLE TMP_FORGSOR_T_1 (\n \"BIZONYLAT\" INTEGER NOT NULL\n")), qPrintable(ddl));
        QCOMPARE(dm().WorkTableList, QStringList{"TMP_FORGSOR_T_1"});

        // same columns, types, lengths, character sets and collations
        const char* colsSql =
            "SELECT TRIM(RF.RDB$FIELD_NAME) N, F.RDB$FIELD_TYPE T, F.RDB$FIELD_SUB_TYPE ST, F.RDB$FIELD_SCALE SC, "
            "F.RDB$FIELD_PRECISION P, F.RDB$CHARACTER_LENGTH L, F.RDB$CHARACTER_SET_ID CS, "
            "COALESCE(RF.RDB$COLLATION_ID, F.RDB$COLLATION_ID) COLL, "
            "COALESCE(RF.RDB$NULL_FLAG, 0) + COALESCE(F.RDB$NULL_FLAG, 0) NN "
            "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
            "WHERE RF.RDB$RELATION_NAME = :t ORDER BY RF.RDB$FIELD_POSITION";
        const RowSet src = c.query(QString::fromLatin1(colsSql), {{QStringLiteral("t"), QStringLiteral("FORGSOR_T")}});
        const RowSet dst = c.query(QString::fromLatin1(colsSql), {{QStringLiteral("t"), QStringLiteral("TMP_FORGSOR_T_1")}});
        QCOMPARE(dst.rowCount(), src.rowCount());
        QCOMPARE(src.rowCount(), 20);
        const QStringList keyCols{"BIZONYLAT", "VERZIO", "TETELSOR"};
        for (int r = 0; r < src.rowCount(); ++r) {
            for (int col = 0; col < 8; ++col)
                QVERIFY2(src.at(r, col) == dst.at(r, col),
                         qPrintable(src.at(r, 0).toString() + QStringLiteral(" column ") + QString::number(col)));
            // key columns NOT NULL; other null flags (own or of a domain) not copied
            QCOMPARE(dst.at(r, 8).toLongLong() > 0, keyCols.contains(src.at(r, 0).toString()));
        }
        QCOMPARE(vl::db::PrimaryKeyFields(c, QStringLiteral("TMP_FORGSOR_T_1")), QStringLiteral("BIZONYLAT,VERZIO,TETELSOR"));
        c.exec(QStringLiteral("INSERT INTO TMP_FORGSOR_T_1 SELECT * FROM FORGSOR_T"));
        const RowSet back = c.query(QStringLiteral("SELECT NEV, AR, MEGJ, LATIN FROM TMP_FORGSOR_T_1"));
        QCOMPARE(back.at(0, 0).toString(), QStringLiteral("Árvíztűrő"));
        QCOMPARE(back.at(0, 1).toDouble(), 99.99);
        QCOMPARE(back.at(0, 2).toString(), QStringLiteral("hosszú megjegyzés"));
        QCOMPARE(back.at(0, 3).toString(), QStringLiteral("o"));
        // defaults are not copied
        QVERIFY(!ddl.contains(QStringLiteral("DEFAULT")));
        c.exec(QStringLiteral("DROP TABLE TMP_FORGSOR_T_1"));
    }

    void copyTableDefNames_data() {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("valid");
        QTest::newRow("31 characters") << "TMP_ABCDEFGHIJKLMNOPQRSTUVWXYZ0" << true;
        QTest::newRow("short") << "TMP_U" << true;
        QTest::newRow("32 characters") << "TMP_ABCDEFGHIJKLMNOPQRSTUVWXYZ01" << false;
        QTest::newRow("lower case") << "tmp_ugyfel" << false;
        QTest::newRow("dash") << "TMP-UGYFEL" << false;
        QTest::newRow("accented") << "TMP_ÜGYFÉL" << false;
        QTest::newRow("statement") << "TMP_X (A INTEGER); DROP TABLE UGYFEL" << false;
        QTest::newRow("digit first") << "1TMP" << false;
    }
    void copyTableDefNames() {
        QFETCH(QString, newName);
        QFETCH(bool, valid);
        QVERIFY(connectToTestDb());
        auto& c = dm().d_alap();
        bool raised = false;
        try {
            QVERIFY(CopyTableDef(dm().d_alap(), nullptr, dm().session(), QStringLiteral("UGYFEL"), newName, true));
        } catch (const vl::db::DbError&) {
            raised = true;
        }
        QCOMPARE(raised, !valid);
        QVERIFY(vl::db::TableExists(c, QStringLiteral("UGYFEL")));
        if (valid) {
            QVERIFY(vl::db::TableExists(c, newName));
            QCOMPARE(vl::db::PrimaryKeyFields(c, newName), QStringLiteral("KOD"));
            const QString pk = c.query(QStringLiteral("SELECT TRIM(RDB$CONSTRAINT_NAME) FROM RDB$RELATION_CONSTRAINTS "
                                                      "WHERE RDB$RELATION_NAME = :t AND RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"),
                                       {{QStringLiteral("t"), newName}}).at(0, 0).toString();
            QCOMPARE(pk, PrimaryKeyConstraintName(newName));
            QVERIFY(pk.size() <= 31);
            c.exec(QStringLiteral("DROP TABLE ") + newName);
        } else {
            QVERIFY(dm().WorkTableList.isEmpty());
        }
    }

    void copyTableDefWithoutKeyOrSource() {
        QVERIFY(connectToTestDb());
        QString ddl;
        QVERIFY(!CopyTableDef(dm().d_alap(), nullptr, dm().session(), QStringLiteral("NINCS"), QStringLiteral("TMP_NINCS"), true, true, &ddl));
        QVERIFY(ddl.isEmpty());
        QVERIFY(dm().WorkTableList.isEmpty());
        QVERIFY(CopyTableDef(dm().d_alap(), nullptr, dm().session(), QStringLiteral("UGYFEL"), QStringLiteral("TMP_NOPK"), false, false, &ddl));
        QVERIFY(!ddl.contains(QStringLiteral("PRIMARY KEY")));
        QVERIFY(!ddl.contains(QStringLiteral("NOT NULL")));
        QVERIFY(!vl::db::TableExists(dm().d_alap(), QStringLiteral("TMP_NOPK"))); // not executed
        QVERIFY(dm().WorkTableList.isEmpty());
    }

    // Work tables are recorded with their connection and dropped at the end of the run.
    void workTablesRecordedAndDropped() {
        QVERIFY(connectToTestDb());
        auto& c = dm().d_alap();
        c.exec(QStringLiteral("CREATE TABLE MUNKATABLAK (TABLANEV VARCHAR(31) NOT NULL PRIMARY KEY, KAPCSOLAT BIGINT, "
                              "JUZER VARCHAR(10), MIKOR VARCHAR(19))"));
        vl::shell::Session session;
        session.userCode = QStringLiteral("KOVACSJANOS_HOSSZU");
        QVERIFY(CopyTableDef(c, nullptr, session, QStringLiteral("UGYFEL"), QStringLiteral("TMP_A"), true));
        QVERIFY(CopyTableDef(c, nullptr, session, QStringLiteral("UGYFEL"), QStringLiteral("TMP_B"), true));
        QCOMPARE(dm().WorkTableList, (QStringList{"TMP_A", "TMP_B"}));
        const qint64 me = c.query(QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE")).at(0, 0).toLongLong();
        RowSet rows = c.query(QStringLiteral("SELECT TABLANEV, KAPCSOLAT, JUZER, MIKOR FROM MUNKATABLAK ORDER BY TABLANEV"));
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(rows.at(0, 0).toString(), QStringLiteral("TMP_A"));
        QCOMPARE(rows.at(0, 1).toLongLong(), me);
        QCOMPARE(rows.at(0, 2).toString(), QStringLiteral("KOVACSJANO"));
        QCOMPARE(rows.at(0, 3).toString().size(), 19);
        // one table was dropped by someone else already
        c.exec(QStringLiteral("DROP TABLE TMP_A"));

        DropRunWorkTables();
        QVERIFY(!dm().isConnected());
        QVERIFY(dm().WorkTableList.isEmpty());
        auto check = db.open();
        QVERIFY(!vl::db::TableExists(*check, QStringLiteral("TMP_A")));
        QVERIFY(!vl::db::TableExists(*check, QStringLiteral("TMP_B")));
        QVERIFY(vl::db::TableExists(*check, QStringLiteral("UGYFEL")));
        QCOMPARE(check->query(QStringLiteral("SELECT COUNT(*) FROM MUNKATABLAK")).at(0, 0).toLongLong(), 0);
        check->exec(QStringLiteral("DROP TABLE MUNKATABLAK"));
        check->close();
    }

    void closingStepWithoutWorkTablesOnlyDisconnects() {
        QVERIFY(connectToTestDb());
        DropRunWorkTables();
        QVERIFY(!dm().isConnected());
        DropRunWorkTables(); // not connected: nothing to do
    }
};

QTEST_GUILESS_MAIN(TstDm)
#include "tst_dm.moc"
