// Each format written from the fixture by the export routine and read back by
// a reader of its own: openpyxl for XLSX / XLSM, byte comparison for TXT and
// CSV, the program's update-script runner and isql-fb for the SQL script;
// failures and cancels leave no half file and keep an existing file whole.
#include "QueryExportDb.h"

#include "exchange/ExportQuery.h"
#include "exchange/SqlScript.h"
#include "exchange/TextExport.h"
#include "shell/Queries.h"
#include "util/MessageSink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace vl::exchange;

namespace {

QString python() { return QStringLiteral("/usr/bin/python3"); }

bool hasModule(const QString& m) {
    int code = -1;
    exptest::run(python(), {QStringLiteral("-c"), QStringLiteral("import ") + m}, &code);
    return code == 0;
}

QJsonObject readXlsx(const QString& path) {
    int code = -1;
    const QByteArray out = exptest::run(python(), {QStringLiteral(VL_EXPORT_READERS "/xlsx_openpyxl.py"), path}, &code);
    if (code != 0) return {};
    return QJsonDocument::fromJson(out).object();
}

QJsonArray s(const QString& t) { return QJsonArray{QStringLiteral("s"), t}; }
QJsonArray n(double v) { return QJsonArray{QStringLiteral("n"), v}; }
QJsonArray d(const QString& t) { return QJsonArray{QStringLiteral("d"), t}; }
QJsonArray b(bool v) { return QJsonArray{QStringLiteral("b"), v}; }

// Files of a folder, hidden ones too.
QStringList filesIn(const QString& dir) {
    QStringList l = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    l.sort();
    return l;
}

vl::db::RowSet bigRows(int count) {
    using vl::db::Column;
    QList<Column> cols{{"A", vl::db::ColType::Text, 40}, {"B", vl::db::ColType::Text, 40}, {"C", vl::db::ColType::Int64}};
    std::vector<QVariantList> rows;
    quint32 x = 12345;
    for (int i = 0; i < count; ++i) {
        x = x * 1103515245u + 12345u;
        const QString h1 = QString::number(x, 16) + QString::number(x * 7u + 1u, 36) + QString::number(i);
        x = x * 1103515245u + 12345u;
        const QString h2 = QString::number(x, 36) + QStringLiteral("ő") + QString::number(x ^ 0x5a5a5a5au, 16);
        rows.push_back({h1, h2, qint64(x) * 1000 + i});
    }
    return vl::db::RowSet(cols, rows);
}

// The child run under a file-size limit: every format must fail and leave the
// old file of the target as it was.
int sizeLimitChild(const QString& dir) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl{64 * 1024, 64 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) return 100;
    const vl::db::RowSet rows = bigRows(6000);
    int bad = 0;
    for (const QString ext : {QStringLiteral("csv"), QStringLiteral("txt"), QStringLiteral("sql"), QStringLiteral("xlsx"),
                              QStringLiteral("xlsm")}) {
        const QString target = dir + QStringLiteral("/big.") + ext;
        ExportRequest req;
        req.sheetName = QStringLiteral("Nagy");
        bool raised = false;
        try {
            RowSetSource src(rows);
            ExportToFile(src, target, FormatOfFile(target), req);
        } catch (const vl::Error& e) {
            raised = true;
            std::fprintf(stdout, "%s: %s\n", qPrintable(ext), e.text().toUtf8().constData());
        }
        QFile f(target);
        const bool kept = f.open(QIODevice::ReadOnly) && f.readAll() == "OLD";
        if (!raised || !kept) {
            std::fprintf(stdout, "%s: raised=%d kept=%d\n", qPrintable(ext), raised, kept);
            ++bad;
        }
    }
    std::fflush(stdout);
    return bad;
}

// The export form's way through an outcome: questions through the sink, then the messages.
QString finishExport(ExportOutcome o) {
    o = vl::askedThroughSink(std::move(o));
    for (const QString& m : o.messages) vl::notify(o.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
    return o.ok ? o.fileName : QString();
}

} // namespace

class TestExportFiles : public QObject {
    Q_OBJECT
    exptest::Db db_;
    vl::db::RowSet rows_;
    QTemporaryDir out_;

    QString path(const QString& name) const { return out_.filePath(name); }

    QString exportTo(const QString& name, vl::RecordingSink& sink, ExportRequest req = {}) {
        vl::ScopedSink guard(&sink);
        req.fileName = path(name);
        if (req.sheetName.isEmpty()) req.sheetName = QStringLiteral("EXP");
        req.askToOpen = false;
        return finishExport(ExportQuery(rows_, req, {}));
    }

