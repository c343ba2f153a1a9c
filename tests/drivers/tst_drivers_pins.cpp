// The drivers' PINs: which texts are PINs; setting and clearing them (with
// the dictionary's right); checking a login, the lock after five wrong ones
// and its end; the log of refused logins; the PIN table kept out of typed
// statements; vorlanda-admin driver-pin through the real program.
#include "DriversFixture.h"
#include "drivers/Pins.h"
#include "framework/ListBuilder.h"
#include "reporting/DictionaryList.h"
#include "util/Error.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>

using namespace vl::drivers;
using namespace vl::drivers::test;
using Kind = PinCheck::Kind;

Q_DECLARE_METATYPE(PinCheck::Kind)

class TestDriverPins : public QObject {
    Q_OBJECT
    Company co;
    vl::shell::Session office{QStringLiteral("IRODA"), QStringLiteral("Iroda"), QStringLiteral("W"), 2026};

    qint64 count(const QString& sql, const vl::db::Params& p = {}) { return co.db.count(sql, p); }
    QString pinRow(const QString& driver) {
        const auto rs = co.db.conn->query(
            QStringLiteral("SELECT HIBAS, COALESCE(ZAROLVAIG, '-') FROM SOFORPIN WHERE SOFORKOD = :k"), {{"k", driver}});
        return rs.isEmpty() ? QStringLiteral("nincs") : rs.at(0, 0).toString() + '/' + rs.at(0, 1).toString();
    }
    // The results logged since `from` rows, in order: "code|from|result".
    QStringList logSince(qint64 from) {
        const auto rs = co.db.conn->query(QStringLiteral("SELECT MIKOR, SOFORKOD, HONNAN, EREDMENY FROM SOFORBELEP"));
        QStringList all;
        for (int i = 0; i < rs.rowCount(); ++i)
            all << rs.at(i, 0).toString() + '|' + rs.at(i, 1).toString() + '|' + rs.at(i, 2).toString() + '|' +
                       rs.at(i, 3).toString();
        all.sort();
        return all.mid(int(from));
    }
    PinCheck check(const QString& driver, const QString& pin, const QString& now) {
        return CheckDriverPin(*co.db.conn, driver, pin, QStringLiteral("10.0.0.7"), now);
    }
    int run(const QStringList& args, const QByteArray& input, QString* out) {
        QProcess p;
        p.setWorkingDirectory(co.db.dir.path());
        p.start(QStringLiteral(VL_ADMIN_EXE), args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(300000);
        *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase() { co.build(); }

    void pinRefusal_data() {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<QString>("refusal");
        const QString digits = QStringLiteral("A PIN csak számjegyekből állhat.");
        const QString length = QStringLiteral("A PIN 4–8 számjegyből álljon.");
        QTest::newRow("four") << "0000" << "";
        QTest::newRow("eight") << "12345678" << "";
        QTest::newRow("three") << "123" << length;
        QTest::newRow("nine") << "123456789" << length;
        QTest::newRow("empty") << "" << length;
        QTest::newRow("letter") << "12a4" << digits;
        QTest::newRow("blank") << " 1234" << digits;
        QTest::newRow("sign") << "-1234" << digits;
        QTest::newRow("other digits") << QString::fromUtf8("١٢٣٤") << digits;
    }
    void pinRefusal() {
        QFETCH(QString, pin);
        QFETCH(QString, refusal);
        QCOMPARE(PinRefusal(pin), refusal);
    }

    // A set PIN is a hash in its own row; the right PIN opens, a wrong one is
    // counted, a right one after it resets the count.
    void setAndCheck() {
        SetDriverPin(*co.db.conn, nullptr, office, QStringLiteral(" S01 "), QStringLiteral("1234"));
        const auto rs = co.db.conn->query(QStringLiteral("SELECT PINHASH, HIBAS, ZAROLVAIG, BEALLITVA, JUZER FROM SOFORPIN"));
        QCOMPARE(rs.rowCount(), 1);
        const QString hash = rs.at(0, 0).toString();
        QVERIFY2(hash.startsWith(QStringLiteral("$argon2id$")), qPrintable(hash));
        QVERIFY(!hash.contains(QStringLiteral("1234")));
        QCOMPARE(rs.at(0, 1).toInt(), 0);
        QVERIFY(rs.at(0, 2).isNull());
        QCOMPARE(rs.at(0, 3).toString().size(), 19);
        QCOMPARE(rs.at(0, 4).toString(), QStringLiteral("IRODA"));
        {
            auto tx = co.db.conn->begin(vl::db::TxMode::ReadOnly);
            QVERIFY(HasDriverPin(*tx, QStringLiteral("S01")));
            QVERIFY(!HasDriverPin(*tx, QStringLiteral("S02")));
        }
        const qint64 logged = count("SELECT COUNT(*) FROM SOFORBELEP");
        PinCheck ok = check("S01", "1234", "2026.12.10 07:00:00");
        QCOMPARE(ok.kind, Kind::Ok);
        QCOMPARE(ok.text, QString());
        QCOMPARE(ok.name, QStringLiteral("Kiss Péter"));
        const PinCheck wrong = check("S01", "1235", "2026.12.10 07:01:00");
        QCOMPARE(wrong.kind, Kind::Wrong);
        QCOMPARE(wrong.text, QStringLiteral("Hibás sofőrkód vagy PIN."));
        QCOMPARE(wrong.name, QString());
        QCOMPARE(pinRow("S01"), QStringLiteral("1/-"));
        QCOMPARE(check("S01", "1234", "2026.12.10 07:02:00").kind, Kind::Ok);
        QCOMPARE(pinRow("S01"), QStringLiteral("0/-"));
        QCOMPARE(logSince(logged), QStringList{"2026.12.10 07:01:00|S01|10.0.0.7|HIBAS"});
    }

    // Unknown, inactive, without a PIN, badly formed: one answer for all;
    // the log tells them apart and keeps the typed code cut to twenty.
    void refusedAlike() {
        {
            auto tx = co.db.conn->begin();
            tx->exec(QStringLiteral("INSERT INTO SOFORPIN (SOFORKOD, PINHASH, HIBAS) SELECT 'S09', PINHASH, 0 FROM SOFORPIN"
                                    " WHERE SOFORKOD = 'S01'"));
            tx->commit();
        }
        const qint64 logged = count("SELECT COUNT(*) FROM SOFORBELEP");
        const QString t = QStringLiteral("2026.12.10 08:00:0%1");
        const QList<PinCheck> answers{check("NINCS", "1234", t.arg(1)), check("S09", "1234", t.arg(2)),
                                      check("S02", "1234", t.arg(3)), check("S01", "12x4", t.arg(4)),
                                      check(QString(30, QLatin1Char('Q')), "1234", t.arg(5))};
        for (const PinCheck& a : answers) {
            QCOMPARE(a.kind, Kind::Wrong);
            QCOMPARE(a.text, WrongLoginText());
        }
        QCOMPARE(logSince(logged), (QStringList{"2026.12.10 08:00:01|NINCS|10.0.0.7|ISMERETLEN",
                                                "2026.12.10 08:00:02|S09|10.0.0.7|INAKTIV",
                                                "2026.12.10 08:00:03|S02|10.0.0.7|NINCSPIN",
                                                "2026.12.10 08:00:04|S01|10.0.0.7|HIBAS",
                                                "2026.12.10 08:00:05|" + QString(20, QLatin1Char('Q')) + "|10.0.0.7|ISMERETLEN"}));
        // A malformed PIN counts as a wrong one.
        QCOMPARE(pinRow("S01"), QStringLiteral("1/-"));
        QCOMPARE(check("S01", "1234", t.arg(6)).kind, Kind::Ok);
        auto tx = co.db.conn->begin();
        tx->exec(QStringLiteral("DELETE FROM SOFORPIN WHERE SOFORKOD = 'S09'"));
        tx->commit();
    }

    // Five wrong in a row lock for fifteen minutes, the right PIN too; after
    // the lock the right PIN opens and resets; a wrong one after the lock locks
    // again at once; setting the PIN again clears the lock.
    void lock() {
        SetDriverPin(*co.db.conn, nullptr, office, QStringLiteral("S02"), QStringLiteral("56789"));
        const qint64 logged = count("SELECT COUNT(*) FROM SOFORBELEP");
        for (int i = 1; i <= 4; ++i) {
            QCOMPARE(check("S02", "0000", QStringLiteral("2026.12.10 09:00:0%1").arg(i)).kind, Kind::Wrong);
            QCOMPARE(pinRow("S02"), QString::number(i) + QStringLiteral("/-"));
        }
        const PinCheck fifth = check("S02", "0000", "2026.12.10 09:00:05");
        QCOMPARE(fifth.kind, Kind::Locked);
        QCOMPARE(fifth.text, QStringLiteral("Túl sok hibás PIN: a belépés 15 percig tiltva."));
        QCOMPARE(pinRow("S02"), QStringLiteral("5/2026.12.10 09:15:05"));
        QCOMPARE(check("S02", "56789", "2026.12.10 09:01:00").kind, Kind::Locked);
        QCOMPARE(check("S02", "56789", "2026.12.10 09:15:04").kind, Kind::Locked);
        QCOMPARE(pinRow("S02"), QStringLiteral("5/2026.12.10 09:15:05"));
        const PinCheck after = check("S02", "56789", "2026.12.10 09:15:05");
        QCOMPARE(after.kind, Kind::Ok);
        QCOMPARE(after.name, QStringLiteral("Nagy Béla"));
        QCOMPARE(pinRow("S02"), QStringLiteral("0/-"));
        QCOMPARE(logSince(logged).size(), 7);
        QCOMPARE(logSince(logged).mid(3), (QStringList{"2026.12.10 09:00:04|S02|10.0.0.7|HIBAS",
                                                       "2026.12.10 09:00:05|S02|10.0.0.7|ZAROLVA",
                                                       "2026.12.10 09:01:00|S02|10.0.0.7|ZAROLT",
                                                       "2026.12.10 09:15:04|S02|10.0.0.7|ZAROLT"}));

        for (int i = 0; i < 5; ++i) check("S02", "1111", QStringLiteral("2026.12.10 10:00:0%1").arg(i));
        QCOMPARE(pinRow("S02"), QStringLiteral("5/2026.12.10 10:15:04"));
        QCOMPARE(check("S02", "1111", "2026.12.10 10:20:00").kind, Kind::Locked);
        QCOMPARE(pinRow("S02"), QStringLiteral("6/2026.12.10 10:35:00"));
        SetDriverPin(*co.db.conn, nullptr, office, QStringLiteral("S02"), QStringLiteral("4321"));
        QCOMPARE(pinRow("S02"), QStringLiteral("0/-"));
        QCOMPARE(check("S02", "4321", "2026.12.10 10:21:00").kind, Kind::Ok);
    }

    // Refusals write nothing: an unknown driver, a bad PIN, a user without the
    // dictionary's right. Clearing removes the row.
    void setRefusalsAndClear() {
        auto refused = [&](const vl::shell::Session& who, const QString& driver, const QString& pin) {
            try {
                SetDriverPin(*co.db.conn, nullptr, who, driver, pin);
            } catch (const vl::RuleRefusal& e) {
                return e.text();
            }
            return QString();
        };
        const QString before = pinRow("S01");
        QCOMPARE(refused(office, "NINCS", "1234"), QStringLiteral("Nincs ilyen gépkocsivezető: NINCS"));
        QCOMPARE(refused(office, "S01", "123"), QStringLiteral("A PIN 4–8 számjegyből álljon."));
        {
            auto tx = co.db.conn->begin();
            tx->exec(QStringLiteral("DELETE FROM TABLAK WHERE TABLANEV = 'SZ_SOFOR'"));
            tx->exec(QStringLiteral("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES, NEZHETI_JOG, IRHATJA_JOG)"
                                    " VALUES ('SZ_SOFOR', 'Gépkocsivezetők', '', 'S')"));
            tx->commit();
        }
        const vl::shell::Session clerk{QStringLiteral("UGYINTEZO"), QString(), QStringLiteral("A"), 2026};
        const vl::shell::Session dispatcher{QStringLiteral("DISZP"), QString(), QStringLiteral("AS"), 2026};
        QVERIFY(!MaySetDriverPins(*co.db.conn, clerk));
        QVERIFY(MaySetDriverPins(*co.db.conn, dispatcher));
        QCOMPARE(refused(clerk, "S01", "9999"), QStringLiteral("Önnek nincs joga a gépkocsivezetők PIN-jét beállítani."));
        QCOMPARE(refused(clerk, "S01", ""), QStringLiteral("Önnek nincs joga a gépkocsivezetők PIN-jét beállítani."));
        QCOMPARE(pinRow("S01"), before);
        QCOMPARE(check("S01", "1234", "2026.12.10 11:00:00").kind, Kind::Ok);

        QCOMPARE(refused(dispatcher, "S01", ""), QString());
        QCOMPARE(pinRow("S01"), QStringLiteral("nincs"));
        QCOMPARE(refused(dispatcher, "S01", ""), QString());   // nothing to clear: still fine
        QCOMPARE(check("S01", "1234", "2026.12.10 11:01:00").kind, Kind::Wrong);
        auto tx = co.db.conn->begin();
        tx->exec(QStringLiteral("DELETE FROM TABLAK WHERE TABLANEV = 'SZ_SOFOR'"));
        tx->commit();
    }

    // The PIN table is a password table: no typed statement reads it, whatever
    // wraps it, and its hash never reaches a result.
    void keptFromTypedStatements() {
        const auto secret = vl::reporting::passwordColumnsOf(*co.db.conn);
        QVERIFY(vl::reporting::isPasswordColumn(QStringLiteral("sofORPIN"), QStringLiteral("pinhash"), secret));
        const QString refusal = vl::framework::PasswordTableText(QStringLiteral("SOFORPIN"));
        QCOMPARE(vl::framework::TypedStatementRefusal(*co.db.conn, "SELECT * FROM SOFORPIN", secret), refusal);
        QCOMPARE(vl::framework::TypedStatementRefusal(
                     *co.db.conn, "SELECT S.NEV FROM SZ_SOFOR S WHERE EXISTS (SELECT 1 FROM \"SOFORPIN\" P)", secret),
                 refusal);
        QVERIFY(vl::framework::TypedStatementRefusal(*co.db.conn, "SELECT * FROM SOFORBELEP", secret).isEmpty());
        const auto rows = vl::reporting::withoutPasswordColumns(
            *co.db.conn, co.db.conn->query(QStringLiteral("SELECT SOFORKOD, PINHASH AS X FROM SOFORPIN")));
        QCOMPARE(rows.columnCount(), 1);
    }

    // vorlanda-admin driver-pin: the PIN from standard input, never from the
    // command line; refusals exit non-zero, bad arguments with 2.
    void command() {
        QFile ini(co.db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + co.db.path + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        QString out;
        QCOMPARE(run({"driver-pin", "S01"}, "2468\r\n", &out), 0);
        QVERIFY2(out.contains(QStringLiteral("A(z) S01 gépkocsivezető PIN-je beállítva.")), qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("2468")));
        QCOMPARE(check("S01", "2468", "2026.12.10 12:00:00").kind, Kind::Ok);
        QCOMPARE(co.db.conn->query(QStringLiteral("SELECT JUZER FROM SOFORPIN WHERE SOFORKOD = 'S01'")).at(0, 0).toString(),
                 vl::shell::OperatingSystemUser().left(10));

        QCOMPARE(run({"driver-pin", "S01"}, "24\n", &out), 1);
        QVERIFY2(out.contains(QStringLiteral("A PIN 4–8 számjegyből álljon.")), qPrintable(out));
        QCOMPARE(run({"driver-pin", "S01"}, "", &out), 1);
        QCOMPARE(run({"driver-pin", "NINCS"}, "1234\n", &out), 1);
        QVERIFY2(out.contains(QStringLiteral("Nincs ilyen gépkocsivezető: NINCS")), qPrintable(out));
        QCOMPARE(run({"driver-pin", "S01", "1357"}, "", &out), 2);
        QVERIFY2(out.contains(QStringLiteral("szabványos bemeneten")), qPrintable(out));
        QCOMPARE(run({"driver-pin"}, "1234\n", &out), 2);
        QCOMPARE(run({"driver-pin", "S01", "--force"}, "1234\n", &out), 2);
        QCOMPARE(check("S01", "2468", "2026.12.10 12:01:00").kind, Kind::Ok);

        // From a terminal (script(1) gives it one): asked twice, both alike.
        if (const QString script = QStandardPaths::findExecutable("script"); !script.isEmpty()) {
            auto onTerminal = [&](const QByteArray& typed) {
                QProcess p;
                p.setWorkingDirectory(co.db.dir.path());
                p.start(script, {"-qec", QStringLiteral(VL_ADMIN_EXE) + " driver-pin S01", "/dev/null"});
                p.write(typed);
                p.closeWriteChannel();
                p.waitForFinished(300000);
                out = QString::fromUtf8(p.readAllStandardOutput());
                return p.exitCode();
            };
            QCOMPARE(onTerminal("8642\n8642\n"), 0);
            QVERIFY2(out.contains("PIN: ") && out.contains(QStringLiteral("PIN még egyszer: ")), qPrintable(out));
            QCOMPARE(check("S01", "8642", "2026.12.10 12:02:00").kind, Kind::Ok);
            QCOMPARE(onTerminal("1111\n2222\n"), 1);
            QVERIFY2(out.contains(QStringLiteral("a két PIN nem egyezik")), qPrintable(out));
            QCOMPARE(check("S01", "8642", "2026.12.10 12:03:00").kind, Kind::Ok);
        }

        QCOMPARE(run({"driver-pin", "S01", "--clear"}, "", &out), 0);
        QVERIFY2(out.contains(QStringLiteral("A(z) S01 gépkocsivezető PIN-je törölve.")), qPrintable(out));
        QCOMPARE(pinRow("S01"), QStringLiteral("nincs"));

        // export refuses the PIN table as it refuses the users' table.
        QCOMPARE(run({"export", "SELECT * FROM SOFORPIN", co.db.dir.filePath("pin.csv")}, "", &out), 2);
        QVERIFY2(out.contains(QStringLiteral("Jelszót tartalmazó tábla nem olvasható: SOFORPIN")), qPrintable(out));
        QVERIFY(!QFile::exists(co.db.dir.filePath("pin.csv")));
    }
};

QTEST_GUILESS_MAIN(TestDriverPins)
#include "tst_drivers_pins.moc"
