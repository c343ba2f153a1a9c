#include "rental/OrdersWorkspace.h"

#include "db/TxScope.h"
#include "rental/Billing.h"
#include "rental/ContractConflict.h"
#include "rental/ProductRegister.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QCollator>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <limits>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("OrdersWorkspace");

// An address of UGYFELCIM C in one text; a missing part stays empty.
const char* const kAddress = "COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ', ' || COALESCE(C.UTCA, '')";

// The lists join the customer's contracts as "F.BIZONYLAT + 0": the plan then
// starts from the customer (its index on FORGFEJ) and reaches the lines, items
// and periods by their keys, instead of scanning those tables whole.

// The site and status conditions: fixed texts, the values bound.
QString filterText(const OrderFilter& f, Params& p, const QString& alias = QStringLiteral("F")) {
    QString s;
    if (!f.siteKey.trimmed().isEmpty()) {
        s += QStringLiteral(" AND %1.UGYFELCIM = :ugyfelcim").arg(alias);
        p.push_back({QStringLiteral("ugyfelcim"), f.siteKey.trimmed()});
    }
    if (!f.statusCode.trimmed().isEmpty()) {
        s += QStringLiteral(" AND %1.STATUS = :status").arg(alias);
        p.push_back({QStringLiteral("status"), f.statusCode.trimmed()});
    }
    return s;
}

// The contract a line store works on, read inside the store's transaction.
struct Head {
    qint64 bizonylat = 0;
    qint64 rv = 0;
    QString statusName;
    bool modifiable = false;
    QString kp;
    ContractTerms terms;
};

Head readHead(Transaction& tx, qint64 bizonylat) {
    RowSet rs = tx.query(QStringLiteral(
        "SELECT F.STATUS, F.AKTIV, F.BERMOD, F.RDB$RECORD_VERSION RV, SR.NEV STATUSNEV, SR.MODOSITHATO,"
        " BM.NEV BERMODNEV, BM.KOTNAP, FM.KP FROM FORGFEJ F LEFT JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
        " LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
        " WHERE F.BIZONYLAT = :b AND F.VERZIO = 1"),
        {{QStringLiteral("b"), bizonylat}});
    if (!rs.next() || rs.text(QStringLiteral("AKTIV")).trimmed() != QLatin1String("I"))
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szerződés: %1").arg(bizonylat), kRule);
    Head h;
    h.bizonylat = bizonylat;
    h.rv = rs.integer(QStringLiteral("RV"));
    h.statusName = rs.text(QStringLiteral("STATUSNEV")).trimmed();
    if (h.statusName.isEmpty()) h.statusName = rs.text(QStringLiteral("STATUS")).trimmed();
    h.modifiable = rs.text(QStringLiteral("MODOSITHATO")).trimmed() == QLatin1String("I");
    h.kp = rs.text(QStringLiteral("KP")).trimmed();
    h.terms.bizonylat = bizonylat;
    h.terms.verzio = 1;
    h.terms.bermod = rs.text(QStringLiteral("BERMOD")).trimmed();
    h.terms.bermodNev = rs.text(QStringLiteral("BERMODNEV")).trimmed();
    h.terms.fixedTerm = rs.text(QStringLiteral("KOTNAP")).trimmed() == QLatin1String("I");
    return h;
}

// The contract of a request: its own, or for a new line the site's newest
// open modifiable one. Refuses a contract that may not be changed or that
// changed since it was shown.
Head headOf(Transaction& tx, const LineStoreRequest& rq) {
    qint64 b = rq.bizonylat;
    if (rq.tetelsor <= 0) {
        const NewLineTarget t = OrdersWorkspace::FindNewLineTarget(tx, rq.customerKey, rq.siteKey);
        if (!t.found) throw vl::RuleRefusal(OrdersWorkspace::NoOrderText(), kRule);
        b = t.bizonylat;
    }
    Head h = readHead(tx, b);
    if (!h.modifiable) throw vl::RuleRefusal(OrdersWorkspace::NotModifiableText(h.statusName), kRule);
    if (rq.loadedRecordVersion != 0 && rq.tetelsor > 0 && h.rv != rq.loadedRecordVersion) refuseContractChanged(kRule);
    return h;
}

LineItemRules rulesFor(const GeneratorContext& ctx, const Head& h, const QString& today) {
    LineItemOptions o;
    o.storedContract = true;
    o.cancelRemoved = true;
    o.today = today;
    return LineItemRules(ctx, RentalTables::stored(), h.terms, o);
}

// The activities of a contract by identity: kind and state class.
struct ActRow {
    QString kind;
    QChar cls;
};
using ActSnapshot = QHash<QString, ActRow>;

ActSnapshot activities(Transaction& tx, const GeneratorContext& ctx, qint64 b) {
    ActSnapshot out;
    RowSet rs = tx.query(QStringLiteral("SELECT TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT FROM FORGTEV"
                                        " WHERE BIZONYLAT = :b AND VERZIO = 1"),
                         {{QStringLiteral("b"), b}});
    while (rs.next()) {
        const QString key = QStringLiteral("%1/%2/%3/%4")
                                .arg(rs.integer(QStringLiteral("TETELSOR")))
                                .arg(rs.integer(QStringLiteral("SORSZAM")))
                                .arg(rs.text(QStringLiteral("DATUM")).trimmed())
                                .arg(rs.integer(QStringLiteral("TEVSORSZAM")));
        out.insert(key, {rs.text(QStringLiteral("TEVKOD")).trimmed(), ctx.classOf(rs.text(QStringLiteral("TEVALLAPOT")))});
    }
    return out;
}

