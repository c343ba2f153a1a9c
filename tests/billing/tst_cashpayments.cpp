// The cash payment report (Tqrkpfiz) written as PDF and read back with
// pdftotext: its rows newest first, the status name beside each amount, the
// count and the total, an address with a missing part, a customer without
// active contracts, and vorlanda-admin cash-payments.
#include "AppendixTestDb.h"
#include "PdfTools.h"
#include "billing/CashPayments.h"
#include "reporting/Engine.h"

#include <QLocale>
#include <QProcess>
#include <QtTest>

using namespace vl::billing;
using vl::billing::test::AppendixDb;
using namespace vl::reporting::test;

class TestCashPayments : public QObject {
    Q_OBJECT
    AppendixDb db;
    QTemporaryDir out;

    QString pdf(const vl::reporting::Report& r, const QString& name) {
        const auto doc = vl::reporting::layout(r);
        const QString file = out.filePath(name + QStringLiteral(".pdf"));
        QString why;
        if (!vl::reporting::writePdf(doc, file, 1, &why)) qWarning() << why;
        firstPagePng(file, name);
        QString t = pdfText(file);
        t.replace(QChar(0x00A0), QLatin1Char(' ')).replace(QChar(0x202F), QLatin1Char(' '));
        return t;
    }
    void fiz(qint64 b, const QString& d, const QString& d2, qint64 netto, const QString& st) {
        db.exec(QStringLiteral("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVKOD)"
                               " VALUES (:b, 1, :d, 1, :d2, :n, :n, :s, 'FIZ')"),
                {{"b", b}, {"d", d}, {"d2", d2}, {"n", netto}, {"s", st}});
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian));
        db.create();
        db.customer("K1", "Kovács & O'Neil Bt.");
        db.customer("K2", "Üres Kft.");
        db.site("KS1", "K1", "Telep", "Ács", "Első u. 1");
        // A site without a street: the address still prints.
        db.exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS) VALUES ('KS2', 'K1', 'Tanya', '7000', 'Sárbogárd')");
        db.contract(21, "K1", "KS1", "KP", "2026.03.02");
        db.contract(22, "K1", "KS2", "KP", "2026.03.02");
        db.contract(23, "K1", "KS1", "KP", "2026.03.02", QVariant(), "X", "N");   // not active: not listed
        db.contract(24, "K2", "KS1", "KP", "2026.03.02", QVariant(), "FO", "N");
        fiz(21, "2026.03.02", "2026.04.30", 20000, "E");
        fiz(21, "2026.05.01", "2026.05.31", 10000, "T");
        fiz(22, "2026.04.01", "2026.04.30", 12345, "E");
        fiz(23, "2026.06.01", "2026.06.30", 999, "E");
        fiz(24, "2026.06.01", "2026.06.30", 777, "E");
    }

    // The unpaid periods due in a window: by day, then by the customer's name
    // in Hungarian order ("Cukor" before "Csaba", "Zoltán" before "Zsák"),
    // then by contract; paid periods, periods outside the window, and those
    // of contracts not running or not active are left out; a contract
    // without its site still comes, its address empty.
    void dueUnpaidPeriods() {
        db.customer("K3", "Csaba Kft.");
        db.customer("K4", "Cukor Bt.");
        db.customer("K5", "Zsák Kft.");
        db.customer("K6", "Zoltán Bt.");
        db.contract(31, "K3", "KS1", "KP", "2026.06.01");
        db.contract(32, "K4", "KS1", "KP", "2026.06.01");
        db.contract(33, "K5", "KS1", "KP", "2026.06.01");
        db.contract(34, "K6", "KS1", "KP", "2026.06.01");
        db.contract(35, "K3", "KS1", "KP", "2026.06.01", QVariant(), "LEZ");   // closed
        db.contract(36, "K3", "KS1", "KP", "2026.06.01");
        db.contract(37, "K4", "NINCS", "KP", "2026.06.01");                    // its site is gone
        for (qint64 b : {33, 31, 37, 34, 32, 35}) fiz(b, "2026.07.01", "2026.07.31", 1000 * b, "T");
        fiz(36, "2026.07.01", "2026.07.31", 36000, "E");                          // paid
        db.exec("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVKOD)"
                " VALUES (34, 1, '2026.06.15', 2, '2026.06.30', 500, 635, 'T', 'FIZ')");
        db.exec("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVKOD)"
                " VALUES (32, 1, '2026.08.01', 2, '2026.08.31', 500, 635, 'T', 'FIZ')");  // after the window
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const auto rs = DueUnpaidPeriods(*tx, "2026.06.01", "2026.07.31");
        QStringList names;
        for (const auto& c : rs.columns()) names << c.name;
        QCOMPARE(names, (QStringList{"BIZONYLAT", "VERZIO", "DATUM", "DATUM2", "NETTO", "BRUTTO", "UGYFELKOD",
                                               "UGYFEL", "CIM"}));
        QStringList got;
        for (int r = 0; r < rs.rowCount(); ++r)
            got << QStringLiteral("%1 %2 %3 %4 %5|%6")
                       .arg(rs.at(r, 0).toString(), rs.at(r, 2).toString(), rs.at(r, 4).toString(), rs.at(r, 5).toString(),
                            rs.at(r, 7).toString(), rs.at(r, 8).toString());
        const QStringList want{
            "34 2026.06.15 500 635 Zoltán Bt.|1111 Ács, Első u. 1",
            "32 2026.07.01 32000 32000 Cukor Bt.|1111 Ács, Első u. 1",
            "37 2026.07.01 37000 37000 Cukor Bt.| , ",
            "31 2026.07.01 31000 31000 Csaba Kft.|1111 Ács, Első u. 1",
            "34 2026.07.01 34000 34000 Zoltán Bt.|1111 Ács, Első u. 1",
            "33 2026.07.01 33000 33000 Zsák Kft.|1111 Ács, Első u. 1",
        };
        QCOMPARE(got, want);
        tx->commit();
        db.exec("DELETE FROM FORGFIZ WHERE BIZONYLAT BETWEEN 31 AND 37");
        db.exec("DELETE FROM FORGFEJ WHERE BIZONYLAT BETWEEN 31 AND 37");
    }

    void rows() {
        const auto rs = CashPaymentRows(*db.conn, "K1");
        QCOMPARE(rs.rowCount(), 3);
        QStringList dates, addresses;
        for (int r = 0; r < rs.rowCount(); ++r) {
            dates << rs.at(r, rs.indexOf("DATUM")).toString();
            addresses << rs.at(r, rs.indexOf("CIM")).toString();
        }
        QCOMPARE(dates, (QStringList{"2026.05.01", "2026.04.01", "2026.03.02"}));
        QCOMPARE(addresses.at(1), QStringLiteral("7000 Sárbogárd, "));
    }

    void report() {
        const QString t = pdf(CashPaymentReportOf(*db.conn, "K1"), "cashpayments");
        for (const char* s : {"Korábbi készpénz kifizetések", "Készült: ", "Partner:Kovács & O'Neil Bt.", "Cím",
                              "Kifizetés dátuma", "Érvényessége", "Nettó összeg", "1111 Ács, Első u. 1", "7000 Sárbogárd,",
                              "Összes tétel 3", "Nettó összesen 42 345"})
            QVERIFY2(t.contains(QString::fromUtf8(s)), s);
        // The status name beside each amount.
        auto lineOf = [&](const QString& amount) {
            for (const QString& l : t.split('\n'))
                if (l.contains(amount)) return l;
            return QString();
        };
        QVERIFY2(lineOf("20 000").contains(QString::fromUtf8("Elvégezve (fizetve)")), qPrintable(lineOf("20 000")));
        QVERIFY2(lineOf("10 000").contains(QStringLiteral("Tervezett")), qPrintable(lineOf("10 000")));
        // Newest first.
        QVERIFY(t.indexOf("2026.05.01") < t.indexOf("2026.04.01"));
        QVERIFY(t.indexOf("2026.04.01") < t.indexOf("2026.03.02"));
        QVERIFY(!t.contains("999"));
    }

    void customerWithoutActiveContracts() {
        const QString t = pdf(CashPaymentReportOf(*db.conn, "K2"), "cashpayments_empty");
        QVERIFY(t.contains(QString::fromUtf8("Partner:Üres Kft.")));
        QVERIFY(t.contains(QString::fromUtf8("Összes tétel 0")));
        QVERIFY(t.contains(QString::fromUtf8("Nettó összesen 0")));
    }
};

QTEST_MAIN(TestCashPayments)
#include "tst_cashpayments.moc"
