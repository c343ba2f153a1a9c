#include "rental/ContractImport.h"

#include "customers/CustomerService.h"
#include "db/TxScope.h"
#include "rental/ContractSave.h"
#include "rental/ContractSession.h"
#include "rental/LineItemRules.h"
#include "rental/ProductRegister.h"
#include "util/Dates.h"
#include "util/Error.h"

#include <QHash>
#include <QRegularExpression>
#include <map>

namespace vl::rental {

using vl::customers::Customer;
using vl::customers::CustomerService;
using vl::customers::Site;
using vl::db::RowSet;
using vl::db::Transaction;
using vl::exchange::CsvRecord;
using vl::exchange::CsvRefusal;

namespace {

// The columns of a contract's header: every row of a contract must agree on them.
const QStringList& headerColumns() {
    static const QStringList c{
        QStringLiteral("UGYFELKOD"), QStringLiteral("NEV"),        QStringLiteral("ADOSZAM"),
        QStringLiteral("IRSZAM"),    QStringLiteral("VAROS"),      QStringLiteral("UTCA"),
        QStringLiteral("TELEFON"),   QStringLiteral("EMAIL"),      QStringLiteral("UGYFELCIM"),
        QStringLiteral("CIM_NEV"),   QStringLiteral("CIM_IRSZAM"), QStringLiteral("CIM_VAROS"),
        QStringLiteral("CIM_UTCA"),  QStringLiteral("CIM_SZEMELY"), QStringLiteral("CIM_TELEFON"),
        QStringLiteral("BERMOD"),    QStringLiteral("FIZMOD"),     QStringLiteral("BERKEZD"),
        QStringLiteral("BERVEG"),    QStringLiteral("KOMMENT"),    QStringLiteral("FIZETVE")};
    return c;
}
// The columns of a line: rows of a contract alike in all of them are one line.
const QStringList& lineColumns() {
    static const QStringList c = [] {
        QStringList l{QStringLiteral("ARUCSOPORT"), QStringLiteral("NETTOAR"),  QStringLiteral("BERMENNY"),
                      QStringLiteral("BERMEGYSEG"), QStringLiteral("MINIMALAR"), QStringLiteral("KARERTEK"),
                      QStringLiteral("HKSZCSPSZV"), QStringLiteral("PERIODUS")};
        for (int d = 1; d <= 7; ++d) l << QStringLiteral("KARBAR%1").arg(d);
        l << QStringLiteral("SOFORKOD");
        return l;
    }();
    return c;
}
// The columns of one cabin.
const QStringList& itemColumns() {
    static const QStringList c{QStringLiteral("ARUKOD"), QStringLiteral("KISZALL"), QStringLiteral("VSZALL")};
    return c;
}

// A dictionary read once: its codes, by code and by upper-cased name.
struct Dict {
    QHash<QString, QStringList> rows;   // KOD -> the extra columns
    QHash<QString, QString> byName;
    QString find(const QString& v) const {
        if (v.isEmpty()) return QString();
        if (rows.contains(v)) return v;
        return byName.value(v.toUpper());
    }
};

Dict readDict(Transaction& tx, const QString& sql, int extra) {
    Dict d;
    RowSet rs = tx.query(sql);
    while (rs.next()) {
        const QString kod = rs.value(0).toString().trimmed();
        QStringList ex;
        for (int i = 0; i < extra; ++i) ex << rs.value(2 + i).toString().trimmed();
        d.rows.insert(kod, ex);
        const QString n = rs.value(1).toString().trimmed().toUpper();
        if (!n.isEmpty() && !d.byName.contains(n)) d.byName.insert(n, kod);
    }
    return d;
}

struct Cabin {
    QString group, cls;
    qint64 bizonylat = 0;
};

// A date of the file: 'yyyy.mm.dd', 'yyyymmdd', 'yyyy-mm-dd' or the
// spreadsheet's 'yyyy. mm. dd.'; "" when it is none of them.
QString fileDate(QString t) {
    t = t.trimmed();
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    t.remove(QLatin1Char(' '));
    if (t.size() != 8 && t.size() != 10) return QString();
    if (t.size() == 10 && !(t.at(4) == t.at(7) && (t.at(4) == u'.' || t.at(4) == u'-' || t.at(4) == u'/'))) return QString();
    return vl::util::NormalizeDateText(t);
}

// A whole number of the file (blanks group thousands); -1 when it is none.
qint64 fileNumber(QString t) {
    t.remove(QLatin1Char(' '));
    t.remove(QChar(0x00A0));
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(t).hasMatch()) return -1;
    return t.toLongLong();
}

struct Row {
    const CsvRecord* rec = nullptr;
    QHash<QString, QString> v;   // column -> value (trimmed, guard dropped)
    QString kiszall, vszall;     // normalised
    bool refused = false;
};

struct Line {
    QString key;
    QList<int> rows;   // indexes into Contract::rows
};

struct Contract {
    QString ref;
    QList<Row> rows;
    std::vector<Line> lines;
    bool refused = false;
    // Resolved in the checks.
    QString customer, site;          // keys ("" : created at the store)
    bool newCustomer = false, newSite = false;
    QString fizmod, bermod, berkezd, berveg, fizetve;
};

// One line's values as the session's line panel takes them.
LineInput lineInput(const Row& r, int count, const QString& kiszall, const QString& vszall, const Dict& groups) {
    LineInput in;
    const QString group = groups.find(r.v.value(QStringLiteral("ARUCSOPORT")));
    in.arucsoport = group;
    in.mennyiseg = QString::number(count);
    const QString bermenny = r.v.value(QStringLiteral("BERMENNY"));
    in.bermenny = bermenny.isEmpty() ? QStringLiteral("1") : bermenny;
    in.bermegyseg = r.v.value(QStringLiteral("BERMEGYSEG"));
    in.nettoar = r.v.value(QStringLiteral("NETTOAR"));
    in.minimalar = r.v.value(QStringLiteral("MINIMALAR"));
    const QString karertek = r.v.value(QStringLiteral("KARERTEK"));
    // An empty damage value is the group's, as the line panel offers it.
    in.karertek = karertek.isEmpty() ? groups.rows.value(group).value(0) : karertek;
    in.kiszall = kiszall;
    in.vszall = vszall;
    const QString pattern = r.v.value(QStringLiteral("HKSZCSPSZV"));
    for (int d = 0; d < 7; ++d) {
        const QChar c = d < pattern.size() ? pattern.at(d) : QLatin1Char('0');
        in.counts[size_t(d)] = c == QLatin1Char('0') ? QString() : QString(c);
        const QString price = r.v.value(QStringLiteral("KARBAR%1").arg(d + 1));
        in.prices[size_t(d)] = fileNumber(price) == 0 ? QString() : price;
    }
    const QString per = r.v.value(QStringLiteral("PERIODUS"));
    in.periodus = per.isEmpty() ? QStringLiteral("1") : per;
    in.soforkod = r.v.value(QStringLiteral("SOFORKOD"));
    return in;
}

// An outcome's questions answered "Igen": every question of a line or an item
// asks about a value the file gives (no rent, no maintenance day).
Outcome settled(Outcome o) {
    for (int n = 0; o.asks() && o.proceed && n < 10; ++n) {
        const auto proceed = o.proceed;
        o = proceed(true);
    }
    return o;
}

// The customer's site of the row's name and address ("" when it has none).
QString siteOf(Transaction& tx, const QString& customer, const QHash<QString, QString>& v) {
    const RowSet sites = CustomerService::loadSites(tx, customer);
    for (int r = 0; r < sites.rowCount(); ++r) {
        auto same = [&](const char* col, const char* file) {
            return sites.at(r, sites.indexOf(QLatin1String(col))).toString().trimmed().toUpper() ==
                   v.value(QLatin1String(file)).toUpper();
        };
        if (same("NEV", "CIM_NEV") && same("IRSZAM", "CIM_IRSZAM") && same("VAROS", "CIM_VAROS") && same("UTCA", "CIM_UTCA"))
            return sites.at(r, sites.indexOf(QStringLiteral("KOD"))).toString().trimmed();
    }
    return QString();
}

QString flat(const QStringList& messages) {
    QStringList parts;
    for (const QString& m : messages)
        for (const QString& p : QString(m).replace(QStringLiteral("\r\n"), QStringLiteral("\r")).split(QLatin1Char('\r')))
            if (!p.trimmed().isEmpty()) parts << p.trimmed();
    return parts.join(QStringLiteral(" "));
}

} // namespace

