#include "util/ConversionError.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QtTest>

using namespace vl::util;

class TestDates : public QObject {
    Q_OBJECT
private slots:
    void dateValid_data();
    void dateValid();
    void strToDateYMD_data();
    void strToDateYMD();
    void normalizeDateText_data();
    void normalizeDateText();
    void addMonths_data();
    void addMonths();
    void addMonthsRejects_data();
    void addMonthsRejects();
    void periodLastDay_data();
    void periodLastDay();
    void weekdayMon1_data();
    void weekdayMon1();
    void dayNameOf_data();
    void dayNameOf();
    void dayNameTables();
    void formatting();
};

void TestDates::dateValid_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("message"); // shown when asked and invalid

    QTest::newRow("yyyymm") << "202402" << true << "";
    QTest::newRow("yyyy.mm") << "2024.02" << true << "";
    QTest::newRow("yyyymmdd leap day") << "20240229" << true << "";
    QTest::newRow("full leap day") << "2024.02.29" << true << "";
    QTest::newRow("separators not inspected") << "2024-02-29" << true << "";
    QTest::newRow("trimmed") << " \t2024.12.31 " << true << "";
    QTest::newRow("2000 is leap") << "2000.02.29" << true << "";
    QTest::newRow("not a leap year") << "2023.02.29" << false << "Hibás dátum.\n2023.02.29";
    QTest::newRow("1900 is not leap") << "1900.02.29" << false << "Hibás dátum.\n1900.02.29";
    QTest::newRow("april has 30 days") << "2024.04.31" << false << "Hibás dátum.\n2024.04.31";
    QTest::newRow("day 0") << "2024.01.00" << false << "Hibás dátum.\n2024.01.00";
    QTest::newRow("month 13 short form") << "202413" << false << "Hibás dátum.\n2024.13.01";
    QTest::newRow("8 chars read as yyyymmdd") << "2024.2.1" << false << "Hibás dátum.\n2024..2..1";
    QTest::newRow("yyyymmdd normalised in message") << "20230229" << false << "Hibás dátum.\n2023.02.29";
    QTest::newRow("empty") << "" << false << "Hibás dátum.\n";
    QTest::newRow("length 9") << "2024.02.3" << false << "Hibás dátum.\n2024.02.3";
    QTest::newRow("sign in month") << "2024.+2.01" << false << "Hibás dátum.\n2024.+2.01";
    QTest::newRow("year 0") << "0000.01.01" << false << "Hibás dátum.\n0000.01.01";
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("٢٠٢٤.01.01") << false
                                      << QString::fromUtf8("Hibás dátum.\n٢٠٢٤.01.01");
    QTest::newRow("words") << "nonsense!!" << false << "Hibás dátum.\nnonsense!!";
}

void TestDates::dateValid() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, message);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    QCOMPARE(DateValid(text, false), valid);
    QVERIFY(sink.messages.isEmpty());
    QCOMPARE(DateValid(text, true), valid);
    if (valid) {
        QVERIFY(sink.messages.isEmpty());
    } else {
        QCOMPARE(sink.texts(), QStringList{message});
        QCOMPARE(sink.messages.first().first, vl::MsgKind::Info);
    }
}

void TestDates::strToDateYMD_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: raises

    QTest::newRow("date") << "2024.02.29" << QDate(2024, 2, 29);
    QTest::newRow("other separators") << "2024/03/01" << QDate(2024, 3, 1);
    QTest::newRow("change stamp") << "2024.12.31 23:59:59" << QDate(2024, 12, 31);
    QTest::newRow("impossible") << "2023.02.29" << QDate();
    QTest::newRow("too short") << "2024.02.3" << QDate();
    QTest::newRow("extra digit") << "2024.02.291" << QDate();
    QTest::newRow("leading blank") << " 2024.02.29" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("letters") << "2024.ab.01" << QDate();
}

void TestDates::strToDateYMD() {
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    if (expected.isValid()) {
        QCOMPARE(StrToDateYMD(text), expected);
    } else {
        QVERIFY_THROWS_EXCEPTION(ConversionError, StrToDateYMD(text));
    }
}

void TestDates::normalizeDateText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("yyyymmdd") << "20240229" << "2024.02.29";
    QTest::newRow("dotted") << " 2024.02.29 " << "2024.02.29";
    QTest::newRow("other separators") << "2024-02-29" << "2024.02.29";
    QTest::newRow("period") << "2024.05" << "2024.05.01";
    QTest::newRow("undotted period") << "202405" << "2024.05.01";
    QTest::newRow("invalid") << "20230229" << "";
    QTest::newRow("empty") << "" << "";
}

void TestDates::normalizeDateText() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(NormalizeDateText(text), expected);
}

void TestDates::addMonths_data() {
    QTest::addColumn<QString>("period");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    QTest::newRow("year rollover forward") << "2023.12" << 1 << "2024.01";
    QTest::newRow("year rollover backward undotted") << "202401" << -1 << "202312";
    QTest::newRow("year rollover backward dotted") << "2024.01" << -1 << "2023.12";
    QTest::newRow("undotted forward") << "202312" << 1 << "202401";
    QTest::newRow("zero") << "2024.05" << 0 << "2024.05";
    QTest::newRow("into next year") << "2024.11" << 2 << "2025.01";
    QTest::newRow("many forward") << "2024.03" << 25 << "2026.04";
    QTest::newRow("many backward") << "2024.03" << -14 << "2023.01";
    QTest::newRow("whole year back") << "2024.01" << -12 << "2023.01";
    QTest::newRow("december back to december") << "2024.12" << -12 << "2023.12";
    QTest::newRow("date loses its day") << "2024.05.17" << 1 << "2024.06";
}

