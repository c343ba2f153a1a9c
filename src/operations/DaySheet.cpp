#include "DaySheet.h"
#include "customers/CustomerSearch.h"
#include "rental/ActivityImages.h"

#include "rental/Schedule.h"
#include "rental/WorkCalendar.h"
#include "db/SchemaRegistry.h"
#include "db/SqlText.h"
#include "db/TxScope.h"
#include "shell/Queries.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QHash>
#include <QSet>
#include <QPair>
#include <algorithm>
#include <iterator>
#include <limits>
#include <vector>
#include <QThread>

namespace vl::operations {

using vl::db::Params;
using vl::db::RowSet;

namespace {

const QString kTemplate = QStringLiteral("TEVNAPLO");

// The rows of a day sheet: the activities of the day on the active, not
// cancelled contracts, and the billing items of the contracts that have a
// visit (planned, planned again or done) on the day: those of the day, and
// the earlier ones still planned. Status literals are tested by their class.
// Address parts may be missing one by one; a missing driver is NULL, '' or
// blanks alike and comes back as ''. The order keeps each site's rows
// together and each line's rows in one run: address, customer, site,
// activity display order, activity code, product type, driver, status, then
// the row's key.
//
// The server reads each table once, narrow, by key or by the day: the day's
// own rows (the activities by the date index; the billing rows from the
// contracts visited that day by their key, never from the billing rows'
// dates, whose index would walk every earlier period), the contracts, lines
// and items of the day's contracts, the dictionaries. The day's contracts
// are found once, into the connection's temporary table NAPISZERZ (kept
// until the transaction ends), and the later reads go from there by key
// instead of finding them through the day's activities again. The rows are
// joined here, as the inner and outer joins of one statement would join
// them, and sorted here by ranks the server gives each text in the
// database's collation (the contracts by the order the server sorts them
// in), so the order is the one an ORDER BY on those texts gives. (One
// statement joining and sorting the wide rows in the server took four times
// as long.)
// The day's contracts. "D.BIZONYLAT + 0" in the joins below keeps the
// temporary table (which has no statistics) the outer side, each contract's
// rows then found by their key.
const QString kClearDayContractsSql = QStringLiteral("DELETE FROM NAPISZERZ");
const QString kFillDayContractsSql = QStringLiteral(
    "INSERT INTO NAPISZERZ (BIZONYLAT) SELECT DISTINCT BIZONYLAT FROM FORGTEV WHERE DATUM = :datum");
const QString kDayContracts = QStringLiteral("NAPISZERZ D");

const QString kOwnRowsSql = QStringLiteral(
    "SELECT T.BIZONYLAT, T.VERZIO, T.TETELSOR, T.SORSZAM, T.DATUM, T.DATUM2, T.TEVSORSZAM, T.TEVKOD, T.TEVALLAPOT,"
    " COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD, T.SOFORKOD SOFORNYERS, T.MENNYISEG, T.NETTOAR,"
    " CAST(0 AS BIGINT) BRUTTO, T.KEPZETT, T.KOMMENT, T.EREDETINAP, T.FORRAS, T.FORRASSOFOR, 0 FIZETES"
    " FROM FORGTEV T WHERE T.DATUM = :datum"
    " UNION ALL "
    "SELECT T.BIZONYLAT, T.VERZIO, 0, 0, T.DATUM, T.DATUM2, T.TEVSORSZAM, 'FIZ', T.TEVALLAPOT,"
    " COALESCE(TRIM(T.SOFORKOD), ''), T.SOFORKOD, 1, T.NETTO, T.BRUTTO, 'K', T.KOMMENT, CAST(NULL AS VARCHAR(10)),"
    " T.FORRAS, T.FORRASSOFOR, 1"
    " FROM NAPISZERZ D"
    " JOIN FORGFIZ T ON T.BIZONYLAT = D.BIZONYLAT + 0"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " WHERE T.DATUM||'' = :datum OR (T.DATUM||'' < :datum AND ST.MODOSITHATO IN ('I', 'i'))");

const QString kContractsSql = QStringLiteral(
    "SELECT F.BIZONYLAT, F.VERZIO, F.UGYFELKOD, F.UGYFELCIM, U.NEV UGYFEL,"
    " COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " UC.KOMMENT CIMKOMMENT, FM.KP, FM.KOD FIZMOD"
    " FROM ") + kDayContracts + QStringLiteral(
    " JOIN FORGFEJ F ON F.BIZONYLAT = D.BIZONYLAT + 0"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
    " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " ORDER BY CIM, UGYFEL, F.UGYFELCIM");

// Each item of the day's contracts with its line and the line's product group.
const QString kItemsSql = QStringLiteral(
    "SELECT K.BIZONYLAT, K.VERZIO, K.TETELSOR, K.SORSZAM, K.ARUKOD, S.BERMENNY, S.BERMEGYSEG, SZC.NEV TIPUS,"
    " SZC.KOD ARUCSOPORT FROM ") + kDayContracts + QStringLiteral(
    " JOIN FORGKABIN K ON K.BIZONYLAT = D.BIZONYLAT + 0"
    " JOIN FORGSOR S ON S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO AND S.TETELSOR = K.TETELSOR"
    " JOIN SZ_ARUCSOP SZC ON SZC.KOD = S.ARUCSOPORT");

// The product groups' names ranked in the dictionary itself (a handful of
// rows), not over every item of the day.
const QString kGroupRanksSql = QStringLiteral("SELECT KOD, DENSE_RANK() OVER (ORDER BY NEV) R_TIPUS FROM SZ_ARUCSOP");
// A row joins its kind and state by code, so a code sorts by its
// dictionary entry's rank.
const QString kActivityKindsSql = QStringLiteral(
    "SELECT KOD, SORREND, NEV TEVNEV, ESETI, DENSE_RANK() OVER (ORDER BY KOD) R_KOD FROM SZ_TEVEKENY");
const QString kStatesSql = QStringLiteral(
    "SELECT KOD, NEV STATUS, MODOSITHATO, SZIN, DENSE_RANK() OVER (ORDER BY KOD) R_KOD FROM SZ_STATUST");
const QString kDriversSql = QStringLiteral("SELECT KOD, NEV SOFOR FROM SZ_SOFOR");
// The rank of each driver code the rows hold: the dictionary's codes, no
// driver (''), and the codes no longer in it (bound, one row each).
const QString kDriverRanksSql = QStringLiteral(
    "SELECT K, DENSE_RANK() OVER (ORDER BY K) R FROM (SELECT COALESCE(TRIM(KOD), '') K FROM SZ_SOFOR"
    " UNION ALL SELECT '' FROM RDB$DATABASE%1)");
// How many codes no longer in the dictionary one statement ranks at most (a
// statement may name only so many tables); more are ranked from the rows.
constexpr int kMaxBoundCodes = 200;
const QString kDriverRanksFromRowsSql = QStringLiteral(
    "SELECT K, DENSE_RANK() OVER (ORDER BY K) R FROM (SELECT DISTINCT K FROM (SELECT COALESCE(TRIM(SOFORKOD), '') K"
    " FROM FORGTEV WHERE DATUM = :datum UNION ALL SELECT COALESCE(TRIM(KOD), '') FROM SZ_SOFOR UNION ALL"
    " SELECT COALESCE(TRIM(T.SOFORKOD), '') FROM ") + kDayContracts + QStringLiteral(
    " JOIN FORGFIZ T ON T.BIZONYLAT = D.BIZONYLAT + 0))");

// A value as the server's equality sees it: trailing blanks do not count.
QString padless(const QVariant& v) { return vl::util::WithoutTrailingBlanks(v.toString()); }

// A row's key: contract, version, line, item (the last two 0 for a contract).
struct RowKey {
    qint64 bizonylat, verzio, tetelsor, sorszam;
    bool operator==(const RowKey& o) const = default;
};
size_t qHash(const RowKey& k, size_t seed = 0) { return qHashMulti(seed, k.bizonylat, k.verzio, k.tetelsor, k.sorszam); }

const QString kInsertSql = QStringLiteral(
    "INSERT INTO %1 (SELECTED, TSORSZAM, UGYFEL, CIM, DB, TIPUS, TEVNEV, SOFOR, STATUS, TERMEKKODOK, NETTO,"
    " KOMMENT, BIZONYLAT, TEVALLAPOT, UGYFELKOD, UGYFELCIM, MODOSITHATO, TEVKOD, SOFORKOD, SZIN, NETTOFIZ,"
    " BRUTTOFIZ) VALUES (:selected, :tsorszam, :ugyfel, :cim, :db, :tipus, :tevnev, :sofor, :status,"
    " :termekkodok, :netto, :komment, :bizonylat, :tevallapot, :ugyfelkod, :ugyfelcim, :modosithato, :tevkod,"
    " :soforkod, :szin, :nettofiz, :bruttofiz)");

QString cut(const QString& s, int n) { return s.left(n); }

QVariant orNull(const QString& s) { return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s); }

} // namespace

QString NoTemplateText() { return QStringLiteral("TMP minta (TEVNAPLO) nincs meg"); }

QString PhoneSourceText() { return QStringLiteral("telefon"); }
QString PhoneMarkColorName() { return QStringLiteral("FAKÓSÁRGA"); }
QString PhoneMarkedText() { return QStringLiteral("Telefonról jelölve"); }

const QStringList& SortableColumns() {
    static const QStringList c{QStringLiteral("SELECTED"), QStringLiteral("UGYFEL"), QStringLiteral("CIM"),
                               QStringLiteral("TEVNEV"), QStringLiteral("SOFOR")};
    return c;
}

bool CountsAsDayWork(const QString& m) {
    return m == QLatin1String("I") || m == QLatin1String("i") || m == QLatin1String("N");
}
bool IsPlannedClass(const QString& m) { return m == QLatin1String("I") || m == QLatin1String("i"); }

QStringList DaySheetSourceStatements() {
    return {kClearDayContractsSql, kFillDayContractsSql, kOwnRowsSql, kContractsSql, kItemsSql, kGroupRanksSql,
            kActivityKindsSql, kStatesSql, kDriversSql, kDriverRanksSql.arg(QString())};
}

RowSet DaySheetSourceRows(vl::db::Transaction& tx, const QString& day) {
    const Params p{{QStringLiteral("datum"), day}};
    tx.exec(kClearDayContractsSql);
    tx.exec(kFillDayContractsSql, p);
    const RowSet own = tx.query(kOwnRowsSql, p);
    const RowSet contracts = tx.query(kContractsSql);
    const RowSet items = tx.query(kItemsSql);
    const RowSet groups = tx.query(kGroupRanksSql);
    const RowSet kinds = tx.query(kActivityKindsSql);
    const RowSet states = tx.query(kStatesSql);
    const RowSet drivers = tx.query(kDriversSql);
    QHash<QString, qint64> driverRank;
    {
        QSet<QString> unknown;
        QSet<QString> known;
        for (int r = 0; r < drivers.rowCount(); ++r) known.insert(drivers.at(r, 0).toString().trimmed());
        const int c = own.indexOf(QStringLiteral("SOFORKOD"));
        for (int r = 0; r < own.rowCount(); ++r) {
            const QString k = own.at(r, c).toString();
            if (!k.isEmpty() && !known.contains(k)) unknown.insert(k);
        }
        RowSet ranks;
        if (unknown.size() <= kMaxBoundCodes) {
            QString more;
            Params codes;
            int i = 0;
            for (const QString& k : std::as_const(unknown)) {
                const QString name = QStringLiteral("k%1").arg(i++);
                more += QStringLiteral(" UNION ALL SELECT CAST(:%1 AS VARCHAR(40)) FROM RDB$DATABASE").arg(name);
                codes.push_back({name, k});
            }
            ranks = tx.query(kDriverRanksSql.arg(more), codes);
        } else {
            ranks = tx.query(kDriverRanksFromRowsSql, p);
        }
        for (int r = 0; r < ranks.rowCount(); ++r) driverRank.insert(padless(ranks.at(r, 0)), ranks.at(r, 1).toLongLong());
    }

    enum Own { oBiz, oVer, oTet, oSor, oDat, oDat2, oTevs, oTevkod, oAll, oSofor, oSoforRaw, oMenny, oNetto, oBrutto,
               oKepzett, oKomment, oEredeti, oForras, oForrasSofor, oPayment };
    enum Con { cBiz, cVer, cUgyfelkod, cSite, cUgyfel, cCim, cCimKomment, cKp, cFizmod };
    enum Item { iBiz, iVer, iTet, iSor, iArukod, iBermenny, iBermegyseg, iTipus, iGroup };

    auto intAt = [](const RowSet& rs, int r, int c) { return rs.at(r, c).toLongLong(); };
    QHash<RowKey, int> contractAt, itemAt;
    QHash<QString, int> kindAt, stateAt, driverAt;
    QHash<QString, qint64> groupRank;
    for (int r = 0; r < groups.rowCount(); ++r) groupRank.insert(padless(groups.at(r, 0)), groups.at(r, 1).toLongLong());
    // Each contract's rank by address, customer and site together: the
    // server sorts the day's contracts by them (a rank window over these
    // rows cost twice the sort), and a contract takes the next rank where one
    // of the three differs from the contract before it (no value and an
    // empty one differ, trailing blanks do not count, as in the server's
    // comparison).
    std::vector<qint64> contractRank(size_t(contracts.rowCount()));
    {
        auto same = [](const QVariant& a, const QVariant& b) {
            return a.isNull() == b.isNull() && (a.isNull() || padless(a) == padless(b));
        };
        qint64 rank = 0;
        for (int r = 0; r < contracts.rowCount(); ++r) {
            const QVariantList& c = contracts.row(r);
            if (r == 0) {
                rank = 1;
            } else {
                const QVariantList& b = contracts.row(r - 1);
                if (!same(c.at(cCim), b.at(cCim)) || !same(c.at(cUgyfel), b.at(cUgyfel)) ||
                    !same(c.at(cSite), b.at(cSite)))
                    ++rank;
            }
            contractRank[size_t(r)] = rank;
        }
    }
    contractAt.reserve(contracts.rowCount());
    for (int r = 0; r < contracts.rowCount(); ++r)
        contractAt.insert({intAt(contracts, r, cBiz), intAt(contracts, r, cVer), 0, 0}, r);
    itemAt.reserve(items.rowCount());
    for (int r = 0; r < items.rowCount(); ++r)
        itemAt.insert({intAt(items, r, iBiz), intAt(items, r, iVer), intAt(items, r, iTet), intAt(items, r, iSor)}, r);
    for (int r = 0; r < kinds.rowCount(); ++r) kindAt.insert(padless(kinds.at(r, 0)), r);
    for (int r = 0; r < states.rowCount(); ++r) stateAt.insert(padless(states.at(r, 0)), r);
    for (int r = 0; r < drivers.rowCount(); ++r) driverAt.insert(padless(drivers.at(r, 0)), r);
    auto find = [](const auto& h, const auto& k) { return h.value(k, -1); };
    const int fizKind = find(kindAt, QStringLiteral("FIZ"));

    struct Row {
        int own, contract, item, kind, state, driver, sourceDriver;
        // the sort: address, customer and site (one rank), display order (NULL first), activity
        // code, product type (NULL first, then ''), driver, status, then the key
        qint64 rContract, sorrend, rTevkod, rTipus, rSofor, rAll, biz, tet, sor, tevs;
        QString datum;
    };
    std::vector<Row> joined;
    joined.reserve(size_t(own.rowCount()));
    // A contract's billing rows come only when one of its activities that
    // day is day work (a state of class planned, planned again or done).
    QSet<qint64> dayWork;
    for (int o = 0; o < own.rowCount(); ++o) {
        const QVariantList& v = own.row(o);
        if (v.at(oPayment).toLongLong() == 1) continue;
        const int st = find(stateAt, padless(v.at(oAll)));
        if (st >= 0 && CountsAsDayWork(padless(states.at(st, 2)))) dayWork.insert(v.at(oBiz).toLongLong());
    }
    for (int o = 0; o < own.rowCount(); ++o) {
        const QVariantList& v = own.row(o);
        const bool payment = v.at(oPayment).toLongLong() == 1;
        if (payment && !dayWork.contains(v.at(oBiz).toLongLong())) continue;
        Row r{};
        r.own = o;
        r.item = -1;
        // The joins: the contract with its customer and site, the state, the
        // activity kind ("FIZ" for a billing row); an activity also needs its
        // payment mode, line (with its product group) and item.
        const qint64 biz = v.at(oBiz).toLongLong(), ver = v.at(oVer).toLongLong();
        r.contract = find(contractAt, RowKey{biz, ver, 0, 0});
        if (r.contract < 0) continue;
        const QVariantList& c = contracts.row(r.contract);
        r.state = find(stateAt, padless(v.at(oAll)));
        r.kind = payment ? fizKind : find(kindAt, padless(v.at(oTevkod)));
        if (r.state < 0 || r.kind < 0) continue;
        if (!payment) {
            if (c.at(cFizmod).isNull()) continue;
            r.item = find(itemAt, RowKey{biz, ver, v.at(oTet).toLongLong(), v.at(oSor).toLongLong()});
            if (r.item < 0) continue;
        }
        r.driver = v.at(oSoforRaw).isNull() ? -1 : find(driverAt, padless(v.at(oSoforRaw)));
        r.sourceDriver = v.at(oForrasSofor).isNull() ? -1 : find(driverAt, padless(v.at(oForrasSofor)));
        r.rContract = contractRank[size_t(r.contract)];
        const QVariant& order = kinds.at(r.kind, 1);
        r.sorrend = order.isNull() ? std::numeric_limits<qint64>::min() : order.toLongLong();
        r.rTevkod = kinds.at(r.kind, 4).toLongLong();
        if (payment) {
            r.rTipus = 0;   // ''
        } else {
            const QVariant& tipus = items.at(r.item, iTipus);
            r.rTipus = tipus.isNull() ? -1 : padless(tipus).isEmpty() ? 0 : groupRank.value(padless(items.at(r.item, iGroup)));
        }
        r.rSofor = driverRank.value(padless(v.at(oSofor)));
        r.rAll = states.at(r.state, 4).toLongLong();
        r.biz = biz;
        r.tet = v.at(oTet).toLongLong();
        r.sor = v.at(oSor).toLongLong();
        r.datum = v.at(oDat).toString();
        r.tevs = v.at(oTevs).toLongLong();
        joined.push_back(std::move(r));
    }
    std::sort(joined.begin(), joined.end(), [](const Row& x, const Row& y) {
        const qint64 a[] = {x.rContract, x.sorrend, x.rTevkod, x.rTipus, x.rSofor, x.rAll, x.biz, x.tet, x.sor};
        const qint64 b[] = {y.rContract, y.sorrend, y.rTevkod, y.rTipus, y.rSofor, y.rAll, y.biz, y.tet, y.sor};
        for (size_t i = 0; i < std::size(a); ++i)
            if (a[i] != b[i]) return a[i] < b[i];
        if (const int c = x.datum.compare(y.datum)) return c < 0;
        return x.tevs < y.tevs;
    });

    auto col = [](const RowSet& from, int i, const char* name) {
        vl::db::Column c = from.columns().at(i);
        c.name = QString::fromLatin1(name);
        return c;
    };
    QList<vl::db::Column> cols{
        col(contracts, cCim, "CIM"),           col(contracts, cUgyfel, "UGYFEL"),   col(contracts, cSite, "UGYFELCIM"),
        col(kinds, 1, "SORREND"),              col(own, oTevkod, "TEVKOD"),         col(items, iTipus, "TIPUS"),
        col(own, oSofor, "SOFORKOD"),          col(own, oAll, "TEVALLAPOT"),        col(kinds, 2, "TEVNEV"),
        col(drivers, 1, "SOFOR"),              col(own, oBiz, "BIZONYLAT"),         col(own, oVer, "VERZIO"),
        col(own, oTet, "TETELSOR"),            col(own, oSor, "SORSZAM"),           col(own, oDat, "DATUM"),
        col(own, oDat2, "DATUM2"),             col(own, oTevs, "TEVSORSZAM"),       col(own, oMenny, "MENNYISEG"),
        col(own, oNetto, "NETTOAR"),           col(own, oBrutto, "BRUTTO"),         col(own, oKepzett, "KEPZETT"),
        col(items, iArukod, "ARUKOD"),               col(states, 1, "STATUS"),            col(states, 2, "MODOSITHATO"),
        col(states, 3, "SZIN"),                col(contracts, cCimKomment, "CIMKOMMENT"),
        col(contracts, cUgyfelkod, "UGYFELKOD"), col(kinds, 3, "ESETI"),            col(items, iBermenny, "BERMENNY"),
        col(items, iBermegyseg, "BERMEGYSEG"), col(own, oKomment, "KOMMENT"),       col(contracts, cKp, "KP"),
        col(own, oEredeti, "EREDETINAP"),      col(own, oForras, "FORRAS"),         col(own, oForrasSofor, "FORRASSOFOR"),
        col(drivers, 1, "FORRASSOFORNEV")};
    std::vector<QVariantList> out;
    out.reserve(joined.size());
    const QVariant null, emptyText{QStringLiteral("")}, star{QStringLiteral("*")}, blank{QStringLiteral(" ")},
        yes{QStringLiteral("I")}, zero{qint64(0)};
    for (const Row& r : joined) {
        const QVariantList& v = own.row(r.own);
        const QVariantList& c = contracts.row(r.contract);
        const bool payment = r.item < 0;
        const QVariantList* k = &kinds.row(r.kind);
        const QVariantList& st = states.row(r.state);
        out.push_back({c.at(cCim), c.at(cUgyfel), c.at(cSite), k->at(1), v.at(oTevkod),
                       payment ? emptyText : items.at(r.item, iTipus), v.at(oSofor), v.at(oAll),
                       k->at(2), r.driver < 0 ? null : drivers.at(r.driver, 1), v.at(oBiz), v.at(oVer), v.at(oTet),
                       v.at(oSor), v.at(oDat), v.at(oDat2), v.at(oTevs), v.at(oMenny), v.at(oNetto), v.at(oBrutto),
                       v.at(oKepzett), payment ? star : items.at(r.item, iArukod), st.at(1), st.at(2), st.at(3),
                       c.at(cCimKomment), c.at(cUgyfelkod), k->at(3), payment ? zero : items.at(r.item, iBermenny),
                       payment ? blank : items.at(r.item, iBermegyseg), v.at(oKomment), payment ? yes : c.at(cKp),
                       v.at(oEredeti), v.at(oForras), v.at(oForrasSofor),
                       r.sourceDriver < 0 ? null : drivers.at(r.sourceDriver, 1)});
    }
    return RowSet(std::move(cols), std::move(out));
}

RowSet OverdueVisits(vl::db::Transaction& tx, const QString& fromDay, const QString& day) {
    // Three narrow reads joined here: the groups (the DATUM index, one row
    // per day, contract and activity), the active contracts with their
    // customer and site, and the names of the activities and drivers. A join
    // of the names to every group in the server, and the sort of those wide
    // rows, cost more than the groups themselves. The customers' places in
    // the order of their names (NameRanks, from the names' index) and the
    // activity codes' ranks in the database's collation make the order the
    // one an ORDER BY on them gives.
    const RowSet groups = tx.query(
        QStringLiteral("SELECT T.DATUM, T.BIZONYLAT, T.VERZIO, T.TEVKOD, COUNT(*) DB, MIN(T.ARUKOD) ARUKOD,"
                       " MIN(COALESCE(TRIM(T.SOFORKOD), '')) SOFORKOD"
                       " FROM FORGTEV T"
                       " WHERE T.DATUM >= :tol AND T.DATUM < :datum"
                       " AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))"
                       " GROUP BY T.DATUM, T.BIZONYLAT, T.VERZIO, T.TEVKOD"),
        {{QStringLiteral("tol"), fromDay}, {QStringLiteral("datum"), day}});
    const RowSet contracts = tx.query(QStringLiteral(
        "SELECT F.BIZONYLAT, F.VERZIO, F.UGYFELKOD, U.NEV UGYFEL,"
        " COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM"
        " FROM FORGFEJ F JOIN UGYFEL U ON U.KOD = F.UGYFELKOD JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
        " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X'"));
    const RowSet activities = tx.query(
        QStringLiteral("SELECT SZT.KOD, SZT.NEV TEVNEV, DENSE_RANK() OVER (ORDER BY SZT.KOD) RANG FROM SZ_TEVEKENY SZT"));
    const RowSet drivers = tx.query(QStringLiteral("SELECT SZS.KOD, SZS.NEV SOFOR FROM SZ_SOFOR SZS"));
    const QHash<QString, qint64> nameRank = vl::customers::NameRanks(tx);

    QHash<QPair<qint64, qint64>, int> contractRow;
    contractRow.reserve(contracts.rowCount());
    for (int r = 0; r < contracts.rowCount(); ++r)
        contractRow.insert({contracts.at(r, 0).toLongLong(), contracts.at(r, 1).toLongLong()}, r);
    QHash<QString, int> activityRow, driverRow;
    for (int r = 0; r < activities.rowCount(); ++r) activityRow.insert(padless(activities.at(r, 0)), r);
    for (int r = 0; r < drivers.rowCount(); ++r) driverRow.insert(padless(drivers.at(r, 0)), r);

    struct Joined {
        int group, contract, activity, driver;
        qint64 nameRank, activityRank, bizonylat;
        QString datum;
    };
    std::vector<Joined> joined;
    joined.reserve(size_t(groups.rowCount()));
    for (int g = 0; g < groups.rowCount(); ++g) {
        const auto c = contractRow.constFind({groups.at(g, 1).toLongLong(), groups.at(g, 2).toLongLong()});
        if (c == contractRow.constEnd()) continue;
        const auto a = activityRow.constFind(padless(groups.at(g, 3)));
        if (a == activityRow.constEnd()) continue;
        const QString driver = padless(groups.at(g, 6));
        const auto d = driver.isEmpty() ? driverRow.constEnd() : driverRow.constFind(driver);
        joined.push_back({g, *c, *a, d == driverRow.constEnd() ? -1 : *d, nameRank.value(padless(contracts.at(*c, 2))),
                          activities.at(*a, 2).toLongLong(), groups.at(g, 1).toLongLong(), groups.at(g, 0).toString()});
    }
    // By day, customer, contract and activity (the day is 'yyyy.mm.dd').
    std::sort(joined.begin(), joined.end(), [](const Joined& x, const Joined& y) {
        if (const int c = x.datum.compare(y.datum)) return c < 0;
        if (x.nameRank != y.nameRank) return x.nameRank < y.nameRank;
        if (x.bizonylat != y.bizonylat) return x.bizonylat < y.bizonylat;
        return x.activityRank < y.activityRank;
    });

    auto column = [](const RowSet& from, int i, const QString& name = QString()) {
        vl::db::Column c = from.columns().at(i);
        if (!name.isEmpty()) c.name = name;
        return c;
    };
    QList<vl::db::Column> cols{column(groups, 0),     column(groups, 1),    column(groups, 2),
                               column(groups, 3),     column(activities, 1), column(groups, 4),
                               column(groups, 5),     column(groups, 6),    column(drivers, 1),
                               column(contracts, 2),  column(contracts, 3), column(contracts, 4)};
    std::vector<QVariantList> rows;
    rows.reserve(joined.size());
    const QVariant noName;   // as the server gives a NULL
    for (const Joined& j : joined) {
        const QVariantList& g = groups.row(j.group);
        const QVariantList& c = contracts.row(j.contract);
        rows.push_back({g.at(0), g.at(1), g.at(2), g.at(3), activities.at(j.activity, 1), g.at(4), g.at(5), g.at(6),
                        j.driver < 0 ? noName : drivers.at(j.driver, 1), c.at(2), c.at(3), c.at(4)});
    }
    return RowSet(std::move(cols), std::move(rows));
}

RowSet VisitsPerDay(vl::db::Transaction& tx, const QString& from, const QString& to) {
    // The period's activities are read bare through the DATUM index and
    // counted here as they come, none kept (a GROUP BY in the server sorted
    // every one of them by three texts in the database's collation, twice the
    // read). The states' classes and the drivers' names are joined to the
    // counts as the server's joins would: by code, trailing blanks not
    // counting; an activity whose state is not in the dictionary is not
    // counted, a driver not in it has no name.
    QHash<QString, QString> stateClass;
    {
        const RowSet states = tx.query(QStringLiteral("SELECT KOD, MODOSITHATO FROM SZ_STATUST"));
        for (int r = 0; r < states.rowCount(); ++r) stateClass.insert(padless(states.at(r, 0)), padless(states.at(r, 1)));
    }
    QHash<QString, QVariant> driverName;
    {
        const RowSet drivers = tx.query(QStringLiteral("SELECT KOD, NEV FROM SZ_SOFOR"));
        for (int r = 0; r < drivers.rowCount(); ++r) driverName.insert(padless(drivers.at(r, 0)), drivers.at(r, 1));
    }
    struct Count {
        qint64 done = 0, planned = 0;
    };
    QHash<QPair<QString, QString>, Count> counts;
    // The last state seen and its class: a period's rows carry few states.
    QString lastState, lastClass;
    bool haveLast = false, lastKnown = false;
    tx.queryEach(QStringLiteral("SELECT DATUM, SOFORKOD, TEVALLAPOT FROM FORGTEV WHERE DATUM BETWEEN :tol AND :ig"),
                 {{QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}}, [&](const QVariantList& v) {
                     if (v.at(2).isNull()) return;
                     const QString state = v.at(2).toString();
                     if (!haveLast || state != lastState) {
                         haveLast = true;
                         const auto it = stateClass.constFind(vl::util::WithoutTrailingBlanks(state));
                         lastState = state;
                         lastKnown = it != stateClass.constEnd();
                         lastClass = lastKnown ? *it : QString();
                     }
                     if (!lastKnown) return;
                     // COALESCE(TRIM(SOFORKOD), ''): blanks off both ends, none is ''.
                     const QString code = vl::util::WithoutTrailingBlanks(v.at(1).toString());
                     qsizetype lead = 0;
                     while (lead < code.size() && code.at(lead) == QLatin1Char(' ')) ++lead;
                     Count& c = counts[{vl::util::WithoutTrailingBlanks(v.at(0).toString()), code.mid(lead)}];
                     if (lastClass == QLatin1String("N"))
                         ++c.done;
                     else if (IsPlannedClass(lastClass))
                         ++c.planned;
                 });
    QList<QPair<QString, QString>> keys = counts.keys();
    std::sort(keys.begin(), keys.end());
    std::vector<QVariantList> rows;
    rows.reserve(size_t(keys.size()));
    for (const auto& k : keys) {
        const Count& c = counts.value(k);
        rows.push_back({k.first, k.second, driverName.value(k.second), c.done,
                        c.planned});
    }
    auto column = [](const char* name, vl::db::ColType type) {
        vl::db::Column c;
        c.name = QString::fromLatin1(name);
        c.type = type;
        return c;
    };
    return RowSet({column("DATUM", vl::db::ColType::Text), column("SOFORKOD", vl::db::ColType::Text),
                   column("SOFOR", vl::db::ColType::Text), column("ELVEGEZVE", vl::db::ColType::Int64),
                   column("TERVEZETT", vl::db::ColType::Int64)},
                  std::move(rows));
}

QList<DaySheetLine> FoldDaySheet(const RowSet& rows, double vatFactor) {
    QList<DaySheetLine> out;
    const RowSet& rs = rows;
    const int cCim = rs.indexOf(QStringLiteral("CIM")), cUgyfel = rs.indexOf(QStringLiteral("UGYFEL")),
              cSite = rs.indexOf(QStringLiteral("UGYFELCIM")), cTevkod = rs.indexOf(QStringLiteral("TEVKOD")),
              cTipus = rs.indexOf(QStringLiteral("TIPUS")), cSofor = rs.indexOf(QStringLiteral("SOFORKOD")),
              cAll = rs.indexOf(QStringLiteral("TEVALLAPOT"));
    // A column's place is looked up once per name, not once per value.
    QHash<const char*, int> places;
    auto place = [&](const char* col) {
        auto it = places.constFind(col);
        if (it == places.constEnd()) it = places.insert(col, rs.indexOf(QString::fromLatin1(col)));
        return *it;
    };
    auto txt = [&](int r, const char* col) {
        const QVariant& v = rs.at(r, place(col));
        return v.isNull() ? QString() : v.toString();
    };
    auto num = [&](int r, const char* col) { return rs.at(r, place(col)).toLongLong(); };
    auto same = [&](int a, int b, std::initializer_list<int> cols) {
        for (int c : cols) {
            const QVariant x = rs.at(a, c), y = rs.at(b, c);
            if ((x.isNull() ? QString() : x.toString()) != (y.isNull() ? QString() : y.toString())) return false;
        }
        return true;
    };

    qint64 rentQty = 0;
    QString rentUnit;
    int r = 0;
    const int n = rs.rowCount();
    while (r < n) {
        if (r == 0 || !same(r, r - 1, {cCim, cUgyfel, cSite})) {
            rentQty = 0;
            rentUnit.clear();
        }
        // One line: the run of rows of this site with the same activity,
        // product type, driver and status.
        int end = r + 1;
        while (end < n && same(end, r, {cCim, cUgyfel, cSite, cTevkod, cTipus, cSofor, cAll})) ++end;

        DaySheetLine l;
        l.tsorszam = int(out.size()) + 1;
        l.tevkod = txt(r, "TEVKOD");
        const bool payLine = l.tevkod == QStringLiteral("FIZ");
        l.ugyfel = txt(r, "UGYFEL");
        l.ugyfelkod = txt(r, "UGYFELKOD");
        l.ugyfelcim = txt(r, "UGYFELCIM");
        l.tipus = txt(r, "TIPUS");
        l.tevnev = txt(r, "TEVNEV");
        l.sofor = txt(r, "SOFOR");
        l.soforkod = txt(r, "SOFORKOD");
        l.status = txt(r, "STATUS");
        l.tevallapot = txt(r, "TEVALLAPOT");
        l.modosithato = txt(r, "MODOSITHATO");
        l.szin = txt(r, "SZIN");
        const QString firstRemark = txt(r, "KOMMENT");
        const QString siteRemark = txt(r, "CIMKOMMENT");
        if (!payLine) {
            rentQty = num(r, "BERMENNY");
            rentUnit = txt(r, "BERMEGYSEG");
        }
        l.cim = txt(r, "CIM") + QLatin1Char(' ') + siteRemark;

        qint64 unitPrice = 0, priceSum = 0;
        QStringList products, origins, phoneDrivers;
        QString periods;
        for (int i = r; i < end; ++i) {
            SourceRow s;
            s.payment = txt(i, "TEVKOD") == QStringLiteral("FIZ") && num(i, "TETELSOR") == 0;
            s.bizonylat = num(i, "BIZONYLAT");
            s.verzio = num(i, "VERZIO");
            s.tetelsor = num(i, "TETELSOR");
            s.sorszam = num(i, "SORSZAM");
            s.datum = txt(i, "DATUM");
            s.tevsorszam = num(i, "TEVSORSZAM");
            s.tevkod = txt(i, "TEVKOD");
            s.tevallapot = txt(i, "TEVALLAPOT");
            s.soforkod = txt(i, "SOFORKOD");
            s.arukod = txt(i, "ARUKOD");
            s.komment = txt(i, "KOMMENT");
            // A visit the calendar moved here shows the day it came from.
            if (const QString o = txt(i, "EREDETINAP").trimmed(); !o.isEmpty() && !origins.contains(o)) origins << o;
            s.mennyiseg = num(i, "MENNYISEG");
            s.nettoar = num(i, "NETTOAR");
            s.kp = txt(i, "KP");
            l.sources << s;
            // Marked from a phone (a billing row: while it stays paid, the
            // only mark a phone gives it).
            if (txt(i, "FORRAS").trimmed() == PhoneSourceText() &&
                (!s.payment || txt(i, "MODOSITHATO") == QStringLiteral("N"))) {
                l.sources.last().fromPhone = true;
                const QString code = txt(i, "FORRASSOFOR").trimmed(), name = txt(i, "FORRASSOFORNEV").trimmed();
                const QString who = name.isEmpty() ? code : code + QLatin1Char(' ') + name;
                if (!phoneDrivers.contains(who)) phoneDrivers << who;
            }

            l.db += s.mennyiseg;
            if (!l.contracts.contains(s.bizonylat)) l.contracts << s.bizonylat;
            if (!payLine) products << s.arukod;
            if (payLine || txt(i, "ESETI") == QStringLiteral("I")) {
                unitPrice = s.nettoar;
                priceSum += s.nettoar;
                l.nettofiz += s.mennyiseg * s.nettoar;
                const qint64 brutto = num(i, "BRUTTO");
                l.bruttofiz += brutto != 0 ? s.mennyiseg * brutto
                                           : vl::util::RoundHalfAway(double(s.mennyiseg * s.nettoar) * vatFactor);
            }
            if (payLine)
                periods += QLatin1Char(' ') + s.datum + QStringLiteral(" -> ") + txt(i, "DATUM2") + QLatin1Char(',');
        }
        QString numbers;
        for (qint64 b : l.contracts) numbers += QString::number(b) + QLatin1Char(',');
        l.bizonylat = cut(numbers, 80);
        l.termekkodok = products.join(QLatin1Char(','));
        QString remark = periods + QLatin1Char(' ') + firstRemark;
        if (!origins.isEmpty()) remark += QStringLiteral(" Eredeti nap: ") + origins.join(QStringLiteral(", "));
        if (priceSum != 0) remark = QString::number(priceSum) + QStringLiteral(" Ft, ") + remark;
        if (!phoneDrivers.isEmpty()) {
            l.fromPhone = true;
            l.szin = PhoneMarkColorName();
            remark = PhoneMarkedText() + QStringLiteral(" (") + phoneDrivers.join(QStringLiteral(", ")) +
                     QStringLiteral("), ") + remark.trimmed();
        }
        l.komment = remark;
        if (unitPrice == 0)
            l.netto.clear();
        else if (!payLine)
            l.netto = QString::number(unitPrice);
        else
            l.netto = QString::number(unitPrice) + QStringLiteral(" / ") + QString::number(rentQty) +
                      QLatin1Char(' ') + rentUnit;
        l.netto = cut(l.netto, 30);
        out << l;
        r = end;
    }
    return out;
}

DaySheet::DaySheet(vl::db::Connection& conn, const vl::shell::Session& session, double vatFactor)
    : conn_(&conn), session_(session), vat_(vatFactor) {}

void DaySheet::ensureTable() {
    if (!table_.isEmpty()) return;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        if (!vl::db::SchemaRegistry::tableExists(*tx, kTemplate)) throw vl::RuleRefusal(NoTemplateText());
    }
    QString name;
    for (int attempt = 0; attempt < 50; ++attempt) {
        name = vl::util::StampedName(kTemplate + session_.userCode, QStringLiteral("TMP_"));
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        if (!vl::db::SchemaRegistry::tableExists(*tx, name)) break;
        tx.reset();
        QThread::msleep(2);
    }
    if (!vl::shell::CopyTableDef(*conn_, nullptr, session_, kTemplate, name, true, true))
        throw vl::RuleRefusal(NoTemplateText());
    table_ = name;
}

