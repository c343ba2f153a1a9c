// The customer commands through the real vorlanda-admin: import-customers
// (dry run, a refused file, a stored one), customer show, customer delete and
// site delete with their refusals and their question.
#include "RentalTestDb.h"

#include <QFile>
#include <QProcess>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run admin(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(VL_ADMIN_EXE), args);
    Run r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timeout");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestCustomerAdmin : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;

    qint64 count(const QString& sql, const vl::db::Params& p = {}) {
        auto conn = vl::db::connect(vl::rental::test::embeddedParams(db));
        const qint64 n = conn->query(sql, p).at(0, 0).toLongLong();
        conn->close();
        return n;
    }
    QString keyOf(const QString& name) {
        auto conn = vl::db::connect(vl::rental::test::embeddedParams(db));
        const QString k = conn->query(QStringLiteral("SELECT KOD FROM UGYFEL WHERE NEV = :n"), {{QStringLiteral("n"), name}})
                              .at(0, 0).toString().trimmed();
        conn->close();
        return k;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(dir.isValid());
        db = dir.filePath(QStringLiteral("pkr.fdb"));
        writeFile(dir.filePath(QStringLiteral("PKR.INI")), QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(db).toLocal8Bit());
        const Run init = admin(dir.path(), {QStringLiteral("init-db")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
    }

    void importDryRunThenStore() {
        const QString csv = dir.filePath(QStringLiteral("ugyfelek.csv"));
        writeFile(csv, QStringLiteral("NEV;TELEFON;FIZMOD;CIM_NEV;CIM_IRSZAM;CIM_VAROS;CIM_UTCA;CIM_SZEMELY;CIM_TELEFON\n"
                                      "Parancs Kft.;+36 1 1;KP;Egy;2030;Érd;Út 1.;Kiss Anna;+36 30 1\n"
                                      "Parancs Kft.;+36 1 1;KP;Kettő;2030;Érd;Út 2.;Kiss Anna;+36 30 2\n"
                                      "Szerződéses Bt.;+36 1 2;ATU;Telep;2040;Budaörs;Út 3.;Nagy Béla;+36 30 3\n")
                          .toUtf8());
        const Run dry = admin(dir.path(), {QStringLiteral("import-customers"), csv, QStringLiteral("--dry-run")});
        QVERIFY2(dry.code == 0, qPrintable(dry.out + dry.err));
        QVERIFY2(dry.out.contains(QStringLiteral("Elfogadott sorok: 3 (2 ügyfél, 3 szállítási cím)")), qPrintable(dry.out));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), 0);
        const Run run = admin(dir.path(), {QStringLiteral("import-customers"), csv});
        QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), 2);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM")), 3);
        // The same file again: every name exists; refused, nothing written, non-zero.
        const Run again = admin(dir.path(), {QStringLiteral("import-customers"), csv});
        QCOMPARE(again.code, 1);
        QVERIFY2(again.err.contains(QStringLiteral("  2. sor: Már van ilyen nevű ügyfél: Parancs Kft.")), qPrintable(again.err));
        QVERIFY(again.err.contains(QStringLiteral("  3. sor: Az ügyfele hibás (2. sor)")));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), 2);
    }

    void showAndDelete() {
        const QString key = keyOf(QStringLiteral("Parancs Kft."));
        const Run show = admin(dir.path(), {QStringLiteral("customer"), QStringLiteral("show"), key});
        QVERIFY2(show.code == 0, qPrintable(show.out + show.err));
        QVERIFY(show.out.contains(QStringLiteral("NEV: Parancs Kft.")));
        QVERIFY(show.out.contains(QStringLiteral("Szállítási címek: 2")));

        // A cancelled contract still keeps the other customer and its site.
        const QString other = keyOf(QStringLiteral("Szerződéses Bt."));
        {
            auto conn = vl::db::connect(vl::rental::test::embeddedParams(db));
            const QString site = conn->query(QStringLiteral("SELECT KOD FROM UGYFELCIM WHERE UGYFELKOD = :k"),
                                             {{QStringLiteral("k"), other}}).at(0, 0).toString().trimmed();
            conn->exec(QStringLiteral("INSERT INTO FORGFEJ (VERZIO, AKTIV, STATUS, UGYFELKOD, UGYFELCIM) "
                                      "VALUES (1, 'N', 'X', :u, :c)"),
                       {{QStringLiteral("u"), other}, {QStringLiteral("c"), site}});
            conn->close();
            const Run refusedSite = admin(dir.path(), {QStringLiteral("--yes"), QStringLiteral("site"), QStringLiteral("delete"), site});
            QCOMPARE(refusedSite.code, 1);
            QVERIFY(refusedSite.err.contains(QStringLiteral("Nem törölhető a cím, mert volt rá szerződés")));
        }
        const Run refused = admin(dir.path(), {QStringLiteral("--yes"), QStringLiteral("customer"), QStringLiteral("delete"), other});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("Nem törölhető az ügyfél, mert volt szerződése")), qPrintable(refused.err));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), other}}), 1);

        // Without --yes the question is refused and nothing goes.
        const Run asked = admin(dir.path(), {QStringLiteral("customer"), QStringLiteral("delete"), key});
        QVERIFY(asked.code != 0);
        QVERIFY2(asked.err.contains(QStringLiteral("Biztosan törli az ügyfelet és az össezes címét?")), qPrintable(asked.err));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k"), {{QStringLiteral("k"), key}}), 2);

        const Run done = admin(dir.path(), {QStringLiteral("--yes"), QStringLiteral("customer"), QStringLiteral("delete"), key});
        QVERIFY2(done.code == 0, qPrintable(done.out + done.err));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), key}}), 0);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k"), {{QStringLiteral("k"), key}}), 0);

        const Run missing = admin(dir.path(), {QStringLiteral("customer"), QStringLiteral("show"), key});
        QCOMPARE(missing.code, 1);
    }
};

QTEST_GUILESS_MAIN(TestCustomerAdmin)
#include "tst_admin.moc"
