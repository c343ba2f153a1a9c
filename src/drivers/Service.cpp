#include "drivers/Service.h"

#include "drivers/DriverDay.h"
#include "drivers/Pins.h"
#include "drivers/Requests.h"
#include "framework/Rights.h"
#include "operations/PhoneDay.h"
#include "operations/PhoneMarks.h"
#include "rental/ActivityImages.h"
#include "rental/Numbering.h"
#include "shell/BusinessYear.h"
#include "shell/Ini.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/NumberFormat.h"

#include <QAbstractHttpServer>
#include <QDir>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPointer>
#include <QProcess>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>

namespace vl::drivers {
namespace {

using Status = QHttpServerResponder::StatusCode;

const char* kCsp =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; connect-src 'self'; "
    "manifest-src 'self'; worker-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

QString stamp(const QDateTime& t) { return t.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")); }

void securityHeaders(QHttpServerResponse& r) {
    r.setHeader("Content-Security-Policy", kCsp);
    r.setHeader("X-Content-Type-Options", "nosniff");
    r.setHeader("Referrer-Policy", "no-referrer");
    r.setHeader("X-Frame-Options", "DENY");
}

QHttpServerResponse json(const QJsonDocument& doc, Status status = Status::Ok) {
    QHttpServerResponse r(QByteArrayLiteral("application/json; charset=utf-8"), doc.toJson(QJsonDocument::Compact),
                          status);
    r.setHeader("Cache-Control", "no-store");
    return r;
}
QHttpServerResponse json(const QJsonObject& o, Status status = Status::Ok) { return json(QJsonDocument(o), status); }
QHttpServerResponse error(Status status, const QString& text) {
    return json(QJsonObject{{QStringLiteral("error"), text}}, status);
}

QByteArray header(const QHttpServerRequest& r, const QByteArray& name) {
    for (const auto& h : r.headers())
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) return h.second;
    return QByteArray();
}

QByteArray cookieToken(const QHttpServerRequest& r) {
    const QList<QByteArray> parts = header(r, "Cookie").split(';');
    for (const QByteArray& p : parts) {
        const QByteArray t = p.trimmed();
        if (t.startsWith("vlsession=")) return t.mid(10);
    }
    return QByteArray();
}

// The raw answer the guard writes when it closes a request itself.
QByteArray rawAnswer(int code, const char* reason, const QString& text) {
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact);
    QByteArray a = "HTTP/1.1 " + QByteArray::number(code) + ' ' + reason + "\r\n";
    a += "Content-Type: application/json; charset=utf-8\r\nCache-Control: no-store\r\n";
    a += "X-Content-Type-Options: nosniff\r\nContent-Security-Policy: ";
    a += kCsp;
    a += "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return a;
}

// Watches one connection below the HTTP server: it sees each arrival first
// (its slot is connected before the server's), counts the bytes of the
// request in progress against the route's cap, and closes a request that
// passes it or idles; the bytes of a refused request are taken from the
// socket, so the server never parses them.
class SocketGuard : public QObject {
public:
    SocketGuard(QTcpSocket* socket, DriverService* service, const ServiceSettings& s)
        : QObject(socket), socket_(socket), service_(service), idleMs_(s.idleSeconds * 1000),
          requestMs_(s.requestSeconds * 1000), imageBytes_(s.imageBytes) {
        connect(socket, &QTcpSocket::readyRead, this, &SocketGuard::arrived);
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] {
            if (inRequest_) reject(408, "Request Timeout", QStringLiteral("A kérés nem érkezett meg időben."));
            else socket_->disconnectFromHost();
        });
        whole_.setSingleShot(true);
        connect(&whole_, &QTimer::timeout, this, [this] {
            if (inRequest_) reject(408, "Request Timeout", QStringLiteral("A kérés nem érkezett meg időben."));
        });
        idle_.start(idleMs_ * 3);
    }
    // The HTTP server answered the request in progress.
    void answered() {
        inRequest_ = false;
        received_ = 0;
        whole_.stop();
        idle_.start(idleMs_ * 3);
    }
    bool rejected() const { return rejected_; }

