#include "rental/ContractWatch.h"

namespace vl::rental {

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

// The first planned take-back of the contract in the window.
const QString kTakeBack = QStringLiteral(
    "(SELECT MIN(T.DATUM) FROM FORGTEV T JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " WHERE T.BIZONYLAT = F.BIZONYLAT AND T.VERZIO = F.VERZIO AND T.TEVKOD = 'VSZ'"
    " AND ST.MODOSITHATO IN ('I', 'i') AND T.DATUM BETWEEN :datum AND :utolso)");

} // namespace

RowSet EndingContracts(Transaction& tx, const QString& day, const QString& lastDay) {
    // The rental end in the window, or a planned take-back in it, whichever
    // comes first. The contracts of the window drive the read: those ending
    // in it (FORGFEJ is one row per contract version) and those with a
    // planned take-back in it (the FORGTEV date index, the window's days
    // only), so the history behind the window is never walked.
    const QString sql = QStringLiteral(
        "SELECT * FROM (") +
        kColumns.arg(QStringLiteral("CASE WHEN %1 IS NOT NULL AND (F.BERVEG IS NULL OR F.BERVEG = '' OR %1 < F.BERVEG"
                                    " OR F.BERVEG < :datum) THEN %1 ELSE F.BERVEG END")
                         .arg(kTakeBack))
            .replace(QStringLiteral(" FROM FORGFEJ F"),
                     QStringLiteral(" FROM (SELECT F0.BIZONYLAT FROM FORGFEJ F0 WHERE F0.BERVEG BETWEEN :datum AND :utolso"
                                    " UNION SELECT T.BIZONYLAT FROM FORGTEV T JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
                                    " WHERE T.TEVKOD = 'VSZ' AND T.DATUM BETWEEN :datum AND :utolso"
                                    " AND ST.MODOSITHATO IN ('I', 'i')) W0"
                                    " JOIN FORGFEJ F ON F.BIZONYLAT = W0.BIZONYLAT")) +
        kRunning +
        QStringLiteral(" AND ((F.BERVEG BETWEEN :datum AND :utolso) OR F.BIZONYLAT IN (SELECT T.BIZONYLAT FROM FORGTEV T"
                       " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT WHERE T.TEVKOD = 'VSZ' AND T.DATUM BETWEEN :datum"
                       " AND :utolso AND ST.MODOSITHATO IN ('I', 'i')))) W") +
        QStringLiteral(" ORDER BY DATUM, BIZONYLAT");
    return tx.query(sql, {{QStringLiteral("datum"), day}, {QStringLiteral("utolso"), lastDay}});
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