QString itemOfKey(const QString& key) { return key.section(QLatin1Char('/'), 0, 1); }

// What changed between two snapshots of a contract's activities.
void diff(const GeneratorContext& ctx, const ActSnapshot& before, const ActSnapshot& after, StoreSummary& s) {
    QHash<QString, int> gone, came;   // "item|kind" -> count, other kinds than maintenance
    for (auto it = before.begin(); it != before.end(); ++it) {
        const auto a = after.constFind(it.key());
        const bool maint = ctx.maintenanceKinds.contains(it->kind);
        if (a == after.constEnd()) {
            if (maint) ++s.visitsRemoved;
            else ++gone[itemOfKey(it.key()) + QLatin1Char('|') + it->kind];
        } else if (a->cls == u'X' && it->cls != u'X') {
            ++s.activitiesCancelled;
        }
    }
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (before.contains(it.key())) continue;
        if (ctx.maintenanceKinds.contains(it->kind)) ++s.visitsWritten;
        else ++came[itemOfKey(it.key()) + QLatin1Char('|') + it->kind];
    }
    // A row of a kind that left one day of an item and came to another moved.
    for (auto it = gone.begin(); it != gone.end(); ++it) {
        const int c = came.value(it.key());
        const int moved = std::min(c, it.value());
        s.activitiesMoved += moved;
        s.activitiesRemoved += it.value() - moved;
        if (c) came[it.key()] = c - moved;
    }
    for (int c : std::as_const(came)) s.activitiesWritten += c;
}

// The line's values that price or schedule it.
QString lineSignature(Transaction& tx, qint64 b, qint64 t) {
    RowSet rs = tx.query(QStringLiteral("SELECT MENNYISEG, NETTOAR, KISZALL, VSZALL, HKSZCSPSZV, PERIODUS, KARBAR1,"
                                        " KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, BERMENNY, BERMEGYSEG"
                                        " FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = 1 AND TETELSOR = :t"),
                         {{QStringLiteral("b"), b}, {QStringLiteral("t"), t}});
    if (!rs.next()) return QString();
    QStringList cells;
    for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString().trimmed();
    return cells.join(QLatin1Char('|'));
}

} // namespace

// ---------------------------------------------------------------- summary

StoreSummary& StoreSummary::operator+=(const StoreSummary& o) {
    visitsWritten += o.visitsWritten;
    visitsRemoved += o.visitsRemoved;
    activitiesWritten += o.activitiesWritten;
    activitiesMoved += o.activitiesMoved;
    activitiesCancelled += o.activitiesCancelled;
    activitiesRemoved += o.activitiesRemoved;
    periodsWritten += o.periodsWritten;
    periodsUpdated += o.periodsUpdated;
    periodsRemoved += o.periodsRemoved;
    contracts += o.contracts;
    return *this;
}

QString StoreSummary::line() const {
    return QStringLiteral("Karbantartás: %1 új, %2 törölt; tevékenység: %3 új, %4 áthelyezett, %5 sztornózott, %6 törölt;"
                          " fizetési időszak: %7 új, %8 módosított, %9 törölt.")
        .arg(visitsWritten)
        .arg(visitsRemoved)
        .arg(activitiesWritten)
        .arg(activitiesMoved)
        .arg(activitiesCancelled)
        .arg(activitiesRemoved)
        .arg(periodsWritten)
        .arg(periodsUpdated)
        .arg(periodsRemoved);
}

// ---------------------------------------------------------------- lists
//
// The lists read the customer's rows by their keys without joining the
// dictionaries and without a server sort: a sort in the server carries every
// column of a row (its texts at full declared length), which costs more than
// reading the rows. The names come from the dictionaries, read once per list
// (small tables, and of the sites only the customer's), and the rows are put
// in the list's order here, text keys compared with the database's collation
// (Hungarian), empty values first as the server sorts them.

namespace {

// A code as a join compares it: trailing blanks do not count.
QString codeOf(const QVariant& v) {
    QString s = v.toString();
    while (s.endsWith(QLatin1Char(' '))) s.chop(1);
    return s;
}

// A dictionary read once: its value columns as the server describes them and
// its rows by code (the first column of the statement).
struct Dict {
    QList<vl::db::Column> cols;
    QHash<QString, QVariantList> rows;
    QVariantList missing;   // the values of a code not found (a LEFT JOIN's nulls)

