// vorlanda-admin calendar through the real program: the year's holidays
// seeded and listed, moved working days and closed days read from a file
// (all or nothing), the company's rule, and --apply moving the planned
// visits of a running contract.
#include "RentalTestDb.h"
#include "tst_schedule_fixture.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

using namespace vl::rental::test;

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run admin(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir + QStringLiteral("/.nincs-adatkonyvtar"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VL_ADMIN_EXE), args);
    Run r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void writeFile(const QString& path, const QByteArray& body) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(body);
}

QStringList lines(const QString& text) { return text.split(u'\n', Qt::SkipEmptyParts); }

} // namespace

class TstCalendarCommand : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;

    QStringList query(const QString& sql) {
        auto conn = vl::db::connect(embeddedParams(db));
        auto rs = conn->query(sql);
        QStringList l;
        while (rs.next()) {
            QStringList cols;
            for (int c = 0; c < rs.columnCount(); ++c) cols << rs.value(c).toString().trimmed();
            l << cols.join(u'|');
        }
        conn->close();
        return l;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(dir.isValid());
        db = dir.filePath(QStringLiteral("naptar.fdb"));
        writeFile(dir.filePath(QStringLiteral("PKR.INI")), QStringLiteral("DBSERVER=%1\r\n").arg(db).toUtf8());
        const Run init = admin(dir.path(), {QStringLiteral("init-db")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
        // A running contract of 2099: one item on Mondays in April (Easter
        // Monday is 2099.04.13, Good Friday 04.10), its visits generated as
        // before ("Marad"), the one of 04.20 done already.
        auto conn = vl::db::connect(embeddedParams(db));
        auto tx = conn->begin();
        ContractFixture c;
        c.bizonylat = 1;
        c.fizmod = QStringLiteral("ATU");
        c.berkezd = QStringLiteral("2099.04.01");
        LineFixture l;
        l.kiszall = QStringLiteral("2099.04.01");
        l.vszall = QStringLiteral("2099.04.30");
        c.lines << l;
        insertContract(*tx, c);
        int no = 0;
        for (const char* d : {"2099.04.06", "2099.04.13", "2099.04.20", "2099.04.27"})
            tx->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                     " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KEPZETT) VALUES (1, 1, 1, 1, :d, 1, 'KA', 'K1-1-1',"
                     " :st, 'S1', 4500, 1, 'K')",
                     {{"d", QString::fromLatin1(d)}, {"st", ++no == 3 ? QStringLiteral("E") : QStringLiteral("T")}});
        tx->commit();
        conn->close();
    }

    void listSeedsTheYear() {
        const Run r = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--list")});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        const QStringList l = lines(r.out);
        QCOMPARE(l.size(), 16);
        QCOMPARE(l.first(), QStringLiteral("2099. év: a számított munkaszüneti napok felvéve."));
        QVERIFY2(l.contains(QStringLiteral("2099.04.13 U Hétfő  Munkaszüneti nap: Húsvéthétfő")), qPrintable(r.out));
        QVERIFY2(l.contains(QStringLiteral("2099.06.01 U Hétfő  Munkaszüneti nap: Pünkösdhétfő")), qPrintable(r.out));
        QCOMPARE(l.last(), QStringLiteral("A cég naptárszabálya: Marad; áthelyezett munkanap a kiváltott nap"
                                          " karbantartásait nem kapja."));
        // A second run seeds nothing more.
        const Run again = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099")});
        QCOMPARE(again.code, 0);
        QCOMPARE(again.out, QString());
        QCOMPARE(query("SELECT COUNT(*) FROM SZ_NAPTAR WHERE DATUM STARTING WITH '2099.'"), QStringList{"14"});
    }

    void badFileWritesNothing() {
        writeFile(dir.filePath(QStringLiteral("rossz.csv")),
                  "DATUM;FAJTA;HELYETT;NEV\n2099.01.07;M;2099.01.02;Munkanap\n2099.02.30;Z;;Leltár\n"
                  "2099.01.10;M;2099.01.02;Munkanap\n2099.01.10;Z;;Zárva\n2099.04.13;Z;;Leltár\n2098.12.31;Z;;\n");
        const Run r = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--import"),
                                         QStringLiteral("rossz.csv")});
        QCOMPARE(r.code, 1);
        QCOMPARE(lines(r.err), (QStringList{
            "calendar: 2. sor: 2099.01.07 hétköznap: áthelyezett munkanap csak szombat vagy vasárnap lehet.",
            "calendar: 3. sor: A naptár sorának dátuma nem érvényes nap: \"2099.02.30\".",
            "calendar: 5. sor: két sor ugyanarra a napra: 2099.01.10 (a(z) 4. sorban is).",
            "calendar: 7. sor: 2098.12.31 nem a(z) 2099. év napja.",
            "calendar: semmi nem került tárolásra."}));
        // The rows of the file that pass on their own meet the dictionary:
        // a day already holding a holiday is refused, and nothing is written.
        writeFile(dir.filePath(QStringLiteral("utkozo.csv")), "2099.01.10;M;2099.01.02;Munkanap\n2099.04.13;Z;;Leltár\n");
        const Run clash = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--import"),
                                             QStringLiteral("utkozo.csv")});
        QCOMPARE(clash.code, 1);
        QCOMPARE(lines(clash.err), (QStringList{
            "calendar: 2. sor: két sor ugyanarra a napra: 2099.04.13 (a naptárban már: U Húsvéthétfő).",
            "calendar: semmi nem került tárolásra."}));
        QCOMPARE(query("SELECT COUNT(*) FROM SZ_NAPTAR WHERE DATUM STARTING WITH '2099.'"), QStringList{"14"});
        const Run noFile = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--import"),
                                              QStringLiteral(".")});
        QCOMPARE(noFile.code, 2);
    }

    void importRuleAndApply() {
        writeFile(dir.filePath(QStringLiteral("naptar.csv")),
                  "DATUM;FAJTA;HELYETT;NEV\r\n2099.01.10;M;2099.01.02;Munkanap\r\n2099.04.20;Z;;Leltár\r\n");
        const Run imp = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--import"),
                                           QStringLiteral("naptar.csv")});
        QVERIFY2(imp.code == 0, qPrintable(imp.out + imp.err));
        QCOMPARE(lines(imp.out), (QStringList{"2099. év: 2 nap felvéve, 0 már a naptárban volt.",
                                              "2099.04.20: 1 elvégzett karbantartás marad ezen a napon."}));
        // The calendar alone moves nothing.
        QCOMPARE(query("SELECT DATUM FROM FORGTEV WHERE BIZONYLAT = 1 ORDER BY DATUM"),
                 (QStringList{"2099.04.06", "2099.04.13", "2099.04.20", "2099.04.27"}));

        const Run rule = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("--rule"), QStringLiteral("elozo")});
        QVERIFY2(rule.code == 0, qPrintable(rule.out + rule.err));
        QCOMPARE(rule.out.trimmed(), QStringLiteral("A cég naptárszabálya: Előző munkanapra."));
        QCOMPARE(query("SELECT NAPTARSZABALY FROM CEG"), QStringList{"E"});

        const Run apply = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--apply")});
        QVERIFY2(apply.code == 0, qPrintable(apply.out + apply.err));
        QCOMPARE(lines(apply.out), (QStringList{"Szerződések: 1", "Új tervezett karbantartás: 1, ebből áthelyezett: 1, törölt: 1",
                                                "Munkaszüneti napon maradt elvégzett karbantartás: 1"}));
        // Easter Monday's visit went to Thursday before Good Friday at its own
        // price; the done visit of the closed day stays and is not generated again.
        QCOMPARE(query("SELECT DATUM, TEVALLAPOT, NETTOAR, EREDETINAP FROM FORGTEV WHERE BIZONYLAT = 1 ORDER BY DATUM"),
                 (QStringList{"2099.04.06|T|4500|", "2099.04.09|T|4500|2099.04.13", "2099.04.20|E|4500|",
                              "2099.04.27|T|4500|"}));
        const Run twice = admin(dir.path(), {QStringLiteral("calendar"), QStringLiteral("2099"), QStringLiteral("--apply")});
        QCOMPARE(lines(twice.out).value(0), QStringLiteral("Szerződések: 0"));
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no year") << QStringList{"calendar"}
                                 << "calendar: adja meg az évet (például 2027) vagy a --rule kapcsolót.";
        QTest::newRow("bad year") << QStringList{"calendar", "20x9"}
                                  << "calendar: hibás év: \"20x9\" (1900 és 2099 közötti egész szám kell).";
        QTest::newRow("bad rule") << QStringList{"calendar", "--rule", "hetfore"}
                                  << "calendar: a --rule értéke marad, elozo, kovetkezo vagy elmarad lehet, nem \"hetfore\".";
        QTest::newRow("list without a year") << QStringList{"calendar", "--rule", "marad", "--list"}
                                             << "calendar: a --list, --import és --apply kapcsolóhoz meg kell adni az évet.";
    }
    void badArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run r = admin(dir.path(), args);
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err.trimmed(), message);
        QCOMPARE(query("SELECT NAPTARSZABALY FROM CEG"), QStringList{"E"});
    }
};

QTEST_GUILESS_MAIN(TstCalendarCommand)
#include "tst_calendar_command.moc"
