// The dBASE and Paradox writers: files read back by dbfread and by a Paradox
// reader of our own (readers/paradox_read.py), never by the library that wrote them.
#include "WriterFixture.h"
#include "WriterReaders.h"

#include "exchange/DbfWriter.h"
#include "exchange/ParadoxWriter.h"
#include "exchange/XlsWriter.h"
#include "exchange/TableFileFields.h"
#include "shell/Cp1250.h"
#include "util/MessageSink.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>

using namespace vl::exchange;
using namespace vl::exchange::test;

namespace {

QJsonArray row(std::initializer_list<QJsonValue> values) { return QJsonArray(values); }

enum class Format { Dbf, Paradox, Xls };

void writeFile(Format f, RowSource& src, const QString& path, const Progress& progress = {})
{
    if (f == Format::Dbf) WriteDbf(src, path, progress);
    else if (f == Format::Paradox) WriteParadox(src, path, QStringLiteral("Lista"), progress);
    else WriteXls(src, path, QStringLiteral("Lista"), progress);
}

QString errorPrefix(Format f)
{
    return f == Format::Dbf ? QStringLiteral("A dBase fájl")
           : f == Format::Paradox ? QStringLiteral("A Paradox fájl") : QStringLiteral("Az Excel fájl");
}

int filesIn(const QString& dir) { return int(QDir(dir).entryList(QDir::Files | QDir::Hidden).size()); }

} // namespace

Q_DECLARE_METATYPE(Format)

class TstTableFiles : public QObject {
    Q_OBJECT
private slots:
    void fieldNames_data();
    void fieldNames();
    void dbfReadBackByDbfread();
    void paradoxReadBackByOwnReader();
    void unrepresentableCharactersAreReplacedAndReported_data();
    void unrepresentableCharactersAreReplacedAndReported();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();
    void failuresKeepAnExistingFile_data();
    void failuresKeepAnExistingFile();
};

void TstTableFiles::fieldNames_data()
{
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<int>("max");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("dbase cut to 10") << QStringList{QStringLiteral("MEGJEGYZES_HOSSZU"), QStringLiteral("KOD")} << 10
                                     << true << QStringList{QStringLiteral("MEGJEGYZES"), QStringLiteral("KOD")};
    QTest::newRow("dbase accents dropped")
        << QStringList{QStringLiteral("ügyfél név"), QStringLiteral("1sz")} << 10 << true
        << QStringList{QStringLiteral("UGYFEL_NEV"), QStringLiteral("F1SZ")};
    QTest::newRow("dbase alike after the cut")
        << QStringList{QStringLiteral("CIMNEV_ELSO"), QStringLiteral("CIMNEV_ELSO2"), QStringLiteral("cimnev_els")} << 10
        << true << QStringList{QStringLiteral("CIMNEV_ELS"), QStringLiteral("CIMNEV_E_2"), QStringLiteral("CIMNEV_E_3")};
    QTest::newRow("paradox keeps accents") << QStringList{QStringLiteral("Ügyfél"), QStringLiteral("ügyfél")} << 25
                                           << false << QStringList{QStringLiteral("Ügyfél"), QStringLiteral("ügyfél_2")};
    QTest::newRow("empty name") << QStringList{QString()} << 25 << false << QStringList{QStringLiteral("F1")};
}

void TstTableFiles::fieldNames()
{
    QFETCH(QStringList, columns);
    QFETCH(int, max);
    QFETCH(bool, ascii);
    QFETCH(QStringList, expected);
    QList<vl::db::Column> cols;
    for (const QString& c : columns) cols << col(c, vl::db::ColType::Text, 5);
    const QList<QByteArray> names =
        tableFileFieldNames(cols, max, ascii ? FieldNameForm::AsciiUpper : FieldNameForm::Cp1250);
    QStringList got;
    for (const QByteArray& n : names) {
        QVERIFY(n.size() <= max);
        got << vl::shell::fromCp1250(n);
    }
    QCOMPARE(got, expected);
}

