#include "billing/Appendix.h"

#include "billing/AppendixReports.h"
#include "db/Catalogue.h"
#include "rental/Dictionaries.h"
#include "db/TxScope.h"
#include "shell/Queries.h"
#include "util/Error.h"
#include "util/NumberFormat.h"
#include "util/Texts.h"
#include "util/Dates.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <tuple>

namespace vl::billing {

using vl::db::Params;
using vl::db::RowSet;

namespace {

const char* const kTemplate = "MELLEKLET";

// The columns of the work table, in the template's order.
const QStringList& columns() {
    static const QStringList c = {
        QStringLiteral("BIZONYLAT"),  QStringLiteral("VERZIO"),     QStringLiteral("BERKEZD"),
        QStringLiteral("BERVEG"),     QStringLiteral("UGYFELKOD"),  QStringLiteral("UGYFELCIM"),
        QStringLiteral("BERSZAMJEL"), QStringLiteral("FIZMOD"),     QStringLiteral("NETTOERTEK"),
        QStringLiteral("UGYFELNEV"),  QStringLiteral("CIMNEV"),     QStringLiteral("CIM"),
        QStringLiteral("KABINTIPUS"), QStringLiteral("KISZALL"),    QStringLiteral("VSZALL"),
        QStringLiteral("ARUKOD"),     QStringLiteral("NETTOAR"),    QStringLiteral("BERMENNY"),
        QStringLiteral("BERMEGYSEG"), QStringLiteral("SORSZAM"),    QStringLiteral("LASTPRINT"),
        QStringLiteral("TEVEKENYSEG"), QStringLiteral("EGYSEGAR"),  QStringLiteral("ELSZNAP"),
        QStringLiteral("MINIMALAR"),  QStringLiteral("MINARSZAMOL"), QStringLiteral("TETELSOR"),
        QStringLiteral("DATUMTOL"),   QStringLiteral("DATUMIG"),    QStringLiteral("LASTPRINTT")};
    return c;
}

// Rental rows: the cabins of the active, not cancelled contracts whose rental
// overlaps the period. VSZKESZ tells whether the cabin's take-back is done
// (a take-back of the done class, dated); KIHTERV is the planned day of a
// delivery that is still planned (none of the cabin's deliveries done), NULL
// otherwise. It is read only for a cabin that is out and due by the period's
// end (a cabin taken back was delivered; one due later is not charged): it
// costs a read of the cabin's activities.
const char* const kRentalSelect =
    "SELECT F.BIZONYLAT, F.VERZIO, F.BERKEZD, F.BERVEG, F.UGYFELKOD, F.UGYFELCIM, M.BERSZAMJEL, FM.NEV FIZMOD,"
    " 0 NETTOERTEK, U.NEV UGYFELNEV, C.NEV CIMNEV, C.IRSZAM||' '||C.VAROS||', '||C.UTCA CIM, SC.NEV KABINTIPUS,"
    " K.KISZALL, K.VSZALL, K.ARUKOD, S.NETTOAR, S.BERMENNY, S.BERMEGYSEG, K.SORSZAM, F.LASTPRINT,"
    " 'Kabin bérlés' TEVEKENYSEG, 0.0 EGYSEGAR, 0 ELSZNAP, S.MINIMALAR, 'N' MINARSZAMOL, S.TETELSOR,"
    " ' ' DATUMTOL, ' ' DATUMIG, F.LASTPRINTT,"
    " CASE WHEN K.VSZALL > '' THEN (SELECT COUNT(*) FROM FORGTEV T2 JOIN SZ_STATUST ST2 ON ST2.KOD = T2.TEVALLAPOT"
    "   WHERE T2.BIZONYLAT = K.BIZONYLAT AND T2.VERZIO = K.VERZIO AND T2.TETELSOR = K.TETELSOR"
    "   AND T2.SORSZAM = K.SORSZAM AND T2.TEVKOD = 'VSZ' AND ST2.MODOSITHATO = 'N' AND T2.DATUM > '')"
    "  ELSE 0 END VSZKESZ,"
    " CASE WHEN (K.VSZALL IS NULL OR K.VSZALL = '') AND K.KISZALL <= :datumig THEN"
    "  (SELECT CASE WHEN MAX(CASE WHEN ST3.MODOSITHATO = 'N' THEN 1 ELSE 0 END) = 1 THEN NULL"
    "   ELSE MIN(CASE WHEN ST3.MODOSITHATO IN ('I', 'i') THEN T3.DATUM END) END"
    "   FROM FORGTEV T3 JOIN SZ_STATUST ST3 ON ST3.KOD = T3.TEVALLAPOT"
    "   WHERE T3.BIZONYLAT = K.BIZONYLAT AND T3.VERZIO = K.VERZIO AND T3.TETELSOR = K.TETELSOR"
    "   AND T3.SORSZAM = K.SORSZAM AND T3.TEVKOD = 'KIH')"
    "  END KIHTERV,"
    " 'R' SORFAJTA"
    " FROM FORGSOR S, SZ_MEGYSEG M, FORGFEJ F, UGYFEL U, UGYFELCIM C, SZ_FIZMOD FM, FORGKABIN K, SZ_ARUCSOP SC"
    " WHERE M.KOD = S.BERMEGYSEG AND S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO AND F.AKTIV = 'I'"
    " AND F.STATUS <> 'X' AND U.KOD = F.UGYFELKOD AND C.KOD = F.UGYFELCIM AND FM.KOD = F.FIZMOD"
    " AND SC.KOD = S.ARUCSOPORT AND K.BIZONYLAT = F.BIZONYLAT AND K.VERZIO = F.VERZIO AND K.TETELSOR = S.TETELSOR"
    " AND F.BERKEZD <= :datumig AND (F.BERVEG >= :datumtol OR F.BERVEG = '' OR F.BERVEG IS NULL)";

// Activity rows: every done (class N) visit with a price, dated in the
// period, each its own row. A visit reaches its contract through its own keys
// and names its own cabin (ARUKOD) and line number: an item or a line removed
// after the visit was done takes nothing off the invoice (the product group
// then comes from the product register). The visits are read by their date
// index first: the "+ 0" keeps the server from reaching them through each
// contract's key (a year of visits per contract) instead.
const char* const kActivitySelect =
    "SELECT F.BIZONYLAT, F.VERZIO, F.BERKEZD, F.BERVEG, F.UGYFELKOD, F.UGYFELCIM, '-' BERSZAMJEL, FM.NEV FIZMOD,"
    " T.NETTOAR * T.MENNYISEG NETTOERTEK, U.NEV UGYFELNEV, C.NEV CIMNEV, C.IRSZAM||' '||C.VAROS||', '||C.UTCA CIM,"
    " COALESCE(SC.NEV, SCA.NEV) KABINTIPUS, T.DATUM KISZALL, K.VSZALL,"
    " COALESCE(NULLIF(TRIM(T.ARUKOD), ''), K.ARUKOD) ARUKOD, T.NETTOAR, T.MENNYISEG BERMENNY,"
    " 'Alkalom' BERMEGYSEG, T.SORSZAM, F.LASTPRINT, SZT.NEV TEVEKENYSEG, T.NETTOAR EGYSEGAR, 1 ELSZNAP,"
    " S.MINIMALAR, 'N' MINARSZAMOL, T.TETELSOR, ' ' DATUMTOL, ' ' DATUMIG, F.LASTPRINTT,"
    " 0 VSZKESZ, CAST(NULL AS VARCHAR(10)) KIHTERV, 'T' SORFAJTA"
    " FROM FORGTEV T"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT + 0 AND F.VERZIO = T.VERZIO + 0"
    " JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = T.TEVKOD"
    " LEFT JOIN FORGKABIN K ON K.BIZONYLAT = T.BIZONYLAT AND K.VERZIO = T.VERZIO AND K.TETELSOR = T.TETELSOR"
    "  AND K.SORSZAM = T.SORSZAM"
    " LEFT JOIN FORGSOR S ON S.BIZONYLAT = T.BIZONYLAT AND S.VERZIO = T.VERZIO AND S.TETELSOR = T.TETELSOR"
    " LEFT JOIN SZ_ARUCSOP SC ON SC.KOD = S.ARUCSOPORT"
    " LEFT JOIN ARU A ON S.BIZONYLAT IS NULL AND A.KOD = COALESCE(NULLIF(TRIM(T.ARUKOD), ''), K.ARUKOD)"
    " LEFT JOIN SZ_ARUCSOP SCA ON SCA.KOD = A.ARUCSOPORT"
    " WHERE T.NETTOAR <> 0 AND ST.MODOSITHATO = 'N' AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " AND T.DATUM >= :datumtol AND T.DATUM <= :datumig";

QString filterText(const AppendixFilter& f) {
    QString s;
    if (!f.customerKey.isEmpty()) s += QStringLiteral(" AND F.UGYFELKOD = :ugyfelkod");
    if (!f.paymentKind.isEmpty()) s += QStringLiteral(" AND FM.KP = :kp");
    if (!f.rentalMode.isEmpty()) s += QStringLiteral(" AND F.BERMOD = :bermod");
    if (!f.rentalUnit.isEmpty()) s += QStringLiteral(" AND S.BERMEGYSEG = :bermegyseg");
    // A customer whose e-invoice flag was never set counts as not e-invoiced.
    if (f.einvoice == EInvoiceFilter::Only) s += QStringLiteral(" AND U.ESZAMLA = :eszamla");
    if (f.einvoice == EInvoiceFilter::Except) s += QStringLiteral(" AND (U.ESZAMLA IS NULL OR U.ESZAMLA <> :eszamla)");
    return s;
}

const char* const kUnprinted = " WHERE LASTPRINT = '' OR LASTPRINT IS NULL";

} // namespace

QStringList PaymentKindItems() {
    return {QString(), QStringLiteral("Készpénzes"), QStringLiteral("Utalásos"), QStringLiteral("Előre fizetős")};
}

QString PaymentKindOfItem(const QString& item) {
    if (item == QStringLiteral("Készpénzes")) return QStringLiteral("I");
    if (item == QStringLiteral("Utalásos")) return QStringLiteral("N");
    if (item == QStringLiteral("Előre fizetős")) return QStringLiteral("E");
    return QString();
}

QStringList EInvoiceItems() {
    return {QStringLiteral("Mind"), QStringLiteral("Csak az e-számlás"), QStringLiteral("Mind, kivéve az e-számlás")};
}

QString AppendixPeriodErrors(const QString& typedFrom, const QString& typedTo, QString* from, QString* to) {
    const QString f = NormalizedDate(typedFrom);
    const QString t = NormalizedDate(typedTo, true);
    if (from) *from = f;
    if (to) *to = t;
    QString list;
    if (f.isEmpty()) list += QStringLiteral("Hibás kezdő dátum.\r");
    if (t.isEmpty()) list += QStringLiteral("Hibás végdátum.\r");
    if (!f.isEmpty() && !t.isEmpty() && t < f) list += QStringLiteral("Hibás dátum intervallum.\r");
    return list.isEmpty() ? QString() : QStringLiteral("Az adatokban az alábbi hibák vannak:\r") + list;
}

QString AppendixRowMessage(ChargeResult::Problem problem, const QString& arukod, const QString& customer,
                           const QString& address) {
    QString head;
    switch (problem) {
    case ChargeResult::Problem::BadStart: head = QStringLiteral("Hibás kezdődátum. Kabin="); break;
    case ChargeResult::Problem::BadEnd: head = QStringLiteral("Hibás végdátum. Kabin="); break;
    case ChargeResult::Problem::BadDelivery: head = QStringLiteral("Hibás kiszállítás kelt. Kabin="); break;
    case ChargeResult::Problem::None: return QString();
    }
    return head + arukod + QStringLiteral("\rCím: ") + customer + QLatin1Char(' ') + address;
}

QString PlannedDeliveryText(const PlannedDelivery& d) {
    return QStringLiteral("Kiszállítás még nincs elvégezve: szerződés %1, kabin %2, tervezett nap %3")
        .arg(d.bizonylat)
        .arg(d.arukod, d.day);
}

QString TotalsText(const ListTotals& t) {
    const QString sum = t.total == 0 ? QString() : vl::util::FormatAmount(double(t.total));
    return QString::number(t.rows) + QStringLiteral(" darab, ") + sum + QStringLiteral(" Ft.");
}

AppendixService::AppendixService(vl::db::Connection& conn, const vl::shell::Session& who) : conn_(conn), who_(who) {}

bool AppendixService::ensureTable() {
    if (!table_.isEmpty() && vl::db::TableExists(conn_, table_)) return false;
    table_ = vl::util::StampedName(QStringLiteral("BMELL") + who_.userCode, QStringLiteral("TMP_"));
    ddl_.clear();
    vl::shell::CopyTableDef(conn_, nullptr, who_, QString::fromLatin1(kTemplate), table_, true, false, &ddl_);
    return true;
}

void AppendixService::renewTable() {
    if (ddl_.isEmpty())
        vl::shell::CopyTableDef(conn_, nullptr, who_, QString::fromLatin1(kTemplate), table_, false, false, &ddl_);
    if (!ddl_.startsWith(QStringLiteral("CREATE TABLE ")))
        throw vl::Error(QStringLiteral("A melléklet munkatáblája nem hozható létre újra: ") + table_,
                        QStringLiteral("AppendixService::renewTable"), vl::Error::Kind::Other);
    // The table made anew under its name: the last build's rows go with their
    // pages, without a version left of each row to clear later.
    vl::db::TxScope tx(conn_, nullptr);
    tx->exec(QStringLiteral("RE") + ddl_);
    tx.commit();
}

QString AppendixService::sourceStatement(const AppendixFilter& filter) {
    const QString f = filterText(filter);
    return QString::fromUtf8(kRentalSelect) + f + QStringLiteral(" UNION ALL ") + QString::fromUtf8(kActivitySelect) + f;
}

Params AppendixService::sourceParams(const QString& from, const QString& to, const AppendixFilter& filter) {
    Params p{{QStringLiteral("datumtol"), from}, {QStringLiteral("datumig"), to}};
    if (!filter.customerKey.isEmpty()) p.push_back({QStringLiteral("ugyfelkod"), filter.customerKey});
    if (!filter.paymentKind.isEmpty()) p.push_back({QStringLiteral("kp"), filter.paymentKind});
    if (!filter.rentalMode.isEmpty()) p.push_back({QStringLiteral("bermod"), filter.rentalMode});
    if (!filter.rentalUnit.isEmpty()) p.push_back({QStringLiteral("bermegyseg"), filter.rentalUnit});
    if (filter.einvoice != EInvoiceFilter::All) p.push_back({QStringLiteral("eszamla"), QStringLiteral("I")});
    return p;
}

BuildResult AppendixService::build(const QString& typedFrom, const QString& typedTo, const AppendixFilter& filter,
                                   const std::function<void(int, int)>& progress) {
    QString from, to;
    const QString errors = AppendixPeriodErrors(typedFrom, typedTo, &from, &to);
    if (!errors.isEmpty()) throw vl::RuleRefusal(errors, QStringLiteral("AppendixService::build"));
    const bool fresh = ensureTable();

    BuildResult result;
    const QString insertSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (:%3)")
                                  .arg(table_, columns().join(QLatin1Char(',')),
                                       columns().join(QStringLiteral(",:")).toLower());
    const QString f = filterText(filter);
    const Params params = sourceParams(from, to, filter);
    // One transaction reads every row and writes them; a row that cannot be
    // computed, or a write that fails, leaves the table empty.
    vl::db::TxScope tx(conn_, nullptr);
    RowSet rs = tx->query(QString::fromUtf8(kRentalSelect) + f, params);
    const int total = rs.rowCount();
    std::vector<QVariantList> rows;
    rows.reserve(size_t(total));
    const int nCols = int(columns().size());
    std::vector<int> idx(static_cast<size_t>(nCols), -1);
    for (int c = 0; c < nCols; ++c) idx[size_t(c)] = rs.indexOf(columns().at(c));
    const int iDone = rs.indexOf(QStringLiteral("VSZKESZ"));
    const int iPlanned = rs.indexOf(QStringLiteral("KIHTERV"));
    auto col = [&](const char* name) { return columns().indexOf(QString::fromLatin1(name)); };
    const int cMark = col("BERSZAMJEL"), cPrice = col("NETTOAR"), cQty = col("BERMENNY"), cMin = col("MINIMALAR"),
              cKezd = col("BERKEZD"), cVeg = col("BERVEG"), cKisz = col("KISZALL"), cVsz = col("VSZALL"),
              cLp = col("LASTPRINT"), cLpt = col("LASTPRINTT"), cUnit = col("BERMEGYSEG"), cErtek = col("NETTOERTEK"),
              cEgys = col("EGYSEGAR"), cNap = col("ELSZNAP"), cMinSz = col("MINARSZAMOL"), cTol = col("DATUMTOL"),
              cIg = col("DATUMIG"), cAru = col("ARUKOD"), cNev = col("UGYFELNEV"), cCim = col("CIM"),
              cBiz = col("BIZONYLAT"), cTetel = col("TETELSOR"), cSorsz = col("SORSZAM");

    // The rental rows, each computed before anything is written.
    for (int r = 0; r < total; ++r) {
        const QVariantList& src = rs.row(r);
        QVariantList v;
        v.reserve(nCols);
        for (int c = 0; c < nCols; ++c) v.append(src.at(idx[size_t(c)]));
        auto text = [&](int c) { return v.at(c).isNull() ? QString() : v.at(c).toString().trimmed(); };
        ChargeInput in;
        in.mark = text(cMark);
        in.price = v.at(cPrice).toLongLong();
        in.quantity = v.at(cQty).toLongLong();
        in.minimumPrice = v.at(cMin).toLongLong();
        in.berkezd = text(cKezd);
        in.berveg = text(cVeg);
        in.kiszall = text(cKisz);
        in.vszall = text(cVsz);
        in.lastprint = text(cLp);
        in.lastprintt = text(cLpt);
        in.periodFrom = from;
        in.periodTo = to;
        in.takeBackDone = src.at(iDone).toLongLong() > 0;
        const RowPeriod p = AppendixRowPeriod(from, to, filter.weekAlign, text(cUnit), in.quantity, in.lastprint,
                                              in.kiszall, in.vszall);
        in.rowFrom = p.from;
        in.rowTo = p.to;
        const ChargeResult c = AppendixCharge(in);
        if (c.problem != ChargeResult::Problem::None) {
            const QString msg = AppendixRowMessage(c.problem, text(cAru), text(cNev), text(cCim));
            tx->rollback();
            // The build stops: the list is left empty, never half-computed.
            builtFrom_.clear();
            builtTo_.clear();
            renewTable();
            throw vl::RuleRefusal(msg, QStringLiteral("AppendixCharge"));
        }
        // Charged from KISZALL whether or not the delivery was done; a
        // delivery still planned is named.
        const QVariant planned = src.at(iPlanned);
        if (!planned.isNull() && c.days > 0)
            result.plannedDeliveries.append(PlannedDelivery{v.at(cBiz).toLongLong(), v.at(cTetel).toLongLong(),
                                                            v.at(cSorsz).toLongLong(), text(cAru),
                                                            planned.toString().trimmed()});
        v[cErtek] = c.charge;
        v[cEgys] = c.unitPrice;
        v[cNap] = c.days;
        v[cMin] = c.minimumCharge;
        v[cMinSz] = c.minimumApplied ? QStringLiteral("I") : QStringLiteral("N");
        v[cTol] = c.from;
        v[cIg] = c.to;
        // Dates are stored in the one form.
        v[cKisz] = NormalizedDate(in.kiszall);
        if (!in.vszall.isEmpty()) v[cVsz] = NormalizedDate(in.vszall);
        rows.push_back(std::move(v));
        if (progress) progress(r + 1, total);
    }
    result.rentalRows = int(rows.size());

    // From here a failure leaves the table empty: it is made anew (a
    // statement of its own, committed; the reading transaction goes on and
    // writes into it).
    builtFrom_.clear();
    builtTo_.clear();
    if (!fresh) renewTable();
    auto ins = tx->prepare(insertSql);
    QStringList names;
    for (const QString& c : columns()) names << c.toLower();
    for (const auto& v : rows) {
        for (int c = 0; c < nCols; ++c) ins->bind(names.at(c), v.at(c));
        ins->execute();
    }
    ins.reset();
    // The activity rows are what the server reads, copied there, after the
    // rental rows: they never travel through the program.
    const QString cols = columns().join(QLatin1Char(','));
    tx->exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM (%3%4) A")
                 .arg(table_, cols, QString::fromUtf8(kActivitySelect), f),
             params);
    const RowSet sums = tx->query(QStringLiteral("SELECT COUNT(*), SUM(NETTOERTEK) FROM %1").arg(table_));
    tx.commit();
    result.rows = int(sums.at(0, 0).toLongLong());
    result.activityRows = result.rows - result.rentalRows;
    result.total = sums.at(0, 1).toLongLong();
    if (progress) progress(result.rows, result.rows);
    std::sort(result.plannedDeliveries.begin(), result.plannedDeliveries.end(),
              [](const PlannedDelivery& a, const PlannedDelivery& b) {
                  return std::tie(a.bizonylat, a.tetelsor, a.sorszam) < std::tie(b.bizonylat, b.tetelsor, b.sorszam);
              });
    builtFrom_ = from;
    builtTo_ = to;
    return result;
}

