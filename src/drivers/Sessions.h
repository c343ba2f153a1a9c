#pragma once
// The drivers' sessions of a running service: a random 256-bit token (the
// cookie) and a random anti-forgery token per login, valid until a set hour
// of the day after the login. Only the tokens' digests are kept, so a memory
// dump or a log never holds a usable cookie. Sessions end with the service.
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

namespace vl::drivers {

struct DriverSession {
    QString driver;       // SZ_SOFOR.KOD
    QString name;
    QByteArray csrf;      // the anti-forgery token as sent to the phone (hex)
    QDateTime expires;
};

struct NewSession {
    QByteArray token;     // the cookie's value (64 hex digits)
    DriverSession session;
};

// `hour`:00 of the day after `login`.
QDateTime SessionExpiry(const QDateTime& login, int hour);
// 64 hex digits of fresh random bytes (libsodium).
QByteArray RandomToken();
// Constant-time comparison of two tokens.
bool TokensEqual(const QByteArray& a, const QByteArray& b);

class DriverSessions {
public:
    NewSession open(const QString& driver, const QString& name, const QDateTime& now, int untilHour);
    // The live session of a cookie value; an expired one is dropped.
    std::optional<DriverSession> find(const QByteArray& token, const QDateTime& now);
    void close(const QByteArray& token);
    int size() const { return sessions_.size(); }

private:
    QHash<QByteArray, DriverSession> sessions_;   // by the token's digest
};

} // namespace vl::drivers