QStringList contractImportColumns() {
    QStringList all = headerColumns();
    all.prepend(QStringLiteral("SZERZODES"));
    return all + lineColumns() + itemColumns();
}

QStringList ContractImportResult::lines(const ContractImportOptions& o) const {
    QStringList l;
    if (!fatal.isEmpty()) {
        l << fatal << QStringLiteral("Semmi nem került tárolásra.");
        return l;
    }
    l << QStringLiteral("Kódolás: %1, adatsorok: %2, szerződések: %3").arg(encoding).arg(rows).arg(contracts);
    l << QStringLiteral("Hibátlan szerződések: %1").arg(contractsAccepted);
    l << QStringLiteral("Elutasított sorok: %1").arg(refused.size());
    for (const CsvRefusal& r : refused) l << QStringLiteral("  ") + r.text();
    if (!stored.isEmpty())
        l << QStringLiteral("Tárolt szerződések: %1 (%2 sor, %3 kabin; új ügyfél: %4, új szállítási cím: %5)")
                 .arg(stored.size()).arg(linesStored).arg(cabinsStored).arg(customersCreated).arg(sitesCreated);
    if (!storeFailure.isEmpty()) l << storeFailure;
    if (rows == 0) l << QStringLiteral("A fájlban a fejlécen kívül nincs adatsor: semmi nem került tárolásra.");
    else if (o.dryRun) l << QStringLiteral("Próbafuttatás (--dry-run): semmi nem került tárolásra.");
    else if (!refused.isEmpty() && !o.skipBad) l << QStringLiteral("Semmi nem került tárolásra.");
    else if (!refused.isEmpty()) l << QStringLiteral("A hibás sorok szerződései nem kerültek tárolásra (--skip-bad).");
    else if (storeFailure.isEmpty()) l << QStringLiteral("Tárolva.");
    return l;
}

