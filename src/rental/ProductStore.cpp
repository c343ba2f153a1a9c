#include "rental/ProductStore.h"

namespace vl::rental {

using vl::db::Transaction;

void ProductStore::StoreProduct(Transaction& tx, const QString& kod, const QString& arucsoport,
                                const QString& allapot, const QString* megjegyzes) {
    vl::db::Params p{{QStringLiteral("kod"), kod.trimmed()},
                     {QStringLiteral("arucsoport"), arucsoport},
                     {QStringLiteral("allapot"), allapot}};
    if (!megjegyzes) {
        tx.exec(QStringLiteral("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:kod, :arucsoport, :allapot)"), p);
        return;
    }
    p.push_back({QStringLiteral("megjegyzes"), *megjegyzes});
    tx.exec(QStringLiteral("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT, MEGJEGYZES)"
                           " VALUES (:kod, :arucsoport, :allapot, :megjegyzes)"), p);
}

QString ProductStore::UpdateProductStatus(Transaction& tx, const QString& kodIn) {
    const QString kod = kodIn.trimmed();
    if (kod.isEmpty() || kod == QLatin1String("*")) return QString();

    const auto cur = tx.query(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = :kod"),
                              {{QStringLiteral("kod"), kod}});
    if (cur.isEmpty()) return QString();
    const QString allapot = cur.at(0, 0).toString().trimmed();

    // Where the product is out: items not back on active, not cancelled contracts.
    const auto out = tx.query(QStringLiteral(
        "SELECT F.BIZONYLAT, F.UGYFELKOD, F.UGYFELCIM FROM FORGKABIN K, FORGFEJ F "
        "WHERE K.ARUKOD = :kod AND (K.VSZALL IS NULL OR K.VSZALL = '') "
        "AND F.BIZONYLAT = K.BIZONYLAT AND F.VERZIO = K.VERZIO AND F.AKTIV = 'I' "
        "AND (F.STATUS IS NULL OR F.STATUS <> 'X') "
        "ORDER BY F.BIZONYLAT DESC"),
        {{QStringLiteral("kod"), kod}});

    if (!out.isEmpty()) {
        tx.exec(QStringLiteral(
            "UPDATE ARU SET ALLAPOT = :allapot, UGYFEL = :ugyfel, CIM = :cim, BIZONYLAT = :bizonylat WHERE KOD = :kod"),
            {{QStringLiteral("allapot"), ProductRented},
             {QStringLiteral("ugyfel"), out.at(0, 1).toString()},
             {QStringLiteral("cim"), out.at(0, 2).toString()},
             {QStringLiteral("bizonylat"), out.at(0, 0)},
             {QStringLiteral("kod"), kod}});
        return ProductRented;
    }
    if (allapot == ProductRented) {
        tx.exec(QStringLiteral(
            "UPDATE ARU SET ALLAPOT = :allapot, UGYFEL = :ugyfel, CIM = :cim, BIZONYLAT = :bizonylat WHERE KOD = :kod"),
            {{QStringLiteral("allapot"), ProductFree},
             {QStringLiteral("ugyfel"), QString(QLatin1String(""))},
             {QStringLiteral("cim"), QString(QLatin1String(""))},
             {QStringLiteral("bizonylat"), QVariant(QMetaType::fromType<qint64>())},
             {QStringLiteral("kod"), kod}});
        return ProductFree;
    }
    return allapot;
}

} // namespace vl::rental