    QJsonArray expectedXlsxRows() const {
        const QJsonValue null;
        return QJsonArray{
            QJsonArray{s("KOD"), s("NEV"), s("MEGJ"), s("DB"), s("NAGY"), s("AR"), s("ARANY"), s("NAP"), s("IDO"), s("AKTIV")},
            // A line break in a cell is LF.
            QJsonArray{s("00123"), s(QStringLiteral("Árvíztűrő tükörfúrógép")), s(QString(exptest::twoLines()).replace("\r\n", "\n")), n(5),
                       s("9007199254740993"), n(1234.5), n(0.125), d("2026-12-09T00:00:00"), d("2026-12-09T10:11:12"),
                       b(true)},
            QJsonArray{s("O'Brien"), s("O'Brien Kft."), null, null, null, null, null, null, null, null},
            QJsonArray{s("X;Y"), s(QStringLiteral("Idézőjel \"benne\"")), s(QStringLiteral("egy\nkettő")), n(-7), n(-123),
                       n(0.1), n(-2.5), d("1999-01-31T00:00:00"), d("2000-02-29T23:59:59"), b(false)}};
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        QVERIFY(out_.isValid());
        QVERIFY(db_.create());
        rows_ = db_.rows();
        QCOMPARE(rows_.rowCount(), 3);
    }

