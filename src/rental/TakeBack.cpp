#include "rental/TakeBack.h"

#include "rental/Billing.h"
#include "rental/ProductStore.h"
#include "util/Dates.h"

#include <QDateTime>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

namespace {

QString cancelledCode(const GeneratorContext& ctx) {
    if (ctx.classOf(QStringLiteral("X")) == u'X') return QStringLiteral("X");
    QStringList codes;
    for (auto it = ctx.statusClass.begin(); it != ctx.statusClass.end(); ++it)
        if (it.value() == u'X') codes << it.key();
    codes.sort();
    return codes.isEmpty() ? QStringLiteral("X") : codes.first();
}

} // namespace

QString TakeBackMarkText(const QString& datum, qint64 tevsorszam, const QString& state) {
    return datum + QLatin1Char('#') + QString::number(tevsorszam) + QLatin1Char('/') + state.trimmed();
}

TakeBackResult TakeBackOnTables(Transaction& tx, const GeneratorContext& ctx, const RentalTables& tables,
                                const TakeBackItem& item, bool done) {
    TakeBackResult r;
    const Params key{{QStringLiteral("b"), item.bizonylat}, {QStringLiteral("v"), item.verzio},
                     {QStringLiteral("t"), item.tetelsor}, {QStringLiteral("s"), item.sorszam}};
    RowSet it = tx.query(QStringLiteral("SELECT ARUKOD FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                        " AND SORSZAM = :s").arg(tables.sqlItems()),
                         key);
    if (it.next()) r.arukod = it.text(QStringLiteral("ARUKOD")).trimmed();

    // The return record of the item.
    Params p = key;
    p.push_back({QStringLiteral("d"), done ? QVariant(item.datum) : QVariant(QMetaType::fromType<QString>())});
    p.push_back({QStringLiteral("juzer"), ctx.userCode});
    p.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
    tx.exec(QStringLiteral("UPDATE %1 SET VSZALL = :d, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b"
                           " AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s").arg(tables.sqlItems()),
            p);

    // The later planned activities: cancelled and marked, or restored as they were.
    const QString prefix = TakeBackMarkText(item.datum, item.tevsorszam, QString());
    Params a = key;
    a.push_back({QStringLiteral("prefix"), prefix});
    a.push_back({QStringLiteral("juzer"), ctx.userCode});
    a.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
    if (done) {
        a.push_back({QStringLiteral("d"), item.datum});
        a.push_back({QStringLiteral("x"), cancelledCode(ctx)});
        // VSZTORLES is assigned first: it reads the state the row had.
        r.cancelled = int(tx.exec(
            QStringLiteral("UPDATE %1 SET VSZTORLES = CAST(:prefix AS VARCHAR(30)) || TRIM(TEVALLAPOT), TEVALLAPOT = :x, JUZER = :juzer,"
                           " MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"
                           " AND DATUM > :d AND TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))")
                .arg(tables.sqlActivities()),
            a));
    } else {
        a.push_back({QStringLiteral("hossz"), qint64(prefix.size())});
        r.cancelled = int(tx.exec(
            QStringLiteral("UPDATE %1 SET TEVALLAPOT = SUBSTRING(VSZTORLES FROM CAST(:hossz AS INTEGER) + 1), VSZTORLES = NULL,"
                           " JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                           " AND SORSZAM = :s AND VSZTORLES STARTING WITH :prefix")
                .arg(tables.sqlActivities()),
            a));
    }

    // The line counts what is back.
    tx.exec(QStringLiteral("UPDATE %1 S SET VMENNYISEG = (SELECT COUNT(*) FROM %2 K WHERE K.BIZONYLAT = S.BIZONYLAT"
                           " AND K.VERZIO = S.VERZIO AND K.TETELSOR = S.TETELSOR AND K.VSZALL IS NOT NULL"
                           " AND K.VSZALL <> '') WHERE S.BIZONYLAT = :b AND S.VERZIO = :v AND S.TETELSOR = :t")
                .arg(tables.sqlLines(), tables.sqlItems()),
            {{QStringLiteral("b"), item.bizonylat}, {QStringLiteral("v"), item.verzio},
             {QStringLiteral("t"), item.tetelsor}});
    return r;
}

TakeBackResult TakeBackOnContract(Transaction& tx, const GeneratorContext& ctx, qint64 bizonylat, qint64 verzio,
                                  const QString& arukod, const QString& datum, bool done) {
    TakeBackResult r;
    r.arukod = arukod;
    ProductStore::UpdateProductStatus(tx, arukod);

    const Params c{{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}};
    RowSet left = tx.query(QStringLiteral("SELECT SUM(MENNYISEG - COALESCE(VMENNYISEG, 0)) FROM FORGSOR"
                                          " WHERE BIZONYLAT = :b AND VERZIO = :v"),
                           c);
    const qint64 remaining = left.rowCount() ? left.at(0, 0).toLongLong() : 0;
    RowSet head = tx.query(QStringLiteral("SELECT STATUS, BERVEGELOZO FROM FORGFEJ WHERE BIZONYLAT = :b AND VERZIO = :v"), c);
    if (!head.next()) return r;
    const bool closed = head.text(QStringLiteral("STATUS")).trimmed() == QLatin1String("LEZ");
    const bool closedByTakeBack = closed && !head.isNull(QStringLiteral("BERVEGELOZO"));

    Params p = c;
    p.push_back({QStringLiteral("juzer"), ctx.userCode});
    p.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
    if (done && remaining <= 0 && !closed) {
        p.push_back({QStringLiteral("d"), datum});
        // BERVEGELOZO first: it keeps the end the contract had.
        tx.exec(QStringLiteral("UPDATE FORGFEJ SET BERVEGELOZO = COALESCE(BERVEG, ''), STATUS = 'LEZ', BERVEG = :d,"
                               " JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
                p);
        r.closed = true;
    } else if (!done && closedByTakeBack) {
        tx.exec(QStringLiteral("UPDATE FORGFEJ SET BERVEG = BERVEGELOZO, BERVEGELOZO = NULL, STATUS = 'FO',"
                               " JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
                p);
        r.reopened = true;
    } else {
        tx.exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"), p);
    }

    const BillingTerms terms = LoadBillingTerms(tx, bizonylat, verzio);
    if (terms.cash()) GenerateBilling(tx, ctx, bizonylat, verzio, FirstDayStillToBill(tx, ctx, bizonylat, verzio));
    return r;
}

} // namespace vl::rental
