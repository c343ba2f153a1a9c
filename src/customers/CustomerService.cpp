#include "customers/CustomerService.h"

#include "customers/ContractLinks.h"
#include "db/TestHook.h"
#include "db/TxScope.h"
#include "util/Error.h"
#include "util/MessageSink.h"

namespace vl::customers {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;
using vl::db::TxScope;

namespace {

// The columns of the customer list: every column of UGYFEL but the memos.
const char* const kCustomerListColumns =
    "KOD, NEV, NEV2, ORSZAG, IRSZAM, VAROS, UTCA, TELEFON, MOBILTEL, EMAIL, WWW, ADOSZAM, FIZMOD, "
    "FIZHATIDO, VEVO, SZALLITO, AKTIV, LIRSZAM, LVAROS, LUTCA, ESZAMLA, VALTOZAT";

struct FieldRule {
    const char* column;
    const char* caption;
    int length;
};
// The entry fields' lengths and captions, in the order of the screen.
const FieldRule kCustomerFields[] = {
    {"NEV", "Név", 60},          {"NEV2", "Név (2. sor)", 60},    {"ADOSZAM", "Adószám", 50},
    {"IRSZAM", "Székhely irányítószáma", 10}, {"VAROS", "Székhely települése", 40},
    {"UTCA", "Székhely címe", 50}, {"LIRSZAM", "Levélcím irányítószáma", 10},
    {"LVAROS", "Levélcím települése", 40}, {"LUTCA", "Levélcím", 50}, {"TELEFON", "Telefonszám", 50},
    {"MOBILTEL", "Mobiltelefon", 50}, {"EMAIL", "e_mail", 30}, {"FIZMOD", "Fizetési mód", 10}};
const FieldRule kSiteFields[] = {
    {"NEV", "Projekt megnevezése", 60}, {"IRSZAM", "Ir.szám", 6}, {"VAROS", "Település", 40},
    {"UTCA", "utca", 50}, {"SZEMELY", "Kapcsolat tartó személy", 50}, {"TELEFON", "Telefonszám", 50},
    {"KOMMENT", "Megjegyzés", 250}, {"WEKOMMENT", "Hétvégi megjegyzés", 250}};

QString customerValue(const Customer& c, const QString& col) {
    if (col == QLatin1String("NEV")) return c.nev;
    if (col == QLatin1String("NEV2")) return c.nev2;
    if (col == QLatin1String("ADOSZAM")) return c.adoszam;
    if (col == QLatin1String("IRSZAM")) return c.irszam;
    if (col == QLatin1String("VAROS")) return c.varos;
    if (col == QLatin1String("UTCA")) return c.utca;
    if (col == QLatin1String("LIRSZAM")) return c.lirszam;
    if (col == QLatin1String("LVAROS")) return c.lvaros;
    if (col == QLatin1String("LUTCA")) return c.lutca;
    if (col == QLatin1String("TELEFON")) return c.telefon;
    if (col == QLatin1String("MOBILTEL")) return c.mobiltel;
    if (col == QLatin1String("EMAIL")) return c.email;
    if (col == QLatin1String("FIZMOD")) return c.fizmod;
    return {};
}

QString siteValue(const Site& s, const QString& col) {
    if (col == QLatin1String("NEV")) return s.nev;
    if (col == QLatin1String("IRSZAM")) return s.irszam;
    if (col == QLatin1String("VAROS")) return s.varos;
    if (col == QLatin1String("UTCA")) return s.utca;
    if (col == QLatin1String("SZEMELY")) return s.szemely;
    if (col == QLatin1String("TELEFON")) return s.telefon;
    if (col == QLatin1String("KOMMENT")) return s.komment;
    if (col == QLatin1String("WEKOMMENT")) return s.wekomment;
    return {};
}

QString tooLong(const char* caption, int length, int actual) {
    return QStringLiteral("A(z) \"%1\" legfeljebb %2 karakter lehet (most %3)")
        .arg(QString::fromUtf8(caption)).arg(length).arg(actual);
}

// A column of the current row; "" when the row set has no such column.
QString t(const RowSet& rs, const char* col) {
    const QString name = QString::fromLatin1(col);
    return rs.hasColumn(name) ? rs.text(name) : QString();
}

// The row's version as read; -1 when the row set does not carry it.
qint64 version(const RowSet& rs) {
    return rs.hasColumn(QStringLiteral("VALTOZAT")) ? rs.integer(QStringLiteral("VALTOZAT")) : -1;
}

Customer customerOf(const RowSet& rs) {
    Customer c;
    c.kod = t(rs, "KOD").trimmed();
    c.nev = t(rs, "NEV");
    c.nev2 = t(rs, "NEV2");
    c.irszam = t(rs, "IRSZAM");
    c.varos = t(rs, "VAROS");
    c.utca = t(rs, "UTCA");
    c.telefon = t(rs, "TELEFON");
    c.mobiltel = t(rs, "MOBILTEL");
    c.email = t(rs, "EMAIL");
    c.adoszam = t(rs, "ADOSZAM");
    c.fizmod = t(rs, "FIZMOD");
    c.aktiv = t(rs, "AKTIV");
    c.kommentalt = t(rs, "KOMMENTALT");
    c.kommentspec = t(rs, "KOMMENTSPEC");
    c.lirszam = t(rs, "LIRSZAM");
    c.lvaros = t(rs, "LVAROS");
    c.lutca = t(rs, "LUTCA");
    c.eszamla = t(rs, "ESZAMLA");
    c.valtozat = version(rs);
    return c;
}

Site siteOf(const RowSet& rs) {
    Site s;
    s.kod = t(rs, "KOD").trimmed();
    s.ugyfelkod = t(rs, "UGYFELKOD").trimmed();
    s.nev = t(rs, "NEV");
    s.irszam = t(rs, "IRSZAM");
    s.varos = t(rs, "VAROS");
    s.utca = t(rs, "UTCA");
    s.szemely = t(rs, "SZEMELY");
    s.telefon = t(rs, "TELEFON");
    s.komment = t(rs, "KOMMENT");
    s.wekomment = t(rs, "WEKOMMENT");
    s.valtozat = version(rs);
    return s;
}

QVariantMap rowMap(const RowSet& rs) {
    QVariantMap m;
    if (rs.isEmpty()) return m;
    for (int c = 0; c < rs.columnCount(); ++c) {
        QVariant v = rs.at(0, c);
        if (v.typeId() == QMetaType::QString) v = v.toString().trimmed();
        m.insert(rs.columns().at(c).name.toUpper(), v);
    }
    // Keys travel as text.
    if (m.contains(QStringLiteral("KOD"))) m[QStringLiteral("KOD")] = m.value(QStringLiteral("KOD")).toString();
    return m;
}

void requireLinks() {
    if (contractLinks().isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nem ellenőrizhető, hogy szerződés hivatkozik-e rá, ezért nem törölhető."),
                              QStringLiteral("CustomerService"));
}

qint64 customerUses(Transaction& tx, const QString& key) {
    qint64 n = 0;
    for (const ContractLinks& l : contractLinks())
        if (l.customerUses) n += l.customerUses(tx, key);
    return n;
}

// Runs a statement that takes a lock again when it met another transaction's
// write of the same row and waited for it to end: an update conflict (the
// other one committed a change of the row) or a unique key taken meanwhile
// (it committed the same new key). Read committed, so the next run sees the
// row as committed now. A lock wait that ran out is not tried again.
template <class F>
auto retryingLock(F&& f) -> decltype(f()) {
    for (int attempt = 0;; ++attempt) {
        try {
            return f();
        } catch (const vl::db::DbError& e) {
            const QString t = e.text().toLower();
            const bool waitedOut = t.contains(QStringLiteral("update conflicts")) ||
                                   t.contains(QStringLiteral("violation of primary or unique key"));
            if (attempt >= 8 || !waitedOut || t.contains(QStringLiteral("time-out"))) throw;
        }
    }
}

qint64 siteUses(Transaction& tx, const QString& key) {
    qint64 n = 0;
    for (const ContractLinks& l : contractLinks())
        if (l.siteUses) n += l.siteUses(tx, key);
    return n;
}

} // namespace

QString sortColumnName(SortColumn s) {
    return s == SortColumn::City ? QStringLiteral("VAROS") : QStringLiteral("NEV");
}

// ---------------------------------------------------------------- reading

QString CustomerService::customerListSql(bool activeOnly, SortColumn sort) {
    // Three parts: the select, the optional filter, the order (a fixed column).
    QString sql = QStringLiteral("SELECT %1 FROM UGYFEL").arg(QLatin1String(kCustomerListColumns));
    if (activeOnly) sql += QStringLiteral(" WHERE AKTIV = 'I'");
    sql += QStringLiteral(" ORDER BY ") + sortColumnName(sort);
    return sql;
}

RowSet CustomerService::loadCustomers(Transaction& tx, bool activeOnly, SortColumn sort) {
    return tx.query(customerListSql(activeOnly, sort));
}

RowSet CustomerService::loadSites(Transaction& tx, const QString& customerKey, const QString& statusCode) {
    QString sql = QStringLiteral("SELECT * FROM UGYFELCIM C WHERE C.UGYFELKOD = :kod");
    Params p{{QStringLiteral("kod"), customerKey.trimmed()}};
    if (!statusCode.trimmed().isEmpty()) {
        for (const ContractLinks& l : contractLinks())
            if (!l.siteStatusCondition.isEmpty()) {
                sql += QStringLiteral(" AND ") + l.siteStatusCondition;
                p.push_back({QStringLiteral("status"), statusCode.trimmed()});
                break;
            }
    }
    return tx.query(sql, p);
}

std::optional<Customer> CustomerService::loadCustomer(Transaction& tx, const QString& key) {
    auto rs = tx.query(QStringLiteral("SELECT * FROM UGYFEL WHERE KOD = :kod"), {{QStringLiteral("kod"), key.trimmed()}});
    if (!rs.next()) return std::nullopt;
    return customerOf(rs);
}

Customer CustomerService::customerFromList(Transaction& tx, const RowSet& list, int row) {
    const auto v = [&](const char* col) {
        const int i = list.indexOf(QString::fromLatin1(col));
        return i < 0 || row < 0 || row >= list.rowCount() ? QString() : list.at(row, i).toString();
    };
    Customer c;
    c.kod = v("KOD").trimmed();
    c.nev = v("NEV");
    c.nev2 = v("NEV2");
    c.irszam = v("IRSZAM");
    c.varos = v("VAROS");
    c.utca = v("UTCA");
    c.telefon = v("TELEFON");
    c.mobiltel = v("MOBILTEL");
    c.email = v("EMAIL");
    c.adoszam = v("ADOSZAM");
    c.fizmod = v("FIZMOD");
    c.aktiv = v("AKTIV");
    c.lirszam = v("LIRSZAM");
    c.lvaros = v("LVAROS");
    c.lutca = v("LUTCA");
    c.eszamla = v("ESZAMLA");
    {
        const int i = list.indexOf(QStringLiteral("VALTOZAT"));
        c.valtozat = i < 0 || row < 0 || row >= list.rowCount() ? -1 : list.at(row, i).toLongLong();
    }
    const auto memos = tx.query(QStringLiteral("SELECT KOMMENTALT, KOMMENTSPEC FROM UGYFEL WHERE KOD = :kod"),
                                {{QStringLiteral("kod"), c.kod}});
    if (!memos.isEmpty()) {
        c.kommentalt = memos.at(0, 0).toString();
        c.kommentspec = memos.at(0, 1).toString();
    }
    return c;
}

std::optional<Site> CustomerService::loadSite(Transaction& tx, const QString& key) {
    auto rs = tx.query(QStringLiteral("SELECT * FROM UGYFELCIM WHERE KOD = :kod"), {{QStringLiteral("kod"), key.trimmed()}});
    if (!rs.next()) return std::nullopt;
    return siteOf(rs);
}

QVariantMap CustomerService::customerRow(Transaction& tx, const QString& key) {
    return rowMap(tx.query(QStringLiteral("SELECT * FROM UGYFEL WHERE KOD = :kod"), {{QStringLiteral("kod"), key.trimmed()}}));
}

QVariantMap CustomerService::siteRow(Transaction& tx, const QString& key) {
    return rowMap(tx.query(QStringLiteral("SELECT * FROM UGYFELCIM WHERE KOD = :kod"), {{QStringLiteral("kod"), key.trimmed()}}));
}

RowSet CustomerService::paymentMethods(Transaction& tx) {
    return tx.query(QStringLiteral("SELECT * FROM SZ_FIZMOD ORDER BY NEV"));
}

RowSet CustomerService::contractStatuses(Transaction& tx) {
    return tx.query(QStringLiteral("SELECT * FROM SZ_STATUSR ORDER BY NEV"));
}

QString CustomerService::cityOfPostalCode(Transaction& tx, const QString& code) {
    if (code.trimmed().isEmpty()) return {};
    const auto rs = tx.query(QStringLiteral("SELECT NEV FROM SZ_IRSZAM WHERE KOD = :kod"), {{QStringLiteral("kod"), code.trimmed()}});
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

QString CustomerService::postalCodeOfCity(Transaction& tx, const QString& city) {
    if (city.trimmed().isEmpty()) return {};
    const auto rs = tx.query(QStringLiteral("SELECT FIRST 1 KOD FROM SZ_IRSZAM WHERE NEV = :nev ORDER BY KOD"),
                             {{QStringLiteral("nev"), city.trimmed()}});
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

bool CustomerService::cityKnown(Transaction& tx, const QString& city) {
    if (city.trimmed().isEmpty()) return false;
    const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM SZ_IRSZAM WHERE NEV = :nev"),
                             {{QStringLiteral("nev"), city.trimmed()}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

Customer CustomerService::newCustomer() {
    Customer c;
    c.aktiv = QStringLiteral("I");
    c.eszamla = QString(QLatin1String(""));
    c.fizmod = QString(QLatin1String(""));
    return c;
}

// ---------------------------------------------------------------- checks

QStringList CustomerService::customerErrors(Transaction& tx, const Customer& c, const QString& storedFizmod) {
    QStringList e;
    if (c.nev.trimmed().isEmpty()) e << texts::customerNameEmpty();
    if (c.fizmod.trimmed().isEmpty()) e << texts::paymentEmpty();
    else if (!storedFizmod.isNull() && c.fizmod.trimmed() != storedFizmod.trimmed()) e << texts::paymentChanged();
    if ((c.telefon + c.mobiltel).trimmed().isEmpty()) e << texts::phonesEmpty();
    if (!c.fizmod.trimmed().isEmpty()) {
        const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM SZ_FIZMOD WHERE KOD = :kod"),
                                 {{QStringLiteral("kod"), c.fizmod.trimmed()}});
        if (rs.isEmpty() || rs.at(0, 0).toLongLong() == 0)
            e << QStringLiteral("Nincs ilyen fizetési mód: %1").arg(c.fizmod.trimmed());
    }
    for (const FieldRule& f : kCustomerFields) {
        const QString v = customerValue(c, QString::fromLatin1(f.column));
        if (v.size() > f.length) e << tooLong(f.caption, f.length, int(v.size()));
    }
    return e;
}

QString CustomerService::customerErrorText(const QStringList& errors) {
    QString s = QStringLiteral("AZ adatokban az alábbi hibák vannak:\n\n");
    for (const QString& e : errors) s += e + QLatin1Char('\n');
    return s;
}

QStringList CustomerService::siteErrors(Transaction& tx, const Site& s) {
    QStringList e;
    if (s.varos.trimmed().isEmpty()) e << texts::cityEmpty();
    else if (!cityKnown(tx, s.varos)) e << texts::cityUnknown();
    if (s.utca.trimmed().isEmpty()) e << texts::streetEmpty();
    if (s.szemely.trimmed().isEmpty()) e << texts::contactEmpty();
    if (s.telefon.trimmed().isEmpty()) e << texts::contactPhoneEmpty();
    for (const FieldRule& f : kSiteFields) {
        const QString v = siteValue(s, QString::fromLatin1(f.column));
        if (v.size() > f.length) e << tooLong(f.caption, f.length, int(v.size()));
    }
    return e;
}

QString CustomerService::siteErrorText(const QStringList& errors) {
    QString s = QStringLiteral("Az ügyfél cím adatokban az alábbi hibák vannak:\n");
    for (const QString& e : errors) s += e + QLatin1Char('\n');
    return s;
}

QList<Customer> CustomerService::sameName(Transaction& tx, const QString& name, const QString& key) {
    QList<Customer> out;
    if (name.trimmed().isEmpty()) return out;
    // Upper-cased on both sides: here by Qt (accented capitals too), there by
    // the server; the blanks around a name do not make it another one.
    auto rs = tx.query(QStringLiteral("SELECT KOD, NEV, IRSZAM, VAROS, UTCA FROM UGYFEL "
                                      "WHERE UPPER(TRIM(NEV)) = :nev AND KOD <> :kod ORDER BY NEV, KOD"),
                       {{QStringLiteral("nev"), name.trimmed().toUpper()},
                        {QStringLiteral("kod"), key.trimmed().isEmpty() ? QStringLiteral("0") : key.trimmed()}});
    while (rs.next()) {
        Customer c;
        c.kod = t(rs, "KOD").trimmed();
        c.nev = t(rs, "NEV");
        c.irszam = t(rs, "IRSZAM");
        c.varos = t(rs, "VAROS");
        c.utca = t(rs, "UTCA");
        out << c;
    }
    return out;
}

QList<Customer> CustomerService::byNameAndTaxNumber(Transaction& tx, const QString& name, const QString& taxNumber) {
    QList<Customer> out;
    if (name.trimmed().isEmpty() || taxNumber.trimmed().isEmpty()) return out;
    auto rs = tx.query(QStringLiteral("SELECT KOD, NEV, ADOSZAM, AKTIV FROM UGYFEL WHERE UPPER(TRIM(NEV)) = :nev"
                                      " AND TRIM(ADOSZAM) = :adoszam ORDER BY KOD"),
                       {{QStringLiteral("nev"), name.trimmed().toUpper()}, {QStringLiteral("adoszam"), taxNumber.trimmed()}});
    while (rs.next()) {
        Customer c;
        c.kod = t(rs, "KOD").trimmed();
        c.nev = t(rs, "NEV");
        c.adoszam = t(rs, "ADOSZAM").trimmed();
        c.aktiv = t(rs, "AKTIV").trimmed();
        out << c;
    }
    return out;
}

QString CustomerService::duplicateQuestion(const QList<Customer>& same) {
    QString q = QStringLiteral("Már van ilyen nevű ügyfél.\n");
    for (const Customer& c : same)
        q += c.nev + QLatin1Char(' ') + c.irszam + QLatin1Char(' ') + c.varos + QStringLiteral(", ") + c.utca +
             QLatin1Char('\n');
    q += QStringLiteral("\nBiztosan tárolja az ügyfél adatait?");
    return q;
}

// ---------------------------------------------------------------- storing

StoreResult CustomerService::storeCustomer(vl::db::Connection& conn, Transaction* outer, Customer& c,
                                           DuplicatePolicy policy) {
    StoreResult r;
    TxScope tx(conn, outer);
    const bool insert = c.kod.trimmed().isEmpty();
    QString storedFizmod; // null: a new customer
    if (!insert) {
        const auto rs = tx->query(QStringLiteral("SELECT FIZMOD, VALTOZAT FROM UGYFEL WHERE KOD = :kod"),
                                  {{QStringLiteral("kod"), c.kod.trimmed()}});
        if (rs.isEmpty())
            throw vl::RuleRefusal(QStringLiteral("Az ügyfél közben törlődött (kód: %1).").arg(c.kod.trimmed()),
                                  QStringLiteral("CustomerService::storeCustomer"));
        // Changed since it was read: nothing is checked or written.
        if (c.valtozat >= 0 && rs.at(0, 1).toLongLong() != c.valtozat)
            throw vl::RuleRefusal(CustomerStore::ChangedElsewhereText(), QStringLiteral("CustomerService::storeCustomer"));
        storedFizmod = rs.at(0, 0).toString();
        if (storedFizmod.isNull()) storedFizmod = QString(QLatin1String(""));
    }
    r.errors = customerErrors(*tx, c, storedFizmod);
    if (!r.errors.isEmpty()) {
        r.outcome = StoreResult::Outcome::Invalid;
        r.messages = {customerErrorText(r.errors)};
        return r;
    }
    lockName(*tx, c.nev);
    r.sameName = sameName(*tx, c.nev, insert ? QStringLiteral("0") : c.kod);
    if (!r.sameName.isEmpty()) {
        if (policy == DuplicatePolicy::Refuse) {
            r.outcome = StoreResult::Outcome::Duplicate;
            return r;
        }
        if (policy == DuplicatePolicy::Ask) {
            // Nothing is written while the question is open: the name's lock
            // goes with this scope, and "Igen" runs the whole store again.
            const QList<Customer> same = r.sameName;
            Customer* target = &c;
            vl::db::Connection* on = &conn;
            StoreResult q = StoreResult::asking(duplicateQuestion(same), [=](bool yes) {
                if (yes) return storeCustomer(*on, outer, *target, DuplicatePolicy::Allow);
                StoreResult no;
                no.outcome = StoreResult::Outcome::Declined;
                no.sameName = same;
                return no;
            });
            q.sameName = same;
            return q;
        }
    }
    if (insert) c.kod.clear();
    r.key = CustomerStore::StoreCustomer(*tx, c);
    tx.commit();
    r.outcome = StoreResult::Outcome::Stored;
    r.ok = true;
    r.warning = false;
    return r;
}

StoreResult CustomerService::storeSite(vl::db::Connection& conn, Transaction* outer, Site& s) {
    StoreResult r;
    TxScope tx(conn, outer);
    if (!s.kod.trimmed().isEmpty() && s.valtozat >= 0) {
        const auto rs = tx->query(QStringLiteral("SELECT VALTOZAT FROM UGYFELCIM WHERE KOD = :kod"),
                                  {{QStringLiteral("kod"), s.kod.trimmed()}});
        if (!rs.isEmpty() && rs.at(0, 0).toLongLong() != s.valtozat)
            throw vl::RuleRefusal(CustomerStore::ChangedElsewhereText(), QStringLiteral("CustomerService::storeSite"));
    }
    r.errors = siteErrors(*tx, s);
    if (!r.errors.isEmpty()) {
        r.outcome = StoreResult::Outcome::Invalid;
        r.messages = {siteErrorText(r.errors)};
        return r;
    }
    const auto owner = tx->query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :kod"),
                                 {{QStringLiteral("kod"), s.ugyfelkod.trimmed()}});
    if (owner.isEmpty() || owner.at(0, 0).toLongLong() == 0)
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen ügyfél (kód: %1), a cím nem tárolható.").arg(s.ugyfelkod.trimmed()),
                              QStringLiteral("CustomerService::storeSite"));
    if (s.kod.trimmed().isEmpty()) s.kod.clear();
    r.key = CustomerStore::StoreSite(*tx, s);
    tx.commit();
    r.outcome = StoreResult::Outcome::Stored;
    r.ok = true;
    r.warning = false;
    return r;
}

// ---------------------------------------------------------------- locks

std::optional<QString> CustomerService::lockCustomer(Transaction& tx, const QString& key) {
    const QString k = key.trimmed();
    // A key longer than the column is no key of a customer.
    if (k.isEmpty() || k.size() > 20) return std::nullopt;
    const RowSet rs = retryingLock([&] {
        return tx.query(QStringLiteral("SELECT KOD, AKTIV FROM UGYFEL WHERE KOD = :kod WITH LOCK"),
                        {{QStringLiteral("kod"), k}});
    });
    if (rs.isEmpty()) return std::nullopt;
    return rs.at(0, 1).toString().trimmed().toUpper();
}

void CustomerService::lockName(Transaction& tx, const QString& name) {
    const QString n = name.trimmed().toUpper().left(120);
    if (n.isEmpty()) return;
    retryingLock([&] {
        return tx.exec(QStringLiteral("UPDATE OR INSERT INTO UGYFELNEVZAR (NEV) VALUES (:nev) MATCHING (NEV)"),
                       {{QStringLiteral("nev"), n}});
    });
}

// ---------------------------------------------------------------- deleting

QString CustomerService::customerDeleteRefusal(Transaction& tx, const QString& key) {
    requireLinks();
    if (customerUses(tx, key.trimmed()) > 0) return texts::customerInUse();
    // A site that a contract names stays, so its customer stays too.
    auto sites = tx.query(QStringLiteral("SELECT KOD FROM UGYFELCIM WHERE UGYFELKOD = :kod"),
                          {{QStringLiteral("kod"), key.trimmed()}});
    while (sites.next())
        if (siteUses(tx, sites.text(QStringLiteral("KOD")).trimmed()) > 0) return texts::customerInUse();
    return {};
}

QString CustomerService::siteDeleteRefusal(Transaction& tx, const QString& key) {
    requireLinks();
    return siteUses(tx, key.trimmed()) > 0 ? texts::siteInUse() : QString();
}

QString CustomerService::customerDeleteQuestion() {
    return QStringLiteral("Biztosan törli az ügyfelet és az össezes címét?");
}

QString CustomerService::siteDeleteQuestion() { return QStringLiteral("Biztosan törli ezt a címet?"); }

int CustomerService::deleteCustomer(vl::db::Connection& conn, Transaction* outer, const QString& key) {
    TxScope tx(conn, outer);
    // The lock a contract store takes: no contract for this customer is being
    // written while its absence is checked and the rows go.
    if (!lockCustomer(*tx, key))
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen ügyfél (kód: %1).").arg(key.trimmed()),
                              QStringLiteral("CustomerService::deleteCustomer"));
    vl::db::testHook("customer-delete:locked");
    if (const QString refusal = customerDeleteRefusal(*tx, key); !refusal.isEmpty())
        throw vl::RuleRefusal(refusal, QStringLiteral("CustomerService::deleteCustomer"));
    const qint64 sites = tx->exec(QStringLiteral("DELETE FROM UGYFELCIM WHERE UGYFELKOD = :UGYFELKOD"),
                                  {{QStringLiteral("UGYFELKOD"), key.trimmed()}});
    const qint64 n = tx->exec(QStringLiteral("DELETE FROM UGYFEL WHERE KOD = :kod"), {{QStringLiteral("kod"), key.trimmed()}});
    if (n == 0)
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen ügyfél (kód: %1).").arg(key.trimmed()),
                              QStringLiteral("CustomerService::deleteCustomer"));
    tx.commit();
    return int(qMax<qint64>(sites, 0));
}

