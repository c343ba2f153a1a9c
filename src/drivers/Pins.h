#pragma once
// The drivers' PINs: 4-8 digits, kept as argon2id hashes (libsodium, as the
// users' passwords) in a table of their own (SOFORPIN), never shown, listed
// or written to a log. Five wrong PINs in a row lock the driver for fifteen
// minutes; every refused login is logged (SOFORBELEP); setting the PIN again
// clears the lock.
#include "db/Database.h"
#include "shell/Session.h"

#include <QString>

namespace vl::drivers {

// "" when the text is a valid PIN, else the Hungarian reason.
QString PinRefusal(const QString& pin);

// The answers of a refused login (the same for every reason of a wrong one).
QString WrongLoginText();    // "Hibás sofőrkód vagy PIN."
QString LockedLoginText();   // "Túl sok hibás PIN: a belépés 15 percig tiltva."
// Wrong PINs in a row that lock, and for how long.
constexpr int kPinLockAfter = 5;
constexpr int kPinLockMinutes = 15;

// Whether the session's user may set and clear the drivers' PINs: the right
// that edits the drivers' dictionary (TABLAK of SZ_SOFOR allows writing).
bool MaySetDriverPins(vl::db::Connection& conn, const vl::shell::Session& who);

// Sets (pin not empty) or clears (empty) a driver's PIN and clears the lock.
// Throws vl::RuleRefusal for an unknown driver, an invalid PIN or a user
// without the right (MaySetDriverPins); nothing written then.
void SetDriverPin(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& who,
                  const QString& driverCode, const QString& pin);

// Whether the driver has a PIN.
bool HasDriverPin(vl::db::Transaction& tx, const QString& driverCode);
// The same in a read-only transaction of its own (the PIN dialog).
bool HasDriverPin(vl::db::Connection& conn, const QString& driverCode);

struct PinCheck {
    enum class Kind { Ok, Wrong, Locked } kind = Kind::Wrong;
    QString text;       // the answer for the phone (Hungarian); "" when ok
    QString name;       // the driver's name when ok
};
// Checks a login. An unknown or inactive driver, one without a PIN and a
// wrong PIN answer alike ("Hibás sofőrkód vagy PIN."); the fifth wrong one in
// a row locks ("Túl sok hibás PIN: a belépés 15 percig tiltva."). `now` is
// 'yyyy.MM.dd hh:mm:ss' (empty: the clock), `from` the peer's address for the log.
PinCheck CheckDriverPin(vl::db::Connection& conn, const QString& driverCode, const QString& pin,
                        const QString& from, const QString& now = QString());

} // namespace vl::drivers
