// The grid model over a row set, and the one display rule of its cells.
#include "db/DisplayText.h"
#include "db/RowSetModel.h"

#include <QAbstractItemModelTester>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace vl::db;

Q_DECLARE_METATYPE(vl::db::Column)

namespace {
RowSet sample()
{
    QList<Column> cols;
    cols.append(Column{QStringLiteral("NEV"), ColType::Text, 20, 0});
    cols.append(Column{QStringLiteral("OSSZEG"), ColType::Int64, 0, 0});
    cols.append(Column{QStringLiteral("AR"), ColType::Float, 0, -2});   // NUMERIC(15,2) as the layer reports it
    cols.append(Column{QStringLiteral("DATUM"), ColType::Date, 0, 0});
    cols.append(Column{QStringLiteral("AKTIV"), ColType::Boolean, 0, 0});
    cols.append(Column{QStringLiteral("SULY"), ColType::Float, 0, 0});
    std::vector<QVariantList> rows;
    rows.push_back({QStringLiteral("Őz Kft."), qint64(125000), 99.9, QDate(2026, 12, 9), true, 1234567.5});
    rows.push_back({QVariant(), QVariant(), 2.5, QVariant(), false, 0.25});
    return RowSet(cols, rows);
}

Column column(ColType type, int scale = 0) { return Column{QStringLiteral("X"), type, 0, scale}; }
} // namespace

