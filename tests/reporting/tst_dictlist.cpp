// The data-dictionary list: its layout rules on fixtures, the rows of a table
// read from a real database (VEZERLO columns, key, active filter, passwords
// left out, names checked against the catalogue) and vorlanda-admin list.
#include "PdfTools.h"
#include "db/Catalogue.h"
#include "reporting/DictionaryList.h"
#include "reporting/Engine.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"
#include "db/SchemaRegistry.h"
#include "framework/FrameworkSchema.h"

#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace vl::reporting;
using namespace vl::reporting::test;
using vl::db::Column;
using vl::db::ColType;
using vl::db::RowSet;

Q_DECLARE_METATYPE(QList<int>)

namespace {

Column text(const QString& name, int len) { return Column{name, ColType::Text, len, 0}; }

RowSet oneRow(const QList<Column>& cols, const QVariantList& values) {
    std::vector<QVariantList> rows;
    rows.push_back(values);
    return RowSet(cols, std::move(rows));
}

QString writeLogo(const QString& path, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setBrush(QColor(0, 90, 160));
    p.drawEllipse(QRect(4, 4, w - 8, h - 8));
    p.end();
    img.save(path);
    return path;
}

const Item* findItem(const Document& doc, int page, const QString& name) {
    for (const Item& it : doc.pages[page].items)
        if (it.name == name) return &it;
    return nullptr;
}

} // namespace

class TestDictList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void layoutRules_data();
    void layoutRules();
    void rowsSplitLikeNamesAndLongValuesShift();
    void logo();
    void emptyRowsPrintNothing();
    void tableRowsFromDatabase();
    void passwordsNeverPrinted();
    void keywordColumns();
    void tableNameChecked_data();
    void tableNameChecked();
    void adminListCommand();
private:
    void createDatabase();
    QTemporaryDir dbDir_;
    QString dbPath_;
    std::unique_ptr<vl::db::Connection> conn_;
};

void TestDictList::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Hungarian));
    vl::db::prepareEmbeddedEngine();
    createDatabase();
}

void TestDictList::layoutRules_data() {
    QTest::addColumn<QList<int>>("lengths");      // text columns of these lengths, named A, B, C ...
    QTest::addColumn<QString>("line1Names");
    QTest::addColumn<QString>("line2Names");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<double>("ruleSize");
    QTest::addColumn<double>("printedSize");
    QTest::addColumn<int>("line1Length");
    // Three short columns: portrait, 10 points, one header line.
    QTest::newRow("three short") << QList<int>{10, 30, 1} << "A B C" << "" << false << 10.0 << 10.0 << 47;
    // The third would bring line 1 to 208 or more: it goes to line 2; 180 or more: landscape, 6 points.
    QTest::newRow("to line 2") << QList<int>{100, 100, 5} << "A B" << "C" << true << 6.0 << 6.0 << 204;
    // A later, narrower column may still go to line 1.
    QTest::newRow("narrow back to line 1") << QList<int>{100, 100, 10, 1} << "A B D" << "C" << true << 6.0 << 6.0 << 207;
    QTest::newRow("landscape 10") << QList<int>{50, 60} << "A B" << "" << true << 10.0 << 10.0 << 114;
    QTest::newRow("landscape 8") << QList<int>{70, 76} << "A B" << "" << true << 8.0 << 8.0 << 150;
    // 97 characters at 10 points would run past the right margin of portrait A4.
    QTest::newRow("portrait shrinks to fit") << QList<int>{45, 48} << "A B" << "" << false << 10.0 << 9.0 << 97;
}

void TestDictList::layoutRules() {
    QFETCH(QList<int>, lengths);
    QFETCH(QString, line1Names);
    QFETCH(QString, line2Names);
    QFETCH(bool, landscape);
    QFETCH(double, ruleSize);
    QFETCH(double, printedSize);
    QFETCH(int, line1Length);
    QList<Column> cols;
    for (int i = 0; i < lengths.size(); ++i) cols << text(QString(QChar('A' + i)), lengths[i]);
    const RowSet rows(cols, {});
    const ListLayout L = computeListLayout(rows);
    QCOMPARE(L.line1.simplified(), line1Names);
    QCOMPARE(L.line2.simplified(), line2Names);
    QCOMPARE(int(L.line1.size()), line1Length);
    QCOMPARE(L.landscape, landscape);
    QCOMPARE(L.headerFontSize, ruleSize);
    QCOMPARE(L.fontSize, printedSize);
    // The printed header line fits the printable width.
    const double width = (landscape ? 297.0 : 210.0) - 20.0;
    QVERIFY(L.line1.size() * 0.6 * L.fontSize * 25.4 / 72 <= width + 0.01);
}