void DaySheet::LoadDaySheet(const QString& typedDay) {
    const QString day = vl::util::NormalizeDateText(typedDay);
    if (day.isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Hibás dátum: ") + typedDay.trimmed(), QStringLiteral("LoadDaySheet"));
    ensureTable();
    const QString t = vl::db::sqltext::quoteIdent(table_);
    QList<DaySheetLine> lines;
    QStringList failed;
    {
        vl::db::TxScope tx(*conn_, nullptr);
        lines = FoldDaySheet(DaySheetSourceRows(*tx, day), vat_);
        const QHash<QString, int> pictures = vl::rental::CountImagesOfDay(*tx, day);
        for (DaySheetLine& l : lines)
            for (const SourceRow& r : l.sources) {
                if (r.payment) continue;
                vl::rental::ActivityImageKey k{r.bizonylat, r.verzio, r.tetelsor, r.sorszam, r.datum.trimmed(), r.tevsorszam};
                l.images += pictures.value(k.text());
            }
        dayKind_ = vl::rental::WorkCalendar::load(*tx).describe(vl::rental::gen::toDate(day));
        tx->exec(QStringLiteral("DELETE FROM ") + t);
        auto ins = tx->prepare(kInsertSql.arg(t));
        for (const DaySheetLine& l : lines) {
            ins->bind(QStringLiteral("selected"), QStringLiteral(" "));
            ins->bind(QStringLiteral("tsorszam"), l.tsorszam);
            ins->bind(QStringLiteral("ugyfel"), cut(l.ugyfel, 60));
            ins->bind(QStringLiteral("cim"), l.cim);
            ins->bind(QStringLiteral("db"), l.db);
            ins->bind(QStringLiteral("tipus"), cut(l.tipus, 60));
            ins->bind(QStringLiteral("tevnev"), cut(l.tevnev, 60));
            ins->bind(QStringLiteral("sofor"), cut(l.sofor, 60));
            ins->bind(QStringLiteral("status"), cut(l.status, 60));
            ins->bind(QStringLiteral("termekkodok"), l.termekkodok);
            ins->bind(QStringLiteral("netto"), l.netto);
            ins->bind(QStringLiteral("komment"), l.komment);
            ins->bind(QStringLiteral("bizonylat"), l.bizonylat);
            ins->bind(QStringLiteral("tevallapot"), l.tevallapot);
            ins->bind(QStringLiteral("ugyfelkod"), l.ugyfelkod);
            ins->bind(QStringLiteral("ugyfelcim"), l.ugyfelcim);
            ins->bind(QStringLiteral("modosithato"), l.modosithato);
            ins->bind(QStringLiteral("tevkod"), l.tevkod);
            ins->bind(QStringLiteral("soforkod"), orNull(l.soforkod));
            ins->bind(QStringLiteral("szin"), cut(l.szin, 30));
            ins->bind(QStringLiteral("nettofiz"), l.nettofiz);
            ins->bind(QStringLiteral("bruttofiz"), l.bruttofiz);
            try {
                ins->execute();
            } catch (const vl::db::DbError& e) {
                if (e.isConnectionLost() || e.isCancelled()) throw;
                failed << l.ugyfel + QLatin1Char(' ') + l.cim + QLatin1Char(' ') + l.bizonylat;
            }
        }
        tx.commit();
    }
    day_ = day;
    lines_ = lines;
    failed_ = failed;
    marks_.clear();
    reopen();
}

void DaySheet::LoadDaySheet(const QString& typedDay, const DaySheetFilter& filter) {
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        CheckFilter(*tx, filter);
    }
    const DaySheetFilter last = filter_;
    filter_ = filter;
    try {
        LoadDaySheet(typedDay);
    } catch (...) {
        filter_ = last;
        throw;
    }
}