void TestDates::addMonths() {
    QFETCH(QString, period);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(AddMonths(period, n), expected);
}

void TestDates::addMonthsRejects_data() {
    QTest::addColumn<QString>("period");
    QTest::newRow("month 13") << "2024.13";
    QTest::newRow("month 0") << "202400";
    QTest::newRow("year only") << "2024";
    QTest::newRow("words") << "abcd.ef";
    QTest::newRow("empty") << "";
}

void TestDates::addMonthsRejects() {
    QFETCH(QString, period);
    QVERIFY_THROWS_EXCEPTION(ConversionError, AddMonths(period, 1));
    QVERIFY_THROWS_EXCEPTION(ConversionError, PeriodLastDay(period));
}

void TestDates::periodLastDay_data() {
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leap february") << "2024.02" << "2024.02.29";
    QTest::newRow("december undotted") << "202312" << "2023.12.31";
    QTest::newRow("plain february") << "2023.02" << "2023.02.28";
    QTest::newRow("1900 february") << "1900.02" << "1900.02.28";
    QTest::newRow("2000 february") << "200002" << "2000.02.29";
    QTest::newRow("30-day month") << "2024.04" << "2024.04.30";
    QTest::newRow("january") << "202401" << "2024.01.31";
    QTest::newRow("from a date") << "2024.06.15" << "2024.06.30";
}

void TestDates::periodLastDay() {
    QFETCH(QString, period);
    QFETCH(QString, expected);
    QCOMPARE(PeriodLastDay(period), expected);
}

void TestDates::weekdayMon1_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("sunday text") << QVariant(QStringLiteral("2024.01.07")) << 7;
    QTest::newRow("monday text") << QVariant(QStringLiteral("2024.01.08")) << 1;
    QTest::newRow("leap day text") << QVariant(QStringLiteral("2024.02.29")) << 4;
    QTest::newRow("date") << QVariant(QDate(2024, 1, 6)) << 6;
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2024, 1, 5), QTime(23, 59))) << 5;
    QTest::newRow("nonsense") << QVariant(QStringLiteral("nonsense")) << 0;
    QTest::newRow("impossible date") << QVariant(QStringLiteral("2023.02.29")) << 0;
    QTest::newRow("empty text") << QVariant(QString()) << 0;
    QTest::newRow("null") << QVariant() << 0;
    QTest::newRow("integer") << QVariant(5) << 0;
    QTest::newRow("null date") << QVariant(QDate()) << 0;
}

void TestDates::weekdayMon1() {
    QFETCH(QVariant, value);
    QFETCH(int, expected);
    QCOMPARE(WeekdayMon1(value), expected);
}

void TestDates::dayNameOf_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sunday") << "2024.01.07" << "Vasárnap";
    QTest::newRow("monday") << "2024.01.08" << "Hétfő";
    QTest::newRow("thursday") << "2024.02.29" << "Csütörtök";
    QTest::newRow("saturday across year") << "2022.12.31" << "Szombat";
    QTest::newRow("yyyymmdd") << "20240112" << "Péntek";
    QTest::newRow("empty") << "" << "-";
    QTest::newRow("impossible") << "2024.02.30" << "-";
    QTest::newRow("period") << "2024.01" << "-";
}

void TestDates::dayNameOf() {
    QFETCH(QString, date);
    QFETCH(QString, expected);
    vl::RecordingSink sink;
    vl::ScopedSink scoped(&sink);
    QCOMPARE(DayNameOf(date, QStringLiteral("-")), expected);
    QVERIFY(sink.messages.isEmpty());
}

void TestDates::dayNameTables() {
    const QStringList sun1{"Vasárnap", "Hétfő", "Kedd", "Szerda", "Csütörtök", "Péntek", "Szombat"};
    const QStringList mon1{"Hétfő", "Kedd", "Szerda", "Csütörtök", "Péntek", "Szombat", "Vasárnap"};
    for (int i = 1; i <= 7; ++i) {
        QCOMPARE(DayNamesSun1(i), sun1.at(i - 1));
        QCOMPARE(DayNamesMon1(i), mon1.at(i - 1));
    }
    QCOMPARE(DayNamesSun1(0), QString());
    QCOMPARE(DayNamesMon1(8), QString());
    // The Monday-first table agrees with WeekdayMon1.
    QCOMPARE(DayNamesMon1(WeekdayMon1(QDate(2024, 1, 7))), QStringLiteral("Vasárnap"));
}

void TestDates::formatting() {
    QCOMPARE(DateToYMD(QDate(2024, 3, 5)), QStringLiteral("2024.03.05"));
    QCOMPARE(DateToYMD(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59))), QStringLiteral("2024.12.31"));
    QCOMPARE(DateToYMD(QDate()), QString());
    QCOMPARE(DigitsToDateStr(QStringLiteral("20240229")), QStringLiteral("2024.02.29"));
    QVERIFY(DateValid(TodayStr(), false));
    QCOMPARE(StrToDateYMD(TodayStr()), QDate::currentDate());
}

QTEST_GUILESS_MAIN(TestDates)
#include "tst_dates.moc"