void CustomerService::deleteSite(vl::db::Connection& conn, Transaction* outer, const QString& key,
                                 const QString& customerKey) {
    TxScope tx(conn, outer);
    QString owner = customerKey.trimmed();
    if (owner.isEmpty()) {
        const auto rs = tx->query(QStringLiteral("SELECT UGYFELKOD FROM UGYFELCIM WHERE KOD = :kod"),
                                  {{QStringLiteral("kod"), key.trimmed()}});
        owner = rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
    }
    // The owner's lock, as a contract store takes it (a deleted owner leaves nothing to delete).
    if (!owner.isEmpty()) lockCustomer(*tx, owner);
    if (const QString refusal = siteDeleteRefusal(*tx, key); !refusal.isEmpty())
        throw vl::RuleRefusal(refusal, QStringLiteral("CustomerService::deleteSite"));
    const qint64 n = tx->exec(QStringLiteral("DELETE FROM UGYFELCIM WHERE KOD = :KOD AND UGYFELKOD = :UGYFELKOD"),
                              {{QStringLiteral("KOD"), key.trimmed()}, {QStringLiteral("UGYFELKOD"), owner}});
    if (n == 0)
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szállítási cím (kód: %1).").arg(key.trimmed()),
                              QStringLiteral("CustomerService::deleteSite"));
    tx.commit();
}