private:
    void arrived() {
        if (rejected_) {
            socket_->readAll();
            return;
        }
        const qint64 n = socket_->bytesAvailable();
        if (!inRequest_) {
            inRequest_ = true;
            received_ = 0;
            cap_ = -1;
            whole_.start(requestMs_);
        }
        received_ += n;
        idle_.start(idleMs_);
        if (cap_ < 0) {
            const QByteArray head = socket_->peek(qMin<qint64>(n, kHeaderCap));
            const int eol = head.indexOf("\r\n");
            if (eol > 0) {
                const QList<QByteArray> line = head.left(eol).split(' ');
                if (line.size() == 3) {
                    const QByteArray path = line[1].split('?').first();
                    cap_ = BodyCap(line[0], path, imageBytes_);
                } else {
                    cap_ = 0;
                }
            }
            const int end = head.indexOf("\r\n\r\n");
            if (cap_ >= 0 && end > 0) {
                for (const QByteArray& h : head.left(end).split('\n')) {
                    const QByteArray t = h.trimmed();
                    if (t.toLower().startsWith("content-length:")) {
                        bool ok = false;
                        const qint64 len = t.mid(15).trimmed().toLongLong(&ok);
                        if (!ok || len > cap_) {
                            reject(413, "Payload Too Large", QStringLiteral("A kérés túl nagy."));
                            return;
                        }
                    }
                }
            }
        }
        const qint64 limit = kHeaderCap + qMax<qint64>(cap_, 0);
        if (received_ > limit) reject(413, "Payload Too Large", QStringLiteral("A kérés túl nagy."));
    }
    void reject(int code, const char* reason, const QString& text) {
        if (rejected_) return;
        rejected_ = true;
        socket_->readAll();
        idle_.stop();
        whole_.stop();
        service_->logLine(socket_->peerAddress().toString(), QStringLiteral("-"), QStringLiteral("(lezárt kérés)"), code);
        socket_->write(rawAnswer(code, reason, text));
        socket_->disconnectFromHost();
    }

    QTcpSocket* socket_;
    DriverService* service_;
    int idleMs_, requestMs_;
    qint64 imageBytes_;
    QTimer idle_, whole_;
    bool inRequest_ = false;
    bool rejected_ = false;
    qint64 received_ = 0;
    qint64 cap_ = -1;
};

class GuardedServer : public QTcpServer {
public:
    GuardedServer(DriverService* service, const ServiceSettings& s, std::optional<QSslConfiguration> tls,
                  QObject* parent)
        : QTcpServer(parent), service_(service), settings_(s), tls_(std::move(tls)) {}

protected:
    void incomingConnection(qintptr fd) override {
        QTcpSocket* socket = nullptr;
        if (tls_) {
            auto* ssl = new QSslSocket(this);
            if (!ssl->setSocketDescriptor(fd)) {
                delete ssl;
                return;
            }
            ssl->setSslConfiguration(*tls_);
            ssl->startServerEncryption();
            socket = ssl;
        } else {
            socket = new QTcpSocket(this);
            if (!socket->setSocketDescriptor(fd)) {
                delete socket;
                return;
            }
        }
        new SocketGuard(socket, service_, settings_);
        addPendingConnection(socket);
    }

private:
    DriverService* service_;
    ServiceSettings settings_;
    std::optional<QSslConfiguration> tls_;
};

class Http : public QAbstractHttpServer {
public:
    explicit Http(DriverService* service) : QAbstractHttpServer(service), service_(service) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        // The guard has no meta-object of its own (findChild would take any
        // child of the socket for it): found by its C++ type.
        SocketGuard* guard = nullptr;
        for (QObject* child : socket->children())
            if ((guard = dynamic_cast<SocketGuard*>(child))) break;
        if (guard && guard->rejected()) return true;
        QHttpServerResponse r = service_->answer(request);
        securityHeaders(r);
        r.write(makeResponder(request, socket));
        if (guard) guard->answered();
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

private:
    DriverService* service_;
};

int intSetting(const QString& key, int def, int lo, int hi, QString* problem) {
    const QString v = vl::shell::IniValue(key);
    if (v.trimmed().isEmpty()) return def;
    bool ok = false;
    const int n = v.trimmed().toInt(&ok);
    if (!ok || n < lo || n > hi) {
        if (problem && problem->isEmpty())
            *problem = QStringLiteral("A(z) %1 beállítás hibás (%2): %3 és %4 közötti egész szám kell.")
                           .arg(key, v.trimmed().left(20))
                           .arg(lo)
                           .arg(hi);
        return def;
    }
    return n;
}


} // namespace

bool ParseListen(const QString& text, QHostAddress* address, quint16* port) {
    const QString t = text.trimmed();
    QString host, portText;
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QStringLiteral("]:"));
        if (close < 0) return false;
        host = t.mid(1, close - 1);
        portText = t.mid(close + 2);
    } else {
        const int colon = t.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0 || t.count(QLatin1Char(':')) != 1) return false;
        host = t.left(colon);
        portText = t.mid(colon + 1);
    }
    bool ok = false;
    const int p = portText.toInt(&ok);
    if (!ok || p < 1 || p > 65535) return false;
    QHostAddress a;
    if (host == QStringLiteral("localhost")) a = QHostAddress::LocalHost;
    else if (!a.setAddress(host)) return false;
    *address = a;
    *port = quint16(p);
    return true;
}

