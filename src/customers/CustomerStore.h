#pragma once
// Customers (UGYFEL) and their sites (UGYFELCIM). Keys are given by the
// database and read back from the insert; the program never chooses one.
#include "db/Database.h"

#include <QString>

namespace vl::customers {

struct Customer {
    QString kod;        // empty for a new customer; filled by StoreCustomer
    QString nev;
    QString nev2;
    QString irszam;
    QString varos;
    QString utca;
    QString telefon;
    QString mobiltel;
    QString email;
    QString adoszam;
    QString fizmod;     // SZ_FIZMOD.KOD
    QString aktiv = QStringLiteral("I");
    QString kommentalt; // multi-line, CR LF
    QString kommentspec;
    QString lirszam;
    QString lvaros;
    QString lutca;
    QString eszamla;    // "I", "N" or empty
    // VALTOZAT as read with the fields above: a rewrite lands only on that
    // version. -1: not checked (a row the caller never read).
    qint64 valtozat = -1;
};

struct Site {
    QString kod;        // empty for a new site; filled by StoreSite
    QString ugyfelkod;
    QString nev;
    QString irszam;
    QString varos;
    QString utca;
    QString szemely;
    QString telefon;
    QString komment;
    QString wekomment;
    qint64 valtozat = -1; // as for a customer
};

class CustomerStore {
public:
    // The refusal of a rewrite whose row changed since it was read.
    static QString ChangedElsewhereText() {
        return QStringLiteral("Az ügyfél adatait közben máshol módosították. Az adatok frissültek, kérem, "
                              "ismételje meg a műveletet.");
    }
    // Inserts a new customer (empty kod; the key comes back into c.kod) or
    // rewrites an existing one. ORSZAG is "Magyarország", WWW empty,
    // FIZHATIDO 0, VEVO "I", SZALLITO "N". Returns the key. A rewrite with a
    // version (c.valtozat >= 0) of a row changed since, or being changed by
    // another workstation, raises vl::RuleRefusal(ChangedElsewhereText());
    // c.valtozat then holds the version written.
    static QString StoreCustomer(vl::db::Transaction& tx, Customer& c);
    // The same for a site of a customer.
    static QString StoreSite(vl::db::Transaction& tx, Site& s);
};

} // namespace vl::customers