    void xlsxReadBack() {
        EXPTEST_REQUIRE(hasModule(QStringLiteral("openpyxl")), "python3-openpyxl");
        vl::RecordingSink sink;
        const QString written = exportTo(QStringLiteral("lista.xlsx"), sink);
        QCOMPARE(written, path(QStringLiteral("lista.xlsx")));
        QCOMPARE(sink.texts(), QStringList{SpreadsheetDoneText(written)});
        const QJsonObject book = readXlsx(written);
        QVERIFY(book.value(QStringLiteral("zipOk")).toBool());
        QCOMPARE(book.value(QStringLiteral("contentType")).toString(),
                 QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"));
        const QJsonArray sheets = book.value(QStringLiteral("sheets")).toArray();
        QCOMPARE(sheets.size(), 1);
        QCOMPARE(sheets[0].toObject().value(QStringLiteral("title")).toString(), QStringLiteral("EXP"));
        const QJsonArray got = sheets[0].toObject().value(QStringLiteral("rows")).toArray();
        const QJsonArray want = expectedXlsxRows();
        QCOMPARE(got.size(), want.size());
        for (int r = 0; r < want.size(); ++r)
            for (int c = 0; c < 10; ++c)
                QVERIFY2(got[r].toArray().at(c) == want[r].toArray().at(c),
                         qPrintable(QStringLiteral("row %1 col %2: %3").arg(r).arg(c)
                                        .arg(QString::fromUtf8(QJsonDocument(got[r].toArray()).toJson(QJsonDocument::Compact)))));
        // The name column is widened to its display width.
        QCOMPARE(sheets[0].toObject().value(QStringLiteral("widths")).toObject().value(QStringLiteral("B")).toDouble() >= 60, true);
    }

    void xlsmCarriesTheMacroContentType() {
        EXPTEST_REQUIRE(hasModule(QStringLiteral("openpyxl")), "python3-openpyxl");
        vl::RecordingSink sink;
        const QString written = exportTo(QStringLiteral("makro.XLSM"), sink);
        QVERIFY(!written.isEmpty());
        const QJsonObject book = readXlsx(written);
        QVERIFY(book.value(QStringLiteral("zipOk")).toBool());
        QCOMPARE(book.value(QStringLiteral("contentType")).toString(),
                 QStringLiteral("application/vnd.ms-excel.sheet.macroEnabled.main+xml"));
        const QJsonArray got = book.value(QStringLiteral("sheets")).toArray().at(0).toObject().value(QStringLiteral("rows")).toArray();
        QCOMPARE(got, expectedXlsxRows());
        QCOMPARE(filesIn(out_.path()).filter(QStringLiteral("~")), QStringList());
    }

    void xlsxGoesOnInNextSheets() {
        EXPTEST_REQUIRE(hasModule(QStringLiteral("openpyxl")), "python3-openpyxl");
        const vl::db::RowSet big = bigRows(7);
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        ExportRequest req;
        req.fileName = path(QStringLiteral("hosszu.xlsx"));
        req.sheetName = QStringLiteral("Lap:1");
        req.askToOpen = false;
        req.rowLimit = 4; // the header and three rows a sheet
        QVERIFY(!finishExport(ExportQuery(big, req, {})).isEmpty());
        const QJsonArray sheets = readXlsx(req.fileName).value(QStringLiteral("sheets")).toArray();
        QCOMPARE(sheets.size(), 3);
        const QStringList titles{"Lap_1", "Lap_1_1", "Lap_1_2"};
        const QList<int> counts{4, 4, 2};
        int next = 0;
        for (int i = 0; i < 3; ++i) {
            const QJsonObject sh = sheets[i].toObject();
            QCOMPARE(sh.value(QStringLiteral("title")).toString(), titles[i]);
            const QJsonArray rows = sh.value(QStringLiteral("rows")).toArray();
            QCOMPARE(rows.size(), counts[i]);
            QCOMPARE(rows[0].toArray().at(0), QJsonValue(s("A")));
            for (int r = 1; r < rows.size(); ++r)
                QCOMPARE(rows[r].toArray().at(0), QJsonValue(s(big.at(next++, 0).toString())));
        }
        QCOMPARE(next, 7);
    }

    // Several queries, one sheet each; one that cannot be opened is named and
    // the others are still written.
    void severalQueriesInOneWorkbook() {
        EXPTEST_REQUIRE(hasModule(QStringLiteral("openpyxl")), "python3-openpyxl");
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        const vl::db::RowSet small = bigRows(2);
        RowSetSource a(rows_), c(small);
        const QString target = path(QStringLiteral("tobb.xlsx"));
        QCOMPARE(finishExport(ExportToExcel({{QStringLiteral("Első"), &a}, {QStringLiteral("q_hibas"), nullptr},
                                {QStringLiteral("Első"), &c}},
                               target, false, {}, true)),
                 target);
        QCOMPARE(sink.texts(), (QStringList{QStringLiteral("q_hibas: a lekérdezés nem nyitható (can not open query)"),
                                            SpreadsheetDoneText(target)}));
        const QJsonArray sheets = readXlsx(target).value(QStringLiteral("sheets")).toArray();
        QCOMPARE(sheets.size(), 2);
        QCOMPARE(sheets[0].toObject().value(QStringLiteral("title")).toString(), QStringLiteral("Első"));
        QCOMPARE(sheets[1].toObject().value(QStringLiteral("title")).toString(), QStringLiteral("Első_2"));
        QCOMPARE(sheets[1].toObject().value(QStringLiteral("rows")).toArray().size(), 3);
    }

    void txtBytes() {
        vl::RecordingSink sink;
        const QString written = exportTo(QStringLiteral("lista.txt"), sink);
        QVERIFY(sink.texts().isEmpty());
        auto txt = [](const QString& t, int w) { return QStringLiteral("%1").arg(t, -(w + 2)); };
        auto num = [](const QString& t, int w) { return QStringLiteral("%1  ").arg(t, w); };
        const QString l1 = txt("00123", 10) + txt(QStringLiteral("Árvíztűrő tükörfúrógép"), 60) +
                           txt(QStringLiteral("első sor második; sor -- /* x */"), 10) + num("5", 11) +
                           num("9007199254740993", 15) + num("1234,50", 10) + num("0,125", 10) + num("2026.12.09", 10) +
                           num("2026.12.09 10:11:12", 18) + num("Igen", 5);
        const QString l2 = txt("O'Brien", 10) + txt("O'Brien Kft.", 60) + txt("", 10) + num("", 11) + num("", 15) +
                           num("", 10) + num("", 10) + num("", 10) + num("", 18) + num("", 5);
        const QString l3 = txt("X;Y", 10) + txt(QStringLiteral("Idézőjel \"benne\""), 60) + txt(QStringLiteral("egy kettő"), 10) +
                           num("-7", 11) + num("-123", 15) + num("0,10", 10) + num("-2,5", 10) + num("1999.01.31", 10) +
                           num("2000.02.29 23:59:59", 18) + num("Nem", 5);
        QStringEncoder enc("windows-1250");
        const QByteArray want = enc.encode(l1 + "\r\n" + l2 + "\r\n" + l3 + "\r\n");
        QCOMPARE(exptest::readFile(written), want);
    }

    void csvBytes() {
        vl::RecordingSink sink;
        const QString written = exportTo(QStringLiteral("lista.csv"), sink);
        QVERIFY(sink.texts().isEmpty());
        const QByteArray want = QByteArray("\xEF\xBB\xBF") +
            QStringLiteral("KOD;NEV;MEGJ;DB;NAGY;AR;ARANY;NAP;IDO;AKTIV\r\n"
                           "00123;Árvíztűrő tükörfúrógép;\"első sor\r\nmásodik; sor -- /* x */\";5;9007199254740993;"
                           "1234,50;0,125;2026.12.09;2026.12.09 10:11:12;Igen\r\n"
                           "O'Brien;O'Brien Kft.;;;;;;;;\r\n"
                           "\"X;Y\";\"Idézőjel \"\"benne\"\"\";\"egy\nkettő\";-7;-123;0,10;-2,5;1999.01.31;"
                           "2000.02.29 23:59:59;Nem\r\n").toUtf8();
        QCOMPARE(exptest::readFile(written), want);
    }

    // A text that a spreadsheet would run as a formula is written with a
    // leading "'"; a phone number, a negative number written as text and every
    // number column stay as they are.
    void csvTextCell_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("equals") << "=HYPERLINK(\"http://x\";\"y\")" << "'=HYPERLINK(\"http://x\";\"y\")";
        QTest::newRow("plus, command") << "+cmd|' /C calc'!A0" << "'+cmd|' /C calc'!A0";
        QTest::newRow("minus, letter") << "-cmd|' /C calc'!A0" << "'-cmd|' /C calc'!A0";
        QTest::newRow("at") << "@SUM(A1:A9)" << "'@SUM(A1:A9)";
        QTest::newRow("tab") << "\t=1+1" << "'\t=1+1";
        QTest::newRow("carriage return") << "\r=1+1" << "'\r=1+1";
        QTest::newRow("plus alone") << "+" << "'+";
        QTest::newRow("phone number") << "+36 30 123 4567" << "+36 30 123 4567";
        QTest::newRow("plus, blank") << "+ 5" << "+ 5";
        QTest::newRow("negative number as text") << "-5" << "-5";
        QTest::newRow("minus, blank") << "- tétel" << "- tétel";
        QTest::newRow("inside") << "a=1" << "a=1";
        QTest::newRow("empty") << "" << "";
    }
    void csvTextCell() {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QCOMPARE(CsvTextCell(text), written);
    }

