#include "util/IdNumbers.h"
#include "util/Numbers.h"

#include <QtTest>

using namespace vl::util;

class TestIdNumbers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); }
    void taxIdValid_data();
    void taxIdValid();
    void tajValid_data();
    void tajValid();
};

void TestIdNumbers::taxIdValid_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("valid") << "8123456786" << true;
    QTest::newRow("valid, check 3") << "8412345673" << true;
    QTest::newRow("valid, check 0") << "8123456700" << true;
    QTest::newRow("valid, trimmed") << " 8111111118 " << true;
    QTest::newRow("all zeros") << "0000000000" << true;
    QTest::newRow("wrong check digit") << "8123456787" << false;
    // 8*1+7*2+6*3+5*4+4*5+3*6+2*7+1*8+0*9 = 120, 120 mod 11 = 10: no digit fits.
    QTest::newRow("weighted sum 10, check 0") << "8765432100" << false;
    QTest::newRow("weighted sum 10, check 1") << "8765432101" << false;
    QTest::newRow("weighted sum 10, check 9") << "8765432109" << false;
    QTest::newRow("9 digits") << "812345678" << false;
    QTest::newRow("11 digits") << "81234567860" << false;
    QTest::newRow("decimal comma") << "812345,786" << false;
    QTest::newRow("inner blank") << "8123 56786" << false;
    QTest::newRow("minus") << "-812345678" << false;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("812345678٦") << false;
    QTest::newRow("empty") << "" << false;
}

void TestIdNumbers::taxIdValid() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(TaxIdValid(text), expected);
}

void TestIdNumbers::tajValid_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("valid") << "123456788" << true;
    QTest::newRow("valid, check 2") << "987654322" << true;
    QTest::newRow("valid, sum ends in 0") << "111111110" << true;
    QTest::newRow("valid, weights 3 and 7") << "030303034" << true;
    QTest::newRow("valid, trimmed") << " 123456788 " << true;
    QTest::newRow("all zeros") << "000000000" << true;
    QTest::newRow("wrong check digit") << "123456789" << false;
    QTest::newRow("swapped weights") << "303030304" << false;
    QTest::newRow("8 digits") << "12345678" << false;
    QTest::newRow("10 digits") << "1234567888" << false;
    QTest::newRow("decimal comma") << "1234,6788" << false;
    QTest::newRow("letter") << "12345678A" << false;
    QTest::newRow("minus") << "-23456788" << false;
    QTest::newRow("empty") << "" << false;
}

void TestIdNumbers::tajValid() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(TajValid(text), expected);
}

QTEST_GUILESS_MAIN(TestIdNumbers)
#include "tst_idnumbers.moc"
