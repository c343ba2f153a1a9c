// The import of customer lists: a mixed file refused whole with the lines
// named, a dry run that writes nothing, several sites of one customer, the two
// encodings, the separators and quoting, and the files that cannot be read.
#include "RentalTestDb.h"

#include "customers/CustomerImport.h"
#include "shell/Cp1250.h"

using namespace vl::customers;
using vl::rental::test::TestDb;

namespace {

const QString kHeader = QStringLiteral(
    "NEV;IRSZAM;VAROS;UTCA;TELEFON;FIZMOD;CIM_NEV;CIM_IRSZAM;CIM_VAROS;CIM_UTCA;CIM_SZEMELY;CIM_TELEFON\n");

QByteArray utf8(const QString& s) { return s.toUtf8(); }

} // namespace

class TestImport : public QObject {
    Q_OBJECT
    TestDb db;

    // Every customer and site, so "nothing written" can be compared.
    QStringList snapshot() {
        QStringList out;
        auto rs = db.conn->query(QStringLiteral(
            "SELECT U.KOD, U.NEV, C.KOD, C.NEV FROM UGYFEL U LEFT JOIN UGYFELCIM C ON C.UGYFELKOD = U.KOD ORDER BY 1, 3"));
        while (rs.next()) out << QStringLiteral("%1|%2|%3|%4").arg(rs.value(0).toString(), rs.value(1).toString(),
                                                                  rs.value(2).toString(), rs.value(3).toString());
        out << QString::number(db.count(QStringLiteral("SELECT GEN_ID(GEN_UGYFEL_KOD, 0) FROM RDB$DATABASE")));
        return out;
    }
    qint64 named(const QString& name) {
        return db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = :n"), {{QStringLiteral("n"), name}});
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        db.create();
    }

    // One bad row refuses the whole file; every refused line is named.
    void mixedFileRefusedWhole() {
        const QString file = kHeader +
            QStringLiteral("Első Kft.;2030;Érd;Fő u. 1.;+36 1 1;KP;Raktár;2030;Érd;Budai út 1.;Kiss Anna;+36 30 1\n"
                           ";2030;Érd;Fő u. 2.;+36 1 2;KP;;;;;;\n"
                           "Harmadik Bt.;2030;Érd;Fő u. 3.;+36 1 3;KP;Telep;2030;Nincsváros;Út 3.;Nagy Béla;+36 30 3\n"
                           "ELSŐ KFT.;2000;Szentendre;Dunakorzó 1.;+36 1 4;ATU;;;;;;\n"
                           "Negyedik Zrt.;2040;Budaörs;Ifjúság u. 2.;+36 1 5;O'X;;;;;;\n"
                           "Ötödik Kft.;2040;Budaörs;Ifjúság u. 3.;+36 1 6;KP;;;;;;\n");
        const QStringList before = snapshot();
        const auto r = ImportCustomers(*db.conn, utf8(file), {});
        QVERIFY(r.fatal.isEmpty());
        QCOMPARE(r.rows, 6);
        QStringList lines;
        for (const auto& f : r.refused) lines << QStringLiteral("%1: %2").arg(f.line).arg(f.reason);
        QCOMPARE(lines, (QStringList{QStringLiteral("3: Az ügyfél neve nem lehet üres"),
                                     QStringLiteral("4: Település nincs a törzsben"),
                                     QStringLiteral("5: Ez a név a fájl 2. sorában már szerepelt"),
                                     QStringLiteral("6: Nincs ilyen fizetési mód: O'X")}));
        QCOMPARE(r.accepted, 2);
        QCOMPARE(r.rowsWritten, 0);
        QCOMPARE(snapshot().mid(0, before.size() - 1), before.mid(0, before.size() - 1));
        QCOMPARE(named(QStringLiteral("Ötödik Kft.")), 0);
        const QStringList report = r.lines({});
        QVERIFY(report.contains(QStringLiteral("  4. sor: Település nincs a törzsben")));
        QCOMPARE(report.last(), QStringLiteral("Semmi nem került tárolásra."));
    }

