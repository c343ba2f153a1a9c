// The pure rules of the exports: the save dialog's final name, extensions and
// formats, sheet names, the script's table name and lines, CSV fields.
#include "exchange/ExportFormats.h"
#include "exchange/SqlScript.h"
#include "exchange/TextExport.h"

#include <QtTest>

using namespace vl::exchange;

class TestExportRules : public QObject {
    Q_OBJECT
private slots:
    void formatList() {
        QCOMPARE(ExportFormatPatterns(), (QStringList{"*.XLS", "*.XLSX", "*.DBF", "*.TXT", "*.DB", "*.SQL", "*.XLSM", "*.CSV"}));
        QCOMPARE(ExportNameFilters().size(), 8);
        QVERIFY(ExportNameFilters().first().startsWith(QStringLiteral("Excel tábla (XLS) (*.XLS")));
        QVERIFY(ExportNameFilters().at(6).startsWith(QStringLiteral("Excel tábla makrobarát (XLSM) (*.XLSM")));
        QVERIFY(ExportNameFilters().last().contains(QStringLiteral("(*.CSV")));
    }

    void finalName_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no dot: SQL") << "adatok" << 6 << "adatok.SQL";
        QTest::newRow("no dot: XLSX") << "/tmp/lista" << 2 << "/tmp/lista.XLSX";
        QTest::newRow("other extension") << "lista.txt" << 1 << "lista.txt.XLS";
        QTest::newRow("same, lower case") << "lista.xlsx" << 2 << "lista.xlsx";
        QTest::newRow("xls is not xlsx") << "lista.xls" << 2 << "lista.xls.XLSX";
        QTest::newRow("xlsx is not xls") << "lista.xlsx" << 1 << "lista.xlsx.XLS";
        QTest::newRow("xlsm") << "makro.XLSM" << 7 << "makro.XLSM";
        QTest::newRow("csv") << "adat" << 8 << "adat.CSV";
        QTest::newRow("db") << "tabla.db" << 5 << "tabla.db";
        QTest::newRow("dot in folder only") << "/tmp/a.b/lista" << 4 << "/tmp/a.b/lista.TXT";
        QTest::newRow("empty") << "" << 1 << "";
        QTest::newRow("blank") << "  " << 1 << "";
    }
    void finalName() {
        QFETCH(QString, chosen);
        QFETCH(int, format);
        QFETCH(QString, expected);
        QCOMPARE(FinalExportName(chosen, format), expected);
    }

    void extensions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("format");
        QTest::newRow("xlsx") << "a.xlsx" << ".XLSX" << 2 << int(ExportFormat::Xlsx);
        QTest::newRow("xls") << "a.XLS" << ".XLS" << 1 << int(ExportFormat::Xls);
        QTest::newRow("last dot") << "a.txt.sql" << ".SQL" << 6 << int(ExportFormat::Sql);
        QTest::newRow("five characters") << "a.xlsxyz" << ".XLSX" << 2 << int(ExportFormat::Xlsx);
        QTest::newRow("none") << "adatok" << "" << 1 << int(ExportFormat::Unknown);
        QTest::newRow("unknown") << "a.ods" << ".ODS" << 1 << int(ExportFormat::Unknown);
        QTest::newRow("folder dot") << "/x.y/adatok" << "" << 1 << int(ExportFormat::Unknown);
        QTest::newRow("csv") << "a.csv" << ".CSV" << 8 << int(ExportFormat::Csv);
    }
    void extensions() {
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QFETCH(int, index);
        QFETCH(int, format);
        QCOMPARE(FileExtension(name), ext);
        QCOMPARE(FormatIndexOfName(name), index);
        QCOMPARE(int(FormatOfFile(name)), format);
    }

    void startName() {
        QCOMPARE(StartName(QStringLiteral("lista.txt.XLS")), QStringLiteral("lista"));
        QCOMPARE(StartName(QStringLiteral("/a.b/lista.XLS")), QStringLiteral("/a.b/lista"));
        QCOMPARE(StartName(QStringLiteral("lista")), QStringLiteral("lista"));
    }

    void sheetNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "SZ_SOFOR" << "" << "SZ_SOFOR";
        QTest::newRow("forbidden") << "a[b]:c*d?e/f\\g" << "" << "a_b__c_d_e_f_g";
        QTest::newRow("31") << QString(40, 'x') << "" << QString(31, 'x');
        QTest::newRow("31 with suffix") << QString(40, 'x') << "_1" << QString(29, 'x') + "_1";
        QTest::newRow("31 with long suffix") << QString(40, 'x') << "_12" << QString(28, 'x') + "_12";
        QTest::newRow("apostrophes") << "'lap'" << "" << "lap";
        QTest::newRow("empty") << "" << "" << "Munka1";
        QTest::newRow("accents") << "Ügyfelek listája" << "_2" << "Ügyfelek listája_2";
    }
    void sheetNames() {
        QFETCH(QString, name);
        QFETCH(QString, suffix);
        QFETCH(QString, expected);
        QCOMPARE(ValidSheetName(name, suffix), expected);
    }

    void sheetNameProblems() {
        QVERIFY(SheetNameProblem(QStringLiteral("Ügyfelek")).isEmpty());
        QVERIFY(!SheetNameProblem(QStringLiteral("a/b")).isEmpty());
        QVERIFY(!SheetNameProblem(QStringLiteral("[x]")).isEmpty());
        QVERIFY(!SheetNameProblem(QString(32, 'x')).isEmpty());
        QVERIFY(!SheetNameProblem(QStringLiteral("")).isEmpty());
    }

    void scriptTableName_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("given") << "CEL" << "SELECT * FROM UGYFEL" << "CEL";
        QTest::newRow("from in line") << "" << "SELECT KOD, NEV FROM UGYFEL WHERE KOD = :k" << "UGYFEL";
        QTest::newRow("from alone") << "" << "SELECT KOD\nFROM\n  SZ_SOFOR S, UGYFEL\nWHERE 1=1" << "SZ_SOFOR";
        QTest::newRow("comma") << "" << "SELECT * FROM ARU,FORGKABIN" << "ARU";
        QTest::newRow("semicolon") << "" << "SELECT * FROM ARU;" << "ARU";
        QTest::newRow("lower case from") << "" << "select * from ugyfel u" << "ugyfel";
        QTest::newRow("nothing") << "" << "" << "q_lista";
    }
    void scriptTableName() {
        QFETCH(QString, given);
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        QCOMPARE(ScriptTableName(given, statement, QStringLiteral("q_lista")), expected);
    }

    void sqlLines() {
        using vl::db::Column;
        using vl::db::ColType;
        QList<Column> cols{{"KOD", ColType::Text, 10}, {"NEV", ColType::Text, 60}, {"AR", ColType::Float, 0, -2},
                           {"NAP", ColType::Date}, {"IDO", ColType::Timestamp}, {"OK", ColType::Boolean}};
        const QVariantList row{QStringLiteral("O'B"), QVariant(), 12.5, QDate(2026, 1, 2),
                               QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), true};
        QCOMPARE(SqlInsertLines(QStringLiteral("ugyfel"), cols, row),
                 QStringList{"Insert Into \"UGYFEL\" (\"KOD\",\"AR\",\"NAP\",\"IDO\",\"OK\") Values "
                             "('O''B',12.50,'2026.01.02','2026-01-02 03:04:05',TRUE);"});
        // A table name written quoted stays that name; one that only starts with a
        // quote is one identifier, never more text of the statement.
        const QVariantList one{QStringLiteral("x"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()};
        QCOMPARE(SqlInsertLines(QStringLiteral("\"Kis \"\"tábla\"\"\""), cols, one),
                 QStringList{"Insert Into \"Kis \"\"tábla\"\"\" (\"KOD\") Values ('x');"});
        QCOMPARE(SqlInsertLines(QStringLiteral("\"T\"; DELETE FROM X"), cols, one),
                 QStringList{"Insert Into \"\"\"T\"\"; DELETE FROM X\" (\"KOD\") Values ('x');"});
        // A line break goes as a character code; ';' and comment markers stay in their literal.
        QCOMPARE(SqlValueAtoms(QStringLiteral("a;\r\nb /* c */ -- d"), cols[0]),
                 (QStringList{"'a;'", "ASCII_CHAR(13)", "ASCII_CHAR(10)", "'b /* c */ -- d'"}));
        // No line reaches the limit: long texts are cut into joined literals.
        const QVariantList big{QString(3000, QLatin1Char('\'')), QString(900, 'n'), 1.0, QVariant(), QVariant(), QVariant()};
        const QStringList lines = SqlInsertLines(QStringLiteral("T"), cols, big, 1023);
        QVERIFY(lines.size() > 3);
        for (const QString& l : lines) QVERIFY2(l.size() < 1023, qPrintable(QString::number(l.size())));
        QVERIFY(lines.last().endsWith(QStringLiteral(");")));
    }

    void csvFields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "abc" << "abc";
        QTest::newRow("semicolon") << "a;b" << "\"a;b\"";
        QTest::newRow("quote") << "a\"b" << "\"a\"\"b\"";
        QTest::newRow("line break") << "a\nb" << "\"a\nb\"";
        QTest::newRow("leading blank") << " a" << "\" a\"";
        QTest::newRow("apostrophe") << "O'Brien" << "O'Brien";
        QTest::newRow("empty") << "" << "";
    }
    void csvFields() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(CsvField(text), expected);
    }
};

QTEST_GUILESS_MAIN(TestExportRules)
#include "tst_export_rules.moc"
