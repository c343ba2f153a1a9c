// vorlanda-admin appendix through the real program: the list and totals, the
// CSV, one customer's appendix as PDF with its stamps, a summary, refusals.
#include "AppendixTestDb.h"
#include "PdfTools.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using vl::billing::test::AppendixDb;

class TestAppendixAdmin : public QObject {
    Q_OBJECT
    AppendixDb db;

    int admin(const QStringList& args, QString* out, QString* err) {
        return command(QStringList{QStringLiteral("appendix")} + args, out, err);
    }
    int command(const QStringList& args, QString* out, QString* err) {
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
    }
    QString lastprint(qint64 b) {
        auto c = vl::db::connect(vl::rental::test::embeddedParams(db.path));
        const auto rs = c->query(QStringLiteral("SELECT LASTPRINTT || '-' || LASTPRINT FROM FORGFEJ WHERE BIZONYLAT = :b"),
                                 {{QStringLiteral("b"), b}});
        const QString v = rs.isEmpty() || rs.at(0, 0).isNull() ? QString() : rs.at(0, 0).toString();
        c->close();
        return v;
    }

private slots:
    void initTestCase() {
        db.create();
        db.customer(QStringLiteral("C1"), QStringLiteral("Alfa; Kft."), QStringLiteral("I"));
        db.customer(QStringLiteral("C2"), QStringLiteral("Béta Bt."));
        db.site(QStringLiteral("S1"), QStringLiteral("C1"), QStringLiteral("Telep"), QStringLiteral("Budapest"), QStringLiteral("Fő utca 1"));
        db.site(QStringLiteral("S2"), QStringLiteral("C2"), QStringLiteral("Iroda"), QStringLiteral("Győr"), QStringLiteral("Rév u. 2"));
        db.contract(1, QStringLiteral("C1"), QStringLiteral("S1"), QStringLiteral("KP"), QStringLiteral("2024.01.01"));
        db.line(1, 1, QStringLiteral("Hó"), 30000);
        db.cabin(1, 1, 1, QStringLiteral("1001"), QStringLiteral("2024.01.10"));
        db.contract(2, QStringLiteral("C2"), QStringLiteral("S2"), QStringLiteral("ATU"), QStringLiteral("2024.03.11"));
        db.line(2, 1, QStringLiteral("Hó"), 30000, 20000);
        db.cabin(2, 1, 1, QStringLiteral("2001"), QStringLiteral("2024.03.11"), QStringLiteral("2024.03.15"));
        db.activity(2, 1, 1, QStringLiteral("2024.03.15"), 1, QStringLiteral("VSZ"), QStringLiteral("E"), 0);
        db.activity(2, 1, 1, QStringLiteral("2024.03.13"), 1, QStringLiteral("KA"), QStringLiteral("E"), 5000, 2);
        db.activity(2, 1, 1, QStringLiteral("2024.03.13"), 2, QStringLiteral("KA"), QStringLiteral("E"), 5000, 2);
        // Contract 3: a cabin charged from the 15th while its delivery is still
        // planned (a daily price of 35000 / 30), and one whose unit has no
        // billing mark (days counted, nothing charged), delivered.
        db.contract(3, QStringLiteral("C1"), QStringLiteral("S1"), QStringLiteral("KP"), QStringLiteral("2024.03.01"));
        db.line(3, 1, QStringLiteral("Hó"), 35000);
        db.cabin(3, 1, 1, QStringLiteral("3001"), QStringLiteral("2024.03.15"));
        db.activity(3, 1, 1, QStringLiteral("2024.03.15"), 1, QStringLiteral("KIH"), QStringLiteral("T"), 0);
        db.line(3, 2, QStringLiteral("db"), 5000);
        db.cabin(3, 2, 1, QStringLiteral("3002"), QStringLiteral("2024.03.22"));
        db.activity(3, 2, 1, QStringLiteral("2024.03.22"), 1, QStringLiteral("KIH"), QStringLiteral("E"), 0);
        db.conn->close();
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("DBSERVER=%1\nWPWD=NONE\n").arg(db.path).toLocal8Bit());
    }

    void listAndCsv() {
        QString out, err;
        const QString csv = db.dir.filePath(QStringLiteral("m.csv"));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("202403"), QStringLiteral("--csv"), csv}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("Időszak: 2024.03.01 -> 2024.03.31; 4 bérleti és 2 tevékenység sor.\n"
                                             "Kiszállítás még nincs elvégezve: szerződés 3, kabin 3001, tervezett nap 2024.03.15\n")),
                 qPrintable(out + err));
        QCOMPARE(out.count(QStringLiteral("Kiszállítás még nincs elvégezve")), 1);
        QVERIFY2(out.contains(QStringLiteral("Összesítés: 5 darab, 89 833 Ft.")), qPrintable(out));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.at(0), QStringLiteral("UGYFELKOD;UGYFELCIM;BIZONYLAT;TETELSOR;SORSZAM;SORFAJTA;ARUKOD;DATUMTOL;DATUMIG;"
                                             "ELSZNAP;TEVDATUM;TEVKOD;NETTOAR;EGYSEGAR;NETTOERTEK;MINARSZAMOL"));
        // A whole month: no daily price.
        QVERIFY(lines.contains(QStringLiteral("C1;S1;1;1;1;bérlés;1001;2024.03.01;2024.03.31;31;;;30000;0;30000;N")));
        // 17 days of 35000 / 30.
        QVERIFY2(lines.contains(QStringLiteral("C1;S1;3;1;1;bérlés;3001;2024.03.15;2024.03.31;17;;;35000;1166,67;19833;N")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
        // No billing mark: the days counted, nothing charged.
        QVERIFY(lines.contains(QStringLiteral("C1;S1;3;2;1;bérlés;3002;2024.03.22;2024.03.31;10;;;5000;0;0;N")));
        // The minimum price: the daily price of the five days, the basis as days.
        QVERIFY(lines.contains(QStringLiteral("C2;S2;2;1;1;bérlés;2001;2024.03.11;2024.03.15;30;;;30000;1000;20000;I")));
        QCOMPARE(lines.count(QStringLiteral("C2;S2;2;1;1;tevékenység;2001;;;1;2024.03.13;KA;5000;5000;10000;N")), 2);
    }

    void filtersAndRefusals() {
        QString out, err;
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--einvoice"),
                        QStringLiteral("except"), QStringLiteral("--fizmod"), QStringLiteral("N")}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("Összesítés: 2 darab, 40 000 Ft.")), qPrintable(out + err));
        QCOMPARE(admin({QStringLiteral("2024.03.31"), QStringLiteral("2024.03.01")}, &out, &err), 2);
        QVERIFY2(err.contains(QStringLiteral("Hibás dátum intervallum.")), qPrintable(err));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--pdf"),
                        db.dir.filePath(QStringLiteral("x.pdf"))}, &out, &err), 2);
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--fizmod"),
                        QStringLiteral("X")}, &out, &err), 2);
    }

    // A report file on a full file system: an error, exit non-zero, no file
    // (and no temporary one), and the appendix stamps nothing. The same
    // command into a folder with room writes its file (so the fault is met).
    void fullDiskWritesNoFile_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("appendix") << QStringList{QStringLiteral("appendix"), QStringLiteral("2024.03.01"),
                                                 QStringLiteral("2024.03.31"), QStringLiteral("--customer"),
                                                 QStringLiteral("C1"), QStringLiteral("--pdf")};
        QTest::newRow("appendix summary") << QStringList{QStringLiteral("appendix"), QStringLiteral("2024.03.01"),
                                                         QStringLiteral("2024.03.31"), QStringLiteral("--summary"),
                                                         QStringLiteral("customer"), QStringLiteral("--pdf")};
        QTest::newRow("appendix csv") << QStringList{QStringLiteral("appendix"), QStringLiteral("2024.03.01"),
                                                     QStringLiteral("2024.03.31"), QStringLiteral("--csv")};
        QTest::newRow("products") << QStringList{QStringLiteral("products"), QStringLiteral("--pdf")};
        QTest::newRow("list") << QStringList{QStringLiteral("list"), QStringLiteral("SZ_TEVEKENY"), QStringLiteral("--pdf")};
        QTest::newRow("daylist") << QStringList{QStringLiteral("daylist"), QStringLiteral("2024.03.13"), QStringLiteral("--all"),
                                                QStringLiteral("--pdf")};
    }
    void fullDiskWritesNoFile() {
        QFETCH(QStringList, args);
        QString out, err;
        const bool appendixPdf = args.first() == QLatin1String("appendix") && args.contains(QStringLiteral("--customer"));
        // A file system of 64 kB, filled to the last byte.
        QTemporaryDir mnt;
        QVERIFY(mnt.isValid());
        QProcess m;
        m.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=64k"), QStringLiteral("tmpfs"), mnt.path()});
        QVERIFY2(m.waitForFinished(30000) && m.exitCode() == 0,
                 qPrintable(QStringLiteral("a small tmpfs could not be mounted (root needed): ") + m.readAllStandardError()));
        struct Unmount {
            QString path;
            ~Unmount() { QProcess::execute(QStringLiteral("umount"), {path}); }
        } unmount{mnt.path()};
        {
            QFile filler(mnt.filePath(QStringLiteral("toltelek")));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
            }
        }
        const QString file = mnt.filePath(args.first() + (args.last() == QLatin1String("--csv") ? QStringLiteral(".csv")
                                                                                              : QStringLiteral(".pdf")));
        const int code = command(args + QStringList{file}, &out, &err);
        QVERIFY2(code != 0, qPrintable(out + err));
        QVERIFY2(err.contains(QStringLiteral("nem írható")), qPrintable(err));
        QCOMPARE(QDir(mnt.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("toltelek")});
        if (appendixPdf) {
            QVERIFY2(!out.contains(QStringLiteral("nyomtatva jelölve")), qPrintable(out));
            QCOMPARE(lastprint(1), QString());
        }
        // With room, the same command writes the file.
        QTemporaryDir room;
        const QString good = room.filePath(QFileInfo(file).fileName());
        QStringList unstamped;
        {
            auto c = vl::db::connect(vl::rental::test::embeddedParams(db.path));
            const auto rs = c->query(QStringLiteral("SELECT BIZONYLAT FROM FORGFEJ WHERE LASTPRINT IS NULL"));
            for (int r = 0; r < rs.rowCount(); ++r) unstamped << rs.at(r, 0).toString();
            c->close();
        }
        QCOMPARE(command(args + QStringList{good}, &out, &err), 0);
        QVERIFY(QFileInfo(good).size() > 0);
        if (appendixPdf) {
            QCOMPARE(lastprint(1), QStringLiteral("2024.03.01-2024.03.31"));
            // Back as it was for the cases after: every contract of the
            // customer that this print stamped.
            auto c = vl::db::connect(vl::rental::test::embeddedParams(db.path));
            for (const QString& b : unstamped)
                c->exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = NULL, LASTPRINTT = NULL WHERE BIZONYLAT = :b"),
                        {{QStringLiteral("b"), b.toInt()}});
            c->close();
        }
    }

    void pdfStampsAndSummary() {
        QString out, err;
        const QString pdf = db.dir.filePath(QStringLiteral("c2.pdf"));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--customer"),
                        QStringLiteral("C2"), QStringLiteral("--pdf"), pdf}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("1 szerződés nyomtatva jelölve")), qPrintable(out + err));
        QVERIFY(vl::reporting::test::pdfText(pdf).contains(QStringLiteral("Béta Bt.")));
        QCOMPARE(lastprint(2), QStringLiteral("2024.03.01-2024.03.31"));
        QCOMPARE(lastprint(1), QString());
        // An older period never moves the stamp back.
        QCOMPARE(admin({QStringLiteral("2024.02.01"), QStringLiteral("2024.02.29"), QStringLiteral("--customer"),
                        QStringLiteral("C2"), QStringLiteral("--pdf"), pdf}, &out, &err), 0);
        QCOMPARE(lastprint(2), QStringLiteral("2024.03.01-2024.03.31"));
        // The unprinted list leaves the stamped contract out.
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--unprinted")}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("Összesítés: 3 darab, 49 833 Ft.")), qPrintable(out + err));
        // The per-customer totals follow the filter; without it they hold the printed one too.
        QVERIFY2(out.contains(QStringLiteral("Ügyfél C1 Alfa; Kft. (Készpénz): 49833")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("Ügyfél C2")), qPrintable(out));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31")}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("Ügyfél C2 Béta Bt. (Átutalás): 40000")), qPrintable(out));
        const QString unprintedSum = db.dir.filePath(QStringLiteral("u.pdf"));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--unprinted"),
                        QStringLiteral("--summary"), QStringLiteral("customer"), QStringLiteral("--pdf"), unprintedSum},
                       &out, &err), 0);
        QVERIFY(!vl::reporting::test::pdfText(unprintedSum).contains(QStringLiteral("Béta Bt.")));
        const QString sum = db.dir.filePath(QStringLiteral("s.pdf"));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--summary"),
                        QStringLiteral("customer"), QStringLiteral("--pdf"), sum}, &out, &err), 0);
        const QString t = vl::reporting::test::pdfText(sum);
        QVERIFY(t.contains(QStringLiteral("Összesített bérbeadási melléklet")));
        QVERIFY(t.contains(QStringLiteral("Alfa; Kft.")));
        const QString site = db.dir.filePath(QStringLiteral("site.pdf"));
        QCOMPARE(admin({QStringLiteral("2024.03.01"), QStringLiteral("2024.03.31"), QStringLiteral("--customer"),
                        QStringLiteral("C1"), QStringLiteral("--fizmod"), QStringLiteral("I"), QStringLiteral("--summary"),
                        QStringLiteral("site"), QStringLiteral("--pdf"), site}, &out, &err), 0);
        const QString ts = vl::reporting::test::pdfText(site);
        QVERIFY2(ts.contains(QStringLiteral("Ügyfél:Alfa; Kft.; Fiz.mód:Készpénzes")), qPrintable(ts));
        QVERIFY(!ts.contains(QStringLiteral("Béta Bt.")));
    }
};

QTEST_GUILESS_MAIN(TestAppendixAdmin)
#include "tst_appendix_admin.moc"
