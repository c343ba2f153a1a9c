#include "rental/ContractWatch.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <vector>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kColumns = QStringLiteral(
    "SELECT F.BIZONYLAT, F.VERZIO, F.UGYFELKOD, U.NEV UGYFEL,"
    " COALESCE(C.IRSZAM, '')||' '||COALESCE(C.VAROS, '')||' '||COALESCE(C.UTCA, '') CIM,"
    " F.BERKEZD, F.BERVEG, F.BERMOD, %1 DATUM"
    " FROM FORGFEJ F LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM");
const QString kRunning = QStringLiteral(" WHERE F.STATUS = 'FO' AND F.AKTIV = 'I'");
const QString kOrder = QStringLiteral(" ORDER BY 9, 1");

} // namespace

RowSet EndingContracts(Transaction& tx, const QString& day, const QString& lastDay) {
    // The rental end in the window, or a planned take-back in it, whichever
    // comes first. Two reads driven by the window: the planned take-backs of
    // its days (the index of kind and day), and the running contracts ending
    // in it or having such a take-back (FORGFEJ is one row per contract
    // version). They are joined here: tested in the server, each contract
    // walked the window's take-backs again, so the time grew with the square
    // of the company.
    const Params p{{QStringLiteral("datum"), day}, {QStringLiteral("utolso"), lastDay}};
    const QString takeBacks = QStringLiteral(
        " FROM FORGTEV T WHERE (T.TEVKOD || '|' || T.DATUM) COLLATE UCS_BASIC BETWEEN 'VSZ|' || :datum AND 'VSZ|' || :utolso"
        " AND T.TEVKOD = 'VSZ' AND T.DATUM BETWEEN :datum AND :utolso"
        " AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))");
    const RowSet planned =
        tx.query(QStringLiteral("SELECT T.BIZONYLAT, T.VERZIO, MIN(T.DATUM) ELSO") + takeBacks + QStringLiteral(" GROUP BY 1, 2"), p);
    QHash<QPair<qint64, qint64>, QString> firstTakeBack;
    QSet<qint64> withTakeBack;
    for (int r = 0; r < planned.rowCount(); ++r) {
        const qint64 b = planned.at(r, 0).toLongLong();
        firstTakeBack.insert({b, planned.at(r, 1).toLongLong()}, planned.at(r, 2).toString());
        withTakeBack.insert(b);
    }
    const RowSet contracts = tx.query(
        kColumns.arg(QStringLiteral("F.BERVEG"))
                .replace(QStringLiteral(" FROM FORGFEJ F"),
                         QStringLiteral(" FROM (SELECT F0.BIZONYLAT FROM FORGFEJ F0 WHERE F0.BERVEG BETWEEN :datum AND :utolso"
                                        " UNION SELECT T.BIZONYLAT") +
                             takeBacks + QStringLiteral(") W0 JOIN FORGFEJ F ON F.BIZONYLAT = W0.BIZONYLAT")) +
            kRunning,
        p);
    const int iBizonylat = contracts.indexOf(QStringLiteral("BIZONYLAT"));
    const int iVerzio = contracts.indexOf(QStringLiteral("VERZIO"));
    const int iBerveg = contracts.indexOf(QStringLiteral("BERVEG"));
    const int iDatum = contracts.indexOf(QStringLiteral("DATUM"));
    struct Row {
        QVariantList values;
        bool hasDay;
        QString datum;
        qint64 bizonylat;
    };
    std::vector<Row> rows;
    for (int r = 0; r < contracts.rowCount(); ++r) {
        const qint64 b = contracts.at(r, iBizonylat).toLongLong();
        const QVariant bervegValue = contracts.at(r, iBerveg);
        const QString berveg = bervegValue.toString();
        const bool endsInWindow = !bervegValue.isNull() && berveg >= day && berveg <= lastDay;
        if (!endsInWindow && !withTakeBack.contains(b)) continue;
        QVariantList values = contracts.row(r);
        const auto t = firstTakeBack.constFind({b, contracts.at(r, iVerzio).toLongLong()});
        if (t != firstTakeBack.constEnd() && (bervegValue.isNull() || berveg.isEmpty() || *t < berveg || berveg < day))
            values[iDatum] = *t;
        const QVariant& d = values.at(iDatum);
        rows.push_back({std::move(values), !d.isNull(), d.toString(), b});
    }
    // By the day listed (no day first, as the server orders), then number.
    std::sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) {
        if (x.hasDay != y.hasDay) return !x.hasDay;
        if (const int c = x.datum.compare(y.datum)) return c < 0;
        return x.bizonylat < y.bizonylat;
    });
    std::vector<QVariantList> out;
    out.reserve(rows.size());
    for (Row& r : rows) out.push_back(std::move(r.values));
    return RowSet(contracts.columns(), std::move(out));
}

