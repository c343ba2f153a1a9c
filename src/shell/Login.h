#pragma once
// Login rules: the user table SZ_JUZER, its default users, the password
// hashes, the login log JUZERLOG and the last-user file. No widgets here; the
// login dialog (TPasswordFM) and the generic editor both call these.
//
// Passwords are held as libsodium crypto_pwhash_str hashes of the upper-cased
// password, so the comparison stays case-insensitive. A clear-text password
// still found in the table is accepted once and replaced by its hash.
// A default user whose password is still the one it was seeded with must
// choose a new one before its login succeeds.
#include "db/Database.h"
#include <QString>
#include <QVariant>

namespace vl::shell {

// Hash of the upper-cased password (a "$argon2id$..." text).
QString HashPassword(const QString& plain);
// True when the stored text is a hash made by HashPassword.
bool IsPasswordHash(const QString& stored);
// Compares a typed password with the stored one, case-insensitively: a hash
// is verified, a clear text compared upper-cased.
bool PasswordMatches(const QString& stored, const QString& typed);

struct DefaultUser {
    QString kod, nev, jelszo, jogok, aktiv;
};
// The two users that make a fresh database enterable: TVN/TARVON, USR/USER.
QList<DefaultUser> DefaultUsers();

// True when stored (a hash or a clear text) is still the seeded default
// password of the default user with that code.
bool IsSeededDefaultPassword(const QString& code, const QString& stored);
// Why a new password typed twice cannot replace a default one, in Hungarian;
// empty when it can: not empty, both typings alike (case-insensitively), and
// none of the seeded default passwords.
QString NewPasswordProblem(const QString& first, const QString& second);

int ActiveUserCount(vl::db::Connection& conn);
// When no user is active, seeds (or reactivates) the default users in one
// transaction. Returns true when it did.
bool SeedDefaultUsersIfNone(vl::db::Connection& conn);

enum class LoginCheck { Ok, UnknownName, NotActive, WrongPassword };

struct LoginUser {
    QString code;
    QString name;
    QString rights;
    bool hasPenztar = false;
    QString penztar;
    QString storedPassword;          // JELSZO as it was read
    bool mustChangePassword = false; // still the seeded default: a new one is needed
};

// Looks the typed name up (case-insensitively) and checks the password.
// On success a clear-text password is replaced by its hash, unless it is a
// seeded default (mustChangePassword): that one CompleteLogin replaces.
LoginCheck CheckLogin(vl::db::Connection& conn, const QString& typedName,
                      const QString& typedPassword, LoginUser* user);
// "Hibás belépési név.", "A felhasználói név nincs aktiválva.", "Hibás jelszó."
QString LoginRefusalText(LoginCheck check);

// After a successful check: stores the hash of newPassword when the user must
// change a seeded default and writes the JUZERLOG row (when the table exists),
// both in one transaction; then sets the identity of the run, puts PENZTAR
// into the configuration under wuserpenztar and remembers the typed name in
// the last-user file. False (nothing written, no identity, the reason in
// problem) when a new password is needed and newPassword is not fit, or when
// the password was changed elsewhere meanwhile. Database errors are raised.
bool CompleteLogin(vl::db::Connection& conn, const LoginUser& user, const QString& typedName,
                   const QString& newPassword = QString(), QString* problem = nullptr);

// WORK_PATH + "SZOT_user.ini"
QString LastUserFile();
// First line of the last-user file; a missing file is created holding "USER".
QString ReadLastUser();
// Replaces the first line of the last-user file; false when it cannot be saved.
bool WriteLastUser(const QString& name);

// Current time as "yyyy.mm.dd hh:nn:ss".
QString LoginStamp();

} // namespace vl::shell