// ---------------------------------------------------------------- on a connection

namespace {
// The refusal a delete meets before its question (the row is missing, or
// something still uses it), read in one transaction; none when it may go on.
template <class Exists, class RefusalOf>
std::optional<DeleteResult> refusedDelete(vl::db::Connection& conn, const QString& missingText, Exists exists,
                                          RefusalOf refusalOf) {
    bool missing = false;
    const QString refusal = vl::db::readOnly(conn, [&](Transaction& tx) {
        if (!exists(tx)) {
            missing = true;
            return missingText;
        }
        return refusalOf(tx);
    });
    if (refusal.isEmpty()) return std::nullopt;
    DeleteResult r = DeleteResult::refusal(refusal);
    r.missing = missing;
    return r;
}
} // namespace

RowSet CustomerService::listCustomers(bool activeOnly, SortColumn sort) const {
    return vl::db::readOnly(*conn_, [&](Transaction& tx) { return loadCustomers(tx, activeOnly, sort); });
}

RowSet CustomerService::listSites(const QString& customerKey, const QString& statusCode) const {
    return vl::db::readOnly(*conn_, [&](Transaction& tx) { return loadSites(tx, customerKey, statusCode); });
}

CustomerView CustomerService::readCustomer(const RowSet& list, int row, const QString& statusCode) const {
    return vl::db::readOnly(*conn_, [&](Transaction& tx) {
        CustomerView v;
        v.customer = customerFromList(tx, list, row);
        if (!v.customer.kod.isEmpty()) v.sites = loadSites(tx, v.customer.kod, statusCode);
        return v;
    });
}