    void add(const RowSet& rs) {
        if (cols.isEmpty()) {
            cols = rs.columns().mid(1);
            for (int c = 0; c < cols.size(); ++c) missing.append(QVariant());
        }
        for (int r = 0; r < rs.rowCount(); ++r) {
            const QVariantList& row = rs.row(r);
            rows.insert(codeOf(row.at(0)), row.mid(1));
        }
    }
    const QVariantList& of(const QVariant& code) const {
        if (code.isNull()) return missing;
        const auto it = rows.constFind(codeOf(code));
        return it == rows.constEnd() ? missing : *it;
    }
    int col(const QString& name) const {
        for (int c = 0; c < cols.size(); ++c)
            if (cols.at(c).name.compare(name, Qt::CaseInsensitive) == 0) return c;
        throw vl::db::DbError(QStringLiteral("Nincs ilyen oszlop: %1").arg(name));
    }
};

Dict readDict(Transaction& tx, const QString& sql) {
    Dict d;
    d.add(tx.query(sql));
    return d;
}

// The sites a list shows: the customer's own, and any other a contract names
// (read by its code). The values: CIM, KOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY,
// TELEFON, KOMMENT; an unknown site has the address of empty parts.
const QString kSiteColumns = QStringLiteral("SELECT C.KOD, %1 CIM, C.KOD, C.NEV NEV, C.IRSZAM, C.VAROS, C.UTCA,"
                                            " C.SZEMELY, C.TELEFON, C.KOMMENT FROM UGYFELCIM C");

Dict readSites(Transaction& tx, const QString& customerKey, const RowSet& rows, int siteCol) {
    Dict d;
    const QString select = kSiteColumns.arg(QString::fromLatin1(kAddress));
    d.add(tx.query(select + QStringLiteral(" WHERE C.UGYFELKOD = :ugyfelkod"),
                   {{QStringLiteral("ugyfelkod"), customerKey.trimmed()}}));
    QSet<QString> asked;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const QVariant& v = rows.at(r, siteCol);
        if (v.isNull()) continue;
        const QString code = codeOf(v);
        if (d.rows.contains(code) || asked.contains(code)) continue;
        asked.insert(code);
        d.add(tx.query(select + QStringLiteral(" WHERE C.KOD = :kod"), {{QStringLiteral("kod"), code}}));
    }
    if (d.cols.isEmpty()) d.add(tx.query(select + QStringLiteral(" WHERE 1 = 0")));
    d.missing[0] = QStringLiteral(" , ");   // COALESCE of the missing parts
    return d;
}

// One column of a list: a column of the rows read, or a value of a dictionary
// looked up by a column of the rows read.
struct Out {
    int col = -1;                 // column of the rows (or of the dictionary)
    const Dict* dict = nullptr;   // the dictionary, or none
    int keyCol = -1;              // the code's column in the rows
};

Out own(const RowSet& rs, const QString& name) {
    const int c = rs.indexOf(name);
    if (c < 0) throw vl::db::DbError(QStringLiteral("Nincs ilyen oszlop: %1").arg(name));
    return {c, nullptr, -1};
}
Out looked(const Dict& d, const QString& name, const RowSet& rs, const QString& key) {
    const int k = rs.indexOf(key);
    if (k < 0) throw vl::db::DbError(QStringLiteral("Nincs ilyen oszlop: %1").arg(key));
    return {d.col(name), &d, k};
}

// A sort key of a list, ascending: a text by the collation, or a number.
struct SortKey {
    int outCol;
    bool text;
};

// The rows of `rs` as the list shows them: the columns `outs` in their order,
// sorted by `keys` (columns of the result).
RowSet compose(const RowSet& rs, const std::vector<Out>& outs, const std::vector<SortKey>& keys) {
    QList<vl::db::Column> cols;
    for (const Out& o : outs) cols.append(o.dict ? o.dict->cols.at(o.col) : rs.columns().at(o.col));
    std::vector<QVariantList> rows;
    rows.reserve(size_t(rs.rowCount()));
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QVariantList& src = rs.row(r);
        QVariantList row;
        row.reserve(int(outs.size()));
        for (const Out& o : outs) row.append(o.dict ? o.dict->of(src.at(o.keyCol)).at(o.col) : src.at(o.col));
        rows.push_back(std::move(row));
    }
    // The texts of each text key ranked once by the collation (empty: 0, first).
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Hungarian, QLocale::Hungary));
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    std::vector<QHash<QString, int>> ranks(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        if (!keys[k].text) continue;
        QStringList distinct;
        QSet<QString> seen;
        for (const QVariantList& row : rows) {
            const QVariant& v = row.at(keys[k].outCol);
            if (v.isNull()) continue;
            const QString s = codeOf(v);
            if (!seen.contains(s)) { seen.insert(s); distinct << s; }
        }
        std::sort(distinct.begin(), distinct.end(),
                  [](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        int rank = 0;
        for (int i = 0; i < distinct.size(); ++i) {
            if (i == 0 || collator.compare(distinct.at(i - 1), distinct.at(i)) != 0) ++rank;
            ranks[k].insert(distinct.at(i), rank);
        }
    }
    std::vector<std::vector<qint64>> sortKeys(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        auto& sk = sortKeys[r];
        for (size_t k = 0; k < keys.size(); ++k) {
            const QVariant& v = rows[r].at(keys[k].outCol);
            if (v.isNull()) sk.push_back(std::numeric_limits<qint64>::min());
            else if (keys[k].text) sk.push_back(ranks[k].value(codeOf(v)));
            else sk.push_back(v.toLongLong());
        }
    }
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return sortKeys[a] < sortKeys[b]; });
    std::vector<QVariantList> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order) sorted.push_back(std::move(rows[i]));
    return RowSet(cols, std::move(sorted));
}

} // namespace

QString OrdersWorkspace::CustomerChooserSql(bool activeOnly, bool runningOnly) {
    QString sql = QStringLiteral("SELECT KOD, NEV FROM UGYFEL");
    if (activeOnly || runningOnly) {
        sql += QStringLiteral(" WHERE ");
        if (activeOnly) sql += QStringLiteral("AKTIV = 'I'");
        if (activeOnly && runningOnly) sql += QStringLiteral(" AND ");
        if (runningOnly)
            sql += QStringLiteral("0 < (SELECT COUNT(*) FROM FORGFEJ F WHERE F.UGYFELKOD = UGYFEL.KOD AND F.STATUS = 'FO')");
    }
    return sql + QStringLiteral(" ORDER BY NEV, KOD");
}

RowSet OrdersWorkspace::CustomerChooser(Transaction& tx, bool activeOnly, bool runningOnly) {
    return tx.query(CustomerChooserSql(activeOnly, runningOnly));
}