    void formulasStayTexts() {
        using vl::db::Column;
        const vl::db::RowSet rows({{"KOD", vl::db::ColType::Text, 40}, {"OSSZEG", vl::db::ColType::Int64}},
                                  {{QStringLiteral("=HYPERLINK(\"http://x\";\"y\")"), qint64(-5)},
                                   {QStringLiteral("+cmd|' /C calc'!A0"), qint64(7)},
                                   {QStringLiteral("@SUM(A1:A9)"), qint64(0)},
                                   {QStringLiteral("+36 30 123 4567"), qint64(-12)},
                                   {QStringLiteral("-5"), qint64(3)}});
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        ExportRequest req;
        req.askToOpen = false;
        req.sheetName = QStringLiteral("K");
        req.fileName = path(QStringLiteral("keplet.csv"));
        QVERIFY(!finishExport(ExportQuery(rows, req, {})).isEmpty());
        QCOMPARE(exptest::readFile(req.fileName),
                 QByteArray("\xEF\xBB\xBF") + QStringLiteral("KOD;OSSZEG\r\n"
                                                            "\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\";-5\r\n"
                                                            "'+cmd|' /C calc'!A0;7\r\n'@SUM(A1:A9);0\r\n"
                                                            "+36 30 123 4567;-12\r\n-5;3\r\n").toUtf8());
        // The spreadsheets store every text as a text cell, never as a formula; numbers as numbers.
        EXPTEST_REQUIRE(hasModule(QStringLiteral("openpyxl")) && hasModule(QStringLiteral("xlrd")),
                        "python3-openpyxl, python3-xlrd");
        req.fileName = path(QStringLiteral("keplet.xlsx"));
        QVERIFY(!finishExport(ExportQuery(rows, req, {})).isEmpty());
        int code = -1;
        QByteArray out = exptest::run(python(), {QStringLiteral("-c"),
            QStringLiteral("import sys, openpyxl; ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                           "for r in ws.iter_rows(min_row=2):\n"
                           "    print(r[0].data_type, r[0].value, r[1].data_type, r[1].value, sep='|')"),
            req.fileName}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("s|=HYPERLINK(\"http://x\";\"y\")|n|-5\ns|+cmd|' /C calc'!A0|n|7\n"
                                                       "s|@SUM(A1:A9)|n|0\ns|+36 30 123 4567|n|-12\ns|-5|n|3\n"));
        req.fileName = path(QStringLiteral("keplet.xls"));
        QVERIFY(!finishExport(ExportQuery(rows, req, {})).isEmpty());
        out = exptest::run(python(), {QStringLiteral("-c"),
            QStringLiteral("import sys, xlrd; s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                           "for i in range(1, s.nrows):\n"
                           "    a, b = s.cell(i, 0), s.cell(i, 1)\n"
                           "    print(a.ctype == xlrd.XL_CELL_TEXT, a.value, b.ctype == xlrd.XL_CELL_NUMBER, b.value, sep='|')"),
            req.fileName}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("True|=HYPERLINK(\"http://x\";\"y\")|True|-5.0\nTrue|+cmd|' /C calc'!A0|True|7.0\n"
                                                       "True|@SUM(A1:A9)|True|0.0\nTrue|+36 30 123 4567|True|-12.0\nTrue|-5|True|3.0\n"));
    }

