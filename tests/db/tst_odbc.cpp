// The ODBC route of the access layer, on an SQLite ODBC data source.
#include "db/Backends.h"
#include "db/Database.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vl::db;

namespace {
Params P(std::initializer_list<std::pair<QString, QVariant>> l) { return Params(l); }
}

class TstOdbc : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::unique_ptr<Connection> db_;

    qint64 count(const QString& where = QStringLiteral("1 = 1"))
    {
        return db_->query(QStringLiteral("SELECT COUNT(*) AS N FROM UGYFEL WHERE ") + where).at(0, 0).toLongLong();
    }

private slots:
    void initTestCase()
    {
        QString driver;
        for (const char* cand : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so"})
            if (QFile::exists(QString::fromLatin1(cand)))
                driver = QString::fromLatin1(cand);
        if (driver.isEmpty())
            QSKIP("the SQLite ODBC driver (libsqliteodbc) is not installed");
        QVERIFY(dir_.isValid());
        QFile inst(dir_.filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(inst.open(QIODevice::WriteOnly));
        inst.write(QStringLiteral("[SQLite3]\nDescription=SQLite3\nDriver=%1\n").arg(driver).toUtf8());
        inst.close();
        QFile ini(dir_.filePath(QStringLiteral("odbc.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[vorlanda_teszt]\nDriver=SQLite3\nDatabase=%1\n")
                      .arg(dir_.filePath(QStringLiteral("teszt.sqlite"))).toUtf8());
        ini.close();
        qputenv("ODBCSYSINI", QFile::encodeName(dir_.path()));
        qputenv("ODBCINI", QFile::encodeName(dir_.filePath(QStringLiteral("odbc.ini"))));

        ConnectParams p;
        p.driver = QStringLiteral("ODBC");
        p.database = QStringLiteral("vorlanda_teszt");
        db_ = vl::db::connect(p);
        QVERIFY(db_->isOpen());
        db_->exec(QStringLiteral("CREATE TABLE UGYFEL (KOD INTEGER PRIMARY KEY, NEV VARCHAR(40), OSSZEG BIGINT, AR DOUBLE)"));
    }

    void cleanupTestCase() { db_.reset(); }

    void driverNameIsTheReportedDbms()
    {
        QCOMPARE(db_->driverName(), QStringLiteral("SQLITE"));
        QCOMPARE(db_->databaseName(), QStringLiteral("vorlanda_teszt"));
    }

    void driverNameMapping_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("name");
        QTest::newRow("sql server") << "Microsoft SQL Server" << "SQL SERVER";
        QTest::newRow("sqlite") << "SQLite" << "SQLITE";
        QTest::newRow("nothing") << "" << "ODBC";
        QTest::newRow("blanks") << " PostgreSQL " << "POSTGRESQL";
    }

    void driverNameMapping()
    {
        QFETCH(QString, reported);
        QFETCH(QString, name);
        QCOMPARE(vl::db::detail::odbcDriverName(reported), name);
    }

    void bindsAndFetchesByName()
    {
        const QString nev = QStringLiteral("Kovács 'Ödön' őz: űr");
        QCOMPARE(db_->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, OSSZEG, AR) VALUES (:kod, :nev, :osszeg, :ar)"),
                           P({{QStringLiteral("KOD"), 1}, {QStringLiteral("nev"), nev},
                              {QStringLiteral("osszeg"), qint64(9007199254740993LL)}, {QStringLiteral("ar"), 99.99}})),
                 1);
        db_->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, OSSZEG, AR) VALUES (:kod, :nev, :osszeg, :ar)"),
                  P({{QStringLiteral("kod"), 2}, {QStringLiteral("nev"), QVariant()},
                     {QStringLiteral("osszeg"), QVariant(QMetaType::fromType<qint64>())}, {QStringLiteral("ar"), QVariant()}}));
        RowSet rs = db_->query(QStringLiteral("SELECT KOD, NEV, OSSZEG, AR, ':x' AS LIT FROM UGYFEL "
                                              "WHERE KOD = :k OR NEV = :n OR KOD = :K + 1 ORDER BY KOD"),
                               P({{QStringLiteral("k"), 1}, {QStringLiteral("n"), nev}}));
        QCOMPARE(rs.rowCount(), 2);
        QVERIFY(rs.next());
        QCOMPARE(rs.value(QStringLiteral("KOD")).typeId(), int(QMetaType::LongLong));
        QCOMPARE(rs.integer(QStringLiteral("kod")), 1);
        QCOMPARE(rs.text(QStringLiteral("NEV")), nev);
        QCOMPARE(rs.integer(QStringLiteral("OSSZEG")), 9007199254740993LL);
        QVERIFY(rs.number(QStringLiteral("AR")) == 99.99);
        QCOMPARE(rs.text(QStringLiteral("LIT")), QStringLiteral(":x"));
        QVERIFY(rs.next());
        QVERIFY(rs.isNull(QStringLiteral("NEV")));
        QVERIFY(rs.isNull(QStringLiteral("OSSZEG")));
        QCOMPARE(rs.value(QStringLiteral("NEV")).typeId(), int(QMetaType::UnknownType));
        QVERIFY(!rs.next());
        QCOMPARE(int(rs.columns().at(0).type), int(ColType::Int32));
        QCOMPARE(int(rs.columns().at(3).type), int(ColType::Float));
    }

    void transactionsLandWholeOrNotAtAll()
    {
        const qint64 before = count();
        {
            auto tx = db_->begin();
            auto st = tx->prepare(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV) VALUES (:kod, :nev)"));
            QCOMPARE(st->parameterNames(), QStringList({QStringLiteral("kod"), QStringLiteral("nev")}));
            for (int i = 10; i < 20; ++i) {
                st->bindAll(P({{QStringLiteral("kod"), i}, {QStringLiteral("nev"), QStringLiteral("n%1").arg(i)}}));
                QCOMPARE(st->execute(), 1);
            }
            // only one transaction at a time on an ODBC connection
            QVERIFY_THROWS_EXCEPTION(DbError, db_->begin());
        } // rolled back
        QCOMPARE(count(), before);
        {
            auto tx = db_->begin();
            tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV) VALUES (30, 'harminc')"));
            tx->commit();
            QVERIFY(!tx->isActive());
        }
        QCOMPARE(count(), before + 1);
    }

    void errorsCarryTheDriverText()
    {
        try {
            db_->query(QStringLiteral("SELECT * FROM NINCSILYEN"));
            QFAIL("no error");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("NINCSILYEN"), Qt::CaseInsensitive), qPrintable(e.text()));
        }
        try {
            db_->exec(QStringLiteral("INSERT INTO UGYFEL (KOD) VALUES (1)"));
            QFAIL("no error");
        } catch (const DbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive), qPrintable(e.text()));
        }
        // the connection still works after an error
        QCOMPARE(count(QStringLiteral("KOD = 1")), 1);
    }

    void closedConnectionRefuses()
    {
        ConnectParams p;
        p.driver = QStringLiteral("odbc");
        p.database = QStringLiteral("vorlanda_teszt");
        auto c = vl::db::connect(p);
        auto tx = c->begin();
        tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD) VALUES (40)"));
        c->close();
        QVERIFY(!c->isOpen());
        QVERIFY(!tx->isActive());
        QVERIFY_THROWS_EXCEPTION(DbError, c->begin());
        QCOMPARE(count(QStringLiteral("KOD = 40")), 0);
    }

    void missingSourceFails()
    {
        ConnectParams p;
        p.driver = QStringLiteral("ODBC");
        p.database = QStringLiteral("nincs_ilyen_forras");
        QVERIFY_THROWS_EXCEPTION(DbError, vl::db::connect(p));
    }
};

QTEST_GUILESS_MAIN(TstOdbc)
#include "tst_odbc.moc"
