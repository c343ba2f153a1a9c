// Contract and row numbering, the start-up look-ups, embedded and on a server.
#include "RentalTestDb.h"

#include "rental/Numbering.h"
#include "util/Error.h"

#include <QSet>
#include <thread>

using namespace vl::rental;
using vl::rental::test::TestDb;

namespace {

void addActivity(vl::db::Transaction& tx, const QString& table, qint64 biz, qint64 tetel, qint64 sorszam,
                 const QString& datum, const QString& tevkod) {
    const qint64 n = Td::NextActivitySeq(tx, biz, 1, tetel, datum, table, sorszam);
    tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD) "
                           "VALUES (:b, 1, :t, :s, :d, :n, :k)").arg(table),
            {{QStringLiteral("b"), biz}, {QStringLiteral("t"), tetel}, {QStringLiteral("s"), sorszam},
             {QStringLiteral("d"), datum}, {QStringLiteral("n"), n}, {QStringLiteral("k"), tevkod}});
}

void addPayment(vl::db::Transaction& tx, const QString& table, qint64 biz, const QString& datum) {
    const qint64 n = Td::NextPaymentSeq(tx, biz, 1, datum, table);
    tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, TEVKOD) "
                           "VALUES (:b, 1, :d, :n, 'FIZ')").arg(table),
            {{QStringLiteral("b"), biz}, {QStringLiteral("d"), datum}, {QStringLiteral("n"), n}});
}

// The row numbering cases, run on any database with the schema.
void numberingCases(vl::db::Connection& conn, const QString& activityTable, const QString& paymentTable) {
    auto tx = conn.begin();
    const qint64 biz = Td::NewContractNo(*tx);
    QCOMPARE(Td::MaxLineNo(*tx, biz, 1), 0);
    for (int t = 1; t <= 2; ++t)
        tx->exec(QStringLiteral("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR) VALUES (:b, 1, :t)"),
                 {{QStringLiteral("b"), biz}, {QStringLiteral("t"), Td::MaxLineNo(*tx, biz, 1) + 1}});
    QCOMPARE(Td::MaxLineNo(*tx, biz, 1), 2);
    // Another contract's lines do not count.
    QCOMPARE(Td::MaxLineNo(*tx, biz + 1000, 1), 0);

    const QString day = QStringLiteral("2026.03.02");
    QCOMPARE(Td::NextActivitySeq(*tx, biz, 1, 1, day, activityTable, 1), 1);
    addActivity(*tx, activityTable, biz, 1, 1, day, QStringLiteral("KIH"));
    QCOMPARE(Td::NextActivitySeq(*tx, biz, 1, 1, day, activityTable, 1), 2);
    addActivity(*tx, activityTable, biz, 1, 1, day, QStringLiteral("KA"));  // any kind counts
    QCOMPARE(Td::NextActivitySeq(*tx, biz, 1, 1, day, activityTable, 1), 3);
    // Another item, line or day starts at 1 again.
    QCOMPARE(Td::NextActivitySeq(*tx, biz, 1, 1, day, activityTable, 2), 1);
    QCOMPARE(Td::NextActivitySeq(*tx, biz, 1, 2, day, activityTable, 1), 1);
    QCOMPARE(Td::NextActivitySeq(*tx, biz, 1, 1, QStringLiteral("2026.03.03"), activityTable, 1), 1);

    // Payments are numbered per date, not per contract.
    QCOMPARE(Td::NextPaymentSeq(*tx, biz, 1, day, paymentTable), 1);
    addPayment(*tx, paymentTable, biz, day);
    addPayment(*tx, paymentTable, biz, QStringLiteral("2026.04.01"));
    QCOMPARE(Td::NextPaymentSeq(*tx, biz, 1, day, paymentTable), 2);
    QCOMPARE(Td::NextPaymentSeq(*tx, biz, 1, QStringLiteral("2026.04.01"), paymentTable), 2);
    QCOMPARE(Td::NextPaymentSeq(*tx, biz, 1, QStringLiteral("2026.05.01"), paymentTable), 1);
    tx->commit();
}

