#pragma once
// The drivers' service: the page and the JSON routes of docs/drivers-api.md
// over Qt's HTTP server, on the office's own database, under the service's
// own user. One request at a time in the event loop, so a request is either
// answered whole or not begun when the service stops.
//
// The sockets are guarded below the HTTP server: a request whose headers or
// body pass its route's cap is answered 413 and the connection closed before
// the server reads it, one idle too long or taking too long is closed with
// 408. Listening on an address other than loopback needs a certificate and
// key (TLS). Every answer carries the security headers; every API answer
// `Cache-Control: no-store`. One line per request goes to the request log
// (time, peer, driver, route, status), readable by its owner only.
#include "db/Database.h"
#include "drivers/Sessions.h"
#include "shell/Session.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QHttpServerRequest;
class QHttpServerResponse;
class QTcpSocket;
class QTcpServer;

namespace vl::drivers {

struct ServiceSettings {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 8470;
    QString certFile, keyFile;      // both or neither
    QString serviceUser;            // SZ_JUZER.KOD (SERVICEUSER)
    int daysBack = 0;               // DRIVERDAYSBACK
    int daysAhead = 0;              // DRIVERDAYSAHEAD
    int sessionUntilHour = 12;      // SESSIONUNTIL
    int markUntilHour = 12;         // MARKUNTIL
    QString logFile;                // SERVICELOG
    qint64 imageBytes = 2 * 1024 * 1024;   // KEPMAX: a picture's body at most
    int imagesPerActivity = 10;            // KEPDB
    int idleSeconds = 20;           // a request (or a kept-alive connection) idle this long is closed
    int requestSeconds = 30;        // a request not whole after this long is closed
};

// The settings of the configuration file in use (PKR.INI) over the defaults;
// `problem` gets why they cannot be used ("" when they can).
ServiceSettings ReadServiceSettings(QString* problem);
// "ADDR:PORT" or "[v6]:PORT"; false when it is not such.
bool ParseListen(const QString& text, QHostAddress* address, quint16* port);

// The session of the service's user: SZ_JUZER's active row of that code, its
// rights, the business year. Throws vl::RuleRefusal when there is no such
// active user or it may not change the activities.
vl::shell::Session ServiceUserSession(vl::db::Connection& conn, const QString& userCode);

// The caps of the routes: the body a route takes at most (bytes); a
// picture's is `imageBytes` (KEPMAX).
qint64 BodyCap(const QByteArray& method, const QByteArray& path, qint64 imageBytes = 2 * 1024 * 1024);
constexpr qint64 kHeaderCap = 16 * 1024;

class DriverService : public QObject {
    Q_OBJECT
public:
    DriverService(vl::db::Connection& conn, const vl::shell::Session& service, const ServiceSettings& settings,
                  QObject* parent = nullptr);
    ~DriverService() override;

    // Starts listening; false with `error` set when it cannot (address taken,
    // another address without TLS, a bad certificate or key, the log).
    bool start(QString* error);
    quint16 port() const;
    bool tls() const { return tls_; }

    // How to get a connection again after the database connection was lost
    // (the request that met it is answered 503); nullptr when it fails.
    void setReconnect(std::function<vl::db::Connection*()> reconnect) { reconnect_ = std::move(reconnect); }
    // The clock (tests move it); the local time by default.
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    QDateTime now() const { return clock_ ? clock_() : QDateTime::currentDateTime(); }

    // Answers one whole request (the HTTP server calls it).
    QHttpServerResponse answer(const QHttpServerRequest& request);
    // Logs one line of a request.
    void logLine(const QString& peer, const QString& driver, const QString& route, int status);

private:
    QHttpServerResponse login(const QHttpServerRequest& r, QString* driver);
    QHttpServerResponse day(const QHttpServerRequest& r, const DriverSession& s);
    QHttpServerResponse marks(const QHttpServerRequest& r, const DriverSession& s);
    QHttpServerResponse images(const QHttpServerRequest& r, const DriverSession& s);
    QHttpServerResponse dayClose(const QHttpServerRequest& r, const DriverSession& s);
    QHttpServerResponse logout(const QHttpServerRequest& r, const QByteArray& token);
    QHttpServerResponse page(const QByteArray& path);
    QStringList allowedDays() const;
    QString dayVersion(const QString& driver, const QString& day);

    vl::db::Connection* conn_;
    std::function<vl::db::Connection*()> reconnect_;
    vl::shell::Session service_;
    ServiceSettings settings_;
    DriverSessions sessions_;
    std::function<QDateTime()> clock_;
    std::unique_ptr<QObject> http_;
    QTcpServer* tcp_ = nullptr;
    bool tls_ = false;
    QFile log_;
};

// Makes a private certificate authority and a server certificate for this
// machine's names and addresses in `dir` with the openssl command: ca.crt,
// ca.key, server.crt, server.key (keys readable by the owner only); the
// server certificate names every name and address as subject alternative
// names, is for server authentication and valid for 825 days. Returns the
// lines to print; throws vl::RuleRefusal when openssl fails or is missing.
QStringList MakeCertificates(const QString& dir, const QStringList& extraNames = {});

} // namespace vl::drivers
