#include "util/ConversionError.h"
#include "util/Numbers.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace vl::util;

// Rows name the locale whose decimal separator is in force: "hu" (",") or "c" (".").
static void useLocale(const QString& name) {
    QLocale::setDefault(name == QStringLiteral("hu") ? QLocale(QLocale::Hungarian, QLocale::Hungary)
                                                     : QLocale::c());
}

class TestNumbers : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::system()); }
    void separatorReadAtCallTime();
    void roundHalfAway_data();
    void roundHalfAway();
    void roundHalfAwayRejects_data();
    void roundHalfAwayRejects();
    void roundDecimals_data();
    void roundDecimals();
    void isNumeric_data();
    void isNumeric();
    void strToIntFlag_data();
    void strToIntFlag();
    void cleanNumberText_data();
    void cleanNumberText();
    void textToFloat_data();
    void textToFloat();
    void floatToText_data();
    void floatToText();
    void intOrBlankAndMaxOf();
    void varToText_data();
    void varToText();
};

void TestNumbers::separatorReadAtCallTime() {
    useLocale("hu");
    QCOMPARE(DecimalSeparator(), QChar(u','));
    QCOMPARE(TextToFloat(QStringLiteral("2,5")), 2.5);
    useLocale("c");
    QCOMPARE(DecimalSeparator(), QChar(u'.'));
    // A comma is a decimal separator on a workstation that writes a point, too.
    QCOMPARE(TextToFloat(QStringLiteral("2,5")), 2.5);
    QCOMPARE(CleanNumberText(QStringLiteral("2,5")), QStringLiteral("2.5"));
}

void TestNumbers::roundHalfAway_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("half up") << 2.5 << qint64(3);
    QTest::newRow("negative half away") << -2.5 << qint64(-3);
    QTest::newRow("below half") << 2.49 << qint64(2);
    QTest::newRow("negative below half") << -2.49 << qint64(-2);
    QTest::newRow("minus half") << -0.5 << qint64(-1);
    QTest::newRow("small negative") << -0.49 << qint64(0);
    QTest::newRow("zero") << 0.0 << qint64(0);
    QTest::newRow("single precision makes it half") << 0.49999999 << qint64(1);
    QTest::newRow("beyond single precision of half") << 0.4999999 << qint64(0);
    QTest::newRow("gross of 127") << 127 * 1.27 << qint64(161);
    QTest::newRow("gross of 1000") << 1000 * 1.27 << qint64(1270);
    QTest::newRow("large half") << 100000000000000.5 << qint64(100000000000001);
    QTest::newRow("largest whole") << 999999999999999.0 << qint64(999999999999999);
    QTest::newRow("largest negative") << -999999999999999.0 << qint64(-999999999999999);
}

void TestNumbers::roundHalfAway() {
    QFETCH(double, x);
    QFETCH(qint64, expected);
    QCOMPARE(RoundHalfAway(x), expected);
}

void TestNumbers::roundHalfAwayRejects_data() {
    QTest::addColumn<double>("x");
    QTest::newRow("1E15") << 1e15;
    QTest::newRow("-1E15") << -1e15;
    QTest::newRow("rounds up to 1E15") << 999999999999999.5;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
}

void TestNumbers::roundHalfAwayRejects() {
    QFETCH(double, x);
    QVERIFY_THROWS_EXCEPTION(ConversionError, RoundHalfAway(x));
}

void TestNumbers::roundDecimals_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("1.005 to 2 places") << 2 << 1.005 << 1.01;
    QTest::newRow("1.004 to 2 places") << 2 << 1.004 << 1.0;
    QTest::newRow("no places") << 0 << 2.5 << 3.0;
    QTest::newRow("negative half") << 1 << -0.25 << -0.3;
    QTest::newRow("five places") << 5 << 0.123456 << 0.12346;
}

void TestNumbers::roundDecimals() {
    QFETCH(int, n);
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(RoundDecimals(n, x), expected);
}

