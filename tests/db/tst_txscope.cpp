// The transaction scope: it joins a caller's transaction or owns one, and an
// owned one lands whole or not at all.
#include "db/TxScope.h"

#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

using namespace vl::db;

class TstTxScope : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<Connection> db_;

    qint64 rows() { return db_->query(QStringLiteral("SELECT COUNT(*) FROM T")).at(0, 0).toLongLong(); }

    // A rule that writes two rows in the scope it is given.
    void writeTwo(Transaction* outer, int first, bool failBetween)
    {
        TxScope tx(*db_, outer);
        tx->exec(QStringLiteral("INSERT INTO T (ID) VALUES (:id)"), {{QStringLiteral("id"), first}});
        if (failBetween) throw std::runtime_error("between two writes");
        tx->exec(QStringLiteral("INSERT INTO T (ID) VALUES (:id)"), {{QStringLiteral("id"), first + 1}});
        tx.commit();
    }

private slots:
    void initTestCase()
    {
        prepareEmbeddedEngine();
        ConnectParams p;
        p.database = dir_.filePath(QStringLiteral("tx.fdb"));
        db_ = createFirebirdDatabase(p);
        db_->exec(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY)"));
    }
    void init() { db_->exec(QStringLiteral("DELETE FROM T")); }

    void ownsAndCommits()
    {
        writeTwo(nullptr, 1, false);
        QCOMPARE(rows(), 2);
    }

    void ownedRollsBackOnException()
    {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, writeTwo(nullptr, 1, true));
        QCOMPARE(rows(), 0);
    }

    void joinsAndLeavesTheDecisionToTheCaller()
    {
        {
            auto outer = db_->begin();
            writeTwo(outer.get(), 1, false);
            writeTwo(outer.get(), 3, false);
            QVERIFY(outer->isActive());           // the joined scopes did not commit
            QCOMPARE(rows(), 0);                  // nothing visible outside yet
            // the caller drops it: nothing of either rule lands
        }
        QCOMPARE(rows(), 0);
        auto outer = db_->begin();
        writeTwo(outer.get(), 1, false);
        writeTwo(outer.get(), 3, false);
        outer->commit();
        QCOMPARE(rows(), 4);
    }

    void joinedFailureRollsBackTheWhole()
    {
        auto outer = db_->begin();
        try {
            writeTwo(outer.get(), 1, false);
            writeTwo(outer.get(), 3, true);
            outer->commit();
        } catch (const std::runtime_error&) {
            outer->rollback();
        }
        QCOMPARE(rows(), 0);
    }
};

QTEST_GUILESS_MAIN(TstTxScope)
#include "tst_txscope.moc"
