// The grid model over a row set.
#include "db/RowSetModel.h"

#include <QAbstractItemModelTester>
#include <QDate>
#include <QSignalSpy>
#include <QTest>

using namespace vl::db;

namespace {
RowSet sample()
{
    QList<Column> cols;
    cols.append(Column{QStringLiteral("NEV"), ColType::Text, 20, 0});
    cols.append(Column{QStringLiteral("OSSZEG"), ColType::Int64, 0, 0});
    cols.append(Column{QStringLiteral("AR"), ColType::Float, 0, -2});
    cols.append(Column{QStringLiteral("DATUM"), ColType::Date, 0, 0});
    cols.append(Column{QStringLiteral("AKTIV"), ColType::Boolean, 0, 0});
    std::vector<QVariantList> rows;
    rows.push_back({QStringLiteral("Őz Kft."), qint64(125000), 99.99, QDate(2026, 12, 9), true});
    rows.push_back({QVariant(), QVariant(), 2.5, QVariant(), false});
    return RowSet(cols, rows);
}
} // namespace

class TstRowSetModel : public QObject {
    Q_OBJECT
private slots:
    void showsTheRowsAsTheGridDisplaysThem()
    {
        RowSetModel m(sample());
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.columnCount(), 5);
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("NEV"));
        m.setCaption(QStringLiteral("nev"), QStringLiteral("Név"));
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Név"));
        QCOMPARE(m.headerData(1, Qt::Vertical).toInt(), 2);
        const QStringList first = {QStringLiteral("Őz Kft."), QStringLiteral("125000"), QStringLiteral("99.99"),
                                   QStringLiteral("2026.12.09"), QStringLiteral("Igen")};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(m.data(m.index(0, c)).toString(), first.at(c));
        QCOMPARE(m.data(m.index(1, 0)).toString(), QString());
        QVERIFY(m.data(m.index(1, 1), Qt::EditRole).isNull());
        QCOMPARE(m.data(m.index(0, 1), Qt::EditRole).toLongLong(), 125000);
        QCOMPARE(m.data(m.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::AlignRight);
        QCOMPARE(m.data(m.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft, Qt::AlignLeft);
    }

    void followsTheCurrentRow()
    {
        RowSetModel m;
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(m.currentRow(), -1);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        QSignalSpy moved(&m, &RowSetModel::currentRowChanged);
        m.setRowSet(sample());
        QCOMPARE(reset.count(), 1);
        QCOMPARE(m.currentRow(), 0);
        QCOMPARE(m.currentValue(QStringLiteral("nev")).toString(), QStringLiteral("Őz Kft."));
        m.setCurrentRow(1);
        QCOMPARE(moved.last().at(0).toInt(), 1);
        QVERIFY(m.currentValue(QStringLiteral("NEV")).isNull());
        m.setCurrentRow(99); // clamped to the last row, no signal when nothing moves
        QCOMPARE(m.currentRow(), 1);
        m.setRowSet(RowSet());
        QCOMPARE(m.currentRow(), -1);
        QCOMPARE(m.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TstRowSetModel)
#include "tst_rowsetmodel.moc"
