// The business year read and checked in one place, and the session the rules
// receive instead of the login's globals.
#include "ShellTest.h"
#include "shell/BusinessYear.h"
#include "shell/Dm.h"
#include "shell/Session.h"

#include <QtTest>

using namespace vl::shell;

class TstBusinessYear : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    std::unique_ptr<vl::db::Connection> conn;

    void store(const QVariant& year) {
        conn->exec(QStringLiteral("UPDATE CEG SET AKTUALISEV = :ev"), {{QStringLiteral("ev"), year}});
    }
    QVariant stored() { return conn->query(QStringLiteral("SELECT AKTUALISEV FROM CEG")).at(0, 0); }

private slots:
    void initTestCase() {
        conn = db.create();
        conn->exec(QStringLiteral("CREATE TABLE CEG (KOD VARCHAR(10) NOT NULL, AKTUALISEV VARCHAR(4))"));
        conn->exec(QStringLiteral("INSERT INTO CEG (KOD, AKTUALISEV) VALUES ('1', '2026')"));
    }
    void cleanupTestCase() {
        if (conn) conn->close();
    }

    void yearNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("year");
        QTest::newRow("four digits") << "2026" << 2026;
        QTest::newRow("blanks around") << " 2026 " << 2026;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("three digits") << "999" << 0;
        QTest::newRow("leading zero") << "0999" << 0;
        QTest::newRow("five digits") << "20260" << 0;
        QTest::newRow("sign") << "+202" << 0;
        QTest::newRow("letters") << "20x" << 0;
    }
    void yearNumber() {
        QFETCH(QString, text);
        QFETCH(int, year);
        QCOMPARE(BusinessYearNumber(text), year);
    }

    // The same reading through a connection and inside a caller's transaction.
    void readBusinessYear() {
        store(QStringLiteral("2031"));
        BusinessYear y = ReadBusinessYear(*conn);
        QVERIFY(y.hasRow);
        QCOMPARE(y.text, QStringLiteral("2031"));
        QCOMPARE(y.year, 2031);
        store(QStringLiteral("20x"));
        {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            y = ReadBusinessYear(*tx);
            tx->commit();
        }
        QVERIFY(y.hasRow);
        QCOMPARE(y.text, QStringLiteral("20x"));
        QVERIFY(!y.valid());
    }

    // The start-up check: one year further per start, no year becomes this year.
    void currentYearCheck_data() {
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("two behind") << QVariant("2024") << "2025";
        QTest::newRow("one behind") << QVariant("2025") << "2026";
        QTest::newRow("current") << QVariant("2026") << "2026";
        QTest::newRow("ahead") << QVariant("2030") << "2030";
        QTest::newRow("NULL") << QVariant() << "2026";
        QTest::newRow("empty") << QVariant("") << "2026";
        QTest::newRow("not a year") << QVariant("20x") << "2026";
        QTest::newRow("three digits") << QVariant("999") << "2026";
    }
    void currentYearCheck() {
        QFETCH(QVariant, before);
        QFETCH(QString, after);
        store(before);
        QCOMPARE(CurrentYearCheck(*conn, QStringLiteral("2026")), after);
        QCOMPARE(stored().toString(), after);
    }

    void currentYearCheckWithoutRow() {
        conn->exec(QStringLiteral("DELETE FROM CEG"));
        QCOMPARE(CurrentYearCheck(*conn, QStringLiteral("2026")), QString());
        QVERIFY(!ReadBusinessYear(*conn).hasRow);
        QCOMPARE(conn->query(QStringLiteral("SELECT COUNT(*) FROM CEG")).at(0, 0).toLongLong(), 0);
        conn->exec(QStringLiteral("INSERT INTO CEG (KOD, AKTUALISEV) VALUES ('1', '2026')"));
    }

    // vorlanda-admin: no login, the operating-system user with the database's year.
    void commandSession() {
        store(QStringLiteral("2027"));
        const Session s = CommandSession(*conn);
        QVERIFY(!OperatingSystemUser().isEmpty());
        QCOMPARE(s.userCode, OperatingSystemUser());
        QCOMPARE(s.writer(), OperatingSystemUser().left(10));
        QCOMPARE(s.businessYear, 2027);
        store(QStringLiteral("x"));
        QCOMPARE(CommandSession(*conn).businessYear, 0);
    }

    // The program: the login and the checked year, as a value.
    void programSession() {
        Tdm& d = dm();
        d.CurrentUserCode = QStringLiteral("KOVACSJANOS_HOSSZU");
        d.CurrentUserName = QStringLiteral("Kovács János");
        d.CurrentUserRights = QStringLiteral("AB");
        d.BusinessYear = 2026;
        const Session s = d.session();
        d.CurrentUserCode.clear();
        d.CurrentUserName.clear();
        d.CurrentUserRights.clear();
        d.BusinessYear = 0;
        QCOMPARE(s.userCode, QStringLiteral("KOVACSJANOS_HOSSZU"));
        QCOMPARE(s.writer(), QStringLiteral("KOVACSJANO"));
        QCOMPARE(s.userName, QStringLiteral("Kovács János"));
        QCOMPARE(s.rights, QStringLiteral("AB"));
        QCOMPARE(s.businessYear, 2026);
    }
};

QTEST_GUILESS_MAIN(TstBusinessYear)
#include "tst_businessyear.moc"