ServiceSettings ReadServiceSettings(QString* problem) {
    ServiceSettings s;
    QString p;
    s.serviceUser = vl::shell::IniValue(QStringLiteral("SERVICEUSER")).trimmed();
    s.daysBack = intSetting(QStringLiteral("DRIVERDAYSBACK"), 0, 0, 31, &p);
    s.daysAhead = intSetting(QStringLiteral("DRIVERDAYSAHEAD"), 0, 0, 31, &p);
    s.sessionUntilHour = intSetting(QStringLiteral("SESSIONUNTIL"), 12, 0, 23, &p);
    s.markUntilHour = intSetting(QStringLiteral("MARKUNTIL"), 12, 0, 23, &p);
    {
        const vl::rental::ActivityImageLimits lim = vl::rental::ReadActivityImageLimits();
        s.imageBytes = lim.maxBytes;
        s.imagesPerActivity = lim.perActivity;
    }
    s.logFile = vl::shell::IniValue(QStringLiteral("SERVICELOG")).trimmed();
    if (s.logFile.isEmpty()) {
        const QString ini = vl::shell::IniFileName();
        s.logFile = (ini.isEmpty() ? QDir::currentPath() : QFileInfo(ini).absolutePath()) +
                    QStringLiteral("/vorlanda-serve.log");
    }
    if (s.serviceUser.isEmpty() && p.isEmpty())
        p = QStringLiteral("A szolgáltatás felhasználója nincs megadva: a PKR.INI SERVICEUSER kulcsa egy "
                           "felhasználó (SZ_JUZER) kódja legyen.");
    if (problem) *problem = p;
    return s;
}

vl::shell::Session ServiceUserSession(vl::db::Connection& conn, const QString& userCode) {
    vl::shell::Session s;
    {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        const vl::db::RowSet rs = tx->query(
            QStringLiteral("SELECT KOD, NEV, JOGOK FROM SZ_JUZER WHERE UPPER(KOD) = UPPER(:kod) AND AKTIV = 'I'"),
            {{QStringLiteral("kod"), userCode.trimmed()}});
        if (rs.isEmpty())
            throw vl::RuleRefusal(QStringLiteral("A szolgáltatás felhasználója (%1) nincs meg, vagy nem aktív.")
                                      .arg(userCode.trimmed()));
        vl::db::RowSet row = rs;
        row.next();
        s.userCode = row.text(QStringLiteral("KOD")).trimmed();
        s.userName = row.text(QStringLiteral("NEV")).trimmed();
        s.rights = row.text(QStringLiteral("JOGOK")).trimmed();
        s.businessYear = vl::shell::ReadBusinessYear(*tx).year;
    }
    for (const char* t : {"FORGTEV", "FORGFIZ"})
        if (vl::framework::TableRightsFor(conn, QString::fromLatin1(t), s.rights) != vl::framework::TableAccess::Full)
            throw vl::RuleRefusal(
                QStringLiteral("A szolgáltatás felhasználójának (%1) nincs joga a tevékenységek módosításához.")
                    .arg(s.userCode));
    return s;
}

qint64 BodyCap(const QByteArray& method, const QByteArray& path, qint64 imageBytes) {
    if (method != "POST") return 0;
    if (path == "/api/marks") return 64 * 1024;
    if (path == "/api/images") return imageBytes;
    if (path == "/api/login") return 4 * 1024;
    return 1024;
}

DriverService::DriverService(vl::db::Connection& conn, const vl::shell::Session& service,
                             const ServiceSettings& settings, QObject* parent)
    : QObject(parent), conn_(&conn), service_(service), settings_(settings) {}

DriverService::~DriverService() = default;

