#pragma once
// Login rules: the user table SZ_JUZER, its default users, the password
// hashes, the login log JUZERLOG and the last-user file. No widgets here; the
// login dialog (TPasswordFM) and the generic editor both call these.
//
// Passwords are held as libsodium crypto_pwhash_str hashes of the upper-cased
// password, so the comparison stays case-insensitive. A clear-text password
// still found in the table is accepted once and replaced by its hash.
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
};

// Looks the typed name up (case-insensitively) and checks the password.
// On success a clear-text password is replaced by its hash.
LoginCheck CheckLogin(vl::db::Connection& conn, const QString& typedName,
                      const QString& typedPassword, LoginUser* user);
// "Hibás belépési név.", "A felhasználói név nincs aktiválva.", "Hibás jelszó."
QString LoginRefusalText(LoginCheck check);

// After a successful check: sets the identity of the run, writes the JUZERLOG
// row (when the table exists), puts PENZTAR into the configuration under
// wuserpenztar and remembers the typed name in the last-user file.
void CompleteLogin(vl::db::Connection& conn, const LoginUser& user, const QString& typedName);

// WORK_PATH + "SZOT_user.ini"
QString LastUserFile();
// First line of the last-user file; a missing file is created holding "USER".
QString ReadLastUser();
// Replaces the first line of the last-user file; false when it cannot be saved.
bool WriteLastUser(const QString& name);

// Current time as "yyyy.mm.dd hh:nn:ss".
QString LoginStamp();

} // namespace vl::shell
