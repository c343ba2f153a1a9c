#include "customers/CustomerImport.h"

#include "customers/CustomerService.h"
#include "db/TestHook.h"
#include "db/TxScope.h"
#include "exchange/CsvReader.h"

#include <QHash>
#include <QSet>

namespace vl::customers {

namespace {

void setCustomerField(Customer& c, const QString& col, const QString& v) {
    if (col == QLatin1String("NEV")) c.nev = v;
    else if (col == QLatin1String("NEV2")) c.nev2 = v;
    else if (col == QLatin1String("IRSZAM")) c.irszam = v;
    else if (col == QLatin1String("VAROS")) c.varos = v;
    else if (col == QLatin1String("UTCA")) c.utca = v;
    else if (col == QLatin1String("TELEFON")) c.telefon = v;
    else if (col == QLatin1String("MOBILTEL")) c.mobiltel = v;
    else if (col == QLatin1String("EMAIL")) c.email = v;
    else if (col == QLatin1String("ADOSZAM")) c.adoszam = v;
    else if (col == QLatin1String("FIZMOD")) c.fizmod = v;
    else if (col == QLatin1String("AKTIV")) c.aktiv = v.isEmpty() ? QStringLiteral("I") : v.toUpper();
    else if (col == QLatin1String("ESZAMLA")) c.eszamla = v.toUpper();
    else if (col == QLatin1String("KOMMENTALT")) c.kommentalt = v;
    else if (col == QLatin1String("KOMMENTSPEC")) c.kommentspec = v;
    else if (col == QLatin1String("LIRSZAM")) c.lirszam = v;
    else if (col == QLatin1String("LVAROS")) c.lvaros = v;
    else if (col == QLatin1String("LUTCA")) c.lutca = v;
}

void setSiteField(Site& s, const QString& col, const QString& v) {
    if (col == QLatin1String("CIM_NEV")) s.nev = v;
    else if (col == QLatin1String("CIM_IRSZAM")) s.irszam = v;
    else if (col == QLatin1String("CIM_VAROS")) s.varos = v;
    else if (col == QLatin1String("CIM_UTCA")) s.utca = v;
    else if (col == QLatin1String("CIM_SZEMELY")) s.szemely = v;
    else if (col == QLatin1String("CIM_TELEFON")) s.telefon = v;
    else if (col == QLatin1String("CIM_KOMMENT")) s.komment = v;
    else if (col == QLatin1String("CIM_WEKOMMENT")) s.wekomment = v;
}

} // namespace

QString importTooLargeText(qint64 size) { return vl::exchange::csvTooLargeText(size, kImportMaxBytes); }

QStringList importCustomerColumns() {
    return {QStringLiteral("NEV"),     QStringLiteral("NEV2"),       QStringLiteral("IRSZAM"),
            QStringLiteral("VAROS"),   QStringLiteral("UTCA"),       QStringLiteral("TELEFON"),
            QStringLiteral("MOBILTEL"), QStringLiteral("EMAIL"),     QStringLiteral("ADOSZAM"),
            QStringLiteral("FIZMOD"),  QStringLiteral("AKTIV"),      QStringLiteral("ESZAMLA"),
            QStringLiteral("KOMMENTALT"), QStringLiteral("KOMMENTSPEC"), QStringLiteral("LIRSZAM"),
            QStringLiteral("LVAROS"),  QStringLiteral("LUTCA")};
}

QStringList importSiteColumns() {
    return {QStringLiteral("CIM_NEV"),     QStringLiteral("CIM_IRSZAM"),  QStringLiteral("CIM_VAROS"),
            QStringLiteral("CIM_UTCA"),    QStringLiteral("CIM_SZEMELY"), QStringLiteral("CIM_TELEFON"),
            QStringLiteral("CIM_KOMMENT"), QStringLiteral("CIM_WEKOMMENT")};
}

QStringList ImportResult::lines(const ImportOptions& o) const {
    QStringList l;
    if (!fatal.isEmpty()) {
        l << fatal << QStringLiteral("Semmi nem került tárolásra.");
        return l;
    }
    l << QStringLiteral("Kódolás: %1, adatsorok: %2").arg(encoding).arg(rows);
    l << QStringLiteral("Elfogadott sorok: %1 (%2 ügyfél, %3 szállítási cím)").arg(accepted).arg(customers).arg(sites);
    l << QStringLiteral("Elutasított sorok: %1").arg(refused.size());
    for (const ImportRefusal& r : refused) l << QStringLiteral("  %1. sor: %2").arg(r.line).arg(r.reason);
    if (!refused.isEmpty()) l << QStringLiteral("Semmi nem került tárolásra.");
    else if (rows == 0) l << QStringLiteral("A fájlban a fejlécen kívül nincs adatsor: semmi nem került tárolásra.");
    else if (o.dryRun) l << QStringLiteral("Próbafuttatás (--dry-run): semmi nem került tárolásra.");
    else l << QStringLiteral("Tárolva.");
    return l;
}

ImportResult ImportCustomers(vl::db::Connection& conn, const QByteArray& bytes, const ImportOptions& options) {
    ImportResult res;
    const QStringList custCols = importCustomerColumns(), siteCols = importSiteColumns();
    const vl::exchange::CsvTable csv =
        vl::exchange::ReadCsv(bytes, {kImportMaxBytes, kImportMaxRows, kImportMaxColumns}, custCols + siteCols);
    res.encoding = csv.encoding;
    if (!csv.ok()) {
        res.fatal = csv.fatal;
        return res;
    }
    const QStringList& header = csv.header;
    QStringList missing;
    for (const char* need : {"NEV", "FIZMOD"})
        if (!header.contains(QLatin1String(need))) missing << QString::fromLatin1(need);
    if (!header.contains(QStringLiteral("TELEFON")) && !header.contains(QStringLiteral("MOBILTEL")))
        missing << QStringLiteral("TELEFON vagy MOBILTEL");
    bool anySite = false;
    for (const QString& h : header) anySite = anySite || siteCols.contains(h);
    if (anySite)
        for (const char* need : {"CIM_VAROS", "CIM_UTCA", "CIM_SZEMELY", "CIM_TELEFON"})
            if (!header.contains(QLatin1String(need))) missing << QString::fromLatin1(need);
    if (!missing.isEmpty()) {
        res.fatal = QStringLiteral("Hiányzó oszlop a fejlécben: %1").arg(missing.join(QStringLiteral(", ")));
        return res;
    }

    vl::db::TxScope tx(conn, nullptr);
    QHash<QString, int> namesInFile; // upper-cased name -> line it first came on
    QString groupValues;             // the customer columns of the current customer
    QString groupKey;                // its key ("" when refused)
    bool groupRefused = false;
    int groupLine = 0;
    const DuplicatePolicy policy = options.allowDuplicates ? DuplicatePolicy::Allow : DuplicatePolicy::Refuse;
    for (const vl::exchange::CsvRecord& rec : csv.rows) {
        ++res.rows;
        if (rec.fields.size() != header.size()) {
            res.refused << ImportRefusal{rec.line, QStringLiteral("%1 mező van benne, a fejlécben %2")
                                                       .arg(rec.fields.size()).arg(header.size())};
            groupValues.clear();
            continue;
        }
        Customer c = CustomerService::newCustomer();
        Site s;
        QStringList custValues;
        bool siteGiven = false;
        for (int i = 0; i < header.size(); ++i) {
            const QString v = vl::exchange::CsvValue(rec, i);
            if (custCols.contains(header.at(i))) {
                setCustomerField(c, header.at(i), v);
                custValues << header.at(i) + QLatin1Char('=') + v;
            } else {
                setSiteField(s, header.at(i), v);
                siteGiven = siteGiven || !v.isEmpty();
            }
        }
        const QString values = custValues.join(QChar(0x1F));
        const bool sameCustomer = !groupValues.isEmpty() && values == groupValues;
        if (!sameCustomer) {
            groupValues = values;
            groupKey.clear();
            groupRefused = false;
            groupLine = rec.line;
            QStringList reasons;
            if (c.aktiv != QLatin1String("I") && c.aktiv != QLatin1String("N"))
                reasons << QStringLiteral("Az AKTIV értéke csak I vagy N lehet");
            if (!c.eszamla.isEmpty() && c.eszamla != QLatin1String("I") && c.eszamla != QLatin1String("N"))
                reasons << QStringLiteral("Az ESZAMLA értéke csak I, N vagy üres lehet");
            const QString upper = c.nev.trimmed().toUpper();
            if (!options.allowDuplicates && !upper.isEmpty() && namesInFile.contains(upper))
                reasons << QStringLiteral("Ez a név a fájl %1. sorában már szerepelt").arg(namesInFile.value(upper));
            if (reasons.isEmpty()) {
                const StoreResult sr = CustomerService::storeCustomer(conn, &tx.tx(), c, policy);
                if (sr.outcome == StoreResult::Outcome::Invalid) reasons << sr.errors;
                else if (!sr.ok) {
                    QStringList where;
                    for (const Customer& o : sr.sameName) where << QStringLiteral("%1 (kód: %2)").arg(o.nev, o.kod);
                    reasons << QStringLiteral("Már van ilyen nevű ügyfél: %1").arg(where.join(QStringLiteral(", ")));
                } else {
                    groupKey = sr.key;
                    ++res.customers;
                }
            }
            if (!upper.isEmpty() && !namesInFile.contains(upper)) namesInFile.insert(upper, rec.line);
            if (!reasons.isEmpty()) {
                groupRefused = true;
                res.refused << ImportRefusal{rec.line, reasons.join(QStringLiteral("; "))};
                continue;
            }
        } else if (groupRefused) {
            res.refused << ImportRefusal{rec.line, QStringLiteral("Az ügyfele hibás (%1. sor)").arg(groupLine)};
            continue;
        }
        if (siteGiven) {
            s.ugyfelkod = groupKey;
            const StoreResult sr = CustomerService::storeSite(conn, &tx.tx(), s);
            if (!sr.ok) {
                res.refused << ImportRefusal{rec.line, sr.errors.join(QStringLiteral("; "))};
                continue;
            }
            ++res.sites;
        }
        ++res.accepted;
    }
    res.ok = res.refused.isEmpty();
    if (res.ok && !options.dryRun && res.rows > 0) {
        vl::db::testHook("customer-import:stored");
        tx.commit();
        res.rowsWritten = res.customers + res.sites;
    }
    // Otherwise the scope rolls everything back.
    return res;
}

} // namespace vl::customers