RowSet OrdersWorkspace::SummaryLines(Transaction& tx, const OrderFilter& f) {
    Params p{{QStringLiteral("ugyfelkod"), f.customerKey.trimmed()}};
    const QString filter = filterText(f, p);
    // Summed per group code here, per group name (as shown) below.
    const RowSet rs = tx.query(QStringLiteral("SELECT S.ARUCSOPORT, SUM(S.MENNYISEG - S.VMENNYISEG) BERLETBEN FROM FORGFEJ F"
                                              " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0 AND S.VERZIO = F.VERZIO"
                                              " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :ugyfelkod%1"
                                              " GROUP BY S.ARUCSOPORT")
                                   .arg(filter),
                               p);
    const Dict groups = readDict(tx, QStringLiteral("SELECT KOD, NEV CSOPORTNEV FROM SZ_ARUCSOP"));
    QList<vl::db::Column> cols{groups.cols.at(0), rs.columns().at(1)};
    QStringList names;
    QHash<QString, QVariant> sums;
    QHash<QString, QVariant> firstName;
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QVariant code = rs.at(r, 0);
        if (code.isNull()) continue;
        const auto g = groups.rows.constFind(codeOf(code));
        if (g == groups.rows.constEnd()) continue;   // a line of an unknown group is not counted
        const QVariant name = g->at(0);
        const QString key = name.isNull() ? QString() : codeOf(name);
        if (!firstName.contains(key)) {
            firstName.insert(key, name);
            names << key;
            sums.insert(key, QVariant());
        }
        const QVariant v = rs.at(r, 1);
        if (v.isNull()) continue;
        QVariant& s = sums[key];
        s = s.isNull() ? v : QVariant(s.toLongLong() + v.toLongLong());
    }
    std::vector<QVariantList> rows;
    for (const QString& key : std::as_const(names)) rows.push_back({firstName.value(key), sums.value(key)});
    return compose(RowSet(cols, std::move(rows)), {{0, nullptr, -1}, {1, nullptr, -1}}, {{0, true}});
}

RowSet OrdersWorkspace::Lines(Transaction& tx, const OrderFilter& f) {
    Params p{{QStringLiteral("ugyfelkod"), f.customerKey.trimmed()}};
    const QString filter = filterText(f, p);
    const RowSet rs = tx.query(QStringLiteral("SELECT F.UGYFELCIM, S.MENNYISEG - S.VMENNYISEG BERLETBEN, S.*, F.FIZMOD,"
                                              " F.RDB$RECORD_VERSION RV, F.BERMOD F_BERMOD, F.STATUS F_STATUS FROM FORGFEJ F"
                                              " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0 AND S.VERZIO = F.VERZIO"
                                              " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :ugyfelkod%1")
                                   .arg(filter),
                               p);
    const Dict modes = readDict(tx, QStringLiteral("SELECT KOD, NEV BERMOD, KOTNAP FROM SZ_BERMOD"));
    const Dict groups = readDict(tx, QStringLiteral("SELECT KOD, NEV CSOPORTNEV FROM SZ_ARUCSOP"));
    const Dict payModes = readDict(tx, QStringLiteral("SELECT KOD, KP FROM SZ_FIZMOD"));
    const Dict states = readDict(tx, QStringLiteral("SELECT KOD, NEV STATUSNEV, MODOSITHATO FROM SZ_STATUSR"));
    const Dict sites = readSites(tx, f.customerKey, rs, 0);
    // F.UGYFELCIM, BERMOD, KOTNAP, CSOPORTNEV, BERLETBEN, S.*, CIM, F.FIZMOD, KP, STATUSNEV, MODOSITHATO, RV
    std::vector<Out> outs{own(rs, QStringLiteral("UGYFELCIM")),
                          looked(modes, QStringLiteral("BERMOD"), rs, QStringLiteral("F_BERMOD")),
                          looked(modes, QStringLiteral("KOTNAP"), rs, QStringLiteral("F_BERMOD")),
                          looked(groups, QStringLiteral("CSOPORTNEV"), rs, QStringLiteral("ARUCSOPORT")),
                          own(rs, QStringLiteral("BERLETBEN"))};
    const int fizmod = rs.columnCount() - 4;   // F.FIZMOD, RV, F_BERMOD, F_STATUS close the row
    for (int c = 2; c < fizmod; ++c) outs.push_back({c, nullptr, -1});
    outs.push_back(looked(sites, QStringLiteral("CIM"), rs, QStringLiteral("UGYFELCIM")));
    outs.push_back({fizmod, nullptr, -1});
    outs.push_back({0, &payModes, fizmod});
    outs.push_back(looked(states, QStringLiteral("STATUSNEV"), rs, QStringLiteral("F_STATUS")));
    outs.push_back(looked(states, QStringLiteral("MODOSITHATO"), rs, QStringLiteral("F_STATUS")));
    outs.push_back(own(rs, QStringLiteral("RV")));
    // By site, rental mode, contract and line.
    const int sBizonylat = 5 + rs.indexOf(QStringLiteral("BIZONYLAT")) - 2;
    const int sTetelsor = 5 + rs.indexOf(QStringLiteral("TETELSOR")) - 2;
    return compose(rs, outs, {{0, true}, {1, true}, {sBizonylat, false}, {sTetelsor, false}});
}