RowSet StartedContracts(Transaction& tx, const QString& firstDay, const QString& day) {
    return tx.query(kColumns.arg(QStringLiteral("F.BERKEZD")) + kRunning +
                        QStringLiteral(" AND F.BERKEZD BETWEEN :elso AND :datum") + kOrder,
                    {{QStringLiteral("elso"), firstDay}, {QStringLiteral("datum"), day}});
}

RowSet OverrunContracts(Transaction& tx, const QString& day) {
    return tx.query(kColumns.arg(QStringLiteral("F.BERVEG")) + kRunning +
                        QStringLiteral(" AND F.BERVEG < :datum AND F.BERVEG <> '' AND F.BERMOD IN"
                                       " (SELECT KOD FROM SZ_BERMOD WHERE KOTNAP = 'I')") +
                        kOrder,
                    {{QStringLiteral("datum"), day}});
}

RowSet UndeliveredContracts(Transaction& tx, const QString& day, const QString& fromDay) {
    // The planned deliveries from the index of kind and day (IX_FORGTEV_FUVAR:
    // only the deliveries since fromDay are read), then their contracts.
    return tx.query(QStringLiteral("SELECT * FROM (") +
                        kColumns.arg(QStringLiteral("K.ELSO")).replace(
                            QStringLiteral(" FROM FORGFEJ F"),
                            QStringLiteral(" FROM (SELECT T.BIZONYLAT, T.VERZIO, MIN(T.DATUM) ELSO FROM FORGTEV T"
                                           " WHERE (T.TEVKOD || '|' || T.DATUM) COLLATE UCS_BASIC BETWEEN 'KIH|' || :tol AND 'KIH|9999.99.99'"
                                           " AND T.TEVKOD = 'KIH' AND T.DATUM >= :tol AND T.TEVALLAPOT IN"
                                           " (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i')) GROUP BY 1, 2) K"
                                           " JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT AND F.VERZIO = K.VERZIO")) +
                        kRunning + QStringLiteral(" AND F.BERKEZD <= :datum) W ORDER BY DATUM, BIZONYLAT"),
                    {{QStringLiteral("datum"), day}, {QStringLiteral("tol"), fromDay}});
}

RowSet ItemsOut(Transaction& tx, const QString& from, const QString& to) {
    return tx.query(QStringLiteral(
                        "SELECT * FROM (SELECT S.ARUCSOPORT, K.KISZALL,"
                        " COALESCE(NULLIF(TRIM(K.VSZALL), ''), NULLIF(TRIM(K.VSZALLT), ''), '') VISSZA"
                        " FROM FORGKABIN K"
                        " JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT AND F.VERZIO = K.VERZIO"
                        " JOIN FORGSOR S ON S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO AND S.TETELSOR = K.TETELSOR"
                        " WHERE F.STATUS <> 'X' AND F.AKTIV = 'I' AND K.KISZALL <> '' AND K.KISZALL <= :ig) W"
                        " WHERE VISSZA = '' OR VISSZA >= :tol"),
                    {{QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}});
}

} // namespace vl::rental