void distinctAscending(vl::db::Connection& a, vl::db::Connection& b) {
    // Two connections take numbers at the same time, in open transactions,
    // even within one second: every number is new and each is higher than
    // the one taken before it on the same connection.
    auto ta = a.begin();
    auto tb = b.begin();
    QList<qint64> na, nb;
    QSet<qint64> all;
    for (int i = 0; i < 25; ++i) {
        na << Td::NewContractNo(*ta, QStringLiteral("2026.01.01"), QStringLiteral("12:00:00"));
        nb << Td::NewContractNo(*tb, QStringLiteral("2026.01.01"), QStringLiteral("12:00:00"));
        all.insert(na.last());
        all.insert(nb.last());
    }
    ta->commit();
    tb->commit();
    QCOMPARE(all.size(), 50);
    for (int i = 1; i < na.size(); ++i) QVERIFY(na[i] > na[i - 1]);
    for (int i = 1; i < nb.size(); ++i) QVERIFY(nb[i] > nb[i - 1]);
    // Each header row holds its own number, found by the number alone.
    auto rs = a.query(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT BIZONYLAT) FROM FORGFEJ "
                                     "WHERE TRANZDATE = '2026.01.01' AND TRANZTIME = '12:00:00'"));
    QCOMPARE(rs.at(0, 0).toLongLong(), 50);
    QCOMPARE(rs.at(0, 1).toLongLong(), 50);
}

// Two threads, each with a connection of its own, store headers as fast as they
// can, each number in a transaction of its own: no number is given twice.
void twoWriters(const vl::db::ConnectParams& params) {
    QList<qint64> got[2];
    QString failure[2];
    auto work = [&](int w) {
        try {
            auto c = vl::db::connect(params);
            for (int i = 0; i < 40; ++i) {
                auto tx = c->begin();
                got[w] << Td::NewContractNo(*tx);
                tx->commit();
            }
            c->close();
        } catch (const vl::db::DbError& e) {
            failure[w] = e.text();
        }
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    QVERIFY2(failure[0].isEmpty(), qPrintable(failure[0]));
    QVERIFY2(failure[1].isEmpty(), qPrintable(failure[1]));
    QSet<qint64> all;
    for (const auto& l : got)
        for (qint64 n : l) all.insert(n);
    QCOMPARE(all.size(), 80);
}

} // namespace

