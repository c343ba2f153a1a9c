// The drivers' service over HTTP on loopback, in the test's own process (its
// clock moved by the test): login and lock-out, the session and its expiry,
// the anti-forgery token, the day, each mark and its rows, a stale state, a
// repeated mark, the bad bodies, the caps and time-outs on the sockets, the
// headers, the page's static files (manifest, worker, icons), TLS with the
// certificates of --make-cert.
#include "../operations/ActionsFixture.h"

#include "drivers/DriversSchema.h"
#include "drivers/Pins.h"
#include "drivers/Service.h"
#include "shell/Session.h"

#include <QBuffer>
#include <QEventLoop>
#include <QImage>
#include <QUrl>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace vl::operations::test;

namespace {

struct Answer {
    int status = 0;
    QByteArray body;
    QJsonObject json;
    QJsonArray list;
    QHash<QByteArray, QByteArray> headers;   // lower-cased names
};

// No jar: the cookie goes only where a case puts it.
class NoJar : public QNetworkCookieJar {
public:
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
};

} // namespace

class TestDriverService : public QObject {
    Q_OBJECT

    ActionsCo co;
    vl::shell::Session service;
    std::unique_ptr<vl::drivers::DriverService> svc;
    QDateTime clock;
    QNetworkAccessManager nam;
    QTemporaryDir logDir;

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(svc->port()); }

    Answer call(const QByteArray& method, const QString& path, const QByteArray& body = QByteArray(),
                const QByteArray& cookie = QByteArray(), const QByteArray& csrf = QByteArray(),
                const QByteArray& contentType = "application/json") {
        QNetworkRequest rq(QUrl(base() + path));
        if (!body.isEmpty() || method == "POST") rq.setRawHeader("Content-Type", contentType);
        if (!cookie.isEmpty()) rq.setRawHeader("Cookie", "vlsession=" + cookie);
        if (!csrf.isEmpty()) rq.setRawHeader("X-CSRF-Token", csrf);
        QNetworkReply* r = nam.sendCustomRequest(rq, method, body);
        QEventLoop loop;
        connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        Answer a;
        a.status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.body = r->readAll();
        for (const auto& h : r->rawHeaderPairs()) a.headers.insert(h.first.toLower(), h.second);
        const QJsonDocument d = QJsonDocument::fromJson(a.body);
        a.json = d.object();
        a.list = d.array();
        r->deleteLater();
        return a;
    }

    struct Login {
        QByteArray cookie, csrf;
        Answer answer;
    };
    Login login(const QString& driver, const QString& pin) {
        Login l;
        l.answer = call("POST", QStringLiteral("/api/login"),
                        QJsonDocument(QJsonObject{{QStringLiteral("driver"), driver}, {QStringLiteral("pin"), pin}})
                            .toJson(QJsonDocument::Compact));
        const QByteArray set = l.answer.headers.value("set-cookie");
        if (set.startsWith("vlsession=")) l.cookie = set.mid(10, set.indexOf(';') - 10);
        l.csrf = l.answer.json.value(QStringLiteral("csrf")).toString().toLatin1();
        return l;
    }

    // The activity of the day of a contract's cabin on the driver's day: its key and state.
    QJsonObject activityOf(const QJsonObject& day, const QString& cabin, const QString& code) {
        for (const QJsonValue& s : day.value(QStringLiteral("sites")).toArray())
            for (const QJsonValue& a : s.toObject().value(QStringLiteral("activities")).toArray())
                if (a.toObject().value(QStringLiteral("cabin")).toString() == cabin &&
                    a.toObject().value(QStringLiteral("code")).toString() == code)
                    return a.toObject();
        return {};
    }

    int phoneLogRows() { return int(co.db.count(QStringLiteral("SELECT COUNT(*) FROM TELEFONJEL"))); }

    void startService(vl::drivers::ServiceSettings s = {}) {
        s.address = QHostAddress::LocalHost;
        s.port = 0;
        s.logFile = logDir.filePath(QStringLiteral("serve.log"));
        svc = std::make_unique<vl::drivers::DriverService>(*co.db.conn, service, s);
        svc->setClock([this] { return clock; });
        QString e;
        QVERIFY2(svc->start(&e), qPrintable(e));
    }

