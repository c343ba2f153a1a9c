// The catalogue: the InterBase branch on Firebird, the generic branch through
// an SQLite ODBC data source, and the pure helpers.
#include "db/Catalogue.h"
#include "shell/Dm.h"
#include "shell/Queries.h"
#include "util/MessageSink.h"
#include "ShellTest.h"

#include <QtTest>

using namespace vl::db;

Q_DECLARE_METATYPE(vl::db::ColType)

class TstCatalogue : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    std::unique_ptr<Connection> fb;
    QTemporaryDir odbcDir;
    std::unique_ptr<Connection> lite;

private slots:
    void initTestCase() {
        fb = db.create();
        fb->exec(QStringLiteral("CREATE DOMAIN D_KOD AS VARCHAR(10) NOT NULL"));
        fb->exec(QStringLiteral(
            "CREATE TABLE CAT_T (BIZONYLAT INTEGER NOT NULL, VERZIO SMALLINT NOT NULL, KOD D_KOD, NEV VARCHAR(40), "
            "NEV2 VARCHAR(20) NOT NULL, OSSZEG BIGINT, AR NUMERIC(15,2), RATA DOUBLE PRECISION, MEGJ BLOB SUB_TYPE TEXT, "
            "DATUM DATE, AKTIV BOOLEAN, KOD2 D_KOD, CONSTRAINT PK_CAT_T PRIMARY KEY (BIZONYLAT, VERZIO))"));
        fb->exec(QStringLiteral("CREATE TABLE NOKEY (A INTEGER, B VARCHAR(5))"));

        // An SQLite database behind an ODBC data source of our own.
        const QString ini = odbcDir.filePath(QStringLiteral("odbcinst.ini"));
        shelltest::writeFile(ini, "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=libsqlite3odbc.so\n");
        shelltest::writeFile(odbcDir.filePath(QStringLiteral("odbc.ini")),
                             "[vltest]\nDriver=SQLite3\nDatabase=" + QFile::encodeName(odbcDir.filePath(QStringLiteral("t.db")))
                                 + "\n");
        qputenv("ODBCSYSINI", QFile::encodeName(odbcDir.path()));
        qputenv("ODBCINI", QFile::encodeName(odbcDir.filePath(QStringLiteral("odbc.ini"))));
        ConnectParams p;
        p.driver = QStringLiteral("ODBC");
        p.database = QStringLiteral("vltest");
        lite = vl::db::connect(p);
        lite->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER PRIMARY KEY, NEV VARCHAR(40) NOT NULL, VAROS VARCHAR(30))"));
        lite->exec(QStringLiteral("CREATE TABLE DOKU (\"KEY\" VARCHAR(20), SZOVEG VARCHAR(100))"));
        lite->exec(QStringLiteral("INSERT INTO UGYFEL VALUES (1, 'Kovács és Társa', 'Győr')"));
        lite->exec(QStringLiteral("INSERT INTO UGYFEL VALUES (2, 'O''Brien Kft.', 'Pécs')"));
    }
    void cleanupTestCase() {
        vl::shell::dm().disconnect();
        if (lite) lite->close();
        if (fb) fb->close();
    }

    void firebirdTableExists() {
        QCOMPARE(fb->driverName(), QStringLiteral("INTRBASE"));
        QVERIFY(TableExists(*fb, QStringLiteral("CAT_T")));
        QVERIFY(TableExists(*fb, QStringLiteral("RDB$RELATIONS")));
        QVERIFY(!TableExists(*fb, QStringLiteral("NINCS")));
        QVERIFY(!TableExists(*fb, QStringLiteral("CAT_T' OR '1'='1")));
    }

    void firebirdPrimaryKey() {
        int n = -1;
        QCOMPARE(PrimaryKeyFields(*fb, QStringLiteral("CAT_T"), &n), QStringLiteral("BIZONYLAT,VERZIO"));
        QCOMPARE(n, 2);
        QCOMPARE(PrimaryKeyFields(*fb, QStringLiteral("NOKEY"), &n), QString());
        QCOMPARE(n, 0);
        QCOMPARE(PrimaryKeyFields(*fb, QStringLiteral("NINCS"), &n), QString());
        QCOMPARE(n, 0);
    }

    void firebirdFieldInfo_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("notNull");
        QTest::newRow("varchar") << "NEV" << true << 40 << "VARCHAR" << false;
        QTest::newRow("varchar not null") << "NEV2" << true << 20 << "VARCHAR" << true;
        QTest::newRow("NOT NULL domain, no column flag") << "KOD" << true << 10 << "VARCHAR" << true;
        QTest::newRow("integer") << "BIZONYLAT" << true << 0 << "INTEGER" << true;
        QTest::newRow("smallint") << "VERZIO" << true << 0 << "SMALLINT" << true;
        QTest::newRow("bigint keeps its name") << "OSSZEG" << true << 0 << "INT64" << false;
        QTest::newRow("numeric") << "AR" << true << 0 << "INT64" << false;
        QTest::newRow("double") << "RATA" << true << 0 << "DOUBLE PRECISION" << false;
        QTest::newRow("blob") << "MEGJ" << true << 0 << "BLOB" << false;
        QTest::newRow("date") << "DATUM" << true << 0 << "DATE" << false;
        QTest::newRow("boolean") << "AKTIV" << true << 0 << "BOOLEAN" << false;
        QTest::newRow("missing column") << "NINCS" << false << 0 << "nil" << false;
    }
    void firebirdFieldInfo() {
        QFETCH(QString, column);
        QFETCH(bool, found);
        QFETCH(int, length);
        QFETCH(QString, type);
        QFETCH(bool, notNull);
        const FieldInfoResult r = FieldInfo(*fb, QStringLiteral("CAT_T"), column);
        QCOMPARE(r.found, found);
        QCOMPARE(r.length, length);
        QCOMPARE(r.typeName, type);
        QCOMPARE(r.notNull, notNull);
    }

    void firebirdMissingTable() {
        const FieldInfoResult r = FieldInfo(*fb, QStringLiteral("NINCS"), QStringLiteral("A"));
        QVERIFY(!r.found);
        QVERIFY(TableColumns(*fb, QStringLiteral("NINCS")).isEmpty());
        const IdentityResult id = IdentityInfo(*fb, QStringLiteral("CAT_T"), QStringLiteral("BIZONYLAT"));
        QVERIFY(!id.identity);
        QCOMPARE(id.seed, -1);
        QCOMPARE(id.increment, -1);
    }

    // The catalogue's column list and the layer's report of an opened statement agree.
    void firebirdColumnsAgreeWithLayer() {
        const QList<TableColumn> cols = TableColumns(*fb, QStringLiteral("CAT_T"));
        QStringList names, words;
        for (const auto& c : cols) names << c.name, words << c.typeWord;
        QCOMPARE(names, (QStringList{"BIZONYLAT", "VERZIO", "KOD", "NEV", "NEV2", "OSSZEG", "AR", "RATA", "MEGJ", "DATUM",
                                     "AKTIV", "KOD2"}));
        QCOMPARE(words, (QStringList{"INTEGER", "SMALLINT", "VARCHAR", "VARCHAR", "VARCHAR", "INTEGER", "FLOAT", "FLOAT", "MEMO",
                                     "Unknown", "BOOLEAN", "VARCHAR"}));
        QCOMPARE(cols.at(3).editLength, 40);
        QCOMPARE(cols.at(0).editLength, 10);
        QCOMPARE(cols.at(6).editLength, 13);
        QCOMPARE(cols.at(8).editLength, -1);
        QCOMPARE(cols.at(9).editLength, 8); // a DATE column
        QVERIFY(cols.at(2).notNull);        // through its domain
        QVERIFY(!cols.at(3).notNull);
        const RowSet rs = fb->query(QStringLiteral("SELECT * FROM CAT_T"));
        QCOMPARE(rs.columnCount(), cols.size());
        for (int i = 0; i < cols.size(); ++i) {
            QCOMPARE(rs.columns().at(i).name, cols.at(i).name);
            QCOMPARE(FieldTypeName(rs.columns().at(i)), cols.at(i).typeWord);
            QCOMPARE(FieldEditLength(rs.columns().at(i)), cols.at(i).editLength);
        }
        QVERIFY(HasColumn(*fb, QStringLiteral("CAT_T"), QStringLiteral("NEV")));
        QVERIFY(!HasColumn(*fb, QStringLiteral("CAT_T"), QStringLiteral("nev")));
    }

    void odbcGenericBranch() {
        const QString driver = lite->driverName();
        QVERIFY2(driver != QStringLiteral("INTRBASE") && driver != QStringLiteral("SQL SERVER"), qPrintable(driver));
        QVERIFY(TableExists(*lite, QStringLiteral("UGYFEL")));
        QVERIFY(!TableExists(*lite, QStringLiteral("NINCS")));
        QVERIFY(!TableExists(*lite, QStringLiteral("UGYFEL where 1=1; drop table UGYFEL --")));
        QVERIFY(TableExists(*lite, QStringLiteral("UGYFEL"))); // still there
        int n = -1;
        QCOMPARE(PrimaryKeyFields(*lite, QStringLiteral("UGYFEL"), &n), QString());
        QCOMPARE(n, 0);
        QVERIFY(!FieldInfo(*lite, QStringLiteral("UGYFEL"), QStringLiteral("NEV")).found);
        QVERIFY(!IdentityInfo(*lite, QStringLiteral("UGYFEL"), QStringLiteral("KOD")).identity);
        const QList<TableColumn> cols = TableColumns(*lite, QStringLiteral("UGYFEL"));
        QStringList names;
        for (const auto& c : cols) names << c.name;
        QCOMPARE(names, (QStringList{"KOD", "NEV", "VAROS"}));
        QCOMPARE(cols.at(1).typeWord, QStringLiteral("VARCHAR"));
        QVERIFY(TableColumns(*lite, QStringLiteral("NINCS")).isEmpty());
    }

    // The data module over an ODBC source: state recorded, lookups bound.
    void odbcThroughTheDataModule() {
        auto& dm = vl::shell::dm();
        ConnectParams p;
        p.driver = QStringLiteral("ODBC");
        p.database = QStringLiteral("vltest");
        dm.adopt(vl::db::connect(p));
        QCOMPARE(dm.DriverName, lite->driverName().toUpper());
        QVERIFY(dm.HasDokuTable);
        QCOMPARE(dm.DokuKeyColumn, QStringLiteral("KEY"));
        QVERIFY(!dm.HasDefaultsTable);

        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        vl::shell::ASelectedRecord rec;
        QVERIFY(vl::shell::LookupCheck(vl::shell::dm().d_alap(), QStringLiteral("O'Brien Kft."), QStringLiteral("UGYFEL"), QStringLiteral("NEV"), true, rec));
        QCOMPARE(rec.size(), 3);
        QCOMPARE(rec.at(vl::shell::SelectedFieldIndex(rec, QStringLiteral("VAROS"))).FieldValue.toString(), QStringLiteral("Pécs"));
        QVERIFY(!vl::shell::LookupCheck(vl::shell::dm().d_alap(), QStringLiteral("x' OR '1'='1"), QStringLiteral("UGYFEL"), QStringLiteral("NEV"), true, rec));
        QCOMPARE(sink.texts(), QStringList{"Nincs olyan érték a UGYFEL táblában, ahol NEV='x' OR '1'='1'"});
        dm.disconnect();
    }

    void tableNameOfSql_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("name");
        QTest::newRow("name on the next line") << QStringList{"Select * From ", "SZ_SOFOR"} << "SZ_SOFOR";
        QTest::newRow("alias and join list") << QStringList{"SELECT A, B FROM UGYFEL U, UGYFELCIM C"} << "UGYFEL";
        QTest::newRow("no blank after From") << QStringList{"Select * From", "TABLAK"} << "";
        QTest::newRow("no FROM") << QStringList{"Select 1"} << "";
        QTest::newRow("lower case, comma") << QStringList{"select *", "  from forgfej,forgsor where 1=1"} << "FORGFEJ";
        QTest::newRow("where on the next line") << QStringList{"Select *", "From ARU", "Where KOD=:kod"} << "ARU";
        QTest::newRow("FROM at line end, next line with alias") << QStringList{"SELECT * FROM", " UGYFEL U"} << "";
        QTest::newRow("FROM  at line end after trim") << QStringList{"SELECT * FROM  ", " UGYFEL U"} << "UGYFEL";
    }
    void tableNameOfSql() {
        QFETCH(QStringList, lines);
        QFETCH(QString, name);
        QCOMPARE(TableNameOfSql(lines), name);
    }

    void typeWordsAndLengths_data() {
        QTest::addColumn<ColType>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("edit");
        QTest::newRow("text") << ColType::Text << 35 << 0 << "VARCHAR" << 35;
        QTest::newRow("int16") << ColType::Int16 << 0 << 0 << "SMALLINT" << 10;
        QTest::newRow("int32") << ColType::Int32 << 0 << 0 << "INTEGER" << 10;
        QTest::newRow("int64") << ColType::Int64 << 0 << 0 << "INTEGER" << 10;
        QTest::newRow("scaled numeric") << ColType::Int64 << 0 << -2 << "FLOAT" << 13;
        QTest::newRow("boolean") << ColType::Boolean << 0 << 0 << "BOOLEAN" << 8;
        QTest::newRow("float") << ColType::Float << 0 << 0 << "FLOAT" << 13;
        QTest::newRow("long text") << ColType::LongText << 0 << 0 << "MEMO" << -1;
        QTest::newRow("date") << ColType::Date << 0 << 0 << "Unknown" << 8;
        QTest::newRow("timestamp") << ColType::Timestamp << 0 << 0 << "Unknown" << 8;
    }
    void typeWordsAndLengths() {
        QFETCH(ColType, type);
        QFETCH(int, length);
        QFETCH(int, scale);
        QFETCH(QString, word);
        QFETCH(int, edit);
        Column c;
        c.type = type;
        c.length = length;
        c.scale = scale;
        QCOMPARE(FieldTypeName(c), word);
        QCOMPARE(FieldEditLength(c), edit);
    }
};

QTEST_GUILESS_MAIN(TstCatalogue)
#include "tst_catalogue.moc"