void TestDictList::rowsSplitLikeNamesAndLongValuesShift() {
    // A name longer than its display width sets the width; an integer column is 11 wide.
    QList<Column> cols{text(QStringLiteral("KOD"), 2), Column{QStringLiteral("SORSZAM"), ColType::Int32, 0, 0},
                       text(QStringLiteral("NEV"), 5)};
    const ListLayout L = computeListLayout(RowSet(cols, {}));
    QCOMPARE(L.widths, (QList<int>{3, 11, 5}));
    QCOMPARE(L.line1, QStringLiteral("KOD  SORSZAM      NEV    "));

    std::vector<QVariantList> data;
    data.push_back({QStringLiteral("AB"), qint64(7), QStringLiteral("Őz")});
    data.push_back({QStringLiteral("ABCDEFG"), qint64(12), QStringLiteral("Űrhajó")});
    const Report r = dictionaryListReport(QStringLiteral("Próba"), RowSet(cols, std::move(data)), QString());
    const Document doc = layout(r);
    QCOMPARE(doc.pageCount(), 1);
    const QStringList texts = doc.pageTexts(0);
    QVERIFY(texts.contains(QStringLiteral("AB   7            Őz     ")));
    // Not cut: the long value pushes the rest of its row to the right, one blank kept.
    QVERIFY(texts.contains(QStringLiteral("ABCDEFG 12           Űrhajó ")));
    QVERIFY(texts.contains(QStringLiteral("Próba")));
    QVERIFY(texts.contains(QStringLiteral("Lapszám: 1")));
    QVERIFY(texts.filter(QStringLiteral("Készült: ")).size() == 1);
    QCOMPARE(doc.orientation, QPageLayout::Portrait);
}

void TestDictList::logo() {
    QTemporaryDir dir;
    const RowSet rows = oneRow({text(QStringLiteral("KOD"), 5)}, {QStringLiteral("X")});
    // No logo: the header prints without a picture.
    Document doc = layout(dictionaryListReport(QStringLiteral("Lista"), rows, QString()));
    QVERIFY(!findItem(doc, 0, QStringLiteral("I_logo")));
    // A picture twice as wide as high keeps its proportions at the logo's height.
    const QString png = writeLogo(dir.filePath(QStringLiteral("logo.png")), 200, 100);
    doc = layout(dictionaryListReport(QStringLiteral("Lista"), rows, png));
    const Item* logo = findItem(doc, 0, QStringLiteral("I_logo"));
    QVERIFY(logo);
    const double unit = 25.4 / 96;
    QVERIFY(qAbs(logo->rect.height() - 50 * unit) < 0.01);
    QVERIFY(qAbs(logo->rect.width() - 100 * unit) < 0.01);

    // The logo comes from LOGO_KEP of the configuration when that file exists.
    const QString ini = dir.filePath(QStringLiteral("PKR.INI"));
    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("LOGO_KEP=%1\r\n").arg(png).toLocal8Bit());
    f.close();
    QVERIFY(vl::shell::IniLoad(ini, true));
    QCOMPARE(configuredLogoPath(), QFileInfo(png).absoluteFilePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("LOGO_KEP=%1\r\n").arg(dir.filePath(QStringLiteral("nincs.png"))).toLocal8Bit());
    f.close();
    QVERIFY(vl::shell::IniLoad(ini, true));
    QCOMPARE(configuredLogoPath(), QString());
    vl::shell::IniClear();
}

void TestDictList::emptyRowsPrintNothing() {
    const Document doc = layout(dictionaryListReport(QStringLiteral("Üres"), RowSet({text(QStringLiteral("KOD"), 5)}, {}), QString()));
    QCOMPARE(doc.pageCount(), 0);
}