Customer CustomerService::readListedCustomer(const RowSet& list, int row) const {
    return vl::db::readOnly(*conn_, [&](Transaction& tx) { return customerFromList(tx, list, row); });
}

RowSet CustomerService::listPaymentMethods() const {
    return vl::db::readOnly(*conn_, [](Transaction& tx) { return paymentMethods(tx); });
}

RowSet CustomerService::listContractStatuses() const {
    return vl::db::readOnly(*conn_, [](Transaction& tx) { return contractStatuses(tx); });
}

CustomerCard CustomerService::readCard(const QString& customerKey, const QString& siteKey, bool withSites) const {
    return vl::db::readOnly(*conn_, [&](Transaction& tx) {
        CustomerCard card;
        card.customer = customerRow(tx, customerKey);
        if (!siteKey.trimmed().isEmpty()) card.site = siteRow(tx, siteKey);
        if (withSites && !card.customer.isEmpty()) card.sites = loadSites(tx, customerKey);
        return card;
    });
}

StoreResult CustomerService::saveCustomer(Customer& c) const {
    return storeCustomer(*conn_, nullptr, c, DuplicatePolicy::Ask);
}

StoreResult CustomerService::saveSite(Site& s) const { return storeSite(*conn_, nullptr, s); }

DeleteResult CustomerService::removeCustomer(const QString& key) const {
    const QString k = key.trimmed();
    if (auto refused = refusedDelete(
            *conn_, QStringLiteral("Nincs ilyen ügyfél (kód: %1).").arg(k),
            [&](Transaction& tx) { return bool(loadCustomer(tx, k)); },
            [&](Transaction& tx) { return customerDeleteRefusal(tx, k); }))
        return *refused;
    vl::db::Connection* on = conn_;
    return DeleteResult::asking(customerDeleteQuestion(), [on, k](bool yes) {
        if (!yes) return DeleteResult();
        DeleteResult done = DeleteResult::done();
        done.sites = deleteCustomer(*on, nullptr, k);
        return done;
    }, true);
}

