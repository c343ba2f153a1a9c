#pragma once
// The customers and their sites as the register and the orders workspace keep
// them: loading the lists, checking what was typed, the duplicate-name
// question, storing, deleting with its refusals, and the "IN" flags.
//
// Every rule takes the connection and the caller's transaction (or none, and
// then owns one), so a caller may put a store into a bigger all-or-nothing
// write. A new row is inserted whole and its key read back from the insert;
// nothing is stored when a check fails.
#include "customers/CustomerStore.h"
#include "db/Database.h"
#include "util/Outcome.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace vl::customers {

// The columns the customer list is sorted by (the items of cb_sorrend).
enum class SortColumn { Name, City };
QString sortColumnName(SortColumn s); // "NEV", "VAROS"

// What a caller decided, or wants asked, when a name exists already.
enum class DuplicatePolicy {
    Ask,     // return the question "Már van ilyen nevű ügyfél. ..." (Enter: "Igen")
    Allow,   // store without asking
    Refuse   // do not store (the import without --allow-duplicates)
};

// What a store says besides `ok` (StoreResult::ok: the row is stored).
struct StoreFacts {
    enum class Outcome { Stored, Invalid, Declined, Duplicate };
    Outcome outcome = Outcome::Invalid;
    QStringList errors;          // Invalid: the errors in the order they are checked
    QList<Customer> sameName;    // Declined / Duplicate / asking: the customers of the same name
    QString key;                 // Stored: the row's key
};
// The answer of a store: done (`ok`, the key), refused (Invalid with the
// errors, Duplicate), or the duplicate-name question whose "Nem" ends in
// Declined. The messages of an Invalid one are the error text of the form.
using StoreResult = vl::OutcomeOf<StoreFacts>;

// What deleting a customer or a site says besides `ok`.
struct DeleteFacts {
    bool missing = false;        // no such row (nothing asked)
    int sites = 0;               // a customer deleted: the sites deleted with it
};
using DeleteResult = vl::OutcomeOf<DeleteFacts>;

// A postal code and its city as the dictionary SZ_IRSZAM has them.
struct PostalMatch {
    QString code;
    QString city;
};
using PostalResult = vl::OutcomeOf<PostalMatch>;

// A customer as the register shows it: the list row with its memos read, and
// its sites (only those under the status condition, when one is given).
struct CustomerView {
    Customer customer;
    vl::db::RowSet sites;
};

// A customer's whole row with its sites (the command's card), or the rows of
// the customer and site a caller picked.
struct CustomerCard {
    QVariantMap customer;        // empty: no such customer
    QVariantMap site;
    vl::db::RowSet sites;
};

class CustomerService {
public:
    // ---- the register's and the commands' calls on a connection: each reads
    // or writes in a transaction of its own. The connection stays the caller's.
    explicit CustomerService(vl::db::Connection& conn) : conn_(&conn) {}

    vl::db::RowSet listCustomers(bool activeOnly, SortColumn sort) const;
    vl::db::RowSet listSites(const QString& customerKey, const QString& statusCode = QString()) const;
    // The customer of a list row with its memos, and its sites, read together.
    CustomerView readCustomer(const vl::db::RowSet& list, int row, const QString& statusCode = QString()) const;
    // Only the customer of a list row (its memos read).
    Customer readListedCustomer(const vl::db::RowSet& list, int row) const;
    vl::db::RowSet listPaymentMethods() const;
    vl::db::RowSet listContractStatuses() const;
    // The rows of a customer and (siteKey not empty) of a site, read together;
    // with `withSites` the customer's sites too.
    CustomerCard readCard(const QString& customerKey, const QString& siteKey = QString(), bool withSites = false) const;
    // Checks and stores; a name that exists already is asked about (the
    // question returned, "Igen" stores). `c` receives the key and must outlive
    // the question.
    StoreResult saveCustomer(Customer& c) const;
    StoreResult saveSite(Site& s) const;
    // No such row: refused with `missing`; a contract names it: refused with
    // its text; otherwise the question (Enter: "Nem") whose "Igen" deletes.
    DeleteResult removeCustomer(const QString& key) const;
    DeleteResult removeSite(const QString& key, const QString& customerKey = QString()) const;
    // Leaving a postal-code field: the city of the code, or refused with
    // "Nincs olyan érték a SZ_IRSZAM táblában, ahol KOD='...'".
    PostalResult lookUpPostalCode(const QString& code) const;
    // Leaving a city field: the city is in the dictionary; the code stays when
    // it is one of that city's, otherwise it becomes the city's first code.
    // Refused (no message) when the city is not there.
    PostalResult lookUpCity(const QString& city, const QString& code) const;

