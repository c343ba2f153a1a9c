#include "drivers/Sessions.h"

#include <sodium.h>

#include <QCryptographicHash>

namespace vl::drivers {
namespace {

QByteArray digest(const QByteArray& token) { return QCryptographicHash::hash(token, QCryptographicHash::Sha256); }

} // namespace

QDateTime SessionExpiry(const QDateTime& login, int hour) {
    return QDateTime(login.date().addDays(1), QTime(qBound(0, hour, 23), 0));
}

QByteArray RandomToken() {
    static const bool ready = sodium_init() >= 0;
    Q_UNUSED(ready);
    unsigned char buf[32];
    randombytes_buf(buf, sizeof buf);
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(buf), sizeof buf).toHex();
    sodium_memzero(buf, sizeof buf);
    return hex;
}

bool TokensEqual(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size() || a.isEmpty()) return false;
    return sodium_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

NewSession DriverSessions::open(const QString& driver, const QString& name, const QDateTime& now, int untilHour) {
    NewSession n;
    n.token = RandomToken();
    n.session.driver = driver;
    n.session.name = name;
    n.session.csrf = RandomToken();
    n.session.expires = SessionExpiry(now, untilHour);
    // Old sessions are dropped as new ones come, so the table stays small.
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (it->expires <= now) it = sessions_.erase(it);
        else ++it;
    }
    sessions_.insert(digest(n.token), n.session);
    return n;
}

std::optional<DriverSession> DriverSessions::find(const QByteArray& token, const QDateTime& now) {
    if (token.size() != 64) return std::nullopt;
    const QByteArray key = digest(token);
    auto it = sessions_.find(key);
    if (it == sessions_.end()) return std::nullopt;
    if (it->expires <= now) {
        sessions_.erase(it);
        return std::nullopt;
    }
    return *it;
}

void DriverSessions::close(const QByteArray& token) { sessions_.remove(digest(token)); }

} // namespace vl::drivers
