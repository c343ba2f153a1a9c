// Several workstations on one Firebird server.
//
// - twoWorkstations: two processes (multi_driver hammer) store customers,
//   contracts, contract changes, payments and new activities on one database
//   of the loopback server at the same time, in bounded loops. Afterwards every
//   row each one reported stored is there exactly once, no cabin is out on two
//   contracts, no change of a shared contract was overwritten unseen (the
//   counter of its remark equals the changes that were reported stored), and
//   every refusal is one of the program's Hungarian messages.
// - customerWritersAgainstEachOther: a contract import against a delete of
//   its customer, and two imports of one new customer name, as two
//   vorlanda-admin processes (stopped at a point, and at spread moments):
//   no contract without its customer or site, no name stored twice.
// - lockWaitIsBoundedAndHungarian: a write meeting a row another connection
//   holds gives up after the access layer's lock timeout with a Hungarian text.
// - faultInjection: a contract store, a new activity, a year opening and an
//   export stopped between two of their writes (VL_TEST_STOP_AT), then the
//   process killed with kill -9 or the server stopped under it. Afterwards
//   gfix -v -full finds no error, each contract is in its old or its new state,
//   and the operation repeated succeeds. These run on a private server of the
//   test (scripts/test-fbserver.sh with its own state folder), since the
//   shared one must not be stopped.
// The figures are printed at the end.
#include "db/Database.h"
#include "db/SqlText.h"
#include "rental/ContractStore.h"
#include "rental/ProductStore.h"
#include "operations/OperationsSchema.h"
#include "rental/Schema.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/LastBackup.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

using namespace vl;

namespace {

struct Server {
    QString state;          // the state folder of a private server ("" : the shared one)
    QString prefix;         // "localhost/<port>:"
    QString user, password;
    qint64 pid = 0;
};

struct Figures {
    int ops = 0, ok = 0, refused = 0, rowsChecked = 0, kills = 0, serverStops = 0;
    QMap<QString, int> refusedBy;   // message -> count
};
Figures g_fig;

QHash<QString, QString> readEnvFile(const QString& path) {
    QHash<QString, QString> env;
    QFile e(path);
    if (!e.open(QIODevice::ReadOnly)) return env;
    static const QRegularExpression re(QStringLiteral("^export (\\w+)='(.*)'$"));
    for (const QByteArray& line : e.readAll().split('\n')) {
        const auto m = re.match(QString::fromUtf8(line));
        if (m.hasMatch()) env.insert(m.captured(1), m.captured(2));
    }
    return env;
}

bool runServerScript(const QString& state, const QString& what) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORLANDA_FBSERVER_DIR"), state);
    env.insert(QStringLiteral("VORLANDA_FBSERVER_PORT"), QStringLiteral("3081"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(VL_SOURCE_DIR "/scripts/test-fbserver.sh"), {what});
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool startPrivate(Server& s) {
    if (!runServerScript(s.state, QStringLiteral("start"))) return false;
    const auto env = readEnvFile(s.state + QStringLiteral("/env"));
    s.prefix = env.value(QStringLiteral("VORLANDA_TEST_FBSERVER"));
    s.user = env.value(QStringLiteral("VORLANDA_TEST_FBUSER"));
    s.password = env.value(QStringLiteral("VORLANDA_TEST_FBPASSWORD"));
    QFile pid(s.state + QStringLiteral("/server.pid"));
    if (pid.open(QIODevice::ReadOnly)) s.pid = pid.readAll().trimmed().toLongLong();
    return !s.prefix.isEmpty() && s.pid > 0;
}

void stopPrivate(Server& s) {
    if (s.state.isEmpty()) return;
    runServerScript(s.state, QStringLiteral("stop"));
    s.pid = 0;
}

db::ConnectParams params(const Server& s, const QString& file) {
    db::ConnectParams p;
    p.database = s.prefix + file;
    p.user = s.user;
    p.password = s.password;
    return p;
}

QProcessEnvironment driverEnv(const Server& s, const QString& file) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VL_MULTI_DB"), s.prefix + file);
    env.insert(QStringLiteral("VL_MULTI_USER"), s.user);
    env.insert(QStringLiteral("VL_MULTI_PASSWORD"), s.password);
    env.remove(QStringLiteral("VL_TEST_STOP_AT"));
    return env;
}

// The company both workstations work on: a shared customer with a site, two
// contracts by transfer and one cash contract with a cabin each, and free
// cabins 5000 .. 5000 + freeCabins - 1 for the new contracts.
void buildCompany(db::Connection& c, int freeCabins, int extraContracts = 0) {
    operations::joinProgramSchema(); // the day sheet's template
    rental::Schema::upgrade(c);
    {
        auto tx = c.begin();
        rental::Schema::registry().seed(*tx, {QStringLiteral("2026"), db::SeedScope::All});
        tx->commit();
    }
    auto tx = c.begin();
    tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
    const QString customer = tx->query(QStringLiteral("INSERT INTO UGYFEL (NEV, IRSZAM, VAROS, UTCA, FIZMOD, TELEFON, AKTIV)"
                                                      " VALUES ('Közös Kft.', '1117', 'Budapest', 'Fő utca 1.', 'ATU',"
                                                      " '+36 1 555 0000', 'I') RETURNING KOD"))
                                 .at(0, 0)
                                 .toString();
    const QString site = tx->query(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON)"
                                                  " VALUES (:u, 'Közös telep', '1117', 'Budapest', 'Fő utca 1.', 'Kiss Anna',"
                                                  " '+36 30 555 0000') RETURNING KOD"),
                                   {{QStringLiteral("u"), customer}})
                             .at(0, 0)
                             .toString();
    for (int i = 0; i < freeCabins; ++i)
        rental::ProductStore::StoreProduct(*tx, QString::number(5000 + i), QStringLiteral("ALAP"), rental::ProductFree);
    auto contract = [&](const QString& mark, const QString& fizmod, const QString& cabin) {
        rental::ProductStore::StoreProduct(*tx, cabin, QStringLiteral("ALAP"), rental::ProductFree);
        rental::ContractHeader h;
        h.bermod = QStringLiteral("HT");
        h.fizmod = fizmod;
        h.berkezd = QStringLiteral("2026.11.02");
        h.ugyfelkod = customer;
        h.ugyfelcim = site;
        h.szerzodes = mark;
        h.komment = QStringLiteral("0");
        rental::ContractLine l;
        l.arucsoport = QStringLiteral("ALAP");
        l.mennyiseg = 1;
        l.bermegyseg = QStringLiteral("Hét");
        l.nettoar = 10000;
        l.kiszall = QStringLiteral("2026.11.02");
        l.hkszcspszv = QStringLiteral("1000000");
        l.karbar = {4500, 0, 0, 0, 0, 0, 0};
        l.soforkod = QStringLiteral("S1");
        l.products = {cabin};
        return rental::ContractStore::StoreNewContract(*tx, h, {l}, QStringLiteral("TESZT"));
    };
    contract(QStringLiteral("MULTI-1"), QStringLiteral("ATU"), QStringLiteral("9001"));
    contract(QStringLiteral("MULTI-2"), QStringLiteral("ATU"), QStringLiteral("9002"));
    contract(QStringLiteral("MULTI-KP"), QStringLiteral("KP"), QStringLiteral("9003"));
    for (int i = 0; i < extraContracts; ++i)
        contract(QStringLiteral("MULTI-X%1").arg(i), QStringLiteral("ATU"), QString::number(9100 + i));
    tx->commit();
}

