// The appendix and its summaries written as PDF and read back with pdftotext:
// the appendix line, cabin numbers cut to 5, the remaining lists per site and
// per customer, one site per page, totals equal to the printed lines.
#include "AppendixTestDb.h"
#include "PdfTools.h"
#include "billing/Appendix.h"
#include "billing/AppendixReports.h"
#include "reporting/Engine.h"

#include <QLocale>
#include <QtTest>

using namespace vl::billing;
using vl::billing::test::AppendixDb;
using namespace vl::reporting::test;

class TestAppendixReports : public QObject {
    Q_OBJECT
    AppendixDb db;
    std::unique_ptr<AppendixService> svc;
    QTemporaryDir out;

    QString pdf(const vl::reporting::Report& r, const QString& name, int* pages = nullptr) {
        const auto doc = vl::reporting::layout(r);
        const QString file = out.filePath(name + QStringLiteral(".pdf"));
        QString why;
        if (!vl::reporting::writePdf(doc, file, 1, &why)) qWarning() << why;
        firstPagePng(file, name);
        if (pages) *pages = pdfPageCount(file);
        QString t = pdfText(file);
        t.replace(QChar(0x00A0), QLatin1Char(' ')).replace(QChar(0x202F), QLatin1Char(' '));
        return t;
    }
    AppendixReportInput input(const QString& customer, bool sitePerPage) {
        AppendixReportInput in;
        in.rows = svc->appendixRows(customer);
        in.from = QStringLiteral("2024.03.01");
        in.to = QStringLiteral("2024.03.31");
        in.sitePerPage = sitePerPage;
        in.company = QStringLiteral("Próba Bérbeadó Kft.");
        return in;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian));
        db.create();
        db.customer(QStringLiteral("R1"), QStringLiteral("Kovács & O'Neil Bt."));
        db.customer(QStringLiteral("R2"), QStringLiteral("Egycímes Zrt."));
        db.site(QStringLiteral("RS1"), QStringLiteral("R1"), QStringLiteral("Telep A"), QStringLiteral("Ács"), QStringLiteral("Első u. 1"));
        db.site(QStringLiteral("RS2"), QStringLiteral("R1"), QStringLiteral("Telep B"), QStringLiteral("Bóly"), QStringLiteral("Második u. 2"));
        db.site(QStringLiteral("RS3"), QStringLiteral("R2"), QStringLiteral("Iroda"), QStringLiteral("Csór"), QStringLiteral("Harmadik u. 3"));
        const QString feb = QStringLiteral("2024.02.01");
        db.contract(10, QStringLiteral("R1"), QStringLiteral("RS1"), QStringLiteral("ATU"), feb);
        db.line(10, 1, QStringLiteral("Hó"), 30000);
        db.cabin(10, 1, 1, QStringLiteral("1234567"), feb);
        db.cabin(10, 1, 2, QStringLiteral("20002"), feb);
        db.cabin(10, 1, 3, QStringLiteral("20003"), feb);
        db.line(10, 2, QStringLiteral("Hó"), 30000);
        db.cabin(10, 2, 1, QStringLiteral("20009"), QStringLiteral("2024.01.05"), QStringLiteral("2024.02.20"));
        db.activity(10, 1, 2, QStringLiteral("2024.03.13"), 1, QStringLiteral("KA"), QStringLiteral("E"), 5000, 2);
        // A visit of a cabin taken back before the period: its line does not print.
        db.activity(10, 2, 1, QStringLiteral("2024.03.05"), 1, QStringLiteral("KA"), QStringLiteral("E"), 4000);
        db.contract(11, QStringLiteral("R1"), QStringLiteral("RS2"), QStringLiteral("ATU"), feb);
        db.line(11, 1, QStringLiteral("Hó"), 45000, 0, 1, QStringLiteral("VIP"));
        db.cabin(11, 1, 1, QStringLiteral("30001"), feb);
        db.contract(12, QStringLiteral("R2"), QStringLiteral("RS3"), QStringLiteral("KP"), feb);
        db.line(12, 1, QStringLiteral("Nap"), 1000);
        db.cabin(12, 1, 1, QStringLiteral("40001"), feb);
        svc = std::make_unique<AppendixService>(*db.conn, db.session());
        svc->build(QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), {});
    }

    void appendixOfTwoSites() {
        int pages = 0;
        const QString t = pdf(AppendixReport(input(QStringLiteral("R1"), false)), QStringLiteral("appendix_two_sites"), &pages);
        QCOMPARE(pages, 1);
        QVERIFY(t.contains(QStringLiteral("Bérbeadási melléklet")));
        QVERIFY(t.contains(QStringLiteral("2024.03.01 -> 2024.03.31 (31 nap)")));
        QVERIFY(t.contains(QStringLiteral("Próba Bérbeadó Kft.")));
        QVERIFY(t.contains(QStringLiteral("Kovács & O'Neil Bt.")));
        QVERIFY(t.contains(QStringLiteral("Szállítási cím:1111 Ács, Első u. 1")));
        // The three cabins of one price: one line, their numbers cut to 5.
        QVERIFY(t.contains(QStringLiteral("12345, 20002, 20003,")));
        QVERIFY(!t.contains(QStringLiteral("1234567")));
        const QRegularExpression line(QStringLiteral("\\n\\s*3\\s+Alap WC kabin\\s+2024\\.02\\.01\\s+30 000/ 1 Hó\\s+Kabin bérlés\\s+93 nap\\s+90 000"));
        QVERIFY2(line.match(t).hasMatch(), qPrintable(t));
        // The activity line: unit price "/" Alkalom, no "nap".
        QVERIFY2(QRegularExpression(QStringLiteral("5 000/ Alkalom\\s+Karbantartás[^\\n]*\\s1\\s+5 000\\s+10 000")).match(t).hasMatch(),
                 qPrintable(t));
        // The line of a cabin back before the period prints nothing, and the
        // totals add exactly the printed lines (not its visit of 4000).
        QVERIFY(!t.contains(QStringLiteral("20009")));
        QVERIFY(!t.contains(QStringLiteral("4 000")));
        QVERIFY2(QRegularExpression(QStringLiteral("Cím összesen nettó érték\\s+100 000")).match(t).hasMatch(), qPrintable(t));
        QVERIFY(QRegularExpression(QStringLiteral("Cím összesen nettó érték\\s+45 000")).match(t).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("Ügyfél mind összesen nettó érték\\s+145 000")).match(t).hasMatch());
        // Remaining products per site, then added up for the customer.
        QCOMPARE(t.count(QStringLiteral("A szállítási címen bérletben maradó termékek az időszak végén:")), 2);
        QVERIFY(t.contains(QStringLiteral("  3 Db. Alap WC kabin")));
        QVERIFY(t.contains(QStringLiteral("  1 Db. Prémium WC kabin kézmosóval")));
        QVERIFY(t.contains(QStringLiteral("Az ügyfélnél bérletben maradó termékek az időszak végén:")));
        QCOMPARE(t.count(QStringLiteral("3 Db. Alap WC kabin")), 2);
    }

    void onePageEachSite() {
        int pages = 0;
        const QString t = pdf(AppendixReport(input(QStringLiteral("R1"), true)), QStringLiteral("appendix_site_pages"), &pages);
        QCOMPARE(pages, 2);
        const QStringList p = t.split(QChar(0x0c));
        QVERIFY(p.at(0).contains(QStringLiteral("Első u. 1")) && !p.at(0).contains(QStringLiteral("Második u. 2")));
        QVERIFY(p.at(1).contains(QStringLiteral("Második u. 2")));
        QVERIFY(p.at(1).contains(QStringLiteral("Címenként külön lapra")));
        QVERIFY(!t.contains(QStringLiteral("Ügyfél mind összesen")));
    }

    void oneSiteCustomerListsNoCustomerRemaining() {
        const QString t = pdf(AppendixReport(input(QStringLiteral("R2"), false)), QStringLiteral("appendix_one_site"));
        QVERIFY(QRegularExpression(QStringLiteral("Ügyfél mind összesen nettó érték\\s+31 000")).match(t).hasMatch());
        QVERIFY(t.contains(QStringLiteral("A szállítási címen bérletben maradó termékek")));
        QVERIFY(!t.contains(QStringLiteral("Az ügyfélnél bérletben maradó termékek")));
        QVERIFY(t.contains(QStringLiteral("1 000/ 1 Nap")));
    }

    void emptyAppendix() {
        AppendixReportInput in = input(QStringLiteral("NINCS"), false);
        QCOMPARE(in.rows.rowCount(), 0);
        QVERIFY(vl::reporting::layout(AppendixReport(in)).pageCount() <= 1);
        QCOMPARE(svc->stamp(in.rows, in.from, in.to).contracts, 0);
    }

    void summaries() {
        const QString caption = SummaryFilterCaption(QString(), QStringLiteral("Utalásos"), QString());
        QCOMPARE(caption, QStringLiteral("Fiz.mód:Utalásos"));
        const auto list = svc->list(false);
        const QString t = pdf(SiteSummaryReport(list, QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), caption,
                                                QStringLiteral("Próba Bérbeadó Kft.")),
                              QStringLiteral("appendix_site_summary"));
        QVERIFY(t.contains(QStringLiteral("Összesített bérbeadási melléklet")));
        QVERIFY(t.contains(QStringLiteral("Fiz.mód:Utalásos")));
        QVERIFY(QRegularExpression(QStringLiteral("Egycímes Zrt.\\s+1111 Csór, Harmadik u. 3")).match(t).hasMatch());
        qint64 total = 0;
        for (int i = 0; i < list.rowCount(); ++i) total += list.at(i, list.indexOf(QStringLiteral("NETTOERTEK"))).toLongLong();
        QCOMPARE(total, svc->totals(false).total);
        QVERIFY(QRegularExpression(QStringLiteral("Mind összesen\\s+%1").arg(QLocale().toString(total).replace(QChar(0x00A0), QLatin1Char(' '))))
                    .match(t).hasMatch());
        const QString t2 = pdf(CustomerSummaryReport(svc->customerTotals(false), QStringLiteral("2024.03.01"),
                                                     QStringLiteral("2024.03.31"), QString(), QString()),
                               QStringLiteral("appendix_customer_summary"));
        QVERIFY2(QRegularExpression(QStringLiteral("Kovács & O'Neil Bt.\\s+149 000\\s+Átutalás")).match(t2).hasMatch(), qPrintable(t2));
        QVERIFY(QRegularExpression(QStringLiteral("Egycímes Zrt.\\s+31 000\\s+Készpénz")).match(t2).hasMatch());
    }
};

QTEST_MAIN(TestAppendixReports)
#include "tst_appendix_reports.moc"