RowSet OrdersWorkspace::Products(Transaction& tx, const OrderFilter& f) {
    Params p{{QStringLiteral("ugyfelkod"), f.customerKey.trimmed()}};
    const QString filter = filterText(f, p);
    const RowSet rs = tx.query(QStringLiteral("SELECT F.UGYFELCIM, F.BIZONYLAT, F.VERZIO, F.FIZMOD F_FIZMOD,"
                                              " S.ARUCSOPORT, S.PERIODUS, S.SOFORKOD, S.NETTOAR,"
                                              " K.SOFORKOD SOFORKAB, K.KARBAR1, K.KARBAR2, K.KARBAR3, K.KARBAR4, K.KARBAR5,"
                                              " K.KARBAR6, K.KARBAR7, K.PERIODUS PERIODUSKAB, K.EGYEDI, K.KOMMENT KOMMENTKAB,"
                                              " CAST(S.BERMENNY AS VARCHAR(4)) || ' ' || COALESCE(S.BERMEGYSEG, '') BERMEGYSEG,"
                                              " K.HKSZCSPSZV, K.ARUKOD, K.KISZALL, K.VSZALL, K.TETELSOR, K.VSZALLT, K.SORSZAM"
                                              " FROM FORGFEJ F JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT + 0"
                                              " AND S.VERZIO = F.VERZIO"
                                              " JOIN FORGKABIN K ON K.BIZONYLAT = S.BIZONYLAT AND K.VERZIO = S.VERZIO"
                                              " AND K.TETELSOR = S.TETELSOR"
                                              " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X' AND F.UGYFELKOD = :ugyfelkod%1")
                                   .arg(filter),
                               p);
    const Dict groups = readDict(tx, QStringLiteral("SELECT KOD, NEV CSOPORTNEV FROM SZ_ARUCSOP"));
    const Dict patterns = readDict(tx, QStringLiteral("SELECT KOD, MEGNEVEZES FROM HKSZCSPSZV"));
    const Dict payModes = readDict(tx, QStringLiteral("SELECT KOD, NEV FIZMOD FROM SZ_FIZMOD"));
    const Dict sites = readSites(tx, f.customerKey, rs, 0);
    const QString site = QStringLiteral("UGYFELCIM");
    std::vector<Out> outs{own(rs, site),
                          looked(groups, QStringLiteral("CSOPORTNEV"), rs, QStringLiteral("ARUCSOPORT")),
                          own(rs, QStringLiteral("BIZONYLAT")),
                          own(rs, QStringLiteral("VERZIO")),
                          looked(patterns, QStringLiteral("MEGNEVEZES"), rs, QStringLiteral("HKSZCSPSZV")),
                          looked(payModes, QStringLiteral("FIZMOD"), rs, QStringLiteral("F_FIZMOD"))};
    for (const char* c : {"CIM", "KOD", "NEV", "IRSZAM", "VAROS", "UTCA", "SZEMELY", "TELEFON", "KOMMENT"})
        outs.push_back(looked(sites, QString::fromLatin1(c), rs, site));
    for (int c = rs.indexOf(QStringLiteral("ARUCSOPORT")); c < rs.columnCount(); ++c) outs.push_back({c, nullptr, -1});
    // By site, group name, contract, line, item and delivery day.
    const auto at = [&](const char* name) {
        const int c = rs.indexOf(QString::fromLatin1(name));
        for (int o = 0; o < int(outs.size()); ++o)
            if (!outs[size_t(o)].dict && outs[size_t(o)].col == c) return o;
        throw vl::db::DbError(QStringLiteral("Nincs ilyen oszlop: %1").arg(QString::fromLatin1(name)));
    };
    return compose(rs, outs,
                   {{0, true}, {1, true}, {at("BIZONYLAT"), false}, {at("TETELSOR"), false}, {at("SORSZAM"), false},
                    {at("KISZALL"), true}});
}

RowSet OrdersWorkspace::Payments(Transaction& tx, const OrderFilter& f) {
    Params p{{QStringLiteral("ugyfelkod"), f.customerKey.trimmed()}};
    const QString filter = filterText(f, p);
    const RowSet rs = tx.query(QStringLiteral("SELECT T.*, F.UGYFELCIM F_UGYFELCIM FROM FORGFIZ T"
                                              " JOIN FORGFEJ F ON F.BIZONYLAT + 0 = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
                                              " WHERE F.UGYFELKOD = :ugyfelkod%1")
                                   .arg(filter),
                               p);
    const Dict states = readDict(tx, QStringLiteral("SELECT KOD, NEV ALLAPOT FROM SZ_STATUST"));
    const int site = rs.columnCount() - 1;
    const Dict sites = readSites(tx, f.customerKey, rs, site);
    std::vector<Out> outs;
    for (int c = 0; c < site; ++c) outs.push_back({c, nullptr, -1});
    outs.push_back(looked(states, QStringLiteral("ALLAPOT"), rs, QStringLiteral("TEVALLAPOT")));
    outs.push_back({0, &sites, site});
    // By day and contract.
    return compose(rs, outs, {{rs.indexOf(QStringLiteral("DATUM")), true}, {rs.indexOf(QStringLiteral("BIZONYLAT")), false}});
}