qint64 count(db::Connection& c, const QString& sql, const db::Params& p = {}) {
    const auto rs = c.query(sql, p);
    return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
}

qint64 contractNo(db::Connection& c, const QString& mark) {
    return count(c, QStringLiteral("SELECT BIZONYLAT FROM FORGFEJ WHERE SZERZODES = :m"), {{QStringLiteral("m"), mark}});
}

// Every row of a contract, as text: the state the fault tests compare.
QString contractState(db::Connection& c, qint64 b) {
    QStringList out;
    for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"}) {
        // t comes from the fixed list above
        const auto rs = c.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b").arg(QLatin1String(t)),
                                {{QStringLiteral("b"), b}});
        QStringList rows;
        for (int r = 0; r < rs.rowCount(); ++r) {
            QStringList v;
            for (int col = 0; col < rs.columnCount(); ++col) v << rs.at(r, col).toString();
            rows << v.join(QLatin1Char('|'));
        }
        rows.sort();
        out << QLatin1String(t) + QLatin1Char(':') + rows.join(QLatin1Char(';'));
    }
    return out.join(QLatin1Char('\n'));
}

// gfix -v -full through the server: "" when it finds nothing wrong.
QString validate(const Server& s, const QString& file) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("gfix"), {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-user"), s.user,
                                     QStringLiteral("-password"), s.password, s.prefix + file});
    if (!p.waitForFinished(120000)) return QStringLiteral("gfix did not finish");
    const QString text = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (p.exitCode() != 0 || !text.isEmpty()) return QStringLiteral("gfix (%1): %2").arg(p.exitCode()).arg(text);
    return QString();
}

struct Run {
    int code = -1;
    QString out, err;
};

Run waitRun(QProcess& p, int ms = 600000) {
    Run r;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Waits until the process stops at its test point; its pid, 0 when it ended first.
qint64 waitStopped(QProcess& p, QString* seen) {
    QElapsedTimer t;
    t.start();
    QByteArray err;
    while (t.elapsed() < 120000) {
        if (p.state() == QProcess::NotRunning) break;
        p.waitForReadyRead(200);
        err += p.readAllStandardError();
        const int at = err.indexOf("VL_TEST_STOPPED ");
        if (at >= 0 && err.indexOf('\n', at) > at) {
            const QList<QByteArray> parts = err.mid(at, err.indexOf('\n', at) - at).split(' ');
            *seen = QString::fromUtf8(err);
            return parts.size() >= 3 ? parts.at(2).toLongLong() : 0;
        }
    }
    *seen = QString::fromUtf8(err + p.readAllStandardError() + p.readAllStandardOutput());
    return 0;
}

} // namespace

class TstMulti : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    Server shared_;
    Server private_;
    QString hammerFile_;

    bool sharedServer() {
        if (qEnvironmentVariableIsEmpty("VORLANDA_TEST_FBSERVER") || qEnvironmentVariableIsEmpty("VORLANDA_TEST_FBDIR"))
            return false;
        shared_.prefix = qEnvironmentVariable("VORLANDA_TEST_FBSERVER");
        shared_.user = qEnvironmentVariable("VORLANDA_TEST_FBUSER");
        shared_.password = qEnvironmentVariable("VORLANDA_TEST_FBPASSWORD");
        return true;
    }