void TstTableFiles::dbfReadBackByDbfread()
{
    VL_REQUIRE_READER(hasPythonModule(QStringLiteral("dbfread")), QStringLiteral("python3-dbfread"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.tmp")); // the exact name, whatever its extension
    const vl::db::RowSet rows = writerFixture();
    RowSetSource src(rows);
    vl::RecordingSink sink;
    vl::setMessageSink(&sink);
    WriteDbf(src, path, {});
    vl::setMessageSink(nullptr);
    QCOMPARE(sink.texts(), QStringList());
    QCOMPARE(filesIn(dir.path()), 1);

    const QJsonObject t = readWith(QStringLiteral("dbf_read.py"), {path});
    QCOMPARE(t.value(QStringLiteral("ldid")).toInt(), 0xC8); // Windows East European, code page 1250
    QCOMPARE(t.value(QStringLiteral("encoding")).toString(), QStringLiteral("cp1250"));
    const QJsonArray fields{
        row({"KOD", "C", 10, 0}),     row({"NEV", "C", 40, 0}),   row({"MEGJ", "C", 254, 0}),
        row({"NAGY", "N", 20, 0}),    row({"DB", "N", 11, 0}),    row({"KICSI", "N", 6, 0}),
        row({"AR", "N", 20, 2}),      row({"ARANY", "N", 20, 5}), row({"DATUM", "D", 8, 0}),
        row({"IDO", "C", 19, 0}),     row({"AKTIV", "L", 1, 0})};
    QCOMPARE(t.value(QStringLiteral("fields")).toArray(), fields);

    const QJsonArray got = t.value(QStringLiteral("rows")).toArray();
    QCOMPARE(got.size(), 3);
    QCOMPARE(got.at(0).toArray(),
             row({"00123", QStringLiteral("Árvíztűrő tükörfúrógép"), QStringLiteral("első sor\nmásodik sor"),
                  123456789012.0, 42, -7, 5000.5, 0.12346, "2026.12.09", "2026.12.09 08:30:15", true}));
    // NULL: 0 in the numeric fields, the empty value in the others.
    QCOMPARE(got.at(1).toArray(), row({"O'Brien", QStringLiteral("Kőműves \"Kft\"; /* x */ --"), "", 0, 0, 0, 0.0,
                                       0.0, QJsonValue(), "", QJsonValue()}));
    QCOMPARE(got.at(2).toArray(), row({QStringLiteral("ŐŰ-1"), QStringLiteral("őű ŐŰ € ä"), "tab\tvan", -98765, 0,
                                       32000, -0.25, -1234.56789, "1999.01.31", "2000.02.29 23:59:59", false}));
}

void TstTableFiles::paradoxReadBackByOwnReader()
{
    VL_REQUIRE_READER(QFile::exists(python()) || !QStandardPaths::findExecutable(python()).isEmpty(),
                      QStringLiteral("python3"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.tmp"));
    const vl::db::RowSet rows = writerFixture();
    RowSetSource src(rows);
    WriteParadox(src, path, QStringLiteral("Ügyfél lista"), {});
    QCOMPARE(filesIn(dir.path()), 1);

    const QJsonObject t = readWith(QStringLiteral("paradox_read.py"), {path});
    QCOMPARE(t.value(QStringLiteral("codepage")).toInt(), 1250);
    QCOMPARE(t.value(QStringLiteral("table")).toString(), QStringLiteral("Ügyfél lista"));
    QCOMPARE(t.value(QStringLiteral("records")).toInt(), 3);
    const QJsonArray fields{
        row({"KOD", "alpha", 10}),    row({"NEV", "alpha", 40}),    row({"MEGJ", "alpha", 255}),
        row({"NAGY", "number", 8}),   row({"DB", "long", 4}),       row({"KICSI", "short", 2}),
        row({"AR", "number", 8}),     row({"ARANY", "number", 8}),  row({"DATUM", "date", 4}),
        row({"IDO", "timestamp", 8}), row({"AKTIV", "logical", 1})};
    QCOMPARE(t.value(QStringLiteral("fields")).toArray(), fields);

    const QJsonArray got = t.value(QStringLiteral("rows")).toArray();
    QCOMPARE(got.size(), 3);
    QCOMPARE(got.at(0).toArray(),
             row({"00123", QStringLiteral("Árvíztűrő tükörfúrógép"), QStringLiteral("első sor\nmásodik sor"),
                  123456789012.0, 42, -7, 5000.5, 0.1234567, "2026.12.09", "2026.12.09 08:30:15", true}));
    // NULL: 0 in the numeric fields; the others stay empty (no value).
    QCOMPARE(got.at(1).toArray(), row({"O'Brien", QStringLiteral("Kőműves \"Kft\"; /* x */ --"), QJsonValue(), 0.0, 0,
                                       0, 0.0, 0.0, QJsonValue(), QJsonValue(), QJsonValue()}));
    QCOMPARE(got.at(2).toArray(), row({QStringLiteral("ŐŰ-1"), QStringLiteral("őű ŐŰ € ä"), "tab\tvan", -98765.0, 0,
                                       32000, -0.25, -1234.56789, "1999.01.31", "2000.02.29 23:59:59", false}));
}

void TstTableFiles::unrepresentableCharactersAreReplacedAndReported_data()
{
    QTest::addColumn<Format>("format");
    QTest::newRow("dbf") << Format::Dbf;
    QTest::newRow("paradox") << Format::Paradox;
}

// A character windows-1250 cannot hold becomes '?', and the export says so.
void TstTableFiles::unrepresentableCharactersAreReplacedAndReported()
{
    QFETCH(Format, format);
    if (format == Format::Dbf)
        VL_REQUIRE_READER(hasPythonModule(QStringLiteral("dbfread")), QStringLiteral("python3-dbfread"));
    const vl::db::RowSet rows({col(QStringLiteral("NEV"), vl::db::ColType::Text, 20)},
                              {{QStringLiteral("hó ☃ ember")}, {QStringLiteral("rendben")}, {QStringLiteral("日本")}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("jelek.tmp"));
    RowSetSource src(rows);
    vl::RecordingSink sink;
    vl::setMessageSink(&sink);
    writeFile(format, src, path);
    vl::setMessageSink(nullptr);
    QCOMPARE(sink.messages.size(), 1);
    QCOMPARE(sink.messages.at(0).first, vl::MsgKind::Warning);
    QVERIFY2(sink.last().startsWith(QStringLiteral("2 értékben volt a windows-1250 kódlapon nem ábrázolható karakter")),
             qPrintable(sink.last()));

    const QJsonObject t = readWith(format == Format::Dbf ? QStringLiteral("dbf_read.py") : QStringLiteral("paradox_read.py"),
                                   {path});
    const QJsonArray got = t.value(QStringLiteral("rows")).toArray();
    QCOMPARE(got.size(), 3);
    QCOMPARE(got.at(0).toArray().at(0).toString(), QStringLiteral("hó ? ember"));
    QCOMPARE(got.at(1).toArray().at(0).toString(), QStringLiteral("rendben"));
    QCOMPARE(got.at(2).toArray().at(0).toString(), QStringLiteral("??"));
}

void TstTableFiles::failuresLeaveNoFile_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<QString>("failure");
    for (const QString& failure : {QStringLiteral("cancel"), QStringLiteral("missing folder"), QStringLiteral("full disk")}) {
        QTest::newRow(qPrintable(QStringLiteral("dbf ") + failure)) << Format::Dbf << failure;
        QTest::newRow(qPrintable(QStringLiteral("paradox ") + failure)) << Format::Paradox << failure;
    }
}

// A cancel, a missing folder and a full disk (a file-size limit stands in for
// it) each end with a clear error and leave no file behind.
void TstTableFiles::failuresLeaveNoFile()
{
    QFETCH(Format, format);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const QString path = failure == QStringLiteral("missing folder") ? dir.filePath(QStringLiteral("nincs/ilyen/t.tmp"))
                                                                     : dir.filePath(QStringLiteral("t.tmp"));
    CountingSource src(20000);
    if (failure == QStringLiteral("cancel")) {
        QVERIFY_THROWS_EXCEPTION(ExportCancelled,
                                 writeFile(format, src, path, [](qint64 done, qint64) { return done < 1000; }));
    } else {
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (failure == QStringLiteral("full disk")) {
            rlimit small = old;
            small.rlim_cur = 64 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        QString text;
        try {
            writeFile(format, src, path);
        } catch (const ExportCancelled&) {
            text = QStringLiteral("cancelled");
        } catch (const vl::Error& e) {
            text = e.text();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY2(text.startsWith(errorPrefix(format)), qPrintable(text));
    }
    QVERIFY(!QFile::exists(path));
    QCOMPARE(filesIn(dir.path()), 0);
}

void TstTableFiles::failuresKeepAnExistingFile_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<bool>("fullDisk"); // else cancelled
    for (bool full : {false, true}) {
        const QString what = full ? QStringLiteral(" full disk") : QStringLiteral(" cancel");
        QTest::newRow(qPrintable(QStringLiteral("dbf") + what)) << Format::Dbf << full;
        QTest::newRow(qPrintable(QStringLiteral("paradox") + what)) << Format::Paradox << full;
        QTest::newRow(qPrintable(QStringLiteral("xls") + what)) << Format::Xls << full;
    }
}

// A file already at the name given is neither cut nor removed when the writing fails.
void TstTableFiles::failuresKeepAnExistingFile()
{
    QFETCH(Format, format);
    QFETCH(bool, fullDisk);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("meglevo.tmp"));
    const QByteArray old = "a régi fájl tartalma\n";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    CountingSource src(20000);
    bool failed = false;
    if (!fullDisk) {
        try {
            writeFile(format, src, path, [](qint64 done, qint64) { return done < 1000; });
        } catch (const ExportCancelled&) {
            failed = true;
        }
    } else {
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit saved = limit;
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        limit.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        try {
            writeFile(format, src, path);
        } catch (const vl::Error&) {
            failed = true;
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }
    QVERIFY(failed);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), old);
    QCOMPARE(filesIn(dir.path()), 1);
}

QTEST_GUILESS_MAIN(TstTableFiles)
#include "tst_tablefiles.moc"