class TestNumbering : public QObject {
    Q_OBJECT
    TestDb db;

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        db.create();
        // A work copy of the activity and payment tables, as the contract form makes them.
        db.conn->exec(QStringLiteral(
            "CREATE TABLE TMP_TEVT_20260101 (BIZONYLAT INTEGER NOT NULL, VERZIO INTEGER NOT NULL, "
            "TETELSOR INTEGER NOT NULL, SORSZAM INTEGER NOT NULL, DATUM VARCHAR(10) NOT NULL, "
            "TEVSORSZAM INTEGER NOT NULL, TEVKOD VARCHAR(10), "
            "PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM))"));
        db.conn->exec(QStringLiteral(
            "CREATE TABLE TMP_FIZT_20260101 (BIZONYLAT INTEGER NOT NULL, VERZIO INTEGER NOT NULL, "
            "DATUM VARCHAR(10) NOT NULL, TEVSORSZAM INTEGER NOT NULL, TEVKOD VARCHAR(10), "
            "PRIMARY KEY (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM))"));
    }

    void rowNumbers() { numberingCases(*db.conn, QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ")); }
    void rowNumbersInWorkCopies() {
        numberingCases(*db.conn, QStringLiteral("TMP_TEVT_20260101"), QStringLiteral("TMP_FIZT_20260101"));
    }

    void tableNameChecked_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("splice attempt") << "FORGTEV WHERE 1=1 --";
        QTest::newRow("other table") << "UGYFEL";
        QTest::newRow("lower-case work table") << "tmp_tev";
        QTest::newRow("too long") << "TMP_ABCDEFGHIJKLMNOPQRSTUVWXYZ01";
        QTest::newRow("quote") << "TMP_X'Y";
        QTest::newRow("empty") << "";
    }
    void tableNameChecked() {
        QFETCH(QString, name);
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, Td::NextActivitySeq(*tx, 1, 1, 1, "2026.01.01", name, 1));
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, Td::NextPaymentSeq(*tx, 1, 1, "2026.01.01", name));
    }

    void newContractNumbers() {
        auto c2 = vl::db::connect(vl::rental::test::embeddedParams(db.path));
        distinctAscending(*db.conn, *c2);
        c2->close();
        twoWriters(vl::rental::test::embeddedParams(db.path));
    }

    // The number belongs to the transaction's row: rolled back, nothing stays;
    // the next number is still a new one.
    void newContractNoRolledBack() {
        qint64 first = 0;
        {
            auto tx = db.conn->begin();
            first = Td::NewContractNo(*tx);
        }
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE BIZONYLAT = :b"),
                          {{QStringLiteral("b"), first}}), 0);
        auto tx = db.conn->begin();
        const qint64 second = Td::NewContractNo(*tx);
        tx->commit();
        QVERIFY(second > first);
        const auto rs = db.conn->query(QStringLiteral("SELECT VERZIO, AKTIV, TRANZDATE FROM FORGFEJ WHERE BIZONYLAT = :b"),
                                       {{QStringLiteral("b"), second}});
        QCOMPARE(rs.rowCount(), 1);
        QCOMPARE(rs.at(0, 0).toLongLong(), 1);
        QVERIFY(rs.at(0, 1).isNull());
        QCOMPARE(rs.at(0, 2).toString(), QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd")));
    }

    void statusCodes() {
        auto tx = db.conn->begin();
        TdValues v = Td::LoadStatusCodes(*tx);
        QCOMPARE(v.StatusCodeI, QStringLiteral("T"));
        QCOMPARE(v.StatusCodeN, QStringLiteral("E"));
        QCOMPARE(v.StatusCodeX, QStringLiteral("X"));
        QCOMPARE(v.StatusCodeLowI, QStringLiteral("L"));
        QCOMPARE(v.StatusCodeLowN, QStringLiteral("A"));
        QCOMPARE(Td::values().StatusCodeLowN, QStringLiteral("A"));

        // Without a row of class "n" the closed code is the deleted one.
        tx->exec(QStringLiteral("UPDATE SZ_STATUST SET MODOSITHATO = 'Q' WHERE MODOSITHATO = 'n'"));
        v = Td::LoadStatusCodes(*tx);
        QCOMPARE(v.StatusCodeLowN, QStringLiteral("X"));
        QCOMPARE(v.StatusCodeI, QStringLiteral("T"));

        // Several rows of a class: the last by name wins; classes are case-sensitive; codes are trimmed.
        tx->exec(QStringLiteral("INSERT INTO SZ_STATUST (KOD, NEV, MODOSITHATO) VALUES ('Z ', 'Zárolt', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_STATUST (KOD, NEV, MODOSITHATO) VALUES ('ZZ', 'Ááá', 'I')"));
        v = Td::LoadStatusCodes(*tx);
        QCOMPARE(v.StatusCodeI, QStringLiteral("Z"));
        QCOMPARE(v.StatusCodeLowI, QStringLiteral("L"));
        tx->rollback();
    }

    void vatFactor_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<double>("factor");
        QTest::newRow("seeded 27 %") << "" << 1.27;
        QTest::newRow("highest standard wins") << "INSERT INTO SZ_ADO (KOD, ERTEK, STANDARD) VALUES ('30', 0.3, 'I')"
                                               << 1.3;
        QTest::newRow("non-standard ignored") << "INSERT INTO SZ_ADO (KOD, ERTEK, STANDARD) VALUES ('50', 0.5, 'N')"
                                              << 1.27;
        QTest::newRow("no standard rate") << "UPDATE SZ_ADO SET STANDARD = 'N'" << 1.0;
    }
    void vatFactor() {
        QFETCH(QString, setup);
        QFETCH(double, factor);
        auto tx = db.conn->begin();
        if (!setup.isEmpty()) tx->exec(setup);
        QCOMPARE(Td::DefaultVatFactor(*tx), factor);
        tx->rollback();
    }

    void startupValues() {
        Td::values() = TdValues{};
        Td::LoadStartupValues(*db.conn);
        QCOMPARE(Td::values().VatFactor, 1.27);
        QCOMPARE(Td::values().StatusCodeN, QStringLiteral("E"));
    }

    // The same against a Firebird server, two connections at once.
    void serverRoute() {
        if (!vl::rental::test::serverConfigured())
            QSKIP("VORLANDA_TEST_FBSERVER / VORLANDA_TEST_FBDIR not set: no Firebird server for this run");
        const QString name = QStringLiteral("rental_num_%1.fdb").arg(QCoreApplication::applicationPid());
        const auto params = vl::rental::test::serverParams(name);
        auto a = vl::db::createFirebirdDatabase(params);
        struct Drop {
            QString file;
            ~Drop() { QFile::remove(file); }
        } drop{qEnvironmentVariable("VORLANDA_TEST_FBDIR") + QLatin1Char('/') + name};
        Schema::upgrade(*a);
        TestDb::applySeeds(*a);
        auto b = vl::db::connect(params);
        numberingCases(*a, QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ"));
        distinctAscending(*a, *b);
        twoWriters(params);
        {
            auto tx = a->begin();
            QCOMPARE(Td::DefaultVatFactor(*tx), 1.27);
            QCOMPARE(Td::LoadStatusCodes(*tx).StatusCodeLowN, QStringLiteral("A"));
            tx->commit();
        }
        b->close();
        a->close();
    }
};

QTEST_GUILESS_MAIN(TestNumbering)
#include "tst_numbering.moc"
