// vorlanda-admin serve through the real program on the demonstration: it
// starts on loopback, answers, and ends cleanly on SIGTERM; it refuses
// another address without TLS, a missing service user and bad arguments;
// --make-cert makes the certificates.
#include "db/Database.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

QProcessEnvironment environment(const QString& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir + QStringLiteral("/.nincs-adatkonyvtar"));
    return env;
}

Run admin(const QString& dir, const QStringList& args, const QByteArray& input = QByteArray()) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessEnvironment(environment(dir));
    p.start(QStringLiteral(VL_ADMIN_EXE), args);
    p.write(input);
    p.closeWriteChannel();
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

quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

} // namespace

class TstServeCommand : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString driver;

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        const QString db = dir.filePath(QStringLiteral("demo.fdb"));
        writeFile(dir.filePath(QStringLiteral("PKR.INI")),
                  QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\nSERVICEUSER=TVN\r\n").arg(db).toUtf8());
        writeFile(dir.filePath(QStringLiteral("NOUSER.INI")), QStringLiteral("DBSERVER=%1\r\n").arg(db).toUtf8());
        const Run init = admin(dir.path(), {QStringLiteral("init-db"), QStringLiteral("--demo")});
        QVERIFY2(init.code == 0, qPrintable(init.out + init.err));
        vl::db::prepareEmbeddedEngine();
        vl::db::ConnectParams p;
        p.database = db;
        auto conn = vl::db::connect(p);
        auto rs = conn->query(QStringLiteral("SELECT MIN(KOD) FROM SZ_SOFOR WHERE AKTIV = 'I'"));
        QVERIFY(rs.next());
        driver = rs.value(0).toString().trimmed();
        conn->close();
        QVERIFY(!driver.isEmpty());
        const Run pin = admin(dir.path(), {QStringLiteral("driver-pin"), driver}, "2468\n");
        QVERIFY2(pin.code == 0, qPrintable(pin.out + pin.err));
    }

    void refusals() {
        struct Case {
            QStringList args;
            int code;
            QString text;
        };
        const QList<Case> cases{
            {{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0.0.0.0:%1").arg(freePort())}, 1,
             QStringLiteral("TLS")},
            {{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("nem-cím")}, 2, QStringLiteral("hibás cím")},
            {{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:70000")}, 2, QStringLiteral("hibás cím")},
            {{QStringLiteral("serve"), QStringLiteral("--cert"), QStringLiteral("x.crt")}, 1, QStringLiteral("--key")},
            {{QStringLiteral("serve"), QStringLiteral("--bármi")}, 2, QStringLiteral("ismeretlen")},
            {{QStringLiteral("--ini"), QStringLiteral("NOUSER.INI"), QStringLiteral("serve")}, 2, QStringLiteral("SERVICEUSER")},
            {{QStringLiteral("serve"), QStringLiteral("--make-cert"), QStringLiteral("t"), QStringLiteral("--listen"),
              QStringLiteral("127.0.0.1:1")}, 2, QStringLiteral("--make-cert")},
        };
        for (const Case& c : cases) {
            const Run r = admin(dir.path(), c.args);
            QVERIFY2(r.code == c.code, qPrintable(c.args.join(u' ') + QStringLiteral(": ") + r.out + r.err));
            QVERIFY2(r.err.contains(c.text), qPrintable(r.err));
        }
    }

    void makeCert() {
        const Run r = admin(dir.path(), {QStringLiteral("serve"), QStringLiteral("--make-cert"), QStringLiteral("tls"),
                                         QStringLiteral("--name"), QStringLiteral("iroda.local")});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        for (const char* f : {"ca.crt", "ca.key", "server.crt", "server.key"})
            QVERIFY(QFile::exists(dir.filePath(QStringLiteral("tls/") + QLatin1String(f))));
        QVERIFY(r.out.contains(QStringLiteral("DNS:iroda.local")));
        QVERIFY(r.out.contains(QStringLiteral("IP:127.0.0.1")));
    }

    void servesAndStopsOnSigterm() {
        const quint16 port = freePort();
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setProcessEnvironment(environment(dir.path()));
        p.start(QStringLiteral(VL_ADMIN_EXE),
                {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)});
        QVERIFY(p.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("fut"), 60000);
        QVERIFY2(out.contains("http://127.0.0.1:" + QByteArray::number(port)), out.constData());

        QNetworkAccessManager nam;
        auto call = [&](const QByteArray& method, const QString& path, const QByteArray& body) {
            QNetworkRequest rq(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
            rq.setRawHeader("Content-Type", "application/json");
            QNetworkReply* r = nam.sendCustomRequest(rq, method, body);
            QEventLoop loop;
            connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
            const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            r->deleteLater();
            return status;
        };
        QCOMPARE(call("GET", QStringLiteral("/"), {}), 200);
        QCOMPARE(call("POST", QStringLiteral("/api/login"),
                      QJsonDocument(QJsonObject{{QStringLiteral("driver"), driver}, {QStringLiteral("pin"), QStringLiteral("2468")}})
                          .toJson()),
                 200);
        QCOMPARE(call("GET", QStringLiteral("/api/day"), {}), 200);   // the jar holds the cookie

        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("leállt"));
        QFile log(dir.filePath(QStringLiteral("vorlanda-serve.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY(lines.contains("GET /api/day\t200"));
        QVERIFY(!lines.contains("2468"));
    }
};

QTEST_GUILESS_MAIN(TstServeCommand)
#include "tst_serve_command.moc"
