#include "shell/Login.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "db/Catalogue.h"
#include "db/TxScope.h"
#include "util/Dates.h"

#include <QDateTime>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <sodium.h>

namespace vl::shell {

namespace {

void ensureSodium() {
    static const bool ok = [] { return sodium_init() >= 0; }();
    if (!ok) throw vl::db::DbError(QStringLiteral("A jelszókezelő könyvtár nem indítható (libsodium)."));
}

bool tableExists(vl::db::Connection& conn, const QString& table) {
    try {
        return vl::db::TableExists(conn, table);
    } catch (const vl::db::DbError&) {
        return false;
    }
}

QString readFile1250(const QString& path, bool* ok) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) { *ok = false; return {}; }
    *ok = true;
    QStringDecoder dec("windows-1250");
    const QByteArray raw = f.readAll();
    return dec.isValid() ? QString(dec.decode(raw)) : QString::fromLatin1(raw);
}

bool writeFile1250(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QStringEncoder enc("windows-1250");
    const QByteArray bytes = enc.isValid() ? QByteArray(enc.encode(text)) : text.toLatin1();
    return f.write(bytes) == bytes.size();
}

} // namespace

QString HashPassword(const QString& plain) {
    ensureSodium();
    const QByteArray pw = plain.toUpper().toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, pw.constData(), (unsigned long long)pw.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw vl::db::DbError(QStringLiteral("A jelszó titkosítása nem sikerült (kevés memória)."));
    return QString::fromLatin1(out);
}

bool IsPasswordHash(const QString& stored) {
    return stored.startsWith(QStringLiteral("$argon2"));
}

bool PasswordMatches(const QString& stored, const QString& typed) {
    if (IsPasswordHash(stored)) {
        ensureSodium();
        const QByteArray h = stored.trimmed().toLatin1();
        const QByteArray pw = typed.toUpper().toUtf8();
        if (h.size() >= crypto_pwhash_STRBYTES) return false;
        char buf[crypto_pwhash_STRBYTES] = {};
        memcpy(buf, h.constData(), size_t(h.size()));
        return crypto_pwhash_str_verify(buf, pw.constData(), (unsigned long long)pw.size()) == 0;
    }
    return stored.toUpper() == typed.toUpper();
}

QList<DefaultUser> DefaultUsers() {
    return {
        {QStringLiteral("TVN"), QStringLiteral("TARVON"), QStringLiteral("ZUMOR"), QStringLiteral("W"), QStringLiteral("I")},
        {QStringLiteral("USR"), QStringLiteral("USER"), QStringLiteral("KOVA"), QStringLiteral("W"), QStringLiteral("I")},
    };
}

bool IsSeededDefaultPassword(const QString& code, const QString& stored) {
    for (const DefaultUser& u : DefaultUsers())
        if (u.kod == code.trimmed()) return PasswordMatches(stored, u.jelszo);
    return false;
}

QString NewPasswordProblem(const QString& first, const QString& second) {
    if (first.trimmed().isEmpty()) return QStringLiteral("Az új jelszó nem lehet üres.");
    if (first.toUpper() != second.toUpper()) return QStringLiteral("A két új jelszó nem egyezik.");
    for (const DefaultUser& u : DefaultUsers())
        if (first.toUpper() == u.jelszo.toUpper())
            return QStringLiteral("Az új jelszó nem lehet a program alapértelmezett jelszava.");
    return {};
}

int ActiveUserCount(vl::db::Connection& conn) {
    auto rs = conn.query(QStringLiteral("Select Count(*) DARAB from sz_juzer where (aktiv='I')"));
    return rs.next() ? int(rs.integer(QStringLiteral("DARAB"))) : 0;
}

bool SeedDefaultUsersIfNone(vl::db::Connection& conn) {
    if (ActiveUserCount(conn) > 0) return false;
    vl::db::TxScope tx(conn, nullptr);
    for (const DefaultUser& u : DefaultUsers()) {
        const QString hash = HashPassword(u.jelszo);
        auto rs = tx->query(QStringLiteral("SELECT COUNT(*) FROM SZ_JUZER WHERE KOD = :kod"),
                            {{QStringLiteral("kod"), u.kod}});
        const bool exists = rs.next() && rs.value(0).toLongLong() > 0;
        if (exists) {
            tx->exec(QStringLiteral("UPDATE SZ_JUZER SET JELSZO = :ujjelszo, AKTIV = 'I' WHERE KOD = :kod"),
                     {{QStringLiteral("ujjelszo"), hash}, {QStringLiteral("kod"), u.kod}});
        } else {
            tx->exec(QStringLiteral("insert into SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) "
                                    "values (:KOD, :NEV, :JELSZO, :JOGOK, :AKTIV)"),
                     {{QStringLiteral("KOD"), u.kod}, {QStringLiteral("NEV"), u.nev},
                      {QStringLiteral("JELSZO"), hash}, {QStringLiteral("JOGOK"), u.jogok},
                      {QStringLiteral("AKTIV"), u.aktiv}});
        }
    }
    tx.commit();
    return true;
}

