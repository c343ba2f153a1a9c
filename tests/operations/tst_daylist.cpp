// The drivers' daily list read back with pdftotext: a page per driver, the
// lines it leaves out, the payment details with the contracts' lines, the
// summary and the total to collect; and the two commands that print the
// sheet and write the list.
#include "DaySheetFixture.h"
#include "../reporting/PdfTools.h"

#include "operations/DayList.h"
#include "operations/DaySheet.h"
#include "reporting/Engine.h"
#include "util/NumberFormat.h"

#include <QProcess>
#include <QStringEncoder>
#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;
namespace pdf = vl::reporting::test;

class TstDayList : public QObject {
    Q_OBJECT
    Company co;
    std::unique_ptr<DaySheet> sheet;

    QString write(const DaySheetFilter& f, const QString& name, DayList* listOut = nullptr) {
        sheet->FilterDaySheet(f);
        const DayList list = DayListFor(*co.db.conn, *sheet);
        if (listOut) *listOut = list;
        const QString file = co.db.dir.filePath(name + QStringLiteral(".pdf"));
        if (!vl::reporting::writePdf(vl::reporting::layout(DayListReport(list)), file)) return QString();
        pdf::firstPagePng(file, name);
        return file;
    }
    static QString squeeze(QString s) { return s.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")); }

    int run(const QStringList& args, QString* out) {
        QProcess p;
        p.setWorkingDirectory(co.db.dir.path());
        p.start(QStringLiteral(VL_ADMIN_EXE), args);
        p.waitForFinished(300000);
        *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase() {
        co.build();
        auto tx = co.db.conn->begin();
        // The delivered contract's payment of the day is paid; a check-up was moved away.
        tx->exec("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE BIZONYLAT = :b AND DATUM = :d",
                 {{"b", co.contracts.value("payafter").first()}, {"d", kDay}});
        tx->exec("UPDATE FORGTEV SET TEVALLAPOT = 'A' WHERE TEVKOD = 'SZ2'");
        tx->exec("UPDATE FORGFIZ SET KOMMENT = 'Számla a sofőrnél' WHERE BIZONYLAT = :b",
                 {{"b", co.contracts.value("paybefore").first()}});
        tx->exec("UPDATE CEG SET NEV = 'Vorlanda Mobil WC Kft.'");
        tx->commit();
        sheet = std::make_unique<DaySheet>(*co.db.conn, vl::shell::Session{"TESZT", "", "", 2026}, 1.27);
        sheet->LoadDaySheet(kDay);
    }

    void amountPrefix_data() {
        QTest::addColumn<QString>("remark");
        QTest::addColumn<QString>("printed");
        QTest::newRow("amount and period") << "12000 Ft,  2026.05.04 -> 2026.05.17, Kapu" << "2026.05.04 -> 2026.05.17, Kapu";
        QTest::newRow("no amount") << " 2026.05.04 -> 2026.05.17, Kapu" << " 2026.05.04 -> 2026.05.17, Kapu";
        QTest::newRow("amount in the text") << "Kapu 500 Ft, " << "Kapu 500 Ft, ";
        QTest::newRow("negative amount") << "-300 Ft, x" << "x";
    }
    void amountPrefix() {
        QFETCH(QString, remark);
        QFETCH(QString, printed);
        QCOMPARE(WithoutAmountPrefix(remark), printed);
    }

    // The whole day: a page per driver, the left-out lines absent, the summaries and totals.
    void wholeDay() {
        DayList list;
        const QString file = write(DaySheetFilter(), "tqrtevnaplo", &list);
        QVERIFY(!file.isEmpty());
        QVERIFY(pdf::pdfLandscape(file));
        const QStringList pages = pdf::pdfPages(file);
        QCOMPARE(pages.size(), 3); // no driver, Kovács Béla, Nagy Péter
        QCOMPARE(pdf::pdfPageCount(file), 3);
        const QStringList drivers{QString(), "Kovács Béla", "Nagy Péter"};
        for (int i = 0; i < 3; ++i) {
            const QString p = squeeze(pages[i]);
            QVERIFY2(p.contains("Napi tevékenységek") && p.contains("Vorlanda Mobil WC Kft.") &&
                         p.contains("2026.05.04 Hétfő") && p.contains("Készült:") &&
                         p.contains(QStringLiteral("%1. oldal").arg(i + 1)),
                     qPrintable(p));
            for (const QString& t : {"Partner", "Szállítási cím", "Mennyiség/Ft", "Tevékenység", "Megjegyzés",
                                     "Tevékenység összesítés", "A gépjárművet hibátlan állapotban átvettem", "Bevétel:",
                                     "Kiadás:", "Nyitó egyenleg:", "Záró egyenleg:", "Óraállás tankoláskor:",
                                     "Előző tankolás óraállása:", "Futott km.:", "Tankolt liter:", "Fogyasztás"})
                QVERIFY2(p.contains(t), qPrintable(t));
            QVERIFY2(p.contains(QStringLiteral("Gépjármű vezető: %1").arg(drivers[i]).trimmed()), qPrintable(p));
            for (int j = 1; j < 3; ++j)
                if (j != i) QVERIFY2(!p.contains("Gépjármű vezető: " + drivers[j]), qPrintable(p));
        }
        const QString all = squeeze(pages.join(" "));
        // Deleted (cabin 802), moved (the check-up of display order 5) and paid payment lines never print.
        QVERIFY(!all.contains("802"));
        QVERIFY(!all.contains("Szippantás éjjel"));
        QVERIFY(!all.contains("20000 / 2"));
        // The log hides the deleted lines; the list also leaves out the moved one and the paid payment.
        QCOMPARE(list.rows.rowCount(), sheet->visible().rowCount() - 2);
        // Kovács Béla: the cabins of his lines and their count.
        const QString kovacs = squeeze(pages[1]);
        QVERIFY2(kovacs.contains("101,102"), qPrintable(kovacs));
        QHash<QString, qint64> cabins;
        for (const DaySheetLine& l : sheet->lines())
            if (l.sofor == "Kovács Béla" && l.modosithato != "X" && l.modosithato != "n") cabins[l.tevnev] += l.db;
        QCOMPARE(cabins.size(), 2);
        for (auto it = cabins.begin(); it != cabins.end(); ++it)
            QVERIFY2(kovacs.contains(QStringLiteral("%1: %2 kabin").arg(it.key()).arg(it.value())), qPrintable(it.key()));
        QVERIFY(kovacs.contains("Beszedendő összesen (bruttó): 0 Ft"));
    }

    // The payment line: net and gross, the contract's lines, the remark without its amount.
    void paymentDetails() {
        DaySheetFilter f;
        f.driverCode = "S2";
        DayList list;
        const QString file = write(f, "tqrtevnaplo_s2", &list);
        QCOMPARE(pdf::pdfPageCount(file), 1);
        const QString p = squeeze(pdf::pdfText(file));
        QVERIFY(p.contains("Gépjármű vezető: Nagy Péter"));
        QVERIFY(!p.contains("Kovács Béla"));
        const DaySheetLine* pay = nullptr;
        for (const DaySheetLine& l : sheet->lines())
            if (l.tevkod == "FIZ" && l.ugyfelcim == co.sites.value("paybefore").site) pay = &l;
        QVERIFY(pay);
        QVERIFY2(p.contains(QStringLiteral("nettó %1").arg(vl::util::FormatAmount(pay->nettofiz))), qPrintable(p));
        QVERIFY2(p.contains(QStringLiteral("ÁFÁs %1").arg(vl::util::FormatAmount(pay->bruttofiz))), qPrintable(p));
        QVERIFY2(p.contains("1 db Alap WC kabin 10 000 Ft/db/2 Hét"), qPrintable(p));
        QVERIFY(p.contains("Számla a sofőrnél"));
        QVERIFY2(!p.contains(QString::number(pay->nettofiz) + " Ft,"), qPrintable(p));
        QCOMPARE(list.contractLines.value(pay->tsorszam), QStringLiteral("1 db Alap WC kabin 10 000 Ft/db/2 Hét"));
        QVERIFY2(p.contains("Számlázási időszak (fizetés): 1 cím"), qPrintable(p));
        QVERIFY2(p.contains(QStringLiteral("Beszedendő összesen (bruttó): %1 Ft").arg(vl::util::FormatAmount(pay->bruttofiz))), qPrintable(p));
        // The delivery and the check-up count as cabins.
        QVERIFY(p.contains("Kiszállítás: 1 kabin"));
    }

    // One customer: only its lines.
    void oneCustomer() {
        DaySheetFilter f;
        f.customerKey = co.sites.value("merge").customer;
        const QString p = squeeze(pdf::pdfText(write(f, "tqrtevnaplo_alfa")));
        QVERIFY(p.contains("Alfa Kft."));
        QVERIFY(!p.contains("Béta Kft."));
        QVERIFY(p.contains("Karbantartás (ürítés, takarítás): 2 kabin"));
    }

    // Eleven long contract numbers overflow the line's 80-character contract
    // text; the payment detail still lists every contract, by the kept keys.
    void manyContracts() {
        co.db.conn->exec("ALTER SEQUENCE GEN_FORGFEJ_BIZONYLAT RESTART WITH 1000000");
        QList<qint64> numbers;
        {
            auto tx = co.db.conn->begin();
            const Site s = co.addSite(*tx, QStringLiteral("Omega Kft."), "1121", "Budapest", "Tizenegy utca 11.", "");
            for (int i = 0; i < 11; ++i) {
                ContractLine l = Company::line("ALAP", {QString::number(1100 + i)}, "S3", "1000000", 4500, "2026.04.06");
                l.nettoar = 20001 + i;
                numbers << co.contract(*tx, s, {l}, "KP", "2026.04.06");
            }
            tx->commit();
            co.sites.insert("omega", s);
        }
        sheet->LoadDaySheet(kDay);
        const DaySheetLine* pay = nullptr;
        for (const DaySheetLine& l : sheet->lines())
            if (l.tevkod == "FIZ" && l.ugyfelcim == co.sites.value("omega").site) pay = &l;
        QVERIFY(pay);
        QCOMPARE(pay->contracts, numbers);
        QCOMPARE(pay->bizonylat.size(), 80);
        QVERIFY(!pay->bizonylat.contains(QString::number(numbers.last())));
        DaySheetFilter f;
        f.customerKey = co.sites.value("omega").customer;
        DayList list;
        const QString p = squeeze(pdf::pdfText(write(f, "tqrtevnaplo_omega", &list)));
        const QString lines = list.contractLines.value(pay->tsorszam);
        for (int i = 0; i < 11; ++i)
            QVERIFY2(lines.contains(QStringLiteral("1 db Alap WC kabin 20 %1 Ft/db/2 Hét").arg(1 + i, 3, 10, QLatin1Char('0'))), qPrintable(lines));
        QCOMPARE(lines.count("Ft/db/"), 11);
        QVERIFY2(p.contains("1 db Alap WC kabin 20 011 Ft/db/2 Hét"), qPrintable(p));
    }

    // A site billed weekly since January: eighteen unpaid periods and a typed
    // remark on its payment line, sixty cabins on its visit line. The work
    // table and the printed list hold every period, the remark and every cabin
    // number; the printed fields are as tall as their lines.
    void nothingCut() {
        QStringList cabins;
        for (int i = 0; i < 60; ++i) cabins << QStringLiteral("K%1").arg(5001 + i);
        const QString remark = QStringLiteral("Számla a sofőrnél, kapukód 4455");
        Site s;
        {
            auto tx = co.db.conn->begin();
            s = co.addSite(*tx, QStringLiteral("Szigma Kft."), "1122", "Budapest", "Tizenkét utca 12.", "");
            ContractLine l = Company::line("ALAP", cabins, "S3", "1000000", 4500, "2026.01.05");
            l.bermenny = 1;
            const qint64 b = co.contract(*tx, s, {l}, "KP", "2026.01.05");
            tx->exec("UPDATE FORGFIZ SET KOMMENT = :k WHERE BIZONYLAT = :b AND DATUM = '2026.01.05'",
                     {{"k", remark}, {"b", b}});
            tx->commit();
        }
        // The weeks from 2026.01.05 to the day's own: 18 periods.
        QStringList periods;
        for (QDate d(2026, 1, 5); d <= QDate(2026, 5, 4); d = d.addDays(7))
            periods << d.toString("yyyy.MM.dd") + " -> " + d.addDays(6).toString("yyyy.MM.dd") + ",";
        QCOMPARE(periods.size(), 18);
        const QString cabinText = cabins.join(',');

        sheet->LoadDaySheet(kDay);
        const auto rows = co.db.conn->query(
            QStringLiteral("SELECT TEVKOD, KOMMENT, TERMEKKODOK FROM %1 WHERE UGYFELCIM = :s ORDER BY TSORSZAM")
                .arg(sheet->tableName()),
            {{"s", s.site}});
        QString payRemark, visitCabins;
        for (int r = 0; r < rows.rowCount(); ++r) {
            if (rows.at(r, 0).toString() == "FIZ") payRemark = rows.at(r, 1).toString();
            else if (rows.at(r, 2).toString().contains("K5001")) visitCabins = rows.at(r, 2).toString();
        }
        for (const QString& p : periods) QVERIFY2(payRemark.contains(p), qPrintable(p + " | " + payRemark));
        QVERIFY2(payRemark.endsWith(remark), qPrintable(payRemark));
        QCOMPARE(visitCabins, cabinText);

        DaySheetFilter f;
        f.customerKey = s.customer;
        sheet->FilterDaySheet(f);
        const vl::reporting::Document doc = vl::reporting::layout(DayListReport(DayListFor(*co.db.conn, *sheet)));
        QStringList printed;
        for (const vl::reporting::Page& pg : doc.pages)
            for (const vl::reporting::Item& it : pg.items) {
                if (it.name != "MEGJ") continue;
                QVERIFY2(it.lines.size() * it.lineHeight <= it.rect.height() + 0.01,
                         qPrintable(it.lines.join('|')));
                printed << it.lines.join(QString());
            }
        const auto bare = [](QString t) { return t.remove(QRegularExpression(QStringLiteral("\\s+"))); };
        const QString all = bare(printed.join('#'));
        for (const QString& p : periods) QVERIFY2(all.contains(bare(p)), qPrintable(p + " | " + all));
        QVERIFY2(all.contains(bare(remark)), qPrintable(all));
        QVERIFY2(all.contains(cabinText), qPrintable(all));
        sheet->FilterDaySheet(DaySheetFilter());
    }

    // vorlanda-admin daysheet and daylist; their refusals write nothing.
    void commands() {
        QFile ini(co.db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + co.db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        const QString alfa = co.sites.value("merge").customer;
        QString out;
        QCOMPARE(run({"daysheet", "20260504", "--customer", alfa}, &out), 0);
        QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == 4, qPrintable(out));
        QVERIFY(lines[0].startsWith("TSORSZAM\tUGYFEL\tCIM\tDB\t"));
        const QStringList cells = lines[1].split('\t');
        QCOMPARE(cells[1], QStringLiteral("Alfa Kft."));
        QCOMPARE(cells[3], QStringLiteral("2"));
        QCOMPARE(cells[8], QStringLiteral("101,102"));
        QCOMPARE(lines[2], QStringLiteral("Összes tétel: 1"));
        QCOMPARE(lines[3], QStringLiteral("Tev.össz.: Karbantartás (ürítés, takarítás):2"));
        QCOMPARE(run({"daysheet", kDay, "--driver", "S2"}, &out), 0);
        for (const QString& l : out.split('\n', Qt::SkipEmptyParts).mid(1, out.count('\n') - 3))
            QCOMPARE(l.section('\t', 14, 14), QStringLiteral("S2"));

        const QString file = co.db.dir.filePath("cmd_daylist.pdf");
        QCOMPARE(run({"daylist", kDay, "--driver", "S1", "--pdf", file}, &out), 0);
        QCOMPARE(pdf::pdfPageCount(file), 1);
        QVERIFY(squeeze(pdf::pdfText(file)).contains("Gépjármű vezető: Kovács Béla"));

        const qint64 tables = co.db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_'");
        struct Bad { QStringList args; QString text; };
        const QList<Bad> bad{{{"daysheet", "2026.02.30"}, "Hibás dátum: 2026.02.30"},
                             {{"daysheet", kDay, "--driver", "Ödön'"}, "Nincs ilyen sofőr: Ödön'"},
                             {{"daysheet", kDay, "--customer", "x\" OR 1=1"}, "Nincs ilyen ügyfél: x\" OR 1=1"},
                             {{"daylist", kDay, "--pdf", co.db.dir.filePath("x.pdf"), "--driver", "NINCS"},
                              "Nincs ilyen sofőr: NINCS"},
                             {{"daysheet"}, "használat"}};
        for (const Bad& b : bad) {
            QVERIFY2(run(b.args, &out) != 0, qPrintable(out));
            QVERIFY2(out.contains(b.text), qPrintable(out));
        }
        QVERIFY(!QFile::exists(co.db.dir.filePath("x.pdf")));
        QCOMPARE(co.db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_'"), tables);
    }
};

QTEST_MAIN(TstDayList)
#include "tst_daylist.moc"
