// What a hand scanner types from a cabin's label: the code as printed, the
// US-layout form on a Hungarian desk, hand-typed texts that are no scan, and
// the codes refused with their message.
#include "util/CabinScan.h"

#include <QtTest>

using namespace vl::util;

class TestCabinScan : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void labelText();
};

void TestCabinScan::read_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("scanned");
    QTest::addColumn<QString>("number");   // "" with a refusal
    const QString ok;
    QTest::newRow("as printed") << "VL:123" << true << "123";
    QTest::newRow("US layout: colon as É, 0 as ö") << QString::fromUtf8("VLÉ12ö") << true << "120";
    QTest::newRow("US layout, caps lock") << QString::fromUtf8("vlé1Ö0") << true << "100";
    QTest::newRow("blanks and a line end around") << " VL:7\r\n" << true << "7";
    QTest::newRow("leading zeros kept") << "VL:007" << true << "007";
    QTest::newRow("18 digits") << "VL:123456789012345678" << true << "123456789012345678";
    QTest::newRow("19 digits") << "VL:1234567890123456789" << true << "";
    QTest::newRow("nothing after VL:") << "VL:" << true << "";
    QTest::newRow("letter after the digits") << "VL:12a" << true << "";
    QTest::newRow("US layout, letter") << QString::fromUtf8("VLÉ12a") << true << "";
    QTest::newRow("no separator") << "VL123" << true << "";
    QTest::newRow("other separator") << "VL-123" << true << "";
    QTest::newRow("blank inside") << "VL:1 23" << true << "";
    QTest::newRow("only VL") << "VL" << true << "";
    QTest::newRow("hand-typed number") << "123" << false << "";
    QTest::newRow("other text") << "V123" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestCabinScan::read() {
    QFETCH(QString, typed);
    QFETCH(bool, scanned);
    QFETCH(QString, number);
    const CabinScan s = ReadCabinScan(typed);
    QCOMPARE(s.scanned, scanned);
    QCOMPARE(s.number, number);
    QCOMPARE(s.ok(), !number.isEmpty());
    if (scanned && number.isEmpty())
        QCOMPARE(s.refusal, QStringLiteral("A beolvasott kód nem kabinszám: ") + typed.trimmed() +
                                QStringLiteral("\rA kabin címkéjén \"VL:\" és a kabin száma áll (például VL:123)."));
    else
        QVERIFY(s.refusal.isEmpty());
}

// What a label encodes reads back as its number.
void TestCabinScan::labelText() {
    QCOMPARE(CabinLabelText(QStringLiteral(" 121 ")), QStringLiteral("VL:121"));
    QCOMPARE(ReadCabinScan(CabinLabelText(QStringLiteral("121"))).number, QStringLiteral("121"));
}

QTEST_GUILESS_MAIN(TestCabinScan)
#include "tst_cabinscan.moc"