RowSet OrdersWorkspace::Activities(Transaction& tx, qint64 bizonylat, qint64 verzio, qint64 tetelsor, qint64 sorszam,
                                   const QString& arukod, const QString& upTo) {
    return tx.query(QStringLiteral("SELECT SF.NEV SOFORNEV, S.NEV ALLAPOTNEV, ST.NEV TEVEKENYSEG, T.* FROM FORGTEV T"
                                   " LEFT JOIN SZ_SOFOR SF ON SF.KOD = T.SOFORKOD"
                                   " LEFT JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                                   " LEFT JOIN SZ_TEVEKENY ST ON ST.KOD = T.TEVKOD"
                                   " WHERE T.TEVKOD <> 'FIZ' AND T.BIZONYLAT = :bizonylat AND T.VERZIO = :verzio"
                                   " AND T.TETELSOR = :tetelsor AND T.ARUKOD = :arukod AND T.SORSZAM = :sorszam"
                                   " AND T.DATUM <= :datum ORDER BY T.DATUM DESC, T.TEVSORSZAM DESC"),
                    {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio},
                     {QStringLiteral("tetelsor"), tetelsor}, {QStringLiteral("arukod"), arukod},
                     {QStringLiteral("sorszam"), sorszam}, {QStringLiteral("datum"), upTo}});
}

// ---------------------------------------------------------------- a new line's contract

NewLineTarget OrdersWorkspace::FindNewLineTarget(Transaction& tx, const QString& customerKey, const QString& siteKey) {
    NewLineTarget t;
    RowSet rs = tx.query(QStringLiteral("SELECT FIRST 1 F.BIZONYLAT, F.RDB$RECORD_VERSION RV FROM FORGFEJ F"
                                        " JOIN SZ_STATUSR ST ON ST.KOD = F.STATUS"
                                        " WHERE F.UGYFELKOD = :ugyfelkod AND F.UGYFELCIM = :ugyfelcim AND F.VERZIO = 1"
                                        " AND F.AKTIV = 'I' AND F.STATUS <> 'X' AND ST.MODOSITHATO = 'I'"
                                        " ORDER BY F.BIZONYLAT DESC"),
                         {{QStringLiteral("ugyfelkod"), customerKey.trimmed()},
                          {QStringLiteral("ugyfelcim"), siteKey.trimmed()}});
    if (!rs.next()) return t;
    t.found = true;
    t.bizonylat = rs.integer(QStringLiteral("BIZONYLAT"));
    t.recordVersion = rs.integer(QStringLiteral("RV"));
    ContractTerms ct;
    ct.bizonylat = t.bizonylat;
    ct.verzio = 1;
    GeneratorContext ctx;
    LineItemRules r(ctx, RentalTables::stored(), ct, LineItemOptions{});
    t.tetelsor = r.NextLineNo(tx);
    return t;
}

// ---------------------------------------------------------------- payment mode

QString OrdersWorkspace::CashFlagOf(Transaction& tx, const QString& fizmod) {
    RowSet rs = tx.query(QStringLiteral("SELECT KP FROM SZ_FIZMOD WHERE KOD = :kod"),
                         {{QStringLiteral("kod"), fizmod.trimmed()}});
    return rs.next() ? rs.text(QStringLiteral("KP")).trimmed() : QString();
}

StoreSummary OrdersWorkspace::ApplyPaymentMode(Transaction& tx, const GeneratorContext& ctx,
                                               const QString& customerKey, const QString& oldCashFlag,
                                               const QString& newFizmod) {
    StoreSummary s;
    const QString newKp = CashFlagOf(tx, newFizmod);
    if (newKp == oldCashFlag.trimmed()) return s;
    RowSet rs = tx.query(QStringLiteral("SELECT F.BIZONYLAT FROM FORGFEJ F JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
                                        " WHERE F.UGYFELKOD = :ugyfelkod AND F.AKTIV = 'I' AND F.VERZIO = 1"
                                        " AND SR.MODOSITHATO = 'I' ORDER BY F.BIZONYLAT"),
                         {{QStringLiteral("ugyfelkod"), customerKey.trimmed()}});
    const QString stamp = vl::util::NowStamp();
    while (rs.next()) {
        const qint64 b = rs.integer(QStringLiteral("BIZONYLAT"));
        tx.exec(QStringLiteral("UPDATE FORGFEJ SET FIZMOD = :fizmod, JUZER = :juzer, MIKOR = :mikor"
                               " WHERE BIZONYLAT = :b AND VERZIO = 1"),
                {{QStringLiteral("fizmod"), newFizmod.trimmed()}, {QStringLiteral("juzer"), ctx.userCode},
                 {QStringLiteral("mikor"), stamp}, {QStringLiteral("b"), b}});
        // Cash: billed from its first day still to bill (never for closed
        // years); not cash: the same run removes the planned periods only.
        const BillingResult r = GenerateBilling(tx, ctx, b, 1, FirstDayStillToBill(tx, ctx, b, 1));
        s.periodsWritten += r.written;
        s.periodsUpdated += r.updated;
        s.periodsRemoved += r.deleted;
        ++s.contracts;
    }
    return s;
}