QString DaySheet::filterLine() const {
    QStringList c;
    if (!filter_.customerKey.isEmpty()) c << QStringLiteral("UGYFELKOD = :ugyfelkod");
    if (filter_.noDriver)
        c << QStringLiteral("(SOFORKOD IS NULL OR TRIM(SOFORKOD) = '')");
    else if (!filter_.driverCode.isEmpty())
        c << QStringLiteral("TRIM(SOFORKOD) = :soforkod");
    if (filter_.hideDeleted) c << QStringLiteral("(MODOSITHATO IS NULL OR MODOSITHATO <> 'X')");
    return c.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c.join(QStringLiteral(" AND "));
}

Params DaySheet::filterParams() const {
    Params p;
    if (!filter_.customerKey.isEmpty()) p.push_back({QStringLiteral("ugyfelkod"), filter_.customerKey});
    if (!filter_.noDriver && !filter_.driverCode.isEmpty())
        p.push_back({QStringLiteral("soforkod"), filter_.driverCode.trimmed()});
    return p;
}

QString DaySheet::orderLine() const {
    QString o = QStringLiteral(" ORDER BY ") + order_;
    if (order_ != QStringLiteral("CIM")) o += QStringLiteral(", CIM");
    return o + QStringLiteral(", TSORSZAM");
}