    // A dry run checks everything and writes nothing.
    void dryRunWritesNothing() {
        const QString file = kHeader +
            QStringLiteral("Próba Kft.;2030;Érd;Fő u. 1.;+36 1 1;KP;Raktár;2030;Érd;Budai út 1.;Kiss Anna;+36 30 1\n");
        const QStringList before = snapshot();
        ImportOptions o;
        o.dryRun = true;
        const auto r = ImportCustomers(*db.conn, utf8(file), o);
        QVERIFY(r.ok);
        QCOMPARE(r.accepted, 1);
        QCOMPARE(r.customers, 1);
        QCOMPARE(r.sites, 1);
        QCOMPARE(r.rowsWritten, 0);
        QCOMPARE(snapshot().mid(0, before.size() - 1), before.mid(0, before.size() - 1));
        QCOMPARE(r.lines(o).last(), QStringLiteral("Próbafuttatás (--dry-run): semmi nem került tárolásra."));
    }

    // Consecutive rows of one customer make its sites; a row without site
    // columns makes a customer without a site. The same name later in a
    // database is refused unless duplicates are allowed.
    void severalSitesOfOneCustomer() {
        const QString file = kHeader +
            QStringLiteral("Több Telep Kft.;2030;Érd;Fő u. 1.;+36 1 1;KP;Egy;2030;Érd;Út 1.;Kiss Anna;+36 30 1\n"
                           "Több Telep Kft.;2030;Érd;Fő u. 1.;+36 1 1;KP;Kettő;2040;Budaörs;Út 2.;Kiss Anna;+36 30 2\n"
                           "Több Telep Kft.;2030;Érd;Fő u. 1.;+36 1 1;KP;Három;1117;Budapest;Út 3.;Nagy Béla;+36 30 3\n"
                           "Cím Nélküli Bt.;2030;Érd;Fő u. 9.;+36 1 9;ATU;;;;;;\n");
        const auto r = ImportCustomers(*db.conn, utf8(file), {});
        QVERIFY2(r.ok, qPrintable(r.lines({}).join(u'\n')));
        QCOMPARE(r.rowsWritten, 5);
        QCOMPARE(r.customers, 2);
        QCOMPARE(r.sites, 3);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM C JOIN UGYFEL U ON U.KOD = C.UGYFELKOD "
                                         "WHERE U.NEV = 'Több Telep Kft.'")), 3);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM C JOIN UGYFEL U ON U.KOD = C.UGYFELKOD "
                                         "WHERE U.NEV = 'Cím Nélküli Bt.'")), 0);
        QCOMPARE(named(QStringLiteral("Cím Nélküli Bt.")), 1);

        const QString again = kHeader + QStringLiteral("cím nélküli BT.;2030;Érd;Fő u. 9.;+36 1 9;ATU;;;;;;\n");
        const auto refused = ImportCustomers(*db.conn, utf8(again), {});
        QCOMPARE(refused.refused.size(), 1);
        QVERIFY(refused.refused.first().reason.startsWith(QStringLiteral("Már van ilyen nevű ügyfél: Cím Nélküli Bt.")));
        ImportOptions allow;
        allow.allowDuplicates = true;
        QCOMPARE(ImportCustomers(*db.conn, utf8(again), allow).rowsWritten, 1);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE UPPER(NEV) = 'CÍM NÉLKÜLI BT.'")), 2);
    }

    // UTF-8 (with or without its mark) and windows-1250 are told apart by
    // their bytes; a file that is neither is refused.
    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        const QString row = QStringLiteral("NEV;TELEFON;FIZMOD\nŐzike Űrhajó Kft. %1;1;KP\n");
        QTest::newRow("utf-8") << row.arg(1).toUtf8() << "UTF-8";
        QTest::newRow("utf-8 with mark") << (QByteArray("\xEF\xBB\xBF") + row.arg(2).toUtf8()) << "UTF-8";
        QTest::newRow("windows-1250") << vl::shell::toCp1250(row.arg(3)) << "windows-1250";
    }
    void encodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        const auto r = ImportCustomers(*db.conn, bytes, {});
        QVERIFY2(r.ok, qPrintable(r.lines({}).join(u'\n')));
        QCOMPARE(r.encoding, encoding);
        const QString n = QStringLiteral("Őzike Űrhajó Kft. %1").arg(QTest::currentDataTag() == QByteArray("utf-8") ? 1
                                                                    : QTest::currentDataTag() == QByteArray("windows-1250") ? 3 : 2);
        QCOMPARE(named(n), 1);
    }

    // Commas, quotes and line breaks inside a quoted field.
    void commaSeparatedAndQuoted() {
        const QByteArray file = QStringLiteral(
            "NEV,MOBILTEL,FIZMOD,KOMMENTSPEC\r\n"
            "\"Idéző \"\"Jel\"\", Kft.\",+36 30 1,KP,\"első sor\r\nmásodik, sor\"\r\n").toUtf8();
        const auto r = ImportCustomers(*db.conn, file, {});
        QVERIFY2(r.ok, qPrintable(r.lines({}).join(u'\n')));
        QCOMPARE(named(QStringLiteral("Idéző \"Jel\", Kft.")), 1);
        QCOMPARE(db.conn->query(QStringLiteral("SELECT KOMMENTSPEC FROM UGYFEL WHERE NEV = 'Idéző \"Jel\", Kft.'")).at(0, 0).toString(),
                 QStringLiteral("első sor\nmásodik, sor"));
    }

    // Files refused as a whole: nothing is checked or written.
    void unreadableFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fatal");
        QTest::newRow("missing column") << QByteArray("NEV;TELEFON\nHiányos Kft.;1\n")
                                        << "Hiányzó oszlop a fejlécben: FIZMOD";
        QTest::newRow("missing site column") << QByteArray("NEV;TELEFON;FIZMOD;CIM_VAROS\nX;1;KP;\xC3\x89rd\n")
                                             << "Hiányzó oszlop a fejlécben: CIM_UTCA, CIM_SZEMELY, CIM_TELEFON";
        QTest::newRow("unknown column") << QByteArray("NEV;TELEFON;FIZMOD;KEDVENC\nX;1;KP;y\n")
                                        << "Ismeretlen oszlop a fejlécben: KEDVENC";
        QTest::newRow("bad encoding") << QByteArray("NEV;TELEFON;FIZMOD\nRossz \x81 K\xE9r;1;KP\n")
                                      << "A fájl sem UTF-8, sem windows-1250 kódolású: a(z) 2. sorban 0x81 bájt áll.";
        QTest::newRow("no separator") << QByteArray("NEV\nX\n") << "A fejlécben nincs mezőelválasztó (';' vagy ',').";
        QTest::newRow("unclosed quote") << QByteArray("NEV;TELEFON;FIZMOD\n\"Nyitva;1;KP\n")
                                        << "A(z) 2. sorban nyitott idézőjel nincs lezárva.";
        // Rows pasted from two sources: neither encoding may garble the other's rows.
        QTest::newRow("mixed encodings")
            << (QByteArray("NEV;TELEFON;FIZMOD\nAlfa;1;KP\n") + QStringLiteral("Békés Kft.;1;KP\n").toUtf8() +
                vl::shell::toCp1250(QStringLiteral("Kőszeg Bt.;2;KP\n")))
            << "A fájl kódolása vegyes: a(z) 3. sor UTF-8, a(z) 4. sor windows-1250 kódolású. "
               "Mentse a fájlt egyetlen kódolásban.";
        QTest::newRow("NUL in a UTF-8 file") << (QByteArray("NEV;TELEFON;FIZMOD\nNul") + char(0) + "la Kft.;1;KP\n")
                                             << "A(z) 2. sorban vezérlőkarakter (0x00) áll; a fájl nem tölthető be.";
        QTest::newRow("NUL in a windows-1250 file")
            << (vl::shell::toCp1250(QStringLiteral("NEV;TELEFON;FIZMOD\nŐr Kft.;1;KP\n")) + QByteArray("Nul") + char(0) + "la;2;KP\n")
            << "A(z) 3. sorban vezérlőkarakter (0x00) áll; a fájl nem tölthető be.";
        QTest::newRow("escape character") << QByteArray("NEV;TELEFON;FIZMOD\nX;1;KP\nY\x1B[2J;2;KP\n")
                                          << "A(z) 3. sorban vezérlőkarakter (0x1B) áll; a fájl nem tölthető be.";
        // The limits, refused before any row is read.
        QByteArray many("NEV;TELEFON;FIZMOD\n");
        for (int i = 0; i <= kImportMaxRows; ++i) many += "X;1;KP\n";
        QTest::newRow("too many rows") << many << "A fájlban túl sok adatsor van (200 001, legfeljebb 200 000 lehet).";
        QByteArray wide = QStringList(importCustomerColumns() + importSiteColumns()).join(u';').toUtf8() + ";NEV\nX\n";
        QTest::newRow("too many columns") << wide << "A fejlécben túl sok oszlop van (26, legfeljebb 25 lehet).";
        QTest::newRow("too large") << QByteArray(kImportMaxBytes + 1, 'x')
                                   << "A fájl túl nagy (67 108 865 bájt, legfeljebb 67 108 864 bájt lehet).";
    }
    void unreadableFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fatal);
        const QStringList before = snapshot();
        const auto r = ImportCustomers(*db.conn, bytes, {});
        QCOMPARE(r.fatal, fatal);
        QCOMPARE(r.rowsWritten, 0);
        QCOMPARE(snapshot(), before);
    }

    // A header without rows: said so, nothing written, not an error.
    void headerOnly() {
        const QStringList before = snapshot();
        const auto r = ImportCustomers(*db.conn, QByteArray("NEV;TELEFON;FIZMOD\r\n"), {});
        QVERIFY(r.ok);
        QCOMPARE(r.rows, 0);
        QCOMPARE(r.rowsWritten, 0);
        QCOMPARE(r.lines({}).last(), QStringLiteral("A fájlban a fejlécen kívül nincs adatsor: semmi nem került tárolásra."));
        QVERIFY(!r.lines({}).contains(QStringLiteral("Tárolva.")));
        QCOMPARE(snapshot(), before);
    }

    // The "'" the CSV export puts before a text a spreadsheet would run is
    // dropped; any other leading "'" stays.
    void formulaGuardDropped() {
        const QByteArray file = QStringLiteral(
            "NEV;TELEFON;FIZMOD;KOMMENTSPEC\n"
            "'=HYPERLINK(\"x\") Kft.;'+36 30 1;KP;'@SUM(A1)\n"
            "'-Mínusz Bt.;'-5;KP;'+cmd|' /C calc'!A0\n"
            "'Idéző Kft.;1;KP;'- gondolatjel\n").toUtf8();
        const auto r = ImportCustomers(*db.conn, file, {});
        QVERIFY2(r.ok, qPrintable(r.lines({}).join(u'\n')));
        auto row = [&](const QString& name) {
            auto rs = db.conn->query(QStringLiteral("SELECT TELEFON, KOMMENTSPEC FROM UGYFEL WHERE NEV = :n"),
                                     {{QStringLiteral("n"), name}});
            return rs.isEmpty() ? QStringLiteral("<nincs>") : rs.at(0, 0).toString() + QLatin1Char('|') + rs.at(0, 1).toString();
        };
        QCOMPARE(row(QStringLiteral("=HYPERLINK(\"x\") Kft.")), QStringLiteral("'+36 30 1|@SUM(A1)"));
        QCOMPARE(row(QStringLiteral("-Mínusz Bt.")), QStringLiteral("'-5|+cmd|' /C calc'!A0"));
        QCOMPARE(row(QStringLiteral("'Idéző Kft.")), QStringLiteral("1|'- gondolatjel"));
    }

    // A row with too few fields is refused by its line.
    void wrongFieldCount() {
        const auto r = ImportCustomers(*db.conn, QByteArray("NEV;TELEFON;FIZMOD\nRövid Kft.;1\n"), {});
        QCOMPARE(r.refused.size(), 1);
        QCOMPARE(r.refused.first().line, 2);
        QCOMPARE(r.refused.first().reason, QStringLiteral("2 mező van benne, a fejlécben 3"));
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