OrdersWorkspace::CustomerStoreOutcome OrdersWorkspace::storeCustomer(vl::db::Connection& conn,
                                                                     const vl::shell::Session& session,
                                                                     vl::customers::Customer& c) {
    using vl::customers::CustomerStore;
    CustomerStoreOutcome out;
    vl::db::TxScope tx(conn, nullptr);
    const QString key = c.kod.trimmed();
    if (!key.isEmpty()) {
        RowSet rs = tx->query(QStringLiteral("SELECT FIZMOD, VALTOZAT FROM UGYFEL WHERE KOD = :kod"),
                              {{QStringLiteral("kod"), key}});
        if (!rs.next())
            throw vl::RuleRefusal(QStringLiteral("Az ügyfél közben törlődött (kód: %1).").arg(key), kRule);
        if (c.valtozat >= 0 && rs.integer(QStringLiteral("VALTOZAT")) != c.valtozat)
            throw vl::RuleRefusal(CustomerStore::ChangedElsewhereText(), kRule);
        out.modeChanged = c.fizmod.trimmed() != rs.text(QStringLiteral("FIZMOD")).trimmed();
        if (out.modeChanged) {
            // The register keeps a customer's payment mode; here changing it
            // is the point: the new mode and the contracts first, by the one
            // rule of the mode change, then the customer on the version that
            // write made (the row is this transaction's now).
            out.summary = changePaymentMode(conn, &tx.tx(), session, key, c.fizmod);
            if (c.valtozat >= 0)
                c.valtozat = tx->query(QStringLiteral("SELECT VALTOZAT FROM UGYFEL WHERE KOD = :kod"),
                                       {{QStringLiteral("kod"), key}})
                                 .at(0, 0)
                                 .toLongLong();
        }
    }
    out.result = vl::customers::CustomerService::storeCustomer(conn, &tx.tx(), c, vl::customers::DuplicatePolicy::Allow);
    if (!out.result.ok) {
        out.modeChanged = false;
        out.summary = StoreSummary();
        return out; // the scope rolls the new mode back
    }
    tx.commit();
    return out;
}

StoreSummary OrdersWorkspace::changePaymentMode(vl::db::Connection& conn, Transaction* outer,
                                                const vl::shell::Session& session, const QString& customerKey,
                                                const QString& newFizmod) {
    vl::db::TxScope tx(conn, outer);
    RowSet c = tx->query(QStringLiteral("SELECT FIZMOD FROM UGYFEL WHERE KOD = :kod"),
                         {{QStringLiteral("kod"), customerKey.trimmed()}});
    if (!c.next()) throw vl::RuleRefusal(QStringLiteral("Nincs ilyen ügyfél: %1").arg(customerKey.trimmed()), kRule);
    RowSet m = tx->query(QStringLiteral("SELECT COUNT(*) FROM SZ_FIZMOD WHERE KOD = :kod"),
                         {{QStringLiteral("kod"), newFizmod.trimmed()}});
    if (m.isEmpty() || m.at(0, 0).toLongLong() == 0)
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen fizetési mód: %1").arg(newFizmod.trimmed()), kRule);
    // The old cash flag as this transaction sees the customer.
    const QString oldKp = CashFlagOf(*tx, c.text(QStringLiteral("FIZMOD")));
    vl::db::refusingWriteConflict(vl::customers::CustomerStore::ChangedElsewhereText(), kRule, [&] {
        tx->exec(QStringLiteral("UPDATE UGYFEL SET FIZMOD = :fizmod WHERE KOD = :kod"),
                 {{QStringLiteral("fizmod"), newFizmod.trimmed()}, {QStringLiteral("kod"), customerKey.trimmed()}});
    });
    StoreSummary s = refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        return ApplyPaymentMode(*tx, ctx, customerKey, oldKp, newFizmod);
    });
    tx.commit();
    return s;
}

// ---------------------------------------------------------------- the line store

QStringList OrdersWorkspace::DateErrors(const LineInput& in, bool fixedTerm, QString* focus) {
    QStringList e;
    QString first;
    const QString k = in.kiszall.trimmed(), v = in.vszall.trimmed();
    const QString kd = vl::util::NormalizeDateText(k), vd = vl::util::NormalizeDateText(v);
    if (k.isEmpty()) {
        e << QStringLiteral("Nincs a kiszállítás napja megadva");
        first = QStringLiteral("e_kiszall");
    } else if (kd.isEmpty()) {
        e << QStringLiteral("Hibás dátum: kiszállítás napja");
        first = QStringLiteral("e_kiszall");
    }
    if (!v.isEmpty() && vd.isEmpty()) {
        e << QStringLiteral("Hibás dátum: visszavétel terv.dátuma");
        if (first.isEmpty()) first = QStringLiteral("e_vszallt");
    }
    if (v.isEmpty() && fixedTerm) {
        e << QStringLiteral("A visszavétel terv.dátuma nem lehet üres");
        if (first.isEmpty()) first = QStringLiteral("e_vszallt");
    }
    if (!kd.isEmpty() && !vd.isEmpty() && vd < kd) {
        e << QStringLiteral("Hibás dátum intervallum");
        if (first.isEmpty()) first = QStringLiteral("e_vszallt");
    }
    if (focus) *focus = first;
    return e;
}

