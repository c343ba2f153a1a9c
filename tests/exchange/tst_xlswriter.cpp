// The Excel 97 writer: every file read back by xlrd and by gnumeric's ssconvert.
#include "WriterFixture.h"
#include "WriterReaders.h"

#include "exchange/XlsWriter.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace vl::exchange;
using namespace vl::exchange::test;

namespace {

QJsonArray cellAt(const QJsonObject& sheet, int row, int col)
{
    return sheet.value(QStringLiteral("rows")).toArray().at(row).toArray().at(col).toArray();
}

QJsonArray cellOf(const QString& type, const QJsonValue& value) { return QJsonArray{type, value}; }

bool hasSsconvert() { return !QStandardPaths::findExecutable(QStringLiteral("ssconvert")).isEmpty(); }

// Every sheet as ssconvert shows it (values in their cell formats, columns
// separated by '|', nothing quoted), one text per sheet; empty when it failed.
// Whatever it writes on standard error (a record it did not expect, a broken
// string table) comes back in `complaints`.
QStringList ssconvertSheets(const QString& xls, const QString& dir, QString* complaints)
{
    const QString pattern = dir + QStringLiteral("/sheet_%n.csv");
    const ToolRun r = runTool(QStringLiteral("ssconvert"),
                              {QStringLiteral("--export-file-per-sheet"),
                               QStringLiteral("--export-type=Gnumeric_stf:stf_assistant"),
                               QStringLiteral("-O"), QStringLiteral("format=preserve quoting-mode=never separator=|"),
                               xls, pattern});
    *complaints = QString::fromUtf8(r.err).trimmed();
    if (r.exitCode != 0) return {};
    QStringList sheets;
    for (int i = 0;; ++i) {
        QFile f(dir + QStringLiteral("/sheet_%1.csv").arg(i));
        if (!f.open(QIODevice::ReadOnly)) break;
        sheets << QString::fromUtf8(f.readAll());
    }
    return sheets;
}

} // namespace

class TstXlsWriter : public QObject {
    Q_OBJECT
private slots:
    void sheetNames_data();
    void sheetNames();
    void valuesReadBackByXlrd();
    void valuesReadBackBySsconvert();
    void integersBeyondFifteenDigitsStayExact();
    void longTextsGoOnInContinueRecords();
    void seventyThousandRowsContinueOnSecondSheet();
    void refusedSheetNameWritesNothing();
    void cancelLeavesNoFile();
    void unwritableFolderIsReported();
    void fullDiskLeavesNoFile();
};

void TstXlsWriter::sheetNames_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("expected"); // "!" when refused
    const QString l31 = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDE");
    QTest::newRow("plain") << QStringLiteral("Lista") << 0 << QStringLiteral("Lista");
    QTest::newRow("first continuation") << QStringLiteral("Lista") << 1 << QStringLiteral("Lista_1");
    QTest::newRow("accents kept") << QStringLiteral("Ügyfél árak") << 2 << QStringLiteral("Ügyfél árak_2");
    QTest::newRow("31 characters") << l31 << 0 << l31;
    QTest::newRow("cut for the suffix") << l31 << 1 << l31.left(29) + QStringLiteral("_1");
    QTest::newRow("cut for a long suffix") << l31 << 12 << l31.left(28) + QStringLiteral("_12");
    QTest::newRow("too long alone") << l31 + QStringLiteral("XYZ") << 0 << l31;
    QTest::newRow("empty") << QString() << 0 << QStringLiteral("Munka1");
    QTest::newRow("empty continued") << QString() << 1 << QStringLiteral("Munka1_1");
    for (const QString& bad : {QStringLiteral("a[1]"), QStringLiteral("a]"), QStringLiteral("x:y"), QStringLiteral("a*"),
                               QStringLiteral("mi?"), QStringLiteral("a/b"), QStringLiteral("a\\b"),
                               QStringLiteral("'idézet"), QStringLiteral("idézet'")})
        QTest::newRow(qPrintable(QStringLiteral("refused ") + bad)) << bad << 0 << QStringLiteral("!");
}

void TstXlsWriter::sheetNames()
{
    QFETCH(QString, base);
    QFETCH(int, k);
    QFETCH(QString, expected);
    if (expected == QStringLiteral("!")) {
        QVERIFY_THROWS_EXCEPTION(vl::Error, XlsSheetName(base, k));
        return;
    }
    const QString name = XlsSheetName(base, k);
    QCOMPARE(name, expected);
    QVERIFY(name.size() <= 31);
}

