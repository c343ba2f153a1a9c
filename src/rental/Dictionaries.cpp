#include "rental/Dictionaries.h"

namespace vl::rental {

namespace {
QString statement(Dictionary which) {
    switch (which) {
    case Dictionary::PaymentModes: return QStringLiteral("SELECT * FROM SZ_FIZMOD ORDER BY NEV");
    case Dictionary::RentalModes: return QStringLiteral("SELECT * FROM SZ_BERMOD ORDER BY NEV DESC");
    case Dictionary::ProductGroups: return QStringLiteral("SELECT * FROM SZ_ARUCSOP ORDER BY NEV");
    case Dictionary::ProductStatuses: return QStringLiteral("SELECT * FROM SZ_STATUSK ORDER BY NEV");
    case Dictionary::Drivers: return QStringLiteral("SELECT * FROM SZ_SOFOR WHERE AKTIV = 'I' ORDER BY NEV");
    case Dictionary::AllDrivers: return QStringLiteral("SELECT * FROM SZ_SOFOR ORDER BY NEV");
    case Dictionary::RentalUnits: return QStringLiteral("SELECT * FROM SZ_MEGYSEG WHERE TIPUS LIKE '%R%' ORDER BY NEV");
    case Dictionary::Units: return QStringLiteral("SELECT * FROM SZ_MEGYSEG ORDER BY NEV");
    case Dictionary::ActivityKinds: return QStringLiteral("SELECT * FROM SZ_TEVEKENY ORDER BY NEV");
    case Dictionary::ActivityStates: return QStringLiteral("SELECT * FROM SZ_STATUST ORDER BY NEV");
    case Dictionary::ContractStatuses: return QStringLiteral("SELECT * FROM SZ_STATUSR ORDER BY NEV");
    }
    return {};
}
} // namespace

vl::db::RowSet ReadDictionary(vl::db::Transaction& tx, Dictionary which) { return tx.query(statement(which)); }

vl::db::RowSet ReadDictionary(vl::db::Connection& conn, Dictionary which) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    vl::db::RowSet rs = ReadDictionary(*tx, which);
    tx->commit();
    return rs;
}

QString ContractStatusCode(vl::db::Transaction& tx, const QString& name) {
    vl::db::RowSet rs = tx.query(QStringLiteral("SELECT KOD FROM SZ_STATUSR WHERE NEV = :n"), {{QStringLiteral("n"), name}});
    return rs.next() ? rs.text(QStringLiteral("KOD")).trimmed() : QString();
}

} // namespace vl::rental
