#include "ActivityLogSession.h"

namespace vl::operations {

namespace {
const QString kCustomersSql = QStringLiteral(
    "SELECT * FROM UGYFEL WHERE AKTIV='I' AND 0 < (SELECT COUNT(*) FROM UGYFELCIM C WHERE C.UGYFELKOD=UGYFEL.KOD)"
    " ORDER BY NEV");
const QString kAllDriversSql = QStringLiteral("Select * From SZ_SOFOR Order By NEV");
const QString kActiveDriversSql = QStringLiteral("Select * From SZ_SOFOR Where AKTIV='I' Order By NEV");
const QString kActivitiesSql = QStringLiteral("Select * From SZ_TEVEKENY Order By NEV");
} // namespace

ActivityLogSession::ActivityLogSession(vl::db::Connection& conn, const vl::shell::Session& who, double vatFactor)
    : conn_(&conn), sheet_(conn, who, vatFactor), actions_(conn, who) {}

void ActivityLogSession::useConnection(vl::db::Connection& conn) {
    conn_ = &conn;
    sheet_.useConnection(conn);
    actions_.useConnection(conn);
}

vl::db::RowSet ActivityLogSession::customers() { return conn_->query(kCustomersSql); }

vl::db::RowSet ActivityLogSession::drivers(bool activeOnly) {
    return conn_->query(activeOnly ? kActiveDriversSql : kAllDriversSql);
}

vl::db::RowSet ActivityLogSession::activityKinds() { return conn_->query(kActivitiesSql); }

QList<PlacedProduct> ActivityLogSession::placedProducts(const QString& customerKey, const QString& siteKey) {
    auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
    return readPlacedProducts(*tx, customerKey, siteKey);
}

DayList ActivityLogSession::dayList() { return DayListFor(*conn_, sheet_); }

ActionOutcome ActivityLogSession::markDone(int currentLine) { return actions_.markDone(sheet_, currentLine); }

ActionOutcome ActivityLogSession::storeRemark(int currentLine, const ActionInputs& in) {
    return actions_.storeRemark(sheet_, currentLine, in);
}

ActionOutcome ActivityLogSession::moveToDay(const ActionInputs& in) { return actions_.moveToDay(sheet_, in); }

ActionOutcome ActivityLogSession::reschedule(const ActionInputs& in) { return actions_.reschedule(sheet_, in); }

ActionOutcome ActivityLogSession::assignDriver(const ActionInputs& in) { return actions_.assignDriver(sheet_, in); }

ActionOutcome ActivityLogSession::deleteOrRestore() { return actions_.deleteOrRestore(sheet_); }

ActionOutcome ActivityLogSession::addActivity(const NewActivity& a) { return actions_.addActivity(sheet_, a); }

QList<vl::rental::ActivityImageInfo> ActivityLogSession::lineImages(int tsorszam) {
    QList<vl::rental::ActivityImageInfo> out;
    const DaySheetLine* l = sheet_.line(tsorszam);
    if (!l) return out;
    auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
    for (const SourceRow& r : l->sources) {
        if (r.payment) continue;
        out << vl::rental::ListActivityImages(
            *tx, vl::rental::ActivityImageKey{r.bizonylat, r.verzio, r.tetelsor, r.sorszam, r.datum.trimmed(), r.tevsorszam});
    }
    tx->commit();
    return out;
}

QByteArray ActivityLogSession::imageBytes(qint64 id, QString* mime) {
    auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
    QByteArray b = vl::rental::ReadActivityImage(*tx, id, mime);
    tx->commit();
    return b;
}

} // namespace vl::operations