class TstRowSetModel : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // How every grid, the editor's panel and its change log show a value.
    void displayText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<Column>("col");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("letters");
        QTest::addColumn<QString>("shown");
        const Column text = column(ColType::Text), i64 = column(ColType::Int64), i16 = column(ColType::Int16);
        // The layer reports NUMERIC(15,2) as a float of scale -2; an ODBC source may call it an integer type.
        const Column num2 = column(ColType::Float, -2), num4 = column(ColType::Int32, -4), flt = column(ColType::Float);
        const Column boolean = column(ColType::Boolean), date = column(ColType::Date), none = column(ColType::Unknown);
        QTest::newRow("null") << "hu" << QVariant() << i64 << "" << false << "";
        QTest::newRow("text") << "hu" << QVariant(QStringLiteral("Őz Kft.")) << text << "" << false << "Őz Kft.";
        QTest::newRow("bool true") << "hu" << QVariant(true) << boolean << "" << false << "Igen";
        QTest::newRow("bool false") << "hu" << QVariant(false) << boolean << "" << false << "Nem";
        QTest::newRow("bool letter") << "hu" << QVariant(true) << boolean << "" << true << "T";
        QTest::newRow("bool letter false") << "hu" << QVariant(false) << boolean << "" << true << "F";
        QTest::newRow("integer, no grouping") << "hu" << QVariant(qint64(1250000)) << i64 << "" << false << "1250000";
        QTest::newRow("negative small integer") << "hu" << QVariant(qint64(-12)) << i16 << "" << false << "-12";
        QTest::newRow("scaled numeric") << "hu" << QVariant(99.9) << num2 << "" << false << "99,90";
        QTest::newRow("scaled numeric C") << "c" << QVariant(99.9) << num2 << "" << false << "99,90"; // whatever the locale
        QTest::newRow("scaled negative") << "hu" << QVariant(-0.5) << num4 << "" << false << "-0,5000";
        QTest::newRow("scaled whole") << "hu" << QVariant(7.0) << num2 << "" << false << "7,00";
        QTest::newRow("float general") << "hu" << QVariant(2.5) << flt << "" << false << "2,5";
        QTest::newRow("float general C") << "c" << QVariant(2.5) << flt << "" << false << "2,5";
        QTest::newRow("float whole") << "hu" << QVariant(3.0) << flt << "" << false << "3";
        QTest::newRow("float not 0.1+0.2 noise") << "hu" << QVariant(0.1 + 0.2) << flt << "" << false << "0,3";
        QTest::newRow("float by mask") << "hu" << QVariant(1234567.5) << flt << "#,##0.00" << false << "1 234 567,50";
        QTest::newRow("float by mask C") << "c" << QVariant(1234567.5) << flt << "#,##0.00" << false << "1 234 567,50";
        QTest::newRow("negative by mask") << "hu" << QVariant(-1234.0) << flt << "#,##0.00" << false << "-1 234,00";
        QTest::newRow("mask without grouping") << "hu" << QVariant(2.345) << flt << "0.0" << false << "2,3";
        QTest::newRow("whole number in a masked float") << "hu" << QVariant(qint64(5)) << flt << "0.00" << false << "5,00";
        QTest::newRow("mask over scale") << "hu" << QVariant(99.9) << num2 << "#,##0" << false << "100";
        QTest::newRow("date") << "hu" << QVariant(QDate(2026, 12, 9)) << date << "" << false << "2026.12.09";
        QTest::newRow("time stamp") << "hu" << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))) << none << "" << false
                                    << "2026.01.02 03:04:05";
        QTest::newRow("bytes") << "hu" << QVariant(QByteArray("\x01\x02", 2)) << none << "" << false << "(bináris)";
        QTest::newRow("double without column") << "hu" << QVariant(0.25) << none << "" << false << "0,25";
    }
    void displayText()
    {
        QFETCH(QString, locale);
        QFETCH(QVariant, value);
        QFETCH(Column, col);
        QFETCH(QString, mask);
        QFETCH(bool, letters);
        QFETCH(QString, shown);
        QLocale::setDefault(locale == QStringLiteral("c") ? QLocale::c() : QLocale(QLocale::Hungarian, QLocale::Hungary));
        DisplayFormat f = DisplayFormat::of(col, mask);
        f.boolLetters = letters;
        QCOMPARE(vl::db::displayText(value, f), shown);
    }

    void showsTheRowsAsTheGridDisplaysThem()
    {
        RowSetModel m(sample());
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.columnCount(), 6);
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("NEV"));
        m.setCaption(QStringLiteral("nev"), QStringLiteral("Név"));
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Név"));
        QCOMPARE(m.gridColumns().at(0).title, QStringLiteral("Név"));
        QCOMPARE(m.headerData(1, Qt::Vertical).toInt(), 2);
        const QStringList first = {QStringLiteral("Őz Kft."), QStringLiteral("125000"), QStringLiteral("99,90"),
                                   QStringLiteral("2026.12.09"), QStringLiteral("Igen"), QStringLiteral("1234567,5")};
        for (int c = 0; c < first.size(); ++c)
            QCOMPARE(m.data(m.index(0, c)).toString(), first.at(c));
        QCOMPARE(m.data(m.index(1, 0)).toString(), QString());
        QCOMPARE(m.data(m.index(1, 2)).toString(), QStringLiteral("2,50"));
        QVERIFY(m.data(m.index(1, 1), Qt::EditRole).isNull());
        QCOMPARE(m.data(m.index(0, 1), Qt::EditRole).toLongLong(), 125000);
        QCOMPARE(m.data(m.index(0, 2), Qt::EditRole).toDouble(), 99.9);
        for (int c : {1, 2, 5})
            QCOMPARE(m.data(m.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::AlignRight);
        for (int c : {0, 3, 4})
            QCOMPARE(m.data(m.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft, Qt::AlignLeft);
    }

    // A grid that chooses its columns (the generic editor): their order, titles
    // and a float's mask; a named column the rows lack shows empty.
    void showsTheChosenColumns()
    {
        RowSetModel m;
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        m.setRowSet(sample(), {{QStringLiteral("SULY"), QStringLiteral("Súly"), QStringLiteral("#,##0.00")},
                               {QStringLiteral("nev"), QStringLiteral("Név"), QString()},
                               {QStringLiteral("NINCS"), QStringLiteral("Nincs"), QString()}});
        QCOMPARE(reset.count(), 1);
        QCOMPARE(m.columnCount(), 3);
        QCOMPARE(m.gridColumns().at(1).field, QStringLiteral("nev"));
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Súly"));
        QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Név"));
        QCOMPARE(m.data(m.index(0, 0)).toString(), QStringLiteral("1 234 567,50"));
        QCOMPARE(m.data(m.index(1, 0)).toString(), QStringLiteral("0,25"));
        QCOMPARE(m.data(m.index(0, 1)).toString(), QStringLiteral("Őz Kft."));
        QCOMPARE(m.data(m.index(0, 2)).toString(), QString());
        // A new row set keeps the chosen columns; an empty choice shows every column again.
        m.setRowSet(sample());
        QCOMPARE(m.columnCount(), 3);
        m.setColumns({});
        QCOMPARE(m.columnCount(), 6);
        QCOMPARE(m.headerData(5, Qt::Horizontal).toString(), QStringLiteral("SULY"));
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
