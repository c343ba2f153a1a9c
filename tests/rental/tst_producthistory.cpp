// The product history report: its query over a real database, the printed
// pages read back with pdftotext, and vorlanda-admin history.
#include "PdfTools.h"
#include "RentalTestDb.h"

#include "reporting/Engine.h"
#include "rental/ProductHistory.h"

#include <QFile>
#include <QProcess>

using vl::rental::test::TestDb;

namespace {

// Contracts of product K-0012, in delivery order:
//   103 not delivered yet, its contract names no site;
//   100 closed, site with a name;
//   101 running, site without a name;
//   104 running, the named site again.
// 102 is an inactive version (not listed); 101 also holds K-0099.
void fillHistory(vl::db::Connection& conn)
{
    auto tx = conn.begin();
    auto exec = [&](const char* sql, const vl::db::Params& p) { tx->exec(QString::fromUtf8(sql), p); };
    const char* customer = "INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES (:k, :n, 'I')";
    exec(customer, {{"k", "1"}, {"n", QStringLiteral("Kovács Építő Kft")}});
    exec(customer, {{"k", "2"}, {"n", QStringLiteral("Árvíz Bt")}});
    const char* site = "INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:k, :u, :n, :i, :v, :c)";
    exec(site, {{"k", "11"}, {"u", "1"}, {"n", QStringLiteral("Főtér rendezvény")}, {"i", "1051"},
                {"v", "Budapest"}, {"c", QStringLiteral("Fő utca 1.")}});
    exec(site, {{"k", "21"}, {"u", "2"}, {"n", QString()}, {"i", "6720"}, {"v", "Szeged"},
                {"c", QStringLiteral("Tisza L. krt. 5.")}});
    const char* head = "INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERKEZD, BERVEG, UGYFELKOD, UGYFELCIM, KOMMENT)"
                       " VALUES (:b, :v, :a, :s, :k, :e, :u, :c, :m)";
    exec(head, {{"b", 100}, {"v", 1}, {"a", "I"}, {"s", "LEZ"}, {"k", "2026.03.01"}, {"e", "2026.04.30"},
                {"u", "1"}, {"c", "11"}, {"m", QString()}});
    exec(head, {{"b", 101}, {"v", 1}, {"a", "I"}, {"s", "FO"}, {"k", "2026.05.10"}, {"e", QString()},
                {"u", "2"}, {"c", "21"}, {"m", QString()}});
    exec(head, {{"b", 102}, {"v", 1}, {"a", "N"}, {"s", "FO"}, {"k", "2026.01.01"}, {"e", QString()},
                {"u", "1"}, {"c", "11"}, {"m", QString()}});
    exec(head, {{"b", 103}, {"v", 1}, {"a", "I"}, {"s", "FO"}, {"k", "2026.12.20"}, {"e", QString()},
                {"u", "2"}, {"c", ""}, {"m", QString()}});
    exec(head, {{"b", 104}, {"v", 1}, {"a", "I"}, {"s", "FO"}, {"k", "2026.07.01"}, {"e", QString()},
                {"u", "1"}, {"c", "11"}, {"m", QString()}});
    const char* line = "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, NETTOAR, BERMENNY, BERMEGYSEG)"
                       " VALUES (:b, 1, :t, :n, :m, :e)";
    exec(line, {{"b", 100}, {"t", 1}, {"n", 5000}, {"m", 1}, {"e", "H"}});
    exec(line, {{"b", 101}, {"t", 1}, {"n", 7500}, {"m", 2}, {"e", "N"}});
    exec(line, {{"b", 101}, {"t", 2}, {"n", 1200}, {"m", 1}, {"e", "H"}});
    exec(line, {{"b", 102}, {"t", 1}, {"n", 999}, {"m", 1}, {"e", "H"}});
    exec(line, {{"b", 103}, {"t", 1}, {"n", 4100}, {"m", 1}, {"e", "H"}});
    exec(line, {{"b", 104}, {"t", 1}, {"n", 6300}, {"m", 1}, {"e", "H"}});
    const char* item = "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALL)"
                       " VALUES (:b, 1, :t, 1, :a, :k, :v)";
    exec(item, {{"b", 100}, {"t", 1}, {"a", "K-0012"}, {"k", "2026.03.01"}, {"v", "2026.04.30"}});
    exec(item, {{"b", 101}, {"t", 1}, {"a", "K-0012"}, {"k", "2026.05.10"}, {"v", QString()}});
    exec(item, {{"b", 101}, {"t", 2}, {"a", "K-0099"}, {"k", "2026.05.10"}, {"v", QString()}});
    exec(item, {{"b", 102}, {"t", 1}, {"a", "K-0012"}, {"k", "2026.01.02"}, {"v", QString()}});
    exec(item, {{"b", 103}, {"t", 1}, {"a", "K-0012"}, {"k", QString()}, {"v", QString()}});
    exec(item, {{"b", 104}, {"t", 1}, {"a", "K-0012"}, {"k", "2026.07.01"}, {"v", QString()}});
    // K-0055 on 105, whose site has no postal code.
    exec(site, {{"k", "31"}, {"u", "1"}, {"n", QVariant()}, {"i", QVariant()}, {"v", QStringLiteral("Vác")},
                {"c", QStringLiteral("Piac tér")}});
    exec(head, {{"b", 105}, {"v", 1}, {"a", "I"}, {"s", "FO"}, {"k", "2026.08.01"}, {"e", QString()},
                {"u", "1"}, {"c", "31"}, {"m", QString()}});
    exec(line, {{"b", 105}, {"t", 1}, {"n", 3000}, {"m", 1}, {"e", "H"}});
    exec(item, {{"b", 105}, {"t", 1}, {"a", "K-0055"}, {"k", "2026.08.01"}, {"v", QString()}});
    tx->commit();
}

// The lines of the page text that are not empty, each simplified (runs of blanks as one).
QStringList textLines(const QString& page)
{
    QStringList out;
    for (const QString& l : page.split(QLatin1Char('\n'))) {
        const QString s = l.simplified();
        if (!s.isEmpty()) out << s;
    }
    return out;
}

int lineWith(const QStringList& lines, const QString& text)
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(text)) return i;
    return -1;
}

} // namespace