bool DriverService::start(QString* error) {
    auto fail = [error](const QString& e) {
        if (error) *error = e;
        return false;
    };
    const bool wantTls = !settings_.certFile.isEmpty() || !settings_.keyFile.isEmpty();
    if (wantTls && (settings_.certFile.isEmpty() || settings_.keyFile.isEmpty()))
        return fail(QStringLiteral("A tanúsítvány (--cert) és a kulcs (--key) csak együtt adható meg."));
    if (!wantTls && !settings_.address.isLoopback())
        return fail(QStringLiteral("Más címen, mint a helyi gép (%1), csak titkosítva (TLS) lehet figyelni: adja meg a "
                                   "--cert és --key fájlokat (ilyet a serve --make-cert MAPPA készít).")
                        .arg(settings_.address.toString()));
    std::optional<QSslConfiguration> tlsConf;
    if (wantTls) {
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(settings_.certFile, QSsl::Pem);
        if (chain.isEmpty() || chain.first().isNull())
            return fail(QStringLiteral("A tanúsítvány nem olvasható: ") + settings_.certFile);
        QFile kf(settings_.keyFile);
        if (!kf.open(QIODevice::ReadOnly)) return fail(QStringLiteral("A kulcs nem olvasható: ") + settings_.keyFile);
        const QByteArray pem = kf.readAll();
        QSslKey key(pem, QSsl::Rsa, QSsl::Pem);
        if (key.isNull()) key = QSslKey(pem, QSsl::Ec, QSsl::Pem);
        if (key.isNull()) return fail(QStringLiteral("A kulcs nem olvasható: ") + settings_.keyFile);
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setLocalCertificateChain(chain);
        c.setPrivateKey(key);
        c.setPeerVerifyMode(QSslSocket::VerifyNone);
        c.setProtocol(QSsl::TlsV1_2OrLater);
        tlsConf = c;
        tls_ = true;
    }
    log_.setFileName(settings_.logFile);
    if (!log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return fail(QStringLiteral("A kérésnapló nem írható: ") + settings_.logFile);
    log_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    auto* tcp = new GuardedServer(this, settings_, tlsConf, nullptr);
    if (!tcp->listen(settings_.address, settings_.port)) {
        const QString e = tcp->errorString();
        delete tcp;
        return fail(QStringLiteral("Nem lehet figyelni a(z) %1:%2 címen: %3")
                        .arg(settings_.address.toString())
                        .arg(settings_.port)
                        .arg(e));
    }
    auto* http = new Http(this);
    http->bind(tcp);
    tcp_ = tcp;
    http_.reset(http);
    return true;
}

quint16 DriverService::port() const { return tcp_ ? tcp_->serverPort() : 0; }

void DriverService::logLine(const QString& peer, const QString& driver, const QString& route, int status) {
    if (!log_.isOpen()) return;
    const QString line = QStringList{stamp(now()), peer, driver.isEmpty() ? QStringLiteral("-") : driver, route,
                                     QString::number(status)}
                             .join(QLatin1Char('\t')) +
                         QLatin1Char('\n');
    log_.write(line.toUtf8());
    log_.flush();
}

QStringList DriverService::allowedDays() const {
    const QDate today = now().date();
    QStringList days;
    for (int i = -settings_.daysBack; i <= settings_.daysAhead; ++i)
        days << today.addDays(i).toString(QStringLiteral("yyyy.MM.dd"));
    return days;
}

QHttpServerResponse DriverService::answer(const QHttpServerRequest& r) {
    const QByteArray path = r.url().path(QUrl::FullyEncoded).toUtf8();
    const bool post = r.method() == QHttpServerRequest::Method::Post;
    const bool get = r.method() == QHttpServerRequest::Method::Get;
    QString driver;
    const QString route = QString::fromLatin1(post ? "POST " : get ? "GET " : "? ") + QString::fromUtf8(path.left(80));
    auto done = [&](QHttpServerResponse resp) {
        logLine(r.remoteAddress().toString(), driver, route, int(resp.statusCode()));
        return resp;
    };
    try {
        if (!path.startsWith("/api/")) {
            if (!get) return done(error(Status::MethodNotAllowed, QStringLiteral("Ez a kérés itt nem értelmezhető.")));
            return done(page(path));
        }
        static const QList<QByteArray> postRoutes{"/api/login", "/api/marks", "/api/logout", "/api/images",
                                                  "/api/dayclose"};
        const bool known = postRoutes.contains(path) || path == "/api/day";
        if (!known) return done(error(Status::NotFound, QStringLiteral("Nincs ilyen cím.")));
        if ((path == "/api/day" && !get) || (path != "/api/day" && !post))
            return done(error(Status::MethodNotAllowed, QStringLiteral("Ez a cím ezzel a módszerrel nem kérhető.")));
        // A page of another site may not send to the service.
        const QByteArray origin = header(r, "Origin");
        if (!origin.isEmpty()) {
            const QByteArray host = header(r, "Host");
            const QUrl o(QString::fromUtf8(origin));
            const QString expected = o.host() + (o.port() > 0 ? QStringLiteral(":%1").arg(o.port()) : QString());
            if (expected != QString::fromUtf8(host))
                return done(error(Status::Forbidden, QStringLiteral("Más oldalról érkező kérés nem fogadható.")));
        }
        // A picture's body is the picture itself; its type is judged with its bytes.
        if (post && path != "/api/images" && !header(r, "Content-Type").toLower().startsWith("application/json"))
            return done(error(Status::UnsupportedMediaType, QStringLiteral("A kérés tartalma JSON kell legyen.")));
        if (path == "/api/login") return done(login(r, &driver));

        const QByteArray token = cookieToken(r);
        const std::optional<DriverSession> s = sessions_.find(token, now());
        if (!s)
            return done(error(Status::Unauthorized, QStringLiteral("A munkamenet lejárt, kérem, lépjen be újra.")));
        driver = s->driver;
        if (post && !TokensEqual(header(r, "X-CSRF-Token"), s->csrf))
            return done(error(Status::Forbidden, QStringLiteral("Hiányzó vagy hibás biztonsági kód (X-CSRF-Token): "
                                                                "kérem, töltse újra az oldalt.")));
        if (path == "/api/day") return done(day(r, *s));
        if (path == "/api/marks") return done(marks(r, *s));
        if (path == "/api/images") return done(images(r, *s));
        if (path == "/api/dayclose") return done(dayClose(r, *s));
        return done(logout(r, token));
    } catch (const vl::db::DbError& e) {
        if (e.isConnectionLost() && reconnect_) {
            if (vl::db::Connection* again = reconnect_()) conn_ = again;
        }
        return done(error(Status::ServiceUnavailable,
                          QStringLiteral("Az adatbázis most nem érhető el, kérem, próbálja újra később.")));
    } catch (const vl::Error& e) {
        return done(error(Status::BadRequest, e.text()));
    }
}

QHttpServerResponse DriverService::page(const QByteArray& path) {
    struct Asset {
        const char* path;
        const char* resource;
        const char* mime;
    };
    static const Asset assets[] = {
        {"/", ":/drivers/pages/index.html", "text/html; charset=utf-8"},
        {"/index.html", ":/drivers/pages/index.html", "text/html; charset=utf-8"},
        {"/static/app.js", ":/drivers/pages/app.js", "text/javascript; charset=utf-8"},
        {"/static/app.css", ":/drivers/pages/app.css", "text/css; charset=utf-8"},
        {"/static/icon.svg", ":/drivers/pages/icon.svg", "image/svg+xml"},
        {"/static/icon-192.png", ":/drivers/pages/icon-192.png", "image/png"},
        {"/static/icon-512.png", ":/drivers/pages/icon-512.png", "image/png"},
        {"/manifest.webmanifest", ":/drivers/pages/manifest.webmanifest", "application/manifest+json"},
        {"/sw.js", ":/drivers/pages/sw.js", "text/javascript; charset=utf-8"},
    };
    for (const Asset& a : assets) {
        if (path != a.path) continue;
        QFile f(QString::fromLatin1(a.resource));
        if (!f.open(QIODevice::ReadOnly)) break;
        QHttpServerResponse r(QByteArray(a.mime), f.readAll());
        r.setHeader("Cache-Control", "no-cache");
        return r;
    }
    QHttpServerResponse r(QByteArrayLiteral("text/plain; charset=utf-8"), QStringLiteral("Nincs ilyen oldal.").toUtf8(),
                          Status::NotFound);
    return r;
}

QHttpServerResponse DriverService::login(const QHttpServerRequest& r, QString* driver) {
    LoginRequest in;
    if (const QString e = ReadLoginRequest(r.body(), &in); !e.isEmpty()) return error(Status::BadRequest, e);
    *driver = in.driver.left(10);
    const PinCheck c = CheckDriverPin(*conn_, in.driver, in.pin, r.remoteAddress().toString(), stamp(now()));
    if (c.kind == PinCheck::Kind::Locked) return error(Status::Locked, c.text);
    if (c.kind != PinCheck::Kind::Ok) return error(Status::Unauthorized, c.text);
    QString code;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        const vl::db::RowSet rs = tx->query(QStringLiteral("SELECT KOD FROM SZ_SOFOR WHERE UPPER(KOD) = UPPER(:kod)"),
                                            {{QStringLiteral("kod"), in.driver}});
        vl::db::RowSet row = rs;
        code = row.next() ? row.text(QStringLiteral("KOD")).trimmed() : in.driver;
    }
    *driver = code;
    const NewSession n = sessions_.open(code, c.name, now(), settings_.sessionUntilHour);
    QJsonObject o{{QStringLiteral("csrf"), QString::fromLatin1(n.session.csrf)},
                  {QStringLiteral("driver"), code},
                  {QStringLiteral("name"), c.name},
                  {QStringLiteral("days"), QJsonArray::fromStringList(allowedDays())},
                  {QStringLiteral("expires"), n.session.expires.toString(QStringLiteral("yyyy.MM.dd hh:mm"))}};
    QHttpServerResponse resp = json(o);
    const qint64 maxAge = qMax<qint64>(1, now().secsTo(n.session.expires));
    QByteArray cookie = "vlsession=" + n.token + "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" +
                        QByteArray::number(maxAge);
    if (tls_) cookie += "; Secure";
    resp.setHeader("Set-Cookie", cookie);
    return resp;
}

