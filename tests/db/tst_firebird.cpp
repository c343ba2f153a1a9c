// The Firebird route of the access layer, against real databases made in a
// temporary directory (embedded), and against a server when one is given.
#include "db/Database.h"
#include "db/WriteConflict.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vl::db;

namespace {
Params P(std::initializer_list<std::pair<QString, QVariant>> l) { return Params(l); }

qint64 count(Connection& c, const QString& table, const QString& where = QString(), const Params& p = {})
{
    const RowSet rs = c.query(QStringLiteral("SELECT COUNT(*) FROM ") + table
                              + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where), p);
    return rs.at(0, 0).toLongLong();
}
} // namespace

class TstFirebird : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::unique_ptr<Connection> db_;
    QString path_;
    int nextId_ = 1;

private slots:
    void initTestCase()
    {
        prepareEmbeddedEngine();
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("teszt.fdb"));
        ConnectParams p;
        p.database = path_;
        db_ = createFirebirdDatabase(p);
        QVERIFY(db_->isOpen());
        QCOMPARE(db_->driverName(), QStringLiteral("INTRBASE"));
        db_->exec(QStringLiteral(
            "CREATE TABLE MINDEN (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(40), C CHAR(6), SI SMALLINT,"
            " I INTEGER, BI BIGINT, N NUMERIC(15,2), D DOUBLE PRECISION, F FLOAT, B BOOLEAN,"
            " M BLOB SUB_TYPE TEXT, DT DATE, TM TIME, TS TIMESTAMP)"));
    }

    void cleanupTestCase() { db_.reset(); }

    void environmentIsOurs()
    {
        // The embedded engine runs from our own root in Classic mode with one lock dir.
        QVERIFY(QFile::exists(qEnvironmentVariable("FIREBIRD") + QStringLiteral("/firebird.conf")));
        QCOMPARE(qEnvironmentVariable("FIREBIRD"), QCoreApplication::applicationDirPath() + QStringLiteral("/firebird"));
        QCOMPARE(qEnvironmentVariable("FIREBIRD_LOCK"), QCoreApplication::applicationDirPath() + QStringLiteral("/firebird-lock"));
        const RowSet rs = db_->query(QStringLiteral(
            "SELECT RDB$GET_CONTEXT('SYSTEM', 'ENGINE_VERSION') AS V, MON$CHARACTER_SET_ID AS CS "
            "FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"));
        QVERIFY(rs.at(0, 0).toString().startsWith(u'3'));
        QCOMPARE(rs.at(0, 1).toLongLong(), 4); // UTF8
        const RowSet d = db_->query(QStringLiteral("SELECT MON$SQL_DIALECT, MON$PAGE_SIZE, MON$FORCED_WRITES FROM MON$DATABASE"));
        QCOMPARE(d.at(0, 0).toLongLong(), 3);
        QCOMPARE(d.at(0, 1).toLongLong(), 8192);
        QCOMPARE(d.at(0, 2).toLongLong(), 1);
    }

    void createRefusesExistingFile()
    {
        ConnectParams p;
        p.database = path_;
        try {
            createFirebirdDatabase(p);
            QFAIL("an existing database was created again");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("már létezik")), qPrintable(e.text()));
        }
        // the file still works
        QCOMPARE(db_->query(QStringLiteral("SELECT 1 FROM RDB$DATABASE")).rowCount(), 1);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("bound");
        QTest::addColumn<QVariant>("expected");
        const QString accents = QStringLiteral("őŐűŰáÁéÉíÍóÓöÖúÚüÜ");
        QTest::newRow("varchar accents") << "S" << QVariant(accents) << QVariant(accents);
        QTest::newRow("varchar apostrophes") << "S" << QVariant(QStringLiteral("O'Brien ''x'' \"q\" :p"))
                                             << QVariant(QStringLiteral("O'Brien ''x'' \"q\" :p"));
        QTest::newRow("varchar full width accents") << "S" << QVariant(QString(40, QChar(0x0151)))
                                                    << QVariant(QString(40, QChar(0x0151)));
        QTest::newRow("varchar null") << "S" << QVariant() << QVariant();
        QTest::newRow("varchar empty") << "S" << QVariant(QString(u""_qs)) << QVariant(QString(u""_qs));
        QTest::newRow("varchar from integer") << "S" << QVariant(qint64(12345)) << QVariant(QStringLiteral("12345"));
        QTest::newRow("varchar from double") << "S" << QVariant(2.5) << QVariant(QStringLiteral("2.5"));
        QTest::newRow("varchar from date") << "S" << QVariant(QDate(2026, 12, 9)) << QVariant(QStringLiteral("2026.12.09"));
        QTest::newRow("char padded to its width") << "C" << QVariant(QStringLiteral("ab")) << QVariant(QStringLiteral("ab    "));
        QTest::newRow("char accents") << "C" << QVariant(QStringLiteral("őz")) << QVariant(QStringLiteral("őz    "));
        QTest::newRow("smallint") << "SI" << QVariant(7) << QVariant(qint64(7));
        QTest::newRow("integer from text") << "I" << QVariant(QStringLiteral("42")) << QVariant(qint64(42));
        QTest::newRow("integer negative") << "I" << QVariant(-2147483647) << QVariant(qint64(-2147483647));
        QTest::newRow("integer typed null") << "I" << QVariant(QMetaType::fromType<qint64>()) << QVariant();
        QTest::newRow("bigint beyond double") << "BI" << QVariant(qint64(9007199254740993LL))
                                              << QVariant(qint64(9007199254740993LL));
        QTest::newRow("bigint money") << "BI" << QVariant(qint64(-123456789012LL)) << QVariant(qint64(-123456789012LL));
        QTest::newRow("numeric 99.99") << "N" << QVariant(99.99) << QVariant(99.99);
        QTest::newRow("numeric from text") << "N" << QVariant(QStringLiteral("99.99")) << QVariant(99.99);
        QTest::newRow("numeric from integer") << "N" << QVariant(5) << QVariant(5.0);
        QTest::newRow("numeric negative cents") << "N" << QVariant(-0.05) << QVariant(-0.05);
        QTest::newRow("numeric large") << "N" << QVariant(1234567890123.45) << QVariant(1234567890123.45);
        QTest::newRow("double") << "D" << QVariant(0.1) << QVariant(0.1);
        QTest::newRow("double from integer") << "D" << QVariant(qint64(3)) << QVariant(3.0);
        QTest::newRow("float") << "F" << QVariant(1.1) << QVariant(1.1);
        QTest::newRow("boolean true") << "B" << QVariant(true) << QVariant(true);
        QTest::newRow("boolean false") << "B" << QVariant(false) << QVariant(false);
        QTest::newRow("boolean null") << "B" << QVariant(QMetaType::fromType<bool>()) << QVariant();
        QTest::newRow("blob text") << "M" << QVariant(QStringLiteral("első sor\nmásodik 'sor'")) << QVariant(QStringLiteral("első sor\nmásodik 'sor'"));
        const QString big = QString(QStringLiteral("árvíztűrő tükörfúrógép ")).repeated(5000);
        QTest::newRow("blob text long") << "M" << QVariant(big) << QVariant(big);
        QTest::newRow("blob null") << "M" << QVariant() << QVariant();
        QTest::newRow("blob from integer") << "M" << QVariant(17) << QVariant(QStringLiteral("17"));
        QTest::newRow("date") << "DT" << QVariant(QDate(2026, 2, 28)) << QVariant(QDate(2026, 2, 28));
        QTest::newRow("date from text") << "DT" << QVariant(QStringLiteral("2026-12-09")) << QVariant(QDate(2026, 12, 9));
        QTest::newRow("time") << "TM" << QVariant(QTime(13, 45, 10, 250)) << QVariant(QTime(13, 45, 10, 250));
        QTest::newRow("timestamp") << "TS" << QVariant(QDateTime(QDate(2026, 12, 9), QTime(8, 0, 1)))
                                   << QVariant(QDateTime(QDate(2026, 12, 9), QTime(8, 0, 1)));
    }

    void roundTrip()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, bound);
        QFETCH(QVariant, expected);
        const int id = nextId_++;
        // the column name comes from the fixed list above
        const qint64 n = db_->exec(QStringLiteral("INSERT INTO MINDEN (ID, %1) VALUES (:id, :v)").arg(column),
                                   P({{QStringLiteral("id"), id}, {QStringLiteral("v"), bound}}));
        QCOMPARE(n, 1);
        const RowSet rs = db_->query(QStringLiteral("SELECT %1 FROM MINDEN WHERE ID = :ID").arg(column),
                                     P({{QStringLiteral("id"), id}}));
        QCOMPARE(rs.rowCount(), 1);
        const QVariant got = rs.at(0, 0);
        if (expected.isNull()) {
            QVERIFY2(got.isNull(), qPrintable(got.toString()));
            QCOMPARE(got.typeId(), QMetaType::UnknownType);
            return;
        }
        QCOMPARE(got.typeId(), expected.typeId() == QMetaType::Int ? int(QMetaType::LongLong) : expected.typeId());
        if (expected.typeId() == QMetaType::Double)
            QVERIFY2(got.toDouble() == expected.toDouble(), // exact, not fuzzy
                     qPrintable(QString::number(got.toDouble(), 'g', 17)));
        else
            QCOMPARE(got, expected);
    }

    void columnsReportTypes()
    {
        const RowSet rs = db_->query(QStringLiteral(
            "SELECT S, C, SI, I, BI, N, D, B, M, DT, TM, TS, ID AS \"Szöveg\" FROM MINDEN WHERE ID < 0"));
        const QList<ColType> want = {ColType::Text, ColType::Text, ColType::Int16, ColType::Int32, ColType::Int64,
                                     ColType::Float, ColType::Float, ColType::Boolean, ColType::LongText,
                                     ColType::Date, ColType::Time, ColType::Timestamp, ColType::Int32};
        QCOMPARE(rs.columnCount(), want.size());
        for (int i = 0; i < want.size(); ++i)
            QCOMPARE(int(rs.columns().at(i).type), int(want.at(i)));
        QCOMPARE(rs.columns().at(0).length, 40);
        QCOMPARE(rs.columns().at(1).length, 6);
        QCOMPARE(rs.columns().at(5).scale, -2);
        QCOMPARE(rs.columns().at(12).name, QStringLiteral("Szöveg"));
        QCOMPARE(rs.indexOf(QStringLiteral("szöveg")), 12);
        QCOMPARE(rs.indexOf(QStringLiteral("nincs")), -1);
    }

    void expressionTextIsNotPadded()
    {
        const RowSet rs = db_->query(QStringLiteral(
            "SELECT IIF(1 = 1, 'kicsi', 'nagyobb') AS K, CAST('ab' AS CHAR(6)) AS C, 'x' || CAST(:s AS VARCHAR(5)) AS J "
            "FROM RDB$DATABASE"), P({{QStringLiteral("s"), QStringLiteral("ő")}}));
        QCOMPARE(rs.at(0, 0).toString(), QStringLiteral("kicsi  ")); // CHAR(7), not 28
        QCOMPARE(rs.at(0, 1).toString(), QStringLiteral("ab    "));
        QCOMPARE(rs.at(0, 2).toString(), QStringLiteral("xő"));
    }

    void namedParametersInStatements()
    {
        db_->exec(QStringLiteral("CREATE TABLE PARAM (ID INTEGER, A VARCHAR(20), B VARCHAR(20))"));
        auto tx = db_->begin();
        auto st = tx->prepare(QStringLiteral(
            "INSERT INTO PARAM (ID, A, B) VALUES (:Id, :szoveg, -- :comment\n :SZOVEG || ':nem' /* :x */)"));
        QCOMPARE(st->parameterNames(), QStringList({QStringLiteral("id"), QStringLiteral("szoveg")}));
        st->bind(QStringLiteral("ID"), 1);
        st->bind(QStringLiteral(":szoveg"), QStringLiteral("a:b"));
        QCOMPARE(st->execute(), 1);
        tx->commit();
        const RowSet rs = db_->query(QStringLiteral("SELECT A, B FROM PARAM WHERE ID = :id AND (A = :v OR B = :V)"),
                                     P({{QStringLiteral("id"), 1}, {QStringLiteral("v"), QStringLiteral("a:b")}}));
        QCOMPARE(rs.rowCount(), 1);
        QCOMPARE(rs.at(0, 1).toString(), QStringLiteral("a:b:nem"));
        // one name in two roles: an optional filter (":x IS NULL" is typeless to the server)
        const QString optional = QStringLiteral("SELECT COUNT(*) FROM PARAM WHERE (:x IS NULL OR A = :x)");
        QCOMPARE(db_->query(optional, P({{QStringLiteral("x"), QVariant()}})).at(0, 0).toLongLong(), 1);
        QCOMPARE(db_->query(optional, P({{QStringLiteral("x"), QStringLiteral("a:b")}})).at(0, 0).toLongLong(), 1);
        QCOMPARE(db_->query(optional, P({{QStringLiteral("x"), QStringLiteral("más")}})).at(0, 0).toLongLong(), 0);
    }

    void parameterMistakesAreReported_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown name") << "SELECT ID FROM PARAM WHERE ID = :id" << QStringList({"id", "nincs"})
                                      << "A(z) :nincs paraméter nem szerepel az utasításban.";
        QTest::newRow("missing value") << "SELECT ID FROM PARAM WHERE ID = :id OR A = :a" << QStringList({"id"})
                                       << "A(z) :a paraméternek nincs értéke.";
    }

    void parameterMistakesAreReported()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        Params p;
        for (const QString& n : names)
            p.emplace_back(n, 1);
        try {
            db_->query(sql, p);
            QFAIL("no error");
        } catch (const DbError& e) {
            QCOMPARE(e.text(), message);
            QCOMPARE(e.statement(), sql); // the statement as written, with its :names
        }
    }

    void transactionsLandWholeOrNotAtAll()
    {
        db_->exec(QStringLiteral("CREATE TABLE TX (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(10))"));
        {
            auto tx = db_->begin();
            tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (1)"));
            tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (2)"));
            QVERIFY(tx->isActive());
            // destroyed without commit
        }
        QCOMPARE(count(*db_, QStringLiteral("TX")), 0);
        {
            auto tx = db_->begin();
            tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (3)"));
            tx->rollback();
            QVERIFY(!tx->isActive());
            QVERIFY_THROWS_EXCEPTION(DbError, tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (4)")));
        }
        QCOMPARE(count(*db_, QStringLiteral("TX")), 0);
        {
            auto tx = db_->begin();
            tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (5)"));
            // a failing statement inside the transaction: the caller gives up, nothing lands
            QVERIFY_THROWS_EXCEPTION(DbError, tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (5)")));
        }
        QCOMPARE(count(*db_, QStringLiteral("TX")), 0);
        {
            auto tx = db_->begin();
            tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (6)"));
            tx->commit();
            QVERIFY(!tx->isActive());
            QVERIFY_THROWS_EXCEPTION(DbError, tx->commit());
        }
        QCOMPARE(count(*db_, QStringLiteral("TX")), 1);
        // a statement that outlives its transaction reports it instead of crashing
        std::unique_ptr<Statement> orphan;
        {
            auto tx = db_->begin();
            orphan = tx->prepare(QStringLiteral("INSERT INTO TX (ID) VALUES (:id)"));
        }
        orphan->bind(QStringLiteral("id"), 7);
        QVERIFY_THROWS_EXCEPTION(DbError, orphan->execute());
    }

    void preparedStatementExecutesMany()
    {
        db_->exec(QStringLiteral("CREATE TABLE SOK (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(20), OSSZEG BIGINT)"));
        auto tx = db_->begin();
        auto st = tx->prepare(QStringLiteral("INSERT INTO SOK (ID, NEV, OSSZEG) VALUES (:id, :nev, :osszeg)"));
        for (int i = 1; i <= 500; ++i) {
            st->bindAll(P({{QStringLiteral("id"), i},
                           {QStringLiteral("nev"), i % 3 ? QVariant(QStringLiteral("sor %1").arg(i)) : QVariant()},
                           {QStringLiteral("osszeg"), i % 2 ? QVariant(qint64(i) * 1000) : QVariant(QStringLiteral("7"))}}));
            QCOMPARE(st->execute(), 1);
        }
        tx->commit();
        const RowSet rs = db_->query(QStringLiteral(
            "SELECT COUNT(*), COUNT(NEV), SUM(OSSZEG) FROM SOK"));
        QCOMPARE(rs.at(0, 0).toLongLong(), 500);
        QCOMPARE(rs.at(0, 1).toLongLong(), 334);
        QCOMPARE(rs.at(0, 2).toLongLong(), 250LL * 1000 * 250 + 250 * 7); // odd ids sum to 62500
        // rows affected, including the update path of UPDATE OR INSERT
        QCOMPARE(db_->exec(QStringLiteral("UPDATE SOK SET OSSZEG = 0 WHERE ID <= 10")), 10);
        QCOMPARE(db_->exec(QStringLiteral("UPDATE OR INSERT INTO SOK (ID, NEV) VALUES (1, 'egy') MATCHING (ID)")), 1);
        QCOMPARE(db_->exec(QStringLiteral("UPDATE OR INSERT INTO SOK (ID, NEV) VALUES (1000, 'ezer') MATCHING (ID)")), 1);
        QCOMPARE(db_->exec(QStringLiteral("DELETE FROM SOK WHERE ID > 2000")), 0);
    }

    // Rows handed over one by one as they are fetched are the rows a query
    // gives, in its order, NULLs included; a failing statement is reported
    // with its text as a query's is, and a row handler's exception stops the
    // fetch and leaves the transaction usable.
    void eachRowAsFetched()
    {
        db_->exec(QStringLiteral("CREATE TABLE SOROK (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(20), OSSZEG BIGINT)"));
        {
            auto tx = db_->begin();
            auto st = tx->prepare(QStringLiteral("INSERT INTO SOROK (ID, NEV, OSSZEG) VALUES (:id, :nev, :osszeg)"));
            for (int i = 1; i <= 300; ++i) {
                st->bindAll(P({{QStringLiteral("id"), i},
                               {QStringLiteral("nev"), i % 7 ? QVariant(QStringLiteral("sor %1").arg(i)) : QVariant()},
                               {QStringLiteral("osszeg"), qint64(i) * 10}}));
                st->execute();
            }
            tx->commit();
        }
        const QString sql = QStringLiteral("SELECT ID, NEV, OSSZEG FROM SOROK WHERE ID >= :tol ORDER BY ID DESC");
        auto tx = db_->begin(TxMode::ReadOnly);
        const RowSet all = tx->query(sql, P({{QStringLiteral("tol"), 100}}));
        QList<QVariantList> each;
        tx->queryEach(sql, P({{QStringLiteral("tol"), 100}}), [&](const QVariantList& row) { each << row; });
        QCOMPARE(each.size(), 201);
        QCOMPARE(each.size(), all.rowCount());
        for (int r = 0; r < all.rowCount(); ++r) QCOMPARE(each.at(r), all.row(r));
        QCOMPARE(each.first(), (QVariantList{300, QStringLiteral("sor 300"), qint64(3000)}));
        QVERIFY(each.at(6).at(1).isNull());   // 294 = 7 * 42
        int none = 0;
        tx->queryEach(sql, P({{QStringLiteral("tol"), 1000}}), [&](const QVariantList&) { ++none; });
        QCOMPARE(none, 0);
        try {
            tx->queryEach(QStringLiteral("SELECT NINCS FROM SOROK"), {}, [](const QVariantList&) {});
            QFAIL("no error");
        } catch (const DbError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("NINCS")), e.what());
        }
        int seen = 0;
        try {
            tx->queryEach(sql, P({{QStringLiteral("tol"), 1}}), [&](const QVariantList&) {
                if (++seen == 5) throw std::runtime_error("elég");
            });
            QFAIL("no error");
        } catch (const std::runtime_error&) {
        }
        QCOMPARE(seen, 5);
        QCOMPARE(tx->query(QStringLiteral("SELECT COUNT(*) FROM SOROK")).at(0, 0).toLongLong(), 300);
    }

    void returningGivesTheNewKey()
    {
        db_->exec(QStringLiteral("CREATE TABLE KULCS (KOD INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, NEV VARCHAR(10))"));
        auto tx = db_->begin();
        const RowSet a = tx->query(QStringLiteral("INSERT INTO KULCS (NEV) VALUES (:n) RETURNING KOD"), P({{QStringLiteral("n"), QStringLiteral("a")}}));
        const RowSet b = tx->query(QStringLiteral("INSERT INTO KULCS (NEV) VALUES (:n) RETURNING KOD"), P({{QStringLiteral("n"), QStringLiteral("b")}}));
        tx->commit();
        QCOMPARE(a.rowCount(), 1);
        QCOMPARE(b.at(0, 0).toLongLong(), a.at(0, 0).toLongLong() + 1);
        QCOMPARE(a.columns().at(0).name, QStringLiteral("KOD"));
        // UPDATE ... RETURNING that hits no row gives no row
        const RowSet none = db_->query(QStringLiteral("UPDATE KULCS SET NEV = 'x' WHERE KOD = -1 RETURNING KOD"));
        QCOMPARE(none.rowCount(), 0);
    }

    void failedCommitIsReportedAndClosesTheTransaction()
    {
        db_->exec(QStringLiteral("CREATE TABLE W_DROP (ID INTEGER)"));
        auto reader = db_->begin();
        auto holder = reader->prepare(QStringLiteral("SELECT ID FROM W_DROP")); // holds the table
        auto tx = db_->begin();
        tx->exec(QStringLiteral("DROP TABLE W_DROP"));
        try {
            tx->commit();
            QFAIL("the commit of a drop of a table in use succeeded");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("in use")), qPrintable(e.text()));
        }
        QVERIFY(!tx->isActive());
        holder.reset();
        reader->commit();
        // no transaction of ours was left behind: the drop now goes through
        QCOMPARE(db_->query(QStringLiteral(
                     "SELECT COUNT(*) FROM MON$TRANSACTIONS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION")).at(0, 0).toLongLong(),
                 1);
        db_->exec(QStringLiteral("DROP TABLE W_DROP"));
        QCOMPARE(count(*db_, QStringLiteral("RDB$RELATIONS"), QStringLiteral("RDB$RELATION_NAME = 'W_DROP'")), 0);
    }

    void serverErrorsCarryTheirText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("fragment");
        QTest::addColumn<int>("sqlCode");
        QTest::newRow("duplicate key") << "INSERT INTO TX (ID) VALUES (6)"
                                       << "violation of PRIMARY or UNIQUE KEY constraint" << -803;
        QTest::newRow("unknown column") << "SELECT NINCS FROM TX" << "Column unknown" << -206;
        QTest::newRow("syntax") << "SELEKT * FROM TX" << "Token unknown" << -104;
        QTest::newRow("too long text") << "INSERT INTO TX (ID, NEV) VALUES (99, 'tizenegy betű')"
                                       << "string right truncation" << -802;
        QTest::newRow("transaction statement") << "COMMIT" << "A tranzakciókat a program kezeli" << 0;
    }

    void serverErrorsCarryTheirText()
    {
        QFETCH(QString, sql);
        QFETCH(QString, fragment);
        QFETCH(int, sqlCode);
        try {
            db_->exec(sql);
            QFAIL("no error");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(fragment), qPrintable(e.text()));
            QCOMPARE(e.sqlCode(), sqlCode);
            // One error base: the statement that failed travels with it.
            const vl::Error& base = e;
            QCOMPARE(base.kind(), vl::Error::Kind::Database);
            QCOMPARE(base.context(), sql);
        }
        QVERIFY(db_->isOpen());
        // a parameter too long for its column is refused as well, the row stays out
        QVERIFY_THROWS_EXCEPTION(DbError, db_->exec(QStringLiteral("INSERT INTO TX (ID, NEV) VALUES (98, :n)"),
                                                    P({{QStringLiteral("n"), QString(11, u'ő')}})));
        QCOMPARE(count(*db_, QStringLiteral("TX"), QStringLiteral("ID = 98")), 0);
    }

    void readOnlyTransactionRefusesWrites()
    {
        auto tx = db_->begin(TxMode::ReadOnly);
        QCOMPARE(tx->query(QStringLiteral("SELECT COUNT(*) FROM TX")).at(0, 0).toLongLong(), 1);
        try {
            tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (50)"));
            QFAIL("a read-only transaction wrote");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("read-only")), qPrintable(e.text()));
        }
    }

    void hungarianCollation()
    {
        db_->exec(QStringLiteral("CREATE TABLE SZO (NEV VARCHAR(20), KOD VARCHAR(1))"));
        auto tx = db_->begin();
        auto st = tx->prepare(QStringLiteral("INSERT INTO SZO (NEV, KOD) VALUES (:nev, :kod)"));
        const QStringList words = {QStringLiteral("őz"), QStringLiteral("csiga"), QStringLiteral("ökör"),
                                   QStringLiteral("cukor")};
        const QStringList codes = {QStringLiteral("I"), QStringLiteral("i"), QStringLiteral("N"), QStringLiteral("n")};
        for (int i = 0; i < words.size(); ++i) {
            st->bindAll(P({{QStringLiteral("nev"), words.at(i)}, {QStringLiteral("kod"), codes.at(i)}}));
            st->execute();
        }
        tx->commit();
        RowSet rs = db_->query(QStringLiteral("SELECT NEV FROM SZO ORDER BY NEV"));
        QStringList sorted;
        while (rs.next())
            sorted << rs.text(QStringLiteral("NEV"));
        QCOMPARE(sorted, QStringList({QStringLiteral("cukor"), QStringLiteral("csiga"), QStringLiteral("ökör"),
                                      QStringLiteral("őz")}));
        QCOMPARE(count(*db_, QStringLiteral("SZO"), QStringLiteral("KOD = 'i'")), 1);
        QCOMPARE(count(*db_, QStringLiteral("SZO"), QStringLiteral("KOD = :k"), P({{QStringLiteral("k"), QStringLiteral("I")}})), 1);
        QCOMPARE(count(*db_, QStringLiteral("SZO"), QStringLiteral("UPPER(NEV) = UPPER(:n)"),
                       P({{QStringLiteral("n"), QStringLiteral("ŐZ")}})), 1);
    }

    void twoProcessesShareTheEmbeddedFile()
    {
        db_->exec(QStringLiteral("CREATE TABLE PEER (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(20))"));
        db_->exec(QStringLiteral("INSERT INTO PEER (ID, NEV) VALUES (1, 'itt')"));
        auto held = db_->begin(); // our connection stays attached with a transaction open
        QCOMPARE(held->query(QStringLiteral("SELECT COUNT(*) FROM PEER")).at(0, 0).toLongLong(), 1);
        for (int id = 2; id <= 3; ++id) {
            QProcess peer;
            peer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/db_peer"),
                       {path_, QString::number(id), QStringLiteral("másik ő")});
            QVERIFY(peer.waitForFinished(60000));
            const QString out = QString::fromUtf8(peer.readAllStandardOutput()).trimmed();
            QVERIFY2(peer.exitCode() == 0, qPrintable(out));
            QCOMPARE(out, QStringLiteral("OK %1").arg(id));
        }
        // read committed: the open transaction sees the other process's rows
        const RowSet rs = held->query(QStringLiteral("SELECT NEV FROM PEER WHERE ID = 3"));
        QCOMPARE(rs.at(0, 0).toString(), QStringLiteral("másik ő"));
        held->commit();
    }

    void closingRollsBackOpenTransactions()
    {
        ConnectParams p;
        p.database = path_;
        auto other = vl::db::connect(p);
        auto tx = other->begin();
        tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (70)"));
        auto st = tx->prepare(QStringLiteral("INSERT INTO TX (ID) VALUES (:id)"));
        other->close();
        QVERIFY(!other->isOpen());
        QVERIFY(!tx->isActive());
        QCOMPARE(count(*db_, QStringLiteral("TX"), QStringLiteral("ID = 70")), 0);
        QVERIFY_THROWS_EXCEPTION(DbError, tx->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (71)")));
        st->bind(QStringLiteral("id"), 72);
        QVERIFY_THROWS_EXCEPTION(DbError, st->execute());
        QVERIFY_THROWS_EXCEPTION(DbError, other->begin());
        other.reset(); // the transaction and statement outlive their connection safely
        tx.reset();
        st.reset();
    }

    void lostConnectionIsReportedAsSuch()
    {
        ConnectParams p;
        p.database = path_;
        auto victim = vl::db::connect(p);
        const qint64 id = victim->query(QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE")).at(0, 0).toLongLong();
        // An error of the statement itself is not a lost connection.
        try {
            victim->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (NULL)"));
            QFAIL("NULL into a key column was accepted");
        } catch (const DbError& e) {
            QVERIFY(!e.isConnectionLost());
            QVERIFY(!e.isCancelled());
        }
        // The connection is shut down from outside (as a server that goes away would).
        db_->exec(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = :id"), {{QStringLiteral("id"), id}});
        try {
            victim->query(QStringLiteral("SELECT COUNT(*) FROM TX"));
            QFAIL("a statement ran on a connection that was shut down");
        } catch (const DbError& e) {
            QVERIFY2(e.isConnectionLost(), qPrintable(e.text()));
            QVERIFY2(e.text().startsWith(connectionLostText()), qPrintable(e.text()));
        }
        victim.reset();
    }

    // Another connection's write of the same row: a DbError of its own kind
    // (here the lock wait runs out), with the Hungarian first line.
    void writeConflictIsItsOwnKind()
    {
        db_->exec(QStringLiteral("INSERT INTO TX (ID, NEV) VALUES (9001, 'elso')"));
        ConnectParams p;
        p.database = path_;
        auto other = vl::db::connect(p);
        auto holder = other->begin();
        holder->exec(QStringLiteral("UPDATE TX SET NEV = 'foglal' WHERE ID = 9001"));
        auto tx = db_->begin();
        try {
            tx->exec(QStringLiteral("UPDATE TX SET NEV = 'masodik' WHERE ID = 9001"));
            QFAIL("a row held by another transaction was written");
        } catch (const DbError& e) {
            QVERIFY2(e.isWriteConflict(), qPrintable(e.text()));
            QVERIFY(!e.isConnectionLost());
            QVERIFY2(e.text().startsWith(lockConflictText() + QLatin1Char('\n')), qPrintable(e.text()));
        }
        tx->rollback();
        holder->rollback();
        other.reset();
        // An error of the statement itself is no conflict.
        try {
            db_->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (NULL)"));
        } catch (const DbError& e) {
            QVERIFY(!e.isWriteConflict());
        }
    }

    // refusingWriteConflict: a conflict becomes the rule's refusal, any other
    // error passes through as it was, a value comes back.
    void writeConflictBecomesTheRulesRefusal()
    {
        const QString text = QStringLiteral("Közben máshol módosították.");
        QString refused;
        try {
            vl::db::refusingWriteConflict(text, QStringLiteral("Teszt"), [] {
                throw DbError(lockConflictText() + QStringLiteral("\nlock time-out on wait transaction"), -901,
                              DbError::Kind::WriteConflict);
            });
        } catch (const vl::RuleRefusal& e) {
            refused = e.text();
        }
        QCOMPARE(refused, text);
        QString passed;
        try {
            vl::db::refusingWriteConflict(text, QStringLiteral("Teszt"),
                                          [&] { db_->exec(QStringLiteral("INSERT INTO TX (ID) VALUES (NULL)")); });
        } catch (const DbError& e) {
            passed = e.text();
        }
        QVERIFY(!passed.isEmpty() && passed != text);
        QCOMPARE(vl::db::refusingWriteConflict(text, QStringLiteral("Teszt"), [] { return 42; }), 42);
    }

    void connectFailureHasServerText()
    {
        ConnectParams p;
        p.database = dir_.filePath(QStringLiteral("nincs.fdb"));
        try {
            vl::db::connect(p);
            QFAIL("opened a missing file");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("nincs.fdb")), qPrintable(e.text()));
        }
        QFile junk(dir_.filePath(QStringLiteral("szemet.fdb")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(20000, 'x'));
        junk.close();
        p.database = junk.fileName();
        QVERIFY_THROWS_EXCEPTION(DbError, vl::db::connect(p));
    }

    void serverRoute()
    {
        const QString prefix = qEnvironmentVariable("VORLANDA_TEST_FBSERVER");
        if (prefix.isEmpty())
            QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER is not set)");
        ConnectParams p;
        p.database = prefix + qEnvironmentVariable("VORLANDA_TEST_FBDIR") + QStringLiteral("/szerver_%1.fdb")
                                  .arg(QCoreApplication::applicationPid());
        p.user = qEnvironmentVariable("VORLANDA_TEST_FBUSER");
        p.password = qEnvironmentVariable("VORLANDA_TEST_FBPASSWORD");
        {
            auto c = createFirebirdDatabase(p);
            c->exec(QStringLiteral("CREATE TABLE SZ (ID INTEGER NOT NULL PRIMARY KEY, NEV VARCHAR(20), N NUMERIC(15,2), M BLOB SUB_TYPE TEXT)"));
            auto tx = c->begin();
            auto st = tx->prepare(QStringLiteral("INSERT INTO SZ VALUES (:id, :nev, :n, :m)"));
            const QStringList words = {QStringLiteral("őz"), QStringLiteral("csiga"), QStringLiteral("ökör"), QStringLiteral("cukor")};
            for (int i = 0; i < words.size(); ++i) {
                st->bindAll(P({{QStringLiteral("id"), i}, {QStringLiteral("nev"), words.at(i)},
                               {QStringLiteral("n"), 99.99}, {QStringLiteral("m"), words.at(i).repeated(3)}}));
                st->execute();
            }
            tx->commit();
        }
        auto c = vl::db::connect(p);
        QCOMPARE(c->driverName(), QStringLiteral("INTRBASE"));
        RowSet rs = c->query(QStringLiteral("SELECT NEV, N, M FROM SZ ORDER BY NEV"));
        QCOMPARE(rs.rowCount(), 4);
        QCOMPARE(rs.at(0, 0).toString(), QStringLiteral("cukor"));
        QCOMPARE(rs.at(1, 0).toString(), QStringLiteral("csiga"));
        QCOMPARE(rs.at(3, 0).toString(), QStringLiteral("őz"));
        QVERIFY(rs.at(0, 1).toDouble() == 99.99);
        QCOMPARE(rs.at(3, 2).toString(), QStringLiteral("őzőzőz"));
        // the server's own words for a wrong password
        ConnectParams bad = p;
        bad.password = QStringLiteral("rossz-jelszo");
        try {
            vl::db::connect(bad);
            QFAIL("a wrong password was accepted");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("password")), qPrintable(e.text()));
        }
        c->close();
        QFile::remove(p.database.mid(prefix.size()));
    }
};

QTEST_GUILESS_MAIN(TstFirebird)
#include "tst_firebird.moc"
