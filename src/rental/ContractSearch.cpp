#include "rental/ContractSearch.h"

#include "db/TxScope.h"
#include "rental/ContractConflict.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "util/Dates.h"
#include "util/Error.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>

#include <functional>

namespace vl::rental {

using vl::db::Connection;
using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;
using vl::db::TxScope;

namespace {

const QString kRule = QStringLiteral("ContractSearch");

// The list's columns. RV: the record version the status actions compare.
// Customer and site are outer joins: a contract whose site row is missing is
// still found.
const QString kSelect = QStringLiteral(
    "SELECT F.BIZONYLAT, F.STATUS, F.VERZIO, F.BERKEZD, F.BERVEG, F.LASTPRINT, F.KOMMENT, F.STATUSELOZO, F.BERMOD, "
    "F.UGYFELKOD, F.UGYFELCIM, U.NEV UGYFEL, C.NEV CIMNEV, C.IRSZAM, C.VAROS, C.UTCA, "
    "S.NEV STATUSZ, S.SZIN, S.MODOSITHATO, F.RDB$RECORD_VERSION RV ");
// Where the rows come from. The engine keeps the order of outer joins, so
// the source that narrows the search most is read first:
//  - by default every contract, with its customer;
//  - with a cabin, the contracts holding it, from the item index;
//  - with a name prefix, the customers it finds, from the name index, and
//    their contracts (the conditions on F drop customers without one).
const QString kFromContracts = QStringLiteral("FROM FORGFEJ F LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD");
const QString kFromCabin = QStringLiteral(
    "FROM FORGFEJ F JOIN (SELECT DISTINCT KK.BIZONYLAT, KK.VERZIO FROM FORGKABIN KK WHERE KK.ARUKOD = :kabin) KB"
    " ON KB.BIZONYLAT = F.BIZONYLAT AND KB.VERZIO = F.VERZIO LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD");
const QString kFromCustomers = QStringLiteral("FROM UGYFEL U LEFT JOIN FORGFEJ F ON F.UGYFELKOD = U.KOD");
const QString kJoins = QStringLiteral(
    " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
    " JOIN SZ_STATUSR S ON S.KOD = F.STATUS"
    " WHERE F.AKTIV = 'I'");

// The name prefix, ignoring case and accents; served by the index on the same
// expression (IX_UGYFEL_NEV_KERES).
const QString kNamePrefix = QStringLiteral(" AND (U.NEV COLLATE UNICODE_CI_AI) STARTING WITH :ugyfelnev");
const int kNameLength = 60; // UGYFEL.NEV

// An activity of the contract in the period that was or is to be done
// (planned, planned again or done; not cancelled, not moved away).
const QString kActivityInPeriod = QStringLiteral(
    " AND EXISTS (SELECT 1 FROM FORGTEV T WHERE T.BIZONYLAT = F.BIZONYLAT AND T.VERZIO = F.VERZIO%1"
    " AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i', 'N')))");

// A line or an item of the driver (codes compared without their blanks).
const QString kDriver = QStringLiteral(
    " AND (EXISTS (SELECT 1 FROM FORGSOR DS WHERE DS.BIZONYLAT = F.BIZONYLAT AND DS.VERZIO = F.VERZIO"
    " AND TRIM(DS.SOFORKOD) = :sofor1)"
    " OR EXISTS (SELECT 1 FROM FORGKABIN DK WHERE DK.BIZONYLAT = F.BIZONYLAT AND DK.VERZIO = F.VERZIO"
    " AND TRIM(DK.SOFORKOD) = :sofor2))");
const QString kGroup = QStringLiteral(
    " AND EXISTS (SELECT 1 FROM FORGSOR GS WHERE GS.BIZONYLAT = F.BIZONYLAT AND GS.VERZIO = F.VERZIO"
    " AND GS.ARUCSOPORT = :arucsoport)");

const QStringList kOrderNames = {
    QStringLiteral("Ügyfél, bérlet kezdete"), QStringLiteral("Ügyfél, bérlet vége"),
    QStringLiteral("Ügyfél, bizonylat szám"), QStringLiteral("Bérlet kezdete, ügyfél"),
    QStringLiteral("Bérlet vége, ügyfél"),    QStringLiteral("Bizonylatszám")};
// The number last in each order keeps rows of equal keys in one order.
const QStringList kOrderBy = {
    QStringLiteral("U.NEV, F.BERKEZD, F.BIZONYLAT"), QStringLiteral("U.NEV, F.BERVEG, F.BIZONYLAT"),
    QStringLiteral("U.NEV, F.BIZONYLAT"),            QStringLiteral("F.BERKEZD, U.NEV, F.BIZONYLAT"),
    QStringLiteral("F.BERVEG, U.NEV, F.BIZONYLAT"),  QStringLiteral("F.BIZONYLAT")};

// Codes bound one parameter each: "(:m0, :m1, ...)".
QString inList(const QStringList& codes, const QString& stem, Params& p) {
    QStringList names;
    for (int i = 0; i < codes.size(); ++i) {
        const QString n = stem + QString::number(i);
        names << QLatin1Char(':') + n;
        p.push_back({n, codes.at(i)});
    }
    return QLatin1Char('(') + names.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QStringList cleaned(const QStringList& codes) {
    QStringList out;
    for (const QString& c : codes)
        if (!c.trimmed().isEmpty() && !out.contains(c.trimmed())) out << c.trimmed();
    return out;
}

bool wholeNumber(const QString& t, qint64* value) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(t).hasMatch()) return false;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    if (ok && value) *value = v;
    return ok;
}

// ---- the status actions

struct Head {
    QString status, statusElozo, statusName;
    qint64 rv = 0;
};

Head readHead(Transaction& tx, qint64 b, qint64 v) {
    auto rs = tx.query(QStringLiteral(
        "SELECT F.STATUS, F.STATUSELOZO, S.NEV, F.RDB$RECORD_VERSION RV FROM FORGFEJ F "
        "LEFT JOIN SZ_STATUSR S ON S.KOD = F.STATUS WHERE F.BIZONYLAT = :b AND F.VERZIO = :v AND F.AKTIV = 'I'"),
        {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    if (!rs.next()) throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szerződés: %1").arg(b), kRule);
    Head h;
    h.status = rs.text(QStringLiteral("STATUS")).trimmed();
    h.statusElozo = rs.text(QStringLiteral("STATUSELOZO")).trimmed();
    h.statusName = rs.value(2).toString();
    h.rv = rs.integer(QStringLiteral("RV"));
    return h;
}

// The contract as the caller saw it, or the refusal that it changed meanwhile.
void checkVersion(const Head& h, qint64 expectedRv) {
    if (expectedRv != 0 && h.rv != expectedRv)
        refuseContractChanged(kRule);
}

// The products of the contract's items (all of them, or only those not back).
QStringList productsOf(Transaction& tx, qint64 b, qint64 v, bool notBackOnly) {
    QString sql = QStringLiteral("SELECT DISTINCT TRIM(ARUKOD) FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v "
                                 "AND ARUKOD IS NOT NULL AND TRIM(ARUKOD) NOT IN ('', '*')");
    if (notBackOnly) sql += QStringLiteral(" AND (VSZALL IS NULL OR VSZALL = '')");
    auto rs = tx.query(sql, {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    QStringList out;
    while (rs.next()) out << rs.value(0).toString();
    return out;
}

// A refusal thrown by the checks becomes the outcome the caller shows.
template <class F>
vl::Outcome refusing(F&& run) {
    try {
        return run();
    } catch (const vl::RuleRefusal& e) {
        return vl::Outcome::refusal(e.text());
    }
}

// The contract a status action works on, and who acts.
struct StatusKey {
    vl::shell::Session session;
    qint64 bizonylat = 0, verzio = 0;
};

// Sets the contract's status, with the previous one and the stamp.
void writeStatus(Transaction& tx, const StatusKey& k, const QString& status, const QString& previous) {
    tx.exec(QStringLiteral(
        "UPDATE FORGFEJ SET STATUS = :status, STVALTKELT = :datum, STATUSELOZO = :statuselozo, "
        "JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
        {{QStringLiteral("status"), status},
         {QStringLiteral("datum"), vl::util::TodayStr()},
         {QStringLiteral("statuselozo"), previous},
         {QStringLiteral("juzer"), k.session.writer()},
         {QStringLiteral("mikor"), vl::util::NowStamp()},
         {QStringLiteral("b"), k.bizonylat},
         {QStringLiteral("v"), k.verzio}});
}

using HeadCheck = std::function<void(Transaction&, const Head&)>;
using StatusWrite = std::function<void(Transaction&, const Head&, const StatusKey&)>;

// One status action: the checks on the contract as loaded (before), the
// question, and on "yes" a fresh read of the same version, the checks that
// must hold at the write (recheck, may be empty), the write and the products
// of the contract's items set again (all of them, or only those not back).
vl::Outcome statusAction(Connection& conn, Transaction* outer, const StatusKey& k, qint64 loadedRv,
                         const QString& question, const HeadCheck& before, const HeadCheck& recheck,
                         const StatusWrite& write, bool notBackOnly) {
    return refusing([&] {
        qint64 seenRv = loadedRv;
        {
            TxScope tx(conn, outer);
            const Head h = readHead(*tx, k.bizonylat, k.verzio);
            checkVersion(h, loadedRv);
            before(*tx, h);
            if (seenRv == 0) seenRv = h.rv;
            if (tx.owns()) tx.commit();
        }
        Connection* c = &conn;
        return vl::Outcome::asking(question, [c, outer, k, seenRv, recheck, write, notBackOnly](bool yes) {
            if (!yes) return vl::Outcome();
            return refusing([&] {
                TxScope tx(*c, outer);
                const Head h = readHead(*tx, k.bizonylat, k.verzio);
                checkVersion(h, seenRv);
                if (recheck) recheck(*tx, h);
                refusingContractConflict(kRule, [&] {
                    write(*tx, h, k);
                    for (const QString& kod : productsOf(*tx, k.bizonylat, k.verzio, notBackOnly))
                        ProductStore::UpdateProductStatus(*tx, kod);
                });
                tx.commit();
                return vl::Outcome::done();
            });
        }, true);
    });
}

} // namespace

QVariantMap HandoverArgs::params() const {
    return {{QStringLiteral("Contract"), contract},
            {QStringLiteral("Version"), version},
            {QStringLiteral("ActivityCode"), activity},
            {QStringLiteral("Date"), date},
            {QStringLiteral("EndDate"), endDate}};
}

const QStringList& ContractSearch::OrderNames() { return kOrderNames; }

QString ContractSearch::OrderBy(int order) {
    if (order < 1 || order > kOrderBy.size()) order = 1;
    return kOrderBy.at(order - 1);
}

QString ContractSearch::Refusal(const ContractFilter& f) {
    if (cleaned(f.modes).isEmpty()) return NoModeText();
    if (cleaned(f.statuses).isEmpty()) return NoStatusText();
    if (f.usePeriod) {
        for (const QString& d : {f.from, f.to})
            if (!d.trimmed().isEmpty() && !vl::util::DateValid(d, false))
                return QStringLiteral("Hibás dátum.\n") + d.trimmed();
    }
    const QString n = f.number.trimmed();
    if (!n.isEmpty() && !wholeNumber(n, nullptr)) return BadNumberText(n);
    return QString();
}

BuiltSearch ContractSearch::Build(const ContractFilter& f) {
    if (const QString why = Refusal(f); !why.isEmpty()) throw vl::RuleRefusal(why, kRule);
    BuiltSearch b;
    Params& p = b.params;
    QString sql = kSelect;
    const QString cabin = f.cabin.trimmed();
    const QString key = f.customerKey.trimmed();
    const QString typed = f.customerText.trimmed();
    if (!cabin.isEmpty()) {
        sql += kFromCabin;
        p.push_back({QStringLiteral("kabin"), cabin});
    } else if (key.isEmpty() && !typed.isEmpty() && typed.size() <= kNameLength) {
        sql += kFromCustomers;
    } else {
        sql += kFromContracts;
    }
    sql += kJoins;
    sql += QStringLiteral(" AND F.BERMOD IN ") + inList(cleaned(f.modes), QStringLiteral("m"), p);
    // The ticked statuses usually cover most contracts: read through the
    // status index they cost three times a plain read, so the index is not offered.
    sql += QStringLiteral(" AND (F.STATUS || '') IN ") + inList(cleaned(f.statuses), QStringLiteral("s"), p);

    if (f.usePeriod) {
        const QString from = vl::util::NormalizeDateText(f.from);
        const QString to = vl::util::NormalizeDateText(f.to);
        if (!f.periodOfActivities) {
            if (!from.isEmpty()) {
                sql += QStringLiteral(" AND F.BERKEZD >= :tol");
                p.push_back({QStringLiteral("tol"), from});
            }
            if (!to.isEmpty()) {
                sql += QStringLiteral(" AND F.BERKEZD <= :ig");
                p.push_back({QStringLiteral("ig"), to});
            }
        } else if (!from.isEmpty() || !to.isEmpty()) {
            QString cond;
            if (!from.isEmpty()) {
                cond += QStringLiteral(" AND T.DATUM >= :tol");
                p.push_back({QStringLiteral("tol"), from});
            }
            if (!to.isEmpty()) {
                cond += QStringLiteral(" AND T.DATUM <= :ig");
                p.push_back({QStringLiteral("ig"), to});
            }
            sql += kActivityInPeriod.arg(cond);
        }
    }

    // The customer: once chosen, by its key; typed, as a prefix of the name.
    if (!key.isEmpty()) {
        sql += QStringLiteral(" AND F.UGYFELKOD = :ugyfelkod");
        p.push_back({QStringLiteral("ugyfelkod"), key});
    } else if (!typed.isEmpty()) {
        if (typed.size() > kNameLength) {
            sql += QStringLiteral(" AND 1 = 0"); // longer than any name
        } else {
            sql += kNamePrefix;
            p.push_back({QStringLiteral("ugyfelnev"), typed});
        }
    }
    if (!f.allProjects && !f.siteKey.trimmed().isEmpty()) {
        sql += QStringLiteral(" AND F.UGYFELCIM = :cim");
        p.push_back({QStringLiteral("cim"), f.siteKey.trimmed()});
    }

    const QString driver = f.driver.trimmed();
    if (!driver.isEmpty()) {
        sql += kDriver;
        p.push_back({QStringLiteral("sofor1"), driver});
        p.push_back({QStringLiteral("sofor2"), driver});
    }
    if (!f.group.trimmed().isEmpty()) {
        sql += kGroup;
        p.push_back({QStringLiteral("arucsoport"), f.group.trimmed()});
    }
    qint64 number = 0;
    if (wholeNumber(f.number.trimmed(), &number)) {
        sql += QStringLiteral(" AND F.BIZONYLAT = :bizonylat");
        p.push_back({QStringLiteral("bizonylat"), number});
    }
    if (!f.filing.trimmed().isEmpty()) {
        sql += QStringLiteral(" AND F.SZERZODES = :szerzodes");
        p.push_back({QStringLiteral("szerzodes"), f.filing.trimmed()});
    }
    sql += QStringLiteral(" ORDER BY ") + OrderBy(f.order);
    b.sql = sql;
    return b;
}

RowSet ContractSearch::Run(Transaction& tx, const ContractFilter& f) {
    const BuiltSearch b = Build(f);
    return tx.query(b.sql, b.params);
}

RowSet ContractSearch::Run(Connection& conn, const ContractFilter& f) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    RowSet rs = Run(*tx, f);
    tx->commit();
    return rs;
}

vl::Outcome ContractSearch::cancelOrRestore(Connection& conn, Transaction* outer, const vl::shell::Session& s,
                                            qint64 bizonylat, qint64 verzio, qint64 loadedRv) {
    return refusing([&] {
        QString status;
        {
            TxScope tx(conn, outer, outer ? vl::db::TxMode::ReadWrite : vl::db::TxMode::ReadOnly);
            status = readHead(*tx, bizonylat, verzio).status;
            tx.commit();
        }
        return status == QLatin1String("X") ? restore(conn, outer, s, bizonylat, verzio, loadedRv)
                                            : cancel(conn, outer, s, bizonylat, verzio, loadedRv);
    });
}

vl::Outcome ContractSearch::cancel(Connection& conn, Transaction* outer, const vl::shell::Session& s, qint64 bizonylat,
                                   qint64 verzio, qint64 loadedRv) {
    const auto before = [bizonylat, verzio](Transaction& tx, const Head& h) {
        if (h.status == QLatin1String("X")) throw vl::RuleRefusal(AlreadyCancelledText(), kRule);
        // A done activity (class "N") other than maintenance on the contract's items.
        auto done = tx.query(QStringLiteral(
            "SELECT COUNT(*) DARAB FROM FORGTEV T, SZ_STATUST S, FORGKABIN K WHERE T.BIZONYLAT = :b AND T.VERZIO = :v "
            "AND S.KOD = T.TEVALLAPOT AND S.MODOSITHATO = 'N' AND T.TEVKOD <> 'KA' AND K.BIZONYLAT = T.BIZONYLAT "
            "AND K.VERZIO = T.VERZIO AND K.TETELSOR = T.TETELSOR AND K.SORSZAM = T.SORSZAM"),
            {{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}});
        if (done.at(0, 0).toLongLong() > 0) throw vl::RuleRefusal(DoneActivityText(), kRule);
    };
    // The status first (with the stamp): the product service then sees the
    // contract cancelled and frees only what no other contract holds.
    const auto write = [](Transaction& tx, const Head& h, const StatusKey& k) {
        writeStatus(tx, k, QStringLiteral("X"), h.status);
    };
    return statusAction(conn, outer, {s, bizonylat, verzio}, loadedRv, CancelQuestion(), before, nullptr, write, false);
}

vl::Outcome ContractSearch::restore(Connection& conn, Transaction* outer, const vl::shell::Session& s, qint64 bizonylat,
                                    qint64 verzio, qint64 loadedRv) {
    const auto before = [](Transaction&, const Head& h) {
        if (h.status != QLatin1String("X")) throw vl::RuleRefusal(NotCancelledText(), kRule);
    };
    const auto recheck = [bizonylat, verzio](Transaction& tx, const Head&) {
        // Cabins of items not yet back that are no longer free (out elsewhere,
        // damaged ...); a cabin still marked at this contract is not in the way.
        auto busy = tx.query(QStringLiteral(
            "SELECT DISTINCT TRIM(A.KOD) FROM ARU A, FORGKABIN K WHERE K.BIZONYLAT = :b AND K.VERZIO = :v "
            "AND (K.VSZALL IS NULL OR K.VSZALL = '') AND A.KOD = K.ARUKOD AND A.ALLAPOT <> 'SZA' "
            "AND (A.BIZONYLAT IS NULL OR A.BIZONYLAT <> :b2) ORDER BY 1"),
            {{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}, {QStringLiteral("b2"), bizonylat}});
        QStringList codes;
        while (busy.next()) codes << busy.value(0).toString();
        if (!codes.isEmpty())
            throw vl::RuleRefusal(NotFreeText() + QLatin1Char('\n') + codes.join(QLatin1Char(',')), kRule);
    };
    const auto write = [](Transaction& tx, const Head& h, const StatusKey& k) {
        QString back = h.statusElozo;
        if (back.isEmpty() || back == QLatin1String("X")) back = QStringLiteral("FO");
        writeStatus(tx, k, back, QString(QLatin1String("")));
    };
    return statusAction(conn, outer, {s, bizonylat, verzio}, loadedRv, RestoreQuestion(), before, recheck, write, true);
}

vl::Outcome ContractSearch::reopen(Connection& conn, Transaction* outer, const vl::shell::Session& s, qint64 bizonylat,
                                   qint64 verzio, qint64 loadedRv) {
    const auto closed = [](Transaction&, const Head& h) {
        if (h.status != QLatin1String("LEZ")) throw vl::RuleRefusal(OnlyClosedText(), kRule);
    };
    // The end the contract had before a take-back closed it comes back
    // (empty for an open-ended one); a contract closed otherwise keeps its end.
    const auto write = [](Transaction& tx, const Head&, const StatusKey& k) {
        tx.exec(QStringLiteral(
            "UPDATE FORGFEJ SET STATUS = :status, BERVEG = CASE WHEN BERVEGELOZO IS NULL THEN BERVEG ELSE BERVEGELOZO END, "
            "BERVEGELOZO = NULL, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
            {{QStringLiteral("status"), QStringLiteral("FO")},
             {QStringLiteral("juzer"), k.session.writer()},
             {QStringLiteral("mikor"), vl::util::NowStamp()},
             {QStringLiteral("b"), k.bizonylat},
             {QStringLiteral("v"), k.verzio}});
    };
    return statusAction(conn, outer, {s, bizonylat, verzio}, loadedRv, ReopenQuestion(), closed, closed, write, true);
}

HandoverArgs ContractSearch::Handover(const QVariantMap& row) {
    HandoverArgs a;
    a.contract = row.value(QStringLiteral("BIZONYLAT")).toLongLong();
    a.version = row.value(QStringLiteral("VERZIO"), 1).toInt();
    a.activity = QStringLiteral("KIH");
    const QString start = row.value(QStringLiteral("BERKEZD")).toString().trimmed();
    const QString end = row.value(QStringLiteral("BERVEG")).toString().trimmed();
    a.date = start;
    a.endDate = row.value(QStringLiteral("BERMOD")).toString().trimmed() == QLatin1String("ALK") ? end : start;
    return a;
}

QString ContractSearch::ModifyRefusal(const QVariantMap& row) {
    if (row.value(QStringLiteral("MODOSITHATO")).toString().trimmed() != QLatin1String("N")) return QString();
    return row.value(QStringLiteral("STATUSZ")).toString() + QStringLiteral(" szerződés nem módosítható.");
}

QString ContractSearch::Legend(Transaction& tx) {
    QString t = QStringLiteral("Színek jelentése: ");
    auto rs = tx.query(QStringLiteral("SELECT NEV, SZIN FROM SZ_STATUSR ORDER BY NEV"));
    while (rs.next()) t += rs.text(QStringLiteral("SZIN")) + QStringLiteral(" = ") + rs.text(QStringLiteral("NEV")) + QStringLiteral(", ");
    return t;
}

} // namespace vl::rental