QHttpServerResponse DriverService::day(const QHttpServerRequest& r, const DriverSession& s) {
    const QUrlQuery q = r.query();
    for (const auto& item : q.queryItems())
        if (item.first != QStringLiteral("date"))
            return error(Status::BadRequest, QStringLiteral("Ismeretlen paraméter: ") + item.first.left(40));
    QString date = q.queryItemValue(QStringLiteral("date"), QUrl::FullyDecoded);
    const QStringList days = allowedDays();
    if (date.isEmpty()) date = days.at(settings_.daysBack);
    const QDate d = QDate::fromString(date, QStringLiteral("yyyy.MM.dd"));
    if (!d.isValid() || date.size() != 10)
        return error(Status::BadRequest, QStringLiteral("Hibás dátum (éééé.hh.nn kell): ") + date.left(20));
    if (!days.contains(date))
        return error(Status::Forbidden, QStringLiteral("Ezt a napot (%1) az iroda nem engedi megnézni.").arg(date));
    QJsonObject o = DriverDayAnswer(*conn_, s.driver, date, days);
    if (o.value(QStringLiteral("name")).toString().isEmpty()) o.insert(QStringLiteral("name"), s.name);
    return json(o);
}

QHttpServerResponse DriverService::marks(const QHttpServerRequest& r, const DriverSession& s) {
    QList<vl::operations::PhoneMark> marks;
    if (const QString e = ReadMarksRequest(r.body(), s.driver, &marks); !e.isEmpty())
        return error(Status::BadRequest, e);
    vl::operations::PhoneMarkRules rules;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        rules.vatFactor = vl::rental::Td::DefaultVatFactor(*tx);
    }
    rules.markUntilHour = settings_.markUntilHour;
    rules.now = stamp(now());
    QJsonArray results;
    for (const vl::operations::PhoneMark& m : marks) {
        using K = vl::operations::PhoneMarkResult::Kind;
        vl::operations::PhoneMarkResult res;
        try {
            res = vl::operations::ApplyPhoneMark(*conn_, service_, m, rules);
        } catch (const vl::db::DbError&) {
            throw;
        } catch (const vl::Error& e) {
            res.requestId = m.requestId;
            res.kind = K::Refused;
            res.text = e.text();
        }
        results.append(QJsonObject{
            {QStringLiteral("id"), m.requestId},
            {QStringLiteral("result"), res.kind == K::Ok         ? QStringLiteral("ok")
                                       : res.kind == K::Repeated ? QStringLiteral("repeated")
                                                                 : QStringLiteral("refused")},
            {QStringLiteral("text"), res.text},
            {QStringLiteral("state"), res.state},
            {QStringLiteral("stateName"), res.stateName},
            {QStringLiteral("class"), res.stateClass}});
    }
    return json(QJsonObject{{QStringLiteral("results"), results}});
}

