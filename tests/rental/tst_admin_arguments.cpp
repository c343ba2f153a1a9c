// Every command of vorlanda-admin checks its arguments before it reads or
// writes anything: a number beyond its column, a key longer than its column, a
// day outside the years the program works with, an input that is not a regular
// file are refused with a Hungarian message naming the argument, a non-zero
// exit, never the server's error with the statement, and the database is as
// it was. Run through the real program on the demonstration database.
#include "RentalTestDb.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>

namespace {

struct Run {
    int code = -1;
    QString text; // standard output and error
};

Run admin(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(VL_ADMIN_EXE), args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.text = QStringLiteral("timeout");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.text = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestAdminArguments : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db, contract;

    QString path(const QString& n) const { return dir.filePath(n); }

    // What a write of any of these commands would change.
    QString fingerprint() const {
        auto c = vl::db::connect(vl::rental::test::embeddedParams(db));
        QStringList parts;
        for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ", "UGYFEL", "UGYFELCIM", "ARU"})
            parts << QString::fromLatin1(t) + QLatin1Char('=') +
                         c->query(QStringLiteral("SELECT COUNT(*) FROM ") + QString::fromLatin1(t)).at(0, 0).toString();
        parts << c->query(QStringLiteral("SELECT MAX(MIKOR) || '|' || MAX(JUZER) FROM FORGFEJ")).at(0, 0).toString();
        parts << c->query(QStringLiteral("SELECT LIST(KISZALL || SOFORKOD) FROM FORGKABIN")).at(0, 0).toString();
        c->close();
        return parts.join(QLatin1Char(' '));
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(dir.isValid());
        db = path(QStringLiteral("var/pkr.fdb"));
        QFile ini(path(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("DBSERVER=%1\r\nWPWD=ZUMOR\r\n").arg(db).toLocal8Bit());
        ini.close();
        const Run init = admin(dir.path(), {QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(init.code == 0, qPrintable(init.text));
        auto c = vl::db::connect(vl::rental::test::embeddedParams(db));
        contract = c->query(QStringLiteral("SELECT MIN(BIZONYLAT) FROM FORGKABIN WHERE TETELSOR = 1 AND SORSZAM = 1"))
                       .at(0, 0)
                       .toString();
        c->close();
        QVERIFY(!contract.isEmpty());
        // Inputs that are not regular files: a FIFO, a folder, and a configuration including the FIFO.
        QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("cso.sql"))).constData(), 0600) == 0);
        QVERIFY(QDir().mkpath(path(QStringLiteral("mappa.sql"))));
        QFile inc(path(QStringLiteral("CSO.INI")));
        QVERIFY(inc.open(QIODevice::WriteOnly));
        inc.write(QStringLiteral("DBSERVER=%1\r\n@cso.sql\r\n").arg(db).toLocal8Bit());
    }