ContractImportResult ImportContracts(vl::db::Connection& conn, const vl::shell::Session& who, const QByteArray& bytes,
                                     const ContractImportOptions& options, const ImportProgress& progress) {
    ContractImportResult res;
    const QStringList columns = contractImportColumns();
    const vl::exchange::CsvTable csv =
        vl::exchange::ReadCsv(bytes, {kContractImportMaxBytes, kContractImportMaxRows, int(columns.size())}, columns);
    res.encoding = csv.encoding;
    if (!csv.ok()) {
        res.fatal = csv.fatal;
        return res;
    }
    QStringList missing;
    for (const char* need : {"SZERZODES", "BERMOD", "FIZMOD", "BERKEZD", "ARUCSOPORT", "NETTOAR", "BERMEGYSEG", "ARUKOD"})
        if (csv.column(QLatin1String(need)) < 0) missing << QString::fromLatin1(need);
    if (csv.column(QStringLiteral("UGYFELKOD")) < 0 &&
        (csv.column(QStringLiteral("NEV")) < 0 || csv.column(QStringLiteral("ADOSZAM")) < 0))
        missing << QStringLiteral("UGYFELKOD vagy NEV és ADOSZAM");
    if (csv.column(QStringLiteral("UGYFELCIM")) < 0 && csv.column(QStringLiteral("CIM_NEV")) < 0 &&
        csv.column(QStringLiteral("CIM_UTCA")) < 0)
        missing << QStringLiteral("UGYFELCIM vagy CIM_NEV, CIM_IRSZAM, CIM_VAROS, CIM_UTCA");
    if (options.createCustomers)
        for (const char* need : {"NEV", "ADOSZAM", "IRSZAM", "VAROS", "UTCA"})
            if (csv.column(QLatin1String(need)) < 0) missing << QString::fromLatin1(need) + QStringLiteral(" (--create-customers)");
    if (!missing.isEmpty()) {
        res.fatal = QStringLiteral("Hiányzó oszlop a fejlécben: %1").arg(missing.join(QStringLiteral(", ")));
        return res;
    }
    const QString today = options.today.isEmpty() ? vl::util::TodayStr() : options.today;

    // ---- the rows, grouped into contracts (in the order they first come)
    std::vector<Contract> contracts;
    QHash<QString, int> byRef;
    auto refuse = [&](Row& r, const QString& col, const QString& why) {
        res.refused << CsvRefusal{r.rec->line, col, why};
        r.refused = true;
    };
    std::vector<std::pair<int, int>> badShape;   // rows with a wrong field count: (contract, row)
    for (const CsvRecord& rec : csv.rows) {
        ++res.rows;
        Row r;
        r.rec = &rec;
        for (int i = 0; i < csv.header.size(); ++i) r.v.insert(csv.header.at(i), vl::exchange::CsvValue(rec, i));
        const QString ref = r.v.value(QStringLiteral("SZERZODES"));
        auto it = byRef.find(ref);
        if (it == byRef.end()) {
            it = byRef.insert(ref, int(contracts.size()));
            contracts.push_back(Contract());
            contracts.back().ref = ref;
        }
        contracts[size_t(*it)].rows << r;
        if (rec.fields.size() != csv.header.size()) badShape.push_back({*it, int(contracts[size_t(*it)].rows.size()) - 1});
    }
    res.contracts = int(contracts.size());
    for (const auto& [c, r] : badShape)
        refuse(contracts[size_t(c)].rows[r], QString(), QStringLiteral("%1 mező van benne, a fejlécben %2")
                                                           .arg(contracts[size_t(c)].rows[r].rec->fields.size())
                                                           .arg(csv.header.size()));

    // ---- the file's checks, against the registers as they are
    Dict groups;
    {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        groups = readDict(*tx, QStringLiteral("SELECT KOD, NEV, KARAR FROM SZ_ARUCSOP"), 1);
        const Dict units = readDict(*tx, QStringLiteral("SELECT KOD, NEV FROM SZ_MEGYSEG WHERE TIPUS LIKE '%R%'"), 0);
        const Dict drivers = readDict(*tx, QStringLiteral("SELECT KOD, NEV FROM SZ_SOFOR WHERE AKTIV = 'I'"), 0);
        const Dict rentalModes = readDict(*tx, QStringLiteral("SELECT KOD, NEV, KOTNAP FROM SZ_BERMOD"), 1);
        const Dict paymentModes = readDict(*tx, QStringLiteral("SELECT KOD, NEV FROM SZ_FIZMOD"), 0);
        QHash<QString, Cabin> cabins;
        {
            RowSet rs = tx->query(QStringLiteral("SELECT A.KOD, A.ARUCSOPORT, S.KIADHATO, A.BIZONYLAT FROM ARU A"
                                                 " LEFT JOIN SZ_STATUSK S ON S.KOD = A.ALLAPOT"));
            while (rs.next())
                cabins.insert(rs.value(0).toString().trimmed(),
                              Cabin{rs.value(1).toString().trimmed(), rs.value(2).toString().trimmed(),
                                    rs.value(3).toLongLong()});
        }
        QHash<QString, int> cabinLine;   // cabin -> the line it first came on
        QHash<QString, Row*> cabinRow;

        for (Contract& c : contracts) {
            Row& first = c.rows.first();
            auto hv = [&](const char* col) { return first.v.value(QLatin1String(col)); };
            if (c.ref.isEmpty()) {
                for (Row& r : c.rows) refuse(r, QStringLiteral("SZERZODES"), QStringLiteral("nincs kitöltve"));
                continue;
            }
            if (c.ref.size() > 50) refuse(first, QStringLiteral("SZERZODES"), QStringLiteral("túl hosszú (legfeljebb 50 karakter)"));
            // The header: every row as the first.
            for (int i = 1; i < c.rows.size(); ++i)
                for (const QString& col : headerColumns())
                    if (c.rows[i].v.value(col) != first.v.value(col))
                        refuse(c.rows[i], col, QStringLiteral("eltér a(z) %1 szerződés első sorától (%2. sor): \"%3\" és \"%4\"")
                                                   .arg(c.ref).arg(first.rec->line)
                                                   .arg(c.rows[i].v.value(col), first.v.value(col)));
            // Modes and dates.
            c.bermod = rentalModes.find(hv("BERMOD"));
            if (hv("BERMOD").isEmpty()) refuse(first, QStringLiteral("BERMOD"), QStringLiteral("nincs kitöltve"));
            else if (c.bermod.isEmpty()) refuse(first, QStringLiteral("BERMOD"), QStringLiteral("nincs ilyen bérlési mód: %1").arg(hv("BERMOD")));
            c.fizmod = paymentModes.find(hv("FIZMOD"));
            if (hv("FIZMOD").isEmpty()) refuse(first, QStringLiteral("FIZMOD"), QStringLiteral("nincs kitöltve"));
            else if (c.fizmod.isEmpty()) refuse(first, QStringLiteral("FIZMOD"), QStringLiteral("nincs ilyen fizetési mód: %1").arg(hv("FIZMOD")));
            c.berkezd = fileDate(hv("BERKEZD"));
            if (c.berkezd.isEmpty()) refuse(first, QStringLiteral("BERKEZD"), QStringLiteral("hibás dátum: \"%1\" (éééé.hh.nn)").arg(hv("BERKEZD")));
            if (!hv("BERVEG").isEmpty()) {
                c.berveg = fileDate(hv("BERVEG"));
                if (c.berveg.isEmpty()) refuse(first, QStringLiteral("BERVEG"), QStringLiteral("hibás dátum: \"%1\" (éééé.hh.nn)").arg(hv("BERVEG")));
                else if (!c.berkezd.isEmpty() && c.berveg < c.berkezd)
                    refuse(first, QStringLiteral("BERVEG"), QStringLiteral("korábbi, mint a bérlet kezdete (%1)").arg(c.berkezd));
            }
            if (!c.bermod.isEmpty()) {
                const bool fixed = rentalModes.rows.value(c.bermod).value(0) == QLatin1String("I");
                if (fixed && hv("BERVEG").isEmpty())
                    refuse(first, QStringLiteral("BERVEG"), QStringLiteral("határozott idejű bérlésnél (%1) kitöltendő").arg(c.bermod));
                if (!fixed && !hv("BERVEG").isEmpty())
                    refuse(first, QStringLiteral("BERVEG"), QStringLiteral("határozatlan idejű bérlésnél (%1) nem tölthető ki").arg(c.bermod));
            }
            if (!hv("FIZETVE").isEmpty()) {
                c.fizetve = fileDate(hv("FIZETVE"));
                if (c.fizetve.isEmpty()) refuse(first, QStringLiteral("FIZETVE"), QStringLiteral("hibás dátum: \"%1\" (éééé.hh.nn)").arg(hv("FIZETVE")));
                else if (!c.berkezd.isEmpty() && c.fizetve < c.berkezd)
                    refuse(first, QStringLiteral("FIZETVE"), QStringLiteral("korábbi, mint a bérlet kezdete (%1)").arg(c.berkezd));
            }
            if (hv("KOMMENT").size() > 250) refuse(first, QStringLiteral("KOMMENT"), QStringLiteral("túl hosszú (legfeljebb 250 karakter)"));

            // The customer: by key, or by name and tax number.
            if (!hv("UGYFELKOD").isEmpty()) {
                const auto cust = CustomerService::loadCustomer(*tx, hv("UGYFELKOD"));
                if (!cust) refuse(first, QStringLiteral("UGYFELKOD"), QStringLiteral("nincs ilyen ügyfél: %1").arg(hv("UGYFELKOD")));
                else if (CustomerService::isInactive(cust->aktiv))
                    refuse(first, QStringLiteral("UGYFELKOD"), QStringLiteral("az ügyfél nem aktív: %1").arg(hv("UGYFELKOD")));
                else c.customer = cust->kod.trimmed();
            } else if (hv("NEV").isEmpty() || hv("ADOSZAM").isEmpty()) {
                refuse(first, hv("NEV").isEmpty() ? QStringLiteral("NEV") : QStringLiteral("ADOSZAM"),
                       QStringLiteral("az ügyfél kódja nélkül a neve és az adószáma kell"));
            } else {
                const QList<Customer> same = CustomerService::byNameAndTaxNumber(*tx, hv("NEV"), hv("ADOSZAM"));
                if (same.size() > 1) {
                    QStringList keys;
                    for (const Customer& o : same) keys << o.kod.trimmed();
                    refuse(first, QStringLiteral("NEV"), QStringLiteral("több ilyen nevű és adószámú ügyfél van (%1): adja meg az UGYFELKOD-ot")
                                                             .arg(keys.join(QStringLiteral(", "))));
                } else if (same.size() == 1) {
                    if (CustomerService::isInactive(same.first().aktiv))
                        refuse(first, QStringLiteral("NEV"), QStringLiteral("az ügyfél nem aktív: %1").arg(same.first().kod.trimmed()));
                    else c.customer = same.first().kod.trimmed();
                } else if (!options.createCustomers) {
                    refuse(first, QStringLiteral("NEV"), QStringLiteral("nincs ilyen nevű és adószámú ügyfél: %1, %2 (új ügyfélhez: --create-customers)")
                                                             .arg(hv("NEV"), hv("ADOSZAM")));
                } else {
                    c.newCustomer = true;
                    Customer n = CustomerService::newCustomer();
                    n.nev = hv("NEV"); n.adoszam = hv("ADOSZAM"); n.irszam = hv("IRSZAM"); n.varos = hv("VAROS");
                    n.utca = hv("UTCA"); n.telefon = hv("TELEFON"); n.email = hv("EMAIL"); n.fizmod = c.fizmod;
                    for (const char* need : {"IRSZAM", "VAROS", "UTCA"})
                        if (hv(need).isEmpty()) refuse(first, QLatin1String(need), QStringLiteral("új ügyfélnél kitöltendő"));
                    if (!c.fizmod.isEmpty())
                        for (const QString& m : CustomerService::customerErrors(*tx, n)) refuse(first, QString(), m);
                }
            }
            // The site: by key (the customer's), or by name and address under the customer.
            if (!hv("UGYFELCIM").isEmpty()) {
                const auto site = CustomerService::loadSite(*tx, hv("UGYFELCIM"));
                if (!site) refuse(first, QStringLiteral("UGYFELCIM"), QStringLiteral("nincs ilyen szállítási cím: %1").arg(hv("UGYFELCIM")));
                else if (!c.newCustomer && !c.customer.isEmpty() && site->ugyfelkod.trimmed() != c.customer)
                    refuse(first, QStringLiteral("UGYFELCIM"), QStringLiteral("a(z) %1 szállítási cím nem a(z) %2 ügyfélé")
                                                                   .arg(hv("UGYFELCIM"), c.customer));
                else if (c.newCustomer)
                    refuse(first, QStringLiteral("UGYFELCIM"), QStringLiteral("új ügyfélhez nem adható meg meglévő cím kódja"));
                else c.site = site->kod.trimmed();
            } else if (!c.customer.isEmpty() || c.newCustomer) {
                if (!c.customer.isEmpty()) c.site = siteOf(*tx, c.customer, first.v);
                if (c.site.isEmpty()) {
                    if (!options.createCustomers) {
                        refuse(first, QStringLiteral("CIM_NEV"), QStringLiteral("az ügyfélnek nincs ilyen szállítási címe: %1, %2 %3, %4 (új címhez: --create-customers)")
                                                                     .arg(hv("CIM_NEV"), hv("CIM_IRSZAM"), hv("CIM_VAROS"), hv("CIM_UTCA")));
                    } else {
                        c.newSite = true;
                        Site s;
                        s.nev = hv("CIM_NEV"); s.irszam = hv("CIM_IRSZAM"); s.varos = hv("CIM_VAROS"); s.utca = hv("CIM_UTCA");
                        s.szemely = hv("CIM_SZEMELY"); s.telefon = hv("CIM_TELEFON");
                        for (const QString& m : CustomerService::siteErrors(*tx, s)) refuse(first, QString(), m);
                    }
                }
            }
            // A contract of this customer with the same reference is there already (a second run of the file).
            if (!c.customer.isEmpty()) {
                RowSet old = tx->query(QStringLiteral("SELECT FIRST 1 BIZONYLAT FROM FORGFEJ WHERE UGYFELKOD = :k AND SZERZODES = :s"
                                                      " AND AKTIV = 'I' AND (STATUS IS NULL OR STATUS <> 'X')"),
                                       {{QStringLiteral("k"), c.customer}, {QStringLiteral("s"), c.ref}});
                if (old.next())
                    refuse(first, QStringLiteral("SZERZODES"), QStringLiteral("az ügyfélnek már van ilyen iktatószámú szerződése: %1. sz.")
                                                                   .arg(old.integer(QStringLiteral("BIZONYLAT"))));
            }

            // The lines and the cabins.
            for (int i = 0; i < c.rows.size(); ++i) {
                Row& r = c.rows[i];
                auto v = [&](const QString& col) { return r.v.value(col); };
                const QString group = groups.find(v(QStringLiteral("ARUCSOPORT")));
                if (v(QStringLiteral("ARUCSOPORT")).isEmpty()) refuse(r, QStringLiteral("ARUCSOPORT"), QStringLiteral("nincs kitöltve"));
                else if (group.isEmpty())
                    refuse(r, QStringLiteral("ARUCSOPORT"), QStringLiteral("nincs ilyen árucsoport: %1").arg(v(QStringLiteral("ARUCSOPORT"))));
                if (v(QStringLiteral("BERMEGYSEG")).isEmpty()) refuse(r, QStringLiteral("BERMEGYSEG"), QStringLiteral("nincs kitöltve"));
                else if (units.find(v(QStringLiteral("BERMEGYSEG"))).isEmpty())
                    refuse(r, QStringLiteral("BERMEGYSEG"), QStringLiteral("nincs ilyen bérleti egység: %1").arg(v(QStringLiteral("BERMEGYSEG"))));
                if (!v(QStringLiteral("SOFORKOD")).isEmpty() && drivers.find(v(QStringLiteral("SOFORKOD"))).isEmpty())
                    refuse(r, QStringLiteral("SOFORKOD"), QStringLiteral("nincs ilyen aktív sofőr: %1").arg(v(QStringLiteral("SOFORKOD"))));
                for (const QString& col : {QStringLiteral("NETTOAR"), QStringLiteral("BERMENNY"), QStringLiteral("MINIMALAR"),
                                           QStringLiteral("KARERTEK"), QStringLiteral("PERIODUS"), QStringLiteral("KARBAR1"),
                                           QStringLiteral("KARBAR2"), QStringLiteral("KARBAR3"), QStringLiteral("KARBAR4"),
                                           QStringLiteral("KARBAR5"), QStringLiteral("KARBAR6"), QStringLiteral("KARBAR7")}) {
                    if (v(col).isEmpty()) {
                        if (col == QLatin1String("NETTOAR")) refuse(r, col, QStringLiteral("nincs kitöltve"));
                        continue;
                    }
                    if (fileNumber(v(col)) < 0) refuse(r, col, QStringLiteral("nem egész szám (forint, darab): \"%1\"").arg(v(col)));
                    else if ((col == QLatin1String("BERMENNY") || col == QLatin1String("PERIODUS")) && fileNumber(v(col)) == 0)
                        refuse(r, col, QStringLiteral("legalább 1 legyen"));
                }
                const QString pattern = v(QStringLiteral("HKSZCSPSZV"));
                static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
                if (!pattern.isEmpty() && (pattern.size() != 7 || !digits.match(pattern).hasMatch())) {
                    if (digits.match(pattern).hasMatch() && pattern.size() < 7)
                        refuse(r, QStringLiteral("HKSZCSPSZV"),
                               QStringLiteral("a heti minta hét számjegy (hétfőtől vasárnapig a napi karbantartások száma), ebben "
                                              "%1 áll: \"%2\"; a táblázatkezelő elhagyhatta a kezdő nullákat, formázza az "
                                              "oszlopot szövegként").arg(pattern.size()).arg(pattern));
                    else
                        refuse(r, QStringLiteral("HKSZCSPSZV"),
                               QStringLiteral("a heti minta hét számjegy (hétfőtől vasárnapig), nem \"%1\"").arg(pattern));
                }
                // Dates of the cabin.
                r.kiszall = v(QStringLiteral("KISZALL")).isEmpty() ? c.berkezd : fileDate(v(QStringLiteral("KISZALL")));
                if (r.kiszall.isEmpty() && !v(QStringLiteral("KISZALL")).isEmpty())
                    refuse(r, QStringLiteral("KISZALL"), QStringLiteral("hibás dátum: \"%1\" (éééé.hh.nn)").arg(v(QStringLiteral("KISZALL"))));
                else if (!r.kiszall.isEmpty() && !c.berkezd.isEmpty() && r.kiszall < c.berkezd)
                    refuse(r, QStringLiteral("KISZALL"), QStringLiteral("korábbi, mint a bérlet kezdete (%1)").arg(c.berkezd));
                if (!v(QStringLiteral("VSZALL")).isEmpty()) {
                    r.vszall = fileDate(v(QStringLiteral("VSZALL")));
                    if (r.vszall.isEmpty())
                        refuse(r, QStringLiteral("VSZALL"), QStringLiteral("hibás dátum: \"%1\" (éééé.hh.nn)").arg(v(QStringLiteral("VSZALL"))));
                    else if (!r.kiszall.isEmpty() && r.vszall < r.kiszall)
                        refuse(r, QStringLiteral("VSZALL"), QStringLiteral("korábbi, mint a kiszállítás (%1)").arg(r.kiszall));
                    else if (r.vszall < today)
                        refuse(r, QStringLiteral("VSZALL"), QStringLiteral("a tervezett visszaszállítás elmúlt (%1): futó szerződés kabinja kint van").arg(r.vszall));
                } else if (!c.berveg.isEmpty()) {
                    r.vszall = c.berveg;
                }
                // The cabin: free in the register, of the line's group, once in the file.
                const QString code = v(QStringLiteral("ARUKOD"));
                if (code.isEmpty()) {
                    refuse(r, QStringLiteral("ARUKOD"), QStringLiteral("nincs kitöltve"));
                } else if (cabinLine.contains(code)) {
                    const QString why = QStringLiteral("a(z) %1 kabin kétszer szerepel a fájlban: %2. és %3. sor")
                                            .arg(code).arg(cabinLine.value(code)).arg(r.rec->line);
                    refuse(r, QStringLiteral("ARUKOD"), why);
                    refuse(*cabinRow.value(code), QStringLiteral("ARUKOD"), why);
                } else {
                    cabinLine.insert(code, r.rec->line);
                    cabinRow.insert(code, &r);
                    const auto cab = cabins.constFind(code);
                    if (cab == cabins.constEnd())
                        refuse(r, QStringLiteral("ARUKOD"), QStringLiteral("nincs ilyen számú kabin a nyilvántartásban: %1").arg(code));
                    else if (cab->cls == QLatin1String("N"))
                        refuse(r, QStringLiteral("ARUKOD"), QStringLiteral("a(z) %1 kabin nem szabad: a(z) %2. sz. szerződésen van kint")
                                                                .arg(code).arg(cab->bizonylat));
                    else if (cab->cls != QLatin1String("I"))
                        refuse(r, QStringLiteral("ARUKOD"), QStringLiteral("a(z) %1 kabin nem kiadható állapotú").arg(code));
                    else if (!group.isEmpty() && cab->group != group)
                        refuse(r, QStringLiteral("ARUKOD"), QStringLiteral("a(z) %1 kabin %2 csoportú, a sor %3")
                                                                .arg(code, cab->group, group));
                }
                // Its line: the rows alike in every line column.
                QStringList key;
                for (const QString& col : lineColumns()) key << (col == QLatin1String("ARUCSOPORT") ? group : v(col));
                const QString k = key.join(QChar(0x1F));
                auto line = std::find_if(c.lines.begin(), c.lines.end(), [&](const Line& l) { return l.key == k; });
                if (line == c.lines.end()) c.lines.push_back(Line{k, {i}});
                else line->rows << i;
            }
        }
        tx->commit();
    }
    // A contract with a refused row is refused whole: its other rows say so.
    for (Contract& c : contracts) {
        int bad = 0;
        for (const Row& r : c.rows) bad = bad ? bad : (r.refused ? r.rec->line : 0);
        if (!bad) continue;
        c.refused = true;
        for (Row& r : c.rows)
            if (!r.refused)
                refuse(r, QString(), QStringLiteral("a(z) %1 szerződés más sora hibás (%2. sor)").arg(c.ref).arg(bad));
    }
    std::sort(res.refused.begin(), res.refused.end(),
              [](const CsvRefusal& a, const CsvRefusal& b) { return a.line < b.line; });
    for (const Contract& c : contracts) res.contractsAccepted += c.refused ? 0 : 1;
    const bool store = !options.dryRun && (res.refused.isEmpty() || options.skipBad);

    // ---- each contract through contract entry's session and store
    ContractSession s(conn, who);
    if (!options.today.isEmpty()) s.setToday(options.today);
    int done = 0;
    for (Contract& c : contracts) {
        if (progress) progress(done++, int(contracts.size()));
        if (c.refused || c.rows.isEmpty()) continue;
        // A dry run enters (without storing) the contracts whose customer and site exist.
        if (!store && !(options.dryRun && !c.newCustomer && !c.newSite)) continue;
        Row& first = c.rows.first();
        auto hv = [&](const char* col) { return first.v.value(QLatin1String(col)); };
        bool madeCustomer = false, madeSite = false;
        try {
            if (store && (c.newCustomer || c.newSite)) {
                vl::db::TxScope tx(conn, nullptr);
                if (c.newCustomer) {
                    Customer n = CustomerService::newCustomer();
                    n.nev = hv("NEV"); n.adoszam = hv("ADOSZAM"); n.irszam = hv("IRSZAM"); n.varos = hv("VAROS");
                    n.utca = hv("UTCA"); n.telefon = hv("TELEFON"); n.email = hv("EMAIL"); n.fizmod = c.fizmod;
                    // A customer of the file made by an earlier contract of it.
                    const QList<Customer> same = CustomerService::byNameAndTaxNumber(*tx, n.nev, n.adoszam);
                    QString found = same.isEmpty() ? QString() : same.first().kod.trimmed();
                    if (found.isEmpty()) {
                        const auto r = CustomerService::storeCustomer(conn, &tx.tx(), n, vl::customers::DuplicatePolicy::Allow);
                        if (!r.ok) throw vl::RuleRefusal(flat(r.errors.isEmpty() ? r.messages : r.errors));
                        found = r.key;
                        madeCustomer = true;
                    }
                    c.customer = found;
                }
                if (!madeCustomer) c.site = siteOf(*tx, c.customer, first.v);
                if (c.site.isEmpty()) {
                    Site st;
                    st.ugyfelkod = c.customer;
                    st.nev = hv("CIM_NEV"); st.irszam = hv("CIM_IRSZAM"); st.varos = hv("CIM_VAROS"); st.utca = hv("CIM_UTCA");
                    st.szemely = hv("CIM_SZEMELY"); st.telefon = hv("CIM_TELEFON");
                    const auto r = CustomerService::storeSite(conn, &tx.tx(), st);
                    if (!r.ok) throw vl::RuleRefusal(flat(r.errors.isEmpty() ? r.messages : r.errors));
                    c.site = r.key;
                    madeSite = true;
                }
                tx.commit();
            }
            s.openNext();
            HeaderFields h;
            h.ugyfelkod = c.customer;
            h.ugyfelcim = c.site;
            h.fizmod = c.fizmod;
            h.bermod = c.bermod;
            h.berkezd = c.berkezd;
            h.berveg = c.berveg;
            h.szerzodes = c.ref;
            h.komment = hv("KOMMENT");
            s.setHeader(h);
            s.setBroughtIn(c.fizetve);
            Outcome o = s.validateHeader();
            if (!o.ok) throw vl::RuleRefusal(flat(o.messages));
            int lines = 0, cabins = 0;
            for (const Line& l : c.lines) {
                const Row& r0 = c.rows[l.rows.first()];
                bool sameReturn = true;
                for (int i : l.rows) sameReturn = sameReturn && c.rows[i].vszall == r0.vszall;
                o = settled(s.addLine(lineInput(r0, int(l.rows.size()), r0.kiszall, sameReturn ? r0.vszall : QString(),
                                                groups)));
                if (!o.ok) throw vl::RuleRefusal(QStringLiteral("%1. sor: ").arg(r0.rec->line) + flat(o.messages));
                const qint64 t = o.line;
                RowSet items = s.items();
                QList<qint64> numbers;
                while (items.next())
                    if (items.integer(QStringLiteral("TETELSOR")) == t) numbers << items.integer(QStringLiteral("SORSZAM"));
                for (int n = 0; n < l.rows.size() && n < numbers.size(); ++n) {
                    const Row& r = c.rows[l.rows[n]];
                    ItemInput it = s.itemFields(t, numbers[n]);
                    it.arukod = r.v.value(QStringLiteral("ARUKOD"));
                    it.kiszall = r.kiszall;
                    it.vszallt = r.vszall;
                    o = settled(s.storeItem(t, numbers[n], it));
                    if (!o.ok) throw vl::RuleRefusal(QStringLiteral("%1. sor: ").arg(r.rec->line) + flat(o.messages));
                    ++cabins;
                }
                ++lines;
            }
            o = s.markPastDeliveriesDone();
            if (!o.ok) throw vl::RuleRefusal(flat(o.messages));
            if (store) {
                const ContractSaveResult r = ContractSave::StoreNow(s);
                res.stored << r.bizonylat;
                res.linesStored += lines;
                res.cabinsStored += cabins;
                res.customersCreated += madeCustomer ? 1 : 0;
                res.sitesCreated += madeSite ? 1 : 0;
            }
        } catch (const vl::Error& e) {
            // Nothing of this contract is stored; a customer or site made for it goes again.
            try {
                if (madeCustomer) CustomerService::deleteCustomer(conn, nullptr, c.customer);
                else if (madeSite) CustomerService::deleteSite(conn, nullptr, c.site, c.customer);
            } catch (const vl::Error&) {
            }
            if (c.newCustomer) c.customer.clear();
            if (c.newSite || c.newCustomer) c.site.clear();
            const QString why = QStringLiteral("a(z) %1 szerződés nem tárolható: %2").arg(c.ref, flat({e.text()}));
            if (store && !options.skipBad) {
                res.storeFailure = QStringLiteral("%1. sor: %2. Az előtte álló %3 szerződés tárolva maradt, a többi nem került tárolásra.")
                                       .arg(first.rec->line).arg(why).arg(res.stored.size());
                break;
            }
            res.refused << CsvRefusal{first.rec->line, QString(), why};
            c.refused = true;
            --res.contractsAccepted;
        }
    }
    s.discard();
    if (progress) progress(int(contracts.size()), int(contracts.size()));
    res.ok = res.refused.isEmpty() && res.storeFailure.isEmpty();
    return res;
}

} // namespace vl::rental