void TestDictList::createDatabase() {
    QVERIFY(dbDir_.isValid());
    dbPath_ = dbDir_.filePath(QStringLiteral("lista.fdb"));
    vl::db::ConnectParams p;
    p.database = dbPath_;
    conn_ = vl::db::createFirebirdDatabase(p);
    // The shell's and the framework's tables (users, control tables), and a
    // driver table of the test's own for the refused names to aim at.
    vl::db::SchemaRegistry registry;
    vl::framework::registerSchema(registry);
    registry.upgrade(*conn_);
    {
        auto tx = conn_->begin();
        registry.seed(*tx, {QStringLiteral("2026"), vl::db::SeedScope::All});
        tx->commit();
    }
    conn_->exec(QStringLiteral("CREATE TABLE SZ_SOFOR (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), AKTIV VARCHAR(1),"
                               " CONSTRAINT PK_SZ_SOFOR PRIMARY KEY (KOD))"));
    conn_->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Sofőr Egy', 'I')"));
    conn_->exec(QStringLiteral("CREATE TABLE T_LISTA (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(40), JELKOD VARCHAR(20),"
                               " REJTETT VARCHAR(10), MEGJ BLOB SUB_TYPE TEXT, AKTIV VARCHAR(1),"
                               " CONSTRAINT PK_T_LISTA PRIMARY KEY (KOD))"));
    auto tx = conn_->begin();
    const QString ins = QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, OSZLOPNEV, PWDCHAR, NEZHETI_JOG) "
                                       "VALUES ('T_LISTA', :sorrend, :mezo, :oszlop, :pwd, :nezheti)");
    tx->exec(ins, {{"sorrend", 1}, {"mezo", "NEV"}, {"oszlop", "Név"}, {"pwd", QVariant()}, {"nezheti", QVariant()}});
    tx->exec(ins, {{"sorrend", 2}, {"mezo", "JELKOD"}, {"oszlop", "Jelkód"}, {"pwd", "*"}, {"nezheti", QVariant()}});
    tx->exec(ins, {{"sorrend", 3}, {"mezo", "REJTETT"}, {"oszlop", "Rejtett"}, {"pwd", QVariant()}, {"nezheti", "x"}});
    tx->exec(ins, {{"sorrend", 4}, {"mezo", "NINCSILYEN"}, {"oszlop", "Nincs"}, {"pwd", QVariant()}, {"nezheti", QVariant()}});
    tx->exec(ins, {{"sorrend", 5}, {"mezo", "megj"}, {"oszlop", "Megjegyzés"}, {"pwd", QVariant()}, {"nezheti", QVariant()}});
    tx->exec(QStringLiteral("UPDATE OR INSERT INTO TABLAK (TABLANEV, MEGNEVEZES) VALUES ('T_LISTA', :cim) MATCHING (TABLANEV)"),
             {{"cim", QStringLiteral("Próbalista őŐűŰáé")}});
    // 150 rows, every tenth inactive; names sort in reverse of the keys.
    auto st = tx->prepare(QStringLiteral("INSERT INTO T_LISTA (KOD, NEV, JELKOD, REJTETT, MEGJ, AKTIV) "
                                         "VALUES (:kod, :nev, :jelkod, :rejtett, :megj, :aktiv)"));
    for (int i = 1; i <= 150; ++i) {
        st->bindAll({{"kod", QStringLiteral("K%1").arg(i, 3, 10, QLatin1Char('0'))},
                     {"nev", QStringLiteral("Név %1 árvíztűrő").arg(1000 - i)},
                     {"jelkod", QStringLiteral("TITOK%1").arg(i)},
                     {"rejtett", QStringLiteral("REJT%1").arg(i)},
                     {"megj", QStringLiteral("első sor\r\nmásodik sor")},
                     {"aktiv", i % 10 == 0 ? QStringLiteral("N") : QStringLiteral("I")}});
        st->execute();
    }
    st.reset();
    tx->exec(QStringLiteral("INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) VALUES ('ADMIN', 'Rendszergazda Ödön', "
                            "'$argon2id$v=19$TITKOSHASH', 'W', 'I')"));
    tx->commit();
}