QHttpServerResponse DriverService::images(const QHttpServerRequest& r, const DriverSession& s) {
    const QString type = QString::fromLatin1(header(r, "Content-Type")).split(QLatin1Char(';')).first().trimmed().toLower();
    if (type != QStringLiteral("image/jpeg") && type != QStringLiteral("image/png"))
        return error(Status::UnsupportedMediaType, QStringLiteral("Csak JPEG vagy PNG kép küldhető."));
    vl::operations::PhoneImage img;
    img.driverCode = s.driver;
    img.requestId = QString::fromLatin1(header(r, "X-Mark-Id"));
    if (!vl::operations::ValidRequestId(img.requestId))
        return error(Status::BadRequest, QStringLiteral("Hiányzó vagy hibás X-Mark-Id (1–64 betű, szám, _ vagy -)."));
    bool valid = false;
    img.key = vl::operations::PhoneKey::parse(QString::fromLatin1(header(r, "X-Activity-Key")), &valid);
    if (!valid || img.key.payment)
        return error(Status::BadRequest, QStringLiteral("Hiányzó vagy hibás X-Activity-Key: egy tevékenység kulcsa kell."));
    const QByteArray kind = header(r, "X-Image-Kind");
    if (kind != "photo" && kind != "signature")
        return error(Status::BadRequest, QStringLiteral("Az X-Image-Kind „photo” vagy „signature” lehet."));
    img.signature = kind == "signature";
    const QByteArray rawReceiver = header(r, "X-Receiver");
    const QByteArray decoded = QByteArray::fromPercentEncoding(rawReceiver);
    const QString receiver = QString::fromUtf8(decoded).trimmed();
    bool control = false;
    for (const QChar c : receiver) control = control || c.category() == QChar::Other_Control;
    if (receiver.toUtf8() != decoded.trimmed() || control || receiver.size() > 60)
        return error(Status::BadRequest, QStringLiteral("Az átvevő neve (X-Receiver) hibás: legfeljebb 60 karakter, "
                                                        "URL-kódolt UTF-8."));
    if (img.signature && receiver.isEmpty())
        return error(Status::BadRequest, QStringLiteral("Az aláíráshoz meg kell adni az átvevő nevét (X-Receiver)."));
    if (!img.signature && !rawReceiver.isEmpty())
        return error(Status::BadRequest, QStringLiteral("Fényképhez nem tartozik átvevő (X-Receiver)."));
    img.receiver = receiver;
    vl::rental::ActivityImageLimits limits;
    limits.maxBytes = settings_.imageBytes;
    limits.perActivity = settings_.imagesPerActivity;
    const vl::rental::ImageCheck check = vl::rental::CheckImageBytes(r.body(), type, limits);
    if (!check.ok) {
        const bool tooBig = r.body().size() > limits.maxBytes;
        return error(tooBig ? Status::PayloadTooLarge : Status::UnsupportedMediaType, check.text);
    }
    img.mime = check.mime;
    img.bytes = r.body();
    img.width = check.width;
    img.height = check.height;
    vl::operations::PhoneMarkRules rules;
    rules.markUntilHour = settings_.markUntilHour;
    rules.now = stamp(now());
    const vl::operations::PhoneImageResult res = vl::operations::ApplyPhoneImage(*conn_, service_, img, rules, limits);
    using K = vl::operations::PhoneImageResult::Kind;
    if (res.kind == K::Refused)
        return json(QJsonObject{{QStringLiteral("result"), QStringLiteral("refused")}, {QStringLiteral("text"), res.text}},
                    Status::Conflict);
    return json(QJsonObject{{QStringLiteral("result"), res.kind == K::Stored ? QStringLiteral("stored")
                                                                             : QStringLiteral("repeated")},
                            {QStringLiteral("id"), res.id},
                            {QStringLiteral("images"), res.count}},
                res.kind == K::Stored ? Status::Created : Status::Ok);
}