private slots:
    void initTestCase() {
        vl::drivers::joinProgramSchema();   // the PINs' tables
        co.buildActions();
        nam.setCookieJar(new NoJar);
        service.userCode = QStringLiteral("SZOLG");
        service.rights = QStringLiteral("W");
        service.businessYear = 2026;
        vl::drivers::SetDriverPin(*co.db.conn, nullptr, actionSession(), QStringLiteral("S1"), QStringLiteral("1234"));
        vl::drivers::SetDriverPin(*co.db.conn, nullptr, actionSession(), QStringLiteral("S2"), QStringLiteral("567890"));
    }

    void init() {
        clock = QDateTime(QDate::fromString(kDay, QStringLiteral("yyyy.MM.dd")), QTime(8, 0));
        startService();
    }
    void cleanup() { svc.reset(); }

    void pageAndHeaders() {
        const Answer page = call("GET", QStringLiteral("/"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("<html"));
        QVERIFY(page.headers.value("content-type").startsWith("text/html"));
        const QByteArray csp = page.headers.value("content-security-policy");
        QVERIFY(csp.contains("script-src 'self'"));
        QVERIFY(!csp.contains("unsafe-inline"));
        QCOMPARE(page.headers.value("x-content-type-options"), QByteArray("nosniff"));
        QCOMPARE(call("GET", QStringLiteral("/static/app.js")).status, 200);

        struct Case {
            QByteArray method;
            QString path;
            int status;
        };
        const std::vector<Case> cases{{"GET", QStringLiteral("/nincs"), 404},
                                {"GET", QStringLiteral("/../../etc/passwd"), 404},
                                {"GET", QStringLiteral("/api/nincs"), 404},
                                {"GET", QStringLiteral("/api/marks"), 405},
                                {"POST", QStringLiteral("/api/day"), 405},
                                {"GET", QStringLiteral("/api/day"), 401}};
        for (const Case& c : cases) {
            const Answer a = call(c.method, c.path);
            QVERIFY2(a.status == c.status, qPrintable(c.path + QStringLiteral(" ") + QString::number(a.status)));
            if (c.path.startsWith(QStringLiteral("/api/"))) {
                QCOMPARE(a.headers.value("cache-control"), QByteArray("no-store"));
                QVERIFY(!a.json.value(QStringLiteral("error")).toString().isEmpty());
            }
        }
    }

    // The files that make the page installable and work without signal.
    void staticFilesOfThePage() {
        struct Case {
            QString path;
            QByteArray mime;
            int side;   // a PNG's width and height, 0 for another file
        };
        const QList<Case> cases{{QStringLiteral("/manifest.webmanifest"), "application/manifest+json", 0},
                                {QStringLiteral("/sw.js"), "text/javascript", 0},
                                {QStringLiteral("/static/icon-192.png"), "image/png", 192},
                                {QStringLiteral("/static/icon-512.png"), "image/png", 512},
                                {QStringLiteral("/static/icon.svg"), "image/svg+xml", 0}};
        for (const Case& c : cases) {
            const Answer a = call("GET", c.path);
            QVERIFY2(a.status == 200, qPrintable(c.path));
            QVERIFY2(a.headers.value("content-type").startsWith(c.mime), qPrintable(c.path));
            QCOMPARE(a.headers.value("cache-control"), QByteArray("no-cache"));
            if (c.side) {
                QVERIFY2(a.body.startsWith("\x89PNG\r\n\x1a\n") && a.body.size() > 24, qPrintable(c.path));
                const auto be32 = [&](int at) {
                    return (quint8(a.body[at]) << 24) | (quint8(a.body[at + 1]) << 16) | (quint8(a.body[at + 2]) << 8) |
                           quint8(a.body[at + 3]);
                };
                QCOMPARE(be32(16), c.side);
                QCOMPARE(be32(20), c.side);
            }
        }
        const QJsonObject m = QJsonDocument::fromJson(call("GET", QStringLiteral("/manifest.webmanifest")).body).object();
        QCOMPARE(m.value(QStringLiteral("name")).toString(), QStringLiteral("Vorlanda – sofőr napja"));
        QCOMPARE(m.value(QStringLiteral("short_name")).toString(), QStringLiteral("Vorlanda"));
        QCOMPARE(m.value(QStringLiteral("start_url")).toString(), QStringLiteral("/"));
        QCOMPARE(m.value(QStringLiteral("scope")).toString(), QStringLiteral("/"));
        QCOMPARE(m.value(QStringLiteral("display")).toString(), QStringLiteral("standalone"));
        QCOMPARE(m.value(QStringLiteral("lang")).toString(), QStringLiteral("hu"));
        QStringList icons;
        for (const QJsonValue& v : m.value(QStringLiteral("icons")).toArray()) {
            const QJsonObject i = v.toObject();
            icons << i.value(QStringLiteral("src")).toString() + QLatin1Char(' ') + i.value(QStringLiteral("sizes")).toString() +
                         QLatin1Char(' ') + i.value(QStringLiteral("purpose")).toString();
        }
        QCOMPARE(icons, (QStringList{QStringLiteral("/static/icon-192.png 192x192 "),
                                     QStringLiteral("/static/icon-512.png 512x512 any maskable"),
                                     QStringLiteral("/static/icon.svg any any")}));
        const QByteArray csp = call("GET", QStringLiteral("/")).headers.value("content-security-policy");
        for (const char* part : {"worker-src 'self'", "manifest-src 'self'", "img-src 'self' blob: data:", "script-src 'self'"})
            QVERIFY2(csp.contains(part), part);
        QVERIFY(!csp.contains("unsafe-inline"));
    }

    void loginAndDay() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        QCOMPARE(l.answer.status, 200);
        QCOMPARE(l.cookie.size(), 64);
        QCOMPARE(l.csrf.size(), 64);
        const QByteArray set = l.answer.headers.value("set-cookie");
        QVERIFY(set.contains("HttpOnly"));
        QVERIFY(set.contains("SameSite=Strict"));
        QVERIFY(!set.contains("Secure"));   // plain loopback
        QCOMPARE(l.answer.json.value(QStringLiteral("name")).toString(), QStringLiteral("Kovács Béla"));
        QCOMPARE(l.answer.json.value(QStringLiteral("expires")).toString(), QStringLiteral("2026.05.05 12:00"));
        QCOMPARE(l.answer.headers.value("cache-control"), QByteArray("no-store"));

        const Answer day = call("GET", QStringLiteral("/api/day"), {}, l.cookie);
        QCOMPARE(day.status, 200);
        QCOMPARE(day.json.value(QStringLiteral("date")).toString(), kDay);
        // S1's visit on the plain contract is there, S2's cabin 42 is not.
        QVERIFY(!activityOf(day.json, QStringLiteral("31"), QStringLiteral("SZK")).isEmpty() ||
                !activityOf(day.json, QStringLiteral("31"), QStringLiteral("KAR")).isEmpty() ||
                day.body.contains("\"31\""));
        QVERIFY(!day.body.contains("\"42\""));
        QVERIFY(!day.json.value(QStringLiteral("reasons")).toArray().isEmpty());

        // Days the office does not allow, bad dates and unknown parameters.
        QCOMPARE(call("GET", QStringLiteral("/api/day?date=2026.05.05"), {}, l.cookie).status, 403);
        QCOMPARE(call("GET", QStringLiteral("/api/day?date=2026.13.01"), {}, l.cookie).status, 400);
        QCOMPARE(call("GET", QStringLiteral("/api/day?datum=2026.05.04"), {}, l.cookie).status, 400);
        QCOMPARE(call("GET", QStringLiteral("/api/day?date=2026.05.04"), {}, l.cookie).status, 200);
    }

    void loginRefusals() {
        struct Case {
            QByteArray body;
            QByteArray contentType;
            int status;
        };
        const std::vector<Case> cases{
            {"{\"driver\":\"S1\",\"pin\":\"9999\"}", "application/json", 401},
            {"{\"driver\":\"NINCS\",\"pin\":\"1234\"}", "application/json", 401},
            {"{\"driver\":\"S3\",\"pin\":\"1234\"}", "application/json", 401},   // inactive, no PIN
            {"{\"driver\":\"S1\",\"pin\":1234}", "application/json", 400},
            {"{\"driver\":\"S1\",\"pin\":\"1234\",\"admin\":true}", "application/json", 400},
            {"{\"driver\":\"S1\"}", "application/json", 400},
            {"{\"driver\":\"S1\",\"pin\":\"12", "application/json", 400},
            {"[\"S1\",\"1234\"]", "application/json", 400},
            {"{\"driver\":\"S1\",\"pin\":\"1234\"}", "text/plain", 415},
        };
        for (const Case& c : cases) {
            const Answer a = call("POST", QStringLiteral("/api/login"), c.body, {}, {}, c.contentType);
            QVERIFY2(a.status == c.status, c.body.constData());
            QVERIFY(!a.headers.value("set-cookie").startsWith("vlsession=") || a.status == 200);
        }
        // The unknown and the wrong answer alike.
        QCOMPARE(login(QStringLiteral("S1"), QStringLiteral("0000")).answer.json.value(QStringLiteral("error")),
                 login(QStringLiteral("NINCS"), QStringLiteral("1234")).answer.json.value(QStringLiteral("error")));
        // That was S1's second wrong PIN in a row; the fifth locks it, even against the right PIN.
        QCOMPARE(login(QStringLiteral("S1"), QStringLiteral("0001")).answer.status, 401);
        QCOMPARE(login(QStringLiteral("S1"), QStringLiteral("0002")).answer.status, 401);
        QCOMPARE(login(QStringLiteral("S1"), QStringLiteral("0003")).answer.status, 423);
        QCOMPARE(login(QStringLiteral("S1"), QStringLiteral("1234")).answer.status, 423);
        clock = clock.addSecs(16 * 60);
        QCOMPARE(login(QStringLiteral("S1"), QStringLiteral("1234")).answer.status, 200);
        QVERIFY(co.db.count(QStringLiteral("SELECT COUNT(*) FROM SOFORBELEP")) >= 6);
    }

    void sessionAndAntiForgery() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        QCOMPARE(l.answer.status, 200);
        const QByteArray marks = "[{\"id\":\"x1\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"done\",\"seen\":\"T\"}]";
        const int before = phoneLogRows();
        // Forged or missing session, missing or wrong or another session's token.
        QCOMPARE(call("GET", QStringLiteral("/api/day"), {}, QByteArray(64, 'a')).status, 401);
        QCOMPARE(call("POST", QStringLiteral("/api/marks"), marks, l.cookie).status, 403);
        QCOMPARE(call("POST", QStringLiteral("/api/marks"), marks, l.cookie, QByteArray(64, 'b')).status, 403);
        const Login other = login(QStringLiteral("S2"), QStringLiteral("567890"));
        QCOMPARE(call("POST", QStringLiteral("/api/marks"), marks, l.cookie, other.csrf).status, 403);
        // After the logout neither the cookie nor its token works any more.
        QCOMPARE(call("POST", QStringLiteral("/api/logout"), "{}", l.cookie, l.csrf).status, 200);
        QCOMPARE(call("GET", QStringLiteral("/api/day"), {}, l.cookie).status, 401);
        QCOMPARE(call("POST", QStringLiteral("/api/marks"), marks, l.cookie, l.csrf).status, 401);
        // The session of the other driver lasts until noon of the next day.
        clock = clock.addSecs(3600 * 27);   // 11:00 next day
        QCOMPARE(call("GET", QStringLiteral("/api/day"), {}, other.cookie).status, 200);
        QCOMPARE(call("GET", QStringLiteral("/api/day?date=") + kDay, {}, other.cookie).status, 403);   // not allowed now
        clock = clock.addSecs(3600);        // 12:00
        QCOMPARE(call("GET", QStringLiteral("/api/day"), {}, other.cookie).status, 401);
        QCOMPARE(phoneLogRows(), before);
    }

    void badMarkBodies() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        const int before = phoneLogRows();
        const QString ok = QStringLiteral("{\"id\":\"b1\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"done\",\"seen\":\"T\"}");
        const QList<QByteArray> bodies{
            "not json",
            "{}",
            "[]",
            ("[" + ok + ",{\"id\":\"b2\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"done\",\"seen\":\"T\",\"extra\":1}]").toUtf8(),
            "[{\"id\":\"b3\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"done\",\"seen\":7}]",
            "[{\"id\":\"b4\",\"key\":\"T.1.1.1\",\"action\":\"done\",\"seen\":\"T\"}]",
            "[{\"id\":\"b5\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"delete\",\"seen\":\"T\"}]",
            "[{\"id\":\"b6; DROP TABLE FORGTEV\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"done\",\"seen\":\"T\"}]",
            "[{\"id\":\"b7\",\"key\":\"F.1.1.2026.05.04.1\",\"action\":\"cash\",\"amount\":\"sok\",\"seen\":\"T\"}]",
            "[{\"id\":\"b8\",\"key\":\"F.1.1.2026.05.04.1\",\"action\":\"cash\",\"amount\":12.5,\"seen\":\"T\"}]",
            "[{\"id\":\"b9\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"notdone\",\"seen\":\"T\"}]",
            ("[" + ok + "," + ok + "]").toUtf8(),   // one id twice
        };
        for (const QByteArray& b : bodies) {
            const Answer a = call("POST", QStringLiteral("/api/marks"), b, l.cookie, l.csrf);
            QVERIFY2(a.status == 400, b.constData());
            QVERIFY2(!a.json.value(QStringLiteral("error")).toString().isEmpty(), b.constData());
        }
        QByteArray many = "[";
        for (int i = 0; i < 201; ++i)
            many += QStringLiteral("%1{\"id\":\"m%2\",\"key\":\"T.1.1.1.1.2026.05.04.1\",\"action\":\"done\",\"seen\":\"T\"}")
                        .arg(i ? QStringLiteral(",") : QString())
                        .arg(i)
                        .toUtf8();
        many += "]";
        QCOMPARE(call("POST", QStringLiteral("/api/marks"), many, l.cookie, l.csrf).status, 400);
        QCOMPARE(phoneLogRows(), before);
    }

    void capsAndTimeouts() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        // A body over the cap: refused by its length, before it is read.
        auto raw = [&](const QByteArray& request, bool waitClose) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, svc->port());
            [&] { QTRY_VERIFY(s.state() == QAbstractSocket::ConnectedState); }();
            s.write(request);
            QByteArray got;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 8000) {
                QTest::qWait(20);
                got += s.readAll();
                if (!waitClose && got.contains("\r\n\r\n")) break;
                if (s.state() == QAbstractSocket::UnconnectedState) break;
            }
            got += s.readAll();
            return got;
        };
        const QByteArray big(70 * 1024, 'x');
        QByteArray rq = "POST /api/marks HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nCookie: vlsession=" +
                        l.cookie + "\r\nX-CSRF-Token: " + l.csrf + "\r\nContent-Length: " +
                        QByteArray::number(big.size()) + "\r\n\r\n";
        QVERIFY(raw(rq + big, true).startsWith("HTTP/1.1 413"));
        // The same size with a lying length: refused as the bytes come.
        rq.replace("Content-Length: " + QByteArray::number(big.size()), "Content-Length: 10");
        const QByteArray lying = raw(rq + big, true);
        QVERIFY(lying.contains("413") || lying.contains(" 400 ") || lying.isEmpty());
        // Headers without end: past the header cap.
        QVERIFY(raw("GET / HTTP/1.1\r\nX-Long: " + QByteArray(20 * 1024, 'y'), true).startsWith("HTTP/1.1 413"));
        QCOMPARE(phoneLogRows(), 0 + phoneLogRows());

        // A request that stops half way is closed when it idles.
        svc.reset();
        vl::drivers::ServiceSettings s;
        s.idleSeconds = 1;
        startService(s);
        const QByteArray slow = raw("POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Length: 40\r\n\r\n{\"dri", true);
        QVERIFY2(slow.startsWith("HTTP/1.1 408"), slow.constData());
        // The request log has a line per request and is the owner's alone.
        QFile log(logDir.filePath(QStringLiteral("serve.log")));
        QVERIFY(log.exists());
        QCOMPARE(log.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY(lines.contains("POST /api/login\t200"));
        QVERIFY(!lines.contains(l.cookie));
        QVERIFY(!lines.contains(l.csrf));
        QVERIFY(!lines.contains("1234"));
    }

    void marksAndTheirRows() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        const Answer day = call("GET", QStringLiteral("/api/day"), {}, l.cookie);
        QCOMPARE(day.status, 200);
        // The plain contract's Monday visit (cabin 31) and the take-back of cabin 21.
        QJsonObject visit, takeBack;
        for (const QJsonValue& s : day.json.value(QStringLiteral("sites")).toArray())
            for (const QJsonValue& v : s.toObject().value(QStringLiteral("activities")).toArray()) {
                const QJsonObject a = v.toObject();
                if (a.value(QStringLiteral("cabin")).toString() == QStringLiteral("31")) visit = a;
                if (a.value(QStringLiteral("cabin")).toString() == QStringLiteral("21") &&
                    a.value(QStringLiteral("code")).toString() == QStringLiteral("VSZ"))
                    takeBack = a;
            }
        QVERIFY2(!visit.isEmpty(), day.body.constData());
        QVERIFY2(!takeBack.isEmpty(), day.body.constData());
        const QString visitKey = visit.value(QStringLiteral("key")).toString();
        const QString seen = visit.value(QStringLiteral("state")).toString();
        const QString reason = day.json.value(QStringLiteral("reasons")).toArray().first().toObject().value(QStringLiteral("code")).toString();
        const QString reasonName = day.json.value(QStringLiteral("reasons")).toArray().first().toObject().value(QStringLiteral("name")).toString();

        const QByteArray body =
            QJsonDocument(QJsonArray{
                              QJsonObject{{QStringLiteral("id"), QStringLiteral("v-1")},
                                          {QStringLiteral("key"), visitKey},
                                          {QStringLiteral("action"), QStringLiteral("done")},
                                          {QStringLiteral("seen"), seen}},
                              QJsonObject{{QStringLiteral("id"), QStringLiteral("t-1")},
                                          {QStringLiteral("key"), takeBack.value(QStringLiteral("key")).toString()},
                                          {QStringLiteral("action"), QStringLiteral("notdone")},
                                          {QStringLiteral("reason"), reason},
                                          {QStringLiteral("remark"), QStringLiteral("A kapu zárva")},
                                          {QStringLiteral("seen"), takeBack.value(QStringLiteral("state")).toString()}}})
                .toJson(QJsonDocument::Compact);
        const Answer a = call("POST", QStringLiteral("/api/marks"), body, l.cookie, l.csrf);
        QCOMPARE(a.status, 200);
        const QJsonArray res = a.json.value(QStringLiteral("results")).toArray();
        QCOMPARE(res.size(), 2);
        QCOMPARE(res[0].toObject().value(QStringLiteral("result")).toString(), QStringLiteral("ok"));
        QCOMPARE(res[0].toObject().value(QStringLiteral("class")).toString(), QStringLiteral("N"));
        QCOMPARE(res[1].toObject().value(QStringLiteral("result")).toString(), QStringLiteral("ok"));
        // The rows: the visit done from the phone by S1 under the service's user; the take-back still planned,
        // its remark holding the reason, the cabin still out.
        auto rs = co.db.conn->query(QStringLiteral("SELECT TEVALLAPOT, FORRAS, FORRASSOFOR FROM FORGTEV WHERE BIZONYLAT = :b"
                                                   " AND DATUM = :d AND TEVKOD <> 'VSZ'"),
                                    {{"b", co.plain}, {"d", kDay}});
        QVERIFY(rs.next());
        QCOMPARE(rs.text("FORRAS").trimmed(), QStringLiteral("telefon"));
        QCOMPARE(rs.text("FORRASSOFOR").trimmed(), QStringLiteral("S1"));
        QCOMPARE(co.head(co.plain).section(QLatin1Char('|'), 2), QStringLiteral("SZOLG"));
        auto tb = co.db.conn->query(QStringLiteral("SELECT TEVALLAPOT, KOMMENT FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM = :d"
                                                   " AND TEVKOD = 'VSZ'"),
                                    {{"b", co.last}, {"d", kDay}});
        QVERIFY(tb.next());
        QCOMPARE(tb.text("TEVALLAPOT"), takeBack.value(QStringLiteral("state")).toString());
        QVERIFY2(tb.text("KOMMENT").contains(reasonName), qPrintable(tb.text("KOMMENT")));
        QVERIFY(tb.text("KOMMENT").contains(QStringLiteral("A kapu zárva")));

        // The same request again changes nothing and says so.
        const int logRows = phoneLogRows();
        const QStringList rows = co.activities(co.plain);
        const Answer again = call("POST", QStringLiteral("/api/marks"), body, l.cookie, l.csrf);
        QCOMPARE(again.status, 200);
        QCOMPARE(again.json.value(QStringLiteral("results")).toArray()[0].toObject().value(QStringLiteral("result")).toString(),
                 QStringLiteral("repeated"));
        QCOMPARE(phoneLogRows(), logRows);
        QCOMPARE(co.activities(co.plain), rows);

        // A new mark on the state the phone saw before: the office's (here the first mark's) state wins.
        const QByteArray stale = QJsonDocument(QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("v-2")},
                                                                      {QStringLiteral("key"), visitKey},
                                                                      {QStringLiteral("action"), QStringLiteral("done")},
                                                                      {QStringLiteral("seen"), seen}}})
                                     .toJson(QJsonDocument::Compact);
        const QJsonObject r2 =
            call("POST", QStringLiteral("/api/marks"), stale, l.cookie, l.csrf).json.value(QStringLiteral("results")).toArray()[0].toObject();
        QCOMPARE(r2.value(QStringLiteral("result")).toString(), QStringLiteral("refused"));
        QVERIFY(!r2.value(QStringLiteral("text")).toString().isEmpty());
        QCOMPARE(r2.value(QStringLiteral("class")).toString(), QStringLiteral("N"));
        QCOMPARE(co.activities(co.plain), rows);

        // Another driver cannot mark S1's visit, even with its key.
        const Login s2 = login(QStringLiteral("S2"), QStringLiteral("567890"));
        QByteArray undo = stale;
        undo.replace("\"v-2\"", "\"u-1\"").replace("\"done\"", "\"undone\"");
        const QJsonObject r3 =
            call("POST", QStringLiteral("/api/marks"), undo, s2.cookie, s2.csrf).json.value(QStringLiteral("results")).toArray()[0].toObject();
        QCOMPARE(r3.value(QStringLiteral("result")).toString(), QStringLiteral("refused"));
        QCOMPARE(co.activities(co.plain), rows);

        // After noon of the next day the mark is late, whoever logs in again.
        clock = QDateTime(QDate(2026, 5, 5), QTime(12, 1));
        svc.reset();
        startService();
        const Login late = login(QStringLiteral("S1"), QStringLiteral("1234"));
        QCOMPARE(late.answer.status, 200);
        QByteArray lateUndo = stale;
        lateUndo.replace("\"v-2\"", "\"u-2\"").replace("\"done\"", "\"undone\"").replace("\"seen\":\"" + seen.toUtf8() + "\"",
                                                                                          "\"seen\":\"" + res[0].toObject().value(QStringLiteral("state")).toString().toUtf8() + "\"");
        const QJsonObject r4 = call("POST", QStringLiteral("/api/marks"), lateUndo, late.cookie, late.csrf)
                                   .json.value(QStringLiteral("results")).toArray()[0].toObject();
        QCOMPARE(r4.value(QStringLiteral("result")).toString(), QStringLiteral("refused"));
        QCOMPARE(co.activities(co.plain), rows);
    }

    // A picture's upload: the body the picture, its facts in headers.
    Answer upload(const Login& l, const QByteArray& type, const QByteArray& bytes,
                  const QList<QPair<QByteArray, QByteArray>>& headers, bool withCsrf = true) {
        QNetworkRequest rq(QUrl(base() + QStringLiteral("/api/images")));
        rq.setRawHeader("Content-Type", type);
        if (!l.cookie.isEmpty()) rq.setRawHeader("Cookie", "vlsession=" + l.cookie);
        if (withCsrf) rq.setRawHeader("X-CSRF-Token", l.csrf);
        for (const auto& h : headers) rq.setRawHeader(h.first, h.second);
        QNetworkReply* r = nam.post(rq, bytes);
        QEventLoop loop;
        connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        Answer a;
        a.status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.body = r->readAll();
        a.json = QJsonDocument::fromJson(a.body).object();
        r->deleteLater();
        return a;
    }
    static QByteArray picture(const char* format, QColor colour, int w = 120, int h = 80) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(colour);
        QByteArray out;
        QBuffer b(&out);
        b.open(QIODevice::WriteOnly);
        img.save(&b, format);
        return out;
    }
    int pictures() { return int(co.db.count(QStringLiteral("SELECT COUNT(*) FROM FORGKEP"))); }

    void picturesAndTheirLimits() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        const Answer day = call("GET", QStringLiteral("/api/day"), {}, l.cookie);
        const QJsonObject visit = activityOf(day.json, QStringLiteral("31"), QStringLiteral("KA"));
        const QJsonObject takeBack = activityOf(day.json, QStringLiteral("21"), QStringLiteral("VSZ"));
        QVERIFY2(!visit.isEmpty() && !takeBack.isEmpty(), day.body.constData());
        QCOMPARE(visit.value(QStringLiteral("signable")).toBool(), false);
        QCOMPARE(takeBack.value(QStringLiteral("signable")).toBool(), true);
        QCOMPARE(visit.value(QStringLiteral("images")).toInt(), 0);
        const QByteArray visitKey = visit.value(QStringLiteral("key")).toString().toLatin1();
        const QByteArray takeBackKey = takeBack.value(QStringLiteral("key")).toString().toLatin1();
        const QByteArray jpeg = picture("JPG", Qt::red), png = picture("PNG", Qt::blue);
        auto photo = [&](const QByteArray& key, const QByteArray& id) {
            return QList<QPair<QByteArray, QByteArray>>{
                {"X-Activity-Key", key}, {"X-Image-Kind", "photo"}, {"X-Mark-Id", id}};
        };
        auto signature = [&](const QByteArray& key, const QByteArray& id, const QByteArray& receiver) {
            return QList<QPair<QByteArray, QByteArray>>{
                {"X-Activity-Key", key}, {"X-Image-Kind", "signature"}, {"X-Mark-Id", id}, {"X-Receiver", receiver}};
        };

        // Stored once; the same upload again repeats the first answer.
        const Answer first = upload(l, "image/jpeg", jpeg, photo(visitKey, "p-1"));
        QCOMPARE(first.status, 201);
        QCOMPARE(first.json.value(QStringLiteral("result")).toString(), QStringLiteral("stored"));
        QCOMPARE(first.json.value(QStringLiteral("images")).toInt(), 1);
        const Answer again = upload(l, "image/jpeg", jpeg, photo(visitKey, "p-1"));
        QCOMPARE(again.status, 200);
        QCOMPARE(again.json.value(QStringLiteral("result")).toString(), QStringLiteral("repeated"));
        QCOMPARE(again.json.value(QStringLiteral("id")).toInteger(), first.json.value(QStringLiteral("id")).toInteger());
        QCOMPARE(pictures(), 1);
        {
            const auto rs = co.db.conn->query(QStringLiteral("SELECT FAJTA, SOFORKOD, JUZER, TIPUS, MERET, KEP, ATVEVO FROM FORGKEP"));
            QCOMPARE(rs.at(0, 0).toString(), QStringLiteral("F"));
            QCOMPARE(rs.at(0, 1).toString(), QStringLiteral("S1"));
            QCOMPARE(rs.at(0, 2).toString(), QStringLiteral("SZOLG"));
            QCOMPARE(rs.at(0, 3).toString(), QStringLiteral("image/jpeg"));
            QCOMPARE(rs.at(0, 4).toLongLong(), qint64(jpeg.size()));
            QCOMPARE(rs.at(0, 5).toByteArray(), jpeg);
            QVERIFY(rs.at(0, 6).isNull());
        }
        const QJsonObject seen = activityOf(call("GET", QStringLiteral("/api/day"), {}, l.cookie).json, QStringLiteral("31"),
                                            QStringLiteral("KA"));
        QCOMPARE(seen.value(QStringLiteral("images")).toInt(), 1);

        // The receiver's signature with a Hungarian name, URL-encoded.
        const Answer sig = upload(l, "image/png", png, signature(takeBackKey, "s-1", QUrl::toPercentEncoding(QStringLiteral("Kovács Éva"))));
        QCOMPARE(sig.status, 201);
        QCOMPARE(co.db.conn->query(QStringLiteral("SELECT ATVEVO, FAJTA FROM FORGKEP WHERE KERES = 's-1'")).at(0, 0).toString(),
                 QStringLiteral("Kovács Éva"));
        QCOMPARE(pictures(), 2);

        // Each refusal writes nothing.
        const Login s2 = login(QStringLiteral("S2"), QStringLiteral("567890"));
        struct Case {
            const char* name;
            Answer answer;
            int status;
        };
        QByteArray html("<html><script>alert(1)</script></html>");
        const std::vector<Case> cases{
            {"same id, other bytes", upload(l, "image/jpeg", picture("JPG", Qt::green), photo(visitKey, "p-1")), 409},
            {"signature on a visit", upload(l, "image/png", png, signature(visitKey, "s-2", "Nagy")), 409},
            {"signature without a receiver", upload(l, "image/png", png, QList<QPair<QByteArray, QByteArray>>{{"X-Activity-Key", takeBackKey}, {"X-Image-Kind", "signature"}, {"X-Mark-Id", "s-3"}}), 400},
            {"photo with a receiver", upload(l, "image/jpeg", jpeg, QList<QPair<QByteArray, QByteArray>>{{"X-Activity-Key", visitKey}, {"X-Image-Kind", "photo"}, {"X-Mark-Id", "p-4"}, {"X-Receiver", "Nagy"}}), 400},
            {"a receiver of control characters", upload(l, "image/png", png, signature(takeBackKey, "s-5", "Nagy%0AEva")), 400},
            {"a receiver too long", upload(l, "image/png", png, signature(takeBackKey, "s-6", QByteArray(61, 'x'))), 400},
            {"html named a jpeg", upload(l, "image/jpeg", html, photo(visitKey, "p-7")), 415},
            {"a png named a jpeg", upload(l, "image/jpeg", png, photo(visitKey, "p-8")), 415},
            {"a jpeg cut short", upload(l, "image/jpeg", jpeg.left(jpeg.size() / 2), photo(visitKey, "p-9")), 415},
            {"plain text", upload(l, "text/plain", jpeg, photo(visitKey, "p-10")), 415},
            {"no anti-forgery token", upload(l, "image/jpeg", jpeg, photo(visitKey, "p-11"), false), 403},
            {"no session", upload(Login{}, "image/jpeg", jpeg, photo(visitKey, "p-12"), false), 401},
            {"a billing row's key", upload(l, "image/jpeg", jpeg, photo("F.1.1.2026.05.04.1", "p-13")), 400},
            {"a bad id", upload(l, "image/jpeg", jpeg, photo(visitKey, "p 14")), 400},
            {"another driver's activity", upload(s2, "image/jpeg", jpeg, photo(visitKey, "p-15")), 409},
            {"no such activity", upload(l, "image/jpeg", jpeg, photo("T.99.1.1.1.2026.05.04.1", "p-16")), 409},
        };
        for (const Case& c : cases) {
            QVERIFY2(c.answer.status == c.status,
                     qPrintable(QStringLiteral("%1: %2 %3").arg(QString::fromLatin1(c.name)).arg(c.answer.status)
                                    .arg(QString::fromUtf8(c.answer.body))));
            QVERIFY2(c.answer.json.contains(QStringLiteral("text")) || c.answer.json.contains(QStringLiteral("error")),
                     c.name);
        }
        QCOMPARE(pictures(), 2);

        // Too late: after noon of the next day.
        clock = clock.addDays(1);
        clock.setTime(QTime(12, 1));
        const Login late = login(QStringLiteral("S1"), QStringLiteral("1234"));
        const Answer tooLate = upload(late, "image/jpeg", jpeg, photo(visitKey, "p-20"));
        QCOMPARE(tooLate.status, 409);
        QVERIFY2(tooLate.json.value(QStringLiteral("text")).toString().contains(QStringLiteral("lehetett elküldeni")), tooLate.body);
        QCOMPARE(pictures(), 2);
    }

    void pictureCaps() {
        vl::drivers::ServiceSettings s;
        s.imageBytes = 3000;
        s.imagesPerActivity = 2;
        svc.reset();
        startService(s);
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        const QJsonObject visit = activityOf(call("GET", QStringLiteral("/api/day"), {}, l.cookie).json, QStringLiteral("31"),
                                             QStringLiteral("KA"));
        const QByteArray key = visit.value(QStringLiteral("key")).toString().toLatin1();
        const int before = pictures();
        // Over the cap by its length: refused before it is read.
        QByteArray big = picture("PNG", Qt::white, 1200, 900);
        for (int i = 0; i < 3; ++i) big += picture("JPG", QColor(i * 40, 10, 200), 400, 300);
        QVERIFY(big.size() > 3000);
        const Answer over = upload(l, "image/png", big, {{"X-Activity-Key", key}, {"X-Image-Kind", "photo"}, {"X-Mark-Id", "c-1"}});
        QCOMPARE(over.status, 413);
        // The activity holds one already (the earlier case): one more, then no more.
        const int has = visit.value(QStringLiteral("images")).toInt();
        for (int i = has; i < 3; ++i) {
            const Answer a = upload(l, "image/jpeg", picture("JPG", QColor(10 * i, 0, 0), 20, 20),
                                    {{"X-Activity-Key", key}, {"X-Image-Kind", "photo"}, {"X-Mark-Id", "c-" + QByteArray::number(i + 2)}});
            QCOMPARE(a.status, i < 2 ? 201 : 409);
        }
        QCOMPARE(pictures(), before + (2 - has));
    }

    void dayClose() {
        const Login l = login(QStringLiteral("S1"), QStringLiteral("1234"));
        auto close = [&](const QByteArray& body, bool withCsrf = true) {
            return call("POST", QStringLiteral("/api/dayclose"), body, l.cookie, withCsrf ? l.csrf : QByteArray());
        };
        const QByteArray today = "{\"date\": \"" + kDay.toLatin1() + "\"}";
        // Refusals write nothing.
        QCOMPARE(close(today, false).status, 403);
        QCOMPARE(call("POST", QStringLiteral("/api/dayclose"), today).status, 401);
        QCOMPARE(close("{\"date\": \"2026.13.01\"}").status, 400);
        QCOMPARE(close("[]").status, 400);
        QCOMPARE(close("{\"date\": \"2020.01.01\"}").status, 403);
        QCOMPARE(co.db.count(QStringLiteral("SELECT COUNT(*) FROM SOFORNAPZAR")), 0);

        clock.setTime(QTime(16, 42));
        const Answer a = close(today);
        QVERIFY2(a.status == 200, a.body.constData());
        QCOMPARE(a.json.value(QStringLiteral("date")).toString(), kDay);
        QCOMPARE(a.json.value(QStringLiteral("closedAt")).toString(), kDay + QStringLiteral(" 16:42"));
        const QJsonObject sum = a.json.value(QStringLiteral("summary")).toObject();
        for (const char* k : {"total", "done", "notDone", "open", "received", "refused", "photos", "signatures",
                              "cashOpen", "cashOpenGross", "cashOpenGrossText"})
            QVERIFY2(sum.contains(QString::fromLatin1(k)), k);
        QCOMPARE(sum.value(QStringLiteral("total")).toInt(),
                 sum.value(QStringLiteral("done")).toInt() + sum.value(QStringLiteral("notDone")).toInt() +
                     sum.value(QStringLiteral("open")).toInt());
        QVERIFY(sum.value(QStringLiteral("total")).toInt() > 0);
        QVERIFY(a.json.value(QStringLiteral("day")).toObject().contains(QStringLiteral("sites")));
        QCOMPARE(co.db.count(QStringLiteral("SELECT COUNT(*) FROM SOFORNAPZAR")), 1);

        // Closing again keeps one row, with the later time.
        clock.setTime(QTime(17, 5));
        const Answer b = close(today);
        QCOMPARE(b.status, 200);
        QCOMPARE(b.json.value(QStringLiteral("closedAt")).toString(), kDay + QStringLiteral(" 17:05"));
        QCOMPARE(co.db.count(QStringLiteral("SELECT COUNT(*) FROM SOFORNAPZAR")), 1);
        QCOMPARE(co.db.conn->query(QStringLiteral("SELECT SOFORKOD FROM SOFORNAPZAR")).at(0, 0).toString(), QStringLiteral("S1"));
    }

    void tlsWithMadeCertificates() {
        QTemporaryDir dir;
        const QStringList lines = vl::drivers::MakeCertificates(dir.filePath(QStringLiteral("tls")));
        QVERIFY(!lines.isEmpty());
        const QString tls = dir.filePath(QStringLiteral("tls"));
        for (const char* k : {"ca.key", "server.key"})
            QCOMPARE(QFile(tls + QLatin1Char('/') + QLatin1String(k)).permissions() &
                         (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                     QFileDevice::Permissions());
        const QSslCertificate server = QSslCertificate::fromPath(tls + QStringLiteral("/server.crt")).first();
        QVERIFY(server.expiryDate() <= QDateTime::currentDateTimeUtc().addDays(826));
        QVERIFY(server.subjectAlternativeNames().values(QSsl::IpAddressEntry).contains(QStringLiteral("127.0.0.1")));
        // Making them again never overwrites a key.
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, vl::drivers::MakeCertificates(tls));

        // Another address than loopback needs them.
        svc.reset();
        {
            vl::drivers::ServiceSettings s;
            s.address = QHostAddress::AnyIPv4;
            s.port = 0;
            s.logFile = logDir.filePath(QStringLiteral("serve.log"));
            vl::drivers::DriverService open(*co.db.conn, service, s);
            QString e;
            QVERIFY(!open.start(&e));
            QVERIFY(e.contains(QStringLiteral("TLS")));
        }
        vl::drivers::ServiceSettings s;
        s.certFile = tls + QStringLiteral("/server.crt");
        s.keyFile = tls + QStringLiteral("/server.key");
        startService(s);
        QVERIFY(svc->tls());
        QSslSocket client;
        QSslConfiguration c = client.sslConfiguration();
        c.setCaCertificates(QSslCertificate::fromPath(tls + QStringLiteral("/ca.crt")));
        client.setSslConfiguration(c);
        client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), svc->port());
        QTRY_VERIFY_WITH_TIMEOUT(client.isEncrypted(), 10000);
        QVERIFY(client.sslHandshakeErrors().isEmpty());
        client.write("POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: 28\r\n\r\n"
                     "{\"driver\":\"S1\",\"pin\":\"1234\"}");
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += client.readAll()).contains("\r\n\r\n{"), 10000);
        QVERIFY2(got.startsWith("HTTP/1.1 200"), got.constData());
        QVERIFY(got.contains("; Secure"));
    }
};

QTEST_GUILESS_MAIN(TestDriverService)
#include "tst_service.moc"