RowSet AppendixService::list(bool unprintedOnly) const {
    if (table_.isEmpty()) return {};
    return conn_.query(
        QStringLiteral("SELECT SUM(NETTOERTEK) NETTOERTEK, BIZONYLAT, VERZIO, BERKEZD, BERVEG, LASTPRINT, NETTOAR,"
                       " UGYFELKOD, UGYFELCIM, BERSZAMJEL, FIZMOD, UGYFELNEV, CIMNEV, CIM, BERMENNY, BERMEGYSEG,"
                       " DATUMTOL, DATUMIG FROM %1%2 GROUP BY BIZONYLAT, VERZIO, BERKEZD, BERVEG, LASTPRINT, NETTOAR,"
                       " UGYFELKOD, UGYFELCIM, BERSZAMJEL, FIZMOD, UGYFELNEV, CIMNEV, CIM, BERMENNY, BERMEGYSEG,"
                       " DATUMTOL, DATUMIG ORDER BY UGYFELNEV, UGYFELKOD, CIM")
            .arg(table_, unprintedOnly ? QString::fromLatin1(kUnprinted) : QString()));
}

ListTotals AppendixService::totals(bool unprintedOnly) const {
    ListTotals t;
    if (table_.isEmpty()) return t;
    t.rows = list(unprintedOnly).rowCount();
    const RowSet rs = conn_.query(QStringLiteral("SELECT SUM(NETTOERTEK) NETTOERTEK FROM %1%2")
                                      .arg(table_, unprintedOnly ? QString::fromLatin1(kUnprinted) : QString()));
    if (rs.rowCount()) t.total = rs.at(0, 0).toLongLong();
    return t;
}