    // ---- reading
    // The customer list: every column but the two memos (read per row with
    // loadCustomer), optionally only the active ones, in the chosen order.
    static QString customerListSql(bool activeOnly, SortColumn sort);
    static vl::db::RowSet loadCustomers(vl::db::Transaction& tx, bool activeOnly, SortColumn sort);
    // The sites of a customer; with a status code only those having an active
    // contract in that status (when a contract library registered the check).
    static vl::db::RowSet loadSites(vl::db::Transaction& tx, const QString& customerKey,
                                    const QString& statusCode = QString());
    static std::optional<Customer> loadCustomer(vl::db::Transaction& tx, const QString& key);
    // A customer from a row of the customer list, with its two memos read.
    static Customer customerFromList(vl::db::Transaction& tx, const vl::db::RowSet& list, int row);
    static std::optional<Site> loadSite(vl::db::Transaction& tx, const QString& key);
    // The whole row by column name (for the callers of the register).
    static QVariantMap customerRow(vl::db::Transaction& tx, const QString& key);
    static QVariantMap siteRow(vl::db::Transaction& tx, const QString& key);
    // The payment methods and the contract statuses (KOD, NEV) by name.
    static vl::db::RowSet paymentMethods(vl::db::Transaction& tx);
    static vl::db::RowSet contractStatuses(vl::db::Transaction& tx);
    // The city of a postal code ("" when there is none); the first postal code
    // of a city ("" when the city is not in the list). Values are bound.
    static QString cityOfPostalCode(vl::db::Transaction& tx, const QString& code);
    static QString postalCodeOfCity(vl::db::Transaction& tx, const QString& city);
    static bool cityKnown(vl::db::Transaction& tx, const QString& city);

    // ---- a new customer: active, e-invoice flag and payment method empty.
    static Customer newCustomer();

    // ---- checks
    // The errors of a customer, in this order: name, payment method, (update
    // only) a changed payment method, telephones, unknown payment method, then
    // every over-long text by its caption. `storedFizmod` is the FIZMOD the row
    // has in the database (null for a new customer).
    static QStringList customerErrors(vl::db::Transaction& tx, const Customer& c,
                                      const QString& storedFizmod = QString());
    // "AZ adatokban az alábbi hibák vannak:" and the errors, one per line.
    static QString customerErrorText(const QStringList& errors);
    // The errors of a site: city (empty / not in SZ_IRSZAM), street, contact,
    // contact's telephone, then every over-long text by its caption.
    static QStringList siteErrors(vl::db::Transaction& tx, const Site& s);
    static QString siteErrorText(const QStringList& errors);

    // The other customers of the same name, ignoring case (accented capitals
    // too) and blanks around it. `key` is the customer's own key ("0" or empty
    // for a new one).
    static QList<Customer> sameName(vl::db::Transaction& tx, const QString& name, const QString& key);
    static QString duplicateQuestion(const QList<Customer>& same);
    // The customers of a name (compared as sameName does) and a tax number
    // (blanks around it ignored), with KOD, NEV, ADOSZAM and AKTIV read: how
    // an import finds a customer it is given no key of.
    static QList<Customer> byNameAndTaxNumber(vl::db::Transaction& tx, const QString& name, const QString& taxNumber);