void TestNumbers::isNumeric_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("integerOnly");
    QTest::addColumn<bool>("expected");
    QTest::newRow("integer") << "hu" << "42" << true << true;
    QTest::newRow("negative trimmed") << "hu" << " -42 " << true << true;
    QTest::newRow("lone minus") << "hu" << "-" << true << false;
    QTest::newRow("lone minus, decimals") << "hu" << "-" << false << false;
    QTest::newRow("empty") << "hu" << "" << true << false;
    QTest::newRow("blank") << "hu" << "   " << false << false;
    QTest::newRow("comma, integer only") << "hu" << "4,2" << true << false;
    QTest::newRow("comma, decimals") << "hu" << "4,2" << false << true;
    QTest::newRow("point on Hungarian") << "hu" << "4.2" << false << false;
    QTest::newRow("point on C") << "c" << "4.2" << false << true;
    QTest::newRow("comma on C") << "c" << "4,2" << false << false;
    QTest::newRow("two separators") << "hu" << "1,2,3" << false << false;
    QTest::newRow("lone separator") << "hu" << "," << false << false;
    QTest::newRow("leading separator") << "hu" << ",5" << false << true;
    QTest::newRow("trailing separator") << "hu" << "-5," << false << true;
    QTest::newRow("letter") << "hu" << "12a" << true << false;
    QTest::newRow("plus sign") << "hu" << "+5" << true << false;
    QTest::newRow("double minus") << "hu" << "--5" << true << false;
    QTest::newRow("inner blank") << "hu" << "- 5" << true << false;
    QTest::newRow("non-ASCII digit") << "hu" << QString::fromUtf8("٣") << true << false;
    QTest::newRow("over-long") << "hu" << "123456789012345678901234567890" << true << true;
}

void TestNumbers::isNumeric() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, integerOnly);
    QFETCH(bool, expected);
    useLocale(locale);
    QCOMPARE(IsNumeric(text, integerOnly), expected);
}

void TestNumbers::strToIntFlag_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("trimmed") << " 42 " << 42;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("blank") << "  " << 0;
    QTest::newRow("decimal") << "4,2" << -1;
    QTest::newRow("letter") << "x" << -1;
    QTest::newRow("lone minus") << "-" << -1;
    QTest::newRow("negative") << "-17" << -17;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("over-long") << "99999999999" << -1;
    QTest::newRow("very long") << "123456789012345678901234567890" << -1;
}

void TestNumbers::strToIntFlag() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    useLocale("hu");
    QCOMPARE(StrToIntFlag(text), expected);
}

void TestNumbers::cleanNumberText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // "!" : raises
    QTest::newRow("forints") << "hu" << "1 234,5 Ft" << "1234,5";
    QTest::newRow("exponent") << "hu" << "12E3" << "12000";
    QTest::newRow("negative exponent") << "hu" << "5E-3" << "0";
    QTest::newRow("lower-case exponent") << "hu" << "1,25e1" << "12,5";
    QTest::newRow("decimal exponent") << "hu" << "1,5E2" << "150";
    QTest::newRow("decimal exponent on C") << "c" << "1.5E2" << "150";
    QTest::newRow("big exponent") << "hu" << "2E20" << "2E20";
    QTest::newRow("negative") << "hu" << " -12,5 " << "-12,5";
    QTest::newRow("inner minus dropped") << "hu" << "1-2" << "12";
    QTest::newRow("point groups before a comma") << "hu" << "1.234,5" << "1234,5";
    QTest::newRow("comma groups before a point") << "hu" << "1,234.5" << "1234,5";
    QTest::newRow("point on Hungarian") << "hu" << "1.5" << "1,5";
    QTest::newRow("comma on C") << "c" << "1,5" << "1.5";
    QTest::newRow("point groups before a comma on C") << "c" << "1.234.567,5 Ft" << "1234567.5";
    QTest::newRow("comma groups before a point on C") << "c" << "1,234.5" << "1234.5";
    QTest::newRow("same separators stay") << "c" << "1,2,3" << "1.2.3";
    QTest::newRow("comma with exponent on C") << "c" << "1,5E2" << "150";
    QTest::newRow("E of a word") << "hu" << "5 EUR" << "5";
    QTest::newRow("empty") << "hu" << "" << "";
    QTest::newRow("exponent without mantissa") << "hu" << "E5" << "!";
    QTest::newRow("overflowing exponent") << "hu" << "1E999" << "!";
    QTest::newRow("over-long exponent") << "hu" << "1E99999999999999" << "!";
}

void TestNumbers::cleanNumberText() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    useLocale(locale);
    if (expected == QStringLiteral("!")) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, CleanNumberText(text));
    } else {
        QCOMPARE(CleanNumberText(text), expected);
    }
}