QHttpServerResponse DriverService::dayClose(const QHttpServerRequest& r, const DriverSession& s) {
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(r.body(), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject() || !doc.object().value(QStringLiteral("date")).isString())
        return error(Status::BadRequest, QStringLiteral("A kérés törzse {\"date\": \"éééé.hh.nn\"} kell legyen."));
    const QString date = doc.object().value(QStringLiteral("date")).toString();
    const QDate d = QDate::fromString(date, QStringLiteral("yyyy.MM.dd"));
    if (!d.isValid() || date.size() != 10)
        return error(Status::BadRequest, QStringLiteral("Hibás dátum (éééé.hh.nn kell): ") + date.left(20));
    const QStringList days = allowedDays();
    if (!days.contains(date))
        return error(Status::Forbidden, QStringLiteral("Ezt a napot (%1) az iroda nem engedi lezárni.").arg(date));
    vl::operations::ClosePhoneDay(*conn_, service_, s.driver, date, stamp(now()));
    vl::operations::PhoneDaySummary sum;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        sum = vl::operations::ReadPhoneDaySummary(*tx, s.driver, date, vl::rental::Td::DefaultVatFactor(*tx));
    }
    QJsonObject dayObj = DriverDayAnswer(*conn_, s.driver, date, days);
    if (dayObj.value(QStringLiteral("name")).toString().isEmpty()) dayObj.insert(QStringLiteral("name"), s.name);
    const QJsonObject summary{{QStringLiteral("total"), sum.total},
                              {QStringLiteral("done"), sum.done},
                              {QStringLiteral("notDone"), sum.notDone},
                              {QStringLiteral("open"), sum.open},
                              {QStringLiteral("received"), sum.received},
                              {QStringLiteral("refused"), sum.refused},
                              {QStringLiteral("photos"), sum.photos},
                              {QStringLiteral("signatures"), sum.signatures},
                              {QStringLiteral("cashOpen"), sum.cashOpen},
                              {QStringLiteral("cashOpenGross"), double(sum.cashOpenGross)},
                              {QStringLiteral("cashOpenGrossText"), vl::util::FormatAmount(double(sum.cashOpenGross))}};
    return json(QJsonObject{{QStringLiteral("date"), date},
                            {QStringLiteral("closedAt"), sum.closedAt},
                            {QStringLiteral("summary"), summary},
                            {QStringLiteral("day"), dayObj}});
}

QHttpServerResponse DriverService::logout(const QHttpServerRequest&, const QByteArray& token) {
    sessions_.close(token);
    QHttpServerResponse resp = json(QJsonObject{});
    QByteArray cookie = "vlsession=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0";
    if (tls_) cookie += "; Secure";
    resp.setHeader("Set-Cookie", cookie);
    return resp;
}