    void refusedBeforeAnythingIsDone_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString b = contract;
        const QString longKey(100, QLatin1Char('1'));
        const QString shownKey = QString(40, QLatin1Char('1')) + QStringLiteral("…");
        const QString tooBig = QStringLiteral("2147483648");
        const QString numberRange = QStringLiteral("(1 és 2147483647 közötti egész szám kell).");
        const QString dayRange = QStringLiteral("valós nap kell éééé.hh.nn alakban, 1900.01.01 és 2099.12.31 között).");
        QTest::newRow("check, an option it does not know") << QStringList{"check", "--count"}
                                                           << "check: ismeretlen argumentum: --count";
        QTest::newRow("contract cancel, number beyond INTEGER")
            << QStringList{"contract", "cancel", tooBig}
            << "contract cancel: hibás szerződésszám: \"2147483648\" " + numberRange;
        QTest::newRow("contract show, number beyond INTEGER")
            << QStringList{"contract", "show", "99999999999"}
            << "contract show: hibás szerződésszám: \"99999999999\" " + numberRange;
        QTest::newRow("contract reopen, not a number") << QStringList{"contract", "reopen", "12a"}
                                                       << "contract reopen: hibás szerződésszám: \"12a\" " + numberRange;
        QTest::newRow("customer key of 100 characters")
            << QStringList{"customer", "show", longKey}
            << "customer: hibás ügyfélkód: \"" + shownKey + "\" (legfeljebb 20 karakter lehet, ez 100).";
        QTest::newRow("site key of 100 characters") << QStringList{"site", "delete", longKey, "--yes"}
                                                    << "site: hibás címkód: \"" + shownKey + "\"";
        QTest::newRow("item, delivery in 9999") << QStringList{"item", b, "1", "1", "--set", "KISZALL=9999.12.31"}
                                                << "item: Hibás dátum: 9999.12.31 (KISZALL: " + dayRange;
        QTest::newRow("item, line beyond INTEGER") << QStringList{"item", b, tooBig, "1", "--set", "SOFORKOD=S1"}
                                                   << "item: hibás tételsor: \"2147483648\" " + numberRange;
        QTest::newRow("item, driver code too long") << QStringList{"item", b, "1", "1", "--set", "SOFORKOD=" + longKey}
                                                    << "item: hibás sofőrkód (SOFORKOD): \"" + shownKey + "\"";
        QTest::newRow("item, product key too long") << QStringList{"item", b, "1", "1", "--product", longKey}
                                                    << "item: hibás termékszám: \"" + shownKey + "\"";
        QTest::newRow("activity, number beyond INTEGER")
            << QStringList{"activity", b, "1", "1", "20260504", tooBig, "--done"}
            << "activity: hibás tevékenység sorszáma: \"2147483648\" " + numberRange;
        QTest::newRow("activity, day in 9999") << QStringList{"activity", b, "1", "1", "99991231", "1", "--done"}
                                               << "activity: Hibás dátum: 99991231 (dátum: " + dayRange;
        QTest::newRow("activity, move to 9999") << QStringList{"activity", b, "1", "1", "20260504", "1", "--move", "9999.12.31"}
                                                << "activity: Hibás dátum: 9999.12.31 (új dátum (--move): " + dayRange;
        QTest::newRow("payment, contract beyond INTEGER")
            << QStringList{"payment", tooBig, "--amount", "100", "--from", "2026.05.01"}
            << "payment: hibás szerződésszám: \"2147483648\" " + numberRange;
        QTest::newRow("payment, start in 9999") << QStringList{"payment", b, "--amount", "100", "--from", "9999.12.31"}
                                                << "payment: Hibás dátum: 9999.12.31 (--from: " + dayRange;
        QTest::newRow("payment, row number beyond INTEGER") << QStringList{"payment", b, "--toggle", "2026.05.01/" + tooBig}
                                                            << "payment: hibás fizetés sorszáma: \"2147483648\"";
        QTest::newRow("payment-mode, customer key too long") << QStringList{"payment-mode", longKey, "KP"}
                                                             << "payment-mode: hibás ügyfélkód: \"" + shownKey + "\"";
        QTest::newRow("store-line, customer key too long") << QStringList{"store-line", longKey, "1", "--mennyiseg", "1"}
                                                           << "store-line: hibás ügyfélkód: \"" + shownKey + "\"";
        QTest::newRow("store-line, delivery in 9999") << QStringList{"store-line", "1", "1", "--kiszall", "9999.12.31"}
                                                      << "store-line: Hibás dátum: 9999.12.31 (--kiszall: " + dayRange;
        QTest::newRow("store-line, quantity beyond INTEGER")
            << QStringList{"store-line", "1", "1", "--mennyiseg", "99999999999"}
            << "store-line: hibás szám (--mennyiseg): \"99999999999\" (0 és 2147483647 közötti egész szám kell).";
        QTest::newRow("daysheet, day in 9999") << QStringList{"daysheet", "9999.12.31"}
                                               << "daysheet: Hibás dátum: 9999.12.31 (dátum: " + dayRange;
        QTest::newRow("daysheet, customer key too long") << QStringList{"daysheet", "2026.05.04", "--customer", longKey}
                                                         << "daysheet: hibás ügyfélkód (--customer): \"" + shownKey + "\"";
        QTest::newRow("handover, contract beyond INTEGER") << QStringList{"handover", tooBig, "--pdf", "x.pdf"}
                                                           << "handover: hibás szerződésszám: \"2147483648\" " + numberRange;
        QTest::newRow("contracts, number beyond INTEGER") << QStringList{"contracts", "--number", tooBig}
                                                          << "contracts: hibás szerződésszám (--number): \"2147483648\"";
        QTest::newRow("contracts, start in 9999") << QStringList{"contracts", "--from", "9999.01.01"}
                                                  << "contracts: Hibás dátum: 9999.01.01 (--from: " + dayRange;
        QTest::newRow("cash-payments, customer key too long") << QStringList{"cash-payments", longKey, "--pdf", "x.pdf"}
                                                              << "cash-payments: hibás ügyfélkód: \"" + shownKey + "\"";
        QTest::newRow("history, product key too long") << QStringList{"history", longKey, "--pdf", "x.pdf"}
                                                       << "history: hibás termékkód: \"" + shownKey + "\"";
        QTest::newRow("run-script, a FIFO") << QStringList{"run-script", path("cso.sql")}
                                            << "run-script: a(z) parancsfájl (" + path("cso.sql") +
                                                   ") nem közönséges fájl, hanem csővezeték (FIFO).";
        QTest::newRow("run-script, a folder") << QStringList{"run-script", path("mappa.sql")}
                                              << "run-script: a(z) parancsfájl (" + path("mappa.sql") +
                                                     ") nem közönséges fájl, hanem mappa.";
        for (const char* cmd : {"import-customers", "import-products", "import-contracts"})
            QTest::newRow(qPrintable(QStringLiteral("%1, a FIFO").arg(QLatin1String(cmd))))
                << QStringList{QString::fromLatin1(cmd), path("cso.sql"), "--dry-run"}
                << QStringLiteral("%1: a(z) CSV fájl (%2) nem közönséges fájl, hanem csővezeték (FIFO).")
                       .arg(QLatin1String(cmd), path(QStringLiteral("cso.sql")));
        QTest::newRow("configuration, a FIFO") << QStringList{"--ini", path("cso.sql"), "check"}
                                               << "Ini file: " + path("cso.sql") +
                                                      " nem közönséges fájl, hanem csővezeték (FIFO).";
    }
    void refusedBeforeAnythingIsDone() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString before = fingerprint();
        const Run r = admin(dir.path(), args);
        QVERIFY2(r.code != 0 && r.code != -2, qPrintable(QString::number(r.code) + QLatin1Char(' ') + r.text));
        QVERIFY2(r.text.contains(message), qPrintable(r.text));
        // Never the server's own error or a statement.
        QVERIFY2(!r.text.contains(QStringLiteral("Adatbázis hiba")), qPrintable(r.text));
        QVERIFY2(!r.text.contains(QStringLiteral("SELECT")) && !r.text.contains(QStringLiteral("UPDATE")), qPrintable(r.text));
        QCOMPARE(fingerprint(), before);
        QVERIFY(!QFile::exists(path(QStringLiteral("x.pdf"))));
    }

    // An include that is a FIFO is named as one, and never waited on.
    void includeThatIsAFifo() {
        const Run r = admin(dir.path(), {QStringLiteral("--ini"), path(QStringLiteral("CSO.INI")), QStringLiteral("check")});
        QVERIFY2(r.text.contains(QStringLiteral("Ini file: cso.sql nem közönséges fájl, nem olvasható be.")), qPrintable(r.text));
        QVERIFY2(r.code != -2, qPrintable(r.text));
    }

    // The lookup's CSV never hands a spreadsheet a formula: a remark that
    // starts like one is written with a leading "'", numbers stay numbers.
    void contractsCsvHoldsNoFormula() {
        auto c = vl::db::connect(vl::rental::test::embeddedParams(db));
        c->exec(QStringLiteral("UPDATE FORGFEJ SET KOMMENT = :k WHERE BIZONYLAT = :b"),
                {{QStringLiteral("k"), QStringLiteral("=HYPERLINK(\"http://x\")")}, {QStringLiteral("b"), contract.toLongLong()}});
        c->close();
        const QString csv = path(QStringLiteral("szerzodesek.csv"));
        const Run r = admin(dir.path(), {QStringLiteral("contracts"), QStringLiteral("--number"), contract, QStringLiteral("--csv"), csv});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(1).startsWith(contract + QLatin1Char(';')), qPrintable(lines.at(1)));
        QVERIFY2(lines.at(1).contains(QStringLiteral(";\"'=HYPERLINK(\"\"http://x\"\")\"")), qPrintable(lines.at(1)));
    }

    // The checks let ordinary arguments through.
    void ordinaryArgumentsStillWork() {
        Run r = admin(dir.path(), {QStringLiteral("contract"), QStringLiteral("show"), contract});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        r = admin(dir.path(), {QStringLiteral("daysheet"), QStringLiteral("20260504")});
        QVERIFY2(r.code == 0, qPrintable(r.text));
    }
};

QTEST_GUILESS_MAIN(TestAdminArguments)
#include "tst_admin_arguments.moc"