void TestDictList::tableRowsFromDatabase() {
    DictionaryListData d = dictionaryListData(*conn_, QStringLiteral("t_lista"));
    QVERIFY2(d.ok, qPrintable(d.error));
    QCOMPARE(d.table, QStringLiteral("T_LISTA"));
    QCOMPARE(d.title, QStringLiteral("Próbalista őŐűŰáé"));
    // VEZERLO fields in order (hidden, password and unknown ones left out), then the key.
    QCOMPARE(d.columns, (QStringList{QStringLiteral("NEV"), QStringLiteral("MEGJ"), QStringLiteral("KOD")}));
    QCOMPARE(d.rows.rowCount(), 135);      // only the active rows
    // Ordered by the first field.
    QCOMPARE(d.rows.at(0, 0).toString(), QStringLiteral("Név 851 árvíztűrő"));
    d = dictionaryListData(*conn_, QStringLiteral("T_LISTA"), false);
    QCOMPARE(d.rows.rowCount(), 150);

    const Document doc = layout(dictionaryListReport(d.title, d.rows, QString()));
    QVERIFY(doc.pageCount() >= 3);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("t_lista.pdf"));
    QVERIFY(writePdf(doc, pdf));
    firstPagePng(pdf, QStringLiteral("dictlist_t_lista"));
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), doc.pageCount());
    for (int p = 0; p < pages.size(); ++p) {
        QVERIFY(pages[p].contains(QStringLiteral("Lapszám: %1").arg(p + 1)));
        QVERIFY(pages[p].contains(QStringLiteral("Próbalista őŐűŰáé")));
        QVERIFY(pages[p].contains(QStringLiteral("NEV")));   // the column header on every page
    }
    const QString all = pages.join(QLatin1Char('\n'));
    for (int i = 1; i <= 150; ++i) QVERIFY(all.contains(QStringLiteral("Név %1 árvíztűrő").arg(1000 - i)));
    // A memo's line break becomes a blank in its list line.
    QVERIFY(all.contains(QStringLiteral("első sor második sor")));
    QVERIFY(!all.contains(QStringLiteral("TITOK")));
    QVERIFY(!all.contains(QStringLiteral("REJT")));
}

void TestDictList::passwordsNeverPrinted() {
    QVERIFY(passwordColumns(*conn_, QStringLiteral("SZ_JUZER")).contains(QStringLiteral("JELSZO")));
    QVERIFY(passwordColumns(*conn_, QStringLiteral("T_LISTA")).contains(QStringLiteral("JELKOD")));
    const DictionaryListData d = dictionaryListData(*conn_, QStringLiteral("SZ_JUZER"));
    QVERIFY2(d.ok, qPrintable(d.error));
    QVERIFY(!d.columns.contains(QStringLiteral("JELSZO")));
    QVERIFY(d.columns.contains(QStringLiteral("NEV")));
    const Document doc = layout(dictionaryListReport(d.title, d.rows, QString()));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("juzer.pdf"));
    QVERIFY(writePdf(doc, pdf));
    const QString all = pdfText(pdf);
    QVERIFY(all.contains(QStringLiteral("Rendszergazda Ödön")));
    QVERIFY(!all.contains(QStringLiteral("TITKOSHASH")));
    QVERIFY(!all.contains(QStringLiteral("JELSZO")));
    // A row set a caller brings (the editor's browse rows) loses its password columns too.
    const RowSet browse = conn_->query(QStringLiteral("SELECT KOD, NEV, JELSZO FROM SZ_JUZER"));
    const RowSet safe = withoutPasswordColumns(*conn_, QStringLiteral("SZ_JUZER"), browse);
    QCOMPARE(safe.columnCount(), 2);
    QCOMPARE(safe.indexOf(QStringLiteral("JELSZO")), -1);
    QCOMPARE(safe.rowCount(), browse.rowCount());
}

// A dictionary whose columns are named like keywords: every name goes into the
// statement quoted, so they stay names.
void TestDictList::keywordColumns() {
    conn_->exec(QStringLiteral("CREATE TABLE T_FOGLALT (\"POSITION\" VARCHAR(10) NOT NULL, \"VALUE\" VARCHAR(20),"
                               " CONSTRAINT PK_T_FOGLALT PRIMARY KEY (\"POSITION\"))"));
    conn_->exec(QStringLiteral("INSERT INTO T_FOGLALT (\"POSITION\", \"VALUE\") VALUES ('B', 'második')"));
    conn_->exec(QStringLiteral("INSERT INTO T_FOGLALT (\"POSITION\", \"VALUE\") VALUES ('A', 'első')"));
    DictionaryListData d;
    try {
        d = dictionaryListData(*conn_, QStringLiteral("T_FOGLALT"));
    } catch (const vl::db::DbError& e) {
        QFAIL(qPrintable(e.statement() + QLatin1Char('\n') + e.text()));
    }
    QVERIFY2(d.ok, qPrintable(d.error));
    QCOMPARE(d.columns, (QStringList{QStringLiteral("POSITION"), QStringLiteral("VALUE")}));
    QCOMPARE(d.rows.rowCount(), 2);
    QCOMPARE(d.rows.at(0, 1).toString(), QStringLiteral("első")); // ordered by the key
}