void TstXlsWriter::valuesReadBackByXlrd()
{
    VL_REQUIRE_READER(hasPythonModule(QStringLiteral("xlrd")), QStringLiteral("python3-xlrd"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.xls"));
    const vl::db::RowSet rows = writerFixture();
    RowSetSource src(rows);
    WriteXls(src, path, QStringLiteral("Lista"), {});

    const QJsonObject book = readWith(QStringLiteral("xls_xlrd.py"), {path});
    const QJsonArray sheets = book.value(QStringLiteral("sheets")).toArray();
    QCOMPARE(sheets.size(), 1);
    const QJsonObject s = sheets.at(0).toObject();
    QCOMPARE(s.value(QStringLiteral("name")).toString(), QStringLiteral("Lista"));
    QCOMPARE(s.value(QStringLiteral("nrows")).toInt(), 4);
    QCOMPARE(s.value(QStringLiteral("ncols")).toInt(), rows.columnCount());
    for (int c = 0; c < rows.columnCount(); ++c)
        QCOMPARE(cellAt(s, 0, c), cellOf(QStringLiteral("text"), rows.columns().at(c).name));

    const QList<QJsonArray> row1{
        cellOf("text", "00123"), cellOf("text", QStringLiteral("Árvíztűrő tükörfúrógép")),
        cellOf("text", QStringLiteral("első sor\nmásodik sor")), cellOf("number", 123456789012.0),
        cellOf("number", 42), cellOf("number", -7), cellOf("number", 5000.5),
        cellOf("number", 0.12346), // five decimals
        cellOf("date", "2026.12.09"), cellOf("date", "2026.12.09 08:30:15"), cellOf("bool", true)};
    for (int c = 0; c < row1.size(); ++c) QCOMPARE(cellAt(s, 1, c), row1[c]);

    // NULL leaves the cell empty; quotes and comment markers are plain text.
    QCOMPARE(cellAt(s, 2, 0), cellOf("text", "O'Brien"));
    QCOMPARE(cellAt(s, 2, 1), cellOf("text", QStringLiteral("Kőműves \"Kft\"; /* x */ --")));
    for (int c = 2; c < rows.columnCount(); ++c) QCOMPARE(cellAt(s, 2, c), cellOf("empty", QJsonValue()));

    const QList<QJsonArray> row3{
        cellOf("text", QStringLiteral("ŐŰ-1")), cellOf("text", QStringLiteral("őű ŐŰ € ä")),
        cellOf("text", "tab\tvan"), cellOf("number", -98765), cellOf("number", 0), cellOf("number", 32000),
        cellOf("number", -0.25), cellOf("number", -1234.56789), cellOf("date", "1999.01.31"),
        cellOf("date", "2000.02.29 23:59:59"), cellOf("bool", false)};
    for (int c = 0; c < row3.size(); ++c) QCOMPARE(cellAt(s, 3, c), row3[c]);
}

void TstXlsWriter::valuesReadBackBySsconvert()
{
    VL_REQUIRE_READER(hasSsconvert(), QStringLiteral("gnumeric (ssconvert)"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.xls"));
    const vl::db::RowSet rows = writerFixture();
    RowSetSource src(rows);
    WriteXls(src, path, QStringLiteral("Lista"), {});

    QString complaints;
    const QStringList sheets = ssconvertSheets(path, dir.path(), &complaints);
    QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
    QCOMPARE(sheets.size(), 1);
    // Gnumeric shows a negative number with the minus sign U+2212 and a
    // general number with 10 significant digits.
    const QString expected = QStringLiteral(
        "KOD|NEV|MEGJ|NAGY|DB|KICSI|AR|ARANY|DATUM|IDO|AKTIV\n"
        "00123|Árvíztűrő tükörfúrógép|első sor\nmásodik sor|123456789012|42|−7|5000.5|0.12346|2026.12.09|"
        "2026.12.09 08:30:15|TRUE\n"
        "O'Brien|Kőműves \"Kft\"; /* x */ --|||||||||\n"
        "ŐŰ-1|őű ŐŰ € ä|tab\tvan|−98765|0|32000|−0.25|−1234.5679|1999.01.31|2000.02.29 23:59:59|FALSE\n");
    QCOMPARE(sheets.at(0), expected);
}

// A spreadsheet number holds 15 significant digits: a longer integer (a code,
// an identity number) is written as its text, so no digit is lost.
void TstXlsWriter::integersBeyondFifteenDigitsStayExact()
{
    VL_REQUIRE_READER(hasPythonModule(QStringLiteral("xlrd")), QStringLiteral("python3-xlrd"));
    const QList<qint64> values{536870911LL, 536870912LL, -536870912LL, -536870913LL, 999999999999999LL,
                               -999999999999999LL, 1000000000000000LL, 1234567890123456789LL, -9223372036854775807LL};
    std::vector<QVariantList> data;
    for (qint64 v : values) data.push_back({QVariant(v)});
    const vl::db::RowSet rows({col(QStringLiteral("N"), vl::db::ColType::Int64)}, std::move(data));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("egesz.xls"));
    RowSetSource src(rows);
    WriteXls(src, path, QStringLiteral("Egész"), {});
    const QJsonObject s = readWith(QStringLiteral("xls_xlrd.py"), {path})
                              .value(QStringLiteral("sheets")).toArray().at(0).toObject();
    for (int i = 0; i < values.size(); ++i) {
        const qint64 v = values[i];
        const bool exact = v <= 999999999999999LL && v >= -999999999999999LL;
        QCOMPARE(cellAt(s, i + 1, 0), exact ? cellOf("number", double(v)) : cellOf("text", QString::number(v)));
    }
}

// A shared string table longer than one record goes on in CONTINUE records,
// strings split across them in both forms (one byte and two bytes a character).
void TstXlsWriter::longTextsGoOnInContinueRecords()
{
    VL_REQUIRE_READER(hasPythonModule(QStringLiteral("xlrd")), QStringLiteral("python3-xlrd"));
    VL_REQUIRE_READER(hasSsconvert(), QStringLiteral("gnumeric (ssconvert)"));
    QList<vl::db::Column> cols{col(QStringLiteral("SZOVEG"), vl::db::ColType::LongText)};
    std::vector<QVariantList> data;
    QStringList texts;
    for (int i = 0; i < 60; ++i) {
        // 1,000 to 4,000 characters, every third one with a character beyond one byte.
        QString t = QStringLiteral("%1:").arg(i) + QString(1000 + (i * 53) % 3000, QChar(u'a' + i % 26));
        if (i % 3 == 0) t += QStringLiteral("ő");
        texts << t;
        data.push_back({t});
    }
    const vl::db::RowSet rows(cols, std::move(data));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hosszu.xls"));
    RowSetSource src(rows);
    WriteXls(src, path, QStringLiteral("Hosszú"), {});

    const QJsonObject s = readWith(QStringLiteral("xls_xlrd.py"), {path})
                              .value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(s.value(QStringLiteral("nrows")).toInt(), 61);
    for (int i = 0; i < texts.size(); ++i) QCOMPARE(cellAt(s, i + 1, 0), cellOf("text", texts[i]));

    // The index of the string table names where each eighth string starts.
    const QJsonObject sst = readWith(QStringLiteral("xls_extsst.py"), {path});
    QCOMPARE(sst.value(QStringLiteral("strings")).toInt(), 61);
    QVERIFY(sst.value(QStringLiteral("parts")).toInt() > 10);
    QCOMPARE(sst.value(QStringLiteral("buckets")).toInt(), 8);
    QCOMPARE(sst.value(QStringLiteral("errors")).toArray(), QJsonArray());

    QString complaints;
    const QStringList sheets = ssconvertSheets(path, dir.path(), &complaints);
    QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets.at(0), QStringLiteral("SZOVEG\n") + texts.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TstXlsWriter::seventyThousandRowsContinueOnSecondSheet()
{
    VL_REQUIRE_READER(hasPythonModule(QStringLiteral("xlrd")), QStringLiteral("python3-xlrd"));
    VL_REQUIRE_READER(hasSsconvert(), QStringLiteral("gnumeric (ssconvert)"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sok.xls"));
    CountingSource src(70000);
    qint64 lastDone = -1, lastTotal = 0;
    WriteXls(src, path, QStringLiteral("Sorok"), [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        return true;
    });
    QCOMPARE(lastDone, qint64(70000));
    QCOMPARE(lastTotal, qint64(70000));

    const QJsonArray sheets = readWith(QStringLiteral("xls_xlrd.py"), {path, QStringLiteral("--max-rows"), "2"})
                                  .value(QStringLiteral("sheets")).toArray();
    QCOMPARE(sheets.size(), 2);
    const QJsonObject a = sheets.at(0).toObject(), b = sheets.at(1).toObject();
    QCOMPARE(a.value(QStringLiteral("name")).toString(), QStringLiteral("Sorok"));
    QCOMPARE(b.value(QStringLiteral("name")).toString(), QStringLiteral("Sorok_1"));
    QCOMPARE(a.value(QStringLiteral("nrows")).toInt(), XlsMaxRows);
    QCOMPARE(b.value(QStringLiteral("nrows")).toInt(), 70000 - (XlsMaxRows - 1) + 1);
    for (const QJsonObject& s : {a, b}) {
        QCOMPARE(cellAt(s, 0, 0), cellOf("text", "N"));
        QCOMPARE(cellAt(s, 0, 1), cellOf("text", "T"));
        QCOMPARE(cellAt(s, 0, 2), cellOf("text", "D"));
    }
    QCOMPARE(cellAt(a, 1, 0), cellOf("number", 1));
    QCOMPARE(a.value(QStringLiteral("last")).toArray().at(0).toArray(), cellOf("number", XlsMaxRows - 1));
    QCOMPARE(cellAt(b, 1, 0), cellOf("number", XlsMaxRows));
    QCOMPARE(cellAt(b, 1, 1), cellOf("text", QStringLiteral("sor %1").arg(XlsMaxRows)));
    QCOMPARE(b.value(QStringLiteral("last")).toArray().at(0).toArray(), cellOf("number", 70000));
    const QJsonObject sst = readWith(QStringLiteral("xls_extsst.py"), {path});
    QCOMPARE(sst.value(QStringLiteral("strings")).toInt(), 70000 + 3);
    QCOMPARE(sst.value(QStringLiteral("buckets")).toInt(), 128);
    QCOMPARE(sst.value(QStringLiteral("errors")).toArray(), QJsonArray());
    QCOMPARE(b.value(QStringLiteral("last")).toArray().at(2).toArray(),
             cellOf("date", QDate(2026, 1, 1).addDays(70000 % 365).toString(QStringLiteral("yyyy.MM.dd"))));

    QString complaints;
    const QStringList csv = ssconvertSheets(path, dir.path(), &complaints);
    QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
    QCOMPARE(csv.size(), 2);
    const QStringList first = csv.at(0).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList second = csv.at(1).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(first.size(), XlsMaxRows);
    QCOMPARE(second.size(), 70000 - (XlsMaxRows - 1) + 1);
    QCOMPARE(first.at(0), QStringLiteral("N|T|D"));
    QCOMPARE(second.at(0), QStringLiteral("N|T|D"));
    QCOMPARE(first.last(), QStringLiteral("65535|sor 65535|%1")
                               .arg(QDate(2026, 1, 1).addDays(65535 % 365).toString(QStringLiteral("yyyy.MM.dd"))));
    QCOMPARE(second.at(1), QStringLiteral("65536|sor 65536|%1")
                               .arg(QDate(2026, 1, 1).addDays(65536 % 365).toString(QStringLiteral("yyyy.MM.dd"))));
    QCOMPARE(second.last(), QStringLiteral("70000|sor 70000|%1")
                                .arg(QDate(2026, 1, 1).addDays(70000 % 365).toString(QStringLiteral("yyyy.MM.dd"))));
}

void TstXlsWriter::refusedSheetNameWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rossz.xls"));
    const vl::db::RowSet rows = writerFixture();
    RowSetSource src(rows);
    try {
        WriteXls(src, path, QStringLiteral("Bevétel 2026/12"), {});
        QFAIL("a sheet name with '/' was taken");
    } catch (const vl::Error& e) {
        QVERIFY(e.text().contains(QStringLiteral("Bevétel 2026/12")));
    }
    QVERIFY(!QFile::exists(path));
}

void TstXlsWriter::cancelLeavesNoFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("megszakitott.xls"));
    CountingSource src(1000);
    QVERIFY_THROWS_EXCEPTION(ExportCancelled,
                             WriteXls(src, path, QStringLiteral("Lista"), [](qint64 done, qint64) { return done < 500; }));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

void TstXlsWriter::unwritableFolderIsReported()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nincs/ilyen/mappa/lista.xls"));
    const vl::db::RowSet rows = writerFixture();
    RowSetSource src(rows);
    try {
        WriteXls(src, path, QStringLiteral("Lista"), {});
        QFAIL("a file in a missing folder was reported written");
    } catch (const vl::Error& e) {
        QVERIFY(e.text().startsWith(QStringLiteral("Az Excel fájl nem írható")));
    }
    QVERIFY(!QFile::exists(path));
}

// A file-size limit stands in for a full disk: the writes past it fail.
void TstXlsWriter::fullDiskLeavesNoFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tele.xls"));
    CountingSource src(20000);
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool refused = false;
    try {
        WriteXls(src, path, QStringLiteral("Lista"), {});
    } catch (const vl::Error& e) {
        refused = e.text().startsWith(QStringLiteral("Az Excel fájl nem írható"));
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(refused);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

QTEST_GUILESS_MAIN(TstXlsWriter)
#include "tst_xlswriter.moc"
