#include "customers/CustomerStore.h"

#include "db/WriteConflict.h"

#include "util/Error.h"

namespace vl::customers {

using vl::db::DbError;
using vl::db::Params;
using vl::db::Transaction;

namespace {

QVariant textOrNull(const QString& s) { return s.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(s); }

Params customerParams(const Customer& c) {
    return {{QStringLiteral("nev"), textOrNull(c.nev)},
            {QStringLiteral("nev2"), textOrNull(c.nev2)},
            {QStringLiteral("orszag"), QStringLiteral("Magyarország")},
            {QStringLiteral("irszam"), textOrNull(c.irszam)},
            {QStringLiteral("varos"), textOrNull(c.varos)},
            {QStringLiteral("utca"), textOrNull(c.utca)},
            {QStringLiteral("telefon"), textOrNull(c.telefon)},
            {QStringLiteral("mobiltel"), textOrNull(c.mobiltel)},
            {QStringLiteral("email"), textOrNull(c.email)},
            {QStringLiteral("www"), QString(QLatin1String(""))},
            {QStringLiteral("adoszam"), textOrNull(c.adoszam)},
            {QStringLiteral("fizmod"), textOrNull(c.fizmod)},
            {QStringLiteral("fizhatido"), 0},
            {QStringLiteral("vevo"), QStringLiteral("I")},
            {QStringLiteral("szallito"), QStringLiteral("N")},
            {QStringLiteral("aktiv"), textOrNull(c.aktiv)},
            {QStringLiteral("kommentalt"), textOrNull(c.kommentalt)},
            {QStringLiteral("kommentspec"), textOrNull(c.kommentspec)},
            {QStringLiteral("lirszam"), textOrNull(c.lirszam)},
            {QStringLiteral("lvaros"), textOrNull(c.lvaros)},
            {QStringLiteral("lutca"), textOrNull(c.lutca)},
            {QStringLiteral("eszamla"), textOrNull(c.eszamla)}};
}

const char* const kCustomerCols =
    "NEV, NEV2, ORSZAG, IRSZAM, VAROS, UTCA, TELEFON, MOBILTEL, EMAIL, WWW, ADOSZAM, FIZMOD, "
    "FIZHATIDO, VEVO, SZALLITO, AKTIV, KOMMENTALT, KOMMENTSPEC, LIRSZAM, LVAROS, LUTCA, ESZAMLA";
const char* const kCustomerVals =
    ":nev, :nev2, :orszag, :irszam, :varos, :utca, :telefon, :mobiltel, :email, :www, :adoszam, :fizmod, "
    ":fizhatido, :vevo, :szallito, :aktiv, :kommentalt, :kommentspec, :lirszam, :lvaros, :lutca, :eszamla";

Params siteParams(const Site& s) {
    return {{QStringLiteral("ugyfelkod"), textOrNull(s.ugyfelkod)},
            {QStringLiteral("nev"), textOrNull(s.nev)},
            {QStringLiteral("irszam"), textOrNull(s.irszam)},
            {QStringLiteral("varos"), textOrNull(s.varos)},
            {QStringLiteral("utca"), textOrNull(s.utca)},
            {QStringLiteral("szemely"), textOrNull(s.szemely)},
            {QStringLiteral("telefon"), textOrNull(s.telefon)},
            {QStringLiteral("komment"), textOrNull(s.komment)},
            {QStringLiteral("wekomment"), textOrNull(s.wekomment)}};
}

QString returnedKey(const vl::db::RowSet& rs) {
    if (rs.isEmpty() || rs.at(0, 0).isNull())
        throw DbError(QStringLiteral("Az adatbázis nem adott kulcsot az új sornak."));
    return rs.at(0, 0).toString().trimmed();
}

// A rewrite of one row: guarded by the version it was read with, when given.
// A miss of an existing row, or a lock held by another workstation's write,
// is the changed-elsewhere refusal; the version written comes back.
qint64 rewrite(Transaction& tx, QString sql, Params p, const char* table, const QString& key, qint64 version,
               const QString& missing) {
    if (version >= 0) {
        sql += QStringLiteral(" AND VALTOZAT = :valtozat");
        p.push_back({QStringLiteral("valtozat"), version});
    }
    const QString rule = QStringLiteral("CustomerStore");
    vl::db::refusingWriteConflict(CustomerStore::ChangedElsewhereText(), rule, [&] {
        if (tx.exec(sql, p) == 0) {
            const auto rs = tx.query(QStringLiteral("SELECT 1 FROM %1 WHERE KOD = :kod").arg(QLatin1String(table)),
                                     {{QStringLiteral("kod"), key}});
            if (rs.isEmpty()) throw DbError(missing);
            throw vl::RuleRefusal(CustomerStore::ChangedElsewhereText(), rule);
        }
    });
    const auto rs = tx.query(QStringLiteral("SELECT VALTOZAT FROM %1 WHERE KOD = :kod").arg(QLatin1String(table)),
                             {{QStringLiteral("kod"), key}});
    return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
}

} // namespace

QString CustomerStore::StoreCustomer(Transaction& tx, Customer& c) {
    Params p = customerParams(c);
    if (c.kod.trimmed().isEmpty()) {
        const auto rs = tx.query(QStringLiteral("INSERT INTO UGYFEL (%1) VALUES (%2) RETURNING KOD")
                                     .arg(QLatin1String(kCustomerCols), QLatin1String(kCustomerVals)),
                                 p);
        c.kod = returnedKey(rs);
        c.valtozat = 0;
        return c.kod;
    }
    p.push_back({QStringLiteral("kod"), c.kod});
    c.valtozat = rewrite(tx, QStringLiteral(
        "UPDATE UGYFEL SET NEV = :nev, NEV2 = :nev2, ORSZAG = :orszag, IRSZAM = :irszam, VAROS = :varos, "
        "UTCA = :utca, TELEFON = :telefon, MOBILTEL = :mobiltel, EMAIL = :email, WWW = :www, ADOSZAM = :adoszam, "
        "FIZMOD = :fizmod, FIZHATIDO = :fizhatido, VEVO = :vevo, SZALLITO = :szallito, AKTIV = :aktiv, "
        "KOMMENTALT = :kommentalt, KOMMENTSPEC = :kommentspec, LIRSZAM = :lirszam, LVAROS = :lvaros, "
        "LUTCA = :lutca, ESZAMLA = :eszamla WHERE KOD = :kod"), p, "UGYFEL", c.kod, c.valtozat,
        QStringLiteral("Nincs ilyen ügyfél: %1").arg(c.kod));
    return c.kod;
}

QString CustomerStore::StoreSite(Transaction& tx, Site& s) {
    Params p = siteParams(s);
    if (s.kod.trimmed().isEmpty()) {
        const auto rs = tx.query(QStringLiteral(
            "INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON, KOMMENT, WEKOMMENT) "
            "VALUES (:ugyfelkod, :nev, :irszam, :varos, :utca, :szemely, :telefon, :komment, :wekomment) "
            "RETURNING KOD"), p);
        s.kod = returnedKey(rs);
        s.valtozat = 0;
        return s.kod;
    }
    p.push_back({QStringLiteral("kod"), s.kod});
    s.valtozat = rewrite(tx, QStringLiteral(
        "UPDATE UGYFELCIM SET UGYFELKOD = :ugyfelkod, NEV = :nev, IRSZAM = :irszam, VAROS = :varos, UTCA = :utca, "
        "SZEMELY = :szemely, TELEFON = :telefon, KOMMENT = :komment, WEKOMMENT = :wekomment WHERE KOD = :kod"), p,
        "UGYFELCIM", s.kod, s.valtozat, QStringLiteral("Nincs ilyen szállítási cím: %1").arg(s.kod));
    return s.kod;
}

} // namespace vl::customers