void TestDictList::tableNameChecked_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("unknown") << "NINCSILYEN";
    QTest::newRow("statement") << "SZ_SOFOR; DELETE FROM SZ_SOFOR";
    QTest::newRow("comment") << "SZ_SOFOR --";
    QTest::newRow("quoted") << "\"SZ_SOFOR\"";
    QTest::newRow("empty") << "";
}

void TestDictList::tableNameChecked() {
    QFETCH(QString, name);
    const qint64 before = conn_->query(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR")).at(0, 0).toLongLong();
    const DictionaryListData d = dictionaryListData(*conn_, name);
    QVERIFY(!d.ok);
    QCOMPARE(d.error, QStringLiteral("Nincs ilyen tábla:") + name.trimmed().toUpper());
    QCOMPARE(conn_->query(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR")).at(0, 0).toLongLong(), before);
}

void TestDictList::adminListCommand() {
    QTemporaryDir dir;
    const QString png = writeLogo(dir.filePath(QStringLiteral("logo.png")), 300, 120);
    const QString ini = dir.filePath(QStringLiteral("PKR.INI"));
    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("DBSERVER=%1\r\nLOGO_KEP=%2\r\n").arg(dbPath_, png).toLocal8Bit());
    f.close();
    auto run = [&](const QStringList& args, QString* out, QString* err) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(VL_ADMIN_EXE), QStringList{QStringLiteral("--ini"), ini} + args);
        p.waitForFinished(120000);
        if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out, err;
    // A relative file name is meant from where the command started.
    QCOMPARE(run({QStringLiteral("list"), QStringLiteral("SZ_JUZER"), QStringLiteral("--pdf"), QStringLiteral("juzer.pdf")}, &out, &err), 0);
    const QString pdf = dir.filePath(QStringLiteral("juzer.pdf"));
    QVERIFY2(QFile::exists(pdf), qPrintable(out + err));
    firstPagePng(pdf, QStringLiteral("admin_list_sz_juzer"));
    const QString all = pdfText(pdf);
    QVERIFY(all.contains(QStringLiteral("Rendszergazda Ödön")));
    QVERIFY(!all.contains(QStringLiteral("TITKOSHASH")));
    QVERIFY(all.contains(QStringLiteral("Lapszám: 1")));
    // The logo is on the page (an image in the PDF).
    QVERIFY(runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() >= 3);

    // Many rows: several pages, each numbered; inactive rows with --mind only.
    QCOMPARE(run({QStringLiteral("list"), QStringLiteral("T_LISTA"), QStringLiteral("--pdf"), dir.filePath(QStringLiteral("t.pdf")),
                  QStringLiteral("--mind")}, &out, &err), 0);
    QVERIFY(out.contains(QStringLiteral("T_LISTA: 150 sor")));
    const QStringList pages = pdfPages(dir.filePath(QStringLiteral("t.pdf")));
    QVERIFY(pages.size() >= 3);
    QVERIFY(pages.last().contains(QStringLiteral("Lapszám: %1").arg(pages.size())));

    // Refusals: unknown or spliced table names, missing arguments, an unwritable file.
    QCOMPARE(run({QStringLiteral("list"), QStringLiteral("SZ_SOFOR;DROP"), QStringLiteral("--pdf"), QStringLiteral("x.pdf")}, &out, &err), 1);
    QVERIFY(err.contains(QStringLiteral("Nincs ilyen tábla:SZ_SOFOR;DROP")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.pdf"))));
    QCOMPARE(run({QStringLiteral("list"), QStringLiteral("SZ_SOFOR")}, &out, &err), 2);
    QCOMPARE(run({QStringLiteral("list"), QStringLiteral("T_LISTA"), QStringLiteral("--pdf"),
                  dir.filePath(QStringLiteral("nincs/mappa/x.pdf"))}, &out, &err), 1);
    QVERIFY(err.contains(QStringLiteral("a PDF fájl nem írható")));
    // An empty table prints nothing.
    QCOMPARE(run({QStringLiteral("list"), QStringLiteral("JUZERLOG"), QStringLiteral("--pdf"), QStringLiteral("ures.pdf")}, &out, &err), 1);
    QVERIFY(err.contains(QStringLiteral("Nincs mit nyomtatni.")));
}

QTEST_MAIN(TestDictList)
#include "tst_dictlist.moc"