RowSet AppendixService::customerTotals(bool unprintedOnly) const {
    if (table_.isEmpty()) return {};
    return conn_.query(QStringLiteral("SELECT SUM(NETTOERTEK) NETTOERTEK, UGYFELKOD, UGYFELNEV, FIZMOD FROM %1%2"
                                      " GROUP BY UGYFELKOD, UGYFELNEV, FIZMOD ORDER BY UGYFELNEV, UGYFELKOD")
                           .arg(table_, unprintedOnly ? QString::fromLatin1(kUnprinted) : QString()));
}

RowSet AppendixService::customers() const {
    if (table_.isEmpty()) return {};
    return conn_.query(QStringLiteral("SELECT DISTINCT UGYFELNEV NEV, UGYFELKOD KOD FROM %1 ORDER BY 1, 2").arg(table_));
}

RowSet AppendixService::allRows() const {
    if (table_.isEmpty()) return {};
    return conn_.query(QStringLiteral("SELECT * FROM %1 ORDER BY UGYFELNEV, UGYFELKOD, CIM, BIZONYLAT, TETELSOR,"
                                      " SORSZAM, BERSZAMJEL DESC, KISZALL")
                           .arg(table_));
}

RowSet AppendixService::appendixRows(const QString& customerKey, const QStringList& siteKeys) const {
    if (table_.isEmpty()) return {};
    Params p{{QStringLiteral("ugyfelkod"), customerKey}};
    QString sites;
    if (!siteKeys.isEmpty()) {
        QStringList names;
        for (int i = 0; i < siteKeys.size(); ++i) {
            names << QStringLiteral(":s%1").arg(i);
            p.push_back({QStringLiteral("s%1").arg(i), siteKeys.at(i)});
        }
        sites = QStringLiteral(" AND UGYFELCIM IN (") + names.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    return conn_.query(QStringLiteral("SELECT * FROM %1 WHERE UGYFELKOD = :ugyfelkod%2"
                                      " ORDER BY UGYFELNEV, CIM, KABINTIPUS, TEVEKENYSEG, KISZALL, VSZALL, ARUKOD")
                           .arg(table_, sites),
                       p);
}

QList<UnprintedMonths> UnprintedAppendixMonths(vl::db::Transaction& tx, const QString& day) {
    const QDate today = QDate::fromString(NormalizedDate(day), QStringLiteral("yyyy.MM.dd"));
    QList<UnprintedMonths> out;
    if (!today.isValid()) return out;
    const QDate thisMonth(today.year(), today.month(), 1);
    RowSet rs = tx.query(QStringLiteral(
                             "SELECT F.UGYFELKOD, U.NEV, F.BERKEZD, F.LASTPRINT FROM FORGFEJ F"
                             " JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
                             " WHERE F.STATUS = 'FO' AND F.AKTIV = 'I' AND FM.KP <> 'I' AND F.BERKEZD < :honap"
                             " ORDER BY U.NEV, F.UGYFELKOD"),
                         {{QStringLiteral("honap"), thisMonth.toString(QStringLiteral("yyyy.MM.dd"))}});
    const QString fmt = QStringLiteral("yyyy.MM.dd");
    while (rs.next()) {
        const QString lp = rs.text(QStringLiteral("LASTPRINT")).trimmed();
        QDate from = lp.isEmpty() ? QDate::fromString(rs.text(QStringLiteral("BERKEZD")).trimmed(), fmt)
                                  : QDate::fromString(lp, fmt).addDays(1);
        if (!from.isValid()) continue;
        from = QDate(from.year(), from.month(), 1);
        if (from >= thisMonth) continue;
        const int months = (thisMonth.year() - from.year()) * 12 + thisMonth.month() - from.month();
        const QString key = rs.text(QStringLiteral("UGYFELKOD")).trimmed();
        if (out.isEmpty() || out.last().customerKey != key) {
            UnprintedMonths u;
            u.customerKey = key;
            u.customer = rs.text(QStringLiteral("NEV")).trimmed();
            out.append(u);
        }
        UnprintedMonths& u = out.last();
        ++u.contracts;
        if (months > u.months) {
            u.months = months;
            u.firstMonth = from.toString(QStringLiteral("yyyy.MM"));
        }
    }
    return out;
}

namespace {

// The net total of each customer's site in the produced rows, written beside
// the stamps (a reprint of the period replaces its row).
void recordPrinted(vl::db::Transaction& tx, const RowSet& rows, const QString& from, const QString& to,
                   const QString& writer, const QString& now) {
    const int iKey = rows.indexOf(QStringLiteral("UGYFELKOD")), iSite = rows.indexOf(QStringLiteral("UGYFELCIM")),
              iNet = rows.indexOf(QStringLiteral("NETTOERTEK"));
    if (iKey < 0 || iNet < 0) return;
    QList<QPair<QString, QString>> order;
    QHash<QPair<QString, QString>, qint64> sums;
    for (int i = 0; i < rows.rowCount(); ++i) {
        const QPair<QString, QString> k{rows.at(i, iKey).toString().trimmed(),
                                        iSite >= 0 ? rows.at(i, iSite).toString().trimmed() : QString()};
        if (!sums.contains(k)) order << k;
        sums[k] += rows.at(i, iNet).toLongLong();
    }
    for (const auto& k : order)
        tx.exec(QStringLiteral("UPDATE OR INSERT INTO MELLEKLETNYOMT (UGYFELKOD, UGYFELCIM, DATUMTOL, DATUMIG, NETTO,"
                               " JUZER, MIKOR) VALUES (:ugyfelkod, :ugyfelcim, :tol, :ig, :netto, :juzer, :mikor)"
                               " MATCHING (UGYFELKOD, UGYFELCIM, DATUMTOL, DATUMIG)"),
                {{QStringLiteral("ugyfelkod"), k.first}, {QStringLiteral("ugyfelcim"), k.second},
                 {QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}, {QStringLiteral("netto"), sums.value(k)},
                 {QStringLiteral("juzer"), writer}, {QStringLiteral("mikor"), now}});
}

} // namespace

StampResult AppendixService::stamp(const RowSet& rows, const QString& from, const QString& to) {
    StampResult r;
    const QString f = NormalizedDate(from), t = NormalizedDate(to, true);
    if (rows.isEmpty() || f.isEmpty() || t.isEmpty()) return r;
    const int iBiz = rows.indexOf(QStringLiteral("BIZONYLAT"));
    QList<qint64> contracts;
    QSet<qint64> seen;
    for (int i = 0; i < rows.rowCount(); ++i) {
        const qint64 b = rows.at(i, iBiz).toLongLong();
        if (!seen.contains(b)) {
            seen.insert(b);
            contracts.append(b);
        }
    }
    // Forward only: a contract that holds a later end keeps it.
    const QString forward = QStringLiteral(" AND (LASTPRINT IS NULL OR LASTPRINT = '' OR LASTPRINT <= :lastprint)");
    vl::db::TxScope tx(conn_, nullptr);
    const QString now = vl::util::NowStamp();
    for (qint64 b : contracts) {
        const Params p{{QStringLiteral("lastprint"), t}, {QStringLiteral("lastprinttol"), f},
                       {QStringLiteral("bizonylat"), b}};
        Params pf = p;
        pf.push_back({QStringLiteral("juzer"), who_.writer()});
        pf.push_back({QStringLiteral("mikor"), now});
        const qint64 n = tx->exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = :lastprint, LASTPRINTT = :lastprinttol,"
                                                 " JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat")
                                      + forward,
                                  pf);
        if (n > 0) ++r.contracts;
        else ++r.skipped;
        if (!table_.isEmpty())
            tx->exec(QStringLiteral("UPDATE %1 SET LASTPRINT = :lastprint, LASTPRINTT = :lastprinttol"
                                    " WHERE BIZONYLAT = :bizonylat").arg(table_) + forward,
                     p);
    }
    recordPrinted(*tx, rows, f, t, who_.writer(), now);
    tx.commit();
    return r;
}

vl::OutcomeOf<StampResult> AppendixService::stampProduced(const RowSet& rows, const QString& from, const QString& to,
                                                          bool printed) {
    using Result = vl::OutcomeOf<StampResult>;
    auto stampNowDone = [this, rows, from, to] {
        Result o = Result::done();
        static_cast<StampResult&>(o) = stamp(rows, from, to);
        return o;
    };
    if (printed) return stampNowDone();
    return Result::asking(StampQuestion(), [stampNowDone](bool yes) { return yes ? stampNowDone() : Result::done(); },
                          true);
}

RowSet AppendixService::readRentalModes() const { return vl::rental::ReadDictionary(conn_, vl::rental::Dictionary::RentalModes); }

RowSet AppendixService::readRentalUnits() const { return vl::rental::ReadDictionary(conn_, vl::rental::Dictionary::RentalUnits); }

QString AppendixService::readCompanyName() const { return CompanyName(conn_); }

} // namespace vl::billing