private slots:
    void initTestCase() {
        db::prepareEmbeddedEngine();
        QVERIFY(dir_.isValid());
        // The server (running as another user where the tests are not root) writes here.
        QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7777));
    }

    void twoWorkstations() {
        if (!sharedServer()) QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        const int perProcess = qEnvironmentVariableIntValue("VL_MULTI_OPS") > 0 ? qEnvironmentVariableIntValue("VL_MULTI_OPS")
                                                                                 : 240;
        hammerFile_ = qEnvironmentVariable("VORLANDA_TEST_FBDIR") + QStringLiteral("/multi_%1.fdb").arg(::getpid());
        QFile::remove(hammerFile_);
        {
            auto c = db::createFirebirdDatabase(params(shared_, hammerFile_));
            buildCompany(*c, perProcess / 6 + 1);
            c->close();
        }
        QProcess a, b;
        for (QProcess* p : {&a, &b}) p->setProcessEnvironment(driverEnv(shared_, hammerFile_));
        a.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("hammer"), QStringLiteral("0"), QString::number(perProcess)});
        b.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("hammer"), QStringLiteral("1"), QString::number(perProcess)});
        const Run ra = waitRun(a), rb = waitRun(b);
        // What each workstation did, operation by operation, left for a look afterwards.
        for (int i = 0; i < 2; ++i) {
            QFile log(QStringLiteral("multi-hammer-%1.log").arg(i));
            if (log.open(QIODevice::WriteOnly | QIODevice::Truncate)) log.write(((i ? rb : ra).out + (i ? rb : ra).err).toUtf8());
        }

        // What each workstation reported, operation by operation.
        QMap<QString, int> ok;
        QStringList errors;
        for (const Run* r : {&ra, &rb}) {
            for (const QString& line : r->out.split(QLatin1Char('\n'))) {
                if (!line.startsWith(QLatin1String("OP "))) continue;
                const QString kind = line.section(QLatin1Char(' '), 1, 1);
                const QString outcome = line.section(QLatin1Char(' '), 2, 2);
                const QString text = line.section(QLatin1Char(' '), 3).section(QStringLiteral(" | "), 0, 0);
                ++g_fig.ops;
                if (outcome == QLatin1String("ok")) {
                    ++ok[kind];
                    ++g_fig.ok;
                } else if (outcome == QLatin1String("refused")) {
                    ++g_fig.refused;
                    ++g_fig.refusedBy[kind + QStringLiteral(": ") + text];
                    // A refusal is a sentence of the program, never a raw server text.
                    static const QStringList known = {
                        QStringLiteral("A szerződést közben máshol módosították."),
                        QStringLiteral("Az ügyfél adatait közben máshol módosították."),
                        db::lockConflictText().section(QLatin1Char(','), 0, 0),
                        QStringLiteral("A szerződés adataiban az alábbi hibák vannak:"),
                        QStringLiteral("A(z) "),   // "A(z) 5003 számú kabin közben a(z) 12. sz. szerződésre került, ..."
                    };
                    bool clear = false;
                    for (const QString& k : known) clear = clear || text.startsWith(k);
                    if (!clear) errors << line;
                } else {
                    errors << line;
                }
            }
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        QCOMPARE(ra.code, 0);
        QCOMPARE(rb.code, 0);
        QVERIFY2(ra.out.contains(QStringLiteral("MULTI 0 ops=%1 ").arg(perProcess)), qPrintable(ra.out.right(300) + ra.err));
        QVERIFY2(rb.out.contains(QStringLiteral("MULTI 1 ops=%1 ").arg(perProcess)), qPrintable(rb.out.right(300) + rb.err));

        auto c = db::connect(params(shared_, hammerFile_));
        // Customers: every one reported stored is there once, with its site.
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV STARTING WITH 'Multi '")), qint64(ok.value("customer")));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM C JOIN UGYFEL U ON U.KOD = C.UGYFELKOD"
                                          " WHERE U.NEV STARTING WITH 'Multi '")),
                 qint64(ok.value("customer")));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT NEV) FROM UGYFEL")), qint64(0));
        // New contracts: as many as reported, no cabin out on two contracts,
        // and each cabin's status names the contract that holds it.
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE SZERZODES STARTING WITH 'MULTI-NEW-'")),
                 qint64(ok.value("new-contract")));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM (SELECT K.ARUKOD FROM FORGKABIN K JOIN FORGFEJ F"
                                          " ON F.BIZONYLAT = K.BIZONYLAT AND F.VERZIO = K.VERZIO WHERE F.AKTIV = 'I'"
                                          " AND (K.VSZALL IS NULL OR K.VSZALL = '') GROUP BY K.ARUKOD HAVING COUNT(*) > 1)")),
                 qint64(0));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM ARU A WHERE A.KOD STARTING WITH '50' AND"
                                          " (A.ALLAPOT = 'FOG') <> EXISTS (SELECT 1 FROM FORGKABIN K WHERE K.ARUKOD = A.KOD)")),
                 qint64(0));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM ARU A JOIN FORGKABIN K ON K.ARUKOD = A.KOD"
                                          " WHERE A.KOD STARTING WITH '50' AND A.BIZONYLAT <> K.BIZONYLAT")),
                 qint64(0));
        // Changes of the shared contracts: none overwritten unseen.
        QCOMPARE(count(*c, QStringLiteral("SELECT SUM(CAST(KOMMENT AS INTEGER)) FROM FORGFEJ WHERE SZERZODES IN ('MULTI-1', 'MULTI-2')")),
                 qint64(ok.value("contract-change")));
        // Payments: every paid day reported is there once.
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM = DATUM2 AND NETTO = 1000"),
                       {{QStringLiteral("b"), contractNo(*c, QStringLiteral("MULTI-KP"))}}),
                 qint64(ok.value("payment")));
        // New activities: every one reported is there once.
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'SZK' AND KOMMENT STARTING WITH 'multi '")),
                 qint64(ok.value("activity")));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT KOMMENT) FROM FORGTEV WHERE TEVKOD = 'SZK'")), qint64(0));
        g_fig.rowsChecked += int(count(*c, QStringLiteral("SELECT (SELECT COUNT(*) FROM UGYFEL) + (SELECT COUNT(*) FROM UGYFELCIM)"
                                                          " + (SELECT COUNT(*) FROM FORGFEJ) + (SELECT COUNT(*) FROM FORGKABIN)"
                                                          " + (SELECT COUNT(*) FROM FORGTEV) + (SELECT COUNT(*) FROM FORGFIZ)"
                                                          " + (SELECT COUNT(*) FROM ARU) FROM RDB$DATABASE")));
        c->close();
        for (auto it = ok.cbegin(); it != ok.cend(); ++it) qInfo("stored %-16s %d", qPrintable(it.key()), it.value());
    }

    // Two workstations choose one free cabin: the second one checked it while
    // it was still free, but the first one stored first. The second store is
    // refused with a message, and the cabin is out on one contract only.
    void cabinChosenByBoth() {
        if (!sharedServer() || hammerFile_.isEmpty()) QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        {
            auto c = db::connect(params(shared_, hammerFile_));
            auto tx = c->begin();
            rental::ProductStore::StoreProduct(*tx, QStringLiteral("7777"), QStringLiteral("ALAP"), rental::ProductFree);
            tx->commit();
            c->close();
        }
        QProcess first, second;
        QProcessEnvironment env = driverEnv(shared_, hammerFile_);
        second.setProcessEnvironment(env);
        env.insert(QStringLiteral("VL_TEST_STOP_AT"), QStringLiteral("new-contract:validated"));
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("new-contract"), QStringLiteral("7777"), QStringLiteral("KABIN-A")});
        QString seen;
        const qint64 pid = waitStopped(first, &seen);
        QVERIFY2(pid > 0, qPrintable(seen));
        second.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("new-contract"), QStringLiteral("7777"), QStringLiteral("KABIN-B")});
        const Run rb = waitRun(second, 120000);
        QVERIFY2(rb.code == 0, qPrintable(rb.out + rb.err));
        ::kill(pid_t(pid), SIGCONT);
        const Run ra = waitRun(first, 120000);
        QVERIFY2(ra.code != 0, qPrintable(ra.out));
        QVERIFY2(ra.out.contains(QStringLiteral("OP new-contract refused A(z) 7777 számú kabin közben a(z) ")), qPrintable(ra.out));
        auto c = db::connect(params(shared_, hammerFile_));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGKABIN WHERE ARUKOD = '7777'")), qint64(1));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE SZERZODES = 'KABIN-A'")), qint64(0));
        QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM ARU A JOIN FORGFEJ F ON F.BIZONYLAT = A.BIZONYLAT"
                                          " WHERE A.KOD = '7777' AND A.ALLAPOT = 'FOG' AND F.SZERZODES = 'KABIN-B'")),
                 qint64(1));
        c->close();
        ++g_fig.refused;
        ++g_fig.refusedBy[QStringLiteral("new-contract (one cabin, stopped between check and store): A(z) 7777 számú kabin közben ...")];
    }

    // Two desks change the shared customer (or its site): the first read it,
    // then the second read and stored. The first desk's store is refused with
    // the changed-elsewhere message and the second desk's telephone stays.
    void customerChangedOnTwoDesks_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("customer") << "customer";
        QTest::newRow("site") << "site";
    }
    void customerChangedOnTwoDesks() {
        QFETCH(QString, kind);
        if (!sharedServer() || hammerFile_.isEmpty()) QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        QProcess first, second;
        QProcessEnvironment env = driverEnv(shared_, hammerFile_);
        second.setProcessEnvironment(env);
        env.insert(QStringLiteral("VL_TEST_STOP_AT"), QStringLiteral("customer-edit:read"));
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("customer-edit"), kind, QStringLiteral("+36 1 111 1111")});
        QString seen;
        const qint64 pid = waitStopped(first, &seen);
        QVERIFY2(pid > 0, qPrintable(seen));
        second.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("customer-edit"), kind, QStringLiteral("+36 1 222 2222")});
        const Run rb = waitRun(second, 120000);
        QVERIFY2(rb.code == 0, qPrintable(rb.out + rb.err));
        ::kill(pid_t(pid), SIGCONT);
        const Run ra = waitRun(first, 120000);
        QVERIFY2(ra.code != 0, qPrintable(ra.out));
        QVERIFY2(ra.out.contains(QStringLiteral("OP customer-edit refused Az ügyfél adatait közben máshol módosították. "
                                                "Az adatok frissültek, kérem, ismételje meg a műveletet.")),
                 qPrintable(ra.out));
        auto c = db::connect(params(shared_, hammerFile_));
        const QString sql = kind == QLatin1String("site")
                                ? QStringLiteral("SELECT C.TELEFON FROM UGYFELCIM C JOIN UGYFEL U ON U.KOD = C.UGYFELKOD"
                                                 " WHERE U.NEV = 'Közös Kft.'")
                                : QStringLiteral("SELECT TELEFON FROM UGYFEL WHERE NEV = 'Közös Kft.'");
        QCOMPARE(c->query(sql).at(0, 0).toString(), QStringLiteral("+36 1 222 2222"));
        c->close();
        ++g_fig.refused;
        ++g_fig.refusedBy[QStringLiteral("customer-edit (two desks, the first stopped after reading): Az ügyfél adatait közben ...")];
    }

    // A contract stored while its customer is deleted, and the same new
    // customer name imported twice at once, each by two vorlanda-admin
    // processes on one database of the shared server. First the interleaving
    // that left an orphan (or a twin) before: one process stopped inside its
    // transaction after its checks, the other run meanwhile; then rounds with
    // the second started at spread moments. No contract is ever left without
    // its customer or site, no name stored twice, and exactly one of the two
    // succeeds with the other's refusal a sentence of the program.
    void customerWritersAgainstEachOther_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("contract import stopped before its commit, customer deleted") << "import-first";
        QTest::newRow("customer delete stopped after its lock, contract imported") << "delete-first";
        QTest::newRow("import and delete at spread moments") << "contract-rounds";
        QTest::newRow("one new name imported by both, the first stopped before its commit") << "name-stopped";
        QTest::newRow("one new name imported by both at spread moments") << "name-rounds";
    }
    void customerWritersAgainstEachOther() {
        QFETCH(QString, what);
        if (!sharedServer()) QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        const QString file = qEnvironmentVariable("VORLANDA_TEST_FBDIR") +
                             QStringLiteral("/ugyfel_%1_%2.fdb").arg(::getpid()).arg(what);
        QFile::remove(file);
        {
            auto c = db::createFirebirdDatabase(params(shared_, file));
            buildCompany(*c, 0);
            c->close();
        }
        const QString ini = dir_.filePath(QStringLiteral("UGYFEL_%1.INI").arg(what));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QStringLiteral("DBSERVER=%1%2\r\nDBUSERNAME=%3\r\nDBPASSWORD=%4\r\nWPWD=NONE\r\n")
                        .arg(shared_.prefix, file, shared_.user, shared_.password)
                        .toLocal8Bit());
        }
        auto start = [&](QProcess& p, const QStringList& args, const QString& stopAt = QString()) {
            QProcessEnvironment env = driverEnv(shared_, file);
            if (!stopAt.isEmpty()) env.insert(QStringLiteral("VL_TEST_STOP_AT"), stopAt);
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(dir_.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), QStringList{QStringLiteral("--ini"), ini, QStringLiteral("--yes")} + args);
        };
        auto conn = db::connect(params(shared_, file));
        // A new customer with one site; its key and the contract file for it.
        int serial = 0;
        auto newCustomer = [&](QString* json) {
            auto tx = conn->begin();
            const QString k = tx->query(QStringLiteral("INSERT INTO UGYFEL (NEV, FIZMOD, TELEFON, AKTIV) VALUES (:n, 'ATU',"
                                                       " '1', 'I') RETURNING KOD"),
                                        {{QStringLiteral("n"), QStringLiteral("Törlendő %1").arg(++serial)}})
                                  .at(0, 0).toString().trimmed();
            const QString c = tx->query(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON)"
                                                       " VALUES (:u, 'Telep', '1117', 'Budapest', 'Fő utca 9.', 'Kiss Anna', '2')"
                                                       " RETURNING KOD"),
                                        {{QStringLiteral("u"), k}})
                                  .at(0, 0).toString().trimmed();
            tx->commit();
            QFile f(dir_.filePath(QStringLiteral("szerzodes_%1.json").arg(k)));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(QStringLiteral("{\"header\": {\"UGYFELKOD\": \"%1\", \"UGYFELCIM\": \"%2\", \"FIZMOD\": \"ATU\","
                                   " \"BERMOD\": \"HT\", \"BERKEZD\": \"2026.11.02\"}, \"lines\": [{\"ARUCSOPORT\": \"ALAP\","
                                   " \"MENNYISEG\": 1, \"BERMENNY\": 1, \"BERMEGYSEG\": \"Hó\", \"NETTOAR\": 10000,"
                                   " \"KISZALL\": \"2026.11.02\", \"HKSZCSPSZV\": \"1000000\", \"KARBAR1\": 4500,"
                                   " \"PERIODUS\": 1, \"SOFORKOD\": \"S1\"}]}")
                        .arg(k, c)
                        .toUtf8());
            *json = f.fileName();
            return k;
        };
        auto nameFile = [&](const QString& name) {
            QFile f(dir_.filePath(QStringLiteral("nev_%1.csv").arg(++serial)));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(QStringLiteral("NEV;TELEFON;FIZMOD\n%1;+36 1 555 0101;KP\n").arg(name).toUtf8());
            return f.fileName();
        };
        const QString orphans = QStringLiteral(
            "SELECT COUNT(*) FROM FORGFEJ F WHERE F.UGYFELKOD <> '' AND (NOT EXISTS (SELECT 1 FROM UGYFEL U"
            " WHERE U.KOD = F.UGYFELKOD) OR NOT EXISTS (SELECT 1 FROM UGYFELCIM C WHERE C.KOD = F.UGYFELCIM"
            " AND C.UGYFELKOD = F.UGYFELKOD))");
        // One process stopped at its point, the other run while it waits, then both to their end.
        auto stoppedFirst = [&](const QStringList& first, const QString& point, const QStringList& second, Run* a, Run* b) {
            QProcess pa, pb;
            start(pa, first, point);
            QString seen;
            const qint64 pid = waitStopped(pa, &seen);
            QVERIFY2(pid > 0, qPrintable(QStringLiteral("the process did not stop at %1: %2").arg(point, seen)));
            start(pb, second);
            QVERIFY(pb.waitForStarted(30000));
            // The second one meets the first one's lock and waits for it.
            QTest::qWait(2500);
            ::kill(pid_t(pid), SIGCONT);
            *a = waitRun(pa, 120000);
            *b = waitRun(pb, 120000);
        };
        const int rounds = qEnvironmentVariableIntValue("VL_MULTI_ROUNDS") > 0 ? qEnvironmentVariableIntValue("VL_MULTI_ROUNDS") : 50;
        if (what == QLatin1String("import-first") || what == QLatin1String("delete-first")) {
            QString json;
            const QString k = newCustomer(&json);
            const QStringList import{QStringLiteral("contract"), QStringLiteral("import"), json};
            const QStringList remove{QStringLiteral("customer"), QStringLiteral("delete"), k};
            Run ri, rd;
            if (what == QLatin1String("import-first")) {
                stoppedFirst(import, QStringLiteral("contract-store:header"), remove, &ri, &rd);
                QVERIFY2(ri.code == 0 && ri.out.contains(QStringLiteral("Új szerződés:")), qPrintable(ri.out + ri.err));
                QVERIFY2(rd.code == 1 && rd.err.contains(QStringLiteral("Nem törölhető az ügyfél, mert volt szerződése")),
                         qPrintable(rd.out + rd.err));
                QCOMPARE(count(*conn, QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), k}}),
                         qint64(1));
            } else {
                stoppedFirst(remove, QStringLiteral("customer-delete:locked"), import, &rd, &ri);
                QVERIFY2(rd.code == 0 && rd.out.contains(QStringLiteral("törölve")), qPrintable(rd.out + rd.err));
                QVERIFY2(ri.code == 1 && ri.err.contains(QStringLiteral("Nincs ilyen ügyfél: ") + k), qPrintable(ri.out + ri.err));
            }
            QCOMPARE(count(*conn, orphans), qint64(0));
        } else if (what == QLatin1String("contract-rounds")) {
            // How long an import takes alone: the deletes start spread over it,
            // from a fifth of it to past its end.
            qint64 alone = 0;
            {
                QString json;
                newCustomer(&json);
                QProcess pi;
                QElapsedTimer t;
                t.start();
                start(pi, {QStringLiteral("contract"), QStringLiteral("import"), json});
                const Run ri = waitRun(pi, 120000);
                alone = t.elapsed();
                QVERIFY2(ri.code == 0, qPrintable(ri.out + ri.err));
            }
            int imported = 0, deleted = 0;
            for (int r = 0; r < rounds; ++r) {
                QString json;
                const QString k = newCustomer(&json);
                QProcess pi, pd;
                start(pi, {QStringLiteral("contract"), QStringLiteral("import"), json});
                QTest::qWait(int(alone * (20 + 100 * r / rounds) / 100));
                start(pd, {QStringLiteral("customer"), QStringLiteral("delete"), k});
                const Run ri = waitRun(pi, 120000), rd = waitRun(pd, 120000);
                QVERIFY2((ri.code == 0) != (rd.code == 0), qPrintable(QStringLiteral("round %1:\n%2%3\n%4%5")
                                                                            .arg(r).arg(ri.out, ri.err, rd.out, rd.err)));
                // The loser says why in the program's words.
                if (ri.code == 0) QVERIFY2(rd.err.contains(QStringLiteral("Nem törölhető az ügyfél")), qPrintable(rd.err));
                else QVERIFY2(ri.err.contains(QStringLiteral("Nincs ilyen ügyfél: ") + k), qPrintable(ri.err));
                imported += ri.code == 0;
                deleted += rd.code == 0;
                QCOMPARE(count(*conn, orphans), qint64(0));
            }
            qInfo("contract import (%lld ms alone) against customer delete, %d rounds: %d imported, %d deleted, no orphan",
                  alone, rounds, imported, deleted);
            g_fig.ops += 2 * rounds;
            g_fig.ok += rounds;
            g_fig.refused += rounds;
        } else if (what == QLatin1String("name-stopped")) {
            const QString csv = nameFile(QStringLiteral("Iker Kft."));
            const QStringList import{QStringLiteral("import-customers"), csv};
            Run ra, rb;
            stoppedFirst(import, QStringLiteral("customer-import:stored"), import, &ra, &rb);
            QVERIFY2(ra.code == 0 && ra.out.contains(QStringLiteral("Tárolva.")), qPrintable(ra.out + ra.err));
            QVERIFY2(rb.code == 1 && rb.err.contains(QStringLiteral("Már van ilyen nevű ügyfél: Iker Kft.")),
                     qPrintable(rb.out + rb.err));
            QCOMPARE(count(*conn, QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = 'Iker Kft.'")), qint64(1));
        } else {
            int stored = 0;
            for (int r = 0; r < rounds; ++r) {
                const QString name = QStringLiteral("Iker %1 Kft.").arg(r);
                const QString csv = nameFile(name);
                QProcess pa, pb;
                start(pa, {QStringLiteral("import-customers"), csv});
                QTest::qWait((r * 7) % 120);
                start(pb, {QStringLiteral("import-customers"), csv});
                const Run ra = waitRun(pa, 120000), rb = waitRun(pb, 120000);
                QVERIFY2((ra.code == 0) != (rb.code == 0),
                         qPrintable(QStringLiteral("round %1:\n%2%3\n%4%5").arg(r).arg(ra.out, ra.err, rb.out, rb.err)));
                QVERIFY2((ra.code == 0 ? rb : ra).err.contains(QStringLiteral("Már van ilyen nevű ügyfél")),
                         qPrintable((ra.code == 0 ? rb : ra).err));
                QCOMPARE(count(*conn, QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = :n"), {{QStringLiteral("n"), name}}),
                         qint64(1));
                ++stored;
            }
            qInfo("one new name imported by two processes, %d rounds: stored once each time", stored);
            g_fig.ops += 2 * rounds;
            g_fig.ok += rounds;
            g_fig.refused += rounds;
        }
        conn->close();
        QFile::remove(file);
    }

    void lockWaitIsBoundedAndHungarian() {
        if (!sharedServer() || hammerFile_.isEmpty()) QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        auto holder = db::connect(params(shared_, hammerFile_));
        auto waiter = db::connect(params(shared_, hammerFile_));
        auto t1 = holder->begin();
        QCOMPARE(t1->exec(QStringLiteral("UPDATE UGYFEL SET TELEFON = 'foglal' WHERE NEV = 'Közös Kft.'")), qint64(1));
        auto t2 = waiter->begin();
        QElapsedTimer t;
        t.start();
        QString text;
        bool conflict = false;
        try {
            t2->exec(QStringLiteral("UPDATE UGYFEL SET TELEFON = 'vár' WHERE NEV = 'Közös Kft.'"));
        } catch (const db::DbError& e) {
            text = e.text();
            conflict = e.isWriteConflict();
        }
        const qint64 waited = t.elapsed();
        t2->rollback();
        t1->rollback();
        QVERIFY2(text.startsWith(db::lockConflictText() + QLatin1Char('\n')), qPrintable(text));
        QVERIFY(conflict);
        qInfo("a lock wait ended after %lld ms with: %s", waited, qPrintable(text.section(QLatin1Char('\n'), 0, 0)));
        // The other way a conflict shows: the holder commits while the waiter waits.
        auto t3 = holder->begin();
        t3->exec(QStringLiteral("UPDATE UGYFEL SET TELEFON = 'elso' WHERE NEV = 'Közös Kft.'"));
        auto t4 = waiter->begin();
        t3->commit();
        try {
            t4->exec(QStringLiteral("UPDATE UGYFEL SET TELEFON = 'masodik' WHERE NEV = 'Közös Kft.'"));
            t4->commit();
        } catch (const db::DbError& e) {
            QVERIFY2(e.isWriteConflict(), qPrintable(e.text()));
        }
        holder->close();
        waiter->close();
    }

    // The database shut down under the program: the action that meets it reports
    // the lost connection; the next action reconnects once, records the new
    // connection on the run's work tables first, and says so.
    void reconnectOnceAfterLostConnection() {
        if (!sharedServer() || hammerFile_.isEmpty()) QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        const QString ini = dir_.filePath(QStringLiteral("UJRA.INI"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QStringLiteral("DBSERVER=%1%2\r\nDBUSERNAME=%3\r\nDBPASSWORD=%4\r\n")
                        .arg(shared_.prefix, hammerFile_, shared_.user, shared_.password)
                        .toLocal8Bit());
        }
        QVERIFY(shell::IniLoad(ini, true));
        shell::Tdm& d = shell::dm();
        QVERIFY2(d.ConnectDatabase(nullptr, false), qPrintable(d.ConnectFailure));
        // A work table of this run, in the register with its connection.
        d.d_alap().exec(QStringLiteral("CREATE TABLE TMP_UJRA (ID INTEGER NOT NULL PRIMARY KEY)"));
        d.d_alap().exec(QStringLiteral("INSERT INTO MUNKATABLAK (TABLANEV, KAPCSOLAT) VALUES ('TMP_UJRA', CURRENT_CONNECTION)"));
        d.WorkTableList = {QStringLiteral("TMP_UJRA")};
        (void)db::takeConnectionLost();

        auto gfix = [&](const QStringList& args) {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(QStringLiteral("gfix"), args + QStringList{QStringLiteral("-user"), shared_.user, QStringLiteral("-password"),
                                                               shared_.password, shared_.prefix + hammerFile_});
            return p.waitForFinished(60000) && p.exitCode() == 0 ? QString() : QString::fromLocal8Bit(p.readAll());
        };
        QCOMPARE(gfix({QStringLiteral("-shut"), QStringLiteral("full"), QStringLiteral("-force"), QStringLiteral("0")}), QString());
        QString lost;
        try {
            d.d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL"));
        } catch (const db::DbError& e) {
            QVERIFY(e.isConnectionLost());
            lost = e.text();
        }
        QVERIFY2(lost.startsWith(db::connectionLostText()), qPrintable(lost));
        QCOMPARE(gfix({QStringLiteral("-online")}), QString());

        vl::RecordingSink sink;
        vl::setMessageSink(&sink);
        QVERIFY(d.reconnectIfLost());
        QCOMPARE(sink.texts(), QStringList{shell::Tdm::ReconnectedText()});
        QCOMPARE(count(d.d_alap(), QStringLiteral("SELECT COUNT(*) FROM MUNKATABLAK WHERE TABLANEV = 'TMP_UJRA'"
                                                   " AND KAPCSOLAT = CURRENT_CONNECTION")),
                 qint64(1));
        // Once: the action after that finds nothing to do.
        QVERIFY(!d.reconnectIfLost());
        QCOMPARE(sink.texts().size(), 1);
        vl::setMessageSink(nullptr);
        d.d_alap().exec(QStringLiteral("DELETE FROM MUNKATABLAK WHERE TABLANEV = 'TMP_UJRA'"));
        d.d_alap().exec(QStringLiteral("DROP TABLE TMP_UJRA"));
        d.WorkTableList.clear();
        d.disconnect();
    }

    void backupOverdueAfterAWeek_data() {
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<bool>("overdue");
        const QDateTime now(QDate(2026, 12, 10), QTime(8, 0));
        QTest::newRow("never") << QString() << true;
        QTest::newRow("garbage") << QStringLiteral("tegnap") << true;
        QTest::newRow("an hour ago") << now.addSecs(-3600).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")) << false;
        QTest::newRow("six days ago") << now.addDays(-6).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")) << false;
        QTest::newRow("seven days and a minute") << now.addDays(-7).addSecs(-60).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")) << true;
    }
    void backupOverdueAfterAWeek() {
        QFETCH(QString, stamp);
        QFETCH(bool, overdue);
        QCOMPARE(shell::BackupOverdue(stamp, QDateTime(QDate(2026, 12, 10), QTime(8, 0))), overdue);
        QCOMPARE(shell::LastBackupText(stamp).startsWith(QStringLiteral("Utolsó mentés: ")), true);
    }

    // The demo database backed up by vorlanda-admin backup (with its check),
    // restored by vorlanda-admin restore, and the two compared row by row; the
    // backup is recorded as the last successful one.
    void demoBackupRestoredRowByRow() {
        const QString demo = dir_.filePath(QStringLiteral("demo.fdb"));
        const QString ini = dir_.filePath(QStringLiteral("DEMO.INI"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(demo).toLocal8Bit());
        }
        auto admin = [&](const QStringList& args) {
            QProcess p;
            p.setWorkingDirectory(dir_.path());
            p.start(QStringLiteral(VL_ADMIN_EXE), QStringList{QStringLiteral("--ini"), ini} + args);
            return waitRun(p, 600000);
        };
        Run r = admin({QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        const QString fbk = dir_.filePath(QStringLiteral("demo.fbk"));
        r = admin({QStringLiteral("backup"), fbk});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("egyezik")), qPrintable(r.out));
        const QString copy = dir_.filePath(QStringLiteral("visszatoltve.fdb"));
        r = admin({QStringLiteral("restore"), fbk, copy});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        // Over a database that exists: refused, nothing written.
        const QDateTime before = QFileInfo(copy).lastModified();
        r = admin({QStringLiteral("restore"), fbk, copy});
        QVERIFY2(r.code != 0, qPrintable(r.out + r.err));
        QCOMPARE(QFileInfo(copy).lastModified(), before);

        db::ConnectParams a, b;
        a.database = demo;
        b.database = copy;
        auto live = db::connect(a);
        auto restored = db::connect(b);
        // The backup is recorded in the database (the copy was made just before).
        const QString stamp = shell::ReadLastBackup(*live);
        QVERIFY2(!shell::BackupOverdue(stamp), qPrintable(stamp));
        QCOMPARE(shell::ReadLastBackup(*restored), QString());
        const auto tables = live->query(QStringLiteral("SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE"
                                                       " COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS NULL ORDER BY 1"));
        int compared = 0;
        for (int t = 0; t < tables.rowCount(); ++t) {
            const QString name = tables.at(t, 0).toString();
            if (name.startsWith(QLatin1String("TMP_"))) continue;
            // The finished mark is each database's own: the restore writes it, never copies it.
            if (name == QLatin1String("VL_KESZ")) {
                QCOMPARE(count(*restored, QStringLiteral("SELECT COUNT(*) FROM VL_KESZ WHERE FORRAS = 'visszatöltve: demo.fbk'")),
                         qint64(1));
                QCOMPARE(count(*restored, QStringLiteral("SELECT COUNT(*) FROM VL_KESZ")), qint64(1));
                continue;
            }
            auto rows = [&](db::Connection& c) {
                // The name comes from the catalogue.
                const auto rs = c.query(QStringLiteral("SELECT * FROM ") + db::sqltext::quoteIdent(name));
                QStringList out;
                for (int i = 0; i < rs.rowCount(); ++i) {
                    QStringList v;
                    for (int col = 0; col < rs.columnCount(); ++col)
                        if (rs.columns().at(col).name != QLatin1String("UTOLSOMENTES")) v << rs.at(i, col).toString();
                    out << v.join(QLatin1Char('|'));
                }
                out.sort();
                return out;
            };
            const QStringList l = rows(*live), c = rows(*restored);
            QVERIFY2(l == c, qPrintable(name));
            compared += int(l.size());
        }
        QVERIFY(compared > 100);
        g_fig.rowsChecked += compared;
        qInfo("demo database: %d rows of %d tables equal after backup and restore", compared, int(tables.rowCount()));
        live->close();
        restored->close();
    }

    void faultInjection_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("point");
        QTest::addColumn<bool>("stopServer");
        for (bool stop : {false, true}) {
            const char* how = stop ? "server stopped" : "kill -9";
            QTest::addRow("contract store, %s", how) << "contract" << "contract-store:activities" << stop;
            QTest::addRow("new activity, %s", how) << "activity" << "activity-action:stamp" << stop;
            QTest::addRow("year opening, %s", how) << "year" << "year-opening:contract#3" << stop;
            QTest::addRow("export, %s", how) << "export" << "export:rename" << stop;
        }
    }

    void faultInjection() {
        QFETCH(QString, what);
        QFETCH(QString, point);
        QFETCH(bool, stopServer);
        if (qEnvironmentVariableIsEmpty("VORLANDA_TEST_FBSERVER"))
            QSKIP("no Firebird server for the tests (VORLANDA_TEST_FBSERVER)");
        if (private_.pid <= 0) {
            private_.state = dir_.filePath(QStringLiteral("fbserver"));
            if (!startPrivate(private_)) QSKIP("the private Firebird server of the test did not start");
        }
        // A database of its own for each case, outside the server's state folder
        // (a restart of the server makes that anew).
        const QString file = dir_.filePath(QStringLiteral("hiba_%1.fdb").arg(QTest::currentDataTag()).replace(
            QRegularExpression(QStringLiteral("[^A-Za-z0-9_./-]")), QStringLiteral("_")));
        {
            auto c = db::createFirebirdDatabase(params(private_, file));
            buildCompany(*c, 0, 4);
            c->close();
        }
        const QString exportFile = dir_.filePath(QStringLiteral("ugyfelek_%1.csv").arg(stopServer ? 1 : 0));
        auto writeIni = [&] {
            QFile ini(dir_.filePath(QStringLiteral("PKR.INI")));
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write(QStringLiteral("DBSERVER=%1%2\r\nDBUSERNAME=%3\r\nDBPASSWORD=%4\r\nWPWD=NONE\r\n")
                          .arg(private_.prefix, file, private_.user, private_.password)
                          .toLocal8Bit());
        };
        writeIni();
        QFile::remove(exportFile);   // the old state of an export: no file

        // The operation as a process of its own.
        auto start = [&](QProcess& p, bool withHook) {
            QProcessEnvironment env = driverEnv(private_, file);
            if (withHook) env.insert(QStringLiteral("VL_TEST_STOP_AT"), point);
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(dir_.path());
            const QString ini = dir_.filePath(QStringLiteral("PKR.INI"));
            auto c = db::connect(params(private_, file));
            const QString b = QString::number(contractNo(*c, QStringLiteral("MULTI-1")));
            c->close();
            if (what == QLatin1String("contract"))
                p.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("store-contract"), b});
            else if (what == QLatin1String("activity"))
                p.start(QStringLiteral(VL_DRIVER_EXE), {QStringLiteral("new-activity"), b});
            else if (what == QLatin1String("year"))
                p.start(QStringLiteral(VL_ADMIN_EXE), {QStringLiteral("--ini"), ini, QStringLiteral("--yes"),
                                                       QStringLiteral("open-year"), QStringLiteral("2027"),
                                                       QStringLiteral("--group"), QStringLiteral("2")});
            else
                p.start(QStringLiteral(VL_ADMIN_EXE), {QStringLiteral("--ini"), ini, QStringLiteral("--yes"), QStringLiteral("export"),
                                                       QStringLiteral("SELECT KOD, NEV FROM UGYFEL ORDER BY KOD"), exportFile});
        };

        // The state before.
        QMap<qint64, QString> before;
        qint64 activitiesBefore = 0;
        {
            auto c = db::connect(params(private_, file));
            const auto rs = c->query(QStringLiteral("SELECT BIZONYLAT FROM FORGFEJ ORDER BY BIZONYLAT"));
            for (int r = 0; r < rs.rowCount(); ++r) before.insert(rs.at(r, 0).toLongLong(), contractState(*c, rs.at(r, 0).toLongLong()));
            activitiesBefore = count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'SZK'"));
            c->close();
        }

        QProcess p;
        start(p, true);
        QString seen;
        const qint64 pid = waitStopped(p, &seen);
        QVERIFY2(pid > 0, qPrintable(QStringLiteral("the process did not stop at %1: %2").arg(point, seen)));
        if (stopServer) {
            stopPrivate(private_);
            ++g_fig.serverStops;
            ::kill(pid_t(pid), SIGCONT);
            const Run r = waitRun(p, 120000);
            // The lost connection is reported as such (the export needs no
            // database any more at its point and ends well).
            if (what != QLatin1String("export")) {
                QVERIFY2(r.code != 0, qPrintable(r.out + r.err));
                QVERIFY2((r.out + r.err).contains(db::connectionLostText()), qPrintable(r.out + r.err));
            }
            QVERIFY(startPrivate(private_));
            writeIni();
        } else {
            ::kill(pid_t(pid), SIGKILL);
            ++g_fig.kills;
            waitRun(p, 30000);
        }

        // The database is sound, and every contract is as it was or as the
        // finished operation leaves it.
        QCOMPARE(validate(private_, file), QString());
        QMap<qint64, QString> middle;
        {
            auto c = db::connect(params(private_, file));
            for (auto it = before.cbegin(); it != before.cend(); ++it) middle.insert(it.key(), contractState(*c, it.key()));
            QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'SZK'")), activitiesBefore);
            c->close();
        }
        if (what == QLatin1String("export")) {
            QFile f(exportFile);
            if (f.exists()) {
                QVERIFY(f.open(QIODevice::ReadOnly));
                const QByteArray content = f.readAll();
                QVERIFY2(content.contains("Közös Kft."), content.constData());
            }
        }

        // Repeated, the operation succeeds.
        QProcess again;
        start(again, false);
        const Run r2 = waitRun(again, 300000);
        QVERIFY2(r2.code == 0, qPrintable(r2.out + r2.err));
        auto c = db::connect(params(private_, file));
        int opened = 0;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QString after = contractState(*c, it.key());
            const QString mid = middle.value(it.key());
            QVERIFY2(mid == it.value() || mid == after,
                     qPrintable(QStringLiteral("contract %1 is neither old nor new after the fault").arg(it.key())));
            if (mid == after && after != it.value()) ++opened;
            ++g_fig.rowsChecked;
        }
        if (what == QLatin1String("year")) {
            // The group before the stop landed whole; the one stopped did not.
            QVERIFY(opened >= 2);
            QVERIFY(opened < before.size());
        } else {
            QCOMPARE(opened, 0);
        }
        if (what == QLatin1String("contract"))
            QCOMPARE(count(*c, QStringLiteral("SELECT KOMMENT FROM FORGFEJ WHERE SZERZODES = 'MULTI-1'")), qint64(1));
        if (what == QLatin1String("activity"))
            QCOMPARE(count(*c, QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'SZK'")), activitiesBefore + 1);
        if (what == QLatin1String("export")) {
            QFile f(exportFile);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().contains("Közös Kft."));
        }
        c->close();
        QCOMPARE(validate(private_, file), QString());
    }

    void cleanupTestCase() {
        stopPrivate(private_);
        if (!hammerFile_.isEmpty()) QFile::remove(hammerFile_);
        qInfo("figures: operations %d (stored %d, refused with a message %d), rows checked %d, kills survived %d,"
              " server stops survived %d",
              g_fig.ops, g_fig.ok, g_fig.refused, g_fig.rowsChecked, g_fig.kills, g_fig.serverStops);
        for (auto it = g_fig.refusedBy.cbegin(); it != g_fig.refusedBy.cend(); ++it)
            qInfo("  refused %4d x %s", it.value(), qPrintable(it.key()));
    }
};

QTEST_GUILESS_MAIN(TstMulti)
#include "tst_multi.moc"