void DaySheet::reopen() {
    if (table_.isEmpty()) return;
    visible_ = conn_->query(QStringLiteral("SELECT * FROM ") + vl::db::sqltext::quoteIdent(table_) + filterLine() +
                               orderLine(),
                           filterParams());
    sum_.clear();
    const int cCode = visible_.indexOf(QStringLiteral("TEVKOD")), cName = visible_.indexOf(QStringLiteral("TEVNEV")),
              cDb = visible_.indexOf(QStringLiteral("DB"));
    for (int r = 0; r < visible_.rowCount(); ++r) {
        const QString code = visible_.at(r, cCode).toString();
        auto it = std::find_if(sum_.begin(), sum_.end(), [&](const TTevsum& s) { return s.code == code; });
        if (it == sum_.end()) {
            sum_.append({code, visible_.at(r, cName).toString(), 0});
            it = sum_.end() - 1;
        }
        it->total += visible_.at(r, cDb).toLongLong();
    }
}

void DaySheet::CheckFilter(vl::db::Transaction& tx, const DaySheetFilter& f) {
    if (!f.customerKey.isEmpty() &&
        tx.query(QStringLiteral("SELECT 1 FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), f.customerKey}}).isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen ügyfél: ") + f.customerKey, QStringLiteral("FilterDaySheet"));
    if (!f.noDriver && !f.driverCode.trimmed().isEmpty() &&
        tx.query(QStringLiteral("SELECT 1 FROM SZ_SOFOR WHERE KOD = :k"), {{QStringLiteral("k"), f.driverCode.trimmed()}})
            .isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen sofőr: ") + f.driverCode, QStringLiteral("FilterDaySheet"));
}

void DaySheet::FilterDaySheet(const DaySheetFilter& filter) {
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        CheckFilter(*tx, filter);
    }
    if (!(filter == filter_) && !marks_.isEmpty() && !table_.isEmpty()) {
        conn_->exec(QStringLiteral("UPDATE ") + vl::db::sqltext::quoteIdent(table_) +
                   QStringLiteral(" SET SELECTED = ' ' WHERE SELECTED = 'X'"));
        marks_.clear();
    }
    filter_ = filter;
    reopen();
}

bool DaySheet::ToggleLineMark(int tsorszam) {
    if (table_.isEmpty() || !line(tsorszam)) return false;
    const bool on = !marks_.contains(tsorszam);
    const qint64 n = conn_->exec(QStringLiteral("UPDATE ") + vl::db::sqltext::quoteIdent(table_) +
                                    QStringLiteral(" SET SELECTED = :selected WHERE TSORSZAM = :tsorszam"),
                                {{QStringLiteral("selected"), on ? QStringLiteral("X") : QStringLiteral(" ")},
                                 {QStringLiteral("tsorszam"), tsorszam}});
    if (n == 0) return false;
    if (on)
        marks_.append(tsorszam);
    else
        marks_.removeAll(tsorszam);
    reopen();
    return true;
}

bool DaySheet::SortBy(const QString& column) {
    const QString c = column.trimmed().toUpper();
    if (!SortableColumns().contains(c)) return false;
    order_ = c;
    reopen();
    return true;
}

QString DaySheet::summaryText() const {
    QStringList parts;
    for (const TTevsum& s : sum_) parts << s.name + QLatin1Char(':') + QString::number(s.total);
    return parts.join(QStringLiteral(", "));
}

const DaySheetLine* DaySheet::line(int tsorszam) const {
    if (tsorszam >= 1 && tsorszam <= lines_.size() && lines_.at(tsorszam - 1).tsorszam == tsorszam)
        return &lines_.at(tsorszam - 1);
    return nullptr;
}

QList<HandoverDoc> HandoverDocuments(const DaySheet& sheet) {
    const auto& sum = sheet.Atevsum();
    const bool delivery = std::any_of(sum.begin(), sum.end(), [](const TTevsum& s) {
        return s.code == QStringLiteral("KIH") || s.code == QStringLiteral("VSZ");
    });
    if (!delivery) throw vl::RuleRefusal(QStringLiteral("Nincs erre a napra szállítás"), QStringLiteral("b_atadas"));
    if (sheet.marks().isEmpty()) throw vl::RuleRefusal(QStringLiteral("Nincs kijelölve tétel"), QStringLiteral("b_atadas"));
    QList<HandoverDoc> docs;
    for (int t : sheet.marks()) {
        const DaySheetLine* l = sheet.line(t);
        if (!l) continue;
        const QString code = l->tevkod.toUpper();
        if (code != QStringLiteral("KIH") && code != QStringLiteral("VSZ")) continue;
        QList<QPair<qint64, qint64>> seen;
        for (const SourceRow& s : l->sources) {
            if (seen.contains({s.bizonylat, s.verzio})) continue;
            seen.append({s.bizonylat, s.verzio});
            docs.append({s.bizonylat, s.verzio, l->tevkod});
        }
    }
    return docs;
}

} // namespace vl::operations
