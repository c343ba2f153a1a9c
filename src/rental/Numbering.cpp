#include "rental/Numbering.h"
#include "shell/Queries.h"
#include "util/Error.h"

#include <QDateTime>
#include <stdexcept>

namespace vl::rental::Td {

using vl::db::Transaction;

TdValues& values() {
    static TdValues v;
    return v;
}

QString CheckedTableName(const QString& table, const QString& real) {
    const QString name = table.trimmed();
    if (name.compare(real, Qt::CaseInsensitive) == 0) return real;
    if (vl::shell::IsValidWorkTableName(name)) return name;
    throw vl::RuleRefusal(QStringLiteral("Érvénytelen táblanév a sorszámozáshoz: %1").arg(table),
                          QStringLiteral("CheckedTableName"));
}

qint64 NewContractNo(Transaction& tx, const QString& tranzDate, const QString& tranzTime) {
    const QDateTime now = QDateTime::currentDateTime();
    const QString d = tranzDate.isEmpty() ? now.toString(QStringLiteral("yyyy.MM.dd")) : tranzDate;
    const QString t = tranzTime.isEmpty() ? now.toString(QStringLiteral("hh:mm:ss")) : tranzTime;
    const auto rs = tx.query(QStringLiteral(
        "INSERT INTO FORGFEJ (VERZIO, TRANZDATE, TRANZTIME) VALUES (1, :tranzdate, :tranztime) "
        "RETURNING BIZONYLAT"),
        {{QStringLiteral("tranzdate"), d}, {QStringLiteral("tranztime"), t}});
    if (rs.isEmpty() || rs.at(0, 0).isNull())
        throw vl::db::DbError(QStringLiteral("Az adatbázis nem adott szerződésszámot."));
    return rs.at(0, 0).toLongLong();
}

qint64 MaxLineNo(Transaction& tx, qint64 bizonylat, qint64 /*verzio*/) {
    // Every version of the contract counts: a line number is never reused.
    const auto rs = tx.query(QStringLiteral("SELECT MAX(TETELSOR) MAXTETEL FROM FORGSOR WHERE BIZONYLAT = :bizonylat"),
                             {{QStringLiteral("bizonylat"), bizonylat}});
    return rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong();
}

qint64 NextActivitySeq(Transaction& tx, qint64 bizonylat, qint64 verzio, qint64 tetelsor,
                       const QString& datum, const QString& table, qint64 sorszam) {
    const QString t = CheckedTableName(table, QStringLiteral("FORGTEV"));
    const auto rs = tx.query(
        QStringLiteral("SELECT MAX(TEVSORSZAM) MAXTEV FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio "
                       "AND TETELSOR = :tetelsor AND SORSZAM = :sorszam AND DATUM = :datum").arg(t),
        {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio},
         {QStringLiteral("tetelsor"), tetelsor}, {QStringLiteral("sorszam"), sorszam},
         {QStringLiteral("datum"), datum}});
    return (rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong()) + 1;
}

qint64 NextPaymentSeq(Transaction& tx, qint64 bizonylat, qint64 verzio, const QString& datum,
                      const QString& table) {
    const QString t = CheckedTableName(table, QStringLiteral("FORGFIZ"));
    const auto rs = tx.query(
        QStringLiteral("SELECT MAX(TEVSORSZAM) MAXFIZ FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio "
                       "AND DATUM = :datum").arg(t),
        {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio},
         {QStringLiteral("datum"), datum}});
    return (rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong()) + 1;
}

TdValues LoadStatusCodes(Transaction& tx) {
    TdValues& v = values();
    v.StatusCodeI.clear();
    v.StatusCodeN.clear();
    v.StatusCodeX.clear();
    v.StatusCodeLowI.clear();
    v.StatusCodeLowN.clear();
    auto rs = tx.query(QStringLiteral("SELECT KOD, MODOSITHATO FROM SZ_STATUST ORDER BY NEV"));
    while (rs.next()) {
        const QString kod = rs.text(QStringLiteral("KOD")).trimmed();
        const QString cls = rs.text(QStringLiteral("MODOSITHATO"));
        if (cls == QLatin1String("I")) v.StatusCodeI = kod;
        else if (cls == QLatin1String("N")) v.StatusCodeN = kod;
        else if (cls == QLatin1String("n")) v.StatusCodeLowN = kod;
        else if (cls == QLatin1String("X")) v.StatusCodeX = kod;
        else if (cls == QLatin1String("i")) v.StatusCodeLowI = kod;
    }
    if (v.StatusCodeLowN.isEmpty()) v.StatusCodeLowN = v.StatusCodeX;
    return v;
}

double DefaultVatFactor(Transaction& tx) {
    const auto rs = tx.query(QStringLiteral("SELECT ERTEK FROM SZ_ADO WHERE STANDARD = 'I' AND ERTEK IS NOT NULL ORDER BY ERTEK DESC"));
    if (rs.isEmpty() || rs.at(0, 0).isNull()) return 1.0;
    return 1.0 + rs.at(0, 0).toDouble();
}

void LoadStartupValues(vl::db::Connection& conn) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    LoadStatusCodes(*tx);
    values().VatFactor = DefaultVatFactor(*tx);
    tx->commit();
}

} // namespace vl::rental::Td
