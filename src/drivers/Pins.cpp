#include "drivers/Pins.h"

#include "drivers/DriversSchema.h"
#include "db/TxScope.h"
#include "framework/Rights.h"
#include "shell/Login.h"
#include "util/Error.h"

#include <QDateTime>

namespace vl::drivers {

namespace {

const QString kStampFormat = QStringLiteral("yyyy.MM.dd hh:mm:ss");

// What SOFORBELEP.EREDMENY records of a refused login.
const QString kUnknown = QStringLiteral("ISMERETLEN");  // no such driver
const QString kInactive = QStringLiteral("INAKTIV");    // the driver is not active
const QString kNoPin = QStringLiteral("NINCSPIN");      // the driver has no PIN
const QString kWrong = QStringLiteral("HIBAS");         // a wrong PIN
const QString kLocks = QStringLiteral("ZAROLVA");       // the wrong PIN that locked
const QString kLocked = QStringLiteral("ZAROLT");       // a login during the lock

QString nowText(const QString& now) {
    return now.isEmpty() ? QDateTime::currentDateTime().toString(kStampFormat) : now;
}

QString later(const QString& stamp, int minutes) {
    const QDateTime t = QDateTime::fromString(stamp, kStampFormat);
    return (t.isValid() ? t : QDateTime::currentDateTime()).addSecs(qint64(minutes) * 60).toString(kStampFormat);
}

// A hash no PIN matches: a refusal without a hash to check costs the same as
// a wrong PIN, so the time of the answer does not tell which one it was.
const QString& dummyHash() {
    static const QString h = vl::shell::HashPassword(QStringLiteral("nem-pin-") + QString::number(QDateTime::currentMSecsSinceEpoch()));
    return h;
}

bool pinMatches(const QString& stored, const QString& pin) {
    // Only a hash counts: a PIN is never kept in clear text.
    return vl::shell::IsPasswordHash(stored.trimmed()) && vl::shell::PasswordMatches(stored.trimmed(), pin);
}

void logRefusal(vl::db::Transaction& tx, const QString& when, const QString& code, const QString& from,
                const QString& result) {
    tx.exec(QStringLiteral("INSERT INTO SOFORBELEP (MIKOR, SOFORKOD, HONNAN, EREDMENY) VALUES (:mikor, :kod, :honnan, :eredmeny)"),
            {{QStringLiteral("mikor"), when}, {QStringLiteral("kod"), code.left(20)},
             {QStringLiteral("honnan"), from.left(64)}, {QStringLiteral("eredmeny"), result}});
}

} // namespace

QString WrongLoginText() { return QStringLiteral("Hibás sofőrkód vagy PIN."); }
QString LockedLoginText() { return QStringLiteral("Túl sok hibás PIN: a belépés 15 percig tiltva."); }

QString PinRefusal(const QString& pin) {
    for (const QChar c : pin)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QStringLiteral("A PIN csak számjegyekből állhat.");
    if (pin.size() < 4 || pin.size() > 8) return QStringLiteral("A PIN 4–8 számjegyből álljon.");
    return {};
}

bool MaySetDriverPins(vl::db::Connection& conn, const vl::shell::Session& who) {
    // As TableRights decides writing the dictionary, without its message.
    const vl::framework::TableEntry e = vl::framework::ReadTableEntry(conn, QStringLiteral("SZ_SOFOR"));
    return !e.found || (vl::framework::RightsAllowFor(e.viewRights, who.rights) &&
                        vl::framework::RightsAllowFor(e.writeRights, who.rights));
}

void SetDriverPin(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& who,
                  const QString& driverCode, const QString& pin) {
    const QString code = driverCode.trimmed();
    if (!MaySetDriverPins(conn, who))
        throw vl::RuleRefusal(QStringLiteral("Önnek nincs joga a gépkocsivezetők PIN-jét beállítani."),
                              QStringLiteral("SetDriverPin"));
    if (!pin.isEmpty())
        if (const QString why = PinRefusal(pin); !why.isEmpty()) throw vl::RuleRefusal(why, QStringLiteral("SetDriverPin"));
    // The hash is made before the transaction: it takes a while.
    const QString hash = pin.isEmpty() ? QString() : vl::shell::HashPassword(pin);
    vl::db::TxScope tx(conn, outer);
    if (code.isEmpty() ||
        tx->query(QStringLiteral("SELECT 1 FROM SZ_SOFOR WHERE KOD = CAST(:kod AS VARCHAR(250))"), {{QStringLiteral("kod"), code}}).isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen gépkocsivezető: ") + code, QStringLiteral("SetDriverPin"));
    // A new PIN starts without wrong ones and without a lock; clearing leaves no row.
    tx->exec(QStringLiteral("DELETE FROM SOFORPIN WHERE SOFORKOD = :kod"), {{QStringLiteral("kod"), code}});
    if (!pin.isEmpty())
        tx->exec(QStringLiteral("INSERT INTO SOFORPIN (SOFORKOD, PINHASH, HIBAS, ZAROLVAIG, BEALLITVA, JUZER)"
                                " VALUES (:kod, :hash, 0, NULL, :mikor, :juzer)"),
                 {{QStringLiteral("kod"), code}, {QStringLiteral("hash"), hash},
                  {QStringLiteral("mikor"), QDateTime::currentDateTime().toString(kStampFormat)},
                  {QStringLiteral("juzer"), who.writer()}});
    tx.commit();
}

bool HasDriverPin(vl::db::Transaction& tx, const QString& driverCode) {
    return !tx.query(QStringLiteral("SELECT 1 FROM SOFORPIN WHERE SOFORKOD = CAST(:kod AS VARCHAR(250))"),
                     {{QStringLiteral("kod"), driverCode.trimmed()}})
                .isEmpty();
}

bool HasDriverPin(vl::db::Connection& conn, const QString& driverCode) {
    vl::db::TxScope tx(conn, nullptr, vl::db::TxMode::ReadOnly);
    return HasDriverPin(*tx, driverCode);
}

PinCheck CheckDriverPin(vl::db::Connection& conn, const QString& driverCode, const QString& pin, const QString& from,
                        const QString& now) {
    const QString when = nowText(now);
    const QString code = driverCode.trimmed();
    PinCheck wrong{PinCheck::Kind::Wrong, WrongLoginText(), {}};
    PinCheck locked{PinCheck::Kind::Locked, LockedLoginText(), {}};

    vl::db::TxScope tx(conn, nullptr);
    const vl::db::RowSet rs = code.isEmpty() || code.size() > 10
        ? vl::db::RowSet()
        : tx->query(QStringLiteral("SELECT S.NEV, S.AKTIV, P.PINHASH, P.HIBAS, P.ZAROLVAIG FROM SZ_SOFOR S"
                                   " LEFT JOIN SOFORPIN P ON P.SOFORKOD = S.KOD WHERE S.KOD = :kod"),
                    {{QStringLiteral("kod"), code}});
    auto refuse = [&](const QString& result, const PinCheck& answer) {
        logRefusal(*tx, when, driverCode.trimmed(), from, result);
        tx.commit();
        return answer;
    };
    if (rs.isEmpty() || rs.at(0, 1).toString().trimmed() != QStringLiteral("I") || rs.at(0, 2).isNull()) {
        pinMatches(dummyHash(), pin);
        return refuse(rs.isEmpty() ? kUnknown : rs.at(0, 1).toString().trimmed() != QStringLiteral("I") ? kInactive : kNoPin,
                      wrong);
    }
    const QString until = rs.at(0, 4).isNull() ? QString() : rs.at(0, 4).toString().trimmed();
    // During the lock not even the right PIN opens, and the PIN is not checked.
    if (!until.isEmpty() && when < until) return refuse(kLocked, locked);

    if (PinRefusal(pin).isEmpty() && pinMatches(rs.at(0, 2).toString(), pin)) {
        if (rs.at(0, 3).toLongLong() != 0 || !until.isEmpty())
            tx->exec(QStringLiteral("UPDATE SOFORPIN SET HIBAS = 0, ZAROLVAIG = NULL WHERE SOFORKOD = :kod"),
                     {{QStringLiteral("kod"), code}});
        tx.commit();
        return {PinCheck::Kind::Ok, QString(), rs.at(0, 0).toString().trimmed()};
    }
    // Counted in the row itself, so two wrong logins at once both count. After
    // a lock the count stays: the next wrong PIN locks again at once.
    const qint64 inRow = tx->query(QStringLiteral("UPDATE SOFORPIN SET HIBAS = COALESCE(HIBAS, 0) + 1"
                                                  " WHERE SOFORKOD = :kod RETURNING HIBAS"),
                                   {{QStringLiteral("kod"), code}})
                             .at(0, 0)
                             .toLongLong();
    if (inRow >= kPinLockAfter) {
        tx->exec(QStringLiteral("UPDATE SOFORPIN SET ZAROLVAIG = :ig WHERE SOFORKOD = :kod"),
                 {{QStringLiteral("ig"), later(when, kPinLockMinutes)}, {QStringLiteral("kod"), code}});
        return refuse(kLocks, locked);
    }
    return refuse(kWrong, wrong);
}

} // namespace vl::drivers
