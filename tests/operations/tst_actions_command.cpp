// vorlanda-admin activity: the log's actions on one activity, one step after
// the other on one company; each step checks the row after it, and a refusal
// or an unanswered question writes nothing.
#include "ActionsFixture.h"

#include <QProcess>
#include <QStringEncoder>
#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;

class TstActionsCommand : public QObject {
    Q_OBJECT
    ActionsCo co;

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
        co.buildActions();
        QFile ini(co.db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + co.db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
    }

    void steps_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("row");       // the KA row of the day after the step
        QTest::addColumn<QString>("said");      // a text the output holds ("" none)
        const QString today = QDate::currentDate().toString("yyyy.MM.dd");
        QTest::newRow("done") << QStringList{"--done"} << 0 << "E|K|S1|Kulcs a portán|4500" << "Kész:";
        QTest::newRow("done again") << QStringList{"--done"} << 1 << "E|K|S1|Kulcs a portán|4500"
                                    << "A tevékenység már el van végezve.";
        QTest::newRow("undone on a past day") << QStringList{"--undone"} << 0 << "L|K|S1|Kulcs a portán|4500" << "";
        QTest::newRow("an inactive driver") << QStringList{"--driver", "S3"} << 1 << "L|K|S1|Kulcs a portán|4500"
                                            << "Adatbázis hiba, nincs meg a sofőr";
        QTest::newRow("a driver") << QStringList{"--driver", "S2"} << 0 << "L|K|S2|Kulcs a portán|4500" << "";
        QTest::newRow("delete without --yes") << QStringList{"--delete"} << 1 << "L|K|S2|Kulcs a portán|4500" << "";
        QTest::newRow("delete") << QStringList{"--delete", "--yes"} << 0
                                << "X|K|S2|Kulcs a portán Törölve:" + today + "|4500" << "";
        QTest::newRow("restore") << QStringList{"--restore", "--yes"} << 0
                                 << "T|K|S2|Kulcs a portán Törölve:" + today + " visszaállítva:" + today + "|4500" << "";
        QTest::newRow("move to the same day") << QStringList{"--move", "2026.05.04"} << 1
                                              << "T|K|S2|Kulcs a portán Törölve:" + today + " visszaállítva:" + today + "|4500"
                                              << "Előbb adjon meg másik dátumot!";
        QTest::newRow("move") << QStringList{"--move", "20260506"} << 0 << "A|A|S2| Áthelyezve:2026.05.06-re|4500" << "";
        QTest::newRow("two actions") << QStringList{"--done", "--delete"} << 2 << "A|A|S2| Áthelyezve:2026.05.06-re|4500"
                                     << "használat:";
    }
    void steps() {
        QFETCH(QStringList, options);
        QFETCH(int, rc);
        QFETCH(QString, row);
        QFETCH(QString, said);
        QString out;
        QCOMPARE(run(QStringList{"activity", QString::number(co.plain), "1", "1", "20260504", "1"} + options, &out), rc);
        QVERIFY2(said.isEmpty() || out.contains(said), qPrintable(out));
        QCOMPARE(co.row(co.plain, 1, 1, kDay, "KA"), row);
    }

    void theMovedOccurrence() {
        QCOMPARE(co.row(co.plain, 1, 1, "2026.05.06", "KA"),
                 QStringLiteral("T|U|S2|Eredetileg 2026.05.04 Kulcs a portán Törölve:%1 visszaállítva:%1|4500")
                     .arg(QDate::currentDate().toString("yyyy.MM.dd")));
        QString out;
        QCOMPARE(run({"activity", QString::number(co.plain), "1", "1", "20260504", "9", "--done"}, &out), 1);
        QVERIFY2(out.contains("Nincs ilyen tevékenység"), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TstActionsCommand)
#include "tst_actions_command.moc"