    // The script replays through the program's own update-script runner
    // without a value changing.
    void sqlReplaysThroughTheRunner() {
        vl::RecordingSink sink;
        ExportRequest req;
        req.tableName = QStringLiteral("EXP2");
        const QString written = exportTo(QStringLiteral("adatok.sql"), sink, req);
        QVERIFY(!written.isEmpty());
        const QByteArray script = exptest::readFile(written);
        QVERIFY(script.contains("Insert Into \"EXP2\" ("));
        // A row's NULL columns are left out of both lists.
        QVERIFY(script.contains("Insert Into \"EXP2\" (\"KOD\",\"NEV\") Values ('O''Brien','O''Brien Kft.');\r\n"));
        db_.conn->exec(QString::fromLatin1(exptest::tableDdl()).arg(QStringLiteral("EXP2")));
        vl::ScopedSink guard(&sink);
        const auto res = vl::shell::RunUpdateScript(*db_.conn, written, true);
        QVERIFY2(res.failed == 0, qPrintable(res.errors.join(QStringLiteral("\n"))));
        QCOMPARE(res.executed, 3);
        const vl::db::RowSet back = db_.rows(QStringLiteral("EXP2"));
        QCOMPARE(back.rowCount(), rows_.rowCount());
        for (int r = 0; r < rows_.rowCount(); ++r)
            for (int c = 0; c < rows_.columnCount(); ++c)
                QVERIFY2(back.at(r, c) == rows_.at(r, c),
                         qPrintable(QStringLiteral("%1/%2: %3 <> %4").arg(r).arg(c).arg(back.at(r, c).toString(),
                                                                                       rows_.at(r, c).toString())));
    }

    // The same script through isql-fb into a fresh database.
    void sqlReplaysThroughIsql() {
        EXPTEST_REQUIRE(exptest::haveTool(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("command -v isql-fb")}),
                        "isql-fb");
        vl::RecordingSink sink;
        ExportRequest req;
        req.tableName = QStringLiteral("EXP2");
        const QString written = exportTo(QStringLiteral("isql.sql"), sink, req);
        const QString fresh = out_.filePath(QStringLiteral("isql.fdb"));
        {
            auto c = exptest::Db::fresh(fresh);
            c->exec(QString::fromLatin1(exptest::tableDdl()).arg(QStringLiteral("EXP2")));
            c->close();
        }
        // The embedded engine of the tests knows no WIN1250 connection: isql
        // reads the same statements as UTF-8.
        QStringDecoder dec("windows-1250");
        QFile f(written + QStringLiteral(".in"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString(dec.decode(exptest::readFile(written))).toUtf8() + "COMMIT;\r\n");
        f.close();
        int code = -1;
        const QByteArray out = exptest::run(QStringLiteral("isql-fb"),
                                            {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                             QStringLiteral("-ch"), QStringLiteral("UTF8"), QStringLiteral("-i"),
                                             written + QStringLiteral(".in"), fresh},
                                            &code);
        QVERIFY2(code == 0, out.constData());
        vl::db::ConnectParams p;
        p.database = fresh;
        auto c = vl::db::connect(p);
        const vl::db::RowSet back = c->query(QString::fromLatin1(exptest::selectAll()).arg(QStringLiteral("EXP2")));
        QCOMPARE(back.rowCount(), rows_.rowCount());
        for (int r = 0; r < rows_.rowCount(); ++r)
            for (int col = 0; col < rows_.columnCount(); ++col)
                QVERIFY2(back.at(r, col) == rows_.at(r, col),
                         qPrintable(QStringLiteral("%1/%2: %3").arg(r).arg(col).arg(back.at(r, col).toString())));
    }