class TstProductHistory : public QObject {
    Q_OBJECT
    TestDb db;

private slots:
    void initTestCase()
    {
        vl::db::prepareEmbeddedEngine();
        db.create();
        fillHistory(*db.conn);
    }

    void queryListsEveryRentalInDeliveryOrder()
    {
        const vl::db::RowSet rows = vl::rental::productHistoryRows(*db.conn, QStringLiteral("K-0012"));
        QStringList names;
        for (const auto& c : rows.columns()) names << c.name;
        QCOMPARE(names, QStringList({"BIZONYLAT", "VERZIO", "BERKEZD", "BERVEG", "KOMMENT", "STATUS", "UGYFELKOD",
                                     "UGYFELCIM", "KISZALL", "VSZALL", "UGYFELNEV", "CIMNEV", "CIM", "NETTOAR",
                                     "BERMENNY", "BERMEGYSEG", "STATUSNEV"}));
        QList<qint64> contracts;
        for (int r = 0; r < rows.rowCount(); ++r) contracts << rows.at(r, 0).toLongLong();
        // The one not yet delivered first (the database sorts the empty date first); the inactive version not at all.
        QCOMPARE(contracts, QList<qint64>({103, 100, 101, 104}));
        const int cim = rows.indexOf(QStringLiteral("CIM"));
        QCOMPARE(rows.at(1, cim).toString(), QStringLiteral("1051 Budapest,Fő utca 1."));
        QCOMPARE(rows.at(2, cim).toString(), QStringLiteral("6720 Szeged,Tisza L. krt. 5."));
        // A contract that names no site still lists, with an empty address.
        QCOMPARE(rows.at(0, cim).toString(), QString());
        QCOMPARE(rows.at(0, rows.indexOf(QStringLiteral("UGYFELNEV"))).toString(), QStringLiteral("Árvíz Bt"));
        QCOMPARE(rows.at(1, rows.indexOf(QStringLiteral("STATUSNEV"))).toString(), QStringLiteral("Lezárt"));
    }

    // A missing part of an address leaves the rest standing.
    void addressWithoutPostalCode()
    {
        const vl::db::RowSet rows = vl::rental::productHistoryRows(*db.conn, QStringLiteral("K-0055"));
        QCOMPARE(rows.rowCount(), 1);
        QCOMPARE(rows.at(0, rows.indexOf(QStringLiteral("CIM"))).toString(), QStringLiteral(" Vác,Piac tér"));
    }

    void productWithoutRentalsHasNoHistory()
    {
        QVERIFY(vl::rental::productHistoryRows(*db.conn, QStringLiteral("K-0777")).isEmpty());
        // Only an exact product number matches; the value is bound, never spliced.
        QVERIFY(vl::rental::productHistoryRows(*db.conn, QStringLiteral("K-0012' OR '1'='1")).isEmpty());
        QCOMPARE(vl::rental::noProductHistoryText(), QStringLiteral("Nincs előzmény"));
    }