void TestNumbers::textToFloat_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected"); // NaN : raises
    const double raises = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("forints") << "hu" << "1 234,5 Ft" << 1234.5;
    QTest::newRow("negative half") << "hu" << "-0,5" << -0.5;
    QTest::newRow("point on C") << "c" << "1.5" << 1.5;
    QTest::newRow("comma on C") << "c" << "1,5" << 1.5;
    QTest::newRow("point on Hungarian") << "hu" << "0.25" << 0.25;
    QTest::newRow("grouped, comma last, on C") << "c" << "1.234,5" << 1234.5;
    QTest::newRow("grouped, point last, on C") << "c" << "1,234.5" << 1234.5;
    QTest::newRow("grouped, comma last, on Hungarian") << "hu" << "1.234,5" << 1234.5;
    QTest::newRow("grouped, point last, on Hungarian") << "hu" << "1,234.5" << 1234.5;
    QTest::newRow("two commas on C") << "c" << "1,2,3" << raises;
    QTest::newRow("exponent") << "hu" << "12E3" << 12000.0;
    QTest::newRow("words") << "hu" << "abc" << 0.0;
    QTest::newRow("empty") << "hu" << "" << 0.0;
    QTest::newRow("lone minus") << "hu" << "-" << raises;
    QTest::newRow("two separators") << "hu" << "1,2,3" << raises;
    QTest::newRow("lone separator") << "hu" << "," << raises;
}

void TestNumbers::textToFloat() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, expected);
    useLocale(locale);
    if (std::isnan(expected)) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, TextToFloat(text));
    } else {
        QCOMPARE(TextToFloat(text), expected);
    }
}

void TestNumbers::floatToText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << "hu" << 0.0 << "0";
    QTest::newRow("negative zero") << "hu" << -0.0 << "0";
    QTest::newRow("Hungarian comma") << "hu" << 1.5 << "1,5";
    QTest::newRow("C point") << "c" << 1.5 << "1.5";
    QTest::newRow("15 digits hide binary noise") << "hu" << 0.1 + 0.2 << "0,3";
    QTest::newRow("whole") << "hu" << 100.0 << "100";
    QTest::newRow("negative") << "hu" << -2.25 << "-2,25";
    QTest::newRow("15 digits") << "hu" << 123456789012345.0 << "123456789012345";
    QTest::newRow("1E15") << "hu" << 1e15 << "1E15";
    QTest::newRow("1E20") << "hu" << 1e20 << "1E20";
    QTest::newRow("smallest fixed") << "hu" << 0.00001 << "0,00001";
    QTest::newRow("scientific small") << "hu" << 0.0000015 << "1,5E-6";
    QTest::newRow("NaN") << "hu" << std::numeric_limits<double>::quiet_NaN() << "NAN";
}

void TestNumbers::floatToText() {
    QFETCH(QString, locale);
    QFETCH(double, x);
    QFETCH(QString, expected);
    useLocale(locale);
    QCOMPARE(FloatToText(x), expected);
}

void TestNumbers::intOrBlankAndMaxOf() {
    QCOMPARE(IntOrBlank(0), QString());
    QCOMPARE(IntOrBlank(-3), QStringLiteral("-3"));
    QCOMPARE(IntOrBlank(10000000000LL), QStringLiteral("10000000000"));
    QCOMPARE(MaxOf(-1, -2), qint64(-1));
    QCOMPARE(MaxOf(3, 10000000000LL), qint64(10000000000LL));
}

void TestNumbers::varToText_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("null") << QVariant() << "";
    QTest::newRow("typed null") << QVariant(QMetaType::fromType<int>()) << "";
    QTest::newRow("text") << QVariant(QStringLiteral("Őz")) << "Őz";
    QTest::newRow("int") << QVariant(42) << "42";
    QTest::newRow("short") << QVariant::fromValue(short(-7)) << "-7";
    QTest::newRow("64-bit") << QVariant(qint64(1234567890123LL)) << "1234567890123";
    QTest::newRow("unsigned 64-bit") << QVariant(quint64(18446744073709551615ULL)) << "18446744073709551615";
    QTest::newRow("byte") << QVariant::fromValue(uchar(200)) << "200";
    QTest::newRow("double") << QVariant(1.5) << "1,5";
    QTest::newRow("float") << QVariant(0.5f) << "0,5";
    QTest::newRow("true") << QVariant(true) << "True";
    QTest::newRow("false") << QVariant(false) << "False";
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << "2024.02.29";
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9))) << "2024.02.29 13:05:09";
    QTest::newRow("time") << QVariant(QTime(7, 0, 30)) << "07:00:30";
    QTest::newRow("bytes") << QVariant(QByteArray("x")) << "";
}

void TestNumbers::varToText() {
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    useLocale("hu");
    QCOMPARE(VarToText(value), expected);
}

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