LineStoreOutcome OrdersWorkspace::storeLineIn(Transaction& tx, const GeneratorContext& ctxIn,
                                              const LineStoreRequest& rq, const Answers& answers) {
    LineStoreOutcome res;
    const Head h = headOf(tx, rq);
    res.bizonylat = h.bizonylat;
    res.tetelsor = rq.tetelsor;

    // The panel's checks, before anything is written.
    const QStringList dates = DateErrors(rq.input, h.terms.fixedTerm, &res.focus);
    if (!dates.isEmpty()) {
        res.heading = DateHeading();
        res.messages = dates;
        return res;
    }
    GeneratorContext ctx = ctxIn;
    LineItemRules rules = rulesFor(ctx, h, rq.today);
    QString question;
    const QStringList errors = rules.ValidateLine(tx, rq.input, answers, &question);
    if (!question.isEmpty()) {
        res.messages << question;   // unanswered: the caller asks first
        return res;
    }
    if (!errors.isEmpty()) {
        res.heading = LineHeading();
        res.messages = errors;
        return res;
    }

    // (1) the contract's stamp: from here on another workstation's store of
    // the same contract waits or fails, never interleaves.
    tx.exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = 1"),
            {{QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()},
             {QStringLiteral("b"), h.bizonylat}});
    const ActSnapshot before = activities(tx, ctx, h.bizonylat);
    const QString oldLine = rq.tetelsor > 0 ? lineSignature(tx, h.bizonylat, rq.tetelsor) : QString();

    // (2)-(4) the line and its items, the moved and cancelled activities, the
    // maintenance from today: the line-and-item rules on the stored tables.
    const Outcome o = rq.tetelsor > 0 ? rules.ChangeLine(tx, rq.tetelsor, rq.input, answers)
                                      : rules.AddLine(tx, rq.input, answers);
    if (!o.ok) {
        res.messages = o.asks() ? QStringList{o.question} : o.messages;
        return res;
    }
    res.tetelsor = o.line ? o.line : rq.tetelsor;

    // (5) a cash contract's billing, once, after every row is written.
    const bool priced = rq.tetelsor <= 0 || lineSignature(tx, h.bizonylat, res.tetelsor) != oldLine;
    if (h.kp == QLatin1String("I") && priced) {
        const BillingResult b = GenerateBilling(tx, ctx, h.bizonylat, 1, FirstDayStillToBill(tx, ctx, h.bizonylat, 1));
        res.summary.periodsWritten = b.written;
        res.summary.periodsUpdated = b.updated;
        res.summary.periodsRemoved = b.deleted;
    }
    diff(ctx, before, activities(tx, ctx, h.bizonylat), res.summary);
    res.ok = true;
    res.warning = false;
    return res;
}

LineStoreOutcome OrdersWorkspace::storeLine(vl::db::Connection& conn, const vl::shell::Session& session,
                                            const LineStoreRequest& rq, const Answers& answers) {
    // The next question first, in a transaction that writes nothing (at most
    // four of them: the checks have no more).
    if (answers.size() < 4) {
        QString question;
        {
            auto tx = conn.begin(vl::db::TxMode::ReadOnly);
            const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
            const Head h = headOf(*tx, rq);
            QString focus;
            if (DateErrors(rq.input, h.terms.fixedTerm, &focus).isEmpty())
                rulesFor(ctx, h, rq.today).ValidateLine(*tx, rq.input, answers, &question);
            tx->commit();
        }
        if (!question.isEmpty()) {
            vl::db::Connection* c = &conn;
            return LineStoreOutcome::asking(question, [c, session, rq, answers, question](bool yes) {
                Answers given = answers;
                given[question] = yes;
                return storeLine(*c, session, rq, given);
            });
        }
    }
    auto tx = conn.begin();
    LineStoreOutcome res = refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        return storeLineIn(*tx, ctx, rq, answers);
    });
    if (!res.ok) {
        tx->rollback();
        return res;
    }
    refusingContractConflict(kRule, [&] { tx->commit(); });
    return res;
}

bool OrdersWorkspace::contractBelongsTo(Transaction& tx, qint64 bizonylat, const QString& customerKey,
                                        const QString& siteKey) {
    RowSet owner = tx.query(QStringLiteral("SELECT UGYFELKOD, UGYFELCIM FROM FORGFEJ WHERE BIZONYLAT = :b AND VERZIO = 1"),
                            {{QStringLiteral("b"), bizonylat}});
    return owner.next() && owner.text(QStringLiteral("UGYFELKOD")).trimmed() == customerKey.trimmed() &&
           owner.text(QStringLiteral("UGYFELCIM")).trimmed() == siteKey.trimmed();
}

LineInput OrdersWorkspace::InputOfLine(Transaction& tx, qint64 bizonylat, qint64 tetelsor) {
    LineInput in;
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = 1 AND TETELSOR = :t"),
                         {{QStringLiteral("b"), bizonylat}, {QStringLiteral("t"), tetelsor}});
    if (!rs.next())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen termékcsoport: %1/%2").arg(bizonylat).arg(tetelsor), kRule);
    auto num = [&](const char* col) {
        const qint64 v = rs.integer(QString::fromLatin1(col));
        return QString::number(v);
    };
    auto numOrBlank = [&](const QString& col) {
        const qint64 v = rs.integer(col);
        return v == 0 ? QString() : QString::number(v);
    };
    in.arucsoport = rs.text(QStringLiteral("ARUCSOPORT")).trimmed();
    in.mennyiseg = num("MENNYISEG");
    in.bermenny = num("BERMENNY");
    in.bermegyseg = rs.text(QStringLiteral("BERMEGYSEG")).trimmed();
    in.minimalar = num("MINIMALAR");
    in.nettoar = num("NETTOAR");
    in.karertek = num("KARERTEK");
    in.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
    in.vszall = rs.text(QStringLiteral("VSZALL")).trimmed();
    const QString pattern = rs.text(QStringLiteral("HKSZCSPSZV")).trimmed();
    for (int d = 0; d < 7; ++d) {
        const QChar c = d < pattern.size() ? pattern.at(d) : QLatin1Char('0');
        in.counts[size_t(d)] = c == QLatin1Char('0') ? QString() : QString(c);
        in.prices[size_t(d)] = numOrBlank(QStringLiteral("KARBAR%1").arg(d + 1));
    }
    in.periodus = numOrBlank(QStringLiteral("PERIODUS"));
    in.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    in.komment = rs.text(QStringLiteral("KOMMENT"));
    if (rs.hasColumn(QStringLiteral("NAPTARSZABALY"))) in.naptarszabaly = rs.text(QStringLiteral("NAPTARSZABALY")).trimmed();
    return in;
}

} // namespace vl::rental
