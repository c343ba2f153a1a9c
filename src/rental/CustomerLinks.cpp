#include "rental/CustomerLinks.h"

#include "customers/ContractLinks.h"

namespace vl::rental {

namespace {
qint64 count(vl::db::Transaction& tx, const QString& sql, const QString& key) {
    const auto rs = tx.query(sql, {{QStringLiteral("kod"), key.trimmed()}});
    return rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong();
}
} // namespace

void registerCustomerLinks() {
    vl::customers::ContractLinks l;
    l.name = QStringLiteral("rental");
    l.customerUses = [](vl::db::Transaction& tx, const QString& key) {
        return count(tx, QStringLiteral("SELECT COUNT(*) DARAB FROM FORGFEJ WHERE UGYFELKOD = :kod"), key);
    };
    l.siteUses = [](vl::db::Transaction& tx, const QString& key) {
        return count(tx, QStringLiteral("SELECT COUNT(*) DARAB FROM FORGFEJ WHERE UGYFELCIM = :kod"), key);
    };
    l.siteStatusCondition = QStringLiteral(
        "0 < (SELECT COUNT(*) FROM FORGFEJ F WHERE F.UGYFELCIM = C.KOD AND F.AKTIV = 'I' AND F.STATUS = :status)");
    vl::customers::registerContractLinks(l);
}

} // namespace vl::rental
