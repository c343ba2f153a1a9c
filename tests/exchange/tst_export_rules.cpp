// The pure rules of the exports: the save dialog's final name, extensions and
// formats, sheet names, the script's table name and lines, CSV fields, and
// the CSV file's field of each kind of value.
#include "exchange/ExportFormats.h"
#include "exchange/SqlScript.h"
#include "exchange/TextExport.h"

#include <QtTest>
#include <QTemporaryDir>
#include <limits>

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

    // The CSV file writes each value as CsvField(CsvValueText(...)) does, in
    // UTF-8: numbers halfway between two roundings, negative zero, years before
    // 1000, formulas, quoting and characters beyond the basic plane included.
    void csvFileFields_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QByteArray>("expected");
        const int f = int(vl::db::ColType::Float), i64 = int(vl::db::ColType::Int64), t = int(vl::db::ColType::Text),
                  d = int(vl::db::ColType::Date), ts = int(vl::db::ColType::Timestamp), tm = int(vl::db::ColType::Time),
                  b = int(vl::db::ColType::Boolean), u = int(vl::db::ColType::Unknown);
        QTest::newRow("money") << QVariant(1234.5) << f << -2 << QByteArray("1234,50");
        QTest::newRow("money halfway") << QVariant(0.125) << f << -2 << QByteArray("0,13");
        QTest::newRow("money halfway even") << QVariant(0.375) << f << -2 << QByteArray("0,38");
        QTest::newRow("money negative near zero") << QVariant(-1e-10) << f << -2 << QByteArray("-0,00");
        QTest::newRow("money negative zero") << QVariant(-0.0) << f << -2 << QByteArray("0,00");
        QTest::newRow("money too large") << QVariant(1e20) << f << -2 << QByteArray("100000000000000000000,00");
        QTest::newRow("float") << QVariant(1.0 / 3) << f << 0 << QByteArray("0,333333333333333");
        QTest::newRow("float halfway") << QVariant(123456789012344.5) << f << 0 << QByteArray("123456789012345");
        QTest::newRow("float small halfway") << QVariant(9 * std::ldexp(1.0, -21)) << f << 0 << QByteArray("4,29153442382813e-06");
        QTest::newRow("float exponent") << QVariant(1e20) << f << 0 << QByteArray("1e+20");
        QTest::newRow("float tiny") << QVariant(1.5e-7) << f << 0 << QByteArray("1,5e-07");
        QTest::newRow("float negative zero") << QVariant(-0.0) << f << 0 << QByteArray("0");
        QTest::newRow("float not a number") << QVariant(std::numeric_limits<double>::quiet_NaN()) << f << 0 << QByteArray("nan");
        QTest::newRow("float infinite") << QVariant(-std::numeric_limits<double>::infinity()) << f << 0 << QByteArray("-inf");
        QTest::newRow("single float") << QVariant(0.1f) << f << 0 << QByteArray("0,100000001490116");
        QTest::newRow("integer") << QVariant(qint64(-42)) << i64 << 0 << QByteArray("-42");
        QTest::newRow("integer unscaled") << QVariant(qint64(12345)) << i64 << -2 << QByteArray("12345,00");
        QTest::newRow("unsigned") << QVariant(std::numeric_limits<qulonglong>::max()) << i64 << 0 << QByteArray("18446744073709551615");
        QTest::newRow("int") << QVariant(int(7)) << i64 << 0 << QByteArray("7");
        QTest::newRow("flag") << QVariant(true) << b << 0 << QByteArray("Igen");
        QTest::newRow("flag off") << QVariant(false) << b << 0 << QByteArray("Nem");
        QTest::newRow("date") << QVariant(QDate(2026, 3, 5)) << d << 0 << QByteArray("2026.03.05");
        QTest::newRow("date before 1000") << QVariant(QDate(999, 1, 2)) << d << 0 << QByteArray("0999.01.02");
        QTest::newRow("date invalid") << QVariant(QDate()) << d << 0 << QByteArray("");
        QTest::newRow("time stamp") << QVariant(QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9, 500))) << ts << 0
                                    << QByteArray("2026.03.05 07:08:09");
        QTest::newRow("time") << QVariant(QTime(23, 59, 1)) << tm << 0 << QByteArray("23:59:01");
        QTest::newRow("null") << QVariant() << t << 0 << QByteArray("");
        QTest::newRow("text") << QVariant(QStringLiteral("Árvíztűrő tükörfúrógép")) << t << 0
                              << QByteArray("\xc3\x81rv\xc3\xadzt\xc5\xb1r\xc5\x91 t\xc3\xbck\xc3\xb6rf\xc3\xbar\xc3\xb3g\xc3\xa9p");
        QTest::newRow("formula") << QVariant(QStringLiteral("=1+2")) << t << 0 << QByteArray("'=1+2");
        QTest::newRow("formula quoted") << QVariant(QStringLiteral("=a;b")) << t << 0 << QByteArray("\"'=a;b\"");
        QTest::newRow("formula tab") << QVariant(QStringLiteral("\tx")) << t << 0 << QByteArray("'\tx");
        QTest::newRow("formula return") << QVariant(QStringLiteral("\rx")) << t << 0 << QByteArray("\"'\rx\"");
        QTest::newRow("minus alone") << QVariant(QStringLiteral("-")) << t << 0 << QByteArray("'-");
        QTest::newRow("negative number text") << QVariant(QStringLiteral("-5")) << t << 0 << QByteArray("-5");
        QTest::newRow("phone") << QVariant(QStringLiteral("+36 30 123")) << t << 0 << QByteArray("+36 30 123");
        QTest::newRow("plus other digit") << QVariant(QStringLiteral("+\u0661")) << t << 0 << QByteArray("+\xd9\xa1");
        QTest::newRow("leading blank") << QVariant(QStringLiteral(" a")) << t << 0 << QByteArray("\" a\"");
        QTest::newRow("trailing blank") << QVariant(QStringLiteral("a ")) << t << 0 << QByteArray("\"a \"");
        QTest::newRow("formula trailing blank") << QVariant(QStringLiteral("@x ")) << t << 0 << QByteArray("\"'@x \"");
        QTest::newRow("quotes") << QVariant(QStringLiteral("a\"b\"")) << t << 0 << QByteArray("\"a\"\"b\"\"\"");
        QTest::newRow("line break") << QVariant(QStringLiteral("a\nb")) << t << 0 << QByteArray("\"a\nb\"");
        QTest::newRow("beyond the basic plane") << QVariant(QString::fromUtf8("x\xf0\x9f\x98\x80;")) << t << 0
                                                << QByteArray("\"x\xf0\x9f\x98\x80;\"");
        QTest::newRow("broken surrogate") << QVariant(QString(QChar(0xD800)) + QStringLiteral("x")) << t << 0
                                          << QByteArray("?x");
        QTest::newRow("bytes") << QVariant(QByteArray("\x01\x02", 2)) << u << 0 << QByteArray("(bin\xc3\xa1ris)");
        QTest::newRow("other kind") << QVariant(QChar(u'=')) << u << 0 << QByteArray("'=");
    }
    void csvFileFields() {
        QFETCH(QVariant, value);
        QFETCH(int, type);
        QFETCH(int, scale);
        QFETCH(QByteArray, expected);
        vl::db::Column col;
        col.name = QStringLiteral("ERTEK");
        col.type = vl::db::ColType(type);
        col.scale = scale;
        const vl::db::RowSet rs({col}, {{value}, {value, QStringLiteral("beyond the columns")}});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.csv"));
        RowSetSource src(rs);
        WriteCsv(src, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray all = file.readAll();
        const QByteArray line = expected + "\r\n";
        QCOMPARE(all, QByteArray("\xEF\xBB\xBF" "ERTEK\r\n") + line + line);
        QCOMPARE(expected, CsvField(CsvValueText(value, col)).toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestExportRules)
#include "tst_export_rules.moc"