QStringList MakeCertificates(const QString& dirPath, const QStringList& extraNames) {
    QDir dir(dirPath);
    if (!dir.exists() && !QDir().mkpath(dirPath))
        throw vl::RuleRefusal(QStringLiteral("A mappa nem hozható létre: ") + dirPath);
    for (const char* f : {"ca.key", "server.key"})
        if (dir.exists(QString::fromLatin1(f)))
            throw vl::RuleRefusal(QStringLiteral("A mappában már van %1: egy meglévő kulcsot nem írok felül.")
                                      .arg(QString::fromLatin1(f)));
    QStringList names{QStringLiteral("localhost")};
    const QString host = QHostInfo::localHostName();
    if (!host.isEmpty()) names << host;
    const QString domain = QHostInfo::localDomainName();
    if (!host.isEmpty() && !domain.isEmpty()) names << host + QLatin1Char('.') + domain;
    for (const QString& n : extraNames)
        if (!n.trimmed().isEmpty()) names << n.trimmed();
    QStringList addresses;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() != QAbstractSocket::IPv4Protocol && a.protocol() != QAbstractSocket::IPv6Protocol) continue;
        if (a.protocol() == QAbstractSocket::IPv6Protocol && a.isLinkLocal()) continue;
        addresses << QHostAddress(a.toString().split(QLatin1Char('%')).first()).toString();
    }
    if (!addresses.contains(QStringLiteral("127.0.0.1"))) addresses << QStringLiteral("127.0.0.1");
    names.removeDuplicates();
    addresses.removeDuplicates();
    QStringList san;
    for (const QString& n : names) {
        QHostAddress probe;
        if (probe.setAddress(n)) addresses << n;
        else san << QStringLiteral("DNS:") + n;
    }
    addresses.removeDuplicates();
    for (const QString& a : addresses) san << QStringLiteral("IP:") + a;

    QTemporaryDir work;
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForStarted(10000))
            throw vl::RuleRefusal(QStringLiteral("Az openssl parancs nem indítható (telepítse a Debian openssl csomagját)."));
        p.waitForFinished(60000);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            throw vl::RuleRefusal(QStringLiteral("Az openssl hibát jelzett: ") +
                                  QString::fromLocal8Bit(p.readAll()).trimmed().left(400));
    };
    const QString ext = work.filePath(QStringLiteral("server.ext"));
    {
        QFile f(ext);
        if (!f.open(QIODevice::WriteOnly)) throw vl::RuleRefusal(QStringLiteral("Átmeneti fájl nem írható."));
        f.write(QStringLiteral("basicConstraints=critical,CA:FALSE\n"
                               "keyUsage=critical,digitalSignature,keyEncipherment\n"
                               "extendedKeyUsage=serverAuth\n"
                               "subjectAltName=%1\n")
                    .arg(san.join(QLatin1Char(',')))
                    .toUtf8());
    }
    const QString caKey = dir.filePath(QStringLiteral("ca.key")), caCrt = dir.filePath(QStringLiteral("ca.crt"));
    const QString key = dir.filePath(QStringLiteral("server.key")), crt = dir.filePath(QStringLiteral("server.crt"));
    const QString csr = work.filePath(QStringLiteral("server.csr"));
    run({QStringLiteral("genrsa"), QStringLiteral("-out"), caKey, QStringLiteral("3072")});
    QFile::setPermissions(caKey, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-new"), QStringLiteral("-key"), caKey,
         QStringLiteral("-sha256"), QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"),
         QStringLiteral("/O=Vorlanda/CN=Vorlanda iroda saját hitelesítője"), QStringLiteral("-utf8"),
         QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE,pathlen:0"),
         QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign"), QStringLiteral("-out"),
         caCrt});
    run({QStringLiteral("genrsa"), QStringLiteral("-out"), key, QStringLiteral("2048")});
    QFile::setPermissions(key, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    run({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-key"), key, QStringLiteral("-subj"),
         QStringLiteral("/O=Vorlanda/CN=") + (host.isEmpty() ? QStringLiteral("localhost") : host), QStringLiteral("-out"),
         csr});
    run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr, QStringLiteral("-CA"), caCrt,
         QStringLiteral("-CAkey"), caKey, QStringLiteral("-CAcreateserial"), QStringLiteral("-CAserial"),
         work.filePath(QStringLiteral("ca.srl")), QStringLiteral("-sha256"), QStringLiteral("-days"),
         QStringLiteral("825"), QStringLiteral("-extfile"), ext, QStringLiteral("-out"), crt});
    return {QStringLiteral("Elkészült: %1 (a hitelesítő: ezt kell a telefonokra telepíteni)").arg(caCrt),
            QStringLiteral("Elkészült: %1 és %2 (a szolgáltatás tanúsítványa és kulcsa, 825 napig érvényes)").arg(crt, key),
            QStringLiteral("Nevek és címek: ") + san.join(QStringLiteral(", ")),
            QStringLiteral("A %1 kulcsot tartsa titokban: aki birtokolja, bármely címre hiteles tanúsítványt készíthet.")
                .arg(caKey)};
}

} // namespace vl::drivers
