// vorlanda-admin export: the format from the extension, one read-only SELECT,
// a clear refusal and no file for everything else.
#include "QueryExportDb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

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
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.text = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestExportAdmin : public QObject {
    Q_OBJECT
    exptest::Db db;
    QString dir;

    QString file(const QString& name) const { return dir + QLatin1Char('/') + name; }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(db.create());
        // The users' table as the program has it, with a password hash.
        db.conn->exec(QStringLiteral("CREATE TABLE SZ_JUZER (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(40), JELSZO VARCHAR(200),"
                                     " JOGOK VARCHAR(40), AKTIV VARCHAR(1), PENZTAR VARCHAR(10))"));
        db.conn->exec(QStringLiteral("INSERT INTO SZ_JUZER VALUES ('ADM', 'Admin', '$argon2id$v=19$titok', 'W', 'I', NULL)"));
        db.conn->close();
        dir = db.dir.path();
        QFile ini(file(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("DBSERVER=%1\r\n").arg(file(QStringLiteral("exp.fdb"))).toLocal8Bit());
    }

    void writesByExtension() {
        Run r = admin(dir, {QStringLiteral("export"), QStringLiteral("SELECT KOD, NEV FROM EXP ORDER BY KOD"),
                            QStringLiteral("ki.csv")});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        QVERIFY2(r.text.contains(QStringLiteral("3 sor -> ") + file(QStringLiteral("ki.csv"))), qPrintable(r.text));
        QCOMPARE(exptest::readFile(file(QStringLiteral("ki.csv"))),
                 QStringLiteral("\xFEFFKOD;NEV\r\n00123;Árvíztűrő tükörfúrógép\r\nO'Brien;O'Brien Kft.\r\n"
                                "\"X;Y\";\"Idézőjel \"\"benne\"\"\"\r\n").toUtf8());

        r = admin(dir, {QStringLiteral("export"), QStringLiteral("SELECT * FROM EXP;"), QStringLiteral("ki.sql"),
                        QStringLiteral("--table"), QStringLiteral("EXP2")});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        QCOMPARE(exptest::readFile(file(QStringLiteral("ki.sql"))).count("Insert Into \"EXP2\" ("), 3);

        r = admin(dir, {QStringLiteral("export"), QStringLiteral("SELECT * FROM EXP"), QStringLiteral("ki.xlsx"),
                        QStringLiteral("--sheet"), QStringLiteral("Bérlők")});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        int code = -1;
        const QByteArray json = exptest::run(QStringLiteral("/usr/bin/python3"),
                                             {QStringLiteral(VL_EXPORT_READERS "/xlsx_openpyxl.py"), file(QStringLiteral("ki.xlsx"))}, &code);
        if (code == 0) {
            const QJsonArray sheets = QJsonDocument::fromJson(json).object().value(QStringLiteral("sheets")).toArray();
            QCOMPARE(sheets.at(0).toObject().value(QStringLiteral("title")).toString(), QStringLiteral("Bérlők"));
            QCOMPARE(sheets.at(0).toObject().value(QStringLiteral("rows")).toArray().size(), 4);
        } else {
            EXPTEST_REQUIRE(false, "python3-openpyxl");
        }
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("target");
        QTest::newRow("delete") << QStringList{"DELETE FROM EXP", "del.csv"} << "Csak SELECT utasítás futtatható." << "del.csv";
        QTest::newRow("second statement") << QStringList{"SELECT 1 FROM RDB$DATABASE; DELETE FROM EXP", "ket.csv"}
                                          << "Egyszerre csak egy SELECT utasítás futtatható" << "ket.csv";
        QTest::newRow("sheet name") << QStringList{"SELECT * FROM EXP", "lap.xlsx", "--sheet", "a/b"}
                                    << "A munkalap neve nem tartalmazhatja" << "lap.xlsx";
        QTest::newRow("unknown extension") << QStringList{"SELECT * FROM EXP", "ki.ods"} << "Ismeretlen fájltípus" << "ki.ods";
        QTest::newRow("no rows") << QStringList{"SELECT * FROM EXP WHERE 1 = 0", "ures.xlsx"}
                                 << "Nincs adat, amit tárolni lehetne." << "ures.xlsx";
        // The users' table is never read, whatever wraps it.
        QTest::newRow("users, expression over a derived table")
            << QStringList{"SELECT X || '' FROM (SELECT * FROM SZ_JUZER) r(A,B,X,C,D,E)", "h1.csv"}
            << "export: Jelszót tartalmazó tábla nem olvasható: SZ_JUZER" << "h1.csv";
        QTest::newRow("users, aggregate") << QStringList{"SELECT LIST(X) FROM (SELECT * FROM SZ_JUZER) r(A,B,X,C,D,E)", "h2.xlsx"}
                                          << "export: Jelszót tartalmazó tábla nem olvasható: SZ_JUZER" << "h2.xlsx";
        QTest::newRow("users, second union part")
            << QStringList{"SELECT NEV FROM EXP UNION ALL SELECT X FROM (SELECT * FROM sz_juzer) r(A,B,X,C,D,E)", "h3.txt"}
            << "export: Jelszót tartalmazó tábla nem olvasható: SZ_JUZER" << "h3.txt";
        QTest::newRow("bad table name") << QStringList{"SELECT * FROM EXP", "t.sql", "--table", "X; DROP"}
                                        << "érvénytelen táblanév" << "t.sql";
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(QString, target);
        const Run r = admin(dir, QStringList{QStringLiteral("export")} + args);
        QVERIFY2(r.code != 0, qPrintable(r.text));
        QVERIFY2(r.text.contains(message), qPrintable(r.text));
        QVERIFY(!QFile::exists(file(target)));
        vl::db::ConnectParams p;
        p.database = file(QStringLiteral("exp.fdb"));
        auto c = vl::db::connect(p);
        QCOMPARE(c->query(QStringLiteral("SELECT COUNT(*) FROM EXP")).at(0, 0).toLongLong(), qint64(3));
        c->close();
    }

    void existingFileOnlyWithYes() {
        {
            QFile f(file(QStringLiteral("van.txt")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("OLD");
        }
        Run r = admin(dir, {QStringLiteral("export"), QStringLiteral("SELECT KOD FROM EXP"), QStringLiteral("van.txt")});
        QVERIFY(r.code != 0);
        QVERIFY2(r.text.contains(QStringLiteral("létezik. Felülírjuk?")), qPrintable(r.text));
        QCOMPARE(exptest::readFile(file(QStringLiteral("van.txt"))), QByteArray("OLD"));
        r = admin(dir, {QStringLiteral("--yes"), QStringLiteral("export"), QStringLiteral("SELECT KOD FROM EXP"),
                        QStringLiteral("van.txt")});
        QVERIFY2(r.code == 0, qPrintable(r.text));
        QCOMPARE(exptest::readFile(file(QStringLiteral("van.txt"))), QByteArray("00123       \r\nO'Brien     \r\nX;Y         \r\n"));
    }
};

QTEST_GUILESS_MAIN(TestExportAdmin)
#include "tst_export_admin.moc"