    void addressAndSiteName_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("expected");
        QTest::newRow("named site") << "1051 Budapest,Fő utca 1." << "Főtér" << "1051 Budapest,Fő utca 1.\nFőtér";
        QTest::newRow("no name") << "6720 Szeged,Kárász u. 2." << "" << "6720 Szeged,Kárász u. 2.";
        QTest::newRow("blank name") << "6720 Szeged,Kárász u. 2." << "   " << "6720 Szeged,Kárász u. 2.";
    }

    void addressAndSiteName()
    {
        QFETCH(QString, address);
        QFETCH(QString, site);
        QFETCH(QString, expected);
        QCOMPARE(vl::rental::productHistoryAddress(address, site), expected);
    }

    void printedPages()
    {
        const vl::db::RowSet rows = vl::rental::productHistoryRows(*db.conn, QStringLiteral("K-0012"));
        const auto doc = vl::reporting::layout(vl::rental::productHistoryReport(QStringLiteral("K-0012"), rows));
        const QString pdf = db.dir.filePath(QStringLiteral("elozmeny.pdf"));
        QString why;
        QVERIFY2(vl::reporting::writePdf(doc, pdf, 1, &why), qPrintable(why));
        vl::reporting::test::firstPagePng(pdf, QStringLiteral("tqrelozmeny"));
        QVERIFY(vl::reporting::test::pdfLandscape(pdf));
        const QStringList pages = vl::reporting::test::pdfPages(pdf);
        QCOMPARE(pages.size(), 1);
        const QStringList lines = textLines(pages.at(0));

        QCOMPARE(lines.value(0), QStringLiteral("Előzmény lista"));
        QCOMPARE(lines.value(1), QStringLiteral("Termék kód: K-0012"));
        QVERIFY2(lines.value(2).startsWith(QStringLiteral("Bizonylat és státusza Ki és visszaszállítás ügyfél Cím Nettó ár")),
                 qPrintable(lines.value(2)));

        // 100: closed, the named site's address with the name on the next line.
        const int closed = lineWith(lines, QStringLiteral("1051 Budapest,Fő utca 1."));
        QVERIFY2(closed > 2, qPrintable(lines.join(QLatin1Char('\n'))));
        QCOMPARE(lines.at(closed), QStringLiteral("100 Lezárt 2026.03.01 2026.04.30 Kovács Építő Kft "
                                                  "1051 Budapest,Fő utca 1. 5000 /1 H"));
        QCOMPARE(lines.value(closed + 1), QStringLiteral("Főtér rendezvény"));
        // 101: a site without a name prints its address on one line; the next line is the next rental.
        QCOMPARE(lines.value(closed + 2), QStringLiteral("101 Folyamatban 2026.05.10 Árvíz Bt "
                                                         "6720 Szeged,Tisza L. krt. 5. 7500 /2 N"));
        QVERIFY2(lines.value(closed + 3).startsWith(QStringLiteral("104 Folyamatban 2026.07.01 Kovács Építő Kft")),
                 qPrintable(lines.value(closed + 3)));
        QCOMPARE(lines.value(closed + 4), QStringLiteral("Főtér rendezvény"));
        // 103 (not delivered) before them all.
        QCOMPARE(lines.value(closed - 1), QStringLiteral("103 Folyamatban Árvíz Bt 4100 /1 H"));
        QCOMPARE(lines.size(), closed + 5);

        // The drawn address fields: two lines under a named site, one line (no empty second line) without.
        QMap<QString, int> addressLines;
        for (const auto& item : doc.pages.at(0).items)
            if (item.name == QStringLiteral("CIM") && !item.lines.isEmpty()) addressLines[item.lines.first()] = int(item.lines.size());
        QCOMPARE(addressLines.value(QStringLiteral("1051 Budapest,Fő utca 1.")), 2);
        QCOMPARE(addressLines.value(QStringLiteral("6720 Szeged,Tisza L. krt. 5.")), 1);
    }

    void emptyReportStillPrintsItsHeader()
    {
        const auto doc = vl::reporting::layout(vl::rental::productHistoryReport(
            QStringLiteral("K-0777"), vl::rental::productHistoryRows(*db.conn, QStringLiteral("K-0777"))));
        QCOMPARE(doc.pageCount(), 1);
        QVERIFY(doc.pageTexts(0).contains(QStringLiteral("K-0777")));
    }

    void adminHistoryWritesThePdf()
    {
        db.conn->close();
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("DBSERVER=%1\nWPWD=NONE\n").arg(db.path).toLocal8Bit());
        ini.close();
        auto admin = [&](const QStringList& args, QString* out, QString* err) {
            QProcess p;
            p.setWorkingDirectory(db.dir.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), args);
            if (!p.waitForFinished(300000)) {
                p.kill();
                p.waitForFinished();
                return -1;
            }
            *out = QString::fromUtf8(p.readAllStandardOutput());
            *err = QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        };
        QString out, err;
        const QString pdf = db.dir.filePath(QStringLiteral("cmd.pdf"));
        QCOMPARE(admin({QStringLiteral("history"), QStringLiteral("K-0012"), QStringLiteral("--pdf"), pdf}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("K-0012: 4 sor, 1 oldal")), qPrintable(out + err));
        const QString text = vl::reporting::test::pdfText(pdf);
        QVERIFY(text.contains(QStringLiteral("Termék kód:")));
        QVERIFY(text.contains(QStringLiteral("Tisza L. krt. 5.")));

        const QString none = db.dir.filePath(QStringLiteral("none.pdf"));
        QCOMPARE(admin({QStringLiteral("history"), QStringLiteral("K-0777"), QStringLiteral("--pdf"), none}, &out, &err), 1);
        QVERIFY2(err.contains(QStringLiteral("Nincs előzmény")), qPrintable(err));
        QVERIFY(!QFile::exists(none));

        QCOMPARE(admin({QStringLiteral("history"), QStringLiteral("K-0012")}, &out, &err), 2);
    }
};

QTEST_MAIN(TstProductHistory)
#include "tst_producthistory.moc"