LoginCheck CheckLogin(vl::db::Connection& conn, const QString& typedName,
                      const QString& typedPassword, LoginUser* user) {
    auto rs = conn.query(QStringLiteral("Select * from sz_juzer where lower(nev) = :nev"),
                         {{QStringLiteral("nev"), typedName.toLower()}});
    if (!rs.next()) return LoginCheck::UnknownName;
    if (rs.text(QStringLiteral("AKTIV")) != QStringLiteral("I")) return LoginCheck::NotActive;
    const QString stored = rs.text(QStringLiteral("JELSZO"));
    if (!PasswordMatches(stored, typedPassword)) return LoginCheck::WrongPassword;

    LoginUser u;
    u.code = rs.text(QStringLiteral("KOD"));
    u.name = rs.text(QStringLiteral("NEV")).trimmed();
    u.rights = rs.text(QStringLiteral("JOGOK")).trimmed();
    u.hasPenztar = rs.hasColumn(QStringLiteral("PENZTAR"));
    if (u.hasPenztar) u.penztar = rs.text(QStringLiteral("PENZTAR"));
    u.storedPassword = stored;
    u.mustChangePassword = IsSeededDefaultPassword(u.code, stored);

    if (!IsPasswordHash(stored) && !u.mustChangePassword) {
        // Clear text found: accepted this once, from now on only its hash is kept.
        conn.exec(QStringLiteral("UPDATE SZ_JUZER SET JELSZO = :ujjelszo WHERE KOD = :kod AND JELSZO = :regi"),
                  {{QStringLiteral("ujjelszo"), HashPassword(typedPassword)},
                   {QStringLiteral("kod"), u.code}, {QStringLiteral("regi"), stored}});
    }
    if (user) *user = u;
    return LoginCheck::Ok;
}

QString LoginRefusalText(LoginCheck check) {
    switch (check) {
    case LoginCheck::UnknownName: return QStringLiteral("Hibás belépési név.");
    case LoginCheck::NotActive: return QStringLiteral("A felhasználói név nincs aktiválva.");
    case LoginCheck::WrongPassword: return QStringLiteral("Hibás jelszó.");
    case LoginCheck::Ok: break;
    }
    return {};
}

QString LoginStamp() {
    return vl::util::NowStamp();
}

bool CompleteLogin(vl::db::Connection& conn, const LoginUser& user, const QString& typedName,
                   const QString& newPassword, QString* problem) {
    if (user.mustChangePassword) {
        const QString why = NewPasswordProblem(newPassword, newPassword);
        if (!why.isEmpty()) {
            if (problem) *problem = why;
            return false;
        }
    }
    const QString when = LoginStamp();
    const bool log = tableExists(conn, QStringLiteral("JUZERLOG"));
    vl::db::TxScope tx(conn, nullptr);
    if (user.mustChangePassword) {
        // Guarded by the value read at the check: a change made elsewhere meanwhile wins.
        const qint64 n = tx->exec(
            QStringLiteral("UPDATE SZ_JUZER SET JELSZO = :ujjelszo WHERE KOD = :kod AND JELSZO = :regi"),
            {{QStringLiteral("ujjelszo"), HashPassword(newPassword)}, {QStringLiteral("kod"), user.code},
             {QStringLiteral("regi"), user.storedPassword}});
        if (n != 1) {
            if (problem) *problem = QStringLiteral("A jelszót közben máshol módosították. Kérem, jelentkezzen be újra.");
            return false;
        }
    }
    if (log) {
        tx->exec(QStringLiteral("Insert into juzerlog (nev,logintime)\n values (:nev,:logintime)"),
                 {{QStringLiteral("nev"), user.name}, {QStringLiteral("logintime"), when}});
    }
    tx.commit();

    Tdm& d = dm();
    d.CurrentUserName = user.name;
    d.CurrentUserRights = user.rights;
    d.CurrentUserCode = user.code;
    if (user.hasPenztar) IniWrite(QStringLiteral("wuserpenztar"), user.penztar, QString());
    WriteLastUser(typedName); // a failure to save is of no consequence
    return true;
}

QString LastUserFile() {
    return IniValue(QStringLiteral("WORK_PATH")) + QStringLiteral("SZOT_user.ini");
}

QString ReadLastUser() {
    const QString path = LastUserFile();
    if (!QFile::exists(path)) writeFile1250(path, QStringLiteral("USER\r\n"));
    bool ok = false;
    const QString text = readFile1250(path, &ok);
    if (!ok) return QStringLiteral("USER");
    QString first = text.section(QLatin1Char('\n'), 0, 0);
    if (first.endsWith(QLatin1Char('\r'))) first.chop(1);
    return first;
}

bool WriteLastUser(const QString& name) {
    const QString path = LastUserFile();
    bool ok = false;
    QString text = readFile1250(path, &ok);
    QStringList lines;
    if (ok && !text.isEmpty()) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        lines = text.split(QLatin1Char('\n'));
    }
    if (lines.isEmpty()) lines << name; else lines[0] = name;
    return writeFile1250(path, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

} // namespace vl::shell