DeleteResult CustomerService::removeSite(const QString& key, const QString& customerKey) const {
    const QString k = key.trimmed();
    if (auto refused = refusedDelete(
            *conn_, QStringLiteral("Nincs ilyen szállítási cím (kód: %1).").arg(k),
            [&](Transaction& tx) { return bool(loadSite(tx, k)); },
            [&](Transaction& tx) { return siteDeleteRefusal(tx, k); }))
        return *refused;
    vl::db::Connection* on = conn_;
    const QString owner = customerKey.trimmed();
    return DeleteResult::asking(siteDeleteQuestion(), [on, k, owner](bool yes) {
        if (!yes) return DeleteResult();
        deleteSite(*on, nullptr, k, owner);
        return DeleteResult::done();
    }, true);
}

PostalResult CustomerService::lookUpPostalCode(const QString& code) const {
    const QString k = code.trimmed();
    const auto notFound = [&] {
        return PostalResult::refusal(
            QStringLiteral("Nincs olyan érték a SZ_IRSZAM táblában, ahol KOD='%1'").arg(k.isEmpty() ? code : k));
    };
    // A text longer than the column is no code of the dictionary.
    if (k.isEmpty() || k.size() > 10) return notFound();
    const RowSet rs = vl::db::readOnly(*conn_, [&](Transaction& tx) {
        return tx.query(QStringLiteral("SELECT KOD, NEV FROM SZ_IRSZAM WHERE KOD = :kod"), {{QStringLiteral("kod"), k}});
    });
    if (rs.isEmpty()) return notFound();
    PostalResult r = PostalResult::done();
    r.code = rs.at(0, 0).toString().trimmed();
    r.city = rs.at(0, 1).toString().trimmed();
    return r;
}

PostalResult CustomerService::lookUpCity(const QString& city, const QString& code) const {
    const QString name = city.trimmed();
    if (name.isEmpty() || name.size() > 40) return PostalResult::refusal(QStringList());
    return vl::db::readOnly(*conn_, [&](Transaction& tx) {
        const QString first = postalCodeOfCity(tx, name);
        if (first.isEmpty()) return PostalResult::refusal(QStringList());
        PostalResult r = PostalResult::done();
        r.city = name;
        const bool keep = !code.trimmed().isEmpty() && cityOfPostalCode(tx, code) == name;
        r.code = keep ? code : first;
        return r;
    });
}

QString CustomerService::toggleIN(const QString& value) {
    const QString v = value.trimmed();
    if (v.isEmpty()) return QStringLiteral("I");
    return v == QLatin1String("N") ? QStringLiteral("I") : QStringLiteral("N");
}

int CustomerService::customerFieldLength(const QString& column) {
    for (const FieldRule& f : kCustomerFields)
        if (column.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0) return f.length;
    return 0;
}

int CustomerService::siteFieldLength(const QString& column) {
    for (const FieldRule& f : kSiteFields)
        if (column.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0) return f.length;
    return 0;
}

} // namespace vl::customers