    // ---- storing
    // Checks, decides about a duplicate name (Ask: returns the question; its
    // answer runs the store again, in `outer` when given, which must then
    // still be open, and `c` must outlive it), then inserts (empty c.kod; the key comes back into c.kod) or
    // rewrites the customer.
    static StoreResult storeCustomer(vl::db::Connection& conn, vl::db::Transaction* outer, Customer& c,
                                     DuplicatePolicy policy);
    // Checks and inserts (empty s.kod) or rewrites a site of an existing customer.
    static StoreResult storeSite(vl::db::Connection& conn, vl::db::Transaction* outer, Site& s);

    // ---- locks held to the end of the caller's transaction
    // The customer's row, locked (SELECT ... WITH LOCK): a contract stored for
    // it and a delete of the customer or of one of its sites take this lock, so
    // neither can pass its checks while the other is writing. A write of
    // another workstation met while waiting is waited out and the lock taken on
    // the row as it then is. Returns the row's AKTIV (trimmed, upper-cased), or
    // nothing when there is no such customer (deleted meanwhile).
    static std::optional<QString> lockCustomer(vl::db::Transaction& tx, const QString& key);
    // A lock row of a customer name (trimmed, upper-cased), taken before the
    // duplicate-name check of a store, so two stores of one new name at the
    // same moment run their check one after the other.
    static void lockName(vl::db::Transaction& tx, const QString& name);
    // A customer that may be put on a new contract: it exists and is not
    // marked inactive (AKTIV "N").
    static bool isInactive(const QString& aktiv) { return aktiv.trimmed().toUpper() == QLatin1String("N"); }

    // ---- deleting
    // The refusal of deleting a customer or site ("" when it may go). A
    // customer is refused when a contract names it or any of its sites.
    static QString customerDeleteRefusal(vl::db::Transaction& tx, const QString& key);
    static QString siteDeleteRefusal(vl::db::Transaction& tx, const QString& key);
    static QString customerDeleteQuestion();
    static QString siteDeleteQuestion();
    // Deletes the customer with all its sites in one transaction; raises
    // vl::RuleRefusal with the refusal's text (nothing deleted). Returns the
    // number of sites deleted.
    static int deleteCustomer(vl::db::Connection& conn, vl::db::Transaction* outer, const QString& key);
    // Deletes a site of a customer (customerKey empty: whichever owns it).
    static void deleteSite(vl::db::Connection& conn, vl::db::Transaction* outer, const QString& key,
                           const QString& customerKey = QString());

    // ---- the "IN" buttons: "N" becomes "I", any other non-blank value "N",
    // a blank one "I".
    static QString toggleIN(const QString& value);

    // The length the entry fields allow, by column (0: no limit).
    static int customerFieldLength(const QString& column);
    static int siteFieldLength(const QString& column);

private:
    vl::db::Connection* conn_ = nullptr;
};

// The texts of the register's messages.
namespace texts {
inline QString customerNameEmpty() { return QStringLiteral("Az ügyfél neve nem lehet üres"); }
inline QString paymentEmpty() { return QStringLiteral("A fizetési mód nem lehet üres"); }
inline QString paymentChanged() {
    return QStringLiteral("A fizetési módot az \"Ügyfelek rendelései\" pontban módosíthatja");
}
inline QString phonesEmpty() { return QStringLiteral("Mindkét telefonszám nem lehet üres"); }
inline QString cityEmpty() { return QStringLiteral("Település nincs megadva"); }
inline QString cityUnknown() { return QStringLiteral("Település nincs a törzsben"); }
inline QString streetEmpty() { return QStringLiteral("Cím nincs megadva"); }
inline QString contactEmpty() { return QStringLiteral("Kapcsolat tartó nincs megadva"); }
inline QString contactPhoneEmpty() { return QStringLiteral("Kapcsolat tartó személy telefonja nincs megadva"); }
inline QString customerInUse() { return QStringLiteral("Nem törölhető az ügyfél, mert volt szerződése"); }
inline QString siteInUse() { return QStringLiteral("Nem törölhető a cím, mert volt rá szerződés"); }
inline QString noSite() { return QStringLiteral("Az ügyfélhez nincs szállítási cím rendelve!"); }
} // namespace texts

} // namespace vl::customers