    void nothingToStore() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        bool asked = false;
        ExportHooks hooks;
        hooks.askFileName = [&](const QString&, int) { asked = true; return path(QStringLiteral("ures.xlsx")); };
        QCOMPARE(finishExport(ExportQuery(vl::db::RowSet(rows_.columns(), {}), {}, hooks)), QString());
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Nincs adat, amit tárolni lehetne.")});
        QVERIFY(!asked);
        QVERIFY(!QFile::exists(path(QStringLiteral("ures.xlsx"))));
    }

    void askedNameAndFormat() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        QString suggested;
        int index = 0;
        ExportHooks hooks;
        hooks.askFileName = [&](const QString& sname, int i) {
            suggested = sname;
            index = i;
            return path(QStringLiteral("kerdezett.CSV"));
        };
        ExportRequest req;
        req.suggestedName = QStringLiteral("SZ_SOFOR");
        QCOMPARE(finishExport(ExportQuery(rows_, req, hooks)), path(QStringLiteral("kerdezett.CSV")));
        QCOMPARE(suggested, QStringLiteral("SZ_SOFOR"));
        QCOMPARE(index, 1);
        QVERIFY(exptest::readFile(path(QStringLiteral("kerdezett.CSV"))).startsWith("\xEF\xBB\xBFKOD;"));
        // A cancelled dialog writes nothing and says nothing.
        hooks.askFileName = [](const QString&, int) { return QString(); };
        sink.clear();
        QCOMPARE(finishExport(ExportQuery(rows_, req, hooks)), QString());
        QVERIFY(sink.texts().isEmpty());
    }

    void passwordColumnsNeverReachAFile() {
        using vl::db::Column;
        Column kod{"KOD", vl::db::ColType::Text, 10};
        Column jelszo{"TITOK", vl::db::ColType::Text, 60};
        jelszo.relation = QStringLiteral("SZ_JUZER");
        jelszo.field = QStringLiteral("JELSZO");
        const vl::db::RowSet users({kod, jelszo}, {{QStringLiteral("TVN"), QStringLiteral("$argon2id$titkos")}});
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        for (const QString name : {QStringLiteral("juzer.csv"), QStringLiteral("juzer.txt"), QStringLiteral("juzer.sql"),
                                   QStringLiteral("juzer.xlsx")}) {
            ExportRequest req;
            req.fileName = path(name);
            req.askToOpen = false;
            QVERIFY(!finishExport(ExportQuery(users, req, {})).isEmpty());
            const QByteArray bytes = exptest::readFile(req.fileName);
            QVERIFY(!bytes.isEmpty());
            QVERIFY2(!bytes.contains("titkos") && !bytes.contains("TITOK"), qPrintable(name));
        }
    }

    void unwritableFolder() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        QString dir;
        QTemporaryDir locked;
        if (geteuid() == 0) {
            dir = QStringLiteral("/proc/sys");
        } else {
            dir = locked.path();
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        for (const QString ext : {QStringLiteral("csv"), QStringLiteral("xlsx"), QStringLiteral("sql")}) {
            ExportRequest req;
            req.fileName = dir + QStringLiteral("/lista.") + ext;
            req.askToOpen = false;
            bool raised = false;
            try {
                finishExport(ExportQuery(rows_, req, {}));
            } catch (const vl::Error& e) {
                raised = true;
                QVERIFY2(e.text().startsWith(QStringLiteral("A mappába nem lehet írni: ")), qPrintable(e.text()));
            }
            QVERIFY(raised);
            QVERIFY(!QFile::exists(req.fileName));
        }
        QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // A folder that is not there.
        ExportRequest req;
        req.fileName = path(QStringLiteral("nincs/lista.csv"));
        QVERIFY_THROWS_EXCEPTION(vl::Error, finishExport(ExportQuery(rows_, req, {})));
    }

    // A disk that fills up (a file-size limit in a child process): no half
    // file, the old file of the name is kept whole, no temporary file is left.
    void fullDiskKeepsTheOldFile() {
        QTemporaryDir dir;
        for (const QString ext : {"csv", "txt", "sql", "xlsx", "xlsm"}) {
            QFile f(dir.filePath(QStringLiteral("big.") + ext));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("OLD");
        }
        const QStringList before = filesIn(dir.path());
        int code = -1;
        const QByteArray out = exptest::run(QCoreApplication::applicationFilePath(),
                                            {QStringLiteral("--size-limit-child"), dir.path()}, &code);
        QVERIFY2(code == 0, out.constData());
        QCOMPARE(filesIn(dir.path()), before);
        QVERIFY2(out.contains("csv: A fájl nem írható"), out.constData());
    }

    void cancelLeavesNothing() {
        const vl::db::RowSet big = bigRows(1000);
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        for (const QString name : {QStringLiteral("megszakitott.csv"), QStringLiteral("megszakitott.xlsx"),
                                   QStringLiteral("megszakitott.txt"), QStringLiteral("megszakitott.sql")}) {
            {
                QFile f(path(name));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("OLD");
            }
            ExportRequest req;
            req.fileName = path(name);
            req.askToOpen = false;
            ExportHooks hooks;
            int calls = 0;
            hooks.progress = [&](qint64 done, qint64 total) {
                [&] { QCOMPARE(total, qint64(1000)); }();
                (void)done;
                return ++calls < 3;
            };
            QVERIFY_THROWS_EXCEPTION(ExportCancelled, finishExport(ExportQuery(big, req, hooks)));
            QCOMPARE(exptest::readFile(path(name)), QByteArray("OLD"));
        }
        QCOMPARE(filesIn(out_.path()).filter(QStringLiteral("~vl")), QStringList());
    }

    // A run killed while writing leaves its temporary file; the next export
    // into that folder removes the leftovers of this host's dead runs, never a
    // living run's, another host's or a file that only looks like one.
    void deadRunsLeftoversRemovedByTheNextExport() {
        QTemporaryDir dir;
        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        QVERIFY(gone.waitForStarted());
        const qint64 dead = gone.processId();
        QVERIFY(gone.waitForFinished());
        QVERIFY(dead > 0);
        const QString mine = QFileInfo(vl::db::LeftoverName(dir.path(), QStringLiteral("x"))).fileName();
        const QString host = mine.mid(3, mine.indexOf(QLatin1Char('-')) - 3);
        const QString deadOne = QStringLiteral("~vl%1-%2-000001_regi.xlsx").arg(host).arg(dead);
        const QString living = QStringLiteral("~vl%1-%2-000002_regi.xlsx").arg(host).arg(QCoreApplication::applicationPid());
        const QString otherHost = QStringLiteral("~vlmasikgep-%1-000003_regi.xlsx").arg(dead);
        const QString oldStyle = QStringLiteral("~vl123456_regi.xlsx");
        for (const QString& n : {deadOne, living, otherHost, oldStyle}) {
            QFile f(dir.filePath(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("half");
        }
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        ExportRequest req;
        req.fileName = dir.filePath(QStringLiteral("uj.csv"));
        req.sheetName = QStringLiteral("EXP");
        req.askToOpen = false;
        QCOMPARE(finishExport(ExportQuery(rows_, req, {})), req.fileName);
        QStringList want{living, otherHost, oldStyle, QStringLiteral("uj.csv")};
        want.sort();
        QCOMPARE(filesIn(dir.path()), want);
    }

    void overwriteOnlyWhenAllowed() {
        const QString target = path(QStringLiteral("meglevo.xlsx"));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("OLD");
        }
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        ExportRequest req;
        req.fileName = target;
        req.askToOpen = false;
        req.overwriteAllowed = false;
        // The rule only returns its question: nothing asked, nothing written yet.
        {
            const ExportOutcome asked = ExportQuery(rows_, req, {});
            QVERIFY(asked.asks());
            QVERIFY(!asked.questionDefaultNo);
            QCOMPARE(asked.question, OverwriteQuestion(target));
            QVERIFY(sink.texts().isEmpty());
            QCOMPARE(exptest::readFile(target), QByteArray("OLD"));
            const ExportOutcome no = asked.proceed(false);
            QVERIFY(no.refused());
            QCOMPARE(no.messages, QStringList{InvalidNameText()});
            QCOMPARE(exptest::readFile(target), QByteArray("OLD"));
            // Asked to open after a "yes": the open question is data too.
            ExportRequest open = req;
            open.askToOpen = true;
            QString opened;
            ExportHooks hooks;
            hooks.open = [&](const QString& f) { opened = f; return false; };
            const ExportOutcome written = ExportQuery(rows_, open, hooks).proceed(true);
            QVERIFY(written.asks());
            QCOMPARE(written.question, SpreadsheetDoneText(target) + QStringLiteral("\n") + OpenQuestionTail());
            QVERIFY(exptest::readFile(target).startsWith("PK"));
            QVERIFY(opened.isEmpty());
            const ExportOutcome declined = written.proceed(false);
            QVERIFY(declined.ok);
            QCOMPARE(declined.fileName, target);
            QVERIFY(declined.messages.isEmpty());
            QVERIFY(opened.isEmpty());
            const ExportOutcome unopened = written.proceed(true);
            QCOMPARE(opened, target);
            QCOMPARE(unopened.messages, QStringList{NoOpeningProgramText(target)});
            QVERIFY(unopened.warning);
            QVERIFY(sink.texts().isEmpty());
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("OLD");
        }
        sink.answers = {1}; // "Nem"
        QCOMPARE(finishExport(ExportQuery(rows_, req, {})), QString());
        QCOMPARE(sink.texts(), (QStringList{OverwriteQuestion(target), QStringLiteral("Adjon meg egy érvényes fájlnevet")}));
        QCOMPARE(exptest::readFile(target), QByteArray("OLD"));
        sink.clear();
        sink.answers = {0};
        QCOMPARE(finishExport(ExportQuery(rows_, req, {})), target);
        QVERIFY(exptest::readFile(target).startsWith("PK"));
        // Asked to open: the first button opens the file.
        sink.clear();
        sink.answers = {0};
        req.overwriteAllowed = true;
        req.askToOpen = true;
        QString opened;
        ExportHooks hooks;
        hooks.open = [&](const QString& f) { opened = f; return true; };
        QCOMPARE(finishExport(ExportQuery(rows_, req, hooks)), target);
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("A fájl: ") + target + QStringLiteral(" elkészült: \nKívánja megnyitni?")});
        QCOMPARE(opened, target);
        // No application takes it.
        sink.clear();
        sink.answers = {0};
        hooks.open = [](const QString&) { return false; };
        QCOMPARE(finishExport(ExportQuery(rows_, req, hooks)), target);
        QCOMPARE(sink.texts().last(), QStringLiteral("A fájl elkészült: ") + target +
                                          QStringLiteral(", de nincs program, amely megnyitná."));
    }

    void charactersOutsideTheCodePageAreReported() {
        using vl::db::Column;
        const vl::db::RowSet odd({{"NEV", vl::db::ColType::Text, 20}}, {{QStringLiteral("a中b€ő")}});
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        ExportRequest req;
        req.fileName = path(QStringLiteral("kodlap.txt"));
        QVERIFY(!finishExport(ExportQuery(odd, req, {})).isEmpty());
        QCOMPARE(sink.texts().size(), 1);
        QVERIFY2(sink.texts().first().startsWith(QStringLiteral("1 karakter")), qPrintable(sink.texts().first()));
        QStringEncoder enc("windows-1250");
        QCOMPARE(exptest::readFile(req.fileName), enc.encode(QStringLiteral("a?b€ő").leftJustified(22) + "\r\n"));
    }

    // The other formats go to their own writers, through the same temporary file.
    void tableFilesAndXls() {
        EXPTEST_REQUIRE(hasModule(QStringLiteral("xlrd")) && hasModule(QStringLiteral("dbfread")), "python3-xlrd, python3-dbfread");
        vl::RecordingSink sink;
        ExportRequest xls;
        xls.sheetName = QStringLiteral("EXP:1"); // a sheet name is made valid, not refused
        QString written = exportTo(QStringLiteral("regi.xls"), sink, xls);
        int code = -1;
        QByteArray out = exptest::run(python(), {QStringLiteral("-c"),
            QStringLiteral("import sys, xlrd; b = xlrd.open_workbook(sys.argv[1]); s = b.sheet_by_index(0);"
                           " print(s.name, s.nrows, s.cell_value(1, 0))"), written}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(out.trimmed(), QByteArray("EXP_1 4 00123"));
        written = exportTo(QStringLiteral("tabla.dbf"), sink);
        out = exptest::run(python(), {QStringLiteral("-c"),
            QStringLiteral("import sys, dbfread; t = dbfread.DBF(sys.argv[1]); r = list(t); print(len(r), r[0]['KOD'])"),
            written}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(out.trimmed(), QByteArray("3 00123"));
        written = exportTo(QStringLiteral("tabla.db"), sink);
        QVERIFY(QFileInfo(written).size() > 2048);
        QCOMPARE(filesIn(out_.path()).filter(QStringLiteral("~vl")), QStringList());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--size-limit-child") == 0) {
        QCoreApplication app(argc, argv);
        return sizeLimitChild(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestExportFiles t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_export_files.moc"
